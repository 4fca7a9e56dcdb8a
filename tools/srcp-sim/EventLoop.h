#pragma once
// The socket side of the simulator: listeners on 127.0.0.1, one poll loop for every client, line
// splitting with a length limit, and a bounded output queue per client so that a client that never
// reads cannot hold up the others.

#include "Frontend.h"
#include "WireLog.h"

#include <poll.h>

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace srcpsim {

constexpr std::size_t kMaxLineLength = 4096;          // bytes of one line, without CR LF
constexpr std::size_t kMaxQueuedOutput = 1024 * 1024; // a client that lets more pile up is dropped
constexpr std::size_t kMaxConnections = 900;

class EventLoop {
public:
  explicit EventLoop(WireLog &log);
  ~EventLoop();
  EventLoop(const EventLoop &) = delete;
  EventLoop &operator=(const EventLoop &) = delete;

  // Opens `count` listeners on consecutive ports from `port` (0: any free run of ports). The ports
  // are returned in `ports`, in listener-index order. False if they cannot be bound.
  bool listenConsecutive(int port, int count, std::vector<int> &ports);

  // Standard input carries control commands; `onLine` gets each line. At end of input the loop
  // stops only if `stopAtEof`.
  void watchStdin(std::function<void(std::string_view)> onLine, bool stopAtEof);

  // Queues one line (a LF is appended) for a client. Lines for unknown or closing clients are dropped.
  void send(ConnId id, std::string_view line);
  // Sends what is queued, then closes the connection. Nothing more is read from it.
  void closeAfterFlush(ConnId id);

  // Called after the front end's tick on every loop pass (the demo layout uses it).
  void onTick(std::function<void(double)> hook) { tickHook_ = std::move(hook); }

  // Connection faults for tests (see ConnectionControls.h).
  // Closes every client connection at once, as a server that restarts does.
  void dropAllClients();
  // Stops listening for `ms` milliseconds (connecting is refused), then listens on the same ports again.
  void refuseConnections(double ms);
  // Neither reads, writes nor accepts anything for `ms` milliseconds (0: answer again now); standard
  // input is still read. Connections stay open, so the kernel still accepts new ones.
  void stopAnswering(double ms);
  // As stopAnswering, but what the clients send meanwhile is thrown away when the server answers
  // again (logged as `D` lines): a server that hung and lost the commands it was given.
  void stopAnsweringAndDrop(double ms);
  // Every line the server sends goes out `ms` milliseconds after it was made (0: at once), in order:
  // a slow server. Sent lines are logged when they go out.
  void setAnswerDelay(double ms) { answerDelayMs_ = ms > 0 ? ms : 0; }
  // While off, new connections are accepted but the front end never hears of them: no greeting, no answer.
  void setGreeting(bool on) { greeting_ = on; }

  void run(Frontend &frontend);
  // One pass of run(): wait up to `timeoutMs` for something to do, accept, read, write, tick and
  // reap closed clients. False when the loop is to stop. For a caller that drives the loop itself.
  bool runOnce(Frontend &frontend, int timeoutMs);
  // Takes a connected socket as a client of listener `listenerIndex`, as if it had been accepted
  // there (the front end hears of it at once, unless greeting is off). The loop owns the descriptor.
  ConnId addClient(Frontend &frontend, int fd, int listenerIndex);
  std::size_t clientCount() const { return connections_.size(); }
  // Safe to call from a signal handler.
  void requestStop();

  WireLog &log() { return log_; }

private:
  struct Connection {
    int fd = -1;
    int listenerIndex = 0;
    std::string in;
    bool discarding = false; // inside an over-long line, dropping bytes up to the next LF
    std::string out;
    std::size_t outOffset = 0;
    bool flushDue = false; // `out` got lines in this pass: sent at the end of it
    bool closing = false; // close once `out` is sent
    bool dead = false;    // remove at the end of this loop pass
    bool ignored = false; // accepted while greeting was off: the front end does not know it
    double arrivalMs = -1; // when the kernel received the bytes being split (ms since start), -1: unknown
  };

  void acceptClients(int listenerIndex);
  ConnId openClient(int fd, int listenerIndex);
  bool pass(Frontend &frontend, int timeoutMs);
  void readClient(ConnId id, Connection &c);
  void splitLines(ConnId id, Connection &c);
  void flush(ConnId id, Connection &c);
  // Sends what the connections were given since the last time: one write per connection for all
  // the answers to the lines of one read, not one per line.
  void flushDue();
  void drop(ConnId id, Connection &c, std::string_view reason);
  void readStdin();
  void reapDead();
  void queueLine(ConnId id, std::string_view line);
  void releaseDelayed(double now);
  void dropReceived(ConnId id, Connection &c);

  WireLog &log_;
  Frontend *frontend_ = nullptr;
  std::vector<int> listeners_;
  std::map<ConnId, Connection> connections_;
  std::vector<pollfd> pollFds_;  // of one pass, kept to save allocating them on every pass
  std::vector<ConnId> pollIds_;
  std::vector<ConnId> flushDue_;
  // The kernel keeps the set of watched descriptors (epoll), so a pass that watches what the last
  // one watched costs one wait: registered_[fd] is the events registered for fd plus one (0: none).
  int epollFd_ = -1;
  std::vector<int> registered_;
  std::vector<int> registeredFds_;
  std::vector<std::size_t> slotOfFd_;  // fd -> index in pollFds_ in this pass
  std::vector<unsigned> passOfFd_;     // fd -> the pass that last wanted it
  unsigned passNumber_ = 0;
  // Like poll() on pollFds_: fills their revents, returns how many have any, or -1.
  int waitReady(int timeoutMs);
  // Before fd is closed: it leaves the watched set with it.
  void forgetFd(int fd);
  ConnId nextId_ = 1;
  int wakePipe_[2] = {-1, -1};
  bool stopRequested_ = false;
  bool stdinWatched_ = false;
  bool stopAtStdinEof_ = false;
  std::string stdinBuffer_;
  std::function<void(std::string_view)> onStdinLine_;
  std::function<void(double)> tickHook_;
  std::vector<int> listenPorts_;
  double refuseUntil_ = -1;  // listeners closed until then (ms since start)
  double silentUntil_ = -1;  // not answering until then
  bool greeting_ = true;
  bool dropWhileSilent_ = false;  // what arrives while not answering is thrown away
  double answerDelayMs_ = 0;
  struct Delayed {
    double dueMs;
    ConnId id;
    std::string line;
  };
  std::deque<Delayed> delayed_;
  bool silent() const { return silentUntil_ >= 0; }
};

} // namespace srcpsim
