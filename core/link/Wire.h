#pragma once

// The frames that carry the link between the saver and a jukebox: one line of
// UTF-8 text per frame, ending in LF, fields separated by TAB, the last field
// being the rest of the line. Both ends of the link use this codec.

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

namespace wendel::wire {

// The longest frame either side accepts, LF and a CR before it not counted.
inline constexpr std::size_t kMaxFrameBytes = 65536;

enum class FrameKind { Open, Send, Msg };

struct Frame {
    FrameKind kind = FrameKind::Msg;
    std::string device;
    // OPEN: the device type ("type=devtx"); SEND: the command; MSG: the message.
    std::string text;
    // OPEN only: the three numbers of OpenDevice.
    long long n1 = 0;
    long long n2 = 0;
    long long n3 = 0;

    bool operator==(const Frame&) const = default;
};

// The encoders return the frame with its LF. A field cannot carry a line
// break, and only the last field a TAB, so those become blanks. A frame that
// would be longer than kMaxFrameBytes comes back empty: the other side would
// drop it anyway, and sending nothing keeps the stream in step.
std::string EncodeOpen(std::string_view device, std::string_view type, long long n1, long long n2,
                       long long n3);
std::string EncodeSend(std::string_view device, std::string_view command);
std::string EncodeMsg(std::string_view device, std::string_view message);
std::string Encode(const Frame& frame);

// Reads one line, its LF and a CR before it already removed. Gives nothing for
// an unknown kind, too few fields, OPEN numbers that are not whole decimal
// numbers, or a line longer than kMaxFrameBytes.
std::optional<Frame> ParseFrame(std::string_view line);

// Cuts a byte stream into frames. Bytes may arrive in any chunks; a frame that
// grows past the limit is skipped up to its LF while holding no more than the
// limit in memory. It never throws on any input.
class FrameDecoder {
public:
    void Feed(std::string_view bytes);

    bool HasFrame() const { return !frames_.empty(); }
    std::size_t PendingFrames() const { return frames_.size(); }
    // The text held in queued frames.
    std::size_t PendingBytes() const { return pendingBytes_; }
    // Only call when HasFrame().
    Frame TakeFrame();

    // Forgets a half-received line, as when the connection it came on is lost.
    // Frames already complete stay queued.
    void DropPartialLine();

    // Lines that were not frames: too long, unknown, or short of fields.
    // Empty lines are not counted.
    std::size_t IgnoredLines() const { return ignored_; }
    // Bytes held for the line still being received; never above the limit + 1.
    std::size_t BufferedBytes() const { return partial_.size(); }

private:
    void EndLine();

    std::string partial_;
    bool skipping_ = false;
    std::deque<Frame> frames_;
    std::size_t ignored_ = 0;
    std::size_t pendingBytes_ = 0;
};

} // namespace wendel::wire
