// The worked examples byte for byte, scalars of every width, the byte-order
// rule around version 200, the text forms, the version rules and the
// elements a vector cannot take (what a refusal leaves: the hostile tests).
#include <gtest/gtest.h>

#include <tuple>

#include "support/objects.h"
#include "xqova/encoding/decode_report.h"

namespace {

using namespace test_objects;

using Refused = std::tuple<xqova::DecodeCheck, std::size_t, std::uint64_t, std::uint64_t>;

// What a decode of an exact-size copy of `bytes` names when it refuses them:
// the check, the byte at fault, what it found and what it expected.
Refused Refusal(CXQOVADictionary& dictionary, const Bytes& bytes) {
    HeapCopy copy(bytes);
    xqova::DecodeReport r;
    EXPECT_FALSE(xqova::DecodeObject(&dictionary, copy.data(), copy.size(), &r));
    return Refused{r.check, r.at, r.found, r.expected};
}

// ---- The three worked examples (GoldenExamples) ----------------------------------------

TEST(BinaryGolden, WorkedExamplesByteForByteBothWays) {
    for (const Golden& g : GoldenExamples()) {
        SCOPED_TRACE(g.name);
        CXQOVAObject original(&g.dictionary(), g.classId, 0xFFFF);
        g.fill(original);
        EXPECT_EQ(Hex(g.bytes), Hex(Encode(original)));  // Encode checks SizeAll against Serialize

        ExpectReadsBack(&g.dictionary(), original, g.bytes);
        Bytes mutableBytes = g.bytes;
        CXQOVAObject trusting(&g.dictionary(), mutableBytes.data());
        ExpectSameObject(original, trusting, "constructor");

        // The unbounded decoder takes the header's total as the length. No
        // buffer: nothing read or written.
        CXQOVAObject unbounded(&g.dictionary(), g.classId, 0xFFFF);
        EXPECT_EQ(g.bytes.size(), unbounded.Deserialize(mutableBytes.data(), 0));
        ExpectSameObject(original, unbounded, "unbounded Deserialize");
        EXPECT_EQ(0u, unbounded.Deserialize(nullptr, 0) | original.Serialize(nullptr, 0xFFFF));
    }
}

// CItem of the shelf: each scalar width big-endian; UNBOUNDED elements at
// version 100 as they lie in memory.
TEST(BinaryGolden, ScalarsOfEveryWidth) {
    CXQOVADictionary dictionary(ShelfChain().Head());
    CXQOVAObject item(&dictionary, kItem, 0xFFFF);
    const QOVA_TIME stamp = {0x07E8, 12, 31, 23, 59, 58, 99};
    const float levels[] = {-1.5f, 0.25f};
    const unsigned short codes[] = {0x0102};
    ASSERT_EQ(std::make_tuple(item.SetMember(0, static_cast<unsigned char>(0x81)), item.SetMember(1, static_cast<std::int32_t>(-2)),
                              item.SetMember(2, stamp), item.SetMember(3, 1.0), item.SetMember(4, static_cast<std::uint32_t>(0x01020304)),
                              item.SetMember(5, codes, 1), item.SetMember(7, levels, 2)),
              std::make_tuple(1, 1, 1, 1, 1, 1, 1));
    const Bytes expected = EncodingOf(kItem, 100,
                                      {0x81,                                            // Small
                                       0xFF, 0xFF, 0xFF, 0xFE,                          // Value
                                       0x07, 0xE8, 12, 31, 23, 59, 58, 99,              // Stamp
                                       0x3F, 0xF0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // Ratio
                                       0x00, 0x00, 0x00, 0x00, 0x01, 0x02, 0x03, 0x04,  // Big
                                       0xBF, 0xC0, 0x00, 0x00, 0x3E, 0x80, 0x00, 0x00}, // Levels
                                      {0x00, 0x02, 0x02, 0x01,                          // Codes
                                       0x00, 0x00});                                    // Name
    EXPECT_EQ(Hex(expected), Hex(Encode(item)));
}

// ---- Byte order around version 200 -----------------------------------------------------

// One class at version 150 and the same members in a class at version 200:
// a uint16 scalar, a uint16 fixed array of 2, a UNBOUNDED uint16 and a
// UNBOUNDED TIME.
constexpr std::uint32_t kOrder150 = 0x00400000;
constexpr std::uint32_t kOrder200 = 0x00400100;

Chain& OrderChain() {
    static Chain chain([] {
        std::vector<Member> members = {M("Scalar", 0x11), FixedArray("Fixed", 0x11, 2), M("Words", 0x51),
                                       M("Stamps", 0x42)};
        return std::vector<Bytes>{Build("COrderOld", kOrder150, members, 150),
                                  Build("COrderNew", kOrder200, members, 200)};
    }());
    return chain;
}

Bytes OrderBytes(std::uint32_t classId, std::uint16_t version, bool littleUnbounded) {
    Bytes variable = littleUnbounded ? Bytes{0x00, 0x04, 0x34, 0x12, 0xCD, 0xAB, 0x00, 0x08, 0xE8, 0x07}
                                     : Bytes{0x00, 0x04, 0x12, 0x34, 0xAB, 0xCD, 0x00, 0x08, 0x07, 0xE8};
    variable.insert(variable.end(), {3, 5, 6, 7, 8, 9});  // the rest of the TIME
    return EncodingOf(classId, version, {0x12, 0x34, 0x12, 0x34, 0xAB, 0xCD}, variable);
}

TEST(BinaryByteOrder, UnboundedElementsFollowTheWrittenVersion) {
    CXQOVADictionary dictionary(OrderChain().Head());
    struct Case {
        std::uint32_t classId;
        std::uint16_t writeVersion, headerVersion;  // writeVersion 0xFFFF: the object's own
        bool little;
    } cases[] = {
        {kOrder150, 0xFFFF, 150, true},   // below 200: as they lie in memory
        {kOrder200, 0xFFFF, 200, false},  // from 200 on: big-endian
        {kOrder200, 150, 150, true},      // an older version is written by its own rule
        {kOrder200, 199, 199, true},      // the last version before the rule changes
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.headerVersion);
        CXQOVAObject object(&dictionary, c.classId, 0xFFFF);
        const unsigned short words[] = {0x1234, 0xABCD};
        const QOVA_TIME stamp = {2024, 3, 5, 6, 7, 8, 9};
        ASSERT_EQ(std::make_tuple(object.SetMember(0, static_cast<unsigned short>(0x1234)), object.SetMember(1, words, 2),
                                  object.SetMember(2, words, 2), object.SetMember(3, &stamp, 1)), std::make_tuple(1, 1, 1, 1));
        const Bytes expected = OrderBytes(c.classId, c.headerVersion, c.little);
        EXPECT_EQ(Hex(expected), Hex(Encode(object, c.writeVersion)));

        // Each form reads back to the same values, the older form also into
        // the newer object.
        CXQOVAObject decoded(&dictionary, c.classId, 0xFFFF);
        ASSERT_EQ(expected.size(), Decode(decoded, expected, 1));
        ExpectSameObject(object, decoded);
    }
}

