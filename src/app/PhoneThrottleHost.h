#pragma once
// Puts the phone throttles into the main window: the WiThrottle server (on its own thread) started
// and stopped by the settings, announced by DNS-SD while it runs, its clients' commands carried out
// on the window's thread through PhoneRailway, the railway's changes sent to the phones, and the
// clients window under "&Setup". Create it after the session and loco control hosts.

#include "phone/DnsSdAnnouncer.h"
#include "phone/PhoneServer.h"
#include "phone/PhoneThrottles.h"
#include "phone/widgets/PhoneClientsWindow.h"

#include <QObject>
#include <QTimer>

#include <map>
#include <memory>

class QAction;
class TMainForm;
class PhoneRailway;

class PhoneThrottleHost : public QObject {
    Q_OBJECT
public:
    explicit PhoneThrottleHost(TMainForm& form);
    ~PhoneThrottleHost() override;

    // Starts, restarts or stops the server as the settings say (PhoneServer*); also called when
    // the settings dialog was saved. Restarts only when a setting of the server changed.
    void applySettings();
    // Seconds of silence after which a phone's locos stop (told to every client as "*<n>").
    void setHeartbeatSeconds(int seconds);
    // How long a new connection has to name itself and start its heartbeat (tests shorten it).
    void setAdmissionMs(int ms);

    withrottle::PhoneServer& server() { return m_server; }
    withrottle::PhoneThrottles& phones() { return *m_phones; }
    PhoneClientsWindow* clientsWindow() const { return m_window; }
    QAction* clientsAction() const { return m_action; }
    const std::map<int, PhoneClientRow>& clients() const { return m_clients; }

private:
    QString text(int id) const;
    void showRows();
    void retranslate();
    void left(int client, withrottle::Departure why);

    TMainForm& m_form;
    std::unique_ptr<PhoneRailway> m_railway;
    std::unique_ptr<withrottle::PhoneThrottles> m_phones;
    withrottle::PhoneServer m_server;
    withrottle::DnsSdAnnouncer m_dnssd;
    withrottle::ServerSettings m_running;  // what the running server was started with
    int m_heartbeat = withrottle::DefaultHeartbeatSeconds;
    int m_admissionMs = withrottle::AdmissionSeconds * 1000;
    QTimer m_poll;
    std::map<int, PhoneClientRow> m_clients;
    PhoneClientsWindow* m_window = nullptr;  // child of the main window
    QAction* m_action = nullptr;
};
