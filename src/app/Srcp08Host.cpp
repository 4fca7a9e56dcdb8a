#include "app/Srcp08Host.h"

#include "app/TMainForm.h"
#include "base/TLok.h"
#include "base/C_SRCP08.h"
#include "loco/DriveReport.h"
#include "moba/TMoBaSRCPClient.h"
#include "moba/TMoBaSRCPGroups.h"
#include "moba/TMoBaSRCPWorker.h"
#include "session/C_rueckmodul.h"
#include "app/ClockHost.h"
#include "session/ModelClock.h"
#include "session/ServerSession.h"
#include "base/C_language.h"
#include "ui/widgets/TDebugForm.h"
#include "base/UserDialogs.h"

#include <QAction>
#include <QStringList>
#include <QMetaObject>
#include <QPointer>
#include <QTimer>

namespace {

constexpr int MsgNoBus = 590;
constexpr int MsgNoGroup = 591;
constexpr int MsgServerLost = 592;
constexpr int MsgNotSentReconnecting = 534;
constexpr int MsgAddressOutOfRange = 600;
constexpr int MsgConnectFailed = 602;
constexpr int MsgReasonRefused = 603;
constexpr int MsgReasonNoAnswer = 604;
constexpr int MsgReasonNo082 = 605;
constexpr int MsgReasonSessionRefused = 606;
constexpr int MsgReasonClosed = 607;
constexpr int MsgStoppedAnswering = 608;
constexpr int MsgConnecting = 609;
constexpr int MsgRestored = 533;
constexpr int MsgRestoredPowerOffOnBus = 652;
constexpr int CaptionError = 102;

void debugLine(const QString& text)
{
    if (DebugForm)
        DebugForm->append(text);
}

} // namespace

struct Srcp08Host::ConnectResult {
    std::uint64_t connection = 0;
    bool ok = false;
    bool thrown = false;   // the TCP connection itself could not be made
    bool timedOut = false;
    std::string error;
    std::string welcome;
    std::map<int, Srcp08BusView> buses;
};

