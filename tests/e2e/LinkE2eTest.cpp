// The saver and a jukebox over the local socket, watched from both ends: the
// frames the jukebox logs, and the board on screen. Beside plx-sim, a jukebox
// played by the test sends what a broken or hostile one would.

#include "BoardPlaces.h"
#include "JukeboxProcess.h"
#include "SaverTest.h"
#include "ScreenArea.h"

#include <QColor>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLocalServer>
#include <QLocalSocket>
#include <QRect>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <iostream>
#include <memory>
#include <utility>

#include <grp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace wendel::e2e {
namespace {

// More cover colours beside kRose and kSea.
constexpr std::uint32_t kLeaf = 0x30C060;
constexpr std::uint32_t kClay = 0x806020;
constexpr std::uint32_t kTeal = 0x20A0A0;
constexpr std::uint32_t kPlum = 0x702090;

const QStringList kHandshake{
    QStringLiteral("OPEN\tplx\ttype=devtx\t1\t1\t0"),
    QStringLiteral("OPEN\tplxr\ttype=devrx\t1\t1\t0"),
    QStringLiteral("SEND\tplx\tnotify_playing_item[on]"),
    QStringLiteral("SEND\tplx\tnotify_playing_timecode[on]"),
};

// The saver's first four frames are the handshake, and none of them comes again.
::testing::AssertionResult OpensWithTheHandshakeOnce(const QStringList& received)
{
    if (received.mid(0, kHandshake.size()) != kHandshake) {
        return ::testing::AssertionFailure() << "the conversation opens with:\n"
                                             << received.mid(0, kHandshake.size()).join(QLatin1Char('\n'));
    }
    for (const QString& frame : kHandshake) {
        if (received.count(frame) != 1) {
            return ::testing::AssertionFailure() << received.count(frame) << " times " << frame << " in:\n"
                                                 << received.join(QLatin1Char('\n'));
        }
    }
    return ::testing::AssertionSuccess();
}

// A kilobyte figure of /proc/PID/status ("VmHWM", "VmRSS").
std::optional<long> StatusKb(qint64 pid, const QByteArray& field)
{
    const std::optional<QByteArray> status = ReadFile(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status) return std::nullopt;
    for (const QByteArray& line : status->split('\n')) {
        if (line.startsWith(field + ':')) {
            bool ok = false;
            const long kb = line.mid(field.size() + 1).trimmed().split(' ').first().toLong(&ok);
            if (ok) return kb;
        }
    }
    return std::nullopt;
}

// User and system CPU time the process has used so far.
std::optional<double> CpuSeconds(qint64 pid)
{
    const std::optional<QByteArray> stat = ReadFile(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat) return std::nullopt;
    // The name in brackets may hold blanks; the fields after it do not.
    const QList<QByteArray> fields = stat->mid(stat->lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13) return std::nullopt;
    const double ticks = static_cast<double>(fields[11].toLongLong() + fields[12].toLongLong());
    return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

QByteArray Msg(const QByteArray& message)
{
    return "MSG\tplxr\t" + message + '\n';
}

QByteArray Playing(const QByteArray& album, const QByteArray& artist, const QByteArray& title,
                   const QString& cover, const QByteArray& number)
{
    return Msg("playing[\"" + album + "\",\"" + artist + "\",\"" + title + "\",\"1:00\",\"" +
               QFile::encodeName(cover) + "\",\"\",\"" + number + "\"]");
}

QByteArray TimeFlood(int frames)
{
    QByteArray flood;
    for (int i = 0; i < frames; ++i) {
        flood += Msg(QStringLiteral("time[%1:%2]").arg(i / 60).arg(i % 60, 2, 10, QLatin1Char('0')).toLatin1());
    }
    return flood;
}

// A jukebox played by the test: it listens where the saver looks, and sends
// whatever the test gives it, good or bad.
class TestJukebox {
public:
    bool Listen(const QString& path)
    {
        server_.setSocketOptions(QLocalServer::UserAccessOption);
        return server_.listen(path);
    }
    QString Error() const { return server_.errorString(); }

    bool Accept(Millis timeout)
    {
        socket_.reset();
        earlier_ += received_;
        received_.clear();
        if (!server_.waitForNewConnection(static_cast<int>(timeout.count()))) return false;
        socket_.reset(server_.nextPendingConnection());
        return socket_ != nullptr;
    }

    // The first `count` lines the saver sent on this connection; fewer when
    // they did not come within `timeout`.
    QList<QByteArray> Lines(qsizetype count, Millis timeout)
    {
        PollUntil(timeout, [&] {
            Drain(Millis(10));
            return received_.count('\n') >= count;
        }, Millis(0));
        QList<QByteArray> lines = received_.split('\n');
        lines.removeLast(); // what follows the last LF
        return lines.mid(0, count);
    }

    // Hands `bytes` to the kernel, waiting while the saver reads; false when
    // it stopped reading for `timeout`.
    bool Write(const QByteArray& bytes, Millis timeout)
    {
        if (!socket_) return false;
        socket_->write(bytes);
        return PollUntil(timeout, [&] {
            socket_->waitForBytesWritten(20);
            Drain(Millis(0));
            return socket_->bytesToWrite() == 0;
        }, Millis(0));
    }

    // Queues `bytes` and pushes what the socket takes at once; the rest waits
    // in this process, unwritten.
    void Push(const QByteArray& bytes)
    {
        socket_->write(bytes);
        socket_->waitForBytesWritten(50);
    }

    // How many times the saver sent exactly `line`, on this connection and the ones before.
    qsizetype Count(const QByteArray& line)
    {
        if (socket_) Drain(Millis(0));
        return (earlier_ + received_).split('\n').count(line);
    }

    void Close()
    {
        if (!socket_) return;
        socket_->disconnectFromServer();
        socket_.reset();
    }

private:
    void Drain(Millis wait)
    {
        // Without an event loop only the wait moves bytes from the kernel into
        // the socket; a wait of 0 just looks.
        if (socket_->bytesAvailable() == 0) socket_->waitForReadyRead(static_cast<int>(wait.count()));
        received_ += socket_->readAll();
    }

    QLocalServer server_;
    std::unique_ptr<QLocalSocket> socket_;
    QByteArray received_;
    QByteArray earlier_;
};

class LinkTest : public SaverTest {
protected:
    void TearDown() override
    {
        // A simulator still running ends cleanly on SIGTERM (and, in the
        // sanitizer build, without leaks).
        for (const auto& jukebox : jukeboxes_) {
            if (jukebox->IsRunning()) {
                EXPECT_EQ(jukebox->Stop(), 0) << jukebox->Describe();
            }
        }
        if (HasFailure()) {
            for (const auto& jukebox : jukeboxes_) {
                std::cout << "--- plx-sim: " << jukebox->Describe() << "\n" << jukebox->Log();
            }
        }
        jukeboxes_.clear();
        SaverTest::TearDown();
    }

    // Where the saver looks by default: this test's private runtime folder.
    QString Endpoint() const { return RuntimeDir() + QStringLiteral("/trivox.sock"); }

    // A 400 x 400 cover in one colour; the board fits it to 320 x 320.
    QString Cover(std::uint32_t colour)
    {
        const QString path = Path(QStringLiteral("cover-%1.png").arg(colour, 6, 16, QLatin1Char('0')));
        if (!QFileInfo::exists(path)) {
            QImage image(400, 400, QImage::Format_RGB32);
            image.fill(QColor::fromRgb(colour));
            EXPECT_TRUE(image.save(path, "PNG")) << path;
        }
        return path;
    }

    // A playlist of half-minute single tracks, each with a cover of its own colour.
    QString Playlist(const QString& name, const std::vector<std::pair<QByteArray, std::uint32_t>>& tracks)
    {
        QByteArray text;
        int number = 0;
        for (const auto& [title, colour] : tracks) {
            ++number;
            text += "[track]\nartist = Artist " + QByteArray::number(number) + "\nalbum = Album " +
                    QByteArray::number(number) + "\ntitle = " + title + "\nlength = 0:30\ncover = " +
                    QFile::encodeName(Cover(colour)) + "\n\n";
        }
        const QString path = Path(name);
        EXPECT_TRUE(WriteFile(path, text));
        return path;
    }

    JukeboxProcess& StartJukebox(const QString& playlist, const QStringList& options = {})
    {
        const QString log = Path(QStringLiteral("plx-sim-%1.log").arg(jukeboxes_.size() + 1));
        QStringList args{QStringLiteral("--endpoint"), Endpoint(), QStringLiteral("--playlist"), playlist,
                         QStringLiteral("--verbose")};
        jukeboxes_.push_back(std::make_unique<JukeboxProcess>(args + options, SaverEnvironment(), log));
        JukeboxProcess& jukebox = *jukeboxes_.back();
        EXPECT_TRUE(jukebox.Started()) << jukebox.Describe();
        return jukebox;
    }

    // The saver with a black backdrop. It asks for the entry up next `overlap`
    // seconds after a track starts.
    SaverProcess& StartSaver(const QByteArray& overlap = "1")
    {
        EXPECT_TRUE(WriteFile(IniPath(), "Custom Look = 2\r\nOverlap = " + overlap +
                                             "\r\nBackground = ON\r\nDefault Image =\r\n"));
        SaverProcess& saver = Launch({QStringLiteral("/s")});
        board_ = X().WaitForWindow(kBoardTitle, AppearLimit());
        if (board_) boardAt_ = X().Inspect(*board_);
        return saver;
    }

    // Pixels of exactly `colour` in a part of the board; -1 when the screen cannot be read.
    int BoardPixels(const QRect& part, std::uint32_t colour)
    {
        if (!boardAt_) return -1;
        return CountScreenPixels(X().Display(), part.translated(boardAt_->x, boardAt_->y), colour).value_or(-1);
    }
    bool CoverShows(std::uint32_t colour)
    {
        return BoardPixels(kCoverMiddle, colour) == kCoverMiddle.width() * kCoverMiddle.height();
    }
    // The label's olive glyphs; its text fills hundreds of pixels of the box.
    bool WaitingTextShows() { return BoardPixels(kWaitingLabel, kLabelOlive) > 100; }
    bool WaitingTextGone() { return BoardPixels(kWaitingLabel, kLabelOlive) == 0; }

    std::optional<WindowId> board_;
    std::optional<WindowGeometry> boardAt_;

private:
    std::vector<std::unique_ptr<JukeboxProcess>> jukeboxes_;
};

TEST_F(LinkTest, TheWholeConversationReachesTheBoard)
{
    const QString playlist = Playlist(QStringLiteral("list.plx"), {{"First Light", kRose}, {"Second Wind", kSea}});
    JukeboxProcess& jukebox = StartJukebox(playlist);
    ASSERT_TRUE(jukebox.WaitForLog(QStringLiteral("listening on"), AppearLimit())) << jukebox.Describe();

    SaverProcess& saver = StartSaver();
    ASSERT_TRUE(board_) << saver.Describe();
    EXPECT_TRUE(PollUntil(AppearLimit(), [&] { return CoverShows(kRose) && WaitingTextGone(); }))
        << "cover pixels " << BoardPixels(kCoverMiddle, kRose) << ", waiting text pixels "
        << BoardPixels(kWaitingLabel, kLabelOlive);

    // One overlap after the track starts, the saver asks for the entry up next.
    ASSERT_TRUE(jukebox.WaitForLog(QStringLiteral("> MSG\tplxr\tplaylist_item[\"2\""), Patience(Millis(5000))));
    const QStringList received = jukebox.Frames(1, QLatin1Char('<'));
    EXPECT_TRUE(OpensWithTheHandshakeOnce(received));
    const qsizetype pointer = received.indexOf(QStringLiteral("SEND\tplx\tplaylist_getpointer"));
    const qsizetype playingEntry = received.indexOf(QStringLiteral("SEND\tplx\tplaylist_getitem[ 1]"));
    const qsizetype nextEntry = received.indexOf(QStringLiteral("SEND\tplx\tplaylist_getitem[ 2]"));
    EXPECT_GE(pointer, 4) << received.join(QLatin1Char('\n'));
    EXPECT_GT(playingEntry, pointer) << received.join(QLatin1Char('\n'));
    EXPECT_GT(nextEntry, playingEntry) << received.join(QLatin1Char('\n'));

    const QStringList sent = jukebox.Frames(1, QLatin1Char('>'));
    EXPECT_TRUE(sent.contains(QStringLiteral("MSG\tplxr\tplaying[\"Album 1\",\"Artist 1\",\"First Light\",\"0:30\",\"") +
                              Cover(kRose) + QStringLiteral("\",\"\",\"1\"]")))
        << sent.join(QLatin1Char('\n'));
    EXPECT_TRUE(sent.contains(QStringLiteral("MSG\tplxr\tplaylist_pointer[1]")));
    EXPECT_TRUE(jukebox.Log().contains(QStringLiteral("> MSG\tplxr\tplaylist_item[\"1\",\"Album 1\"")));
    EXPECT_TRUE(saver.IsRunning()) << saver.Describe();
}

TEST_F(LinkTest, AJukeboxStartedLateIsShownWithinTwoSeconds)
{
    const QString playlist = Playlist(QStringLiteral("list.plx"), {{"Late Show", kLeaf}});
    QElapsedTimer sinceSaver;
    sinceSaver.start();
    SaverProcess& saver = StartSaver();
    ASSERT_TRUE(board_) << saver.Describe();
    ASSERT_TRUE(PollUntil(AppearLimit(), [&] { return WaitingTextShows(); }))
        << "waiting text pixels " << BoardPixels(kWaitingLabel, kLabelOlive);

    // Nobody listens for the first five seconds; retrying must cost next to nothing.
    const std::optional<double> cpuBefore = CpuSeconds(saver.Pid());
    QElapsedTimer idle;
    idle.start();
    const Millis rest = std::max(Millis(1000), Millis(5000) - Millis(sinceSaver.elapsed()));
    ASSERT_TRUE(saver.StaysRunningFor(rest)) << saver.Describe();
    const std::optional<double> cpuAfter = CpuSeconds(saver.Pid());
    ASSERT_TRUE(cpuBefore && cpuAfter);
    EXPECT_LT(*cpuAfter - *cpuBefore, 0.03 * static_cast<double>(idle.elapsed()) / 1000.0)
        << "CPU seconds while waiting " << idle.elapsed() << " ms for the jukebox";
    std::cout << "[ info ] waiting " << idle.elapsed() << " ms for the jukebox took "
              << (*cpuAfter - *cpuBefore) << " CPU seconds\n";
    EXPECT_TRUE(WaitingTextShows());

    QElapsedTimer sinceJukebox;
    sinceJukebox.start();
    JukeboxProcess& jukebox = StartJukebox(playlist);
    const bool shown = PollUntil(Patience(Millis(2000)), [&] { return CoverShows(kLeaf) && WaitingTextGone(); });
    const qint64 took = sinceJukebox.elapsed();
    EXPECT_TRUE(shown) << "not shown " << took << " ms after the jukebox started";
    std::cout << "[ info ] the late jukebox's track was on screen after " << took << " ms\n";

    // The notifications asked for while nobody listened come once, in the
    // handshake, and the track is asked about once.
    ASSERT_TRUE(jukebox.WaitForLog(QStringLiteral("< SEND\tplx\tplaylist_getitem[ 1]"), AppearLimit()));
    const QStringList received = jukebox.Frames(1, QLatin1Char('<'));
    EXPECT_TRUE(OpensWithTheHandshakeOnce(received));
    EXPECT_EQ(received.count(QStringLiteral("SEND\tplx\tplaylist_getitem[ 1]")), 1);
    EXPECT_FALSE(jukebox.Log().contains(QStringLiteral("#2 connected")));
}

TEST_F(LinkTest, AJukeboxKilledAndRestartedGetsTheReplayOnce)
{
    JukeboxProcess& first =
        StartJukebox(Playlist(QStringLiteral("first.plx"), {{"Before", kClay}, {"Between", kPlum}}));
    ASSERT_TRUE(first.WaitForLog(QStringLiteral("listening on"), AppearLimit())) << first.Describe();
    SaverProcess& saver = StartSaver();
    ASSERT_TRUE(board_) << saver.Describe();
    ASSERT_TRUE(PollUntil(AppearLimit(), [&] { return CoverShows(kClay); }));
    // Wait until the saver has nothing more to ask: the entry up next is answered.
    ASSERT_TRUE(first.WaitForLog(QStringLiteral("> MSG\tplxr\tplaylist_item[\"2\""), Patience(Millis(5000))));
    ASSERT_TRUE(first.WaitForLog(QStringLiteral("> MSG\tplxr\ttime[0:0"), AppearLimit()));

    first.KillHard(); // its socket file stays behind
    ASSERT_TRUE(QFileInfo::exists(Endpoint()));
    QElapsedTimer sinceRestart;
    sinceRestart.start();
    // At four times the speed its first time message is due a quarter of a
    // second after the saver is back, which leaves the reconnection most of
    // the two seconds.
    JukeboxProcess& second = StartJukebox(Playlist(QStringLiteral("second.plx"), {{"After", kTeal}}),
                                          {QStringLiteral("--speed"), QStringLiteral("4")});
    const bool resumed = PollUntil(Patience(Millis(2000)), [&] {
        return !second.Frames(1, QLatin1Char('>')).filter(QStringLiteral("MSG\tplxr\ttime[")).isEmpty() &&
               CoverShows(kTeal);
    });
    const qint64 took = sinceRestart.elapsed();
    EXPECT_TRUE(resumed) << "no time message or new cover " << took << " ms after the restart";
    std::cout << "[ info ] notifications resumed " << took << " ms after the restart\n";
    EXPECT_TRUE(second.Log().contains(QStringLiteral("replaced a stale socket")));

    // The new track is asked about as any track is: the pointer twice (now and
    // after the overlap), each entry once. A command left over from the first
    // jukebox, or queued again, would show as one more.
    ASSERT_TRUE(second.WaitForLog(QStringLiteral("> MSG\tplxr\tplaylist_item[\"2\""), Patience(Millis(5000))));
    const QStringList received = second.Frames(1, QLatin1Char('<'));
    EXPECT_TRUE(OpensWithTheHandshakeOnce(received));
    EXPECT_EQ(received.count(QStringLiteral("SEND\tplx\tplaylist_getpointer")), 2) << received.join(QLatin1Char('\n'));
    EXPECT_EQ(received.count(QStringLiteral("SEND\tplx\tplaylist_getitem[ 1]")), 1);
    EXPECT_EQ(received.count(QStringLiteral("SEND\tplx\tplaylist_getitem[ 2]")), 1);
    EXPECT_EQ(received.size(), 8) << received.join(QLatin1Char('\n'));
    EXPECT_FALSE(second.Log().contains(QStringLiteral("#2 connected")));
    EXPECT_TRUE(saver.IsRunning()) << saver.Describe();
}

TEST_F(LinkTest, FloodsAndBrokenFramesLeaveTheSaverWorking)
{
#ifdef WENDEL_E2E_SANITIZED
    constexpr long kPeakLimitKb = 600 * 1024; // shadow memory and the allocator's quarantine
#else
    constexpr long kPeakLimitKb = 150 * 1024;
#endif
    TestJukebox jukebox;
    ASSERT_TRUE(jukebox.Listen(Endpoint())) << jukebox.Error();
    // The longest overlap: the saver then asks for the pointer exactly once per
    // track it takes, which counts the tracks it took.
    SaverProcess& saver = StartSaver("12");
    ASSERT_TRUE(board_) << saver.Describe();
    ASSERT_TRUE(jukebox.Accept(AppearLimit())) << saver.Describe();
    const QList<QByteArray> handshake{"OPEN\tplx\ttype=devtx\t1\t1\t0", "OPEN\tplxr\ttype=devrx\t1\t1\t0",
                                      "SEND\tplx\tnotify_playing_item[on]", "SEND\tplx\tnotify_playing_timecode[on]"};
    ASSERT_EQ(jukebox.Lines(4, AppearLimit()), handshake);
    const Millis writeLimit = Patience(Millis(10000));
    const auto tookTracks = [&](std::uint32_t lastCover, qsizetype tracks) -> ::testing::AssertionResult {
        if (!PollUntil(Patience(Millis(3000)), [&] { return CoverShows(lastCover); })) {
            return ::testing::AssertionFailure() << "the last track's cover is not shown";
        }
        const QByteArray ask = "SEND\tplx\tplaylist_getpointer";
        PollUntil(Patience(Millis(1000)), [&] { return jukebox.Count(ask) >= tracks; });
        if (jukebox.Count(ask) != tracks) {
            return ::testing::AssertionFailure() << jukebox.Count(ask) << " tracks taken, not " << tracks;
        }
        return ::testing::AssertionSuccess();
    };

    // 10,000 frames at once; the track after them comes only once all are read, in order.
    ASSERT_TRUE(jukebox.Write(Playing("Flood", "Artist", "Many", Cover(kRose), "1") + TimeFlood(10000), writeLimit));
    ASSERT_TRUE(jukebox.Write(Playing("After Flood", "Artist", "Calm", Cover(kSea), "2"), writeLimit));
    EXPECT_TRUE(tookTracks(kSea, 2)) << "after the flood";
    const std::optional<long> peakBefore = StatusKb(saver.Pid(), "VmHWM");

    // A 1 MB line and a 64 MB one, each a playing message the saver would take
    // but for the blanks after it, then a frame with a NUL byte in its title.
    // The long ones are dropped whole; the frame after them is taken.
    const QByteArray megabyte(1024 * 1024, ' ');
    ASSERT_TRUE(jukebox.Write(Playing("Long", "Line", "One", Cover(kPlum), "3").chopped(1) + megabyte + '\n', writeLimit));
    ASSERT_TRUE(jukebox.Write(Playing("Longer", "Line", "Two", Cover(kPlum), "4").chopped(1) + megabyte.repeated(64) + '\n',
                              writeLimit));
    ASSERT_TRUE(jukebox.Write(Playing("Nul", "Artist", QByteArray("Nul\0Byte", 8), Cover(kLeaf), "5"), writeLimit));
    EXPECT_TRUE(tookTracks(kLeaf, 3)) << "after the long lines and the NUL byte";

    // A title too long for the board's field positions, which leaves the
    // board as it was, then bytes that are not UTF-8 in every text field.
    ASSERT_TRUE(jukebox.Write(Playing("Huge", "Artist", QByteArray(40000, 'W'), Cover(kPlum), "6") +
                                  Playing("\xC3\x28 Album", "\xFF\xFE Artist", "Title \xE2\x82", Cover(kClay), "7"),
                              writeLimit));
    EXPECT_TRUE(tookTracks(kClay, 4)) << "after a huge title and invalid UTF-8";

    // The jukebox goes away half-way through a frame. The saver comes back with
    // the whole handshake, and the half frame is not glued to the next one.
    ASSERT_TRUE(jukebox.Write("MSG\tplxr\tplaying[\"Half", writeLimit));
    jukebox.Close();
    ASSERT_TRUE(jukebox.Accept(Patience(Millis(3000)))) << "the saver did not come back";
    EXPECT_EQ(jukebox.Lines(4, AppearLimit()), handshake);
    ASSERT_TRUE(jukebox.Write(Playing("Whole", "Artist", "Again", Cover(kTeal), "8"), writeLimit));
    EXPECT_TRUE(tookTracks(kTeal, 5)) << "after the reconnection";

    ASSERT_TRUE(saver.IsRunning()) << saver.Describe();
    const std::optional<long> peak = StatusKb(saver.Pid(), "VmHWM");
    const std::optional<long> resident = StatusKb(saver.Pid(), "VmRSS");
    ASSERT_TRUE(peak && resident && peakBefore);
    std::cout << "[ info ] saver memory: peak " << *peak / 1024 << " MB (" << *peakBefore / 1024
              << " MB before the long lines), now " << *resident / 1024 << " MB\n";
    EXPECT_LT(*peak, kPeakLimitKb);
#ifndef WENDEL_E2E_SANITIZED
    // Holding the 64 MB line, even once, would show here.
    EXPECT_LT(*peak - *peakBefore, 16 * 1024) << "the long lines raised the peak";
#endif

    // Another flood still waiting to be read does not hold off the key.
    jukebox.Push(TimeFlood(10000));
    ASSERT_TRUE(X().PressKeys(*board_, {QStringLiteral("a")}));
    EXPECT_EQ(saver.WaitForExit(Patience(Millis(1000))), 0) << saver.Describe();
}

// Nothing else runs while a title is drawn in, so a jukebox's absurdly long
// title must still be drawn in briefly, or the key would wait behind it.
TEST_F(LinkTest, ALongTitleDoesNotHoldOffTheKey)
{
    TestJukebox jukebox;
    ASSERT_TRUE(jukebox.Listen(Endpoint())) << jukebox.Error();
    SaverProcess& saver = StartSaver("12");
    ASSERT_TRUE(board_) << saver.Describe();
    ASSERT_TRUE(jukebox.Accept(AppearLimit())) << saver.Describe();
    ASSERT_EQ(jukebox.Lines(4, AppearLimit()).size(), 4);
    const Millis writeLimit = Patience(Millis(10000));
    ASSERT_TRUE(jukebox.Write(Playing("Short", "Artist", "Title", Cover(kLeaf), "1"), writeLimit));
    ASSERT_TRUE(PollUntil(AppearLimit(), [&] { return CoverShows(kLeaf); }));

    // Short enough for the link and for the board's 16-bit field positions.
    const QByteArray title(30000, 'W');
    const int shortTitle = BoardPixels(kTrackLabel, kLabelYellow);
    ASSERT_TRUE(jukebox.Write(Playing("Long", "Artist", title, Cover(kSea), "2"), writeLimit));
    // The key goes in once the title has begun to change.
    ASSERT_TRUE(PollUntil(AppearLimit(), [&] { return BoardPixels(kTrackLabel, kLabelYellow) != shortTitle; }));
    ASSERT_TRUE(X().PressKeys(*board_, {QStringLiteral("a")}));
    EXPECT_EQ(saver.WaitForExit(Patience(Millis(1000))), 0) << saver.Describe();
}

TEST_F(LinkTest, TheJukeboxSocketRefusesOtherUsers)
{
    // A folder anyone may pass through, so only the socket's own mode keeps others out.
    QTemporaryDir open;
    ASSERT_TRUE(open.isValid());
    ASSERT_EQ(::chmod(QFile::encodeName(open.path()).constData(), 0755), 0);
    const QString endpoint = open.filePath(QStringLiteral("trivox.sock"));
    const QString playlist = Playlist(QStringLiteral("list.plx"), {{"Private", kRose}});
    JukeboxProcess jukebox({QStringLiteral("--endpoint"), endpoint, QStringLiteral("--playlist"), playlist},
                           SaverEnvironment(), Path(QStringLiteral("plx-sim.log")));
    ASSERT_TRUE(jukebox.WaitForLog(QStringLiteral("listening on"), AppearLimit())) << jukebox.Log();

    const QByteArray path = QFile::encodeName(endpoint);
    struct stat info {};
    ASSERT_EQ(::lstat(path.constData(), &info), 0);
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
    EXPECT_EQ(info.st_mode & 077, 0u) << "mode " << std::oct << (info.st_mode & 0777);
    EXPECT_EQ(info.st_uid, ::geteuid());

    // Its owner gets in.
    QLocalSocket owner;
    owner.connectToServer(endpoint);
    EXPECT_TRUE(owner.waitForConnected(static_cast<int>(AppearLimit().count()))) << owner.errorString();
    owner.abort();

    if (::geteuid() != 0) GTEST_SKIP() << "another user's attempt needs root to become that user";
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(path.size(), static_cast<qsizetype>(sizeof address.sun_path));
    std::memcpy(address.sun_path, path.constData(), static_cast<std::size_t>(path.size()));

    // Exit codes of the child that turns into "nobody" and knocks.
    enum : int { kRefused = 0, kLetIn = 1, kOtherError = 2, kNoUser = 3, kNotReachable = 4 };
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Only system calls from here: the parent's threads do not exist here.
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(kNoUser);
        struct stat seen {};
        if (::stat(path.constData(), &seen) != 0) ::_exit(kNotReachable);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (fd < 0) ::_exit(kOtherError);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) ::_exit(kLetIn);
        ::_exit(errno == EACCES ? kRefused : kOtherError);
    }
    int status = 0;
    const bool ended = PollUntil(AppearLimit(), [&] { return ::waitpid(child, &status, WNOHANG) == child; });
    if (!ended) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
    }
    ASSERT_TRUE(ended) << "the other user's attempt hung";
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), kRefused) << "1: let in, 2: another error, 3: could not become nobody, "
                                                "4: the socket could not be reached at all";
    // The refused knock did not disturb it, and it takes its socket away when told to end.
    EXPECT_EQ(jukebox.Stop(), 0) << jukebox.Log();
    EXPECT_FALSE(QFileInfo::exists(endpoint));
}

} // namespace
} // namespace wendel::e2e
