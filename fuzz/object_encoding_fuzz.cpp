// Object encodings from a device: the bounded decoder must stay inside the
// bytes; an encoding it accepts with the strict flag must re-encode to bytes
// that decode to the same object (the same bytes again), and render as XML
// within the sizes it reports.
//
// Every input runs twice: with every checksum accepted (a fuzzing build), and
// with only the outermost one accepted, so that nested objects and vector
// elements whose checksum fails take their paths. Without the strict flag a
// nested object whose checksum failed stays an empty shell that re-encodes as
// version 65535 (docs/security.md), so there the re-encoding only has to be
// accepted again without the strict flag.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "xqova/builtin/builtin.h"
#include "xqova/core/checksum.h"
#include "xqova/object/object.h"

namespace {

std::vector<unsigned char> Encode(CXQOVAObject& object) {
    const std::uint32_t size = object.SizeAll(0xFFFF);
    std::vector<unsigned char> bytes(size);
    if (size == 0 || object.Serialize(bytes.data(), 0xFFFF) != size) bytes.clear();
    return bytes;
}

void Run(const std::vector<unsigned char>& input, bool nestedChecked) {
    CXQOVADictionary& dictionary = xqova::AllBuiltinClasses();
    for (unsigned char strict = 0; strict < 2; ++strict) {
        CXQOVAObject object(&dictionary, xqova::EncodedBytes{input.data(), input.size()});
        if (object.GetDefinition() == nullptr) return;
        if (object.Deserialize(input.data(), input.size(), strict) == 0) continue;
        const std::vector<unsigned char> first = Encode(object);
        if (first.empty()) continue;
        CXQOVAObject again(&dictionary, xqova::EncodedBytes{first.data(), first.size()});
        if (nestedChecked && strict == 0) {
            if (again.Deserialize(first.data(), first.size(), 0) != first.size()) __builtin_trap();
            continue;
        }
        if (again.Deserialize(first.data(), first.size(), 1) != first.size()) __builtin_trap();
        const std::vector<unsigned char> second = Encode(again);
        if (second != first) __builtin_trap();
        if (strict == 0) continue;
        const std::uint32_t xmlSize = object.XMLSizeAll(0xFFFF);
        if (xmlSize != 0) {
            std::vector<char> xml(xmlSize);
            if (object.XMLSerialize(xml.data(), 0xFFFF) > xmlSize) __builtin_trap();
        }
        const std::uint32_t utf16Size = object.XMLSizeAll(XML_ENCODING_UTF16, 0xFFFF);
        if (utf16Size != 0) {
            std::vector<unsigned short> xml(utf16Size / 2);
            if (object.XMLSerialize(xml.data(), 0xFFFF) != utf16Size) __builtin_trap();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<unsigned char> input(data, data + size);  // exact size: reads past it are caught
    for (bool nestedChecked : {false, true}) {
        xqova::fuzzing::EnforceNestedChecksums(nestedChecked);
        Run(input, nestedChecked);
    }
    xqova::fuzzing::EnforceNestedChecksums(false);
    return 0;
}
