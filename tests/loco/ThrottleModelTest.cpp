#include "LocoTestSupport.h"

#include "loco/DriveReport.h"
#include "loco/Flookup.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

DriveReport report73(const QString& protocol, int address, int direction, int speed, std::vector<int> functions)
{
    DriveReport r;
    r.protocol = protocol;
    r.address = address;
    r.direction = direction;
    r.speed = speed;
    r.speedMax = 100;
    r.functions = std::move(functions);
    return r;
}

DriveReport report08(int bus, int address, int direction, int speed, int speedMax, int steps,
                     std::vector<int> functions = {})
{
    DriveReport r;
    r.bus = bus;
    r.address = address;
    r.direction = direction;
    r.speed = speed;
    r.speedMax = speedMax;
    r.steps = steps;
    r.functions = std::move(functions);
    return r;
}

}  // namespace

TEST(LocoCommand, BuildsTheSetGlLineWithATrailingBlank)
{
    TLok lok;
    lok.set_protocol(0, "M2");
    lok.set_direction(0, 1);
    lok.set_speed(0, 50);
    lok.set_nrof(0, 4);
    Dekod_Funcs f{};
    f[0] = 11;
    f[1] = 3;
    f[2] = 12;
    f[3] = 10;  // 10 is a function without a kind, switched on: the picture shows it on
    lok.set_F(0, f);
    EXPECT_EQ(glLine73(lok, 0), "SET GL M2 3 1 50 100 1 4 0 1 1 0 ");
    EXPECT_EQ(glLine73(lok, 1), "SET GL M1 3 -1 0 100 0 0 ");
}

TEST(LocoCommand, DropsSilentlyWhenNotConnectedAndUsesTheAdapterInMode80)
{
    ThrottleFixture t;
    t.sink.isConnected = false;
    t.command.gl_out(0);
    EXPECT_TRUE(t.sink.lines.empty());

    t.command.sink = nullptr;
    t.command.gl_out(0);  // no channel at all

    int adapterCalls = -1;
    t.command.sink = &t.sink;
    t.sink.isConnected = true;
    t.command.srcp08Out = [&](int n) { adapterCalls = n; };
    t.main.SrcpVer = 80;
    t.command.gl_out(4);
    EXPECT_EQ(adapterCalls, 4);
    EXPECT_TRUE(t.sink.lines.empty());
}

TEST(LocoCommand, AWriteFailureIsReportedNotThrown)
{
    struct BrokenSink : CommandLineSink {
        bool connected() const override { return true; }
        void writeLine(std::string_view) override { throw std::runtime_error("Broken pipe"); }
    } broken;
    AppState main;
    TLok lok;
    LocoCommand cmd(main, lok);
    cmd.sink = &broken;
    QString reported;
    cmd.writeFailed = [&](const QString& t) { reported = t; };
    EXPECT_NO_THROW(cmd.gl_out(0));
    EXPECT_EQ(reported, "Broken pipe");
}

struct SpeedCase {
    int speedMax;
    bool centreZero;
    int position;
    int speed;
    int direction;  // expected Direction afterwards (-1: untouched default)
};

class SliderSpeed : public ::testing::TestWithParam<SpeedCase> {};

TEST_P(SliderSpeed, TurnsThePositionIntoSpeedAndDirection)
{
    const SpeedCase c = GetParam();
    ThrottleFixture t;
    t.lok.set_protocol(0, "M2");
    t.lok.set_nrof(0, 4);
    t.lok.set_speedmax(0, c.speedMax);
    t.model.setupScrollBar(0);
    if (c.centreZero)
        t.model.CheckBoxClick(0, true);
    t.sink.lines.clear();
    if (t.model.regulator(0).Position == c.position)
        t.model.ScrollBar1Change(0);
    else
        t.model.moveSlider(0, c.position);
    EXPECT_EQ(t.lok.get_speed(0), c.speed);
    EXPECT_EQ(t.lok.get_direction(0), c.direction);
    ASSERT_EQ(t.sink.lines.size(), 1u);
    EXPECT_EQ(t.last(), "SET GL M2 3 " + std::to_string(c.direction) + " " + std::to_string(c.speed) + " " +
                            std::to_string(c.speedMax) + " 0 4 0 0 0 0 ");
}

