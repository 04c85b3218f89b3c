// plx-mpd against Debian's real mpd: generated, tagged FLAC files, driven
// with mpc, watched from a saver's end of the link and on the real board.

#include "BoardPlaces.h"
#include "JukeboxProcess.h"
#include "LinkClient.h"
#include "MpdServer.h"
#include "SaverTest.h"
#include "ScreenArea.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <iostream>
#include <memory>

namespace wendel::e2e {
namespace {

// The running time grows leftwards from x = 613; "[Album]" and "Up Next:".
const QRect kTimeLabel(420, 30, 193, 22);
const QRect kAlbumNotice(560, 55, 55, 19);
const QRect kUpNextCaption(32, 433, 62, 19);
constexpr std::uint32_t kCaptionCyan = 0x00FFFF;

QByteArray Msg(const QByteArray& message) { return "MSG\tplxr\t" + message; }

// The music folder every test plays, made once: tags of every kind and
// pictures good, bad and missing.
class Music {
public:
    static Music& Get()
    {
        static Music music;
        return music;
    }
    bool ok = false;
    QString Folder() const { return dir_.filePath(QStringLiteral("music")); }
    QByteArray CoverJpeg() const { return coverJpeg_; }

private:
    Music()
    {
        const QDir root(dir_.path());
        for (const char* folder : {"music/birds", "music/inside", "music/bare", "music/broken", "music/hostile",
                                   "music/empty"})
            root.mkpath(QString::fromLatin1(folder));
        const QString m = Folder();
        QImage rose(1000, 1000, QImage::Format_RGB32);
        rose.fill(QColor::fromRgb(kRose));
        QImage sea(400, 400, QImage::Format_RGB32);
        sea.fill(QColor::fromRgb(kSea));
        ok = rose.save(m + "/birds/cover.jpg", "JPEG", 90) && sea.save(dir_.filePath("sea.png"), "PNG");
        QFile jpeg(m + "/birds/cover.jpg");
        ok = ok && jpeg.open(QIODevice::ReadOnly);
        coverJpeg_ = jpeg.readAll();
        ok = ok && MakeFlac(m + "/birds/01.flac", 30, {"ARTIST=Ravens, The", "ALBUM=Birds", "TITLE=Nevermore", "TRACKNUMBER=1"});
        ok = ok && MakeFlac(m + "/birds/02.flac", 30, {"ARTIST=Ravens, The", "ALBUM=Birds", "TITLE=Quoth", "TRACKNUMBER=2"});
        ok = ok && MakeFlac(m + "/inside/03.flac", 30, {"ARTIST=Band", "ALBUM=Inside", "TITLE=Say \"Hi\"\tnow", "TRACKNUMBER=7/9"},
                            dir_.filePath("sea.png"));
        ok = ok && MakeFlac(m + "/bare/notags.flac", 30, {});
        ok = ok && MakeFlac(m + "/broken/04.flac", 30, {"ARTIST=Broken Covers", "TITLE=Broken"});
        ok = ok && Write(m + "/broken/cover.jpg", "this is not a picture");
        ok = ok && MakeFlac(m + "/hostile/05.flac", 30, {"TITLE=" + QByteArray(100 * 1024, 'x'), "ALBUM=Hostile"});
        ok = ok && MakeFlac(m + "/hostile/06.flac", 30, {"ARTIST=bad \xff\xfe utf-8", "TITLE=Odd Bytes"});
        // A PNG header claiming 30,000 x 30,000 pixels: the saver would refuse it.
        ok = ok && Write(m + "/hostile/cover.png",
                         QByteArray("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR\0\0\x75\x30\0\0\x75\x30\x08\x02\0\0\0", 29) +
                             QByteArray(1000, '\0'));
        ok = ok && MakeFlac(m + "/empty/06.flac", 30, {"ARTIST=Nobody", "TITLE=Empty Cover"});
        ok = ok && Write(m + "/empty/cover.jpg", "");
    }
    static bool Write(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    }

