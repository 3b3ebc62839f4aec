#include "xqova/dictionary/definition_builder.h"

#include <algorithm>
#include <new>
#include <unordered_map>
#include <utility>

#include "xqova/core/crc16.h"
#include "xqova/core/types.h"
#include "xqova/dictionary/definition.h"
#include "xqova/dictionary/member_type.h"

namespace xqova {
namespace build {

namespace {

constexpr std::uint64_t kMax16 = 0xFFFF;

void PutU16(std::vector<unsigned char>& out, std::size_t at, std::uint64_t v) {
    out[at] = static_cast<unsigned char>((v >> 8) & 0xFF);
    out[at + 1] = static_cast<unsigned char>(v & 0xFF);
}

void AppendU16(std::vector<unsigned char>& out, std::uint64_t v) {
    out.push_back(static_cast<unsigned char>((v >> 8) & 0xFF));
    out.push_back(static_cast<unsigned char>(v & 0xFF));
}

void AppendU32(std::vector<unsigned char>& out, std::uint32_t v) {
    AppendU16(out, v >> 16);
    AppendU16(out, v & 0xFFFF);
}

// A name with its control bytes as \xHH, so that a message stays text.
std::string Escaped(const std::string& s) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        if (c < 0x20 || c == 0x7F) {
            out += "\\x";
            out += kDigits[c >> 4];
            out += kDigits[c & 0xF];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string Quoted(const std::string& s) { return "\"" + Escaped(s) + "\""; }

// Where in the description a fault lies: "class CFoo", "class CFoo, member
// 3 \"Bar\"", ...
class Place {
public:
    explicit Place(const ClassDescription& d) : d_(d) {}
    std::string Class() const { return "class " + (d_.name.empty() ? std::string("(unnamed)") : Escaped(d_.name)); }
    std::string Member(std::size_t p) const {
        return Class() + ", member " + std::to_string(p) + " " + Quoted(d_.members[p].name);
    }
    std::string Enumeration(std::size_t k) const {
        return Class() + ", enumeration " + std::to_string(k) + " " + Quoted(d_.enumerations[k].name);
    }

private:
    const ClassDescription& d_;
};

class Builder {
public:
    Builder(const ClassDescription& d, const ClassNames& names) : d_(d), names_(names), place_(d) {}

    bool Build(std::vector<unsigned char>* block, bool stamp);
    const std::string& Error() const { return error_; }

private:
    bool Fail(const std::string& where, const std::string& why) {
        error_ = where + ": " + why;  // the first fault ends the build
        return false;
    }
    // A value for a 16-bit field: refused above 65535.
    bool Fits(std::uint64_t value, const std::string& where, const char* what) {
        if (value <= kMax16) return true;
        return Fail(where, std::string(what) + " would be " + std::to_string(value) + ", more than 65535");
    }
    bool CheckNames();

    struct PendingPair {
        std::size_t at;
        const std::string* name;
        std::string place;
    };

    const ClassDescription& d_;
    const ClassNames& names_;
    Place place_;
    std::string error_;
};

bool HoldsZero(const std::string& s) { return s.find('\0') != std::string::npos; }

bool Builder::CheckNames() {
    if (HoldsZero(d_.name)) return Fail(place_.Class(), "the class name holds a zero byte");
    for (const Species& s : d_.species) {
        if (HoldsZero(s.name)) return Fail(place_.Class(), "species " + std::to_string(s.code) + " holds a zero byte");
    }
    for (std::size_t p = 0; p < d_.members.size(); ++p) {
        if (HoldsZero(d_.members[p].name)) return Fail(place_.Member(p), "the name holds a zero byte");
        for (const Enumerator& v : d_.members[p].enumerators) {
            if (HoldsZero(v.name)) return Fail(place_.Member(p), "value " + std::to_string(v.value) + " holds a zero byte");
        }
    }
    for (std::size_t k = 0; k < d_.enumerations.size(); ++k) {
        if (HoldsZero(d_.enumerations[k].name)) return Fail(place_.Enumeration(k), "the name holds a zero byte");
        for (const Enumerator& v : d_.enumerations[k].enumerators) {
            if (HoldsZero(v.name)) return Fail(place_.Enumeration(k), "value " + std::to_string(v.value) + " holds a zero byte");
        }
    }
    return true;
}

bool Builder::Build(std::vector<unsigned char>* block, bool stamp) {
    const std::size_t n = d_.species.size();
    if (n == 0) return Fail(place_.Class(), "a class has at least one species");
    if (n > 255) return Fail(place_.Class(), std::to_string(n) + " species, more than the 255 a block holds");
    if (!CheckNames()) return false;
    const std::uint64_t m = d_.members.size();
    if (!Fits(m, place_.Class(), "the member count")) return false;
    const std::uint64_t e = m + 1 + d_.enumerations.size();
    if (!Fits(e, place_.Class(), "the text entry count (members, class and named enumerations)")) return false;

    // The table order: positions, each once, covering every member with values.
    std::vector<std::uint16_t> order = d_.enumerationTableOrder;
    if (order.empty()) {
        for (std::size_t p = 0; p < m; ++p) order.push_back(static_cast<std::uint16_t>(p));
    } else {
        std::vector<bool> listed(m, false);
        for (std::uint16_t p : order) {
            if (p >= m) return Fail(place_.Class(), "the table order names position " + std::to_string(p) + ", past the last member");
            if (listed[p]) return Fail(place_.Member(p), "listed twice in the table order");
            listed[p] = true;
        }
        for (std::size_t p = 0; p < m; ++p) {
            if (!listed[p] && !d_.members[p].enumerators.empty()) {
                return Fail(place_.Member(p), "has values but is missing from the table order");
            }
        }
    }

    std::uint64_t xmlSize;
    if (d_.xmlBaseSize >= 0) {
        xmlSize = static_cast<std::uint64_t>(d_.xmlBaseSize);
    } else {
        xmlSize = EmptyDocumentLength(d_, names_, 5);
        if (xmlSize == 0) return Fail(place_.Class(), "out of memory");
    }
    if (!Fits(xmlSize, place_.Class(), "the XML base size")) return false;

    std::vector<unsigned char>& out = *block;
    out.clear();
    out.push_back(static_cast<unsigned char>(n));
    AppendU16(out, d_.family);
    out.push_back(d_.genus);
    for (const Species& s : d_.species) out.push_back(s.code);
    AppendU16(out, d_.version);
    const std::size_t textOffsetAt = out.size();
    out.resize(out.size() + 2u);  // textOffset, filled below
    const std::size_t fullSizeAt = out.size();
    out.resize(out.size() + 2u);  // fullSize, filled below
    AppendU16(out, xmlSize);
    AppendU16(out, m);

    for (std::size_t p = 0; p < m; ++p) {
        const Member& member = d_.members[p];
        const MemberType type(member.type);
        AppendU16(out, member.minVersion);
        AppendU16(out, member.maxVersion);
        out.push_back(member.type);
        if (type.IsObject()) AppendU32(out, member.memberClass);
        if (type.IsFixedArray()) AppendU16(out, member.fixedCount);
        if (!Fits(out.size(), place_.Member(p), "the member records' end")) return false;
    }
    const std::uint64_t attributes = static_cast<std::uint64_t>(d_.attributeSize) * m;
    if (!Fits(out.size() + attributes, place_.Class(), "the attribute table's end")) return false;
    for (const Member& member : d_.members) {
        const unsigned char record[] = {static_cast<unsigned char>(member.alias >> 24),
                                        static_cast<unsigned char>(member.alias >> 16),
                                        static_cast<unsigned char>(member.alias >> 8),
                                        static_cast<unsigned char>(member.alias),
                                        member.units,
                                        static_cast<unsigned char>(member.scaleCoefficient >> 8),
                                        static_cast<unsigned char>(member.scaleCoefficient),
                                        static_cast<unsigned char>(member.scaleExponent)};
        // A shorter record keeps its first bytes; a longer one is padded with zeros.
        const std::size_t kept = std::min<std::size_t>(sizeof record, d_.attributeSize);
        out.insert(out.end(), record, record + kept);
        out.resize(out.size() + (d_.attributeSize - kept));
    }

    // Text section: counts, entries, then the enumeration tables.
    const std::size_t text = out.size();
    if (!Fits(text + 4 + 4 * e, place_.Class(), "the text entries' end")) return false;
    PutU16(out, textOffsetAt, text);
    AppendU16(out, m);
    AppendU16(out, e);
    const std::size_t entries = out.size();
    auto entryAt = [&](std::size_t k) { return entries + 4 * k; };
    for (std::size_t k = 0; k < e; ++k) {
        AppendU16(out, 0xFFFF);
        AppendU16(out, 0);
    }

    // The name offsets of the tables' pairs are filled once the strings are placed.
    std::vector<PendingPair> pairs;
    auto writeTable = [&](std::size_t entry, const std::vector<Enumerator>& values, const std::string& where) {
        const std::uint64_t start = out.size() - text;
        const std::uint64_t end = start + 2 + 4 * static_cast<std::uint64_t>(values.size());
        // 0xFFFF stands for "no table". The entries and every table take an
        // even number of bytes, so a table that fits ends at 65534 at most
        // and the next one starts below 0xFFFF.
        if (!Fits(end, where, "the end of its value table")) return false;
        PutU16(out, entryAt(entry), start);
        AppendU16(out, end);
        for (const Enumerator& v : values) {
            AppendU16(out, v.value);
            pairs.push_back({out.size(), &v.name, where});
            out.resize(out.size() + 2);  // room for its name's offset
        }
        return true;
    };

    // The species table, by code.
    std::vector<Enumerator> sortedSpecies;
    for (const Species& s : d_.species) sortedSpecies.push_back({s.code, s.name});
    std::stable_sort(sortedSpecies.begin(), sortedSpecies.end(),
                     [](const Enumerator& a, const Enumerator& b) { return a.value < b.value; });
    if (!writeTable(m, sortedSpecies, place_.Class() + ", species")) return false;
    for (std::uint16_t p : order) {
        if (!d_.members[p].enumerators.empty() && !writeTable(p, d_.members[p].enumerators, place_.Member(p))) {
            return false;
        }
    }
    for (std::size_t k = 0; k < d_.enumerations.size(); ++k) {
        if (!writeTable(m + 1 + k, d_.enumerations[k].enumerators, place_.Enumeration(k))) return false;
    }

    // Strings, from the next multiple of 4.
    while (out.size() % 4 != 0) out.push_back(0);
    auto placeString = [&](const std::string& s, std::size_t at, const std::string& where) {
        // The offset counts from the text section, so it fits when the block does.
        const std::uint64_t offset = out.size() - text;
        if (!Fits(out.size() + s.size() + 1, where, "the block's size with its name")) return false;
        out.insert(out.end(), s.begin(), s.end());
        out.push_back(0);
        PutU16(out, at, offset);
        return true;
    };
    // Each pair by the name it waits for: one lookup per name, however many
    // pairs a block holds.
    std::unordered_map<const std::string*, std::size_t> waiting;
    for (std::size_t i = 0; i < pairs.size(); ++i) waiting.emplace(pairs[i].name, i);
    auto fillPair = [&](const std::string* name) {
        const auto it = waiting.find(name);
        if (it == waiting.end()) return true;
        const PendingPair& pair = pairs[it->second];
        waiting.erase(it);
        return placeString(*name, pair.at, pair.place);
    };
    if (!placeString(d_.name, entryAt(m) + 2, place_.Class())) return false;
    for (const Enumerator& s : sortedSpecies) {
        if (!fillPair(&s.name)) return false;
    }
    for (std::size_t p = 0; p < m; ++p) {
        if (!placeString(d_.members[p].name, entryAt(p) + 2, place_.Member(p))) return false;
    }
    for (std::size_t p = 0; p < m; ++p) {
        for (const Enumerator& v : d_.members[p].enumerators) {
            if (!fillPair(&v.name)) return false;
        }
    }
    for (std::size_t k = 0; k < d_.enumerations.size(); ++k) {
        if (!placeString(d_.enumerations[k].name, entryAt(m + 1 + k) + 2, place_.Enumeration(k))) return false;
        for (const Enumerator& v : d_.enumerations[k].enumerators) {
            if (!fillPair(&v.name)) return false;
        }
    }

    out.push_back(0);
    if (out.size() % 2 != 0) out.push_back(0);
    out.push_back(0);
    out.push_back(0);
    if (!Fits(out.size(), place_.Class(), "the block's size")) return false;
    PutU16(out, fullSizeAt, out.size());
    if (stamp) PutU16(out, out.size() - 2, CalculateCRC(out.data(), static_cast<std::uint32_t>(out.size() - 2)));
    return true;
}

void Append(std::string& doc, const std::string& s) { doc += s; }

std::size_t DocumentLength(const ClassDescription& d, const ClassNames& names, unsigned versionDigits) {
    // Only the length counts: a class without species (which no block states) has an empty species text.
    const std::string species = d.species.empty() ? std::string() : std::to_string(d.species.front().code);
    std::string doc = "<DEFINITION class=\"" + d.name + "\" version=\"" + std::string(versionDigits, '9') +
                      "\" family=\"" + std::to_string(d.family) + "\" genus=\"" + std::to_string(d.genus) +
                      "\" species=\"" + species + "\">\n<MEMBERS>\n";
    for (const Member& m : d.members) {
        const MemberType type(m.type);
        doc += "<MEMBER type=\"";
        doc += TypeName(m.type);
        doc += "\"";
        if (type.IsObject()) {
            doc += " class=\"";
            Append(doc, m.memberClass == kNoClass ? std::string("ANY_CLASS") : names(m.memberClass));
            doc += "\"";
        }
        if (type.IsArray()) {
            doc += " size=\"";
            doc += type.IsUnbounded() ? std::string("UNBOUNDED") : std::to_string(m.fixedCount);
            doc += "\"";
        }
        doc += type.IsInherit() ? std::string(" inherit=\"YES\"") : " name=\"" + m.name + "\"";
        doc += " minversion=\"" + std::to_string(m.minVersion) + "\" maxversion=\"";
        doc += m.maxVersion == 0xFFFF ? std::string("CURRENT_VERSION") : std::to_string(m.maxVersion);
        doc += "\"";
        if (m.alias != kNoAlias) doc += " alias=\"" + std::to_string(static_cast<std::int32_t>(m.alias)) + "\"";
        if (m.units != 0xFF) doc += " units=\"" + std::to_string(m.units) + "\"";
        if (m.scaleCoefficient != 1 || m.scaleExponent != 0) {
            doc += " scalecoefficient=\"" + std::to_string(m.scaleCoefficient) + "\" scaleexponent=\"" +
                   std::to_string(m.scaleExponent) + "\"";
        }
        if (type.IsBitmask()) doc += " format=\"BITMASK\"";
        doc += "/>\n";
    }
    doc += "</MEMBERS>\n</DEFINITION>\n";
    return doc.size();
}

}  // namespace

std::size_t EmptyDocumentLength(const ClassDescription& d, const ClassNames& names, unsigned versionDigits) {
    try {
        return DocumentLength(d, names, versionDigits);
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

std::vector<unsigned char> BuildDefinition(const ClassDescription& d, const ClassNames& names, std::string* error,
                                           bool stampChecksum) {
    std::vector<unsigned char> block;
    try {
        Builder builder(d, names);
        if (builder.Build(&block, stampChecksum)) {
            if (error != nullptr) error->clear();
            return block;
        }
        if (error != nullptr) *error = builder.Error();
    } catch (const std::bad_alloc&) {
        if (error != nullptr) error->clear();  // no room left for a message
    }
    return std::vector<unsigned char>();
}

namespace {

std::string Text(const char* s) { return s != nullptr ? std::string(s) : std::string(); }

std::vector<Enumerator> Table(const void* block, std::uint16_t index) {
    std::vector<Enumerator> values;
    for (std::uint16_t k = 0; const auto pair = DefinitionEnumerationPair(block, index, k); ++k) {
        values.push_back({pair->value, pair->name});
    }
    return values;
}

void Read(const void* block, ClassDescription* d) {
    const auto* bytes = static_cast<const unsigned char*>(block);
    *d = ClassDescription();
    d->name = Text(DefinitionText(block, 0xFFFF));
    d->family = static_cast<std::uint16_t>(DefinitionClassID(block) >> 16);
    d->genus = static_cast<std::uint8_t>(DefinitionClassID(block) >> 8);
    d->version = DefinitionVersion(block);
    d->xmlBaseSize = DefinitionXMLSize(block);
    const std::uint16_t m = DefinitionMemberCount(block);
    // Species in header order, named from the class's table.
    const std::vector<Enumerator> speciesTable = Table(block, 0xFFFF);
    for (unsigned i = 0; i < DefinitionSpeciesCount(block); ++i) {
        Species s{bytes[4 + i], std::string()};
        for (const Enumerator& v : speciesTable) {
            if (v.value == s.code) {
                s.name = v.name;
                break;
            }
        }
        d->species.push_back(std::move(s));
    }
    MemberWalker walker(block);
    MemberRecord record;
    for (std::uint16_t p = 0; walker.Next(&record); ++p) {
        Member member;
        member.name = Text(DefinitionText(block, p));
        member.type = record.type;
        member.minVersion = record.minVersion;
        member.maxVersion = record.maxVersion;
        member.memberClass = record.memberClass;
        member.fixedCount = record.fixedCount;
        member.enumerators = Table(block, p);
        member.alias = DefinitionMemberAlias(block, p);
        member.units = DefinitionMemberUnits(block, p);
        member.scaleCoefficient = DefinitionMemberScaleCoefficient(block, p);
        member.scaleExponent = DefinitionMemberScaleExponent(block, p);
        d->members.push_back(std::move(member));
    }
    d->attributeSize = DefinitionAttributeSize(block);
    if (m == 0) d->attributeSize = 8;
    for (std::uint16_t index = 0xFFFE; DefinitionText(block, index) != nullptr; --index) {
        // Index M names no entry, so the walk ends there at the latest.
        d->enumerations.push_back({Text(DefinitionText(block, index)), Table(block, index)});
    }
    // The members' tables in the order of their offsets.
    std::vector<std::uint16_t> order;
    for (std::uint16_t p = 0; p < m; ++p) {
        if (!d->members[p].enumerators.empty()) order.push_back(p);
    }
    std::stable_sort(order.begin(), order.end(), [block](std::uint16_t a, std::uint16_t b) {
        return DefinitionEnumerationTableOffset(block, a) < DefinitionEnumerationTableOffset(block, b);
    });
    if (!std::is_sorted(order.begin(), order.end())) d->enumerationTableOrder = order;
}

}  // namespace

bool ReadDefinition(const void* block, std::size_t available, ClassDescription* description, std::string* error,
                    bool* exact) {
    DefinitionReport report;
    if (!CheckDefinition(block, available, &report)) {
        if (error != nullptr) {
            try {
                *error = std::string("not a well-formed definition block: ") + DefinitionCheckName(report.check) +
                         " at offset " + std::to_string(report.at);
            } catch (const std::bad_alloc&) {
                error->clear();
            }
        }
        return false;
    }
    try {
        Read(block, description);
        if (exact != nullptr) {
            const std::vector<unsigned char> again = BuildDefinition(*description, ClassNames());
            const std::size_t size = DefinitionFullSize(block);
            *exact = again.size() == size &&
                     std::equal(again.begin(), again.end(), static_cast<const unsigned char*>(block));
        }
    } catch (const std::bad_alloc&) {
        if (error != nullptr) error->clear();
        return false;
    }
    return true;
}

}  // namespace build
}  // namespace xqova
