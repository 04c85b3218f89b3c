#include "display/CoverFit.h"
#include "link/PlxRig.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace wendel {
namespace {

using testing::FakeSaver;
using testing::Playing;
using testing::PlxRig;
using CoverLoad = testing::FakeBoard::CoverLoad;
using Strings = std::vector<std::string>;

TEST(CoverFit, FitsAndCentresEveryPictureInTheCoverArea)
{
    struct Row {
        int widthPx, heightPx, boxWidth, boxHeight;
        float left, top;
    };
    const Row rows[] = {
        {300, 300, 4800, 4800, 2407.5f, 1457.5f}, {300, 200, 7200, 4800, 1207.5f, 1457.5f}, // exactly 1.5 times as wide
        {200, 300, 3200, 4800, 3207.5f, 1457.5f}, {400, 300, 6400, 4800, 1607.5f, 1457.5f},
        {640, 200, 7200, 2250, 1207.5f, 2732.5f}, {200, 199, 4824, 4800, 2395.5f, 1457.5f},
        // Sizes of 2185 pixels and more once overflowed the natural size.
        {2185, 2185, 4800, 4800, 2407.5f, 1457.5f}, {3000, 2000, 7200, 4800, 1207.5f, 1457.5f},
        {10000, 100, 7200, 72, 1207.5f, 3821.5f}, {100, 10000, 48, 4800, 4783.5f, 1457.5f},
        // Halves go to the even neighbour: 2.5 -> 2, 37.5 -> 38.
        {2880, 1, 7200, 2, 1207.5f, 3856.5f}, {192, 1, 7200, 38, 1207.5f, 3838.5f},
        {0, 0, 4800, 4800, 2407.5f, 1457.5f}, // the empty picture of an empty path
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.widthPx) + " x " + std::to_string(row.heightPx));
        const CoverSize fitted = FitCover(std::int64_t{row.widthPx} * 15, std::int64_t{row.heightPx} * 15);
        EXPECT_EQ(fitted, (CoverSize{static_cast<std::int16_t>(row.boxWidth), static_cast<std::int16_t>(row.boxHeight)}));
        EXPECT_EQ(CentreCover(fitted, 9615, 7215), (CoverPlacement{row.left, row.top, row.boxWidth, row.boxHeight}));
    }
}

class ShowAlbumCoverTest : public ::testing::Test {
protected:
    ShowAlbumCoverTest()
    {
        rig.pictures.pictures["/c/a.jpg"] = {0, 300, 200};
        rig.pictures.pictures["/c/tall.jpg"] = {0, 200, 300};
        rig.pictures.pictures["/c/locked.jpg"] = {70, 0, 0};
    }
    bool CoverShown() const { return rig.board.IsVisible(Picture::AlbumCover); }

    FakeSaver rig;
};

TEST_F(ShowAlbumCoverTest, DecodesAtTheFittedSizeThenShowsTheCoverCentredWhenTheDecodeReports)
{
    rig.board.SetVisible(Label::No_Image, true);
    EXPECT_EQ(rig.saver.ShowAlbumCover("/c/a.jpg"), 0);
    EXPECT_EQ(rig.board.coverLoads, (std::vector<CoverLoad>{{"/c/a.jpg", 7200, 4800}}));
    EXPECT_FALSE(CoverShown());
    EXPECT_TRUE(rig.board.IsVisible(Label::No_Image));
    EXPECT_TRUE(rig.board.coverPlacements.empty());
    rig.saver.CoverDecoded(0);
    EXPECT_TRUE(CoverShown());
    EXPECT_FALSE(rig.board.IsVisible(Label::No_Image));
    EXPECT_EQ(rig.board.coverPlacements, (std::vector<CoverPlacement>{{1207.5f, 1457.5f, 7200, 4800}}));
    rig.saver.CoverDecoded(0); // an outcome nobody waits for any more changes nothing
    EXPECT_EQ(rig.board.coverPlacements.size(), 1u);
}

