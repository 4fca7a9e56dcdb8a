#pragma once
// Decoder protocol descriptions: the protocol family with its one-character sign, the set of buses a
// protocol is used on, and the loco and solenoid (accessory) protocols with their limits. Devices
// take their address range, speed steps, functions and ports from these objects.

#include "moba/MoBaPersistent.h"

#include <array>
#include <bitset>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class TMoBaIniFile;

enum TMoBaProtocolBase : std::uint8_t {
    mpbCustom = 0,
    mpbAnalog = 1,
    mpbFleischmann = 2,
    mpbLoconet = 3,
    mpbMotorola = 4,
    mpbNMRA = 5,
    mpbSelectrix = 6,
    mpbZimo = 7
};
inline constexpr int MoBaProtocolBaseCount = mpbZimo + 1;

struct TMoBaProtocolBaseInfo {
    TMoBaProtocolBase Base;
    char Sign;
    const char* Desc;
};
extern const std::array<TMoBaProtocolBaseInfo, MoBaProtocolBaseCount> MoBaProtocolBaseInfo;

// A bus number; a protocol's groups are the buses it is used on.
using TMoBaGroup = std::uint8_t;
using TMoBaGroups = std::bitset<256>;

// The sign of PB ('C' for a value outside the table).
char MoBaProtocolBaseToChar(TMoBaProtocolBase PB);
// The family whose sign is the first character of S (case-sensitive); mpbCustom when S is empty or
// no sign matches.
TMoBaProtocolBase StringToMoBaProtocolBase(std::string_view S);
// Members in ascending order, decimal, joined by commas ("1,3"); "" for the empty set.
std::string MoBaGroupsToString(const TMoBaGroups& GroupSet);
// Items separated by commas or blanks (double quotes group); every item that is a decimal integer in
// 0..255 is added, others are skipped.
TMoBaGroups StringToMoBaGroups(std::string_view S);

class TMoBaBaseProtocol : public TMoBaPersistent {
public:
    TMoBaBaseProtocol() = default;

    // A new protocol of this object's class with the defaults of a fresh one.
    virtual std::unique_ptr<TMoBaBaseProtocol> CreateNew() const;
    void AssignTo(TMoBaPersistent& Dest) const override;
    // Writes the keys of this protocol into Section, in the order of the profile file.
    virtual void WriteToIniFile(TMoBaIniFile& Ini, const std::string& Section) const;
    // Reads the keys of Section; missing keys give 0 / empty / mpbCustom.
    virtual void ReadFromIniFile(const TMoBaIniFile& Ini, const std::string& Section);

    const std::string& Name() const { return FName; }
    void SetName(std::string Value) { FName = std::move(Value); }
    const std::string& Description() const { return FDescription; }
    void SetDescription(std::string Value) { FDescription = std::move(Value); }
    const TMoBaGroups& Groups() const { return FGroups; }
    TMoBaGroups& Groups() { return FGroups; }
    void SetGroups(const TMoBaGroups& Value) { FGroups = Value; }
    std::int32_t MaxAddress() const { return FMaxAddress; }
    void SetMaxAddress(std::int32_t Value) { FMaxAddress = Value; }
    TMoBaProtocolBase ProtocolBase() const { return FProtocolBase; }
    void SetProtocolBase(TMoBaProtocolBase Value) { FProtocolBase = Value; }
    std::int32_t ProtocolExtension() const { return FProtocolExtension; }
    void SetProtocolExtension(std::int32_t Value) { FProtocolExtension = Value; }

protected:
    TMoBaProtocolBase FProtocolBase = mpbCustom;
    std::int32_t FMaxAddress = 256;
    std::string FDescription;
    std::string FName;
    TMoBaGroups FGroups;
    std::int32_t FProtocolExtension = 0;
};

class TMoBaLocoProtocol : public TMoBaBaseProtocol {
public:
    TMoBaLocoProtocol() = default;

    std::unique_ptr<TMoBaBaseProtocol> CreateNew() const override;
    void AssignTo(TMoBaPersistent& Dest) const override;
    void WriteToIniFile(TMoBaIniFile& Ini, const std::string& Section) const override;
    void ReadFromIniFile(const TMoBaIniFile& Ini, const std::string& Section) override;

    std::int32_t MinSteps() const { return FMinSteps; }
    void SetMinSteps(std::int32_t Value) { FMinSteps = Value; }
    std::int32_t MaxSteps() const { return FMaxSteps; }
    void SetMaxSteps(std::int32_t Value) { FMaxSteps = Value; }
    // Counts the basic function too: function 0 and four extra functions make 5.
    std::int32_t MaxFunctions() const { return FMaxFunctions; }
    void SetMaxFunctions(std::int32_t Value) { FMaxFunctions = Value; }

protected:
    std::int32_t FMinSteps = 0;
    std::int32_t FMaxSteps = 15;
    std::int32_t FMaxFunctions = 1;
};

class TMoBaSolenoidProtocol : public TMoBaBaseProtocol {
public:
    TMoBaSolenoidProtocol() = default;

    std::unique_ptr<TMoBaBaseProtocol> CreateNew() const override;
    void AssignTo(TMoBaPersistent& Dest) const override;
    void WriteToIniFile(TMoBaIniFile& Ini, const std::string& Section) const override;
    void ReadFromIniFile(const TMoBaIniFile& Ini, const std::string& Section) override;

    // Highest value a port can take.
    std::int32_t MaxValue() const { return FMaxValue; }
    void SetMaxValue(std::int32_t Value) { FMaxValue = Value; }
    // Highest port number of one decoder address.
    std::int32_t MaxPort() const { return FMaxPort; }
    void SetMaxPort(std::int32_t Value) { FMaxPort = Value; }

protected:
    std::int32_t FMaxValue = 1;
    std::int32_t FMaxPort = 1;
};

// The protocols every program run starts with.
struct TMoBaDefaultLocoProtocolSpec {
    TMoBaProtocolBase ProtocolBase;
    std::int32_t ProtocolExtension;
    const char* Name;
    const char* Description;
    std::int32_t MaxAddress;
    std::int32_t MaxFunctions;
    std::int32_t MinSteps;
    std::int32_t MaxSteps;
};
extern const std::array<TMoBaDefaultLocoProtocolSpec, 11> MoBaDefaultLocoProtocolSpecification;

struct TMoBaDefaultSolenoidProtocolSpec {
    TMoBaProtocolBase ProtocolBase;
    std::int32_t ProtocolExtension;
    const char* Name;
    const char* Description;
    std::int32_t MaxAddress;
    std::int32_t MaxPort;
    std::int32_t MaxValue;
};
extern const std::array<TMoBaDefaultSolenoidProtocolSpec, 2> MoBaDefaultSolenoidProtocolSpecification;
