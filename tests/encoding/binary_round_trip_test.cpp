// Round trips with seeded random values: every class of the built-in chains
// and of the tests' shelf (every vector kind) at every version it has, read
// back strictly and leniently and into an object of the newest version;
// the allocations an object built from bytes makes; and the versions of
// nested objects behind a vector.
#include <gtest/gtest.h>

#include "support/objects.h"

namespace {

using namespace test_objects;

// The allocations that building an object from `bytes` makes.
long AllocationsToBuild(CXQOVADictionary& dictionary, const Bytes& bytes) {
    HeapCopy copy(bytes);
    return ForEachAllocationFailure([&](long, auto done) {
               { CXQOVAObject built(&dictionary, xqova::EncodedBytes{copy.data(), copy.size()}); }
               done();
           }) - 1;  // the last run's spare allocation
}

CXQOVADictionary& ShelfDictionary() {
    static CXQOVADictionary dictionary(ShelfChain().Head());
    return dictionary;
}

struct ChainCase { const char* name; CXQOVADictionary& (*dictionary)(); std::vector<std::uint32_t> anyClasses; };

const ChainCase kChains[] = {{"SDK", SdkDictionary, {kNumD, kNumDFloat, kVitals}},
                             {"device", DeviceDictionary, {}},
                             {"shelf", ShelfDictionary, {kItem, kOther}}};

std::uint16_t LowestMemberVersion(const void* definition) {
    std::uint16_t lowest = DefinitionVersion(definition);
    xqova::MemberWalker walker(definition);
    xqova::MemberRecord record;
    while (walker.Next(&record)) lowest = std::min(lowest, record.minVersion);
    return lowest;
}

// The class the definition serves with its last species code, so that
// definitions of several species are exercised beyond their first.
std::uint32_t LastSpeciesClass(const void* definition) {
    const auto* block = static_cast<const unsigned char*>(definition);
    return MakeClassID(GetFamily(block + 1), block[3], block[3 + block[0]]);
}

// Each version's encoding also goes into an object of the newest version:
// the members it carries are read, the others keep their values.
TEST(BinaryRoundTrip, EveryClassAtEveryVersion) {
    int kept = 0;
    for (const ChainCase& chain : kChains) {
        CXQOVADictionary& dictionary = chain.dictionary();
        ASSERT_GT(dictionary.GetDefinitionCount(), 0);
        for (std::uint16_t i = 0; i < dictionary.GetDefinitionCount(); ++i) {
            const void* definition = dictionary.GetDefinitionAt(i);
            const std::uint32_t classId = LastSpeciesClass(definition);
            for (std::uint16_t v = LowestMemberVersion(definition); v <= DefinitionVersion(definition); ++v) {
                SCOPED_TRACE(std::string(chain.name) + " class " + std::to_string(i) + " version " + std::to_string(v));
                CXQOVAObject object(&dictionary, classId, v);
                ASSERT_EQ(v, object.Version());
                Filler(i * 1000u + v, chain.anyClasses).Fill(object);
                const Bytes bytes = Encode(object);
                ASSERT_FALSE(bytes.empty());
                EXPECT_EQ(v, ReadInt16(bytes.data() + 4 + (xqova::IsExtendedClass(classId) ? 4 : 2)));
                ExpectReadsBack(&dictionary, object, bytes);
                CXQOVAObject lenient(&dictionary, classId, v);
                EXPECT_EQ(bytes.size(), Decode(lenient, bytes, 0));
                CXQOVAObject newer(&dictionary, classId, 0xFFFF);
                Filler(9u * v + i + 1, chain.anyClasses).Fill(newer);
                CXQOVAObject before(newer);
                ASSERT_EQ(bytes.size(), Decode(newer, bytes, 1));
                EXPECT_EQ(DefinitionVersion(definition), newer.Version());
                EXPECT_EQ(object.IsValid(), newer.IsValid());
                xqova::MemberWalker walker(definition);
                xqova::MemberRecord record;
                for (std::uint16_t id = 0; walker.Next(&record); ++id) {
                    const bool sent = record.InVersion(v);
                    ExpectSameMember(newer.Member(id), (sent ? object : before).Member(id),
                                     "member " + std::to_string(id) + (sent ? " (in the encoding)" : " (kept)"));
                    kept += sent ? 0 : 1;
                }

            }
        }
    }
    EXPECT_GT(kept, 20);  // the built-in chains do have members added in later versions
}

// One allocation per object builds one from bytes: the record's storage
// holds its eleven nested objects, theirs their fixed arrays; the shelf's,
// its fixed vector's array with its two elements and their storages, the
// array of the ANY_CLASS vector and COther's storage. UNBOUNDED members are
// filled in the room their object's storage kept.
TEST(BinaryRoundTrip, BuiltFromBytesObjectsHoldTheirPartsInOneAllocation) {
    CXQOVAObject record(&DeviceDictionary(), kZentoRec, 0xFFFF);
    Filler(2024).Fill(record);
    EXPECT_EQ(12, AllocationsToBuild(DeviceDictionary(), Encode(record)));
    CXQOVAObject shelf(&ShelfDictionary(), kShelf, 0xFFFF);
    EXPECT_EQ(6, AllocationsToBuild(ShelfDictionary(), Encode(shelf)));

    CXQOVAObject item(&ShelfDictionary(), kItem, 0xFFFF);
    const unsigned short codes[3] = {7, 0x1234, 0xFFFF};
    ASSERT_EQ(1, item.SetMemberAt(5, codes, 3));
    ASSERT_EQ(1, item.SetMemberAt(6, "label", 5));
    const Bytes itemBytes = Encode(item);
    HeapCopy copy(itemBytes);
    CXQOVAObject built(&ShelfDictionary(), xqova::EncodedBytes{copy.data(), copy.size()});
    EXPECT_EQ(1, AllocationsToBuild(ShelfDictionary(), itemBytes));
    // A longer value than the encoding held moves to a buffer of its own.
    ASSERT_EQ(1, built.SetMemberAt(6, "a longer label", 14));
    EXPECT_STREQ("a longer label", static_cast<char*>(built.At(6)));
    EXPECT_EQ(1, built.SetMemberAt(6, "ab", 2));
    EXPECT_STREQ("ab", static_cast<char*>(built.At(6)));
}

// An object built from bytes takes the versions of its nested objects and
// fixed-vector elements from the encoding, also behind a growing vector of a
// named class, whose elements carry size prefixes: declared UNBOUNDED or as a
// fixed array of 0. The bytes are written where CElem is at version 100 and
// read where it is at 101.
TEST(BinaryRoundTrip, BuiltFromBytesNestedVersionsBehindPrefixedVectors) {
    constexpr std::uint32_t kHolder = 0x00440000, kElem = 0x00440100;
    Member zeroArray = VectorOf("Front", kElem, 0);
    zeroArray.type = 0x86;
    for (const Member& front : {VectorOf("Front", kElem, 0), zeroArray}) {
        SCOPED_TRACE(static_cast<int>(front.type));
        // Written at version 100, without the UNBOUNDED member the holder's version 101 adds before One.
        const Bytes holder =
            Build("CHolder", kHolder, {front, M("Later", 0x50, 101), Nested("One", kElem), VectorOf("Pair", kElem, 2)}, 101);
        Chain written({holder, Build("CElem", kElem, {M("Value", 0x11)}, 100)});
        Chain read({holder, Build("CElem", kElem, {M("Value", 0x11), M("Added", 0x11, 101)}, 101)});
        CXQOVADictionary writtenDictionary(written.Head()), readDictionary(read.Head());

        CXQOVAObject object(&writtenDictionary, kHolder, 0xFFFF);
        CXQOVAVector* vector = object.Member(0);
        ASSERT_TRUE(vector != nullptr && vector->Size() == 0 && vector->Push(kElem) != nullptr);
        ASSERT_EQ(1, static_cast<CXQOVAObject*>(object.Member(2))->SetMember(0, static_cast<unsigned short>(9)));
        const Bytes bytes = Encode(object, 100);
        ASSERT_EQ(kElem, ReadInt32(bytes.data() + 11 + 2 + 2));  // the element behind its size prefix

        HeapCopy copy(bytes);
        CXQOVAObject built(&readDictionary, xqova::EncodedBytes{copy.data(), copy.size()});
        CXQOVAObject* one = built.Member(2);
        CXQOVAVector* pair = built.Member(3);
        ASSERT_TRUE(one != nullptr && pair != nullptr && pair->Size() == 2);
        EXPECT_EQ(9u, static_cast<std::uint32_t>(one->Member(0)));
        for (CXQOVAObject* o : {one, pair->At(0), pair->At(1)}) EXPECT_EQ(100, o->Version());
    }
}

}  // namespace
