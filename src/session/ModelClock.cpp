#include "session/ModelClock.h"

#include "base/AppState.h"
#include "srcp/SRCPDeviceGroups.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double MsPerDay = 86400000.0;
}

double encodeTime(int hours, int minutes, int seconds)
{
    return ((hours * 60.0 + minutes) * 60.0 + seconds) * 1000.0 / MsPerDay;
}

ClockTime decodeTime(double dateTime)
{
    if (!std::isfinite(dateTime))
        return {};
    const double fraction = dateTime - std::floor(dateTime);
    long long ms = std::llround(fraction * MsPerDay);
    if (ms >= 86400000LL)
        ms = 0;
    const long long s = ms / 1000;
    return {int(s / 3600), int(s / 60 % 60), int(s % 60)};
}

bool ModelClock::setup(const TimeSetup& values, TSRCPCustomTime* serverTime)
{
    std::function<void(int, int, double)> start;
    if (serverTime)
        start = [serverTime](int fx, int fy, double time) { startServerTime(*serverTime, fx, fy, time); };
    return setup(values, start);
}

void ModelClock::startServerTime(TSRCPCustomTime& serverTime, int fx, int fy, double time)
{
    serverTime.SetMultiplicator(fx);
    serverTime.SetDivisor(fy);
    if (serverTime.Enabled()) {
        // A running clock takes a new speed-up only with INIT.
        serverTime.Initalize();
        serverTime.SetDateTime(time);
        return;
    }
    serverTime.SetDateTime(time);
    serverTime.SetEnabled(true);
}

bool ModelClock::setup(const TimeSetup& values, const std::function<void(int fx, int fy, double time)>& startServerTime)
{
    const int hours = std::clamp(values.hours, 0, 23);
    const int minutes = std::clamp(values.minutes, 0, 59);
    const int seconds = std::clamp(values.seconds, 0, 59);
    const int speed = std::clamp(values.speed, 1, 10);
    Settime = encodeTime(hours, minutes, seconds);
    m_main.KavoTime = Settime;
    Faktx = values.decrease ? 1 : speed;
    Fakty = values.decrease ? speed : 1;
    if (!values.kavoServer) {
        KavoMaster = false;
        return true;
    }
    KavoMaster = true;
    KavoSeconds = std::uint16_t(seconds);  // the seconds hand goes on from the time set
    bool set = false;
    if (m_main.SrcpVer != 73 && startServerTime) {
        startServerTime(Faktx, Fakty, Settime);
        set = true;
    }
    m_main.KavoTime = Settime;
    return set;
}

void ModelClock::stopServerTime(TSRCPCustomTime* serverTime)
{
    if (serverTime)
        serverTime->SetEnabled(false);
}

void ModelClock::SRCPCl2TimeChange(const TSRCPCustomTime* time)
{
    if (!time || time->Bus() != 0)
        return;
    serverTimeChanged(time->DateTime());
}

void ModelClock::serverTimeChanged(double value)
{
    // A message the time group did not take (a time that is no time of day) leaves its time as it
    // was: the seconds go on instead of starting again.
    if (!std::isfinite(value) || value == m_lastServerTime)
        return;
    m_lastServerTime = value;
    m_main.KavoTime = value;
    KavoSeconds = 0;
}

int ModelClock::timerInterval() const
{
    const long long x = Faktx > 0 ? Faktx : 1;
    const long long y = Fakty > 0 ? Fakty : 1;
    return int(std::clamp(y * 1000 / x, 1LL, 3600LL * 1000));
}

ClockTime ModelClock::tick(const QTime& now)
{
    if (KavoMaster) {
        if (KavoSeconds < 60)
            ++KavoSeconds;
        ClockTime t = decodeTime(m_main.KavoTime);
        t.seconds = KavoSeconds;
        return t;
    }
    const QTime pc = now.isValid() ? now : QTime(0, 0);
    KavoSeconds = std::uint16_t(pc.second());
    return {pc.hour(), pc.minute(), pc.second()};
}

ClockTime ModelClock::shown(const QTime& now) const
{
    if (KavoMaster) {
        ClockTime t = decodeTime(m_main.KavoTime);
        t.seconds = KavoSeconds;
        return t;
    }
    const QTime pc = now.isValid() ? now : QTime(0, 0);
    return {pc.hour(), pc.minute(), pc.second()};
}

QString ModelClock::caption(const ClockTime& t)
{
    // Shown on every tick (up to a thousand a second at a high speed-up): built in one piece.
    QString out;
    out.reserve(8);
    const auto two = [&out](int v) {
        if (v >= 0 && v <= 99) {
            out += QChar(u'0' + v / 10);
            out += QChar(u'0' + v % 10);
        } else {
            out += QString::number(v);
        }
    };
    two(t.hours);
    out += u':';
    two(t.minutes);
    out += u':';
    two(t.seconds);
    return out;
}

ClockHands ModelClock::hands(const ClockTime& t)
{
    ClockHands h;
    h.secs = t.seconds * 6;
    h.mins = t.minutes * 6;
    h.hrs = t.hours * 30;
    h.hourHand = h.hrs + t.minutes * 0.5;
    return h;
}
