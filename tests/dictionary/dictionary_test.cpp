#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "support/bmi_block.h"
#include "xqova/core/class_id.h"
#include "xqova/core/crc16.h"
#include "xqova/core/memory.h"
#include "xqova/dictionary/definition.h"
#include "xqova/dictionary/dictionary.h"

namespace {

using xqova::build::BuildDefinition;
using xqova::build::ClassDescription;

std::vector<unsigned char> Block(std::uint16_t family, std::uint8_t genus, std::vector<std::uint8_t> species,
                                 std::uint16_t version) {
    ClassDescription d = xqova_test::BmiDescription();
    d.family = family;
    d.genus = genus;
    d.species.clear();
    for (std::uint8_t s : species) d.species.push_back({s, "Sp" + std::to_string(s)});
    d.version = version;
    return BuildDefinition(d, xqova_test::NoClassName);
}

// A chain of caller-owned nodes over caller-owned blocks.
struct Chain {
    std::vector<std::vector<unsigned char>> blocks;
    std::vector<TableEntry_s> nodes;
    void* Link() {
        nodes.resize(blocks.size());
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            nodes[i].block = blocks[i].data();
            nodes[i].next = i + 1 < blocks.size() ? &nodes[i + 1] : nullptr;
        }
        return nodes.empty() ? nullptr : nodes.data();
    }
};

TEST(Dictionary, EmptyFindsNothingInEveryMode) {
    CXQOVADictionary dictionary;
    for (SearchMode_e mode : {SEARCH_MODE_ALL, SEARCH_MODE_BASE, SEARCH_MODE_ADDED}) {
        dictionary.SetSearchMode(mode);
        EXPECT_EQ(dictionary.GetDefinitionCount(), 0);
        EXPECT_EQ(dictionary.GetDefinitionAt(0), nullptr);
        EXPECT_EQ(dictionary.GetDefinition(0x00110800u), nullptr);
    }
}

TEST(Dictionary, AcceptsOnlyNewerDefinitionsAndKeepsItsOwnCopy) {
    CXQOVADictionary dictionary;
    std::vector<unsigned char> bmi = xqova_test::BmiBlockBytes();
    void* copy = dictionary.AddDefinition(bmi.data());
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, static_cast<void*>(bmi.data()));
    EXPECT_EQ(dictionary.AddDefinition(bmi.data()), nullptr);  // not newer
    EXPECT_EQ(dictionary.GetDefinitionCount(), 1);
    std::fill(bmi.begin(), bmi.end(), 0);  // the caller's block may go
    EXPECT_EQ(dictionary.GetDefinition(17, 8, 0), copy);
    EXPECT_EQ(DefinitionFullSize(copy), 336);
    EXPECT_EQ(dictionary.AddDefinition(nullptr), nullptr);
}

TEST(Dictionary, AddedDefinitionsHideBaseOnesPerMode) {
    Chain chain;
    chain.blocks.push_back(Block(17, 8, {0}, 100));
    chain.blocks.push_back(Block(0x72, 3, {0, 1, 2, 3}, 100));
    CXQOVADictionary dictionary(chain.Link());
    EXPECT_EQ(dictionary.GetDefinitionCount(), 2);

    const std::vector<unsigned char> newer = Block(17, 8, {0}, 101);
    ASSERT_NE(dictionary.AddDefinition(newer.data()), nullptr);
    EXPECT_EQ(dictionary.GetDefinitionCount(), 3);
    EXPECT_EQ(DefinitionVersion(dictionary.GetDefinition(0x00110800u)), 101);
    dictionary.SetSearchMode(SEARCH_MODE_ADDED);
    EXPECT_EQ(DefinitionVersion(dictionary.GetDefinition(0x00110800u)), 101);
    EXPECT_EQ(dictionary.GetDefinitionCount(), 1);
    EXPECT_EQ(dictionary.GetDefinition(0x00720300u), nullptr);
    dictionary.SetSearchMode(SEARCH_MODE_BASE);
    EXPECT_EQ(DefinitionVersion(dictionary.GetDefinition(0x00110800u)), 100);
    EXPECT_EQ(dictionary.GetDefinitionCount(), 2);
    EXPECT_EQ(dictionary.GetDefinitionAt(1), chain.blocks[1].data());
    EXPECT_EQ(dictionary.GetDefinitionAt(2), nullptr);

    dictionary.SetSearchMode(static_cast<SearchMode_e>(3));
    EXPECT_EQ(dictionary.GetSearchMode(), SEARCH_MODE_BASE);
    dictionary.SetSearchMode(SEARCH_MODE_ALL);
    EXPECT_EQ(dictionary.GetDefinitionAt(0), dictionary.GetDefinition(0x00110800u));
    EXPECT_EQ(dictionary.GetDefinitionAt(2), chain.blocks[1].data());
}

