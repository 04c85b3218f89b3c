#pragma once

#include "PeerProcess.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <optional>

namespace wendel::e2e {

// One run of a jukebox: plx-sim, or a bridge given as `program`. Its log goes to a file that the test reads while it
// runs; it is stopped when the object goes, so a failed assertion never
// leaves it listening.
class JukeboxProcess final : public PeerProcess {
public:
    // `program` is the build's plx-sim unless a test names another copy.
    JukeboxProcess(const QStringList& args, const QProcessEnvironment& env, const QString& logPath,
                   const QString& program = QStringLiteral(PLX_SIM_BIN))
        : PeerProcess(program, args, env, logPath)
    {
    }

    bool IsRunning();
    // The process id while it runs, for reading /proc; 0 when not running.
    qint64 Pid() const { return process_.processId(); }
    // SIGTERM, as a user's Ctrl+C; its exit code, or nothing when it had
    // already ended, did not end in time or crashed.
    std::optional<int> Stop();
    // SIGKILL: no clean-up runs and the socket file stays behind.
    void KillHard();

    // True once the log holds `text`.
    bool WaitForLog(const QString& text, Millis timeout) const;
    // The frames that --verbose logged for connection `connection` in one
    // direction ('<' received, '>' sent), in order, exactly as on the wire
    // without their LF.
    QStringList Frames(int connection, QChar direction) const;
    QString Describe();
};

} // namespace wendel::e2e
