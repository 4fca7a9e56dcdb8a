#pragma once
// Locos, solenoid accessories, feedback contacts and power as plain objects, independent of any
// server. A device takes its limits (address range, speed steps, functions, ports) from the protocol
// description it refers to; the protocol is owned elsewhere and must outlive the device or be
// replaced by none first.

#include "moba/MoBaPersistent.h"
#include "moba/MoBaProtocols.h"

#include <array>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

inline constexpr std::int32_t MoBaMaxInt = std::numeric_limits<std::int32_t>::max();
// Most function entries and ports a device keeps, whatever a protocol read from a file claims.
inline constexpr std::int32_t MoBaFunctionLimit = 1024;
inline constexpr std::int32_t MoBaPortLimit = 1024;

class TMoBaBaseDevice : public TMoBaPersistent {
public:
    TMoBaBaseDevice() = default;  // no protocol, address 0 (not clamped)

    virtual std::unique_ptr<TMoBaBaseDevice> CreateNew() const;
    void AssignTo(TMoBaPersistent& Dest) const override;
    // Re-applies the limits of the protocol.
    virtual void RecalculateSettings();

    TMoBaBaseProtocol* Protocol() const { return FProtocol; }
    // A different protocol is stored and the settings are recalculated; the same one does nothing.
    void SetProtocol(TMoBaBaseProtocol* Value);
    std::int32_t Address() const { return FAddress; }
    // Above the protocol's MaxAddress gives MaxAddress, otherwise below 1 gives 1.
    void SetAddress(std::int32_t Value);
    // The protocol's MaxAddress, 2147483647 without protocol.
    std::int32_t MaxAddress() const;

protected:
    TMoBaBaseProtocol* FProtocol = nullptr;
    std::int32_t FAddress = 0;
};

enum TMoBaDriveMode : std::uint8_t {
    mdmForward = 0,
    mdmBackwards = 1,
    mdmChange = 2,
    mdmEmergencyStop = 3,
    mdmNext = 4,
    mdmInvalid = 5
};
extern const std::array<const char*, 6> MoBaDriveModeDescriptions;

class TMoBaBaseLoco : public TMoBaBaseDevice {
public:
    // MaxFunctions functions (255 without protocol), all off; step 0; forward.
    TMoBaBaseLoco();

    std::unique_ptr<TMoBaBaseDevice> CreateNew() const override;
    void AssignTo(TMoBaPersistent& Dest) const override;
    // Address rule, then the speed step and the function count within the protocol's limits.
    void RecalculateSettings() override;

    // The protocol as a loco protocol; none without protocol or for a protocol of another kind.
    TMoBaLocoProtocol* Protocol() const { return dynamic_cast<TMoBaLocoProtocol*>(FProtocol); }
    // From the loco protocol; without one 255, 2147483647 and 0.
    std::int32_t MaxFunctions() const;
    std::int32_t MaxSteps() const;
    std::int32_t MinSteps() const;

    std::int32_t FunctionCount() const { return static_cast<std::int32_t>(FFunctions.size()); }
    // Limited to 0 .. MaxFunctions; existing entries are kept, new ones are off.
    void SetFunctionCount(std::int32_t Value);
    // Off for an index beyond the list; writing beyond the list does nothing.
    bool Functions(std::uint16_t Index) const;
    void SetFunctions(std::uint16_t Index, bool Value);

    std::int32_t SpeedStep() const { return FSpeedStep; }
    // Above MaxSteps gives MaxSteps, below MinSteps gives MinSteps.
    void SetSpeedStep(std::int32_t Value);
    TMoBaDriveMode DriveMode() const { return FDriveMode; }
    // Forward/backwards also become the old drive mode; mdmNext reverses or restores the direction.
    void SetDriveMode(TMoBaDriveMode Value);
    TMoBaDriveMode OldDriveMode() const { return FOldDriveMode; }

protected:
    std::vector<bool> FFunctions;
    std::int32_t FSpeedStep = 0;
    TMoBaDriveMode FDriveMode = mdmForward;
    TMoBaDriveMode FOldDriveMode = mdmForward;
};

class TMoBaAdvancedLoco : public TMoBaBaseLoco {
public:
    TMoBaAdvancedLoco() = default;

    std::unique_ptr<TMoBaBaseDevice> CreateNew() const override;
    void AssignTo(TMoBaPersistent& Dest) const override;

    std::int32_t MaxSpeed() const { return FMaxSpeed; }
    // At least 1; the speed step is kept unless the speed would exceed the new maximum.
    void SetMaxSpeed(std::int32_t Value);
    // The speed step on the scale 0 .. MaxSpeed, rounded to the nearest integer (halves to even).
    std::int32_t Speed() const;
    // Limits Value to 0 .. MaxSpeed and sets the nearest speed step.
    void SetSpeed(std::int32_t Value);

    bool Locked() const { return FLocked; }
    void SetLocked(bool Value) { FLocked = Value; }
    std::int32_t LockID() const { return FLockID; }
    void SetLockID(std::int32_t Value) { FLockID = Value; }
    void* Data() const { return FData; }
    void SetData(void* Value) { FData = Value; }
    const std::string& Description() const { return FDescription; }
    void SetDescription(std::string Value) { FDescription = std::move(Value); }

protected:
    bool FLocked = false;
    std::int32_t FMaxSpeed = 100;
    std::int32_t FLockID = 0;
    void* FData = nullptr;
    std::string FDescription;
};

