#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "support/bmi_block.h"
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
}

TEST(Dictionary, BoundedAddRefusesABlockLargerThanItsBytes) {
    const std::vector<unsigned char> a = Block(17, 8, {0}, 100);
    CXQOVADictionary dictionary;
    EXPECT_EQ(dictionary.AddDefinition(a.data(), a.size() - 1), nullptr);
    EXPECT_NE(dictionary.AddDefinition(a.data(), a.size()), nullptr);
}

TEST(Dictionary, OutOfMemoryAddsNothing) {
    const std::vector<unsigned char> a = Block(17, 8, {0}, 100);
    CXQOVADictionary dictionary;
    xqova::testing::FailAllocationsAfter(0);
    EXPECT_EQ(dictionary.AddDefinition(a.data()), nullptr);
    xqova::testing::FailAllocationsAfter(-1);
    EXPECT_EQ(dictionary.GetDefinitionCount(), 0);
    EXPECT_NE(dictionary.AddDefinition(a.data()), nullptr);
}

}  // namespace
