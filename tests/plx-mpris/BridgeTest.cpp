// The real plx-mpris on a private bus, against players and a web server doing what real ones cannot be made to.

#include "LinkPeer.h"
#include "SessionBus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

#include <iostream>
#include <map>
#include <memory>

#include <sys/stat.h>

namespace plxmpris {
namespace {

using jukebox::testing::LogText;
using jukebox::testing::Msg;

// The start of a `playing` for a track made by Track(), up to its cover.
QByteArray Titled(const QByteArray& title) { return Msg("playing[\"Al\",\"Ar\",\"" + title + "\",\"1:01\",\""); }
QByteArray Playing(const QByteArray& title) { return Titled(title) + "\",\"\",\"2\"]"; }

// A track whose id comes from its cover, else from its title.
QVariantMap Track(const QString& title, const QString& art = {})
{
    const QByteArray id = "/t/" + (art.isEmpty() ? title : art).toUtf8().toHex();
    return {{"mpris:trackid", QVariant::fromValue(QDBusObjectPath(QString::fromLatin1(id)))}, {"mpris:artUrl", art},
            {"xesam:album", "Al"}, {"xesam:artist", QStringList{"Ar"}}, {"xesam:title", title},
            {"mpris:length", qlonglong(61'000'000)}, {"xesam:trackNumber", 2}};
}

// The header of a 64 x 48 JPEG: all the bridge reads of a picture.
const QByteArray kJpeg("\xFF\xD8\xFF\xC0\x00\x11\x08\x00\x30\x00\x40\x03", 12);

const QString kPlayer = "org.mpris.MediaPlayer2.Player", kTrackList = "org.mpris.MediaPlayer2.TrackList";
const QString kProperties = "org.freedesktop.DBus.Properties", kPath = "/org/mpris/MediaPlayer2";

// An MPRIS player on its own bus connection: properties of any type, a track list, a crash.
class TestPlayer final : public QDBusVirtualObject {
public:
    TestPlayer(const QString& address, const QString& suffix)
        : name_("player-" + suffix), bus_(QDBusConnection::connectToBus(address, name_))
    {
        qDBusRegisterMetaType<QList<QDBusObjectPath>>();
        qDBusRegisterMetaType<QList<QVariantMap>>();
        EXPECT_TRUE(bus_.isConnected() && bus_.registerVirtualObject(kPath, this) &&
                    bus_.registerService("org.mpris.MediaPlayer2." + suffix)) << suffix.toStdString();
    }
    ~TestPlayer() override { Crash(); }
    // Tells all but Position in one PropertiesChanged, as players do.
    void Set(const QVariantMap& properties)
    {
        QVariantMap told = properties;
        player_.insert(properties);
        told.remove("Position");
        if (!told.isEmpty()) Signal(kProperties, "PropertiesChanged", {kPlayer, told, QStringList()});
    }
    void SetTracks(const QList<QVariantMap>& tracks)
    {
        tracks_ = tracks;
        player_["HasTrackList"] = true;
        for (const QVariantMap& track : tracks) ids_ << track.value("mpris:trackid").value<QDBusObjectPath>();
        Signal(kTrackList, "TrackListReplaced", {QVariant::fromValue(ids_), QVariant::fromValue(ids_[0])});
    }
    void Crash()
    {
        if (bus_.isConnected()) bus_.unregisterObject(kPath);
        bus_ = QDBusConnection(QString());
        QDBusConnection::disconnectFromBus(name_);
    }
    void Signal(const QString& interface, const QString& member, const QVariantList& args)
    {
        QDBusMessage signal = QDBusMessage::createSignal(kPath, interface, member);
        signal.setArguments(args);
        bus_.send(signal);
    }
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        const QString member = message.member(), property = message.arguments().value(1).toString();
        QVariant reply = QVariant::fromValue(tracks_); // GetTracksMetadata
        if (member == "GetAll") reply = player_; // the root's properties and the player's alike
        else if (member == "Get")
            reply = QVariant::fromValue(QDBusVariant(property == "Tracks" ? QVariant(QVariant::fromValue(ids_))
                                                                          : player_.value(property)));
        else if (member != "GetTracksMetadata")
            return connection.send(message.createErrorReply(QDBusError::UnknownMethod, member));
        return connection.send(message.createReply(reply));
    }

private:
    QString name_;
    QDBusConnection bus_;
    QVariantMap player_{{"PlaybackStatus", "Stopped"}, {"Metadata", QVariantMap{}}, {"Position", qlonglong(0)}};
    QList<QVariantMap> tracks_;
    QList<QDBusObjectPath> ids_;
};

struct WebServer {
    WebServer()
    {
        server_.listen(QHostAddress::LocalHost);
        const QByteArray ok = "HTTP/1.1 200 OK\r\nContent-Type: image/jpeg\r\n";
        const QByteArray moved = "HTTP/1.1 302 Found\r\nLocation: ";
        answers_ = {
            {"/good.jpg", ok + "Content-Length: 12\r\n\r\n" + kJpeg},
            {"/page.html", ok + "Content-Length: 30\r\n\r\n<html><body>cover</body></html>"},
            {"/huge", ok + "Content-Length: 10000000000\r\n\r\n\xFF\xD8\xFF"},
            {"/to-file", moved + "file:///etc/hostname\r\nContent-Length: 0\r\n\r\n"},
            {"/to-good", moved + Url("/good.jpg").toLatin1() + "\r\nContent-Length: 0\r\n\r\n"},
            {"/endless", ok + "\r\n" + QByteArray(17 << 20, '\xFF')}, // no length, and more than the cap
        };
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { Serve(socket); });
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    QString Url(const char* path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path);
    }
    int hangs = 0;