INSTANTIATE_TEST_SUITE_P(Cases, SliderSpeed,
                         ::testing::Values(SpeedCase{100, false, 100, 0, -1}, SpeedCase{100, false, 98, 0, -1},
                                           SpeedCase{100, false, 97, 3, -1}, SpeedCase{100, false, 0, 100, -1},
                                           SpeedCase{14, false, 13, 1, -1}, SpeedCase{100, true, 50, 0, 0},
                                           SpeedCase{100, true, 0, 100, 0}, SpeedCase{100, true, 100, 100, 1},
                                           SpeedCase{100, true, 49, 0, 0}, SpeedCase{100, true, 60, 20, 1},
                                           SpeedCase{27, true, 0, 28, 0}),
                         [](const ::testing::TestParamInfo<SpeedCase>& i) {
                             const SpeedCase& c = i.param;
                             return "Vmax" + std::to_string(c.speedMax) + (c.centreZero ? "Centre" : "Normal") + "Pos" +
                                    std::to_string(c.position);
                         });

TEST(Throttle, DefaultM1LocoUpAndBackSendsTheStandstillLine)
{
    ThrottleFixture t;
    t.model.setupAll();
    EXPECT_TRUE(t.sink.lines.empty());  // already at the bottom: no change event
    EXPECT_EQ(t.model.regulator(0).AddressText, "3");
    EXPECT_EQ(t.model.regulator(0).DirectionIcon, "pfeil_dop.bmp");
    t.model.moveSlider(0, 40);
    EXPECT_EQ(t.last(), "SET GL M1 3 -1 60 100 0 0 ");
    EXPECT_EQ(t.model.Lokname(), "Lok");
    t.model.moveSlider(0, 100);
    EXPECT_EQ(t.last(), "SET GL M1 3 -1 0 100 0 0 ");
    EXPECT_EQ(t.sink.lines.size(), 2u);
}

TEST(Throttle, OutsideOperateModeTheSliderMovesWithoutEffect)
{
    ThrottleFixture t;
    t.main.Betrieb = false;
    t.main.Lokregler = true;
    t.model.moveSlider(0, 10);
    EXPECT_EQ(t.lok.get_speed(0), 0);
    EXPECT_TRUE(t.sink.lines.empty());
}

TEST(Throttle, AddressZeroDisablesTheRegulator)
{
    ThrottleFixture t;
    t.lok.set_addr(2, 0);
    t.model.setupScrollBar(2);
    EXPECT_TRUE(t.model.regulator(2).AddressText.isEmpty());
    t.model.moveSlider(2, 10);
    t.model.speedswitch(2);
    t.model.switch_basalfunction(2);
    EXPECT_EQ(t.lok.get_F(2)[0], 0);
    t.model.setall_lokostop();
    for (const std::string& l : t.sink.lines)
        EXPECT_EQ(l.find("SET GL M1 0 "), std::string::npos) << l;
}

TEST(Throttle, DirectionChangesOnlyNearStandstill)
{
    struct Case {
        const char* protocol;
        int position;
        int before;
        int after;
        const char* glyph;
    };
    const Case cases[] = {
        {"M2", 100, 1, 0, "pfeil_re.bmp"}, {"N3", 100, 0, 1, "pfeil_li.bmp"}, {"M2", 95, -1, 1, "pfeil_li.bmp"},
        {"M1", 100, -1, 1, "pfeil_dop.bmp"}, {"M1", 100, 1, 0, "pfeil_dop.bmp"}, {"M2", 50, 1, 1, ""},
        {"NB", 100, 1, 1, ""},
    };
    for (const Case& c : cases) {
        ThrottleFixture t;
        t.lok.set_protocol(0, c.protocol);
        t.lok.set_direction(0, c.before);
        t.main.Betrieb = false;  // place the slider without sending
        t.model.moveSlider(0, c.position);
        t.main.Betrieb = true;
        t.model.SpeedButton1Click(0);
        EXPECT_EQ(t.lok.get_direction(0), c.after) << c.protocol << " " << c.position;
        EXPECT_EQ(t.model.regulator(0).DirectionIcon, c.glyph) << c.protocol << " " << c.position;
        EXPECT_EQ(t.sink.lines.size(), 1u) << "the command goes out even without a change";
    }
}

