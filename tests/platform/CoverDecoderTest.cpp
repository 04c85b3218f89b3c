#include "CoverDecoder.h"

#include "EventLoopWait.h"
#include "SolidPng.h"
#include "support/TempFolder.h"

#include <QCoreApplication>
#include <QThreadPool>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace wendel {
namespace {

using namespace testing;

struct Report {
    int code = 0;
    QSize size;
    bool operator==(const Report&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Report& report)
{
    return out << "{" << report.code << ", " << report.size.width() << " x " << report.size.height() << "}";
}

enum class Then { StartTheNewer, Cancel };

struct LateRow {
    const char* what;
    Then then;
    std::vector<Report> reports;
};

// An older decode that has already finished, its outcome waiting in the
// event queue when a newer one starts or the cover is dropped: that outcome
// must never come out.
TEST(CoverDecoder, AnOutcomeThatArrivesAfterANewerStartOrACancelIsDropped)
{
    TempFolder dir;
    const std::string older = dir.File("older.png");
    const std::string newer = dir.File("newer.png");
    const QByteArray olderBytes = SolidRgbPng(300, 300, 10, 20, 30);
    const QByteArray newerBytes = SolidRgbPng(200, 100, 30, 20, 10);
    WriteBytes(older, std::string_view(olderBytes.constData(), static_cast<std::size_t>(olderBytes.size())));
    WriteBytes(newer, std::string_view(newerBytes.constData(), static_cast<std::size_t>(newerBytes.size())));
    const LateRow rows[] = {
        {"a newer decode starts", Then::StartTheNewer, {{0, QSize(80, 40)}}},
        {"the cover is dropped", Then::Cancel, {}},
    };
    for (const LateRow& row : rows) {
        SCOPED_TRACE(row.what);
        QThreadPool pool;
        CoverDecoder decoder(pool);
        std::vector<Report> reports;
        QObject::connect(&decoder, &CoverDecoder::Decoded,
                         [&reports](int code, const QImage& picture) { reports.push_back({code, picture.size()}); });
        OpenedPicture first = OpenPicture(older);
        ASSERT_EQ(first.code, 0);
        decoder.Start(std::move(first.file), QSize(60, 60));
        ASSERT_TRUE(pool.waitForDone(60'000)); // decoded, its outcome not yet handled
        if (row.then == Then::StartTheNewer) {
            OpenedPicture second = OpenPicture(newer);
            ASSERT_EQ(second.code, 0);
            decoder.Start(std::move(second.file), QSize(80, 40));
        } else {
            decoder.Cancel();
        }
        ASSERT_TRUE(pool.waitForDone(60'000));
        QCoreApplication::processEvents();
        EXPECT_EQ(reports, row.reports);
    }
}

} // namespace
} // namespace wendel
