// The real plx-mpris on a private session bus, against players the test
// plays with QtDBus and a loopback web server for covers, watched from a
// saver's end of the link.

#include "EventLoopWait.h"
#include "SessionBus.h"
#include "Metadata.h"
#include "TestPlayer.h"

#include <QBuffer>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLocalSocket>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <iostream>
#include <map>
#include <ostream>
#include <memory>

#include <sys/prctl.h>
#include <sys/stat.h>
#include <csignal>

// Lets failure messages take Qt's texts as they are.
inline std::ostream& operator<<(std::ostream& out, const QString& text) { return out << text.toStdString(); }
inline std::ostream& operator<<(std::ostream& out, const QByteArray& text) { return out << text.toStdString(); }

namespace plxmpris::testing {
namespace {

using wendel::testing::SessionBus;

bool WaitUntil(const std::function<bool()>& done, int ms = 8000) { return wendel::testing::WaitUntil(done, ms); }

QByteArray Msg(const QByteArray& message) { return "MSG\tplxr\t" + message; }

QByteArray Playing(const QByteArray& album, const QByteArray& artist, const QByteArray& title,
                   const QByteArray& length, const QByteArray& cover, const QByteArray& number)
{
    return Msg("playing[\"" + album + "\",\"" + artist + "\",\"" + title + "\",\"" + length + "\",\"" + cover +
               "\",\"\",\"" + number + "\"]");
}

QByteArray Jpeg()
{
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG");
    return bytes;
}

QVariantMap Track(const QString& id, const QString& title, const QString& art = {})
{
    QVariantMap map{{"mpris:trackid", QVariant::fromValue(QDBusObjectPath(id))},
                    {"xesam:album", "Al"},
                    {"xesam:artist", QStringList{"Ar"}},
                    {"xesam:title", title},
                    {"mpris:length", qlonglong(61'000'000)},
                    {"xesam:trackNumber", 2}};
    if (!art.isEmpty()) map[QStringLiteral("mpris:artUrl")] = art;
    return map;
}

// A saver's end of the link: it sends the handshake and keeps every line.
class LinkPeer {
public:
    bool Connect(const QString& endpoint)
    {
        return WaitUntil([&] {
            if (socket_.state() == QLocalSocket::ConnectedState) return true;
            socket_.abort();
            socket_.connectToServer(endpoint);
            return socket_.waitForConnected(200);
        });
    }
    void Handshake()
    {
        Send("OPEN\tplx\ttype=devtx\t1\t1\t0\nOPEN\tplxr\ttype=devrx\t1\t1\t0\n"
             "SEND\tplx\tnotify_playing_item[on]\nSEND\tplx\tnotify_playing_timecode[on]\n");
    }
    void Send(const QByteArray& bytes)
    {
        socket_.write(bytes);
        socket_.flush();
    }
    QList<QByteArray> Lines()
    {
        received_ += socket_.readAll();
        QList<QByteArray> lines = received_.split('\n');
        lines.removeLast(); // the unfinished line
        return lines;
    }
    qsizetype Mark() { return Lines().size(); }
    // The first line from `from` on that equals `line`; its index, or -1.
    qsizetype WaitFor(const QByteArray& line, qsizetype from = 0, int ms = 8000)
    {
        qsizetype at = -1;
        WaitUntil([&] { return (at = Lines().indexOf(line, from)) >= 0; }, ms);
        return at;
    }
    std::optional<QByteArray> WaitForPrefix(const QByteArray& prefix, qsizetype from = 0, int ms = 8000)
    {
        std::optional<QByteArray> found;
        WaitUntil([&] {
            const QList<QByteArray> lines = Lines();
            for (qsizetype i = from; i < lines.size() && !found; ++i)
                if (lines[i].startsWith(prefix)) found = lines[i];
            return found.has_value();
        }, ms);
        return found;
    }
    QString Describe() { return QString::fromUtf8(Lines().join('\n')); }

private:
    QLocalSocket socket_;
    QByteArray received_;
};

// Answers each path as the test asks: a picture, a page, a flood, silence.
class WebServer {
public:
    WebServer()
    {
        server_.listen(QHostAddress::LocalHost);
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { Serve(socket); });
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    QString Url(const QString& path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path);
    }
    int Requests(const QByteArray& path) const { return requests_.count(path) ? requests_.at(path) : 0; }

private:
    void Serve(QTcpSocket* socket)
    {
        QByteArray& request = pending_[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n")) return;
        const QByteArray path = request.split(' ').value(1);
        pending_.erase(socket);
        ++requests_[path];
        if (path == "/good.jpg") {
            const QByteArray jpeg = Jpeg();
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: image/jpeg\r\nContent-Length: " +
                          QByteArray::number(jpeg.size()) + "\r\n\r\n" + jpeg);
        } else if (path == "/page.html") {
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: image/jpeg\r\nContent-Length: 30\r\n\r\n"
                          "<html><body>cover</body></html>");
        } else if (path == "/huge") {
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: image/jpeg\r\nContent-Length: 10000000000\r\n\r\n\xFF\xD8\xFF");
        } else if (path == "/endless") {
            // No length; far more than the cap, as fast as the bridge reads.
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: image/jpeg\r\n\r\n");
            auto pump = [socket] {
                if (socket->bytesToWrite() < (1 << 20)) socket->write(QByteArray(1 << 20, '\xFF'));
            };
            QObject::connect(socket, &QTcpSocket::bytesWritten, socket, pump);
            pump();
        } else if (path == "/to-file") {
            socket->write("HTTP/1.1 302 Found\r\nLocation: file:///etc/hostname\r\nContent-Length: 0\r\n\r\n");
        } else if (path == "/to-good") {
            socket->write("HTTP/1.1 302 Found\r\nLocation: " + Url("/good.jpg").toLatin1() +
                          "\r\nContent-Length: 0\r\n\r\n");
        } else if (path == "/hang") {
            return; // never a word
        } else {
            socket->write("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
        }
    }

