// The saver on real desktops: under a window manager with a panel, on
// monitors that come and go, inside a window handed over the way
// xscreensaver does it, and ended by signals. Pixels come from Xvfb's own
// framebuffer file, which shows what a window manager's frames hide from
// screenshots.

#include "BoardPlaces.h"
#include "Framebuffer.h"
#include "PeerProcess.h"
#include "SaverTest.h"

#include <QDir>
#include <QFile>

#include <csignal>
#include <functional>
#include <memory>

namespace wendel::e2e {
namespace {

const QString kBackdropTitle = QStringLiteral("Form1");
constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kRoot = 0x336699; // the desktop, where nothing covers it
const QRect kLeftMonitor(0, 0, 1280, 1024);
const QRect kRightMonitor(1280, 0, 1280, 1024);
const QRect kBothMonitors = kLeftMonitor | kRightMonitor;

QRect BoardCentredIn(const QRect& area)
{
    return {area.x() + (area.width() - 641) / 2, area.y() + (area.height() - 481) / 2, 641, 481};
}

// `area` is black but for the board at `board`, which is drawn there.
bool BlackAroundBoard(const QImage& screen, const QRect& area, const QRect& board)
{
    return PixelsOtherThan(screen, area, kBlack, board) == 0 && ColourCount(screen, board) > 20;
}

class DesktopTest : public SaverTest {
protected:
    void SetUp() override
    {
        serverOptions.framebufferDir = Path(QStringLiteral("fb"));
        ASSERT_TRUE(QDir().mkpath(serverOptions.framebufferDir));
        SaverTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(X().Run(QStringLiteral("xsetroot"), {QStringLiteral("-solid"), QStringLiteral("#336699")}));
    }
    void TearDown() override
    {
        peers_.clear();
        SaverTest::TearDown();
    }

    std::optional<QImage> Screen() const
    {
        return ReadFramebuffer(serverOptions.framebufferDir + QStringLiteral("/Xvfb_screen0"));
    }
    // Polls the screen until `check` holds on it.
    bool ScreenShows(const std::function<bool(const QImage&)>& check, Millis timeout = AppearLimit())
    {
        return PollUntil(timeout, [&] {
            const std::optional<QImage> screen = Screen();
            return screen && check(*screen);
        });
    }

    PeerProcess& StartPeer(const QString& program, const QStringList& args)
    {
        QProcessEnvironment env = X().ClientEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), Path(QStringLiteral("peer-config")));
        const QString log = Path(QStringLiteral("%1-%2.log").arg(program).arg(peers_.size()));
        peers_.push_back(std::make_unique<PeerProcess>(program, args, env, log));
        EXPECT_TRUE(peers_.back()->Started()) << program;
        return *peers_.back();
    }

    void WriteSettings(const QByteArray& background)
    {
        ASSERT_TRUE(WriteFile(IniPath(), "Custom Look = 2\r\nBackground = " + background + "\r\n"));
    }

    // RandR 1.5 monitors, which Qt takes for screens: each "NAME X OUTPUT".
    bool SetMonitor(const QString& name, const QRect& area, const QString& output)
    {
        return X().Run(QStringLiteral("xrandr"),
                       {QStringLiteral("--setmonitor"), name,
                        QStringLiteral("%1/338x%2/270+%3+%4")
                            .arg(area.width()).arg(area.height()).arg(area.x()).arg(area.y()),
                        output});
    }
    bool DeleteMonitor(const QString& name)
    {
        return X().Run(QStringLiteral("xrandr"), {QStringLiteral("--delmonitor"), name});
    }
    bool MakePrimary()
    {
        return X().Run(QStringLiteral("xrandr"),
                       {QStringLiteral("--output"), QStringLiteral("screen"), QStringLiteral("--primary")});
    }

