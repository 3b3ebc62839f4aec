// Encodings of built-in classes whose XML documents pass 4 GiB, built byte
// by byte: a CNumDExtStd (0x00751200, version 200, length width 4) holds
// other CNumDExtStd in its ANY_CLASS Container, the innermost ones 65,535
// copies of the 13-byte CDeviceCStd (0x00180800) at version 0, which has no
// members at that version.
//
//   Wide():  outer -> 27 x inner -> 65,535 leaves; 23,003,261 bytes. Its
//            UTF-16 document passes 4 GiB, its 8-bit one does not.
//   Deep():  outer -> 1 -> 54 x inner -> 65,535 leaves; 46,006,522 bytes.
//            Its 8-bit document passes 4 GiB too.
#ifndef XQOVA_TESTS_SUPPORT_LARGE_ENCODING_H
#define XQOVA_TESTS_SUPPORT_LARGE_ENCODING_H

#include <cstdint>
#include <vector>

#include "xqova/core/class_id.h"
#include "xqova/core/crc16.h"

namespace xqova_test {

using Encoding = std::vector<unsigned char>;

inline void Stamp(Encoding* e) {
    WriteInt16(&(*e)[e->size() - 2], CalculateCRC(e->data(), static_cast<std::uint32_t>(e->size() - 2)));
}

// CDeviceCStd at version 0: header, length 7, version 0, status 0, X = 0.
inline Encoding DeviceLeaf() {
    Encoding e = {0x00, 0x18, 0x08, 0x00, 0x00, 0x07, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    Stamp(&e);
    return e;
}

// A CNumDExtStd at version 200 whose Container holds `count` copies of
// `element` (an ANY_CLASS vector: no size before each element).
inline Encoding NumExtHolding(const Encoding& element, std::uint16_t count) {
    const std::uint64_t total = 4 + 4 + 2 + 1 + 2 + 2 + std::uint64_t{count} * element.size() + 2;
    // Class, length, version 200, status, an empty fixed section, the count.
    Encoding e = {0x00, 0x75, 0x12, 0x00, 0, 0, 0, 0, 0x00, 0xC8, 0x00, 0x00, 0x00, 0, 0};
    e.reserve(static_cast<std::size_t>(total));
    WriteInt32(&e[4], static_cast<std::uint32_t>(total - 8));
    WriteInt16(&e[13], count);
    for (std::uint16_t i = 0; i < count; ++i) e.insert(e.end(), element.begin(), element.end());
    e.push_back(0);
    e.push_back(0);
    Stamp(&e);
    return e;
}

inline Encoding Wide() { return NumExtHolding(NumExtHolding(DeviceLeaf(), 65535), 27); }
inline Encoding Deep() { return NumExtHolding(NumExtHolding(NumExtHolding(DeviceLeaf(), 65535), 54), 1); }

}  // namespace xqova_test

#endif
