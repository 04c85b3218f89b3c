// The saver started by an idle launcher, as a user sets it up: xautolock on
// an X server with a window manager (openbox).
//
// xautolock's idle time is at least a minute. Its '+' corner is the same
// idle countdown with a delay in seconds: the pointer rests in the corner and
// neither it nor the keyboard is touched for -cornerdelay seconds. After the
// saver ends, -cornerredelay seconds of that rest start it again, so two whole
// idle periods take seconds, not minutes.

#include "SaverTest.h"
#include "ScreenPixels.h"

#include <QFile>
#include <QFileInfo>

namespace wendel::e2e {
namespace {

const QString kBoardTitle = QStringLiteral("WendelSaver");

class IdleStartTest : public SaverTest {
protected:
    void SetUp() override
    {
        SaverTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(WriteFile(IniPath(), "Custom Look = 1\r\nOverlap = 2\r\nBackground = ON\r\nDefault Image =\r\n"));
        windowManager_ = std::make_unique<SaverProcess>(QStringList{QStringLiteral("--sm-disable")}, X().ClientEnvironment(),
                                                        Path(QStringLiteral("openbox.log")), QStringLiteral("openbox"));
        ASSERT_TRUE(PollUntil(AppearLimit(), [&] { return WindowManagerIsUp(); })) << "openbox did not start";
    }

    void TearDown() override
    {
        // xautolock would start the saver again while the test winds down.
        launcher_.reset();
        SaverTest::TearDown();
        windowManager_.reset();
    }

    bool WindowManagerIsUp()
    {
        const ToolResult check = RunTool(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")},
                                         X().ClientEnvironment(), Millis(5000));
        return check.Succeeded() && check.out.contains("window id");
    }

    // xautolock with the saver as its locker, run through /bin/sh as always.
    void StartLauncher(const QStringList& options)
    {
        const QString locker = QStringLiteral("'") + QStringLiteral(WENDELSAVER_BIN) + QStringLiteral("' /s");
        launcher_ = std::make_unique<SaverProcess>(
            QStringList{QStringLiteral("-time"), QStringLiteral("1"), QStringLiteral("-locker"), locker} + options,
            SaverEnvironment(), Path(QStringLiteral("xautolock.log")), QStringLiteral("xautolock"));
        ASSERT_TRUE(launcher_->IsRunning()) << launcher_->Describe();
    }

    // The saver's process id, from its instance lock; 0 when none holds it.
    qint64 SaverPid() const
    {
        const std::optional<QByteArray> lock = ReadFile(LockPath());
        return lock ? lock->split('\n').value(0).toLongLong() : 0;
    }
    static bool Alive(qint64 pid) { return pid > 0 && QFile::exists(QStringLiteral("/proc/%1").arg(pid)); }

    // Helper programs run like the saver: logged, and killed with the test.
    std::unique_ptr<SaverProcess> windowManager_;
    std::unique_ptr<SaverProcess> launcher_;
};

TEST_F(IdleStartTest, XautolockStartsItOnIdleAKeyEndsItAndTheNextIdlePeriodStartsItAgain)
{
    ASSERT_NO_FATAL_FAILURE(StartLauncher({QStringLiteral("-corners"), QStringLiteral("+000"),
                                           QStringLiteral("-cornerdelay"), QStringLiteral("1"),
                                           QStringLiteral("-cornerredelay"), QStringLiteral("2")}));
    ASSERT_TRUE(RunTool(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QStringLiteral("--sync"),
                                                   QStringLiteral("0"), QStringLiteral("0")},
                        X().ClientEnvironment(), Millis(5000))
                    .Succeeded());

    // xautolock looks once a second; a few seconds cover the delay and the start.
    const Millis idleStart = Patience(Millis(10000));
    for (const char* period : {"first", "second"}) {
        SCOPED_TRACE(period);
        const std::optional<WindowId> board = X().WaitForWindow(kBoardTitle, idleStart);
        ASSERT_TRUE(board) << "the saver did not start";
        const qint64 pid = SaverPid();
        ASSERT_TRUE(Alive(pid));
        // No input: it stays, and it stays alone.
        ASSERT_FALSE(PollUntil(Millis(1500), [&] { return !Alive(pid); })) << "it ended by itself";
        EXPECT_EQ(X().VisibleWindows(kBoardTitle).size(), 1u);

        ASSERT_TRUE(X().PressKeys(*board, {QStringLiteral("space")}));
        EXPECT_TRUE(PollUntil(PromptExitLimit(), [&] { return !Alive(pid); })) << "a key did not end it";
        EXPECT_TRUE(X().WaitUntilGone(*board, AppearLimit()));
    }
}

// xautolock closes standard output and error before it runs its locker.
TEST_F(IdleStartTest, ClosedStandardStreamsAreKeptOnDevNull)
{
    SaverProcess& saver = LaunchProgram(QStringLiteral("sh"), {QStringLiteral("-c"),
                                                               QStringLiteral("exec \"$0\" /s >&- 2>&-"),
                                                               QStringLiteral(WENDELSAVER_BIN)});
    const std::optional<WindowId> board = X().WaitForWindow(kBoardTitle, AppearLimit());
    ASSERT_TRUE(board) << saver.Describe();
    for (const int fd : {1, 2}) {
        EXPECT_EQ(QFileInfo(QStringLiteral("/proc/%1/fd/%2").arg(saver.Pid()).arg(fd)).symLinkTarget().toStdString(),
                  "/dev/null")
            << "descriptor " << fd;
    }
    ASSERT_TRUE(X().PressKeys(*board, {QStringLiteral("space")}));
    EXPECT_EQ(saver.WaitForExit(PromptExitLimit()), 0) << saver.Describe();
}

// The X server's own screen saver, made visible on Xvfb (which has no
// blanking of its own) by tiling: a launcher may start the saver while that
// is on (xss-lock), or just before it comes on (xautolock counting beside it).
TEST_F(IdleStartTest, TheServersOwnScreenSaverGivesWayToTheBoard)
{
    const auto tool = [&](const QString& program, const QStringList& args) {
        return RunTool(program, args, X().ClientEnvironment(), Millis(5000)).Succeeded();
    };
    constexpr std::uint32_t kRed = 0xff0000;
    ASSERT_TRUE(tool(QStringLiteral("xsetroot"), {QStringLiteral("-solid"), QStringLiteral("#ff0000")}));
    ASSERT_TRUE(tool(QStringLiteral("xset"), {QStringLiteral("s"), QStringLiteral("noblank")}));
    ASSERT_TRUE(tool(QStringLiteral("xset"), {QStringLiteral("s"), QStringLiteral("activate")}));

    SaverProcess& saver = Launch({QStringLiteral("/s")});
    const std::optional<WindowId> board = X().WaitForWindow(kBoardTitle, AppearLimit());
    ASSERT_TRUE(board) << saver.Describe();
    // The black backdrop shows where the server's red tiles lay over everything.
    EXPECT_TRUE(PollUntil(AppearLimit(), [&] { return ScreenPixel(X().Display(), 0, 0) == 0u; }))
        << "corner pixel " << ScreenPixel(X().Display(), 0, 0).value_or(kRed);
    EXPECT_TRUE(saver.IsRunning()) << saver.Describe();
}

} // namespace
} // namespace wendel::e2e
