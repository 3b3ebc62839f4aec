// A byte stream from a serial line or socket: fed in fuzzer-chosen chunks,
// the reader must hand out only frames whose checksum holds and never read or
// write outside its buffers. A reader with checksum states (which computes
// each candidate's checksum from two stored registers) must report exactly
// what a reader without them (which checksums each candidate byte by byte)
// reports.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "xqova/core/crc16.h"
#include "xqova/core/frame_header.h"
#include "xqova/message/stream_reader.h"

namespace {

// What a reader reported, in order: each status, and each frame's bytes.
std::vector<unsigned char> Read(const std::uint8_t* data, std::size_t size, bool withStates) {
    // The first byte seeds the chunk sizes; a small reader makes the buffer
    // limits easy to reach.
    std::uint32_t state = data[0] | 1u;
    unsigned char storage[256];
    std::uint16_t states[256];
    xqova::FrameStreamReader reader(storage, withStates ? states : nullptr, (data[0] & 1) ? sizeof storage : 64);
    std::vector<unsigned char> frame(reader.MaxFrameSize());
    std::vector<unsigned char> log;
    std::size_t at = 1;
    auto drain = [&](bool end) {
        for (int guard = 0; guard < 100000; ++guard) {
            std::uint32_t got = 0;
            const xqova::FrameStreamStatus_e status = reader.Next(frame.data(), static_cast<std::uint32_t>(frame.size()), &got, end);
            if (status == xqova::FRAME_STREAM_NEED_MORE || status == xqova::FRAME_STREAM_NO_ROOM) return;
            log.push_back(static_cast<unsigned char>(status));
            if (status == xqova::FRAME_STREAM_FRAME) {
                if (got < 8 || got > frame.size() || xqova::BoundedEncodedSize(frame.data(), got) != got) __builtin_trap();
                log.insert(log.end(), frame.begin(), frame.begin() + got);
            }
        }
        __builtin_trap();  // the reader must always make progress
    };
    while (at < size) {
        state = state * 1103515245u + 12345u;
        std::size_t chunk = 1 + (state >> 16) % 97;
        if (chunk > size - at) chunk = size - at;
        std::size_t fed = 0;
        while (fed < chunk) {
            const std::uint32_t took = reader.Feed(data + at + fed, static_cast<std::uint32_t>(chunk - fed));
            fed += took;
            drain(false);
            if (took == 0 && reader.Buffered() == reader.MaxFrameSize()) drain(true);
        }
        at += chunk;
    }
    drain(true);
    if (reader.Buffered() != 0) __builtin_trap();
    return log;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    if (Read(data, size, false) != Read(data, size, true)) __builtin_trap();
    return 0;
}
