// Sizes of the XML documents of objects.
//
// The 8-bit size is computed without writing: the class's stored base size
// (its document with every member empty) plus what each member holding a
// value adds, plus the enumerations, plus the terminator. Digits are counted,
// never formatted; the constant parts come from the document's template. The
// UTF-16 size is the UTF-16 writer's measuring call.
#include <cstring>

#include "xqova/encoding/xml_document.h"
#include "xqova/encoding/xml_template.h"

namespace xqova {
namespace xml {
namespace {


// The size in 64 bits: never wraps, whatever the object holds (each part
// counts what some object in memory holds). One hole at a time, so the time
// is the number of members and elements, whatever the size. The 8-bit
// template gives what the holes' framing adds and the lengths of the
// ENUMERATION tags and lines, which are the lengths the size counts.
template <class Access>
std::uint64_t Size64(const Access& access, CXQOVAObject* object, std::uint16_t version) {
    const ObjectView view = access.object(object);
    const std::uint16_t base = DefinitionXMLSize(view.definition);  // 0 without a definition
    if (base == 0) return 0;
    if (version == kCurrentVersion) version = view.version;
    const TemplateRef t = AcquireTemplate(view, version, Variant::kChar);
    if (!t) return 0;

    std::uint64_t size = base + t->holeFraming;
    for (const Hole* hole = t->holes; hole != t->holes + t->holeCount; ++hole) {
        const SlotView slot = access.slot(view.slots + hole->slot);
        if (hole->IsValue()) {
            size += ValueTextLength(ValueOf(slot));
            continue;
        }
        if (slot.held == nullptr) return 0;
        if (hole->IsSingleObject()) {
            const std::uint64_t nested = Size64(access, static_cast<CXQOVAObject*>(slot.held), kCurrentVersion);
            if (nested == 0) return 0;
            size += nested - 1;
        } else {
            size += VectorSize(access, static_cast<CXQOVAVector*>(slot.held));
        }
    }

    ForEachEnumerationChunk(*t, view.slots, [&size](const Chunk& c) { size += c.length; });
    return size + 1;
}

}  // namespace

template <class Access>
std::uint64_t SizeBound(const Access& access, CXQOVAObject* object, std::uint16_t version) {
    return Size64(access, object, version);
}

// A document beyond 32-bit sizes cannot be reported: it counts as one that
// cannot be written.
template <class Access>
std::uint32_t Size(const Access& access, CXQOVAObject* object, std::uint16_t version) {
    const std::uint64_t size = Size64(access, object, version);
    return size > kMaxDocument ? 0 : static_cast<std::uint32_t>(size);
}

// The elements' sizes less their terminators; an element that cannot be
// written adds nothing, one whose document is too long to state makes the
// whole too long.
template <class Access>
std::uint64_t VectorSize(const Access& access, CXQOVAVector* vector) {
    const VectorView elements = access.vector(vector);
    std::uint64_t total = 0;
    for (std::uint16_t i = 0; i < elements.size; ++i) {
        CXQOVAObject* element = elements.elements[i];
        if (element == nullptr) continue;
        const std::uint64_t size = Size64(access, element, kCurrentVersion);
        if (size != 0) total += size - 1;
    }
    return total;
}

// The exact 8-bit writer bounds its documents with this size.
template std::uint64_t SizeBound(const CXQOVAObject::XmlCodec& access, CXQOVAObject* object, std::uint16_t version);

}  // namespace xml
}  // namespace xqova

std::uint32_t CXQOVAObject::XMLSizeAll(std::uint16_t version) {
    return xqova::xml::Size(XmlCodec{}, this, version);
}

std::uint32_t CXQOVAObject::XMLSizeAll(XMLEncoding_e encoding, std::uint16_t version) {
    switch (encoding) {
        case XML_ENCODING_CHAR:
            return XMLSizeAll(version);
        case XML_ENCODING_UTF16:
            return XMLSerialize(static_cast<unsigned short*>(nullptr), version);
        default:
            return 0;
    }
}
