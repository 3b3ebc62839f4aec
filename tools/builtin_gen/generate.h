// Writes the C++ source that holds the definition blocks of the built-in
// chains (xqova/builtin/builtin_blocks.cpp).
#ifndef XQOVA_TOOLS_BUILTIN_GEN_GENERATE_H
#define XQOVA_TOOLS_BUILTIN_GEN_GENERATE_H

#include <string>
#include <vector>

#include "xqova/dictionary/definition_builder.h"

namespace xqova {
namespace builtin_gen {

// One chain of built-in definitions: the namespace of its accessor function
// and its classes in chain order, as compiled from its JSON file (member
// classes resolved, every xmlBaseSize filled in).
struct Chain {
    std::string space;  // "RER_SDK", "RER_KLEV_ZENTO"
    std::vector<build::ClassDescription> classes;
};

// The whole source file: one writable block per class with its checksum bytes
// left zero, one accessor per block that stamps the checksum on first use,
// and for each chain its node storage and accessor list. The first chain is
// served by SdkChainStorage(), the second by DeviceChainStorage(). Empty,
// with `error` filled, when a class does not build or two classes share a
// name.
std::string GenerateBlocksSource(const Chain& sdk, const Chain& device, std::string* error);

}  // namespace builtin_gen
}  // namespace xqova

#endif
