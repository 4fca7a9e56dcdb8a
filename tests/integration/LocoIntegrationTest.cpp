// Loco control in the main window against the project's SRCP simulator in 0.7.3 mode: drive
// regulator 1, centre-zero operation, direction and function clicks, the loco setup dialog and
// stop-all, each checked in the simulator's log of received lines.

#include "base/ParameterFile.h"
#include "app/TMainForm.h"
#include "loco/widgets/ClickImage.h"
#include "app/LocoControlHost.h"
#include "loco/widgets/ReglerPanel.h"
#include "loco/ThrottleModel.h"
#include "loco/widgets/TLocoForm.h"
#include "base/TLok.h"
#include "app/TrackPanelHost.h"
#include "session/ServerSession.h"
#include "app/SessionHost.h"
#include "base/ScriptedDialogs.h"

#include "session/SimProcess.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include "common/ProgramFolder.h"
#include "integration/SimFixture.h"

#include <chrono>
#include <functional>
#include <regex>
#include <thread>

using namespace std::chrono;

namespace {

// Loco lines the simulator received, in order, as they arrived (line end removed).
std::vector<std::string> received(const std::string& logFile)
{
    std::vector<std::string> out;
    static const std::regex line(R"(^\d+\.\d+ \d+ R (SET GL .*)$)");
    for (const std::string& l : SimProcess::readLines(logFile)) {
        std::smatch m;
        if (std::regex_match(l, m, line))
            out.push_back(m[1].str());
    }
    return out;
}

// Waits until the simulator has logged `count` loco lines; returns them.
std::vector<std::string> waitForLines(const std::string& logFile, std::size_t count)
{
    const auto end = steady_clock::now() + seconds(5);
    std::vector<std::string> lines;
    while ((lines = received(logFile)).size() < count && steady_clock::now() < end) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(milliseconds(5));
    }
    return lines;
}

std::vector<std::string> tail(const std::vector<std::string>& all, std::size_t from)
{
    return from >= all.size() ? std::vector<std::string>{} : std::vector<std::string>(all.begin() + from, all.end());
}

}  // namespace

