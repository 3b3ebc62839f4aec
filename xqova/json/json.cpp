#include "xqova/json/json.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <map>
#include <new>
#include <set>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "xqova/core/class_id.h"
#include "xqova/core/types.h"
#include "xqova/core/xml_chars.h"
#include "xqova/dictionary/definition.h"
#include "xqova/dictionary/dictionary.h"
#include "xqova/host/member_values.h"
#include "xqova/json/checked_document.h"
#include "xqova/object/object.h"
#include "xqova/object/vector.h"

namespace xqova {

namespace {

using Json = nlohmann::ordered_json;

// One member of an object's definitions, base chain first, without the
// member that holds the base part.
struct Member {
    std::string key;        // its name in documents ("Name", or "Name#id" for a repeated name)
    std::uint16_t id;       // identifier in the object listed
    CXQOVAObject* owner;    // the object of the chain that declares it
    std::uint16_t position; // definition position there
    MemberRecord record;
};

std::uint16_t InheritedCount(CXQOVAObject& object) {
    CXQOVAObject* base = object.BaseClass();
    if (base == nullptr) return 0;
    return static_cast<std::uint16_t>(DefinitionMemberCount(base->GetDefinition()) + InheritedCount(*base));
}

void Collect(CXQOVAObject& object, std::vector<Member>* members) {
    if (object.BaseClass() != nullptr) Collect(*object.BaseClass(), members);
    const void* definition = object.GetDefinition();  // null: an unknown class, no members
    const std::uint16_t inherited = InheritedCount(object);
    MemberWalker walker(definition);
    Member m;
    for (std::uint16_t p = 0; walker.Next(&m.record); ++p) {
        if (p == 0 && MemberType(m.record.type).IsInherit()) continue;
        m.id = static_cast<std::uint16_t>(inherited + p);
        m.owner = &object;
        m.position = p;
        const char* name = DefinitionText(definition, p);
        m.key = name != nullptr && name[0] != '\0' ? name : "#" + std::to_string(m.id);
        members->push_back(std::move(m));
    }
}

// The members present at the object's version, with unique keys.
std::vector<Member> PresentMembers(CXQOVAObject& object) {
    std::vector<Member> all;
    Collect(object, &all);
    std::vector<Member> present;
    std::set<std::string> keys;
    for (Member& m : all) {
        if (object.MemberAvailable(m.id) == 0) continue;
        if (!keys.insert(m.key).second) {
            m.key += "#" + std::to_string(m.id);
            keys.insert(m.key);
        }
        present.push_back(std::move(m));
    }
    return present;
}

std::string HexId(std::uint32_t id) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(id));
    return text;
}

std::string ClassName(const void* definition) {
    const char* name = DefinitionText(definition, 0xFFFF);
    return name == nullptr ? std::string() : name;
}

std::vector<std::pair<std::uint16_t, std::string>> Enumerators(const Member& m) {
    std::vector<std::pair<std::uint16_t, std::string>> pairs;
    const void* definition = m.owner->GetDefinition();
    for (std::uint16_t k = 0; const auto pair = DefinitionEnumerationPair(definition, m.position, k); ++k) {
        pairs.emplace_back(pair->value, pair->name);
    }
    return pairs;
}

// ---- Writing -------------------------------------------------------------

// "uint16", "ansichar[21]", "uint8 UNBOUNDED", "uint16 BITMASK",
// "OBJECT of CNIBPDStd" (the nested object's class name),
// "OBJECT UNBOUNDED of 0x00750000", "OBJECT UNBOUNDED of ANY_CLASS". A vector
// knows no dictionary to name its class by: it shows the identifier.
std::string TypeText(const MemberRecord& record, CXQOVAObject* nested) {
    const MemberType type(record.type);
    std::string text = TypeName(record.type);
    if (text.empty()) text = "type " + std::to_string(record.type);
    if (type.IsObject()) {
        if (type.IsUnbounded()) text += " UNBOUNDED";
        if (type.IsFixedArray()) text += "[" + std::to_string(record.fixedCount) + "]";
        std::string name = nested == nullptr ? std::string() : ClassName(nested->GetDefinition());
        if (name.empty()) name = record.memberClass == kNoClass ? std::string("ANY_CLASS") : HexId(record.memberClass);
        return text + " of " + name;
    }
    if (type.IsFixedArray()) text += "[" + std::to_string(record.fixedCount) + "]";
    if (type.IsUnbounded()) text += " UNBOUNDED";
    if (type.IsBitmask()) text += " BITMASK";
    return text;
}

// "0x0040": a bit without a name, as its value.
std::string BitText(unsigned bit) {
    char text[16];
    std::snprintf(text, sizeof text, bit < 16 ? "0x%04X" : "0x%08X", 1u << bit);
    return text;
}

// The bits a BITMASK member's value holds: its own, at most the low 32
// (the member interface sets no more).
long long BitmaskBits(MemberType type) {
    return static_cast<long long>(0xFFFFFFFFull >> (32u - 8u * std::min<unsigned>(type.ElementSize(), 4u)));
}
bool HeldBit(MemberType type, unsigned bit) { return bit < 32 && ((BitmaskBits(type) >> bit) & 1) != 0; }

Json NonFinite(double d) { return std::isnan(d) ? "NaN" : (std::signbit(d) ? "-Infinity" : "Infinity"); }

// The shortest decimal whose double reading converts back to the same float
// (nine significant digits always do).
Json FloatJson(float f) {
    if (!std::isfinite(f)) return NonFinite(f);
    char text[40];
    for (int precision = 1;; ++precision) {
        std::snprintf(text, sizeof text, "%.*g", precision, static_cast<double>(f));
        if (static_cast<float>(std::strtod(text, nullptr)) == f) break;
    }
    return std::strtod(text, nullptr);
}

Json DoubleJson(double d) { return std::isfinite(d) ? Json(d) : NonFinite(d); }

