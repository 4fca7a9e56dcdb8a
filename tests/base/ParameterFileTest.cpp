#include "base/AppState.h"
#include "base/ParameterFile.h"
#include "base/TLok.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "common/FileSizeLimit.h"

namespace {

QList<QByteArray> linesOf(const QByteArray& text)
{
    QList<QByteArray> lines = text.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (auto& l : lines)
        if (l.endsWith('\r'))
            l.chop(1);
    return lines;
}

QByteArray joinLines(const QList<QByteArray>& lines)
{
    QByteArray out;
    for (const auto& l : lines)
        out += l + "\r\n";
    return out;
}

QByteArray defaultFile()
{
    AppState s;
    TLok lok;
    return ParameterFile::write(s, lok);
}

// First line of loco `l`'s record (1-based file line) plus the record line (1-based).
int locoLine(int l, int recordLine)
{
    return 16 + l * 50 + recordLine;
}

}  // namespace

TEST(ParameterFile, DefaultsAreWrittenAs517DecimalLinesWithCrLf)
{
    const QByteArray text = defaultFile();
    EXPECT_EQ(text.count("\r\n"), ParameterFile::LineCount);
    EXPECT_EQ(text.count('\n'), ParameterFile::LineCount);
    EXPECT_TRUE(text.endsWith("\r\n"));

    QList<QByteArray> expected{"12345", "localhost", "0", "73", "1", "0", "1", "0", "0",
                               "1",     "2",         "3", "5",  "6", "8", "1"};
    for (int l = 0; l < 10; ++l) {
        expected += {"M1", "4", "1", "Lok", "3", "1", "-1", "0", "100", "0"};
        for (int i = 0; i < 32; ++i)
            expected += "0";
        expected += {"7", "1", "3", "2", "Direction", "Func", "F2", "F3"};
    }
    expected += "1";  // reconnect automatically
    expected += {"0", "12090", "", "", "8"};  // the phone server: off, its port, address, allow list, limit
    expected += "0";  // power is not switched on again after a reconnect
    expected += "4";  // phones per address
    EXPECT_EQ(linesOf(text), expected);
}

TEST(ParameterFile, ReconnectSettingIsAnAppendedLineWhoseAbsenceReadsAsOn)
{
    AppState off;
    off.Autoreconnect = 0;
    TLok lok;
    QList<QByteArray> lines = linesOf(ParameterFile::write(off, lok));
    ASSERT_EQ(lines.size(), ParameterFile::LineCount);
    EXPECT_EQ(lines[516], "0");

    AppState back;
    back.Autoreconnect = 7;
    ParameterFile::read(joinLines(lines), back, lok);
    EXPECT_EQ(back.Autoreconnect, 0);

    // A file from before the setting: 516 lines, with or without trailing blank lines.
    lines = lines.mid(0, 516);
    for (const QByteArray& tail : {QByteArray(), QByteArray("\r\n"), QByteArray("\r\n  \r\n")}) {
        AppState old;
        old.Autoreconnect = 0;
        ParameterFile::read(joinLines(lines) + tail, old, lok);
        EXPECT_EQ(old.Autoreconnect, 1) << tail.size();
        EXPECT_EQ(ParameterFile::write(old, lok).count("\r\n"), ParameterFile::LineCount);
    }
}

