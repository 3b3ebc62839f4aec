#include "tools/qova/members.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "xqova/core/class_id.h"
#include "xqova/core/guid_time.h"
#include "xqova/json/json.h"
#include "xqova/object/vector.h"

namespace qova {

namespace {

constexpr std::uint32_t kAnyClass = 0xFFFFFFFFu;

// What a member's type says, in the terms the tool works with, from the
// library's named queries of the type.
struct Kind {
    explicit Kind(xqova::MemberType t)
        : type(t.Byte()),
          width(t.Width()),
          object(t.IsObject()),
          time(t.IsTime()),
          floating(t.IsFloat()),
          text(t.IsText()),
          bitmask(t.IsBitmask()),
          isUnsigned(t.IsUnsigned()),
          fixed(t.IsFixedArray()),
          unbounded(t.IsUnbounded()),
          elementSize(t.ElementSize()) {}
    std::uint8_t type;
    unsigned width;
    bool object, time, floating, text, bitmask, isUnsigned, fixed, unbounded;
    unsigned elementSize;
    bool Array() const { return fixed || unbounded; }
};

std::uint16_t InheritedCount(CXQOVAObject& object) {
    CXQOVAObject* base = object.BaseClass();
    if (base == nullptr) return 0;
    return static_cast<std::uint16_t>(xqova::DefinitionMemberCount(base->GetDefinition()) + InheritedCount(*base));
}

void CollectMembers(CXQOVAObject& object, Catalog& catalog, std::vector<MemberInfo>* members) {
    if (object.BaseClass() != nullptr) CollectMembers(*object.BaseClass(), catalog, members);
    const void* definition = object.GetDefinition();
    if (definition == nullptr) return;
    const xqova::CompiledDefinition& compiled = CompiledFor(catalog, definition);
    const std::uint16_t inherited = InheritedCount(object);
    for (std::uint16_t p = 0; p < compiled.MemberCount(); ++p) {
        const xqova::CompiledMember& member = compiled.Member(p);
        if (p == 0 && member.type.IsInherit()) continue;
        MemberInfo m;
        m.id = static_cast<std::uint16_t>(inherited + p);
        m.owner = &object;
        m.position = p;
        m.member = &member;
        // The declaring definition names its members, whichever dictionary
        // it came from.
        m.name = member.name != nullptr && member.name[0] != '\0' ? member.name : "#" + std::to_string(m.id);
        m.present = object.MemberAvailable(m.id) != 0;
        members->push_back(m);
    }
}

// The enumeration pairs of a member, in table order.
std::vector<std::pair<std::uint16_t, std::string>> Enumerators(const MemberInfo& m) {
    std::vector<std::pair<std::uint16_t, std::string>> pairs;
    const void* definition = m.owner->GetDefinition();
    for (std::uint16_t k = 0; const auto pair = xqova::DefinitionEnumerationPair(definition, m.position, k); ++k) {
        pairs.emplace_back(pair->value, pair->name);
    }
    return pairs;
}

// ---- Parsing -----------------------------------------------------------

std::string Trim(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::string();
    const std::size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = text.find(separator, start);
        parts.push_back(Trim(text.substr(start, at == std::string::npos ? std::string::npos : at - start)));
        if (at == std::string::npos) break;
        start = at + 1;
    }
    return parts;
}

// A whole-text integer, decimal or 0x hex, with its sign.
bool ParseInt64(const std::string& text, long long* value) {
    if (text.empty()) return false;
    const bool negative = text[0] == '-';
    const std::string digits = (text[0] == '-' || text[0] == '+') ? text.substr(1) : text;
    if (digits.empty() || digits[0] == '-' || digits[0] == '+' || digits[0] == ' ') return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long long magnitude = std::strtoull(digits.c_str(), &end, 0);
    if (errno != 0 || *end != '\0' || end == digits.c_str()) return false;
    if (magnitude > (negative ? 9223372036854775808ull : 9223372036854775807ull)) return false;
    *value = negative ? static_cast<long long>(0 - magnitude) : static_cast<long long>(magnitude);
    return true;
}

// The range a member's integer elements take through the library's 32-bit
// setters.
void IntegerRange(const Kind& kind, long long* low, long long* high) {
    const unsigned bits = 8 * (kind.width == 7 ? 4 : kind.elementSize);
    if (kind.width == 7) {
        // 64-bit members are set through the 32-bit setters, zero-extended.
        *low = 0;
        *high = 4294967295ll;
    } else if (kind.isUnsigned || kind.text) {
        *low = 0;
        *high = (1ll << bits) - 1;
    } else {
        *low = -(1ll << (bits - 1));
        *high = (1ll << (bits - 1)) - 1;
    }
}

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

long long ParseInteger(const std::string& text, const Kind& kind, const std::string& member) {
    long long v = 0;
    if (!ParseInt64(text, &v)) throw Failure(member + ": " + Quoted(text) + " is not a number");
    long long low = 0, high = 0;
    IntegerRange(kind, &low, &high);
    if (v < low || v > high) {
        throw Failure(member + ": " + text + " is outside the range of its type (" + std::to_string(low) + " to " +
                      std::to_string(high) + ")");
    }
    return v;
}

std::string NameList(const std::vector<std::pair<std::uint16_t, std::string>>& pairs) {
    std::string list;
    for (const auto& pair : pairs) list += (list.empty() ? "" : ", ") + pair.second;
    return list;
}

const char kForceHint[] = " (--force sets it as it is)";

// An enumerated or BITMASK member's value from names or a number. A number
// its names do not cover (no enumerator, a set bit without a name) is
// refused unless `force`.
long long ParseScalarInteger(const std::string& text, const Kind& kind, const MemberInfo& m, bool force) {
    const auto pairs = Enumerators(m);
    if (kind.bitmask) {
        long long value = 0, known = 0;
        long long low = 0, high = 0;
        IntegerRange(kind, &low, &high);
        for (const auto& pair : pairs) {
            if (pair.first < 8 * kind.elementSize && pair.first < 32) known |= 1ll << pair.first;
        }
        for (const std::string& token : Split(text, '|')) {
            bool named = false;
            for (const auto& pair : pairs) {
                if (pair.second != token) continue;
                if (pair.first >= 8 * kind.elementSize) {
                    throw Failure(m.name + ": bit " + token + " lies outside the member");
                }
                value |= 1ll << pair.first;
                named = true;
                break;
            }
            if (named) continue;
            long long number = 0;
            if (!ParseInt64(token, &number)) {
                throw Failure(m.name + ": " + Quoted(token) + " is neither a number nor one of its bits (" +
                              NameList(pairs) + ")");
            }
            const long long bits = ParseInteger(token, kind, m.name);
            const long long stray = bits & (high - low) & ~known;
            if (!pairs.empty() && stray != 0 && !force) {
                throw Failure(m.name + ": " + token + " sets bits without a name (" + HexId(static_cast<std::uint32_t>(stray)) +
                              "; its bits: " + NameList(pairs) + ")" + kForceHint);
            }
            value |= bits;
        }
        if (!kind.isUnsigned && value > high) value -= (high + 1) * 2;  // the top bit of a signed member
        return value;
    }
    for (const auto& pair : pairs) {
        if (pair.second == text) return pair.first;
    }
    long long number = 0;
    if (!pairs.empty() && !ParseInt64(text, &number)) {
        throw Failure(m.name + ": " + Quoted(text) + " is neither a number nor one of its values (" +
                      NameList(pairs) + ")");
    }
    const long long value = ParseInteger(text, kind, m.name);
    if (!pairs.empty() && !force) {
        const long long low16 = value & (kind.width == 0 ? 0xFF : 0xFFFF);
        bool found = false;
        for (const auto& pair : pairs) found = found || pair.first == low16;
        if (!found) {
            throw Failure(m.name + ": " + text + " is not one of its values (" + NameList(pairs) + ")" + kForceHint);
        }
    }
    return value;
}

// A number for a float member: decimal text, or NaN, Infinity and
// -Infinity written out as such. A number beyond the member's type (1e50
// for a float32, 1e400 for a float64) is refused, not made infinite.
double ParseDouble(const std::string& text, const std::string& member, unsigned width) {
    const std::string t = Trim(text);
    if (t == "NaN") return std::numeric_limits<double>::quiet_NaN();
    if (t == "Infinity") return std::numeric_limits<double>::infinity();
    if (t == "-Infinity") return -std::numeric_limits<double>::infinity();
    char* end = nullptr;
    errno = 0;
    const double d = std::strtod(t.c_str(), &end);
    if (t.empty() || *end != '\0') throw Failure(member + ": " + Quoted(text) + " is not a number");
    const char* type = width == 3 ? "float32" : "float64";
    if (std::isnan(d) || (std::isinf(d) && errno != ERANGE)) {
        throw Failure(member + ": " + Quoted(text) + " is not a finite number (write NaN, Infinity or -Infinity "
                      "to mean one)");
    }
    if (std::isinf(d) || (width == 3 && std::fabs(d) > std::numeric_limits<float>::max())) {
        throw Failure(member + ": " + t + " is outside the range of a " + type);
    }
    return d;
}

// One character of text for a character scalar.
std::uint32_t ParseCharacter(const std::string& text, const Kind& kind, const std::string& member) {
    if (text.empty()) return 0;
    if (kind.width == 0) {
        if (text.size() != 1) throw Failure(member + ": holds one 8-bit character, " + Quoted(text) + " is more");
        return static_cast<unsigned char>(text[0]);
    }
    std::vector<std::uint16_t> units;
    if (!Utf8ToUtf16(text, &units)) throw Failure(member + ": " + Quoted(text) + " is not UTF-8 text");
    if (units.size() != 1) throw Failure(member + ": holds one 16-bit character, " + Quoted(text) + " is more");
    return units[0];
}

void Refused(const MemberInfo& m) {
    throw Failure(m.name + ": the library refused the value (type " + std::to_string(m.member->type.Byte()) + ")");
}

void Check(std::uint8_t result, const MemberInfo& m) {
    if (result == 0) Refused(m);
}

// How many elements an array member takes; throws when too many.
void CheckCount(std::size_t count, const Kind& kind, const MemberInfo& m) {
    if (kind.fixed) {
        const std::size_t room = kind.text ? m.member->fixedCount - 1u : m.member->fixedCount;
        if (m.member->fixedCount == 0 || count > room) {
            throw Failure(m.name + ": " + std::to_string(count) + (kind.text ? " characters" : " elements") +
                          " do not fit its " + std::to_string(room) + (kind.text ? " characters" : " elements"));
        }
    } else {
        const std::size_t bytes = (count + (kind.text ? 1 : 0)) * kind.elementSize;
        if (bytes > 0xFFFF) {
            throw Failure(m.name + ": " + std::to_string(count) + " elements take " + std::to_string(bytes) +
                          " bytes, a member holds at most 65535");
        }
    }
}

template <class T>
void SetArray(CXQOVAObject& object, const MemberInfo& m, const std::vector<T>& values) {
    Check(object.SetMember(m.id, values.empty() ? static_cast<const T*>(nullptr) : values.data(),
                           static_cast<std::uint16_t>(values.size())),
          m);
}

// A time that is a date of the calendar and a time of day (or all zero,
// no time), unless `force`.
QOVA_TIME CheckedTime(const std::string& text, const std::string& member, bool force) {
    QOVA_TIME time;
    try {
        time = ParseTime(text);
    } catch (const Failure& failure) {
        throw Failure(member + ": " + failure.what());
    }
    const QOVA_TIME zero{};
    if (!force && std::memcmp(&time, &zero, sizeof time) != 0) {
        const std::string fault = xqova::TimeFault(time);
        if (!fault.empty()) {
            throw Failure(member + ": " + Quoted(Trim(text)) + " is not a date and time: " + fault + kForceHint);
        }
    }
    return time;
}

void SetArrayFromText(CXQOVAObject& object, const MemberInfo& m, const Kind& kind, const std::string& text,
                      bool force) {
    if (kind.text) {
        if (kind.width == 0) {
            CheckCount(text.size(), kind, m);
            Check(object.SetMember(m.id, text.c_str(), static_cast<std::uint16_t>(text.size())), m);
        } else {
            std::vector<std::uint16_t> units;
            if (!Utf8ToUtf16(text, &units)) throw Failure(m.name + ": " + Quoted(text) + " is not UTF-8 text");
            CheckCount(units.size(), kind, m);
            static const unsigned short kEmpty = 0;
            const unsigned short* data =
                units.empty() ? &kEmpty : reinterpret_cast<const unsigned short*>(units.data());
            Check(object.SetMember(m.id, data, static_cast<std::uint16_t>(units.size())), m);
        }
        return;
    }
    const std::vector<std::string> items = Trim(text).empty() ? std::vector<std::string>() : Split(text, ',');
    CheckCount(items.size(), kind, m);
    const std::string element = m.name + " element";
    if (kind.time) {
        std::vector<QOVA_TIME> times;
        for (const auto& item : items) times.push_back(CheckedTime(item, element, force));
        return SetArray(object, m, times);
    }
    if (kind.floating) {
        if (kind.width == 3) {
            std::vector<float> values;
            for (const auto& item : items) values.push_back(static_cast<float>(ParseDouble(item, element, 3)));
            return SetArray(object, m, values);
        }
        std::vector<double> values;
        for (const auto& item : items) values.push_back(ParseDouble(item, element, 7));
        return SetArray(object, m, values);
    }
    std::vector<long long> numbers;
    for (const auto& item : items) numbers.push_back(ParseInteger(item, kind, element));
    switch (kind.width) {
        case 0:
            if (kind.isUnsigned) {
                return SetArray(object, m, std::vector<unsigned char>(numbers.begin(), numbers.end()));
            }
            return SetArray(object, m, std::vector<signed char>(numbers.begin(), numbers.end()));
        case 1:
            if (kind.isUnsigned) {
                return SetArray(object, m, std::vector<unsigned short>(numbers.begin(), numbers.end()));
            }
            return SetArray(object, m, std::vector<short>(numbers.begin(), numbers.end()));
        case 3:
            if (kind.isUnsigned) {
                return SetArray(object, m, std::vector<std::uint32_t>(numbers.begin(), numbers.end()));
            }
            return SetArray(object, m, std::vector<std::int32_t>(numbers.begin(), numbers.end()));
        default:
            throw Failure(m.name + ": arrays of 64-bit integers cannot be set through the member interface");
    }
}

const MemberInfo& FindMember(const std::vector<MemberInfo>& members, const std::string& name, CXQOVAObject& object,
                             Catalog& catalog) {
    for (const MemberInfo& m : members) {
        if (m.name == name) return m;
    }
    std::string list;
    for (const MemberInfo& m : members) {
        if (m.present) list += (list.empty() ? "" : ", ") + m.name;
    }
    throw Failure(catalog.Name(object.ClassID()) + " has no member " + name + " (members: " + list + ")");
}

}  // namespace

