// The classes of the two built-in dictionaries, described once.
//
// description.cpp lists every built-in class in chain order: its name, class
// identifier, species, version, members (type, array size, first version,
// value names) and further named enumerations. The generator turns the lists
// into the definition blocks of xqova/builtin/builtin_blocks.cpp, and the
// built-in tests rebuild the blocks from the same lists to prove the
// checked-in source current. Adding a class is adding one entry to a list and
// regenerating (scripts/regenerate-builtin.sh).
#ifndef XQOVA_TOOLS_BUILTIN_GEN_DESCRIPTION_H
#define XQOVA_TOOLS_BUILTIN_GEN_DESCRIPTION_H

#include <string>
#include <vector>

#include "tools/defbuild/definition_builder.h"

namespace xqova {
namespace builtin_gen {

// One chain of built-in definitions: the namespace of its accessor function
// and its classes in chain order. Member classes of OBJECT members are
// already resolved to class identifiers, and every class's stored
// xmlBaseSize is filled in.
struct Chain {
    std::string space;  // "RER_SDK", "RER_KLEV_ZENTO"
    std::vector<build::ClassDescription> classes;
};

// The base dictionary: transfers, file system, numerics, vitals record.
Chain SdkChain();
// The device dictionary: device settings, modules, measurements, records.
Chain DeviceChain();

// Class names of the identifiers served by the classes of one chain, for the
// class="..." attribute of OBJECT members. Throws std::runtime_error for an
// identifier that no class of the chain serves.
build::ClassNameResolver NamesWithin(const std::vector<build::ClassDescription>& classes);

}  // namespace builtin_gen
}  // namespace xqova

#endif
