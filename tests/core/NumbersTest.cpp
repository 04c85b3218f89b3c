#include "text/Numbers.h"

#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <string>

namespace wendel {
namespace {

using namespace std::string_literals;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Settings files run to 1 MiB: a reading that grows faster than the text would take minutes on these rows.
TEST(NumericValue, ReadsTheNumberTheTextBeginsWithInLinearTime)
{
    const std::string mb(1024u * 1024u, '0');
    const std::pair<std::string, double> rows[] = {
        {"12", 12}, {"+5", 5}, {"-3", -3}, {"1.5", 1.5}, {".5", 0.5}, {"-.5", -0.5}, {"1.", 1},
        {"00012", 12}, {"123456789012345678", 123456789012345678.0},
        // blanks, tabs and line feeds anywhere; a carriage return is no blank
        {"1 2", 12}, {"- 5", -5}, {" - 1 . 5", -1.5}, {"1\t2\n3", 123}, {"1 E 2", 100},
        {"& H 1 0", 16}, {"5\r6", 5},
        // exponents, which count only with digits
        {"1E3", 1000}, {"1D2", 100}, {"1d-2", 0.01}, {"2.5E+1", 25}, {"1.E2", 100}, {"1E", 1},
        {"1E+", 1}, {"1E-x", 1}, {"E5", 0}, {".E5", 0},
        // hexadecimal and octal whole numbers, never negative
        {"&HFF", 255}, {"&hff", 255}, {"&ha", 10}, {"&H9", 9}, {"&o17", 15}, {"&HFFFF", 65535}, {"&HFF.5", 255},
        {"&O8", 0}, {"&H", 0}, {"&", 0}, {"&X1", 0}, {"-&H5", 0},
        {"&HFFFFFFFFFFFFFFFF", 18446744073709551615.0}, {"&H10000000000000000", 18446744073709551616.0},
        {"", 0}, {"abc", 0}, {"-", 0}, {".", 0}, {"0x10", 0}, {"12abc", 12}, {"1.2.3", 1.2},
        {"1,5", 1}, {"5-", 5},
        {"4\0"s "5", 4}, {"\0"s "5", 0}, {"7\xFF" "8", 7}, {"\xC3\xA9" "1", 0}, {"3\xC3", 3},
        {"1E400", kInf}, {"-1E400", -kInf}, {"1E-400", 0}, {"0.001E-400", 0},
        {"1E99999999999999999999", kInf}, {"1" + std::string(400, '0'), kInf},
        {"1" + mb, kInf}, {mb + "7", 7}, {"0." + mb + "1", 0}, {std::string(mb.size(), ' ') + "5", 5},
        {"&H" + std::string(mb.size(), 'F'), kInf}, {"1E" + std::string(mb.size(), '9'), kInf},
    };
    const auto start = std::chrono::steady_clock::now();
    for (const auto& [text, expected] : rows) EXPECT_EQ(NumericValue(text), expected) << text.substr(0, 20);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

TEST(SignedText, BlankOrMinusThenNoZeroBeforeThePoint)
{
    const std::pair<std::string, std::string> rows[] = {
        {" 2", SignedText(2)}, {"-3", SignedText(-3)}, {" 0", SignedText(0)},
        {"-2147483648", SignedText(std::numeric_limits<int>::min())},
        {" 9223372036854775807", SignedText(std::numeric_limits<std::int64_t>::max())},
        // floats keep 7 significant digits
        {" .2", SignedText(0.2f)}, {"-.5", SignedText(-0.5f)}, {" 0", SignedText(-0.0f)}, {" 12", SignedText(12.0f)},
        {" 200", SignedText(0.2f * 1000.0f)}, {" 1234567", SignedText(1234567.0f)}, {" 1E+07", SignedText(1e7f)},
        // doubles keep 15, in %G style
        {" .3", SignedText(0.1 + 0.2)}, {"-2.5", SignedText(-2.5)}, {" .333333333333333", SignedText(1.0 / 3.0)},
        {" 123456789012345", SignedText(123456789012345.0)}, {" 1E+15", SignedText(1e15)},
        {" .0001", SignedText(0.0001)}, {" 1E-05", SignedText(0.00001)}, {"-1.#INF", SignedText(-kInf)},
        {" 1.#INF", SignedText(kInf)}, {" NaN", SignedText(kNaN)}, {" 5", SignedText(5.0)},
    };
    for (const auto& [expected, actual] : rows) EXPECT_EQ(actual, expected);
}

TEST(ToInt, FitsOnlyWhatRoundsIntoTheType)
{
    const std::pair<double, std::optional<std::int32_t>> rows32[] = {
        {2147483647.4, 2147483647}, {2147483646.5, 2147483646}, {-2147483648.5, -2147483648},
        {2147483647.5, std::nullopt}, // rounds up to 2^31
        {-2147483649.0, std::nullopt}, {1e10, std::nullopt}, {kInf, std::nullopt}, {kNaN, std::nullopt},
    };
    for (const auto& [value, expected] : rows32) EXPECT_EQ(ToInt32(value), expected) << value;

    const std::pair<double, std::optional<std::int16_t>> rows16[] = {
        {32767.0, 32767}, {32766.5, 32766}, {-32768.5, -32768}, {32767.5, std::nullopt},
        {-32769.0, std::nullopt}, {kNaN, std::nullopt},
    };
    for (const auto& [value, expected] : rows16) EXPECT_EQ(ToInt16(value), expected) << value;
}

} // namespace
} // namespace wendel
