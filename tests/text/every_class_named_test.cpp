// For every class of both built-in chains, a string table set up with one
// call names the class, every member, species and enumerator and every
// further named enumeration exactly as the definition does.
#include <gtest/gtest.h>

#include <string>

#include "xqova/builtin/builtin.h"
#include "xqova/core/class_id.h"
#include "xqova/dictionary/definition.h"
#include "xqova/text/string_table.h"

namespace {

std::string Text(const char* s) { return s == nullptr ? "(null)" : s; }

TEST(EveryClassNamed, BuiltInChains) {
    const struct {
        const char* chain;
        void* (*dictionary)();
        std::uint16_t classes;
        std::size_t atLeast;  // names to compare, at the least
    } cases[] = {
        {"RER_SDK", RER_SDK::Dictionary, 17, 300},
        {"RER_KLEV_ZENTO", RER_KLEV_ZENTO::Dictionary, 40, 700},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.chain);
        CXQOVADictionary dictionary(c.dictionary());
        ASSERT_EQ(dictionary.GetDefinitionCount(), c.classes);
        CXQOVAStringTable strings;
        ASSERT_EQ(strings.AddDictionaryTables(&dictionary), 1);

        std::size_t compared = 0;
        auto same = [&compared](const char* fromTable, const char* fromDefinition) {
            EXPECT_EQ(Text(fromTable), Text(fromDefinition));
            EXPECT_NE(fromDefinition, nullptr);
            EXPECT_NE(fromTable, fromDefinition);  // the string table's own copy
            ++compared;
        };
        for (std::uint16_t i = 0; i < c.classes; ++i) {
            const void* block = dictionary.GetDefinitionAt(i);
            const std::uint32_t id = DefinitionClassID(block);
            const std::uint16_t members = xqova::DefinitionMemberCount(block);
            const std::uint16_t entries =
                ReadInt16(static_cast<const unsigned char*>(block) + xqova::DefinitionTextOffset(block) + 2);
            SCOPED_TRACE(Text(xqova::DefinitionText(block, 0xFFFF)));
            ASSERT_NE(xqova::DefinitionMember(block, 0), xqova::kTypeInherit);  // identifiers are positions

            // Entries by lookup index: the members, the class (0xFFFF), then
            // the further named enumerations (0xFFFE down).
            for (std::uint32_t k = 0; k < entries; ++k) {
                const std::uint16_t index = static_cast<std::uint16_t>(k < members ? k : members - k - 1);
                same(strings.GetMemberString(id, index, 0xFF), xqova::DefinitionText(block, index));
                for (std::uint16_t p = 0; p < xqova::DefinitionEnumerationSize(block, index); ++p) {
                    std::uint16_t value;
                    ASSERT_TRUE(xqova::DefinitionEnumerationPair(block, index, p, &value, nullptr));
                    same(strings.GetEnumeratorString(id, index, value, 0),
                         xqova::DefinitionEnumerator(block, index, value));  // the first pair of a value
                    if (index != 0xFFFF) continue;
                    same(strings.GetSpeciesString(id, static_cast<std::uint8_t>(value), 0),
                         xqova::DefinitionEnumerator(block, index, value));
                    same(strings.GetClassText((id & 0xFFFFFF00u) | value, 0), xqova::DefinitionText(block, index));
                }
            }
            EXPECT_EQ(strings.GetMemberString(id, members, 0), nullptr);
        }
        EXPECT_GE(compared, c.atLeast);
    }
}

}  // namespace
