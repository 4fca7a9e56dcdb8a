#include "base/AppState.h"
#include "layout/C_Element.h"
#include "layout/C_Position.h"
#include "panel/widgets/PanelView.h"
#include "base/ScriptedDialogs.h"

#include <QDir>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

TEST(PanelWidgets, PaletteClickAndPanelClickPlaceAnElementAndScrollBarsSnap)
{
    AppState s;
    s.WorkDir = QStringLiteral(QUARN_SOURCE_DIR "data/");
    C_Position t;
    C_Element cat;
    ScriptedDialogs d;
    LayoutPanel p(s, t, cat, d);
    p.quarngraufaerben();
    p.elementeladen();

    QWidget window;
    window.resize(640, 420);
    window.setWindowTitle(QStringLiteral("Quarn"));
    PanelView view(s, p, d, &window);
    view.setGeometry(1, 1, 600, 270);
    PaletteView palette(s, p, &window);
    palette.setGeometry(1, 290, s.Panelbreite, s.Panelhoehe);
    QScrollBar h(Qt::Horizontal, &window), v(Qt::Vertical, &window);
    h.setGeometry(0, 273, 600, 17);
    v.setGeometry(603, 1, 17, 270);
    view.attachScrollBars(&h, &v);
    window.show();
    s.Quarnerstellen = true;

    const int n = 14;
    QTest::mouseClick(&palette, Qt::LeftButton, {}, QPoint(cat.get_posx(n - 1) + 5, cat.get_posy(n - 1) + 5));
    EXPECT_EQ(s.Comp_nr, n);
    EXPECT_EQ(palette.selectedCell(), QPoint(cat.get_posx(n - 1), cat.get_posy(n - 1)));
    QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(60, 30));
    ASSERT_NE(t.getEntryByKor(54, 27), nullptr);
    EXPECT_EQ(t.getEntryByKor(54, 27)->Enummer, n);
    for (int k = 0; k < 3; ++k) {
        QTest::mouseClick(&palette, Qt::LeftButton, {}, QPoint(cat.get_posx(20) + 5, cat.get_posy(20) + 5));
        QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(81 + 27 * k + 3, 30));
    }
    d.textAnswers.push_back(QStringLiteral("Station"));
    s.Quarnerstellen = false;
    s.Text = true;
    QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(2, 60));
    EXPECT_EQ(s.Textliste.size(), 1u);

    v.setValue(100);
    EXPECT_EQ(v.value(), 81);
    EXPECT_EQ(s.Vpos_alt, 81);
    v.setValue(0);

    const QDir out(QStringLiteral(QUARN_SOURCE_DIR "docs/screenshots"));
    const QImage shot = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shot.copy(54, 27, 27, 27), s.Quarn_bitmap.copy(54, 27, 27, 27));
    if (qEnvironmentVariableIsSet("QUARN_SCREENSHOTS")) {
        p.quarngraufaerben();
        p.EmptyQuarnlist();
        p.EmptyTextlist();
        p.gleisbildladen(QStringLiteral("Demo.pln"), p.layoutPath());
        p.QuarnPaint();
        window.grab().save(out.filePath(QStringLiteral("editor.png")));
    }
}