// Only the decode of the latest cover may show; the board drops the others,
// and an outcome that comes when none is awaited changes nothing.
TEST_F(ShowAlbumCoverTest, ANewerCoverWinsOverAnOlderDecode)
{
    struct Row {
        Strings paths; // given to ShowAlbumCover before any decode reports
        int outcome;   // what the board then reports
        int cancels;
        std::vector<CoverPlacement> placements;
    };
    const CoverPlacement wide{1207.5f, 1457.5f, 7200, 4800};
    const CoverPlacement tall{3207.5f, 1457.5f, 3200, 4800};
    const Row rows[] = {
        {{"/c/a.jpg", "/c/tall.jpg"}, 0, 1, {tall}}, {{"/c/a.jpg", "/c/a.jpg"}, 0, 0, {wide}},
        {{"/c/a.jpg", "/c/missing.jpg"}, 0, 1, {}}, {{"/c/a.jpg", "/c/missing.jpg"}, 481, 1, {}}, {{}, 481, 0, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(&row - rows);
        FakeSaver fresh;
        fresh.pictures.pictures = rig.pictures.pictures;
        for (const std::string& path : row.paths) fresh.saver.ShowAlbumCover(path);
        fresh.saver.CoverDecoded(row.outcome);
        EXPECT_EQ(fresh.board.coverCancels, row.cancels);
        EXPECT_EQ(fresh.board.coverPlacements, row.placements);
        EXPECT_EQ(fresh.board.IsVisible(Picture::AlbumCover), !row.placements.empty());
        EXPECT_TRUE(fresh.boxes.shown.empty());
        EXPECT_EQ(fresh.process.exitCalls, 0);
    }
}

TEST_F(ShowAlbumCoverTest, SamePathIsSkippedUnlessARetryIsPending)
{
    for (const char* path : {"/c/a.jpg", "/c/missing.jpg"}) {
        SCOPED_TRACE(path);
        const bool shown = rig.saver.ShowAlbumCover(path) == 0;
        if (rig.saver.CoverDecoding) rig.saver.CoverDecoded(0);
        const std::size_t probes = rig.pictures.probed.size();
        EXPECT_EQ(rig.saver.ShowAlbumCover(path), 0); // even after a failure
        EXPECT_EQ(rig.pictures.probed.size(), probes);
        EXPECT_EQ(CoverShown(), shown);
    }
    rig.saver.CoverRetryCount = 1;
    EXPECT_EQ(rig.saver.ShowAlbumCover("/c/missing.jpg"), 53);
}

TEST_F(ShowAlbumCoverTest, MissingOrLockedFileKeepsTheBoxHiddenAndNoImageAsItWas)
{
    rig.saver.ShowAlbumCover("/c/a.jpg");
    rig.saver.CoverDecoded(0);
    rig.board.SetVisible(Label::No_Image, true);
    EXPECT_EQ(rig.saver.ShowAlbumCover("/c/missing.jpg"), 53);
    EXPECT_EQ(rig.saver.ShowAlbumCover("/c/locked.jpg"), 70);
    // A file that goes or is locked between its header and its opening.
    for (const int code : {53, 70}) {
        rig.pictures.pictures["/c/gone.jpg"] = {0, 300, 300};
        rig.board.coverLoadCodes["/c/gone.jpg"] = code;
        rig.saver.CoverRetryCount = 1;
        EXPECT_EQ(rig.saver.ShowAlbumCover("/c/gone.jpg"), code);
        EXPECT_FALSE(rig.saver.CoverDecoding);
    }
    EXPECT_FALSE(CoverShown());
    EXPECT_TRUE(rig.board.IsVisible(Label::No_Image));
    EXPECT_TRUE(rig.boxes.shown.empty());
}

TEST_F(ShowAlbumCoverTest, EveryOtherFailureEndsTheSaverAfterItsMessage)
{
    struct Row {
        const char* what;
        PictureProbe probe;
        int openCode;   // what the board's LoadCover gives at once
        int decodeCode; // what its decode reports later
        const char* text;
    };
    const Row rows[] = {
        {"folder named as cover", {75, 0, 0}, 0, 0, "Encountered Unknown Error  75!"},
        {"not a picture", {481, 0, 0}, 0, 0, "Encountered Unknown Error  481!"},
        {"decompression bomb", {0, 30000, 30000}, 0, 0, "Encountered Unknown Error  481!"},
        {"just over 100 megapixels", {0, 10001, 10000}, 0, 0, "Encountered Unknown Error  481!"},
        {"width of 0", {0, 0, 300}, 0, 0, "Encountered Unknown Error  481!"},
        {"height of 0", {0, 300, 0}, 0, 0, "Encountered Unknown Error  481!"},
        {"a folder since its header", {0, 300, 300}, 75, 0, "Encountered Unknown Error  75!"},
        {"cut off in its data", {0, 300, 300}, 0, 481, "Encountered Unknown Error  481!"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        FakeSaver fresh;
        fresh.pictures.pictures["/c/x"] = row.probe;
        fresh.board.coverLoadCodes["/c/x"] = row.openCode;
        fresh.saver.ShowAlbumCover("/c/x");
        if (fresh.saver.CoverDecoding) {
            EXPECT_TRUE(fresh.boxes.shown.empty()); // nothing is known until the decode reports
            fresh.saver.CoverDecoded(row.decodeCode);
        }
        ASSERT_EQ(fresh.boxes.shown.size(), 1u);
        EXPECT_EQ(fresh.boxes.shown[0].text, row.text);
        EXPECT_EQ(fresh.boxes.shown[0].title, "WendelSaver");
        EXPECT_EQ(fresh.boxes.shown[0].icon, MessageIcon::Critical);
        EXPECT_EQ(fresh.cursor.calls, (std::vector<bool>{true, true})); // before the box, then EndSaver
        EXPECT_EQ(fresh.process.exitCalls, 1);
        EXPECT_EQ(fresh.board.coverLoads.size(), row.openCode || row.decodeCode ? 1u : 0u); // refused from the header
        EXPECT_FALSE(fresh.board.IsVisible(Picture::AlbumCover));
    }
    // The largest picture allowed, and a side of one pixel, are decoded.
    for (const PictureProbe probe : {PictureProbe{0, 10000, 10000}, PictureProbe{0, 1, 1}}) {
        FakeSaver fresh;
        fresh.pictures.pictures["/c/x"] = probe;
        fresh.saver.ShowAlbumCover("/c/x");
        EXPECT_TRUE(fresh.saver.CoverDecoding);
    }
}

// The playing item's cover: a locked one is retried every overlap, five
// times, then the default image every 500 ms; a missing one falls back to the
// default image once.
TEST(CoverRetry, LockedCoverRetriesFiveTimesThenTheDefaultImageEvery500ms)
{
    PlxRig plx;
    plx.fake.saver.Settings().DefaultImage = "/covers/default-locked.jpg";
    plx.fake.pictures.pictures["/covers/default-locked.jpg"] = {70, 0, 0};
    plx.Say(Playing({.cover = "/covers/locked.jpg"}));
    Strings tried;
    for (int tick = 1; tick <= 11; ++tick) {
        ASSERT_TRUE(plx.fake.imageErrorTimer.enabled);
        plx.fake.saver.ImageErrorTimerTick();
        tried.push_back(plx.fake.pictures.probed.back());
    }
    EXPECT_EQ(plx.fake.imageErrorTimer.armedIntervals,
              (std::vector<int>{2000, 2000, 2000, 2000, 2000, 500, 500, 500, 500, 500, 500, 500}));
    EXPECT_EQ(tried[4], "/covers/locked.jpg"); // the fifth tick switches to the default
    EXPECT_EQ(tried[5], "/covers/default-locked.jpg");
    EXPECT_EQ(plx.fake.saver.CoverRetryCount, 2); // restarted from 1 after the default's fifth failure

    plx.fake.pictures.pictures["/covers/default-locked.jpg"] = {0, 200, 300};
    plx.fake.saver.ImageErrorTimerTick();
    plx.fake.saver.CoverDecoded(0);
    EXPECT_FALSE(plx.fake.imageErrorTimer.enabled);
    EXPECT_TRUE(plx.Visible(Picture::AlbumCover));
}

TEST(CoverRetry, MissingCoverFallsBackToTheDefaultImageOnce)
{
    struct Row {
        const char* cover;
        const char* defaultImage;
        bool noImageAfter;
        Strings probed;
    };
    const Row rows[] = {
        {"/covers/missing.jpg", "/covers/a.jpg", false, {"/covers/missing.jpg", "/covers/a.jpg"}},
        {"/covers/missing.jpg", "/covers/gone.jpg", true, {"/covers/missing.jpg", "/covers/gone.jpg"}},
        {"/covers/gone.jpg", "/covers/gone.jpg", false, {"/covers/gone.jpg"}}, // the item named the missing default
        {"/covers/missing.jpg", "", false, {"/covers/missing.jpg", ""}},       // no default: a blank area
        {"", "/covers/a.jpg", false, {"/covers/a.jpg"}},                       // no cover: the default at once
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.cover);
        PlxRig plx;
        plx.fake.saver.Settings().DefaultImage = row.defaultImage;
        plx.Say(Playing({.cover = row.cover}));
        if (plx.fake.imageErrorTimer.enabled) plx.fake.saver.ImageErrorTimerTick();
        EXPECT_FALSE(plx.fake.imageErrorTimer.enabled);
        EXPECT_EQ(plx.fake.imageErrorTimer.armedIntervals, std::vector<int>(*row.cover ? 1 : 0, 500));
        EXPECT_EQ(plx.Visible(Label::No_Image), row.noImageAfter);
        EXPECT_EQ(plx.fake.pictures.probed, row.probed);
        EXPECT_TRUE(plx.fake.boxes.shown.empty());
    }
}

} // namespace
} // namespace wendel
