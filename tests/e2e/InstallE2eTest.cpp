// `cmake --install` into a private DESTDIR, and what a user then finds there:
// every file in its place, a menu entry and user units that Debian's own
// tools accept, and installed programs that run from where they landed.

#include "JukeboxProcess.h"
#include "SaverTest.h"
#include "ScreenPixels.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QImage>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace wendel::e2e {
namespace {

const QString kPrefix = QStringLiteral("/usr");

enum class Kind { Program, ManPage, Icon, Text, Gzipped };

struct InstalledFile {
    const char* path; // below the prefix
    Kind kind;
    int iconSize = 0;
};

// Everything an install holds. A new program, unit or doc adds its line here.
const InstalledFile kInstalled[] = {
    {"bin/wendelsaver", Kind::Program},
    {"bin/plx-sim", Kind::Program},
    {"bin/plx-mpd", Kind::Program},
    {"bin/plx-mpris", Kind::Program},
    {"share/man/man1/wendelsaver.1.gz", Kind::ManPage},
    {"share/man/man1/plx-sim.1.gz", Kind::ManPage},
    {"share/man/man1/plx-mpd.1.gz", Kind::ManPage},
    {"share/man/man1/plx-mpris.1.gz", Kind::ManPage},
    {"share/applications/wendelsaver.desktop", Kind::Text},
    {"lib/systemd/user/wendelsaver-idle.service", Kind::Text},
    {"lib/systemd/user/plx-mpd.service", Kind::Text},
    {"lib/systemd/user/plx-mpris.service", Kind::Text},
    {"share/icons/hicolor/16x16/apps/wendelsaver.png", Kind::Icon, 16},
    {"share/icons/hicolor/32x32/apps/wendelsaver.png", Kind::Icon, 32},
    {"share/icons/hicolor/48x48/apps/wendelsaver.png", Kind::Icon, 48},
    {"share/icons/hicolor/64x64/apps/wendelsaver.png", Kind::Icon, 64},
    {"share/icons/hicolor/128x128/apps/wendelsaver.png", Kind::Icon, 128},
    {"share/icons/hicolor/256x256/apps/wendelsaver.png", Kind::Icon, 256},
    {"share/doc/wendelsaver/README.md", Kind::Text},
    {"share/doc/wendelsaver/copyright", Kind::Text},
    {"share/doc/wendelsaver/changelog.gz", Kind::Gzipped},
    {"share/doc/wendelsaver/docs/idle.md", Kind::Text},
    {"share/doc/wendelsaver/docs/link-protocol.md", Kind::Text},
    {"share/doc/wendelsaver/docs/now-playing.md", Kind::Text},
    {"share/doc/wendelsaver/docs/plx-sim.md", Kind::Text},
    {"share/doc/wendelsaver/docs/plx-mpd.md", Kind::Text},
    {"share/doc/wendelsaver/docs/plx-mpris.md", Kind::Text},
    {"share/doc/wendelsaver/docs/jukebox.md", Kind::Text},
    {"share/doc/wendelsaver/docs/fuzzing.md", Kind::Text},
};

Millis ToolLimit() { return Patience(Millis(30000)); }

// Installs the build under `prefix`, inside `destdir` when one is given, as
// a package build does.
::testing::AssertionResult Install(const QString& prefix, const QString& destdir = {})
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!destdir.isEmpty()) env.insert(QStringLiteral("DESTDIR"), destdir);
    const ToolResult result =
        RunTool(QStringLiteral(WENDEL_CMAKE),
                {QStringLiteral("--install"), QStringLiteral(WENDEL_BUILD_DIR), QStringLiteral("--prefix"), prefix},
                env, ToolLimit());
    if (result.Succeeded()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "cmake --install failed: " << result.out.toStdString()
                                         << result.err.toStdString();
}

ToolResult RunQuick(const QString& program, const QStringList& args)
{
    return RunTool(program, args, QProcessEnvironment::systemEnvironment(), ToolLimit());
}

