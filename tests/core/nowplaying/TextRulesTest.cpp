#include "nowplaying/TextRules.h"

#include <gtest/gtest.h>

#include <climits>
#include <limits>

#include <optional>
#include <string>
#include <vector>

namespace wendel {
namespace {

TEST(CharCuts, CountAndCutWholeCharactersOnly)
{
    const std::pair<std::string, std::size_t> lengths[] = {
        {"", 0}, {"\xC3\x84rzte", 5}, {"\xE6\x9D\xB1\xE4\xBA\xAC", 2},
        {"\x80", 1},         // a stray continuation byte is a character of its own
        {"a\x80\x80", 2},    // after an ASCII byte too, however many follow
        {"\xC3", 1},         // a lead byte whose continuation never comes
    };
    for (const auto& [text, length] : lengths) EXPECT_EQ(CharLength(text), length) << text;

    struct Cut {
        std::string text;
        std::int64_t start, length;
        std::optional<std::string> expected;
    };
    const Cut cuts[] = {
        {"abc", 2, 2, "bc"}, {"abc", 4, 0, ""}, // an empty cut just past the end still lies in the text
        {"abc", 5, 0, std::nullopt}, {"abc", 3, 2, std::nullopt}, {"abc", 0, 1, std::nullopt},
        {"abc", 1, -1, std::nullopt}, {"abc", INT64_MIN, 2, std::nullopt}, {"abc", 2, INT64_MAX, std::nullopt},
        {"\xC3\x84rzte", 1, 1, "\xC3\x84"}, {"x\xE6\x9D\xB1y", 2, 2, "\xE6\x9D\xB1y"},
    };
    for (const Cut& cut : cuts) {
        EXPECT_EQ(CutChars(cut.text, cut.start, cut.length), cut.expected)
            << cut.text << " from " << cut.start << " for " << cut.length;
    }
}

TEST(SplitFieldEnds, FindsTheCharacterAfterEachClosingQuote)
{
    struct Row {
        const char* text;
        int count;
        FieldEnds ends;
        const char* left;
    };
    const Row rows[] = {
        {R"("A","BB","CCC"])", 3, {4, 9, 15}, ""}, // the closing character counts as the last separator
        {R"("","","")", 3, {3, 6, 9}, ""},          // empty fields are found: the search skips the opening quote
        {R"("A","BB")", 1, {4}, R"("BB")"},         // only the counted fields are consumed
        {"no quotes", 3, {1, 2, 3}, "quotes"},       // no quote: one character at a time
        {"", 2, {1, 2}, ""},
        {"\"\xC3\x84\"\xC2\xB7\"B\"]", 2, {4, 8}, ""}, // characters, not bytes: the separator is two bytes
        {R"("A","B")", 9, {4, 8, 9, 10, 11, 12, 13}, ""}, // a count beyond 7 stops at 7
    };
    for (const Row& row : rows) {
        std::string text = row.text;
        EXPECT_EQ(SplitFieldEnds(row.count, text), row.ends) << row.text;
        EXPECT_EQ(text, row.left) << row.text;
    }
}

TEST(SplitFieldEnds, PositionsBeyondSixteenBitsAreMarkedNotWrapped)
{
    std::string text = "\"" + std::string(32764, 'a') + "\",\"b\",\"c\"]";
    const FieldEnds ends = SplitFieldEnds(3, text);
    EXPECT_EQ(ends[0], 32767); // the last position that fits
    EXPECT_EQ(ends[1], kFieldEndOutOfRange);
    EXPECT_EQ(ends[2], kFieldEndOutOfRange);
    std::string content = "\"" + std::string(32764, 'a') + "\",\"b\",\"c\"]";
    EXPECT_FALSE(CutQuotedFields(content, ends, 3));
}

TEST(CutQuotedFields, RefusesPositionsThatDoNotDescribeTheText)
{
    EXPECT_FALSE(CutQuotedFields("\"A\"]", FieldEnds{40, 50}, 2));
    EXPECT_FALSE(CutQuotedFields("\"A\",\"B\"]", FieldEnds{4, 2}, 2));
    EXPECT_FALSE(CutQuotedFields("\"A\"]", FieldEnds{4}, 0));
    EXPECT_FALSE(CutQuotedFields("\"A\",\"BB\",\"C", FieldEnds{4, 9}, 2)); // too short for the last field
    EXPECT_EQ(CutQuotedFields("\"A\",\"BB\",\"C\"", FieldEnds{4, 9}, 2), (std::vector<std::string>{"A", "BB", ""}));
}

TEST(ArticleRule, TurnsRoundOnlyACommaBlankAndTheArticle)
{
    const std::pair<const char*, const char*> rows[] = {
        {"Ravens, The", "The Ravens"}, {"RAVENS, THE", "The RAVENS"}, {"ravens, tHe", "The ravens"},
        {", The", "The "}, {"Soothe", "Soothe"}, {"Tithe", "Tithe"}, {"Bathe", "Bathe"},
        {"The", "The"}, {"aThe", "aThe"}, // three and four characters can no longer be cut short
        {"Ravens,The", "Ravens,The"}, {"Ravens, Them", "Ravens, Them"}, {"", ""},
        {"\xC3\x84rzte, The", "The \xC3\x84rzte"},
    };
    for (const auto& [text, expected] : rows) EXPECT_EQ(ApplyArticleRule(text), expected) << text;
}

TEST(MarkedTitle, PicksPerformerAndTitleApart)
{
    struct Row {
        const char* field;
        bool marked;
        const char* artist;
        const char* title;
    };
    const Row rows[] = {
        {"!a{Guest}t{Song}!", true, "Guest", "Song"},
        {"!a{}t{}!", true, "", ""},
        {"!a{Guest}t{Stop t{x}!", true, "Guest", "x"},  // cut after the last "t{"
        {"!a{A}t{B}t{C}!", true, "A", "C"},             // and at the first "}t{"
        {"!a{\xC3\x84}t{\xE6\x9D\xB1}!", true, "\xC3\x84", "\xE6\x9D\xB1"},
        {"!a{Guest Song}!", false, "", ""},             // no "}t{": a plain title
        {"!a{Guest}t{Song}", false, "", ""},
        {"!A{Guest}t{Song}!", false, "", ""},
        {"a{Guest}t{Song}!", false, "", ""},
        {"!a{}!", false, "", ""},
        {"", false, "", ""},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(IsMarkedTitle(row.field), row.marked) << row.field;
        if (row.marked) {
            EXPECT_EQ(MarkedArtist(row.field), row.artist) << row.field;
            EXPECT_EQ(MarkedTitle(row.field), row.title) << row.field;
        }
    }
    // Given a text that is not marked at all they still cut nothing outside it.
    for (const char* text : {"", "t", "t{", "!a", "}t{", "x}t{"}) {
        EXPECT_NO_FATAL_FAILURE(MarkedTitle(text));
        EXPECT_EQ(MarkedArtist(text), "") << text;
    }
}

TEST(WholeNumber, AcceptsOnlyATextThatIsWhollyANumber)
{
    const std::pair<const char*, std::optional<double>> rows[] = {
        {"12", 12.0}, {" 12 ", 12.0}, {"\t-3", -3.0}, {"+4", 4.0}, {"2.5", 2.5}, {".5", 0.5}, {"5.", 5.0},
        {"1e3", 1000.0}, {"1e+3", 1000.0}, {"1E-2", 0.01}, {"1D2", 100.0}, {"&H10", 16.0}, {"&o17", 15.0}, {"0", 0.0},
        {"", std::nullopt}, {" ", std::nullopt}, {"abc", std::nullopt}, {"5x", std::nullopt},
        {"1 2", std::nullopt}, {"- 5", std::nullopt}, {".", std::nullopt}, {"1e", std::nullopt},
        {"&H", std::nullopt}, {"&HG", std::nullopt}, {"&O8", std::nullopt}, {"&X1", std::nullopt},
        {"1e999", std::nullopt}, {"\xEF\xBC\x95", std::nullopt}, // a full-width digit is no number
    };
    for (const auto& [text, expected] : rows) EXPECT_EQ(WholeNumber(text), expected) << text;
}

TEST(OverlapInterval, RoundsHalfToEvenWithinOneAndTheLargestInterval)
{
    const std::pair<float, int> rows[] = {
        {2000.0f, 2000}, {2.5f, 2}, {3.5f, 4}, {1.5f, 2}, {1.0f, 1}, {0.5f, 1}, {0.0f, 1}, {-5.0f, 1},
        {3e9f, INT_MAX}, {2147483520.0f, 2147483520}, {std::numeric_limits<float>::quiet_NaN(), 1},
    };
    for (const auto& [overlap, interval] : rows) EXPECT_EQ(OverlapInterval(overlap), interval) << overlap;
}

} // namespace
} // namespace wendel
