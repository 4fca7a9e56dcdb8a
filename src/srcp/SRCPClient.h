#pragma once
// SRCP 0.8 sessions over the project's TCP line client: the command session (one command line, one
// answer line, from the GUI thread) and the info session (the server pushes INFO lines; a reader
// thread hands each line to the GUI thread through an injected executor, where it is parsed and
// passed to the registered device groups).

#include "SRCPCmd.h"
#include "SRCPTypes.h"
#include "TcpLineClient.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

class ESRCPError : public TcpError {
public:
    using TcpError::TcpError;
};
class ESRCPHandshakeError : public ESRCPError {
public:
    using ESRCPError::ESRCPError;
};
class ESRCPClientConnectError : public ESRCPError {
public:
    using ESRCPError::ESRCPError;
};

// Runs a call on the GUI thread: it queues the call to the thread that uses the sessions and device
// groups (the program posts it to the Qt GUI thread, tests to a loop of their own). The info reader
// waits until the call has run, or until the session is disconnected, whichever comes first.
using TSRCPExecutor = std::function<void(std::function<void()>)>;

class TSRCPBaseDeviceGroup;

class TSRCPBaseClient {
public:
    using TLogEvent = std::function<void(TSRCPBaseClient& sender, const std::string& text)>;
    using TNotifyEvent = std::function<void(TSRCPBaseClient& sender)>;

    static constexpr int DefaultPort = 12345;
    static constexpr int DefaultConnectTimeoutMs = 5000;
    // A command waits at most this long for its answer; the window is blocked meanwhile.
    static constexpr int DefaultAnswerTimeoutMs = 3000;

    TSRCPBaseClient();
    virtual ~TSRCPBaseClient();
    TSRCPBaseClient(const TSRCPBaseClient&) = delete;
    TSRCPBaseClient& operator=(const TSRCPBaseClient&) = delete;

    const std::string& Host() const { return FHost; }
    void SetHost(const std::string& host) { FHost = host; }
    int Port() const { return FPort; }
    void SetPort(int port) { FPort = port; }

    // Opens the connection and runs the handshake; `timeoutMs` -1 means the default. A failure to
    // open the TCP connection raises TcpError; a server that stops answering or a socket error
    // during the handshake raises ESRCPClientConnectError "server not responding"; any other
    // handshake failure leaves the client disconnected without an exception (check Connected()).
    virtual void Connect(int timeoutMs = -1);
    // Ends the session (TERM of the command session) and closes the connection.
    virtual void Disconnect();
    bool Connected() const { return FOpen.load() && FTcp.connected(); }
    // Shuts the connection down from any thread: a read or handshake waiting on the server ends
    // at once as if the server had closed the connection (the owner's thread cleans up).
    void Abort() { FTcp.disconnect(); }
    // Why the last connect failed or the connection ended while reading an answer ("" if it did
    // not), and whether that was a time-out (the server did not answer in time).
    const std::string& LastError() const { return FLastError; }
    bool LastErrorWasTimeout() const { return FLastErrorTimeout; }

    // Builds and writes the command. An error command is not sent: OnError is raised instead.
    void SendCommand(TSRCPCmd& cmd);
    // Reads one answer into `cmd`; false for an error answer or when no answer could be read.
    bool ReceiveAnswer(TSRCPCmd& cmd);
    bool DoReceiveAnswer(TSRCPCmd& cmd, const std::string& line);

    TSRCPClientMode ClientMode() const { return FClientMode; }
    void SetClientMode(TSRCPClientMode mode);
    std::int32_t SessionID() const { return FSessionID; }
    const std::string& Response() const { return FResponse; }
    TSRCPCommandVersion Version() const { return FVersion; }
    virtual void SetVersion(TSRCPCommandVersion v) { FVersion = v; }
    const std::set<TSRCPCommandVersion>& ServerVersions() const { return FServerVersions; }
    // The server greeting: the welcome text, then the info text of the welcome line.
    const std::vector<std::string>& Greeting() const { return FGreeting; }
    std::string Welcome() const { return FGreeting.empty() ? std::string() : FGreeting.front(); }

    bool LogEnabled() const { return FLogEnabled; }
    void SetLogEnabled(bool on) { FLogEnabled = on; }
    void SetOnLog(TLogEvent e) { FOnLog = std::move(e); }
    void SetOnError(TNotifyEvent e) { FOnError = std::move(e); }
    // Raised once each time an open connection closes, whoever closed it.
    void SetOnDisconnected(TNotifyEvent e) { FOnDisconnected = std::move(e); }

    // How long a command waits for its answer (0: without limit). A late answer would be taken for
    // the answer of the next command, so a session whose server does not answer is closed.
    int AnswerTimeoutMs() const { return FAnswerTimeoutMs; }
    void SetAnswerTimeoutMs(int ms) { FAnswerTimeoutMs = ms; }
    std::size_t MaxLineLength() const { return FMaxLineLength; }
    void SetMaxLineLength(std::size_t n) { FMaxLineLength = n; }

    // Device groups that reference this client are told when it is destroyed.
    void AddFreeNotification(TSRCPBaseDeviceGroup* group);
    void RemoveFreeNotification(TSRCPBaseDeviceGroup* group);

protected:
    virtual void DoDisconnect();
    // Marks the connection closed and raises OnDisconnected once; `releaseSocket` also frees the
    // descriptor (only when no reader uses it any more).
    void CloseConnection(bool releaseSocket);
    void Log(const std::string& text);
    void RaiseError();
    // Destructors of derived classes call this first: no more log lines or events from here on.
    void BeginDestroy();
    void NotifyFreed();

