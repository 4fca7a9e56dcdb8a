#include "base/AppState.h"
#include "panel/Cbahn.h"
#include "layout/C_Element.h"
#include "layout/C_Position.h"
#include "base/PositionTable.h"
#include "base/TLok.h"
#include "moba/THighResTimer.h"
#include "session/ServerSession.h"
#include "base/C_language.h"
#include "base/ProgressDisplay.h"
#include "base/ScriptedDialogs.h"

#include "session/FakeSrcpServer.h"
#include "base/GuiChannel.h"
#include "common/WaitFor.h"

#include <QCoreApplication>
#include <QImage>
#include <QMetaObject>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <regex>

using namespace std::chrono;

namespace {

struct RecordingProgress : ProgressDisplay {
    std::vector<std::string> calls;
    void begin(int count) override { calls.push_back("begin " + std::to_string(count)); }
    void step(int position, int percent) override
    {
        calls.push_back("step " + std::to_string(position) + " " + std::to_string(percent));
    }
    void end() override { calls.push_back("end"); }
};

class AccessoryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        main.WorkDir = QStringLiteral(QUARN_PROGRAM_DIR);
        main.Quarn_bitmap = QImage(980, 680, QImage::Format_RGB32);
        main.Quarn_bitmap.fill(Qt::gray);
        main.Cache = QImage(27, 27, QImage::Format_RGB32);
        main.Iphostchar = QStringLiteral("127.0.0.1");
        main.Ipport = server.port();
        main.Lang_id = 2;
        timer.setEnabled(true);
        main.HRT1 = &timer;
        main.Session = &session;
        session.connectSettle = std::chrono::milliseconds(0);
        // The pulses are written by the session's pulse thread; their outcomes come back as queued
        // calls, as in the window.
        bahn.setGuiChannel(std::make_shared<GuiChannel>([](std::function<void()> call) {
            QMetaObject::invokeMethod(qApp, std::move(call), Qt::QueuedConnection);
        }));
        bahn.later = [](int ms, std::function<void()> call) { QTimer::singleShot(ms, qApp, std::move(call)); };
        // Kinds of the elements used below, as in the catalogue.
        element.set_art(13, 2);  // 14 turnout: two states
        element.set_art(19, 1);  // 20 uncoupling track
        element.set_art(21, 1);  // 22 emergency stop
        element.set_art(18, 3);  // 19 three-way turnout
        element.set_art(64, 0);  // 65 detector
        for (int i : {13, 19, 21, 18, 64}) {
            const int n = i + 1;
            auto name = [n](int s) { return QStringLiteral("Icon%1%2.bmp").arg(n, 2, 10, QLatin1Char('0')).arg(s, 2, 10, QLatin1Char('0')); };
            element.set_i01(i, name(1));
            element.set_i02(i, name(2));
            element.set_i03(i, name(3));
        }
    }
    tPosEntry* place(int n, int x, int y, int stellung = 1)
    {
        bahn.Quarnliste_eintragen(x, y, n);
        tPosEntry* e = postable.getEntryByKor(x, y);
        e->Stellung = stellung;
        return e;
    }
    void connect()
    {
        session.connectServer();  // opened on a thread of its own
        ASSERT_TRUE(testsupport::waitFor([&] { return !session.opening(); }));
        ASSERT_TRUE(session.commandConnected());
        ASSERT_TRUE(server.accept(0));
    }
    // The picture at the cell equals the icon file of element n in `state`.
    bool showsIcon(int x, int y, int n, int state)
    {
        QImage icon(bahn.getDataPath() + QStringLiteral("Icon%1%2.bmp").arg(n, 2, 10, QLatin1Char('0')).arg(state, 2, 10, QLatin1Char('0')));
        if (icon.isNull())
            return false;
        icon = icon.convertToFormat(QImage::Format_RGB32);
        return main.Quarn_bitmap.copy(x, y, 27, 27).convertToFormat(QImage::Format_RGB32) == icon;
    }

    FakeSrcpServer server;
    AppState main;
    ScriptedDialogs dialogs;
    C_language lang;
    THighResTimer timer;
    C_Position postable;
    C_Element element;
    TLok lok;
    Cbahn bahn{main, postable, element, lok, dialogs};
    ServerSession session{main, dialogs, lang};
};

} // namespace

