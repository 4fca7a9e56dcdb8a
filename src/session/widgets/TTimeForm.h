#pragma once
// The time setup dialog of "&Time": start time, time source (PC clock or the server's model
// time) and speed. Every field is a spin box, so the dialog cannot hand over a value outside its
// range.

#include "session/ModelClock.h"

#include <QDialog>

class QGroupBox;
class QRadioButton;
class QSpinBox;

class TTimeForm : public QDialog {
    Q_OBJECT
public:
    explicit TTimeForm(QWidget* parent = nullptr);

    QSpinBox* edHours;
    QSpinBox* edMin;
    QSpinBox* esSecs;
    QGroupBox* rgServer;
    QRadioButton* pcClock;
    QRadioButton* kavoServer;
    QGroupBox* rgSpeed;
    QRadioButton* increase;
    QRadioButton* decrease;
    QSpinBox* edSpeed;

    // The values as they stand.
    TimeSetup values() const;
    // Selecting "Kavo server" enables the speed; "PC clock" disables it and sets it to 1.
    void rgServerClick();

protected:
    void showEvent(class QShowEvent* event) override;

private:
    void FormShow();
};

extern TTimeForm* TimeForm;
