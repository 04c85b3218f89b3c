// The real plx-sim, for what only its process shows: options and exit codes,
// control from standard input and a script, and a clean end.

#include "LinkPeer.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <vector>

namespace {

using jukebox::testing::LinkPeer;
using jukebox::testing::Msg;

bool WaitUntil(const std::function<bool()>& done) { return wendel::testing::WaitUntil(done, 8000); }

class PlxSimProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        QFile playlist(dir_.filePath("list.plx"));
        ASSERT_TRUE(playlist.open(QIODevice::WriteOnly));
        playlist.write("[track]\nlength = 0:30\n\n[album]\nartist = Band\nalbum = Live\ncover = a.jpg\ntrack = 0:20 One\ntrack = 0:20 Two\n");
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
        QProcess& process = *processes_.emplace_back(std::make_unique<QProcess>());
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

TEST_F(PlxSimProcess, RefusesBadStartsWithTwoAndQuitsWithZero)
{
    QProcess& sim = Serve();
    QFile(dir_.filePath("broken.plx")).open(QIODevice::WriteOnly);
    QFile(dir_.filePath("notes.txt")).open(QIODevice::WriteOnly);
    const std::vector<std::pair<QStringList, QString>> cases = {
        {{"--speed", "0"}, "--speed must be"},
        {{"--pointer-lag", "-5"}, "--pointer-lag must be"},
        {{"--playlist", dir_.filePath("broken.plx")}, "broken.plx: the playlist has no entries"},
        {{"--script", dir_.filePath("missing")}, "missing"},
        {{"--sped", "2"}, "Unknown option 'sped'"},
        {{"--endpoint"}, "Missing value after '--endpoint'"},
        {{"stray"}, "unexpected argument stray"},
        {{}, "already listening"},
        {{"--endpoint", dir_.filePath("notes.txt")}, "not a socket"},
    };
    for (const auto& [args, says] : cases) {
        QProcess& process = Start(args);
        ASSERT_TRUE(Ended(process));
        EXPECT_EQ(process.exitCode(), 2);
        EXPECT_TRUE(Output(process).contains(says)) << Output(process).toStdString();
    }
    sim.write("quit\n");
    ASSERT_TRUE(Ended(sim));
    EXPECT_EQ(sim.exitCode(), 0);
    EXPECT_FALSE(QFile::exists(endpoint_));
}

TEST_F(PlxSimProcess, AScriptAndStandardInputDriveItAndTerminateEndsItCleanly)
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
    LinkPeer saver;
    ASSERT_TRUE(saver.Connect(endpoint_));
    saver.Handshake();
    // A cover's path is taken from the playlist's folder.
    const QByteArray cover = QFile::encodeName(dir_.filePath("a.jpg"));
    EXPECT_GE(saver.WaitFor(Msg(R"(playing["Live","Band","One","0:20",")" + cover + R"(","","1"])")), 0) << saver.Describe();
    sim.write("pause\n");
    EXPECT_GE(saver.WaitFor(Msg("playlist_pause[]")), 0) << saver.Describe();
    sim.terminate();
    ASSERT_TRUE(Ended(sim));
    EXPECT_EQ(sim.exitStatus(), QProcess::NormalExit);
    EXPECT_FALSE(QFile::exists(endpoint_));
}

} // namespace
