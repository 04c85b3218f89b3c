#include "SaverWindow.h"

#include "Artwork.h"
#include "SaverSession.h"
#include "fakes/FakeMessageBoxes.h"
#include "fakes/FakeProcess.h"
#include "support/TempFolder.h"
#include "EventLoopWait.h"
#include "SolidPng.h"

#include <QBuffer>
#include <QFontInfo>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace wendel {
namespace {

namespace layout = board_layout;
using namespace testing;

// Sanitizers slow our own code, not the system's JPEG and PNG decoders.
#if defined(__SANITIZE_ADDRESS__)
constexpr qint64 kShowBudgetMs = 150;
#else
constexpr qint64 kShowBudgetMs = 100;
#endif
constexpr int kDecodeLimitMs = 60'000;

// A picture with detail everywhere, so that its data runs well past its header.
QByteArray Encode(int width, int height, const char* format)
{
    QImage image(width, height, QImage::Format_RGB32);
    auto* pixels = reinterpret_cast<QRgb*>(image.bits()); // rows of 32-bit pixels follow each other unpadded
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) pixels[y * width + x] = qRgb(x * 255 / width, y * 255 / height, (x ^ y) & 0xFF);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    EXPECT_TRUE(buffer.open(QIODevice::WriteOnly) && image.save(&buffer, format));
    return bytes;
}

// The best of three runs: a busy machine stalls one now and then, a fault every time.
qint64 FastestOfThree(const std::function<void(int run)>& body)
{
    qint64 fastest = std::numeric_limits<qint64>::max();
    for (int run = 1; run <= 3; ++run) {
        QElapsedTimer clock;
        clock.start();
        body(run);
        fastest = std::min(fastest, clock.elapsed());
    }
    return fastest;
}

// The pixel a label keeps when its caption changes: its left or right edge, or its centre.
double AnchorOf(layout::Align align, double left, double width)
{
    return align == layout::Align::Left ? left : align == layout::Align::Right ? left + width : left + width / 2;
}

// Every paint of the board or one of its controls, as the area it covered in the board's coordinates.
struct PaintLog final : QObject {
    explicit PaintLog(QWidget& board) : board(board)
    {
        board.installEventFilter(this);
        for (QWidget* child : board.findChildren<QWidget*>()) child->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Paint) return false;
        auto* widget = static_cast<QWidget*>(watched);
        ++count[widget->objectName().toStdString()];
        const QRegion painted = static_cast<QPaintEvent*>(event)->region();
        area += widget == &board ? painted : painted.translated(widget->pos());
        return false;
    }

    QWidget& board;
    std::map<std::string, int> count;
    QRegion area;
};

