#include "SRCPClient.h"

#include "SRCPDeviceGroups.h"
#include "SRCPTables.h"

#include <algorithm>
#include <stdexcept>

using std::chrono::milliseconds;

// ---- base client ----------------------------------------------------------------------------

TSRCPBaseClient::TSRCPBaseClient() = default;

TSRCPBaseClient::~TSRCPBaseClient()
{
    BeginDestroy();
    NotifyFreed();
}

void TSRCPBaseClient::BeginDestroy()
{
    FDestroying = true;
    FLogEnabled = false;
}

void TSRCPBaseClient::NotifyFreed()
{
    auto groups = std::move(FFreeNotifies);
    FFreeNotifies.clear();
    for (TSRCPBaseDeviceGroup* g : groups)
        g->ClientFreed(this);
}

void TSRCPBaseClient::AddFreeNotification(TSRCPBaseDeviceGroup* group)
{
    if (group && std::find(FFreeNotifies.begin(), FFreeNotifies.end(), group) == FFreeNotifies.end())
        FFreeNotifies.push_back(group);
}

void TSRCPBaseClient::RemoveFreeNotification(TSRCPBaseDeviceGroup* group)
{
    FFreeNotifies.erase(std::remove(FFreeNotifies.begin(), FFreeNotifies.end(), group), FFreeNotifies.end());
}

void TSRCPBaseClient::Log(const std::string& text)
{
    if (FLogEnabled && !FDestroying && FOnLog)
        FOnLog(*this, text);
}

void TSRCPBaseClient::RaiseError()
{
    if (FOnError && !FDestroying)
        FOnError(*this);
}

void TSRCPBaseClient::SetClientMode(TSRCPClientMode mode)
{
    if (!Connected())
        FClientMode = mode;
}

void TSRCPBaseClient::CloseConnection(bool releaseSocket)
{
    bool wasOpen = FOpen.exchange(false);
    FTcp.disconnect();
    if (releaseSocket)
        FTcp.close();
    if (!wasOpen)
        return;
    FSessionID = -1;
    FGreeting.clear();
    if (FOnDisconnected && !FDestroying)
        FOnDisconnected(*this);
}

void TSRCPBaseClient::Connect(int timeoutMs)
{
    if (FOpen)
        Disconnect();
    milliseconds timeout(timeoutMs > 0 ? timeoutMs : DefaultConnectTimeoutMs);
    FHandshakeTimeout = timeout;
    FSessionID = -1;
    FGreeting.clear();
    NoteError("", false);
    try {
        FTcp.connect(FHost, FPort, timeout);  // a refused connection raises TcpError to the caller
    } catch (const TcpError& e) {
        NoteError(e.what(), dynamic_cast<const TcpTimeout*>(&e) != nullptr);
        throw;
    }
    FOpen = true;
    try {
        ReceiveWelcome();
        SetUsedVersion();
        SetConnectionMode();
        StartClient();
    } catch (const ESRCPError& e) {
        NoteError(e.what(), false);
        Log(std::string("Err: ") + e.what());
        CloseConnection(true);
    } catch (const TcpClosed& e) {
        NoteError(e.what(), false);
        Log(std::string("Err: ") + e.what());
        CloseConnection(true);
    } catch (const TcpLineTooLong& e) {
        NoteError(e.what(), false);
        Log(std::string("Err: ") + e.what());
        CloseConnection(true);
    } catch (const TcpError& e) {
        NoteError("server not responding", dynamic_cast<const TcpTimeout*>(&e) != nullptr);
        Log(std::string("Err: ") + e.what());
        CloseConnection(true);
        throw ESRCPClientConnectError("server not responding");
    }
}

void TSRCPBaseClient::Disconnect()
{
    if (FOpen) {
        try {
            DoDisconnect();
        } catch (const TcpError& e) {
            Log(std::string("Err: ") + e.what());
        }
    }
    FSessionID = -1;
    CloseConnection(true);
}

