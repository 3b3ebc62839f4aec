// The budget of one object operation: objects and bytes, shared by a
// construction, its decode and the vector elements the decode inserts; an
// operation that runs out fails as a whole and quickly.
#include <gtest/gtest.h>

#include <chrono>
#include <tuple>

#include "support/objects.h"
#include "xqova/core/budget.h"
#include "xqova/core/budgeted_operation.h"
#include "xqova/core/memory.h"
#include "xqova/encoding/decode_report.h"

namespace {

using namespace test_objects;

constexpr std::uint32_t kDeviceC = 0x00180800;  // CDeviceCStd: no members at version 0
constexpr std::uint32_t kSelf = 0x00440000;     // two members of its own class and uint8[65535]
constexpr std::uint32_t kHolder = 0x00451200;   // an ANY_CLASS growing vector (4-byte length)
constexpr std::uint32_t kFanTop = 0x00460000;   // kFanLevels classes, each holding two of the next
constexpr int kFanLevels = 12;                  // 2^12 - 1 objects below the top
constexpr std::uint32_t kTwoFixed = 0x00471200; // two fixed vectors of 40,000 kTiny (4-byte length)
constexpr std::uint32_t kTiny = 0x00470000;     // one uint8

// A vector encoding without size prefixes: `count` copies of `element`.
Bytes Elements(const Bytes& element, std::uint16_t count) {
    Bytes body = {static_cast<unsigned char>(count >> 8), static_cast<unsigned char>(count)};
    for (std::uint16_t i = 0; i < count; ++i) body.insert(body.end(), element.begin(), element.end());
    return body;
}

class ConstructionBudget : public ::testing::Test {
protected:
    ConstructionBudget()
        : dictionary_(RER_KLEV_ZENTO::Dictionary()),
          blocks_({Build("CSelf", kSelf, {Nested("Left", kSelf), Nested("Right", kSelf), FixedArray("Bulk", 0x00, 65535)}),
                   Build("CHolder", kHolder, {VectorOf("Items", kAnyClass, 0)}),
                   Build("CTwoFixed", kTwoFixed, {VectorOf("A", kTiny, 40000), VectorOf("B", kTiny, 40000)}),
                   Build("CTiny", kTiny, {M("Value", 0x10)})}) {
        for (int i = 0; i < kFanLevels; ++i) {
            const std::uint32_t id = kFanTop + static_cast<std::uint32_t>(i << 8);
            std::vector<Member> members = {M("Value", 0x10)};
            if (i + 1 < kFanLevels) members = {Nested("Left", id + 0x100), Nested("Right", id + 0x100), M("Value", 0x10)};
            blocks_.push_back(Build("CFan", id, members));
        }
        for (const Bytes& block : blocks_) EXPECT_NE(dictionary_.AddDefinition(block.data()), nullptr);
    }

    CXQOVADictionary dictionary_;
    std::vector<Bytes> blocks_;
};

// A small host definition (96 bytes without its names) holding two objects of its own class and a
// 65,535-byte array would take 2^32 arrays within the nesting limit: the
// construction stops at the byte budget and fails as a whole.
TEST_F(ConstructionBudget, SelfNestingDefinitionWithLargeArraysFailsWhole) {
    const auto start = std::chrono::steady_clock::now();
    {
        xqova::ScopedConstructionBudget observed(xqova::kDefaultObjectBudget, xqova::kDefaultByteBudget);
        CXQOVAObject self(&dictionary_, kSelf, 0xFFFF);
        EXPECT_TRUE(observed.Exhausted());
        EXPECT_LE(observed.MostBytes(), xqova::kDefaultByteBudget);
        EXPECT_TRUE(self.ClassID() == kSelf && self.MemberCount() == 0 && self.SizeAll(0xFFFF) == 0);
        EXPECT_EQ(Decode(self, EncodingOf(kSelf, 100, {}, {})), 0u);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));

}

