#pragma once
// Keeps windows inside the screen they open on, at any scale factor: a window that would reach
// past the screen's free area is moved back into it, and one larger than the area is made smaller.

#include <QObject>
#include <QPointer>
#include <QRect>

class QMainWindow;
class QWidget;

// The free area (without panels and docks) of the screen that holds the middle of `w`, or of the
// screen `w` is on.
QRect availableArea(const QWidget& w);

// The area a window other than `main` opens in: the free area of its screen below `main`'s menu
// bar, so that no window covers the menus; the whole free area when the window cannot be made
// short enough for that (or `main` is none or not shown).
QRect freeAreaBesides(const QWidget& w, const QMainWindow* main);

// Moves (and if need be shrinks) the top-level window `w` so that its frame lies inside the free
// area of its screen (`area`; empty: availableArea). Nothing changes for a window that fits.
void fitOnScreen(QWidget& w, QRect area = {});

// Sizes the top-level window `w` to its content as it is now (texts translated): a window of fixed
// size takes its layout's size, another grows to its layout's wish. Either way not beyond the room
// of `area`; pages that scroll (ScrollPage) then scroll.
void fitToContent(QWidget& w, const QRect& area);
// Grows `w` by what its scrolling pages lack to show their content whole (a page whose text wraps
// needs the height its width gives it), where `area` has room.
void growForScrollingPages(QWidget& w, const QRect& area);

// Installed on the application, sizes every window and dialog to its content and fits it on screen
// as it is shown, clear of the main window's menus (menus, tool tips and other pop-ups place
// themselves). Install it before the filter that translates the windows' texts (filters installed
// later run first), so that it sizes them for the texts they show.
class KeepOnScreen : public QObject {
public:
    explicit KeepOnScreen(QMainWindow* main = nullptr, QObject* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QMainWindow> m_main;
};
