// Grabs the main window with its "Options" menu open, and the settings dialog, in one language to
// PNG files, for the documentation.
// Usage: mainform-shot <work dir> <Lang_id> <main.png> [setup.png]
#include "app/TMainForm.h"
#include "app/TSetupForm.h"
#include "base/C_language.h"
#include "base/ScriptedDialogs.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 4)
        return 2;
    ScriptedDialogs dialogs;
    TMainForm form(dialogs, QString::fromLocal8Bit(argv[1]));
    TSetupForm setup(&form);
    SetupForm = &setup;
    form.Lang_id = QByteArray(argv[2]).toInt();
    form.show();
    form.action(QStringLiteral("N800mal600"))->trigger();
    form.action(QStringLiteral("Betrieb1"))->setEnabled(true);
    form.action(QStringLiteral("Betrieb1"))->trigger();
    QApplication::processEvents();

    QImage shot = form.grab().toImage();
    QMenu* options = form.menu(QStringLiteral("Optionen1"));
    const QRect item = form.menuBar()->actionGeometry(options->menuAction());
    const QPoint at = form.menuBar()->mapTo(&form, item.bottomLeft());
    options->popup(form.mapToGlobal(at));
    QApplication::processEvents();
    QPainter p(&shot);
    p.drawImage(at, options->grab().toImage());
    p.end();
    options->hide();
    if (!shot.save(QString::fromLocal8Bit(argv[3])))
        return 1;

    if (argc > 4) {
        setup.fill(form);
        setup.FormShow(Lang, form.Lang_id, form.Showassist);
        form.applyLanguage();
        setup.show();
        QApplication::processEvents();
        if (!setup.grab().save(QString::fromLocal8Bit(argv[4])))
            return 1;
    }
    return 0;
}
