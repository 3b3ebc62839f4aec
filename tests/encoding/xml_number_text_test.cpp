// The number and time texts of the XML documents against the C library's
// formatting, which they replace: the same characters for every value.
#include <gtest/gtest.h>

#include <cfloat>
#include <cinttypes>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "xqova/encoding/xml_text.h"

namespace {

using namespace xqova::xml;

struct Random {
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    std::uint64_t Next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    }
};

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

void ExpectFloat(double value) {
    for (const bool single : {true, false}) {
        char out[kNumberTextSize];
        const std::size_t length = FloatText(value, single, out);
        const std::string expected = PrintfFloat(value, single);
        ASSERT_EQ(std::string(out, length), expected) << single;
        ASSERT_EQ(std::strlen(out), length);
        if (std::isfinite(value)) {
            ASSERT_EQ(length, single ? kFloat32TextLength : kFloat64TextLength);
        }
    }
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
        // fall exactly halfway between two 10- or 17-digit texts.
        values.push_back(std::ldexp(1.0, k));
        values.push_back(std::ldexp(3.0, k - 1));
    }
    for (int k = -323; k <= 308; ++k) {
        const double p = std::pow(10.0, k);
        values.insert(values.end(), {p, std::nextafter(p, 0.0), std::nextafter(p, inf), -p});
        // The largest values below a power of ten round up into it.
        values.push_back(9.9999999995 * p);
        values.push_back(9.99999999999999995 * p);
    }
    Random random;
    for (int i = 0; i < 40000; ++i) {
        const std::uint64_t bits = random.Next();
        double d;
        std::memcpy(&d, &bits, sizeof d);
        float f;
        const std::uint32_t low = static_cast<std::uint32_t>(bits);
        std::memcpy(&f, &low, sizeof f);
        values.push_back(d);
        values.push_back(f);
        // Short decimals, as measurements are.
        values.push_back(static_cast<double>(static_cast<std::int64_t>(bits % 2000001) - 1000000) / 1000.0);
    }
    for (const double v : values) ExpectFloat(v);
}

TEST(NumberText, IntegersMatchPrintf) {
    std::vector<std::uint32_t> values = {0, UINT32_MAX, 0x80000000u, 0x7FFFFFFFu};
    for (std::uint32_t p = 1, k = 0; k < 10; ++k, p *= 10) values.insert(values.end(), {p - 1, p, p + 1, 2 * p - 1});
    Random random;
    for (int i = 0; i < 20000; ++i) {
        const std::uint64_t r = random.Next();
        values.push_back(static_cast<std::uint32_t>(r) >> (r >> 59));  // every width
    }
    for (const std::uint32_t u : values) {
        char out[kNumberTextSize];
        char expected[kNumberTextSize];
        std::snprintf(expected, sizeof expected, "%" PRIu32, u);
        ASSERT_EQ(std::string(out, UnsignedText(u, out)), expected);
        ASSERT_STREQ(out, expected);
        ASSERT_EQ(DecimalLength(u), std::strlen(expected));
        for (const std::int32_t s : {static_cast<std::int32_t>(u), -static_cast<std::int32_t>(u & 0x7FFFFFFF)}) {
            std::snprintf(expected, sizeof expected, "%" PRId32, s);
            ASSERT_EQ(std::string(out, SignedText(s, out)), expected);
            ASSERT_STREQ(out, expected);
            ASSERT_EQ(SignedDecimalLength(s), std::strlen(expected));
        }
    }
}

// Every field at the edges of its printed width, and random records: the
// text of TimeToStr, and the length the sizes count.
TEST(NumberText, TimesMatchTimeToStr) {
    std::vector<QOVA_TIME> times = {{0, 0, 0, 0, 0, 0, 0}, {2024, 3, 5, 6, 7, 8, 9}, {12345, 200, 5, 6, 7, 8, 9},
                                    {65535, 255, 255, 255, 255, 255, 255}, {9999, 99, 99, 99, 99, 99, 99},
                                    {10000, 100, 100, 100, 100, 100, 100}, {999, 9, 10, 0, 59, 60, 100}};
    Random random;
    for (int i = 0; i < 5000; ++i) {
        const std::uint64_t r = random.Next();
        times.push_back({static_cast<std::uint16_t>(r >> (r >> 60)), static_cast<std::uint8_t>(r >> 16),
                         static_cast<std::uint8_t>(r >> 24), static_cast<std::uint8_t>((r >> 32) % 128),
                         static_cast<std::uint8_t>(r >> 40), static_cast<std::uint8_t>((r >> 48) % 110),
                         static_cast<std::uint8_t>(r >> 56)});
    }
    for (const QOVA_TIME& t : times) {
        char out[30];
        char expected[30];
        TimeToStr(&t, expected);
        ASSERT_EQ(std::string(out, TimeText(t, out)), expected);
        ASSERT_STREQ(out, expected);
        ASSERT_EQ(xqova::TimeTextLength(t), std::strlen(expected));
    }
}

}  // namespace
