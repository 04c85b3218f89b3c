// plx-mpd: a jukebox on the saver's link that shows what MPD plays.
// See docs/plx-mpd.md.

#include "CoverCache.h"
#include "MpdPlayer.h"
#include "Options.h"
#include "Server.h"
#include "Service.h"

#include <QCommandLineParser>
#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    jukebox::Options cli(QStringLiteral("plx-mpd"),
                         QStringLiteral("A jukebox for WendelSaver that shows what MPD plays. MPD is found as mpc finds "
                                        "it: MPD_HOST ([password@]host, a socket path or @abstract name) and MPD_PORT, "
                                        "unless --host and --port say otherwise."));
    QCommandLineParser& parser = cli.Parser();
    const QCommandLineOption hostOption(QStringLiteral("host"),
                                        QStringLiteral("MPD's [password@]host, socket path or @name (default: MPD_HOST)."),
                                        QStringLiteral("host"));
    const QCommandLineOption portOption(QStringLiteral("port"), QStringLiteral("MPD's TCP port (default: MPD_PORT, else 6600)."),
                                        QStringLiteral("port"));
    const QCommandLineOption albumsOption(QStringLiteral("albums"),
                                          QStringLiteral("Show runs of queue songs from one album as whole-album entries."));
    parser.addOptions({hostOption, portOption, albumsOption});
    if (!cli.Process(app)) return 2;
    plxmpd::MpdOptions options;
    options.host = parser.value(hostOption).toStdString();
    options.albums = parser.isSet(albumsOption);
    if (parser.isSet(portOption)) {
        bool ok = false;
        const uint port = parser.value(portOption).toUInt(&ok);
        if (!ok || port < 1 || port > 65535) return cli.Fail(QStringLiteral("--port must be a number from 1 to 65535"));
        options.port = port;
    }
    if (!jukebox::QuitOnSignals()) return cli.Fail(QStringLiteral("cannot create a pipe"));

    const jukebox::Log log;
    jukebox::CoverCache covers(jukebox::SharedCoverFolder());
    plxmpd::MpdPlayer player(options, covers, log);
    jukebox::Service service(player, log, cli.Verbose());
    QString error;
    if (!service.Listen(cli.Endpoint(), error)) return cli.Fail(error);
    player.Start(service);
    return app.exec();
}
