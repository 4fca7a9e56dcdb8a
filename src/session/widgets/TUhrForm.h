#pragma once
// The analogue clock window: a small tool window that stays on top and shows the model clock's
// time with hour, minute and red seconds hand. It can only be closed by unchecking "&Time" or by
// leaving the server (FormCanClose); its timer runs from creation at the clock's speed.

#include "session/ModelClock.h"

#include <QPoint>
#include <QTimer>
#include <QWidget>

class TUhrForm : public QWidget {
    Q_OBJECT
public:
    static constexpr int ClientWidth = 152;  // the height follows the width

    explicit TUhrForm(ModelClock& clock, QWidget* parent = nullptr);

    bool FormCanClose = false;
    QTimer Timer1;
    QPoint Center;
    int OldHrs = 0, OldMins = 0, OldSecs = 0;  // angles in degrees of the hands shown

    // One tick of the clock: caption and hands from the clock's time.
    void Timer1Timer();
    // The time shown now (caption "hh:mm:ss").
    const ClockTime& shownTime() const { return m_shown; }

    // Draws the clock face and hands into `painter`'s device of the window's size.
    void paintClock(class QPainter& painter) const;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void FormShow();
    void showTime(const ClockTime& t);

    ModelClock& m_clock;
    ClockTime m_shown;
    double m_hourHand = 0;
};

extern TUhrForm* UhrForm;
