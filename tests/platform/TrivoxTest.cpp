#include "Trivox.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "EventLoopWait.h"

#include <gtest/gtest.h>

#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <algorithm>
#include <string>
#include <vector>

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <signal.h>
#include <grp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace wendel {
namespace {

using Lines = std::vector<std::string>;

const Lines kHandshake = {"OPEN\tplx\ttype=devtx\t1\t1\t0", "OPEN\tplxr\ttype=devrx\t1\t1\t0",
                          "SEND\tplx\tnotify_playing_item[on]", "SEND\tplx\tnotify_playing_timecode[on]"};

bool WaitUntil(const std::function<bool()>& done, int ms = 3000)
{
    return wendel::testing::WaitUntil(done, ms);
}

class TrivoxTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

    // The jukebox side: listen, take one client, record its lines.
    void Listen()
    {
        server_ = std::make_unique<QLocalServer>();
        ASSERT_TRUE(server_->listen(path_));
        Link(); // made now, it connects at once
        ASSERT_TRUE(WaitUntil([&] { return server_->hasPendingConnections(); }));
        client_.reset(server_->nextPendingConnection());
    }
    void StopJukebox()
    {
        client_.reset();
        server_.reset();
        lines_.clear();
    }
    const Lines& Received(std::size_t atLeast = 0, int settleMs = 50)
    {
        const auto read = [&] {
            partial_ += client_->readAll().toStdString();
            for (std::size_t lf; (lf = partial_.find('\n')) != std::string::npos; partial_.erase(0, lf + 1))
                lines_.push_back(partial_.substr(0, lf));
            return lines_.size() >= atLeast;
        };
        WaitUntil(read);
        QTest::qWait(settleMs); // and anything that should not come
        read();
        return lines_;
    }
    void Send(const QByteArray& bytes)
    {
        client_->write(bytes);
        client_->flush();
    }

    Trivox& Link()
    {
        if (!link_) link_ = std::make_unique<Trivox>(path_);
        return *link_;
    }
    void Handshake()
    {
        Link().OpenDevice("plx", "type=devtx", 1, 1, 0);
        Link().OpenDevice("plxr", "type=devrx", 1, 1, 0);
        Link().SendCommand("plx", "notify_playing_item[on]");
        Link().SendCommand("plx", "notify_playing_timecode[on]");
    }
    // Records deliveries, checking that one never runs inside another.
    void Record()
    {
        Link().SetMessageHandler([this](const std::string& device, const std::string& message) {
            EXPECT_FALSE(inHandler_) << "MessageArrived raised inside another";
            inHandler_ = true;
            got_.push_back(device + "|" + message);
            if (onMessage_) onMessage_();
            inHandler_ = false;
        });
    }
    bool Got(std::size_t n) { return WaitUntil([&] { return got_.size() >= n; }); }

    QTemporaryDir dir_;
    const QString path_ = dir_.filePath(QStringLiteral("trivox.sock"));
    std::unique_ptr<QLocalServer> server_;
    std::unique_ptr<QLocalSocket> client_;
    Lines lines_;
    std::string partial_;
    std::unique_ptr<Trivox> link_;
    Lines got_;
    std::function<void()> onMessage_;
    bool inHandler_ = false;
};

TEST_F(TrivoxTest, HandshakeInOrderAndMessagesOnlyFromTheEventLoop)
{
    Listen();
    Record();
    Handshake();
    EXPECT_EQ(Received(4), kHandshake);

    Send("MSG\tplxr\ttime[0:01]\n"); // waits at our socket while we make calls
    link_->SendCommand("plx", "playlist_getpointer");
    link_->OpenDevice("extra", "type=devrx", 1, 1, 0);
    EXPECT_TRUE(got_.empty());
    // A jukebox echoing OPEN or SEND frames is ignored; MSG on any device is passed on.
    Send("OPEN\tplx\ttype=devtx\t1\t1\t0\nSEND\tplx\tx\nMSG\tother\tplaying[\"a\"]\n");
    ASSERT_TRUE(Got(2));
    EXPECT_EQ(got_, (Lines{"plxr|time[0:01]", "other|playing[\"a\"]"}));
    EXPECT_EQ(Received(6).size(), 6u);
    EXPECT_EQ(lines_[4], "SEND\tplx\tplaylist_getpointer");
    EXPECT_EQ(lines_[5], "OPEN\textra\ttype=devrx\t1\t1\t0");
}

