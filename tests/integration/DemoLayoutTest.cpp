// The shipped demo layout as a newcomer meets it: opened from the command line, connected to the
// simulator's demo train, feedback started: the train occupies detector after detector round the
// oval; each route switch sets its route.

#include "app/StartLayout.h"
#include "app/TMainForm.h"
#include "layout/C_Position.h"
#include "layout/LayoutFile.h"
#include "base/PositionTable.h"
#include "panel/C_fahr.h"
#include "panel/widgets/PanelView.h"
#include "app/RouteEditorHost.h"
#include "panel/RouteFile.h"
#include "app/TrackPanelHost.h"
#include "session/ServerSession.h"
#include "app/SessionHost.h"
#include "base/ScriptedDialogs.h"

#include "session/SimProcess.h"

#include <QAction>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "common/ProgramFolder.h"
#include "integration/SimFixture.h"
#include "common/WaitFor.h"

#include <map>
#include <set>

using testsupport::waitFor;

namespace {

QByteArray shipped(const char* name)
{
    QFile f(QStringLiteral(QUARN_SOURCE_DIR "data/Layouts/") + QLatin1String(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool occupied(const TMainForm& form, const tPosEntry& e)
{
    const QImage icon(form.WorkDir + QStringLiteral("Data/Icon") + QString::number(e.Enummer) + QStringLiteral("02.bmp"));
    return !icon.isNull() && form.Quarn_bitmap.copy(e.Posx, e.Posy, 27, 27).convertToFormat(QImage::Format_RGB32) ==
                                 icon.convertToFormat(QImage::Format_RGB32);
}

}  // namespace

// The simulator's demo train runs over contacts 1 to 8: every one has exactly one detector, and
// every route switch has a stored route over elements that are there.
TEST(DemoLayout, DetectorsCoverTheDemoTrainsContactsAndEveryRouteSwitchHasARoute)
{
    const LayoutContent demo = parseLayoutText(shipped("Demo.pln"));
    EXPECT_TRUE(demo.skipped.empty()) << describeSkipped(demo.skipped).toStdString();
    C_Position table;
    for (const auto& e : demo.elements)
        table.addEntry(std::make_unique<tPosEntry>(*e));
    ASSERT_GT(table.getNumbofEntries(), 0);
    std::map<int, int> detectors;  // contact -> number of detectors
    std::set<int> switchRoutes;
    for (int i = 0; i < table.getNumbofEntries(); ++i) {
        const tPosEntry* e = table.getEntryByNum(i);
        if (e->Enummer == 65 || e->Enummer == 87)
            ++detectors[(e->Decod1 - 1) * 16 + e->Daten1];
        if (e->Enummer == 66 || e->Enummer == 88) {
            EXPECT_GT(e->Fahrnr, 0) << "route switch at " << e->Posx << "," << e->Posy;
            switchRoutes.insert(e->Fahrnr);
        }
    }
    EXPECT_EQ(detectors, (std::map<int, int>{{1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}, {6, 1}, {7, 1}, {8, 1}}));

    const RouteFileContent routes = readRouteText(shipped("Demo.dat"));
    std::set<int> stored;
    for (const C_fahrelement& r : routes.elements) {
        stored.insert(r.Fahrnr);
        const tPosEntry* e = table.getEntryByKor(r.Xpos, r.Ypos);
        ASSERT_NE(e, nullptr) << "route " << r.Fahrnr << " at " << r.Xpos << "," << r.Ypos;
        EXPECT_EQ(e->Enummer, r.Gleiselementnr);
    }
    EXPECT_EQ(stored, switchRoutes);
    EXPECT_GE(routes.Anz_strassen, *stored.rbegin());
}

TEST(DemoLayout, NewcomerSeesTheDemoTrainRunAndSetsARoute)
{
    QTemporaryDir dir;
    const QString work = dir.path() + QLatin1Char('/');
    ASSERT_TRUE(testsupport::makeProgramFolder(work));
    const std::string logFile = (work + QStringLiteral("sim.log")).toStdString();
    // As scripts/run.sh starts it: the demo train runs by itself until a loco is driven.
    SimProcess sim(SRCP_SIM_PATH, "0.7.3", logFile, {"--demo", "--demo-step-ms", "75", "--demo-idle-speed", "50"});
    ASSERT_GT(sim.port(), 0);

    ScriptedDialogs scripted;
    StartLayoutDialogs d(scripted);
    TMainForm form(d, work);
    auto* panelHost = new TrackPanelHost(form);
    new RouteEditorHost(form, *panelHost);
    new SessionHost(form);
    form.resize(1100, 760);
    form.show();

    // "quarn Layouts/Demo.pln"
    d.answerNextOpen(parseStartOptions({"quarn", work + "Layouts/Demo.pln"}).layout);
    form.action(QStringLiteral("Oeffnen1"))->trigger();
    ASSERT_TRUE(form.Betrieb);
    ASSERT_EQ(scripted.count(QStringLiteral("error")), 0);
    EXPECT_GT(Fahr->getnumerofEntries(), 0) << "the routes come with the layout";

    std::map<int, tPosEntry*> detector;  // contact -> detector
    tPosEntry* routeSwitch = nullptr;
    for (int i = 0; i < Postable->getNumbofEntries(); ++i) {
        tPosEntry* e = Postable->getEntryByNum(i);
        if (e->Enummer == 65 || e->Enummer == 87)
            detector[(e->Decod1 - 1) * 16 + e->Daten1] = e;
        if (e->Enummer == 66)
            routeSwitch = e;
    }
    ASSERT_EQ(detector.size(), 8u);
    ASSERT_NE(routeSwitch, nullptr);

    form.Iphostchar = QStringLiteral("127.0.0.1");
    form.Ipport = sim.port();
    form.action(QStringLiteral("Hostverbinden1"))->trigger();
    ASSERT_TRUE(simfixture::sessionSettled(form));
    ASSERT_TRUE(form.Session->commandConnected());
    form.action(QStringLiteral("Abfragestarten1"))->trigger();
    ASSERT_TRUE(simfixture::sessionSettled(form));
    ASSERT_TRUE(form.serverSession()->pollRunning());

    // Round the oval: every detector lights in turn.
    std::set<int> seen;
    ASSERT_TRUE(waitFor(
        [&] {
            for (auto& [contact, e] : detector)
                if (occupied(form, *e))
                    seen.insert(contact);
            return seen.size() == 8;
        },
        15000))
        << seen.size() << " detectors seen occupied";

    // Route 1 from its switch: no "must be assigned" message.
    const int messages = scripted.count(QStringLiteral("message"));
    QTest::mouseClick(panelHost->panelView(), Qt::LeftButton, {},
                      QPoint(routeSwitch->Posx - form.Hpos_alt + 5, routeSwitch->Posy - form.Vpos_alt + 5));
    EXPECT_TRUE(form.Knopf[routeSwitch->Fahrnr]);
    EXPECT_EQ(scripted.count(QStringLiteral("message")), messages);

    form.action(QStringLiteral("Abfragebeenden1"))->trigger();
    form.action(QStringLiteral("Hosttrennen1"))->trigger();
    EXPECT_EQ(scripted.count(QStringLiteral("error")), 0);
}
