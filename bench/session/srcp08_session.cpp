// SRCP 0.8 against SRCP 0.7.3 in one run:
// 1. Accessory pulse precision: 50 pulses through the program's accessory command (ga_out) in
//    0.7.3 mode and 50 in 0.8 mode (solenoid, adapter, accessory group, SET on the command session),
//    the gap between the on and the off line taken from the simulator's log time stamps; median
//    and maximum of |gap - 300 ms| for both (too few pulses for a p99), and the ratio of the medians.
// 2. Feedback latency in 0.8 mode: 200 contact changes on bus 8. A bare info session reading the
//    same broadcast marks when each INFO line is on the wire; the program's path (info reader, hand
//    over to the GUI thread, feedback group, component event, detector redrawn) marks the redraw.
//    Printed: the bare read, the redraw, and their difference (wire to redraw), median and maximum.

#include "base/AppState.h"
#include "panel/Cbahn.h"
#include "layout/C_Element.h"
#include "layout/C_Position.h"
#include "base/PositionTable.h"
#include "base/TLok.h"
#include "base/C_SRCP08.h"
#include "moba/THighResTimer.h"
#include "moba/TMoBaSRCPClient.h"
#include "moba/TMoBaSRCPGroups.h"
#include "moba/TMoBaSRCPWorker.h"
#include "session/C_rueckmodul.h"
#include "session/ServerSession.h"
#include "srcp/TcpLineClient.h"
#include "base/C_language.h"
#include "base/ScriptedDialogs.h"

#include "common/Stats.h"
#include "session/SimProcess.h"

#include <QCoreApplication>
#include <QImage>
#include <QMetaObject>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <mutex>
#include <regex>
#include <thread>

using namespace std::chrono;
using Clock = steady_clock;

namespace {

constexpr int Pulses = 50;
constexpr int Changes = 200;

std::vector<double> gaps(const std::string& logFile, const std::string& onLine, const std::string& offLine)
{
    std::vector<double> out;
    double start = -1;
    const std::regex row(R"(^(\d+\.\d+) \d+ R (.*)$)");
    for (const std::string& l : SimProcess::readLines(logFile)) {
        std::smatch m;
        if (!std::regex_match(l, m, row))
            continue;
        if (m[2].str() == onLine)
            start = std::stod(m[1].str());  // the last "on" before the "off"
        else if (m[2].str() == offLine && start >= 0) {
            out.push_back(std::stod(m[1].str()) - start);
            start = -1;
        }
    }
    return out;
}

std::vector<double> deviations(std::vector<double> g)
{
    for (double& v : g)
        v = std::fabs(v - 300.0);
    return g;
}

void runEvents(int ms)
{
    const auto end = Clock::now() + milliseconds(ms);
    while (Clock::now() < end) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(milliseconds(1));
    }
}

// A bare info session: handshake by hand, then every line with its arrival time.
struct BareInfo {
    explicit BareInfo(int port)
    {
        tcp.connect("127.0.0.1", port, milliseconds(3000));
        tcp.readLine();
        for (const char* l : {"SET PROTOCOL SRCP 0.8.2", "SET CONNECTIONMODE SRCP INFO", "GO"}) {
            tcp.writeLine(l);
            tcp.readLine();
        }
        reader = std::thread([this] {
            try {
                for (;;) {
                    std::string line = tcp.readLine();
                    if (line.find(" INFO 8 FB ") != std::string::npos) {
                        std::lock_guard lock(mutex);
                        arrivals.push_back(Clock::now());
                    }
                }
            } catch (const std::exception&) {
            }
        });
    }
    ~BareInfo()
    {
        tcp.disconnect();
        reader.join();
    }
    TcpLineClient tcp;
    std::thread reader;
    std::mutex mutex;
    std::vector<Clock::time_point> arrivals;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const std::string log073 = (dir.path() + QStringLiteral("/sim073.log")).toStdString();
    const std::string log082 = (dir.path() + QStringLiteral("/sim082.log")).toStdString();
    SimProcess sim073(SRCP_SIM_PATH, "0.7.3", log073);
    SimProcess sim082(SRCP_SIM_PATH, "0.8.2", log082);

    AppState main;
    main.WorkDir = QStringLiteral(QUARN_PROGRAM_DIR);
    main.Quarn_bitmap = QImage(980, 680, QImage::Format_RGB32);
    main.Cache = QImage(27, 27, QImage::Format_RGB32);
    main.Iphostchar = QStringLiteral("127.0.0.1");
    main.Ipport = sim073.port();
    ScriptedDialogs dialogs;
    C_language lang;
    THighResTimer timer;
    timer.setEnabled(true);
    timer.setResolution(1);
    main.HRT1 = &timer;
    ServerSession session(main, dialogs, lang);
    main.Session = &session;
    C_Position postable;
    C_Element element;
    TLok lok;
    Cbahn bahn(main, postable, element, lok, dialogs);

    // --- 0.7.3 pulses (decoder 4, data port 1: address 17, output 0)
    session.connectServer();
    if (!session.commandConnected()) {
        std::fprintf(stderr, "cannot connect to srcp-sim 0.7.3\n");
        return 1;
    }
    for (int i = 0; i < Pulses; ++i) {
        bahn.ga_out(QStringLiteral("M"), 4, 1);
        std::this_thread::sleep_for(milliseconds(20));
    }
    session.disconnectServer();

