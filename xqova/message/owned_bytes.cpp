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

}  // namespace xqova
