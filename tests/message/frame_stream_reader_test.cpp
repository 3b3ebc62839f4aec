#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <random>
#include <tuple>
#include <vector>

#include "tests/support/timing.h"

#include "message_test_support.h"
#include "xqova/message/stream_reader.h"

namespace {

using message_test::Bytes;
using message_test::Encode;

// Feeds `stream` in random chunks of 1 to `maxChunk` bytes, taking out every
// frame as soon as it is there, then ends the input. Counts the corrupt ones.
// Before that, bytes fed and forgotten by Clear move where the stream starts
// in the buffer, and count as neither discarded nor corrupt.
std::vector<Bytes> ReadAll(xqova::FrameStreamReader& reader, const Bytes& stream, std::mt19937& random,
                           std::uint32_t maxChunk, std::uint32_t* corrupt) {
    reader.Clear();
    reader.Feed(stream.data(), 5);
    reader.Clear();
    std::vector<Bytes> frames;
    Bytes frame(reader.MaxFrameSize());
    for (std::size_t offset = 0;;) {
        const bool end = offset == stream.size();
        std::uint32_t size = 0;
        for (;;) {
            const auto status = reader.Next(frame.data(), static_cast<std::uint32_t>(frame.size()), &size, end);
            if (status == xqova::FRAME_STREAM_NEED_MORE) break;
            if (status == xqova::FRAME_STREAM_FRAME) frames.emplace_back(frame.begin(), frame.begin() + size);
            if (status == xqova::FRAME_STREAM_CORRUPT) ++*corrupt;
            if (status != xqova::FRAME_STREAM_FRAME && status != xqova::FRAME_STREAM_CORRUPT) {
                ADD_FAILURE() << "status " << status;  // nothing more would come out
                return frames;
            }
        }
        if (end) break;
        const std::size_t chunk = std::min<std::size_t>(1 + random() % maxChunk, stream.size() - offset);
        offset += reader.Feed(stream.data() + offset, static_cast<std::uint32_t>(chunk));
    }
    EXPECT_EQ(reader.Buffered(), 0u);
    return frames;
}

TEST(FrameStreamReader, FindsTheGoodFramesAroundNoiseInAnyChunking) {
    const Bytes good1 = Encode(*message_test::Holding(message_test::kStd));
    const Bytes good2 = Encode(*message_test::Holding(message_test::kRendezvous));
    Bytes corrupt = Encode(CConDDescriptor());
    corrupt[11] ^= 0x01;  // the Descriptor
    std::mt19937 random(7);
    Bytes noise(57);
    for (unsigned char& b : noise) b = static_cast<unsigned char>(random());
    // Between the good frames: noise, a header with an impossible length, a
    // header whose static block does not fit its payload, a corrupt frame.
    const Bytes stream = message_test::Cat(
        {good1, noise, message_test::Hex("00 1E 00 00 00 00 00 1E 00 00 00 07 00 64 00 00 01 00 00"), corrupt, good2});
    const std::size_t discarded = stream.size() - good1.size() - good2.size();

    for (unsigned seed = 0; seed < 200; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 chunking(seed);
        // The reader's own buffer, and small ones of the caller's in which
        // frames wrap around the end, with and without checksum states.
        xqova::FixedFrameStreamReader fixed;
        unsigned char storage[48], storage2[48];
        std::uint16_t states[48];
        xqova::FrameStreamReader small(storage, sizeof storage);
        xqova::FrameStreamReader smallWithStates(storage2, states, sizeof storage2);
        for (xqova::FrameStreamReader* reader : {static_cast<xqova::FrameStreamReader*>(&fixed), &small, &smallWithStates}) {
            std::uint32_t corrupt = 0;
            const std::vector<Bytes> frames = ReadAll(*reader, stream, chunking, seed % 2 == 0 ? 9 : 64, &corrupt);
            // The good frames, at least one corrupt one, counted as the reader counts them, and the rest discarded.
            EXPECT_EQ(std::make_tuple(frames, corrupt >= 1, reader->CorruptFrames(), reader->DiscardedBytes()),
                      std::make_tuple(std::vector<Bytes>{good1, good2}, true, corrupt, discarded));
        }
    }
    // A frame of an extended class, whose length field takes four bytes, is found too.
    const Bytes list = Encode(*message_test::Holding(message_test::kList));
    xqova::FixedFrameStreamReader fixed;
    std::mt19937 chunking(1);
    std::uint32_t none = 0;
    EXPECT_EQ(ReadAll(fixed, message_test::Cat({noise, list}), chunking, 64, &none), std::vector<Bytes>{list});
}

// A caller's frame buffer smaller than the largest frame the reader holds is
// refused; a full reader takes no more bytes until frames are taken out; a
// frame larger than the reader's buffer is noise: headers met inside it may be
// plausible and fail their checksum, none is handed out, and at the end of the
// input every byte is dropped.
TEST(FrameStreamReader, BuffersOfLimitedSize) {
    const Bytes frame = Encode(CConDStd());  // 33 bytes
    unsigned char storage[64], out[63];
    xqova::FrameStreamReader reader(storage, sizeof storage);
    EXPECT_EQ(reader.Feed(frame.data(), 33), 33u);
    std::uint32_t size = 5;
    EXPECT_TRUE(reader.Next(out, sizeof out, &size) == xqova::FRAME_STREAM_NO_ROOM && size == 0u);
    EXPECT_EQ(reader.Feed(nullptr, 5) + reader.Feed(Bytes(64, 0).data(), 64), 31u);  // the 33 bytes are still held
    EXPECT_EQ(reader.Next(nullptr, 64, &size) + reader.Next(out, 64, nullptr), 2 * xqova::FRAME_STREAM_NO_ROOM);

    xqova::FrameStreamReader small(storage, 32);
    EXPECT_EQ(small.Feed(frame.data(), 33), 32u);
    xqova::FrameStreamStatus_e status;
    while ((status = small.Next(out, 32, &size, true)) == xqova::FRAME_STREAM_CORRUPT) continue;
    // Every byte fed, none held.
    EXPECT_EQ(std::make_tuple(status, small.DiscardedBytes()), std::make_tuple(xqova::FRAME_STREAM_NEED_MORE, 32u));
}

// Noise costs bounded work per byte: a MiB of bytes that each start a header
// with a long length (0xFE with a 64 KiB buffer: 65,278 bytes, whose fixed
// part would not fit) takes no longer per byte than an eighth of it, and runs
// near the speed of zeros; so do random bytes, about half of which start a
// plausible header, for a reader with checksum states.
TEST(FrameStreamReader, NoiseTakesTimeLinearInItsLength) {
    std::vector<unsigned char> storage(64 * 1024), frame(64 * 1024);
    std::vector<std::uint16_t> states(64 * 1024);
    std::mt19937 random(3);
    Bytes randomBytes(1 << 20);
    for (unsigned char& b : randomBytes) b = static_cast<unsigned char>(random());
    const struct { Bytes noise; std::uint32_t limit; bool withStates; } cases[] = {
        {Bytes(1 << 20, 0x00), 64 * 1024, false}, {Bytes(1 << 20, 0x00), 64 * 1024, true},  // zeros first
        {Bytes(1 << 20, 0xFE), 64 * 1024, false}, {Bytes(1 << 20, 0xFE), 64 * 1024, true},
        {randomBytes, xqova::kFrameStreamBufferSize, true}};
    double zeroSeconds[2] = {};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.noise[1]) + (c.withStates ? " with states" : ""));
        // The first n bytes of the noise, read to the end.
        const auto reading = [&](std::size_t n) -> test_timing::Work {
            return [&, n] {
                xqova::FrameStreamReader reader(storage.data(), c.withStates ? states.data() : nullptr, c.limit);
                std::size_t at = 0, framed = 0;
                std::uint32_t size = 0;
                for (auto status = xqova::FRAME_STREAM_NEED_MORE; at < n && status == xqova::FRAME_STREAM_NEED_MORE;) {
                    at += reader.Feed(c.noise.data() + at, static_cast<std::uint32_t>(n - at));
                    while ((status = reader.Next(frame.data(), c.limit, &size, at == n)) == xqova::FRAME_STREAM_FRAME ||
                           status == xqova::FRAME_STREAM_CORRUPT) {
                        framed += size;  // random bytes hold a frame by chance now and then
                    }
                }
                EXPECT_EQ(reader.DiscardedBytes() + framed, n);
            };
        };
        const double whole = test_timing::ExpectLinear(reading, c.noise.size() / 8, "noise");
        if (c.noise[1] == 0x00) zeroSeconds[c.withStates] = whole;
        EXPECT_LT(whole, 10 * zeroSeconds[c.withStates] + 0.05);
    }
}

}  // namespace
