// Language and link tables from outside: the string table must store only
// sound tables, and every lookup over what it stored must stay inside them.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "xqova/builtin/builtin.h"
#include "xqova/dictionary/definition.h"
#include "xqova/dictionary/dictionary.h"
#include "xqova/text/string_table.h"

namespace {

volatile std::size_t g_sink;

void Touch(const char* text) {
    if (text != nullptr) g_sink = g_sink + std::strlen(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    // The first two bytes split the rest into language tables and link tables.
    const std::size_t split = ((std::size_t{data[0]} << 8) | data[1]) % (size - 1);
    std::vector<unsigned char> languages(data + 2, data + 2 + split);
    std::vector<unsigned char> links(data + 2 + split, data + size);

    static CXQOVADictionary dictionary(RER_KLEV_ZENTO::Dictionary());
    CXQOVAStringTable strings(nullptr, nullptr, &dictionary);
    strings.AddLanguageTables(languages.data(), static_cast<std::uint32_t>(languages.size()));
    strings.AddLinkTables(links.data(), static_cast<std::uint32_t>(links.size()));

    for (std::uint16_t n = 0; n < 64; ++n) Touch(strings.GetString(n, 0xFF));
    const std::uint16_t classes = dictionary.GetDefinitionCount();
    // A few classes per input, chosen by it, keep each run short.
    for (std::uint16_t k = 0; k < 4; ++k) {
        const void* definition = dictionary.GetDefinitionAt(static_cast<std::uint16_t>((data[k % size] + 11u * k) % classes));
        const std::uint32_t classId = DefinitionClassID(definition);
        Touch(strings.GetClassText(classId, 0xFF));
        Touch(strings.GetSpeciesString(classId, 0, 0xFF));
        const std::uint16_t members = xqova::DefinitionMemberCount(definition);
        for (std::uint16_t m = 0; m <= members + 1u; ++m) {
            Touch(strings.GetMemberString(classId, m, 0xFF));
            for (std::uint16_t v = 0; v < 4; ++v) Touch(strings.GetEnumeratorString(classId, m, v, 0xFF));
        }
        Touch(strings.GetMemberString(classId, 0xFFFE, 0xFF));
    }
    // Lookups for the classes the link tables name themselves.
    for (std::size_t at = 0; at + 4 <= links.size(); at += 97) {
        const std::uint32_t classId = (std::uint32_t{links[at]} << 24) | (std::uint32_t{links[at + 1]} << 16) |
                                      (std::uint32_t{links[at + 2]} << 8) | links[at + 3];
        Touch(strings.GetClassText(classId, 0xFF));
        Touch(strings.GetEnumeratorString(classId, 0, 1, 0xFF));
    }
    return 0;
}
