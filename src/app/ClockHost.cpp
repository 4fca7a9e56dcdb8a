#include "app/ClockHost.h"

#include "app/SessionHost.h"
#include "app/TMainForm.h"
#include "session/ServerSession.h"
#include "session/widgets/TTimeForm.h"
#include "session/widgets/TUhrForm.h"
#include "base/C_language.h"
#include "base/UserDialogs.h"

#include <QAction>

namespace {
constexpr int MsgServerTimeUnavailable = 570;
}

ClockHost::ClockHost(TMainForm& form) : QObject(&form), m_form(form), m_clock(form)
{
    setObjectName(QStringLiteral("ClockHost"));
    m_timeForm = new TTimeForm(&form);
    TimeForm = m_timeForm;
    m_uhrForm = std::make_unique<TUhrForm>(m_clock);
    UhrForm = m_uhrForm.get();
    execTimeForm = [this] { return m_timeForm->exec() == QDialog::Accepted; };

    if (QAction* a = form.action(QStringLiteral("Zeit1")))
        connect(a, &QAction::triggered, this, &ClockHost::Zeit1Click);
    if (auto* sessionHost = form.findChild<SessionHost*>())
        connect(&sessionHost->session(), &ServerSession::connectedChanged, this, [this](bool connected) {
            if (!connected)
                serverClosed();
        });
}

ClockHost::~ClockHost()
{
    if (UhrForm == m_uhrForm.get())
        UhrForm = nullptr;
    if (TimeForm == m_timeForm)
        TimeForm = nullptr;
}

QString ClockHost::message(int id) const
{
    return Lang ? Lang->getmessage(id, m_form.Lang_id) : QString();
}

void ClockHost::Zeit1Click()
{
    QAction* item = m_form.action(QStringLiteral("Zeit1"));
    if (item && !item->isChecked()) {
        m_uhrForm->FormCanClose = true;
        m_uhrForm->close();
        if (serverClock.available && serverClock.available() && serverClock.stop)
            serverClock.stop();
        return;
    }
    if (!execTimeForm || !execTimeForm())
        return;  // the item stays checked without a clock
    // While the dialog was open the session may have ended (the item is then unchecked) or the
    // server may have been lost with its buses: whether it has a clock is asked only now.
    if (item && !item->isChecked())
        return;
    const bool server = serverClock.available && serverClock.available();
    const TimeSetup values = m_timeForm->values();
    if (!m_clock.setup(values, server ? serverClock.start : std::function<void(int, int, double)>()))
        m_form.dialogs().messageBox(message(MsgServerTimeUnavailable), QStringLiteral("Info"),
                                    UserDialogs::Icon::Information);
    m_uhrForm->show();
    m_uhrForm->raise();
}

void ClockHost::SRCPCl2TimeChange(const TSRCPCustomTime* time)
{
    m_clock.SRCPCl2TimeChange(time);
}

void ClockHost::serverTimeChanged(double value)
{
    m_clock.serverTimeChanged(value);
}

void ClockHost::resendServerTime()
{
    if (!m_clock.KavoMaster || !m_uhrForm->isVisible() || !serverClock.available || !serverClock.available() ||
        !serverClock.start)
        return;
    serverClock.start(m_clock.Faktx, m_clock.Fakty, m_form.KavoTime);
}

void ClockHost::serverClosed()
{
    m_uhrForm->FormCanClose = true;
    m_uhrForm->close();
    if (QAction* a = m_form.action(QStringLiteral("Zeit1")))
        a->setChecked(false);
}
