#pragma once

// The timed control list of plx-sim --script.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace plxsim {

struct ScriptStep {
    std::int64_t atMs = 0; // real time after start
    std::string verb;
};

// "SECONDS VERB" lines, e.g. "2.5 pause"; # starts a comment. The verbs are
// play, pause, stop, next, prev and quit. Errors name the line.
std::vector<ScriptStep> ParseScript(std::string_view text, std::vector<std::string>& errors);

} // namespace plxsim
