#include "SRCPCmd.h"

#include "SRCPTables.h"

#include <array>
#include <charconv>
#include <cmath>

namespace {

// The next blank-separated field; the rest loses it and is trimmed.
inline std::string_view nextField(std::string_view& rest)
{
    const char* const begin = rest.data();
    const char* end = begin + rest.size();
    const char* p = begin;
    while (p != end && *p != ' ')
        ++p;
    const std::string_view token(begin, static_cast<std::size_t>(p - begin));
    if (p == end) {
        rest = {};
        return token;
    }
    ++p;
    while (p != end && static_cast<unsigned char>(*p) <= ' ')
        ++p;
    while (end != p && static_cast<unsigned char>(end[-1]) <= ' ')
        --end;
    rest = std::string_view(p, static_cast<std::size_t>(end - p));
    return token;
}

} // namespace

TSRCPCmd::TSRCPCmd() = default;

TSRCPCmd::~TSRCPCmd() = default;

TSRCPBaseDevice* TSRCPCmd::Devices(TSRCPDeviceGroup g) const
{
    return g < dgInvalid ? FDevices[g] : nullptr;
}

void TSRCPCmd::SetSRCPVersion(TSRCPCommandVersion v)
{
    FSRCPVersion = v <= cvUnknown ? v : cvUnknown;
    SelectSyntaxLine();
}

void TSRCPCmd::SetDeviceGroup(TSRCPDeviceGroup g)
{
    if (g > dgInvalid)
        g = dgInvalid;
    if (g != FDeviceGroup) {
        FDeviceGroup = g;
        if (FParsing && g != dgInvalid)
            FDevices[g]->SetDefaultData();
        SelectSyntaxLine();
    }
}

void TSRCPCmd::SetCommandType(TSRCPCommandType t)
{
    if (t > ctInvalid)
        t = ctInvalid;
    if (SRCPIsAnswerType(t)) {
        FCommandClass = ccAnswer;
        if (SRCPIsHandshakeAnswerType(t))
            FDeviceGroup = dgHandshake;
    } else {
        FCommandClass = ccCommand;
    }
    InternalSetCommandType(t);
}

void TSRCPCmd::InternalSetCommandType(TSRCPCommandType t)
{
    if (t > ctInvalid)
        t = ctInvalid;
    FCommandType = t;
    FResponseCode = SRCPCommandTypeToCode(t, FSRCPVersion);
    SelectSyntaxLine();
}

namespace {
// Every (version, group, type) with its syntax row, found once: selecting a row is one look-up.
struct SyntaxRowIndex {
    std::array<const TCmdSyntax*, (cvUnknown + 1) * SRCPDeviceGroupCount * ctErrorStart> rows{};
    constexpr SyntaxRowIndex()
    {
        for (int v = 0; v <= cvUnknown; ++v)
            for (int g = 0; g < SRCPDeviceGroupCount; ++g)
                for (int t = 0; t < ctErrorStart; ++t)
                    rows[at(TSRCPCommandVersion(v), TSRCPDeviceGroup(g), TSRCPCommandType(t))] = SRCPFindSyntaxRow(
                        TSRCPCommandVersion(v), TSRCPDeviceGroup(g), TSRCPCommandType(t));
    }
    static constexpr std::size_t at(TSRCPCommandVersion v, TSRCPDeviceGroup g, TSRCPCommandType t)
    {
        return (std::size_t(v) * SRCPDeviceGroupCount + g) * ctErrorStart + t;
    }
};
constexpr SyntaxRowIndex syntaxRows;
} // namespace

void TSRCPCmd::SelectSyntaxLine()
{
    FSyntaxLine = FSRCPVersion <= cvUnknown && FDeviceGroup <= dgInvalid && FCommandType < ctErrorStart
                      ? syntaxRows.rows[SyntaxRowIndex::at(FSRCPVersion, FDeviceGroup, FCommandType)]
                      : nullptr;
}

