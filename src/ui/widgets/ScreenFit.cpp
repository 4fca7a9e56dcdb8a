#include "ui/widgets/ScreenFit.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

QRect availableArea(const QWidget& w)
{
    const QScreen* screen = QGuiApplication::screenAt(w.frameGeometry().center());
    if (!screen)
        screen = w.screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

void fitOnScreen(QWidget& w)
{
    const QRect area = availableArea(w);
    if (area.isEmpty())
        return;
    const QRect frame = w.frameGeometry();
    const QSize extra = frame.size() - w.geometry().size();  // title bar and borders, once known
    const QSize room = area.size() - extra;
    const QSize size = w.size();
    const QSize fitted(std::clamp(size.width(), std::min(w.minimumWidth(), room.width()), room.width()),
                       std::clamp(size.height(), std::min(w.minimumHeight(), room.height()), room.height()));
    if (fitted != size)
        w.resize(fitted.expandedTo(QSize(1, 1)));
    const QSize outer = w.size() + extra;
    // The top left corner wins when even the smallest size does not fit: the title bar stays reachable.
    const int x = std::max(area.left(), std::min(frame.left(), area.right() + 1 - outer.width()));
    const int y = std::max(area.top(), std::min(frame.top(), area.bottom() + 1 - outer.height()));
    if (QPoint(x, y) != frame.topLeft())
        w.move(x, y);
}

bool KeepOnScreen::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Show && watched->isWidgetType()) {
        auto* w = static_cast<QWidget*>(watched);
        const Qt::WindowType type = w->windowType();
        if (w->isWindow() && (type == Qt::Window || type == Qt::Dialog || type == Qt::Tool || type == Qt::Sheet))
            fitOnScreen(*w);
    }
    return QObject::eventFilter(watched, event);
}
