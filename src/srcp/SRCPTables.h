#pragma once
// SRCP word and code tables and the lookups between enumerations and wire words. All tables are
// compile-time constants; word comparisons are ASCII case-insensitive, words produced are exactly
// as stored.

#include "SRCPTypes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

struct TSRCPTranslate {
    TSRCPCommandType CmdType;
    std::array<std::int32_t, 2> RespCode;  // indexed by cv073, cv082
    std::string_view Desc;
};

struct TSRCPDevGroupTranslate {
    TSRCPDeviceGroup DevGroup;
    std::string_view Desc;
};
struct TSRCPSMAddressTypeTranslate {
    TSRCPServiceModeType AddressType;
    std::string_view Desc;
};
struct TSRCPServerStateTranslate {
    TSRCPServerState State;
    std::string_view Desc;
};
struct TSRCPConnectionModeTranslate {
    TSRCPConnectionModeType Mode;
    std::string_view Desc;
};

// The keys that introduce a version in the welcome line; the longer one is tried first.
inline constexpr std::array<std::string_view, 2> VersionKeys{"SRCPOTHER", "SRCP"};

// Types 0-10: the word of each command (codes are 0).
inline constexpr std::array<TSRCPTranslate, 11> CommandCommandTypes{{
    {ctCommands, {0, 0}, ""},
    {ctGet, {0, 0}, "GET"},
    {ctSet, {0, 0}, "SET"},
    {ctCheck, {0, 0}, "CHECK"},
    {ctWait, {0, 0}, "WAIT"},
    {ctInit, {0, 0}, "INIT"},
    {ctTerm, {0, 0}, "TERM"},
    {ctReset, {0, 0}, "RESET"},
    {ctVerify, {0, 0}, "VERIFY"},
    {ctHandshake, {0, 0}, ""},
    {ctGo, {0, 0}, "GO"},
}};

// Types 14-19.
inline constexpr std::array<TSRCPTranslate, 6> InfoCommandTypes{{
    {ctWelcome, {0, 0}, ""},
    {ctInfoGet, {100, 100}, ""},
    {ctInfoInit, {101, 101}, ""},
    {ctInfoTerm, {101, 102}, ""},
    {ctInfoGuess, {100, 110}, ""},
    {ctConfirmation, {0, 0}, ""},
}};

// Types 19-24.
inline constexpr std::array<TSRCPTranslate, 6> ConfirmationCommandTypes{{
    {ctConfirmation, {0, 0}, ""},
    {ctCmdOK, {200, 200}, ""},
    {ctCmdOKGo, {200, 200}, "GO"},
    {ctOKProtocol, {201, 201}, "PROTOCOL SRCP"},
    {ctOKConnectionMode, {202, 202}, "CONNECTIONMODE"},
    {ctErrorStart, {0, 0}, ""},
}};

// Types 24-46; the text is what an error line built by the library carries.
inline constexpr std::array<TSRCPTranslate, 23> ErrorCommandTypes{{
    {ctErrorStart, {0, 0}, ""},
    {ctEUnsupportedProtocol, {400, 400}, "unsupported protocol"},
    {ctEUnsupportedConnectionMode, {401, 401}, "unsupported connection mode"},
    {ctEUnsufficientData, {402, 402}, "unsufficient data"},
    {ctEUnknownCommand, {410, 410}, "unknow command"},
    {ctEUnknownValue, {411, 411}, "unknown value"},
    {ctEWrongValue, {412, 412}, "wrong value"},
    {ctETempProhibited, {413, 413}, "temporarily prohibited"},
    {ctEDeviceLocked, {414, 414}, "device locked"},
    {ctEForbidden, {415, 415}, "forbidden"},
    {ctENoData, {416, 416}, "no data"},
    {ctETimeout, {417, 417}, "timeout"},
    {ctEListToLong, {418, 418}, "list to long"},
    {ctEListToShort, {419, 419}, "list to short"},
    {ctEUnsupportedDevProtocol, {420, 420}, "unsupported device protocol"},
    {ctEUnsuppportedDevice, {421, 421}, "unsupported device"},
    {ctEUnsupportedDevGroup, {422, 422}, "unsupported device group"},
    {ctEUnsuppotedOperation, {423, 423}, "unsupported operation"},
    {ctEDeviceReinitialized, {424, 424}, "device reinitialized"},
    {ctENotSupported, {425, 425}, "not supported"},
    {ctEUnspecifiedError, {499, 499}, "unspecified error"},
    {ctEOutOfRessources, {500, 500}, "out of ressources"},
    {ctInvalid, {699, 699}, "internal error"},
}};

