// Decoder programming against the simulator's programming track: reads, writes, bits, verify, the
// refusals a real track gives, cancel, and a server that stops answering, all without the caller
// ever waiting on the network.

#include "moba/TMoBaSRCPProgrammer.h"

#include "srcp/FakeSrcpServer.h"
#include "srcp/SimProcess.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

using namespace std::chrono;

namespace {

// Collects the programmer's results, handed over from its worker thread.
struct Results {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<SmResult> list;
    bool connected = false;
    std::string connectWhy;
    int connectReports = 0;

    void add(const SmResult& r)
    {
        std::lock_guard lock(mutex);
        list.push_back(r);
        changed.notify_all();
    }
    SmFailure connectFailure = SmFailure::None;
    int connectCode = 0;
    void connect(const SmResult& report)
    {
        std::lock_guard lock(mutex);
        connected = report.ok;
        connectWhy = report.detail;
        connectFailure = report.failure;
        connectCode = report.code;
        ++connectReports;
        changed.notify_all();
    }
    bool waitCount(std::size_t n, milliseconds timeout = 8s)
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, timeout, [&] { return list.size() >= n; });
    }
    bool waitConnect(milliseconds timeout = 8s)
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, timeout, [&] { return connectReports > 0; });
    }
};

struct Programmer {
    explicit Programmer(int port, int address = 0)
    {
        TMoBaSRCPProgrammer::Target t;
        t.host = "127.0.0.1";
        t.port = port;
        t.bus = 1;
        t.decoderAddress = address;
        t.answerTimeoutMs = 2000;
        p.start(t);
    }
    Results results;
    TMoBaSRCPProgrammer p{[this](const SmResult& r) { results.add(r); },
                          [this](const SmResult& report) { results.connect(report); }};
};

SmRequest read(int cv, int tag = 0) { return {SmOp::Read, smtCV, cv, -1, -1, tag}; }
SmRequest write(int cv, int value) { return {SmOp::Write, smtCV, cv, -1, value, 0}; }

}  // namespace

TEST(TMoBaSRCPProgrammer, ReadsWritesBitsAndVerifiesOnTheProgrammingTrack)
{
    SimProcess sim{SRCP_SIM_PATH, {"--protocol", "0.8.2", "--port", "0"}};
    ASSERT_GT(sim.port(), 0);
    Programmer pr(sim.port());
    ASSERT_TRUE(pr.results.waitConnect());
    ASSERT_TRUE(pr.results.connected) << pr.results.connectWhy;

    pr.p.submit(read(1, 11));
    pr.p.submit(read(8, 12));
    pr.p.submit(write(17, 200));
    pr.p.submit(write(18, 100));
    pr.p.submit({SmOp::Write, smtCVBit, 29, 5, 1, 0});
    pr.p.submit({SmOp::Read, smtCVBit, 29, 5, -1, 0});
    pr.p.submit(read(29));
    pr.p.submit({SmOp::Verify, smtCV, 17, -1, 200, 0});
    pr.p.submit({SmOp::Verify, smtCV, 17, -1, 201, 0});
    pr.p.submit(write(7, 1));
    ASSERT_TRUE(pr.results.waitCount(10));

    const auto& r = pr.results.list;
    EXPECT_TRUE(r[0].ok);
    EXPECT_EQ(r[0].value, 3);
    EXPECT_EQ(r[0].request.tag, 11);  // results come back in order, with their request
    EXPECT_EQ(r[1].value, 151);
    EXPECT_TRUE(r[2].ok && r[3].ok && r[4].ok);
    EXPECT_TRUE(r[5].ok);
    EXPECT_EQ(r[5].value, 1);
    EXPECT_EQ(r[6].value, 38);  // 6 with bit 5 set
    EXPECT_TRUE(r[7].ok);
    EXPECT_FALSE(r[8].ok);
    EXPECT_EQ(r[8].failure, SmFailure::WrongValue);
    EXPECT_EQ(r[8].value, 200);  // what the decoder holds, read back
    EXPECT_EQ(r[9].failure, SmFailure::NoAcknowledge);  // CV 7 is read only
}

