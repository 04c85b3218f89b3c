// How the saver is started and set up, seen from outside: the command line
// as a process gets it, the single-instance lock, the setup dialog and its
// settings file, an idle launcher, and an install into a private DESTDIR.

#include "SaverTest.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>

#include <algorithm>
#include <csignal>

namespace wendel::e2e {
namespace {

const QByteArray kSettings = "Custom Look = 3\r\nOverlap = 7\r\nBackground = OFF\r\nDefault Image =\r\n";
const std::vector<QByteArray> kSettingsLines = {"Custom Look = 3", "Overlap = 7", "Background = OFF", "Default Image ="};

using StartupTest = SaverTest;

// Qt's own options begin with "-" like the switches: Qt must not take them
// away before the switch is read. Each of these ends at once, as its switch says.
TEST_F(StartupTest, SwitchesAreReadBeforeQtTakesItsOptions)
{
    const QStringList rows[] = {
        {QStringLiteral("-reverse")},
        {QStringLiteral("-style"), QStringLiteral("fusion")},
        {QStringLiteral("-platform"), QStringLiteral("offscreen"), QStringLiteral("/s")},
        {QStringLiteral("-platform"), QStringLiteral("offscreen"), QStringLiteral("/p")},
        {QStringLiteral("/p"), QStringLiteral("1234")},
    };
    for (const QStringList& args : rows) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const std::size_t mark = X().TopLevelEvents().size();
        Process& saver = Launch(args);
        EXPECT_EQ(saver.WaitForExit(ExitLimit()), 0) << saver.Describe();
        // The watch on the root window sees even a window shown for an instant.
        EXPECT_TRUE(X().Mapped(mark).empty());
        EXPECT_FALSE(QFile::exists(IniPath()));
        EXPECT_FALSE(QFile::exists(LockPath())) << "the lock outlived its process";
    }
}

TEST_F(StartupTest, OneInstanceAtATimeAndALockLeftBehindDoesNotBlock)
{
    ASSERT_TRUE(WriteFile(IniPath(), kSettings));
    Process& first = Launch({QStringLiteral("/c")});
    const std::optional<WindowId> dialog = X().WaitForWindow(kSetupTitle);
    ASSERT_TRUE(dialog) << first.Describe();
    const std::size_t mark = X().TopLevelEvents().size();
    Process& second = Launch({QStringLiteral("/s")});
    EXPECT_EQ(second.WaitForExit(ExitLimit()), 0) << second.Describe();
    EXPECT_TRUE(X().Mapped(mark).empty());
    EXPECT_TRUE(first.IsRunning() && QFile::exists(LockPath()));

    // Killed as in a crash, its lock stays; after a reboot its process id can
    // belong to another program, here this test binary. Neither blocks.
    first.KillHard();
    ASSERT_TRUE(X().WaitUntilGone(*dialog));
    QList<QByteArray> lock = ReadFile(LockPath()).value_or("").split('\n');
    ASSERT_GT(lock.size(), 1) << "no lock left behind: this proves nothing";
    lock[0] = QByteArray::number(QCoreApplication::applicationPid());
    ASSERT_TRUE(WriteFile(LockPath(), lock.join('\n')));
    Process& next = Launch({QStringLiteral("/c")});
    ASSERT_TRUE(PressReturnIn(kSetupTitle)) << "blocked by the lock; " << next.Describe();
    EXPECT_EQ(next.WaitForExit(ExitLimit()), 0) << next.Describe();
    EXPECT_TRUE(IsSettingsFile(ReadFile(IniPath()), kSettingsLines));
}

TEST_F(StartupTest, TheSetupDialogWritesItsSettingsFile)
{
    // A folder and a name that are not ASCII, given through the environment.
    SetIniPath(Path(QStringLiteral("Mein Ordner \u00e4/wendel saver \u00fc.ini")));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(IniPath()).path()));
    // Without a file, its box comes first, alone; OK then writes the defaults.
    const std::size_t mark = X().TopLevelEvents().size();
    Process& setup = Launch({QStringLiteral("/c")});
    const std::optional<WindowId> box = X().WaitForWindow(kSettingsBoxTitle);
    ASSERT_TRUE(box) << setup.Describe();
    EXPECT_TRUE(X().VisibleWindows(kSetupTitle).empty()) << "the dialog came before the box";
    ASSERT_TRUE(X().PressKeys(*box, {QStringLiteral("Return")}));
    const std::optional<WindowId> dialog = X().WaitForWindow(kSetupTitle);
    ASSERT_TRUE(dialog) << setup.Describe();
    EXPECT_TRUE(X().VisibleWindows(kSettingsBoxTitle).empty()) << "the box stayed";
    // 5145 x 3045 twips at 96 dpi; off the task bar, yet a dialog to the window manager.
    EXPECT_EQ(X().Inspect(*dialog).value_or(WindowGeometry()).rect.size(), QSize(343, 203));
    const std::vector<QString> states = X().AtomNames(*dialog, "_NET_WM_STATE");
    EXPECT_EQ(std::count(states.begin(), states.end(), QStringLiteral("_NET_WM_STATE_SKIP_TASKBAR")), 1);
    const std::vector<QString> types = X().AtomNames(*dialog, "_NET_WM_WINDOW_TYPE");
    EXPECT_EQ(types.empty() ? QString() : types.front(), QStringLiteral("_NET_WM_WINDOW_TYPE_DIALOG"));
    // Setup never hides the cursor.
    ASSERT_TRUE(X().MovePointer(*dialog, 170, 100));
    EXPECT_GT(X().VisibleCursorPixels().value_or(0), 0);
    EXPECT_FALSE(QFile::exists(IniPath())) << "written before OK";
    // The focus is on OK.
    ASSERT_TRUE(X().PressKeys(*dialog, {QStringLiteral("Return")}));
    EXPECT_EQ(setup.WaitForExit(ExitLimit()), 0) << setup.Describe();
    EXPECT_EQ(X().Mapped(mark), std::vector<WindowId>({*box, *dialog}));
    EXPECT_TRUE(IsSettingsFile(ReadFile(IniPath()), {"Custom Look = 1", "Overlap = 2", "Background = ON", "Default Image ="}));
    EXPECT_EQ(FolderEntries(QFileInfo(IniPath()).path()), QStringList{QFileInfo(IniPath()).fileName()})
        << "something was left beside the file";

    // SIGTERM ends it cleanly, its lock gone and its file as it was.
    ASSERT_TRUE(WriteFile(IniPath(), kSettings));
    Process& again = Launch({QStringLiteral("/c")});
    ASSERT_TRUE(X().WaitForWindow(kSetupTitle)) << again.Describe();
    again.Signal(SIGTERM);
    EXPECT_EQ(again.WaitForExit(ExitLimit()), 0) << again.Describe();
    EXPECT_FALSE(QFile::exists(LockPath())) << "the instance lock stayed";
    EXPECT_EQ(ReadFile(IniPath()), kSettings);
}