TEST_F(TrivoxTest, LateJukeboxGetsTheHandshakeThenTheLast64Commands)
{
    Handshake();
    for (int i = 0; i < 70; ++i) link_->SendCommand("plx", "playlist_getitem[ " + std::to_string(i) + "]");
    EXPECT_EQ(link_->QueuedCommands(), Trivox::kQueueLimit);

    // The retry is a timer, not a loop: waiting costs next to no CPU.
    const std::clock_t cpu = std::clock();
    QTest::qWait(600);
    EXPECT_LT(1000.0 * static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC, 100.0);

    QElapsedTimer sinceListen;
    sinceListen.start();
    Listen();
    EXPECT_LT(sinceListen.elapsed(), 1000); // within one retry interval, with slack
    Lines expected = kHandshake;
    for (int i = 6; i < 70; ++i) expected.push_back("SEND\tplx\tplaylist_getitem[ " + std::to_string(i) + "]");
    EXPECT_EQ(Received(expected.size(), 100), expected);
}

// A link told to wait calls the jukebox on Start, or by itself within a
// retry interval; either way the jukebox hears the handshake once.
TEST_F(TrivoxTest, ALinkMadeToWaitCallsOnStartOrAsARetry)
{
    for (const bool start : {true, false}) {
        SCOPED_TRACE(start ? "Start" : "no Start");
        QLocalServer server;
        const QString path = dir_.filePath(start ? QStringLiteral("a.sock") : QStringLiteral("b.sock"));
        ASSERT_TRUE(server.listen(path));
        Trivox link(path, nullptr, Trivox::FirstAttempt::Later);
        link.OpenDevice("plx", "type=devtx", 1, 1, 0);
        QTest::qWait(50);
        EXPECT_FALSE(server.hasPendingConnections());
        QElapsedTimer clock;
        clock.start();
        if (start) {
            link.Start();
            link.Start();
        }
        ASSERT_TRUE(WaitUntil([&] { return link.IsConnected() && server.hasPendingConnections(); }));
        EXPECT_LT(clock.elapsed(), start ? 300 : 2000);
        std::unique_ptr<QLocalSocket> jukebox(server.nextPendingConnection());
        ASSERT_NE(jukebox, nullptr);
        ASSERT_TRUE(WaitUntil([&] { return jukebox->bytesAvailable() > 0; }));
        QTest::qWait(50);
        EXPECT_EQ(jukebox->readAll().toStdString(), "OPEN\tplx\ttype=devtx\t1\t1\t0\n");
        EXPECT_FALSE(server.hasPendingConnections());
    }
}

TEST_F(TrivoxTest, RestartedJukeboxGetsTheReplayAndNothingElseTwice)
{
    Listen();
    Record();
    link_->SetConnectedHandler([this] { got_.push_back("connected"); });
    Handshake();
    link_->SendCommand("plx", "notify_playing_item[on]"); // again: sent, yet still one notification
    EXPECT_EQ(Received(5).size(), 5u);
    got_.clear(); // the first connection's news

    // It dies half-way through a frame. Until the event loop reports the end,
    // the link writes into a dead socket: that must neither kill us
    // (SIGPIPE) nor lose what the replay owes.
    Send("MSG\tplxr\twhole[]\nMSG\tplxr\thal");
    ASSERT_TRUE(WaitUntil([&] { return client_->bytesToWrite() == 0; }));
    StopJukebox();
    link_->SendCommand("plx", "notify_playlist[on]");
    link_->SendCommand("plx", "notify_playing_item[off]");
    ASSERT_TRUE(WaitUntil([&] { return !link_->IsConnected(); }));
    link_->SendCommand("plx", "playlist_getpointer");

    Listen();
    // Notifications in first-sent order, each once and in its latest form; then what waited.
    EXPECT_EQ(Received(6, 200), (Lines{kHandshake[0], kHandshake[1], "SEND\tplx\tnotify_playing_item[off]",
                                       kHandshake[3], "SEND\tplx\tnotify_playlist[on]",
                                       "SEND\tplx\tplaylist_getpointer"}));
    Send("f[]\nMSG\tplxr\tnext[]\n"); // not glued to the half frame
    ASSERT_TRUE(Got(3));
    QTest::qWait(30);
    // The saver hears of the new connection after the old one's last word.
    EXPECT_EQ(got_, (Lines{"plxr|whole[]", "connected", "plxr|next[]"}));
}

