// The frame decoder fed in random chunks against a plain line-by-line reading. A run of 'x' lets a short input reach
// lines past the 65,536-byte limit.

#include "link/Wire.h"
#include "support/Fuzz.h"

using namespace wendel::wire;
using wendel::fuzzing::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    wendel::fuzzing::Input<8> input(data, size);
    // Lengths that matter lie within a few bytes of the limit, where the LF, a CR before it and the one byte of slack
    // decide; short runs stay cheap.
    const std::uint8_t run = input.control[7];
    const std::size_t at = (input.control[5] | input.control[6] << 8) % (input.rest.size() + 1);
    input.rest.insert(at, run < 128 ? run : kMaxFrameBytes - 32 + (run - 128) % 64, 'x');
    const std::size_t maxChunk = std::size_t{1} << (input.control[4] % 18);

    FrameDecoder decoder;
    std::minstd_rand chunks = input.Random(0);
    for (std::string_view stream = input.rest; !stream.empty();) {
        const std::size_t take = std::min<std::size_t>(chunks() % (maxChunk + 1), stream.size());
        decoder.Feed(stream.substr(0, take));
        stream.remove_prefix(take);
        Check(decoder.BufferedBytes() <= kMaxFrameBytes + 1, "buffer past the frame limit");
    }
    // The reading the decoder must agree with: every complete line, less one CR before its LF, parsed on its own; empty
    // lines are no lines.
    std::size_t ignored = 0, pending = decoder.PendingBytes();
    std::string_view stream = input.rest;
    for (std::size_t lf; (lf = stream.find('\n')) != std::string_view::npos; stream.remove_prefix(lf + 1)) {
        std::string_view line = stream.substr(0, lf);
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (line.empty()) continue;
        const std::optional<Frame> frame = ParseFrame(line);
        ignored += !frame;
        if (!frame) continue;
        Check(decoder.HasFrame() && decoder.TakeFrame() == *frame, "frames differ");
        pending -= frame->device.size() + frame->text.size(); // what the decoder counts of a frame
    }
    Check(decoder.IgnoredLines() == ignored, "ignored lines differ");
    // A partial line past the limit plus its slack byte is already skipped.
    const std::size_t buffered = stream.size() <= kMaxFrameBytes + 1 ? stream.size() : 0;
    Check(decoder.BufferedBytes() == buffered, "buffered bytes differ");
    Check(pending == 0, "pending bytes differ");
    Check(!decoder.HasFrame() && decoder.PendingBytes() == 0, "a frame or pending bytes past the lines");
    return 0;
}