    QTemporaryDir dir_;
    QByteArray coverJpeg_;
};

// What a test needs beside the bridge: a private folder, a real mpd and a
// saver's end of the link.
class MpdBridge {
public:
    // The bridge listens on `endpoint`, by default a socket in `folder`.
    explicit MpdBridge(const QString& folder, const QString& endpoint = {})
        : folder_(folder), endpoint_(endpoint.isEmpty() ? folder + QStringLiteral("/trivox.sock") : endpoint),
          mpd_(folder, Music::Get().Folder())
    {
    }
    ~MpdBridge()
    {
        if (bridge_ && ::testing::Test::HasFailure()) {
            std::cout << "--- plx-mpd: " << bridge_->Describe().toStdString() << "\n" << bridge_->Log().toStdString()
                      << "--- mpd:\n" << mpd_.Describe().toStdString();
        }
    }

    MpdServer& Mpd() { return mpd_; }
    QString Endpoint() const { return endpoint_; }
    QString CoverFolder() const { return folder_ + QStringLiteral("/cache/wendelsaver/covers"); }
    JukeboxProcess& Bridge() { return *bridge_; }

    JukeboxProcess& StartBridge(const QStringList& extra, QProcessEnvironment env = QProcessEnvironment::systemEnvironment())
    {
        env.insert(QStringLiteral("MPD_HOST"), mpd_.Socket());
        env.insert(QStringLiteral("XDG_CACHE_HOME"), folder_ + QStringLiteral("/cache"));
        bridge_ = std::make_unique<JukeboxProcess>(
            QStringList{QStringLiteral("--endpoint"), Endpoint(), QStringLiteral("--verbose")} + extra, env,
            folder_ + QStringLiteral("/plx-mpd.log"), QStringLiteral(PLX_MPD_BIN));
        EXPECT_TRUE(bridge_->WaitForLog(QStringLiteral("listening on"), Patience(Millis(5000)))) << bridge_->Log();
        return *bridge_;
    }
    bool Queue(const QStringList& uris)
    {
        return mpd_.Mpc({QStringLiteral("clear")}).Succeeded() &&
               mpd_.Mpc(QStringList{QStringLiteral("add")} + uris).Succeeded();
    }
    bool Mpc(const QString& a, const QString& b = {})
    {
        QStringList args{a};
        if (!b.isEmpty()) args << b;
        return mpd_.Mpc(args).Succeeded();
    }

private:
    QString folder_;
    QString endpoint_;
    MpdServer mpd_;
    std::unique_ptr<JukeboxProcess> bridge_;
};

class MpdBridgeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Music::Get().ok) << "the music could not be made (flac, metaflac)";
        ASSERT_TRUE(dir_.isValid());
        rig_ = std::make_unique<MpdBridge>(dir_.path());
    }
    void TearDown() override { rig_.reset(); }

    Millis Soon() const { return Patience(Millis(5000)); }
    QByteArray CoverPath(const QString& name) const
    {
        return QFile::encodeName(rig_->CoverFolder() + '/' + name);
    }

    QTemporaryDir dir_;
    std::unique_ptr<MpdBridge> rig_;
};