void TSRCPCmd::SetInvalid()
{
    FDeviceGroup = dgInvalid;
    FDataString.clear();
    FDevAddress = -1;
    InternalSetCommandType(ctInvalid);
    // Each through its own type, so that the calls need no dispatch.
    DevFeedback().SetDefaultData();
    DevAccessoire().SetDefaultData();
    DevLoco().SetDefaultData();
    DevServiceMode().SetDefaultData();
    DevLock().SetDefaultData();
    DevPower().SetDefaultData();
    DevTime().SetDefaultData();
    DevSession().SetDefaultData();
    DevDescription().SetDefaultData();
    DevServer().SetDefaultData();
    DevHandshake().SetDefaultData();
    DevWelcome().SetDefaultData();
    static_assert(SRCPDeviceCount == 12, "every device back to its defaults");
}

std::string TSRCPCmd::GetSTimeStamp() const
{
    char buf[400];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, FTimeStamp, std::chars_format::fixed, 3);
    if (ec != std::errc())
        return "0.000";
    std::string s(buf, end);
    auto comma = s.find(',');
    if (comma != std::string::npos)
        s[comma] = '.';
    return s;
}

std::string_view TSRCPCmd::SCommandType() const { return SRCPCommandTypeWord(FCommandType); }
std::string_view TSRCPCmd::SDeviceGroup() const { return SRCPDevGroupWord(FDeviceGroup); }
std::string TSRCPCmd::GetParameterList() const { return {}; }

bool TSRCPCmd::SplitString(char separator, std::string_view& text, std::string_view& token)
{
    // fields are short: a plain loop beats a library search here
    const char* begin = text.data();
    const char* end = begin + text.size();
    for (const char* p = begin; p != end; ++p) {
        if (*p == separator) {
            token = std::string_view(begin, static_cast<std::size_t>(p - begin));
            text = std::string_view(p + 1, static_cast<std::size_t>(end - p - 1));
            return true;
        }
    }
    token = text;
    text = {};
    return false;
}

void TSRCPCmd::InitInterpretation()
{
    // Of the devices only the service mode one keeps state per pass.
    DevServiceMode().InitInterpretation();
}

// ---- building -------------------------------------------------------------------------------

void TSRCPCmd::BuildErrorLine()
{
    if (FCommandClass == ccAnswer)
        FLine.Add(GetSTimeStamp());
    FLine.Add(SRCPCommandTypeToCode(FCommandType, FSRCPVersion));
    FLine.Add(std::string_view("ERROR"));
    FLine.Add(SRCPErrorText(FCommandType));
}

const std::string& TSRCPCmd::Command()
{
    InitInterpretation();
    FLine.Clear();
    if (IsErrorCmd()) {
        BuildErrorLine();
    } else if (FCommandType == ctCmdOK) {
        if (FCommandClass == ccAnswer)
            FLine.Add(GetSTimeStamp());
        FLine.Add(FResponseCode);
        FLine.Add(std::string_view("OK"));
        FLine.Add(ConfirmationCommandTypes[ctCmdOK - ctConfirmation].Desc);
    } else if (!FSyntaxLine) {
        FCommandType = ctInvalid;
        BuildErrorLine();
    } else {
        FDPPosition = 0;
        for (TSRCPDataPoint dp = GetNextDataPoint(); dp != dpDummy; dp = GetNextDataPoint())
            GetDataPointString(dp, FLine);
    }
    return FLine.Value();
}

void TSRCPCmd::GetCommand(std::string& line) { line = Command(); }

TSRCPDataPoint TSRCPCmd::GetNextDataPoint()
{
    if (!FSyntaxLine || FDPPosition < 0 || FDPPosition > 9) {
        FDPPosition = 0;
        return dpDummy;
    }
    TSRCPBaseDevice* device = CurrentDevice();
    while (FDPPosition <= 9) {
        TSRCPDataPoint dp = FSyntaxLine->DataPoint[static_cast<std::size_t>(FDPPosition++)];
        if (dp == dpDummy || !device)
            return dpDummy;
        if (device->CheckNextDataPoint(dp))
            return dp;
    }
    return dpDummy;
}

