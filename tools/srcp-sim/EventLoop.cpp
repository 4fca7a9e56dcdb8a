#include "EventLoop.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace srcpsim {

namespace {

int openListener(int port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0)
    return -1;
  int yes = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 || ::listen(fd, 256) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

int boundPort(int fd) {
  sockaddr_in addr{};
  socklen_t len = sizeof addr;
  if (::getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len) != 0)
    return -1;
  return ntohs(addr.sin_port);
}

} // namespace

EventLoop::EventLoop(WireLog &log) : log_(log) {
  if (::pipe2(wakePipe_, O_NONBLOCK | O_CLOEXEC) != 0)
    wakePipe_[0] = wakePipe_[1] = -1;
  epollFd_ = ::epoll_create1(EPOLL_CLOEXEC);
  // Room for the descriptors of a typical run, so that the first passes do not grow them step by step.
  constexpr std::size_t fds = 64;
  pollFds_.reserve(fds);
  pollIds_.reserve(fds);
  registered_.reserve(fds);
  slotOfFd_.reserve(fds);
  passOfFd_.reserve(fds);
}

EventLoop::~EventLoop() {
  for (auto &[id, c] : connections_)
    if (c.fd >= 0)
      ::close(c.fd);
  for (int fd : listeners_)
    ::close(fd);
  for (int fd : wakePipe_)
    if (fd >= 0)
      ::close(fd);
  if (epollFd_ >= 0)
    ::close(epollFd_);
}

void EventLoop::forgetFd(int fd) {
  if (fd >= 0 && static_cast<std::size_t>(fd) < registered_.size() && registered_[fd] != 0) {
    if (epollFd_ >= 0)
      ::epoll_ctl(epollFd_, EPOLL_CTL_DEL, fd, nullptr);
    registered_[fd] = 0;
  }
}

int EventLoop::waitReady(int timeoutMs) {
  std::vector<pollfd> &fds = pollFds_;
  if (epollFd_ < 0)
    return ::poll(fds.data(), fds.size(), timeoutMs);
  ++passNumber_;
  bool readyNow = false;
  for (std::size_t i = 0; i < fds.size(); ++i) {
    pollfd &p = fds[i];
    p.revents = 0;
    const auto fd = static_cast<std::size_t>(p.fd);
    if (fd >= registered_.size()) {
      registered_.resize(fd + 1, 0);
      slotOfFd_.resize(fd + 1, 0);
      passOfFd_.resize(fd + 1, 0);
    }
    slotOfFd_[fd] = i;
    passOfFd_[fd] = passNumber_;
    const int want = p.events + 1;
    if (registered_[fd] == want)
      continue;
    epoll_event ev{};
    ev.events = ((p.events & POLLIN) ? EPOLLIN : 0u) | ((p.events & POLLOUT) ? EPOLLOUT : 0u);
    ev.data.fd = p.fd;
    int r = ::epoll_ctl(epollFd_, registered_[fd] ? EPOLL_CTL_MOD : EPOLL_CTL_ADD, p.fd, &ev);
    if (r != 0 && errno == ENOENT)
      r = ::epoll_ctl(epollFd_, EPOLL_CTL_ADD, p.fd, &ev);
    else if (r != 0 && errno == EEXIST)
      r = ::epoll_ctl(epollFd_, EPOLL_CTL_MOD, p.fd, &ev);
    if (r == 0) {
      if (!registered_[fd])
        registeredFds_.push_back(p.fd);
      registered_[fd] = want;
    } else if (errno == EPERM) {
      p.revents = p.events & (POLLIN | POLLOUT); // a plain file: always ready, as poll() has it
      readyNow = true;
    } else {
      p.revents = POLLNVAL;
      readyNow = true;
    }
  }
  // What this pass does not watch any more leaves the set.
  for (std::size_t k = 0; k < registeredFds_.size();) {
    const int fd = registeredFds_[k];
    if (registered_[fd] != 0 && passOfFd_[fd] == passNumber_) {
      ++k;
      continue;
    }
    forgetFd(fd);
    registeredFds_[k] = registeredFds_.back();
    registeredFds_.pop_back();
  }
  epoll_event events[64];
  const int n = ::epoll_wait(epollFd_, events, 64, readyNow ? 0 : timeoutMs);
  if (n < 0)
    return -1;
  for (int k = 0; k < n; ++k) {
    const auto fd = static_cast<std::size_t>(events[k].data.fd);
    if (fd >= passOfFd_.size() || passOfFd_[fd] != passNumber_)
      continue;
    short r = 0;
    if (events[k].events & EPOLLIN)
      r |= POLLIN;
    if (events[k].events & EPOLLOUT)
      r |= POLLOUT;
    if (events[k].events & EPOLLHUP)
      r |= POLLHUP;
    if (events[k].events & EPOLLERR)
      r |= POLLERR;
    fds[slotOfFd_[fd]].revents |= r;
  }
  int ready = 0;
  for (const pollfd &p : fds)
    ready += p.revents != 0;
  return ready;
}