TEST(AccessoryAddress, DecoderAndDataPortGiveAddressAndOutput)
{
    const int offset[] = {0, 1, 1, 2, 2, 3, 3, 4, 4};
    const int port[] = {1, 0, 1, 0, 1, 0, 1, 0, 1};
    for (int p = 0; p <= 8; ++p) {
        EXPECT_EQ(Cbahn::gaAddress(3, p).address, 12 + offset[p]) << p;
        EXPECT_EQ(Cbahn::gaAddress(3, p).port, port[p]) << p;
    }
    EXPECT_EQ(Cbahn::gaAddress(3, 6).address, 15);
    EXPECT_EQ(Cbahn::gaAddress(1, 1).address, 5);
    EXPECT_EQ(Cbahn::gaAddress(1, 1).port, 0);
    EXPECT_EQ(Cbahn::gaAddress(2, 11).address, 13);  // other ports: offset p div 2, output 1
    EXPECT_EQ(Cbahn::gaAddress(2, 11).port, 1);
}

TEST_F(AccessoryTest, PulseLinesAre300msApartUnderTheLock)
{
    connect();
    // The caller does not wait: the pulses are written one after the other on the pulse thread.
    auto start = steady_clock::now();
    bahn.ga_out(QStringLiteral("M"), 3, 6);
    bahn.ga_out(QStringLiteral("n"), 1, 1);
    bahn.ga_out(QStringLiteral("M"), 0, 1);   // no decoder: nothing
    bahn.ga_out(QStringLiteral("M"), 1, -1);  // no data port: nothing
    EXPECT_LT(duration_cast<milliseconds>(steady_clock::now() - start).count(), 100);
    EXPECT_EQ(server.receiveUntil(0, "SET GA N 5 0 0 -1\n"),
              "SET GA M 15 1 1 -1\nSET GA M 15 1 0 -1\nSET GA N 5 0 1 -1\nSET GA N 5 0 0 -1\n");
    EXPECT_GE(duration_cast<milliseconds>(steady_clock::now() - start).count(), 600);  // two pulses of 300 ms
    // A line of another writer waits for the whole pulse: it never comes between its two lines.
    bahn.ga_out(QStringLiteral("M"), 3, 6);
    std::this_thread::sleep_for(milliseconds(50));
    ASSERT_TRUE(session.writeCommand("SET GL M 1 1 0 14 0 0\r\n"));
    EXPECT_EQ(server.receiveUntil(0, "SET GL M 1 1 0 14 0 0\r\n"),
              "SET GA M 15 1 1 -1\nSET GA M 15 1 0 -1\nSET GA N 5 0 1 -1\nSET GA N 5 0 0 -1\n"
              "SET GA M 15 1 1 -1\nSET GA M 15 1 0 -1\nSET GL M 1 1 0 14 0 0\r\n");
}

