#include "SaverTest.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <iostream>

namespace wendel::e2e {

SaverTest::SaverTest() : iniPath_(Path(QStringLiteral("settings/wendelsaver.ini"))) {}

void SaverTest::SetUp()
{
    ASSERT_TRUE(root_.isValid()) << root_.errorString();
    ASSERT_TRUE(QDir().mkpath(RuntimeDir()) && QDir().mkpath(Path(QStringLiteral("settings"))));
    ASSERT_TRUE(QFile::setPermissions(RuntimeDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    x_ = std::make_unique<XServer>(root_.path(), screenSize);
    ASSERT_TRUE(x_->IsRunning()) << x_->StartFailure();
}

void SaverTest::TearDown()
{
    if (HasFailure()) {
        for (const auto& process : processes_)
            std::cout << "--- " << process->Program() << ": " << process->Describe() << "\n" << process->Log();
        if (const std::optional<QByteArray> ini = ReadFile(iniPath_))
            std::cout << "--- settings file, escaped: " << ini->left(2000).toPercentEncoding(" '=!/:-.,").toStdString() << "\n";
    }
    while (!processes_.empty()) processes_.pop_back();
    x_.reset();
}

QProcessEnvironment SaverTest::SaverEnvironment() const
{
    QProcessEnvironment env = x_->ClientEnvironment();
    for (const QString& name : env.keys()) {
        if (name.startsWith(QLatin1String("QT_")) || name.startsWith(QLatin1String("XDG_")) ||
            name.startsWith(QLatin1String("WENDELSAVER_")) || name == QLatin1String("TRIVOX_ENDPOINT"))
            env.remove(name);
    }
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), RuntimeDir());
    env.insert(QStringLiteral("WENDELSAVER_INI"), iniPath_);
    // Were the override ever ignored, the user's own settings stay untouched.
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), Path(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), Path(QStringLiteral("cache")));
    return env;
}

Process& SaverTest::Start(const QString& program, const QStringList& args, const QProcessEnvironment& env)
{
    const QString log = Path(QStringLiteral("%1-%2.log").arg(QFileInfo(program).fileName()).arg(processes_.size()));
    processes_.push_back(std::make_unique<Process>(program, args, env, log));
    EXPECT_TRUE(processes_.back()->Started()) << program;
    return *processes_.back();
}

Process& SaverTest::StartBoard(const QByteArray& settings, std::optional<QProcessEnvironment> env,
                               const QString& program)
{
    EXPECT_TRUE(WriteFile(IniPath(), settings));
    Process& saver = Start(program, {QStringLiteral("/s")}, env.value_or(SaverEnvironment()));
    board = X().WaitForWindow(kBoardTitle);
    boardAt = board ? X().Geometry(*board).value_or(QRect()) : QRect();
    return saver;
}

Process& SaverTest::StartJukebox(const QByteArray& playlist, const QString& program)
{
    const QString path = Path(QStringLiteral("list-%1.plx").arg(processes_.size()));
    EXPECT_TRUE(WriteFile(path, playlist));
    Process& jukebox = Start(program, QStringList{QStringLiteral("--endpoint"), Endpoint(), QStringLiteral("--playlist"),
                                                  path, QStringLiteral("--verbose")},
                             SaverEnvironment());
    EXPECT_TRUE(jukebox.WaitForLog(QStringLiteral("listening on"))) << jukebox.Describe();
    return jukebox;
}

QString SaverTest::Cover(std::uint32_t colour)
{
    const QString path = Path(QStringLiteral("cover-%1.png").arg(colour, 6, 16, QLatin1Char('0')));
    QImage image(400, 400, QImage::Format_RGB32);
    image.fill(QColor::fromRgb(colour));
    EXPECT_TRUE(QFileInfo::exists(path) || image.save(path, "PNG")) << path;
    return path;
}

int SaverTest::BoardPixels(const QRect& part, std::uint32_t colour)
{
    const std::optional<QImage> screen = X().Screen();
    if (!board || !screen) return -1;
    return PixelsOf(*screen, part.translated(boardAt.topLeft()), colour);
}

bool SaverTest::BoardShows(const std::function<bool()>& check, Millis timeout)
{
    return PollUntil(timeout, check, Millis(50));
}

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

std::optional<QByteArray> ReadFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    return file.readAll();
}

bool MakeFlac(const QString& path, int seconds, const QList<QByteArray>& tags, const QString& picture)
{
    // 8 kHz mono 16-bit silence: tiny once FLAC has it.
    QStringList args{QStringLiteral("-s"), QStringLiteral("-f"), QStringLiteral("--force-raw-format"),
                     QStringLiteral("--endian=little"), QStringLiteral("--sign=signed"), QStringLiteral("--channels=1"),
                     QStringLiteral("--bps=16"), QStringLiteral("--sample-rate=8000"), QStringLiteral("-o"), path};
    for (const QByteArray& tag : tags) args << QStringLiteral("-T") << QString::fromUtf8(tag);
    if (!picture.isEmpty()) args << QStringLiteral("--picture=") + picture;
    return RunTool(QStringLiteral("flac"), args << QStringLiteral("-"), QProcessEnvironment::systemEnvironment(),
                   Millis(20000), QByteArray(seconds * 16000, '\0'))
        .has_value();
}

} // namespace wendel::e2e
