#pragma once

#include "ports/Clock.h"
#include "ports/FileError.h"
#include "ports/MessageBoxes.h"

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace wendel {

// The four persisted settings. Overlap holds seconds as read; the saver window
// turns it into milliseconds in place when it loads.
struct SaverSettings {
    std::int32_t CustomLook = 1;
    float Overlap = 2.0f;
    std::string Background = "ON";
    std::string DefaultImage;

    bool operator==(const SaverSettings&) const = default;
};

SaverSettings DefaultSettings();

// Whether the black backdrop is wanted, the same for the saver and the setup
// dialog: only "OFF" (the dialog's one word for off, in any letter case as
// read) turns it off. Any other text falls back to the default, on, as a
// missing line does.
bool BackgroundIsOn(const SaverSettings& settings);

// The reader's result without any user interaction: the settings, or the
// failure that sends ReadSettings down its error path.
using SettingsLoad = std::variant<SaverSettings, FileError>;

// Parses the file's text. Fails only for a look number beyond 32 bits or an
// overlap beyond the float range (code 6).
SettingsLoad ParseSettings(std::string_view fileText);

// Opens and parses the file at path.
SettingsLoad LoadSettingsFile(const std::string& path);

// Loads the file; on failure shows the box that names it and returns the
// defaults. Never fails.
SaverSettings ReadSettings(const std::string& path, MessageBoxes& boxes);

// What the setup dialog's controls hold when OK is pressed.
struct SettingsToWrite {
    int look = 1;
    int overlapSeconds = 2;
    bool backgroundOn = true;
    std::string defaultImageText; // the text box as it stands, placeholder included
};

inline constexpr const char* kNoDefaultImagePlaceholder = "No Default Image Selected";

// The six CRLF lines of the file, stamped with `now`.
std::string ComposeSettingsFile(const SettingsToWrite& values, const LocalDateTime& now);

// Replaces the file atomically: a temporary file beside it, flushed to the
// disk and renamed over it; on failure the previous file is left as it was.
// When no temporary file can be made beside an existing file that we may
// write (a folder closed to us), that file is rewritten in place instead.
// Anything but a regular file at the path is refused (75).
std::optional<FileError> ReplaceFileAtomically(const std::string& path, std::string_view contents);

// Writes the file and shows the box for a failure. Never fails.
void WriteSettings(const std::string& path, const SettingsToWrite& values, const Clock& clock,
                   MessageBoxes& boxes);

} // namespace wendel
