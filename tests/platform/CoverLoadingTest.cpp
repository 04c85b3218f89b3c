#include "QtPictureLoader.h"
#include "SaverWindow.h"
#include "app/WendelSaverMain.h"
#include "display/CoverFit.h"
#include "fakes/FakeMessageBoxes.h"
#include "fakes/FakeProcess.h"
#include "fakes/FakeSaverPorts.h"
#include "support/TempFolder.h"
#include "support/Unprivileged.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QImage>
#include <QImageWriter>
#include <QLabel>
#include <QPainter>

#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace wendel {
namespace {

using namespace testing;

// Sanitizers slow our own code, not the system's JPEG and PNG decoders.
#if defined(__SANITIZE_ADDRESS__)
constexpr qint64 kShowBudgetMs = 150;
#else
constexpr qint64 kShowBudgetMs = 100;
#endif

QByteArray Encode(const QImage& image, const char* format, int quality = -1)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    EXPECT_TRUE(writer.write(image)) << writer.errorString().toStdString();
    return bytes;
}

QImage Painted(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, width, height);
    gradient.setColorAt(0, Qt::darkBlue);
    gradient.setColorAt(1, Qt::yellow);
    painter.fillRect(image.rect(), gradient);
    painter.setPen(QPen(Qt::red, width / 50.0));
    painter.drawEllipse(image.rect().adjusted(width / 8, height / 8, -width / 8, -height / 8));
    return image;
}

void AppendChunk(QByteArray& png, const char* type, const QByteArray& data)
{
    const auto be32 = [&png](quint32 v) {
        for (int shift = 24; shift >= 0; shift -= 8) png.append(static_cast<char>((v >> shift) & 0xFF));
    };
    be32(static_cast<quint32>(data.size()));
    QByteArray typed = QByteArray(type) + data;
    png.append(typed);
    be32(static_cast<quint32>(crc32(0, reinterpret_cast<const Bytef*>(typed.constData()),
                                    static_cast<uInt>(typed.size()))));
}

// A valid 30000 x 30000 grey PNG of under a megabyte: 900 MB of zero rows.
// Each block of rows is compressed after a full flush, which makes every
// block's output identical, so one compression serves them all.
QByteArray DecompressionBomb()
{
    constexpr quint32 side = 30000;
    constexpr int rowsPerBlock = 100;
    const std::vector<Bytef> block(static_cast<std::size_t>(side + 1) * rowsPerBlock, 0);
    z_stream stream{};
    deflateInit(&stream, 9);
    const auto run = [&stream](const Bytef* in, std::size_t size, int flush) {
        std::vector<Bytef> out(1 << 20);
        stream.next_in = const_cast<Bytef*>(in);
        stream.avail_in = static_cast<uInt>(size);
        stream.next_out = out.data();
        stream.avail_out = static_cast<uInt>(out.size());
        deflate(&stream, flush);
        return QByteArray(reinterpret_cast<const char*>(out.data()),
                          static_cast<qsizetype>(out.size() - stream.avail_out));
    };
    const QByteArray first = run(block.data(), block.size(), Z_FULL_FLUSH);
    const QByteArray repeated = run(block.data(), block.size(), Z_FULL_FLUSH);
    QByteArray end = run(nullptr, 0, Z_FINISH);
    deflateEnd(&stream);

    const int blocks = side / rowsPerBlock;
    const uLong blockAdler = adler32(adler32(0, nullptr, 0), block.data(), static_cast<uInt>(block.size()));
    uLong adler = blockAdler;
    for (int i = 1; i < blocks; ++i) adler = adler32_combine(adler, blockAdler, static_cast<z_off_t>(block.size()));
    for (int i = 0; i < 4; ++i) end[end.size() - 4 + i] = static_cast<char>((adler >> (24 - 8 * i)) & 0xFF);

    QByteArray idat = first;
    for (int i = 1; i < blocks; ++i) idat += repeated;
    idat += end;

    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    QByteArray header;
    for (quint32 v : {side, side})
        for (int shift = 24; shift >= 0; shift -= 8) header.append(static_cast<char>((v >> shift) & 0xFF));
    header.append("\x08\x00\x00\x00\x00", 5); // 8-bit grey, no interlace
    AppendChunk(png, "IHDR", header);
    AppendChunk(png, "IDAT", idat);
    AppendChunk(png, "IEND", {});
    return png;
}

// The real board and picture loader under the cover routine; the rest fake.
class CoverLoadingTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        bigJpeg = new QByteArray(Encode(Painted(4000, 4000), "jpeg", 85));
        smallJpeg = new QByteArray(Encode(Painted(300, 200), "jpeg", 85));
    }
    static void TearDownTestSuite()
    {
        delete bigJpeg;
        delete smallJpeg;
    }

    std::string Write(const std::string& name, const QByteArray& bytes)
    {
        const std::string path = dir.File(name);
        WriteBytes(path, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
        return path;
    }

    // The code ShowAlbumCover gave, or the text of the fatal box.
    std::string Outcome(const std::string& path)
    {
        const std::int32_t code = saver.ShowAlbumCover(path);
        if (process.exitCalls > 0) {
            return boxes.shown.empty() ? "ended without a box" : boxes.shown.back().text;
        }
        return std::to_string(code);
    }

    QLabel* Cover() { return window.PictureWidget(Picture::AlbumCover); }

    static QByteArray* bigJpeg;
    static QByteArray* smallJpeg;

    TempFolder dir;
    SaverWindow window;
    QtPictureLoader pictures;
    FakeTimer dTimer, playIconTimer, imageErrorTimer;
    FakeCursor cursor;
    FakeLink link;
    FakeMessageBoxes boxes;
    FakeProcess process;
    WendelSaverMain saver{SaverPorts{window, dTimer, playIconTimer, imageErrorTimer, cursor, link, pictures,
                                     boxes, process},
                          "/nonexistent/wendelsaver.ini"};
};

