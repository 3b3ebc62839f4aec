#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "support/bmi_block.h"
#include "support/objects.h"
#include "text/table_bytes.h"
#include "xqova/core/memory.h"
#include "xqova/dictionary/dictionary.h"
#include "xqova/dictionary/encoding_structure.h"
#include "xqova/dictionary/hashing.h"
#include "xqova/dictionary/id_index.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes Block(std::uint16_t family, std::uint8_t genus, std::vector<std::uint8_t> species, std::uint16_t version) {
    xqova::build::ClassDescription d = xqova_test::BmiDescription();
    d.family = family;
    d.genus = genus;
    d.species.clear();
    for (std::uint8_t s : species) d.species.push_back({s, "Sp" + std::to_string(s)});
    d.version = version;
    return xqova::build::BuildDefinition(d, xqova_test::NoClassName);
}

TEST(Dictionary, KeepsItsOwnCopyOfNewerWholeDefinitionsOnly) {
    CXQOVADictionary dictionary;
    for (SearchMode_e mode : {SEARCH_MODE_ALL, SEARCH_MODE_BASE, SEARCH_MODE_ADDED}) {
        EXPECT_TRUE(dictionary.GetDefinitionCount(mode) == 0 && dictionary.GetDefinitionAt(0, mode) == nullptr &&
                    dictionary.GetDefinition(0x00110800u, mode) == nullptr) << mode;
    }
    Bytes bmi = xqova_test::BmiBlockBytes();
    EXPECT_EQ(dictionary.AddDefinition(bmi.data(), bmi.size() - 1), nullptr);  // larger than its bytes
    void* copy = dictionary.AddDefinition(bmi.data(), bmi.size());
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, static_cast<void*>(bmi.data()));
    EXPECT_EQ(dictionary.AddDefinition(bmi.data()), nullptr);  // not newer
    EXPECT_EQ(dictionary.GetDefinitionCount(), 1);
    std::fill(bmi.begin(), bmi.end(), 0);  // the caller's block may go
    EXPECT_EQ(dictionary.GetDefinition(17, 8, 0), copy);
    EXPECT_EQ(DefinitionFullSize(copy), 336);
    EXPECT_EQ(dictionary.AddDefinition(nullptr), nullptr);
}

// The serving rule straight from its statement: walk the mode's scope in
// order, the first block whose family and genus match and whose species
// codes include the class's serves it.
const void* ServingByWalk(const std::vector<const void*>& scope, std::uint32_t classId) {
    for (const void* block : scope) {
        const auto* p = static_cast<const unsigned char*>(block);
        if ((DefinitionClassID(block) >> 8) != (classId >> 8)) continue;
        for (unsigned i = 0; i < p[0]; ++i) {
            if (p[4 + i] == (classId & 0xFF)) return block;
        }
    }
    return nullptr;
}

TEST(Dictionary, IndexedLookupsFollowTheWalkInEveryMode) {
    // Overlapping species lists in the base chain and among the added
    // definitions, a repeated species inside one list, a later base block
    // that an earlier one hides, newer versions hiding base ones.
    test_objects::Chain chain({Block(0x72, 3, {0, 1, 2, 3}, 100), Block(0x72, 3, {3, 4}, 100), Block(0x72, 4, {0}, 100),
                               Block(0x72, 3, {5, 5, 1}, 100), Block(17, 8, {0}, 100)});
    const std::vector<Bytes> added = {Block(0x72, 3, {2, 6}, 101), Block(0x72, 3, {4}, 101),
                                      Block(0x72, 3, {6, 0, 2}, 102), Block(0x72, 4, {0, 9}, 101),
                                      Block(0x73, 3, {1}, 100), Block(17, 8, {0}, 101)};
    const std::vector<const void*> base = test_objects::ChainBlocks(chain.Head());

    for (long failAfter = -1; failAfter < 6; ++failAfter) {
        SCOPED_TRACE(failAfter);  // -1: no allocation fails
        // Whichever allocation of the construction fails, the base chain is
        // walked instead or its blocks are left for objects to compile.
        xqova::testing::FailAllocationsAfter(failAfter);
        CXQOVADictionary dictionary(chain.Head());
        xqova::testing::FailAllocationsAfter(-1);
        std::vector<const void*> copies;
        for (const auto& b : added) {
            copies.insert(copies.begin(), dictionary.AddDefinition(b.data()));
            ASSERT_NE(copies.front(), nullptr);
        }
        dictionary.SetSearchMode(static_cast<SearchMode_e>(3));  // no mode: ignored
        EXPECT_EQ(dictionary.GetSearchMode(), SEARCH_MODE_ALL);
        for (SearchMode_e mode : {SEARCH_MODE_ALL, SEARCH_MODE_BASE, SEARCH_MODE_ADDED}) {
            dictionary.SetSearchMode(mode);
            std::vector<const void*> scope;
            if (mode != SEARCH_MODE_BASE) scope = copies;  // the newest first
            if (mode != SEARCH_MODE_ADDED) scope.insert(scope.end(), base.begin(), base.end());
            for (std::uint32_t familyGenus : {0x007202u, 0x007203u, 0x007204u, 0x007303u, 0x001108u}) {
                for (std::uint32_t species = 0; species < 16; ++species) {
                    const std::uint32_t classId = familyGenus << 8 | species;
                    EXPECT_EQ(dictionary.GetDefinition(classId), ServingByWalk(scope, classId))
                        << std::hex << classId << " mode " << mode;
                }
            }
            EXPECT_EQ(dictionary.GetDefinitionCount(), scope.size());
            for (std::uint16_t i = 0; i <= scope.size(); ++i) {
                EXPECT_EQ(dictionary.GetDefinitionAt(i), i < scope.size() ? scope[i] : nullptr) << i;
            }
        }
        // The forms that name their scope answer alike, whatever the mode.
        EXPECT_EQ(dictionary.GetDefinition(0x00720305u, SEARCH_MODE_BASE), base[3]);
        EXPECT_EQ(dictionary.GetDefinitionAt(static_cast<std::uint16_t>(copies.size()), SEARCH_MODE_ALL), base[0]);
        EXPECT_EQ(dictionary.GetDefinitionCount(SEARCH_MODE_BASE), base.size());
        EXPECT_EQ(dictionary.GetSearchMode(), SEARCH_MODE_ADDED);
    }
}

