#include "ui/widgets/TInfoForm.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>

TInfoForm* InfoForm = nullptr;

QPixmap programPicture(const QSize& size, qreal devicePixelRatio)
{
    QPixmap pm(size * devicePixelRatio);
    pm.setDevicePixelRatio(devicePixelRatio);
    const double w = size.width(), h = size.height();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, h);
    sky.setColorAt(0, QColor(0x80, 0x00, 0x00));
    sky.setColorAt(1, QColor(0x4A, 0x00, 0x00));
    p.fillRect(QRectF(0, 0, w, h), sky);

    // Track: a main line with a turnout branching off upwards, as on the layout panel.
    const double y = h * 0.68;
    QPen rail(QColor(0xE8, 0xE8, 0xE8), 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(rail);
    p.drawLine(QPointF(12, y), QPointF(w - 12, y));
    QPainterPath branch;
    branch.moveTo(w * 0.30, y);
    branch.cubicTo(w * 0.40, y, w * 0.42, h * 0.36, w * 0.52, h * 0.36);
    branch.lineTo(w - 12, h * 0.36);
    p.drawPath(branch);
    // Detectors: one occupied (green), one free.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2E, 0xB8, 0x4B));
    p.drawRoundedRect(QRectF(w * 0.62, y - 6, 22, 12), 3, 3);
    p.setBrush(QColor(0x9A, 0x9A, 0x9A));
    p.drawRoundedRect(QRectF(w * 0.70, h * 0.36 - 6, 22, 12), 3, 3);
    // A signal showing green beside the main line.
    const QPointF s(w * 0.18, y + 16);
    p.setBrush(QColor(0x20, 0x20, 0x20));
    p.drawRoundedRect(QRectF(s.x() - 6, s.y() - 5, 26, 10), 5, 5);
    p.setBrush(QColor(0x3C, 0xE0, 0x5A));
    p.drawEllipse(QPointF(s.x() + 1, s.y()), 3, 3);
    p.setBrush(QColor(0x55, 0x15, 0x15));
    p.drawEllipse(QPointF(s.x() + 9, s.y()), 3, 3);

    // The clock in the upper left corner.
    const QPointF c(h * 0.30 + 6, h * 0.30);
    const double r = h * 0.22;
    p.setBrush(Qt::white);
    p.setPen(QPen(QColor(0x20, 0x20, 0x20), 2));
    p.drawEllipse(c, r, r);
    p.setPen(QPen(QColor(0x20, 0x20, 0x20), 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c, c + QPointF(0, -r * 0.75));
    p.drawLine(c, c + QPointF(r * 0.45, r * 0.2));
    p.setPen(QPen(QColor(0xD0, 0x1C, 0x1C), 1.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c, c + QPointF(-r * 0.6, r * 0.55));
    return pm;
}

TInfoForm::TInfoForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("InfoForm"));
    setWindowTitle(QStringLiteral("Info"));

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setFrameShadow(QFrame::Sunken);

    ProgramIcon = new QLabel(panel);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setFixedSize(280, 110);
    ProgramIcon->setScaledContents(true);
    const qreal dpr = parent ? parent->devicePixelRatioF() : qApp->devicePixelRatio();
    ProgramIcon->setPixmap(programPicture(ProgramIcon->size(), dpr));

    ProductName = new QLabel(QStringLiteral("Quarn"), panel);
    ProductName->setObjectName(QStringLiteral("ProductName"));
    QFont big = ProductName->font();
    big.setPointSizeF(big.pointSizeF() * 2.2);
    big.setBold(true);
    ProductName->setFont(big);
    Version = new QLabel(panel);
    Version->setObjectName(QStringLiteral("Version"));
    Maker = new QLabel(QStringLiteral("Digital railroad control over SRCP, by the Quarn developers"), panel);
    Maker->setObjectName(QStringLiteral("Maker"));
    Contact = new QLabel(QStringLiteral("Questions and reports: see README.md, which comes with Quarn"), panel);
    Contact->setObjectName(QStringLiteral("Contact"));
    for (QLabel* l : {ProductName, Version, Maker, Contact})
        l->setAlignment(Qt::AlignHCenter);

    auto* inner = new QVBoxLayout(panel);
    inner->addWidget(ProgramIcon, 0, Qt::AlignHCenter);
    inner->addWidget(ProductName);
    inner->addWidget(Version);
    inner->addSpacing(6);
    inner->addWidget(Maker);
    inner->addWidget(Contact);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(panel);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
    setFixedSize(sizeHint());
}

void TInfoForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TInfoForm::FormShow()
{
    Version->setText(m_version);
    if (const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen()) {
        const QSize sz = s->size();
        move(sz.width() / 2 - width() / 2, sz.height() / 2 - height() / 2);
    }
}
