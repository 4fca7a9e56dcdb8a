#pragma once
// A menu bar that wraps: the menus that do not fit on the bar's width go to a second row below the
// first, instead of into the bar's overflow button, so every menu keeps a place of its own on a
// narrow window (a small screen, a large scale factor, long captions). The first row is this bar
// itself; the second row is a menu bar inside it, shown only while it holds a menu.

#include <QMenuBar>

class WrappingMenuBar : public QMenuBar {
public:
    explicit WrappingMenuBar(QWidget* parent = nullptr);

    // The second row (empty and hidden while everything fits on the first).
    QMenuBar* secondRow() const { return m_second; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void actionEvent(QActionEvent* event) override;

private:
    // How many of the menus, in order, fit on the first row of a bar `width` wide.
    int firstRowCount(const QList<QAction*>& menus, int width) const;
    int itemWidth(QAction* a) const;
    QList<QAction*> allMenus() const;
    void reflow();
    void reflowLater();

    QMenuBar* m_second = nullptr;
    bool m_moving = false;
    bool m_pending = false;
};
