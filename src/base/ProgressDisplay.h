#pragma once
// The progress display of long operations (the main window's progress bar, its percentage label
// and status bar panel 1). Model code reports through it; tests record the calls.

class ProgressDisplay {
public:
    virtual ~ProgressDisplay() = default;
    // Shows the bar with range 0..count at position 0, "0 %" and the busy cursor.
    virtual void begin(int count) = 0;
    // Moves the bar to `position` and shows `percent` followed by " %".
    virtual void step(int position, int percent) = 0;
    // Hides the bar and the label, empties status panel 1, normal cursor.
    virtual void end() = 0;
};

// Calls end() when it goes out of scope, also when an error ends the operation.
class ProgressScope {
public:
    ProgressScope(ProgressDisplay& display, int count) : m_display(display) { m_display.begin(count); }
    ~ProgressScope() { m_display.end(); }
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;

private:
    ProgressDisplay& m_display;
};
