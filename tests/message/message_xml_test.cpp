#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "xqova/message/connection.h"
#include "xqova/message/rendezvous.h"

namespace {

// The text a message renders, checked against the size of a null-buffer run.
std::string Render(const DtData& message) {
    const std::uint32_t size = message.size_XML();
    std::vector<char> buffer(size + 8, '#');
    EXPECT_EQ(message.serialize_to_XMLbuf(buffer.data()), size);
    EXPECT_EQ(buffer[size - 1], '\0');
    EXPECT_EQ(buffer[size], '#');
    return std::string(buffer.data());
}

TEST(MessageXml, NewDescriptorText) {
    const std::string expected =
        "<DEFINITION class=\"CConDDescriptor\" version=\"100\" family=\"30\" genus=\"0\" species=\"3\">\n"
        "<MEMBERS>\n"
        "<MEMBER type=\"uint16\" name=\"Descriptor\" minversion=\"100\" maxversion=\"CURRENT_VERSION\">\n"
        "<VALUE><![CDATA[0]]></VALUE>\n"
        "</MEMBER>\n"
        "<MEMBER type=\"uint8\" size=\"UNBOUNDED\" name=\"Data\" minversion=\"100\" maxversion=\"CURRENT_VERSION\">\n"
        "<VALUE><![CDATA[]]></VALUE>\n"
        "</MEMBER>\n"
        "</MEMBERS>\n"
        "<ENUMERATION name=\"Descriptor\">\n"
        "<ENUM name=\"DESCRIPTOR_NORMAL\" defaultvalue=\"0\" selected=\"yes\">\n"
        "<DESCRIPTION language=\"English\"><![CDATA[NO_DESCRIPTION]]></DESCRIPTION>\n"
        "</ENUM>\n"
        "</ENUMERATION>\n"
        "</DEFINITION>\n";
    EXPECT_EQ(Render(CConDDescriptor()), expected);
}

TEST(MessageXml, DescriptorValuesAndEnumeration) {
    CConDDescriptor message;
    message.SetDescriptor(2);
    message.SetData(reinterpret_cast<const unsigned char*>("\x01\x02\xFF"), 3);
    const std::string text = Render(message);
    EXPECT_NE(text.find("<VALUE><![CDATA[1;2;255;]]></VALUE>\n"), std::string::npos);
    EXPECT_NE(text.find("<ENUM name=\"DESCRIPTOR_TRANSPORT_REMOVAL\" defaultvalue=\"2\" selected=\"yes\">"),
              std::string::npos);
    message.SetDescriptor(3);
    EXPECT_EQ(Render(message).find("ENUMERATION"), std::string::npos);
}

TEST(MessageXml, IdentifiersOfNewMessages) {
    EXPECT_NE(Render(CConDStd()).find("<VALUE><![CDATA[{00000000-0000-0000-0000-000000000000}]]></VALUE>\n"),
              std::string::npos);
    const std::string rendezvous = Render(CRNDZDStd());
    EXPECT_NE(rendezvous.find("{7B57323E-D61A-4E3D-8EBC-C8658007BBCB}"), std::string::npos);
    EXPECT_NE(rendezvous.find("<VALUE><![CDATA[1]]></VALUE>\n"), std::string::npos);
}

TEST(MessageXml, ValuesGoInUnescaped) {
    CConDStd message;
    message.SetSourceID("a]]>b\0hidden", 12);
    message.SetReserved(reinterpret_cast<const unsigned char*>("\x00\x0A"), 2);
    const std::string text = Render(message);
    EXPECT_NE(text.find("<VALUE><![CDATA[a]]>b]]></VALUE>\n"), std::string::npos);
    EXPECT_EQ(text.find("hidden"), std::string::npos);
    EXPECT_NE(text.find("<VALUE><![CDATA[0;10;]]></VALUE>\n"), std::string::npos);
    EXPECT_EQ(message.size_XML(), 567u + 5 + 5);

    CConDExtLst list;
    list.AppendConnectionList(reinterpret_cast<const unsigned char*>("\x07\x08"), 2, 1);
    EXPECT_NE(Render(list).find("<VALUE>7;8;</VALUE>\n"), std::string::npos);
}

}  // namespace
