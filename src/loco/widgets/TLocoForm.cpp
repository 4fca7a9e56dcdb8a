#include "loco/widgets/TLocoForm.h"

#include "loco/widgets/ClickImage.h"
#include "loco/Flookup.h"
#include "loco/LocoIcons.h"
#include "base/TLok.h"
#include "base/UserDialogs.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

TLocoForm* LocoForm = nullptr;

namespace {

QLabel* label(const QString& name, const QString& text, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    return l;
}

// A sunken frame around one 15 x 15 slot, as the slotGrid are drawn in panels.
QFrame* slotPanel(const QString& name, ClickImage* image, QWidget* parent)
{
    auto* f = new QFrame(parent);
    f->setObjectName(name);
    f->setFrameShape(QFrame::Panel);
    f->setFrameShadow(QFrame::Sunken);
    f->setFixedSize(21, 21);
    auto* box = new QVBoxLayout(f);
    box->setContentsMargins(2, 2, 2, 2);
    image->setParent(f);
    box->addWidget(image);
    return f;
}

}  // namespace

TLocoForm::TLocoForm(TLok& lok, LocoIcons& icons, UserDialogs& dialogs, QWidget* parent)
    : QDialog(parent), m_lok(lok), m_icons(icons), m_dialogs(dialogs), m_model(lok, dialogs)
{
    setObjectName(QStringLiteral("LocoForm"));
    setWindowTitle(QStringLiteral("Loco setup"));
    setWindowModality(Qt::ApplicationModal);
    auto* outer = new QVBoxLayout(this);

    // Protocol group.
    auto* group = new QGroupBox(QStringLiteral("Protocol"), this);
    group->setObjectName(QStringLiteral("GroupBox2"));
    auto* groupRow = new QHBoxLayout(group);
    RadioButton3 = new QRadioButton(group);
    RadioButton3->setObjectName(QStringLiteral("RadioButton3"));
    RadioButton4 = new QRadioButton(group);
    RadioButton4->setObjectName(QStringLiteral("RadioButton4"));
    groupRow->addWidget(RadioButton3);
    groupRow->addWidget(label(QStringLiteral("Maerklin_label"), QStringLiteral("Maerklin/Motorola"), group));
    groupRow->addSpacing(20);
    groupRow->addWidget(RadioButton4);
    groupRow->addWidget(label(QStringLiteral("DCC_label"), QStringLiteral("DCC"), group));
    groupRow->addStretch();
    outer->addWidget(group);

    const auto radioGroup = [this](const QString& name, const QString& title, const QStringList& items,
                                   QButtonGroup*& buttons) {
        auto* box = new QGroupBox(title, this);
        box->setObjectName(name);
        auto* row = new QHBoxLayout(box);
        buttons = new QButtonGroup(box);
        for (int i = 0; i < items.size(); ++i) {
            auto* b = new QRadioButton(items[i], box);
            b->setObjectName(name + QStringLiteral("_item%1").arg(i));
            buttons->addButton(b, i);
            row->addWidget(b);
        }
        row->addStretch();
        return box;
    };
    RadioGroup2 = radioGroup(QStringLiteral("RadioGroup2"), QStringLiteral("Maerklin-Dekoder"),
                             {"M1", "M2", "M3", "M4", "M5"}, m_maerklinItems);
    RadioGroup1 = radioGroup(QStringLiteral("RadioGroup1"), QStringLiteral("DCC-Decoder"),
                             {"Basis", "N1", "N2", "N3", "N4", "N5"}, m_dccItems);
    outer->addWidget(RadioGroup2);
    outer->addWidget(RadioGroup1);

    // Address, description, top speed.
    auto* fields = new QGridLayout;
    Adresse_edit = new QLineEdit(this);
    Adresse_edit->setObjectName(QStringLiteral("Adresse_edit"));
    Beschreibung_edit = new QLineEdit(this);
    Beschreibung_edit->setObjectName(QStringLiteral("Beschreibung_edit"));
    Vmax_edit = new QLineEdit(this);
    Vmax_edit->setObjectName(QStringLiteral("Vmax_edit"));
    fields->addWidget(label(QStringLiteral("Adresse_label"), QStringLiteral("Decoder address"), this), 0, 0);
    fields->addWidget(Adresse_edit, 0, 1);
    fields->addWidget(label(QStringLiteral("Beschreibung_label"), QStringLiteral("Description"), this), 1, 0);
    fields->addWidget(Beschreibung_edit, 1, 1);
    fields->addWidget(label(QStringLiteral("Vmax_label"), QStringLiteral("Vmax"), this), 2, 0);
    fields->addWidget(Vmax_edit, 2, 1);
    outer->addLayout(fields);

    // Palette, function slotGrid and joystick slotGrid.
    auto* slotGrid = new QGridLayout;
    slotGrid->setHorizontalSpacing(6);
    auto* paletteRow = new QHBoxLayout;
    for (int n = 1; n <= 8; ++n) {
        auto* img = new ClickImage(QStringLiteral("Func_image%1").arg(n), this);
        Func_image[static_cast<std::size_t>(n - 1)] = img;
        img->setToolTip(flookup(n + 10));
        paletteRow->addWidget(slotPanel(QStringLiteral("Palette%1").arg(n), img, this));
        connect(img, &ClickImage::pressed, this, [this, n](Qt::MouseButton b) {
            if (b == Qt::LeftButton)
                m_model.Func_imageClick(n);
        });
    }
    paletteRow->addStretch();
    slotGrid->addLayout(paletteRow, 0, 0, 1, 6);

    for (int k = 1; k <= 4; ++k) {
        auto* img = new ClickImage(QStringLiteral("Func%1").arg(k), this);
        Func[static_cast<std::size_t>(k - 1)] = img;
        QFrame* panel = slotPanel(QStringLiteral("Panel%1").arg(k), img, this);
        QLabel* caption = label(QStringLiteral("Func_label%1").arg(k), QStringLiteral("F%1").arg(k), this);
        slotGrid->addWidget(caption, 1, k, Qt::AlignHCenter);
        slotGrid->addWidget(panel, 2, k, Qt::AlignHCenter);
        m_functionControls << panel << caption;
        connect(img, &ClickImage::pressed, this, [this, k](Qt::MouseButton b) {
            if (b != Qt::LeftButton && b != Qt::RightButton)
                return;
            m_model.FuncMouseDown(k, b == Qt::LeftButton);
            refresh();
        });
    }
    Func0 = new ClickImage(QStringLiteral("Func0"), this);
    QFrame* panel5 = slotPanel(QStringLiteral("Panel5"), Func0, this);
    panel5->hide();

    slotGrid->addWidget(label(QStringLiteral("Joystick_label"), QStringLiteral("Joystick Buttons"), this), 3, 0);
    for (int k = 1; k <= 4; ++k) {
        auto* img = new ClickImage(QStringLiteral("Joy%1").arg(k), this);
        Joy[static_cast<std::size_t>(k - 1)] = img;
        QFrame* panel = slotPanel(QStringLiteral("Panel%1").arg(5 + k), img, this);
        QLabel* caption = label(QStringLiteral("Joy_label%1").arg(k), QStringLiteral("B%1").arg(k), this);
        slotGrid->addWidget(caption, 3, k, Qt::AlignHCenter);
        slotGrid->addWidget(panel, 4, k, Qt::AlignHCenter);
        if (k >= 3)
            m_functionControls << panel << caption;
    }
    slotGrid->setColumnStretch(5, 1);
    outer->addLayout(slotGrid);

    auto* combos = new QHBoxLayout;
    const auto combo = [this, combos](const QString& name, const QString& initial, int number) {
        auto* cb = new QComboBox(this);
        cb->setObjectName(name);
        for (const QString& item : LocoSetupModel::comboItems())
            cb->addItem(item);
        cb->setPlaceholderText(initial);
        cb->setCurrentIndex(-1);
        QLabel* caption = label(name + QStringLiteral("_label"), QStringLiteral("F1 ...F4"), this);
        auto* title = label(name + QStringLiteral("_button"), QStringLiteral("B%1:").arg(number), this);
        combos->addWidget(title);
        combos->addWidget(cb);
        combos->addWidget(caption);
        m_functionControls << cb << caption << title;
        return cb;
    };
    K3CB = combo(QStringLiteral("K3CB"), QStringLiteral("--------"), 3);
    K4CB = combo(QStringLiteral("K4CB"), QStringLiteral("----"), 4);
    combos->addStretch();
    outer->addLayout(combos);

    auto* buttons = new QHBoxLayout;
    auto* save = new QPushButton(QStringLiteral("Save"), this);
    save->setObjectName(QStringLiteral("Fertig_button"));
    save->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("Cancel_button"));
    Zeigen_button = new QPushButton(QStringLiteral("Show"), this);
    Zeigen_button->setObjectName(QStringLiteral("Zeigen_button"));
    Label6 = label(QStringLiteral("Label6"), QString(), this);
    buttons->addWidget(Zeigen_button);
    buttons->addWidget(Label6);
    buttons->addStretch();
    buttons->addWidget(save);
    buttons->addWidget(cancel);
    outer->addLayout(buttons);

    connect(RadioButton3, &QRadioButton::clicked, this, [this] {
        m_model.RadioButton3Click();
        refresh();
    });
    connect(RadioButton4, &QRadioButton::clicked, this, [this] {
        m_model.RadioButton4Click();
        refresh();
    });
    connect(m_maerklinItems, &QButtonGroup::idClicked, this, [this](int i) {
        m_model.RadioGroup2Click(i);
        refresh();
    });
    connect(m_dccItems, &QButtonGroup::idClicked, this, [this](int i) {
        m_model.RadioGroup1Click(i);
        refresh();
    });
    connect(K3CB, &QComboBox::activated, this, [this](int i) {
        m_model.K3CBChange(i);
        refresh();
    });
    connect(K4CB, &QComboBox::activated, this, [this](int i) {
        m_model.K4CBChange(i);
        refresh();
    });
    connect(Adresse_edit, &QLineEdit::textEdited, this, [this](const QString& t) { m_model.Adresse_edit = t; });
    connect(Beschreibung_edit, &QLineEdit::textEdited, this, [this](const QString& t) { m_model.Beschreibung_edit = t; });
    connect(Vmax_edit, &QLineEdit::textEdited, this, [this](const QString& t) { m_model.Vmax_edit = t; });
    connect(save, &QPushButton::clicked, this, &TLocoForm::Fertig_buttonClick);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(Zeigen_button, &QPushButton::clicked, this, [this] { Label6->setText(m_model.Zeigen_buttonClick()); });

    showModal = [this] { exec(); };
    m_model.FormCreate();
    for (int n = 1; n <= 8; ++n)
        setIcon(Func_image[static_cast<std::size_t>(n - 1)], n + 10);
    refresh();
}

