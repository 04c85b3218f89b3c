#include "Picture.h"

#include "display/CoverFit.h"

#include <cstddef>

namespace jukebox {

namespace {

std::optional<std::uint32_t> Big(std::string_view b, std::size_t at, int size)
{
    if (b.size() < at + static_cast<std::size_t>(size)) return std::nullopt;
    std::uint32_t value = 0;
    for (int i = 0; i < size; ++i) value = value << 8 | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
    return value;
}

std::optional<std::uint32_t> Little(std::string_view b, std::size_t at, int size)
{
    if (b.size() < at + static_cast<std::size_t>(size)) return std::nullopt;
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
    return value;
}

std::optional<PictureInfo> Sized(PictureType type, std::optional<std::int64_t> w, std::optional<std::int64_t> h)
{
    if (!w || !h) return std::nullopt;
    return PictureInfo{type, *w, *h};
}

// The frame header (SOF) holds the size; walk the segments up to it.
std::optional<PictureInfo> Jpeg(std::string_view b)
{
    std::size_t at = 2;
    while (at + 1 < b.size()) {
        if (static_cast<unsigned char>(b[at]) != 0xFF) return std::nullopt;
        const auto marker = static_cast<unsigned char>(b[at + 1]);
        if (marker == 0xFF) { // fill byte
            ++at;
            continue;
        }
        const bool standalone = marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8);
        if (standalone) {
            at += 2;
            continue;
        }
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) return Sized(PictureType::Jpeg, Big(b, at + 7, 2), Big(b, at + 5, 2));
        if (marker == 0xD9 || marker == 0xDA) return std::nullopt; // the data begins with no frame header
        const std::optional<std::uint32_t> length = Big(b, at + 2, 2);
        if (!length || *length < 2) return std::nullopt;
        at += 2 + *length;
    }
    return std::nullopt;
}

std::optional<PictureInfo> Png(std::string_view b)
{
    if (b.substr(12, 4) != "IHDR") return std::nullopt;
    return Sized(PictureType::Png, Big(b, 16, 4), Big(b, 20, 4));
}

std::optional<PictureInfo> Gif(std::string_view b) { return Sized(PictureType::Gif, Little(b, 6, 2), Little(b, 8, 2)); }

std::optional<PictureInfo> Bmp(std::string_view b)
{
    const std::optional<std::uint32_t> header = Little(b, 14, 4);
    if (!header) return std::nullopt;
    if (*header == 12) return Sized(PictureType::Bmp, Little(b, 18, 2), Little(b, 20, 2));
    const std::optional<std::uint32_t> w = Little(b, 18, 4);
    const std::optional<std::uint32_t> h = Little(b, 22, 4);
    if (!w || !h) return std::nullopt;
    // A negative height means rows from the top down.
    const std::int64_t height = static_cast<std::int32_t>(*h);
    return PictureInfo{PictureType::Bmp, static_cast<std::int32_t>(*w), height < 0 ? -height : height};
}

} // namespace

std::optional<PictureInfo> SniffPicture(std::string_view bytes)
{
    std::optional<PictureInfo> info;
    if (bytes.substr(0, 3) == "\xFF\xD8\xFF") info = Jpeg(bytes);
    else if (bytes.substr(0, 8) == "\x89PNG\r\n\x1A\n") info = Png(bytes);
    else if (bytes.substr(0, 6) == "GIF87a" || bytes.substr(0, 6) == "GIF89a") info = Gif(bytes);
    else if (bytes.substr(0, 2) == "BM") info = Bmp(bytes);
    if (!info || !wendel::IsDecodablePictureSize(info->width, info->height))
        return std::nullopt;
    return info;
}

const char* Extension(PictureType type)
{
    static constexpr const char* kExtensions[] = {"jpg", "png", "gif", "bmp"};
    return kExtensions[static_cast<int>(type)];
}

} // namespace jukebox
