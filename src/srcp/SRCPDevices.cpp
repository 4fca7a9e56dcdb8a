#include "SRCPDevices.h"

#include "SRCPCmd.h"
#include "SRCPTables.h"

namespace {

// One protocol letter among `allowed`, exactly (upper case); spInvalid otherwise.
TSRCPProtocols protocolOfLetter(std::string_view text, std::string_view allowed)
{
    text = SRCPTrim(text);
    if (text.size() != 1 || allowed.find(text[0]) == std::string_view::npos)
        return spInvalid;
    for (std::size_t p = 0; p < SRCPProtocolLetters.size(); ++p)
        if (SRCPProtocolLetters[p] == text[0])
            return static_cast<TSRCPProtocols>(p);
    return spInvalid;
}

void addProtocolLetter(TSRCPString& line, TSRCPProtocols p, std::string_view allowed)
{
    if (p < SRCPProtocolLetters.size() && allowed.find(SRCPProtocolLetters[p]) != std::string_view::npos)
        line.Add(SRCPProtocolLetters[p]);
}

constexpr std::string_view AllLocoProtocols = "AFLMNPSZ";
constexpr std::string_view AccessoireProtocols = "MNP";

} // namespace

TSRCPCommandType TSRCPBaseDevice::CommandType() const { return FOwner.CommandType(); }
double TSRCPBaseDevice::TimeStamp() const { return FOwner.TimeStamp(); }

// ---- addressed ------------------------------------------------------------------------------

std::int32_t TSRCPAddressedDevice::Address() const { return FOwner.DevAddress(); }
void TSRCPAddressedDevice::SetAddress(std::int32_t a) { FOwner.SetDevAddress(a); }
void TSRCPAddressedDevice::SetDefaultData() { SetAddress(-1); }

void TSRCPAddressedDevice::GetDataPointString(TSRCPDataPoint dp, TSRCPString& line)
{
    if (dp == dpAddress)
        line.Add(Address());
}

bool TSRCPAddressedDevice::SetDataPointString(TSRCPDataPoint dp, std::string_view text)
{
    if (dp != dpAddress)
        return false;
    std::int32_t a;
    bool ok = StrToSRCPInt(text, a);
    SetAddress(a);
    return ok;
}

// ---- feedback -------------------------------------------------------------------------------

void TSRCPDeviceFeedback::SetDefaultData()
{
    FValue = -1;
    FTimeOut = -1;
}

void TSRCPDeviceFeedback::GetDataPointString(TSRCPDataPoint dp, TSRCPString& line)
{
    if (dp == dpValue)
        line.Add(FValue);
    else if (dp == dpDelay)
        line.Add(FTimeOut);
    else
        TSRCPAddressedDevice::GetDataPointString(dp, line);
}

bool TSRCPDeviceFeedback::SetDataPointString(TSRCPDataPoint dp, std::string_view text)
{
    switch (dp) {
    case dpValue:
        return StrToSRCPInt(text, FValue);
    case dpDelay:
        return StrToSRCPInt(text, FTimeOut);
    case dpAddData:
        return true;
    default:
        return TSRCPAddressedDevice::SetDataPointString(dp, text);
    }
}

// ---- accessory ------------------------------------------------------------------------------

void TSRCPDeviceAccessoire::SetDefaultData()
{
    FValue = -1;
    FPort = -1;
    FDelay = 0;
    FProtocol = spMotorola;
}

void TSRCPDeviceAccessoire::GetDataPointString(TSRCPDataPoint dp, TSRCPString& line)
{
    switch (dp) {
    case dpProtocol:
        addProtocolLetter(line, FProtocol, AccessoireProtocols);
        break;
    case dpPort:
        line.Add(FPort);
        break;
    case dpValue:
        line.Add(FValue);
        break;
    case dpDelay:
        line.Add(FDelay);
        break;
    default:
        TSRCPAddressedDevice::GetDataPointString(dp, line);
    }
}

bool TSRCPDeviceAccessoire::SetDataPointString(TSRCPDataPoint dp, std::string_view text)
{
    switch (dp) {
    case dpProtocol:
        FProtocol = protocolOfLetter(text, AccessoireProtocols);
        return FProtocol != spInvalid;
    case dpPort:
        return StrToSRCPInt(text, FPort);
    case dpValue:
        return StrToSRCPInt(text, FValue);
    case dpDelay:
        return StrToSRCPInt(text, FDelay);
    default:
        return TSRCPAddressedDevice::SetDataPointString(dp, text);
    }
}

// ---- loco -----------------------------------------------------------------------------------

