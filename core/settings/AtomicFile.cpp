#include "settings/SaverSettings.h"

#include "settings/FileAccess.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <utility>
#include <variant>

#include <fcntl.h>
#include <unistd.h>

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

// The existing target, opened for writing: that checks it is a regular file
// we may write without touching a byte of it, and never waits (a FIFO has no
// partner). No file there is no failure; the returned descriptor is then empty.
std::variant<UniqueFd, FileError> OpenExistingTarget(const std::string& target)
{
    auto opened = OpenRegularFile(target, O_WRONLY);
    if (const auto* failure = std::get_if<FileError>(&opened); failure && failure->code == kFileNotFound) {
        return UniqueFd();
    }
    return opened;
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
    UniqueFd fd;
};

std::optional<FileError> CreateTempBeside(const std::string& target, TempFile& temp)
{
    constexpr int kAttempts = 16;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        temp.path = target + ".tmp-" + RandomHex();
        errno = 0;
        // O_EXCL: never reuse someone else's file.
        temp.fd = UniqueFd(::open(temp.path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (temp.fd.Get() >= 0) return std::nullopt;
        if (errno != EEXIST) return FileErrorFromErrno(errno, temp.path);
    }
    return FileError{kPathFileAccessError, target + ": no free temporary name"};
}

// Writes and flushes to the disk before closing, so that a power cut after
// the rename never leaves an empty file behind; closed whatever happens.
std::optional<FileError> WriteSyncAndClose(TempFile& temp, std::string_view contents)
{
    int failure = WriteAll(temp.fd.Get(), contents);
    if (failure == 0 && ::fsync(temp.fd.Get()) != 0) failure = errno;
    if (::close(temp.fd.Release()) != 0 && failure == 0) failure = errno;
    if (failure != 0) return FileErrorFromErrno(failure, temp.path);
    return std::nullopt;
}

// For a folder we may not write that holds a file we may: not atomic, so a
// failure part-way leaves what was written, as any plain write would.
std::optional<FileError> RewriteInPlace(const UniqueFd& file, const std::string& target, std::string_view contents)
{
    int failure = 0;
    if (::lseek(file.Get(), 0, SEEK_SET) != 0) failure = errno;
    if (failure == 0) failure = WriteAll(file.Get(), contents);
    if (failure == 0 && ::ftruncate(file.Get(), static_cast<off_t>(contents.size())) != 0) failure = errno;
    if (failure == 0 && ::fsync(file.Get()) != 0) failure = errno;
    if (failure != 0) return FileErrorFromErrno(failure, target);
    return std::nullopt;
}

// The rename lives in the folder; flushing it makes the new name stick. Some
// file systems cannot flush a folder, and the file is in place either way.
void SyncFolderOf(const std::string& target)
{
    fs::path folder = fs::path(target).parent_path();
    if (folder.empty()) folder = ".";
    const UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.Get() >= 0) ::fsync(fd.Get());
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
    auto opened = OpenExistingTarget(target);
    if (const auto* failure = std::get_if<FileError>(&opened)) return *failure;
    const UniqueFd existing = std::move(std::get<UniqueFd>(opened));

    TempFile temp;
    if (auto failure = CreateTempBeside(target, temp)) {
        if (existing.Get() >= 0) return RewriteInPlace(existing, target, contents);
        return failure;
    }
    if (auto failure = WriteSyncAndClose(temp, contents)) {
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
    SyncFolderOf(target);
    return std::nullopt;
}

} // namespace wendel
