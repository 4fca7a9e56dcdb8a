#include "SRCPDeviceGroups.h"

#include "SRCPClient.h"

#include <cmath>

// ---- base group -----------------------------------------------------------------------------

TSRCPBaseDeviceGroup::TSRCPBaseDeviceGroup(TSRCPDeviceGroup group) : FDeviceGroup(group) {}

TSRCPBaseDeviceGroup::~TSRCPBaseDeviceGroup()
{
    SetInfoClient(nullptr);
    if (FCommandClient)
        FCommandClient->RemoveFreeNotification(this);
    FOnChange = nullptr;
}

void TSRCPBaseDeviceGroup::SetCommandClient(TSRCPCommandClient* client)
{
    if (FCommandClient == client)
        return;
    if (FCommandClient)
        FCommandClient->RemoveFreeNotification(this);
    FCommandClient = client;
    if (client)
        client->AddFreeNotification(this);
}

void TSRCPBaseDeviceGroup::SetInfoClient(TSRCPInfoClient* client)
{
    if (FInfoClient == client)
        return;
    if (FInfoClient) {
        FInfoClient->UnregisterDeviceGroup(this);
        FInfoClient->RemoveFreeNotification(this);
    }
    FInfoClient = client;
    if (client) {
        client->RegisterDeviceGroup(this);
        client->AddFreeNotification(this);
    }
}

void TSRCPBaseDeviceGroup::ClientFreed(TSRCPBaseClient* client)
{
    if (client == FCommandClient)
        FCommandClient = nullptr;
    if (client == FInfoClient) {
        FInfoClient->UnregisterDeviceGroup(this);
        FInfoClient = nullptr;
    }
}

bool TSRCPBaseDeviceGroup::Exchange(TSRCPCommandType type, void (TSRCPBaseDeviceGroup::*hook)(TSRCPCmd&))
{
    FCmd.SetInvalid();
    FCmd.SetSRCPVersion(FCommandClient->Version());
    FCmd.SetDeviceGroup(FDeviceGroup);
    FCmd.SetCommandType(type);
    FCmd.SetBus(FBus);
    (this->*hook)(FCmd);
    FCommandClient->SendCommand(FCmd);
    if (FCmd.IsErrorCmd())  // nothing was sent: there is no answer to wait for
        return false;
    return FCommandClient->ReceiveAnswer(FCmd);
}

void TSRCPBaseDeviceGroup::Initalize()
{
    if (!FCommandClient)
        return;
    FDeviceState = sdsInitializing;
    Exchange(ctInit, &TSRCPBaseDeviceGroup::DoInitalize);
    DoInitAnswer(FCmd);
    if (FCmd.CommandType() == ctEDeviceReinitialized) {
        FDeviceState = sdsInitialized;
        if (!FRecursive) {
            FRecursive = true;
            GetData();
            FRecursive = false;
        }
    } else if (FCmd.IsErrorCmd()) {
        FDeviceState = sdsTerminated;
    } else {
        FDeviceState = sdsInitialized;
    }
}

bool TSRCPBaseDeviceGroup::GetData()
{
    if (!FCommandClient)
        return false;
    bool accepted = Exchange(ctGet, &TSRCPBaseDeviceGroup::DoGetData);
    if (accepted && FCmd.DeviceGroup() == FDeviceGroup) {
        FDeviceState = sdsActiv;
        SetDataAnswer(FCmd);
        return true;
    }
    switch (FCmd.CommandType()) {
    case ctEUnknownCommand:
    case ctEForbidden:
    case ctEUnsupportedDevGroup:
    case ctEUnsuppotedOperation:
        return false;
    default:
        break;
    }
    if (FRecursive)
        return false;
    FRecursive = true;
    Initalize();
    bool result = GetData();
    FRecursive = false;
    return result;
}

bool TSRCPBaseDeviceGroup::SetData()
{
    if (!FCommandClient)
        return false;
    bool accepted = Exchange(ctSet, &TSRCPBaseDeviceGroup::DoSetData);
    if (!accepted && FCmd.CommandType() == ctEForbidden && !FRecursive) {
        FRecursive = true;
        FSetGetActiv = true;
        GetData();
        accepted = Exchange(ctSet, &TSRCPBaseDeviceGroup::DoSetData);
        FRecursive = false;
        FSetGetActiv = false;
    }
    return accepted;
}

