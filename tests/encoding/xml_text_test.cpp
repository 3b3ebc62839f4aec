// The texts of the XML documents: numbers and times against the C library's
// formatting, which they replace (the same characters for every value); the
// value text of every member kind in both encodings, with what the 8-bit size
// counts for it; and the strict UTF-8 to UTF-16 conversion.
#include <gtest/gtest.h>

#include <cfloat>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "encoding/xml_test_support.h"
#include "xqova/encoding/utf16.h"
#include "xqova/encoding/xml_text.h"

namespace {

using namespace xml_test;
using namespace xqova::xml;

// The float text as printf gives it, its exponent rewritten with exactly
// three digits.
std::string PrintfFloat(double value, bool single) {
    if (!std::isfinite(value)) return std::string(std::signbit(value) ? "-" : "+") + (std::isnan(value) ? "NAN" : "INF");
    const int digits = single ? 9 : 16;
    char text[64];
    std::snprintf(text, sizeof text, "%+.*E", digits, value);
    const char* e = std::strchr(text, 'E');
    const int exponent = std::atoi(e + 1);
    char tail[16];
    std::snprintf(tail, sizeof tail, "E%c%03d", exponent < 0 ? '-' : '+', std::abs(exponent));
    return std::string(text, static_cast<std::size_t>(e - text)) + tail;
}

TEST(NumberText, FloatsMatchPrintf) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<double> values = {0.0, -0.0, inf, -inf, nan, -nan, DBL_MAX, -DBL_MAX, DBL_MIN, -DBL_MIN,
                                  std::numeric_limits<double>::denorm_min(), FLT_MAX, FLT_MIN,
                                  std::numeric_limits<float>::denorm_min(), 1e-40, 9.9999999995, 9.99999999949,
                                  0.99999999995, 9.9999999999999995, 99999999999999995.0, 9.99999999999999e99,
                                  12345678905.0, 12345678915.0, 1.5, 36.6, -273.15};
    for (int k = -1074; k <= 1023; ++k) {
        // Powers of two: their exact decimal expansions end in 5, and some
        // fall exactly halfway between two 10- or 17-digit texts. Powers of
        // ten, their neighbours, and the largest values below them, which
        // round up into them.
        values.insert(values.end(), {std::ldexp(1.0, k), std::ldexp(3.0, k - 1)});
        const double p = std::pow(10.0, k);
        if (k < -323 || k > 308) continue;
        values.insert(values.end(), {p, std::nextafter(p, 0.0), std::nextafter(p, inf), -p, 9.9999999995 * p,
                                     9.99999999999999995 * p});
    }
    std::mt19937_64 random(0x9E3779B97F4A7C15ull);
    for (int i = 0; i < 40000; ++i) {
        const std::uint64_t bits = random();
        double d;
        std::memcpy(&d, &bits, sizeof d);
        float f;
        const std::uint32_t low = static_cast<std::uint32_t>(bits);
        std::memcpy(&f, &low, sizeof f);
        // With a short decimal, as measurements are.
        values.insert(values.end(), {d, f, static_cast<double>(static_cast<std::int64_t>(bits % 2000001) - 1000000) / 1000.0});
    }
    for (const double value : values) {
        for (const bool single : {true, false}) {
            char out[kNumberTextSize];
            const std::size_t length = FloatText(value, single, out);
            ASSERT_EQ(std::make_tuple(std::string(out, length), std::strlen(out)), std::make_tuple(PrintfFloat(value, single), length))
                << single;
            ASSERT_TRUE(!std::isfinite(value) || length == (single ? kFloat32TextLength : kFloat64TextLength));
        }
    }
}

