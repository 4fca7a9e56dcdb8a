#pragma once
// The keyboard of the main window: the emergency stop, power on and off and the throttles, each
// an item of the "&Commands" menu (so the menu shows its key) that runs what the mouse runs.
//
//   F12          emergency stop: every loco stopped as by the layout's emergency stop element, then
//                the power switched off. It works in every mode and from every window of the
//                program, a modal dialog included (the key is taken before any window sees it).
//   F9 / F11     power on / off ("Voltage on", "Voltage off").
//   1 .. 9, 0    choose throttle 1 .. 10;  + / -  faster / slower;  R  reverse;  S  stop this loco;
//   L            function F0;  F1 .. F4  functions F1 .. F4 of the chosen throttle.
// The throttle keys act only while the main window has the keyboard and no text field takes the
// key, so they never get in the way of typing. Create the host after the loco control host.

#include <QObject>

#include <memory>

class LocoControlHost;
class QAction;
class QActionGroup;
class ThrottleKeys;
class TMainForm;

class KeysHost : public QObject {
    Q_OBJECT
public:
    KeysHost(TMainForm& form, LocoControlHost& loco);
    ~KeysHost() override;

    ThrottleKeys* throttleKeys() const { return m_keys.get(); }
    // The emergency stop item "Nothalt1" runs this.
    void emergencyStop();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenu();
    void applyLanguage();
    void selectThrottle(int Device);

    TMainForm& m_form;
    LocoControlHost& m_loco;
    std::unique_ptr<ThrottleKeys> m_keys;
    QActionGroup* m_choice = nullptr;
};
