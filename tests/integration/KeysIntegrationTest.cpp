// The keys of the main window against the project's SRCP simulator in 0.7.3 mode: the throttle
// keys, power on and off and the emergency stop (from a modal dialog and in another mode), each
// checked in the simulator's log of received lines.

#include "app/KeysHost.h"
#include "app/LocoControlHost.h"
#include "app/SessionHost.h"
#include "app/TMainForm.h"
#include "app/TrackPanelHost.h"
#include "base/C_language.h"
#include "base/ScriptedDialogs.h"
#include "base/TLok.h"
#include "loco/widgets/ReglerPanel.h"
#include "session/ServerSession.h"

#include "session/SimProcess.h"

#include <QAction>
#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include "common/ProgramFolder.h"
#include "integration/SimFixture.h"

#include <chrono>
#include <regex>
#include <thread>

using namespace std::chrono;

namespace {

// Loco and power lines the simulator received, in order (line end removed).
std::vector<std::string> received(const std::string& logFile)
{
    std::vector<std::string> out;
    static const std::regex line(R"(^\d+\.\d+ \d+ R (SET (GL|POWER) .*)$)");
    for (const std::string& l : SimProcess::readLines(logFile)) {
        std::smatch m;
        if (std::regex_match(l, m, line))
            out.push_back(m[1].str());
    }
    return out;
}

// The lines after the first `from`, once at least `count` more have come (or 5 s have passed).
std::vector<std::string> linesAfter(const std::string& logFile, std::size_t from, std::size_t count)
{
    const auto end = steady_clock::now() + seconds(5);
    std::vector<std::string> lines;
    while ((lines = received(logFile)).size() < from + count && steady_clock::now() < end) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(milliseconds(5));
    }
    return lines.size() <= from ? std::vector<std::string>{} : std::vector<std::string>(lines.begin() + from, lines.end());
}

// Waits until the simulator has been quiet for a moment, then counts its lines.
std::size_t settledCount(const std::string& logFile)
{
    std::size_t n = received(logFile).size();
    for (int quiet = 0; quiet < 20;) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(milliseconds(10));
        const std::size_t now = received(logFile).size();
        quiet = now == n ? quiet + 1 : 0;
        n = now;
    }
    return n;
}

}  // namespace

