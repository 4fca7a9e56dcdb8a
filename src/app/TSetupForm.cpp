#include "app/TSetupForm.h"

#include "base/AppState.h"
#include "base/C_language.h"
#include "ui/widgets/ScrollPage.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

TSetupForm* SetupForm = nullptr;

TRadioGroup::TRadioGroup(const QString& name, const QStringList& items, QWidget* parent)
    : QWidget(parent), m_box(new QGroupBox(this)), m_group(new QButtonGroup(this))
{
    setObjectName(name);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(m_box);
    new QHBoxLayout(m_box);
    setItems(items);
}

void TRadioGroup::setItems(const QStringList& items)
{
    const int selected = itemIndex();
    for (QAbstractButton* b : m_group->buttons()) {
        m_group->removeButton(b);
        delete b;
    }
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], m_box);
        m_group->addButton(button, i);
        m_box->layout()->addWidget(button);
    }
    setItemIndex(selected);
}

int TRadioGroup::itemIndex() const
{
    return m_group->checkedId();
}

void TRadioGroup::setItemIndex(int index)
{
    if (QAbstractButton* b = m_group->button(index))
        b->setChecked(true);
}

namespace {

QLabel* label(const QString& name, const QString& text, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    return l;
}

}  // namespace

TSetupForm::TSetupForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("SetupForm"));
    setWindowTitle(QStringLiteral("Quarn setup"));
    setModal(true);

    PageControl = new QTabWidget(this);
    PageControl->setObjectName(QStringLiteral("PageControl"));

    auto* ts1 = new QWidget;
    ts1->setObjectName(QStringLiteral("TS1"));
    auto* g = new QGridLayout(ts1);
    int row = 0;
    Edithost = new QLineEdit(ts1);
    Edithost->setObjectName(QStringLiteral("Edithost"));
    g->addWidget(label(QStringLiteral("Labelhost"), QStringLiteral("Server (IP-Address):"), ts1), row, 0);
    g->addWidget(Edithost, row++, 1);
    Editport = new QLineEdit(ts1);
    Editport->setObjectName(QStringLiteral("Editport"));
    g->addWidget(label(QStringLiteral("Labelport"), QStringLiteral("Port"), ts1), row, 0);
    g->addWidget(Editport, row++, 1);
    CheckBox1 = new QCheckBox(ts1);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    g->addWidget(label(QStringLiteral("Infokanal_label"), QStringLiteral("Activate info chanel"), ts1), row, 0);
    g->addWidget(CheckBox1, row++, 1);
    RGSrcp = new TRadioGroup(QStringLiteral("RGSrcp"), {QStringLiteral("SRCP 0.73"), QStringLiteral("SRCP 0.80")}, ts1);
    g->addWidget(label(QStringLiteral("LabelSRCPVersion"), QStringLiteral("SRCP version"), ts1), row, 0);
    g->addWidget(RGSrcp, row++, 1);
    RGDirectX = new TRadioGroup(QStringLiteral("RGDirectX"), {QStringLiteral("Two controllers"), QStringLiteral("One controller (Y, Z)")}, ts1);
    g->addWidget(label(QStringLiteral("LabelJoymod"), QStringLiteral("Joystick module"), ts1), row, 0);
    g->addWidget(RGDirectX, row++, 1);
    CBLang = new QComboBox(ts1);
    CBLang->setObjectName(QStringLiteral("CBLang"));
    CBLang->addItems({QStringLiteral("Deutsch"), QStringLiteral("English"), QStringLiteral("Svenska"),
                      QStringLiteral("Espanol"), QStringLiteral("Italiano"), QStringLiteral("Nederlands"),
                      QStringLiteral("Francais")});
    CBLang->setCurrentIndex(-1);
    g->addWidget(label(QStringLiteral("Labellang"), QStringLiteral("Language"), ts1), row, 0);
    g->addWidget(CBLang, row++, 1);
    RGAssist = new TRadioGroup(QStringLiteral("RGAssist"), {QStringLiteral("No"), QStringLiteral("Yes")}, ts1);
    auto* assistLabels = new QWidget(ts1);
    auto* al = new QVBoxLayout(assistLabels);
    al->setContentsMargins(0, 0, 0, 0);
    Assist1_label = label(QStringLiteral("Assist1_label"), QStringLiteral("Display assist"), assistLabels);
    Assist2_label = label(QStringLiteral("Assist2_label"), QStringLiteral("on start"), assistLabels);
    al->addWidget(Assist1_label);
    al->addWidget(Assist2_label);
    g->addWidget(assistLabels, row, 0);
    g->addWidget(RGAssist, row++, 1);
    cbPower = new QCheckBox(ts1);
    cbPower->setObjectName(QStringLiteral("cbPower"));
    g->addWidget(label(QStringLiteral("Label1"), QStringLiteral("Monitor Power state"), ts1), row, 0);
    g->addWidget(cbPower, row, 1);
    g->addWidget(label(QStringLiteral("Label10"), QStringLiteral("(only SRCP 0.73 mode)"), ts1), row++, 2);
    cbAutoPower = new QCheckBox(ts1);
    cbAutoPower->setObjectName(QStringLiteral("cbAutoPower"));
    g->addWidget(label(QStringLiteral("Label9"), QStringLiteral("Automatic Power On"), ts1), row, 0);
    g->addWidget(cbAutoPower, row, 1);
    g->addWidget(label(QStringLiteral("Label11"), QStringLiteral("(only SRCP 0.73 mode)"), ts1), row++, 2);
    cbReconnect = new QCheckBox(ts1);
    cbReconnect->setObjectName(QStringLiteral("cbReconnect"));
    LabelReconnect = label(QStringLiteral("LabelReconnect"), QStringLiteral("Reconnect automatically when the connection is lost"), ts1);
    LabelReconnect->setWordWrap(true);
    g->addWidget(LabelReconnect, row, 0);
    g->addWidget(cbReconnect, row++, 1);
    cbPowerReconnect = new QCheckBox(ts1);
    cbPowerReconnect->setObjectName(QStringLiteral("cbPowerReconnect"));
    LabelPowerReconnect = label(QStringLiteral("LabelPowerReconnect"),
                                QStringLiteral("Switch track power on again after a reconnect"), ts1);
    LabelPowerReconnect->setWordWrap(true);
    g->addWidget(LabelPowerReconnect, row, 0);
    g->addWidget(cbPowerReconnect, row++, 1);
    PageControl->addTab(new ScrollPage(ts1), QStringLiteral("Global settings"));

    auto* ts2 = new QWidget;
    ts2->setObjectName(QStringLiteral("TS2"));
    auto* f = new QFormLayout(ts2);
    const struct {
        const char* name;
        const char* text;
    } buses[] = {
        {"udMMLoco", "Marklin/Motorola loco decoders"},
        {"udNMRAsLoco", "NMRA/DCC loco decoders with short address"},
        {"udNMRAlLoco", "NMRA/DCC loco decoders with long address"},
        {"udMMSol", "Marklin/Motorola solenoid decoders"},
        {"udNMRASol", "NMRA/DCC solenoid decoders"},
        {"udS88", "S88 feedback "},
        {"udPower", "Power"},
    };
    for (std::size_t i = 0; i < busUpDowns.size(); ++i) {
        auto* spin = new QSpinBox(ts2);
        spin->setObjectName(QString::fromLatin1(buses[i].name));
        spin->setRange(1, 100);  // a device bus; bus 0 is the server itself
        busUpDowns[i] = spin;
        f->addRow(QString::fromLatin1(buses[i].text), spin);
    }
    PageControl->addTab(new ScrollPage(ts2), QStringLiteral("SRCP"));

    auto* ts3 = new QWidget;
    ts3->setObjectName(QStringLiteral("TS3"));
    auto* p = new QGridLayout(ts3);
    cbPhone = new QCheckBox(ts3);
    cbPhone->setObjectName(QStringLiteral("cbPhone"));
    udPhonePort = new QSpinBox(ts3);
    udPhonePort->setObjectName(QStringLiteral("udPhonePort"));
    udPhonePort->setRange(1, 65535);
    EditPhoneAddress = new QLineEdit(ts3);
    EditPhoneAddress->setObjectName(QStringLiteral("EditPhoneAddress"));
    EditPhoneAddress->setPlaceholderText(QStringLiteral("0.0.0.0"));
    EditPhoneAllow = new QLineEdit(ts3);
    EditPhoneAllow->setObjectName(QStringLiteral("EditPhoneAllow"));
    EditPhoneAllow->setPlaceholderText(QStringLiteral("192.168.1.0/24, 10.0.0.7"));
    udPhoneLimit = new QSpinBox(ts3);
    udPhoneLimit->setObjectName(QStringLiteral("udPhoneLimit"));
    udPhoneLimit->setRange(1, 64);
    udPhonePerAddress = new QSpinBox(ts3);
    udPhonePerAddress->setObjectName(QStringLiteral("udPhonePerAddress"));
    udPhonePerAddress->setRange(1, 64);
    QWidget* const phoneFields[] = {cbPhone, udPhonePort, EditPhoneAddress, EditPhoneAllow, udPhoneLimit, udPhonePerAddress};
    const char* const phoneTexts[] = {"Serve phone throttles (WiThrottle)", "Port", "Listen address (empty: all)",
                                      "Allowed addresses (empty: all)", "Most phones at once",
                                      "Most phones from one address"};
    for (int i = 0; i < 6; ++i) {
        phoneLabels[static_cast<std::size_t>(i)] =
            label(QStringLiteral("LabelPhone%1").arg(i + 1), QString::fromLatin1(phoneTexts[i]), ts3);
        p->addWidget(phoneLabels[static_cast<std::size_t>(i)], i, 0);
        p->addWidget(phoneFields[i], i, 1);
    }
    p->setRowStretch(6, 1);
    PageControl->addTab(new ScrollPage(ts3), QStringLiteral("Phone throttles"));

    Ok_button = new QPushButton(QStringLiteral("Save"), this);
    Ok_button->setObjectName(QStringLiteral("Ok_button"));
    Ok_button->setDefault(true);
    Cancel_button = new QPushButton(QStringLiteral("Cancel"), this);
    Cancel_button->setObjectName(QStringLiteral("Cancel_button"));
    connect(Ok_button, &QPushButton::clicked, this, &QDialog::accept);
    connect(Cancel_button, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Ok_button);
    buttons->addWidget(Cancel_button);
    auto* v = new QVBoxLayout(this);
    v->addWidget(PageControl);
    v->addLayout(buttons);
    addChecks();
}

