// The reconnect policy and the link watch, without any connection or window.

#include "session/LinkWatch.h"
#include "session/ReconnectPolicy.h"

#include <gtest/gtest.h>

#include <vector>

using namespace std::chrono;
using State = ReconnectPolicy::State;

TEST(ReconnectPolicy, BacksOffFromOneSecondDoublingToTenAndTriesIndefinitely)
{
    ReconnectPolicy p;
    p.connected();
    auto first = p.lost();
    ASSERT_TRUE(first);
    EXPECT_EQ(*first, milliseconds(1000));
    EXPECT_TRUE(p.reconnecting());

    std::vector<long> delays;
    for (int i = 0; i < 8; ++i) {
        ASSERT_TRUE(p.startAttempt());
        EXPECT_EQ(p.state(), State::Trying);
        EXPECT_EQ(p.attempts(), i + 1);
        auto next = p.attemptFailed();
        ASSERT_TRUE(next);
        delays.push_back(long(next->count()));
    }
    EXPECT_EQ(delays, (std::vector<long>{2000, 4000, 8000, 10000, 10000, 10000, 10000, 10000}));

    // Success resets: the next loss starts at 1 s again.
    ASSERT_TRUE(p.startAttempt());
    p.connected();
    EXPECT_EQ(p.state(), State::Connected);
    EXPECT_EQ(p.attempts(), 0);
    EXPECT_EQ(*p.lost(), milliseconds(1000));
}

TEST(ReconnectPolicy, TransitionsOutsideTheirStateChangeNothing)
{
    ReconnectPolicy p;
    EXPECT_FALSE(p.lost());            // never connected: nothing to get back
    EXPECT_FALSE(p.startAttempt());
    EXPECT_FALSE(p.attemptFailed());
    EXPECT_EQ(p.state(), State::Disconnected);

    p.connected();
    EXPECT_FALSE(p.startAttempt());    // connected: no attempt
    EXPECT_FALSE(p.attemptFailed());
    ASSERT_TRUE(p.lost());
    EXPECT_FALSE(p.lost());            // a second report of the same loss
    EXPECT_EQ(p.state(), State::Waiting);
    EXPECT_FALSE(p.attemptFailed());   // no attempt running
    ASSERT_TRUE(p.startAttempt());
    EXPECT_FALSE(p.startAttempt());    // one attempt at a time
}

TEST(ReconnectPolicy, UserDisconnectStopsTheAttemptsInEveryState)
{
    for (int stop = 0; stop < 3; ++stop) {
        ReconnectPolicy p;
        p.connected();
        if (stop >= 1)
            p.lost();
        if (stop >= 2)
            p.startAttempt();
        p.disconnected();
        EXPECT_EQ(p.state(), State::Disconnected) << stop;
        EXPECT_FALSE(p.reconnecting());
        EXPECT_FALSE(p.startAttempt());
        // A result of an attempt that was running when the user disconnected changes nothing.
        EXPECT_FALSE(p.attemptFailed());
        EXPECT_EQ(p.state(), State::Disconnected);
    }
}

TEST(ReconnectPolicy, SwitchedOffALossEndsTheSession)
{
    ReconnectPolicy p;
    p.enabled = false;
    p.connected();
    EXPECT_FALSE(p.lost());
    EXPECT_EQ(p.state(), State::Disconnected);
    EXPECT_FALSE(p.reconnecting());
}

namespace {

struct WatchClock {
    LinkWatch::Clock::time_point t0 = LinkWatch::Clock::now();
    LinkWatch::Clock::time_point at(int ms) const { return t0 + milliseconds(ms); }
};

} // namespace

TEST(LinkWatch, AConnectionThatIsNeverGreetedIsLost)
{
    WatchClock c;
    LinkWatch w;
    w.timings = {milliseconds(5000), milliseconds(10000), milliseconds(5000)};
    w.reset();
    w.opened(c.at(0), false);
    EXPECT_EQ(w.tick(c.at(4999)), LinkWatch::Action::None);
    EXPECT_EQ(w.tick(c.at(5000)), LinkWatch::Action::Lost);

    w.opened(c.at(0), false);
    w.lineReceived(c.at(100));  // greeted
    EXPECT_EQ(w.tick(c.at(5000)), LinkWatch::Action::None);
}

TEST(LinkWatch, ProbesAfterSilenceAndLosesAServerThatStopsAnswering)
{
    WatchClock c;
    LinkWatch w;
    w.timings = {milliseconds(5000), milliseconds(10000), milliseconds(5000)};
    w.reset();
    w.opened(c.at(0), true);
    EXPECT_EQ(w.tick(c.at(9999)), LinkWatch::Action::None);
    w.lineReceived(c.at(9000));  // any line postpones the question
    EXPECT_EQ(w.tick(c.at(18999)), LinkWatch::Action::None);
    ASSERT_EQ(w.tick(c.at(19000)), LinkWatch::Action::SendProbe);
    w.probeSent(c.at(19000));
    EXPECT_EQ(w.tick(c.at(20000)), LinkWatch::Action::None);  // waiting for the answer
    w.lineReceived(c.at(20500));
    EXPECT_TRUE(w.answersProbes());

    // Next silence: the question goes unanswered, and this server is known to answer it.
    ASSERT_EQ(w.tick(c.at(30500)), LinkWatch::Action::SendProbe);
    w.probeSent(c.at(30500));
    EXPECT_EQ(w.tick(c.at(35499)), LinkWatch::Action::None);
    EXPECT_EQ(w.tick(c.at(35500)), LinkWatch::Action::Lost);
}

TEST(LinkWatch, AServerThatNeverAnswersTheQuestionIsNotTakenForLost)
{
    WatchClock c;
    LinkWatch w;
    w.timings = {milliseconds(5000), milliseconds(10000), milliseconds(5000)};
    w.reset();
    w.opened(c.at(0), true);
    ASSERT_EQ(w.tick(c.at(10000)), LinkWatch::Action::SendProbe);
    w.probeSent(c.at(10000));
    EXPECT_EQ(w.tick(c.at(15000)), LinkWatch::Action::None);
    EXPECT_FALSE(w.probing());
    for (int t = 15000; t < 100000; t += 1000)
        ASSERT_EQ(w.tick(c.at(t)), LinkWatch::Action::None) << t;

    // What was learnt about the server holds across its reconnections, until reset().
    LinkWatch answering;
    answering.timings = w.timings;
    answering.reset();
    answering.opened(c.at(0), true);
    answering.tick(c.at(10000));
    answering.probeSent(c.at(10000));
    answering.lineReceived(c.at(10010));
    answering.opened(c.at(20000), true);  // reconnected
    ASSERT_EQ(answering.tick(c.at(30000)), LinkWatch::Action::SendProbe);
    answering.probeSent(c.at(30000));
    EXPECT_EQ(answering.tick(c.at(35000)), LinkWatch::Action::Lost);
    answering.reset();
    EXPECT_FALSE(answering.answersProbes());
}