// Elements that a decode inserts into an ANY_CLASS vector share the budget of
// the construction: 13-byte elements of a class that fans out (each built,
// then left reset when its few bytes do not decode) no longer get a fresh budget
// each. Under the strict flag and without it, by construction and by
// Deserialize, the operation fails as a whole.
TEST_F(ConstructionBudget, VectorElementsShareTheBudgetOfTheirDecode) {
    const Bytes fan = EncodingOf(kFanTop, 100, {}, {});
    const std::uint32_t perElement = (1u << kFanLevels) - 1;  // objects one element builds
    const Bytes few = EncodingOf(kHolder, 100, {}, Elements(fan, 3)), many = EncodingOf(kHolder, 100, {}, Elements(fan, 40));

    xqova::ScopedConstructionBudget budget(20 * perElement, xqova::kDefaultByteBudget);
    CXQOVAObject holder(&dictionary_, xqova::EncodedBytes{few.data(), few.size()});
    auto* items = static_cast<CXQOVAVector*>(holder.Member(0));
    ASSERT_NE(items, nullptr);  // each element failed to decode and stays as its decode left it
    EXPECT_EQ(std::make_tuple(budget.Exhausted(), budget.MostObjects(), items->Size()), std::make_tuple(false, 3 * perElement, 3));

    for (unsigned char strict : {0, 1}) {
        SCOPED_TRACE(static_cast<int>(strict));
        ASSERT_NE(items->Push(kDeviceC), nullptr);
        EXPECT_EQ(Decode(holder, many, strict), 0u);
        EXPECT_EQ(std::make_tuple(budget.Exhausted(), items->Size()), std::make_tuple(true, 0));  // reset deeply
        EXPECT_LE(budget.MostObjects(), 20 * perElement);
        xqova::DecodeReport report;  // and a report says what ended it: the budget when elements may fail
        EXPECT_EQ(holder.Deserialize(many.data(), many.size(), strict, &report), 0u);
        EXPECT_EQ(report.overBudget && report.check == xqova::DecodeCheck::kOutOfMemory, strict == 0);
    }
    {
        // Elements that decode whole, each of 2^10 - 1 objects: a strict decode
        // runs out after construction and names the budget, at the object's start.
        CXQOVAObject part(&dictionary_, kFanTop + 0x200, 0xFFFF);
        const Bytes sound = EncodingOf(kHolder, 100, {}, Elements(Encode(part), 4));
        const xqova::ScopedConstructionBudget three(3 * 1023 + 2, xqova::kDefaultByteBudget);
        xqova::DecodeReport report;
        EXPECT_FALSE(xqova::DecodeObject(&dictionary_, sound.data(), sound.size(), &report));
        EXPECT_EQ(std::make_tuple(report.check, report.overBudget, report.classId, report.offset, report.at,
                                  std::string(report.path) + report.member),
                  std::make_tuple(xqova::DecodeCheck::kOutOfMemory, true, kHolder, 0u, 0u, std::string()));
    }
    CXQOVAObject built(&dictionary_, xqova::EncodedBytes{many.data(), many.size()});
    EXPECT_EQ(std::make_tuple(built.MemberCount(), built.SizeAll(0xFFFF)), std::make_tuple(0, 0u));

    // At full size under the default budget: 65,535 elements that would each
    // build 2^12 objects stop after the budget's worth; as many CDeviceCStd of
    // version 0 (13 bytes each, no members) stay far below it.
    for (const Bytes& element : {fan, EncodingOf(kDeviceC, 0, {}, {})}) {
        const bool fans = element == fan;
        const Bytes all = EncodingOf(kHolder, 100, {}, Elements(element, 0xFFFF));
        xqova::ScopedConstructionBudget defaults(xqova::kDefaultObjectBudget, xqova::kDefaultByteBudget);
        CXQOVAObject full(&dictionary_, xqova::EncodedBytes{all.data(), all.size()});
        EXPECT_LE(defaults.MostObjects(), fans ? xqova::kDefaultObjectBudget : xqova::kDefaultObjectBudget / 2);
        EXPECT_LE(defaults.MostBytes(), fans ? xqova::kDefaultByteBudget : xqova::kDefaultByteBudget / 2);
        EXPECT_EQ(std::make_tuple(defaults.Exhausted(), full.MemberCount(), Hex(Encode(full))),
                  std::make_tuple(fans, fans ? 0 : 1, fans ? "" : Hex(all)));
    }
}

