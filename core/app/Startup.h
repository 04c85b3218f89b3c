#pragma once

#include "ports/MessageBoxes.h"

#include <string>
#include <string_view>

namespace wendel {

// What start-up needs of the platform besides message boxes.
class StartupHost {
public:
    virtual ~StartupHost() = default;
    virtual bool AnotherInstanceRunning() = 0;
    // Each returns true when a window is now open and the program lives on in it.
    virtual bool OpenSetupDialog() = 0;
    virtual bool OpenSaver() = 0;
};

enum class StartAction { OpenSetup, OpenSaver, AnswerPassword, End };

// The command line of a platform that hands over separate arguments: those
// after the program's own name, joined by single spaces.
std::string JoinArguments(int argc, const char* const argv[]);

// The first two characters of the command line, upper-cased; "/C" when empty.
std::string FormSwitch(std::string_view commandLine);

// The switch table: the first row equal to the switch, else End.
StartAction ActionForSwitch(std::string_view switchText);

// Runs start-up. Returns true when a window was opened and the program lives
// on in it; false when the program should end now.
bool RunStartup(std::string_view commandLine, StartupHost& host, MessageBoxes& boxes);

} // namespace wendel
