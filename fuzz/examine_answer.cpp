// Fuzz target: any line a server may send goes through the answer parser, the line builder and
// the device groups. Nothing may crash, leak or invoke undefined behaviour.

#include "srcp/SRCPCmd.h"
#include "srcp/SRCPDeviceGroups.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static TSRCPCmd reused;
    static TSRCPLoco loco;
    static TSRCPAccessoire accessory;
    static TSRCPFeedback feedback;
    static TSRCPPower power;
    static TSRCPTime time;
    static TSRCPDescription description;
    static bool setUp = [] {
        reused.SetSRCPVersion(cv082);
        for (TSRCPBaseDeviceGroup* g : std::initializer_list<TSRCPBaseDeviceGroup*>{
                 &loco, &accessory, &feedback, &power, &time, &description})
            g->SetEventMode(semAll);
        return true;
    }();
    (void)setUp;

    std::string_view line(reinterpret_cast<const char*>(data), size);

    // A reused command reads a line exactly as a fresh one does.
    bool accepted = reused.ExamineAnswer(line);
    TSRCPCmd fresh;
    fresh.SetSRCPVersion(cv082);
    if (fresh.ExamineAnswer(line) != accepted || fresh.CommandType() != reused.CommandType() ||
        fresh.DeviceGroup() != reused.DeviceGroup())
        std::abort();

    if (!accepted)
        reused.SetDeviceGroup(dgInvalid);
    for (TSRCPBaseDeviceGroup* g : std::initializer_list<TSRCPBaseDeviceGroup*>{
             &loco, &accessory, &feedback, &power, &time, &description})
        g->SetDataAnswer(reused);
    (void)reused.Command();

    TSRCPCmd old;
    old.SetSRCPVersion(cv073);
    old.ExamineAnswer(line);
    (void)old.Command();
    return 0;
}
