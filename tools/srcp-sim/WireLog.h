#pragma once
// Optional log of everything that goes over the wire: one line per event,
//   <ms since start> <conn-id> <kind> <text>
// kinds: R received line, S sent line, O connection opened, C connection closed, L over-long line,
// and conn-id "ctl" for control commands read from standard input.

#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>

namespace srcpsim {

class WireLog {
public:
  WireLog();
  ~WireLog();
  WireLog(const WireLog &) = delete;
  WireLog &operator=(const WireLog &) = delete;

  bool open(const std::string &path);
  // Logs to an open stream instead, which the log then owns and closes (e.g. a stream in memory).
  bool open(std::FILE *stream);
  bool enabled() const { return file_ != nullptr; }
  double nowMs() const;
  // The start of the log's time stamps on the system's monotonic clock, in ms: adding it to a time
  // stamp gives a time that other programs on the same machine can compare with their own.
  double startMonotonicMs() const {
    return std::chrono::duration<double, std::milli>(start_.time_since_epoch()).count();
  }
  void write(std::string_view connId, char kind, std::string_view text);
  void write(unsigned long long connId, char kind, std::string_view text);
  // The same with a time stamp of the caller's (ms since start), e.g. when the kernel received a line.
  void writeAt(double ms, unsigned long long connId, char kind, std::string_view text);

private:
  // One entry, `micros` µs after the start: written with a single fwrite and flushed.
  void writeEntry(long long micros, std::string_view connId, char kind, std::string_view text);
  long long nowMicros() const;

  std::chrono::steady_clock::time_point start_;
  std::FILE *file_ = nullptr;
  std::string entry_; // the entry being written, kept to save an allocation per line (one thread writes)
};

// Bytes outside printable ASCII and the backslash become \xHH so that every log entry stays on one line.
std::string escapeForLog(std::string_view text);
// The same, appended to `out`.
void appendEscapedForLog(std::string &out, std::string_view text);
// Appends `micros` as milliseconds with three decimals ("1234.567", "-0.250").
void appendLogTime(std::string &out, long long micros);

} // namespace srcpsim
