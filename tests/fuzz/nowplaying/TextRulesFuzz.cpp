// The text rules: character cuts rebuild the text they came from, and the quoted fields of any text rebuild it with the
// characters between them. How fields put in quotes come back out is the core's table.

#include "nowplaying/TextRules.h"
#include "support/Fuzz.h"

namespace {

using wendel::CharLength;
using wendel::fuzzing::Check;

std::string Cut(std::string_view text, std::int64_t start, std::int64_t length)
{
    const std::optional<std::string> cut = wendel::CutChars(text, start, length);
    Check(cut && CharLength(*cut) == static_cast<std::size_t>(length), "a cut inside the text is refused or too long");
    return *cut;
}

// Consecutive cuts of random lengths give back the whole text; cuts that reach past it give nothing.
void CheckCuts(std::string_view text, std::minstd_rand& random)
{
    const auto length = static_cast<std::int64_t>(CharLength(text));
    const auto below = [&random](std::int64_t bound) { return static_cast<std::int64_t>(random() % bound); };
    std::string rebuilt;
    for (std::int64_t at = 1; at <= length;) {
        const std::int64_t take = 1 + below(length - at + 1);
        rebuilt += Cut(text, at, take);
        at += take;
    }
    Check(rebuilt == text, "cuts do not rebuild the text");
    const std::int64_t from = 1 + below(length + 1);
    Check(!wendel::CutChars(text, from, length - from + 2), "a cut past the end is accepted");
    Check(wendel::CharsAfter(text, static_cast<std::size_t>(from - 1)) == Cut(text, from, length - from + 1),
          "the characters after a count differ from the cut there");
}

// Whatever the text, fields that can be cut lie between its first character, three characters after each field end,
// and its last two.
void CheckFieldsOfAnyText(std::string_view text, int count)
{
    std::string rest(text);
    const wendel::FieldEnds ends = wendel::SplitFieldEnds(count, rest);
    const std::int16_t lastEnd = ends[static_cast<std::size_t>(count - 1)];
    Check(lastEnd == wendel::kFieldEndOutOfRange || rest == wendel::CharsAfter(text, static_cast<std::size_t>(lastEnd)),
          "the splitter kept the wrong rest");
    const auto fields = wendel::CutQuotedFields(text, ends, count);
    if (!fields) return;
    Check(fields->size() == static_cast<std::size_t>(count) + 1, "the wrong number of fields");
    std::string rebuilt = Cut(text, 1, 1);
    for (std::size_t k = 0; k < static_cast<std::size_t>(count); ++k)
        rebuilt += (*fields)[k] + Cut(text, ends[k] - 1, 3);
    rebuilt += fields->back() + Cut(text, static_cast<std::int64_t>(CharLength(text)) - 1, 2);
    Check(rebuilt == text, "fields and the characters between them do not rebuild the text");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Byte 0: the field count; byte 1 is not read; bytes 2 to 5: the seed of the random cuts.
    const wendel::fuzzing::Input<6> input(data, size);
    const int count = 1 + input.control[0] % 7;
    std::minstd_rand random = input.Random(2);
    CheckCuts(input.rest, random);
    CheckFieldsOfAnyText(input.rest, count);
    return 0;
}
