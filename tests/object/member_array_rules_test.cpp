// Arrays and UNBOUNDED members: what a Set takes and refuses, how a buffer
// is reused, and how text members keep their terminator.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "support/objects.h"
#include "xqova/dictionary/dictionary.h"
#include "xqova/object/object.h"

namespace {

using namespace test_objects;

constexpr std::uint32_t kArrays = 0x00400300;
enum : std::uint16_t { kBytes16, kText, kBytes, kText32, kWideText, kFloats, kTimes, kWords, kNone };

class ArrayMembers : public ::testing::Test {
protected:
    ArrayMembers()
        : chain_({Build("CArrays", kArrays,
                        {FixedArray("Bytes16", 0x10, 16), M("Text", 0x48), M("Bytes", 0x50),
                         FixedArray("Text32", 0x08, 32), M("WideText", 0x49), FixedArray("Floats", 0x23, 3),
                         FixedArray("Times", 0x02, 2), M("Words", 0x51), FixedArray("None", 0x10, 0)})}),
          dictionary_(chain_.Head()),
          o_(&dictionary_, kArrays, 0xFFFF) {}

    std::string Buffer(std::uint16_t id, std::size_t bytes) {
        const char* p = static_cast<const char*>(static_cast<void*>(o_.Member(id)));
        return p == nullptr ? std::string("(null)") : std::string(p, bytes);
    }

    Chain chain_;
    CXQOVADictionary dictionary_;
    CXQOVAObject o_;
};

const unsigned char kSeventeen[17] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17};

TEST_F(ArrayMembers, FixedArraysTakeUpToTheirCountAndZeroTheRest) {
    EXPECT_EQ(Buffer(kBytes16, 16), std::string(16, '\0'));
    ASSERT_EQ(o_.Member(kBytes16).Set(kSeventeen, 16), 1);
    const std::string full = Buffer(kBytes16, 16);
    const std::int32_t longs[4] = {1, 2, 3, 4};
    EXPECT_EQ(o_.Member(kBytes16).Set(kSeventeen, 17), 0);  // too many
    EXPECT_EQ(o_.SetMember(kBytes16, longs, 4), 0);          // another width
    EXPECT_EQ(Buffer(kBytes16, 16), full);                   // refused before anything changed

    ASSERT_EQ(o_.SetMember(kBytes16, kSeventeen, 4), 1);
    EXPECT_EQ(Buffer(kBytes16, 16), std::string("\x01\x02\x03\x04", 4) + std::string(12, '\0'));
    EXPECT_EQ(o_.GetMemberNumElements(kBytes16), 16);

    const float floats[3] = {1.5f, -2.0f, 3.25f};
    const double doubles[3] = {1.5, -2.0, 3.25};
    EXPECT_EQ(o_.SetMember(kFloats, doubles, 3), 0);
    EXPECT_EQ(o_.SetMember(kFloats, reinterpret_cast<const std::uint32_t*>(floats), 3), 0);  // not floating
    ASSERT_EQ(o_.SetMember(kFloats, floats, 3), 1);
    EXPECT_EQ(static_cast<float*>(o_.Member(kFloats))[2], 3.25f);
    const QOVA_TIME times[2] = {{2020, 1, 2, 3, 4, 5, 6}, {2021, 7, 8, 9, 10, 11, 12}};
    ASSERT_EQ(o_.SetMemberAt(kTimes, times, 2), 1);
    EXPECT_EQ(std::memcmp(static_cast<QOVA_TIME*>(o_.Member(kTimes)), times, sizeof times), 0);

    // A fixed array of no elements, and the accessor that stands for no
    // member, take no array.
    EXPECT_EQ(o_.SetMember(kNone, kSeventeen, 1), 0);
    EXPECT_EQ(o_.SetMember(kNone, static_cast<const unsigned char*>(nullptr), 0), 0);
    EXPECT_EQ(o_.Member(0xFFFF).Set("abc", 3), 0);
    EXPECT_EQ(o_.Member(0xFFFF).Set(kSeventeen, 3), 0);
    EXPECT_EQ(o_.SetMemberAt(100, "abc", 3), 0);
    EXPECT_EQ(o_.Member(0xFFFF).Elements(), 0);
}

