#pragma once
// A page of a dialog that keeps its full size where the screen has room and scrolls where it has
// not (a small screen, a large scale factor, a long translation): the dialog's buttons stay on the
// screen. Unlike a plain scroll area it never asks for less than its page needs.

#include <QScrollArea>

class ScrollPage : public QScrollArea {
public:
    // Takes ownership of `page`.
    explicit ScrollPage(QWidget* page, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
};