    void Serve(QTcpSocket* socket)
    {
        QByteArray& request = pending_[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n")) return;
        const QByteArray path = request.split(' ').value(1);
        pending_.erase(socket);
        if (path == "/hang") return void(++hangs); // never a word
        socket->write(answers_.count(path) ? answers_.at(path) : "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
    }

    QTcpServer server_;
    std::map<QByteArray, QByteArray> answers_;
    std::map<QTcpSocket*, QByteArray> pending_;
};

// A session bus, started with the first player; the bridge; a saver, handshake done.
class MprisBridge : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid()); // the owner's only, as a runtime folder must be
        env_.insert("DBUS_SESSION_BUS_ADDRESS", bus_.Address());
        env_.insert("XDG_CACHE_HOME", Path("cache"));
        env_.insert("XDG_RUNTIME_DIR", dir_.path());
        bridge_.setProcessEnvironment(env_);
        bridge_.setProcessChannelMode(QProcess::MergedChannels);
        bridge_.setStandardOutputFile(log_);
        bridge_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    }
    void TearDown() override
    {
        players_.clear();
        bridge_.terminate();
        if (!bridge_.waitForFinished(5000)) bridge_.kill();
        if (HasFailure())
            std::cerr << "bridge log:\n" << LogText(log_, {}, 0).toStdString() << "\nsaver:\n" << saver_.Describe();
    }
    QString Path(const QString& relative) const { return dir_.filePath(relative); }
    void Start(const QStringList& extra = {})
    {
        bridge_.start(PLX_MPRIS_BIN, QStringList{"--endpoint", Path("trivox.sock"), "--verbose"} + extra);
        ASSERT_TRUE(bridge_.waitForStarted(5000));
        ASSERT_TRUE(saver_.Connect(Path("trivox.sock")));
        saver_.Handshake();
    }
    bool StartBus() { return busUp_ = busUp_ || bus_.Start(); }
    TestPlayer& Player(const QString& suffix)
    {
        EXPECT_TRUE(StartBus());
        return *players_.emplace_back(std::make_unique<TestPlayer>(bus_.Address(), suffix));
    }
    bool Logged(const QString& text, int ms = 8000) const { return LogText(log_, text, ms).contains(text); }
    bool Running() { return bridge_.state() == QProcess::Running && !bridge_.waitForFinished(0); }

    QTemporaryDir dir_;
    const QString log_ = dir_.filePath("bridge.log");
    wendel::testing::SessionBus bus_{dir_.filePath("bus")};
    bool busUp_ = false;
    std::vector<std::unique_ptr<TestPlayer>> players_;
    QProcessEnvironment env_ = QProcessEnvironment::systemEnvironment();
    QProcess bridge_;
    jukebox::testing::LinkPeer saver_;
};

