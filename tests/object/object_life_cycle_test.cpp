// Objects from construction to destruction: which members exist at which
// version, the storage each kind of member gets, Reset, Copy and running out
// of memory.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>

#include "support/objects.h"
#include "support/bmi_block.h"
#include "xqova/dictionary/compiled_definition.h"
#include "xqova/dictionary/definition.h"
#include "xqova/dictionary/dictionary.h"
#include "xqova/object/object.h"
#include "xqova/object/vector.h"

namespace {

using namespace test_objects;

constexpr std::uint32_t kVersioned = 0x00400400, kHolder = 0x00400500, kOther = 0x00400A00;

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
        : chain_({VersionedBlock(), HolderBlock(), Build("COther", kOther, {M("X", 0x03)}, 101)}),
          dictionary_(chain_.Head()) {}

    // A CHolder with every member given a value derived from `seed`; the
    // same seed gives the same values. Its ANY_CLASS vector holds one
    // COther and one CVersioned.
    void Fill(CXQOVAObject& h, std::uint32_t seed) { Filler(seed, {kOther, kVersioned}).Fill(h); }

    Chain chain_;
    CXQOVADictionary dictionary_;
};

TEST_F(ObjectLifeCycle, MembersExistFromTheirMinimumToTheirMaximumVersion) {
    struct Case { std::uint16_t requested, version; std::uint8_t typeB, typeC, typeAtOne; };
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
        EXPECT_EQ(std::make_tuple(o.GetMemberAtAlias(1), o.GetMemberAtScaleCoefficient(1), o.GetMemberAtScaleExponent(1),
                                  static_cast<int>(o.Member(1).ScaleExponent())),
                  c.version == 101 ? std::make_tuple(0x12345678u, 5, -2, -2) : std::make_tuple(0xFFFFFFFFu, 1, 0, 0));
        // Every failed lookup gives the same sentinel.
        CXQOVAData_u& none = o.Member(3);
        std::uint16_t count = 99;
        EXPECT_TRUE(&o.At(2) == &none && &o.GetMember(0xFFFF, &count) == &none && count == 0);
        EXPECT_EQ(std::make_tuple(none.Type(), none.Available(), none.Alias()), std::make_tuple(0xF8, 0, 0xFFFFFFFFu));
        EXPECT_EQ(std::make_tuple(o.GetMemberSize(3), o.GetMemberAtAlias(2), o.GetMemberAtUnits(2),
                                  o.GetMemberAtScaleCoefficient(2), o.GetMemberAtScaleExponent(2)),
                  std::make_tuple(0, 0xFFFFFFFFu, 0xFF, 1, 0));
    }
}

// An attribute entry shorter than eight bytes gives only the attributes it
// holds whole; the rest read as their defaults.
TEST(MemberAttributes, EntryOfEverySize) {
    using Attributes = std::tuple<std::uint32_t, std::uint8_t, std::uint16_t, signed char>;  // alias, units, scale
    const struct { std::uint16_t size; Attributes expected; } cases[] = {
        {0, {0xFFFFFFFFu, 0xFF, 1, 0}}, {4, {0x12345678, 0xFF, 1, 0}}, {5, {0x12345678, 7, 1, 0}},
        {6, {0x12345678, 7, 1, 0}},     {7, {0x12345678, 7, 5, 0}},    {8, {0x12345678, 7, 5, -2}},
        {10, {0x12345678, 7, 5, -2}}};  // bytes past the eight known ones are zero
    for (const auto& [size, expected] : cases) {
        SCOPED_TRACE(size);
        xqova::build::ClassDescription d = Class("CVersioned", kVersioned, {Attributed(M("A", 0x11))}, 101);
        d.attributeSize = size;
        const Bytes block = xqova::build::BuildDefinition(d, [](std::uint32_t) { return std::string(); });
        CXQOVAObject o(nullptr, static_cast<const void*>(block.data()), 0xFFFF);
        const CXQOVAData_u& m = o.Member(0);
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
    struct Case { CXQOVAObject* object; std::uint32_t classId; std::uint16_t version; };
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

// The storage each kind of member gets, then deep copies and resets.
TEST_F(ObjectLifeCycle, StorageByMemberKindCopyAndReset) {
    CXQOVAObject h(&dictionary_, kHolder, 0xFFFF);
    ASSERT_EQ(h.MemberCount(), 8);
    ExpectReset(h);
    EXPECT_EQ(Held<CXQOVAVector>(h, kChildren)->Size() + Held<CXQOVAVector>(h, kAny)->Size(), 0);  // vectors start empty
    const std::uint16_t elements[8] = {1, 16, 0, 1, 0, 2, 2, 1}, sizes[8] = {2, 1, 1, 4, 4, 4, 4, 8};
    for (std::uint16_t id = 0; id < 8; ++id) {
        EXPECT_EQ(std::make_tuple(h.GetMemberNumElements(id), h.GetMemberSize(id)), std::make_tuple(elements[id], sizes[id])) << id;
    }
    // Nested objects at their newest version.
    EXPECT_EQ(std::make_tuple(Held<CXQOVAObject>(h, kChild)->Version(), Held<CXQOVAVector>(h, kPair)->At(1)->Version()), std::make_tuple(101, 101));

    // Without a dictionary nested objects and vector elements have no
    // members.
    const Bytes block = HolderBlock();
    CXQOVAObject alone(nullptr, static_cast<const void*>(block.data()), 0xFFFF);
    EXPECT_EQ(std::make_tuple(Held<CXQOVAObject>(alone, kChild)->ClassID(), Held<CXQOVAObject>(alone, kChild)->MemberCount(),
                              Held<CXQOVAVector>(alone, kPair)->At(1)->MemberCount(),
                              Held<CXQOVAVector>(alone, kChildren)->Push(kVersioned)->MemberCount()),
              std::make_tuple(kVersioned, 0, 0, 0));

    CXQOVAObject source(&dictionary_, kHolder, 0xFFFF), reference(&dictionary_, kHolder, 0xFFFF), target(&dictionary_, kHolder, 0xFFFF);
    Fill(source, 7);
    Fill(reference, 7);
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
    // A text never set has no terminator either.
    ASSERT_EQ(source.Copy(&h), 1);
    ExpectSameObject(source, h, "copy of a new object", false);

    // Another class or version: refused, and the target is reset.
    CXQOVAObject older(&dictionary_, kVersioned, 100);
    for (CXQOVAObject* other : {&older, static_cast<CXQOVAObject*>(nullptr)}) {
        Fill(target, 2);
        EXPECT_EQ(target.Copy(other), 0);
        ExpectReset(target);
    }
    CXQOVAObject other100(&dictionary_, kOther, 100), other101(&dictionary_, kOther, 0xFFFF);  // the same members
    EXPECT_EQ(other101.Copy(&other100), 0);
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
            EXPECT_TRUE(!complete || copied == 1);
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
    EXPECT_EQ(refused, 2 * (last - 1));  // in both passes every run short of the last two ran out
}

}  // namespace
