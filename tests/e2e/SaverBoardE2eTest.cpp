// The running saver seen from outside: its windows, the cursor, and what
// ends it.

#include "BoardPlaces.h"
#include "SaverTest.h"
#include "ScreenPixels.h"

#include <QPoint>
#include <QRect>

namespace wendel::e2e {
namespace {

const QString kBackdropTitle = QStringLiteral("Form1");
constexpr int kScreenWidth = 1024; // the harness's Xvfb screen
constexpr int kScreenHeight = 768;

class SaverBoardTest : public SaverTest {
protected:
    SaverProcess& StartSaver(const QByteArray& background)
    {
        EXPECT_TRUE(WriteFile(IniPath(), "Custom Look = 2\r\nOverlap = 2\r\nBackground = " + background +
                                             "\r\nDefault Image =\r\n"));
        SaverProcess& saver = Launch({QStringLiteral("/s")});
        board = X().WaitForWindow(kBoardTitle, AppearLimit());
        return saver;
    }

    // Hidden means not one pixel of the cursor image can be seen.
    bool CursorHidden() { return X().Connection().VisibleCursorPixels().value_or(-1) == 0; }
    bool CursorShown() { return X().Connection().VisibleCursorPixels().value_or(0) > 0; }

    std::optional<WindowId> board;
};

TEST_F(SaverBoardTest, BackgroundOnBlanksTheScreenAndHidesTheCursor)
{
    SaverProcess& saver = StartSaver("ON");
    ASSERT_TRUE(board) << saver.Describe();
    const std::optional<WindowId> backdrop = X().WaitForWindow(kBackdropTitle, AppearLimit());
    ASSERT_TRUE(backdrop) << saver.Describe();

    const std::optional<WindowGeometry> boardGeometry = X().Inspect(*board);
    ASSERT_TRUE(boardGeometry);
    EXPECT_EQ(boardGeometry->width, 641);
    EXPECT_EQ(boardGeometry->height, 481);
    EXPECT_EQ(boardGeometry->x, (kScreenWidth - 641) / 2);
    EXPECT_EQ(boardGeometry->y, (kScreenHeight - 481) / 2);
    const std::optional<WindowGeometry> backGeometry = X().Inspect(*backdrop);
    ASSERT_TRUE(backGeometry);
    EXPECT_EQ(QRect(backGeometry->x, backGeometry->y, backGeometry->width, backGeometry->height),
              QRect(0, 0, kScreenWidth, kScreenHeight));
    // Black in the corners, around the board; the board is mapped above it.
    EXPECT_TRUE(PollUntil(AppearLimit(), [&] {
        for (const QPoint corner : {QPoint(0, 0), QPoint(kScreenWidth - 1, kScreenHeight - 1)}) {
            if (ScreenPixel(X().Display(), corner.x(), corner.y()) != 0u) return false;
        }
        return true;
    }));
    // The board is drawn inside the backdrop: the only window of its own.
    EXPECT_TRUE(MappedInOrder({*backdrop}));

    ASSERT_TRUE(X().MovePointer(*backdrop, 10, 10));
    EXPECT_TRUE(PollUntil(AppearLimit(), [&] { return CursorHidden(); })) << "the cursor is visible";

    // The title label takes the press; the saver runs on, the cursor hidden.
    ASSERT_TRUE(X().Click(*board, 60, 40));
    EXPECT_TRUE(saver.StaysRunningFor(Millis(300))) << saver.Describe();
    ASSERT_TRUE(X().MovePointer(*board, 620, 200));
    EXPECT_TRUE(CursorHidden());

    ASSERT_TRUE(X().Click(*backdrop, 10, 10));
    EXPECT_EQ(saver.WaitForExit(PromptExitLimit()), 0) << saver.Describe();
    EXPECT_TRUE(PollUntil(AppearLimit(), [&] { return CursorShown(); })) << "the cursor stayed hidden";
}

TEST_F(SaverBoardTest, KeyPressEnds)
{
    SaverProcess& saver = StartSaver("ON");
    ASSERT_TRUE(board) << saver.Describe();
    ASSERT_TRUE(X().PressKeys(*board, {QStringLiteral("a")}));
    EXPECT_EQ(saver.WaitForExit(PromptExitLimit()), 0) << saver.Describe();
}

TEST_F(SaverBoardTest, PressOnTheBareBoardEnds)
{
    SaverProcess& saver = StartSaver("ON");
    ASSERT_TRUE(board) << saver.Describe();
    ASSERT_TRUE(X().MovePointer(*board, 300, 300));
    EXPECT_TRUE(saver.StaysRunningFor(Millis(200))) << "moving the mouse ended it";
    ASSERT_TRUE(X().Click(*board, 630, 470));
    EXPECT_EQ(saver.WaitForExit(PromptExitLimit()), 0) << saver.Describe();
}

TEST_F(SaverBoardTest, BackgroundOffLeavesTheDesktopAndTheCursor)
{
    SaverProcess& saver = StartSaver("OFF");
    ASSERT_TRUE(board) << saver.Describe();
    EXPECT_TRUE(saver.StaysRunningFor(Millis(200)));
    EXPECT_TRUE(X().VisibleWindows(kBackdropTitle).empty());
    EXPECT_EQ(MappedWindows(), std::vector<WindowId>{*board}) << Describe(MappedWindows());

    ASSERT_TRUE(X().MovePointer(*board, 300, 300));
    EXPECT_TRUE(CursorShown());
    // Outside the board there is only the desktop, which does not end it.
    ASSERT_TRUE(X().Click(*board, 700, 10)); // right of the board
    EXPECT_TRUE(saver.StaysRunningFor(Millis(300))) << saver.Describe();

    ASSERT_TRUE(X().PressKeys(*board, {QStringLiteral("space")}));
    EXPECT_EQ(saver.WaitForExit(PromptExitLimit()), 0) << saver.Describe();
}

} // namespace
} // namespace wendel::e2e
