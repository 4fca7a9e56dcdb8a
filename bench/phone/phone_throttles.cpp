// Phone throttles in the real main window (offscreen), connected to the simulator in 0.7.3 mode.
//
// 1. Latency, idle and then loaded (two processes that only compute, on the 2 cores): a scripted
//    phone on a thread of its own sends speed commands for loco 3 ("MTAS3<;>V.."), one every 10 ms,
//    each asking for another speed; for each, the time from the phone's write to the simulator
//    receiving the "SET GL" line with that speed (its log, on the machine's monotonic clock).
//    Baseline in the same run and load: the same speeds put on the screen throttle's slider (the
//    widget's own path), from the change to the line at the simulator. Lines are paired with
//    commands in order: a command whose line does not come next is lost, counts as an endless
//    wait in the figures, and is never paired with a later line of the same speed. The goal: the
//    phone's p99 at most 3 times the slider's, idle and loaded; it decides the exit code.
// 2. Clients: N phones at once (one thread, non-blocking sockets), each holding loco 3 and sending
//    its heartbeat every half heartbeat (1 s), while one of them drives the loco at 20 commands a
//    second, so that every speed change is sent to all N. N grows until a heartbeat is lost or a
//    phone is not served; the largest N without is printed.

#include "app/LocoControlHost.h"
#include "app/PhoneThrottleHost.h"
#include "app/SessionHost.h"
#include "app/TMainForm.h"
#include "app/TrackPanelHost.h"
#include "base/CommandChannel.h"
#include "base/ScriptedDialogs.h"
#include "loco/widgets/ReglerPanel.h"

#include "common/CpuHogs.h"
#include "common/ProgramFolder.h"
#include "common/Stats.h"
#include "session/SimProcess.h"

#include <QAction>
#include <QApplication>
#include <QScrollBar>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <regex>
#include <thread>

using namespace std::chrono;
using Clock = steady_clock;

