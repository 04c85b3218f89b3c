#include "Messages.h"

#include <vector>

namespace jukebox {

namespace {

std::string Quoted(const std::vector<std::string_view>& fields)
{
    std::string text;
    for (const std::string_view field : fields) text += (text.empty() ? "\"" : ",\"") + QuoteField(field) + "\"";
    return text;
}

std::string TwoDigits(int value) { return (value < 10 ? "0" : "") + std::to_string(value); }

} // namespace

std::string QuoteField(std::string_view field)
{
    std::string text;
    text.reserve(field.size());
    for (const char c : field) {
        switch (c) {
        case '"': text += "''"; break;
        case '\t':
        case '\n':
        case '\r': text += ' '; break;
        default: text += c;
        }
    }
    return text;
}

std::string PlayingMessage(const Track& track)
{
    return "playing[" + Quoted({track.album, track.artist, track.title, track.length, track.cover, "", track.number}) +
           "]";
}

std::string ItemMessage(int position, const Entry& entry)
{
    return "playlist_item[" +
           Quoted({std::to_string(position), entry.album, entry.artist, entry.title, entry.length, entry.cover,
                   std::to_string(entry.tracks), entry.wholeAlbum ? "0" : "1"}) +
           "]";
}

std::string EmptyItemMessage(int position)
{
    return "playlist_item[" + Quoted({std::to_string(position), "", "", "", "", "", "0", "1"}) + "]";
}

std::string FormatDuration(int seconds)
{
    if (seconds < 0) seconds = 0;
    const int s = seconds % 60;
    const int m = seconds / 60 % 60;
    const int h = seconds / 3600;
    if (h == 0) return std::to_string(m) + ":" + TwoDigits(s);
    return std::to_string(h) + ":" + TwoDigits(m) + ":" + TwoDigits(s);
}

} // namespace jukebox
