// The bridges against their real players, under the real saver: plx-mpd and
// Debian's mpd driven with mpc; plx-mpris and mpv with its MPRIS plugin on a
// private session bus, driven with playerctl. What the bridge tells the saver
// (its connection #1 in the --verbose log) and what the board then shows.

#include "SaverTest.h"
#include "SessionBus.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QLocalSocket>

namespace wendel::e2e {
namespace {

QString Msg(const QByteArray& message) { return QStringLiteral("MSG\tplxr\t") + QString::fromUtf8(message); }

// Waits until the saver was sent a frame beginning with `frame` after its
// first `from` frames; the frame's index, or -1.
qsizetype WaitForSent(Process& bridge, const QString& frame, qsizetype from = 0)
{
    qsizetype at = -1;
    PollUntil(Patience(Millis(8000)), [&] {
        const QStringList sent = bridge.Frames(1, QLatin1Char('>'));
        for (at = from; at < sent.size(); ++at) {
            if (sent[at].startsWith(frame)) return true;
        }
        at = -1;
        return false;
    }, Millis(50));
    return at;
}

using BridgeTest = SaverTest;

TEST_F(BridgeTest, PlxMpdBringsWhatMpdPlaysToTheBoard)
{
    QProcessEnvironment env = SaverEnvironment();
    env.insert(QStringLiteral("MPD_HOST"), Path(QStringLiteral("mpd/mpd.socket")));
    env.remove(QStringLiteral("MPD_PORT"));
    const auto mpc = [&](const QStringList& args) {
        return RunTool(QStringLiteral("mpc"), args, env, Patience(Millis(20000))).has_value();
    };
    const QString music = Path(QStringLiteral("mpd/music"));
    for (const char* folder : {"birds", "inside", "hostile"}) ASSERT_TRUE(QDir().mkpath(music + '/' + folder));
    QImage rose(1000, 1000, QImage::Format_RGB32);
    rose.fill(QColor::fromRgb(kRose));
    ASSERT_TRUE(rose.save(music + QStringLiteral("/birds/cover.jpg"), "JPEG", 90));
    ASSERT_TRUE(MakeFlac(music + "/inside/03.flac", 30, {"ARTIST=Band", "ALBUM=Inside", "TITLE=Say \"Hi\"\tnow"}, Cover(kSea)));
    ASSERT_TRUE(MakeFlac(music + "/birds/01.flac", 30, {"ARTIST=Ravens, The", "ALBUM=Birds", "TITLE=Nevermore", "TRACKNUMBER=1"}));
    ASSERT_TRUE(MakeFlac(music + "/birds/02.flac", 30, {"ARTIST=Ravens, The", "ALBUM=Birds", "TITLE=Quoth", "TRACKNUMBER=2"}));
    ASSERT_TRUE(MakeFlac(music + "/hostile/05.flac", 30, {"TITLE=" + QByteArray(100 * 1024, 'x')}));

    // MPD is not there yet: the saver hears nothing, and its board waits.
    Process& bridge = Start(QStringLiteral(PLX_MPD_BIN),
                            {QStringLiteral("--endpoint"), Endpoint(), QStringLiteral("--verbose"), QStringLiteral("--albums")},
                            env);
    ASSERT_TRUE(bridge.WaitForLog(QStringLiteral("MPD is not reachable"))) << bridge.Log();
    Process& saver = StartBoard();
    ASSERT_TRUE(board) << saver.Describe();
    ASSERT_TRUE(bridge.WaitForLog(QStringLiteral("#1 < SEND\tplx\tnotify_playing_timecode[on]")));
    EXPECT_TRUE(bridge.Frames(1, QLatin1Char('>')).isEmpty());

    // Debian's mpd comes, on a private socket with its own database and music folder, the null output.
    const QByteArray folder = QFile::encodeName(Path(QStringLiteral("mpd")));
    ASSERT_TRUE(WriteFile(folder + "/mpd.conf", "music_directory \"" + folder + "/music\"\ndb_file \"" + folder +
                                                  "/mpd.db\"\nlog_file \"" + folder + "/mpd.log\"\nbind_to_address \"" +
                                                  folder + "/mpd.socket\"\nzeroconf_enabled \"no\"\n" +
                                                  "audio_output {\n  type \"null\"\n  name \"null\"\n}\n"));
    Process& mpd = Start(QStringLiteral("mpd"), {QStringLiteral("--no-daemon"), folder + "/mpd.conf"}, env);
    ASSERT_TRUE(PollUntil(Patience(Millis(10000)), [&] { return mpc({QStringLiteral("update"), QStringLiteral("--wait")}); }, Millis(100)))
        << ReadFile(folder + "/mpd.log").value_or("no log").toStdString();
    ASSERT_GE(WaitForSent(bridge, Msg("playlist_stop[]")), 0) << bridge.Log();
    ASSERT_TRUE(mpc({QStringLiteral("add"), QStringLiteral("inside/03.flac"), QStringLiteral("birds/01.flac"),
                     QStringLiteral("birds/02.flac")}) && mpc({QStringLiteral("play")}));
    EXPECT_TRUE(BoardShows([&] {
        return CoverShows(kSea) && BoardPixels(kTrackLabel, kYellow) > 50 && BoardPixels(kTimeLabel, kOlive) > 20 &&
               BoardPixels(kUpNextCaption, kCyan) > 20;
    })) << "cover " << BoardPixels(kCoverMiddle, kSea) << ", Up Next " << BoardPixels(kUpNextCaption, kCyan);
    EXPECT_GE(WaitForSent(bridge, Msg("playing[\"Inside\",\"Band\",\"Say ''Hi'' now\",\"0:30\",\"")), 0);
    EXPECT_GE(WaitForSent(bridge, Msg("playlist_item[\"2\",\"Birds\",\"Ravens, The\",\"Nevermore\",\"1:00\",\"\",\"2\",\"0\"]")), 0);
    EXPECT_EQ(BoardPixels(kAlbumNotice, kOlive), 0);

    // Into the album: its first track shows "[Album]" and the folder's cover, and clears "Up Next:".
    ASSERT_TRUE(mpc({QStringLiteral("next")}));
    EXPECT_TRUE(BoardShows([&] {
        return BoardPixels(kAlbumNotice, kOlive) > 20 && BoardPixels(kUpNextCaption, kCyan) == 0 &&
               BoardPixels(kCoverMiddle, kSea) == 0 && BoardPixels(kCoverMiddle, 0) == 0;
    })) << "[Album] " << BoardPixels(kAlbumNotice, kOlive) << ", Up Next " << BoardPixels(kUpNextCaption, kCyan);

    // Player events reach the saver as they happen; a seek sends the time at once.
    const std::pair<QStringList, QByteArray> events[] = {{{"pause"}, "playlist_pause[]"}, {{"play"}, "playlist_play[]"},
                                                         {{"seek", "0:20"}, "time[0:20]"}, {{"stop"}, "playlist_stop[]"}};
    for (const auto& [command, heard] : events) {
        const qsizetype from = bridge.Frames(1, QLatin1Char('>')).size();
        ASSERT_TRUE(mpc(command)) << command.join(' ');
        EXPECT_GE(WaitForSent(bridge, Msg(heard), from), 0) << heard << "\n" << bridge.Log();
    }

    // A 100 KiB title is more than libmpdclient reads: the song shows by its file name.
    const qsizetype before = bridge.Frames(1, QLatin1Char('>')).size();
    ASSERT_TRUE(mpc({QStringLiteral("-q"), QStringLiteral("clear")}) &&
                mpc({QStringLiteral("-q"), QStringLiteral("add"), QStringLiteral("hostile/05.flac")}) &&
                mpc({QStringLiteral("-q"), QStringLiteral("play")}));
    EXPECT_GE(WaitForSent(bridge, Msg("playing[\"\",\"\",\"05\",\"0:30\",\"\",\"\",\"1\"]"), before), 0) << bridge.Log();

    // MPD goes: the saver hears the stop, and the bridge lives on; SIGTERM
    // ends it cleanly (without leaks in the sanitizer build), socket and all.
    const qsizetype playing = bridge.Frames(1, QLatin1Char('>')).size();
    mpd.Stop();
    EXPECT_GE(WaitForSent(bridge, Msg("playlist_stop[]"), playing), 0) << bridge.Log();
    EXPECT_TRUE(bridge.StaysRunningFor(Millis(300)));
    EXPECT_EQ(bridge.Stop(), 0) << bridge.Log();
    EXPECT_FALSE(QFile::exists(Endpoint()));
    EXPECT_TRUE(saver.IsRunning()) << saver.Describe();
}

TEST_F(BridgeTest, PlxMprisBringsWhatMpvPlaysToTheBoard)
{
    const QString plugin = QStringLiteral("/etc/mpv/scripts/mpris.so");
    if (!QFile::exists(plugin)) GTEST_SKIP() << "mpv-mpris is not installed (scripts/install-deps)";
    testing::SessionBus bus(Path(QStringLiteral("bus")));
    ASSERT_TRUE(bus.Start());
    QProcessEnvironment env = SaverEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.Address());
    const QString one = Path(QStringLiteral("one.flac"));
    const QString two = Path(QStringLiteral("two.flac"));
    ASSERT_TRUE(MakeFlac(one, 60, {"ARTIST=Ravens, The", "ALBUM=Birds", "TITLE=Nevermore"}));
    ASSERT_TRUE(MakeFlac(two, 60, {"ARTIST=Crows", "ALBUM=Birds", "TITLE=Quoth"}));
    Process& bridge = Start(QStringLiteral(PLX_MPRIS_BIN), {QStringLiteral("--verbose")}, env);
    ASSERT_TRUE(bridge.WaitForLog(QStringLiteral("on the session bus"))) << bridge.Log();
    const QString ipc = Path(QStringLiteral("mpv.ipc"));
    Process& mpv = Start(QStringLiteral("mpv"),
                         {QStringLiteral("--no-config"), QStringLiteral("--script=") + plugin, QStringLiteral("--ao=null"),
                          QStringLiteral("--vo=null"), QStringLiteral("--idle"), QStringLiteral("--pause"),
                          QStringLiteral("--no-terminal"), QStringLiteral("--input-ipc-server=") + ipc, one, two},
                         env);
    ASSERT_TRUE(bridge.WaitForLog(QStringLiteral("following org.mpris.MediaPlayer2.mpv"), Patience(Millis(8000))))
        << bridge.Log() << mpv.Log();
    const auto playerctl = [&](const QStringList& args) {
        return RunTool(QStringLiteral("playerctl"), QStringList{QStringLiteral("--player=mpv")} + args, env,
                       Patience(Millis(5000))).has_value();
    };

