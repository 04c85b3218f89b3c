#include "Artwork.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <tuple>

using namespace wendel;

namespace {

enum class Depth { Palette16, Palette256, Rgb24 };
enum class Hue { None, Blue, Red, Green, Yellow, Other };

std::string Trace(ArtworkId id) { return ArtworkResourcePath(id).toStdString(); }

// Dark pixels count as black, washed-out ones (such as the edges where yellow
// letters blend into a blue header) as Other; the rest by their hue angle.
Hue HueOf(QRgb rgb)
{
    const QColor c = QColor::fromRgb(rgb);
    if (c.value() < 24) {
        return Hue::None;
    }
    const int h = c.hsvHue();
    if (c.hsvSaturation() < 100) {
        return Hue::Other;
    }
    if (h < 20 || h >= 330) {
        return Hue::Red;
    }
    if (h >= 35 && h <= 75) {
        return Hue::Yellow;
    }
    if (h >= 80 && h <= 170) {
        return Hue::Green;
    }
    return h >= 190 && h <= 260 ? Hue::Blue : Hue::Other;
}

struct Survey {
    std::map<Hue, int> hues;
    int pureBlack = 0;
    int brightest = 0; // highest channel value of any pixel
    int Count(Hue h) const { return hues.count(h) ? hues.at(h) : 0; }
};

Survey SurveyOf(const QImage& image, QRect area = {})
{
    Survey s;
    const QRect rect = area.isNull() ? image.rect() : area;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            const QRgb c = image.pixel(x, y);
            ++s.hues[HueOf(c)];
            s.pureBlack += (c & 0xffffffu) == 0;
            s.brightest = std::max({s.brightest, qRed(c), qGreen(c), qBlue(c)});
        }
    }
    return s;
}

int DifferingPixels(const QImage& a, const QImage& b)
{
    int n = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            n += a.pixel(x, y) != b.pixel(x, y);
        }
    }
    return n;
}

// How many rows in [top, bottom) hold at least one yellow pixel.
int YellowRows(const QImage& image, int top, int bottom)
{
    int rows = 0;
    for (int y = top; y < bottom; ++y) {
        rows += SurveyOf(image, QRect(0, y, image.width(), 1)).Count(Hue::Yellow) > 0;
    }
    return rows;
}

struct Picture {
    ArtworkId id;
    int width;
    int height;
    Depth depth;
};

constexpr Picture kPictures[] = {
    {ArtworkId::DefaultHeader, 640, 90, Depth::Palette256},
    {ArtworkId::DefaultFooter, 450, 22, Depth::Palette16},
    {ArtworkId::Header1, 90, 64, Depth::Palette16},
    {ArtworkId::Header2, 90, 64, Depth::Palette16},
    {ArtworkId::Header3, 90, 64, Depth::Palette16},
    {ArtworkId::Footer1, 450, 22, Depth::Palette16},
    {ArtworkId::Footer2, 450, 22, Depth::Palette16},
    {ArtworkId::Footer3, 450, 22, Depth::Palette16},
    {ArtworkId::Play, 34, 32, Depth::Rgb24},
    {ArtworkId::Pause, 29, 32, Depth::Rgb24},
    {ArtworkId::Stopsign, 34, 31, Depth::Rgb24},
    {ArtworkId::WindowIcon, 32, 32, Depth::Palette256},
    {ArtworkId::LookPreview1, 162, 95, Depth::Palette16},
    {ArtworkId::LookPreview2, 162, 95, Depth::Palette16},
    {ArtworkId::LookPreview3, 162, 95, Depth::Palette16},
    {ArtworkId::LookPreview4, 162, 95, Depth::Palette16},
};

} // namespace

