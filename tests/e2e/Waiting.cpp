#include "Waiting.h"

#include <QThread>

#include <csignal>
#include <sys/prctl.h>

namespace wendel::e2e {

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

void DieWithParent(QProcess& process)
{
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

ToolResult RunTool(const QString& program, const QStringList& args,
                   const QProcessEnvironment& env, Millis timeout)
{
    QProcess tool;
    DieWithParent(tool);
    tool.setProcessEnvironment(env);
    tool.start(program, args);
    ToolResult result;
    if (!tool.waitForStarted(static_cast<int>(timeout.count()))) {
        result.err = tool.errorString().toUtf8();
        return result;
    }
    if (!tool.waitForFinished(static_cast<int>(timeout.count()))) {
        tool.kill();
        tool.waitForFinished(1000);
        result.err = tool.readAllStandardError();
        return result;
    }
    result.finished = tool.exitStatus() == QProcess::NormalExit;
    result.exitCode = tool.exitCode();
    result.out = tool.readAllStandardOutput();
    result.err = tool.readAllStandardError();
    return result;
}

} // namespace wendel::e2e