bool EventLoop::listenConsecutive(int port, int count, std::vector<int> &ports) {
  for (int attempt = 0; attempt < 64; ++attempt) {
    std::vector<int> fds;
    int first = openListener(port);
    if (first < 0)
      return false;
    fds.push_back(first);
    int base = boundPort(first);
    bool ok = base > 0;
    for (int i = 1; ok && i < count; ++i) {
      int fd = base + i <= 65535 ? openListener(base + i) : -1;
      if (fd < 0)
        ok = false;
      else
        fds.push_back(fd);
    }
    if (ok) {
      listeners_ = fds;
      ports.clear();
      for (int i = 0; i < count; ++i)
        ports.push_back(base + i);
      listenPorts_ = ports;
      return true;
    }
    for (int fd : fds)
      ::close(fd);
    if (port != 0)
      return false; // a fixed port that is taken stays taken
  }
  return false;
}

void EventLoop::watchStdin(std::function<void(std::string_view)> onLine, bool stopAtEof) {
  onStdinLine_ = std::move(onLine);
  stdinWatched_ = true;
  stopAtStdinEof_ = stopAtEof;
}

void EventLoop::requestStop() {
  if (wakePipe_[1] >= 0) {
    char b = 1;
    [[maybe_unused]] auto n = ::write(wakePipe_[1], &b, 1);
  }
}

void EventLoop::send(ConnId id, std::string_view line) {
  if (answerDelayMs_ > 0 || !delayed_.empty()) {
    // A line made while a delay was set, or behind one still waiting, keeps its place.
    delayed_.push_back({log_.nowMs() + answerDelayMs_, id, std::string(line)});
    return;
  }
  queueLine(id, line);
}

void EventLoop::releaseDelayed(double now) {
  while (!delayed_.empty() && delayed_.front().dueMs <= now) {
    Delayed d = std::move(delayed_.front());
    delayed_.pop_front();
    queueLine(d.id, d.line);
  }
}

void EventLoop::queueLine(ConnId id, std::string_view line) {
  auto it = connections_.find(id);
  if (it == connections_.end() || it->second.closing || it->second.dead)
    return;
  Connection &c = it->second;
  log_.write(id, 'S', line);
  if (c.out.size() - c.outOffset + line.size() + 1 > kMaxQueuedOutput) {
    drop(id, c, "output queue full");
    return;
  }
  c.out.append(line);
  c.out += '\n';
  if (!c.flushDue) {
    c.flushDue = true;
    flushDue_.push_back(id);
  }
}

void EventLoop::flushDue() {
  for (std::size_t i = 0; i < flushDue_.size(); ++i) {
    auto it = connections_.find(flushDue_[i]);
    if (it == connections_.end() || !it->second.flushDue)
      continue;
    it->second.flushDue = false;
    if (!it->second.dead)
      flush(it->first, it->second);
  }
  flushDue_.clear();
}

void EventLoop::closeAfterFlush(ConnId id) {
  auto it = connections_.find(id);
  if (it == connections_.end() || it->second.dead)
    return;
  it->second.closing = true;
  flush(id, it->second);
}

