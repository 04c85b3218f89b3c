// The saver and a jukebox over the local socket: the frames the jukebox logs and the board on screen.

#include "Harness.h"
#include "SolidPng.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace wendel::e2e {
namespace {

QByteArray Track(const QByteArray& title, const QString& cover)
{
    return "[track]\nartist = Artist\nalbum = Album\ntitle = " + title + "\nlength = 0:30\ncover = " +
           QFile::encodeName(cover) + "\n\n";
}

QByteArray Playing(const QByteArray& title, const QString& cover, int number)
{
    return "MSG\tplxr\tplaying[\"Album\",\"Artist\",\"" + title + "\",\"1:00\",\"" + QFile::encodeName(cover) +
           "\",\"\",\"" + QByteArray::number(number) + "\"]\n";
}

using LinkTest = SaverTest;

// An album: its cover, title, "[Album]", running time and the track up next. A jukebox restarted inside
// the overlap wait replays the same entry: the saver must take it as new, or "Up Next:" stays empty.
TEST_F(LinkTest, TheBoardShowsWhatPlxSimPlaysThroughARestartUntilAPress)
{
    const QByteArray playlist = "[album]\nartist = The Band\nalbum = Live\ncover = " + QFile::encodeName(Cover(kSea)) +
                                "\ntrack = 0:30 Opening\ntrack = 0:30 Encore\n\n" + Track("Coming Up", Cover(kRose));
    Process& first = StartJukebox(playlist);
    constexpr int kOverlapMs = 5000;
    Process& saver = StartBoard("Custom Look = 2\r\nOverlap = 5\r\nBackground = ON\r\nDefault Image =\r\n");
    ASSERT_TRUE(board) << saver.Describe();
    // The playing entry is answered: the overlap wait has begun.
    ASSERT_TRUE(first.WaitForLog("> MSG\tplxr\tplaylist_item[\"1\""));
    const auto waitBegan = std::chrono::steady_clock::now();
    EXPECT_EQ(BoardPixels(kNextInfoLabel, kYellow), 0);

    first.Stop(SIGKILL); // its socket file stays behind
    Process& second = StartJukebox(playlist);
    ASSERT_TRUE(second.WaitForLog("< SEND\tplx\tnotify_playing_item[on]")) << second.Describe();
    // Before the overlap ran out, or the first wait's own query would fill it.
    ASSERT_LT(std::chrono::steady_clock::now() - waitBegan, Millis(kOverlapMs)) << "the restart took too long";
    EXPECT_TRUE(WaitUntil([&] {
        return CoverShows(kSea) && BoardPixels(kWaitingLabel, kOlive) == 0 && BoardPixels(kTrackLabel, kYellow) > 50 &&
               BoardPixels(kAlbumNotice, kOlive) > 20 && BoardPixels(kUpNextCaption, kCyan) > 20 &&
               BoardPixels(kNextInfoLabel, kYellow) > 20 && BoardPixels(kTimeLabel, kOlive) > 20;
    }, Patience(Millis(kOverlapMs + 3000)))) << "cover " << BoardPixels(kCoverMiddle, kSea) << ", Up Next "
                                             << BoardPixels(kNextInfoLabel, kYellow);
    // Each entry asked for once: nothing left over from the first jukebox, nothing asked twice.
    EXPECT_EQ(second.Log().count("] #1 < SEND\tplx\tplaylist_getitem[ 1]\n"), 1) << second.Log();
    EXPECT_EQ(second.Log().count("] #1 < SEND\tplx\tplaylist_getitem[ 2]\n"), 1) << second.Log();
    // A press on the bare board, away from its labels, ends it.
    ASSERT_TRUE(
        RunX({"xdotool", "mousemove", "--window", QString::number(*board), "--sync", "630", "470", "click", "1"}));
    EXPECT_EQ(saver.WaitForExit(), 0) << saver.Describe();
}

// Another user's jukebox is not heard: the saver hangs up before a word is said. A hostile one sends a
// flood, a 64 MB line and bytes that are not UTF-8 at once, then a cover of 100 megapixels, which takes
// a second or more to decode off the GUI thread: a key still ends the saver at once.
TEST_F(LinkTest, NeitherAnotherUsersJukeboxNorAHostileOneHoldsOffTheSaver)
{
    // A folder where `nobody` may listen; the saver is told to look there.
    const QString open = Path("open");
    ASSERT_TRUE(QDir().mkpath(open) && QFile::setPermissions(open, QFileDevice::Permissions(0x7777)));
    ASSERT_TRUE(QFile::setPermissions(Path({}), QFileDevice::Permissions(0x7755)));
    QProcessEnvironment env = Environment();
    env.insert("TRIVOX_ENDPOINT", open + "/trivox.sock");
    ASSERT_TRUE(WriteFile(open + "/list.plx", Track("Stranger", Cover(kRose))));
    // Only root can run it as another user.
    Process* stranger = ::geteuid() != 0 ? nullptr
                                         : &Start({"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups",
                                                   PLX_SIM_BIN, "--endpoint", open + "/trivox.sock", "--playlist",
                                                   open + "/list.plx", "--verbose"}, env);
    ASSERT_TRUE(!stranger || stranger->WaitForLog("listening on")) << stranger->Log();
    Process& saver = StartBoard(kBoardSettings, env);
    ASSERT_TRUE(board) << saver.Describe();
    if (stranger) {
        ASSERT_TRUE(stranger->WaitForLog("#1 disconnected")) << stranger->Log();
        EXPECT_FALSE(stranger->Log().contains("#1 < OPEN")) << stranger->Log();
        stranger->Stop();
    }

    QLocalServer server;
    ASSERT_TRUE(server.listen(open + "/trivox.sock"));
    ASSERT_TRUE(server.waitForNewConnection(static_cast<int>(AppearLimit().count()))) << saver.Describe();
    const std::unique_ptr<QLocalSocket> socket(server.nextPendingConnection());
    // Without an event loop only a wait moves bytes between the kernel and the socket.
    const auto sent = [&] {
        socket->waitForBytesWritten(20);
        if (socket->bytesAvailable() == 0) socket->waitForReadyRead(10);
        socket->readAll();
        return socket->bytesToWrite() == 0;
    };
    QByteArray flood;
    for (int i = 0; i < 10000; ++i) flood += "MSG\tplxr\ttime[" + QByteArray::number(i % 60) + "]\n";
    const QByteArray odd("Nul\0Byte \xC3\x28 \xFF\xFE", 14);
    socket->write(Playing("Flood", Cover(kRose), 1) + flood + Playing("Long", Cover(kRose), 2).chopped(1) +
                  QByteArray(64 << 20, ' ') + '\n' + Playing(odd, Cover(kSea), 3));
    ASSERT_TRUE(WaitUntil(sent, Patience(Millis(10000)), Millis(0))) << "the saver stopped reading";
    EXPECT_TRUE(WaitUntil([&] { return CoverShows(kSea); })) << "the last track's cover is not shown";

    const QString huge = Path("huge.png");
    ASSERT_TRUE(WriteFile(huge, wendel::testing::SolidRgbPng(10000, 10000, 0x80, 0x80, 0x80)));
    const int title = BoardPixels(kTrackLabel, kYellow);
    socket->write(Playing("Huge Cover", huge, 5));
    ASSERT_TRUE(WaitUntil([&] { return sent() && BoardPixels(kTrackLabel, kYellow) != title; }));
    ASSERT_FALSE(CoverShows(0x808080)) << "decoded before the key: this proves nothing";
    ASSERT_TRUE(Press(*board, "a"));
    // It ends in well under 100 ms; the bound leaves room for a loaded machine.
    EXPECT_EQ(saver.WaitForExit(Patience(Millis(400))), 0) << saver.Describe();
}

} // namespace
} // namespace wendel::e2e
