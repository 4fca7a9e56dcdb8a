#include "loco/DecoderCvFile.h"

#include "base/FileReplace.h"

#include <QFile>
#include <QRegularExpression>

namespace {
const QString Header = QStringLiteral("; Quarn decoder CVs");
}

QString writeDecoderCvFile(const QString& path, const DecoderCvs& cvs)
{
    QByteArray text = Header.toUtf8() + "\r\n";
    QString comment = cvs.comment;
    comment.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    text += "; " + comment.toUtf8() + "\r\n";
    for (const auto& [cv, value] : cvs.values) {
        if (cv < 1 || cv > 1024 || value < 0 || value > 255)
            return QStringLiteral("CV%1=%2 is no CV value").arg(cv).arg(value);
        text += "CV" + QByteArray::number(cv) + "=" + QByteArray::number(value) + "\r\n";
    }
    return replaceFileContents(path, text);
}

std::optional<DecoderCvs> readDecoderCvFile(const QString& path, QString* why)
{
    auto fail = [why](const QString& text) -> std::optional<DecoderCvs> {
        if (why)
            *why = text;
        return std::nullopt;
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.errorString());
    if (file.size() > 1024 * 1024)
        return fail(QStringLiteral("the file is too large for a CV file"));
    DecoderCvs cvs;
    static const QRegularExpression valueLine(QStringLiteral(R"(^\s*CV\s*(\d{1,4})\s*=\s*(\d{1,3})\s*$)"),
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
        const int cv = m.hasMatch() ? m.captured(1).toInt() : 0;
        const int value = m.hasMatch() ? m.captured(2).toInt() : -1;
        if (cv < 1 || cv > 1024 || value < 0 || value > 255)
            return fail(QStringLiteral("line %1 is no CV value: %2").arg(number).arg(line.left(60)));
        cvs.values[cv] = value;
    }
    return cvs;
}