TEST_F(MprisBridge, ATrackListGivesPointerEntriesAndTimeAndCoversOnlyWhatTheSaverCanRead)
{
    TestPlayer& player = Player("lists");
    player.SetTracks({Track("One"), Track("Two"), Track("Three")});
    player.Set({{"Position", qlonglong(3'500'000)}, {"Metadata", Track("Two")}, {"PlaybackStatus", "Playing"}});
    Start();
    ASSERT_GE(saver_.WaitFor(Playing("Two")), 0);
    // 3.5 s in when the bridge read it; the saver may connect a moment later.
    const QByteArray time = saver_.Line(saver_.WaitFor(Msg("time[0:0")));
    EXPECT_GE(time.at(time.size() - 2), '3') << time.toStdString();
    ASSERT_TRUE(Logged("player org.mpris.MediaPlayer2.lists has a track list of 3 track(s)"));
    saver_.Send("SEND\tplx\tplaylist_getpointer\nSEND\tplx\tplaylist_getitem[ 3]\nSEND\tplx\tplaylist_getitem[ 4]\n");
    EXPECT_GE(saver_.WaitFor(Msg("playlist_pointer[2]")), 0);
    EXPECT_GE(saver_.WaitFor(Msg(R"(playlist_item["3","Al","Ar","Three","1:01","","1","1"])")), 0);
    EXPECT_GE(saver_.WaitFor(Msg(R"(playlist_item["4","","","","","","0","1"])")), 0);
    const qsizetype mark = saver_.Lines().size();
    player.Set({{"Position", qlonglong(0)}, {"Metadata", Track("Three")}});
    ASSERT_GE(saver_.WaitFor(Playing("Three"), mark), 0);
    saver_.Send("SEND\tplx\tplaylist_getpointer\n");
    EXPECT_GE(saver_.WaitFor(Msg("playlist_pointer[3]"), mark), 0);
    const std::pair<const char*, QByteArray> made[] = {
        {"My Cover.jpg", kJpeg}, {"Say \"Hi\".jpg", kJpeg}, {"notes.jpg", "text"}};
    for (const auto& [name, bytes] : made) {
        QFile file(Path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }
    ASSERT_EQ(::mkfifo(QFile::encodeName(Path("pipe.jpg")).constData(), 0600), 0);
    const QString base = QUrl::fromLocalFile(dir_.path()).toString(QUrl::FullyEncoded);
    const QString cache = Path("cache/wendelsaver/covers/");
    WebServer web;
    // A fetch that hangs goes first: the others do not wait for it, and
    // telling the same URL again starts no second fetch.
    player.Set({{"Metadata", Track("Hang", web.Url("/hang"))}});
    ASSERT_GE(saver_.WaitFor(Playing("Hang")), 0);
    player.Set({{"Metadata", Track("Hang again", web.Url("/hang"))}});
    ASSERT_GE(saver_.WaitFor(Playing("Hang again")), 0);
    // A local file as it is, or copied when the link cannot carry its path (a quote).
    for (const auto& [file, cover] : {std::pair{"/My%20Cover.jpg", Path("My Cover.jpg")}, {"/Say%20%22Hi%22.jpg", cache}}) {
        const qsizetype mark = saver_.Lines().size();
        player.Set({{"Metadata", Track(file, base + file)}});
        const QString got = QString::fromUtf8(saver_.Line(saver_.WaitFor(Titled(file), mark)).split('"').value(9));
        EXPECT_TRUE(got.startsWith(cover)) << file << ": " << got.toStdString();
    }
    // Anything else gives no cover; one fetched says why in the log.
    const qsizetype none = saver_.Lines().size();
    const std::pair<QString, const char*> bad[] = {
        {base + "/notes.jpg", ""}, {base + "/pipe.jpg", ""}, {base + "/missing.jpg", ""},
        {web.Url("/page.html"), "not a picture"}, {web.Url("/huge"), "announced 10000000000 bytes"},
        {web.Url("/endless"), "more than 16 MiB"}, {web.Url("/to-file"), "HTTP status 302"},
        {web.Url("/missing"), "HTTP status 404"},
    };
    for (const auto& [url, why] : bad) {
        player.Set({{"Metadata", Track(url, url)}});
        EXPECT_TRUE(*why ? Logged("no cover from " + url + ": " + why) : saver_.WaitFor(Titled(url.toUtf8()), none) >= 0)
            << url.toStdString();
    }
    // A good one, reached through a redirect: first without a cover, then with the cached copy.
    player.Set({{"Metadata", Track("Good", web.Url("/to-good"))}});
    EXPECT_GE(saver_.WaitFor(Playing("Good"), none), 0);
    const qsizetype covered = saver_.WaitFor(Titled("Good") + QFile::encodeName(cache), none);
    ASSERT_GE(covered, 0);
    // Every bad one gave its track an empty cover field, and only that.
    for (qsizetype i = none; i < covered; ++i) {
        const QByteArray line = saver_.Line(i);
        EXPECT_TRUE(!line.startsWith(Msg("playing[")) || line.contains(",\"1:01\",\"\",")) << line.toStdString();
    }
    // The hung fetch ends at its deadline, named by its own URL.
    EXPECT_TRUE(Logged("no cover from " + web.Url("/hang") + ": took longer than 5 s", 10000));
    EXPECT_EQ(web.hangs, 1);
    EXPECT_TRUE(Running());
}

TEST_F(MprisBridge, PinnedPlayersAreListedFollowedAndOneCrashes)
{
    TestPlayer &a = Player("a"), &b = Player("b.instance7");
    Player("c").Set({{"Metadata", Track("C")}, {"PlaybackStatus", "Playing"}});
    QProcess list;
    list.setProcessEnvironment(env_);
    list.start(PLX_MPRIS_BIN, {"--list"});
    // The players answer from this process's event loop.
    ASSERT_TRUE(wendel::testing::WaitUntil([&] { return list.state() == QProcess::NotRunning; }, 8000));
    const QByteArray out = list.readAllStandardOutput();
    EXPECT_EQ(list.exitCode(), 0);
    EXPECT_TRUE(out.contains("a\tStopped\n") && out.contains("b.instance7\tStopped\n") && out.contains("c\tPlaying\n"))
        << out.toStdString();
    // Pinned to a and b: c, playing all along, is never followed; a, playing, beats b, idle but later.
    Start({"--player", "a,b"});
    b.Set({{"Metadata", Track("B two")}, {"PlaybackStatus", "Paused"}});
    a.Set({{"Metadata", Track("A one")}, {"PlaybackStatus", "Playing"}});
    const qsizetype at = saver_.WaitFor(Playing("A one"));
    ASSERT_GE(at, 0);
    // A crashes while playing: the board stops, then shows B, paused.
    a.Crash();
    const qsizetype stop = saver_.WaitFor(Msg("playlist_stop[]"), at);
    ASSERT_GE(stop, 0);
    ASSERT_GE(saver_.WaitFor(Msg("playlist_pause[]"), stop), 0);
    EXPECT_EQ(saver_.Lines().mid(stop + 1, 2), (QList<QByteArray>{Playing("B two"), Msg("playlist_pause[]")}));
    EXPECT_EQ(saver_.Describe().find("\"C\""), std::string::npos);
    EXPECT_TRUE(Running());
}

TEST_F(MprisBridge, ASessionBusLateOrLostIsWaitedForAndPlayersOfWrongTypesOutlasted)
{
    Start();
    ASSERT_TRUE(Logged("no session bus at "));
    // Nothing to say yet: the board keeps waiting for the jukebox.
    EXPECT_LT(saver_.WaitFor("", 0, 1200), 0);
    ASSERT_TRUE(StartBus());
    ASSERT_GE(saver_.WaitFor(Msg("playlist_stop[]")), 0);
    TestPlayer& player = Player("late");
    const QVariantMap rude{{"xesam:artist", "Solo"}, {"mpris:artUrl", 17}};
    player.Set({{"PlaybackStatus", "Playing"}, {"Metadata", rude}});
    const qsizetype play = saver_.WaitFor(Msg("playlist_play[]"));
    ASSERT_GE(play, 0);
    EXPECT_EQ(saver_.Line(play + 1), Msg(R"(playing["","Solo","","","","",""])"));
    player.Set({{"Metadata", "not a dictionary"}});
    player.Set({{"PlaybackStatus", 7}});
    player.Set({{"PlaybackStatus", "Dancing"}});
    player.Signal(kProperties, "PropertiesChanged", {1, 2, 3});
    player.Signal(kPlayer, "Seeked", {"soon"});
    // After all of it, a good change still comes through, and nothing before it.
    player.Set({{"Metadata", Track("Fine")}});
    const qsizetype fine = saver_.WaitFor(Playing("Fine"), play + 2);
    ASSERT_GE(fine, 0);
    for (qsizetype i = play + 2; i < fine; ++i)
        EXPECT_TRUE(saver_.Line(i).startsWith(Msg("time["))) << saver_.Line(i).toStdString();
    // Without a track list, the track that plays is entry 1.
    saver_.Send("SEND\tplx\tplaylist_getpointer\nSEND\tplx\tplaylist_getitem[ 1]\n");
    EXPECT_GE(saver_.WaitFor(Msg("playlist_pointer[1]"), fine), 0);
    EXPECT_GE(saver_.WaitFor(Msg(R"(playlist_item["1","Al","Ar","Fine","1:01","","1","1"])"), fine), 0);
    // The bus goes away: the board stops at once, and the bridge looks again.
    bus_.Stop();
    EXPECT_GE(saver_.WaitFor(Msg("playlist_stop[]"), fine), 0);
    EXPECT_TRUE(Running());
}

} // namespace
} // namespace plxmpris