QByteArray* CoverLoadingTest::bigJpeg = nullptr;
QByteArray* CoverLoadingTest::smallJpeg = nullptr;

// Decoded straight at the box's size; the large one well within the budget.
TEST_F(CoverLoadingTest, PicturesAreDecodedAtTheirBoxSize)
{
    const std::string folder = dir.File("Bj\xC3\xB6rk \xE2\x80\x93 Homogenic \xE2\x98\x83");
    std::filesystem::create_directory(folder);
    const std::string nonAscii = folder + "/cover \xC3\xA9t\xC3\xA9.png";
    WriteBytes(nonAscii, Encode(Painted(200, 300), "png").toStdString());
    const struct {
        std::string path;
        QRect box;
    } rows[] = {
        {Write("small.jpg", *smallJpeg), {81, 97, 480, 320}},
        {Write("big.jpg", *bigJpeg), {161, 97, 320, 320}},
        {nonAscii, {214, 97, 213, 320}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(Outcome(row.path), "0");
        EXPECT_LT(clock.elapsed(), kShowBudgetMs);
        EXPECT_FALSE(Cover()->isHidden());
        EXPECT_EQ(Cover()->geometry(), row.box);
        EXPECT_EQ(Cover()->pixmap().size(), row.box.size());
    }
}

TEST_F(CoverLoadingTest, DecompressionBombIsRefusedFromItsHeader)
{
    const std::string path = Write("bomb.png", DecompressionBomb());
    ASSERT_LT(std::filesystem::file_size(path), 1'000'000u);
    const PictureProbe probe = pictures.Probe(path);
    EXPECT_EQ(probe.width, 30000);
    EXPECT_EQ(probe.height, 30000);

    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(Outcome(path), "Encountered Unknown Error  481!");
    EXPECT_LT(clock.elapsed(), 100);
    EXPECT_EQ(DecodePictureScaled(path, {320, 320}).code, kUnreadablePictureCode);
    EXPECT_LT(clock.elapsed(), 100);
    EXPECT_TRUE(Cover()->pixmap().isNull());
}

struct BadInput {
    const char* what;
    std::string path;
    std::string outcome;
};

TEST_F(CoverLoadingTest, BadInputGivesAClearResult)
{
    const std::string folder = dir.File("cover-folder.jpg");
    std::filesystem::create_directory(folder);
    const QByteArray text = "This is not a picture, only its name says so.\n";
    const std::string pipe = dir.File("pipe.jpg");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const BadInput rows[] = {
        {"missing file", dir.File("missing.jpg"), "53"},
        {"missing folder", dir.File("no-such-folder/cover.jpg"), "Encountered Unknown Error  76!"},
        {"empty file", Write("empty.jpg", {}), "Encountered Unknown Error  481!"},
        {"text named .jpg", Write("text.jpg", text), "Encountered Unknown Error  481!"},
        {"JPEG cut in its header", Write("header.jpg", smallJpeg->left(60)), "Encountered Unknown Error  481!"},
        // Cut inside the picture data: the decoder draws the rows it has and
        // greys the rest; ending the saver for a damaged cover would lose more.
        {"JPEG cut in its data", Write("cut.jpg", smallJpeg->left(smallJpeg->size() / 2)), "0"},
        {"folder named as the cover", folder, "Encountered Unknown Error  75!"},
        {"pipe named as the cover", pipe, "Encountered Unknown Error  75!"}, // no wait for a writer
        {"path of 10,000 characters", dir.File(std::string(10000, 'x') + ".jpg"),
         "Encountered Unknown Error  75!"},
    };
    for (const BadInput& row : rows) {
        SCOPED_TRACE(row.what);
        process.exitCalls = 0;
        boxes.shown.clear();
        saver.LastCoverPath.clear();
        EXPECT_EQ(Outcome(row.path), row.outcome);
        EXPECT_EQ(Cover()->isHidden(), row.outcome != "0");
    }
}

TEST_F(CoverLoadingTest, UnreadableFileIsAccessRefused)
{
    const std::string path = Write("locked.jpg", *smallJpeg);
    ASSERT_EQ(chmod(path.c_str(), 0), 0);
    EXPECT_TRUE(RunUnprivileged([&]() -> ::testing::AssertionResult {
        QtPictureLoader loader;
        const int probed = loader.Probe(path).code;
        const int decoded = DecodePictureScaled(path, {480, 320}).code;
        if (probed != 70 || decoded != 70) {
            return ::testing::AssertionFailure() << "probe " << probed << ", decode " << decoded;
        }
        return ::testing::AssertionSuccess();
    }));
}

} // namespace
} // namespace wendel
