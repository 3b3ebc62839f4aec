// Members of objects as the qova tool shows and sets them: listed with their
// names, read into JSON values, written from the text a user types.
#ifndef XQOVA_TOOLS_QOVA_MEMBERS_H
#define XQOVA_TOOLS_QOVA_MEMBERS_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "tools/qova/catalog.h"
#include "xqova/dictionary/compiled_definition.h"
#include "xqova/dictionary/definition.h"
#include "xqova/object/object.h"

namespace qova {

using Json = nlohmann::ordered_json;

struct MemberInfo {
    std::uint16_t id;             // identifier in the object listed
    CXQOVAObject* owner;          // the object of the inheritance chain that declares it
    std::uint16_t position;       // its definition position there
    const xqova::CompiledMember* member;  // its compiled record in the dictionary
    std::string name;
    bool present;                 // has a value at the object's version
};

// Every member of the object's definitions, the base chain first, without
// the member that holds the base part.
std::vector<MemberInfo> ListMembers(CXQOVAObject& object, Catalog& catalog);

// "uint16", "ansichar[32]", "uint8 UNBOUNDED", "uint16 BITMASK",
// "OBJECT of CNIBPDStd", "OBJECT UNBOUNDED of ANY_CLASS".
std::string TypeText(const xqova::CompiledMember& member, Catalog& catalog);

// The member a value was given for: the object holding it and its
// identifier there.
using MemberKey = std::pair<const CXQOVAObject*, std::uint16_t>;

// Sets the member that `path` names ("Systolic", or "NIBPData.Systolic"
// through single nested objects) from a user's text: numbers (decimal or
// 0x hex), enumerator names, bit names joined by '|', text, times
// ("2024/03/05 06:07:08 09"), arrays as comma lists, NaN, Infinity and
// -Infinity for floats. Values are checked against what the member means
// first: the range of its type and its size, a float finite or written as
// non-finite (1e50 does not fit a float32), a time a date of the calendar
// and a time of day, a number one of its enumerators or made of named
// bits; `force` lets times off the calendar and numbers without names
// through. Throws Failure naming the member, the value and the reason.
// Returns the member set.
MemberKey SetMemberFromText(CXQOVAObject& object, Catalog& catalog, const std::string& path, const std::string& text,
                            bool force = false);

// "YYYY/MM/DD hh:mm:ss ff" (the fraction may be left out; '-', 'T' and '.'
// separate as well). Throws Failure.
QOVA_TIME ParseTime(const std::string& text);

}  // namespace qova

#endif