// A time from its seven fields in order, each already checked to fit.
template <class Field>
QOVA_TIME TimeOfFields(const Field (&f)[7]) {
    QOVA_TIME t{};
    t.year = static_cast<std::uint16_t>(f[0]);
    t.month = static_cast<std::uint8_t>(f[1]);
    t.day = static_cast<std::uint8_t>(f[2]);
    t.hour = static_cast<std::uint8_t>(f[3]);
    t.minute = static_cast<std::uint8_t>(f[4]);
    t.second = static_cast<std::uint8_t>(f[5]);
    t.fraction = static_cast<std::uint8_t>(f[6]);
    return t;
}

unsigned DaysInMonth(unsigned year, unsigned month) {
    static const unsigned char kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

bool InCalendar(const QOVA_TIME& t) { return TimeFault(t).empty(); }

bool AllZero(const QOVA_TIME& t) {
    static const QOVA_TIME kZero{};
    return std::memcmp(&t, &kZero, sizeof t) == 0;
}

Json TimeJson(const QOVA_TIME& t) {
    if (InCalendar(t) || AllZero(t)) {
        // Room for the widest values the fields' types hold (the compiler
        // checks it); a time of the calendar takes 22 characters of it.
        char text[sizeof "65535/255/255 255:255:255 255"];
        std::snprintf(text, sizeof text, "%04u/%02u/%02u %02u:%02u:%02u %02u", unsigned{t.year}, unsigned{t.month},
                      unsigned{t.day}, unsigned{t.hour}, unsigned{t.minute}, unsigned{t.second},
                      unsigned{t.fraction});
        return text;
    }
    Json fields = Json::object();
    fields["year"] = t.year;
    fields["month"] = t.month;
    fields["day"] = t.day;
    fields["hour"] = t.hour;
    fields["minute"] = t.minute;
    fields["second"] = t.second;
    fields["fraction"] = t.fraction;
    return fields;
}

void AppendUtf8(std::string* out, std::uint32_t cp) {
    unsigned char bytes[4];
    out->append(reinterpret_cast<const char*>(bytes), EncodeUtf8(cp, bytes));
}

// How many elements of a text member's buffer its string shows: a fixed
// array up to its last non-zero element, an UNBOUNDED one without the one
// terminator its setter adds (an UNBOUNDED one has at least one element).
std::size_t TextLength(const void* data, std::size_t count, unsigned width, bool fixed) {
    auto at = [&](std::size_t i) -> unsigned {
        if (width == 0) return static_cast<const unsigned char*>(data)[i];
        std::uint16_t u;
        std::memcpy(&u, static_cast<const unsigned char*>(data) + 2 * i, 2);
        return u;
    };
    if (!fixed) return count > 0 && at(count - 1) == 0 ? count - 1 : count;
    while (count > 0 && at(count - 1) == 0) --count;
    return count;
}

Json TextJson(const void* data, std::size_t n, unsigned width) {
    std::string text;
    if (width == 0) {
        for (std::size_t i = 0; i < n; ++i) AppendUtf8(&text, static_cast<const unsigned char*>(data)[i]);
        return text;
    }
    std::vector<std::uint16_t> units(n);
    if (n != 0) std::memcpy(units.data(), data, 2 * n);
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint32_t u = units[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < n && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            AppendUtf8(&text, 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00u));
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            return Json(units);  // an unpaired surrogate: the code units themselves
        } else {
            AppendUtf8(&text, u);
        }
    }
    return text;
}

template <class T>
T Load(const unsigned char* bytes, std::size_t i) {
    T v;
    std::memcpy(&v, bytes + sizeof(T) * i, sizeof v);
    return v;
}

Json ElementJson(const unsigned char* bytes, std::size_t i, MemberType type) {
    if (type.IsTime()) return TimeJson(Load<QOVA_TIME>(bytes, i));
    if (type.IsFloat()) return type.Width() == 3 ? FloatJson(Load<float>(bytes, i)) : DoubleJson(Load<double>(bytes, i));
    const bool u = !type.IsSigned() || type.IsText();
    switch (type.Width()) {
        case 0: return u ? Json(Load<std::uint8_t>(bytes, i)) : Json(Load<std::int8_t>(bytes, i));
        case 1: return u ? Json(Load<std::uint16_t>(bytes, i)) : Json(Load<std::int16_t>(bytes, i));
        case 3: return u ? Json(Load<std::uint32_t>(bytes, i)) : Json(Load<std::int32_t>(bytes, i));
        default: return u ? Json(Load<std::uint64_t>(bytes, i)) : Json(Load<std::int64_t>(bytes, i));
    }
}

Json Document(CXQOVAObject& object);

