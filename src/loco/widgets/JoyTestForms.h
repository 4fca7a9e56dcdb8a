#pragma once
// The two joystick test windows of "Test joystick": TJoyDxForm for the two-controller module (stick
// Y of joystick 1 and 2 on two track bars, buttons 1..4 as check boxes F0..F3) and TJoyWinForm for
// the one-controller module (raw Y and Z on two track bars, the button word as one of six check
// boxes). "Test" stops the polling timer and starts the window's own reading; "Exit" (or closing
// the window) stops it and starts the polling timer again. "Calibrate" starts the system's joystick
// calibration tool when one is installed (jstest-gtk) and is disabled otherwise.

#include <QDialog>

#include <array>
#include <functional>

struct AppState;
class JoystickControl;
class JoystickSource;
class QCheckBox;
class QLabel;
class QPushButton;
class QSlider;
class QTimer;
class UserDialogs;

// The calibration tool found on the search path, or an empty string.
QString joystickCalibrationTool();

class JoyTestBase : public QDialog {
    Q_OBJECT
public:
    JoyTestBase(JoystickSource& source, JoystickControl& control, QWidget* parent);

    // "Test", "Calibrate", "Exit".
    virtual void Test_buttonClick() = 0;
    void CalButtonClick();
    void Exit_buttonClick();
    // One reading of the test timer.
    virtual void TestTimerTimer() = 0;

    QTimer* testTimer() const { return TestTimer; }
    // How the calibration tool is started; tests replace it.
    std::function<bool(const QString& program)> startTool;

protected:
    void done(int r) override;
    QWidget* buttonRow();

    JoystickSource& m_source;
    JoystickControl& m_control;
    QTimer* TestTimer = nullptr;
    QPushButton* Test_button = nullptr;
    QPushButton* CalButton = nullptr;
    QPushButton* Exit_button = nullptr;
};

class TJoyDxForm : public JoyTestBase {
    Q_OBJECT
public:
    TJoyDxForm(JoystickSource& source, JoystickControl& control, QWidget* parent = nullptr);
    void Test_buttonClick() override;
    void TestTimerTimer() override;
    // Label1 shows the Joysetup flag.
    void showJoysetup(bool on);

    QSlider* trackBar(int joy) const { return joy == 1 ? TrackBar1 : TrackBar2; }
    // Check box F<k> (k = 0..4) of joystick 1 / 2.
    QCheckBox* box(int joy, int k) const { return m_box[static_cast<std::size_t>(joy - 1)][static_cast<std::size_t>(k)]; }

private:
    QSlider* TrackBar1 = nullptr;
    QSlider* TrackBar2 = nullptr;
    QLabel* Label1 = nullptr;
    std::array<std::array<QCheckBox*, 5>, 2> m_box{};
    bool m_second = false;
};

class TJoyWinForm : public JoyTestBase {
    Q_OBJECT
public:
    TJoyWinForm(AppState& main, UserDialogs& dialogs, JoystickSource& source, JoystickControl& control,
                QWidget* parent = nullptr);
    void Test_buttonClick() override;
    void TestTimerTimer() override;
    // Range and value labels are shown in debug mode only.
    void setDebug(bool on);

    QSlider* trackBarY() const { return TrackBarY; }
    QSlider* trackBarZ() const { return TrackBarZ; }
    // Check box i (0: button 1, 1: button 2, 2: both) of joystick 1 / 2.
    QCheckBox* box(int joy, int i) const { return m_box[static_cast<std::size_t>(joy - 1)][static_cast<std::size_t>(i)]; }
    QLabel* resultLabel() const { return m_result; }

private:
    AppState& m_main;
    UserDialogs& m_dialogs;
    QSlider* TrackBarY = nullptr;
    QSlider* TrackBarZ = nullptr;
    QLabel* m_result = nullptr;
    std::array<QLabel*, 4> m_range{};
    std::array<QLabel*, 2> m_value{};
    std::array<std::array<QCheckBox*, 3>, 2> m_box{};
};
