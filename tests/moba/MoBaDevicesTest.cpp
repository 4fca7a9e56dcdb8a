#include "moba/MoBaDevices.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

std::unique_ptr<TMoBaLocoProtocol> locoProtocol(int maxAddress, int minSteps, int maxSteps, int maxFunctions)
{
    auto p = std::make_unique<TMoBaLocoProtocol>();
    p->SetMaxAddress(maxAddress);
    p->SetMinSteps(minSteps);
    p->SetMaxSteps(maxSteps);
    p->SetMaxFunctions(maxFunctions);
    return p;
}

std::unique_ptr<TMoBaSolenoidProtocol> solenoidProtocol(int maxPort, int maxValue)
{
    auto p = std::make_unique<TMoBaSolenoidProtocol>();
    p->SetMaxPort(maxPort);
    p->SetMaxValue(maxValue);
    return p;
}

TEST(MoBaDevice, AddressIsKeptWithinTheProtocolsRange)
{
    TMoBaLocoProtocol motorola1;  // "Motorola 1"
    motorola1.SetMaxAddress(80);
    TMoBaLocoProtocol zeroRange;  // as read from a profile without MaxAddress
    zeroRange.SetMaxAddress(0);

    const struct {
        TMoBaBaseProtocol* protocol;
        std::int32_t value;
        std::int32_t expected;
    } cases[] = {
        {nullptr, 0, 1},        {nullptr, 100000, 100000}, {nullptr, -5, 1},   {nullptr, MoBaMaxInt, MoBaMaxInt},
        {&motorola1, 81, 80},   {&motorola1, 80, 80},      {&motorola1, 0, 1}, {&motorola1, 1, 1},
        {&zeroRange, 5, 0},     {&zeroRange, 0, 1},
    };
    for (const auto& c : cases) {
        TMoBaBaseDevice device;
        device.SetProtocol(c.protocol);
        device.SetAddress(c.value);
        EXPECT_EQ(device.Address(), c.expected) << c.value;
    }

    TMoBaBaseDevice device;
    EXPECT_EQ(device.Address(), 0);  // the constructor does not clamp
    EXPECT_EQ(device.MaxAddress(), MoBaMaxInt);
    device.SetAddress(200);
    device.SetProtocol(&motorola1);  // a new protocol re-applies the rule
    EXPECT_EQ(device.Address(), 80);
    EXPECT_EQ(device.MaxAddress(), 80);
    motorola1.SetMaxAddress(10);
    device.SetProtocol(&motorola1);  // the same protocol again does nothing
    EXPECT_EQ(device.Address(), 80);
    device.RecalculateSettings();
    EXPECT_EQ(device.Address(), 10);
}

TEST(MoBaLoco, ProtocolChangeLimitsStepsAndFunctions)
{
    TMoBaBaseLoco loco;
    EXPECT_EQ(loco.FunctionCount(), 255);
    EXPECT_EQ(loco.MaxSteps(), MoBaMaxInt);
    EXPECT_EQ(loco.MinSteps(), 0);

    auto steps28 = locoProtocol(99, 0, 28, 5);
    auto steps14 = locoProtocol(99, 0, 14, 1);
    loco.SetProtocol(steps28.get());
    EXPECT_EQ(loco.FunctionCount(), 5);
    loco.SetSpeedStep(20);
    loco.SetFunctions(0, true);
    loco.SetFunctions(4, true);
    loco.SetProtocol(steps14.get());
    EXPECT_EQ(loco.SpeedStep(), 14);
    EXPECT_EQ(loco.FunctionCount(), 1);
    EXPECT_TRUE(loco.Functions(0));
    EXPECT_FALSE(loco.Functions(4));  // beyond the list reads off
    loco.SetFunctions(4, true);       // and is not written
    EXPECT_EQ(loco.FunctionCount(), 1);

    loco.SetProtocol(steps28.get());
    EXPECT_EQ(loco.FunctionCount(), 5);
    EXPECT_TRUE(loco.Functions(0));
    EXPECT_FALSE(loco.Functions(4));  // entries added by growing start off

    const struct {
        std::int32_t value;
        std::int32_t expected;
    } stepCases[] = {{-1, 0}, {0, 0}, {28, 28}, {29, 28}, {MoBaMaxInt, 28}};
    for (const auto& c : stepCases) {
        loco.SetSpeedStep(c.value);
        EXPECT_EQ(loco.SpeedStep(), c.expected) << c.value;
    }
    loco.SetFunctionCount(100);
    EXPECT_EQ(loco.FunctionCount(), 5);
    loco.SetFunctionCount(-4);
    EXPECT_EQ(loco.FunctionCount(), 0);

    // A protocol read from a damaged profile cannot make the loco allocate without bound.
    auto huge = locoProtocol(99, 0, 28, MoBaMaxInt);
    loco.SetProtocol(huge.get());
    EXPECT_EQ(loco.FunctionCount(), MoBaFunctionLimit);
    loco.SetProtocol(nullptr);
    EXPECT_EQ(loco.FunctionCount(), 255);
}

