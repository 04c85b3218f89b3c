#pragma once

#include <cmath>

namespace wendel {

// Layouts are designed in twips: 1440 to the inch, 15 to a pixel at 96 dpi.
inline constexpr int kTwipsPerPixel = 15;

inline int TwipsToPixels(double twips)
{
    return static_cast<int>(std::lround(twips / kTwipsPerPixel));
}

struct TwipRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

} // namespace wendel