TEST(Dictionary, HoldsNoMoreThanItsCountCanState) {
    std::vector<Bytes> blocks;
    for (std::uint32_t k = 0; k < 10; ++k) blocks.push_back(text_test::TinyDefinition(0x01000000u + k));
    test_objects::Chain chain(blocks);
    CXQOVADictionary dictionary(chain.Head());
    Bytes buffer;
    for (std::uint32_t k = 0; k < 0x10000; ++k) {
        const Bytes b = text_test::TinyDefinition(k);
        buffer.insert(buffer.end(), b.begin(), b.end());
    }
    // Every block is read; those beyond 65,535 definitions in all are passed
    // over like older versions.
    EXPECT_EQ(dictionary.AddDefinitions(buffer.data(), static_cast<std::uint32_t>(buffer.size())), 0xFFFF);
    // The last one added is the first of the scope; the base chain ends it.
    EXPECT_EQ(std::make_tuple(dictionary.GetDefinitionCount(), dictionary.GetDefinitionCount(SEARCH_MODE_ADDED), dictionary.GetDefinition(0xFFFF - 10),
                              dictionary.GetDefinitionAt(0) != nullptr && dictionary.GetDefinitionAt(0) == dictionary.GetDefinition(0xFFFF - 11),
                              dictionary.GetDefinitionAt(0xFFFE)),
              std::make_tuple(0xFFFF, 0xFFFF - 10, nullptr, true, test_objects::ChainBlocks(chain.Head())[9]));
    EXPECT_EQ(dictionary.AddDefinition(text_test::TinyDefinition(0x02000000u).data()), nullptr);
}

TEST(Dictionary, BulkAddCountsAsTheWalkGoes) {
    const Bytes a = Block(17, 8, {0}, 100), b = Block(18, 8, {0}, 100);
    const auto join = [](Bytes x, const Bytes& y) { return x.insert(x.end(), y.begin(), y.end()), x; };
    const Bytes both = join(a, b);
    Bytes secondDamaged(both), firstDamaged(both);
    secondDamaged[a.size() + 40] ^= 0xFF;
    firstDamaged[40] ^= 0xFF;
    const struct {
        const char* what;
        Bytes buffer;
        std::uint16_t expected;
        std::uint16_t count;
    } cases[] = {
        {"two sound blocks", both, 0xFFFF, 2},
        {"second damaged", secondDamaged, 1, 1},
        {"first damaged", firstDamaged, 0, 0},
        {"second refused as not newer", join(a, a), 0xFFFF, 1},
        {"length cuts the second block", Bytes(both.begin(), both.end() - 1), 1, 1},
        {"a stray byte after the blocks", join(both, {0x01}), 2, 2},
        {"a block of size 0", join(a, Bytes(20, 0)), 1, 1},
    };
    for (const auto& c : cases) {
        CXQOVADictionary dictionary;
        // Exactly the buffer's bytes are handed over, so a read past them is caught.
        EXPECT_EQ(dictionary.AddDefinitions(c.buffer.data(), static_cast<std::uint32_t>(c.buffer.size())), c.expected)
            << c.what;
        EXPECT_EQ(dictionary.GetDefinitionCount(), c.count) << c.what;
    }
    CXQOVADictionary dictionary;
    EXPECT_EQ(dictionary.AddDefinitions(nullptr, 100), 0);
    EXPECT_EQ(dictionary.AddDefinitions(both.data(), 0), 0);  // nothing to consume is no exact consumption
}

