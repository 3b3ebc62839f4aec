// Writing the XML documents of objects, 8-bit and UTF-16.
#include <cstring>

#include "xqova/core/class_id.h"
#include "xqova/core/guid_time.h"
#include "xqova/dictionary/dictionary.h"
#include "xqova/encoding/utf16.h"
#include "xqova/encoding/xml_document.h"

namespace xqova {
namespace xml {
namespace {

// Sinks: where the document's pieces go. Each piece handed to Text() is one
// unit of conversion for the UTF-16 form.

// Number and time texts, formatted into a small local buffer and handed on
// as ASCII.
template <class Sink>
class Formatting {
public:
    void Unsigned(std::uint32_t v) {
        char text[kNumberTextSize];
        Self().Ascii(text, UnsignedText(v, text));
    }
    void Signed(std::int32_t v) {
        char text[kNumberTextSize];
        Self().Ascii(text, SignedText(v, text));
    }
    void Float(double v, bool single) {
        char text[kNumberTextSize];
        Self().Ascii(text, FloatText(v, single, text));
    }
    void Time(const QOVA_TIME& time) {
        char text[30];
        Self().Ascii(text, TimeText(time, text));
    }

private:
    Sink& Self() { return static_cast<Sink&>(*this); }
};

// 8-bit text straight into the caller's buffer.
class CharSink : public Formatting<CharSink> {
public:
    static constexpr XMLEncoding_e kEncoding = XML_ENCODING_CHAR;

    explicit CharSink(char* out) : out_(out), length_(0) {}

    void Ascii(const char* s, std::size_t n) {
        std::memcpy(out_ + length_, s, n);
        length_ += n;
    }
    void Text(const char* s, std::size_t n) { Ascii(s, n); }
    // Only characters that fit one byte are written.
    void Character(std::uint16_t, std::uint32_t c) {
        if (c < 256) out_[length_++] = static_cast<char>(c);
    }
    bool WideCharacter(std::uint32_t c) {
        if (c > 255) return false;
        out_[length_++] = static_cast<char>(c);
        return true;
    }
    unsigned char* Cursor() { return reinterpret_cast<unsigned char*>(out_ + length_); }
    void Advance(std::size_t bytes) { length_ += bytes; }
    void Terminate() { out_[length_++] = '\0'; }
    std::size_t Bytes() const { return length_; }

private:
    char* out_;
    std::size_t length_;
};

// UTF-16 code units, or only their count when there is no buffer.
class Utf16Sink : public Formatting<Utf16Sink> {
public:
    static constexpr XMLEncoding_e kEncoding = XML_ENCODING_UTF16;

    explicit Utf16Sink(unsigned short* out) : out_(out), units_(0) {}

    void Ascii(const char* s, std::size_t n) {
        if (out_ != nullptr) {
            for (std::size_t i = 0; i < n; ++i) out_[units_ + i] = static_cast<unsigned char>(s[i]);
        }
        units_ += n;
    }
    void Text(const char* s, std::size_t n) {
        units_ += Utf8ToUtf16(s, n, out_ == nullptr ? nullptr : out_ + units_) / 2;
    }
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
    unsigned char* Cursor() { return out_ == nullptr ? nullptr : reinterpret_cast<unsigned char*>(out_ + units_); }
    void Advance(std::size_t bytes) { units_ += bytes / 2; }
    void Terminate() { Unit(0); }
    std::size_t Bytes() const { return units_ * 2; }

private:
    void Unit(unsigned short u) {
        if (out_ != nullptr) out_[units_] = u;
        ++units_;
    }

    unsigned short* out_;
    std::size_t units_;
};

// Counts the 8-bit length of a document written empty (numbers by their
// digits); used by the check before writing.
class CountSink {
public:
    static constexpr XMLEncoding_e kEncoding = XML_ENCODING_CHAR;

