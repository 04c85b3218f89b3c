#pragma once

// The private folder where bridges keep the covers they fetch from their
// player, so the saver can open them by path. Each picture is checked by its
// bytes before it is kept, written atomically, and the folder is bounded:
// the least recently used pictures go first.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace jukebox {

class CoverCache {
public:
    static constexpr std::size_t kMaxPictureBytes = 16 * 1024 * 1024;

    struct Limits {
        std::uintmax_t bytes = 64 * 1024 * 1024;
        std::size_t files = 256;
    };

    // `folder` is made (mode 0700) on the first store.
    CoverCache(std::filesystem::path folder, Limits limits);
    CoverCache(std::filesystem::path folder) : CoverCache(std::move(folder), Limits{}) {}

    // The picture kept for `key` (a song's folder or file), or empty. Its use
    // is noted, so it is dropped last.
    std::string Find(std::string_view key) const;
    // Keeps `bytes` for `key` when they are a JPEG, PNG, GIF or BMP the saver
    // can show and within kMaxPictureBytes; the path, or empty when refused or
    // when the folder cannot be written.
    std::string Store(std::string_view key, std::string_view bytes);

    const std::filesystem::path& Folder() const { return folder_; }

private:
    std::filesystem::path PathFor(std::string_view key, const char* extension) const;
    bool MakeFolder() const;
    void Trim(const std::filesystem::path& keep) const;

    std::filesystem::path folder_;
    Limits limits_;
};

// A stable name for a key: 32 hexadecimal digits.
std::string HashName(std::string_view key);

} // namespace jukebox
