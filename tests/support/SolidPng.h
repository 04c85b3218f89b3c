#pragma once

#include <QByteArray>

#include <zlib.h>

#include <vector>

namespace wendel::testing {

namespace solid_png {

constexpr quint32 kRowsPerBlock = 100;

inline void AppendBigEndian(QByteArray& bytes, quint32 value)
{
    for (int shift = 24; shift >= 0; shift -= 8) bytes.append(static_cast<char>((value >> shift) & 0xFF));
}

inline void AppendChunk(QByteArray& png, const char* type, const QByteArray& data)
{
    AppendBigEndian(png, static_cast<quint32>(data.size()));
    const QByteArray typed = QByteArray(type) + data;
    png.append(typed);
    AppendBigEndian(png, static_cast<quint32>(crc32(0, reinterpret_cast<const Bytef*>(typed.constData()),
                                                    static_cast<uInt>(typed.size()))));
}

// A valid 8-bit PNG of one colour, of any size up to the format's limit,
// made in milliseconds and a few hundred kilobytes: each block of rows is
// compressed after a full flush, which makes every block's output the same,
// so one compression serves them all. `pixel` holds one pixel's bytes and
// `colourType` is the header's (0 grey, 2 RGB).
inline QByteArray SolidPng(quint32 width, quint32 height, const QByteArray& pixel, char colourType)
{
    const quint32 rowBytes = 1 + width * static_cast<quint32>(pixel.size());
    std::vector<Bytef> block(static_cast<std::size_t>(rowBytes) * kRowsPerBlock);
    for (std::size_t i = 0; i < block.size(); ++i) {
        const std::size_t column = i % rowBytes;
        // Each row begins with its filter, none.
        block[i] = column == 0 ? 0 : static_cast<Bytef>(pixel[static_cast<qsizetype>((column - 1) % pixel.size())]);
    }
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

    // The stream ends in the checksum of all the rows, not of the one block.
    const quint32 blocks = height / kRowsPerBlock;
    const uLong blockAdler = adler32(adler32(0, nullptr, 0), block.data(), static_cast<uInt>(block.size()));
    uLong adler = blockAdler;
    for (quint32 i = 1; i < blocks; ++i) adler = adler32_combine(adler, blockAdler, static_cast<z_off_t>(block.size()));
    for (int i = 0; i < 4; ++i) end[end.size() - 4 + i] = static_cast<char>((adler >> (24 - 8 * i)) & 0xFF);

    QByteArray idat = first;
    for (quint32 i = 1; i < blocks; ++i) idat += repeated;
    idat += end;

    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    QByteArray header;
    AppendBigEndian(header, width);
    AppendBigEndian(header, height);
    header.append(char(8));                 // bits per sample
    header.append(colourType);
    header.append("\x00\x00\x00", 3);      // deflate, adaptive filters, no interlace
    AppendChunk(png, "IHDR", header);
    AppendChunk(png, "IDAT", idat);
    AppendChunk(png, "IEND", {});
    return png;
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
