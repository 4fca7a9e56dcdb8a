// Opening connections on threads of their own: the result comes back through the receiver's queue
// with the connections ready to be taken over; a greeting that does not come is told apart from a
// closed connection; cancelling returns at once, shuts the opening's connections down and drops
// its result.

#include "session/ConnectionOpener.h"

#include "FakeSrcpServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

using namespace std::chrono;

namespace {

// The receiver's queue: calls posted from the opening threads, run by the test.
struct Queue {
    std::mutex mutex;
    std::condition_variable posted;
    std::deque<std::function<void()>> calls;

    ConnectionOpener::Post post()
    {
        return [this](std::function<void()> call) {
            std::lock_guard lock(mutex);
            calls.push_back(std::move(call));
            posted.notify_all();
        };
    }
    // Runs what has been posted; waits up to `timeout` for at least one call.
    int run(milliseconds timeout = milliseconds(3000))
    {
        std::unique_lock lock(mutex);
        posted.wait_for(lock, timeout, [&] { return !calls.empty(); });
        auto now = std::move(calls);
        calls.clear();
        lock.unlock();
        for (auto& c : now)
            c();
        return int(now.size());
    }
};

}  // namespace

TEST(ConnectionOpener, OpensThePortsInOrderAndHandsTheGreetingOver)
{
    FakeSrcpServer server;
    Queue queue;
    ConnectionOpener opener(queue.post());
    std::optional<ConnectionOpener::Result> got;
    const auto id = opener.open({"127.0.0.1", {server.port(), server.port() + 2}, milliseconds(2000), milliseconds(2000)},
                                [&](ConnectionOpener::Result& r) { got = r; });
    EXPECT_TRUE(opener.running(id));
    ASSERT_TRUE(server.accept(0));
    server.send(0, "srcp-sim 1.0; SRCP 0.7.3\nINFO FB S88 1 1\n");
    ASSERT_TRUE(server.accept(2));
    ASSERT_EQ(queue.run(), 1);
    ASSERT_TRUE(got);
    EXPECT_FALSE(opener.running(id));
    EXPECT_EQ(got->greeting, "srcp-sim 1.0; SRCP 0.7.3");
    EXPECT_FALSE(got->silent);
    ASSERT_EQ(got->connections.size(), 2u);
    ASSERT_TRUE(got->connections[0].socket && got->connections[1].socket);
    TcpLineClient taken;
    taken.takeOver(*got->connections[0].socket);
    EXPECT_EQ(taken.readLine(), "INFO FB S88 1 1");  // what came after the greeting is kept
}

TEST(ConnectionOpener, ASilentServerAndARefusedPortAreToldApart)
{
    FakeSrcpServer server;
    Queue queue;
    ConnectionOpener opener(queue.post());
    std::vector<ConnectionOpener::Result> got;
    auto keep = [&](ConnectionOpener::Result& r) { got.push_back(r); };

    // Accepted, never greeted: silent, and the connection is not handed over.
    opener.open({"127.0.0.1", {server.port()}, milliseconds(2000), milliseconds(300)}, keep);
    ASSERT_TRUE(server.accept(0));
    ASSERT_EQ(queue.run(), 1);
    EXPECT_TRUE(got.back().silent);
    EXPECT_FALSE(got.back().connections[0].socket);
    EXPECT_TRUE(server.peerClosed(0));

    // Accepted and closed before the greeting: failed, not silent.
    opener.open({"127.0.0.1", {server.port()}, milliseconds(2000), milliseconds(2000)}, keep);
    ASSERT_TRUE(server.accept(0));
    server.closeClient(0);
    ASSERT_EQ(queue.run(), 1);
    EXPECT_FALSE(got.back().silent);
    EXPECT_FALSE(got.back().connections[0].socket);

    // Without a greeting asked for, a refused port does not keep the next one from opening.
    server.closeListen(2);
    opener.open({"127.0.0.1", {server.port() + 2, server.port() + 1}, milliseconds(2000)}, keep);
    ASSERT_TRUE(server.accept(1));
    ASSERT_EQ(queue.run(), 1);
    EXPECT_FALSE(got.back().connections[0].socket);
    EXPECT_FALSE(got.back().connections[0].error.empty());
    EXPECT_TRUE(got.back().connections[1].socket);
}

TEST(ConnectionOpener, CancellingReturnsAtOnceAndDropsTheResult)
{
    FakeSrcpServer server;
    Queue queue;
    int done = 0;
    {
        ConnectionOpener opener(queue.post());
        const auto id = opener.open({"127.0.0.1", {server.port()}, milliseconds(2000), milliseconds(5000)},
                                    [&](ConnectionOpener::Result&) { ++done; });
        ASSERT_TRUE(server.accept(0));  // the opening now waits for a greeting that does not come
        const auto start = steady_clock::now();
        opener.cancel(id);
        EXPECT_LT(steady_clock::now() - start, milliseconds(50));
        EXPECT_FALSE(opener.running(id));
        EXPECT_TRUE(server.peerClosed(0, 1000));  // its connection is shut down at once
        queue.run(milliseconds(300));
        EXPECT_EQ(done, 0);

        // An opening still under way when the opener goes reports nothing afterwards.
        opener.open({"127.0.0.1", {server.port()}, milliseconds(2000), milliseconds(5000)},
                    [&](ConnectionOpener::Result&) { ++done; });
        ASSERT_TRUE(server.accept(0));
    }
    EXPECT_TRUE(server.peerClosed(0, 1000));
    queue.run(milliseconds(300));
    EXPECT_EQ(done, 0);
}
