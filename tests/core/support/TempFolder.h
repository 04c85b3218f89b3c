#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace wendel::testing {

// A fresh folder (mode 0755) under the system temp folder, removed with all
// its content when the test ends (a folder closed by a test must be opened again).
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::string File(std::string_view name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

void WriteBytes(const std::string& path, std::string_view bytes);
std::string ReadBytes(const std::string& path);
std::vector<std::string> NamesIn(const std::filesystem::path& folder); // sorted

} // namespace wendel::testing