Srcp08Host::Srcp08Host(TMainForm& form, ServerSession& session, C_rueckmodul* rueckmodul)
    : QObject(&form), m_form(form), m_session(session), m_rueckmodul(rueckmodul), m_view(std::make_unique<Srcp08View>())
{
    // Calls from the component's thread are queued to this host; the channel is closed before the
    // host goes, so none can arrive afterwards.
    m_gui = std::make_shared<Srcp08GuiChannel>([this](std::function<void()> call) {
        QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
    });
    if (Lok) {
        m_adapter = std::make_unique<C_SRCP08>(form, *Lok, form.dialogs());
        m_adapter->onMissing = [this](int bus, const char* group) { showMissing(bus, group); };
        m_adapter->onNotConnected = [this] {
            if (m_session.reconnecting())
                m_form.setStatusText(1, message(MsgNotSentReconnecting));
        };
        m_adapter->onAddressRefused = [this](int address, const std::string& protocol, int maxAddress) {
            m_form.setStatusText(
                1, message(MsgAddressOutOfRange).arg(address).arg(QString::fromStdString(protocol)).arg(maxAddress));
        };
        SRCP08 = m_adapter.get();
    }

    // The component's events, on its thread: each becomes a queued call with the values it needs.
    // `self` is only used inside those calls, on the GUI thread.
    Srcp08Host* self = this;
    std::shared_ptr<Srcp08GuiChannel> gui = m_gui;
    auto connection = m_workerConnection;
    std::function<void(TMoBaSRCPBus&)> lateBusPower = m_adapter ? m_adapter->lateBusPower() : nullptr;
    m_worker = std::make_unique<TMoBaSRCPWorker>([self, gui, connection, lateBusPower](TMoBaSRCPClient& c) {
        c.SetAutoPowerOn(false);
        c.SetLogEnabled(false);
        c.SetHost("localhost");
        c.SetPort(12345);
        c.SetOnCmdLog([gui](TSRCPBaseClient&, const std::string& text) {
            gui->post([text] { debugLine(QStringLiteral("Command: ") + QString::fromLatin1(text.c_str())); });
        });
        c.SetOnInfoLog([gui](TSRCPBaseClient&, const std::string& text) {
            gui->post([text] { debugLine(QString::fromLatin1(text.c_str())); });
        });
        auto buses = [self, gui, connection](TMoBaSRCPClient& client, TMoBaSRCPBus&) {
            gui->post([self, id = *connection, b = Srcp08View::busesOf(client)] { self->setBuses(id, b); });
        };
        // A bus announced after a power command gets that command too.
        auto announced = [buses, lateBusPower](TMoBaSRCPClient& client, TMoBaSRCPBus& bus) {
            if (lateBusPower)
                lateBusPower(bus);
            buses(client, bus);
        };
        c.OnBusInit = announced;
        c.OnBusPowerChange = buses;
        c.OnBusConfigChange = announced;
        c.OnFeedbackChange = [self, gui, connection](TMoBaSRCPClient&, TMoBaSRCPFeedback& fb) {
            gui->post([self, id = *connection, bus = fb.Bus(), address = fb.Address(), value = fb.IsActiv()] {
                self->contactChanged(id, bus, address, value);
            });
        };
        c.OnTimeChange = [self, gui, connection](TMoBaSRCPClient& client) {
            TMoBaSRCPBus* bus = client.BusByNumber(0);
            if (!bus || !bus->Time())
                return;
            gui->post([self, id = *connection, value = bus->Time()->DateTime()] {
                if (id != self->m_connection)
                    return;
                if (auto* clock = self->m_form.findChild<ClockHost*>())
                    clock->serverTimeChanged(value);
            });
        };
        // The state of accessories as the server reports it, whoever changed it (the panel tells
        // the reports of its own pulses apart).
        c.OnAccessoireChange = [self, gui, connection](TMoBaSRCPClient&, TMoBaSRCPSolenoid& s) {
            const int port = s.ActivePort();
            AccessoryState a{s.Bus(), s.Protocol() ? static_cast<int>(s.Protocol()->ProtocolBase()) : -1, s.Address(),
                             port, s.Ports(port)};
            gui->post([self, id = *connection, a] { self->accessoryChanged(id, a); });
        };
        // A loco's drive state as the server reports it. The listed loco holds the step limited to
        // its decoder's steps; the report itself (V of V_max) is read from the bus's loco group,
        // which has just parsed it.
        c.OnLocoChange = [self, gui, connection](TMoBaSRCPClient& client, TMoBaSRCPLoco& l) {
            TMoBaSRCPBus* bus = client.BusByNumber(l.Bus());
            TMoBaSRCPLocos* locos = bus ? bus->GLs() : nullptr;
            if (!locos || locos->Group().Address() != l.Address())
                return;
            const TMoBaSRCPLocoClient& g = locos->Group();
            DriveReport r;
            r.bus = l.Bus();
            r.address = l.Address();
            r.direction = g.DriveMode() == dmForward ? 1 : g.DriveMode() == dmBackwards ? 0 : -1;
            r.speed = g.DriveMode() == dmEmergencyStop ? 0 : g.SpeedStep();
            r.speedMax = g.MaxSpeedStep();
            r.steps = l.Protocol() ? l.MaxSteps() : 0;
            for (std::int32_t i = 0; i < g.FunctionCount(); ++i)
                r.functions.push_back(g.Functions(i) != 0 ? 1 : 0);
            gui->post([self, id = *connection, r] { self->locoChanged(id, r); });
        };
        c.OnDisconnect = [self, gui, connection](TMoBaSRCPClient& client) {
            const bool timedOut = client.CmdClnt().LastErrorWasTimeout();
            gui->post([self, id = *connection, timedOut] { self->serverLost(id, timedOut); });
        };
    });
    if (m_adapter)
        m_adapter->setWorker(m_worker.get(), m_gui);

    ServerSession::Srcp08Actions& a = session.srcp08;
    a.connect = [this] { connect08(false); };
    a.disconnect = [this] { disconnect08(); };
    a.connected = [this] { return connected(); };
    a.power = [this](bool on) {
        if (m_adapter)
            m_adapter->setpower(on ? 1 : 0);
    };
    a.startFeedback = [this] { return startFeedback08(); };
    a.reconnect = [this] { connect08(true); };
    a.restore = [this](const SessionChoices& choices) { restore08(choices, 50); };
    a.stopFeedback = [this] { stopFeedback08(); };
    m_idleWatch.setInterval(250);
    QObject::connect(&m_idleWatch, &QTimer::timeout, this, &Srcp08Host::idleTick);
    if (m_rueckmodul)
        m_rueckmodul->contactValue = [this](int index) -> std::optional<int> {
            if (m_form.SrcpVer == 73 || !connected())
                return std::nullopt;
            auto bus = m_view->buses.find(m_form.BusS88);
            if (bus == m_view->buses.end() || !bus->second.fb)
                return std::nullopt;
            auto it = m_contacts.find({m_form.BusS88, index + 1});
            return it == m_contacts.end() ? 0 : it->second;
        };
}

