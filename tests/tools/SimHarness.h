#pragma once
// Test-side helpers for the simulator: start the real binary with --port 0, and talk to it over
// TCP on 127.0.0.1 one line at a time.

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace simtest {

// One running srcp-sim process. Standard input is a pipe (control commands); standard output is read
// for the "PORT ..." line. The destructor ends the process (SIGTERM, then SIGKILL).
class SimProcess {
public:
  explicit SimProcess(const std::vector<std::string> &args);
  ~SimProcess();
  SimProcess(const SimProcess &) = delete;
  SimProcess &operator=(const SimProcess &) = delete;

  const std::vector<int> &ports() const { return ports_; }
  int port(std::size_t i = 0) const { return ports_.at(i); }
  void control(const std::string &line); // writes one line to the simulator's standard input
  void closeStdin();
  void terminate(); // SIGTERM
  // Waits for the process to end; its exit code, or nothing on time-out.
  std::optional<int> waitExit(std::chrono::milliseconds timeout);

private:
  int pid_ = -1;
  int stdinFd_ = -1;
  int stdoutFd_ = -1;
  std::vector<int> ports_;
  bool exited_ = false;
};

class LineSocket {
public:
  explicit LineSocket(int port);
  ~LineSocket();
  LineSocket(const LineSocket &) = delete;
  LineSocket &operator=(const LineSocket &) = delete;

  bool connected() const { return fd_ >= 0; }
  bool sendRaw(const std::string &bytes);
  bool sendLine(const std::string &line) { return sendRaw(line + "\n"); }
  // The next line without LF/CR LF, or nothing when the time-out passes or the peer closed.
  std::optional<std::string> readLine(std::chrono::milliseconds timeout = std::chrono::milliseconds(3000));
  // True if the server closed the connection within the time-out (after any pending lines).
  bool closedByPeer(std::chrono::milliseconds timeout = std::chrono::milliseconds(3000));
  void close();

private:
  int fd_ = -1;
  std::string buffer_;
  bool eof_ = false;
};

// "1796864242.969 200 OK" -> "200 OK" (drops the leading time stamp of a 0.8.2 answer line).
std::string withoutStamp(const std::string &line);

// Opens a 0.8.2 session through the handshake; returns the GO answer ("200 OK GO <n>") or "".
std::string handshake(LineSocket &s, const std::string &mode);

} // namespace simtest