TEST(ParameterFile, PhoneServerSettingsAreAppendedLinesWithDefaultsForOlderFilesAndBadValues)
{
    AppState on;
    on.PhoneServerOn = 1;
    on.PhoneServerPort = 2560;
    on.PhoneServerAddress = "192.168.1.5";
    on.PhoneServerAllow = "192.168.1.0/24, 10.0.0.7";
    on.PhoneServerLimit = 3;
    on.PhoneServerPerAddress = 2;
    TLok lok;
    const QList<QByteArray> lines = linesOf(ParameterFile::write(on, lok));
    ASSERT_EQ(lines.size(), ParameterFile::LineCount);
    AppState back;
    EXPECT_TRUE(ParameterFile::read(joinLines(lines), back, lok).isEmpty());
    EXPECT_EQ(back.PhoneServerOn, 1);
    EXPECT_EQ(back.PhoneServerPort, 2560);
    EXPECT_EQ(back.PhoneServerAddress, "192.168.1.5");
    EXPECT_EQ(back.PhoneServerAllow, "192.168.1.0/24, 10.0.0.7");
    EXPECT_EQ(back.PhoneServerLimit, 3);
    EXPECT_EQ(back.PhoneServerPerAddress, 2);

    // Files from before (516, 517 or 522 lines) and values out of range read as the defaults.
    for (const QList<QByteArray>& tail :
         {QList<QByteArray>{}, QList<QByteArray>{"1"}, QList<QByteArray>{"1", "1", "7", "", "", "3"},
          QList<QByteArray>{"1", "7", "0", "", "", "65", "0"}}) {
        AppState old;
        old.PhoneServerOn = 1;
        old.PhoneServerPort = 1;
        old.PhoneServerAddress = "x";
        old.PhoneServerLimit = 2;
        old.PhoneServerPerAddress = 9;
        ParameterFile::read(joinLines(lines.mid(0, 516) + tail), old, lok);
        EXPECT_EQ(old.PhoneServerPerAddress, 4) << tail.size();
        if (tail.size() == 6) {
            EXPECT_EQ(old.PhoneServerLimit, 3) << "a file from before the limit per address keeps its values";
            continue;
        }
        EXPECT_EQ(old.PhoneServerOn, 0) << tail.size();
        EXPECT_EQ(old.PhoneServerPort, 12090);
        EXPECT_EQ(old.PhoneServerAddress, "");
        EXPECT_EQ(old.PhoneServerLimit, 8);
    }
}

TEST(ParameterFile, PowerAfterReconnectIsAnAppendedLineOffInOlderFilesAndForBadValues)
{
    AppState on;
    on.Poweronreconnect = 1;
    TLok lok;
    const QList<QByteArray> lines = linesOf(ParameterFile::write(on, lok));
    ASSERT_EQ(lines.size(), ParameterFile::LineCount);
    EXPECT_EQ(lines[522], "1");
    AppState back;
    EXPECT_TRUE(ParameterFile::read(joinLines(lines), back, lok).isEmpty());
    EXPECT_EQ(back.Poweronreconnect, 1);

    // Files from before the setting (522 lines, or fewer) and values out of range: off.
    for (const QList<QByteArray>& file : {lines.mid(0, 522), lines.mid(0, 517), lines.mid(0, 522) + QList<QByteArray>{"2"},
                                          lines.mid(0, 522) + QList<QByteArray>{"-1"}}) {
        AppState old;
        old.Poweronreconnect = 1;
        ParameterFile::read(joinLines(file), old, lok);
        EXPECT_EQ(old.Poweronreconnect, 0) << file.size();
        EXPECT_EQ(ParameterFile::write(old, lok).count("\r\n"), ParameterFile::LineCount);
    }
}

TEST(ParameterFile, RoundTripRestoresEveryStoredFieldAndEightBitNames)
{
    AppState s;
    TLok lok;
    s.Ipport = 4303;
    s.Iphostchar = "srcp.bahn.local";
    s.Infoport_an = 1;
    s.SrcpVer = 80;
    s.Lang_id = 7;
    s.Joy_Mode = 0;
    s.Showassist = 0;
    s.Monitorpower = 1;
    s.Autopower = 1;
    s.BusGlMM = 11;
    s.BusGlNMRA_S = 12;
    s.BusGlNMRA_L = 13;
    s.BusGaMM = 15;
    s.BusGaNMRA = 16;
    s.BusS88 = 18;
    s.Buspower = 19;
    for (int l = 0; l < TLok::Count; ++l) {
        lok.set_protocol(l, l % 2 ? "N4" : "M5");
        lok.set_protocolbase(l, static_cast<std::uint8_t>(l % 8));
        lok.set_protversion(l, l % 6 + 1);
        lok.set_name(l, QString::fromUtf8("Bär_%1").arg(l));
        lok.set_addr(l, 100 + l);
        lok.set_Busnr(l, 2);
        lok.set_direction(l, l % 2);
        lok.set_speed(l, 3 * l);  // up to the top speed
        lok.set_speedmax(l, 28);
        lok.set_nrof(l, 4);
        Dekod_Funcs f{};
        for (std::size_t i = 0; i < 8; ++i)
            f[i] = static_cast<std::uint8_t>((i + l) % 11);
        lok.set_F(l, f);
        lok.set_jb1(l, 1);
        lok.set_jb2(l, 2);
        lok.set_jb3(l, 4);
        lok.set_jb4(l, 8);
        lok.set_jb1func(l, "F1");
        lok.set_jb2func(l, "keine");
        lok.set_jb3func(l, "Direction");
        lok.set_jb4func(l, "F4");
    }
    const QByteArray text = ParameterFile::write(s, lok);
    // The name is stored as one Windows-1252 byte per character.
    EXPECT_EQ(linesOf(text)[locoLine(0, 4) - 1], QByteArray("B\xe4r_0"));

    AppState s2;
    TLok lok2;
    ParameterFile::read(text, s2, lok2);
    EXPECT_EQ(lok2.get_name(3), QString::fromUtf8("Bär_3"));
    EXPECT_EQ(s2.Iphostchar, s.Iphostchar);
    EXPECT_EQ(ParameterFile::write(s2, lok2), text);
}

