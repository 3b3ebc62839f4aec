// Frames out of a byte stream (a serial line, a socket).
//
// The host feeds the bytes in whatever chunks they arrive; the reader hands
// out each complete frame whose checksum holds, reports the ones whose
// checksum fails, and finds its way back to the next good frame after noise.
//
// Resynchronisation. The reader always looks at the oldest buffered byte as
// the start of a candidate frame and reads the header there (class
// identifier; a 16-bit length, or a 32-bit one for an extended class).
//   - A candidate is noise when its stated payload length is below
//     kMinFramePayload (7: version, flags, fixed-part size, checksum), its
//     total size exceeds MaxFrameSize(), or the size of its fixed part (the
//     static block of a message, the fixed section of an object encoding,
//     both at payload offset 3) does not fit its payload with the five bytes
//     before it and the checksum. Its first byte is dropped and the next
//     byte is tried, without a report.
//   - A plausible candidate waits until all of its bytes are buffered. Then
//     its checksum decides: a frame that holds is handed out whole and
//     consumed; one that fails is reported as corrupt and only its first byte
//     is dropped, so that a good frame starting inside it is still found.
// Noise can look like a plausible header with a long length; the reader then
// waits for that many bytes (at most MaxFrameSize()) before it gives up on the
// candidate, so a good frame behind noise may come out only once more bytes
// have arrived, or when the host says the input has ended.
//
// Work. Every byte is looked at a bounded number of times, except for the
// checksum of a complete plausible candidate. With checksum states (the
// constructor that takes them, and FixedFrameStreamReader) the reader keeps
// the checksum register after every buffered byte as it is fed, and the
// checksum of any candidate follows from the registers at its two ends in a
// bounded number of steps: noise costs a bounded amount of work per byte
// whatever it looks like. Without them, each complete plausible candidate is
// checksummed byte by byte, so noise built to look like long plausible frames
// costs up to MaxFrameSize() per byte.
//
// The maximum frame size is the capacity of the reader's buffer:
// kFrameStreamBufferSize (4096) for FixedFrameStreamReader, the caller's
// capacity for FrameStreamReader. The reader never allocates.
#ifndef XQOVA_MESSAGE_STREAM_READER_H
#define XQOVA_MESSAGE_STREAM_READER_H

#include <cstdint>

#include "xqova/core/export.h"
#include "xqova/core/limits.h"

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
    // The same, with `checksumStates`, `capacity` entries of the caller's
    // that must stay valid as long: every candidate's checksum then costs a
    // bounded number of steps (see Work above).
    FrameStreamReader(unsigned char* storage, std::uint16_t* checksumStates, std::uint32_t capacity);
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

    std::uint32_t MaxFrameSize() const { return capacity_; }
    std::uint32_t Buffered() const { return used_; }
    // Bytes dropped while resynchronising, and candidates that failed their
    // checksum (both saturate at 0xFFFFFFFF).
    std::uint32_t DiscardedBytes() const { return discarded_; }
    std::uint32_t CorruptFrames() const { return corrupt_; }
    // Forgets every buffered byte; the counters stay.
    void Clear();

private:
    // Ring position of the buffered byte at `offset` from the oldest.
    std::uint32_t Index(std::uint32_t offset) const {
        const std::uint32_t index = start_ + offset;
        return index >= capacity_ ? index - capacity_ : index;
    }
    std::uint32_t Read(std::uint32_t offset, unsigned width) const;
    // Forgets the `count` oldest bytes; Drop also counts them as discarded.
    void Consume(std::uint32_t count);
    void Drop(std::uint32_t count);
    // The checksum test of the candidate of `size` bytes at the oldest byte;
    // without checksum states it is copied into `frame` first.
    bool CandidateHolds(std::uint32_t size, unsigned char* frame) const;
    void CopyOut(unsigned char* frame, std::uint32_t size) const;

    unsigned char* bytes_;
    std::uint16_t* states_;  // register after each buffered byte, or null
    std::uint32_t capacity_;
    std::uint32_t start_;    // ring position of the oldest byte (an empty ring may start anywhere)
    std::uint32_t used_;
    std::uint16_t before_;   // register before the oldest byte
    std::uint32_t discarded_;
    std::uint32_t corrupt_;
};

// A reader with its own buffer of kFrameStreamBufferSize bytes and its
// checksum states.
class XQOVA_API FixedFrameStreamReader : public FrameStreamReader {
public:
    FixedFrameStreamReader() : FrameStreamReader(storage_, states_, kFrameStreamBufferSize) {}

private:
    unsigned char storage_[kFrameStreamBufferSize];
    std::uint16_t states_[kFrameStreamBufferSize];
};

}  // namespace xqova

#endif
