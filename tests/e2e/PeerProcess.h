#pragma once

#include "Waiting.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace wendel::e2e {

// A real program the saver meets (a jukebox, a window manager, a panel, a
// compositor, a chat window), running beside the test and stopped with it:
// politely first, so it can clean up. Its output goes to a log file.
class PeerProcess {
public:
    PeerProcess(const QString& program, const QStringList& args, const QProcessEnvironment& env,
                const QString& logPath, const QString& workingDir = {});
    ~PeerProcess();
    PeerProcess(const PeerProcess&) = delete;
    PeerProcess& operator=(const PeerProcess&) = delete;

    bool Started() const { return started_; }
    bool IsRunning() { return process_.state() == QProcess::Running; }
    QString Log() const;

protected:
    QProcess process_;

private:
    QString logPath_;
    bool started_ = false;
};

} // namespace wendel::e2e
