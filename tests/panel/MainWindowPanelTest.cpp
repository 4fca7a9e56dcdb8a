#include "app/TMainForm.h"
#include "layout/C_Position.h"
#include "panel/widgets/PanelView.h"
#include "app/TrackPanelHost.h"
#include "base/ScriptedDialogs.h"
#include "ui/widgets/WidgetDialogs.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QMessageBox>
#include <QAbstractItemView>
#include <QTimer>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

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

namespace {
// Runs `step` on the modal dialog that the program has open, every 50 ms; `done` once it returned
// true. A dialog still open 15 s after the start is rejected, so the test never blocks.
class ModalDriver : public QObject {
public:
    explicit ModalDriver(std::function<bool(QWidget*)> step) : m_step(std::move(step))
    {
        m_timer.setInterval(50);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal)
                return;
            if (m_step(modal)) {
                done = true;
                return;
            }
            if (m_clock.elapsed() > 15000) {
                if (auto* dialog = qobject_cast<QDialog*>(modal))
                    dialog->reject();
            }
        });
        m_clock.start();
        m_timer.start();
    }
    bool done = false;

private:
    std::function<bool(QWidget*)> m_step;
    QTimer m_timer;
    QElapsedTimer m_clock;
};
}  // namespace

TEST(MainWindowPanel, TheRealOpenDialogListsTheDemoLayoutAndOpensIt)
{
    QTemporaryDir dir;
    const QString work = dir.path() + QLatin1Char('/');
    ASSERT_TRUE(testsupport::makeProgramFolder(work));
    QStringList listed, messages;
    QString title;
    bool picked = false;
    // Message boxes (the parameter file is made at the first start) are answered and noted.
    ModalDriver driver([&](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            messages << box->text();
            box->accept();
            return false;
        }
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (!dialog)
            return false;
        title = dialog->windowTitle();
        QAbstractItemView* list = nullptr;  // the list or the detail view, whichever is shown
        for (const char* name : {"listView", "treeView"})
            if (auto* v = dialog->findChild<QAbstractItemView*>(QLatin1String(name)); v && v->isVisible())
                list = v;
        if (!list || !list->model())
            return false;
        listed.clear();
        QModelIndex demo;
        const QModelIndex root = list->rootIndex();
        for (int r = 0; r < list->model()->rowCount(root); ++r) {
            const QModelIndex i = list->model()->index(r, 0, root);
            listed << i.data().toString();
            if (i.data().toString() == QLatin1String("Demo.pln"))
                demo = i;
        }
        if (!demo.isValid() || picked)
            return false;  // the folder may still be loading
        picked = true;
        list->scrollTo(demo);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(demo).center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(demo).center());
        return true;
    });
    WidgetDialogs dialogs;
    dialogs.nativeFileDialogs = false;
    TMainForm form(dialogs, work);
    dialogs.setParent(&form);
    auto* host = new TrackPanelHost(form);
    form.resize(1000, 720);
    form.show();
    messages.clear();
    form.action(QStringLiteral("Oeffnen1"))->trigger();
    EXPECT_TRUE(driver.done) << "the dialog listed: " << listed.join(QStringLiteral(", ")).toStdString();
    EXPECT_EQ(title, QStringLiteral("Gleisbild öffnen"));  // message 105 in the start language
    EXPECT_EQ(form.Gleisbildname, QStringLiteral("Demo.pln"));
    ASSERT_NE(Postable, nullptr);
    EXPECT_GT(Postable->getNumbofEntries(), 30);
    EXPECT_TRUE(form.Betrieb);
    EXPECT_TRUE(form.windowTitle().contains(QStringLiteral("Demo.pln")));
    for (const QString& m : messages)  // records the demo may hold twice for one cell are named
        EXPECT_TRUE(m.contains(QStringLiteral("Demo.pln"))) << m.toStdString();
    (void)host;
}
