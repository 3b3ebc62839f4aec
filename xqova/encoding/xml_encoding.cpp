// Writing the XML documents of objects, 8-bit and UTF-16.
#include <cstring>

#include "xqova/core/class_id.h"
#include "xqova/core/guid_time.h"
#include "xqova/core/xml_chars.h"
#include "xqova/dictionary/dictionary.h"
#include "xqova/encoding/utf16.h"
#include "xqova/encoding/xml_document.h"
#include "xqova/encoding/xml_template.h"

namespace xqova {
namespace xml {
namespace {

template <class Sink, class Access>
bool Check(const Access& access, CXQOVAObject* object, std::uint16_t version, bool boundByBase);
template <class Sink, class Access>
bool WriteBody(const Access& access, CXQOVAObject* object, Sink& sink, std::uint16_t version);

// The documents of a vector's elements, each at its own version without its
// terminator, back to back. An element that cannot be written (its check
// fails) leaves nothing. A measuring sink stops once the count has passed
// what any document may hold: the result is refused anyway.
template <class Sink, class Access>
void WriteVector(const Access& access, CXQOVAVector* vector, Sink& sink) {
    const VectorView elements = access.vector(vector);
    for (std::uint16_t i = 0; i < elements.size; ++i) {
        CXQOVAObject* element = elements.elements[i];
        if (element == nullptr) continue;
        if (sink.Bytes() > kMaxDocument) return;
        const std::uint16_t version = access.object(element).version;
        if (!Check<Sink>(access, element, version, Sink::kBoundByBase)) continue;
        WriteBody(access, element, sink, version);
    }
}

// Writes the document without its terminator: the template's text with the
// values, nested documents and enumerations in its holes. Called only for
// objects that passed Check, so every name resolved; false when memory for
// a template ran out or a held object is missing.
template <class Sink, class Access>
bool WriteBody(const Access& access, CXQOVAObject* object, Sink& sink, std::uint16_t version) {
    const ObjectView view = access.object(object);
    const TemplateRef t = AcquireTemplate(view, version, Sink::kVariant);
    if (!t) return false;

    std::uint32_t at = 0;
    for (const Hole* hole = t->holes; hole != t->holes + t->holeCount; ++hole) {
        sink.Constant(t->text + at, hole->textEnd - at);
        at = hole->textEnd;
        const SlotView slot = access.slot(view.slots + hole->slot);
        if (hole->IsValue()) {
            WriteValueText(sink, ValueOf(slot));
            continue;
        }
        if (slot.held == nullptr) return false;
        if (hole->IsSingleObject()) {
            auto* nested = static_cast<CXQOVAObject*>(slot.held);
            if (!WriteBody(access, nested, sink, access.object(nested).version)) return false;
        } else {
            WriteVector(access, static_cast<CXQOVAVector*>(slot.held), sink);
        }
    }
    sink.Constant(t->text + at, t->membersEnd - at);
    ForEachEnumerationChunk(*t, view.slots, [&](const Chunk& c) { sink.Constant(t->text + c.offset, c.length); });
    sink.Constant(t->text + t->documentClose.offset, t->documentClose.length);
    return true;
}

// The check made before anything is written (see xml_document.h).
// `boundByBase` adds the test of the empty-member length against the stored
// base size.
template <class Sink, class Access>
bool Check(const Access& access, CXQOVAObject* object, std::uint16_t version, bool boundByBase) {
    const ObjectView view = access.object(object);
    const TemplateRef t = AcquireTemplate(view, version, Sink::kVariant);
    if (!t || !t->writable) return false;
    if (boundByBase && t->skeletonLength > DefinitionXMLSize(view.definition)) return false;
    for (const Hole* hole = t->holes; hole != t->holes + t->holeCount; ++hole) {
        if (hole->IsValue()) continue;
        void* held = access.slot(view.slots + hole->slot).held;
        if (held == nullptr) return false;
        if (hole->IsSingleObject()) {
            auto* nested = static_cast<CXQOVAObject*>(held);
            if (!Check<Sink>(access, nested, access.object(nested).version, boundByBase)) return false;
        }
    }
    return true;
}

// The document of `object` at `version` through `sink`: its size with the
// terminator, 0 when it cannot be written.
template <class Sink, class Access>
std::uint64_t Document(const Access& access, CXQOVAObject* object, Sink sink, std::uint16_t version) {
    if (!WriteBody(access, object, sink, version)) return 0;
    sink.Terminate();
    return sink.Bytes();
}

// Checks, measures, and writes only a document that fits both a 32-bit result
// and `capacity` bytes; a null buffer only measures.
template <class Sink, class Access>
std::uint32_t WriteForm(const Access& access, CXQOVAObject* object, unsigned char* buffer, std::uint64_t capacity,
                        std::uint16_t version) {
    if (version == kCurrentVersion) version = access.object(object).version;
    const bool boundByBase = Sink::kBoundByBase;
    if (!Check<Sink>(access, object, version, boundByBase)) return 0;
    // The exact 8-bit document never exceeds its computed size, which costs
    // far less than a measuring run: when that fits, the document does.
    if (boundByBase && buffer != nullptr) {
        const std::uint64_t bound = SizeBound(access, object, version);
        if (bound != 0 && bound <= kMaxDocument && bound <= capacity) {
            return static_cast<std::uint32_t>(Document(access, object, Sink::Over(buffer), version));
        }
    }
    const std::uint64_t size = Document(access, object, Sink::Over(nullptr), version);
    if (size == 0 || size > kMaxDocument || size > capacity) return 0;
    if (buffer == nullptr) return static_cast<std::uint32_t>(size);
    return static_cast<std::uint32_t>(Document(access, object, Sink::Over(buffer), version));
}

template <class Base, class Access, class Unit>
std::uint32_t Write(const Access& access, CXQOVAObject* object, Unit* buffer, std::uint64_t capacity,
                    std::uint16_t version, Form form) {
    auto* bytes = reinterpret_cast<unsigned char*>(buffer);
    return form == Form::kSafe ? WriteForm<SafeSink<Base>>(access, object, bytes, capacity, version)
                               : WriteForm<Base>(access, object, bytes, capacity, version);
}

}  // namespace

template <class Access>
std::uint32_t WriteChar(const Access& access, CXQOVAObject* object, char* buffer, std::uint64_t capacity,
                        std::uint16_t version, Form form) {
    if (buffer == nullptr) return 0;
    return Write<CharSink>(access, object, buffer, capacity, version, form);
}

template <class Access>
std::uint32_t MeasureChar(const Access& access, CXQOVAObject* object, std::uint16_t version, Form form) {
    return Write<CharSink>(access, object, static_cast<char*>(nullptr), ~std::uint64_t{0}, version, form);
}

template <class Access>
std::uint32_t WriteUtf16(const Access& access, CXQOVAObject* object, unsigned short* buffer,
                         std::uint64_t capacity, std::uint16_t version, Form form) {
    return Write<Utf16Sink>(access, object, buffer, capacity, version, form);
}

}  // namespace xml
}  // namespace xqova

