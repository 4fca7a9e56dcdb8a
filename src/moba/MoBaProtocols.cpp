#include "moba/MoBaProtocols.h"

#include "moba/MoBaIniFile.h"

#include <charconv>
#include <vector>

const std::array<TMoBaProtocolBaseInfo, MoBaProtocolBaseCount> MoBaProtocolBaseInfo{{
    {mpbCustom, 'C', "Custom protocol"},
    {mpbAnalog, 'A', "Analog"},
    {mpbFleischmann, 'F', "Fleischmann"},
    {mpbLoconet, 'L', "Loconet"},
    {mpbMotorola, 'M', "Motorola / M\xC3\xA4rklin"},
    {mpbNMRA, 'N', "NMRA / DCC"},
    {mpbSelectrix, 'S', "Selectric"},
    {mpbZimo, 'Z', "Zimo protocol"},
}};

const std::array<TMoBaDefaultLocoProtocolSpec, 11> MoBaDefaultLocoProtocolSpecification{{
    {mpbMotorola, 1, "Motorola 1", "Old Motorola format (Only 1 function).", 80, 1, 0, 14},
    {mpbMotorola, 2, "Motorola 2", "New Motorola format (4 extra functions).", 80, 5, 0, 14},
    {mpbMotorola, 2, "Motorola 3", "New Motorola with 28 speed steps (Winkinger Decoder).", 255, 5, 0, 28},
    {mpbMotorola, 2, "Motorola 4", "New Motorola with 256 addresses (Uhlenbrock).", 255, 5, 0, 14},
    {mpbMotorola, 2, "Motorola 5", "New Motorola format (type 2) with 27 speed steps (newer Maerklin Decoders).", 80,
     5, 0, 27},
    {mpbMotorola, 2, "Motorola Function", "Old Motorola function decoders", 80, 5, 0, 1},
    {mpbNMRA, 1, "NMRA Base", "NMRA Base Line (7-Bit address, 14 speed steps).", 99, 1, 0, 14},
    {mpbNMRA, 2, "NMRA 1", "NMRA 7-Bit address, 28 speed steps, 4 functions.", 99, 5, 0, 28},
    {mpbNMRA, 2, "NMRA 2", "NMRA 7-Bit address, 128 speed steps, 4 functions.", 99, 5, 0, 128},
    {mpbNMRA, 2, "NMRA 3", "NMRA 14-Bit address, 28 speed steps, 4 functions.", 10239, 5, 0, 28},
    {mpbNMRA, 2, "NMRA 4", "NMRA 14-Bit address, 128 speed steps, 4 functions.", 10239, 5, 0, 128},
}};

const std::array<TMoBaDefaultSolenoidProtocolSpec, 2> MoBaDefaultSolenoidProtocolSpecification{{
    {mpbMotorola, 0, "Motorola Solenoid", "Motorola solenoid type 1 and 2.", 256, 1, 1},
    {mpbNMRA, 0, "NMRA Accessory", "NMRA accessory decoder", 4096, 1, 1},
}};

char MoBaProtocolBaseToChar(TMoBaProtocolBase PB)
{
    return PB < MoBaProtocolBaseCount ? MoBaProtocolBaseInfo[PB].Sign : MoBaProtocolBaseInfo[mpbCustom].Sign;
}

TMoBaProtocolBase StringToMoBaProtocolBase(std::string_view S)
{
    if (S.empty())
        return mpbCustom;
    for (const TMoBaProtocolBaseInfo& info : MoBaProtocolBaseInfo)
        if (info.Sign == S.front())
            return info.Base;
    return mpbCustom;
}

std::string MoBaGroupsToString(const TMoBaGroups& GroupSet)
{
    std::string text;
    for (std::size_t g = 0; g < GroupSet.size(); ++g) {
        if (!GroupSet.test(g))
            continue;
        if (!text.empty())
            text += ',';
        text += std::to_string(g);
    }
    return text;
}

