// Definition blocks from outside: a dictionary must accept only sound blocks,
// and every reader must stay inside a block it accepted.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "xqova/dictionary/definition.h"
#include "xqova/dictionary/dictionary.h"

namespace {

void ReadEverything(const void* block) {
    const std::uint16_t members = xqova::DefinitionMemberCount(block);
    volatile std::size_t sink = 0;
    for (std::uint16_t p = 0; p <= members; ++p) {
        std::uint32_t cls = 0;
        std::uint16_t count = 0;
        sink = sink + xqova::DefinitionMember(block, p, &cls, &count);
        sink = sink + xqova::DefinitionMemberAlias(block, p) + xqova::DefinitionMemberUnits(block, p);
        sink = sink + xqova::DefinitionMemberScaleCoefficient(block, p);
        sink = sink + static_cast<std::size_t>(xqova::DefinitionMemberScaleExponent(block, p));
        sink = sink + xqova::DefinitionHasEnumeration(block, p);
    }
    for (std::uint32_t i = 0; i <= 0xFFFF; i += (i < members + 8u || i > 0xFFF0u) ? 1u : 0xFF0u) {
        const auto index = static_cast<std::uint16_t>(i);
        if (const char* text = xqova::DefinitionText(block, index)) sink = sink + text[0];
        const std::uint16_t pairs = xqova::DefinitionEnumerationSize(block, index);
        for (std::uint16_t k = 0; k < pairs; ++k) {
            std::uint16_t value = 0;
            const char* name = nullptr;
            xqova::DefinitionEnumerationPair(block, index, k, &value, &name);
            sink = sink + name[0] + value;
        }
        if (const char* e = xqova::DefinitionEnumerator(block, index, 1)) sink = sink + e[0];
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An exact copy, so that any read past the input is caught.
    std::vector<unsigned char> bytes(data, data + size);
    CXQOVADictionary dictionary;
    dictionary.AddDefinitions(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    const std::uint16_t count = dictionary.GetDefinitionCount();
    for (std::uint16_t i = 0; i < count; ++i) ReadEverything(dictionary.GetDefinitionAt(i));
    return 0;
}
