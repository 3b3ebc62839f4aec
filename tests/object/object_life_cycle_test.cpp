// Objects from construction to destruction: which members exist at which
// version, the storage each kind of member gets, the shape an encoding
// gives, Reset, Copy, the status flags, definitions that nest without end,
// and running out of memory.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>

#include "support/objects.h"
#include "support/bmi_block.h"
#include "xqova/core/limits.h"
#include "xqova/dictionary/compiled_definition.h"
#include "xqova/dictionary/definition.h"
#include "xqova/dictionary/dictionary.h"
#include "xqova/object/object.h"
#include "xqova/object/vector.h"

namespace {

using namespace test_objects;

constexpr std::uint32_t kVersioned = 0x00400400, kHolder = 0x00400500, kCycleA = 0x00400700,
                        kCycleB = 0x00400800, kFan = 0x00400900, kOther = 0x00400A00;

// A member with alias 0x12345678, units 7, coefficient 5 and exponent -2.
Member Attributed(Member m) { return With(std::move(m), 0x12345678, 7, 5, -2); }

// CVersioned, version 101: A from 100, B from 101, C only in 100.
Bytes VersionedBlock() {
    return Build("CVersioned", kVersioned, {M("A", 0x11), Attributed(M("B", 0x13, 101)), M("C", 0x00, 100, 100)}, 101);
}

enum : std::uint16_t { kValue, kFixed, kText, kChild, kChildren, kPair, kAny, kWhen };
Bytes HolderBlock() {
    return Build("CHolder", kHolder,
                 {M("Value", 0x11), FixedArray("Fixed", 0x10, 16), M("Text", 0x48), Nested("Child", kVersioned),
                  VectorOf("Children", kVersioned, 0), VectorOf("Pair", kVersioned, 2), VectorOf("Any", kAnyClass, 2),
                  M("When", 0x02)});
}

template <class T>
T* Held(CXQOVAObject& o, std::uint16_t id) {
    return static_cast<T*>(o.Member(id));
}

class ObjectLifeCycle : public ::testing::Test {
protected:
    ObjectLifeCycle()
        : chain_({VersionedBlock(), HolderBlock(), Build("COther", kOther, {M("X", 0x03)}),
                  Build("CFan", kFan, {VectorOf("Fans", kFan, 1)})}),
          dictionary_(chain_.Head()) {}

    // A CHolder with every member given a value derived from `seed`; the
    // same seed gives the same values. Its ANY_CLASS vector holds one
    // COther and one CVersioned.
    void Fill(CXQOVAObject& h, std::uint32_t seed) { Filler(seed, {kOther, kVersioned}).Fill(h); }