bool TSRCPDeviceLoco::SetFunctionCount(std::int32_t n)
{
    if (n < 0 || n > MaxFunctionCount)
        return false;
    FFunctions.resize(static_cast<std::size_t>(n), 0);
    return true;
}

std::int32_t TSRCPDeviceLoco::Functions(std::int32_t i) const
{
    if (i < 0 || i >= FunctionCount())
        return -1;
    return FFunctions[static_cast<std::size_t>(i)];
}

void TSRCPDeviceLoco::SetFunctions(std::int32_t i, std::int32_t value)
{
    if (i >= 0 && i < FunctionCount())
        FFunctions[static_cast<std::size_t>(i)] = value;
}

void TSRCPDeviceLoco::SetDefaultData()
{
    FFunctions.assign(1, 0);
    FMaxSpeedStep = -1;
    FSpeedStep = 0;
    FSpeed = -1;
    FSubProtocol = -1;
    FMaxSpeed = -1;
    FDriveMode = dmInvalid;
    FProtocol = spInvalid;
    FFunctionIndex = 0;
}

void TSRCPDeviceLoco::GetDataPointString(TSRCPDataPoint dp, TSRCPString& line)
{
    switch (dp) {
    case dpProtocol:
        addProtocolLetter(line, FProtocol, AllLocoProtocols);
        break;
    case dpSubProtocol:
        if (FSubProtocol > 0)
            line.Add(FSubProtocol);
        break;
    case dpSpeedStep:
        line.Add(FSpeedStep);
        break;
    case dpSpeedSteps:
        line.Add(FMaxSpeedStep);
        break;
    case dpFunctionCount:
        line.Add(FunctionCount());
        break;
    case dpDriveMode:
        if (FDriveMode < SRCPDriveModeChars.size())
            line.Add(SRCPDriveModeChars[FDriveMode]);
        break;
    case dpSpeed:
        line.Add(FSpeed);
        break;
    case dpMaxSpeed:
        line.Add(FMaxSpeed);
        break;
    case dpFunction:
        for (std::int32_t f : FFunctions)
            line.Add(f);
        break;
    default:
        TSRCPAddressedDevice::GetDataPointString(dp, line);
    }
}

bool TSRCPDeviceLoco::SetDataPointString(TSRCPDataPoint dp, std::string_view text)
{
    switch (dp) {
    case dpProtocol:
        FProtocol = protocolOfLetter(text, AllLocoProtocols);
        return FProtocol != spInvalid;
    case dpSubProtocol:
        return StrToSRCPInt(text, FSubProtocol);
    case dpSpeedStep:
        return StrToSRCPInt(text, FSpeedStep);
    case dpSpeedSteps:
        return StrToSRCPInt(text, FMaxSpeedStep);
    case dpFunctionCount: {
        std::int32_t n;
        return StrToSRCPInt(text, n) && SetFunctionCount(n);
    }
    case dpDriveMode: {
        std::string_view t = SRCPTrim(text);
        FDriveMode = dmInvalid;
        if (t.size() == 1)
            for (std::size_t m = 0; m < SRCPDriveModeChars.size(); ++m)
                if (SRCPDriveModeChars[m] == t[0])
                    FDriveMode = static_cast<TSRCPDriveMode>(m);
        return FDriveMode != dmInvalid;
    }
    case dpSpeed:
        return StrToSRCPInt(text, FSpeed);
    case dpMaxSpeed:
        return StrToSRCPInt(text, FMaxSpeed);
    case dpFunction:
        return AddFunctionValue(text);
    default:
        return TSRCPAddressedDevice::SetDataPointString(dp, text);
    }
}

bool TSRCPDeviceLoco::CheckNextDataPoint(TSRCPDataPoint dp)
{
    if (dp == dpSubProtocol)
        return FProtocol == spMotorola || FProtocol == spNMRA;
    if (dp == dpSpeedSteps || dp == dpFunctionCount)
        return FProtocol != spAnalog;
    return true;
}

bool TSRCPDeviceLoco::AddFunctionValue(std::string_view text)
{
    std::int32_t value;
    if (!StrToSRCPInt(text, value) || FFunctionIndex >= MaxFunctionCount)
        return false;
    auto index = static_cast<std::size_t>(FFunctionIndex++);
    if (FFunctions.size() == index) {
        FFunctions.push_back(value);
    } else {
        FFunctions.resize(index + 1, 0);
        FFunctions[index] = value;
    }
    return true;
}

bool TSRCPDeviceLoco::EndOfData(std::string_view rest)
{
    bool result = true;
    std::string_view piece;
    while (!rest.empty()) {
        TSRCPCmd::SplitString(' ', rest, piece);
        if (!piece.empty())
            result = AddFunctionValue(piece);  // each piece is a further dpFunction
    }
    return result;
}

