#pragma once
// The server session of the main window: connecting and disconnecting, the raw SRCP 0.7.3 channel
// (Command_Socket, Poll_Socket, Info_Socket and the write lock Lock_socket), its reader threads,
// power, reset and free commands, the power monitor timer and feedback polling.
//
// Everything here runs on the GUI thread except the readers, the write operations, which any
// thread may call, and the opening of connections: connecting, the wait for a greeting and getting
// a lost server back run on threads of their own (ConnectionOpener) and end with queued calls, so
// the GUI thread never waits on a server. The window is a thin layer: it forwards its menu actions
// and follows the signals (status bar panels, menu enabled states).
//
// Writing a command line from another part of the program, for example a loco line:
//     if (CommandChannel* s = main.Session)
//         s->writeCommand(line + "\r\n");   // takes Lock_socket; writes nothing when not connected
// An accessory pulse holds Lock_socket across both lines:
//     s->writePulse(onLine, offLine, [&] { bahn.pause(300); });

#include "session/ConnectionOpener.h"
#include "session/FeedbackLine.h"
#include "session/LineHandOver.h"
#include "session/LinkWatch.h"
#include "session/ReconnectPolicy.h"

#include "base/CommandChannel.h"
#include "srcp/TcpLineClient.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

struct AppState;
class UserDialogs;
class C_language;
class TReadCommand;
class TReadinfo;
class TPollHandleThread;
class PulseWriter;

class ServerSession : public QObject, public CommandChannel {
    Q_OBJECT
public:
    // How long connecting to a server may take before it counts as failed.
    static constexpr std::chrono::milliseconds ConnectTimeout{3000};

    ServerSession(AppState& main, UserDialogs& dialogs, const C_language& lang, QObject* parent = nullptr);
    ~ServerSession() override;  // stops the readers and closes every connection

    // --- The raw SRCP 0.7.3 channel ---
    TcpLineClient Command_Socket;
    TcpLineClient Poll_Socket;
    TcpLineClient Info_Socket;
    std::mutex Lock_socket;  // serialises every write to Command_Socket
    QTimer PowerTimer;       // power monitor, 3000 ms one-shot
    QString Cinfo;           // last line of the command channel
    QString InMessage;       // last line of the info channel

    // The command connection is open and usable (false while a lost server is being tried again).
    bool commandConnected() const override { return m_writable.load() && Command_Socket.connected(); }
    bool pollRunning() const;

    // --- Getting a lost server back (Autoreconnect > 0) ---
    // The server was lost without the user asking and the session tries again by itself.
    bool reconnecting() const override { return m_policy.reconnecting(); }
    const ReconnectPolicy& reconnectPolicy() const { return m_policy; }
    const SessionChoices& choices() const { return m_choices; }
    // Says in the status bar that a command was not sent because the server is being tried again.
    // Any thread.
    void refuseWhileReconnecting() override;
    // How a server that keeps its connection open but no longer answers is noticed.
    LinkWatch::Timings linkTimings;

    // Writes `text` as it is (the caller adds the line end) under Lock_socket. Returns false and
    // writes nothing when Command_Socket is not connected. Throws TcpError when the write fails
    // (the lock is released).
    bool writeCommand(std::string_view text) override;
    // Writes `on`, calls `between` (the pulse wait), writes `off`, all under one hold of
    // Lock_socket, so no other line comes between the two. The calling thread's scheduling priority
    // is raised for the pulse where the system allows it. Same results as writeCommand, except
    // that a pulse whose switch-on line went out counts as written even when the switch-off failed.
    bool writePulse(std::string_view on, std::string_view off, const std::function<void()>& between) override;
    // writePulse on the session's pulse thread (PulseWriter), in the order posted.
    void postPulse(std::string on, std::string off, std::function<void()> between,
                   std::function<void(bool written)> done) override;
    // The info channel is open: the server's "INFO GA" reports arrive.
    bool reportsAccessories() const override;