std::vector<MemberInfo> ListMembers(CXQOVAObject& object, Catalog& catalog) {
    std::vector<MemberInfo> members;
    CollectMembers(object, catalog, &members);
    return members;
}

std::string TypeText(const xqova::CompiledMember& member, Catalog& catalog) {
    const Kind kind(member.type);
    std::string text = xqova::TypeName(member.type.Byte());
    if (text.empty()) text = "type " + std::to_string(member.type.Byte());
    if (kind.object) {
        if (kind.unbounded) text += " UNBOUNDED";
        if (kind.fixed) text += "[" + std::to_string(member.fixedCount) + "]";
        text += " of " + (member.memberClass == kAnyClass ? std::string("ANY_CLASS") : catalog.Name(member.memberClass));
        return text;
    }
    if (kind.fixed) text += "[" + std::to_string(member.fixedCount) + "]";
    if (kind.unbounded) text += " UNBOUNDED";
    if (kind.bitmask) text += " BITMASK";
    return text;
}

QOVA_TIME ParseTime(const std::string& text) {
    std::vector<unsigned long> fields;
    std::size_t i = 0;
    const std::string t = Trim(text);
    while (i < t.size()) {
        if (t[i] < '0' || t[i] > '9') {
            throw Failure("time " + Quoted(text) + ": expected YYYY/MM/DD hh:mm:ss ff");
        }
        unsigned long value = 0;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9') {
            value = value * 10 + static_cast<unsigned long>(t[i] - '0');
            if (value > 65535) throw Failure("time " + Quoted(text) + ": a field is too large");
            ++i;
        }
        fields.push_back(value);
        if (i < t.size()) {
            const char separator = t[i];
            if (separator != '/' && separator != '-' && separator != ':' && separator != ' ' && separator != 'T' &&
                separator != '.') {
                throw Failure("time " + Quoted(text) + ": expected YYYY/MM/DD hh:mm:ss ff");
            }
            ++i;
        }
    }
    if (fields.size() != 6 && fields.size() != 7) {
        throw Failure("time " + Quoted(text) + ": expected YYYY/MM/DD hh:mm:ss ff");
    }
    for (std::size_t k = 1; k < fields.size(); ++k) {
        if (fields[k] > 255) throw Failure("time " + Quoted(text) + ": field " + std::to_string(k + 1) + " is above 255");
    }
    QOVA_TIME time{};
    time.year = static_cast<std::uint16_t>(fields[0]);
    time.month = static_cast<std::uint8_t>(fields[1]);
    time.day = static_cast<std::uint8_t>(fields[2]);
    time.hour = static_cast<std::uint8_t>(fields[3]);
    time.minute = static_cast<std::uint8_t>(fields[4]);
    time.second = static_cast<std::uint8_t>(fields[5]);
    time.fraction = fields.size() == 7 ? static_cast<std::uint8_t>(fields[6]) : 0;
    return time;
}

