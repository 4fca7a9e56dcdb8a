// srcp-sim: an SRCP 0.7.3 / 0.8.2 server that simulates a small layout, for tests and demos.

#include "ControlCommands.h"
#include "DemoRing.h"
#include "EventLoop.h"
#include "Options.h"
#include "Srcp073Frontend.h"
#include "Srcp082Frontend.h"
#include "WireLog.h"

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>

namespace {

srcpsim::EventLoop *runningLoop = nullptr;

extern "C" void onStopSignal(int) {
  if (runningLoop)
    runningLoop->requestStop();
}

} // namespace

int main(int argc, char **argv) {
  using namespace srcpsim;
  // A background server may be started with standard streams closed; keep sockets off fds 0 to 2.
  for (int fd = 0; fd <= 2; ++fd)
    if (::fcntl(fd, F_GETFD) < 0 && ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY) != fd)
      return 1;
  std::signal(SIGPIPE, SIG_IGN);
  // Room for many clients: raise the open-file limit as far as allowed.
  rlimit files{};
  if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
    files.rlim_cur = files.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &files);
  }
  Options options;
  std::string error;
  if (!parseOptions(argc, argv, options, error)) {
    std::fprintf(stderr, "srcp-sim: %s\n%s", error.c_str(), usageText());
    return 2;
  }
  if (options.help) {
    std::fputs(usageText(), stdout);
    return 0;
  }

  WireLog log;
  if (!options.logPath.empty() && !log.open(options.logPath)) {
    std::fprintf(stderr, "srcp-sim: cannot write log file %s\n", options.logPath.c_str());
    return 1;
  }
  EventLoop loop(log);
  bool v073 = options.protocol == "0.7.3";
  std::vector<int> ports;
  if (!loop.listenConsecutive(options.port, v073 ? 3 : 1, ports)) {
    std::fprintf(stderr, "srcp-sim: cannot listen on 127.0.0.1 port %d\n", options.port);
    return 1;
  }

  std::unique_ptr<Frontend> frontend;
  if (v073)
    frontend = std::make_unique<Srcp073Frontend>(loop, options.contacts, options.feedbackOnCommandPort);
  else
    frontend = std::make_unique<Srcp082Frontend>(loop, options.contacts, options.srcpd,
                                                 options.buses > 0 ? options.buses : (options.srcpd ? 1 : 8));

  std::unique_ptr<DemoRing> demo;
  if (options.demo) {
    demo = std::make_unique<DemoRing>(*frontend, options.demoContacts, options.demoStepMs,
                                      options.demoIdleSpeed / 100.0);
    loop.onTick([&demo](double now) { demo->tick(now); });
  }
  loop.watchStdin([&](std::string_view line) { runControlCommand(line, *frontend, loop); },
                  options.exitOnStdinEof);

  runningLoop = &loop;
  struct sigaction action {};
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);

  std::string portLine = "PORT";
  for (int p : ports)
    portLine += " " + std::to_string(p);
  std::printf("%s\n", portLine.c_str());
  std::fflush(stdout);
  log.write(std::string_view("srv"), 'O', "SRCP " + options.protocol + " " + portLine);
  char clock[64];
  std::snprintf(clock, sizeof clock, "monotonic clock at start %.3f ms", log.startMonotonicMs());
  log.write(std::string_view("srv"), 'O', clock);

  loop.run(*frontend);
  runningLoop = nullptr;
  log.write(std::string_view("srv"), 'C', "stopped");
  return 0;
}
