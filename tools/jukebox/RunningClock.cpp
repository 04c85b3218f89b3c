#include "RunningClock.h"

#include <algorithm>

namespace jukebox {

void RunningClock::Set(std::int64_t elapsedMs, std::int64_t nowMs, bool running)
{
    elapsedMs_ = std::max<std::int64_t>(0, elapsedMs);
    setAt_ = nowMs;
    running_ = running;
}

std::int64_t RunningClock::ElapsedAt(std::int64_t nowMs) const
{
    return running_ ? elapsedMs_ + std::max<std::int64_t>(0, nowMs - setAt_) : elapsedMs_;
}

int RunningClock::SecondsAt(std::int64_t nowMs) const { return static_cast<int>(ElapsedAt(nowMs) / 1000); }

std::int64_t RunningClock::MsUntilNextSecond(std::int64_t nowMs) const
{
    return 1000 - ElapsedAt(nowMs) % 1000;
}

} // namespace jukebox
