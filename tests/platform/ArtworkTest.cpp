// What the user sees of the embedded pictures: their sizes and colours, and that no two of one size are the same
// picture.

#include "Artwork.h"

#include <gtest/gtest.h>

namespace wendel {
namespace {

// The colour a picture is mostly of: 'r', 'g', 'b', or 'y' where red and green lead together.
char TintOf(const QImage& image)
{
    const QRgb mean = image.scaled(1, 1, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).pixel(0, 0);
    const int red = qRed(mean), green = qGreen(mean), blue = qBlue(mean);
    if (red > 2 * blue && green > 2 * blue && 4 * std::min(red, green) > 3 * std::max(red, green)) return 'y';
    return blue >= red && blue >= green ? 'b' : red >= green ? 'r' : 'g';
}

TEST(Artwork, EveryPictureHasItsSizeAndTint)
{
    const struct {
        ArtworkId id;
        QSize size;
        char tint;
        bool blackCorner;
    } rows[] = {
        {ArtworkId::DefaultHeader, {640, 90}, 'b', false}, {ArtworkId::DefaultFooter, {450, 22}, 'b', false},
        {ArtworkId::Header1, {90, 64}, 'b', true}, {ArtworkId::Header2, {90, 64}, 'r', true},
        {ArtworkId::Header3, {90, 64}, 'g', true}, {ArtworkId::Footer1, {450, 22}, 'b', false},
        {ArtworkId::Footer2, {450, 22}, 'r', false}, {ArtworkId::Footer3, {450, 22}, 'g', false},
        {ArtworkId::Play, {34, 32}, 'g', true}, {ArtworkId::Pause, {29, 32}, 'y', true},
        {ArtworkId::Stopsign, {34, 31}, 'r', true}, {ArtworkId::WindowIcon, {32, 32}, 'b', true},
        {ArtworkId::LookPreview1, {162, 95}, 'b', true}, {ArtworkId::LookPreview2, {162, 95}, 'b', true},
        {ArtworkId::LookPreview3, {162, 95}, 'r', true}, {ArtworkId::LookPreview4, {162, 95}, 'g', true},
    };
    ASSERT_EQ(std::size(rows), kAllArtwork.size());
    for (const auto& row : rows) {
        SCOPED_TRACE(ArtworkResourcePath(row.id).toStdString());
        const QImage image = LoadArtwork(row.id);
        ASSERT_EQ(image.size(), row.size);
        EXPECT_EQ(TintOf(image), row.tint);
        EXPECT_TRUE(!row.blackCorner || (image.pixel(0, 0) & 0xffffffu) == 0);
    }
    // Pictures of one size, such as the three looks' headers, differ in a good part of their area.
    for (const ArtworkEntry& a : kAllArtwork) {
        for (const ArtworkEntry& b : kAllArtwork) {
            const QImage first = LoadArtwork(a.id), second = LoadArtwork(b.id);
            if (a.id >= b.id || first.size() != second.size()) continue;
            int differing = 0;
            for (int y = 0; y < first.height(); ++y)
                for (int x = 0; x < first.width(); ++x) differing += first.pixel(x, y) != second.pixel(x, y);
            EXPECT_GT(differing, first.width() * first.height() / 10) << a.name << " " << b.name;
        }
    }
}

} // namespace
} // namespace wendel