void TSRCPBaseDeviceGroup::Terminate()
{
    if (!FCommandClient)
        return;
    FDeviceState = sdsTerminating;
    Exchange(ctTerm, &TSRCPBaseDeviceGroup::DoTerminate);
    FDeviceState = sdsTerminated;
}

bool TSRCPBaseDeviceGroup::IsStale(double stamp, TSRCPTimeStampType kind) const
{
    return FEventMode == semExact && stamp != 0 && stamp <= FTimeStamps[kind];
}

void TSRCPBaseDeviceGroup::SetDataAnswer(const TSRCPCmd& cmd)
{
    bool busMatches = FEventMode == semAll || cmd.Bus() == FBus;
    if (!busMatches)
        return;
    TSRCPCommandType type = cmd.CommandType();
    if (cmd.DeviceGroup() == FDeviceGroup) {
        if (type == ctInfoGet || type == ctInfoGuess) {
            if (!IsStale(cmd.TimeStamp(), ststData))
                SetInfoData(cmd);
        } else if (type == ctInfoInit) {
            if (!IsStale(cmd.TimeStamp(), ststInit))
                SetinitData(cmd);
        } else if (type == ctInfoTerm) {
            if (!IsStale(cmd.TimeStamp(), ststInit))
                SetTermData(cmd);
        }
    } else if (cmd.DeviceGroup() == dgLock && cmd.DevLock().LockDevGroup() == FDeviceGroup) {
        if (IsStale(cmd.TimeStamp(), ststLock))
            return;
        if (type == ctInfoGet || type == ctInfoInit || type == ctInfoGuess)
            SetLockData(cmd);
        else if (type == ctInfoTerm)
            SetUnlockData(cmd);
    }
}

void TSRCPBaseDeviceGroup::SetInfoData(const TSRCPCmd& cmd)
{
    DoSetInfoData(cmd);
    if (FOnChange)
        FOnChange(*this);
}

void TSRCPBaseDeviceGroup::SetinitData(const TSRCPCmd& cmd)
{
    FDeviceState = sdsInitialized;
    DoSetInitData(cmd);
    if (FOnInit)
        FOnInit(*this);
}

void TSRCPBaseDeviceGroup::SetTermData(const TSRCPCmd& cmd)
{
    FDeviceState = sdsTerminated;
    DoSetTermData(cmd);
    if (FOnTerm)
        FOnTerm(*this);
}

void TSRCPBaseDeviceGroup::SetLockData(const TSRCPCmd& cmd)
{
    if (cmd.CommandType() == ctInfoGet)
        FLockClient = cmd.DevLock().SessionID();
    DoSetLockData(cmd.DevLock());
    if (FOnLock)
        FOnLock(*this);
}

void TSRCPBaseDeviceGroup::SetUnlockData(const TSRCPCmd& cmd)
{
    FLockClient = -1;
    DoSetUnlockData(cmd.DevLock());
    if (FOnUnlock)
        FOnUnlock(*this);
}

void TSRCPBaseDeviceGroup::DoSetInfoData(const TSRCPCmd& cmd) { FTimeStamps[ststData] = cmd.TimeStamp(); }
void TSRCPBaseDeviceGroup::DoSetInitData(const TSRCPCmd& cmd) { FTimeStamps[ststInit] = cmd.TimeStamp(); }
void TSRCPBaseDeviceGroup::DoSetTermData(const TSRCPCmd& cmd) { FTimeStamps[ststInit] = cmd.TimeStamp(); }
void TSRCPBaseDeviceGroup::DoSetLockData(const TSRCPDeviceLock& lock) { FTimeStamps[ststLock] = lock.TimeStamp(); }
void TSRCPBaseDeviceGroup::DoSetUnlockData(const TSRCPDeviceLock& lock) { FTimeStamps[ststLock] = lock.TimeStamp(); }

// ---- addressed group ------------------------------------------------------------------------

