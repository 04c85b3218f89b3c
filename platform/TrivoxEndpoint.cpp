#include "TrivoxEndpoint.h"

#include <QDir>
#include <QtGlobal>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace wendel {

QString TrivoxEndpoint()
{
    const QString overridden = qEnvironmentVariable("TRIVOX_ENDPOINT");
    if (!overridden.isEmpty()) return overridden;
#ifdef Q_OS_WIN
    return QStringLiteral("trivox");
#else
    return PerUserRuntimePath(QStringLiteral("trivox"), QStringLiteral("sock"));
#endif
}

QString PerUserRuntimePath(const QString& stem, const QString& suffix)
{
    const QString runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtimeDir.isEmpty()) return runtimeDir + '/' + stem + '.' + suffix;
#ifdef Q_OS_WIN
    return QDir::tempPath() + '/' + stem + '.' + suffix;
#else
    // The name carries the uid, so one user's file never stands in another's way.
    return QDir::tempPath() + QStringLiteral("/%1-%2.%3").arg(stem).arg(getuid()).arg(suffix);
#endif
}

} // namespace wendel