void TSRCPCmd::GetDataPointString(TSRCPDataPoint dp, TSRCPString& line)
{
    TSRCPBaseDevice* device = CurrentDevice();
    switch (dp) {
    case dpTimeStamp:
        line.Add(GetSTimeStamp());
        break;
    case dpResponseCode:
        line.Add(FResponseCode);
        break;
    case dpCommand:
    case dpAnswerType:
        line.Add(SCommandType());
        break;
    case dpDevGroup:
        line.Add(SDeviceGroup());
        break;
    case dpBusAddress:
        line.Add(FBus);
        break;
    case dpParameter:
        line.Add(GetParameterList());
        break;
    case dpInit:
        line.Add(std::string_view("INIT"));
        break;
    case dpTerm:
        line.Add(std::string_view("TERM"));
        break;
    case dpAddData:
        line.Add(FDataString);
        if (device)
            device->GetDataPointString(dp, line);
        break;
    default:
        if (device)
            device->GetDataPointString(dp, line);
        break;
    }
}

// ---- parsing --------------------------------------------------------------------------------

bool TSRCPCmd::SetDataPointString(TSRCPDataPoint dp, std::string_view text)
{
    bool accepted = false;
    switch (dp) {
    case dpCommand:
    case dpAnswerType:
        accepted = SRCPSameText(text, SCommandType());
        break;
    case dpDevGroup: {
        TSRCPDeviceGroup g = SRCPDevGroupOfWord(text);
        if (g == dgInvalid)
            InternalSetCommandType(ctEUnsufficientData);
        else
            SetDeviceGroup(g);
        accepted = g != dgInvalid;
        break;
    }
    case dpBusAddress:
        accepted = StrToSRCPInt(text, FBus);
        break;
    case dpAddData:
        FDataString.assign(text);
        accepted = true;
        break;
    case dpInit:
        accepted = SRCPSameText(text, "INIT");
        break;
    case dpTerm:
        accepted = SRCPSameText(text, "TERM");
        break;
    default:
        break;
    }
    if ((!accepted || dp == dpAddData) && FDeviceGroup != dgInvalid)
        accepted = CurrentDevice()->SetDataPointString(dp, text);
    return accepted;
}

bool TSRCPCmd::ReceivedAllExpectedData()
{
    TSRCPBaseDevice* device = CurrentDevice();
    return !device || device->EndOfData(FDataString);
}

namespace {

// Reads "seconds.fraction" exactly as from_chars would when it has at most 15 digits; false when
// the text is of another form (then the general reader decides).
bool readPlainDecimal(std::string_view field, double& value)
{
    std::uint64_t mantissa = 0;
    int digits = 0, fractionDigits = 0;
    bool point = false;
    for (char c : field) {
        if (c == '.' && !point) {
            point = true;
        } else if (c >= '0' && c <= '9') {
            if (++digits > 15)
                return false;
            mantissa = mantissa * 10 + static_cast<unsigned>(c - '0');
            fractionDigits += point;
        } else {
            return false;
        }
    }
    if (digits == 0)
        return false;
    static constexpr double powers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8,
                                        1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    value = static_cast<double>(mantissa) / powers[fractionDigits];  // both exact: one rounding
    return true;
}

} // namespace

bool TSRCPCmd::ExtractTimeStamp(std::string_view& rest)
{
    {
        // The usual form, "seconds.fraction" with at most 15 digits and a blank after it, read in
        // one pass; any other form is left to the general reader below.
        const char* const begin = rest.data();
        const char* const end = begin + rest.size();
        const char* p = begin;
        std::uint64_t mantissa = 0;
        int digits = 0, fractionDigits = -1;
        for (; p != end; ++p) {
            const char c = *p;
            if (c >= '0' && c <= '9') {
                mantissa = mantissa * 10 + static_cast<unsigned>(c - '0');
                ++digits;
                fractionDigits += fractionDigits >= 0;
            } else if (c == '.' && fractionDigits < 0) {
                fractionDigits = 0;
            } else {
                break;
            }
        }
        if (p != end && *p == ' ' && digits > 0 && digits <= 15) {
            static constexpr double powers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8,
                                                1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
            FTimeStamp = static_cast<double>(mantissa) / powers[fractionDigits < 0 ? 0 : fractionDigits];
            rest = SRCPTrim(std::string_view(p + 1, static_cast<std::size_t>(end - p - 1)));
            return true;
        }
    }
    std::string_view field, after = rest;
    if (!SplitString(' ', after, field) || field.empty())
        return false;
    char first = field.front();
    if (!((first >= '0' && first <= '9') || first == '-' || first == '.'))
        return false;
    double value = 0;
    if (!readPlainDecimal(field, value)) {
        auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
        if (ec != std::errc() || end != field.data() + field.size() || !std::isfinite(value))
            return false;
    }
    FTimeStamp = value;
    rest = SRCPTrim(after);
    return true;
}

