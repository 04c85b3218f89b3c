#include "text/Numbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <limits>
#include <system_error>

namespace wendel {

namespace {

bool IsSkippedBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }

bool IsExponentMark(char c) { return c == 'E' || c == 'e' || c == 'D' || c == 'd'; }

// The text without the blanks the number rules ignore wherever they stand.
std::string WithoutBlanks(std::string_view text)
{
    std::string compact(text.size(), '\0');
    char* out = compact.data();
    for (const char c : text) {
        if (!IsSkippedBlank(c)) *out++ = c;
    }
    compact.resize(static_cast<std::size_t>(out - compact.data()));
    return compact;
}

const char* SkipDecimalDigits(const char* p, const char* end)
{
    while (p < end && *p >= '0' && *p <= '9') ++p;
    return p;
}

// The digit's value in the given radix (8 or 16), or -1 when it is none.
int RadixDigit(char c, int radix)
{
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    return digit < radix ? digit : -1;
}

// &H / &O: a non-negative whole number. Exact in 64 bits, then approximate in
// double, which reaches infinity for absurdly long texts.
double ReadRadixNumber(const char* p, const char* end, int radix)
{
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    const auto base = static_cast<std::uint64_t>(radix);
    std::uint64_t exact = 0;
    double approx = 0.0;
    bool exactFits = true;
    for (int digit; p < end && (digit = RadixDigit(*p, radix)) >= 0; ++p) {
        const auto d = static_cast<std::uint64_t>(digit);
        if (exactFits && exact <= (kMax - d) / base) {
            exact = exact * base + d;
        } else {
            if (exactFits) approx = static_cast<double>(exact);
            exactFits = false;
            approx = approx * radix + digit;
        }
    }
    return exactFits ? static_cast<double>(exact) : approx;
}

// Where the parts of a decimal number lie in the blank-free text.
struct DecimalSpans {
    const char* integerBegin;
    const char* integerEnd;
    const char* fractionBegin;
    const char* fractionEnd;
    const char* exponentDigits = nullptr; // null when there is no exponent
    const char* end;                      // just past the number
    bool exponentNegative = false;
};

// Exponents this large are far beyond the double range whatever the digits;
// the cap keeps the arithmetic in range for any text length.
constexpr std::int64_t kExponentCap = 999'999'999;

std::int64_t ExponentOf(const DecimalSpans& spans)
{
    if (!spans.exponentDigits) return 0;
    std::int64_t value = 0;
    for (const char* p = spans.exponentDigits; p < spans.end; ++p) {
        value = std::min<std::int64_t>(value * 10 + (*p - '0'), kExponentCap);
    }
    return spans.exponentNegative ? -value : value;
}

// from_chars reports both overflow and underflow as out of range; the decimal
// magnitude of the first significant digit tells them apart.
double OutOfRangeMagnitude(const DecimalSpans& spans)
{
    const char* firstInteger = spans.integerBegin;
    while (firstInteger < spans.integerEnd && *firstInteger == '0') ++firstInteger;
    const char* firstFraction = spans.fractionBegin;
    while (firstFraction < spans.fractionEnd && *firstFraction == '0') ++firstFraction;
    if (firstInteger == spans.integerEnd && firstFraction == spans.fractionEnd) return 0.0;

    const std::int64_t magnitude =
        firstInteger < spans.integerEnd ? (spans.integerEnd - firstInteger) - 1 + ExponentOf(spans)
                                        : -(firstFraction - spans.fractionBegin + 1) + ExponentOf(spans);
    return magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
}

// Reads an unsigned decimal number at the start of `text`, which it may
// alter in place; false when the text does not begin with one.
bool ReadUnsignedDecimal(std::string& text, std::size_t start, double& value)
{
    char* const data = text.data();
    const char* const end = data + text.size();
    DecimalSpans spans{};
    spans.integerBegin = data + start;
    spans.integerEnd = SkipDecimalDigits(spans.integerBegin, end);
    spans.fractionBegin = spans.fractionEnd = spans.integerEnd;
    if (spans.integerEnd < end && *spans.integerEnd == '.') {
        spans.fractionBegin = spans.integerEnd + 1;
        spans.fractionEnd = SkipDecimalDigits(spans.fractionBegin, end);
    }
    if (spans.integerBegin == spans.integerEnd && spans.fractionBegin == spans.fractionEnd) return false;
    spans.end = spans.fractionEnd;

    // An exponent counts only with digits: "1E" and "1E+" read 1.
    const auto markAt = static_cast<std::size_t>(spans.fractionEnd - data);
    if (markAt < text.size() && IsExponentMark(text[markAt])) {
        const char* p = spans.fractionEnd + 1;
        if (p < end && (*p == '+' || *p == '-')) spans.exponentNegative = *p++ == '-';
        const char* digitsEnd = SkipDecimalDigits(p, end);
        if (digitsEnd > p) {
            text[markAt] = 'e'; // from_chars knows no D
            spans.exponentDigits = p;
            spans.end = digitsEnd;
        }
    }

    const auto [parsedEnd, error] = std::from_chars(spans.integerBegin, spans.end, value);
    (void)parsedEnd;
    if (error == std::errc::result_out_of_range) value = OutOfRangeMagnitude(spans);
    else if (error != std::errc{}) value = 0.0; // cannot happen for the spans above
    return true;
}

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// %G style with the given significant digits, the 0 before the point dropped
// and a blank for a value of zero or more. Infinity takes the classic runtime's
// form; NaN, which no reading of a text yields, a plain one.
template <typename Float>
std::string SignedFloatText(Float value, int precision)
{
    if (std::isnan(value)) return " NaN";
    if (std::isinf(value)) return value > 0 ? " 1.#INF" : "-1.#INF";
    if (value == 0) return " 0";

    char buffer[64];
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, precision);
    if (error != std::errc{}) return " 0"; // the buffer holds any %G text of a float or double
    std::string digits(buffer, end);
    for (char& c : digits) c = UpperAscii(c);

