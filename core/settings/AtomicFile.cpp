#include "settings/SaverSettings.h"

#include "settings/FileAccess.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>

namespace wendel {

namespace {

namespace fs = std::filesystem;

// A symbolic link at the path keeps pointing at the settings: the file it
// names is replaced, not the link.
std::string ResolveLink(const std::string& path)
{
    std::error_code error;
    if (!fs::is_symlink(fs::symlink_status(path, error))) return path;
    const fs::path target = fs::canonical(path, error);
    return error ? path : target.string();
}

// An existing target must be writable and a file; "ab" checks both without
// touching a byte of it.
std::optional<FileError> ProbeExistingTarget(const std::string& target)
{
    std::error_code ignored;
    if (!fs::exists(fs::status(target, ignored))) return std::nullopt;
    errno = 0;
    std::FILE* probe = std::fopen(target.c_str(), "ab");
    if (!probe) return FileErrorFromErrno(errno, target);
    std::fclose(probe);
    return std::nullopt;
}

std::uint64_t Seed()
{
    auto seed = static_cast<std::uint64_t>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    try {
        std::random_device device;
        seed ^= (static_cast<std::uint64_t>(device()) << 32) ^ device();
    } catch (...) {
        // No entropy source: the clock alone still makes clashes unlikely, and
        // the exclusive open below handles the rest.
    }
    return seed;
}

std::string RandomHex()
{
    static std::mt19937_64 engine(Seed());
    char buffer[17];
    std::snprintf(buffer, sizeof buffer, "%016llx", static_cast<unsigned long long>(engine()));
    return buffer;
}

struct TempFile {
    std::string path;
    std::FILE* file = nullptr;
};

std::optional<FileError> CreateTempBeside(const std::string& target, TempFile& temp)
{
    constexpr int kAttempts = 16;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        temp.path = target + ".tmp-" + RandomHex();
        errno = 0;
        temp.file = std::fopen(temp.path.c_str(), "wbx"); // never reuse someone else's file
        if (temp.file) return std::nullopt;
        if (errno != EEXIST) return FileErrorFromErrno(errno, temp.path);
    }
    return FileError{kPathFileAccessError, target + ": no free temporary name"};
}

// Writes, flushes and closes; the file is closed whatever happens.
std::optional<FileError> WriteAndClose(TempFile& temp, std::string_view contents)
{
    int failure = 0;
    errno = 0;
    if (std::fwrite(contents.data(), 1, contents.size(), temp.file) != contents.size()) {
        failure = errno == 0 ? EIO : errno;
    }
    errno = 0;
    if (failure == 0 && std::fflush(temp.file) != 0) failure = errno == 0 ? EIO : errno;
    errno = 0;
    if (std::fclose(temp.file) != 0 && failure == 0) failure = errno == 0 ? EIO : errno;
    temp.file = nullptr;
    if (failure != 0) return FileErrorFromErrno(failure, temp.path);
    return std::nullopt;
}

// The new file takes the old one's permissions, so a private file stays private.
void KeepPermissions(const std::string& target, const std::string& temp)
{
    std::error_code error;
    const fs::file_status old = fs::status(target, error);
    if (error || !fs::exists(old)) return;
    fs::permissions(temp, old.permissions(), error);
}

void RemoveQuietly(const std::string& path)
{
    std::error_code ignored;
    fs::remove(path, ignored);
}

} // namespace

std::optional<FileError> ReplaceFileAtomically(const std::string& path, std::string_view contents)
{
    if (!IsUsablePath(path)) return FileError{kPathFileAccessError, "unusable file name"};
    const std::string target = ResolveLink(path);
    if (auto failure = ProbeExistingTarget(target)) return failure;

    TempFile temp;
    if (auto failure = CreateTempBeside(target, temp)) return failure;
    if (auto failure = WriteAndClose(temp, contents)) {
        RemoveQuietly(temp.path);
        return failure;
    }
    KeepPermissions(target, temp.path);

    std::error_code error;
    fs::rename(temp.path, target, error);
    if (error) {
        RemoveQuietly(temp.path);
        return FileErrorFromErrorCode(error, target);
    }
    return std::nullopt;
}

} // namespace wendel
