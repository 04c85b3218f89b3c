#include "settings/SaverSettings.h"

#include "settings/FileAccess.h"
#include "text/Numbers.h"

#include <cmath>
#include <limits>
#include <string_view>
#include <utility>

namespace wendel {

namespace {

constexpr const char* kBoxTitle = "WendelSaver";

std::string_view TrimSpaces(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    const std::size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

// Upper case for ASCII letters only: every other byte, whatever its encoding,
// passes through untouched.
std::string UpperAscii(std::string_view text)
{
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return upper;
}

FileError Overflow(std::string detail) { return FileError{kOverflow, std::move(detail)}; }

using ValueReader = std::optional<FileError> (*)(std::string_view value, SaverSettings& settings);

std::optional<FileError> ReadLook(std::string_view value, SaverSettings& settings)
{
    const std::optional<std::int32_t> look = ToInt32(NumericValue(value));
    if (!look) return Overflow("Custom Look beyond 32 bits");
    settings.CustomLook = *look;
    return std::nullopt;
}

std::optional<FileError> ReadOverlap(std::string_view value, SaverSettings& settings)
{
    const double seconds = NumericValue(value);
    // Where the classic runtime overflowed on the way into a Single.
    if (!std::isfinite(seconds) || std::fabs(seconds) > std::numeric_limits<float>::max()) {
        return Overflow("Overlap beyond the float range");
    }
    const float stored = static_cast<float>(seconds);
    settings.Overlap = stored > 0.0f ? stored : 0.2f;
    return std::nullopt;
}

std::optional<FileError> ReadBackground(std::string_view value, SaverSettings& settings)
{
    settings.Background = UpperAscii(value);
    return std::nullopt;
}

std::optional<FileError> ReadDefaultImage(std::string_view value, SaverSettings& settings)
{
    settings.DefaultImage = std::string(value);
    return std::nullopt;
}

struct KeyRow {
    std::string_view key; // matched exactly, letter case included
    ValueReader read;
};

constexpr KeyRow kKeys[] = {
    {"Custom Look", ReadLook},
    {"Overlap", ReadOverlap},
    {"Background", ReadBackground},
    {"Default Image", ReadDefaultImage},
};

// Applies one line of the file; a failure ends the reading.
std::optional<FileError> ApplyLine(std::string_view line, SaverSettings& settings)
{
    line = TrimSpaces(line);
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    const std::string_view key = TrimSpaces(line.substr(0, equals));
    const std::string_view value = TrimSpaces(line.substr(equals + 1));

    for (const KeyRow& row : kKeys) {
        if (row.key == key) return row.read(value, settings);
    }
    return std::nullopt;
}

// The next line of `text` from `pos`, which moves past its end. CRLF, LF and a
// bare CR all end a line.
std::string_view NextLine(std::string_view text, std::size_t& pos)
{
    const std::size_t start = pos;
    const char* const last = text.data() + text.size();
    const char* p = text.data() + start;
    while (p < last && *p != '\r' && *p != '\n') ++p;
    const auto end = static_cast<std::size_t>(p - text.data());
    if (end == text.size()) {
        pos = end;
        return text.substr(start);
    }
    pos = end + 1;
    if (text[end] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
    return text.substr(start, end - start);
}

} // namespace

SaverSettings DefaultSettings() { return SaverSettings{}; }

bool BackgroundIsOn(const SaverSettings& settings) { return settings.Background != "OFF"; }

SettingsLoad ParseSettings(std::string_view fileText)
{
    SaverSettings settings = DefaultSettings();
    std::size_t pos = 0;
    while (pos < fileText.size()) {
        if (auto failure = ApplyLine(NextLine(fileText, pos), settings)) return *failure;
    }
    return settings;
}

SettingsLoad LoadSettingsFile(const std::string& path)
{
    auto contents = ReadWholeFile(path);
    if (auto* failure = std::get_if<FileError>(&contents)) return *failure;
    return ParseSettings(std::get<std::string>(contents));
}

SaverSettings ReadSettings(const std::string& path, MessageBoxes& boxes)
{
    const SettingsLoad load = LoadSettingsFile(path);
    if (const auto* settings = std::get_if<SaverSettings>(&load)) return *settings;

    const int code = std::get<FileError>(load).code;
    boxes.Show(MessageBoxRequest{
        code == kPermissionDenied ? "INI file Permission Denied, contining with default settings"
                                  : "INI file not found, contining with default settings",
        kBoxTitle, MessageIcon::Information, MessageButtons::Ok});
    return DefaultSettings();
}

} // namespace wendel