// ---- service mode ---------------------------------------------------------------------------

void TSRCPDeviceServiceMode::SetDefaultData()
{
    FTypeAddress = -1;
    FValue = -1;
    FBit = -1;
    FAddressType = smtInvalid;
    FValueCounter = 0;
    FProtocol = spInvalid;
}

std::int32_t& TSRCPDeviceServiceMode::NextValueField()
{
    bool bit = FAddressType == smtCVBit && FValueCounter == 0;
    ++FValueCounter;
    return bit ? FBit : FValue;
}

bool TSRCPDeviceServiceMode::CheckNextDataPoint(TSRCPDataPoint dp)
{
    return dp != dpValue || FValueCounter == 0 || FAddressType == smtCVBit;
}

void TSRCPDeviceServiceMode::GetDataPointString(TSRCPDataPoint dp, TSRCPString& line)
{
    switch (dp) {
    case dpProtocol:
        if (FProtocol == spNMRA)
            line.Add(std::string_view("NMRA"));
        break;
    case dpType:
        line.Add(SRCPAddressTypeWord(FAddressType));
        break;
    case dpTypeAddress:
        line.Add(FTypeAddress);
        break;
    case dpValue:
        line.Add(NextValueField());
        break;
    default:
        TSRCPAddressedDevice::GetDataPointString(dp, line);
    }
}

bool TSRCPDeviceServiceMode::SetDataPointString(TSRCPDataPoint dp, std::string_view text)
{
    switch (dp) {
    case dpProtocol:
        if (!SRCPSameText(SRCPTrim(text), "NMRA"))
            return false;
        FProtocol = spNMRA;
        return true;
    case dpType:
        return SRCPAddressTypeOfWord(SRCPTrim(text), FAddressType);
    case dpTypeAddress:
        return StrToSRCPInt(text, FTypeAddress);
    case dpValue:
        return StrToSRCPInt(text, NextValueField());
    default:
        return TSRCPAddressedDevice::SetDataPointString(dp, text);
    }
}

// ---- lock -----------------------------------------------------------------------------------

void TSRCPDeviceLock::SetDefaultData()
{
    FDuration = -1;
    FSessionID = -1;
    FLockDevGroup = dgInvalid;
}

void TSRCPDeviceLock::GetDataPointString(TSRCPDataPoint dp, TSRCPString& line)
{
    switch (dp) {
    case dpDelay:
        line.Add(FDuration);
        break;
    case dpSessionID:
        line.Add(FSessionID);
        break;
    case dpAddDevGroup:
        line.Add(SRCPDevGroupWord(LockDevGroup()));
        break;
    default:
        TSRCPAddressedDevice::GetDataPointString(dp, line);
    }
}

bool TSRCPDeviceLock::SetDataPointString(TSRCPDataPoint dp, std::string_view text)
{
    switch (dp) {
    case dpDelay:
        return StrToSRCPInt(text, FDuration);
    case dpSessionID:
        return StrToSRCPInt(text, FSessionID);
    case dpAddDevGroup:
        FLockDevGroup = SRCPDevGroupOfWord(text);
        if (FLockDevGroup == dgInvalid)
            FOwner.InternalSetCommandType(ctEUnsufficientData);
        return FLockDevGroup != dgInvalid;
    default:
        return TSRCPAddressedDevice::SetDataPointString(dp, text);
    }
}

// ---- power ----------------------------------------------------------------------------------

void TSRCPDevicePower::GetDataPointString(TSRCPDataPoint dp, TSRCPString& line)
{
    if (dp == dpPwrStatus)
        line.Add(std::string_view(FPowerOn ? "ON" : "OFF"));
}

bool TSRCPDevicePower::SetDataPointString(TSRCPDataPoint dp, std::string_view text)
{
    if (dp != dpPwrStatus)
        return false;
    text = SRCPTrim(text);
    if (SRCPSameText(text, "ON") || SRCPSameText(text, "OFF")) {
        FPowerOn = SRCPSameText(text, "ON");
        return true;
    }
    FOwner.InternalSetCommandType(ctEUnsufficientData);
    return false;
}

// ---- time -----------------------------------------------------------------------------------

void TSRCPDeviceTime::SetDefaultData()
{
    FHour = FSecond = FMinute = FDays = FDivisor = FMultiplicator = -1;
}

std::int32_t* TSRCPDeviceTime::Field(TSRCPDataPoint dp)
{
    switch (dp) {
    case dpFX: return &FMultiplicator;
    case dpFY: return &FDivisor;
    case dpJulDay: return &FDays;
    case dpHour: return &FHour;
    case dpMinute: return &FMinute;
    case dpSecond: return &FSecond;
    default: return nullptr;
    }
}

