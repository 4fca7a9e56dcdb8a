#include "SRCPTables.h"

#include "SRCPSyntax.h"

#include <cstddef>

namespace {

// A version without its own code column reads the 0.8.2 column.
constexpr std::size_t column(TSRCPCommandVersion v) { return v == cv073 ? 0 : 1; }

template <std::size_t N>
TSRCPCommandType searchCode(const std::array<TSRCPTranslate, N>& table, std::int32_t code, TSRCPCommandVersion v)
{
    for (const auto& row : table)
        if (row.RespCode[column(v)] == code)
            return row.CmdType;
    return ctInvalid;
}

} // namespace

std::string_view SRCPCommandTypeWord(TSRCPCommandType t)
{
    if (t <= ctGo)
        return CommandCommandTypes[t].Desc;
    if (t <= ctSetMode)
        return "SET";
    if (t <= ctInfoGuess)
        return "INFO";
    if (t <= ctOKConnectionMode)
        return "OK";
    return "ERROR";
}

std::int32_t SRCPCommandTypeToCode(TSRCPCommandType t, TSRCPCommandVersion version)
{
    if (t <= ctWelcome)
        return 0;
    if (t <= ctInfoGuess)
        return InfoCommandTypes[t - ctWelcome].RespCode[column(version)];
    if (t <= ctOKConnectionMode)
        return ConfirmationCommandTypes[t - ctConfirmation].RespCode[column(version)];
    if (t <= ctInvalid)
        return ErrorCommandTypes[t - ctErrorStart].RespCode[column(version)];
    return ErrorCommandTypes.back().RespCode[0];
}

TSRCPCommandType SRCPCodeToCommandType(std::int32_t code, TSRCPCommandVersion version)
{
    if (code >= 100 && code <= 199)
        return searchCode(InfoCommandTypes, code, version);
    if (code >= 200 && code <= 299)
        return searchCode(ConfirmationCommandTypes, code, version);
    if (code >= 400 && code <= 699)
        return searchCode(ErrorCommandTypes, code, version);
    return ctInvalid;
}

std::string_view SRCPErrorText(TSRCPCommandType t)
{
    if (t >= ctErrorStart && t <= ctInvalid)
        return ErrorCommandTypes[t - ctErrorStart].Desc;
    return ErrorCommandTypes.back().Desc;
}

TSRCPDeviceGroup SRCPDevGroupOfWord(std::string_view word)
{
    for (int g = 0; g < SRCPDeviceCount; ++g)
        if (SRCPSameText(DeviceGroups[g].Desc, word))
            return DeviceGroups[g].DevGroup;
    return dgInvalid;
}

std::string_view SRCPDevGroupWord(TSRCPDeviceGroup g)
{
    return DeviceGroups[g <= dgInvalid ? g : dgInvalid].Desc;
}

TSRCPCommandVersion SRCPVersionOfWord(std::string_view word)
{
    for (const auto& v : VersionInfos)
        if (SRCPSameText(v.Desc, word))
            return v.Version;
    return cvUnknown;
}

std::string_view SRCPVersionWord(TSRCPCommandVersion v)
{
    return VersionInfos[v <= cvUnknown ? v : cvUnknown].Desc;
}

bool SRCPVersionOffers(std::string_view offered, TSRCPCommandVersion wanted)
{
    if (wanted == cvUnknown)
        return false;
    if (SRCPVersionOfWord(offered) == wanted)
        return true;
    if (wanted != cv082 || offered.size() < 5 || offered.substr(0, 4) != "0.8.")
        return false;
    // a later 0.8 revision: "0.8." followed by a number of 2 or more
    std::string_view rev = offered.substr(4);
    unsigned value = 0;
    for (char c : rev) {
        if (c < '0' || c > '9')
            return false;
        if (value < 100000)
            value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value >= 2;
}

bool SRCPAddressTypeOfWord(std::string_view word, TSRCPServiceModeType& type)
{
    for (const auto& t : SRCPAMAddressTypes)
        if (SRCPSameText(t.Desc, word)) {
            type = t.AddressType;
            return true;
        }
    return false;
}

std::string_view SRCPAddressTypeWord(TSRCPServiceModeType t)
{
    return SRCPAMAddressTypes[t <= smtInvalid ? t : smtInvalid].Desc;
}

bool SRCPServerStateOfWord(std::string_view word, TSRCPServerState& state)
{
    state = ssInvalid;
    for (const auto& s : SRCPServerStates)
        if (SRCPSameText(s.Desc, word)) {
            state = s.State;
            return true;
        }
    return false;
}

std::string_view SRCPServerStateWord(TSRCPServerState s)
{
    return SRCPServerStates[s <= ssInvalid ? s : ssInvalid].Desc;
}

bool SRCPConnectionModeOfWord(std::string_view word, TSRCPConnectionModeType& mode)
{
    bool found = false;
    for (const auto& m : SRCPConnectionModes)
        if (SRCPSameText(m.Desc, word)) {
            mode = m.Mode;
            found = true;
        }
    return found;
}

std::string_view SRCPConnectionModeWord(TSRCPConnectionModeType m)
{
    return SRCPConnectionModes[m <= cmtInvalid ? m : cmtInvalid].Desc;
}
