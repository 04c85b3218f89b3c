#pragma once

#include <QImage>
#include <QString>

#include <array>
#include <string_view>

namespace wendel {

// The saver's embedded pictures. They are drawn at build time by
// platform/artwork/generate_artwork.cpp and live under ":/artwork/".
enum class ArtworkId {
    DefaultHeader, // 640 x 90, 256 colours, look 1
    DefaultFooter, // 450 x 22, 16 colours, look 1
    Header1,       // 90 x 64, 16 colours, blue ellipse, look 2
    Header2,       // 90 x 64, 16 colours, red ellipse, look 3
    Header3,       // 90 x 64, 16 colours, green ellipse, look 4
    Footer1,       // 450 x 22, 16 colours, DefaultFooter's palette, look 2
    Footer2,       // 450 x 22, 16 colours, look 3
    Footer3,       // 450 x 22, 16 colours, look 4
    Play,          // 34 x 32, 24-bit
    Pause,         // 29 x 32, 24-bit
    Stopsign,      // 34 x 31, 24-bit
    WindowIcon,    // 32 x 32, 256 colours
    LookPreview1,  // 162 x 95, 16 colours each: the setup dialog's previews
    LookPreview2,
    LookPreview3,
    LookPreview4,
};

struct ArtworkEntry {
    ArtworkId id;
    std::string_view name; // file name without ".png"
};

// Every picture once, in enum order. The generator writes exactly these files
// and the build embeds exactly these, so the names must not drift apart.
inline constexpr std::array<ArtworkEntry, 16> kAllArtwork{{
    {ArtworkId::DefaultHeader, "DefaultHeader"},
    {ArtworkId::DefaultFooter, "DefaultFooter"},
    {ArtworkId::Header1, "Header1"},
    {ArtworkId::Header2, "Header2"},
    {ArtworkId::Header3, "Header3"},
    {ArtworkId::Footer1, "Footer1"},
    {ArtworkId::Footer2, "Footer2"},
    {ArtworkId::Footer3, "Footer3"},
    {ArtworkId::Play, "Play"},
    {ArtworkId::Pause, "Pause"},
    {ArtworkId::Stopsign, "Stopsign"},
    {ArtworkId::WindowIcon, "WindowIcon"},
    {ArtworkId::LookPreview1, "LookPreview1"},
    {ArtworkId::LookPreview2, "LookPreview2"},
    {ArtworkId::LookPreview3, "LookPreview3"},
    {ArtworkId::LookPreview4, "LookPreview4"},
}};

// The board's design-time captions of Track and ArtistAlbum. The look
// previews are drawn with them, so the board should show the same texts.
inline constexpr char kSaverTitleText[] = "WendelSaver PLX Screensaver";
inline constexpr char kSaverBylineText[] = "by the WendelSaver developers";

QString SaverTitleText();
QString SaverBylineText();

// ":/artwork/<name>.png", or an empty text for a value outside the enum.
QString ArtworkResourcePath(ArtworkId id);

// The picture, or a null image for a value outside the enum. Palette pictures
// come back as Format_Indexed8 with their palette; the play-state icons as
// Format_RGB888.
QImage LoadArtwork(ArtworkId id);

} // namespace wendel
