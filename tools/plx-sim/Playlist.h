#pragma once

// The playlist file of plx-sim; its format is described in docs/plx-sim.md.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plxsim {

struct Track {
    std::string title;
    int seconds = 0;
};

struct Entry {
    bool wholeAlbum = false;
    std::string artist;
    std::string album;
    // A single track's title; for a whole album the title its playlist item
    // shows, by default the first track's.
    std::string title;
    std::string cover;
    int number = 1; // a single track's number on its album
    std::vector<Track> tracks; // one for a single track
    int line = 0;

    int Seconds() const;
};

struct Playlist {
    std::vector<Entry> entries;
    std::vector<std::string> errors; // "line N: why"; a playlist with errors is not played
};

// folder: where relative cover paths are taken from (the playlist's folder).
Playlist ParsePlaylist(std::string_view text, const std::string& folder);

// "m:ss" or "h:mm:ss", at least one second.
std::optional<int> ParseLength(std::string_view text);
// Minutes and seconds, minutes unbounded: 0:05, 4:05, 75:00.
std::string FormatLength(int seconds);

} // namespace plxsim
