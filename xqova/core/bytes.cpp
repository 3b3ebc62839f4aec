#include "xqova/core/bytes.h"

namespace xqova {

void CopyBytes(void* destination, std::uint16_t capacity, const void* source, std::uint16_t count) {
    if (destination == nullptr || source == nullptr || capacity == 0) return;
    auto* d = static_cast<unsigned char*>(destination);
    const auto* s = static_cast<const unsigned char*>(source);
    for (std::uint16_t i = 0; i < count && i < capacity; ++i) d[i] = s[i];
}

void CopyBytesReversed(void* destination, std::uint16_t capacity, const void* source, std::uint16_t count) {
    if (destination == nullptr || source == nullptr || capacity == 0) return;
    auto* d = static_cast<unsigned char*>(destination);
    const auto* s = static_cast<const unsigned char*>(source);
    for (std::uint16_t i = 0; i < count && i < capacity; ++i) d[i] = s[count - 1 - i];
}

std::uint16_t CompareBytesReversed(const void* a, const void* b, std::uint16_t count) {
    if (count == 0) return 0;
    if (a == nullptr || b == nullptr) return count;
    const auto* pa = static_cast<const unsigned char*>(a);
    const auto* pb = static_cast<const unsigned char*>(b);
    for (std::uint16_t i = 0; i < count; ++i) {
        if (pa[i] != pb[count - 1 - i]) return static_cast<std::uint16_t>(count - i);
    }
    return 0;
}

}  // namespace xqova
