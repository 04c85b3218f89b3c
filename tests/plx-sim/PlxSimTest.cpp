// plx-sim: its files, its simulated clock and its process; who hears what is the serving layer's.

#include "LinkPeer.h"
#include "Playlist.h"
#include "Printers.h"
#include "Script.h"
#include "Simulation.h"

#include <QProcess>
#include <QRegularExpression>

#include <list>
#include <string>
#include <vector>

namespace plxsim {
namespace {

using jukebox::For;
using jukebox::Texts;
using jukebox::testing::LogText;
using jukebox::testing::Msg;

TEST(PlxFiles, PlaylistsAndScriptsAreReadOrTheLineOfTheirMistakeNamed)
{
    const Playlist playlist = ParsePlaylist(
        "# comment\n\n[track]\nlength = 4:05\ntitle = Say \"Hi\"\nartist = Ravens\nalbum = ...\ncover = a.jpg\n"
        "number = 7\n\n[album]\ncover =\ntrack = 1:02:03   Opening   Night\ntrack = 0:45 !a{Guest}t{Encore}!\n\n"
        "[album]\ntitle = Whole\ncover = /abs/b.png\ntrack = 1:00 First\n", "/lists");
    ASSERT_TRUE(playlist.errors.empty()) << playlist.errors.front();
    ASSERT_EQ(playlist.entries.size(), 3u);
    // A title after the length counts, a cover is taken from the playlist's folder, an
    // album is titled by its first track unless given, and its length is in minutes.
    const Entry &track = playlist.entries[0], &album = playlist.entries[1];
    EXPECT_EQ(PlayingMessage(track, 0), R"(playing["...","Ravens","Say ''Hi''","4:05","/lists/a.jpg","","7"])");
    EXPECT_EQ(ItemMessage(1, track), R"(playlist_item["1","...","Ravens","Say ''Hi''","4:05","/lists/a.jpg","1","1"])");
    EXPECT_EQ(PlayingMessage(album, 1), R"(playing["","","!a{Guest}t{Encore}!","0:45","","","2"])");
    EXPECT_EQ(ItemMessage(2, album), R"(playlist_item["2","","","Opening   Night","62:48","","2","0"])");
    EXPECT_EQ(ItemMessage(3, playlist.entries[2]), R"(playlist_item["3","","","Whole","1:00","/abs/b.png","1","0"])");
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"# nothing\n", "the playlist has no entries"},
        {"artist = x\n[track]\nlength = 1:00\n", "line 1: a key outside"},
        {"[track]\nlength = 1:00\ncolour = red\n", "line 3: unknown key colour"},
        {"[track]\ntitle = x\n", "line 1: a track needs a length"},
        {"[album]\nartist = x\n", "line 1: an album needs at least one track"},
        {"[track]\nlength = 4:60\n", "line 2: length must be"},
        {"[track]\nlength = 1:00\nnumber = -2\n", "line 3: number must be"},
        {"[album]\ntrack = 3:00\n", "line 2: expected track = m:ss title"},
        {"[album]\nlength = 1:00\ntrack = 1:00 a\n", "line 2: unknown key length in [album]"},
        {"[track]\nlength = 1:00\n[playlist]\nartist = x\n", "line 3: unknown block [playlist]"},
        {"[track]\nlength = 1:00\njust words\n", "line 3: expected key = value"},
    };
    for (const auto& [text, error] : cases) {
        const Playlist playlist = ParsePlaylist(text, "");
        ASSERT_FALSE(playlist.errors.empty()) << text;
        EXPECT_EQ(playlist.errors.front().rfind(error, 0), 0u) << playlist.errors.front();
    }
    for (const char* bad : {"", "5", ":05", "4:", "4:5x", "0:00", "1:60:00", "1:2:3:4", "-1:00", "+1:00"})
        EXPECT_EQ(ParseLength(bad), std::nullopt) << bad;
    std::vector<std::string> errors;
    const std::vector<ScriptStep> steps = ParseScript("# start\n0 play\n  2.5   pause \r\n10 quit\n", errors);
    EXPECT_TRUE(errors.empty());
    ASSERT_EQ(steps.size(), 3u);
    EXPECT_EQ(steps[1].atMs, 2500);
    EXPECT_EQ(steps[1].verb, "pause");
    ParseScript("1 dance\n-1 play\nsoon stop\n2\n3 next\n", errors);
    EXPECT_EQ(errors.size(), 4u);
    EXPECT_EQ(errors.front().rfind("line 1:", 0), 0u);
}

Entry Single(std::string t, int s) { return {false, "Artist", "Album", t, "/c/" + t + ".jpg", 1, {{t, s}}}; }

Entry Album(std::vector<Track> tracks) { return {true, "Band", "Live", tracks.front().title, "", 1, tracks}; }

