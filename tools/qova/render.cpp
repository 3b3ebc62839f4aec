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

std::string VersionRange(const xqova::CompiledMember& record) {
    return std::to_string(record.minVersion) + "-" +
           (record.maxVersion == 0xFFFF ? std::string("CURRENT") : std::to_string(record.maxVersion));
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

std::string EnumerationLines(const void* block, std::uint16_t index) {
    std::vector<Row> rows;
    const std::uint16_t count = xqova::DefinitionEnumerationSize(block, index);
    for (std::uint16_t k = 0; k < count; ++k) {
        std::uint16_t value = 0;
        const char* name = nullptr;
        if (xqova::DefinitionEnumerationPair(block, index, k, &value, &name)) {
            rows.push_back({std::to_string(value), name == nullptr ? "" : name});
        }
    }
    return Columns(rows, "    ");
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

std::string RenderClasses(Catalog& catalog) {
    std::vector<Row> rows;
    rows.push_back({"class", "id", "family/genus/species", "species", "version", "members", "dictionary"});
    for (const ClassEntry& entry : catalog.Classes()) {
        rows.push_back({entry.name.empty() ? "(no name)" : entry.name, HexId(entry.classId), Triple(entry.classId),
                        std::to_string(xqova::DefinitionSpeciesCount(entry.block)),
                        std::to_string(DefinitionVersion(entry.block)),
                        std::to_string(xqova::DefinitionMemberCount(entry.block)), entry.source});
    }
    return Columns(rows, "");
}

std::string RenderDescription(Catalog& catalog, std::uint32_t classId) {
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
    std::string text = catalog.Name(own) + "  " + HexId(own) + "  family " + std::to_string(GetFamily(own)) +
                       ", genus " + std::to_string(GetGenus(own)) + "\n";
    text += "dictionary " + source + ", version " + std::to_string(DefinitionVersion(block)) + ", " +
            std::to_string(DefinitionFullSize(block)) + " bytes, " +
            std::to_string(xqova::DefinitionMemberCount(block)) + " members\n";

    text += "species:\n";
    std::vector<Row> rows;
    const auto* bytes = static_cast<const unsigned char*>(block);
    for (std::uint8_t k = 0; k < xqova::DefinitionSpeciesCount(block); ++k) {
        const std::uint8_t code = bytes[4 + k];
        const char* name = xqova::DefinitionEnumerator(block, 0xFFFF, code);
        rows.push_back({std::to_string(code), name == nullptr ? "" : name,
                        HexId(MakeClassID(GetFamily(own), GetGenus(own), code))});
    }
    text += Columns(rows, "  ");

    text += "members:\n";
    rows.clear();
    rows.push_back({"pos", "name", "type", "bytes", "versions", "units", "scale", "alias"});
    const xqova::CompiledDefinition& compiled = CompiledFor(catalog, block);
    std::vector<std::uint16_t> enumerated;
    for (std::uint16_t p = 0; p < compiled.MemberCount(); ++p) {
        const xqova::CompiledMember& member = compiled.Member(p);
        std::string scale = "-";
        if (member.scaleCoefficient != 1 || member.scaleExponent != 0) {
            scale = std::to_string(member.scaleCoefficient) + "e" + std::to_string(member.scaleExponent);
        }
        rows.push_back({std::to_string(p),
                        member.type.IsInherit() ? std::string("(base)") : (member.name == nullptr ? "" : member.name),
                        TypeText(member, catalog), SizeText(member), VersionRange(member),
                        member.units == 0xFF ? std::string("-") : std::to_string(member.units), scale,
                        member.alias == 0xFFFFFFFFu ? std::string("-") : HexId(member.alias)});
        if (xqova::DefinitionHasEnumeration(block, p)) enumerated.push_back(p);
    }
    text += Columns(rows, "  ");

    std::uint16_t m = 0, e = 0;
    TextCounts(block, &m, &e);
    std::string enumerations;
    for (std::uint16_t p : enumerated) {
        enumerations += "  " + std::string(xqova::DefinitionText(block, p)) +
                        (compiled.Member(p).type.IsBitmask() ? " (bit numbers)\n" : "\n") + EnumerationLines(block, p);
    }
    for (std::uint32_t k = m + 1u; k < e; ++k) {
        const auto index = static_cast<std::uint16_t>(0xFFFFu - (k - m));
        const char* name = xqova::DefinitionText(block, index);
        enumerations += "  " + std::string(name == nullptr ? "" : name) + " (named enumeration)\n" +
                        EnumerationLines(block, index);
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
