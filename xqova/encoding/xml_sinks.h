// Sinks of the XML documents: where a document's pieces go. Each sink
// writes into a buffer or, without one, only counts what it would write; the
// measuring call and the writing call thus run the very same code.
#ifndef XQOVA_ENCODING_XML_SINKS_H
#define XQOVA_ENCODING_XML_SINKS_H

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "xqova/core/guid_time.h"
#include "xqova/core/xml_chars.h"
#include "xqova/encoding/utf16.h"
#include "xqova/encoding/xml_text.h"

namespace xqova {
namespace xml {

// The four kinds of output; a template (xml_template.h) holds the constant
// text of a document in one of them.
enum class Variant : std::uint8_t { kChar = 0, kUtf16 = 1, kSafeChar = 2, kSafeUtf16 = 3 };

// Every document, measured or written, is counted in 64 bits; one longer
// than a 32-bit result can state is refused before its first byte is written.
constexpr std::uint64_t kMaxDocument = 0xFFFFFFFFu;

// Sinks: where the document's pieces go. Each sink writes into a buffer or,
// without one, only counts what it would write; the measuring call and the
// writing call thus run the very same walk.
//   Ascii(s, n)              literal text of the grammar, numbers
//   Name(s, n)               a name from a definition, inside an attribute
//   Text(s, n)               8-bit text of a value, one conversion piece
//   Character / WideCharacter  character values (see xml_text.h)
//   CodePoint(cp)            one character, in the sink's encoding
//   Skip(n)                  n ASCII characters, counted only
//   Constant(bytes, n)       n bytes of a template's text, already in the
//                            sink's own form (xml_template.h)

// Number and time texts, formatted into a small local buffer and handed on
// as ASCII; a counting sink only counts their characters.
template <class Sink>
class Formatting {
public:
    void Unsigned(std::uint32_t v) {
        if (Self().Counting()) return Self().Skip(DecimalLength(v));
        char text[kNumberTextSize];
        Self().Ascii(text, UnsignedText(v, text));
    }
    void Signed(std::int32_t v) {
        if (Self().Counting()) return Self().Skip(SignedDecimalLength(v));
        char text[kNumberTextSize];
        Self().Ascii(text, SignedText(v, text));
    }
    void Float(double v, bool single) {
        char text[kNumberTextSize];
        Self().Ascii(text, FloatText(v, single, text));
    }
    void Time(const QOVA_TIME& time) {
        if (Self().Counting()) return Self().Skip(TimeTextLength(time));
        char text[30];
        Self().Ascii(text, TimeText(time, text));
    }

private:
    Sink& Self() { return static_cast<Sink&>(*this); }
};

// 8-bit text straight into the caller's buffer.
class CharSink : public Formatting<CharSink> {
public:
    // Elements are written only when their documents stay within their
    // stored base sizes (see xml_document.h).
    static constexpr bool kBoundByBase = true;
    static constexpr Variant kVariant = Variant::kChar;

    explicit CharSink(char* out) : out_(out), length_(0) {}
    static CharSink Over(unsigned char* out) { return CharSink(reinterpret_cast<char*>(out)); }

    bool Counting() const { return out_ == nullptr; }
    void Skip(std::size_t n) { length_ += n; }
    void Ascii(const char* s, std::size_t n) {
        if (out_ != nullptr) std::memcpy(out_ + length_, s, n);
        length_ += n;
    }
    void Constant(const unsigned char* s, std::size_t n) {
        if (out_ != nullptr) std::memcpy(out_ + length_, s, n);
        length_ += n;
    }
    void Text(const char* s, std::size_t n) { Ascii(s, n); }
    void Name(const char* s, std::size_t n) { Ascii(s, n); }
    // Only characters that fit one byte are written.
    void Character(std::uint16_t, std::uint32_t c) {
        if (c < 256) Byte(static_cast<char>(c));
    }
    bool WideCharacter(std::uint32_t c) {
        if (c > 255) return false;
        Byte(static_cast<char>(c));
        return true;
    }
    void CodePoint(std::uint32_t cp) {
        unsigned char bytes[4];
        Constant(bytes, EncodeUtf8(cp, bytes));
    }
    void Terminate() { Byte('\0'); }
    std::uint64_t Bytes() const { return length_; }

private:
    void Byte(char c) {
        if (out_ != nullptr) out_[length_] = c;
        ++length_;
    }

