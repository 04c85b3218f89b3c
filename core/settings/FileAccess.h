#pragma once

#include "ports/FileError.h"

#include <cstddef>
#include <string>
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

// No settings file is this large; the cap keeps a device or runaway file
// (such as /dev/zero) from eating memory or never ending.
inline constexpr std::size_t kMaxSettingsFileBytes = 64u * 1024u * 1024u;

// The whole content of the file, or the failure that stopped the reading.
std::variant<std::string, FileError> ReadWholeFile(const std::string& path,
                                                   std::size_t maxBytes = kMaxSettingsFileBytes);

} // namespace wendel
