// plx-mpris against Debian's mpv with its MPRIS plugin on a private session
// bus, driven with playerctl and mpv's own IPC, watched from the real saver:
// the conversation its connection sees, and the board on screen.

#include "BoardPlaces.h"
#include "JukeboxProcess.h"
#include "MpdServer.h"
#include "SaverTest.h"
#include "ScreenArea.h"
#include "SessionBus.h"

#include <QDir>
#include <QFile>
#include <QLocalSocket>

namespace wendel::e2e {
namespace {

const QString kPlugin = QStringLiteral("/etc/mpv/scripts/mpris.so");
const QRect kTimeLabel(420, 30, 193, 22);

QString Msg(const char* message) { return QStringLiteral("MSG\tplxr\t") + QString::fromUtf8(message); }

class MprisBoardTest : public SaverTest {
protected:
    void SetUp() override
    {
        SaverTest::SetUp();
        if (!QFile::exists(kPlugin)) GTEST_SKIP() << "mpv-mpris is not installed (scripts/install-deps)";
        bus_ = std::make_unique<testing::SessionBus>(Path(QStringLiteral("bus")));
        ASSERT_TRUE(bus_->Start());
    }
    void TearDown() override
    {
        if (mpv_.state() != QProcess::NotRunning) {
            mpv_.kill();
            mpv_.waitForFinished(3000);
        }
        SaverTest::TearDown();
    }

    QProcessEnvironment Environment() const
    {
        QProcessEnvironment env = SaverEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus_->Address());
        env.insert(QStringLiteral("XDG_CACHE_HOME"), Path(QStringLiteral("cache")));
        return env;
    }
    bool StartMpv(const QStringList& files)
    {
        DieWithParent(mpv_);
        mpv_.setProcessEnvironment(Environment());
        mpv_.setProcessChannelMode(QProcess::MergedChannels);
        mpv_.setStandardOutputFile(Path(QStringLiteral("mpv.log")));
        mpv_.start(QStringLiteral("mpv"), QStringList{QStringLiteral("--no-config"), QStringLiteral("--script=") + kPlugin,
                                                      QStringLiteral("--ao=null"), QStringLiteral("--vo=null"),
                                                      QStringLiteral("--idle"), QStringLiteral("--pause"),
                                                      QStringLiteral("--no-terminal"),
                                                      QStringLiteral("--input-ipc-server=") + Path(QStringLiteral("mpv.ipc"))} +
                                              files);
        return mpv_.waitForStarted(5000);
    }
    bool Playerctl(const QStringList& args)
    {
        return RunTool(QStringLiteral("playerctl"), QStringList{QStringLiteral("--player=mpv")} + args, Environment(),
                       Patience(Millis(5000)))
            .Succeeded();
    }
    // A command on mpv's own IPC socket, for what MPRIS cannot ask of it.
    bool MpvCommand(const QByteArray& json)
    {
        QLocalSocket ipc;
        ipc.connectToServer(Path(QStringLiteral("mpv.ipc")));
        if (!ipc.waitForConnected(2000)) return false;
        ipc.write(json + '\n');
        return ipc.waitForBytesWritten(2000);
    }
    int BoardPixels(const QRect& part, std::uint32_t colour)
    {
        if (!boardAt_) return -1;
        return CountScreenPixels(X().Display(), part.translated(boardAt_->x, boardAt_->y), colour).value_or(-1);
    }
    // Waits until the saver's connection (#1) was sent `frame` after its first `from` frames; its index.
    qsizetype WaitForSent(JukeboxProcess& bridge, const QString& frame, qsizetype from)
    {
        qsizetype at = -1;
        PollUntil(Patience(Millis(8000)), [&] { return (at = bridge.Frames(1, QLatin1Char('>')).indexOf(frame, from)) >= 0; });
        return at;
    }

