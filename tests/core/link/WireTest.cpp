#include "link/Wire.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace wendel::wire {

namespace {

using Frames = std::vector<Frame>;

Frames Feed(FrameDecoder& decoder, std::string_view bytes)
{
    decoder.Feed(bytes);
    Frames frames;
    while (decoder.HasFrame()) frames.push_back(decoder.TakeFrame());
    return frames;
}

Frames Decode(std::string_view bytes)
{
    FrameDecoder decoder;
    return Feed(decoder, bytes);
}

Frame Msg(std::string text) { return {FrameKind::Msg, "plxr", std::move(text)}; }

TEST(Wire, ParsesEveryKindAndIgnoresMalformedLines)
{
    const std::vector<std::pair<std::string, std::optional<Frame>>> cases = {
        {"OPEN\tplx\ttype=devtx\t1\t1\t0", Frame{FrameKind::Open, "plx", "type=devtx", 1, 1, 0}},
        {"OPEN\tplxr\ttype=devrx\t-1\t2\t30", Frame{FrameKind::Open, "plxr", "type=devrx", -1, 2, 30}},
        {"SEND\tplx\tplaylist_getitem[ 5]", Frame{FrameKind::Send, "plx", "playlist_getitem[ 5]"}},
        {"MSG\tplxr\ta\tb\t\tc", Msg("a\tb\t\tc")}, {"MSG\tplxr\t", Msg("")}, // the last field keeps its TABs
        {std::string("MSG\tplxr\ta\0b\xff\xfe", 14), Msg(std::string("a\0b\xff\xfe", 5))}, // bytes as they come
        {"PING\tplx\tx", std::nullopt}, {"msg\tplxr\tx", std::nullopt}, {"MSG", std::nullopt},
        {"MSG\tplxr", std::nullopt}, {"SEND\tplx", std::nullopt}, {"OPEN\tplx\ttype=devtx\t1\t1", std::nullopt},
        {"OPEN\tplx\ttype=devtx\t1\tx\t0", std::nullopt}, {"OPEN\tplx\ttype=devtx\t1\t1\t0 ", std::nullopt},
        {"OPEN\tplx\ttype=devtx\tx\t1\t0", std::nullopt}, {"OPEN\tplx\ttype=devtx\t1\t1\t", std::nullopt},
        {"OPEN\tplx\ttype=devtx\t1\t1\t99999999999999999999", std::nullopt},
        {"MSG\tplxr\t" + std::string(kMaxFrameBytes - 9, 'x'), Msg(std::string(kMaxFrameBytes - 9, 'x'))},
        {"MSG\tplxr\t" + std::string(kMaxFrameBytes - 8, 'x'), std::nullopt},
    };
    for (const auto& [line, expected] : cases) EXPECT_EQ(ParseFrame(line), expected) << line.substr(0, 40);
}

TEST(Wire, EncodesSoThatEveryFrameSurvivesTheTrip)
{
    // A line break must not split a frame, nor a TAB in a field but the last shift the fields after it.
    const std::pair<std::string, std::string> rows[] = {
        {EncodeOpen("plx", "type=devtx", 1, 1, 0), "OPEN\tplx\ttype=devtx\t1\t1\t0\n"},
        {EncodeOpen("p\tx\n", "ty\tpe\r", -1, 2, 3), "OPEN\tp x \tty pe \t-1\t2\t3\n"},
        {EncodeSend("p\tx", "a\tb\nc"), "SEND\tp x\ta\tb c\n"},
        {EncodeMsg("pl\txr", "one\ntwo\r\tthree"), "MSG\tpl xr\tone two \tthree\n"},
    };
    for (const auto& [encoded, expected] : rows) EXPECT_EQ(encoded, expected);
    const Frames frames = {Frame{FrameKind::Open, "plxr", "type=devrx", 1, 1, 0},
                           Frame{FrameKind::Send, "plx", "playlist_getpointer"}, Msg("x\ty")};
    std::string stream;
    for (const Frame& frame : frames) stream += Encode(frame);
    EXPECT_EQ(Decode(stream), frames);
    // Too long to be read at the other end: not sent at all.
    const std::string fits(kMaxFrameBytes - 9, 'x'); // "MSG\tplxr\t" is 9 bytes
    EXPECT_EQ(EncodeMsg("plxr", fits).size(), kMaxFrameBytes + 1);
    EXPECT_EQ(EncodeMsg("plxr", fits + "x"), "");
}

TEST(Wire, LineEndsAndChunksAnywhere)
{
    EXPECT_EQ(Decode("MSG\tplxr\ta\r\n"), Frames{Msg("a")});
    EXPECT_EQ(Decode("MSG\tplxr\ta\r\r\n"), Frames{Msg("a\r")}); // one CR, only before the LF
    EXPECT_EQ(Decode("MSG\tplxr\ta\rb\n"), Frames{Msg("a\rb")});
    EXPECT_EQ(Decode("\n\r\n\nMSG\tplxr\tno end yet"), Frames{});

    const std::string stream = "OPEN\tplx\ttype=devtx\t1\t1\t0\r\nMSG\tplxr\tplaying[\"A\"]\njunk\nSEND\tplx\tx\ty\r\n";
    const Frames whole = Decode(stream);
    ASSERT_EQ(whole.size(), 3u);
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        FrameDecoder decoder;
        Frames frames = Feed(decoder, std::string_view(stream).substr(0, cut));
        for (Frame& f : Feed(decoder, std::string_view(stream).substr(cut))) frames.push_back(f);
        EXPECT_EQ(frames, whole) << "cut at " << cut;
        EXPECT_EQ(decoder.IgnoredLines(), 1u);
    }
}

