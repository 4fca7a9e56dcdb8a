#include "app/StartLayout.h"
#include "app/TMainForm.h"
#include "app/TSetupForm.h"
#include "app/JoystickHost.h"
#include "app/LocoControlHost.h"
#include "app/RouteEditorHost.h"
#include "app/TrackPanelHost.h"
#include "app/ClockHost.h"
#include "app/ProgramHost.h"
#include "app/SessionHost.h"
#include "base/C_language.h"
#include "ui/widgets/TAssistForm.h"
#include "ui/widgets/TDebugForm.h"
#include "ui/widgets/TInfoForm.h"
#include "ui/widgets/WidgetDialogs.h"

#include <QAction>
#include <QApplication>
#include <QScreen>

#include <csignal>
#include <memory>

int main(int argc, char** argv)
{
    // A file that reaches the size limit is a failed write that the save reports, not the end of
    // the program (and of every unsaved change with it).
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quarn"));
    QApplication::setDesktopFileName(QStringLiteral("quarn"));
    const StartOptions options = parseStartOptions(QApplication::arguments());

    WidgetDialogs widgetDialogs;
    StartLayoutDialogs dialogs(widgetDialogs);
    auto mainForm = std::make_unique<TMainForm>(dialogs);
    widgetDialogs.setParent(mainForm.get());
    if (options.debug)
        mainForm->setDebug(true);
    auto* trackPanel = new TrackPanelHost(*mainForm);  // owned by the main window
    new RouteEditorHost(*mainForm, *trackPanel);       // before the session host, which hands route switches on
    new SessionHost(*mainForm);                        // owned by the main window
    auto* loco = new LocoControlHost(*mainForm);       // owned by the main window
    new JoystickHost(*mainForm, *loco);                // owned by the main window
    new ClockHost(*mainForm);                          // owned by the main window; after the session host
    new ProgramHost(*mainForm);                        // owned by the main window; after the session host
    auto debugForm = std::make_unique<TDebugForm>();
    DebugForm = debugForm.get();
    auto setupForm = std::make_unique<TSetupForm>(mainForm.get());
    SetupForm = setupForm.get();
    TMainForm* form = mainForm.get();
    auto assistForm = std::make_unique<TAssistForm>(
        [form](int id) { return Lang ? Lang->getmessage(id, form->Lang_id) : QString(); },
        [form](const QString& name) { return form->action(name); }, dialogs);
    AssistForm = assistForm.get();
    form->showAssistant = [form, assist = assistForm.get()] {
        if (!assist->isVisible()) {
            const QRect area = form->geometry();
            assist->move(area.right() - assist->width() - 10, area.top() + 440);  // beside the layout
        }
        assist->show();
        assist->raise();
    };
    auto infoForm = std::make_unique<TInfoForm>(mainForm.get());
    InfoForm = infoForm.get();

    mainForm->show();
    if (mainForm->Debug)
        debugForm->show();  // after the main window, so it comes up in front of it
    if (!options.layout.isEmpty()) {
        dialogs.answerNextOpen(options.layout);
        if (QAction* open = mainForm->action(QStringLiteral("Oeffnen1")))
            open->trigger();
    }
    const int rc = app.exec();

    InfoForm = nullptr;
    infoForm.reset();
    AssistForm = nullptr;
    assistForm.reset();
    SetupForm = nullptr;
    setupForm.reset();
    DebugForm = nullptr;
    debugForm.reset();
    mainForm.reset();
    return rc;
}
