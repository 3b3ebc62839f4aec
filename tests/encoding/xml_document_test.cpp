// Whole documents: the clinician configuration line for line, member lines
// with every attribute, enumerations, and versions the stored base size
// cannot hold.
#include <gtest/gtest.h>

#include "encoding/xml_test_support.h"
#include "xqova/core/crc16.h"

namespace {

using namespace xml_test;

const char kClinician[] =
    "<DEFINITION class=\"CClinicianCStd\" version=\"100\" family=\"101\" genus=\"8\" species=\"0\">\n"
    "<MEMBERS>\n"
    "<MEMBER type=\"uint8\" name=\"BarcodeEnabled\" minversion=\"100\" maxversion=\"CURRENT_VERSION\">\n"
    "<VALUE><![CDATA[1]]></VALUE>\n"
    "</MEMBER>\n"
    "<MEMBER type=\"uint16\" name=\"ExternalPort\" minversion=\"100\" maxversion=\"CURRENT_VERSION\">\n"
    "<VALUE><![CDATA[10]]></VALUE>\n"
    "</MEMBER>\n"
    "</MEMBERS>\n"
    "<ENUMERATION name=\"ExternalPort\">\n"
    "<ENUM name=\"EXTERNALPORT_PORT_1\" defaultvalue=\"10\" selected=\"YES\"/>\n"
    "</ENUMERATION>\n"
    "</DEFINITION>\n";

TEST(XmlDocument, ClinicianConfigurationLineForLine) {
    CXQOVAObject clinician(&DeviceDictionary(), kClinicianC, 100);
    clinician.SetMember(0, static_cast<unsigned char>(1));
    clinician.SetMember(1, static_cast<unsigned short>(10));
    const auto w = Write8(clinician, 0xFFFF);
    EXPECT_EQ(w.text, kClinician);
    EXPECT_EQ(w.result, 496u);
    EXPECT_EQ(w.size, 498u);
    const auto u = Write16(clinician, 0xFFFF);
    EXPECT_EQ(u.text, Widen(kClinician));
    EXPECT_EQ(u.result, 992u);
    EXPECT_EQ(u.size, 992u);
    EXPECT_TRUE(w.guardIntact && u.guardIntact);
    EXPECT_EQ(clinician.XMLSizeAll(static_cast<XMLEncoding_e>(3), 0xFFFF), 0u);
    EXPECT_EQ(clinician.XMLSerialize(static_cast<char*>(nullptr), 0xFFFF), 0u);

    // A version below every member: all lines empty, the version written as
    // given; the enumerations follow the members the object holds. A value
    // without enumerator leaves its ENUMERATION element empty.
    clinician.SetMember(1, static_cast<unsigned short>(5));
    const auto old = Write8(clinician, 99);
    EXPECT_EQ(old.text,
              "<DEFINITION class=\"CClinicianCStd\" version=\"99\" family=\"101\" genus=\"8\" species=\"0\">\n"
              "<MEMBERS>\n"
              "<MEMBER type=\"uint8\" name=\"BarcodeEnabled\" minversion=\"100\" maxversion=\"CURRENT_VERSION\"/>\n"
              "<MEMBER type=\"uint16\" name=\"ExternalPort\" minversion=\"100\" maxversion=\"CURRENT_VERSION\"/>\n"
              "</MEMBERS>\n"
              "<ENUMERATION name=\"ExternalPort\">\n"
              "</ENUMERATION>\n"
              "</DEFINITION>\n");
    EXPECT_EQ(old.size - old.result, 3u);  // the base counts five version digits
}

TEST(XmlDocument, BitmaskListsTheEnumeratorsOfItsSetBitsInTableOrder) {
    CXQOVAObject number(&SdkDictionary(), kNumD, 0xFFFF);
    number.Member(1).SetBit(3, 1);
    number.Member(1).SetBit(1, 1);
    const auto w = Write8(number, 0xFFFF);
    EXPECT_NE(w.text.find("name=\"StatusBits\" minversion=\"200\" maxversion=\"CURRENT_VERSION\" format=\"BITMASK\">\n"
                          "<VALUE><![CDATA[10]]></VALUE>\n</MEMBER>\n</MEMBERS>\n"
                          "<ENUMERATION name=\"StatusBits\">\n"
                          "<ENUM name=\"STATUSBITS_OVERRANGE\" defaultvalue=\"1\" selected=\"YES\"/>\n"
                          "<ENUM name=\"STATUSBITS_UNDETERMINEDRANGE\" defaultvalue=\"3\" selected=\"YES\"/>\n"
                          "</ENUMERATION>\n</DEFINITION>\n"),
              std::string::npos);
    EXPECT_EQ(w.size - w.result, 2u);
}

// A member absent at the object's version ahead of one with an enumeration:
// the ENUMERATION element describes the member it is named after.
TEST(XmlDocument, EnumerationDescribesTheMemberItIsNamedAfter) {
    auto later = M("Later", 0x11, 101), mode = M("Mode", 0x10);
    later.enumerators = {{0, "LATER_0"}, {4, "LATER_4"}};
    mode.enumerators = {{0, "MODE_0"}, {4, "MODE_4"}};
    Chain chain(Build(Class("CTwoEnums", 0x00430000, {later, mode}, 101)));
    CXQOVADictionary dictionary(chain.Head());
    CXQOVAObject object(&dictionary, 0x00430000u, 100);
    object.SetMember(1, static_cast<unsigned char>(4));
    const auto w = Write8(object, 0xFFFF);
    EXPECT_NE(w.text.find("</MEMBERS>\n<ENUMERATION name=\"Mode\">\n"
                          "<ENUM name=\"MODE_4\" defaultvalue=\"4\" selected=\"YES\"/>\n</ENUMERATION>\n</DEFINITION>\n"),
              std::string::npos);
    EXPECT_EQ(w.text.find("LATER_"), std::string::npos);
    EXPECT_EQ(w.size - w.result, 2u);
}

// A value names the first pair of its own member's table that holds it (in a
// table of small values and in one whose values are far apart); a BITMASK
// member repeats that line for every pair of the set bit.
TEST(XmlDocument, EnumeratorIsTheFirstPairWithTheValueInItsOwnTable) {
    auto first = M("First", 0x10), second = M("Second", 0x10), bits = M("Bits", 0x38);
    first.enumerators = {{2, "FIRST_2"}, {1, "FIRST_1"}};
    second.enumerators = {{40000, "SECOND_40000"}, {1, "SECOND_1"}, {1, "SECOND_1_AGAIN"}};
    bits.enumerators = {{0, "BIT_0"}, {1, "BIT_1"}, {1, "BIT_1_AGAIN"}};
    Chain chain(Build(Class("CDuplicates", 0x00440000, {first, second, bits})));
    CXQOVADictionary dictionary(chain.Head());
    CXQOVAObject object(&dictionary, 0x00440000u, 0xFFFF);
    object.SetMember(0, static_cast<unsigned char>(1));
    object.SetMember(1, static_cast<unsigned char>(1));
    object.Member(2).SetBit(1, 1);
    const auto w = Write8(object, 0xFFFF);
    const char* line = "\" selected=\"YES\"/>\n";
    EXPECT_NE(w.text.find(std::string("</MEMBERS>\n<ENUMERATION name=\"First\">\n<ENUM name=\"FIRST_1\" defaultvalue=\"1") +
                          line + "</ENUMERATION>\n<ENUMERATION name=\"Second\">\n<ENUM name=\"SECOND_1\" defaultvalue=\"1" +
                          line + "</ENUMERATION>\n<ENUMERATION name=\"Bits\">\n<ENUM name=\"BIT_1\" defaultvalue=\"1" + line +
                          "<ENUM name=\"BIT_1\" defaultvalue=\"1" + line + "</ENUMERATION>\n</DEFINITION>\n"),
              std::string::npos)
        << w.text;
    EXPECT_EQ(w.size - w.result, 2u);
    EXPECT_EQ(Write16(object, 0xFFFF).text, Widen(w.text));
}

// Text entries may name one enumeration table between them: each member's
// value selects from that table (read by value, and by bit for a BITMASK).
TEST(XmlDocument, MembersNamingOneTableSelectFromIt) {
    auto first = M("First", 0x10), second = M("Second", 0x10), bits = M("Bits", 0x38);
    first.enumerators = {{1, "ONE"}, {2, "TWO"}};
    second.enumerators = {{7, "SEVEN"}, {8, "EIGHT"}};
    bits.enumerators = {{5, "FIVE"}, {6, "SIX"}};
    Bytes block = Build(Class("CSharedTable", 0x00450000, {first, second, bits}));
    // The entries of Second and Bits point at the table of First.
    unsigned char* text = block.data() + xqova::DefinitionTextOffset(block.data());
    WriteInt16(text + 8, ReadInt16(text + 4));
    WriteInt16(text + 12, ReadInt16(text + 4));
    WriteInt16(block.data() + block.size() - 2, CalculateCRC(block.data(), static_cast<std::uint32_t>(block.size() - 2)));
    Chain chain(block);
    CXQOVADictionary dictionary(chain.Head());
    CXQOVAObject object(&dictionary, 0x00450000u, 0xFFFF);
    object.SetMember(0, static_cast<unsigned char>(2));
    object.SetMember(1, static_cast<unsigned char>(1));
    object.Member(2).SetBit(2, 1);
    const auto w = Write8(object, 0xFFFF);
    const std::string line = "\" selected=\"YES\"/>\n";
    EXPECT_NE(w.text.find("</MEMBERS>\n<ENUMERATION name=\"First\">\n<ENUM name=\"TWO\" defaultvalue=\"2" + line +
                          "</ENUMERATION>\n<ENUMERATION name=\"Second\">\n<ENUM name=\"ONE\" defaultvalue=\"1" + line +
                          "</ENUMERATION>\n<ENUMERATION name=\"Bits\">\n<ENUM name=\"TWO\" defaultvalue=\"2" + line +
                          "</ENUMERATION>\n</DEFINITION>\n"),
              std::string::npos)
        << w.text;
    EXPECT_EQ(w.size - w.result, 2u);
}

// Documents are built from templates kept beside the dictionary: the name
// of a member's class follows the definitions added and the search mode.
TEST(XmlDocument, MemberClassNameFollowsTheDictionary) {
    auto held = M("Held", 0x06);
    held.memberClass = 0x00480000;
    auto leafTwo = Class("CLeafTwo", 0x00480000, {M("A", 0x13)}, 101);
    const Bytes host = Build(Class("CHost", 0x00470000, {held}), "CLeafTwo");
    const Bytes leaf = Build(Class("CLeaf", 0x00480000, {M("A", 0x13)}));
    const Bytes newer = Build(leafTwo);
    TableEntry_s leafNode{const_cast<unsigned char*>(leaf.data()), nullptr};
    TableEntry_s hostNode{const_cast<unsigned char*>(host.data()), &leafNode};
    CXQOVADictionary dictionary(&hostNode);
    CXQOVAObject object(&dictionary, 0x00470000u, 0xFFFF);
    auto memberClass = [&object] {
        const std::string text = Write8(object, 0xFFFF).text;
        EXPECT_EQ(ToUtf8(Write16(object, 0xFFFF).text), text);
        const std::size_t at = text.find("class=\"CLeaf");
        return at == std::string::npos ? std::string() : text.substr(at + 7, text.find('"', at + 7) - at - 7);
    };
    EXPECT_EQ(memberClass(), "CLeaf");
    ASSERT_NE(dictionary.AddDefinition(newer.data()), nullptr);
    EXPECT_EQ(memberClass(), "CLeafTwo");
    dictionary.SetSearchMode(SEARCH_MODE_BASE);
    EXPECT_EQ(memberClass(), "CLeaf");
    dictionary.SetSearchMode(SEARCH_MODE_ALL);
    EXPECT_EQ(memberClass(), "CLeafTwo");
}

// Each version asked for has a template of its own, and the dictionary keeps
// a bounded number of them: documents at more versions than it keeps are
// written all the same, from templates made for the call.
TEST(XmlDocument, DocumentsPastTheTemplateCacheAreWrittenAlike) {
    CXQOVADictionary dictionary(RER_KLEV_ZENTO::Dictionary());
    CXQOVAObject clinician(&dictionary, kClinicianC, 100);
    clinician.SetMember(0, static_cast<unsigned char>(1));
    clinician.SetMember(1, static_cast<unsigned short>(10));
    const std::size_t at = std::string(kClinician).find("version=\"100\"") + 9;
    for (std::uint32_t v = 10000; v < 20000; v += 2) {
        const std::string expected = std::string(kClinician).replace(at, 3, std::to_string(v));
        const auto w = Write8(clinician, static_cast<std::uint16_t>(v));
        ASSERT_EQ(w.text, expected) << v;
        ASSERT_EQ(w.result, w.size);
    }
}

TEST(XmlDocument, MemberLinesCarryEveryDeclaredAttribute) {
    auto aliased = M("Aliased", 0x2B), fixed = M("Fixed", 0x91), nested = M("Nested", 0x06), any = M("Any", 0x46);
    aliased.alias = 0x80000000u;
    aliased.units = 7;
    aliased.scaleCoefficient = 65535;
    aliased.scaleExponent = -3;
    fixed.fixedCount = 12;
    fixed.maxVersion = 300;
    nested.memberClass = kClinicianC;
    Chain chain(Build(Class("CAttributes", 0x00420100, {aliased, fixed, nested, any, M("Odd", 0x30)}, 200)));
    CXQOVADictionary dictionary(chain.Head());
    dictionary.AddDefinition(DeviceDictionary().GetDefinition(kClinicianC));
    CXQOVAObject object(&dictionary, 0x00420100u, 0xFFFF);
    const auto w = Write8(object, 1);
    EXPECT_EQ(w.text,
              "<DEFINITION class=\"CAttributes\" version=\"1\" family=\"66\" genus=\"1\" species=\"0\">\n<MEMBERS>\n"
              "<MEMBER type=\"int32\" name=\"Aliased\" minversion=\"100\" maxversion=\"CURRENT_VERSION\" "
              "alias=\"-2147483648\" units=\"7\" scalecoefficient=\"65535\" scaleexponent=\"-3\" format=\"BITMASK\"/>\n"
              "<MEMBER type=\"uint16\" size=\"12\" name=\"Fixed\" minversion=\"100\" maxversion=\"300\"/>\n"
              "<MEMBER type=\"OBJECT\" class=\"CClinicianCStd\" name=\"Nested\" minversion=\"100\" "
              "maxversion=\"CURRENT_VERSION\"/>\n"
              "<MEMBER type=\"OBJECT\" class=\"ANY_CLASS\" size=\"UNBOUNDED\" name=\"Any\" minversion=\"100\" "
              "maxversion=\"CURRENT_VERSION\"/>\n"
              "<MEMBER type=\"\" name=\"Odd\" minversion=\"100\" maxversion=\"CURRENT_VERSION\"/>\n"
              "</MEMBERS>\n</DEFINITION>\n");
    EXPECT_EQ(w.size - w.result, 4u);
    const auto own = Write8(object, 0xFFFF);  // with the nested clinician's own document
    EXPECT_EQ(own.size - own.result, 2u + 2u);
}

// Numeric classes store a base size short of their document with a
// five-digit version (or a two-digit species): the 8-bit writer refuses
// what would pass the size it reports. UTF-16 sizes are measured, never short.
TEST(XmlDocument, VersionTooLongForTheStoredBaseIsRefusedInEightBitText) {
    struct Case {
        std::uint32_t classId;
        std::uint16_t version;
        bool written;
    } const cases[] = {
        {kNumDFloat, 9999, true}, {kNumDFloat, 10000, false},  // stores one less than five digits need
        {kNumDLong, 999, true},   {kNumDLong, 9999, false},    // two less
        {kNumD, 10000, true},     {0x00750017, 9999, true}, {0x00750017, 10000, false},  // species 23
    };
    for (const Case& c : cases) {
        CXQOVAObject object(&SdkDictionary(), c.classId, 0xFFFF);
        const auto w = Write8(object, c.version);
        EXPECT_EQ(w.result != 0, c.written) << std::hex << c.classId << std::dec << " at " << c.version;
        EXPECT_TRUE(w.result <= w.size && w.guardIntact);
        const auto u = Write16(object, c.version);
        EXPECT_TRUE(u.result == u.size && u.result != 0);
    }
}

}  // namespace