void TSRCPAddressedDeviceGroup::SetDataAnswer(const TSRCPCmd& cmd)
{
    // The address lives in the command for every addressed device, the lock device included.
    const bool addressed = cmd.DeviceGroup() == dgLock || cmd.DeviceGroup() == dgLoco ||
                           cmd.DeviceGroup() == dgAccessoire || cmd.DeviceGroup() == dgFeedback ||
                           cmd.DeviceGroup() == dgServiceMode || cmd.DeviceGroup() == dgDescription;
    std::int32_t address = addressed ? cmd.DevAddress() : -1;
    if (FEventMode == semExact && address != FAddress)
        return;
    TSRCPBaseDeviceGroup::SetDataAnswer(cmd);
}

void TSRCPAddressedDeviceGroup::DoSetTermData(const TSRCPCmd& cmd)
{
    TSRCPBaseDeviceGroup::DoSetTermData(cmd);
    FAddress = cmd.DevAddress();
}

void TSRCPAddressedDeviceGroup::DoSetLockData(const TSRCPDeviceLock& lock)
{
    TSRCPBaseDeviceGroup::DoSetLockData(lock);
    FAddress = lock.Address();
}

void TSRCPAddressedDeviceGroup::DoSetUnlockData(const TSRCPDeviceLock& lock)
{
    TSRCPBaseDeviceGroup::DoSetUnlockData(lock);
    FAddress = lock.Address();
}

// ---- power ----------------------------------------------------------------------------------

void TSRCPCustomPower::DoSetInfoData(const TSRCPCmd& cmd)
{
    TSRCPBaseDeviceGroup::DoSetInfoData(cmd);
    FPowerOn = cmd.DevPower().PowerOn();
}

void TSRCPCustomPower::DoSetData(TSRCPCmd& cmd) { cmd.DevPower().SetPowerOn(FPowerOn); }

// ---- loco -----------------------------------------------------------------------------------

void TSRCPCustomLoco::SetFunctionCount(std::int32_t n)
{
    if (n >= 0 && n <= TSRCPDeviceLoco::MaxFunctionCount)
        FFunctions.resize(static_cast<std::size_t>(n), 0);
}

std::int32_t TSRCPCustomLoco::Functions(std::int32_t i) const
{
    return i >= 0 && i < FunctionCount() ? FFunctions[static_cast<std::size_t>(i)] : -1;
}

void TSRCPCustomLoco::SetFunctions(std::int32_t i, std::int32_t value)
{
    if (i >= 0 && i < FunctionCount())
        FFunctions[static_cast<std::size_t>(i)] = value;
}

void TSRCPCustomLoco::DoInitalize(TSRCPCmd& cmd)
{
    cmd.SetDevAddress(FAddress);
    TSRCPDeviceLoco& loco = cmd.DevLoco();
    loco.SetProtocol(FProtocol);
    loco.SetSubProtocol(FSubProtocol);
    loco.SetMaxSpeedStep(FMaxSpeedStep);
    loco.SetFunctionCount(FunctionCount());
}

void TSRCPCustomLoco::DoSetData(TSRCPCmd& cmd)
{
    cmd.SetDevAddress(FAddress);
    TSRCPDeviceLoco& loco = cmd.DevLoco();
    loco.SetDriveMode(FDriveMode);
    loco.SetSpeed(FSpeed);
    loco.SetMaxSpeed(FMaxSpeed);
    loco.SetFunctionCount(FunctionCount());
    for (std::int32_t i = 0; i < FunctionCount(); ++i)
        loco.SetFunctions(i, FFunctions[static_cast<std::size_t>(i)]);
}

void TSRCPCustomLoco::DoSetInfoData(const TSRCPCmd& cmd)
{
    TSRCPAddressedDeviceGroup::DoSetInfoData(cmd);
    const TSRCPDeviceLoco& loco = cmd.DevLoco();
    FAddress = cmd.DevAddress();
    FDriveMode = loco.DriveMode();
    FSpeedStep = loco.SpeedStep();
    if (loco.MaxSpeedStep() >= 0)  // a guess carries the maximum speed instead
        FMaxSpeedStep = loco.MaxSpeedStep();
    FFunctions.assign(static_cast<std::size_t>(loco.FunctionCount()), 0);
    for (std::int32_t i = 0; i < loco.FunctionCount(); ++i)
        FFunctions[static_cast<std::size_t>(i)] = loco.Functions(i);
}

