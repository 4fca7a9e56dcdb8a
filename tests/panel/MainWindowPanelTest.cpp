#include "app/TMainForm.h"
#include "layout/C_Position.h"
#include "panel/widgets/PanelView.h"
#include "app/TrackPanelHost.h"
#include "app/RouteEditorHost.h"
#include "panel/C_fahr.h"
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

namespace {
QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Whether every pixel of the picture has one colour: nothing is drawn on it.
bool plain(const QImage& picture)
{
    const QRgb first = picture.pixel(0, 0);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if (picture.pixel(x, y) != first)
                return false;
    return true;
}
}  // namespace

TEST(MainWindowPanel, EachLayoutKeepsItsOwnRoutesBesideItAndNewShowsAnEmptyPanel)
{
    QTemporaryDir dir;
    const QString work = dir.path() + QLatin1Char('/');
    ASSERT_TRUE(testsupport::makeProgramFolder(work));
    for (const char* folder : {"other", "copy", "foreign"})
        ASSERT_TRUE(QDir(dir.path()).mkdir(QLatin1String(folder)));
    const QString demoRoutes = work + QStringLiteral("Layouts/Demo.dat");
    const QByteArray demoRouteText = fileBytes(demoRoutes);
    ASSERT_FALSE(demoRouteText.isEmpty());
    ScriptedDialogs d;
    TMainForm form(d, work);
    auto* host = new TrackPanelHost(form);
    new RouteEditorHost(form, *host);
    form.resize(1000, 720);
    form.show();

    d.textAnswers.push_back(work + QStringLiteral("Layouts/Demo.pln"));
    form.action(QStringLiteral("Oeffnen1"))->trigger();
    ASSERT_NE(Fahr, nullptr);
    const int demoRouteElements = Fahr->getnumerofEntries();
    EXPECT_GT(demoRouteElements, 0);
    EXPECT_FALSE(plain(form.Quarn_bitmap));

    // "New" with the demo's name in another folder: the panel is empty, no route file changes.
    d.textAnswers.push_back(work + QStringLiteral("other/Demo.pln"));
    form.action(QStringLiteral("Neu1"))->trigger();
    EXPECT_EQ(Postable->getNumbofEntries(), 0);
    EXPECT_TRUE(plain(form.Quarn_bitmap)) << "the old picture stays over an empty table";
    EXPECT_TRUE(plain(host->panelView()->grab().toImage().convertToFormat(QImage::Format_RGB32)));
    EXPECT_EQ(Fahr->getnumerofEntries(), 0);
    EXPECT_EQ(fileBytes(demoRoutes), demoRouteText);
    EXPECT_FALSE(QFile::exists(work + QStringLiteral("other/Demo.dat")));

    // Saving writes the layout and its (empty) routes beside it; the demo's routes stay.
    QTest::mouseClick(host->paletteView(), Qt::LeftButton, {}, QPoint(1 + 28 * 13 + 4, 5));  // element 14
    QTest::mouseClick(host->panelView(), Qt::LeftButton, {}, QPoint(27 * 2 + 3, 27 * 2 + 3));
    form.action(QStringLiteral("Speichern1"))->trigger();
    EXPECT_TRUE(QFile::exists(work + QStringLiteral("other/Demo.pln")));
    EXPECT_EQ(fileBytes(work + QStringLiteral("other/Demo.dat")), QByteArray("0\r\n0\r\n"));
    EXPECT_EQ(fileBytes(demoRoutes), demoRouteText);

    // Two layouts of one name in two folders: each opens with its own routes.
    d.textAnswers.push_back(work + QStringLiteral("Layouts/Demo.pln"));
    form.action(QStringLiteral("Oeffnen1"))->trigger();
    EXPECT_EQ(Fahr->getnumerofEntries(), demoRouteElements);
    d.textAnswers.push_back(work + QStringLiteral("other/Demo.pln"));
    form.action(QStringLiteral("Oeffnen1"))->trigger();
    EXPECT_EQ(Fahr->getnumerofEntries(), 0);
    EXPECT_EQ(fileBytes(demoRoutes), demoRouteText);

    // A layout elsewhere whose route file was kept under Layouts/ (as the program did before): the
    // routes are read from there once and then kept beside the layout.
    ASSERT_TRUE(QFile::copy(work + QStringLiteral("Layouts/Demo.pln"), work + QStringLiteral("copy/Demo.pln")));
    d.shown.clear();
    d.textAnswers.push_back(work + QStringLiteral("copy/Demo.pln"));
    form.action(QStringLiteral("Oeffnen1"))->trigger();
    EXPECT_EQ(Fahr->getnumerofEntries(), demoRouteElements);
    EXPECT_EQ(fileBytes(work + QStringLiteral("copy/Demo.dat")), demoRouteText);
    ASSERT_EQ(d.count(QStringLiteral("message")), 1);
    EXPECT_TRUE(d.last(QStringLiteral("message"))->text.contains(QStringLiteral("are now kept beside the layout")));
    EXPECT_EQ(fileBytes(demoRoutes), demoRouteText);

    // Another layout of that name whose cells do not fit the routes: they are not taken.
    ASSERT_TRUE(QFile::copy(work + QStringLiteral("other/Demo.pln"), work + QStringLiteral("foreign/Demo.pln")));
    d.shown.clear();
    d.textAnswers.push_back(work + QStringLiteral("foreign/Demo.pln"));
    form.action(QStringLiteral("Oeffnen1"))->trigger();
    EXPECT_EQ(Fahr->getnumerofEntries(), 0);
    EXPECT_FALSE(QFile::exists(work + QStringLiteral("foreign/Demo.dat")));
    ASSERT_EQ(d.count(QStringLiteral("message")), 1);
    EXPECT_TRUE(d.last(QStringLiteral("message"))->text.contains(QStringLiteral("were not taken")));
    EXPECT_EQ(fileBytes(demoRoutes), demoRouteText);
}
