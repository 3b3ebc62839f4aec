#include "xqova/message/owned_bytes.h"

#include <cstring>

#include "xqova/core/memory.h"

namespace xqova {

unsigned char* NewOwnedBytes(const unsigned char* source, std::uint16_t count) {
    if (count == 0) return nullptr;
    auto* bytes = static_cast<unsigned char*>(Allocate(static_cast<std::size_t>(count) + 1));
    if (bytes == nullptr) return nullptr;
    if (source != nullptr) {
        std::memcpy(bytes, source, count);
    } else {
        std::memset(bytes, 0, count);
    }
    bytes[count] = 0;
    return bytes;
}

void ReleaseOwnedBytes(unsigned char*& bytes) {
    Release(bytes);
    bytes = nullptr;
}

unsigned char ReplaceOwnedBytes(unsigned char*& field, std::uint16_t& length, const unsigned char* source,
                                std::uint16_t count) {
    unsigned char* copy = NewOwnedBytes(source, count);
    if (copy == nullptr && count != 0) return 0;
    ReleaseOwnedBytes(field);
    field = copy;
    length = count;
    return 1;
}

unsigned char SetOwnedBytes(unsigned char*& field, std::uint16_t& length, const unsigned char* bytes,
                            std::uint16_t count) {
    return ReplaceOwnedBytes(field, length, bytes, bytes == nullptr ? 0 : count);
}

void CopyOwnedBytes(unsigned char*& field, std::uint16_t& length, const unsigned char* source, std::uint16_t count) {
    // The other field's pointer is null exactly when its count is 0.
    field = NewOwnedBytes(source, count);
    length = field != nullptr ? count : 0;
}

bool ReadOwnedRun(uint8QManager* queue, unsigned char*& field, std::uint16_t& length) {
    std::uint16_t count;  // written by get() only when it succeeds, read only then
    if (queue->get(&count) == 0 || queue->get_num_used() < 2 || count > queue->get_num_used()) return false;
    if (ReplaceOwnedBytes(field, length, nullptr, count) == 0) return false;
    queue->dequeue_array(field, count);
    return true;
}

void StoreSize(std::uint16_t* size, std::uint16_t value) {
    if (size != nullptr) *size = value;
}

unsigned char SetDeviceIdentifier(unsigned char (&guid)[16], const unsigned char* bytes, std::uint16_t count) {
    std::memset(guid, 0, sizeof guid);
    if (count > sizeof guid) return 0;
    if (bytes != nullptr) std::memcpy(guid, bytes, count);
    return 1;
}

}  // namespace xqova