TEST_F(MpdBridgeTest, TheConversationFollowsMpd)
{
    ASSERT_TRUE(rig_->Mpd().Start()) << rig_->Mpd().Describe();
    ASSERT_TRUE(rig_->Queue({"birds/01.flac", "birds/02.flac", "inside/03.flac", "bare/notags.flac", "broken/04.flac"}));
    ASSERT_TRUE(rig_->Mpc("play"));
    rig_->StartBridge({});
    LinkClient saver;
    ASSERT_TRUE(saver.Connect(rig_->Endpoint(), Soon()));
    saver.Handshake();

    // A newcomer hears at once what plays; the cover comes through MPD's albumart into the private cache.
    const std::optional<QByteArray> first = saver.WaitForPrefix(Msg("playing[\"Birds\",\"Ravens, The\",\"Nevermore\",\"0:30\",\""), Soon());
    ASSERT_TRUE(first) << saver.Describe().toStdString();
    const QByteArray cover = first->split('"').at(9);
    EXPECT_TRUE(cover.startsWith(CoverPath({}))) << cover.toStdString();
    EXPECT_TRUE(first->endsWith("\",\"\",\"1\"]"));
    QFile kept(QFile::decodeName(cover));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), Music::Get().CoverJpeg());
    EXPECT_TRUE(saver.WaitForPrefix(Msg("time[0:"), Soon()));

    saver.Send("SEND\tplx\tplaylist_getpointer");
    saver.Send("SEND\tplx\tplaylist_getitem[ 2]");
    saver.Send("SEND\tplx\tplaylist_getitem[ 6]");
    EXPECT_TRUE(saver.WaitForLine(Msg("playlist_pointer[1]"), Soon()));
    EXPECT_TRUE(saver.WaitForLine(Msg("playlist_item[\"2\",\"Birds\",\"Ravens, The\",\"Quoth\",\"0:30\",\"\",\"1\",\"1\"]"), Soon()));
    EXPECT_TRUE(saver.WaitForLine(Msg("playlist_item[\"6\",\"\",\"\",\"\",\"\",\"\",\"0\",\"1\"]"), Soon()));

    struct Step {
        const char* command;
        const char* argument;
        QList<QByteArray> heard; // in this order, from the step on
    };
    const QByteArray embedded = "playing[\"Inside\",\"Band\",\"Say ''Hi'' now\",\"0:30\",\"" + CoverPath({});
    const std::vector<Step> steps = {
        {"next", "", {"playing[\"Birds\",\"Ravens, The\",\"Quoth\",\"0:30\",\"" + cover + "\",\"\",\"2\"]", "time[0:00]"}},
        {"next", "", {embedded}},
        {"pause", "", {"playlist_pause[]"}},
        {"play", "", {"playlist_play[]"}},
        // A seek is a player event: the time is read again and sent at once.
        {"seek", "0:20", {"time[0:20]"}},
        {"next", "", {"playing[\"\",\"\",\"notags\",\"0:30\",\"\",\"\",\"1\"]"}},
        {"next", "", {"playing[\"\",\"Broken Covers\",\"Broken\",\"0:30\",\"\",\"\",\"1\"]"}},
        {"stop", "", {"playlist_stop[]"}},
        {"play", "", {"playlist_play[]", "playing[\"\",\"Broken Covers\",\"Broken\",\"0:30\",\"\",\"\",\"1\"]"}},
        {"clear", "", {"playlist_stop[]"}},
    };
    for (const Step& step : steps) {
        const qsizetype mark = saver.Mark();
        ASSERT_TRUE(rig_->Mpc(QString::fromLatin1(step.command), QString::fromLatin1(step.argument))) << step.command;
        qsizetype at = mark;
        for (const QByteArray& message : step.heard) {
            const std::optional<QByteArray> line = saver.WaitForPrefix(Msg(message), Soon(), at);
            ASSERT_TRUE(line) << step.command << " did not bring " << message.toStdString() << " after line " << at
                              << " in:\n" << saver.Describe().toStdString();
            at = saver.Lines().indexOf(*line, at) + 1;
        }
    }
    // The embedded picture went into the cache as a PNG of its own.
    EXPECT_EQ(QDir(rig_->CoverFolder()).entryList(QDir::Files).size(), 2) << QDir(rig_->CoverFolder()).entryList().join(' ').toStdString();
    EXPECT_TRUE(rig_->Bridge().IsRunning());
}