Srcp08Host::~Srcp08Host()
{
    m_gui->close();  // nothing from the component's thread reaches this host any more
    m_session.srcp08 = {};
    if (m_rueckmodul)
        m_rueckmodul->contactValue = nullptr;
    if (SRCP08 == m_adapter.get())
        SRCP08 = nullptr;
    if (m_adapter)
        m_adapter->setWorker(nullptr, nullptr);
    m_worker.reset();  // ends the session (TERM) without waiting on a server that does not answer
}

const Srcp08View& Srcp08Host::view() const
{
    return *m_view;
}

bool Srcp08Host::connected() const
{
    return m_view->connected;
}

int Srcp08Host::busCount() const
{
    return static_cast<int>(m_view->buses.size());
}

QString Srcp08Host::message(int id) const
{
    return Lang ? Lang->getmessage(id, m_form.Lang_id) : QString();
}

void Srcp08Host::showMissing(int bus, const char* group)
{
    QString text = group ? message(MsgNoGroup) + QStringLiteral(" %1: %2").arg(bus).arg(QLatin1String(group))
                         : message(MsgNoBus) + QStringLiteral(" %1").arg(bus);
    m_form.setStatusText(1, text);
}

void Srcp08Host::accessoryChanged(std::uint64_t connection, const AccessoryState& a)
{
    if (connection != m_connection || !m_view->connected || !onAccessoryReported)
        return;
    const bool motorola = a.protocolBase >= 0 ? a.protocolBase == mpbMotorola
                                              : a.bus == m_form.BusGaMM && a.bus != m_form.BusGaNMRA;
    onAccessoryReported(motorola, a.address, a.port, a.value);
}

void Srcp08Host::locoChanged(std::uint64_t connection, const DriveReport& report)
{
    if (connection != m_connection || !m_view->connected || !onLocoReported)
        return;
    onLocoReported(report);
}

void Srcp08Host::showPower()
{
    if (!m_adapter)
        return;
    switch (m_adapter->powerState()) {
    case C_SRCP08::PowerState::On: m_form.setStatusText(0, QStringLiteral("Power on")); break;
    case C_SRCP08::PowerState::Off: m_form.setStatusText(0, QStringLiteral("Power off")); break;
    case C_SRCP08::PowerState::Mixed: m_form.setStatusText(0, QStringLiteral("Power mixed")); break;
    case C_SRCP08::PowerState::None: break;
    }
}

void Srcp08Host::setBuses(std::uint64_t connection, const std::map<int, Srcp08BusView>& buses)
{
    if (connection != m_connection || !m_view->connected)
        return;
    m_view->buses = buses;
    if (m_adapter)
        m_adapter->view = *m_view;
    showPower();
    // What the server reports is what a lost connection gets back, never more.
    switch (m_adapter ? m_adapter->powerState() : C_SRCP08::PowerState::None) {
    case C_SRCP08::PowerState::On: m_session.powerReported(1); break;
    case C_SRCP08::PowerState::Off: m_session.powerReported(0); break;
    case C_SRCP08::PowerState::Mixed: m_session.powerReported(-1); break;
    case C_SRCP08::PowerState::None: break;
    }
}

