#include "Wire.h"

#include <charconv>
#include <string>

namespace wendel::wire {

namespace {

constexpr char kTab = '\t';

// Line breaks would end the frame early and a TAB would shift the fields
// after it, so such bytes become blanks.
void AppendField(std::string& frame, std::string_view field, bool last)
{
    for (char c : field) {
        if (c == '\n' || c == '\r' || (c == kTab && !last)) c = ' ';
        frame += c;
    }
}

std::string Finish(std::string frame)
{
    if (frame.size() > kMaxFrameBytes) return {};
    frame += '\n';
    return frame;
}

std::optional<long long> WholeNumber(std::string_view text)
{
    long long value = 0;
    const char* end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || at != end) return std::nullopt;
    return value;
}

// Splits off the next TAB-separated field; the last field keeps its TABs.
std::string_view NextField(std::string_view& rest, bool last)
{
    if (last) {
        std::string_view field = rest;
        rest = {};
        return field;
    }
    const std::size_t tab = rest.find(kTab);
    std::string_view field = rest.substr(0, tab);
    rest = tab == std::string_view::npos ? std::string_view{} : rest.substr(tab + 1);
    return field;
}

} // namespace

std::string EncodeOpen(std::string_view device, std::string_view type, long long n1, long long n2,
                       long long n3)
{
    std::string frame = "OPEN\t";
    AppendField(frame, device, false);
    frame += kTab;
    AppendField(frame, type, false);
    frame += kTab + std::to_string(n1) + kTab + std::to_string(n2) + kTab + std::to_string(n3);
    return Finish(std::move(frame));
}

std::string EncodeSend(std::string_view device, std::string_view command)
{
    std::string frame = "SEND\t";
    AppendField(frame, device, false);
    frame += kTab;
    AppendField(frame, command, true);
    return Finish(std::move(frame));
}

std::string EncodeMsg(std::string_view device, std::string_view message)
{
    std::string frame = "MSG\t";
    AppendField(frame, device, false);
    frame += kTab;
    AppendField(frame, message, true);
    return Finish(std::move(frame));
}

std::string Encode(const Frame& frame)
{
    switch (frame.kind) {
    case FrameKind::Open: return EncodeOpen(frame.device, frame.text, frame.n1, frame.n2, frame.n3);
    case FrameKind::Send: return EncodeSend(frame.device, frame.text);
    case FrameKind::Msg: return EncodeMsg(frame.device, frame.text);
    }
    return {};
}

std::optional<Frame> ParseFrame(std::string_view line)
{
    if (line.size() > kMaxFrameBytes) return std::nullopt;
    const std::size_t tab = line.find(kTab);
    if (tab == std::string_view::npos) return std::nullopt;
    const std::string_view kind = line.substr(0, tab);
    std::string_view rest = line.substr(tab + 1);

    Frame frame;
    std::size_t fieldsAfterKind = 0;
    if (kind == "OPEN") {
        frame.kind = FrameKind::Open;
        fieldsAfterKind = 5;
    } else if (kind == "SEND") {
        frame.kind = FrameKind::Send;
        fieldsAfterKind = 2;
    } else if (kind == "MSG") {
        frame.kind = FrameKind::Msg;
        fieldsAfterKind = 2;
    } else {
        return std::nullopt;
    }
    // Every field but the last must end in a TAB.
    std::size_t tabs = 0;
    for (char c : rest)
        if (c == kTab) ++tabs;
    if (tabs < fieldsAfterKind - 1) return std::nullopt;

    frame.device = std::string(NextField(rest, false));
    if (frame.kind != FrameKind::Open) {
        frame.text = std::string(NextField(rest, true));
        return frame;
    }
    frame.text = std::string(NextField(rest, false));
    const auto n1 = WholeNumber(NextField(rest, false));
    const auto n2 = WholeNumber(NextField(rest, false));
    const auto n3 = WholeNumber(NextField(rest, true));
    if (!n1 || !n2 || !n3) return std::nullopt;
    frame.n1 = *n1;
    frame.n2 = *n2;
    frame.n3 = *n3;
    return frame;
}

void FrameDecoder::Feed(std::string_view bytes)
{
    while (!bytes.empty()) {
        const std::size_t lf = bytes.find('\n');
        const std::string_view piece = bytes.substr(0, lf);
        if (!skipping_) {
            // One byte of slack for a CR that an LF may yet follow.
            if (partial_.size() + piece.size() > kMaxFrameBytes + 1) {
                skipping_ = true;
                std::string().swap(partial_);
            } else {
                partial_.append(piece);
            }
        }
        if (lf == std::string_view::npos) return;
        EndLine();
        bytes.remove_prefix(lf + 1);
    }
}

void FrameDecoder::EndLine()
{
    if (skipping_) {
        skipping_ = false;
        ++ignored_;
        return;
    }
    std::string_view line = partial_;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!line.empty()) {
        if (std::optional<Frame> frame = ParseFrame(line)) {
            pendingBytes_ += frame->device.size() + frame->text.size();
            frames_.push_back(std::move(*frame));
        } else {
            ++ignored_;
        }
    }
    partial_.clear();
    // A long line's capacity is not kept for the short ones that follow.
    if (partial_.capacity() > 4096) std::string().swap(partial_);
}

Frame FrameDecoder::TakeFrame()
{
    Frame frame = std::move(frames_.front());
    frames_.pop_front();
    pendingBytes_ -= frame.device.size() + frame.text.size();
    return frame;
}

void FrameDecoder::DropPartialLine()
{
    std::string().swap(partial_);
    skipping_ = false;
}

} // namespace wendel::wire
