#include "app/PhoneThrottleHost.h"

#include <QHostAddress>

#include "app/LocoControlHost.h"
#include "app/PhoneRailway.h"
#include "app/SessionHost.h"
#include "app/TMainForm.h"
#include "base/C_language.h"
#include "base/TLok.h"
#include "base/UserDialogs.h"
#include "ui/widgets/TDebugForm.h"

#include <QAction>
#include <QHostAddress>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>

#include <exception>

namespace {

// The settings that need a new listening socket.
bool sameSocket(const withrottle::ServerSettings& a, const withrottle::ServerSettings& b)
{
    return a.port == b.port && a.listenAddress == b.listenAddress;
}

bool sameRules(const withrottle::ServerSettings& a, const withrottle::ServerSettings& b)
{
    return a.allow == b.allow && a.clientLimit == b.clientLimit && a.perAddressLimit == b.perAddressLimit &&
           a.heartbeatSeconds == b.heartbeatSeconds && a.admissionMs == b.admissionMs && a.texts == b.texts;
}

}  // namespace

PhoneThrottleHost::PhoneThrottleHost(TMainForm& form) : QObject(&form), m_form(form)
{
    setObjectName(QStringLiteral("PhoneThrottleHost"));
    m_railway = std::make_unique<PhoneRailway>(
        form,
        [&form] {
            auto* loco = form.findChild<LocoControlHost*>();
            return loco ? loco->throttles() : nullptr;
        },
        [&form] { return form.findChild<SessionHost*>(); });
    m_phones = std::make_unique<withrottle::PhoneThrottles>(
        *m_railway, [this](int client, const std::string& line) { m_server.send(client, line); },
        [this](withrottle::PhoneThrottles::Text t) {
            switch (t) {
            case withrottle::PhoneThrottles::UnknownLoco: return text(791).toStdString();
            case withrottle::PhoneThrottles::UnknownTurnout: return text(792).toStdString();
            case withrottle::PhoneThrottles::UnknownRoute: return text(793).toStdString();
            case withrottle::PhoneThrottles::NotConnected: return text(865).toStdString();
            case withrottle::PhoneThrottles::NotOperating: return text(866).toStdString();
            case withrottle::PhoneThrottles::NoSuchFunction: return text(867).toStdString();
            }
            return std::string();
        });

    connect(&m_server, &withrottle::PhoneServer::clientJoined, this, [this](int client, const QString& address) {
        m_clients[client] = PhoneClientRow{client, QString(), address, QString()};
        m_phones->clientJoined(client);
        showRows();
    });
    connect(&m_server, &withrottle::PhoneServer::clientNamed, this, [this](int client, const QString& name) {
        if (auto it = m_clients.find(client); it != m_clients.end() && !name.isEmpty())
            it->second.name = name;
        showRows();
    });
    connect(&m_server, &withrottle::PhoneServer::commandReceived, this,
            [this](int client, const withrottle::Command& c) {
                try {
                    m_phones->command(client, c);
                } catch (const std::exception& e) {
                    // A failed write to the SRCP server: the status bar says so, the phone goes on.
                    m_form.setStatusText(1, QString::fromLocal8Bit(e.what()));
                }
                // A device that sends no name is listed by its hardware id.
                if (auto it = m_clients.find(client);
                    c.kind == withrottle::Kind::HardwareId && it != m_clients.end() && it->second.name.isEmpty())
                    it->second.name = QString::fromStdString(c.text).left(64);
                if (c.kind == withrottle::Kind::Acquire || c.kind == withrottle::Kind::Release ||
                    c.kind == withrottle::Kind::HardwareId)
                    showRows();
            });
    connect(&m_server, &withrottle::PhoneServer::heartbeatLost, this, [this](int client) {
        if (DebugForm && m_form.Debug)
            DebugForm->append(QStringLiteral("Phone %1: heartbeat lost, its locos stop").arg(client));
        m_phones->heartbeatLost(client);
    });
    connect(&m_server, &withrottle::PhoneServer::clientLeft, this, &PhoneThrottleHost::left);

    m_poll.setInterval(100);
    connect(&m_poll, &QTimer::timeout, this, [this] {
        if (!m_clients.empty())
            m_phones->poll();
    });

    m_window = new PhoneClientsWindow(
        {text(780), text(786), text(787), text(788), text(789)}, &form);
    m_window->cutOff = [this](int client) { m_server.cutOff(client); };
    if (QMenu* setup = form.menu(QStringLiteral("Einstellungen1"))) {
        m_action = setup->addAction(text(790));
        m_action->setObjectName(QStringLiteral("PhoneThrottles1"));
        connect(m_action, &QAction::triggered, this, [this] {
            m_window->show();
            m_window->raise();
            showRows();
        });
    }
    connect(&form, &TMainForm::languageApplied, this, [this] {
        retranslate();
        applySettings();  // the phones' alerts in the new language
    });
    connect(&form, &TMainForm::settingsApplied, this, &PhoneThrottleHost::applySettings);
    applySettings();
}

