#include "moba/TMoBaSRCPProgrammer.h"

#include "srcp/SRCPClient.h"
#include "srcp/SRCPCmd.h"

#include <algorithm>
#include <atomic>
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
    // The answer to `cmd`, waited for in short slices so that `giveUp` ends the wait within one
    // slice; the line stays buffered across slices. Without an answer in `timeoutMs` the session
    // is closed (a late answer would be taken for the next command's). `abandoned` tells a wait
    // that `giveUp` ended; the session then stays open for a goodbye.
    bool awaitAnswer(TSRCPCmd& cmd, int timeoutMs, const std::atomic<bool>* giveUp, bool& abandoned)
    {
        using namespace std::chrono;
        abandoned = false;
        if (!Connected())
            return false;
        const auto deadline = steady_clock::now() + milliseconds(timeoutMs);
        for (;;) {
            if (giveUp && giveUp->load()) {
                abandoned = true;
                return false;
            }
            const auto left = duration_cast<milliseconds>(deadline - steady_clock::now());
            if (left <= milliseconds(0)) {
                CloseConnection(false);
                cmd.SetCommandType(ctETimeout);
                return false;
            }
            std::string line;
            try {
                line = FTcp.readLine(MaxLineLength(), std::min(left, milliseconds(100)));
            } catch (const TcpTimeout&) {
                continue;
            } catch (const TcpError&) {
                CloseConnection(false);
                cmd.SetCommandType(ctETempProhibited);
                return false;
            }
            if (!line.empty())
                return DoReceiveAnswer(cmd, line);
        }
    }
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
    bool quitWhenDone = false;  // the owner is gone: say goodbye, then end
    bool finished = false;
    std::atomic<bool> abandon{false};  // stop waiting for the running request's answer

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
    void reportConnected(const SmResult& report)
    {
        std::lock_guard lock(reportMutex);
        if (onConnected)
            onConnected(report);
    }
    std::deque<Job> dropRequests()
    {
        std::deque<Job> dropped, kept;
        std::lock_guard lock(mutex);
        for (Job& j : jobs)
            (j.kind == Job::Kind::Request ? dropped : kept).push_back(std::move(j));
        jobs.swap(kept);
        return dropped;
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
    st.dropRequests();
    st.abandon = true;
    {
        std::lock_guard lock(st.mutex);
        st.jobs.push_back({Job::Kind::Stop, {}, {}});
        st.quitWhenDone = true;
    }
    st.wake.notify_all();
    // The goodbye to a server that is slow or silent, or a connect to a host that never answers,
    // ends only with its own time-out, and the window does not wait for that: the worker finishes
    // on its own with the state it owns.
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
    for (const Job& j : m_state->dropRequests()) {
        SmResult r;
        r.request = j.request;
        r.failure = SmFailure::Cancelled;
        m_state->reportResult(r);
    }
}

void TMoBaSRCPProgrammer::finish()
{
    cancel();
    m_state->abandon = true;
    stop();
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
            wake.wait(lock, [this] { return quit || quitWhenDone || !jobs.empty(); });
            if (quit || (quitWhenDone && jobs.empty()))
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
    // Whatever is left (a session that failed its goodbye) just closes.
    endSession(false);
    std::lock_guard lock(mutex);
    finished = true;
    wake.notify_all();
}

void TMoBaSRCPProgrammer::State::open(const Target& t)
{
    close();
    abandon = false;
    target = t;
    auto fresh = std::make_unique<Session>();
    fresh->SetHost(target.host);
    fresh->SetPort(target.port);
    fresh->SetAnswerTimeoutMs(target.answerTimeoutMs);
    {
        std::lock_guard lock(sessionMutex);
        session = std::move(fresh);
    }
    SmResult report;
    try {
        session->Connect(target.connectTimeoutMs);
        if (!session->Connected()) {
            report.failure = SmFailure::Refused;
            report.detail = session->Response().empty() ? std::string("handshake refused") : session->Response();
        }
    } catch (const std::exception& e) {
        report.failure = SmFailure::NotConnected;
        report.detail = e.what();
    }
    if (report.failure == SmFailure::None) {
        TSRCPCmd init;
        init.SetSRCPVersion(cv082);
        init.SetDeviceGroup(dgServiceMode);
        init.SetCommandType(ctInit);
        init.SetBus(target.bus);
        init.DevServiceMode().SetProtocol(spNMRA);
        bool abandoned = false;
        try {
            session->SendCommand(init);
            if (!session->awaitAnswer(init, target.answerTimeoutMs, nullptr, abandoned)) {
                report.code = init.ResponseCode();
                report.detail = session->Response();
                report.failure = report.code > 0 ? SmFailureOfCode(report.code) : SmFailure::NoAnswer;
                if (report.failure == SmFailure::None)
                    report.failure = SmFailure::Refused;
            }
        } catch (const std::exception& e) {
            report.failure = SmFailure::NoAnswer;
            report.detail = e.what();
        }
    }
    report.ok = report.failure == SmFailure::None;
    if (!report.ok)
        endSession(true);
    reportConnected(report);
}

void TMoBaSRCPProgrammer::State::close()
{
    if (!session)
        return;
    // A server that is slow or silent does not hold the goodbye for long; this also bounds the
    // session's own TERM in endSession().
    session->SetAnswerTimeoutMs(std::min(target.answerTimeoutMs, GoodbyeTimeoutMs));
    if (session->Connected()) {
        TSRCPCmd term;
        term.SetSRCPVersion(cv082);
        term.SetDeviceGroup(dgServiceMode);
        term.SetCommandType(ctTerm);
        term.SetBus(target.bus);
        term.DevServiceMode().SetAddress(-1);
        try {
            session->SendCommand(term);
            // The late answer of a request given up comes first.
            bool abandoned = false;
            for (int answers = 0; answers < 2; ++answers)
                if (!session->awaitAnswer(term, std::min(target.answerTimeoutMs, GoodbyeTimeoutMs), nullptr, abandoned) ||
                    session->Response().find(" INFO ") == std::string::npos)
                    break;
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
        bool abandoned = false;
        const bool answered = session->awaitAnswer(cmd, target.answerTimeoutMs, &abandon, abandoned);
        if (abandoned) {
            r.failure = SmFailure::Cancelled;
            return r;
        }
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
        if (request.op == SmOp::Verify && r.failure == SmFailure::WrongValue) {
            // What the decoder holds instead, read back.
            SmRequest back = request;
            back.op = SmOp::Read;
            const SmResult read = execute(back);
            if (read.ok)
                r.value = read.value;
            else if (read.failure == SmFailure::Cancelled || read.failure == SmFailure::NoAnswer)
                r.failure = read.failure;
        }
    } catch (const std::exception& e) {
        r.failure = SmFailure::NoAnswer;
        r.detail = e.what();
    }
    return r;
}
