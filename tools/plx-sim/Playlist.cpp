#include "Playlist.h"

#include <charconv>

namespace plxsim {

namespace {

std::string_view Trim(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

std::optional<int> Digits(std::string_view text)
{
    int value = 0;
    if (text.empty() || text.size() > 6) return std::nullopt;
    const auto [at, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || at != text.data() + text.size() || text.front() == '-' || text.front() == '+')
        return std::nullopt;
    return value;
}

std::string LineError(int line, const std::string& why) { return "line " + std::to_string(line) + ": " + why; }

std::string Resolve(std::string_view path, const std::string& folder)
{
    // An empty path stays empty: the entry has no cover.
    if (path.empty() || path.front() == '/' || folder.empty()) return std::string(path);
    return folder + "/" + std::string(path);
}

} // namespace

int Entry::Seconds() const
{
    int total = 0;
    for (const Track& track : tracks) total += track.seconds;
    return total;
}

std::optional<int> ParseLength(std::string_view text)
{
    int parts[3] = {0, 0, 0};
    int count = 0;
    while (true) {
        const std::size_t colon = text.find(':');
        if (count == 3) return std::nullopt;
        const auto part = Digits(text.substr(0, colon));
        if (!part) return std::nullopt;
        parts[count++] = *part;
        if (colon == std::string_view::npos) break;
        text.remove_prefix(colon + 1);
    }
    if (count < 2) return std::nullopt;
    if (parts[count - 1] > 59 || (count == 3 && parts[1] > 59)) return std::nullopt;
    const int seconds = count == 3 ? (parts[0] * 60 + parts[1]) * 60 + parts[2] : parts[0] * 60 + parts[1];
    if (seconds < 1) return std::nullopt;
    return seconds;
}

std::string FormatLength(int seconds)
{
    const int s = seconds % 60;
    return std::to_string(seconds / 60) + (s < 10 ? ":0" : ":") + std::to_string(s);
}

Playlist ParsePlaylist(std::string_view text, const std::string& folder)
{
    Playlist playlist;
    Entry* open = nullptr;
    bool titleGiven = false;
    int lineNumber = 0;

    const auto close = [&] {
        if (!open) return;
        if (open->tracks.empty()) {
            playlist.errors.push_back(LineError(open->line, open->wholeAlbum ? "an album needs at least one track"
                                                                             : "a track needs a length"));
        } else if (open->wholeAlbum && !titleGiven) {
            open->title = open->tracks.front().title;
        }
        open = nullptr;
    };

    while (!text.empty()) {
        const std::size_t lf = text.find('\n');
        const std::string_view raw = text.substr(0, lf);
        text.remove_prefix(lf == std::string_view::npos ? text.size() : lf + 1);
        ++lineNumber;
        const std::string_view line = Trim(raw);
        if (line.empty() || line.front() == '#') continue;

        if (line == "[track]" || line == "[album]") {
            close();
            playlist.entries.push_back({});
            open = &playlist.entries.back();
            open->wholeAlbum = line == "[album]";
            open->line = lineNumber;
            titleGiven = false;
            continue;
        }
        if (line.front() == '[') {
            playlist.errors.push_back(LineError(lineNumber, "unknown block " + std::string(line)));
            open = nullptr; // its keys would land in the wrong entry
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            playlist.errors.push_back(LineError(lineNumber, "expected key = value"));
            continue;
        }
        if (!open) {
            playlist.errors.push_back(LineError(lineNumber, "a key outside a [track] or [album] block"));
            continue;
        }
        const std::string_view key = Trim(line.substr(0, equals));
        const std::string_view value = Trim(line.substr(equals + 1));

        if (key == "artist") {
            open->artist = value;
        } else if (key == "album") {
            open->album = value;
        } else if (key == "cover") {
            open->cover = Resolve(value, folder);
        } else if (key == "title") {
            open->title = value;
            titleGiven = true;
            if (!open->wholeAlbum && !open->tracks.empty()) open->tracks.front().title = value;
        } else if (key == "number" && !open->wholeAlbum) {
            const auto number = Digits(value);
            if (!number) playlist.errors.push_back(LineError(lineNumber, "number must be a whole number"));
            else open->number = *number;
        } else if (key == "length" && !open->wholeAlbum) {
            const auto seconds = ParseLength(value);
            if (!seconds) {
                playlist.errors.push_back(LineError(lineNumber, "length must be m:ss or h:mm:ss, at least 0:01"));
            } else {
                open->tracks.assign(1, Track{open->title, *seconds});
            }
        } else if (key == "track" && open->wholeAlbum) {
            // "track = 4:05 Title": the length, one blank, the title.
            const std::size_t blank = value.find(' ');
            const auto seconds = ParseLength(value.substr(0, blank));
            if (!seconds || blank == std::string_view::npos) {
                playlist.errors.push_back(LineError(lineNumber, "expected track = m:ss title"));
            } else {
                open->tracks.push_back({std::string(Trim(value.substr(blank + 1))), *seconds});
            }
        } else {
            playlist.errors.push_back(LineError(lineNumber, "unknown key " + std::string(key) + " in " +
                                                              (open->wholeAlbum ? "[album]" : "[track]")));
        }
    }
    close();
    if (playlist.entries.empty() && playlist.errors.empty()) playlist.errors.push_back("the playlist has no entries");
    return playlist;
}

} // namespace plxsim