    Chain chain_;
    CXQOVADictionary dictionary_;
};

TEST_F(ObjectLifeCycle, MembersExistFromTheirMinimumToTheirMaximumVersion) {
    struct Case {
        std::uint16_t requested, version;
        std::uint8_t typeB, typeC, typeAtOne;
    };
    for (const Case& c : {Case{0xFFFF, 101, 0x13, 0xF8, 0x13}, Case{300, 101, 0x13, 0xF8, 0x13},
                          Case{100, 100, 0xF8, 0x00, 0x00}}) {
        SCOPED_TRACE(c.requested);
        CXQOVAObject o(&dictionary_, kVersioned, c.requested);
        EXPECT_EQ(std::make_tuple(o.Version(), o.MemberCount(), o.GetMemberType(1), o.MemberAvailable(1), o.GetMemberType(2)),
                  std::make_tuple(c.version, 2, c.typeB, c.typeB != 0xF8 ? 1 : 0, c.typeC));
        EXPECT_EQ(std::make_tuple(o.GetMemberAtType(1), o.GetMemberAtType(2)), std::make_tuple(c.typeAtOne, 0xF8));
        // Attributes come from the definition, also for an absent member;
        // by position they answer for the member at the position.
        EXPECT_EQ(std::make_tuple(o.GetMemberAlias(1), o.GetMemberUnits(1), o.GetMemberScaleCoefficient(1),
                                  o.GetMemberScaleExponent(1)),
                  std::make_tuple(0x12345678u, 7, 5, -2));
        EXPECT_EQ(std::make_tuple(o.GetMemberAtAlias(1), o.GetMemberAtScaleCoefficient(1), o.GetMemberAtScaleExponent(1)),
                  c.version == 101 ? std::make_tuple(0x12345678u, 5, -2) : std::make_tuple(0xFFFFFFFFu, 1, 0));
        EXPECT_EQ(o.Member(1).ScaleExponent(), c.version == 101 ? -2 : 0);
        // Every failed lookup gives the same sentinel.
        CXQOVAData_u& none = o.Member(3);
        EXPECT_EQ(&o.At(2), &none);
        std::uint16_t count = 99;
        EXPECT_EQ(&o.GetMember(0xFFFF, &count), &none);
        EXPECT_EQ(count, 0);
        EXPECT_EQ(std::make_tuple(none.Type(), none.Available(), none.Alias()), std::make_tuple(0xF8, 0, 0xFFFFFFFFu));
        EXPECT_EQ(std::make_tuple(o.GetMemberSize(3), o.GetMemberAtScaleCoefficient(2), o.GetMemberAtScaleExponent(2)),
                  std::make_tuple(0, 1, 0));
    }
}

// An attribute entry shorter than eight bytes gives only the attributes it
// holds whole; the rest read as their defaults.
TEST(MemberAttributes, EntryOfEverySize) {
    const struct {
        std::uint16_t size;
        std::uint32_t alias;
        std::uint8_t units;
        std::uint16_t coefficient;
        signed char exponent;
    } cases[] = {{0, 0xFFFFFFFFu, 0xFF, 1, 0}, {4, 0x12345678, 0xFF, 1, 0}, {5, 0x12345678, 7, 1, 0},
                 {6, 0x12345678, 7, 1, 0},     {7, 0x12345678, 7, 5, 0},    {8, 0x12345678, 7, 5, -2},
                 {10, 0x12345678, 7, 5, -2}};  // bytes past the eight known ones are zero
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        xqova::build::ClassDescription d = Class("CVersioned", kVersioned, {Attributed(M("A", 0x11))}, 101);
        d.attributeSize = c.size;
        const Bytes block = xqova::build::BuildDefinition(d, [](std::uint32_t) { return std::string(); });
        CXQOVAObject o(nullptr, static_cast<const void*>(block.data()), 0xFFFF);
        const CXQOVAData_u& m = o.Member(0);
        const auto expected = std::make_tuple(c.alias, c.units, c.coefficient, c.exponent);
        EXPECT_EQ(std::make_tuple(m.Alias(), m.Units(), m.ScaleCoefficient(), m.ScaleExponent()), expected);
        EXPECT_EQ(std::make_tuple(xqova::DefinitionMemberAlias(block.data(), 0), xqova::DefinitionMemberUnits(block.data(), 0),
                                  xqova::DefinitionMemberScaleCoefficient(block.data(), 0),
                                  xqova::DefinitionMemberScaleExponent(block.data(), 0)),
                  expected);
        const xqova::CompiledDefinition* compiled = xqova::CompiledDefinition::Compile(block.data(), block.size());
        ASSERT_TRUE(compiled != nullptr);
        const xqova::CompiledMember& cm = compiled->Member(0);
        EXPECT_EQ(std::make_tuple(cm.alias, cm.units, cm.scaleCoefficient, cm.scaleExponent), expected);
        xqova::CompiledDefinition::Free(compiled);
    }
}

// Without a definition, or with a definition damaged in one byte, an object
// has no members but the class and the version asked for.
TEST_F(ObjectLifeCycle, WithoutADefinitionThereAreNoMembers) {
    CXQOVAObject noDictionary(nullptr, kVersioned, 0xFFFF);
    CXQOVAObject unknown(&dictionary_, 0x00990000u, 150);
    CXQOVAObject empty(static_cast<const CXQOVAObject*>(nullptr));
    Bytes block = xqova_test::BmiBlockBytes();
    block[40] ^= 0x01;
    CXQOVAObject damaged(nullptr, static_cast<const void*>(block.data()), 0xFFFF);
    struct Case {
        CXQOVAObject* object;
        std::uint32_t classId;
        std::uint16_t version;
    };
    for (const Case& c : {Case{&noDictionary, kVersioned, 0xFFFF}, Case{&unknown, 0x00990000, 150},
                          Case{&empty, 0xFFFFFFFF, 0xFFFF}, Case{&damaged, 0x00110800, 0xFFFF}}) {
        EXPECT_EQ(std::make_tuple(c.object->ClassID(), c.object->Family(), c.object->Genus(),
                                  c.object->Version(), c.object->MemberCount(), c.object->GetDefinition()),
                  std::make_tuple(c.classId, c.classId >> 16, (c.classId >> 8) & 0xFF, c.version, 0, nullptr));
        EXPECT_EQ(c.object->SetMember(0, 1), 0);
        CXQOVAObject copy(*c.object);
        EXPECT_EQ(copy.Copy(c.object), 1);
    }
}