TEST(TMoBaSRCPProgrammer, RefusalsOfTheTrackAreToldApart)
{
    SimProcess sim{SRCP_SIM_PATH, {"--protocol", "0.8.2", "--port", "0"}};
    sim.command("sm timing 10 10");
    Programmer pr(sim.port());
    ASSERT_TRUE(pr.results.waitConnect());
    ASSERT_TRUE(pr.results.connected);
    sim.command("sm noloco on");
    pr.p.submit(read(1));
    ASSERT_TRUE(pr.results.waitCount(1));
    sim.command("sm noloco off");
    sim.command("sm noack on");
    pr.p.submit(write(3, 4));
    ASSERT_TRUE(pr.results.waitCount(2));
    sim.command("sm noack off");
    EXPECT_EQ(pr.results.list[0].failure, SmFailure::NoLoco);
    EXPECT_EQ(pr.results.list[1].failure, SmFailure::NoAcknowledge);

    // A programming bus answers a read whatever decoder address it names, as a current server does.
    Programmer main(sim.port(), 3);
    ASSERT_TRUE(main.results.waitConnect());
    main.p.submit(read(1));
    main.p.submit(write(3, 20));
    ASSERT_TRUE(main.results.waitCount(2));
    EXPECT_TRUE(main.results.list[0].ok);
    EXPECT_TRUE(main.results.list[1].ok);
}

TEST(TMoBaSRCPProgrammer, CancelStopsAfterTheRunningRequestAndNothingBlocksTheCaller)
{
    SimProcess sim{SRCP_SIM_PATH, {"--protocol", "0.8.2", "--port", "0"}};
    sim.command("sm timing 150 150");
    Programmer pr(sim.port());
    ASSERT_TRUE(pr.results.waitConnect());
    for (int cv = 1; cv <= 8; ++cv)
        pr.p.submit(read(cv));
    ASSERT_TRUE(pr.results.waitCount(1));
    const auto before = steady_clock::now();
    pr.p.cancel();
    EXPECT_LT(steady_clock::now() - before, 50ms);
    ASSERT_TRUE(pr.results.waitCount(8));
    std::lock_guard lock(pr.results.mutex);
    int done = 0, cancelled = 0;
    for (const auto& r : pr.results.list) {
        done += r.ok;
        cancelled += r.failure == SmFailure::Cancelled;
    }
    EXPECT_EQ(done + cancelled, 8);
    EXPECT_GE(cancelled, 5);  // at most the first, the running one and a straggler went through
    EXPECT_EQ(pr.p.pending(), 0u);
}

// finish() gives up the running request at once (its value is unknown), on a slow programming
// track and on one that never answers, and the session can be started again afterwards.
TEST(TMoBaSRCPProgrammer, FinishGivesUpTheRunningRequestAtOnce)
{
    SimProcess sim{SRCP_SIM_PATH, {"--protocol", "0.8.2", "--port", "0"}};
    for (const char* track : {"sm timing 3000 3000", "sm silent on"}) {
        SCOPED_TRACE(track);
        sim.command(track);
        Programmer pr(sim.port());
        ASSERT_TRUE(pr.results.waitConnect());
        ASSERT_TRUE(pr.results.connected) << pr.results.connectWhy;
        pr.p.submit(read(1, 1));
        pr.p.submit(read(2, 2));
        pr.p.submit(read(3, 3));
        std::this_thread::sleep_for(200ms);  // the first one is on the wire
        const auto before = steady_clock::now();
        pr.p.finish();
        EXPECT_LT(steady_clock::now() - before, 50ms);
        ASSERT_TRUE(pr.results.waitCount(3, 1s));  // not the read's 3 s, nor an answer time-out
        std::lock_guard lock(pr.results.mutex);
        for (const auto& r : pr.results.list) {
            EXPECT_FALSE(r.ok) << r.request.tag;
            EXPECT_EQ(r.failure, SmFailure::Cancelled) << r.request.tag;
        }
        EXPECT_EQ(pr.p.pending(), 0u);
        sim.command("sm silent off");
        sim.command("sm timing 10 10");
    }
    Programmer again(sim.port());
    ASSERT_TRUE(again.results.waitConnect());
    again.p.submit(read(1));
    ASSERT_TRUE(again.results.waitCount(1));
    EXPECT_TRUE(again.results.list[0].ok);
}

