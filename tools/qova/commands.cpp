#include "tools/qova/commands.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>

#include "tools/qova/members.h"
#include "tools/qova/render.h"
#include "xqova/core/budget.h"
#include "xqova/core/class_id.h"
#include "xqova/core/frame_header.h"
#include "xqova/core/limits.h"
#include "xqova/dictionary/definition.h"
#include "xqova/json/json.h"
#include "xqova/object/object.h"

namespace qova {

namespace {

std::uint32_t ResolveSpecies(Catalog& catalog, std::uint32_t classId, const std::string& text) {
    const void* block = catalog.Definition(classId);
    const auto* bytes = static_cast<const unsigned char*>(block);
    int code = -1;
    for (std::uint8_t k = 0; k < xqova::DefinitionSpeciesCount(block); ++k) {
        const char* name = xqova::DefinitionEnumerator(block, 0xFFFF, bytes[4 + k]);
        if (name != nullptr && text == name) code = bytes[4 + k];
    }
    if (code < 0) {
        char* end = nullptr;
        errno = 0;
        const unsigned long v = std::strtoul(text.c_str(), &end, 0);
        if (text.empty() || *end != '\0' || errno != 0 || v > 255 || text[0] == '-') {
            throw Failure("--species: '" + text + "' is neither a species code nor a species name of " +
                          catalog.Name(classId));
        }
        code = static_cast<int>(v);
    }
    const std::uint32_t id =
        MakeClassID(GetFamily(classId), GetGenus(classId), static_cast<std::uint8_t>(code));
    if (catalog.Definition(id) != block) {
        throw Failure(catalog.Name(classId) + " does not serve species " + std::to_string(code) +
                      " (qova describe lists its species)");
    }
    return id;
}

// Every object the tool builds runs under a budget (the library's default
// unless --max-objects or --max-bytes says otherwise); a class or an
// encoding that needs more is named instead of half shown.
std::string Hex16(std::uint16_t v) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(v));
    return text;
}

std::string OverBudget(Catalog& catalog, std::uint32_t classId) {
    return catalog.Describe(classId) + ": building it takes more than the budget of " +
           std::to_string(catalog.MaxObjects()) + " objects and " + std::to_string(catalog.MaxBytes()) +
           " bytes per call (--max-objects, --max-bytes)";
}

}  // namespace

// The writers are given the capacity of the buffer the size asked for: a
// writer that would pass it refuses instead.
std::string ObjectXml(CXQOVAObject& object, bool exact) {
    const std::uint32_t size = exact ? object.XMLSizeAll(0xFFFF) : object.XMLSizeAllSafe(XML_ENCODING_CHAR, 0xFFFF);
    if (size == 0) throw Failure("the XML writer refused " + HexId(object.ClassID()) + " (no size)");
    std::vector<char> buffer(size);
    const std::uint32_t written = exact ? object.XMLSerialize(buffer.data(), buffer.size(), 0xFFFF)
                                        : object.XMLSerializeSafe(buffer.data(), buffer.size(), 0xFFFF);
    if (written == 0) throw Failure("the XML writer refused " + HexId(object.ClassID()));
    return std::string(buffer.data(), written - 1);
}

std::string ObjectXmlUtf16(CXQOVAObject& object, bool exact) {
    const std::uint32_t size = exact ? object.XMLSizeAll(XML_ENCODING_UTF16, 0xFFFF)
                                     : object.XMLSizeAllSafe(XML_ENCODING_UTF16, 0xFFFF);
    if (size == 0 || size % 2 != 0) throw Failure("the UTF-16 XML writer refused " + HexId(object.ClassID()));
    std::vector<unsigned short> buffer(size / 2);
    const std::uint32_t written = exact ? object.XMLSerialize(buffer.data(), size, 0xFFFF)
                                        : object.XMLSerializeSafe(buffer.data(), size, 0xFFFF);
    if (written != size) {
        throw Failure("the UTF-16 XML writer wrote " + std::to_string(written) + " bytes where its size said " +
                      std::to_string(size));
    }
    std::vector<std::uint16_t> units(buffer.begin(), buffer.begin() + (written / 2 - 1));
    return Utf16ToUtf8(units.data(), units.size());
}

