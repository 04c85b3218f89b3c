#include "Paths.h"

#include "TrivoxEndpoint.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtGlobal>


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
    return PerUserRuntimePath(QStringLiteral("wendelsaver"), QStringLiteral("lock"));
}

} // namespace wendel
