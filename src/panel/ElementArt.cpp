#include "panel/ElementArt.h"

#include <QPainter>
#include <QPainterPath>
#include <QTransform>

#include <array>
#include <algorithm>
#include <cmath>

namespace icongen {
namespace {

const QColor Ground(0xC0, 0xC0, 0xC0);
const QColor Rail(0x26, 0x26, 0x26);
const QColor Idle(0x94, 0x94, 0x94);      // the branch a turnout is not set to
const QColor RouteCore(0xFF, 0xD0, 0x00); // route-marked track
const QColor LampOff(0x4A, 0x4A, 0x4A);
const QColor Red(0xF0, 0x20, 0x20);
const QColor Green(0x20, 0xE0, 0x30);
const QColor Yellow(0xFF, 0xD8, 0x00);
const QColor White(0xFF, 0xFF, 0xFF);
constexpr double TrackWidth = 5.0;
constexpr double Mid = Tile / 2.0;  // 13.5: the centre line meets every edge here

// Names from the message table (ids 401..488); the two unnamed cells are plain straight track.
const std::array<const char*, 22> RowNames[4] = {
    {"Three aspect signal, horizontally, Right traffic", "Warning signal, horizontally, Right traffic",
     "Three aspect signal, horizontally, Right traffic", "Three aspect signal, horizontally, Right traffic",
     "Two aspect signal, horizontally, Right traffic", "Track block signal, horizontally",
     "Two aspect signal, horizontally, Right traffic", "Track block signal, horizontally", "Track, curved",
     "Track, curved", "Track, diagonally", "Buffer stop", "Diamond crossing, horizontally",
     "Turnout, horizontally", "Turnout, horizontally", "Turnout, diagonally", "Turnout, diagonally",
     "Crossing with slips, horizontally", "Turnout, horizontally", "Uncoupling track, horizontally",
     "Track, straight", "Emergency stop"},
    {"Three aspect signal, horizontally, Right traffic", "Warning signal, horizontally, Right traffic",
     "Three aspect signal, horizontally, Right traffic", "Three aspect signal, horizontally, Right traffic",
     "Two aspect signal, horizontally, Right traffic", "Track block signal, horizontally",
     "Two aspect signal, horizontally, Right traffic", "Track block signal, horizontally", "Track, curved",
     "Track, curved", "Track, diagonally", "Buffer stop", "Diamond crossing, horizontally",
     "Turnout, horizontally", "Turnout, horizontally", "Turnout, diagonally", "Turnout, diagonally",
     "Crossing with slips, horizontally", "Turnout, horizontally", "Uncoupling track, horizontally",
     "Track, straight", "Light switch"},
    {"Three aspect signal, perpendicularly, Right traffic", "Warning signal, perpendicularly, Right traffic",
     "Three aspect signal, perpendicularly, Right traffic", "Three aspect signal, perpendicularly, Right traffic",
     "Two aspect signal, perpendicularly, Right traffic", "Track block signal, perpendicularly",
     "Two aspect signal, perpendicularly, Right traffic", "Track block signal, perpendicularly",
     "Track, curved", "Track, curved", "Track, straight", "Buffer stop", "Diamond crossing, perpendicularly",
     "Turnout, perpendicularly", "Turnout, perpendicularly", "Turnout, diagonally", "Turnout, diagonally",
     "Crossing with slips, perpendicularly", "Turnout, perpendicularly", "Uncoupling track, perpendicularly",
     "Feedback detector", "Route switch"},
    {"Three aspect signal, perpendicularly, Right traffic", "Warning signal, perpendicularly, Right traffic",
     "Three aspect signal, perpendicularly, Right traffic", "Three aspect signal, perpendicularly, Right traffic",
     "Two aspect signal, perpendicularly, Right traffic", "Track block signal, perpendicularly",
     "Two aspect signal, perpendicularly, Right traffic", "Track block signal, perpendicularly",
     "Track, curved", "Track, curved", "Track, straight ", "Buffer stop", "Diamond crossing perpendicularly",
     "Turnout perpendicularly", "Turnout perpendicularly", "Turnout diagonally", "Turnout diagonally",
     "Crossing with slips, perpendicularly", "Turnout, perpendicularly", "Uncoupling track, perpendicularly",
     "Feedback detector", "Route switch"},
};

enum class Look { Plain, Idle, Route };

// Points of the tile (canonical orientation: horizontal track, traffic left to right).
const QPointF LeftMid(0, Mid), RightMid(Tile, Mid), TopRight(Tile, 0), BottomRight(Tile, Tile),
    BottomLeft(0, Tile);

// A track path from a to b: straight, or a curve whose ends leave in the direction of the edge
// they meet (horizontal at an edge middle, 45 degrees at a corner). Both ends run on a little
// beyond the tile so that the stroke is cut clean by the tile edge.
QPainterPath trackPath(QPointF a, QPointF b, bool curved)
{
    auto outward = [](QPointF p) {
        QPointF d(p.x() <= 0 ? -1 : (p.x() >= Tile ? 1 : 0), p.y() <= 0 ? -1 : (p.y() >= Tile ? 1 : 0));
        if (p.x() > 0 && p.x() < Tile) d.setX(0);
        if (p.y() > 0 && p.y() < Tile) d.setY(0);
        return d * 4.0;
    };
    QPainterPath path(a + outward(a));
    path.lineTo(a);
    if (curved)
        path.quadTo(QPointF(Mid, Mid), b);
    else
        path.lineTo(b);
    path.lineTo(b + outward(b));
    return path;
}

void stroke(QPainter& p, const QPainterPath& path, Look look)
{
    p.setBrush(Qt::NoBrush);
    switch (look) {
    case Look::Plain:
        p.setPen(QPen(Rail, TrackWidth, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
        p.drawPath(path);
        break;
    case Look::Idle:
        p.setPen(QPen(Idle, TrackWidth - 1, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
        p.drawPath(path);
        break;
    case Look::Route:
        p.setPen(QPen(Rail, TrackWidth, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
        p.drawPath(path);
        p.setPen(QPen(RouteCore, 2.2, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
        p.drawPath(path);
        break;
    }
}

void track(QPainter& p, QPointF a, QPointF b, bool curved, Look look) { stroke(p, trackPath(a, b, curved), look); }

void lamp(QPainter& p, QPointF c, const QColor& lit, bool on, double r = 2.0)
{
    p.setPen(Qt::NoPen);
    if (on) {
        QColor halo = lit;
        halo.setAlpha(90);
        p.setBrush(halo);
        p.drawEllipse(c, r + 1.0, r + 1.0);
    }
    p.setBrush(on ? lit : LampOff);
    p.drawEllipse(c, r, r);
}

// Signal beside the track (below it in the canonical orientation), head towards the travel direction.
void signalBody(QPainter& p, int column, int state)
{
    const bool go = state == 2 || state == 12;
    const bool dwarf = column == 7 || column == 8;
    const double headY = dwarf ? 21.5 : 22.0;
    p.setRenderHint(QPainter::Antialiasing, true);
    // mast: foot across, stem along the track
    p.setPen(QPen(Rail, 1.6, Qt::SolidLine, Qt::FlatCap));
    if (!dwarf) {
        p.drawLine(QPointF(3.5, 18.5), QPointF(3.5, 25.5));
        p.drawLine(QPointF(3.5, headY), QPointF(11.0, headY));
    } else {
        p.drawLine(QPointF(9.5, 18.5), QPointF(9.5, 25.5));
        p.drawLine(QPointF(9.5, headY), QPointF(13.0, headY));
    }
    p.setPen(QPen(QColor(0x10, 0x10, 0x10), 1.0));
    p.setBrush(QColor(0x18, 0x18, 0x18));
    switch (column) {
    case 1: case 3: case 4: {  // three lamps
        p.drawRoundedRect(QRectF(10.5, 18.0, 16.0, 8.0), 3.0, 3.0);
        const bool red = !go;
        const bool green = go && (column == 1 || column == 3);
        const bool yellow = go && (column == 3 || column == 4);
        lamp(p, QPointF(14.0, 22.0), Yellow, yellow, 1.9);
        lamp(p, QPointF(18.5, 22.0), Green, green, 1.9);
        lamp(p, QPointF(23.0, 22.0), Red, red, 1.9);
        break;
    }
    case 2: {  // warning signal: round disc
        p.drawEllipse(QPointF(18.5, 22.0), 5.0, 5.0);
        lamp(p, QPointF(16.5, 22.0), Yellow, !go, 1.7);
        lamp(p, QPointF(20.5, 22.0), Green, go, 1.7);
        break;
    }
    case 5: case 7: {  // two lamps
        p.drawRoundedRect(QRectF(dwarf ? 12.5 : 10.5, 18.0, 12.0, 8.0), 3.0, 3.0);
        const double x0 = dwarf ? 16.0 : 14.0;
        lamp(p, QPointF(x0, 22.0), column == 7 ? White : Green, go, 1.9);
        lamp(p, QPointF(x0 + 4.5, 22.0), Red, !go, 1.9);
        break;
    }
    case 6: case 8: {  // block signal: square head with a white plate
        const double x0 = dwarf ? 12.5 : 10.5;
        p.drawRect(QRectF(x0, 17.5, 10.0, 9.0));
        p.setPen(Qt::NoPen);
        p.setBrush(White);
        p.drawRect(QRectF(x0 + 10.0, 19.5, 3.5, 5.0));
        lamp(p, QPointF(x0 + 2.9, 22.0), Green, go, 1.9);
        lamp(p, QPointF(x0 + 7.1, 22.0), Red, !go, 1.9);
        break;
    }
    default:
        break;
    }
}

QTransform rowGeometry(int row)
{
    switch (row) {
    case 1: return QTransform(-1, 0, 0, 1, Tile, 0);     // mirrored left to right
    case 2: return QTransform(0, 1, 1, 0, 0, 0);         // vertical: x and y swapped
    case 3: return QTransform(0, -1, 1, 0, 0, Tile);     // vertical, mirrored
    default: return QTransform();
    }
}

QTransform rowSignal(int row)
{
    QTransform t;
    switch (row) {
    case 1: t.translate(Tile, Tile); t.rotate(180); break;  // traffic right to left
    case 2: t.translate(0, Tile); t.rotate(-90); break;     // traffic upwards
    case 3: t.translate(Tile, 0); t.rotate(90); break;      // traffic downwards
    default: break;
    }
    return t;
}

void isolationMarks(QPainter& p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(Ground);
    p.drawRect(QRectF(12.5, 10.0, 2.0, 7.0));
    p.setBrush(Rail);
    p.drawRect(QRectF(10.5, 7.0, 1.2, 13.0));
    p.drawRect(QRectF(15.3, 7.0, 1.2, 13.0));
}

void detector(QPainter& p, int state)
{
    const bool occupied = state == 2 || state == 12;
    track(p, LeftMid, RightMid, false, state > 10 ? Look::Route : Look::Plain);
    QRectF box(6.5, 8.5, 14.0, 10.0);
    p.setPen(QPen(QColor(0x10, 0x10, 0x10), 1.0));
    p.setBrush(occupied ? QColor(0xE0, 0x18, 0x18) : QColor(0x2E, 0x9E, 0x3A));
    p.drawRoundedRect(box, 2.5, 2.5);
    p.setBrush(occupied ? QColor(0xFF, 0x9A, 0x9A) : QColor(0xA8, 0xF0, 0xA8));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(9.0, 11.0, 9.0, 2.0), 1.0, 1.0);
}

void buttonFace(QPainter& p, bool round, const QColor& face, bool pressed, bool routeLit)
{
    QRectF r(3.5, 3.5, 20.0, 20.0);
    QColor light = pressed ? QColor(0x60, 0x60, 0x60) : QColor(0xF4, 0xF4, 0xF4);
    QColor dark = pressed ? QColor(0xF4, 0xF4, 0xF4) : QColor(0x50, 0x50, 0x50);
    p.setPen(QPen(dark, 2.0));
    p.setBrush(face);
    if (round) p.drawEllipse(r); else p.drawRoundedRect(r, 3.0, 3.0);
    p.setPen(QPen(light, 1.5));
    p.setBrush(Qt::NoBrush);
    if (round) p.drawArc(r.adjusted(1, 1, -1, -1), 45 * 16, 180 * 16);
    else {
        p.drawLine(QPointF(5, 21.5), QPointF(5, 5));
        p.drawLine(QPointF(5, 5), QPointF(21.5, 5));
    }
    if (routeLit) lamp(p, QPointF(13.5, 13.5), Yellow, true, 4.5);
}

void special(QPainter& p, int n, int state)
{
    const bool on = state == 2 || state == 12 || state == 11;
    switch (n) {
    case 22: {  // emergency stop: red octagon with a white bar
        QPolygonF oct;
        for (int i = 0; i < 8; ++i) {
            const double a = (22.5 + 45.0 * i) * 3.14159265358979 / 180.0;
            oct << QPointF(13.5 + 11.5 * std::cos(a), 13.5 + 11.5 * std::sin(a));
        }
        p.setPen(QPen(on ? QColor(0x50, 0, 0) : QColor(0x30, 0x30, 0x30), 1.5));
        p.setBrush(on ? QColor(0x90, 0x08, 0x08) : QColor(0xE0, 0x10, 0x10));
        p.drawPolygon(oct);
        p.setPen(Qt::NoPen);
        p.setBrush(on ? QColor(0xFF, 0xD8, 0x00) : White);
        p.drawRect(QRectF(6.5, 11.5, 14.0, 4.0));
        break;
    }
    case 44: {  // light switch: bulb
        p.setPen(QPen(QColor(0x30, 0x30, 0x30), 1.2));
        if (on) {
            QRadialGradient g(QPointF(13.5, 10.5), 11.0);
            g.setColorAt(0, QColor(0xFF, 0xFF, 0xC0));
            g.setColorAt(1, QColor(0xFF, 0xD0, 0x00, 0));
            p.setBrush(g);
            p.setPen(Qt::NoPen);
            p.drawEllipse(QPointF(13.5, 10.5), 12.0, 10.5);
            p.setPen(QPen(QColor(0x30, 0x30, 0x30), 1.2));
        }
        p.setBrush(on ? QColor(0xFF, 0xE4, 0x30) : QColor(0xE8, 0xE8, 0xE8));
        p.drawEllipse(QPointF(13.5, 10.5), 6.5, 6.5);
        p.setBrush(QColor(0x70, 0x70, 0x70));
        p.drawRect(QRectF(10.5, 17.0, 6.0, 5.0));
        p.drawLine(QPointF(11.0, 23.5), QPointF(16.0, 23.5));
        break;
    }
    case 66:
        buttonFace(p, false, on ? QColor(0x38, 0x58, 0x98) : QColor(0x50, 0x78, 0xC8), on, state == 11);
        break;
    case 88:
        buttonFace(p, true, on ? QColor(0x38, 0x70, 0x38) : QColor(0x50, 0xA0, 0x50), on, state == 11);
        break;
    default:
        break;
    }
}

// Track geometry of one column in the canonical orientation.
void geometry(QPainter& p, int column, int row, int state)
{
    const bool route = state > 10;
    const int s = route ? state - 10 : state;
    const Look on = route ? Look::Route : Look::Plain;
    switch (column) {
    case 9: track(p, LeftMid, TopRight, true, on); break;
    case 10: track(p, LeftMid, BottomRight, true, on); break;
    case 11:
        if (row < 2) track(p, BottomLeft, TopRight, false, on);
        else {
            track(p, LeftMid, RightMid, false, on);
            if (row == 3) isolationMarks(p);
        }
        break;
    case 12:  // buffer stop
        track(p, LeftMid, QPointF(19.0, Mid), false, on);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x9A, 0x14, 0x14));
        p.drawRect(QRectF(19.0, 6.5, 4.0, 14.0));
        p.setBrush(Rail);
        p.drawRect(QRectF(23.0, 9.5, 1.5, 8.0));
        break;
    case 13:  // diamond crossing
        track(p, BottomLeft, TopRight, false, on);
        track(p, LeftMid, RightMid, false, on);
        break;
    case 14: case 15: {
        const QPointF end = column == 14 ? TopRight : BottomRight;
        if (s != 2) {
            track(p, LeftMid, end, true, Look::Idle);
            track(p, LeftMid, RightMid, false, on);
        } else {
            track(p, LeftMid, RightMid, false, Look::Idle);
            track(p, LeftMid, end, true, on);
        }
        break;
    }
    case 16: case 17: {
        const QPointF from = column == 16 ? BottomLeft : TopRight;
        const QPointF to = column == 16 ? RightMid : LeftMid;
        const bool straight = s != 2;
        if (straight) {
            track(p, from, to, true, Look::Idle);
            track(p, BottomLeft, TopRight, false, on);
        } else {
            track(p, BottomLeft, TopRight, false, Look::Idle);
            track(p, from, to, true, on);
        }
        break;
    }
    case 18: {  // crossing with slips: straight routes or the two slip curves
        auto straights = [&](Look l) {
            track(p, LeftMid, RightMid, false, l);
            track(p, BottomLeft, TopRight, false, l);
        };
        auto slips = [&](Look l) {
            track(p, LeftMid, TopRight, true, l);
            track(p, BottomLeft, RightMid, true, l);
        };
        if (s != 2) { slips(Look::Idle); straights(on); }
        else { straights(Look::Idle); slips(on); }
        break;
    }
    case 19: {  // three-way turnout
        const QPointF ends[3] = {RightMid, TopRight, BottomRight};
        const int active = (s >= 1 && s <= 3) ? s - 1 : 0;
        for (int i = 0; i < 3; ++i)
            if (i != active) track(p, LeftMid, ends[i], i != 0, Look::Idle);
        track(p, LeftMid, ends[active], active != 0, on);
        break;
    }
    case 20: {  // uncoupling track: coil across the track, lit while active
        track(p, LeftMid, RightMid, false, on);
        p.setPen(QPen(Rail, 1.3));
        p.setBrush(s == 2 ? Yellow : QColor(0xE6, 0xE6, 0xE6));
        p.drawRect(QRectF(8.5, 7.5, 10.0, 12.0));
        p.setPen(QPen(Rail, 1.0));
        for (double x = 10.5; x < 18.0; x += 2.5) p.drawLine(QPointF(x, 8.5), QPointF(x, 18.5));
        break;
    }
    case 21:
        if (row == 2 || row == 3) detector(p, state);
        else {
            track(p, LeftMid, RightMid, false, on);
            if (row == 1) isolationMarks(p);
        }
        break;
    default:
        break;
    }
}

}  // namespace

ElementInfo elementInfo(int number)
{
    ElementInfo info;
    info.number = number;
    if (number < 1 || number > 88) return info;
    const int row = (number - 1) / 22, column = (number - 1) % 22 + 1;
    info.name = QString::fromLatin1(RowNames[row][column - 1]);
    if (column <= 8) info.kind = 2;                         // signals
    else if (column == 14 || column == 15 || column == 16 || column == 17 || column == 18) info.kind = 2;
    else if (column == 19) info.kind = 3;                   // three-way turnout
    else if (column == 20) info.kind = 1;                   // uncoupling track
    else if (column == 22) info.kind = row == 0 ? 1 : (row == 1 ? 2 : 0);  // stop, light, route switch
    else info.kind = 0;
    // Kind 1 elements go to state 2 when operated (momentary ones return to 1), so they have two icons.
    info.iconStates = info.kind == 1 ? 2 : std::max(info.kind, 1);
    if (number == 65 || number == 87 || number == 66 || number == 88) info.iconStates = 2;
    return info;
}

QImage drawElement(int number, int state) { return drawElement(number, state, Tile); }

QImage drawElement(int number, int state, int size)
{
    size = std::max(1, size);
    QImage img(size, size, QImage::Format_RGB32);
    img.fill(Ground);
    const int row = (number - 1) / 22, column = (number - 1) % 22 + 1;
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    // The art is drawn on the 27-pixel tile; a larger picture is the same drawing scaled.
    const QTransform scale = QTransform::fromScale(double(size) / Tile, double(size) / Tile);
    p.setTransform(scale);
    if (column == 22) {
        special(p, number, state);
        return img;
    }
    if (column <= 8) {
        p.setTransform(rowSignal(row) * scale);
        track(p, LeftMid, RightMid, false, state > 10 ? Look::Route : Look::Plain);
        signalBody(p, column, state);
        return img;
    }
    if (number == 65) {  // the one detector lies horizontally, the other upright
        detector(p, state);
        return img;
    }
    if (number == 87) {
        p.setTransform(rowGeometry(2) * scale);
        detector(p, state);
        return img;
    }
    p.setTransform(rowGeometry(row) * scale);
    geometry(p, column, row, state);
    return img;
}

}  // namespace icongen
