// What the tool shows people: control characters from devices and
// definition files never reach a terminal, the XML it writes by default is
// the well-formed form, and a text's zero character is shown, not hidden.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tool_test_support.h"
#include "tools/qova/bytes_io.h"
#include "tools/qova/commands.h"
#include "tools/qova/messages.h"
#include "xqova/message/connection.h"
#include "xqova/object/object.h"

namespace {

using qova::Bytes;

TEST(TerminalOutput, ControlsAndInvalidBytesAreShownEscaped) {
    const struct {
        std::string in, out;
    } rows[] = {
        {"plain\ttext\n", "plain\ttext\n"},
        {"a\x1b]0;title\x07z", "a\\u001b]0;title\\u0007z"},
        {std::string("shown\0hidden", 12), "shown\\u0000hidden"},
        {"\r\x7f", "\\u000d\\u007f"},
        {"\xc2\x9b" "2J \xc2\xa0", "\\u009b2J \xc2\xa0"},  // C1 CSI escaped, no-break space kept
        {"\xff\xc3\xa9\xe2\x82", "\\xff\xc3\xa9\\xe2\\x82"},
    };
    for (const auto& row : rows) EXPECT_EQ(qova::TerminalSafe(row.in), row.out);
}

// CNetworkCLocID, LocationID set to `text` (its element count is the text's
// length plus the terminator).
Bytes Location(const std::string& text) {
    CXQOVAObject object(&tool_test::TestCatalog().Dictionary(), 0x006B0801u, 0xFFFF);
    object.SetMember(0, text.data(), static_cast<std::uint16_t>(text.size()));
    Bytes bytes(object.SizeAll(0xFFFF));
    object.Serialize(bytes.data(), bytes.size(), 0xFFFF);
    return bytes;
}

TEST(TerminalOutput, DecodeShowsTheWholeTextAndWritesTheSafeXml) {
    const Bytes hidden = Location(std::string("shown\0hidden", 12));
    const std::string table = qova::TerminalSafe(
        qova::DecodeObject(tool_test::TestCatalog(), hidden, qova::ObjectOutput::kTable, nullptr));
    EXPECT_NE(table.find("\"shown\\u0000hidden\""), std::string::npos) << table;

    const Bytes hostile = Location("]]>\x1b[2J");
    for (auto form : {qova::ObjectOutput::kXml, qova::ObjectOutput::kXmlUtf16}) {
        const std::string xml = qova::DecodeObject(tool_test::TestCatalog(), hostile, form, nullptr);
        EXPECT_NE(xml.find("<![CDATA[]]]]><![CDATA[>\xEF\xBF\xBD[2J]]>"), std::string::npos) << xml;
        EXPECT_EQ(qova::TerminalSafe(xml), xml);
    }
    const std::string exact = qova::DecodeObject(tool_test::TestCatalog(), hostile, qova::ObjectOutput::kXmlExact, nullptr);
    EXPECT_NE(exact.find("<![CDATA[]]>\x1b[2J]]>"), std::string::npos) << exact;
}

// A frame's exact XML is the message's own rendering, whole; the default one
// is well-formed for any SourceID.
TEST(TerminalOutput, FrameXmlIsTheMessagesOwnAndWellFormedForAnySourceId) {
    const Bytes frame = qova::EncodeMessageFrame("CConDStd", {"SourceID=a]]></VALUE>\x1b\xff"}, 0);
    const qova::DecodedFrame decoded = qova::DecodeMessageFrame(tool_test::TestCatalog(), frame);
    CConDStd message;
    ASSERT_EQ(message.deserialize_all(frame.data(), frame.size()), frame.size());
    std::vector<char> own(message.size_XML());
    ASSERT_EQ(message.serialize_to_XMLbuf(own.data()), own.size());
    EXPECT_EQ(decoded.exactXml, std::string(own.data()));
    const std::string exact = "<![CDATA[a]]></VALUE>\x1b\xff]]>";
    const std::string safe = "<![CDATA[a]]]]><![CDATA[></VALUE>\xEF\xBF\xBD\xEF\xBF\xBD]]>";
    EXPECT_NE(decoded.exactXml.find(exact), std::string::npos) << decoded.exactXml;
    EXPECT_NE(decoded.xml.find(safe), std::string::npos) << decoded.xml;
    EXPECT_EQ(decoded.xml.size() - safe.size(), decoded.exactXml.size() - exact.size());
    // The other messages carry no text: both forms are the one rendering.
    const qova::DecodedFrame descriptor = qova::DecodeMessageFrame(
        tool_test::TestCatalog(), qova::EncodeMessageFrame("CConDDescriptor", {"Descriptor=2"}, 0));
    EXPECT_EQ(descriptor.xml, descriptor.exactXml);
    EXPECT_NE(descriptor.xml.find("<VALUE><![CDATA[2]]></VALUE>"), std::string::npos) << descriptor.xml;
}

}  // namespace
