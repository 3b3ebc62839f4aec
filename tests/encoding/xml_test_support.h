// Helpers of the XML document tests and of the well-formedness program:
// documents written into guarded buffers, seeded random values for the
// built-in classes, and the slack the stored base sizes leave in the 8-bit
// size; definitions and dictionaries come from the object support.
#ifndef XQOVA_TESTS_ENCODING_XML_TEST_SUPPORT_H
#define XQOVA_TESTS_ENCODING_XML_TEST_SUPPORT_H

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "support/objects.h"

namespace xml_test {

using namespace test_objects;

// A document written into a buffer of exactly the size asked for first,
// followed by guard units that the writer must leave alone. The safe form
// is written through its capacity, which must refuse one unit less untouched.
template <class Unit>
struct Written {
    std::uint32_t size = 0, result = 0;
    bool guardIntact = true;
    std::basic_string<Unit> text;  // up to the terminator
};

template <class Unit>
Written<Unit> Write(CXQOVAObject& object, std::uint16_t version, bool safe = false) {
    constexpr XMLEncoding_e kEncoding = sizeof(Unit) == 1 ? XML_ENCODING_CHAR : XML_ENCODING_UTF16;
    Written<Unit> w;
    w.size = safe ? object.XMLSizeAllSafe(kEncoding, version) : object.XMLSizeAll(kEncoding, version);
    using Raw = typename std::conditional<sizeof(Unit) == 1, char, unsigned short>::type;
    std::vector<Raw> buffer(w.size / sizeof(Unit) + 64, static_cast<Raw>(0x5A));
    if (safe) {
        EXPECT_EQ(object.XMLSerializeSafe(buffer.data(), w.size - sizeof(Unit), version), 0u) << "one unit short";
        w.guardIntact = buffer[0] == 0x5A;
    }
    w.result = safe ? object.XMLSerializeSafe(buffer.data(), w.size, version) : object.XMLSerialize(buffer.data(), version);
    for (std::size_t i = w.size / sizeof(Unit); i < buffer.size(); ++i) w.guardIntact &= buffer[i] == 0x5A;
    if (w.result != 0) w.text.assign(buffer.begin(), buffer.begin() + (w.result / sizeof(Unit) - 1));
    return w;
}
inline Written<char> Write8(CXQOVAObject& o, std::uint16_t v) { return Write<char>(o, v); }
inline Written<char16_t> Write16(CXQOVAObject& o, std::uint16_t v) { return Write<char16_t>(o, v); }

inline std::u16string Widen(const std::string& s) { return std::u16string(s.begin(), s.end()); }

inline std::string ToUtf8(const std::u16string& units) {
    std::string out;
    for (std::size_t i = 0; i < units.size(); ++i) {
        std::uint32_t c = units[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size()) c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
        const int n = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
        out += static_cast<char>(n == 1 ? c : ((0xF00u >> n) & 0xF0u) | (c >> (6 * (n - 1))));
        for (int k = n - 2; k >= 0; --k) out += static_cast<char>(0x80 | ((c >> (6 * k)) & 0x3F));
    }
    return out;
}

// True when every unit of `buffer` still holds the fill 0x5A.
template <class Unit>
bool Untouched(const std::vector<Unit>& buffer) {
    return std::all_of(buffer.begin(), buffer.end(), [](Unit u) { return u == static_cast<Unit>(0x5A); });
}

// Occurrences of `piece` in `s`.
inline std::size_t Count(const std::string& s, const std::string& piece) {
    std::size_t n = 0;
    for (std::size_t at = s.find(piece); at != std::string::npos; at = s.find(piece, at + 1)) ++n;
    return n;
}

// Seeded values for documents (see Filler::printable), ANY_CLASS vectors
// holding random classes of `dictionary`.
inline void FillRandom(CXQOVAObject& object, std::mt19937& rng, CXQOVADictionary& dictionary) {
    Filler filler(static_cast<std::uint32_t>(rng()));
    filler.anyFrom = &dictionary;
    filler.printable = true;
    filler.Fill(object);
}

// ---- Expected slack of the 8-bit size -------------------------------------------

inline long Digits(std::uint32_t v) { return v < 10 ? 1 : 1 + Digits(v / 10); }

// XMLSizeAll less the 8-bit result of a built-in object at its own version
// (ASCII text, finite floats), over its document and all nested ones. The
// built-in base sizes count the empty-member document with a five-digit
// version and the first species; four numeric classes store less.
inline long ExpectedSlack(CXQOVAObject& object) {
    const auto* block = static_cast<const unsigned char*>(object.GetDefinition());
    const std::string name = xqova::DefinitionText(block, 0xFFFF);
    long slack = 5 - Digits(object.Version()) - (Digits(object.Species()) - Digits(block[4]));
    if (name == "CNumCFloat" || name == "CNumDFloat") slack -= 1;
    if (name == "CNumCLong" || name == "CNumDLong") slack -= 2;
    for (std::uint16_t pos = 0; pos < object.MemberCount(); ++pos) {
        if (CXQOVAObject* nested = object.At(pos)) slack += ExpectedSlack(*nested);
        if (CXQOVAVector* vector = object.At(pos)) {
            for (std::uint16_t i = 0; i < vector->Size(); ++i) slack += ExpectedSlack(*vector->At(i));
        }
    }
    return slack;
}

}  // namespace xml_test

#endif
