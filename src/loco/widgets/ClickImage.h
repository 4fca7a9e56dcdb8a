#pragma once
// A small picture that reports mouse presses (the function images of the throttles and the slots
// and palette of the loco setup dialog).

#include <QLabel>
#include <QMouseEvent>

class ClickImage : public QLabel {
    Q_OBJECT
public:
    explicit ClickImage(const QString& name, QWidget* parent = nullptr) : QLabel(parent)
    {
        setObjectName(name);
        setFixedSize(15, 15);
        setAlignment(Qt::AlignCenter);
    }

signals:
    void pressed(Qt::MouseButton button);

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        emit pressed(event->button());
        QLabel::mousePressEvent(event);
    }
};
