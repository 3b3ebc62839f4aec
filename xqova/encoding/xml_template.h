// Templates of XML documents: everything in a document that does not depend
// on the object's values, built once and then copied.
//
// A document of an object is its class's constant text with holes: the value
// text of each member that holds a value, the nested documents of each OBJECT
// member, and the ENUMERATION elements (whose lines are constant, but which
// lines appear depends on the values). A template holds that text already
// in the form of one kind of output (8-bit or UTF-16, exact or well-formed),
// the holes in order, the ENUMERATION start tags and ENUM lines, and the
// facts the checks and the 8-bit size need.
//
// Key: the compiled definition, the class identifier (its species is
// written), the version asked for, the object's own version and the shape of
// its slots (which members hold values), and the kind of output. The names
// of member classes come from the object's dictionary in its search mode at
// the time the template is built.
//
// Lifetime and threads: templates of definitions that a dictionary holds
// live in a cache beside that dictionary (CXQOVADictionary::Derived). A
// template is built completely, then published with one compare-exchange
// onto its bucket's list; once published it never changes, so threads that
// share a dictionary read templates without locks. The dictionary drops the
// whole cache when it is destroyed, when a definition is added and when its
// search mode changes (moments at which no other thread may use it). The
// cache holds at most kTemplateCacheBytes; past that, and for objects whose
// definition no dictionary holds, a template is built for the call and freed
// after it.
#ifndef XQOVA_ENCODING_XML_TEMPLATE_H
#define XQOVA_ENCODING_XML_TEMPLATE_H

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "xqova/encoding/xml_document.h"
#include "xqova/encoding/xml_sinks.h"

namespace xqova {
namespace xml {

constexpr std::size_t kTemplateCacheBytes = std::size_t{4} << 20;

// Where a value or nested documents go: after the template text up to
// `textEnd` (bytes), the member at definition position `position`, held by
// the slot at index `slot`; `kind` tells a value text (0), a single object
// (1) and a vector (2) apart.
struct Hole {
    std::uint32_t textEnd;
    std::uint16_t position;
    std::uint16_t slot;
    std::uint8_t kind;

    bool IsValue() const { return kind == 0; }
    bool IsSingleObject() const { return kind == 1; }
};

// A piece of the template text.
struct Chunk {
    std::uint32_t offset;
    std::uint32_t length;  // bytes
};

// One ENUM line of a table: the pair's value and the line of the first pair
// of the table with that value (the line a lookup by value finds). Every
// pair has a name (an empty one at least), so every pair has its line.
struct EnumLine {
    std::uint16_t value;
    Chunk line;
};

// The ENUMERATION element of a member that holds a value and has a named
// enumeration table.
// Members whose text entries name one table share its lines. `byValue`
// lists, for each value the table holds, the index (within the table's
// lines) of its first pair, ordered by value. A table whose values
// are few and small also has `direct`: for each value below `directCount`
// the index of its first pair, or kNoLine.
struct EnumTable {
    std::uint16_t slot;
    bool bitmask;
    Chunk open;
    std::uint32_t firstLine;
    std::uint32_t lines;
    std::uint32_t firstByValue;
    std::uint32_t values;
    std::uint32_t firstDirect;
    std::uint32_t directCount;  // 0 when the table has no direct index
};

constexpr std::uint32_t kNoLine = 0xFFFFFFFFu;
// A direct index covers values up to this bound, and at most a few times
// the table's pairs.
constexpr std::uint32_t kMaxDirect = 1024;
constexpr std::uint32_t DirectCount(std::uint32_t maxValue, std::uint32_t pairs) {
    return pairs != 0 && maxValue < kMaxDirect && maxValue < 4 * pairs + 64 ? maxValue + 1 : 0;
}

struct Template {
    Template* next;  // the bucket's list; set before publication

    // Key.
    const CompiledDefinition* compiled;
    std::uint32_t classId;
    std::uint16_t version;
    std::uint16_t objectVersion;
    std::uint16_t presentCount;
    bool hasSlots;
    Variant variant;

