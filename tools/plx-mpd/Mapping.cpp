#include "Mapping.h"

#include <algorithm>

namespace plxmpd {

std::string ClipTag(std::string_view tag)
{
    if (tag.size() <= kMaxTagBytes) return std::string(tag);
    std::size_t cut = kMaxTagBytes;
    // Back off UTF-8 continuation bytes, so no character is split.
    while (cut > 0 && (static_cast<unsigned char>(tag[cut]) & 0xC0) == 0x80) --cut;
    return std::string(tag.substr(0, cut));
}

std::string TitleOf(const Song& song)
{
    if (!song.title.empty()) return song.title;
    std::string_view name = song.uri;
    while (!name.empty() && name.back() == '/') name.remove_suffix(1);
    if (const std::size_t slash = name.rfind('/'); slash != std::string_view::npos) name.remove_prefix(slash + 1);
    if (const std::size_t dot = name.rfind('.'); dot != std::string_view::npos && dot > 0) name = name.substr(0, dot);
    return std::string(name);
}

std::string TrackNumberOf(std::string_view tag)
{
    std::size_t digits = 0;
    while (digits < tag.size() && digits < 9 && tag[digits] >= '0' && tag[digits] <= '9') ++digits;
    if (digits == 0) return "1";
    const std::size_t first = std::min(tag.find_first_not_of('0'), digits - 1); // "03" → "3", "0" stays
    return std::string(tag.substr(first, digits - first));
}

std::string LengthOf(std::optional<int> seconds)
{
    return seconds && *seconds > 0 ? jukebox::FormatDuration(*seconds) : std::string();
}

std::string ArtistOf(const Song& song) { return song.artist.empty() ? song.albumArtist : song.artist; }

std::optional<std::string> FolderOf(const Song& song)
{
    if (song.uri.find("://") != std::string::npos || song.uri.empty()) return std::nullopt;
    const std::size_t slash = song.uri.rfind('/');
    return slash == std::string::npos ? std::string() : song.uri.substr(0, slash);
}

jukebox::Track TrackOf(const Song& song, std::string cover, std::string number)
{
    return {song.album, ArtistOf(song), TitleOf(song), LengthOf(song.seconds), std::move(cover), std::move(number)};
}

void AlbumRuns::Add(const Song& song)
{
    const std::string& artist = song.albumArtist.empty() ? song.artist : song.albumArtist;
    const int index = runs_.empty() ? 0 : runs_.back().start + runs_.back().count;
    const bool joins = !runs_.empty() && !song.album.empty() && song.album == lastAlbum_ && artist == lastArtist_;
    if (!joins) runs_.push_back(Run{index, 0, 0});
    Run& run = runs_.back();
    ++run.count;
    run.seconds += song.seconds.value_or(0);
    lastAlbum_ = song.album;
    lastArtist_ = artist;
}

std::optional<std::size_t> AlbumRuns::RunOf(int queueIndex) const
{
    if (runs_.empty() || queueIndex < 0) return std::nullopt;
    // The last run that starts at or before the song.
    const auto after =
        std::upper_bound(runs_.begin(), runs_.end(), queueIndex, [](int index, const Run& run) { return index < run.start; });
    const Run& run = *(after - 1);
    if (queueIndex >= run.start + run.count) return std::nullopt;
    return static_cast<std::size_t>(after - 1 - runs_.begin());
}

jukebox::Entry SongEntry(const Song& song)
{
    return {song.album, ArtistOf(song), TitleOf(song), LengthOf(song.seconds), "", 1, false};
}

jukebox::Entry RunEntry(const Song& first, const Run& run)
{
    if (!run.WholeAlbum()) return SongEntry(first);
    const std::string& artist = first.albumArtist.empty() ? first.artist : first.albumArtist;
    return {first.album, artist, TitleOf(first), LengthOf(static_cast<int>(std::min<std::int64_t>(run.seconds, 1 << 30))),
            "", run.count, true};
}

HostOption SplitHostOption(std::string_view text)
{
    const std::size_t at = text.find('@');
    if (at == std::string_view::npos || at == 0) return {std::string(text), {}};
    return {std::string(text.substr(at + 1)), std::string(text.substr(0, at))};
}

} // namespace plxmpd
