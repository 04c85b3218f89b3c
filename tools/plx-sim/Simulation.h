#pragma once

// The jukebox that plx-sim plays: a playlist on a simulated clock, the
// clients that talk to it, and the messages it owes each of them. It knows
// nothing of sockets or of Qt, so tests drive it by hand.

#include "Audience.h"
#include "Player.h"
#include "Playlist.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plxsim {

using jukebox::kCommandDevice;
using jukebox::kMessageDevice;
using jukebox::Outbox;
using jukebox::Outgoing;
using jukebox::PlayState;
using jukebox::QuoteField;

struct Options {
    double speed = 1.0;              // simulated seconds per real second
    std::int64_t pointerLagMs = 0;   // real time before the pointer follows a new entry
    bool startPlaying = true;
    bool loop = false;               // after the last entry, begin again
};

// The texts of the messages for the simulator's own playlist entries.
std::string PlayingMessage(const Entry& entry, std::size_t track);
std::string ItemMessage(int position, const Entry& entry);
using jukebox::EmptyItemMessage;

// The player behind plx-sim's server. The clients' bookkeeping is the
// serving layer's Audience; the simulation only says what happens.
class Simulation final : public jukebox::Player {
public:
    Simulation(std::vector<Entry> entries, Options options);

    // The savers that listen to it, for the server to feed.
    jukebox::Audience& Clients() { return audience_; }
    // Shorthands for the Audience's own calls.
    void Connect(int client) { audience_.Connect(client); }
    void Disconnect(int client) { audience_.Disconnect(client); }
    void Open(int client, std::string_view device, std::string_view type) { audience_.Open(client, device, type); }
    Outbox Command(int client, std::string_view device, std::string_view command)
    {
        return audience_.Command(client, device, command);
    }

    // play, pause, stop, next, prev. Gives nothing for anything else; the
    // caller tells the user (and handles quit).
    Outbox Control(std::string_view verb, bool* known = nullptr);

    // Lets realMs of real time pass.
    Outbox Advance(std::int64_t realMs);
    // Real time until the next thing happens by itself; nothing when idle.
    std::optional<std::int64_t> RealMsUntilNextEvent() const;

    // What the serving layer asks.
    PlayState State() const override { return state_; }
    std::optional<jukebox::Track> Current() const override;
    int Pointer() const override { return pointer_; }
    std::optional<jukebox::Entry> EntryAt(int position) override;

    int Position() const { return static_cast<int>(entry_) + 1; }
    std::size_t TrackIndex() const { return track_; }
    std::int64_t ElapsedMs() const { return elapsedMs_; }

private:
    void StartTrack(Outbox& out, std::size_t entry, std::size_t track);
    void Begin(Outbox& out, std::size_t entry, std::size_t track); // plays, announcing a state change
    void NextTrack(Outbox& out);
    void PreviousTrack(Outbox& out);
    std::int64_t TrackMs() const;
    void SendTime(Outbox& out) const;

    std::vector<Entry> entries_;
    Options options_;
    jukebox::Audience audience_{*this};

    PlayState state_ = PlayState::Stopped;
    std::size_t entry_ = 0;
    std::size_t track_ = 0;
    std::int64_t elapsedMs_ = 0;
    double simRemainder_ = 0; // fraction of a simulated millisecond not yet played

    std::int64_t realNow_ = 0;
    int pointer_ = 1;
    std::optional<std::int64_t> pointerDue_;
};

} // namespace plxsim
