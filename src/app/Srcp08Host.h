#pragma once
// SRCP 0.8 in the main window: the client component SRCPCl2 and the adapter SRCP08, the session's
// 0.8 menu actions (connect, disconnect, power, feedback start and stop), the component's events
// (power in status panel 0, feedback contacts on the panel, log lines in the debug window) and the
// loss of a server. Created by the session host.

#include <QObject>

#include <memory>

class TMainForm;
class ServerSession;
class C_rueckmodul;
class TMoBaSRCPClient;
class TMoBaSRCPBus;
class C_SRCP08;
struct SessionChoices;

class Srcp08Host : public QObject {
    Q_OBJECT
public:
    Srcp08Host(TMainForm& form, ServerSession& session, C_rueckmodul* rueckmodul);
    ~Srcp08Host() override;

    TMoBaSRCPClient& client() { return *SRCPCl2; }
    C_SRCP08& adapter() { return *m_adapter; }
    // The bus with the number from the settings, or none (then said in the status bar).
    TMoBaSRCPBus* busFor(int number);

private:
    bool connect08();
    void disconnect08();
    bool startFeedback08();
    void stopFeedback08();
    bool reconnect08();
    void restore08(const SessionChoices& choices, int tries);
    void serverLost();
    void showMissing(int bus, const char* group);
    QString message(int id) const;

    TMainForm& m_form;
    ServerSession& m_session;
    C_rueckmodul* m_rueckmodul;
    std::unique_ptr<TMoBaSRCPClient> SRCPCl2;
    std::unique_ptr<C_SRCP08> m_adapter;
    bool m_userDisconnect = false;
};
