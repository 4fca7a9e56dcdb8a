#pragma once
// What of a window the user cannot see whole: a text cut because its control is smaller than the
// text needs or lies partly outside the control that holds it, scroll bars where the screen has
// room for the whole window, a window outside the screen's free area. Each finding is one line
// naming the window and the control, for the tests of placement and languages.

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QScrollArea>
#include <QScrollBar>
#include <QStringList>
#include <QTabBar>
#include <QWidget>

namespace testsupport {

inline QString nameOf(const QWidget* w)
{
    QString name = w->objectName();
    if (name.isEmpty())
        name = QString::fromLatin1(w->metaObject()->className());
    return name;
}

inline QString textOf(const QWidget* w)
{
    if (auto* l = qobject_cast<const QLabel*>(w))
        return l->text();
    if (auto* b = qobject_cast<const QAbstractButton*>(w))
        return b->text();
    if (auto* g = qobject_cast<const QGroupBox*>(w))
        return g->title();
    return {};
}

// Texts of `window` that are not shown whole.
inline QStringList cutTexts(QWidget* window)
{
    QStringList out;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->isVisible() || w->window() != window)
            continue;
        const QString where = nameOf(window) + QStringLiteral("/") + nameOf(w);
        if (auto* bar = qobject_cast<QTabBar*>(w)) {
            if (bar->sizeHint().width() > bar->width())
                out << QStringLiteral("%1: tabs need %2 px, have %3").arg(where).arg(bar->sizeHint().width()).arg(bar->width());
            continue;
        }
        const QString text = textOf(w);
        if (text.trimmed().isEmpty())
            continue;
        const auto* label = qobject_cast<const QLabel*>(w);
        QSize need = w->minimumSizeHint();
        if (label && label->wordWrap())
            need = QSize(0, label->heightForWidth(label->width()));
        if (label && label->textFormat() != Qt::PlainText && Qt::mightBeRichText(text))
            need = QSize(0, 0);  // rich text wraps as it likes
        if (w->width() < need.width() || w->height() < need.height())
            out << QStringLiteral("%1 \"%2\": %3 x %4, needs %5 x %6")
                       .arg(where, text)
                       .arg(w->width())
                       .arg(w->height())
                       .arg(need.width())
                       .arg(need.height());
        // Cut by a control around it (a scrolling page only scrolls it).
        QRect r = w->rect();
        for (QWidget* p = w; p != window && p->parentWidget(); p = p->parentWidget()) {
            QWidget* up = p->parentWidget();
            if (qobject_cast<QAbstractScrollArea*>(up->parentWidget()) && up->objectName() == QLatin1String("qt_scrollarea_viewport"))
                break;
            r.translate(p->pos());
            if (!up->rect().contains(r)) {
                out << QStringLiteral("%1 \"%2\": cut by %3").arg(where, text, nameOf(up));
                break;
            }
        }
    }
    return out;
}

// Scrolling pages of `window` that show a scroll bar although the window is not at the limit of
// `area` in that direction (the screen has room for the page whole).
inline QStringList needlessScrollBars(QWidget* window, const QRect& area)
{
    QStringList out;
    const QRect frame = window->frameGeometry();
    for (QScrollArea* s : window->findChildren<QScrollArea*>()) {
        if (!s->isVisible() || s->window() != window)
            continue;
        if (s->horizontalScrollBar()->isVisible() && frame.width() < area.width() - 2)
            out << QStringLiteral("%1/%2: horizontal scroll bar in a window %3 wide of %4")
                       .arg(nameOf(window), nameOf(s))
                       .arg(frame.width())
                       .arg(area.width());
        if (s->verticalScrollBar()->isVisible() && frame.height() < area.height() - 2 &&
            frame.bottom() < area.bottom() - 2)
            out << QStringLiteral("%1/%2: vertical scroll bar in a window %3 high at %4 of %5 (page wants %6, has %7)")
                       .arg(nameOf(window), nameOf(s))
                       .arg(frame.height())
                       .arg(frame.top())
                       .arg(area.height())
                       .arg(s->widget() ? s->widget()->sizeHint().height() : 0)
                       .arg(s->viewport()->height());
    }
    return out;
}

// Where `window` is not inside `area` or covers the menus of `main` (a window too tall for the
// room below the menus may reach up over them).
inline QStringList outsideFreeArea(QWidget* window, const QRect& area, const QMainWindow* main)
{
    QStringList out;
    const QRect f = window->frameGeometry();
    const auto rect = [](const QRect& r) {
        return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
    };
    if (!area.contains(f))
        out << QStringLiteral("%1 at %2, off the screen's free area %3").arg(nameOf(window), rect(f), rect(area));
    if (main && window != main && main->menuBar() && main->menuBar()->isVisible()) {
        const QMenuBar* bar = main->menuBar();
        const QRect menus(bar->mapToGlobal(QPoint(0, 0)), bar->size());
        const bool roomBelow = f.height() <= area.bottom() - menus.bottom();
        if (roomBelow && f.intersects(menus))
            out << QStringLiteral("%1 at %2 covers the menus at %3").arg(nameOf(window), rect(f), rect(menus));
    }
    return out;
}

}  // namespace testsupport
