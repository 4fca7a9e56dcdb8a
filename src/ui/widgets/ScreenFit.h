#pragma once
// Keeps windows inside the screen they open on, at any scale factor: a window that would reach
// past the screen's free area is moved back into it, and one larger than the area is made smaller.

#include <QObject>
#include <QRect>

class QWidget;

// The free area (without panels and docks) of the screen that holds the middle of `w`, or of the
// screen `w` is on.
QRect availableArea(const QWidget& w);

// Moves (and if need be shrinks) the top-level window `w` so that its frame lies inside the free
// area of its screen. Nothing changes for a window that fits.
void fitOnScreen(QWidget& w);

// Installed on the application, fits every window and dialog on screen as it is shown (menus,
// tool tips and other pop-ups place themselves).
class KeepOnScreen : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
