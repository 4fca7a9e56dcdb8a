#include "SimHarness.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace simtest {

SimProcess::SimProcess(const std::vector<std::string> &args) {
  int in[2], out[2];
  if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0)
    throw std::runtime_error("pipe failed");
  pid_ = ::fork();
  if (pid_ == 0) {
    ::dup2(in[0], STDIN_FILENO);
    ::dup2(out[1], STDOUT_FILENO);
    ::close(in[0]);
    ::close(in[1]);
    ::close(out[0]);
    ::close(out[1]);
    std::vector<std::string> all{SRCP_SIM_PATH};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char *> argv;
    for (auto &a : all)
      argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(SRCP_SIM_PATH, argv.data());
    ::_exit(127);
  }
  ::close(in[0]);
  ::close(out[1]);
  stdinFd_ = in[1];
  stdoutFd_ = out[0];
  // The first line of standard output names the ports.
  std::string line;
  pollfd p{stdoutFd_, POLLIN, 0};
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
    if (::poll(&p, 1, 100) > 0) {
      char c[256];
      ssize_t n = ::read(stdoutFd_, c, sizeof c);
      if (n <= 0)
        break;
      line.append(c, static_cast<std::size_t>(n));
    }
  }
  std::istringstream words(line);
  std::string word;
  words >> word;
  if (word != "PORT")
    throw std::runtime_error("srcp-sim did not report its ports: " + line);
  for (int port; words >> port;)
    ports_.push_back(port);
}

SimProcess::~SimProcess() {
  if (!exited_ && pid_ > 0) {
    ::kill(pid_, SIGTERM);
    if (!waitExit(std::chrono::milliseconds(2000))) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  if (stdinFd_ >= 0)
    ::close(stdinFd_);
  if (stdoutFd_ >= 0)
    ::close(stdoutFd_);
}

void SimProcess::control(const std::string &line) {
  std::string text = line + "\n";
  [[maybe_unused]] auto n = ::write(stdinFd_, text.data(), text.size());
}

void SimProcess::closeStdin() {
  if (stdinFd_ >= 0)
    ::close(stdinFd_);
  stdinFd_ = -1;
}

void SimProcess::terminate() { ::kill(pid_, SIGTERM); }

std::optional<int> SimProcess::waitExit(std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  do {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      exited_ = true;
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  } while (std::chrono::steady_clock::now() < deadline);
  return std::nullopt;
}

LineSocket::LineSocket(int port) {
  fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd_, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
    ::close(fd_);
    fd_ = -1;
    return;
  }
  int yes = 1;
  ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
}

LineSocket::~LineSocket() { close(); }

void LineSocket::close() {
  if (fd_ >= 0)
    ::close(fd_);
  fd_ = -1;
}

bool LineSocket::sendRaw(const std::string &bytes) {
  std::size_t done = 0;
  while (fd_ >= 0 && done < bytes.size()) {
    ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n <= 0)
      return false;
    done += static_cast<std::size_t>(n);
  }
  return fd_ >= 0;
}

std::optional<std::string> LineSocket::readLine(std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    auto lf = buffer_.find('\n');
    if (lf != std::string::npos) {
      std::string line = buffer_.substr(0, lf);
      buffer_.erase(0, lf + 1);
      if (!line.empty() && line.back() == '\r')
        line.pop_back();
      return line;
    }
    if (eof_ || fd_ < 0)
      return std::nullopt;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0)
      return std::nullopt;
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) <= 0)
      continue;
    char chunk[4096];
    ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
    if (n <= 0)
      eof_ = true;
    else
      buffer_.append(chunk, static_cast<std::size_t>(n));
  }
}

bool LineSocket::closedByPeer(std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (!readLine(left) && eof_)
      return true;
  }
  return eof_;
}

std::string withoutStamp(const std::string &line) {
  auto blank = line.find(' ');
  return blank == std::string::npos ? line : line.substr(blank + 1);
}

std::string handshake(LineSocket &s, const std::string &mode) {
  if (!s.readLine())
    return "";
  s.sendLine("SET PROTOCOL SRCP 0.8.2");
  auto a = s.readLine();
  s.sendLine("SET CONNECTIONMODE SRCP " + mode);
  auto b = s.readLine();
  s.sendLine("GO");
  auto go = s.readLine();
  if (!a || !b || !go || withoutStamp(*a) != "201 OK PROTOCOL SRCP" || withoutStamp(*b) != "202 OK CONNECTIONMODE")
    return "";
  return withoutStamp(*go);
}

} // namespace simtest
