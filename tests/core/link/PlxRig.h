#pragma once

#include "fakes/FakeSaver.h"
#include "support/TempFolder.h"

#include <cstddef>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace wendel::testing {

// The texts PLX sends, built from their fields.
inline std::string Quoted(std::initializer_list<std::string> fields)
{
    std::string text;
    for (const std::string& field : fields) text += (text.empty() ? "\"" : ",\"") + field + "\"";
    return text;
}

struct PlayingFields {
    std::string album = "Hits";
    std::string artist = "Various";
    std::string title = "Song";
    std::string length = "4:05";
    std::string cover = "/covers/a.jpg";
    std::string unused = "";
    std::string trackNumber = "3";
};

inline std::string Playing(const PlayingFields& f)
{
    return "playing[" + Quoted({f.album, f.artist, f.title, f.length, f.cover, f.unused, f.trackNumber}) + "]";
}

struct EntryFields {
    std::string position = "5";
    std::string album = "Live";
    std::string artist = "Band";
    std::string title = "Next Song";
    std::string length = "3:00";
    std::string cover = "/covers/b.jpg";
    std::string tracks = "12";
    std::string kind = "1";
};

inline std::string Entry(const EntryFields& f)
{
    return "playlist_item[" +
           Quoted({f.position, f.album, f.artist, f.title, f.length, f.cover, f.tracks, f.kind}) + "]";
}

// A loaded saver window over fakes, with its settings file written first
// (or shared, see SettingsFile).
// Covers under /covers/ that a test names are shown; others are missing.
class PlxRig {
public:
    explicit PlxRig(const std::string& overlapSeconds = "2")
        : folder_(std::in_place), settingsFile_(WriteSettingsFile(*folder_, overlapSeconds)), fake(settingsFile_)
    {
        Load();
    }

    // Over a settings file that WriteSettingsFile wrote before, for callers
    // that make a rig per run and would otherwise spend it on the file system.
    struct SettingsFile {
        std::string path;
    };
    explicit PlxRig(const SettingsFile& settings) : settingsFile_(settings.path), fake(settingsFile_) { Load(); }

    static std::string WriteSettingsFile(const TempFolder& folder, const std::string& overlapSeconds)
    {
        const std::string file = folder.File("wendelsaver.ini");
        WriteBytes(file, "Custom Look = 1\r\nOverlap = " + overlapSeconds +
                             "\r\nBackground = OFF\r\nDefault Image = /covers/default.jpg\r\n");
        return file;
    }

    void Say(const std::string& message) { fake.link.Deliver("plxr", message); }

    // The commands sent since the last call.
    std::vector<std::string> NewCommands()
    {
        std::vector<std::string> sent;
        for (; seen_ < fake.link.calls.size(); ++seen_) {
            if (fake.link.calls[seen_].operation == "SendCommand") sent.push_back(fake.link.calls[seen_].text);
        }
        return sent;
    }

    // Runs the whole fetch for a playing item: pointer, playing entry, the
    // overlap, pointer again, and the entry after it.
    void FetchNext(const std::string& pointer, const EntryFields& current, const EntryFields& next)
    {
        Say("playlist_pointer[" + pointer + "]");
        Say(Entry(current));
        if (fake.dTimer.enabled) fake.saver.DTimerTick();
        Say("playlist_pointer[" + pointer + "]");
        Say(Entry(next));
    }

    std::string Caption(Label label) const { return fake.board.Caption(label); }
    bool Visible(Label label) const { return fake.board.IsVisible(label); }
    bool Visible(Picture picture) const { return fake.board.IsVisible(picture); }

private:
    void Load()
    {
        for (const char* cover : {"/covers/a.jpg", "/covers/c.jpg", "/covers/default.jpg"}) {
            fake.pictures.pictures[cover] = {0, 300, 300};
        }
        fake.pictures.pictures["/covers/locked.jpg"] = {70, 0, 0};
        // The board as the layout starts it.
        for (Label label : {Label::Track, Label::ArtistAlbum, Label::TrackTime, Label::Caption_Upnext,
                            Label::NextInfo, Label::NoPLX}) {
            fake.board.SetVisible(label, true);
        }
        fake.board.SetCaption(Label::Track, "WendelSaver PLX Screensaver");
        fake.board.SetCaption(Label::AlbumNotice, "[Album]");
        fake.board.SetCaption(Label::Caption_Upnext, "Up Next:");
        fake.board.SetCaption(Label::NoPLX, "Waiting for PLX to be Started");
        fake.saver.FormLoad();
        seen_ = fake.link.calls.size();
    }

    std::optional<TempFolder> folder_;
    std::string settingsFile_;
    std::size_t seen_ = 0;

public:
    FakeSaver fake;
};

} // namespace wendel::testing
