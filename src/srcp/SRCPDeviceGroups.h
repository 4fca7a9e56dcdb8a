#pragma once
// Device groups: one device (a loco, an accessory decoder, the feedback contacts) or one bus-wide
// function (power, time, description) on one bus of an SRCP 0.8 server. A group sends INIT, GET, SET
// and TERM through a command client, receives the server's INFO lines through an info client, keeps
// the last known values, a device state and three time stamps, and raises events on changes.
// GUI thread only.

#include "SRCPCmd.h"
#include "SRCPTypes.h"

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

class TSRCPBaseClient;
class TSRCPCommandClient;
class TSRCPInfoClient;

class TSRCPBaseDeviceGroup {
public:
    using TNotifyEvent = std::function<void(TSRCPBaseDeviceGroup& sender)>;

    virtual ~TSRCPBaseDeviceGroup();
    TSRCPBaseDeviceGroup(const TSRCPBaseDeviceGroup&) = delete;
    TSRCPBaseDeviceGroup& operator=(const TSRCPBaseDeviceGroup&) = delete;

    TSRCPDeviceGroup DeviceGroup() const { return FDeviceGroup; }
    TSRCPCommandClient* CommandClient() const { return FCommandClient; }
    void SetCommandClient(TSRCPCommandClient* client);
    TSRCPInfoClient* InfoClient() const { return FInfoClient; }
    // Unregisters from the old info client and registers with the new one.
    void SetInfoClient(TSRCPInfoClient* client);
    TSRCPDeviceState DeviceState() const { return FDeviceState; }
    std::int32_t Bus() const { return FBus; }
    void SetBus(std::int32_t bus) { FBus = bus; }
    TSRCPEventMode EventMode() const { return FEventMode; }
    void SetEventMode(TSRCPEventMode mode) { FEventMode = mode; }
    std::int32_t LockClient() const { return FLockClient; }
    double TimeStamps(TSRCPTimeStampType t) const { return FTimeStamps[t]; }
    // True while SetData fetches the device's data before retrying.
    bool SetGetActiv() const { return FSetGetActiv; }
    // The command of the last exchange (holding the last answer).
    const TSRCPCmd& Cmd() const { return FCmd; }

    void SetOnChange(TNotifyEvent e) { FOnChange = std::move(e); }
    void SetOnInit(TNotifyEvent e) { FOnInit = std::move(e); }
    void SetOnTerm(TNotifyEvent e) { FOnTerm = std::move(e); }
    void SetOnLock(TNotifyEvent e) { FOnLock = std::move(e); }
    void SetOnUnlock(TNotifyEvent e) { FOnUnlock = std::move(e); }

    // Command exchanges; they do nothing (false) without a command client.
    void Initalize();
    bool GetData();
    bool SetData();
    void Terminate();

    // A parsed answer: from the info client for every matching info line, and from GetData.
    virtual void SetDataAnswer(const TSRCPCmd& cmd);
    // A referenced client is being destroyed.
    void ClientFreed(TSRCPBaseClient* client);

protected:
    explicit TSRCPBaseDeviceGroup(TSRCPDeviceGroup group);

    virtual void DoSetInfoData(const TSRCPCmd& cmd);
    virtual void DoSetInitData(const TSRCPCmd& cmd);
    virtual void DoSetTermData(const TSRCPCmd& cmd);
    virtual void DoSetLockData(const TSRCPDeviceLock& lock);
    virtual void DoSetUnlockData(const TSRCPDeviceLock& lock);
    // Fill the outgoing command's device fields.
    virtual void DoGetData(TSRCPCmd& cmd) = 0;
    virtual void DoSetData(TSRCPCmd& cmd) = 0;
    virtual void DoTerminate(TSRCPCmd& cmd) = 0;
    virtual void DoInitalize(TSRCPCmd& cmd) = 0;
    virtual void DoLock(TSRCPCmd&) {}
    virtual void DoUnlock(TSRCPCmd&) {}
    // The answer to an INIT of this group.
    virtual void DoInitAnswer(const TSRCPCmd&) {}

    // In exact mode, a message not later than the last one of its kind is stale. A time stamp of 0
    // (a server that does not know when the value last changed) is never stale.
    bool IsStale(double stamp, TSRCPTimeStampType kind) const;

    TSRCPDeviceGroup FDeviceGroup;
    std::int32_t FBus = 0;
    TSRCPEventMode FEventMode = semExact;
    std::array<double, 3> FTimeStamps{0, 0, 0};
    TSRCPCmd FCmd;

private:
    bool Exchange(TSRCPCommandType type, void (TSRCPBaseDeviceGroup::*hook)(TSRCPCmd&));
    void SetInfoData(const TSRCPCmd& cmd);
    void SetinitData(const TSRCPCmd& cmd);
    void SetTermData(const TSRCPCmd& cmd);
    void SetLockData(const TSRCPCmd& cmd);
    void SetUnlockData(const TSRCPCmd& cmd);

