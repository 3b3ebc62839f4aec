// What the tool accepts as text: hex input, times, UTF-8 and UTF-16.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/tool/tool_test_support.h"
#include "tools/qova/members.h"

namespace {

using tool_test::Bytes;
using tool_test::FailureOf;

// Accepted forms give their bytes; refused ones name the place ("" when accepted).
TEST(HexInput, AcceptsTheFormsPeopleWriteAndRefusesWithThePosition) {
    const struct {
        const char* text;
        Bytes bytes;
        const char* failure;
    } cases[] = {
        {"00 05 00 00", {0x00, 0x05, 0x00, 0x00}, ""},
        {"00050000\n", {0x00, 0x05, 0x00, 0x00}, ""},
        {"0x00 0xAB,0xcd", {0x00, 0xAB, 0xCD}, ""},
        {"0x0005", {0x00, 0x05}, ""},
        {"de:ad-BE EF\r\n", {0xDE, 0xAD, 0xBE, 0xEF}, ""},
        {"", {}, ""},
        {"00 5", {}, "lone digit at offset 3"},
        {"0 05", {}, "lone digit at offset 0"},
        {"00 g0", {}, "unexpected character 'g' at offset 3"},
        {"000x12", {}, "unexpected character 'x' at offset 3"},  // a "0x" inside a run of digits is no prefix
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const std::string failure = FailureOf([&] { EXPECT_EQ(qova::ParseHex(c.text), c.bytes); });
        EXPECT_NE(failure.find(c.failure), std::string::npos) << failure;
        EXPECT_EQ(failure.empty(), *c.failure == '\0');
    }
}

TEST(HexInput, DetectionTellsTextFromEncodings) {
    const Bytes text = {'0', '0', ' ', '0', '5', '\n'};
    EXPECT_TRUE(qova::LooksLikeHex(text));
    // A binary encoding starts with the class identifier's zero bytes.
    const Bytes binary = tool_test::Hex("00 05 00 00 00 1F 00 69");
    EXPECT_FALSE(qova::LooksLikeHex(binary));
    EXPECT_EQ(qova::DecodeInput(text, qova::InputForm::kAuto), (Bytes{0x00, 0x05}));
    EXPECT_EQ(qova::DecodeInput(text, qova::InputForm::kBinary), text);
    EXPECT_FALSE(qova::LooksLikeHex(Bytes{'0'}));
    EXPECT_FALSE(qova::LooksLikeHex(Bytes{}));
}

// xxd's default dump: offset, groups, characters (which may hold digits).
TEST(HexInput, XxdDumpsAreRecognised) {
    const std::string dump =
        "00000000: 0005 0000 001f 0069 4000 1807 e803 050e  .......i@.......\n"
        "00000010: 3132                                     12\r\n";
    const Bytes expected = tool_test::Hex("00 05 00 00 00 1f 00 69 40 00 18 07 e8 03 05 0e 31 32");
    EXPECT_EQ(qova::DecodeInput(Bytes(dump.begin(), dump.end()), qova::InputForm::kAuto), expected);
    EXPECT_EQ(qova::DecodeInput(Bytes(dump.begin(), dump.end()), qova::InputForm::kHex), expected);
    EXPECT_EQ(qova::DecodeInput(Bytes(dump.begin(), dump.end()), qova::InputForm::kBinary),
              Bytes(dump.begin(), dump.end()));
    for (const char* bad : {"00000000: 0005 0000  ..\n00000003: 01  .\n",  // the offset skips a byte
                            "00000000: 005 0000  ..\n",                    // an odd group
                            "00000000:0005  ..\n", "00 05 00 00\n", ""}) {
        EXPECT_FALSE(qova::LooksLikeXxd(Bytes(bad, bad + std::strlen(bad)))) << bad;
    }
    EXPECT_NE(FailureOf([] { qova::ParseXxd("00000000: 0005  ..\n00000001: 00  .\n"); })
                  .find("line 2 is not an offset of 2"),
              std::string::npos);
}

// Where the bytes of an output go, and in which form.
TEST(HexOutput, BytesGoToFilesAndHexToTerminals) {
    const struct {
        const char* file;
        bool hex, terminal;
        qova::OutputForm form;
        bool note;
    } rows[] = {
        {"", false, true, qova::OutputForm::kHex, false},     {"", false, false, qova::OutputForm::kHex, false},
        {"-", false, false, qova::OutputForm::kBytes, false}, {"-", false, true, qova::OutputForm::kHex, true},
        {"r.bin", false, true, qova::OutputForm::kBytes, false}, {"r.hex", true, false, qova::OutputForm::kHex, false},
        {"r", false, false, qova::OutputForm::kBytes, false},
    };
    for (const auto& row : rows) {
        std::string note;
        EXPECT_EQ(qova::ChooseOutput(row.file, row.hex, row.terminal, &note), row.form) << row.file;
        EXPECT_EQ(!note.empty(), row.note) << row.file;
    }
    std::string note;
    EXPECT_NE(FailureOf([&] { qova::ChooseOutput("r.bin", true, false, &note); }).find("r.bin names a binary file"),
              std::string::npos);
}

TEST(HexOutput, PairsSixteenToALine) {
    Bytes bytes(18);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<unsigned char>(0xF0 + i);
    EXPECT_EQ(qova::FormatHex(bytes),
              "F0 F1 F2 F3 F4 F5 F6 F7 F8 F9 FA FB FC FD FE FF\n00 01\n");
    EXPECT_EQ(qova::ParseHex(qova::FormatHex(bytes)), bytes);
}

TEST(UnicodeText, ConvertsBothWays) {
    struct Case {
        std::string utf8;
        std::vector<std::uint16_t> utf16;
    } cases[] = {
        {"A", {0x41}},
        {"Z\xC3\xBCrich", {0x5A, 0xFC, 0x72, 0x69, 0x63, 0x68}},
        {"\xE2\x82\xAC", {0x20AC}},
        {"\xF0\x9F\x98\x80", {0xD83D, 0xDE00}},
    };
    for (const Case& c : cases) {
        std::vector<std::uint16_t> units;
        ASSERT_TRUE(qova::Utf8ToUtf16(c.utf8, &units)) << c.utf8;
        EXPECT_EQ(units, c.utf16);
        EXPECT_EQ(qova::Utf16ToUtf8(units.data(), units.size()), c.utf8);
    }
    // Overlong, surrogate, beyond U+10FFFF, cut off, stray continuation.
    for (const char* bad : {"\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82", "\x80"}) {
        std::vector<std::uint16_t> units;
        EXPECT_FALSE(qova::Utf8ToUtf16(bad, &units));
    }
    const std::uint16_t lone[] = {0x41, 0xD800};
    EXPECT_EQ(qova::Utf16ToUtf8(lone, 2), "A\xEF\xBF\xBD");
}

}  // namespace
