#include "WireLog.h"

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

std::string escapeForLog(std::string_view text) {
  static const char hex[] = "0123456789abcdef";
  std::string out;
  out.reserve(text.size());
  for (unsigned char c : text) {
    if (c >= 0x20 && c < 0x7f && c != '\\') {
      out += static_cast<char>(c);
    } else {
      out += "\\x";
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

void WireLog::write(std::string_view connId, char kind, std::string_view text) {
  if (!file_)
    return;
  std::string body = escapeForLog(text);
  std::fprintf(file_, "%.3f %.*s %c %s\n", nowMs(), static_cast<int>(connId.size()), connId.data(), kind,
               body.c_str());
  std::fflush(file_);
}

void WireLog::write(unsigned long long connId, char kind, std::string_view text) {
  if (!file_)
    return;
  write(std::to_string(connId), kind, text);
}

void WireLog::writeAt(double ms, unsigned long long connId, char kind, std::string_view text) {
  if (!file_)
    return;
  std::string body = escapeForLog(text);
  std::fprintf(file_, "%.3f %llu %c %s\n", ms, connId, kind, body.c_str());
  std::fflush(file_);
}

} // namespace srcpsim
