#include "display/CoverFit.h"
#include "fakes/FakeSaver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace wendel {
namespace {

using testing::FakeSaver;
using CoverLoad = testing::FakeBoard::CoverLoad;

struct FitRow {
    int widthPx, heightPx;
    int boxWidth, boxHeight;
    float left, top;
};

TEST(CoverFit, FitsAndCentresEveryPictureInTheCoverArea)
{
    const FitRow rows[] = {
        // The layout's own cases.
        {300, 300, 4800, 4800, 2407.5f, 1457.5f},
        {300, 200, 7200, 4800, 1207.5f, 1457.5f}, // exactly 1.5 times as wide
        {200, 300, 3200, 4800, 3207.5f, 1457.5f},
        {400, 300, 6400, 4800, 1607.5f, 1457.5f},
        {640, 200, 7200, 2250, 1207.5f, 2732.5f},
        {200, 199, 4824, 4800, 2395.5f, 1457.5f},
        // Sizes of 2185 pixels and more once overflowed the natural size.
        {2185, 2185, 4800, 4800, 2407.5f, 1457.5f},
        {3000, 2000, 7200, 4800, 1207.5f, 1457.5f},
        {4000, 4000, 4800, 4800, 2407.5f, 1457.5f},
        {10000, 100, 7200, 72, 1207.5f, 3821.5f},
        {100, 10000, 48, 4800, 4783.5f, 1457.5f},
        // Halves go to the even neighbour: 2.5 -> 2, 37.5 -> 38.
        {2880, 1, 7200, 2, 1207.5f, 3856.5f},
        {192, 1, 7200, 38, 1207.5f, 3838.5f},
        {0, 0, 4800, 4800, 2407.5f, 1457.5f}, // the empty picture of an empty path
    };
    for (const FitRow& row : rows) {
        SCOPED_TRACE(std::to_string(row.widthPx) + " x " + std::to_string(row.heightPx));
        const CoverSize fitted = FitCover(std::int64_t{row.widthPx} * 15, std::int64_t{row.heightPx} * 15);
        EXPECT_EQ(fitted, (CoverSize{static_cast<std::int16_t>(row.boxWidth),
                                     static_cast<std::int16_t>(row.boxHeight)}));
        EXPECT_EQ(CentreCover(fitted, 9615, 7215), (CoverPlacement{row.left, row.top, row.boxWidth, row.boxHeight}));
    }
}

// ShowAlbumCover, and the decode it started reporting success.
std::int32_t ShowDecoded(FakeSaver& rig, const std::string& path)
{
    const std::int32_t code = rig.saver.ShowAlbumCover(path);
    if (rig.saver.CoverDecoding) rig.saver.CoverDecoded(0);
    return code;
}

// What ShowPlayingItem does with the first call's code.
void FirstCall(FakeSaver& rig, const std::string& path)
{
    rig.saver.CoverPath = path;
    if (rig.saver.ShowAlbumCover(path) == 70) {
        rig.saver.CoverRetryCount = 1;
        rig.imageErrorTimer.SetInterval(2000);
    } else {
        rig.saver.CoverPath = rig.saver.Settings().DefaultImage;
        rig.imageErrorTimer.SetInterval(500);
    }
    rig.imageErrorTimer.SetEnabled(true);
}

class ShowAlbumCoverTest : public ::testing::Test {
protected:
    ShowAlbumCoverTest()
    {
        rig.pictures.pictures["/c/a.jpg"] = {0, 300, 200};
        rig.pictures.pictures["/c/locked.jpg"] = {70, 0, 0};
        rig.saver.Settings().Overlap = 2000.0f; // milliseconds, as after FormLoad
        rig.saver.CoverRetryLimit = 5;
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
}

struct DecodeRaceRow {
    const char* what;
    std::vector<std::string> paths; // given to ShowAlbumCover before any decode reports
    int outcome;                    // what the board then reports
    int cancels;
    std::vector<CoverPlacement> placements;
    bool shown;
};

// Only the decode of the latest cover may show; the board drops the others,
// and an outcome that comes when none is awaited changes nothing.
TEST_F(ShowAlbumCoverTest, ANewerCoverWinsOverAnOlderDecode)
{
    const CoverPlacement wide{1207.5f, 1457.5f, 7200, 4800};
    const CoverPlacement tall{3207.5f, 1457.5f, 3200, 4800};
    const DecodeRaceRow rows[] = {
        {"a newer cover", {"/c/a.jpg", "/c/tall.jpg"}, 0, 1, {tall}, true},
        {"the same cover again goes on decoding", {"/c/a.jpg", "/c/a.jpg"}, 0, 0, {wide}, true},
        {"a missing newer cover", {"/c/a.jpg", "/c/missing.jpg"}, 0, 1, {}, false},
        {"a dropped decode's failure", {"/c/a.jpg", "/c/missing.jpg"}, 481, 1, {}, false},
        {"no decode asked for", {}, 481, 0, {}, false},
    };
    for (const DecodeRaceRow& row : rows) {
        SCOPED_TRACE(row.what);
        FakeSaver fresh;
        fresh.pictures.pictures["/c/a.jpg"] = {0, 300, 200};
        fresh.pictures.pictures["/c/tall.jpg"] = {0, 200, 300};
        for (const std::string& path : row.paths) fresh.saver.ShowAlbumCover(path);
        fresh.saver.CoverDecoded(row.outcome);
        EXPECT_EQ(fresh.board.coverCancels, row.cancels);
        EXPECT_EQ(fresh.board.coverPlacements, row.placements);
        EXPECT_EQ(fresh.board.IsVisible(Picture::AlbumCover), row.shown);
        EXPECT_TRUE(fresh.boxes.shown.empty());
        EXPECT_EQ(fresh.process.exitCalls, 0);
    }
}

TEST_F(ShowAlbumCoverTest, SamePathIsSkippedUnlessARetryIsPending)
{
    for (const char* path : {"/c/a.jpg", "/c/missing.jpg"}) {
        SCOPED_TRACE(path);
        const bool shown = ShowDecoded(rig, path) == 0;
        rig.board.SetVisible(Label::No_Image, true);
        const std::size_t probes = rig.pictures.probed.size();
        EXPECT_EQ(rig.saver.ShowAlbumCover(path), 0); // even after a failure
        EXPECT_EQ(rig.pictures.probed.size(), probes);
        EXPECT_EQ(CoverShown(), shown);
        EXPECT_TRUE(rig.board.IsVisible(Label::No_Image));
    }
    rig.saver.CoverRetryCount = 1;
    EXPECT_EQ(rig.saver.ShowAlbumCover("/c/missing.jpg"), 53);
}

TEST_F(ShowAlbumCoverTest, MissingOrLockedFileKeepsTheBoxHiddenAndNoImageAsItWas)
{
    ASSERT_EQ(ShowDecoded(rig, "/c/a.jpg"), 0);
    rig.board.SetVisible(Label::No_Image, true);
    EXPECT_EQ(rig.saver.ShowAlbumCover("/c/missing.jpg"), 53);
    EXPECT_EQ(rig.saver.ShowAlbumCover("/c/locked.jpg"), 70);
    // A file that goes between its header and its opening is still missing.
    rig.pictures.pictures["/c/gone.jpg"] = {0, 300, 300};
    rig.board.coverLoadCodes["/c/gone.jpg"] = 53;
    EXPECT_EQ(rig.saver.ShowAlbumCover("/c/gone.jpg"), 53);

    EXPECT_FALSE(CoverShown());
    EXPECT_TRUE(rig.board.IsVisible(Label::No_Image));
    EXPECT_EQ(rig.saver.LastCoverPath, "/c/gone.jpg");
    EXPECT_TRUE(rig.boxes.shown.empty());
}

struct FatalRow {
    const char* what;
    PictureProbe probe;
    int openCode;   // what the board's LoadCover gives at once
    int decodeCode; // what its decode reports later
    const char* text;
};

TEST_F(ShowAlbumCoverTest, EveryOtherFailureEndsTheSaverAfterItsMessage)
{
    const FatalRow rows[] = {
        {"folder named as cover", {75, 0, 0}, 0, 0, "Encountered Unknown Error  75!"},
        {"not a picture", {481, 0, 0}, 0, 0, "Encountered Unknown Error  481!"},
        {"decompression bomb", {0, 30000, 30000}, 0, 0, "Encountered Unknown Error  481!"},
        {"just over 100 megapixels", {0, 10001, 10000}, 0, 0, "Encountered Unknown Error  481!"},
        {"side of 0", {0, 0, 300}, 0, 0, "Encountered Unknown Error  481!"},
        {"a folder since its header", {0, 300, 300}, 75, 0, "Encountered Unknown Error  75!"},
        {"cut off in its data", {0, 300, 300}, 0, 481, "Encountered Unknown Error  481!"},
    };
    for (const FatalRow& row : rows) {
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
}

TEST_F(ShowAlbumCoverTest, LockedCoverRetriesFiveTimesThenTheDefaultImageEvery500ms)
{
    rig.saver.Settings().DefaultImage = "/c/default-locked.jpg";
    rig.pictures.pictures["/c/default-locked.jpg"] = {70, 0, 0};
    FirstCall(rig, "/c/locked.jpg");
    std::vector<std::string> tried;
    for (int tick = 1; tick <= 11; ++tick) {
        ASSERT_TRUE(rig.imageErrorTimer.enabled);
        rig.saver.ImageErrorTimerTick();
        tried.push_back(rig.pictures.probed.back());
    }
    EXPECT_EQ(rig.imageErrorTimer.armedIntervals,
              (std::vector<int>{2000, 2000, 2000, 2000, 2000, 500, 500, 500, 500, 500, 500, 500}));
    EXPECT_EQ(tried[4], "/c/locked.jpg"); // the fifth tick switches to the default
    EXPECT_EQ(tried[5], "/c/default-locked.jpg");
    EXPECT_EQ(rig.saver.CoverRetryCount, 2); // restarted from 1 after the default's fifth failure

    rig.pictures.pictures["/c/default-locked.jpg"] = {0, 200, 300};
    rig.saver.ImageErrorTimerTick();
    rig.saver.CoverDecoded(0);
    EXPECT_FALSE(rig.imageErrorTimer.enabled);
    EXPECT_TRUE(CoverShown());
}

struct FallbackRow {
    const char* what;
    const char* cover;
    const char* defaultImage;
    bool noImageAfter;
    std::vector<std::string> probed;
};

TEST_F(ShowAlbumCoverTest, MissingCoverFallsBackToTheDefaultImageOnce)
{
    const FallbackRow rows[] = {
        {"default shown", "/c/missing.jpg", "/c/a.jpg", false, {"/c/missing.jpg", "/c/a.jpg"}},
        {"default missing", "/c/missing.jpg", "/c/gone.jpg", true, {"/c/missing.jpg", "/c/gone.jpg"}},
        {"item named the missing default", "/c/gone.jpg", "/c/gone.jpg", false, {"/c/gone.jpg"}},
        {"no default: a blank area", "/c/missing.jpg", "", false, {"/c/missing.jpg", ""}},
    };
    for (const FallbackRow& row : rows) {
        SCOPED_TRACE(row.what);
        FakeSaver fresh;
        fresh.pictures.pictures["/c/a.jpg"] = {0, 300, 200};
        fresh.saver.Settings().DefaultImage = row.defaultImage;
        FirstCall(fresh, row.cover);
        EXPECT_EQ(fresh.imageErrorTimer.armedIntervals, std::vector<int>{500});
        fresh.saver.ImageErrorTimerTick();
        EXPECT_FALSE(fresh.imageErrorTimer.enabled);
        EXPECT_EQ(fresh.board.IsVisible(Label::No_Image), row.noImageAfter);
        EXPECT_EQ(fresh.pictures.probed, row.probed);
        EXPECT_TRUE(fresh.boxes.shown.empty());
    }
}

} // namespace
} // namespace wendel