TEST(Dictionary, OutOfMemoryAddsNothing) {
    // The n-th allocation of an add fails, for every n the add makes: either
    // the add succeeds or the dictionary is as it was. The 17th definition
    // also needs room for more nodes and index entries.
    std::vector<Bytes> earlier;
    for (std::uint8_t g = 0; g < 16; ++g) earlier.push_back(Block(17, g, {0, 1, 2}, 100));
    const Bytes a = Block(18, 8, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}, 100);
    bool added = false;
    for (long failAfter = 0; !added; ++failAfter) {
        ASSERT_LT(failAfter, 10);
        CXQOVADictionary dictionary;
        for (const auto& b : earlier) ASSERT_NE(dictionary.AddDefinition(b.data()), nullptr);
        xqova::testing::FailAllocationsAfter(failAfter);
        added = dictionary.AddDefinition(a.data()) != nullptr;
        xqova::testing::FailAllocationsAfter(-1);
        EXPECT_EQ(dictionary.GetDefinitionCount(), added ? 17 : 16) << failAfter;
        EXPECT_EQ(dictionary.GetDefinition(0x00120807u) != nullptr, added) << failAfter;
        EXPECT_EQ(DefinitionClassID(dictionary.GetDefinitionAt(0)), added ? 0x00120800u : 0x00110F00u) << failAfter;
        for (std::uint8_t g = 0; g < 16; ++g) EXPECT_NE(dictionary.GetDefinition(17, g, 2), nullptr);
        EXPECT_TRUE(added || dictionary.AddDefinition(a.data()) != nullptr) << failAfter;  // a failure left it addable
    }
}

// The index is never more than half full: room reserved needs no memory
// later, one identifier beyond half the slots (16, 32, 64, ...) does. Even
// room for none takes the first 16 slots; room no memory could hold is refused.
TEST(IdIndex, HalfItsSlotsStayFreeAndReservedRoomNeedsNoMemory) {
    const struct {
        std::uint32_t held, room;
    } cases[] = {{0, 8}, {1, 7}, {8, 0}, {9, 7}, {16, 0}, {17, 15}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.held);
        xqova::IdIndex index;
        ASSERT_TRUE(index.Reserve(c.held));
        for (std::uint32_t k = 0; k < c.held; ++k) index.Set(k * 0x01010101u, &index);
        xqova::testing::FailAllocationsAfter(0);
        EXPECT_TRUE(index.Reserve(c.room));
        EXPECT_FALSE(index.Reserve(c.room + 1) || index.Reserve(~std::size_t{0} >> 4) || index.Reserve(~std::size_t{0}));
        xqova::testing::FailAllocationsAfter(-1);
        EXPECT_EQ(std::make_tuple(index.Count(), index.Find(c.held * 0x01010101u), index.Find((c.held - 1) * 0x01010101u)),
                  std::make_tuple(c.held, nullptr, c.held == 0 ? nullptr : &index));
    }
    // Slots are spread by the SplitMix64 finalizer: its published first output.
    EXPECT_EQ(xqova::Mix64(0x9E3779B97F4A7C15u), 0xE220A8397B1DCDAFu);
}

// A read of an encoding's structure takes its bytes only when all of them lie
// before the window's end.
TEST(ByteWindow, ReadsOnlyUpToItsEnd) {
    const unsigned char bytes[] = {0xAA, 0x01, 0x02, 0x03, 0x04};
    for (std::size_t end = 1; end <= sizeof bytes; ++end) {
        xqova::ByteWindow a(bytes, 1, end), b(bytes, 1, end);
        std::uint16_t u16 = 0;
        std::uint32_t u32 = 0;
        EXPECT_EQ(a.U16(&u16), end >= 3) << end;
        EXPECT_EQ(b.U32(&u32), end == 5) << end;
        EXPECT_TRUE(end < 5 || (u16 == 0x0102 && u32 == 0x01020304u && b.AtEnd() && a.Remaining() == 2));
    }
}

}  // namespace
