#pragma once
// Device messages: one object per device group, owned by a TSRCPCmd. A device holds the fields that
// only lines of its group carry, writes them when a line is built and takes them apart when a line
// is read.

#include "SRCPString.h"
#include "SRCPTypes.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TSRCPCmd;

class TSRCPBaseDevice {
public:
    explicit TSRCPBaseDevice(TSRCPCmd& owner) : FOwner(owner) {}
    virtual ~TSRCPBaseDevice() = default;
    TSRCPBaseDevice(const TSRCPBaseDevice&) = delete;
    TSRCPBaseDevice& operator=(const TSRCPBaseDevice&) = delete;

    TSRCPCmd& Owner() const { return FOwner; }
    TSRCPCommandType CommandType() const;
    double TimeStamp() const;

    // Sets the fields to their absent values.
    virtual void SetDefaultData() = 0;
    virtual std::string GetParameterList() const { return {}; }
    // Adds the text of one point to the line.
    virtual void GetDataPointString(TSRCPDataPoint dp, TSRCPString& line) = 0;
    // Takes one field of a line; false when the field is refused.
    virtual bool SetDataPointString(TSRCPDataPoint dp, std::string_view text) = 0;
    // Whether a point of the selected row applies to the present values.
    virtual bool CheckNextDataPoint(TSRCPDataPoint) { return true; }
    // Resets per-pass state before a line is built.
    virtual void InitInterpretation() {}
    // Takes the unparsed rest of an answer.
    virtual bool EndOfData(std::string_view) { return true; }

protected:
    TSRCPCmd& FOwner;
    TSRCPDeviceGroup FDevGroup = dgInvalid;
};

// A device with an address; the address lives in the owning command (DevAddress).
class TSRCPAddressedDevice : public TSRCPBaseDevice {
public:
    using TSRCPBaseDevice::TSRCPBaseDevice;
    std::int32_t Address() const;
    void SetAddress(std::int32_t a);

    void SetDefaultData() override;
    void GetDataPointString(TSRCPDataPoint dp, TSRCPString& line) override;
    bool SetDataPointString(TSRCPDataPoint dp, std::string_view text) override;
};

class TSRCPDeviceFeedback final : public TSRCPAddressedDevice {
public:
    using TSRCPAddressedDevice::TSRCPAddressedDevice;
    std::int32_t Value() const { return FValue; }
    void SetValue(std::int32_t v) { FValue = v; }
    std::int32_t TimeOut() const { return FTimeOut; }
    void SetTimeOut(std::int32_t v) { FTimeOut = v; }

    void SetDefaultData() override;
    void GetDataPointString(TSRCPDataPoint dp, TSRCPString& line) override;
    bool SetDataPointString(TSRCPDataPoint dp, std::string_view text) override;

private:
    std::int32_t FValue = 0;
    std::int32_t FTimeOut = 0;
};

class TSRCPDeviceAccessoire final : public TSRCPAddressedDevice {
public:
    using TSRCPAddressedDevice::TSRCPAddressedDevice;
    std::int32_t Value() const { return FValue; }
    void SetValue(std::int32_t v) { FValue = v; }
    std::int32_t Port() const { return FPort; }
    void SetPort(std::int32_t v) { FPort = v; }
    std::int32_t Delay() const { return FDelay; }
    void SetDelay(std::int32_t v) { FDelay = v; }
    TSRCPProtocols Protocol() const { return FProtocol; }
    void SetProtocol(TSRCPProtocols p) { FProtocol = p; }

    void SetDefaultData() override;
    void GetDataPointString(TSRCPDataPoint dp, TSRCPString& line) override;
    bool SetDataPointString(TSRCPDataPoint dp, std::string_view text) override;

private:
    std::int32_t FValue = 0;
    std::int32_t FPort = 0;
    std::int32_t FDelay = 0;
    TSRCPProtocols FProtocol = spAnalog;
};