void TSRCPBaseClient::DoDisconnect()
{
    if (FSessionID == -1 || !Connected()) {
        FSessionID = -1;
        return;
    }
    TSRCPCmd cmd;
    cmd.SetSRCPVersion(FVersion);
    cmd.SetDeviceGroup(dgSession);
    cmd.SetCommandType(ctTerm);
    cmd.SetBus(0);
    cmd.DevSession().SetSessionID(FSessionID);
    FSessionID = -1;
    WriteCommand(cmd);
    milliseconds wait(FAnswerTimeoutMs > 0 ? FAnswerTimeoutMs : DefaultAnswerTimeoutMs);
    for (int empty = 0; empty <= 2000; ++empty) {
        std::string line = FTcp.readLine(FMaxLineLength, wait);
        if (!line.empty()) {
            DoReceiveAnswer(cmd, line);
            break;
        }
    }
}

void TSRCPBaseClient::WriteCommand(TSRCPCmd& cmd)
{
    const std::string& line = cmd.Command();
    Log("Snd: " + line);
    FTcp.writeLine(line);
}

void TSRCPBaseClient::SendCommand(TSRCPCmd& cmd)
{
    const std::string& line = cmd.Command();
    if (cmd.IsErrorCmd()) {  // also a command that has no line form
        RaiseError();
        return;
    }
    if (!Connected()) {
        Log("Err: Not connected");
        return;
    }
    Log("Snd: " + line);
    try {
        FTcp.writeLine(line);
    } catch (const TcpError& e) {
        Log(std::string("Err: ") + e.what());
        CloseConnection(false);
    }
}

bool TSRCPBaseClient::ReceiveAnswer(TSRCPCmd& cmd)
{
    if (!Connected()) {
        cmd.SetCommandType(ctETempProhibited);
        Log("Err: " + cmd.Command());
        return false;
    }
    std::string line;
    try {
        line = FTcp.readLine(FMaxLineLength, milliseconds(std::max(0, FAnswerTimeoutMs)));
    } catch (const TcpError& e) {
        NoteError(e.what(), dynamic_cast<const TcpTimeout*>(&e) != nullptr);
        Log(std::string("Err: ") + e.what());
        CloseConnection(false);
        cmd.SetCommandType(dynamic_cast<const TcpTimeout*>(&e) ? ctETimeout : ctETempProhibited);
        return false;
    }
    return DoReceiveAnswer(cmd, line);
}

bool TSRCPBaseClient::DoReceiveAnswer(TSRCPCmd& cmd, const std::string& line)
{
    if (line.empty())
        return false;
    FResponse = line;
    Log("Rec: " + line);
    if (!cmd.ExamineAnswer(line))
        cmd.SetDeviceGroup(dgInvalid);
    if (cmd.IsErrorCmd()) {
        RaiseError();
        return false;
    }
    return true;
}

bool TSRCPBaseClient::ReadHandshakeAnswer(TSRCPCmd& cmd)
{
    return DoReceiveAnswer(cmd, FTcp.readLine(FMaxLineLength, FHandshakeTimeout));
}

void TSRCPBaseClient::ReceiveWelcome()
{
    FServerVersions.clear();
    TSRCPCmd cmd;
    cmd.SetSRCPVersion(FVersion);
    if (!ReadHandshakeAnswer(cmd))
        throw ESRCPHandshakeError("invalid welcome string");
    if (cmd.CommandType() != ctWelcome)
        return;
    const TSRCPDeviceWelcome& welcome = cmd.DevWelcome();
    FGreeting = {welcome.Welcome(), welcome.Info()};
    for (const std::string& word : welcome.VersionWords())
        for (TSRCPCommandVersion v : {cv073, cv082})
            if (SRCPVersionOffers(word, v))
                FServerVersions.insert(v);
}

void TSRCPBaseClient::SetUsedVersion()
{
    if (!FServerVersions.count(FVersion))
        throw ESRCPHandshakeError("unsupported version");
    TSRCPCmd cmd;
    cmd.SetSRCPVersion(FVersion);
    cmd.SetDeviceGroup(dgHandshake);
    cmd.SetCommandType(ctSetVersion);
    cmd.DevHandshake().SetVersion(FVersion);
    WriteCommand(cmd);
    ReadHandshakeAnswer(cmd);
}

