// The three kinds of object vectors: fixed, bounded any-class and growing.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "support/objects.h"
#include "xqova/dictionary/dictionary.h"
#include "xqova/object/object.h"
#include "xqova/object/vector.h"

namespace {

using namespace test_objects;

constexpr std::uint32_t kVectors = 0x00420000, kElem = 0x00420100, kOther = 0x00420200, kTail = 0x00420300;
enum : std::uint16_t { kFixed, kBounded, kGrowing, kGrowingAny };

Bytes ElemBlock() { return Build("CElem", kElem, {M("X", 0x11), M("Y", 0x10, 101)}, 101); }
Bytes OtherBlock() { return Build("COther", kOther, {M("Z", 0x03)}); }

class ObjectVectors : public ::testing::Test {
protected:
    ObjectVectors()
        : chain_({Build("CVectors", kVectors,
                        {VectorOf("Fixed", kElem, 3), VectorOf("Bounded", kAnyClass, 2), VectorOf("Growing", kElem, 0),
                         VectorOf("GrowingAny", kAnyClass, 0)}),
                  ElemBlock(), OtherBlock(), Build("CTail", kTail, {M("Value", 0x11), VectorOf("Pair", kElem, 2)})}),
          dictionary_(chain_.Head()),
          holder_(&dictionary_, kVectors, 0xFFFF) {}

    CXQOVAVector& V(std::uint16_t id) { return *static_cast<CXQOVAVector*>(holder_.Member(id)); }
    static std::vector<std::int32_t> Xs(const CXQOVAVector& v) {
        std::vector<std::int32_t> xs;
        for (std::uint16_t i = 0; i < v.Size(); ++i) xs.push_back(static_cast<std::int32_t>(v.At(i)->Member(0)));
        return xs;
    }

    Chain chain_;
    CXQOVADictionary dictionary_;
    CXQOVAObject holder_;
};

// A fixed vector holds its elements from the start; a bounded ANY_CLASS
// vector takes mixed classes up to its count.
TEST_F(ObjectVectors, FixedAndBoundedVectorsHoldUpToTheirCount) {
    CXQOVAVector& fixed = V(kFixed);
    ASSERT_EQ(fixed.Size(), 3);
    EXPECT_EQ(std::make_tuple(fixed.Front(), fixed.Back(), fixed.At(3), fixed.At(0)->Version(), fixed.Push(kElem), fixed.Insert(kElem, 0)),
              std::make_tuple(fixed.At(0), fixed.At(2), nullptr, 101, nullptr, nullptr));
    CXQOVAObject* second = fixed.At(1);
    ASSERT_EQ(second->SetMember(0, 42), 1);
    fixed.Pop();
    fixed.Erase(0, 2);
    fixed.Clear();  // keeps its elements, reset
    EXPECT_EQ(std::make_tuple(fixed.Size(), fixed.At(1), static_cast<std::int32_t>(second->Member(0))), std::make_tuple(3, second, 0));

    CXQOVAVector& bounded = V(kBounded);
    EXPECT_EQ(std::make_tuple(bounded.Empty(), bounded.Front(), bounded.Back()), std::make_tuple(1, nullptr, nullptr));
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        CXQOVAObject* other = bounded.Push(kOther);
        CXQOVAObject* elem = bounded.Insert(kElem, std::uint16_t{100}, std::uint16_t{0});
        ASSERT_TRUE(other != nullptr && elem != nullptr);
        EXPECT_EQ(std::make_tuple(elem->Version(), bounded.At(0), bounded.At(1), bounded.Empty()), std::make_tuple(100, elem, other, 0));
        EXPECT_EQ(bounded.Push(kOther), nullptr);  // full
        bounded.Clear();
        EXPECT_EQ(bounded.Size(), 0);
    }
    EXPECT_EQ(bounded.Insert(0xFFFFFFFFu, 0), nullptr);  // no class
}

