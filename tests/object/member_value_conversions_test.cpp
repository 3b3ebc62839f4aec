// Scalar values in and out of members: what each typed setter stores in each
// kind of member, what each conversion reads back, pointers and bits.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

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
    kBits16, kBitsU16, kBitsI64, kBytes, kFloats, kLongs, kTimes, kBitArray, kNested, kObjects, kBitTimes, kNone
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
                         FixedArray("BitTimes", 0x2A, 1)}),
                  Build("CPlain", kPlain, {M("Value", 0x11)})}),
          dictionary_(chain_.Head()),
          o_(&dictionary_, kAllTypes, 0xFFFF) {}

    // All 64 bits of a BITMASK member.
    std::uint64_t Bits64(std::uint16_t id) {
        std::uint64_t v = 0;
        for (std::uint16_t k = 0; k < 64; ++k) v |= static_cast<std::uint64_t>(o_.Member(id).GetBit(k)) << k;
        return v;
    }

    Chain chain_;
    CXQOVADictionary dictionary_;
    CXQOVAObject o_;
};

using Setter = std::uint8_t (*)(CXQOVAObject&, std::uint16_t);

TEST_F(MemberValues, SettersConvertTowardZeroAndWrapToTheMemberWidth) {
    struct Case {
        const char* what;
        std::uint16_t id;
        Setter set;
        double expected;  // read back as int32 for signed members, uint32 for unsigned, double for floats
    };
    const Case cases[] = {
        {"int32 -1 into uint16", kUint16, [](CXQOVAObject& o, std::uint16_t i) { return o.SetMember(i, std::int32_t{-1}); }, 0xFFFF},
        {"double 3.9 into int32", kInt32, [](CXQOVAObject& o, std::uint16_t i) { return o.SetMember(i, 3.9); }, 3},
        {"double -3.9 into int32", kInt32, [](CXQOVAObject& o, std::uint16_t i) { return o.SetMember(i, -3.9); }, -3},
        {"double 300 into uint8", kUint8, [](CXQOVAObject& o, std::uint16_t i) { return o.SetMember(i, 300.0); }, 44},
        {"double -1 into uint8", kUint8, [](CXQOVAObject& o, std::uint16_t i) { return o.SetMember(i, -1.0); }, 255},
        {"double 1e10 into int32", kInt32, [](CXQOVAObject& o, std::uint16_t i) { return o.SetMember(i, 1e10); }, -2147483648.0},
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
        if ((type & 0x28) == 0x20) {
            EXPECT_EQ(static_cast<double>(m), c.expected);
        } else if (type & 0x10) {
            EXPECT_EQ(static_cast<std::uint32_t>(m), static_cast<std::uint32_t>(c.expected));
        } else {
            EXPECT_EQ(static_cast<std::int32_t>(m), static_cast<std::int32_t>(c.expected));
        }
    }
    // Eight-byte integers keep their upper half zero; every setter clears all
    // eight bytes first.
    ASSERT_EQ(o_.Member(kBitsI64).SetBit(63, 1), 1);
    ASSERT_EQ(o_.SetMember(kBitsI64, std::int32_t{-1}), 1);
    EXPECT_EQ(Bits64(kBitsI64), 0x00000000FFFFFFFFull);

    // What is not a numeric scalar takes no number; TIME only a time.
    for (std::uint16_t id : {kTime, kBytes, kNested, kObjects, kNone}) {
        EXPECT_EQ(o_.SetMember(id, 1), 0) << id;
        EXPECT_EQ(o_.SetMember(id, 1.0), 0) << id;
    }
    const QOVA_TIME t{2024, 2, 29, 23, 59, 58, 7};
    EXPECT_EQ(o_.SetMember(kUint32, t), 0);
    ASSERT_EQ(o_.SetMember(kTime, t), 1);
    const QOVA_TIME back = o_.Member(kTime);
    EXPECT_EQ(std::memcmp(&back, &t, sizeof t), 0);
}

TEST_F(MemberValues, ConversionsFollowTheMemberKind) {
    struct Case {
        const char* what;
        std::uint16_t id;
        double stored;  // through SetMember(double) for floats, else as uint32 bits
        std::int32_t asInt32;
        std::uint32_t asUint32;
        double asDouble;
        signed char asSignedChar;
        unsigned char asUnsignedChar;
        short asShort;
        unsigned short asUnsignedShort;
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
        EXPECT_EQ(static_cast<std::int32_t>(m), c.asInt32);
        EXPECT_EQ(static_cast<std::uint32_t>(m), c.asUint32);
        EXPECT_EQ(static_cast<double>(m), c.asDouble);
        EXPECT_EQ(static_cast<float>(m), static_cast<float>(c.asDouble));
        EXPECT_EQ(static_cast<signed char>(m), c.asSignedChar);
        EXPECT_EQ(static_cast<unsigned char>(m), c.asUnsignedChar);
        EXPECT_EQ(static_cast<char>(m), static_cast<char>(c.asUnsignedChar));
        EXPECT_EQ(static_cast<short>(m), c.asShort);
        EXPECT_EQ(static_cast<unsigned short>(m), c.asUnsignedShort);
        // Other integral types follow the signedness of the target.
        EXPECT_EQ(static_cast<long long>(m), static_cast<long long>(c.asInt32));
        EXPECT_EQ(static_cast<unsigned long>(m), static_cast<unsigned long>(c.asUint32));
    }
    const QOVA_TIME back = o_.Member(kTime);
    EXPECT_EQ(std::memcmp(&back, &t, sizeof t), 0);
    const QOVA_TIME none = o_.Member(kUint32);
    EXPECT_EQ(none.year + none.month + none.fraction, 0);
}

