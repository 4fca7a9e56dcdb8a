// The panel shows what the railway confirmed: an accessory command waits for its outcome, the
// element takes the new state only when it is confirmed, shows a mark while the answer is slow and
// stays as it was, with a word naming it, when the command is refused, times out or loses its
// connection. Elements without decoder are drawn only. The channel here is a fake that keeps the
// pulses it was given; the test decides what becomes of them.

#include "base/AppState.h"
#include "base/CommandChannel.h"
#include "base/GuiChannel.h"
#include "base/ScriptedDialogs.h"
#include "base/TLok.h"
#include "layout/C_Element.h"
#include "layout/C_Position.h"
#include "panel/C_fahr.h"
#include "panel/Cbahn.h"
#include "panel/RouteMode.h"

#include <QImage>

#include <gtest/gtest.h>

#include <deque>

namespace {

using Clock = AccessoryPending::Clock;

struct FakeChannel : CommandChannel {
    struct Pulse {
        std::string on, off;
        std::function<void()> between;
        std::function<void(bool)> done;
    };
    bool connected = true;
    bool reports = false;  // an info channel is open
    std::vector<Pulse> pulses;
    bool commandConnected() const override { return connected; }
    bool reconnecting() const override { return false; }
    void refuseWhileReconnecting() override {}
    bool writeCommand(std::string_view) override { return connected; }
    bool writePulse(std::string_view, std::string_view, const std::function<void()>&) override { return connected; }
    void postPulse(std::string on, std::string off, std::function<void()> between,
                   std::function<void(bool)> done) override
    {
        pulses.push_back({std::move(on), std::move(off), std::move(between), std::move(done)});
    }
    bool reportsAccessories() const override { return reports; }
};

struct Confirm : ::testing::Test {
    AppState main;
    C_Position postable;
    C_Element element;
    TLok lok;
    ScriptedDialogs dialogs;
    Cbahn bahn{main, postable, element, lok, dialogs};
    FakeChannel channel;
    std::vector<QString> said;
    std::deque<std::pair<int, std::function<void()>>> timers;  // what `later` was asked to run

    void SetUp() override
    {
        main.WorkDir = QStringLiteral(QUARN_PROGRAM_DIR);
        main.Quarn_bitmap = QImage(980, 680, QImage::Format_RGB32);
        main.Quarn_bitmap.fill(Qt::gray);
        main.SrcpVer = 73;
        main.Session = &channel;
        element.set_art(13, 2);  // 14 turnout
        element.set_art(18, 3);  // 19 three-way turnout
        element.set_art(19, 1);  // 20 uncoupling track
        for (int i : {13, 18, 19}) {
            const int n = i + 1;
            auto name = [n](int s) {
                return QStringLiteral("Icon%1%2.bmp").arg(n, 2, 10, QLatin1Char('0')).arg(s, 2, 10, QLatin1Char('0'));
            };
            element.set_i01(i, name(1));
            element.set_i02(i, name(2));
            element.set_i03(i, name(3));
        }
        // The outcomes come straight back (the test plays the pulse thread), timers are kept.
        bahn.setGuiChannel(std::make_shared<GuiChannel>([](std::function<void()> call) { call(); }));
        bahn.later = [this](int ms, std::function<void()> call) { timers.emplace_back(ms, std::move(call)); };
        bahn.trackPanel().statusText = [this](const QString& t) { said.push_back(t); };
    }
    tPosEntry* place(int n, int x, int y, int stellung = 1)
    {
        bahn.Quarnliste_eintragen(x, y, n);
        tPosEntry* e = postable.getEntryByKor(x, y);
        e->Stellung = stellung;
        bahn.changeicon(stellung, x, y, n);
        return e;
    }
    tPosEntry* turnout(int x = 27, int y = 27)
    {
        tPosEntry* t = place(14, x, y);
        t->Decod1 = 1, t->Daten1 = 1, t->Decod2 = 1, t->Daten2 = 2;  // address 5, ports 0 and 1
        return t;
    }
    bool showsIcon(const tPosEntry& e, int state) const
    {
        QImage icon(bahn.getDataPath() + QStringLiteral("Icon%1%2.bmp")
                                             .arg(e.Enummer, 2, 10, QLatin1Char('0'))
                                             .arg(state, 2, 10, QLatin1Char('0')));
        return !icon.isNull() && main.Quarn_bitmap.copy(e.Posx, e.Posy, 27, 27).convertToFormat(QImage::Format_RGB32) ==
                                     icon.convertToFormat(QImage::Format_RGB32);
    }
    // The pulse thread writes pulse i: the switch-on line goes out (`between` tells the GUI so), or
    // nothing goes out.
    void write(std::size_t i, bool written = true)
    {
        ASSERT_LT(i, channel.pulses.size());
        if (written)
            channel.pulses[i].between();
        channel.pulses[i].done(written);
    }
    std::uint64_t onlyPending() const
    {
        EXPECT_EQ(bahn.pending().size(), 1u);
        return bahn.pending().empty() ? 0 : bahn.pending().commands().front().id;
    }
    // Runs the timers asked for so far (not those they ask for in turn).
    void runTimers()
    {
        auto now = std::move(timers);
        timers.clear();
        for (auto& [ms, call] : now)
            call();
    }
};

}  // namespace

