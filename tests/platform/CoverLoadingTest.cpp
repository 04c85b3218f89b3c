#include "CoverDecoder.h"
#include "QtPictureLoader.h"
#include "SaverWindow.h"
#include "support/TempFolder.h"
#include "support/Unprivileged.h"
#include "EventLoopWait.h"
#include "SolidPng.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace wendel {
namespace {

using namespace testing;

// Sanitizers slow our own code, not the system's JPEG and PNG decoders.
#if defined(__SANITIZE_ADDRESS__)
constexpr qint64 kShowBudgetMs = 150;
#else
constexpr qint64 kShowBudgetMs = 100;
#endif
// Longest wait for a decode to report; a passing run never waits it out.
constexpr int kDecodeLimitMs = 60'000;

// A picture with detail everywhere, so that its data runs well past its header.
QByteArray Encode(int width, int height, const char* format)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) row[x] = qRgb(x * 255 / width, y * 255 / height, (x ^ y) & 0xFF);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    EXPECT_TRUE(buffer.open(QIODevice::WriteOnly) && image.save(&buffer, format));
    return bytes;
}

const QByteArray& SmallJpeg()
{
    static const QByteArray bytes = Encode(300, 200, "jpeg");
    return bytes;
}

// The real board and picture loader, which give the codes the saver turns
// into its messages.
class CoverLoadingTest : public ::testing::Test {
protected:
    CoverLoadingTest()
    {
        window.onCoverDecoded = [this](int code) { reports.push_back(code); };
        window.onKeyDown = [this] { ++keys; };
    }