TEST(Throttle, DirectionButtonInLocoSetupModeOpensTheDialog)
{
    ThrottleFixture t;
    t.main.Betrieb = false;
    t.main.Lokregler = true;
    int opened = -1;
    t.model.setuplok = [&](int n) { opened = n; };
    t.model.SpeedButton1Click(6);
    EXPECT_EQ(opened, 6);
    EXPECT_TRUE(t.sink.lines.empty());
    EXPECT_EQ(t.lok.get_direction(6), -1);
}

TEST(Throttle, FunctionToggles)
{
    ThrottleFixture t;
    t.lok.set_protocol(1, "M2");
    t.lok.set_nrof(1, 4);
    Dekod_Funcs f{};
    f[2] = 2;  // horn, off
    t.lok.set_F(1, f);

    t.model.FuncPicClick(1, 2);  // F1 of regulator 2 has no function
    EXPECT_TRUE(t.sink.lines.empty());

    t.model.FuncPicClick(2, 2);
    EXPECT_EQ(t.lok.get_F(1)[2], 12);
    EXPECT_EQ(t.model.regulator(1).FuncIcon[2], "hupe_an.bmp");
    EXPECT_FALSE(t.model.regulator(1).FuncImage[2].isNull());
    EXPECT_EQ(t.last(), "SET GL M2 3 -1 0 100 0 4 0 1 0 0 ");

    t.model.Func_pic1Click(1);
    EXPECT_EQ(t.lok.get_F(1)[0], 10);  // 0 + 10: on, shown and sent
    EXPECT_EQ(t.model.regulator(1).FuncIcon[0], "Func_on.bmp");
    EXPECT_EQ(t.last(), "SET GL M2 3 -1 0 100 1 4 0 1 0 0 ");
    t.model.Func_pic1Click(1);
    EXPECT_EQ(t.lok.get_F(1)[0], 0);
    EXPECT_EQ(t.model.regulator(1).FuncIcon[0], "Func_off.bmp");
    EXPECT_EQ(t.last(), "SET GL M2 3 -1 0 100 0 4 0 1 0 0 ");

    t.model.FuncPicClick(2, 2);
    EXPECT_EQ(t.lok.get_F(1)[2], 2);
    EXPECT_EQ(t.model.regulator(1).FuncIcon[2], "hupe_aus.bmp");
    EXPECT_EQ(t.last(), "SET GL M2 3 -1 0 100 0 4 0 0 0 0 ");
}

TEST(Throttle, ShowpicsFollowsTheCodes)
{
    ThrottleFixture t;
    t.lok.set_nrof(0, 4);
    Dekod_Funcs f{};
    f[0] = 11;
    f[1] = 15;
    f[3] = 7;
    t.lok.set_F(0, f);
    t.model.showpics(0);
    const RegulatorView& r = t.model.regulator(0);
    EXPECT_EQ(r.FuncIcon, (std::array<QString, 5>{"Func_on.bmp", "licht_an.bmp", "", "pfeil_dop.bmp", ""}));
    t.lok.set_nrof(0, 0);
    t.model.showpics(0);
    EXPECT_EQ(t.model.regulator(0).FuncIcon, (std::array<QString, 5>{"Func_on.bmp", "", "", "", ""}));
}

TEST(Throttle, StoredSpeedGoesOutUntilTheSliderMoves)
{
    ThrottleFixture t;
    t.lok.set_speed(0, 40);
    t.model.setupAll();
    t.model.Func_pic1Click(0);
    EXPECT_EQ(t.last(), "SET GL M1 3 -1 40 100 1 0 ");
}

