#pragma once
// Wires "Commands > Program decoders" to the decoder programming window in SRCP 0.8 mode: the
// window talks to the server set in the settings, keeps its CV files beside the layouts, and a
// loco record whose address it changed is saved with the parameter file.

#include <QObject>
#include <QPointer>

class SessionHost;
class TMainForm;
class TProgramForm;

class ProgramHost : public QObject {
    Q_OBJECT
public:
    explicit ProgramHost(TMainForm& form);  // after the session host
    ~ProgramHost() override;

    // Opens (or raises) the window; what the menu item does in SRCP 0.8 mode.
    void open();
    TProgramForm* window() const;

private:
    TMainForm& m_form;
    QPointer<SessionHost> m_session;   // may go first when the window closes
    QPointer<TProgramForm> m_window;  // a child of the main window
};
