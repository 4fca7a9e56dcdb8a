#include "app/ProgramHost.h"

#include "app/SessionHost.h"
#include "app/TMainForm.h"
#include "base/C_language.h"
#include "base/TLok.h"
#include "loco/widgets/TProgramForm.h"
#include "panel/Cbahn.h"
#include "session/ServerSession.h"

#include <QSpinBox>

ProgramHost::ProgramHost(TMainForm& form) : QObject(&form), m_form(form)
{
    setObjectName(QStringLiteral("ProgramHost"));
    m_session = form.findChild<SessionHost*>();
    if (m_session)
        m_session->programDecoders = [this] { open(); };
    // The programming window has a session of its own on the same server: when the main session
    // loses the server, the window says so; when it is back, the window opens its session again.
    if (ServerSession* s = form.serverSession())
        connect(s, &ServerSession::reconnectingChanged, this, [this](bool lost) {
            if (m_window && m_window->isVisible())
                m_window->serverLost(lost);
        });
}

ProgramHost::~ProgramHost()
{
    if (m_session)
        m_session->programDecoders = nullptr;
}

void ProgramHost::open()
{
    if (!Lang || !Lok)
        return;
    if (!m_window) {
        m_window = new TProgramForm(m_form.dialogs(), *Lang, *Lok, &m_form);  // owned by the main window
        m_window->setWindowFlag(Qt::Tool);
        m_window->onLocoRecordChanged = [this](int) { m_form.saveParameters(); };
    }
    TProgramForm::Settings s;
    s.host = m_form.Iphostchar.toStdString();
    s.port = m_form.Ipport;
    s.bus = m_window->busBox()->value();  // what the user chose last time; 1 at first
    s.cvFolder = Bahn ? Bahn->getLayoutPath() : m_form.WorkDir;
    s.lang = m_form.Lang_id;
    m_window->begin(s);
    m_window->show();
    m_window->raise();
}

TProgramForm* ProgramHost::window() const
{
    return m_window.data();
}
