// Members found by name: a path through nested objects and vectors
// ("NIBPData.Systolic", "Readings[3].Value", "Samples[2]"), or an alias, and
// one string table for a whole object tree.
//
//     xqova::MemberLocation where = xqova::FindMember(record, "NIBPData.Systolic");
//     if (!where) {
//         char why[160];
//         xqova::FormatPathError(where, "NIBPData.Systolic", why, sizeof why);
//         std::printf("%s\n", why);
//         // for "NIBPData.Systolc": no member of that name at offset 9 ("Systolc") in CNIBPDStd
//     } else {
//         std::int32_t systolic = *where.member;
//     }
//
// Names are those the class definitions carry (the names the XML documents
// write), compared byte for byte; they do not depend on a string table or
// its language. A segment names a member present at its object's version;
// in a derived object the object's own members are searched before its base
// chain's. An index in brackets picks an element of a vector of objects
// (after which the path may go on into that element) or of an array member
// (which must end the path). Nothing is allocated.
#ifndef XQOVA_HOST_MEMBER_PATH_H
#define XQOVA_HOST_MEMBER_PATH_H

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "xqova/core/export.h"
#include "xqova/host/member_kind.h"

class CXQOVAData_u;
class CXQOVAObject;
class CXQOVAStringTable;

namespace xqova {

// Why a path or alias found no member.
enum class PathError : std::uint8_t {
    kNone = 0,
    kSyntax,           // an empty segment, an unclosed or empty index, text after an index
    kNotFound,         // no member of that name (or alias) in the object
    kNotAnObject,      // the path goes on after a member that is not an object (or after a vector without index)
    kNotAnArray,       // an index after a member that holds one element
    kIndexOutOfRange,  // the index is not below the element count
    kNoObject          // no object to search: a null root, or an object member holding none
};

XQOVA_API const char* PathErrorName(PathError error);

constexpr std::uint16_t kNoElement = 0xFFFF;

// Where a member is: the object that holds it and its position and
// identifier there (CXQOVAObject::GetMemberAt(position) and
// GetMember(id) give it), and its accessor. When the path ends in an index,
// `element` is that index. On failure `member` is null and `error`, `at`,
// `length` and `object` say where the path stopped.
struct MemberLocation {
    CXQOVAObject* object = nullptr;   // the object searched last (the holder on success)
    CXQOVAData_u* member = nullptr;   // the member's accessor; null on failure
    std::uint16_t position = 0xFFFF;  // position in `object`
    std::uint16_t id = 0xFFFF;        // identifier in `object`
    std::uint16_t element = kNoElement;  // index given after the last name, else kNoElement
    PathError error = PathError::kNone;
    std::size_t at{};                 // offset in the path of the segment at fault
    std::size_t length{};             // its length
    std::uint32_t elements{};         // the element count an index was out of range of

    explicit operator bool() const { return member != nullptr; }
    // The member's kind; kNoMember on failure.
    XQOVA_API MemberKind Kind() const;
};

// The member a path names, starting at `root`. A null path is a syntax error.
XQOVA_API MemberLocation FindMember(CXQOVAObject* root, std::string_view path);
XQOVA_API MemberLocation FindMember(CXQOVAObject* root, const char* path);
inline MemberLocation FindMember(CXQOVAObject& root, const char* path) { return FindMember(&root, path); }
inline MemberLocation FindMember(CXQOVAObject& root, std::string_view path) { return FindMember(&root, path); }

// The first member of `object` whose definition gives it this alias (its own
// members, then its base chain's); alias 0xFFFFFFFF, which means none, finds
// nothing. Nested objects are not searched.
XQOVA_API MemberLocation FindMemberByAlias(CXQOVAObject* object, std::uint32_t alias);

// The object a location names: a single object member's object, or the
// element `element` of a vector member; null for anything else.
XQOVA_API CXQOVAObject* ObjectAt(const MemberLocation& location);

// Writes why a lookup failed, for people, into `buffer` (always terminated
// when capacity > 0, cut to fit): the reason, the offset and the segment,
// and the class searched, every byte outside printable ASCII (and the
// backslash) written as a backslash, an x and two hex digits. Returns the
// length the whole message has, as snprintf does.
XQOVA_API std::size_t FormatPathError(const MemberLocation& location, std::string_view path, char* buffer,
                                      std::size_t capacity);

// One member of an object, as ListMembers gives it.
struct MemberEntry {
    const char* name = "";            // its definition's name ("" when the definition gives none)
    std::uint16_t position = 0xFFFF;  // position in the object
    std::uint16_t id = 0xFFFF;        // identifier in the object; 0xFFFF when it has none
};

// The members the object holds at its version, inherited ones first (the
// deepest base's first), then its own, each part in definition order: writes
// up to `capacity` entries and returns how many there are (capacity 0 asks
// the count). Names point into the dictionary's definitions; each name finds
// its member through FindMember unless another member of the chain has
// the same name (FindMember prefers the derived object's).
XQOVA_API std::size_t ListMembers(CXQOVAObject* object, MemberEntry* entries, std::size_t capacity);

// Sets `table` (null allowed) on `root` and on every object inside it: base
// parts, nested objects and the elements vectors hold now (elements added
// later have none until this is called again). Returns the number of objects
// set. Every member name in the tree then comes through GetMemberText and
// CXQOVAData_u::Text.
XQOVA_API std::size_t ShareStringTable(CXQOVAObject* root, CXQOVAStringTable* table);

}  // namespace xqova

#endif
