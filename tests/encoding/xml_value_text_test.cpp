// The value text of every member kind in both encodings, and what the 8-bit
// size counts for it.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <limits>

#include "encoding/xml_test_support.h"

namespace {

using namespace xml_test;

const char* const kNames[] = {"I8",     "I16",      "I32",   "I64",       "U32",      "U64",      "F32",
                              "F64",    "Time",     "Ansi",  "Wide",      "Bits",     "I8Bits",   "AnsiFixed",
                              "AnsiText", "WideText", "F64s", "F32List", "I16List", "U32Pair", "I64Pair", "Times"};
const std::uint8_t kTypes[] = {0x00, 0x01, 0x03, 0x07, 0x13, 0x17, 0x23, 0x27, 0x02, 0x08, 0x09,
                               0x39, 0x28, 0x88, 0x48, 0x49, 0xA7, 0x63, 0x41, 0x93, 0x87, 0x82};
const std::uint16_t kCounts[] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 8, 0, 0, 3, 0, 0, 2, 2, 2};
enum : std::uint16_t { I8, I16, I32, I64, U32, U64, F32, F64, Time, Ansi, Wide, Bits, I8Bits, AnsiFixed,
                       AnsiText, WideText, F64s, F32List, I16List, U32Pair, I64Pair, Times };

CXQOVADictionary& Values() {
    static Chain chain([] {
        std::vector<xqova::build::Member> members;
        for (int i = 0; i < 22; ++i) {
            members.push_back(M(kNames[i], kTypes[i]));
            members.back().fixedCount = kCounts[i];
        }
        return Build(Class("CValues", 0x00440000, members));
    }());
    static CXQOVADictionary dictionary(chain.Head());
    return dictionary;
}

// The CDATA content of the member named `name`.
std::string ValueText(const std::string& document, const char* name) {
    const std::size_t at = document.find("name=\"" + std::string(name) + "\"");
    const std::size_t from = document.find("<![CDATA[", at);
    const std::size_t to = document.find("]]>", from);
    return at == std::string::npos || to == std::string::npos ? "?" : document.substr(from + 9, to - from - 9);
}

using Setter = std::function<void(CXQOVAObject&)>;
template <class T>
Setter Set(std::uint16_t id, T v) {
    return [=](CXQOVAObject& o) { EXPECT_EQ(o.SetMember(id, v), 1); };
}
template <class T>
Setter SetAll(std::uint16_t id, std::vector<T> v) {
    return [=](CXQOVAObject& o) { EXPECT_EQ(o.SetMember(id, v.data(), static_cast<std::uint16_t>(v.size())), 1); };
}
Setter SetText(std::uint16_t id, std::string t) {
    return [=](CXQOVAObject& o) { o.SetMember(id, t.c_str(), static_cast<std::uint16_t>(t.size())); };
}
// Straight into the member's buffer: 64-bit elements, text without terminator.
Setter Fill(std::uint16_t id, std::string bytes) {
    return [=](CXQOVAObject& o) { std::memcpy(static_cast<void*>(o.Member(id)), bytes.data(), bytes.size()); };
}