    bool CursorHiddenAt(int x, int y)
    {
        return X().Run(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QStringLiteral("--sync"),
                                                   QString::number(x), QString::number(y)}) &&
               PollUntil(AppearLimit(), [&] { return X().Connection().VisibleCursorPixels().value_or(-1) == 0; });
    }
    bool CursorShownAt(int x, int y)
    {
        return X().Run(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QStringLiteral("--sync"),
                                                   QString::number(x), QString::number(y)}) &&
               PollUntil(AppearLimit(), [&] { return X().Connection().VisibleCursorPixels().value_or(0) > 0; });
    }
    bool PressKey() { return X().Run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("a")}); }

    QStringList NetWmState(WindowId window)
    {
        QByteArray out;
        X().Run(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(window), QStringLiteral("_NET_WM_STATE")}, &out);
        return QString::fromUtf8(out).section(QLatin1Char('='), 1).split(QLatin1Char(','), Qt::SkipEmptyParts)
            .replaceInStrings(QStringLiteral(" "), QString()).replaceInStrings(QStringLiteral("\n"), QString());
    }

private:
    std::vector<std::unique_ptr<PeerProcess>> peers_;
};

// openbox with a tint2 panel, on two monitors side by side.
class WindowManagerTest : public DesktopTest {
protected:
    WindowManagerTest() { serverOptions.width = 2560, serverOptions.height = 1024; }
    void SetUp() override
    {
        DesktopTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(SetMonitor(QStringLiteral("A"), kLeftMonitor, QStringLiteral("screen")));
        ASSERT_TRUE(SetMonitor(QStringLiteral("B"), kRightMonitor, QStringLiteral("none")));
        ASSERT_TRUE(MakePrimary());
        StartPeer(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
        ASSERT_TRUE(PollUntil(AppearLimit(), [&] {
            return X().Run(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")});
        })) << "openbox did not start";
        StartPeer(QStringLiteral("tint2"), {});
        ASSERT_TRUE(X().WaitForWindow(QStringLiteral("tint2"), AppearLimit())) << "no tint2 panel";
        // The panel is drawn somewhere at the bottom of a monitor, in its own colours.
        ASSERT_TRUE(ScreenShows([](const QImage& s) {
            return PixelsOtherThan(s, QRect(0, 1024 - 30, 2560, 30), kRoot) > 1000;
        })) << "the panel was never drawn";
    }
};

TEST_F(WindowManagerTest, BackgroundOnKeepsTheScreensTheCursorAndTheKeys)
{
    WriteSettings("ON");
    SaverProcess& saver = Launch({QStringLiteral("/s")});
    const QRect board = BoardCentredIn(kLeftMonitor);
    // Every pixel but the board's is black, the panel's strip included.
    EXPECT_TRUE(ScreenShows([&](const QImage& s) { return BlackAroundBoard(s, kBothMonitors, board); }))
        << saver.Describe();

    const std::vector<WindowId> backdrops = X().VisibleWindows(kBackdropTitle);
    EXPECT_EQ(backdrops.size(), 2u);
    for (const WindowId backdrop : backdrops) {
        const QStringList states = NetWmState(backdrop);
        for (const char* state : {"_NET_WM_STATE_FULLSCREEN", "_NET_WM_STATE_ABOVE",
                                  "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"}) {
            EXPECT_TRUE(states.contains(QLatin1String(state))) << state << " missing: " << states.join(QLatin1Char(' '));
        }
    }

    const QPoint points[] = {{5, 5}, {1279, 1023}, {640, 512}, {1285, 5}, {2555, 1020}, {1900, 500}};
    for (const QPoint p : points) EXPECT_TRUE(CursorHiddenAt(p.x(), p.y())) << "the cursor shows at " << p.x() << "," << p.y();

    // A chat window opens: it is neither shown nor given the keys.
    StartPeer(QStringLiteral("xmessage"), {QStringLiteral("-center"), QStringLiteral("A chat message")});
    ASSERT_TRUE(X().WaitForWindow(QStringLiteral("xmessage"), AppearLimit()));
    EXPECT_TRUE(saver.StaysRunningFor(Millis(300)));
    const std::optional<QImage> screen = Screen();
    ASSERT_TRUE(screen);
    EXPECT_TRUE(BlackAroundBoard(*screen, kBothMonitors, board)) << "the window shows through";
    ASSERT_TRUE(PressKey());
    EXPECT_EQ(saver.WaitForExit(PromptExitLimit()), 0) << saver.Describe();
}

TEST_F(WindowManagerTest, BackgroundOffFloatsTheBoardAboveOtherWindows)
{
    WriteSettings("OFF");
    SaverProcess& saver = Launch({QStringLiteral("/s")});
    const std::optional<WindowId> window = X().WaitForWindow(kBoardTitle, AppearLimit());
    ASSERT_TRUE(window) << saver.Describe();
    const QRect board = BoardCentredIn(kLeftMonitor);
    const std::optional<WindowGeometry> geometry = X().Inspect(*window);
    ASSERT_TRUE(geometry);
    EXPECT_EQ(QRect(geometry->x, geometry->y, geometry->width, geometry->height), board);
    const QStringList states = NetWmState(*window);
    for (const char* state : {"_NET_WM_STATE_ABOVE", "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"}) {
        EXPECT_TRUE(states.contains(QLatin1String(state))) << state << " missing: " << states.join(QLatin1Char(' '));
    }
    EXPECT_TRUE(CursorShownAt(board.center().x(), board.center().y()));
    // The desktop around the board stays as it was.
    EXPECT_TRUE(ScreenShows([&](const QImage& s) {
        return ColourCount(s, board) > 20 && PixelsOtherThan(s, QRect(0, 0, 2560, 200), kRoot) == 0;
    }));

    // A window opened over it (xmessage -center opens at the pointer) stays below.
    const QImage before = Screen().value_or(QImage()).copy(board);
    StartPeer(QStringLiteral("xmessage"), {QStringLiteral("-center"), QStringLiteral("A chat message")});
    ASSERT_TRUE(X().WaitForWindow(QStringLiteral("xmessage"), AppearLimit()));
    EXPECT_TRUE(saver.StaysRunningFor(Millis(300)));
    EXPECT_EQ(Screen().value_or(QImage()).copy(board), before) << "the window covers the board";
    ASSERT_TRUE(PressKey());
    EXPECT_EQ(saver.WaitForExit(PromptExitLimit()), 0) << saver.Describe();
}

// No window manager: monitors added, moved to primary and removed while the
// saver runs.
class MonitorsTest : public DesktopTest {
protected:
    MonitorsTest() { serverOptions.width = 2560, serverOptions.height = 1024; }
};

TEST_F(MonitorsTest, BackdropsFollowTheMonitorsAndTheBoardThePrimary)
{
    ASSERT_TRUE(SetMonitor(QStringLiteral("A"), kLeftMonitor, QStringLiteral("screen")));
    WriteSettings("ON");
    SaverProcess& saver = Launch({QStringLiteral("/s")});
    const auto blackBut = [&](const QRect& covered, const QRect& board) {
        return [=](const QImage& s) {
            return BlackAroundBoard(s, covered, board) &&
                   PixelsOtherThan(s, kBothMonitors, kRoot, covered) == 0;
        };
    };
    EXPECT_TRUE(ScreenShows(blackBut(kLeftMonitor, BoardCentredIn(kLeftMonitor)))) << saver.Describe();

    const Millis withinASecond(1000);
    ASSERT_TRUE(SetMonitor(QStringLiteral("B"), kRightMonitor, QStringLiteral("none")));
    EXPECT_TRUE(ScreenShows(blackBut(kBothMonitors, BoardCentredIn(kLeftMonitor)), withinASecond))
        << "the added monitor got no backdrop within a second";

    // The primary moves to the right: the monitors are made anew with the
    // primary output on B.
    ASSERT_TRUE(DeleteMonitor(QStringLiteral("B")) && DeleteMonitor(QStringLiteral("A")));
    ASSERT_TRUE(SetMonitor(QStringLiteral("B"), kRightMonitor, QStringLiteral("screen")));
    ASSERT_TRUE(SetMonitor(QStringLiteral("A"), kLeftMonitor, QStringLiteral("none")));
    ASSERT_TRUE(MakePrimary());
    EXPECT_TRUE(ScreenShows(blackBut(kBothMonitors, BoardCentredIn(kRightMonitor)), withinASecond))
        << "the board did not follow the primary";

    ASSERT_TRUE(DeleteMonitor(QStringLiteral("A")));
    EXPECT_TRUE(ScreenShows(blackBut(kRightMonitor, BoardCentredIn(kRightMonitor)), withinASecond))
        << "the removed monitor kept its backdrop";

    ASSERT_TRUE(PressKey());
    EXPECT_EQ(saver.WaitForExit(PromptExitLimit()), 0) << saver.Describe();
}

// The window a screen-saver daemon hands over in XSCREENSAVER_WINDOW.
class HostedTest : public DesktopTest {};

TEST_F(HostedTest, DrawsIntoTheGivenWindowOnlyAndEndsOnSigterm)
{
    const QRect host(100, 50, 800, 600);
    const std::optional<WindowId> window = X().Connection().CreateWindow(host.x(), host.y(), host.width(), host.height());
    ASSERT_TRUE(window);
    const std::size_t mark = EventMark();
    WriteSettings("ON");
    QProcessEnvironment env = SaverEnvironment();
    env.insert(QStringLiteral("XSCREENSAVER_WINDOW"), QStringLiteral("0x%1").arg(*window, 0, 16));
    SaverProcess& saver = Launch({QStringLiteral("/s")}, env);

    // Black around the board, centred in the window; the desktop untouched.
    const QRect board = BoardCentredIn(host);
    EXPECT_TRUE(ScreenShows([&](const QImage& s) {
        return BlackAroundBoard(s, host, board) && PixelsOtherThan(s, QRect(0, 0, 1024, 768), kRoot, host) == 0;
    })) << saver.Describe();
    EXPECT_TRUE(saver.StaysRunningFor(Millis(300)));
    EXPECT_TRUE(MappedWindows(mark).empty()) << "the saver opened " << Describe(MappedWindows(mark));
    // Input and cursor stay with the daemon.
    EXPECT_TRUE(CursorShownAt(host.x() + 10, host.y() + 10));

    saver.Signal(SIGTERM);
    EXPECT_EQ(saver.WaitForExit(PromptExitLimit()), 0) << saver.Describe();
    EXPECT_FALSE(QFile::exists(LockPath()));
}

TEST_F(HostedTest, AnUnusableWindowIdLeavesTheSaverOnItsOwnWindows)
{
    const struct {
        const char* value;
        const char* note;
    } rows[] = {
        {"0x1ffffff0", "names no window"},
        {"my-window", "is not a window id"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.value);
        WriteSettings("ON");
        QProcessEnvironment env = SaverEnvironment();
        env.insert(QStringLiteral("XSCREENSAVER_WINDOW"), QString::fromLatin1(row.value));
        SaverProcess& saver = Launch({QStringLiteral("/s")}, env);
        EXPECT_TRUE(X().WaitForWindow(kBackdropTitle, AppearLimit())) << saver.Describe();
        EXPECT_TRUE(ScreenShows([&](const QImage& s) {
            return BlackAroundBoard(s, QRect(0, 0, 1024, 768), BoardCentredIn(QRect(0, 0, 1024, 768)));
        }));
        EXPECT_TRUE(saver.Log().contains(QLatin1String(row.note))) << saver.Log();
        ASSERT_TRUE(PressKey());
        EXPECT_EQ(saver.WaitForExit(PromptExitLimit()), 0) << saver.Describe();
    }
}

class SignalTest : public SaverTest {};

TEST_F(SignalTest, TermAndHangUpEndEveryModeCleanly)
{
    const struct {
        const char* name;
        QStringList args;
        QByteArray background;
        QString window;
        int signal;
    } rows[] = {
        {"saver with backdrops, SIGTERM", {QStringLiteral("/s")}, "ON", kBackdropTitle, SIGTERM},
        {"saver with backdrops, SIGHUP", {QStringLiteral("/s")}, "ON", kBackdropTitle, SIGHUP},
        {"saver alone, SIGTERM", {QStringLiteral("/s")}, "OFF", kBoardTitle, SIGTERM},
        {"setup dialog, SIGTERM", {QStringLiteral("/c")}, "ON", kSetupTitle, SIGTERM},
        {"setup dialog, SIGHUP", {QStringLiteral("/c")}, "OFF", kSetupTitle, SIGHUP},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(WriteFile(IniPath(), "Background = " + row.background + "\r\n"));
        SaverProcess& saver = Launch(row.args);
        ASSERT_TRUE(X().WaitForWindow(row.window, AppearLimit())) << saver.Describe();
        saver.Signal(row.signal);
        EXPECT_EQ(saver.WaitForExit(PromptExitLimit()), 0) << saver.Describe();
        EXPECT_FALSE(QFile::exists(LockPath())) << "the instance lock stayed";
        EXPECT_TRUE(PollUntil(AppearLimit(), [&] { return X().Connection().VisibleCursorPixels().value_or(0) > 0; }));
    }
}

} // namespace
} // namespace wendel::e2e
