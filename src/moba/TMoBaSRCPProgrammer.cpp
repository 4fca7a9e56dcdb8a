#include "moba/TMoBaSRCPProgrammer.h"

#include "srcp/SRCPClient.h"
#include "srcp/SRCPCmd.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace {

// The command session of the programmer; the owner may shut its socket down from another thread
// to wake a worker blocked in a read.
class Session : public TSRCPCommandClient {
public:
    void wake() { FTcp.disconnect(); }
    // Closes the connection without a word to the server.
    void drop() { CloseConnection(true); }
};

struct Job {
    enum class Kind { Start, Request, Stop } kind;
    TMoBaSRCPProgrammer::Target target;
    SmRequest request;
};

}  // namespace

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

struct TMoBaSRCPProgrammer::State {
    ResultEvent onResult;
    ConnectEvent onConnected;

    mutable std::mutex mutex;
    std::condition_variable wake;
    std::deque<Job> jobs;
    bool busy = false;
    bool quit = false;
    bool finished = false;

    std::mutex reportMutex;  // held while an event runs, so none runs once the owner is gone
    std::mutex sessionMutex;  // guards `session` for wake-ups from the owner
    std::unique_ptr<Session> session;  // used by the worker only
    Target target;

    void push(Job job)
    {
        {
            std::lock_guard lock(mutex);
            jobs.push_back(std::move(job));
        }
        wake.notify_all();
    }
    void reportResult(const SmResult& r)
    {
        std::lock_guard lock(reportMutex);
        if (onResult)
            onResult(r);
    }
    void reportConnected(bool ok, const std::string& why)
    {
        std::lock_guard lock(reportMutex);
        if (onConnected)
            onConnected(ok, why);
    }
    void run();
    void open(const Target& t);
    void close();
    void endSession(bool goodbye);
    SmResult execute(const SmRequest& request);
};

TMoBaSRCPProgrammer::TMoBaSRCPProgrammer(ResultEvent onResult, ConnectEvent onConnected)
    : m_state(std::make_shared<State>())
{
    m_state->onResult = std::move(onResult);
    m_state->onConnected = std::move(onConnected);
    std::thread([state = m_state] { state->run(); }).detach();
}

TMoBaSRCPProgrammer::~TMoBaSRCPProgrammer()
{
    State& st = *m_state;
    {
        std::lock_guard lock(st.reportMutex);  // waits for an event that is running; none comes after
        st.onResult = nullptr;
        st.onConnected = nullptr;
    }
    {
        std::lock_guard lock(st.mutex);
        st.quit = true;
        st.jobs.clear();
    }
    st.wake.notify_all();
    {
        std::lock_guard lock(st.sessionMutex);
        if (st.session)
            st.session->wake();  // a read in progress ends at once
    }
    // A read ends at once; a connect to a host that never answers ends only with its own time-out,
    // and the window does not wait for that: the worker finishes on its own with the state it owns.
    std::unique_lock lock(st.mutex);
    st.wake.wait_for(lock, std::chrono::milliseconds(200), [&] { return st.finished; });
}

void TMoBaSRCPProgrammer::start(const Target& target)
{
    m_state->push({Job::Kind::Start, target, {}});
}

void TMoBaSRCPProgrammer::submit(const SmRequest& request)
{
    m_state->push({Job::Kind::Request, {}, request});
}

void TMoBaSRCPProgrammer::stop()
{
    m_state->push({Job::Kind::Stop, {}, {}});
}

void TMoBaSRCPProgrammer::cancel()
{
    std::deque<Job> dropped;
    {
        std::lock_guard lock(m_state->mutex);
        std::deque<Job> kept;
        for (Job& j : m_state->jobs)
            (j.kind == Job::Kind::Request ? dropped : kept).push_back(std::move(j));
        m_state->jobs.swap(kept);
    }
    for (const Job& j : dropped) {
        SmResult r;
        r.request = j.request;
        r.failure = SmFailure::Cancelled;
        m_state->reportResult(r);
    }
}

std::size_t TMoBaSRCPProgrammer::pending() const
{
    std::lock_guard lock(m_state->mutex);
    std::size_t n = m_state->busy ? 1 : 0;
    for (const Job& j : m_state->jobs)
        n += j.kind == Job::Kind::Request;
    return n;
}