TEST(XmlValueText, EveryMemberKindInBothEncodings) {
    const QOVA_TIME t1{2024, 3, 5, 6, 7, 8, 9}, t2{12345, 200, 5, 6, 7, 8, 9};
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    std::int64_t pair[] = {-1, (std::int64_t{1} << 32) + 7};
    struct Row {
        std::uint16_t id;
        Setter set;
        std::string text8, text16;  // the UTF-16 text as UTF-8
        std::uint32_t uncounted;    // counted by the size beyond the 8-bit text
    } const rows[] = {
        {I8, Set(I8, static_cast<signed char>(-1)), "-1", "-1", 0},
        {I8, Set(I8, std::int32_t{300}), "44", "44", 0},
        {I16, Set(I16, static_cast<short>(-32768)), "-32768", "-32768", 0},
        {I32, Set(I32, std::numeric_limits<std::int32_t>::min()), "-2147483648", "-2147483648", 0},
        {I64, Set(I64, std::int32_t{-1}), "-1", "-1", 0},
        {U32, Set(U32, std::uint32_t{0}), "0", "0", 0},
        {U64, Set(U64, std::uint32_t{4294967295u}), "4294967295", "4294967295", 0},
        {F32, Set(F32, 1.5f), "+1.500000000E+000", "+1.500000000E+000", 0},
        {F32, Set(F32, -0.0f), "-0.000000000E+000", "-0.000000000E+000", 0},
        {F32, Set(F32, 1e-40f), "+9.999946101E-041", "+9.999946101E-041", 0},
        {F32, Set(F32, inf), "+INF", "+INF", 13},
        {F32, Set(F32, -nan), "-NAN", "-NAN", 13},
        {F64, Set(F64, 0.0), "+0.0000000000000000E+000", "+0.0000000000000000E+000", 0},
        {F64, Set(F64, 1e300), "+1.0000000000000001E+300", "+1.0000000000000001E+300", 0},
        {F64, Set(F64, 5e-324), "+4.9406564584124654E-324", "+4.9406564584124654E-324", 0},
        {F64, Set(F64, -2.5e-300), "-2.5000000000000000E-300", "-2.5000000000000000E-300", 0},
        {F64, Set(F64, -static_cast<double>(inf)), "-INF", "-INF", 20},
        {Time, Set(Time, t1), "2024/03/05 06:07:08 09", "2024/03/05 06:07:08 09", 0},
        {Time, Set(Time, t2), "12345/200/05 06:07:08 09", "12345/200/05 06:07:08 09", 0},
        {Ansi, Set(Ansi, 'A'), "A", "A", 0},
        {Ansi, Set(Ansi, static_cast<char>(0xE9)), "\xE9", "", 0},  // one byte, no UTF-8 character
        {Wide, Set(Wide, static_cast<unsigned short>(0x263A)), "", "\xE2\x98\xBA", 0},
        {Bits, Set(Bits, static_cast<unsigned short>(0x8001)), "32769", "32769", 0},
        {I8Bits, Set(I8Bits, static_cast<signed char>(-128)), "-128", "-128", 0},
        {AnsiFixed, SetText(AnsiFixed, "abc"), "abc", "abc", 0},
        {AnsiFixed, Fill(AnsiFixed, "ABCDEFGH"), "ABCDEFGH", "ABCDEFGH", 0},
        {AnsiText, SetText(AnsiText, "h\xC3\xA9"), "h\xC3\xA9", "h\xC3\xA9", 0},
        {AnsiText, SetText(AnsiText, "h\xE9!"), "h\xE9!", "", 0},  // ill-formed: vanishes whole
        {WideText, SetAll<unsigned short>(WideText, {'A', 'B', 0x263A, 'C'}), "AB", "AB\xE2\x98\xBA" "C", 2},
        {F64s, SetAll<double>(F64s, {1, -2}),
         "+1.0000000000000000E+000;-2.0000000000000000E+000;+0.0000000000000000E+000;",
         "+1.0000000000000000E+000;-2.0000000000000000E+000;+0.0000000000000000E+000;", 0},
        {F32List, SetAll<float>(F32List, {1.5f}), "+1.500000000E+000;", "+1.500000000E+000;", 0},
        {I16List, SetAll<short>(I16List, {-1, 2}), "-1;2;", "-1;2;", 0},
        {I16List, [](CXQOVAObject&) {}, "", "", 0},
        {U32Pair, SetAll<std::uint32_t>(U32Pair, {0, 4294967295u}), "0;4294967295;", "0;4294967295;", 0},
        {I64Pair, Fill(I64Pair, std::string(reinterpret_cast<char*>(pair), sizeof pair)), "-1;7;", "-1;7;", 0},
        {Times, SetAll<QOVA_TIME>(Times, {t2}), "12345/200/05 06:07:08 09;0000/00/00 00:00:00 00;",
         "12345/200/05 06:07:08 09;0000/00/00 00:00:00 00;", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(kNames[row.id]) + " " + row.text8);
        CXQOVAObject object(&Values(), 0x00440000u, 0xFFFF);
        row.set(object);
        const auto w = Write8(object, 0xFFFF);
        EXPECT_EQ(ValueText(w.text, kNames[row.id]), row.text8);
        EXPECT_EQ(w.size - w.result, 2 + row.uncounted);  // the base counts five version digits
        const auto u = Write16(object, 0xFFFF);
        EXPECT_EQ(ValueText(ToUtf8(u.text), kNames[row.id]), row.text16);
        EXPECT_EQ(u.result, u.size);
        EXPECT_TRUE(w.guardIntact && u.guardIntact);
    }
}

}  // namespace