void TSRCPBaseClient::SetConnectionMode()
{
    TSRCPCmd cmd;
    cmd.SetSRCPVersion(FVersion);
    cmd.SetDeviceGroup(dgHandshake);
    cmd.SetCommandType(ctSetMode);
    cmd.DevHandshake().SetMode(FClientMode == cmCommand ? cmtCommand : cmtInfo);
    WriteCommand(cmd);
    ReadHandshakeAnswer(cmd);
}

void TSRCPBaseClient::StartClient()
{
    TSRCPCmd cmd;
    cmd.SetSRCPVersion(FVersion);
    cmd.SetDeviceGroup(dgHandshake);
    cmd.SetCommandType(ctGo);
    WriteCommand(cmd);
    ReadHandshakeAnswer(cmd);
    if (cmd.CommandType() != ctCmdOK && cmd.CommandType() != ctCmdOKGo) {
        CloseConnection(true);
        throw ESRCPHandshakeError("Client refused connection");
    }
    FSessionID = cmd.CommandType() == ctCmdOKGo ? cmd.DevHandshake().SessionID() : -1;
}

// ---- command client -------------------------------------------------------------------------

TSRCPCommandClient::~TSRCPCommandClient()
{
    BeginDestroy();
    Disconnect();
    NotifyFreed();
}

void TSRCPCommandClient::Connect(int timeoutMs)
{
    if (!Connected())
        SetClientMode(cmCommand);
    TSRCPBaseClient::Connect(timeoutMs);
}

// ---- info reader thread ---------------------------------------------------------------------

TSRCPInfoReadThread::TSRCPInfoReadThread(TSRCPInfoClient& client) : FClient(client) {}

void TSRCPInfoReadThread::Start()
{
    if (!FThread.joinable())
        FThread = std::thread([this] {
            FThreadId = std::this_thread::get_id();
            Execute();
        });
}

TSRCPInfoReadThread::~TSRCPInfoReadThread()
{
    Terminate();
    if (FThread.joinable()) {
        if (IsCurrentThread())
            FThread.detach();
        else
            FThread.join();
    }
}

void TSRCPInfoReadThread::Terminate()
{
    FTerminated = true;
    std::shared_ptr<THandover> pending;
    {
        std::lock_guard lock(FStateMutex);
        pending = FPending;
    }
    if (pending) {
        std::lock_guard lock(pending->Mutex);
        pending->Done.notify_all();
    }
}

void TSRCPInfoReadThread::WaitFor()
{
    if (FThread.joinable() && !IsCurrentThread())
        FThread.join();
}

std::string TSRCPInfoReadThread::FatalError() const
{
    std::lock_guard lock(FStateMutex);
    return FFatalError;
}

void TSRCPInfoReadThread::Execute()
{
    try {
        while (!FTerminated)
            Run();
    } catch (const std::exception& e) {
        if (!FTerminated) {
            std::lock_guard lock(FStateMutex);
            FFatalError = e.what();
        }
    }
    FFinished = true;
    if (!FTerminated)
        FClient.Hand([](TSRCPInfoClient& c) { c.ReaderEnded(); }, FClient.FGate);
}

void TSRCPInfoReadThread::Run()
{
    FRecvData = FClient.FTcp.readLine(FClient.MaxLineLength());
    if (FRecvData.empty() || FTerminated)
        return;
    auto handover = std::make_shared<THandover>();
    {
        std::lock_guard lock(FStateMutex);
        FPending = handover;
    }
    std::shared_ptr<TSRCPInfoClient::TGate> gate = FClient.FGate;
    std::string line = FRecvData;
    auto call = [gate, handover, line = std::move(line)] {
        struct Finish {
            THandover& h;
            ~Finish()
            {
                std::lock_guard lock(h.Mutex);
                h.Finished = true;
                h.Done.notify_all();
            }
        } finish{*handover};
        if (TSRCPInfoClient* c = gate->Client.load())
            c->DoDataReceive(line);
    };
    FClient.FExecutor(std::move(call));
    {
        std::unique_lock lock(handover->Mutex);
        handover->Done.wait(lock, [&] { return handover->Finished || FTerminated.load(); });
    }
    std::lock_guard lock(FStateMutex);
    FPending.reset();
}