inline constexpr std::array<TSRCPDevGroupTranslate, SRCPDeviceGroupCount> DeviceGroups{{
    {dgFeedback, "FB"},
    {dgAccessoire, "GA"},
    {dgLoco, "GL"},
    {dgServiceMode, "SM"},
    {dgLock, "LOCK"},
    {dgPower, "POWER"},
    {dgTime, "TIME"},
    {dgSession, "SESSION"},
    {dgDescription, "DESCRIPTION"},
    {dgServer, "SERVER"},
    {dgHandshake, "HANDSHAKE"},
    {dgWelcome, "WELCOME"},
    {dgInvalid, "???"},
}};

inline constexpr std::array<TSRCPSMAddressTypeTranslate, 4> SRCPAMAddressTypes{{
    {smtCV, "CV"}, {smtCVBit, "CVBIT"}, {smtReg, "REG"}, {smtInvalid, ""},
}};

inline constexpr std::array<TSRCPServerStateTranslate, 4> SRCPServerStates{{
    {ssRunning, "RUNNING"}, {ssResetting, "RESETTING"}, {ssTerminating, "TERMINATING"}, {ssInvalid, "???"},
}};

inline constexpr std::array<TSRCPConnectionModeTranslate, 3> SRCPConnectionModes{{
    {cmtInfo, "INFO"}, {cmtCommand, "COMMAND"}, {cmtInvalid, "Invalid"},
}};

// Wire letters of the protocols, indexed by TSRCPProtocols; spInvalid has none.
inline constexpr std::array<char, 8> SRCPProtocolLetters{'A', 'F', 'L', 'M', 'N', 'P', 'S', 'Z'};
// Wire words of the drive modes, indexed by TSRCPDriveMode; dmInvalid has none.
inline constexpr std::array<char, 4> SRCPDriveModeChars{'=', '1', '0', '2'};

// ---- lookups ---------------------------------------------------------------------------------

// ASCII case-insensitive equality.
inline bool SRCPSameText(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x != y) {
            if (x >= 'A' && x <= 'Z')
                x = static_cast<char>(x - 'A' + 'a');
            if (y >= 'A' && y <= 'Z')
                y = static_cast<char>(y - 'A' + 'a');
            if (x != y)
                return false;
        }
    }
    return true;
}

// "GET", "SET", "INFO", "OK", "ERROR" ... for any type (GetSCommandType).
std::string_view SRCPCommandTypeWord(TSRCPCommandType t);
// Numeric code of a type in the column of `version` (CommandTypeToCode). cvUnknown reads as 0.8.2.
std::int32_t SRCPCommandTypeToCode(TSRCPCommandType t, TSRCPCommandVersion version);
// Type of a numeric code (CodeToCommandType); ctInvalid when there is none.
TSRCPCommandType SRCPCodeToCommandType(std::int32_t code, TSRCPCommandVersion version);
// Text an error line built by the library carries.
std::string_view SRCPErrorText(TSRCPCommandType t);

// Group of a word; dgInvalid when the word is none of the twelve real ones.
TSRCPDeviceGroup SRCPDevGroupOfWord(std::string_view word);
std::string_view SRCPDevGroupWord(TSRCPDeviceGroup g);

// Version of a word (VersionStringToVersion); cvUnknown when there is none.
TSRCPCommandVersion SRCPVersionOfWord(std::string_view word);
std::string_view SRCPVersionWord(TSRCPCommandVersion v);
// Whether a server offering `offered` can serve a client asking for `wanted`: the same word, or,
// for 0.8.2, any later 0.8 revision (0.8.3, 0.8.4, ... accept a client that asks for 0.8.2).
bool SRCPVersionOffers(std::string_view offered, TSRCPCommandVersion wanted);

// Service mode address type of a word; false (type unchanged) on no match.
bool SRCPAddressTypeOfWord(std::string_view word, TSRCPServiceModeType& type);
std::string_view SRCPAddressTypeWord(TSRCPServiceModeType t);
// Server state of a word; false and ssInvalid on no match.
bool SRCPServerStateOfWord(std::string_view word, TSRCPServerState& state);
std::string_view SRCPServerStateWord(TSRCPServerState s);
// Connection mode of a word; false (mode unchanged) on no match.
bool SRCPConnectionModeOfWord(std::string_view word, TSRCPConnectionModeType& mode);
std::string_view SRCPConnectionModeWord(TSRCPConnectionModeType m);
