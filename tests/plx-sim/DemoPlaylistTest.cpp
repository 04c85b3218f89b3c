// The demo playlist must show everything the board can show, with covers the build drew.

#include "Playlist.h"

#include <QFile>
#include <QImageReader>

#include <gtest/gtest.h>

#include <algorithm>

namespace plxsim {
namespace {

TEST(DemoPlaylist, ShowsEveryCaseWithGeneratedCovers)
{
    QFile file(QStringLiteral(DEMO_DIR "/demo.plx"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    const Playlist list = ParsePlaylist(text.toStdString(), DEMO_DIR);
    ASSERT_TRUE(list.errors.empty()) << list.errors.front();
    EXPECT_GE(list.entries.size(), 12u);

    const auto any = [&](auto test) { return std::any_of(list.entries.begin(), list.entries.end(), test); };
    const auto marked = [](const Entry& e) { return e.title.starts_with("!a{") && e.title.ends_with("}!"); };
    EXPECT_TRUE(any([&](const Entry& e) { return !e.wholeAlbum && !marked(e); }));
    EXPECT_TRUE(any([&](const Entry& e) { return !e.wholeAlbum && marked(e); }));
    EXPECT_TRUE(any([](const Entry& e) { return e.album == "..."; }));
    EXPECT_TRUE(any([](const Entry& e) { return e.artist.ends_with(", The"); }));
    EXPECT_TRUE(any([](const Entry& e) { return e.wholeAlbum; }));
    EXPECT_TRUE(any([](const Entry& e) { return e.cover.empty(); }));

    bool missing = false, portrait = false, landscape = false, thousand = false;
    int smallest = 1 << 30, largest = 0;
    for (const Entry& entry : list.entries) {
        if (entry.cover.empty()) continue;
        const QString path = QString::fromStdString(entry.cover);
        if (!QFile::exists(path)) {
            missing = true;
            continue;
        }
        const QSize size = QImageReader(path).size();
        ASSERT_TRUE(size.isValid()) << entry.cover;
        portrait |= size.height() > size.width();
        landscape |= size.width() > size.height();
        thousand |= size == QSize(1000, 1000); // the benchmark's cover
        smallest = std::min({smallest, size.width(), size.height()});
        largest = std::max({largest, size.width(), size.height()});
    }
    EXPECT_TRUE(missing && portrait && landscape && thousand);
    EXPECT_EQ(smallest, 300);
    EXPECT_EQ(largest, 3000);
}

} // namespace
} // namespace plxsim