    // --- 0.8 pulses through the component, which lives on a thread of its own
    for (int c = 0; c < 16; ++c) {
        const int x = c * 27;
        bahn.Quarnliste_eintragen(x, 0, 65);
        tPosEntry* e = postable.getEntryByKor(x, 0);
        e->Decod1 = 1;
        e->Daten1 = c + 1;
    }
    C_rueckmodul rueck(main, postable, bahn.iconChanger());
    std::vector<Clock::time_point> redraws;
    QObject context;
    auto gui = std::make_shared<Srcp08GuiChannel>([&context](std::function<void()> call) {
        QMetaObject::invokeMethod(&context, std::move(call), Qt::QueuedConnection);
    });
    const int port082 = sim082.port();
    TMoBaSRCPWorker worker([gui, port082, &rueck, &redraws](TMoBaSRCPClient& c) {
        c.SetHost("127.0.0.1");
        c.SetPort(port082);
        c.OnFeedbackChange = [gui, &rueck, &redraws](TMoBaSRCPClient&, TMoBaSRCPFeedback& f) {
            gui->post([&rueck, &redraws, address = f.Address(), value = f.IsActiv()] {
                rueck.iconrefresh((address - 1) / 16 + 1, (address - 1) % 16 + 1, value);
                redraws.push_back(Clock::now());
            });
        };
    });
    C_SRCP08 adapter(main, lok, dialogs);
    adapter.setWorker(&worker, gui);
    SRCP08 = &adapter;
    main.SrcpVer = 80;
    worker.post([](TMoBaSRCPClient& c) { c.Connect(); });
    runEvents(300);
    std::map<int, Srcp08BusView> buses;
    worker.post([&buses](TMoBaSRCPClient& c) { buses = Srcp08View::busesOf(c); });
    worker.waitIdle(milliseconds(5000));
    adapter.view.connected = !buses.empty();
    adapter.view.buses = buses;
    if (buses.size() < 9) {
        std::fprintf(stderr, "cannot connect to srcp-sim 0.8.2\n");
        return 1;
    }
    for (int i = 0; i < Pulses; ++i) {
        bahn.ga_out(QStringLiteral("M"), 4, 1);
        runEvents(20);
    }
    worker.waitIdle(milliseconds(Pulses * 1000));

    // --- feedback: wire to redraw
    worker.post([](TMoBaSRCPClient& c) { c.BusByNumber(8)->FBs()->SetEnabled(true); });
    runEvents(100);
    BareInfo bare(sim082.port());
    runEvents(200);
    redraws.clear();
    std::vector<Clock::time_point> sent;
    for (int i = 0; i < Changes; ++i) {
        const int contact = i % 16 + 1;
        const int value = (i / 16) % 2 == 0 ? 1 : 0;
        sent.push_back(Clock::now());
        sim082.command("fb 8 " + std::to_string(contact) + " " + std::to_string(value));
        const auto until = Clock::now() + milliseconds(2000);
        while (redraws.size() < std::size_t(i + 1) && Clock::now() < until)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        runEvents(5);
    }
    worker.post([](TMoBaSRCPClient& c) { c.Disconnect(); });
    worker.waitIdle(milliseconds(5000));

    std::vector<double> bareMs, redrawMs, wireToRedrawMs;
    {
        std::lock_guard lock(bare.mutex);
        for (std::size_t i = 0; i < sent.size() && i < bare.arrivals.size() && i < redraws.size(); ++i) {
            bareMs.push_back(duration<double, std::milli>(bare.arrivals[i] - sent[i]).count());
            redrawMs.push_back(duration<double, std::milli>(redraws[i] - sent[i]).count());
            wireToRedrawMs.push_back(duration<double, std::milli>(redraws[i] - bare.arrivals[i]).count());
        }
    }

    const auto g073 = gaps(log073, "SET GA M 17 0 1 -1", "SET GA M 17 0 0 -1");
    const auto g08 = gaps(log082, "SET 5 GA 17 0 1 200", "SET 5 GA 17 0 0 200");
    using benchstats::median;
    using benchstats::tail;
    const auto dev073 = deviations(g073), dev08 = deviations(g08);
    std::printf("accessory pulse gap as logged by srcp-sim (%zu pulses SRCP 0.7.3, %zu pulses SRCP 0.8)\n",
                g073.size(), g08.size());
    auto pulseRow = [&](const char* name, const std::vector<double>& d) {
        const benchstats::Tail t = tail(d);
        std::printf("  %s : median |gap - 300 ms| = %.3f ms, %s = %.3f ms\n", name, median(d), t.name.c_str(), t.value);
    };
    pulseRow("SRCP 0.7.3", dev073);
    pulseRow("SRCP 0.8  ", dev08);
    std::printf("  ratio of medians (0.8 / 0.7.3) = %.2f\n", median(dev073) > 0 ? median(dev08) / median(dev073) : NAN);
    std::printf("feedback in SRCP 0.8, %zu contact changes (times from the control command)\n", redrawMs.size());
    auto feedbackRow = [&](const char* name, const std::vector<double>& v) {
        const benchstats::Tail t = tail(v);
        std::printf("  %-27s: median %.3f ms, %s %.3f ms\n", name, median(v), t.name.c_str(), t.value);
    };
    feedbackRow("bare info session read", bareMs);
    feedbackRow("detector redrawn", redrawMs);
    feedbackRow("INFO on the wire -> redrawn", wireToRedrawMs);
    std::printf("  ratio of medians (redrawn / bare read) = %.2f\n",
                median(bareMs) > 0 ? median(redrawMs) / median(bareMs) : NAN);
    SRCP08 = nullptr;
    return g073.size() == Pulses && g08.size() == Pulses && redrawMs.size() == Changes ? 0 : 1;
}