    TSRCPCommandClient* FCommandClient = nullptr;
    TSRCPInfoClient* FInfoClient = nullptr;
    TNotifyEvent FOnChange, FOnTerm, FOnInit, FOnUnlock, FOnLock;
    bool FRecursive = false;
    std::int32_t FLockClient = -1;
    bool FSetGetActiv = false;
    TSRCPDeviceState FDeviceState = sdsTerminated;
};

class TSRCPAddressedDeviceGroup : public TSRCPBaseDeviceGroup {
public:
    std::int32_t Address() const { return FAddress; }
    void SetAddress(std::int32_t a) { FAddress = a; }
    void SetDataAnswer(const TSRCPCmd& cmd) override;

protected:
    using TSRCPBaseDeviceGroup::TSRCPBaseDeviceGroup;
    void DoSetTermData(const TSRCPCmd& cmd) override;
    void DoSetLockData(const TSRCPDeviceLock& lock) override;
    void DoSetUnlockData(const TSRCPDeviceLock& lock) override;

    std::int32_t FAddress = 0;
};

class TSRCPCustomPower : public TSRCPBaseDeviceGroup {
public:
    TSRCPCustomPower() : TSRCPBaseDeviceGroup(dgPower) {}
    bool PowerOn() const { return FPowerOn; }
    void SetPowerOn(bool on) { FPowerOn = on; }

protected:
    void DoSetInfoData(const TSRCPCmd& cmd) override;
    void DoGetData(TSRCPCmd&) override {}
    void DoSetData(TSRCPCmd& cmd) override;
    void DoTerminate(TSRCPCmd&) override {}
    void DoInitalize(TSRCPCmd&) override {}

    bool FPowerOn = false;
};

class TSRCPCustomLoco : public TSRCPAddressedDeviceGroup {
public:
    TSRCPCustomLoco() : TSRCPAddressedDeviceGroup(dgLoco) {}
    TSRCPProtocols Protocol() const { return FProtocol; }
    void SetProtocol(TSRCPProtocols p) { FProtocol = p; }
    std::int32_t SubProtocol() const { return FSubProtocol; }
    void SetSubProtocol(std::int32_t v) { FSubProtocol = v; }
    std::int32_t SpeedStep() const { return FSpeedStep; }
    std::int32_t MaxSpeedStep() const { return FMaxSpeedStep; }
    void SetMaxSpeedStep(std::int32_t v) { FMaxSpeedStep = v; }
    std::int32_t Speed() const { return FSpeed; }
    void SetSpeed(std::int32_t v) { FSpeed = v; }
    std::int32_t MaxSpeed() const { return FMaxSpeed; }
    void SetMaxSpeed(std::int32_t v) { FMaxSpeed = v; }
    TSRCPDriveMode DriveMode() const { return FDriveMode; }
    void SetDriveMode(TSRCPDriveMode m) { FDriveMode = m; }
    std::int32_t FunctionCount() const { return static_cast<std::int32_t>(FFunctions.size()); }
    void SetFunctionCount(std::int32_t n);
    std::int32_t Functions(std::int32_t i) const;
    void SetFunctions(std::int32_t i, std::int32_t value);

protected:
    void DoSetInfoData(const TSRCPCmd& cmd) override;
    void DoSetInitData(const TSRCPCmd& cmd) override;
    void DoGetData(TSRCPCmd& cmd) override { cmd.SetDevAddress(FAddress); }
    void DoSetData(TSRCPCmd& cmd) override;
    void DoTerminate(TSRCPCmd& cmd) override { cmd.SetDevAddress(FAddress); }
    void DoInitalize(TSRCPCmd& cmd) override;

    std::int32_t FMaxSpeedStep = 14;
    std::int32_t FMaxSpeed = 100;
    std::int32_t FSpeed = 0;
    std::int32_t FSubProtocol = 0;
    std::int32_t FSpeedStep = 0;
    TSRCPDriveMode FDriveMode = dmForward;
    TSRCPProtocols FProtocol = spMotorola;
    std::vector<std::int32_t> FFunctions{0};
};

class TSRCPCustomDescription : public TSRCPBaseDeviceGroup {
public:
    TSRCPCustomDescription() : TSRCPBaseDeviceGroup(dgDescription) {}
    TSRCPDeviceGroup DeviceGroups(int i) const;
    int DeviceGroupsCount() const { return static_cast<int>(FDeviceGroups.size()); }

protected:
    void DoSetInfoData(const TSRCPCmd& cmd) override;
    void DoGetData(TSRCPCmd&) override {}
    void DoSetData(TSRCPCmd&) override {}
    void DoTerminate(TSRCPCmd&) override {}
    void DoInitalize(TSRCPCmd&) override {}

    std::vector<TSRCPDeviceGroup> FDeviceGroups;
};