void TSRCPCustomLoco::DoSetInitData(const TSRCPCmd& cmd)
{
    TSRCPAddressedDeviceGroup::DoSetInitData(cmd);
    const TSRCPDeviceLoco& loco = cmd.DevLoco();
    FAddress = cmd.DevAddress();
    FProtocol = loco.Protocol();
    FSubProtocol = loco.SubProtocol();
    FMaxSpeedStep = loco.MaxSpeedStep();
    SetFunctionCount(loco.FunctionCount());
}

// ---- description ----------------------------------------------------------------------------

TSRCPDeviceGroup TSRCPCustomDescription::DeviceGroups(int i) const
{
    return i >= 0 && i < DeviceGroupsCount() ? FDeviceGroups[static_cast<std::size_t>(i)] : dgInvalid;
}

void TSRCPCustomDescription::DoSetInfoData(const TSRCPCmd& cmd)
{
    TSRCPBaseDeviceGroup::DoSetInfoData(cmd);
    FDeviceGroups = cmd.DevDescription().DevGroups();
    FBus = cmd.Bus();
}

// ---- accessory ------------------------------------------------------------------------------

void TSRCPCustomAccessoire::DoInitalize(TSRCPCmd& cmd)
{
    cmd.SetDevAddress(FAddress);
    cmd.DevAccessoire().SetProtocol(FProtocol);
}

void TSRCPCustomAccessoire::DoGetData(TSRCPCmd& cmd)
{
    cmd.SetDevAddress(FAddress);
    cmd.DevAccessoire().SetPort(FPort);
}

void TSRCPCustomAccessoire::DoSetData(TSRCPCmd& cmd)
{
    cmd.SetDevAddress(FAddress);
    TSRCPDeviceAccessoire& ga = cmd.DevAccessoire();
    ga.SetPort(FPort);
    ga.SetValue(FValue);
    ga.SetDelay(FDelay);
}

void TSRCPCustomAccessoire::DoSetInfoData(const TSRCPCmd& cmd)
{
    TSRCPAddressedDeviceGroup::DoSetInfoData(cmd);
    FAddress = cmd.DevAddress();
    FPort = cmd.DevAccessoire().Port();
    FValue = cmd.DevAccessoire().Value();
}

void TSRCPCustomAccessoire::DoSetInitData(const TSRCPCmd& cmd)
{
    TSRCPAddressedDeviceGroup::DoSetInitData(cmd);
    FAddress = cmd.DevAddress();
    FProtocol = cmd.DevAccessoire().Protocol();
    FSubProtocol = 0;
}

// ---- feedback -------------------------------------------------------------------------------

std::int32_t TSRCPCustomFeedback::Contacts(int i) const
{
    return i >= 0 && i < ContactCount() ? FContacts[static_cast<std::size_t>(i)] : -1;
}

double TSRCPCustomFeedback::ContactTimeStamp(int i) const
{
    return i >= 0 && i < ContactCount() ? FContactTimeStamps[static_cast<std::size_t>(i)] : -1;
}

void TSRCPCustomFeedback::SetEnabled(bool on)
{
    if (on && DeviceState() == sdsTerminated)
        Initalize();
    else if (!on && (DeviceState() == sdsInitialized || DeviceState() == sdsActiv))
        Terminate();
}

void TSRCPCustomFeedback::DoInitAnswer(const TSRCPCmd&)
{
    FInitAnswer = CommandClient() ? CommandClient()->Response() : std::string();
}

void TSRCPCustomFeedback::SetContacts(int index, std::int32_t value)
{
    if (index < 0 || index >= MaxContacts)
        return;
    auto size = static_cast<std::size_t>(index) + 1;
    if (FContacts.size() < size) {
        FContacts.resize(size, 0);
        FContactTimeStamps.resize(size, 0);
    }
    // Lines arrive in order: a message as recent as the stored one is the newer of the two. A time
    // stamp of 0 (the server does not know when the contact last changed) always applies.
    double stamp = FTimeStamps[ststData];
    double& stored = FContactTimeStamps[static_cast<std::size_t>(index)];
    if (stamp == 0 || stamp >= stored) {
        FContacts[static_cast<std::size_t>(index)] = value;
        if (stamp != 0)
            stored = stamp;
    }
}

