#include "xqova/json/definition_json.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <map>
#include <new>
#include <set>
#include <utility>

#include <nlohmann/json.hpp>

#include "xqova/core/types.h"
#include "xqova/dictionary/definition.h"
#include "xqova/dictionary/dictionary.h"
#include "xqova/dictionary/member_type.h"
#include "xqova/json/checked_document.h"

namespace xqova {

namespace {

using Json = nlohmann::ordered_json;
using build::ClassDescription;
using build::Enumerator;

constexpr std::size_t kMaxInputBytes = std::size_t{16} << 20;
constexpr std::size_t kMaxDepth = 16;

struct Refusal {
    std::string path;
    std::string reason;
};

[[noreturn]] void Refuse(const std::string& path, const std::string& reason) { throw Refusal{path, reason}; }

std::string Hex(std::uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, static_cast<unsigned>(value));
    return text;
}

std::string Escape(const std::string& key) { return json_detail::EscapePointerToken(key); }

// The scalar type names, with the type byte each stands for (the names the
// library's text forms write, TypeName).
struct ScalarName {
    const char* name;
    std::uint8_t byte;
};
constexpr ScalarName kScalars[] = {
    {"int8", 0x00},  {"int16", 0x01},  {"int32", 0x03},    {"int64", 0x07},    {"uint8", 0x10},
    {"uint16", 0x11}, {"uint32", 0x13}, {"uint64", 0x17},  {"float32", 0x23},  {"float64", 0x27},
    {"TIME", 0x02},  {"ansichar", 0x08}, {"widechar", 0x09},
};

const char* ScalarText(std::uint8_t low) {
    for (const ScalarName& s : kScalars) {
        if (s.byte == low) return s.name;
    }
    return nullptr;
}

// A type of the list that is neither a number with a fraction, nor text, nor a time.
bool IsInteger(std::uint8_t low) {
    const MemberType type(low);
    return ScalarText(low) != nullptr && !type.IsFloat() && !type.IsText() && !type.IsTime();
}

// ---------------------------------------------------------------------------
// Names of classes, in both directions, over a document's classes and a
// dictionary: the same rules when dumping and compiling, so that a dump
// compiles back to the same identifiers.

class ClassIndex {
public:
    ClassIndex(const std::vector<ClassDescription>* classes, const CXQOVADictionary* dictionary)
        : classes_(classes), dictionary_(dictionary) {
        for (std::size_t i = 0; i < classes_->size(); ++i) {
            const ClassDescription& d = (*classes_)[i];
            AddName(d.name, d.ClassId(), &fileNames_);
            const std::uint32_t base = (static_cast<std::uint32_t>(d.family) << 16) | (static_cast<std::uint32_t>(d.genus) << 8);
            for (const build::Species& s : d.species) serving_[base | s.code] = i;
        }
        if (dictionary_ != nullptr) {
            const std::uint16_t count = dictionary_->GetDefinitionCount(SEARCH_MODE_ALL);
            for (std::uint16_t i = 0; i < count; ++i) {
                const void* block = dictionary_->GetDefinitionAt(i, SEARCH_MODE_ALL);
                const char* name = DefinitionText(block, 0xFFFF);
                if (name != nullptr) AddName(name, DefinitionClassID(block), &dictionaryNames_);
            }
        }
    }

    // The identifier a name stands for: 1 found, 0 unknown, -1 ambiguous
    // (document classes of that name with different identifiers).
    int Identifier(const std::string& name, std::uint32_t* id) const {
        for (const auto* names : {&fileNames_, &dictionaryNames_}) {
            const auto it = names->find(name);
            if (it == names->end()) continue;
            if (it->second.second) return -1;
            *id = it->second.first;
            return 1;
        }
        return 0;
    }

    // The document class serving an identifier (the last one listed), or null.
    const ClassDescription* Serving(std::uint32_t id) const {
        const auto it = serving_.find(id);
        return it == serving_.end() ? nullptr : &(*classes_)[it->second];
    }

    const void* DictionaryBlock(std::uint32_t id) const {
        return dictionary_ == nullptr ? nullptr : dictionary_->GetDefinition(id, SEARCH_MODE_ALL);
    }

    // The name of the class serving an identifier, for the empty-member
    // document; empty when nothing serves it.
    std::string DocumentName(std::uint32_t id) const {
        if (const ClassDescription* d = Serving(id)) return d->name;
        const char* name = DefinitionText(DictionaryBlock(id), 0xFFFF);
        return name != nullptr ? name : "";
    }

