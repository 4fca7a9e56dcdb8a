#pragma once
// Syntax tables: which data points make up each command and answer line of each device group.
// The parser and the line builder are driven by these rows alone.

#include "SRCPTypes.h"

#include <array>
#include <initializer_list>
#include <string_view>

struct TCmdSyntax {
    TSRCPCommandType CmdType;
    std::array<TSRCPDataPoint, 10> DataPoint;
};

struct TDevGroupInfo {
    TSRCPDeviceGroup DevGroupType;
    const TCmdSyntax* Table;  // first row of the group's syntax table, or nullptr
};
using TDevGroupTable = std::array<TDevGroupInfo, SRCPDeviceGroupCount>;

struct TSRCPVersionOverview {
    TSRCPCommandVersion Version;
    const TDevGroupTable* Tables;  // nullptr: no line of this version can be built or field-parsed
    std::string_view Desc;
};

namespace srcp_syntax_detail {
constexpr TCmdSyntax Row(TSRCPCommandType type, std::initializer_list<TSRCPDataPoint> points)
{
    TCmdSyntax row{type, {}};
    row.DataPoint.fill(dpDummy);
    std::size_t i = 0;
    for (TSRCPDataPoint p : points)
        row.DataPoint[i++] = p;
    return row;
}
constexpr TCmdSyntax End{ctInvalid, {dpDummy, dpDummy, dpDummy, dpDummy, dpDummy, dpDummy, dpDummy, dpDummy, dpDummy, dpDummy}};
} // namespace srcp_syntax_detail

#define SRCP_ROW srcp_syntax_detail::Row
#define SRCP_INFO dpTimeStamp, dpResponseCode, dpCommand, dpBusAddress, dpDevGroup
#define SRCP_CMD dpCommand, dpBusAddress, dpDevGroup

inline constexpr TCmdSyntax FBSyntaxTable082[] = {
    SRCP_ROW(ctInit, {SRCP_CMD, dpAddData}),
    SRCP_ROW(ctGet, {SRCP_CMD, dpAddress}),
    SRCP_ROW(ctTerm, {SRCP_CMD}),
    SRCP_ROW(ctWait, {SRCP_CMD, dpAddress, dpValue, dpDelay}),
    SRCP_ROW(ctReset, {SRCP_CMD, dpAddData}),
    SRCP_ROW(ctInfoGet, {SRCP_INFO, dpAddress, dpValue}),
    SRCP_ROW(ctInfoInit, {SRCP_INFO}),
    SRCP_ROW(ctInfoTerm, {SRCP_INFO}),
    SRCP_ROW(ctInfoGuess, {SRCP_INFO, dpAddress, dpValue}),
    srcp_syntax_detail::End,
};

inline constexpr TCmdSyntax GASyntaxTable082[] = {
    SRCP_ROW(ctInit, {SRCP_CMD, dpAddress, dpProtocol}),
    SRCP_ROW(ctGet, {SRCP_CMD, dpAddress, dpPort}),
    SRCP_ROW(ctSet, {SRCP_CMD, dpAddress, dpPort, dpValue, dpDelay}),
    SRCP_ROW(ctTerm, {SRCP_CMD, dpAddress}),
    SRCP_ROW(ctCheck, {SRCP_CMD, dpAddress, dpPort, dpValue, dpDelay}),
    SRCP_ROW(ctReset, {SRCP_CMD, dpAddress, dpProtocol}),
    SRCP_ROW(ctInfoGet, {SRCP_INFO, dpAddress, dpPort, dpValue}),
    SRCP_ROW(ctInfoInit, {SRCP_INFO, dpAddress, dpProtocol}),
    SRCP_ROW(ctInfoTerm, {SRCP_INFO, dpAddress}),
    SRCP_ROW(ctInfoGuess, {SRCP_INFO, dpAddress, dpPort, dpValue}),
    srcp_syntax_detail::End,
};

inline constexpr TCmdSyntax GLSyntaxTable082[] = {
    SRCP_ROW(ctInit, {SRCP_CMD, dpAddress, dpProtocol, dpSubProtocol, dpSpeedSteps, dpFunctionCount}),
    SRCP_ROW(ctGet, {SRCP_CMD, dpAddress}),
    SRCP_ROW(ctSet, {SRCP_CMD, dpAddress, dpDriveMode, dpSpeed, dpMaxSpeed, dpFunction}),
    SRCP_ROW(ctTerm, {SRCP_CMD, dpAddress}),
    SRCP_ROW(ctCheck, {SRCP_CMD, dpAddress, dpDriveMode, dpSpeed, dpMaxSpeed, dpFunction}),
    SRCP_ROW(ctReset, {SRCP_CMD, dpAddress, dpProtocol, dpSubProtocol, dpSpeedSteps, dpFunctionCount}),
    SRCP_ROW(ctInfoGet, {SRCP_INFO, dpAddress, dpDriveMode, dpSpeedStep, dpSpeedSteps, dpFunction}),
    SRCP_ROW(ctInfoInit, {SRCP_INFO, dpAddress, dpProtocol, dpSubProtocol, dpSpeedSteps, dpFunctionCount}),
    SRCP_ROW(ctInfoTerm, {SRCP_INFO, dpAddress}),
    SRCP_ROW(ctInfoGuess, {SRCP_INFO, dpAddress, dpDriveMode, dpSpeedStep, dpMaxSpeed, dpFunction}),
    srcp_syntax_detail::End,
};

