#include "loco/widgets/JoyPanel.h"

#include "loco/widgets/ClickImage.h"
#include "loco/JoystickControl.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

JoyPanel::JoyPanel(JoystickControl& model, QWidget* parent) : QWidget(parent), m_model(model)
{
    setObjectName(QStringLiteral("JoyPanel"));
    setAutoFillBackground(true);
    QPalette teal = palette();
    teal.setColor(QPalette::Window, QColor(0x00, 0x80, 0x80));
    teal.setColor(QPalette::WindowText, Qt::yellow);
    setPalette(teal);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(6, 2, 6, 4);
    row->setSpacing(4);
    for (int j = 1; j <= 2; ++j) {
        const auto i = static_cast<std::size_t>(j - 1);
        auto* b = new QPushButton(j == 1 ? QStringLiteral("Joystick1") : QStringLiteral("Joystick 2"), this);
        b->setObjectName(QStringLiteral("Button%1").arg(j));
        b->setContextMenuPolicy(Qt::CustomContextMenu);
        b->hide();
        connect(b, &QPushButton::clicked, this, [this, j] { m_model.ButtonClick(j); });
        connect(b, &QPushButton::customContextMenuRequested, this, [this, j] { m_model.ButtonRightClick(j); });
        m_button[i] = b;
        row->addWidget(b);

        auto* l = new QLabel(this);
        l->setObjectName(QStringLiteral("Joylabel%1").arg(j));
        l->setMinimumWidth(80);
        m_label[i] = l;
        row->addWidget(l);
        for (int k = 1; k <= 4; ++k) {
            auto* pic = new ClickImage(QStringLiteral("Joy%1func_pic%2").arg(j).arg(k), this);
            m_pic[i][static_cast<std::size_t>(k - 1)] = pic;
            connect(pic, &ClickImage::pressed, this, [this, j, k](Qt::MouseButton mb) {
                if (mb == Qt::LeftButton)
                    m_model.funcPicClick(j, k);
            });
            row->addWidget(pic);
        }
        row->addSpacing(24);
    }
    row->addStretch();
    refresh(0);
}

void JoyPanel::refresh(int joy)
{
    for (int j = 1; j <= 2; ++j) {
        if (joy != 0 && joy != j)
            continue;
        const auto i = static_cast<std::size_t>(j - 1);
        const JoyView& v = m_model.view(j);
        m_button[i]->setVisible(v.ButtonVisible);
        m_label[i]->setText(v.Joylabel);
        for (std::size_t k = 0; k < 4; ++k)
            m_pic[i][k]->setPixmap(v.Image[k].isNull() ? QPixmap() : QPixmap::fromImage(v.Image[k]));
    }
}
