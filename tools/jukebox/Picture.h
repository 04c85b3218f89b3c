#pragma once

// What a picture's first bytes say it is. The saver ends on a cover it cannot
// read, so a jukebox names only pictures whose header it has read here.

#include <cstdint>
#include <optional>
#include <string_view>

namespace jukebox {

enum class PictureType { Jpeg, Png, Gif, Bmp };

struct PictureInfo {
    PictureType type = PictureType::Jpeg;
    std::int64_t width = 0;
    std::int64_t height = 0;

    bool operator==(const PictureInfo&) const = default;
};

// The type and size from the header, when it is a JPEG, PNG, GIF or BMP with
// both sides at least 1 and no more pixels than the saver accepts. Nothing
// for any other type, a header cut short, or a size the saver refuses.
std::optional<PictureInfo> SniffPicture(std::string_view bytes);

const char* Extension(PictureType type);

} // namespace jukebox
