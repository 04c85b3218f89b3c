#include "SaverWindow.h"

#include "Artwork.h"
#include "BackdropSurface.h"
#include "QtSaverPorts.h"
#include "SaverSession.h"
#include "fakes/FakeMessageBoxes.h"
#include "fakes/FakeProcess.h"
#include "fakes/FakeSaverPorts.h"
#include "support/TempFolder.h"
#include "EventLoopWait.h"

#include <QFontInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QPaintEvent>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

namespace wendel {
namespace {

namespace layout = board_layout;

// The pixel a label keeps when its caption changes: its left or right edge,
// or its centre, as designed.
double AnchorOf(layout::Align align, double left, double width)
{
    return align == layout::Align::Left ? left : align == layout::Align::Right ? left + width : left + width / 2;
}

// Every paint of the board or one of its controls, as the area it covered
// in the board's coordinates.
class PaintLog final : public QObject {
public:
    explicit PaintLog(QWidget& board) : board_(board)
    {
        board.installEventFilter(this);
        for (QWidget* child : board.findChildren<QWidget*>()) child->installEventFilter(this);
    }

    std::map<std::string, int> count;
    QRegion area;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Paint) return false;
        auto* widget = static_cast<QWidget*>(watched);
        ++count[widget->objectName().toStdString()];
        const QRegion painted = static_cast<QPaintEvent*>(event)->region();
        area += widget == &board_ ? painted : painted.translated(widget->pos());
        return false;
    }

private:
    QWidget& board_;
};

// A whole saver over its settings file, with fake boxes and process.
struct SessionRig {
    SessionRig(const std::string& settings, std::unique_ptr<Link> link = std::make_unique<SilentLink>())
    {
        testing::WriteBytes(dir.File("wendelsaver.ini"), settings);
        session = std::make_unique<SaverSession>(boxes, process, dir.File("wendelsaver.ini"), std::move(link));
        session->Open();
    }
    testing::TempFolder dir;
    testing::FakeMessageBoxes boxes;
    testing::FakeProcess process;
    std::unique_ptr<SaverSession> session;
};