struct Rig {
    explicit Rig(std::vector<Entry> entries, Options options = {}) : sim(std::move(entries), options) {}
    Texts Advance(std::int64_t ms) { return For(1, sim.Advance(ms)); }
    Texts Send(const std::string& command) { return For(1, sim.Command(1, "plx", command)); }
    Texts Control(const std::string& verb) { return For(1, sim.Control(verb)); }

    Simulation sim;
    Texts first = jukebox::Handshake(sim);
};

TEST(PlxSimulation, RunsThroughThePlaylistAtAnySpeedAndByControlVerbs)
{
    const Entry album = Album({{"B1", 1}, {"B2", 2}});
    Rig rig({Single("A", 2), album});
    EXPECT_EQ(rig.first, Texts{PlayingMessage(Single("A", 2), 0)}); // a newcomer is told at once
    for (const auto& [position, item] : std::vector<std::pair<int, std::string>>{
             {2, ItemMessage(2, album)}, {3, EmptyItemMessage(3)}, {0, EmptyItemMessage(0)}})
        EXPECT_EQ(rig.Send("playlist_getitem[ " + std::to_string(position) + "]"), Texts{item}) << position;
    EXPECT_EQ(rig.Advance(999), Texts{});
    EXPECT_EQ(rig.Advance(1), Texts{"time[0:01]"});
    EXPECT_EQ(rig.Advance(1000), (Texts{PlayingMessage(album, 0), "time[0:00]"}));
    EXPECT_EQ(rig.Advance(2000), (Texts{PlayingMessage(album, 1), "time[0:00]", "time[0:01]"}));
    EXPECT_EQ(rig.Advance(5000), Texts{"playlist_stop[]"}); // the end: it rests on the last entry
    EXPECT_EQ(rig.sim.Position(), 2);
    EXPECT_EQ(rig.sim.RealMsUntilNextEvent(), std::nullopt);

    Rig odd({Single("A", 100)}, Options{1.5, 0, true, false});
    std::size_t times = 0;
    for (int i = 0; i < 12; ++i) times += odd.Advance(333).size(); // 5.994 simulated seconds
    EXPECT_EQ(times, 5u);
    EXPECT_EQ(odd.Advance(4), Texts{"time[0:06]"}); // no fraction lost on the way

    Rig lazy({Single("A", 1), Single("B", 1)}, Options{0.5, 0, true, true});
    EXPECT_EQ(lazy.sim.RealMsUntilNextEvent(), 2000);
    lazy.Advance(2000); // B
    EXPECT_EQ(lazy.Advance(2000), (Texts{PlayingMessage(Single("A", 1), 0), "time[0:00]"})); // loops

    // The pointer follows a new entry only after the lag.
    Rig lag({Single("A", 1), Album({{"B1", 1}, {"B2", 1}})}, Options{1.0, 500, true, false});
    lag.Advance(1000); // entry 2 starts
    EXPECT_EQ(lag.Send("playlist_getpointer"), Texts{"playlist_pointer[1]"});
    EXPECT_EQ(lag.sim.RealMsUntilNextEvent(), 500);
    lag.Advance(499);
    EXPECT_EQ(lag.sim.Pointer(), 1);
    lag.Advance(1);
    EXPECT_EQ(lag.Send("playlist_getpointer"), Texts{"playlist_pointer[2]"});
    lag.Advance(500); // the album's second track: the pointer stays
    EXPECT_EQ(lag.sim.TrackIndex(), 1u);
    EXPECT_EQ(lag.sim.Pointer(), 2);
    // By control verbs, from a stop.
    const Entry a = Single("A", 60), b = Single("B", 60), live = Album({{"C1", 60}, {"C2", 60}});
    Rig held({a, live, b}, Options{1.0, 0, false, false});
    EXPECT_EQ(held.first, Texts{"playlist_stop[]"});
    EXPECT_EQ(held.Control("play"), (Texts{"playlist_play[]", PlayingMessage(a, 0), "time[0:00]"}));
    held.Advance(5000);
    EXPECT_EQ(held.Control("pause"), Texts{"playlist_pause[]"});
    EXPECT_EQ(held.Advance(5000), Texts{}); // a paused clock stands still
    EXPECT_EQ(held.sim.Current(), std::optional(jukebox::Track{"Album", "Artist", "A", "1:00", "/c/A.jpg", "1"}));
    EXPECT_EQ(held.Control("play"), Texts{"playlist_play[]"});
    EXPECT_EQ(held.sim.ElapsedMs(), 5000);
    EXPECT_EQ(held.Control("stop"), Texts{"playlist_stop[]"});
    EXPECT_EQ(held.sim.Current(), std::nullopt);
    EXPECT_EQ(held.Control("next"), (Texts{"playlist_play[]", PlayingMessage(live, 0), "time[0:00]"}));
    EXPECT_EQ(held.Control("next"), (Texts{PlayingMessage(live, 1), "time[0:00]"}));
    held.Control("next");
    EXPECT_EQ(held.Control("next"), Texts{"playlist_stop[]"});
    EXPECT_EQ(held.Control("prev"), (Texts{"playlist_play[]", PlayingMessage(live, 0), "time[0:00]"}));
    held.Control("prev");
    EXPECT_EQ(held.Control("prev"), (Texts{PlayingMessage(a, 0), "time[0:00]"})); // the first restarts
    bool known = true;
    EXPECT_EQ(held.sim.Control("dance", &known), Outbox{});
    EXPECT_FALSE(known);
}

