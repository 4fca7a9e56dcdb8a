// Where the windows open: inside the free area of their screen, at the scale factor the test runs
// with (the suite runs once as it is and once with QT_SCALE_FACTOR=2), and the debug window clear
// of the main window's menus.

#include "app/TMainForm.h"
#include "app/TSetupForm.h"
#include "app/TrackPanelHost.h"
#include "app/WindowPlacement.h"
#include "base/C_language.h"
#include "base/ScriptedDialogs.h"
#include "common/ProgramFolder.h"
#include "ui/widgets/TAssistForm.h"
#include "ui/widgets/TDebugForm.h"
#include "ui/widgets/TInfoForm.h"

#include <QAction>
#include <QDialog>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct Placement : ::testing::Test {
    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    std::unique_ptr<TMainForm> form;

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        const QString work = dir.path() + "/";
        ASSERT_TRUE(testsupport::makeProgramFolder(work));
        form = std::make_unique<TMainForm>(dialogs, work);
        new TrackPanelHost(*form);
        form->Showassist = 0;
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }

    static QRect area(const QWidget& w) { return w.screen()->availableGeometry(); }
    static std::string describe(const QWidget& w)
    {
        const QRect r = w.frameGeometry();
        const QRect a = area(w);
        return w.objectName().toStdString() + " at " + std::to_string(r.x()) + "," + std::to_string(r.y()) + " " +
               std::to_string(r.width()) + "x" + std::to_string(r.height()) + " on " + std::to_string(a.width()) +
               "x" + std::to_string(a.height()) + " (scale " + std::to_string(w.devicePixelRatioF()) + ")";
    }
};

}  // namespace

TEST_F(Placement, EveryWindowOpensInsideItsScreen)
{
    RecordProperty("main_window", describe(*form));
    EXPECT_TRUE(area(*form).contains(form->frameGeometry())) << describe(*form);

    TAssistForm assistant([](int id) { return Lang->getmessage(id, 2); }, [](const QString&) { return nullptr; },
                          dialogs);
    placeAssistant(assistant, *form);
    assistant.show();
    EXPECT_TRUE(area(assistant).contains(assistant.frameGeometry())) << describe(assistant);

    TInfoForm info(form.get());
    info.show();
    EXPECT_TRUE(area(info).contains(info.frameGeometry())) << describe(info);
    info.hide();

    // A window asked to open past the screen's corner, and one larger than the screen.
    QWidget stray;
    stray.setObjectName("stray");
    stray.resize(200, 150);
    stray.move(area(*form).bottomRight() + QPoint(300, 300));
    stray.show();
    EXPECT_TRUE(area(stray).contains(stray.frameGeometry())) << describe(stray);
    QDialog huge(form.get());
    huge.setObjectName("huge");
    huge.resize(area(*form).size() * 2);
    huge.show();
    EXPECT_TRUE(area(huge).contains(huge.frameGeometry())) << describe(huge);
}

// The settings dialog in every language (the longest translations are the widest): inside the screen
// with its buttons on it; where the screen is too small for a page, the page scrolls.
TEST_F(Placement, SettingsDialogAndItsButtonsFitInEveryLanguage)
{
    TSetupForm setup(form.get());
    for (int lang = 1; lang <= 7; ++lang) {
        form->Lang_id = lang;
        form->applyLanguage();
        setup.adjustSize();
        setup.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&setup));
        const std::string where = "language " + std::to_string(lang) + ": " + describe(setup);
        EXPECT_TRUE(area(setup).contains(setup.frameGeometry())) << where;
        for (const QPushButton* b : {setup.Ok_button, setup.Cancel_button}) {
            const QRect r(b->mapToGlobal(QPoint(0, 0)), b->size());
            EXPECT_TRUE(b->isVisible() && area(setup).contains(r)) << b->text().toStdString() << ", " << where;
        }
        setup.hide();
    }
}

TEST_F(Placement, DebugWindowOpensBesideTheMenus)
{
    TDebugForm debug;
    placeDebugWindow(debug, *form);
    debug.show();
    EXPECT_TRUE(area(debug).contains(debug.frameGeometry())) << describe(debug);
    const int menusBottom = form->menuBar()->mapToGlobal(QPoint(0, form->menuBar()->height())).y();
    EXPECT_GE(debug.frameGeometry().top(), menusBottom) << describe(debug);
    EXPECT_GT(debug.height(), 50) << describe(debug);
}

// At every scale factor and in every language, with the debug menu shown too, each menu has its own
// place on the menu bar (which wraps into a second row where the window is too narrow): none is
// pushed into an overflow button.
TEST_F(Placement, EveryMenuHasItsPlaceOnTheMenuBar)
{
    form->setDebug(true);
    QMenuBar* bar = form->menuBar();
    for (int lang = 1; lang <= 7; ++lang) {
        SCOPED_TRACE(lang);
        form->Lang_id = lang;
        form->applyLanguage();
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        QList<QMenuBar*> rows{bar};
        rows += bar->findChildren<QMenuBar*>();
        int shown = 0;
        for (QMenuBar* row : rows) {
            const auto* more = row->findChild<QWidget*>(QStringLiteral("qt_menubar_ext_button"));
            EXPECT_TRUE(!more || !more->isVisible()) << describe(*form);
            for (QAction* a : row->actions()) {
                if (!a->isVisible())
                    continue;
                ++shown;
                const QRect at = row->actionGeometry(a);
                EXPECT_TRUE(row->isVisible()) << a->text().toStdString();
                EXPECT_FALSE(at.isEmpty()) << a->text().toStdString();
                EXPECT_TRUE(row->rect().contains(at)) << a->text().toStdString() << " at " << at.x() << "+"
                                                      << at.width() << " on a row " << row->width() << " wide";
                // and the row is inside the bar, above the window's panels
                EXPECT_TRUE(bar->rect().contains(QRect(row->mapTo(bar, at.topLeft()), at.size())))
                    << a->text().toStdString();
            }
        }
        EXPECT_EQ(shown, 9);  // "&File" .. "&Help" and "Debug"
    }
}