MemberKey SetMemberFromText(CXQOVAObject& object, Catalog& catalog, const std::string& path, const std::string& text,
                            bool force) {
    CXQOVAObject* target = &object;
    std::string rest = path;
    for (;;) {
        const std::size_t dot = rest.find('.');
        const std::string name = rest.substr(0, dot);
        const std::vector<MemberInfo> members = ListMembers(*target, catalog);
        const MemberInfo& m = FindMember(members, name, *target, catalog);
        const Kind kind(m.member->type);
        if (!m.present) {
            throw Failure(m.name + ": " + catalog.Name(target->ClassID()) + " has no such member at version " +
                          std::to_string(target->Version()));
        }
        if (dot != std::string::npos) {
            CXQOVAObject* nested = kind.object && !kind.Array() ? static_cast<CXQOVAObject*>(target->GetMember(m.id))
                                                                 : nullptr;
            if (nested == nullptr) throw Failure(m.name + ": does not hold a single object to set members of");
            target = nested;
            rest = rest.substr(dot + 1);
            continue;
        }
        const MemberKey key{target, m.id};
        if (kind.object) {
            if (kind.Array()) {
                throw Failure(m.name + ": holds a vector of objects, which values cannot fill (encode --json can)");
            }
            throw Failure(m.name + ": holds an object; set its members as " + m.name + ".Member=value");
        }
        if (kind.Array()) {
            SetArrayFromText(*target, m, kind, text, force);
        } else if (kind.time) {
            Check(target->SetMember(m.id, CheckedTime(text, m.name, force)), m);
        } else if (kind.floating) {
            const double d = ParseDouble(text, m.name, kind.width);
            Check(kind.width == 3 ? target->SetMember(m.id, static_cast<float>(d)) : target->SetMember(m.id, d), m);
        } else if (kind.text) {
            Check(target->SetMember(m.id, ParseCharacter(text, kind, m.name)), m);
        } else {
            const long long value = ParseScalarInteger(Trim(text), kind, m, force);
            if (kind.isUnsigned || kind.width == 7) {
                Check(target->SetMember(m.id, static_cast<std::uint32_t>(value)), m);
            } else {
                Check(target->SetMember(m.id, static_cast<std::int32_t>(value)), m);
            }
        }
        return key;
    }
}

}  // namespace qova
