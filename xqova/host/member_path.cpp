#include "xqova/host/member_path.h"

#include <algorithm>

#include "xqova/core/types.h"
#include "xqova/dictionary/definition.h"
#include "xqova/object/member_accessor.h"
#include "xqova/object/object.h"
#include "xqova/object/vector.h"

namespace xqova {
namespace {

// Members of one object of a chain that are present at its version, with the
// positions its outermost object gives them. The inherit member has no
// position. An object without a base object counts its positions from its
// first slot, as the object's own lookups do.
template <class Visit>
bool VisitOwnMembers(CXQOVAObject* object, Visit visit) {
    // An object without a definition walks no records.
    const void* definition = object->GetDefinition();
    CXQOVAObject* base = object->BaseClass();
    const std::uint32_t first = base != nullptr ? base->MemberCount() : 0u;
    MemberWalker walker(definition);
    MemberRecord record{};
    std::uint32_t slot = 0;
    for (std::uint16_t p = 0; walker.Next(&record); ++p) {
        if (!record.InVersion(object->Version())) continue;
        const std::uint32_t s = slot++;
        if (record.type == MemberType::kInherit) continue;
        const std::uint32_t position = base != nullptr ? first + s - 1u : s;
        if (position > 0xFFFEu) return false;
        if (visit(definition, p, static_cast<std::uint16_t>(position))) return true;
    }
    return false;
}

// The identifier of the member at definition position `p` of `holder`, an
// object of a chain, as every object of the chain above it numbers it: the
// member records of the base definitions come first. The caller checks it
// against the object's own lookup.
std::uint16_t IdentifierIn(CXQOVAObject* holder, std::uint16_t p) {
    std::uint32_t id = p;
    for (CXQOVAObject* b = holder->BaseClass(); b != nullptr; b = b->BaseClass()) {
        id += DefinitionMemberCount(b->GetDefinition());
    }
    if (id > 0xFFFEu) return 0xFFFF;
    return static_cast<std::uint16_t>(id);
}

// Searches the object's own members, then its base chain's, for the first
// that `match` accepts; fills the location's position, identifier and member.
template <class Match>
bool SearchChain(CXQOVAObject* object, Match match, MemberLocation* location) {
    for (CXQOVAObject* holder = object; holder != nullptr; holder = holder->BaseClass()) {
        std::uint16_t found = 0xFFFF;
        std::uint16_t definitionPosition = 0;
        const bool hit = VisitOwnMembers(holder, [&](const void* definition, std::uint16_t p, std::uint16_t position) {
            if (!match(definition, p)) return false;
            found = position;
            definitionPosition = p;
            return true;
        });
        if (!hit) continue;
        CXQOVAData_u& member = object->GetMemberAt(found);
        if (!member.Available()) return false;
        location->object = object;
        location->member = &member;
        location->position = found;
        const std::uint16_t id = IdentifierIn(holder, definitionPosition);
        location->id = (id != 0xFFFF && &object->GetMember(id) == &member) ? id : 0xFFFF;
        return true;
    }
    return false;
}

bool FindByName(CXQOVAObject* object, std::string_view name, MemberLocation* location) {
    return SearchChain(
        object,
        [name](const void* definition, std::uint16_t p) {
            const char* text = DefinitionText(definition, p);
            return text != nullptr && std::string_view(text) == name;
        },
        location);
}

MemberLocation Failure(MemberLocation location, PathError error, std::size_t at, std::size_t length) {
    location.member = nullptr;
    location.position = 0xFFFF;
    location.id = 0xFFFF;
    location.element = kNoElement;
    location.error = error;
    location.at = at;
    location.length = length;
    return location;
}

bool IsSeparator(char c) { return c == '.' || c == '[' || c == ']'; }

}  // namespace

std::size_t ListMembers(CXQOVAObject* object, MemberEntry* entries, std::size_t capacity) {
    if (object == nullptr) return 0;
    std::size_t depth = 0;
    for (CXQOVAObject* holder = object; holder != nullptr; holder = holder->BaseClass()) ++depth;
    std::size_t count = 0;
    for (std::size_t level = depth; level-- > 0;) {
        CXQOVAObject* holder = object;
        for (std::size_t k = 0; k < level; ++k) holder = holder->BaseClass();
        VisitOwnMembers(holder, [&](const void* definition, std::uint16_t p, std::uint16_t position) {
            CXQOVAData_u& member = object->GetMemberAt(position);
            if (!member.Available()) return false;
            if (count < capacity) {
                const char* text = DefinitionText(definition, p);
                const std::uint16_t id = IdentifierIn(holder, p);
                entries[count].name = text != nullptr ? text : "";
                entries[count].position = position;
                entries[count].id = (id != 0xFFFF && &object->GetMember(id) == &member) ? id : 0xFFFF;
            }
            ++count;
            return false;
        });
    }
    return count;
}

const char* PathErrorName(PathError error) {
    switch (error) {
        case PathError::kNone: return "found";
        case PathError::kSyntax: return "malformed path";
        case PathError::kNotFound: return "no member of that name";
        case PathError::kNotAnObject: return "not an object";
        case PathError::kNotAnArray: return "not an array";
        case PathError::kIndexOutOfRange: return "index out of range";
        case PathError::kNoObject: return "holds no object";
    }
    return "unknown";
}

MemberKind MemberLocation::Kind() const { return member != nullptr ? KindOfType(member->Type()) : MemberKind::kNoMember; }

MemberLocation FindMember(CXQOVAObject* root, const char* path) {
    if (path == nullptr) {
        MemberLocation location;
        location.object = root;
        return Failure(location, PathError::kSyntax, 0, 0);
    }
    return FindMember(root, std::string_view(path));
}

MemberLocation FindMember(CXQOVAObject* root, std::string_view path) {
    MemberLocation location;
    location.object = root;
    if (root == nullptr) return Failure(location, PathError::kNoObject, 0, 0);
    const std::size_t n = path.size();
    std::size_t i = 0;
    CXQOVAObject* current = root;
    for (;;) {
        const std::size_t start = i;
        while (i < n && !IsSeparator(path[i])) ++i;
        const std::string_view name = path.substr(start, i - start);
        location.object = current;
        if (name.empty()) return Failure(location, PathError::kSyntax, start, 0);
        MemberLocation found;
        if (!FindByName(current, name, &found)) return Failure(location, PathError::kNotFound, start, name.size());

        // An index: decimal digits in brackets; anything above 65535 is
        // out of range of every member.
        bool indexed = false;
        std::uint32_t index = 0;
        if (i < n && path[i] == '[') {
            std::size_t j = i + 1;
            while (j < n && path[j] >= '0' && path[j] <= '9') {
                index = index > 0xFFFFu ? 0x10000u : index * 10u + static_cast<std::uint32_t>(path[j] - '0');
                ++j;
            }
            if (j == i + 1 || j >= n || path[j] != ']') return Failure(location, PathError::kSyntax, i, j - i);
            indexed = true;
            i = j + 1;
        }
        const std::size_t segment = i - start;
        if (i < n && path[i] != '.') return Failure(location, PathError::kSyntax, i, 1);
        const bool last = i >= n;

        CXQOVAData_u& member = *found.member;
        const MemberKind kind = KindOfType(member.Type());
        CXQOVAObject* next = nullptr;
        if (indexed) {
            std::uint32_t count = 0;
            if (kind == MemberKind::kVector) {
                const CXQOVAVector* vector = member;
                count = vector != nullptr ? vector->Size() : 0u;
            } else if (MemberType(member.Type()).IsArray()) {  // a name never finds the inherit member
                count = member.Elements();
            } else {
                return Failure(location, PathError::kNotAnArray, start, segment);
            }
            if (index >= count) {
                location.elements = count;
                return Failure(location, PathError::kIndexOutOfRange, start, segment);
            }
            if (last) {
                found.element = static_cast<std::uint16_t>(index);
                return found;
            }
            if (kind != MemberKind::kVector) return Failure(location, PathError::kNotAnObject, start, segment);
            next = static_cast<const CXQOVAVector*>(member)->At(static_cast<std::uint16_t>(index));
        } else {
            if (last) return found;
            if (kind != MemberKind::kObject) return Failure(location, PathError::kNotAnObject, start, segment);
            next = member;
        }
        if (next == nullptr) return Failure(location, PathError::kNoObject, start, segment);
        current = next;
        ++i;  // the '.'
    }
}

MemberLocation FindMemberByAlias(CXQOVAObject* object, std::uint32_t alias) {
    MemberLocation location;
    location.object = object;
    if (object == nullptr) return Failure(location, PathError::kNoObject, 0, 0);
    if (alias != kNoAlias &&
        SearchChain(
            object,
            [alias](const void* definition, std::uint16_t p) { return DefinitionMemberAlias(definition, p) == alias; },
            &location)) {
        return location;
    }
    return Failure(location, PathError::kNotFound, 0, 0);
}

CXQOVAObject* ObjectAt(const MemberLocation& location) {
    if (location.member == nullptr) return nullptr;
    switch (location.Kind()) {
        case MemberKind::kObject:  // a path puts no index after a single object
            return *location.member;
        case MemberKind::kVector: {
            const CXQOVAVector* vector = *location.member;
            return vector != nullptr ? vector->At(location.element) : nullptr;  // kNoElement is past every end
        }
        default:
            return nullptr;
    }
}

namespace {

// Appends to a bounded buffer and counts what the whole text needs.
class Writer {
public:
    Writer(char* buffer, std::size_t capacity) : buffer_(buffer), capacity_(capacity) {}
    // The last byte of the buffer may take a character: the terminator
    // replaces it when the text is cut.
    void Put(char c) {
        if (length_ < capacity_) buffer_[length_] = c;
        ++length_;
    }
    void Text(const char* s) {
        while (*s != '\0') Put(*s++);
    }
    // A text from outside: printable ASCII as it is, every other byte as \xHH.
    void Shown(std::string_view s) {
        static const char kHex[] = "0123456789ABCDEF";
        for (char ch : s) {
            const auto c = static_cast<unsigned char>(ch);
            if (c >= 0x20 && c < 0x7F && c != '\\') {
                Put(ch);
            } else {
                Put('\\');
                Put('x');
                Put(kHex[c >> 4]);
                Put(kHex[c & 15]);
            }
        }
    }
    void Number(std::uint64_t v) {
        char digits[20];
        int n = 0;
        do {
            digits[n++] = static_cast<char>('0' + v % 10);
            v /= 10;
        } while (v != 0);
        while (n > 0) Put(digits[--n]);
    }
    // Ends what was written (cut to the capacity) and gives the length of
    // the whole text.
    std::size_t Finish() {
        if (capacity_ > 0) buffer_[std::min(length_, capacity_ - 1)] = '\0';
        return length_;
    }

private:
    char* buffer_;
    std::size_t capacity_;
    std::size_t length_ = 0;
};

}  // namespace

std::size_t FormatPathError(const MemberLocation& location, std::string_view path, char* buffer, std::size_t capacity) {
    Writer out(buffer, capacity);
    out.Text(PathErrorName(location.error));
    if (location.error == PathError::kNone) return out.Finish();
    if (location.at <= path.size()) {
        out.Text(" at offset ");
        out.Number(location.at);
        out.Text(" (\"");
        out.Shown(path.substr(location.at, location.length));
        out.Text("\")");
    }
    if (location.error == PathError::kIndexOutOfRange) {
        out.Text(", ");
        out.Number(location.elements);
        out.Text(location.elements == 1 ? " element" : " elements");
    }
    const char* className = location.object != nullptr ? DefinitionText(location.object->GetDefinition(), 0xFFFF) : nullptr;
    if (className != nullptr) {
        out.Text(" in ");
        out.Shown(className);
    }
    return out.Finish();
}

namespace {

std::size_t Share(CXQOVAObject* object, CXQOVAStringTable* table) {
    if (object == nullptr) return 0;
    object->SetStringTable(table);
    std::size_t count = 1;
    CXQOVAObject* base = object->BaseClass();
    count += Share(base, table);
    const std::uint16_t first = base != nullptr ? base->MemberCount() : 0;
    const std::uint16_t end = object->MemberCount();
    for (std::uint32_t pos = first; pos < end; ++pos) {
        CXQOVAData_u& member = object->GetMemberAt(static_cast<std::uint16_t>(pos));
        const MemberKind kind = KindOfType(member.Type());
        if (kind == MemberKind::kObject) {
            count += Share(member, table);
        } else if (kind == MemberKind::kVector) {
            const CXQOVAVector* vector = member;
            for (std::uint16_t k = 0; vector != nullptr && k < vector->Size(); ++k) count += Share(vector->At(k), table);
        }
    }
    return count;
}

}  // namespace

std::size_t ShareStringTable(CXQOVAObject* root, CXQOVAStringTable* table) { return Share(root, table); }

}  // namespace xqova
