#pragma once
// SRCP 0.8 in the main window: the client component on its own thread (TMoBaSRCPWorker) and the
// adapter SRCP08, the session's 0.8 menu actions (connect, disconnect, power, feedback start and
// stop, getting a lost server back), the component's reports (power in status panel 0, feedback
// contacts on the panel, the server clock, log lines in the debug window) and the loss of a server.
// Created by the session host.
//
// The window never waits on the server: every action is a task for the component's thread, and
// what the server says comes back as queued calls. Reports of a connection the window has already
// left (the user disconnected, or a newer connection was made) are dropped.

#include <QObject>
#include <QTimer>

#include <chrono>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class TMainForm;
class ServerSession;
class C_rueckmodul;
class TMoBaSRCPClient;
class TMoBaSRCPWorker;
class C_SRCP08;
class Srcp08GuiChannel;
struct Srcp08View;
struct SessionChoices;
struct DriveReport;

class Srcp08Host : public QObject {
    Q_OBJECT
public:
    Srcp08Host(TMainForm& form, ServerSession& session, C_rueckmodul* rueckmodul);
    ~Srcp08Host() override;

    // The server's report of an accessory port, whoever switched it (the panel tells its own
    // pulses apart).
    std::function<void(bool motorola, int address, int port, int value)> onAccessoryReported;
    // The server's report of a loco's drive state, whoever drove it (the speed on the server's
    // scale, with the decoder's speed steps when the loco's protocol is known).
    std::function<void(const DriveReport& report)> onLocoReported;
    // After a reconnect: loco record `record` has no state on the server (it restarted).
    std::function<void(int record)> onLocoNotOnServer;

    // A server that is silent while the window is idle is noticed: when nothing was asked for this
    // long, a question that changes nothing goes out (the component's answer time-out then applies).
    static constexpr int IdleQuestionMs = 1000;

    C_SRCP08& adapter() { return *m_adapter; }
    TMoBaSRCPWorker& worker() { return *m_worker; }
    // The window's picture of the server: connected, and the buses with their groups and power.
    const Srcp08View& view() const;
    bool connected() const;
    bool connecting() const { return m_connecting; }
    int busCount() const;

private:
    struct ConnectResult;
    void connect08(bool attempt);
    void connectFinished(std::uint64_t request, bool attempt, const ConnectResult& result);
    void disconnect08();
    // The window forgets the connection at once: no buses, no contacts, nothing more sent.
    void forgetConnection();
    bool startFeedback08();
    void stopFeedback08();
    void restore08(const SessionChoices& choices, int tries);
    void serverLost(std::uint64_t connection, bool timedOut);
    void setBuses(std::uint64_t connection, const std::map<int, struct Srcp08BusView>& buses);
    void contactChanged(std::uint64_t connection, int bus, int address, int value);
    struct AccessoryState {
        int bus = 0, protocolBase = -1, address = 0, port = 0, value = 0;
    };
    void accessoryChanged(std::uint64_t connection, const AccessoryState& a);
    void locoChanged(std::uint64_t connection, const DriveReport& report);
    void showPower();
    // The idle watch: asks the server a question when nothing was asked for IdleQuestionMs.
    void idleTick();
    // "Restored", or that track power is off and which key switches it on.
    void showRestored();
    void showMissing(int bus, const char* group);
    QString failureText(const ConnectResult& result) const;
    QString message(int id) const;

    TMainForm& m_form;
    ServerSession& m_session;
    C_rueckmodul* m_rueckmodul;
    std::shared_ptr<Srcp08GuiChannel> m_gui;
    std::unique_ptr<Srcp08View> m_view;
    std::unique_ptr<C_SRCP08> m_adapter;
    std::unique_ptr<TMoBaSRCPWorker> m_worker;
    std::map<std::pair<int, int>, int> m_contacts;  // (bus, contact) -> value, as reported
    // The connection number the component's reports carry; written and read on its thread only.
    std::shared_ptr<std::uint64_t> m_workerConnection = std::make_shared<std::uint64_t>(0);
    std::uint64_t m_request = 0;     // counts connect and disconnect requests
    std::uint64_t m_connection = 0;  // the component's connection the window is on; 0: none
    bool m_connecting = false;
    bool m_userDisconnect = false;
    QTimer m_idleWatch;
    bool m_questionPending = false;
    std::chrono::steady_clock::time_point m_lastAnswer{};
};