void Srcp08Host::contactChanged(std::uint64_t connection, int bus, int address, int value)
{
    if (connection != m_connection)
        return;
    m_contacts[{bus, address}] = value;
    if (bus != m_form.BusS88 || !m_rueckmodul)
        return;
    const int module = (address - 1) / 16 + 1;
    const int port = (address - 1) % 16 + 1;
    try {
        m_rueckmodul->iconrefresh(module, port, value);
    } catch (const std::exception&) {
        // a detector whose icon cannot be drawn stays as it was
    }
    debugLine(QStringLiteral("Addr: %1 Wert: %2 Modul: %3 Portnr: %4").arg(address).arg(value).arg(module).arg(port));
}

void Srcp08Host::connect08(bool attempt)
{
    const std::uint64_t request = ++m_request;
    m_connecting = true;
    m_userDisconnect = false;
    const std::string host = m_form.Iphostchar.toLocal8Bit().toStdString();
    const int port = m_form.Ipport;
    // An attempt after a lost server restores what the user chose; it never switches power on.
    const bool autoPower = !attempt && m_form.Autopower > 0;
    if (!attempt)
        m_form.setStatusText(1, message(MsgConnecting));
    if (m_adapter)
        m_adapter->forgetPowerWish();  // a power command of an earlier connection is not repeated
    Srcp08Host* self = this;
    m_worker->post([self, gui = m_gui, connection = m_workerConnection, request, attempt, host, port,
                    autoPower](TMoBaSRCPClient& c) {
        c.SetHost(host);
        c.SetPort(port);
        c.SetAutoPowerOn(autoPower);
        *connection = request;  // the reports of this connection carry its request number
        ConnectResult r;
        try {
            c.Connect();
        } catch (const std::exception& e) {
            r.thrown = dynamic_cast<const ESRCPError*>(&e) == nullptr;
            r.error = e.what();
        }
        r.ok = c.Connected();
        if (!r.ok && r.error.empty())
            r.error = c.CmdClnt().LastError();
        r.timedOut = c.CmdClnt().LastErrorWasTimeout() || r.error == "server not responding";
        r.welcome = c.Welcome();
        r.buses = Srcp08View::busesOf(c);
        gui->post([self, request, attempt, r] { self->connectFinished(request, attempt, r); });
    });
}

QString Srcp08Host::failureText(const ConnectResult& r) const
{
    int reason = MsgReasonClosed;
    if (r.error.find("unsupported version") != std::string::npos ||
        r.error.find("invalid welcome") != std::string::npos)
        reason = MsgReasonNo082;
    else if (r.error.find("refused connection") != std::string::npos)
        reason = MsgReasonSessionRefused;
    else if (r.timedOut)
        reason = MsgReasonNoAnswer;
    else if (r.thrown)
        reason = MsgReasonRefused;
    return message(MsgConnectFailed).arg(m_form.Iphostchar).arg(m_form.Ipport).arg(message(reason));
}