// The real board on screen and the picture loader; presses, keys and decode reports counted.
class SaverWindowTest : public ::testing::Test {
protected:
    SaverWindowTest()
    {
        window.onMouseDown = [this] { ++presses; };
        window.onKeyDown = [this] { ++keys; };
        window.onCoverDecoded = [this](int code) { reports.push_back(code); };
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    std::string Write(const std::string& name, const QByteArray& bytes)
    {
        WriteBytes(dir.File(name), bytes.toStdString());
        return dir.File(name);
    }
    // The probe's code, then the board's: that of opening, else that of the decode.
    std::string Load(const std::string& path, QSize box = {480, 320})
    {
        const int probed = pictures.Probe(path).code;
        reports.clear();
        int loaded = window.LoadCover(path, box.width() * 15, box.height() * 15);
        if (loaded == 0) loaded = WaitUntil([&] { return !reports.empty(); }, kDecodeLimitMs) ? reports.back() : -1;
        return std::to_string(probed) + "/" + std::to_string(loaded);
    }
    QLabel* Cover() { return window.PictureWidget(Picture::AlbumCover); }

    TempFolder dir;
    SaverWindow window;
    QtPictureLoader pictures;
    const QByteArray smallJpeg = Encode(300, 200, "jpeg");
    std::vector<int> reports;
    int presses = 0, keys = 0;
};

// Only the cover's box shows at first; artwork is decoded when first shown. Every control lies on the board; where two
// overlap, the one first in the design is on top. A label has its font and colour, as plain text; an auto-sized one its
// caption's size once on screen (measuring loads a font, so not before) and keeps its top and edge; NoPLX wraps.
TEST_F(SaverWindowTest, TheDesignStaysOnTheBoard)
{
    for (const layout::PictureDesign& design : layout::kPictures) {
        SCOPED_TRACE(design.name);
        QLabel* picture = window.PictureWidget(design.picture);
        EXPECT_EQ(window.IsVisible(design.picture), design.picture == Picture::AlbumCover);
        EXPECT_TRUE(picture->pixmap().isNull());
        window.SetVisible(design.picture, true);
        EXPECT_EQ(picture->pixmap().isNull(), design.picture == Picture::AlbumCover); // the cover is the decoder's
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
    EXPECT_TRUE(window.PictureWidget(Picture::Header1)->hasScaledContents()); // stretched to its box
    for (const layout::LabelDesign& design : layout::kLabels) {
        SCOPED_TRACE(design.name);
        QLabel* label = window.LabelWidget(design.label);
        window.SetVisible(design.label, true);
        EXPECT_EQ(label->textFormat(), Qt::PlainText); // jukebox texts are never markup
        const QFont font = label->font();
        EXPECT_EQ(font.pixelSize(), design.fontPixels);
        EXPECT_EQ(font.italic(), design.italic);
        // Without an "Arial Black" the heaviest Arial stands in.
        EXPECT_TRUE(!design.arialBlack || QFontInfo(font).family() == "Arial Black" || font.weight() == QFont::Black);
        const auto [red, green, blue] = design.colour;
        EXPECT_EQ(label->palette().color(QPalette::WindowText), qRgb(red, green, blue));
        EXPECT_EQ(label->wordWrap(), !design.autoSize);
        if (!design.autoSize) continue;
        const double anchor = AnchorOf(design.align, design.rect.left / 15.0, design.rect.width / 15.0);
        for (const char* text : {"", "1:23 / 4:05", "A much longer text than any label had at first"}) {
            if (*text) window.SetCaption(design.label, text);
            const QRect r = label->geometry();
            const QSize fit(QFontMetrics(font).horizontalAdvance(label->text()), QFontMetrics(font).height());
            EXPECT_TRUE(label->text().isEmpty() || r.size() == fit) << text; // else it keeps its design box
            EXPECT_EQ(r.top(), TwipsToPixels(design.rect.top));
            EXPECT_NEAR(AnchorOf(design.align, r.left(), r.width()), anchor, 0.5);
        }
    }
}

// The colour a picture is mostly of: 'r', 'g', 'b', or 'y' where red and green lead together.
char TintOf(const QImage& image)
{
    const QRgb mean = image.scaled(1, 1, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).pixel(0, 0);
    const int red = qRed(mean), green = qGreen(mean), blue = qBlue(mean);
    if (red > 2 * blue && green > 2 * blue && 4 * std::min(red, green) > 3 * std::max(red, green)) return 'y';
    return blue >= red && blue >= green ? 'b' : red >= green ? 'r' : 'g';
}

// What the user sees of the embedded pictures: their sizes and colours; two of one size and colour differ.
TEST(Artwork, EveryPictureHasItsSizeAndTint)
{
    using enum ArtworkId;
    const std::tuple<ArtworkId, QSize, char, bool> rows[] = { // picture, size, tint, a black corner
        {DefaultHeader, {640, 90}, 'b', false}, {DefaultFooter, {450, 22}, 'b', false}, {Header1, {90, 64}, 'b', true},
        {Header2, {90, 64}, 'r', true}, {Header3, {90, 64}, 'g', true}, {Footer1, {450, 22}, 'b', false},
        {Footer2, {450, 22}, 'r', false}, {Footer3, {450, 22}, 'g', false}, {Play, {34, 32}, 'g', true},
        {Pause, {29, 32}, 'y', true}, {Stopsign, {34, 31}, 'r', true}, {WindowIcon, {32, 32}, 'b', true},
        {LookPreview1, {162, 95}, 'b', true}, {LookPreview2, {162, 95}, 'b', true},
        {LookPreview3, {162, 95}, 'r', true}, {LookPreview4, {162, 95}, 'g', true},
    };
    ASSERT_EQ(std::size(rows), kAllArtwork.size());
    for (const auto& [id, size, tint, blackCorner] : rows) {
        SCOPED_TRACE(ArtworkResourcePath(id).toStdString());
        const QImage image = LoadArtwork(id);
        ASSERT_EQ(image.size(), size);
        EXPECT_EQ(TintOf(image), tint);
        EXPECT_TRUE(!blackCorner || (image.pixel(0, 0) & 0xffffffu) == 0);
    }
    EXPECT_NE(LoadArtwork(DefaultFooter), LoadArtwork(Footer1));
    EXPECT_NE(LoadArtwork(LookPreview1), LoadArtwork(LookPreview2));
}

// A press ends the saver unless a shown label or picture takes it; a key ends it, a move does not; on the backdrop
// too. How the backdrops cover the monitors is the end-to-end desktop test's.
TEST_F(SaverWindowTest, PressesOffTheControlsAndKeysEndTheSaver)
{
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
    QTest::mouseMove(&window, {300, 300});
    QTest::keyClick(&window, Qt::Key_A);
    EXPECT_EQ(presses, 3);
    EXPECT_EQ(keys, 1);

    FakeMessageBoxes boxes;
    FakeProcess process;
    SaverSession session(boxes, process, Write("wendelsaver.ini", "Background = ON\r\n"));
    session.Open();
    ASSERT_EQ(session.Desktop().Backdrops().size(), 1u);
    BackdropSurface& backdrop = *session.Desktop().Backdrops().begin()->second;
    QTest::mouseMove(&backdrop, {10, 10});
    EXPECT_EQ(process.exitCalls, 0);
    QTest::mouseClick(&backdrop, Qt::LeftButton, {}, {5, 5});
    EXPECT_EQ(process.exitCalls, 1);
    QTest::keyClick(&backdrop, Qt::Key_Space);
    EXPECT_EQ(process.exitCalls, 2);
}

// What a time message costs the screen: its label's area repainted once, the header behind showing through, and
// nothing beyond. The reveal draws letter by letter, so RepaintNow draws its label before it returns.
TEST_F(SaverWindowTest, ACaptionRepaintsItsLabelOnlyAndOnce)
{
    window.SetVisible(Picture::DefaultHeader, true);
    window.SetVisible(Label::AlbumNotice, true);
    window.SetCaption(Label::TrackTime, "0:01 / 3:12");
    QLabel* time = window.LabelWidget(Label::TrackTime);
    for (const char* caption : {"10:00 / 3:12", "10:01 / 3:12"}) { // of another width, then of the same
        QTest::qWait(100); // all that is going to be drawn, drawn
        const QRect before = time->geometry();
        PaintLog log(window);
        window.SetCaption(Label::TrackTime, caption);
        QTest::qWait(100);
        EXPECT_EQ(log.count["TrackTime"], 1) << caption;
        for (const auto& [name, paints] : log.count) EXPECT_LE(paints, 1) << name;
        const QRect beyond = log.area.subtracted(QRegion(before) | time->geometry()).boundingRect();
        EXPECT_TRUE(beyond.isEmpty()) << caption << ": painted beyond the time";
    }
    PaintLog log(window);
    window.SetCaption(Label::AlbumNotice, "[Al");
    window.RepaintNow(Label::AlbumNotice);
    EXPECT_EQ(log.count["AlbumNotice"], 1);
}

// A timer ticks only when enabled with an interval; the cursor hides while its show count is below zero.
TEST(SaverPorts, TimerAndCursorAsTheSaverCountsOnThem)
{
    int ticks = 0;
    QtTimer timer("ImageErrorTimer", [&] { ++ticks; });
    timer.SetEnabled(true);
    EXPECT_FALSE(timer.Underlying().isActive()); // interval 0 never ticks
    timer.SetInterval(5);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks >= 2; }, 1000)); // and repeats
    timer.SetEnabled(false);
    EXPECT_FALSE(timer.Underlying().isActive());

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

