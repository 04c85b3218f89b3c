#include "settings/FileAccess.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>

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

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

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

std::variant<std::string, FileError> ReadWholeFile(const std::string& path, std::size_t maxBytes)
{
    if (!IsUsablePath(path)) return FileError{kPathFileAccessError, "unusable file name"};

    errno = 0;
    const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) return FileErrorFromErrno(errno, path);

    std::string contents;
    char buffer[64 * 1024];
    for (;;) {
        errno = 0;
        const std::size_t count = std::fread(buffer, 1, sizeof buffer, file.get());
        if (contents.size() + count > maxBytes) {
            return FileError{kPathFileAccessError, path + ": too large for a settings file"};
        }
        contents.append(buffer, count);
        if (count == sizeof buffer) continue;
        // A folder opens fine on some systems and fails here with EISDIR.
        if (std::ferror(file.get())) return FileErrorFromErrno(errno, path);
        return contents;
    }
}

} // namespace wendel
