// The real plx-sim, for what only its process shows: options and exit codes,
// control from standard input and a script, and a clean end.

#include "LinkPeer.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using jukebox::testing::Msg;

class PlxSimProcess : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (auto& process : processes_) {
            process->kill();
            process->waitForFinished(3000);
        }
    }
    void Write(const QString& name, const QByteArray& bytes)
    {
        QFile file(dir_.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }
    QProcess& Start(const QStringList& extra = {})
    {
        QProcess& process = *processes_.emplace_back(std::make_unique<QProcess>());
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.setStandardOutputFile(Output(process));
        process.start(PLX_SIM_BIN, QStringList{"--endpoint", endpoint_, "--playlist", dir_.filePath("list.plx")} + extra);
        return process;
    }
    QString Output(const QProcess& process) const { return dir_.filePath(QString::number(quintptr(&process))); }
    // What the process has said, once `text` is in it or after a while.
    QString Said(const QProcess& process, const QString& text = {})
    {
        QString said;
        wendel::testing::WaitUntil([&] {
            QFile file(Output(process));
            return file.open(QIODevice::ReadOnly) && (said = QString::fromUtf8(file.readAll())).contains(text);
        }, 8000);
        return said;
    }
    bool Ended(QProcess& process)
    {
        return wendel::testing::WaitUntil([&] { return process.state() == QProcess::NotRunning; }, 8000);
    }

    QTemporaryDir dir_;
    const QString endpoint_ = dir_.filePath("trivox.sock");
    std::vector<std::unique_ptr<QProcess>> processes_;
};

TEST_F(PlxSimProcess, RefusesBadStartsWithTwoFollowsItsScriptAndInputAndEndsCleanly)
{
    Write("list.plx", "[track]\nlength = 0:30\n\n[album]\nartist = Band\nalbum = Live\ncover = a.jpg\n"
                      "track = 0:20 One\ntrack = 0:20 Two\n");
    Write("script", "# stop, then on to the album\n0.2 stop\n0.3 next\n");
    Write("broken.plx", "");
    QProcess& sim = Start({"--script", dir_.filePath("script")});
    ASSERT_TRUE(Said(sim, "listening on").contains("listening on"));
    const std::pair<QStringList, QString> bad[] = {
        {{"--speed", "0"}, "--speed must be"},
        {{"--pointer-lag", "-5"}, "--pointer-lag must be"},
        {{"--playlist", dir_.filePath("broken.plx")}, "broken.plx: the playlist has no entries"},
        {{"--script", dir_.filePath("missing")}, "missing"},
        {{"--sped", "2"}, "Unknown option 'sped'"},
        {{"--endpoint"}, "Missing value after '--endpoint'"},
        {{"stray"}, "unexpected argument stray"},
        {{}, "already listening"}, // the server's refusals themselves: tests/jukebox
    };
    for (const auto& [args, says] : bad) {
        QProcess& process = Start(args);
        ASSERT_TRUE(Ended(process));
        EXPECT_EQ(process.exitCode(), 2);
        EXPECT_TRUE(Said(process).contains(says)) << Said(process).toStdString();
    }
    // Steps never fire before their time, or close steps could swap places.
    const QString said = Said(sim, "] next\n");
    for (const auto& [verb, at] : {std::pair{"stop", 0.2}, std::pair{"next", 0.3}}) {
        const QRegularExpression line(QStringLiteral("\\[ *([0-9.]+)\\] %1\n").arg(QLatin1String(verb)));
        EXPECT_GE(line.match(said).captured(1).toDouble(), at) << said.toStdString();
    }
    jukebox::testing::LinkPeer saver;
    ASSERT_TRUE(saver.Connect(endpoint_));
    saver.Handshake();
    // A cover's path is taken from the playlist's folder.
    const QByteArray cover = QFile::encodeName(dir_.filePath("a.jpg"));
    EXPECT_GE(saver.WaitFor(Msg(R"(playing["Live","Band","One","0:20",")" + cover + R"(","","1"])")), 0) << saver.Describe();
    sim.write("pause\n");
    EXPECT_GE(saver.WaitFor(Msg("playlist_pause[]")), 0) << saver.Describe();
    // Ended by a signal or by `quit`, it takes its socket with it.
    sim.terminate();
    ASSERT_TRUE(Ended(sim));
    EXPECT_EQ(sim.exitStatus(), QProcess::NormalExit);
    EXPECT_FALSE(QFile::exists(endpoint_));
    QProcess& again = Start();
    ASSERT_TRUE(Said(again, "listening on").contains("listening on"));
    again.write("quit\n");
    ASSERT_TRUE(Ended(again));
    EXPECT_EQ(again.exitCode(), 0);
    EXPECT_FALSE(QFile::exists(endpoint_));
}

} // namespace