class TMoBaBaseSolenoid : public TMoBaBaseDevice {
public:
    using TNotifyEvent = std::function<void(TMoBaBaseSolenoid& Sender)>;
    // Asks the owner to call Callback once, about Time milliseconds later. Callback does nothing
    // once the solenoid is gone.
    using TMoBaTimerCallback =
        std::function<void(TMoBaBaseSolenoid& Sender, std::uint32_t Time, std::function<void()> Callback)>;

    // MaxPort + 1 ports (2 without protocol), all 0; activation time 200 ms.
    TMoBaBaseSolenoid();
    ~TMoBaBaseSolenoid() override;

    std::unique_ptr<TMoBaBaseDevice> CreateNew() const override;
    void AssignTo(TMoBaPersistent& Dest) const override;
    // Address rule, then MaxPort + 1 ports: kept ones limited to MaxAction, new ones 0.
    void RecalculateSettings() override;

    TMoBaSolenoidProtocol* Protocol() const { return dynamic_cast<TMoBaSolenoidProtocol*>(FProtocol); }
    // From the solenoid protocol (MaxPort, MaxValue); without one 1 and 2147483647.
    std::int32_t MaxPort() const;
    std::int32_t MaxAction() const;

    std::int32_t PortCount() const { return static_cast<std::int32_t>(FPorts.size()); }
    // 0 for an index beyond the list.
    std::int32_t Ports(std::int32_t Index) const;
    // Ignored for an index outside the list; otherwise stores Value limited to 0 .. MaxAction, makes
    // Index the active port and, for a value other than 0, calls OnActivation.
    void SetPorts(std::int32_t Index, std::int32_t Value);
    // Switches the active port off and reports it through OnActionOff.
    void TimerCallback();

    std::uint32_t ActivationTime() const { return FActivationTime; }
    void SetActivationTime(std::uint32_t Value) { FActivationTime = Value; }
    std::int32_t ActivePort() const { return FActivePort; }
    void SetActivePort(std::int32_t Value) { FActivePort = Value; }
    const TMoBaTimerCallback& OnActivation() const { return FOnActivation; }
    void SetOnActivation(TMoBaTimerCallback e) { FOnActivation = std::move(e); }
    const TNotifyEvent& OnActionOff() const { return FOnActionOff; }
    void SetOnActionOff(TNotifyEvent e) { FOnActionOff = std::move(e); }

protected:
    std::uint32_t FActivationTime = 200;
    std::int32_t FActivePort = 0;
    std::vector<std::int32_t> FPorts;
    TMoBaTimerCallback FOnActivation;
    TNotifyEvent FOnActionOff;

private:
    // Cleared when the solenoid is destroyed, so a late timer callback does nothing.
    std::shared_ptr<TMoBaBaseSolenoid*> FSelf;
};

class TMoBaAdvancedSolenoid : public TMoBaBaseSolenoid {
public:
    TMoBaAdvancedSolenoid() = default;

    std::unique_ptr<TMoBaBaseDevice> CreateNew() const override;
    void AssignTo(TMoBaPersistent& Dest) const override;

    bool Locked() const { return FLocked; }
    void SetLocked(bool Value) { FLocked = Value; }
    std::int32_t LockID() const { return FLockID; }
    void SetLockID(std::int32_t Value) { FLockID = Value; }
    void* Data() const { return FData; }
    void SetData(void* Value) { FData = Value; }
    const std::string& Description() const { return FDescription; }
    void SetDescription(std::string Value) { FDescription = std::move(Value); }

protected:
    bool FLocked = false;
    std::int32_t FLockID = 0;
    void* FData = nullptr;
    std::string FDescription;
};

// Flag bits of a feedback contact's state. Bit 1 is not used.
enum : std::uint32_t {
    mfbWasActiv = 2,      // the contact was occupied before a change nobody has read yet
    mfbHasChanged = 4,    // changed since the value was last read
    mfbChangedState = 8,  // the last write changed the value
};

class TMoBaBaseFeedback : public TMoBaBaseDevice {
public:
    TMoBaBaseFeedback() = default;  // value 0, no flags

    std::unique_ptr<TMoBaBaseDevice> CreateNew() const override;
    void AssignTo(TMoBaPersistent& Dest) const override;

    // 0 free, other values occupied, -1 a placeholder without a value. Sets the change flags.
    void SetValue(std::int32_t AValue);
    // Returns the value and acknowledges the change (clears HasChanged and WasActiv).
    std::int32_t GetValue();
    // The value, flags untouched.
    std::int32_t IsActiv() const { return FValue; }
    // GetValue() != 0 (so it acknowledges the change too).
    bool GetActiv() { return GetValue() != 0; }
    void SetActiv(bool Value) { SetValue(Value ? 1 : 0); }

    bool HasChanged() const { return FlagToBool(mfbHasChanged); }
    bool WasActiv() const { return FlagToBool(mfbWasActiv); }
    bool ChangedState() const { return FlagToBool(mfbChangedState); }
    std::uint32_t State() const { return FState; }
    void BoolToFlag(bool NewState, std::uint32_t Mask);
    bool FlagToBool(std::uint32_t Mask) const { return (FState & Mask) != 0; }

protected:
    std::int32_t FValue = 0;
    std::uint32_t FState = 0;
};

class TMoBaBasePower : public TMoBaPersistent {
public:
    TMoBaBasePower() = default;

    std::unique_ptr<TMoBaBasePower> CreateNew() const;
    void AssignTo(TMoBaPersistent& Dest) const override;

    bool PowerOn() const { return FPowerOn; }
    void SetPowerOn(bool Value) { FPowerOn = Value; }

protected:
    bool FPowerOn = false;
};
