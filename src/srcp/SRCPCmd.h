#pragma once
// TSRCPCmd builds every SRCP line the library sends and reads every line it receives. The generic
// parts of a line (time stamp, code, command word, bus, device group) live here; the group-specific
// fields live in one device object per group, held inside the command (a command is made for every
// group and many lines, so it costs one allocation, not thirteen). Building and parsing are driven by the syntax
// tables alone. A command never throws on bad input: it reports through its type and results.
// One thread at a time.

#include "SRCPDevices.h"
#include "SRCPString.h"
#include "SRCPSyntax.h"
#include "SRCPTypes.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class TSRCPCmd {
public:
    TSRCPCmd();
    ~TSRCPCmd();
    TSRCPCmd(const TSRCPCmd&) = delete;
    TSRCPCmd& operator=(const TSRCPCmd&) = delete;

    // ---- setting up a command ----
    void SetSRCPVersion(TSRCPCommandVersion v);
    void SetDeviceGroup(TSRCPDeviceGroup g);
    // Sets class, type, the type's code and selects the syntax row.
    void SetCommandType(TSRCPCommandType t);
    // Stores the type, sets the code to the type's code and selects the syntax row.
    void InternalSetCommandType(TSRCPCommandType t);
    void SelectSyntaxLine();
    // Group invalid, data string empty, type ctInvalid, every device back to its defaults.
    void SetInvalid();

    // ---- plain fields ----
    std::int32_t Bus() const { return FBus; }
    void SetBus(std::int32_t b) { FBus = b; }
    std::int32_t DevAddress() const { return FDevAddress; }
    void SetDevAddress(std::int32_t a) { FDevAddress = a; }
    const std::string& DataString() const { return FDataString; }
    void SetDataString(std::string_view s) { FDataString.assign(s); }
    std::int32_t ResponseCode() const { return FResponseCode; }
    void SetResponseCode(std::int32_t c) { FResponseCode = c; }
    double TimeStamp() const { return FTimeStamp; }
    void SetTimeStamp(double t) { FTimeStamp = t; }
    // The time stamp with exactly three decimals and a point: "105.250", "0.000".
    std::string STimeStamp() const { return GetSTimeStamp(); }
    std::string GetSTimeStamp() const;

    TSRCPCommandClass CommandClass() const { return FCommandClass; }
    void SetCommandClass(TSRCPCommandClass c) { FCommandClass = c; }
    TSRCPCommandType CommandType() const { return FCommandType; }
    std::string_view SCommandType() const;
    std::string_view SAnswerType() const { return SCommandType(); }
    TSRCPDeviceGroup DeviceGroup() const { return FDeviceGroup; }
    std::string_view SDeviceGroup() const;
    TSRCPCommandVersion SRCPVersion() const { return FSRCPVersion; }
    const TCmdSyntax* SyntaxLine() const { return FSyntaxLine; }

    // The built line, without line end.
    const std::string& Command();
    void GetCommand(std::string& line);

    // Parses one answer line (without line end); true if the line was accepted. Only the device of
    // the line's group holds the line's values afterwards; the others are left as they were.
    bool ExamineAnswer(std::string_view line);
    bool IsErrorCmd() const { return SRCPIsErrorType(FCommandType); }

    // ---- the data point machinery (used by the devices) ----
    void GetDataPointString(TSRCPDataPoint dp, TSRCPString& line);
    bool SetDataPointString(TSRCPDataPoint dp, std::string_view text);
    TSRCPDataPoint GetNextDataPoint();
    bool ReceivedAllExpectedData();
    void InitInterpretation();
    std::string GetParameterList() const;
    std::int32_t DPPosition() const { return FDPPosition; }

    // Splits at the first `separator`: token = text before it, text = text after it, true.
    // Without a separator: token = whole text, text empty, false.
    static bool SplitString(char separator, std::string_view& text, std::string_view& token);

    // ---- devices ----
    TSRCPBaseDevice* Devices(TSRCPDeviceGroup g) const;  // nullptr for dgInvalid
    TSRCPDeviceFeedback& DevFeedback() const { return dev<TSRCPDeviceFeedback>(dgFeedback); }
    TSRCPDeviceAccessoire& DevAccessoire() const { return dev<TSRCPDeviceAccessoire>(dgAccessoire); }
    TSRCPDeviceLoco& DevLoco() const { return dev<TSRCPDeviceLoco>(dgLoco); }
    TSRCPDeviceServiceMode& DevServiceMode() const { return dev<TSRCPDeviceServiceMode>(dgServiceMode); }
    TSRCPDeviceLock& DevLock() const { return dev<TSRCPDeviceLock>(dgLock); }
    TSRCPDevicePower& DevPower() const { return dev<TSRCPDevicePower>(dgPower); }
    TSRCPDeviceTime& DevTime() const { return dev<TSRCPDeviceTime>(dgTime); }
    TSRCPDeviceSession& DevSession() const { return dev<TSRCPDeviceSession>(dgSession); }
    TSRCPDeviceDescription& DevDescription() const { return dev<TSRCPDeviceDescription>(dgDescription); }
    TSRCPDeviceServer& DevServer() const { return dev<TSRCPDeviceServer>(dgServer); }
    TSRCPDeviceHandshake& DevHandshake() const { return dev<TSRCPDeviceHandshake>(dgHandshake); }
    TSRCPDeviceWelcome& DevWelcome() const { return dev<TSRCPDeviceWelcome>(dgWelcome); }

