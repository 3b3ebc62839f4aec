// The XML document of an object: writing (8-bit and UTF-16) and sizing.
//
// A document describes the object's class and carries its values:
//
//   <DEFINITION class="..." version="..." family="..." genus="..." species="...">
//   <MEMBERS>
//   <MEMBER type="..." [class="..."] [size="..."] name="..."|inherit="YES"
//           minversion="..." maxversion="..." [alias] [units] [scale] [format]/>
//   ... or, for a member that holds a value at the version:
//   <MEMBER ...>
//   <VALUE><![CDATA[value text]]></VALUE>
//   </MEMBER>
//   ... an OBJECT member holds the documents of its object or of its vector's
//   elements between "<VALUE>" and "</VALUE>", each on lines of its own.
//   </MEMBERS>
//   <ENUMERATION name="member"> <ENUM name="..." defaultvalue="v" selected="YES"/> </ENUMERATION>
//   </DEFINITION>
//
// (one element per line, each line ended by a line feed; a NUL ends the
// whole). Nothing is escaped.
//
// Every document is checked before its first byte is written: the class must
// carry text, every name and member class name must resolve, and every object
// held by a member present at the version must exist (single objects are
// checked down to the last level). A document that fails writes nothing. A
// vector element that fails is left out and the next element takes its place.
//
// The 8-bit size (XMLSizeAll) adds what the values need to the class's stored
// base size, the length of the document with every member empty. The 8-bit
// writer refuses a document, or a nested single object's document, whose
// empty-member form is longer than that stored base size (a version number
// of more digits than the base was made for, a species code of more digits
// than the definition's first, or a base size that is simply too small): so
// a document that is written never exceeds the size reported for it. UTF-16
// sizes are measured by the writer itself and are always exact; the UTF-16
// writer makes no such refusal.
//
// Enumerations: each member the object holds, in definition order, whose text
// entry has a name and an enumeration table, gets one ENUMERATION element;
// its name, its table, and the value it shows all come from that one member.
// A BITMASK member lists the enumerators of its set bits, in table order; any
// other member the enumerator of its value (as an unsigned number cut to 16
// bits) when there is one. The version asked for plays no part here: the
// walk follows the members the object holds.
#ifndef XQOVA_ENCODING_XML_DOCUMENT_H
#define XQOVA_ENCODING_XML_DOCUMENT_H

#include <cstdint>

#include "xqova/core/class_id.h"
#include "xqova/core/types.h"
#include "xqova/dictionary/definition.h"
#include "xqova/encoding/xml_text.h"
#include "xqova/object/member_accessor.h"
#include "xqova/object/object.h"
#include "xqova/object/vector.h"

class CXQOVADictionary;

namespace xqova {
namespace xml {

// The parts of an object's storage a document reads (see object.h).
struct ObjectView {
    const unsigned char* definition;
    CXQOVADictionary* dictionary;
    std::uint32_t classId;
    std::uint16_t version;
    std::uint16_t memberCount;
    std::uint16_t presentCount;
    const std::uint16_t* idToSlot;  // null when the object has no members
    CXQOVAData_u* slots;
    const unsigned char* attributeTable;  // member attribute records, attributeSize bytes each
    std::uint16_t attributeSize;
};

// What one accessor holds.
struct SlotView {
    std::uint8_t type;
    const unsigned char* value;  // the 8-byte inline value
    void* held;                  // array buffer, CXQOVAObject* or CXQOVAVector*
    std::uint16_t elements;
};

// The elements a vector holds (entries may be null).
struct VectorView {
    CXQOVAObject* const* elements;
    std::uint16_t size;
};

// The object model keeps its storage private to its own classes. The XML
// writers read it through this table of readers, which CXQOVAObject::XmlCodec
// (a member of the object model, so the storage is visible to it) provides.
struct Access {
    ObjectView (*object)(CXQOVAObject* object);
    SlotView (*slot)(const CXQOVAData_u* accessor);
    VectorView (*vector)(CXQOVAVector* vector);
};

}  // namespace xml
}  // namespace xqova

struct CXQOVAObject::XmlCodec {
    static const xqova::xml::Access kAccess;  // defined in xml_encoding.cpp
};