Json MemberJson(CXQOVAObject& object, const Member& m) {
    const MemberType type(m.record.type);
    CXQOVAData_u& accessor = object.GetMember(m.id);
    Json entry = Json::object();
    entry["type"] = TypeText(m.record, type.IsSingleObject() ? static_cast<CXQOVAObject*>(accessor) : nullptr);
    if (type.IsSingleObject()) {
        CXQOVAObject* nested = accessor;
        entry["value"] = nested == nullptr ? Json() : Document(*nested);
        return entry;
    }
    if (type.IsVector()) {
        CXQOVAVector* vector = accessor;
        Json elements = Json::array();
        for (std::uint16_t i = 0; vector != nullptr && i < vector->Size(); ++i) {
            CXQOVAObject* element = vector->At(i);
            elements.push_back(element == nullptr ? Json() : Document(*element));
        }
        entry["value"] = std::move(elements);
        return entry;
    }
    if (type.IsArray()) {
        const auto* data = static_cast<const unsigned char*>(static_cast<void*>(accessor));
        const std::size_t n = data == nullptr ? 0 : accessor.Elements();
        if (type.IsText() && !type.IsFixedArray() && n == 0) {
            // No elements at all, not even a terminator: null, so that it
            // comes back as it was rather than as "" (one element).
            entry["value"] = nullptr;
        } else if (type.IsText()) {
            entry["value"] = TextJson(data, TextLength(data, n, type.Width(), type.IsFixedArray()), type.Width());
        } else {
            Json values = Json::array();
            for (std::size_t i = 0; i < n; ++i) values.push_back(ElementJson(data, i, type));
            entry["value"] = std::move(values);
        }
        return entry;
    }
    unsigned char value[8] = {};
    if (type.IsTime()) {
        const QOVA_TIME t = accessor;
        std::memcpy(value, &t, sizeof t);
    } else if (type.IsFloat()) {
        if (type.Width() == 3) {
            const float f = accessor;
            std::memcpy(value, &f, sizeof f);
        } else {
            const double d = accessor;
            std::memcpy(value, &d, sizeof d);
        }
    } else if (type.Width() == 7) {
        // Only the low 32 bits of a 64-bit scalar are reachable through the
        // member interface.
        const std::uint64_t v = static_cast<std::uint32_t>(accessor);
        const std::int64_t s = static_cast<std::int32_t>(accessor);
        if (type.IsSigned()) {
            std::memcpy(value, &s, sizeof s);
        } else {
            std::memcpy(value, &v, sizeof v);
        }
    } else {
        const std::uint32_t v = accessor;
        if (type.Width() == 0) value[0] = static_cast<unsigned char>(v);
        if (type.Width() == 1) {
            const std::uint16_t h = static_cast<std::uint16_t>(v);
            std::memcpy(value, &h, 2);
        }
        if (type.Width() == 3) std::memcpy(value, &v, 4);
    }
    entry["value"] = ElementJson(value, 0, type);
    if (type.IsTime()) return entry;
    // A number with units or a scale: its physical value beside it.
    MemberLocation location;
    location.object = &object;
    location.member = &accessor;
    location.id = m.id;
    const std::optional<PhysicalValue> physical = ReadPhysical(location);
    if (physical && (physical->units != kNoUnits || physical->coefficient != 1 || physical->exponent != 0)) {
        entry["physical"] = DoubleJson(physical->value);
        if (physical->units != kNoUnits) entry["units"] = physical->units;
    }
    if (type.IsFloat()) return entry;
    const auto pairs = Enumerators(m);
    if (pairs.empty()) return entry;
    if (type.IsBitmask()) {
        // Every set bit: by its name, or as its value in hex when it has none.
        Json bits = Json::array();
        for (unsigned bit = 0; HeldBit(type, bit); ++bit) {
            if (accessor.GetBit(static_cast<std::uint16_t>(bit)) == 0) continue;
            const std::string* name = nullptr;
            for (const auto& pair : pairs) {
                if (pair.first == bit) {
                    name = &pair.second;
                    break;
                }
            }
            bits.push_back(name != nullptr ? *name : BitText(bit));
        }
        entry["bits"] = std::move(bits);
    } else {
        std::uint16_t low16;
        std::memcpy(&low16, value, 2);
        if (type.Width() == 0) low16 = value[0];
        for (const auto& pair : pairs) {
            if (pair.first == low16) {
                entry["enumerator"] = pair.second;
                break;
            }
        }
    }
    return entry;
}

Json Document(CXQOVAObject& object) {
    Json document = Json::object();
    const std::string name = ClassName(object.GetDefinition());
    if (!name.empty()) document["class"] = name;
    document["classId"] = HexId(object.ClassID());
    const char* species = DefinitionEnumerator(object.GetDefinition(), 0xFFFF, GetSpecies(object.ClassID()));
    if (species != nullptr) document["speciesName"] = species;
    document["version"] = object.Version();
    document["valid"] = object.IsValid() != 0;
    document["dirty"] = object.IsDirty() != 0;
    Json members = Json::object();
    for (const Member& m : PresentMembers(object)) members[m.key] = MemberJson(object, m);
    document["members"] = std::move(members);
    return document;
}

// ---- Reading -------------------------------------------------------------

struct Refusal {
    std::string path;
    std::string reason;
    bool unnamed = false;
};

std::string Escape(const std::string& key) { return json_detail::EscapePointerToken(key); }

[[noreturn]] void Refuse(const std::string& path, const std::string& reason) { throw Refusal{path, reason}; }
[[noreturn]] void RefuseUnnamed(const std::string& path, const std::string& reason) {
    throw Refusal{path, reason, true};
}

std::string Shown(const Json& value) {
    std::string text = value.dump(-1, ' ', false, Json::error_handler_t::replace);
    if (text.size() > 60) text = text.substr(0, 57) + "...";
    return text;
}

class Reader {
public:
    Reader(CXQOVADictionary* dictionary, const JsonLimits& limits) : dictionary_(dictionary), limits_(limits) {}

    std::unique_ptr<CXQOVAObject> Top(const Json& document) {
        const auto [classId, version] = Identity(document, "");
        Count("");
        std::unique_ptr<CXQOVAObject> object(new (std::nothrow) CXQOVAObject(dictionary_, classId, version));
        if (!object) Refuse("", "out of memory");
        Built(*object, classId, version, "");
        Fill(*object, document, "");
        return object;
    }

private:
    void Count(const std::string& path) {
        if (++objects_ > limits_.maxObjects) {
            Refuse(path, "more than " + std::to_string(limits_.maxObjects) + " objects");
        }
    }

    static const Json& Field(const Json& document, const char* name, const std::string& path) {
        auto it = document.find(name);
        if (it == document.end()) Refuse(path, std::string("\"") + name + "\" is missing");
        return *it;
    }

    struct Stated {
        std::uint32_t classId;
        std::uint16_t version;
    };