::testing::AssertionResult HasRightContent(const QString& path, const InstalledFile& file)
{
    const QFileInfo info(path);
    if (info.size() == 0) return ::testing::AssertionFailure() << "empty";
    switch (file.kind) {
    case Kind::Program:
        if (!info.isExecutable()) return ::testing::AssertionFailure() << "not executable";
        break;
    case Kind::ManPage: {
        const ToolResult page = RunQuick(QStringLiteral("gzip"), {QStringLiteral("-dc"), path});
        if (!page.Succeeded() || !page.out.contains("\n.SH NAME\n") || !page.out.startsWith(".TH ")) {
            return ::testing::AssertionFailure() << "not a gzipped manual page";
        }
        break;
    }
    case Kind::Gzipped:
        if (!RunQuick(QStringLiteral("gzip"), {QStringLiteral("-t"), path}).Succeeded()) {
            return ::testing::AssertionFailure() << "not gzip";
        }
        break;
    case Kind::Icon: {
        const QImage icon(path);
        if (icon.size() != QSize(file.iconSize, file.iconSize) || !icon.hasAlphaChannel()) {
            return ::testing::AssertionFailure() << "a " << icon.width() << " x " << icon.height()
                                                 << " picture, alpha " << icon.hasAlphaChannel();
        }
        break;
    }
    case Kind::Text:
        break;
    }
    return ::testing::AssertionSuccess();
}

class InstallTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(destdir_.isValid());
        ASSERT_TRUE(Install(kPrefix, destdir_.path()));
    }

    QString Installed(const QString& relative) const
    {
        return destdir_.path() + kPrefix + QLatin1Char('/') + relative;
    }

    QTemporaryDir destdir_;
};

