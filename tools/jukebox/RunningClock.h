#pragma once

// The running time of a track between two reports of the player: the elapsed
// time it last reported, carried on by a monotonic clock while it plays.

#include <cstdint>

namespace jukebox {

class RunningClock {
public:
    // The player reports `elapsedMs` at monotonic time `nowMs`.
    void Set(std::int64_t elapsedMs, std::int64_t nowMs, bool running);
    bool Running() const { return running_; }
    // Whole seconds of the track at `nowMs`.
    int SecondsAt(std::int64_t nowMs) const;
    // Milliseconds from `nowMs` to the next whole second of the track.
    std::int64_t MsUntilNextSecond(std::int64_t nowMs) const;

private:
    std::int64_t ElapsedAt(std::int64_t nowMs) const;

    std::int64_t elapsedMs_ = 0;
    std::int64_t setAt_ = 0;
    bool running_ = false;
};

} // namespace jukebox