TEST(Dictionary, ServesEveryListedSpecies) {
    Chain chain;
    chain.blocks.push_back(Block(0x72, 3, {0, 1, 2, 3}, 100));
    CXQOVADictionary dictionary(chain.Link());
    EXPECT_EQ(DefinitionClassID(chain.blocks[0].data()), 0x00720300u);
    for (std::uint32_t species = 0; species < 4; ++species) {
        EXPECT_EQ(dictionary.GetDefinition(0x00720300u + species), chain.blocks[0].data()) << species;
    }
    EXPECT_EQ(dictionary.GetDefinition(0x00720304u), nullptr);
    EXPECT_EQ(dictionary.GetDefinition(0x00720400u), nullptr);
    // A newer definition for species 2 hides the older one for every species both serve.
    const std::vector<unsigned char> newer = Block(0x72, 3, {2}, 101);
    ASSERT_NE(dictionary.AddDefinition(newer.data()), nullptr);
    EXPECT_EQ(DefinitionVersion(dictionary.GetDefinition(0x00720302u)), 101);
    EXPECT_EQ(DefinitionVersion(dictionary.GetDefinition(0x00720301u)), 100);
}

// The serving rule straight from its statement: walk the mode's scope in
// order, the first block whose family and genus match and whose species
// codes include the class's serves it.
const void* ServingByWalk(const std::vector<const void*>& added, const std::vector<const void*>& base,
                          std::uint32_t classId, SearchMode_e mode) {
    std::vector<const void*> scope;
    if (mode != SEARCH_MODE_BASE) scope.insert(scope.end(), added.rbegin(), added.rend());
    if (mode != SEARCH_MODE_ADDED) scope.insert(scope.end(), base.begin(), base.end());
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
    // that an earlier one hides.
    Chain chain;
    chain.blocks.push_back(Block(0x72, 3, {0, 1, 2, 3}, 100));
    chain.blocks.push_back(Block(0x72, 3, {3, 4}, 100));
    chain.blocks.push_back(Block(0x72, 4, {0}, 100));
    chain.blocks.push_back(Block(0x72, 3, {5, 5, 1}, 100));
    const std::vector<std::vector<unsigned char>> added = {
        Block(0x72, 3, {2, 6}, 101), Block(0x72, 3, {4}, 101), Block(0x72, 3, {6, 0, 2}, 102),
        Block(0x72, 4, {0, 9}, 101), Block(0x73, 3, {1}, 100)};
    std::vector<const void*> base;
    for (const auto& b : chain.blocks) base.push_back(b.data());

    for (bool baseIndexFails : {false, true}) {
        SCOPED_TRACE(baseIndexFails ? "base chain walked" : "base chain indexed");
        // Without memory at construction the base chain is walked instead.
        if (baseIndexFails) xqova::testing::FailAllocationsAfter(0);
        CXQOVADictionary dictionary(chain.Link());
        xqova::testing::FailAllocationsAfter(-1);
        std::vector<const void*> copies;
        for (const auto& b : added) {
            const void* copy = dictionary.AddDefinition(b.data());
            ASSERT_NE(copy, nullptr);
            copies.push_back(copy);
        }
        for (SearchMode_e mode : {SEARCH_MODE_ALL, SEARCH_MODE_BASE, SEARCH_MODE_ADDED}) {
            dictionary.SetSearchMode(mode);
            for (std::uint32_t familyGenus : {0x007202u, 0x007203u, 0x007204u, 0x007303u}) {
                for (std::uint32_t species = 0; species < 16; ++species) {
                    const std::uint32_t classId = familyGenus << 8 | species;
                    EXPECT_EQ(dictionary.GetDefinition(classId), ServingByWalk(copies, base, classId, mode))
                        << std::hex << classId << " mode " << mode;
                }
            }
            std::vector<const void*> scope;
            if (mode != SEARCH_MODE_BASE) scope.insert(scope.end(), copies.rbegin(), copies.rend());
            if (mode != SEARCH_MODE_ADDED) scope.insert(scope.end(), base.begin(), base.end());
            EXPECT_EQ(dictionary.GetDefinitionCount(), scope.size());
            for (std::uint16_t i = 0; i <= scope.size(); ++i) {
                EXPECT_EQ(dictionary.GetDefinitionAt(i), i < scope.size() ? scope[i] : nullptr) << i;
            }
        }
        // The forms that name their scope answer alike, whatever the mode.
        dictionary.SetSearchMode(SEARCH_MODE_ADDED);
        EXPECT_EQ(dictionary.GetDefinition(0x00720305u, SEARCH_MODE_BASE), base[3]);
        EXPECT_EQ(dictionary.GetDefinitionAt(static_cast<std::uint16_t>(copies.size()), SEARCH_MODE_ALL), base[0]);
        EXPECT_EQ(dictionary.GetDefinitionCount(SEARCH_MODE_BASE), base.size());
        EXPECT_EQ(dictionary.GetSearchMode(), SEARCH_MODE_ADDED);
    }
}