    std::string Write(const std::string& name, const QByteArray& bytes)
    {
        WriteBytes(dir.File(name), std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
        return dir.File(name);
    }
    bool Reported(std::size_t n = 1) { return WaitUntil([&] { return reports.size() >= n; }, kDecodeLimitMs); }
    // The probe's code, then the board's: that of opening, else that of the decode.
    std::string Load(const std::string& path, QSize box = {480, 320})
    {
        const int probed = pictures.Probe(path).code;
        reports.clear();
        int loaded = window.LoadCover(path, box.width() * 15, box.height() * 15);
        if (loaded == 0) loaded = Reported() ? reports.back() : -1;
        return std::to_string(probed) + "/" + std::to_string(loaded);
    }
    QLabel* Cover() { return window.PictureWidget(Picture::AlbumCover); }

    TempFolder dir;
    SaverWindow window;
    QtPictureLoader pictures;
    std::vector<int> reports;
    int keys = 0;
};

// Decoded straight at the box's size; a large one well within the budget.
TEST_F(CoverLoadingTest, PicturesAreDecodedAtTheirBoxSize)
{
    const struct {
        std::string path;
        QSize box;
    } rows[] = {
        {Write("small.jpg", SmallJpeg()), {480, 320}},
        {Write("big.jpg", Encode(4000, 4000, "jpeg")), {320, 320}},
        {Write("Bj\xC3\xB6rk \xE2\x80\x93 Homogenic \xE2\x98\x83.png", Encode(200, 300, "png")), {213, 320}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        // The best of three: a busy machine slows a load now and then; a
        // decode at full size is over the budget every time.
        qint64 fastest = std::numeric_limits<qint64>::max();
        for (int attempt = 0; attempt < 3; ++attempt) {
            QElapsedTimer clock;
            clock.start();
            EXPECT_EQ(Load(row.path, row.box), "0/0");
            fastest = std::min(fastest, clock.elapsed());
        }
        EXPECT_LT(fastest, kShowBudgetMs);
        EXPECT_EQ(Cover()->pixmap().size(), row.box);
    }
    window.PlaceCover({1215, 1455, 7200, 4800});
    EXPECT_EQ(Cover()->geometry(), QRect(81, 97, 480, 320));
}

TEST_F(CoverLoadingTest, HostileCoversGiveTheirCodeAtOnce)
{
    std::filesystem::create_directory(dir.File("cover-folder.jpg"));
    ASSERT_EQ(mkfifo(dir.File("pipe.jpg").c_str(), 0600), 0);
    // 900 MB of pixels in under a megabyte: the probe tells its size, for the
    // saver to refuse, and the decode refuses it again without decoding.
    const std::string bomb = Write("bomb.png", SolidGreyPng(30000, 30000, 0));
    EXPECT_EQ(pictures.Probe(bomb).width, 30000);
    const struct {
        const char* what;
        std::string path;
        std::string codes;
    } rows[] = {
        {"missing file", dir.File("missing.jpg"), "53/53"},
        {"missing folder", dir.File("no-such-folder/cover.jpg"), "76/76"},
        {"decompression bomb", bomb, "0/481"},
        {"empty file", Write("empty.jpg", {}), "481/481"},
        {"text named .jpg", Write("text.jpg", "Not a picture, only its name says so.\n"), "481/481"},
        {"JPEG cut in its header", Write("header.jpg", SmallJpeg().left(60)), "481/481"},
        // Cut inside the picture data: the decoder draws the rows it has and
        // greys the rest; ending the saver for a damaged cover would lose more.
        {"JPEG cut in its data", Write("cut.jpg", SmallJpeg().left(SmallJpeg().size() / 2)), "0/0"},
        // Its header is fine, so only the decode, off the GUI thread, finds out.
        {"PNG cut in its data", Write("cut.png", SolidRgbPng(400, 400, 1, 2, 3).left(300)), "0/481"},
        {"folder named as the cover", dir.File("cover-folder.jpg"), "75/75"},
        {"pipe named as the cover", dir.File("pipe.jpg"), "75/75"}, // no wait for a writer
        {"path of 10,000 characters", dir.File(std::string(10000, 'x') + ".jpg"), "75/75"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(Load(row.path), row.codes);
        EXPECT_LT(clock.elapsed(), 1000);
    }
}

TEST_F(CoverLoadingTest, UnreadableFileIsAccessRefused)
{
    const std::string path = Write("locked.jpg", SmallJpeg());
    ASSERT_EQ(chmod(path.c_str(), 0), 0);
    EXPECT_TRUE(RunUnprivileged([&]() -> ::testing::AssertionResult {
        const int probed = QtPictureLoader().Probe(path).code;
        const int decoded = DecodePictureScaled(path, {480, 320}).code;
        if (probed == 70 && decoded == 70) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "probe " << probed << ", decode " << decoded;
    }));
}

// While a picture of 100 megapixels decodes, the board answers keys at once,
// and the cover still shows when the decode is done. A newer cover wins over
// such a decode still running: the older one never reports, neither its
// picture nor a failure. Closing the board stops it at its next read and
// waits for it, so nothing outlives the board.
TEST_F(CoverLoadingTest, AHugeDecodeHoldsOffNeitherAKeyNorANewerCoverNorTheEnd)
{
    // 100 megapixels, the most the saver decodes: over a second of work.
    const std::string huge = Write("huge.png", SolidRgbPng(10000, 10000, 0x80, 0x80, 0x80));
    ASSERT_EQ(window.LoadCover(huge, 4800, 4800), 0);
    // The best of three keys, as a busy machine may stall any one of them.
    qint64 fastest = std::numeric_limits<qint64>::max();
    for (int key = 1; key <= 3; ++key) {
        QElapsedTimer clock;
        clock.start();
        QCoreApplication::postEvent(&window, new QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a"));
        ASSERT_TRUE(WaitUntil([this, key] { return keys == key; }, kDecodeLimitMs));
        fastest = std::min(fastest, clock.elapsed());
    }
    EXPECT_LT(fastest, kShowBudgetMs);
    EXPECT_TRUE(reports.empty()) << "the decode was over before the keys: this proves nothing";
    ASSERT_TRUE(Reported());
    EXPECT_EQ(reports, std::vector<int>{0});
    EXPECT_EQ(Cover()->pixmap().toImage().pixel(160, 160), qRgb(0x80, 0x80, 0x80));

    ASSERT_EQ(window.LoadCover(huge, 4800, 4800), 0);
    EXPECT_EQ(Load(Write("small.jpg", SmallJpeg())), "0/0");
    // Decodes run one at a time, in order, so once a third has reported the
    // first has ended too, and whatever it sent back has been handled.
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

// An older decode that has finished, its outcome waiting in the event queue
// when a newer one starts or the cover is dropped: that outcome never comes out.
TEST_F(CoverLoadingTest, AnOutcomeQueuedBeforeANewerStartOrACancelIsDropped)
{
    const std::string older = Write("older.png", SolidRgbPng(300, 300, 10, 20, 30));
    const std::string newer = Write("newer.png", SolidRgbPng(200, 100, 30, 20, 10));
    for (const bool cancel : {false, true}) {
        SCOPED_TRACE(cancel ? "cancelled" : "a newer one started");
        QThreadPool pool;
        CoverDecoder decoder(pool);
        std::vector<QSize> reports;
        QObject::connect(&decoder, &CoverDecoder::Decoded, [&](int, const QImage& picture) { reports.push_back(picture.size()); });
        decoder.Start(std::move(OpenPicture(older).file), QSize(60, 60));
        ASSERT_TRUE(pool.waitForDone(kDecodeLimitMs)); // decoded, its outcome not yet handled
        if (cancel) decoder.Cancel();
        else decoder.Start(std::move(OpenPicture(newer).file), QSize(80, 40));
        ASSERT_TRUE(pool.waitForDone(kDecodeLimitMs));
        QCoreApplication::processEvents();
        EXPECT_EQ(reports, cancel ? std::vector<QSize>{} : std::vector<QSize>{QSize(80, 40)});
    }
}

} // namespace
} // namespace wendel
