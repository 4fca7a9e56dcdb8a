// Fuzz target: a profile (ini) file as the protocol lists read it. Whatever the text holds, the
// lists load what they can; saved into a profile and loaded again, they give the same protocols,
// and the saved profile text reads back to itself.

#include "moba/MoBaIniFile.h"
#include "moba/MoBaProtocolLists.h"
#include "moba/MoBaProtocols.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

// The profile text of a list's protocols, which says everything they hold.
std::string saved(TMoBaBaseProtocolList& list)
{
    TMoBaIniFile ini("");
    list.SaveToIniFile(ini);
    return ini.Text();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    TMoBaIniFile ini("");
    ini.SetText(text);

    // Every section and key the file names can be asked for.
    for (const std::string& section : ini.ReadSections()) {
        require(ini.SectionExists(section));
        for (const std::string& key : ini.ReadSection(section)) {
            require(ini.ValueExists(section, key));
            (void)ini.ReadInteger(section, key, 0);
        }
    }
    // The text as written reads back to itself.
    TMoBaIniFile again("");
    again.SetText(ini.Text());
    require(again.Text() == ini.Text());

    TMoBaLocoProtocolList locos;
    TMoBaSolenoidProtocolList solenoids;
    locos.LoadFromIniFile(ini);
    solenoids.LoadFromIniFile(ini);
    for (TMoBaBaseProtocolList* list : {static_cast<TMoBaBaseProtocolList*>(&locos),
                                        static_cast<TMoBaBaseProtocolList*>(&solenoids)}) {
        const std::string first = saved(*list);
        TMoBaIniFile reread("");
        reread.SetText(first);
        list->LoadFromIniFile(reread);
        require(saved(*list) == first);
    }
    return 0;
}
