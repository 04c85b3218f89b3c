// Whatever PLX sends, the saver neither crashes nor reads outside a text, and
// a malformed message changes nothing at all once PLX has been heard.
#include "link/PlxRig.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <random>
#include <regex>
#include <string>
#include <vector>

namespace wendel {
namespace {

using testing::Entry;
using testing::EntryFields;
using testing::Playing;
using testing::PlayingFields;
using testing::PlxRig;

enum class Wanted { Current, Next };

struct Case {
    std::string name;
    std::string message;
    Wanted wanted = Wanted::Current;
    std::optional<bool> malformed; // nullopt: judged by QuotedFieldsFit below
};

// Everything a message could change, with caption histories by size only.
struct Snapshot {
    std::map<Label, std::string> captions;
    std::map<Label, std::size_t> captionsSet;
    std::map<Label, bool> labels;
    std::map<Picture, bool> pictures;
    std::size_t pictureChanges, linkCalls, probes;
    bool dTimer, playIconTimer, imageErrorTimer;
    std::size_t timerArmings;
    bool isPlaying, wantCurrentEntry, albumNextShown;
    std::string lastPlaying, trackLength, playingTitle, coverPath;
    std::array<std::int16_t, 7> fieldEnd;
    std::int16_t playingTrackNumber, nextRetries;
    std::int32_t coverRetryCount;

    bool operator==(const Snapshot&) const = default;

