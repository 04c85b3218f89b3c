// Pictures a bridge may name to the saver, and the private folder it keeps them in.

#include "CoverCache.h"
#include "Picture.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include <sys/stat.h>

namespace jukebox {
namespace {

namespace fs = std::filesystem;

// `v` in `bytes` bytes, most significant first, or last when `little`.
std::string Num(std::uint32_t v, int bytes, bool little = false)
{
    std::string s;
    for (int i = 0; i < bytes; ++i) s += static_cast<char>(v >> (8 * (little ? i : bytes - 1 - i)) & 0xFF);
    return s;
}
std::string Be(std::uint32_t v, int bytes) { return Num(v, bytes); }
std::string Le(std::uint32_t v, int bytes) { return Num(v, bytes, true); }

std::string Png(std::uint32_t w, std::uint32_t h) { return "\x89PNG\r\n\x1A\n" + Be(13, 4) + "IHDR" + Be(w, 4) + Be(h, 4) + "\x08\x02"; }
// An APP0 segment, then the frame header.
std::string Jpeg(std::uint32_t w, std::uint32_t h, char frame = '\xC0')
{
    return std::string("\xFF\xD8\xFF\xE0", 4) + Be(16, 2) + std::string("JFIF\0\1\1\0\0\1\0\1\0\0", 14) + "\xFF" +
           frame + Be(17, 2) + "\x08" + Be(h, 2) + Be(w, 2) + "\x03";
}
std::string Gif(std::uint32_t w, std::uint32_t h) { return "GIF89a" + Le(w, 2) + Le(h, 2) + "\x80"; }
std::string Bmp(std::int32_t w, std::int32_t h)
{
    return "BM" + Le(0, 4) + Le(0, 4) + Le(54, 4) + Le(40, 4) + Le(static_cast<std::uint32_t>(w), 4) +
           Le(static_cast<std::uint32_t>(h), 4);
}

TEST(CoverPicture, OnlyPicturesTheSaverCanShowPass)
{
    using P = PictureType;
    const std::vector<std::tuple<const char*, std::string, std::optional<PictureInfo>>> cases = {
        {"jpeg", Jpeg(1000, 800), PictureInfo{P::Jpeg, 1000, 800}},
        {"progressive jpeg", Jpeg(640, 480, '\xC2'), PictureInfo{P::Jpeg, 640, 480}},
        {"jpeg with fill bytes", std::string("\xFF\xD8\xFF\xFF\xC0", 5) + Be(17, 2) + "\x08" + Be(2, 2) + Be(3, 2),
         PictureInfo{P::Jpeg, 3, 2}},
        {"jpeg, restart marker first", std::string("\xFF\xD8\xFF\xD0\xFF\xCF", 6) + Be(17, 2) + "\x08" + Be(4, 2) + Be(5, 2),
         PictureInfo{P::Jpeg, 5, 4}},
        {"jpeg data before any frame header",
         std::string("\xFF\xD8\xFF\xDA", 4) + Be(2, 2) + "\xFF\xC0" + Be(17, 2) + "\x08" + Be(4, 2) + Be(5, 2), std::nullopt},
        {"png", Png(1000, 1000), PictureInfo{P::Png, 1000, 1000}},
        {"gif", Gif(320, 200), PictureInfo{P::Gif, 320, 200}},
        {"bmp", Bmp(64, 32), PictureInfo{P::Bmp, 64, 32}},
        {"bmp top-down", Bmp(64, -32), PictureInfo{P::Bmp, 64, 32}},
        {"bmp core header", "BM" + std::string(12, '\0') + Le(12, 4) + Le(7, 2) + Le(9, 2), PictureInfo{P::Bmp, 7, 9}},
        {"30000 x 30000", Png(30000, 30000), std::nullopt},
        {"100 megapixels exactly", Png(10000, 10000), PictureInfo{P::Png, 10000, 10000}},
        {"a side of 0", Gif(0, 10), std::nullopt},
        {"negative bmp width", Bmp(-5, 5), std::nullopt},
        {"bmp cut in its size", Bmp(5, 5).substr(0, 24), std::nullopt},
        {"jpeg cut before its size", Jpeg(100, 100).substr(0, 22), std::nullopt},
        {"jpeg without a frame header", std::string("\xFF\xD8\xFF\xD9", 4), std::nullopt},
        {"jpeg junk after the start", std::string("\xFF\xD8\xFF\xE0\x00\x10garbage", 13), std::nullopt},
        {"png cut", Png(10, 10).substr(0, 20), std::nullopt},
        {"empty", "", std::nullopt},
        {"html", "<html><body>404</body></html>", std::nullopt},
        {"webp", "RIFF" + Le(100, 4) + "WEBPVP8 ", std::nullopt},
        {"ico", std::string("\0\0\1\0\1\0\x10\x10", 8), std::nullopt},
    };
    for (const auto& [name, bytes, seen] : cases) EXPECT_EQ(SniffPicture(bytes), seen) << name;
}

std::size_t Files(const fs::path& folder)
{
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

void Age(const std::string& path, int secondsAgo)
{
    fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::seconds(secondsAgo));
}

TEST(CoverCache, KeepsGoodPicturesPrivatelyAndRefusesTheRestOrAnUnmakeableFolder)
{
    const QTemporaryDir dir;
    const fs::path root = QFile::encodeName(dir.path()).toStdString();
    const fs::path folder = root / "cache" / "wendelsaver" / "covers";
    CoverCache cache(folder);
    EXPECT_EQ(cache.Store("folder:a", "<html>"), "");
    EXPECT_EQ(cache.Store("folder:a", ""), "");
    std::string huge = Png(100, 100);
    huge.resize(CoverCache::kMaxPictureBytes + 1);
    EXPECT_EQ(cache.Store("folder:a", huge), "");
    EXPECT_FALSE(fs::exists(folder)) << "nothing made for a refused picture";
    huge.pop_back(); // exactly at the cap: kept
    EXPECT_NE(cache.Store("folder:huge", huge), "");
    EXPECT_EQ(cache.Find("folder:a"), "");

    const std::string png = Png(10, 10);
    const std::string path = cache.Store("folder:a", png);
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(fs::path(path).parent_path(), folder);
    EXPECT_EQ(fs::path(path).extension(), ".png");
    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), png);
    for (const fs::path& private_ : {folder, folder.parent_path()}) {
        struct stat info {};
        ASSERT_EQ(::stat(private_.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700u) << private_;
    }
    EXPECT_EQ(cache.Find("folder:a"), path);
    EXPECT_EQ(cache.Find("folder:b"), "");
    // The same key with a picture of another type: still one answer, the new one.
    const std::string jpeg = cache.Store("file:x.flac", Jpeg(5, 5));
    EXPECT_EQ(fs::path(jpeg).extension(), ".jpg");
    EXPECT_NE(jpeg, path);
    EXPECT_EQ(Files(folder), 3u) << "no temporary file left behind";

    std::ofstream(root / "file") << "x";
    CoverCache unmakeable(root / "file" / "covers");
    EXPECT_EQ(unmakeable.Store("a", Png(1, 1)), "");
}

TEST(CoverCache, DropsTheLeastRecentlyUsedFirst)
{
    const QTemporaryDir dir;
    const fs::path root = QFile::encodeName(dir.path()).toStdString();
    // A folder above that is not the saver's own keeps its mode.
    fs::create_directory(root / "shared");
    fs::permissions(root / "shared", fs::perms(0755));
    CoverCache cache(root / "shared" / "covers", CoverCache::Limits{1 << 20, 3});
    const std::string a = cache.Store("a", Png(1, 1));
    const std::string b = cache.Store("b", Png(1, 1));
    const std::string c = cache.Store("c", Png(1, 1));
    for (const auto& [path, secondsAgo] : {std::pair{a, 30}, std::pair{b, 20}, std::pair{c, 10}}) Age(path, secondsAgo);
    EXPECT_EQ(cache.Find("a"), a); // used now: it stays
    const std::string d = cache.Store("d", Png(1, 1));
    EXPECT_EQ(Files(root / "shared" / "covers"), 3u);
    EXPECT_EQ(fs::status(root / "shared").permissions(), fs::perms(0755));
    EXPECT_FALSE(fs::exists(b));
    for (const std::string& kept : {a, c, d}) EXPECT_TRUE(fs::exists(kept)) << kept;

    // Bounded in bytes as well: the newest picture stays even when alone too big.
    CoverCache small(root / "small", CoverCache::Limits{100, 100});
    std::string big = Png(2, 2);
    big.resize(150, '\0');
    const std::string first = small.Store("1", Png(1, 1));
    Age(first, 5);
    const std::string second = small.Store("2", big);
    EXPECT_FALSE(fs::exists(first));
    EXPECT_TRUE(fs::exists(second));
}

} // namespace
} // namespace jukebox
