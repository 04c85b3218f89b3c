#include "Framebuffer.h"

#include <QFile>
#include <QSet>
#include <QtEndian>

namespace wendel::e2e {

namespace {

// The XWD header: 25 big-endian 32-bit fields.
enum XwdField { kHeaderSize = 0, kWidth = 4, kHeight = 5, kByteOrder = 7, kBitsPerPixel = 11,
                kBytesPerLine = 12, kColourCount = 19, kFieldCount = 25 };

} // namespace

std::optional<QImage> ReadFramebuffer(const QString& xwdPath)
{
    QFile file(xwdPath);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (bytes.size() < kFieldCount * 4) return std::nullopt;
    quint32 field[kFieldCount];
    for (int i = 0; i < kFieldCount; ++i) field[i] = qFromBigEndian<quint32>(bytes.constData() + 4 * i);
    const qint64 offset = qint64(field[kHeaderSize]) + qint64(field[kColourCount]) * 12;
    const int width = int(field[kWidth]);
    const int height = int(field[kHeight]);
    const qint64 bytesPerLine = field[kBytesPerLine];
    if (field[kBitsPerPixel] != 32 || offset + bytesPerLine * height > bytes.size()) return std::nullopt;
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        const char* line = bytes.constData() + offset + bytesPerLine * y;
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const quint32 pixel = field[kByteOrder] == 0 ? qFromLittleEndian<quint32>(line + 4 * x)
                                                         : qFromBigEndian<quint32>(line + 4 * x);
            out[x] = 0xFF000000u | (pixel & 0xFFFFFFu);
        }
    }
    return image;
}

int PixelsOtherThan(const QImage& image, const QRect& area, std::uint32_t colour, const QRect& hole)
{
    int count = 0;
    const QRect inside = area & image.rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = inside.left(); x <= inside.right(); ++x) {
            if (hole.contains(x, y)) continue;
            if ((line[x] & 0xFFFFFFu) != colour) ++count;
        }
    }
    return count;
}

int ColourCount(const QImage& image, const QRect& area)
{
    QSet<QRgb> colours;
    const QRect inside = area & image.rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) colours.insert(image.pixel(x, y));
    }
    return int(colours.size());
}

} // namespace wendel::e2e
