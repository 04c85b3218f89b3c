#include "QtSaverPorts.h"
#include "SaverSession.h"
#include "SaverWindow.h"
#include "fakes/FakeMessageBoxes.h"
#include "fakes/FakeProcess.h"
#include "support/TempFolder.h"

#include <QFontInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QProcess>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

namespace wendel {
namespace {

class SaverWindowTest : public ::testing::Test {
protected:
    SaverWindowTest()
    {
        window.onMouseDown = [this] { ++presses; };
        window.onKeyDown = [this] { ++keys; };
    }

    QLabel* Child(const char* name) { return window.findChild<QLabel*>(QString::fromLatin1(name)); }

    SaverWindow window;
    int presses = 0;
    int keys = 0;
};

// Controls of fixed size, at 15 twips to the pixel.
TEST_F(SaverWindowTest, FixedControlsStartAtTheirPlaceInPixels)
{
    EXPECT_EQ(window.size(), QSize(641, 481));
    EXPECT_EQ(window.windowTitle(), "WendelSaver");
    EXPECT_TRUE(window.windowFlags() & Qt::FramelessWindowHint);
    const struct {
        const char* name;
        QRect pixels;
        bool visible;
    } rows[] = {
        {"TrackTime", {608, 30, 5, 22}, true}, // empty, so it keeps its stored size
        {"NextInfo", {109, 433, 4, 19}, true},
        {"NoPLX", {154, 192, 343, 103}, true},
        {"DefaultHeader", {0, 13, 640, 90}, false},
        {"DefaultFooter", {117, 433, 450, 22}, false},
        {"Header1", {16, 18, 90, 74}, false},
        {"Header2", {16, 18, 91, 75}, false},
        {"Header3", {16, 18, 91, 75}, false},
        {"Footer1", {160, 433, 450, 22}, false},
        {"Footer2", {160, 433, 450, 22}, false},
        {"Footer3", {160, 433, 450, 22}, false},
        {"Play", {580, 427, 34, 32}, false},
        {"Pause", {580, 427, 29, 32}, false},
        {"Stopsign", {580, 428, 34, 31}, false},
        {"AlbumCover", {173, 103, 301, 300}, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QLabel* control = Child(row.name);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->geometry(), row.pixels);
        EXPECT_EQ(!control->isHidden(), row.visible);
    }
    QWidget* shape = window.findChild<QWidget*>("Shape1");
    EXPECT_EQ(shape->geometry(), QRect(0, 429, 97, 30));
    EXPECT_TRUE(Child("AlbumCover")->pixmap().isNull());
}

// Artwork is decoded when a picture is first shown, at its own size but for
// the small headers: 90 x 64, stretched. Hidden again, it keeps its picture.
TEST_F(SaverWindowTest, ArtworkArrivesWhenFirstShown)
{
    const struct {
        Picture picture;
        const char* name;
        QSize size;
    } rows[] = {
        {Picture::DefaultHeader, "DefaultHeader", {640, 90}},
        {Picture::Stopsign, "Stopsign", {34, 31}},
        {Picture::Header1, "Header1", {90, 64}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_TRUE(Child(row.name)->pixmap().isNull());
        window.SetVisible(row.picture, true);
        window.SetVisible(row.picture, false);
        EXPECT_EQ(Child(row.name)->pixmap().size(), row.size);
        EXPECT_TRUE(Child(row.name)->isHidden());
    }
    EXPECT_TRUE(Child("Header1")->hasScaledContents());
    window.SetVisible(Picture::AlbumCover, true);
    EXPECT_TRUE(Child("AlbumCover")->pixmap().isNull()); // the cover is the decoder's
}

struct LabelRow {
    const char* name;
    const char* caption;
    int top;
    Qt::Alignment edge;
    double anchor; // pixels: the left edge, the right edge or the centre it keeps
    int fontPixels;
    bool italic;
    QColor colour;
    bool visible;
};

// A captioned auto-sized label takes its caption's size in our fonts around
// the edge its alignment keeps; NoPLX wraps in its fixed box.
TEST_F(SaverWindowTest, LabelsHaveTheirCaptionsFontsColoursAndEdges)
{
    const QColor yellow(255, 255, 0), olive(192, 192, 0), cyan(0, 255, 255);
    const LabelRow rows[] = {
        {"Track", "WendelSaver PLX Screensaver", 28, Qt::AlignLeft, 34, 23, false, yellow, true},
        {"ArtistAlbum", "by the WendelSaver developers", 59, Qt::AlignLeft, 36, 17, false, yellow, true},
        {"TrackTime", "", 30, Qt::AlignRight, 613, 19, false, olive, true},
        {"AlbumNotice", "[Album]", 55, Qt::AlignRight, 615, 17, false, olive, false},
        {"Caption_Upnext", "Up Next:", 433, Qt::AlignLeft, 32, 16, true, cyan, true},
        {"NextInfo", "", 433, Qt::AlignLeft, 109, 16, true, yellow, true},
        {"No_Image", "No Image Available", 217, Qt::AlignHCenter, 328.5, 35, false, olive, false},
        {"NoPLX", "Waiting for PLX to be Started", 192, Qt::AlignHCenter, 325.5, 35, false, olive, true},
    };
    for (const LabelRow& row : rows) {
        SCOPED_TRACE(row.name);
        QLabel* label = Child(row.name);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text(), row.caption);
        EXPECT_EQ(label->textFormat(), Qt::PlainText); // jukebox texts are never markup
        EXPECT_EQ(label->font().pixelSize(), row.fontPixels);
        EXPECT_EQ(label->font().italic(), row.italic);
        EXPECT_EQ(label->palette().color(QPalette::WindowText), row.colour);
        EXPECT_EQ(label->alignment() & Qt::AlignHorizontal_Mask, row.edge);
        EXPECT_EQ(!label->isHidden(), row.visible);
        const QRect r = label->geometry();
        const double edge = row.edge == Qt::AlignLeft    ? r.left()
                            : row.edge == Qt::AlignRight ? r.left() + r.width()
                                                         : r.left() + r.width() / 2.0;
        EXPECT_NEAR(edge, row.anchor, 0.5);
        EXPECT_EQ(r.top(), row.top);
    }
    EXPECT_TRUE(Child("NoPLX")->wordWrap());
    // Without an "Arial Black" the heaviest Arial stands in.
    const QFont heavy = Child("No_Image")->font();
    EXPECT_TRUE(QFontInfo(heavy).family() == "Arial Black" || heavy.weight() == QFont::Black);
}

TEST_F(SaverWindowTest, AutoSizedLabelsKeepTheirEdgeWhenTheCaptionChanges)
{
    const struct {
        Label label;
        Qt::Alignment edge;
        double anchor;
    } rows[] = {
        {Label::Track, Qt::AlignLeft, 34},         {Label::ArtistAlbum, Qt::AlignLeft, 36},
        {Label::Caption_Upnext, Qt::AlignLeft, 32}, {Label::NextInfo, Qt::AlignLeft, 109},
        {Label::TrackTime, Qt::AlignRight, 613},    {Label::AlbumNotice, Qt::AlignRight, 615},
        {Label::No_Image, Qt::AlignHCenter, 328.5},
    };
    for (const char* text : {"1:23 / 4:05", "x", "A much longer text than any label had at first"}) {
        for (const auto& row : rows) {
            SCOPED_TRACE(text);
            const int top = window.LabelWidget(row.label)->y();
            window.SetCaption(row.label, text);
            const QRect r = window.LabelWidget(row.label)->geometry();
            const QFontMetrics metrics(window.LabelWidget(row.label)->font());
            EXPECT_EQ(r.size(), QSize(metrics.horizontalAdvance(text), metrics.height()));
            EXPECT_EQ(r.top(), top);
            const double edge = row.edge == Qt::AlignLeft    ? r.left()
                                : row.edge == Qt::AlignRight ? r.left() + r.width()
                                                             : r.left() + r.width() / 2.0;
            EXPECT_NEAR(edge, row.anchor, 0.5);
        }
    }
}

// A design caption has its size in our fonts once its label is on screen,
// whether the label shows with the window or later (measuring loads a font,
// which a label hidden at the first paint does not need yet).
TEST_F(SaverWindowTest, DesignCaptionsTakeTheirSizeOnceShown)
{
    window.SetVisible(Label::Caption_Upnext, false); // as the saver does before its first paint
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const struct {
        Label label;
        bool shownLater;
    } rows[] = {
        {Label::Track, false},         {Label::ArtistAlbum, false}, {Label::Caption_Upnext, true},
        {Label::AlbumNotice, true},    {Label::No_Image, true},
    };
    for (const auto& row : rows) {
        if (row.shownLater) window.SetVisible(row.label, true);
        const QLabel* label = window.LabelWidget(row.label);
        SCOPED_TRACE(label->objectName().toStdString());
        const QFontMetrics metrics(label->font());
        EXPECT_EQ(label->size(), QSize(metrics.horizontalAdvance(label->text()), metrics.height()));
    }
}

TEST_F(SaverWindowTest, PressesOverLabelsAndPicturesStopThere)
{
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const auto pressAt = [this](QPoint point) {
        QWidget* target = window.childAt(point);
        QTest::mousePress(target ? target : &window, Qt::LeftButton, {},
                          target ? target->mapFrom(&window, point) : point);
    };
    window.SetVisible(Picture::Play, true);
    pressAt({40, 35});    // Track
    pressAt({320, 240});  // NoPLX
    pressAt({180, 110});  // the empty cover box
    pressAt({590, 440});  // Play
    QTest::mousePress(window.LabelWidget(Label::Caption_Upnext), Qt::RightButton);
    EXPECT_EQ(presses, 0);

    pressAt({630, 470}); // bare surface
    pressAt({5, 466});   // Shape1 takes no input
    window.SetVisible(Label::Track, false);
    pressAt({40, 35});   // where a hidden label stands
    EXPECT_EQ(presses, 3);

    QTest::mouseMove(&window, {300, 300});
    QTest::keyClick(&window, Qt::Key_A);
    EXPECT_EQ(presses, 3);
    EXPECT_EQ(keys, 1);
}

TEST_F(SaverWindowTest, OverlapsFollowTheDrawingOrder)
{
    for (Picture picture : {Picture::DefaultHeader, Picture::Footer1, Picture::Play, Picture::Header1}) {
        window.SetVisible(picture, true);
    }
    window.SetVisible(Label::No_Image, true);
    const auto topAt = [this](QPoint p) { return window.childAt(p)->objectName(); };
    EXPECT_EQ(topAt({40, 35}), "Track");           // over DefaultHeader and Header1
    EXPECT_EQ(topAt({20, 90}), "Header1");         // over DefaultHeader
    EXPECT_EQ(topAt({590, 440}), "Play");          // over Footer1
    EXPECT_EQ(topAt({40, 440}), "Caption_Upnext"); // over Shape1
    EXPECT_EQ(topAt({328, 230}), "No_Image");      // over NoPLX and the cover
}

TEST_F(SaverWindowTest, RepaintNowDrawsTheLabelBeforeReturning)
{
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* event) override
        {
            paints += event->type() == QEvent::Paint;
            return false;
        }
    } counter;
    window.SetVisible(Label::AlbumNotice, true);
    QCoreApplication::processEvents();
    window.LabelWidget(Label::AlbumNotice)->installEventFilter(&counter);
    window.SetCaption(Label::AlbumNotice, "[Al");
    window.RepaintNow(Label::AlbumNotice);
    EXPECT_EQ(counter.paints, 1);
}

