#include "app/SessionHost.h"

#include "panel/Cbahn.h"
#include "app/TMainForm.h"
#include "layout/C_Position.h"
#include "panel/widgets/PanelView.h"
#include "panel/widgets/TDecoderPanel.h"
#include "app/TrackPanelHost.h"
#include "session/C_rueckmodul.h"
#include "session/InfoReport.h"
#include "app/LocoControlHost.h"
#include "loco/DriveReport.h"
#include "loco/LocoCommand.h"
#include "loco/ThrottleModel.h"
#include "session/ServerSession.h"
#include "app/Srcp08Host.h"
#include "base/C_language.h"
#include "base/GuiChannel.h"
#include "base/ProgressDisplay.h"
#include "ui/widgets/TDebugForm.h"
#include "base/UserDialogs.h"

#include <QAction>
#include <QApplication>
#include <QMetaObject>
#include <QTimer>
#include <QVBoxLayout>

#include <exception>

namespace {

// The main window's progress bar, percentage label and status panel 1.
class WindowProgress : public ProgressDisplay {
public:
    explicit WindowProgress(TMainForm& form) : m_form(form) {}
    void begin(int count) override
    {
        m_max = count;
        show(true, 0, QStringLiteral("0 %"));
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    void step(int position, int percent) override
    {
        const QString text = QString::number(percent) + QStringLiteral(" %");
        show(true, position, text);
        m_form.setStatusText(1, text);
    }
    void end() override
    {
        show(false, 0, QString());
        m_form.setStatusText(1, QString());
        QApplication::restoreOverrideCursor();
    }

private:
    void show(bool visible, int value, const QString& text)
    {
        if (Bahn && Bahn->trackPanel().progress)
            Bahn->trackPanel().progress(visible, value, m_max, text);
    }
    TMainForm& m_form;
    int m_max = 0;
};

const char* const CommandItems[] = {"Synchronize1", "Spannungan1", "Spannungaus1", "Initialisierung1",
                                    "Zeit1", "Decoderprogrammieren1", "FreieBefehle1"};

} // namespace

SessionHost::SessionHost(TMainForm& form) : QObject(&form), m_form(form)
{
    m_timer.setEnabled(true);
    m_timer.setResolution(1);
    form.HRT1 = &m_timer;

    static const C_language fallbackLanguage;  // only when the message table could not be created
    m_session = std::make_unique<ServerSession>(form, form.dialogs(), Lang ? *Lang : fallbackLanguage);
    form.Session = m_session.get();
    ServerSession* s = m_session.get();
    form.commandConnected = [s] { return s->commandConnected(); };
    form.disconnectFromServer = [s] { s->disconnectServer(); };
    m_progress = std::make_unique<WindowProgress>(form);
    const auto debugLine = [](const QString& line) {
        if (DebugForm)
            DebugForm->append(line);
    };
    s->debugLine = debugLine;

    connect(s, &ServerSession::statusText, &form, [this](int panel, const QString& t) { showSessionText(panel, t); });
    connect(s, &ServerSession::connectedChanged, this, &SessionHost::showConnected);
    connect(s, &ServerSession::feedbackPollingChanged, this, [&form](bool running) {
        for (const char* name : {"Abfragestarten1", "Reset1"})
            if (QAction* a = form.action(QString::fromLatin1(name)))
                a->setEnabled(!running);
    });

    if (Bahn && Postable) {
        m_rueckmodul = std::make_unique<C_rueckmodul>(form, *Postable, Bahn->iconChanger());
        Rueckmodul = m_rueckmodul.get();
        C_rueckmodul* r = m_rueckmodul.get();
        r->debugLine = debugLine;
        s->onFeedbackContact = [r](const FeedbackContact& c) { r->iconrefresh(c.module, c.port, c.value); };
        // Accessory commands of the layout file (states re-sent on open).
        Bahn->trackPanel().accessoryOut = [&form](const QString& protocol, int decoder, int port) {
            try {
                return Bahn->ga_out(protocol, decoder, port) == Cbahn::SendResult::Sent;
            } catch (const std::exception& e) {
                form.dialogs().showError(QString::fromLocal8Bit(e.what()));
                return false;
            }
        };
        Bahn->trackPanel().statusText = [this](const QString& t) { showPanelText(t); };
        // What became of each accessory command comes back here; the panel shows it.
        m_panelChannel = std::make_shared<GuiChannel>([this](std::function<void()> call) {
            QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
        });
        Bahn->setGuiChannel(m_panelChannel);
        Bahn->later = [this](int ms, std::function<void()> call) { QTimer::singleShot(ms, this, std::move(call)); };
        Bahn->trackPanel().switchAccessory = [&form](tPosEntry& e, int state, int route) {
            try {
                const Cbahn::SendResult r = Bahn->switchAccessory(e, state, route);
                return r == Cbahn::SendResult::Sent || r == Cbahn::SendResult::NoDecoder;
            } catch (const std::exception& ex) {
                form.dialogs().showError(QString::fromLocal8Bit(ex.what()));
                return false;
            }
        };

        m_decoder = new TDecoderPanel(form, *Bahn, form.dialogs(), Lang ? *Lang : fallbackLanguage, form.Decod_panel);
        auto* box = new QVBoxLayout(form.Decod_panel);
        box->setContentsMargins(0, 0, 0, 0);
        box->addWidget(m_decoder);
        connect(&form, &TMainForm::decoderModeEntered, m_decoder, &TDecoderPanel::prepareDecoderMode);
        connect(&form, &TMainForm::s88ModeEntered, m_decoder, &TDecoderPanel::prepareS88Mode);
        connect(&form, &TMainForm::languageApplied, m_decoder, [this] {
            if (m_form.S88config)
                m_decoder->prepareS88Mode();
            else
                m_decoder->prepareDecoderMode();
        });
        connectPanelClicks();
    }
    // What the server reports on its info channel wins over what was last clicked.
    connect(s, &ServerSession::infoLine, this, &SessionHost::showReport);
    m_srcp08 = std::make_unique<Srcp08Host>(form, *m_session, m_rueckmodul.get());
    m_srcp08->onLocoReported = [this](const DriveReport& report) {
        auto* locos = m_form.findChild<LocoControlHost*>();
        if (!locos || !locos->throttles())
            return;
        if (locos->command() && locos->command()->takeEcho(report))
            return;  // the report of what the regulators sent themselves
        try {
            locos->throttles()->locoReported(report);
        } catch (const std::exception& e) {
            m_form.dialogs().showError(QString::fromLocal8Bit(e.what()));
        }
    };
    m_srcp08->onLocoNotOnServer = [this](int record) {
        if (auto* locos = m_form.findChild<LocoControlHost*>(); locos && locos->throttles())
            locos->throttles()->locoNotOnServer(record);
    };
    m_srcp08->onAccessoryReported = [this](bool motorola, int address, int port, int value) {
        try {
            if (Bahn)
                Bahn->accessoryReported(motorola, address, port, value);
        } catch (const std::exception& e) {
            m_form.dialogs().showError(QString::fromLocal8Bit(e.what()));
        }
    };
    connectMenus();
}

SessionHost::~SessionHost()
{
    // The host is a child of the window and goes after the window's own fields: it touches no
    // field of the window here. The session stops its readers and closes its connections.
    if (m_panelChannel)
        m_panelChannel->close();
    if (Rueckmodul == m_rueckmodul.get())
        Rueckmodul = nullptr;
    // The window deletes its children in the order they were made, and this host came first: the
    // SRCP 0.8 host, which writes into the session and the feedback evaluator as it goes, is
    // deleted here while both still exist.
    m_srcp08.reset();
}

void SessionHost::showReport(const QString& line)
{
    const std::string text = line.toStdString();
    try {
        if (const auto ga = parseAccessoryReport(text)) {
            if (Bahn)
                Bahn->accessoryReported(ga->motorola, ga->address, ga->port, ga->value);
        } else if (const auto gl = parseLocoReport(text)) {
            auto* locos = m_form.findChild<LocoControlHost*>();
            if (!locos || !locos->throttles())
                return;
            const std::size_t at = text.find("GL");
            if (locos->command() && locos->command()->takeEcho(std::string_view(text).substr(at + 2)))
                return;
            DriveReport report;
            report.protocol = QString::fromStdString(gl->protocol);
            report.address = gl->address;
            report.direction = gl->direction;
            report.speed = gl->speed;
            report.speedMax = gl->speedMax;
            report.functions = gl->functions;
            locos->throttles()->locoReported(report);
        }
    } catch (const std::exception& e) {
        m_form.dialogs().showError(QString::fromLocal8Bit(e.what()));  // a picture that cannot be drawn
    }
}

QString SessionHost::localized(const QString& text) const
{
    return Lang ? Lang->localize(text, m_form.Lang_id) : text;
}

void SessionHost::showPanelText(const QString& text)
{
    m_panelNote = text;
    m_panelNoteAt = std::chrono::steady_clock::now();
    m_form.setStatusText(1, text);
}

void SessionHost::showSessionText(int panel, const QString& text)
{
    // What the panel said last (an accessory that did not switch, and why) stays in front of the
    // session's own words for a while: a lost server says so at the same moment.
    const bool recent = std::chrono::steady_clock::now() - m_panelNoteAt < PanelNoteKept;
    if (panel == 1 && recent && !m_panelNote.isEmpty() && !text.isEmpty() && text != m_panelNote) {
        m_form.setStatusText(1, localized(m_panelNote) + QStringLiteral("  |  ") + localized(text));
        return;
    }
    m_form.setStatusText(panel, text);
}

void SessionHost::showConnected(bool connected)
{
    for (const char* name : CommandItems)
        if (QAction* a = m_form.action(QString::fromLatin1(name)))
            a->setEnabled(connected);
    if (QAction* a = m_form.action(QStringLiteral("Hostverbinden1")))
        a->setEnabled(!connected);
    if (!connected) {
        if (QAction* a = m_form.action(QStringLiteral("Softregler1")))
            a->setEnabled(true);
        if (QAction* a = m_form.action(QStringLiteral("Zeit1")))
            a->setChecked(false);
    }
}

void SessionHost::connectMenus()
{
    ServerSession* s = m_session.get();
    auto bind = [this](const char* name, std::function<void()> handler) {
        QAction* a = m_form.action(QString::fromLatin1(name));
        if (!a)
            return;
        connect(a, &QAction::triggered, this, [this, handler = std::move(handler)] {
            try {
                handler();
            } catch (const std::exception& e) {
                m_form.dialogs().showError(QString::fromLocal8Bit(e.what()));
            }
        });
    };
    bind("Hostverbinden1", [s] { s->connectServer(); });
    bind("Hosttrennen1", [s] { s->disconnectServer(); });
    bind("Spannungan1", [s] { s->powerOn(); });
    bind("Spannungaus1", [s] { s->powerOff(); });
    bind("Initialisierung1", [s] { s->resetServer(); });
    bind("Decoderprogrammieren1", [this, s] {
        if (programDecoders && m_form.SrcpVer != 73)
            programDecoders();
        else if (programDecoders && Lang)  // the window exists, only not for this protocol
            m_form.dialogs().messageBox(Lang->getmessage(760, m_form.Lang_id), Lang->getmessage(128, m_form.Lang_id),
                                        UserDialogs::Icon::Information);
        else
            s->decoderProgramming();
    });
    bind("FreieBefehle1", [s] { s->freeCommand(); });
    bind("Abfragestarten1", [s] { s->startFeedback(); });
    bind("Abfragebeenden1", [s] { s->stopFeedback(); });
    bind("Synchronize1", [this] {
        if (Bahn)
            Bahn->synchronizeAccessories(*m_progress);
    });
    bind("Synchronize2", [this] {
        if (m_rueckmodul)
            m_rueckmodul->synchronize(*m_progress);
    });
    bind("Reset1", [this] {
        if (m_rueckmodul)
            m_rueckmodul->iconreset();
    });
}

void SessionHost::connectPanelClicks()
{
    auto* host = m_form.findChild<TrackPanelHost*>();
    PanelView* view = host ? host->panelView() : nullptr;
    if (!view)
        return;
    // Other modes (routes) keep their handler; a route switch clicked in operate mode goes there too.
    auto previous = view->otherModeMouseDown;
    if (previous)
        m_otherMode = [previous](int b, bool shift, int X, int Y) {
            previous(static_cast<LayoutPanel::Button>(b), shift, X, Y);
        };
    view->otherModeMouseDown = [this, previous](LayoutPanel::Button b, bool shift, int X, int Y) {
        const bool left = b == LayoutPanel::Button::Left;
        const int x = Cbahn::sollkoord(X) + m_form.Hpos_alt;
        const int y = Cbahn::sollkoord(Y) + m_form.Vpos_alt;
        if (m_form.Betrieb) {
            if (!left)
                return;
            Cbahn::OperateHooks hooks;
            hooks.stopAllLocos = stopAllLocos;
            hooks.status = [this](const QString& why) { m_form.setStatusText(1, why); };
            if (previous)
                hooks.switchRoute = [&](tPosEntry&) { previous(b, shift, X, Y); };
            Bahn->operateClick(x, y, hooks);  // errors reach the panel's error display
        } else if (m_form.Decoder) {
            if (left)
                m_decoder->showContent(Bahn->decoderClick(x, y));
        } else if (m_form.S88config) {
            if (left)
                m_decoder->showContent(Bahn->s88Click(x, y));
        } else if (previous) {
            previous(b, shift, X, Y);
        }
    };
}

void SessionHost::operateAt(int x, int y)
{
    if (!m_form.Betrieb || !Bahn)
        return;
    Cbahn::OperateHooks hooks;
    hooks.stopAllLocos = stopAllLocos;
    if (m_otherMode)
        hooks.switchRoute = [this, x, y](tPosEntry&) {
            m_otherMode(static_cast<int>(LayoutPanel::Button::Left), false, x - m_form.Hpos_alt, y - m_form.Vpos_alt);
        };
    Bahn->operateClick(x, y, hooks);
}
