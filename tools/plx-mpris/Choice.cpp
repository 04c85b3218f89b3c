#include "Choice.h"

namespace plxmpris {

std::string_view ShortName(std::string_view busName)
{
    if (busName.substr(0, kBusPrefix.size()) == kBusPrefix) busName.remove_prefix(kBusPrefix.size());
    return busName;
}

bool MatchesPlayer(std::string_view busName, std::string_view pattern)
{
    if (busName.substr(0, kBusPrefix.size()) != kBusPrefix) return false;
    if (pattern.empty()) return true;
    const std::string_view name = ShortName(busName);
    while (!pattern.empty()) {
        const std::size_t comma = pattern.find(',');
        const std::string_view wanted = pattern.substr(0, comma);
        if (!wanted.empty() && name.substr(0, wanted.size()) == wanted &&
            (name.size() == wanted.size() || name[wanted.size()] == '.'))
            return true;
        if (comma == std::string_view::npos) break;
        pattern.remove_prefix(comma + 1);
    }
    return false;
}

Choice::Player* Choice::Find(const std::string& busName)
{
    const auto found = players_.find(busName);
    return found == players_.end() ? nullptr : &found->second;
}

void Choice::Seen(const std::string& busName)
{
    if (!MatchesPlayer(busName, pattern_)) return;
    players_[busName].active = ++clock_;
}

void Choice::Gone(const std::string& busName) { players_.erase(busName); }

void Choice::Status(const std::string& busName, jukebox::PlayState state)
{
    Player* player = Find(busName);
    if (!player) return;
    if (state == jukebox::PlayState::Playing && player->state != jukebox::PlayState::Playing)
        player->started = clock_ + 1;
    player->state = state;
    player->active = ++clock_;
}

void Choice::Active(const std::string& busName)
{
    if (Player* player = Find(busName)) player->active = ++clock_;
}

std::optional<std::string> Choice::Followed() const
{
    const std::string* playing = nullptr;
    const std::string* active = nullptr;
    std::uint64_t started = 0;
    std::uint64_t latest = 0;
    for (const auto& [name, player] : players_) {
        if (player.state == jukebox::PlayState::Playing && player.started > started) {
            started = player.started;
            playing = &name;
        }
        if (player.active > latest) {
            latest = player.active;
            active = &name;
        }
    }
    if (playing) return *playing;
    if (active) return *active;
    return std::nullopt;
}

std::vector<std::string> Choice::Names() const
{
    std::vector<std::string> names;
    for (const auto& entry : players_) names.push_back(entry.first);
    return names;
}

} // namespace plxmpris