    QTcpServer server_;
    std::map<QTcpSocket*, QByteArray> pending_;
    std::map<QByteArray, int> requests_;
};

class MprisBridge : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        QDir(dir_.path()).mkpath(QStringLiteral("run"));
        ::chmod(QFile::encodeName(Path("run")).constData(), 0700);
        bus_ = std::make_unique<SessionBus>(Path("bus"));
    }
    void TearDown() override
    {
        if (bridge_.state() != QProcess::NotRunning) {
            bridge_.terminate();
            if (!bridge_.waitForFinished(5000)) bridge_.kill();
        }
        if (HasFailure()) std::cerr << "bridge log:\n" << Log().toStdString() << "\n";
    }

    QString Path(const QString& relative) const { return dir_.filePath(relative); }
    QString Endpoint() const { return Path("run/trivox.sock"); }
    QString CacheFolder() const { return Path("cache/wendelsaver/covers"); }

    void StartBridge(const QStringList& extra = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus_->Address());
        env.insert(QStringLiteral("XDG_CACHE_HOME"), Path("cache"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), Path("run"));
        bridge_.setProcessEnvironment(env);
        bridge_.setProcessChannelMode(QProcess::MergedChannels);
        bridge_.setStandardOutputFile(Path("bridge.log"));
        bridge_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        bridge_.start(QStringLiteral(PLX_MPRIS_BIN),
                      QStringList{QStringLiteral("--endpoint"), Endpoint(), QStringLiteral("--verbose")} + extra);
        ASSERT_TRUE(bridge_.waitForStarted(5000));
    }
    QString Log() const
    {
        QFile file(Path("bridge.log"));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    bool WaitForLog(const QString& text, int ms = 8000)
    {
        return WaitUntil([&] { return Log().contains(text); }, ms);
    }
    bool BridgeRunning() { return bridge_.state() == QProcess::Running && !bridge_.waitForFinished(0); }
    void ConnectSaver(LinkPeer& saver)
    {
        ASSERT_TRUE(saver.Connect(Endpoint()));
        saver.Handshake();
    }

    QTemporaryDir dir_;
    std::unique_ptr<SessionBus> bus_;
    QProcess bridge_;
};

