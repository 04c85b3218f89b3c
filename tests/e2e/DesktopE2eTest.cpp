// The saver on real desktops: under a window manager with a panel, on
// monitors that come and go, inside a window handed over the way
// xscreensaver does it, ended by signals, and under a Wayland compositor.

#include "SaverTest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <csignal>

namespace wendel::e2e {
namespace {

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
    DesktopTest() { screenSize = kBothMonitors.size(); }
    void SetUp() override
    {
        SaverTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(X().Run(QStringLiteral("xsetroot"), {QStringLiteral("-solid"), QStringLiteral("#336699")}));
    }
    // Polls the screen until `check` holds on it.
    bool ScreenShows(const std::function<bool(const QImage&)>& check, Millis timeout = AppearLimit())
    {
        return PollUntil(timeout, [&] {
            const std::optional<QImage> screen = X().Screen();
            return screen && check(*screen);
        }, Millis(50));
    }
    Process& StartSaver(const QByteArray& background, const QProcessEnvironment& env)
    {
        EXPECT_TRUE(WriteFile(IniPath(), "Custom Look = 2\r\nBackground = " + background + "\r\n"));
        return Start(QStringLiteral(WENDELSAVER_BIN), {QStringLiteral("/s")}, env);
    }
    // RandR 1.5 monitors, which Qt takes for screens; the one on output "screen" is primary.
    bool SetMonitor(const QString& name, const QRect& area, const QString& output)
    {
        return X().Run(QStringLiteral("xrandr"), {QStringLiteral("--setmonitor"), name,
                                                  QStringLiteral("%1/338x%2/270+%3+%4").arg(area.width()).arg(area.height())
                                                      .arg(area.x()).arg(area.y()), output}) &&
               X().Run(QStringLiteral("xrandr"), {QStringLiteral("--output"), QStringLiteral("screen"), QStringLiteral("--primary")});
    }
    bool DeleteMonitor(const QString& name) { return X().Run(QStringLiteral("xrandr"), {QStringLiteral("--delmonitor"), name}).has_value(); }
    bool CursorShownAt(const QPoint& point, bool shown)
    {
        return X().Run(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QStringLiteral("--sync"),
                                                   QString::number(point.x()), QString::number(point.y())}) &&
               PollUntil(AppearLimit(), [&] { return (X().VisibleCursorPixels().value_or(-1) > 0) == shown; });
    }
    bool PressKey() { return X().Run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("a")}).has_value(); }
    ::testing::AssertionResult HasStates(WindowId window, const QStringList& wanted)
    {
        const QString states = X().Property(window, QStringLiteral("_NET_WM_STATE"));
        const bool all = std::all_of(wanted.begin(), wanted.end(), [&](const QString& state) { return states.contains(state); });
        return all ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << states;
    }
};