    // The document can be written: every name it needs resolved.
    bool writable;
    // Length of the 8-bit empty-member document (what the stored base size
    // stands for).
    std::uint64_t skeletonLength;
    // What the holes' framing adds to the stored base size in the 8-bit size.
    std::uint64_t holeFraming;
    std::size_t bytes;  // the allocation

    const unsigned char* text;
    std::uint32_t membersEnd;  // the text up to and with "</MEMBERS>\n"
    Chunk enumerationClose;    // "</ENUMERATION>\n"
    Chunk documentClose;       // "</DEFINITION>\n"
    const Hole* holes;
    std::uint16_t holeCount;
    const EnumTable* tables;
    std::uint32_t tableCount;
    const EnumLine* lines;
    const std::uint32_t* byValue;
    const std::uint32_t* direct;

    bool Matches(const CompiledDefinition* c, std::uint32_t id, std::uint16_t v, std::uint16_t ov,
                 std::uint16_t present, bool slots, Variant kind) const {
        return compiled == c && classId == id && version == v && objectVersion == ov && presentCount == present &&
               hasSlots == slots && variant == kind;
    }
};

// The pieces of the ENUMERATION elements of an object with the slots
// `slots`, in order, each handed to `visit(const Chunk&)`: each table's
// start tag, the lines its value selects (a BITMASK member's set bits in
// table order; any other member the first pair with its value cut to 16
// bits, when the table has one), its end tag.
template <class Visit>
void ForEachEnumerationChunk(const Template& t, const CXQOVAData_u* slots, Visit&& visit) {
    for (const EnumTable* table = t.tables; table != t.tables + t.tableCount; ++table) {
        const CXQOVAData_u& accessor = slots[table->slot];
        const EnumLine* lines = t.lines + table->firstLine;
        visit(table->open);
        if (table->bitmask) {
            for (const EnumLine* line = lines; line != lines + table->lines; ++line) {
                if (accessor.GetBit(line->value)) visit(line->line);
            }
        } else {
            const auto value = static_cast<std::uint16_t>(static_cast<std::uint32_t>(accessor));
            std::uint32_t found = kNoLine;
            if (table->directCount != 0) {
                if (value < table->directCount) found = t.direct[table->firstDirect + value];
            } else {
                const std::uint32_t* first = t.byValue + table->firstByValue;
                const std::uint32_t* last = first + table->values;
                const std::uint32_t* at = std::lower_bound(
                    first, last, value, [lines](std::uint32_t k, std::uint16_t v) { return lines[k].value < v; });
                if (at != last && lines[*at].value == value) found = *at;
            }
            if (found != kNoLine) visit(lines[found].line);
        }
        visit(t.enumerationClose);
    }
}

// A template for one call: the cache's, or one of the caller's own that it
// frees.
class TemplateRef {
public:
    TemplateRef() = default;
    TemplateRef(const Template* t, bool owned) : t_(t), owned_(owned ? t : nullptr) {}
    TemplateRef(TemplateRef&& other) noexcept : t_(other.t_), owned_(other.owned_) { other.owned_ = nullptr; }
    TemplateRef(const TemplateRef&) = delete;
    TemplateRef& operator=(const TemplateRef&) = delete;
    TemplateRef& operator=(TemplateRef&&) = delete;
    ~TemplateRef();

    const Template* operator->() const { return t_; }
    const Template& operator*() const { return *t_; }
    explicit operator bool() const { return t_ != nullptr; }

private:
    const Template* t_ = nullptr;
    const Template* owned_ = nullptr;  // the caller's own template, freed with the reference
};

// The template of `view`'s document at `version` (already resolved from
// 0xFFFF) in the output `variant`; empty when the object has no definition,
// no definition text, or memory runs out.
TemplateRef AcquireTemplate(const ObjectView& view, std::uint16_t version, Variant variant);

}  // namespace xml
}  // namespace xqova

#endif
