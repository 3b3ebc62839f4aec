// Builds class definition blocks from a readable description.
//
// Used by the generator of the built-in dictionaries, by the tests (which
// make definitions of their own) and by hosts that want to write their own
// classes. The block follows the built-in arrangement: header, member
// records, attribute table, text section with its entries, enumeration tables
// (class species first, then members in position order, then the named
// enumerations), strings from the next offset that is a multiple of 4, one or
// two zero bytes so that the checksum starts at an even offset, checksum.
#ifndef XQOVA_TOOLS_DEFBUILD_DEFINITION_BUILDER_H
#define XQOVA_TOOLS_DEFBUILD_DEFINITION_BUILDER_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace xqova {
namespace build {

struct Enumerator {
    std::uint16_t value;
    std::string name;
};

struct Member {
    std::string name;
    std::uint8_t type = 0;
    std::uint16_t minVersion = 100;
    std::uint16_t maxVersion = 0xFFFF;
    std::uint32_t memberClass = 0xFFFFFFFFu;  // OBJECT members: the class held, or ANY_CLASS
    std::uint16_t fixedCount = 0;             // fixed arrays and fixed-count vectors
    std::vector<Enumerator> enumerators;      // the member's value names, in table order
    std::uint32_t alias = 0xFFFFFFFFu;
    std::uint8_t units = 0xFF;
    std::uint16_t scaleCoefficient = 1;
    std::int8_t scaleExponent = 0;
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
    std::uint16_t family = 0;
    std::uint8_t genus = 0;
    std::vector<Species> species;             // at least one; the first forms the class identifier
    std::uint16_t version = 100;
    std::vector<Member> members;
    std::vector<NamedEnumeration> enumerations;
    std::uint16_t attributeSize = 8;          // record size of the member attribute table
    // Stored xmlBaseSize; -1 computes it as the empty-member document length
    // with a five-digit version text (see EmptyDocumentLength).
    std::int32_t xmlBaseSize = -1;
    // Member tables in another order than their positions (a list of member
    // positions); empty for position order.
    std::vector<std::uint16_t> enumerationTableOrder;

    std::uint32_t ClassId() const;
};

// Gives the class name of a class identifier for OBJECT members' class="..."
// attribute; "ANY_CLASS" is written for 0xFFFFFFFF without asking.
using ClassNameResolver = std::function<std::string(std::uint32_t)>;

// Length, without terminator, of the class's XML document with every member
// empty, its version written with `versionDigits` digits.
std::size_t EmptyDocumentLength(const ClassDescription& description, const ClassNameResolver& resolve,
                                unsigned versionDigits = 5);

// The complete block, checksum stamped. With `stampChecksum` false the last
// two bytes stay zero.
std::vector<unsigned char> BuildDefinition(const ClassDescription& description, const ClassNameResolver& resolve,
                                           bool stampChecksum = true);

}  // namespace build
}  // namespace xqova

#endif
