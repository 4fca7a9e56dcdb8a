#pragma once
// The model clock without its window: which time the clock shows on each tick, how fast it ticks,
// where its hands stand, and what "&Time" and the server's time messages change. The time shown
// is either the PC's time of day or the server's model time (KavoTime, from the last time message
// or the time set); in that case the seconds count the clock's ticks since the last message and
// stop at 60 until the next one.

#include <QString>
#include <QTime>

#include <cstdint>

struct AppState;
#include <functional>

class TSRCPCustomTime;

// Date-and-time values are days since 30 December 1899, the fraction being the time of day.
double encodeTime(int hours, int minutes, int seconds);

struct ClockTime {
    int hours = 0;    // 0..23
    int minutes = 0;  // 0..59
    int seconds = 0;  // 0..60 (60: a model minute has run out before the server's next message)
    bool operator==(const ClockTime&) const = default;
};

// The time of day of a date-and-time value; 00:00:00 for a value that is not a finite number.
ClockTime decodeTime(double dateTime);

// What the time setup dialog hands over when it is closed with "&Set".
struct TimeSetup {
    int hours = 0, minutes = 0, seconds = 0;  // kept within 0..23, 0..59, 0..59
    bool kavoServer = false;                  // false: "PC clock"
    bool decrease = false;                    // false: "increase"
    int speed = 1;                            // kept within 1..10
};

// The hands' angles in degrees, clockwise from 12 o'clock.
struct ClockHands {
    int secs = 0;     // seconds x 6
    int mins = 0;     // minutes x 6
    int hrs = 0;      // hours x 30 (whole hours; 13 gives 390, the same place as 1 o'clock)
    double hourHand = 0;  // where the hour hand is drawn: hrs plus half a degree per minute
};

class ModelClock {
public:
    explicit ModelClock(AppState& main) : m_main(main) {}

    bool KavoMaster = false;       // the server is the time source
    std::int32_t Faktx = 1;        // speed numerator
    std::int32_t Fakty = 1;        // speed denominator
    std::uint16_t KavoSeconds = 0; // the seconds shown in server mode
    double Settime = 0;            // the time last set

    // Steps a to c of a confirmed "&Time": takes the dialog's values, and with "Kavo server" hands
    // speed and time to the server's time device when there is one (INIT 0 TIME, then
    // SET 0 TIME). `serverTime` is bus 0's time group of a connected SRCP 0.8 client, or nullptr.
    // Returns false when the server was chosen but no time device could be set.
    bool setup(const TimeSetup& values, TSRCPCustomTime* serverTime);
    // The same with the server's clock reached through `startServerTime` (speed-up numerator and
    // denominator, model time); none: there is no server clock.
    bool setup(const TimeSetup& values, const std::function<void(int fx, int fy, double time)>& startServerTime);

    // Gives a time group a new speed-up and time: INIT 0 TIME with the factor (also while its
    // clock runs, so a new speed-up reaches it), then SET 0 TIME.
    static void startServerTime(TSRCPCustomTime& serverTime, int fx, int fy, double time);

    // "&Time" unchecked: the server's time device stops (TERM 0 TIME).
    static void stopServerTime(TSRCPCustomTime* serverTime);

    // The server reported a new model time. `time` is the time group that changed; only bus 0's
    // counts (any other sender, or none, is ignored).
    void SRCPCl2TimeChange(const TSRCPCustomTime* time);
    // The same with the time value bus 0's time group holds now.
    void serverTimeChanged(double value);

    // Milliseconds between two ticks: Fakty x 1000 div Faktx (1000 at speed 1).
    int timerInterval() const;

    // One tick: the time to show now. `now` is the PC's time of day.
    ClockTime tick(const QTime& now);
    // The time shown without a tick (when the window appears).
    ClockTime shown(const QTime& now) const;

    // "07:05:09": two digits each.
    static QString caption(const ClockTime& t);
    static ClockHands hands(const ClockTime& t);

private:
    AppState& m_main;
    double m_lastServerTime = -1e300;  // the server time last taken
};
