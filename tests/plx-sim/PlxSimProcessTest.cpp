// Runs the real plx-sim and talks to it over its socket.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include "EventLoopWait.h"
#include "support/Unprivileged.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <poll.h>
#include <unistd.h>

namespace {

bool WaitUntil(const std::function<bool()>& done, int ms = 5000)
{
    return wendel::testing::WaitUntil(done, ms);
}

// What plx-sim sees as a saver: a socket that sends frames and keeps the lines it gets.
class Saver {
public:
    explicit Saver(const QString& endpoint)
    {
        socket.connectToServer(endpoint);
        EXPECT_TRUE(socket.waitForConnected(3000));
    }
    void Send(const QByteArray& bytes)
    {
        socket.write(bytes);
        socket.flush();
    }
    void Handshake(bool wantTime = true)
    {
        Send("OPEN\tplx\ttype=devtx\t1\t1\t0\nOPEN\tplxr\ttype=devrx\t1\t1\t0\nSEND\tplx\tnotify_playing_item[on]\n");
        if (wantTime) Send("SEND\tplx\tnotify_playing_timecode[on]\n");
    }
    QByteArray Read() { return received += socket.readAll(); }
    bool WaitFor(const QByteArray& text) { return WaitUntil([&] { return Read().contains(text); }); }

    QLocalSocket socket;
    QByteArray received;
};

class PlxSimProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        QFile playlist(dir_.filePath("list.plx"));
        ASSERT_TRUE(playlist.open(QIODevice::WriteOnly));
        playlist.write("[track]\nartist = Ravens, The\nalbum = ...\ntitle = Say \"Hi\"\nlength = 0:30\ncover = a.jpg\n\n"
                       "[album]\nartist = Band\nalbum = Live\ntrack = 0:20 One\ntrack = 0:20 Two\n");
    }
    void TearDown() override
    {
        for (auto& process : processes_) {
            process->kill();
            process->waitForFinished(3000);
        }
    }
    QProcess& Start(const QStringList& extra = {})
    {
        processes_.push_back(std::make_unique<QProcess>());
        QProcess& process = *processes_.back();
        process.start(PLX_SIM_BIN, QStringList{"--endpoint", endpoint_, "--playlist", dir_.filePath("list.plx")} + extra);
        return process;
    }
    QProcess& Serve(const QStringList& extra = {})
    {
        QProcess& process = Start(extra);
        EXPECT_TRUE(WaitUntil([&] { return Output(process).contains("listening on"); })) << Output(process).toStdString();
        return process;
    }
    QString Output(QProcess& process)
    {
        return output_[&process] += QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
    }
    bool Ended(QProcess& process) { return WaitUntil([&] { return process.state() == QProcess::NotRunning; }); }

    QTemporaryDir dir_;
    const QString endpoint_ = dir_.filePath("trivox.sock");
    std::vector<std::unique_ptr<QProcess>> processes_;
    std::map<QProcess*, QString> output_;
};

TEST_F(PlxSimProcess, ServesSeveralSaversAndLogsEveryFrame)
{
    QProcess& sim = Serve({"--verbose", "--speed", "10"});
    const QByteArray playing = "MSG\tplxr\tplaying[\"...\",\"Ravens, The\",\"Say ''Hi''\",\"0:30\",\"" +
                               dir_.filePath("a.jpg").toUtf8() + "\",\"\",\"1\"]\n";
    Saver a(endpoint_), b(endpoint_);
    a.Handshake();
    b.Handshake(false);
    ASSERT_TRUE(a.WaitFor(playing));
    ASSERT_TRUE(b.WaitFor(playing));
    ASSERT_TRUE(a.WaitFor("MSG\tplxr\ttime[0:02]\n"));
    a.Send("SEND\tplx\tplaylist_getpointer\nSEND\tplx\tplaylist_getitem[ 2]\n");
    ASSERT_TRUE(a.WaitFor("MSG\tplxr\tplaylist_pointer[1]\n"));
    ASSERT_TRUE(a.WaitFor("MSG\tplxr\tplaylist_item[\"2\",\"Live\",\"Band\",\"One\",\"0:40\",\"\",\"2\",\"0\"]\n"));
    sim.write("pause\n"); // control from standard input reaches every saver
    ASSERT_TRUE(a.WaitFor("MSG\tplxr\tplaylist_pause[]\n"));
    ASSERT_TRUE(b.WaitFor("MSG\tplxr\tplaylist_pause[]\n"));
    EXPECT_FALSE(b.Read().contains("time[")); // it never asked for the time
    EXPECT_FALSE(b.Read().contains("playlist_pointer")); // nor for the pointer

    const QString log = Output(sim);
    EXPECT_TRUE(log.contains("#1 < SEND\tplx\tplaylist_getitem[ 2]")) << log.toStdString();
    EXPECT_TRUE(log.contains("#1 > MSG\tplxr\tplaylist_pointer[1]"));
    EXPECT_TRUE(log.contains("#2 < OPEN\tplxr\ttype=devrx\t1\t1\t0"));
    sim.write("quit\n");
    ASSERT_TRUE(Ended(sim));
    EXPECT_EQ(sim.exitCode(), 0);
    EXPECT_FALSE(QFile::exists(endpoint_));
}