TEST(MoBaLoco, DriveModeRules)
{
    using Steps = std::vector<TMoBaDriveMode>;
    const struct {
        Steps steps;
        TMoBaDriveMode mode;
        TMoBaDriveMode old;
    } cases[] = {
        {{mdmEmergencyStop, mdmNext}, mdmForward, mdmForward},
        {{mdmBackwards, mdmEmergencyStop, mdmNext}, mdmBackwards, mdmBackwards},
        {{mdmBackwards, mdmNext}, mdmForward, mdmForward},
        {{mdmNext}, mdmBackwards, mdmBackwards},
        {{mdmBackwards, mdmChange, mdmNext}, mdmBackwards, mdmBackwards},
        {{mdmBackwards, mdmChange}, mdmChange, mdmBackwards},
        {{mdmBackwards, mdmInvalid, mdmNext}, mdmBackwards, mdmBackwards},
        {{mdmBackwards, mdmEmergencyStop}, mdmEmergencyStop, mdmBackwards},
        {{mdmNext, mdmNext}, mdmForward, mdmForward},
        {{static_cast<TMoBaDriveMode>(9)}, mdmInvalid, mdmForward},
    };
    for (const auto& c : cases) {
        TMoBaBaseLoco loco;
        for (TMoBaDriveMode m : c.steps)
            loco.SetDriveMode(m);
        EXPECT_EQ(loco.DriveMode(), c.mode) << c.steps.size();
        EXPECT_EQ(loco.OldDriveMode(), c.old) << c.steps.size();
    }

    // An old mode that is not a direction (copied unchecked from another loco) does not recurse.
    TMoBaBaseLoco source;
    source.SetDriveMode(mdmChange);
    TMoBaBaseLoco odd;
    odd.Assign(source);
    EXPECT_EQ(odd.DriveMode(), mdmChange);
    EXPECT_EQ(MoBaDriveModeDescriptions[mdmNext], std::string("Automatic change"));
}

