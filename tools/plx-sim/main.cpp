// plx-sim: a small jukebox that plays a playlist on a simulated clock and
// speaks the saver's link protocol. See docs/plx-sim.md.

#include "Options.h"
#include "Playlist.h"
#include "PlxServer.h"
#include "Service.h"
#include "Simulation.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <unistd.h>

namespace {

bool ReadFile(const QString& path, QByteArray& contents, QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = path + QStringLiteral(": ") + file.errorString();
        return false;
    }
    contents = file.readAll();
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    jukebox::Options cli(QStringLiteral("plx-sim"),
                         QStringLiteral("A jukebox simulator for WendelSaver. Control verbs on standard input: play, "
                                        "pause, stop, next, prev, quit."));
    QCommandLineParser& parser = cli.Parser();
    const QCommandLineOption playlistOption(QStringLiteral("playlist"), QStringLiteral("Playlist file to play."),
                                            QStringLiteral("file"));
    const QCommandLineOption speedOption(QStringLiteral("speed"),
                                         QStringLiteral("Simulated seconds per real second (default 1)."),
                                         QStringLiteral("factor"), QStringLiteral("1"));
    const QCommandLineOption lagOption(QStringLiteral("pointer-lag"),
                                       QStringLiteral("Milliseconds before the pointer follows a new entry (default 0)."),
                                       QStringLiteral("ms"), QStringLiteral("0"));
    const QCommandLineOption scriptOption(QStringLiteral("script"),
                                          QStringLiteral("Timed control verbs: lines of SECONDS VERB."),
                                          QStringLiteral("file"));
    const QCommandLineOption stoppedOption(QStringLiteral("stopped"), QStringLiteral("Start stopped, not playing."));
    const QCommandLineOption loopOption(QStringLiteral("loop"),
                                        QStringLiteral("Begin again after the last entry instead of stopping."));
    parser.addOptions({playlistOption, speedOption, lagOption, scriptOption, stoppedOption, loopOption});
    if (!cli.Process(app)) return 2;
    if (!parser.isSet(playlistOption)) return cli.Fail(QStringLiteral("--playlist FILE is required"));

    plxsim::Options options;
    bool ok = false;
    options.speed = parser.value(speedOption).toDouble(&ok);
    if (!ok || !(options.speed > 0) || options.speed > 1000)
        return cli.Fail(QStringLiteral("--speed must be a number above 0 and at most 1000"));
    options.pointerLagMs = parser.value(lagOption).toLongLong(&ok);
    if (!ok || options.pointerLagMs < 0 || options.pointerLagMs > 3600 * 1000)
        return cli.Fail(QStringLiteral("--pointer-lag must be a whole number of milliseconds, 0 to 3600000"));
    options.startPlaying = !parser.isSet(stoppedOption);
    options.loop = parser.isSet(loopOption);

    QString error;
    const QString playlistPath = parser.value(playlistOption);
    QByteArray playlistText;
    if (!ReadFile(playlistPath, playlistText, error)) return cli.Fail(error);
    plxsim::Playlist playlist = plxsim::ParsePlaylist(
        std::string_view(playlistText.constData(), static_cast<std::size_t>(playlistText.size())),
        QFile::encodeName(QFileInfo(playlistPath).absolutePath()).toStdString());
    if (!playlist.errors.empty()) {
        for (const std::string& why : playlist.errors)
            std::fprintf(stderr, "plx-sim: %s: %s\n", qPrintable(playlistPath), why.c_str());
        return 2;
    }

    std::vector<plxsim::ScriptStep> script;
    if (parser.isSet(scriptOption)) {
        QByteArray scriptText;
        if (!ReadFile(parser.value(scriptOption), scriptText, error)) return cli.Fail(error);
        std::vector<std::string> errors;
        script = plxsim::ParseScript(
            std::string_view(scriptText.constData(), static_cast<std::size_t>(scriptText.size())), errors);
        if (!errors.empty()) {
            for (const std::string& why : errors)
                std::fprintf(stderr, "plx-sim: %s: %s\n", qPrintable(parser.value(scriptOption)), why.c_str());
            return 2;
        }
    }

    if (!jukebox::QuitOnSignals()) return cli.Fail(QStringLiteral("cannot create a pipe"));

    plxsim::Simulation simulation(std::move(playlist.entries), options);
    plxsim::PlxServer server(simulation, cli.Verbose());
    if (!server.Listen(cli.Endpoint(), error)) return cli.Fail(error);
    server.ReadControlFrom(STDIN_FILENO);
    server.RunScript(script);
    return app.exec();
}