void EventLoop::flush(ConnId id, Connection &c) {
  if (silent() && !c.dead)
    return; // kept until the server answers again
  while (c.outOffset < c.out.size()) {
    ssize_t n = ::send(c.fd, c.out.data() + c.outOffset, c.out.size() - c.outOffset, MSG_NOSIGNAL);
    if (n > 0) {
      c.outOffset += static_cast<std::size_t>(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      break;
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      drop(id, c, "send failed");
      return;
    }
  }
  if (c.outOffset == c.out.size()) {
    c.out.clear();
    c.outOffset = 0;
    if (c.closing)
      drop(id, c, "closed by server");
  } else if (c.outOffset > 64 * 1024) {
    c.out.erase(0, c.outOffset);
    c.outOffset = 0;
  }
}

void EventLoop::drop(ConnId id, Connection &c, std::string_view reason) {
  if (c.dead)
    return;
  c.dead = true;
  log_.write(id, 'C', reason);
  forgetFd(c.fd);
  ::close(c.fd);
  c.fd = -1;
  // The front end hears of it in reapDead(): it may be walking its own client list right now.
}

void EventLoop::acceptClients(int listenerIndex) {
  for (;;) {
    int fd = ::accept4(listeners_[listenerIndex], nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0)
      return;
    if (connections_.size() >= kMaxConnections) {
      ::close(fd);
      continue;
    }
    int yes = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    // The kernel stamps what arrives, so the log shows when a line reached the server even when
    // this process gets the processor late on a busy machine.
    if (log_.enabled())
      ::setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &yes, sizeof yes);
    openClient(fd, listenerIndex);
  }
}

ConnId EventLoop::openClient(int fd, int listenerIndex) {
  ConnId id = nextId_++;
  Connection &c = connections_[id];
  c.fd = fd;
  c.listenerIndex = listenerIndex;
  log_.write(id, 'O', "listener " + std::to_string(listenerIndex) + (greeting_ ? "" : " ungreeted"));
  if (greeting_)
    frontend_->opened(id, listenerIndex);
  else
    c.ignored = true;
  return id;
}

ConnId EventLoop::addClient(Frontend &frontend, int fd, int listenerIndex) {
  frontend_ = &frontend;
  ConnId id = openClient(fd, listenerIndex);
  flushDue();
  frontend_ = nullptr;
  return id;
}

void EventLoop::readClient(ConnId id, Connection &c) {
  char buffer[16384];
  if (c.ignored) {
    // Accepted but never greeted: what the client writes is read and forgotten.
    ssize_t n = ::recv(c.fd, buffer, sizeof buffer, 0);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
      drop(id, c, n == 0 ? "closed by client" : "receive failed");
    return;
  }
  for (int rounds = 0; rounds < 4; ++rounds) {
    iovec io{buffer, sizeof buffer};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec))];
    msghdr msg{};
    msg.msg_iov = &io;
    msg.msg_iovlen = 1;
    if (log_.enabled()) { // the arrival stamps are for the log only
      msg.msg_control = control;
      msg.msg_controllen = sizeof control;
    }
    ssize_t n = ::recvmsg(c.fd, &msg, 0);
    if (n > 0) {
      c.arrivalMs = -1;
      for (cmsghdr *m = CMSG_FIRSTHDR(&msg); m; m = CMSG_NXTHDR(&msg, m)) {
        if (m->cmsg_level == SOL_SOCKET && m->cmsg_type == SCM_TIMESTAMPNS) {
          timespec stamp{}, now{};
          std::memcpy(&stamp, CMSG_DATA(m), sizeof stamp);
          ::clock_gettime(CLOCK_REALTIME, &now);
          const double ageMs = double(now.tv_sec - stamp.tv_sec) * 1e3 + double(now.tv_nsec - stamp.tv_nsec) / 1e6;
          if (ageMs >= 0 && ageMs < 60000)
            c.arrivalMs = log_.nowMs() - ageMs;
        }
      }
      c.in.append(buffer, static_cast<std::size_t>(n));
      splitLines(id, c);
      flushDue();
      if (c.dead || c.closing)
        return;
      if (static_cast<std::size_t>(n) < sizeof buffer)
        return;
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
      return;
    } else {
      // Peer closed (or failed): an unfinished last line is dropped; answers already queued go out
      // if the socket still takes them.
      c.closing = true;
      flush(id, c);
      if (!c.dead)
        drop(id, c, n == 0 ? "closed by client" : "receive failed");
      return;
    }
  }
}