// ---- Text and empty forms --------------------------------------------------------------

TEST(BinaryText, UnboundedTextFormsReadBackEndingInAZeroCharacter) {
    constexpr std::uint32_t kLocId = 0x006B0801;     // CNetworkCLocID, ansichar, version 100
    constexpr std::uint32_t kSelector = 0x00701001;  // CFileSysPSelector, widechar, version 200
    struct Case {
        const char* name;
        std::uint32_t classId;
        const char* text;  // null: never set
        bool reset;        // reset after the text was set
        Bytes member;      // the member's bytes in the variable section
    } cases[] = {
        {"never set", kLocId, nullptr, false, {0x00, 0x00}},
        {"empty text", kLocId, "", false, {0x00, 0x02, 0x00, 0x00}},
        {"abc", kLocId, "abc", false, {0x00, 0x04, 0x61, 0x62, 0x63, 0x00}},
        {"reset after text", kLocId, "abc", true, {0x00, 0x01, 0x00}},
        {"wide empty text", kSelector, "", false, {0x00, 0x04, 0x00, 0x00, 0x00, 0x00}},
        {"wide reset after text", kSelector, "A", true, {0x00, 0x02, 0x00, 0x00}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CXQOVADictionary& dictionary = c.classId == kLocId ? DeviceDictionary() : SdkDictionary();
        CXQOVAObject object(&dictionary, c.classId, 0xFFFF);
        if (c.text != nullptr) {
            const auto n = static_cast<std::uint16_t>(std::strlen(c.text));
            const std::vector<unsigned short> wide(c.text, c.text + n + 1);
            ASSERT_EQ(1, c.classId == kLocId ? object.SetMember(0, c.text, n) : object.SetMember(0, wide.data(), n));
        }
        if (c.reset) object.Reset(1);
        const Bytes bytes = Encode(object);
        const std::size_t fixedSize = ReadInt16(bytes.data() + 9);
        ASSERT_GE(bytes.size(), 11 + fixedSize + c.member.size() + 2);
        const Bytes member(bytes.begin() + 11 + static_cast<long>(fixedSize),
                           bytes.begin() + 11 + static_cast<long>(fixedSize + c.member.size()));
        EXPECT_EQ(Hex(c.member), Hex(member));

        ExpectReadsBack(&dictionary, object, bytes);  // empty, empty text and terminator-only alike
    }

    // Decoded text always ends in a zero character: CNetworkCLocID with
    // LocationID "ab" whose terminator arrives as 'X', and CModuleDStd
    // (ansichar[16], ansichar[32]) filled to the last byte.
    CXQOVAObject loc(&DeviceDictionary(), kLocId, 0xFFFF);
    ASSERT_EQ(1, loc.SetMember(0, "ab", 2));
    Bytes bytes = Encode(loc);
    ASSERT_EQ(0x00, bytes[bytes.size() - 2 - 2 - 1]);  // LocationID's terminator, before UnitID's 00 00
    bytes[bytes.size() - 2 - 2 - 1] = 'X';
    Restamp(bytes, 0, bytes.size());
    CXQOVAObject decoded(&DeviceDictionary(), kLocId, 0xFFFF);
    ASSERT_EQ(bytes.size(), Decode(decoded, bytes));
    EXPECT_STREQ("ab", static_cast<char*>(decoded.Member(0)));

    CXQOVAObject module(&DeviceDictionary(), 0x00690000, 0xFFFF);
    Bytes full = Encode(module);
    for (std::size_t i = 11; i < 11 + 48; ++i) full[i] = 'Q';
    Restamp(full, 0, full.size());
    ASSERT_EQ(full.size(), Decode(module, full));
    EXPECT_EQ(std::make_tuple(std::strlen(static_cast<char*>(module.Member(0))), std::strlen(static_cast<char*>(module.Member(1)))),
              std::make_tuple(15u, 31u));
}

// ---- Versions --------------------------------------------------------------------------

// The largest sizes 16 bits state are written, one byte more makes the
// encoding fail: a fixed section of 65,535 bytes (one more, a class the
// dictionary takes, is refused) (with a header, X = 0 and
// the checksum, the budget test's full vector of CDeviceCStd, byte for
// byte), an UNBOUNDED member of 65,535 bytes, a 2-byte length, a sized
// vector element. A class without members is its header and checksum.
TEST(BinaryVersions, LargestSizesThatSixteenBitsState) {
    constexpr std::uint32_t kFull = 0x004A1200, kShort = 0x004A0000, kLong = 0x004A1201, kHolder = 0x004A1202,
                            kEmpty = 0x004A0100, kOver = 0x004A1203;
    const Member bytes = FixedArray("Bytes", 0x10, 0xFFFF);
    Chain chain({Build("CFull", kFull, {bytes}), Build("COver", kOver, {bytes, M("One", 0x10)}),
                 Build("CShort", kShort, {M("B", 0x50)}), Build("CLong", kLong, {M("B", 0x50), M("W", 0x51)}),
                 Build("CHolder", kHolder, {VectorOf("L", kLong, 0)}), Build("CEmpty", kEmpty, {})});
    CXQOVADictionary dictionary(chain.Head());
    CXQOVAObject full(&dictionary, kFull, 100), empty(&dictionary, kEmpty, 100), over(&dictionary, kOver, 100);
    EXPECT_TRUE(over.MemberCount() == 2 && over.SizeAll(0xFFFF) == 0);
    EXPECT_EQ(Hex(EncodingOf(kFull, 100, Bytes(0xFFFF, 0), {})), Hex(Encode(full)));
    ExpectReadsBack(&dictionary, full, Encode(full));
    EXPECT_EQ(Hex(EncodingOf(kEmpty, 100, {}, {})), Hex(Encode(empty)));
    ExpectReadsBack(&dictionary, empty, Encode(empty));
    const Bytes values(0xFFFF, 0xA5);
    const struct {
        std::uint32_t classId;
        std::uint16_t count;  // of uint8 elements in B
        std::uint32_t size;   // 0: refused
    } rows[] = {
        {kLong, 0xFFFF, 4 + 4 + 5 + 2 + 0xFFFF + 2 + 2},  // the most a member holds
        {kShort, 0xFFFF - 9, 0xFFFF - 9 + 15}, {kShort, 0xFFFF - 8, 0},  // the length counts 9 bytes more
        {kHolder, 0xFFFF - 19, 0xFFFF + 19}, {kHolder, 0xFFFF - 18, 0},    // 19 around an element's bytes
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.count);
        CXQOVAObject object(&dictionary, r.classId, 100);
        CXQOVAObject* target = &object;
        if (r.classId == kHolder) target = static_cast<CXQOVAVector*>(object.Member(0))->Insert(kLong, 0);
        ASSERT_NE(target, nullptr);
        ASSERT_EQ(1, target->SetMember(0, values.data(), r.count));
        EXPECT_EQ(r.size, object.SizeAll(0xFFFF));
        if (r.size != 0) ExpectReadsBack(&dictionary, object, Encode(object));
    }
}

