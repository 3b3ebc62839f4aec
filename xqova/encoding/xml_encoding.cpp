// Writing the XML documents of objects, 8-bit and UTF-16.
#include <cstring>

#include "xqova/core/class_id.h"
#include "xqova/core/guid_time.h"
#include "xqova/core/xml_chars.h"
#include "xqova/dictionary/dictionary.h"
#include "xqova/encoding/utf16.h"
#include "xqova/encoding/xml_document.h"

namespace xqova {
namespace xml {
namespace {

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

    explicit CharSink(char* out) : out_(out), length_(0) {}

    bool Counting() const { return out_ == nullptr; }
    void Skip(std::size_t n) { length_ += n; }
    void Ascii(const char* s, std::size_t n) {
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
        char bytes[4];
        std::size_t n;
        if (cp < 0x80) {
            bytes[0] = static_cast<char>(cp);
            n = 1;
        } else if (cp < 0x800) {
            bytes[0] = static_cast<char>(0xC0 | (cp >> 6));
            n = 2;
        } else if (cp < 0x10000) {
            bytes[0] = static_cast<char>(0xE0 | (cp >> 12));
            n = 3;
        } else {
            bytes[0] = static_cast<char>(0xF0 | (cp >> 18));
            n = 4;
        }
        for (std::size_t k = 1; k < n; ++k) bytes[k] = static_cast<char>(0x80 | ((cp >> (6 * (n - 1 - k))) & 0x3F));
        Ascii(bytes, n);
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

    explicit Utf16Sink(unsigned short* out) : out_(out), units_(0) {}

    bool Counting() const { return out_ == nullptr; }
    void Skip(std::size_t n) { units_ += n; }
    void Ascii(const char* s, std::size_t n) {
        if (out_ != nullptr) {
            for (std::size_t i = 0; i < n; ++i) out_[units_ + i] = static_cast<unsigned char>(s[i]);
        }
        units_ += n;
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
        if (cp >= 0x10000u) {
            cp -= 0x10000u;
            Unit(static_cast<unsigned short>(0xD800u + (cp >> 10)));
            Unit(static_cast<unsigned short>(0xDC00u + (cp & 0x3FFu)));
        } else {
            Unit(static_cast<unsigned short>(cp));
        }
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

    explicit SafeSink(Out out) : out_(out) {}

    bool Counting() const { return out_.Counting(); }
    void Skip(std::size_t n) {
        Boundary();
        out_.Skip(n);
    }
    void Ascii(const char* s, std::size_t n) {
        Boundary();
        out_.Ascii(s, n);
    }
    void Name(const char* s, std::size_t n) {
        Boundary();
        Decode(s, n, &SafeSink::Attribute);
    }
    void Text(const char* s, std::size_t n) { Decode(s, n, &SafeSink::Content); }
    void Character(std::uint16_t elementSize, std::uint32_t c) {
        if (elementSize == 1) {
            Content((c & 0xFFu) < 0x80 ? (c & 0xFFu) : kReplacement);
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
        const auto* bytes = reinterpret_cast<const unsigned char*>(s);
        for (std::size_t i = 0; i < n;) {
            std::uint32_t cp = 0;
            std::size_t length = 1;
            if (!DecodeUtf8Sequence(bytes + i, n - i, &cp, &length)) {
                cp = kReplacement;
                length = 1;
            }
            (this->*emit)(cp);
            i += length;
        }
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
    std::uint32_t high_ = 0;      // a high surrogate waiting for its low one
    std::uint32_t brackets_ = 0;  // "]" written last in a row, within a text
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

// Writes the ENUMERATION elements.
template <class Sink>
class EnumerationWriter {
public:
    explicit EnumerationWriter(Sink& sink) : sink_(sink) {}
    void Open(const char* memberName) {
        Put(sink_, "<ENUMERATION name=\"");
        PutName(sink_, memberName);
        Put(sink_, "\">\n");
    }
    void Line(const char* name, std::uint16_t value) {
        Put(sink_, "<ENUM name=\"");
        PutName(sink_, name);
        Put(sink_, "\" defaultvalue=\"");
        sink_.Unsigned(value);
        Put(sink_, "\" selected=\"YES\"/>\n");
    }
    void Close() { Put(sink_, "</ENUMERATION>\n"); }

private:
    Sink& sink_;
};

// The class name of an OBJECT member's class, from the object's dictionary.
const char* MemberClassName(const ObjectView& view, std::uint32_t memberClass) {
    if (view.dictionary == nullptr) return nullptr;
    return DefinitionText(view.dictionary->GetDefinition(memberClass), 0xFFFF);
}

bool Check(const Access& access, CXQOVAObject* object, std::uint16_t version, bool boundByBase);
template <class Sink>
bool WriteBody(const Access& access, CXQOVAObject* object, Sink& sink, std::uint16_t version, bool skeleton);

// The documents of a vector's elements, each at its own version without its
// terminator, back to back. An element that cannot be written (its check
// fails) leaves nothing. A measuring sink stops once the count has passed
// what any document may hold: the result is refused anyway.
template <class Sink>
void WriteVector(const Access& access, CXQOVAVector* vector, Sink& sink) {
    const VectorView elements = access.vector(vector);
    for (std::uint16_t i = 0; i < elements.size; ++i) {
        CXQOVAObject* element = elements.elements[i];
        if (element == nullptr) continue;
        if (sink.Bytes() > kMaxDocument) return;
        const std::uint16_t version = access.object(element).version;
        if (!Check(access, element, version, Sink::kBoundByBase)) continue;
        WriteBody(access, element, sink, version, false);
    }
}

// Writes the document without its terminator. With `skeleton` every member
// is written empty and the enumerations are left out: the form the stored
// base size stands for. False when a name or a held object is missing.
template <class Sink>
bool WriteBody(const Access& access, CXQOVAObject* object, Sink& sink, std::uint16_t version, bool skeleton) {
    const ObjectView view = access.object(object);
    const unsigned char* definition = view.definition;
    if (definition == nullptr || DefinitionXMLSize(definition) == 0) return false;
    const char* className = DefinitionText(definition, 0xFFFF);
    if (className == nullptr) return false;

    Put(sink, "<DEFINITION class=\"");
    PutName(sink, className);
    Put(sink, "\" version=\"");
    sink.Unsigned(version);
    Put(sink, "\" family=\"");
    sink.Unsigned(GetFamily(view.classId));
    Put(sink, "\" genus=\"");
    sink.Unsigned(GetGenus(view.classId));
    Put(sink, "\" species=\"");
    sink.Unsigned(GetSpecies(view.classId));
    Put(sink, "\">\n<MEMBERS>\n");

    MemberWalker walker(definition);
    MemberRecord record;
    for (std::uint16_t p = 0; walker.Next(&record); ++p) {
        const std::uint8_t type = record.type;
        const bool isObject = MemberType(type).IsObject();
        const bool isArray = MemberType(type).IsArray();

        Put(sink, "<MEMBER type=\"");
        std::size_t typeLength = 0;
        const char* typeName = TypeName(type, &typeLength);
        sink.Ascii(typeName, typeLength);
        Put(sink, "\"");
        if (isObject) {
            Put(sink, " class=\"");
            if (record.memberClass == kNoClass) {
                Put(sink, "ANY_CLASS");
            } else {
                const char* memberClassName = MemberClassName(view, record.memberClass);
                if (memberClassName == nullptr) return false;
                PutName(sink, memberClassName);
            }
            Put(sink, "\"");
        }
        if (isArray) {
            Put(sink, " size=\"");
            if (MemberType(type).IsUnbounded()) {
                Put(sink, "UNBOUNDED");
            } else {
                sink.Signed(record.fixedCount);
            }
            Put(sink, "\"");
        }
        if (type == kTypeInherit) {
            Put(sink, " inherit=\"YES\"");
        } else {
            const char* memberName = DefinitionText(definition, p);
            if (memberName == nullptr) return false;
            Put(sink, " name=\"");
            PutName(sink, memberName);
            Put(sink, "\"");
        }
        Put(sink, " minversion=\"");
        sink.Signed(record.minVersion);
        Put(sink, "\" maxversion=\"");
        if (record.maxVersion == 0xFFFF) {
            Put(sink, "CURRENT_VERSION");
        } else {
            sink.Signed(record.maxVersion);
        }
        Put(sink, "\"");

        const MemberAttributes attributes = AttributesOf(view, p);
        if (attributes.alias != 0xFFFFFFFFu) {
            Put(sink, " alias=\"");
            sink.Signed(static_cast<std::int32_t>(attributes.alias));
            Put(sink, "\"");
        }
        if (attributes.units != 0xFF) {
            Put(sink, " units=\"");
            sink.Signed(attributes.units);
            Put(sink, "\"");
        }
        if (attributes.scaleCoefficient != 1 || attributes.scaleExponent != 0) {
            Put(sink, " scalecoefficient=\"");
            sink.Unsigned(attributes.scaleCoefficient);
            Put(sink, "\" scaleexponent=\"");
            sink.Signed(attributes.scaleExponent);
            Put(sink, "\"");
        }
        if (MemberType(type).IsBitmask()) Put(sink, " format=\"BITMASK\"");

        const CXQOVAData_u* accessor = skeleton ? nullptr : PresentSlot(view, p, record, version);
        if (accessor == nullptr) {
            Put(sink, "/>\n");
            continue;
        }
        const SlotView slot = access.slot(accessor);
        if (isObject) {
            if (slot.held == nullptr) return false;
            Put(sink, ">\n<VALUE>\n");
            if (!isArray) {
                auto* nested = static_cast<CXQOVAObject*>(slot.held);
                if (!WriteBody(access, nested, sink, access.object(nested).version, false)) return false;
            } else {
                WriteVector(access, static_cast<CXQOVAVector*>(slot.held), sink);
            }
        } else {
            Put(sink, ">\n<VALUE><![CDATA[");
            WriteValueText(sink, ValueOf(slot));
            Put(sink, "]]>");
        }
        Put(sink, "</VALUE>\n</MEMBER>\n");
    }
    Put(sink, "</MEMBERS>\n");

    if (!skeleton) {
        EnumerationWriter<Sink> enumerations(sink);
        WalkEnumerations(access, view, enumerations);
    }
    Put(sink, "</DEFINITION>\n");
    return true;
}

// The check made before anything is written (see xml_document.h).
// `boundByBase` adds the test of the empty-member length against the stored
// base size.
bool Check(const Access& access, CXQOVAObject* object, std::uint16_t version, bool boundByBase) {
    const ObjectView view = access.object(object);
    if (view.definition == nullptr) return false;
    const std::uint16_t base = DefinitionXMLSize(view.definition);
    if (base == 0) return false;

    CharSink empty(nullptr);
    if (!WriteBody(access, object, empty, version, true)) return false;
    if (boundByBase && empty.Bytes() > base) return false;

    MemberWalker walker(view.definition);
    MemberRecord record;
    for (std::uint16_t p = 0; walker.Next(&record); ++p) {
        if (!MemberType(record.type).IsObject()) continue;
        const CXQOVAData_u* accessor = PresentSlot(view, p, record, version);
        if (accessor == nullptr) continue;
        void* held = access.slot(accessor).held;
        if (held == nullptr) return false;
        if (!MemberType(record.type).IsArray()) {
            auto* nested = static_cast<CXQOVAObject*>(held);
            if (!Check(access, nested, access.object(nested).version, boundByBase)) return false;
        }
    }
    return true;
}

// The document of `object` at `version` through `sink`: its size with the
// terminator, 0 when it cannot be written.
template <class Sink>
std::uint64_t Document(const Access& access, CXQOVAObject* object, Sink sink, std::uint16_t version) {
    if (!WriteBody(access, object, sink, version, false)) return 0;
    sink.Terminate();
    return sink.Bytes();
}

template <class Base>
std::uint64_t Document(const Access& access, CXQOVAObject* object, Base base, std::uint16_t version, Form form) {
    return form == Form::kSafe ? Document(access, object, SafeSink<Base>(base), version)
                               : Document(access, object, base, version);
}

// Checks, measures, and writes only a document that fits both a 32-bit result
// and `capacity` bytes; a null buffer only measures.
template <class Base, class Unit>
std::uint32_t Write(const Access& access, CXQOVAObject* object, Unit* buffer, std::uint64_t capacity,
                    std::uint16_t version, Form form) {
    if (version == kCurrentVersion) version = access.object(object).version;
    const bool boundByBase = form == Form::kExact && Base::kBoundByBase;
    if (!Check(access, object, version, boundByBase)) return 0;
    // The exact 8-bit document never exceeds its computed size, which costs
    // far less than a measuring run: when that fits, the document does.
    if (boundByBase && buffer != nullptr) {
        const std::uint64_t bound = SizeBound(access, object, version);
        if (bound != 0 && bound <= kMaxDocument && bound <= capacity) {
            return static_cast<std::uint32_t>(Document(access, object, Base(buffer), version, form));
        }
    }
    const std::uint64_t size = Document(access, object, Base(nullptr), version, form);
    if (size == 0 || size > kMaxDocument || size > capacity) return 0;
    if (buffer == nullptr) return static_cast<std::uint32_t>(size);
    return static_cast<std::uint32_t>(Document(access, object, Base(buffer), version, form));
}

}  // namespace

std::uint32_t WriteChar(const Access& access, CXQOVAObject* object, char* buffer, std::uint64_t capacity,
                        std::uint16_t version, Form form) {
    if (buffer == nullptr) return 0;
    return Write<CharSink>(access, object, buffer, capacity, version, form);
}

std::uint32_t MeasureChar(const Access& access, CXQOVAObject* object, std::uint16_t version, Form form) {
    return Write<CharSink>(access, object, static_cast<char*>(nullptr), ~std::uint64_t{0}, version, form);
}

std::uint32_t WriteUtf16(const Access& access, CXQOVAObject* object, unsigned short* buffer,
                         std::uint64_t capacity, std::uint16_t version, Form form) {
    return Write<Utf16Sink>(access, object, buffer, capacity, version, form);
}

std::uint64_t VectorDocuments(const Access& access, CXQOVAVector* vector, unsigned char* buffer,
                              XMLEncoding_e encoding) {
    if (encoding == XML_ENCODING_CHAR) {
        if (buffer == nullptr) return 0;
        CharSink measure(nullptr);
        WriteVector(access, vector, measure);
        if (measure.Bytes() > kMaxDocument) return 0;
        CharSink sink(reinterpret_cast<char*>(buffer));
        WriteVector(access, vector, sink);
        return sink.Bytes();
    }
    if (encoding == XML_ENCODING_UTF16) {
        Utf16Sink measure(nullptr);
        WriteVector(access, vector, measure);
        if (measure.Bytes() > kMaxDocument) return 0;
        if (buffer == nullptr) return measure.Bytes();
        Utf16Sink sink(reinterpret_cast<unsigned short*>(buffer));
        WriteVector(access, vector, sink);
        return sink.Bytes();
    }
    return 0;
}

}  // namespace xml
}  // namespace xqova

const xqova::xml::Access CXQOVAObject::XmlCodec::kAccess = {
    [](CXQOVAObject* o) {
        return xqova::xml::ObjectView{o->definition_,     o->dictionary_,   o->classId_,  o->version_,
                                      o->memberCount_,    o->presentCount_, o->idToSlot_, o->slots_,
                                      o->attributeTable_, o->attributeSize_};
    },
    [](const CXQOVAData_u* a) { return xqova::xml::SlotView{a->type_, a->value_, a->buffer_, a->elements_}; },
    [](CXQOVAVector* v) { return xqova::xml::VectorView{v->elements_, v->size_}; }};

namespace {
using xqova::xml::Form;
constexpr std::uint64_t kUnbounded = ~std::uint64_t{0};
}  // namespace

std::uint32_t CXQOVAObject::XMLSerialize(char* buffer, std::uint16_t version) {
    return xqova::xml::WriteChar(XmlCodec::kAccess, this, buffer, kUnbounded, version, Form::kExact);
}

std::uint32_t CXQOVAObject::XMLSerialize(unsigned short* buffer, std::uint16_t version) {
    return xqova::xml::WriteUtf16(XmlCodec::kAccess, this, buffer, kUnbounded, version, Form::kExact);
}

std::uint32_t CXQOVAObject::XMLSerialize(char* buffer, std::size_t capacity, std::uint16_t version) {
    return xqova::xml::WriteChar(XmlCodec::kAccess, this, buffer, capacity, version, Form::kExact);
}

std::uint32_t CXQOVAObject::XMLSerialize(unsigned short* buffer, std::size_t capacity, std::uint16_t version) {
    if (buffer == nullptr) return 0;
    return xqova::xml::WriteUtf16(XmlCodec::kAccess, this, buffer, capacity, version, Form::kExact);
}

std::uint32_t CXQOVAObject::XMLSerializeSafe(char* buffer, std::size_t capacity, std::uint16_t version) {
    return xqova::xml::WriteChar(XmlCodec::kAccess, this, buffer, capacity, version, Form::kSafe);
}

std::uint32_t CXQOVAObject::XMLSerializeSafe(unsigned short* buffer, std::size_t capacity, std::uint16_t version) {
    if (buffer == nullptr) return 0;
    return xqova::xml::WriteUtf16(XmlCodec::kAccess, this, buffer, capacity, version, Form::kSafe);
}

std::uint32_t CXQOVAObject::XMLSizeAllSafe(XMLEncoding_e encoding, std::uint16_t version) {
    switch (encoding) {
        case XML_ENCODING_CHAR:
            // Measured, like the UTF-16 size: the safe form's length depends
            // on every character.
            return xqova::xml::MeasureChar(XmlCodec::kAccess, this, version, Form::kSafe);
        case XML_ENCODING_UTF16:
            return xqova::xml::WriteUtf16(XmlCodec::kAccess, this, nullptr, kUnbounded, version, Form::kSafe);
        default:
            return 0;
    }
}

// Each element is a document of its own, written at its own version without
// its terminator, directly behind the one before. An element that cannot be
// written leaves nothing; the next one takes its place. The whole is measured
// first: elements whose documents pass 32-bit sizes are refused together.
std::uint32_t CXQOVAVector::XMLSerialize(unsigned char* buffer, XMLEncoding_e encoding) {
    return static_cast<std::uint32_t>(
        xqova::xml::VectorDocuments(CXQOVAObject::XmlCodec::kAccess, this, buffer, encoding));
}