class TSRCPCustomAccessoire : public TSRCPAddressedDeviceGroup {
public:
    TSRCPCustomAccessoire() : TSRCPAddressedDeviceGroup(dgAccessoire) {}
    TSRCPProtocols Protocol() const { return FProtocol; }
    void SetProtocol(TSRCPProtocols p) { FProtocol = p; }
    std::int32_t SubProtocol() const { return FSubProtocol; }
    void SetSubProtocol(std::int32_t v) { FSubProtocol = v; }
    std::int32_t Port() const { return FPort; }
    void SetPort(std::int32_t v) { FPort = v; }
    std::int32_t Value() const { return FValue; }
    void SetValue(std::int32_t v) { FValue = v; }
    std::int32_t Delay() const { return FDelay; }
    void SetDelay(std::int32_t v) { FDelay = v; }

protected:
    void DoSetInfoData(const TSRCPCmd& cmd) override;
    void DoSetInitData(const TSRCPCmd& cmd) override;
    void DoGetData(TSRCPCmd& cmd) override;
    void DoSetData(TSRCPCmd& cmd) override;
    void DoTerminate(TSRCPCmd& cmd) override { cmd.SetDevAddress(FAddress); }
    void DoInitalize(TSRCPCmd& cmd) override;

    std::int32_t FPort = 0;
    std::int32_t FValue = 0;
    std::int32_t FSubProtocol = 0;
    TSRCPProtocols FProtocol = spMotorola;
    std::int32_t FDelay = 200;
};

class TSRCPCustomFeedback : public TSRCPAddressedDeviceGroup {
public:
    // Highest contact address kept; messages about higher addresses are ignored.
    static constexpr std::int32_t MaxContacts = 65536;

    TSRCPCustomFeedback() : TSRCPAddressedDeviceGroup(dgFeedback) {}
    std::int32_t Contacts(int i) const;            // -1 outside the list
    int ContactCount() const { return static_cast<int>(FContacts.size()); }
    double ContactTimeStamp(int i) const;          // -1 outside the list
    const std::string& InitString() const { return FInitString; }
    void SetInitString(const std::string& s) { FInitString = s; }
    const std::string& InitAnswer() const { return FInitAnswer; }
    bool Enabled() const { return DeviceState() != sdsTerminated; }
    void SetEnabled(bool on);

protected:
    void DoSetInfoData(const TSRCPCmd& cmd) override;
    void DoGetData(TSRCPCmd& cmd) override { cmd.SetDevAddress(FAddress); }
    void DoSetData(TSRCPCmd& cmd) override { cmd.SetDevAddress(FAddress); }
    void DoTerminate(TSRCPCmd&) override {}
    void DoInitalize(TSRCPCmd& cmd) override { cmd.SetDataString(FInitString); }
    void DoInitAnswer(const TSRCPCmd& cmd) override;
    void SetContacts(int index, std::int32_t value);

    std::vector<std::int32_t> FContacts;
    std::vector<double> FContactTimeStamps;
    std::string FInitAnswer;
    std::string FInitString = "S88";
};

// Model time: day number counted from 1 for 1 January of year 1 (proleptic Gregorian), and
// milliseconds since midnight.
struct TSRCPTimeStamp {
    std::int32_t Date = 0;
    std::int32_t Time = 0;
    bool operator==(const TSRCPTimeStamp&) const = default;
};
// Day number of a calendar date, and back.
std::int32_t SRCPDayNumber(int year, int month, int day);
void SRCPDecodeDayNumber(std::int32_t dayNumber, int& year, int& month, int& day);
inline constexpr std::int32_t SRCPJulianDayOffset = 1721425;

class TSRCPCustomTime : public TSRCPBaseDeviceGroup {
public:
    TSRCPCustomTime() : TSRCPBaseDeviceGroup(dgTime) {}
    const TSRCPTimeStamp& TimeDate() const { return FTimeDate; }
    // Stores the time and, if enabled, sends it.
    void SetTimeDate(const TSRCPTimeStamp& stamp);
    // Days since 30 December 1899, the fraction being the time of day.
    double DateTime() const;
    void SetDateTime(double value);
    std::int32_t Multiplicator() const { return FMultiplicator; }
    void SetMultiplicator(std::int32_t v) { FMultiplicator = v > 0 ? v : 1; }
    std::int32_t Divisor() const { return FDivisor; }
    void SetDivisor(std::int32_t v) { FDivisor = v > 0 ? v : 1; }
    bool Enabled() const { return DeviceState() != sdsTerminated; }
    void SetEnabled(bool on);

protected:
    void DoSetInfoData(const TSRCPCmd& cmd) override;
    void DoSetInitData(const TSRCPCmd& cmd) override;
    void DoGetData(TSRCPCmd&) override {}
    void DoSetData(TSRCPCmd& cmd) override;
    void DoTerminate(TSRCPCmd&) override {}
    void DoInitalize(TSRCPCmd& cmd) override;

    TSRCPTimeStamp FTimeDate;
    std::int32_t FDivisor = 1;
    std::int32_t FMultiplicator = 1;
};

// The published groups.
class TSRCPPower : public TSRCPCustomPower {};
class TSRCPLoco : public TSRCPCustomLoco {};
class TSRCPAccessoire : public TSRCPCustomAccessoire {};
class TSRCPFeedback : public TSRCPCustomFeedback {};
class TSRCPTime : public TSRCPCustomTime {};
class TSRCPDescription : public TSRCPCustomDescription {};
