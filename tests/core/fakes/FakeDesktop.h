#pragma once

#include "ports/Desktop.h"

#include <deque>
#include <string>
#include <vector>

namespace wendel::testing {

// Every call on the saver's surfaces is logged ("backdrop 2 0,0 800x600", "remove 2", "board backdrop 1 79,59",
// "grab", "release"); grab answers come from a queue, then `grabAnswer`.
class FakeDesktop final : public Desktop {
public:
    std::vector<ScreenInfo> Screens() const override { return screens; }
    ScreenKey PrimaryScreen() const override { return primary; }
    std::optional<PixelRect> ForeignWindow() const override { return foreign; }

    void ShowBackdrop(ScreenKey screen, const PixelRect& r) override
    {
        log.push_back("backdrop " + std::to_string(screen) + " " + std::to_string(r.x) + "," + std::to_string(r.y) +
                      " " + std::to_string(r.width) + "x" + std::to_string(r.height));
    }
    void RemoveBackdrop(ScreenKey screen) override { log.push_back("remove " + std::to_string(screen)); }
    void PlaceBoard(BoardHost host, ScreenKey screen, PixelPoint at) override
    {
        const char* names[] = {"own", "backdrop", "foreign"};
        log.push_back(std::string("board ") + names[static_cast<int>(host)] + " " + std::to_string(screen) + " " +
                      std::to_string(at.x) + "," + std::to_string(at.y));
    }
    GrabResult GrabKeyboard() override
    {
        log.push_back("grab");
        if (grabAnswers.empty()) return grabAnswer;
        const GrabResult answer = grabAnswers.front();
        grabAnswers.pop_front();
        return answer;
    }
    void ReleaseKeyboard() override { log.push_back("release"); }

    std::vector<ScreenInfo> screens;
    ScreenKey primary = 0;
    std::optional<PixelRect> foreign;
    std::deque<GrabResult> grabAnswers;
    GrabResult grabAnswer = GrabResult::Grabbed;
    std::vector<std::string> log;
};

class FakeDiagnostics final : public Diagnostics {
public:
    void Note(const std::string& line) override { lines.push_back(line); }
    std::vector<std::string> lines;
};

} // namespace wendel::testing
