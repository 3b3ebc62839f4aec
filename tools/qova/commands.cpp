#include "tools/qova/commands.h"

#include <cerrno>
#include <cstdlib>

#include "tools/qova/encoding_check.h"
#include "tools/qova/members.h"
#include "tools/qova/render.h"
#include "xqova/core/budget.h"
#include "xqova/core/class_id.h"
#include "xqova/core/limits.h"
#include "xqova/dictionary/definition.h"
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

std::string DecodeObject(Catalog& catalog, const Bytes& bytes, ObjectOutput output, std::string* warning) {
    EncodingHeader header;
    const EncodingProblem problem = CheckEncoding(catalog, bytes.data(), bytes.size(), &header);
    if (problem) throw Failure(DescribeProblem(catalog, problem));
    if (warning != nullptr) {
        warning->clear();
        if (bytes.size() > header.total) {
            *warning = std::to_string(bytes.size() - header.total) + " bytes after the encoding (from offset " +
                       std::to_string(header.total) + ") were not read";
        }
    }

    // The road a host takes: the object is built from the bytes, the
    // constructor finding its class and version in them.
    const xqova::ScopedConstructionBudget budget(catalog.MaxObjects(), catalog.MaxBytes());
    CXQOVAObject object(&catalog.Dictionary(), bytes.data(), header.total);
    if (budget.Exhausted()) throw Failure(OverBudget(catalog, header.classId));
    if (object.GetDefinition() == nullptr || object.ClassID() != header.classId) {
        throw Failure("the library did not build " + catalog.Describe(header.classId) + " from the encoding");
    }
    const std::uint32_t consumed = object.Deserialize(bytes.data(), header.total, 1);
    if (budget.Exhausted()) throw Failure(OverBudget(catalog, header.classId));
    if (consumed != header.total) {
        throw Failure("the library's decoder refused " + catalog.Describe(header.classId) + " (it took " +
                      std::to_string(consumed) + " of " + std::to_string(header.total) + " bytes)");
    }

    switch (output) {
        case ObjectOutput::kXml: return ObjectXml(object, false);
        case ObjectOutput::kXmlUtf16: return ObjectXmlUtf16(object, false);
        case ObjectOutput::kXmlExact: return ObjectXml(object, true);
        case ObjectOutput::kXmlUtf16Exact: return ObjectXmlUtf16(object, true);
        case ObjectOutput::kJson: return DumpJson(ObjectToJson(object, catalog));
        case ObjectOutput::kTable: break;
    }
    return RenderObjectTable(ObjectToJson(object, catalog));
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
    for (const std::string& assignment : request.assignments) {
        const std::size_t equals = assignment.find('=');
        if (equals == std::string::npos || equals == 0) {
            throw Failure("expected Member=value, got '" + assignment + "'", kExitUsage);
        }
        SetMemberFromText(object, catalog, assignment.substr(0, equals), assignment.substr(equals + 1));
    }
    const std::uint32_t size = object.SizeAll(0xFFFF);
    if (size == 0) throw Failure("the encoder refused " + catalog.Describe(classId) + " (no size)");
    Bytes buffer(size);
    const std::uint32_t written = object.Serialize(buffer.data(), buffer.size(), 0xFFFF);
    if (written != size) {
        throw Failure("the encoder wrote " + std::to_string(written) + " bytes where its size said " +
                      std::to_string(size));
    }
    // What goes out must come back in: the encoding passes the checks any
    // input passes.
    const EncodingProblem problem = CheckEncoding(catalog, buffer.data(), buffer.size(), nullptr);
    if (problem) throw Failure("the encoding written does not pass its checks: " + DescribeProblem(catalog, problem));
    return buffer;
}

}  // namespace qova