// Integers at the edges of every decimal width and times with every field at
// the edges of its printed width, then random ones: the texts of printf and
// of TimeToStr, and the lengths the sizes count.
TEST(NumberText, IntegersAndTimesMatchTheCLibrary) {
    std::vector<std::uint32_t> values = {0, UINT32_MAX, 0x80000000u, 0x7FFFFFFFu};
    for (std::uint32_t p = 1, k = 0; k < 10; ++k, p *= 10) values.insert(values.end(), {p - 1, p, p + 1, 2 * p - 1});
    std::vector<QOVA_TIME> times = {{0, 0, 0, 0, 0, 0, 0}, {2024, 3, 5, 6, 7, 8, 9}, {12345, 200, 5, 6, 7, 8, 9},
                                    {65535, 255, 255, 255, 255, 255, 255}, {9999, 99, 99, 99, 99, 99, 99},
                                    {10000, 100, 100, 100, 100, 100, 100}, {999, 9, 10, 0, 59, 60, 100}};
    std::mt19937_64 random(0x9E3779B97F4A7C15ull);
    for (int i = 0; i < 20000; ++i) {
        const std::uint64_t r = random();
        values.push_back(static_cast<std::uint32_t>(r) >> (r >> 59));  // every width
        if (i % 4 != 0) continue;
        times.push_back({static_cast<std::uint16_t>(r >> (r >> 60)), static_cast<std::uint8_t>(r >> 16),
                         static_cast<std::uint8_t>(r >> 24), static_cast<std::uint8_t>((r >> 32) % 128),
                         static_cast<std::uint8_t>(r >> 40), static_cast<std::uint8_t>((r >> 48) % 110),
                         static_cast<std::uint8_t>(r >> 56)});
    }
    char out[kNumberTextSize], expected[kNumberTextSize];
    // The text written (its length returned, and up to its terminator) and the length counted, against `expected`.
    const auto written = [&](std::size_t length, std::size_t counted) {
        return std::make_tuple(std::string(out, length), std::string(out), counted);
    };
    const auto printed = [&] { return std::make_tuple(std::string(expected), std::string(expected), std::strlen(expected)); };
    for (const std::uint32_t u : values) {
        std::snprintf(expected, sizeof expected, "%" PRIu32, u);
        ASSERT_EQ(written(UnsignedText(u, out), DecimalLength(u)), printed());
        for (const std::int32_t s : {static_cast<std::int32_t>(u), -static_cast<std::int32_t>(u & 0x7FFFFFFF)}) {
            std::snprintf(expected, sizeof expected, "%" PRId32, s);
            ASSERT_EQ(written(SignedText(s, out), SignedDecimalLength(s)), printed());
        }
    }
    for (const QOVA_TIME& t : times) {
        TimeToStr(&t, expected);
        ASSERT_EQ(written(xqova::xml::TimeText(t, out), xqova::TimeTextLength(t)), printed());
    }
}

const char* const kNames[] = {"I8",     "I16",      "I32",   "I64",       "U32",      "U64",      "F32",
                              "F64",    "Time",     "Ansi",  "Wide",      "Bits",     "I8Bits",   "AnsiFixed",
                              "AnsiText", "WideText", "F64s", "F32List", "I16List", "U32Pair", "I64Pair", "Times", "Wide32", "WideFixed"};
const std::uint8_t kTypes[] = {0x00, 0x01, 0x03, 0x07, 0x13, 0x17, 0x23, 0x27, 0x02, 0x08, 0x09,
                               0x39, 0x28, 0x88, 0x48, 0x49, 0xA7, 0x63, 0x41, 0x93, 0x87, 0x82, 0x4B, 0x89};
const std::uint16_t kCounts[] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 8, 0, 0, 3, 0, 0, 2, 2, 2, 0, 3};
enum : std::uint16_t { I8, I16, I32, I64, U32, U64, F32, F64, Time, Ansi, Wide, Bits, I8Bits, AnsiFixed,
                       AnsiText, WideText, F64s, F32List, I16List, U32Pair, I64Pair, Times, Wide32, WideFixed };