TEST(Throttle, StopAllStopsEveryLocoAndKeepsItsDirection)
{
    ThrottleFixture t;
    t.lok.set_protocol(0, "M2");
    t.lok.set_direction(0, 1);
    t.lok.set_protocol(1, "NB");
    t.lok.set_direction(1, 1);
    t.lok.set_protocol(2, "M2");
    t.lok.set_addr(2, 5);
    t.lok.set_addr(3, 0);
    t.model.setupAll();
    t.model.moveSlider(0, 20);  // speed 80, forward
    t.model.moveSlider(1, 50);
    t.model.CheckBoxClick(2, true);
    t.model.moveSlider(2, 0);  // centre-zero: full speed, direction 0
    ASSERT_EQ(t.lok.get_speed(2), 100);
    t.sink.lines.clear();

    t.model.setall_lokostop();
    for (int d = 0; d < 10; ++d)
        EXPECT_EQ(t.lok.get_speed(d), 0) << d;
    EXPECT_EQ(t.lok.get_direction(0), 1);
    EXPECT_EQ(t.lok.get_direction(1), 1);
    EXPECT_EQ(t.model.regulator(2).Position, 50) << "centre-zero stops in the middle";
    EXPECT_EQ(t.model.regulator(0).Position, 100);

    // One stop per loco: regulators 4 to 9 share the default loco "M1 3".
    EXPECT_EQ(t.sink.lines, (std::vector<std::string>{"SET GL M2 3 1 0 100 0 0 ", "SET GL NB 3 1 0 100 0 0 ",
                                                      "SET GL M2 5 0 0 100 0 0 ", "SET GL M1 3 -1 0 100 0 0 "}));
    for (const std::string& l : t.sink.lines)
        EXPECT_EQ(l.find(" 100 100 "), std::string::npos) << "no loco is sent to full speed: " << l;
    EXPECT_EQ(t.dialogs.count("message"), 0);
}

TEST(Throttle, MissingIconIsReportedAndTheCommandStillGoesOut)
{
    QTemporaryDir empty;
    ThrottleFixture t(empty.path() + "/");
    t.model.setupScrollBar(0);
    ASSERT_GE(t.dialogs.count("message"), 1);
    EXPECT_TRUE(t.dialogs.shown.front().text.contains("pfeil_dop.bmp"));
    EXPECT_EQ(t.dialogs.shown.front().caption, "Error");
    t.model.moveSlider(0, 10);
    EXPECT_EQ(t.last(), "SET GL M1 3 -1 90 100 0 0 ");

    const int before = t.dialogs.count("message");
    t.model.setall_lokostop();
    EXPECT_EQ(t.dialogs.count("message"), before + 1) << "stop-all reports missing icons once";
    EXPECT_EQ(t.lok.get_speed(0), 0);
}

TEST(Throttle, IconNamesMatchWithoutRegardToCase)
{
    QTemporaryDir dir;
    QImage img(15, 15, QImage::Format_RGB32);
    img.fill(Qt::red);
    ASSERT_TRUE(img.save(dir.path() + "/FUNC_ON.BMP", "BMP"));
    LocoIcons icons([&] { return dir.path() + "/"; });
    EXPECT_EQ(icons.load("Func_on.bmp").pixelColor(3, 3), QColor(Qt::red));
    EXPECT_EQ(icons.resolve("func_on.bmp"), dir.path() + "/FUNC_ON.BMP");
    EXPECT_THROW(icons.load("Func_off.bmp"), IconLoadError);
}

TEST(Flookup, TableAndDamagedCodes)
{
    const std::pair<int, const char*> table[] = {
        {0, "Empty.bmp"},         {1, "func_off.bmp"},      {11, "func_on.bmp"},     {2, "hupe_aus.bmp"},
        {12, "hupe_an.bmp"},      {3, "kupplung_aus.bmp"},  {13, "kupplung_an.bmp"}, {4, "wagenlicht_aus.bmp"},
        {14, "wagenlicht_an.bmp"}, {5, "licht_aus.bmp"},    {15, "licht_an.bmp"},    {6, "dampf_aus.bmp"},
        {16, "dampf_an.bmp"},     {7, "pfeil_dop.bmp"},     {17, "pfeil_dop.bmp"},   {8, "slow_off.bmp"},
        {18, "slow_on.bmp"},      {9, "Empty.bmp"},         {10, "Empty.bmp"},       {19, "Empty.bmp"},
        {20, "Empty.bmp"},
    };
    int damaged = 0;
    for (const auto& [code, file] : table)
        EXPECT_EQ(flookup(code, [&] { ++damaged; }), file) << code;
    EXPECT_EQ(damaged, 0);
    EXPECT_EQ(flookup(21, [&] { ++damaged; }), "");
    EXPECT_EQ(flookup(-1, [&] { ++damaged; }), "");
    EXPECT_EQ(damaged, 2);
}