TEST(Artwork, EveryPictureIsEmbeddedAtItsSizeAndDepth)
{
    ASSERT_EQ(std::size(kPictures), kAllArtwork.size());
    for (const Picture& want : kPictures) {
        SCOPED_TRACE(Trace(want.id));
        const QImage image = LoadArtwork(want.id);
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.size(), QSize(want.width, want.height));

        // The file itself: bit depth and colour type from the PNG header.
        QFile file(ArtworkResourcePath(want.id));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray head = file.read(26);
        ASSERT_EQ(head.size(), 26);
        const int bitDepth = quint8(head[24]);
        const int colourType = quint8(head[25]);

        switch (want.depth) {
        case Depth::Palette16:
            EXPECT_EQ(image.format(), QImage::Format_Indexed8);
            EXPECT_EQ(image.colorCount(), 16);
            EXPECT_EQ(bitDepth, 4);
            EXPECT_EQ(colourType, 3);
            break;
        case Depth::Palette256:
            EXPECT_EQ(image.format(), QImage::Format_Indexed8);
            EXPECT_GT(image.colorCount(), 16);
            EXPECT_LE(image.colorCount(), 256);
            EXPECT_EQ(bitDepth, 8);
            EXPECT_EQ(colourType, 3);
            break;
        case Depth::Rgb24:
            EXPECT_EQ(image.format(), QImage::Format_RGB888);
            EXPECT_FALSE(image.hasAlphaChannel());
            EXPECT_EQ(bitDepth, 8);
            EXPECT_EQ(colourType, 2); // truecolour without alpha
            break;
        }
    }
}

TEST(Artwork, ResourceFolderHoldsExactlyTheListedPictures)
{
    std::set<QString> listed;
    for (const ArtworkEntry& e : kAllArtwork) {
        listed.insert(QFileInfo(ArtworkResourcePath(e.id)).fileName());
    }
    ASSERT_EQ(listed.size(), kAllArtwork.size()) << "duplicate names";
    const QStringList embedded = QDir(QStringLiteral(":/artwork")).entryList(QDir::Files);
    EXPECT_EQ(std::set<QString>(embedded.begin(), embedded.end()), listed);
}

TEST(Artwork, HeadersAndFootersAreShadesFromBlackToTheirHue)
{
    const std::pair<ArtworkId, Hue> cases[] = {
        {ArtworkId::DefaultHeader, Hue::Blue}, {ArtworkId::DefaultFooter, Hue::Blue},
        {ArtworkId::Header1, Hue::Blue},       {ArtworkId::Header2, Hue::Red},
        {ArtworkId::Header3, Hue::Green},      {ArtworkId::Footer1, Hue::Blue},
        {ArtworkId::Footer2, Hue::Red},        {ArtworkId::Footer3, Hue::Green},
    };
    for (const auto& [id, hue] : cases) {
        SCOPED_TRACE(Trace(id));
        const QImage image = LoadArtwork(id);
        // Every palette entry, used or not, is black or a shade of the hue.
        for (const QRgb c : image.colorTable()) {
            const Hue h = HueOf(c);
            EXPECT_TRUE(h == Hue::None || h == hue) << std::hex << c;
        }
        const Survey s = SurveyOf(image);
        EXPECT_GT(s.pureBlack, 0);
        EXPECT_GT(s.Count(hue), image.width() * image.height() / 5);
        EXPECT_GE(s.brightest, 150) << "the hue must reach a bright shade";
    }
}

TEST(Artwork, DefaultFooterAndFooter1SharePaletteButNotPicture)
{
    const QImage defaultFooter = LoadArtwork(ArtworkId::DefaultFooter);
    const QImage footer1 = LoadArtwork(ArtworkId::Footer1);
    EXPECT_EQ(defaultFooter.colorTable(), footer1.colorTable());
    EXPECT_GT(DifferingPixels(defaultFooter, footer1), 450 * 22 / 4);
}

