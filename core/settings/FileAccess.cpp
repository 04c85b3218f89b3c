#include "settings/FileAccess.h"

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace wendel {

namespace {

namespace fs = std::filesystem;

bool FolderOfPathExists(const std::string& path)
{
    fs::path folder = fs::path(path).parent_path();
    if (folder.empty()) folder = ".";
    std::error_code ignored;
    return fs::is_directory(folder, ignored);
}

int CodeForErrno(int errorNumber, const std::string& path)
{
    switch (static_cast<std::errc>(errorNumber)) {
    case std::errc::no_such_file_or_directory:
        return FolderOfPathExists(path) ? kFileNotFound : kPathNotFound;
    case std::errc::not_a_directory:
        return kPathNotFound;
    case std::errc::permission_denied:
    case std::errc::operation_not_permitted:
    case std::errc::read_only_file_system:
        return kPermissionDenied;
    case std::errc::is_a_directory:
        return kPathFileAccessError;
    case std::errc::no_space_on_device:
        return kDiskFull;
    case std::errc::io_error:
        return kDeviceIoError;
    default:
        break;
    }
#ifdef EDQUOT
    if (errorNumber == EDQUOT) return kDiskFull; // a full quota is a full disk to the user
#endif
    return kPathFileAccessError;
}

} // namespace

FileError FileErrorFromErrno(int errorNumber, const std::string& path)
{
    const std::string detail = errorNumber == 0
                                   ? std::string("unknown failure")
                                   : std::error_code(errorNumber, std::generic_category()).message();
    return FileError{CodeForErrno(errorNumber, path), path + ": " + detail};
}

FileError FileErrorFromErrorCode(const std::error_code& error, const std::string& path)
{
    const std::error_condition condition = error.default_error_condition();
    if (condition.category() == std::generic_category()) {
        return FileErrorFromErrno(condition.value(), path);
    }
    return FileError{kPathFileAccessError, path + ": " + error.message()};
}

bool IsUsablePath(const std::string& path)
{
    return !path.empty() && path.find('\0') == std::string::npos;
}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.Release();
    }
    return *this;
}

UniqueFd::~UniqueFd()
{
    if (fd_ >= 0) ::close(fd_);
}

int UniqueFd::Release()
{
    return std::exchange(fd_, -1);
}

std::variant<UniqueFd, FileError> OpenRegularFile(const std::string& path, int flags)
{
    if (!IsUsablePath(path)) return FileError{kPathFileAccessError, "unusable file name"};
    // O_NONBLOCK: a FIFO would otherwise hold the open until a partner came,
    // with the instance lock taken and no window up.
    errno = 0;
    UniqueFd fd(::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.Get() < 0) return FileErrorFromErrno(errno, path);
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0) return FileErrorFromErrno(errno, path);
    if (!S_ISREG(info.st_mode)) {
        return FileError{kPathFileAccessError, path + ": not a regular file"};
    }
    return fd;
}

int WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno == 0 ? EIO : errno;
        }
        if (written == 0) return EIO;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

std::variant<std::string, FileError> ReadWholeFile(const std::string& path, std::size_t maxBytes)
{
    auto opened = OpenRegularFile(path, O_RDONLY);
    if (auto* failure = std::get_if<FileError>(&opened)) return *failure;
    const UniqueFd fd = std::move(std::get<UniqueFd>(opened));
    const FileError tooLarge{kPathFileAccessError, path + ": too large for a settings file"};

    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0) return FileErrorFromErrno(errno, path);
    if (static_cast<std::uintmax_t>(info.st_size) > maxBytes) return tooLarge;

    // The size can change while we read; the cap holds either way.
    std::string contents;
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t count = ::read(fd.Get(), buffer, sizeof buffer);
        if (count < 0) {
            if (errno == EINTR) continue;
            return FileErrorFromErrno(errno, path);
        }
        if (count == 0) return contents;
        if (contents.size() + static_cast<std::size_t>(count) > maxBytes) return tooLarge;
        contents.append(buffer, static_cast<std::size_t>(count));
    }
}

} // namespace wendel
