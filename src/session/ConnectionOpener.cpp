#include "session/ConnectionOpener.h"

#include <thread>

// What an opening's thread and the receiver share.
struct ConnectionOpener::Opening {
    std::mutex mutex;
    bool cancelled = false;
    std::vector<std::shared_ptr<TcpLineClient>> sockets;  // connected so far

    bool isCancelled()
    {
        std::lock_guard lock(mutex);
        return cancelled;
    }
    void cancel()
    {
        std::lock_guard lock(mutex);
        cancelled = true;
        for (auto& s : sockets)
            s->disconnect();  // wakes a wait for the greeting
    }
    // Keeps a fresh connection where a cancel reaches it; false when cancelled already.
    bool keep(const std::shared_ptr<TcpLineClient>& socket)
    {
        std::lock_guard lock(mutex);
        if (cancelled) {
            socket->disconnect();
            return false;
        }
        sockets.push_back(socket);
        return true;
    }
};

// The way to the receiver, closed when the opener goes.
struct ConnectionOpener::Channel {
    std::mutex mutex;
    Post post;
    ConnectionOpener* owner = nullptr;  // read and cleared on the receiver's thread only
};

ConnectionOpener::ConnectionOpener(Post post) : m_channel(std::make_shared<Channel>())
{
    m_channel->post = std::move(post);
    m_channel->owner = this;
}

ConnectionOpener::~ConnectionOpener()
{
    {
        std::lock_guard lock(m_channel->mutex);
        m_channel->post = nullptr;
        m_channel->owner = nullptr;
    }
    cancelAll();
}

ConnectionOpener::Id ConnectionOpener::open(Request request, std::function<void(Result&)> done)
{
    const Id id = ++m_next;
    auto opening = std::make_shared<Opening>();
    m_open.emplace(id, std::make_pair(opening, std::move(done)));
    std::thread([opening, request = std::move(request), channel = m_channel, id] {
        auto result = std::make_shared<Result>(run(*opening, request));
        if (opening->isCancelled())
            return;  // what it connected is closed with the last reference
        std::weak_ptr<Channel> weak = channel;
        std::lock_guard lock(channel->mutex);
        if (channel->post)
            channel->post([weak, id, result] {
                auto c = weak.lock();
                if (c && c->owner)
                    c->owner->finished(id, *result);
            });
    }).detach();
    return id;
}

ConnectionOpener::Result ConnectionOpener::run(Opening& opening, const Request& request)
{
    Result result;
    result.connections.reserve(request.ports.size());
    for (std::size_t i = 0; i < request.ports.size(); ++i) {
        Connection& c = result.connections.emplace_back();
        if (opening.isCancelled())
            break;
        try {
            auto socket = std::make_shared<TcpLineClient>();
            socket->connect(request.host, request.ports[i], request.timeout);
            if (!opening.keep(socket))
                break;
            if (i == 0 && request.greet.count() > 0) {
                try {
                    result.greeting = socket->readLine(TcpLineClient::DefaultMaxLine, request.greet);
                } catch (const TcpTimeout&) {
                    result.silent = !opening.isCancelled();
                    throw;
                }
            }
            c.socket = std::move(socket);
        } catch (const std::exception& e) {
            c.error = e.what();
            if (i == 0 && request.greet.count() > 0) {
                result.connections.resize(request.ports.size());
                break;  // no session without its greeting
            }
        }
    }
    result.connections.resize(request.ports.size());
    return result;
}

void ConnectionOpener::cancel(Id id)
{
    auto it = m_open.find(id);
    if (it == m_open.end())
        return;
    it->second.first->cancel();
    m_open.erase(it);
}

void ConnectionOpener::cancelAll()
{
    for (auto& [id, entry] : m_open)
        entry.first->cancel();
    m_open.clear();
}

void ConnectionOpener::finished(Id id, Result& result)
{
    auto it = m_open.find(id);
    if (it == m_open.end())
        return;  // cancelled meanwhile
    auto done = std::move(it->second.second);
    m_open.erase(it);
    if (done)
        done(result);
}