TEST_F(MpdBridgeTest, AlbumsOptionMakesRunsWholeAlbumEntries)
{
    ASSERT_TRUE(rig_->Mpd().Start()) << rig_->Mpd().Describe();
    ASSERT_TRUE(rig_->Queue({"inside/03.flac", "birds/01.flac", "birds/02.flac", "bare/notags.flac"}));
    ASSERT_TRUE(rig_->Mpc("play", "2"));
    rig_->StartBridge({QStringLiteral("--albums")});
    LinkClient saver;
    ASSERT_TRUE(saver.Connect(rig_->Endpoint(), Soon()));
    saver.Handshake();
    // The run's first track is number 1; the run is entry 2.
    const std::optional<QByteArray> first = saver.WaitForPrefix(Msg("playing[\"Birds\",\"Ravens, The\",\"Nevermore\""), Soon());
    ASSERT_TRUE(first) << saver.Describe().toStdString();
    EXPECT_TRUE(first->endsWith(",\"\",\"1\"]")) << first->toStdString();
    saver.Send("SEND\tplx\tplaylist_getpointer");
    saver.Send("SEND\tplx\tplaylist_getitem[ 2]");
    saver.Send("SEND\tplx\tplaylist_getitem[ 3]");
    saver.Send("SEND\tplx\tplaylist_getitem[ 4]");
    EXPECT_TRUE(saver.WaitForLine(Msg("playlist_pointer[2]"), Soon()));
    EXPECT_TRUE(saver.WaitForLine(Msg("playlist_item[\"2\",\"Birds\",\"Ravens, The\",\"Nevermore\",\"1:00\",\"\",\"2\",\"0\"]"), Soon()));
    EXPECT_TRUE(saver.WaitForLine(Msg("playlist_item[\"3\",\"\",\"\",\"notags\",\"0:30\",\"\",\"1\",\"1\"]"), Soon()));
    EXPECT_TRUE(saver.WaitForLine(Msg("playlist_item[\"4\",\"\",\"\",\"\",\"\",\"\",\"0\",\"1\"]"), Soon()));

    // The second track of the run: number 2, the pointer stays on the run.
    const qsizetype mark = saver.Mark();
    ASSERT_TRUE(rig_->Mpc("next"));
    const std::optional<QByteArray> second = saver.WaitForPrefix(Msg("playing[\"Birds\",\"Ravens, The\",\"Quoth\""), Soon(), mark);
    ASSERT_TRUE(second) << saver.Describe().toStdString();
    EXPECT_TRUE(second->endsWith(",\"\",\"2\"]")) << second->toStdString();
    saver.Send("SEND\tplx\tplaylist_getpointer");
    EXPECT_TRUE(saver.WaitForLine(Msg("playlist_pointer[2]"), Soon(), mark));
}

TEST_F(MpdBridgeTest, MpdAbsentGoneAndBackNeverEndsTheBridge)
{
    // Absent at start: the saver hears nothing, so its board keeps waiting.
    JukeboxProcess& bridge = rig_->StartBridge({});
    LinkClient early;
    ASSERT_TRUE(early.Connect(rig_->Endpoint(), Soon()));
    early.Handshake();
    EXPECT_FALSE(early.WaitForPrefix("MSG", Millis(1500))) << early.Describe().toStdString();
    EXPECT_TRUE(bridge.Log().contains("MPD is not reachable")) << bridge.Log();

    // MPD comes: the waiting saver learns it is stopped, then what plays.
    ASSERT_TRUE(rig_->Mpd().Start()) << rig_->Mpd().Describe();
    EXPECT_TRUE(early.WaitForLine(Msg("playlist_stop[]"), Patience(Millis(4000)))) << early.Describe().toStdString();
    ASSERT_TRUE(rig_->Queue({"birds/01.flac"}));
    ASSERT_TRUE(rig_->Mpc("play"));
    EXPECT_TRUE(early.WaitForLine(Msg("playlist_play[]"), Soon()));
    EXPECT_TRUE(early.WaitForPrefix(Msg("playing[\"Birds\""), Soon()));

    // MPD goes mid-track: stop, and a newcomer meanwhile hears nothing.
    qsizetype mark = early.Mark();
    rig_->Mpd().Stop();
    EXPECT_TRUE(early.WaitForLine(Msg("playlist_stop[]"), Soon(), mark)) << early.Describe().toStdString();
    LinkClient late;
    ASSERT_TRUE(late.Connect(rig_->Endpoint(), Soon()));
    late.Handshake();
    EXPECT_FALSE(late.WaitForPrefix("MSG", Millis(1200)));

    // Back again (its queue gone with the restart): everyone resyncs.
    mark = early.Mark();
    ASSERT_TRUE(rig_->Mpd().Start()) << rig_->Mpd().Describe();
    EXPECT_TRUE(late.WaitForLine(Msg("playlist_stop[]"), Patience(Millis(4000))));
    ASSERT_TRUE(rig_->Queue({"inside/03.flac"}));
    ASSERT_TRUE(rig_->Mpc("play"));
    EXPECT_TRUE(early.WaitForPrefix(Msg("playing[\"Inside\""), Soon(), mark)) << early.Describe().toStdString();
    EXPECT_TRUE(late.WaitForPrefix(Msg("playing[\"Inside\""), Soon()));
    // SIGTERM ends it cleanly (without leaks in the sanitizer build) and takes its socket away.
    EXPECT_EQ(bridge.Stop(), 0) << bridge.Log();
    EXPECT_FALSE(QFile::exists(rig_->Endpoint()));
}

