#include "Script.h"

#include <charconv>
#include <cmath>

namespace plxsim {

namespace {

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

bool IsVerb(std::string_view verb)
{
    return verb == "play" || verb == "pause" || verb == "stop" || verb == "next" || verb == "prev" || verb == "quit";
}

} // namespace

std::vector<ScriptStep> ParseScript(std::string_view text, std::vector<std::string>& errors)
{
    std::vector<ScriptStep> steps;
    int lineNumber = 0;
    while (!text.empty()) {
        const std::size_t lf = text.find('\n');
        const std::string_view line = Trim(text.substr(0, lf));
        text.remove_prefix(lf == std::string_view::npos ? text.size() : lf + 1);
        ++lineNumber;
        if (line.empty() || line.front() == '#') continue;
        const std::size_t blank = line.find(' ');
        const std::string_view time = line.substr(0, blank);
        const std::string_view verb = blank == std::string_view::npos ? std::string_view{} : Trim(line.substr(blank));
        // from_chars, unlike strtod, reads "2.5" whatever the user's locale.
        double seconds = -1;
        const auto [at, error] = std::from_chars(time.data(), time.data() + time.size(), seconds);
        if (error != std::errc() || at != time.data() + time.size() || !(seconds >= 0) || seconds > 86400 ||
            !IsVerb(verb)) {
            errors.push_back("line " + std::to_string(lineNumber) +
                             ": expected SECONDS VERB, the verb one of play pause stop next prev quit");
            continue;
        }
        steps.push_back({static_cast<std::int64_t>(std::llround(seconds * 1000)), std::string(verb)});
    }
    return steps;
}

} // namespace plxsim
