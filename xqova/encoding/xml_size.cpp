// Sizes of the XML documents of objects.
//
// The 8-bit size is computed without writing: the class's stored base size
// (its document with every member empty) plus what each member holding a
// value adds, plus the enumerations, plus the terminator. Digits are counted,
// never formatted. The UTF-16 size is the UTF-16 writer's measuring call.
#include <cstring>

#include "xqova/encoding/xml_document.h"

namespace xqova {
namespace xml {
namespace {

// What a member holding a value adds to the empty-member document, whose
// "/>" and line feed it replaces:
//   ">\n<VALUE>\n" ... "</VALUE>\n</MEMBER>\n" around nested documents
//   ">\n<VALUE><![CDATA[" ... "]]></VALUE>\n</MEMBER>\n" around a value text
constexpr std::uint32_t kObjectContent = 26;
constexpr std::uint32_t kValueContent = 37;
// "<ENUMERATION name=\"" "\">\n" and "</ENUMERATION>\n"; an ENUM line
// "<ENUM name=\"" "\" defaultvalue=\"" "\" selected=\"YES\"/>\n".
constexpr std::uint32_t kEnumerationOpen = 22;
constexpr std::uint32_t kEnumerationClose = 15;
constexpr std::uint32_t kEnumLine = 47;

class EnumerationCounter {
public:
    void Open(const char* memberName) { length += kEnumerationOpen + std::strlen(memberName) + kEnumerationClose; }
    void Line(const char* name, std::uint16_t value) {
        length += kEnumLine + std::strlen(name) + DecimalLength(value);
    }
    void Close() {}

    std::uint64_t length = 0;
};

constexpr std::uint64_t kMaxDocument = 0xFFFFFFFFu;

// The size in 64 bits: never wraps, whatever the object holds.
std::uint64_t Size64(const Access& access, CXQOVAObject* object, std::uint16_t version) {
    const ObjectView view = access.object(object);
    if (view.definition == nullptr) return 0;
    const std::uint16_t base = DefinitionXMLSize(view.definition);
    if (base == 0) return 0;
    if (version == kCurrentVersion) version = view.version;

    std::uint64_t size = base;
    MemberWalker walker(view.definition);
    MemberRecord record;
    for (std::uint16_t p = 0; walker.Next(&record); ++p) {
        const CXQOVAData_u* accessor = PresentSlot(view, p, record, version);
        if (accessor == nullptr) continue;
        const SlotView slot = access.slot(accessor);
        if (!MemberType(record.type).IsObject()) {
            size += kValueContent + ValueTextLength(ValueOf(slot));
            continue;
        }
        if (slot.held == nullptr) return 0;
        size += kObjectContent;
        if (!MemberType(record.type).IsArray()) {
            const std::uint64_t nested = Size64(access, static_cast<CXQOVAObject*>(slot.held), kCurrentVersion);
            if (nested == 0) return 0;
            size += nested - 1;
        } else {
            size += VectorSize(access, static_cast<CXQOVAVector*>(slot.held));
        }
        if (size > kMaxDocument) return size;  // refused by every caller
    }

    EnumerationCounter enumerations;
    WalkEnumerations(access, view, enumerations);
    return size + enumerations.length + 1;
}

}  // namespace

std::uint64_t SizeBound(const Access& access, CXQOVAObject* object, std::uint16_t version) {
    return Size64(access, object, version);
}

// A document beyond 32-bit sizes cannot be reported: it counts as one that
// cannot be written.
std::uint32_t Size(const Access& access, CXQOVAObject* object, std::uint16_t version) {
    const std::uint64_t size = Size64(access, object, version);
    return size > kMaxDocument ? 0 : static_cast<std::uint32_t>(size);
}

// The elements' sizes less their terminators; an element that cannot be
// written adds nothing, one whose document is too long to state makes the
// whole too long. Counting stops once past 32-bit sizes.
std::uint64_t VectorSize(const Access& access, CXQOVAVector* vector) {
    const VectorView elements = access.vector(vector);
    std::uint64_t total = 0;
    for (std::uint16_t i = 0; i < elements.size && total <= kMaxDocument; ++i) {
        CXQOVAObject* element = elements.elements[i];
        if (element == nullptr) continue;
        const std::uint64_t size = Size64(access, element, kCurrentVersion);
        if (size != 0) total += size - 1;
    }
    return total;
}

}  // namespace xml
}  // namespace xqova

std::uint32_t CXQOVAObject::XMLSizeAll(std::uint16_t version) {
    return xqova::xml::Size(XmlCodec::kAccess, this, version);
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

std::uint32_t CXQOVAVector::XMLSizeAll() {
    const std::uint64_t total = xqova::xml::VectorSize(CXQOVAObject::XmlCodec::kAccess, this);
    return total > 0xFFFFFFFFu ? 0 : static_cast<std::uint32_t>(total);
}
