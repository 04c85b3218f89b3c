// From a desktop player's track change to the saver's board updated, through
// the real plx-mpris bridge: this program is the saver and moves the player
// on itself over D-Bus, as `playerctl next` does.
//
//   mpris_bench PLAYER N
//       N track changes of org.mpris.MediaPlayer2.PLAYER on the session bus
//       (TRIVOX_ENDPOINT names the bridge); prints the median and p95 ms
//       from `Next` to the new track's title painted, and to its "playing"
//       reaching the saver's link; and from the player's own announcement of
//       the new track on the bus (its PropertiesChanged, as seen here) to the
//       title painted
//
// The player loops over at least two tracks whose titles begin with "Track ".
#include "TrackChanges.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QThread>

#include <atomic>

#include <cstdio>
#include <cstdlib>

namespace {

// Notes when the player tells the bus of new Metadata. It lives in a thread
// of its own, so the board drawing a title in never delays the note.
class Announcements final : public QObject {
    Q_OBJECT

public:
    bench::Moment Last() const { return bench::Moment(bench::Moment::duration(last_.load())); }

public Q_SLOTS:
    void Changed(const QDBusMessage& message)
    {
        if (message.arguments().value(0).toString() == QLatin1String("org.mpris.MediaPlayer2.Player"))
            last_.store(std::chrono::steady_clock::now().time_since_epoch().count());
    }

private:
    std::atomic<bench::Moment::rep> last_{0};
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 3 || std::atoi(argv[2]) < 1) {
        std::fprintf(stderr, "usage: mpris_bench PLAYER N\n");
        return 2;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QString player = QStringLiteral("org.mpris.MediaPlayer2.") + QString::fromLocal8Bit(argv[1]);
    Announcements announcements;
    QThread listener;
    announcements.moveToThread(&listener);
    listener.start();
    bus.connect(player, QStringLiteral("/org/mpris/MediaPlayer2"), QStringLiteral("org.freedesktop.DBus.Properties"),
                QStringLiteral("PropertiesChanged"), &announcements, SLOT(Changed(QDBusMessage)));
    const QDBusMessage next = QDBusMessage::createMethodCall(
        player,
        QStringLiteral("/org/mpris/MediaPlayer2"), QStringLiteral("org.mpris.MediaPlayer2.Player"),
        QStringLiteral("Next"));
    const int result = bench::TimeTrackChanges(
        "mpris_bench", std::atoi(argv[2]),
        [&] {
            // Not waited for: the clock runs until the board shows the change.
            if (bus.send(next)) return true;
            std::fprintf(stderr, "mpris_bench: cannot reach the player\n");
            return false;
        },
        // A player may name the file before it has read the tags.
        [](const std::string& message) { return message.find("\"Track ") != std::string::npos; },
        [&] { return announcements.Last(); });
    listener.quit();
    listener.wait();
    return result;
}

#include "mpris_bench.moc"

