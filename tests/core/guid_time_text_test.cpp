#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "xqova/core/guid_time.h"

namespace {

const unsigned char kGuid[16] = {0x7B, 0x57, 0x32, 0x3E, 0xD6, 0x1A, 0x4E, 0x3D,
                                 0x8E, 0xBC, 0xC8, 0x65, 0x80, 0x07, 0xBB, 0xCB};

// Braced uppercase groups of the first `count` bytes (at most 16), the rest
// of the 39-character area zero; and the same GUID read back from its text.
TEST(GuidText, WritesBracedUppercaseGroupsAndReadsDigitPairsBack) {
    unsigned char sequence[16];
    for (unsigned i = 0; i < 16; ++i) sequence[i] = static_cast<unsigned char>(i);
    const struct {
        const unsigned char* guid;
        std::uint16_t count;
        const char* expected;
    } cases[] = {{kGuid, 16, "{7B57323E-D61A-4E3D-8EBC-C8658007BBCB}"},
                 {kGuid, 20, "{7B57323E-D61A-4E3D-8EBC-C8658007BBCB}"},
                 {kGuid, 4, "{7B57323E-}"}, {kGuid, 5, "{7B57323E-D6}"}, {kGuid, 0, "{}"},
                 {sequence, 16, "{00010203-0405-0607-0809-0A0B0C0D0E0F}"}};
    for (const auto& c : cases) {
        char text[39];
        std::memset(text, 'x', sizeof text);
        EXPECT_EQ(GUIDToStr(c.guid, text, c.count), text);
        const std::string expected = std::string(c.expected) + std::string(39 - std::strlen(c.expected), '\0');
        EXPECT_EQ(std::string(text, sizeof text), expected) << c.count;
    }
    EXPECT_EQ(TimeToStr(nullptr, nullptr), nullptr);  // the time writer, given no text, writes none

    // Digit pairs read back, with or without the braces and dashes.
    struct Case {
        std::string text;
        std::uint16_t count;
        std::vector<unsigned char> expected;
    };
    const std::vector<unsigned char> guid(kGuid, kGuid + 16);
    std::vector<unsigned char> longRun(32, 0);
    std::fill_n(longRun.begin(), 19, 0xAA);
    longRun[19] = 0x0A;
    const Case reads[] = {
        {"{7B57323E-D61A-4E3D-8EBC-C8658007BBCB}", 16, guid},
        {"7B57323ED61A4E3D8EBCC8658007BBCB", 16, guid},
        {"ABC", 2, {0xAB, 0x0C}},
        {"ABC", 1, {0x00}},                 // needs two bytes: left zero
        {"1G", 1, {0x01}},                  // second character not a digit
        {"G1", 1, {0x00}},                  // first character not a digit
        {"-1", 1, {0x01}},                  // the dash is a separator
        {" 1", 1, {0x01}},                  // a space is collected; strtol skips it
        {"", 3, {0, 0, 0}},
        {"{7B57323E-D61A-4E3D-8EBC-C8658007BBCB}", 8, {0, 0, 0, 0, 0, 0, 0, 0}},
        {"0A", 0, {}},  // no target (found by fuzzing): nothing is written
        // 45 digits: only the first 39 are collected; the 20 bytes they make
        // do not fit 16, so nothing is converted. The 39th digit stands alone.
        {std::string(45, 'A'), 16, std::vector<unsigned char>(16, 0)},
        {std::string(45, 'A'), 32, longRun},
    };
    for (const Case& c : reads) {
        std::vector<unsigned char> bytes(c.count + 1u, 0xEE);  // one byte more, which stays as it was
        unsigned char* target = c.count == 0 ? nullptr : bytes.data();
        EXPECT_EQ(StrToGuid(c.text.c_str(), static_cast<std::uint16_t>(c.text.size()), target, c.count), target);
        EXPECT_EQ(bytes.back(), 0xEE);
        bytes.pop_back();
        EXPECT_EQ(bytes, c.expected) << c.text << " / " << c.count;
    }
}

}  // namespace
