#include "session/widgets/TUhrForm.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QScreen>

#include <cmath>

TUhrForm* UhrForm = nullptr;

namespace {

double degtorad(double degrees)
{
    return degrees * M_PI / 180.0;
}

// The point at `radius` from `center` in the direction `degrees` (clockwise from 12 o'clock).
QPointF polar(QPointF center, double degrees, double radius)
{
    const double a = degtorad(degrees);
    return {center.x() + std::sin(a) * radius, center.y() - std::cos(a) * radius};
}

}  // namespace

TUhrForm::TUhrForm(ModelClock& clock, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint), m_clock(clock)
{
    setObjectName(QStringLiteral("UhrForm"));
    setWindowTitle(QStringLiteral("UhrForm"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFixedSize(ClientWidth, ClientWidth);
    Center = QPoint(ClientWidth / 2, ClientWidth / 2);
    if (const QScreen* s = QGuiApplication::primaryScreen()) {
        const QRect r = s->availableGeometry();
        move(r.center() - QPoint(ClientWidth / 2, ClientWidth / 2));
    }
    Timer1.setInterval(1000);
    connect(&Timer1, &QTimer::timeout, this, &TUhrForm::Timer1Timer);
    Timer1.start();
}

void TUhrForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TUhrForm::FormShow()
{
    Timer1.setInterval(m_clock.timerInterval());
    Timer1.start();
    FormCanClose = false;
    showTime(m_clock.shown(QTime::currentTime()));
}

void TUhrForm::closeEvent(QCloseEvent* event)
{
    if (FormCanClose)
        event->accept();
    else
        event->ignore();
}

void TUhrForm::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Center = QPoint(width() / 2, height() / 2);
    update();
}

void TUhrForm::Timer1Timer()
{
    showTime(m_clock.tick(QTime::currentTime()));
}

void TUhrForm::showTime(const ClockTime& t)
{
    m_shown = t;
    setWindowTitle(ModelClock::caption(t));
    const ClockHands h = ModelClock::hands(t);
    OldSecs = h.secs;
    OldMins = h.mins;
    OldHrs = h.hrs;
    m_hourHand = h.hourHand;
    if (isVisible())
        update();
}

void TUhrForm::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    paintClock(p);
}

void TUhrForm::paintClock(QPainter& p) const
{
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c(Center);
    const QRectF all(0, 0, width(), height());

    // Window background, then a white dial with a dark rim and a faint shade towards the rim.
    p.fillRect(all, QColor(0xE9, 0xEB, 0xEE));
    const double rim = std::min(66.0, std::min(width(), height()) / 2.0 - 3);  // just outside the ticks
    QRadialGradient face(c, rim);
    face.setColorAt(0.0, Qt::white);
    face.setColorAt(0.85, Qt::white);
    face.setColorAt(1.0, QColor(0xE4, 0xE4, 0xE4));
    p.setPen(QPen(QColor(0x2B, 0x2B, 0x2B), 2.5));
    p.setBrush(face);
    p.drawEllipse(c, rim, rim);

    // Ticks: every fifth one long and bold.
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 60; ++i) {
        const bool hour = i % 5 == 0;
        QPen pen(hour ? QColor(0x1A, 0x1A, 0x1A) : QColor(0x50, 0x50, 0x50), hour ? 4 : 1.5);
        pen.setCapStyle(Qt::FlatCap);
        p.setPen(pen);
        p.drawLine(polar(c, i * 6, hour ? 53 : 57), polar(c, i * 6, 60));
    }

    // Hands: lengths from the dial's half height as the clock always had them (53, 50 and 32
    // pixels on the usual window), hours and minutes black, seconds red.
    const int h = height() / 2;
    auto hand = [&](double degrees, int length, double width, const QColor& colour, double tail) {
        QPen pen(colour, width);
        pen.setCapStyle(Qt::RoundCap);
        p.setPen(pen);
        p.drawLine(polar(c, degrees + 180, tail), polar(c, degrees, length + 60));
    };
    hand(m_hourHand, h / 6 - 40, 4, QColor(0x14, 0x14, 0x14), 6);
    hand(OldMins, h / 3 - 35, 2, QColor(0x14, 0x14, 0x14), 8);
    const QColor red(0xD0, 0x1C, 0x1C);
    hand(OldSecs, h / 3 - 32, 1.6, red, 14);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x14, 0x14, 0x14));
    p.drawEllipse(c, 4, 4);
    p.setBrush(red);
    p.drawEllipse(c, 2.2, 2.2);
}
