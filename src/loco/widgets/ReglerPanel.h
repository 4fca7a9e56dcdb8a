#pragma once
// The throttle panel: ten regulators side by side, each a vertical speed slider (ScrollBar<n>), a
// direction button (SpeedButton<n>), a centre-zero check box (CheckBox<n>), the address label
// (Regler<n>_label) and the five function pictures (Func_pic<n>, Func1_pic<n> .. Func4_pic<n>), and
// the name label of the loco last touched (Lokname_label). It shows ThrottleModel and forwards the
// controls' events to it.

#include <QWidget>

#include <array>

class ThrottleModel;
class QCheckBox;
class QLabel;
class QScrollBar;
class QToolButton;
class ClickImage;

class ReglerPanel : public QWidget {
    Q_OBJECT
public:
    explicit ReglerPanel(ThrottleModel& model, QWidget* parent = nullptr);

    // Shows what the model holds for regulator `Device` (-1: the name label only).
    void refresh(int Device);
    void refreshAll();
    // Marks the regulator the keyboard drives (a lighter background behind its column).
    void setSelected(int Device);

    QScrollBar* scrollBar(int Device) const { return m_reg[static_cast<std::size_t>(Device)].slider; }
    QToolButton* speedButton(int Device) const { return m_reg[static_cast<std::size_t>(Device)].direction; }
    QCheckBox* checkBox(int Device) const { return m_reg[static_cast<std::size_t>(Device)].centreZero; }
    QLabel* addressLabel(int Device) const { return m_reg[static_cast<std::size_t>(Device)].address; }
    // k = 0 for F0, 1..4 for F1..F4.
    ClickImage* funcPic(int Device, int k) const
    {
        return m_reg[static_cast<std::size_t>(Device)].func[static_cast<std::size_t>(k)];
    }
    QLabel* loknameLabel() const { return m_lokname; }

private:
    struct Controls {
        QScrollBar* slider = nullptr;
        QToolButton* direction = nullptr;
        QCheckBox* centreZero = nullptr;
        QLabel* address = nullptr;
        std::array<ClickImage*, 5> func{};
        QWidget* column = nullptr;
    };
    ThrottleModel& m_model;
    std::array<Controls, 10> m_reg;
    QLabel* m_lokname = nullptr;
};