TEST_F(TrivoxTest, FloodArrivesInOrderWhileTheEventLoopRuns)
{
    Listen();
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(0);
    int delivered = 0, ticksAtFirst = 0, ticksAtLast = 0;
    bool inOrder = true;
    link_->SetMessageHandler([&](const std::string&, const std::string& message) {
        inOrder = inOrder && message == "time[" + std::to_string(delivered) + "]";
        if (delivered++ == 0) ticksAtFirst = ticks;
        ticksAtLast = ticks;
    });
    QByteArray flood;
    for (int i = 0; i < 10000; ++i) flood += "MSG\tplxr\ttime[" + QByteArray::number(i) + "]\n";
    Send(flood);
    ASSERT_TRUE(WaitUntil([&] { return delivered == 10000; }, 10000)) << delivered;
    EXPECT_TRUE(inOrder);
    EXPECT_GT(ticksAtLast - ticksAtFirst, 10); // other events ran in between

    // A handler that spins the event loop itself, as a busy reveal does:
    // still one delivery at a time, in order.
    Record();
    onMessage_ = [] { QCoreApplication::processEvents(); };
    Send(flood.left(flood.indexOf("time[500]") - 9));
    ASSERT_TRUE(Got(500));
    for (std::size_t i = 0; i < got_.size(); ++i) ASSERT_EQ(got_[i], "plxr|time[" + std::to_string(i) + "]");
}

TEST_F(TrivoxTest, BadFramesAreIgnoredInBoundedMemory)
{
    Listen();
    Record();
    QByteArray bad = "MSG\tplxr\t" + QByteArray(8 << 20, 'x') + "\n";  // an 8 MB line
    bad += QByteArray("MSG\tplxr\tti\0me[1]\n", 18);                    // a NUL byte
    bad += "MSG\tplxr\tplaying[\"\xff\xfe\xc3(\"]\r\n";                 // invalid UTF-8
    bad += "HELLO\tplxr\tx\nMSG\tplxr\n\n\r\nMSG\n\t\t\t\nMSG\tplxr\tplaylist_stop[]\n";
    Send(bad);
    std::size_t mostHeld = 0;
    ASSERT_TRUE(WaitUntil([&] {
        mostHeld = std::max(mostHeld, link_->HeldBytes());
        return got_.size() >= 3;
    }, 5000));
    EXPECT_EQ(got_, (Lines{std::string("plxr|ti\0me[1]", 13), "plxr|playing[\"\xff\xfe\xc3(\"]", "plxr|playlist_stop[]"}));
    EXPECT_LE(mostHeld, static_cast<std::size_t>(Trivox::kReadBufferBytes) + wire::kMaxFrameBytes + 1);
    link_->SendCommand("plx", "playlist_getpointer");
    EXPECT_EQ(Received(1), Lines{"SEND\tplx\tplaylist_getpointer"});
}

// A jukebox of user 65534 (nobody), in a forked child that makes only system
// calls: it takes connections and plays a track to each at once, and reads
// what comes back. It ends after `wanted` connections or 10 seconds.
class OtherUsersJukebox {
public:
    // Exit codes of the child.
    static constexpr int kHeardNothing = 0;
    static constexpr int kHeardSomething = 1;
    static constexpr int kSetUpFailed = 2;
    static constexpr int kTooFewConnections = 3;

