#include "session/ServerSession.h"

#include "app/AppState.h"
#include "moba/THighResTimer.h"
#include "session/SrcpReaders.h"
#include "ui/C_language.h"
#include "ui/UserDialogs.h"

#include <QMetaObject>

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

constexpr int SrcpVer073 = 73;

std::string toWire(const QString& text)
{
    return text.toLatin1().toStdString();
}

QString fromWire(const std::string& line)
{
    return QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size()));
}

} // namespace

ServerSession::ServerSession(AppState& main, UserDialogs& dialogs, const C_language& lang,
                             THighResTimer& timer, QObject* parent)
    : QObject(parent),
      m_main(main),
      m_dialogs(dialogs),
      m_lang(lang),
      m_timer(timer),
      m_handOver([this] {
          QMetaObject::invokeMethod(this, &ServerSession::drainHandOver, Qt::QueuedConnection);
      })
{
    PowerTimer.setInterval(3000);
    PowerTimer.setSingleShot(true);
    connect(&PowerTimer, &QTimer::timeout, this, [this] {
        PowerTimer.stop();
        if (onPowerMonitor)
            onPowerMonitor();
    });
    pause = [this](int ms) { m_timer.Wait(std::int64_t(ms) * 1000); };
}

ServerSession::~ServerSession()
{
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
    if (!Command_Socket.connected())
        return false;
    Command_Socket.writeText(text);
    return true;
}

bool ServerSession::writePulse(std::string_view on, std::string_view off, const std::function<void()>& between)
{
    std::lock_guard lock(Lock_socket);
    if (!Command_Socket.connected())
        return false;
    Command_Socket.writeText(on);
    if (between)
        between();
    Command_Socket.writeText(off);
    return true;
}

bool ServerSession::writeGuarded(std::string_view text)
{
    try {
        return writeCommand(text);
    } catch (const std::exception& e) {
        m_dialogs.showError(QString::fromLocal8Bit(e.what()));
        return true;  // it was connected; the failure has been reported
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

void ServerSession::drainHandOver()
{
    auto items = m_handOver.take();
    for (auto& item : items)
        handle(item);
}

void ServerSession::handle(HandOverItem& item)
{
    if (item.kind == HandOverItem::Kind::ReaderEnded) {
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
    switch (item.channel) {
    case SrcpChannel::Command:
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
    if (m_main.SrcpVer != SrcpVer073) {
        if (!srcp08.connect) {
            errorBox(MsgCommandChannelFailed);
            return;
        }
        if (srcp08.connected && srcp08.connected())
            return;
        if (srcp08.connect()) {  // errors of the component reach the caller
            m_main.LocoData_sent = false;
            m_main.SolenoidData_sent = false;
            emit connectedChanged(true);
        }
        return;
    }
    if (Command_Socket.connected())
        return;
    // A session whose server went away leaves its reader finished and its socket open.
    stopReader(ReadCommand);
    closeCommandSocket();
    drainHandOver();
    try {
        Command_Socket.connect(toWire(m_main.Iphostchar), m_main.Ipport, ConnectTimeout);
        m_main.Connecting = true;
        ReadCommand = std::make_unique<TReadCommand>(Command_Socket, m_handOver);
        ReadCommand->start();
        pause(1000);
        if (!Command_Socket.connected())
            throw TcpClosed("the server closed the connection");
        if (m_main.Autopower > 0)
            writeCommand("SET POWER ON\n");
        emit connectedChanged(true);
        if (m_main.Monitorpower > 0)
            PowerTimer.start();
        else
            PowerTimer.stop();
    } catch (const std::exception&) {
        stopReader(ReadCommand);
        closeCommandSocket();
        m_main.Connecting = false;
        errorBox(MsgCommandChannelFailed);
    }
    if (m_main.Infoport_an > 0 && Command_Socket.connected())
        connectInfoChannel();
}

void ServerSession::connectInfoChannel()
{
    stopReader(Readinfo);
    Info_Socket.close();
    try {
        Info_Socket.connect(toWire(m_main.Iphostchar), m_main.Ipport + 2, ConnectTimeout);
        pause(500);
        Readinfo = std::make_unique<TReadinfo>(Info_Socket, m_handOver);
        Readinfo->start();
    } catch (const std::exception&) {
        stopReader(Readinfo);
        Info_Socket.close();
        errorBox(MsgInfoChannelFailed);
    }
}

void ServerSession::disconnectServer()
{
    PowerTimer.stop();
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
    if (m_main.SrcpVer != SrcpVer073 && srcp08.power)
        return srcp08.power(true);
    if (!writeGuarded("SET POWER ON\n"))
        errorBox(MsgNotConnected);
}

void ServerSession::powerOff()
{
    if (m_main.SrcpVer != SrcpVer073 && srcp08.power)
        return srcp08.power(false);
    if (!writeGuarded("SET POWER OFF\n"))
        errorBox(MsgNotConnected);
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
    writeGuarded("RESET\n");
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
    if (!writeGuarded(toWire(*text) + "\n"))
        errorBox(MsgNotConnected);
}

// ---------------------------------------------------------------------------------------------
// Feedback polling

void ServerSession::startFeedback()
{
    emit feedbackPollingChanged(true);
    if (m_main.SrcpVer != SrcpVer073) {
        if (srcp08.startFeedback && srcp08.startFeedback())
            return;  // "&Start" and "&Reset" stay disabled, also when the bus has no feedback group
        errorBox(MsgPleaseConnect);
        emit feedbackPollingChanged(false);
        return;
    }
    stopReader(PollHandleThread);
    Poll_Socket.close();
    try {
        Poll_Socket.connect(toWire(m_main.Iphostchar), m_main.Ipport + 1, ConnectTimeout);
        pause(500);
        PollHandleThread = std::make_unique<TPollHandleThread>(Poll_Socket, m_handOver);
        PollHandleThread->start();
    } catch (const std::exception&) {
        stopReader(PollHandleThread);
        Poll_Socket.close();
        errorBox(MsgFeedbackChannelFailed);
        emit feedbackPollingChanged(false);
    }
}

void ServerSession::stopFeedback()
{
    if (m_main.SrcpVer == SrcpVer073) {
        stopReader(PollHandleThread);
        Poll_Socket.close();
        drainHandOver();
    } else if (srcp08.stopFeedback) {
        srcp08.stopFeedback();
    }
    emit feedbackPollingChanged(false);
}