// A vector's Insert, Push and Copy are operations of their own: an element
// that does not fit is refused whole and the vector stays as it was; a copy
// that does not fit leaves the vector cleared; an object's Copy resets it.
TEST_F(ConstructionBudget, InsertAndCopyFailWholeAndExactBudgetsFit) {
    CXQOVAObject holder(&dictionary_, kHolder, 0xFFFF);
    auto* items = static_cast<CXQOVAVector*>(holder.Member(0));
    ASSERT_NE(items, nullptr);
    ASSERT_NE(items->Push(kFanTop), nullptr);  // default budget
    ASSERT_NE(items->Push(kDeviceC), nullptr);

    CXQOVAObject copy(&dictionary_, kHolder, 0xFFFF);
    {
        xqova::ScopedConstructionBudget small(1000, xqova::kDefaultByteBudget);
        EXPECT_TRUE(items->Push(kFanTop) == nullptr && items->Size() == 2 && items->Push(kDeviceC) != nullptr);
        EXPECT_EQ(copy.Copy(&holder), 0);
        auto* target = static_cast<CXQOVAVector*>(copy.Member(0));
        EXPECT_TRUE(target->Size() == 0 && target->Copy(items) == 0 && target->Size() == 0);
        CXQOVAObject copied(holder);
        EXPECT_EQ(copied.MemberCount(), 0);
    }
    EXPECT_TRUE(copy.Copy(&holder) == 1 && static_cast<CXQOVAVector*>(copy.Member(0))->Size() == 3);
    {  // memory past the bytes left, or an object past the objects left, is not taken at all
        const xqova::ScopedConstructionBudget tiny(1, 100);
        {
            const xqova::BudgetedOperation operation;
            EXPECT_EQ(xqova::Allocate(101), nullptr);
        }
        const xqova::BudgetedOperation operation;
        const bool first = xqova::BudgetedOperation::TakeObject();
        EXPECT_TRUE(first && !xqova::BudgetedOperation::TakeObject());
    }

    // A budget the host sets, with the whole construction under the guard:
    // exactly what a construction took fits, one object or one byte less
    // does not, and an operation that runs out fails as a whole. A
    // construction builds every element its fixed vectors ask for or fails as
    // a whole: two fixed vectors of 40,000 elements under a budget that runs
    // out inside the second leave an object without members, never a vector
    // with fewer elements than its count.
    const std::uint32_t fan = kFanTop + static_cast<std::uint32_t>((kFanLevels - 2) << 8);  // one level: 3 objects
    xqova::ScopedConstructionBudget small(1000, 200000);
    EXPECT_TRUE(small.MostObjects() == 0 && small.MostBytes() == 0 && !small.Exhausted());  // before any operation
    CXQOVAObject ok(&dictionary_, fan, 0xFFFF);
    EXPECT_EQ(std::make_tuple(small.Exhausted(), small.MostObjects()), std::make_tuple(false, 2u));
    const std::uint64_t took = small.MostBytes();
    const struct { std::uint32_t classId, objects; std::uint64_t bytes; bool fits; } edges[] = {
        {fan, 2, took, true},
        {fan, 1, took, false},
        {fan, 2, took - 1, false},
        {kTwoFixed, 65536, xqova::kDefaultByteBudget, false},
        {kTwoFixed, xqova::kDefaultObjectBudget, 1u << 20, false},
        {kTwoFixed, xqova::kDefaultObjectBudget, xqova::kDefaultByteBudget, true},
    };
    for (const auto& e : edges) {
        SCOPED_TRACE(std::to_string(e.objects) + " objects, " + std::to_string(e.bytes) + " bytes");
        xqova::ScopedConstructionBudget exact(e.objects, e.bytes);
        CXQOVAObject object(&dictionary_, e.classId, 0xFFFF);
        EXPECT_EQ(std::make_tuple(exact.Exhausted(), object.MemberCount()), std::make_tuple(!e.fits, e.fits ? (e.classId == fan ? 3 : 2) : 0));
        if (e.classId == fan) continue;
        // 15 bytes of header and checksum; per vector a count and 40,000
        // elements of 14 bytes.
        EXPECT_EQ(object.SizeAll(0xFFFF), e.fits ? 15u + 2u * (2u + 40000u * 14u) : 0u);
        for (std::uint16_t id : {0, 1}) {
            auto* vector = static_cast<CXQOVAVector*>(object.Member(id));
            EXPECT_EQ(vector != nullptr, e.fits);
            if (vector == nullptr) continue;
            EXPECT_EQ(std::make_tuple(vector->Size(), vector->Push(kTiny)), std::make_tuple(40000, nullptr));  // full
        }
    }
    CXQOVAObject refused(&dictionary_, kSelf, 0xFFFF);
    EXPECT_EQ(std::make_tuple(small.Exhausted(), refused.MemberCount()), std::make_tuple(true, 0));
    EXPECT_LE(small.MostBytes(), 200000u);
}

}  // namespace