    void Ascii(const char*, std::size_t n) { length_ += n; }
    void Text(const char*, std::size_t n) { length_ += n; }
    void Unsigned(std::uint32_t v) { length_ += DecimalLength(v); }
    void Signed(std::int32_t v) { length_ += SignedDecimalLength(v); }
    void Float(double, bool single) { length_ += single ? kFloat32TextLength : kFloat64TextLength; }
    void Time(const QOVA_TIME& time) { length_ += TimeTextLength(time); }
    void Character(std::uint16_t, std::uint32_t c) { length_ += c < 256 ? 1 : 0; }
    bool WideCharacter(std::uint32_t c) {
        if (c > 255) return false;
        ++length_;
        return true;
    }
    unsigned char* Cursor() { return nullptr; }
    void Advance(std::size_t bytes) { length_ += bytes; }
    void Terminate() { ++length_; }
    std::size_t Bytes() const { return length_; }

private:
    std::size_t length_ = 0;
};

template <class Sink, std::size_t N>
void Put(Sink& sink, const char (&literal)[N]) {
    sink.Ascii(literal, N - 1);
}

template <class Sink>
void PutText(Sink& sink, const char* text) {
    sink.Text(text, std::strlen(text));
}

// Writes the ENUMERATION elements.
template <class Sink>
class EnumerationWriter {
public:
    explicit EnumerationWriter(Sink& sink) : sink_(sink) {}
    void Open(const char* memberName) {
        Put(sink_, "<ENUMERATION name=\"");
        PutText(sink_, memberName);
        Put(sink_, "\">\n");
    }
    void Line(const char* name, std::uint16_t value) {
        Put(sink_, "<ENUM name=\"");
        PutText(sink_, name);
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
    PutText(sink, className);
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
        const bool isObject = (type & kTypeWidthMask) == kTypeObject;
        const bool isArray = (type & (kTypeUnbounded | kTypeFixedArray)) != 0;

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
                PutText(sink, memberClassName);
            }
            Put(sink, "\"");
        }
        if (isArray) {
            Put(sink, " size=\"");
            if (type & kTypeUnbounded) {
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
            PutText(sink, memberName);
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
        if ((type & 0x28) == 0x28) Put(sink, " format=\"BITMASK\"");

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
                auto* vector = static_cast<CXQOVAVector*>(slot.held);
                sink.Advance(access.writeVector(vector, sink.Cursor(), Sink::kEncoding));
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

    CountSink empty;
    if (!WriteBody(access, object, empty, version, true)) return false;
    if (boundByBase && empty.Bytes() > base) return false;

    MemberWalker walker(view.definition);
    MemberRecord record;
    for (std::uint16_t p = 0; walker.Next(&record); ++p) {
        if ((record.type & kTypeWidthMask) != kTypeObject) continue;
        const CXQOVAData_u* accessor = PresentSlot(view, p, record, version);
        if (accessor == nullptr) continue;
        void* held = access.slot(accessor).held;
        if (held == nullptr) return false;
        if ((record.type & (kTypeUnbounded | kTypeFixedArray)) == 0) {
            auto* nested = static_cast<CXQOVAObject*>(held);
            if (!Check(access, nested, access.object(nested).version, boundByBase)) return false;
        }
    }
    return true;
}

}  // namespace

std::uint32_t WriteChar(const Access& access, CXQOVAObject* object, char* buffer, std::uint16_t version) {
    if (buffer == nullptr) return 0;
    if (version == kCurrentVersion) version = access.object(object).version;
    if (!Check(access, object, version, true)) return 0;
    CharSink sink(buffer);
    if (!WriteBody(access, object, sink, version, false)) return 0;
    sink.Terminate();
    return static_cast<std::uint32_t>(sink.Bytes());
}

std::uint32_t WriteUtf16(const Access& access, CXQOVAObject* object, unsigned short* buffer, std::uint16_t version) {
    if (version == kCurrentVersion) version = access.object(object).version;
    if (!Check(access, object, version, false)) return 0;
    Utf16Sink sink(buffer);
    if (!WriteBody(access, object, sink, version, false)) return 0;
    sink.Terminate();
    return static_cast<std::uint32_t>(sink.Bytes());
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
    [](CXQOVAVector* v, unsigned char* b, XMLEncoding_e e) { return v->XMLSerialize(b, e); },
    [](CXQOVAVector* v) { return v->XMLSizeAll(); }};

std::uint32_t CXQOVAObject::XMLSerialize(char* buffer, std::uint16_t version) {
    return xqova::xml::WriteChar(XmlCodec::kAccess, this, buffer, version);
}

std::uint32_t CXQOVAObject::XMLSerialize(unsigned short* buffer, std::uint16_t version) {
    return xqova::xml::WriteUtf16(XmlCodec::kAccess, this, buffer, version);
}

// Each element is a document of its own, written at its own version without
// its terminator, directly behind the one before. An element that cannot be
// written leaves nothing; the next one takes its place.
std::uint32_t CXQOVAVector::XMLSerialize(unsigned char* buffer, XMLEncoding_e encoding) {
    std::uint32_t total = 0;
    for (std::uint16_t i = 0; i < size_; ++i) {
        CXQOVAObject* element = elements_[i];
        if (element == nullptr) continue;
        if (encoding == XML_ENCODING_CHAR) {
            if (buffer == nullptr) return 0;
            const std::uint32_t written = element->XMLSerialize(reinterpret_cast<char*>(buffer + total), 0xFFFF);
            if (written != 0) total += written - 1;
        } else if (encoding == XML_ENCODING_UTF16) {
            unsigned short* at = buffer == nullptr ? nullptr : reinterpret_cast<unsigned short*>(buffer + total);
            const std::uint32_t written = element->XMLSerialize(at, 0xFFFF);
            if (written != 0) total += written - 2;
        } else {
            return 0;
        }
    }
    return total;
}