TEST_F(PlxSimProcess, OwnsItsSocketReplacesAStaleOneAndNeverALiveOneOrAFile)
{
    // A socket file that nobody serves, as a crashed jukebox leaves behind.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray path = QFile::encodeName(endpoint_);
    std::memcpy(address.sun_path, path.constData(), static_cast<std::size_t>(path.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);

    QProcess& first = Serve();
    EXPECT_TRUE(Output(first).contains("replaced a stale socket"));
    struct stat info {};
    ASSERT_EQ(::lstat(path.constData(), &info), 0);
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
    EXPECT_EQ(info.st_mode & 077, 0u) << std::oct << info.st_mode; // the owner's only

    QProcess& second = Start();
    ASSERT_TRUE(Ended(second));
    EXPECT_EQ(second.exitCode(), 2);
    EXPECT_TRUE(Output(second).contains("already listening")) << Output(second).toStdString();
    Saver saver(endpoint_); // the first one still serves
    saver.Handshake();
    EXPECT_TRUE(saver.WaitFor("MSG\tplxr\tplaying["));

    const QString notes = dir_.filePath("notes.txt");
    QFile(notes).open(QIODevice::WriteOnly);
    QProcess& third = Start({"--endpoint", notes});
    ASSERT_TRUE(Ended(third));
    EXPECT_TRUE(Output(third).contains("not a socket"));
    EXPECT_TRUE(QFile::exists(notes));
}

TEST_F(PlxSimProcess, BadClientsNeverStopIt)
{
    QProcess& sim = Serve({"--verbose"});
    {
        Saver rude(endpoint_);
        QByteArray junk = "SEND\tplx\t" + QByteArray(1 << 20, 'x') + "\n";             // 1 MB line
        junk += QByteArray("SEND\tplx\tplaylist_get\0pointer\n", 29);                    // a NUL byte
        junk += "SEND\tplx\tplaylist_getitem[ \xff\xfe]\nHELLO\nSEND\tplx\nOPEN\tplxr\tx\n\n"; // bad UTF-8, junk
        junk += "SEND\tplx\tplaylist_getp";                                               // gone half-way
        rude.Send(junk);
        ASSERT_TRUE(WaitUntil([&] { return rude.socket.bytesToWrite() == 0; }));
    }
    for (int i = 0; i < 5; ++i) Saver brief(endpoint_); // connect and go at once

    Saver flood(endpoint_);
    QByteArray many = "OPEN\tplxr\ttype=devrx\t1\t1\t0\n";
    for (int i = 0; i < 10000; ++i) many += "SEND\tplx\tplaylist_getpointer\n";
    flood.Send(many);
    ASSERT_TRUE(WaitUntil([&] { return flood.Read().count('\n') >= 10000; }, 10000));

    Saver good(endpoint_);
    good.Handshake();
    good.Send("SEND\tplx\tplaylist_getpointer\n");
    EXPECT_TRUE(good.WaitFor("MSG\tplxr\tplaylist_pointer[1]\n"));
    EXPECT_EQ(sim.state(), QProcess::Running);
    EXPECT_TRUE(Output(sim).contains("bad line(s)")) << Output(sim).toStdString();
}

TEST_F(PlxSimProcess, ScriptDrivesItAndTerminateEndsItCleanly)
{
    QFile script(dir_.filePath("script"));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("# stop, then on to the album\n0.2 stop\n0.3 next\n");
    script.close();
    QProcess& sim = Serve({"--script", dir_.filePath("script")});
    ASSERT_TRUE(WaitUntil([&] { return Output(sim).contains("] stop\n") && Output(sim).contains("] next\n"); }));
    // Steps never fire before their time, or close steps could swap places.
    const auto loggedAt = [&](const char* verb) {
        const QRegularExpression line(QStringLiteral("\\[ *([0-9.]+)\\] %1\n").arg(QLatin1String(verb)));
        return line.match(Output(sim)).captured(1).toDouble();
    };
    EXPECT_GE(loggedAt("stop"), 0.2);
    EXPECT_GE(loggedAt("next"), 0.3);
    Saver saver(endpoint_);
    saver.Handshake();
    ASSERT_TRUE(saver.WaitFor("MSG\tplxr\tplaying[\"Live\",\"Band\",\"One\",\"0:20\",\"\",\"\",\"1\"]\n"));
    sim.terminate();
    ASSERT_TRUE(Ended(sim));
    EXPECT_EQ(sim.exitStatus(), QProcess::NormalExit);
    EXPECT_FALSE(QFile::exists(endpoint_));
}

// What a saver of user `nobody` hears from the jukebox within a second of
// its handshake: nothing, or an error when it cannot even connect. Raw system
// calls only, as it runs in a forked child.
::testing::AssertionResult StrangerHearsNothing(const QByteArray& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), static_cast<std::size_t>(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return ::testing::AssertionFailure() << "could not connect: errno " << errno;
    const char handshake[] = "OPEN\tplxr\ttype=devrx\t1\t1\t0\nSEND\tplx\tnotify_playing_item[on]\n";
    [[maybe_unused]] const ssize_t sent = ::send(fd, handshake, sizeof handshake - 1, MSG_NOSIGNAL);
    std::string heard;
    pollfd wait{fd, POLLIN, 0};
    char buffer[256];
    while (::poll(&wait, 1, 1000) > 0) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got <= 0) break; // cut off
        heard.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    if (!heard.empty()) return ::testing::AssertionFailure() << "another user heard: " << heard;
    return ::testing::AssertionSuccess();
}

