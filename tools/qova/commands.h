// The work behind each qova subcommand, apart from the command line, so that
// tests can run it in the process. Each returns what the command prints (or
// writes) and throws Failure when the input or a value is refused.
#ifndef XQOVA_TOOLS_QOVA_COMMANDS_H
#define XQOVA_TOOLS_QOVA_COMMANDS_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tools/qova/catalog.h"
#include "xqova/encoding/decode_report.h"

class CXQOVAObject;
namespace CLI {
class App;
}

namespace qova {

// kXml and kXmlUtf16 are the library's well-formed documents (safe for any
// input); the Exact forms are the exact writers' bytes, unescaped.
enum class ObjectOutput { kTable, kXml, kXmlUtf16, kJson, kXmlExact, kXmlUtf16Exact };

// Builds the object from an encoding the library's strict way
// (xqova::DecodeObject) and renders it; a refusal throws Failure with the
// library's reason in words. Bytes after the encoding are reported in
// `warning`.
std::string DecodeObject(Catalog& catalog, const Bytes& bytes, ObjectOutput output, std::string* warning);

// One line for the user about a refusal of the bytes `input`: where, which
// class, which check, and the numbers it compared.
std::string DescribeRefusal(Catalog& catalog, const xqova::DecodeReport& report, const unsigned char* input);

struct EncodeRequest {
    std::string className;                 // name, hex identifier or family/genus/species
    std::string species;                   // another species the definition serves (code or name), or ""
    std::uint16_t version = 0xFFFF;        // 0xFFFF: the definition's own
    bool valid = false;
    bool dirty = false;
    bool force = false;                    // take numbers without names and times off the calendar
    std::vector<std::string> assignments;  // "Member=value", "Nested.Member=value"
};

// Builds the object and returns its encoding at its own version. Each
// value is checked against its member (SetMemberFromText); a member given
// twice is refused.
Bytes EncodeObject(Catalog& catalog, const EncodeRequest& request);

// Builds the object a JSON document of decode --json describes and returns
// its encoding. Numbers without names (an enumerated member's value outside
// its enumeration, a set bit without a name) are refused unless `force`.
// Throws Failure with the place and reason of a refusal.
Bytes EncodeJson(Catalog& catalog, const Bytes& text, bool force = false);

// The object's encoding at its own version, checked to decode strictly.
Bytes Encoding(Catalog& catalog, CXQOVAObject& object);

// The object's XML document, 8-bit, or UTF-16 turned into UTF-8, without its
// terminator: the well-formed form, or with `exact` the exact writers'
// bytes. Throws Failure when the writer refuses the object.
std::string ObjectXml(CXQOVAObject& object, bool exact);
std::string ObjectXmlUtf16(CXQOVAObject& object, bool exact);

// qova defs (defs.cpp): the definitions of one class (by the name, hex
// identifier or family/genus/species of ResolveClass) or, for an empty
// name, of every class the catalog holds, as a JSON document; `warning`
// names the blocks whose JSON compiles to other bytes. Then a JSON document
// compiled into blocks back to back, refusals naming `source` and the place.
std::string DumpDefinitions(Catalog& catalog, const std::string& className, std::string* warning);
Bytes CompileDefinitions(Catalog& catalog, const Bytes& text, const std::string& source);
// Adds the `defs dump` and `defs compile` subcommands.
void AddDefsCommands(CLI::App& app, std::function<int(Catalog&)>& action);

}  // namespace qova

#endif
