#include "ui/widgets/WrappingMenuBar.h"

#include <QActionEvent>
#include <QStyle>
#include <QStyleOptionMenuItem>
#include <QTimer>

WrappingMenuBar::WrappingMenuBar(QWidget* parent) : QMenuBar(parent), m_second(new QMenuBar(this))
{
    m_second->setObjectName(QStringLiteral("secondMenuRow"));
    m_second->setNativeMenuBar(false);
    m_second->hide();
}

// The width the bar gives one menu title: the same measure the bar lays its items out with.
int WrappingMenuBar::itemWidth(QAction* a) const
{
    if (!a->isVisible())
        return 0;
    QStyleOptionMenuItem opt;
    opt.initFrom(this);
    opt.menuItemType = QStyleOptionMenuItem::Normal;
    opt.text = a->text();
    const QSize text = fontMetrics().size(Qt::TextShowMnemonic, a->text());
    return style()->sizeFromContents(QStyle::CT_MenuBarItem, &opt, text, this).width()
           + style()->pixelMetric(QStyle::PM_MenuBarItemSpacing, nullptr, this);
}

int WrappingMenuBar::firstRowCount(const QList<QAction*>& menus, int width) const
{
    const int margins = 2 * (style()->pixelMetric(QStyle::PM_MenuBarHMargin, nullptr, this)
                             + style()->pixelMetric(QStyle::PM_MenuBarPanelWidth, nullptr, this));
    int used = margins;
    for (int i = 0; i < menus.size(); ++i) {
        used += itemWidth(menus[i]);
        if (used > width && i > 0)
            return i;
    }
    return int(menus.size());
}

// All menus of both rows, in order.
QList<QAction*> WrappingMenuBar::allMenus() const
{
    return actions() + m_second->actions();
}

int WrappingMenuBar::heightForWidth(int width) const
{
    const QList<QAction*> menus = allMenus();
    const int rowHeight = QMenuBar::sizeHint().height();
    bool second = false;
    for (int i = firstRowCount(menus, width); i < menus.size() && !second; ++i)
        second = menus[i]->isVisible();
    return second ? rowHeight + m_second->sizeHint().height() : rowHeight;
}

QSize WrappingMenuBar::sizeHint() const
{
    const QSize one = QMenuBar::sizeHint();
    return {one.width(), heightForWidth(width() > 0 ? width() : one.width())};
}

QSize WrappingMenuBar::minimumSizeHint() const
{
    const QSize one = QMenuBar::minimumSizeHint();
    return {one.width(), heightForWidth(width() > 0 ? width() : one.width())};
}

void WrappingMenuBar::resizeEvent(QResizeEvent* event)
{
    QMenuBar::resizeEvent(event);
    reflow();
}

void WrappingMenuBar::actionEvent(QActionEvent* event)
{
    QMenuBar::actionEvent(event);
    if (!m_moving)
        reflowLater();  // a menu added, removed, renamed, shown or hidden
}

void WrappingMenuBar::reflowLater()
{
    if (m_pending)
        return;
    m_pending = true;
    QTimer::singleShot(0, this, [this] {
        m_pending = false;
        reflow();
    });
}

void WrappingMenuBar::reflow()
{
    const QList<QAction*> menus = allMenus();
    const int first = firstRowCount(menus, width());
    if (actions() != menus.mid(0, first)) {
        m_moving = true;
        for (QAction* a : m_second->actions())
            m_second->removeAction(a);
        for (QAction* a : menus.mid(first)) {
            removeAction(a);
            m_second->addAction(a);
        }
        for (QAction* a : menus.mid(0, first))
            if (!actions().contains(a))
                addAction(a);
        m_moving = false;
    }
    bool second = false;
    for (QAction* a : m_second->actions())
        second = second || a->isVisible();
    const int rowHeight = QMenuBar::sizeHint().height();
    m_second->setGeometry(0, rowHeight, width(), m_second->sizeHint().height());
    m_second->setVisible(second);
    if (height() != heightForWidth(width()))
        updateGeometry();
}
