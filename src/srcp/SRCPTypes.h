#pragma once
// SRCP vocabulary: the enumerations every part of the SRCP library uses. The order of the members
// matters: tables are indexed by ordinal and several rules test ordinal ranges.

#include <cstdint>

enum TSRCPCommandType : std::uint8_t {
    // commands a client sends (0-10)
    ctCommands, ctGet, ctSet, ctCheck, ctWait, ctInit, ctTerm, ctReset, ctVerify, ctHandshake, ctGo,
    // the two handshake forms of SET (11-12)
    ctSetVersion, ctSetMode,
    ctAnswer, ctWelcome,                                   // 13-14
    ctInfoGet, ctInfoInit, ctInfoTerm, ctInfoGuess,        // 15-18, INFO answers
    ctConfirmation, ctCmdOK, ctCmdOKGo, ctOKProtocol, ctOKConnectionMode,  // 19-23, OK answers
    ctErrorStart,                                          // 24
    ctEUnsupportedProtocol, ctEUnsupportedConnectionMode, ctEUnsufficientData, ctEUnknownCommand,
    ctEUnknownValue, ctEWrongValue, ctETempProhibited, ctEDeviceLocked, ctEForbidden, ctENoData,
    ctETimeout, ctEListToLong, ctEListToShort, ctEUnsupportedDevProtocol, ctEUnsuppportedDevice,
    ctEUnsupportedDevGroup, ctEUnsuppotedOperation, ctEDeviceReinitialized, ctENotSupported,
    ctEUnspecifiedError, ctEOutOfRessources,               // 25-45, errors
    ctInvalid                                              // 46
};
inline constexpr int SRCPCommandTypeCount = ctInvalid + 1;

enum TSRCPDataPoint : std::uint8_t {
    dpTimeStamp, dpResponseCode, dpCommand, dpAnswerType, dpDevGroup, dpBusAddress, dpParameter,
    dpAddData, dpInit, dpTerm, dpAddress, dpProtocol, dpSubProtocol, dpSpeedStep, dpSpeedSteps,
    dpFunctionCount, dpDriveMode, dpSpeed, dpMaxSpeed, dpFunction, dpPort, dpValue, dpDelay, dpType,
    dpTypeAddress, dpAddDevGroup, dpSessionID, dpPwrStatus, dpFX, dpFY, dpJulDay, dpHour, dpMinute,
    dpSecond, dpState, dpExtendedCmd, dpSRCP, dpVersion, dpMode, dpDummy
};

enum TSRCPDeviceGroup : std::uint8_t {
    dgFeedback, dgAccessoire, dgLoco, dgServiceMode, dgLock, dgPower, dgTime, dgSession,
    dgDescription, dgServer, dgHandshake, dgWelcome, dgInvalid
};
inline constexpr int SRCPDeviceGroupCount = dgInvalid + 1;  // 13, with dgInvalid
inline constexpr int SRCPDeviceCount = dgInvalid;           // 12 real groups

enum TSRCPCommandVersion : std::uint8_t { cv073, cv082, cvUnknown };
enum TSRCPCommandClass : std::uint8_t { ccCommand, ccAnswer };
enum TSRCPServiceModeType : std::uint8_t { smtCV, smtCVBit, smtReg, smtInvalid };
enum TSRCPServerState : std::uint8_t { ssRunning, ssResetting, ssTerminating, ssInvalid };
enum TSRCPConnectionModeType : std::uint8_t { cmtInfo, cmtCommand, cmtInvalid };
enum TSRCPProtocols : std::uint8_t {
    spAnalog, spFleischman, spLoconet, spMotorola, spNMRA, spProtByServer, spSelectrix, spZimo, spInvalid
};
enum TSRCPDriveMode : std::uint8_t { dmNoChange, dmForward, dmBackwards, dmEmergencyStop, dmInvalid };
enum TSRCPClientMode : std::uint8_t { cmInfo, cmCommand };
enum TSRCPEventMode : std::uint8_t { semExact, semBus, semAll };
enum TSRCPTimeStampType : std::uint8_t { ststData, ststInit, ststLock };
enum TSRCPDeviceState : std::uint8_t { sdsInitializing, sdsInitialized, sdsActiv, sdsTerminating, sdsTerminated };

// Type ranges used throughout the library.
constexpr bool SRCPIsAnswerType(TSRCPCommandType t) { return t > ctSetMode; }
constexpr bool SRCPIsErrorType(TSRCPCommandType t) { return t > ctErrorStart; }
constexpr bool SRCPIsInfoType(TSRCPCommandType t) { return t >= ctWelcome && t <= ctInfoGuess; }
constexpr bool SRCPIsOKType(TSRCPCommandType t) { return t >= ctConfirmation && t <= ctOKConnectionMode; }
constexpr bool SRCPIsHandshakeAnswerType(TSRCPCommandType t) { return t >= ctCmdOKGo && t <= ctOKConnectionMode; }

// The ordinals the tables and the wire depend on.
static_assert(ctGo == 10 && ctSetMode == 12 && ctWelcome == 14 && ctInfoGuess == 18 && ctConfirmation == 19);
static_assert(ctOKConnectionMode == 23 && ctErrorStart == 24 && ctEOutOfRessources == 45 && ctInvalid == 46);
static_assert(dpDummy == 39 && dgInvalid == 12 && spInvalid == 8 && dmInvalid == 4 && sdsTerminated == 4);
