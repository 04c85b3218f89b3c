// The text rules: character cuts rebuild the text they came from, the quoted
// fields of any text rebuild it with the characters between them, and fields
// put in quotes come back out as they went in.

#include "nowplaying/TextRules.h"

#include "support/Fuzz.h"

#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

using wendel::CharLength;
using wendel::CutChars;
using wendel::fuzzing::Check;

// The separators and closing characters of built messages: one character
// each, of one to three bytes; a lone continuation byte is a character too.
constexpr const char* kSeparators[] = {",", ";", " ", "\xC3\xA9", "\x80", "\xE2\x82\xAC"};
constexpr const char* kClosings[] = {"]", ")", "\xC3\xA9", "\x80"};

std::string Cut(std::string_view text, std::int64_t start, std::int64_t length)
{
    const std::optional<std::string> cut = CutChars(text, start, length);
    Check(cut.has_value(), "a cut inside the text is refused");
    Check(CharLength(*cut) == static_cast<std::size_t>(length), "a cut has the wrong length");
    return *cut;
}

// Consecutive cuts of random lengths give back the whole text; cuts that
// reach past it give nothing.
void CheckCuts(std::string_view text, std::minstd_rand& random)
{
    const auto length = static_cast<std::int64_t>(CharLength(text));
    std::string rebuilt;
    for (std::int64_t at = 1; at <= length;) {
        const std::int64_t take = 1 + static_cast<std::int64_t>(random() % static_cast<std::uint64_t>(length - at + 1));
        rebuilt += Cut(text, at, take);
        at += take;
    }
    Check(rebuilt == text, "cuts do not rebuild the text");

    const std::int64_t from = 1 + static_cast<std::int64_t>(random() % static_cast<std::uint64_t>(length + 1));
    Check(Cut(text, from, 0).empty(), "an empty cut is not empty");
    Check(!CutChars(text, from, length - from + 2), "a cut past the end is accepted");
    Check(!CutChars(text, 0, 0) && !CutChars(text, from, -1), "a cut before the start is accepted");
    Check(wendel::CharsAfter(text, static_cast<std::size_t>(from - 1)) == Cut(text, from, length - from + 1),
          "the characters after a count differ from the cut there");
}

// Whatever the text, fields that can be cut lie between its first
// character, three characters after each field end, and its last two.
void CheckFieldsOfAnyText(std::string_view text, int count)
{
    std::string rest(text);
    const wendel::FieldEnds ends = wendel::SplitFieldEnds(count, rest);
    const std::int16_t lastEnd = ends[static_cast<std::size_t>(count - 1)];
    if (lastEnd != wendel::kFieldEndOutOfRange) {
        Check(rest == wendel::CharsAfter(text, static_cast<std::size_t>(lastEnd)), "the splitter kept the wrong rest");
    }
    const auto fields = wendel::CutQuotedFields(text, ends, count);
    if (!fields) return;
    Check(fields->size() == static_cast<std::size_t>(count) + 1, "the wrong number of fields");

    std::string rebuilt = Cut(text, 1, 1);
    for (int k = 0; k < count; ++k) {
        rebuilt += (*fields)[static_cast<std::size_t>(k)] + Cut(text, ends[static_cast<std::size_t>(k)] - 1, 3);
    }
    const auto length = static_cast<std::int64_t>(CharLength(text));
    rebuilt += fields->back() + Cut(text, length - 1, 2);
    Check(rebuilt == text, "fields and the characters between them do not rebuild the text");
}

// The text without its double quotes cut into count + 1 fields, put in
// quotes as a jukebox sends them, and split again.
void CheckQuotedFields(std::string plain, int count, std::uint8_t form, std::minstd_rand& random)
{
    std::erase(plain, '"');
    std::vector<std::string> fields;
    std::string_view rest = plain;
    for (int k = 0; k < count; ++k) {
        const std::size_t take = random() % (rest.size() + 1);
        fields.emplace_back(rest.substr(0, take));
        rest.remove_prefix(take);
    }
    fields.emplace_back(rest);

    std::string message;
    const std::string separator = kSeparators[form % std::size(kSeparators)];
    for (const std::string& field : fields) message += (message.empty() ? "\"" : separator + "\"") + field + "\"";
    message += kClosings[form / std::size(kSeparators) % std::size(kClosings)];

    std::string consumed = message;
    const auto cut = wendel::CutQuotedFields(message, wendel::SplitFieldEnds(count, consumed), count);
    if (CharLength(message) > 32767) return; // field ends past 16 bits cut nothing
    Check(cut && *cut == fields, "quoted fields do not come back as sent");
}

void CheckMarkedTitle(std::string_view text, std::minstd_rand& random)
{
    const std::size_t split = random() % (text.size() + 1);
    const std::string_view artist = text.substr(0, split);
    const std::string_view title = text.substr(split);
    if (artist.find("}t{") != std::string_view::npos || title.find("t{") != std::string_view::npos) return;
    const std::string field = "!a{" + std::string(artist) + "}t{" + std::string(title) + "}!";
    Check(wendel::IsMarkedTitle(field), "a marked title is not seen");
    Check(wendel::MarkedArtist(field) == artist, "the marked performer differs");
    Check(wendel::MarkedTitle(field) == title, "the marked title differs");
}

void CheckArticle(std::string_view text)
{
    Check(wendel::ApplyArticleRule(std::string(text) + ", tHe") == "The " + std::string(text),
          "the article is not turned round");
    const std::string turned = wendel::ApplyArticleRule(text);
    Check(turned == text || (turned.starts_with("The ") && turned.size() == text.size() - 1),
          "the article rule changed a text it should not");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Byte 0: the field count; byte 1: the separator and closing character;
    // bytes 2 to 5: the seed of the random cuts.
    const wendel::fuzzing::Input<6> input(data, size);
    const int count = 1 + input.control[0] % 7;
    std::minstd_rand random(input.Seed(2));
    CheckCuts(input.rest, random);
    CheckFieldsOfAnyText(input.rest, count);
    CheckQuotedFields(input.rest, count, input.control[1], random);
    CheckMarkedTitle(input.rest, random);
    CheckArticle(input.rest);
    return 0;
}