// Runs in a child whose offscreen platform has two screens side by side.
TEST(SaverWindowScreens, DISABLED_BackdropOnEachOfTwoScreens)
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    ASSERT_EQ(screens.size(), 2);
    QScreen* primary = QGuiApplication::primaryScreen();
    testing::TempFolder dir;
    const std::string ini = dir.File("wendelsaver.ini");
    testing::WriteBytes(ini, "Background = ON\r\n");
    testing::FakeMessageBoxes boxes;
    testing::FakeProcess process;
    SaverSession session(boxes, process, ini);
    session.Open();

    const auto& backdrops = session.Desktop().Backdrops();
    ASSERT_EQ(backdrops.size(), 2u);
    QWindow* boardHost = session.Window().windowHandle()->parent();
    int presses = 0;
    for (const auto& [key, backdrop] : backdrops) {
        SCOPED_TRACE(backdrop->screen()->name().toStdString());
        EXPECT_EQ(backdrop->geometry(), backdrop->screen()->geometry());
        EXPECT_TRUE(backdrop->flags() & Qt::FramelessWindowHint);
        EXPECT_TRUE(backdrop->flags() & Qt::WindowStaysOnTopHint);
        EXPECT_EQ(backdrop->windowState(), Qt::WindowFullScreen);
        EXPECT_EQ(backdrop->objectName(), "WendelSaverBackground");
        // The board is drawn inside the primary screen's backdrop only.
        EXPECT_EQ(boardHost == backdrop.get(), backdrop->screen() == primary);
        QTest::mouseMove(backdrop.get(), {10, 10});
        EXPECT_EQ(process.exitCalls, presses);
        QTest::mouseClick(backdrop.get(), Qt::LeftButton, {}, {5, 5});
        EXPECT_EQ(process.exitCalls, ++presses);
        QTest::keyClick(backdrop.get(), Qt::Key_Space);
        EXPECT_EQ(process.exitCalls, ++presses);
    }
    // Centred in the primary, in its backdrop's coordinates.
    const QSize room = primary->geometry().size() - QSize(641, 481);
    EXPECT_EQ(session.Window().pos(), QPoint(room.width() / 2, room.height() / 2));
    EXPECT_EQ(session.Window().size(), QSize(641, 481));
}

TEST(SaverWindowScreens, BackdropCoversEveryScreen)
{
    testing::TempFolder dir;
    const std::string config = dir.File("screens.json");
    testing::WriteBytes(config, R"({"screens": [
        {"name": "a", "x": 0, "y": 0, "width": 800, "height": 600, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1},
        {"name": "b", "x": 800, "y": 0, "width": 1024, "height": 768, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen:configfile=" + QString::fromStdString(config));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_also_run_disabled_tests", "--gtest_filter=*DISABLED_BackdropOnEachOfTwoScreens"});
    ASSERT_TRUE(child.waitForFinished(30000));
    EXPECT_EQ(child.exitCode(), 0) << child.readAll().toStdString();
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
