// Work that grows with its input grows linearly. Each workload runs at two
// sizes a factor of 8 apart; the larger may take at most 32 times as long
// as the smaller (work quadratic in the size would take 64 times). Each size
// counts its best of three runs, so a busy machine slows both sides rather
// than deciding the outcome.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "support/bmi_block.h"
#include "table_bytes.h"
#include "xqova/core/class_id.h"
#include "xqova/core/crc16.h"
#include "xqova/dictionary/definition.h"
#include "xqova/dictionary/dictionary.h"
#include "tests/support/timing.h"
#include "xqova/text/string_table.h"

namespace {

using text_test::Bytes;
using Work = std::function<void()>;

double BestSeconds(const Work& work) {
    double best = 1e9;
    for (int run = 0; run < 3; ++run) {
        const double start = test_timing::Seconds();
        work();
        const double took = test_timing::Seconds() - start;
        if (took < best) best = took;
    }
    return best;
}

void ExpectLinear(const char* what, const std::function<Work(std::size_t)>& prepare, std::size_t n) {
    const Work small = prepare(n);
    const Work large = prepare(8 * n);
    const double s = BestSeconds(small);
    const double l = BestSeconds(large);
    std::printf("%-58s %8.2f ms at n = %-6zu %8.2f ms at 8n\n", what, 1e3 * s, n, 1e3 * l);
    EXPECT_LE(l, 32 * s + 0.002) << what;
}

// The smallest definition: one species, no members, no text (17 bytes).
Bytes TinyDefinition(std::uint32_t classId) {
    Bytes b(17, 0);
    b[0] = 1;
    WriteInt32(b.data() + 1, classId);
    WriteInt16(b.data() + 5, 100);
    WriteInt16(b.data() + 7, 15);
    WriteInt16(b.data() + 9, 17);
    text_test::Stamp(&b);
    return b;
}

// The definition of CBMICStd under another class id: names and enumerations.
Bytes NamedDefinition(std::uint32_t classId) {
    Bytes b = xqova_test::BmiBlockBytes();
    WriteInt32(b.data() + 1, classId);
    text_test::Stamp(&b);
    return b;
}

Bytes Concatenated(std::size_t n, const std::function<Bytes(std::size_t)>& block) {
    Bytes all;
    for (std::size_t k = 0; k < n; ++k) {
        const Bytes b = block(k);
        all.insert(all.end(), b.begin(), b.end());
    }
    return all;
}

TEST(LinearTime, DictionaryAddsLooksUpAndIndexes) {
    ExpectLinear("dictionary: add n definitions, look each up, index each",
                 [](std::size_t n) -> Work {
                     auto buffer = std::make_shared<Bytes>(
                         Concatenated(n, [](std::size_t k) { return TinyDefinition(static_cast<std::uint32_t>(k)); }));
                     return [buffer, n] {
                         CXQOVADictionary dictionary;
                         ASSERT_EQ(dictionary.AddDefinitions(buffer->data(), static_cast<std::uint32_t>(buffer->size())),
                                   0xFFFF);
                         ASSERT_EQ(dictionary.GetDefinitionCount(), n);
                         for (std::uint16_t i = 0; i < n; ++i) {
                             ASSERT_NE(dictionary.GetDefinition(i), nullptr);
                             ASSERT_NE(dictionary.GetDefinitionAt(i), nullptr);
                         }
                     };
                 },
                 4096);
    ExpectLinear("dictionary over a base chain of n: look each up, index each",
                 [](std::size_t n) -> Work {
                     std::vector<Bytes> blocks;
                     for (std::size_t k = 0; k < n; ++k) blocks.push_back(TinyDefinition(static_cast<std::uint32_t>(k)));
                     auto chain = std::make_shared<text_test::Chain>(std::move(blocks));
                     return [chain, n] {
                         CXQOVADictionary dictionary(chain->Head());
                         for (std::uint16_t i = 0; i < n; ++i) {
                             ASSERT_NE(dictionary.GetDefinition(i), nullptr);
                             ASSERT_NE(dictionary.GetDefinitionAt(i, SEARCH_MODE_BASE), nullptr);
                         }
                     };
                 },
                 4096);
}

TEST(LinearTime, TablesAddAndLookUp) {
    ExpectLinear("link tables: add n, look each up",
                 [](std::size_t n) -> Work {
                     auto buffer = std::make_shared<Bytes>(Concatenated(n, [](std::size_t k) {
                         return text_test::LinkTable(static_cast<std::uint32_t>(k), 0, {{0, {}}});
                     }));
                     return [buffer, n] {
                         CXQOVAStringTable strings;
                         ASSERT_EQ(strings.AddLinkTables(buffer->data(), static_cast<std::uint32_t>(buffer->size())),
                                   0xFFFF);
                         for (std::uint32_t k = 0; k < n; ++k) ASSERT_NE(strings.GetLinkTable(k), nullptr);
                     };
                 },
                 4096);
    ExpectLinear("language tables: add n (each id 8 bits, so most replace one)",
                 [](std::size_t n) -> Work {
                     auto buffer = std::make_shared<Bytes>(Concatenated(n, [](std::size_t k) {
                         return text_test::LanguageTable(static_cast<std::uint8_t>(k), {"name"});
                     }));
                     return [buffer] {
                         CXQOVAStringTable strings;
                         ASSERT_EQ(strings.AddLanguageTables(buffer->data(), static_cast<std::uint32_t>(buffer->size())),
                                   0xFFFF);
                     };
                 },
                 4096);
    ExpectLinear("tables derived from a dictionary of n named definitions",
                 [](std::size_t n) -> Work {
                     auto dictionary = std::make_shared<CXQOVADictionary>();
                     for (std::size_t k = 0; k < n; ++k) {
                         const Bytes b = NamedDefinition(0x01000000u + static_cast<std::uint32_t>(k << 8));
                         EXPECT_NE(dictionary->AddDefinition(b.data()), nullptr);
                     }
                     return [dictionary] {
                         CXQOVAStringTable strings;
                         ASSERT_EQ(strings.AddDictionaryTables(dictionary.get()), 1);
                     };
                 },
                 2048);
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

TEST(LinearTime, DefinitionCheck) {
    // At 8n: a 64 KiB definition whose 8,000 entries name one 33,508-byte string.
    ExpectLinear("definition check: n entries naming one string of ~4.2n bytes",
                 [](std::size_t n) -> Work {
                     auto block = std::make_shared<Bytes>(
                         OneLongNameDefinition(static_cast<std::uint16_t>(n), n * 33508 / 8000));
                     return [block] {
                         for (int i = 0; i < 10; ++i) ASSERT_TRUE(xqova::DefinitionIsWellFormed(block->data(), block->size()));
                     };
                 },
                 1000);
    // The check still refuses the string once its terminator is gone.
    Bytes block = OneLongNameDefinition(8000, 33508);
    EXPECT_EQ(block.size(), 65530u);
    block[block.size() - 3] = 'n';
    text_test::Stamp(&block);
    EXPECT_FALSE(xqova::DefinitionIsWellFormed(block.data(), block.size()));
}

}  // namespace