// Why a session could not be opened, as a kind the window can put into words.
TEST(TMoBaSRCPProgrammer, ABusWithoutServiceModeIsReportedByItsCode)
{
    SimProcess sim{SRCP_SIM_PATH, {"--protocol", "0.8.2", "--port", "0"}};
    Results results;
    TMoBaSRCPProgrammer p{[&](const SmResult& r) { results.add(r); },
                          [&](const SmResult& report) { results.connect(report); }};
    TMoBaSRCPProgrammer::Target t;
    t.host = "127.0.0.1";
    t.port = sim.port();
    t.bus = 50;
    p.start(t);
    ASSERT_TRUE(results.waitConnect());
    EXPECT_FALSE(results.connected);
    EXPECT_EQ(results.connectCode, 412);
    EXPECT_EQ(results.connectFailure, SmFailure::WrongValue);
}

TEST(TMoBaSRCPProgrammer, ServerThatStopsAnsweringEndsTheRequestAndDestructionIsImmediate)
{
    SimProcess sim{SRCP_SIM_PATH, {"--protocol", "0.8.2", "--port", "0"}};
    auto pr = std::make_unique<Programmer>(sim.port());
    ASSERT_TRUE(pr->results.waitConnect());
    sim.command("mute");
    pr->p.submit(read(1));
    ASSERT_TRUE(pr->results.waitCount(1, 6s));  // the answer time-out is 2 s
    EXPECT_EQ(pr->results.list[0].failure, SmFailure::NoAnswer);

    // A read hanging on a silent server does not hold up the owner's destruction.
    pr->p.submit(read(2));
    pr->p.submit(read(3));
    std::this_thread::sleep_for(50ms);
    const auto before = steady_clock::now();
    pr.reset();
    EXPECT_LT(steady_clock::now() - before, 500ms);
}

TEST(TMoBaSRCPProgrammer, GoodbyeToASilentServerDoesNotHoldUpTheOwner)
{
    // The server refuses service mode and then falls silent: the worker's goodbye (TERM of the
    // session) waits for an answer that never comes. Restarting the programming window destroys
    // the programmer meanwhile; that must not wait for the goodbye's time-out.
    FakeSrcpServer server([&server](FakeConn& c) {
        if (!serveHandshake(server, c, "srcp-sim 1.0; SRCP 0.8.2; SRCPOTHER 0.7.3", 7))
            return;
        const std::string init = c.readLine();
        server.record(init);
        c.sendLine("1796859511.000 412 ERROR wrong value");
        server.record(c.readLine());  // the goodbye, never answered
        c.readLine();  // until the client closes
    });
    auto pr = std::make_unique<Programmer>(server.port());
    ASSERT_TRUE(server.waitForLines(5));
    EXPECT_EQ(server.lines()[3], "INIT 1 SM NMRA");
    EXPECT_EQ(server.lines()[4], "TERM 0 SESSION 7");
    const auto before = steady_clock::now();
    pr.reset();
    EXPECT_LT(steady_clock::now() - before, 500ms);
}

TEST(TMoBaSRCPProgrammer, NoServerIsReportedWithTheReason)
{
    int port = 0;
    {
        SimProcess sim{SRCP_SIM_PATH, {"--protocol", "0.8.2", "--port", "0"}};
        port = sim.port();
    }  // gone: nothing listens there any more
    Programmer pr(port);
    ASSERT_TRUE(pr.results.waitConnect());
    EXPECT_FALSE(pr.results.connected);
    EXPECT_FALSE(pr.results.connectWhy.empty());
    EXPECT_EQ(pr.results.connectFailure, SmFailure::NotConnected);
    pr.p.submit(read(1));
    ASSERT_TRUE(pr.results.waitCount(1));
    EXPECT_EQ(pr.results.list[0].failure, SmFailure::NotConnected);
}
