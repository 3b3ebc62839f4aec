#include "xqova/message/xml_text.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "xqova/core/guid_time.h"
#include "xqova/core/xml_chars.h"

namespace xqova {

void XmlText::Put(const char* text) { Put(text, std::strlen(text)); }

void XmlText::Put(const char* text, std::size_t length) {
    if (buffer_ != nullptr) std::memcpy(buffer_ + count_, text, length);
    count_ += length;
}

void XmlText::Text(const char* text, std::size_t length) {
    if (!safe_) return Put(text, length);
    unsigned brackets = 0;
    count_ += SafeCdataText(text, length, buffer_ == nullptr ? nullptr : buffer_ + count_, &brackets);
}

void XmlText::Format(const char* format, ...) {
    char piece[256];
    va_list arguments;
    va_start(arguments, format);
    const int length = std::vsnprintf(piece, sizeof piece, format, arguments);
    va_end(arguments);
    // A piece that did not fit is cut at the zero that ends what was written.
    if (length > 0) Put(piece);
}

void XmlText::ByteList(const unsigned char* bytes, std::size_t count) {
    if (bytes == nullptr) return;
    for (std::size_t i = 0; i < count; ++i) {
        char piece[4];
        std::size_t length = 0;
        const unsigned value = bytes[i];
        if (value >= 100) piece[length++] = static_cast<char>('0' + value / 100);
        if (value >= 10) piece[length++] = static_cast<char>('0' + value / 10 % 10);
        piece[length++] = static_cast<char>('0' + value % 10);
        piece[length++] = ';';
        Put(piece, length);
    }
}

void XmlText::Guid(const unsigned char (&bytes)[16]) {
    char text[sizeof "{00000000-0000-0000-0000-000000000000}"];
    GUIDToStr(bytes, text, sizeof bytes);
    Put(text);
}

std::uint32_t XmlText::Finish() {
    if (buffer_ != nullptr) buffer_[count_] = '\0';
    const std::uint64_t size = count_ + 1;
    return size > 0xFFFFFFFFu ? 0 : static_cast<std::uint32_t>(size);
}

}  // namespace xqova
