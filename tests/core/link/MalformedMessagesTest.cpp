// Whatever PLX sends, the saver neither crashes nor reads outside a text, and
// a message is either taken whole or changes nothing at all.
#include "link/PlxRig.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace wendel {
namespace {

using testing::Entry;
using testing::Playing;
using testing::PlxRig;

struct Case {
    std::string message;
    bool wantCurrent;
    std::optional<bool> malformed; // nullopt: either taken whole or changing nothing
};

// Everything a message could change; caption histories by size only.
auto State(const PlxRig& plx)
{
    const auto& f = plx.fake;
    const WendelSaverMain& w = f.saver;
    std::map<Label, std::size_t> captionsSet;
    for (const auto& [label, history] : f.board.captionHistory) captionsSet[label] = history.size();
    return std::make_tuple(f.board.captions, captionsSet, f.board.labelVisible, f.board.pictureVisible,
                           f.link.calls.size(), f.pictures.probed.size(), f.dTimer.enabled, f.dTimer.armedIntervals,
                           f.imageErrorTimer.enabled, f.imageErrorTimer.armedIntervals, f.playIconTimer.armedIntervals,
                           w.IsPlaying, w.WantCurrentEntry, w.AlbumNextShown, w.LastPlaying, w.TrackLength,
                           w.PlayingTitle, w.CoverPath, w.FieldEnd, w.PlayingTrackNumber, w.NextRetries,
                           w.CoverRetryCount);
}

// The text without its double quotes number `from` and on (all but one: only that one).
std::string DropQuotes(const std::string& text, std::size_t from, bool onlyOne = false)
{
    std::string out;
    std::size_t seen = 0;
    for (char c : text) {
        const std::size_t n = c == '"' ? seen++ : SIZE_MAX;
        if (n != SIZE_MAX && n >= from && (!onlyOne || n == from)) continue;
        out += c;
    }
    return out;
}

std::vector<Case> BuildCases()
{
    std::vector<Case> cases;
    const std::string playing = Playing({.title = "Other Song"});
    const std::string entry = Entry({.title = "Other Entry"});
    const std::string nonAscii = Playing({.album = "\xC3\x84rzte Live", .artist = "Die \xC3\x84rzte",
                                          .title = "\xE6\x9D\xB1\xE4\xBA\xAC", .cover = "/\xC3\xA9.jpg"});
    const std::string pointer = "playlist_pointer[12]";
    // Truncated at every byte, inside characters too: only the last closing character may go.
    for (std::size_t n = 0; n + 1 < playing.size(); ++n) cases.push_back({playing.substr(0, n), true, true});
    for (std::size_t n = 0; n + 1 < entry.size(); ++n) cases.push_back({entry.substr(0, n), n % 2 == 0, true});
    for (std::size_t n = 0; n + 1 < nonAscii.size(); ++n) cases.push_back({nonAscii.substr(0, n), true, true});
    for (std::size_t n = 0; n < 6; ++n) cases.push_back({std::string("time[1:23]").substr(0, n), true, true});
    for (std::size_t n = 0; n <= 18; ++n) {
        cases.push_back({pointer.substr(0, n), false, true});
        if (n <= 17) cases.push_back({pointer.substr(0, n), true, true});
    }
    // Quotes taken away: all from the n-th on, or only the n-th.
    for (std::size_t n = 0; n < 16; ++n) {
        if (n < 14) cases.push_back({DropQuotes(playing, n, true), true, std::nullopt});
        cases.push_back({DropQuotes(entry, n, true), n % 2 == 0, std::nullopt});
        if (n < 7) cases.push_back({DropQuotes(playing, n), true, true});
        if (n < 8) cases.push_back({DropQuotes(entry, n), false, true});
    }
    // Pointers that give nothing to count from when the entry after is wanted.
    for (const char* index : {"", "abc", "5x", "1 2", "- 1", "&H", ".", "1e", "\xEF\xBC\x95", "1e999"}) {
        cases.push_back({"playlist_pointer[" + std::string(index) + "]", false, true});
    }
    // As long as a frame may be: positions beyond 16 bits cannot be held, even
    // in a field never shown; the last field has no end to hold.
    const std::string huge(60000, 'x');
    const Case hugeCases[] = {
        {Playing({.album = std::string(40000, 'a')}), true, true},
        {Playing({.unused = std::string(40000, 'u')}), true, true},
        {Entry({.title = std::string(40000, 't')}), false, true},
        {"playing[" + huge + "]", true, true},
        {"playlist_item[" + huge + "]", false, true},
        {"playlist_pointer[" + std::string(60000, '9') + "]", false, true},
        {"playlist_pointer[" + std::string(60000, '9') + "]", true, true},
        {huge, true, true},
        {std::string(60000, '\0'), true, true},
        {"playlist_item[" + std::string(60000, '"') + "]", false, false},
        {Playing({.title = "Long Unused", .unused = std::string(30000, 'u')}), true, false},
        {Playing({.title = "Huge Number", .trackNumber = std::string(40000, '7')}), true, false},
        {Entry({.title = "Huge Kind", .kind = std::string(40000, '0')}), false, false},
        {"time[" + std::string(40000, '1') + "]", true, false},
    };
    cases.insert(cases.end(), std::begin(hugeCases), std::end(hugeCases));
    // Random edits of valid messages, and random bytes, from a fixed seed.
    std::mt19937 random(20261206);
    const std::string alphabet = "\"\",]a1 0\"";
    auto pick = [&](std::size_t bound) { return std::uniform_int_distribution<std::size_t>(0, bound - 1)(random); };
    for (int i = 0; i < 160; ++i) {
        std::string message = i % 2 ? playing : entry;
        for (std::size_t edits = 1 + pick(4); edits > 0; --edits) {
            const std::size_t at = 14 + pick(message.size() - 14);
            const char c = alphabet[pick(alphabet.size())];
            switch (pick(3)) {
            case 0: message.erase(at, 1); break;
            case 1: message.insert(at, 1, c); break;
            default: message[at] = c; break;
            }
        }
        cases.push_back({message, pick(2) == 0, std::nullopt});
    }
    for (int i = 0; i < 60; ++i) {
        std::string message = i < 40 ? (i % 2 ? "playing" : "playlist_item") : "playlist_pointer[";
        for (std::size_t b = pick(i < 40 ? 300 : 20); b > 0; --b) message += static_cast<char>(0x80 + pick(0x80));
        cases.push_back({message, i < 40, true}); // never a quote, never ASCII
    }
    return cases;
}

TEST(MalformedMessages, ChangeNothingAndNeverCrash)
{
    PlxRig plx;
    plx.Say(Playing({.title = "Song", .length = "4:05"}));
    plx.FetchNext("5", {.title = "Song"}, {.artist = "Band", .title = "Next Song"});
    plx.Say("time[0:01]");
    ASSERT_EQ(plx.Caption(Label::NextInfo), "Band - Next Song");

    const std::vector<Case> cases = BuildCases();
    int malformed = 0, taken = 0;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.message.substr(0, 120));
        // Vary what a message could wrongly switch: the play flag, a pending
        // pointer query, a pending cover retry.
        plx.fake.saver.WantCurrentEntry = c.wantCurrent;
        plx.fake.saver.IsPlaying = i % 2 == 0;
        plx.fake.dTimer.enabled = i % 3 == 0;
        plx.fake.imageErrorTimer.enabled = i % 5 == 0;
        const auto before = State(plx);
        auto& history = plx.fake.board.captionHistory;
        const std::size_t nextInfoSet = history[Label::NextInfo].size(), timeSet = history[Label::TrackTime].size();
        const std::size_t calls = plx.fake.link.calls.size();
        plx.Say(c.message);