inline constexpr TCmdSyntax SMSyntaxTable082[] = {
    SRCP_ROW(ctInit, {SRCP_CMD, dpProtocol}),
    SRCP_ROW(ctGet, {SRCP_CMD, dpAddress, dpType, dpTypeAddress, dpValue, dpValue}),
    SRCP_ROW(ctSet, {SRCP_CMD, dpAddress, dpType, dpTypeAddress, dpValue, dpValue}),
    SRCP_ROW(ctTerm, {SRCP_CMD, dpAddress}),
    SRCP_ROW(ctCheck, {SRCP_CMD, dpAddress, dpType, dpTypeAddress, dpValue, dpValue}),
    SRCP_ROW(ctReset, {SRCP_CMD, dpProtocol}),
    SRCP_ROW(ctVerify, {SRCP_CMD, dpAddress, dpType, dpTypeAddress, dpValue, dpValue}),
    SRCP_ROW(ctInfoGet, {SRCP_INFO, dpAddress, dpType, dpTypeAddress, dpValue, dpValue}),
    SRCP_ROW(ctInfoInit, {SRCP_INFO, dpProtocol}),
    SRCP_ROW(ctInfoTerm, {SRCP_INFO}),
    SRCP_ROW(ctInfoGuess, {SRCP_INFO, dpAddress, dpType, dpTypeAddress, dpValue, dpValue}),
    srcp_syntax_detail::End,
};

inline constexpr TCmdSyntax LockSyntaxTable082[] = {
    SRCP_ROW(ctGet, {SRCP_CMD, dpAddDevGroup, dpAddress}),
    SRCP_ROW(ctSet, {SRCP_CMD, dpAddDevGroup, dpAddress, dpDelay}),
    SRCP_ROW(ctTerm, {SRCP_CMD, dpAddDevGroup, dpAddress}),
    SRCP_ROW(ctCheck, {SRCP_CMD, dpAddDevGroup, dpAddress, dpDelay}),
    SRCP_ROW(ctInfoGet, {SRCP_INFO, dpAddDevGroup, dpAddress, dpDelay, dpSessionID}),
    SRCP_ROW(ctInfoInit, {SRCP_INFO, dpAddDevGroup, dpAddress, dpDelay}),
    SRCP_ROW(ctInfoTerm, {SRCP_INFO, dpAddDevGroup, dpAddress}),
    SRCP_ROW(ctInfoGuess, {SRCP_INFO, dpAddDevGroup, dpAddress, dpDelay, dpSessionID}),
    srcp_syntax_detail::End,
};

inline constexpr TCmdSyntax PowerSyntaxTable082[] = {
    SRCP_ROW(ctInit, {SRCP_CMD}),
    SRCP_ROW(ctGet, {SRCP_CMD}),
    SRCP_ROW(ctSet, {SRCP_CMD, dpPwrStatus}),
    SRCP_ROW(ctTerm, {SRCP_CMD}),
    SRCP_ROW(ctCheck, {SRCP_CMD, dpPwrStatus}),
    SRCP_ROW(ctReset, {SRCP_CMD}),
    SRCP_ROW(ctInfoGet, {SRCP_INFO, dpPwrStatus}),
    SRCP_ROW(ctInfoInit, {SRCP_INFO}),
    SRCP_ROW(ctInfoTerm, {SRCP_INFO}),
    SRCP_ROW(ctInfoGuess, {SRCP_INFO, dpPwrStatus}),
    srcp_syntax_detail::End,
};

inline constexpr TCmdSyntax TimeSyntaxTable082[] = {
    SRCP_ROW(ctInit, {SRCP_CMD, dpFX, dpFY}),
    SRCP_ROW(ctGet, {SRCP_CMD}),
    SRCP_ROW(ctSet, {SRCP_CMD, dpJulDay, dpHour, dpMinute, dpSecond}),
    SRCP_ROW(ctTerm, {SRCP_CMD}),
    SRCP_ROW(ctCheck, {SRCP_CMD, dpJulDay, dpHour, dpMinute, dpSecond}),
    SRCP_ROW(ctWait, {SRCP_CMD, dpJulDay, dpHour, dpMinute, dpSecond}),
    SRCP_ROW(ctReset, {SRCP_CMD, dpFX, dpFY}),
    SRCP_ROW(ctInfoGet, {SRCP_INFO, dpJulDay, dpHour, dpMinute, dpSecond}),
    SRCP_ROW(ctInfoInit, {SRCP_INFO, dpFX, dpFY}),
    SRCP_ROW(ctInfoTerm, {SRCP_INFO}),
    SRCP_ROW(ctInfoGuess, {SRCP_INFO, dpJulDay, dpHour, dpMinute, dpSecond}),
    srcp_syntax_detail::End,
};

