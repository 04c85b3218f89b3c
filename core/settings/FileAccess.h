#pragma once

#include "ports/FileError.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <system_error>
#include <variant>

namespace wendel {

// The classic file-error code for a system error number. A missing entry is
// a missing file (53) when the folder of `path` exists, else a missing folder (76).
FileError FileErrorFromErrno(int errorNumber, const std::string& path);

// The same for an error reported through <filesystem>.
FileError FileErrorFromErrorCode(const std::error_code& error, const std::string& path);

// A path the system can take at its word: not empty and free of NUL bytes,
// which would silently name another file.
bool IsUsablePath(const std::string& path);

// A six-line settings file never comes near this; the cap keeps a runaway
// file from costing memory and time before it is refused.
inline constexpr std::size_t kMaxSettingsFileBytes = 1024u * 1024u;

// An open file descriptor, closed when it goes.
class UniqueFd {
public:
    explicit UniqueFd(int fd = -1) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd();

    int Get() const { return fd_; }
    int Release();

private:
    int fd_;
};

// Opens a regular file with the open(2) flags given, never waiting: a FIFO
// without a partner or a device is refused at once, like a folder, with code 75.
std::variant<UniqueFd, FileError> OpenRegularFile(const std::string& path, int flags);

// Writes all of `bytes` at the file's current offset, going on after a short
// write or an interrupt; the errno of the failure, or 0.
int WriteAll(int fd, std::string_view bytes);

// The whole content of a regular file, or the failure that stopped the
// reading. A file larger than maxBytes is refused (75) without being read.
std::variant<std::string, FileError> ReadWholeFile(const std::string& path,
                                                   std::size_t maxBytes = kMaxSettingsFileBytes);

} // namespace wendel
