// Whatever PLX sends, the saver neither crashes nor reads outside a text, and
// a malformed message changes nothing at all once PLX has been heard.
#include "link/PlxRig.h"
#include "nowplaying/TextRules.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <random>
#include <regex>
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
    std::optional<bool> malformed; // nullopt: judged by QuotedFieldsFit below
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

// An independent statement of when the quoted fields of a short ASCII content
// can all be cut: each field skips one character, runs to the next double
// quote and takes one character after it; at least three characters remain
// for the last field.
std::optional<bool> Oracle(const std::string& message)
{
    if (message.size() > 1000) return std::nullopt;
    for (char c : message) {
        if (static_cast<unsigned char>(c) >= 0x80) return std::nullopt;
    }
    const auto fits = [&](std::size_t head, int count) {
        const std::regex shape("^(?:[\\s\\S][^\"]*\"[\\s\\S]){" + std::to_string(count) + "}[\\s\\S]{3,}$");
        return std::regex_match(message.size() > head ? message.substr(head) : "", shape);
    };
    if (message.starts_with("playing")) return !fits(8, 6);
    if (message.starts_with("playlist_item")) return !fits(14, 7);
    return std::nullopt;
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
    // Positions beyond 16 bits cannot be held, even in a field never shown;
    // huge texts without quotes, and huge valid ones handled like any other.
    const std::string megabyte(1 << 20, 'x');
    const Case huge[] = {
        {Playing({.album = std::string(40000, 'a')}), true, true},
        {Playing({.album = std::string(65540, 'a')}), true, true},
        {Playing({.unused = std::string(40000, 'u')}), true, true},
        {Entry({.title = std::string(40000, 't')}), false, true},
        {"playing[" + megabyte + "]", true, true},
        {"playlist_item[" + megabyte + "]", false, true},
        {"playlist_pointer[" + std::string(1 << 20, '9') + "]", false, true},
        {"playlist_pointer[" + std::string(1 << 20, '9') + "]", true, true},
        {megabyte, true, true},
        {std::string(1 << 20, '\0'), true, true},
        {"playlist_item[" + std::string(1 << 20, '"') + "]", false, false},
        {Playing({.title = "Long Unused", .unused = std::string(30000, 'u')}), true, false},
    };
    cases.insert(cases.end(), std::begin(huge), std::end(huge));
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
    int malformed = 0;
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
        const std::size_t nextInfoSet = plx.fake.board.captionHistory[Label::NextInfo].size();
        const std::size_t timeSet = plx.fake.board.captionHistory[Label::TrackTime].size();
        plx.Say(c.message);

        const std::optional<bool> oracle = Oracle(c.message);
        if (c.malformed && oracle) {
            EXPECT_EQ(*c.malformed, *oracle); // the explicit cases agree with the oracle
        }
        if (c.malformed.value_or(oracle.value_or(false))) {
            ++malformed;
            EXPECT_TRUE(State(plx) == before);
        } else if (c.message.starts_with("playing")) {
            EXPECT_EQ(plx.fake.saver.LastPlaying, c.message);
        } else if (c.message.starts_with("playlist_item") && !c.wantCurrent) {
            // Every way through ShowNextEntry sets NextInfo.
            EXPECT_GT(plx.fake.board.captionHistory[Label::NextInfo].size(), nextInfoSet);
        } else if (c.message.starts_with("time")) {
            EXPECT_GT(plx.fake.board.captionHistory[Label::TrackTime].size(), timeSet);
        }
    }
    EXPECT_GE(malformed, 200);
    EXPECT_GE(cases.size() - static_cast<std::size_t>(malformed), 20u); // the random edits reach the valid side too
    EXPECT_EQ(plx.fake.process.exitCalls, 0);
    EXPECT_TRUE(plx.fake.boxes.shown.empty());
}

TEST(MalformedMessages, HugeValidMessagesKeepTheirMeaning)
{
    PlxRig plx;
    plx.Say(Playing({.title = "Huge Number", .trackNumber = std::string(1 << 20, '7')}));
    EXPECT_EQ(plx.Caption(Label::Track), "Huge Number");
    EXPECT_EQ(plx.fake.saver.PlayingTrackNumber, 0); // beyond 16 bits: not 1
    plx.Say("time[" + std::string(1 << 20, '1') + "]");
    EXPECT_EQ(plx.Caption(Label::TrackTime), std::string(1 << 20, '1') + " / 4:05");
    // The last field carries no position, so it may be as long as it likes.
    plx.Say("playlist_pointer[5]");
    plx.Say(Entry({.title = "Huge Number", .kind = std::string(1 << 20, '0')}));
    EXPECT_TRUE(plx.Visible(Label::AlbumNotice)); // a kind of 0, however written
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
