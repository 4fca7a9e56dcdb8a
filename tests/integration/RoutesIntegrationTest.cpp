// Two routes recorded on the demo layout in the real main window, saved, the program "restarted"
// (a new main window with fresh singletons), the layout opened again and both routes set against
// srcp-sim: the simulator must log the accessory commands in recording order.

#include "panel/Cbahn.h"
#include "app/TMainForm.h"
#include "layout/C_Position.h"
#include "panel/C_fahr.h"
#include "panel/widgets/PanelView.h"
#include "app/RouteEditorHost.h"
#include "app/TrackPanelHost.h"
#include "session/ServerSession.h"
#include "app/SessionHost.h"
#include "base/ScriptedDialogs.h"

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "common/ProgramFolder.h"
#include "integration/SimFixture.h"

namespace {
// The simulator on free ports of 127.0.0.1 with a wire log.
struct Simulator {
    QProcess process;
    QString log;
    int commandPort = 0;

    explicit Simulator(const QString& logFile) : log(logFile)
    {
        process.start(QStringLiteral(SRCP_SIM_PATH),
                      {QStringLiteral("--protocol"), QStringLiteral("0.7.3"), QStringLiteral("--port"),
                       QStringLiteral("0"), QStringLiteral("--log"), logFile});
        if (!process.waitForReadyRead(10000))
            return;
        const QList<QByteArray> words = process.readLine().trimmed().split(' ');
        if (words.size() == 4 && words[0] == "PORT")
            commandPort = words[1].toInt();
    }
    ~Simulator()
    {
        process.terminate();
        if (!process.waitForFinished(5000))
            process.kill();
        process.waitForFinished(5000);
    }
    // The accessory lines received so far.
    QStringList gaLines() const
    {
        QFile f(log);
        QStringList lines;
        if (!f.open(QIODevice::ReadOnly))
            return lines;
        for (const QByteArray& line : f.readAll().split('\n')) {
            const int at = line.indexOf(" R SET GA ");
            if (at > 0)
                lines << QString::fromLatin1(line.mid(at + 3));
        }
        return lines;
    }
    QStringList waitForGaLines(int count) const
    {
        QElapsedTimer t;
        t.start();
        QStringList lines = gaLines();
        while (lines.size() < count && t.elapsed() < 5000) {
            QTest::qWait(20);  // the window sees the pulses confirmed meanwhile
            lines = gaLines();
        }
        QTest::qWait(50);
        return lines;
    }
};

// One program run: the main window with its track panel, route editor and server session, made as
// the program makes them.
struct Program {
    ScriptedDialogs dialogs;
    std::unique_ptr<TMainForm> form;
    TrackPanelHost* panel = nullptr;

    explicit Program(const QString& work)
    {
        form = std::make_unique<TMainForm>(dialogs, work);
        panel = new TrackPanelHost(*form);
        new RouteEditorHost(*form, *panel);
        new SessionHost(*form);
        form->resize(1000, 720);
        form->show();
    }
    void open(const QString& path)
    {
        dialogs.textAnswers.push_back(path);
        form->action(QStringLiteral("Oeffnen1"))->trigger();
    }
    void clickCell(int x, int y, Qt::MouseButton b = Qt::LeftButton)
    {
        QTest::mouseClick(panel->panelView(), b, {}, QPoint(x - form->Hpos_alt + 4, y - form->Vpos_alt + 4));
    }
    void press(const char* name)
    {
        auto* b = form->findChild<QPushButton*>(QString::fromLatin1(name));
        ASSERT_NE(b, nullptr) << name;
        b->click();
    }
    QString label(const char* name) const
    {
        auto* l = form->findChild<QLabel*>(QString::fromLatin1(name));
        return l ? l->text() : QStringLiteral("<none>");
    }
    QImage shown(int x, int y) const
    {
        return panel->panelView()->grab().toImage().convertToFormat(QImage::Format_RGB32).copy(
            x - form->Hpos_alt, y - form->Vpos_alt, 27, 27);
    }
};

// The station layout these tests record their routes on (the shipped demo comes with routes of
// its own).
bool addStationLayout(const QString& work)
{
    return QFile::copy(QStringLiteral(QUARN_SOURCE_DIR "tests/integration/Station.pln"),
                       work + QStringLiteral("Layouts/Station.pln"));
}

QImage icon(const QString& work, const char* name)
{
    return QImage(work + QStringLiteral("Data/") + QString::fromLatin1(name)).convertToFormat(QImage::Format_RGB32);
}
}  // namespace

