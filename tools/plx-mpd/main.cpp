// plx-mpd: a jukebox on the saver's link that shows what MPD plays.
// See docs/plx-mpd.md.

#include "CoverCache.h"
#include "MpdPlayer.h"
#include "Server.h"
#include "Service.h"
#include "TrivoxEndpoint.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

namespace {

int Fail(const QString& message)
{
    std::fprintf(stderr, "plx-mpd: %s\n", qPrintable(message));
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("plx-mpd"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "A jukebox for WendelSaver that shows what MPD plays. MPD is found as mpc finds it: "
        "MPD_HOST ([password@]host, a socket path or @abstract name) and MPD_PORT, unless --host and --port say otherwise."));
    parser.addHelpOption();
    const QCommandLineOption hostOption(QStringLiteral("host"),
                                        QStringLiteral("MPD's [password@]host, socket path or @name (default: MPD_HOST)."),
                                        QStringLiteral("host"));
    const QCommandLineOption portOption(QStringLiteral("port"), QStringLiteral("MPD's TCP port (default: MPD_PORT, else 6600)."),
                                        QStringLiteral("port"));
    const QCommandLineOption endpointOption(QStringLiteral("endpoint"),
                                            QStringLiteral("Socket to listen on (default: as the saver resolves it)."),
                                            QStringLiteral("path"));
    const QCommandLineOption albumsOption(QStringLiteral("albums"),
                                          QStringLiteral("Show runs of queue songs from one album as whole-album entries."));
    const QCommandLineOption verboseOption(QStringLiteral("verbose"), QStringLiteral("Log every frame."));
    parser.addOptions({hostOption, portOption, endpointOption, albumsOption, verboseOption});
    parser.process(app);

    if (!parser.positionalArguments().isEmpty())
        return Fail(QStringLiteral("unexpected argument ") + parser.positionalArguments().first());
    plxmpd::MpdOptions options;
    options.host = parser.value(hostOption).toStdString();
    options.albums = parser.isSet(albumsOption);
    if (parser.isSet(portOption)) {
        bool ok = false;
        const uint port = parser.value(portOption).toUInt(&ok);
        if (!ok || port < 1 || port > 65535) return Fail(QStringLiteral("--port must be a number from 1 to 65535"));
        options.port = port;
    }
    if (!jukebox::QuitOnSignals()) return Fail(QStringLiteral("cannot create a pipe"));

    const jukebox::Log log;
    jukebox::CoverCache covers(jukebox::SharedCoverFolder());
    plxmpd::MpdPlayer player(options, covers, log);
    jukebox::Service service(player, log, parser.isSet(verboseOption));
    QString error;
    const QString endpoint = parser.isSet(endpointOption) ? parser.value(endpointOption) : wendel::TrivoxEndpoint();
    if (!service.Listen(endpoint, error)) return Fail(error);
    player.Start(service);
    return app.exec();
}