    const bool negative = digits.front() == '-';
    if (negative) digits.erase(0, 1);
    if (digits.size() > 1 && digits[0] == '0' && digits[1] == '.') digits.erase(0, 1);
    return (negative ? "-" : " ") + digits;
}

template <typename Int>
std::string SignedIntText(Int value)
{
    char buffer[32];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    (void)error; // 32 bytes hold any 64-bit integer
    std::string text(buffer, end);
    return value < 0 ? text : " " + text;
}

template <typename Int>
std::optional<Int> ToInt(double value)
{
    const double rounded = RoundHalfEven(value);
    if (std::isnan(rounded)) return std::nullopt;
    if (rounded < static_cast<double>(std::numeric_limits<Int>::min()) ||
        rounded > static_cast<double>(std::numeric_limits<Int>::max())) {
        return std::nullopt;
    }
    return static_cast<Int>(rounded);
}

} // namespace

double NumericValue(std::string_view text)
{
    std::string compact = WithoutBlanks(text);
    if (!compact.empty() && compact[0] == '&') {
        const char prefix = compact.size() > 1 ? UpperAscii(compact[1]) : '\0';
        if (prefix != 'H' && prefix != 'O') return 0.0;
        return ReadRadixNumber(compact.data() + 2, compact.data() + compact.size(),
                               prefix == 'H' ? 16 : 8);
    }
    std::size_t start = 0;
    bool negative = false;
    if (!compact.empty() && (compact[0] == '+' || compact[0] == '-')) {
        negative = compact[0] == '-';
        start = 1;
    }
    double value = 0.0;
    if (!ReadUnsignedDecimal(compact, start, value)) return 0.0;
    return negative ? -value : value;
}

std::string SignedText(int value) { return SignedIntText(value); }

std::string SignedText(std::int64_t value) { return SignedIntText(value); }

std::string SignedText(double value) { return SignedFloatText(value, 15); }

std::string SignedText(float value) { return SignedFloatText(value, 7); }

double RoundHalfEven(double value)
{
    if (!std::isfinite(value)) return value;
    const double below = std::floor(value);
    const double fraction = value - below;
    if (fraction < 0.5) return below;
    if (fraction > 0.5) return below + 1.0;
    return std::fmod(below, 2.0) == 0.0 ? below : below + 1.0;
}

std::optional<std::int16_t> ToInt16(double value) { return ToInt<std::int16_t>(value); }

std::optional<std::int32_t> ToInt32(double value) { return ToInt<std::int32_t>(value); }

} // namespace wendel