TEST_F(ObjectLifeCycle, StorageByMemberKind) {
    CXQOVAObject h(&dictionary_, kHolder, 0xFFFF);
    ASSERT_EQ(h.MemberCount(), 8);
    ExpectReset(h);
    EXPECT_EQ(Held<CXQOVAVector>(h, kChildren)->Size() + Held<CXQOVAVector>(h, kAny)->Size(), 0);  // vectors start empty
    const std::uint16_t elements[8] = {1, 16, 0, 1, 0, 2, 2, 1};
    const std::uint16_t sizes[8] = {2, 1, 1, 4, 4, 4, 4, 8};
    for (std::uint16_t id = 0; id < 8; ++id) {
        EXPECT_EQ(std::make_tuple(h.GetMemberNumElements(id), h.GetMemberSize(id)), std::make_tuple(elements[id], sizes[id])) << id;
    }
    EXPECT_EQ(Held<CXQOVAObject>(h, kChild)->Version(), 101);  // nested objects at their newest version
    EXPECT_EQ(Held<CXQOVAVector>(h, kPair)->At(1)->Version(), 101);

    // Without a dictionary nested objects and fixed-vector elements have no
    // members.
    const Bytes block = HolderBlock();
    CXQOVAObject alone(nullptr, static_cast<const void*>(block.data()), 0xFFFF);
    EXPECT_EQ(Held<CXQOVAObject>(alone, kChild)->ClassID(), kVersioned);
    EXPECT_EQ(Held<CXQOVAObject>(alone, kChild)->MemberCount(), 0);
    EXPECT_EQ(Held<CXQOVAVector>(alone, kPair)->At(1)->MemberCount(), 0);
}

TEST_F(ObjectLifeCycle, StatusFlagsBelongToTheHost) {
    CXQOVAObject o(&dictionary_, kVersioned, 0xFFFF);
    EXPECT_EQ(o.SetValid(1), 1);
    EXPECT_EQ(o.SetDirty(1), 1);
    EXPECT_EQ(o.IsValid(), 0x40);
    EXPECT_EQ(o.IsDirty(), 0x80);
    ASSERT_EQ(o.SetMember(0, 5), 1);  // setters leave the flags alone
    EXPECT_EQ(o.SetValid(2), 2);      // anything but 1 clears
    EXPECT_EQ(o.IsValid(), 0);
    EXPECT_EQ(o.IsDirty(), 0x80);
    o.Reset(0);
    EXPECT_EQ(o.IsDirty(), 0);
}

TEST_F(ObjectLifeCycle, CopyIsDeepAndResetClearsEverything) {
    CXQOVAObject source(&dictionary_, kHolder, 0xFFFF), reference(&dictionary_, kHolder, 0xFFFF);
    Fill(source, 7);
    Fill(reference, 7);
    CXQOVAObject target(&dictionary_, kHolder, 0xFFFF);
    Fill(target, 1);
    ASSERT_EQ(target.Copy(&source), 1);
    ExpectSameObject(target, reference, "copy", false);  // the status flags are the host's own
    ExpectSameObject(source, reference, "source");
    EXPECT_NE(static_cast<void*>(target.Member(kText)), static_cast<void*>(source.Member(kText)));
    EXPECT_NE(Held<CXQOVAVector>(target, kChildren)->At(0), Held<CXQOVAVector>(source, kChildren)->At(0));
    CXQOVAObject constructed(source);
    ExpectSameObject(constructed, reference, "constructed", false);
    EXPECT_EQ(target.Copy(&target), 1);
    ExpectSameObject(target, reference, "self", false);

    // Reset(0) leaves nested objects and vectors; Reset(1) clears them too.
    target.Reset(0);
    for (std::uint16_t id : {kChild, kChildren, kPair, kAny}) {
        ExpectSameMember(target.Member(id), reference.Member(id), "after Reset(0)", false);
    }
    target.Reset(1);
    ExpectReset(target);
    ExpectSameObject(source, reference, "source");
    // A text holding only its terminator after a reset copies as such.
    ASSERT_EQ(source.Copy(&target), 1);
    ExpectSameObject(source, target, "copy of a reset object", false);

    // Another class or version: refused, and the target is reset.
    CXQOVAObject older(&dictionary_, kVersioned, 100);
    for (CXQOVAObject* other : {&older, static_cast<CXQOVAObject*>(nullptr)}) {
        Fill(target, 2);
        EXPECT_EQ(target.Copy(other), 0);
        ExpectReset(target);
    }
}

