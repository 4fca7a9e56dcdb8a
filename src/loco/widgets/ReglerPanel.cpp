#include "loco/widgets/ReglerPanel.h"

#include "loco/widgets/ClickImage.h"
#include "loco/ThrottleModel.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QLabel* yellowLabel(const QString& name, QWidget* parent)
{
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, Qt::yellow);
    l->setPalette(p);
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
    return l;
}

}  // namespace

ReglerPanel::ReglerPanel(ThrottleModel& model, QWidget* parent) : QWidget(parent), m_model(model)
{
    setObjectName(QStringLiteral("ReglerPanelContent"));
    setAutoFillBackground(true);
    QPalette teal = palette();
    teal.setColor(QPalette::Window, QColor(0x00, 0x80, 0x80));
    setPalette(teal);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(6, 4, 6, 4);
    row->setSpacing(10);
    for (int d = 0; d < ThrottleModel::Count; ++d) {
        const QString n = QString::number(d + 1);
        Controls& c = m_reg[static_cast<std::size_t>(d)];
        auto* column = new QWidget(this);
        column->setObjectName(QStringLiteral("Regler%1").arg(n));
        c.column = column;
        auto* grid = new QGridLayout(column);
        grid->setContentsMargins(0, 0, 0, 0);
        grid->setHorizontalSpacing(3);
        grid->setVerticalSpacing(2);

        c.address = yellowLabel(QStringLiteral("Regler%1_label").arg(n), column);
        grid->addWidget(c.address, 0, 0, 1, 2);

        c.slider = new QScrollBar(Qt::Vertical, column);
        c.slider->setObjectName(QStringLiteral("ScrollBar%1").arg(n));
        c.slider->setFixedSize(16, 80);
        c.slider->setRange(0, 100);
        c.slider->setValue(100);
        c.slider->setPageStep(0);
        c.slider->setProperty("Tag", d);
        grid->addWidget(c.slider, 1, 0);

        auto* funcs = new QVBoxLayout;
        funcs->setSpacing(1);
        for (int k = 0; k < 5; ++k) {
            const QString name = k == 0 ? QStringLiteral("Func_pic%1").arg(n) : QStringLiteral("Func%1_pic%2").arg(k).arg(n);
            auto* pic = new ClickImage(name, column);
            pic->setProperty("Tag", d);
            c.func[static_cast<std::size_t>(k)] = pic;
            funcs->addWidget(pic);
            connect(pic, &ClickImage::pressed, this, [this, d, k](Qt::MouseButton b) {
                if (b != Qt::LeftButton)
                    return;
                if (k == 0)
                    m_model.Func_pic1Click(d);
                else
                    m_model.FuncPicClick(k, d + 1);
            });
        }
        funcs->addStretch();
        grid->addLayout(funcs, 1, 1);

        c.direction = new QToolButton(column);
        c.direction->setObjectName(QStringLiteral("SpeedButton%1").arg(n));
        c.direction->setFixedSize(17, 17);
        c.direction->setIconSize(QSize(15, 15));
        c.direction->setProperty("Tag", d);
        grid->addWidget(c.direction, 2, 0);

        c.centreZero = new QCheckBox(column);
        c.centreZero->setObjectName(QStringLiteral("CheckBox%1").arg(n));
        grid->addWidget(c.centreZero, 2, 1);

        connect(c.slider, &QScrollBar::valueChanged, this, [this, d](int v) { m_model.moveSlider(d, v); });
        connect(c.direction, &QToolButton::clicked, this, [this, d] { m_model.SpeedButton1Click(d); });
        connect(c.centreZero, &QCheckBox::toggled, this, [this, d](bool on) { m_model.CheckBoxClick(d, on); });
        row->addWidget(column);
    }
    m_lokname = yellowLabel(QStringLiteral("Lokname_label"), this);
    m_lokname->setMinimumWidth(90);
    row->addWidget(m_lokname);
    row->addStretch();
    refreshAll();
    setSelected(0);
}

void ReglerPanel::refresh(int Device)
{
    m_lokname->setText(m_model.Lokname());
    if (Device < 0 || Device >= ThrottleModel::Count)
        return;
    const RegulatorView& r = m_model.regulator(Device);
    Controls& c = m_reg[static_cast<std::size_t>(Device)];
    {
        const QSignalBlocker block(c.slider);
        c.slider->setRange(0, r.Max);
        c.slider->setValue(r.Position);
    }
    {
        const QSignalBlocker block(c.centreZero);
        c.centreZero->setChecked(r.Checked);
    }
    c.address->setText(r.AddressText);
    c.direction->setIcon(r.DirectionGlyph.isNull() ? QIcon() : QIcon(QPixmap::fromImage(r.DirectionGlyph)));
    for (std::size_t k = 0; k < 5; ++k)
        c.func[k]->setPixmap(r.FuncImage[k].isNull() ? QPixmap() : QPixmap::fromImage(r.FuncImage[k]));
}

void ReglerPanel::setSelected(int Device)
{
    for (int d = 0; d < ThrottleModel::Count; ++d) {
        QWidget* column = m_reg[static_cast<std::size_t>(d)].column;
        column->setAutoFillBackground(d == Device);
        QPalette p = column->palette();
        p.setColor(QPalette::Window, QColor(0x00, 0xA8, 0xA8));
        column->setPalette(p);
    }
}

void ReglerPanel::refreshAll()
{
    for (int d = 0; d < ThrottleModel::Count; ++d)
        refresh(d);
    refresh(-1);
}
