#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "message_test_support.h"
#include "xqova/message/connection.h"
#include "xqova/message/rendezvous.h"
#include "xqova/message/stream_reader.h"

namespace {

using message_test::Bytes;
using message_test::Encode;

struct Outcome {
    std::vector<Bytes> frames;
    int corrupt = 0;
};

// Feeds `stream` in random chunks of 1 to `maxChunk` bytes, taking out every
// frame as soon as it is there, then ends the input.
Outcome ReadAll(xqova::FrameStreamReader& reader, const Bytes& stream, std::mt19937& random, std::uint32_t maxChunk) {
    Outcome outcome;
    std::vector<unsigned char> frame(reader.MaxFrameSize());
    auto drain = [&](bool end) {
        for (;;) {
            std::uint32_t size = 0;
            const auto status = reader.Next(frame.data(), static_cast<std::uint32_t>(frame.size()), &size, end);
            if (status == xqova::FRAME_STREAM_FRAME) {
                outcome.frames.emplace_back(frame.begin(), frame.begin() + size);
            } else if (status == xqova::FRAME_STREAM_CORRUPT) {
                ++outcome.corrupt;
            } else {
                EXPECT_EQ(status, xqova::FRAME_STREAM_NEED_MORE);
                return;
            }
        }
    };
    std::size_t offset = 0;
    while (offset < stream.size()) {
        const std::uint32_t chunk = 1 + random() % maxChunk;
        const std::uint32_t left = static_cast<std::uint32_t>(stream.size() - offset);
        offset += reader.Feed(stream.data() + offset, chunk < left ? chunk : left);
        drain(false);
    }
    drain(true);
    EXPECT_EQ(reader.Buffered(), 0u);
    return outcome;
}

TEST(FrameStreamReader, FindsTheGoodFramesAroundNoiseInAnyChunking) {
    CConDStd first;
    first.SetSourceID("device-1", 8);
    CRNDZDStd second;
    second.SetData(reinterpret_cast<const unsigned char*>("\x01\x02\x03"), 3);
    const Bytes good1 = Encode(first);
    const Bytes good2 = Encode(second);
    Bytes corrupt = Encode(CConDDescriptor());
    corrupt[9] ^= 0x01;

    std::mt19937 random(7);
    Bytes stream = good1;
    for (int i = 0; i < 57; ++i) stream.push_back(static_cast<unsigned char>(random()));
    stream.insert(stream.end(), {0x00, 0x1E, 0x00, 0x00, 0x00, 0x00});  // a header with an impossible length
    stream.insert(stream.end(), corrupt.begin(), corrupt.end());
    stream.insert(stream.end(), good2.begin(), good2.end());

    for (unsigned seed = 0; seed < 200; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 chunking(seed);
        // The reader's own buffer, and a small one of the caller's in which
        // frames wrap around the end.
        xqova::FixedFrameStreamReader fixed;
        unsigned char storage[48];
        xqova::FrameStreamReader small(storage, sizeof storage);
        xqova::FrameStreamReader* readers[] = {&fixed, &small};
        for (xqova::FrameStreamReader* reader : readers) {
            const Outcome outcome = ReadAll(*reader, stream, chunking, seed % 2 == 0 ? 9 : 64);
            ASSERT_EQ(outcome.frames.size(), 2u);
            EXPECT_EQ(outcome.frames[0], good1);
            EXPECT_EQ(outcome.frames[1], good2);
            EXPECT_GE(outcome.corrupt, 1);
            EXPECT_EQ(reader->CorruptFrames(), static_cast<std::uint32_t>(outcome.corrupt));
            EXPECT_EQ(reader->DiscardedBytes(), stream.size() - good1.size() - good2.size());
        }
    }
}

TEST(FrameStreamReader, RefusesAFrameBufferSmallerThanTheLargestFrame) {
    unsigned char storage[64];
    xqova::FrameStreamReader reader(storage, sizeof storage);
    const Bytes frame = Encode(CConDStd());
    EXPECT_EQ(reader.Feed(frame.data(), static_cast<std::uint32_t>(frame.size())), frame.size());
    unsigned char out[63];
    std::uint32_t size = 5;
    EXPECT_EQ(reader.Next(out, sizeof out, &size), xqova::FRAME_STREAM_NO_ROOM);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(reader.Buffered(), frame.size());
    // A full buffer takes no more bytes until frames are taken out.
    const Bytes more(64, 0);
    EXPECT_EQ(reader.Feed(more.data(), 64), 64u - frame.size());
}

TEST(FrameStreamReader, FrameLargerThanTheBufferIsNoise) {
    unsigned char storage[32];  // one byte short of a CConDStd frame
    xqova::FrameStreamReader reader(storage, sizeof storage);
    const Bytes frame = Encode(CConDStd());
    EXPECT_EQ(reader.Feed(frame.data(), 33), 32u);
    unsigned char out[32];
    std::uint32_t size = 0;
    // Headers met inside it may be plausible and fail their checksum; none
    // is handed out, and at the end of the input every byte is dropped.
    xqova::FrameStreamStatus_e status;
    while ((status = reader.Next(out, sizeof out, &size, true)) == xqova::FRAME_STREAM_CORRUPT) {
    }
    EXPECT_EQ(status, xqova::FRAME_STREAM_NEED_MORE);
    EXPECT_EQ(reader.DiscardedBytes(), 32u);
    EXPECT_EQ(reader.Buffered(), 0u);
}

}  // namespace
