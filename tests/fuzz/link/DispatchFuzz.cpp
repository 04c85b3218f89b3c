// The saver's side of the conversation over the test fakes: whatever a jukebox says and whenever the timers tick,
// every call on the link is one of the documented commands.

#include "link/PlxRig.h"
#include "support/Fuzz.h"
#include "text/Numbers.h"

namespace {

using namespace wendel::testing;
using wendel::fuzzing::Check;

// The load opens the two devices first (the conversation tests check how); every call after them is a documented
// command to plx. playlist_getitem's number is in the signed text form: the signed text of the value it reads as (the
// numbers harness checks that form).
void CheckCall(const LinkCall& call, bool opening)
{
    Check((call.operation == "OpenDevice") == opening, "a device opened after the load");
    if (opening) return;
    Check(call.operation == "SendCommand" && call.device == "plx", "a call other than a command to plx");
    const std::string& command = call.text;
    const std::size_t open = std::string_view("playlist_getitem[").size();
    const std::string number = command.starts_with("playlist_getitem[") && command.ends_with(']')
                                   ? command.substr(open, command.size() - open - 1) : "not a number";
    Check(command == "notify_playing_item[on]" || command == "notify_playing_timecode[on]" ||
              command == "playlist_getpointer" || number == wendel::SignedText(wendel::NumericValue(number)),
          "an undocumented command");
}

void Play(std::string_view event, FakeSaver& fake)
{
    const char key = event.empty() ? '\0' : event[0];
    const bool marked = key == 'X' || key == 'M';
    if (key == 'D' && fake.dTimer.enabled) fake.saver.DTimerTick(); // a timer ticks only while it is enabled
    else if (key == 'P' && fake.playIconTimer.enabled) fake.saver.PlayIconTimerTick();
    else if (key == 'I' && fake.imageErrorTimer.enabled) fake.saver.ImageErrorTimerTick();
    else if (key != 'D' && key != 'P' && key != 'I')
        fake.link.Deliver(key == 'X' ? "plx" : "plxr", std::string(event.substr(marked ? 1 : 0)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view script(reinterpret_cast<const char*>(data), size);
    PlxRig rig;
    FakeSaver& fake = rig.fake;
    fake.saver.RevealSpeed = 0; // the reveal's pauses are counted loops: time, not behaviour

    // A real saver is gone after the cover's fatal path; nothing follows it.
    while (!script.empty() && fake.process.exitCalls == 0) {
        const std::size_t lf = script.find('\n');
        Play(script.substr(0, lf), fake);
        script.remove_prefix(lf == std::string_view::npos ? script.size() : lf + 1);
    }
    for (std::size_t i = 0; i < fake.link.calls.size(); ++i) CheckCall(fake.link.calls[i], i < 2);
    return 0;
}
