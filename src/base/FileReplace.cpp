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