// openbox with a tint2 panel, on two monitors side by side; a chat window
// opens while the saver runs.
TEST_F(DesktopTest, UnderOpenboxWithAPanelTheSaverStaysOnTopAndKeepsTheKeys)
{
    ASSERT_TRUE(SetMonitor(QStringLiteral("A"), kLeftMonitor, QStringLiteral("screen")));
    ASSERT_TRUE(SetMonitor(QStringLiteral("B"), kRightMonitor, QStringLiteral("none")));
    QProcessEnvironment peers = X().ClientEnvironment();
    peers.insert(QStringLiteral("XDG_CONFIG_HOME"), Path(QStringLiteral("peer-config")));
    Start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")}, peers);
    ASSERT_TRUE(PollUntil(AppearLimit(), [&] {
        return X().Run(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")})
            .has_value();
    })) << "openbox did not start";
    Start(QStringLiteral("tint2"), {}, peers);
    ASSERT_TRUE(ScreenShows([](const QImage& s) { return PixelsOtherThan(s, QRect(0, 1024 - 30, 2560, 30), kRoot) > 1000; }))
        << "the panel was never drawn at the bottom";
    const QRect board = BoardCentredIn(kLeftMonitor);

    // Background on: every pixel but the board's is black, the panel's strip
    // included; the cursor is hidden on both monitors.
    Process& saver = StartSaver("ON", SaverEnvironment());
    EXPECT_TRUE(ScreenShows([&](const QImage& s) { return BlackAroundBoard(s, kBothMonitors, board); })) << saver.Describe();
    const std::vector<WindowId> backdrops = X().VisibleWindows(kBackdropTitle);
    EXPECT_EQ(backdrops.size(), 2u);
    for (const WindowId backdrop : backdrops)
        EXPECT_TRUE(HasStates(backdrop, {"_FULLSCREEN", "_ABOVE", "_SKIP_TASKBAR", "_SKIP_PAGER"}));
    for (const QPoint p : {QPoint(5, 5), QPoint(1279, 1023), QPoint(640, 512), QPoint(2555, 1020)})
        EXPECT_TRUE(CursorShownAt(p, false)) << "the cursor shows at " << p.x() << "," << p.y();
    // The chat window is neither shown nor given the keys: the keyboard is grabbed.
    Start(QStringLiteral("xmessage"), {QStringLiteral("-center"), QStringLiteral("A chat message")}, peers);
    ASSERT_TRUE(X().WaitForWindow(QStringLiteral("xmessage")));
    EXPECT_TRUE(saver.StaysRunningFor(Millis(300)));
    EXPECT_TRUE(BlackAroundBoard(X().Screen().value_or(QImage()), kBothMonitors, board)) << "the window shows through";
    ASSERT_TRUE(PressKey());
    EXPECT_EQ(saver.WaitForExit(ExitLimit()), 0) << saver.Describe();

    // Background off: the board floats above the chat window, the desktop and the cursor stay.
    Process& floating = StartSaver("OFF", SaverEnvironment());
    const std::optional<WindowId> window = X().WaitForWindow(kBoardTitle);
    ASSERT_TRUE(window) << floating.Describe();
    EXPECT_EQ(X().Geometry(*window), board);
    EXPECT_TRUE(HasStates(*window, {"_ABOVE", "_SKIP_TASKBAR", "_SKIP_PAGER"}));
    EXPECT_TRUE(CursorShownAt(board.center(), true));
    EXPECT_TRUE(ScreenShows([&](const QImage& s) {
        return ColourCount(s, board) > 20 && PixelsOtherThan(s, QRect(0, 0, 2560, 200), kRoot) == 0;
    }));
    const QImage before = X().Screen().value_or(QImage()).copy(board);
    Start(QStringLiteral("xmessage"), {QStringLiteral("-center"), QStringLiteral("Another message")}, peers);
    ASSERT_TRUE(X().WaitForWindow(QStringLiteral("xmessage")));
    EXPECT_TRUE(floating.StaysRunningFor(Millis(300)));
    EXPECT_EQ(X().Screen().value_or(QImage()).copy(board), before) << "a window covers the board";
    ASSERT_TRUE(PressKey());
    EXPECT_EQ(floating.WaitForExit(ExitLimit()), 0) << floating.Describe();
}

TEST_F(DesktopTest, BackdropsFollowTheMonitorsAndTheBoardThePrimary)
{
    ASSERT_TRUE(SetMonitor(QStringLiteral("A"), kLeftMonitor, QStringLiteral("screen")));
    Process& saver = StartSaver("ON", SaverEnvironment());
    const auto blackBut = [&](const QRect& covered, const QRect& board) {
        return [=](const QImage& s) {
            return BlackAroundBoard(s, covered, board) && PixelsOtherThan(s, kBothMonitors, kRoot, covered) == 0;
        };
    };
    EXPECT_TRUE(ScreenShows(blackBut(kLeftMonitor, BoardCentredIn(kLeftMonitor)))) << saver.Describe();
    const Millis withinASecond(1000);
    ASSERT_TRUE(SetMonitor(QStringLiteral("B"), kRightMonitor, QStringLiteral("none")));
    EXPECT_TRUE(ScreenShows(blackBut(kBothMonitors, BoardCentredIn(kLeftMonitor)), withinASecond))
        << "the added monitor got no backdrop within a second";
    // The primary moves to the right: the monitors are made anew with the primary output on B.
    ASSERT_TRUE(DeleteMonitor(QStringLiteral("B")) && DeleteMonitor(QStringLiteral("A")));
    ASSERT_TRUE(SetMonitor(QStringLiteral("B"), kRightMonitor, QStringLiteral("screen")));
    ASSERT_TRUE(SetMonitor(QStringLiteral("A"), kLeftMonitor, QStringLiteral("none")));
    EXPECT_TRUE(ScreenShows(blackBut(kBothMonitors, BoardCentredIn(kRightMonitor)), withinASecond))
        << "the board did not follow the primary";
    ASSERT_TRUE(DeleteMonitor(QStringLiteral("A")));
    EXPECT_TRUE(ScreenShows(blackBut(kRightMonitor, BoardCentredIn(kRightMonitor)), withinASecond))
        << "the removed monitor kept its backdrop";
    // SIGHUP, as when the session ends: a clean end, the lock gone, the cursor back.
    saver.Signal(SIGHUP);
    EXPECT_EQ(saver.WaitForExit(ExitLimit()), 0) << saver.Describe();
    EXPECT_FALSE(QFile::exists(LockPath())) << "the instance lock stayed";
    EXPECT_TRUE(CursorShownAt(QPoint(1900, 500), true));
}

// The window a screen-saver daemon hands over in XSCREENSAVER_WINDOW; then one
// that names no window, which leaves the saver on its own windows.
TEST_F(DesktopTest, DrawsIntoXscreensaversWindowOnly)
{
    const QRect host(100, 50, 800, 600);
    const WindowId window = X().CreateWindow(host);
    const std::size_t mark = X().Mapped().size();
    QProcessEnvironment env = SaverEnvironment();
    env.insert(QStringLiteral("XSCREENSAVER_WINDOW"), QStringLiteral("0x%1").arg(window, 0, 16));
    Process& saver = StartSaver("ON", env);
    EXPECT_TRUE(ScreenShows([&](const QImage& s) {
        return BlackAroundBoard(s, host, BoardCentredIn(host)) && PixelsOtherThan(s, kBothMonitors, kRoot, host) == 0;
    })) << saver.Describe();
    EXPECT_TRUE(saver.StaysRunningFor(Millis(300)));
    EXPECT_TRUE(X().Mapped(mark).empty()) << "the saver opened windows of its own";
    // Input and cursor stay with the daemon.
    EXPECT_TRUE(CursorShownAt(host.topLeft() + QPoint(10, 10), true));
    saver.Signal(SIGTERM);
    EXPECT_EQ(saver.WaitForExit(ExitLimit()), 0) << saver.Describe();

    env.insert(QStringLiteral("XSCREENSAVER_WINDOW"), QStringLiteral("0x1ffffff0"));
    Process& alone = StartSaver("ON", env);
    EXPECT_TRUE(ScreenShows([&](const QImage& s) { return BlackAroundBoard(s, kBothMonitors, BoardCentredIn(kBothMonitors)); }))
        << alone.Describe();
    EXPECT_TRUE(alone.Log().contains(QLatin1String("names no window"))) << alone.Log();
    ASSERT_TRUE(PressKey());
    EXPECT_EQ(alone.WaitForExit(ExitLimit()), 0) << alone.Describe();
}

using WaylandTest = SaverTest;

// weston, headless, drawing in software; screenshots from its own
// screenshooter, which --debug lets any client use.
TEST_F(WaylandTest, UnderWestonTheBoardShowsOnBlack)
{
    const QString socket = QStringLiteral("wendel-wayland-0");
    const QSize size(1024, 768);
    QProcessEnvironment env = SaverEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.insert(QStringLiteral("WAYLAND_DISPLAY"), socket);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    Process& weston = Start(QStringLiteral("weston"),
                            {QStringLiteral("--backend=headless-backend.so"), QStringLiteral("--use-pixman"),
                             QStringLiteral("--width=%1").arg(size.width()), QStringLiteral("--height=%1").arg(size.height()),
                             QStringLiteral("--socket=") + socket, QStringLiteral("--idle-time=0"), QStringLiteral("--debug")},
                            env);
    if (!PollUntil(AppearLimit(), [&] { return QFileInfo::exists(RuntimeDir() + '/' + socket); }))
        GTEST_SKIP() << "weston cannot run here: " << weston.Log().right(2000).toStdString();

    ASSERT_TRUE(WriteFile(IniPath(), "Custom Look = 2\r\nBackground = ON\r\n"));
    Process& saver = Start(QStringLiteral(WENDELSAVER_BIN), {QStringLiteral("/s")}, env);
    const QRect board = BoardCentredIn(QRect(QPoint(0, 0), size));
    const bool shown = PollUntil(AppearLimit(), [&] {
        QProcess shooter;
        shooter.setProcessEnvironment(env);
        shooter.setWorkingDirectory(Path({})); // where it saves, and no other picture lies
        shooter.start(QStringLiteral("weston-screenshooter"), {});
        if (!shooter.waitForFinished(5000) || shooter.exitCode() != 0) return false;
        const QFileInfoList files = QDir(Path({})).entryInfoList({QStringLiteral("*.png")}, QDir::Files, QDir::Time);
        const QImage shot = files.isEmpty() ? QImage() : QImage(files.front().filePath()).convertToFormat(QImage::Format_RGB32);
        for (const QFileInfo& file : files) QFile::remove(file.filePath());
        const auto black = [&](int x, int y) { return (shot.pixel(x, y) & 0xFFFFFF) == kBlack; };
        return shot.size() == size && black(2, 2) && black(size.width() - 3, size.height() - 3) &&
               black(board.left() - 5, board.center().y()) && ColourCount(shot, board) > 20;
    }, Millis(100));
    EXPECT_TRUE(shown) << "the board is not on black; " << saver.Describe() << "\n" << saver.Log();
    saver.Signal(SIGTERM);
    EXPECT_EQ(saver.WaitForExit(ExitLimit()), 0) << saver.Describe();
}

} // namespace
} // namespace wendel::e2e
