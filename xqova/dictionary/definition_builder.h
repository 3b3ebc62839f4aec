// Class definition blocks from a readable description, and back.
//
// BuildDefinition lays a ClassDescription out as a definition block in the
// arrangement of the built-in blocks: header, member records, attribute
// table, text section with its entries, enumeration tables (class species
// first, then the members' in position order or in the order given, then the
// named enumerations), strings from the next offset that is a multiple of 4,
// one or two zero bytes so that the checksum starts at an even offset, and
// the checksum. It refuses what a block cannot state (a count, offset, size
// or length beyond its 16-bit field, a name holding a zero byte, a class
// without species) with a message naming the class and member at fault; it
// does not judge the member types (CheckDefinition does that for blocks).
//
// ReadDefinition is the reverse: any block CheckDefinition accepts becomes a
// description, and says whether building that description gives the block
// back byte for byte (blocks laid out otherwise, sharing strings say, read
// into the same description but build differently).
//
//   xqova::build::ClassDescription d;
//   d.name = "CHostDStd";
//   d.family = 200;
//   d.species = {{0, "SpSTANDARD"}};
//   d.members = {{"Level", 0x11}};   // uint16
//   std::string why;
//   std::vector<unsigned char> block = xqova::build::BuildDefinition(d, {}, &why);
//   if (block.empty()) std::fprintf(stderr, "%s\n", why.c_str());
#ifndef XQOVA_DICTIONARY_DEFINITION_BUILDER_H
#define XQOVA_DICTIONARY_DEFINITION_BUILDER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

#include "xqova/core/export.h"

namespace xqova {
namespace build {

// The version a class and its members start at unless they say otherwise.
constexpr std::uint16_t kFirstVersion = 100;

struct Enumerator {
    std::uint16_t value;
    std::string name;
};

struct Member {
    std::string name;
    std::uint8_t type{};
    std::uint16_t minVersion = kFirstVersion;
    std::uint16_t maxVersion = 0xFFFF;
    std::uint32_t memberClass = 0xFFFFFFFFu;  // OBJECT members: the class held, or ANY_CLASS
    std::uint16_t fixedCount{};               // fixed arrays and fixed-count vectors
    std::vector<Enumerator> enumerators;      // the member's value names, in table order
    std::uint32_t alias = 0xFFFFFFFFu;
    std::uint8_t units = 0xFF;
    std::uint16_t scaleCoefficient = 1;
    std::int8_t scaleExponent{};
};

struct NamedEnumeration {
    std::string name;
    std::vector<Enumerator> enumerators;
};

struct Species {
    std::uint8_t code;
    std::string name;
};

struct ClassDescription {
    std::string name;
    std::uint16_t family{};
    std::uint8_t genus{};
    std::vector<Species> species;             // 1 to 255; the first forms the class identifier
    std::uint16_t version = kFirstVersion;
    std::vector<Member> members;
    std::vector<NamedEnumeration> enumerations;
    std::uint16_t attributeSize = 8;          // record size of the member attribute table
    // Stored xmlBaseSize; -1 computes it as the empty-member document length
    // with a five-digit version text (see EmptyDocumentLength).
    std::int32_t xmlBaseSize = -1;
    // The members' enumeration tables in another order than their positions
    // (member positions, each once; every member with values among them);
    // empty for position order.
    std::vector<std::uint16_t> enumerationTableOrder;

    std::uint32_t ClassId() const {
        const std::uint32_t first = species.empty() ? 0u : species.front().code;
        return (static_cast<std::uint32_t>(family) << 16) | (static_cast<std::uint32_t>(genus) << 8) | first;
    }
};

// The class name written for an OBJECT member's class identifier in the
// class="..." attribute of the empty-member document; "ANY_CLASS" is written
// for 0xFFFFFFFF without asking. A view of any callable taking the
// identifier and returning std::string, for the duration of one call; the
// default names every class with the empty string.
class ClassNames {
public:
    ClassNames() = default;
    ClassNames(std::string (*function)(std::uint32_t)) : function_(function) {}
    template <typename F, typename = typename std::enable_if<
                              !std::is_same<typename std::decay<F>::type, ClassNames>::value &&
                              !std::is_function<typename std::remove_reference<F>::type>::value>::type>
    ClassNames(const F& callable)
        : context_(&callable), call_([](const void* c, std::uint32_t id) { return (*static_cast<const F*>(c))(id); }) {}

    std::string operator()(std::uint32_t classId) const {
        if (call_ != nullptr) return call_(context_, classId);
        return function_ != nullptr ? function_(classId) : std::string();
    }

private:
    const void* context_ = nullptr;
    std::string (*call_)(const void*, std::uint32_t) = nullptr;
    std::string (*function_)(std::uint32_t) = nullptr;
};

// Length, without terminator, of the class's XML document with every member
// empty, its version written with `versionDigits` digits (0 when memory runs
// out).
XQOVA_API std::size_t EmptyDocumentLength(const ClassDescription& description, const ClassNames& names,
                                          unsigned versionDigits = 5);

// The complete block, checksum stamped (with `stampChecksum` false the last
// two bytes stay zero). Empty when the description states something a block
// cannot hold, or memory runs out; `error` (when given) then says what and
// where ("class CFoo, member 3 \"Bar\": ...").
XQOVA_API std::vector<unsigned char> BuildDefinition(const ClassDescription& description, const ClassNames& names,
                                                     std::string* error = nullptr, bool stampChecksum = true);

// The description of a block: false, with `error` filled, when
// CheckDefinition refuses the block within `available` bytes (or memory runs
// out). OBJECT members keep their class identifiers; xmlBaseSize is the
// stored one. `exact` (when given) is set to whether BuildDefinition of the
// description gives the block back byte for byte.
XQOVA_API bool ReadDefinition(const void* block, std::size_t available, ClassDescription* description,
                              std::string* error = nullptr, bool* exact = nullptr);

}  // namespace build
}  // namespace xqova

#endif