TEST_F(PlxSimProcess, ServesOnlySaversOfItsOwnUser)
{
    if (!wendel::testing::RunningAsRoot()) GTEST_SKIP() << "another user's saver needs root to become that user";
    // A folder and a socket anyone may reach, so only the peer's credentials keep others out.
    ASSERT_EQ(::chmod(QFile::encodeName(dir_.path()).constData(), 0755), 0);
    QProcess& sim = Serve();
    const QByteArray path = QFile::encodeName(endpoint_);
    ASSERT_EQ(::chmod(path.constData(), 0666), 0);

    EXPECT_TRUE(wendel::testing::RunUnprivileged([&] { return StrangerHearsNothing(path); }));
    EXPECT_TRUE(WaitUntil([&] { return Output(sim).contains("ignored a connection from another user"); }))
        << Output(sim).toStdString();
    Saver own(endpoint_);
    own.Handshake();
    EXPECT_TRUE(own.WaitFor("MSG\tplxr\tplaying["));
    EXPECT_FALSE(Output(sim).contains("#2 connected")) << "the stranger was counted as a saver";
}

TEST_F(PlxSimProcess, RefusesBadOptionsClearly)
{
    QFile(dir_.filePath("broken.plx")).open(QIODevice::WriteOnly);
    const std::vector<std::pair<QStringList, QString>> cases = {
        {{"--speed", "0"}, "--speed must be"},
        {{"--pointer-lag", "-5"}, "--pointer-lag must be"},
        {{"--playlist", dir_.filePath("broken.plx")}, "broken.plx: the playlist has no entries"},
        {{"--script", dir_.filePath("missing")}, "missing"},
        {{"--sped", "2"}, "Unknown option 'sped'"},
        {{"--endpoint"}, "Missing value after '--endpoint'"},
        {{"stray"}, "unexpected argument stray"},
    };
    for (const auto& [args, says] : cases) {
        QProcess& process = Start(args);
        ASSERT_TRUE(Ended(process));
        EXPECT_EQ(process.exitCode(), 2);
        EXPECT_TRUE(Output(process).contains(says)) << Output(process).toStdString();
    }
    EXPECT_FALSE(QFile::exists(endpoint_));
}

} // namespace
