#include "xqova/builtin/builtin.h"

#include "xqova/builtin/builtin_blocks.h"
#include "xqova/core/class_id.h"
#include "xqova/core/crc16.h"
#include "xqova/dictionary/dictionary.h"

#include <new>

namespace xqova {
namespace builtin {

void* StampChecksum(unsigned char* block, std::size_t storage) {
    // The species list is as long as byte 0 says; fullSize follows it and the
    // version and text offset.
    const std::size_t fullSizeAt = static_cast<std::size_t>(block[0]) + 8;
    if (storage < fullSizeAt + 2) return block;
    const std::uint16_t fullSize = ReadInt16(block + fullSizeAt);
    if (fullSize < fullSizeAt + 2 || fullSize > storage) return block;
    WriteInt16(block + fullSize - 2, CalculateCRC(block, static_cast<std::uint32_t>(fullSize - 2)));
    return block;
}

namespace {

// Fills the nodes in chain order, stamping each block through its accessor,
// and returns the first node (no chain is empty).
TableEntry_s* BuildChain(const ChainStorage& chain) {
    for (std::size_t i = 0; i < chain.count; ++i) {
        chain.nodes[i].block = chain.accessors[i]();
        chain.nodes[i].next = i + 1 < chain.count ? &chain.nodes[i + 1] : nullptr;
    }
    return &chain.nodes[0];
}

}  // namespace
}  // namespace builtin
}  // namespace xqova

// The chains are built once, by the initialisation of a function-local
// constant, which the language runs exactly once even when two threads make
// the first call together.
namespace RER_SDK {
void* Dictionary() {
    static TableEntry_s* const first = xqova::builtin::BuildChain(xqova::builtin::SdkChainStorage());
    return first;
}
}  // namespace RER_SDK

namespace RER_KLEV_ZENTO {
void* Dictionary() {
    static TableEntry_s* const first = xqova::builtin::BuildChain(xqova::builtin::DeviceChainStorage());
    return first;
}
}  // namespace RER_KLEV_ZENTO

namespace xqova {

const void* AddBaseClasses(CXQOVADictionary& dictionary) {
    for (auto* node = static_cast<TableEntry_s*>(RER_SDK::Dictionary()); node != nullptr; node = node->next) {
        if (dictionary.AddDefinition(node->block) == nullptr) return node->block;
    }
    return nullptr;
}

CXQOVADictionary& AllBuiltinClasses() {
    // Built in static storage and never destroyed: objects in other static
    // storage may still hold it while the program ends.
    alignas(CXQOVADictionary) static unsigned char storage[sizeof(CXQOVADictionary)];
    static CXQOVADictionary* const dictionary = [] {
        auto* d = ::new (static_cast<void*>(storage)) CXQOVADictionary(RER_KLEV_ZENTO::Dictionary());
        AddBaseClasses(*d);
        return d;
    }();
    return *dictionary;
}

}  // namespace xqova
