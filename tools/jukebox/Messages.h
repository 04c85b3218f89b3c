#pragma once

// The texts a jukebox sends on the link, whatever player stands behind it.

#include <string>
#include <string_view>

namespace jukebox {

inline constexpr const char* kCommandDevice = "plx";
inline constexpr const char* kMessageDevice = "plxr";

enum class PlayState { Stopped, Playing, Paused };

// What `playing` carries: the track that plays (or is paused).
struct Track {
    std::string album;
    std::string artist;
    std::string title;
    std::string length; // "4:05", or empty when unknown
    std::string cover;  // a picture the saver can read, or empty
    std::string number; // its number in its album entry

    bool operator==(const Track&) const = default;
};

// What `playlist_item` carries: one entry of the player's playlist.
struct Entry {
    std::string album;
    std::string artist;
    std::string title;
    std::string length;
    std::string cover;
    int tracks = 1;
    bool wholeAlbum = false;

    bool operator==(const Entry&) const = default;
};

// A field as the saver reads it: a double quote becomes two single quotes,
// and TABs and line breaks become blanks, so a field never ends its frame.
std::string QuoteField(std::string_view field);

std::string PlayingMessage(const Track& track);
std::string ItemMessage(int position, const Entry& entry);
// For a position outside the playlist: the saver then hides "Up Next:".
std::string EmptyItemMessage(int position);

// m:ss, or h:mm:ss from an hour on: 0:05, 4:05, 1:02:03.
std::string FormatDuration(int seconds);

} // namespace jukebox
