// Writes the C++ source that holds the definition blocks of the built-in
// chains (xqova/builtin/builtin_blocks.cpp).
#ifndef XQOVA_TOOLS_BUILTIN_GEN_GENERATE_H
#define XQOVA_TOOLS_BUILTIN_GEN_GENERATE_H

#include <string>
#include <vector>

#include "tools/builtin_gen/description.h"

namespace xqova {
namespace builtin_gen {

// The whole source file: one writable block per class with its checksum bytes
// left zero, one accessor per block that stamps the checksum on first use,
// and for each chain its node storage and accessor list. The first chain is
// served by SdkChainStorage(), the second by DeviceChainStorage(). Throws
// std::runtime_error when a block would not fit its 16-bit size field or two
// classes share a name.
std::string GenerateBlocksSource(const Chain& sdk, const Chain& device);

}  // namespace builtin_gen
}  // namespace xqova

#endif
