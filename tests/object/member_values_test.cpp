// Values in and out of members: what each typed setter stores in each kind
// of member, what each conversion reads back, pointers and bits; what an
// array or UNBOUNDED member takes and refuses, how its buffer is reused, and
// how text members keep their terminator.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "support/objects.h"
#include "xqova/dictionary/dictionary.h"
#include "xqova/object/object.h"
#include "xqova/object/vector.h"

namespace {

using namespace test_objects;

constexpr std::uint32_t kAllTypes = 0x00400100;
constexpr std::uint32_t kPlain = 0x00400200;

enum : std::uint16_t {
    kInt8, kInt16, kTime, kInt32, kInt64, kAnsi, kWide, kUint8, kUint16, kUint32, kUint64, kFloat32, kFloat64,
    kBits16, kBitsU16, kBitsI64, kBytes, kFloats, kLongs, kTimes, kBitArray, kNested, kObjects, kBitTimes,
    kText, kUnbounded, kText32, kWideText, kWords, kEmpty, kBitTime, kSigned, kNone
};

class MemberValues : public ::testing::Test {
protected:
    MemberValues()
        : chain_({Build("CAllTypes", kAllTypes,
                        {M("Int8", 0x00), M("Int16", 0x01), M("Time", 0x02), M("Int32", 0x03), M("Int64", 0x07),
                         M("Ansi", 0x08), M("Wide", 0x09), M("Uint8", 0x10), M("Uint16", 0x11), M("Uint32", 0x13),
                         M("Uint64", 0x17), M("Float32", 0x23), M("Float64", 0x27), M("Bits16", 0x29),
                         M("BitsU16", 0x39), M("BitsI64", 0x2F), FixedArray("Bytes", 0x10, 16),
                         FixedArray("Floats", 0x23, 3), FixedArray("Longs", 0x13, 4), FixedArray("Times", 0x02, 2),
                         FixedArray("BitArray", 0x38, 2), Nested("Nested", kPlain), VectorOf("Objects", kPlain, 0),
                         FixedArray("BitTimes", 0x2A, 1), M("Text", 0x48), M("Unbounded", 0x50),
                         FixedArray("Text32", 0x08, 32), M("WideText", 0x49), M("Words", 0x51),
                         FixedArray("Empty", 0x10, 0), M("BitTime", 0x2A),
                         M("Signed", 0x40)}),
                  Build("CPlain", kPlain, {M("Value", 0x11)})}),
          dictionary_(chain_.Head()),
          o_(&dictionary_, kAllTypes, 0xFFFF) {}

    // All 64 bits of a BITMASK member.
    std::uint64_t Bits64(std::uint16_t id) {
        std::uint64_t v = 0;
        for (std::uint16_t k = 0; k < 64; ++k) v |= static_cast<std::uint64_t>(o_.Member(id).GetBit(k)) << k;
        return v;
    }

    std::string Buffer(std::uint16_t id, std::size_t bytes) {
        const char* p = static_cast<const char*>(static_cast<void*>(o_.Member(id)));
        return p == nullptr ? std::string("(null)") : std::string(p, bytes);
    }