// Every cover, good or hostile, gives its codes at once; a good one is decoded straight at its box's size.
TEST_F(SaverWindowTest, EveryCoverGivesItsCodesAtOnce)
{
    std::filesystem::create_directory(dir.File("cover-folder.jpg"));
    ASSERT_EQ(mkfifo(dir.File("pipe.jpg").c_str(), 0600), 0);
    // 400 megapixels in a megabyte: the probe tells its size for the saver to refuse; the decode refuses it too.
    const std::string bomb = Write("bomb.png", SolidRgbPng(20000, 20000, 0, 0, 0));
    EXPECT_EQ(pictures.Probe(bomb).width, 20000);
    const QSize box(480, 320);
    const std::tuple<const char*, std::string, std::string, QSize> rows[] = { // what, path, probe and board codes, box
        {"JPEG", Write("small.jpg", smallJpeg), "0/0", box},
        {"large JPEG", Write("big.jpg", Encode(4000, 4000, "jpeg")), "0/0", {320, 320}},
        {"PNG of a Unicode name", Write("Bj\xC3\xB6rk \xE2\x98\x83.png", Encode(200, 300, "png")), "0/0", {213, 320}},
        {"missing file", dir.File("missing.jpg"), "53/53", box},
        {"missing folder", dir.File("no-such-folder/cover.jpg"), "76/76", box},
        {"decompression bomb", bomb, "0/481", box},
        {"empty file", Write("empty.jpg", {}), "481/481", box},
        {"text named .jpg", Write("text.jpg", "Not a picture, only its name says so.\n"), "481/481", box},
        {"JPEG cut in its header", Write("header.jpg", smallJpeg.left(60)), "481/481", box},
        // Cut in its data: drawn as far as it goes, the rest grey; ending the saver for it would lose more.
        {"JPEG cut in its data", Write("cut.jpg", smallJpeg.left(smallJpeg.size() / 2)), "0/0", box},
        // Its header is fine, so only the decode, off the GUI thread, finds out.
        {"PNG cut in its data", Write("cut.png", SolidRgbPng(400, 400, 1, 2, 3).left(300)), "0/481", box},
        {"folder named as the cover", dir.File("cover-folder.jpg"), "75/75", box},
        {"pipe named as the cover", dir.File("pipe.jpg"), "75/75", box}, // no wait for a writer
        {"path of 10,000 characters", dir.File(std::string(10000, 'x') + ".jpg"), "75/75", box},
    };
    for (std::size_t row = 0; row < std::size(rows); ++row) {
        const auto& [what, path, codes, size] = rows[row];
        // A good cover shows within the budget; a hostile one answers long before a real decode of the bomb would.
        const qint64 bound = row < 3 ? kShowBudgetMs : 1000;
        EXPECT_LT(FastestOfThree([&](int) { EXPECT_EQ(Load(path, size), codes) << what; }), bound) << what;
        EXPECT_TRUE(codes != "0/0" || Cover()->pixmap().size() == size) << what;
    }
    window.PlaceCover({1215, 1455, 7200, 4800});
    EXPECT_EQ(Cover()->geometry(), QRect(81, 97, 480, 320));
}

