#include "Harness.h"

#include <QFile>
#include <QSet>
#include <QThread>

#include <csignal>
#include <sys/prctl.h>

namespace wendel::e2e {

void DieWithParent(QProcess& process)
{
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

Millis Patience(Millis normalBuild)
{
#ifdef WENDEL_E2E_SANITIZED
    return normalBuild * 4;
#else
    return normalBuild;
#endif
}

bool PollUntil(Millis timeout, const std::function<bool()>& done, Millis interval)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        QThread::msleep(static_cast<unsigned long>(interval.count()));
    }
}

std::optional<QByteArray> RunTool(const QString& program, const QStringList& args, const QProcessEnvironment& env,
                                  Millis timeout, const QByteArray& input)
{
    QProcess tool;
    DieWithParent(tool);
    tool.setProcessEnvironment(env);
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(program, args);
    tool.write(input);
    tool.closeWriteChannel();
    const bool ended = tool.waitForFinished(static_cast<int>(timeout.count()));
    if (!ended) tool.kill();
    tool.waitForFinished(1000);
    if (!ended || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0) return std::nullopt;
    return tool.readAll();
}

Process::Process(const QString& program, const QStringList& args, const QProcessEnvironment& env,
                 const QString& logPath)
    : logPath_(logPath)
{
    DieWithParent(process_);
    process_.setProcessEnvironment(env);
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.setStandardOutputFile(logPath);
    process_.setStandardInputFile(QProcess::nullDevice());
    process_.start(program, args);
    started_ = process_.waitForStarted(static_cast<int>(Patience(Millis(5000)).count()));
}

Process::~Process()
{
    // Politely first, so a peer can take its socket away.
    if (!Stop()) KillHard();
}

bool Process::StaysRunningFor(Millis duration)
{
    if (!started_ || process_.state() == QProcess::NotRunning) return false;
    return !process_.waitForFinished(static_cast<int>(duration.count()));
}

std::optional<int> Process::WaitForExit(Millis timeout)
{
    if (StaysRunningFor(timeout) || !started_ || process_.exitStatus() != QProcess::NormalExit) return std::nullopt;
    return process_.exitCode();
}

std::optional<int> Process::Stop()
{
    if (!IsRunning()) return std::nullopt;
    process_.terminate();
    return WaitForExit(Patience(Millis(2000)));
}

void Process::Signal(int signal)
{
    if (process_.state() != QProcess::NotRunning) ::kill(static_cast<pid_t>(process_.processId()), signal);
}

void Process::KillHard()
{
    process_.kill();
    process_.waitForFinished(5000);
}

QString Process::Log() const
{
    QFile file(logPath_);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

bool Process::WaitForLog(const QString& text, Millis timeout) const
{
    return PollUntil(timeout, [&] { return Log().contains(text); });
}

QStringList Process::Frames(int connection, QChar direction) const
{
    // "[    0.413] #1 < OPEN<TAB>plx<TAB>type=devtx<TAB>1<TAB>1<TAB>0"
    const QString marker = QStringLiteral("] #%1 %2 ").arg(connection).arg(direction);
    QStringList frames;
    for (const QString& entry : Log().split(QLatin1Char('\n'))) {
        const qsizetype at = entry.indexOf(marker);
        if (entry.startsWith(QLatin1Char('[')) && at >= 0) frames << entry.mid(at + marker.size());
    }
    return frames;
}

QString Process::Describe()
{
    if (!started_) return QStringLiteral("never started: ") + process_.errorString();
    if (IsRunning()) return QStringLiteral("still running");
    if (process_.exitStatus() != QProcess::NormalExit) return QStringLiteral("crashed or killed");
    return QStringLiteral("exit %1").arg(process_.exitCode());
}

int PixelsOf(const QImage& image, const QRect& area, std::uint32_t colour)
{
    const QRect inside = area & image.rect();
    return inside.width() * inside.height() - PixelsOtherThan(image, inside, colour);
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

int ColourCount(const QImage& image, const QRect& area)
{
    QSet<QRgb> colours;
    const QRect inside = area & image.rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) colours.insert(image.pixel(x, y));
    }
    return int(colours.size());
}

} // namespace wendel::e2e