// A class of version 200 with a member that ended at version 149 and one
// that began at 150, so that writing at 120 meets a member the object lacks.
constexpr std::uint32_t kRetired = 0x00410000;
constexpr std::uint32_t kRetiredNested = 0x00410100;

Chain& RetiredChain() {
    static Chain chain([] {
        std::vector<Member> members = {M("Kept", 0x13), M("Old", 0x11, 100, 149), M("New", 0x11, 150),
                                       FixedArray("OldArray", 0x10, 3), VectorOf("OldList", kRetired, 0),
                                       M("OldWords", 0x51, 100, 149)};
        members[3].maxVersion = members[4].maxVersion = 149;
        std::vector<Member> nested = {M("Kept", 0x13), Nested("Old", kRetired)};
        nested.back().maxVersion = 149;
        return std::vector<Bytes>{Build("CRetired", kRetired, members, 200),
                                  Build("CRetiredNested", kRetiredNested, nested, 200)};
    }());
    return chain;
}

TEST(BinaryVersions, WritingAnOlderVersion) {
    CXQOVADictionary dictionary(RetiredChain().Head());
    CXQOVAObject object(&dictionary, kRetired, 0xFFFF);
    ASSERT_EQ(std::make_tuple(object.SetMember(0, static_cast<std::uint32_t>(0x01020304)), object.SetMember(2, static_cast<unsigned short>(7))),
              std::make_tuple(1, 1));

    // Newer than the object: its own decoder would refuse it.
    unsigned char scratch[64] = {};
    EXPECT_EQ(std::make_tuple(object.SizeAll(201), object.Serialize(scratch, 201)), std::make_tuple(0u, 0u));

    // At 120 the retired members are written empty (the list with no elements), New is left out;
    // so are their lines in the document.
    const Bytes bytes = Encode(object, 120);
    EXPECT_EQ(Hex(EncodingOf(kRetired, 120, {0x01, 0x02, 0x03, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00}, {0, 0, 0, 0})),
              Hex(bytes));
    std::vector<char> xml(object.XMLSizeAll(120));
    ASSERT_NE(0u, object.XMLSerialize(xml.data(), xml.size(), 120));
    EXPECT_NE(std::string(xml.data()).find("\"Old\" minversion=\"100\" maxversion=\"149\"/>"), std::string::npos);

    CXQOVAObject old(&dictionary, kRetired, 120);
    xqova::DecodeReport why;  // it reads up to its own version, not the definition's
    const Bytes newest = Encode(object);
    EXPECT_EQ(std::make_tuple(old.Deserialize(newest.data(), newest.size(), 1, &why), why.check, why.expected),
              std::make_tuple(0u, xqova::DecodeCheck::kNewerVersion, 120u));
    ASSERT_EQ(bytes.size(), Decode(old, bytes, 1));
    EXPECT_EQ(std::make_tuple(static_cast<std::uint32_t>(old.Member(0)), static_cast<std::uint32_t>(old.Member(1))),
              std::make_tuple(0x01020304u, 0u));

    // Into the newer object: New keeps its value.
    CXQOVAObject newer(&dictionary, kRetired, 0xFFFF);
    ASSERT_EQ(1, newer.SetMember(2, static_cast<unsigned short>(99)));
    ASSERT_EQ(bytes.size(), Decode(newer, bytes, 1));
    EXPECT_EQ(std::make_tuple(static_cast<std::uint32_t>(newer.Member(0)), static_cast<std::uint32_t>(newer.Member(2))),
              std::make_tuple(0x01020304u, 99u));
    // OldList's count raised to one element, whose size prefix of 0 is refused
    // though an empty OldWords after it would end the bytes exactly.
    const Bytes missing = EncodingOf(kRetired, 120, {1, 2, 3, 4, 0, 0, 0, 0, 0}, {0, 1, 0, 0, 0, 0});
    EXPECT_EQ(0u, Decode(newer, missing, 0));

    // A single nested object the object lacks cannot be written; in bytes it is read over.
    CXQOVAObject holder(&dictionary, kRetiredNested, 0xFFFF);
    EXPECT_EQ(std::make_tuple(holder.SizeAll(120), holder.Serialize(scratch, 120), holder.SizeAll(150)),
              std::make_tuple(0u, 0u, 17u));
    Bytes nested = {0, 0, 0, static_cast<unsigned char>(bytes.size())};
    nested.insert(nested.end(), bytes.begin(), bytes.end());
    const Bytes outer = EncodingOf(kRetiredNested, 120, {0, 0, 0, 5}, nested);
    EXPECT_EQ(outer.size(), Decode(holder, outer, 1));
    EXPECT_EQ(5u, static_cast<std::uint32_t>(holder.Member(0)));
    // A size cut short is named with the bytes there were.
    EXPECT_EQ(Refusal(dictionary, EncodingOf(kRetiredNested, 120, {0, 0, 0, 5}, {0, 0, 0})),
              Refused(xqova::DecodeCheck::kMemberData, 15, 4, 3));
}

