#include "Paths.h"

#include "TrivoxEndpoint.h"
#include "support/TempFolder.h"

#include <QtGlobal>

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <utility>
#include <vector>

#include <unistd.h>

namespace wendel {
namespace {

// Sets (or, given nullptr, clears) an environment variable until destroyed.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value)
        : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name))
    {
        if (value) qputenv(name, value);
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

using Env = std::vector<std::pair<const char*, const char*>>;

TEST(Paths, EachFileFollowsTheEnvironment)
{
    const QString uid = QString::number(::getuid());
    const struct {
        QString (*path)();
        Env env;
        QString expected;
    } rows[] = {
        {SettingsFilePath, {{"WENDELSAVER_INI", "/x/my.ini"}, {"XDG_CONFIG_HOME", "/c"}}, "/x/my.ini"},
        {SettingsFilePath, {{"WENDELSAVER_INI", nullptr}, {"XDG_CONFIG_HOME", "/c"}}, "/c/wendelsaver.ini"},
        {InstanceLockPath, {{"XDG_RUNTIME_DIR", "/run/user/7"}}, "/run/user/7/wendelsaver.lock"},
        {InstanceLockPath, {{"XDG_RUNTIME_DIR", nullptr}, {"TMPDIR", "/var/tmp"}}, "/var/tmp/wendelsaver-" + uid + ".lock"},
        {TrivoxEndpoint, {{"TRIVOX_ENDPOINT", "/x/j.sock"}, {"XDG_RUNTIME_DIR", "/run/user/7"}}, "/x/j.sock"},
        {TrivoxEndpoint, {{"TRIVOX_ENDPOINT", ""}, {"XDG_RUNTIME_DIR", "/run/user/7"}}, "/run/user/7/trivox.sock"},
        {TrivoxEndpoint, {{"TRIVOX_ENDPOINT", nullptr}, {"XDG_RUNTIME_DIR", nullptr}, {"TMPDIR", "/var/tmp"}},
         "/var/tmp/trivox-" + uid + ".sock"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.expected.toStdString());
        std::deque<ScopedEnv> env;
        for (const auto& [name, value] : row.env) env.emplace_back(name, value);
        EXPECT_EQ(row.path(), row.expected);
    }
}

// A fresh account may lack ~/.config; a folder the override names is the user's own business.
TEST(Paths, OnlyTheStandardConfigFolderIsCreatedAndPrivate)
{
    testing::TempFolder dir;
    const std::string config = dir.File("fresh/config");
    ScopedEnv home("XDG_CONFIG_HOME", config.c_str());
    {
        ScopedEnv ini("WENDELSAVER_INI", dir.File("missing/w.ini").c_str());
        PrepareSettingsFolder();
        EXPECT_FALSE(std::filesystem::exists(dir.File("fresh")));
        EXPECT_FALSE(std::filesystem::exists(dir.File("missing")));
    }
    ScopedEnv ini("WENDELSAVER_INI", nullptr);
    PrepareSettingsFolder();
    EXPECT_EQ(std::filesystem::status(config).permissions(), std::filesystem::perms::owner_all);
}

} // namespace
} // namespace wendel