class TSRCPDeviceLoco final : public TSRCPAddressedDevice {
public:
    // Longest function list a line may set; longer lists are refused instead of exhausting memory.
    static constexpr std::int32_t MaxFunctionCount = 1024;

    using TSRCPAddressedDevice::TSRCPAddressedDevice;
    TSRCPProtocols Protocol() const { return FProtocol; }
    void SetProtocol(TSRCPProtocols p) { FProtocol = p; }
    std::int32_t SubProtocol() const { return FSubProtocol; }
    void SetSubProtocol(std::int32_t v) { FSubProtocol = v; }
    std::int32_t SpeedStep() const { return FSpeedStep; }
    void SetSpeedStep(std::int32_t v) { FSpeedStep = v; }
    std::int32_t MaxSpeedStep() const { return FMaxSpeedStep; }
    void SetMaxSpeedStep(std::int32_t v) { FMaxSpeedStep = v; }
    std::int32_t Speed() const { return FSpeed; }
    void SetSpeed(std::int32_t v) { FSpeed = v; }
    std::int32_t MaxSpeed() const { return FMaxSpeed; }
    void SetMaxSpeed(std::int32_t v) { FMaxSpeed = v; }
    TSRCPDriveMode DriveMode() const { return FDriveMode; }
    void SetDriveMode(TSRCPDriveMode m) { FDriveMode = m; }
    std::int32_t FunctionCount() const { return static_cast<std::int32_t>(FFunctions.size()); }
    // Resizes the list (new entries 0); false for a count outside 0..MaxFunctionCount.
    bool SetFunctionCount(std::int32_t n);
    // -1 beyond the list.
    std::int32_t Functions(std::int32_t i) const;
    // Does nothing beyond the list.
    void SetFunctions(std::int32_t i, std::int32_t value);

    void SetDefaultData() override;
    void GetDataPointString(TSRCPDataPoint dp, TSRCPString& line) override;
    bool SetDataPointString(TSRCPDataPoint dp, std::string_view text) override;
    bool CheckNextDataPoint(TSRCPDataPoint dp) override;
    bool EndOfData(std::string_view rest) override;

private:
    bool AddFunctionValue(std::string_view text);  // one dpFunction read

    std::vector<std::int32_t> FFunctions{0};
    std::int32_t FMaxSpeedStep = 0;
    std::int32_t FSpeedStep = 0;
    std::int32_t FSpeed = 0;
    std::int32_t FSubProtocol = 0;
    std::int32_t FMaxSpeed = 0;
    TSRCPDriveMode FDriveMode = dmNoChange;
    TSRCPProtocols FProtocol = spAnalog;
    std::int32_t FFunctionIndex = 0;
};

class TSRCPDeviceServiceMode final : public TSRCPAddressedDevice {
public:
    using TSRCPAddressedDevice::TSRCPAddressedDevice;
    std::int32_t TypeAddress() const { return FTypeAddress; }
    void SetTypeAddress(std::int32_t v) { FTypeAddress = v; }
    std::int32_t Value() const { return FValue; }
    void SetValue(std::int32_t v) { FValue = v; }
    std::int32_t Bit() const { return FBit; }
    void SetBit(std::int32_t v) { FBit = v; }
    TSRCPServiceModeType AddressType() const { return FAddressType; }
    void SetAddressType(TSRCPServiceModeType t) { FAddressType = t; }
    TSRCPProtocols Protocol() const { return FProtocol; }
    void SetProtocol(TSRCPProtocols p) { FProtocol = p; }

    void SetDefaultData() override;
    void GetDataPointString(TSRCPDataPoint dp, TSRCPString& line) override;
    bool SetDataPointString(TSRCPDataPoint dp, std::string_view text) override;
    bool CheckNextDataPoint(TSRCPDataPoint dp) override;
    void InitInterpretation() override { FValueCounter = 0; }

private:
    std::int32_t& NextValueField();

