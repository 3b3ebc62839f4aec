// Writes the XML document of every built-in class, with seeded random values
// (printable ASCII in text members), into a folder in 8-bit text and in
// UTF-16 written out as UTF-8; and the well-formed form of each with hostile
// texts (CDATA closers, markup, controls, invalid UTF-8, lone surrogates) in
// every character member, in both encodings, which must agree. xmllint must
// parse them all.
//   xqova_xml_wellformed <xmllint> <folder>     exit 0: all well-formed
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "encoding/xml_test_support.h"

namespace {

// Random bytes or code units drawn mostly from what breaks documents.
void FillHostileText(CXQOVAObject& object, std::mt19937& rng) {
    static const unsigned short kPicks[] = {']', ']', '>', '<', '&', '"', '\'', 0x1B, 0x07, 0x0D, 0x7F, 0x9B,
                                            0xC0, 0xE9, 0xFF, 0xD800, 0xDC00, 0xFFFE, 0xFFFF, 'a'};
    for (std::uint16_t pos = 0; pos < object.MemberCount(); ++pos) {
        CXQOVAData_u& m = object.At(pos);
        const std::uint8_t type = m.Type();
        if (CXQOVAObject* nested = m) FillHostileText(*nested, rng);
        if (CXQOVAVector* vector = m) {
            for (std::uint16_t i = 0; i < vector->Size(); ++i) FillHostileText(*vector->At(i), rng);
        }
        if ((type & 0x28) != 0x08 || (type & 7) > 1) continue;
        const bool array = (type & 0xC0) != 0;
        const std::uint16_t count = array ? ((type & 0x80) ? object.GetMemberAtNumElements(pos) - 1 : 24) : 1;
        std::vector<unsigned char> bytes(count);
        std::vector<unsigned short> units(count);
        for (std::uint16_t i = 0; i < count; ++i) {
            units[i] = kPicks[rng() % (sizeof kPicks / sizeof kPicks[0])];
            bytes[i] = units[i] > 0xFF ? static_cast<unsigned char>(0x80 | (rng() & 0x3F)) : static_cast<unsigned char>(units[i]);
        }
        if (!array) {
            if ((type & 7) == 0) object.SetMemberAt(pos, static_cast<char>(bytes[0]));
            if ((type & 7) == 1) object.SetMemberAt(pos, units[0]);
        } else if ((type & 7) == 0) {
            object.SetMemberAt(pos, reinterpret_cast<const char*>(bytes.data()), count);
        } else {
            object.SetMemberAt(pos, units.data(), count);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    const std::string folder = argv[2];
    if (std::system(("mkdir -p '" + folder + "'").c_str()) != 0) return 2;
    using namespace xml_test;
    std::mt19937 rng(4242);
    std::string command = std::string("'") + argv[1] + "' --noout";
    int documents = 0;
    for (CXQOVADictionary* dictionary : {&SdkDictionary(), &DeviceDictionary()}) {
        for (std::uint16_t i = 0; i < dictionary->GetDefinitionCount(); ++i) {
            const void* definition = dictionary->GetDefinitionAt(i);
            CXQOVAObject object(dictionary, DefinitionClassID(definition), 0xFFFF);
            FillRandom(object, rng, *dictionary);
            const std::string path = folder + "/" + xqova::DefinitionText(definition, 0xFFFF);
            const auto w = Write8(object, 0xFFFF);
            const auto u = Write16(object, 0xFFFF);
            if (w.result == 0 || u.result == 0) return 1;
            std::ofstream(path + ".xml", std::ios::binary) << w.text;
            std::ofstream(path + ".utf16.xml", std::ios::binary) << ToUtf8(u.text);
            command += " '" + path + ".xml' '" + path + ".utf16.xml'";
            documents += 2;

            FillHostileText(object, rng);
            std::vector<char> safe(object.XMLSizeAllSafe(XML_ENCODING_CHAR, 0xFFFF));
            std::vector<unsigned short> safe16(object.XMLSizeAllSafe(XML_ENCODING_UTF16, 0xFFFF) / 2);
            if (safe.empty() || object.XMLSerializeSafe(safe.data(), safe.size(), 0xFFFF) != safe.size() ||
                safe16.empty() || object.XMLSerializeSafe(safe16.data(), safe16.size() * 2, 0xFFFF) != safe16.size() * 2) {
                return 1;
            }
            const std::string text(safe.data(), safe.size() - 1);
            if (ToUtf8(std::u16string(safe16.begin(), safe16.end() - 1)) != text) return 1;
            std::ofstream(path + ".safe.xml", std::ios::binary) << text;
            command += " '" + path + ".safe.xml'";
            ++documents;
        }
    }
    const int status = std::system(command.c_str());
    std::printf("%d documents, xmllint: %s\n", documents, status == 0 ? "all well-formed" : "FAILED");
    return status == 0 ? 0 : 1;
}