void Srcp08Host::connectFinished(std::uint64_t request, bool attempt, const ConnectResult& r)
{
    if (request != m_request)
        return;  // given up meanwhile: the disconnect queued after it ends that connection
    m_connecting = false;
    if (r.ok) {
        m_connection = request;
        m_view->connected = true;
        m_view->buses = r.buses;
        m_contacts.clear();
        m_questionPending = false;
        m_lastAnswer = std::chrono::steady_clock::now();
        m_idleWatch.start();
        if (m_adapter)
            m_adapter->view = *m_view;
        // Detectors as this server has them: nothing stays occupied from a server before.
        if (m_rueckmodul) {
            try {
                m_rueckmodul->showStoredContacts();
            } catch (const std::exception&) {
                // a detector whose icon cannot be drawn stays as it was
            }
        }
        m_form.setStatusText(2, QString::fromLatin1(r.welcome.c_str()));
        if (!attempt) {
            m_form.setStatusText(1, QString());
            if (QAction* loco = m_form.action(QStringLiteral("Softregler1")))
                loco->setEnabled(false);
        }
        if (auto* clock = m_form.findChild<ClockHost*>(); clock && !clock->serverClock.available) {
            clock->serverClock.available = [this] {
                auto bus = m_view->buses.find(0);
                return connected() && bus != m_view->buses.end() && bus->second.time;
            };
            clock->serverClock.start = [this](int fx, int fy, double time) {
                m_worker->post([fx, fy, time](TMoBaSRCPClient& c) {
                    TMoBaSRCPBus* bus = c.Connected() ? c.BusByNumber(0) : nullptr;
                    if (bus && bus->Time())
                        ModelClock::startServerTime(bus->Time()->Group(), fx, fy, time);
                });
            };
            clock->serverClock.stop = [this] {
                m_worker->post([](TMoBaSRCPClient& c) {
                    TMoBaSRCPBus* bus = c.Connected() ? c.BusByNumber(0) : nullptr;
                    if (bus && bus->Time())
                        bus->Time()->SetEnabled(false);
                });
            };
        }
    }
    if (attempt) {
        m_session.srcp08AttemptFinished(r.ok);
        return;
    }
    if (!r.ok) {
        const QString text = failureText(r);
        m_form.setStatusText(1, text);
        m_form.dialogs().messageBox(text, message(CaptionError), UserDialogs::Icon::Error);
    }
    m_session.srcp08ConnectFinished(r.ok);
}

void Srcp08Host::forgetConnection()
{
    m_connection = 0;
    m_idleWatch.stop();
    m_questionPending = false;
    m_view->connected = false;
    m_view->buses.clear();
    m_contacts.clear();
    if (m_adapter)
        m_adapter->view = *m_view;
    m_worker->dropPending();  // commands not sent yet are not sent any more
}

void Srcp08Host::disconnect08()
{
    // The window is disconnected at once; the component ends its session on its own thread.
    ++m_request;
    m_userDisconnect = true;
    if (m_connecting)
        m_worker->abortWaits();  // a handshake still waiting on the server ends now
    m_connecting = false;
    forgetConnection();
    m_worker->post([](TMoBaSRCPClient& c) { c.Disconnect(); });
}

bool Srcp08Host::startFeedback08()
{
    if (!connected())
        return false;
    const int number = m_form.BusS88;
    auto bus = m_view->buses.find(number);
    if (bus == m_view->buses.end()) {
        showMissing(number, nullptr);
        return true;
    }
    if (!bus->second.fb) {
        showMissing(number, "FB");
        return true;
    }
    m_worker->post([number](TMoBaSRCPClient& c) {
        TMoBaSRCPBus* b = c.Connected() ? c.BusByNumber(number) : nullptr;
        if (b && b->FBs()) {
            b->FBs()->SetInitString("S88 LPT1 4");
            b->FBs()->SetEnabled(true);
        }
    });
    return true;
}

void Srcp08Host::stopFeedback08()
{
    if (!connected())
        return;
    const int number = m_form.BusS88;
    m_worker->post([number](TMoBaSRCPClient& c) {
        TMoBaSRCPBus* b = c.Connected() ? c.BusByNumber(number) : nullptr;
        if (b && b->FBs())
            b->FBs()->SetEnabled(false);
    });
}

