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

void CheckReading(std::string_view text)
{
    const double value = wendel::NumericValue(text);
    std::string compact(text);
    std::erase_if(compact, [](char c) { return c == ' ' || c == '\t' || c == '\n'; });
    if (compact.starts_with('&')) return Check(value >= 0 || std::isnan(value), "a radix number reads negative");

    // Cut where no decimal number goes on (no hex, inf or nan left) and D made e, it is strtod's to read.
    std::string number = compact.substr(0, compact.find_first_not_of("0123456789+-.eEdD"));
    for (char& c : number) c = c == 'd' || c == 'D' ? 'e' : c;
    const double expected = std::strtod(number.c_str(), nullptr);
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