    std::unique_ptr<testing::SessionBus> bus_;
    QProcess mpv_;
    std::optional<WindowGeometry> boardAt_;
};

TEST_F(MprisBoardTest, TheBoardFollowsMpv)
{
    const QString one = Path(QStringLiteral("one.flac"));
    const QString two = Path(QStringLiteral("two.flac"));
    ASSERT_TRUE(MakeFlac(one, 60, {"ARTIST=Ravens, The", "ALBUM=Birds", "TITLE=Nevermore"}));
    ASSERT_TRUE(MakeFlac(two, 60, {"ARTIST=Crows", "ALBUM=Birds", "TITLE=Quoth"}));
    JukeboxProcess bridge({QStringLiteral("--verbose")}, Environment(), Path(QStringLiteral("bridge.log")),
                          QStringLiteral(PLX_MPRIS_BIN));
    ASSERT_TRUE(bridge.WaitForLog(QStringLiteral("on the session bus"), Patience(Millis(5000)))) << bridge.Log();
    ASSERT_TRUE(StartMpv({one, two}));
    ASSERT_TRUE(bridge.WaitForLog(QStringLiteral("following org.mpris.MediaPlayer2.mpv"), Patience(Millis(8000))))
        << bridge.Log();

    ASSERT_TRUE(WriteFile(IniPath(), "Custom Look = 1\r\nOverlap = 1\r\nBackground = ON\r\nDefault Image =\r\n"));
    SaverProcess& saver = Launch({QStringLiteral("/s")});
    const std::optional<WindowId> board = X().WaitForWindow(kBoardTitle, AppearLimit());
    ASSERT_TRUE(board) << saver.Describe();
    boardAt_ = X().Inspect(*board);

    // Paused at the start: the saver learns the track and the pause at once.
    const QString nevermore = Msg(R"(playing["Birds","Ravens, The","Nevermore","1:00","","",""])");
    qsizetype at = WaitForSent(bridge, nevermore, 0);
    ASSERT_GE(at, 0) << bridge.Log();
    EXPECT_EQ(bridge.Frames(1, QLatin1Char('>')).value(at + 1), Msg("playlist_pause[]")) << bridge.Log();
    EXPECT_TRUE(PollUntil(AppearLimit(), [&] {
        return BoardPixels(kWaitingLabel, kLabelOlive) == 0 && BoardPixels(kTrackLabel, kLabelYellow) > 50;
    })) << "title pixels " << BoardPixels(kTrackLabel, kLabelYellow);

    ASSERT_TRUE(Playerctl({QStringLiteral("play")}));
    ASSERT_GE(at = WaitForSent(bridge, Msg("playlist_play[]"), at), 0) << bridge.Log();
    ASSERT_GE(WaitForSent(bridge, Msg("time[0:01]"), at), 0) << bridge.Log();
    EXPECT_TRUE(PollUntil(AppearLimit(), [&] { return BoardPixels(kTimeLabel, kLabelOlive) > 20; })) << "no time";
    ASSERT_TRUE(Playerctl({QStringLiteral("pause")}));
    ASSERT_GE(at = WaitForSent(bridge, Msg("playlist_pause[]"), at), 0) << bridge.Log();
    ASSERT_TRUE(Playerctl({QStringLiteral("play")}));
    ASSERT_GE(at = WaitForSent(bridge, Msg("playlist_play[]"), at), 0) << bridge.Log();
    ASSERT_TRUE(Playerctl({QStringLiteral("position"), QStringLiteral("42")}));
    ASSERT_GE(at = WaitForSent(bridge, Msg("time[0:42]"), at), 0) << bridge.Log();
    ASSERT_TRUE(Playerctl({QStringLiteral("next")}));
    ASSERT_GE(at = WaitForSent(bridge, Msg(R"(playing["Birds","Crows","Quoth","1:00","","",""])"), at), 0)
        << bridge.Log();
    // Without a track list the pointer is 1 and nothing is up next.
    EXPECT_GE(WaitForSent(bridge, Msg(R"(playlist_item["2","","","","","","0","1"])"), at), 0) << bridge.Log();
    ASSERT_TRUE(Playerctl({QStringLiteral("stop")}));
    ASSERT_GE(at = WaitForSent(bridge, Msg("playlist_stop[]"), at), 0) << bridge.Log();

    // mpv quits (its plugin keeps saying Stopped after a stop, so a player
    // leaving mid-play is left to the test player): nothing more is said.
    const qsizetype sent = bridge.Frames(1, QLatin1Char('>')).size();
    ASSERT_TRUE(MpvCommand(R"({"command": ["quit"]})"));
    EXPECT_TRUE(bridge.WaitForLog(QStringLiteral("player org.mpris.MediaPlayer2.mpv left"), Patience(Millis(5000))));
    EXPECT_EQ(bridge.Frames(1, QLatin1Char('>')).size(), sent) << bridge.Log();
    EXPECT_TRUE(bridge.IsRunning()) << bridge.Describe();
    EXPECT_TRUE(saver.IsRunning()) << saver.Describe();
}

} // namespace
} // namespace wendel::e2e
