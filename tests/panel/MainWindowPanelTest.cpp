#include "app/TMainForm.h"
#include "layout/C_Position.h"
#include "panel/PanelView.h"
#include "panel/TrackPanelHost.h"
#include "ui/ScriptedDialogs.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "common/ProgramFolder.h"

TEST(MainWindowPanel, OpenTheDemoLayoutFromTheFileMenu)
{
    QTemporaryDir dir;
    const QString work = dir.path() + QLatin1Char('/');
    ASSERT_TRUE(testsupport::makeProgramFolder(work));
    ScriptedDialogs d;
    TMainForm form(d, work);
    auto* host = new TrackPanelHost(form);
    form.resize(1000, 720);
    form.show();
    ASSERT_NE(host->panelView(), nullptr);
    EXPECT_EQ(host->panelView()->objectName(), QStringLiteral("Quarn"));
    EXPECT_TRUE(form.El_geladen);

    d.textAnswers.push_back(work + QStringLiteral("Layouts/Demo.pln"));
    form.action(QStringLiteral("Oeffnen1"))->trigger();
    EXPECT_EQ(d.count(QStringLiteral("error")), 0);
    ASSERT_NE(Postable, nullptr);
    EXPECT_GT(Postable->getNumbofEntries(), 30);
    EXPECT_TRUE(form.Betrieb);
    EXPECT_TRUE(form.action(QStringLiteral("Gleisbildentwerfen1"))->isEnabled());
    EXPECT_FALSE(form.menu(QStringLiteral("Bildschirm1"))->isEnabled());
    EXPECT_EQ(form.Gleisbildname, QStringLiteral("Demo.pln"));

    form.action(QStringLiteral("Gleisbildentwerfen1"))->trigger();
    EXPECT_TRUE(form.Quarnerstellen);
    EXPECT_TRUE(form.Design_Panel->isVisible());
    QTest::mouseClick(host->paletteView(), Qt::LeftButton, {}, QPoint(1 + 28 * 13 + 4, 5));  // element 14
    QTest::mouseClick(host->panelView(), Qt::LeftButton, {}, QPoint(27 * 10 + 3, 27 * 10 + 3));
    EXPECT_EQ(Postable->getEntryByKor(270, 270)->Enummer, 14);
    d.textAnswers.push_back(work + QStringLiteral("Layouts/Copy.pln"));
    form.action(QStringLiteral("Speichernals1"))->trigger();
    EXPECT_TRUE(QFile::exists(work + QStringLiteral("Layouts/Copy.pln")));
    if (qEnvironmentVariableIsSet("QUARN_SCREENSHOTS"))
        form.grab().save(QStringLiteral(QUARN_SOURCE_DIR "docs/screenshots/main-window.png"));
}