TEST_F(ArrayMembers, TextKeepsItsTerminator) {
    const std::string forty(40, 'x');
    // A fixed text array keeps room for the terminator.
    ASSERT_EQ(o_.SetMember(kText32, "old", 3), 1);
    EXPECT_EQ(o_.SetMember(kText32, forty.c_str(), 40), 0);
    EXPECT_EQ(o_.SetMember(kText32, forty.c_str(), 32), 0);
    EXPECT_EQ(Buffer(kText32, 4), std::string("old\0", 4));
    ASSERT_EQ(o_.SetMember(kText32, forty.c_str(), 31), 1);
    ASSERT_EQ(o_.SetMember(kText32, "", 0), 1);
    EXPECT_EQ(Buffer(kText32, 32), std::string(32, '\0'));

    // An UNBOUNDED text counts its terminator in its buffer, not in Elements.
    CXQOVAData_u& text = o_.Member(kText);
    EXPECT_EQ(Buffer(kText, 0), "(null)");
    ASSERT_EQ(o_.SetMember(kText, "abc", 3), 1);
    EXPECT_EQ(o_.GetMemberNumElements(kText), 3);
    EXPECT_EQ(Buffer(kText, 4), std::string("abc\0", 4));
    ASSERT_EQ(text.Set("", 0), 1);  // the empty text: a zero character and the terminator
    EXPECT_EQ(text.Elements(), 1);
    EXPECT_EQ(Buffer(kText, 2), std::string(2, '\0'));
    ASSERT_EQ(text.Set(static_cast<const char*>(nullptr), 0), 1);
    EXPECT_EQ(text.Elements(), 0);
    EXPECT_EQ(o_.SetMember(kText, 'a'), 0);  // no scalar into it

    // Reset after text leaves only the terminator.
    ASSERT_EQ(text.Set("xyz", 3), 1);
    o_.Reset(1);
    EXPECT_EQ(text.Elements(), 0);
    EXPECT_EQ(Buffer(kText, 1), std::string(1, '\0'));

    const unsigned short ab[2] = {'A', 'B'};
    ASSERT_EQ(o_.SetMember(kWideText, ab, 2), 1);
    EXPECT_EQ(static_cast<unsigned short*>(o_.Member(kWideText))[2], 0);
    ASSERT_EQ(o_.SetMember(kWideText, ab, 0), 1);
    EXPECT_EQ(o_.GetMemberNumElements(kWideText), 1);
}

TEST_F(ArrayMembers, UnboundedBuffersAreReusedAndKeptWithinSixteenBits) {
    ASSERT_EQ(o_.SetMember(kBytes, kSeventeen, 10), 1);
    const void* before = o_.Member(kBytes);
    ASSERT_EQ(o_.SetMember(kBytes, kSeventeen + 10, 4), 1);
    EXPECT_EQ(static_cast<void*>(o_.Member(kBytes)), before);
    EXPECT_EQ(o_.GetMemberNumElements(kBytes), 4);
    EXPECT_EQ(Buffer(kBytes, 10), std::string("\x0B\x0C\x0D\x0E", 4) + std::string(6, '\0'));

    // Non-null with count 0 frees the buffer and fails; null with 0 empties;
    // null with a count gives zero elements.
    EXPECT_EQ(o_.SetMember(kBytes, kSeventeen, 0), 0);
    EXPECT_EQ(Buffer(kBytes, 0), "(null)");
    const std::uint16_t words[3] = {1, 2, 3};
    ASSERT_EQ(o_.SetMember(kWords, words, 3), 1);
    ASSERT_EQ(o_.SetMember(kWords, static_cast<const std::uint16_t*>(nullptr), 0), 1);
    EXPECT_EQ(o_.GetMemberNumElements(kWords), 0);
    ASSERT_EQ(o_.SetMember(kWords, static_cast<const std::uint16_t*>(nullptr), 2), 1);
    EXPECT_EQ(Buffer(kWords, 4), std::string(4, '\0'));

    // More than 65,535 bytes, the terminator included, is refused and
    // changes nothing.
    ASSERT_EQ(o_.SetMember(kWideText, words, 2), 1);
    const std::vector<unsigned short> huge(40000, 'z');
    EXPECT_EQ(o_.SetMember(kWideText, huge.data(), 40000), 0);
    EXPECT_EQ(o_.GetMemberNumElements(kWideText), 2);
    const std::string bytes(65535, 'q');
    EXPECT_EQ(o_.SetMember(kText, bytes.c_str(), 65535), 0);
    ASSERT_EQ(o_.SetMember(kText, bytes.c_str(), 65534), 1);

    // Out of memory: the member is left empty.
    AllocationFailureGuard guard;
    xqova::testing::FailAllocationsAfter(0);
    EXPECT_EQ(o_.SetMember(kBytes, kSeventeen, 6), 0);
    xqova::testing::FailAllocationsAfter(-1);
    EXPECT_EQ(Buffer(kBytes, 0), "(null)");
}

}  // namespace
