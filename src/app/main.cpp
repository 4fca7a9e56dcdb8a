#include "app/StartLayout.h"
#include "app/ProgramWindows.h"
#include "app/TMainForm.h"
#include "app/WindowPlacement.h"
#include "ui/widgets/TDebugForm.h"
#include "ui/widgets/WidgetDialogs.h"

#include <QAction>
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
    QApplication::setDesktopFileName(QStringLiteral("quarn"));
    const StartOptions options = parseStartOptions(QApplication::arguments());

    WidgetDialogs widgetDialogs;
    StartLayoutDialogs dialogs(widgetDialogs);
    auto mainForm = std::make_unique<TMainForm>(dialogs);
    widgetDialogs.setParent(mainForm.get());
    if (options.debug)
        mainForm->setDebug(true);
    ProgramWindows windows(*mainForm, dialogs);

    mainForm->show();
    if (mainForm->Debug) {
        placeDebugWindow(windows.debugForm(), *mainForm);
        windows.debugForm().show();  // after the main window, so it comes up in front of it
    }
    if (!options.layout.isEmpty()) {
        dialogs.answerNextOpen(options.layout);
        if (QAction* open = mainForm->action(QStringLiteral("Oeffnen1")))
            open->trigger();
    }
    return app.exec();  // the other windows go before the main window
}
