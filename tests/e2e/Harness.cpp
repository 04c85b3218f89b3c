#include "Harness.h"
#include "SolidPng.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QThread>

#include <sys/prctl.h>

namespace wendel::e2e {

bool WaitUntil(const std::function<bool()>& done, Millis timeout, Millis interval)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (; !done(); QThread::msleep(static_cast<unsigned long>(interval.count()))) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
    }
    return true;
}

// A test binary killed by ctest's timeout leaves no child behind.
static void Spawn(QProcess& process, const QStringList& command, const QProcessEnvironment& env)
{
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(command.front(), command.mid(1));
}

std::optional<QByteArray> RunTool(const QStringList& command, const QProcessEnvironment& env, Millis timeout,
                                  const QByteArray& input)
{
    QProcess tool;
    Spawn(tool, command, env);
    tool.write(input);
    tool.closeWriteChannel();
    if (!tool.waitForFinished(static_cast<int>(timeout.count())) || tool.exitStatus() != QProcess::NormalExit ||
        tool.exitCode() != 0)
        return std::nullopt;
    return tool.readAll();
}

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

Process::Process(const QStringList& command, const QProcessEnvironment& env, const QString& logPath)
    : logPath_(logPath)
{
    process_.setStandardOutputFile(logPath);
    process_.setStandardInputFile(QProcess::nullDevice());
    Spawn(process_, command, env);
    process_.waitForStarted(static_cast<int>(AppearLimit().count()));
}

bool Process::StaysRunningFor(Millis duration)
{
    return process_.state() != QProcess::NotRunning && !process_.waitForFinished(static_cast<int>(duration.count()));
}

std::optional<int> Process::WaitForExit(Millis timeout)
{
    if (StaysRunningFor(timeout) || process_.error() == QProcess::FailedToStart ||
        process_.exitStatus() != QProcess::NormalExit)
        return std::nullopt;
    return process_.exitCode();
}

std::optional<int> Process::Stop(int signal)
{
    if (!IsRunning()) return std::nullopt;
    ::kill(static_cast<pid_t>(process_.processId()), signal);
    return WaitForExit();
}

bool Process::WaitForLog(const QString& text, Millis timeout) const
{
    return WaitUntil([&] { return Log().contains(text); }, timeout);
}

QString Process::Describe()
{
    const QString program = QFileInfo(process_.program()).fileName() + ": ";
    if (process_.error() == QProcess::FailedToStart) return program + "never started: " + process_.errorString();
    if (IsRunning()) return program + "still running";
    if (process_.exitStatus() != QProcess::NormalExit) return program + "crashed or killed";
    return program + QStringLiteral("exit %1").arg(process_.exitCode());
}

int PixelsOtherThan(const QImage& image, const QRect& area, std::uint32_t colour, const QRect& hole)
{
    int count = 0;
    const QRect inside = area & image.rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = inside.left(); x <= inside.right(); ++x) {
            if (!hole.contains(x, y) && (line[x] & 0xFFFFFFu) != colour) ++count;
        }
    }
    return count;
}

QProcessEnvironment SaverTest::Environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& name : env.keys()) {
        if (name.startsWith("QT_") || name.startsWith("XDG_") || name.startsWith("WENDELSAVER_") ||
            QStringList{"TRIVOX_ENDPOINT", "WAYLAND_DISPLAY", "XAUTHORITY", "DBUS_SESSION_BUS_ADDRESS"}.contains(name))
            env.remove(name);
    }
    env.insert("DISPLAY", display_);
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("XDG_RUNTIME_DIR", RuntimeDir());
    env.insert("WENDELSAVER_INI", iniPath);
    // Were the override ever ignored, the user's own settings stay untouched.
    env.insert("XDG_CONFIG_HOME", Path("config"));
    env.insert("XDG_CACHE_HOME", Path("cache"));
    return env;
}

Process& SaverTest::Start(const QStringList& command, const QProcessEnvironment& env)
{
    const QString log = QStringLiteral("%1-%2.log").arg(QFileInfo(command.front()).fileName()).arg(processes_.size());
    return *processes_.emplace_back(std::make_unique<Process>(command, env, Path(log)));
}

Process& SaverTest::StartBoard(const QByteArray& settings, std::optional<QProcessEnvironment> env)
{
    EXPECT_TRUE(WriteFile(iniPath, settings));
    Process& saver = Start({WENDELSAVER_BIN, "/s"}, env.value_or(Environment()));
    board = WaitForWindow(kBoardTitle);
    boardAt = board ? Geometry(*board).value_or(QRect()) : QRect();
    return saver;
}

Process& SaverTest::StartJukebox(const QByteArray& playlist, const QString& program)
{
    const QString path = Path(QStringLiteral("list-%1.plx").arg(processes_.size()));
    EXPECT_TRUE(WriteFile(path, playlist));
    Process& jukebox = Start({program, "--endpoint", Endpoint(), "--playlist", path, "--verbose"}, Environment());
    EXPECT_TRUE(jukebox.WaitForLog("listening on")) << jukebox.Describe();
    return jukebox;
}

bool SaverTest::StartWindowManager()
{
    Start({"openbox", "--sm-disable"}, Environment());
    return WaitUntil(
        [&] { return RunX({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"}).value_or("").contains("window id"); });
}

QString SaverTest::Cover(std::uint32_t colour)
{
    const QString path = Path(QStringLiteral("cover-%1.png").arg(colour, 6, 16, QLatin1Char('0')));
    EXPECT_TRUE(WriteFile(path, testing::SolidRgbPng(400, 400, colour >> 16, (colour >> 8) & 0xFF, colour & 0xFF)));
    return path;
}

int SaverTest::BoardPixels(const QRect& part, std::uint32_t colour)
{
    const QImage screen = Screen();
    const QRect area = part.translated(boardAt.topLeft()) & screen.rect();
    return area.width() * area.height() - PixelsOtherThan(screen, area, colour);
}

} // namespace wendel::e2e

// QProcess wants an application object for its whole life.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
