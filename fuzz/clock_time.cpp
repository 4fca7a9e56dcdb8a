// Fuzz target: the server's time lines as the clock takes them. Any line goes through the answer
// parser into bus 0's time group; a change reaches the model clock, which must then show a time of
// day (hours 0..23, minutes 0..59, seconds 0..60) whatever the server sent, tick after tick, and
// keep its tick interval within one millisecond and one hour.

#include "base/AppState.h"
#include "session/ModelClock.h"
#include "srcp/SRCPCmd.h"
#include "srcp/SRCPDeviceGroups.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

void requireTimeOfDay(const ClockTime& t)
{
    require(t.hours >= 0 && t.hours <= 23);
    require(t.minutes >= 0 && t.minutes <= 59);
    require(t.seconds >= 0 && t.seconds <= 60);
    const ClockHands h = ModelClock::hands(t);
    require(h.secs == t.seconds * 6 && h.mins == t.minutes * 6 && h.hrs == t.hours * 30);
    require(ModelClock::caption(t).size() == 8);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static AppState main;  // holds the layout pictures (megabytes): made once
    main.KavoTime = 0;
    ModelClock clock(main);
    clock.KavoMaster = true;
    TSRCPTime time;
    time.SetBus(0);
    int changes = 0;
    time.SetOnChange([&](TSRCPBaseDeviceGroup&) {
        ++changes;
        clock.SRCPCl2TimeChange(&time);
        clock.Faktx = time.Multiplicator();
        clock.Fakty = time.Divisor();
    });

    // One line per input line, as the info session reads them.
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    TSRCPCmd cmd;
    cmd.SetSRCPVersion(cv082);
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (!cmd.ExamineAnswer(line))
            continue;
        time.SetDataAnswer(cmd);
        const int interval = clock.timerInterval();
        require(interval >= 1 && interval <= 3600 * 1000);
        requireTimeOfDay(decodeTime(time.DateTime()));
        requireTimeOfDay(clock.tick(QTime(12, 0, 0)));
    }
    // The seconds of a model minute stop at 60 until the next message.
    for (int i = 0; i < 70; ++i)
        requireTimeOfDay(clock.tick(QTime(12, 0, 0)));
    require(changes >= 0);
    return 0;
}
