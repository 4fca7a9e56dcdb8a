#include "app/TMainForm.h"
#include "layout/C_Element.h"
#include "layout/C_Position.h"
#include "base/PositionTable.h"
#include "panel/widgets/PanelView.h"
#include "panel/widgets/TDecoderPanel.h"
#include "app/TrackPanelHost.h"
#include "app/SessionHost.h"
#include "base/C_language.h"
#include "base/ScriptedDialogs.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "common/ProgramFolder.h"

TEST(DecoderPanelWidget, DecoderAndS88ModesShowAndSaveTheClickedElement)
{
    QTemporaryDir dir;
    const QString work = dir.path() + QLatin1Char('/');
    ASSERT_TRUE(testsupport::makeProgramFolder(work));
    ScriptedDialogs d;
    TMainForm form(d, work);
    auto* panelHost = new TrackPanelHost(form);
    auto* sessionHost = new SessionHost(form);
    form.resize(1000, 720);
    form.show();
    d.textAnswers.push_back(work + QStringLiteral("Layouts/Demo.pln"));
    form.action(QStringLiteral("Oeffnen1"))->trigger();

    tPosEntry* turnout = nullptr;
    tPosEntry* detector = nullptr;
    for (int i = 0; i < Postable->getNumbofEntries(); ++i) {
        tPosEntry* e = Postable->getEntryByNum(i);
        if (!turnout && Element->get_art(e->Enummer - 1) == 2 && e->Posx < 800 && e->Posy < 400)
            turnout = e;
        if (!detector && (e->Enummer == 65 || e->Enummer == 87) && e->Posx < 800 && e->Posy < 400)
            detector = e;
    }
    ASSERT_NE(turnout, nullptr);
    ASSERT_NE(detector, nullptr);
    PanelView* view = panelHost->panelView();
    TDecoderPanel* panel = sessionHost->decoderPanel();
    auto click = [&](const tPosEntry* e) {
        QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(e->Posx - form.Hpos_alt + 5, e->Posy - form.Vpos_alt + 5));
    };

    d.shown.clear();  // the start without a parameter file has said so
    form.action(QStringLiteral("DecoderAdressen1"))->trigger();
    ASSERT_TRUE(form.Decod_panel->isVisible());
    click(turnout);
    EXPECT_EQ(panel->Index_label->text(), QString::number(turnout->CompID));
    EXPECT_EQ(panel->Decod_edit[0]->text(), QString::number(turnout->Decod1));
    EXPECT_TRUE(panel->Decod_edit[1]->isVisible());
    EXPECT_FALSE(panel->Decod_edit[2]->isVisible());  // two states: two rows
    EXPECT_FALSE(panel->Image[0]->pixmap().isNull());
    if (qEnvironmentVariableIsSet("QUARN_SCREENSHOTS"))
        form.grab().save(QStringLiteral(QUARN_SOURCE_DIR "docs/screenshots/decoder-panel.png"));

    panel->Decod_edit[0]->setText(QStringLiteral("12"));
    panel->Daten_Edit[1]->setValue(7);
    panel->Proto_CB->setCurrentIndex(1);
    QTest::mouseClick(panel->Speichern_button, Qt::LeftButton);
    EXPECT_EQ(turnout->Decod1, 12);
    EXPECT_EQ(turnout->Daten2, 7);
    EXPECT_EQ(turnout->Protokoll, QStringLiteral("N"));
    EXPECT_EQ(d.count(QStringLiteral("message")), 0);
    panel->Decod_edit[1]->setText(QStringLiteral("zwei"));
    QTest::mouseClick(panel->Speichern_button, Qt::LeftButton);
    ASSERT_EQ(d.count(QStringLiteral("message")), 1);
    EXPECT_EQ(d.last(QStringLiteral("message"))->text, Lang->getmessage(140, form.Lang_id));

    // Decoder 64, data port 1 is accessory address 257: beyond Motorola's 256, within NMRA's 4096.
    panel->Decod_edit[1]->setText(QStringLiteral("13"));
    panel->Decod_edit[0]->setText(QStringLiteral("64"));
    panel->Daten_Edit[0]->setValue(1);
    panel->Proto_CB->setCurrentIndex(0);
    QTest::mouseClick(panel->Speichern_button, Qt::LeftButton);
    ASSERT_EQ(d.count(QStringLiteral("message")), 2);
    EXPECT_EQ(d.last(QStringLiteral("message"))->text, Lang->getmessage(601, form.Lang_id).arg(257).arg(256));
    EXPECT_EQ(turnout->Decod1, 12) << "nothing stored";
    EXPECT_EQ(turnout->Protokoll, QStringLiteral("N"));
    panel->Proto_CB->setCurrentIndex(1);
    QTest::mouseClick(panel->Speichern_button, Qt::LeftButton);
    EXPECT_EQ(d.count(QStringLiteral("message")), 2);
    EXPECT_EQ(turnout->Decod1, 64);

    form.action(QStringLiteral("S88modules1"))->trigger();
    EXPECT_FALSE(panel->Proto_CB->isVisible());
    EXPECT_FALSE(panel->Decod_edit[1]->isVisible());
    EXPECT_EQ(panel->Daten_Edit[0]->maximum(), 16);
    click(turnout);  // ignored in S88 mode
    EXPECT_EQ(panel->Decod_edit[0]->text(), QStringLiteral("0"));
    click(detector);
    EXPECT_EQ(panel->Decod_edit[0]->text(), QString::number(detector->Decod1));
    EXPECT_EQ(panel->Daten_Edit[0]->value(), detector->Daten1);
    panel->Decod_edit[0]->setText(QStringLiteral("3"));
    panel->Daten_Edit[0]->setValue(9);
    QTest::mouseClick(panel->Speichern_button, Qt::LeftButton);
    EXPECT_EQ(detector->Decod1, 3);
    EXPECT_EQ(detector->Daten1, 9);
}
