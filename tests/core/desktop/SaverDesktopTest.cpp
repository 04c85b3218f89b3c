#include "desktop/SaverDesktop.h"
#include "fakes/FakeDesktop.h"
#include "fakes/FakeSaverPorts.h"

#include <gtest/gtest.h>

#include <functional>
#include <tuple>

namespace wendel {
namespace {

using Log = std::vector<std::string>;
using G = GrabResult;

const ScreenInfo kLeft{1, {0, 0, 1024, 768}};
const ScreenInfo kRight{2, {1024, 0, 1280, 1024}};
const ScreenInfo kBelow{3, {0, 768, 800, 600}};
const PixelRect kForeign{0, 0, 800, 600};

struct Rig {
    void Start(bool background)
    {
        saver = std::make_unique<SaverDesktop>(DesktopPorts{desktop, grabTimer, diagnostics}, 641, 481);
        if (background) saver->ShowBackdrops();
        saver->ShowBoard();
    }
    void RunGrabTimer(int limit = 100)
    {
        for (int tick = 0; grabTimer.enabled && grabTimer.interval > 0 && tick < limit; ++tick) saver->GrabTimerTick();
    }
    testing::FakeDesktop desktop;
    testing::FakeTimer grabTimer;
    testing::FakeDiagnostics diagnostics;
    std::unique_ptr<SaverDesktop> saver;
};

TEST(SaverDesktop, SurfacesAndBoardAtStart)
{
    // name, screens, primary, background, foreign window, what the desktop sees
    const std::tuple<const char*, std::vector<ScreenInfo>, ScreenKey, bool, std::optional<PixelRect>, Log> rows[] = {
        {"one screen", {kLeft}, 1, true, {}, {"backdrop 1 0,0 1024x768", "board backdrop 1 191,143", "grab"}},
        {"a screen smaller than the board cuts it evenly", {{1, {0, 0, 600, 400}}}, 1, false, {},
         {"board own 1 -20,-40", "grab"}},
        {"an unknown primary counts as the first screen", {kRight, kLeft}, 99, true, {},
         {"backdrop 2 1024,0 1280x1024", "backdrop 1 0,0 1024x768", "board backdrop 2 319,271", "grab"}},
        {"no screen at all: nothing to place", {}, 1, true, {}, {}},
        {"a foreign window: the board in it, no backdrop and no grab", {kLeft}, 1, true, kForeign,
         {"board foreign 0 79,59"}},
        {"a foreign window with background off", {kLeft}, 1, false, PixelRect{5, 5, 641, 481}, {"board foreign 0 0,0"}},
    };
    for (const auto& [name, screens, primary, background, foreign, expected] : rows) {
        SCOPED_TRACE(name);
        Rig rig;
        rig.desktop.screens = screens;
        rig.desktop.primary = primary;
        rig.desktop.foreign = foreign;
        rig.Start(background);
        EXPECT_EQ(rig.desktop.log, expected);
        EXPECT_EQ(rig.saver->Hosted(), foreign.has_value());
        rig.desktop.log.clear();
        rig.saver->KeyboardMayBeLost(); // grabbed again wherever the start grabbed it
        EXPECT_EQ(rig.desktop.log, expected.empty() || expected.back() != "grab" ? Log{} : Log{"grab"});
    }
}

TEST(SaverDesktop, ScreensThatComeAndGo)
{
    enum Start { Backdrops, BoardAlone, Hosted, NoScreen }; // over kLeft and kRight, but for NoScreen
    const std::tuple<const char*, Start, std::function<void(testing::FakeDesktop&)>, Log> rows[] = {
        {"a screen added", Backdrops, [](auto& d) { d.screens.push_back(kBelow); }, {"backdrop 3 0,768 800x600"}},
        {"a screen removed", Backdrops, [](auto& d) { d.screens.pop_back(); }, {"remove 2"}},
        {"a new primary takes board and keyboard", Backdrops, [](auto& d) { d.primary = 2; },
         {"board backdrop 2 319,271", "grab"}},
        {"the primary removed: board out first", Backdrops, [](auto& d) { d.screens.erase(d.screens.begin()); },
         {"board backdrop 2 319,271", "remove 1", "grab"}},
        {"the primary resized", Backdrops, [](auto& d) { d.screens[0].area = {0, 0, 1920, 1080}; },
         {"backdrop 1 0,0 1920x1080", "board backdrop 1 639,299"}},
        {"nothing changed", Backdrops, [](auto&) {}, {}},
        {"background off: the board in desktop coordinates", BoardAlone, [](auto& d) { d.primary = 2; },
         {"board own 2 1343,271"}},
        {"background off: no backdrop", BoardAlone, [](auto& d) { d.screens.push_back(kBelow); }, {}},
        {"every screen gone: all stays till one comes", Backdrops, [](auto& d) { d.screens.clear(); }, {}},
        {"every screen replaced", Backdrops, [](auto& d) { d.screens = {kBelow}; d.primary = 3; },
         {"backdrop 3 0,768 800x600", "board backdrop 3 79,59", "remove 1", "remove 2", "grab"}},
        {"no screen at first, then one", NoScreen, [](auto& d) { d.screens = {kBelow}; d.primary = 3; },
         {"backdrop 3 0,768 800x600", "board backdrop 3 79,59", "grab"}},
        {"inside a foreign window", Hosted, [](auto& d) { d.screens = {kBelow}; d.primary = 3; }, {}},
    };
    for (const auto& [name, start, change, expected] : rows) {
        SCOPED_TRACE(name);
        Rig rig;
        rig.desktop.screens = start == NoScreen ? std::vector<ScreenInfo>{} : std::vector{kLeft, kRight};
        if (start == Hosted) rig.desktop.foreign = kForeign;
        rig.Start(start != BoardAlone);
        rig.desktop.log.clear();
        change(rig.desktop);
        rig.saver->ScreensChanged();
        EXPECT_EQ(rig.desktop.log, expected);
    }
}

const std::string kHeld = "wendelsaver: another program holds the keyboard; trying again for 3 seconds";
const std::string kRefused = "wendelsaver: the keyboard cannot be grabbed; trying again for 3 seconds";
const std::string kGaveUp =
    "wendelsaver: could not grab the keyboard; keys reach the saver only while it has the focus";
const std::string kGrabbed = "wendelsaver: keyboard grabbed";

TEST(SaverDesktop, KeyboardGrabRetries)
{
    const auto held = G::HeldElsewhere, wait = G::NotViewable;
    // name, the first answers, the answer then, grabs, notes, released at the end, ticks before the end, lost
    const std::tuple<const char*, std::deque<G>, G, int, Log, bool, int, bool> rows[] = {
        {"at once", {}, G::Grabbed, 1, {}, true, 100, false},
        {"the window still on its way: quiet retries", {wait, wait}, G::Grabbed, 3, {}, true, 100, false},
        {"held, then free", {held, held, wait}, G::Grabbed, 4, {kHeld, kGrabbed}, true, 100, false},
        {"held for good: a first try and 30 retries", {}, held, 31, {kHeld, kGaveUp}, false, 100, false},
        {"refused for good", {}, G::Refused, 31, {kRefused, kGaveUp}, false, 100, false},
        {"never viewable", {}, wait, 31, {kGaveUp}, false, 100, false},
        {"free on the last retry", std::deque<G>(30, held), G::Grabbed, 31, {kHeld, kGrabbed}, true, 100, false},
        {"no grabs on this window system", {}, G::Unsupported, 1, {}, false, 100, false},
        {"ended while retrying: the retries stop", {}, held, 1, {kHeld}, false, 0, false},
        {"lost, then held again: it says so again", {held, G::Grabbed, held, wait}, G::Grabbed, 5,
         {kHeld, kGrabbed, kHeld, kGrabbed}, true, 100, true},
    };
    for (const auto& [name, answers, then, grabs, notes, released, ticks, lost] : rows) {
        SCOPED_TRACE(name);
        Rig rig;
        rig.desktop.screens = {kLeft};
        rig.desktop.grabAnswers = answers;
        rig.desktop.grabAnswer = then;
        rig.Start(true);
        rig.RunGrabTimer(ticks);
        if (lost) {
            rig.saver->KeyboardMayBeLost();
            rig.RunGrabTimer();
        }
        for (int interval : rig.grabTimer.armedIntervals) EXPECT_EQ(interval, SaverDesktop::kGrabRetryMs);
        EXPECT_EQ(std::count(rig.desktop.log.begin(), rig.desktop.log.end(), "grab"), grabs);
        EXPECT_EQ(rig.diagnostics.lines, notes);
        rig.desktop.log.clear();
        rig.saver->End();
        rig.saver->End(); // the keyboard goes back once
        EXPECT_FALSE(rig.grabTimer.enabled);
        EXPECT_EQ(rig.desktop.log, released ? Log{"release"} : Log{});
    }
}

TEST(SaverDesktop, WindowIdsFromXscreensaver)
{
    const std::pair<const char*, std::optional<unsigned long>> rows[] = {
        {"0x1a00005", 0x1a00005}, {"0X1A00005", 0x1a00005}, {"27262981", 27262981}, {"0x1FFFFFFF", 0x1FFFFFFF},
        {"0x20000000", {}}, {"0", {}}, {"0x0", {}}, {"", {}}, {"0x", {}}, {"12ab", {}}, {" 123", {}}, {"123 ", {}},
        {"-5", {}}, {"0x1a0000g", {}}, {"99999999999999999999", {}}, {"0x00000000000000001", {}},
        {"0x0000000000000001", 1}, {"9999999999999999", {}}, {"x1", {}}, {"0y1", {}},
    };
    for (const auto& [text, id] : rows) EXPECT_EQ(ParseWindowId(text), id) << text;
}

} // namespace
} // namespace wendel
