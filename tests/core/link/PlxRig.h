#pragma once

#include "fakes/FakeSaver.h"

#include <cstddef>
#include <string>
#include <vector>

namespace wendel::testing {

struct PlayingFields {
    std::string album = "Hits", artist = "Various", title = "Song", length = "4:05", cover = "/covers/a.jpg";
    std::string unused = "", trackNumber = "3";
};

struct EntryFields {
    std::string position = "5", album = "Live", artist = "Band", title = "Next Song", length = "3:00";
    std::string cover = "/covers/b.jpg", tracks = "12", kind = "1";
};

inline std::string Quoted(const std::vector<std::string>& fields)
{
    std::string text;
    for (const std::string& field : fields) text += (text.empty() ? "\"" : ",\"") + field + "\"";
    return text;
}

inline std::string Playing(const PlayingFields& f)
{
    return "playing[" + Quoted({f.album, f.artist, f.title, f.length, f.cover, f.unused, f.trackNumber}) + "]";
}

inline std::string Entry(const EntryFields& f)
{
    return "playlist_item[" +
           Quoted({f.position, f.album, f.artist, f.title, f.length, f.cover, f.tracks, f.kind}) + "]";
}

// A loaded saver window over fakes. Its settings are set as if read: the overlap in milliseconds and
// /covers/default.jpg as the default image. Of the covers, a.jpg and default.jpg show, locked.jpg is locked.
class PlxRig {
public:
    explicit PlxRig(float overlapMilliseconds = 2000)
    {
        fake.pictures.pictures = {{"/covers/a.jpg", {0, 300, 300}}, {"/covers/default.jpg", {0, 300, 300}},
                                  {"/covers/locked.jpg", {70, 0, 0}}};
        // The board as the layout starts it.
        for (Label label : {Label::Track, Label::ArtistAlbum, Label::TrackTime, Label::NextInfo}) {
            fake.board.SetVisible(label, true);
        }
        fake.board.SetCaption(Label::AlbumNotice, "[Album]");
        fake.saver.FormLoad();
        fake.saver.Settings().Overlap = overlapMilliseconds;
        fake.saver.Settings().DefaultImage = "/covers/default.jpg";
        fake.boxes.shown.clear(); // the one of the missing settings file
        seen_ = fake.link.Commands().size();
    }

    void Say(const std::string& message) { fake.link.Deliver("plxr", message); }

    void Current(const std::string& pointer, const EntryFields& entry)
    {
        Say("playlist_pointer[" + pointer + "]");
        Say(Entry(entry));
    }

    // The whole fetch after a "playing" message: the playing entry, the overlap, and the entry after it.
    void FetchNext(const std::string& pointer, const EntryFields& current, const EntryFields& next)
    {
        Current(pointer, current);
        if (fake.dTimer.enabled) fake.saver.DTimerTick();
        Current(pointer, next);
    }

    std::vector<std::string> NewCommands()
    {
        std::vector<std::string> sent = fake.link.Commands();
        sent.erase(sent.begin(), sent.begin() + static_cast<std::ptrdiff_t>(seen_));
        seen_ += sent.size();
        return sent;
    }

    std::string Caption(Label label) const { return fake.board.Caption(label); }
    bool Visible(Label label) const { return fake.board.IsVisible(label); }
    bool Visible(Picture picture) const { return fake.board.IsVisible(picture); }

    FakeSaver fake;

private:
    std::size_t seen_ = 0;
};

} // namespace wendel::testing
