#include "loco/DecoderCvFile.h"

#include "base/FileReplace.h"
#include "loco/DecoderSheet.h"

#include <QFile>
#include <QRegularExpression>

namespace {
const QString Header = QStringLiteral("; Quarn decoder CVs");
}

std::pair<int, int> cvFileRange(int cv)
{
    if (cv != 17)
        for (const CommonCv& c : commonCvs())
            if (c.cv == cv)
                return {c.min, c.max};
    return {0, 255};
}

QString writeDecoderCvFile(const QString& path, const DecoderCvs& cvs)
{
    QByteArray text = Header.toUtf8() + "\r\n";
    QString comment = cvs.comment;
    comment.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    text += "; " + comment.toUtf8() + "\r\n";
    for (const auto& [cv, value] : cvs.values) {
        const auto [lo, hi] = cvFileRange(cv);
        if (cv < 1 || cv > 1024 || value < lo || value > hi)
            return QStringLiteral("CV%1=%2 is no CV value").arg(cv).arg(value);
        text += "CV" + QByteArray::number(cv) + "=" + QByteArray::number(value) + "\r\n";
    }
    return replaceFileContents(path, text);
}

std::optional<DecoderCvs> readDecoderCvFile(const QString& path, CvFileProblem* problem)
{
    auto fail = [problem](CvFileProblem p) -> std::optional<DecoderCvs> {
        if (problem)
            *problem = std::move(p);
        return std::nullopt;
    };
    using Kind = CvFileProblem::Kind;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail({Kind::CannotOpen, 0, 0, 0, 0, 0, file.errorString()});
    if (file.size() > 1024 * 1024)
        return fail({Kind::TooLarge, 0, 0, 0, 0, 0, {}});
    DecoderCvs cvs;
    static const QRegularExpression valueLine(QStringLiteral(R"(^\s*CV\s*(\d{1,9})\s*=\s*(-?\d{1,9})\s*$)"),
                                              QRegularExpression::CaseInsensitiveOption);
    int number = 0;
    int comments = 0;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        ++number;
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty())
            continue;
        if (line.startsWith(QLatin1Char(';'))) {
            if (++comments == 2)
                cvs.comment = line.mid(1).trimmed();
            continue;
        }
        const auto m = valueLine.match(line);
        if (!m.hasMatch())
            return fail({Kind::NotAValue, number, 0, 0, 0, 0, line.left(60)});
        const int cv = m.captured(1).toInt();
        const int value = m.captured(2).toInt();
        if (cv < 1 || cv > 1024)
            return fail({Kind::NoSuchCv, number, cv, 0, 0, 0, {}});
        const auto [lo, hi] = cvFileRange(cv);
        if (value < lo || value > hi)
            return fail({Kind::OutOfRange, number, cv, value, lo, hi, {}});
        cvs.values[cv] = value;
    }
    return cvs;
}