TEST(MoBaAdvancedLoco, SpeedScalesWithRoundingToEven)
{
    auto nmra1 = locoProtocol(99, 0, 28, 5);
    TMoBaAdvancedLoco loco;
    loco.SetProtocol(nmra1.get());
    EXPECT_EQ(loco.MaxSpeed(), 100);

    const struct {
        std::int32_t maxSpeed;
        std::int32_t speed;
        std::int32_t step;
        std::int32_t readBack;
    } cases[] = {
        {100, 50, 14, 50},
        {100, 150, 28, 100},
        {100, -5, 0, 0},
        {100, 1, 0, 0},     // 0.28 -> 0
        {100, 2, 1, 4},     // 0.56 -> 1; 3.57 -> 4
        {56, 1, 0, 0},      // 0.5 -> 0 (even)
        {56, 3, 2, 4},      // 1.5 -> 2 (even)
        {56, 5, 2, 4},      // 2.5 -> 2 (even)
        {14, 1, 2, 1},      // 2 steps at max 14: exactly 1
        {1, 1, 28, 1},
    };
    for (const auto& c : cases) {
        loco.SetMaxSpeed(c.maxSpeed);
        loco.SetSpeed(c.speed);
        EXPECT_EQ(loco.SpeedStep(), c.step) << c.maxSpeed << ' ' << c.speed;
        EXPECT_EQ(loco.Speed(), c.readBack) << c.maxSpeed << ' ' << c.speed;
    }

    // Changing the maximum rescales the reported speed and keeps the step.
    loco.SetMaxSpeed(100);
    loco.SetSpeed(50);
    loco.SetMaxSpeed(200);
    EXPECT_EQ(loco.SpeedStep(), 14);
    EXPECT_EQ(loco.Speed(), 100);
    loco.SetMaxSpeed(0);
    EXPECT_EQ(loco.MaxSpeed(), 1);
    EXPECT_EQ(loco.SpeedStep(), 14);

    // A step beyond the protocol (copied without clamping) is pulled back by a new maximum.
    TMoBaAdvancedLoco free;
    free.SetSpeedStep(1000);
    loco.Assign(free);  // takes the missing protocol too
    loco.SetProtocol(nmra1.get());
    EXPECT_EQ(loco.SpeedStep(), 28);

    // A protocol without steps (read from a damaged profile) gives speed 0, not a division by 0.
    auto noSteps = locoProtocol(99, 0, 0, 1);
    loco.SetProtocol(noSteps.get());
    EXPECT_EQ(loco.Speed(), 0);
    loco.SetSpeed(50);
    EXPECT_EQ(loco.SpeedStep(), 0);

    // Without protocol the steps reach 2147483647; the arithmetic must not overflow.
    TMoBaAdvancedLoco big;
    big.SetSpeed(100);
    EXPECT_EQ(big.SpeedStep(), MoBaMaxInt);
    EXPECT_EQ(big.Speed(), 100);
}

TEST(MoBaLoco, AssignCopiesStateWithinTheDestinationsLimits)
{
    auto five = locoProtocol(99, 0, 28, 5);
    TMoBaAdvancedLoco src;
    src.SetProtocol(five.get());
    src.SetAddress(42);
    src.SetSpeedStep(20);
    src.SetDriveMode(mdmBackwards);
    src.SetDriveMode(mdmEmergencyStop);
    src.SetFunctions(0, true);
    src.SetFunctions(3, true);
    src.SetMaxSpeed(80);
    int tag = 0;
    src.SetData(&tag);
    src.SetDescription("Br 01");
    src.SetLocked(true);
    src.SetLockID(7);

    TMoBaAdvancedLoco dst;
    dst.Assign(src);
    EXPECT_EQ(dst.Protocol(), five.get());
    EXPECT_EQ(dst.Address(), 42);
    EXPECT_EQ(dst.SpeedStep(), 20);
    EXPECT_EQ(dst.DriveMode(), mdmEmergencyStop);
    EXPECT_EQ(dst.OldDriveMode(), mdmBackwards);
    EXPECT_EQ(dst.FunctionCount(), 5);
    EXPECT_TRUE(dst.Functions(0));
    EXPECT_TRUE(dst.Functions(3));
    EXPECT_FALSE(dst.Functions(1));
    EXPECT_EQ(dst.MaxSpeed(), 80);
    EXPECT_EQ(dst.Data(), &tag);
    EXPECT_EQ(dst.Description(), "Br 01");
    EXPECT_TRUE(dst.Locked());
    EXPECT_EQ(dst.LockID(), 7);

    // To a plain loco only the loco part; to a plain device only protocol and address.
    TMoBaBaseLoco plain;
    plain.Assign(src);
    EXPECT_EQ(plain.SpeedStep(), 20);
    EXPECT_EQ(plain.FunctionCount(), 5);
    TMoBaBaseDevice device;
    device.Assign(src);
    EXPECT_EQ(device.Address(), 42);
    TMoBaAdvancedLoco fromPlain;
    fromPlain.SetMaxSpeed(30);
    fromPlain.Assign(plain);
    EXPECT_EQ(fromPlain.MaxSpeed(), 30);
    EXPECT_EQ(fromPlain.SpeedStep(), 20);

    // Address and protocol are copied as they are, without clamping.
    TMoBaBaseDevice wide;
    wide.SetAddress(5000);
    TMoBaBaseLoco narrow;
    narrow.SetProtocol(five.get());
    narrow.Assign(wide);
    EXPECT_EQ(narrow.Protocol(), nullptr);
    EXPECT_EQ(narrow.Address(), 5000);

    EXPECT_NE(dynamic_cast<TMoBaAdvancedLoco*>(src.CreateNew().get()), nullptr);
}