TEST_F(InstallTest, EveryFileIsInItsPlaceAndNothingElse)
{
    QSet<QString> expected;
    for (const InstalledFile& file : kInstalled) {
        SCOPED_TRACE(file.path);
        const QString relative = QString::fromLatin1(file.path);
        expected.insert(relative);
        ASSERT_TRUE(QFileInfo(Installed(relative)).isFile()) << "missing";
        EXPECT_TRUE(HasRightContent(Installed(relative), file));
    }
    QDirIterator all(destdir_.path(), QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (all.hasNext()) {
        const QString relative = all.next().mid(Installed(QString()).size());
        EXPECT_TRUE(expected.contains(relative)) << "unexpected file " << relative;
    }
}

TEST_F(InstallTest, TheSettingsEntryIsValid)
{
    const QString entry = Installed(QStringLiteral("share/applications/wendelsaver.desktop"));
    const ToolResult validation = RunQuick(QStringLiteral("desktop-file-validate"), {entry});
    EXPECT_TRUE(validation.Succeeded() && validation.out.isEmpty() && validation.err.isEmpty())
        << validation.out.toStdString() << validation.err.toStdString();
    const std::optional<QByteArray> text = ReadFile(entry);
    ASSERT_TRUE(text);
    const QList<QByteArray> lines = text->split('\n');
    EXPECT_TRUE(lines.contains("Name=WendelSaver Settings"));
    EXPECT_TRUE(lines.contains("Exec=wendelsaver /c"));
    // The icon name is found at every size of the hicolor theme.
    EXPECT_TRUE(lines.contains("Icon=wendelsaver"));
}

TEST_F(InstallTest, UserUnitsPassSystemdsVerification)
{
    const QString systemdAnalyze = QStandardPaths::findExecutable(QStringLiteral("systemd-analyze"));
    if (systemdAnalyze.isEmpty()) GTEST_SKIP() << "systemd-analyze is not installed: no systemd here";
    // The user manager's checks need a runtime folder; they work without a
    // running systemd, as root too. --man=no: the pages are not installed
    // system-wide yet.
    QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    // Under a prefix of its own rather than in a DESTDIR, so that the
    // programs a unit starts are where it says: systemd checks that they are.
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString unitDir = root.path() + kPrefix + QStringLiteral("/lib/systemd/user/");
    ASSERT_TRUE(Install(root.path() + kPrefix));
    const QStringList units = QDir(unitDir).entryList({QStringLiteral("*.service")});
    ASSERT_FALSE(units.isEmpty());
    for (const QString& unit : units) {
        SCOPED_TRACE(unit.toStdString());
        const QString path = unitDir + unit;
        const ToolResult verify = RunTool(systemdAnalyze,
                                          {QStringLiteral("verify"), QStringLiteral("--user"),
                                           QStringLiteral("--man=no"), path},
                                          env, ToolLimit());
        // Unknown keys are only warned about, so any word from it is a fault.
        EXPECT_TRUE(verify.Succeeded() && verify.out.isEmpty() && verify.err.isEmpty())
            << verify.out.toStdString() << verify.err.toStdString();
        const std::optional<QByteArray> text = ReadFile(path);
        ASSERT_TRUE(text);
        EXPECT_TRUE(text->contains("\nWantedBy=graphical-session.target\n"));
        EXPECT_TRUE(text->contains("\nPartOf=graphical-session.target\n"));
    }
    const std::optional<QByteArray> idle = ReadFile(Installed(QStringLiteral("lib/systemd/user/wendelsaver-idle.service")));
    ASSERT_TRUE(idle);
    EXPECT_TRUE(idle->contains("\nExecStart=/usr/bin/xss-lock -- /usr/bin/wendelsaver /s\n")) << idle->toStdString();
}

// The installed programs, run from the DESTDIR under the harness's Xvfb.
class InstalledProgramsTest : public SaverTest {
protected:
    void SetUp() override
    {
        SaverTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(Install(kPrefix, Path(QStringLiteral("dest"))));
    }

    QString Program(const char* name) const { return Path(QStringLiteral("dest/usr/bin/")) + QLatin1String(name); }
};

TEST_F(InstalledProgramsTest, TheSaverShowsTheBoardOfTheInstalledJukebox)
{
    const QString playlist = Path(QStringLiteral("list.plx"));
    ASSERT_TRUE(WriteFile(playlist, "[track]\nartist = Artist\nalbum = Album\ntitle = Title\nlength = 0:30\n"));
    JukeboxProcess jukebox({QStringLiteral("--playlist"), playlist, QStringLiteral("--verbose")}, SaverEnvironment(),
                           Path(QStringLiteral("plx-sim.log")), Program("plx-sim"));
    ASSERT_TRUE(jukebox.WaitForLog(QStringLiteral("listening on"), AppearLimit())) << jukebox.Describe();

    ASSERT_TRUE(WriteFile(IniPath(), "Custom Look = 2\r\nOverlap = 2\r\nBackground = ON\r\nDefault Image =\r\n"));
    SaverProcess& saver = LaunchProgram(Program("wendelsaver"), {QStringLiteral("/s")});
    const std::optional<WindowId> board = X().WaitForWindow(QStringLiteral("WendelSaver"), AppearLimit());
    ASSERT_TRUE(board) << saver.Describe();
    EXPECT_TRUE(jukebox.WaitForLog(QStringLiteral("< SEND\tplx\tnotify_playing_item[on]"), AppearLimit()))
        << jukebox.Log();

    // Look 2's blue ellipse in the header box at (16, 18): the artwork is built in.
    const std::optional<WindowGeometry> at = X().Inspect(*board);
    ASSERT_TRUE(at);
    EXPECT_TRUE(PollUntil(AppearLimit(), [&] {
        const std::uint32_t pixel = ScreenPixel(X().Display(), at->x + 16 + 45, at->y + 18 + 37).value_or(0);
        const int red = int(pixel >> 16 & 0xff), green = int(pixel >> 8 & 0xff), blue = int(pixel & 0xff);
        return blue > 120 && blue > red + 40 && blue > green + 20;
    }));

    ASSERT_TRUE(X().PressKeys(*board, {QStringLiteral("a")}));
    EXPECT_EQ(saver.WaitForExit(PromptExitLimit()), 0) << saver.Describe();
}

TEST_F(InstalledProgramsTest, TheSetupDialogOpens)
{
    ASSERT_TRUE(WriteFile(IniPath(), "Custom Look = 1\r\nOverlap = 2\r\nBackground = ON\r\nDefault Image =\r\n"));
    SaverProcess& setup = LaunchProgram(Program("wendelsaver"), {QStringLiteral("/c")});
    ASSERT_TRUE(PressReturnIn(kSetupTitle)) << setup.Describe();
    EXPECT_EQ(setup.WaitForExit(PromptExitLimit()), 0) << setup.Describe();
}

} // namespace
} // namespace wendel::e2e
