#include "Paths.h"

#include "TrivoxEndpoint.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include <unistd.h>

namespace wendel {
namespace {

using Env = std::vector<std::pair<const char*, const char*>>;

// Runs `body` with the environment changed as given (nullptr: unset), then puts it back.
void WithEnv(const Env& env, const std::function<void()>& body)
{
    std::vector<std::pair<const char*, std::optional<QByteArray>>> old;
    for (const auto& [name, value] : env) {
        old.emplace_back(name, qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt);
        value ? qputenv(name, value) : qunsetenv(name);
    }
    body();
    for (const auto& [name, value] : old) value ? qputenv(name, *value) : qunsetenv(name);
}

TEST(Paths, EachFileFollowsTheEnvironmentAndOnlyTheStandardFolderIsMade)
{
    const QString uid = QString::number(::getuid());
    const std::tuple<QString (*)(), Env, QString> rows[] = { // the path, the environment, the path it gives
        {SettingsFilePath, {{"WENDELSAVER_INI", "/x/my.ini"}, {"XDG_CONFIG_HOME", "/c"}}, "/x/my.ini"},
        {SettingsFilePath, {{"WENDELSAVER_INI", nullptr}, {"XDG_CONFIG_HOME", "/c"}}, "/c/wendelsaver.ini"},
        {InstanceLockPath, {{"XDG_RUNTIME_DIR", "/run/user/7"}}, "/run/user/7/wendelsaver.lock"},
        {InstanceLockPath, {{"XDG_RUNTIME_DIR", nullptr}, {"TMPDIR", "/tmp"}}, "/tmp/wendelsaver-" + uid + ".lock"},
        {TrivoxEndpoint, {{"TRIVOX_ENDPOINT", "/x/j.sock"}, {"XDG_RUNTIME_DIR", "/run/user/7"}}, "/x/j.sock"},
        {TrivoxEndpoint, {{"TRIVOX_ENDPOINT", ""}, {"XDG_RUNTIME_DIR", "/run/user/7"}}, "/run/user/7/trivox.sock"},
    };
    for (const auto& [path, env, expected] : rows) WithEnv(env, [&] { EXPECT_EQ(path(), expected); });

    // A fresh account may lack ~/.config; a folder the override names is the user's own business.
    testing::TempFolder dir;
    const std::string config = dir.File("fresh/config");
    WithEnv({{"XDG_CONFIG_HOME", config.c_str()}, {"WENDELSAVER_INI", dir.File("missing/w.ini").c_str()}},
            PrepareSettingsFolder);
    EXPECT_FALSE(std::filesystem::exists(dir.File("fresh")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing")));
    WithEnv({{"XDG_CONFIG_HOME", config.c_str()}, {"WENDELSAVER_INI", nullptr}}, PrepareSettingsFolder);
    EXPECT_EQ(std::filesystem::status(config).permissions(), std::filesystem::perms::owner_all);
}

} // namespace
} // namespace wendel