TEST_F(MprisBridge, ATrackListPlayerFromConnectToPause)
{
    ASSERT_TRUE(bus_->Start());
    TestPlayer player(bus_->Address(), QStringLiteral("lists"));
    ASSERT_TRUE(player.Registered());
    player.SetTracks({{"/t/1", Track("/t/1", "One")}, {"/t/2", Track("/t/2", "Two")}, {"/t/3", Track("/t/3", "Three")}});
    player.Set(QStringLiteral("Position"), qlonglong(3'500'000));
    player.SetAll({{"Metadata", Track("/t/2", "Two")}, {"PlaybackStatus", "Playing"}});
    StartBridge();
    ASSERT_TRUE(WaitForLog(QStringLiteral("player org.mpris.MediaPlayer2.lists has a track list of 3 track(s)")));
    LinkPeer saver;
    ConnectSaver(saver);

    // The present at once, then the time from the player's Position.
    const QByteArray two = Playing("Al", "Ar", "Two", "1:01", "", "2");
    ASSERT_GE(saver.WaitFor(two), 0) << saver.Describe();
    // 3.5 s in when the bridge read it; the saver may connect a moment later.
    const std::optional<QByteArray> time = saver.WaitForPrefix(Msg("time[0:0"));
    ASSERT_TRUE(time) << saver.Describe();
    EXPECT_GE(time->at(time->size() - 2), '3') << *time;
    saver.Send("SEND\tplx\tplaylist_getpointer\n");
    EXPECT_GE(saver.WaitFor(Msg("playlist_pointer[2]")), 0) << saver.Describe();
    saver.Send("SEND\tplx\tplaylist_getitem[ 3]\nSEND\tplx\tplaylist_getitem[ 4]\n");
    EXPECT_GE(saver.WaitFor(Msg(R"(playlist_item["3","Al","Ar","Three","1:01","","1","1"])")), 0) << saver.Describe();
    EXPECT_GE(saver.WaitFor(Msg(R"(playlist_item["4","","","","","","0","1"])")), 0) << saver.Describe();

    // A seek, the next track, a pause, a stop.
    qsizetype mark = saver.Mark();
    player.Seek(65'000'000);
    EXPECT_GE(saver.WaitFor(Msg("time[1:05]"), mark), 0) << saver.Describe();
    mark = saver.Mark();
    player.Set(QStringLiteral("Position"), qlonglong(0));
    player.Set(QStringLiteral("Metadata"), Track("/t/3", "Three"));
    const qsizetype three = saver.WaitFor(Playing("Al", "Ar", "Three", "1:01", "", "2"), mark);
    EXPECT_GE(three, 0) << saver.Describe();
    EXPECT_GE(saver.WaitFor(Msg("time[0:00]"), three), 0) << saver.Describe();
    saver.Send("SEND\tplx\tplaylist_getpointer\n");
    EXPECT_GE(saver.WaitFor(Msg("playlist_pointer[3]"), mark), 0) << saver.Describe();
    mark = saver.Mark();
    player.Set(QStringLiteral("PlaybackStatus"), "Paused");
    EXPECT_GE(saver.WaitFor(Msg("playlist_pause[]"), mark), 0) << saver.Describe();
    player.Set(QStringLiteral("PlaybackStatus"), "Stopped");
    EXPECT_GE(saver.WaitFor(Msg("playlist_stop[]"), mark), 0) << saver.Describe();
    // A saver that connects now learns at once that nothing plays.
    LinkPeer late;
    ConnectSaver(late);
    EXPECT_GE(late.WaitFor(Msg("playlist_stop[]")), 0) << late.Describe();
}