// The smallest definition: one species, no members, no text (17 bytes).
std::vector<unsigned char> TinyBlock(std::uint32_t classId) {
    std::vector<unsigned char> b(17, 0);
    b[0] = 1;
    WriteInt32(b.data() + 1, classId);
    WriteInt16(b.data() + 5, 100);  // version
    WriteInt16(b.data() + 7, 15);   // text offset: right after the header
    WriteInt16(b.data() + 9, 17);   // full size
    WriteInt16(b.data() + 15, CalculateCRC(b.data(), 15));
    return b;
}

TEST(Dictionary, HoldsNoMoreThanItsCountCanState) {
    Chain chain;
    for (std::uint32_t k = 0; k < 10; ++k) chain.blocks.push_back(TinyBlock(0x01000000u + k));
    CXQOVADictionary dictionary(chain.Link());
    std::vector<unsigned char> buffer;
    for (std::uint32_t k = 0; k < 0x10000; ++k) {
        const std::vector<unsigned char> b = TinyBlock(k);
        buffer.insert(buffer.end(), b.begin(), b.end());
    }
    // Every block is read; those beyond 65,535 definitions in all are passed
    // over like older versions.
    EXPECT_EQ(dictionary.AddDefinitions(buffer.data(), static_cast<std::uint32_t>(buffer.size())), 0xFFFF);
    EXPECT_EQ(dictionary.GetDefinitionCount(), 0xFFFF);
    EXPECT_EQ(dictionary.GetDefinitionCount(SEARCH_MODE_ADDED), 0xFFFF - 10);
    EXPECT_NE(dictionary.GetDefinition(0xFFFF - 11), nullptr);
    EXPECT_EQ(dictionary.GetDefinition(0xFFFF - 10), nullptr);
    EXPECT_EQ(dictionary.GetDefinitionAt(0), dictionary.GetDefinition(0xFFFF - 11));
    EXPECT_EQ(dictionary.GetDefinitionAt(0xFFFE), chain.blocks[9].data());
    EXPECT_EQ(dictionary.AddDefinition(TinyBlock(0x02000000u).data()), nullptr);
}

