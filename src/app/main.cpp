#include "app/TMainForm.h"
#include "app/TSetupForm.h"
#include "loco/JoystickHost.h"
#include "loco/LocoControlHost.h"
#include "panel/RouteEditorHost.h"
#include "panel/TrackPanelHost.h"
#include "session/SessionHost.h"
#include "ui/TDebugForm.h"
#include "ui/WidgetDialogs.h"

#include <QApplication>

#include <csignal>
#include <memory>

int main(int argc, char** argv)
{
    // A file that reaches the size limit is a failed write that the save reports, not the end of
    // the program (and of every unsaved change with it).
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quarn"));

    WidgetDialogs dialogs;
    auto mainForm = std::make_unique<TMainForm>(dialogs);
    dialogs.setParent(mainForm.get());
    auto* trackPanel = new TrackPanelHost(*mainForm);  // owned by the main window
    new RouteEditorHost(*mainForm, *trackPanel);       // before the session host, which hands route switches on
    new SessionHost(*mainForm);                        // owned by the main window
    auto* loco = new LocoControlHost(*mainForm);       // owned by the main window
    new JoystickHost(*mainForm, *loco);                // owned by the main window
    auto debugForm = std::make_unique<TDebugForm>();
    DebugForm = debugForm.get();
    auto setupForm = std::make_unique<TSetupForm>(mainForm.get());
    SetupForm = setupForm.get();

    if (mainForm->Debug)
        debugForm->show();
    mainForm->show();
    const int rc = app.exec();

    SetupForm = nullptr;
    setupForm.reset();
    DebugForm = nullptr;
    debugForm.reset();
    mainForm.reset();
    return rc;
}
