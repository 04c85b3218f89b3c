// How long a large cover takes from ShowAlbumCover to the screen, what it
// costs in memory, and how long an event posted as its decode starts waits
// (the decode runs off the GUI thread, so the answer should be at once).
//
//   cover_bench [cover.jpg]
//
// Without an argument it first draws a 4000 x 4000 JPEG in a child process,
// so that drawing it does not count towards this process's peak memory.
// Runs offscreen unless QT_QPA_PLATFORM says otherwise.

#include "CoverWait.h"
#include "SaverWindow.h"
#include "QtPictureLoader.h"
#include "QtSaverPorts.h"
#include "app/WendelSaverMain.h"
#include "ports/MessageBoxes.h"
#include "ports/ProcessControl.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace wendel;

// A photograph-like picture: soft gradients, shapes and grain, so that the
// JPEG has the entropy of a real scan and not of a flat test card.
int MakeCover(const char* path)
{
    QImage image(4000, 4000, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, 4000, 4000);
    gradient.setColorAt(0, QColor(20, 30, 90));
    gradient.setColorAt(1, QColor(230, 180, 60));
    painter.fillRect(image.rect(), gradient);
    QRandomGenerator random(4711);
    for (int i = 0; i < 400; ++i) {
        painter.setBrush(QColor::fromRgb(random.generate()));
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(QPointF(random.bounded(4000), random.bounded(4000)), random.bounded(300),
                            random.bounded(300));
    }
    painter.end();
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int grain = static_cast<int>(random.bounded(24)) - 12;
            const QRgb p = line[x];
            line[x] = qRgb(std::clamp(qRed(p) + grain, 0, 255), std::clamp(qGreen(p) + grain, 0, 255),
                           std::clamp(qBlue(p) + grain, 0, 255));
        }
    }
    QImageWriter writer(QString::fromLocal8Bit(path), "jpeg");
    writer.setQuality(90);
    return writer.write(image) ? 0 : 1;
}

bool MakeCoverInChild(const char* self, const std::string& path)
{
    const pid_t child = fork();
    if (child == 0) {
        execl(self, self, "--make", path.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

long PeakRssKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

class SilentBoxes final : public MessageBoxes {
public:
    MessageAnswer Show(const MessageBoxRequest& request) override
    {
        std::fprintf(stderr, "box: %s\n", request.text.c_str());
        return MessageAnswer::Ok;
    }
};

class NoExit final : public ProcessControl {
public:
    void Exit(int) override { std::fprintf(stderr, "the saver asked to end\n"); }
};

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == "--make") {
        QGuiApplication app(argc, argv);
        return MakeCover(argv[2]);
    }
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");

    QTemporaryDir folder;
    std::string cover = argc > 1 ? argv[1] : (folder.path() + QStringLiteral("/cover.jpg")).toStdString();
    if (argc <= 1 && !MakeCoverInChild(argv[0], cover)) {
        std::fprintf(stderr, "could not draw the test cover\n");
        return 1;
    }

    QApplication app(argc, argv);
    SaverWindow window;
    QtTimer dTimer("DTimer", {}), playIconTimer("PlayIconTimer", {}), imageErrorTimer("ImageErrorTimer", {});
    QtCursor cursor;
    SilentLink link;
    QtPictureLoader pictures;
    SilentBoxes boxes;
    NoExit process;
    WendelSaverMain saver(SaverPorts{window, dTimer, playIconTimer, imageErrorTimer, cursor, link, pictures,
                                     boxes, process},
                          "/nonexistent/wendelsaver.ini");
    window.onCoverDecoded = [&saver](int code) { saver.CoverDecoded(code); };
    window.show();
    QApplication::processEvents();
    const long baseKb = PeakRssKb();

    constexpr int kRuns = 10;
    std::vector<double> ms;
    std::vector<double> answerMs; // how long a posted event waits while the cover decodes
    for (int run = 0; run < kRuns; ++run) {
        saver.CoverRetryCount = 1; // not a repeat: every run loads afresh
        QElapsedTimer clock;
        clock.start();
        const std::int32_t code = saver.ShowAlbumCover(cover);
        QTimer::singleShot(0, &window, [&answerMs, &clock] {
            answerMs.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        });
        bench::WaitForCoverDecode(saver);
        window.repaint(); // synchronous: the cover is drawn when this returns
        ms.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        if (code != 0) {
            std::fprintf(stderr, "ShowAlbumCover gave %d\n", code);
            return 1;
        }
    }
    // The decode alone, to show where the time goes.
    std::vector<double> decodeMs;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer clock;
        clock.start();
        const DecodedPicture decoded = DecodePictureScaled(cover, {320, 320});
        decodeMs.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        if (decoded.code != 0) return 1;
    }
    std::sort(decodeMs.begin(), decodeMs.end());

    const double first = ms.front();
    std::vector<double> warm(ms.begin() + 1, ms.end());
    std::sort(warm.begin(), warm.end());
    std::printf("cover: %s (%lld bytes)\n", cover.c_str(),
                static_cast<long long>(QFileInfo(QString::fromStdString(cover)).size()));
    std::printf("ShowAlbumCover to shown: first %.1f ms, then median %.1f ms, max %.1f ms (%d runs)\n",
                first, warm[warm.size() / 2], warm.back(), kRuns - 1);
    std::printf("of which the scaled decode: median %.1f ms\n", decodeMs[decodeMs.size() / 2]);
    std::sort(answerMs.begin(), answerMs.end());
    std::printf("an event posted as the decode starts is handled after: median %.1f ms, max %.1f ms\n",
                answerMs[answerMs.size() / 2], answerMs.back());
    std::printf("peak RSS: %.1f MB (%.1f MB before the first cover)\n", PeakRssKb() / 1024.0,
                baseKb / 1024.0);
    return 0;
}