// ---- Vector elements a vector cannot take ----------------------------------------------

constexpr std::uint32_t kPicks = 0x00480000, kPick = 0x00480100, kOtherPick = 0x00480200;

Chain& PicksChain() {
    static Chain chain({Build("CPicks", kPicks,
                              {VectorOf("Bounded", kAnyClass, 2), VectorOf("Fixed", kPick, 2), VectorOf("Named", kPick, 0)}),
                        Build("CPick", kPick, {M("X", 0x10)}), Build("COtherPick", kOtherPick, {M("Y", 0x10)})});
    return chain;
}

// An element: one uint8 member.
Bytes Pick(std::uint32_t classId, unsigned char value) { return EncodingOf(classId, 100, {value}, {}); }

// CPicks with the given elements; the named vector's carry size prefixes.
Bytes Picks(const std::vector<Bytes>& bounded, const std::vector<Bytes>& fixed, const std::vector<Bytes>& named) {
    Bytes variable;
    for (const auto* elements : {&bounded, &fixed, &named}) {
        variable.insert(variable.end(), {0x00, static_cast<unsigned char>(elements->size())});
        for (const Bytes& e : *elements) {
            if (elements == &named) variable.insert(variable.end(), {0x00, static_cast<unsigned char>(e.size())});
            variable.insert(variable.end(), e.begin(), e.end());
        }
    }
    return EncodingOf(kPicks, 100, {}, variable);
}

