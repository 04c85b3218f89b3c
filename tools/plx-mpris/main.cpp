// plx-mpris: a jukebox on the saver's link that shows what a desktop player
// (any MPRIS player on the D-Bus session bus) plays. See docs/plx-mpris.md.

#include "Choice.h"
#include "CoverCache.h"
#include "MprisPlayer.h"
#include "Options.h"
#include "Server.h"
#include "Service.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>

#include <cstdio>

namespace {

// The players on the bus now, with their state, as `playerctl -l` names them.
int ListPlayers(const std::string& pattern)
{
    const QDBusConnection bus = QDBusConnection::connectToBus(plxmpris::SessionBusAddress(), QStringLiteral("list"));
    if (!bus.isConnected()) {
        std::fprintf(stderr, "plx-mpris: no session bus: %s\n", qPrintable(bus.lastError().message()));
        return 1;
    }
    for (const QString& name : bus.interface()->registeredServiceNames().value()) {
        if (!plxmpris::MatchesPlayer(name.toStdString(), pattern)) continue;
        QDBusMessage get = QDBusMessage::createMethodCall(name, QStringLiteral("/org/mpris/MediaPlayer2"),
                                                          QStringLiteral("org.freedesktop.DBus.Properties"),
                                                          QStringLiteral("Get"));
        get.setArguments({QStringLiteral("org.mpris.MediaPlayer2.Player"), QStringLiteral("PlaybackStatus")});
        const QDBusMessage reply = bus.call(get, QDBus::Block, 1000);
        const QString status = reply.arguments().value(0).value<QDBusVariant>().variant().toString();
        std::printf("%s\t%s\n", std::string(plxmpris::ShortName(name.toStdString())).c_str(),
                    status.isEmpty() ? "?" : qPrintable(status));
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    jukebox::Options cli(QStringLiteral("plx-mpris"),
                         QStringLiteral("A jukebox for WendelSaver that shows what a desktop player plays: any MPRIS "
                                        "player on the D-Bus session bus. It follows the player that most recently "
                                        "started playing, else the one most recently active."));
    QCommandLineParser& parser = cli.Parser();
    const QCommandLineOption playerOption(
        QStringLiteral("player"),
        QStringLiteral("Follow only this player, as playerctl -p names it: vlc picks vlc and vlc.instance42; "
                       "a comma-separated list picks any of them."),
        QStringLiteral("name"));
    const QCommandLineOption listOption(QStringLiteral("list"), QStringLiteral("Print the players on the bus and end."));
    parser.addOptions({playerOption, listOption});
    if (!cli.Process(app)) return 2;
    const std::string pattern = parser.value(playerOption).toStdString();
    if (parser.isSet(listOption)) return ListPlayers(pattern);
    if (!jukebox::QuitOnSignals()) return cli.Fail(QStringLiteral("cannot create a pipe"));

    const jukebox::Log log;
    jukebox::CoverCache covers(jukebox::SharedCoverFolder());
    plxmpris::MprisPlayer player(pattern, covers, log);
    jukebox::Service service(player, log, cli.Verbose());
    QString error;
    if (!service.Listen(cli.Endpoint(), error)) return cli.Fail(error);
    player.Start(service);
    return app.exec();
}