TEST(MoBaSolenoid, PortsActivationAndLimits)
{
    auto oneValue = solenoidProtocol(1, 1);
    TMoBaBaseSolenoid sol;
    EXPECT_EQ(sol.PortCount(), 2);
    EXPECT_EQ(sol.ActivationTime(), 200u);
    EXPECT_EQ(sol.MaxAction(), MoBaMaxInt);
    sol.SetProtocol(oneValue.get());
    EXPECT_EQ(sol.PortCount(), 2);

    std::vector<std::uint32_t> times;
    std::function<void()> pending;
    sol.SetOnActivation([&](TMoBaBaseSolenoid& sender, std::uint32_t time, std::function<void()> callback) {
        EXPECT_EQ(&sender, &sol);
        times.push_back(time);
        pending = std::move(callback);
    });
    int offs = 0;
    sol.SetOnActionOff([&](TMoBaBaseSolenoid&) { ++offs; });

    sol.SetActivationTime(300);
    sol.SetPorts(1, 1);
    ASSERT_EQ(times, std::vector<std::uint32_t>{300});
    EXPECT_EQ(sol.Ports(1), 1);
    EXPECT_EQ(sol.ActivePort(), 1);
    pending();
    EXPECT_EQ(sol.Ports(1), 0);
    EXPECT_EQ(offs, 1);

    const struct {
        std::int32_t port;
        std::int32_t value;
        std::int32_t stored;
        bool activates;
    } cases[] = {
        {0, 5, 1, true},    // limited to MaxValue
        {1, -3, 0, false},  // limited to 0; 0 does not activate
        {2, 1, -1, false},  // port 2 of a two-port solenoid: nothing happens
        {-1, 1, -1, false},
    };
    for (const auto& c : cases) {
        times.clear();
        sol.SetActivePort(9);
        sol.SetPorts(c.port, c.value);
        if (c.stored >= 0) {
            EXPECT_EQ(sol.Ports(c.port), c.stored) << c.port << ' ' << c.value;
            EXPECT_EQ(sol.ActivePort(), c.port);
        } else {
            EXPECT_EQ(sol.ActivePort(), 9);
            EXPECT_EQ(sol.PortCount(), 2);
        }
        EXPECT_EQ(times.size(), c.activates ? 1u : 0u) << c.port << ' ' << c.value;
    }

    // A callback that arrives after the solenoid is gone does nothing.
    std::function<void()> late;
    {
        TMoBaBaseSolenoid gone;
        gone.SetOnActivation([&](TMoBaBaseSolenoid&, std::uint32_t, std::function<void()> cb) { late = cb; });
        gone.SetPorts(0, 1);
    }
    ASSERT_TRUE(late);
    late();
}