void TSRCPCustomFeedback::DoSetInfoData(const TSRCPCmd& cmd)
{
    TSRCPAddressedDeviceGroup::DoSetInfoData(cmd);
    FAddress = cmd.DevAddress();
    if (FAddress >= 1)
        SetContacts(FAddress - 1, cmd.DevFeedback().Value());
}

// ---- time -----------------------------------------------------------------------------------

std::int32_t SRCPDayNumber(int year, int month, int day)
{
    // days since 1970-01-01 of the proleptic Gregorian calendar
    year -= month <= 2;
    const int era = (year >= 0 ? year : year - 399) / 400;
    const int yoe = year - era * 400;
    const int doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 + 719163;
}

void SRCPDecodeDayNumber(std::int32_t dayNumber, int& year, int& month, int& day)
{
    const long long z = static_cast<long long>(dayNumber) - 719163 + 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

namespace {
constexpr std::int32_t DayNumberOf18991230 = 693594;
constexpr double MsPerDay = 86400000.0;
} // namespace

double TSRCPCustomTime::DateTime() const
{
    return (FTimeDate.Date - DayNumberOf18991230) + FTimeDate.Time / MsPerDay;
}

void TSRCPCustomTime::SetDateTime(double value)
{
    if (!std::isfinite(value) || std::fabs(value) > 3.0e6)
        return;
    double days = std::floor(value);
    TSRCPTimeStamp stamp;
    stamp.Date = static_cast<std::int32_t>(days) + DayNumberOf18991230;
    stamp.Time = static_cast<std::int32_t>(std::lround((value - days) * MsPerDay));
    if (stamp.Time >= 86400000) {
        stamp.Time -= 86400000;
        ++stamp.Date;
    }
    SetTimeDate(stamp);
}

void TSRCPCustomTime::SetTimeDate(const TSRCPTimeStamp& stamp)
{
    FTimeDate = stamp;
    if (Enabled())
        SetData();
}

void TSRCPCustomTime::SetEnabled(bool on)
{
    if (on && DeviceState() == sdsTerminated) {
        Initalize();
        SetData();
    } else if (!on && (DeviceState() == sdsInitialized || DeviceState() == sdsActiv)) {
        Terminate();
    }
}

void TSRCPCustomTime::DoInitalize(TSRCPCmd& cmd)
{
    cmd.DevTime().SetMultiplicator(FMultiplicator);
    cmd.DevTime().SetDivisor(FDivisor);
}

void TSRCPCustomTime::DoSetData(TSRCPCmd& cmd)
{
    TSRCPDeviceTime& t = cmd.DevTime();
    t.SetDays(FTimeDate.Date + SRCPJulianDayOffset);
    std::int32_t seconds = FTimeDate.Time / 1000;
    t.SetHour(seconds / 3600);
    t.SetMinute(seconds / 60 % 60);
    t.SetSecond(seconds % 60);
}

void TSRCPCustomTime::DoSetInfoData(const TSRCPCmd& cmd)
{
    TSRCPBaseDeviceGroup::DoSetInfoData(cmd);
    const TSRCPDeviceTime& t = cmd.DevTime();
    long long ms = (static_cast<long long>(t.Hour()) * 3600 + static_cast<long long>(t.Minute()) * 60 + t.Second()) * 1000;
    if (t.Days() < SRCPJulianDayOffset || ms < 0 || ms >= 86400000LL)
        return;  // not a time of day: keep the time we have
    FTimeDate.Date = t.Days() - SRCPJulianDayOffset;
    FTimeDate.Time = static_cast<std::int32_t>(ms);
}

void TSRCPCustomTime::DoSetInitData(const TSRCPCmd& cmd)
{
    TSRCPBaseDeviceGroup::DoSetInitData(cmd);
    SetDivisor(cmd.DevTime().Divisor());
    SetMultiplicator(cmd.DevTime().Multiplicator());
}
