// The saver's side of the conversation over the test fakes: whatever a
// jukebox says and whenever the timers tick, every call on the link is one of
// the documented commands, and each encodes to a frame that parses back.

#include "link/PlxRig.h"
#include "link/Wire.h"
#include "support/Fuzz.h"

#include <algorithm>
#include <iterator>
#include <regex>
#include <string>
#include <string_view>

namespace {

using wendel::fuzzing::Check;
using wendel::testing::FakeSaver;
using wendel::testing::FakeTimer;
using wendel::testing::LinkCall;
using wendel::testing::PlxRig;

// playlist_getitem's number in the signed text form: a blank or a minus sign,
// then at most 15 significant digits with no 0 before the point and no
// trailing zeros after it, and an exponent of two or three digits.
const std::regex& GetItemForm()
{
    static const std::regex form(
        R"(playlist_getitem\[( |-)(0|[1-9][0-9]*(\.[0-9]*[1-9])?|\.[0-9]*[1-9])(E[+-][0-9]{2,3})?\])");
    return form;
}

bool IsDocumentedCommand(const std::string& command)
{
    if (command == "notify_playing_item[on]" || command == "notify_playing_timecode[on]" ||
        command == "playlist_getpointer") {
        return true;
    }
    // Significant digits: the mantissa's digits after its leading zeros.
    std::string digits;
    std::copy_if(command.begin(), std::find(command.begin(), command.end(), 'E'), std::back_inserter(digits),
                 [](char c) { return c >= '0' && c <= '9'; });
    digits.erase(0, digits.find_first_not_of('0'));
    return std::regex_match(command, GetItemForm()) && digits.size() <= 15;
}

// The call as the link sends it, read back by the jukebox's decoder.
void CheckFrame(const LinkCall& call)
{
    namespace wire = wendel::wire;
    const bool open = call.operation == "OpenDevice";
    const std::string frame = open ? wire::EncodeOpen(call.device, call.text, call.a, call.b, call.c)
                                   : wire::EncodeSend(call.device, call.text);
    Check(!frame.empty() && frame.back() == '\n', "a call does not fit in a frame");
    const auto parsed = wire::ParseFrame(std::string_view(frame).substr(0, frame.size() - 1));
    Check(parsed.has_value(), "a call's frame does not parse");
    Check(parsed->kind == (open ? wire::FrameKind::Open : wire::FrameKind::Send), "a call's frame has the wrong kind");
    Check(parsed->device == call.device && parsed->text == call.text, "a call's frame changed its text");
}

void CheckCall(const LinkCall& call)
{
    if (call.operation == "OpenDevice") {
        const bool tx = call.device == "plx" && call.text == "type=devtx";
        const bool rx = call.device == "plxr" && call.text == "type=devrx";
        Check((tx || rx) && call.a == 1 && call.b == 1 && call.c == 0,
              "an opening other than plx devtx / plxr devrx 1 1 0");
    } else {
        Check(call.operation == "SendCommand", "an unknown link call");
        Check(call.device == "plx", "a command sent to a device other than plx");
        Check(IsDocumentedCommand(call.text), "an undocumented command");
    }
    CheckFrame(call);
}

void Play(std::string_view event, FakeSaver& fake)
{
    using Main = wendel::WendelSaverMain;
    const struct {
        char key;
        FakeTimer& timer;
        void (Main::*tick)();
    } timers[] = {{'D', fake.dTimer, &Main::DTimerTick}, {'P', fake.playIconTimer, &Main::PlayIconTimerTick},
                  {'I', fake.imageErrorTimer, &Main::ImageErrorTimerTick}};
    for (const auto& timer : timers) {
        if (!event.starts_with(timer.key)) continue;
        if (timer.timer.enabled) (fake.saver.*timer.tick)();
        return;
    }
    const bool marked = event.starts_with('X') || event.starts_with('M');
    fake.link.Deliver(event.starts_with('X') ? "plx" : "plxr", std::string(event.substr(marked ? 1 : 0)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view script(reinterpret_cast<const char*>(data), size);
    PlxRig rig;
    FakeSaver& fake = rig.fake;
    // The reveal's pauses are counted loops: time, not behaviour.
    fake.saver.RevealSpeed = 0;

    // A real saver is gone after the cover's fatal path; nothing follows it.
    while (!script.empty() && fake.process.exitCalls == 0) {
        const std::size_t lf = script.find('\n');
        Play(script.substr(0, lf), fake);
        script.remove_prefix(lf == std::string_view::npos ? script.size() : lf + 1);
    }
    for (const LinkCall& call : fake.link.calls) CheckCall(call);
    return 0;
}
