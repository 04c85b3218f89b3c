#include "MpdServer.h"

#include <QDir>
#include <QFile>
#include <QLocalSocket>

#include <cstdint>

namespace wendel::e2e {

namespace {

QByteArray Le(std::uint32_t value, int bytes)
{
    QByteArray out;
    for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i) & 0xFF);
    return out;
}

// 8 kHz mono 16-bit silence: tiny once FLAC has it.
QByteArray SilentWav(int seconds)
{
    const std::uint32_t data = static_cast<std::uint32_t>(seconds) * 8000 * 2;
    return "RIFF" + Le(36 + data, 4) + "WAVEfmt " + Le(16, 4) + Le(1, 2) + Le(1, 2) + Le(8000, 4) + Le(16000, 4) +
           Le(2, 2) + Le(16, 2) + "data" + Le(data, 4) + QByteArray(static_cast<qsizetype>(data), '\0');
}

} // namespace

bool MakeFlac(const QString& path, int seconds, const QList<QByteArray>& tags, const QString& picture)
{
    const QString wav = path + QStringLiteral(".wav");
    QFile out(wav);
    if (!out.open(QIODevice::WriteOnly) || out.write(SilentWav(seconds)) < 0) return false;
    out.close();
    QStringList args{QStringLiteral("-s"), QStringLiteral("-f"), QStringLiteral("-o"), path};
    if (!picture.isEmpty()) args << QStringLiteral("--picture=") + picture;
    args << wav;
    bool ok = RunTool(QStringLiteral("flac"), args, QProcessEnvironment::systemEnvironment(), Millis(20000)).Succeeded();
    QFile::remove(wav);
    // Tags through files, so any bytes (a huge value, invalid UTF-8) go in as they are.
    for (qsizetype i = 0; ok && i < tags.size(); ++i) {
        const qsizetype equals = tags[i].indexOf('=');
        const QString valueFile = path + QStringLiteral(".tag");
        QFile value(valueFile);
        ok = value.open(QIODevice::WriteOnly) && value.write(tags[i].mid(equals + 1)) >= 0;
        value.close();
        ok = ok && RunTool(QStringLiteral("metaflac"),
                           {QStringLiteral("--set-tag-from-file=") + QString::fromUtf8(tags[i].left(equals)) + '=' +
                                valueFile,
                            path},
                           QProcessEnvironment::systemEnvironment(), Millis(20000))
                       .Succeeded();
        QFile::remove(valueFile);
    }
    return ok;
}

MpdServer::MpdServer(const QString& folder, const QString& musicFolder) : folder_(folder), music_(musicFolder)
{
    DieWithParent(process_);
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.setStandardOutputFile(folder_ + QStringLiteral("/mpd.out"), QIODevice::Append);
}

MpdServer::~MpdServer()
{
    if (process_.state() == QProcess::NotRunning) return;
    process_.kill();
    process_.waitForFinished(5000);
}

bool MpdServer::Start()
{
    QFile config(folder_ + QStringLiteral("/mpd.conf"));
    if (!config.open(QIODevice::WriteOnly)) return false;
    // No state file: a restart begins with an empty queue, as after a reboot.
    config.write("music_directory \"" + QFile::encodeName(music_) + "\"\n" +
                 "db_file \"" + QFile::encodeName(folder_) + "/mpd.db\"\n" +
                 "log_file \"" + QFile::encodeName(folder_) + "/mpd.log\"\n" +
                 "pid_file \"" + QFile::encodeName(folder_) + "/mpd.pid\"\n" +
                 "bind_to_address \"" + QFile::encodeName(Socket()) + "\"\n" +
                 "zeroconf_enabled \"no\"\n"
                 "audio_output {\n  type \"null\"\n  name \"null\"\n}\n");
    config.close();
    process_.start(QStringLiteral("mpd"), {QStringLiteral("--no-daemon"), config.fileName()});
    if (!process_.waitForStarted(5000)) return false;
    const bool answers = PollUntil(Patience(Millis(10000)), [&] {
        QLocalSocket probe;
        probe.connectToServer(Socket());
        return probe.waitForConnected(100);
    });
    return answers && Mpc({QStringLiteral("update"), QStringLiteral("--wait")}).Succeeded();
}

void MpdServer::Stop()
{
    if (process_.state() == QProcess::NotRunning) return;
    process_.terminate();
    if (!process_.waitForFinished(5000)) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

QProcessEnvironment MpdServer::Environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("MPD_HOST"), Socket());
    env.remove(QStringLiteral("MPD_PORT"));
    return env;
}

ToolResult MpdServer::Mpc(const QStringList& args, const QByteArray& input) const
{
    if (input.isEmpty()) return RunTool(QStringLiteral("mpc"), args, Environment(), Patience(Millis(20000)));
    QProcess tool;
    DieWithParent(tool);
    tool.setProcessEnvironment(Environment());
    tool.start(QStringLiteral("mpc"), args);
    ToolResult result;
    if (!tool.waitForStarted(5000)) return result;
    tool.write(input);
    tool.closeWriteChannel();
    result.finished = tool.waitForFinished(static_cast<int>(Patience(Millis(60000)).count()));
    result.exitCode = tool.exitCode();
    result.out = tool.readAllStandardOutput();
    result.err = tool.readAllStandardError();
    return result;
}

QString MpdServer::Describe() const
{
    QFile log(folder_ + QStringLiteral("/mpd.log"));
    QFile out(folder_ + QStringLiteral("/mpd.out"));
    log.open(QIODevice::ReadOnly);
    out.open(QIODevice::ReadOnly);
    return QString::fromUtf8(out.readAll() + log.readAll());
}

} // namespace wendel::e2e
