// The number rules against the C library: rounding against nearbyint (half to even in the default rounding mode), the
// signed text form against printf's %G, and the reading of decimal texts against strtod.

#include "nowplaying/TextRules.h"
#include "support/Fuzz.h"
#include "text/Numbers.h"

#include <cfloat>
#include <cmath>

namespace {

using wendel::fuzzing::Check;

void CheckRounding(double value)
{
    const double nearest = std::nearbyint(value);
    const double even = wendel::RoundHalfEven(value);
    Check(even == nearest || (std::isnan(even) && std::isnan(value)), "RoundHalfEven is not nearbyint");
    const auto checkInt = [nearest](auto got, double min, double max) {
        Check(got.has_value() == (nearest >= min && nearest <= max), "an integer conversion fits wrongly");
        Check(!got || static_cast<double>(*got) == nearest, "an integer conversion rounds wrongly");
    };
    checkInt(wendel::ToInt16(value), -32768.0, 32767.0);
    checkInt(wendel::ToInt32(value), -2147483648.0, 2147483647.0);
}

// The signed text form reads back as the value printed with 15 significant digits.
void CheckSignedText(double value)
{
    if (!std::isfinite(value)) return;
    const std::string text = wendel::SignedText(value);
    Check(text.size() >= 2 && (text[0] == ' ' || text[0] == '-'), "a signed text without its sign place");
    Check(text[1] != '0' || text.size() == 2, "a signed text with a 0 before the point");
    char printed[64];
    std::snprintf(printed, sizeof printed, "%.15G", value);
    Check(wendel::NumericValue(text) == std::strtod(printed, nullptr), "a signed text reads back wrongly");
}

// The decimal number at the start of a blank-free text, as strtod writes it (D made e); empty when there is none. An
// exponent counts only with digits.
std::string DecimalPrefix(std::string_view text)
{
    const auto digitsFrom = [text](std::size_t at) {
        return std::min(text.find_first_not_of("0123456789", at), text.size());
    };
    const auto signAt = [text](std::size_t at) { return at < text.size() && (text[at] == '+' || text[at] == '-'); };
    const std::size_t from = signAt(0);
    std::size_t at = digitsFrom(from);
    const bool point = at < text.size() && text[at] == '.';
    if (point) at = digitsFrom(at + 1);
    if (at - from == (point ? 1u : 0u)) return {};
    std::string number(text.substr(0, at));
    if (at < text.size() && std::string_view("eEdD").find(text[at]) != std::string_view::npos) {
        const std::size_t digits = at + 1 + signAt(at + 1);
        const std::size_t end = digitsFrom(digits);
        if (end > digits) number += "e" + std::string(text.substr(at + 1, end - at - 1));
    }
    return number;
}

void CheckReading(std::string_view text)
{
    const double value = wendel::NumericValue(text);
    std::string compact(text);
    std::erase_if(compact, [](char c) { return c == ' ' || c == '\t' || c == '\n'; });
    if (compact.starts_with('&')) return Check(value >= 0 || std::isnan(value), "a radix number reads negative");

    const std::string number = DecimalPrefix(compact);
    const double expected = number.empty() ? 0 : std::strtod(number.c_str(), nullptr);
    // Past the range is infinity; below the smallest normal double, 0 or the nearest subnormal will do.
    Check(value == expected || (value == 0 && std::fabs(expected) < DBL_MIN), "a decimal text reads unlike strtod");
    const std::optional<double> whole = wendel::WholeNumber(text);
    Check(!whole || (std::isfinite(*whole) && *whole == value), "a whole-number text reads differently");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const wendel::fuzzing::Input<8> input(data, size);
    double value = 0;
    std::memcpy(&value, input.control, sizeof value);

    CheckRounding(value);
    CheckSignedText(value);
    CheckReading(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