CXQOVADictionary& Values() {
    static Chain chain([] {
        std::vector<xqova::build::Member> members;
        for (int i = 0; i <= WideFixed; ++i) members.push_back(M(kNames[i], kTypes[i], 100, 0xFFFF, kAnyClass, kCounts[i]));
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

// Number and time texts are pinned above: here each member kind picks its
// text, the elements of arrays follow one another, and the sizes count them.
TEST(XmlValueText, EveryMemberKindInBothEncodings) {
    const QOVA_TIME t1{2024, 3, 5, 6, 7, 8, 9}, t2{12345, 200, 5, 6, 7, 8, 9};
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    std::int64_t pair[] = {-1, (std::int64_t{1} << 32) + 7};
    const unsigned short wide[] = {'x', 0x263A, 'z'};  // no terminator
    struct Row {
        std::uint16_t id; Setter set; std::string text8;
        const char* text16;       // the UTF-16 text as UTF-8; null: the 8-bit text
        std::uint32_t uncounted;  // counted by the size beyond the 8-bit text
    } const rows[] = {
        {I8, Set(I8, static_cast<signed char>(-1)), "-1", nullptr, 0},
        {I8, Set(I8, std::int32_t{300}), "44", nullptr, 0},
        {I16, Set(I16, static_cast<short>(-32768)), "-32768", nullptr, 0},
        {I32, Set(I32, std::numeric_limits<std::int32_t>::min()), "-2147483648", nullptr, 0},
        {I64, Set(I64, std::int32_t{-1}), "-1", nullptr, 0},
        {U32, Set(U32, std::uint32_t{0}), "0", nullptr, 0},
        {U64, Set(U64, std::uint32_t{4294967295u}), "4294967295", nullptr, 0},
        {F32, Set(F32, 1e-40f), "+9.999946101E-041", nullptr, 0},
        {F32, Set(F32, inf), "+INF", nullptr, 13},
        {F32, Set(F32, -nan), "-NAN", nullptr, 13},
        {F64, Set(F64, -2.5e-300), "-2.5000000000000000E-300", nullptr, 0},
        {F64, Set(F64, -static_cast<double>(inf)), "-INF", nullptr, 20},
        {Time, Set(Time, t1), "2024/03/05 06:07:08 09", nullptr, 0},
        {Time, Set(Time, t2), "12345/200/05 06:07:08 09", nullptr, 0},
        {Ansi, Set(Ansi, 'A'), "A", nullptr, 0},
        {Ansi, Set(Ansi, static_cast<char>(0xE9)), "\xE9", "", 0},  // one byte, no UTF-8 character
        {Wide, Set(Wide, static_cast<unsigned short>(0x263A)), "", "\xE2\x98\xBA", 0},
        {Bits, Set(Bits, static_cast<unsigned short>(0x8001)), "32769", nullptr, 0},
        {I8Bits, Set(I8Bits, static_cast<signed char>(-128)), "-128", nullptr, 0},
        {AnsiFixed, SetText(AnsiFixed, "abc"), "abc", nullptr, 0},
        {AnsiFixed, Fill(AnsiFixed, "ABCDEFGH"), "ABCDEFGH", nullptr, 0},
        {AnsiText, SetText(AnsiText, "h\xC3\xA9"), "h\xC3\xA9", nullptr, 0},
        {AnsiText, SetText(AnsiText, "h\xE9!"), "h\xE9!", "", 0},  // ill-formed: vanishes whole
        {WideText, SetAll<unsigned short>(WideText, {'A', 'B', 0x263A, 'C'}), "AB", "AB\xE2\x98\xBA" "C", 2},
        // 4-byte characters: 8-bit text up to one past 255, UTF-16 its low
        // 16 bits up to an element whose low bits are 0.
        {Wide32, SetAll<std::uint32_t>(Wide32, {'A', 0xFF, 0x100, 0x10001, 0x10000, 'C'}), "A\xFF", "A\xC3\xBF\xC4\x80\x01", 4},
        {F64s, SetAll<double>(F64s, {1, -2}),
         "+1.0000000000000000E+000;-2.0000000000000000E+000;+0.0000000000000000E+000;", nullptr, 0},
        {F32List, SetAll<float>(F32List, {1.5f}), "+1.500000000E+000;", nullptr, 0},
        {I16List, SetAll<short>(I16List, {-1, 2}), "-1;2;", nullptr, 0},
        {I16List, [](CXQOVAObject&) {}, "", nullptr, 0},
        {U32Pair, SetAll<std::uint32_t>(U32Pair, {0, 4294967295u}), "0;4294967295;", nullptr, 0},
        {I64Pair, Fill(I64Pair, std::string(reinterpret_cast<char*>(pair), sizeof pair)), "-1;7;", nullptr, 0},
        {WideFixed, Fill(WideFixed, std::string(reinterpret_cast<const char*>(wide), sizeof wide)), "x", "x\xE2\x98\xBAz", 2},
        {Times, SetAll<QOVA_TIME>(Times, {t2}), "12345/200/05 06:07:08 09;0000/00/00 00:00:00 00;", nullptr, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(kNames[row.id]) + " " + row.text8);
        CXQOVAObject object(&Values(), 0x00440000u, 0xFFFF);
        row.set(object);
        const auto w = Write8(object, 0xFFFF);
        const auto u = Write16(object, 0xFFFF);
        const auto safe = Write<char>(object, 0xFFFF, true);  // measured, not computed
        EXPECT_EQ(std::make_tuple(ValueText(w.text, kNames[row.id]), w.size - w.result, ValueText(ToUtf8(u.text), kNames[row.id])),
                  std::make_tuple(row.text8, 2 + row.uncounted, row.text16 != nullptr ? row.text16 : row.text8));  // the base counts five version digits
        EXPECT_TRUE(u.result == u.size && safe.result == safe.size && w.guardIntact && u.guardIntact && safe.guardIntact);
    }
}

TEST(Utf8ToUtf16, WellFormedPiecesAndEveryKindOfIllFormedOne) {
    struct Case { std::string utf8; std::u16string units; } const cases[] = {  // units empty: refused whole
        {"Ab1", u"Ab1"},           {"\xC3\xA9", u"\u00E9"},         {"\xE2\x82\xAC", u"\u20AC"},
        {"\xED\x9F\xBF", u"\uD7FF"}, {"x\xF0\x9F\x98\x80y", u"x\U0001F600y"}, {"\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
        // The first and last code point of each length, either side of the surrogates.
        {"\xC2\x80\xDF\xBF", u"\u0080\u07FF"}, {"\xE0\xA0\x80\xEF\xBF\xBF", u"\u0800\uFFFF"},
        {"\xF0\x90\x80\x80", u"\U00010000"},   {"\xEE\x80\x80", u"\uE000"}, {"\xF3\xB0\x80\x80", u"\U000F0000"},
        // Refused: an overlong lead, U+07FF in three bytes, U+FFFF in four, the
        // last surrogate, a continuation byte in lead position, overlong forms
        // of two and three bytes, the first surrogate, past U+10FFFF, more
        // than three continuation bytes, a piece cut off, a missing continuation.
        {"\xC1\xBF", u""}, {"\xE0\x9F\xBF", u""}, {"\xF0\x8F\xBF\xBF", u""}, {"\xED\xBF\xBF", u""},
        {"a\x80", u""}, {"\xC0\xAF", u""}, {"\xE0\x80\xAF", u""}, {"\xED\xA0\x80", u""}, {"\xF4\x90\x80\x80", u""},
        {"\xF8\x88\x80\x80\x80", u""}, {"ok\xE2\x82", u""}, {"\xE2\x28\x41", u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.utf8);
        std::vector<unsigned short> out(c.utf8.size() + 1, 0x5A5A);
        const std::size_t bytes = xqova::Utf8ToUtf16(c.utf8.data(), c.utf8.size(), out.data());
        ASSERT_EQ(std::make_tuple(xqova::Utf8ToUtf16(c.utf8.data(), c.utf8.size(), nullptr), bytes), std::make_tuple(2 * c.units.size(), 2 * c.units.size()));
        // A refused piece writes nothing.
        EXPECT_EQ(std::make_tuple(std::u16string(out.begin(), out.begin() + bytes / 2), out[bytes / 2]), std::make_tuple(c.units, 0x5A5A));
    }
}

}  // namespace
