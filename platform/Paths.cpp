#include "Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtGlobal>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace wendel {

namespace {

QString EnvPath(const char* name)
{
    return qEnvironmentVariable(name);
}

[[maybe_unused]] QString ConfigHome()
{
    const QString configHome = EnvPath("XDG_CONFIG_HOME");
    return configHome.isEmpty() ? QDir::homePath() + QStringLiteral("/.config") : configHome;
}

} // namespace

QString SettingsFilePath()
{
    const QString overridden = EnvPath("WENDELSAVER_INI");
    if (!overridden.isEmpty()) return overridden;
#ifdef Q_OS_WIN
    return QStringLiteral("C:\\windows\\wendelsaver.ini");
#else
    return ConfigHome() + QStringLiteral("/wendelsaver.ini");
#endif
}

std::string SettingsFilePathNative()
{
    return QFile::encodeName(SettingsFilePath()).toStdString();
}

void PrepareSettingsFolder()
{
#ifndef Q_OS_WIN
    if (!EnvPath("WENDELSAVER_INI").isEmpty()) return;
    const QString folder = ConfigHome();
    if (QFileInfo::exists(folder)) return;
    QDir().mkpath(folder);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
#endif
}

QString InstanceLockPath()
{
    const QString runtimeDir = EnvPath("XDG_RUNTIME_DIR");
    if (!runtimeDir.isEmpty()) return runtimeDir + QStringLiteral("/wendelsaver.lock");
#ifdef Q_OS_WIN
    return QDir::tempPath() + QStringLiteral("/wendelsaver.lock");
#else
    // The temp folder is shared by every user: one user's saver must not block another's.
    return QDir::tempPath() + QStringLiteral("/wendelsaver-%1.lock").arg(getuid());
#endif
}

} // namespace wendel
