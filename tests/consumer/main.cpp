// Uses an installed copy of the library through its umbrella header only:
// the road of one reading, as the README shows it.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "xqova/xqova.h"

int main() {
    CXQOVADictionary dictionary(RER_KLEV_ZENTO::Dictionary());   // the built-in device classes
    CXQOVAStringTable names;
    if (names.AddDictionaryTables(&dictionary) != 1) return 1;   // English names of every class

    // A reading as a device would send it.
    CXQOVAObject sent(&dictionary, 0x00050000u, 0xFFFF);         // CNIBPDStd
    sent.SetMember(2, static_cast<short>(120));
    std::vector<unsigned char> bytes(sent.SizeAll(0xFFFF));
    if (bytes.empty() || sent.Serialize(bytes.data(), 0xFFFF) != bytes.size()) return 2;
    const std::size_t length = bytes.size();

    xqova::DecodeReport why;                                     // strict: the whole record, or the reason
    xqova::DecodedObject decoded = xqova::DecodeObject(&dictionary, bytes.data(), length, &why);
    if (!decoded) {
        std::printf("%s at offset %zu in %s\n", xqova::DecodeCheckName(why.check), why.offset, why.path);
        return 8;
    }
    CXQOVAObject& reading = *decoded;                            // owned by the handle; bounded by length
    reading.SetStringTable(&names);
    std::int32_t systolic = reading.Member(2);                   // typed conversion of a member
    const char* name = reading.GetMemberText(2, 0xFF);           // "Systolic"
    if (systolic != 120 || name == nullptr || std::strcmp(name, "Systolic") != 0) return 3;

    reading.SetMember(2, static_cast<short>(118));
    std::vector<unsigned char> out(reading.SizeAll(0xFFFF));
    if (reading.Serialize(out.data(), out.size(), 0xFFFF) != out.size()) return 7;  // big-endian, checksummed
    std::vector<char> xml(reading.XMLSizeAllSafe(XML_ENCODING_CHAR, 0xFFFF));
    if (xml.empty() || reading.XMLSerializeSafe(xml.data(), xml.size(), 0xFFFF) != xml.size()) return 4;  // the XML document
    if (std::strstr(xml.data(), "<![CDATA[118]]>") == nullptr) return 5;

    const char* text = "123456789";
    if (CalculateCRC(reinterpret_cast<const unsigned char*>(text), 9) != 0x6F91) return 6;
    std::printf("consumer: xqova works (%s = %d, %u bytes, %u bytes of XML)\n", name, static_cast<int>(systolic),
                static_cast<unsigned>(out.size()), static_cast<unsigned>(xml.size()));
    return 0;
}
