#include "app/WindowPlacement.h"

#include "ui/widgets/ScreenFit.h"

#include <QMainWindow>
#include <QMenuBar>

#include <algorithm>

void placeAssistant(QWidget& assistant, const QWidget& main)
{
    const QRect area = main.geometry();
    const int top = area.top() + std::max(0, area.height() - assistant.height()) * 2 / 3;
    assistant.move(area.right() - assistant.width() - 10, top);
    fitOnScreen(assistant);
}

void placeDebugWindow(QWidget& debug, const QMainWindow& main)
{
    const QRect screen = availableArea(main);
    const QWidget* bar = main.menuWidget();
    const int belowMenus = bar ? bar->mapToGlobal(QPoint(0, bar->height())).y() : main.geometry().top();
    // Shorter than the room below the menus, so that fitting it on screen does not push it up.
    const int room = screen.bottom() + 1 - belowMenus - 4;
    if (room > 0 && debug.height() > room)
        debug.resize(debug.width(), std::max(debug.minimumHeight(), room));
    debug.move(screen.right() + 1 - debug.frameGeometry().width(), belowMenus + 4);
    fitOnScreen(debug);
}
