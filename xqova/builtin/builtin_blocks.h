// Storage of the built-in chains, shared by the generated blocks
// (builtin_blocks.cpp, written by tools/builtin_gen) and the chain builders
// (builtin.cpp).
#ifndef XQOVA_BUILTIN_BUILTIN_BLOCKS_H
#define XQOVA_BUILTIN_BUILTIN_BLOCKS_H

#include <cstddef>

#include "xqova/core/types.h"

namespace xqova {
namespace builtin {

// Returns a block's address, its checksum stamped; the same address on every
// call.
using BlockAccessor = void* (*)();

// The static nodes of one chain and the accessors of its blocks, in chain
// order.
struct ChainStorage {
    TableEntry_s* nodes;
    const BlockAccessor* accessors;
    std::size_t count;
};

ChainStorage SdkChainStorage();
ChainStorage DeviceChainStorage();

// Writes the checksum of a block's first fullSize - 2 bytes, big-endian, into
// its last two bytes, and returns the block. `storage` is the size of the
// array holding the block; a block whose fullSize does not fit it is left as
// it is.
void* StampChecksum(unsigned char* block, std::size_t storage);

}  // namespace builtin
}  // namespace xqova

#endif