void Srcp08Host::restore08(const SessionChoices& choices, int tries)
{
    // The buses are announced by the info session shortly after the handshake.
    if (connected() && m_view->buses.empty() && tries > 0) {
        QPointer<Srcp08Host> self(this);
        QTimer::singleShot(100, this, [self, choices, tries] {
            if (self)
                self->restore08(choices, tries - 1);
        });
        return;
    }
    if (!connected())
        return;
    // Track power is never switched on by the program: a server that restarted (after a short
    // circuit, a derailment) stays off until a person switches it on. Power switched off is sent
    // again; power that was on is switched on again only when the settings ask for it.
    if (m_adapter && choices.power == SessionChoices::Power::Off)
        m_adapter->setpower(0);
    else if (m_adapter && choices.power == SessionChoices::Power::On && m_form.Poweronreconnect > 0)
        m_adapter->setpower(1);
    // Detectors as the new server has them: nothing stays occupied from the server before.
    if (m_rueckmodul)
        m_rueckmodul->showStoredContacts();
    // Feedback as it was: enabling the group reads every contact afresh.
    if (choices.feedbackPolling)
        startFeedback08();
    // The throttles show what the server has: a loco it does not know stands.
    if (m_adapter)
        m_adapter->askLocoStates([this, connection = m_connection](const std::vector<int>& records) {
            if (connection != m_connection || !onLocoNotOnServer)
                return;
            for (int record : records)
                onLocoNotOnServer(record);
        });
    // A server that takes the handshake is not yet one that answers: "restored" only once it has
    // answered a question (GET of the power of a bus in use); silence ends this session as well.
    const std::vector<int> inUse = Srcp08Buses::of(m_form).inUse();
    Srcp08Host* self = this;
    m_worker->post([self, gui = m_gui, inUse, connection = m_connection](TMoBaSRCPClient& c) {
        // The power of every bus in use, as the server has it now: the status bar says which are off.
        for (int number : inUse)
            if (TMoBaSRCPBus* b = c.Connected() ? c.BusByNumber(number) : nullptr; b && b->Power())
                b->Power()->Update();  // any answer will do; silence ends the session
        if (c.Connected())
            gui->post([self, connection] {
                if (connection == self->m_connection)
                    self->showRestored();
            });
    });
    // A clock on server time is set again: a restarted server's clock does not run.
    if (auto* clock = m_form.findChild<ClockHost*>())
        clock->resendServerTime();
}

void Srcp08Host::showRestored()
{
    // The power the server reports for the buses in use (the question above has just refreshed it).
    QStringList off;
    for (int number : Srcp08Buses::of(m_form).inUse())
        if (auto bus = m_view->buses.find(number); bus != m_view->buses.end() && bus->second.power && !bus->second.powerOn)
            off << QString::number(number);
    m_form.setStatusText(1, off.isEmpty() ? message(MsgRestored)
                                          : message(MsgRestoredPowerOffOnBus).arg(off.join(QStringLiteral(", "))));
}

void Srcp08Host::idleTick()
{
    if (!connected() || m_questionPending ||
        std::chrono::steady_clock::now() - m_lastAnswer < std::chrono::milliseconds(IdleQuestionMs))
        return;
    m_questionPending = true;
    Srcp08Host* self = this;
    m_worker->post([self, gui = m_gui, connection = m_connection](TMoBaSRCPClient& c) {
        c.AskServer();  // any answer will do; silence ends the session (OnDisconnect)
        gui->post([self, connection] {
            if (connection != self->m_connection)
                return;
            self->m_questionPending = false;
            self->m_lastAnswer = std::chrono::steady_clock::now();
        });
    });
}

void Srcp08Host::serverLost(std::uint64_t connection, bool timedOut)
{
    if (connection != m_connection || m_userDisconnect)
        return;  // an older connection, or one the user has left
    forgetConnection();
    const QString why = timedOut ? message(MsgStoppedAnswering) : message(MsgServerLost);
    // With reconnecting on, the session says so in the status bar and gets the server back.
    if (m_session.srcp08Lost(why)) {
        if (timedOut)
            m_form.setStatusText(1, why + QLatin1Char(' ') + m_form.statusText(1));
        return;
    }
    // The component gave the server up (no answer within the time-out, or the server closed the
    // connection): the window goes back to the disconnected state and says so once.
    m_userDisconnect = true;  // the session's disconnect below must not report it again
    m_session.disconnectServer();
    m_form.setStatusText(1, why);
    m_form.dialogs().messageBox(message(MsgServerLost), message(CaptionError), UserDialogs::Icon::Error);
}
