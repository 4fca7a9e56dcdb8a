// From a slider change of regulator 1 (the widget's value change, through the throttle logic and
// the loco command) to the moment the "SET GL" line has been written on a loopback TCP connection,
// next to writing the same line directly on that connection right after. The overhead of the layer
// is taken per sample: the slider path of one change minus the direct write of the line that change
// sent. Prints median and p99 (over at least 1,000 samples, else the maximum) of each and of the
// overhead. A change that writes no line fails the run. Usage: bench_loco_slider [iterations]

#include "base/AppState.h"
#include "loco/LocoCommand.h"
#include "loco/LocoIcons.h"
#include "loco/widgets/ReglerPanel.h"
#include "loco/ThrottleModel.h"
#include "base/TLok.h"
#include "srcp/TcpLineClient.h"
#include "base/ScriptedDialogs.h"

#include "common/Stats.h"

#include <QApplication>
#include <QScrollBar>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {

// Accepts one connection on 127.0.0.1 and reads everything until it closes.
class DrainServer {
public:
    DrainServer()
    {
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listen, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(m_listen, 1);
        socklen_t len = sizeof a;
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&a), &len);
        m_port = ntohs(a.sin_port);
        m_thread = std::thread([this] {
            const int c = ::accept(m_listen, nullptr, nullptr);
            char buf[65536];
            while (::recv(c, buf, sizeof buf, 0) > 0)
                m_bytes += 1;
            ::close(c);
        });
    }
    ~DrainServer()
    {
        m_thread.join();
        ::close(m_listen);
    }
    int port() const { return m_port; }

private:
    int m_listen = -1;
    int m_port = 0;
    std::atomic<long> m_bytes{0};
    std::thread m_thread;
};

// Notes when a line has been written, and which.
struct TimedSink : TcpCommandSink {
    using TcpCommandSink::TcpCommandSink;
    Clock::time_point written;
    int lines = 0;  // written since the last reset
    std::string last;
    void writeLine(std::string_view line) override
    {
        TcpCommandSink::writeLine(line);
        written = Clock::now();
        ++lines;
        last.assign(line);
    }
};

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int iterations = argc > 1 ? std::max(100, std::atoi(argv[1])) : 20000;

    DrainServer server;
    TcpLineClient socket;
    socket.connect("127.0.0.1", server.port(), std::chrono::milliseconds(2000));
    std::mutex lockSocket;
    TimedSink sink(socket, lockSocket);

    AppState main;
    main.Betrieb = true;
    TLok lok;
    lok.set_protocol(0, QStringLiteral("M2"));
    lok.set_nrof(0, 4);
    Dekod_Funcs f{};
    f[0] = 11;
    f[1] = 5;
    f[2] = 12;
    lok.set_F(0, f);
    LocoCommand command(main, lok);
    command.sink = &sink;
    LocoIcons icons([] { return QStringLiteral(QUARN_SOURCE_DIR "data/Data/"); });
    ScriptedDialogs dialogs;
    ThrottleModel model(main, lok, command, icons, dialogs);
    ReglerPanel panel(model);
    model.regulatorChanged = [&](int d) { panel.refresh(d); };
    model.setupAll();
    QScrollBar* slider = panel.scrollBar(0);

    std::vector<double> viaSlider, direct, overhead, handler;
    viaSlider.reserve(static_cast<std::size_t>(iterations));
    direct.reserve(static_cast<std::size_t>(iterations));
    overhead.reserve(static_cast<std::size_t>(iterations));
    int silent = 0;
    for (int i = 0; i < iterations; ++i) {
        const int position = (i % 2) ? 20 : 60;  // speeds 80 and 40: every change sends
        sink.lines = 0;
        const auto t0 = Clock::now();
        slider->setValue(position);
        handler.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
        if (sink.lines != 1) {  // nothing (or more than the one line) sent: not a sample
            ++silent;
            continue;
        }
        const double slider_us = std::chrono::duration<double, std::micro>(sink.written - t0).count();

        // The same line written directly: the cost without the layer for this very change.
        const std::string line = sink.last;
        const auto t1 = Clock::now();
        socket.writeLine(line, "\r\n");
        const double direct_us = std::chrono::duration<double, std::micro>(Clock::now() - t1).count();
        viaSlider.push_back(slider_us);
        direct.push_back(direct_us);
        overhead.push_back(slider_us - direct_us);
    }
    socket.disconnect();
    if (dialogs.count(QStringLiteral("message")) > 0) {
        std::fprintf(stderr, "icons missing: %s\n", qPrintable(dialogs.shown.front().text));
        return 1;
    }
    if (silent > 0 || viaSlider.empty()) {
        std::fprintf(stderr, "%d of %d slider changes wrote no line (or more than one)\n", silent, iterations);
        return 1;
    }

    using benchstats::median;
    using benchstats::tail;
    auto row = [](const char* name, const std::vector<double>& v) {
        const benchstats::Tail t = tail(v);
        std::printf("  %-14s median %8.2f us   %-3s %8.2f us\n", name, median(v), t.name.c_str(), t.value);
    };
    std::printf("loco slider -> SET GL line on the socket, %zu changes, each timed both ways\n", viaSlider.size());
    row("via slider:", viaSlider);
    row("direct write:", direct);
    row("overhead:", overhead);
    const benchstats::Tail o = tail(overhead);
    std::printf("  (overhead = slider path minus the direct write of the same line, per change)\n");
    std::printf("  whole change handler incl. redrawing the pictures: median %.2f us   %s %.2f us\n", median(handler),
                tail(handler).name.c_str(), tail(handler).value);
    std::printf("  ratio slider/direct (medians): %.2f\n", median(viaSlider) / median(direct));
    std::printf("  goal: overhead %s under 1000 us: %.2f us: %s\n", o.name.c_str(), o.value,
                o.value < 1000.0 ? "met" : "NOT met");
    return o.value < 1000.0 ? 0 : 2;
}
