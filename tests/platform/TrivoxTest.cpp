// The link over a real socket: connections, the event loop, other users and floods, which the core's tables miss.

#include "Trivox.h"

#include "EventLoopWait.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <ctime>

#include <unistd.h>

namespace wendel {
namespace {

using Lines = std::vector<std::string>;
using testing::WaitUntil;

const Lines kHandshake = {"OPEN\tplx\ttype=devtx\t1\t1\t0", "OPEN\tplxr\ttype=devrx\t1\t1\t0",
                          "SEND\tplx\tnotify_playing_item[on]", "SEND\tplx\tnotify_playing_timecode[on]"};

// A jukebox that takes one connection at a time and records the lines it hears; the link, made as the saver makes it,
// records its deliveries.
class TrivoxTest : public ::testing::Test {
protected:
    void MakeLink(const QString& path)
    {
        link_ = std::make_unique<Trivox>(path, nullptr, Trivox::FirstAttempt::Later);
        link_->SetMessageHandler([this](const std::string& device, const std::string& message) {
            EXPECT_FALSE(inHandler_) << "a message delivered inside another";
            inHandler_ = true;
            got_.push_back(device + "|" + message);
            if (onMessage_) onMessage_();
            inHandler_ = false;
        });
        link_->OpenDevice("plx", "type=devtx", 1, 1, 0);
        link_->OpenDevice("plxr", "type=devrx", 1, 1, 0);
        link_->SendCommand("plx", "notify_playing_item[on]");
        link_->SendCommand("plx", "notify_playing_timecode[on]");
    }
    // With `start`, a new link calls at once on Start, once however often told; without, the call comes as a retry.
    void Listen(bool start = true)
    {
        server_ = std::make_unique<QLocalServer>();
        ASSERT_TRUE(server_->listen(path_));
        if (!link_) MakeLink(path_);
        if (start) {
            QTest::qWait(50);
            ASSERT_FALSE(server_->hasPendingConnections()) << "called before Start";
            link_->Start();
            link_->Start();
        }
        QElapsedTimer clock;
        clock.start();
        Accept();
        EXPECT_LT(clock.elapsed(), start ? 300 : 1000); // a retry interval, with slack
    }
    void Accept()
    {
        ASSERT_TRUE(WaitUntil([&] { return server_->hasPendingConnections(); }, 3000));
        jukebox_.reset(server_->nextPendingConnection());
        lines_.clear();
    }
    // What the jukebox heard: `atLeast` lines, then a moment for anything that should not come, a second call included.
    const Lines& Heard(std::size_t atLeast, int settleMs = 50)
    {
        const auto read = [&] {
            while (jukebox_->canReadLine()) lines_.push_back(jukebox_->readLine().chopped(1).toStdString());
            return lines_.size() >= atLeast;
        };
        WaitUntil(read, 3000);
        QTest::qWait(settleMs);
        read();
        EXPECT_FALSE(server_->hasPendingConnections()) << "a second call";
        return lines_;
    }
    bool Got(std::size_t n) { return WaitUntil([&] { return got_.size() >= n; }, 3000); }