// Counts the objects along a chain where `next` gives the following one.
template <class Next>
int Levels(CXQOVAObject* o, Next next) {
    int levels = 0;
    for (; o != nullptr; o = next(o)) ++levels;
    return levels;
}

TEST_F(ObjectLifeCycle, DefinitionsNestingThemselvesStopAtTheNestingLimit) {
    // A class holding itself in a fixed-count vector, built by class and by
    // definition, and its copy (one holding itself in a single member is
    // decoded level by level by the decoding tests).
    const int limit = static_cast<int>(xqova::kMaxNestingDepth);
    const auto element = [](CXQOVAObject* o) {
        CXQOVAVector* v = Held<CXQOVAVector>(*o, 0);
        return v == nullptr ? nullptr : v->At(0);
    };
    CXQOVAObject fan(&dictionary_, kFan, 0xFFFF);
    CXQOVAObject copy(fan);
    CXQOVAObject byDefinition(&dictionary_, dictionary_.GetDefinition(kFan), 0xFFFF);
    for (CXQOVAObject* o : {&fan, &copy, &byDefinition}) EXPECT_EQ(Levels(o, element), limit);

    // A cycle of two added definitions.
    CXQOVADictionary added;
    const Bytes a = Build("CCycleA", kCycleA, {Nested("B", kCycleB)});
    const Bytes b = Build("CCycleB", kCycleB, {M("Value", 0x10), Nested("A", kCycleA)});
    ASSERT_NE(added.AddDefinition(a.data()), nullptr);
    ASSERT_NE(added.AddDefinition(b.data()), nullptr);
    CXQOVAObject cycle(&added, kCycleA, 0xFFFF);
    EXPECT_EQ(Levels(&cycle, [](CXQOVAObject* o) { return Held<CXQOVAObject>(*o, o->ClassID() == kCycleA ? 0 : 1); }),
              limit);
}

// Every allocation may fail: the object is then smaller but usable, a copy
// into it either completes or leaves it reset, and nothing leaks.
TEST_F(ObjectLifeCycle, RunningOutOfMemory) {
    CXQOVAObject source(&dictionary_, kHolder, 0xFFFF);
    Fill(source, 5);
    ForEachAllocationFailure([&](long, const auto& done) {
        xqova::testing::CountAllocations(true);
        {
            CXQOVAObject h(&dictionary_, kHolder, 0xFFFF);
            const bool complete = done();
            h.SetMember(kText, "abc", 3);
            if (auto* children = Held<CXQOVAVector>(h, kChildren)) children->Push(kVersioned);
            const std::uint8_t copied = h.Copy(&source);
            if (complete) {
                EXPECT_EQ(copied, 1);
            }
            if (copied == 1) ExpectSameObject(h, source, "copy", false);
        }
        EXPECT_EQ(xqova::testing::LiveAllocations(), 0);  // the object ended with everything it held
        xqova::testing::CountAllocations(false);
    });

    int refused = 0;
    const long last = ForEachAllocationFailure([&](long n, const auto& done) {
        xqova::testing::FailAllocationsAfter(-1);
        CXQOVAObject target(&dictionary_, kHolder, 0xFFFF);
        Fill(target, 1);
        xqova::testing::FailAllocationsAfter(n);
        const std::uint8_t copied = target.Copy(&source);
        done();
        refused += copied == 0 ? 1 : 0;
        if (copied == 1) {
            ExpectSameObject(target, source, "copy", false);
        } else {
            ExpectReset(target);
        }
    });
    EXPECT_GT(refused, 2);
    EXPECT_EQ(refused, last - 1);  // every run short of the last two ran out
}

