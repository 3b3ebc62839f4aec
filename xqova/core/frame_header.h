// The header shared by encoded objects and message frames: a class
// identifier, then a length field of 2 bytes, or 4 for an extended class,
// counting the bytes that follow it up to and including the checksum.
#ifndef XQOVA_CORE_FRAME_HEADER_H
#define XQOVA_CORE_FRAME_HEADER_H

#include <cstddef>
#include <cstdint>

namespace xqova {

// The one rule that decides whether a class carries a 32-bit length field.
bool IsExtendedClass(std::uint32_t classId);

// 4 for an extended class, else 2.
std::uint16_t LengthFieldWidth(std::uint32_t classId);

// Total size of the encoding or frame at p (4 + width + stated length), read
// from its header alone; 0 for a null pointer. Trusts the header: use
// BoundedEncodedSize for bytes that came from outside.
std::uint32_t EncodedSize(const unsigned char* p);

// Total size of the encoding or frame at p when its header lies within
// `available` bytes and its stated total fits in them; 0 otherwise.
std::size_t BoundedEncodedSize(const unsigned char* p, std::size_t available);

}  // namespace xqova

#endif