    QTemporaryDir dir_;
    const QString path_ = dir_.filePath(QStringLiteral("trivox.sock"));
    std::unique_ptr<QLocalServer> server_;
    std::unique_ptr<QLocalSocket> jukebox_;
    Lines lines_;
    std::unique_ptr<Trivox> link_;
    Lines got_;
    std::function<void()> onMessage_;
    bool inHandler_ = false;
};

TEST_F(TrivoxTest, HandshakeMessagesAndTheReplayToARestartedJukebox)
{
    MakeLink(path_);
    link_->SetConnectedHandler([this] { got_.push_back("connected"); });
    Listen();
    link_->SendCommand("plx", "notify_playing_item[on]"); // again: sent, yet still one notification
    EXPECT_EQ(Heard(5).size(), 5u);
    EXPECT_EQ(Lines(lines_.begin(), lines_.begin() + 4), kHandshake);

    // Messages come from the event loop only, never inside our calls. A jukebox echoing OPEN or SEND frames is
    // ignored; MSG on any device is passed on.
    jukebox_->write("MSG\tplxr\ttime[0:01]\n");
    jukebox_->flush();
    link_->SendCommand("plx", "playlist_getpointer");
    EXPECT_EQ(got_, Lines{"connected"});
    jukebox_->write("OPEN\tplx\ttype=devtx\t1\t1\t0\nSEND\tplx\tx\nMSG\tother\tplaying[\"a\"]\n");
    ASSERT_TRUE(Got(3));
    EXPECT_EQ(got_, (Lines{"connected", "plxr|time[0:01]", "other|playing[\"a\"]"}));
    EXPECT_EQ(Heard(6).back(), "SEND\tplx\tplaylist_getpointer");
    got_.clear();

    // It dies half-way through a frame. Until the event loop reports the end, the link writes into a dead socket:
    // that must neither kill us (SIGPIPE) nor lose what the replay owes.
    jukebox_->write("MSG\tplxr\twhole[]\nMSG\tplxr\thal");
    ASSERT_TRUE(WaitUntil([&] { return jukebox_->bytesToWrite() == 0; }, 3000));
    jukebox_.reset();
    server_.reset();
    link_->SendCommand("plx", "notify_playlist[on]");
    link_->SendCommand("plx", "notify_playing_item[off]");
    ASSERT_TRUE(WaitUntil([&] { return !link_->IsConnected(); }, 3000));
    // The last 64 commands wait for the jukebox; the retry is a timer, not a loop, so waiting costs next to no CPU.
    for (int i = 0; i < 70; ++i) link_->SendCommand("plx", "playlist_getitem[ " + std::to_string(i) + "]");
    EXPECT_EQ(link_->QueuedCommands(), Trivox::kQueueLimit);
    const std::clock_t cpu = std::clock();
    QTest::qWait(600);
    EXPECT_LT(1000.0 * static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC, 100.0);

    Listen(false);
    // Notifications in first-sent order, each once and in its latest form; then what waited.
    Lines expected = {kHandshake[0], kHandshake[1], "SEND\tplx\tnotify_playing_item[off]", kHandshake[3],
                      "SEND\tplx\tnotify_playlist[on]"};
    for (int i = 6; i < 70; ++i) expected.push_back("SEND\tplx\tplaylist_getitem[ " + std::to_string(i) + "]");
    EXPECT_EQ(Heard(expected.size(), 200), expected);
    jukebox_->write("f[]\nMSG\tplxr\tnext[]\n"); // not glued to the half frame
    ASSERT_TRUE(Got(3));
    QTest::qWait(30);
    // The saver hears of the new connection after the old one's last word.
    EXPECT_EQ(got_, (Lines{"plxr|whole[]", "connected", "plxr|next[]"}));
}

TEST_F(TrivoxTest, FloodArrivesInOrderWhileTheEventLoopRunsInBoundedMemory)
{
    Listen();
    int ticks = 0, ticksAtFirst = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(0);
    onMessage_ = [&] { ticksAtFirst = got_.size() == 1 ? ticks : ticksAtFirst; };
    QByteArray flood = "MSG\tplxr\t" + QByteArray(8 << 20, 'x') + "\n"; // an 8 MB line, dropped
    for (int i = 0; i < 10000; ++i) flood += "MSG\tplxr\ttime[" + QByteArray::number(i) + "]\n";
    jukebox_->write(flood);
    std::size_t mostHeld = 0;
    ASSERT_TRUE(WaitUntil([&] {
        mostHeld = std::max(mostHeld, link_->HeldBytes());
        return got_.size() >= 10000;
    }, 10000)) << got_.size();
    EXPECT_GT(ticks - ticksAtFirst, 10); // other events ran in between
    EXPECT_LE(mostHeld, static_cast<std::size_t>(Trivox::kReadBufferBytes) + wire::kMaxFrameBytes + 1);

    // A handler that spins the event loop itself, as a busy reveal does: still one delivery at a time, in order.
    onMessage_ = [] { QCoreApplication::processEvents(); };
    jukebox_->write(flood.mid(flood.indexOf("MSG\tplxr\ttime[0]"), 10000));
    ASSERT_TRUE(Got(10400));
    got_.resize(10400);
    for (std::size_t i = 0; i < got_.size(); ++i)
        ASSERT_EQ(got_[i], "plxr|time[" + std::to_string(i % 10000) + "]") << i;
}

// A jukebox of user 65534 (nobody): peer credentials are those of the process at listen(), so the test listens under
// that user's id.
TEST_F(TrivoxTest, AJukeboxOfAnotherUserIsNeverHeardNorTold)
{
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to listen as another user";
    ASSERT_EQ(::chown(dir_.path().toLocal8Bit().constData(), 65534, 65534), 0);
    server_ = std::make_unique<QLocalServer>();
    ASSERT_EQ(::seteuid(65534), 0);
    const bool listening = server_->listen(path_);
    ASSERT_EQ(::seteuid(0), 0);
    ASSERT_TRUE(listening);
    MakeLink(path_);
    link_->Start();
    link_->SendCommand("plx", "playlist_getpointer");

    // The first call and two retries: each hangs up before a byte passes either way.
    for (int call = 0; call < 3; ++call) {
        Accept();
        jukebox_->write("MSG\tplxr\tplaying[\"Album\",\"Artist\",\"Stranger\",\"1:00\",\"/etc/x.png\",\"\",\"1\"]\n");
        QTest::qWait(50);
        EXPECT_EQ(jukebox_->readAll(), "") << "it heard from us on call " << call;
    }
    EXPECT_TRUE(got_.empty()) << got_.front();
    EXPECT_FALSE(link_->IsConnected());
    EXPECT_EQ(link_->QueuedCommands(), 1u); // still waiting for a jukebox of our own
}

} // namespace
} // namespace wendel