// The saver started by xautolock under openbox. xautolock's idle time is at
// least a minute; its '+' corner is the same countdown with a delay in
// seconds while the pointer rests there, and -cornerredelay starts it again
// after it ended, so two idle periods take seconds. Before it, the X server's
// own screen saver comes on (tiling, as Xvfb does not blank): the board must
// take its place.
TEST_F(StartupTest, XautolockStartsItOnEveryIdlePeriod)
{
    ASSERT_TRUE(WriteFile(IniPath(), "Custom Look = 1\r\nOverlap = 2\r\nBackground = ON\r\nDefault Image =\r\n"));
    Start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")}, X().ClientEnvironment());
    ASSERT_TRUE(PollUntil(AppearLimit(), [&] {
        return X().Run(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")})
            .value_or("").contains("window id");
    })) << "openbox did not start";
    ASSERT_TRUE(X().Run(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QStringLiteral("--sync"), QStringLiteral("0"),
                                                    QStringLiteral("0")}));
    ASSERT_TRUE(X().Run(QStringLiteral("xsetroot"), {QStringLiteral("-solid"), QStringLiteral("#ff0000")}));
    ASSERT_TRUE(X().Run(QStringLiteral("xset"), {QStringLiteral("s"), QStringLiteral("noblank")}));
    ASSERT_TRUE(X().Run(QStringLiteral("xset"), {QStringLiteral("s"), QStringLiteral("activate")}));
    const auto cornerIs = [&](std::uint32_t colour) {
        return PollUntil(AppearLimit(), [&] { return PixelsOf(X().Screen().value_or(QImage()), QRect(0, 0, 1, 1), colour) == 1; });
    };
    ASSERT_TRUE(cornerIs(0xFF0000)) << "the server's screen saver is not on: this proves nothing";
    // The locker runs through /bin/sh, with standard error closed.
    Start(QStringLiteral("xautolock"),
          {QStringLiteral("-time"), QStringLiteral("1"), QStringLiteral("-locker"),
           QStringLiteral("'%1' /s").arg(QStringLiteral(WENDELSAVER_BIN)), QStringLiteral("-corners"), QStringLiteral("+000"),
           QStringLiteral("-cornerdelay"), QStringLiteral("1"), QStringLiteral("-cornerredelay"), QStringLiteral("2")},
          SaverEnvironment());

    for (const char* period : {"first", "second"}) {
        SCOPED_TRACE(period);
        // xautolock looks once a second; a few seconds cover the delay and the start.
        board = X().WaitForWindow(kBoardTitle, Patience(Millis(10000)));
        ASSERT_TRUE(board) << "the saver did not start";
        const qint64 pid = ReadFile(LockPath()).value_or("").split('\n').value(0).toLongLong();
        const auto alive = [&] { return pid > 0 && QFile::exists(QStringLiteral("/proc/%1").arg(pid)); };
        ASSERT_TRUE(alive());
        // The black backdrop shows where the server's red tiles lay over everything.
        EXPECT_TRUE(cornerIs(0x000000));
        for (const int fd : {1, 2}) {
            EXPECT_EQ(QFileInfo(QStringLiteral("/proc/%1/fd/%2").arg(pid).arg(fd)).symLinkTarget(), QStringLiteral("/dev/null"))
                << "descriptor " << fd << " is not kept on /dev/null";
        }
        // No input: it stays, and it stays alone.
        ASSERT_FALSE(PollUntil(Millis(1500), [&] { return !alive(); })) << "it ended by itself";
        EXPECT_EQ(X().VisibleWindows(kBoardTitle).size(), 1u);
        ASSERT_TRUE(X().PressKeys(*board, {QStringLiteral("space")}));
        EXPECT_TRUE(PollUntil(ExitLimit(), [&] { return !alive(); })) << "a key did not end it";
        EXPECT_TRUE(X().WaitUntilGone(*board));
    }
}