    // The class identifier and version a document states.
    static Stated Identity(const Json& document, const std::string& path) {
        if (!document.is_object()) Refuse(path, "an object document must be a JSON object, not " + Shown(document));
        const Json& id = Field(document, "classId", path);
        const std::string at = path + "/classId";
        if (!id.is_string()) Refuse(at, "a class identifier is a string such as \"0x00050000\"");
        const std::string text = id.get<std::string>();
        char* end = nullptr;
        const unsigned long long v = std::strtoull(text.c_str(), &end, 16);
        if (text.size() != 10 || text.compare(0, 2, "0x") != 0 || *end != '\0') {
            Refuse(at, "\"" + text + "\" is not a class identifier (0x and 8 hexadecimal digits)");
        }
        const Json& ver = Field(document, "version", path);
        if (!ver.is_number_integer() || ver.get<long long>() < 0 || ver.get<long long>() > 0xFFFE) {
            Refuse(path + "/version", Shown(ver) + " is not a version (0 to 65534)");
        }
        return {static_cast<std::uint32_t>(v), static_cast<std::uint16_t>(ver.get<long long>())};
    }

    // Checks that an object built from a document has the stated class and version.
    static void Built(CXQOVAObject& object, std::uint32_t classId, std::uint16_t version, const std::string& path) {
        if (object.GetDefinition() == nullptr) Refuse(path + "/classId", "no definition serves class " + HexId(classId));
        if (object.Version() != version) {
            Refuse(path + "/version", "class " + HexId(classId) + " has no version " + std::to_string(version) +
                                          " (newest " + std::to_string(DefinitionVersion(object.GetDefinition())) +
                                          ")");
        }
        // An object that has members at its version but holds none ran out
        // of its construction budget or of memory.
        if (object.MemberCount() == 0) {
            MemberWalker walker(object.GetDefinition());
            MemberRecord record;
            while (walker.Next(&record)) {
                if (record.InVersion(object.Version())) {
                    Refuse(path, "the object could not be built (construction budget or memory)");
                }
            }
        }
    }

    static bool Flag(const Json& document, const char* name, const std::string& path) {
        auto it = document.find(name);
        if (it == document.end()) return false;
        if (!it->is_boolean()) Refuse(path + "/" + name, Shown(*it) + " is not true or false");
        return it->get<bool>();
    }

    void Fill(CXQOVAObject& object, const Json& document, const std::string& path) {
        for (auto it = document.begin(); it != document.end(); ++it) {
            const std::string& k = it.key();
            if (k != "class" && k != "classId" && k != "speciesName" && k != "version" && k != "valid" && k != "dirty" &&
                k != "members") {
                Refuse(path + "/" + Escape(k), "unknown field \"" + k + "\"");
            }
        }
        auto name = document.find("class");
        if (name != document.end()) {
            const std::string own = ClassName(object.GetDefinition());
            if (!name->is_string() || name->get<std::string>() != own) {
                Refuse(path + "/class", Shown(*name) + " is not the name of class " + HexId(object.ClassID()) +
                                            " (" + own + ")");
            }
        }
        auto species = document.find("speciesName");
        if (species != document.end()) {
            const char* own = DefinitionEnumerator(object.GetDefinition(), 0xFFFF, GetSpecies(object.ClassID()));
            if (own == nullptr || !species->is_string() || species->get<std::string>() != own) {
                Refuse(path + "/speciesName", Shown(*species) + " is not the species of class " +
                                                  HexId(object.ClassID()));
            }
        }
        object.SetValid(Flag(document, "valid", path) ? 1 : 0);
        object.SetDirty(Flag(document, "dirty", path) ? 1 : 0);
        auto members = document.find("members");
        if (members == document.end()) return;
        const std::string at = path + "/members";
        if (!members->is_object()) Refuse(at, "members must be a JSON object");
        const std::vector<Member> present = PresentMembers(object);
        std::map<std::string, const Member*> byKey;
        for (const Member& candidate : present) byKey[candidate.key] = &candidate;
        for (auto it = members->begin(); it != members->end(); ++it) {
            const auto found = byKey.find(it.key());
            const Member* m = found == byKey.end() ? nullptr : found->second;
            const std::string here = at + "/" + Escape(it.key());
            if (m == nullptr) {
                Refuse(here, "class " + ClassName(object.GetDefinition()) + " has no member \"" + it.key() +
                                 "\" at version " + std::to_string(object.Version()));
            }
            SetMember(object, *m, it.value(), here);
        }
    }

    void SetMember(CXQOVAObject& object, const Member& m, const Json& entry, const std::string& path) {
        if (!entry.is_object()) Refuse(path, "a member is a JSON object with \"value\"");
        for (auto it = entry.begin(); it != entry.end(); ++it) {
            if (it.key() != "type" && it.key() != "value" && it.key() != "enumerator" && it.key() != "bits" &&
                it.key() != "physical" && it.key() != "units") {
                Refuse(path + "/" + Escape(it.key()), "unknown field \"" + it.key() + "\"");
            }
        }
        const auto stated = entry.find("type");
        if (stated != entry.end()) {
            const MemberType t(m.record.type);
            const std::string own =
                TypeText(m.record, t.IsSingleObject() ? static_cast<CXQOVAObject*>(object.GetMember(m.id)) : nullptr);
            if (!stated->is_string() || *stated != own) Refuse(path + "/type", "the member is " + own + ", not " + Shown(*stated));
        }
        const MemberType type(m.record.type);
        const auto value = entry.find("value");
        const std::string at = path + "/value";
        if (type.IsSingleObject()) {
            if (value == entry.end() || value->is_null()) return;
            CXQOVAObject* nested = object.GetMember(m.id);
            if (nested == nullptr) Refuse(at, "the member holds no object (nesting limit or memory)");
            const auto [classId, version] = Identity(*value, at);
            if (classId != nested->ClassID() || version != nested->Version()) {
                Refuse(at, "the member holds class " + HexId(nested->ClassID()) + " version " +
                               std::to_string(nested->Version()) + ", not " + HexId(classId) + " version " +
                               std::to_string(version));
            }
            Fill(*nested, *value, at);
            return;
        }
        if (type.IsVector()) return SetVector(object, m, entry, value, at);
        if (type.IsArray()) {
            if (value == entry.end()) Refuse(path, "\"value\" is missing");
            return SetArray(object, m, *value, at);
        }
        if (type.IsTime()) {
            if (value == entry.end()) Refuse(path, "\"value\" is missing");
            object.SetMember(m.id, Time(*value, at));
            return;
        }
        if (type.IsFloat()) {
            if (value == entry.end()) Refuse(path, "\"value\" is missing");
            // A float member stores the number rounded to float.
            object.SetMember(m.id, Number(*value, type, at));
            return CheckPhysical(object, m, entry, path);
        }
        const long long v = Scalar(m, entry, value, path);
        // The setter keeps the low 32 bits and extends them as the member's
        // own sign says (an int64's -2 stays -2).
        object.SetMember(m.id, static_cast<std::uint32_t>(v));
        CheckPhysical(object, m, entry, path);
    }

