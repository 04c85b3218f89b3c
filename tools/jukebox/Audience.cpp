#include "Audience.h"

#include <charconv>

namespace jukebox {

namespace {

std::string_view TrimLeft(std::string_view text)
{
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    return text;
}

// "name[arg]" → name and arg; a command without brackets has no argument.
std::pair<std::string_view, std::string_view> SplitCommand(std::string_view command)
{
    const std::size_t open = command.find('[');
    if (open == std::string_view::npos) return {command, {}};
    std::string_view arg = command.substr(open + 1);
    if (!arg.empty() && arg.back() == ']') arg.remove_suffix(1);
    return {command.substr(0, open), arg};
}

std::optional<int> WholeNumber(std::string_view text)
{
    int value = 0;
    const auto [at, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || at != text.data() + text.size()) return std::nullopt;
    return value;
}

} // namespace

void Audience::Connect(int client) { clients_[client] = Client{}; }

void Audience::Disconnect(int client) { clients_.erase(client); }

void Audience::Open(int client, std::string_view device, std::string_view type)
{
    const auto found = clients_.find(client);
    if (found != clients_.end() && device == kMessageDevice && type == "type=devrx") found->second.listening = true;
}

Outbox Audience::Command(int client, std::string_view device, std::string_view command)
{
    Outbox out;
    const auto found = clients_.find(client);
    if (found == clients_.end() || device != kCommandDevice) return out;
    Client& c = found->second;
    const auto [name, arg] = SplitCommand(command);

    if (name == "notify_playing_item" && (arg == "on" || arg == "off")) {
        const bool was = c.wantsItems;
        c.wantsItems = arg == "on";
        // A newcomer learns at once what plays, so its board need not wait
        // for the next track.
        if (c.wantsItems && !was && c.listening) Present(out, client);
    } else if (name == "notify_playing_timecode" && (arg == "on" || arg == "off")) {
        c.wantsTime = arg == "on";
    } else if (name == "playlist_getpointer" && arg.empty()) {
        if (c.listening) out.push_back({client, "playlist_pointer[" + std::to_string(player_.Pointer()) + "]"});
    } else if (name == "playlist_getitem") {
        // "playlist_getitem[ 5]": the saver writes numbers with a blank before them.
        const std::optional<int> position = WholeNumber(TrimLeft(arg));
        if (!position || !c.listening) return out;
        const std::optional<Entry> entry = player_.EntryAt(*position);
        out.push_back({client, entry ? ItemMessage(*position, *entry) : EmptyItemMessage(*position)});
    }
    return out;
}

void Audience::Present(Outbox& out, int client) const
{
    if (!player_.Present()) return;
    const std::optional<Track> track = player_.Current();
    const PlayState state = player_.State();
    if (state == PlayState::Stopped || !track) {
        out.push_back({client, "playlist_stop[]"});
        return;
    }
    out.push_back({client, PlayingMessage(*track)});
    if (state == PlayState::Paused) out.push_back({client, "playlist_pause[]"});
}

void Audience::StateChanged(Outbox& out, PlayState state) const
{
    static constexpr const char* kMessages[] = {"playlist_stop[]", "playlist_play[]", "playlist_pause[]"};
    const char* message = kMessages[static_cast<int>(state)];
    for (const auto& [id, client] : clients_)
        if (client.listening) out.push_back({id, message});
}

void Audience::TrackStarted(Outbox& out, const Track& track) const
{
    const std::string message = PlayingMessage(track);
    for (const auto& [id, client] : clients_)
        if (client.listening && client.wantsItems) out.push_back({id, message});
}

void Audience::Time(Outbox& out, std::string_view clock) const
{
    const std::string message = "time[" + std::string(clock) + "]";
    for (const auto& [id, client] : clients_)
        if (client.listening && client.wantsTime) out.push_back({id, message});
}

void Audience::Show(Outbox& out, const Showing& was, const Showing& now, bool fresh) const
{
    if (now.state == PlayState::Stopped || !now.track) {
        if (was.state != PlayState::Stopped || fresh) StateChanged(out, PlayState::Stopped);
        return;
    }
    const bool fromStopped = was.state == PlayState::Stopped || !was.track;
    if (fromStopped && now.state == PlayState::Playing) StateChanged(out, PlayState::Playing);
    const bool trackChanged = fromStopped || fresh || was.track != now.track;
    if (trackChanged) TrackStarted(out, *now.track);
    // A `playing` shows the play icon, so a paused track says so again after it.
    if (!fromStopped && now.state != was.state) StateChanged(out, now.state);
    else if (now.state == PlayState::Paused && trackChanged) StateChanged(out, PlayState::Paused);
}

} // namespace jukebox
