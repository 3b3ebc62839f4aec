// Received bytes are hostile. Over a table of valid encodings (nested ones
// included) every proper prefix, every single-byte change and every length or
// count set to an edge value is decoded from an exact-size heap copy, so that
// ASan fails the test on any read outside the bytes given, over an object
// holding values, which a refusal leaves untouched or resets; encodings
// nested past the depth limit and allocation failures end cleanly.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "support/mutations.h"
#include "support/objects.h"
#include "xqova/encoding/decode_report.h"

namespace {

using namespace test_objects;
using namespace test_mutations;

// ---- Where the lengths, counts and nested encodings of an encoding lie --------------

struct Field { std::size_t offset; unsigned width; };

struct Layout {
    std::vector<Field> fields;                               // lengths, X, counts, sizes
    std::vector<std::pair<std::size_t, std::size_t>> extents;  // (start, total), each before those inside it
};

// Follows the definition of each (nested) encoding's class at its version.
void Describe(CXQOVADictionary& dictionary, const Bytes& b, std::size_t start, Layout* layout) {
    const std::uint32_t classId = ReadInt32(&b[start]);
    const unsigned width = xqova::LengthFieldWidth(classId);
    layout->extents.emplace_back(start, xqova::EncodedSize(&b[start]));
    layout->fields.push_back({start + 4, width});
    layout->fields.push_back({start + 7 + width, 2});
    const std::uint16_t version = ReadInt16(&b[start + 4 + width]);
    const void* definition = dictionary.GetDefinition(classId);
    ASSERT_NE(nullptr, definition);
    std::size_t at = start + 9 + width + ReadInt16(&b[start + 7 + width]);
    xqova::MemberWalker walker(definition);
    xqova::MemberRecord r;
    while (walker.Next(&r)) {
        if (!r.InVersion(version)) continue;
        if ((r.type & 7) == 6 && !(r.type & 0xC0)) {
            layout->fields.push_back({at, 4});
            Describe(dictionary, b, at + 4, layout);
            at += 4 + ReadInt32(&b[at]);
        } else if ((r.type & 7) == 6) {
            layout->fields.push_back({at, 2});
            const std::uint16_t count = ReadInt16(&b[at]);
            const bool prefixes = r.memberClass != kAnyClass && !(r.type & 0x80);
            at += 2;
            for (std::uint16_t i = 0; i < count; ++i) {
                if (prefixes) {
                    layout->fields.push_back({at, 2});
                    at += 2;
                }
                Describe(dictionary, b, at, layout);
                at += xqova::EncodedSize(&b[at]);
            }
        } else if (r.type & 0x40) {
            layout->fields.push_back({at, 2});
            at += 2 + ReadInt16(&b[at]);
        }
    }
}

struct Sample { std::string name; CXQOVADictionary* dictionary; std::uint32_t classId; Bytes bytes; Layout layout; };

Bytes Filled(CXQOVADictionary& dictionary, std::uint32_t classId, std::uint32_t seed,
             std::vector<std::uint32_t> anyClasses = {}) {
    CXQOVAObject object(&dictionary, classId, 0xFFFF);
    Filler(seed, std::move(anyClasses)).Fill(object);
    return Encode(object);
}

const std::vector<Sample>& Samples() {
    static CXQOVADictionary shelfDictionary(ShelfChain().Head());
    static const std::vector<Sample> samples = [] {
        std::vector<Sample> list;
        auto add = [&list](std::string name, CXQOVADictionary& dictionary, std::uint32_t classId, Bytes bytes) {
            Sample s{std::move(name), &dictionary, classId, std::move(bytes), {}};
            Describe(dictionary, s.bytes, 0, &s.layout);
            list.push_back(std::move(s));
        };
        for (const Golden& g : GoldenExamples()) add(g.name, g.dictionary(), g.classId, g.bytes);
        add("CNumDExtStd with two classes", SdkDictionary(), kNumExt,
            Filled(SdkDictionary(), kNumExt, 11, {kNumD, kNumDFloat}));
        add("CSESDZentoRec", DeviceDictionary(), kZentoRec, Filled(DeviceDictionary(), kZentoRec, 12));
        add("CShelf", shelfDictionary, kShelf, Filled(shelfDictionary, kShelf, 13, {kItem, kOther}));
        return list;
    }();
    return samples;
}

const Sample& SampleOf(std::uint32_t classId) {
    const auto& all = Samples();
    return *std::find_if(all.begin(), all.end(), [classId](const Sample& s) { return s.classId == classId; });
}

void RestampEnclosing(Bytes& bytes, const Layout& layout, std::size_t offset, bool outerOnly) {
    for (std::size_t k = layout.extents.size(); k-- > 0;) {
        const auto& e = layout.extents[k];
        if (outerOnly && k != 0) continue;
        if (offset >= e.first && offset < e.first + e.second) Restamp(bytes, e.first, e.second);
    }
}

// Decodes into an object holding the sample's values. A refusal leaves it
// untouched when the bytes do not name its class (too short, another class),
// else resets it deeply, its whole status byte included.
std::uint32_t DecodeOverSample(const Sample& s, const Bytes& bytes, unsigned char strict, CXQOVAObject& object) {
    EXPECT_EQ(s.bytes.size(), Decode(object, s.bytes, 1));
    const Bytes before = Encode(object);
    const std::uint32_t result = Decode(object, bytes, strict);
    if (result == 0 && (bytes.size() < 4 || ReadInt32(bytes.data()) != s.classId)) {
        EXPECT_EQ(Hex(before), Hex(Encode(object)));
    } else if (result == 0) {
        ExpectReset(object);
        EXPECT_EQ(0, Encode(object).at(6 + xqova::LengthFieldWidth(s.classId)));
    }
    return result;
}

// The numbers of a refusal justify it: too few bytes are fewer than needed, a
// stated size or version past its bound is past it, a mismatch differs.
bool Justified(const xqova::DecodeReport& r) {
    using C = xqova::DecodeCheck;
    switch (r.check) {
        case C::kHeader: case C::kTooSmall: return r.found < r.expected;
        case C::kLength: case C::kNewerVersion: return r.found > r.expected;
        case C::kMemberData: return r.detail == nullptr ? r.found > r.expected : r.found % r.expected != 0;
        case C::kLayout: return r.found != 0;
        case C::kUnknownClass: case C::kTooDeep: case C::kOutOfMemory: return true;
        default: return r.found != r.expected && r.check != C::kNone;
    }
}

// Decodes over the sample's values (see above); when that succeeds, the
// object encodes again, and that encoding reads back (ExpectReadsBack).
void ExpectRefusedOrStable(const Sample& s, const Bytes& bytes, const std::string& what, unsigned char strict = 0) {
    SCOPED_TRACE(what);
    CXQOVAObject first(s.dictionary, s.classId, 0xFFFF);
    const std::uint32_t result = DecodeOverSample(s, bytes, strict, first);
    {
        HeapCopy copy(bytes);
        CXQOVAObject built(s.dictionary, xqova::EncodedBytes{copy.data(), copy.size()});
        (void)built.SizeAll(0xFFFF);
        // A refusal names its reason, at a byte of the encoding at fault.
        xqova::DecodeReport r;
        const bool whole = static_cast<bool>(xqova::DecodeObject(s.dictionary, copy.data(), copy.size(), &r));
        EXPECT_TRUE(whole ? r.check == xqova::DecodeCheck::kNone : Justified(r) && r.offset <= r.at && r.at <= copy.size())
            << xqova::DecodeCheckName(r.check) << " " << r.found << " " << r.expected;
    }
    if (result == 0) return;
    ASSERT_EQ(bytes.size(), result);
    const Bytes again = Encode(first);
    ASSERT_FALSE(again.empty());
    ExpectReadsBack(s.dictionary, first, again);
}

// Every proper prefix is refused; every single-byte change (its checksums
// left, the outer one written again with the strict flag, or all written
// again) and every length or count at an edge value is refused or decodes
// stably.
TEST(BinaryHostile, EveryVariantIsRefusedOrDecodesStably) {
    for (const Sample& s : Samples()) {
        SCOPED_TRACE(s.name);
        EveryPrefix(s.bytes, [&](const Bytes& prefix, std::size_t k) {
            for (unsigned char strict : {0, 1}) {
                CXQOVAObject object(s.dictionary, s.classId, 0xFFFF);
                EXPECT_EQ(0u, DecodeOverSample(s, prefix, strict, object)) << "prefix " << k;
            }
            CXQOVAObject built(s.dictionary, xqova::EncodedBytes{prefix.data(), prefix.size()});
            // The class is read once four bytes are there.
            EXPECT_EQ(std::make_tuple(built.IsValid(), built.IsDirty(), built.ClassID()),
                      std::make_tuple(0, 0, k < 4 ? xqova::kNoClass : s.classId));
            xqova::DecodeReport report;
            EXPECT_TRUE(!xqova::DecodeObject(s.dictionary, prefix.data(), prefix.size(), &report) && Justified(report))
                << "prefix " << k;
            EXPECT_TRUE(k >= 4 || (report.check == xqova::DecodeCheck::kHeader && report.found == k && report.expected == 4 &&
                                   report.outerClassId == xqova::kNoClass)) << "prefix " << k;
        });
        // Every cut whose stated length and checksum agree with it ends some
        // member early: refused for a reason its numbers justify, or stable.
        for (std::size_t k = 4 + xqova::LengthFieldWidth(s.classId); k + 2 < s.bytes.size(); ++k) {
            Bytes cut(s.bytes.begin(), s.bytes.begin() + static_cast<std::ptrdiff_t>(k));
            cut.resize(k + 2);
            Restate(cut);
            ExpectRefusedOrStable(s, cut, "cut to " + std::to_string(k), 1);
        }
        EXPECT_TRUE(xqova::DecodeObject(s.dictionary, s.bytes.data(), s.bytes.size(), nullptr));
        xqova::DecodeReport none;  // no bytes at all, whatever length comes with them
        EXPECT_TRUE(!xqova::DecodeObject(s.dictionary, nullptr, s.bytes.size(), &none) &&
                    none.check == xqova::DecodeCheck::kHeader && none.found == 0);
        // The whole encoding, and the same followed by other bytes, decodes.
        CXQOVAObject object(s.dictionary, s.classId, 0xFFFF);
        Bytes longer = s.bytes;
        longer.push_back(0xEE);
        EXPECT_EQ(s.bytes.size(), Decode(object, longer, 1));

        int decoded = 0;
        EveryByteChange(s.bytes, {0x01, 0x80, 0xFF}, [&](const Bytes& changed, std::size_t i, unsigned char flip) {
            for (int restamp : {0, 1, 2}) {
                Bytes bytes = changed;
                if (restamp != 0) RestampEnclosing(bytes, s.layout, i, restamp == 1);
                ExpectRefusedOrStable(s, bytes, "byte " + std::to_string(i) + " ^ " + std::to_string(flip),
                                      restamp == 1 ? 1 : 0);
                CXQOVAObject probe(s.dictionary, s.classId, 0xFFFF);
                if (Decode(probe, bytes) != 0) ++decoded;
            }
        });
        EXPECT_GT(decoded, 0);  // value bytes do decode once their checksums agree

        for (const Field& f : s.layout.fields) {
            EveryEdgeValue(s.bytes, f.offset, f.width, [&](Bytes bytes, std::uint32_t value) {
                RestampEnclosing(bytes, s.layout, f.offset, false);
                const std::string what = "field at " + std::to_string(f.offset) + " = " + std::to_string(value);
                ExpectRefusedOrStable(s, bytes, what);
                // Far more than the bytes that remain, wherever it stands.
                CXQOVAObject object(s.dictionary, s.classId, 0xFFFF);
                EXPECT_TRUE(value < 0xFFFF || Decode(object, bytes, 1) == 0) << what;
            });
        }
    }
}

// Without the strict flag a nested object whose checksum fails does not fail
// its parent. The decoding constructor keeps it as an empty shell (its class,
// no definition, no members, version 65535) that re-encodes as such and that
// a strict decode of the re-encoding refuses; a decode into an object built
// from its definition keeps it reset.
TEST(BinaryHostile, NestedChecksumFailureKeepsAShellWithoutTheStrictFlag) {
    const Sample& s = SampleOf(kZentoRec);
    const auto nested = s.layout.extents[1];  // its first nested object
    const std::uint32_t nestedClass = ReadInt32(&s.bytes[nested.first]);
    Bytes bytes = s.bytes;
    bytes[nested.first + nested.second - 3] ^= 0x01;
    Restamp(bytes, 0, bytes.size());

    HeapCopy copy(bytes);
    CXQOVAObject built(s.dictionary, xqova::EncodedBytes{copy.data(), copy.size()});
    CXQOVAObject* shell = built.Member(1);  // after STime
    ASSERT_TRUE(shell != nullptr && shell->GetDefinition() == nullptr && shell->ClassID() == nestedClass &&
                shell->Version() == 0xFFFF && shell->MemberCount() == 0);
    const Bytes again = Encode(built);
    const Bytes shellBytes = EncodingOf(nestedClass, 0xFFFF, {}, {});
    EXPECT_NE(std::search(again.begin(), again.end(), shellBytes.begin(), shellBytes.end()), again.end());
    // Without the strict flag the changed bytes decode (with it: the byte changes of EveryVariant...).
    CXQOVAObject strictAgain(s.dictionary, s.classId, 0xFFFF), lenient(s.dictionary, s.classId, 0xFFFF);
    EXPECT_EQ(std::make_tuple(Decode(strictAgain, again, 1), Decode(lenient, bytes, 0)), std::make_tuple(0u, bytes.size()));
}

TEST(BinaryHostile, ImpossibleVectorCountIsRefusedBeforeAnyAllocation) {
    // CNumDExtStd: its container's count is the first field of the
    // variable section (4-byte length, X = 0).
    const Sample& s = SampleOf(kNumExt);
    const std::size_t at = 4 + 4 + 2 + 1 + 2, remaining = s.bytes.size() - 2 - at - 2;
    for (std::uint32_t count : {static_cast<std::uint32_t>(remaining / xqova::kMinObjectEncoding + 1), 0x8000u, 0xFFFFu}) {
        Bytes bytes = s.bytes;
        WriteInt16(&bytes[at], static_cast<std::uint16_t>(count));
        Restamp(bytes, 0, bytes.size());
        HeapCopy copy(bytes);
        CXQOVAObject object(s.dictionary, s.classId, 0xFFFF);
        test_objects::AllocationFailureGuard guard;
        xqova::testing::FailAllocationsAfter(1);
        const std::uint32_t result = object.Deserialize(copy.data(), copy.size(), 0);
        void* probe = xqova::Allocate(1);  // the one allocation allowed
        EXPECT_NE(nullptr, probe) << "the decode allocated for " << count << " elements";
        xqova::Release(probe);
        EXPECT_EQ(0u, result);
    }
}

// ---- Nesting past the limit ------------------------------------------------------------

constexpr std::uint32_t kSelf = 0x00430000;       // Value uint8; nnn...n OBJECT of itself from 200
constexpr std::uint32_t kSelfVector = 0x00430100;  // Value uint8; NestedVector ANY_CLASS vector from 200
// Four of these names and the dots between them fill the report's member
// path but for the room of the "..." that ends it.
const std::string kLongName(62, 'n');

Chain& SelfChain() {
    static Chain chain([] {
        Member next = Nested(kLongName.c_str(), kSelf);
        next.minVersion = 200;
        Member items = VectorOf("NestedVector", kAnyClass, 0);  // a name whose path is cut mid-element
        items.minVersion = 200;
        return std::vector<Bytes>{Build("CSelf", kSelf, {M("Value", 0x10), next}, 200),
                                  Build("CSelfVector", kSelfVector, {M("Value", 0x10), items}, 200)};
    }());
    return chain;
}

// `levels` objects, each holding the next; the innermost is of version 100,
// without the member that nests. Level k holds the value k. The vector around
// the innermost states `lastCount` elements.
Bytes NestedChain(std::uint32_t classId, unsigned levels, unsigned char lastCount = 1) {
    Bytes inner = EncodingOf(classId, 100, {static_cast<unsigned char>(levels - 1)}, {});
    for (unsigned k = levels - 1; k-- > 0;) {
        Bytes variable;
        if (classId == kSelf) {
            variable.resize(4);
            WriteInt32(variable.data(), static_cast<std::uint32_t>(inner.size()));
        } else {
            variable = {0x00, 0x01};  // one element, no size prefix
            if (k == levels - 2) variable[1] = lastCount;
        }
        variable.insert(variable.end(), inner.begin(), inner.end());
        inner = EncodingOf(classId, 200, {static_cast<unsigned char>(k)}, variable);
    }
    return inner;
}

CXQOVAObject* Next(CXQOVAObject& object) {
    if (object.ClassID() == kSelf) return object.Member(1);
    CXQOVAVector* items = object.Member(1);
    return items == nullptr ? nullptr : items->At(0);
}

TEST(BinaryHostile, NestingPastTheLimitFailsCleanly) {
    CXQOVADictionary dictionary(SelfChain().Head());
    for (std::uint32_t classId : {kSelf, kSelfVector}) {
        SCOPED_TRACE(classId);
        // Objects nest to xqova::kMaxNestingDepth levels, the outermost included.
        const Bytes deepest = NestedChain(classId, xqova::kMaxNestingDepth);
        const auto expectEveryLevel = [](CXQOVAObject& object) {
            unsigned level = 0;
            for (CXQOVAObject* at = &object; at != nullptr; at = Next(*at), ++level) {
                EXPECT_EQ(level, static_cast<std::uint32_t>(at->Member(0)));
            }
            EXPECT_EQ(xqova::kMaxNestingDepth, level);
        };
        for (unsigned char strict : {0, 1}) {
            CXQOVAObject object(&dictionary, classId, 0xFFFF);
            ASSERT_EQ(deepest.size(), Decode(object, deepest, strict));
            expectEveryLevel(object);
        }
        HeapCopy copy(deepest);
        CXQOVAObject built(&dictionary, xqova::EncodedBytes{copy.data(), copy.size()});
        expectEveryLevel(built);
        // Built rather than decoded, the deepest level holds no object or
        // vector where the others nest. A copy of it into an object at the
        // top leaves that one's empty; the other way round it is refused.
        CXQOVAObject top(&dictionary, classId, 0xFFFF), other(&dictionary, classId, 0xFFFF);
        CXQOVAObject* last = &top;
        for (unsigned level = 1; level < xqova::kMaxNestingDepth; ++level, last = Next(*last)) {
            if (classId == kSelfVector) static_cast<CXQOVAVector*>(last->Member(1))->Push(kSelfVector);
        }
        EXPECT_EQ(std::make_tuple(Next(*last), other.Copy(last), last->Copy(&other)), std::make_tuple(nullptr, 1, 0));

        for (unsigned levels : {xqova::kMaxNestingDepth + 1, 40u, 250u}) {
            const Bytes tooDeep = NestedChain(classId, levels);
            for (unsigned char strict : {0, 1}) {
                CXQOVAObject object(&dictionary, classId, 0xFFFF);
                ASSERT_EQ(1, object.SetMember(0, static_cast<unsigned char>(77)));
                EXPECT_EQ(0u, Decode(object, tooDeep, strict)) << levels << " levels";
                ExpectReset(object);
            }
            HeapCopy bytes(tooDeep);
            CXQOVAObject built(&dictionary, xqova::EncodedBytes{bytes.data(), bytes.size()});
            EXPECT_EQ(0u, static_cast<std::uint32_t>(built.Member(0)));
            xqova::DecodeReport report;  // the limit is named: the levels below the outermost
            EXPECT_FALSE(xqova::DecodeObject(&dictionary, bytes.data(), bytes.size(), &report));
            EXPECT_EQ(report.check, xqova::DecodeCheck::kTooDeep);
            EXPECT_TRUE(report.found == 0 && report.expected == xqova::kMaxNestingDepth - 1) << levels << " levels";
            const std::string path = report.path;
            EXPECT_EQ(path.find("..."), path.size() - 3) << path;  // cut once, at its end
            if (classId == kSelf) {
                EXPECT_EQ(report.path, kLongName + "." + kLongName + "." + kLongName + "." + kLongName + "...");
            }
        }
        // Past the limit, a vector whose second element is missing names that element's header.
        const Bytes cut = NestedChain(classId, xqova::kMaxNestingDepth + 1, 2);
        xqova::DecodeReport report;
        EXPECT_TRUE(!xqova::DecodeObject(&dictionary, cut.data(), cut.size(), &report) &&
                    (classId == kSelf || (report.check == xqova::DecodeCheck::kHeader && report.expected == 4)));
    }
}

// ---- Allocation failures ----------------------------------------------------------------

TEST(BinaryHostile, AllocationFailuresGiveZeroOrAPartialObjectWithoutLeaks) {
    for (const Sample& s : Samples()) {
        SCOPED_TRACE(s.name);
        CXQOVAObject original(s.dictionary, s.classId, 0xFFFF);
        ASSERT_EQ(s.bytes.size(), Decode(original, s.bytes, 1));
        HeapCopy copy(s.bytes);

        // A decode that cannot build its object names the class it read.
        {
            AllocationFailureGuard guard;
            xqova::testing::FailAllocationsAfter(0);
            xqova::DecodeReport report;
            EXPECT_FALSE(xqova::DecodeObject(s.dictionary, copy.data(), copy.size(), &report));
            xqova::testing::FailAllocationsAfter(-1);
            EXPECT_TRUE(report.check == xqova::DecodeCheck::kOutOfMemory && report.classRead &&
                        report.classId == s.classId && report.outerClassId == s.classId);
        }
        // Built from bytes: whatever could be built is filled.
        const long builds = ForEachAllocationFailure([&](long, auto done) {
            CXQOVAObject built(s.dictionary, xqova::EncodedBytes{copy.data(), copy.size()});
            if (done()) ExpectSameObject(original, built);
            // A partial object encodes only when what it holds reads back.
            const Bytes again = Encode(built);
            if (!again.empty()) ExpectReadsBack(s.dictionary, built, again);
        });
        EXPECT_GT(builds, 0);

        // Decoded into a complete object, failures starting with the decode:
        // with the strict flag and a report all or nothing (without a report
        // the strict flag skips an element that could not be inserted).
        for (int mode : {0, 1, 2}) {
            const unsigned char strict = mode == 0 ? 0 : 1;
            const long decodes = ForEachAllocationFailure([&](long n, auto done) {
                xqova::testing::FailAllocationsAfter(-1);
                CXQOVAObject object(s.dictionary, s.classId, 0xFFFF);
                xqova::DecodeReport report;
                xqova::testing::FailAllocationsAfter(n);
                const std::uint32_t result =
                    object.Deserialize(copy.data(), copy.size(), strict, mode == 2 ? &report : nullptr);
                const bool complete = done();
                if (result == 0) ExpectReset(object);
                if ((mode == 2 && result != 0) || complete) ExpectSameObject(original, object);
                const bool outOfMemory = mode == 2 && result == 0 && report.check == xqova::DecodeCheck::kOutOfMemory;
                EXPECT_TRUE(!outOfMemory || (report.found | report.expected) == 0);
                // Without the strict flag an element left without memory
                // stays in its vector and cannot be written again.
                const Bytes again = result != 0 ? Encode(object) : Bytes();
                EXPECT_TRUE(result == 0 || strict == 0 || !again.empty());
                if (!again.empty()) ExpectReadsBack(s.dictionary, object, again);
            });
            // The samples with UNBOUNDED members or vectors allocate while
            // they decode.
            if (s.classId == kShelf || s.classId == kNumExt || s.classId == kFileSysExt) {
                EXPECT_GT(decodes, 0);
            }
        }
    }
}

}  // namespace
