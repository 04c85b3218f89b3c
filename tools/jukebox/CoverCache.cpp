#include "CoverCache.h"

#include "Picture.h"

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace jukebox {

namespace fs = std::filesystem;

namespace {

constexpr PictureType kTypes[] = {PictureType::Jpeg, PictureType::Png, PictureType::Gif, PictureType::Bmp};

std::uint64_t Fnv1a(std::string_view text, std::uint64_t basis)
{
    std::uint64_t hash = basis;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

std::string Hex(std::uint64_t value)
{
    static const char digits[] = "0123456789abcdef";
    std::string text(16, '0');
    for (int i = 15; i >= 0; --i, value >>= 4) text[static_cast<std::size_t>(i)] = digits[value & 15];
    return text;
}

bool WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t wrote = ::write(fd, bytes.data(), bytes.size());
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(wrote));
    }
    return true;
}

} // namespace

std::string HashName(std::string_view key)
{
    // Two 64-bit hashes from different starting points: a collision would
    // show one album's cover for another.
    return Hex(Fnv1a(key, 0xcbf29ce484222325ULL)) + Hex(Fnv1a(key, 0x84222325cbf29ce4ULL));
}

CoverCache::CoverCache(fs::path folder, Limits limits) : folder_(std::move(folder)), limits_(limits) {}

fs::path CoverCache::PathFor(std::string_view key, const char* extension) const
{
    return folder_ / (HashName(key) + "." + extension);
}

std::string CoverCache::Find(std::string_view key) const
{
    for (const PictureType type : kTypes) {
        const fs::path path = PathFor(key, Extension(type));
        std::error_code error;
        if (!fs::is_regular_file(path, error)) continue;
        fs::last_write_time(path, fs::file_time_type::clock::now(), error);
        return path.string();
    }
    return {};
}

bool CoverCache::MakeFolder() const
{
    std::error_code error;
    fs::create_directories(folder_, error);
    if (!fs::is_directory(folder_, error)) return false;
    // The folder and the one above it (wendelsaver/) are the user's alone.
    ::chmod(folder_.c_str(), S_IRWXU);
    if (folder_.has_parent_path() && folder_.parent_path().filename() == "wendelsaver")
        ::chmod(folder_.parent_path().c_str(), S_IRWXU);
    return true;
}

std::string CoverCache::Store(std::string_view key, std::string_view bytes)
{
    if (bytes.size() > kMaxPictureBytes) return {};
    const std::optional<PictureInfo> picture = SniffPicture(bytes);
    if (!picture || !MakeFolder()) return {};
    const fs::path path = PathFor(key, Extension(picture->type));
    // Written beside its final name and renamed over it, so the saver never
    // opens half a picture.
    std::string temporary = (folder_ / ".incoming-XXXXXX").string();
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return {};
    const bool written = WriteAll(fd, bytes) && ::fsync(fd) == 0;
    ::close(fd);
    if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return {};
    }
    // One picture per key: an older one of another type would be found first.
    std::error_code error;
    for (const PictureType type : kTypes)
        if (type != picture->type) fs::remove(PathFor(key, Extension(type)), error);
    Trim(path);
    return path.string();
}

void CoverCache::Trim(const fs::path& keep) const
{
    struct Kept {
        fs::path path;
        fs::file_time_type used;
        std::uintmax_t size;
    };
    std::vector<Kept> files;
    std::uintmax_t total = 0;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder_, error)) {
        if (!entry.is_regular_file(error)) continue;
        const Kept kept{entry.path(), entry.last_write_time(error), entry.file_size(error)};
        if (error) continue;
        total += kept.size;
        files.push_back(kept);
    }
    std::sort(files.begin(), files.end(), [](const Kept& a, const Kept& b) { return a.used < b.used; });
    std::size_t count = files.size();
    for (const Kept& oldest : files) {
        if (total <= limits_.bytes && count <= limits_.files) break;
        if (oldest.path == keep) continue;
        if (fs::remove(oldest.path, error)) {
            total -= oldest.size;
            --count;
        }
    }
}

} // namespace jukebox