    // "physical" and "units" are for people: when given they must be what
    // the value set gives.
    static void CheckPhysical(CXQOVAObject& object, const Member& m, const Json& entry, const std::string& path) {
        const auto physical = entry.find("physical");
        const auto units = entry.find("units");
        if (physical == entry.end() && units == entry.end()) return;
        MemberLocation location;
        location.object = &object;
        location.member = &object.GetMember(m.id);
        location.id = m.id;
        std::optional<PhysicalValue> own = ReadPhysical(location);
        if (own && own->units == kNoUnits && own->coefficient == 1 && own->exponent == 0) own.reset();
        if (units != entry.end() && (!own || own->units == kNoUnits || *units != own->units)) {
            Refuse(path + "/units", Shown(*units) + " is not the member's units code (" +
                                        (own && own->units != kNoUnits ? std::to_string(own->units) : "none") + ")");
        }
        if (physical == entry.end()) return;
        if (!own) Refuse(path + "/physical", "the member has no units or scale");
        const Json expected = DoubleJson(own->value);
        const bool same = physical->is_number() && expected.is_number()
                              ? physical->get<double>() == expected.get<double>()
                              : *physical == expected;
        if (!same) {
            Refuse(path + "/physical", Shown(*physical) + " is not the physical value of the member's value (" +
                                           Shown(expected) + "); the value is the authority");
        }
    }

    // An integer member's value: a number, checked against the names given
    // beside it, or the names alone.
    long long Scalar(const Member& m, const Json& entry, Json::const_iterator value, const std::string& path) {
        const MemberType type(m.record.type);
        const auto pairs = Enumerators(m);
        auto list = [&]() {
            std::string names;
            for (const auto& pair : pairs) names += (names.empty() ? "" : ", ") + pair.second;
            return names.empty() ? std::string("none") : names;
        };
        long long named = 0, unnamed = 0;
        bool hasNames = false;
        auto enumerator = entry.find("enumerator");
        auto bits = entry.find("bits");
        if (enumerator != entry.end()) {
            if (type.IsBitmask() || pairs.empty()) Refuse(path + "/enumerator", "the member has no enumeration");
            if (!enumerator->is_string()) Refuse(path + "/enumerator", "an enumerator is a string");
            bool found = false;
            for (const auto& pair : pairs) {
                if (pair.second == enumerator->get<std::string>()) {
                    named = pair.first;
                    found = true;
                    break;
                }
            }
            if (!found) {
                Refuse(path + "/enumerator", "unknown enumerator " + Shown(*enumerator) + " (known: " + list() + ")");
            }
            hasNames = true;
        }
        if (bits != entry.end()) {
            if (!type.IsBitmask()) Refuse(path + "/bits", "the member is not a bitmask");
            if (!bits->is_array()) Refuse(path + "/bits", "bits are an array of bit names");
            for (std::size_t i = 0; i < bits->size(); ++i) {
                const Json& bit = (*bits)[i];
                const std::string at = path + "/bits/" + std::to_string(i);
                bool found = false;
                for (const auto& pair : pairs) {
                    if (bit.is_string() && pair.second == bit.get<std::string>() && HeldBit(type, pair.first)) {
                        named |= static_cast<long long>(1ull << pair.first);
                        found = true;
                        break;
                    }
                }
                if (found) continue;
                // A bit without a name, as its value ("0x0040").
                const unsigned number = bit.is_string() ? UnnamedBit(bit.get<std::string>()) : 32;
                if (!HeldBit(type, number)) {
                    Refuse(at, "unknown bit " + Shown(bit) + " (known: " + list() + ")");
                }
                for (const auto& pair : pairs) {
                    if (pair.first == number) Refuse(at, "bit " + Shown(bit) + " has a name: " + pair.second);
                }
                if (limits_.refuseUnnamed) RefuseUnnamed(at, "bit " + Shown(bit) + " has no name (known: " + list() + ")");
                unnamed |= static_cast<long long>(1ull << number);
            }
            hasNames = true;
        }
        if (value == entry.end()) {
            if (!hasNames) Refuse(path, "\"value\" is missing");
            // A signed member's top bit comes out negative as the setter
            // keeps the low bits.
            return named | unnamed;
        }
        const long long v = Integer(*value, type, path + "/value");
        // An enumerator names the low bits, which a signed member's negative value keeps.
        const long long low = v & (type.Width() == 0 ? 0xFF : 0xFFFF);
        long long known = 0;
        for (const auto& pair : pairs) {
            if (HeldBit(type, pair.first)) known |= 1ll << pair.first;
        }
        if (hasNames) {
            // The names must say what the value says: its enumerator, or
            // exactly its named bits (and its unnamed ones, when listed).
            bool agrees;
            if (type.IsBitmask()) {
                agrees = (v & known) == named && (unnamed == 0 || (v & BitmaskBits(type) & ~known) == unnamed);
            } else {
                agrees = low == named;
            }
            if (!agrees) Refuse(path, "the value " + Shown(*value) + " does not match the names given beside it");
        }
        if (limits_.refuseUnnamed && !pairs.empty()) {
            if (type.IsBitmask()) {
                const long long stray = v & BitmaskBits(type) & ~known;
                if (stray != 0) {
                    RefuseUnnamed(path + "/value", Shown(*value) + " sets bits without a name (" + HexId(static_cast<std::uint32_t>(stray)) +
                                                       "; known: " + list() + ")");
                }
            } else {
                bool found = false;
                for (const auto& pair : pairs) found = found || pair.first == low;
                if (!found) {
                    RefuseUnnamed(path + "/value", Shown(*value) + " is not one of its values (" + list() + ")");
                }
            }
        }
        return v;
    }

