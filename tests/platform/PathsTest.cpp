#include "Paths.h"

#include "support/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtGlobal>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include <unistd.h>

namespace wendel {
namespace {

// Sets or clears an environment variable for one test, restoring it after.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::optional<QString>& value)
        : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name))
    {
        if (value) qputenv(name, value->toUtf8());
        else qunsetenv(name);
    }
    ~ScopedEnv()
    {
        if (had_) qputenv(name_, old_);
        else qunsetenv(name_);
    }

private:
    const char* name_;
    bool had_;
    QByteArray old_;
};

TEST(Paths, SettingsFileFollowsTheEnvironment)
{
    testing::TempFolder dir;
    const QString config = QString::fromStdString(dir.File("config"));
    {
        ScopedEnv ini("WENDELSAVER_INI", QStringLiteral("/x/my.ini"));
        ScopedEnv home("XDG_CONFIG_HOME", config);
        EXPECT_EQ(SettingsFilePath(), "/x/my.ini");
    }
    {
        ScopedEnv ini("WENDELSAVER_INI", std::nullopt);
        ScopedEnv home("XDG_CONFIG_HOME", config);
        EXPECT_EQ(SettingsFilePath(), config + "/wendelsaver.ini");
    }
}

TEST(Paths, MissingConfigFolderIsCreatedPrivate)
{
    testing::TempFolder dir;
    const QString config = QString::fromStdString(dir.File("fresh/config"));
    ScopedEnv ini("WENDELSAVER_INI", std::nullopt);
    ScopedEnv home("XDG_CONFIG_HOME", config);
    PrepareSettingsFolder();
    ASSERT_TRUE(QFileInfo(config).isDir());
    EXPECT_EQ(std::filesystem::status(config.toStdString()).permissions(),
              std::filesystem::perms::owner_all);
}

TEST(Paths, FolderNamedByTheOverrideIsNotCreated)
{
    testing::TempFolder dir;
    const QString config = QString::fromStdString(dir.File("config"));
    ScopedEnv ini("WENDELSAVER_INI", QString::fromStdString(dir.File("missing/w.ini")));
    ScopedEnv home("XDG_CONFIG_HOME", config);
    PrepareSettingsFolder();
    EXPECT_FALSE(QFileInfo::exists(config));
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(dir.File("missing"))));
}

TEST(Paths, LockLivesInTheRuntimeFolderElseAPerUserTempFile)
{
    {
        ScopedEnv runtime("XDG_RUNTIME_DIR", QStringLiteral("/run/user/4242"));
        EXPECT_EQ(InstanceLockPath(), "/run/user/4242/wendelsaver.lock");
    }
    ScopedEnv runtime("XDG_RUNTIME_DIR", std::nullopt);
    EXPECT_EQ(InstanceLockPath(), QDir::tempPath() + QStringLiteral("/wendelsaver-%1.lock").arg(getuid()));
}

} // namespace
} // namespace wendel