TEST_F(MemberValues, AssignmentAndPointers) {
    o_.Member(kUint8) = 300;
    EXPECT_EQ(static_cast<std::uint32_t>(o_.Member(kUint8)), 44u);
    o_.Member(kFloat32) = 300;
    EXPECT_EQ(static_cast<double>(o_.Member(kFloat32)), 300.0);
    o_.Member(kBitsI64) = 0xFFFFFFFFu;
    EXPECT_EQ(Bits64(kBitsI64), 0xFFFFFFFFull);
    o_.Member(kBytes) = 5;  // arrays and the sentinel are left alone
    EXPECT_EQ(static_cast<unsigned char*>(o_.Member(kBytes))[0], 0);

    auto ptr = [&](std::uint16_t id) -> CXQOVAData_u& { return o_.Member(id); };
    struct Case {
        std::uint16_t id;
        bool bytes, shorts, longs, floats, doubles, times, object, vector;
    };
    const Case cases[] = {
        {kBytes, true, false, false, false, false, false, false, false},
        {kFloats, false, false, false, true, false, false, false, false},
        {kLongs, false, false, true, false, false, false, false, false},
        {kTimes, false, false, false, false, false, true, false, false},
        {kNested, false, false, false, false, false, false, true, false},
        {kObjects, false, false, false, false, false, false, false, true},
        {kUint32, false, false, false, false, false, false, false, false},
        {kNone, false, false, false, false, false, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        CXQOVAData_u& m = ptr(c.id);
        EXPECT_EQ(static_cast<unsigned char*>(m) != nullptr, c.bytes);
        EXPECT_EQ(static_cast<char*>(m) != nullptr, c.bytes);
        EXPECT_EQ(static_cast<short*>(m) != nullptr, c.shorts);
        EXPECT_EQ(static_cast<std::uint32_t*>(m) != nullptr, c.longs);
        EXPECT_EQ(static_cast<float*>(m) != nullptr, c.floats);
        EXPECT_EQ(static_cast<double*>(m) != nullptr, c.doubles);
        EXPECT_EQ(static_cast<QOVA_TIME*>(m) != nullptr, c.times);
        EXPECT_EQ(static_cast<CXQOVAObject*>(m) != nullptr, c.object);
        EXPECT_EQ(static_cast<CXQOVAVector*>(m) != nullptr, c.vector);
        EXPECT_EQ(static_cast<void*>(m) != nullptr, c.id != kUint32 && c.id != kNone);
    }
}

TEST_F(MemberValues, BitsOfBitmaskMembers) {
    ASSERT_EQ(o_.SetMember(kBitsU16, 0x0005u), 1);
    CXQOVAData_u& bits = o_.Member(kBitsU16);
    EXPECT_EQ(Bits64(kBitsU16), 0x5u);  // nothing beyond the member's 16 bits
    EXPECT_EQ(bits.SetBit(15, 1), 1);
    EXPECT_EQ(static_cast<std::uint32_t>(bits), 0x8005u);
    EXPECT_EQ(bits.SetBit(0, 0), 0);
    EXPECT_EQ(bits.SetBit(3, 7), 7);  // the value passed comes back
    EXPECT_EQ(bits.SetBit(16, 1), 0);  // outside the member: nothing written
    EXPECT_EQ(static_cast<std::uint32_t>(bits), 0x800Cu);

    // An array's bits run through its buffer, element after element.
    CXQOVAData_u& array = o_.Member(kBitArray);
    EXPECT_EQ(array.SetBit(9, 1), 1);
    EXPECT_EQ(static_cast<unsigned char*>(array)[1], 0x02);
    EXPECT_EQ(array.SetBit(16, 1), 0);

    // A BITMASK TIME array has eight bytes per element.
    CXQOVAData_u& times = o_.Member(kBitTimes);
    EXPECT_EQ(times.SetBit(63, 1), 1);
    EXPECT_EQ(static_cast<QOVA_TIME*>(times)->fraction, 0x80);
    EXPECT_EQ(times.GetBit(63), 1);
    EXPECT_EQ(times.SetBit(64, 1), 0);

    // Members that are not BITMASK have no bits.
    ASSERT_EQ(o_.SetMember(kUint16, 0xFFFFu), 1);
    EXPECT_EQ(o_.Member(kUint16).GetBit(0), 0);
    EXPECT_EQ(o_.Member(kUint16).SetBit(0, 0), 0);
    EXPECT_EQ(static_cast<std::uint32_t>(o_.Member(kUint16)), 0xFFFFu);
    EXPECT_EQ(o_.Member(kNone).SetBit(0, 1), 0);
}

}  // namespace
