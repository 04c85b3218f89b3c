#include "JukeboxProcess.h"

#include <QRegularExpression>

namespace wendel::e2e {

bool JukeboxProcess::IsRunning()
{
    return Started() && process_.state() != QProcess::NotRunning &&
           !process_.waitForFinished(0);
}

std::optional<int> JukeboxProcess::Stop()
{
    if (!IsRunning()) return std::nullopt;
    process_.terminate();
    if (!process_.waitForFinished(static_cast<int>(Patience(Millis(2000)).count()))) {
        KillHard();
        return std::nullopt;
    }
    if (process_.exitStatus() != QProcess::NormalExit) return std::nullopt;
    return process_.exitCode();
}

void JukeboxProcess::KillHard()
{
    if (process_.state() == QProcess::NotRunning) return;
    process_.kill();
    process_.waitForFinished(5000);
}

bool JukeboxProcess::WaitForLog(const QString& text, Millis timeout) const
{
    return PollUntil(timeout, [&] { return Log().contains(text); });
}

QStringList JukeboxProcess::Frames(int connection, QChar direction) const
{
    // "[    0.413] #1 < OPEN<TAB>plx<TAB>type=devtx<TAB>1<TAB>1<TAB>0"
    static const QRegularExpression line(QStringLiteral(R"(^\[\s*\d+\.\d+\] #(\d+) ([<>]) (.*)$)"));
    QStringList frames;
    for (const QString& entry : Log().split(QLatin1Char('\n'))) {
        const QRegularExpressionMatch match = line.match(entry);
        if (match.hasMatch() && match.captured(1).toInt() == connection &&
            match.captured(2) == QString(direction)) {
            frames << match.captured(3);
        }
    }
    return frames;
}

QString JukeboxProcess::Describe()
{
    if (!Started()) return QStringLiteral("never started: ") + process_.errorString();
    if (IsRunning()) return QStringLiteral("running");
    if (process_.exitStatus() != QProcess::NormalExit) return QStringLiteral("killed or crashed");
    return QStringLiteral("exit %1").arg(process_.exitCode());
}

} // namespace wendel::e2e