// A decode of 100 megapixels (the most the saver takes, over a second of work) holds off no key, and its cover shows
// when done. A newer cover wins over such a decode: the older one never reports, neither its picture nor a failure.
// Closing the board stops it at its next read and waits for it, so nothing outlives the board.
TEST_F(SaverWindowTest, AHugeDecodeHoldsOffNeitherAKeyNorANewerCoverNorTheEnd)
{
    const std::string huge = Write("huge.png", SolidRgbPng(10000, 10000, 0x80, 0x80, 0x80));
    ASSERT_EQ(window.LoadCover(huge, 4800, 4800), 0);
    EXPECT_LT(FastestOfThree([this](int n) {
        QCoreApplication::postEvent(&window, new QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a"));
        ASSERT_TRUE(WaitUntil([this, n] { return keys == n; }, kDecodeLimitMs));
    }), kShowBudgetMs);
    EXPECT_TRUE(reports.empty()) << "the decode was over before the keys: this proves nothing";
    ASSERT_TRUE(WaitUntil([&] { return !reports.empty(); }, kDecodeLimitMs));
    EXPECT_EQ(reports, std::vector<int>{0});
    EXPECT_EQ(Cover()->pixmap().toImage().pixel(160, 160), qRgb(0x80, 0x80, 0x80));

    ASSERT_EQ(window.LoadCover(huge, 4800, 4800), 0);
    EXPECT_EQ(Load(Write("small.jpg", smallJpeg)), "0/0");
    // Decodes run one at a time, in order: once a third has reported, the first has ended and been handled.
    EXPECT_EQ(Load(Write("other.png", Encode(200, 300, "png")), {213, 320}), "0/0");
    EXPECT_EQ(reports, std::vector<int>{0});
    EXPECT_EQ(Cover()->pixmap().size(), QSize(213, 320));

    auto board = std::make_unique<SaverWindow>();
    board->onCoverDecoded = [this](int code) { reports.push_back(code); };
    ASSERT_EQ(board->LoadCover(huge, 4800, 4800), 0);
    QElapsedTimer clock;
    clock.start();
    board.reset();
    EXPECT_LT(clock.elapsed(), 500);
    QCoreApplication::processEvents();
    EXPECT_EQ(reports, std::vector<int>{0});
}

// An older decode that has finished, its outcome waiting in the event queue when a newer one starts or the cover is
// dropped: that outcome never comes out.
TEST_F(SaverWindowTest, AnOutcomeQueuedBeforeANewerStartOrACancelIsDropped)
{
    const std::string cover = Write("cover.jpg", smallJpeg); // told apart by the size each decode is asked for
    for (const bool cancel : {false, true}) {
        QThreadPool pool;
        CoverDecoder decoder(pool);
        std::vector<QSize> sizes;
        QObject::connect(&decoder, &CoverDecoder::Decoded, [&](int, const QImage& p) { sizes.push_back(p.size()); });
        decoder.Start(std::move(OpenPicture(cover).file), QSize(60, 60));
        ASSERT_TRUE(pool.waitForDone(kDecodeLimitMs)); // decoded, its outcome not yet handled
        if (cancel) decoder.Cancel();
        else decoder.Start(std::move(OpenPicture(cover).file), QSize(80, 40));
        ASSERT_TRUE(pool.waitForDone(kDecodeLimitMs));
        QCoreApplication::processEvents();
        EXPECT_EQ(sizes, cancel ? std::vector<QSize>{} : std::vector<QSize>{QSize(80, 40)}) << cancel;
    }
}

} // namespace
} // namespace wendel