TEST(Flookup, EveryIconFileOfTheTableExistsAndIsFifteenSquare)
{
    LocoIcons icons([] { return QStringLiteral(QUARN_SOURCE_DIR "data/Data/"); });
    QStringList names{"pfeil_li.bmp", "pfeil_re.bmp", "pfeil_dop.bmp", "Func_on.bmp", "Func_off.bmp"};
    for (int code = 0; code <= 20; ++code)
        names << flookup(code);
    for (const QString& n : names) {
        const QImage& img = icons.load(n);
        EXPECT_EQ(img.size(), QSize(15, 15)) << n.toStdString();
    }
    for (int kind = 1; kind <= 8; ++kind) {
        if (kind == 7)
            continue;  // direction change has one picture for both states
        EXPECT_NE(icons.load(flookup(kind)), icons.load(flookup(kind + 10))) << kind;
    }
    EXPECT_NE(icons.load("Func_on.bmp"), icons.load("Func_off.bmp"));
}

TEST(Throttle, ADamagedFunctionCodeIsRepairedAloneAndNamedTheOtherLocosStay)
{
    ThrottleFixture t;
    int saves = 0;
    t.model.saveParameters = [&] { ++saves; };
    t.lok.set_addr(5, 77);
    t.lok.set_name(0, "V100");
    t.lok.set_addr(0, 12);
    t.lok.set_nrof(0, 4);
    t.lok.set_jb3(0, 21);
    Dekod_Funcs f{};
    f[0] = 11;
    f[1] = 25;   // 35 read without a check
    f[2] = 2;
    f[3] = 255;  // -1 read without a check
    t.lok.set_F(0, f);
    t.model.showpics(0);
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(t.lok.get_addr(5), 77) << "another loco was reset";
    EXPECT_EQ(t.lok.get_addr(0), 12);
    EXPECT_EQ(t.lok.get_name(0), "V100");
    Dekod_Funcs repaired = f;
    repaired[1] = 0;
    repaired[3] = 0;
    EXPECT_EQ(t.lok.get_F(0), repaired);
    EXPECT_EQ(t.lok.get_jb3(0), 0);
    ASSERT_EQ(t.dialogs.count("message"), 1);
    EXPECT_EQ(t.dialogs.last("message")->text,
              "Loco 1 (V100) had function codes that do not exist: F1 = 25, F3 = 255, J3 = 21. Only these were set to 0 "
              "(no function) and the parameter file was saved; every other value and every other loco stays as it was.");
    // The horn keeps its picture; a repaired slot has none.
    EXPECT_EQ(t.model.regulator(0).FuncIcon[2], "hupe_aus.bmp");
    EXPECT_TRUE(t.model.regulator(0).FuncIcon[1].isEmpty());

    // Drawn again: nothing more to repair, nothing more said.
    t.model.showpics(0);
    EXPECT_EQ(t.dialogs.count("message"), 1);
    EXPECT_EQ(saves, 1);
}

TEST(Throttle, StopAllStandsEveryLocoAlsoWithAnOddTopSpeedInCentreZero)
{
    // Odd top speeds put the middle of the slider half a step off standstill; a slider whose range
    // is not the loco's top speed cannot reach the bottom.
    for (const int vmax : {27, 15, 1, 100}) {
        SCOPED_TRACE(vmax);
        ThrottleFixture t;
        t.lok.set_protocol(0, "M2");
        t.lok.set_speedmax(0, vmax);
        t.lok.set_protocol(1, "M2");
        t.lok.set_addr(1, 4);
        t.model.setupAll();
        t.model.CheckBoxClick(0, true);
        EXPECT_EQ(t.lok.get_speed(0), 0) << "the centre of a centre-zero regulator is standstill";
        t.model.moveSlider(0, 0);
        t.lok.set_speedmax(1, 2 * 100 + 1);  // changed after the regulator was set up
        t.model.moveSlider(1, 0);
        t.sink.lines.clear();
        t.model.setall_lokostop();
        EXPECT_EQ(t.lok.get_speed(0), 0);
        EXPECT_EQ(t.lok.get_speed(1), 0);
        for (const std::string& l : t.sink.lines) {
            if (l.rfind("SET GL M2 3 ", 0) == 0) {
                EXPECT_NE(l.find(" 0 " + std::to_string(vmax) + " "), std::string::npos) << l;
            }
        }
    }
}