    Chain chain_;
    CXQOVADictionary dictionary_;
    CXQOVAObject o_;
};

using Setter = std::uint8_t (*)(CXQOVAObject&, std::uint16_t);

TEST_F(MemberValues, SettersConvertTowardZeroAndWrapToTheMemberWidth) {
    // `expected` is read back as int32 for signed members, uint32 for unsigned, double for floats.
    struct Case { const char* what; std::uint16_t id; Setter set; double expected; };
    const Case cases[] = {
        {"int32 -1 into uint16", kUint16, [](CXQOVAObject& o, std::uint16_t i) { return o.SetMember(i, std::int32_t{-1}); }, 0xFFFF},
        {"double 3.9 into int32", kInt32, [](CXQOVAObject& o, std::uint16_t i) { return o.SetMember(i, 3.9); }, 3},
        {"double -3.9 into int32", kInt32, [](CXQOVAObject& o, std::uint16_t i) { return o.SetMember(i, -3.9); }, -3},
        {"double 300 into uint8", kUint8, [](CXQOVAObject& o, std::uint16_t i) { return o.SetMember(i, 300.0); }, 44},
        {"double -1 into uint8", kUint8, [](CXQOVAObject& o, std::uint16_t i) { return o.SetMember(i, -1.0); }, 255},
        {"double 2^31 into int32", kInt32, [](CXQOVAObject& o, std::uint16_t i) { return o.SetMember(i, 2147483648.0); }, -2147483648.0},
        {"double -2^31-1 into int32", kInt32, [](CXQOVAObject& o, std::uint16_t i) { return o.SetMember(i, -2147483649.0); }, -2147483648.0},
        {"double 2^63 into uint32", kUint32, [](CXQOVAObject& o, std::uint16_t i) { return o.SetMember(i, 9223372036854775808.0); }, 0},
        {"double 1e10 into uint32", kUint32, [](CXQOVAObject& o, std::uint16_t i) { return o.SetMember(i, 1e10); }, 1410065408.0},
        {"uint32 max into float64", kFloat64, [](CXQOVAObject& o, std::uint16_t i) { return o.SetMember(i, 0xFFFFFFFFu); }, 4294967295.0},
        {"int32 -1 into float64", kFloat64, [](CXQOVAObject& o, std::uint16_t i) { return o.SetMember(i, -1); }, -1.0},
        {"float into float32", kFloat32, [](CXQOVAObject& o, std::uint16_t i) { return o.SetMember(i, 1.5f); }, 1.5},
        {"char 0x61 into ansichar", kAnsi, [](CXQOVAObject& o, std::uint16_t i) { return o.SetMember(i, 'a'); }, 0x61},
        {"char is sign-extended", kUint16, [](CXQOVAObject& o, std::uint16_t i) { return o.SetMember(i, static_cast<char>(0xE9)); }, 0xFFE9},
        {"unsigned char is not", kUint16, [](CXQOVAObject& o, std::uint16_t i) { return o.SetMember(i, static_cast<unsigned char>(0xE9)); }, 0xE9},
        {"short -2 into uint32", kUint32, [](CXQOVAObject& o, std::uint16_t i) { return o.SetMember(i, static_cast<short>(-2)); }, 4294967294.0},
        {"unsigned short into int8", kInt8, [](CXQOVAObject& o, std::uint16_t i) { return o.SetMember(i, static_cast<unsigned short>(0x1FF)); }, -1},
        {"long -1: the signed form", kInt32, [](CXQOVAObject& o, std::uint16_t i) { return o.SetMember(i, -1L); }, -1},
        {"unsigned long long: the unsigned form", kUint32, [](CXQOVAObject& o, std::uint16_t i) { return o.SetMember(i, 0x100000005ULL); }, 5},
        {"int literal into uint16", kUint16, [](CXQOVAObject& o, std::uint16_t i) { return o.SetMember(i, 70000); }, 4464},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        o_.Reset(1);
        ASSERT_EQ(c.set(o_, c.id), 1);
        CXQOVAData_u& m = o_.Member(c.id);
        const std::uint8_t type = m.Type();
        const double back = (type & 0x28) == 0x20 ? static_cast<double>(m)
                            : (type & 0x10)      ? static_cast<double>(static_cast<std::uint32_t>(m))
                                                 : static_cast<double>(static_cast<std::int32_t>(m));
        EXPECT_EQ(back, c.expected);
    }
    // Eight-byte integers keep their upper half zero; every setter clears all
    // eight bytes first.
    ASSERT_EQ(o_.Member(kBitsI64).SetBit(63, 1), 1);
    ASSERT_EQ(o_.SetMember(kBitsI64, std::int32_t{-1}), 1);
    EXPECT_EQ(Bits64(kBitsI64), 0x00000000FFFFFFFFull);

    // What is not a numeric scalar takes no number; TIME only a time (which
    // the conversion test reads back).
    for (std::uint16_t id : {kTime, kBytes, kNested, kObjects, kNone}) {
        EXPECT_EQ(std::make_tuple(o_.SetMember(id, 1), o_.SetMember(id, 1.0)), std::make_tuple(0, 0)) << id;
    }
    EXPECT_EQ(o_.SetMember(kUint32, QOVA_TIME{2024, 2, 29, 23, 59, 58, 7}), 0);
}

TEST_F(MemberValues, ConversionsFollowTheMemberKind) {
    struct Case {
        const char* what;
        std::uint16_t id;
        double stored;  // through SetMember(double) for floats, else as uint32 bits
        std::int32_t asInt32; std::uint32_t asUint32; double asDouble;
        signed char asSignedChar; unsigned char asUnsignedChar; short asShort; unsigned short asUnsignedShort;
    };
    const Case cases[] = {
        {"int16 0xFFFE", kInt16, 0xFFFE, -2, 65534, -2.0, -2, 0xFE, -2, 0xFFFE},
        {"uint16 0xFFFE", kUint16, 0xFFFE, 65534, 65534, 65534.0, -2, 0xFE, -2, 0xFFFE},
        {"int8 0xFF", kInt8, 0xFF, -1, 255, -1.0, -1, 0xFF, -1, 0xFF},
        {"float32 -1.5", kFloat32, -1.5, -1, 0xFFFFFFFFu, -1.5, -1, 0xFF, -1, 0xFFFF},
        {"float64 3e9", kFloat64, 3e9, INT32_MIN, 3000000000u, 3e9, 0, 0x00, 0, 0x5E00},
        {"int64 0xFFFFFFFF", kInt64, 4294967295.0, -1, 0xFFFFFFFFu, -1.0, -1, 0xFF, -1, 0xFFFF},
        {"uint64 0xFFFFFFFF", kUint64, 4294967295.0, -1, 0xFFFFFFFFu, 4294967295.0, -1, 0xFF, -1, 0xFFFF},
        {"signed BITMASK 0x8001", kBits16, 0x8001, -32767, 0x8001, -32767.0, 1, 0x01, -32767, 0x8001},
        {"widechar 0x263A", kWide, 0x263A, 0x263A, 0x263A, 9786.0, 0x3A, 0x3A, 0x263A, 0x263A},
        // No convertible scalar: a TIME, an array, an object, no member.
        {"TIME", kTime, 0, 0, 0, 0.0, 0, 0, 0, 0},
        {"array", kBytes, 0, 0, 0, 0.0, 0, 0, 0, 0},
        {"object", kNested, 0, 0, 0, 0.0, 0, 0, 0, 0},
        {"sentinel", kNone, 0, 0, 0, 0.0, 0, 0, 0, 0},
    };
    const QOVA_TIME t{1999, 12, 31, 23, 59, 59, 99};
    ASSERT_EQ(o_.SetMember(kTime, t), 1);
    ASSERT_EQ(o_.SetMember(kBytes, reinterpret_cast<const unsigned char*>("\x05\x06"), 2), 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if ((o_.GetMemberType(c.id) & 0x28) == 0x20) {
            ASSERT_EQ(o_.SetMember(c.id, c.stored), 1);
        } else if (c.stored != 0) {
            ASSERT_EQ(o_.SetMember(c.id, static_cast<std::uint32_t>(c.stored)), 1);
        }
        CXQOVAData_u& m = o_(c.id);
        // Other integral types (the last two) follow the signedness of the target.
        EXPECT_EQ(std::make_tuple(static_cast<std::int32_t>(m), static_cast<std::uint32_t>(m), static_cast<double>(m),
                                  static_cast<float>(m), static_cast<signed char>(m), static_cast<unsigned char>(m),
                                  static_cast<char>(m), static_cast<short>(m), static_cast<unsigned short>(m),
                                  static_cast<long long>(m), static_cast<unsigned long>(m)),
                  std::make_tuple(c.asInt32, c.asUint32, c.asDouble, static_cast<float>(c.asDouble), c.asSignedChar,
                                  c.asUnsignedChar, static_cast<char>(c.asUnsignedChar), c.asShort, c.asUnsignedShort,
                                  static_cast<long long>(c.asInt32), static_cast<unsigned long>(c.asUint32)));
    }
    const QOVA_TIME back = o_.Member(kTime), none = o_.Member(kUint32);
    EXPECT_EQ(std::make_tuple(std::memcmp(&back, &t, sizeof t), none.year + none.month + none.fraction), std::make_tuple(0, 0));
}

TEST_F(MemberValues, AssignmentPointersAndBits) {
    o_.Member(kUint8) = 300;
    o_.Member(kFloat32) = 300;
    o_.Member(kFloat64) = 0xFFFFFFFFu;  // whole in a double, not in a float
    o_.Member(kBitsI64) = 0xFFFFFFFFu;
    o_.Member(kBytes) = 5;  // arrays and the sentinel are left alone
    EXPECT_EQ(std::make_tuple(static_cast<std::uint32_t>(o_.Member(kUint8)), static_cast<double>(o_.Member(kFloat32)),
                              static_cast<double>(o_.Member(kFloat64)), Bits64(kBitsI64), static_cast<unsigned char*>(o_.Member(kBytes))[0]),
              std::make_tuple(44u, 300.0, 4294967295.0, 0xFFFFFFFFull, std::uint8_t{0}));

    // Each pointer conversion gives only the buffer of its own kind: bytes
    // (int8 growing arrays too), floats, longs, times, an object, a vector; a
    // scalar and the sentinel have none.
    ASSERT_EQ(o_.Member(kSigned).Set(reinterpret_cast<const signed char*>("\x01\xFF"), 2), 1);
    const std::pair<std::uint16_t, char> cases[] = {{kBytes, 'b'},  {kSigned, 'b'},   {kFloats, 'f'},
                                                    {kLongs, 'l'},  {kTimes, 't'},    {kNested, 'o'},
                                                    {kObjects, 'v'}, {kUint32, '-'},  {kNone, '-'}};
    for (const auto& [id, kind] : cases) {
        SCOPED_TRACE(id);
        CXQOVAData_u& m = o_.Member(id);
        // Which conversions give a buffer; short and double pointers never do.
        EXPECT_EQ(std::make_tuple(static_cast<unsigned char*>(m) != nullptr, static_cast<char*>(m) != nullptr,
                                  static_cast<signed char*>(m) != nullptr, static_cast<std::uint32_t*>(m) != nullptr,
                                  static_cast<std::int32_t*>(m) != nullptr, static_cast<float*>(m) != nullptr,
                                  static_cast<QOVA_TIME*>(m) != nullptr, static_cast<CXQOVAObject*>(m) != nullptr,
                                  static_cast<CXQOVAVector*>(m) != nullptr, static_cast<void*>(m) != nullptr,
                                  static_cast<short*>(m) != nullptr || static_cast<double*>(m) != nullptr),
                  std::make_tuple(kind == 'b', kind == 'b', kind == 'b', kind == 'l', kind == 'l', kind == 'f', kind == 't',
                                  kind == 'o', kind == 'v', kind != '-', false));
    }

    // Bits of BITMASK members.
    ASSERT_EQ(o_.SetMember(kBitsU16, 0x0005u), 1);
    CXQOVAData_u& bits = o_.Member(kBitsU16);
    EXPECT_EQ(Bits64(kBitsU16), 0x5u);  // nothing beyond the member's 16 bits
    // The value passed comes back; outside the member nothing is written.
    EXPECT_EQ(std::make_tuple(bits.SetBit(15, 1), bits.SetBit(0, 0), bits.SetBit(3, 7), bits.SetBit(16, 1)), std::make_tuple(1, 0, 7, 0));
    EXPECT_EQ(static_cast<std::uint32_t>(bits), 0x800Cu);

    // An array's bits run through its buffer, element after element.
    // A BITMASK TIME array has eight bytes per element.
    CXQOVAData_u &array = o_.Member(kBitArray), &times = o_.Member(kBitTimes);
    EXPECT_EQ(std::make_tuple(array.SetBit(9, 1), array.SetBit(16, 1), times.SetBit(63, 1), times.SetBit(64, 1)),
              std::make_tuple(1, 0, 1, 0));
    EXPECT_EQ(std::make_tuple(static_cast<unsigned char*>(array)[1], static_cast<QOVA_TIME*>(times)->fraction, times.GetBit(63)),
              std::make_tuple(0x02, 0x80, 1));

    // Members that are not BITMASK have no bits.
    ASSERT_EQ(o_.SetMember(kUint16, 0xFFFFu), 1);
    // Nor has a BITMASK TIME scalar: only arrays of it hold bits.
    EXPECT_EQ(std::make_tuple(o_.Member(kUint16).GetBit(0), o_.Member(kUint16).SetBit(0, 0), o_.Member(kNone).SetBit(0, 1),
                              o_.Member(kNone).GetBit(0), o_.Member(kBitTime).SetBit(9, 1), o_.Member(kBitTime).GetBit(9)),
              std::make_tuple(0, 0, 0, 0, 0, 0));
    EXPECT_EQ(static_cast<std::uint32_t>(o_.Member(kUint16)), 0xFFFFu);
}

const unsigned char kSeventeen[17] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17};