TEST_F(MprisBridge, WrongTypesAndShapesLeaveTheBridgeAndTheBoard)
{
    ASSERT_TRUE(bus_->Start());
    StartBridge();
    LinkPeer saver;
    ConnectSaver(saver);
    ASSERT_GE(saver.WaitFor(Msg("playlist_stop[]")), 0) << saver.Describe();
    TestPlayer player(bus_->Address(), QStringLiteral("rude"));
    ASSERT_TRUE(player.Registered());
    const QString huge(100 * 1024, QLatin1Char('x'));
    player.SetAll({{"PlaybackStatus", "Playing"},
                   {"Metadata", QVariantMap{{"xesam:artist", "Solo"},
                                            {"xesam:title", huge},
                                            {"mpris:length", qlonglong(-5)},
                                            {"xesam:trackNumber", "x"},
                                            {"mpris:artUrl", 17}}}});
    const QByteArray clipped = Playing("", "Solo", QByteArray(kMaxFieldChars, 'x'), "", "", "");
    ASSERT_GE(saver.WaitFor(clipped), 0) << saver.Describe().left(300);

    qsizetype mark = saver.Mark();
    player.Set(QStringLiteral("Metadata"), "not a dictionary");
    player.Set(QStringLiteral("PlaybackStatus"), 7);
    player.Set(QStringLiteral("PlaybackStatus"), "Dancing");
    player.SendSignal(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"),
                      {1, 2, 3});
    player.SendSignal(QStringLiteral("org.mpris.MediaPlayer2.Player"), QStringLiteral("Seeked"), {"soon"});
    // After all of it, a good change still comes through, and nothing before it.
    player.Set(QStringLiteral("Metadata"), Track("/t/9", "Fine"));
    const qsizetype fine = saver.WaitFor(Playing("Al", "Ar", "Fine", "1:01", "", "2"), mark);
    ASSERT_GE(fine, 0) << saver.Describe().right(600);
    for (qsizetype i = mark; i < fine; ++i) EXPECT_TRUE(saver.Lines()[i].startsWith(Msg("time["))) << saver.Lines()[i].left(200);
    // Without a track list: pointer 1, the track at 1, nothing at 2.
    saver.Send("SEND\tplx\tplaylist_getpointer\nSEND\tplx\tplaylist_getitem[ 1]\nSEND\tplx\tplaylist_getitem[ 2]\n");
    EXPECT_GE(saver.WaitFor(Msg("playlist_pointer[1]"), fine), 0);
    EXPECT_GE(saver.WaitFor(Msg(R"(playlist_item["1","Al","Ar","Fine","1:01","","1","1"])"), fine), 0);
    EXPECT_GE(saver.WaitFor(Msg(R"(playlist_item["2","","","","","","0","1"])"), fine), 0) << saver.Describe().right(600);
    EXPECT_TRUE(BridgeRunning());
}

TEST_F(MprisBridge, WebCoversArriveLaterAndBadOnesNeverArrive)
{
    WebServer web;
    ASSERT_TRUE(bus_->Start());
    TestPlayer player(bus_->Address(), QStringLiteral("web"));
    ASSERT_TRUE(player.Registered());
    StartBridge();
    LinkPeer saver;
    ConnectSaver(saver);
    // A fetch that hangs goes first: the others do not wait for it, and
    // telling the same URL again starts no second fetch.
    player.SetAll({{"PlaybackStatus", "Playing"}, {"Metadata", Track("/h", "Hang", web.Url("/hang"))}});
    ASSERT_GE(saver.WaitFor(Playing("Al", "Ar", "Hang", "1:01", "", "2")), 0) << saver.Describe();
    player.Set(QStringLiteral("Metadata"), Track("/h", "Hang again", web.Url("/hang")));
    ASSERT_GE(saver.WaitFor(Playing("Al", "Ar", "Hang again", "1:01", "", "2")), 0) << saver.Describe();

    const struct {
        const char* path;
        const char* why;
    } bad[] = {{"/page.html", "not a picture"}, {"/huge", "announced 10000000000 bytes"},
               {"/endless", "more than 16 MiB"}, {"/to-file", "HTTP status 302"}, {"/missing", "HTTP status 404"}};
    int id = 0;
    for (const auto& b : bad) {
        const QString url = web.Url(QString::fromLatin1(b.path));
        player.Set(QStringLiteral("Metadata"), Track(QStringLiteral("/t/%1").arg(++id), b.path, url));
        EXPECT_TRUE(WaitForLog(QStringLiteral("no cover from ") + url + ": " + b.why)) << b.path;
    }
    // Every one of them gave its track an empty cover field, and only that.
    for (const QByteArray& line : saver.Lines()) {
        if (line.startsWith(Msg("playing["))) {
            EXPECT_TRUE(line.contains(",\"1:01\",\"\",")) << line;
        }
    }

    // A good one, reached through a redirect: empty first, then the cached copy.
    const qsizetype mark = saver.Mark();
    player.Set(QStringLiteral("Metadata"), Track("/g", "Good", web.Url("/to-good")));
    EXPECT_GE(saver.WaitFor(Playing("Al", "Ar", "Good", "1:01", "", "2"), mark), 0) << saver.Describe();
    const std::optional<QByteArray> withCover = saver.WaitForPrefix(Msg("playing[\"Al\",\"Ar\",\"Good\",\"1:01\",\"/"), mark);
    ASSERT_TRUE(withCover) << saver.Describe();
    const QString path = QString::fromUtf8(withCover->split('"').value(9));
    EXPECT_TRUE(path.startsWith(CacheFolder() + "/") && path.endsWith(".jpg")) << path;
    QFile cached(path);
    ASSERT_TRUE(cached.open(QIODevice::ReadOnly));
    EXPECT_EQ(cached.readAll(), Jpeg());
    EXPECT_EQ(QFileInfo(CacheFolder()).permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::ExeOther), 0);

    EXPECT_TRUE(WaitForLog(QStringLiteral("no cover from ") + web.Url("/hang") + ": took longer than 5 s", 10000));
    EXPECT_EQ(web.Requests("/hang"), 1);
    EXPECT_TRUE(BridgeRunning());
}