void TSRCPDeviceTime::GetDataPointString(TSRCPDataPoint dp, TSRCPString& line)
{
    if (std::int32_t* f = Field(dp))
        line.Add(*f);
}

bool TSRCPDeviceTime::SetDataPointString(TSRCPDataPoint dp, std::string_view text)
{
    std::int32_t* f = Field(dp);
    return f && StrToSRCPInt(text, *f);
}

// ---- session --------------------------------------------------------------------------------

void TSRCPDeviceSession::GetDataPointString(TSRCPDataPoint dp, TSRCPString& line)
{
    if (dp == dpSessionID)
        line.Add(FSessionID);
}

bool TSRCPDeviceSession::SetDataPointString(TSRCPDataPoint dp, std::string_view text)
{
    if (dp == dpSessionID)
        return StrToSRCPInt(text, FSessionID);
    return dp == dpAddData;
}

// ---- description ----------------------------------------------------------------------------

void TSRCPDeviceDescription::SetDefaultData()
{
    FDescriptionDevGroup = dgInvalid;
    FDevGroupList.clear();
}

TSRCPDeviceGroup TSRCPDeviceDescription::DevGroupList(int i) const
{
    if (i < 0 || i >= DevGroupListCount())
        return dgInvalid;
    return FDevGroupList[static_cast<std::size_t>(i)];
}

bool TSRCPDeviceDescription::IsBusDescription() const
{
    return CommandType() == ctInfoGet || CommandType() == ctInfoGuess;
}

void TSRCPDeviceDescription::AddGroupWord(std::string_view word)
{
    // Servers describe groups this library does not know (GM, ...): they are left out of the list
    // rather than spoiling the description of the groups it does know.
    TSRCPDeviceGroup g = SRCPDevGroupOfWord(word);
    if (g != dgInvalid && FDevGroupList.size() < static_cast<std::size_t>(SRCPDeviceCount) * 4)
        FDevGroupList.push_back(g);
}

void TSRCPDeviceDescription::GetDataPointString(TSRCPDataPoint dp, TSRCPString& line)
{
    if (FDescriptionDevGroup == dgInvalid)
        return;  // the whole bus: no further field
    if (dp == dpAddDevGroup)
        line.Add(SRCPDevGroupWord(FDescriptionDevGroup));
    else
        TSRCPAddressedDevice::GetDataPointString(dp, line);
}

bool TSRCPDeviceDescription::SetDataPointString(TSRCPDataPoint dp, std::string_view text)
{
    if (dp == dpAddDevGroup) {
        if (IsBusDescription()) {
            AddGroupWord(text);
            return true;
        }
        text = SRCPTrim(text);
        if (text.empty())
            return true;
        TSRCPDeviceGroup g = SRCPDevGroupOfWord(text);
        if (g == dgInvalid)
            return false;
        FDescriptionDevGroup = g;
        return true;
    }
    return TSRCPAddressedDevice::SetDataPointString(dp, text);
}

bool TSRCPDeviceDescription::EndOfData(std::string_view rest)
{
    if (!IsBusDescription())
        return true;
    std::string_view word;
    while (!rest.empty()) {
        TSRCPCmd::SplitString(' ', rest, word);
        if (!word.empty())
            AddGroupWord(word);
    }
    return true;
}

// ---- server ---------------------------------------------------------------------------------

void TSRCPDeviceServer::GetDataPointString(TSRCPDataPoint dp, TSRCPString& line)
{
    if (dp == dpState)
        line.Add(SRCPServerStateWord(FState));
}

bool TSRCPDeviceServer::SetDataPointString(TSRCPDataPoint dp, std::string_view text)
{
    return dp == dpState && SRCPServerStateOfWord(SRCPTrim(text), FState);
}

// ---- handshake ------------------------------------------------------------------------------

void TSRCPDeviceHandshake::SetDefaultData()
{
    FSessionID = -1;
    FVersion = cvUnknown;
    FMode = cmtInvalid;
}

void TSRCPDeviceHandshake::GetDataPointString(TSRCPDataPoint dp, TSRCPString& line)
{
    switch (dp) {
    case dpExtendedCmd:
        switch (CommandType()) {
        case ctSetVersion:
        case ctOKProtocol:
            line.Add(std::string_view("PROTOCOL"));
            break;
        case ctSetMode:
        case ctOKConnectionMode:
            line.Add(std::string_view("CONNECTIONMODE"));
            break;
        case ctCmdOKGo:
            line.Add(std::string_view("GO"));
            break;
        default:
            break;
        }
        break;
    case dpSRCP:
        line.Add(std::string_view("SRCP"));
        break;
    case dpVersion:
        line.Add(SRCPVersionWord(FVersion));
        break;
    case dpMode:
        line.Add(SRCPConnectionModeWord(FMode));
        break;
    case dpSessionID:
        line.Add(FSessionID);
        break;
    default:
        break;
    }
}