        // What a message taken whole always leaves behind.
        const std::string& m = c.message;
        bool whole = plx.fake.link.calls.size() > calls;
        if (m.starts_with("playing")) whole = plx.fake.saver.LastPlaying == m;
        if (m.starts_with("playlist_item")) {
            whole = c.wantCurrent ? !plx.fake.saver.WantCurrentEntry : history[Label::NextInfo].size() > nextInfoSet;
        }
        if (m.starts_with("time")) whole = history[Label::TrackTime].size() > timeSet;
        const bool unchanged = State(plx) == before;
        EXPECT_EQ(unchanged, c.malformed.value_or(unchanged));
        EXPECT_TRUE(unchanged || whole);
        malformed += unchanged;
        taken += !unchanged;
    }
    EXPECT_GE(malformed, 200);
    EXPECT_GE(taken, 20); // the random edits reach the valid side too
    EXPECT_EQ(plx.fake.process.exitCalls, 0);
    EXPECT_TRUE(plx.fake.boxes.shown.empty());
}

TEST(MalformedMessages, RoutinesCalledWithFieldEndsThatDoNotFitDoNothing)
{
    PlxRig plx;
    plx.Say(Playing({}));
    const auto before = State(plx);
    const FieldEnds ends = plx.fake.saver.FieldEnd;
    // FieldEnd still describes the "playing" text; these texts are other ones.
    plx.fake.saver.ShowPlayingItem("\"A\"]");
    plx.fake.saver.CheckCurrentEntry("");
    plx.fake.saver.ShowNextEntry("\"x\"");
    plx.fake.saver.FieldEnd.fill(INT16_MIN);
    plx.fake.saver.ShowPlayingItem(Playing({}).substr(8));
    plx.fake.saver.ShowNextEntry(Entry({}).substr(14));
    plx.fake.saver.FieldEnd = ends;
    EXPECT_TRUE(State(plx) == before);
}

} // namespace
} // namespace wendel