    std::int32_t FTypeAddress = 0;
    std::int32_t FValue = 0;
    std::int32_t FBit = 0;
    TSRCPServiceModeType FAddressType = smtCV;
    std::int32_t FValueCounter = 0;
    TSRCPProtocols FProtocol = spAnalog;
};

class TSRCPDeviceLock final : public TSRCPAddressedDevice {
public:
    using TSRCPAddressedDevice::TSRCPAddressedDevice;
    std::int32_t Duration() const { return FDuration; }
    void SetDuration(std::int32_t v) { FDuration = v; }
    std::int32_t SessionID() const { return FSessionID; }
    void SetSessionID(std::int32_t v) { FSessionID = v; }
    TSRCPDeviceGroup LockDevGroup() const { return FLockDevGroup <= dgInvalid ? FLockDevGroup : dgInvalid; }
    void SetLockDevGroup(TSRCPDeviceGroup g) { FLockDevGroup = g; }

    void SetDefaultData() override;
    void GetDataPointString(TSRCPDataPoint dp, TSRCPString& line) override;
    bool SetDataPointString(TSRCPDataPoint dp, std::string_view text) override;

private:
    std::int32_t FDuration = 0;
    std::int32_t FSessionID = 0;
    TSRCPDeviceGroup FLockDevGroup = dgInvalid;
};

class TSRCPDevicePower final : public TSRCPBaseDevice {
public:
    using TSRCPBaseDevice::TSRCPBaseDevice;
    bool PowerOn() const { return FPowerOn; }
    void SetPowerOn(bool on) { FPowerOn = on; }

    void SetDefaultData() override { FPowerOn = false; }
    void GetDataPointString(TSRCPDataPoint dp, TSRCPString& line) override;
    bool SetDataPointString(TSRCPDataPoint dp, std::string_view text) override;

private:
    bool FPowerOn = false;
};

class TSRCPDeviceTime final : public TSRCPBaseDevice {
public:
    using TSRCPBaseDevice::TSRCPBaseDevice;
    std::int32_t Hour() const { return FHour; }
    void SetHour(std::int32_t v) { FHour = v; }
    std::int32_t Second() const { return FSecond; }
    void SetSecond(std::int32_t v) { FSecond = v; }
    std::int32_t Minute() const { return FMinute; }
    void SetMinute(std::int32_t v) { FMinute = v; }
    std::int32_t Days() const { return FDays; }
    void SetDays(std::int32_t v) { FDays = v; }
    std::int32_t Divisor() const { return FDivisor; }
    void SetDivisor(std::int32_t v) { FDivisor = v; }
    std::int32_t Multiplicator() const { return FMultiplicator; }
    void SetMultiplicator(std::int32_t v) { FMultiplicator = v; }

    void SetDefaultData() override;
    void GetDataPointString(TSRCPDataPoint dp, TSRCPString& line) override;
    bool SetDataPointString(TSRCPDataPoint dp, std::string_view text) override;

private:
    std::int32_t* Field(TSRCPDataPoint dp);

    std::int32_t FHour = 0;
    std::int32_t FSecond = 0;
    std::int32_t FMinute = 0;
    std::int32_t FDays = 0;
    std::int32_t FDivisor = 0;
    std::int32_t FMultiplicator = 0;
};

class TSRCPDeviceSession final : public TSRCPBaseDevice {
public:
    using TSRCPBaseDevice::TSRCPBaseDevice;
    std::int32_t SessionID() const { return FSessionID; }
    void SetSessionID(std::int32_t v) { FSessionID = v; }

    void SetDefaultData() override { FSessionID = -1; }
    void GetDataPointString(TSRCPDataPoint dp, TSRCPString& line) override;
    bool SetDataPointString(TSRCPDataPoint dp, std::string_view text) override;

private:
    std::int32_t FSessionID = 0;
};

