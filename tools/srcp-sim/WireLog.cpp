#include "WireLog.h"

#include "LineTokens.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace srcpsim {

WireLog::WireLog() : start_(std::chrono::steady_clock::now()) {}

WireLog::~WireLog() {
  if (file_)
    std::fclose(file_);
}

bool WireLog::open(const std::string &path) {
  return open(std::fopen(path.c_str(), "w"));
}

bool WireLog::open(std::FILE *stream) {
  if (file_)
    std::fclose(file_);
  file_ = stream;
  return file_ != nullptr;
}

double WireLog::nowMs() const {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start_).count();
}

long long WireLog::nowMicros() const {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start_).count();
}

namespace {

// Writes `text` escaped from `out` on (at most four bytes for each byte of text); returns the end.
char *writeEscaped(char *out, std::string_view text) {
  static const char hex[] = "0123456789abcdef";
  while (!text.empty()) {
    // A run of printable bytes is copied whole, but for its backslashes (escaped so that a "\x" in
    // the log always stands for one byte).
    std::string_view run(text.data(), printablePrefix(text));
    text.remove_prefix(run.size());
    while (!run.empty()) {
      const void *found = std::memchr(run.data(), '\\', run.size());
      const std::size_t plain =
          found ? static_cast<std::size_t>(static_cast<const char *>(found) - run.data()) : run.size();
      std::memcpy(out, run.data(), plain);
      out += plain;
      run.remove_prefix(plain);
      if (!run.empty()) {
        std::memcpy(out, "\\x5c", 4);
        out += 4;
        run.remove_prefix(1);
      }
    }
    if (!text.empty()) {
      const auto c = static_cast<unsigned char>(text.front());
      const char escaped[4] = {'\\', 'x', hex[c >> 4], hex[c & 15]};
      std::memcpy(out, escaped, 4);
      out += 4;
      text.remove_prefix(1);
    }
  }
  return out;
}

// Writes `micros` as milliseconds with three decimals; returns the end (at most 25 bytes).
char *writeLogTime(char *out, long long micros) {
  // Whole microseconds shown in milliseconds: the three decimals are exact.
  const unsigned long long magnitude =
      micros < 0 ? 0ull - static_cast<unsigned long long>(micros) : static_cast<unsigned long long>(micros);
  if (micros < 0)
    *out++ = '-';
  out = std::to_chars(out, out + 21, magnitude / 1000).ptr;
  const auto fraction = static_cast<unsigned>(magnitude % 1000);
  *out++ = '.';
  *out++ = static_cast<char>('0' + fraction / 100);
  *out++ = static_cast<char>('0' + fraction / 10 % 10);
  *out++ = static_cast<char>('0' + fraction % 10);
  return out;
}

} // namespace

void appendEscapedForLog(std::string &out, std::string_view text) {
  const std::size_t size = out.size();
  out.resize(size + 4 * text.size());
  out.resize(static_cast<std::size_t>(writeEscaped(out.data() + size, text) - out.data()));
}

std::string escapeForLog(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  appendEscapedForLog(out, text);
  return out;
}

void appendLogTime(std::string &out, long long micros) {
  char text[32];
  out.append(text, static_cast<std::size_t>(writeLogTime(text, micros) - text));
}

void WireLog::writeEntry(long long micros, std::string_view connId, char kind, std::string_view text) {
  // Written into a buffer of the greatest size the entry can have, which is kept from entry to
  // entry: no allocation and no formatting by printf for a line.
  const std::size_t most = 32 + connId.size() + 4 + 4 * text.size() + 1;
  if (entry_.size() < most)
    entry_.resize(most);
  char *const begin = entry_.data();
  char *out = writeLogTime(begin, micros);
  *out++ = ' ';
  std::memcpy(out, connId.data(), connId.size());
  out += connId.size();
  *out++ = ' ';
  *out++ = kind;
  *out++ = ' ';
  out = writeEscaped(out, text);
  *out++ = '\n';
  std::fwrite(begin, 1, static_cast<std::size_t>(out - begin), file_);
  std::fflush(file_);
}

void WireLog::write(std::string_view connId, char kind, std::string_view text) {
  if (!file_)
    return;
  writeEntry(nowMicros(), connId, kind, text);
}

void WireLog::write(unsigned long long connId, char kind, std::string_view text) {
  if (!file_)
    return;
  char id[24];
  auto [end, ec] = std::to_chars(id, id + sizeof id, connId);
  (void)ec;
  writeEntry(nowMicros(), std::string_view(id, static_cast<std::size_t>(end - id)), kind, text);
}

void WireLog::writeAt(double ms, unsigned long long connId, char kind, std::string_view text) {
  if (!file_)
    return;
  char id[24];
  auto [end, ec] = std::to_chars(id, id + sizeof id, connId);
  (void)ec;
  writeEntry(std::llround(ms * 1000.0), std::string_view(id, static_cast<std::size_t>(end - id)), kind, text);
}

} // namespace srcpsim
