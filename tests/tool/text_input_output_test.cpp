// What the tool accepts as text (hex input, xxd dumps, UTF-8 and UTF-16)
// and what it shows people: control characters from devices and definition
// files never reach a terminal, the XML it writes by default is the
// well-formed form, and a text's zero character is shown, not hidden.
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
#include <utility>

#include "tests/tool/tool_test_support.h"
#include "tools/qova/members.h"

namespace {

using namespace tool_test;

// Accepted forms give their bytes; refused ones name the place ("" when accepted).
TEST(HexInput, AcceptsAndRecognisesTheFormsPeopleWriteAndRefusesWithThePosition) {
    const std::tuple<const char*, Bytes, const char*> cases[] = {  // text, bytes, failure
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
    for (const auto& [text, bytes, expected] : cases) {
        const std::string failure = FailureOf([&, text = text, bytes = bytes] { EXPECT_EQ(qova::ParseHex(text), bytes); });
        EXPECT_TRUE(failure.find(expected) != std::string::npos && failure.empty() == !*expected) << text << ": " << failure;
    }

    // DecodeInput takes hex text, xxd's default dump (offset, groups,
    // characters which may hold digits) or the bytes as they are; a binary
    // encoding starts with the class identifier's zero bytes.
    const std::string xxd = "00000000: 0005 0000 001f 0069 4000 1807 e803 050e  .......i@.......\n"
                            "00000010: 3132                                     12\r\n";
    const char* fromXxd = "00 05 00 00 00 1f 00 69 40 00 18 07 e8 03 05 0e 31 32";
    // The input, its form, and the bytes taken as hex (null: the input as it is).
    const std::tuple<std::string, qova::InputForm, const char*> inputs[] = {
        {"00 05\n", qova::InputForm::kAuto, "00 05"},  {"00 05\n", qova::InputForm::kBinary, nullptr},
        {std::string("\0\x05\0\0\0\x1f\0\x69", 8), qova::InputForm::kAuto, nullptr},
        {"0", qova::InputForm::kAuto, nullptr},        {"", qova::InputForm::kAuto, nullptr},
        {xxd, qova::InputForm::kAuto, fromXxd},        {xxd, qova::InputForm::kHex, fromXxd},
        {xxd, qova::InputForm::kBinary, nullptr},
    };
    for (const auto& [text, form, hex] : inputs) {
        const Bytes input(text.begin(), text.end());
        EXPECT_EQ(qova::DecodeInput(input, form), hex != nullptr ? Hex(hex) : input) << text;
    }
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
    const std::tuple<const char*, bool, bool, qova::OutputForm, bool> rows[] = {  // file, hex, terminal, form, note
        {"", false, true, qova::OutputForm::kHex, false},     {"", false, false, qova::OutputForm::kHex, false},
        {"-", false, false, qova::OutputForm::kBytes, false}, {"-", false, true, qova::OutputForm::kHex, true},
        {"r.bin", false, true, qova::OutputForm::kBytes, false}, {"r.hex", true, false, qova::OutputForm::kHex, false},
        {"r", false, false, qova::OutputForm::kBytes, false},
    };
    for (const auto& [file, hex, terminal, form, noted] : rows) {
        std::string note;
        const qova::OutputForm chosen = qova::ChooseOutput(file, hex, terminal, &note);
        EXPECT_EQ(std::make_tuple(chosen, !note.empty()), std::make_tuple(form, noted)) << file;
    }
}

// The code points come from the library's UTF-8 decoder, whose bounds and
// refusals its own tests pin; the tool pairs surrogates back into UTF-8 and
// shows a lone one as U+FFFD.
TEST(UnicodeText, ConvertsBothWays) {
    const std::string text = "A\x7F\xC2\x80\xC3\xBC\xE2\x82\xAC\xF0\x9F\x98\x80";
    std::vector<std::uint16_t> units;
    ASSERT_TRUE(qova::Utf8ToUtf16(text, &units));
    EXPECT_EQ(units, (std::vector<std::uint16_t>{0x41, 0x7F, 0x80, 0xFC, 0x20AC, 0xD83D, 0xDE00}));
    EXPECT_EQ(qova::Utf16ToUtf8(units.data(), units.size()), text);
    EXPECT_FALSE(qova::Utf8ToUtf16("ok\xE2\x82", &units));
    const std::uint16_t lone[] = {0x41, 0xD800, 0xDC00, 0x42};
    EXPECT_EQ(qova::Utf16ToUtf8(lone, 4), "A\xF0\x90\x80\x80" "B");
    EXPECT_EQ(qova::Utf16ToUtf8(lone, 2), "A\xEF\xBF\xBD");
}

TEST(TerminalOutput, ControlsAndInvalidBytesAreShownEscapedAndDecodeShowsTheWholeText) {
    const std::pair<std::string, std::string> rows[] = {  // in, out
        {"plain\ttext\n", "plain\ttext\n"},
        {"a\x1b]0;title\x07z", "a\\u001b]0;title\\u0007z"},
        {std::string("shown\0hidden", 12), "shown\\u0000hidden"},
        {"\r\x7f", "\\u000d\\u007f"},
        {"\xc2\x9b" "2J \xc2\xa0", "\\u009b2J \xc2\xa0"},  // C1 CSI escaped, no-break space kept
        {"\xff\xc3\xa9\xe2\x82", "\\xff\xc3\xa9\\xe2\\x82"},
    };
    for (const auto& [in, out] : rows) EXPECT_EQ(qova::TerminalSafe(in), out);

    // decode shows the whole text of CNetworkCLocID's LocationID and writes the safe XML.
    const auto location = [](const std::string& text) { return Encode("CNetworkCLocID", {"LocationID=" + text}); };
    const Bytes hidden = location(std::string("shown\0hidden", 12));
    const std::string table = qova::TerminalSafe(
        qova::DecodeObject(TestCatalog(), hidden, qova::ObjectOutput::kTable, nullptr));
    EXPECT_NE(table.find("\"shown\\u0000hidden\""), std::string::npos) << table;

    // The exact forms keep the bytes (the default, well-formed forms are the
    // command-line escape_text cases).
    const Bytes hostile = location("]]>\x1b[2J");
    for (const qova::ObjectOutput form : {qova::ObjectOutput::kXmlExact, qova::ObjectOutput::kXmlUtf16Exact}) {
        const std::string xml = qova::DecodeObject(TestCatalog(), hostile, form, nullptr);
        EXPECT_NE(xml.find("<![CDATA[]]>\x1b[2J]]>"), std::string::npos) << xml;
    }
}

}  // namespace