void TSRCPCmd::ExtractCommandType(std::string_view& rest)
{
    StrToSRCPInt(nextField(rest), FResponseCode);
    InternalSetCommandType(SRCPCodeToCommandType(FResponseCode, FSRCPVersion));
}

bool TSRCPCmd::ExtraktError(std::string_view& rest)
{
    if (!SRCPSameText(nextField(rest), "ERROR")) {
        InternalSetCommandType(ctInvalid);
        return false;
    }
    FDataString.assign(rest);
    return true;
}

bool TSRCPCmd::ExtractDataPoints(std::string_view& rest, std::int32_t start)
{
    FDPPosition = start;
    if (!FSyntaxLine)
        return true;
    for (TSRCPDataPoint dp = GetNextDataPoint(); dp != dpDummy; dp = GetNextDataPoint()) {
        std::string_view token;
        if (dp == dpAddData) {
            token = rest;
            rest = {};
        } else {
            token = nextField(rest);
        }
        if (!SetDataPointString(dp, token))
            return false;
    }
    return true;
}

bool TSRCPCmd::ExtractAnswerData(std::string_view& rest)
{
    std::int32_t position = 2;
    std::string_view word = nextField(rest);
    if (!SRCPSameText(word, SCommandType())) {
        FDataString.assign(word);
        if (!rest.empty())
            FDataString.append(" ").append(rest);
        return false;
    }
    position = 3;
    bool result;
    if (SRCPIsInfoType(FCommandType)) {
        if (!StrToSRCPInt(nextField(rest), FBus)) {
            InternalSetCommandType(ctEUnknownCommand);
            position += 1;
        } else {
            TSRCPDeviceGroup g = SRCPDevGroupOfWord(nextField(rest));
            if (g == dgInvalid)
                InternalSetCommandType(ctEUnknownValue);
            else
                SetDeviceGroup(g);
            position += 2;
        }
        result = ExtractDataPoints(rest, position);
    } else {
        if (rest.empty()) {
            result = FCommandType == ctCmdOK;
        } else {
            SetDeviceGroup(dgHandshake);
            result = ExtractDataPoints(rest, position);
        }
    }
    if (result) {
        rest = SRCPTrim(rest);
        if (!rest.empty()) {
            FDataString.assign(rest);
            if (!ReceivedAllExpectedData()) {
                InternalSetCommandType(ctEUnsufficientData);
                result = false;
            }
        }
    }
    return result;
}

bool TSRCPCmd::ExamineAnswer(std::string_view line)
{
    // As SetInvalid, except that only the device of the group the line turns out to have is set to
    // its defaults (when the group is selected): a line is read by that one device alone.
    FDeviceGroup = dgInvalid;
    FDataString.clear();
    FDevAddress = -1;
    InternalSetCommandType(ctInvalid);
    FCommandClass = ccAnswer;
    FTimeStamp = 0;
    if (line.empty())
        return false;
    struct Parsing {
        bool& flag;
        explicit Parsing(bool& f) : flag(f) { flag = true; }
        ~Parsing() { flag = false; }
    } parsing(FParsing);
    std::string_view rest = line;
    if (!ExtractTimeStamp(rest)) {
        // no leading number: the server's welcome line
        SetDeviceGroup(dgWelcome);
        InternalSetCommandType(ctWelcome);
        rest = line;
        return ExtractDataPoints(rest, 0);
    }
    ExtractCommandType(rest);
    if (IsErrorCmd())
        return ExtraktError(rest);
    return ExtractAnswerData(rest);
}
