// From a desktop player's track change to the saver's board updated, through
// the real plx-mpris bridge: this program is the saver and moves the player
// on itself over D-Bus, as `playerctl next` does.
//
//   mpris_bench PLAYER N
//       N track changes of org.mpris.MediaPlayer2.PLAYER on the session bus
//       (TRIVOX_ENDPOINT names the bridge); prints the median and p95 ms
//       from `Next` to the new track's title painted, and to its "playing"
//       reaching the saver's link
//
// The player loops over at least two tracks whose titles begin with "Track ".
#include "TrackChanges.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 3 || std::atoi(argv[2]) < 1) {
        std::fprintf(stderr, "usage: mpris_bench PLAYER N\n");
        return 2;
    }
    const QDBusConnection bus = QDBusConnection::sessionBus();
    const QDBusMessage next = QDBusMessage::createMethodCall(
        QStringLiteral("org.mpris.MediaPlayer2.") + QString::fromLocal8Bit(argv[1]),
        QStringLiteral("/org/mpris/MediaPlayer2"), QStringLiteral("org.mpris.MediaPlayer2.Player"),
        QStringLiteral("Next"));
    return bench::TimeTrackChanges(
        "mpris_bench", std::atoi(argv[2]),
        [&] {
            // Not waited for: the clock runs until the board shows the change.
            if (bus.send(next)) return true;
            std::fprintf(stderr, "mpris_bench: cannot reach the player\n");
            return false;
        },
        // A player may name the file before it has read the tags.
        [](const std::string& message) { return message.find("\"Track ") != std::string::npos; });
}
