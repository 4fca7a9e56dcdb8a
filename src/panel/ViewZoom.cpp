#include "panel/ViewZoom.h"

#include "base/AppState.h"
#include "base/FileReplace.h"
#include "base/PositionTable.h"
#include "layout/C_Position.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>

#include <algorithm>
#include <array>

namespace ViewZoom {
namespace {
constexpr std::array<int, 15> Steps{25, 33, 50, 67, 75, 90, 100, 110, 125, 150, 175, 200, 250, 300, 400};
}

int clampPercent(int percent) { return std::clamp(percent, MinPercent, MaxPercent); }

int stepIn(int percent)
{
    for (int s : Steps)
        if (s > percent)
            return s;
    return MaxPercent;
}

int stepOut(int percent)
{
    for (auto it = Steps.rbegin(); it != Steps.rend(); ++it)
        if (*it < percent)
            return *it;
    return MinPercent;
}

QRect usedArea(const AppState& main, const C_Position& postable)
{
    QRect area;
    for (int i = 0; i < postable.getNumbofEntries(); ++i)
        if (const tPosEntry* e = postable.getEntryByNum(i))
            area |= QRect(e->Posx, e->Posy, 27, 27);
    for (const auto& t : main.Textliste) {
        if (!t)
            continue;
        const QRect box = QFontMetrics(t->TextFont).boundingRect(QRect(t->XText, t->YText, 2000, 2000),
                                                                 Qt::AlignLeft | Qt::AlignTop, t->TextInfo);
        area |= box;
    }
    const QRect picture(0, 0, main.Quarnbreite, main.Quarnhoehe);
    area &= picture;
    if (area.isEmpty())
        return picture;
    // whole cells
    const int left = area.left() / 27 * 27, top = area.top() / 27 * 27;
    const int right = (area.right() / 27 + 1) * 27, bottom = (area.bottom() / 27 + 1) * 27;
    return QRect(left, top, right - left, bottom - top);
}

int fitPercent(QSize view, QRect area)
{
    if (area.isEmpty() || view.isEmpty())
        return 100;
    const int byWidth = int(100LL * view.width() / area.width());
    const int byHeight = int(100LL * view.height() / area.height());
    return clampPercent(std::min(byWidth, byHeight));
}

QString sideFile(const QString& layoutPath)
{
    const QFileInfo fi(layoutPath);
    return fi.dir().filePath(fi.completeBaseName() + QStringLiteral(".zoom"));
}

int load(const QString& layoutPath)
{
    QFile f(sideFile(layoutPath));
    if (layoutPath.isEmpty() || !f.open(QIODevice::ReadOnly))
        return 100;
    bool ok = false;
    const int percent = QString::fromLatin1(f.read(32)).trimmed().toInt(&ok);
    return ok && percent >= MinPercent && percent <= MaxPercent ? percent : 100;
}

QString save(const QString& layoutPath, int percent)
{
    return replaceFileContents(sideFile(layoutPath), QByteArray::number(clampPercent(percent)) + "\r\n");
}

}  // namespace ViewZoom
