// Prints the median and 99th percentile latency from a slider change of regulator 1 (the widget's
// value change, through the throttle logic and the loco command) to the moment the "SET GL" line
// has been written on a loopback TCP connection, next to the time of writing the same line directly
// on that connection, and the overhead and ratio between them. Both are measured alternately in one
// run. Usage: bench_loco_slider [iterations]

#include "base/AppState.h"
#include "loco/LocoCommand.h"
#include "loco/LocoIcons.h"
#include "loco/widgets/ReglerPanel.h"
#include "loco/ThrottleModel.h"
#include "base/TLok.h"
#include "srcp/TcpLineClient.h"
#include "base/ScriptedDialogs.h"

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

// Notes when the line has been written.
struct TimedSink : TcpCommandSink {
    using TcpCommandSink::TcpCommandSink;
    Clock::time_point written;
    void writeLine(std::string_view line) override
    {
        TcpCommandSink::writeLine(line);
        written = Clock::now();
    }
};

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size())))];
}

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

    std::vector<double> viaSlider, direct, handler;
    viaSlider.reserve(static_cast<std::size_t>(iterations));
    direct.reserve(static_cast<std::size_t>(iterations));
    for (int i = 0; i < iterations; ++i) {
        const int position = (i % 2) ? 20 : 60;  // speeds 80 and 40: every change sends
        const auto t0 = Clock::now();
        slider->setValue(position);
        handler.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
        viaSlider.push_back(std::chrono::duration<double, std::micro>(sink.written - t0).count());

        const std::string line = glLine73(lok, 0);
        const auto t1 = Clock::now();
        socket.writeLine(line, "\r\n");
        direct.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t1).count());
    }
    socket.disconnect();
    if (dialogs.count(QStringLiteral("message")) > 0) {
        std::fprintf(stderr, "icons missing: %s\n", qPrintable(dialogs.shown.front().text));
        return 1;
    }

    const double sMed = percentile(viaSlider, 0.5), sP99 = percentile(viaSlider, 0.99);
    const double dMed = percentile(direct, 0.5), dP99 = percentile(direct, 0.99);
    std::printf("loco slider -> SET GL line on the socket, %d changes\n", iterations);
    std::printf("  via slider:   median %8.2f us   p99 %8.2f us\n", sMed, sP99);
    std::printf("  direct write: median %8.2f us   p99 %8.2f us\n", dMed, dP99);
    std::printf("  overhead:     median %8.2f us   p99 %8.2f us   (limit 1000 us)\n", sMed - dMed, sP99 - dP99);
    std::printf("  whole change handler incl. redrawing the pictures: median %.2f us   p99 %.2f us\n",
                percentile(handler, 0.5), percentile(handler, 0.99));
    std::printf("  ratio slider/direct: median %.2f   p99 %.2f\n", sMed / dMed, sP99 / dP99);
    return (sP99 - dP99) < 1000.0 ? 0 : 2;
}
