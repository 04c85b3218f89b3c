// The behaviour library must build without Qt; this guards against a Qt
// include creeping into any of its files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

namespace {

TEST(CoreLibrary, IncludesNoQtHeader)
{
    const std::regex qtInclude(R"(^\s*#\s*include\s*[<"](Q[A-Za-z]|qt|Qt)[^>"]*[>"])");
    for (const char* line : {"#include <QString>", "#  include \"QtCore/QFile\"", "#include <qtimer.h>"})
        EXPECT_TRUE(std::regex_search(std::string(line), qtInclude)) << line;
    for (const char* line : {"#include <queue>", "#include \"ports/Clock.h\"", "// #include <QString>"})
        EXPECT_FALSE(std::regex_search(std::string(line), qtInclude)) << line;

    int filesSeen = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(WENDEL_CORE_SOURCE_DIR)) {
        const auto ext = entry.path().extension();
        if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp")) continue;
        ++filesSeen;
        std::ifstream in(entry.path());
        std::string line;
        for (int number = 1; std::getline(in, line); ++number) {
            if (std::regex_search(line, qtInclude)) ADD_FAILURE() << entry.path().string() << ":" << number << ": " << line;
        }
    }
    EXPECT_GT(filesSeen, 0);
}

} // namespace