TEST(Throttle, FunctionPicturesAndTheWireAgreeFromTheFirstClick)
{
    // Every F0 code a record can hold: the picture shows what the line carries, click after click.
    for (int code : {0, 1, 5, 10, 11, 15}) {
        ThrottleFixture t;
        Dekod_Funcs f = t.lok.get_F(0);
        f[0] = static_cast<std::uint8_t>(code);
        t.lok.set_F(0, f);
        t.model.setupAll();
        for (int click = 0; click < 3; ++click) {
            const bool shownOn = t.model.regulator(0).FuncIcon[0] == QStringLiteral("Func_on.bmp");
            t.model.Func_pic1Click(0);
            const bool nowOn = t.model.regulator(0).FuncIcon[0] == QStringLiteral("Func_on.bmp");
            EXPECT_NE(nowOn, shownOn) << "code " << code << " click " << click;
            // "SET GL M1 3 -1 0 100 <F0> 0 "
            const std::string line = t.last();
            ASSERT_GE(line.size(), 4u);
            EXPECT_EQ(line.substr(line.size() - 4), nowOn ? "1 0 " : "0 0 ") << "code " << code << ": " << line;
        }
    }
}

TEST(Throttle, RegulatorsOnOneLocoStayInStep)
{
    ThrottleFixture t;  // every regulator starts on the default loco "M1 3"
    t.lok.set_addr(5, 7);
    t.model.setupAll();
    t.sink.lines.clear();
    t.model.moveSlider(0, 40);  // speed 60
    t.model.Func_pic1Click(0);
    EXPECT_EQ(t.sink.lines.size(), 2u) << "one line per change, not one per regulator";
    for (int d : {1, 2, 9}) {
        EXPECT_EQ(t.lok.get_speed(d), 60) << d;
        EXPECT_EQ(t.model.regulator(d).Position, 40) << d;
        EXPECT_EQ(t.model.regulator(d).FuncIcon[0], QStringLiteral("Func_on.bmp")) << d;
    }
    EXPECT_EQ(t.lok.get_speed(5), 0) << "another loco stays";
    EXPECT_EQ(t.model.regulator(5).Position, 100);
}

TEST(Throttle, ReportedDriveStateMovesTheRegulatorsWithoutSending)
{
    ThrottleFixture t;
    t.lok.set_protocol(2, "M2");
    t.lok.set_addr(2, 9);
    t.lok.set_nrof(2, 4);
    Dekod_Funcs f = t.lok.get_F(2);
    f[2] = 2;  // horn, off
    t.lok.set_F(2, f);
    t.model.setupAll();
    t.model.CheckBoxClick(2, false);
    t.sink.lines.clear();

    // M2 9: forward at 30 of 100, F0 on, F2 on
    EXPECT_EQ(t.model.locoReported(report73(QStringLiteral("M2"), 9, 1, 30, {1, 0, 1, 0, 0})), 1);
    EXPECT_EQ(t.lok.get_speed(2), 30);
    EXPECT_EQ(t.lok.get_direction(2), 1);
    EXPECT_EQ(t.model.regulator(2).Position, 70);
    EXPECT_EQ(t.model.regulator(2).FuncIcon[0], QStringLiteral("Func_on.bmp"));
    EXPECT_EQ(t.lok.get_F(2)[2], 12);
    EXPECT_EQ(t.lok.get_F(2)[1], 0) << "no function there: stays none";
    EXPECT_TRUE(t.sink.lines.empty());
    // The same again moves nothing; another protocol or address is another loco.
    EXPECT_EQ(t.model.locoReported(report73(QStringLiteral("M2"), 9, 1, 30, {1, 0, 1, 0, 0})), 0);
    EXPECT_EQ(t.model.locoReported(report73(QStringLiteral("N2"), 9, 1, 50, {})), 0);
    EXPECT_EQ(t.model.locoReported(report73(QStringLiteral("M2"), 4, 1, 50, {})), 0);

    // A centre-zero regulator shows direction by the half it stands in.
    t.model.CheckBoxClick(2, true);
    t.model.locoReported(report73(QStringLiteral("M2"), 9, 0, 40, {}));
    EXPECT_EQ(t.model.regulator(2).Position, 30);
    t.model.locoReported(report73(QStringLiteral("M2"), 9, 1, 40, {}));
    EXPECT_EQ(t.model.regulator(2).Position, 70);
    t.sink.lines.clear();
    t.model.ScrollBar1Change(2);  // the position gives back the reported state
    EXPECT_EQ(t.last(), "SET GL M2 9 1 40 100 1 4 0 1 0 0 ");
}