void EventLoop::splitLines(ConnId id, Connection &c) {
  std::size_t start = 0;
  while (!c.dead && !c.closing) {
    std::size_t lf = c.in.find('\n', start);
    if (lf == std::string::npos)
      break;
    if (c.discarding) {
      c.discarding = false;
    } else {
      std::string_view line(c.in.data() + start, lf - start);
      if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
      if (line.size() > kMaxLineLength) {
        log_.write(id, 'L', std::to_string(line.size()) + " bytes");
        frontend_->overlong(id);
      } else {
        if (c.arrivalMs >= 0)
          log_.writeAt(c.arrivalMs, id, 'R', line);
        else
          log_.write(id, 'R', line);
        frontend_->received(id, line);
      }
    }
    start = lf + 1;
  }
  if (c.dead || c.closing) {
    c.in.clear();
    return;
  }
  c.in.erase(0, start);
  if (c.in.size() > kMaxLineLength + 1) {
    c.in.clear();
    if (!c.discarding) {
      c.discarding = true;
      log_.write(id, 'L', "more than " + std::to_string(kMaxLineLength) + " bytes");
      frontend_->overlong(id);
    }
  }
}

void EventLoop::readStdin() {
  char buffer[4096];
  ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
  if (n < 0 && (errno == EAGAIN || errno == EINTR))
    return;
  if (n <= 0) {
    stdinWatched_ = false;
    if (stopAtStdinEof_)
      stopRequested_ = true;
    return;
  }
  stdinBuffer_.append(buffer, static_cast<std::size_t>(n));
  std::size_t start = 0;
  for (std::size_t lf; (lf = stdinBuffer_.find('\n', start)) != std::string::npos; start = lf + 1) {
    std::string_view line(stdinBuffer_.data() + start, lf - start);
    if (!line.empty() && line.back() == '\r')
      line.remove_suffix(1);
    log_.write(std::string_view("ctl"), 'R', line);
    onStdinLine_(line);
  }
  stdinBuffer_.erase(0, start);
  if (stdinBuffer_.size() > kMaxLineLength)
    stdinBuffer_.clear();
}

void EventLoop::reapDead() {
  std::vector<ConnId> gone;
  for (auto it = connections_.begin(); it != connections_.end();) {
    if (it->second.dead) {
      if (!it->second.ignored)
        gone.push_back(it->first);
      it = connections_.erase(it);
    } else {
      ++it;
    }
  }
  for (ConnId id : gone)
    frontend_->closed(id);
}

void EventLoop::run(Frontend &frontend) {
  while (!stopRequested_ && runOnce(frontend, 5)) {
  }
}

bool EventLoop::runOnce(Frontend &frontend, int timeoutMs) {
  frontend_ = &frontend;
  bool going = pass(frontend, timeoutMs);
  frontend_ = nullptr;
  return going;
}