namespace {

double nowMs() { return duration<double, std::milli>(Clock::now().time_since_epoch()).count(); }

int connectTo(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

bool writeAll(int fd, const std::string& s)
{
    std::size_t done = 0;
    while (done < s.size()) {
        const ssize_t n = ::send(fd, s.data() + done, s.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Loco lines the simulator received, with their time on our monotonic clock.
struct Received {
    double ms;
    int speed;
};
std::vector<Received> simLocoLines(const std::string& logFile)
{
    std::vector<Received> out;
    static const std::regex clock(R"(^\S+ srv O monotonic clock at start (\d+\.\d+) ms$)");
    static const std::regex line(R"(^(\d+\.\d+) \d+ R SET GL M1 3 -?\d+ (\d+) 100 .*$)");
    double start = NAN;
    for (const std::string& l : SimProcess::readLines(logFile)) {
        std::smatch m;
        if (std::isnan(start) && std::regex_match(l, m, clock))
            start = std::stod(m[1].str());
        else if (std::regex_match(l, m, line))
            out.push_back({start + std::stod(m[1].str()), std::stoi(m[2].str())});
    }
    return out;
}

// Speeds 10..90 of 100 stepping by 7 so that neighbours always differ; phone speed = v * 126 / 100.
int speedOf(int i) { return 10 + (i * 7) % 81; }
int phoneSpeedOf(int i) { return static_cast<int>(std::lround(speedOf(i) * 126.0 / 100.0)); }

// Pairs each sent command with the line that comes next at or after its sending; a line of another
// speed there means the command was lost (an endless wait), and that line is left for the commands
// after it.
std::vector<double> latencies(const std::vector<double>& sent, const std::vector<int>& speeds,
                              const std::vector<Received>& lines, std::size_t& from, int& lost)
{
    std::vector<double> out;
    lost = 0;
    for (std::size_t i = 0; i < sent.size(); ++i) {
        while (from < lines.size() && lines[from].ms < sent[i] - 0.05)
            ++from;
        if (from < lines.size() && lines[from].speed == speeds[i]) {
            out.push_back(lines[from].ms - sent[i]);
            ++from;
        } else {
            out.push_back(INFINITY);
            ++lost;
        }
    }
    return out;
}

// Runs the window's event loop (as the program does: it waits for events, it does not poll).
void pump(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void print(const char* what, const std::vector<double>& v, int lost)
{
    const benchstats::Tail t = benchstats::tail(v);
    std::printf("  %-34s n=%5zu  lost %3d  median %7.3f ms  %s %7.3f ms\n", what, v.size(), lost,
                benchstats::median(v), t.name.c_str(), t.value);
}

struct Phase {
    std::vector<double> screen, phone;
    int screenLost = 0, phoneLost = 0;
};

// The slider's commands, then the phone's, with the loco line of each at the simulator.
bool measure(QScrollBar* slider, quint16 port, const std::string& logFile, int samples, Phase& out)
{
    std::size_t from = 0;  // lines from before the commands are passed over by time
    std::vector<double> screenSent;
    std::vector<int> screenSpeeds;
    for (int i = 0; i < samples; ++i) {
        screenSpeeds.push_back(speedOf(i));
        screenSent.push_back(nowMs());
        slider->setValue(100 - speedOf(i));
        pump(10);
    }
    pump(300);
    out.screen = latencies(screenSent, screenSpeeds, simLocoLines(logFile), from, out.screenLost);

    // The phone, on its own thread; the window's event loop keeps running meanwhile.
    std::vector<double> phoneSent;
    std::vector<int> phoneSpeeds;
    std::atomic<bool> phoneDone{false};
    std::atomic<bool> phoneFailed{false};
    std::thread phoneThread([&] {
        const int fd = connectTo(port);
        if (fd < 0 || !writeAll(fd, "NBench\n*+\nMT+S3<;>S3\n")) {
            phoneFailed = true;
            phoneDone = true;
            return;
        }
        std::this_thread::sleep_for(milliseconds(300));
        for (int i = 0; i < samples; ++i) {
            // Drains what the server sent, then the command.
            char buf[4096];
            while (::recv(fd, buf, sizeof buf, MSG_DONTWAIT) > 0) {
            }
            if (i % 50 == 0)
                writeAll(fd, "*\n");
            phoneSpeeds.push_back(static_cast<int>(std::lround(phoneSpeedOf(i) * 100.0 / 126.0)));
            phoneSent.push_back(nowMs());
            writeAll(fd, "MTAS3<;>V" + std::to_string(phoneSpeedOf(i)) + "\n");
            std::this_thread::sleep_for(milliseconds(10));
        }
        std::this_thread::sleep_for(milliseconds(300));
        writeAll(fd, "Q\n");  // its loco stops after the last command's line
        ::close(fd);
        phoneDone = true;
    });
    while (!phoneDone)
        pump(5);
    phoneThread.join();
    pump(500);
    if (phoneFailed)
        return false;
    out.phone = latencies(phoneSent, phoneSpeeds, simLocoLines(logFile), from, out.phoneLost);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    constexpr int Samples = 1000;

    QTemporaryDir dir;
    const QString work = dir.path() + QLatin1Char('/');
    if (!testsupport::makeProgramFolder(work)) {
        std::fprintf(stderr, "cannot make a program folder\n");
        return 1;
    }
    const std::string logFile = (work + QStringLiteral("sim.log")).toStdString();
    SimProcess sim(SRCP_SIM_PATH, "0.7.3", logFile);

    ScriptedDialogs d;
    TMainForm form(d, work);
    new TrackPanelHost(form);
    new SessionHost(form);
    auto* loco = new LocoControlHost(form);
    auto* phone = new PhoneThrottleHost(form);
    form.resize(1000, 720);
    form.show();
    form.Iphostchar = QStringLiteral("127.0.0.1");
    form.Ipport = sim.port();
    form.action(QStringLiteral("Hostverbinden1"))->trigger();
    form.Betrieb1Click();
    if (!form.Session || !form.Session->commandConnected()) {
        std::fprintf(stderr, "not connected to the simulator\n");
        return 1;
    }
    form.PhoneServerOn = 1;
    form.PhoneServerPort = 0;
    form.PhoneServerAddress = QStringLiteral("127.0.0.1");
    form.PhoneServerLimit = 1000;
    form.PhoneServerPerAddress = 1000;  // every phone of the benchmark comes from 127.0.0.1
    phone->setHeartbeatSeconds(2);
    if (!phone->server().running()) {
        std::fprintf(stderr, "phone server does not run: %s\n", phone->server().errorText().toUtf8().constData());
        return 1;
    }
    const quint16 port = phone->server().port();
    QScrollBar* slider = loco->panel()->scrollBar(0);

    // --- 1. latency ---
    std::printf("Phone command to SRCP line (loco 3, %d commands each, 10 ms apart)\n", Samples);
    bool latencyOk = true;
    for (const bool loaded : {false, true}) {
        std::unique_ptr<CpuHogs> hogs;
        if (loaded)
            hogs = std::make_unique<CpuHogs>(2);
        Phase ph;
        if (!measure(slider, port, logFile, Samples, ph)) {
            std::fprintf(stderr, "the phone could not connect\n");
            return 1;
        }
        hogs.reset();
        std::printf(" %s\n", loaded ? "loaded (two computing processes)" : "idle");
        print("screen throttle (baseline)", ph.screen, ph.screenLost);
        print("phone (WiThrottle)", ph.phone, ph.phoneLost);
        const benchstats::Tail tp = benchstats::tail(ph.phone), ts = benchstats::tail(ph.screen);
        const double ratio = tp.value / ts.value;
        const bool ok = std::isfinite(ratio) && ratio <= 3.0;
        std::printf("  phone / screen: median x%.2f, %s x%.2f  (goal: %s at most x3.00) %s\n",
                    benchstats::median(ph.phone) / benchstats::median(ph.screen), tp.name.c_str(), ratio,
                    tp.name.c_str(), ok ? "met" : "NOT MET");
        latencyOk = latencyOk && ok;
    }

    // --- 2. clients at once ---
    std::printf("Phones served at once (heartbeat 2 s, each beats every 1 s, one drives at 20 commands/s, "
                "each speed change told to all), 6 s per step\n");
    int lost = 0;
    double firstLoss = NAN;
    double stepStart = 0;
    QObject::connect(&phone->server(), &withrottle::PhoneServer::heartbeatLost, [&](int) {
        if (lost++ == 0)
            firstLoss = nowMs() - stepStart;
    });
    int best = 0;
    for (int n : {10, 25, 50, 100, 200, 400, 800}) {
        lost = 0;
        firstLoss = NAN;
        stepStart = nowMs();
        std::atomic<bool> done{false};
        std::atomic<int> greeted{0}, failed{0};
        std::atomic<long> bytesIn{0};
        std::thread phones([&] {
            std::vector<int> fds;
            auto connectBeat = Clock::now();
            for (int k = 0; k < n; ++k) {
                if (Clock::now() - connectBeat > milliseconds(500)) {  // the first keep beating meanwhile
                    for (int fd : fds)
                        writeAll(fd, "*\n");
                    connectBeat = Clock::now();
                }
                const int fd = connectTo(port);
                if (fd < 0 || !writeAll(fd, "NPhone" + std::to_string(k) + "\n*+\nMT+S3<;>S3\n")) {
                    ++failed;
                    continue;
                }
                ::fcntl(fd, F_SETFL, O_NONBLOCK);
                fds.push_back(fd);
            }
            std::vector<bool> hello(fds.size(), false);
            const auto start = Clock::now();
            auto nextBeat = start;  // at once: connecting them all may have taken a while
            auto nextDrive = start;
            int drive = 0;
            while (Clock::now() - start < seconds(6)) {
                std::vector<pollfd> p;
                for (int fd : fds)
                    p.push_back({fd, POLLIN, 0});
                ::poll(p.data(), p.size(), 5);
                for (std::size_t k = 0; k < p.size(); ++k) {
                    if (p[k].revents & (POLLHUP | POLLERR)) {
                        if (fds[k] >= 0)
                            ++failed;
                        ::close(fds[k]);
                        fds[k] = -1;
                        continue;
                    }
                    if (!(p[k].revents & POLLIN))
                        continue;
                    char buf[8192];
                    ssize_t r;
                    while ((r = ::recv(fds[k], buf, sizeof buf, 0)) > 0) {
                        bytesIn += r;
                        if (!hello[k] && std::string_view(buf, static_cast<std::size_t>(r)).find("MT+S3<;>") != std::string_view::npos) {
                            hello[k] = true;
                            ++greeted;
                        }
                    }
                }
                const auto now = Clock::now();
                if (now >= nextBeat) {
                    for (int fd : fds)
                        if (fd >= 0)
                            writeAll(fd, "*\n");
                    nextBeat += milliseconds(1000);
                }
                if (now >= nextDrive && !fds.empty() && fds[0] >= 0) {
                    writeAll(fds[0], "MTAS3<;>V" + std::to_string(phoneSpeedOf(drive++)) + "\n*\n");
                    nextDrive += milliseconds(50);
                }
            }
            for (int fd : fds)
                if (fd >= 0)
                    ::close(fd);
            done = true;
        });
        while (!done)
            pump(5);
        phones.join();
        pump(500);
        const bool ok = lost == 0 && failed == 0 && greeted == n;
        std::printf("  %4d phones: greeted %4d, lost heartbeats %3d, dropped %3d, %8.1f kB received  %s", n,
                    greeted.load(), lost, failed.load(), bytesIn.load() / 1024.0, ok ? "ok" : "FAILED");
        if (lost > 0)
            std::printf(" (first loss %.0f ms into the step)", firstLoss);
        std::printf("\n");
        if (!ok)
            break;
        best = n;
    }
    std::printf("  served at once without a lost heartbeat: %d phones (goal 800) %s\n", best,
                best >= 800 ? "met" : "NOT MET");
    pump(200);
    slider->setValue(100);
    return latencyOk && best >= 800 ? 0 : 1;
}