TEST(LocoIntegration, RegulatorsAndSetupDialogSendTheLocoLinesToTheSimulator)
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
    auto* sessionHost = new SessionHost(form);
    auto* host = new LocoControlHost(form);
    ReglerPanel* panel = host->panel();
    ASSERT_NE(panel, nullptr);
    TLocoForm* dialog = host->locoForm();
    dialog->showModal = [dialog] { dialog->show(); };
    form.resize(1000, 720);
    form.show();
    d.shown.clear();  // the fresh start's parameter-file message

    form.Iphostchar = QStringLiteral("127.0.0.1");
    form.Ipport = sim.port();
    form.action(QStringLiteral("Hostverbinden1"))->trigger();
    ASSERT_TRUE(simfixture::sessionSettled(form));
    ASSERT_TRUE(form.Session->commandConnected());

    // Operate mode: regulator 1 drives the default "M1" loco at address 3.
    form.Betrieb1Click();
    ASSERT_TRUE(form.Regler_panel->isVisible());
    EXPECT_EQ(panel->addressLabel(0)->text(), "3");
    QScrollBar* s1 = panel->findChild<QScrollBar*>(QStringLiteral("ScrollBar1"));
    ASSERT_EQ(s1, panel->scrollBar(0));
    s1->setValue(40);
    s1->setValue(100);
    auto lines = waitForLines(logFile, 2);
    EXPECT_EQ(lines, (std::vector<std::string>{"SET GL M1 3 -1 60 100 0 0 ", "SET GL M1 3 -1 0 100 0 0 "}));
    EXPECT_EQ(panel->loknameLabel()->text(), "Lok");

    // Direction and F0 near standstill: "M1" flips -1 to 1, then F0 on and off again (the wire
    // follows the picture from the first click).
    QTest::mouseClick(panel->speedButton(0), Qt::LeftButton);
    QTest::mouseClick(panel->funcPic(0, 0), Qt::LeftButton);
    QTest::mouseClick(panel->funcPic(0, 0), Qt::LeftButton);
    lines = waitForLines(logFile, 5);
    EXPECT_EQ(tail(lines, 2), (std::vector<std::string>{"SET GL M1 3 1 0 100 0 0 ", "SET GL M1 3 1 0 100 1 0 ",
                                                         "SET GL M1 3 1 0 100 0 0 "}));

    // Centre-zero on regulator 1: the middle is standstill, the top full speed in direction 0.
    QTest::mouseClick(panel->checkBox(0), Qt::LeftButton);
    EXPECT_EQ(s1->value(), 50);
    s1->setValue(0);
    s1->setValue(100);
    lines = waitForLines(logFile, 8);
    EXPECT_EQ(tail(lines, 5), (std::vector<std::string>{"SET GL M1 3 0 0 100 0 0 ", "SET GL M1 3 0 100 100 0 0 ",
                                                         "SET GL M1 3 1 100 100 0 0 "}));

    // Loco setup: regulator 2 becomes an "M2" loco with horn on F2.
    form.Softregler1Click();
    QTest::mouseClick(panel->speedButton(1), Qt::LeftButton);
    ASSERT_TRUE(dialog->isVisible());
    EXPECT_EQ(form.Regler_nr, 1);
    dialog->findChild<QRadioButton*>(QStringLiteral("RadioGroup2_item1"))->click();
    auto* address = dialog->findChild<QLineEdit*>(QStringLiteral("Adresse_edit"));
    address->selectAll();
    QTest::keyClicks(address, QStringLiteral("5"));
    QTest::mouseClick(dialog->findChild<ClickImage*>(QStringLiteral("Func_image2")), Qt::LeftButton);
    QTest::mouseClick(dialog->findChild<ClickImage*>(QStringLiteral("Func2")), Qt::LeftButton);
    dialog->findChild<QPushButton*>(QStringLiteral("Fertig_button"))->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(Lok->get_protocol(1), "M2");
    EXPECT_EQ(Lok->get_addr(1), 5);
    EXPECT_EQ(Lok->get_F(1)[2], 2);
    EXPECT_EQ(panel->addressLabel(1)->text(), "5");
    TLok reread;
    ParameterFile::load(ParameterFile::filePath(form), form, reread);
    EXPECT_EQ(reread.get_protocol(1), "M2");
    EXPECT_EQ(reread.get_addr(1), 5);
    const std::size_t beforeDrive = received(logFile).size();
    EXPECT_EQ(beforeDrive, 8u) << "loco setup mode sends nothing";

    // Drive it: direction at standstill, horn on, then stop all.
    form.Betrieb1Click();
    QTest::mouseClick(panel->speedButton(1), Qt::LeftButton);  // direction 1 -> 0
    QTest::mouseClick(panel->funcPic(1, 2), Qt::LeftButton);   // horn on
    panel->scrollBar(1)->setValue(30);
    lines = waitForLines(logFile, beforeDrive + 3);
    EXPECT_EQ(tail(lines, beforeDrive),
              (std::vector<std::string>{"SET GL M2 5 0 0 100 0 4 0 0 0 0 ", "SET GL M2 5 0 0 100 0 4 0 1 0 0 ",
                                        "SET GL M2 5 0 70 100 0 4 0 1 0 0 "}));
    ASSERT_TRUE(sessionHost->stopAllLocos);  // what the emergency stop element calls
    sessionHost->stopAllLocos();
    EXPECT_EQ(panel->scrollBar(0)->value(), 50) << "centre-zero regulator stops in the middle";
    EXPECT_EQ(panel->scrollBar(1)->value(), 100);
    lines = waitForLines(logFile, beforeDrive + 3 + 30);
    bool loco2Stopped = false;
    for (const std::string& l : tail(lines, beforeDrive + 3)) {
        EXPECT_EQ(l.find(" 100 100 "), std::string::npos) << l;
        loco2Stopped = loco2Stopped || l == "SET GL M2 5 0 0 100 0 4 0 1 0 0 ";
    }
    EXPECT_TRUE(loco2Stopped);
    EXPECT_EQ(Lok->get_direction(1), 0) << "two reversals: the former direction";

    if (const QByteArray shots = qgetenv("QUARN_SCREENSHOT_DIR"); !shots.isEmpty()) {
        panel->grab().save(QString::fromLocal8Bit(shots) + QStringLiteral("/throttle.png"));
        form.grab().save(QString::fromLocal8Bit(shots) + QStringLiteral("/main-throttle.png"));
        form.Softregler1Click();
        QTest::mouseClick(panel->speedButton(1), Qt::LeftButton);
        dialog->grab().save(QString::fromLocal8Bit(shots) + QStringLiteral("/loco-dialog.png"));
        dialog->reject();
    }

    form.action(QStringLiteral("Hosttrennen1"))->trigger();
    // Not connected: commands are dropped silently, the record keeps the values.
    form.Betrieb1Click();
    const std::size_t afterDisconnect = received(logFile).size();
    panel->scrollBar(1)->setValue(0);
    EXPECT_EQ(Lok->get_speed(1), 100);
    std::this_thread::sleep_for(milliseconds(100));
    EXPECT_EQ(received(logFile).size(), afterDisconnect);
    EXPECT_EQ(d.count(QStringLiteral("message")) + d.count(QStringLiteral("error")), 0)
        << (d.shown.empty() ? "" : d.shown.front().text.toStdString());
}
