#pragma once

#include "Waiting.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <optional>

namespace wendel::e2e {

// One run of the wendelsaver binary. Whatever it writes goes to a log file,
// never to a pipe that could fill up and stall it. It is killed when the
// object goes, so a failed assertion never leaves it running.
class SaverProcess {
public:
    // `program` is the build's wendelsaver unless a test names another copy.
    SaverProcess(const QStringList& args, const QProcessEnvironment& env, const QString& logPath,
                 const QString& program = QStringLiteral(WENDELSAVER_BIN));
    ~SaverProcess();
    SaverProcess(const SaverProcess&) = delete;
    SaverProcess& operator=(const SaverProcess&) = delete;

    bool Started() const { return started_; }
    QStringList Arguments() const { return args_; }
    // The process id while it runs, for reading /proc; 0 when not running.
    qint64 Pid() const { return process_.processId(); }
    QString LogPath() const { return logPath_; }

    // The exit status once the process has ended by itself; nothing when it
    // is still running after `timeout`, or when a signal ended it.
    std::optional<int> WaitForExit(Millis timeout);
    // True when it is still running after `duration`.
    bool StaysRunningFor(Millis duration);
    bool IsRunning();

    // Sends a signal (SIGTERM, SIGHUP...) as another program would.
    void Signal(int signal);
    // SIGKILL, as a crash or the task manager would end it: no clean-up runs.
    void KillHard();

    // How it ended, for failure messages: "running", "exit 0", "crashed"...
    QString Describe();
    QString Log() const;

private:
    QProcess process_;
    QStringList args_;
    QString logPath_;
    bool started_ = false;
};

} // namespace wendel::e2e