TEST(Dictionary, BulkAddCountsAsTheWalkGoes) {
    const std::vector<unsigned char> a = Block(17, 8, {0}, 100);
    const std::vector<unsigned char> b = Block(18, 8, {0}, 100);
    std::vector<unsigned char> both(a);
    both.insert(both.end(), b.begin(), b.end());

    struct Case {
        const char* what;
        std::vector<unsigned char> buffer;
        std::uint32_t length;
        std::uint16_t expected;
        std::uint16_t count;
    };
    std::vector<unsigned char> secondDamaged(both);
    secondDamaged[a.size() + 40] ^= 0xFF;
    std::vector<unsigned char> firstDamaged(both);
    firstDamaged[40] ^= 0xFF;
    std::vector<unsigned char> repeated(a);
    repeated.insert(repeated.end(), a.begin(), a.end());
    std::vector<unsigned char> trailing(both);
    trailing.push_back(0x01);
    std::vector<unsigned char> zeroSize(a);
    zeroSize.insert(zeroSize.end(), 20, 0);
    const Case cases[] = {
        {"two sound blocks", both, static_cast<std::uint32_t>(both.size()), 0xFFFF, 2},
        {"second damaged", secondDamaged, static_cast<std::uint32_t>(both.size()), 1, 1},
        {"first damaged", firstDamaged, static_cast<std::uint32_t>(both.size()), 0, 0},
        {"second refused as not newer", repeated, static_cast<std::uint32_t>(repeated.size()), 0xFFFF, 1},
        {"length cuts the second block", both, static_cast<std::uint32_t>(both.size() - 1), 1, 1},
        {"a stray byte after the blocks", trailing, static_cast<std::uint32_t>(trailing.size()), 2, 2},
        {"a block of size 0", zeroSize, static_cast<std::uint32_t>(zeroSize.size()), 1, 1},
        {"nothing", both, 0, 0, 0},
    };
    for (const Case& c : cases) {
        CXQOVADictionary dictionary;
        // Exactly `length` bytes are handed over, so a read past them is caught.
        std::vector<unsigned char> exact(c.buffer.begin(), c.buffer.begin() + c.length);
        EXPECT_EQ(dictionary.AddDefinitions(exact.data(), c.length), c.expected) << c.what;
        EXPECT_EQ(dictionary.GetDefinitionCount(), c.count) << c.what;
    }
    CXQOVADictionary dictionary;
    EXPECT_EQ(dictionary.AddDefinitions(nullptr, 100), 0);
    EXPECT_EQ(dictionary.AddDefinitions(both.data(), 0), 0);  // nothing to consume is no exact consumption
}

TEST(Dictionary, BoundedAddRefusesABlockLargerThanItsBytes) {
    const std::vector<unsigned char> a = Block(17, 8, {0}, 100);
    CXQOVADictionary dictionary;
    EXPECT_EQ(dictionary.AddDefinition(a.data(), a.size() - 1), nullptr);
    EXPECT_NE(dictionary.AddDefinition(a.data(), a.size()), nullptr);
}

TEST(Dictionary, OutOfMemoryAddsNothing) {
    // The n-th allocation of an add fails, for every n the add makes: either
    // the add succeeds or the dictionary is as it was. The 17th definition
    // also needs room for more nodes and index entries.
    std::vector<std::vector<unsigned char>> earlier;
    for (std::uint8_t g = 0; g < 16; ++g) earlier.push_back(Block(17, g, {0, 1, 2}, 100));
    const std::vector<unsigned char> a = Block(18, 8, {0, 1, 2, 3, 4, 5, 6, 7}, 100);
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
        if (!added) {
            EXPECT_NE(dictionary.AddDefinition(a.data()), nullptr) << failAfter;
        }
    }
}

}  // namespace
