// Writes the element icons, the small throttle icons and the element catalogue "Elemente1.dat".
// Usage: quarn-icongen <output folder> [--preview <png>]

#include "panel/ElementArt.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>

using namespace icongen;

namespace {

QString iconName(int n, int state)
{
    return QStringLiteral("Icon%1%2.bmp").arg(n, 2, 10, QLatin1Char('0')).arg(state, 2, 10, QLatin1Char('0'));
}

bool save(const QImage& img, const QString& path)
{
    if (!img.convertToFormat(QImage::Format_RGB888).save(path, "BMP")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

// 15 x 15 function and direction icons on the grey ground of the throttle panel.
QImage small() { QImage img(15, 15, QImage::Format_RGB32); img.fill(QColor(0xC0, 0xC0, 0xC0)); return img; }

QImage arrow(int dir)  // -1 left, 1 right, 0 both ways
{
    QImage img = small();
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x20, 0x20, 0x20));
    auto head = [&](bool right) {
        QPolygonF t;
        if (right) t << QPointF(14, 7.5) << QPointF(9, 2.5) << QPointF(9, 12.5);
        else t << QPointF(1, 7.5) << QPointF(6, 2.5) << QPointF(6, 12.5);
        p.drawPolygon(t);
    };
    p.drawRect(QRectF(dir < 0 ? 5.5 : (dir > 0 ? 1.5 : 5.5), 6, dir == 0 ? 4 : 8, 3));
    if (dir <= 0) head(false);
    if (dir >= 0) head(true);
    return img;
}

QImage functionIcon(int kind, bool on)
{
    QImage img = small();
    if (kind == 0) return img;
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink = on ? QColor(0x10, 0x10, 0x10) : QColor(0x70, 0x70, 0x70);
    const QColor lit = on ? QColor(0xFF, 0xD8, 0x00) : QColor(0xA0, 0xA0, 0xA0);
    p.setPen(QPen(ink, 1.2));
    switch (kind) {
    case 1:  // generic function: a lamp-like disc
        p.setBrush(on ? QColor(0x20, 0xD0, 0x30) : QColor(0x90, 0x90, 0x90));
        p.drawEllipse(QPointF(7.5, 7.5), 5, 5);
        break;
    case 2: {  // horn
        QPolygonF horn;
        horn << QPointF(2, 6) << QPointF(6, 6) << QPointF(12, 2) << QPointF(12, 13) << QPointF(6, 9) << QPointF(2, 9);
        p.setBrush(lit);
        p.drawPolygon(horn);
        break;
    }
    case 3:  // coupling: two hooks
        p.setBrush(lit);
        p.drawRect(QRectF(1.5, 5.5, 5, 4));
        p.drawRect(QRectF(8.5, 5.5, 5, 4));
        p.drawLine(QPointF(6.5, 7.5), QPointF(8.5, 7.5));
        break;
    case 4:  // coach lights: a coach with windows
        p.setBrush(QColor(0x40, 0x60, 0x90));
        p.drawRoundedRect(QRectF(1.5, 3.5, 12, 8), 1.5, 1.5);
        p.setPen(Qt::NoPen);
        p.setBrush(lit);
        for (int x = 3; x < 13; x += 4) p.drawRect(QRectF(x, 5.5, 2.5, 3));
        break;
    case 5:  // head lights: lamp with rays
        p.setBrush(lit);
        p.drawEllipse(QPointF(5, 7.5), 3.5, 3.5);
        if (on) for (int dy = -4; dy <= 4; dy += 4) p.drawLine(QPointF(10, 7.5 + dy / 2.0), QPointF(14, 7.5 + dy));
        break;
    case 6:  // steam: clouds
        p.setBrush(on ? QColor(0xF8, 0xF8, 0xF8) : QColor(0xA8, 0xA8, 0xA8));
        p.drawEllipse(QPointF(5, 9), 3.5, 3.5);
        p.drawEllipse(QPointF(9.5, 6), 4, 4);
        break;
    case 8:  // slow: snail-like spiral as two arcs
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(on ? QColor(0x10, 0x60, 0xC0) : QColor(0x70, 0x70, 0x70), 1.6));
        p.drawArc(QRectF(3, 3, 9, 9), 0, 300 * 16);
        p.drawArc(QRectF(5.5, 5.5, 4, 4), 90 * 16, 270 * 16);
        break;
    default:
        break;
    }
    return img;
}