    // --- Menu actions (GUI thread) ---
    // Connecting and feedback "&Start" return at once: the connection is opened on a thread of its
    // own and the session goes on when it is there (connectedChanged, feedbackPollingChanged, or
    // the failure's message box).
    void connectServer();     // "&Connect to server"
    void disconnectServer();  // "&Disconnect from server"
    void powerOn();           // "Voltage &on"
    void powerOff();          // "Voltage o&ff"
    void resetServer();       // "Server &initialization"
    void decoderProgramming();  // "Decoder &programing"
    void freeCommand();       // "Free co&mmands"
    void startFeedback();     // feedback "&Start"
    void stopFeedback();      // feedback "Sto&p"

    // Runs everything the readers have handed over so far (GUI thread).
    void drainHandOver();
    std::size_t pendingHandOvers() const { return m_handOver.size(); }

    // Called on the GUI thread for every decoded feedback contact, in arrival order (the window
    // connects it to the feedback evaluator's iconrefresh). Exceptions are caught and dropped.
    std::function<void(const FeedbackContact&)> onFeedbackContact;
    // Called when the power monitor timer fires (the SRCP 0.8 adapter's power on).
    std::function<void()> onPowerMonitor;
    // SRCP 0.8 (SrcpVer other than 73): the menu actions go through the client component.
    // The component works on a thread of its own: connecting and reconnecting start here and end
    // with srcp08ConnectFinished / srcp08AttemptFinished, called by the component's host.
    struct Srcp08Actions {
        std::function<void()> connect;        // starts connecting
        std::function<void()> disconnect;
        std::function<bool()> connected;
        std::function<void(bool on)> power;
        std::function<bool()> startFeedback;  // false when the component is not connected
        std::function<void()> stopFeedback;
        // Getting a lost server back: starts one attempt to connect (errors are not shown), then
        // what the user had is restored on the new session.
        std::function<void()> reconnect;
        std::function<void(const SessionChoices&)> restore;
    } srcp08;
    // The SRCP 0.8 component lost its server without the user asking (GUI thread). True when the
    // session tries to get it back; false when reconnecting is off (the caller ends the session).
    bool srcp08Lost(const QString& why);
    // The server reported its power (1 on, 0 off, -1 neither or both): a lost server gets back
    // this state, so power it switched off is never switched on again unasked.
    void powerReported(int on);
    // The connect started by srcp08.connect ended (GUI thread).
    void srcp08ConnectFinished(bool ok);
    // The attempt started by srcp08.reconnect ended (GUI thread).
    void srcp08AttemptFinished(bool ok);
    // Receives the diagnostic lines of debug mode (the debug window): every feedback line read.
    std::function<void(const QString& line)> debugLine;
    // SRCP 0.7.3: how long a new command connection is given before the session counts as
    // connected (the server greets meanwhile); a timer, the window goes on meanwhile.
    std::chrono::milliseconds connectSettle{1000};
    // A connect or feedback start is under way (its connection is being opened, or the command
    // connection has its settling time).
    bool connecting() const { return m_commandOpening != 0 || m_settleTimer.isActive(); }
    bool feedbackStarting() const { return m_pollOpening != 0; }
    // Any connection of the session is being opened (or settling): its result is still to come.
    bool opening() const
    {
        return connecting() || m_infoOpening != 0 || m_pollOpening != 0 || m_attempt != 0 || m_restoring != 0;
    }

signals:
    void statusText(int panel, const QString& text);
    // Connected or disconnected: the window switches the command items, "&Connect to server",
    // "&Loco setup" and "&Time".
    void connectedChanged(bool connected);
    // Feedback polling started or stopped: "&Start" and "&Reset" are enabled while it is off.
    void feedbackPollingChanged(bool running);
    // Every line of the info channel, after it was shown (the service object's parse).
    void infoLine(const QString& line);
    // The session started or stopped trying to get a lost server back.
    void reconnectingChanged(bool reconnecting);

private:
    QString message(int id) const;
    void errorBox(int id);
    void stopReader(std::unique_ptr<TReadCommand>& r);
    void stopReader(std::unique_ptr<TReadinfo>& r);
    void stopReader(std::unique_ptr<TPollHandleThread>& r);
    // Takes over a connection opened on another thread and starts its reader; false, with the
    // socket closed and no reader, when the opening failed or the reader could not start.
    template <class Reader>
    bool adoptChannel(const ConnectionOpener::Connection& c, TcpLineClient& socket, std::unique_ptr<Reader>& reader);
    void closeCommandSocket();
    void commandChannelOpened(ConnectionOpener::Result& result);
    void connectSettled();
    void connectFailed();
    void connectInfoChannel();
    void feedbackChannelOpened(ConnectionOpener::Result& result);
    void restoredChannelsOpened(ConnectionOpener::Result& result, bool info, bool poll);
    void handle(HandOverItem& item);
    // writeCommand with write failures shown. Only Written::Yes means the line went out: a line
    // whose write threw (whatever the exception) is not on the wire, and no choice may be noted.
    enum class Written { Yes, NotConnected, FailedAndShown };
    Written writeGuarded(std::string_view text);
    bool reconnectEnabled() const;
    void writeFailed(const TcpError& e);       // any thread; throws again unless reconnecting is on
    void linkLost(const QString& why);         // GUI thread
    void scheduleAttempt(std::chrono::milliseconds delay);
    void startAttempt();
    void attemptFinished(bool ok, const std::string& greeting, bool silent);
    // A server that accepts connections and never greets: said once, until it greets again.
    void reportSilentServer();
    QString serverAddress() const;  // host:port
    void cancelAttempt();
    void restoreSession(const std::string& greeting);
    void watchTick();
    void notePowerCommand(std::string_view text);
    void askPower();  // asks the server for its power state (SRCP 0.7.3)
    void monitorPower();  // the power monitor (Monitorpower): asks, never switches

