#include "nowplaying/TextRules.h"

#include "text/Numbers.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace wendel {

namespace {

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

bool IsAscii(char c) { return static_cast<unsigned char>(c) < 0x80; }

// Decided by the byte and the one before it only, so a text cut at a
// character keeps the same characters.
bool StartsChar(std::string_view text, std::size_t at)
{
    return at == 0 || !IsContinuation(text[at]) || IsAscii(text[at - 1]);
}

// The byte just past the character that starts at `at`.
std::size_t NextChar(std::string_view text, std::size_t at)
{
    ++at;
    while (at < text.size() && !StartsChar(text, at)) ++at;
    return at;
}

// The byte where the character after the first `count` ones starts; nullopt
// when the text has fewer than `count` characters.
std::optional<std::size_t> ByteAfterChars(std::string_view text, std::uint64_t count)
{
    std::size_t at = 0;
    for (; count > 0; --count) {
        if (at >= text.size()) return std::nullopt;
        at = NextChar(text, at);
    }
    return at;
}

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// The 1-based character position of the byte at `at`.
std::int64_t CharPosition(std::string_view text, std::size_t at)
{
    return static_cast<std::int64_t>(CharLength(text.substr(0, at))) + 1;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsDigitIn(char c, int radix)
{
    if (c >= '0' && c <= '9') return c - '0' < radix;
    const char upper = UpperAscii(c);
    return radix == 16 && upper >= 'A' && upper <= 'F';
}

std::size_t SkipDigits(std::string_view text, std::size_t at, int radix)
{
    while (at < text.size() && IsDigitIn(text[at], radix)) ++at;
    return at;
}

bool IsNumberSyntax(std::string_view text)
{
    if (text.empty()) return false;
    if (text[0] == '&') {
        if (text.size() < 3) return false;
        const char kind = UpperAscii(text[1]);
        const int radix = kind == 'H' ? 16 : kind == 'O' ? 8 : 0;
        return radix != 0 && SkipDigits(text, 2, radix) == text.size();
    }
    std::size_t at = (text[0] == '+' || text[0] == '-') ? 1 : 0;
    const std::size_t integerEnd = SkipDigits(text, at, 10);
    bool anyDigit = integerEnd > at;
    at = integerEnd;
    if (at < text.size() && text[at] == '.') {
        const std::size_t fractionEnd = SkipDigits(text, at + 1, 10);
        anyDigit = anyDigit || fractionEnd > at + 1;
        at = fractionEnd;
    }
    if (!anyDigit) return false;
    if (at < text.size() && (UpperAscii(text[at]) == 'E' || UpperAscii(text[at]) == 'D')) {
        ++at;
        if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
        const std::size_t exponentEnd = SkipDigits(text, at, 10);
        if (exponentEnd == at) return false;
        at = exponentEnd;
    }
    return at == text.size();
}

} // namespace

std::size_t CharLength(std::string_view text)
{
    std::size_t count = 0;
    for (std::size_t at = 0; at < text.size(); ++at) count += StartsChar(text, at) ? 1 : 0;
    return count;
}

std::string_view CharsAfter(std::string_view text, std::size_t count)
{
    std::size_t at = 0;
    for (; count > 0 && at < text.size(); --count) at = NextChar(text, at);
    return text.substr(at);
}

std::optional<std::string> CutChars(std::string_view text, std::int64_t start, std::int64_t length)
{
    if (start < 1 || length < 0) return std::nullopt;
    const std::optional<std::size_t> from = ByteAfterChars(text, static_cast<std::uint64_t>(start - 1));
    if (!from) return std::nullopt;
    const std::optional<std::size_t> span =
        ByteAfterChars(text.substr(*from), static_cast<std::uint64_t>(length));
    if (!span) return std::nullopt;
    return std::string(text.substr(*from, *span));
}

FieldEnds SplitFieldEnds(int count, std::string& text)
{
    FieldEnds ends{};
    count = std::clamp(count, 1, static_cast<int>(ends.size()));
    std::string_view rest = text;
    std::int64_t end = 0;
    for (int k = 0; k < count; ++k) {
        const std::size_t second = rest.empty() ? 0 : NextChar(rest, 0);
        const std::size_t quote = rest.find('"', second);
        std::int64_t taken = 1; // q + 1 with q = 0: no quote
        std::size_t restStart = rest.empty() ? 0 : NextChar(rest, 0);
        if (quote != std::string_view::npos) {
            taken = CharPosition(rest, quote) + 1;
            restStart = quote + 1 < rest.size() ? NextChar(rest, quote + 1) : rest.size();
        }
        end += taken;
        ends[static_cast<std::size_t>(k)] =
            end <= std::numeric_limits<std::int16_t>::max() ? static_cast<std::int16_t>(end) : kFieldEndOutOfRange;
        rest = rest.substr(restStart);
    }
    text = std::string(rest);
    return ends;
}

std::optional<std::vector<std::string>> CutQuotedFields(std::string_view text, const FieldEnds& ends, int count)
{
    if (count < 1 || count > static_cast<int>(ends.size())) return std::nullopt;
    std::vector<std::string> fields;
    fields.reserve(static_cast<std::size_t>(count) + 1);
    std::int64_t previous = 0;
    for (int k = 0; k < count; ++k) {
        const std::int64_t current = ends[static_cast<std::size_t>(k)];
        // Field 0 starts after its opening quote at position 2, like every
        // other field starts two after the previous end.
        std::optional<std::string> field = k == 0 ? CutChars(text, 2, current - 3)
                                                  : CutChars(text, previous + 2, current - previous - 3);
        if (!field) return std::nullopt;
        fields.push_back(std::move(*field));
        previous = current;
    }
    const auto length = static_cast<std::int64_t>(CharLength(text));
    std::optional<std::string> last = CutChars(text, previous + 2, length - previous - 3);
    if (!last) return std::nullopt;
    fields.push_back(std::move(*last));
    return fields;
}

std::string ApplyArticleRule(std::string_view text)
{
    if (text.size() >= 5) {
        const std::string_view tail = text.substr(text.size() - 5);
        if (tail[0] == ',' && tail[1] == ' ' && UpperAscii(tail[2]) == 'T' && UpperAscii(tail[3]) == 'H' &&
            UpperAscii(tail[4]) == 'E') {
            return "The " + std::string(text.substr(0, text.size() - 5));
        }
    }
    return std::string(text);
}

bool IsMarkedTitle(std::string_view field)
{
    // The three marks cannot overlap: "!a{" and "}!" share no character with
    // the "}t{" that must stand between them.
    return field.starts_with("!a{") && field.ends_with("}!") && field.find("}t{") != std::string_view::npos;
}

std::string MarkedTitle(std::string_view field)
{
    const std::size_t mark = field.rfind("t{");
    const std::int64_t p = mark == std::string_view::npos ? 0 : CharPosition(field, mark);
    const auto length = static_cast<std::int64_t>(CharLength(field));
    return CutChars(field, p + 2, length - p - 3).value_or(std::string());
}

std::string MarkedArtist(std::string_view field)
{
    const std::size_t mark = field.find("}t{");
    const std::int64_t q = mark == std::string_view::npos ? 0 : CharPosition(field, mark);
    return CutChars(field, 4, q - 4).value_or(std::string());
}

std::optional<double> WholeNumber(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    if (!IsNumberSyntax(text)) return std::nullopt;
    const double value = NumericValue(text);
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

int OverlapInterval(float overlapMilliseconds)
{
    const double rounded = RoundHalfEven(static_cast<double>(overlapMilliseconds));
    if (std::isnan(rounded) || rounded < 1.0) return 1;
    if (rounded > static_cast<double>(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
    return static_cast<int>(rounded);
}

} // namespace wendel