TEST(RoutesIntegration, RecordSaveRestartAndSetAgainstTheSimulator)
{
    QTemporaryDir dir;
    const QString work = dir.path() + QLatin1Char('/');
    ASSERT_TRUE(testsupport::makeProgramFolder(work));
    ASSERT_TRUE(addStationLayout(work));
    const QString demo = work + QStringLiteral("Layouts/Station.pln");

    {
        Program run(work);
        run.open(demo);
        ASSERT_TRUE(run.form->Betrieb);
        ASSERT_EQ(run.dialogs.count(QStringLiteral("error")), 0);
        EXPECT_EQ(Fahr->getnumerofEntries(), 0);  // the station comes without a route file

        // Route 1: turnout (162, 162) to state 2, signal (297, 108) in state 1, on switch 66.
        run.form->action(QStringLiteral("Fahrstrassen1"))->trigger();
        ASSERT_TRUE(run.form->PageControl1->isVisible());
        EXPECT_EQ(run.label("LabelFahrerst2"), QStringLiteral("1"));
        run.clickCell(162, 162);
        run.clickCell(162, 162);
        run.clickCell(297, 108);
        EXPECT_EQ(run.label("LabelFahrerst4"), QStringLiteral("2"));
        EXPECT_EQ(run.shown(162, 162), icon(work, "Icon1412.bmp"));
        const int messages = run.dialogs.count(QStringLiteral("message"));
        run.press("ButtonFahrerst_speichern");  // not connected yet: message 121, still editing
        ASSERT_EQ(run.dialogs.count(QStringLiteral("message")), messages + 1);
        EXPECT_FALSE(run.dialogs.last(QStringLiteral("message"))->text.isEmpty());
        EXPECT_TRUE(run.form->Fahrstrasseerstellen);
        run.press("Buttonverbinden");
        run.clickCell(81, 27);
        run.press("ButtonFahrerst_speichern");
        EXPECT_TRUE(run.form->Betrieb);
        EXPECT_FALSE(run.form->PageControl1->isVisible());

        // Route 2: three-way turnout (729, 162) to state 3, turnout (675, 162) in state 1, on switch 88.
        run.form->action(QStringLiteral("Fahrstrassen1"))->trigger();
        EXPECT_EQ(run.label("LabelFahrerst2"), QStringLiteral("2"));
        for (int i = 0; i < 3; ++i)
            run.clickCell(729, 162);
        run.clickCell(675, 162);
        run.press("Buttonverbinden");
        run.clickCell(108, 27);
        if (qEnvironmentVariableIsSet("QUARN_SCREENSHOTS"))
            run.form->grab().save(QStringLiteral(QUARN_SOURCE_DIR "docs/screenshots/route-editor.png"));
        run.press("ButtonFahrerst_speichern");
        EXPECT_TRUE(run.form->Betrieb);
        EXPECT_EQ(run.dialogs.count(QStringLiteral("error")), 0);
    }
    ASSERT_TRUE(QFile::exists(work + QStringLiteral("Layouts/Station.dat")));
    EXPECT_EQ(Fahr, nullptr);

    // "Restart": a new window with new singletons opens the layout, connects to the simulator and
    // sets the routes from their switches.
    Simulator sim(dir.path() + QStringLiteral("/sim.log"));
    ASSERT_GT(sim.commandPort, 0) << "srcp-sim did not start";
    Program run(work);
    run.open(demo);
    ASSERT_EQ(run.dialogs.count(QStringLiteral("error")), 0);
    ASSERT_EQ(Fahr->getnumerofEntries(), 4);
    EXPECT_EQ(Fahr->Anz_strassen, 2);
    run.form->Iphostchar = QStringLiteral("127.0.0.1");
    run.form->Ipport = sim.commandPort;
    run.form->action(QStringLiteral("Hostverbinden1"))->trigger();
    ASSERT_TRUE(simfixture::sessionSettled(*run.form));
    ASSERT_TRUE(run.form->Session && run.form->Session->commandConnected());
    ASSERT_TRUE(sim.gaLines().isEmpty());

    run.clickCell(81, 27);  // sets route 1
    EXPECT_TRUE(run.form->Knopf[1]);
    const QStringList route1{QStringLiteral("SET GA M 5 1 1 -1"), QStringLiteral("SET GA M 5 1 0 -1"),
                             QStringLiteral("SET GA M 13 0 1 -1"), QStringLiteral("SET GA M 13 0 0 -1")};
    EXPECT_EQ(sim.waitForGaLines(4), route1);
    EXPECT_EQ(run.shown(162, 162), icon(work, "Icon1412.bmp"));
    EXPECT_EQ(run.shown(297, 108), icon(work, "Icon0111.bmp"));
    EXPECT_EQ(run.shown(81, 27), icon(work, "Icon6611.bmp"));
    EXPECT_EQ(Postable->getEntryByKor(162, 162)->Stellung, 2);  // where the route put it
    if (qEnvironmentVariableIsSet("QUARN_SCREENSHOTS"))
        run.form->grab().save(QStringLiteral(QUARN_SOURCE_DIR "docs/screenshots/route.png"));

    run.clickCell(108, 27);  // sets route 2
    const QStringList route2{QStringLiteral("SET GA M 18 0 1 -1"), QStringLiteral("SET GA M 18 0 0 -1"),
                             QStringLiteral("SET GA M 6 0 1 -1"), QStringLiteral("SET GA M 6 0 0 -1")};
    EXPECT_EQ(sim.waitForGaLines(8), route1 + route2);
    EXPECT_EQ(run.shown(729, 162), icon(work, "Icon1913.bmp"));
    EXPECT_EQ(run.shown(108, 27), icon(work, "Icon8811.bmp"));
    EXPECT_EQ(run.shown(81, 27), icon(work, "Icon6601.bmp"));  // shown released: released
    EXPECT_FALSE(run.form->Knopf[1]);

    run.clickCell(108, 27);  // releases route 2: no command
    EXPECT_FALSE(run.form->Knopf[2]);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(sim.gaLines().size(), 8);
    // unmarked, but where the route left it: releasing sends nothing, the railway keeps state 3
    EXPECT_EQ(run.shown(729, 162), icon(work, "Icon1903.bmp"));
    EXPECT_EQ(run.dialogs.count(QStringLiteral("error")), 0);
    run.form->action(QStringLiteral("Hosttrennen1"))->trigger();
}

