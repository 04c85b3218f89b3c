// The saver board, measured from inside: the same start-up as app/main.cpp
// with a watch on the board's paint events, and a session whose link is
// driven by this program.
//
//   board_bench first-paint
//       runs "/s" as wendelsaver does; prints ms from exec (see bench_exec)
//       to the board's first paint and the peak RSS then, and ends
//   board_bench latency N COVER_A COVER_B
//       N "playing" messages, alternating between two copies of a cover so
//       that each one is loaded; prints the median ms from the message to
//       the board updated: both reveals finished and the cover painted
//
// The settings come from WENDELSAVER_INI; the caller makes that file.

#include "BenchClock.h"
#include "BenchPorts.h"
#include "FirstPaint.h"

#include "DesktopPlatform.h"
#include "SaverSession.h"
#include "SaverWindow.h"
#include "app/Startup.h"
#include "link/Link.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace wendel;

// A link that the benchmark speaks through: whatever the saver sends is
// dropped, and Deliver raises MessageArrived.
class BenchLink final : public Link {
public:
    void OpenDevice(const std::string&, const std::string&, int, int, int) override {}
    void SendCommand(const std::string&, const std::string&) override {}
    void SetMessageHandler(MessageHandler handler) override { handler_ = std::move(handler); }
    void Deliver(const std::string& message) { handler_("plxr", message); }

private:
    MessageHandler handler_;
};

void Settle(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 5);
}

int FirstPaint(QApplication& app)
{
    DesktopPlatform platform;
    bench::FirstPaintReporter filter(
        [](QObject* watched) { return qobject_cast<SaverWindow*>(watched) != nullptr; });
    app.installEventFilter(&filter);
    if (!RunStartup("/s", platform, platform.Boxes())) {
        std::fprintf(stderr, "board_bench: the saver did not start (another instance?)\n");
        return 1;
    }
    return app.exec();
}

int Latency(int runs, const std::string& coverA, const std::string& coverB)
{
    bench::LoudBoxes boxes("board_bench");
    bench::NoteExit process("board_bench");
    auto link = std::make_unique<BenchLink>();
    BenchLink& bench = *link;
    SaverSession session(boxes, process, qEnvironmentVariable("WENDELSAVER_INI").toStdString(), std::move(link));
    session.Open();
    Settle(300);

    // Artist and title change every time, so both reveals run in full, and
    // the cover path changes, so the cover is loaded again.
    auto playing = [&](int run) {
        const std::string artist = run % 2 == 0 ? "Odd Numbers" : "Even Numbers";
        const std::string& cover = run % 2 == 0 ? coverA : coverB;
        return "playing[\"One Thousand\",\"" + artist + "\",\"Say When " + std::to_string(run) + "\",\"3:33\",\"" +
               cover + "\",\"\",\"1\"]";
    };
    bench.Deliver(playing(-1)); // the first message also hides the waiting text
    Settle(100);

    std::vector<double> ms;
    for (int run = 0; run < runs; ++run) {
        const std::string message = playing(run);
        QElapsedTimer clock;
        clock.start();
        bench.Deliver(message);
        session.Window().repaint(); // synchronous: the cover is on screen when it returns
        ms.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        Settle(50);
    }
    if (session.Saver().CoverLoadError != 0) {
        std::fprintf(stderr, "board_bench: the cover did not load (%d)\n", session.Saver().CoverLoadError);
        return 1;
    }
    std::sort(ms.begin(), ms.end());
    std::printf("latency_ms %.3f\n", ms[ms.size() / 2]);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const char* mode = argc > 1 ? argv[1] : "";
    if (std::strcmp(mode, "first-paint") == 0) return FirstPaint(app);
    if (std::strcmp(mode, "latency") == 0 && argc == 5) return Latency(std::max(1, std::atoi(argv[2])), argv[3], argv[4]);
    std::fprintf(stderr, "usage: board_bench first-paint | latency N COVER_A COVER_B\n");
    return 2;
}
