// The writer behind the messages' XML templates.
//
// One template run both sizes and writes the text: with a null buffer the
// pieces are only counted, so the size and the text cannot disagree.
#ifndef XQOVA_MESSAGE_XML_TEXT_H
#define XQOVA_MESSAGE_XML_TEXT_H

#include <cstddef>
#include <cstdint>

namespace xqova {

class XmlText {
public:
    // With `safe`, text from outside (Text) is written in its well-formed
    // form (see SafeCdataText in xqova/core/xml_chars.h); otherwise as it is.
    explicit XmlText(char* buffer, bool safe = false) : buffer_(buffer), count_(0), safe_(safe) {}

    void Put(const char* text);
    void Put(const char* text, std::size_t length);
    // Text a message carries, inside a CDATA section.
    void Text(const char* text, std::size_t length);
    // A piece with placeholders; every formatted piece of the templates is
    // shorter than 256 characters.
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    void Format(const char* format, ...);
    // Each byte as a decimal number followed by a semicolon.
    void ByteList(const unsigned char* bytes, std::size_t count);
    // The braced text of a 16-byte identifier.
    void Guid(const unsigned char (&bytes)[16]);

    // Ends the text with a zero byte; returns its size with that zero, or 0
    // when the size does not fit 32 bits.
    std::uint32_t Finish();

private:
    char* buffer_;
    std::uint64_t count_;
    bool safe_;
};

}  // namespace xqova

#endif
