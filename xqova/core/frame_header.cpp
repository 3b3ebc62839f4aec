#include "xqova/core/frame_header.h"

#include "xqova/core/class_id.h"

namespace xqova {

bool IsExtendedClass(std::uint32_t classId) {
    const std::uint16_t family = GetFamily(classId);
    const std::uint8_t genus = GetGenus(classId);
    if (family == 23 && genus != 16) return true;
    if (family == 92) return true;
    if (genus == 18) return true;
    return classId == 0x001B0000u || classId == 0x00010000u || classId == 0x00660080u || classId == 0x006C00FFu;
}

std::uint16_t LengthFieldWidth(std::uint32_t classId) { return IsExtendedClass(classId) ? 4 : 2; }

std::uint32_t EncodedSize(const unsigned char* p) {
    if (p == nullptr) return 0;
    const std::uint16_t width = LengthFieldWidth(ReadInt32(p));
    const std::uint32_t length = width == 4 ? ReadInt32(p + 4) : ReadInt16(p + 4);
    return length + 4u + width;
}

std::size_t BoundedEncodedSize(const unsigned char* p, std::size_t available) {
    if (p == nullptr || available < 6) return 0;
    const std::uint16_t width = LengthFieldWidth(ReadInt32(p));
    if (available < 4u + width) return 0;
    const std::uint64_t length = width == 4 ? ReadInt32(p + 4) : ReadInt16(p + 4);
    const std::uint64_t total = length + 4u + width;
    return total <= available ? static_cast<std::size_t>(total) : 0;
}

}  // namespace xqova