TEST(PlxSimProcess, RefusesBadStartsWithTwoFollowsItsScriptAndInputAndEndsCleanly)
{
    const QTemporaryDir dir;
    const QString endpoint = dir.filePath("trivox.sock");
    std::list<QProcess> processes; // each ends its process when it goes
    const auto output = [&](const QProcess& process) { return dir.filePath(QString::number(quintptr(&process))); };
    const auto said = [&](const QProcess& process, const QString& text = {}) { return LogText(output(process), text); };
    const auto start = [&](const QStringList& extra = {}) -> QProcess& {
        QProcess& process = processes.emplace_back();
        process.setProcessChannelMode(QProcess::MergedChannels); // its errors in the same file
        process.setStandardOutputFile(output(process));
        process.start(PLX_SIM_BIN, QStringList{"--endpoint", endpoint, "--playlist", dir.filePath("list.plx")} + extra);
        return process;
    };
    const std::pair<const char*, QByteArray> files[] = {
        {"list.plx", "[track]\nlength = 0:30\n\n[album]\nartist = Band\nalbum = Live\ncover = a.jpg\n"
                     "track = 0:20 One\ntrack = 0:20 Two\n"},
        {"script", "# stop, then on to the album\n0.2 stop\n0.3 next\n"},
    };
    for (const auto& [name, bytes] : files) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }
    QProcess& sim = start({"--script", dir.filePath("script")});
    ASSERT_TRUE(said(sim, "listening on").contains("listening on"));
    const std::pair<QStringList, QString> bad[] = {
        {{"--speed", "0"}, "--speed must be"},
        {{"--pointer-lag", "-5"}, "--pointer-lag must be"},
        {{"--playlist", "/dev/null"}, "/dev/null: the playlist has no entries"},
        {{"--script", dir.filePath("missing")}, "missing"},
        {{"--sped", "2"}, "Unknown option 'sped'"},
        {{"--endpoint"}, "Missing value after '--endpoint'"},
        {{"stray"}, "unexpected argument stray"},
        {{}, "already listening"}, // the server's refusals themselves: tests/jukebox
    };
    for (const auto& [args, says] : bad) {
        QProcess& process = start(args);
        ASSERT_TRUE(process.waitForFinished(8000));
        EXPECT_EQ(process.exitCode(), 2);
        EXPECT_TRUE(said(process).contains(says)) << said(process).toStdString();
    }
    // Steps never fire before their time, or close steps could swap places.
    const QString steps = said(sim, "] next\n");
    for (const auto& [verb, at] : {std::pair{"stop", 0.2}, std::pair{"next", 0.3}}) {
        const QRegularExpression line(QStringLiteral("\\[ *([0-9.]+)\\] %1\n").arg(QLatin1String(verb)));
        EXPECT_GE(line.match(steps).captured(1).toDouble(), at) << steps.toStdString();
    }
    jukebox::testing::LinkPeer saver;
    ASSERT_TRUE(saver.Connect(endpoint));
    saver.Handshake();
    // A cover's path is taken from the playlist's folder.
    const QByteArray cover = QFile::encodeName(dir.filePath("a.jpg"));
    const QByteArray playing = Msg(R"(playing["Live","Band","One","0:20",")" + cover + R"(","","1"])");
    EXPECT_GE(saver.WaitFor(playing), 0) << saver.Describe();
    sim.write("pause\n");
    EXPECT_GE(saver.WaitFor(Msg("playlist_pause[]")), 0) << saver.Describe();
    // Ended by a signal or by `quit`, it takes its socket with it.
    sim.terminate();
    ASSERT_TRUE(sim.waitForFinished(8000));
    EXPECT_EQ(sim.exitStatus(), QProcess::NormalExit);
    EXPECT_FALSE(QFile::exists(endpoint));
    QProcess& again = start();
    ASSERT_TRUE(said(again, "listening on").contains("listening on"));
    again.write("quit\n");
    ASSERT_TRUE(again.waitForFinished(8000));
    EXPECT_EQ(again.exitCode(), 0);
    EXPECT_FALSE(QFile::exists(endpoint));
}

} // namespace
} // namespace plxsim