void TMoBaSRCPProgrammer::State::run()
{
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex);
            wake.wait(lock, [this] { return quit || !jobs.empty(); });
            if (quit)
                break;
            job = std::move(jobs.front());
            jobs.pop_front();
            busy = job.kind == Job::Kind::Request;
        }
        switch (job.kind) {
        case Job::Kind::Start:
            open(job.target);
            break;
        case Job::Kind::Stop:
            close();
            break;
        case Job::Kind::Request: {
            const SmResult r = execute(job.request);
            {
                std::lock_guard lock(mutex);
                busy = false;
            }
            reportResult(r);
            break;
        }
        }
    }
    // Leaving: no TERM (the owner wants to be gone now); the socket just closes.
    endSession(false);
    std::lock_guard lock(mutex);
    finished = true;
    wake.notify_all();
}

void TMoBaSRCPProgrammer::State::open(const Target& t)
{
    close();
    target = t;
    auto fresh = std::make_unique<Session>();
    fresh->SetHost(target.host);
    fresh->SetPort(target.port);
    fresh->SetAnswerTimeoutMs(target.answerTimeoutMs);
    {
        std::lock_guard lock(sessionMutex);
        session = std::move(fresh);
    }
    std::string why;
    try {
        session->Connect(target.connectTimeoutMs);
        if (!session->Connected())
            why = session->Response().empty() ? std::string("handshake refused") : session->Response();
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
            session->SendCommand(init);
            if (!session->ReceiveAnswer(init))
                why = init.ResponseCode() > 0 ? session->Response() : std::string("no answer to INIT");
        } catch (const std::exception& e) {
            why = e.what();
        }
        if (!why.empty() && init.ResponseCode() > 0 && session->Response().empty())
            why = "error " + std::to_string(init.ResponseCode());
    }
    if (!why.empty())
        endSession(true);
    reportConnected(why.empty(), why);
}

void TMoBaSRCPProgrammer::State::close()
{
    if (!session)
        return;
    if (session->Connected()) {
        TSRCPCmd term;
        term.SetSRCPVersion(cv082);
        term.SetDeviceGroup(dgServiceMode);
        term.SetCommandType(ctTerm);
        term.SetBus(target.bus);
        term.DevServiceMode().SetAddress(-1);
        try {
            session->SendCommand(term);
            session->ReceiveAnswer(term);
        } catch (const std::exception&) {
            // The server is gone already; closing is all that is left.
        }
    }
    endSession(true);
}

// The goodbye waits for the server's answer, so it runs with the session still in reach of the
// owner's wake-up and outside sessionMutex: an owner that goes meanwhile never waits for a silent
// server (the lock guards only the pointer).
void TMoBaSRCPProgrammer::State::endSession(bool goodbye)
{
    if (!session)
        return;
    try {
        if (goodbye)
            session->Disconnect();
        else
            session->drop();
    } catch (const std::exception&) {
        session->drop();
    }
    std::unique_ptr<Session> gone;
    {
        std::lock_guard lock(sessionMutex);
        gone = std::move(session);
    }
}

SmResult TMoBaSRCPProgrammer::State::execute(const SmRequest& request)
{
    SmResult r;
    r.request = request;
    if (!session || !session->Connected()) {
        r.failure = SmFailure::NotConnected;
        return r;
    }
    TSRCPCmd cmd;
    cmd.SetSRCPVersion(cv082);
    cmd.SetDeviceGroup(dgServiceMode);
    cmd.SetCommandType(request.op == SmOp::Read ? ctGet : request.op == SmOp::Write ? ctSet : ctVerify);
    cmd.SetBus(target.bus);
    TSRCPDeviceServiceMode& sm = cmd.DevServiceMode();
    sm.SetAddress(target.decoderAddress);
    sm.SetAddressType(request.type);
    sm.SetTypeAddress(request.number);
    sm.SetBit(request.type == smtCVBit ? request.bit : -1);
    sm.SetValue(request.op == SmOp::Read ? -1 : request.value);
    try {
        session->SendCommand(cmd);
        const bool answered = session->ReceiveAnswer(cmd);
        r.code = cmd.ResponseCode();
        r.detail = session->Response();
        if (answered && r.code < 400) {
            r.ok = true;
            if (request.op == SmOp::Read)
                r.value = cmd.DevServiceMode().Value();
            else
                r.value = request.value;
            return r;
        }
        if (!session->Connected() || r.code <= 0) {
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
