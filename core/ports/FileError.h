#pragma once

#include <string>

namespace wendel {

// The classic numeric file-error codes; the saver tests 53 and 70 by number.
enum FileErrorCode : int {
    kOverflow = 6,
    kFileNotFound = 53,
    kDeviceIoError = 57,
    kDiskFull = 61,
    kPermissionDenied = 70,
    kPathFileAccessError = 75,
    kPathNotFound = 76,
};

struct FileError {
    int code = 0;
    std::string detail; // the system's own wording, for diagnostics only
};

} // namespace wendel