    AppState& m_main;
    UserDialogs& m_dialogs;
    const C_language& m_lang;
    LineHandOver m_handOver;
    std::unique_ptr<TReadCommand> ReadCommand;
    std::unique_ptr<TReadinfo> Readinfo;
    std::unique_ptr<TPollHandleThread> PollHandleThread;

    ReconnectPolicy m_policy;
    SessionChoices m_choices;
    LinkWatch m_watch;
    QTimer m_retryTimer;  // next attempt
    QTimer m_watchTimer;  // LinkWatch ticks while connected
    QTimer m_settleTimer;  // a new command connection's time to greet (connectSettle)
    // Openings under way (0: none): the user's connect, the info channel, feedback polling, an
    // attempt to get a lost server back and the info and feedback channels of a restored session.
    ConnectionOpener::Id m_commandOpening = 0;
    ConnectionOpener::Id m_infoOpening = 0;
    ConnectionOpener::Id m_pollOpening = 0;
    ConnectionOpener::Id m_attempt = 0;
    ConnectionOpener::Id m_restoring = 0;
    bool m_restoringPoll = false;  // m_restoring opens the feedback connection too
    std::shared_ptr<TcpLineClient> m_attemptSocket;  // the connection an attempt made, until restored
    // False while the command connection is not a session yet (settling, or a lost server tried again).
    std::atomic<bool> m_writable{true};
    bool m_lostPending = false;
    int m_powerQuestions = 0;  // power questions whose answers have not come yet
    bool m_powerHint = false;       // after a reconnect: say so when the server reports power off
    bool m_powerMonitored = false;  // the monitor has asked on this connection
    bool m_silent = false;          // the last connection was accepted but never greeted
    bool m_silentReported = false;  // and the user was told
    QString m_lostWhy;
    // Made with the first pulse, ended first when the session goes.
    std::unique_ptr<PulseWriter> m_pulses;
    ConnectionOpener m_opener;  // last: it goes first, and nothing it opened reports afterwards
};