inline constexpr TCmdSyntax SessionSyntaxTable082[] = {
    SRCP_ROW(ctGet, {SRCP_CMD, dpSessionID}),
    SRCP_ROW(ctTerm, {SRCP_CMD, dpSessionID}),
    SRCP_ROW(ctInfoGet, {SRCP_INFO, dpSessionID, dpAddData}),
    SRCP_ROW(ctInfoInit, {SRCP_INFO, dpSessionID, dpAddData}),
    SRCP_ROW(ctInfoTerm, {SRCP_INFO, dpSessionID, dpAddData}),
    SRCP_ROW(ctInfoGuess, {SRCP_INFO, dpSessionID, dpAddData}),
    srcp_syntax_detail::End,
};

inline constexpr TCmdSyntax DescriptionSyntaxTable082[] = {
    SRCP_ROW(ctGet, {SRCP_CMD, dpAddDevGroup, dpAddress}),
    SRCP_ROW(ctInfoGet, {SRCP_INFO, dpAddDevGroup}),
    SRCP_ROW(ctInfoInit, {SRCP_INFO, dpAddDevGroup}),
    SRCP_ROW(ctInfoGuess, {SRCP_INFO, dpAddDevGroup}),
    srcp_syntax_detail::End,
};

inline constexpr TCmdSyntax ServerSyntaxTable082[] = {
    SRCP_ROW(ctGet, {SRCP_CMD}),
    SRCP_ROW(ctTerm, {SRCP_CMD}),
    SRCP_ROW(ctReset, {SRCP_CMD}),
    SRCP_ROW(ctInfoGet, {SRCP_INFO, dpState}),
    SRCP_ROW(ctInfoInit, {SRCP_INFO, dpState}),
    SRCP_ROW(ctInfoTerm, {SRCP_INFO, dpState}),
    SRCP_ROW(ctInfoGuess, {SRCP_INFO, dpState}),
    srcp_syntax_detail::End,
};

inline constexpr TCmdSyntax HandshakeSyntaxTable082[] = {
    SRCP_ROW(ctGo, {dpCommand}),
    SRCP_ROW(ctSet, {dpCommand, dpExtendedCmd}),
    SRCP_ROW(ctSetVersion, {dpCommand, dpExtendedCmd, dpSRCP, dpVersion}),
    SRCP_ROW(ctSetMode, {dpCommand, dpExtendedCmd, dpSRCP, dpMode}),
    SRCP_ROW(ctCmdOK, {dpTimeStamp, dpResponseCode, dpCommand, dpExtendedCmd}),
    SRCP_ROW(ctCmdOKGo, {dpTimeStamp, dpResponseCode, dpCommand, dpExtendedCmd, dpSessionID}),
    SRCP_ROW(ctOKProtocol, {dpTimeStamp, dpResponseCode, dpCommand, dpExtendedCmd, dpSRCP}),
    SRCP_ROW(ctOKConnectionMode, {dpTimeStamp, dpResponseCode, dpCommand, dpExtendedCmd}),
    srcp_syntax_detail::End,
};

inline constexpr TCmdSyntax WelcomeSyntaxTable082[] = {
    SRCP_ROW(ctWelcome, {dpAddData}),
    srcp_syntax_detail::End,
};

#undef SRCP_ROW
#undef SRCP_INFO
#undef SRCP_CMD

inline constexpr TDevGroupTable v082Info{{
    {dgFeedback, FBSyntaxTable082},
    {dgAccessoire, GASyntaxTable082},
    {dgLoco, GLSyntaxTable082},
    {dgServiceMode, SMSyntaxTable082},
    {dgLock, LockSyntaxTable082},
    {dgPower, PowerSyntaxTable082},
    {dgTime, TimeSyntaxTable082},
    {dgSession, SessionSyntaxTable082},
    {dgDescription, DescriptionSyntaxTable082},
    {dgServer, ServerSyntaxTable082},
    {dgHandshake, HandshakeSyntaxTable082},
    {dgWelcome, WelcomeSyntaxTable082},
    {dgInvalid, nullptr},
}};

inline constexpr std::array<TSRCPVersionOverview, 3> VersionInfos{{
    {cv073, nullptr, "0.7.3"},
    {cv082, &v082Info, "0.8.2"},
    {cvUnknown, nullptr, "Unknown"},
}};

// The first row of the version's table for `group` whose type is `type`, or nullptr.
constexpr const TCmdSyntax* SRCPFindSyntaxRow(TSRCPCommandVersion version, TSRCPDeviceGroup group,
                                              TSRCPCommandType type)
{
    if (version > cvUnknown || group > dgInvalid || type >= ctErrorStart)
        return nullptr;
    const TDevGroupTable* tables = VersionInfos[version].Tables;
    if (!tables)
        return nullptr;
    for (const TCmdSyntax* row = (*tables)[group].Table; row && row->CmdType != ctInvalid; ++row)
        if (row->CmdType == type)
            return row;
    return nullptr;
}
