// Writes the XML document of every built-in class, with seeded random values
// (printable ASCII in text members), into a folder in 8-bit text and in
// UTF-16 written out as UTF-8, and has xmllint parse them all.
//   xqova_xml_wellformed <xmllint> <folder>     exit 0: all well-formed
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "encoding/xml_test_support.h"

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    const std::string folder = argv[2];
    if (std::system(("mkdir -p '" + folder + "'").c_str()) != 0) return 2;
    using namespace xml_test;
    std::mt19937 rng(4242);
    std::string command = std::string("'") + argv[1] + "' --noout";
    int documents = 0;
    for (CXQOVADictionary* dictionary : {&Sdk(), &Device()}) {
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
        }
    }
    const int status = std::system(command.c_str());
    std::printf("%d documents, xmllint: %s\n", documents, status == 0 ? "all well-formed" : "FAILED");
    return status == 0 ? 0 : 1;
}
