// GUID text from outside: StrToGuid must never write past `count` bytes nor
// read past `textLength` characters, and text it makes from 16 bytes must
// read back into the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "xqova/core/guid_time.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::uint16_t count = data[0] % 24;
    const char* text = reinterpret_cast<const char*>(data + 1);
    const std::uint16_t length = static_cast<std::uint16_t>(size - 1 > 0xFFFF ? 0xFFFF : size - 1);
    std::vector<unsigned char> bytes(count);
    StrToGuid(text, length, bytes.data(), count);

    if (size >= 17) {
        char guid[39];
        GUIDToStr(data + 1, guid, 16);
        unsigned char back[16];
        StrToGuid(guid, 38, back, 16);
        if (std::memcmp(back, data + 1, 16) != 0) __builtin_trap();
    }
    return 0;
}