TEST_F(ObjectVectors, AGrowingVectorKeepsOrderAndRefusesOtherClasses) {
    CXQOVAVector& growing = V(kGrowing);
    for (int x = 1; x <= 5; ++x) ASSERT_EQ(growing.Push(kElem)->SetMember(0, x), 1);
    // An UNBOUNDED vector has no fixed count.
    EXPECT_EQ(std::make_tuple(holder_.Member(kGrowing).Elements(), holder_.GetMemberNumElements(kGrowing)), std::make_tuple(5, 0));

    CXQOVAObject other(&dictionary_, kOther, 0xFFFF);
    EXPECT_EQ(std::make_tuple(growing.Push(kOther), growing.Push(&other), growing.Push(static_cast<const CXQOVAObject*>(nullptr))),
              std::make_tuple(nullptr, nullptr, nullptr));
    CXQOVAObject model(&dictionary_, kElem, 100);
    ASSERT_EQ(model.SetMember(0, 9), 1);
    CXQOVAObject* copy = growing.Insert(&model, 2);
    ASSERT_TRUE(copy != nullptr && copy != &model && copy->Version() == 100);
    EXPECT_EQ(growing.Insert(kElem, 7), nullptr);  // past the end
    ASSERT_NE(growing.Insert(kElem, 6), nullptr);  // at the end: appends
    EXPECT_EQ(Xs(growing), (std::vector<std::int32_t>{1, 2, 9, 3, 4, 5, 0}));

    growing.Erase(1, 3);
    growing.Erase(3, 2);  // runs past the end: ignored
    EXPECT_EQ(Xs(growing), (std::vector<std::int32_t>{1, 4, 5, 0}));
    growing.Pop();
    EXPECT_EQ(Xs(growing), (std::vector<std::int32_t>{1, 4, 5}));
    growing.Clear();
    growing.Pop();  // empty: nothing to take
    EXPECT_EQ(growing.Size(), 0);

    // Elements from definition blocks, at their own or a given version.
    const Bytes elem = ElemBlock(), otherBlock = OtherBlock();
    CXQOVAVector& any = V(kGrowingAny);
    EXPECT_EQ(std::make_tuple(any.Push(static_cast<const void*>(nullptr)), any.Push(static_cast<const void*>(nullptr), std::uint16_t{100})),
              std::make_tuple(nullptr, nullptr));
    ASSERT_NE(any.Push(static_cast<const void*>(otherBlock.data())), nullptr);
    EXPECT_EQ(any.Push(static_cast<const void*>(elem.data()), std::uint16_t{100})->Version(), 100);
    EXPECT_EQ(any.Insert(static_cast<const void*>(elem.data()), 0)->Version(), 101);
    EXPECT_EQ(any.At(1)->GetDefinition(), static_cast<const void*>(otherBlock.data()));
    EXPECT_EQ(growing.Push(static_cast<const void*>(otherBlock.data())), nullptr);
}

// Whole objects copy every vector kind deeply (the life-cycle tests); a
// vector copies another only of its own class and count.
TEST_F(ObjectVectors, CopyNeedsTheSameShape) {
    CXQOVAObject source(&dictionary_, kVectors, 0xFFFF);
    auto& any = *static_cast<CXQOVAVector*>(source.Member(kGrowingAny));
    ASSERT_EQ(any.Push(kOther)->SetMember(0, -7), 1);
    ASSERT_EQ(any.Push(kElem)->SetMember(0, 8), 1);
    EXPECT_TRUE(V(kGrowingAny).Copy(&any) == 1 && V(kGrowingAny).Copy(&V(kGrowingAny)) == 1);  // then itself
    EXPECT_EQ(Xs(V(kGrowingAny)), (std::vector<std::int32_t>{-7, 8}));

    // Another class or count: refused, and this vector cleared.
    EXPECT_TRUE(V(kGrowingAny).Copy(&V(kGrowing)) == 0 && V(kGrowingAny).Size() == 0);
    EXPECT_EQ(std::make_tuple(V(kBounded).Copy(&any), V(kBounded).Copy(nullptr)), std::make_tuple(0, 0));
}

TEST_F(ObjectVectors, RunningOutOfMemory) {
    // An insertion that fails leaves the vector as it was.
    CXQOVAVector& growing = V(kGrowing);
    ASSERT_EQ(growing.Push(kElem)->SetMember(0, 1), 1);
    ForEachAllocationFailure([&](long, const auto& done) {
        const std::uint16_t before = growing.Size();
        CXQOVAObject* added = growing.Insert(kElem, 0);
        done();
        EXPECT_EQ(growing.Size(), before + (added != nullptr ? 1 : 0));
        EXPECT_TRUE(added == nullptr || growing.At(0) == added);
    });
    EXPECT_EQ(static_cast<std::int32_t>(growing.Back()->Member(0)), 1);

    // A fixed vector is built with all its elements or not at all; an
    // object without it, or with an element short of members, cannot take
    // a whole copy.
    CXQOVAObject source(&dictionary_, kTail, 0xFFFF);
    ASSERT_EQ(static_cast<CXQOVAVector*>(source.Member(1))->At(1)->SetMember(0, 6), 1);
    int missingVectors = 0;
    ForEachAllocationFailure([&](long, const auto& done) {
        CXQOVAObject tail(&dictionary_, kTail, 0xFFFF);
        done();
        auto* pair = static_cast<CXQOVAVector*>(tail.Member(1));
        const bool whole = pair != nullptr && pair->Size() == 2 && pair->At(0)->MemberCount() == 2 &&
                           pair->At(1)->MemberCount() == 2;
        EXPECT_TRUE(pair == nullptr || (pair->Push(kElem) == nullptr && pair->Size() == 2));
        missingVectors += (tail.MemberCount() == 2 && pair == nullptr) ? 1 : 0;
        EXPECT_EQ(tail.Member(1).Elements(), pair != nullptr ? 2 : 0);
        EXPECT_EQ(tail.Copy(&source), whole ? 1 : 0);
        EXPECT_TRUE(!whole || static_cast<std::int32_t>(pair->At(1)->Member(0)) == 6);
    });
    EXPECT_GT(missingVectors, 0);
}

}  // namespace
