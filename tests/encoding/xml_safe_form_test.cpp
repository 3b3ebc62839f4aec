// The well-formed XML form: the exact documents' elements and names, with
// names escaped in attributes, "]]>" split inside CDATA and every character
// XML cannot carry replaced by U+FFFD. Its 8-bit form is UTF-8, and is the
// UTF-16 form converted, byte for byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "xml_test_support.h"
#include "xqova/core/crc16.h"

namespace {

using namespace xml_test;

struct Documents {
    std::string exact, safe8, safe16;  // without terminators; safe16 as UTF-8
};

Documents WriteAll(CXQOVAObject& object) {
    Documents d;
    d.exact = Write8(object, 0xFFFF).text;

    const std::uint32_t size8 = object.XMLSizeAllSafe(XML_ENCODING_CHAR, 0xFFFF);
    std::vector<char> chars(size8 + 16, 0x5A);
    EXPECT_EQ(object.XMLSerializeSafe(chars.data(), size8 - 1, 0xFFFF), 0u) << "one byte short";
    EXPECT_EQ(chars[0], 0x5A);
    EXPECT_EQ(object.XMLSerializeSafe(chars.data(), chars.size(), 0xFFFF), size8);
    for (std::size_t i = size8; i < chars.size(); ++i) EXPECT_EQ(chars[i], 0x5A);
    if (size8 != 0) d.safe8.assign(chars.data(), size8 - 1);

    const std::uint32_t size16 = object.XMLSizeAllSafe(XML_ENCODING_UTF16, 0xFFFF);
    std::vector<unsigned short> units(size16 / 2 + 8, 0x5A);
    EXPECT_EQ(object.XMLSerializeSafe(units.data(), size16 - 2, 0xFFFF), 0u);
    EXPECT_EQ(object.XMLSerializeSafe(units.data(), units.size() * 2, 0xFFFF), size16);
    if (size16 != 0) d.safe16 = ToUtf8(std::u16string(units.begin(), units.begin() + (size16 / 2 - 1)));
    return d;
}

// Valid UTF-8 without controls other than tab and line feed.
bool CleanText(const std::string& s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            if ((c < 0x20 && c != '\t' && c != '\n') || c == 0x7F) return false;
            ++i;
            continue;
        }
        const std::size_t n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
        if (n == 0 || i + n > s.size()) return false;
        for (std::size_t k = 1; k < n; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        }
        if (n == 2 && c == 0xC2 && static_cast<unsigned char>(s[i + 1]) < 0xA0) return false;  // C1 controls
        i += n;
    }
    return true;
}

std::size_t Count(const std::string& s, const std::string& piece) {
    std::size_t n = 0;
    for (std::size_t at = s.find(piece); at != std::string::npos; at = s.find(piece, at + 1)) ++n;
    return n;
}

// Occurrences of `piece` as markup, as a parser sees it: CDATA sections
// (up to their first "]]>") are text.
std::size_t CountMarkup(const std::string& s, const std::string& piece) {
    std::string markup;
    for (std::size_t at = 0; at < s.size();) {
        const std::size_t open = s.find("<![CDATA[", at);
        markup += s.substr(at, open == std::string::npos ? std::string::npos : open - at);
        if (open == std::string::npos) break;
        const std::size_t close = s.find("]]>", open + 9);
        at = close == std::string::npos ? s.size() : close + 3;
    }
    return Count(markup, piece);
}

const std::string kFFFD = "\xEF\xBF\xBD";

// A class of the tests' own whose names carry markup: the class name, a
// member name and an enumerator name would each break out of an attribute.
struct Hostile {
    Chain chain;
    CXQOVADictionary dictionary;
    CXQOVAObject object;
    Hostile() : chain(Make()), dictionary(chain.Head()), object(&dictionary, 0x00F00100u, 100) {}
    static Bytes Make() {
        auto tag = M("a<b&c'd>e", 0x10);
        tag.enumerators = {{7, "E\"7\" injected=\"1"}};
        return Build(Class("CEvil\" injected=\"1", 0x00F00100u,
                           {M("Text", 0x48), M("Wide", 0x49), M("Byte", 0x08), M("Unit", 0x09), tag}));
    }
};

