// Internal byte routines through which stored numbers are read and written.
// All of them are inline: the readers and writers of encodings call them for
// every field, and a call across files costs more than the work.
#ifndef XQOVA_CORE_BYTES_H
#define XQOVA_CORE_BYTES_H

#include <cstddef>
#include <cstdint>

namespace xqova {

// Big-endian fields: the pointer forms do not test their pointer.
inline std::uint16_t LoadBig16(const unsigned char* p) {
    return static_cast<std::uint16_t>((static_cast<unsigned>(p[0]) << 8) | p[1]);
}
inline std::uint32_t LoadBig32(const unsigned char* p) {
    return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
           (static_cast<std::uint32_t>(p[2]) << 8) | p[3];
}
inline void StoreBig16(unsigned char* p, std::uint16_t v) {
    p[0] = static_cast<unsigned char>(v >> 8);
    p[1] = static_cast<unsigned char>(v & 0xFF);
}
inline void StoreBig32(unsigned char* p, std::uint32_t v) {
    p[0] = static_cast<unsigned char>(v >> 24);
    p[1] = static_cast<unsigned char>((v >> 16) & 0xFF);
    p[2] = static_cast<unsigned char>((v >> 8) & 0xFF);
    p[3] = static_cast<unsigned char>(v & 0xFF);
}

// The header of encoded objects and message frames: a class identifier,
// then a length field of 2 bytes, or 4 for an extended class, counting the
// bytes after it up to and including the checksum. The rule of
// xqova/core/frame_header.h, inline for the readers of encodings.
inline bool ExtendedClass(std::uint32_t classId) {
    const std::uint32_t family = classId >> 16;
    const std::uint32_t genus = (classId >> 8) & 0xFF;
    if (family == 23 && genus != 16) return true;
    if (family == 92) return true;
    if (genus == 18) return true;
    return classId == 0x001B0000u || classId == 0x00010000u || classId == 0x00660080u || classId == 0x006C00FFu;
}
inline std::uint16_t HeaderLengthWidth(std::uint32_t classId) { return ExtendedClass(classId) ? 4 : 2; }

// Total size (4 + width + stated length) of the encoding or frame at p when
// its header lies within `available` bytes and its stated total fits in
// them; 0 otherwise.
inline std::size_t BoundedTotal(const unsigned char* p, std::size_t available) {
    if (p == nullptr || available < 6) return 0;
    const std::uint16_t width = HeaderLengthWidth(LoadBig32(p));
    if (available < 4u + width) return 0;
    const std::uint64_t length = width == 4 ? LoadBig32(p + 4) : LoadBig16(p + 4);
    const std::uint64_t total = length + 4u + width;
    return total <= available ? static_cast<std::size_t>(total) : 0;
}

}  // namespace xqova

#endif
