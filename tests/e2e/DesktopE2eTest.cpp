// The saver on real desktops: openbox with a panel, monitors that come and go, xscreensaver's window, weston.

#include "Harness.h"

#include <QDir>

namespace wendel::e2e {
namespace {

constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kRoot = 0xFFFFFF; // the desktop, where nothing covers it
const QRect kLeftMonitor(0, 0, 1280, 1024);
const QRect kRightMonitor(1280, 0, 1280, 1024);
const QRect kBothMonitors = kLeftMonitor | kRightMonitor;

QRect BoardCentredIn(const QRect& area)
{
    return {area.x() + (area.width() - 641) / 2, area.y() + (area.height() - 481) / 2, 641, 481};
}

// `area` is black but for the board at `board`, which is drawn there: neither black nor the desktop.
bool BlackAroundBoard(const QImage& screen, const QRect& area, const QRect& board)
{
    return PixelsOtherThan(screen, area, kBlack, board) == 0 && PixelsOtherThan(screen, board, kBlack) > 1000 &&
           PixelsOtherThan(screen, board, kRoot) > 1000;
}

class DesktopTest : public SaverTest {
protected:
    DesktopTest() { screenSize = kBothMonitors.size(); }
    // RandR 1.5 monitors, which Qt takes for screens; the one on output "screen" is primary.
    bool SetMonitor(const QString& name, const QRect& area, const QString& output)
    {
        const QString geometry =
            QStringLiteral("%1/338x%2/270+%3+%4").arg(area.width()).arg(area.height()).arg(area.x()).arg(area.y());
        return RunX({"xrandr", "--setmonitor", name, geometry, output}) &&
               RunX({"xrandr", "--output", "screen", "--primary"});
    }
    bool HasStates(WindowId window, const QStringList& wanted)
    {
        const QString states = RunX({"xprop", "-id", QString::number(window), "_NET_WM_STATE"}).value_or("");
        return std::all_of(wanted.begin(), wanted.end(), [&](const QString& state) { return states.contains(state); });
    }
};

TEST_F(DesktopTest, UnderOpenboxWithAPanelTheSaverStaysOnTopAndKeepsTheKeys)
{
    ASSERT_TRUE(SetMonitor("A", kLeftMonitor, "screen") && SetMonitor("B", kRightMonitor, "none"));
    ASSERT_TRUE(StartWindowManager());
    Start({"tint2"}, Environment());
    ASSERT_TRUE(WaitUntil([&] { return PixelsOtherThan(Screen(), QRect(0, 1024 - 30, 2560, 30), kRoot) > 1000; }))
        << "the panel was never drawn at the bottom";
    const QRect middle = BoardCentredIn(kLeftMonitor);

    // Background on: all black but the board, the panel included; no cursor on either monitor.
    Process& saver = StartBoard();
    EXPECT_TRUE(WaitUntil([&] { return BlackAroundBoard(Screen(), kBothMonitors, middle); })) << saver.Describe();
    const std::vector<WindowId> backdrops = VisibleWindows("Form1");
    EXPECT_EQ(backdrops.size(), 2u);
    for (const WindowId backdrop : backdrops)
        EXPECT_TRUE(HasStates(backdrop, {"_FULLSCREEN", "_ABOVE", "_SKIP_TASKBAR", "_SKIP_PAGER"}));
    for (const QPoint p : {QPoint(5, 5), QPoint(1279, 1023), QPoint(2555, 1020)})
        EXPECT_TRUE(CursorShownAt(p, false)) << "the cursor shows at " << p.x() << "," << p.y();
    // The chat window is neither shown nor given the keys: the keyboard is grabbed.
    Start({"xmessage", "-center", "A chat message"}, Environment());
    ASSERT_TRUE(WaitForWindow("xmessage"));
    EXPECT_TRUE(saver.StaysRunningFor(Millis(300)));
    EXPECT_TRUE(BlackAroundBoard(Screen(), kBothMonitors, middle)) << "the window shows through";
    ASSERT_TRUE(RunX({"xdotool", "key", "a"}));
    EXPECT_EQ(saver.WaitForExit(), 0) << saver.Describe();

    // Background off: the board floats above other windows; the desktop and the cursor stay.
    Process& floating = StartBoard("Custom Look = 2\r\nBackground = OFF\r\n");
    ASSERT_TRUE(board) << floating.Describe();
    EXPECT_EQ(boardAt, middle);
    EXPECT_TRUE(HasStates(*board, {"_ABOVE", "_SKIP_TASKBAR", "_SKIP_PAGER"}));
    EXPECT_TRUE(WaitUntil([&] {
        const QImage s = Screen();
        return PixelsOtherThan(s, middle, kRoot) > 1000 && PixelsOtherThan(s, QRect(0, 0, 2560, 200), kRoot) == 0;
    }));
    ASSERT_TRUE(RunX({"xdotool", "key", "a"}));
    EXPECT_EQ(floating.WaitForExit(), 0) << floating.Describe();
}

// The backdrops follow the monitors within a second, the board the primary. Then the window a daemon
// hands over in XSCREENSAVER_WINDOW, and one that names no window, which leaves the saver on its own.
TEST_F(DesktopTest, BackdropsFollowTheMonitorsOrTheSaverDrawsIntoXscreensaversWindow)
{
    ASSERT_TRUE(SetMonitor("A", kLeftMonitor, "screen"));
    Process& monitors = StartBoard();
    const auto blackBut = [&](const QRect& covered, const QRect& board) {
        return [=, this] {
            const QImage s = Screen();
            return BlackAroundBoard(s, covered, board) && PixelsOtherThan(s, kBothMonitors, kRoot, covered) == 0;
        };
    };
    EXPECT_TRUE(WaitUntil(blackBut(kLeftMonitor, BoardCentredIn(kLeftMonitor)))) << monitors.Describe();
    const auto delmonitor = [&](const char* name) { return RunX({"xrandr", "--delmonitor", name}).has_value(); };
    ASSERT_TRUE(SetMonitor("B", kRightMonitor, "none"));
    EXPECT_TRUE(WaitUntil(blackBut(kBothMonitors, BoardCentredIn(kLeftMonitor)), Millis(1000)))
        << "the added monitor got no backdrop within a second";
    // The primary moves to the right: the monitors are made anew with the primary output on B.
    ASSERT_TRUE(delmonitor("B") && delmonitor("A") && SetMonitor("B", kRightMonitor, "screen") &&
                SetMonitor("A", kLeftMonitor, "none"));
    EXPECT_TRUE(WaitUntil(blackBut(kBothMonitors, BoardCentredIn(kRightMonitor)), Millis(1000)))
        << "the board did not follow the primary";
    ASSERT_TRUE(delmonitor("A"));
    EXPECT_TRUE(WaitUntil(blackBut(kRightMonitor, BoardCentredIn(kRightMonitor)), Millis(1000)))
        << "the removed monitor kept its backdrop";
    // SIGHUP, as when the session ends: a clean end, the lock gone, the cursor back (moved out of the way).
    EXPECT_EQ(monitors.Stop(SIGHUP), 0) << monitors.Describe();
    EXPECT_FALSE(QFile::exists(LockPath())) << "the instance lock stayed";
    EXPECT_TRUE(CursorShownAt(QPoint(1900, 500), true));

    const QRect host(1380, 50, 800, 600);
    const WindowId window = CreateWindow(host);
    const std::size_t mark = Mapped().size();
    QProcessEnvironment env = Environment();
    env.insert("XSCREENSAVER_WINDOW", QStringLiteral("0x%1").arg(window, 0, 16));
    Process& saver = Start({WENDELSAVER_BIN, "/s"}, env);
    EXPECT_TRUE(WaitUntil(blackBut(host, BoardCentredIn(host)))) << saver.Describe();
    EXPECT_TRUE(Mapped(mark).empty()) << "the saver opened windows of its own";
    // Input and cursor stay with the daemon.
    EXPECT_TRUE(CursorShownAt(host.topLeft() + QPoint(10, 10), true));
    EXPECT_EQ(saver.Stop(), 0) << saver.Describe();

    env.insert("XSCREENSAVER_WINDOW", "0x1ffffff0");
    Process& alone = StartBoard(kBoardSettings, env);
    EXPECT_TRUE(WaitUntil([&] { return BlackAroundBoard(Screen(), kRightMonitor, BoardCentredIn(kRightMonitor)); }))
        << alone.Describe();
    ASSERT_TRUE(RunX({"xdotool", "key", "a"}));
    EXPECT_EQ(alone.WaitForExit(), 0) << alone.Describe();
}

using WaylandTest = SaverTest;

// weston, headless, in software; its screenshooter, which --debug lets any client use.
TEST_F(WaylandTest, UnderWestonTheBoardShowsOnBlack)
{
    QProcessEnvironment env = Environment();
    env.insert("WAYLAND_DISPLAY", "wendel-wayland-0");
    env.insert("QT_QPA_PLATFORM", "wayland");
    Process& weston = Start({"weston", "--backend=headless-backend.so", "--use-pixman", "--width=1024", "--height=768",
                             "--socket=wendel-wayland-0", "--idle-time=0", "--debug"},
                            env);
    if (!WaitUntil([&] { return QFileInfo::exists(RuntimeDir() + "/wendel-wayland-0"); }))
        GTEST_SKIP() << "weston cannot run here: " << weston.Log().right(2000);

    ASSERT_TRUE(WriteFile(iniPath, kBoardSettings));
    Process& saver = Start({WENDELSAVER_BIN, "/s"}, env);
    EXPECT_TRUE(WaitUntil([&] {
        // It saves into the folder it runs in, where no other picture lies.
        if (!RunTool({"sh", "-c", "cd \"$0\" && weston-screenshooter", Path({})}, env, Millis(5000))) return false;
        const QFileInfoList files = QDir(Path({})).entryInfoList({"*.png"}, QDir::Files, QDir::Time);
        const QImage shot = QImage(files.value(0).filePath()).convertToFormat(QImage::Format_RGB32);
        for (const QFileInfo& file : files) QFile::remove(file.filePath());
        return shot.size() == QSize(1024, 768) && BlackAroundBoard(shot, shot.rect(), BoardCentredIn(shot.rect()));
    }, AppearLimit(), Millis(100))) << "the board is not on black; " << saver.Describe() << "\n" << saver.Log();
    EXPECT_EQ(saver.Stop(), 0) << saver.Describe();
}

} // namespace
} // namespace wendel::e2e