TEST_F(AccessoryTest, NotConnectedSendsNothingAndShowsNothing)
{
    auto start = steady_clock::now();
    bahn.ga_out(QStringLiteral("M"), 3, 6);
    EXPECT_LT(duration_cast<milliseconds>(steady_clock::now() - start).count(), 100);
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(AccessoryTest, OperateClickByKind)
{
    connect();
    tPosEntry* turnout = place(14, 27, 27);
    turnout->Decod1 = 1, turnout->Daten1 = 1, turnout->Decod2 = 1, turnout->Daten2 = 2;
    bahn.operateClick(27, 27);
    EXPECT_TRUE(testsupport::waitFor([&] { return turnout->Stellung == 2; }));
    EXPECT_TRUE(showsIcon(27, 27, 14, 2));
    bahn.operateClick(27, 27);
    EXPECT_TRUE(testsupport::waitFor([&] { return turnout->Stellung == 1; }));
    EXPECT_TRUE(showsIcon(27, 27, 14, 1));
    EXPECT_EQ(server.receiveUntil(0, "SET GA M 5 0 0 -1\n"),
              "SET GA M 5 1 1 -1\nSET GA M 5 1 0 -1\nSET GA M 5 0 1 -1\nSET GA M 5 0 0 -1\n");

    // Three states, state 2 -> 3: first the state-1 command and icon, then state 3.
    tPosEntry* three = place(19, 54, 27, 2);
    three->Decod1 = 2, three->Daten1 = 1, three->Decod3 = 2, three->Daten3 = 3;
    bahn.operateClick(54, 27);
    EXPECT_TRUE(testsupport::waitFor([&] { return three->Stellung == 3; }));
    EXPECT_TRUE(showsIcon(54, 27, 19, 3));
    EXPECT_EQ(server.receiveUntil(0, "SET GA M 10 0 0 -1\n"),
              "SET GA M 5 1 1 -1\nSET GA M 5 1 0 -1\nSET GA M 5 0 1 -1\nSET GA M 5 0 0 -1\n"
              "SET GA M 9 0 1 -1\nSET GA M 9 0 0 -1\nSET GA M 10 0 1 -1\nSET GA M 10 0 0 -1\n");

    // Detector: nothing changes, nothing is sent.
    tPosEntry* detector = place(65, 81, 27);
    detector->Decod1 = 1, detector->Daten1 = 1;
    bahn.operateClick(81, 27);
    EXPECT_EQ(detector->Stellung, 1);
    // An empty cell does nothing.
    bahn.operateClick(270, 270);
    EXPECT_EQ(main.Fahrstrasse, 0);
}

TEST_F(AccessoryTest, MomentaryElementsReturnToStateOne)
{
    connect();
    tPosEntry* uncoupler = place(20, 0, 0);
    uncoupler->Decod1 = 4, uncoupler->Daten1 = 8;
    tPosEntry* stop = place(22, 27, 0);
    int stops = 0;
    Cbahn::OperateHooks hooks;
    hooks.stopAllLocos = [&] { ++stops; };
    auto start = steady_clock::now();
    bahn.operateClick(0, 0, hooks);
    EXPECT_LT(duration_cast<milliseconds>(steady_clock::now() - start).count(), 100) << "the click does not wait";
    // Switched once the line is out, back to state 1 300 ms later; Stellung stays 1.
    EXPECT_TRUE(testsupport::waitFor([&] { return showsIcon(0, 0, 20, 2); }));
    EXPECT_EQ(uncoupler->Stellung, 1);
    EXPECT_TRUE(testsupport::waitFor([&] { return showsIcon(0, 0, 20, 1); }));
    EXPECT_GE(duration_cast<milliseconds>(steady_clock::now() - start).count(), 300);
    EXPECT_EQ(uncoupler->Stellung, 1);
    EXPECT_EQ(stops, 0);
    bahn.operateClick(27, 0, hooks);
    EXPECT_EQ(stops, 1);  // at once, whatever becomes of the button's own command
    EXPECT_EQ(stop->Stellung, 1);
    EXPECT_EQ(server.receiveUntil(0, "SET GA M 20 1 0 -1\n"), "SET GA M 20 1 1 -1\nSET GA M 20 1 0 -1\n");
}

TEST_F(AccessoryTest, SynchronizeResendsStoredStatesWithProgress)
{
    connect();
    tPosEntry* a = place(14, 0, 0, 2);
    a->Decod2 = 1, a->Daten2 = 2;
    place(65, 27, 0)->Decod1 = 1;     // detector: skipped
    tPosEntry* c = place(14, 54, 0, 1);
    c->Protokoll = QStringLiteral("N"), c->Decod1 = 2, c->Daten1 = 3;
    RecordingProgress progress;
    bahn.synchronizeAccessories(progress);  // hands the pulses on; they go out in order
    EXPECT_EQ(progress.calls, (std::vector<std::string>{"begin 3", "step 0 0", "step 1 33", "step 2 66", "end"}));
    EXPECT_EQ(server.receiveUntil(0, "SET GA N 10 0 0 -1\n"),
              "SET GA M 5 1 1 -1\nSET GA M 5 1 0 -1\nSET GA N 10 0 1 -1\nSET GA N 10 0 0 -1\n");
}

TEST_F(AccessoryTest, DecoderPanelShowsAndSaves)
{
    tPosEntry* t = place(14, 27, 54);
    t->CompID = 7, t->Decod1 = 3, t->Daten1 = 5, t->Decod2 = 3, t->Daten2 = 6, t->Protokoll = QStringLiteral("N");
    DecoderPanelContent c = bahn.decoderClick(27, 54);
    EXPECT_TRUE(c.filled);
    EXPECT_EQ(c.rows, 2);
    EXPECT_EQ(c.compId, 7);
    EXPECT_EQ(c.decod, (std::array<int, 3>{3, 3, 0}));
    EXPECT_EQ(c.daten, (std::array<int, 3>{5, 6, 0}));
    EXPECT_EQ(c.protocolIndex, 1);
    EXPECT_TRUE(c.iconFiles[0].endsWith("Icon1401.bmp"));
    EXPECT_TRUE(c.iconFiles[2].isEmpty());
    EXPECT_EQ(main.Speichern_posx, 27);
    EXPECT_EQ(main.Speichern_posy, 54);
    EXPECT_FALSE(bahn.s88Click(27, 54).filled);  // S88 mode ignores turnouts

    EXPECT_TRUE(bahn.decoderPanelSave({"4", "", "9", "1", "2", "3"}, 0));
    EXPECT_EQ(t->Decod1, 4);
    EXPECT_EQ(t->Decod2, 3);  // empty edit: kept
    EXPECT_EQ(t->Decod3, 9);
    EXPECT_EQ(t->Daten3, 3);
    EXPECT_EQ(t->Protokoll, "M");
    // A non-number stops the save before anything is stored.
    EXPECT_FALSE(bahn.decoderPanelSave({"6", "x", "1", "1", "1", "1"}, 1));
    EXPECT_EQ(t->Decod1, 4);
    EXPECT_EQ(t->Decod2, 3);
    EXPECT_EQ(t->Protokoll, "M");

    tPosEntry* d = place(65, 81, 81);
    d->Decod1 = 2, d->Daten1 = 16;
    DecoderPanelContent s = bahn.s88Click(81, 81);
    EXPECT_TRUE(s.filled);
    EXPECT_EQ(s.decod[0], 2);
    EXPECT_EQ(s.daten[0], 16);
    EXPECT_FALSE(bahn.decoderClick(81, 81).filled);  // decoder mode ignores detectors
    EXPECT_FALSE(bahn.decodpaneldarstellen(22, 27, 54).filled);
}

TEST_F(AccessoryTest, DecoderPanelSaveNeedsAnElementChosenInThisMode)
{
    tPosEntry* origin = place(14, 0, 0);
    tPosEntry* turnout = place(14, 27, 54);
    tPosEntry* detector = place(65, 81, 81);
    main.Decoder = true;
    // Nothing chosen yet: the element at (0, 0) must not take the edits.
    EXPECT_FALSE(bahn.decoderPanelSave({"4", "4", "4", "1", "2", "3"}, 1));
    EXPECT_EQ(origin->Decod1, 0);
    EXPECT_EQ(origin->Protokoll, "M");

    bahn.decoderClick(27, 54);
    EXPECT_TRUE(bahn.decoderPanelSave({"4", "4", "4", "1", "2", "3"}, 0));
    EXPECT_EQ(turnout->Decod1, 4);
    // S88 mode with the turnout still chosen from decoder mode: nothing is stored into it.
    main.Decoder = false;
    main.S88config = true;
    EXPECT_FALSE(bahn.decoderPanelSave({"9", "", "", "5", "", ""}, 0));
    EXPECT_EQ(turnout->Decod1, 4);
    bahn.s88Click(81, 81);
    EXPECT_TRUE(bahn.decoderPanelSave({"9", "", "", "5", "", ""}, 0));
    EXPECT_EQ(detector->Decod1, 9);
    EXPECT_EQ(detector->Daten1, 5);
}

TEST_F(AccessoryTest, AClickWithoutConnectionChangesNothingAndSaysWhy)
{
    tPosEntry* turnout = place(14, 27, 27);
    turnout->Decod1 = 1, turnout->Daten1 = 1, turnout->Decod2 = 1, turnout->Daten2 = 2;
    tPosEntry* three = place(19, 54, 27, 2);
    three->Decod1 = 2, three->Daten1 = 1, three->Decod3 = 2, three->Daten3 = 3;
    tPosEntry* bare = place(14, 81, 27);  // no decoder assigned
    bahn.changeicon(1, 27, 27, 14);
    bahn.changeicon(2, 54, 27, 19);
    bahn.changeicon(1, 81, 27, 14);
    std::vector<QString> said;
    Cbahn::OperateHooks hooks;
    hooks.status = [&](const QString& t) { said.push_back(t); };

    // Server gone: neither state nor picture moves, in one step or through state 1 to 3.
    bahn.operateClick(27, 27, hooks);
    bahn.operateClick(54, 27, hooks);
    EXPECT_EQ(turnout->Stellung, 1);
    EXPECT_TRUE(showsIcon(27, 27, 14, 1));
    EXPECT_EQ(three->Stellung, 2);
    EXPECT_TRUE(showsIcon(54, 27, 19, 2));
    ASSERT_EQ(said.size(), 2u);
    EXPECT_TRUE(said[0].contains(QStringLiteral("nothing was sent"))) << said[0].toStdString();

    // Connected, and no decoder behind the element: drawn only, it switches and nothing is said.
    connect();
    bahn.operateClick(81, 27, hooks);
    EXPECT_EQ(bare->Stellung, 2);
    EXPECT_TRUE(showsIcon(81, 27, 14, 2));
    EXPECT_EQ(said.size(), 2u);
    // And once it goes out, it moves.
    bahn.operateClick(27, 27, hooks);
    EXPECT_TRUE(testsupport::waitFor([&] { return turnout->Stellung == 2; }));
    EXPECT_TRUE(showsIcon(27, 27, 14, 2));
    EXPECT_EQ(said.size(), 2u);
    EXPECT_EQ(server.receiveUntil(0, "SET GA M 5 1 0 -1\n"), "SET GA M 5 1 1 -1\nSET GA M 5 1 0 -1\n");
}

TEST_F(AccessoryTest, ServerReportsMoveTheAccessoriesTheyReach)
{
    tPosEntry* turnout = place(14, 27, 27);  // state 1: address 5 port 0; state 2: address 5 port 1
    turnout->Decod1 = 1, turnout->Daten1 = 1, turnout->Decod2 = 1, turnout->Daten2 = 2;
    tPosEntry* three = place(19, 54, 27);  // state 3: address 10 port 0
    three->Decod1 = 2, three->Daten1 = 1, three->Decod2 = 2, three->Daten2 = 2, three->Decod3 = 2, three->Daten3 = 3;
    tPosEntry* uncoupler = place(20, 81, 27);  // address 13 port 1
    uncoupler->Decod1 = 3, uncoupler->Daten1 = 2;
    tPosEntry* nmra = place(14, 108, 27);
    nmra->Protokoll = QStringLiteral("N"), nmra->Decod2 = 1, nmra->Daten2 = 2;

    struct Case {
        bool motorola;
        int address, port, value;
        int drawn;
        tPosEntry* element;
        int stellung;  // afterwards
        int icon;      // afterwards
    };
    const Case cases[] = {
        {true, 5, 1, 1, 1, turnout, 2, 2},     // switched by someone else
        {true, 5, 1, 0, 0, turnout, 2, 2},     // the end of the pulse changes nothing
        {true, 5, 1, 1, 0, turnout, 2, 2},     // the same again: nothing drawn
        {true, 10, 0, 1, 1, three, 3, 3},
        {true, 13, 1, 1, 1, uncoupler, 1, 2},  // uncoupling: switched picture while on
        {true, 13, 1, 0, 1, uncoupler, 1, 1},
        {false, 5, 1, 1, 1, nmra, 2, 2},       // protocols kept apart
        {true, 77, 0, 1, 0, turnout, 2, 2},    // no element there
    };
    for (const Case& c : cases) {
        EXPECT_EQ(bahn.accessoryReported(c.motorola, c.address, c.port, c.value), c.drawn) << c.address;
        EXPECT_EQ(c.element->Stellung, c.stellung) << c.address;
        EXPECT_TRUE(showsIcon(c.element->Posx, c.element->Posy, c.element->Enummer, c.icon)) << c.address;
    }
    EXPECT_EQ(uncoupler->Stellung, 1);
}

TEST_F(AccessoryTest, TheReportsOfOurOwnCommandsDrawNothing)
{
    connect();
    tPosEntry* three = place(19, 54, 27, 2);
    three->Decod1 = 2, three->Daten1 = 1, three->Decod3 = 2, three->Daten3 = 3;
    bahn.operateClick(54, 27);  // 2 -> 3 goes through 1: two commands
    ASSERT_TRUE(testsupport::waitFor([&] { return three->Stellung == 3; }));
    EXPECT_EQ(bahn.echoes().pending(), 2u);
    // Their reports come later: the first would show state 1 for a moment.
    EXPECT_EQ(bahn.accessoryReported(true, 9, 0, 1), 0);
    EXPECT_EQ(bahn.accessoryReported(true, 9, 0, 0), 0);
    EXPECT_EQ(bahn.accessoryReported(true, 10, 0, 1), 0);
    EXPECT_EQ(three->Stellung, 3);
    EXPECT_TRUE(showsIcon(54, 27, 19, 3));
    EXPECT_EQ(bahn.echoes().pending(), 0u);
    // A later report of the same port is someone else's.
    EXPECT_EQ(bahn.accessoryReported(true, 9, 0, 1), 1);
    EXPECT_EQ(three->Stellung, 1);
}

TEST(AccessoryEchoes, ExpectationsExpire)
{
    AccessoryEchoes echoes;
    const auto t0 = AccessoryEchoes::Clock::now();
    echoes.expect(true, 5, 1, t0);
    echoes.expect(true, 6, 0, t0);
    EXPECT_FALSE(echoes.take(false, 5, 1, t0));  // other protocol
    EXPECT_TRUE(echoes.take(true, 5, 1, t0));
    EXPECT_FALSE(echoes.take(true, 5, 1, t0));   // used up
    EXPECT_FALSE(echoes.take(true, 6, 0, t0 + AccessoryEchoes::Window + milliseconds(1)));
    echoes.expect(true, 7, 0, t0);
    echoes.forget(true, 7, 0);
    EXPECT_EQ(echoes.pending(), 0u);
}