    char* out_;
    std::uint64_t length_;
};

// UTF-16 code units, or only their count when there is no buffer.
class Utf16Sink : public Formatting<Utf16Sink> {
public:
    static constexpr bool kBoundByBase = false;
    static constexpr Variant kVariant = Variant::kUtf16;

    explicit Utf16Sink(unsigned short* out) : out_(out), units_(0) {}
    static Utf16Sink Over(unsigned char* out) { return Utf16Sink(reinterpret_cast<unsigned short*>(out)); }

    bool Counting() const { return out_ == nullptr; }
    void Skip(std::size_t n) { units_ += n; }
    void Ascii(const char* s, std::size_t n) {
        if (out_ != nullptr) {
            for (std::size_t i = 0; i < n; ++i) out_[units_ + i] = static_cast<unsigned char>(s[i]);
        }
        units_ += n;
    }
    // `n` bytes of whole code units.
    void Constant(const unsigned char* s, std::size_t n) {
        if (out_ != nullptr) std::memcpy(out_ + units_, s, n);
        units_ += n / 2;
    }
    void Text(const char* s, std::size_t n) {
        units_ += Utf8ToUtf16(s, n, out_ == nullptr ? nullptr : out_ + units_) / 2;
    }
    void Name(const char* s, std::size_t n) { Text(s, n); }
    // A one-byte character is UTF-8 (a byte from 0x80 up is no character and
    // writes nothing); a wider one is a code unit as it stands.
    void Character(std::uint16_t elementSize, std::uint32_t c) {
        if (elementSize == 1) {
            const char byte = static_cast<char>(c);
            Text(&byte, 1);
        } else if ((c & 0xFFFFu) != 0) {
            Unit(static_cast<unsigned short>(c));
        }
    }
    bool WideCharacter(std::uint32_t c) {
        if ((c & 0xFFFFu) == 0) return false;
        Unit(static_cast<unsigned short>(c));
        return true;
    }
    void CodePoint(std::uint32_t cp) {
        unsigned short units[2];
        const std::size_t n = EncodeUtf16(cp, units);
        for (std::size_t k = 0; k < n; ++k) Unit(units[k]);
    }
    void Terminate() { Unit(0); }
    std::uint64_t Bytes() const { return units_ * 2; }

private:
    void Unit(unsigned short u) {
        if (out_ != nullptr) out_[units_] = u;
        ++units_;
    }

    unsigned short* out_;
    std::uint64_t units_;
};

// The well-formed form of a document: the same grammar and names written
// through `Out`, but every text the object or its definition supplies is
// made safe (see xml_document.h for the rules):
//   - names in attributes: & < > " ' become &amp; &lt; &gt; &quot; &apos;
//   - values in CDATA: "]]>" is split as "]]]]><![CDATA[>"
//   - 8-bit text is read as UTF-8, wide characters as UTF-16 code units;
//     whatever does not decode (a byte that starts no well-formed sequence,
//     a byte from 0x80 up in a one-byte character, a lone surrogate) and
//     every character outside the allowed set becomes U+FFFD.
template <class Out>
class SafeSink : public Formatting<SafeSink<Out>> {
public:
    static constexpr bool kBoundByBase = false;
    static constexpr Variant kVariant = Out::kVariant == Variant::kChar ? Variant::kSafeChar : Variant::kSafeUtf16;

