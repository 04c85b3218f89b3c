#include "Simulation.h"

#include <algorithm>
#include <cmath>

namespace plxsim {

namespace {

jukebox::Track TrackOf(const Entry& entry, std::size_t track)
{
    const Track& t = entry.tracks.at(track);
    const int number = entry.wholeAlbum ? static_cast<int>(track) + 1 : entry.number;
    return {entry.album, entry.artist, t.title, FormatLength(t.seconds), entry.cover, std::to_string(number)};
}

jukebox::Entry EntryOf(const Entry& entry)
{
    return {entry.album,  entry.artist, entry.title, FormatLength(entry.Seconds()),
            entry.cover, static_cast<int>(entry.tracks.size()), entry.wholeAlbum};
}

} // namespace

std::string PlayingMessage(const Entry& entry, std::size_t track)
{
    return jukebox::PlayingMessage(TrackOf(entry, track));
}

std::string ItemMessage(int position, const Entry& entry) { return jukebox::ItemMessage(position, EntryOf(entry)); }

Simulation::Simulation(std::vector<Entry> entries, Options options)
    : entries_(std::move(entries)), options_(options)
{
    if (options_.startPlaying && !entries_.empty()) {
        Outbox nobody;
        Begin(nobody, 0, 0);
    }
}

std::optional<jukebox::Track> Simulation::Current() const
{
    if (state_ == PlayState::Stopped || entries_.empty()) return std::nullopt;
    return TrackOf(entries_[entry_], track_);
}

std::optional<jukebox::Entry> Simulation::EntryAt(int position)
{
    if (position < 1 || position > static_cast<int>(entries_.size())) return std::nullopt;
    return EntryOf(entries_[static_cast<std::size_t>(position - 1)]);
}

Outbox Simulation::Control(std::string_view verb, bool* known)
{
    Outbox out;
    if (known) *known = true;
    if (entries_.empty()) return out;
    if (verb == "play") {
        if (state_ == PlayState::Stopped) {
            Begin(out, entry_, track_);
        } else if (state_ == PlayState::Paused) {
            state_ = PlayState::Playing;
            audience_.StateChanged(out, PlayState::Playing);
        }
    } else if (verb == "pause") {
        if (state_ == PlayState::Playing) {
            state_ = PlayState::Paused;
            audience_.StateChanged(out, PlayState::Paused);
        }
    } else if (verb == "stop") {
        if (state_ != PlayState::Stopped) {
            state_ = PlayState::Stopped;
            elapsedMs_ = 0;
            simRemainder_ = 0;
            audience_.StateChanged(out, PlayState::Stopped);
        }
    } else if (verb == "next") {
        NextTrack(out);
    } else if (verb == "prev") {
        PreviousTrack(out);
    } else if (known) {
        *known = false;
    }
    return out;
}

void Simulation::Begin(Outbox& out, std::size_t entry, std::size_t track)
{
    if (state_ != PlayState::Playing) {
        state_ = PlayState::Playing;
        audience_.StateChanged(out, PlayState::Playing);
    }
    StartTrack(out, entry, track);
}

void Simulation::StartTrack(Outbox& out, std::size_t entry, std::size_t track)
{
    // The pointer follows a new entry only after the lag, as a real jukebox's
    // does; a track change inside an album leaves it alone.
    const int target = static_cast<int>(entry) + 1;
    if (target != pointer_ || pointerDue_) {
        if (options_.pointerLagMs <= 0) {
            pointer_ = target;
            pointerDue_.reset();
        } else if (entry != entry_ || !pointerDue_) {
            pointerDue_ = realNow_ + options_.pointerLagMs;
        }
    }
    entry_ = entry;
    track_ = track;
    elapsedMs_ = 0;
    simRemainder_ = 0;
    audience_.TrackStarted(out, TrackOf(entries_[entry_], track_));
    SendTime(out);
}

void Simulation::NextTrack(Outbox& out)
{
    const Entry& entry = entries_[entry_];
    if (track_ + 1 < entry.tracks.size()) {
        Begin(out, entry_, track_ + 1);
    } else if (entry_ + 1 < entries_.size()) {
        Begin(out, entry_ + 1, 0);
    } else if (options_.loop) {
        Begin(out, 0, 0);
    } else if (state_ != PlayState::Stopped) {
        // The end of the playlist: it rests on the last entry.
        state_ = PlayState::Stopped;
        elapsedMs_ = 0;
        simRemainder_ = 0;
        audience_.StateChanged(out, PlayState::Stopped);
    }
}

void Simulation::PreviousTrack(Outbox& out)
{
    if (track_ > 0) Begin(out, entry_, track_ - 1);
    else if (entry_ > 0) Begin(out, entry_ - 1, 0);
    else Begin(out, 0, 0);
}

std::int64_t Simulation::TrackMs() const { return std::int64_t{entries_[entry_].tracks[track_].seconds} * 1000; }

void Simulation::SendTime(Outbox& out) const
{
    audience_.Time(out, FormatLength(static_cast<int>(elapsedMs_ / 1000)));
}

Outbox Simulation::Advance(std::int64_t realMs)
{
    Outbox out;
    if (realMs <= 0 || entries_.empty()) return out;
    realNow_ += realMs;
    if (pointerDue_ && realNow_ >= *pointerDue_) {
        pointer_ = static_cast<int>(entry_) + 1;
        pointerDue_.reset();
    }
    if (state_ != PlayState::Playing) return out;

    const double simulated = static_cast<double>(realMs) * options_.speed + simRemainder_;
    std::int64_t left = static_cast<std::int64_t>(std::floor(simulated));
    simRemainder_ = simulated - static_cast<double>(left);
    while (left > 0 && state_ == PlayState::Playing) {
        const std::int64_t toSecond = 1000 - elapsedMs_ % 1000;
        const std::int64_t toEnd = TrackMs() - elapsedMs_;
        const std::int64_t step = std::min({left, toSecond, toEnd});
        elapsedMs_ += step;
        left -= step;
        if (elapsedMs_ >= TrackMs()) {
            NextTrack(out);
            continue;
        }
        if (elapsedMs_ % 1000 == 0) {
            SendTime(out);
        }
    }
    if (pointerDue_ && realNow_ >= *pointerDue_) {
        pointer_ = static_cast<int>(entry_) + 1;
        pointerDue_.reset();
    }
    return out;
}

std::optional<std::int64_t> Simulation::RealMsUntilNextEvent() const
{
    std::optional<std::int64_t> next;
    if (pointerDue_) next = std::max<std::int64_t>(0, *pointerDue_ - realNow_);
    if (state_ == PlayState::Playing && !entries_.empty()) {
        const std::int64_t simMs = std::min(1000 - elapsedMs_ % 1000, TrackMs() - elapsedMs_);
        const auto realMs =
            static_cast<std::int64_t>(std::ceil((static_cast<double>(simMs) - simRemainder_) / options_.speed));
        next = next ? std::min(*next, realMs) : realMs;
    }
    return next;
}

} // namespace plxsim
