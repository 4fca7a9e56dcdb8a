#include "base/AppState.h"
#include "layout/C_Element.h"
#include "layout/C_Position.h"
#include "panel/LayoutPanel.h"
#include "base/ScriptedDialogs.h"

#include <QFileInfo>
#include <QGuiApplication>

#include <cstdio>
#include <exception>

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc < 5) {
        std::fprintf(stderr, "usage: quarn-panelshot <program folder> <layout.pln> <palette.png> <layout.png>\n");
        return 2;
    }
    AppState s;
    s.WorkDir = QString::fromLocal8Bit(argv[1]) + QLatin1Char('/');
    C_Position table;
    C_Element cat;
    ScriptedDialogs dialogs;
    LayoutPanel panel(s, table, cat, dialogs);
    try {
        panel.quarngraufaerben();
        panel.elementeladen();
        const QFileInfo layout(QString::fromLocal8Bit(argv[2]));
        panel.gleisbildladen(layout.fileName(), layout.absolutePath() + QLatin1Char('/'));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    s.Design_Panel_bitmap.save(QString::fromLocal8Bit(argv[3]));
    s.Quarn_bitmap.save(QString::fromLocal8Bit(argv[4]));
    return 0;
}
