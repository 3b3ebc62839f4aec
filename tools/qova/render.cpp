#include "tools/qova/render.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "xqova/core/class_id.h"
#include "xqova/dictionary/definition.h"

namespace qova {

namespace {

using Row = std::vector<std::string>;

// Left-aligned columns two spaces apart; the last column is not padded.
std::string Columns(const std::vector<Row>& rows, const std::string& indent) {
    std::vector<std::size_t> widths;
    for (const Row& row : rows) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (widths.size() <= i) widths.push_back(0);
            if (row[i].size() > widths[i]) widths[i] = row[i].size();
        }
    }
    std::string text;
    for (const Row& row : rows) {
        std::string line = indent;
        for (std::size_t i = 0; i < row.size(); ++i) {
            line += row[i];
            if (i + 1 < row.size()) line += std::string(widths[i] - row[i].size() + 2, ' ');
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        text += line + "\n";
    }
    return text;
}

std::string Triple(std::uint32_t id) {
    return std::to_string(GetFamily(id)) + "/" + std::to_string(GetGenus(id)) + "/" + std::to_string(GetSpecies(id));
}

// The bytes a member takes in an object: its element size, times the count
// of a fixed array; an UNBOUNDED member's element size and "each", and an
// object's "-" (its own encoding decides).
std::string SizeText(const xqova::CompiledMember& member) {
    const xqova::MemberType type = member.type;
    if (type.IsObject()) return "-";
    if (type.IsUnbounded()) return std::to_string(type.ElementSize()) + " each";
    if (type.IsFixedArray()) return std::to_string(std::uint64_t{type.ElementSize()} * member.fixedCount);
    return std::to_string(type.ElementSize());
}

// The text entries of a definition: M members, E entries in all (0 without
// text).
void TextCounts(const void* block, std::uint16_t* m, std::uint16_t* e) {
    *m = 0;
    *e = 0;
    if (xqova::DefinitionXMLSize(block) == 0) return;
    const auto* text = static_cast<const unsigned char*>(block) + xqova::DefinitionTextOffset(block);
    *m = ReadInt16(text);
    *e = ReadInt16(text + 2);
}

// A time off the calendar comes as an object of its seven fields.
std::string TimeFields(const Json& value) {
    char text[64];
    std::snprintf(text, sizeof text, "%04u/%02u/%02u %02u:%02u:%02u %02u (not a calendar time)",
                  value.value("year", 0u), value.value("month", 0u), value.value("day", 0u), value.value("hour", 0u),
                  value.value("minute", 0u), value.value("second", 0u), value.value("fraction", 0u));
    return text;
}

// `bare`: strings shown as they are (times, non-finite floats), not quoted.
std::string ValueText(const Json& value, bool bare) {
    if (value.is_string()) {
        if (bare) return value.get<std::string>();
        std::string quoted = DumpJson(value);
        quoted.pop_back();  // the newline
        return quoted;
    }
    if (value.is_object()) return TimeFields(value);
    if (value.is_array()) {
        std::string text = "[";
        for (std::size_t i = 0; i < value.size(); ++i) {
            if (i != 0) text += ", ";
            text += ValueText(value[i], bare);
        }
        return text + "]";
    }
    if (value.is_null()) return "(none)";
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

void ObjectTable(const Json& object, const std::string& indent, std::string* out);

std::string Heading(const Json& object) {
    const std::string classId = object.value("classId", std::string());
    const std::uint32_t id = static_cast<std::uint32_t>(std::strtoul(classId.c_str(), nullptr, 16));
    std::string line = object.value("class", classId) + "  " + classId + "  " + Triple(id);
    if (object.contains("speciesName")) line += " " + object["speciesName"].get<std::string>();
    line += "  version " + std::to_string(object.value("version", 0));
    const bool valid = object.value("valid", false), dirty = object.value("dirty", false);
    line += valid && dirty ? "  valid, dirty" : valid ? "  valid" : dirty ? "  dirty" : "  not valid";
    return line;
}

void ObjectTable(const Json& object, const std::string& indent, std::string* out) {
    *out += indent + Heading(object) + "\n";
    if (!object.contains("members")) return;
    const std::string inner = indent + "  ";
    // Names and types line up across the whole object, nested parts between
    // the rows included.
    std::size_t nameWidth = 0, typeWidth = 0;
    for (const auto& item : object["members"].items()) {
        nameWidth = std::max(nameWidth, item.key().size());
        typeWidth = std::max(typeWidth, item.value().value("type", std::string()).size());
    }
    auto row = [&](const std::string& name, const std::string& type, const std::string& value) {
        std::string line = inner + name + std::string(nameWidth - name.size() + 2, ' ') + type;
        if (!value.empty()) line += std::string(typeWidth - type.size() + 2, ' ') + value;
        *out += line + "\n";
    };
    for (const auto& item : object["members"].items()) {
        const Json& entry = item.value();
        const std::string type = entry.value("type", std::string());
        const Json& value = entry.contains("value") ? entry["value"] : Json();
        if (type.compare(0, 6, "OBJECT") == 0) {
            if (value.is_array()) {
                row(item.key(), type, std::to_string(value.size()) + (value.size() == 1 ? " element" : " elements"));
                for (std::size_t i = 0; i < value.size(); ++i) {
                    *out += inner + "  [" + std::to_string(i) + "]\n";
                    if (value[i].is_null()) {
                        *out += inner + "    (none)\n";
                    } else {
                        ObjectTable(value[i], inner + "    ", out);
                    }
                }
            } else {
                row(item.key(), type, value.is_null() ? "(none)" : "");
                if (!value.is_null()) ObjectTable(value, inner + "  ", out);
            }
            continue;
        }
        std::string text = ValueText(value, type.compare(0, 4, "TIME") == 0 || type.compare(0, 5, "float") == 0);
        if (entry.contains("physical")) {
            text += "  = " + ValueText(entry["physical"], true);
            if (entry.contains("units")) text += " (units code " + entry["units"].dump() + ")";
        }
        if (entry.contains("enumerator")) text += "  " + entry["enumerator"].get<std::string>();
        if (entry.contains("bits")) {
            std::string bits;
            for (const auto& bit : entry["bits"]) bits += (bits.empty() ? "" : " | ") + bit.get<std::string>();
            text += "  " + (bits.empty() ? std::string("(no bits set)") : bits);
        }
        row(item.key(), type, text);
    }
}

}  // namespace

std::string DumpJson(const Json& document) {
    return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

Json ClassesJson(Catalog& catalog) {
    Json classes = Json::array();
    for (const ClassEntry& entry : catalog.Classes()) {
        Json c;
        c["class"] = entry.name;
        c["classId"] = HexId(entry.classId);
        c["family"] = GetFamily(entry.classId);
        c["genus"] = GetGenus(entry.classId);
        c["species"] = GetSpecies(entry.classId);
        c["speciesCount"] = xqova::DefinitionSpeciesCount(entry.block);
        c["version"] = DefinitionVersion(entry.block);
        c["members"] = xqova::DefinitionMemberCount(entry.block);
        c["dictionary"] = entry.source;
        classes.push_back(std::move(c));
    }
    return classes;
}

std::string RenderClasses(Catalog& catalog) {
    std::vector<Row> rows;
    rows.push_back({"class", "id", "family/genus/species", "species", "version", "members", "dictionary"});
    for (const Json& c : ClassesJson(catalog)) {
        const std::string name = c["class"].get<std::string>();
        rows.push_back({name.empty() ? "(no name)" : name, c["classId"].get<std::string>(),
                        std::to_string(c["family"].get<unsigned>()) + "/" + std::to_string(c["genus"].get<unsigned>()) +
                            "/" + std::to_string(c["species"].get<unsigned>()),
                        c["speciesCount"].dump(), c["version"].dump(), c["members"].dump(),
                        c["dictionary"].get<std::string>()});
    }
    return Columns(rows, "");
}

namespace {

Json EnumerationJson(const void* block, std::uint16_t index, const char* name, const char* kind) {
    Json enumeration;
    enumeration["name"] = name == nullptr ? "" : name;
    enumeration["kind"] = kind;
    Json values = Json::array();
    for (std::uint16_t k = 0; const auto pair = xqova::DefinitionEnumerationPair(block, index, k); ++k) {
        values.push_back(Json{{"value", pair->value}, {"name", pair->name}});
    }
    enumeration["values"] = std::move(values);
    return enumeration;
}

}  // namespace

Json DescriptionJson(Catalog& catalog, std::uint32_t classId) {
    const void* block = catalog.Definition(classId);
    if (block == nullptr) throw Failure("no definition serves " + catalog.Describe(classId));
    const std::uint32_t own = DefinitionClassID(block);
    // The dictionary serves copies of some blocks: the entry is the one
    // with the same bytes (a loaded block, listed later, wins).
    std::string source;
    const std::size_t size = DefinitionFullSize(block);
    for (const ClassEntry& entry : catalog.Classes()) {
        if (entry.block == block ||
            (DefinitionFullSize(entry.block) == size && std::memcmp(entry.block, block, size) == 0)) {
            source = entry.source;
        }
    }
    Json d;
    d["class"] = catalog.Name(own);
    d["classId"] = HexId(own);
    d["family"] = GetFamily(own);
    d["genus"] = GetGenus(own);
    d["dictionary"] = source;
    d["version"] = DefinitionVersion(block);
    d["size"] = size;
    Json species = Json::array();
    const auto* bytes = static_cast<const unsigned char*>(block);
    for (std::uint8_t k = 0; k < xqova::DefinitionSpeciesCount(block); ++k) {
        const std::uint8_t code = bytes[4 + k];
        const char* name = xqova::DefinitionEnumerator(block, 0xFFFF, code);
        species.push_back(Json{{"species", code},
                               {"name", name == nullptr ? "" : name},
                               {"classId", HexId(MakeClassID(GetFamily(own), GetGenus(own), code))}});
    }
    d["species"] = std::move(species);
    const xqova::CompiledDefinition& compiled = CompiledFor(catalog, block);
    Json members = Json::array();
    Json enumerations = Json::array();
    for (std::uint16_t p = 0; p < compiled.MemberCount(); ++p) {
        const xqova::CompiledMember& member = compiled.Member(p);
        Json m;
        m["position"] = p;
        m["name"] = member.name == nullptr ? "" : member.name;
        if (member.type.IsInherit()) m["base"] = true;
        m["type"] = TypeText(member, catalog);
        m["bytes"] = SizeText(member);
        m["minVersion"] = member.minVersion;
        m["maxVersion"] = member.maxVersion;
        if (member.units != 0xFF) m["units"] = member.units;
        if (member.scaleCoefficient != 1 || member.scaleExponent != 0) {
            m["scale"] = Json{{"coefficient", member.scaleCoefficient}, {"exponent", member.scaleExponent}};
        }
        if (member.alias != 0xFFFFFFFFu) m["alias"] = HexId(member.alias);
        members.push_back(std::move(m));
        if (xqova::DefinitionHasEnumeration(block, p)) {
            enumerations.push_back(EnumerationJson(block, p, xqova::DefinitionText(block, p),
                                                   member.type.IsBitmask() ? "bits" : "member"));
        }
    }
    std::uint16_t m = 0, e = 0;
    TextCounts(block, &m, &e);
    for (std::uint32_t k = m + 1u; k < e; ++k) {
        const auto index = static_cast<std::uint16_t>(0xFFFFu - (k - m));
        enumerations.push_back(EnumerationJson(block, index, xqova::DefinitionText(block, index), "named"));
    }
    d["members"] = std::move(members);
    d["enumerations"] = std::move(enumerations);
    return d;
}

std::string RenderDescription(Catalog& catalog, std::uint32_t classId) {
    const Json d = DescriptionJson(catalog, classId);
    const auto n = [](const Json& v) { return v.dump(); };
    std::string text = d["class"].get<std::string>() + "  " + d["classId"].get<std::string>() + "  family " +
                       n(d["family"]) + ", genus " + n(d["genus"]) + "\n";
    text += "dictionary " + d["dictionary"].get<std::string>() + ", version " + n(d["version"]) + ", " +
            n(d["size"]) + " bytes, " + std::to_string(d["members"].size()) + " members\n";
    text += "species:\n";
    std::vector<Row> rows;
    for (const Json& s : d["species"]) {
        rows.push_back({n(s["species"]), s["name"].get<std::string>(), s["classId"].get<std::string>()});
    }
    text += Columns(rows, "  ");
    text += "members:\n";
    rows.clear();
    rows.push_back({"pos", "name", "type", "bytes", "versions", "units", "scale", "alias"});
    for (const Json& m : d["members"]) {
        const unsigned maxVersion = m["maxVersion"].get<unsigned>();
        rows.push_back({n(m["position"]), m.contains("base") ? std::string("(base)") : m["name"].get<std::string>(),
                        m["type"].get<std::string>(), m["bytes"].get<std::string>(),
                        n(m["minVersion"]) + "-" + (maxVersion == 0xFFFF ? std::string("CURRENT") : n(m["maxVersion"])),
                        m.contains("units") ? n(m["units"]) : std::string("-"),
                        m.contains("scale") ? n(m["scale"]["coefficient"]) + "e" + n(m["scale"]["exponent"])
                                            : std::string("-"),
                        m.value("alias", std::string("-"))});
    }
    text += Columns(rows, "  ");
    std::string enumerations;
    for (const Json& e : d["enumerations"]) {
        const std::string kind = e["kind"].get<std::string>();
        enumerations += "  " + e["name"].get<std::string>() +
                        (kind == "bits" ? " (bit numbers)\n" : kind == "named" ? " (named enumeration)\n" : "\n");
        rows.clear();
        for (const Json& v : e["values"]) rows.push_back({n(v["value"]), v["name"].get<std::string>()});
        enumerations += Columns(rows, "    ");
    }
    if (!enumerations.empty()) text += "enumerations:\n" + enumerations;
    return text;
}

std::string RenderObjectTable(const Json& object) {
    std::string out;
    ObjectTable(object, "", &out);
    return out;
}

}  // namespace qova
