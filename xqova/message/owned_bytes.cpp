#include "xqova/message/owned_bytes.h"

#include <cstring>

#include "xqova/core/memory.h"

namespace xqova {

unsigned char* NewOwnedBytes(const unsigned char* source, std::size_t count) {
    if (count == 0 || count == static_cast<std::size_t>(-1)) return nullptr;
    auto* bytes = static_cast<unsigned char*>(Allocate(count + 1));
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

unsigned char SetDeviceIdentifier(unsigned char (&guid)[16], const unsigned char* bytes, std::size_t count) {
    std::memset(guid, 0, sizeof guid);
    if (count > sizeof guid) return 0;
    if (bytes != nullptr && count != 0) std::memcpy(guid, bytes, count);
    return 1;
}

}  // namespace xqova
