#include "fakes/FakeSaver.h"
#include "nowplaying/TextRules.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace wendel {
namespace {

TEST(CharCuts, CountAndCutWholeCharactersOnly)
{
    const std::pair<std::string, std::size_t> lengths[] = {
        {"", 0}, {"\xC3\x84rzte", 5}, {"\xE6\x9D\xB1\xE4\xBA\xAC", 2},
        {"\x80", 1},      // a stray continuation byte is a character of its own
        {"a\x80\x80", 2}, // after an ASCII byte too, however many follow
        {"\xC3", 1},      // a lead byte whose continuation never comes
    };
    for (const auto& [text, length] : lengths) EXPECT_EQ(CharLength(text), length) << text;

    const std::tuple<std::string, std::int64_t, std::int64_t, std::optional<std::string>> cuts[] = {
        {"abc", 2, 2, "bc"}, {"abc", 1, 3, "abc"},
        {"abc", 4, 0, ""}, // an empty cut just past the end still lies in the text
        {"abc", 5, 0, std::nullopt}, {"abc", 3, 2, std::nullopt}, {"abc", 0, 1, std::nullopt},
        {"abc", 1, -1, std::nullopt}, {"abc", INT64_MIN, 2, std::nullopt}, {"abc", 2, INT64_MAX, std::nullopt},
        {"\xC3\x84rzte", 1, 1, "\xC3\x84"}, {"x\xE6\x9D\xB1y", 2, 2, "\xE6\x9D\xB1y"},
        {"a\x80\x80" "b", 2, 1, "\x80\x80"},
    };
    for (const auto& [text, start, length, expected] : cuts) {
        EXPECT_EQ(CutChars(text, start, length), expected) << text << " from " << start << " for " << length;
    }
    EXPECT_EQ(CharsAfter("\xC3\x84" "bc", 1), "bc");
    EXPECT_EQ(CharsAfter("ab", 5), "");
    EXPECT_EQ(CharsAfter(std::string_view("\xC3\x84", 1), 1), ""); // a text cut inside a character
}

TEST(QuotedFields, SplitAtTheCharacterAfterEachClosingQuoteAndCut)
{
    // Positions beyond 16 bits are marked, not wrapped, and no cut accepts them.
    const std::string huge = "\"" + std::string(32764, 'a') + "\",\"b\",\"c\"]";
    const std::tuple<std::string, int, FieldEnds, const char*> rows[] = { // text, count, ends, left
        {R"("A","BB","CCC"])", 3, {4, 9, 15}, ""}, // the closing character counts as the last separator
        {R"("","","")", 3, {3, 6, 9}, ""},          // empty fields are found: the search skips the opening quote
        {R"("A","BB")", 1, {4}, R"("BB")"},         // only the counted fields are consumed
        {"no quotes", 3, {1, 2, 3}, "quotes"},       // no quote: one character at a time
        {"", 2, {1, 2}, ""},
        {"\"\xC3\x84\"\xC2\xB7\"B\"]", 2, {4, 8}, ""},      // characters, not bytes: the separator is two bytes
        {R"("A","B")", 9, {4, 8, 9, 10, 11, 12, 13}, ""}, // a count beyond 7 stops at 7
        {R"("A","B")", 0, {4}, R"("B")"},                 // and one below 1 at 1
        {huge, 3, {32767, kFieldEndOutOfRange, kFieldEndOutOfRange}, ""},
    };
    for (const auto& [text, count, ends, left] : rows) {
        std::string consumed = text;
        EXPECT_EQ(SplitFieldEnds(count, consumed), ends) << text;
        EXPECT_EQ(consumed, left) << text;
    }
    const std::tuple<std::string, FieldEnds, int, std::optional<std::vector<std::string>>> cuts[] = {
        {huge, {32767, kFieldEndOutOfRange, kFieldEndOutOfRange}, 3, {}},
        {R"("A","BB","C"])", {4, 9}, 2, {{"A", "BB", "C"}}}, {R"("A","B"])", {4}, 1, {{"A", "B"}}},
        {R"("A","BB","C")", {4, 9}, 2, {{"A", "BB", ""}}}, {R"("A","BB","C)", {4, 9}, 2, {}}, // too short for the last
        // Positions that do not describe the text.
        {R"("A"])", {40, 50}, 2, {}}, {R"("A","B"])", {4, 2}, 2, {}}, {R"("A"])", {4}, 0, {}}, {R"("A"])", {4}, 8, {}},
    };
    for (const auto& [text, ends, count, fields] : cuts) EXPECT_EQ(CutQuotedFields(text, ends, count), fields) << text;
}

TEST(ArticleRule, TurnsRoundOnlyACommaBlankAndTheArticle)
{
    const std::pair<const char*, const char*> rows[] = {
        {"Ravens, The", "The Ravens"}, {"RAVENS, THE", "The RAVENS"}, {"ravens, tHe", "The ravens"}, {", The", "The "},
        {"\xC3\x84rzte, The", "The \xC3\x84rzte"},
    };
    for (const auto& [text, expected] : rows) EXPECT_EQ(ApplyArticleRule(text), expected) << text;
    for (const char* text : {"Soothe", "Tithe", "Bathe", "The", "aThe", "Ravens,The", "Ravens, Them", "", "x; The",
                             "x,-The", "x, Aha", "x, Tee", "x, Thy"}) {
        EXPECT_EQ(ApplyArticleRule(text), text);
    }
}

TEST(MarkedTitle, PicksPerformerAndTitleApart)
{
    const std::tuple<const char*, bool, const char*, const char*> rows[] = { // field, marked, artist, title
        {"!a{Guest}t{Song}!", true, "Guest", "Song"}, {"!a{}t{}!", true, "", ""},
        {"!a{Guest}t{Stop t{x}!", true, "Guest", "x"}, // cut after the last "t{"
        {"!a{A}t{B}t{C}!", true, "A", "C"},           // and at the first "}t{"
        {"!a{\xC3\x84}t{\xE6\x9D\xB1}!", true, "\xC3\x84", "\xE6\x9D\xB1"},
        {"!a{Guest Song}!", false, "", ""}, // no "}t{": a plain title
        {"!a{Guest}t{Song}", false, "", ""}, {"!A{Guest}t{Song}!", false, "", ""}, {"a{Guest}t{Song}!", false, "", ""},
        {"!a{}!", false, "", ""}, {"", false, "", ""},
    };
    for (const auto& [field, marked, artist, title] : rows) {
        EXPECT_EQ(IsMarkedTitle(field), marked) << field;
        if (!marked) continue;
        EXPECT_EQ(MarkedArtist(field), artist) << field;
        EXPECT_EQ(MarkedTitle(field), title) << field;
    }
    // Given a text that is not marked at all they still cut nothing outside it.
    for (const char* text : {"", "t", "t{", "!a", "}t{", "x}t{"}) {
        EXPECT_NO_FATAL_FAILURE(MarkedTitle(text));
        EXPECT_EQ(MarkedArtist(text), "") << text;
    }
}

TEST(WholeNumber, AcceptsOnlyATextThatIsWhollyANumber)
{
    const std::pair<const char*, double> rows[] = {
        {"12", 12}, {" 12 ", 12}, {"\t-3", -3}, {"+4", 4}, {"2.5", 2.5}, {".5", 0.5}, {"5.", 5}, {"1e3", 1000},
        {"1e+3", 1000}, {"1E-2", 0.01}, {"1D2", 100}, {"&H10", 16}, {"&H7", 7}, {"&hfa", 250}, {"&o17", 15}, {"0", 0},
        {"09", 9},
    };
    for (const auto& [text, expected] : rows) EXPECT_EQ(WholeNumber(text), expected) << text;
    for (const char* text : {"", " ", "abc", "5x", "1 2", "- 5", ".", "1e", "1e+", "1f2", "&H", "&HG", "&O8", "&X1",
                             "&H1G", "&Hg", "1:", "1/", "1e999", "\xEF\xBC\x95"}) { // a full-width digit is no number
        EXPECT_EQ(WholeNumber(text), std::nullopt) << text;
    }
    // A number inside a longer text is read up to the end of its part only.
    EXPECT_EQ(WholeNumber(std::string_view("12", 1)), 1.0);
    EXPECT_EQ(WholeNumber(std::string_view("1E5", 1)), 1.0);
}

TEST(OverlapInterval, RoundsHalfToEvenWithinOneAndTheLargestInterval)
{
    const std::pair<float, int> rows[] = {
        {2000.0f, 2000}, {2.5f, 2}, {3.5f, 4}, {1.5f, 2}, {1.0f, 1}, {0.5f, 1}, {0.0f, 1}, {-5.0f, 1},
        {3e9f, 2147483647}, {2147483520.0f, 2147483520}, {std::numeric_limits<float>::quiet_NaN(), 1},
    };
    for (const auto& [overlap, interval] : rows) EXPECT_EQ(OverlapInterval(overlap), interval) << overlap;
}

using Captions = std::vector<std::string>;
using Routine = void (WendelSaverMain::*)();

// Each step draws the caption so far; an erase ends hidden with its caption put back. Characters, not bytes:
// a stray continuation byte goes with the character before it.
TEST(Reveal, EachRoutineDrawsItsCaptionSequence)
{
    const std::tuple<Label, Routine, std::string, Captions> rows[] = {
        {Label::Track, &WendelSaverMain::RevealTrack, "xyz", {"z", "yz", "xyz"}},
        {Label::ArtistAlbum, &WendelSaverMain::RevealArtistAlbum, "ab", {"b", "ab"}},
        {Label::NextInfo, &WendelSaverMain::RevealNextInfo, "Q", {"Q"}},
        {Label::NextInfo, &WendelSaverMain::RevealNextInfo, "", {}},
        {Label::Track, &WendelSaverMain::RevealTrack, "\xC3\xA9t\xC3\xA9",
         {"\xC3\xA9", "t\xC3\xA9", "\xC3\xA9t\xC3\xA9"}},
        {Label::ArtistAlbum, &WendelSaverMain::RevealArtistAlbum, "\x80" "a\x80", {"a\x80", "\x80" "a\x80"}},
        {Label::AlbumNotice, &WendelSaverMain::RevealAlbumNotice, "[Alb", {"[", "[A", "[Al", "[Alb"}},
        {Label::AlbumNotice, &WendelSaverMain::EraseAlbumNotice, "[Alb", {"[Al", "[A", "[", ""}},
        {Label::AlbumNotice, &WendelSaverMain::EraseAlbumNotice, "", {}},
    };
    for (const auto& [label, routine, caption, steps] : rows) {
        SCOPED_TRACE(caption);
        const bool erase = routine == &WendelSaverMain::EraseAlbumNotice;
        testing::FakeSaver rig;
        rig.board.SetCaption(label, caption);
        rig.board.SetVisible(label, erase); // reveals start hidden, erases shown
        (rig.saver.*routine)();
        EXPECT_EQ(rig.board.repaints[label], steps);
        EXPECT_EQ(rig.board.IsVisible(label), !erase);
        EXPECT_EQ(rig.board.Caption(label), caption);
    }
}

// Beyond 256 characters a text takes fewer steps the longer it is, so that a huge one cannot hold the saver.
TEST(Reveal, LongTextsKeepToABoundedNumberOfSteps)
{
    const std::pair<std::size_t, std::size_t> rows[] = {{256, 256}, {257, 255}, {1000, 65}, {30000, 2}, {100000, 1}};
    for (const auto& [length, stepCount] : rows) {
        SCOPED_TRACE(length);
        const std::string text(length, 'a');
        for (const Routine routine : {&WendelSaverMain::RevealTrack, &WendelSaverMain::EraseAlbumNotice}) {
            const Label label = routine == &WendelSaverMain::RevealTrack ? Label::Track : Label::AlbumNotice;
            testing::FakeSaver rig;
            rig.board.SetCaption(label, text);
            (rig.saver.*routine)();
            const Captions& steps = rig.board.repaints[label];
            ASSERT_EQ(steps.size(), stepCount);
            EXPECT_EQ(steps.back(), label == Label::Track ? text : "");
            for (std::size_t i = 1; i < steps.size(); ++i) {
                EXPECT_EQ(steps[i].size() > steps[i - 1].size(), label == Label::Track);
            }
        }
    }
}

} // namespace
} // namespace wendel
