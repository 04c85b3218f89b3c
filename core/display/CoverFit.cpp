#include "display/CoverFit.h"

#include "text/Numbers.h"

namespace wendel {

namespace {

// Every fitted side lies between 0 and the area's 7200 twips, so the 16-bit
// field of the classic layout always holds it.
std::int16_t Nearest(double value)
{
    return static_cast<std::int16_t>(RoundHalfEven(value));
}

} // namespace

CoverSize FitCover(std::int64_t naturalWidthTwips, std::int64_t naturalHeightTwips)
{
    const double w = static_cast<double>(naturalWidthTwips);
    const double h = static_cast<double>(naturalHeightTwips);
    if (h > w) return {Nearest(kCoverAreaHeight / (h / w)), kCoverAreaHeight};
    if (h == w) return {kCoverAreaHeight, kCoverAreaHeight};
    const double fullWidthHeight = kCoverAreaWidth / (w / h);
    if (fullWidthHeight <= kCoverAreaHeight) return {kCoverAreaWidth, Nearest(fullWidthHeight)};
    return {Nearest(kCoverAreaHeight * (w / h)), kCoverAreaHeight};
}

CoverPlacement CentreCover(CoverSize fitted, int windowWidthTwips, int windowHeightTwips)
{
    // The differences in 16 bits, the halving in double, the result in single
    // precision, as the classic layout stored them.
    const auto spareWidth = static_cast<std::int16_t>(windowWidthTwips - fitted.width);
    const auto spareHeight = static_cast<std::int16_t>(windowHeightTwips - fitted.height);
    CoverPlacement placement;
    placement.left = static_cast<float>(spareWidth / 2.0);
    placement.top = static_cast<float>(spareHeight / 2.0 + kCoverDropTwips);
    placement.width = fitted.width;
    placement.height = fitted.height;
    return placement;
}

bool IsDecodablePictureSize(std::int64_t widthPixels, std::int64_t heightPixels)
{
    if (widthPixels <= 0 || heightPixels <= 0) return false;
    // Divide rather than multiply: a header may declare sides near 2^31.
    return widthPixels <= kMaxCoverPixels / heightPixels;
}

} // namespace wendel