// Installs the build under `prefix`, inside `destdir` when one is given, as a package build does.
bool Install(const QString& prefix, const QString& destdir = {})
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!destdir.isEmpty()) env.insert(QStringLiteral("DESTDIR"), destdir);
    return RunTool(QStringLiteral(WENDEL_CMAKE), {QStringLiteral("--install"), QStringLiteral(WENDEL_BUILD_DIR),
                                                  QStringLiteral("--prefix"), prefix},
                   env, Patience(Millis(30000)))
        .has_value();
}

enum class Kind { Program, ManPage, Icon, Text, Gzipped };

TEST_F(StartupTest, AnInstallHoldsEveryFileAndItsProgramsRunFromThere)
{
    // Everything an install holds: a new program, unit or doc adds its line here.
    const struct {
        const char* path; // below /usr
        Kind kind;
        int iconSize = 0;
    } installed[] = {
        {"bin/wendelsaver", Kind::Program}, {"bin/plx-sim", Kind::Program}, {"bin/plx-mpd", Kind::Program},
        {"bin/plx-mpris", Kind::Program}, {"share/man/man1/wendelsaver.1.gz", Kind::ManPage},
        {"share/man/man1/plx-sim.1.gz", Kind::ManPage}, {"share/man/man1/plx-mpd.1.gz", Kind::ManPage},
        {"share/man/man1/plx-mpris.1.gz", Kind::ManPage}, {"share/applications/wendelsaver.desktop", Kind::Text},
        {"lib/systemd/user/wendelsaver-idle.service", Kind::Text}, {"lib/systemd/user/plx-mpd.service", Kind::Text},
        {"lib/systemd/user/plx-mpris.service", Kind::Text},
        {"share/icons/hicolor/16x16/apps/wendelsaver.png", Kind::Icon, 16},
        {"share/icons/hicolor/32x32/apps/wendelsaver.png", Kind::Icon, 32},
        {"share/icons/hicolor/48x48/apps/wendelsaver.png", Kind::Icon, 48},
        {"share/icons/hicolor/64x64/apps/wendelsaver.png", Kind::Icon, 64},
        {"share/icons/hicolor/128x128/apps/wendelsaver.png", Kind::Icon, 128},
        {"share/icons/hicolor/256x256/apps/wendelsaver.png", Kind::Icon, 256},
        {"share/doc/wendelsaver/README.md", Kind::Text}, {"share/doc/wendelsaver/copyright", Kind::Text},
        {"share/doc/wendelsaver/changelog.gz", Kind::Gzipped}, {"share/doc/wendelsaver/docs/idle.md", Kind::Text},
        {"share/doc/wendelsaver/docs/link-protocol.md", Kind::Text},
        {"share/doc/wendelsaver/docs/now-playing.md", Kind::Text}, {"share/doc/wendelsaver/docs/plx-sim.md", Kind::Text},
        {"share/doc/wendelsaver/docs/plx-mpd.md", Kind::Text}, {"share/doc/wendelsaver/docs/plx-mpris.md", Kind::Text},
        {"share/doc/wendelsaver/docs/jukebox.md", Kind::Text}, {"share/doc/wendelsaver/docs/fuzzing.md", Kind::Text},
    };
    const QString usr = Path(QStringLiteral("dest/usr/"));
    ASSERT_TRUE(Install(QStringLiteral("/usr"), Path(QStringLiteral("dest"))));
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QSet<QString> expected;
    for (const auto& file : installed) {
        SCOPED_TRACE(file.path);
        const QString path = usr + QLatin1String(file.path);
        expected.insert(path);
        ASSERT_GT(QFileInfo(path).size(), 0) << "missing or empty";
        const auto gunzip = [&] {
            return RunTool(QStringLiteral("gzip"), {QStringLiteral("-dc"), path}, env, Millis(30000)).value_or("");
        };
        switch (file.kind) {
        case Kind::Program: EXPECT_TRUE(QFileInfo(path).isExecutable()); break;
        case Kind::ManPage: EXPECT_TRUE(gunzip().startsWith(".TH ") && gunzip().contains("\n.SH NAME\n")); break;
        case Kind::Gzipped: EXPECT_FALSE(gunzip().isEmpty()); break;
        case Kind::Icon:
            EXPECT_EQ(QImage(path).size(), QSize(file.iconSize, file.iconSize));
            EXPECT_TRUE(QImage(path).hasAlphaChannel());
            break;
        case Kind::Text: break;
        }
    }
    QDirIterator all(Path(QStringLiteral("dest")), QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (all.hasNext()) {
        const QString path = all.next();
        EXPECT_TRUE(expected.contains(path)) << "unexpected file " << path;
    }

    // The settings entry and the user units pass Debian's own checks.
    const QString entry = usr + QStringLiteral("share/applications/wendelsaver.desktop");
    // Any word from a check is a fault: unknown keys are only warned about.
    EXPECT_EQ(RunTool(QStringLiteral("desktop-file-validate"), {entry}, env, Millis(30000)), QByteArray());
    const QList<QByteArray> lines = ReadFile(entry).value_or("").split('\n');
    for (const char* line : {"Name=WendelSaver Settings", "Exec=wendelsaver /c", "Icon=wendelsaver"})
        EXPECT_TRUE(lines.contains(line)) << line;
    EXPECT_TRUE(ReadFile(usr + QStringLiteral("lib/systemd/user/wendelsaver-idle.service"))
                    .value_or("").contains("\nExecStart=/usr/bin/xss-lock -- /usr/bin/wendelsaver /s\n"));
    const QString systemdAnalyze = QStandardPaths::findExecutable(QStringLiteral("systemd-analyze"));
    if (!systemdAnalyze.isEmpty()) {
        // Under a prefix of its own rather than in a DESTDIR, so that the
        // programs a unit starts are where it says: systemd checks that they
        // are. The user manager's checks need a runtime folder, not a running
        // systemd; --man=no: the pages are not installed system-wide.
        const QString prefix = Path(QStringLiteral("prefix/usr"));
        ASSERT_TRUE(Install(prefix));
        QProcessEnvironment runtime = env;
        runtime.insert(QStringLiteral("XDG_RUNTIME_DIR"), RuntimeDir());
        const QString units = prefix + QStringLiteral("/lib/systemd/user/");
        for (const QString& unit : QDir(units).entryList({QStringLiteral("*.service")})) {
            SCOPED_TRACE(unit.toStdString());
            EXPECT_EQ(RunTool(systemdAnalyze, {QStringLiteral("verify"), QStringLiteral("--user"), QStringLiteral("--man=no"),
                                               units + unit}, runtime, Millis(30000)),
                      QByteArray());
            const QByteArray text = ReadFile(units + unit).value_or("");
            EXPECT_TRUE(text.contains("\nWantedBy=graphical-session.target\n") &&
                        text.contains("\nPartOf=graphical-session.target\n"));
        }
    }

    // The installed saver shows the board of the installed jukebox, with its
    // artwork built in: look 2's blue ellipse in the header box at (16, 18).
    Process& jukebox = StartJukebox("[track]\nartist = Artist\nalbum = Album\ntitle = Title\nlength = 0:30\n", {},
                                    usr + QStringLiteral("bin/plx-sim"));
    Process& saver = StartBoard(kBoardSettings, {}, usr + QStringLiteral("bin/wendelsaver"));
    ASSERT_TRUE(board) << saver.Describe();
    EXPECT_TRUE(jukebox.WaitForLog(QStringLiteral("< SEND\tplx\tnotify_playing_item[on]"))) << jukebox.Log();
    EXPECT_TRUE(BoardShows([&] {
        const QRgb pixel = X().Screen().value_or(QImage()).pixel(boardAt.topLeft() + QPoint(16 + 45, 18 + 37));
        return qBlue(pixel) > 120 && qBlue(pixel) > qRed(pixel) + 40 && qBlue(pixel) > qGreen(pixel) + 20;
    }));
    ASSERT_TRUE(X().PressKeys(*board, {QStringLiteral("a")}));
    EXPECT_EQ(saver.WaitForExit(ExitLimit()), 0) << saver.Describe();
}

} // namespace
} // namespace wendel::e2e