TEST(KeysIntegration, KeysSendWhatTheMouseSends)
{
    QTemporaryDir dir;
    const QString work = dir.path() + QLatin1Char('/');
    ASSERT_TRUE(testsupport::makeProgramFolder(work));
    QFile::remove(work + QStringLiteral("Data/parmc.dat"));
    const std::string logFile = (work + QStringLiteral("sim.log")).toStdString();
    SimProcess sim(SRCP_SIM_PATH, "0.7.3", logFile);

    ScriptedDialogs d;
    TMainForm form(d, work);
    new TrackPanelHost(form);
    auto* session = new SessionHost(form);
    auto* loco = new LocoControlHost(form);
    new KeysHost(form, *loco);

    // Loco 0 alone: "M2" at address 3, forward, four functions (all off), F0 off.
    for (int l = 1; l < 10; ++l)
        Lok->set_addr(l, 0);
    Lok->set_protocol(0, "M2");
    Lok->set_nrof(0, 4);
    Lok->set_direction(0, 1);
    Dekod_Funcs f{};
    f[0] = 1;
    for (int k = 1; k <= 4; ++k)
        f[static_cast<std::size_t>(k)] = k;
    Lok->set_F(0, f);

    form.resize(1000, 720);
    form.show();
    d.shown.clear();  // the fresh start's parameter-file message
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));

    // No server yet: the emergency stop says that nothing went out.
    QTest::keyClick(&form, Qt::Key_F12);
    EXPECT_EQ(form.statusText(1), Lang->getmessage(839, form.Lang_id));

    form.Iphostchar = QStringLiteral("127.0.0.1");
    form.Ipport = sim.port();
    form.action(QStringLiteral("Hostverbinden1"))->trigger();
    ASSERT_TRUE(simfixture::sessionSettled(form));
    ASSERT_TRUE(form.Session->commandConnected());
    form.Betrieb1Click();
    QScrollBar* slider = loco->panel()->scrollBar(0);

    const std::vector<std::pair<Qt::Key, const char*>> drive{
        {Qt::Key_1, nullptr},
        {Qt::Key_Plus, "SET GL M2 3 1 5 100 0 4 0 0 0 0 "},
        {Qt::Key_Plus, "SET GL M2 3 1 10 100 0 4 0 0 0 0 "},
        {Qt::Key_Minus, "SET GL M2 3 1 5 100 0 4 0 0 0 0 "},
        {Qt::Key_R, "SET GL M2 3 0 5 100 0 4 0 0 0 0 "},  // nearly stopped: the direction changes
        {Qt::Key_S, "SET GL M2 3 0 0 100 0 4 0 0 0 0 "},
        {Qt::Key_L, "SET GL M2 3 0 0 100 1 4 0 0 0 0 "},
        {Qt::Key_F1, "SET GL M2 3 0 0 100 1 4 1 0 0 0 "},
        {Qt::Key_F2, "SET GL M2 3 0 0 100 1 4 1 1 0 0 "},
        {Qt::Key_F3, "SET GL M2 3 0 0 100 1 4 1 1 1 0 "},
        {Qt::Key_F4, "SET GL M2 3 0 0 100 1 4 1 1 1 1 "},
        {Qt::Key_2, nullptr},
        {Qt::Key_Plus, nullptr},  // regulator 2 has no loco
        {Qt::Key_1, nullptr},
        {Qt::Key_F9, "SET POWER ON"},
        {Qt::Key_F11, "SET POWER OFF"},
    };
    std::vector<std::string> expected;
    for (const auto& [key, line] : drive) {
        QTest::keyClick(&form, key);
        if (line)
            expected.push_back(line);
    }
    EXPECT_EQ(linesAfter(logFile, 0, expected.size()), expected);
    EXPECT_EQ(slider->value(), 100);
    EXPECT_TRUE(form.action(QStringLiteral("ReglerWahl1"))->isChecked());
    QTest::keyClick(&form, Qt::Key_0);
    EXPECT_TRUE(form.action(QStringLiteral("ReglerWahl10"))->isChecked());
    QTest::keyClick(&form, Qt::Key_1);

    // The emergency stop by mouse: the layout's stop element, then "Voltage off".
    std::size_t from = settledCount(logFile);
    QTest::keyClick(&form, Qt::Key_Plus);
    QTest::keyClick(&form, Qt::Key_Plus);
    ASSERT_TRUE(session->stopAllLocos);
    session->stopAllLocos();
    form.action(QStringLiteral("Spannungaus1"))->trigger();
    std::size_t to = settledCount(logFile);
    const std::vector<std::string> byMouse = linesAfter(logFile, from, to - from);
    ASSERT_GE(byMouse.size(), 4u);
    EXPECT_EQ(byMouse.back(), "SET POWER OFF");
    EXPECT_EQ(Lok->get_speed(0), 0);

    // The same by key from a modal dialog whose text field has the keyboard.
    QTest::keyClick(&form, Qt::Key_Plus);
    QTest::keyClick(&form, Qt::Key_Plus);
    {
        QDialog modal(&form);
        modal.setWindowModality(Qt::ApplicationModal);
        auto* edit = new QLineEdit(&modal);
        (new QVBoxLayout(&modal))->addWidget(edit);
        modal.show();
        modal.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&modal));
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_Plus);  // typed into the field, not a throttle key
        EXPECT_EQ(edit->text(), "+");
        QTest::keyClick(edit, Qt::Key_F12);
        EXPECT_TRUE(modal.isVisible());
    }
    from = to;
    to = settledCount(logFile);
    EXPECT_EQ(linesAfter(logFile, from, to - from), byMouse);
    EXPECT_EQ(form.statusText(1), Lang->getmessage(838, form.Lang_id));

    // In another mode, with the keyboard in another window of the program: still stopped and off.
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    QTest::keyClick(&form, Qt::Key_Plus);
    form.Gleisbildentwerfen1Click();
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    from = settledCount(logFile);
    QTest::keyClick(&other, Qt::Key_F12);
    to = settledCount(logFile);
    const std::vector<std::string> designMode = linesAfter(logFile, from, to - from);
    ASSERT_FALSE(designMode.empty());
    EXPECT_EQ(designMode.front(), "SET GL M2 3 0 0 100 1 4 1 1 1 1 ");
    EXPECT_EQ(designMode.back(), "SET POWER OFF");
    EXPECT_EQ(Lok->get_speed(0), 0);

    EXPECT_EQ(d.count(QStringLiteral("message")) + d.count(QStringLiteral("error")), 0)
        << (d.shown.empty() ? "" : d.shown.front().text.toStdString());
    form.action(QStringLiteral("Hosttrennen1"))->trigger();
}
