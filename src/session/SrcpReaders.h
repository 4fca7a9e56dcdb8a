#pragma once
// The reader threads of the raw SRCP 0.7.3 channels. Each blocks in its connection's readLine()
// and hands every line (with its decoded feedback) to the GUI thread through a LineHandOver.
//
//   TReadCommand      command connection; a broken connection, an over-long line or a malformed
//                     feedback line ends it
//   TReadinfo         info connection; ends like the command reader
//   TPollHandleThread feedback connection; only the closed connection ends it, bad lines are skipped
//
// Stopping: requestStop(), then disconnect the connection (which wakes a blocked read), then join().

#include "session/LineHandOver.h"

#include <atomic>
#include <thread>

class TcpLineClient;

class TLineReaderThread {
public:
    TLineReaderThread(TcpLineClient& socket, LineHandOver& handOver, SrcpChannel channel);
    virtual ~TLineReaderThread();  // requestStop(), disconnect the socket, join()
    TLineReaderThread(const TLineReaderThread&) = delete;
    TLineReaderThread& operator=(const TLineReaderThread&) = delete;

    void start();
    void requestStop();
    void join();
    bool finished() const { return m_finished.load(); }
    bool stopRequested() const { return m_stop.load(); }

protected:
    virtual void Execute() = 0;
    // Decodes a feedback line (throws FeedbackLineError) and hands the line over.
    bool handLine(const std::string& line, bool decodeFeedback);
    void handEnded(const std::string& why, bool closedByPeer);

    TcpLineClient& m_socket;
    LineHandOver& m_handOver;
    SrcpChannel m_channel;
    std::atomic<bool> m_stop{false};

private:
    std::atomic<bool> m_finished{false};
    std::thread m_thread;
};

class TReadCommand : public TLineReaderThread {
public:
    TReadCommand(TcpLineClient& socket, LineHandOver& handOver)
        : TLineReaderThread(socket, handOver, SrcpChannel::Command) {}
    ~TReadCommand() override;

protected:
    void Execute() override;
};

class TReadinfo : public TLineReaderThread {
public:
    TReadinfo(TcpLineClient& socket, LineHandOver& handOver)
        : TLineReaderThread(socket, handOver, SrcpChannel::Info) {}
    ~TReadinfo() override;

protected:
    void Execute() override;
};

class TPollHandleThread : public TLineReaderThread {
public:
    TPollHandleThread(TcpLineClient& socket, LineHandOver& handOver)
        : TLineReaderThread(socket, handOver, SrcpChannel::Poll) {}
    ~TPollHandleThread() override;

protected:
    void Execute() override;
};
