#include "moba/MoBaDevices.h"

#include <algorithm>

const std::array<const char*, 6> MoBaDriveModeDescriptions{
    "Forward", "Backwards", "Change", "Emergency Stop", "Automatic change", "Invalid"};

namespace {

// a / b rounded to the nearest integer, exact halves to the even neighbour; b > 0. The result is
// kept within 32 bits.
std::int32_t roundDiv(std::int64_t a, std::int64_t b)
{
    std::int64_t q = a / b;
    std::int64_t r = a % b;
    if (r < 0) {
        --q;
        r += b;
    }
    if (2 * r > b || (2 * r == b && q % 2 != 0))
        ++q;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(q, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

// --- TMoBaBaseDevice ---

std::unique_ptr<TMoBaBaseDevice> TMoBaBaseDevice::CreateNew() const
{
    return std::make_unique<TMoBaBaseDevice>();
}

void TMoBaBaseDevice::AssignTo(TMoBaPersistent& Dest) const
{
    auto* d = dynamic_cast<TMoBaBaseDevice*>(&Dest);
    if (!d) {
        TMoBaPersistent::AssignTo(Dest);
        return;
    }
    d->FProtocol = FProtocol;
    d->FAddress = FAddress;
}

void TMoBaBaseDevice::RecalculateSettings()
{
    SetAddress(FAddress);
}

void TMoBaBaseDevice::SetProtocol(TMoBaBaseProtocol* Value)
{
    if (Value == FProtocol)
        return;
    FProtocol = Value;
    RecalculateSettings();
}

void TMoBaBaseDevice::SetAddress(std::int32_t Value)
{
    if (FProtocol && Value > FProtocol->MaxAddress())
        FAddress = FProtocol->MaxAddress();
    else if (Value < 1)
        FAddress = 1;
    else
        FAddress = Value;
}

std::int32_t TMoBaBaseDevice::MaxAddress() const
{
    return FProtocol ? FProtocol->MaxAddress() : MoBaMaxInt;
}

// --- TMoBaBaseLoco ---

TMoBaBaseLoco::TMoBaBaseLoco()
{
    SetFunctionCount(MaxFunctions());
}

std::unique_ptr<TMoBaBaseDevice> TMoBaBaseLoco::CreateNew() const
{
    return std::make_unique<TMoBaBaseLoco>();
}

std::int32_t TMoBaBaseLoco::MaxFunctions() const
{
    const TMoBaLocoProtocol* p = Protocol();
    return p ? p->MaxFunctions() : 255;
}

std::int32_t TMoBaBaseLoco::MaxSteps() const
{
    const TMoBaLocoProtocol* p = Protocol();
    return p ? p->MaxSteps() : MoBaMaxInt;
}

std::int32_t TMoBaBaseLoco::MinSteps() const
{
    const TMoBaLocoProtocol* p = Protocol();
    return p ? p->MinSteps() : 0;
}

void TMoBaBaseLoco::SetFunctionCount(std::int32_t Value)
{
    Value = std::min(Value, MaxFunctions());
    Value = std::clamp(Value, 0, MoBaFunctionLimit);
    FFunctions.resize(static_cast<std::size_t>(Value), false);
}

bool TMoBaBaseLoco::Functions(std::uint16_t Index) const
{
    return Index < FFunctions.size() && FFunctions[Index];
}

void TMoBaBaseLoco::SetFunctions(std::uint16_t Index, bool Value)
{
    if (Index < FFunctions.size())
        FFunctions[Index] = Value;
}

void TMoBaBaseLoco::SetSpeedStep(std::int32_t Value)
{
    if (Value > MaxSteps())
        Value = MaxSteps();
    if (Value < MinSteps())
        Value = MinSteps();
    FSpeedStep = Value;
}

void TMoBaBaseLoco::SetDriveMode(TMoBaDriveMode Value)
{
    switch (Value) {
    case mdmForward:
    case mdmBackwards:
        FDriveMode = Value;
        FOldDriveMode = Value;
        break;
    case mdmChange:
    case mdmEmergencyStop:
    case mdmInvalid:
        FDriveMode = Value;
        break;
    case mdmNext:
        if (FDriveMode == mdmForward)
            SetDriveMode(mdmBackwards);
        else if (FDriveMode == mdmBackwards)
            SetDriveMode(mdmForward);
        else
            // Back to the last direction; setting that direction again changes nothing more (and an
            // old mode that is not a direction must not lead here once more).
            FDriveMode = FOldDriveMode;
        break;
    default:
        FDriveMode = mdmInvalid;
        break;
    }
}

void TMoBaBaseLoco::RecalculateSettings()
{
    TMoBaBaseDevice::RecalculateSettings();
    SetSpeedStep(FSpeedStep);
    SetFunctionCount(MaxFunctions());
}

void TMoBaBaseLoco::AssignTo(TMoBaPersistent& Dest) const
{
    TMoBaBaseDevice::AssignTo(Dest);
    auto* d = dynamic_cast<TMoBaBaseLoco*>(&Dest);
    if (!d)
        return;
    d->SetFunctionCount(FunctionCount());
    const std::size_t n = std::min(FFunctions.size(), d->FFunctions.size());
    for (std::size_t i = 0; i < n; ++i)
        d->FFunctions[i] = FFunctions[i];
    d->FSpeedStep = FSpeedStep;
    d->FDriveMode = FDriveMode;
    d->FOldDriveMode = FOldDriveMode;
}

// --- TMoBaAdvancedLoco ---

std::unique_ptr<TMoBaBaseDevice> TMoBaAdvancedLoco::CreateNew() const
{
    return std::make_unique<TMoBaAdvancedLoco>();
}

void TMoBaAdvancedLoco::AssignTo(TMoBaPersistent& Dest) const
{
    TMoBaBaseLoco::AssignTo(Dest);
    auto* d = dynamic_cast<TMoBaAdvancedLoco*>(&Dest);
    if (!d)
        return;
    d->FMaxSpeed = FMaxSpeed;
    d->FData = FData;
    d->FDescription = FDescription;
    d->FLocked = FLocked;
    d->FLockID = FLockID;
}

std::int32_t TMoBaAdvancedLoco::Speed() const
{
    const std::int32_t steps = MaxSteps();
    if (steps <= 0)
        return 0;
    return roundDiv(std::int64_t{FSpeedStep} * FMaxSpeed, steps);
}

void TMoBaAdvancedLoco::SetSpeed(std::int32_t Value)
{
    Value = std::clamp(Value, 0, FMaxSpeed);
    SetSpeedStep(roundDiv(std::int64_t{Value} * MaxSteps(), FMaxSpeed));
}

void TMoBaAdvancedLoco::SetMaxSpeed(std::int32_t Value)
{
    FMaxSpeed = std::max(Value, 1);
    if (Speed() > FMaxSpeed)
        SetSpeed(FMaxSpeed);
}

// --- TMoBaBaseSolenoid ---

namespace {

std::size_t portCountFor(std::int32_t maxPort)
{
    return static_cast<std::size_t>(std::clamp(maxPort, -1, MoBaPortLimit - 1) + 1);
}

}  // namespace

TMoBaBaseSolenoid::TMoBaBaseSolenoid()
    : FPorts(portCountFor(MaxPort()), 0), FSelf(std::make_shared<TMoBaBaseSolenoid*>(this))
{
}

TMoBaBaseSolenoid::~TMoBaBaseSolenoid()
{
    *FSelf = nullptr;
}

std::unique_ptr<TMoBaBaseDevice> TMoBaBaseSolenoid::CreateNew() const
{
    return std::make_unique<TMoBaBaseSolenoid>();
}

std::int32_t TMoBaBaseSolenoid::MaxPort() const
{
    const TMoBaSolenoidProtocol* p = Protocol();
    return p ? p->MaxPort() : 1;
}

std::int32_t TMoBaBaseSolenoid::MaxAction() const
{
    const TMoBaSolenoidProtocol* p = Protocol();
    return p ? p->MaxValue() : MoBaMaxInt;
}

std::int32_t TMoBaBaseSolenoid::Ports(std::int32_t Index) const
{
    return Index >= 0 && Index < PortCount() ? FPorts[static_cast<std::size_t>(Index)] : 0;
}

void TMoBaBaseSolenoid::SetPorts(std::int32_t Index, std::int32_t Value)
{
    if (Index < 0 || Index >= PortCount())
        return;
    if (Value > MaxAction())
        Value = MaxAction();
    if (Value < 0)
        Value = 0;
    FPorts[static_cast<std::size_t>(Index)] = Value;
    FActivePort = Index;
    if (Value != 0 && FOnActivation) {
        std::shared_ptr<TMoBaBaseSolenoid*> self = FSelf;
        FOnActivation(*this, FActivationTime, [self] {
            if (*self)
                (*self)->TimerCallback();
        });
    }
}

void TMoBaBaseSolenoid::TimerCallback()
{
    if (FActivePort >= 0 && FActivePort < PortCount())
        FPorts[static_cast<std::size_t>(FActivePort)] = 0;
    if (FOnActionOff)
        FOnActionOff(*this);
}

void TMoBaBaseSolenoid::RecalculateSettings()
{
    TMoBaBaseDevice::RecalculateSettings();
    const std::size_t kept = std::min(FPorts.size(), portCountFor(MaxPort()));
    FPorts.resize(portCountFor(MaxPort()), 0);
    const std::int32_t maxAction = MaxAction();
    for (std::size_t i = 0; i < kept; ++i)
        FPorts[i] = std::min(FPorts[i], maxAction);
}

void TMoBaBaseSolenoid::AssignTo(TMoBaPersistent& Dest) const
{
    TMoBaBaseDevice::AssignTo(Dest);
    auto* d = dynamic_cast<TMoBaBaseSolenoid*>(&Dest);
    if (!d)
        return;
    d->FActivationTime = FActivationTime;
    d->FPorts = FPorts;
    d->FActivePort = FActivePort;
    d->FOnActivation = FOnActivation;
    d->FOnActionOff = FOnActionOff;
}

// --- TMoBaAdvancedSolenoid ---

std::unique_ptr<TMoBaBaseDevice> TMoBaAdvancedSolenoid::CreateNew() const
{
    return std::make_unique<TMoBaAdvancedSolenoid>();
}

void TMoBaAdvancedSolenoid::AssignTo(TMoBaPersistent& Dest) const
{
    TMoBaBaseSolenoid::AssignTo(Dest);
    auto* d = dynamic_cast<TMoBaAdvancedSolenoid*>(&Dest);
    if (!d)
        return;
    d->FData = FData;
    d->FDescription = FDescription;
    d->FLocked = FLocked;
    d->FLockID = FLockID;
}

// --- TMoBaBaseFeedback ---

std::unique_ptr<TMoBaBaseDevice> TMoBaBaseFeedback::CreateNew() const
{
    return std::make_unique<TMoBaBaseFeedback>();
}

void TMoBaBaseFeedback::AssignTo(TMoBaPersistent& Dest) const
{
    TMoBaBaseDevice::AssignTo(Dest);
    if (auto* d = dynamic_cast<TMoBaBaseFeedback*>(&Dest)) {
        d->FValue = FValue;
        d->FState = FState;
    }
}

void TMoBaBaseFeedback::SetValue(std::int32_t AValue)
{
    if (AValue != FValue) {
        if (FValue != 0 && FlagToBool(mfbHasChanged))
            BoolToFlag(true, mfbWasActiv);
        BoolToFlag(true, mfbHasChanged | mfbChangedState);
    } else {
        BoolToFlag(false, mfbChangedState);
    }
    FValue = AValue;
}

std::int32_t TMoBaBaseFeedback::GetValue()
{
    BoolToFlag(false, mfbHasChanged | mfbWasActiv);
    return FValue;
}

void TMoBaBaseFeedback::BoolToFlag(bool NewState, std::uint32_t Mask)
{
    if (NewState)
        FState |= Mask;
    else
        FState &= ~Mask;
}

// --- TMoBaBasePower ---

std::unique_ptr<TMoBaBasePower> TMoBaBasePower::CreateNew() const
{
    return std::make_unique<TMoBaBasePower>();
}

void TMoBaBasePower::AssignTo(TMoBaPersistent& Dest) const
{
    auto* d = dynamic_cast<TMoBaBasePower*>(&Dest);
    if (!d) {
        TMoBaPersistent::AssignTo(Dest);
        return;
    }
    d->FPowerOn = FPowerOn;
}