bool writeCatalogue(const QString& path)
{
    QByteArray text;
    auto line = [&](const QString& s) { text += s.toLatin1(); text += "\r\n"; };
    for (int n = 1; n <= 88; ++n) {
        const ElementInfo e = elementInfo(n);
        const int i = (n - 1) % 22, j = (n - 1) / 22;
        line(QString::number(n));
        line(e.name);
        line(QString::number(1 + 28 * i));
        line(QString::number(1 + 28 * j));
        line(QString::number(e.kind));
        line(QString::number(j));
        for (int s = 1; s <= 3; ++s) line(s <= e.iconStates ? iconName(n, s) : QString());
        for (int s = 1; s <= 3; ++s) line(s <= e.iconStates ? iconName(n, 10 + s) : QString());
    }
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(text) != text.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

// One picture of every element in every state, scaled up, for looking at the set.
QImage preview()
{
    const int scale = 3, gap = 4;
    QImage sheet(22 * (27 * scale + gap) + gap, 4 * 6 * (27 * scale + gap) + gap, QImage::Format_RGB32);
    sheet.fill(QColor(0x80, 0x80, 0x80));
    QPainter p(&sheet);
    const int states[6] = {1, 2, 3, 11, 12, 13};
    for (int n = 1; n <= 88; ++n) {
        const ElementInfo e = elementInfo(n);
        for (int k = 0; k < 6; ++k) {
            const int s = states[k];
            if ((s % 10) > e.iconStates) continue;
            const int col = (n - 1) % 22, row = ((n - 1) / 22) * 6 + k;
            p.drawImage(QRect(gap + col * (27 * scale + gap), gap + row * (27 * scale + gap), 27 * scale, 27 * scale),
                        drawElement(n, s));
        }
    }
    return sheet;
}

}  // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: quarn-icongen <output folder> [--preview <png>]\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]) + QLatin1Char('/');
    QDir().mkpath(out);
    bool ok = true;
    int files = 0;
    for (int n = 1; n <= 88; ++n) {
        const ElementInfo e = elementInfo(n);
        for (int s = 1; s <= e.iconStates; ++s) {
            ok &= save(drawElement(n, s), out + iconName(n, s));
            ok &= save(drawElement(n, 10 + s), out + iconName(n, 10 + s));
            files += 2;
        }
    }
    ok &= writeCatalogue(out + QStringLiteral("Elemente1.dat"));
    ok &= save(arrow(-1), out + QStringLiteral("pfeil_li.bmp"));
    ok &= save(arrow(1), out + QStringLiteral("pfeil_re.bmp"));
    ok &= save(arrow(0), out + QStringLiteral("pfeil_dop.bmp"));
    const char* names[9][2] = {{"Empty", "Empty"},          {"func_off", "func_on"},
                               {"hupe_aus", "hupe_an"},     {"kupplung_aus", "kupplung_an"},
                               {"wagenlicht_aus", "wagenlicht_an"}, {"licht_aus", "licht_an"},
                               {"dampf_aus", "dampf_an"},   {nullptr, nullptr},
                               {"slow_off", "slow_on"}};
    for (int k = 0; k < 9; ++k) {
        if (!names[k][0]) continue;
        for (int on = 0; on < 2; ++on)
            ok &= save(functionIcon(k, on), out + QString::fromLatin1(names[k][on]) + QStringLiteral(".bmp"));
    }
    // Both spellings of the basic function icons, for case-sensitive file systems.
    ok &= save(functionIcon(1, true), out + QStringLiteral("Func_on.bmp"));
    ok &= save(functionIcon(1, false), out + QStringLiteral("Func_off.bmp"));
    for (int i = 2; i + 1 < argc; ++i)
        if (QByteArray(argv[i]) == "--preview") ok &= preview().save(QString::fromLocal8Bit(argv[i + 1]));
    std::printf("%d element icons written to %s\n", files, qPrintable(out));
    return ok ? 0 : 1;
}
