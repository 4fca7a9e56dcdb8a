// Undo and redo through the real window: mouse edits on the panel widget, the "Edit" menu's
// shortcuts, the unsaved-changes mark in the title and the question before "Open", "New" and
// closing the program.
#include "app/TMainForm.h"
#include "layout/C_Element.h"
#include "layout/C_Position.h"
#include "layout/LayoutFile.h"
#include "panel/LayoutHistory.h"
#include "panel/widgets/PanelView.h"
#include "app/TrackPanelHost.h"
#include "base/ScriptedDialogs.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>

#include "common/ProgramFolder.h"

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Window {
    QTemporaryDir dir;
    QString work = dir.path() + QLatin1Char('/');
    ScriptedDialogs d;
    std::optional<TMainForm> form;
    TrackPanelHost* host = nullptr;

    Window()
    {
        EXPECT_TRUE(testsupport::makeProgramFolder(work));
        form.emplace(d, work);
        host = new TrackPanelHost(*form);  // owned by the window
        form->resize(1000, 760);
        form->show();
        form->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&*form));
    }
    QWidget* panel() const { return host->panelView(); }
    QByteArray layoutText() const { return writeLayoutText(*Postable, form->Textliste); }
    void trigger(const char* name) { form->action(QString::fromLatin1(name))->trigger(); }
    // Opens `path` with "Open" as the user would, the dialog answered by the script.
    void open(const QString& path)
    {
        d.textAnswers.push_back(path);
        trigger("Oeffnen1");
    }
    // A free cell of the layout at the panel's scroll position 0, seen on the panel, with `w` x `h`
    // free cells from it to the right and down.
    QPoint freeBlock(int w, int h) const
    {
        const int cols = std::min(panel()->width(), 980) / 27, rows = std::min(panel()->height(), 680) / 27;
        for (int y = rows - h; y >= 0; --y)
            for (int x = cols - w; x >= 0; --x) {
                bool free = true;
                for (int dy = 0; dy < h && free; ++dy)
                    for (int dx = 0; dx < w && free; ++dx)
                        free = !Postable->getEntryByKor((x + dx) * 27, (y + dy) * 27);
                if (free)
                    return QPoint(x * 27, y * 27);
            }
        return QPoint(-1, -1);
    }
    void choosePalette(int n)
    {
        QTest::mouseClick(host->paletteView(), Qt::LeftButton, {},
                          QPoint(Element->get_posx(n - 1) + 4, Element->get_posy(n - 1) + 4));
    }
    static QPoint mid(QPoint cell) { return cell + QPoint(13, 13); }
};

}  // namespace

