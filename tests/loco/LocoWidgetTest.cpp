#include "LocoTestSupport.h"

#include "loco/widgets/ClickImage.h"
#include "loco/widgets/ReglerPanel.h"
#include "loco/widgets/TLocoForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

TEST(ReglerPanel, EveryRegulatorHasItsNamedControlsAndDrivesItsOwnLoco)
{
    ThrottleFixture t;
    ReglerPanel panel(t.model);
    t.model.regulatorChanged = [&](int d) { panel.refresh(d); };
    for (int n = 1; n <= 10; ++n) {
        const QString s = QString::number(n);
        EXPECT_NE(panel.findChild<QScrollBar*>("ScrollBar" + s), nullptr) << n;
        EXPECT_NE(panel.findChild<QToolButton*>("SpeedButton" + s), nullptr) << n;
        EXPECT_NE(panel.findChild<QCheckBox*>("CheckBox" + s), nullptr) << n;
        EXPECT_NE(panel.findChild<QLabel*>("Regler" + s + "_label"), nullptr) << n;
        EXPECT_NE(panel.findChild<ClickImage*>("Func_pic" + s), nullptr) << n;
        for (int k = 1; k <= 4; ++k)
            EXPECT_NE(panel.findChild<ClickImage*>(QStringLiteral("Func%1_pic%2").arg(k).arg(n)), nullptr) << n;
    }
    EXPECT_NE(panel.findChild<QLabel*>("Lokname_label"), nullptr);

    for (int d = 0; d < 10; ++d)
        t.lok.set_addr(d, 10 + d);
    t.lok.set_speedmax(9, 28);
    t.model.setupAll();
    EXPECT_EQ(panel.addressLabel(9)->text(), "19");
    EXPECT_EQ(panel.scrollBar(9)->maximum(), 28);
    EXPECT_EQ(panel.scrollBar(9)->value(), 28);
    panel.scrollBar(9)->setValue(0);
    EXPECT_EQ(t.last(), "SET GL M1 19 -1 28 28 0 0 ");
    QTest::mouseClick(panel.funcPic(4, 0), Qt::LeftButton);  // the picture goes on, and so does F0
    EXPECT_EQ(t.last(), "SET GL M1 14 -1 0 100 1 0 ");
}

TEST(TLocoForm, BadAddressKeepsTheDialogOpenAndFunctionControlsFollowTheProtocol)
{
    TLok lok;
    LocoIcons icons([] { return QStringLiteral(QUARN_SOURCE_DIR "data/Data/"); });
    ScriptedDialogs dialogs;
    TLocoForm form(lok, icons, dialogs);
    form.showModal = [&] { form.show(); };
    int saves = 0;
    form.model().saveParameters = [&] { ++saves; };

    form.setuplok(0);
    ASSERT_TRUE(form.isVisible());
    auto* f1 = form.findChild<QWidget*>("Panel1");
    auto* k3 = form.findChild<QComboBox*>("K3CB");
    EXPECT_FALSE(f1->isVisible()) << "M1 has no functions";
    EXPECT_EQ(k3->currentText(), "F2");
    form.findChild<QRadioButton*>("RadioGroup2_item2")->click();
    EXPECT_TRUE(f1->isVisible());
    form.findChild<QRadioButton*>("RadioButton4")->click();
    EXPECT_FALSE(form.findChild<QWidget*>("RadioGroup2")->isVisible());
    EXPECT_TRUE(form.findChild<QWidget*>("RadioGroup1")->isVisible());
    EXPECT_FALSE(f1->isVisible()) << "DCC starts at \"Basis\"";

    auto* address = form.findChild<QLineEdit*>("Adresse_edit");
    address->clear();
    QTest::keyClicks(address, "abc");
    form.findChild<QPushButton*>("Fertig_button")->click();
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(dialogs.count("message"), 1);
    EXPECT_EQ(saves, 0);

    address->clear();
    QTest::keyClicks(address, "0");
    form.findChild<QPushButton*>("Fertig_button")->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(lok.get_addr(0), 0);
    EXPECT_EQ(lok.get_protocol(0), "NB");
    EXPECT_EQ(saves, 1);
}

TEST(TLocoForm, DamagedFunctionCodeIsReportedOnceNotOnEveryRedraw)
{
    TLok lok;
    lok.set_protocol(0, "M2");
    lok.set_nrof(0, 4);
    Dekod_Funcs f{};
    f[1] = 99;
    lok.set_F(0, f);
    LocoIcons icons([] { return QStringLiteral(QUARN_SOURCE_DIR "data/Data/"); });
    ScriptedDialogs dialogs;
    TLocoForm form(lok, icons, dialogs);
    form.showModal = [&] { form.show(); };
    int damaged = 0;
    form.onDamagedCode = [&](int) { ++damaged; };  // reports, but the table stays as it is
    form.setuplok(0);
    EXPECT_EQ(damaged, 1);
    QTest::mouseClick(form.findChild<ClickImage*>("Func_image2"), Qt::LeftButton);
    QTest::mouseClick(form.findChild<ClickImage*>("Func2"), Qt::LeftButton);
    form.findChild<QRadioButton*>("RadioGroup2_item2")->click();
    EXPECT_EQ(damaged, 1) << "redrawing the slots reports nothing more";
    form.reject();
}
