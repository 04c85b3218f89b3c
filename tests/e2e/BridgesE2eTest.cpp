// The bridges against their real players: what a bridge tells the saver (#1 in its --verbose log) and the board.

#include "Harness.h"

#include <QDir>
#include <QRegularExpression>

namespace wendel::e2e {
namespace {

// Where the bridge's log shows it sent the saver a message beginning with `message` after `from`; -1 if never.
qsizetype WaitForSent(Process& bridge, const QByteArray& message, qsizetype from = 0)
{
    const QString frame = "] #1 > MSG\tplxr\t" + QString::fromUtf8(message);
    qsizetype at = -1;
    WaitUntil([&] { return (at = bridge.Log().indexOf(frame, from)) >= 0; }, Patience(Millis(8000)));
    return at;
}

bool MakeFlac(const QString& path, int seconds, const QStringList& tags, const QString& picture = {})
{
    QStringList command{"flac", "-s", "-f", "--force-raw-format", "--endian=little", "--sign=signed", "--channels=1",
                        "--bps=16", "--sample-rate=8000", "-o", path};
    for (const QString& tag : tags) command << "-T" << tag;
    if (!picture.isEmpty()) command << "--picture=" + picture;
    return RunTool(command << "-", QProcessEnvironment::systemEnvironment(), Millis(20000),
                   QByteArray(seconds * 16000, '\0'))
        .has_value();
}

using BridgeTest = SaverTest;

TEST_F(BridgeTest, TheBridgesBringWhatTheirPlayersPlayToTheBoard)
{
    QProcessEnvironment env = Environment();
    const QString folder = Path("mpd");
    const QString music = folder + "/music/";
    env.insert("MPD_HOST", folder + "/mpd.socket");
    env.remove("MPD_PORT");
    const auto mpc = [&](const QStringList& args) { return RunTool(QStringList{"mpc", "-q"} + args, env).has_value(); };
    for (const char* album : {"birds", "inside", "hostile"}) ASSERT_TRUE(QDir().mkpath(music + album));
    ASSERT_TRUE(QFile::copy(Cover(kRose), music + "birds/cover.png"));
    ASSERT_TRUE(MakeFlac(music + "inside/03.flac", 30, {"ARTIST=Band", "ALBUM=Inside", "TITLE=Say \"Hi\"\tnow"},
                         Cover(kSea)));
    for (const QString n : {"1", "2"})
        ASSERT_TRUE(MakeFlac(music + "birds/0" + n + ".flac", 30, {"ARTIST=Ravens, The", "ALBUM=Birds", "TITLE=" + n}));
    ASSERT_TRUE(MakeFlac(music + "hostile/05.flac", 30, {"TITLE=" + QString(100 * 1024, 'x')}));

    // MPD is not there yet: the saver hears nothing, and its board waits.
    Process& bridge = Start({PLX_MPD_BIN, "--endpoint", Endpoint(), "--verbose", "--albums"}, env);
    ASSERT_TRUE(bridge.WaitForLog("MPD is not reachable")) << bridge.Log();
    Process& saver = StartBoard();
    ASSERT_TRUE(board) << saver.Describe();
    ASSERT_TRUE(bridge.WaitForLog("#1 < SEND\tplx\tnotify_playing_timecode[on]"));
    EXPECT_FALSE(bridge.Log().contains("] #1 > "));

    // Debian's mpd comes, on a private socket with its own database and music folder, the null output.
    const QString conf = QStringLiteral("music_directory \"%1/music\"\ndb_file \"%1/mpd.db\"\nlog_file \"%1/mpd.log\"\n"
                                        "bind_to_address \"%1/mpd.socket\"\nzeroconf_enabled \"no\"\n"
                                        "audio_output {\n  type \"null\"\n  name \"null\"\n}\n");
    ASSERT_TRUE(WriteFile(folder + "/mpd.conf", conf.arg(folder).toUtf8()));
    Process& mpd = Start({"mpd", "--no-daemon", folder + "/mpd.conf"}, env);
    ASSERT_TRUE(WaitUntil([&] { return mpc({"update", "--wait"}); }, Patience(Millis(10000)), Millis(100)))
        << ReadFile(folder + "/mpd.log");
    ASSERT_GE(WaitForSent(bridge, "playlist_stop[]"), 0) << bridge.Log();
    ASSERT_TRUE(mpc({"add", "inside/03.flac", "birds/01.flac", "birds/02.flac"}) && mpc({"play"}));
    EXPECT_TRUE(WaitUntil([&] {
        return CoverShows(kSea) && BoardPixels(kTrackLabel, kYellow) > 50 && BoardPixels(kTimeLabel, kOlive) > 20 &&
               BoardPixels(kUpNextCaption, kCyan) > 20 && BoardPixels(kAlbumNotice, kOlive) == 0;
    })) << "cover " << BoardPixels(kCoverMiddle, kSea) << ", Up Next " << BoardPixels(kUpNextCaption, kCyan);
    EXPECT_GE(WaitForSent(bridge, R"(playing["Inside","Band","Say ''Hi'' now","0:30",")"), 0);
    EXPECT_GE(WaitForSent(bridge, R"(playlist_item["2","Birds","Ravens, The","1","1:00","","2","0"])"), 0);
    ASSERT_TRUE(mpc({"next"})); // into the album: "[Album]" and the folder's cover
    EXPECT_TRUE(WaitUntil([&] { return CoverShows(kRose) && BoardPixels(kAlbumNotice, kOlive) > 20; }));
    const QRegularExpression trackOne(R"(#1 > MSG\tplxr\tplaying\["Birds","Ravens, The","1","0:30","[^"]*","","1"\])");
    EXPECT_TRUE(WaitUntil([&] { return bridge.Log().contains(trackOne); })) << "the album's first song is not its 1";

    // Player events reach the saver as they happen; a seek sends the time at once.
    const std::pair<QStringList, QByteArray> events[] = {
        {{"pause"}, "playlist_pause[]"},
        {{"play"}, "playlist_play[]"},
        {{"seek", "0:20"}, "time[0:20]"},
        {{"stop"}, "playlist_stop[]"},
    };
    for (const auto& [command, heard] : events) {
        const qsizetype from = bridge.Log().size();
        ASSERT_TRUE(mpc(command)) << command.join(' ');
        EXPECT_GE(WaitForSent(bridge, heard, from), 0) << heard << "\n" << bridge.Log();
    }

    // A 100 KiB title is more than libmpdclient reads: the song shows by its file name.
    qsizetype from = bridge.Log().size();
    ASSERT_TRUE(mpc({"clear"}) && mpc({"add", "hostile/05.flac"}) && mpc({"play"}));
    EXPECT_GE(WaitForSent(bridge, R"(playing["","","05","0:30","","","1"])", from), 0) << bridge.Log();

    // MPD goes: the saver hears the stop; SIGTERM ends the bridge cleanly.
    from = bridge.Log().size();
    mpd.Stop();
    EXPECT_GE(WaitForSent(bridge, "playlist_stop[]", from), 0) << bridge.Log();
    EXPECT_TRUE(bridge.StaysRunningFor(Millis(300)));
    EXPECT_EQ(bridge.Stop(), 0) << bridge.Log();

    // plx-mpris in its place, following mpv with its MPRIS plugin on a private session bus, driven with
    // playerctl. Paused at the start, the saver learns the track and the pause at once.
    const QString plugin = "/etc/mpv/scripts/mpris.so";
    if (!QFile::exists(plugin)) GTEST_SKIP() << "mpv-mpris is not installed (scripts/install-deps)";
    env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + Path("bus"));
    Start({"dbus-daemon", "--session", "--nofork", "--nosyslog", "--address=unix:path=" + Path("bus")}, env);
    ASSERT_TRUE(WaitUntil([&] { return QFile::exists(Path("bus")); }));
    Process& mpv = Start({"mpv", "--no-config", "--script=" + plugin, "--ao=null", "--vo=null", "--idle", "--pause",
                          "--no-terminal", music + "birds/01.flac", music + "birds/02.flac"},
                         env);
    const int title = BoardPixels(kTrackLabel, kYellow);
    Process& mpris = Start({PLX_MPRIS_BIN, "--verbose"}, env);
    qsizetype at = WaitForSent(mpris, R"(playing["Birds","Ravens, The","1","0:30",")");
    ASSERT_GE(at, 0) << mpris.Log() << mpv.Log();
    const QString log = mpris.Log();
    EXPECT_EQ(log.indexOf("] #1 > ", at + 1), log.indexOf("] #1 > MSG\tplxr\tplaylist_pause[]", at)) << log;
    EXPECT_TRUE(WaitUntil([&] { return BoardPixels(kTrackLabel, kYellow) != title; })) << "the board kept the title";

    const std::pair<QStringList, QByteArray> steps[] = {
        {{"play"}, "playlist_play[]"},
        {{"position", "20"}, "time[0:20]"},
        {{"next"}, R"(playing["Birds","Ravens, The","2","0:30",")"},
        {{"stop"}, "playlist_stop[]"},
    };
    for (const auto& [command, heard] : steps) {
        ASSERT_TRUE(RunTool(QStringList{"playerctl", "--player=mpv"} + command, env)) << command.join(' ');
        ASSERT_GE(at = WaitForSent(mpris, heard, at), 0) << heard << "\n" << mpris.Log();
    }
}

} // namespace
} // namespace wendel::e2e
