// The writers that take the buffer's capacity: a host that sized its buffer
// and then changed the object gets a refusal, with nothing written, instead
// of a write past the buffer. Within the capacity they write what the
// writers without a capacity write.
#include <gtest/gtest.h>

#include <vector>

#include "xml_test_support.h"

namespace {

using namespace xml_test;

constexpr std::uint32_t kLocation = 0x006B0801;  // CNetworkCLocID: LocationID, UnitID (ansichar UNBOUNDED)

TEST(CapacityWriters, StaleSizesAreRefusedWithoutWriting) {
    CXQOVAObject object(&DeviceDictionary(), kLocation, 0xFFFF);
    ASSERT_EQ(object.SetMember(0, "ab", 2), 1);
    const std::uint32_t binary = object.SizeAll(0xFFFF);
    const std::uint32_t xml8 = object.XMLSizeAll(0xFFFF);
    const std::uint32_t xml16 = object.XMLSizeAll(XML_ENCODING_UTF16, 0xFFFF);
    const std::uint32_t safe8 = object.XMLSizeAllSafe(XML_ENCODING_CHAR, 0xFFFF);
    const std::uint32_t safe16 = object.XMLSizeAllSafe(XML_ENCODING_UTF16, 0xFFFF);
    ASSERT_NE(binary * xml8 * xml16 * safe8 * safe16, 0u);

    // Within the capacity: the results and bytes of the writers without a capacity.
    std::vector<unsigned char> a(binary), b(binary);
    EXPECT_EQ(object.Serialize(a.data(), 0xFFFF), binary);
    EXPECT_EQ(object.Serialize(b.data(), b.size(), 0xFFFF), binary);
    EXPECT_EQ(a, b);
    const Written<char> exact = Write8(object, 0xFFFF);
    std::vector<char> chars(xml8);
    ASSERT_EQ(object.XMLSerialize(chars.data(), chars.size(), 0xFFFF), exact.result);
    EXPECT_EQ(std::string(chars.data(), exact.result - 1), exact.text);
    std::vector<unsigned short> units(xml16 / 2);
    EXPECT_EQ(object.XMLSerialize(units.data(), xml16, 0xFFFF), xml16);

    ASSERT_EQ(object.SetMember(0, "abcdefgh", 8), 1);
    std::vector<unsigned char> bytes(binary + 64, 0x5A);
    std::vector<char> text(xml8 + 64, 0x5A);
    std::vector<unsigned short> wide(xml16 / 2 + 64, 0x5A);
    EXPECT_EQ(object.Serialize(bytes.data(), binary, 0xFFFF), 0u);
    EXPECT_EQ(object.XMLSerialize(text.data(), xml8, 0xFFFF), 0u);
    EXPECT_EQ(object.XMLSerialize(wide.data(), xml16, 0xFFFF), 0u);
    EXPECT_EQ(object.XMLSerializeSafe(text.data(), safe8, 0xFFFF), 0u);
    EXPECT_EQ(object.XMLSerializeSafe(wide.data(), safe16, 0xFFFF), 0u);
    for (unsigned char c : bytes) ASSERT_EQ(c, 0x5A);
    for (char c : text) ASSERT_EQ(c, 0x5A);
    for (unsigned short u : wide) ASSERT_EQ(u, 0x5A);

    // Sized again, the same calls succeed.
    EXPECT_EQ(object.Serialize(bytes.data(), object.SizeAll(0xFFFF), 0xFFFF), binary + 6);
    EXPECT_EQ(object.XMLSerialize(wide.data(), object.XMLSizeAll(XML_ENCODING_UTF16, 0xFFFF), 0xFFFF), xml16 + 12);
    EXPECT_EQ(object.XMLSerialize(static_cast<char*>(nullptr), 1000, 0xFFFF), 0u);
    EXPECT_EQ(object.XMLSerializeSafe(static_cast<unsigned short*>(nullptr), 1000, 0xFFFF), 0u);
}

}  // namespace