// ---- info client ----------------------------------------------------------------------------

TSRCPInfoClient::TSRCPInfoClient(TSRCPExecutor executor) : FExecutor(std::move(executor))
{
    if (!FExecutor)
        throw std::invalid_argument("the info session needs an executor for its lines");
    SetClientMode(cmInfo);
    FCmd.SetSRCPVersion(Version());
}

TSRCPInfoClient::~TSRCPInfoClient()
{
    BeginDestroy();
    Disconnect();
    NotifyFreed();
    FDeviceGroups.clear();
}

void TSRCPInfoClient::SetVersion(TSRCPCommandVersion v)
{
    TSRCPBaseClient::SetVersion(v);
    FCmd.SetSRCPVersion(v);
}

void TSRCPInfoClient::Connect(int timeoutMs)
{
    if (FOpen)
        Disconnect();
    if (FInfoThread) {  // a reader that ended on its own, not yet reaped
        FInfoThread->Terminate();
        FInfoThread->WaitFor();
        FInfoThread.reset();
    }
    SetClientMode(cmInfo);
    TSRCPBaseClient::Connect(timeoutMs);
    if (!Connected())
        return;
    FLastReadError.clear();
    FGate = std::make_shared<TGate>();
    FGate->Client = this;
    FInfoThread = std::make_unique<TSRCPInfoReadThread>(*this);
    FInfoThread->Start();
}

void TSRCPInfoClient::Disconnect()
{
    if (FGate)
        FGate->Client = nullptr;  // calls still queued for this session do nothing
    bool onReader = FInfoThread && FInfoThread->IsCurrentThread();
    if (FInfoThread)
        FInfoThread->Terminate();
    FTcp.disconnect();  // wakes the reader blocked in its read
    if (FInfoThread && !onReader) {
        FInfoThread->WaitFor();
        FInfoThread.reset();
    }
    TSRCPBaseClient::Disconnect();
}

void TSRCPInfoClient::Hand(std::function<void(TSRCPInfoClient&)> call, const std::shared_ptr<TGate>& gate)
{
    auto task = [gate, call = std::move(call)] {
        if (TSRCPInfoClient* c = gate->Client.load())
            call(*c);
    };
    FExecutor(std::move(task));
}

void TSRCPInfoClient::ReaderEnded()
{
    if (!FInfoThread)
        return;
    FLastReadError = FInfoThread->FatalError();
    Log("Err: info session ended" + (FLastReadError.empty() ? std::string() : ": " + FLastReadError));
    if (FInfoThread->IsCurrentThread()) {
        // Handled on the reader itself: it cannot wait for itself; the thread is reaped later.
        if (FGate)
            FGate->Client = nullptr;
        CloseConnection(false);
    } else {
        Disconnect();
    }
}

void TSRCPInfoClient::RegisterDeviceGroup(TSRCPBaseDeviceGroup* group)
{
    if (group && std::find(FDeviceGroups.begin(), FDeviceGroups.end(), group) == FDeviceGroups.end())
        FDeviceGroups.push_back(group);
}

void TSRCPInfoClient::UnregisterDeviceGroup(TSRCPBaseDeviceGroup* group)
{
    FDeviceGroups.erase(std::remove(FDeviceGroups.begin(), FDeviceGroups.end(), group), FDeviceGroups.end());
}

void TSRCPInfoClient::DoDataReceive(const std::string& line)
{
    DoReceiveAnswer(FCmd, line);
    TSRCPDeviceGroup effective = FCmd.DeviceGroup();
    if (effective == dgLock)
        effective = FCmd.DevLock().LockDevGroup();
    if (effective == dgInvalid)
        return;
    // A handler may register or unregister groups: walk a copy, skip groups that have left.
    const auto groups = FDeviceGroups;
    for (TSRCPBaseDeviceGroup* g : groups) {
        if (std::find(FDeviceGroups.begin(), FDeviceGroups.end(), g) == FDeviceGroups.end())
            continue;
        if (g->DeviceGroup() != effective)
            continue;
        if (g->EventMode() == semAll || g->Bus() == FCmd.Bus())
            g->SetDataAnswer(FCmd);
    }
}
