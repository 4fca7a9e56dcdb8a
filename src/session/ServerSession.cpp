#include "session/ServerSession.h"

#include "session/InfoReport.h"
#include "session/PulseWriter.h"

#include "base/AppState.h"
#include "moba/ThreadPriority.h"
#include "session/SrcpReaders.h"
#include "base/C_language.h"
#include "base/UserDialogs.h"

#include <QMetaObject>
#include <QTimer>

#include <utility>

namespace {

constexpr int CaptionError = 102;
constexpr int MsgCommandChannelFailed = 110;
constexpr int MsgInfoChannelFailed = 111;
constexpr int MsgDisconnected = 120;
constexpr int MsgFeedbackChannelFailed = 123;
constexpr int MsgNotAvailable = 124;
constexpr int CaptionCommands = 125;
constexpr int MsgNotConnected = 127;
constexpr int CaptionInfo = 128;
constexpr int MsgInitialized = 129;
constexpr int MsgPleaseConnect = 142;
constexpr int MsgLostNextAttempt = 531;
constexpr int MsgReconnectAttempt = 532;
constexpr int MsgRestored = 533;
constexpr int MsgNotSentReconnecting = 534;
constexpr int MsgNoAnswer = 593;
constexpr int MsgNoAnswerNextAttempt = 594;
constexpr int MsgRestoredPowerOff = 651;
constexpr int MsgPowerUnknownLost = 653;

constexpr int SrcpVer073 = 73;

// How often the link watch looks at the command connection.
constexpr int WatchTickMs = 250;

std::string toWire(const QString& text)
{
    return text.toLatin1().toStdString();
}

QString fromWire(const std::string& line)
{
    return QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size()));
}

} // namespace

ServerSession::ServerSession(AppState& main, UserDialogs& dialogs, const C_language& lang, QObject* parent)
    : QObject(parent),
      m_main(main),
      m_dialogs(dialogs),
      m_lang(lang),
      m_handOver([this] {
          QMetaObject::invokeMethod(this, &ServerSession::drainHandOver, Qt::QueuedConnection);
      }),
      m_opener([this](std::function<void()> call) { QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection); })
{
    PowerTimer.setInterval(3000);
    PowerTimer.setSingleShot(true);
    connect(&PowerTimer, &QTimer::timeout, this, [this] {
        PowerTimer.stop();
        if (m_main.SrcpVer == SrcpVer073)
            monitorPower();
        else if (onPowerMonitor)
            onPowerMonitor();
    });
    m_settleTimer.setSingleShot(true);
    m_settleTimer.setTimerType(Qt::PreciseTimer);  // the server's second, as it always had it
    connect(&m_settleTimer, &QTimer::timeout, this, &ServerSession::connectSettled);
    m_retryTimer.setSingleShot(true);
    connect(&m_retryTimer, &QTimer::timeout, this, &ServerSession::startAttempt);
    m_watchTimer.setInterval(WatchTickMs);
    connect(&m_watchTimer, &QTimer::timeout, this, &ServerSession::watchTick);
}

ServerSession::~ServerSession()
{
    m_pulses.reset();  // the pulse being written is finished on the open connection
    m_retryTimer.stop();
    m_watchTimer.stop();
    m_settleTimer.stop();
    m_opener.cancelAll();  // never waits: a connect under way ends on its own
    stopReader(ReadCommand);
    stopReader(Readinfo);
    stopReader(PollHandleThread);
    closeCommandSocket();
    Info_Socket.close();
    Poll_Socket.close();
}

QString ServerSession::message(int id) const
{
    return m_lang.getmessage(id, m_main.Lang_id);
}

void ServerSession::errorBox(int id)
{
    m_dialogs.messageBox(message(id), message(CaptionError), UserDialogs::Icon::Error);
}

bool ServerSession::pollRunning() const
{
    return PollHandleThread && !PollHandleThread->finished();
}

// ---------------------------------------------------------------------------------------------
// Writing

bool ServerSession::writeCommand(std::string_view text)
{
    std::lock_guard lock(Lock_socket);
    if (!commandConnected())
        return false;
    try {
        Command_Socket.writeText(text);
    } catch (const TcpError& e) {
        writeFailed(e);
        return false;
    }
    return true;
}

