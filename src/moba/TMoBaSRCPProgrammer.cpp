#include "moba/TMoBaSRCPProgrammer.h"

#include "srcp/SRCPClient.h"
#include "srcp/SRCPCmd.h"

// The command session of the programmer; the owner may shut its socket down from another thread
// to wake a worker blocked in a read.
class TMoBaSRCPProgrammer::Session : public TSRCPCommandClient {
public:
    void wake() { FTcp.disconnect(); }
};

SmFailure SmFailureOfCode(int code)
{
    switch (code) {
    case 412:
        return SmFailure::WrongValue;
    case 416:
        return SmFailure::NoAcknowledge;
    case 417:
        return SmFailure::NoLoco;
    case 420:
    case 421:
    case 422:
    case 423:
    case 425:
        return SmFailure::NotSupported;
    default:
        return code >= 400 ? SmFailure::Refused : SmFailure::None;
    }
}

TMoBaSRCPProgrammer::TMoBaSRCPProgrammer(ResultEvent onResult, ConnectEvent onConnected)
    : m_onResult(std::move(onResult)), m_onConnected(std::move(onConnected)), m_thread([this] { run(); })
{
}

TMoBaSRCPProgrammer::~TMoBaSRCPProgrammer()
{
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
        m_jobs.clear();
    }
    m_wake.notify_all();
    {
        std::lock_guard lock(m_sessionMutex);
        if (m_session)
            m_session->wake();  // a read in progress ends at once
    }
    m_thread.join();
}

void TMoBaSRCPProgrammer::start(const Target& target)
{
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back({Job::Kind::Start, target, {}});
    }
    m_wake.notify_all();
}

void TMoBaSRCPProgrammer::submit(const SmRequest& request)
{
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back({Job::Kind::Request, {}, request});
    }
    m_wake.notify_all();
}

void TMoBaSRCPProgrammer::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back({Job::Kind::Stop, {}, {}});
    }
    m_wake.notify_all();
}

void TMoBaSRCPProgrammer::cancel()
{
    std::deque<Job> dropped;
    {
        std::lock_guard lock(m_mutex);
        std::deque<Job> kept;
        for (Job& j : m_jobs)
            (j.kind == Job::Kind::Request ? dropped : kept).push_back(std::move(j));
        m_jobs.swap(kept);
    }
    if (!m_onResult)
        return;
    for (const Job& j : dropped) {
        SmResult r;
        r.request = j.request;
        r.failure = SmFailure::Cancelled;
        m_onResult(r);
    }
}

std::size_t TMoBaSRCPProgrammer::pending() const
{
    std::lock_guard lock(m_mutex);
    std::size_t n = m_busy ? 1 : 0;
    for (const Job& j : m_jobs)
        n += j.kind == Job::Kind::Request;
    return n;
}

void TMoBaSRCPProgrammer::run()
{
    for (;;) {
        Job job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_quit || !m_jobs.empty(); });
            if (m_quit)
                break;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
            m_busy = job.kind == Job::Kind::Request;
        }
        switch (job.kind) {
        case Job::Kind::Start:
            open(job.target);
            break;
        case Job::Kind::Stop:
            close();
            break;
        case Job::Kind::Request: {
            SmResult r = execute(job.request);
            {
                std::lock_guard lock(m_mutex);
                m_busy = false;
                if (m_quit)
                    break;
            }
            if (m_onResult)
                m_onResult(r);
            break;
        }
        }
    }
    // Leaving: no TERM (the owner wants to be gone now); the socket just closes.
    std::lock_guard lock(m_sessionMutex);
    m_session.reset();
}

void TMoBaSRCPProgrammer::open(const Target& target)
{
    close();
    m_target = target;
    auto session = std::make_unique<Session>();
    session->SetHost(target.host);
    session->SetPort(target.port);
    session->SetAnswerTimeoutMs(target.answerTimeoutMs);
    {
        std::lock_guard lock(m_sessionMutex);
        m_session = std::move(session);
    }
    std::string why;
    try {
        m_session->Connect(target.connectTimeoutMs);
        if (!m_session->Connected())
            why = m_session->Response().empty() ? std::string("handshake refused") : m_session->Response();
    } catch (const std::exception& e) {
        why = e.what();
    }
    if (why.empty()) {
        TSRCPCmd init;
        init.SetSRCPVersion(cv082);
        init.SetDeviceGroup(dgServiceMode);
        init.SetCommandType(ctInit);
        init.SetBus(target.bus);
        init.DevServiceMode().SetProtocol(spNMRA);
        try {
            m_session->SendCommand(init);
            if (!m_session->ReceiveAnswer(init))
                why = init.ResponseCode() > 0 ? m_session->Response() : std::string("no answer to INIT");
        } catch (const std::exception& e) {
            why = e.what();
        }
        if (!why.empty() && init.ResponseCode() > 0 && m_session->Response().empty())
            why = "error " + std::to_string(init.ResponseCode());
    }
    if (!why.empty()) {
        std::lock_guard lock(m_sessionMutex);
        m_session.reset();
    }
    if (m_onConnected)
        m_onConnected(why.empty(), why);
}

void TMoBaSRCPProgrammer::close()
{
    if (!m_session)
        return;
    if (m_session->Connected()) {
        TSRCPCmd term;
        term.SetSRCPVersion(cv082);
        term.SetDeviceGroup(dgServiceMode);
        term.SetCommandType(ctTerm);
        term.SetBus(m_target.bus);
        term.DevServiceMode().SetAddress(-1);
        try {
            m_session->SendCommand(term);
            m_session->ReceiveAnswer(term);
            m_session->Disconnect();
        } catch (const std::exception&) {
            // The server is gone already; closing is all that is left.
        }
    }
    std::lock_guard lock(m_sessionMutex);
    m_session.reset();
}

SmResult TMoBaSRCPProgrammer::execute(const SmRequest& request)
{
    SmResult r;
    r.request = request;
    if (!m_session || !m_session->Connected()) {
        r.failure = SmFailure::NotConnected;
        return r;
    }
    TSRCPCmd cmd;
    cmd.SetSRCPVersion(cv082);
    cmd.SetDeviceGroup(dgServiceMode);
    cmd.SetCommandType(request.op == SmOp::Read ? ctGet : request.op == SmOp::Write ? ctSet : ctVerify);
    cmd.SetBus(m_target.bus);
    TSRCPDeviceServiceMode& sm = cmd.DevServiceMode();
    sm.SetAddress(m_target.decoderAddress);
    sm.SetAddressType(request.type);
    sm.SetTypeAddress(request.number);
    sm.SetBit(request.type == smtCVBit ? request.bit : -1);
    sm.SetValue(request.op == SmOp::Read ? -1 : request.value);
    try {
        m_session->SendCommand(cmd);
        const bool answered = m_session->ReceiveAnswer(cmd);
        r.code = cmd.ResponseCode();
        r.detail = m_session->Response();
        if (answered && r.code < 400) {
            r.ok = true;
            if (request.op == SmOp::Read)
                r.value = cmd.DevServiceMode().Value();
            else
                r.value = request.value;
            return r;
        }
        if (!m_session->Connected() || r.code <= 0) {
            r.failure = SmFailure::NoAnswer;
            return r;
        }
        r.failure = SmFailureOfCode(r.code);
    } catch (const std::exception& e) {
        r.failure = SmFailure::NoAnswer;
        r.detail = e.what();
    }
    return r;
}
