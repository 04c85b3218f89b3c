// The saver under a Wayland compositor: weston, headless, drawing in
// software. Screenshots come from weston's own screenshooter, which --debug
// lets any client use.

#include "PeerProcess.h"
#include "SaverTest.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QSet>

#include <csignal>

namespace wendel::e2e {
namespace {

const QString kSocket = QStringLiteral("wendel-wayland-0");
constexpr int kWidth = 1024;
constexpr int kHeight = 768;

class WaylandTest : public SaverTest {
protected:
    QProcessEnvironment WaylandEnvironment() const
    {
        QProcessEnvironment env = SaverEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.insert(QStringLiteral("WAYLAND_DISPLAY"), kSocket);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
        return env;
    }

    // The newest screenshot, taken now; nothing when none could be taken.
    std::optional<QImage> Screenshot()
    {
        const QString folder = Path(QStringLiteral("shots"));
        QDir().mkpath(folder);
        QProcess shooter;
        DieWithParent(shooter);
        shooter.setProcessEnvironment(WaylandEnvironment());
        shooter.setWorkingDirectory(folder);
        shooter.start(QStringLiteral("weston-screenshooter"), {});
        if (!shooter.waitForFinished(5000) || shooter.exitCode() != 0) return std::nullopt;
        const QFileInfoList shots = QDir(folder).entryInfoList({QStringLiteral("*.png")}, QDir::Files, QDir::Time);
        if (shots.isEmpty()) return std::nullopt;
        QImage image(shots.front().filePath());
        for (const QFileInfo& shot : shots) QFile::remove(shot.filePath());
        if (image.isNull()) return std::nullopt;
        return image;
    }
};

TEST_F(WaylandTest, BackgroundOnShowsTheBoardOnBlack)
{
    QProcessEnvironment env = WaylandEnvironment();
    PeerProcess weston(QStringLiteral("weston"),
                       {QStringLiteral("--backend=headless-backend.so"), QStringLiteral("--use-pixman"),
                        QStringLiteral("--width=%1").arg(kWidth), QStringLiteral("--height=%1").arg(kHeight),
                        QStringLiteral("--socket=") + kSocket, QStringLiteral("--idle-time=0"), QStringLiteral("--debug")},
                       env, Path(QStringLiteral("weston.log")));
    const bool listening = PollUntil(AppearLimit(), [&] {
        return QFileInfo::exists(RuntimeDir() + QLatin1Char('/') + kSocket);
    });
    if (!weston.Started() || !listening) {
        GTEST_SKIP() << "weston cannot run here: " << weston.Log().right(2000).toStdString();
    }

    ASSERT_TRUE(WriteFile(IniPath(), "Custom Look = 2\r\nBackground = ON\r\n"));
    SaverProcess& saver = Launch({QStringLiteral("/s")}, env);
    const QRect board((kWidth - 641) / 2, (kHeight - 481) / 2, 641, 481);
    std::optional<QImage> shot;
    const bool shown = PollUntil(AppearLimit(), [&] {
        shot = Screenshot();
        if (!shot || shot->size() != QSize(kWidth, kHeight)) return false;
        QSet<QRgb> colours;
        for (int y = board.top(); y <= board.bottom(); y += 3) {
            for (int x = board.left(); x <= board.right(); x += 3) colours.insert(shot->pixel(x, y) & 0xFFFFFF);
        }
        const bool blackCorners = (shot->pixel(2, 2) & 0xFFFFFF) == 0 &&
                                  (shot->pixel(kWidth - 3, kHeight - 3) & 0xFFFFFF) == 0 &&
                                  (shot->pixel(board.left() - 5, board.center().y()) & 0xFFFFFF) == 0;
        return blackCorners && colours.size() > 20;
    }, Millis(100));
    EXPECT_TRUE(shown) << "the board is not on black; " << saver.Describe() << "\n" << saver.Log();
    if (!shown && shot) shot->save(Path(QStringLiteral("last-shot.png")));

    saver.Signal(SIGTERM);
    EXPECT_EQ(saver.WaitForExit(PromptExitLimit()), 0) << saver.Describe();
}

} // namespace
} // namespace wendel::e2e