TEST(Wire, OversizedLinesAreDroppedWholeInBoundedMemory)
{
    const std::string prefix = "MSG\tplxr\t";
    const std::string atLimit = prefix + std::string(kMaxFrameBytes - prefix.size(), 'a');
    EXPECT_EQ(Decode(atLimit + "\r\n").size(), 1u);
    EXPECT_EQ(Decode(atLimit + "b\r\n"), Frames{});

    // 1 MB in small chunks, with a tail that looks like a frame if the skip ends early.
    FrameDecoder decoder;
    std::size_t mostHeld = 0;
    Feed(decoder, prefix);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(Feed(decoder, std::string(4096, 'z')), Frames{});
        mostHeld = std::max(mostHeld, decoder.BufferedBytes());
    }
    EXPECT_EQ(Feed(decoder, "\tMSG\tplxr\tfake"), Frames{});
    EXPECT_LE(mostHeld, kMaxFrameBytes + 1);
    EXPECT_EQ(Feed(decoder, "\nMSG\tplxr\tafter\n"), Frames{Msg("after")});
    EXPECT_EQ(decoder.IgnoredLines(), 1u);
}

TEST(Wire, AHalfLineFromALostConnectionIsForgotten)
{
    FrameDecoder decoder;
    EXPECT_EQ(Feed(decoder, "MSG\tplxr\tdone\nMSG\tplxr\thal"), Frames{Msg("done")});
    decoder.DropPartialLine();
    EXPECT_EQ(Feed(decoder, "MSG\tplxr\tnew\n"), Frames{Msg("new")});
    Feed(decoder, std::string(kMaxFrameBytes + 10, 'x')); // lost while skipping
    decoder.DropPartialLine();
    EXPECT_EQ(Feed(decoder, "MSG\tplxr\tfresh\n"), Frames{Msg("fresh")});

    // Every byte value, then lines of nothing but TABs: the stream goes on.
    std::string garbage;
    for (int i = 0; i < 256; ++i) garbage += static_cast<char>(i);
    EXPECT_EQ(Decode(garbage + "\n\t\t\t\nOPEN\t\t\t\t\t\nMSG\t\nMSG\tplxr\tstill\n"), Frames{Msg("still")});
}

} // namespace
} // namespace wendel::wire
