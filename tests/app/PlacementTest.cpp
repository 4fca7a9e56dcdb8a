// Where the windows open: inside the free area of their screen, at the scale factor the test runs
// with (the suite runs as it is and with QT_SCALE_FACTOR=1.5 and 2), clear of the main window's
// menus, sized to their content in every language: no text cut, no scroll bar where the screen has
// room.

#include "app/PhoneThrottleHost.h"
#include "app/ProgramHost.h"
#include "app/ProgramWindows.h"
#include "app/TMainForm.h"
#include "app/TSetupForm.h"
#include "app/TrackPanelHost.h"
#include "app/WindowPlacement.h"
#include "base/C_language.h"
#include "base/ScriptedDialogs.h"
#include "common/ProgramFolder.h"
#include "common/WindowFit.h"
#include "loco/widgets/TProgramForm.h"
#include "panel/widgets/PanelView.h"
#include "ui/widgets/TAssistForm.h"
#include "ui/widgets/TDebugForm.h"
#include "ui/widgets/TInfoForm.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>

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

// Zoomed out until the whole picture fits, the panel stays in the middle of the window's room and
// shows no scroll bar; zoomed in again, the scroll bars come back.
TEST_F(Placement, ZoomedOutPanelStaysInTheMiddle)
{
    auto* host = form->findChild<TrackPanelHost*>();
    ASSERT_NE(host, nullptr);
    PanelView* view = host->panelView();
    ASSERT_NE(view, nullptr);
    auto* h = form->findChild<QScrollBar*>(QStringLiteral("HScrollBar"));
    auto* v = form->findChild<QScrollBar*>(QStringLiteral("VScrollBar"));
    ASSERT_TRUE(h && v);
    view->setZoomPercent(25);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    const QWidget* room = view->parentWidget();
    const QRect at = view->geometry();
    EXPECT_EQ(at.size(), view->maximumSize());  // the whole picture
    EXPECT_LE(std::abs(at.left() - (room->width() - 1 - at.right())), 1)
        << at.left() << " left, " << room->width() - 1 - at.right() << " right of " << room->width();
    EXPECT_LE(std::abs(at.top() - (room->height() - 1 - at.bottom())), 1)
        << at.top() << " above, " << room->height() - 1 - at.bottom() << " below of " << room->height();
    EXPECT_FALSE(h->isVisible());
    EXPECT_FALSE(v->isVisible());
    view->setZoomPercent(400);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_TRUE(h->isVisible());
    EXPECT_TRUE(v->isVisible());
}

// Every window and dialog of the program, as main() builds it, opened in each of the seven
// languages: whole inside the screen's free area (below the main window's menus where it fits),
// every text whole, and scroll bars only where the screen is too small for the window.
TEST(PlacementOfAll, EveryWindowFitsItsContentInEveryLanguage)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString work = dir.path() + "/";
    ASSERT_TRUE(testsupport::makeProgramFolder(work));
    ScriptedDialogs dialogs;
    TMainForm form(dialogs, work);
    ProgramWindows windows(form, dialogs);
    form.Showassist = 0;
    form.Iphostchar = QStringLiteral("127.0.0.1");
    form.Ipport = 1;  // nothing listens there: the decoder window's session fails at once
    form.SrcpVer = 80;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    auto* program = form.findChild<ProgramHost*>();
    ASSERT_NE(program, nullptr);
    program->open();  // the decoder window exists once it has been opened
    ASSERT_NE(program->window(), nullptr);
    program->window()->hide();

    QList<QWidget*> all;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != &form && !qobject_cast<QMenu*>(w) && !w->inherits("QTipLabel") && w->windowType() != Qt::Popup &&
            w->windowType() != Qt::ToolTip)
            all.push_back(w);
    QStringList names;
    for (QWidget* w : all)
        names << testsupport::nameOf(w);
    // The windows that must be there (a missing one would pass unseen).
    for (const char* must : {"SetupForm", "InfoForm", "DebugForm", "ProgramForm", "PhoneClientsWindow", "TimeForm"})
        EXPECT_TRUE(names.contains(QLatin1String(must))) << must << " not among " << names.join(", ").toStdString();

    QStringList faults;
    for (int lang = 1; lang <= 7; ++lang) {
        form.Lang_id = lang;
        form.applyLanguage();
        QCoreApplication::processEvents();  // the menu bar takes its rows for the new captions
        QCoreApplication::processEvents();
        for (QWidget* w : all) {
            w->show();
            const QRect area = w->screen()->availableGeometry();
            // The window settles (it resizes after the show, its scroll bars follow); a fault that
            // is still there after half a second is one the user sees.
            QStringList found;
            for (int tries = 0; tries < 10; ++tries) {
                QTest::qWait(tries == 0 ? 30 : 50);
                found = testsupport::outsideFreeArea(w, area, &form) + testsupport::cutTexts(w) +
                        testsupport::needlessScrollBars(w, area);
                if (found.isEmpty())
                    break;
            }
            const QString in = QStringLiteral(" [language %1, scale %2]").arg(lang).arg(w->devicePixelRatioF());
            for (const QString& f : found)
                faults << f + in;
            w->hide();
        }
        for (const QString& f : testsupport::cutTexts(&form))
            faults << f + QStringLiteral(" [language %1]").arg(lang);
    }
    faults.removeDuplicates();
    EXPECT_TRUE(faults.isEmpty()) << faults.join(QLatin1Char('\n')).toStdString();
}
