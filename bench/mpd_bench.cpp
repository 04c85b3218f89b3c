// From MPD's track change to the saver's board updated, through the real
// plx-mpd bridge: this program is the saver (the real session and link, as
// wendelsaver /s runs them) and moves MPD on itself, as `mpc next` does.
//
//   mpd_bench N
//       N track changes (MPD_HOST names MPD; TRIVOX_ENDPOINT the bridge);
//       prints the median and p95 ms from `next` to the new track's title
//       and cover painted, and to its "playing" reaching the saver's link
//
// MPD plays a queue of at least two songs with repeat on; every song's
// folder holds its own cover, so each change loads a cover.
#include "BenchPorts.h"
#include "SaverSession.h"
#include "SaverWindow.h"
#include "Trivox.h"
#include "link/Link.h"

#include <QApplication>
#include <QElapsedTimer>

#include <mpd/client.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace wendel;

// The real link, with a note of each "playing" once the saver has handled it.
class WatchedLink final : public Link {
public:
    WatchedLink(std::unique_ptr<Link> inner, std::function<void()> onArrival, std::function<void()> onPlaying)
        : inner_(std::move(inner)), onArrival_(std::move(onArrival)), onPlaying_(std::move(onPlaying))
    {
    }
    void OpenDevice(const std::string& d, const std::string& t, int a, int b, int c) override
    {
        inner_->OpenDevice(d, t, a, b, c);
    }
    void SendCommand(const std::string& d, const std::string& c) override { inner_->SendCommand(d, c); }
    void SetMessageHandler(MessageHandler handler) override
    {
        inner_->SetMessageHandler([this, handler](const std::string& device, const std::string& message) {
            const bool playing = message.rfind("playing[", 0) == 0;
            if (playing) onArrival_();
            handler(device, message);
            if (playing) onPlaying_();
        });
    }

private:
    std::unique_ptr<Link> inner_;
    std::function<void()> onArrival_;
    std::function<void()> onPlaying_;
};

bool WaitFor(const std::function<bool()>& done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms) return false;
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    }
    return true;
}

int Run(int changes)
{
    mpd_connection* mpd = mpd_connection_new(nullptr, 0, 5000);
    if (!mpd || mpd_connection_get_error(mpd) != MPD_ERROR_SUCCESS) {
        std::fprintf(stderr, "mpd_bench: cannot reach MPD\n");
        return 1;
    }
    bench::LoudBoxes boxes("mpd_bench");
    bench::NoteExit process("mpd_bench");
    SaverSession* session = nullptr;
    int playings = 0;
    QElapsedTimer clock;
    std::vector<double> ms;
    std::vector<double> arrivals;
    auto link = std::make_unique<WatchedLink>(std::make_unique<Trivox>(), [&] {
        if (clock.isValid()) arrivals.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }, [&] {
        ++playings;
        if (!clock.isValid()) return;
        session->Window().repaint(); // synchronous: the cover is on screen when it returns
        ms.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        clock.invalidate();
    });
    SaverSession saver(boxes, process, qEnvironmentVariable("WENDELSAVER_INI").toStdString(), std::move(link));
    session = &saver;
    saver.Open();
    if (!WaitFor([&] { return playings > 0; }, 10000)) {
        std::fprintf(stderr, "mpd_bench: the bridge never said what plays\n");
        return 1;
    }
    for (int i = 0; i < changes; ++i) {
        WaitFor([] { return false; }, 300); // let the reveals and the next-entry fetch settle
        const int before = playings;
        clock.start();
        if (!mpd_run_next(mpd)) {
            std::fprintf(stderr, "mpd_bench: next failed: %s\n", mpd_connection_get_error_message(mpd));
            return 1;
        }
        if (!WaitFor([&] { return playings > before; }, 5000)) {
            std::fprintf(stderr, "mpd_bench: no playing after next\n");
            return 1;
        }
    }
    mpd_connection_free(mpd);
    if (saver.Saver().CoverLoadError != 0) {
        std::fprintf(stderr, "mpd_bench: a cover did not load (%d)\n", saver.Saver().CoverLoadError);
        return 1;
    }
    std::sort(ms.begin(), ms.end());
    std::sort(arrivals.begin(), arrivals.end());
    const auto p95 = static_cast<std::size_t>(std::max<double>(0, std::ceil(0.95 * static_cast<double>(ms.size())) - 1));
    std::printf("median_ms %.3f\np95_ms %.3f\n", ms[ms.size() / 2], ms[p95]);
    std::printf("arrival_median_ms %.3f\narrival_p95_ms %.3f\n", arrivals[ms.size() / 2], arrivals[p95]);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 2 || std::atoi(argv[1]) < 1) {
        std::fprintf(stderr, "usage: mpd_bench N\n");
        return 2;
    }
    return Run(std::atoi(argv[1]));
}
