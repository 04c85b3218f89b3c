#pragma once

#include "ports/Board.h"

#include <cstdint>

namespace wendel {

// The box the cover is fitted into, in twips (480 x 320 pixels), centred in
// the window and pushed 250 twips below its middle.
inline constexpr int kCoverAreaWidth = 7200;
inline constexpr int kCoverAreaHeight = 4800;
inline constexpr int kCoverDropTwips = 250;

// The code of a picture the saver will not decode: a side of 0, or more than
// kMaxCoverPixels (the classic runtime's "Invalid picture"). Fixed, so that a
// user who reports it always quotes the same number.
inline constexpr int kUnreadablePictureCode = 481;
inline constexpr std::int64_t kMaxCoverPixels = 100'000'000;

struct CoverSize {
    std::int16_t width = 0;
    std::int16_t height = 0;
    bool operator==(const CoverSize&) const = default;
};

// Fits a picture of the given natural size (twips) into the cover area,
// keeping its proportions. The natural size is 64-bit: a picture of 2185
// pixels or more no longer overflows. A picture of 0 x 0 (the empty picture)
// counts as square.
CoverSize FitCover(std::int64_t naturalWidthTwips, std::int64_t naturalHeightTwips);

// Centres a fitted cover in a window of the given client size (twips).
CoverPlacement CentreCover(CoverSize fitted, int windowWidthTwips, int windowHeightTwips);

// True when a picture of this pixel size may be decoded at all.
bool IsDecodablePictureSize(std::int64_t widthPixels, std::int64_t heightPixels);

} // namespace wendel