bool TSRCPDeviceHandshake::SetDataPointString(TSRCPDataPoint dp, std::string_view text)
{
    text = SRCPTrim(text);
    switch (dp) {
    case dpExtendedCmd: {
        TSRCPCommandType next = ctInvalid;
        if (CommandType() == ctSet) {
            if (SRCPSameText(text, "PROTOCOL"))
                next = ctSetVersion;
            else if (SRCPSameText(text, "CONNECTIONMODE"))
                next = ctSetMode;
        } else if (CommandType() == ctCmdOK) {
            if (SRCPSameText(text, "GO"))
                next = ctCmdOKGo;
            else if (SRCPSameText(text, "PROTOCOL"))
                next = ctOKProtocol;
            else if (SRCPSameText(text, "CONNECTIONMODE"))
                next = ctOKConnectionMode;
        }
        if (next == ctInvalid)
            return false;
        FOwner.InternalSetCommandType(next);
        return true;
    }
    case dpSRCP:
        return SRCPSameText(text, "SRCP");
    case dpVersion:
        FVersion = SRCPVersionOfWord(text);
        return FVersion != cvUnknown;
    case dpMode:
        return SRCPConnectionModeOfWord(text, FMode);
    case dpSessionID:
        return StrToSRCPInt(text, FSessionID);
    default:
        return false;
    }
}

// ---- welcome --------------------------------------------------------------------------------

void TSRCPDeviceWelcome::SetDefaultData()
{
    FWelcome.clear();
    FInfo.clear();
    FResult.clear();
    ClearVersionList();
}

void TSRCPDeviceWelcome::AddVersion(TSRCPCommandVersion v, std::string_view word)
{
    FVersions.push_back(v);
    FVersionWords.emplace_back(word.empty() ? SRCPVersionWord(v) : word);
}

void TSRCPDeviceWelcome::ClearVersionList()
{
    FVersions.clear();
    FVersionWords.clear();
}

void TSRCPDeviceWelcome::SetSWelcome(std::string_view line)
{
    FResult.clear();
    ClearVersionList();
    int plainPieces = 0;
    std::string_view piece;
    while (!line.empty()) {
        TSRCPCmd::SplitString(';', line, piece);
        piece = SRCPTrim(piece);
        bool matched = false;
        for (std::string_view key : VersionKeys) {
            // The key is a word of its own: "srcpd V2.1.3" names the server, it offers no version.
            bool keyWord = piece.size() >= key.size() && SRCPSameText(piece.substr(0, key.size()), key) &&
                           (piece.size() == key.size() || static_cast<unsigned char>(piece[key.size()]) <= ' ');
            if (keyWord) {
                std::string_view word = SRCPTrim(piece.substr(key.size()));
                // A bounded list: a hostile greeting cannot grow it without limit.
                if (FVersions.size() < 64)
                    AddVersion(SRCPVersionOfWord(word), word.empty() ? std::string_view("?") : word);
                matched = true;
                break;
            }
        }
        if (matched)
            continue;
        if (plainPieces++ == 0) {
            FWelcome.assign(piece);
        } else {
            if (!FResult.empty())
                FResult += ';';
            FResult.append(piece);
        }
    }
    FInfo = FResult;
}

void TSRCPDeviceWelcome::GetDataPointString(TSRCPDataPoint dp, TSRCPString& line)
{
    if (dp != dpAddData)
        return;
    FResult.clear();
    auto append = [this](std::string_view part) {
        if (part.empty())
            return;
        if (!FResult.empty())
            FResult += ';';
        FResult.append(part);
    };
    append(FWelcome);
    if (!FVersions.empty()) {
        std::string versions = "SRCP ";
        versions.append(SRCPVersionWord(FVersions[0]));
        for (std::size_t i = 1; i < FVersions.size(); ++i)
            versions.append(";SRCPOTHER ").append(SRCPVersionWord(FVersions[i]));
        append(versions);
    }
    append(FInfo);
    line.Clear();
    line.Add(FResult);
}

bool TSRCPDeviceWelcome::SetDataPointString(TSRCPDataPoint dp, std::string_view text)
{
    if (dp != dpAddData)
        return false;
    SetSWelcome(text);
    return true;
}