namespace {

// Splits a comma text: items are separated by commas or blanks (control characters count as
// blanks); an item in double quotes may hold separators, and "" inside it stands for one quote.
std::vector<std::string> splitCommaText(std::string_view s)
{
    std::vector<std::string> items;
    auto isSpace = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    std::size_t i = 0;
    while (i < s.size() && isSpace(s[i]))
        ++i;
    while (i < s.size()) {
        std::string item;
        if (s[i] == '"') {
            ++i;
            while (i < s.size()) {
                if (s[i] == '"') {
                    if (i + 1 < s.size() && s[i + 1] == '"') {
                        item += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                item += s[i++];
            }
            // Anything glued to the closing quote belongs to the same item.
            while (i < s.size() && s[i] != ',' && !isSpace(s[i]))
                item += s[i++];
        } else {
            while (i < s.size() && s[i] != ',' && !isSpace(s[i]))
                item += s[i++];
        }
        items.push_back(std::move(item));
        while (i < s.size() && isSpace(s[i]))
            ++i;
        if (i < s.size() && s[i] == ',') {
            ++i;
            while (i < s.size() && isSpace(s[i]))
                ++i;
            if (i == s.size())
                items.emplace_back();  // a trailing comma ends with an empty item
        }
    }
    return items;
}

bool toInteger(std::string_view text, long long& value)
{
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text.empty() || text.front() == '+')
        return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc{} && end == text.data() + text.size();
}

}  // namespace

TMoBaGroups StringToMoBaGroups(std::string_view S)
{
    TMoBaGroups groups;
    for (const std::string& item : splitCommaText(S)) {
        long long value = 0;
        if (toInteger(item, value) && value >= 0 && value <= 255)
            groups.set(static_cast<std::size_t>(value));
    }
    return groups;
}

// --- TMoBaBaseProtocol ---

std::unique_ptr<TMoBaBaseProtocol> TMoBaBaseProtocol::CreateNew() const
{
    return std::make_unique<TMoBaBaseProtocol>();
}

void TMoBaBaseProtocol::AssignTo(TMoBaPersistent& Dest) const
{
    auto* d = dynamic_cast<TMoBaBaseProtocol*>(&Dest);
    if (!d) {
        TMoBaPersistent::AssignTo(Dest);
        return;
    }
    d->FName = FName;
    d->FDescription = FDescription;
    d->FMaxAddress = FMaxAddress;
    d->FProtocolBase = FProtocolBase;
    d->FGroups = FGroups;
    d->FProtocolExtension = FProtocolExtension;
}

void TMoBaBaseProtocol::WriteToIniFile(TMoBaIniFile& Ini, const std::string& Section) const
{
    Ini.WriteString(Section, "Name", FName);
    Ini.WriteString(Section, "Desc", FDescription);
    Ini.WriteInteger(Section, "MaxAddress", FMaxAddress);
    Ini.WriteString(Section, "Base", std::string(1, MoBaProtocolBaseToChar(FProtocolBase)));
    Ini.WriteInteger(Section, "Extension", FProtocolExtension);
    Ini.WriteString(Section, "Groups", MoBaGroupsToString(FGroups));
}

void TMoBaBaseProtocol::ReadFromIniFile(const TMoBaIniFile& Ini, const std::string& Section)
{
    FName = Ini.ReadString(Section, "Name", "");
    FDescription = Ini.ReadString(Section, "Desc", "");
    FMaxAddress = Ini.ReadInteger(Section, "MaxAddress", 0);
    FProtocolBase = StringToMoBaProtocolBase(Ini.ReadString(Section, "Base", "C"));
    FProtocolExtension = Ini.ReadInteger(Section, "Extension", 0);
    FGroups = StringToMoBaGroups(Ini.ReadString(Section, "Groups", ""));
}

// --- TMoBaLocoProtocol ---

std::unique_ptr<TMoBaBaseProtocol> TMoBaLocoProtocol::CreateNew() const
{
    return std::make_unique<TMoBaLocoProtocol>();
}

void TMoBaLocoProtocol::AssignTo(TMoBaPersistent& Dest) const
{
    TMoBaBaseProtocol::AssignTo(Dest);
    if (auto* d = dynamic_cast<TMoBaLocoProtocol*>(&Dest)) {
        d->FMaxSteps = FMaxSteps;
        d->FMinSteps = FMinSteps;
        d->FMaxFunctions = FMaxFunctions;
    }
}

void TMoBaLocoProtocol::WriteToIniFile(TMoBaIniFile& Ini, const std::string& Section) const
{
    TMoBaBaseProtocol::WriteToIniFile(Ini, Section);
    Ini.WriteInteger(Section, "MaxSteps", FMaxSteps);
    Ini.WriteInteger(Section, "MinSteps", FMinSteps);
    Ini.WriteInteger(Section, "MaxFunctions", FMaxFunctions);
}

void TMoBaLocoProtocol::ReadFromIniFile(const TMoBaIniFile& Ini, const std::string& Section)
{
    TMoBaBaseProtocol::ReadFromIniFile(Ini, Section);
    FMaxSteps = Ini.ReadInteger(Section, "MaxSteps", 0);
    FMinSteps = Ini.ReadInteger(Section, "MinSteps", 0);
    FMaxFunctions = Ini.ReadInteger(Section, "MaxFunctions", 0);
}

// --- TMoBaSolenoidProtocol ---

std::unique_ptr<TMoBaBaseProtocol> TMoBaSolenoidProtocol::CreateNew() const
{
    return std::make_unique<TMoBaSolenoidProtocol>();
}

void TMoBaSolenoidProtocol::AssignTo(TMoBaPersistent& Dest) const
{
    TMoBaBaseProtocol::AssignTo(Dest);
    if (auto* d = dynamic_cast<TMoBaSolenoidProtocol*>(&Dest)) {
        d->FMaxPort = FMaxPort;
        d->FMaxValue = FMaxValue;
    }
}

void TMoBaSolenoidProtocol::WriteToIniFile(TMoBaIniFile& Ini, const std::string& Section) const
{
    TMoBaBaseProtocol::WriteToIniFile(Ini, Section);
    Ini.WriteInteger(Section, "MaxPort", FMaxPort);
    Ini.WriteInteger(Section, "MaxValue", FMaxValue);
}

void TMoBaSolenoidProtocol::ReadFromIniFile(const TMoBaIniFile& Ini, const std::string& Section)
{
    TMoBaBaseProtocol::ReadFromIniFile(Ini, Section);
    FMaxPort = Ini.ReadInteger(Section, "MaxPort", 0);
    FMaxValue = Ini.ReadInteger(Section, "MaxValue", 0);
}
