#include "ui/widgets/ScreenFit.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLayout>
#include <QMainWindow>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
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

QRect freeAreaBesides(const QWidget& w, const QMainWindow* main)
{
    QRect area = availableArea(w);
    if (!main || &w == main || !main->isVisible() || area.isEmpty())
        return area;
    const QWidget* bar = main->menuWidget();
    if (!bar || !bar->isVisible())
        return area;
    const QRect menus(bar->mapToGlobal(QPoint(0, 0)), bar->size());
    if (!menus.intersects(area))
        return area;
    QRect below = area;
    below.setTop(menus.bottom() + 1);
    const int extra = w.frameGeometry().height() - w.geometry().height();
    // A window that cannot be made short enough for the room below the menus uses the whole area
    // (its title bar stays reachable); one that can is made so (its pages scroll).
    const int smallest = w.minimumSize() == w.maximumSize() ? w.height()
                                                            : std::max(w.minimumHeight(), w.minimumSizeHint().height());
    const int needed = smallest + std::max(0, extra);
    return needed <= below.height() ? below : area;
}

void fitToContent(QWidget& w, const QRect& area)
{
    QLayout* layout = w.layout();
    if (!layout || area.isEmpty())
        return;
    layout->activate();
    const QSize extra = w.frameGeometry().size() - w.geometry().size();
    const QSize room = area.size() - extra;
    QSize wish = w.sizeHint().expandedTo(w.minimumSizeHint());
    if (wish.isEmpty())
        return;
    // Too wide for the screen: its scrolling pages scroll sideways, and their scroll bar takes height.
    if (wish.width() > room.width() && !w.findChildren<QScrollArea*>().isEmpty())
        wish.rheight() += w.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &w);
    wish = wish.boundedTo(room);
    if (w.minimumSize() == w.maximumSize() && layout->sizeConstraint() != QLayout::SetFixedSize) {
        if (w.size() != wish)
            w.setFixedSize(wish);
        return;
    }
    const QSize fitted = w.size().expandedTo(wish).boundedTo(room.expandedTo(w.minimumSize()));
    if (fitted != w.size())
        w.resize(fitted);
    growForScrollingPages(w, area);
}

void growForScrollingPages(QWidget& w, const QRect& area)
{
    QLayout* layout = w.layout();
    if (!layout || area.isEmpty() || w.minimumSize() == w.maximumSize())
        return;
    const QSize room = area.size() - (w.frameGeometry().size() - w.geometry().size());
    for (int pass = 0; pass < 2; ++pass) {
        layout->activate();
        QSize lack(0, 0);
        for (const QScrollArea* scroll : w.findChildren<QScrollArea*>()) {
            const QWidget* page = scroll->widget();
            if (!page || !scroll->isVisibleTo(&w))
                continue;
            const QSize hint = page->sizeHint().expandedTo(page->minimumSizeHint());
            // The height for the width the page has now (a scroll bar may take some of it), and
            // never less than it asks for.
            int needH =
                std::max(hint.height(), page->hasHeightForWidth() ? page->heightForWidth(scroll->viewport()->width()) : 0);
            // A page wider than the room scrolls sideways; its scroll bar takes height too.
            if (hint.width() > scroll->width())
                needH += scroll->horizontalScrollBar()->sizeHint().height();
            lack = lack.expandedTo(QSize(hint.width() - scroll->width(), needH - scroll->height()));
        }
        const QSize grown = (w.size() + lack).boundedTo(room.expandedTo(w.minimumSize()));
        if (grown == w.size())
            break;
        w.resize(grown);
    }
}

void fitOnScreen(QWidget& w, QRect area)
{
    if (area.isEmpty())
        area = availableArea(w);
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

KeepOnScreen::KeepOnScreen(QMainWindow* main, QObject* parent) : QObject(parent), m_main(main) {}

bool KeepOnScreen::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Show && watched->isWidgetType() && !event->spontaneous()) {
        auto* w = static_cast<QWidget*>(watched);
        const Qt::WindowType type = w->windowType();
        if (w->isWindow() && (type == Qt::Window || type == Qt::Dialog || type == Qt::Tool || type == Qt::Sheet)) {
            if (w != m_main.data()) {
                fitToContent(*w, freeAreaBesides(*w, m_main.data()));
                // Pages that lay themselves out as they are shown (tabs) know their room only then.
                QMetaObject::invokeMethod(
                    w,
                    [w, main = m_main] {
                        growForScrollingPages(*w, freeAreaBesides(*w, main.data()));
                        fitOnScreen(*w, freeAreaBesides(*w, main.data()));
                    },
                    Qt::QueuedConnection);
            }
            fitOnScreen(*w, freeAreaBesides(*w, m_main.data()));
        }
    }
    return QObject::eventFilter(watched, event);
}