class SaverWindowTest : public ::testing::Test {
protected:
    SaverWindowTest()
    {
        window.onMouseDown = [this] { ++presses; };
        window.onKeyDown = [this] { ++keys; };
    }
    void Show()
    {
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    SaverWindow window;
    int presses = 0;
    int keys = 0;
};

// Each label in its font and colour, plain text, sized to its caption around
// the edge it keeps, whatever the caption becomes; NoPLX wraps in its box.
TEST_F(SaverWindowTest, LabelsWearTheirDesignAndKeepTheirEdge)
{
    EXPECT_EQ(window.size(), QSize(641, 481));
    EXPECT_EQ(window.windowTitle(), "WendelSaver");
    for (const layout::LabelDesign& design : layout::kLabels) {
        SCOPED_TRACE(design.name);
        QLabel* label = window.LabelWidget(design.label);
        EXPECT_EQ(label->text().toStdString(), design.caption ? design.caption : kSaverBylineText);
        EXPECT_EQ(label->textFormat(), Qt::PlainText); // jukebox texts are never markup
        const QFont font = label->font();
        EXPECT_EQ(font.pixelSize(), design.fontPixels);
        EXPECT_EQ(font.italic(), design.italic);
        // Without an "Arial Black" the heaviest Arial stands in.
        EXPECT_TRUE(!design.arialBlack || QFontInfo(font).family() == "Arial Black" || font.weight() == QFont::Black);
        const QColor colour(design.colour.red, design.colour.green, design.colour.blue);
        EXPECT_EQ(label->palette().color(QPalette::WindowText), colour);
        EXPECT_EQ(!label->isHidden(), design.visible);
        EXPECT_EQ(label->wordWrap(), !design.autoSize);
        const double anchor = AnchorOf(design.align, design.rect.left / 15.0, design.rect.width / 15.0);
        const int top = label->y();
        EXPECT_EQ(top, TwipsToPixels(design.rect.top));
        if (!design.autoSize) continue;
        for (const char* text : {"", "1:23 / 4:05", "A much longer text than any label had at first"}) {
            SCOPED_TRACE(text);
            const QFontMetrics metrics(font);
            if (*text) window.SetCaption(design.label, text);
            const QRect r = label->geometry();
            EXPECT_TRUE(!*text || r.size() == QSize(metrics.horizontalAdvance(text), metrics.height()));
            EXPECT_EQ(r.top(), top);
            EXPECT_NEAR(AnchorOf(design.align, r.left(), r.width()), anchor, 0.5);
        }
    }
}

// Only the cover's box shows at first. Every control lies within the board,
// and where two overlap the one drawn first in the design is on top.
TEST_F(SaverWindowTest, ControlsStayOnTheBoardAndOverlapInTheDrawingOrder)
{
    for (const layout::PictureDesign& design : layout::kPictures) {
        EXPECT_EQ(window.IsVisible(design.picture), design.picture == Picture::AlbumCover) << design.name;
        window.SetVisible(design.picture, true);
    }
    const QObjectList stack = window.children(); // back to front
    for (std::size_t front = 0; front < layout::kFrontToBack.size(); ++front) {
        auto* top = window.findChild<QWidget*>(layout::kFrontToBack[front]);
        ASSERT_NE(top, nullptr) << layout::kFrontToBack[front];
        EXPECT_TRUE(window.rect().contains(top->geometry())) << layout::kFrontToBack[front];
        for (std::size_t back = front + 1; back < layout::kFrontToBack.size(); ++back) {
            auto* below = window.findChild<QWidget*>(layout::kFrontToBack[back]);
            const bool underneath = stack.indexOf(top) < stack.indexOf(below);
            EXPECT_FALSE(top->geometry().intersects(below->geometry()) && underneath)
                << layout::kFrontToBack[front] << " under " << layout::kFrontToBack[back];
        }
    }
    EXPECT_EQ(window.PictureWidget(Picture::AlbumCover)->geometry(), QRect(173, 103, 301, 300));
}

TEST_F(SaverWindowTest, PressesOverLabelsAndPicturesStopThere)
{
    Show();
    const auto pressAt = [this](QPoint point) {
        QWidget* target = window.childAt(point);
        QTest::mousePress(target ? target : &window, Qt::LeftButton, {},
                          target ? target->mapFrom(&window, point) : point);
    };
    window.SetVisible(Picture::Play, true);
    for (const QPoint stops : {QPoint(40, 35), QPoint(320, 240), QPoint(180, 110), QPoint(590, 440)})
        pressAt(stops); // Track, NoPLX, the empty cover box, Play
    QTest::mousePress(window.LabelWidget(Label::Caption_Upnext), Qt::RightButton);
    EXPECT_EQ(presses, 0);

    window.SetVisible(Label::Track, false);
    for (const QPoint passes : {QPoint(630, 470), QPoint(5, 466), QPoint(40, 35)})
        pressAt(passes); // bare surface, Shape1 (it takes no input), a hidden label
    EXPECT_EQ(presses, 3);

    QTest::mouseMove(&window, {300, 300});
    QTest::keyClick(&window, Qt::Key_A);
    EXPECT_EQ(presses, 3);
    EXPECT_EQ(keys, 1);
}

// Artwork is decoded when a picture is first shown, at its own size but for
// the small headers, stretched to theirs; hidden again, it keeps it.
TEST_F(SaverWindowTest, ArtworkArrivesWhenFirstShown)
{
    for (const auto& [picture, size] : {std::pair{Picture::DefaultHeader, QSize(640, 90)},
                                        std::pair{Picture::Stopsign, QSize(34, 31)},
                                        std::pair{Picture::Header1, QSize(90, 64)}}) {
        QLabel* label = window.PictureWidget(picture);
        SCOPED_TRACE(label->objectName().toStdString());
        EXPECT_TRUE(label->pixmap().isNull());
        window.SetVisible(picture, true);
        window.SetVisible(picture, false);
        EXPECT_EQ(label->pixmap().size(), size);
    }
    EXPECT_TRUE(window.PictureWidget(Picture::Header1)->hasScaledContents());
    window.SetVisible(Picture::AlbumCover, true);
    EXPECT_TRUE(window.PictureWidget(Picture::AlbumCover)->pixmap().isNull()); // the cover is the decoder's
}

// The reveal draws letter by letter: each caption must reach the screen at once.
TEST_F(SaverWindowTest, RepaintNowDrawsTheLabelBeforeReturning)
{
    Show();
    window.SetVisible(Label::AlbumNotice, true);
    QCoreApplication::processEvents();
    PaintLog log(window);
    window.SetCaption(Label::AlbumNotice, "[Al");
    window.RepaintNow(Label::AlbumNotice);
    EXPECT_EQ(log.count["AlbumNotice"], 1);
}

// What a message costs the screen: the board repaints only what it changed.
TEST(Repaint, ATimeMessageRepaintsOnlyTheTimeOnce)
{
    auto fakeLink = std::make_unique<testing::FakeLink>();
    testing::FakeLink& link = *fakeLink;
    SessionRig rig("Custom Look = 1\r\nOverlap = 2\r\nBackground = OFF\r\n", std::move(fakeLink));
    SaverWindow& board = rig.session->Window();
    QLabel* time = board.LabelWidget(Label::TrackTime);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&board));
    link.Deliver("plxr", "playing[\"Album\",\"Artist\",\"Title\",\"3:12\",\"\",\"\",\"1\"]");
    // The reveals of title and artist run their course first.
    ASSERT_TRUE(testing::WaitUntil([&] { return board.Caption(Label::Track) == "Title"; }, 10000));
    link.Deliver("plxr", "time[0:01]");
    QTest::qWait(100); // all that is going to be drawn, drawn

    // A time of another width, then one of the same width.
    for (const char* message : {"time[10:00]", "time[10:01]"}) {
        SCOPED_TRACE(message);
        const QRect before = time->geometry();
        PaintLog log(board);
        link.Deliver("plxr", message);
        QTest::qWait(100); // all that is going to be drawn, drawn
        EXPECT_EQ(log.count["TrackTime"], 1);
        for (const auto& [name, paints] : log.count) EXPECT_LE(paints, 1) << name;
        // The controls behind the time (the header) show through it and are
        // drawn again there; nothing else is.
        const QRect beyond = log.area.subtracted(QRegion(before) | time->geometry()).boundingRect();
        EXPECT_TRUE(beyond.isEmpty()) << "painted beyond the time: " << beyond.x() << "," << beyond.y() << " "
                                      << beyond.width() << "x" << beyond.height();
    }
}