// A restarted server knows no loco: the regulators show it stopped, in normal and centre-zero
// operation, keep direction and functions, and nothing is sent until the user touches it.
TEST(Throttle, LocoTheServerDoesNotKnowIsShownStoppedWithoutSending)
{
    ThrottleFixture t;
    t.lok.set_protocol(1, "M2");
    t.lok.set_protocol(4, "M2");
    t.lok.set_addr(4, 0);  // no loco on this regulator
    t.model.setupAll();
    t.model.CheckBoxClick(1, true);
    t.model.moveSlider(0, 15);  // 85 of 100
    t.model.moveSlider(1, 0);   // centre-zero: full speed, direction 0
    t.model.Func_pic1Click(0);  // F0 on
    ASSERT_EQ(t.lok.get_speed(0), 85);
    ASSERT_EQ(t.lok.get_speed(1), 100);
    t.sink.lines.clear();

    for (int d : {0, 1, 4})
        t.model.locoNotOnServer(d);
    EXPECT_EQ(t.lok.get_speed(0), 0);
    EXPECT_EQ(t.model.regulator(0).Position, t.model.regulator(0).Max);
    EXPECT_EQ(t.model.regulator(0).FuncIcon[0], QStringLiteral("Func_on.bmp")) << "functions as they were";
    EXPECT_EQ(t.lok.get_speed(1), 0);
    EXPECT_EQ(t.model.regulator(1).Position, t.model.regulator(1).Max / 2) << "centre-zero standstill";
    EXPECT_EQ(t.lok.get_direction(1), 0);
    EXPECT_TRUE(t.sink.lines.empty());

    t.model.ScrollBar1Change(0);  // touched: the regulator's own state goes out
    EXPECT_EQ(t.sink.lines.size(), 1u);
}

TEST(LocoCommand, OwnLinesAreKnownInTheirReports)
{
    ThrottleFixture t;
    t.model.setupAll();
    t.model.moveSlider(0, 50);
    t.model.moveSlider(0, 40);
    EXPECT_TRUE(t.command.takeEcho(" M1 3 -1 50 100 0 0"));
    EXPECT_FALSE(t.command.takeEcho("M1 3 -1 50 100 0 0")) << "used up";
    EXPECT_FALSE(t.command.takeEcho("M1 3 -1 45 100 0 0"));
    EXPECT_TRUE(t.command.takeEcho("M1  3 -1 60 100 0 0 "));
}

