#pragma once

// Sends the running time once a second while the player plays, from the
// elapsed time the player last reported and a monotonic clock, so a bridge
// never polls its player for the time.

#include "RunningClock.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

namespace jukebox {

class Ticker final : public QObject {
public:
    // `tick` gets the whole seconds of the track.
    Ticker(QObject* parent, std::function<void(int seconds)> tick);

    // The player reported `elapsedMs` now. While playing the time goes out
    // at once when its second differs from the last one sent, or always
    // when `announce` (a new track, a seek).
    void Set(std::int64_t elapsedMs, bool playing, bool announce);
    void Stop();

private:
    void Fire();
    void Schedule();

    std::function<void(int)> tick_;
    QElapsedTimer monotonic_;
    RunningClock clock_;
    QTimer timer_;
    int lastSent_ = -1;
};

} // namespace jukebox
