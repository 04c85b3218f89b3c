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
    const QString runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtimeDir.isEmpty()) return runtimeDir + QStringLiteral("/trivox.sock");
    // The temp folder is shared by every user, so the name carries the uid.
    return QDir::tempPath() + QStringLiteral("/trivox-%1.sock").arg(getuid());
#endif
}

} // namespace wendel
