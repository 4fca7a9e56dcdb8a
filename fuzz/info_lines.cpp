// Fuzz target: SRCP 0.8 info lines as the info session hands them on: parsed, then dispatched to
// every registered device group of the line's group and bus (or to all with event mode semAll),
// whose handlers look at what the group now holds. A handler that unregisters a group, as the
// component's do when a bus goes away, must not disturb the dispatch of the same line.

#include "srcp/SRCPClient.h"
#include "srcp/SRCPDeviceGroups.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Handlers run where they are handed over; here at once, on this thread.
    TSRCPInfoClient info([](std::function<void()> f) { f(); });
    info.SetVersion(cv082);

    std::vector<std::unique_ptr<TSRCPBaseDeviceGroup>> groups;
    auto add = [&](std::unique_ptr<TSRCPBaseDeviceGroup> g, int bus, TSRCPEventMode mode) {
        g->SetBus(bus);
        g->SetEventMode(mode);
        g->SetInfoClient(&info);
        groups.push_back(std::move(g));
        return groups.back().get();
    };
    for (int bus : {0, 1, 8}) {
        add(std::make_unique<TSRCPPower>(), bus, semBus);
        add(std::make_unique<TSRCPLoco>(), bus, semBus);
        add(std::make_unique<TSRCPAccessoire>(), bus, semBus);
        add(std::make_unique<TSRCPFeedback>(), bus, semBus);
        add(std::make_unique<TSRCPDescription>(), bus, semBus);
    }
    auto* time = static_cast<TSRCPTime*>(add(std::make_unique<TSRCPTime>(), 0, semBus));
    auto* anyFeedback = add(std::make_unique<TSRCPFeedback>(), 3, semAll);
    auto* anyLoco = add(std::make_unique<TSRCPLoco>(), 2, semAll);

    int events = 0;
    for (auto& g : groups) {
        g->SetOnChange([&](TSRCPBaseDeviceGroup& sender) {
            ++events;
            (void)sender.Cmd().DeviceGroup();
            (void)sender.DeviceState();
        });
        g->SetOnInit([&](TSRCPBaseDeviceGroup&) { ++events; });
        g->SetOnTerm([&](TSRCPBaseDeviceGroup&) { ++events; });
    }
    time->SetOnChange([&](TSRCPBaseDeviceGroup&) { (void)time->DateTime(); });
    // The first change of the catch-all loco group takes the catch-all feedback group away.
    anyLoco->SetOnChange([&](TSRCPBaseDeviceGroup&) { anyFeedback->SetInfoClient(nullptr); });

    std::string_view rest(reinterpret_cast<const char*>(data), size);
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        std::string line(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        info.DoDataReceive(line);
    }
    require(events >= 0);
    for (auto& g : groups)
        g->SetInfoClient(nullptr);
    return 0;
}
