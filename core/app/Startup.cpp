#include "app/Startup.h"

#include <array>

namespace wendel {

namespace {

struct SwitchRow {
    std::string_view switchText;
    StartAction action;
};

constexpr std::array kSwitchTable{
    SwitchRow{"/C", StartAction::OpenSetup},
    SwitchRow{"/S", StartAction::OpenSaver},
    SwitchRow{"/A", StartAction::AnswerPassword},
    SwitchRow{"/P", StartAction::End},
};

bool IsUtf8Continuation(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Length in bytes of the first `count` characters of a UTF-8 text.
std::size_t PrefixBytes(std::string_view text, int count)
{
    std::size_t end = 0;
    for (int taken = 0; taken < count && end < text.size(); ++taken) {
        ++end;
        while (end < text.size() && IsUtf8Continuation(text[end])) ++end;
    }
    return end;
}

char AsciiUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

} // namespace

std::string JoinArguments(int argc, const char* const argv[])
{
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) line += ' ';
        line += argv[i];
    }
    return line;
}

std::string FormSwitch(std::string_view commandLine)
{
    std::string result(commandLine.substr(0, PrefixBytes(commandLine, 2)));
    for (char& c : result) c = AsciiUpper(c);
    return result.empty() ? std::string("/C") : result;
}

StartAction ActionForSwitch(std::string_view switchText)
{
    for (const SwitchRow& row : kSwitchTable) {
        if (row.switchText == switchText) return row.action;
    }
    return StartAction::End;
}

bool RunStartup(std::string_view commandLine, StartupHost& host, MessageBoxes& boxes)
{
    if (host.AnotherInstanceRunning()) return false;

    switch (ActionForSwitch(FormSwitch(commandLine))) {
    case StartAction::OpenSetup:
        return host.OpenSetupDialog();
    case StartAction::OpenSaver:
        return host.OpenSaver();
    case StartAction::AnswerPassword:
        boxes.Show({"Password not support in this version", "WendelServer Screensaver",
                    MessageIcon::Exclamation, MessageButtons::Ok});
        return false;
    case StartAction::End:
        return false;
    }
    return false;
}

} // namespace wendel