    explicit SafeSink(Out out) : out_(out) {}
    static SafeSink Over(unsigned char* out) { return SafeSink(Out::Over(out)); }

    bool Counting() const { return out_.Counting(); }
    void Skip(std::size_t n) {
        Boundary();
        out_.Skip(n);
    }
    void Ascii(const char* s, std::size_t n) {
        Boundary();
        out_.Ascii(s, n);
    }
    // A template's text was made safe when it was built.
    void Constant(const unsigned char* s, std::size_t n) {
        Boundary();
        out_.Constant(s, n);
    }
    void Name(const char* s, std::size_t n) {
        Boundary();
        Decode(s, n, &SafeSink::Attribute);
    }
    void Text(const char* s, std::size_t n) { Decode(s, n, &SafeSink::Content); }
    void Character(std::uint16_t elementSize, std::uint32_t c) {
        if (elementSize == 1) {
            Content((c & 0x80u) == 0 ? (c & 0x7Fu) : kReplacement);  // a byte past ASCII is no character alone
        } else {
            Unit(c & 0xFFFFu);
            Boundary();
        }
    }
    bool WideCharacter(std::uint32_t c) {
        Unit(c & 0xFFFFu);
        return true;
    }
    void Terminate() {
        Boundary();
        out_.Terminate();
    }
    std::uint64_t Bytes() const { return out_.Bytes(); }

private:
    using Emit = void (SafeSink::*)(std::uint32_t);

    // A piece of 8-bit text, as UTF-8; each byte that starts no well-formed
    // sequence stands for one replacement character.
    void Decode(const char* s, std::size_t n, Emit emit) {
        Utf8Reader reader(s, n);
        for (std::uint32_t cp = 0; reader.Next(&cp);) (this->*emit)(cp);
    }
    // A UTF-16 code unit of a wide character text; surrogates pair up.
    void Unit(std::uint32_t u) {
        if (high_ != 0) {
            const std::uint32_t high = high_;
            high_ = 0;
            if (u >= 0xDC00u && u <= 0xDFFFu) {
                Content(0x10000u + ((high - 0xD800u) << 10) + (u - 0xDC00u));
                return;
            }
            Content(kReplacement);
        }
        if (u >= 0xD800u && u <= 0xDBFFu) {
            high_ = u;
        } else {
            Content(u);  // a lone low surrogate is replaced there
        }
    }
    // The end of a text: a high surrogate left waiting stands alone.
    void Boundary() {
        if (high_ != 0) Content(kReplacement);
        high_ = 0;
        brackets_ = 0;
    }
    void Content(std::uint32_t cp) {
        if (!XmlCharacterAllowed(cp)) cp = kReplacement;
        if (cp == '>' && brackets_ >= 2) out_.Ascii("]]><![CDATA[", 12);
        brackets_ = cp == ']' ? brackets_ + 1 : 0;
        out_.CodePoint(cp);
    }
    void Attribute(std::uint32_t cp) {
        if (!XmlCharacterAllowed(cp)) cp = kReplacement;
        switch (cp) {
            case '&':
                return out_.Ascii("&amp;", 5);
            case '<':
                return out_.Ascii("&lt;", 4);
            case '>':
                return out_.Ascii("&gt;", 4);
            case '"':
                return out_.Ascii("&quot;", 6);
            case '\'':
                return out_.Ascii("&apos;", 6);
            default:
                return out_.CodePoint(cp);
        }
    }

    Out out_;
    std::uint32_t high_{};      // a high surrogate waiting for its low one
    std::uint32_t brackets_{};  // "]" written last in a row, within a text
};

template <class Sink, std::size_t N>
void Put(Sink& sink, const char (&literal)[N]) {
    sink.Ascii(literal, N - 1);
}

// A name from the definition, written inside an attribute value.
template <class Sink>
void PutName(Sink& sink, const char* text) {
    sink.Name(text, std::strlen(text));
}

}  // namespace xml
}  // namespace xqova

#endif