// An element past a bounded vector's count, or of another class than a
// named vector's, is skipped, under the strict flag too, and the whole
// encoding is consumed; a strict decode that reports refuses it. A
// fixed-count vector given another count fails a strict decode whole;
// without the strict flag its elements are passed over, the vector stays
// reset and the members after it are read.
TEST(BinaryVectors, ElementsAVectorCannotTakeAreSkipped) {
    CXQOVADictionary dictionary(PicksChain().Head());
    const std::vector<Bytes> bounded = {Pick(kPick, 1), Pick(kOtherPick, 2)}, fixed = {Pick(kPick, 5), Pick(kPick, 6)};
    const Bytes kept = Picks(bounded, fixed, {Pick(kPick, 4)});
    // An element's size, and where the variable section starts: three counts,
    // one size prefix and five elements end before the checksum.
    const std::size_t p = Pick(kPick, 4).size(), v = kept.size() - 2 - 8 - 5 * p;
    const struct {
        const char* name;
        Bytes bytes, lenient;  // what a decode without the strict flag keeps
        Refused reported;
        bool strictRefuses;
    } cases[] = {
        {"a third element in a bounded vector of 2",
         Picks({Pick(kPick, 1), Pick(kOtherPick, 2), Pick(kPick, 3)}, fixed, {Pick(kPick, 4)}), kept,
         {xqova::DecodeCheck::kVectorCount, v, 3, 2}, false},
        {"another class in a named vector", Picks(bounded, fixed, {Pick(kOtherPick, 9), Pick(kPick, 4)}), kept,
         {xqova::DecodeCheck::kNestedClass, v + 2 + 2 * p + 2 + 2 * p + 2 + 2, kOtherPick, kPick}, false},
        {"three elements in a fixed vector of 2",
         Picks(bounded, {Pick(kPick, 5), Pick(kPick, 6), Pick(kPick, 7)}, {Pick(kPick, 4)}),
         Picks(bounded, {Pick(kPick, 0), Pick(kPick, 0)}, {Pick(kPick, 4)}),
         {xqova::DecodeCheck::kVectorCount, v + 2 + 2 * p, 3, 2}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (unsigned char strict : {0, 1}) {
            CXQOVAObject object(&dictionary, kPicks, 0xFFFF);
            ASSERT_EQ(Decode(object, kept, 1), kept.size());
            if (strict != 0 && c.strictRefuses) {
                EXPECT_EQ(0u, Decode(object, c.bytes, strict));
                ExpectReset(object);
                continue;
            }
            EXPECT_EQ(c.bytes.size(), Decode(object, c.bytes, strict));
            EXPECT_EQ(Hex(c.lenient), Hex(Encode(object)));
        }
        HeapCopy copy(c.bytes);
        if (!c.strictRefuses) {
            CXQOVAObject built(&dictionary, xqova::EncodedBytes{copy.data(), copy.size()});
            EXPECT_EQ(Hex(kept), Hex(Encode(built)));
        }
        EXPECT_EQ(Refusal(dictionary, c.bytes), c.reported);
    }
    // A named element whose size prefix disagrees with it, or a second one
    // that is not there, is refused with what was compared.
    const std::size_t prefix = kept.size() - 2 - Pick(kPick, 4).size() - 2;
    for (const auto& [offset, refused] :  // offset: of the byte raised by one
         {std::make_pair(prefix + 1, Refused(xqova::DecodeCheck::kNestedSize, prefix, 15, 14)),
          std::make_pair(prefix - 1, Refused(xqova::DecodeCheck::kMemberData, prefix + 16, 2, 0))}) {
        Bytes bytes = kept;
        ++bytes[offset];
        Restamp(bytes, 0, bytes.size());
        EXPECT_EQ(Refusal(dictionary, bytes), refused);
    }
}

}  // namespace
