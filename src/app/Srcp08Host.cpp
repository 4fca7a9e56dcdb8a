#include "app/Srcp08Host.h"

#include "app/TMainForm.h"
#include "base/TLok.h"
#include "base/C_SRCP08.h"
#include "moba/TMoBaSRCPClient.h"
#include "moba/TMoBaSRCPGroups.h"
#include "session/C_rueckmodul.h"
#include "app/ClockHost.h"
#include "session/ServerSession.h"
#include "base/C_language.h"
#include "ui/widgets/TDebugForm.h"
#include "base/UserDialogs.h"

#include <QAction>
#include <QApplication>
#include <QMetaObject>
#include <QPointer>
#include <QTimer>

namespace {

constexpr int MsgNoBus = 590;
constexpr int MsgNoGroup = 591;
constexpr int MsgServerLost = 592;
constexpr int MsgNotSentReconnecting = 534;
constexpr int CaptionError = 102;

// The wait cursor while the window blocks on the server (commands wait up to the answer time-out).
struct BusyCursor {
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

void debugLine(const QString& text)
{
    if (DebugForm)
        DebugForm->append(text);
}

} // namespace

Srcp08Host::Srcp08Host(TMainForm& form, ServerSession& session, C_rueckmodul* rueckmodul)
    : QObject(&form), m_form(form), m_session(session), m_rueckmodul(rueckmodul)
{
    // Info lines and the clean-up after a lost server are queued to the GUI thread; a call still
    // queued when this host is gone is dropped with it.
    QPointer<Srcp08Host> self(this);
    SRCPCl2 = std::make_unique<TMoBaSRCPClient>([self](std::function<void()> call) {
        if (self)
            QMetaObject::invokeMethod(self.data(), std::move(call), Qt::QueuedConnection);
    });
    TMoBaSRCPClient& c = *SRCPCl2;
    c.SetAutoPowerOn(false);
    c.SetLogEnabled(false);
    c.SetHost("localhost");
    c.SetPort(12345);

    c.SetOnCmdLog([](TSRCPBaseClient&, const std::string& text) {
        debugLine(QStringLiteral("Command: ") + QString::fromLatin1(text.c_str()));
    });
    c.SetOnInfoLog([](TSRCPBaseClient&, const std::string& text) { debugLine(QString::fromLatin1(text.c_str())); });
    c.OnBusPowerChange = [this](TMoBaSRCPClient&, TMoBaSRCPBus& bus) {
        // The panel follows the bus that the power commands address.
        if (bus.Power() && bus.BusNumber() == m_form.Buspower)
            m_form.setStatusText(0, bus.Power()->PowerOn() ? QStringLiteral("Power on") : QStringLiteral("Power off"));
    };
    c.OnFeedbackChange = [this](TMoBaSRCPClient&, TMoBaSRCPFeedback& fb) {
        if (fb.Bus() != m_form.BusS88 || !m_rueckmodul)
            return;
        const int n = fb.Address();
        const int v = fb.IsActiv();
        const int module = (n - 1) / 16 + 1;
        const int port = (n - 1) % 16 + 1;
        try {
            m_rueckmodul->iconrefresh(module, port, v);
        } catch (const std::exception&) {
            // a detector whose icon cannot be drawn stays as it was
        }
        debugLine(QStringLiteral("Addr: %1 Wert: %2 Modul: %3 Portnr: %4").arg(n).arg(v).arg(module).arg(port));
    };
    // The model clock (created after this host) follows the server's time group on bus 0.
    c.OnTimeChange = [this](TMoBaSRCPClient&) {
        auto* clock = m_form.findChild<ClockHost*>();
        TMoBaSRCPBus* bus = SRCPCl2->BusByNumber(0);
        if (clock && bus && bus->Time())
            clock->SRCPCl2TimeChange(&bus->Time()->Group());
    };
    c.OnDisconnect = [this](TMoBaSRCPClient&) {
        if (!m_userDisconnect)
            serverLost();
    };

    if (Lok) {
        m_adapter = std::make_unique<C_SRCP08>(form, *Lok, form.dialogs());
        m_adapter->setClient(SRCPCl2.get());
        m_adapter->onMissing = [this](int bus, const char* group) { showMissing(bus, group); };
        m_adapter->onNotConnected = [this] {
            if (m_session.reconnecting())
                m_form.setStatusText(1, message(MsgNotSentReconnecting));
        };
        SRCP08 = m_adapter.get();
    }

    ServerSession::Srcp08Actions& a = session.srcp08;
    a.connect = [this] { return connect08(); };
    a.disconnect = [this] { disconnect08(); };
    a.connected = [this] { return SRCPCl2->Connected(); };
    a.power = [this](bool on) {
        if (!m_adapter)
            return;
        BusyCursor busy;
        m_adapter->setpower(on ? 1 : 0);
    };
    a.startFeedback = [this] { return startFeedback08(); };
    a.reconnect = [this] { return reconnect08(); };
    a.restore = [this](const SessionChoices& choices) { restore08(choices, 50); };
    a.stopFeedback = [this] { stopFeedback08(); };
    if (!session.onPowerMonitor)
        session.onPowerMonitor = [this] {
            if (m_adapter)
                m_adapter->setpower(1);
        };
    if (m_rueckmodul)
        m_rueckmodul->contactValue = [this](int index) -> std::optional<int> {
            if (m_form.SrcpVer == 73 || !SRCPCl2->Connected())
                return std::nullopt;
            TMoBaSRCPBus* bus = SRCPCl2->BusByNumber(m_form.BusS88);
            if (!bus || !bus->FBs())
                return std::nullopt;
            return index < bus->FBs()->Count() ? bus->FBs()->Items(index).IsActiv() : 0;
        };
}

Srcp08Host::~Srcp08Host()
{
    m_session.srcp08 = {};
    if (m_rueckmodul)
        m_rueckmodul->contactValue = nullptr;
    if (SRCP08 == m_adapter.get())
        SRCP08 = nullptr;
    SRCPCl2->OnDisconnect = nullptr;
    SRCPCl2->Disconnect();
}

QString Srcp08Host::message(int id) const
{
    return Lang ? Lang->getmessage(id, m_form.Lang_id) : QString();
}

TMoBaSRCPBus* Srcp08Host::busFor(int number)
{
    if (m_session.reconnecting()) {
        m_form.setStatusText(1, message(MsgNotSentReconnecting));
        return nullptr;
    }
    TMoBaSRCPBus* bus = SRCPCl2->Connected() ? SRCPCl2->BusByNumber(number) : nullptr;
    if (!bus)
        showMissing(number, nullptr);
    return bus;
}

void Srcp08Host::showMissing(int bus, const char* group)
{
    QString text = group ? message(MsgNoGroup) + QStringLiteral(" %1: %2").arg(bus).arg(QLatin1String(group))
                         : message(MsgNoBus) + QStringLiteral(" %1").arg(bus);
    m_form.setStatusText(1, text);
}

bool Srcp08Host::connect08()
{
    TMoBaSRCPClient& c = *SRCPCl2;
    c.SetHost(m_form.Iphostchar.toLocal8Bit().toStdString());
    c.SetPort(m_form.Ipport);
    c.SetAutoPowerOn(m_form.Autopower > 0);
    m_userDisconnect = false;
    {
        BusyCursor busy;
        c.Connect();  // errors reach the window's error display
    }
    if (m_session.pause)
        m_session.pause(200);
    if (!c.Connected())
        return false;
    if (QAction* loco = m_form.action(QStringLiteral("Softregler1")))
        loco->setEnabled(false);
    if (auto* clock = m_form.findChild<ClockHost*>(); clock && !clock->serverTime)
        clock->serverTime = [this]() -> TSRCPCustomTime* {
            TMoBaSRCPBus* bus = SRCPCl2->Connected() ? SRCPCl2->BusByNumber(0) : nullptr;
            return bus && bus->Time() ? &bus->Time()->Group() : nullptr;
        };
    m_form.setStatusText(2, QString::fromLatin1(c.Welcome().c_str()));
    return true;
}

void Srcp08Host::disconnect08()
{
    m_userDisconnect = true;
    BusyCursor busy;
    SRCPCl2->Disconnect();
    m_userDisconnect = false;
}

bool Srcp08Host::startFeedback08()
{
    if (!SRCPCl2->Connected())
        return false;
    TMoBaSRCPBus* bus = busFor(m_form.BusS88);
    if (bus && !bus->FBs())
        showMissing(m_form.BusS88, "FB");
    if (bus && bus->FBs()) {
        BusyCursor busy;
        bus->FBs()->SetInitString("S88 LPT1 4");
        bus->FBs()->SetEnabled(true);
    }
    return true;
}

void Srcp08Host::stopFeedback08()
{
    if (!SRCPCl2->Connected())
        return;
    TMoBaSRCPBus* bus = SRCPCl2->BusByNumber(m_form.BusS88);
    if (bus && bus->FBs()) {
        BusyCursor busy;
        bus->FBs()->SetEnabled(false);
    }
}

bool Srcp08Host::reconnect08()
{
    TMoBaSRCPClient& c = *SRCPCl2;
    c.SetHost(m_form.Iphostchar.toLocal8Bit().toStdString());
    c.SetPort(m_form.Ipport);
    // Power follows what the user chose, not the automatic switch-on of a fresh connection.
    c.SetAutoPowerOn(false);
    m_userDisconnect = false;
    try {
        c.Connect();
    } catch (...) {
        return false;  // refused or no handshake: the next attempt follows
    }
    if (!c.Connected())
        return false;
    m_form.setStatusText(2, QString::fromLatin1(c.Welcome().c_str()));
    return true;
}

void Srcp08Host::restore08(const SessionChoices& choices, int tries)
{
    // The buses are announced by the info session shortly after the handshake.
    if (SRCPCl2->Connected() && SRCPCl2->BusCount() == 0 && tries > 0) {
        QPointer<Srcp08Host> self(this);
        QTimer::singleShot(100, this, [self, choices, tries] {
            if (self)
                self->restore08(choices, tries - 1);
        });
        return;
    }
    if (!SRCPCl2->Connected())
        return;
    // Power as the user last chose it; never on when the user did not ask for it.
    if (m_adapter && choices.power != SessionChoices::Power::Unknown)
        m_adapter->setpower(choices.power == SessionChoices::Power::On ? 1 : 0);
    // Detectors as the new server has them: nothing stays occupied from the server before.
    if (m_rueckmodul)
        m_rueckmodul->showStoredContacts();
    // Feedback as it was: enabling the group reads every contact afresh.
    if (choices.feedbackPolling)
        startFeedback08();
}

void Srcp08Host::serverLost()
{
    // With reconnecting on, the session says so in the status bar and gets the server back.
    if (m_session.srcp08Lost(QStringLiteral("the server closed the connection or stopped answering")))
        return;
    // The component gave the server up (no answer within the time-out, or the server closed the
    // connection): the window goes back to the disconnected state and says so once.
    m_userDisconnect = true;  // the session's disconnect below must not report it again
    m_session.disconnectServer();
    m_userDisconnect = false;
    m_form.setStatusText(1, message(MsgServerLost));
    m_form.dialogs().messageBox(message(MsgServerLost), message(CaptionError), UserDialogs::Icon::Error);
}