bool ServerSession::writePulse(std::string_view on, std::string_view off, const std::function<void()>& between)
{
    // The time between the two lines is what the railway sees: the writing thread runs ahead of
    // ordinary threads for the whole pulse where the system allows it (put back after the lock is
    // released; putting it back in the middle, right after the wait, may cost the thread the
    // processor just before the second line).
    ScopedThreadPriority raised;
    std::lock_guard lock(Lock_socket);
    if (!commandConnected())
        return false;
    bool switched = false;  // the railway has the switch-on line: the accessory has moved
    try {
        Command_Socket.writeText(on);
        switched = true;
        if (between)
            between();
        Command_Socket.writeText(off);
    } catch (const TcpError& e) {
        writeFailed(e);
        return switched;
    }
    return true;
}

void ServerSession::postPulse(std::string on, std::string off, std::function<void()> between,
                              std::function<void(bool written)> done)
{
    if (!m_pulses)
        m_pulses = std::make_unique<PulseWriter>();
    m_pulses->post([this, on = std::move(on), off = std::move(off), between = std::move(between),
                    done = std::move(done)] {
        bool written = false;
        try {
            written = writePulse(on, off, between);
        } catch (const std::exception&) {
            // the write failed and the session was told (writeFailed); nothing to add here
        }
        if (done)
            done(written);
    });
}

bool ServerSession::reportsAccessories() const
{
    return Readinfo && !Readinfo->finished() && Info_Socket.connected();
}

bool ServerSession::reconnectEnabled() const
{
    return m_main.Autoreconnect > 0 && (m_main.SrcpVer == SrcpVer073 || (srcp08.reconnect && srcp08.restore));
}

bool ServerSession::srcp08Lost(const QString& why)
{
    if (m_main.SrcpVer == SrcpVer073 || !reconnectEnabled() || m_policy.state() != ReconnectPolicy::State::Connected)
        return false;
    linkLost(why);
    return reconnecting();
}

void ServerSession::srcp08ConnectFinished(bool ok)
{
    if (!ok)
        return;  // the host has said why
    m_main.LocoData_sent = false;
    m_main.SolenoidData_sent = false;
    m_choices.power = m_main.Autopower > 0 ? SessionChoices::Power::On : SessionChoices::Power::Unknown;
    m_choices.feedbackPolling = false;
    m_policy.enabled = reconnectEnabled();
    m_policy.connected();
    emit connectedChanged(true);
}

void ServerSession::powerReported(int on)
{
    if (m_policy.state() != ReconnectPolicy::State::Connected)
        return;  // what a server says while it is being given up does not count
    m_choices.power = on > 0 ? SessionChoices::Power::On : on == 0 ? SessionChoices::Power::Off : SessionChoices::Power::Unknown;
}

void ServerSession::srcp08AttemptFinished(bool ok)
{
    attemptFinished(ok, std::string(), false);
}

void ServerSession::writeFailed(const TcpError& e)
{
    if (!reconnectEnabled())
        throw;  // shown by the caller, as every write failure
    // The status bar says so and the session tries again; the caller sees "not written".
    const QString why = QString::fromLocal8Bit(e.what());
    QMetaObject::invokeMethod(this, [this, why] { linkLost(why); }, Qt::QueuedConnection);
}

void ServerSession::refuseWhileReconnecting()
{
    QMetaObject::invokeMethod(
        this, [this] { emit statusText(1, message(MsgNotSentReconnecting)); }, Qt::QueuedConnection);
}

void ServerSession::monitorPower()
{
    // The power monitor asks, it never switches. The info channel reports every change by itself;
    // without it the command connection is asked again every time the timer runs out.
    if (!commandConnected())
        return;
    const bool infoOpen = Readinfo && Info_Socket.connected();
    // One question at a time: an answer to a question asked before a newer one counts as out of
    // date, and the monitor's own answers must each be shown.
    if ((!infoOpen || !m_powerMonitored) && m_powerQuestions == 0 && writeCommand("GET POWER\n"))
        ++m_powerQuestions;
    m_powerMonitored = true;
    if (!infoOpen)
        PowerTimer.start();
}

