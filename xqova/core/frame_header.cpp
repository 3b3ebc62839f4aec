#include "xqova/core/frame_header.h"

#include "xqova/core/bytes.h"
#include "xqova/core/class_id.h"

namespace xqova {

bool IsExtendedClass(std::uint32_t classId) { return ExtendedClass(classId); }

std::uint16_t LengthFieldWidth(std::uint32_t classId) { return HeaderLengthWidth(classId); }

std::uint32_t EncodedSize(const unsigned char* p) {
    if (p == nullptr) return 0;
    const std::uint16_t width = LengthFieldWidth(ReadInt32(p));
    const std::uint32_t length = width == 4 ? ReadInt32(p + 4) : ReadInt16(p + 4);
    return length + 4u + width;
}

std::size_t BoundedEncodedSize(const unsigned char* p, std::size_t available) { return BoundedTotal(p, available); }

}  // namespace xqova
