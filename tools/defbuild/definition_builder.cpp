#include "tools/defbuild/definition_builder.h"

#include <string>

#include "xqova/core/crc16.h"
#include "xqova/dictionary/member_type.h"

namespace xqova {
namespace build {

namespace {

void PutU16(std::vector<unsigned char>& out, std::size_t at, std::uint32_t v) {
    out[at] = static_cast<unsigned char>((v >> 8) & 0xFF);
    out[at + 1] = static_cast<unsigned char>(v & 0xFF);
}

void AppendU16(std::vector<unsigned char>& out, std::uint32_t v) {
    out.push_back(static_cast<unsigned char>((v >> 8) & 0xFF));
    out.push_back(static_cast<unsigned char>(v & 0xFF));
}

void AppendU32(std::vector<unsigned char>& out, std::uint32_t v) {
    AppendU16(out, v >> 16);
    AppendU16(out, v & 0xFFFF);
}

bool IsObject(std::uint8_t type) { return xqova::MemberType(type).IsObject(); }

// The names the library's text forms write (its table lives in the
// dictionary layer, which the generator of the built-in blocks cannot link).
const char* TypeNameOf(std::uint8_t type) {
    static const char* const kNames[24] = {
        "int8", "int16", "TIME", "int32", "OBJECT", "int64", "ansichar", "widechar", "", "", "", "",
        "uint8", "uint16", "", "uint32", "OBJECT", "uint64", "", "", "", "float32", "", "float64",
    };
    static const unsigned kColumn[8] = {0, 1, 2, 3, 2, 3, 4, 5};
    const xqova::MemberType key(xqova::MemberType(type).NameKey());
    const unsigned row = (key.Kind() >> 3) % 4u + ((key.Byte() & xqova::MemberType::kFloatBit) ? 3u : 0u);
    const unsigned index = row * 6 + kColumn[key.Width()];
    return index < 24 ? kNames[index] : "";
}

}  // namespace

std::uint32_t ClassDescription::ClassId() const {
    const std::uint8_t first = species.empty() ? 0 : species.front().code;
    return (static_cast<std::uint32_t>(family) << 16) | (static_cast<std::uint32_t>(genus) << 8) | first;
}

std::size_t EmptyDocumentLength(const ClassDescription& d, const ClassNameResolver& resolve, unsigned versionDigits) {
    const std::uint8_t firstSpecies = d.species.empty() ? 0 : d.species.front().code;
    std::string doc = "<DEFINITION class=\"" + d.name + "\" version=\"" + std::string(versionDigits, '9') +
                      "\" family=\"" + std::to_string(d.family) + "\" genus=\"" + std::to_string(d.genus) +
                      "\" species=\"" + std::to_string(firstSpecies) + "\">\n<MEMBERS>\n";
    for (const Member& m : d.members) {
        doc += "<MEMBER type=\"";
        doc += TypeNameOf(m.type);
        doc += "\"";
        if (IsObject(m.type)) {
            doc += " class=\"";
            doc += m.memberClass == 0xFFFFFFFFu ? std::string("ANY_CLASS") : resolve(m.memberClass);
            doc += "\"";
        }
        if (m.type >= 64) {
            doc += " size=\"";
            doc += xqova::MemberType(m.type).IsUnbounded() ? std::string("UNBOUNDED") : std::to_string(m.fixedCount);
            doc += "\"";
        }
        doc += m.type == 0x16 ? std::string(" inherit=\"YES\"") : " name=\"" + m.name + "\"";
        doc += " minversion=\"" + std::to_string(m.minVersion) + "\" maxversion=\"";
        doc += m.maxVersion == 0xFFFF ? std::string("CURRENT_VERSION") : std::to_string(m.maxVersion);
        doc += "\"";
        if (m.alias != 0xFFFFFFFFu) doc += " alias=\"" + std::to_string(static_cast<std::int32_t>(m.alias)) + "\"";
        if (m.units != 0xFF) doc += " units=\"" + std::to_string(m.units) + "\"";
        if (m.scaleCoefficient != 1 || m.scaleExponent != 0) {
            doc += " scalecoefficient=\"" + std::to_string(m.scaleCoefficient) + "\" scaleexponent=\"" +
                   std::to_string(m.scaleExponent) + "\"";
        }
        if (xqova::MemberType(m.type).IsBitmask()) doc += " format=\"BITMASK\"";
        doc += "/>\n";
    }
    doc += "</MEMBERS>\n</DEFINITION>\n";
    return doc.size();
}

std::vector<unsigned char> BuildDefinition(const ClassDescription& d, const ClassNameResolver& resolve,
                                           bool stampChecksum) {
    std::vector<unsigned char> out;
    const std::size_t n = d.species.size();
    out.push_back(static_cast<unsigned char>(n));
    AppendU16(out, d.family);
    out.push_back(d.genus);
    for (const Species& s : d.species) out.push_back(s.code);
    AppendU16(out, d.version);
    const std::size_t textOffsetAt = out.size();
    AppendU16(out, 0);  // textOffset, filled below
    const std::size_t fullSizeAt = out.size();
    AppendU16(out, 0);  // fullSize, filled below
    const std::size_t xmlSize =
        d.xmlBaseSize >= 0 ? static_cast<std::size_t>(d.xmlBaseSize) : EmptyDocumentLength(d, resolve, 5);
    AppendU16(out, static_cast<std::uint32_t>(xmlSize));
    AppendU16(out, static_cast<std::uint32_t>(d.members.size()));

    for (const Member& m : d.members) {
        AppendU16(out, m.minVersion);
        AppendU16(out, m.maxVersion);
        out.push_back(m.type);
        if (IsObject(m.type)) AppendU32(out, m.memberClass);
        if (xqova::MemberType(m.type).IsFixedArray()) AppendU16(out, m.fixedCount);
    }
    for (const Member& m : d.members) {
        std::vector<unsigned char> record;
        AppendU32(record, m.alias);
        record.push_back(m.units);
        AppendU16(record, m.scaleCoefficient);
        record.push_back(static_cast<unsigned char>(m.scaleExponent));
        record.resize(d.attributeSize, 0);
        out.insert(out.end(), record.begin(), record.end());
    }

    // Text section.
    const std::size_t text = out.size();
    PutU16(out, textOffsetAt, static_cast<std::uint32_t>(text));
    const std::size_t m = d.members.size();
    const std::size_t e = m + 1 + d.enumerations.size();
    AppendU16(out, static_cast<std::uint32_t>(m));
    AppendU16(out, static_cast<std::uint32_t>(e));
    const std::size_t entries = out.size();
    out.resize(entries + 4 * e, 0);
    auto entryAt = [&](std::size_t k) { return entries + 4 * k; };

    // Enumeration tables; the name offsets of their pairs are filled once the
    // strings are placed.
    struct PendingPair {
        std::size_t at;
        const std::string* name;
    };
    std::vector<PendingPair> pairs;
    auto writeTable = [&](std::size_t entry, const std::vector<Enumerator>& values) {
        const std::size_t start = out.size() - text;
        PutU16(out, entryAt(entry), static_cast<std::uint32_t>(start));
        AppendU16(out, static_cast<std::uint32_t>(start + 2 + 4 * values.size()));
        for (const Enumerator& v : values) {
            AppendU16(out, v.value);
            pairs.push_back({out.size(), &v.name});
            AppendU16(out, 0);
        }
    };
    for (std::size_t k = 0; k < e; ++k) PutU16(out, entryAt(k), 0xFFFF);

    std::vector<Enumerator> speciesTable;
    for (const Species& s : d.species) speciesTable.push_back({s.code, s.name});
    std::vector<Enumerator> sortedSpecies = speciesTable;
    for (std::size_t i = 1; i < sortedSpecies.size(); ++i) {
        for (std::size_t j = i; j > 0 && sortedSpecies[j - 1].value > sortedSpecies[j].value; --j) {
            std::swap(sortedSpecies[j - 1], sortedSpecies[j]);
        }
    }
    writeTable(m, sortedSpecies);
    std::vector<std::uint16_t> order = d.enumerationTableOrder;
    if (order.empty()) {
        for (std::size_t p = 0; p < m; ++p) order.push_back(static_cast<std::uint16_t>(p));
    }
    for (std::uint16_t p : order) {
        if (!d.members[p].enumerators.empty()) writeTable(p, d.members[p].enumerators);
    }
    for (std::size_t k = 0; k < d.enumerations.size(); ++k) writeTable(m + 1 + k, d.enumerations[k].enumerators);

    // Strings, from the next multiple of 4.
    while (out.size() % 4 != 0) out.push_back(0);
    auto placeString = [&](const std::string& s) {
        const std::size_t at = out.size() - text;
        out.insert(out.end(), s.begin(), s.end());
        out.push_back(0);
        return static_cast<std::uint32_t>(at);
    };
    auto fillPair = [&](const std::string* name) {
        for (PendingPair& pair : pairs) {
            if (pair.name == name) {
                PutU16(out, pair.at, placeString(*name));
                pair.name = nullptr;
                return;
            }
        }
    };
    PutU16(out, entryAt(m) + 2, placeString(d.name));
    for (const Enumerator& s : sortedSpecies) fillPair(&s.name);
    for (std::size_t p = 0; p < m; ++p) PutU16(out, entryAt(p) + 2, placeString(d.members[p].name));
    for (std::size_t p = 0; p < m; ++p) {
        for (const Enumerator& v : d.members[p].enumerators) fillPair(&v.name);
    }
    for (std::size_t k = 0; k < d.enumerations.size(); ++k) {
        PutU16(out, entryAt(m + 1 + k) + 2, placeString(d.enumerations[k].name));
        for (const Enumerator& v : d.enumerations[k].enumerators) fillPair(&v.name);
    }

    out.push_back(0);
    if (out.size() % 2 != 0) out.push_back(0);
    out.push_back(0);
    out.push_back(0);
    PutU16(out, fullSizeAt, static_cast<std::uint32_t>(out.size()));
    if (stampChecksum) {
        const std::uint16_t crc = CalculateCRC(out.data(), static_cast<std::uint32_t>(out.size() - 2));
        PutU16(out, out.size() - 2, crc);
    }
    return out;
}

}  // namespace build
}  // namespace xqova