TEST(DriveReport, ASpeedOnTheServersScaleIsPutOnTheLocosOwn)
{
    struct Case {
        int speed, speedMax, ownMax, expected;
    };
    for (const Case& c : {Case{60, 100, 100, 60}, Case{7, 14, 100, 50}, Case{14, 14, 27, 27}, Case{1, 3, 100, 33},
                          Case{1, 2, 3, 2} /* 1.5: halves up */, Case{200, 100, 100, 100} /* beyond the scale */,
                          Case{40, 0, 100, 40} /* no scale: the loco's own */, Case{-3, 100, 100, 0}})
        EXPECT_EQ(speedOnScale(c.speed, c.speedMax, c.ownMax), c.expected)
            << c.speed << "/" << c.speedMax << " on " << c.ownMax;
    // What the decoder cannot tell apart is the same speed.
    EXPECT_TRUE(sameDecoderSpeed(57, 100, 60, 100, 14));  // both step 8 of 14
    EXPECT_FALSE(sameDecoderSpeed(50, 100, 60, 100, 14));
    EXPECT_FALSE(sameDecoderSpeed(57, 100, 60, 100, 0)) << "steps not known: the loco's own scale";
    EXPECT_TRUE(sameDecoderSpeed(7, 14, 50, 100, 0));
}

TEST(Throttle, AnSrcp08ReportMovesTheRegulatorsOfItsBusOnTheirOwnScale)
{
    ThrottleFixture t;
    t.main.SrcpVer = 80;
    t.lok.set_addr(4, 24);  // a Motorola loco of its own: goes to BusGlMM
    t.lok.set_speedmax(4, 200);
    int sent = 0;
    t.command.srcp08Out = [&sent](int) { ++sent; };
    t.model.setupAll();
    sent = 0;
    const int bus = t.main.BusGlMM;

    // 7 of 14 steps is half of the loco's 200; the default loco on address 3 stays.
    EXPECT_EQ(t.model.locoReported(report08(bus, 24, 1, 7, 14, 14, {1})), 1);
    EXPECT_EQ(t.lok.get_speed(4), 100);
    EXPECT_EQ(t.model.regulator(4).Position, 100);
    EXPECT_EQ(t.model.regulator(4).FuncIcon[0], QStringLiteral("Func_on.bmp"));
    EXPECT_EQ(t.lok.get_speed(0), 0);
    // Another bus is another loco; an emergency stop keeps the direction.
    EXPECT_EQ(t.model.locoReported(report08(bus + 1, 24, 0, 0, 14, 14)), 0);
    EXPECT_EQ(t.model.locoReported(report08(bus, 24, -1, 0, 14, 14, {1})), 1);
    EXPECT_EQ(t.lok.get_speed(4), 0);
    EXPECT_EQ(t.lok.get_direction(4), 1);
    // A speed the decoder cannot tell from the regulator's stays as the regulator has it.
    t.model.moveSlider(4, 80);  // 120 of 200: step 8.4 of 14
    EXPECT_EQ(t.model.locoReported(report08(bus, 24, 1, 114, 200, 14, {1})), 0);  // step 8 too
    EXPECT_EQ(t.lok.get_speed(4), 120);
    EXPECT_EQ(sent, 1) << "reports send nothing";
}

TEST(LocoCommand, OwnSrcp08CommandsAreKnownInTheirReports)
{
    ThrottleFixture t;
    t.main.SrcpVer = 80;
    t.command.srcp08Out = [](int) {};
    t.model.setupAll();
    const int bus = t.main.BusGlMM;
    t.model.moveSlider(0, 80);  // the first command announces the loco: its INIT alone
    t.main.LocoData_sent = true;  // as the adapter does
    t.model.moveSlider(0, 40);
    // No drive state was sent with the announcement: a report of one is somebody else's.
    EXPECT_FALSE(t.command.takeEcho(report08(bus, 3, 1, 0, 100, 14, {0})));
    // The server's words as it reports them: the speed put on the decoder's 14 steps and back.
    // The loco's direction -1 goes out as backwards.
    EXPECT_TRUE(t.command.takeEcho(report08(bus, 3, 0, 21, 100, 14))) << "step 3 of 14 as 20 is";
    EXPECT_FALSE(t.command.takeEcho(report08(bus, 3, 0, 21, 100, 14))) << "used up";
    EXPECT_FALSE(t.command.takeEcho(report08(bus, 3, 0, 50, 100, 14)));
    EXPECT_FALSE(t.command.takeEcho(report08(bus, 3, 0, 57, 100, 14, {1}))) << "F0 differs";
    EXPECT_TRUE(t.command.takeEcho(report08(bus, 3, 0, 57, 100, 14, {0})));
}
