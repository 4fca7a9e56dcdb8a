#include "session/SrcpReaders.h"

#include "srcp/TcpLineClient.h"

#include <functional>

TLineReaderThread::TLineReaderThread(TcpLineClient& socket, LineHandOver& handOver, SrcpChannel channel)
    : m_socket(socket), m_handOver(handOver), m_channel(channel)
{
}

TLineReaderThread::~TLineReaderThread()
{
    // Derived destructors call join() before their Execute() goes away; this is the safety net.
    requestStop();
    join();
}

void TLineReaderThread::start()
{
    m_thread = std::thread([this] {
        Execute();
        m_finished = true;
    });
}

void TLineReaderThread::requestStop()
{
    m_stop = true;
    m_handOver.wakeAll();
}

void TLineReaderThread::join()
{
    if (m_thread.joinable()) {
        if (!m_finished.load() && m_stop.load())
            m_socket.disconnect();  // a read blocked for ever would keep the join waiting
        m_thread.join();
    }
}

bool TLineReaderThread::handLine(const std::string& line, bool decodeFeedback)
{
    HandOverItem item;
    item.channel = m_channel;
    item.line = line;
    if (decodeFeedback && isFeedbackLine(line)) {
        try {
            item.contacts = decodeFeedbackLine(line);
        } catch (const FeedbackLineError&) {
            m_handOver.push(std::move(item), m_stop);  // the line is still shown
            throw;
        }
    }
    return m_handOver.push(std::move(item), m_stop);
}

void TLineReaderThread::handEnded(const std::string& why, bool closedByPeer)
{
    if (m_stop.load())
        return;
    HandOverItem item;
    item.kind = HandOverItem::Kind::ReaderEnded;
    item.channel = m_channel;
    item.line = why;
    item.closedByPeer = closedByPeer;
    m_handOver.push(std::move(item), m_stop);
}

// Command and info readers: any failure ends the reader.
static void readUntilFailure(TcpLineClient& socket, const std::atomic<bool>& stop,
                             const std::function<bool(const std::string&)>& hand,
                             const std::function<void(const std::string&, bool)>& ended)
{
    try {
        while (!stop.load() && socket.connected()) {
            std::string line = socket.readLine();
            if (!hand(line))
                return;
        }
        ended("connection closed", true);
    } catch (const TcpClosed& e) {
        ended(e.what(), true);
    } catch (const std::exception& e) {
        ended(e.what(), false);
    }
}

TReadCommand::~TReadCommand()
{
    requestStop();
    join();
}

void TReadCommand::Execute()
{
    readUntilFailure(
        m_socket, m_stop, [this](const std::string& l) { return handLine(l, true); },
        [this](const std::string& why, bool peer) { handEnded(why, peer); });
}

TReadinfo::~TReadinfo()
{
    requestStop();
    join();
}

void TReadinfo::Execute()
{
    // Info lines are shown and passed on; feedback there is not evaluated.
    readUntilFailure(
        m_socket, m_stop, [this](const std::string& l) { return handLine(l, false); },
        [this](const std::string& why, bool peer) { handEnded(why, peer); });
}

TPollHandleThread::~TPollHandleThread()
{
    requestStop();
    join();
}

void TPollHandleThread::Execute()
{
    while (!m_stop.load()) {
        if (!m_socket.connected())
            break;
        try {
            std::string line = m_socket.readLine();
            if (!isFeedbackLine(line))
                continue;  // other lines are ignored
            if (!handLine(line, true))
                break;
        } catch (const TcpClosed& e) {
            handEnded(e.what(), true);
            break;
        } catch (const std::exception&) {
            // A malformed or over-long line is skipped; the reader goes on.
        }
    }
}