// ---- Objects built from encodings ---------------------------------------------
//
// An object built from an encoded object takes its class and version from
// the encoding's header (the worked examples show it through the decoding
// constructors), and its nested objects and fixed-count vector elements the
// versions of their nested encodings; a damaged or short encoding gives an
// object without members; nothing outside the bytes given is read.

// The shape the decoding constructor builds before it reads the values.
class EncodedShape : public CXQOVAObject {
public:
    EncodedShape(CXQOVADictionary* dictionary, const Bytes& encoding) : CXQOVAObject(dictionary, 0xFFFFFFFFu, 0xFFFF) {
        Construct(dictionary, nullptr, 0xFFFFFFFFu, 0xFFFF, encoding.data(), encoding.size(), 0);
    }
};

constexpr std::uint32_t kShaped = 0x00430000, kShapedElem = 0x00430100, kShapedOther = 0x00430200;

void Put16(Bytes* b, std::size_t v) {
    b->push_back(static_cast<unsigned char>(v >> 8));
    b->push_back(static_cast<unsigned char>(v));
}

// CShaped (a text, a single CElem, two CElem in a fixed vector) holding
// `single` and a vector count followed by `elements`.
Bytes Shaped(const Bytes& single, std::uint16_t count, const Bytes& elements) {
    Bytes variable = {0x00, 0x02, 'h', 0x00, 0x00, 0x00};
    Put16(&variable, single.size());
    variable.insert(variable.end(), single.begin(), single.end());
    Put16(&variable, count);
    variable.insert(variable.end(), elements.begin(), elements.end());
    return EncodingOf(kShaped, 100, {}, variable);
}

TEST(ShapeFromEncoding, NestedPartsFollowTheirEncodingsWhileTheBytesHold) {
    Chain chain({Build("CShaped", kShaped, {M("Text", 0x48), Nested("Single", kShapedElem), VectorOf("Pair", kShapedElem, 2)}),
                 Build("CElem", kShapedElem, {M("X", 0x11), M("Y", 0x10, 101)}, 101), Build("COther", kShapedOther, {M("Z", 0x11)})});
    CXQOVADictionary dictionary(chain.Head());
    const Bytes old = EncodingOf(kShapedElem, 100, {0x00, 0x05}, {});
    Bytes two = old;
    two.insert(two.end(), old.begin(), old.end());
    Bytes overlong = old;
    overlong[5] = 0x40;  // a stated length far past the end

    struct Case {
        const char* what;
        Bytes encoding;
        std::uint16_t singleVersion, pairVersion;
    };
    for (const Case& c : {Case{"versions of the nested encodings", Shaped(old, 2, two), 100, 100},
                          Case{"a nested object of another class", Shaped(EncodingOf(kShapedOther, 100, {0x00, 0x05}, {}), 2, two), 101, 100},
                          Case{"a count beyond the bytes", Shaped(old, 0xFFFF, old), 100, 100},
                          Case{"a nested size beyond the bytes", Shaped(overlong, 2, two), 101, 101}}) {
        SCOPED_TRACE(c.what);
        EncodedShape shape(&dictionary, c.encoding);
        ASSERT_EQ(shape.MemberCount(), 3);
        auto* single = static_cast<CXQOVAObject*>(shape.Member(1));
        auto* pair = static_cast<CXQOVAVector*>(shape.Member(2));
        ASSERT_NE(single, nullptr);
        ASSERT_EQ(pair->Size(), 2);
        EXPECT_EQ(single->ClassID(), kShapedElem);
        EXPECT_EQ(single->Version(), c.singleVersion);
        EXPECT_EQ(pair->At(1)->Version(), c.pairVersion);
    }
    // One changed byte or one byte too few: the header's class, no
    // definition, no members; without a dictionary the encoding is not read.
    Bytes damaged = Shaped(old, 2, two);
    Bytes shortened(damaged.begin(), damaged.end() - 1);
    damaged[damaged.size() - 3] ^= 0x10;
    for (const Bytes* bad : {&damaged, &shortened}) {
        EncodedShape none(&dictionary, *bad);
        EXPECT_EQ(none.ClassID(), kShaped);
        EXPECT_EQ(none.MemberCount(), 0);
        EXPECT_EQ(none.GetDefinition(), nullptr);
    }
    EncodedShape alone(nullptr, Shaped(old, 2, two));
    EXPECT_EQ(alone.MemberCount(), 0);
}

}  // namespace
