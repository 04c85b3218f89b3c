// The settings reader: reading a file gives what parsing its text gives, and the three line ends (CR LF, LF, CR
// alone) read alike.

#include "settings/SaverSettings.h"
#include "support/Fuzz.h"

namespace {

using namespace wendel;

bool SameLoad(const SettingsLoad& a, const SettingsLoad& b)
{
    if (a.index() != b.index()) return false;
    if (const auto* settings = std::get_if<SaverSettings>(&a)) return *settings == std::get<0>(b);
    const FileError& failure = std::get<FileError>(a);
    return failure.code == std::get<FileError>(b).code && failure.detail == std::get<FileError>(b).detail;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    // A new file each run: truncating one makes ext4 flush it at every close.
    const std::string file = fuzzing::ScratchFolder().File("wendelsaver.ini");
    std::filesystem::remove(file);
    testing::WriteBytes(file, text);

    const SettingsLoad parsed = ParseSettings(text);
    fuzzing::Check(SameLoad(LoadSettingsFile(file), parsed), "reading a file differs from parsing it");
    std::string lfEnds; // every line end made a bare LF
    for (std::size_t at = 0; at < text.size(); ++at) {
        lfEnds += text[at] == '\r' ? '\n' : text[at];
        if (text[at] == '\r' && text.substr(at + 1).starts_with('\n')) ++at;
    }
    fuzzing::Check(SameLoad(ParseSettings(lfEnds), parsed), "line ends change the settings");
    return 0;
}
