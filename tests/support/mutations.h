// Hostile variants of a sound byte string, for every test of received bytes:
// each proper prefix, each byte changed by each mask, and a length or count
// field set to each edge value. Every variant lies in a heap block of exactly
// its own size, so that AddressSanitizer sees any read past it.
#ifndef XQOVA_TESTS_SUPPORT_MUTATIONS_H
#define XQOVA_TESTS_SUPPORT_MUTATIONS_H

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "xqova/core/class_id.h"
#include "xqova/core/crc16.h"
#include "xqova/core/frame_header.h"

namespace test_mutations {

using Bytes = std::vector<unsigned char>;

// Gives the encoding or frame that fills `bytes` a header that agrees with
// it: its length field (of its class's width) states its size, and its
// checksum is written again.
inline void Restate(Bytes& bytes) {
    const unsigned width = xqova::LengthFieldWidth(ReadInt32(bytes.data()));
    const std::uint32_t length = static_cast<std::uint32_t>(bytes.size() - 4 - width);
    if (width == 4) WriteInt32(bytes.data() + 4, length);
    if (width == 2) WriteInt16(bytes.data() + 4, static_cast<std::uint16_t>(length));
    WriteInt16(bytes.data() + bytes.size() - 2, CalculateCRC(bytes.data(), static_cast<std::uint32_t>(bytes.size() - 2)));
}

// check(prefix, n) for n = 0 .. size - 1.
template <class Check>
void EveryPrefix(const Bytes& bytes, Check check) {
    for (std::size_t n = 0; n < bytes.size(); ++n) check(Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n)), n);
}

// check(changed, i, mask) for every byte from `from` on and every mask.
template <class Check>
void EveryByteChange(const Bytes& bytes, std::initializer_list<unsigned char> masks, Check check, std::size_t from = 0) {
    for (std::size_t i = from; i < bytes.size(); ++i) {
        for (unsigned char mask : masks) {
            Bytes changed = bytes;
            changed[i] ^= mask;
            check(changed, i, mask);
        }
    }
}

// check(changed, value) with the big-endian field of `width` (2 or 4) bytes
// at `offset` set to 0, 1, one below and one above its value, 0xFFFF and,
// for 4 bytes, 0xFFFFFFFF.
template <class Check>
void EveryEdgeValue(const Bytes& bytes, std::size_t offset, unsigned width, Check check) {
    const std::uint32_t original = width == 2 ? ReadInt16(&bytes[offset]) : ReadInt32(&bytes[offset]);
    std::vector<std::uint32_t> values = {0, 1, original - 1, original + 1, 0xFFFF};
    if (width == 4) values.push_back(0xFFFFFFFFu);
    for (std::uint32_t value : values) {
        Bytes changed = bytes;
        if (width == 2) {
            WriteInt16(&changed[offset], static_cast<std::uint16_t>(value));
        } else {
            WriteInt32(&changed[offset], value);
        }
        check(changed, value);
    }
}

// The parts one after the other.
inline Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

}  // namespace test_mutations

#endif
