#pragma once

#include "display/Twips.h"

namespace wendel::setup_layout {

// The dialog's design, in twips. Controls inside a frame are placed relative
// to that frame.
inline constexpr int kClientWidth = 5145;
inline constexpr int kClientHeight = 3045;

inline constexpr TwipRect kOkButton{3855, 60, 1215, 375};
inline constexpr TwipRect kCancelButton{3855, 540, 1215, 375};
inline constexpr TwipRect kCustomLookFrame{45, 60, 3045, 2265};
inline constexpr TwipRect kLookScroller{2610, 285, 240, 1800};     // in CustomLookFrame
inline constexpr TwipRect kLookImage1{195, 315, 2430, 1425};       // in CustomLookFrame
inline constexpr TwipRect kLookImage2to4{195, 300, 2430, 1425};    // in CustomLookFrame
inline constexpr TwipRect kLookImageBGround{195, 300, 2535, 1860}; // in CustomLookFrame
inline constexpr TwipRect kShape2{45, 2085, 2850, 90};             // in CustomLookFrame
inline constexpr TwipRect kOverlapLabel{3465, 1125, 840, 255};
inline constexpr TwipRect kOverlapInput{4380, 1065, 375, 375};
inline constexpr TwipRect kOverlapScroller{4740, 1065, 300, 375};
inline constexpr TwipRect kBGroundSet{3165, 1500, 1905, 750};
inline constexpr TwipRect kOption1{420, 360, 735, 210};            // in BGroundSet
inline constexpr TwipRect kOption2{1155, 308, 660, 315};           // in BGroundSet
inline constexpr TwipRect kFrame1{60, 2295, 5025, 705};
inline constexpr TwipRect kDefaultImageText{90, 285, 4275, 330};   // in Frame1

} // namespace wendel::setup_layout