namespace {
using xqova::xml::Form;
constexpr std::uint64_t kUnbounded = ~std::uint64_t{0};
}  // namespace

std::uint32_t CXQOVAObject::XMLSerialize(char* buffer, std::uint16_t version) {
    return xqova::xml::WriteChar(XmlCodec{}, this, buffer, kUnbounded, version, Form::kExact);
}

std::uint32_t CXQOVAObject::XMLSerialize(unsigned short* buffer, std::uint16_t version) {
    return xqova::xml::WriteUtf16(XmlCodec{}, this, buffer, kUnbounded, version, Form::kExact);
}

std::uint32_t CXQOVAObject::XMLSerialize(char* buffer, std::size_t capacity, std::uint16_t version) {
    return xqova::xml::WriteChar(XmlCodec{}, this, buffer, capacity, version, Form::kExact);
}

std::uint32_t CXQOVAObject::XMLSerialize(unsigned short* buffer, std::size_t capacity, std::uint16_t version) {
    if (buffer == nullptr) return 0;
    return xqova::xml::WriteUtf16(XmlCodec{}, this, buffer, capacity, version, Form::kExact);
}

std::uint32_t CXQOVAObject::XMLSerializeSafe(char* buffer, std::size_t capacity, std::uint16_t version) {
    return xqova::xml::WriteChar(XmlCodec{}, this, buffer, capacity, version, Form::kSafe);
}

std::uint32_t CXQOVAObject::XMLSerializeSafe(unsigned short* buffer, std::size_t capacity, std::uint16_t version) {
    if (buffer == nullptr) return 0;
    return xqova::xml::WriteUtf16(XmlCodec{}, this, buffer, capacity, version, Form::kSafe);
}

std::uint32_t CXQOVAObject::XMLSizeAllSafe(XMLEncoding_e encoding, std::uint16_t version) {
    switch (encoding) {
        case XML_ENCODING_CHAR:
            // Measured, like the UTF-16 size: the safe form's length depends
            // on every character.
            return xqova::xml::MeasureChar(XmlCodec{}, this, version, Form::kSafe);
        case XML_ENCODING_UTF16:
            return xqova::xml::WriteUtf16(XmlCodec{}, this, nullptr, kUnbounded, version, Form::kSafe);
        default:
            return 0;
    }
}
