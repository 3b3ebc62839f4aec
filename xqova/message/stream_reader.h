// Frames out of a byte stream (a serial line, a socket).
//
// The host feeds the bytes in whatever chunks they arrive; the reader hands
// out each complete frame whose checksum holds, reports the ones whose
// checksum fails, and finds its way back to the next good frame after noise.
//
// Resynchronisation. The reader always looks at the oldest buffered byte as
// the start of a candidate frame and reads the header there (class
// identifier; a 16-bit length, or a 32-bit one for an extended class).
//   - A candidate is implausible when its stated payload length is below
//     kMinFramePayload (7: version, flags, static length, checksum) or its
//     total size exceeds MaxFrameSize(). Its first byte is dropped and the
//     next byte is tried, without a report.
//   - A plausible candidate waits until all of its bytes are buffered. Then
//     its checksum decides: a frame that holds is handed out whole and
//     consumed; one that fails is reported as corrupt and only its first byte
//     is dropped, so that a good frame starting inside it is still found.
// Noise can look like a plausible header with a long length; the reader then
// waits for that many bytes (at most MaxFrameSize()) before it gives up on the
// candidate, so a good frame behind noise may come out only once more bytes
// have arrived, or when the host says the input has ended.
//
// The maximum frame size is the capacity of the reader's buffer:
// kFrameStreamBufferSize (4096) for FixedFrameStreamReader, the caller's
// capacity for FrameStreamReader. The reader never allocates.
#ifndef XQOVA_MESSAGE_STREAM_READER_H
#define XQOVA_MESSAGE_STREAM_READER_H

#include <cstdint>

#include "xqova/core/export.h"
#include "xqova/core/limits.h"
#include "xqova/message/byte_queue.h"

namespace xqova {

enum FrameStreamStatus_e {
    FRAME_STREAM_NEED_MORE = 0,  // no complete candidate is buffered: feed more bytes
    FRAME_STREAM_FRAME = 1,      // a frame whose checksum holds was copied out
    FRAME_STREAM_CORRUPT = 2,    // a complete candidate failed its checksum; its first byte was dropped
    FRAME_STREAM_NO_ROOM = 3     // the frame buffer given is null or smaller than MaxFrameSize(); nothing happened
};

class XQOVA_API FrameStreamReader {
public:
    // Works in the caller's `capacity` bytes at `storage`, which must stay
    // valid while the reader is used. The capacity is the maximum frame size.
    FrameStreamReader(unsigned char* storage, std::uint32_t capacity);
    FrameStreamReader(const FrameStreamReader&) = delete;
    FrameStreamReader& operator=(const FrameStreamReader&) = delete;

    // Buffers as many of the `count` bytes as there is room for and returns
    // how many it took. The host calls Next until it needs more, then feeds
    // the rest.
    std::uint32_t Feed(const unsigned char* bytes, std::uint32_t count);

    // Looks for the next frame. On FRAME_STREAM_FRAME, copies it into `frame`
    // and stores its size in *size (otherwise *size becomes 0). `capacity`
    // must be at least MaxFrameSize(). With `endOfInput`, a candidate still
    // waiting for bytes is given up (its first byte dropped), so that every
    // good frame already buffered comes out; FRAME_STREAM_NEED_MORE then means
    // that the buffer is empty.
    FrameStreamStatus_e Next(unsigned char* frame, std::uint32_t capacity, std::uint32_t* size, bool endOfInput = false);

    std::uint32_t MaxFrameSize() const { return queue_.get_num_elements(); }
    std::uint32_t Buffered() const { return queue_.get_num_used(); }
    // Bytes dropped while resynchronising, and candidates that failed their
    // checksum (both saturate at 0xFFFFFFFF).
    std::uint32_t DiscardedBytes() const { return discarded_; }
    std::uint32_t CorruptFrames() const { return corrupt_; }
    // Forgets every buffered byte; the counters stay.
    void Clear();

private:
    void Drop(std::uint32_t count);

    uint8QManager queue_;
    std::uint32_t discarded_;
    std::uint32_t corrupt_;
};

// A reader with its own buffer of kFrameStreamBufferSize bytes.
class XQOVA_API FixedFrameStreamReader : public FrameStreamReader {
public:
    FixedFrameStreamReader() : FrameStreamReader(storage_, kFrameStreamBufferSize) {}

private:
    unsigned char storage_[kFrameStreamBufferSize];
};

}  // namespace xqova

#endif
