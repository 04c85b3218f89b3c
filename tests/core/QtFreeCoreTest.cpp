// The behaviour library must build without Qt; this guards against a Qt
// include creeping into any of its files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

namespace {

const std::regex qtInclude(R"(^\s*#\s*include\s*[<"](Q[A-Za-z]|qt|Qt)[^>"]*[>"])");

TEST(CoreLibrary, QtIncludePatternCatchesQtHeadersOnly)
{
    for (const char* line : {"#include <QString>", "#  include \"QtCore/QFile\"", "#include <qtimer.h>"})
        EXPECT_TRUE(std::regex_search(std::string(line), qtInclude)) << line;
    for (const char* line : {"#include <queue>", "#include \"ports/Clock.h\"", "// #include <QString>"})
        EXPECT_FALSE(std::regex_search(std::string(line), qtInclude)) << line;
}

TEST(CoreLibrary, IncludesNoQtHeader)
{
    std::vector<std::string> offenders;
    int filesSeen = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(WENDEL_CORE_SOURCE_DIR)) {
        if (!entry.is_regular_file()) continue;
        const auto ext = entry.path().extension();
        if (ext != ".h" && ext != ".cpp") continue;
        ++filesSeen;
        std::ifstream in(entry.path());
        std::string line;
        for (int number = 1; std::getline(in, line); ++number) {
            if (std::regex_search(line, qtInclude)) {
                offenders.push_back(entry.path().string() + ":" + std::to_string(number) + ": " + line);
            }
        }
    }
    EXPECT_GT(filesSeen, 0);
    for (const auto& offender : offenders) ADD_FAILURE() << offender;
}

} // namespace
