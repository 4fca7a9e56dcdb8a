#pragma once
// The function and direction icons of the throttles and the loco setup dialog, loaded from the data
// folder by file name. Names are matched without regard to letter case ("Func_on.bmp" and
// "func_on.bmp" name the same picture), also on file systems that tell case apart.

#include "base/IconCache.h"

#include <QImage>
#include <QString>

#include <functional>

class LocoIcons {
public:
    // dataPath: the data folder with trailing separator, asked for at every load.
    explicit LocoIcons(std::function<QString()> dataPath) : m_dataPath(std::move(dataPath)) {}

    // The picture of `name`; throws IconLoadError when no file of that name (in any case) exists or
    // it cannot be decoded.
    const QImage& load(const QString& name);
    // The path of the file that `name` names in the data folder, or an empty string.
    QString resolve(const QString& name) const;

private:
    std::function<QString()> m_dataPath;
    IconCache m_cache;
};