bool EventLoop::pass(Frontend &frontend, int timeoutMs) {
  std::vector<pollfd> &fds = pollFds_;
  std::vector<ConnId> &ids = pollIds_;
  fds.clear();
  ids.clear();
  fds.push_back({wakePipe_[0], POLLIN, 0});
  if (stdinWatched_)
    fds.push_back({STDIN_FILENO, POLLIN, 0});
  std::size_t firstListener = fds.size();
  if (!silent())
    for (int fd : listeners_)
      fds.push_back({fd, POLLIN, 0});
  std::size_t firstClient = fds.size();
  for (auto &[id, c] : connections_) {
    if (silent())
      break;
    short events = c.closing ? 0 : POLLIN;
    if (c.outOffset < c.out.size())
      events |= POLLOUT;
    fds.push_back({c.fd, events, 0});
    ids.push_back(id);
  }
  int ready = waitReady(timeoutMs);
  if (ready < 0 && errno != EINTR)
    return false;
  if (ready > 0) {
    if (fds[0].revents) {
      char drain[64];
      while (::read(wakePipe_[0], drain, sizeof drain) > 0) {
      }
      stopRequested_ = true;
      return false;
    }
    if (stdinWatched_ && fds[1].revents) {
      if (fds[1].revents & POLLNVAL)
        stdinWatched_ = false;
      else
        readStdin();
    }
    for (std::size_t i = firstListener; i < firstClient; ++i)
      if (fds[i].revents & POLLIN)
        acceptClients(static_cast<int>(i - firstListener));
    for (std::size_t i = firstClient; i < fds.size(); ++i) {
      if (!fds[i].revents)
        continue;
      auto it = connections_.find(ids[i - firstClient]);
      if (it == connections_.end() || it->second.dead)
        continue;
      Connection &c = it->second;
      if (fds[i].revents & POLLOUT)
        flush(it->first, c);
      if (!c.dead && (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) && !c.closing)
        readClient(it->first, c);
      else if (!c.dead && (fds[i].revents & (POLLHUP | POLLERR)))
        drop(it->first, c, "connection lost");
    }
  }
  double now = log_.nowMs();
  if (refuseUntil_ >= 0 && now >= refuseUntil_) {
    refuseUntil_ = -1;
    std::vector<int> fds;
    for (int port : listenPorts_) {
      int fd = openListener(port);
      if (fd < 0)
        break;
      fds.push_back(fd);
    }
    if (fds.size() == listenPorts_.size()) {
      listeners_ = fds;
      log_.write(std::string_view("srv"), 'O', "listening again");
    } else {
      for (int fd : fds)
        ::close(fd);
      refuseUntil_ = now + 100; // the ports are still held somewhere; try again shortly
    }
  }
  if (silentUntil_ >= 0 && now >= silentUntil_) {
    silentUntil_ = -1;
    log_.write(std::string_view("srv"), 'O', "answering again");
    for (auto &[id, c] : connections_)
      if (!c.dead && dropWhileSilent_)
        dropReceived(id, c);
    dropWhileSilent_ = false;
    for (auto &[id, c] : connections_)
      if (!c.dead)
        flush(id, c);
  }
  releaseDelayed(now);
  frontend.tick(now);
  if (tickHook_)
    tickHook_(now);
  flushDue();
  reapDead();
  return !stopRequested_;
}

void EventLoop::dropAllClients() {
  for (auto &[id, c] : connections_)
    drop(id, c, "dropped by control command");
}

void EventLoop::refuseConnections(double ms) {
  for (int fd : listeners_) {
    forgetFd(fd);
    ::close(fd);
  }
  listeners_.clear();
  refuseUntil_ = log_.nowMs() + ms;
  log_.write(std::string_view("srv"), 'C', "refusing connections for " + std::to_string(static_cast<long>(ms)) + " ms");
}

void EventLoop::dropReceived(ConnId id, Connection &c) {
  char buffer[4096];
  for (;;) {
    ssize_t n = ::recv(c.fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n <= 0)
      break; // nothing more waiting; a closed connection is noticed by the next pass
    c.in.append(buffer, static_cast<std::size_t>(n));
  }
  std::size_t start = 0;
  for (std::size_t lf; (lf = c.in.find('\n', start)) != std::string::npos; start = lf + 1) {
    std::string_view line(c.in.data() + start, std::min(lf - start, kMaxLineLength));
    if (!line.empty() && line.back() == '\r')
      line.remove_suffix(1);
    log_.write(id, 'D', "frozen, not read: " + std::string(line));
  }
  c.in.clear();
  c.discarding = false;
}

void EventLoop::stopAnsweringAndDrop(double ms) {
  stopAnswering(ms);
  if (silent())
    dropWhileSilent_ = true;
}

void EventLoop::stopAnswering(double ms) {
  if (ms <= 0) {
    if (silentUntil_ >= 0)
      silentUntil_ = log_.nowMs(); // the loop answers again on its next pass
    return;
  }
  silentUntil_ = log_.nowMs() + ms;
  log_.write(std::string_view("srv"), 'C', "not answering for " + std::to_string(static_cast<long>(ms)) + " ms");
}

} // namespace srcpsim
