// Members of objects as the qova tool shows and sets them: listed with their
// names, read into JSON values, written from the text a user types.
#ifndef XQOVA_TOOLS_QOVA_MEMBERS_H
#define XQOVA_TOOLS_QOVA_MEMBERS_H

#include <cstdint>
#include <string>
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

// The object as JSON: class, identifier, version, flags and every present
// member with its type, value and the names of its value (enumerator, set
// bits). Nested objects and vectors become nested documents.
Json ObjectToJson(CXQOVAObject& object, Catalog& catalog);

// Sets the member that `path` names ("Systolic", or "NIBPData.Systolic"
// through single nested objects) from a user's text: numbers (decimal or
// 0x hex), enumerator names, bit names joined by '|', text, times
// ("2024/03/05 06:07:08 09"), arrays as comma lists. Values are checked
// against the member's type and size first; throws Failure with the reason
// when one does not fit.
void SetMemberFromText(CXQOVAObject& object, Catalog& catalog, const std::string& path, const std::string& text);

// "YYYY/MM/DD hh:mm:ss ff" (the fraction may be left out; '-', 'T' and '.'
// separate as well). Throws Failure.
QOVA_TIME ParseTime(const std::string& text);

}  // namespace qova

#endif
