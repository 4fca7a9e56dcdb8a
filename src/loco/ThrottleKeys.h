#pragma once
// The throttles from the keyboard: one regulator is chosen (1 to 10), and the keys move its
// slider, click its direction button or its function pictures exactly as the mouse would, so the
// loco receives the same commands.

class ThrottleModel;

class ThrottleKeys {
public:
    explicit ThrottleKeys(ThrottleModel& model) : m_model(model) {}

    // The chosen regulator, 0..9 (regulator 1 at start).
    int selected() const { return m_selected; }
    void select(int Device);

    // Slider one step towards full speed / towards standstill. In centre-zero operation full
    // speed lies at both ends: "faster" moves away from the middle on the side the loco runs,
    // "slower" moves towards the middle and stops there.
    void faster();
    void slower();
    // Slider to standstill: the bottom, or the middle in centre-zero operation.
    void stop();
    // The direction button (changes the direction only when the loco nearly stands, as a click).
    void reverse();
    // Function picture F0 (k = 0) or F1..F4.
    void function(int k);

    // Slider positions one key press moves for a slider of range 0..max: a twentieth of the
    // range, at least one step.
    static int step(int max);

private:
    ThrottleModel& m_model;
    int m_selected = 0;
};