// Fixed arrays take up to their count and zero the rest; text keeps its terminator.
TEST_F(MemberValues, FixedArraysAndTextKeepTheirBounds) {
    EXPECT_EQ(Buffer(kBytes, 16), std::string(16, '\0'));
    ASSERT_EQ(o_.Member(kBytes).Set(kSeventeen, 16), 1);
    const std::string full = Buffer(kBytes, 16);
    const std::int32_t longs[4] = {1, 2, 3, 4};
    // Too many; another width: refused before anything changed.
    EXPECT_EQ(std::make_tuple(o_.Member(kBytes).Set(kSeventeen, 17), o_.SetMember(kBytes, longs, 4)), std::make_tuple(0, 0));
    EXPECT_EQ(Buffer(kBytes, 16), full);

    ASSERT_EQ(o_.SetMember(kBytes, kSeventeen, 4), 1);
    EXPECT_EQ(std::make_tuple(Buffer(kBytes, 16), o_.GetMemberNumElements(kBytes)),
              std::make_tuple(std::string("\x01\x02\x03\x04", 4) + std::string(12, '\0'), 16));

    const float floats[3] = {1.5f, -2.0f, 3.25f};
    const double doubles[3] = {1.5, -2.0, 3.25};
    const QOVA_TIME times[2] = {{2020, 1, 2, 3, 4, 5, 6}, {2021, 7, 8, 9, 10, 11, 12}};
    EXPECT_EQ(std::make_tuple(o_.SetMember(kFloats, doubles, 3), o_.SetMember(kFloats, reinterpret_cast<const std::uint32_t*>(floats), 3)),
              std::make_tuple(0, 0));  // another width; not floating
    ASSERT_EQ(o_.SetMember(kFloats, floats, 3), 1);
    CXQOVAData_u& member = o_.Member(kFloats);  // the accessor's own forms check the same
    EXPECT_EQ(std::make_tuple(member.Set(doubles, 3), member.Set(reinterpret_cast<const std::int32_t*>(floats), 3),
                              member.Set(floats, 3), o_.Member(kTimes).Set(times, 2),
                              o_.Member(kLongs).Set(reinterpret_cast<const std::uint32_t*>(floats), 3),
                              o_.Member(kBytes).Set(reinterpret_cast<const signed char*>(kSeventeen), 16),
                              o_.Member(kWords).Set(static_cast<const short*>(nullptr), 2),
                              o_.Member(kWideText).Set(static_cast<const unsigned short*>(nullptr), 0)),
              std::make_tuple(0, 0, 1, 1, 1, 1, 1, 1));
    EXPECT_EQ(static_cast<float*>(o_.Member(kFloats))[2], 3.25f);
    ASSERT_EQ(o_.SetMemberAt(kTimes, times, 2), 1);
    EXPECT_EQ(std::memcmp(static_cast<QOVA_TIME*>(o_.Member(kTimes)), times, sizeof times), 0);

    // A fixed array of no elements, a scalar and the accessor that stands for
    // no member take no array; a fixed array takes no data of no elements.
    EXPECT_EQ(std::make_tuple(o_.SetMember(kEmpty, kSeventeen, 1), o_.SetMember(kEmpty, static_cast<const unsigned char*>(nullptr), 0),
                              o_.Member(kEmpty).Set(static_cast<const unsigned char*>(nullptr), 0), o_.Member(kUint8).Set(kSeventeen, 1),
                              o_.Member(kBytes).Set(kSeventeen, 0), o_.Member(0xFFFF).Set("abc", 3), o_.Member(0xFFFF).Set(kSeventeen, 3),
                              o_.SetMemberAt(100, "abc", 3), o_.Member(0xFFFF).Elements()),
              std::make_tuple(0, 0, 0, 0, 0, 0, 0, 0, 0));

    const std::string forty(40, 'x');
    // A fixed text array keeps room for the terminator.
    ASSERT_EQ(o_.SetMember(kText32, "old", 3), 1);
    EXPECT_EQ(std::make_tuple(o_.SetMember(kText32, forty.c_str(), 40), o_.SetMember(kText32, forty.c_str(), 32)), std::make_tuple(0, 0));
    EXPECT_EQ(Buffer(kText32, 4), std::string("old\0", 4));
    ASSERT_TRUE(o_.SetMember(kText32, forty.c_str(), 31) == 1 && o_.SetMember(kText32, "", 0) == 1);
    EXPECT_EQ(Buffer(kText32, 32), std::string(32, '\0'));

    // An UNBOUNDED text counts its terminator in its buffer, not in Elements.
    CXQOVAData_u& text = o_.Member(kText);
    EXPECT_EQ(Buffer(kText, 0), "(null)");
    ASSERT_EQ(o_.SetMember(kText, "abc", 3), 1);
    EXPECT_EQ(std::make_tuple(o_.GetMemberNumElements(kText), Buffer(kText, 4)), std::make_tuple(3, std::string("abc\0", 4)));
    ASSERT_EQ(text.Set("", 0), 1);  // the empty text: a zero character and the terminator
    EXPECT_EQ(std::make_tuple(text.Elements(), Buffer(kText, 2)), std::make_tuple(1, std::string(2, '\0')));
    ASSERT_EQ(text.Set(static_cast<const char*>(nullptr), 0), 1);
    EXPECT_EQ(std::make_tuple(text.Elements(), o_.SetMember(kText, 'a')), std::make_tuple(0, 0));  // no scalar into it

    // Reset after text leaves only the terminator.
    ASSERT_EQ(text.Set("xyz", 3), 1);
    o_.Reset(1);
    EXPECT_EQ(std::make_tuple(text.Elements(), Buffer(kText, 1)), std::make_tuple(0, std::string(1, '\0')));

    const unsigned short ab[2] = {'A', 'B'};
    ASSERT_EQ(o_.SetMember(kWideText, ab, 2), 1);
    EXPECT_EQ(static_cast<unsigned short*>(o_.Member(kWideText))[2], 0);
    ASSERT_EQ(o_.SetMember(kWideText, ab, 0), 1);
    EXPECT_EQ(o_.GetMemberNumElements(kWideText), 1);
}