class TSRCPDeviceDescription final : public TSRCPAddressedDevice {
public:
    using TSRCPAddressedDevice::TSRCPAddressedDevice;
    TSRCPDeviceGroup DescriptionDevGroup() const { return FDescriptionDevGroup; }
    void SetDescriptionDevGroup(TSRCPDeviceGroup g) { FDescriptionDevGroup = g; }
    void AddDeviceGroup(TSRCPDeviceGroup g) { FDevGroupList.push_back(g); }
    void ClearDevGroupList() { FDevGroupList.clear(); }
    int DevGroupListCount() const { return static_cast<int>(FDevGroupList.size()); }
    // dgInvalid beyond the list.
    TSRCPDeviceGroup DevGroupList(int i) const;
    const std::vector<TSRCPDeviceGroup>& DevGroups() const { return FDevGroupList; }

    void SetDefaultData() override;
    void GetDataPointString(TSRCPDataPoint dp, TSRCPString& line) override;
    bool SetDataPointString(TSRCPDataPoint dp, std::string_view text) override;
    bool EndOfData(std::string_view rest) override;

private:
    bool IsBusDescription() const;
    void AddGroupWord(std::string_view word);

    TSRCPDeviceGroup FDescriptionDevGroup = dgInvalid;
    std::vector<TSRCPDeviceGroup> FDevGroupList;
};

class TSRCPDeviceServer final : public TSRCPBaseDevice {
public:
    using TSRCPBaseDevice::TSRCPBaseDevice;
    TSRCPServerState State() const { return FState; }
    void SetState(TSRCPServerState s) { FState = s; }

    void SetDefaultData() override { FState = ssInvalid; }
    void GetDataPointString(TSRCPDataPoint dp, TSRCPString& line) override;
    bool SetDataPointString(TSRCPDataPoint dp, std::string_view text) override;

private:
    TSRCPServerState FState = ssRunning;
};

class TSRCPDeviceHandshake final : public TSRCPBaseDevice {
public:
    using TSRCPBaseDevice::TSRCPBaseDevice;
    std::int32_t SessionID() const { return FSessionID; }
    void SetSessionID(std::int32_t v) { FSessionID = v; }
    TSRCPCommandVersion Version() const { return FVersion; }
    void SetVersion(TSRCPCommandVersion v) { FVersion = v; }
    TSRCPConnectionModeType Mode() const { return FMode; }
    void SetMode(TSRCPConnectionModeType m) { FMode = m; }

    void SetDefaultData() override;
    void GetDataPointString(TSRCPDataPoint dp, TSRCPString& line) override;
    bool SetDataPointString(TSRCPDataPoint dp, std::string_view text) override;

private:
    std::int32_t FSessionID = 0;
    TSRCPCommandVersion FVersion = cv073;
    TSRCPConnectionModeType FMode = cmtInfo;
};

class TSRCPDeviceWelcome final : public TSRCPBaseDevice {
public:
    using TSRCPBaseDevice::TSRCPBaseDevice;
    const std::string& Welcome() const { return FWelcome; }
    void SetWelcome(std::string_view w) { FWelcome = w; }
    const std::string& Info() const { return FInfo; }
    void SetInfo(std::string_view i) { FInfo = i; }
    const std::string& Result() const { return FResult; }
    void AddVersion(TSRCPCommandVersion v, std::string_view word = {});
    void ClearVersionList();
    int VersionCount() const { return static_cast<int>(FVersions.size()); }
    TSRCPCommandVersion Versions(int i) const { return FVersions[static_cast<std::size_t>(i)]; }
    // The version words exactly as the server wrote them (for versions this library has no name for).
    const std::vector<std::string>& VersionWords() const { return FVersionWords; }
    // Takes a welcome line apart.
    void SetSWelcome(std::string_view line);

    void SetDefaultData() override;
    void GetDataPointString(TSRCPDataPoint dp, TSRCPString& line) override;
    bool SetDataPointString(TSRCPDataPoint dp, std::string_view text) override;

private:
    std::string FWelcome;
    std::string FInfo;
    std::string FResult;
    std::vector<TSRCPCommandVersion> FVersions;
    std::vector<std::string> FVersionWords;
};