    TcpLineClient FTcp;
    std::atomic<bool> FOpen{false};

private:
    void WriteCommand(TSRCPCmd& cmd);
    bool ReadHandshakeAnswer(TSRCPCmd& cmd);
    void ReceiveWelcome();
    void SetUsedVersion();
    void SetConnectionMode();
    void StartClient();

    bool FLogEnabled = false;
    std::int32_t FSessionID = -1;
    TLogEvent FOnLog;
    TNotifyEvent FOnError;
    TSRCPClientMode FClientMode = cmCommand;
    std::set<TSRCPCommandVersion> FServerVersions;
    TSRCPCommandVersion FVersion = cv082;
    std::string FResponse;
    TNotifyEvent FOnDisconnected;

    std::string FHost = "localhost";
    int FPort = DefaultPort;
    std::vector<std::string> FGreeting;
    std::chrono::milliseconds FHandshakeTimeout{DefaultConnectTimeoutMs};
    int FAnswerTimeoutMs = DefaultAnswerTimeoutMs;
    std::size_t FMaxLineLength = TcpLineClient::DefaultMaxLine;
    std::atomic<bool> FDestroying{false};
    std::string FLastError;
    bool FLastErrorTimeout = false;
    void NoteError(const std::string& why, bool timeout)
    {
        FLastError = why;
        FLastErrorTimeout = timeout;
    }
    std::vector<TSRCPBaseDeviceGroup*> FFreeNotifies;
};

class TSRCPCommandClient : public TSRCPBaseClient {
public:
    TSRCPCommandClient() = default;
    ~TSRCPCommandClient() override;
    void Connect(int timeoutMs = -1) override;
};

class TSRCPInfoClient;

// Reads the info session's lines and hands each one to the GUI thread, one at a time, in arrival
// order. Runs from Start() until it is asked to stop or the connection ends. (The owner stores the
// object before starting it, so a line handled at once never meets a half-made owner.)
class TSRCPInfoReadThread {
public:
    explicit TSRCPInfoReadThread(TSRCPInfoClient& client);
    void Start();
    ~TSRCPInfoReadThread();
    TSRCPInfoReadThread(const TSRCPInfoReadThread&) = delete;
    TSRCPInfoReadThread& operator=(const TSRCPInfoReadThread&) = delete;

    // Asks the thread to stop; also releases it from a pending hand-over.
    void Terminate();
    bool Terminated() const { return FTerminated.load(); }
    // Waits for the thread to end (does nothing when called on the thread itself).
    void WaitFor();
    bool IsCurrentThread() const { return std::this_thread::get_id() == FThreadId.load(); }
    bool Finished() const { return FFinished.load(); }
    // Why the thread ended, if an error ended it ("" after Terminate).
    std::string FatalError() const;

private:
    struct THandover {
        std::mutex Mutex;
        std::condition_variable Done;
        bool Finished = false;
    };
    void Execute();
    void Run();

    TSRCPInfoClient& FClient;
    std::string FRecvData;
    std::atomic<bool> FTerminated{false};
    std::atomic<bool> FFinished{false};
    mutable std::mutex FStateMutex;  // guards FPending and FFatalError
    std::shared_ptr<THandover> FPending;
    std::string FFatalError;
    std::atomic<std::thread::id> FThreadId{};
    std::thread FThread;
};

class TSRCPInfoClient : public TSRCPBaseClient {
public:
    // Lines are handled where `executor` runs them, never on the reader thread: the groups they
    // reach belong to the thread that also sends commands and disconnects. An empty executor
    // raises std::invalid_argument.
    explicit TSRCPInfoClient(TSRCPExecutor executor);
    ~TSRCPInfoClient() override;

    void Connect(int timeoutMs = -1) override;
    void Disconnect() override;
    void SetVersion(TSRCPCommandVersion v) override;

    void RegisterDeviceGroup(TSRCPBaseDeviceGroup* group);
    void UnregisterDeviceGroup(TSRCPBaseDeviceGroup* group);
    const std::vector<TSRCPBaseDeviceGroup*>& DeviceGroups() const { return FDeviceGroups; }
    // Parses one info line and passes it to the registered groups (GUI thread).
    void DoDataReceive(const std::string& line);
    TSRCPCmd& Cmd() { return FCmd; }
    // Why the last reader ended on its own ("" when it was stopped by Disconnect).
    const std::string& LastReadError() const { return FLastReadError; }

protected:
    void DoDisconnect() override {}

private:
    friend class TSRCPInfoReadThread;
    // A hand-over target that outlives the client: pending calls find it empty once the session
    // they belong to is closed.
    struct TGate {
        std::atomic<TSRCPInfoClient*> Client;
    };
    void Hand(std::function<void(TSRCPInfoClient&)> call, const std::shared_ptr<TGate>& gate);
    void ReaderEnded();

    std::vector<TSRCPBaseDeviceGroup*> FDeviceGroups;
    std::unique_ptr<TSRCPInfoReadThread> FInfoThread;
    TSRCPCmd FCmd;
    TSRCPExecutor FExecutor;
    std::shared_ptr<TGate> FGate;
    std::string FLastReadError;
};
