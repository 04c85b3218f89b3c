// The command line and the single-instance lock, seen from outside: which
// windows appear, how the process ends, and what is left on disk.

#include "SaverTest.h"

#include <QCoreApplication>
#include <QFile>

namespace wendel::e2e {
namespace {

const QByteArray kSettings =
    "Custom Look = 2\r\nOverlap = 5\r\nBackground = OFF\r\nDefault Image =\r\n";
const std::vector<QByteArray> kSettingsLines = {"Custom Look = 2", "Overlap = 5",
                                                "Background = OFF", "Default Image ="};

struct CommandLine {
    const char* name;
    QStringList args;
};

void PrintTo(const CommandLine& line, std::ostream* out)
{
    *out << line.name;
}

std::string CommandLineName(const ::testing::TestParamInfo<CommandLine>& info)
{
    return info.param.name;
}

// --- Switches that end the program at once -------------------------------

class QuietSwitchTest : public SaverTest, public ::testing::WithParamInterface<CommandLine> {};

TEST_P(QuietSwitchTest, EndsAtOnceWithoutAnyWindowOrFile)
{
    SaverProcess& saver = Launch(GetParam().args);
    EXPECT_EQ(saver.WaitForExit(PromptExitLimit()), 0) << saver.Describe();
    // The watch on the root window sees even a window shown for an instant.
    const std::vector<WindowId> mapped = MappedWindows();
    EXPECT_TRUE(mapped.empty()) << Describe(mapped);
    EXPECT_FALSE(QFile::exists(IniPath()));
    EXPECT_FALSE(QFile::exists(LockPath())) << "the lock outlived its process";
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, QuietSwitchTest,
    ::testing::Values(
        CommandLine{"Preview", {"/p"}},
        CommandLine{"PreviewWithWindowHandle", {"/p", "1234"}},
        CommandLine{"DashForm", {"-s"}},
        // One argument: a blank, then /s. Only the first two characters count.
        CommandLine{"LeadingBlank", {" /s"}},
        CommandLine{"Unknown", {"/x"}},
        CommandLine{"SlashAlone", {"/"}},
        CommandLine{"LetterWithoutSlash", {"c"}},
        CommandLine{"NonAsciiLetter", {QStringLiteral("/\u00fc")}},
        // The arguments are joined with blanks, so an empty first one makes " /c".
        CommandLine{"EmptyArgumentBeforeSwitch", {"", "/c"}},
        CommandLine{"HugeArgument", {QStringLiteral("/x") + QString(100000, QLatin1Char('x'))}},
        // Qt's own options are switches like any other to the saver: they
        // begin with "-". Qt must not take them away before the switch is read.
        CommandLine{"QtReverse", {"-reverse"}},
        CommandLine{"QtStyle", {"-style", "fusion"}},
        CommandLine{"QtPlatformBeforeSaver", {"-platform", "offscreen", "/s"}},
        CommandLine{"QtPlatformBeforePreview", {"-platform", "offscreen", "/p"}}),
    CommandLineName);

// --- Switches that open the setup dialog -------------------------------------

class SetupSwitchTest : public SaverTest, public ::testing::WithParamInterface<CommandLine> {};

TEST_P(SetupSwitchTest, OpensTheSetupDialog)
{
    ASSERT_TRUE(WriteFile(IniPath(), kSettings));
    SaverProcess& saver = Launch(GetParam().args);
    const std::optional<WindowId> dialog = PressReturnIn(kSetupTitle);
    ASSERT_TRUE(dialog) << "no setup dialog; " << saver.Describe();
    EXPECT_EQ(saver.WaitForExit(PromptExitLimit()), 0) << saver.Describe();
    EXPECT_TRUE(ShownOneAfterAnother({*dialog}));
    EXPECT_TRUE(IsSettingsFile(ReadFile(IniPath()), kSettingsLines));
}

INSTANTIATE_TEST_SUITE_P(CommandLines, SetupSwitchTest,
                         ::testing::Values(CommandLine{"NoArguments", {}},
                                           CommandLine{"UpperCase", {"/C"}},
                                           CommandLine{"WindowHandleAppended", {"/c:1234"}},
                                           CommandLine{"EmptyArgument", {""}}),
                         CommandLineName);

// --- The password switch ------------------------------------------------------

using PasswordSwitchTest = SaverTest;

TEST_F(PasswordSwitchTest, ShowsItsBoxAndEndsWhenTheBoxCloses)
{
    SaverProcess& saver = Launch({"/a"});
    const std::optional<WindowId> box = X().WaitForWindow(kPasswordBoxTitle, AppearLimit());
    ASSERT_TRUE(box) << saver.Describe();
    EXPECT_TRUE(saver.StaysRunningFor(Millis(300))) << "ended with its box open";

    ASSERT_TRUE(X().PressKeys(*box, {QStringLiteral("Return")}));
    EXPECT_EQ(saver.WaitForExit(PromptExitLimit()), 0) << saver.Describe();
    EXPECT_TRUE(ShownOneAfterAnother({*box}));
    EXPECT_FALSE(QFile::exists(IniPath()));
}

// --- The single-instance lock ---------------------------------------------

using InstanceLockTest = SaverTest;

TEST_F(InstanceLockTest, ASecondInstanceEndsAtOnceAndLeavesTheFirstAlone)
{
    ASSERT_TRUE(WriteFile(IniPath(), kSettings));
    SaverProcess& first = Launch({"/c"});
    const std::optional<WindowId> dialog = X().WaitForWindow(kSetupTitle, AppearLimit());
    ASSERT_TRUE(dialog) << first.Describe();
    const std::size_t mark = EventMark();

    const std::vector<CommandLine> seconds = {{"setup", {"/c"}},    {"no switch", {}},
                                              {"password", {"/a"}}, {"saver", {"/s"}},
                                              {"preview", {"/p"}}};
    for (const CommandLine& second : seconds) {
        SCOPED_TRACE(second.name);
        SaverProcess& saver = Launch(second.args);
        EXPECT_EQ(saver.WaitForExit(PromptExitLimit()), 0) << saver.Describe();
    }
    const std::vector<WindowId> extra = MappedWindows(mark);
    EXPECT_TRUE(extra.empty()) << Describe(extra);

    // The first one is undisturbed: same window, still answering, still owning
    // the lock and still writing on OK.
    EXPECT_TRUE(first.IsRunning());
    EXPECT_EQ(X().VisibleWindows(kSetupTitle), std::vector<WindowId>{*dialog});
    EXPECT_TRUE(QFile::exists(LockPath()));
    ASSERT_TRUE(X().PressKeys(*dialog, {QStringLiteral("Return")}));
    EXPECT_EQ(first.WaitForExit(PromptExitLimit()), 0) << first.Describe();
    EXPECT_TRUE(IsSettingsFile(ReadFile(IniPath()), kSettingsLines));
}

// Leaves the lock of a setup dialog that was killed with SIGKILL, as after a
// crash; the test fails when there is none, since then it proves nothing.
void KillDialogAndKeepItsLock(SaverProcess& first, XServer& x, const QString& lock)
{
    const std::optional<WindowId> dialog = x.WaitForWindow(kSetupTitle, AppearLimit());
    ASSERT_TRUE(dialog) << first.Describe();
    first.KillHard();
    ASSERT_TRUE(QFile::exists(lock)) << "no lock left behind";
    // The server drops the dead client's windows on its own time.
    ASSERT_TRUE(x.WaitUntilGone(*dialog, AppearLimit()));
}

TEST_F(InstanceLockTest, ALockLeftByAKilledInstanceDoesNotBlock)
{
    ASSERT_TRUE(WriteFile(IniPath(), kSettings));
    SaverProcess& first = Launch({"/c"});
    ASSERT_NO_FATAL_FAILURE(KillDialogAndKeepItsLock(first, X(), LockPath()));

    SaverProcess& next = Launch({"/c"});
    ASSERT_TRUE(PressReturnIn(kSetupTitle)) << "blocked by the dead lock; " << next.Describe();
    EXPECT_EQ(next.WaitForExit(PromptExitLimit()), 0) << next.Describe();
    EXPECT_TRUE(IsSettingsFile(ReadFile(IniPath()), kSettingsLines));
}

TEST_F(InstanceLockTest, ALockNamingAnUnrelatedLiveProcessDoesNotBlock)
{
    // After a crash the dead holder's process id can be reused by another
    // program; that one must not count as a running saver.
    ASSERT_TRUE(WriteFile(IniPath(), kSettings));
    SaverProcess& first = Launch({"/c"});
    ASSERT_NO_FATAL_FAILURE(KillDialogAndKeepItsLock(first, X(), LockPath()));
    const std::optional<QByteArray> lock = ReadFile(LockPath());
    ASSERT_TRUE(lock);
    QList<QByteArray> lines = lock->split('\n');
    ASSERT_GT(lines.size(), 1);
    lines[0] = QByteArray::number(QCoreApplication::applicationPid()); // this test binary
    ASSERT_TRUE(WriteFile(LockPath(), lines.join('\n')));

    SaverProcess& next = Launch({"/c"});
    ASSERT_TRUE(PressReturnIn(kSetupTitle)) << "blocked by the reused id; " << next.Describe();
    EXPECT_EQ(next.WaitForExit(PromptExitLimit()), 0) << next.Describe();
}

TEST_F(InstanceLockTest, AMissingRuntimeFolderDoesNotKeepTheDialogFromOpening)
{
    ASSERT_TRUE(WriteFile(IniPath(), kSettings));
    SetRuntimeDir(Path(QStringLiteral("no such folder")));
    SaverProcess& saver = Launch({"/c"});
    ASSERT_TRUE(PressReturnIn(kSetupTitle)) << saver.Describe();
    EXPECT_EQ(saver.WaitForExit(PromptExitLimit()), 0) << saver.Describe();
    EXPECT_TRUE(IsSettingsFile(ReadFile(IniPath()), kSettingsLines));
}

} // namespace
} // namespace wendel::e2e