PhoneThrottleHost::~PhoneThrottleHost()
{
    m_dnssd.withdraw();
    m_server.stop();
}

QString PhoneThrottleHost::text(int id) const { return Lang ? Lang->getmessage(id, m_form.Lang_id) : QString(); }

void PhoneThrottleHost::setAdmissionMs(int ms)
{
    m_admissionMs = std::max(100, ms);
    applySettings();
}

void PhoneThrottleHost::setHeartbeatSeconds(int seconds)
{
    m_heartbeat = std::max(1, seconds);
    m_phones->setHeartbeatSeconds(m_heartbeat);
    applySettings();
}

void PhoneThrottleHost::applySettings()
{
    withrottle::ServerSettings s;
    s.port = m_form.PhoneServerPort;
    s.listenAddress = m_form.PhoneServerAddress.trimmed();
    for (const QString& a : m_form.PhoneServerAllow.split(QLatin1Char(','), Qt::SkipEmptyParts))
        if (!a.trimmed().isEmpty())
            s.allow << a.trimmed();
    s.clientLimit = m_form.PhoneServerLimit;
    s.perAddressLimit = m_form.PhoneServerPerAddress;
    s.heartbeatSeconds = m_heartbeat;
    s.admissionMs = m_admissionMs;
    s.texts.notAllowed = text(860);
    s.texts.tooMany = text(794);
    s.texts.tooManyHere = text(861);
    s.texts.badInput = text(862);
    s.texts.unnamed = text(863).arg((m_admissionMs + 999) / 1000);
    s.texts.silent = text(864);

    if (m_form.PhoneServerOn != 1) {
        if (m_server.running()) {
            m_dnssd.withdraw();
            m_server.stop();
            m_poll.stop();
        }
        m_window->setStatus(text(796));
        return;
    }
    if (m_server.running() && sameSocket(s, m_running)) {
        // The phones that may stay, stay.
        if (!sameRules(s, m_running)) {
            m_server.reconfigure(s);
            m_running = s;
        }
        return;
    }
    m_dnssd.withdraw();
    if (!m_server.start(s)) {
        m_poll.stop();
        const QString error = text(797).arg(s.port).arg(m_server.errorText());
        m_window->setStatus(error);
        m_form.dialogs().showError(error);
        return;
    }
    m_running = s;
    m_poll.start();
    // A server that listens on this computer only is of no use to a phone: not announced.
    if (!QHostAddress(s.listenAddress).isLoopback())
        m_dnssd.announce("Quarn", m_server.port());
    m_window->setStatus(text(795).arg(m_server.port()));
}

void PhoneThrottleHost::left(int client, withrottle::Departure why)
{
    if (DebugForm && m_form.Debug)
        DebugForm->append(QStringLiteral("Phone %1 left (%2)").arg(client).arg(static_cast<int>(why)));
    try {
        m_phones->clientLeft(client);
    } catch (const std::exception& e) {
        m_form.setStatusText(1, QString::fromLocal8Bit(e.what()));
    }
    m_clients.erase(client);
    showRows();
}

void PhoneThrottleHost::showRows()
{
    std::vector<PhoneClientRow> rows;
    for (auto& [id, row] : m_clients) {
        QStringList locos;
        for (int lnr : m_phones->heldBy(id))
            if (Lok)
                locos << QString::number(Lok->get_addr(lnr));
        row.locos = locos.join(QStringLiteral(", "));
        rows.push_back(row);
    }
    if (m_window->isVisible())  // filled when it is shown
        m_window->setRows(rows);
}

void PhoneThrottleHost::retranslate()
{
    if (m_action)
        m_action->setText(text(790));
    m_window->setWindowTitle(text(780));
    if (auto* t = m_window->table())
        t->setHorizontalHeaderLabels({text(786), text(787), text(788)});
    m_window->cutOffButton()->setText(text(789));
    m_window->setStatus(m_server.running() ? text(795).arg(m_server.port()) : text(796));
}
