#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wendel {

// Texts from the jukebox are UTF-8. Positions and lengths count characters
// from 1, as the message grammar does: a character is a byte together with
// the UTF-8 continuation bytes after it. An ASCII byte is always a character
// of its own, and continuation bytes with no lead byte before them form one,
// so every byte belongs to exactly one character and nothing is ever lost.

// The number of characters in the text.
std::size_t CharLength(std::string_view text);

// The text less its first `count` characters (empty when it has no more).
std::string_view CharsAfter(std::string_view text, std::size_t count);

// The `length` characters from position `start`; nullopt unless the whole cut
// lies inside the text (start 1 or more, length 0 or more, and it ends at or
// before the last character). Never reads outside the text.
std::optional<std::string> CutChars(std::string_view text, std::int64_t start, std::int64_t length);

// Field-end positions are 16-bit; a position beyond 32767 is stored as this
// value, which no field cut accepts.
inline constexpr std::int16_t kFieldEndOutOfRange = INT16_MIN;

using FieldEnds = std::array<std::int16_t, 7>;

// The quoted-field splitter. For each of `count` fields (clamped to 1..7):
// find the first double quote at or after the text's second character (q, or
// 0 when there is none), add q + 1 to the running end, store it, and drop
// q + 1 characters from the text. Consumes `text`; slots past `count` are 0.
FieldEnds SplitFieldEnds(int count, std::string& text);

// Cuts the `count` fields that `ends` describe plus the last field after
// them: field 0 from position 2, FieldEnd[0] - 3 long; field k from
// FieldEnd[k-1] + 2, FieldEnd[k] - FieldEnd[k-1] - 3 long; the last from
// FieldEnd[count-1] + 2, up to the text's last two characters. Nullopt when
// any of them cannot be cut: that is what makes a message malformed.
std::optional<std::vector<std::string>> CutQuotedFields(std::string_view text, const FieldEnds& ends, int count);

// "Ravens, The" -> "The Ravens": only a text ending in ", " and the three
// letters of the article, in any letter case, is turned round.
std::string ApplyArticleRule(std::string_view text);

// A marked title: "!a{" performer "}t{" title "}!". One without "}t{" is plain.
bool IsMarkedTitle(std::string_view field);

// Everything after the last "t{" except the closing "}!".
std::string MarkedTitle(std::string_view field);

// Everything between the leading "!a{" and the first "}t{".
std::string MarkedArtist(std::string_view field);

// A playlist index text that is wholly a number: blanks around it, an optional
// sign, digits with an optional fraction and exponent (E or D), or &H / &O
// with hexadecimal or octal digits. Nullopt for anything else, and for a
// value beyond the double range.
std::optional<double> WholeNumber(std::string_view text);

// A timer interval in milliseconds from the overlap setting (held in
// milliseconds): rounded half to even, at least 1 so that the fetch cycle can
// never stall on an interval of 0, and at most the largest 32-bit value.
int OverlapInterval(float overlapMilliseconds);

} // namespace wendel
