// The well-formed XML form on any object a device can send: the object is
// built from the fuzzed bytes against the built-in classes, its safe document
// is written in both encodings (UTF-16 turned into UTF-8), and each must
// parse with libxml2, agree with the other byte for byte, and hold no more
// elements than the object's member records, enumerators and nested objects
// account for. Anything else is a finding.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include "xqova/builtin/builtin.h"
#include "xqova/dictionary/definition.h"
#include "xqova/object/object.h"
#include "xqova/object/vector.h"

namespace {

// Elements the object's document may hold at most: DEFINITION and MEMBERS;
// per member record a MEMBER and a VALUE; per member an ENUMERATION and its
// enumerators; and the documents of the base object, nested objects and
// vector elements.
std::uint64_t ElementBound(CXQOVAObject& object) {
    const void* definition = object.GetDefinition();
    if (definition == nullptr) return 0;
    std::uint64_t bound = 2;
    xqova::MemberWalker walker(definition);
    xqova::MemberRecord record;
    for (std::uint16_t p = 0; walker.Next(&record); ++p) {
        bound += 2;
        if (xqova::DefinitionHasEnumeration(definition, p)) bound += 1 + xqova::DefinitionEnumerationSize(definition, p);
    }
    CXQOVAObject* base = object.BaseClass();
    std::uint16_t own = 0;
    if (base != nullptr) {
        bound += ElementBound(*base);
        own = base->MemberCount();
    }
    for (std::uint16_t pos = own; pos < object.MemberCount(); ++pos) {
        CXQOVAData_u& member = object.At(pos);
        if (CXQOVAObject* nested = member) bound += ElementBound(*nested);
        if (CXQOVAVector* vector = member) {
            for (std::uint16_t i = 0; i < vector->Size(); ++i) {
                if (vector->At(i) != nullptr) bound += ElementBound(*vector->At(i));
            }
        }
    }
    return bound;
}

std::uint64_t CountElements(xmlNode* node) {
    std::uint64_t n = 0;
    for (; node != nullptr; node = node->next) {
        if (node->type == XML_ELEMENT_NODE) n += 1 + CountElements(node->children);
    }
    return n;
}

std::string Utf8(const std::vector<unsigned short>& units) {
    std::string out;
    for (std::size_t i = 0; i < units.size(); ++i) {
        std::uint32_t c = units[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
        } else if (c >= 0xD800 && c < 0xE000) {
            __builtin_trap();  // the safe form never writes a lone surrogate
        }
        const int n = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
        out += static_cast<char>(n == 1 ? c : ((0xF00u >> n) & 0xF0u) | (c >> (6 * (n - 1))));
        for (int k = n - 2; k >= 0; --k) out += static_cast<char>(0x80 | ((c >> (6 * k)) & 0x3F));
    }
    return out;
}

void Check(const std::string& document, std::uint64_t bound) {
    xmlDoc* parsed = xmlReadMemory(document.data(), static_cast<int>(document.size()), "object.xml", "UTF-8",
                                   XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE);
    if (parsed == nullptr) __builtin_trap();  // not well-formed
    const std::uint64_t elements = CountElements(xmlDocGetRootElement(parsed));
    xmlFreeDoc(parsed);
    if (elements > bound) __builtin_trap();  // elements the object does not account for
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CXQOVADictionary& dictionary = xqova::AllBuiltinClasses();
    const std::vector<unsigned char> input(data, data + size);
    CXQOVAObject object(&dictionary, xqova::EncodedBytes{input.data(), input.size()});
    if (object.GetDefinition() == nullptr) return 0;

    const std::uint32_t size8 = object.XMLSizeAllSafe(XML_ENCODING_CHAR, 0xFFFF);
    const std::uint32_t size16 = object.XMLSizeAllSafe(XML_ENCODING_UTF16, 0xFFFF);
    if ((size8 == 0) != (size16 == 0)) __builtin_trap();
    if (size8 == 0) return 0;
    std::vector<char> chars(size8);
    if (object.XMLSerializeSafe(chars.data(), chars.size(), 0xFFFF) != size8) __builtin_trap();
    std::vector<unsigned short> units(size16 / 2);
    if (object.XMLSerializeSafe(units.data(), size16, 0xFFFF) != size16) __builtin_trap();

    const std::string eightBit(chars.data(), size8 - 1);
    units.pop_back();  // the terminator
    if (Utf8(units) != eightBit) __builtin_trap();
    Check(eightBit, ElementBound(object));
    return 0;
}
