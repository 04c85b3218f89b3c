#pragma once

#include <QByteArray>
#include <QtEndian>

#include <zlib.h>

namespace wendel::testing {

// A valid 8-bit RGB PNG of one colour, of any size up to the format's limit (the height a multiple of 100), made in
// milliseconds: each block of 100 rows is compressed after a full flush, so every block's output is the same and one
// compression serves them all. Decoding a huge one takes seconds.
inline QByteArray SolidRgbPng(quint32 width, quint32 height, unsigned char red, unsigned char green,
                              unsigned char blue)
{
    const auto bigEndian = [](quint32 value) {
        const quint32 big = qToBigEndian(value);
        return QByteArray(reinterpret_cast<const char*>(&big), 4);
    };
    const auto chunk = [&bigEndian](const char* type, const QByteArray& data) {
        const QByteArray typed = QByteArray(type) + data;
        const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(typed.constData()), static_cast<uInt>(typed.size()));
        return bigEndian(static_cast<quint32>(data.size())) + typed + bigEndian(static_cast<quint32>(crc));
    };
    const char pixel[] = {static_cast<char>(red), static_cast<char>(green), static_cast<char>(blue)};
    // Each row begins with its filter, none.
    const QByteArray block = (QByteArray(1, '\0') + QByteArray(pixel, 3).repeated(width)).repeated(100);
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
    const uLong blockAdler = adler32_z(1, reinterpret_cast<const Bytef*>(block.constData()), block.size());
    uLong adler = blockAdler;
    for (quint32 i = 1; i < height / 100; ++i) adler = adler32_combine(adler, blockAdler, block.size());
    end.replace(end.size() - 4, 4, bigEndian(static_cast<quint32>(adler)));

    // 8 bits per sample, RGB; deflate, adaptive filters, no interlace.
    const QByteArray header = bigEndian(width) + bigEndian(height) + QByteArray("\x08\x02\0\0\0", 5);
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header) +
           chunk("IDAT", first + repeated.repeated(height / 100 - 1) + end) + chunk("IEND", {});
}

} // namespace wendel::testing
