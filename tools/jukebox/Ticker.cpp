#include "Ticker.h"

namespace jukebox {

namespace {

// A timer may fire a little early; a second this close counts as reached.
constexpr std::int64_t kEarlyMs = 5;

} // namespace

Ticker::Ticker(QObject* parent, std::function<void(int)> tick) : QObject(parent), tick_(std::move(tick))
{
    setObjectName(QStringLiteral("ticker"));
    monotonic_.start();
    timer_.setObjectName(QStringLiteral("tickTimer"));
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] { Fire(); });
}

void Ticker::Set(std::int64_t elapsedMs, bool playing, bool announce)
{
    clock_.Set(elapsedMs, monotonic_.elapsed(), playing);
    if (!playing) {
        timer_.stop();
        return;
    }
    if (announce) lastSent_ = -1;
    Fire();
}

void Ticker::Stop()
{
    clock_.Set(0, monotonic_.elapsed(), false);
    timer_.stop();
}

void Ticker::Fire()
{
    const int seconds = clock_.SecondsAt(monotonic_.elapsed() + kEarlyMs);
    if (seconds != lastSent_) {
        lastSent_ = seconds;
        tick_(seconds);
    }
    Schedule();
}

void Ticker::Schedule()
{
    if (!clock_.Running()) return;
    const std::int64_t wait = clock_.MsUntilNextSecond(monotonic_.elapsed());
    timer_.start(static_cast<int>(wait));
}

} // namespace jukebox
