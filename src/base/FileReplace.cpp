#include "base/FileReplace.h"

#include "moba/MoBaFileReplace.h"

#include <QFile>

QString replaceFileContents(const QString& path, const QByteArray& bytes)
{
    if (path.isEmpty())
        return QStringLiteral("no file name");
    const std::string why = MoBaReplaceFileContents(QFile::encodeName(path).toStdString(),
                                                    std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    return QString::fromLocal8Bit(why.data(), static_cast<qsizetype>(why.size()));
}

QString keepBackupCopy(const QString& path)
{
    QFile original(path);
    if (!original.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = original.readAll();
    if (original.error() != QFileDevice::NoError)
        return {};
    original.close();
    for (int n = 1; n <= 999; ++n) {
        const QString candidate = path + QStringLiteral(".bak") + (n > 1 ? QString::number(n) : QString());
        QFile existing(candidate);
        if (existing.exists()) {
            if (existing.open(QIODevice::ReadOnly) && existing.readAll() == bytes)
                return candidate;
            continue;
        }
        return replaceFileContents(candidate, bytes).isEmpty() ? candidate : QString();
    }
    return {};
}