    // The bit a single bit's value names, written as BitText writes it
    // ("0x0040"); 32 when it is none.
    static unsigned UnnamedBit(const std::string& text) {
        unsigned bit = 0;
        while (bit < 32 && text != BitText(bit)) ++bit;
        return bit;
    }

    static long long Integer(const Json& value, MemberType type, const std::string& path) {
        if (!value.is_number_integer()) Refuse(path, Shown(value) + " is not an integer");
        long long low = 0, high = 0;
        const unsigned bits = 8u * type.ElementSize();
        if (type.Width() == 7) {
            // The member interface sets 64-bit members from 32-bit values.
            low = type.IsSigned() ? std::numeric_limits<std::int32_t>::min() : 0;
            high = type.IsSigned() ? std::numeric_limits<std::int32_t>::max() : 0xFFFFFFFFll;
        } else if (!type.IsSigned() || type.IsText()) {
            high = (1ll << bits) - 1;
        } else {
            low = -(1ll << (bits - 1));
            high = (1ll << (bits - 1)) - 1;
        }
        if (value.is_number_unsigned() && value.get<std::uint64_t>() > static_cast<std::uint64_t>(high)) {
            Refuse(path, Shown(value) + " is outside " + std::to_string(low) + " to " + std::to_string(high));
        }
        const long long v = value.get<long long>();
        if (v < low) {  // above `high` it is unsigned, refused above
            Refuse(path, Shown(value) + " is outside " + std::to_string(low) + " to " + std::to_string(high));
        }
        return v;
    }

    static double Number(const Json& value, MemberType type, const std::string& path) {
        if (value.is_string()) {
            const std::string s = value.get<std::string>();
            if (s == "NaN") return std::numeric_limits<double>::quiet_NaN();
            if (s == "Infinity") return std::numeric_limits<double>::infinity();
            if (s == "-Infinity") return -std::numeric_limits<double>::infinity();
            Refuse(path, Shown(value) + " is not a number (non-finite values are \"NaN\", \"Infinity\", \"-Infinity\")");
        }
        if (!value.is_number()) Refuse(path, Shown(value) + " is not a number");
        const double d = value.get<double>();  // finite: the parser refuses numbers that overflow
        if (type.Width() == 3 && !std::isfinite(static_cast<float>(d))) {
            Refuse(path, Shown(value) + " is outside the range of a float32");
        }
        return d;
    }

    static QOVA_TIME Time(const Json& value, const std::string& path) {
        QOVA_TIME t{};
        if (value.is_object()) {
            static const char* const kFields[] = {"year", "month", "day", "hour", "minute", "second", "fraction"};
            for (auto it = value.begin(); it != value.end(); ++it) {
                bool known = false;
                for (const char* f : kFields) known = known || it.key() == f;
                if (!known) Refuse(path + "/" + Escape(it.key()), "unknown time field \"" + it.key() + "\"");
            }
            long long fields[7] = {};
            for (int i = 0; i < 7; ++i) {
                const std::string at = path + "/" + kFields[i];
                const Json& f = Field(value, kFields[i], path);
                const long long high = i == 0 ? 65535 : 255;
                if (!f.is_number_integer() || f.get<long long>() < 0 || f.get<long long>() > high) {
                    Refuse(at, Shown(f) + " is not a whole number from 0 to " + std::to_string(high));
                }
                fields[i] = f.get<long long>();
            }
            return TimeOfFields(fields);
        }
        if (!value.is_string()) Refuse(path, Shown(value) + " is not a time (\"YYYY/MM/DD hh:mm:ss ff\")");
        const std::string s = value.get<std::string>();
        unsigned f[7] = {};
        constexpr std::string_view kShape = "dddd/dd/dd dd:dd:dd dd";
        bool shaped = s.size() == kShape.size();
        for (std::size_t i = 0; shaped && i < s.size(); ++i) {
            shaped = kShape[i] == 'd' ? (s[i] >= '0' && s[i] <= '9') : s[i] == kShape[i];
        }
        if (!shaped) Refuse(path, Shown(value) + " is not a time (\"YYYY/MM/DD hh:mm:ss ff\")");
        std::sscanf(s.c_str(), "%4u/%2u/%2u %2u:%2u:%2u %2u", &f[0], &f[1], &f[2], &f[3], &f[4], &f[5], &f[6]);
        t = TimeOfFields(f);
        if (!InCalendar(t) && !AllZero(t)) {
            Refuse(path, Shown(value) + ": " + TimeFault(t) +
                             "; a time outside the calendar is given as an object of its seven fields");
        }
        return t;
    }

