#include "app/desktop_open.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

namespace qb {

QString desktopOpener() {
    const QString chosen =
        QProcessEnvironment::systemEnvironment().value(QStringLiteral("QB_DESKTOP_OPENER"));
    return chosen.isEmpty() ? QStringLiteral("xdg-open") : chosen;
}

bool openOnDesktop(const QString& target, int waitMs) {
    auto* opener = new QProcess;
    opener->setProgram(desktopOpener());
    opener->setArguments({target});
    // The opener's own chatter would only fill the terminal the window was started from.
    opener->setStandardOutputFile(QProcess::nullDevice());
    opener->setStandardErrorFile(QProcess::nullDevice());
    opener->start();
    if (!opener->waitForStarted()) {
        delete opener;
        return false;
    }
    if (!opener->waitForFinished(waitMs)) {
        // Still showing the thing: left running, and reaped when it ends. Deleting the
        // QProcess now would kill the browser the user asked for.
        QObject::connect(opener, &QProcess::finished, opener, &QObject::deleteLater);
        return true;
    }
    const bool opened = opener->exitStatus() == QProcess::NormalExit && opener->exitCode() == 0;
    delete opener;
    return opened;
}

QString installedDocumentation(const QString& programFolder) {
    return QDir::cleanPath(programFolder + QStringLiteral("/../share/doc/quirebind/README.html"));
}

QString findDocumentation(const QString& programFolder) {
    for (const QString& file : {installedDocumentation(programFolder),
                                QDir::cleanPath(programFolder + QStringLiteral("/README.html"))})
        if (QFileInfo(file).isFile()) return file;
    return {};
}

}  // namespace qb
