#include "app/StartLayout.h"

#include <QFileInfo>

StartOptions parseStartOptions(const QStringList& arguments)
{
    StartOptions o;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QLatin1String("--debug"))
            o.debug = true;
        else if (!a.startsWith(QLatin1Char('-')) && o.layout.isEmpty() && !a.isEmpty())
            o.layout = QFileInfo(a).absoluteFilePath();
    }
    return o;
}

std::optional<QString> StartLayoutDialogs::openFileName(const QString& title, const QString& folder,
                                                       const QString& filter)
{
    if (m_next) {
        std::optional<QString> answer = std::move(m_next);
        m_next.reset();
        return answer;
    }
    return m_inner.openFileName(title, folder, filter);
}
