// Text the qova tool prints for a person: the class list, a class's
// description, and an object (or message) as an indented table.
#ifndef XQOVA_TOOLS_QOVA_RENDER_H
#define XQOVA_TOOLS_QOVA_RENDER_H

#include <string>

#include "tools/qova/catalog.h"
#include "tools/qova/members.h"

namespace qova {

// One line per class: name, identifier (hex and family/genus/species),
// species count, version, member count, dictionary; and the same as JSON
// (an array of {"class", "classId", "family", "genus", "species",
// "speciesCount", "version", "members", "dictionary"}).
std::string RenderClasses(Catalog& catalog);
Json ClassesJson(Catalog& catalog);

// Members with types, bytes, version ranges, units, scale and alias;
// species; member and named enumerations. The JSON form: {"class",
// "classId", "family", "genus", "dictionary", "version", "size",
// "species": [{"species", "name", "classId"}], "members": [{"position",
// "name", "base", "type", "bytes", "minVersion", "maxVersion", "units",
// "scale": {"coefficient", "exponent"}, "alias"}], "enumerations":
// [{"name", "kind" (member, bits, named), "values": [{"value", "name"}]}]},
// optional fields left out when the member has none.
std::string RenderDescription(Catalog& catalog, std::uint32_t classId);
Json DescriptionJson(Catalog& catalog, std::uint32_t classId);

// An object document of ObjectToJson as a table, nested objects and vector
// elements indented under their member.
std::string RenderObjectTable(const Json& object);

// JSON text, two-space indented, ending with a newline. Text that is not
// UTF-8 is shown with replacement characters.
std::string DumpJson(const Json& document);

}  // namespace qova

#endif