TEST_F(MemberValues, UnboundedBuffersAreReusedAndKeptWithinSixteenBits) {
    ASSERT_EQ(o_.SetMember(kUnbounded, kSeventeen, 10), 1);
    const void* before = o_.Member(kUnbounded);
    ASSERT_EQ(o_.SetMember(kUnbounded, kSeventeen + 10, 4), 1);
    EXPECT_EQ(std::make_tuple(static_cast<void*>(o_.Member(kUnbounded)), o_.GetMemberNumElements(kUnbounded), Buffer(kUnbounded, 10)),
              std::make_tuple(before, 4, std::string("\x0B\x0C\x0D\x0E", 4) + std::string(6, '\0')));

    // Non-null with count 0 frees the buffer and fails; null with 0 empties;
    // null with a count gives zero elements.
    EXPECT_TRUE(o_.SetMember(kUnbounded, kSeventeen, 0) == 0 && Buffer(kUnbounded, 0) == "(null)");
    const std::uint16_t words[3] = {1, 2, 3};
    ASSERT_TRUE(o_.SetMember(kWords, words, 3) == 1 && o_.SetMember(kWords, static_cast<const std::uint16_t*>(nullptr), 0) == 1);
    EXPECT_EQ(o_.GetMemberNumElements(kWords), 0);
    ASSERT_EQ(o_.SetMember(kWords, static_cast<const std::uint16_t*>(nullptr), 2), 1);
    EXPECT_EQ(Buffer(kWords, 4), std::string(4, '\0'));

    // More than 65,535 bytes, the terminator included, is refused and
    // changes nothing.
    ASSERT_EQ(o_.SetMember(kWideText, words, 2), 1);
    const std::vector<unsigned short> huge(40000, 'z');
    EXPECT_EQ(std::make_tuple(o_.SetMember(kWideText, huge.data(), 40000), o_.GetMemberNumElements(kWideText)), std::make_tuple(0, 2));
    const std::string bytes(65535, 'q');
    EXPECT_EQ(std::make_tuple(o_.SetMember(kText, bytes.c_str(), 65535), o_.SetMember(kText, bytes.c_str(), 65534)), std::make_tuple(0, 1));

    // Out of memory: the member is left empty.
    AllocationFailureGuard guard;
    xqova::testing::FailAllocationsAfter(0);
    EXPECT_EQ(o_.SetMember(kUnbounded, kSeventeen, 6), 0);
    xqova::testing::FailAllocationsAfter(-1);
    EXPECT_EQ(Buffer(kUnbounded, 0), "(null)");
}

}  // namespace
