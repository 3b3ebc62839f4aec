// Definition blocks from outside: a dictionary must accept only sound blocks,
// every reader must stay inside a block it accepted, and objects built from
// an accepted definition must encode, decode and render as XML within the
// sizes they report.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "xqova/dictionary/definition.h"
#include "xqova/dictionary/dictionary.h"
#include "xqova/object/object.h"

namespace {

void ReadEverything(const void* block) {
    const std::uint16_t members = xqova::DefinitionMemberCount(block);
    volatile std::size_t sink = 0;
    for (std::uint16_t p = 0; p <= members; ++p) {
        std::uint32_t cls = 0;
        std::uint16_t count = 0;
        sink = sink + xqova::DefinitionMember(block, p, &cls, &count);
        sink = sink + xqova::DefinitionMemberAlias(block, p) + xqova::DefinitionMemberUnits(block, p);
        sink = sink + xqova::DefinitionMemberScaleCoefficient(block, p);
        sink = sink + static_cast<std::size_t>(xqova::DefinitionMemberScaleExponent(block, p));
        sink = sink + xqova::DefinitionHasEnumeration(block, p);
    }
    for (std::uint32_t i = 0; i <= 0xFFFF; i += (i < members + 8u || i > 0xFFF0u) ? 1u : 0xFF0u) {
        const auto index = static_cast<std::uint16_t>(i);
        if (const char* text = xqova::DefinitionText(block, index)) sink = sink + text[0];
        const std::uint16_t pairs = xqova::DefinitionEnumerationSize(block, index);
        for (std::uint16_t k = 0; k < pairs; ++k) {
            const auto pair = xqova::DefinitionEnumerationPair(block, index, k);
            sink = sink + pair->name[0] + pair->value;
        }
        if (const char* e = xqova::DefinitionEnumerator(block, index, 1)) sink = sink + e[0];
    }
}

void BuildAndEncode(CXQOVADictionary& dictionary, const void* definition) {
    CXQOVAObject object(&dictionary, definition, 0xFFFF);
    for (std::uint16_t pos = 0; pos < object.MemberCount() && pos < 64; ++pos) {
        object.SetMemberAt(pos, static_cast<std::uint32_t>(pos * 37u + 1u));
        object.SetMemberAt(pos, "abc", 3);
    }
    const std::uint32_t size = object.SizeAll(0xFFFF);
    // Bytes decode with the definition the dictionary gives for their class;
    // an older definition that a newer one supersedes encodes what only it
    // can read back.
    if (size != 0 && dictionary.GetDefinition(DefinitionClassID(definition)) == definition) {
        std::vector<unsigned char> bytes(size);
        if (object.Serialize(bytes.data(), 0xFFFF) != size) __builtin_trap();
        CXQOVAObject decoded(&dictionary, xqova::EncodedBytes{bytes.data(), bytes.size()});
        if (decoded.Deserialize(bytes.data(), bytes.size(), 1) != size) __builtin_trap();
    }
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An exact copy, so that any read past the input is caught.
    std::vector<unsigned char> bytes(data, data + size);
    CXQOVADictionary dictionary;
    dictionary.AddDefinitions(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    const std::uint16_t count = dictionary.GetDefinitionCount();
    for (std::uint16_t i = 0; i < count; ++i) ReadEverything(dictionary.GetDefinitionAt(i));
    for (std::uint16_t i = 0; i < count && i < 4; ++i) BuildAndEncode(dictionary, dictionary.GetDefinitionAt(i));
    return 0;
}