// /proc/PID/status's VmHWM in kB, or -1.
long PeakKb(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

TEST_F(MpdBridgeTest, HostileTagsBadCoversAndAHugeQueueKeepItServing)
{
    ASSERT_TRUE(rig_->Mpd().Start()) << rig_->Mpd().Describe();
    ASSERT_TRUE(rig_->Queue({"hostile/05.flac", "hostile/06.flac", "empty/06.flac"}));
    // mpc itself cannot read the 100 KiB title back, so it is told to be quiet.
    ASSERT_TRUE(rig_->Mpc("-q", "play"));
    JukeboxProcess& bridge = rig_->StartBridge({QStringLiteral("--albums")});
    LinkClient saver;
    ASSERT_TRUE(saver.Connect(rig_->Endpoint(), Soon()));
    saver.Handshake();
    // A 100 KiB title is more than libmpdclient reads: the song shows by its
    // file name. The 30,000-pixel-square cover is refused.
    ASSERT_TRUE(saver.WaitForLine(Msg("playing[\"\",\"\",\"05\",\"0:30\",\"\",\"\",\"1\"]"), Soon()))
        << saver.Describe().toStdString();
    ASSERT_TRUE(rig_->Mpc("-q", "next")); // bytes that are not UTF-8 pass as they came from MPD
    const std::optional<QByteArray> odd = saver.WaitForPrefix(Msg("playing[\"\",\"bad "), Soon());
    ASSERT_TRUE(odd) << saver.Describe().toStdString();
    EXPECT_TRUE(odd->endsWith(" utf-8\",\"Odd Bytes\",\"0:30\",\"\",\"\",\"1\"]")) << odd->toStdString();
    EXPECT_FALSE(saver.Describe().contains("playlist_stop")) << "a hostile tag must not look like MPD going away";
    ASSERT_TRUE(rig_->Mpc("-q", "next")); // a cover of 0 bytes: refused too
    EXPECT_TRUE(saver.WaitForLine(Msg("playing[\"\",\"Nobody\",\"Empty Cover\",\"0:30\",\"\",\"\",\"1\"]"), Soon()))
        << saver.Describe().toStdString();

    // Ten thousand songs in one edit: the whole queue is read, one song at a time.
    QByteArray many;
    for (int i = 0; i < 10000; ++i) many += (i % 2 ? "birds/01.flac\n" : "bare/notags.flac\n");
    ASSERT_TRUE(rig_->Mpd().Mpc({QStringLiteral("add")}, many).Succeeded());
    const qsizetype mark = saver.Mark();
    saver.Send("SEND\tplx\tplaylist_getitem[ 10003]");
    EXPECT_TRUE(saver.WaitForLine(Msg("playlist_item[\"10003\",\"Birds\",\"Ravens, The\",\"Nevermore\",\"0:30\",\"\",\"1\",\"1\"]"),
                                  Patience(Millis(10000)), mark))
        << saver.Describe().toStdString();
    EXPECT_TRUE(bridge.IsRunning());
    const long peak = PeakKb(bridge.Pid());
    EXPECT_GT(peak, 0);
#ifdef WENDEL_E2E_SANITIZED
    constexpr long kLimitKb = 120 * 1024; // the sanitizers' shadow memory
#else
    constexpr long kLimitKb = 40 * 1024;
#endif
    EXPECT_LT(peak, kLimitKb) << "kB at peak";
    std::cout << "plx-mpd peak RSS with a 10,003-song queue: " << peak << " kB\n";
}

// The real saver against the bridge, on a private X server.
class MpdBoardTest : public SaverTest {
protected:
    int BoardPixels(const QRect& part, std::uint32_t colour)
    {
        if (!boardAt_) return -1;
        return CountScreenPixels(X().Display(), part.translated(boardAt_->x, boardAt_->y), colour).value_or(-1);
    }
    std::optional<WindowGeometry> boardAt_;
};

TEST_F(MpdBoardTest, TheBoardShowsWhatMpdPlays)
{
    ASSERT_TRUE(Music::Get().ok);
    ASSERT_TRUE(QDir().mkpath(Path(QStringLiteral("mpd"))));
    // Where the saver looks by default: this test's private runtime folder.
    MpdBridge rig(Path(QStringLiteral("mpd")), RuntimeDir() + QStringLiteral("/trivox.sock"));
    ASSERT_TRUE(rig.Mpd().Start()) << rig.Mpd().Describe();
    ASSERT_TRUE(rig.Queue({"inside/03.flac", "birds/01.flac", "birds/02.flac"}));
    ASSERT_TRUE(rig.Mpc("play"));
    JukeboxProcess& bridge = rig.StartBridge({QStringLiteral("--albums")}, SaverEnvironment());

    ASSERT_TRUE(WriteFile(IniPath(), "Custom Look = 2\r\nOverlap = 1\r\nBackground = ON\r\nDefault Image =\r\n"));
    SaverProcess& saver = Launch({QStringLiteral("/s")});
    const std::optional<WindowId> board = X().WaitForWindow(kBoardTitle, AppearLimit());
    ASSERT_TRUE(board) << saver.Describe();
    boardAt_ = X().Inspect(*board);

    // The embedded cover, the title, the running time; the saver asks for the entry up next.
    EXPECT_TRUE(PollUntil(AppearLimit(), [&] {
        return BoardPixels(kCoverMiddle, kSea) == kCoverMiddle.width() * kCoverMiddle.height() &&
               BoardPixels(kWaitingLabel, kLabelOlive) == 0;
    })) << "cover pixels " << BoardPixels(kCoverMiddle, kSea);
    EXPECT_GT(BoardPixels(kTrackLabel, kLabelYellow), 50);
    const Millis soon = Patience(Millis(5000));
    EXPECT_TRUE(PollUntil(soon, [&] { return BoardPixels(kTimeLabel, kLabelOlive) > 20; })) << "no running time";
    // One overlap in, the album entry is up next.
    EXPECT_TRUE(bridge.WaitForLog(
        QStringLiteral("#1 > MSG\tplxr\tplaylist_item[\"2\",\"Birds\",\"Ravens, The\",\"Nevermore\",\"1:00\",\"\",\"2\",\"0\"]"),
        soon))
        << bridge.Log();
    EXPECT_TRUE(PollUntil(soon, [&] { return BoardPixels(kUpNextCaption, kCaptionCyan) > 20; })) << "no Up Next:";
    EXPECT_EQ(BoardPixels(kAlbumNotice, kLabelOlive), 0);

    // Into the album: its first track clears "Up Next:" and shows "[Album]" and the folder's cover.
    ASSERT_TRUE(rig.Mpc("next"));
    EXPECT_TRUE(PollUntil(soon, [&] { return BoardPixels(kAlbumNotice, kLabelOlive) > 20; })) << "no [Album]";
    EXPECT_TRUE(PollUntil(soon, [&] { return BoardPixels(kUpNextCaption, kCaptionCyan) == 0; })) << "Up Next: stayed";
    EXPECT_TRUE(PollUntil(soon, [&] { return BoardPixels(kCoverMiddle, kSea) == 0 && BoardPixels(kCoverMiddle, 0) == 0; }))
        << "the album cover is not shown";
    EXPECT_TRUE(saver.IsRunning()) << saver.Describe();
}

} // namespace
} // namespace wendel::e2e