TEST(RoutesIntegration, RouteFileFollowsTheLayoutAndADamagedOneLeavesTheLayoutOpen)
{
    QTemporaryDir dir;
    const QString work = dir.path() + QLatin1Char('/');
    ASSERT_TRUE(testsupport::makeProgramFolder(work));
    ASSERT_TRUE(addStationLayout(work));
    const QString layouts = work + QStringLiteral("Layouts/");
    {
        QFile damaged(layouts + QStringLiteral("Station.dat"));
        ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
        damaged.write("1\r\n1\r\n14\r\n162\r\n162\r\n17\r\n1\r\n");  // position 17
    }
    Program run(work);
    const int errors = run.dialogs.count(QStringLiteral("error"));
    run.open(layouts + QStringLiteral("Station.pln"));
    EXPECT_EQ(run.dialogs.count(QStringLiteral("error")), errors);
    ASSERT_NE(run.dialogs.last(QStringLiteral("message")), nullptr);
    EXPECT_TRUE(run.dialogs.last(QStringLiteral("message"))->text.contains(QStringLiteral("(lines 6):")))
        << run.dialogs.last(QStringLiteral("message"))->text.toStdString();
    EXPECT_TRUE(run.form->Betrieb);  // the layout is open and in operate mode
    EXPECT_EQ(Postable->getNumbofEntries(), 58);  // of records 20 and 55 for one cell the later one stays
    EXPECT_EQ(Fahr->getnumerofEntries(), 0);  // route 1 lost its position: left out whole
    EXPECT_TRUE(QFile::exists(layouts + QStringLiteral("Station.dat.bak")));

    // Leaving route mode through another mode closes the editor; the recording stays in memory.
    run.form->action(QStringLiteral("Fahrstrassen1"))->trigger();
    run.clickCell(162, 162);
    run.form->action(QStringLiteral("Text1"))->trigger();
    EXPECT_FALSE(run.form->PageControl1->isVisible());
    EXPECT_TRUE(run.form->action(QStringLiteral("Betrieb1"))->isEnabled());
    EXPECT_EQ(run.shown(162, 162), icon(work, "Icon1401.bmp"));
    EXPECT_EQ(run.form->Fahrstrasse, 2);  // the lost route's number is not handed out again
    EXPECT_EQ(Fahr->readgleisnr(2), 1);

    // "Save as": the routes go with the new name. "New": a new layout starts without routes, and
    // its route file is first written with the layout.
    run.dialogs.textAnswers.push_back(layouts + QStringLiteral("Copy.pln"));
    run.form->action(QStringLiteral("Speichernals1"))->trigger();
    QFile copy(layouts + QStringLiteral("Copy.dat"));
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), QByteArray("1\r\n2\r\n14\r\n162\r\n162\r\n11\r\n2\r\n"));
    run.dialogs.textAnswers.push_back(layouts + QStringLiteral("Fresh.pln"));
    run.form->action(QStringLiteral("Neu1"))->trigger();
    EXPECT_EQ(Fahr->getnumerofEntries(), 0);
    EXPECT_FALSE(QFile::exists(layouts + QStringLiteral("Fresh.dat")));
    run.form->action(QStringLiteral("Speichern1"))->trigger();
    QFile fresh(layouts + QStringLiteral("Fresh.dat"));
    ASSERT_TRUE(fresh.open(QIODevice::ReadOnly));
    EXPECT_EQ(fresh.readAll(), QByteArray("0\r\n0\r\n"));
}