std::string DescribeRefusal(Catalog& catalog, const xqova::DecodeReport& report, const unsigned char* input) {
    using xqova::DecodeCheck;
    const auto n = [](std::uint64_t v) { return std::to_string(v); };
    const std::string at = "at offset " + n(report.at);
    const std::string member = report.member[0] != '\0' ? std::string(report.member) : std::string("?");
    const std::size_t width = report.classRead ? xqova::LengthFieldWidth(report.classId) : 2;
    std::string detail;
    switch (report.check) {
        case DecodeCheck::kNone: detail = "no problem"; break;
        case DecodeCheck::kHeader:
            detail = "too short for its header: " + n(report.found) + " bytes, " +
                     (report.expected == 4 ? std::string("the class identifier alone takes 4")
                                           : "the header takes " + n(report.expected));
            break;
        case DecodeCheck::kLength:
            detail = "stated length " + n(report.found - 4 - width) + " runs past the input: the encoding would be " +
                     n(report.found) + " bytes, " + n(report.expected) + " are there";
            break;
        case DecodeCheck::kTooSmall:
            detail = "stated length " + n(report.found - 4 - width) + " is too small: an encoding takes at least " +
                     n(report.expected) + " bytes (header, version, status, fixed size, checksum)";
            break;
        case DecodeCheck::kChecksum:
            detail = "checksum mismatch: stored " + Hex16(static_cast<std::uint16_t>(report.found)) + " " + at +
                     ", the bytes before it give " + Hex16(static_cast<std::uint16_t>(report.expected));
            break;
        case DecodeCheck::kUnknownClass: detail = "unknown class: the dictionary has no definition for it"; break;
        case DecodeCheck::kNewerVersion:
            detail = "version " + n(report.found) + " is newer than the dictionary's definition (version " +
                     n(report.expected) + ")";
            break;
        case DecodeCheck::kFixedSection:
            detail = "fixed section of " + n(report.found) + " bytes, version " +
                     n(ReadInt16(input + report.offset + 4 + width)) + " of the class has " + n(report.expected);
            break;
        case DecodeCheck::kMemberData:
            if (report.detail != nullptr) {
                detail = "member " + member + " " + at + " holds " + n(report.found) + " bytes, not a whole number of " +
                         n(report.expected) + "-byte elements";
            } else {
                detail = "member " + member + " " + at + " runs past the encoding, which ends before it";
            }
            break;
        case DecodeCheck::kNestedSize:
            detail = "member " + member + " " + at + " states " + n(report.found) + " bytes, its encoding is " +
                     n(report.expected);
            break;
        case DecodeCheck::kNestedClass:
            detail = "member " + member + " " + at + " holds " +
                     catalog.Describe(static_cast<std::uint32_t>(report.found)) + ", its definition names " +
                     catalog.Describe(static_cast<std::uint32_t>(report.expected));
            break;
        case DecodeCheck::kVectorCount:
            detail = "vector " + member + " " + at + " holds " + n(report.found) + " elements, its fixed count is " +
                     n(report.expected);
            break;
        case DecodeCheck::kLayout:
            detail = n(report.found) + " bytes " + at + " belong to no member";
            break;
        case DecodeCheck::kTooDeep:
            detail = "objects are nested more than " + n(report.expected) + " levels deep";
            break;
        case DecodeCheck::kOutOfMemory:
            detail = report.overBudget ? "building it takes more than the budget of " + n(catalog.MaxObjects()) +
                                             " objects and " + n(catalog.MaxBytes()) +
                                             " bytes per call (--max-objects, --max-bytes)"
                                       : std::string("memory ran out");
            break;
    }
    if (report.overBudget && report.classRead) return OverBudget(catalog, report.classId);
    std::string text;
    if (report.path[0] != '\0') {
        text = "in member " + std::string(report.path) + " of " + catalog.Describe(report.outerClassId) + ": ";
    }
    text += report.classRead ? catalog.Describe(report.classId) : std::string("the encoding");
    text += " at offset " + n(report.offset) + ": " + detail;
    if (report.check == DecodeCheck::kUnknownClass && report.classRead) {
        const std::uint16_t family = GetFamily(report.classId);
        const std::uint8_t genus = GetGenus(report.classId);
        if ((family == 30 && (genus == 0 || genus == 18)) || (family == 29 && genus == 0)) {
            text += " (it looks like a connection message frame: try qova frame decode)";
        }
    }
    return text;
}

