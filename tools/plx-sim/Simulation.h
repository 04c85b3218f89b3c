#pragma once

// The jukebox that plx-sim plays: a playlist on a simulated clock, the
// clients that talk to it, and the messages it owes each of them. It knows
// nothing of sockets or of Qt, so tests drive it by hand.

#include "Playlist.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plxsim {

inline constexpr const char* kCommandDevice = "plx";
inline constexpr const char* kMessageDevice = "plxr";

enum class PlayState { Stopped, Playing, Paused };

struct Options {
    double speed = 1.0;              // simulated seconds per real second
    std::int64_t pointerLagMs = 0;   // real time before the pointer follows a new entry
    bool startPlaying = true;
    bool loop = false;               // after the last entry, begin again
};

// One message for one client, to be sent as a MSG frame on kMessageDevice.
struct Outgoing {
    int client = 0;
    std::string message;

    bool operator==(const Outgoing&) const = default;
};
using Outbox = std::vector<Outgoing>;

// The texts of the messages. A double quote in a field becomes two single quotes.
std::string QuoteField(std::string_view field);
std::string PlayingMessage(const Entry& entry, std::size_t track);
std::string ItemMessage(int position, const Entry& entry);
std::string EmptyItemMessage(int position);

class Simulation {
public:
    Simulation(std::vector<Entry> entries, Options options);

    // Clients come and go; what each asked for dies with it.
    void Connect(int client);
    void Disconnect(int client);
    void Open(int client, std::string_view device, std::string_view type);
    // A command sent on kCommandDevice. Unknown commands are answered with nothing.
    Outbox Command(int client, std::string_view device, std::string_view command);

    // play, pause, stop, next, prev. Gives nothing for anything else; the
    // caller tells the user (and handles quit).
    Outbox Control(std::string_view verb, bool* known = nullptr);

    // Lets realMs of real time pass.
    Outbox Advance(std::int64_t realMs);
    // Real time until the next thing happens by itself; nothing when idle.
    std::optional<std::int64_t> RealMsUntilNextEvent() const;

    PlayState State() const { return state_; }
    int Position() const { return static_cast<int>(entry_) + 1; }
    int Pointer() const { return pointer_; }
    std::size_t TrackIndex() const { return track_; }
    std::int64_t ElapsedMs() const { return elapsedMs_; }

private:
    struct Client {
        bool listening = false; // opened kMessageDevice as type=devrx
        bool wantsItems = false;
        bool wantsTime = false;
    };

    void ToListeners(Outbox& out, const std::string& message) const;
    void ToItemListeners(Outbox& out, const std::string& message) const;
    void StartTrack(Outbox& out, std::size_t entry, std::size_t track);
    void Begin(Outbox& out, std::size_t entry, std::size_t track); // plays, announcing a state change
    void NextTrack(Outbox& out);
    void PreviousTrack(Outbox& out);
    std::int64_t TrackMs() const;
    std::string TimeMessage() const;

    std::vector<Entry> entries_;
    Options options_;
    std::map<int, Client> clients_;

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