namespace xqova {
namespace xml {

// The two forms of a document: the exact bytes of the grammar, or the
// well-formed form (see the notes at the top).
enum class Form { kExact, kSafe };

// The members of CXQOVAObject and CXQOVAVector delegate here; arguments and
// results are theirs, `capacity` in bytes. A null UTF-16 buffer measures.
std::uint32_t WriteChar(const Access& access, CXQOVAObject* object, char* buffer, std::uint64_t capacity,
                        std::uint16_t version, Form form);
std::uint32_t MeasureChar(const Access& access, CXQOVAObject* object, std::uint16_t version, Form form);
std::uint32_t WriteUtf16(const Access& access, CXQOVAObject* object, unsigned short* buffer,
                         std::uint64_t capacity, std::uint16_t version, Form form);
std::uint64_t VectorDocuments(const Access& access, CXQOVAVector* vector, unsigned char* buffer,
                              XMLEncoding_e encoding);
// The 8-bit size of the exact form, and of a vector's element documents; 0
// when there is no document, or it is longer than 32-bit sizes can state.
std::uint32_t Size(const Access& access, CXQOVAObject* object, std::uint16_t version);
// The same in 64 bits, past 2^32 too (counting may stop soon after it): an
// upper bound of the exact 8-bit document that the writer's checks admit.
std::uint64_t SizeBound(const Access& access, CXQOVAObject* object, std::uint16_t version);
std::uint64_t VectorSize(const Access& access, CXQOVAVector* vector);

// The accessor of the member at a definition position when it holds a value
// at `version`, else null.
inline CXQOVAData_u* PresentSlot(const ObjectView& view, std::uint16_t position, const MemberRecord& record,
                                 std::uint16_t version) {
    if (!record.InVersion(version) || view.idToSlot == nullptr) return nullptr;
    const std::uint16_t slot = view.idToSlot[position];
    return slot < view.presentCount ? view.slots + slot : nullptr;
}

// The attributes of the member at a definition position; a field the record
// size does not cover has its default (no alias, no units, scale 1 x 10^0).
struct MemberAttributes {
    std::uint32_t alias = 0xFFFFFFFFu;
    std::uint8_t units = 0xFF;
    std::uint16_t scaleCoefficient = 1;
    std::int8_t scaleExponent = 0;
};

inline MemberAttributes AttributesOf(const ObjectView& view, std::uint16_t position) {
    MemberAttributes a;
    const std::uint16_t s = view.attributeSize;
    if (view.attributeTable == nullptr || position >= view.memberCount) return a;
    const unsigned char* r = view.attributeTable + static_cast<std::size_t>(s) * position;
    if (s >= 4) a.alias = ReadInt32(r);
    if (s >= 5) a.units = r[4];
    if (s >= 7) a.scaleCoefficient = ReadInt16(r + 5);
    if (s >= 8) a.scaleExponent = static_cast<std::int8_t>(r[7]);
    return a;
}

inline MemberValue ValueOf(const SlotView& slot) {
    return MemberValue{slot.type, slot.value, static_cast<const unsigned char*>(slot.held), slot.elements};
}

// Visits the ENUMERATION elements of an object: visitor.Open(memberName),
// visitor.Line(enumeratorName, value) for each enumerator written,
// visitor.Close().
template <class Visitor>
void WalkEnumerations(const Access& access, const ObjectView& view, Visitor& visitor) {
    const void* definition = view.definition;
    if (view.idToSlot == nullptr) return;
    for (std::uint16_t p = 0; p < view.memberCount; ++p) {
        const std::uint16_t s = view.idToSlot[p];
        if (s >= view.presentCount || !DefinitionHasEnumeration(definition, p)) continue;
        const char* name = DefinitionText(definition, p);
        if (name == nullptr) continue;
        const CXQOVAData_u& accessor = view.slots[s];
        visitor.Open(name);
        if (xqova::MemberType(access.slot(&accessor).type).IsBitmask()) {
            const std::uint16_t pairs = DefinitionEnumerationSize(definition, p);
            for (std::uint16_t k = 0; k < pairs; ++k) {
                std::uint16_t value;
                const char* pairName;
                if (!DefinitionEnumerationPair(definition, p, k, &value, &pairName) || !accessor.GetBit(value)) continue;
                const char* enumerator = DefinitionEnumerator(definition, p, value);
                if (enumerator != nullptr) visitor.Line(enumerator, value);
            }
        } else {
            const auto value = static_cast<std::uint16_t>(static_cast<std::uint32_t>(accessor));
            const char* enumerator = DefinitionEnumerator(definition, p, value);
            if (enumerator != nullptr) visitor.Line(enumerator, value);
        }
        visitor.Close();
    }
}

}  // namespace xml
}  // namespace xqova

#endif