TEST(Artwork, HeadersDifferFromEachOtherAndSoDoFooters)
{
    const ArtworkId groups[][3] = {
        {ArtworkId::Header1, ArtworkId::Header2, ArtworkId::Header3},
        {ArtworkId::Footer1, ArtworkId::Footer2, ArtworkId::Footer3},
    };
    for (const auto& group : groups) {
        for (int i = 0; i < 3; ++i) {
            for (int j = i + 1; j < 3; ++j) {
                SCOPED_TRACE(Trace(group[i]) + " vs " + Trace(group[j]));
                EXPECT_GT(DifferingPixels(LoadArtwork(group[i]), LoadArtwork(group[j])), 100);
            }
        }
    }
}

TEST(Artwork, PreviewsShowYellowTextOverTheLooksHeaderOnBlack)
{
    struct Case {
        ArtworkId id;
        Hue hue;
        QPoint headerAt; // top-left corner of the header, as the board places it
    };
    const Case cases[] = {
        {ArtworkId::LookPreview1, Hue::Blue, {0, 13}},
        {ArtworkId::LookPreview2, Hue::Blue, {16, 18}},
        {ArtworkId::LookPreview3, Hue::Red, {16, 18}},
        {ArtworkId::LookPreview4, Hue::Green, {16, 18}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Trace(c.id));
        const QImage image = LoadArtwork(c.id);
        ASSERT_EQ(image.size(), QSize(162, 95));
        EXPECT_TRUE(image.colorTable().contains(qRgb(255, 255, 0)));

        const Survey s = SurveyOf(image);
        EXPECT_GT(s.Count(Hue::Yellow), 300);
        EXPECT_GT(s.Count(c.hue), 1000);
        for (const Hue other : {Hue::Blue, Hue::Red, Hue::Green}) {
            if (other != c.hue) {
                EXPECT_LT(s.Count(other), 20) << "stray hue " << int(other);
            }
        }

        // Above and left of the header there is only pure black.
        const QRect above(0, 0, image.width(), c.headerAt.y());
        const QRect left(0, 0, c.headerAt.x(), image.height());
        for (const QRect& blank : {above, left}) {
            if (!blank.isEmpty()) {
                EXPECT_EQ(SurveyOf(image, blank).pureBlack, blank.width() * blank.height());
            }
        }
        // The title hangs from y 28 and the byline from y 59; no yellow
        // elsewhere.
        EXPECT_EQ(YellowRows(image, 0, 28), 0);
        EXPECT_GE(YellowRows(image, 28, 54), 14);
        EXPECT_GE(YellowRows(image, 59, 78), 10);
        EXPECT_EQ(YellowRows(image, 80, 95), 0);
    }
}

TEST(Artwork, IconsAreColouredShapesOnBlack)
{
    const std::tuple<ArtworkId, Hue, int> cases[] = {
        {ArtworkId::Play, Hue::Green, 140},     {ArtworkId::Pause, Hue::Yellow, 140},
        {ArtworkId::Stopsign, Hue::Red, 140},   {ArtworkId::WindowIcon, Hue::Blue, 300},
        {ArtworkId::WindowIcon, Hue::Yellow, 40}, // the notes
    };
    for (const auto& [id, hue, atLeast] : cases) {
        SCOPED_TRACE(Trace(id));
        const QImage image = LoadArtwork(id);
        const int right = image.width() - 1, bottom = image.height() - 1;
        for (const QPoint corner : {QPoint(0, 0), QPoint(right, 0), QPoint(0, bottom), QPoint(right, bottom)}) {
            EXPECT_EQ(image.pixel(corner) & 0xffffffu, 0u);
        }
        EXPECT_GE(SurveyOf(image).Count(hue), atLeast);
    }
}

TEST(Artwork, UnknownIdGivesNoPathAndANullImage)
{
    for (const int raw : {-1, int(kAllArtwork.size()), 999}) {
        SCOPED_TRACE(raw);
        const auto id = static_cast<ArtworkId>(raw);
        EXPECT_TRUE(ArtworkResourcePath(id).isEmpty());
        EXPECT_TRUE(LoadArtwork(id).isNull());
    }
}