void ServerSession::askPower()
{
    // The power panel shows the server's answer, not what was asked for. With the info channel
    // open the server reports its power there by itself; otherwise it is asked on the command
    // connection, where SRCP 0.7.3 answers "INFO POWER ON|OFF".
    if (m_main.SrcpVer != SrcpVer073 || (Readinfo && Info_Socket.connected()))
        return;
    try {
        if (writeCommand("GET POWER\n"))
            ++m_powerQuestions;
    } catch (const TcpError&) {
        // The command before it went out; the broken connection is the reader's to report.
    }
}

ServerSession::Written ServerSession::writeGuarded(std::string_view text)
{
    try {
        return writeCommand(text) ? Written::Yes : Written::NotConnected;
    } catch (const std::exception& e) {
        m_dialogs.showError(QString::fromLocal8Bit(e.what()));
        return Written::FailedAndShown;  // said once; the caller adds no "not connected"
    }
}

// ---------------------------------------------------------------------------------------------
// Readers

template <class Reader>
static void stopAndJoin(std::unique_ptr<Reader>& r, TcpLineClient& socket)
{
    if (!r)
        return;
    r->requestStop();
    socket.disconnect();  // wakes a read that waits for a line
    r->join();
    r.reset();
}

void ServerSession::stopReader(std::unique_ptr<TReadCommand>& r) { stopAndJoin(r, Command_Socket); }
void ServerSession::stopReader(std::unique_ptr<TReadinfo>& r) { stopAndJoin(r, Info_Socket); }
void ServerSession::stopReader(std::unique_ptr<TPollHandleThread>& r) { stopAndJoin(r, Poll_Socket); }

void ServerSession::closeCommandSocket()
{
    Command_Socket.disconnect();
    std::lock_guard lock(Lock_socket);  // no writer may be using the descriptor while it goes
    Command_Socket.close();
}

template <class Reader>
bool ServerSession::adoptChannel(const ConnectionOpener::Connection& c, TcpLineClient& socket,
                                 std::unique_ptr<Reader>& reader)
{
    try {
        if (!c.socket)
            throw TcpError(c.error);
        socket.takeOver(*c.socket);
        reader = std::make_unique<Reader>(socket, m_handOver);
        reader->start();
        return true;
    } catch (const std::exception&) {
        stopReader(reader);
        socket.close();
        return false;
    }
}

void ServerSession::drainHandOver()
{
    auto items = m_handOver.take();
    for (auto& item : items)
        handle(item);
    if (m_lostPending) {
        m_lostPending = false;
        linkLost(m_lostWhy);
    }
}

