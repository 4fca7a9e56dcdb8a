#pragma once
// The joystick controls below the throttles: "Joystick1" and "Joystick 2" (a left click waits for
// a regulator to bind to, a right click unbinds), the labels Joylabel1 / Joylabel2 and the four
// button pictures of each joystick (Joy1func_pic1 .. Joy2func_pic4), which act like the
// controller's buttons when clicked.

#include <QWidget>

#include <array>

class ClickImage;
class JoystickControl;
class QLabel;
class QPushButton;

class JoyPanel : public QWidget {
    Q_OBJECT
public:
    explicit JoyPanel(JoystickControl& model, QWidget* parent = nullptr);

    // Shows what the model holds for joystick 1 / 2 (0: both).
    void refresh(int joy);

    QPushButton* button(int joy) const { return m_button[static_cast<std::size_t>(joy - 1)]; }
    QLabel* label(int joy) const { return m_label[static_cast<std::size_t>(joy - 1)]; }
    ClickImage* pic(int joy, int k) const
    {
        return m_pic[static_cast<std::size_t>(joy - 1)][static_cast<std::size_t>(k - 1)];
    }

private:
    JoystickControl& m_model;
    std::array<QPushButton*, 2> m_button{};
    std::array<QLabel*, 2> m_label{};
    std::array<std::array<ClickImage*, 4>, 2> m_pic{};
};