// Every way a command can end: when the picture and Stellung change, and what is said. (The SRCP
// 0.8 adapter reports the same outcomes from its own thread; played here through commandOutcome.)
TEST_F(Confirm, ThePictureFollowsTheOutcomeNotTheClick)
{
    using O = AccessoryOutcome;
    const auto outcome = [](O o) { return [o](Confirm& t, std::uint64_t id) { t.bahn.commandOutcome(id, o); }; };
    struct Case {
        const char* name;
        bool infoChannel;
        std::function<void(Confirm&, std::uint64_t id)> then;
        int state;           // afterwards
        const char* saying;  // part of the message, empty: nothing said
    };
    const Case cases[] = {
        {"acknowledged (0.8: its OK)", false, outcome(O::Acknowledged), 2, ""},
        {"its report before the OK", false, [](Confirm& t, auto) { t.bahn.accessoryReported(true, 5, 1, 1); }, 2, ""},
        {"refused", false, outcome(O::Refused), 1, "refused"},
        {"timed out", false, outcome(O::TimedOut), 1, "did not answer in time"},
        {"connection lost", false, outcome(O::ConnectionLost), 1, "connection was lost"},
        {"0.7.3 written, no info channel", false, [](Confirm& t, auto) { t.write(0); }, 2, ""},
        {"0.7.3 written and reported", true,
         [](Confirm& t, auto) {
             t.write(0);
             EXPECT_EQ(t.bahn.pending().size(), 1u) << "the report is awaited";
             t.bahn.accessoryReported(true, 5, 1, 1);
         },
         2, ""},
        {"0.7.3 reported while still being written", true,
         [](Confirm& t, auto) { t.bahn.accessoryReported(true, 5, 1, 1); }, 2, ""},
        {"0.7.3 written, never reported", true,
         [](Confirm& t, auto) {
             t.write(0);
             const auto written = t.bahn.pending().commands().front().writtenAt;
             t.bahn.checkPending(written + AccessoryPending::ReportWithin - std::chrono::milliseconds(1));
             EXPECT_EQ(t.bahn.pending().size(), 1u) << "still waiting";
             t.bahn.checkPending(written + AccessoryPending::ReportWithin);
         },
         1, "did not answer in time"},
        {"0.7.3 nothing written", true, [](Confirm& t, auto) { t.write(0, false); }, 1, "connection was lost"},
        {"0.7.3 only the other port reported", true,
         [](Confirm& t, auto id) {
             t.write(0);
             t.bahn.accessoryReported(true, 5, 0, 1);  // the other port of the same address
             t.bahn.commandOutcome(id, O::TimedOut);
         },
         1, "did not answer in time"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        channel.pulses.clear();
        channel.reports = c.infoChannel;
        said.clear();
        tPosEntry* t = turnout();
        bahn.operateClick(27, 27);
        ASSERT_EQ(channel.pulses.size(), 1u);
        EXPECT_EQ(channel.pulses[0].on, "SET GA M 5 1 1 -1\n");
        EXPECT_EQ(channel.pulses[0].off, "SET GA M 5 1 0 -1\n");
        const std::uint64_t id = onlyPending();
        EXPECT_EQ(t->Stellung, 1) << "nothing confirmed yet";
        EXPECT_TRUE(showsIcon(*t, 1));
        EXPECT_EQ(bahn.expectedState(*t), 2) << "the next click goes on from there";
        c.then(*this, id);
        EXPECT_TRUE(bahn.pending().empty());
        EXPECT_EQ(t->Stellung, c.state);
        EXPECT_TRUE(showsIcon(*t, c.state));
        if (*c.saying) {
            ASSERT_EQ(said.size(), 1u);
            EXPECT_TRUE(said[0].contains(QLatin1String(c.saying))) << said[0].toStdString();
            EXPECT_TRUE(said[0].startsWith(QStringLiteral("Accessory M 5 (column 2, row 2)"))) << said[0].toStdString();
        } else {
            EXPECT_TRUE(said.empty()) << said.front().toStdString();
        }
        EXPECT_TRUE(bahn.trackPanel().pendingMarks().empty());
        // A late word on a command already settled changes nothing.
        bahn.commandOutcome(id, c.state == 2 ? O::Refused : O::Acknowledged);
        EXPECT_EQ(t->Stellung, c.state);
        bahn.deletecompfromlist(27, 27);
    }
}

TEST_F(Confirm, ASlowAnswerShowsTheMarkUntilItComes)
{
    channel.reports = true;
    tPosEntry* t = turnout();
    tPosEntry* other = turnout(81, 27);
    bahn.operateClick(27, 27);
    const auto given = bahn.pending().commands().front().since;
    bahn.checkPending(given + AccessoryPending::MarkAfter - std::chrono::milliseconds(20));
    EXPECT_TRUE(bahn.trackPanel().pendingMarks().empty()) << "a quick answer shows no mark";
    bahn.checkPending(given + AccessoryPending::MarkAfter);
    ASSERT_EQ(bahn.trackPanel().pendingMarks().size(), 1u);
    EXPECT_EQ(bahn.trackPanel().pendingMarks()[0], QPoint(27, 27));
    EXPECT_TRUE(showsIcon(*t, 1));
    EXPECT_FALSE(timers.empty()) << "the pending command is looked at again";
    write(0);
    bahn.accessoryReported(true, 5, 1, 1);
    EXPECT_TRUE(showsIcon(*t, 2));
    EXPECT_TRUE(bahn.trackPanel().pendingMarks().empty());
    EXPECT_EQ(other->Stellung, 1);
}

// Three quick clicks on a three-way turnout: each goes on from where the one before leads, the
// pulses go out in order, and each state is shown as it is confirmed.
TEST_F(Confirm, QuickClicksGoOnFromThePendingState)
{
    tPosEntry* three = place(19, 54, 27, 1);
    three->Decod1 = 2, three->Daten1 = 1, three->Decod2 = 2, three->Daten2 = 2, three->Decod3 = 2, three->Daten3 = 3;
    bahn.operateClick(54, 27);  // 1 -> 2
    bahn.operateClick(54, 27);  // 2 -> 3: through 1
    bahn.operateClick(54, 27);  // 3 -> 1
    std::vector<std::string> lines;
    for (const auto& p : channel.pulses)
        lines.push_back(p.on);
    EXPECT_EQ(lines, (std::vector<std::string>{"SET GA M 9 1 1 -1\n", "SET GA M 9 0 1 -1\n", "SET GA M 10 0 1 -1\n",
                                               "SET GA M 9 0 1 -1\n"}));
    EXPECT_EQ(three->Stellung, 1);
    const int states[] = {2, 1, 3, 1};
    for (std::size_t i = 0; i < channel.pulses.size(); ++i) {
        write(i);
        EXPECT_EQ(three->Stellung, states[i]) << i;
        EXPECT_TRUE(showsIcon(*three, states[i])) << i;
    }
    // An older command confirmed after a newer one does not draw over it.
    bahn.operateClick(54, 27);  // 1 -> 2
    bahn.operateClick(54, 27);  // 2 -> 3 (through 1)
    ASSERT_EQ(bahn.pending().size(), 3u);
    const auto ids = bahn.pending().commands();
    bahn.commandOutcome(ids[2].id, AccessoryOutcome::Acknowledged);
    bahn.commandOutcome(ids[0].id, AccessoryOutcome::Acknowledged);
    bahn.commandOutcome(ids[1].id, AccessoryOutcome::Acknowledged);
    EXPECT_EQ(three->Stellung, 3);
    EXPECT_TRUE(showsIcon(*three, 3));
}

// Drawn only: no decoder for the state clicked. The picture switches at once, nothing is sent and
// nothing said, connected or not.
TEST_F(Confirm, ElementsWithoutDecoderSwitchTheirPictureOnly)
{
    tPosEntry* bare = place(14, 27, 27);
    tPosEntry* three = place(19, 54, 27, 2);
    tPosEntry* uncoupler = place(20, 81, 27);
    for (bool connected : {true, false}) {
        SCOPED_TRACE(connected);
        channel.connected = connected;
        bahn.operateClick(27, 27);
        EXPECT_EQ(bare->Stellung, 2);
        EXPECT_TRUE(showsIcon(*bare, 2));
        bahn.operateClick(27, 27);
        EXPECT_EQ(bare->Stellung, 1);
        EXPECT_TRUE(showsIcon(*bare, 1));
        bahn.operateClick(54, 27);  // 2 -> 3 through 1
        EXPECT_EQ(three->Stellung, 3);
        EXPECT_TRUE(showsIcon(*three, 3));
        bahn.operateClick(54, 27);
        EXPECT_EQ(three->Stellung, 1);
        bahn.operateClick(54, 27);
        EXPECT_EQ(three->Stellung, 2);
        bahn.operateClick(81, 27);  // momentary: switched, back after 300 ms
        EXPECT_TRUE(showsIcon(*uncoupler, 2));
        ASSERT_FALSE(timers.empty());
        EXPECT_EQ(timers.back().first, 300);
        runTimers();
        EXPECT_TRUE(showsIcon(*uncoupler, 1));
        EXPECT_EQ(uncoupler->Stellung, 1);
    }
    EXPECT_TRUE(channel.pulses.empty());
    EXPECT_TRUE(said.empty());
    EXPECT_TRUE(bahn.pending().empty());

    // With a decoder, a lost server still refuses the click, and says so.
    tPosEntry* t = turnout(108, 27);
    std::vector<QString> status;
    Cbahn::OperateHooks hooks;
    hooks.status = [&](const QString& s) { status.push_back(s); };
    channel.connected = false;
    bahn.operateClick(108, 27, hooks);
    EXPECT_EQ(t->Stellung, 1);
    EXPECT_TRUE(showsIcon(*t, 1));
    ASSERT_EQ(status.size(), 1u);
    EXPECT_TRUE(status[0].contains(QStringLiteral("nothing was sent"))) << status[0].toStdString();
    EXPECT_TRUE(channel.pulses.empty());
}

// A route's accessories are confirmed one by one; one that does not switch leaves the route
// released, its switch drawn released, and says which accessory it was.
TEST_F(Confirm, ARouteIsReleasedWhenOneOfItsAccessoriesDoesNotSwitch)
{
    C_fahr fahr{main};
    Fahr = &fahr;
    element.set_art(87, 0);  // 88 route switch
    fahr.attach(postable, element, bahn.trackPanel());
    bahn.trackPanel().switchAccessory = [this](tPosEntry& e, int state, int route) {
        const auto r = bahn.switchAccessory(e, state, route);
        return r == Cbahn::SendResult::Sent || r == Cbahn::SendResult::NoDecoder;
    };
    tPosEntry* a = turnout(27, 27);
    tPosEntry* b = turnout(54, 27);
    b->Decod1 = 2, b->Decod2 = 2;  // address 9
    tPosEntry* button = place(88, 108, 0);
    button->Fahrnr = 1;
    fahr.fahreintragen(1, 14, 27, 27, 12);
    fahr.fahreintragen(1, 14, 54, 27, 12);
    RouteMode mode{main, fahr, postable, bahn.trackPanel(), dialogs};
    main.Betrieb = true;

    mode.routeSwitchClick(*button);
    ASSERT_TRUE(main.Knopf[1]);
    ASSERT_EQ(channel.pulses.size(), 2u);
    EXPECT_EQ(a->Stellung, 1) << "nothing confirmed yet";
    write(0);
    EXPECT_EQ(a->Stellung, 2);
    write(1, false);  // the second never went out
    EXPECT_EQ(b->Stellung, 1);
    EXPECT_FALSE(main.Knopf[1]);
    EXPECT_EQ(fahr.shownRoute, 0);
    ASSERT_EQ(said.size(), 1u);
    EXPECT_TRUE(said[0].startsWith(QStringLiteral("Accessory M 9 (column 3, row 2)"))) << said[0].toStdString();
    EXPECT_TRUE(said[0].contains(QStringLiteral("Route 1 is not set"))) << said[0].toStdString();
    Fahr = nullptr;
}