void ServerSession::handle(HandOverItem& item)
{
    if (item.kind == HandOverItem::Kind::ReaderEnded) {
        if (item.closedByPeer && m_policy.state() == ReconnectPolicy::State::Connected && reconnectEnabled()) {
            m_lostPending = true;  // dealt with once this batch is through
            m_lostWhy = fromWire(item.line);
        }
        if (item.channel == SrcpChannel::Command) {
            if (m_main.Debug)
                emit statusText(1, QString::fromUtf8("Es wurde eine Exception im Modul ReadCommand ausgelöst!"));
            else if (item.closedByPeer)
                emit statusText(1, message(MsgDisconnected));
        } else if (item.channel == SrcpChannel::Info && m_main.Debug) {
            emit statusText(2, QString::fromUtf8("Es wurde eine Exception im Modul ReadInfo ausgelöst!"));
        }
        return;
    }
    // The server's own word on its power ("INFO POWER ON|OFF", on either channel) is what the
    // power panel shows, whoever switched it, and what a lost server gets back.
    // An answer to a power question that was asked before a newer power command is out of date:
    // the newer command's own question is still to be answered (on the command connection the
    // answers come in the order of the questions). It must not undo the user's last choice.
    if (item.channel != SrcpChannel::Poll) {
        const bool outdatedAnswer = item.channel == SrcpChannel::Command && m_powerQuestions > 1;
        if (const auto power = parsePowerReport(item.line); power && !outdatedAnswer) {
            powerReported(power->on ? 1 : 0);
            emit statusText(0, power->on ? QStringLiteral("Power on") : QStringLiteral("Power off"));
            if (std::exchange(m_powerHint, false) && !power->on)
                emit statusText(1, message(MsgRestoredPowerOff));
        }
    }
    switch (item.channel) {
    case SrcpChannel::Command:
        m_watch.lineReceived(LinkWatch::Clock::now());
        // The answer to our own power question is shown in the power panel only: the command
        // line's panel keeps what it says.
        if (m_powerQuestions > 0 && parsePowerReport(item.line)) {
            --m_powerQuestions;
            break;
        }
        Cinfo = fromWire(item.line);
        emit statusText(1, Cinfo);
        break;
    case SrcpChannel::Info:
        InMessage = fromWire(item.line);
        emit statusText(2, InMessage);
        emit infoLine(InMessage);
        break;
    case SrcpChannel::Poll:
        if (m_main.Debug && debugLine)
            debugLine(fromWire(item.line));
        break;
    }
    if (onFeedbackContact) {
        for (const auto& c : item.contacts) {
            try {
                onFeedbackContact(c);
            } catch (const std::exception&) {
                // A detector that cannot be drawn (missing icon) stays as it was.
            }
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Connecting

void ServerSession::connectServer()
{
    if (m_main.SrcpVer != SrcpVer073 && reconnecting()) {
        // The user connects now rather than waiting for the next attempt.
        m_retryTimer.stop();
        m_policy.disconnected();
        emit reconnectingChanged(false);
    }
    if (m_main.SrcpVer != SrcpVer073) {
        if (!srcp08.connect) {
            errorBox(MsgCommandChannelFailed);
            return;
        }
        if (srcp08.connected && srcp08.connected())
            return;
        srcp08.connect();  // ends with srcp08ConnectFinished
        return;
    }
    if (reconnecting()) {
        // The user connects now rather than waiting for the next attempt.
        m_retryTimer.stop();
        cancelAttempt();
        m_policy.disconnected();
        m_writable = true;
        emit reconnectingChanged(false);
    }
    if (Command_Socket.connected() || connecting())
        return;
    // A session whose server went away leaves its reader finished and its socket open.
    stopReader(ReadCommand);
    closeCommandSocket();
    drainHandOver();
    m_silentReported = false;
    m_silent = false;
    // Nothing is written before the server has had its time: the session is not there yet.
    m_writable = false;
    m_commandOpening = m_opener.open({toWire(m_main.Iphostchar), {m_main.Ipport}, ConnectTimeout},
                                     [this](ConnectionOpener::Result& r) { commandChannelOpened(r); });
}

void ServerSession::commandChannelOpened(ConnectionOpener::Result& r)
{
    m_commandOpening = 0;
    const ConnectionOpener::Connection& c = r.connections.front();
    if (!c.socket)
        return connectFailed();
    try {
        Command_Socket.takeOver(*c.socket);
        m_watch.timings = linkTimings;
        m_watch.reset();
        m_watch.opened(LinkWatch::Clock::now(), false);  // the greeting comes through the reader
        m_main.Connecting = true;
        m_powerQuestions = 0;  // a new connection: nothing asked on it yet
        m_powerMonitored = false;
        ReadCommand = std::make_unique<TReadCommand>(Command_Socket, m_handOver);
        ReadCommand->start();
    } catch (const std::exception&) {
        return connectFailed();
    }
    // The server greets meanwhile; the window goes on.
    m_settleTimer.start(static_cast<int>(connectSettle.count()));
}

void ServerSession::connectSettled()
{
    try {
        if (!Command_Socket.connected())
            throw TcpClosed("the server closed the connection");
        m_writable = true;
        m_choices.power = SessionChoices::Power::Unknown;
        if (m_main.Autopower > 0 && writeCommand("SET POWER ON\n")) {
            m_choices.power = SessionChoices::Power::On;
            askPower();
        }
        m_choices.feedbackPolling = pollRunning();
        m_policy.enabled = reconnectEnabled();
        m_policy.connected();
        m_watchTimer.start();
        emit connectedChanged(true);
        if (m_main.Monitorpower > 0)
            PowerTimer.start();
        else
            PowerTimer.stop();
    } catch (const std::exception&) {
        connectFailed();
    }
    if (m_main.Infoport_an > 0 && Command_Socket.connected())
        connectInfoChannel();
}

void ServerSession::connectFailed()
{
    stopReader(ReadCommand);
    closeCommandSocket();
    m_main.Connecting = false;
    m_writable = true;
    errorBox(MsgCommandChannelFailed);
}

void ServerSession::connectInfoChannel()
{
    stopReader(Readinfo);
    Info_Socket.close();
    m_opener.cancel(m_infoOpening);
    m_infoOpening = m_opener.open({toWire(m_main.Iphostchar), {m_main.Ipport + 2}, ConnectTimeout},
                                  [this](ConnectionOpener::Result& r) {
                                      m_infoOpening = 0;
                                      if (!adoptChannel(r.connections.front(), Info_Socket, Readinfo))
                                          errorBox(MsgInfoChannelFailed);
                                  });
}

void ServerSession::disconnectServer()
{
    PowerTimer.stop();
    m_retryTimer.stop();
    m_watchTimer.stop();
    m_settleTimer.stop();
    const bool wasReconnecting = reconnecting();
    // Feedback polling that a restore was still opening is not running: "&Start" is offered again.
    const bool pollNotRestored = m_restoring != 0 && m_restoringPoll;
    cancelAttempt();
    m_opener.cancel(m_commandOpening);
    m_opener.cancel(m_infoOpening);
    m_opener.cancel(m_restoring);
    m_commandOpening = m_infoOpening = m_restoring = 0;
    m_policy.disconnected();
    m_writable = true;
    if (wasReconnecting)
        emit reconnectingChanged(false);
    if ((wasReconnecting || pollNotRestored) && m_choices.feedbackPolling && !pollRunning()) {
        m_choices.feedbackPolling = false;
        emit feedbackPollingChanged(false);
    }
    if (m_main.SrcpVer == SrcpVer073) {
        stopReader(ReadCommand);
        closeCommandSocket();
        drainHandOver();  // lines read before the disconnect are shown first
        emit statusText(1, message(MsgDisconnected));
        stopReader(Readinfo);
        Info_Socket.close();
    } else if (srcp08.disconnect) {
        srcp08.disconnect();
    }
    m_main.Connecting = false;
    emit connectedChanged(false);
    emit statusText(2, QString());
    m_main.LocoData_sent = false;
    m_main.SolenoidData_sent = false;
    emit statusText(0, QStringLiteral("Power off"));
}

// ---------------------------------------------------------------------------------------------
// Commands

void ServerSession::powerOn()
{
    if (m_main.SrcpVer != SrcpVer073 && srcp08.power) {
        if (reconnecting())
            return errorBox(MsgNotConnected);
        srcp08.power(true);
        if (srcp08.connected && srcp08.connected())
            m_choices.power = SessionChoices::Power::On;
        return;
    }
    const Written w = writeGuarded("SET POWER ON\n");
    if (w == Written::Yes)
        notePowerCommand("SET POWER ON");
    else if (w == Written::NotConnected)
        errorBox(MsgNotConnected);
}

void ServerSession::powerOff()
{
    if (m_main.SrcpVer != SrcpVer073 && srcp08.power) {
        // As on SRCP 0.7.3: switching off while the server is away is done once it is back.
        if (reconnecting()) {
            m_choices.power = SessionChoices::Power::Off;
            return errorBox(MsgNotConnected);
        }
        srcp08.power(false);
        if (srcp08.connected && srcp08.connected())
            m_choices.power = SessionChoices::Power::Off;
        return;
    }
    // Switching off counts even while the server is being tried again: it is switched off as soon
    // as the server is back.
    const Written w = writeGuarded("SET POWER OFF\n");
    if (w == Written::Yes || reconnecting())
        notePowerCommand("SET POWER OFF");
    if (w != Written::FailedAndShown && !commandConnected())
        errorBox(MsgNotConnected);
}

void ServerSession::notePowerCommand(std::string_view text)
{
    std::string word;
    for (char c : text)
        if (static_cast<unsigned char>(c) > ' ')
            word += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    if (word == "SETPOWERON")
        m_choices.power = SessionChoices::Power::On;
    else if (word == "SETPOWEROFF" || word == "RESET")
        m_choices.power = SessionChoices::Power::Off;
    else
        return;
    askPower();
}

void ServerSession::resetServer()
{
    if (m_main.SrcpVer != SrcpVer073) {
        errorBox(MsgNotAvailable);
        return;
    }
    if (!Command_Socket.connected()) {
        errorBox(MsgNotConnected);
        return;
    }
    const Written w = writeGuarded("RESET\n");
    if (w == Written::NotConnected)
        errorBox(MsgNotConnected);
    if (w != Written::Yes)
        return;  // nothing was initialised
    notePowerCommand("RESET");
    m_dialogs.messageBox(message(MsgInitialized), message(CaptionInfo), UserDialogs::Icon::Error);
}

void ServerSession::decoderProgramming()
{
    errorBox(MsgNotAvailable);
}

void ServerSession::freeCommand()
{
    if (!Command_Socket.connected()) {
        errorBox(MsgNotConnected);
        return;
    }
    auto text = m_dialogs.inputQuery(message(CaptionCommands), QStringLiteral("e.g.: SET GA M 16 1 1 500"),
                                     QString());
    if (!text)
        return;
    const Written w = writeGuarded(toWire(*text) + "\n");
    if (w == Written::NotConnected)
        errorBox(MsgNotConnected);
    else if (w == Written::Yes)
        notePowerCommand(toWire(*text));
}

// ---------------------------------------------------------------------------------------------
// Feedback polling

void ServerSession::startFeedback()
{
    emit feedbackPollingChanged(true);
    if (reconnecting()) {
        // Started together with the rest of the session once the server is back.
        m_choices.feedbackPolling = true;
        emit statusText(1, message(MsgNotSentReconnecting));
        return;
    }
    if (m_main.SrcpVer != SrcpVer073) {
        if (srcp08.startFeedback && srcp08.startFeedback()) {
            m_choices.feedbackPolling = true;
            return;  // "&Start" and "&Reset" stay disabled, also when the bus has no feedback group
        }
        errorBox(MsgPleaseConnect);
        emit feedbackPollingChanged(false);
        return;
    }
    stopReader(PollHandleThread);
    Poll_Socket.close();
    m_opener.cancel(m_pollOpening);
    m_pollOpening = m_opener.open({toWire(m_main.Iphostchar), {m_main.Ipport + 1}, ConnectTimeout},
                                  [this](ConnectionOpener::Result& r) { feedbackChannelOpened(r); });
}

void ServerSession::feedbackChannelOpened(ConnectionOpener::Result& r)
{
    m_pollOpening = 0;
    if (adoptChannel(r.connections.front(), Poll_Socket, PollHandleThread)) {
        m_choices.feedbackPolling = true;
    } else {
        errorBox(MsgFeedbackChannelFailed);
        emit feedbackPollingChanged(false);
    }
}

void ServerSession::stopFeedback()
{
    m_choices.feedbackPolling = false;
    if (m_main.SrcpVer == SrcpVer073) {
        m_opener.cancel(m_pollOpening);
        m_pollOpening = 0;
        stopReader(PollHandleThread);
        Poll_Socket.close();
        drainHandOver();
    } else if (srcp08.stopFeedback) {
        srcp08.stopFeedback();
    }
    emit feedbackPollingChanged(false);
}

// ---------------------------------------------------------------------------------------------
// Getting a lost server back

void ServerSession::linkLost(const QString& why)
{
    if (m_policy.state() != ReconnectPolicy::State::Connected)
        return;  // already dealt with, or the user disconnected meanwhile
    m_policy.enabled = reconnectEnabled();
    const auto delay = m_policy.lost();
    m_watchTimer.stop();
    if (!delay)
        return;  // the readers have ended and the status bar says so; the user connects again
    if (m_main.Debug)
        emit statusText(2, why);
    // What the power panel said is no longer known.
    emit statusText(0, message(MsgPowerUnknownLost));
    m_powerHint = false;
    PowerTimer.stop();
    m_writable = false;
    // Feedback polling that was still being opened is opened with the rest once the server is back.
    if (m_pollOpening)
        m_choices.feedbackPolling = true;
    m_opener.cancel(m_infoOpening);
    m_opener.cancel(m_pollOpening);
    m_opener.cancel(m_restoring);
    m_infoOpening = m_pollOpening = m_restoring = 0;
    stopReader(ReadCommand);
    closeCommandSocket();
    stopReader(Readinfo);
    Info_Socket.close();
    stopReader(PollHandleThread);
    Poll_Socket.close();
    emit reconnectingChanged(true);
    scheduleAttempt(*delay);
}

QString ServerSession::serverAddress() const
{
    return m_main.Iphostchar + QLatin1Char(':') + QString::number(m_main.Ipport);
}

void ServerSession::reportSilentServer()
{
    m_silent = true;
    if (m_silentReported)
        return;
    m_silentReported = true;
    m_dialogs.messageBox(message(MsgNoAnswer).arg(serverAddress()), message(CaptionError),
                         UserDialogs::Icon::Error);
}

void ServerSession::scheduleAttempt(std::chrono::milliseconds delay)
{
    const qint64 seconds = (delay.count() + 999) / 1000;
    if (m_silent)
        emit statusText(1, message(MsgNoAnswerNextAttempt).arg(serverAddress()).arg(seconds));
    else
        emit statusText(1, message(MsgLostNextAttempt).arg(seconds));
    m_retryTimer.start(static_cast<int>(delay.count()));
}

void ServerSession::startAttempt()
{
    if (!m_policy.startAttempt())
        return;
    emit statusText(1, message(MsgReconnectAttempt).arg(m_policy.attempts()));
    if (m_main.SrcpVer != SrcpVer073) {
        // The component connects on its own thread and says how it went (srcp08AttemptFinished).
        if (srcp08.reconnect)
            srcp08.reconnect();
        else
            attemptFinished(false, std::string(), false);
        return;
    }
    // Connecting may take up to the connect time-out and the greeting up to its own: neither may
    // hold up the window, so both happen on a thread of their own, on a connection of its own.
    // Command_Socket stays closed meanwhile and writers see the session as not connected.
    cancelAttempt();
    ConnectionOpener::Request request{toWire(m_main.Iphostchar), {m_main.Ipport}, ConnectTimeout, linkTimings.greet};
    m_attempt = m_opener.open(std::move(request), [this](ConnectionOpener::Result& r) {
        m_attempt = 0;
        m_attemptSocket = r.connections.front().socket;
        attemptFinished(m_attemptSocket != nullptr, r.greeting, r.silent);
        m_attemptSocket.reset();
    });
}

void ServerSession::cancelAttempt()
{
    m_opener.cancel(m_attempt);  // never waits: its connection is shut down and its result dropped
    m_attempt = 0;
}

void ServerSession::attemptFinished(bool ok, const std::string& greeting, bool silent)
{
    if (m_policy.state() != ReconnectPolicy::State::Trying)
        return;  // cancelled; whoever cancelled has cleaned up
    if (!ok) {
        if (m_main.SrcpVer == SrcpVer073)
            closeCommandSocket();
        if (silent)
            reportSilentServer();
        else
            m_silent = false;
        if (const auto delay = m_policy.attemptFailed())
            scheduleAttempt(*delay);
        return;
    }
    restoreSession(greeting);
}

void ServerSession::restoreSession(const std::string& greeting)
{
    if (m_main.SrcpVer != SrcpVer073) {
        m_policy.connected();
        m_main.LocoData_sent = false;
        m_main.SolenoidData_sent = false;
        emit reconnectingChanged(false);
        emit connectedChanged(true);
        // The host says "restored" once the server has answered a question on the new session.
        srcp08.restore(m_choices);
        return;
    }
    m_policy.connected();
    if (m_attemptSocket)
        Command_Socket.takeOver(*m_attemptSocket);
    m_writable = true;
    m_silent = false;
    m_silentReported = false;
    Cinfo = fromWire(greeting);
    m_watch.timings = linkTimings;
    m_watch.opened(LinkWatch::Clock::now(), true);
    m_powerQuestions = 0;  // a new connection: nothing asked on it yet
    m_powerMonitored = false;
    ReadCommand = std::make_unique<TReadCommand>(Command_Socket, m_handOver);
    ReadCommand->start();
    m_watchTimer.start();
    emit reconnectingChanged(false);
    emit connectedChanged(true);

    // Track power is never switched on by the program: a server that restarted (after a short
    // circuit, a derailment) stays off until a person switches it on. Power switched off is sent
    // again; power that was on is switched on again only when the settings ask for it. The panel
    // shows what the server says, and the status bar how to switch on when it is off.
    if (m_choices.power == SessionChoices::Power::On && m_main.Poweronreconnect > 0)
        writeCommand("SET POWER ON\n");
    else if (m_choices.power == SessionChoices::Power::Off)
        writeCommand("SET POWER OFF\n");
    m_powerHint = true;
    askPower();
    if (m_main.Monitorpower > 0)
        PowerTimer.start();

    // The info channel and feedback polling as they were, opened on a thread of their own; the
    // server reports every contact when the feedback connection opens, so the panel shows the
    // feedback as it is now.
    const bool info = m_main.Infoport_an > 0;
    const bool poll = m_choices.feedbackPolling;
    if (!info && !poll) {
        emit statusText(1, message(MsgRestored));
        return;
    }
    std::vector<int> ports;
    if (info)
        ports.push_back(m_main.Ipport + 2);
    if (poll) {
        ports.push_back(m_main.Ipport + 1);
        stopReader(PollHandleThread);
        Poll_Socket.close();
    }
    m_restoringPoll = poll;
    m_restoring = m_opener.open({toWire(m_main.Iphostchar), std::move(ports), ConnectTimeout},
                                [this, info, poll](ConnectionOpener::Result& r) {
                                    m_restoring = 0;
                                    restoredChannelsOpened(r, info, poll);
                                });
}

void ServerSession::restoredChannelsOpened(ConnectionOpener::Result& r, bool info, bool poll)
{
    QString problem;
    std::size_t next = 0;
    if (info) {
        if (!adoptChannel(r.connections.at(next++), Info_Socket, Readinfo))
            problem = message(MsgInfoChannelFailed);
    }
    if (poll && m_choices.feedbackPolling) {  // not stopped by the user meanwhile
        if (!adoptChannel(r.connections.at(next++), Poll_Socket, PollHandleThread)) {
            m_choices.feedbackPolling = false;
            emit feedbackPollingChanged(false);
            problem = message(MsgFeedbackChannelFailed);
        }
    }
    emit statusText(1, problem.isEmpty() ? message(MsgRestored) : problem);
}

void ServerSession::watchTick()
{
    // Without reconnecting only the greeting is waited for: a server that accepts and never
    // greets is not a session.
    if (m_policy.state() != ReconnectPolicy::State::Connected || m_main.SrcpVer != SrcpVer073
        || (!reconnectEnabled() && m_watch.greeted())) {
        m_watchTimer.stop();
        return;
    }
    drainHandOver();  // lines read meanwhile count, and a reader that ended is noticed first
    if (m_policy.state() != ReconnectPolicy::State::Connected)
        return;
    const auto now = LinkWatch::Clock::now();
    const LinkWatch::Action action = m_watch.tick(now);
    if (action == LinkWatch::Action::Lost && !m_watch.greeted()) {
        m_watchTimer.stop();
        reportSilentServer();
        if (reconnectEnabled()) {
            linkLost(QStringLiteral("the server does not greet"));
        } else {
            disconnectServer();
            emit statusText(1, message(MsgNoAnswer).arg(serverAddress()));
        }
        return;
    }
    if (!reconnectEnabled())
        return;
    switch (action) {
    case LinkWatch::Action::None:
        break;
    case LinkWatch::Action::SendProbe:
        // A question every SRCP 0.7.3 server answers and that changes nothing.
        m_watch.probeSent(now);
        writeCommand("GET POWER\n");
        break;
    case LinkWatch::Action::Lost:
        linkLost(QStringLiteral("the server does not answer"));
        break;
    }
}