TEST_F(MprisBridge, LocalCoversOnlyWhenTheSaverCanReadThem)
{
    const QByteArray jpeg = Jpeg();
    const auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile file(Path(name));
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    };
    ASSERT_TRUE(write("My Cover.jpg", jpeg) && write("Say \"Hi\".jpg", jpeg) && write("notes.jpg", "just text"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(Path("pipe.jpg")).constData(), 0600), 0);
    const QString base = QUrl::fromLocalFile(dir_.path()).toString(QUrl::FullyEncoded);
    ASSERT_TRUE(bus_->Start());
    TestPlayer player(bus_->Address(), QStringLiteral("files"));
    ASSERT_TRUE(player.Registered());
    StartBridge();
    LinkPeer saver;
    ConnectSaver(saver);
    player.Set(QStringLiteral("PlaybackStatus"), "Playing");

    const struct {
        const char* file;
        bool cover;
        bool copied;
    } cases[] = {
        {"/My%20Cover.jpg", true, false},
        {"/Say%20%22Hi%22.jpg", true, true},
        {"/notes.jpg", false, false},
        {"/pipe.jpg", false, false},
        {"/missing.jpg", false, false},
    };
    int id = 0;
    for (const auto& c : cases) {
        const qsizetype mark = saver.Mark();
        player.Set(QStringLiteral("Metadata"), Track(QStringLiteral("/t/%1").arg(++id), c.file, base + c.file));
        const std::optional<QByteArray> line =
            saver.WaitForPrefix(Msg("playing[\"Al\",\"Ar\",\"") + c.file + "\"", mark);
        ASSERT_TRUE(line) << c.file << "\n" << saver.Describe();
        const QString cover = QString::fromUtf8(line->split('"').value(9));
        if (!c.cover) {
            EXPECT_EQ(cover, "") << c.file;
        } else if (c.copied) {
            EXPECT_TRUE(cover.startsWith(CacheFolder())) << cover;
        } else {
            EXPECT_EQ(cover, Path("My Cover.jpg"));
        }
    }
}

TEST_F(MprisBridge, PlayersTakeTurnsAndOneCrashes)
{
    ASSERT_TRUE(bus_->Start());
    StartBridge();
    LinkPeer saver;
    ConnectSaver(saver);
    TestPlayer a(bus_->Address(), QStringLiteral("a"));
    TestPlayer b(bus_->Address(), QStringLiteral("b.instance7"));
    ASSERT_TRUE(a.Registered() && b.Registered());
    const QByteArray one = Playing("Al", "Ar", "A one", "1:01", "", "2");
    const QByteArray two = Playing("Al", "Ar", "B two", "1:01", "", "2");
    a.SetAll({{"Metadata", Track("/a", "A one")}, {"PlaybackStatus", "Playing"}});
    qsizetype at = saver.WaitFor(one);
    ASSERT_GE(at, 0) << saver.Describe();
    b.SetAll({{"Metadata", Track("/b", "B two")}, {"PlaybackStatus", "Playing"}});
    ASSERT_GE(at = saver.WaitFor(two, at), 0) << saver.Describe();
    // B pauses while A still plays: back to A.
    b.Set(QStringLiteral("PlaybackStatus"), "Paused");
    ASSERT_GE(at = saver.WaitFor(one, at), 0) << saver.Describe();
    // A crashes while playing: the board stops, then shows B, paused.
    a.Crash();
    const qsizetype stop = saver.WaitFor(Msg("playlist_stop[]"), at);
    ASSERT_GE(stop, 0) << saver.Describe();
    ASSERT_GE(saver.WaitFor(Msg("playlist_pause[]"), stop), 0) << saver.Describe();
    EXPECT_EQ(saver.Lines().mid(stop + 1, 2), (QList<QByteArray>{two, Msg("playlist_pause[]")})) << saver.Describe();
    EXPECT_TRUE(BridgeRunning());
}

