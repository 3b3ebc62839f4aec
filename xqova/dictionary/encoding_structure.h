// The layout of the header of an object encoding and the one reader of an
// encoding's structure. This is the one place that knows at which offsets
// the header fields of an encoding lie and where nested encodings and size
// prefixes sit; everything else asks here. Not installed.
#ifndef XQOVA_DICTIONARY_ENCODING_STRUCTURE_H
#define XQOVA_DICTIONARY_ENCODING_STRUCTURE_H

#include <cstddef>
#include <cstdint>

#include "xqova/core/bytes.h"
#include "xqova/core/types.h"
#include "xqova/dictionary/member_type.h"

namespace xqova {

// Offsets of the header fields of an object encoding, for a length field of
// `width` (2 or 4) bytes.
struct EncodingLayout {
    static constexpr std::size_t kClassId = 0;
    static constexpr std::size_t kLength = 4;
    static constexpr std::size_t Version(std::size_t width) { return 4 + width; }
    static constexpr std::size_t Status(std::size_t width) { return 6 + width; }
    static constexpr std::size_t FixedSize(std::size_t width) { return 7 + width; }
    static constexpr std::size_t FixedSection(std::size_t width) { return 9 + width; }
    static constexpr std::size_t kChecksumSize = 2;
    // The smallest encoding: header, version, status, fixed size, checksum.
    static constexpr std::size_t Minimum(std::size_t width) { return 11 + width; }
};

// The one reader of the structure of encodings: the decoder and the
// construction of objects from bytes both step through an encoding with
// these, so they agree on where every header field, nested encoding and
// size prefix lies. None of them checks a checksum.

// A window [pos, end) of bytes; every read is checked against end.
class ByteWindow {
public:
    ByteWindow() = default;  // empty
    ByteWindow(const unsigned char* bytes, std::size_t pos, std::size_t end) : bytes_(bytes), pos_(pos), end_(end) {}
    std::size_t Remaining() const { return end_ - pos_; }
    bool AtEnd() const { return pos_ == end_; }
    const unsigned char* Here() const { return bytes_ + pos_; }
    bool Skip(std::size_t n) {
        if (Remaining() < n) return false;
        pos_ += n;
        return true;
    }
    bool U16(std::uint16_t* v) {
        if (Remaining() < 2) return false;
        *v = LoadBig16(bytes_ + pos_);
        pos_ += 2;
        return true;
    }
    bool U32(std::uint32_t* v) {
        if (Remaining() < 4) return false;
        *v = LoadBig32(bytes_ + pos_);
        pos_ += 4;
        return true;
    }

private:
    const unsigned char* bytes_{};
    std::size_t pos_{};
    std::size_t end_{};
};

// The total size of the encoding at p when its header lies within
// `available` bytes and states at least a complete header and no more than
// `available`; 0 otherwise.
inline std::size_t EncodingExtent(const unsigned char* p, std::size_t available) {
    if (available < 4) return 0;
    const std::size_t total = BoundedTotal(p, available);
    return total >= EncodingLayout::Minimum(HeaderLengthWidth(LoadBig32(p))) ? total : 0;
}

// The header of an encoding whose extent is known to be sound.
struct EncodingHeader {
    std::uint32_t classId = kNoClass;
    std::size_t width = 2;
    std::size_t total{};
    std::uint16_t version{};
    std::uint8_t status{};
    std::uint16_t fixedSize{};

    // False, with nothing read, when the bytes hold no encoding extent
    // (EncodingExtent gives 0).
    bool Read(const unsigned char* p, std::size_t available) {
        total = EncodingExtent(p, available);
        if (total == 0) return false;
        classId = LoadBig32(p);
        width = HeaderLengthWidth(classId);
        version = LoadBig16(p + EncodingLayout::Version(width));
        status = p[EncodingLayout::Status(width)];
        fixedSize = LoadBig16(p + EncodingLayout::FixedSize(width));
        return true;
    }
    std::size_t FixedStart() const { return EncodingLayout::FixedSection(width); }
    // Where the checksum starts: the end of the variable section.
    std::size_t ChecksumAt() const { return total - EncodingLayout::kChecksumSize; }
};

// A single nested object at the window's position: u32 size, then an
// encoding of exactly that size. Gives the encoding and its size and steps
// over both; false (the window possibly moved) when they do not lie within it.
inline bool NextNestedObject(ByteWindow* window, const unsigned char** nested, std::size_t* size) {
    std::uint32_t stated;
    if (!window->U32(&stated) || stated == 0 || stated > window->Remaining()) return false;
    if (EncodingExtent(window->Here(), stated) != stated) return false;  // 0 when no header fits
    *nested = window->Here();
    *size = stated;
    window->Skip(stated);
    return true;
}

// One element of a vector: an optional u16 size, then an encoding (of
// exactly that size when the size is there). Gives the element and its size
// and steps over both; false when they do not lie within the window.
inline bool NextVectorElement(ByteWindow* window, bool sizePrefixes, const unsigned char** element,
                              std::size_t* size) {
    if (sizePrefixes) {
        std::uint16_t prefix;
        if (!window->U16(&prefix) || prefix == 0 || prefix > window->Remaining()) return false;
        if (EncodingExtent(window->Here(), prefix) != prefix) return false;  // 0 when no header fits
        *size = prefix;
    } else {
        *size = EncodingExtent(window->Here(), window->Remaining());
        if (*size == 0) return false;
    }
    *element = window->Here();
    window->Skip(*size);
    return true;
}

// Steps over a vector: u16 count, then its elements. Gives the count and the
// version of the last element (kCurrentVersion, the newest, when there is
// none); false when the vector does not lie within the window.
inline bool SkipVector(ByteWindow* window, bool sizePrefixes, std::uint16_t* count, std::uint16_t* lastVersion) {
    *lastVersion = kCurrentVersion;
    if (!window->U16(count)) return false;
    for (std::uint32_t i = 0; i < *count; ++i) {
        const unsigned char* element;
        std::size_t size;
        if (!NextVectorElement(window, sizePrefixes, &element, &size)) return false;
        *lastVersion = LoadBig16(element + EncodingLayout::Version(HeaderLengthWidth(LoadBig32(element))));
    }
    return true;
}

// Steps over an UNBOUNDED member: u16 byte length, then the bytes. Gives the
// length; false when they do not lie within the window.
inline bool SkipUnbounded(ByteWindow* window, std::uint16_t* bytes) {
    return window->U16(bytes) && window->Skip(*bytes);
}

}  // namespace xqova

#endif
