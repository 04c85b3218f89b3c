#pragma once

// How MPD's songs and queue become the link's messages. Plain C++: the MPD
// connection lives in MpdPlayer, so tests feed songs by hand.

#include "Messages.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plxmpd {

// A tag longer than this is cut (at a character boundary): a hostile tag
// costs bounded memory, and a `playing` stays far below the saver's limit.
inline constexpr std::size_t kMaxTagBytes = 4096;

// A queue song, as far as the board cares.
struct Song {
    std::string uri;
    std::string album;
    std::string albumArtist;
    std::string artist;
    std::string title;
    std::string track; // the Track tag: "3", "3/12", or empty
    std::optional<int> seconds; // nothing for a stream or an unknown duration
};

std::string ClipTag(std::string_view tag);
// The Title tag, or the file name without its folder and extension.
std::string TitleOf(const Song& song);
// "3/12" → "3"; "1" when the tag holds no number.
std::string TrackNumberOf(std::string_view tag);
std::string LengthOf(std::optional<int> seconds);
// The artist shown: Artist, else AlbumArtist.
std::string ArtistOf(const Song& song);

// Where MPD keeps the song's cover file (its folder) or embedded picture (the
// file). Nothing for a stream: MPD has no picture of it.
std::optional<std::string> FolderOf(const Song& song);

// `number` is the track's number in its playlist entry.
jukebox::Track TrackOf(const Song& song, std::string cover, std::string number);

// Consecutive queue songs that share a non-empty Album and AlbumArtist
// (falling back to Artist) form a run. With --albums each run of two or more
// songs is one whole-album entry; any other song is an entry of its own.
struct Run {
    int start = 0; // queue index of its first song
    int count = 0;
    std::int64_t seconds = 0;

    bool WholeAlbum() const { return count >= 2; }
};

class AlbumRuns {
public:
    // Songs in queue order. Only the last song's key is kept, so a queue of
    // any length costs a few numbers per run.
    void Add(const Song& song);
    std::size_t Size() const { return runs_.size(); }
    const Run& At(std::size_t index) const { return runs_[index]; }
    // The run holding the song at `queueIndex`; nothing past the end.
    std::optional<std::size_t> RunOf(int queueIndex) const;

private:
    std::vector<Run> runs_;
    std::string lastAlbum_;
    std::string lastArtist_;
};

// The playlist entry for position n, for a queue of single songs.
jukebox::Entry SongEntry(const Song& song);
// The playlist entry for a run, named after its first song.
jukebox::Entry RunEntry(const Song& first, const Run& run);

// The host and password in mpc's form "password@host" ("@name" is an abstract
// socket, not a password).
struct HostOption {
    std::string host;
    std::string password;
};
HostOption SplitHostOption(std::string_view text);

} // namespace plxmpd