TEST(XmlSafeForm, EscapesNamesAndReplacesWhatXmlCannotCarry) {
    struct Row {
        const char* what;
        std::vector<unsigned char> text;     // Text (ansichar UNBOUNDED)
        std::vector<unsigned short> wide;    // Wide (widechar UNBOUNDED)
        unsigned char byte;                  // Byte (ansichar scalar)
        unsigned short unit;                 // Unit (widechar scalar)
        std::string textValue, wideValue, byteValue, unitValue;  // as the safe form writes them
    };
    const std::vector<Row> rows = {
        {"plain", {'h', 'i'}, {'o', 'k'}, 'b', 'u', "hi", "ok", "b", "u"},
        {"CDATA closer in text and wide text", {'x', ']', ']', '>', 'y'}, {']', ']', ']', '>'}, ']', '>',
         "x]]]]><![CDATA[>y", "]]]]]><![CDATA[>", "]", ">"},
        {"terminal escapes and controls", {0x1B, '[', '2', 'J', 0x07, '\r'}, {0x9B, 0x1B, 0x7F, '\t'}, 0x1B, 0x85,
         kFFFD + "[2J" + kFFFD + kFFFD, kFFFD + kFFFD + kFFFD + "\t", kFFFD, kFFFD},
        {"invalid UTF-8, overlong and surrogate forms", {0xFF, 'a', 0xC0, 0xAF, 0xED, 0xA0, 0x80, 0xC3, 0xA9},
         {0xE9}, 0xE9, 0xE9, kFFFD + "a" + kFFFD + kFFFD + kFFFD + kFFFD + kFFFD + "\xC3\xA9", "\xC3\xA9", kFFFD,
         "\xC3\xA9"},
        {"surrogates and non-characters", {0xEF, 0xBF, 0xBE, 0xF0, 0x9F, 0x98, 0x80},
         {0xD83D, 0xDE00, 0xD800, 'a', 0xDC00, 0xFFFE, 0xFFFF, 0xD83D}, 0, 0xD800,
         kFFFD + "\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80" + kFFFD + "a" + kFFFD + kFFFD + kFFFD + kFFFD, "", kFFFD},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Hostile h;
        CXQOVAObject& o = h.object;
        ASSERT_EQ(o.SetMember(0, reinterpret_cast<const char*>(row.text.data()), static_cast<std::uint16_t>(row.text.size())), 1);
        ASSERT_EQ(o.SetMember(1, row.wide.data(), static_cast<std::uint16_t>(row.wide.size())), 1);
        o.SetMember(2, static_cast<char>(row.byte));
        o.SetMember(3, row.unit);
        o.SetMember(4, static_cast<unsigned char>(7));
        const Documents d = WriteAll(o);

        EXPECT_EQ(d.safe8, d.safe16);
        EXPECT_TRUE(CleanText(d.safe8));
        const auto value = [](const std::string& v) { return "<VALUE><![CDATA[" + v + "]]></VALUE>"; };
        EXPECT_NE(d.safe8.find(value(row.textValue)), std::string::npos) << d.safe8;
        EXPECT_NE(d.safe8.find(value(row.wideValue)), std::string::npos) << d.safe8;
        EXPECT_NE(d.safe8.find(value(row.byteValue)), std::string::npos) << d.safe8;
        EXPECT_NE(d.safe8.find(value(row.unitValue)), std::string::npos) << d.safe8;
        // Every name stays inside its attribute.
        EXPECT_NE(d.safe8.find("<DEFINITION class=\"CEvil&quot; injected=&quot;1\" version=\"100\""), std::string::npos);
        EXPECT_NE(d.safe8.find(" name=\"a&lt;b&amp;c&apos;d&gt;e\" "), std::string::npos);
        EXPECT_NE(d.safe8.find("<ENUM name=\"E&quot;7&quot; injected=&quot;1\" defaultvalue=\"7\""), std::string::npos);
        EXPECT_EQ(Count(d.safe8, "injected=\""), 0u);
        EXPECT_EQ(CountMarkup(d.safe8, "<MEMBER "), 5u);
        // The exact form is what the writer always wrote: names unescaped.
        EXPECT_NE(d.exact.find("<DEFINITION class=\"CEvil\" injected=\"1\""), std::string::npos);
    }
}

// A device's CNetworkCLocID (length field 94) whose LocationID closes its CDATA
// section and opens a member of its own: the exact document carries the
// injected member, the safe one keeps it text.
TEST(XmlSafeForm, DeviceTextCannotAddElements) {
    const std::string text = "x]]></VALUE></MEMBER><MEMBER type=\"ansichar\" name=\"INJECTED\"><VALUE><![CDATA[evil";
    Bytes bytes = {0x00, 0x6B, 0x08, 0x01, 0x00, 0x5E, 0x00, 0x64, 0x00, 0x00, 0x00, 0x00, 0x52};
    bytes.insert(bytes.end(), text.begin(), text.end());
    bytes.insert(bytes.end(), {0x00, 0x00, 0x01, 0x00, 0x00, 0x00});
    const std::uint16_t crc = CalculateCRC(bytes.data(), static_cast<std::uint32_t>(bytes.size() - 2));
    ASSERT_EQ(bytes.size(), 100u);
    ASSERT_EQ(crc, 0x1E02);
    bytes[98] = 0x1E;
    bytes[99] = 0x02;

    CXQOVAObject object(&DeviceDictionary(), xqova::EncodedBytes{bytes.data(), bytes.size()});
    ASSERT_EQ(object.SizeAll(0xFFFF), 100u);
    const Documents d = WriteAll(object);
    EXPECT_EQ(CountMarkup(d.exact, "<MEMBER "), 3u);
    EXPECT_EQ(CountMarkup(d.safe8, "<MEMBER "), 2u);
    EXPECT_NE(d.safe8.find("<VALUE><![CDATA[x]]]]><![CDATA[></VALUE></MEMBER><MEMBER type=\"ansichar\" "
                           "name=\"INJECTED\"><VALUE><![CDATA[evil]]></VALUE>"),
              std::string::npos)
        << d.safe8;
    EXPECT_EQ(d.safe8, d.safe16);
}

// For ASCII names and values without "]]>" the safe form is the exact one.
TEST(XmlSafeForm, SameAsExactForPlainObjects) {
    std::mt19937 rng(13);
    for (std::uint16_t i = 0; i < DeviceDictionary().GetDefinitionCount(); ++i) {
        CXQOVAObject object(&DeviceDictionary(), DefinitionClassID(DeviceDictionary().GetDefinitionAt(i)), 0xFFFF);
        FillRandom(object, rng, DeviceDictionary());
        const Documents d = WriteAll(object);
        // Widechar members hold only printable ASCII here, and floats are finite.
        EXPECT_EQ(d.safe8, d.exact) << DefinitionClassID(DeviceDictionary().GetDefinitionAt(i));
        EXPECT_EQ(d.safe16, d.exact);
    }
}

}  // namespace