void TSetupForm::fill(const AppState& main)
{
    const SetupValues v = fillSetup(main, values());
    Edithost->setText(v.host);
    Editport->setText(v.port);
    CheckBox1->setChecked(v.infoChannel);
    RGSrcp->setItemIndex(v.srcpItem);
    RGDirectX->setItemIndex(v.joyItem);
    RGDirectX->setEnabled(v.joyChoiceEnabled);
    if (v.langItem >= 0)
        CBLang->setCurrentIndex(v.langItem);
    cbPower->setChecked(v.monitorPower);
    cbAutoPower->setChecked(v.autoPower);
    cbReconnect->setChecked(v.autoReconnect);
    cbPowerReconnect->setChecked(v.powerOnReconnect);
    for (std::size_t i = 0; i < busUpDowns.size(); ++i)
        busUpDowns[i]->setValue(v.buses[i]);
    cbPhone->setChecked(v.phoneOn);
    udPhonePort->setValue(v.phonePort);
    EditPhoneAddress->setText(v.phoneAddress);
    EditPhoneAllow->setText(v.phoneAllow);
    udPhoneLimit->setValue(v.phoneLimit);
    udPhonePerAddress->setValue(v.phonePerAddress);
}

SetupValues TSetupForm::values() const
{
    SetupValues v;
    v.host = Edithost->text();
    v.port = Editport->text();
    v.infoChannel = CheckBox1->isChecked();
    v.srcpItem = RGSrcp->itemIndex();
    v.joyItem = RGDirectX->itemIndex();
    v.joyChoiceEnabled = RGDirectX->isEnabled();
    v.langItem = CBLang->currentIndex();
    v.assistItem = RGAssist->itemIndex();
    v.monitorPower = cbPower->isChecked();
    v.autoPower = cbAutoPower->isChecked();
    v.autoReconnect = cbReconnect->isChecked();
    v.powerOnReconnect = cbPowerReconnect->isChecked();
    for (std::size_t i = 0; i < busUpDowns.size(); ++i)
        v.buses[i] = busUpDowns[i]->value();
    v.phoneOn = cbPhone->isChecked();
    v.phonePort = udPhonePort->value();
    v.phoneAddress = EditPhoneAddress->text();
    v.phoneAllow = EditPhoneAllow->text();
    v.phoneLimit = udPhoneLimit->value();
    v.phonePerAddress = udPhonePerAddress->value();
    return v;
}

void TSetupForm::FormShow(const C_language* lang, int langId, int showassist)
{
    if (lang) {
        RGAssist->setItems({lang->getmessage(74, langId), lang->getmessage(75, langId)});
        Assist1_label->setText(lang->getmessage(72, langId));
        Assist2_label->setText(lang->getmessage(73, langId));
        for (std::size_t i = 0; i < phoneLabels.size(); ++i)
            phoneLabels[i]->setText(lang->getmessage(i < 5 ? static_cast<int>(781 + i) : 868, langId));
        PageControl->setTabText(2, lang->getmessage(780, langId));
    }
    m_noteLang = lang;
    m_noteLangId = langId;
    updateChecks();
    if (showassist == 0)
        RGAssist->setItemIndex(0);
    else if (showassist == 1)
        RGAssist->setItemIndex(1);
    PageControl->setCurrentIndex(0);
}
