#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wendel {

// The number a text begins with: optional sign, digits, optional "." and
// digits, optional exponent (E or D); or &H / &O followed by a hexadecimal or
// octal whole number. Blanks, tabs and line feeds are skipped wherever they
// stand. "." is the decimal point in every locale. A text that does not begin
// with a number is 0. A value beyond the double range is +/-infinity.
double NumericValue(std::string_view text);

// The signed text form: a blank in front of a value of zero or more, a minus
// sign in front of a negative one, and no 0 before the decimal point
// (0.2 gives " .2"). Doubles keep 15 significant digits, floats 7.
std::string SignedText(int value);
std::string SignedText(std::int64_t value);
std::string SignedText(double value);
std::string SignedText(float value);

// Nearest whole number, a half going to the even neighbour (2.5 -> 2, 3.5 -> 4).
double RoundHalfEven(double value);

// RoundHalfEven into a 16-bit or 32-bit integer; nullopt when the rounded
// value does not fit (or is not a number), where the classic runtime overflowed.
std::optional<std::int16_t> ToInt16(double value);
std::optional<std::int32_t> ToInt32(double value);

} // namespace wendel
