#include "PeerProcess.h"

#include <QFile>

namespace wendel::e2e {

PeerProcess::PeerProcess(const QString& program, const QStringList& args, const QProcessEnvironment& env,
                         const QString& logPath, const QString& workingDir)
    : logPath_(logPath)
{
    DieWithParent(process_);
    process_.setProcessEnvironment(env);
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.setStandardOutputFile(logPath);
    process_.setStandardInputFile(QProcess::nullDevice());
    if (!workingDir.isEmpty()) process_.setWorkingDirectory(workingDir);
    process_.start(program, args);
    started_ = process_.waitForStarted(static_cast<int>(Patience(Millis(5000)).count()));
}

PeerProcess::~PeerProcess()
{
    if (process_.state() == QProcess::NotRunning) return;
    process_.terminate();
    if (!process_.waitForFinished(static_cast<int>(Patience(Millis(2000)).count()))) {
        process_.kill();
        process_.waitForFinished(2000);
    }
}

QString PeerProcess::Log() const
{
    QFile file(logPath_);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace wendel::e2e
