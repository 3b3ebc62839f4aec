#include "xqova/message/stream_reader.h"

#include "xqova/core/class_id.h"
#include "xqova/core/crc16.h"
#include "xqova/core/frame_header.h"

namespace xqova {

FrameStreamReader::FrameStreamReader(unsigned char* storage, std::uint32_t capacity)
    : queue_(storage, capacity, 0), discarded_(0), corrupt_(0) {}

std::uint32_t FrameStreamReader::Feed(const unsigned char* bytes, std::uint32_t count) {
    if (bytes == nullptr) return 0;
    const std::uint32_t room = queue_.get_num_free();
    const std::uint32_t taken = count < room ? count : room;
    queue_.enqueue_array(bytes, taken);
    return taken;
}

void FrameStreamReader::Drop(std::uint32_t count) {
    queue_.dequeue_array(count);
    discarded_ = discarded_ > 0xFFFFFFFFu - count ? 0xFFFFFFFFu : discarded_ + count;
}

void FrameStreamReader::Clear() { queue_.dequeue_array(queue_.get_num_used()); }

FrameStreamStatus_e FrameStreamReader::Next(unsigned char* frame, std::uint32_t capacity, std::uint32_t* size,
                                            bool endOfInput) {
    if (size != nullptr) *size = 0;
    if (frame == nullptr || size == nullptr || capacity < MaxFrameSize()) return FRAME_STREAM_NO_ROOM;
    for (;;) {
        const std::uint32_t used = queue_.get_num_used();
        // Looking ahead through a copy of the queue consumes nothing.
        uint8QManager ahead = queue_;
        unsigned char header[8];
        if (ahead.dequeue_array(header, 4) == 0) {
            if (endOfInput && used != 0) {
                Drop(used);
                continue;
            }
            return FRAME_STREAM_NEED_MORE;
        }
        const std::uint32_t width = LengthFieldWidth(ReadInt32(header));
        if (ahead.dequeue_array(header + 4, width) == 0) {
            if (endOfInput) {
                Drop(1);
                continue;
            }
            return FRAME_STREAM_NEED_MORE;
        }
        const std::uint64_t stated = width == 4 ? ReadInt32(header + 4) : ReadInt16(header + 4);
        const std::uint64_t total = stated + 4u + width;
        if (stated < kMinFramePayload || total > MaxFrameSize()) {
            Drop(1);
            continue;
        }
        const auto frameSize = static_cast<std::uint32_t>(total);
        if (used < frameSize) {
            if (endOfInput) {
                Drop(1);
                continue;
            }
            return FRAME_STREAM_NEED_MORE;
        }
        ahead = queue_;
        ahead.dequeue_array(frame, frameSize);
        if (ChecksumHolds(frame, frameSize - 2)) {
            queue_.dequeue_array(frameSize);
            *size = frameSize;
            return FRAME_STREAM_FRAME;
        }
        Drop(1);
        if (corrupt_ != 0xFFFFFFFFu) ++corrupt_;
        return FRAME_STREAM_CORRUPT;
    }
}

}  // namespace xqova