    // Paused at the start: the saver learns the track and the pause at once.
    Process& saver = StartBoard(kBoardSettings, env);
    ASSERT_TRUE(board) << saver.Describe();
    qsizetype at = WaitForSent(bridge, Msg(R"(playing["Birds","Ravens, The","Nevermore","1:00","","",""])"));
    ASSERT_GE(at, 0) << bridge.Log();
    EXPECT_EQ(bridge.Frames(1, QLatin1Char('>')).value(at + 1), Msg("playlist_pause[]")) << bridge.Log();
    EXPECT_TRUE(BoardShows([&] { return BoardPixels(kWaitingLabel, kOlive) == 0 && BoardPixels(kTrackLabel, kYellow) > 50; }));

    const struct {
        QStringList command;
        QByteArray heard;
    } steps[] = {
        {{QStringLiteral("play")}, "playlist_play[]"},
        {{}, "time[0:01]"},
        {{QStringLiteral("position"), QStringLiteral("42")}, "time[0:42]"},
        {{QStringLiteral("next")}, R"(playing["Birds","Crows","Quoth","1:00","","",""])"},
        // Without a track list the pointer is 1 and nothing is up next.
        {{}, R"(playlist_item["2","","","","","","0","1"])"},
        {{QStringLiteral("stop")}, "playlist_stop[]"},
    };
    for (const auto& step : steps) {
        ASSERT_TRUE(step.command.isEmpty() || playerctl(step.command)) << step.command.join(' ');
        ASSERT_GE(at = WaitForSent(bridge, Msg(step.heard), at), 0) << step.heard.toStdString() << "\n" << bridge.Log();
    }

    // mpv quits (its plugin keeps saying Stopped after a stop, so a player
    // leaving mid-play is left to the bridge's own tests): nothing more is said.
    const qsizetype sent = bridge.Frames(1, QLatin1Char('>')).size();
    QLocalSocket quit;
    quit.connectToServer(ipc);
    ASSERT_TRUE(quit.waitForConnected(2000));
    quit.write("{\"command\": [\"quit\"]}\n");
    ASSERT_TRUE(quit.waitForBytesWritten(2000));
    EXPECT_TRUE(bridge.WaitForLog(QStringLiteral("player org.mpris.MediaPlayer2.mpv left")));
    EXPECT_EQ(bridge.Frames(1, QLatin1Char('>')).size(), sent) << bridge.Log();
    EXPECT_TRUE(bridge.IsRunning() && saver.IsRunning()) << bridge.Describe() << saver.Describe();
}

} // namespace
} // namespace wendel::e2e