std::string DecodeObject(Catalog& catalog, const Bytes& bytes, ObjectOutput output, std::string* warning) {
    // The road a host takes: the library builds the object from the bytes
    // strictly, or says why it refused them.
    const xqova::ScopedConstructionBudget budget(catalog.MaxObjects(), catalog.MaxBytes());
    xqova::DecodeReport report;
    const xqova::DecodedObject decoded = xqova::DecodeObject(&catalog.Dictionary(), bytes.data(), bytes.size(), &report);
    if (!decoded) throw Failure(DescribeRefusal(catalog, report, bytes.data()));
    if (warning != nullptr) {
        warning->clear();
        if (bytes.size() > report.size) {
            *warning = std::to_string(bytes.size() - report.size) + " bytes after the encoding (from offset " +
                       std::to_string(report.size) + ") were not read";
        }
    }
    CXQOVAObject& object = *decoded;

    switch (output) {
        case ObjectOutput::kXml: return ObjectXml(object, false);
        case ObjectOutput::kXmlUtf16: return ObjectXmlUtf16(object, false);
        case ObjectOutput::kXmlExact: return ObjectXml(object, true);
        case ObjectOutput::kXmlUtf16Exact: return ObjectXmlUtf16(object, true);
        case ObjectOutput::kJson: break;
        case ObjectOutput::kTable: break;
    }
    const std::string json = xqova::ObjectToJson(object, output == ObjectOutput::kJson ? 2 : -1);
    if (json.empty()) throw Failure("the JSON writer ran out of memory");
    if (output == ObjectOutput::kJson) return json + "\n";
    return RenderObjectTable(Json::parse(json));
}

Bytes EncodeObject(Catalog& catalog, const EncodeRequest& request) {
    std::uint32_t classId = catalog.ResolveClass(request.className);
    if (!request.species.empty()) classId = ResolveSpecies(catalog, classId, request.species);
    const void* definition = catalog.Definition(classId);
    const std::uint16_t known = DefinitionVersion(definition);
    if (request.version != 0xFFFF && request.version > known) {
        throw Failure(catalog.Name(classId) + ": version " + std::to_string(request.version) +
                      " is newer than its definition (" + std::to_string(known) + ")");
    }
    const xqova::ScopedConstructionBudget budget(catalog.MaxObjects(), catalog.MaxBytes());
    CXQOVAObject object(&catalog.Dictionary(), classId, request.version);
    if (budget.Exhausted()) throw Failure(OverBudget(catalog, classId));
    if (object.GetDefinition() == nullptr) throw Failure("the library did not build " + catalog.Describe(classId));
    if (request.valid) object.SetValid(1);
    if (request.dirty) object.SetDirty(1);
    std::map<MemberKey, std::string> given;
    for (const std::string& assignment : request.assignments) {
        const std::size_t equals = assignment.find('=');
        if (equals == std::string::npos || equals == 0) {
            throw Failure("expected Member=value, got '" + assignment + "'", kExitUsage);
        }
        const std::string path = assignment.substr(0, equals);
        const MemberKey key =
            SetMemberFromText(object, catalog, path, assignment.substr(equals + 1), request.force);
        const auto first = given.emplace(key, assignment);
        if (!first.second) {
            throw Failure(path + ": given twice ('" + first.first->second + "', then '" + assignment + "')");
        }
    }
    return Encoding(catalog, object);
}

Bytes EncodeJson(Catalog& catalog, const Bytes& text, bool force) {
    const xqova::ScopedConstructionBudget budget(catalog.MaxObjects(), catalog.MaxBytes());
    xqova::JsonLimits limits;
    limits.maxObjects = catalog.MaxObjects();
    limits.maxInputBytes = text.size();
    limits.refuseUnnamed = !force;
    xqova::JsonError error;
    const std::unique_ptr<CXQOVAObject> object = xqova::ObjectFromJson(
        &catalog.Dictionary(), reinterpret_cast<const char*>(text.data()), text.size(), &error, limits);
    if (!object) {
        throw Failure("JSON refused " + error.Text() + (error.unnamedValue ? " (--force takes it as it is)" : ""));
    }
    return Encoding(catalog, *object);
}

Bytes Encoding(Catalog& catalog, CXQOVAObject& object) {
    const std::uint32_t classId = object.ClassID();
    const std::uint32_t size = object.SizeAll(0xFFFF);
    if (size == 0) throw Failure("the encoder refused " + catalog.Describe(classId) + " (no size)");
    Bytes buffer(size);
    const std::uint32_t written = object.Serialize(buffer.data(), buffer.size(), 0xFFFF);
    if (written != size) {
        throw Failure("the encoder wrote " + std::to_string(written) + " bytes where its size said " +
                      std::to_string(size));
    }
    // What goes out must come back in: the library decodes it strictly.
    xqova::DecodeReport report;
    if (!xqova::DecodeObject(&catalog.Dictionary(), buffer.data(), buffer.size(), &report)) {
        throw Failure("the encoding written does not decode: " + DescribeRefusal(catalog, report, buffer.data()));
    }
    return buffer;
}

}  // namespace qova