    OtherUsersJukebox(const std::string& path, int wanted) : pid_(::fork())
    {
        if (pid_ == 0) ::_exit(Serve(path, wanted));
    }
    ~OtherUsersJukebox()
    {
        if (pid_ > 0 && !status_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    bool Forked() const { return pid_ > 0; }
    // The child's exit code once it has ended, else -1.
    int ExitCode()
    {
        int status = 0;
        if (!status_ && ::waitpid(pid_, &status, WNOHANG) == pid_) status_ = status;
        if (!status_) return -1;
        return WIFEXITED(*status_) ? WEXITSTATUS(*status_) : 128;
    }

private:
    static int Serve(const std::string& path, int wanted)
    {
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) return kSetUpFailed;
        const int server = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.c_str(), std::min(path.size(), sizeof address.sun_path - 1));
        if (server < 0 || ::bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::chmod(path.c_str(), 0666) != 0 || ::listen(server, 8) != 0) {
            return kSetUpFailed;
        }
        const char track[] = "MSG\tplxr\tplaying[\"Album\",\"Artist\",\"Stranger\",\"1:00\",\"/etc/x.png\",\"\",\"1\"]\n";
        bool heard = false;
        int connections = 0;
        for (int waited = 0; connections < wanted && waited < 10000; waited += 50) {
            pollfd incoming{server, POLLIN, 0};
            if (::poll(&incoming, 1, 50) != 1) continue;
            const int peer = ::accept(server, nullptr, nullptr);
            if (peer < 0) continue;
            ++connections;
            ::send(peer, track, sizeof track - 1, MSG_NOSIGNAL);
            pollfd words{peer, POLLIN, 0};
            char byte = 0;
            // Our side hangs up at once; anything it sent first is read here.
            if (::poll(&words, 1, 400) == 1 && ::recv(peer, &byte, 1, 0) == 1) heard = true;
            ::close(peer);
        }
        if (heard) return kHeardSomething;
        return connections < wanted ? kTooFewConnections : kHeardNothing;
    }

    pid_t pid_;
    std::optional<int> status_;
};

TEST_F(TrivoxTest, AJukeboxOfAnotherUserIsNeverHeardNorTold)
{
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to run a jukebox as another user";
    // A folder user 65534 may make its socket in; ours stays closed to others.
    const std::string folder = dir_.filePath(QStringLiteral("other")).toStdString();
    ASSERT_EQ(::chmod(QFile::encodeName(dir_.path()).constData(), 0711), 0);
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
    const std::string socketPath = folder + "/trivox.sock";

    // Three connections: the first, and two retries after it was dropped.
    OtherUsersJukebox jukebox(socketPath, 3);
    ASSERT_TRUE(jukebox.Forked());
    ASSERT_TRUE(WaitUntil([&] { return QFileInfo::exists(QString::fromStdString(socketPath)); }));
    link_ = std::make_unique<Trivox>(QString::fromStdString(socketPath));
    Record();
    Handshake();
    link_->SendCommand("plx", "playlist_getpointer");
    ASSERT_TRUE(WaitUntil([&] { return jukebox.ExitCode() != -1; }, 10000));
    EXPECT_EQ(jukebox.ExitCode(), OtherUsersJukebox::kHeardNothing)
        << "1: it heard from us, 2: it could not be set up, 3: we stopped trying";
    EXPECT_TRUE(got_.empty()) << got_.front();
    EXPECT_FALSE(link_->IsConnected());
    // What was sent meanwhile still waits for a jukebox of our own.
    EXPECT_EQ(link_->QueuedCommands(), 1u);
}

TEST(TrivoxEndpoint, OverrideThenRuntimeFolderThenPerUserTempName)
{
    std::vector<std::function<void()>> restore;
    for (const char* name : {"TRIVOX_ENDPOINT", "XDG_RUNTIME_DIR", "TMPDIR"}) {
        restore.push_back([name, had = qEnvironmentVariableIsSet(name), old = qgetenv(name)] {
            if (had) qputenv(name, old);
            else qunsetenv(name);
        });
    }
    qputenv("TRIVOX_ENDPOINT", "/x/jukebox.sock");
    qputenv("XDG_RUNTIME_DIR", "/run/user/7");
    qputenv("TMPDIR", "/var/tmp");
    EXPECT_EQ(TrivoxEndpoint(), "/x/jukebox.sock");
    qputenv("TRIVOX_ENDPOINT", "");
    EXPECT_EQ(TrivoxEndpoint(), "/run/user/7/trivox.sock");
    qunsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(TrivoxEndpoint(), QStringLiteral("/var/tmp/trivox-%1.sock").arg(getuid()));
    for (const auto& undo : restore) undo();
}

} // namespace
} // namespace wendel
