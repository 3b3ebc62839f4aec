#include "xqova/message/stream_reader.h"

#include <algorithm>

#include "xqova/core/checksum.h"
#include "xqova/core/frame_header.h"

namespace xqova {

namespace {
// Version, flags and fixed-part size come before the fixed part; the
// checksum ends the payload.
constexpr std::uint32_t kBeforeFixedPart = 5;
constexpr std::uint32_t kChecksumSize = 2;
}  // namespace

FrameStreamReader::FrameStreamReader(unsigned char* storage, std::uint32_t capacity)
    : FrameStreamReader(storage, nullptr, capacity) {}

FrameStreamReader::FrameStreamReader(unsigned char* storage, std::uint16_t* checksumStates, std::uint32_t capacity)
    : bytes_(storage),
      states_(checksumStates),
      capacity_(storage == nullptr ? 0 : capacity),
      start_{},
      used_(0),
      before_(0xFFFF),
      discarded_(0),
      corrupt_(0) {}

std::uint32_t FrameStreamReader::Feed(const unsigned char* bytes, std::uint32_t count) {
    if (bytes == nullptr) return 0;
    const std::uint32_t room = capacity_ - used_;
    const std::uint32_t taken = count < room ? count : room;
    std::uint16_t state = states_ == nullptr || used_ == 0 ? before_ : states_[Index(used_ - 1)];
    for (std::uint32_t i = 0; i < taken; ++i) {
        const std::uint32_t at = Index(used_);
        bytes_[at] = bytes[i];
        if (states_ != nullptr) {
            state = ChecksumStep(state, bytes[i]);
            states_[at] = state;
        }
        ++used_;
    }
    return taken;
}

std::uint32_t FrameStreamReader::Read(std::uint32_t offset, unsigned width) const {
    std::uint32_t value = 0;
    for (unsigned i = 0; i < width; ++i) value = (value << 8) | bytes_[Index(offset + i)];
    return value;
}

void FrameStreamReader::Consume(std::uint32_t count) {
    if (count == 0) return;
    if (states_ != nullptr) before_ = states_[Index(count - 1)];
    start_ = Index(count);
    used_ -= count;
}

void FrameStreamReader::Drop(std::uint32_t count) {
    Consume(count);
    discarded_ = discarded_ > 0xFFFFFFFFu - count ? 0xFFFFFFFFu : discarded_ + count;
}

void FrameStreamReader::Clear() { Consume(used_); }

void FrameStreamReader::CopyOut(unsigned char* frame, std::uint32_t size) const {
    // From the start to the buffer's end, then what wraps around to its front.
    const std::uint32_t first = std::min(capacity_ - start_, size);
    std::copy_n(bytes_, size - first, std::copy_n(bytes_ + start_, first, frame));
}

bool FrameStreamReader::CandidateHolds(std::uint32_t size, unsigned char* frame) const {
    const std::uint32_t covered = size - kChecksumSize;
    if (states_ == nullptr) {
        CopyOut(frame, size);
        return ChecksumHolds(frame, covered);
    }
    const std::uint16_t computed =
        static_cast<std::uint16_t>(ChecksumSkip(static_cast<std::uint16_t>(0xFFFF ^ before_), covered) ^
                                   states_[Index(covered - 1)]);
    return ChecksumEquals(computed, static_cast<std::uint16_t>(Read(covered, 2)));
}

FrameStreamStatus_e FrameStreamReader::Next(unsigned char* frame, std::uint32_t capacity, std::uint32_t* size,
                                            bool endOfInput) {
    if (size != nullptr) *size = 0;
    if (frame == nullptr || size == nullptr || capacity < MaxFrameSize()) return FRAME_STREAM_NO_ROOM;
    for (;;) {
        if (used_ < 4) {
            if (endOfInput && used_ != 0) {
                Drop(used_);
                continue;
            }
            return FRAME_STREAM_NEED_MORE;
        }
        const std::uint32_t width = LengthFieldWidth(Read(0, 4));
        const std::uint32_t headerSize = 4 + width;
        if (used_ < headerSize) {
            // Fewer than 8 bytes: too few for any frame to start among them.
            if (endOfInput) {
                Drop(used_);
                continue;
            }
            return FRAME_STREAM_NEED_MORE;
        }
        const std::uint64_t stated = Read(4, width);
        const std::uint64_t total = stated + headerSize;
        if (stated < kMinFramePayload || total > MaxFrameSize()) {
            Drop(1);
            continue;
        }
        // The fixed part must fit the payload, once its size is buffered.
        if (used_ >= headerSize + kBeforeFixedPart &&
            Read(headerSize + 3, 2) + kBeforeFixedPart + kChecksumSize > stated) {
            Drop(1);
            continue;
        }
        const auto frameSize = static_cast<std::uint32_t>(total);
        if (used_ < frameSize) {
            if (endOfInput) {
                Drop(1);
                continue;
            }
            return FRAME_STREAM_NEED_MORE;
        }
        if (CandidateHolds(frameSize, frame)) {
            if (states_ != nullptr) CopyOut(frame, frameSize);
            Consume(frameSize);
            *size = frameSize;
            return FRAME_STREAM_FRAME;
        }
        Drop(1);
        if (corrupt_ != 0xFFFFFFFFu) ++corrupt_;
        return FRAME_STREAM_CORRUPT;
    }
}

}  // namespace xqova
