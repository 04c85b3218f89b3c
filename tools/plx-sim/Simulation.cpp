#include "Simulation.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace plxsim {

namespace {

std::string Quoted(const std::vector<std::string>& fields)
{
    std::string text;
    for (const std::string& field : fields) text += (text.empty() ? "\"" : ",\"") + QuoteField(field) + "\"";
    return text;
}

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

} // namespace

std::string QuoteField(std::string_view field)
{
    std::string text;
    for (char c : field) {
        if (c == '"') text += "''";
        else text += c;
    }
    return text;
}

std::string PlayingMessage(const Entry& entry, std::size_t track)
{
    const Track& t = entry.tracks.at(track);
    const int number = entry.wholeAlbum ? static_cast<int>(track) + 1 : entry.number;
    return "playing[" +
           Quoted({entry.album, entry.artist, t.title, FormatLength(t.seconds), entry.cover, "",
                   std::to_string(number)}) +
           "]";
}

std::string ItemMessage(int position, const Entry& entry)
{
    return "playlist_item[" +
           Quoted({std::to_string(position), entry.album, entry.artist, entry.title, FormatLength(entry.Seconds()),
                   entry.cover, std::to_string(entry.tracks.size()), entry.wholeAlbum ? "0" : "1"}) +
           "]";
}

std::string EmptyItemMessage(int position)
{
    return "playlist_item[" + Quoted({std::to_string(position), "", "", "", "", "", "0", "1"}) + "]";
}

Simulation::Simulation(std::vector<Entry> entries, Options options)
    : entries_(std::move(entries)), options_(options)
{
    if (options_.startPlaying && !entries_.empty()) {
        Outbox nobody;
        Begin(nobody, 0, 0);
    }
}

void Simulation::Connect(int client) { clients_[client] = Client{}; }

void Simulation::Disconnect(int client) { clients_.erase(client); }

void Simulation::Open(int client, std::string_view device, std::string_view type)
{
    if (device == kMessageDevice && type == "type=devrx") clients_[client].listening = true;
}

Outbox Simulation::Command(int client, std::string_view device, std::string_view command)
{
    Outbox out;
    const auto found = clients_.find(client);
    if (found == clients_.end() || device != kCommandDevice) return out;
    Client& c = found->second;
    const auto [name, arg] = SplitCommand(command);

    if (name == "notify_playing_item" && (arg == "on" || arg == "off")) {
        const bool was = c.wantsItems;
        c.wantsItems = arg == "on";
        // A newcomer learns at once what is playing, so its board need not
        // wait for the next track.
        if (c.wantsItems && !was && c.listening) {
            if (state_ == PlayState::Stopped) {
                out.push_back({client, "playlist_stop[]"});
            } else {
                out.push_back({client, PlayingMessage(entries_[entry_], track_)});
                if (state_ == PlayState::Paused) out.push_back({client, "playlist_pause[]"});
            }
        }
    } else if (name == "notify_playing_timecode" && (arg == "on" || arg == "off")) {
        c.wantsTime = arg == "on";
    } else if (name == "playlist_getpointer" && arg.empty()) {
        if (c.listening) out.push_back({client, "playlist_pointer[" + std::to_string(pointer_) + "]"});
    } else if (name == "playlist_getitem") {
        // "playlist_getitem[ 5]": the saver writes numbers with a blank before them.
        const std::string_view digits = TrimLeft(arg);
        int position = 0;
        const auto [at, error] = std::from_chars(digits.data(), digits.data() + digits.size(), position);
        if (digits.empty() || error != std::errc() || at != digits.data() + digits.size() || !c.listening) return out;
        if (position >= 1 && position <= static_cast<int>(entries_.size()))
            out.push_back({client, ItemMessage(position, entries_[static_cast<std::size_t>(position - 1)])});
        else
            out.push_back({client, EmptyItemMessage(position)});
    }
    return out;
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
            ToListeners(out, "playlist_play[]");
        }
    } else if (verb == "pause") {
        if (state_ == PlayState::Playing) {
            state_ = PlayState::Paused;
            ToListeners(out, "playlist_pause[]");
        }
    } else if (verb == "stop") {
        if (state_ != PlayState::Stopped) {
            state_ = PlayState::Stopped;
            elapsedMs_ = 0;
            simRemainder_ = 0;
            ToListeners(out, "playlist_stop[]");
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

void Simulation::ToListeners(Outbox& out, const std::string& message) const
{
    for (const auto& [id, client] : clients_)
        if (client.listening) out.push_back({id, message});
}

void Simulation::ToItemListeners(Outbox& out, const std::string& message) const
{
    for (const auto& [id, client] : clients_)
        if (client.listening && client.wantsItems) out.push_back({id, message});
}

void Simulation::Begin(Outbox& out, std::size_t entry, std::size_t track)
{
    if (state_ != PlayState::Playing) {
        state_ = PlayState::Playing;
        ToListeners(out, "playlist_play[]");
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
    ToItemListeners(out, PlayingMessage(entries_[entry_], track_));
    for (const auto& [id, client] : clients_)
        if (client.listening && client.wantsTime) out.push_back({id, TimeMessage()});
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
        ToListeners(out, "playlist_stop[]");
    }
}

void Simulation::PreviousTrack(Outbox& out)
{
    if (track_ > 0) Begin(out, entry_, track_ - 1);
    else if (entry_ > 0) Begin(out, entry_ - 1, 0);
    else Begin(out, 0, 0);
}

std::int64_t Simulation::TrackMs() const { return std::int64_t{entries_[entry_].tracks[track_].seconds} * 1000; }

std::string Simulation::TimeMessage() const
{
    return "time[" + FormatLength(static_cast<int>(elapsedMs_ / 1000)) + "]";
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
            for (const auto& [id, client] : clients_)
                if (client.listening && client.wantsTime) out.push_back({id, TimeMessage()});
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
