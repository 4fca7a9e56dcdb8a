// The component's own thread: tasks in the order they were posted, on that thread; a server that
// does not answer never holds up whoever ends the thread or abandons the waiting command.

#include "session/SimProcess.h"

#include "moba/TMoBaSRCPClient.h"
#include "moba/TMoBaSRCPGroups.h"
#include "moba/TMoBaSRCPWorker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

using namespace std::chrono;
using namespace std::chrono_literals;

namespace {

std::string tempLog(const char* name)
{
    auto path = std::filesystem::temp_directory_path() /
                ("quarn-worker-" + std::to_string(::getpid()) + "-" + name + ".log");
    std::filesystem::remove(path);
    return path.string();
}

bool connectTo(TMoBaSRCPWorker& worker, int port)
{
    bool ok = false;
    worker.post([&ok, port](TMoBaSRCPClient& c) {
        c.SetHost("127.0.0.1");
        c.SetPort(port);
        c.Connect();
        ok = c.Connected();
    });
    return worker.waitIdle(5s) && ok;
}

} // namespace

TEST(TMoBaSRCPWorker, RunsTasksInOrderOnItsOwnThreadAndDropsOnlyWhatWasNotStarted)
{
    std::mutex m;
    std::vector<int> order;
    std::atomic<bool> release{false}, started{false};
    std::thread::id caller = std::this_thread::get_id(), seen;
    {
        TMoBaSRCPWorker worker;
        worker.post([&](TMoBaSRCPClient&) {
            seen = std::this_thread::get_id();
            started = true;
            while (!release)
                std::this_thread::sleep_for(1ms);
            std::lock_guard lock(m);
            order.push_back(0);
        });
        while (!started)
            std::this_thread::sleep_for(1ms);
        for (int i = 1; i <= 5; ++i)
            worker.post([&, i](TMoBaSRCPClient&) {
                std::lock_guard lock(m);
                order.push_back(i);
            });
        worker.dropPending();  // 1..5 have not started: gone; 0 goes on
        for (int i = 6; i <= 8; ++i)
            worker.post([&, i](TMoBaSRCPClient&) {
                std::lock_guard lock(m);
                order.push_back(i);
            });
        release = true;
        ASSERT_TRUE(worker.waitIdle(2s));
    }
    EXPECT_NE(seen, caller);
    EXPECT_EQ(order, (std::vector<int>{0, 6, 7, 8}));
}

TEST(TMoBaSRCPWorker, ASilentServerHoldsUpNeitherTheEndNorAnAbandonedCommand)
{
    const std::string log = tempLog("silent");
    SimProcess sim(SRCP_SIM_PATH, "0.8.2", log);
    {
        TMoBaSRCPWorker worker;
        ASSERT_TRUE(connectTo(worker, sim.port()));
        sim.command("mute");
        std::this_thread::sleep_for(100ms);
        std::atomic<bool> answered{false};
        worker.post([&](TMoBaSRCPClient& c) {
            if (TMoBaSRCPBus* b = c.BusByNumber(1); b && b->Power())
                b->Power()->Update();  // waits up to the answer time-out
            answered = true;
        });
        std::this_thread::sleep_for(100ms);
        auto start = steady_clock::now();
        worker.abortWaits();
        EXPECT_TRUE(worker.waitIdle(1s));
        EXPECT_LT(steady_clock::now() - start, 500ms) << "the waiting command ends at once";
        EXPECT_TRUE(answered);
    }
    sim.command("unmute");
    {
        // An answering server gets its TERM when the thread ends.
        TMoBaSRCPWorker worker;
        ASSERT_TRUE(connectTo(worker, sim.port()));
    }
    bool term = false;
    for (const std::string& l : SimProcess::readLines(log))
        term = term || l.find(" R TERM 0 SESSION") != std::string::npos;
    EXPECT_TRUE(term);
    {
        // A silent one is not waited for.
        auto worker = std::make_unique<TMoBaSRCPWorker>();
        ASSERT_TRUE(connectTo(*worker, sim.port()));
        sim.command("mute");
        std::this_thread::sleep_for(100ms);
        worker->post([](TMoBaSRCPClient& c) {
            if (TMoBaSRCPBus* b = c.BusByNumber(1); b && b->Power())
                b->Power()->Update();
        });
        std::this_thread::sleep_for(100ms);
        const auto start = steady_clock::now();
        worker.reset();
        EXPECT_LT(steady_clock::now() - start, 2 * TMoBaSRCPWorker::EndGrace + 200ms);
    }
}
