// The serving layer of every jukebox: who is told what and when, its socket among hostile clients, covers.

#include "Audience.h"
#include "CoverCache.h"
#include "LinkPeer.h"
#include "Picture.h"
#include "Printers.h"
#include "RunningClock.h"
#include "Server.h"
#include "support/Unprivileged.h"

#include <chrono>
#include <cstring>
#include <fstream>
#include <future>
#include <tuple>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace jukebox {
namespace {

using testing::LinkPeer;
using testing::Msg;
using wendel::testing::RunUnprivileged;
using wendel::testing::WaitUntil;
namespace fs = std::filesystem;

struct StubPlayer final : Player {
    bool Present() const override { return present; }
    PlayState State() const override { return state; }
    std::optional<Track> Current() const override { return current; }
    int Pointer() const override { return 7; }
    std::optional<Entry> EntryAt(int) override { return std::nullopt; }

    bool present = true;
    PlayState state = PlayState::Playing;
    std::optional<Track> current = Track{"Al\"bum", "Art\tist", "Ti\r\ntle", "4:05", "/c.jpg", "3"};
};

const std::string kPlaying = R"(playing["Al''bum","Art ist","Ti  tle","4:05","/c.jpg","","3"])";

TEST(JukeboxTime, DurationsAndAClockCarriedOnWhilePlaying)
{
    const std::vector<std::pair<int, std::string>> durations = { // the bridges' mapping tests show more
        {-5, "0:00"}, {0, "0:00"}, {3599, "59:59"}, {3610, "1:00:10"}, {36000 * 10 + 61, "100:01:01"}};
    for (const auto& [seconds, text] : durations) EXPECT_EQ(FormatDuration(seconds), text) << seconds;
    RunningClock clock;
    clock.Set(61'400, 10'000, true); // the player said 1:01.4 at 10 s
    const std::tuple<std::int64_t, int, std::int64_t> steps[] = { // now, seconds shown, ms to the next
        {10'000, 61, 600}, {10'599, 61, 1}, {10'600, 62, 1000}, {9'000, 61, 600}, {13'700, 65, 900}};
    for (const auto& [now, seconds, untilNext] : steps)
        EXPECT_EQ(std::pair(clock.SecondsAt(now), clock.MsUntilNextSecond(now)), std::pair(seconds, untilNext)) << now;
    clock.Set(5'000, 20'000, false); // paused: time stands
    EXPECT_EQ(clock.SecondsAt(99'000), 5);
    clock.Set(-300, 0, true); // a player's odd report never runs backwards
    EXPECT_EQ(clock.SecondsAt(0), 0);
}

TEST(JukeboxAudience, ANewcomerLearnsThePresentAndEachHearsOnlyWhatItAskedFor)
{
    const std::tuple<bool, PlayState, bool, Texts> cases[] = { // present, state, has a track, told
        {true, PlayState::Playing, true, {kPlaying}},
        {true, PlayState::Paused, true, {kPlaying, "playlist_pause[]"}},
        {true, PlayState::Stopped, true, {"playlist_stop[]"}},
        {true, PlayState::Playing, false, {"playlist_stop[]"}},
        {false, PlayState::Playing, true, {}},
    };
    for (const auto& [present, state, hasTrack, told] : cases) {
        StubPlayer player;
        player.present = present;
        player.state = state;
        if (!hasTrack) player.current.reset();
        Audience audience(player);
        EXPECT_EQ(Handshake(audience), told);
        EXPECT_EQ(For(1, audience.Command(1, "plx", "notify_playing_item[on]")), Texts{}) << "told once";
    }
    StubPlayer player;
    Audience audience(player);
    Handshake(audience, 1);
    audience.Connect(2); // listens only
    audience.Open(2, "plxr", "type=devrx");
    audience.Connect(3); // never opened the message device
    audience.Command(3, "plx", "notify_playing_item[on]");
    audience.Open(9, "plxr", "type=devrx"); // not connected: no client appears
    EXPECT_EQ(audience.Size(), 3u);

    Outbox out;
    audience.StateChanged(out, PlayState::Paused);
    audience.TrackStarted(out, Track{"a", "b", "c", "", "", "1"});
    audience.Time(out, "1:23");
    EXPECT_EQ(For(1, out), (Texts{"playlist_pause[]", R"(playing["a","b","c","","","","1"])", "time[1:23]"}));
    EXPECT_EQ(For(2, out), Texts{"playlist_pause[]"});
    EXPECT_EQ(For(3, out), Texts{});

    EXPECT_EQ(audience.Command(2, "plx", "playlist_getpointer"), (Outbox{{2, "playlist_pointer[7]"}}));
    EXPECT_EQ(For(2, audience.Command(2, "plx", "playlist_getitem[-4]")), Texts{EmptyItemMessage(-4)});
    for (const char* bad : {"playlist_getitem[ x]", "playlist_getitem[]", "playlist_getitem[ 2 ]",
                            "playlist_getitem[ 99999999999]", "playlist_getpointer[now]", "", "dance",
                            "notify_playing_item[maybe]"})
        EXPECT_EQ(audience.Command(2, "plx", bad), Outbox{}) << bad;
    EXPECT_EQ(audience.Command(2, "plxr", "playlist_getpointer"), Outbox{}); // wrong device
    EXPECT_EQ(audience.Command(3, "plx", "playlist_getpointer"), Outbox{}); // not listening

    audience.Disconnect(1); // gone, and what it asked for with it
    audience.Connect(1);
    Outbox after;
    audience.Time(after, "1:24");
    EXPECT_EQ(after, Outbox{});
}

TEST(JukeboxAudience, ChangesOfWhatTheBoardShowsGoOutInTheOrderItNeeds)
{
    const Track one{"Al", "Ar", "One", "1:00", "", "1"}, two{"Al", "Ar", "Two", "2:00", "", "2"};
    const std::string p1 = PlayingMessage(one), p2 = PlayingMessage(two);
    const Showing stopped, playingOne{PlayState::Playing, one}, pausedOne{PlayState::Paused, one};
    const Showing playingTwo{PlayState::Playing, two}, pausedTwo{PlayState::Paused, two};
    const std::tuple<const char*, Showing, Showing, bool, Texts> cases[] = { // what, was, now, fresh, told
        {"nothing changes", playingOne, playingOne, false, {}},
        {"start from stopped", stopped, playingOne, false, {"playlist_play[]", p1}},
        {"start paused", stopped, pausedOne, false, {p1, "playlist_pause[]"}},
        {"pause", playingOne, pausedOne, false, {"playlist_pause[]"}},
        {"resume", pausedOne, playingOne, false, {"playlist_play[]"}},
        {"next track", playingOne, playingTwo, false, {p2}},
        {"next track while paused", pausedOne, pausedTwo, false, {p2, "playlist_pause[]"}},
        {"next track and resume", pausedOne, playingTwo, false, {p2, "playlist_play[]"}},
        {"stop", playingOne, stopped, false, {"playlist_stop[]"}},
        {"still stopped", stopped, stopped, false, {}},
        {"a player reached anew, stopped", stopped, stopped, true, {"playlist_stop[]"}},
        {"a player reached anew, same track", playingOne, playingOne, true, {p1}},
        {"a player reached anew, paused", pausedOne, pausedOne, true, {p1, "playlist_pause[]"}},
        {"a track without a state is stopped", playingOne, {PlayState::Playing, std::nullopt}, false, {"playlist_stop[]"}},
    };
    StubPlayer player;
    Audience audience(player);
    Handshake(audience);
    for (const auto& [what, was, now, fresh, told] : cases) {
        Outbox out;
        audience.Show(out, was, now, fresh);
        EXPECT_EQ(For(1, out), told) << what;
    }
}

// What a saver of user `nobody` sees, in a forked child (raw system calls only):
// its connection shut, before or after it asks, without a word.
::testing::AssertionResult Knock(const QByteArray& path)
{
    sockaddr_un address{AF_UNIX, {}};
    std::memcpy(address.sun_path, path.constData(), static_cast<std::size_t>(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const timeval patience{10, 0};
    const char handshake[] = "OPEN\tplxr\ttype=devrx\t1\t1\t0\nSEND\tplx\tnotify_playing_item[on]\n";
    char answer = 0;
    const bool connected = ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience) == 0 &&
                           ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ssize_t got = connected ? ::send(fd, handshake, sizeof handshake - 1, MSG_NOSIGNAL) : -1;
    if (got > 0) got = ::recv(fd, &answer, 1, 0);
    const int error = errno;
    ::close(fd);
    if (connected && (got == 0 || (got < 0 && (error == EPIPE || error == ECONNRESET))))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << (got > 0 ? "answered" : "not shut out") << ", errno " << error;
}

TEST(JukeboxServer, TakesOnlyAStaleSocketAndOutlastsStrangersJunkFloodsAndHogs)
{
    const QTemporaryDir dir;
    const QString endpoint = dir.filePath("trivox.sock");
    const QByteArray path = QFile::encodeName(endpoint);
    StubPlayer player;
    player.current->title = std::string(8000, 'x'); // so that one who reads nothing is soon owed much
    Audience audience(player);
    Log log;
    Server server(audience, log, false); // quiet: a verbose one would log each frame of the flood
    QString error;
    // A socket file that nobody serves, as a crashed jukebox leaves behind.
    ASSERT_EQ(::mknod(path.constData(), S_IFSOCK | 0600, 0), 0);
    ASSERT_TRUE(server.Listen(endpoint, error)) << error.toStdString();
    EXPECT_EQ(fs::status(path.toStdString()).permissions(), fs::perms(0600)) << "the owner's only";

    const QString notes = dir.filePath("notes.txt");
    QFile(notes).open(QIODevice::WriteOnly);
    for (const auto& [where, says] : {std::pair{endpoint, "already listening"}, std::pair{notes, "not a socket"}}) {
        Server other(audience, log, false);
        EXPECT_FALSE(other.Listen(where, error));
        EXPECT_TRUE(error.contains(QLatin1String(says))) << error.toStdString();
    }
    EXPECT_TRUE(QFile::exists(notes));
    if (wendel::testing::RunningAsRoot()) {
        // A folder and a socket anyone may reach, so only the peer's credentials keep others out.
        ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
        ASSERT_EQ(::chmod(path.constData(), 0666), 0);
        // From a thread of its own, so the server here can answer or shut it out meanwhile.
        auto stranger = std::async(std::launch::async, [&] { return RunUnprivileged([&] { return Knock(path); }); });
        const auto answered = [&] { return stranger.wait_for(std::chrono::seconds()) == std::future_status::ready; };
        ASSERT_TRUE(WaitUntil(answered, 15000));
        EXPECT_TRUE(stranger.get());
    }
    {
        LinkPeer rude;
        ASSERT_TRUE(rude.Connect(endpoint));
        rude.Send("SEND\tplx\t" + QByteArray(1 << 20, 'x') + "\n" + QByteArray("SEND\tplx\tplaylist_get\0pointer\n", 29) +
                  "SEND\tplx\tplaylist_getitem[ \xff\xfe]\nHELLO\nSEND\tplx\nOPEN\tplxr\tx\n\nSEND\tplx\tplaylist_getp");
        ASSERT_TRUE(WaitUntil([&] { return rude.socket.bytesToWrite() == 0; }, 10000));
    } // gone half-way through a line
    for (int i = 0; i < 5; ++i) LinkPeer().Connect(endpoint); // connect and go at once

    LinkPeer flood;
    ASSERT_TRUE(flood.Connect(endpoint));
    QByteArray many = "OPEN\tplxr\ttype=devrx\t1\t1\t0\n", answers;
    for (int i = 0; i < 10000; ++i) many += "SEND\tplx\tplaylist_getpointer\n";
    flood.Send(many);
    EXPECT_TRUE(WaitUntil([&] { return (answers += flood.socket.readAll()).count('\n') >= 10000; }, 10000));

    // One that asks and asks but reads nothing is cut off, not hoarded for.
    LinkPeer hog;
    ASSERT_TRUE(hog.Connect(endpoint));
    hog.socket.setReadBufferSize(1);
    hog.Send("OPEN\tplxr\ttype=devrx\t1\t1\t0\n" +
             QByteArray("SEND\tplx\tnotify_playing_item[on]\nSEND\tplx\tnotify_playing_item[off]\n").repeated(1000));
    EXPECT_TRUE(WaitUntil([&] { return hog.socket.state() == QLocalSocket::UnconnectedState; }, 10000));

    LinkPeer good; // the first server, still serving after all of it
    ASSERT_TRUE(good.Connect(endpoint));
    good.Handshake();
    good.Send("SEND\tplx\tplaylist_getpointer\n");
    EXPECT_GE(good.WaitFor(Msg("playlist_pointer[7]")), 0) << good.Describe();
}

std::string Be(std::uint32_t v, int bytes, bool little = false)
{
    std::string s;
    for (int i = 0; i < bytes; ++i) s += static_cast<char>(v >> (8 * (little ? i : bytes - 1 - i)) & 0xFF);
    return s;
}
std::string Le(std::uint32_t v, int bytes) { return Be(v, bytes, true); }

std::string Png(std::uint32_t w, std::uint32_t h)
{
    return "\x89PNG\r\n\x1A\n" + Be(13, 4) + "IHDR" + Be(w, 4) + Be(h, 4) + "\x08\x02";
}
// An APP0 segment, then the frame header.
std::string Jpeg(std::uint32_t w, std::uint32_t h, char frame = '\xC0')
{
    return std::string("\xFF\xD8\xFF\xE0", 4) + Be(16, 2) + std::string("JFIF\0\1\1\0\0\1\0\1\0\0", 14) + "\xFF" +
           frame + Be(17, 2) + "\x08" + Be(h, 2) + Be(w, 2) + "\x03";
}
std::string Gif(std::uint32_t w, std::uint32_t h) { return "GIF89a" + Le(w, 2) + Le(h, 2) + "\x80"; }
std::string Bmp(std::int32_t w, std::int32_t h)
{
    return "BM" + Le(0, 4) + Le(0, 4) + Le(54, 4) + Le(40, 4) + Le(static_cast<std::uint32_t>(w), 4) +
           Le(static_cast<std::uint32_t>(h), 4);
}

auto Files(const fs::path& f) { return std::distance(fs::directory_iterator(f), fs::directory_iterator()); }
void Age(const std::string& p, int s) { fs::last_write_time(p, fs::last_write_time(p) - std::chrono::seconds(s)); }

TEST(Covers, OnlyPicturesTheSaverCanShowAreKeptPrivatelyAndTheLeastUsedDroppedFirst)
{
    const QTemporaryDir dir;
    const fs::path root = QFile::encodeName(dir.path()).toStdString();
    const fs::path folder = root / "cache" / "wendelsaver" / "covers";
    CoverCache cache(folder);
    EXPECT_EQ(cache.Store("folder:a", "<html>"), "");
    std::string huge = Png(100, 100);
    huge.resize(CoverCache::kMaxPictureBytes + 1);
    EXPECT_EQ(cache.Store("folder:a", huge), "");
    EXPECT_FALSE(fs::exists(folder)) << "nothing made for a refused picture";
    huge.pop_back(); // exactly at the cap: kept
    EXPECT_NE(cache.Store("folder:huge", huge), "");
    EXPECT_EQ(cache.Find("folder:a"), "");

    const std::string png = Png(10, 10);
    const std::string path = cache.Store("folder:a", png);
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(fs::path(path).parent_path(), folder);
    EXPECT_EQ(fs::path(path).extension(), ".png");
    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), png);
    for (const fs::path& own : {folder, folder.parent_path()})
        EXPECT_EQ(fs::status(own).permissions(), fs::perms(0700)) << own;
    EXPECT_EQ(cache.Find("folder:a"), path);
    EXPECT_EQ(cache.Find("folder:b"), "");
    // The same key with a picture of another type: still one answer, the new one.
    const std::string jpeg = cache.Store("folder:a", Jpeg(5, 5));
    EXPECT_EQ(fs::path(jpeg).extension(), ".jpg");
    EXPECT_EQ(cache.Find("folder:a"), jpeg);
    EXPECT_EQ(Files(folder), 2) << "no older copy or temporary file left behind";
    const std::string back = cache.Store("folder:a", png);
    EXPECT_EQ(cache.Find("folder:a"), back);

    std::ofstream(root / "file") << "x";
    EXPECT_EQ(CoverCache(root / "file" / "covers").Store("a", Png(1, 1)), "") << "a folder it cannot make";

    // Full, it drops the least recently used first; a folder above, not its own, keeps its mode.
    fs::create_directory(root / "shared");
    fs::permissions(root / "shared", fs::perms(0755));
    CoverCache lru(root / "shared" / "covers", CoverCache::Limits{1 << 20, 3});
    const std::string a = lru.Store("a", Png(1, 1));
    const std::string b = lru.Store("b", Png(1, 1));
    const std::string c = lru.Store("c", Png(1, 1));
    for (const auto& [file, s] : {std::pair{a, 30}, std::pair{b, 20}, std::pair{c, 10}}) Age(file, s);
    EXPECT_EQ(lru.Find("a"), a); // used now: it stays
    lru.Store("d", Png(1, 1));
    EXPECT_EQ(Files(root / "shared" / "covers"), 3);
    EXPECT_EQ(fs::status(root / "shared").permissions(), fs::perms(0755));
    EXPECT_FALSE(fs::exists(b)); // so a, c and d stay

    // Bounded in bytes as well: the newest picture stays even when alone too big.
    CoverCache small(root / "small", CoverCache::Limits{100, 100});
    std::string big = Png(2, 2);
    big.resize(150, '\0');
    const std::string first = small.Store("1", Png(1, 1));
    Age(first, 5);
    const std::string second = small.Store("2", big);
    EXPECT_FALSE(fs::exists(first));
    EXPECT_TRUE(fs::exists(second));

    // What passes for a picture.
    using P = PictureType;
    const std::vector<std::tuple<const char*, std::string, std::optional<PictureInfo>>> cases = {
        {"jpeg", Jpeg(1000, 800), PictureInfo{P::Jpeg, 1000, 800}},
        {"progressive jpeg", Jpeg(640, 480, '\xC2'), PictureInfo{P::Jpeg, 640, 480}},
        {"jpeg with fill bytes", std::string("\xFF\xD8\xFF\xFF\xC0", 5) + Be(17, 2) + "\x08" + Be(2, 2) + Be(3, 2),
         PictureInfo{P::Jpeg, 3, 2}},
        {"jpeg, restart marker first",
         std::string("\xFF\xD8\xFF\xD0\xFF\xCF", 6) + Be(17, 2) + "\x08" + Be(4, 2) + Be(5, 2),
         PictureInfo{P::Jpeg, 5, 4}},
        {"jpeg data before any frame header",
         std::string("\xFF\xD8\xFF\xDA", 4) + Be(2, 2) + "\xFF\xC0" + Be(17, 2) + "\x08" + Be(4, 2) + Be(5, 2),
         std::nullopt},
        {"png", Png(1000, 1000), PictureInfo{P::Png, 1000, 1000}}, {"gif", Gif(320, 200), PictureInfo{P::Gif, 320, 200}},
        {"bmp", Bmp(64, 32), PictureInfo{P::Bmp, 64, 32}}, {"bmp top-down", Bmp(64, -32), PictureInfo{P::Bmp, 64, 32}},
        {"bmp core header", "BM" + std::string(12, '\0') + Le(12, 4) + Le(7, 2) + Le(9, 2), PictureInfo{P::Bmp, 7, 9}},
        {"30000 x 30000", Png(30000, 30000), std::nullopt}, {"a side of 0", Gif(0, 10), std::nullopt},
        {"negative bmp width", Bmp(-5, 5), std::nullopt}, {"bmp cut in its size", Bmp(5, 5).substr(0, 24), std::nullopt},
        {"jpeg cut", Jpeg(100, 100).substr(0, 22), std::nullopt}, {"png cut", Png(10, 10).substr(0, 20), std::nullopt},
        {"jpeg without a frame header", std::string("\xFF\xD8\xFF\xD9", 4), std::nullopt},
        {"jpeg junk after the start", std::string("\xFF\xD8\xFF\xE0\x00\x10garbage", 13), std::nullopt},
        {"empty", "", std::nullopt}, {"ico", std::string("\0\0\1\0\1\0\x10\x10", 8), std::nullopt},
        {"html", "<html><body>404</body></html>", std::nullopt}, {"webp", "RIFF" + Le(100, 4) + "WEBPVP8 ", std::nullopt},
    };
    for (const auto& [name, bytes, seen] : cases) EXPECT_EQ(SniffPicture(bytes), seen) << name;
}

} // namespace
} // namespace jukebox