    // How a member's class is written: its name when the name reads back as
    // the same identifier, else the identifier in hex.
    std::string Reference(std::uint32_t id) const {
        if (id == kNoClass) return "ANY_CLASS";
        const std::string name = DocumentName(id);
        std::uint32_t back = 0;
        if (!name.empty() && name != "ANY_CLASS" && name.find_first_of(" []") == std::string::npos &&
            name.compare(0, 2, "0x") != 0 && Identifier(name, &back) == 1 && back == id) {
            return name;
        }
        return Hex(id, 8);
    }

private:
    static void AddName(const std::string& name, std::uint32_t id,
                        std::map<std::string, std::pair<std::uint32_t, bool>>* names) {
        const auto inserted = names->emplace(name, std::make_pair(id, false));
        if (!inserted.second && inserted.first->second.first != id) inserted.first->second.second = true;
    }

    const std::vector<ClassDescription>* classes_;
    const CXQOVADictionary* dictionary_;
    std::map<std::string, std::pair<std::uint32_t, bool>> fileNames_;
    std::map<std::string, std::pair<std::uint32_t, bool>> dictionaryNames_;
    std::map<std::uint32_t, std::size_t> serving_;
};

// ---------------------------------------------------------------------------
// Parsing.

std::string Kind(const Json& j) {
    if (j.is_null()) return "null";
    if (j.is_boolean()) return "a boolean";
    if (j.is_number()) return "a number";
    if (j.is_string()) return "a string";
    if (j.is_array()) return "an array";
    return "an object";
}

// An integer within [low, high], high >= 0. The parser keeps a number
// without a sign unsigned: it is compared unsigned with `high` (one past the
// signed range is above every bound), then as signed with `low`.
std::int64_t Integer(const Json& j, const std::string& path, std::int64_t low, std::int64_t high) {
    if (!j.is_number_integer()) Refuse(path, "an integer is expected, not " + Kind(j));
    const bool above = j.is_number_unsigned() && j.get<std::uint64_t>() > static_cast<std::uint64_t>(high);
    const std::int64_t v = j.get<std::int64_t>();
    if (above || v < low) Refuse(path, j.dump() + " is outside " + std::to_string(low) + " to " + std::to_string(high));
    return v;
}

const std::string& String(const Json& j, const std::string& path) {
    if (!j.is_string()) Refuse(path, "a string is expected, not " + Kind(j));
    return j.get_ref<const std::string&>();
}

const std::string& Name(const Json& j, const std::string& path) {
    const std::string& s = String(j, path);
    if (s.empty()) Refuse(path, "a name is not empty");
    if (s.find('\0') != std::string::npos) Refuse(path, "a name holds no zero character");
    if (s.size() > 1024) Refuse(path, "a name of " + std::to_string(s.size()) + " bytes, more than 1024");
    return s;
}

// The keys an object may hold: anything else is refused (a misspelt field
// would otherwise pass unnoticed).
void OnlyKeys(const Json& j, const std::string& path, std::initializer_list<const char*> allowed) {
    if (!j.is_object()) Refuse(path, "an object is expected, not " + Kind(j));
    for (auto it = j.begin(); it != j.end(); ++it) {
        bool known = false;
        for (const char* key : allowed) known = known || it.key() == key;
        if (!known) Refuse(path + "/" + Escape(it.key()), "no such field here");
    }
}

const Json* Find(const Json& j, const char* key) {
    const auto it = j.find(key);
    return it == j.end() ? nullptr : &*it;
}

// Values named in order: a string takes the value after the one before (0
// first), {"name": ..., "value": ...} gives its own.
std::vector<Enumerator> Enumerators(const Json& j, const std::string& path, std::int64_t max) {
    if (!j.is_array()) Refuse(path, "a list of names is expected, not " + Kind(j));
    std::vector<Enumerator> values;
    std::int64_t next = 0;
    std::set<std::string> names;
    for (std::size_t i = 0; i < j.size(); ++i) {
        const std::string at = path + "/" + std::to_string(i);
        const Json& item = j[i];
        std::string name;
        std::int64_t value = next;
        if (item.is_string()) {
            name = Name(item, at);
            if (value > max) Refuse(at, "the value after " + std::to_string(max) + " is past " + std::to_string(max));
        } else {
            OnlyKeys(item, at, {"name", "value"});
            const Json* n = Find(item, "name");
            const Json* v = Find(item, "value");
            if (n == nullptr || v == nullptr) Refuse(at, "a value is a name, or {\"name\": ..., \"value\": ...}");
            name = Name(*n, at + "/name");
            value = Integer(*v, at + "/value", 0, max);
        }
        if (!names.insert(name).second) Refuse(at, "\"" + name + "\" is named twice");
        values.push_back({static_cast<std::uint16_t>(value), name});
        next = value + 1;
    }
    return values;
}

[[noreturn]] void BadType(const std::string& path, const std::string& text, const std::string& why) {
    Refuse(path, "\"" + text + "\": " + why +
                     " (types: int8 ... uint64, float32, float64, TIME, ansichar, widechar, 0xNN, each with [N] or "
                     "[UNBOUNDED]; bitmask INTEGER; object CLASS, object ANY_CLASS, with [N] or [UNBOUNDED]; "
                     "inherit CLASS)");
}

// Reads a member's type into its type byte and fixed count; gives back the
// class an object member holds, as written (empty for any other member).
std::string Type(const Json& j, const std::string& path, build::Member* m) {
    const std::string& text = String(j, path);
    std::string rest = text;
    std::string suffix;
    const std::size_t open = rest.find('[');
    if (open != std::string::npos) {
        if (rest.back() != ']') BadType(path, text, "an array size ends with ]");
        suffix = rest.substr(open + 1, rest.size() - open - 2);
        rest = rest.substr(0, open);
    }
    std::uint8_t arrayBits = 0;
    if (open != std::string::npos) {
        if (suffix == "UNBOUNDED") {
            arrayBits = MemberType::kUnboundedBit;
        } else {
            if (suffix.empty() || suffix.size() > 5 || suffix.find_first_not_of("0123456789") != std::string::npos) {
                BadType(path, text, "an array size is a count from 0 to 65535 or UNBOUNDED");
            }
            const unsigned long count = std::stoul(suffix);
            if (count > 0xFFFF) BadType(path, text, "an array size is a count from 0 to 65535 or UNBOUNDED");
            arrayBits = MemberType::kFixedArrayBit;
            m->fixedCount = static_cast<std::uint16_t>(count);
        }
    }
    const std::size_t space = rest.find(' ');
    const std::string word = space == std::string::npos ? rest : rest.substr(0, space);
    const std::string operand = space == std::string::npos ? std::string() : rest.substr(space + 1);
    if (word == "object" || word == "inherit") {
        if (operand.empty()) BadType(path, text, "the class held is missing");
        if (word == "inherit" && arrayBits != 0) BadType(path, text, "an inherit member is no array");
        m->type = static_cast<std::uint8_t>((word == "inherit" ? MemberType::kInherit : MemberType::kSingleObject) |
                                            arrayBits);
        return operand;
    }
    bool bitmask = false;
    std::string scalar = rest;
    if (word == "bitmask") {
        bitmask = true;
        scalar = operand;
    } else if (space != std::string::npos) {
        BadType(path, text, "unknown type");
    }
    std::uint8_t low = 0xFF;
    for (const ScalarName& s : kScalars) {
        if (scalar == s.name) low = s.byte;
    }
    if (low == 0xFF && !bitmask && scalar.size() == 4 && scalar.compare(0, 2, "0x") == 0 &&
        scalar.find_first_not_of("0123456789ABCDEFabcdef", 2) == std::string::npos) {
        low = static_cast<std::uint8_t>(std::stoul(scalar.substr(2), nullptr, 16));
        if (low > 0x3F) BadType(path, text, "a type byte written in hex is below 0x40 (arrays take [N] or [UNBOUNDED])");
        if (MemberType(low).IsObject()) BadType(path, text, "object members are written object CLASS");
    }
    if (low == 0xFF) BadType(path, text, "unknown type");
    if (bitmask) {
        if (!IsInteger(low)) BadType(path, text, "a bitmask is of an integer type");
        low = static_cast<std::uint8_t>(low | MemberType::kFloatOrBitmask);
    }
    m->type = static_cast<std::uint8_t>(low | arrayBits);
    return std::string();
}

std::string TypeText(const build::Member& m, const ClassIndex& index) {
    const MemberType type(m.type);
    std::string suffix;
    if (type.IsUnbounded()) {
        suffix = "[UNBOUNDED]";
    } else if (type.IsFixedArray()) {
        suffix = "[" + std::to_string(m.fixedCount) + "]";
    }
    const std::uint8_t low = static_cast<std::uint8_t>(m.type & 0x3F);
    if (type.IsObject()) {
        return (type.IsInherit() ? "inherit " : "object ") + index.Reference(m.memberClass) + suffix;
    }
    if (type.IsBitmask()) {
        const std::uint8_t key = static_cast<std::uint8_t>(low & ~MemberType::kFloatOrBitmask);
        if (IsInteger(key)) return std::string("bitmask ") + ScalarText(key) + suffix;
    } else if (const char* name = ScalarText(low)) {
        return name + suffix;
    }
    return Hex(low, 2) + suffix;
}

struct PendingClass {
    ClassDescription d;
    std::string path;                       // "/classes/3", or "" for a single class
    std::vector<std::string> memberClasses;  // per member: the class held, as written, or empty
    std::vector<std::string> tableOrder;    // member names, as written
    bool xmlGiven = false;
};

// The class fields that need no other class: everything but member classes.
PendingClass ClassHead(const Json& j, const std::string& path) {
    OnlyKeys(j, path, {"name", "identifier", "family", "genus", "species", "version", "membersFrom", "members",
                       "enumerations", "attributeSize", "xmlBaseSize", "tableOrder", "comment"});
    PendingClass c;
    c.path = path;
    ClassDescription& d = c.d;
    const Json* name = Find(j, "name");
    if (name == nullptr) Refuse(path, "a class has a \"name\"");
    d.name = Name(*name, path + "/name");

    const Json* identifier = Find(j, "identifier");
    const Json* family = Find(j, "family");
    const Json* genus = Find(j, "genus");
    std::uint32_t id = 0;
    if (identifier != nullptr) {
        const std::string& text = String(*identifier, path + "/identifier");
        if (text.size() != 10 || text.compare(0, 2, "0x") != 0 ||
            text.find_first_not_of("0123456789ABCDEFabcdef", 2) != std::string::npos) {
            Refuse(path + "/identifier", "\"" + text + "\" is not an identifier in hex like \"0x00050000\"");
        }
        id = static_cast<std::uint32_t>(std::stoul(text.substr(2), nullptr, 16));
        if (id == kNoClass) Refuse(path + "/identifier", "0xFFFFFFFF stands for any class");
    } else if (family == nullptr || genus == nullptr) {
        Refuse(path, "a class has an \"identifier\", or a \"family\" and a \"genus\"");
    }
    d.family = static_cast<std::uint16_t>(id >> 16);
    d.genus = static_cast<std::uint8_t>(id >> 8);
    if (family != nullptr) {
        const auto f = static_cast<std::uint16_t>(Integer(*family, path + "/family", 0, 0xFFFF));
        if (identifier != nullptr && f != d.family) Refuse(path + "/family", "differs from the identifier's");
        d.family = f;
    }
    if (genus != nullptr) {
        const auto g = static_cast<std::uint8_t>(Integer(*genus, path + "/genus", 0, 0xFF));
        if (identifier != nullptr && g != d.genus) Refuse(path + "/genus", "differs from the identifier's");
        d.genus = g;
    }
    if (const Json* species = Find(j, "species")) {
        for (const Enumerator& e : Enumerators(*species, path + "/species", 0xFF)) {
            for (const build::Species& s : d.species) {
                if (s.code == e.value) Refuse(path + "/species", "code " + std::to_string(e.value) + " is listed twice");
            }
            d.species.push_back({static_cast<std::uint8_t>(e.value), e.name});
        }
        if (d.species.empty()) Refuse(path + "/species", "a class has at least one species");
        if (identifier != nullptr && d.species.front().code != (id & 0xFF)) {
            Refuse(path + "/species/0", "the first species is the identifier's, " + std::to_string(id & 0xFF));
        }
    } else {
        d.species.push_back({static_cast<std::uint8_t>(id & 0xFF), "SpSTANDARD"});
    }
    if (const Json* v = Find(j, "version")) d.version = static_cast<std::uint16_t>(Integer(*v, path + "/version", 0, 0xFFFF));
    std::uint16_t membersFrom = build::kFirstVersion;
    if (const Json* v = Find(j, "membersFrom")) {
        membersFrom = static_cast<std::uint16_t>(Integer(*v, path + "/membersFrom", 0, 0xFFFF));
    }
    if (const Json* v = Find(j, "attributeSize")) {
        d.attributeSize = static_cast<std::uint16_t>(Integer(*v, path + "/attributeSize", 0, 0xFFFF));
    }
    if (const Json* v = Find(j, "xmlBaseSize")) {
        d.xmlBaseSize = static_cast<std::int32_t>(Integer(*v, path + "/xmlBaseSize", 0, 0xFFFF));
        c.xmlGiven = true;
    }

    const Json* members = Find(j, "members");
    if (members != nullptr && !members->is_array()) Refuse(path + "/members", "a list of members is expected");
    std::map<std::string, std::size_t> memberNames;  // name to position
    for (std::size_t p = 0; members != nullptr && p < members->size(); ++p) {
        // Positions are 16-bit: the 65536th member is one too many.
        if (p == 0xFFFF) Refuse(path + "/members", "more than 65535 members");
        const std::string at = path + "/members/" + std::to_string(p);
        const Json& mj = (*members)[p];
        OnlyKeys(mj, at, {"name", "type", "from", "until", "values", "alias", "units", "scaleCoefficient",
                          "scaleExponent", "comment"});
        build::Member m;
        const Json* n = Find(mj, "name");
        if (n == nullptr) Refuse(at, "a member has a \"name\"");
        m.name = Name(*n, at + "/name");
        if (!memberNames.emplace(m.name, p).second) Refuse(at + "/name", "\"" + m.name + "\" names an earlier member too");
        const Json* type = Find(mj, "type");
        if (type == nullptr) Refuse(at, "a member has a \"type\"");
        c.memberClasses.push_back(Type(*type, at + "/type", &m));
        if (MemberType(m.type).IsInherit() && p != 0) Refuse(at + "/type", "only the first member inherits");
        m.minVersion = membersFrom;
        if (const Json* v = Find(mj, "from")) m.minVersion = static_cast<std::uint16_t>(Integer(*v, at + "/from", 0, 0xFFFF));
        if (const Json* v = Find(mj, "until")) m.maxVersion = static_cast<std::uint16_t>(Integer(*v, at + "/until", 0, 0xFFFF));
        if (m.maxVersion < m.minVersion) Refuse(at, "\"until\" is before \"from\"");
        if (const Json* v = Find(mj, "values")) m.enumerators = Enumerators(*v, at + "/values", 0xFFFF);
        if (const Json* v = Find(mj, "alias")) m.alias = static_cast<std::uint32_t>(Integer(*v, at + "/alias", 0, 0xFFFFFFFF));
        if (const Json* v = Find(mj, "units")) m.units = static_cast<std::uint8_t>(Integer(*v, at + "/units", 0, 0xFF));
        if (const Json* v = Find(mj, "scaleCoefficient")) {
            m.scaleCoefficient = static_cast<std::uint16_t>(Integer(*v, at + "/scaleCoefficient", 0, 0xFFFF));
        }
        if (const Json* v = Find(mj, "scaleExponent")) {
            m.scaleExponent = static_cast<std::int8_t>(Integer(*v, at + "/scaleExponent", -128, 127));
        }
        d.members.push_back(std::move(m));
    }

    if (const Json* e = Find(j, "enumerations")) {
        if (!e->is_array()) Refuse(path + "/enumerations", "a list of enumerations is expected");
        std::set<std::string> names;
        for (std::size_t k = 0; k < e->size(); ++k) {
            const std::string at = path + "/enumerations/" + std::to_string(k);
            OnlyKeys((*e)[k], at, {"name", "values", "comment"});
            const Json* n = Find((*e)[k], "name");
            const Json* v = Find((*e)[k], "values");
            if (n == nullptr || v == nullptr) Refuse(at, "an enumeration has a \"name\" and \"values\"");
            build::NamedEnumeration named{Name(*n, at + "/name"), Enumerators(*v, at + "/values", 0xFFFF)};
            if (!names.insert(named.name).second) Refuse(at + "/name", "\"" + named.name + "\" names an earlier enumeration too");
            d.enumerations.push_back(std::move(named));
        }
    }
    if (const Json* order = Find(j, "tableOrder")) {
        if (!order->is_array()) Refuse(path + "/tableOrder", "a list of member names is expected");
        std::set<std::uint16_t> seen;
        for (std::size_t i = 0; i < order->size(); ++i) {
            const std::string at = path + "/tableOrder/" + std::to_string(i);
            const std::string& name = String((*order)[i], at);
            const auto named = memberNames.find(name);
            if (named == memberNames.end()) Refuse(at, "no member is named \"" + name + "\"");
            const auto p = static_cast<std::uint16_t>(named->second);
            if (d.members[p].enumerators.empty()) Refuse(at, "member \"" + name + "\" has no values");
            if (!seen.insert(p).second) Refuse(at, "member \"" + name + "\" is listed twice");
            d.enumerationTableOrder.push_back(p);
        }
        for (std::uint16_t p = 0; p < d.members.size(); ++p) {
            if (!d.members[p].enumerators.empty() && seen.count(p) == 0) {
                Refuse(path + "/tableOrder", "member \"" + d.members[p].name + "\" has values and is not listed");
            }
        }
    }
    return c;
}

// The member classes a class holds in every object of it: single objects,
// the inherited part and vectors of a fixed count. A member of any other
// type names no class (0xFFFFFFFF, as ANY_CLASS does), and holds none.
bool AlwaysHeld(std::uint8_t byte, std::uint32_t memberClass, std::uint16_t fixedCount) {
    if (memberClass == kNoClass) return false;
    const MemberType type(byte);
    return type.IsSingleObject() || (type.IsFixedArray() && fixedCount > 0);
}

// Refuses a class that would hold itself through members that every object
// holds (an object of it could never be complete). A walk with its own
// stack: a long chain of classes must not exhaust the machine's.
void RefuseCycles(const std::vector<PendingClass>& classes, const ClassIndex& index) {
    struct Step {
        std::uint32_t id;
        std::string label;  // "CName.Member" through which the next class is held
    };
    struct Frame {
        std::vector<Step> children;
        std::size_t next = 0;
        std::string label;
    };
    const auto children = [&index](std::uint32_t id) {
        std::vector<Step> out;
        if (const ClassDescription* d = index.Serving(id)) {
            for (const build::Member& m : d->members) {
                if (AlwaysHeld(m.type, m.memberClass, m.fixedCount)) out.push_back({m.memberClass, d->name + "." + m.name});
            }
        } else if (const void* block = index.DictionaryBlock(id)) {
            MemberWalker walker(block);
            MemberRecord r;
            for (std::uint16_t p = 0; walker.Next(&r); ++p) {
                if (!AlwaysHeld(r.type, r.memberClass, r.fixedCount)) continue;
                const char* member = DefinitionText(block, p);
                out.push_back({r.memberClass, index.Reference(id) + "." + (member != nullptr ? member : std::to_string(p))});
            }
        }
        return out;
    };
    std::map<std::uint32_t, int> state;  // 1 on the path, 2 done
    for (const PendingClass& c : classes) {
        const std::uint32_t root = c.d.ClassId();
        if (state[root] == 2) continue;
        std::vector<Frame> stack;
        state[root] = 1;
        stack.push_back(Frame{children(root), 0, std::string()});
        std::vector<std::uint32_t> ids{root};
        while (!stack.empty()) {
            Frame& top = stack.back();
            if (top.next == top.children.size()) {
                state[ids.back()] = 2;
                ids.pop_back();
                stack.pop_back();
                continue;
            }
            const Step step = top.children[top.next++];
            int& s = state[step.id];
            if (s == 2) continue;
            if (s == 1) {
                // The members of the cycle, the middle of a long one left out.
                std::string text;
                const std::size_t steps = stack.size() - 1;
                for (std::size_t k = 1; k < stack.size(); ++k) {
                    if (steps > 8 && k == 5) text += "... (" + std::to_string(steps - 7) + " more) -> ";
                    if (steps > 8 && k >= 5 && k < stack.size() - 3) continue;
                    text += stack[k].label + " -> ";
                }
                Refuse(c.path, "the member classes form a cycle: " + text + step.label + " -> " + index.Reference(step.id));
            }
            s = 1;
            ids.push_back(step.id);
            stack.push_back(Frame{children(step.id), 0, step.label});
        }
    }
}

std::vector<ClassDescription> Compile(const Json& document, const CXQOVADictionary* dictionary) {
    std::vector<PendingClass> pending;
    if (document.is_object() && document.contains("classes")) {
        OnlyKeys(document, "", {"classes", "comment"});
        const Json& list = document["classes"];
        if (!list.is_array()) Refuse("/classes", "a list of classes is expected, not " + Kind(list));
        for (std::size_t i = 0; i < list.size(); ++i) pending.push_back(ClassHead(list[i], "/classes/" + std::to_string(i)));
    } else {
        pending.push_back(ClassHead(document, ""));
    }
    std::vector<ClassDescription> classes;
    for (const PendingClass& c : pending) classes.push_back(c.d);
    const ClassIndex index(&classes, dictionary);

    // Member classes, by name or identifier.
    for (std::size_t i = 0; i < pending.size(); ++i) {
        for (std::size_t p = 0; p < pending[i].memberClasses.size(); ++p) {
            const std::string& written = pending[i].memberClasses[p];
            if (written.empty()) continue;
            const std::string at = pending[i].path + "/members/" + std::to_string(p) + "/type";
            std::uint32_t id = kNoClass;
            if (written == "ANY_CLASS") {
                if (MemberType(pending[i].d.members[p].type).IsInherit()) Refuse(at, "an inherit member names its base class");
            } else if (written.size() == 10 && written.compare(0, 2, "0x") == 0 &&
                       written.find_first_not_of("0123456789ABCDEFabcdef", 2) == std::string::npos) {
                id = static_cast<std::uint32_t>(std::stoul(written.substr(2), nullptr, 16));
            } else {
                const int found = index.Identifier(written, &id);
                if (found == 0) Refuse(at, "no class is named \"" + written + "\" in the document or the dictionary");
                if (found < 0) Refuse(at, "classes of the document named \"" + written + "\" differ in identifier");
            }
            classes[i].members[p].memberClass = id;
            pending[i].d.members[p].memberClass = id;
        }
    }
    const ClassIndex resolved(&classes, dictionary);
    RefuseCycles(pending, resolved);

    const auto names = [&resolved](std::uint32_t id) { return resolved.DocumentName(id); };
    for (std::size_t i = 0; i < classes.size(); ++i) {
        ClassDescription& d = classes[i];
        if (!pending[i].xmlGiven) {
            const std::size_t length = build::EmptyDocumentLength(d, names, 5);
            if (length > 0xFFFF) {
                Refuse(pending[i].path, "its empty-member document would be " + std::to_string(length) +
                                            " characters, more than an XML base size of 65535 states");
            }
            d.xmlBaseSize = static_cast<std::int32_t>(length);
        }
        std::string why;
        const std::vector<unsigned char> block = build::BuildDefinition(d, names, &why);
        if (block.empty()) Refuse(pending[i].path, why.empty() ? std::string("out of memory") : why);
        DefinitionReport report;
        if (!CheckDefinition(block.data(), block.size(), &report)) {
            const std::string at = report.member != 0xFFFF && report.member < d.members.size()
                                       ? pending[i].path + "/members/" + std::to_string(report.member)
                                       : pending[i].path;
            Refuse(at, std::string("the block would be refused: ") + DefinitionCheckName(report.check));
        }
    }
    return classes;
}

Json Parse(const char* text, std::size_t length) {
    if (text == nullptr && length != 0) Refuse("", "no text");
    if (length > kMaxInputBytes) {
        Refuse("", "the text has " + std::to_string(length) + " bytes, more than the limit of " +
                       std::to_string(kMaxInputBytes));
    }
    try {
        Json document;
        json_detail::ParseChecked(text, length, kMaxDepth, &Refuse, &document);
        return document;
    } catch (const nlohmann::json::parse_error& e) {
        Refuse("", std::string("not JSON: ") + e.what());
    }
}

// ---------------------------------------------------------------------------
// Dumping.

Json EnumeratorsJson(const std::vector<Enumerator>& values) {
    Json list = Json::array();
    std::uint32_t next = 0;
    for (const Enumerator& v : values) {
        if (v.value == next) {
            list.push_back(v.name);
        } else {
            Json item = Json::object();
            item["name"] = v.name;
            item["value"] = v.value;
            list.push_back(std::move(item));
        }
        next = v.value + 1u;
    }
    return list;
}

Json ClassJson(const ClassDescription& d, const ClassIndex& index) {
    Json j = Json::object();
    j["name"] = d.name;
    j["identifier"] = Hex(d.ClassId(), 8);
    j["family"] = d.family;
    j["genus"] = d.genus;
    if (!(d.species.size() == 1 && d.species[0].name == "SpSTANDARD")) {
        std::vector<Enumerator> species;
        for (const build::Species& s : d.species) species.push_back({s.code, s.name});
        j["species"] = EnumeratorsJson(species);
    }
    j["version"] = d.version;
    // The members' usual first version, written once.
    std::map<std::uint16_t, std::size_t> counts;
    for (const build::Member& m : d.members) ++counts[m.minVersion];
    const auto usual = std::max_element(counts.begin(), counts.end(),
                                        [](const auto& a, const auto& b) { return a.second < b.second; });
    const std::uint16_t membersFrom = usual == counts.end() ? build::kFirstVersion : usual->first;
    if (membersFrom != build::kFirstVersion) j["membersFrom"] = membersFrom;
    Json members = Json::array();
    for (const build::Member& m : d.members) {
        Json mj = Json::object();
        mj["name"] = m.name;
        mj["type"] = TypeText(m, index);
        if (m.minVersion != membersFrom) mj["from"] = m.minVersion;
        if (m.maxVersion != 0xFFFF) mj["until"] = m.maxVersion;
        if (!m.enumerators.empty()) mj["values"] = EnumeratorsJson(m.enumerators);
        if (m.alias != kNoAlias) mj["alias"] = m.alias;
        if (m.units != 0xFF) mj["units"] = m.units;
        if (m.scaleCoefficient != 1) mj["scaleCoefficient"] = m.scaleCoefficient;
        if (m.scaleExponent != 0) mj["scaleExponent"] = m.scaleExponent;
        members.push_back(std::move(mj));
    }
    j["members"] = std::move(members);
    if (!d.enumerations.empty()) {
        Json list = Json::array();
        for (const build::NamedEnumeration& e : d.enumerations) {
            Json ej = Json::object();
            ej["name"] = e.name;
            ej["values"] = EnumeratorsJson(e.enumerators);
            list.push_back(std::move(ej));
        }
        j["enumerations"] = std::move(list);
    }
    if (d.attributeSize != 8) j["attributeSize"] = d.attributeSize;
    const auto names = [&index](std::uint32_t id) { return index.DocumentName(id); };
    // Written only where it is not the computed length (-1 computes it).
    if (d.xmlBaseSize >= 0 && static_cast<std::size_t>(d.xmlBaseSize) != build::EmptyDocumentLength(d, names, 5)) {
        j["xmlBaseSize"] = d.xmlBaseSize;
    }
    if (!d.enumerationTableOrder.empty()) {
        Json order = Json::array();
        // The description built (Dump), so every position names a member.
        for (std::uint16_t p : d.enumerationTableOrder) {
            if (!d.members[p].enumerators.empty()) order.push_back(d.members[p].name);
        }
        j["tableOrder"] = std::move(order);
    }
    return j;
}

// A value on one line: JSON with a space after each colon and comma.
void Flat(const Json& j, std::string& out) {
    if (j.is_object()) {
        out += '{';
        bool first = true;
        for (auto it = j.begin(); it != j.end(); ++it) {
            if (!first) out += ", ";
            first = false;
            out += Json(it.key()).dump();
            out += ": ";
            Flat(it.value(), out);
        }
        out += '}';
    } else if (j.is_array()) {
        out += '[';
        for (std::size_t i = 0; i < j.size(); ++i) {
            if (i != 0) out += ", ";
            Flat(j[i], out);
        }
        out += ']';
    } else {
        out += j.dump(-1, ' ', false, Json::error_handler_t::replace);
    }
}

// Pretty text that keeps what fits in a line of 100 characters on one line
// (a member, a short list of values) and breaks the rest.
void Pretty(const Json& j, std::size_t indent, std::size_t lead, std::string& out) {
    std::string flat;
    Flat(j, flat);
    if (indent + lead + flat.size() <= 100 || !(j.is_object() || j.is_array()) || j.empty()) {
        out += flat;
        return;
    }
    const std::string pad(indent + 2, ' ');
    // A list of values (names, and {"name", "value"} pairs) fills its lines.
    bool fill = j.is_array();
    for (const Json& item : j) {
        fill = fill && (item.is_string() || (item.size() == 2 && item.contains("value")));
    }
    if (fill) {
        out += "[\n" + pad;
        std::size_t column = pad.size();
        for (std::size_t i = 0; i < j.size(); ++i) {
            std::string item;
            Flat(j[i], item);
            if (i + 1 < j.size()) item += ",";
            if (column > pad.size() && column + 1 + item.size() > 100) {
                out += "\n" + pad;
                column = pad.size();
            } else if (column > pad.size()) {
                out += " ";
                ++column;
            }
            out += item;
            column += item.size();
        }
        out += "\n" + std::string(indent, ' ') + "]";
        return;
    }
    out += j.is_object() ? "{\n" : "[\n";
    std::size_t i = 0;
    for (auto it = j.begin(); it != j.end(); ++it, ++i) {
        const std::string key = j.is_object() ? Json(it.key()).dump() + ": " : std::string();
        out += pad + key;
        Pretty(it.value(), indent + 2, key.size() + 1, out);
        out += i + 1 < j.size() ? ",\n" : "\n";
    }
    out += std::string(indent, ' ');
    out += j.is_object() ? "}" : "]";
}

std::string Dump(const std::vector<ClassDescription>& classes, const CXQOVADictionary* dictionary, bool single) {
    const ClassIndex index(&classes, dictionary);
    const auto names = [&index](std::uint32_t id) { return index.DocumentName(id); };
    Json document;
    Json list = Json::array();
    for (std::size_t i = 0; i < classes.size(); ++i) {
        std::string why;
        if (build::BuildDefinition(classes[i], names, &why).empty()) {
            Refuse(single ? "" : "/classes/" + std::to_string(i), why.empty() ? std::string("out of memory") : why);
        }
        list.push_back(ClassJson(classes[i], index));
    }
    if (single && list.size() == 1) {
        document = std::move(list[0]);
    } else {
        document = Json::object();
        document["classes"] = std::move(list);
    }
    std::string out;
    Pretty(document, 0, 0, out);
    out += '\n';
    return out;
}

template <typename F>
bool Guarded(JsonError* error, F&& work) {
    JsonError unused;
    JsonError& out = error != nullptr ? *error : unused;  // the caller may not ask why
    out = JsonError();
    try {
        work();
        return true;
    } catch (const Refusal& refusal) {
        out.path = refusal.path;
        out.reason = refusal.reason;
    } catch (const std::bad_alloc&) {
        out.reason = "out of memory";
    } catch (const std::exception& e) {
        out.reason = e.what();
    }
    return false;
}

}  // namespace

