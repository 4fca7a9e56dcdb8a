#pragma once
// Puts the server session into the main window: the high-resolution timer HRT1, the SRCP 0.7.3
// session, the feedback evaluator Rueckmodul and the decoder panel; connects the "&File" session
// items, the "&Commands" and "&Feedback modules" menus, the status bar panels and the operate,
// decoder and S88 clicks of the track panel. Create it after the track panel host.

#include "moba/THighResTimer.h"

#include <QObject>

#include <QString>

#include <chrono>
#include <functional>
#include <memory>

class TMainForm;
class ServerSession;
class C_rueckmodul;
class TDecoderPanel;
class ProgressDisplay;
class Srcp08Host;
class GuiChannel;

class SessionHost : public QObject {
    Q_OBJECT
public:
    explicit SessionHost(TMainForm& form);
    ~SessionHost() override;

    ServerSession& session() { return *m_session; }
    TDecoderPanel* decoderPanel() const { return m_decoder; }

    // Stops every loco (the throttles' setall_lokostop); called when the emergency stop element is
    // clicked in operate mode. Set by the throttle panel's host.
    std::function<void()> stopAllLocos;
    // "Program decoders" in SRCP 0.8 mode (set by the programming host); in 0.7.3 mode, or while
    // unset, the menu item says the function is not available.
    std::function<void()> programDecoders;

    // A left click in operate mode on the cell at layout point (x, y), as the track panel passes it
    // on: accessories switch, a route switch goes to the route handler, the emergency stop stops
    // every loco. Nothing outside operate mode. Errors propagate.
    void operateAt(int x, int y);

private:
    void connectMenus();
    void connectPanelClicks();
    void showConnected(bool connected);
    void showReport(const QString& line);  // a line of the info channel
    // Status panel 1: the track panel's words, and the session's, which keep a recent word of the
    // panel in front of them.
    void showPanelText(const QString& text);
    void showSessionText(int panel, const QString& text);
    QString localized(const QString& text) const;
    static constexpr std::chrono::seconds PanelNoteKept{10};
    QString m_panelNote;
    std::chrono::steady_clock::time_point m_panelNoteAt{};

    TMainForm& m_form;
    THighResTimer m_timer;
    std::unique_ptr<ServerSession> m_session;
    std::unique_ptr<C_rueckmodul> m_rueckmodul;
    std::unique_ptr<ProgressDisplay> m_progress;
    // SRCP 0.8: the client component and the adapter. A child of the window (found by its type)
    // but owned here, after the session and the feedback evaluator it uses: it goes first.
    std::unique_ptr<Srcp08Host> m_srcp08;
    TDecoderPanel* m_decoder = nullptr;
    // The track panel's pulse outcomes back to the GUI thread; closed before the host goes.
    std::shared_ptr<GuiChannel> m_panelChannel;
    // The track panel's handler for clicks outside the modes handled here (routes).
    std::function<void(int button, bool shift, int X, int Y)> m_otherMode;
};
