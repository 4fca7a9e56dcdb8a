// Accessory pulse precision: 50 pulses through the program's accessory command (ga_out, which
// waits 300 ms on the high-resolution timer between the two lines), then 50 pulses with a plain
// std::this_thread::sleep_for(300ms) between the same two writes. The gaps are taken from the
// simulator's log time stamps, i.e. as the server saw them.

#include "app/AppState.h"
#include "app/Cbahn.h"
#include "layout/C_Element.h"
#include "layout/C_Position.h"
#include "loco/TLok.h"
#include "moba/THighResTimer.h"
#include "session/ServerSession.h"
#include "ui/C_language.h"
#include "ui/ScriptedDialogs.h"

#include "session/SimProcess.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <regex>
#include <thread>

namespace {

constexpr int Pulses = 50;

// Gaps between the on and off line of each pulse to `address`, in ms.
std::vector<double> gaps(const std::string& logFile, int address)
{
    const std::regex on("^(\\d+\\.\\d+) \\d+ R SET GA M " + std::to_string(address) + " 0 1 -1$");
    const std::regex off("^(\\d+\\.\\d+) \\d+ R SET GA M " + std::to_string(address) + " 0 0 -1$");
    std::vector<double> out;
    double start = -1;
    for (const std::string& l : SimProcess::readLines(logFile)) {
        std::smatch m;
        if (std::regex_match(l, m, on))
            start = std::stod(m[1].str());
        else if (std::regex_match(l, m, off) && start >= 0) {
            out.push_back(std::stod(m[1].str()) - start);
            start = -1;
        }
    }
    return out;
}

// 99th percentile of the deviation from 300 ms.
double p99Deviation(std::vector<double> g)
{
    for (double& v : g)
        v = std::fabs(v - 300.0);
    std::sort(g.begin(), g.end());
    if (g.empty())
        return NAN;
    return g[std::min(g.size() - 1, std::size_t(std::ceil(0.99 * double(g.size()))) - 1)];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const std::string logFile = (dir.path() + QStringLiteral("/sim.log")).toStdString();
    SimProcess sim(SRCP_SIM_PATH, "0.7.3", logFile);

    AppState main;
    main.Iphostchar = QStringLiteral("127.0.0.1");
    main.Ipport = sim.port();
    ScriptedDialogs dialogs;
    C_language lang;
    THighResTimer timer;
    timer.setEnabled(true);
    timer.setResolution(1);
    main.HRT1 = &timer;
    ServerSession session(main, dialogs, lang, timer);
    main.Session = &session;
    C_Position postable;
    C_Element element;
    TLok lok;
    Cbahn bahn(main, postable, element, lok, dialogs);
    session.connectServer();
    if (!session.commandConnected()) {
        std::fprintf(stderr, "cannot connect to srcp-sim\n");
        return 1;
    }

    // Program path: decoder 4, data port 1 -> address 17, output 0.
    for (int i = 0; i < Pulses; ++i) {
        bahn.ga_out(QStringLiteral("M"), 4, 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    // Baseline: the same two lines with a plain sleep between, address 21.
    for (int i = 0; i < Pulses; ++i) {
        session.writePulse("SET GA M 21 0 1 -1\n", "SET GA M 21 0 0 -1\n",
                           [] { std::this_thread::sleep_for(std::chrono::milliseconds(300)); });
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    session.disconnectServer();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));

    const auto hrt = gaps(logFile, 17);
    const auto plain = gaps(logFile, 21);
    const double dHrt = p99Deviation(hrt), dPlain = p99Deviation(plain);
    auto mean = [](const std::vector<double>& v) {
        double s = 0;
        for (double x : v)
            s += x;
        return v.empty() ? NAN : s / double(v.size());
    };
    std::printf("pulse gap as logged by srcp-sim, %zu + %zu pulses\n", hrt.size(), plain.size());
    std::printf("  high-resolution timer : mean %.3f ms, p99 |gap - 300 ms| = %.3f ms\n", mean(hrt), dHrt);
    std::printf("  sleep_for(300ms)      : mean %.3f ms, p99 |gap - 300 ms| = %.3f ms\n", mean(plain), dPlain);
    std::printf("  ratio p99 deviation (timer / sleep_for) = %.3f\n", dPlain > 0 ? dHrt / dPlain : NAN);
    std::printf("  within 300 ms +- 1 ms at p99: %s\n", dHrt <= 1.0 ? "yes" : "NO");
    return hrt.size() == Pulses && plain.size() == Pulses ? 0 : 1;
}