bool DefinitionsFromJson(const char* text, std::size_t length, const CXQOVADictionary* dictionary,
                         std::vector<build::ClassDescription>* classes, JsonError* error) {
    return Guarded(error, [&] { *classes = Compile(Parse(text, length), dictionary); });
}

bool DefinitionBlocksFromJson(const char* text, std::size_t length, const CXQOVADictionary* dictionary,
                              std::vector<std::vector<unsigned char>>* blocks, JsonError* error) {
    return Guarded(error, [&] {
        const std::vector<ClassDescription> classes = Compile(Parse(text, length), dictionary);
        blocks->clear();
        for (const ClassDescription& d : classes) {
            blocks->push_back(build::BuildDefinition(d, build::ClassNames()));
            if (blocks->back().empty()) Refuse("", "out of memory");
        }
    });
}

std::string DefinitionsToJson(const std::vector<build::ClassDescription>& classes, const CXQOVADictionary* dictionary,
                              JsonError* error, bool single) {
    std::string out;
    Guarded(error, [&] { out = Dump(classes, dictionary, single); });
    return out;
}

std::string DefinitionBlocksToJson(const std::vector<const void*>& blocks, const CXQOVADictionary* dictionary,
                                   JsonError* error, bool single, std::vector<std::string>* inexact) {
    std::string out;
    Guarded(error, [&] {
        std::vector<ClassDescription> classes(blocks.size());
        if (inexact != nullptr) inexact->clear();
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            std::string why;
            bool exact{};
            if (!build::ReadDefinition(blocks[i], DefinitionFullSize(blocks[i]), &classes[i], &why, &exact)) {
                Refuse("/classes/" + std::to_string(i), why.empty() ? std::string("out of memory") : why);
            }
            if (!exact && inexact != nullptr) inexact->push_back(classes[i].name);
        }
        out = Dump(classes, dictionary, single);
    });
    return out;
}

}  // namespace xqova