TEST(ParameterFile, ReadingRules)
{
    struct Case {
        const char* name;
        int line;            // 1-based line to replace
        QByteArray content;  // its new text
        std::function<void(const AppState&, const TLok&)> check;
    };
    const std::vector<Case> cases{
        {"protTypeOutOfRangeKeepsFamily", locoLine(3, 2), "9",
         [](const AppState&, const TLok& lok) {
             EXPECT_EQ(lok.get_protocolbase(3), 2);  // the value set before reading
             EXPECT_EQ(lok.get_protvers(3), 1);
             EXPECT_EQ(lok.get_protocolbase(4), 4);
         }},
        {"functionCodeAboveTenComesBackOff", locoLine(2, 11 + 4), "15",
         [](const AppState&, const TLok& lok) { EXPECT_EQ(lok.get_F(2)[4], 5); }},
        {"functionCodeTenStays", locoLine(2, 11), "10",
         [](const AppState&, const TLok& lok) { EXPECT_EQ(lok.get_F(2)[0], 10); }},
        {"hostWithBlanksIsReadWhole", 2, "my railway host ",
         [](const AppState& s, const TLok&) { EXPECT_EQ(s.Iphostchar, "my railway host "); }},
        {"restOfAnIntegerLineIsSkipped", 1, "  4303 tail",
         [](const AppState& s, const TLok&) {
             EXPECT_EQ(s.Ipport, 4303);
             EXPECT_EQ(s.Iphostchar, "localhost");
         }},
        {"negativeDirection", locoLine(9, 7), "-1",
         [](const AppState&, const TLok& lok) { EXPECT_EQ(lok.get_direction(9), -1); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QList<QByteArray> lines = linesOf(defaultFile());
        lines[c.line - 1] = c.content;
        AppState s;
        TLok lok;
        lok.set_protocolbase(3, 2);
        ASSERT_NO_THROW(ParameterFile::read(joinLines(lines), s, lok));
        c.check(s, lok);
    }
}

TEST(ParameterFile, AFileCutShortKeepsWhatItHasAndNamesEveryMissingLine)
{
    // Reading the missing values as 0 and empty gave locos without protocol and with top speed 0.
    QList<QByteArray> lines = linesOf(defaultFile());
    lines[0] = "4711";
    lines[locoLine(0, 4) - 1] = "Rangier";  // line 20
    lines = lines.mid(0, 20);
    AppState s;
    TLok lok;
    lok.set_addr(4, 44);
    QList<int> replaced;
    ASSERT_NO_THROW(replaced = ParameterFile::read(joinLines(lines), s, lok));
    QList<int> missing;
    for (int line = 21; line <= 16 + 10 * 50; ++line)
        missing << line;
    EXPECT_EQ(replaced, missing);
    EXPECT_EQ(ParameterFile::describeLines(replaced), "21-516");
    EXPECT_EQ(ParameterFile::describeLines({4, 12, 13, 28, 29, 30, 31}), "4, 12, 13, 28-31");
    EXPECT_EQ(s.Ipport, 4711);
    EXPECT_EQ(s.Buspower, 1);
    EXPECT_EQ(lok.get_protocol(0), "M1");
    EXPECT_EQ(lok.get_name(0), "Rangier");
    EXPECT_EQ(lok.get_addr(0), 3);  // what the table held
    EXPECT_EQ(lok.get_speedmax(0), 100);
    EXPECT_EQ(lok.get_jb1func(0), "Direction");
    EXPECT_EQ(lok.get_addr(4), 44);
    for (int l = 1; l < TLok::Count; ++l) {
        EXPECT_EQ(lok.get_protocol(l), "M1");
        EXPECT_EQ(lok.get_protocolbase(l), 4);
    }
    // The lines added later (517 on) are not missing when a file ends after line 516.
    EXPECT_TRUE(ParameterFile::read(joinLines(linesOf(defaultFile()).mid(0, 516)), s, lok).isEmpty());
}

TEST(ParameterFile, UnreadableValuesAreReplacedAndEveryOtherValueIsRead)
{
    for (const QByteArray& bad : {QByteArray("abc"), QByteArray("12x"), QByteArray("99999999999")}) {
        SCOPED_TRACE(bad.constData());
        QList<QByteArray> lines = linesOf(defaultFile());
        lines[0] = "4303";
        lines[1] = "zentrale";
        lines[3] = bad;                           // SrcpVer: its start value
        lines[4] = "2";
        lines[11] = "x";                          // BusGlNMRA_L: its start value
        lines[locoLine(0, 4) - 1] = "Rangier";
        lines[locoLine(0, 5) - 1] = bad;          // loco 0's address: what the table held
        lines[locoLine(9, 11 + 3) - 1] = bad;     // a function entry
        lines[locoLine(9, 11 + 4) - 1] = "13";
        lines[locoLine(9, 43) - 1] = "9";
        AppState s;
        s.SrcpVer = 80;
        TLok lok;
        lok.set_addr(0, 77);
        Dekod_Funcs f{};
        f[3] = 6;
        lok.set_F(9, f);
        QList<int> replaced;
        ASSERT_NO_THROW(replaced = ParameterFile::read(joinLines(lines), s, lok));
        EXPECT_EQ(replaced, (QList<int>{4, 12, locoLine(0, 5), locoLine(9, 14)}));
        EXPECT_EQ(s.Ipport, 4303);
        EXPECT_EQ(s.Iphostchar, "zentrale");
        EXPECT_EQ(s.SrcpVer, 73);
        EXPECT_EQ(s.Lang_id, 2);
        EXPECT_EQ(s.BusGlNMRA_L, 3);
        EXPECT_EQ(s.BusGaMM, 5);
        EXPECT_EQ(lok.get_name(0), "Rangier");
        EXPECT_EQ(lok.get_addr(0), 77);
        EXPECT_EQ(lok.get_F(9)[3], 6);
        EXPECT_EQ(lok.get_F(9)[4], 3);
        EXPECT_EQ(lok.get_jb1(9), 9);
        EXPECT_EQ(s.Autoreconnect, 1);
    }
    // Blank lines before a number are skipped as always; the line named is the one that was read.
    QList<QByteArray> lines = linesOf(defaultFile());
    lines.insert(2, "");
    lines[6] = "?";  // Joy_Mode, line 6 of the file before the blank line
    AppState s;
    TLok lok;
    EXPECT_EQ(ParameterFile::read(joinLines(lines), s, lok), QList<int>{7});
    EXPECT_EQ(s.Lang_id, 1);
    EXPECT_EQ(s.Joy_Mode, 0);
    EXPECT_EQ(ParameterFile::write(s, lok), defaultFile());
}

TEST(ParameterFile, MissingFileIsAReadErrorAndFailedSaveKeepsTheOldFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    AppState s;
    TLok lok;
    s.WorkDir = dir.path() + "/";
    EXPECT_THROW(ParameterFile::load(ParameterFile::filePath(s), s, lok), ParameterFile::Error);

    // No data folder: saving reports an error naming the file.
    try {
        ParameterFile::save(ParameterFile::filePath(s), s, lok);
        ADD_FAILURE() << "save into a missing folder succeeded";
    } catch (const ParameterFile::Error& e) {
        EXPECT_NE(std::string(e.what()).find("parmc.dat"), std::string::npos);
    }

    ASSERT_TRUE(QDir(dir.path()).mkdir("Data"));
    ParameterFile::save(ParameterFile::filePath(s), s, lok);
    const QString path = ParameterFile::filePath(s);
    s.Ipport = 1;

    // A folder the program may not write to (not enforced for a superuser).
    QFile::setPermissions(s.WorkDir + "Data", QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    if (!QFileInfo(s.WorkDir + "Data").isWritable()) {
        EXPECT_THROW(ParameterFile::save(path, s, lok), ParameterFile::Error);
    }
    QFile::setPermissions(s.WorkDir + "Data", QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    // A disk that fills up while writing (a file size limit binds a superuser too).
    {
        testsupport::FileSizeLimit full(64);
        EXPECT_THROW(ParameterFile::save(path, s, lok), ParameterFile::Error);
    }

    AppState back;
    ParameterFile::load(path, back, lok);
    EXPECT_EQ(back.Ipport, 12345);
}

TEST(ParameterFile, SettingsOutsideTheirRangeTakeTheirStartValues)
{
    // A file cut short after line 3 reads 0 for the language: every caption would be empty.
    {
        QList<QByteArray> lines = linesOf(defaultFile()).mid(0, 3);
        AppState s;
        TLok lok;
        ASSERT_NO_THROW(ParameterFile::read(joinLines(lines), s, lok));
        EXPECT_EQ(s.Lang_id, 1);
        EXPECT_EQ(s.SrcpVer, 73);
        EXPECT_EQ(s.BusGaMM, 5);
        EXPECT_EQ(s.BusS88, 8);
    }
    struct Case {
        int line;
        QByteArray value;
        int AppState::*field;
        int expected;
    };
    const Case cases[] = {
        {1, "0", &AppState::Ipport, 12345},       {1, "70000", &AppState::Ipport, 12345},
        {1, "4303", &AppState::Ipport, 4303},     {4, "12", &AppState::SrcpVer, 73},
        {4, "80", &AppState::SrcpVer, 80},        {5, "0", &AppState::Lang_id, 1},
        {5, "8", &AppState::Lang_id, 1},          {5, "7", &AppState::Lang_id, 7},
        {6, "5", &AppState::Joy_Mode, 0},         {6, "1", &AppState::Joy_Mode, 1},
        {7, "-1", &AppState::Showassist, 1},      {8, "2", &AppState::Monitorpower, 0},
        {9, "1", &AppState::Autopower, 1},        {3, "9", &AppState::Infoport_an, 0},
        {10, "-3", &AppState::BusGlMM, 1},        {16, "0", &AppState::Buspower, 1},
        {13, "12", &AppState::BusGaMM, 12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.line) + " " + c.value.toStdString());
        QList<QByteArray> lines = linesOf(defaultFile());
        lines[c.line - 1] = c.value;
        AppState s;
        s.*c.field = -99;
        TLok lok;
        ASSERT_NO_THROW(ParameterFile::read(joinLines(lines), s, lok));
        EXPECT_EQ(s.*c.field, c.expected);
    }
    QList<QByteArray> lines = linesOf(defaultFile());
    lines[1] = "  ";
    AppState s;
    TLok lok;
    ParameterFile::read(joinLines(lines), s, lok);
    EXPECT_EQ(s.Iphostchar, "localhost");
}

TEST(ParameterFile, ValuesOutsideTheirRangeAreReplacedAloneAndTheirLinesNamed)
{
    // What a hand-edited or damaged file may hold, and what comes back: each bad value keeps what the
    // loco table held (or a setting its start value); every other value of the file is read.
    struct Case {
        int line;
        QByteArray value;
        std::function<void(const AppState&, const TLok&)> check;
    };
    const auto f = [](const TLok& lok, int l, int k) { return int(lok.get_F(l)[std::size_t(k)]); };
    const std::vector<Case> cases{
        {locoLine(0, 12), "35", [&](const AppState&, const TLok& lok) { EXPECT_EQ(f(lok, 0, 1), 0); }},  // F1
        {locoLine(0, 13), "-1", [&](const AppState&, const TLok& lok) { EXPECT_EQ(f(lok, 0, 2), 0); }},  // F2
        {locoLine(9, 11), "21", [&](const AppState&, const TLok& lok) { EXPECT_EQ(f(lok, 9, 0), 0); }},  // F0
        {locoLine(3, 45), "99", [](const AppState&, const TLok& lok) { EXPECT_EQ(lok.get_jb3(3), 3); }},
        {locoLine(3, 1), "X7", [](const AppState&, const TLok& lok) { EXPECT_EQ(lok.get_protocol(3), "M1"); }},
        {locoLine(3, 2), "9", [](const AppState&, const TLok& lok) { EXPECT_EQ(lok.get_protocolbase(3), 4); }},
        {locoLine(3, 3), "0", [](const AppState&, const TLok& lok) { EXPECT_EQ(lok.get_protvers(3), 1); }},
        {locoLine(3, 5), "10240", [](const AppState&, const TLok& lok) { EXPECT_EQ(lok.get_addr(3), 3); }},
        {locoLine(3, 6), "0", [](const AppState&, const TLok& lok) { EXPECT_EQ(lok.get_busnr(3), 1); }},
        {locoLine(3, 7), "5", [](const AppState&, const TLok& lok) { EXPECT_EQ(lok.get_direction(3), -1); }},
        {locoLine(3, 8), "150", [](const AppState&, const TLok& lok) { EXPECT_EQ(lok.get_speed(3), 0); }},
        {locoLine(3, 9), "0", [](const AppState&, const TLok& lok) { EXPECT_EQ(lok.get_speedmax(3), 100); }},
        {locoLine(3, 10), "5", [](const AppState&, const TLok& lok) { EXPECT_EQ(lok.get_nrof(3), 0); }},
        {locoLine(3, 47), "Horn", [](const AppState&, const TLok& lok) { EXPECT_EQ(lok.get_jb1func(3), "Direction"); }},
        {1, "0", [](const AppState& s, const TLok&) { EXPECT_EQ(s.Ipport, 12345); }},
        {1, "70000", [](const AppState& s, const TLok&) { EXPECT_EQ(s.Ipport, 12345); }},
        {2, " ", [](const AppState& s, const TLok&) { EXPECT_EQ(s.Iphostchar, "localhost"); }},
        {4, "77", [](const AppState& s, const TLok&) { EXPECT_EQ(s.SrcpVer, 73); }},
        {13, "0", [](const AppState& s, const TLok&) { EXPECT_EQ(s.BusGaMM, 5); }},
        {15, "101", [](const AppState& s, const TLok&) { EXPECT_EQ(s.BusS88, 8); }},
        {517, "2", [](const AppState& s, const TLok&) { EXPECT_EQ(s.Autoreconnect, 1); }},
        {519, "0", [](const AppState& s, const TLok&) { EXPECT_EQ(s.PhoneServerPort, 12090); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.line) + " " + c.value.toStdString());
        QList<QByteArray> lines = linesOf(defaultFile());
        lines[c.line - 1] = c.value;
        lines[locoLine(5, 4) - 1] = "Koef";  // a neighbour that must be read all the same
        lines[locoLine(5, 5) - 1] = "44";
        lines[locoLine(5, 12) - 1] = "15";  // F1: head lights, on; read back off
        AppState s;
        TLok lok;
        QList<int> replaced;
        ASSERT_NO_THROW(replaced = ParameterFile::read(joinLines(lines), s, lok));
        EXPECT_EQ(replaced, QList<int>{c.line});
        c.check(s, lok);
        EXPECT_EQ(lok.get_name(5), "Koef");
        EXPECT_EQ(lok.get_addr(5), 44);
        EXPECT_EQ(f(lok, 5, 1), 5);
        for (int l = 0; l < TLok::Count; ++l)
            for (int k = 0; k < 32; ++k)
                EXPECT_LE(f(lok, l, k), 20) << l << " F" << k;
    }
    // A speed above the loco's top speed stands the loco (the line of the speed is named).
    QList<QByteArray> lines = linesOf(defaultFile());
    lines[locoLine(2, 8) - 1] = "90";
    lines[locoLine(2, 9) - 1] = "28";
    AppState s;
    TLok lok;
    EXPECT_EQ(ParameterFile::read(joinLines(lines), s, lok), QList<int>{locoLine(2, 8)});
    EXPECT_EQ(lok.get_speed(2), 0);
    EXPECT_EQ(lok.get_speedmax(2), 28);
}