// The backdrop: the whole screen, frameless and on top, the board centred in
// it; a press or a key on it ends the saver, a move does not. Backdrops on
// several monitors are the end-to-end desktop test's.
TEST(SaverWindowScreens, BackdropCoversTheScreenAndEndsOnAPressOrAKey)
{
    SessionRig rig("Background = ON\r\n");
    SaverSession& session = *rig.session;
    ASSERT_EQ(session.Desktop().Backdrops().size(), 1u);
    BackdropSurface& backdrop = *session.Desktop().Backdrops().begin()->second;
    EXPECT_EQ(backdrop.geometry(), backdrop.screen()->geometry());
    EXPECT_TRUE(backdrop.flags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(backdrop.flags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(backdrop.windowState(), Qt::WindowFullScreen);
    EXPECT_EQ(backdrop.objectName(), "WendelSaverBackground");
    EXPECT_EQ(session.Window().windowHandle()->parent(), &backdrop);
    const QSize room = backdrop.screen()->geometry().size() - QSize(641, 481);
    EXPECT_EQ(session.Window().windowHandle()->position(), QPoint(room.width() / 2, room.height() / 2));
    QTest::mouseMove(&backdrop, {10, 10});
    EXPECT_EQ(rig.process.exitCalls, 0);
    QTest::mouseClick(&backdrop, Qt::LeftButton, {}, {5, 5});
    EXPECT_EQ(rig.process.exitCalls, 1);
    QTest::keyClick(&backdrop, Qt::Key_Space);
    EXPECT_EQ(rig.process.exitCalls, 2);
}

TEST(SaverPorts, TimerTicksOnlyWhenEnabledWithAnInterval)
{
    int ticks = 0;
    QtTimer timer("ImageErrorTimer", [&] { ++ticks; });
    timer.SetEnabled(true); // interval 0 never ticks
    QTest::qWait(30);
    EXPECT_EQ(ticks, 0);
    timer.SetInterval(5);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks >= 2; }, 1000)); // and repeats
    timer.SetEnabled(false);
    const int stopped = ticks;
    QTest::qWait(30);
    EXPECT_EQ(ticks, stopped);
}

TEST(SaverPorts, CursorHidesWhileTheShowCountIsBelowZero)
{
    QtCursor cursor;
    cursor.Show(false);
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::BlankCursor);
    cursor.Show(true);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    cursor.Show(true); // count 1: one hide leaves it shown
    cursor.Show(false);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

} // namespace
} // namespace wendel