TEST_F(MprisBridge, APinnedPlayerAndTheListOfPlayers)
{
    ASSERT_TRUE(bus_->Start());
    TestPlayer a(bus_->Address(), QStringLiteral("a"));
    TestPlayer b(bus_->Address(), QStringLiteral("b.instance7"));
    ASSERT_TRUE(a.Registered() && b.Registered());
    a.SetAll({{"Metadata", Track("/a", "A one")}, {"PlaybackStatus", "Playing"}});
    b.SetAll({{"Metadata", Track("/b", "B two")}, {"PlaybackStatus", "Paused"}});

    QProcess list;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus_->Address());
    list.setProcessEnvironment(env);
    list.start(QStringLiteral(PLX_MPRIS_BIN), {QStringLiteral("--list")});
    // The players answer from this process's event loop.
    ASSERT_TRUE(WaitUntil([&] { return list.state() == QProcess::NotRunning; }));
    const QByteArray out = list.readAllStandardOutput();
    EXPECT_EQ(list.exitCode(), 0);
    EXPECT_TRUE(out.contains("a\tPlaying\n") && out.contains("b.instance7\tPaused\n")) << out.toStdString();

    StartBridge({QStringLiteral("--player"), QStringLiteral("b")});
    LinkPeer saver;
    ConnectSaver(saver);
    EXPECT_GE(saver.WaitFor(Playing("Al", "Ar", "B two", "1:01", "", "2")), 0) << saver.Describe();
    a.Set(QStringLiteral("Metadata"), Track("/a2", "A again"));
    b.Set(QStringLiteral("Metadata"), Track("/b2", "B again"));
    ASSERT_GE(saver.WaitFor(Playing("Al", "Ar", "B again", "1:01", "", "2")), 0) << saver.Describe();
    EXPECT_FALSE(saver.Describe().contains(QStringLiteral("A one")) || saver.Describe().contains(QStringLiteral("A again")));
}

TEST_F(MprisBridge, NoSessionBusAtStartIsWaitedFor)
{
    StartBridge();
    LinkPeer saver;
    ConnectSaver(saver);
    ASSERT_TRUE(WaitForLog(QStringLiteral("no session bus at ")));
    // Nothing to say yet: the board keeps waiting for the jukebox.
    EXPECT_FALSE(WaitUntil([&] { return !saver.Lines().isEmpty(); }, 1200)) << saver.Describe();
    ASSERT_TRUE(bus_->Start());
    ASSERT_GE(saver.WaitFor(Msg("playlist_stop[]")), 0) << saver.Describe();
    TestPlayer player(bus_->Address(), QStringLiteral("late"));
    ASSERT_TRUE(player.Registered());
    player.SetAll({{"Metadata", Track("/l", "Late")}, {"PlaybackStatus", "Playing"}});
    const qsizetype play = saver.WaitFor(Msg("playlist_play[]"));
    ASSERT_GE(play, 0) << saver.Describe();
    EXPECT_EQ(saver.Lines().value(play + 1), Playing("Al", "Ar", "Late", "1:01", "", "2"));
    // The bus goes away: the board stops, and the bridge looks again.
    bus_->Stop();
    EXPECT_GE(saver.WaitFor(Msg("playlist_stop[]"), play), 0) << saver.Describe();
    EXPECT_TRUE(WaitForLog(QStringLiteral("lost the session bus")));
    EXPECT_TRUE(BridgeRunning());
}

} // namespace
} // namespace plxmpris::testing
