#pragma once

#include <QByteArray>
#include <QtEndian>

#include <zlib.h>

namespace wendel::testing {

namespace solid_png {

inline QByteArray BigEndian(quint32 value)
{
    const quint32 big = qToBigEndian(value);
    return QByteArray(reinterpret_cast<const char*>(&big), 4);
}

inline QByteArray Chunk(const char* type, const QByteArray& data)
{
    const QByteArray typed = QByteArray(type) + data;
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(typed.constData()), static_cast<uInt>(typed.size()));
    return BigEndian(static_cast<quint32>(data.size())) + typed + BigEndian(static_cast<quint32>(crc));
}

// A valid 8-bit PNG of one colour, of any size up to the format's limit,
// made in milliseconds and a few hundred kilobytes: each block of 100 rows is
// compressed after a full flush, which makes every block's output the same,
// so one compression serves them all. `pixel` holds one pixel's bytes and
// `colourType` is the header's (0 grey, 2 RGB).
inline QByteArray SolidPng(quint32 width, quint32 height, const QByteArray& pixel, char colourType)
{
    // Each row begins with its filter, none.
    const QByteArray block = (QByteArray(1, '\0') + pixel.repeated(width)).repeated(100);
    z_stream stream{};
    deflateInit(&stream, 9);
    const auto deflated = [&stream](const QByteArray& in, int flush) {
        QByteArray out(1 << 20, '\0');
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.constData()));
        stream.avail_in = static_cast<uInt>(in.size());
        stream.next_out = reinterpret_cast<Bytef*>(out.data());
        stream.avail_out = static_cast<uInt>(out.size());
        deflate(&stream, flush);
        out.chop(stream.avail_out);
        return out;
    };
    const QByteArray first = deflated(block, Z_FULL_FLUSH);
    const QByteArray repeated = deflated(block, Z_FULL_FLUSH);
    QByteArray end = deflated({}, Z_FINISH);
    deflateEnd(&stream);

    // The stream ends in the checksum of all the rows, not of the one block.
    const auto* rows = reinterpret_cast<const Bytef*>(block.constData());
    const uLong blockAdler = adler32(adler32(0, nullptr, 0), rows, static_cast<uInt>(block.size()));
    uLong adler = blockAdler;
    for (quint32 i = 1; i < height / 100; ++i) adler = adler32_combine(adler, blockAdler, block.size());
    end.replace(end.size() - 4, 4, BigEndian(static_cast<quint32>(adler)));

    const QByteArray header = BigEndian(width) + BigEndian(height) + char(8) /* bits per sample */ + colourType +
                              QByteArray(3, '\0'); // deflate, adaptive filters, no interlace
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + Chunk("IHDR", header) +
           Chunk("IDAT", first + repeated.repeated(height / 100 - 1) + end) + Chunk("IEND", {});
}

} // namespace solid_png

// The height must be a multiple of 100.
inline QByteArray SolidGreyPng(quint32 width, quint32 height, unsigned char shade)
{
    return solid_png::SolidPng(width, height, QByteArray(1, static_cast<char>(shade)), 0);
}

// Qt decodes a huge RGB PNG at a scaled size row by row, taking seconds,
// where it refuses a grey one of the same size outright.
inline QByteArray SolidRgbPng(quint32 width, quint32 height, unsigned char red, unsigned char green,
                              unsigned char blue)
{
    const char pixel[] = {static_cast<char>(red), static_cast<char>(green), static_cast<char>(blue)};
    return solid_png::SolidPng(width, height, QByteArray(pixel, 3), 2);
}

} // namespace wendel::testing
