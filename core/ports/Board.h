#pragma once

#include <string>

namespace wendel {

// The saver window's labels and pictures, by their design names.
enum class Label { Track, ArtistAlbum, TrackTime, AlbumNotice, Caption_Upnext, NextInfo, No_Image, NoPLX };

enum class Picture {
    DefaultHeader,
    DefaultFooter,
    Header1,
    Header2,
    Header3,
    Footer1,
    Footer2,
    Footer3,
    Play,
    Pause,
    Stopsign,
    AlbumCover,
};

// The cover box's place and size in twips; positions may fall on a half twip.
struct CoverPlacement {
    float left = 0;
    float top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const CoverPlacement&) const = default;
};

// The saver window as the behaviour sees it. Setting a caption re-sizes an
// auto-sized label at once, keeping the edge its alignment names.
class Board {
public:
    virtual ~Board() = default;

    virtual std::string Caption(Label label) const = 0;
    virtual void SetCaption(Label label, const std::string& text) = 0;
    virtual bool IsVisible(Label label) const = 0;
    virtual void SetVisible(Label label, bool visible) = 0;
    // Draws the label on the screen before returning (the reveal effects
    // pause between steps and let no event run meanwhile).
    virtual void RepaintNow(Label label) = 0;

    virtual bool IsVisible(Picture picture) const = 0;
    virtual void SetVisible(Picture picture, bool visible) = 0;

    // Starts decoding the picture file into AlbumCover at the size it will be
    // shown, given in twips, so that a large picture is never decoded whole.
    // The file is opened at once: its failure code (53, 70 or any other) is
    // returned, nothing starts and the box keeps its previous picture. On 0
    // the decode runs off the GUI thread and its outcome (0, or the code of a
    // picture that could not be decoded) comes later through the saver's
    // CoverDecoded, with the picture already in the box on 0. An empty path
    // empties the box, with its outcome coming the same way. Every call drops
    // the decode still running for an earlier one: its outcome never comes.
    virtual int LoadCover(const std::string& path, int widthTwips, int heightTwips) = 0;
    // Drops the decode under way, if any: its outcome never comes.
    virtual void CancelCoverLoad() = 0;
    // Moves and sizes AlbumCover; its picture is stretched to the box.
    virtual void PlaceCover(const CoverPlacement& placement) = 0;

    // Shows the black backdrop behind the board, over every screen.
    virtual void ShowBackdrop() = 0;

    // The saver window's client size in twips.
    virtual int WidthTwips() const = 0;
    virtual int HeightTwips() const = 0;
};

} // namespace wendel
