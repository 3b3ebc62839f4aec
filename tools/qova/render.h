// Text the qova tool prints for a person: the class list, a class's
// description, and an object (or message) as an indented table.
#ifndef XQOVA_TOOLS_QOVA_RENDER_H
#define XQOVA_TOOLS_QOVA_RENDER_H

#include <string>

#include "tools/qova/catalog.h"
#include "tools/qova/members.h"

namespace qova {

// One line per class: name, identifier (hex and family/genus/species),
// version, member count, dictionary.
std::string RenderClasses(Catalog& catalog);

// Members with types, element sizes, version ranges, units, scale and alias;
// species; member and named enumerations.
std::string RenderDescription(Catalog& catalog, std::uint32_t classId);

// An object document of ObjectToJson as a table, nested objects and vector
// elements indented under their member.
std::string RenderObjectTable(const Json& object);

// JSON text, two-space indented, ending with a newline. Text that is not
// UTF-8 is shown with replacement characters.
std::string DumpJson(const Json& document);

}  // namespace qova

#endif
