#pragma once

#include "display/Twips.h"
#include "ports/Board.h"

#include <array>
#include <cstdint>

namespace wendel::board_layout {

// The saver window's design, in twips from the client area's top-left corner.
inline constexpr int kClientWidth = 9615;
inline constexpr int kClientHeight = 7215;

struct Rgb {
    std::uint8_t red, green, blue;
};
inline constexpr Rgb kYellow{255, 255, 0};
inline constexpr Rgb kOlive{192, 192, 0};
inline constexpr Rgb kCyan{0, 255, 255};

enum class Align { Left, Right, Centre };

struct LabelDesign {
    Label label;
    const char* name;
    TwipRect rect;        // an auto-sized label's rect is that of its design-time caption
    const char* caption;  // nullptr: the platform's own credit line (ArtistAlbum)
    int fontPixels;       // 12, 12.75, 14.25, 17.25 and 26.25 pt at 96 dpi
    bool italic;
    bool arialBlack;
    Rgb colour;
    Align align;
    bool autoSize;        // false: a fixed box whose text wraps
    bool visible;
};

inline constexpr std::array<LabelDesign, 8> kLabels{{
    {Label::Track, "Track", {510, 420, 4590, 390}, "WendelSaver PLX Screensaver", 23, false, false,
     kYellow, Align::Left, true, true},
    {Label::ArtistAlbum, "ArtistAlbum", {540, 885, 1815, 285}, nullptr, 17, false, false, kYellow,
     Align::Left, true, true},
    {Label::TrackTime, "TrackTime", {9120, 450, 75, 330}, "", 19, false, false, kOlive, Align::Right,
     true, true},
    {Label::AlbumNotice, "AlbumNotice", {8400, 825, 825, 285}, "[Album]", 17, false, false, kOlive,
     Align::Right, true, false},
    {Label::Caption_Upnext, "Caption_Upnext", {480, 6495, 930, 285}, "Up Next:", 16, true, false, kCyan,
     Align::Left, true, true},
    {Label::NextInfo, "NextInfo", {1635, 6495, 60, 285}, "", 16, true, false, kYellow, Align::Left, true,
     true},
    {Label::No_Image, "No_Image", {2145, 3255, 5565, 750}, "No Image Available", 35, false, true, kOlive,
     Align::Centre, true, false},
    {Label::NoPLX, "NoPLX", {2310, 2880, 5145, 1545}, "Waiting for PLX to be Started", 35, false, true,
     kOlive, Align::Centre, false, true},
}};

struct PictureDesign {
    Picture picture;
    const char* name;
    TwipRect rect;
    bool stretched; // scaled to its box; otherwise the box has the picture's size
};

inline constexpr std::array<PictureDesign, 12> kPictures{{
    {Picture::DefaultHeader, "DefaultHeader", {0, 195, 9600, 1350}, false},
    {Picture::DefaultFooter, "DefaultFooter", {1755, 6495, 6750, 330}, false},
    {Picture::Header1, "Header1", {240, 270, 1350, 1110}, true},
    {Picture::Header2, "Header2", {240, 270, 1365, 1125}, true},
    {Picture::Header3, "Header3", {240, 270, 1365, 1125}, true},
    {Picture::Footer1, "Footer1", {2400, 6495, 6750, 330}, false},
    {Picture::Footer2, "Footer2", {2400, 6495, 6750, 330}, false},
    {Picture::Footer3, "Footer3", {2400, 6495, 6750, 330}, false},
    {Picture::Play, "Play", {8700, 6405, 510, 480}, false},
    {Picture::Pause, "Pause", {8700, 6405, 435, 480}, false},
    {Picture::Stopsign, "Stopsign", {8700, 6420, 510, 465}, false},
    {Picture::AlbumCover, "AlbumCover", {2595, 1545, 4515, 4500}, false},
}};

// Black on the black window: it only keeps presses on the bare surface.
inline constexpr TwipRect kShape1{0, 6435, 1455, 450};

// Where controls overlap, the first is drawn on top.
inline constexpr std::array<const char*, 21> kFrontToBack{
    "Stopsign", "Pause",       "Play",     "Caption_Upnext", "Shape1",        "NextInfo",     "ArtistAlbum",
    "TrackTime", "Track",      "Footer3",  "Footer2",        "Footer1",       "Header3",      "Header2",
    "Header1",  "AlbumNotice", "No_Image", "NoPLX",          "AlbumCover",    "DefaultHeader", "DefaultFooter",
};

} // namespace wendel::board_layout
