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
// whole). Nothing is escaped. Everything but the values is copied from the
// document's template (xml_template.h), built once per class, version and
// kind of output.
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
class CompiledDefinition;

namespace xml {

// The parts of an object's storage a document reads (see object.h).
struct ObjectView {
    const unsigned char* definition;
    const CompiledDefinition* compiled;  // null when memory for it ran out
    bool ownsCompiled;                    // the object's own table, not a dictionary's
    CXQOVADictionary* dictionary;
    std::uint32_t classId;
    std::uint16_t version;
    std::uint16_t presentCount;
    const std::uint16_t* idToSlot;  // null when the object has no members
    CXQOVAData_u* slots;
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

}  // namespace xml
}  // namespace xqova

// The object model keeps its storage private to its own classes. The XML
// writers read it through these readers, which CXQOVAObject::XmlCodec (a
// member of the object model, so the storage is visible to it) provides; the
// writers take it as a template argument `Access`, so the readers inline.
struct CXQOVAObject::XmlCodec {
    static xqova::xml::ObjectView object(CXQOVAObject* o) {
        return xqova::xml::ObjectView{o->definition_, o->compiled_,      o->ownsCompiled_, o->dictionary_, o->classId_,
                                      o->version_,    o->presentCount_, o->idToSlot_,     o->slots_};
    }
    static xqova::xml::SlotView slot(const CXQOVAData_u* a) {
        return xqova::xml::SlotView{a->type_, a->value_, a->buffer_, a->elements_};
    }
    static xqova::xml::VectorView vector(CXQOVAVector* v) { return xqova::xml::VectorView{v->elements_, v->size_}; }
};

namespace xqova {
namespace xml {

// The two forms of a document: the exact bytes of the grammar, or the
// well-formed form (see the notes at the top).
enum class Form { kExact, kSafe };

// The members of CXQOVAObject and CXQOVAVector delegate here; arguments and
// results are theirs, `capacity` in bytes. A null UTF-16 buffer measures.
template <class Access>
std::uint32_t WriteChar(const Access& access, CXQOVAObject* object, char* buffer, std::uint64_t capacity,
                        std::uint16_t version, Form form);
template <class Access>
std::uint32_t MeasureChar(const Access& access, CXQOVAObject* object, std::uint16_t version, Form form);
template <class Access>
std::uint32_t WriteUtf16(const Access& access, CXQOVAObject* object, unsigned short* buffer,
                         std::uint64_t capacity, std::uint16_t version, Form form);
// The 8-bit size of the exact form, and of a vector's element documents; 0
// when there is no document, or it is longer than 32-bit sizes can state.
template <class Access>
std::uint32_t Size(const Access& access, CXQOVAObject* object, std::uint16_t version);
// The same in 64 bits, past 2^32 too (counting may stop soon after it): an
// upper bound of the exact 8-bit document that the writer's checks admit.
template <class Access>
std::uint64_t SizeBound(const Access& access, CXQOVAObject* object, std::uint16_t version);
template <class Access>
std::uint64_t VectorSize(const Access& access, CXQOVAVector* vector);

inline MemberValue ValueOf(const SlotView& slot) {
    return MemberValue{slot.type, slot.value, static_cast<const unsigned char*>(slot.held), slot.elements};
}

}  // namespace xml
}  // namespace xqova

#endif
