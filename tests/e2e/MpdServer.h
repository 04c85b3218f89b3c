#pragma once

#include "Waiting.h"

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace wendel::e2e {

// Debian's real mpd on a private unix socket: its own config, database, log
// and music folder in `folder`, the null audio output, no state file, no
// zeroconf, nothing of the system's /var/lib/mpd. It is killed when the
// object goes.
class MpdServer {
public:
    MpdServer(const QString& folder, const QString& musicFolder);
    ~MpdServer();
    MpdServer(const MpdServer&) = delete;
    MpdServer& operator=(const MpdServer&) = delete;

    // Starts it and waits until it answers and its database is read.
    bool Start();
    // SIGTERM, as `systemctl stop mpd`.
    void Stop();

    QString Socket() const { return folder_ + QStringLiteral("/mpd.socket"); }
    // MPD_HOST for clients.
    QProcessEnvironment Environment() const;
    // Runs mpc against it; its standard output.
    ToolResult Mpc(const QStringList& args, const QByteArray& input = {}) const;
    QString Describe() const;

private:
    QString folder_;
    QString music_;
    QProcess process_;
};

// Writes `seconds` of silence as a FLAC file with `tags` ("KEY=value"), and a
// picture embedded from `picture` when given; false when flac failed.
bool MakeFlac(const QString& path, int seconds, const QList<QByteArray>& tags, const QString& picture = {});

} // namespace wendel::e2e
