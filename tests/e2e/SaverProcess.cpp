#include "SaverProcess.h"

#include <QFile>

#include <csignal>

namespace wendel::e2e {

SaverProcess::SaverProcess(const QStringList& args, const QProcessEnvironment& env,
                           const QString& logPath, const QString& program)
    : args_(args), logPath_(logPath)
{
    DieWithParent(process_);
    process_.setProcessEnvironment(env);
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.setStandardOutputFile(logPath);
    process_.setStandardInputFile(QProcess::nullDevice());
    process_.start(program, args);
    started_ = process_.waitForStarted(static_cast<int>(Patience(Millis(5000)).count()));
}

SaverProcess::~SaverProcess()
{
    KillHard();
}

std::optional<int> SaverProcess::WaitForExit(Millis timeout)
{
    if (!started_) return std::nullopt;
    if (process_.state() != QProcess::NotRunning &&
        !process_.waitForFinished(static_cast<int>(timeout.count()))) {
        return std::nullopt;
    }
    if (process_.exitStatus() != QProcess::NormalExit) return std::nullopt;
    return process_.exitCode();
}

bool SaverProcess::StaysRunningFor(Millis duration)
{
    if (!started_ || process_.state() == QProcess::NotRunning) return false;
    return !process_.waitForFinished(static_cast<int>(duration.count()));
}

bool SaverProcess::IsRunning()
{
    return StaysRunningFor(Millis(0));
}

void SaverProcess::Signal(int signal)
{
    if (process_.state() != QProcess::NotRunning) ::kill(static_cast<pid_t>(process_.processId()), signal);
}

void SaverProcess::KillHard()
{
    if (process_.state() == QProcess::NotRunning) return;
    process_.kill();
    process_.waitForFinished(5000);
}

QString SaverProcess::Describe()
{
    if (!started_) return QStringLiteral("never started: ") + process_.errorString();
    if (IsRunning()) return QStringLiteral("still running");
    if (process_.exitStatus() != QProcess::NormalExit) {
        return QStringLiteral("crashed or killed (%1)").arg(process_.errorString());
    }
    return QStringLiteral("exit %1").arg(process_.exitCode());
}

QString SaverProcess::Log() const
{
    QFile file(logPath_);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll());
}

} // namespace wendel::e2e
