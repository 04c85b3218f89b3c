#include "display/CoverFit.h"
#include "link/PlxRig.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace wendel::testing {
namespace {

using Placements = std::vector<CoverPlacement>;
using Strings = std::vector<std::string>;

TEST(CoverFit, FitsEveryPictureInTheCoverArea)
{
    const std::tuple<int, int, std::int16_t, std::int16_t> rows[] = { // pixels in, twips out
        {300, 300, 4800, 4800}, {300, 200, 7200, 4800}, {200, 300, 3200, 4800}, {400, 300, 6400, 4800},
        {640, 200, 7200, 2250}, {200, 199, 4824, 4800}, {0, 0, 4800, 4800}, // the empty picture of an empty path
        // Sizes of 2185 pixels and more once overflowed the natural size.
        {2185, 2185, 4800, 4800}, {3000, 2000, 7200, 4800}, {10000, 100, 7200, 72}, {100, 10000, 48, 4800},
        {2880, 1, 7200, 2}, {192, 1, 7200, 38}, // halves go to the even neighbour: 2.5 -> 2, 37.5 -> 38
    };
    for (const auto& [width, height, fittedWidth, fittedHeight] : rows) {
        const CoverSize fitted = FitCover(std::int64_t{width} * 15, std::int64_t{height} * 15);
        EXPECT_EQ(fitted, (CoverSize{fittedWidth, fittedHeight})) << width << " x " << height;
    }
}

// The decode runs at the fitted size and shows centred when it reports; only the latest cover's decode may
// show, and a report nobody waits for is dropped. The largest picture allowed and one pixel are decoded.
TEST(ShowAlbumCover, OnlyTheLatestCoverShowsCentredOnceDecoded)
{
    const Placements wide{{1207.5f, 1457.5f, 7200, 4800}}, tall{{3207.5f, 1457.5f, 3200, 4800}};
    const Placements square{{2407.5f, 1457.5f, 4800, 4800}};
    const std::tuple<Strings, int, int, Placements> rows[] = { // paths, decode report, cancels, placed
        {{"/c/a.jpg"}, 0, 0, wide}, {{"/c/a.jpg", "/c/tall.jpg"}, 0, 1, tall}, {{"/c/a.jpg", "/c/a.jpg"}, 0, 0, wide},
        {{"/c/a.jpg", "/c/missing.jpg"}, 0, 1, {}}, {{"/c/a.jpg", "/c/missing.jpg"}, 481, 1, {}}, {{}, 481, 0, {}},
        {{"/c/max.jpg"}, 0, 0, square}, {{"/c/dot.jpg"}, 0, 0, square},
    };
    for (const auto& [paths, report, cancels, placed] : rows) {
        SCOPED_TRACE(paths.empty() ? "" : paths.back());
        FakeSaver rig;
        rig.pictures.pictures = {{"/c/a.jpg", {0, 300, 200}}, {"/c/tall.jpg", {0, 200, 300}},
                                 {"/c/max.jpg", {0, 10000, 10000}}, {"/c/dot.jpg", {0, 1, 1}}};
        rig.board.SetVisible(Label::No_Image, true);
        for (const std::string& path : paths) rig.saver.ShowAlbumCover(path);
        EXPECT_FALSE(rig.board.IsVisible(Picture::AlbumCover));
        rig.saver.CoverDecoded(report);
        rig.saver.CoverDecoded(0);
        EXPECT_EQ(rig.board.coverCancels, cancels);
        EXPECT_EQ(rig.board.coverPlacements, placed);
        if (!placed.empty()) {
            EXPECT_EQ(rig.board.coverLoads.back(), std::make_tuple(paths.back(), placed[0].width, placed[0].height));
        }
        EXPECT_EQ(rig.board.IsVisible(Picture::AlbumCover), !placed.empty());
        EXPECT_EQ(rig.board.IsVisible(Label::No_Image), placed.empty());
        EXPECT_TRUE(rig.boxes.shown.empty());
    }
}

// The caller retries; the cover shown before goes; the same path again is skipped unless a retry is pending.
TEST(ShowAlbumCover, MissingOrLockedFileIsReportedToTheCaller)
{
    const std::tuple<const char*, PictureProbe, int> rows[] = { // path, header, opening
        {"/c/missing.jpg", {53, 0, 0}, 0}, {"/c/locked.jpg", {70, 0, 0}, 0}, {"/c/gone.jpg", {0, 300, 300}, 53},
        {"/c/since.jpg", {0, 300, 300}, 70},
    };
    for (const auto& [path, probe, opening] : rows) {
        FakeSaver rig;
        rig.pictures.pictures = {{"/c/a.jpg", {0, 300, 200}}, {path, probe}};
        rig.board.coverLoadCodes[path] = opening;
        rig.saver.ShowAlbumCover("/c/a.jpg");
        rig.saver.CoverDecoded(0);
        EXPECT_EQ(rig.saver.ShowAlbumCover(path), probe.code + opening) << path;
        EXPECT_FALSE(rig.saver.CoverDecoding);
        EXPECT_FALSE(rig.board.IsVisible(Picture::AlbumCover));
        EXPECT_EQ(rig.saver.ShowAlbumCover(path), 0);
        rig.saver.CoverRetryCount = 1;
        EXPECT_EQ(rig.saver.ShowAlbumCover(path), probe.code + opening);
    }
}

TEST(ShowAlbumCover, EveryOtherFailureEndsTheSaverAfterItsMessage)
{
    const std::tuple<const char*, PictureProbe, int, int, int> rows[] = { // what, header, opening, decode, code
        {"folder named as cover", {75, 0, 0}, 0, 0, 75}, {"not a picture", {481, 0, 0}, 0, 0, 481},
        {"decompression bomb", {0, 30000, 30000}, 0, 0, 481}, {"over 100 megapixels", {0, 10001, 10000}, 0, 0, 481},
        {"width of 0", {0, 0, 300}, 0, 0, 481}, {"height of 0", {0, 300, 0}, 0, 0, 481},
        {"a folder since its header", {0, 300, 300}, 75, 0, 75}, {"cut off in its data", {0, 300, 300}, 0, 481, 481},
    };
    for (const auto& [what, probe, opening, decode, code] : rows) {
        SCOPED_TRACE(what);
        FakeSaver rig;
        rig.pictures.pictures["/c/x"] = probe;
        rig.board.coverLoadCodes["/c/x"] = opening;
        rig.saver.ShowAlbumCover("/c/x");
        if (rig.saver.CoverDecoding) {
            EXPECT_TRUE(rig.boxes.shown.empty()); // nothing is known until the decode reports
            rig.saver.CoverDecoded(decode);
        }
        const std::string text = "Encountered Unknown Error  " + std::to_string(code) + "!";
        EXPECT_EQ(rig.boxes.Shown(),
                  (std::vector<FakeMessageBoxes::Box>{{text, "WendelSaver", MessageIcon::Critical, MessageButtons::Ok}}));
        EXPECT_EQ(rig.cursor.calls, (std::vector<bool>{true, true})); // before the box, then EndSaver
        EXPECT_EQ(rig.process.exitCalls, 1);
        EXPECT_EQ(rig.board.coverLoads.size(), opening || decode ? 1u : 0u); // refused from the header
        EXPECT_FALSE(rig.board.IsVisible(Picture::AlbumCover));
    }
}

TEST(CoverRetry, LockedCoverRetriesFiveTimesThenTheDefaultImageEvery500ms)
{
    PlxRig plx;
    plx.fake.saver.Settings().DefaultImage = "/covers/default-locked.jpg";
    plx.fake.pictures.pictures["/covers/default-locked.jpg"] = {70, 0, 0};
    plx.Say(Playing({.cover = "/covers/locked.jpg"}));
    for (int tick = 1; tick <= 11; ++tick) {
        ASSERT_TRUE(plx.fake.imageErrorTimer.enabled);
        plx.fake.saver.ImageErrorTimerTick();
        EXPECT_EQ(plx.fake.pictures.probed.back(), tick <= 5 ? "/covers/locked.jpg" : "/covers/default-locked.jpg");
    }
    EXPECT_EQ(plx.fake.imageErrorTimer.armedIntervals,
              (std::vector<int>{2000, 2000, 2000, 2000, 2000, 500, 500, 500, 500, 500, 500, 500}));
    EXPECT_EQ(plx.fake.saver.CoverRetryCount, 2); // restarted from 1 after the default's fifth failure

    plx.fake.pictures.pictures["/covers/default-locked.jpg"] = {0, 200, 300};
    plx.fake.saver.ImageErrorTimerTick();
    plx.fake.saver.CoverDecoded(0);
    EXPECT_FALSE(plx.fake.imageErrorTimer.enabled);
    EXPECT_TRUE(plx.Visible(Picture::AlbumCover));
}

TEST(CoverRetry, MissingCoverFallsBackToTheDefaultImageOnce)
{
    const std::tuple<const char*, const char*, bool, Strings> rows[] = { // cover, default, No_Image, probed
        {"/covers/missing.jpg", "/covers/a.jpg", false, {"/covers/missing.jpg", "/covers/a.jpg"}},
        {"/covers/missing.jpg", "/covers/gone.jpg", true, {"/covers/missing.jpg", "/covers/gone.jpg"}},
        {"/covers/gone.jpg", "/covers/gone.jpg", false, {"/covers/gone.jpg"}}, // the item named the missing default
        {"/covers/missing.jpg", "", false, {"/covers/missing.jpg", ""}},       // no default: a blank area
        {"", "/covers/a.jpg", false, {"/covers/a.jpg"}},                       // no cover: the default at once
    };
    for (const auto& [cover, defaultImage, noImage, probed] : rows) {
        SCOPED_TRACE(cover);
        PlxRig plx;
        plx.fake.saver.Settings().DefaultImage = defaultImage;
        plx.Say(Playing({.cover = cover}));
        if (plx.fake.imageErrorTimer.enabled) plx.fake.saver.ImageErrorTimerTick();
        EXPECT_EQ(plx.fake.imageErrorTimer.armedIntervals, std::vector<int>(*cover ? 1 : 0, 500));
        EXPECT_EQ(plx.Visible(Label::No_Image), noImage);
        EXPECT_EQ(plx.fake.pictures.probed, probed);
    }
}

} // namespace
} // namespace wendel::testing