    static Snapshot Of(const PlxRig& plx)
    {
        const auto& f = plx.fake;
        Snapshot s{};
        s.captions = f.board.captions;
        for (const auto& [label, history] : f.board.captionHistory) s.captionsSet[label] = history.size();
        s.labels = f.board.labelVisible;
        s.pictures = f.board.pictureVisible;
        s.pictureChanges = f.board.pictureVisibilityHistory.size();
        s.linkCalls = f.link.calls.size();
        s.probes = f.pictures.probed.size();
        s.dTimer = f.dTimer.enabled;
        s.playIconTimer = f.playIconTimer.enabled;
        s.imageErrorTimer = f.imageErrorTimer.enabled;
        s.timerArmings = f.dTimer.armedIntervals.size() + f.playIconTimer.armedIntervals.size() +
                         f.imageErrorTimer.armedIntervals.size();
        const WendelSaverMain& w = f.saver;
        s.isPlaying = w.IsPlaying;
        s.wantCurrentEntry = w.WantCurrentEntry;
        s.albumNextShown = w.AlbumNextShown;
        s.lastPlaying = w.LastPlaying;
        s.trackLength = w.TrackLength;
        s.playingTitle = w.PlayingTitle;
        s.coverPath = w.CoverPath;
        s.fieldEnd = w.FieldEnd;
        s.playingTrackNumber = w.PlayingTrackNumber;
        s.nextRetries = w.NextRetries;
        s.coverRetryCount = w.CoverRetryCount;
        return s;
    }
};

// An independent statement of when the quoted fields of an ASCII content
// can all be cut: each field skips one character, runs to the next double
// quote and takes one character after it; at least three characters remain
// for the last field.
bool QuotedFieldsFit(const std::string& content, int count)
{
    const std::regex shape("^(?:[\\s\\S][^\"]*\"[\\s\\S]){" + std::to_string(count) + "}[\\s\\S]{3,}$");
    return std::regex_match(content, shape);
}

// Only for short ASCII messages: the regex recurses per character.
std::optional<bool> OracleFor(const std::string& message)
{
    if (message.size() > 1000) return std::nullopt;
    for (char c : message) {
        if (static_cast<unsigned char>(c) >= 0x80) return std::nullopt;
    }
    if (message.starts_with("playing")) return !QuotedFieldsFit(message.size() > 8 ? message.substr(8) : "", 6);
    if (message.starts_with("playlist_item")) {
        return !QuotedFieldsFit(message.size() > 14 ? message.substr(14) : "", 7);
    }
    return std::nullopt;
}

std::string WithoutQuotes(const std::string& text, std::size_t keep = 0)
{
    std::string out;
    std::size_t seen = 0;
    for (char c : text) {
        if (c == '"' && seen++ >= keep) continue;
        out += c;
    }
    return out;
}

std::string WithoutQuoteNumber(const std::string& text, std::size_t which)
{
    std::string out;
    std::size_t seen = 0;
    for (char c : text) {
        if (c == '"' && seen++ == which) continue;
        out += c;
    }
    return out;
}

std::vector<Case> BuildCases()
{
    std::vector<Case> cases;
    auto add = [&](std::string name, std::string message, Wanted wanted, std::optional<bool> malformed) {
        cases.push_back({std::move(name), std::move(message), wanted, malformed});
    };

    const std::string playing = Playing({.title = "Other Song"});
    const std::string entry = Entry({.title = "Other Entry"});
    const std::string nonAscii = Playing({.album = "\xC3\x84rzte Live", .artist = "Die \xC3\x84rzte",
                                          .title = "\xE6\x9D\xB1\xE4\xBA\xAC", .cover = "/\xC3\xA9.jpg"});

    // Truncated at every position: only the last closing character may go.
    for (std::size_t n = 0; n + 1 < playing.size(); ++n) {
        add("playing cut to " + std::to_string(n), playing.substr(0, n), Wanted::Current, true);
    }
    for (std::size_t n = 0; n + 1 < entry.size(); ++n) {
        add("item cut to " + std::to_string(n), entry.substr(0, n), n % 2 ? Wanted::Next : Wanted::Current, true);
    }
    for (std::size_t n = 0; n + 1 < nonAscii.size(); ++n) { // at every byte, inside characters too
        add("non-ASCII playing cut to byte " + std::to_string(n), nonAscii.substr(0, n), Wanted::Current, true);
    }
    const std::string time = "time[1:23]";
    for (std::size_t n = 0; n < 6; ++n) add("time cut to " + std::to_string(n), time.substr(0, n), Wanted::Current, true);
    const std::string pointer = "playlist_pointer[12]";
    for (std::size_t n = 0; n <= 18; ++n) {
        add("pointer cut to " + std::to_string(n), pointer.substr(0, n), Wanted::Next, true);
    }
    for (std::size_t n = 0; n <= 17; ++n) {
        add("pointer cut to " + std::to_string(n) + ", current", pointer.substr(0, n), Wanted::Current, true);
    }

    // Quotes taken away: all of them, all but the first few, or any one.
    add("playing without quotes", WithoutQuotes(playing), Wanted::Current, true);
    add("item without quotes", WithoutQuotes(entry), Wanted::Next, true);
    for (std::size_t keep = 0; keep < 6; ++keep) {
        add("playing with " + std::to_string(keep) + " quotes", WithoutQuotes(playing, keep), Wanted::Current, true);
    }
    for (std::size_t keep = 0; keep < 7; ++keep) {
        add("item with " + std::to_string(keep) + " quotes", WithoutQuotes(entry, keep), Wanted::Next, true);
    }
    for (std::size_t which = 0; which < 14; ++which) {
        add("playing without quote " + std::to_string(which), WithoutQuoteNumber(playing, which), Wanted::Current,
            std::nullopt);
    }
    for (std::size_t which = 0; which < 16; ++which) {
        add("item without quote " + std::to_string(which), WithoutQuoteNumber(entry, which),
            which % 2 ? Wanted::Next : Wanted::Current, std::nullopt);
    }

    // Pointers that give nothing to count from when the entry after is wanted.
    for (const char* index : {"", "abc", "5x", "1 2", "- 1", "&H", ".", "1e", "\xEF\xBC\x95", "1e999"}) {
        add(std::string("pointer ") + index, "playlist_pointer[" + std::string(index) + "]", Wanted::Next, true);
    }

    // Huge fields: positions beyond 16 bits cannot be held, even in a field
    // that is never shown.
    add("playing with a 40000-character album", Playing({.album = std::string(40000, 'a')}), Wanted::Current, true);
    add("playing with a 65540-character album", Playing({.album = std::string(65540, 'a')}), Wanted::Current, true);
    add("playing with a 40000-character unused field", Playing({.unused = std::string(40000, 'u')}),
        Wanted::Current, true);
    add("item with a 40000-character title", Entry({.title = std::string(40000, 't')}), Wanted::Next, true);
    const std::string megabyte(1 << 20, 'x');
    add("1 MB playing without quotes", "playing[" + megabyte + "]", Wanted::Current, true);
    add("1 MB item without quotes", "playlist_item[" + megabyte + "]", Wanted::Next, true);
    add("1 MB pointer, next", "playlist_pointer[" + std::string(1 << 20, '9') + "]", Wanted::Next, true);
    add("1 MB pointer, current", "playlist_pointer[" + std::string(1 << 20, '9') + "]", Wanted::Current, true);
    add("1 MB of no keyword", megabyte, Wanted::Current, true);
    add("1 MB of NUL bytes", std::string(1 << 20, '\0'), Wanted::Current, true);
    // Valid ones of that size are handled like any other.
    add("1 MB track number", Playing({.title = "Huge Number", .trackNumber = std::string(1 << 20, '7')}),
        Wanted::Current, false);
    add("1 MB time", "time[" + std::string(1 << 20, '1') + "]", Wanted::Current, false);
    add("1 MB of quotes", "playlist_item[" + std::string(1 << 20, '"') + "]", Wanted::Next, false);
    add("30000-character unused field", Playing({.title = "Long Unused", .unused = std::string(30000, 'u')}),
        Wanted::Current, false);

    // Random edits of valid messages, and random bytes, from a fixed seed.
    std::mt19937 random(20261206);
    const std::string alphabet = "\"\",]a1 0\"";
    auto pick = [&](std::size_t bound) { return std::uniform_int_distribution<std::size_t>(0, bound - 1)(random); };
    for (int i = 0; i < 160; ++i) {
        std::string message = i % 2 ? playing : entry;
        const int edits = 1 + static_cast<int>(pick(4));
        for (int e = 0; e < edits; ++e) {
            const std::size_t at = 14 + pick(message.size() - 14);
            switch (pick(3)) {
            case 0: message.erase(at, 1); break;
            case 1: message.insert(at, 1, alphabet[pick(alphabet.size())]); break;
            default: message[at] = alphabet[pick(alphabet.size())]; break;
            }
        }
        add("random edit " + std::to_string(i), message, pick(2) ? Wanted::Next : Wanted::Current, std::nullopt);
    }
    const char* const keywords[] = {"playing", "playlist_item"};
    for (int i = 0; i < 40; ++i) {
        std::string message = keywords[i % 2];
        const std::size_t length = pick(300);
        for (std::size_t b = 0; b < length; ++b) {
            message += static_cast<char>(0x80 + pick(0x80)); // never a quote, never ASCII
        }
        add("random bytes " + std::to_string(i), message, Wanted::Current, true);
    }
    for (int i = 0; i < 20; ++i) {
        std::string message = "playlist_pointer[";
        for (std::size_t b = pick(20); b > 0; --b) message += static_cast<char>(0x80 + pick(0x80));
        add("random pointer " + std::to_string(i), message + "]", Wanted::Next, true);
    }
    return cases;
}

// What a message that is not malformed must at least have done.
void ExpectHandled(const Case& c, const Snapshot& before, const PlxRig& plx)
{
    const Snapshot after = Snapshot::Of(plx);
    if (c.message.starts_with("playing")) {
        EXPECT_EQ(plx.fake.saver.LastPlaying, c.message) << c.name;
    } else if (c.message.starts_with("playlist_item") && c.wanted == Wanted::Next) {
        // Every way through ShowNextEntry sets NextInfo.
        EXPECT_GT(after.captionsSet.at(Label::NextInfo), before.captionsSet.at(Label::NextInfo)) << c.name;
    } else if (c.message.starts_with("time")) {
        EXPECT_GT(after.captionsSet.at(Label::TrackTime), before.captionsSet.at(Label::TrackTime)) << c.name;
    }
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
    int handled = 0;
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        // Vary what a message could wrongly switch: the play flag, a pending
        // pointer query, a pending cover retry.
        plx.fake.saver.WantCurrentEntry = c.wanted == Wanted::Current;
        plx.fake.saver.IsPlaying = i % 2 == 0;
        plx.fake.dTimer.enabled = i % 3 == 0;
        plx.fake.imageErrorTimer.enabled = i % 5 == 0;
        const Snapshot before = Snapshot::Of(plx);
        plx.Say(c.message);

        const std::optional<bool> oracle = OracleFor(c.message);
        const bool isMalformed = c.malformed ? *c.malformed : oracle.value_or(false);
        if (c.malformed && oracle) {
            EXPECT_EQ(*c.malformed, *oracle) << c.name; // the explicit cases agree with the oracle
        }
        if (isMalformed) {
            ++malformed;
            EXPECT_TRUE(Snapshot::Of(plx) == before) << c.name << ": " << c.message.substr(0, 120);
        } else {
            ++handled;
            ExpectHandled(c, before, plx);
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(malformed, 200);
    EXPECT_GE(handled, 20); // the random edits reach the valid side too
    EXPECT_EQ(plx.fake.process.exitCalls, 0);
    EXPECT_TRUE(plx.fake.boxes.shown.empty());
    std::printf("%zu messages, %d malformed, %d handled, in %.2f s\n", cases.size(), malformed, handled, seconds);
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

TEST(MalformedMessages, FirstMessageStepHappensEvenForAMalformedOne)
{
    PlxRig plx;
    plx.Say("playing[no quotes]");
    EXPECT_TRUE(plx.fake.saver.LinkHeard);
    EXPECT_FALSE(plx.Visible(Label::NoPLX));
    EXPECT_FALSE(plx.fake.saver.IsPlaying);
    EXPECT_EQ(plx.fake.saver.LastPlaying, "");
    EXPECT_EQ(plx.fake.saver.FieldEnd, (std::array<std::int16_t, 7>{}));
    EXPECT_TRUE(plx.NewCommands().empty());
}

TEST(MalformedMessages, RoutinesCalledWithFieldEndsThatDoNotFitDoNothing)
{
    PlxRig plx;
    plx.Say(Playing({}));
    const Snapshot before = Snapshot::Of(plx);
    // FieldEnd still describes the "playing" text; these texts are other ones.
    plx.fake.saver.ShowPlayingItem("\"A\"]");
    plx.fake.saver.CheckCurrentEntry("");
    plx.fake.saver.ShowNextEntry("\"x\"");
    plx.fake.saver.FieldEnd.fill(INT16_MIN);
    plx.fake.saver.ShowPlayingItem(Playing({}).substr(8));
    plx.fake.saver.ShowNextEntry(Entry({}).substr(14));
    plx.fake.saver.FieldEnd = before.fieldEnd;
    EXPECT_TRUE(Snapshot::Of(plx) == before);
}

} // namespace
} // namespace wendel
