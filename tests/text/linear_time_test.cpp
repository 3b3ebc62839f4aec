// Work that grows with its input grows linearly: each workload runs at two
// sizes a factor of 8 apart (test_timing::ExpectLinear).
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "support/bmi_block.h"
#include "support/objects.h"
#include "support/timing.h"
#include "table_bytes.h"
#include "xqova/text/string_table.h"

namespace {

using text_test::Bytes;
using test_timing::Work;

std::shared_ptr<Bytes> Concatenated(std::size_t n, const std::function<Bytes(std::uint32_t)>& block) {
    auto all = std::make_shared<Bytes>();
    for (std::uint32_t k = 0; k < n; ++k) {
        const Bytes b = block(k);
        all->insert(all->end(), b.begin(), b.end());
    }
    return all;
}

// A definition without members whose `entries` text entries all name one
// string of `length` characters.
Bytes OneLongNameDefinition(std::uint16_t entries, std::size_t length) {
    const std::size_t text = 15, strings = 4 + 4u * entries;
    Bytes b(text + strings + length + 1 + 2, 0);
    b[0] = 1;
    WriteInt32(b.data() + 1, 0x00500000);
    WriteInt16(b.data() + 5, 100);
    WriteInt16(b.data() + 7, static_cast<std::uint16_t>(text));
    WriteInt16(b.data() + 9, static_cast<std::uint16_t>(b.size()));
    WriteInt16(b.data() + 11, 1);  // carries text
    WriteInt16(b.data() + text + 2, entries);
    for (std::uint16_t k = 0; k < entries; ++k) {
        WriteInt16(b.data() + text + 4 + 4u * k, 0xFFFF);
        WriteInt16(b.data() + text + 6 + 4u * k, static_cast<std::uint16_t>(strings));
    }
    std::fill(b.begin() + static_cast<std::ptrdiff_t>(text + strings),
              b.begin() + static_cast<std::ptrdiff_t>(text + strings + length), 'n');
    text_test::Stamp(&b);
    return b;
}

TEST(LinearTime, DictionariesTablesAndTheDefinitionCheck) {
    const struct {
        const char* what;
        std::size_t n;
        std::function<Work(std::size_t)> prepare;
    } workloads[] = {
        {"dictionary: add n definitions, look each up, index each", 4096,
         [](std::size_t n) -> Work {
             auto buffer = Concatenated(n, text_test::TinyDefinition);
             return [buffer, n] {
                 CXQOVADictionary dictionary;
                 ASSERT_EQ(dictionary.AddDefinitions(buffer->data(), static_cast<std::uint32_t>(buffer->size())), 0xFFFF);
                 ASSERT_EQ(dictionary.GetDefinitionCount(), n);
                 for (std::uint16_t i = 0; i < n; ++i) {
                     ASSERT_TRUE(dictionary.GetDefinition(i) != nullptr && dictionary.GetDefinitionAt(i) != nullptr);
                 }
             };
         }},
        {"dictionary over a base chain of n: look each up, index each", 4096,
         [](std::size_t n) -> Work {
             std::vector<Bytes> blocks;
             for (std::uint32_t k = 0; k < n; ++k) blocks.push_back(text_test::TinyDefinition(k));
             auto chain = std::make_shared<test_objects::Chain>(std::move(blocks));
             return [chain, n] {
                 CXQOVADictionary dictionary(chain->Head());
                 for (std::uint16_t i = 0; i < n; ++i) {
                     ASSERT_TRUE(dictionary.GetDefinition(i) != nullptr &&
                                 dictionary.GetDefinitionAt(i, SEARCH_MODE_BASE) != nullptr);
                 }
             };
         }},
        {"link tables: add n, look each up", 4096,
         [](std::size_t n) -> Work {
             auto buffer = Concatenated(n, [](std::uint32_t k) { return text_test::LinkTable(k, 0, {{0, {}}}); });
             return [buffer, n] {
                 CXQOVAStringTable strings;
                 ASSERT_EQ(strings.AddLinkTables(buffer->data(), static_cast<std::uint32_t>(buffer->size())), 0xFFFF);
                 for (std::uint32_t k = 0; k < n; ++k) ASSERT_NE(strings.GetLinkTable(k), nullptr);
             };
         }},
        {"language tables: add n (each id 8 bits, so most replace one)", 4096,
         [](std::size_t n) -> Work {
             auto buffer = Concatenated(
                 n, [](std::uint32_t k) { return text_test::LanguageTable(static_cast<std::uint8_t>(k), {"name"}); });
             return [buffer] {
                 CXQOVAStringTable strings;
                 ASSERT_EQ(strings.AddLanguageTables(buffer->data(), static_cast<std::uint32_t>(buffer->size())), 0xFFFF);
             };
         }},
        {"tables derived from a dictionary of n named definitions", 2048,
         [](std::size_t n) -> Work {
             // The definition of CBMICStd under other class ids: names and enumerations.
             auto dictionary = std::make_shared<CXQOVADictionary>();
             for (std::uint32_t k = 0; k < n; ++k) {
                 Bytes b = xqova_test::BmiBlockBytes();
                 WriteInt32(b.data() + 1, 0x01000000u + (k << 8));
                 text_test::Stamp(&b);
                 EXPECT_NE(dictionary->AddDefinition(b.data()), nullptr);
             }
             return [dictionary] {
                 CXQOVAStringTable strings;
                 ASSERT_EQ(strings.AddDictionaryTables(dictionary.get()), 1);
             };
         }},
        // At 8n: a 64 KiB definition whose 8,000 entries name one 33,508-byte string.
        {"definition check: n entries naming one string of ~4.2n bytes", 1000,
         [](std::size_t n) -> Work {
             auto block = std::make_shared<Bytes>(OneLongNameDefinition(static_cast<std::uint16_t>(n), n * 33508 / 8000));
             return [block] {
                 for (int i = 0; i < 10; ++i) ASSERT_TRUE(xqova::DefinitionIsWellFormed(block->data(), block->size()));
             };
         }},
    };
    for (const auto& w : workloads) test_timing::ExpectLinear(w.prepare, w.n, w.what, 0.002);
}

}  // namespace