private:
    template <class D>
    D& dev(TSRCPDeviceGroup g) const { return static_cast<D&>(*FDevices[g]); }
    TSRCPBaseDevice* CurrentDevice() const { return Devices(FDeviceGroup); }

    void BuildErrorLine();
    bool ExtractTimeStamp(std::string_view& rest);
    void ExtractCommandType(std::string_view& rest);
    bool ExtraktError(std::string_view& rest);
    bool ExtractAnswerData(std::string_view& rest);
    bool ExtractDataPoints(std::string_view& rest, std::int32_t start);

    const TCmdSyntax* FSyntaxLine = nullptr;
    double FTimeStamp = 0;
    std::int32_t FResponseCode = 0;
    std::string FDataString;
    TSRCPCommandClass FCommandClass = ccAnswer;
    TSRCPCommandType FCommandType = ctInvalid;
    TSRCPCommandVersion FSRCPVersion = cvUnknown;
    TSRCPDeviceGroup FDeviceGroup = dgInvalid;
    std::int32_t FBus = 0;
    std::int32_t FDevAddress = 0;
    TSRCPDeviceFeedback FFeedback{*this};
    TSRCPDeviceAccessoire FAccessoire{*this};
    TSRCPDeviceLoco FLoco{*this};
    TSRCPDeviceServiceMode FServiceMode{*this};
    TSRCPDeviceLock FLock{*this};
    TSRCPDevicePower FPower{*this};
    TSRCPDeviceTime FTime{*this};
    TSRCPDeviceSession FSession{*this};
    TSRCPDeviceDescription FDescription{*this};
    TSRCPDeviceServer FServer{*this};
    TSRCPDeviceHandshake FHandshake{*this};
    TSRCPDeviceWelcome FWelcome{*this};
    // By group, in the order of TSRCPDeviceGroup.
    const std::array<TSRCPBaseDevice*, SRCPDeviceCount> FDevices{&FFeedback, &FAccessoire, &FLoco, &FServiceMode,
                                                                 &FLock, &FPower, &FTime, &FSession,
                                                                 &FDescription, &FServer, &FHandshake, &FWelcome};
    std::int32_t FDPPosition = 0;
    TSRCPString FLine;  // the last built line
    bool FParsing = false;  // inside ExamineAnswer
};
