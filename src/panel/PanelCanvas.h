#pragma once
// The visible panel: what the paint box "Quarn" shows, a window onto the layout picture at the
// scroll offsets. Drawing happens here and in the picture; the widget only shows `surface` and is
// told through `changed` which part to repaint.

#include <QImage>
#include <QRect>

#include <functional>

struct PanelCanvas {
    QImage surface;                              // client size of the panel
    std::function<void(const QRect&)> changed;   // set by the widget
    void notify(const QRect& r) const
    {
        if (changed)
            changed(r);
    }
};
