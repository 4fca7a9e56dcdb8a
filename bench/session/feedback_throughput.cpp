// Feedback throughput: 10,000 "INFO FB S88" lines sent on the feedback connection as fast as the
// socket takes them, read by the poll reader, handed to the GUI thread and drawn into the layout
// picture by the feedback evaluator. Baseline: bare line reads of the same lines from the same kind
// of socket. Also checks that every line was drawn, in order, and how long after the last line
// was sent the last one was drawn.

#include "base/AppState.h"
#include "panel/Cbahn.h"
#include "layout/C_Element.h"
#include "layout/C_Position.h"
#include "base/PositionTable.h"
#include "base/TLok.h"
#include "moba/THighResTimer.h"
#include "session/C_rueckmodul.h"
#include "session/ServerSession.h"
#include "srcp/TcpLineClient.h"
#include "base/C_language.h"
#include "base/ScriptedDialogs.h"

#include "session/FakeSrcpServer.h"

#include <QCoreApplication>
#include <QImage>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

using namespace std::chrono;
using Clock = steady_clock;

namespace {

constexpr int Lines = 10000;
constexpr int Contacts = 64;  // four modules, one detector per contact

std::string lineText(int i)
{
    // Contact runs 1..64 round and round; the value alternates per round, so every line changes
    // its detector.
    const int contact = i % Contacts + 1;
    const int value = (i / Contacts) % 2 == 0 ? 1 : 0;
    return "INFO FB S88 " + std::to_string(contact) + " " + std::to_string(value) + "\n";
}

std::string allLines()
{
    std::string s;
    for (int i = 0; i < Lines; ++i)
        s += lineText(i);
    return s;
}

double bareReadSeconds(const std::string& text)
{
    FakeSrcpServer server;
    TcpLineClient client;
    client.connect("127.0.0.1", server.port() + 1, milliseconds(3000));
    server.accept(1);
    auto start = Clock::now();
    std::thread sender([&] { server.send(1, text); });
    for (int i = 0; i < Lines; ++i)
        client.readLine();
    double s = duration<double>(Clock::now() - start).count();
    sender.join();
    return s;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const std::string text = allLines();

    AppState main;
    main.WorkDir = QStringLiteral(QUARN_PROGRAM_DIR);
    main.Quarn_bitmap = QImage(980, 680, QImage::Format_RGB32);
    main.Cache = QImage(27, 27, QImage::Format_RGB32);
    main.Iphostchar = QStringLiteral("127.0.0.1");
    ScriptedDialogs dialogs;
    C_language lang;
    THighResTimer timer;
    C_Position postable;
    C_Element element;
    TLok lok;
    Cbahn bahn(main, postable, element, lok, dialogs);
    for (int c = 0; c < Contacts; ++c) {
        const int x = (c % 32) * 27, y = (c / 32) * 27;
        bahn.Quarnliste_eintragen(x, y, 65);
        tPosEntry* e = postable.getEntryByKor(x, y);
        e->Decod1 = c / 16 + 1;
        e->Daten1 = c % 16 + 1;
    }
    C_rueckmodul rueck(main, postable, bahn.iconChanger());

    FakeSrcpServer server;
    main.Ipport = server.port();
    ServerSession session(main, dialogs, lang);
    session.pause = [](int) {};
    int drawn = 0;
    bool inOrder = true;
    session.onFeedbackContact = [&](const FeedbackContact& c) {
        const int contact = drawn % Contacts + 1;
        const int value = (drawn / Contacts) % 2 == 0 ? 1 : 0;
        if (c.module != (contact - 1) / 16 + 1 || c.port != (contact - 1) % 16 + 1 || c.value != value)
            inOrder = false;
        rueck.iconrefresh(c.module, c.port, c.value);
        ++drawn;
    };
    session.startFeedback();
    if (!session.pollRunning() || !server.accept(1)) {
        std::fprintf(stderr, "feedback connection failed\n");
        return 1;
    }

    std::atomic<bool> sent{false};
    Clock::time_point lastSent;
    auto start = Clock::now();
    std::thread sender([&] {
        server.send(1, text);
        lastSent = Clock::now();
        sent = true;
    });
    while (drawn < Lines && Clock::now() - start < seconds(30))
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    auto done = Clock::now();
    sender.join();
    const double seconds = duration<double>(done - start).count();
    const double lagMs = duration<double, std::milli>(done - lastSent).count();
    session.stopFeedback();

    const double bare = bareReadSeconds(text);
    const double rate = Lines / seconds, bareRate = Lines / bare;
    std::printf("feedback: %d lines, %d drawn, in order: %s\n", Lines, drawn, inOrder ? "yes" : "NO");
    std::printf("  drawn      : %.0f lines/s\n", rate);
    std::printf("  bare reads : %.0f lines/s\n", bareRate);
    std::printf("  ratio drawn / bare reads = %.3f\n", rate / bareRate);
    std::printf("  last line drawn %.1f ms after the last line was sent (limit 100 ms): %s\n", lagMs,
                lagMs <= 100.0 ? "ok" : "BACKLOG");
    // The limit decides with the rest: a backlog is a missed goal, a line not drawn a lost one.
    const bool ok = drawn == Lines && inOrder && lagMs <= 100.0;
    std::printf("exit code %d%s\n", ok ? 0 : 1, ok ? "" : " (lines lost, out of order or a backlog)");
    return ok ? 0 : 1;
}