TEST(UndoRedo, MouseEditsOnThePanelUndoToTheOpenedFileAndRedoToTheEditedOneByteForByte)
{
    Window w;
    // A layout as the program writes it.
    w.open(w.work + QStringLiteral("Layouts/Demo.pln"));
    w.d.textAnswers.push_back(w.work + QStringLiteral("Layouts/Start.pln"));
    w.trigger("Speichernals1");
    w.open(w.work + QStringLiteral("Layouts/Start.pln"));
    w.trigger("Speichern1");  // element numbers (CompID) are the record numbers from here on
    w.open(w.work + QStringLiteral("Layouts/Start.pln"));
    const QByteArray opened = fileBytes(w.work + QStringLiteral("Layouts/Start.pln"));
    ASSERT_FALSE(opened.isEmpty());
    ASSERT_EQ(w.layoutText(), opened);
    const QImage openedPicture = w.form->Quarn_bitmap;
    EXPECT_FALSE(w.form->isWindowModified());
    EXPECT_TRUE(w.form->windowTitle().endsWith(QStringLiteral("Layout: Start.pln[*]")));
    QAction* undo = w.form->action(QStringLiteral("Rueckgaengig1"));
    QAction* redo = w.form->action(QStringLiteral("Wiederholen1"));
    ASSERT_TRUE(undo && redo);
    EXPECT_FALSE(undo->isEnabled());

    w.trigger("Gleisbildentwerfen1");
    ASSERT_TRUE(w.form->Quarnerstellen);
    const QPoint block = w.freeBlock(4, 3);
    ASSERT_GE(block.x(), 0) << "no free room on the panel";
    const QPoint a = block, b = block + QPoint(27, 0);
    std::vector<QByteArray> states{opened};

    // 1, 2: place two elements.
    w.choosePalette(14);
    QTest::mouseClick(w.panel(), Qt::LeftButton, {}, Window::mid(a));
    w.choosePalette(19);
    QTest::mouseClick(w.panel(), Qt::LeftButton, {}, Window::mid(b));
    ASSERT_EQ(Postable->getEntryByKor(a.x(), a.y())->Enummer, 14);
    ASSERT_EQ(Postable->getEntryByKor(b.x(), b.y())->Enummer, 19);
    EXPECT_TRUE(w.form->isWindowModified());
    states.push_back(w.layoutText());  // after 2 steps; the first is checked on the way back
    // 3: drag the first one down a cell, with nothing chosen in the palette.
    QTest::mouseClick(w.host->paletteView(), Qt::RightButton, {}, QPoint(5, 5));
    QTest::mousePress(w.panel(), Qt::LeftButton, {}, Window::mid(a));
    QTest::mouseMove(w.panel(), Window::mid(a + QPoint(0, 27)));
    QTest::mouseRelease(w.panel(), Qt::LeftButton, {}, Window::mid(a + QPoint(0, 27)));
    const QPoint a2 = a + QPoint(0, 27);
    ASSERT_EQ(Postable->getEntryByKor(a.x(), a.y()), nullptr);
    ASSERT_EQ(Postable->getEntryByKor(a2.x(), a2.y())->Enummer, 14);
    states.push_back(w.layoutText());
    // 4: a group move of both one cell to the right.
    QTest::mouseClick(w.panel(), Qt::LeftButton, Qt::ShiftModifier, Window::mid(a2));
    QTest::mouseClick(w.panel(), Qt::LeftButton, Qt::ShiftModifier, Window::mid(b));
    QTest::mousePress(w.panel(), Qt::LeftButton, Qt::ShiftModifier, Window::mid(b));
    QTest::mouseEvent(QTest::MouseMove, w.panel(), Qt::NoButton, Qt::ShiftModifier, Window::mid(b + QPoint(27, 0)));
    QTest::mouseRelease(w.panel(), Qt::LeftButton, Qt::ShiftModifier, Window::mid(b + QPoint(27, 0)));
    ASSERT_EQ(Postable->getEntryByKor(a2.x() + 27, a2.y())->Enummer, 14);
    ASSERT_EQ(Postable->getEntryByKor(b.x() + 27, b.y())->Enummer, 19);
    states.push_back(w.layoutText());
    // 5: delete an element of the opened layout with the right button.
    const tPosEntry* first = Postable->getEntryByNum(0);
    const QPoint victim(first->Posx, first->Posy);
    QTest::mouseClick(w.panel(), Qt::LeftButton, {}, Window::mid(a));  // ends the group
    QTest::mouseClick(w.panel(), Qt::RightButton, {}, Window::mid(victim));
    ASSERT_EQ(Postable->getEntryByKor(victim.x(), victim.y()), nullptr);
    states.push_back(w.layoutText());
    EXPECT_EQ(w.host->history()->stack().count(), 5);
    const QByteArray edited = w.layoutText();
    const QImage editedPicture = w.form->Quarn_bitmap;

    // Back with Ctrl+Z to the file as it was opened.
    for (int k = 0; k < 5; ++k)
        QTest::keyClick(w.form->window(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(w.layoutText(), opened);
    EXPECT_EQ(w.form->Quarn_bitmap, openedPicture);
    EXPECT_FALSE(w.form->isWindowModified());
    EXPECT_FALSE(undo->isEnabled());
    // Forward again, with Ctrl+Shift+Z and Ctrl+Y, through every state to the edited layout.
    QTest::keyClick(w.form->window(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(w.form->window(), Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(w.layoutText(), states[1]);
    for (size_t k = 2; k < states.size(); ++k) {
        QTest::keyClick(w.form->window(), Qt::Key_Y, Qt::ControlModifier);
        EXPECT_EQ(w.layoutText(), states[k]) << k;
    }
    EXPECT_EQ(w.layoutText(), edited);
    EXPECT_EQ(w.form->Quarn_bitmap, editedPicture);
    EXPECT_FALSE(redo->isEnabled());
    EXPECT_TRUE(w.form->isWindowModified());

    // Save, and undo still works after it.
    w.trigger("Speichern1");
    EXPECT_EQ(fileBytes(w.work + QStringLiteral("Layouts/Start.pln")), edited);
    EXPECT_FALSE(w.form->isWindowModified());
    undo->trigger();
    EXPECT_EQ(w.layoutText(), states[states.size() - 2]);
    EXPECT_TRUE(w.form->isWindowModified());
    redo->trigger();
    EXPECT_FALSE(w.form->isWindowModified());
    EXPECT_EQ(w.d.count(QStringLiteral("error")), 0);
}

TEST(UndoRedo, UnsavedChangesAreAskedForBeforeOpenNewAndClosing)
{
    Window w;
    w.form->Lang_id = 1;  // the question in the current language
    w.form->applyLanguage();
    EXPECT_EQ(w.form->menu(QStringLiteral("Bearbeiten1"))->title(), QStringLiteral("&Bearbeiten"));
    EXPECT_EQ(w.form->action(QStringLiteral("Rueckgaengig1"))->text(), QStringLiteral("&Rückgängig"));
    w.open(w.work + QStringLiteral("Layouts/Demo.pln"));
    const int count = Postable->getNumbofEntries();
    w.trigger("Gleisbildentwerfen1");
    const QPoint cell = w.freeBlock(1, 1);
    w.choosePalette(14);
    QTest::mouseClick(w.panel(), Qt::LeftButton, {}, Window::mid(cell));
    ASSERT_EQ(Postable->getNumbofEntries(), count + 1);
    ASSERT_TRUE(w.form->isWindowModified());

    // Cancel keeps everything: no dialog for a file, the layout and its name as they were.
    w.d.choiceAnswers.push_back(2);
    const int opens = w.d.count(QStringLiteral("open"));
    w.trigger("Oeffnen1");
    ASSERT_EQ(w.d.count(QStringLiteral("choice")), 1);
    EXPECT_EQ(w.d.last(QStringLiteral("choice"))->caption, QStringLiteral("Ungespeicherte Änderungen"));
    EXPECT_TRUE(w.d.last(QStringLiteral("choice"))->text.contains(QStringLiteral("Demo.pln")));
    EXPECT_EQ(w.d.lastChoiceButtons,
              (QStringList{QStringLiteral("Speichern"), QStringLiteral("Verwerfen"), QStringLiteral("Abbrechen")}));
    EXPECT_EQ(w.d.count(QStringLiteral("open")), opens);
    EXPECT_EQ(Postable->getNumbofEntries(), count + 1);
    w.d.choiceAnswers.push_back(2);
    w.trigger("Neu1");
    EXPECT_EQ(Postable->getNumbofEntries(), count + 1);
    EXPECT_TRUE(w.form->isWindowModified());

    // Closing: Cancel keeps the window open.
    w.d.choiceAnswers.push_back(2);
    EXPECT_FALSE(w.form->close());
    EXPECT_TRUE(w.form->isVisible());
    w.d.choiceAnswers.push_back(2);
    w.trigger("Ende1");
    EXPECT_TRUE(w.form->isVisible());

    // Save: written, then "Open" goes on; its history starts empty.
    w.d.choiceAnswers.push_back(0);
    w.open(w.work + QStringLiteral("Layouts/Demo.pln"));
    EXPECT_EQ(fileBytes(w.work + QStringLiteral("Layouts/Demo.pln")).left(4).toInt(), count + 1);
    EXPECT_EQ(Postable->getNumbofEntries(), count + 1);
    EXPECT_FALSE(w.form->isWindowModified());
    EXPECT_FALSE(w.host->history()->stack().canUndo());

    // Discard: the change is dropped and "New" goes on; nothing unsaved, no question on closing.
    w.trigger("Gleisbildentwerfen1");
    QTest::mouseClick(w.panel(), Qt::RightButton, {}, Window::mid(cell));
    ASSERT_TRUE(w.form->isWindowModified());
    w.d.choiceAnswers.push_back(1);
    w.d.textAnswers.push_back(w.work + QStringLiteral("Layouts/Neu"));
    w.trigger("Neu1");
    EXPECT_EQ(w.form->Gleisbildname, QStringLiteral("Neu.pln"));
    EXPECT_EQ(fileBytes(w.work + QStringLiteral("Layouts/Demo.pln")).left(4).toInt(), count + 1);
    const int asked = w.d.count(QStringLiteral("choice"));
    EXPECT_TRUE(w.form->close());
    EXPECT_EQ(w.d.count(QStringLiteral("choice")), asked);
}
