#include "xqova/core/guid_time.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr std::size_t kGuidTextSize = 39;
}  // namespace

char* GUIDToStr(const unsigned char* bytes, char* text, std::uint16_t count) {
    char work[kGuidTextSize] = {'{'};
    std::size_t at = 1;
    for (std::uint16_t i = 0; i < count && i < 16; ++i) {
        work[at++] = kHexDigits[bytes[i] >> 4];
        work[at++] = kHexDigits[bytes[i] & 0x0F];
        if (i == 3 || i == 5 || i == 7 || i == 9) work[at++] = '-';
    }
    work[at] = '}';
    std::memcpy(text, work, kGuidTextSize);
    return text;
}

unsigned char* StrToGuid(const char* text, std::uint16_t textLength, unsigned char* bytes, std::uint16_t count) {
    if (count != 0) std::memset(bytes, 0, count);
    // One spare zero after the 39 collected characters keeps an odd final pair
    // terminated.
    char digits[kGuidTextSize + 1] = {};
    std::size_t collected = 0;
    for (std::uint16_t i = 0; i < textLength && collected < kGuidTextSize; ++i) {
        const char c = text[i];
        if (c == '-' || c == '{' || c == '}') continue;
        digits[collected++] = c;
    }
    if (collected == 0 || (collected + 1) / 2 > count) return bytes;
    std::size_t out = 0;
    for (std::size_t i = 0; i < collected; i += 2) {
        const char pair[3] = {digits[i], digits[i + 1], '\0'};
        bytes[out++] = static_cast<unsigned char>(std::strtol(pair, nullptr, 16) & 0xFF);
    }
    return bytes;
}

char* TimeToStr(const QOVA_TIME* time, char* text) {
    if (text == nullptr) return nullptr;
    std::snprintf(text, 30, "%.4u/%.2u/%.2u %.2u:%.2u:%.2u %.2u", static_cast<unsigned>(time->year),
                  static_cast<unsigned>(time->month), static_cast<unsigned>(time->day),
                  static_cast<unsigned>(time->hour), static_cast<unsigned>(time->minute),
                  static_cast<unsigned>(time->second), static_cast<unsigned>(time->fraction));
    return text;
}

namespace xqova {

unsigned TimeTextLength(const QOVA_TIME& time) {
    unsigned length = 22;
    if (time.year > 9999) ++length;
    const std::uint8_t fields[] = {time.month, time.day, time.hour, time.minute, time.second, time.fraction};
    for (std::uint8_t f : fields) {
        if (f > 99) ++length;
    }
    return length;
}

}  // namespace xqova
