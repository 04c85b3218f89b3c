#pragma once

// The savers connected to a jukebox, what each asked for, and so who gets
// which message. Plain C++: sockets live elsewhere, so tests drive it by hand.

#include "Messages.h"
#include "Player.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace jukebox {

// One message for one client, to be sent as a MSG frame on kMessageDevice.
struct Outgoing {
    int client = 0;
    std::string message;

    bool operator==(const Outgoing&) const = default;
};
using Outbox = std::vector<Outgoing>;

// What the board shows: the play state and, unless stopped, the track.
struct Showing {
    PlayState state = PlayState::Stopped;
    std::optional<Track> track;

    bool operator==(const Showing&) const = default;
};

class Audience {
public:
    explicit Audience(Player& player) : player_(player) {}

    // Clients come and go; what each asked for dies with it.
    void Connect(int client);
    void Disconnect(int client);
    void Open(int client, std::string_view device, std::string_view type);
    // A command sent on `device`; the answers it is owed. Unknown commands
    // and other devices are answered with nothing.
    Outbox Command(int client, std::string_view device, std::string_view command);

    // The player's events, added to `out` for whoever should hear them.
    void StateChanged(Outbox& out, PlayState state) const; // to every listener
    void TrackStarted(Outbox& out, const Track& track) const; // to those who asked for items
    // `clock` is the text between the brackets of time[...], e.g. "1:23".
    void Time(Outbox& out, std::string_view clock) const; // to those who asked for the time
    // What changed from `was` to `now`, in the order the board needs: play
    // before the track when starting from stopped, pause after it. `fresh`
    // (a player reached anew) tells even what did not change.
    void Show(Outbox& out, const Showing& was, const Showing& now, bool fresh) const;

    std::size_t Size() const { return clients_.size(); }

private:
    struct Client {
        bool listening = false; // opened kMessageDevice as type=devrx
        bool wantsItems = false;
        bool wantsTime = false;
    };

    void Present(Outbox& out, int client) const;

    Player& player_;
    std::map<int, Client> clients_;
};

} // namespace jukebox