TEST(MoBaSolenoid, RecalculateResizesAndLimitsPorts)
{
    TMoBaBaseSolenoid sol;  // 2 ports, no limit on values
    sol.SetPorts(0, 7);
    sol.SetPorts(1, 3);
    auto four = solenoidProtocol(3, 5);
    sol.SetProtocol(four.get());
    ASSERT_EQ(sol.PortCount(), 4);
    EXPECT_EQ(sol.Ports(0), 5);
    EXPECT_EQ(sol.Ports(1), 3);
    EXPECT_EQ(sol.Ports(3), 0);
    auto one = solenoidProtocol(0, 1);
    sol.SetProtocol(one.get());
    ASSERT_EQ(sol.PortCount(), 1);
    EXPECT_EQ(sol.Ports(0), 1);
    auto broken = solenoidProtocol(-7, 1);
    sol.SetProtocol(broken.get());
    EXPECT_EQ(sol.PortCount(), 0);
    sol.TimerCallback();  // no port to switch off: must not touch memory
    auto huge = solenoidProtocol(MoBaMaxInt, 1);
    sol.SetProtocol(huge.get());
    EXPECT_EQ(sol.PortCount(), MoBaPortLimit);
}

TEST(MoBaSolenoid, AssignCopiesPortsAndHandlers)
{
    auto four = solenoidProtocol(3, 1);
    TMoBaAdvancedSolenoid src;
    src.SetProtocol(four.get());
    src.SetAddress(12);
    src.SetActivationTime(500);
    src.SetPorts(3, 1);
    int activations = 0;
    src.SetOnActivation([&](TMoBaBaseSolenoid&, std::uint32_t, std::function<void()>) { ++activations; });
    src.SetDescription("Turnout");
    src.SetLocked(true);
    src.SetLockID(3);

    TMoBaAdvancedSolenoid dst;
    dst.Assign(src);
    EXPECT_EQ(dst.PortCount(), 4);
    EXPECT_EQ(dst.Ports(3), 1);
    EXPECT_EQ(dst.ActivePort(), 3);
    EXPECT_EQ(dst.ActivationTime(), 500u);
    EXPECT_EQ(dst.Address(), 12);
    EXPECT_EQ(dst.Description(), "Turnout");
    EXPECT_TRUE(dst.Locked());
    EXPECT_EQ(dst.LockID(), 3);
    dst.SetPorts(0, 1);
    EXPECT_EQ(activations, 1);

    TMoBaBaseSolenoid base;
    base.Assign(src);
    EXPECT_EQ(base.PortCount(), 4);
    EXPECT_THROW(base.Assign(TMoBaBasePower()), EMoBaAssignError);
}

TEST(MoBaFeedback, ChangeFlags)
{
    TMoBaBaseFeedback fb;
    EXPECT_EQ(fb.State(), 0u);
    fb.SetValue(1);
    EXPECT_EQ(fb.State(), 4u | 8u);
    fb.SetValue(0);  // on and off again before anybody read it
    EXPECT_EQ(fb.State(), 2u | 4u | 8u);
    EXPECT_TRUE(fb.WasActiv());
    EXPECT_EQ(fb.IsActiv(), 0);
    EXPECT_EQ(fb.State(), 2u | 4u | 8u);
    EXPECT_EQ(fb.GetValue(), 0);
    EXPECT_EQ(fb.State(), 8u);
    fb.SetValue(0);
    EXPECT_EQ(fb.State(), 0u);

    fb.SetActiv(true);
    EXPECT_TRUE(fb.HasChanged());
    EXPECT_FALSE(fb.WasActiv());  // it was free before
    EXPECT_TRUE(fb.GetActiv());
    EXPECT_FALSE(fb.HasChanged());
    EXPECT_TRUE(fb.ChangedState());
    fb.SetValue(-1);  // read change, then a new one: not "was active"
    EXPECT_FALSE(fb.WasActiv());

    fb.BoolToFlag(true, 1u | 16u);
    EXPECT_TRUE(fb.FlagToBool(16u));
    fb.BoolToFlag(false, 16u);
    EXPECT_FALSE(fb.FlagToBool(16u));

    TMoBaBaseFeedback copy;
    copy.Assign(fb);
    EXPECT_EQ(copy.IsActiv(), -1);
    EXPECT_EQ(copy.State(), fb.State());
}

TEST(MoBaPower, Assign)
{
    TMoBaBasePower a;
    a.SetPowerOn(true);
    TMoBaBasePower b;
    b.Assign(a);
    EXPECT_TRUE(b.PowerOn());
}

}  // namespace