void TLocoForm::setIconFile(QLabel* target, const QString& file)
{
    if (file.isEmpty()) {
        target->clear();
        return;
    }
    try {
        target->setPixmap(QPixmap::fromImage(m_icons.load(file)));
    } catch (const std::exception& e) {
        target->clear();
        m_dialogs.messageBox(QString::fromLocal8Bit(e.what()), QStringLiteral("Error"), UserDialogs::Icon::Error);
    }
}

void TLocoForm::setIcon(QLabel* target, int code)
{
    if (code == 0) {
        target->clear();
        return;
    }
    // Codes the dialog holds are in range: setuplok has dealt with damaged ones.
    setIconFile(target, flookup(code));
}

void TLocoForm::refresh()
{
    const LocoSetupModel& m = m_model;
    RadioButton3->setChecked(m.Mm);
    RadioButton4->setChecked(!m.Mm);
    RadioGroup2->setVisible(m.Mm);
    RadioGroup1->setVisible(!m.Mm);
    if (QAbstractButton* b = m_maerklinItems->button(m.RadioGroup2))
        b->setChecked(true);
    if (QAbstractButton* b = m_dccItems->button(m.RadioGroup1))
        b->setChecked(true);
    for (QWidget* w : m_functionControls)
        w->setVisible(m.functionsVisible);
    if (Adresse_edit->text() != m.Adresse_edit)
        Adresse_edit->setText(m.Adresse_edit);
    if (Beschreibung_edit->text() != m.Beschreibung_edit)
        Beschreibung_edit->setText(m.Beschreibung_edit);
    if (Vmax_edit->text() != m.Vmax_edit)
        Vmax_edit->setText(m.Vmax_edit);
    for (std::size_t k = 0; k < 4; ++k) {
        setIcon(Func[k], m.slotCode[k]);
        setIcon(Joy[k], m.joyCode[k]);
    }
    setIconFile(Func0, m.Func0Code ? QStringLiteral("Func_on.bmp") : QString());
    const auto showCombo = [](QComboBox* cb, const QString& text) {
        const int i = cb->findText(text);
        cb->setCurrentIndex(i);  // -1 shows the initial text
    };
    showCombo(K3CB, m.K3Text);
    showCombo(K4CB, m.K4Text);
    Zeigen_button->setVisible(Debug);
}

void TLocoForm::setuplok(int nr)
{
    m_model.onDamagedCode = onDamagedCode;
    m_model.setuplok(nr);
    Label6->clear();
    refresh();
    if (showModal)
        showModal();
}

void TLocoForm::Fertig_buttonClick()
{
    if (m_model.Fertig_buttonClick())
        accept();
}
