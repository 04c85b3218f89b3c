#pragma once

// From a player's track change to the saver's board updated, through a real
// bridge: the calling program is the saver (the real session and link, as
// wendelsaver /s runs them) and moves its player on itself. Shared by the
// bridges' benchmarks.

#include "BenchPorts.h"
#include "CoverWait.h"
#include "SaverSession.h"
#include "SaverWindow.h"
#include "Trivox.h"
#include "link/Link.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace bench {

// The real link, with a note of each "playing" as it arrives and once the
// saver has handled it. `counts` picks the ones that are a new track.
class WatchedLink final : public wendel::Link {
public:
    WatchedLink(std::unique_ptr<wendel::Link> inner, std::function<bool(const std::string&)> counts,
                std::function<void()> onArrival, std::function<void()> onPlaying)
        : inner_(std::move(inner)), counts_(std::move(counts)), onArrival_(std::move(onArrival)),
          onPlaying_(std::move(onPlaying))
    {
    }
    void OpenDevice(const std::string& d, const std::string& t, int a, int b, int c) override
    {
        inner_->OpenDevice(d, t, a, b, c);
    }
    void SendCommand(const std::string& d, const std::string& c) override { inner_->SendCommand(d, c); }
    void SetConnectedHandler(ConnectedHandler handler) override { inner_->SetConnectedHandler(std::move(handler)); }
    void SetMessageHandler(MessageHandler handler) override
    {
        inner_->SetMessageHandler([this, handler](const std::string& device, const std::string& message) {
            const bool playing = message.rfind("playing[", 0) == 0 && counts_(message);
            if (playing) onArrival_();
            handler(device, message);
            if (playing) onPlaying_();
        });
    }

private:
    std::unique_ptr<wendel::Link> inner_;
    std::function<bool(const std::string&)> counts_;
    std::function<void()> onArrival_;
    std::function<void()> onPlaying_;
};

inline bool WaitFor(const std::function<bool()>& done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms) return false;
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    }
    return true;
}

using Moment = std::chrono::steady_clock::time_point;

// Prints NAME_median_ms and NAME_p95_ms (plain "median_ms" for an empty name).
inline void PrintSpread(const std::string& name, std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    const auto p95 = static_cast<std::size_t>(std::max<double>(0, std::ceil(0.95 * static_cast<double>(ms.size())) - 1));
    const std::string prefix = name.empty() ? std::string() : name + "_";
    std::printf("%smedian_ms %.3f\n%sp95_ms %.3f\n", prefix.c_str(), ms[ms.size() / 2], prefix.c_str(), ms[p95]);
}

// Makes `changes` track changes with `next` (false: it failed) and prints the
// median and p95 ms from each to the new track painted on the board, and to
// its "playing" reaching the saver's link. With `announced` (when the player
// last told the bus of a new track, as this program saw it) also from that
// moment to the board. 0, or 1 after saying why.
inline int TimeTrackChanges(const char* program, int changes, const std::function<bool()>& next,
                            const std::function<bool(const std::string&)>& counts =
                                [](const std::string&) { return true; },
                            const std::function<Moment()>& announced = {})
{
    LoudBoxes boxes(program);
    NoteExit process(program);
    int playings = 0;
    QElapsedTimer clock;
    std::vector<double> ms;
    std::vector<double> arrivals;
    std::vector<double> fromAnnounced;
    Moment asked;
    auto link = std::make_unique<WatchedLink>(std::make_unique<wendel::Trivox>(), counts, [&] {
        if (clock.isValid()) arrivals.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }, [&] { ++playings; });
    wendel::SaverSession saver(boxes, process, qEnvironmentVariable("WENDELSAVER_INI").toStdString(), std::move(link));
    saver.Open();
    if (!WaitFor([&] { return playings > 0; }, 10000)) {
        std::fprintf(stderr, "%s: the bridge never said what plays\n", program);
        return 1;
    }
    for (int i = 0; i < changes; ++i) {
        WaitFor([] { return false; }, 300); // let the reveals and the next-entry fetch settle
        const int before = playings;
        asked = std::chrono::steady_clock::now();
        clock.start();
        if (!next()) return 1;
        if (!WaitFor([&] { return playings > before; }, 5000)) {
            std::fprintf(stderr, "%s: no playing after next\n", program);
            return 1;
        }
        // The cover decodes off the GUI thread: the board is updated once it
        // is in its box and painted (repaint is synchronous).
        WaitForCoverDecode(saver.Saver());
        saver.Window().repaint();
        const Moment painted = std::chrono::steady_clock::now();
        ms.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        clock.invalidate();
        if (!announced) continue;
        const Moment told = announced();
        if (told > asked) fromAnnounced.push_back(std::chrono::duration<double, std::milli>(painted - told).count());
    }
    if (saver.Saver().CoverLoadError != 0) {
        std::fprintf(stderr, "%s: a cover did not load (%d)\n", program, saver.Saver().CoverLoadError);
        return 1;
    }
    PrintSpread("", ms);
    PrintSpread("arrival", arrivals);
    if (announced) {
        if (fromAnnounced.size() != ms.size()) {
            std::fprintf(stderr, "%s: the player's own word came after the board for some changes\n", program);
            return 1;
        }
        PrintSpread("announced", fromAnnounced);
    }
    return 0;
}

} // namespace bench
