#pragma once
// Puts the joystick throttles into the main window: the controllers (TJoystick, global Joystick),
// the model, the controls below the throttles, the polling timer, the two test windows behind "Test
// joystick", and the start of the chosen module when the window is shown and after the settings
// dialog. Create it after the loco control host.
//
// QUARN_VIRTUAL_JOYSTICKS plugs software controllers in at start (see VirtualJoystick.h), so the
// joystick throttles can be tried and shown without a controller.

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <vector>

class JoyPanel;
class JoystickControl;
class LocoControlHost;
class LocoIcons;
class QDialog;
class QTimer;
class TJoyDxForm;
class TJoyWinForm;
class TJoystick;
class TMainForm;
class VirtualJoystick;

class JoystickHost : public QObject {
    Q_OBJECT
public:
    JoystickHost(TMainForm& form, LocoControlHost& loco);
    ~JoystickHost() override;

    JoystickControl* control() const { return m_control.get(); }
    TJoystick* joystick() const { return m_joystick.get(); }
    JoyPanel* panel() const { return m_panel; }
    QTimer* pollTimer() const { return m_timer; }
    TJoyDxForm* dxForm() const { return m_dxForm.get(); }
    TJoyWinForm* winForm() const { return m_winForm.get(); }

    // "Test joystick": the test window of the chosen module, modal (through showModal).
    void Joystickcalibrieren1Click();
    std::function<void(QDialog*)> showModal;

private:
    void tick();

    TMainForm& m_form;
    std::unique_ptr<TJoystick> m_joystick;
    std::vector<std::unique_ptr<VirtualJoystick>> m_virtual;
    std::unique_ptr<LocoIcons> m_icons;
    std::unique_ptr<JoystickControl> m_control;
    std::unique_ptr<TJoyDxForm> m_dxForm;
    std::unique_ptr<TJoyWinForm> m_winForm;
    JoyPanel* m_panel = nullptr;
    QTimer* m_timer = nullptr;
    bool m_inTick = false;
};
