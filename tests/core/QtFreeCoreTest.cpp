// The behaviour library must build without Qt: no Qt include creeps into its files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

namespace {

TEST(CoreLibrary, IncludesNoQtHeader)
{
    const std::regex qtInclude(R"(^\s*#\s*include\s*[<"](Q[A-Za-z]|qt|Qt)[^>"]*[>"])");
    const std::pair<std::string, bool> lines[] = {
        {"#include <QString>", true}, {"#  include \"QtCore/QFile\"", true}, {"#include <qtimer.h>", true},
        {"#include <queue>", false}, {"#include \"ports/Clock.h\"", false}, {"// #include <QString>", false},
    };
    for (const auto& [line, qt] : lines) EXPECT_EQ(std::regex_search(line, qtInclude), qt) << line;

    int filesSeen = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(WENDEL_CORE_SOURCE_DIR)) {
        const auto ext = entry.path().extension();
        if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp")) continue;
        ++filesSeen;
        std::ifstream in(entry.path());
        std::string line;
        for (int number = 1; std::getline(in, line); ++number) {
            EXPECT_FALSE(std::regex_search(line, qtInclude)) << entry.path().string() << ":" << number << ": " << line;
        }
    }
    EXPECT_GT(filesSeen, 0);
}

} // namespace
