#include "ui/widgets/HelpOpener.h"

#include <QDesktopServices>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include <memory>

void openInBrowser(const QString& path, std::function<void()> failed)
{
    const QUrl url = QUrl::fromLocalFile(path);
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) {
        if (!QDesktopServices::openUrl(url) && failed)
            failed();
        return;
    }
    // xdg-open reports a missing browser or a failed start by its exit code (1 to 4). It may also
    // run on as long as the browser it started does: only an early failure counts as one.
    auto* process = new QProcess;  // no owner: ending the program must not end the browser
    auto since = std::make_shared<QElapsedTimer>();
    since->start();
    QObject::connect(process, &QProcess::finished, process,
                     [process, failed, since](int code, QProcess::ExitStatus status) {
                         if (status == QProcess::NormalExit && code >= 1 && code <= 4 && since->elapsed() < 15000
                             && failed)
                             failed();
                         process->deleteLater();
                     });
    QObject::connect(process, &QProcess::errorOccurred, process, [process, failed](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart) {
            if (failed)
                failed();
            process->deleteLater();
        }
    });
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    process->start(opener, {url.toString()});
}
