#pragma once

// Which of the MPRIS players on the bus the board follows: the one that most
// recently started playing, else the one most recently active. Plain C++: the
// bus lives in MprisPlayer, so tests play the players' events by hand.

#include "Messages.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plxmpris {

inline constexpr std::string_view kBusPrefix = "org.mpris.MediaPlayer2.";

// The player's name: the bus name after kBusPrefix ("vlc.instance42").
std::string_view ShortName(std::string_view busName);

// As `playerctl -p` matches: NAME picks org.mpris.MediaPlayer2.NAME and its
// instances (NAME.instance42); a comma-separated list picks any of them.
// An empty pattern picks every player.
bool MatchesPlayer(std::string_view busName, std::string_view pattern);

class Choice {
public:
    explicit Choice(std::string pattern = {}) : pattern_(std::move(pattern)) {}

    // A player appeared on the bus; it counts as active.
    void Seen(const std::string& busName);
    void Gone(const std::string& busName);
    void Status(const std::string& busName, jukebox::PlayState state);
    // Something else changed (its track, for instance).
    void Active(const std::string& busName);

    std::optional<std::string> Followed() const;
    const std::string& Pattern() const { return pattern_; }
    std::vector<std::string> Names() const;

private:
    struct Player {
        jukebox::PlayState state = jukebox::PlayState::Stopped;
        std::uint64_t started = 0; // when it last began to play
        std::uint64_t active = 0;
    };

    Player* Find(const std::string& busName);

    std::string pattern_;
    std::map<std::string, Player> players_;
    std::uint64_t clock_ = 0;
};

} // namespace plxmpris