    // A text's code units from a string (8-bit texts take U+0000 to U+00FF)
    // or from an array of code units.
    static std::vector<std::uint16_t> Units(const Json& value, MemberType type, const std::string& path) {
        std::vector<std::uint16_t> units;
        const std::uint32_t high = type.Width() == 0 ? 0xFF : 0xFFFF;
        if (value.is_array()) {
            for (std::size_t i = 0; i < value.size(); ++i) {
                const Json& u = value[i];
                if (!u.is_number_integer() || u.get<long long>() < 0 || u.get<long long>() > high) {
                    Refuse(path + "/" + std::to_string(i), Shown(u) + " is not a code unit (0 to " +
                                                               std::to_string(high) + ")");
                }
                units.push_back(static_cast<std::uint16_t>(u.get<long long>()));
            }
            return units;
        }
        if (!value.is_string()) Refuse(path, Shown(value) + " is not a text");
        const std::string& s = value.get_ref<const std::string&>();
        for (std::size_t i = 0; i < s.size();) {
            // The parser has checked that the string is UTF-8.
            const unsigned char c = static_cast<unsigned char>(s[i]);
            const int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
            std::uint32_t cp = n == 1 ? c : n == 2 ? (c & 0x1F) : n == 3 ? (c & 0x0F) : (c & 0x07);
            for (int k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
            i += static_cast<std::size_t>(n);
            if (type.Width() == 0 && cp > 0xFF) {
                Refuse(path, "character U+" + HexId(cp).substr(6) + " does not fit an 8-bit text (U+0000 to U+00FF)");
            }
            if (cp >= 0x10000) {
                units.push_back(static_cast<std::uint16_t>(0xD800 + ((cp - 0x10000) >> 10)));
                units.push_back(static_cast<std::uint16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
            } else {
                units.push_back(static_cast<std::uint16_t>(cp));
            }
        }
        return units;
    }

    template <class T>
    static void Store(std::vector<unsigned char>* bytes, T v) {
        const std::size_t at = bytes->size();
        bytes->resize(at + sizeof v);
        std::memcpy(bytes->data() + at, &v, sizeof v);
    }

    // Whether `count` elements fit the member: its fixed count, or 65535
    // bytes of an UNBOUNDED member (a text's terminator included).
    static void CheckRoom(const Member& m, std::size_t count, const std::string& path) {
        const MemberType type(m.record.type);
        if (type.IsFixedArray()) {
            if (count > m.record.fixedCount) {
                Refuse(path, std::to_string(count) + " elements do not fit its " +
                                 std::to_string(m.record.fixedCount));
            }
            return;
        }
        const std::size_t total = (count + (type.IsText() ? 1 : 0)) * type.ElementSize();
        if (total > 0xFFFF) {
            Refuse(path, std::to_string(count) + " elements take " + std::to_string(total) +
                             " bytes, a member holds at most 65535");
        }
    }

    void SetArray(CXQOVAObject& object, const Member& m, const Json& value, const std::string& path) {
        const MemberType type(m.record.type);
        const std::size_t size = type.ElementSize();
        std::vector<unsigned char> bytes;
        if (type.IsText() && !type.IsFixedArray() && value.is_null()) return;  // no elements: left as built
        if (type.IsText()) {
            const std::vector<std::uint16_t> units = Units(value, type, path);
            CheckRoom(m, units.size(), path);
            for (std::uint16_t u : units) {
                if (type.Width() == 0) {
                    Store(&bytes, static_cast<std::uint8_t>(u));
                } else {
                    Store(&bytes, u);
                }
            }
        } else {
            if (!value.is_array()) Refuse(path, "an array member's value is a JSON array");
            CheckRoom(m, value.size(), path);
            for (std::size_t i = 0; i < value.size(); ++i) {
                const Json& e = value[i];
                const std::string at = path + "/" + std::to_string(i);
                if (type.IsTime()) {
                    Store(&bytes, Time(e, at));
                } else if (type.IsFloat()) {
                    const double d = Number(e, type, at);
                    if (type.Width() == 3) {
                        Store(&bytes, static_cast<float>(d));
                    } else {
                        Store(&bytes, d);
                    }
                } else {
                    const long long v = Integer64(e, type, at);
                    switch (type.Width()) {
                        case 0: Store(&bytes, static_cast<std::uint8_t>(v)); break;
                        case 1: Store(&bytes, static_cast<std::uint16_t>(v)); break;
                        case 3: Store(&bytes, static_cast<std::uint32_t>(v)); break;
                        default: Store(&bytes, static_cast<std::uint64_t>(v)); break;
                    }
                }
            }
        }
        // Every element above was stored in `size` bytes.
        const std::size_t count = bytes.size() / size;
        CXQOVAData_u& accessor = object.GetMember(m.id);
        if (type.IsFixedArray()) {
            // A fixed array is written in place: every element may be used,
            // a text's last one included. One of no elements has no buffer.
            if (m.record.fixedCount == 0) return;
            auto* buffer = static_cast<unsigned char*>(static_cast<void*>(accessor));
            if (buffer == nullptr) Refuse(path, "the member has no buffer");
            std::memset(buffer, 0, static_cast<std::size_t>(m.record.fixedCount) * size);
            if (!bytes.empty()) std::memcpy(buffer, bytes.data(), bytes.size());
            return;
        }
        const void* data = bytes.empty() ? nullptr : bytes.data();
        std::uint8_t done = 0;
        const auto n = static_cast<std::uint16_t>(count);
        if (type.IsText()) {
            // The setters take a source that is not null with no elements as
            // the empty text; `data` is null when there are none.
            static const std::uint16_t kNoText{};
            const void* source = data != nullptr ? data : &kNoText;
            done = type.Width() == 0 ? object.SetMember(m.id, static_cast<const char*>(source), n)
                                     : object.SetMember(m.id, static_cast<const unsigned short*>(source), n);
        } else if (type.IsTime()) {
            done = object.SetMember(m.id, static_cast<const QOVA_TIME*>(data), n);
        } else if (type.IsFloat()) {
            done = type.Width() == 3 ? object.SetMember(m.id, static_cast<const float*>(data), n)
                                     : object.SetMember(m.id, static_cast<const double*>(data), n);
        } else if (type.Width() == 0) {
            done = object.SetMember(m.id, static_cast<const unsigned char*>(data), n);
        } else if (type.Width() == 1) {
            done = object.SetMember(m.id, static_cast<const unsigned short*>(data), n);
        } else if (type.Width() == 3) {
            done = object.SetMember(m.id, static_cast<const std::uint32_t*>(data), n);
        } else if (count == 0) {
            done = 1;
        } else {
            Refuse(path, "an UNBOUNDED member of 64-bit integers cannot be filled through the member interface");
        }
        if (done == 0) Refuse(path, "the library refused the elements (memory)");
    }

    static long long Integer64(const Json& value, MemberType type, const std::string& path) {
        if (type.Width() != 7) return Integer(value, type, path);
        if (!value.is_number_integer()) Refuse(path, Shown(value) + " is not an integer");
        if (type.IsSigned() && value.is_number_unsigned() &&
            value.get<std::uint64_t>() > static_cast<std::uint64_t>(std::numeric_limits<long long>::max())) {
            Refuse(path, Shown(value) + " is outside the range of an int64");
        }
        if (!type.IsSigned() && !value.is_number_unsigned()) {  // the parser reads 0 and above as unsigned
            Refuse(path, Shown(value) + " is outside the range of a uint64");
        }
        return static_cast<long long>(value.get<std::uint64_t>());
    }

    void SetVector(CXQOVAObject& object, const Member& m, const Json& entry, Json::const_iterator value,
                   const std::string& path) {
        (void)entry;
        CXQOVAVector* vector = object.GetMember(m.id);
        if (value == entry.end() || value->is_null()) return;
        if (!value->is_array()) Refuse(path, "a vector's value is a JSON array of object documents");
        if (vector == nullptr) Refuse(path, "the member holds no vector (nesting limit or memory)");
        const bool fixed = MemberType::VectorIsFixed(m.record.memberClass, m.record.fixedCount);
        if (fixed && value->size() > vector->Size()) {
            Refuse(path, std::to_string(value->size()) + " elements do not fit its " + std::to_string(vector->Size()));
        }
        for (std::size_t i = 0; i < value->size(); ++i) {
            const Json& document = (*value)[i];
            const std::string at = path + "/" + std::to_string(i);
            const auto [classId, version] = Identity(document, at);
            if (m.record.memberClass != kNoClass && classId != m.record.memberClass) {
                Refuse(at + "/classId", "the vector holds class " + HexId(m.record.memberClass) + " only");
            }
            CXQOVAObject* element = nullptr;
            if (fixed) {
                element = vector->At(static_cast<std::uint16_t>(i));
                if (element == nullptr || element->Version() != version) {
                    Refuse(at + "/version", "the vector's elements are of version " +
                                                std::to_string(element == nullptr ? 0 : element->Version()));
                }
            } else {
                Count(at);
                if (DefinitionVersion(dictionary_->GetDefinition(classId)) < version) {
                    Refuse(at + "/version", "class " + HexId(classId) + " has no version " + std::to_string(version));
                }
                element = vector->Push(classId, version);
                if (element == nullptr) {
                    Refuse(at, dictionary_->GetDefinition(classId) == nullptr
                                   ? "no definition serves class " + HexId(classId)
                                   : "the vector took no further element (full, nesting limit, budget or memory)");
                }
                Built(*element, classId, version, at);
            }
            Fill(*element, document, at);
        }
    }

    CXQOVADictionary* dictionary_;
    JsonLimits limits_;
    std::uint32_t objects_ = 0;
};

}  // namespace

std::string TimeFault(const QOVA_TIME& t) {
    const auto n = [](unsigned v) { return std::to_string(v); };
    if (t.year > 9999) return "year " + n(t.year) + " is above 9999";
    if (t.month < 1 || t.month > 12) return "month " + n(t.month) + " is not 1 to 12";
    const unsigned days = DaysInMonth(t.year, t.month);
    if (t.day < 1 || t.day > days) {
        return "day " + n(t.day) + " is not 1 to " + n(days) + " (month " + n(t.month) + " of " + n(t.year) + ")";
    }
    if (t.hour > 23) return "hour " + n(t.hour) + " is not 0 to 23";
    if (t.minute > 59) return "minute " + n(t.minute) + " is not 0 to 59";
    if (t.second > 59) return "second " + n(t.second) + " is not 0 to 59";
    if (t.fraction > 99) return "fraction " + n(t.fraction) + " is not 0 to 99";
    return std::string();
}

std::string ObjectToJson(CXQOVAObject& object, int indent) {
    try {
        return Document(object).dump(indent);  // a negative indent writes one line
    } catch (...) {
        return std::string();
    }
}

std::unique_ptr<CXQOVAObject> ObjectFromJson(CXQOVADictionary* dictionary, const char* text, std::size_t length,
                                             JsonError* error, const JsonLimits& limits) {
    auto fail = [&](std::string path, std::string reason) {
        if (error != nullptr) {
            error->path = std::move(path);
            error->reason = std::move(reason);
        }
        return std::unique_ptr<CXQOVAObject>();
    };
    if (error != nullptr) *error = JsonError();
    if (dictionary == nullptr) return fail("", "no dictionary");
    if (text == nullptr && length != 0) return fail("", "no text");
    if (length > limits.maxInputBytes) {
        return fail("", "the text has " + std::to_string(length) + " bytes, more than the limit of " +
                            std::to_string(limits.maxInputBytes));
    }
    try {
        Json document;
        json_detail::ParseChecked(text, length, limits.maxDepth, &Refuse, &document);
        return Reader(dictionary, limits).Top(document);
    } catch (const Refusal& refusal) {
        if (error != nullptr) error->unnamedValue = refusal.unnamed;
        return fail(refusal.path, refusal.reason);
    } catch (const nlohmann::json::parse_error& e) {
        return fail("", std::string("not JSON: ") + e.what());
    } catch (const std::bad_alloc&) {
        return fail("", "out of memory");
    } catch (const std::exception& e) {
        return fail("", e.what());
    }
}

}  // namespace xqova
