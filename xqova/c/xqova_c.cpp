// The C interface over the library (xqova/c/xqova_c.h).
//
// Each entry point checks its pointers, runs inside Guarded (no exception
// leaves it) and records its failure as the thread's last error. Handles are
// plain structures around the C++ objects; dictionaries and string tables
// carry a count of their users (the host's handle, the objects built on them,
// the string tables over a dictionary) and are destroyed with the last.
#include "xqova/c/xqova_c.h"

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string_view>
#include <vector>

#include "xqova/builtin/builtin.h"
#include "xqova/c/c_internal.h"
#include "xqova/core/class_id.h"
#include "xqova/core/crc16.h"
#include "xqova/core/frame_header.h"
#include "xqova/core/limits.h"
#include "xqova/core/memory.h"
#include "xqova/dictionary/definition.h"
#include "xqova/dictionary/dictionary.h"
#include "xqova/dictionary/member_type.h"
#include "xqova/encoding/decode_report.h"
#include "xqova/host/member_kind.h"
#include "xqova/host/member_path.h"
#include "xqova/host/member_values.h"
#include "xqova/message/frame.h"
#include "xqova/message/stream_reader.h"
#include "xqova/object/member_accessor.h"
#include "xqova/object/object.h"
#include "xqova/text/string_table.h"
#include "xqova/text/table_check.h"
#include "xqova/text/table_format.h"
#include "xqova/version.h"

// The two records that cross the interface have one layout everywhere.
static_assert(sizeof(xqova_reason) == 528, "xqova_reason is 528 bytes");
static_assert(sizeof(xqova_time) == 8, "xqova_time is 8 bytes");

// The C reason codes are the library's own check numbers, passed through unchanged.
template <typename Check>
constexpr bool SameCode(int c, Check check) {
    return c == static_cast<int>(check);
}
using xqova::DecodeCheck;
static_assert(SameCode(XQOVA_DECODE_HEADER, DecodeCheck::kHeader) &&
                  SameCode(XQOVA_DECODE_LENGTH, DecodeCheck::kLength) &&
                  SameCode(XQOVA_DECODE_TOO_SMALL, DecodeCheck::kTooSmall) &&
                  SameCode(XQOVA_DECODE_CHECKSUM, DecodeCheck::kChecksum) &&
                  SameCode(XQOVA_DECODE_UNKNOWN_CLASS, DecodeCheck::kUnknownClass) &&
                  SameCode(XQOVA_DECODE_NEWER_VERSION, DecodeCheck::kNewerVersion) &&
                  SameCode(XQOVA_DECODE_FIXED_SECTION, DecodeCheck::kFixedSection) &&
                  SameCode(XQOVA_DECODE_MEMBER_DATA, DecodeCheck::kMemberData) &&
                  SameCode(XQOVA_DECODE_NESTED_SIZE, DecodeCheck::kNestedSize) &&
                  SameCode(XQOVA_DECODE_NESTED_CLASS, DecodeCheck::kNestedClass) &&
                  SameCode(XQOVA_DECODE_VECTOR_COUNT, DecodeCheck::kVectorCount) &&
                  SameCode(XQOVA_DECODE_LAYOUT, DecodeCheck::kLayout) &&
                  SameCode(XQOVA_DECODE_TOO_DEEP, DecodeCheck::kTooDeep) &&
                  SameCode(XQOVA_DECODE_OUT_OF_MEMORY, DecodeCheck::kOutOfMemory),
              "XQOVA_DECODE_* equal xqova::DecodeCheck");
static_assert(SameCode(XQOVA_FRAME_HEADER, xqova::FrameCheck::kHeader) &&
                  SameCode(XQOVA_FRAME_LENGTH, xqova::FrameCheck::kLength) &&
                  SameCode(XQOVA_FRAME_TOO_SMALL, xqova::FrameCheck::kTooSmall) &&
                  SameCode(XQOVA_FRAME_CHECKSUM, xqova::FrameCheck::kChecksum),
              "XQOVA_FRAME_* equal xqova::FrameCheck");

using xqova::c_interface::CheckRoom;
using xqova::c_interface::ClearReason;
using xqova::c_interface::CopyText;
using xqova::c_interface::Guarded;
using xqova::c_interface::kNoClass;

struct xqova_dictionary {
    explicit xqova_dictionary(void* base) : dictionary(base) {}
    std::atomic<std::uint32_t> users{1};
    CXQOVADictionary dictionary;
    // The English names of the definitions, derived on first need and given
    // to every object built here; dropped when definitions are added.
    std::mutex namesLock;
    xqova_string_table* names = nullptr;
};

struct xqova_string_table {
    xqova_string_table(xqova_dictionary* over, bool user)
        : dictionary(over), usesDictionary(user), table(nullptr, nullptr, &over->dictionary) {}
    std::atomic<std::uint32_t> users{1};
    xqova_dictionary* dictionary;
    // Whether the table is one of the dictionary's users: every table but the
    // dictionary's own names, which the dictionary holds.
    bool usesDictionary;
    CXQOVAStringTable table;
};

struct xqova_object {
    ~xqova_object() {
        if (destroy != nullptr) destroy(object);
    }
    xqova_dictionary* dictionary = nullptr;  // one of its users
    xqova_string_table* names = nullptr;     // one of its users, or null
    // The object: built by the library (held by `owned`), or built by the
    // JSON component and destroyed through `destroy`.
    xqova::DecodedObject owned;
    CXQOVAObject* object = nullptr;
    void (*destroy)(CXQOVAObject*) = nullptr;
};

struct xqova_stream_reader {
    xqova_stream_reader(unsigned char* bytes, std::uint16_t* checksumStates, std::uint32_t capacity)
        : storage(bytes), states(checksumStates), reader(storage, states, capacity) {}
    unsigned char* storage;
    std::uint16_t* states;
    xqova::FrameStreamReader reader;
};

namespace {

// Every message of this file fits this size; the last one of each thread
// is kept in a buffer of the same size.
constexpr std::size_t kMessageSize = 512;
thread_local char lastError[kMessageSize];

// Every message is a text of this file or one made printable already, and
// shorter than the buffer; a longer one would be cut.
void SetLastError(const char* message) { std::snprintf(lastError, sizeof lastError, "%s", message); }

// The class of a report, or kNoClass when the check came before it was read.
template <typename Report>
std::uint32_t ClassRead(const Report& why) {
    return why.classRead ? why.classId : kNoClass;
}

// Writes `text` into `out` (capacity > 0), every byte outside printable
// ASCII (and the backslash) as \xHH, cut to fit.
void Printable(const char* text, char* out, std::size_t capacity) {
    static const char hex[] = "0123456789ABCDEF";
    std::size_t n = 0;
    for (; text != nullptr && *text != '\0'; ++text) {
        const unsigned char c = static_cast<unsigned char>(*text);
        const bool plain = c >= 0x20 && c < 0x7F && c != '\\';
        const std::size_t width = plain ? 1 : 4;
        if (n + width >= capacity) break;
        if (plain) {
            out[n++] = static_cast<char>(c);
        } else {
            out[n++] = '\\';
            out[n++] = 'x';
            out[n++] = hex[c >> 4];
            out[n++] = hex[c & 15];
        }
    }
    out[n] = '\0';
}

xqova_status Fail(xqova_status status, const char* message) { return xqova_internal_fail(status, message); }
xqova_status Succeed() { return xqova_internal_succeed(); }
xqova_status NullArgument(const char* what) {
    char message[kMessageSize];
    std::snprintf(message, sizeof message, "%s is null", what);
    return Fail(XQOVA_E_ARGUMENT, message);
}

// Fails with the reason in the thread's last error, and in `reason`.
xqova_status Refuse(xqova_reason* reason, int32_t check, std::uint32_t offset, std::uint32_t at,
                    std::uint32_t classId, const char* path, const char* message) {
    xqova_internal_set_reason(reason, check, offset, at, classId, path, message);
    char printable[256];
    Printable(message, printable, sizeof printable);
    return Fail(XQOVA_E_REFUSED, printable);
}

void Retain(xqova_dictionary* d) { d->users.fetch_add(1, std::memory_order_relaxed); }
void Retain(xqova_string_table* t) { t->users.fetch_add(1, std::memory_order_relaxed); }

void Release(xqova_dictionary* d);

void Release(xqova_string_table* t) {
    if (t == nullptr || t->users.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    xqova_dictionary* d = t->usesDictionary ? t->dictionary : nullptr;
    xqova::Delete(t);
    Release(d);
}

void Release(xqova_dictionary* d) {
    if (d == nullptr || d->users.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    // No object uses the dictionary now, so none uses its names either.
    xqova_string_table* names = d->names;
    d->names = nullptr;
    Release(names);
    xqova::Delete(d);
}

// The dictionary's names, derived on first need; null when memory ran out.
// The caller becomes one of its users.
xqova_string_table* DictionaryNames(xqova_dictionary* d) {
    std::lock_guard<std::mutex> hold(d->namesLock);
    if (d->names == nullptr) {
        xqova_string_table* names = xqova::New<xqova_string_table>(d, false);
        if (names == nullptr) return nullptr;
        if (names->table.AddDictionaryTables(&d->dictionary) == 0) {
            xqova::Delete(names);
            return nullptr;
        }
        d->names = names;
    }
    Retain(d->names);
    return d->names;
}

// Attaches `table` (null allowed; the caller's use passes to the object) to
// the object's tree, letting go of the one it had.
void Attach(xqova_object* o, xqova_string_table* table) {
    xqova::ShareStringTable(o->object, table == nullptr ? nullptr : &table->table);
    xqova_string_table* before = o->names;
    o->names = table;
    Release(before);
}

void DropDictionaryNames(xqova_dictionary* d) {
    std::lock_guard<std::mutex> hold(d->namesLock);
    Release(d->names);
    d->names = nullptr;
}

// A found member, or the reason in the last error.
xqova_status Locate(xqova_object* object, const char* path, xqova::MemberLocation* where) {
    if (object == nullptr) return NullArgument("object");
    if (path == nullptr) return NullArgument("path");
    *where = xqova::FindMember(object->object, path);
    if (*where) return XQOVA_OK;
    // The path's bytes are written printable there already (ESC as \x1B), so
    // the text goes out as it is.
    char message[kMessageSize];
    xqova::FormatPathError(*where, path, message, sizeof message);
    return Fail(XQOVA_E_NOT_FOUND, message);
}

xqova_status WrongKind(const xqova::MemberLocation& where, const char* wanted) {
    char message[kMessageSize];
    std::snprintf(message, sizeof message, "the member holds a %s value, not a %s one",
                  xqova::MemberKindName(where.Kind()), wanted);
    return Fail(XQOVA_E_KIND, message);
}

// Whole elements: set a member, not an element of an array.
bool WholeScalar(const xqova::MemberLocation& where) {
    return where.element == xqova::kNoElement && !xqova::MemberType(where.member->Type()).IsArray();
}

// A handle for an object the library built (`owned`) or another one
// (`foreign`, destroyed through `destroy`), with the dictionary's names. On
// failure the object is destroyed.
xqova_status Wrap(xqova_dictionary* dictionary, xqova::DecodedObject owned, CXQOVAObject* foreign,
                  void (*destroy)(CXQOVAObject*), xqova_object** handle) {
    xqova_object* o = xqova::New<xqova_object>();
    xqova_string_table* names = o == nullptr ? nullptr : DictionaryNames(dictionary);
    if (names == nullptr) {
        xqova::Delete(o);
        if (destroy != nullptr) destroy(foreign);
        return Fail(XQOVA_E_NO_MEMORY, "out of memory");
    }
    Retain(dictionary);
    o->dictionary = dictionary;
    o->object = owned ? owned.Get() : foreign;
    o->owned = std::move(owned);
    o->destroy = destroy;
    Attach(o, names);
    *handle = o;
    return Succeed();
}

xqova_status AddTables(xqova_string_table* table, const uint8_t* bytes, uint32_t length, uint32_t* added,
                       xqova_reason* reason, bool language) {
    if (added != nullptr) *added = 0;
    ClearReason(reason);
    if (table == nullptr) return NullArgument("table");
    if (bytes == nullptr && length != 0) return NullArgument("bytes");
    std::uint32_t offset = 0;
    while (offset < length) {
        const unsigned char* at = bytes + offset;
        const std::size_t available = length - offset;
        xqova::TableReport why;
        const bool good = language ? xqova::CheckLanguageTable(at, available, &why)
                                   : xqova::CheckLinkTable(at, available, &why);
        if (!good) {
            char message[kMessageSize];
            std::snprintf(message, sizeof message, "%s table at offset %lu: %s at offset %lu",
                          language ? "language" : "link", static_cast<unsigned long>(offset),
                          xqova::TableCheckName(why.check), static_cast<unsigned long>(offset + why.at));
            return Refuse(reason, static_cast<int32_t>(why.check), offset, static_cast<std::uint32_t>(offset + why.at),
                          language ? kNoClass : ReadInt32(at), nullptr, message);
        }
        const std::size_t size = language ? xqova::LanguageTableStatedSize(at, available)
                                          : xqova::LinkTableStatedSize(at, available);
        void* stored = language ? table->table.AddLanguageTable(at, available) : table->table.AddLinkTable(at, available);
        if (stored == nullptr) return Fail(XQOVA_E_NO_MEMORY, "out of memory storing a table");
        offset += static_cast<std::uint32_t>(size);
        if (added != nullptr) ++*added;
    }
    return Succeed();
}

}  // namespace

// ---- Shared with the JSON component ------------------------------------

extern "C" {

xqova_status XQOVA_CALL xqova_internal_fail(xqova_status status, const char* message) {
    SetLastError(message);
    return status;
}

xqova_status XQOVA_CALL xqova_internal_succeed(void) {
    lastError[0] = '\0';
    return XQOVA_OK;
}

void XQOVA_CALL xqova_internal_set_reason(xqova_reason* reason, int32_t check, std::uint32_t offset,
                                          std::uint32_t at, std::uint32_t class_id, const char* path,
                                          const char* message) {
    if (reason == nullptr) return;
    std::memset(reason, 0, sizeof *reason);
    reason->check = check;
    reason->offset = offset;
    reason->at = at;
    reason->class_id = class_id;
    if (path != nullptr) std::snprintf(reason->path, sizeof reason->path, "%s", path);
    Printable(message, reason->message, sizeof reason->message);
}

CXQOVADictionary* XQOVA_CALL xqova_internal_dictionary(xqova_dictionary* dictionary) {
    return &dictionary->dictionary;
}

CXQOVAObject* XQOVA_CALL xqova_internal_object(xqova_object* object) { return object->object; }

xqova_status XQOVA_CALL xqova_internal_adopt_object(xqova_dictionary* dictionary, CXQOVAObject* object,
                                                    void (*destroy)(CXQOVAObject*), xqova_object** handle) {
    return Guarded([&] { return Wrap(dictionary, xqova::DecodedObject(), object, destroy, handle); });
}

// ---- The library ---------------------------------------------------------

const char* XQOVA_CALL xqova_version(void) { return XQOVA_VERSION; }

const char* XQOVA_CALL xqova_last_error(void) { return lastError; }

const char* XQOVA_CALL xqova_status_name(xqova_status status) {
    switch (status) {
        case XQOVA_OK: return "ok";
        case XQOVA_E_ARGUMENT: return "invalid argument";
        case XQOVA_E_NO_MEMORY: return "out of memory";
        case XQOVA_E_BUFFER_TOO_SMALL: return "buffer too small";
        case XQOVA_E_REFUSED: return "input refused";
        case XQOVA_E_NOT_FOUND: return "not found";
        case XQOVA_E_KIND: return "another kind of member";
        case XQOVA_E_RANGE: return "out of range";
        case XQOVA_E_INTERNAL: return "internal failure";
        default: return "unknown status";
    }
}

xqova_status XQOVA_CALL xqova_checksum(const uint8_t* bytes, uint32_t length, uint16_t* checksum) {
    if (checksum == nullptr) return NullArgument("checksum");
    if (bytes == nullptr && length != 0) return NullArgument("bytes");
    *checksum = CalculateCRC(bytes, length);
    return Succeed();
}

// ---- Dictionaries --------------------------------------------------------

xqova_status XQOVA_CALL xqova_dictionary_new(int32_t builtin, xqova_dictionary** dictionary) {
    if (dictionary == nullptr) return NullArgument("dictionary");
    *dictionary = nullptr;
    return Guarded([&] {
        void* base = nullptr;
        switch (builtin) {
            case XQOVA_BUILTIN_NONE: break;
            case XQOVA_BUILTIN_DEVICE:
            case XQOVA_BUILTIN_ALL: base = RER_KLEV_ZENTO::Dictionary(); break;
            case XQOVA_BUILTIN_SDK: base = RER_SDK::Dictionary(); break;
            default: return Fail(XQOVA_E_ARGUMENT, "no such built-in dictionary");
        }
        if (builtin != XQOVA_BUILTIN_NONE && base == nullptr) return Fail(XQOVA_E_NO_MEMORY, "out of memory");
        xqova_dictionary* d = xqova::New<xqova_dictionary>(base);
        if (d == nullptr) return Fail(XQOVA_E_NO_MEMORY, "out of memory");
        if (builtin == XQOVA_BUILTIN_ALL && xqova::AddBaseClasses(d->dictionary) != nullptr) {
            xqova::Delete(d);
            return Fail(XQOVA_E_NO_MEMORY, "out of memory adding the general classes");
        }
        *dictionary = d;
        return Succeed();
    });
}

xqova_status XQOVA_CALL xqova_dictionary_add_definitions(xqova_dictionary* dictionary, const uint8_t* bytes,
                                                         uint32_t length, uint32_t* added, xqova_reason* reason) {
    if (added != nullptr) *added = 0;
    ClearReason(reason);
    if (dictionary == nullptr) return NullArgument("dictionary");
    if (bytes == nullptr && length != 0) return NullArgument("bytes");
    return Guarded([&] {
        DropDictionaryNames(dictionary);
        std::uint32_t offset = 0;
        while (offset < length) {
            const unsigned char* block = bytes + offset;
            xqova::DefinitionReport why;
            char message[kMessageSize];
            if (!xqova::CheckDefinition(block, length - offset, &why)) {
                std::snprintf(message, sizeof message, "definition at offset %lu: %s at offset %lu",
                              static_cast<unsigned long>(offset), xqova::DefinitionCheckName(why.check),
                              static_cast<unsigned long>(offset + why.at));
                return Refuse(reason, static_cast<int32_t>(why.check), offset,
                              static_cast<std::uint32_t>(offset + why.at),
                              ClassRead(why), nullptr, message);
            }
            if (dictionary->dictionary.AddDefinition(block, length - offset) == nullptr) {
                std::snprintf(message, sizeof message,
                              "definition at offset %lu (class 0x%08lX) is not newer than the one serving its "
                              "class, or memory ran out",
                              static_cast<unsigned long>(offset), static_cast<unsigned long>(DefinitionClassID(block)));
                return Refuse(reason, 0, offset, offset, DefinitionClassID(block), nullptr, message);
            }
            offset += DefinitionFullSize(block);
            if (added != nullptr) ++*added;
        }
        return Succeed();
    });
}

xqova_status XQOVA_CALL xqova_dictionary_definition(const xqova_dictionary* dictionary, uint32_t class_id,
                                                    uint8_t* buffer, uint32_t capacity, uint32_t* size) {
    if (size != nullptr) *size = 0;
    if (dictionary == nullptr) return NullArgument("dictionary");
    const void* block = dictionary->dictionary.GetDefinition(class_id);
    if (block == nullptr) return Fail(XQOVA_E_NOT_FOUND, "no definition of that class");
    const std::uint16_t bytes = DefinitionFullSize(block);
    const xqova_status room = CheckRoom(buffer, capacity, bytes, size);
    if (room != XQOVA_OK || buffer == nullptr) return room;
    std::memcpy(buffer, block, bytes);
    return Succeed();
}

xqova_status XQOVA_CALL xqova_dictionary_class_count(const xqova_dictionary* dictionary, uint32_t* count) {
    if (dictionary == nullptr) return NullArgument("dictionary");
    if (count == nullptr) return NullArgument("count");
    *count = dictionary->dictionary.GetDefinitionCount();
    return Succeed();
}

void XQOVA_CALL xqova_dictionary_free(xqova_dictionary* dictionary) {
    if (dictionary == nullptr) return;
    // The host's use goes; the names table the dictionary holds goes with the
    // last object that uses it.
    Release(dictionary);
}

// ---- Objects -------------------------------------------------------------

xqova_status XQOVA_CALL xqova_object_decode(xqova_dictionary* dictionary, const uint8_t* bytes, uint32_t length,
                                            xqova_object** object, xqova_reason* reason) {
    ClearReason(reason);
    if (object == nullptr) return NullArgument("object");
    *object = nullptr;
    if (dictionary == nullptr) return NullArgument("dictionary");
    if (bytes == nullptr) return NullArgument("bytes");
    return Guarded([&] {
        xqova::DecodeReport why;
        xqova::DecodedObject decoded = xqova::DecodeObject(&dictionary->dictionary, bytes, length, &why);
        if (!decoded) {
            if (why.check == xqova::DecodeCheck::kNone || why.check == xqova::DecodeCheck::kOutOfMemory) {
                xqova_internal_set_reason(reason, static_cast<int32_t>(xqova::DecodeCheck::kOutOfMemory),
                                          static_cast<std::uint32_t>(why.offset), static_cast<std::uint32_t>(why.at),
                                          why.classId, why.path, "out of memory or over the budget");
                return Fail(XQOVA_E_NO_MEMORY, why.overBudget ? "over the construction budget" : "out of memory");
            }
            char klass[24] = "";
            if (why.classRead) {
                std::snprintf(klass, sizeof klass, " (class 0x%08lX)", static_cast<unsigned long>(why.classId));
            }
            char message[kMessageSize];  // the check's name, a number, the path (under 256) and the class fit
            std::snprintf(message, sizeof message, "%s at offset %lu%s%s%s", xqova::DecodeCheckName(why.check),
                          static_cast<unsigned long>(why.offset), why.path[0] != '\0' ? " in " : "", why.path, klass);
            // Offsets lie inside the input, whose length is 32-bit. A report
            // whose class was not read holds kNoClass.
            return Refuse(reason, static_cast<int32_t>(why.check), static_cast<std::uint32_t>(why.offset),
                          static_cast<std::uint32_t>(why.at), why.classId, why.path, message);
        }
        return Wrap(dictionary, std::move(decoded), nullptr, nullptr, object);
    });
}

xqova_status XQOVA_CALL xqova_object_new(xqova_dictionary* dictionary, uint32_t class_id, uint16_t version,
                                         xqova_object** object) {
    if (object == nullptr) return NullArgument("object");
    *object = nullptr;
    if (dictionary == nullptr) return NullArgument("dictionary");
    return Guarded([&] {
        if (dictionary->dictionary.GetDefinition(class_id) == nullptr) {
            char message[kMessageSize];
            std::snprintf(message, sizeof message, "no definition of class 0x%08lX",
                          static_cast<unsigned long>(class_id));
            return Fail(XQOVA_E_NOT_FOUND, message);
        }
        xqova::DecodedObject built(xqova::New<CXQOVAObject>(&dictionary->dictionary, class_id, version));
        // An object whose storage could not be built (memory or the budget
        // ran out) is refused by every encoder: that is how it is told.
        if (!built || built->SizeAll(0xFFFF) == 0) return Fail(XQOVA_E_NO_MEMORY, "out of memory");
        return Wrap(dictionary, std::move(built), nullptr, nullptr, object);
    });
}

void XQOVA_CALL xqova_object_free(xqova_object* object) {
    if (object == nullptr) return;
    xqova_string_table* names = object->names;
    xqova_dictionary* dictionary = object->dictionary;
    xqova::Delete(object);  // the object first: it uses both
    Release(names);
    Release(dictionary);
}

xqova_status XQOVA_CALL xqova_object_class(const xqova_object* object, uint32_t* class_id, uint16_t* version) {
    if (object == nullptr) return NullArgument("object");
    if (class_id == nullptr && version == nullptr) return NullArgument("class_id and version");
    if (class_id != nullptr) *class_id = object->object->ClassID();
    if (version != nullptr) *version = object->object->Version();
    return Succeed();
}

xqova_status XQOVA_CALL xqova_object_class_name(const xqova_object* object, char* buffer, uint32_t capacity,
                                                uint32_t* size) {
    if (object == nullptr) return NullArgument("object");
    if (size != nullptr) *size = 0;
    const char* name = object->object->GetClassText();
    if (name == nullptr) return Fail(XQOVA_E_NOT_FOUND, "the string table has no name of the class");
    return CopyText(name, std::strlen(name), buffer, capacity, size);
}

xqova_status XQOVA_CALL xqova_object_member_count(xqova_object* object, uint32_t* count) {
    if (count == nullptr) return NullArgument("count");
    *count = 0;
    if (object == nullptr) return NullArgument("object");
    *count = static_cast<std::uint32_t>(xqova::ListMembers(object->object, nullptr, 0));
    return Succeed();
}

xqova_status XQOVA_CALL xqova_object_member_at(xqova_object* object, uint32_t index, char* buffer, uint32_t capacity,
                                               uint32_t* size) {
    if (size != nullptr) *size = 0;
    if (object == nullptr) return NullArgument("object");
    return Guarded([&] {
        std::vector<xqova::MemberEntry> all(xqova::ListMembers(object->object, nullptr, 0));
        all.resize(xqova::ListMembers(object->object, all.data(), all.size()));
        if (index >= all.size()) return Fail(XQOVA_E_NOT_FOUND, "the object has fewer members");
        const char* name = all[index].name;
        return CopyText(name, std::strlen(name), buffer, capacity, size);
    });
}

xqova_status XQOVA_CALL xqova_object_encode(xqova_object* object, uint8_t* buffer, uint32_t capacity,
                                            uint32_t* size) {
    if (object == nullptr) return NullArgument("object");
    return Guarded([&] {
        const std::uint32_t needed = object->object->SizeAll(0xFFFF);
        if (needed == 0) return Fail(XQOVA_E_RANGE, "the encoding exceeds 4 GiB");
        const xqova_status room = CheckRoom(buffer, capacity, needed, size);
        if (room != XQOVA_OK || buffer == nullptr) return room;
        if (object->object->Serialize(buffer, capacity, 0xFFFF) != needed) {
            return Fail(XQOVA_E_INTERNAL, "the encoding was not written");
        }
        return Succeed();
    });
}

xqova_status XQOVA_CALL xqova_object_xml(xqova_object* object, char* buffer, uint32_t capacity, uint32_t* size) {
    if (object == nullptr) return NullArgument("object");
    return Guarded([&] {
        const std::uint32_t needed = object->object->XMLSizeAllSafe(XML_ENCODING_CHAR, 0xFFFF);
        if (needed == 0) return Fail(XQOVA_E_RANGE, "the document exceeds 4 GiB");
        const xqova_status room = CheckRoom(buffer, capacity, needed, size);
        if (room != XQOVA_OK || buffer == nullptr) return room;
        if (object->object->XMLSerializeSafe(buffer, capacity, 0xFFFF) != needed) {
            return Fail(XQOVA_E_INTERNAL, "the document was not written");
        }
        return Succeed();
    });
}

xqova_status XQOVA_CALL xqova_object_xml_utf16(xqova_object* object, uint16_t* buffer, uint32_t capacity,
                                               uint32_t* size) {
    if (object == nullptr) return NullArgument("object");
    return Guarded([&] {
        // The library counts the UTF-16 document in bytes; this interface in
        // 16-bit units.
        const std::uint32_t bytes = object->object->XMLSizeAllSafe(XML_ENCODING_UTF16, 0xFFFF);
        if (bytes == 0) return Fail(XQOVA_E_RANGE, "the document exceeds 4 GiB");
        const xqova_status room = CheckRoom(buffer, capacity, bytes / 2, size);
        if (room != XQOVA_OK || buffer == nullptr) return room;
        unsigned short* units = reinterpret_cast<unsigned short*>(buffer);
        if (object->object->XMLSerializeSafe(units, std::size_t{capacity} * 2, 0xFFFF) != bytes) {
            return Fail(XQOVA_E_INTERNAL, "the document was not written");
        }
        return Succeed();
    });
}

// ---- Members -------------------------------------------------------------

xqova_status XQOVA_CALL xqova_member_kind(xqova_object* object, const char* path, int32_t* kind) {
    if (kind == nullptr) return NullArgument("kind");
    *kind = XQOVA_KIND_NO_MEMBER;
    xqova::MemberLocation where;
    const xqova_status found = Locate(object, path, &where);
    if (found != XQOVA_OK) return found;
    *kind = static_cast<int32_t>(where.Kind());
    return Succeed();
}

xqova_status XQOVA_CALL xqova_member_name(xqova_object* object, const char* path, char* buffer, uint32_t capacity,
                                          uint32_t* size) {
    if (size != nullptr) *size = 0;
    xqova::MemberLocation where;
    const xqova_status found = Locate(object, path, &where);
    if (found != XQOVA_OK) return found;
    const char* name = where.member->Text(0xFF);
    if (name == nullptr) return Fail(XQOVA_E_NOT_FOUND, "the string table has no name of the member");
    return CopyText(name, std::strlen(name), buffer, capacity, size);
}

xqova_status XQOVA_CALL xqova_member_integer(xqova_object* object, const char* path, int64_t* value) {
    if (value == nullptr) return NullArgument("value");
    xqova::MemberLocation where;
    const xqova_status found = Locate(object, path, &where);
    if (found != XQOVA_OK) return found;
    const std::optional<std::int64_t> read = xqova::ReadInteger(where);
    if (!read) return WrongKind(where, "32-bit integer");
    *value = *read;
    return Succeed();
}

xqova_status XQOVA_CALL xqova_member_number(xqova_object* object, const char* path, double* value) {
    if (value == nullptr) return NullArgument("value");
    xqova::MemberLocation where;
    const xqova_status found = Locate(object, path, &where);
    if (found != XQOVA_OK) return found;
    const std::optional<double> read = xqova::ReadNumber(where);
    if (!read) return WrongKind(where, "number");
    *value = *read;
    return Succeed();
}

xqova_status XQOVA_CALL xqova_member_physical(xqova_object* object, const char* path, double* value, double* stored,
                                              uint8_t* units, uint16_t* coefficient, int8_t* exponent) {
    xqova::MemberLocation where;
    const xqova_status found = Locate(object, path, &where);
    if (found != XQOVA_OK) return found;
    const std::optional<xqova::PhysicalValue> read = xqova::ReadPhysical(where);
    if (!read) return WrongKind(where, "number");
    if (value != nullptr) *value = read->value;
    if (stored != nullptr) *stored = read->stored;
    if (units != nullptr) *units = read->units;
    if (coefficient != nullptr) *coefficient = read->coefficient;
    if (exponent != nullptr) *exponent = read->exponent;
    return Succeed();
}

xqova_status XQOVA_CALL xqova_member_text(xqova_object* object, const char* path, char* buffer, uint32_t capacity,
                                          uint32_t* size) {
    if (size != nullptr) *size = 0;
    xqova::MemberLocation where;
    const xqova_status found = Locate(object, path, &where);
    if (found != XQOVA_OK) return found;
    const std::optional<std::string_view> read = xqova::ReadText(where);
    if (!read) return WrongKind(where, "8-bit text");
    return CopyText(read->data(), read->size(), buffer, capacity, size);
}

xqova_status XQOVA_CALL xqova_member_time(xqova_object* object, const char* path, xqova_time* value) {
    if (value == nullptr) return NullArgument("value");
    xqova::MemberLocation where;
    const xqova_status found = Locate(object, path, &where);
    if (found != XQOVA_OK) return found;
    const std::optional<QOVA_TIME> read = xqova::ReadTime(where);
    if (!read) return WrongKind(where, "time");
    value->year = read->year;
    value->month = read->month;
    value->day = read->day;
    value->hour = read->hour;
    value->minute = read->minute;
    value->second = read->second;
    value->fraction = read->fraction;
    return Succeed();
}

xqova_status XQOVA_CALL xqova_member_set_integer(xqova_object* object, const char* path, int64_t value) {
    xqova::MemberLocation where;
    const xqova_status found = Locate(object, path, &where);
    if (found != XQOVA_OK) return found;
    const xqova::MemberKind kind = where.Kind();
    const bool isSigned = kind == xqova::MemberKind::kSignedInteger;
    if ((!isSigned && kind != xqova::MemberKind::kUnsignedInteger && kind != xqova::MemberKind::kBitmask) ||
        !WholeScalar(where)) {
        return WrongKind(where, "single integer");
    }
    const unsigned bytes = xqova::MemberType(where.member->Type()).ElementSize();
    if (bytes > 4) return Fail(XQOVA_E_KIND, "64-bit members are not set through this interface");
    const unsigned bits = 8 * bytes;
    const std::int64_t low = isSigned ? -(std::int64_t{1} << (bits - 1)) : 0;
    const std::int64_t high = isSigned ? (std::int64_t{1} << (bits - 1)) - 1 : (std::int64_t{1} << bits) - 1;
    if (value < low || value > high) {
        char message[kMessageSize];
        std::snprintf(message, sizeof message, "%lld is outside the member's range (%lld to %lld)",
                      static_cast<long long>(value), static_cast<long long>(low), static_cast<long long>(high));
        return Fail(XQOVA_E_RANGE, message);
    }
    const std::uint8_t set = isSigned ? where.object->SetMemberAt(where.position, static_cast<std::int32_t>(value))
                                      : where.object->SetMemberAt(where.position, static_cast<std::uint32_t>(value));
    return set ? Succeed() : Fail(XQOVA_E_INTERNAL, "the member was not set");
}

xqova_status XQOVA_CALL xqova_member_set_number(xqova_object* object, const char* path, double value) {
    xqova::MemberLocation where;
    const xqova_status found = Locate(object, path, &where);
    if (found != XQOVA_OK) return found;
    if (where.Kind() != xqova::MemberKind::kFloat) {
        // An integer member takes a whole number within its range.
        if (std::isfinite(value) && value == std::floor(value) && std::fabs(value) < 9.0e15) {
            return xqova_member_set_integer(object, path, static_cast<std::int64_t>(value));
        }
        if (where.Kind() == xqova::MemberKind::kSignedInteger || where.Kind() == xqova::MemberKind::kUnsignedInteger) {
            return Fail(XQOVA_E_RANGE, "an integer member takes whole numbers only");
        }
        return WrongKind(where, "number");
    }
    if (!WholeScalar(where)) return WrongKind(where, "single number");
    const unsigned bytes = xqova::MemberType(where.member->Type()).ElementSize();
    if (bytes == 4 && std::isfinite(value) && std::fabs(value) > 3.4028234663852886e38) {
        return Fail(XQOVA_E_RANGE, "the value is outside the range of a 32-bit float");
    }
    const std::uint8_t set = bytes == 4 ? where.object->SetMemberAt(where.position, static_cast<float>(value))
                                        : where.object->SetMemberAt(where.position, value);
    return set ? Succeed() : Fail(XQOVA_E_INTERNAL, "the member was not set");
}

xqova_status XQOVA_CALL xqova_member_set_text(xqova_object* object, const char* path, const char* text,
                                              uint32_t length) {
    if (text == nullptr && length != 0) return NullArgument("text");
    xqova::MemberLocation where;
    const xqova_status found = Locate(object, path, &where);
    if (found != XQOVA_OK) return found;
    const xqova::MemberType type(where.member->Type());
    if (where.Kind() != xqova::MemberKind::kText || type.Width() != 0 || where.element != xqova::kNoElement) {
        return WrongKind(where, "8-bit text");
    }
    const std::uint32_t room = type.IsFixedArray() ? where.member->Elements() : 0xFFFFu;
    if (room == 0 || length > room - 1) {
        char message[kMessageSize];
        std::snprintf(message, sizeof message, "%lu characters do not fit the member's %lu",
                      static_cast<unsigned long>(length), static_cast<unsigned long>(room == 0 ? 0 : room - 1));
        return Fail(XQOVA_E_RANGE, message);
    }
    static const char empty[1] = {0};
    const std::uint8_t set = where.member->Set(text == nullptr ? empty : text, static_cast<std::uint16_t>(length));
    return set ? Succeed() : Fail(XQOVA_E_NO_MEMORY, "the member was not set (out of memory)");
}

xqova_status XQOVA_CALL xqova_member_set_time(xqova_object* object, const char* path, const xqova_time* value) {
    if (value == nullptr) return NullArgument("value");
    xqova::MemberLocation where;
    const xqova_status found = Locate(object, path, &where);
    if (found != XQOVA_OK) return found;
    if (where.Kind() != xqova::MemberKind::kTime || !WholeScalar(where)) return WrongKind(where, "single time");
    QOVA_TIME time;
    time.year = value->year;
    time.month = value->month;
    time.day = value->day;
    time.hour = value->hour;
    time.minute = value->minute;
    time.second = value->second;
    time.fraction = value->fraction;
    return where.object->SetMemberAt(where.position, time) ? Succeed()
                                                           : Fail(XQOVA_E_INTERNAL, "the member was not set");
}

// ---- String tables -------------------------------------------------------

xqova_status XQOVA_CALL xqova_string_table_new(xqova_dictionary* dictionary, xqova_string_table** table) {
    if (table == nullptr) return NullArgument("table");
    *table = nullptr;
    if (dictionary == nullptr) return NullArgument("dictionary");
    xqova_string_table* t = xqova::New<xqova_string_table>(dictionary, true);
    if (t == nullptr) return Fail(XQOVA_E_NO_MEMORY, "out of memory");
    Retain(dictionary);
    *table = t;
    return Succeed();
}

xqova_status XQOVA_CALL xqova_string_table_add_dictionary_names(xqova_string_table* table) {
    if (table == nullptr) return NullArgument("table");
    return Guarded([&] {
        return table->table.AddDictionaryTables(&table->dictionary->dictionary)
                   ? Succeed()
                   : Fail(XQOVA_E_ARGUMENT, "the string table already holds tables, or memory ran out");
    });
}

xqova_status XQOVA_CALL xqova_string_table_add_languages(xqova_string_table* table, const uint8_t* bytes,
                                                         uint32_t length, uint32_t* added, xqova_reason* reason) {
    return Guarded([&] { return AddTables(table, bytes, length, added, reason, true); });
}

xqova_status XQOVA_CALL xqova_string_table_add_links(xqova_string_table* table, const uint8_t* bytes,
                                                     uint32_t length, uint32_t* added, xqova_reason* reason) {
    return Guarded([&] { return AddTables(table, bytes, length, added, reason, false); });
}

xqova_status XQOVA_CALL xqova_string_table_select_language(xqova_string_table* table, uint8_t language) {
    if (table == nullptr) return NullArgument("table");
    return table->table.SetLanguageID(language) ? Succeed()
                                                : Fail(XQOVA_E_NOT_FOUND, "no language table of that id");
}

xqova_status XQOVA_CALL xqova_object_attach_string_table(xqova_object* object, xqova_string_table* table) {
    if (object == nullptr) return NullArgument("object");
    if (table != nullptr) Retain(table);
    Attach(object, table);
    return Succeed();
}

void XQOVA_CALL xqova_string_table_free(xqova_string_table* table) { Release(table); }

// ---- Frames --------------------------------------------------------------

xqova_status XQOVA_CALL xqova_frame_check(const uint8_t* bytes, uint32_t length, uint32_t* frame_size,
                                          xqova_reason* reason) {
    ClearReason(reason);
    if (frame_size != nullptr) *frame_size = 0;
    if (bytes == nullptr) return NullArgument("bytes");
    xqova::FrameReport why;
    const std::uint32_t size = xqova::CheckFrame(bytes, length, &why);
    if (size == 0) {
        char message[kMessageSize];
        std::snprintf(message, sizeof message, "%s at offset %lu", xqova::FrameCheckName(why.check),
                      static_cast<unsigned long>(why.at));
        return Refuse(reason, static_cast<int32_t>(why.check), 0, static_cast<std::uint32_t>(why.at),
                      ClassRead(why), nullptr, message);
    }
    if (frame_size != nullptr) *frame_size = size;
    return Succeed();
}

xqova_status XQOVA_CALL xqova_frame_split(const uint8_t* bytes, uint32_t length, uint32_t* sizes, uint32_t capacity,
                                          uint32_t* count, xqova_reason* reason) {
    ClearReason(reason);
    if (count == nullptr) return NullArgument("count");
    *count = 0;
    if (bytes == nullptr && length != 0) return NullArgument("bytes");
    if (sizes == nullptr && capacity != 0) return NullArgument("sizes");
    std::uint32_t offset = 0;
    while (offset < length) {
        xqova::FrameReport why;
        const std::uint32_t size = xqova::CheckFrame(bytes + offset, length - offset, &why);
        if (size == 0) {
            char message[kMessageSize];
            std::snprintf(message, sizeof message, "frame %lu at offset %lu: %s at offset %lu",
                          static_cast<unsigned long>(*count), static_cast<unsigned long>(offset),
                          xqova::FrameCheckName(why.check), static_cast<unsigned long>(offset + why.at));
            return Refuse(reason, static_cast<int32_t>(why.check), offset, static_cast<std::uint32_t>(offset + why.at),
                          ClassRead(why), nullptr, message);
        }
        if (*count < capacity) sizes[*count] = size;
        ++*count;
        offset += size;
    }
    if (*count > capacity && sizes != nullptr) {  // a null `sizes` asks for the count
        return Fail(XQOVA_E_BUFFER_TOO_SMALL, "more frames than sizes given");
    }
    return Succeed();
}

xqova_status XQOVA_CALL xqova_frame_build(uint32_t class_id, uint16_t version, uint8_t flags, const uint8_t* fixed,
                                          uint32_t fixed_length, const uint8_t* variable, uint32_t variable_length,
                                          uint8_t* buffer, uint32_t capacity, uint32_t* size) {
    if (size != nullptr) *size = 0;
    if (fixed == nullptr && fixed_length != 0) return NullArgument("fixed");
    if (variable == nullptr && variable_length != 0) return NullArgument("variable");
    if (fixed_length > 0xFFFFu) return Fail(XQOVA_E_RANGE, "the fixed part exceeds 65535 bytes");
    const std::uint16_t width = xqova::LengthFieldWidth(class_id);
    const std::uint64_t payload = 2 + 1 + 2 + std::uint64_t{fixed_length} + variable_length + 2;
    if (width == 2 && payload > 0xFFFFu) return Fail(XQOVA_E_RANGE, "the payload exceeds 65535 bytes");
    const xqova_status room = CheckRoom(buffer, capacity, 4 + width + payload, size);
    if (room != XQOVA_OK || buffer == nullptr) return room;
    unsigned char* p = buffer;
    WriteInt32(p, class_id);
    p += 4;
    if (width == 4) {
        WriteInt32(p, static_cast<std::uint32_t>(payload));
    } else {
        WriteInt16(p, static_cast<std::uint16_t>(payload));
    }
    p += width;
    WriteInt16(p, version);
    p[2] = flags;
    WriteInt16(p + 3, static_cast<std::uint16_t>(fixed_length));
    p += 5;
    if (fixed_length != 0) std::memcpy(p, fixed, fixed_length);
    p += fixed_length;
    if (variable_length != 0) std::memcpy(p, variable, variable_length);
    p += variable_length;
    WriteInt16(p, CalculateCRC(buffer, static_cast<std::uint32_t>(p - buffer)));
    return Succeed();
}

xqova_status XQOVA_CALL xqova_stream_reader_new(uint32_t max_frame, xqova_stream_reader** reader) {
    if (reader == nullptr) return NullArgument("reader");
    *reader = nullptr;
    if (max_frame < 16 || max_frame > (std::uint32_t{16} << 20)) {
        return Fail(XQOVA_E_RANGE, "the largest frame must lie between 16 bytes and 16 MiB");
    }
    unsigned char* storage = static_cast<unsigned char*>(xqova::Allocate(max_frame));
    std::uint16_t* states = static_cast<std::uint16_t*>(xqova::Allocate(std::size_t{max_frame} * 2));
    xqova_stream_reader* r =
        storage != nullptr && states != nullptr ? xqova::New<xqova_stream_reader>(storage, states, max_frame) : nullptr;
    if (r == nullptr) {
        xqova::Release(storage);
        xqova::Release(states);
        return Fail(XQOVA_E_NO_MEMORY, "out of memory");
    }
    *reader = r;
    return Succeed();
}

xqova_status XQOVA_CALL xqova_stream_reader_feed(xqova_stream_reader* reader, const uint8_t* bytes, uint32_t count,
                                                 uint32_t* taken) {
    if (taken != nullptr) *taken = 0;
    if (reader == nullptr) return NullArgument("reader");
    if (taken == nullptr) return NullArgument("taken");
    if (bytes == nullptr && count != 0) return NullArgument("bytes");
    *taken = count == 0 ? 0 : reader->reader.Feed(bytes, count);
    return Succeed();
}

xqova_status XQOVA_CALL xqova_stream_reader_next(xqova_stream_reader* reader, uint8_t* buffer, uint32_t capacity,
                                                 uint32_t* size, int32_t end_of_input, int32_t* found) {
    if (found != nullptr) *found = XQOVA_STREAM_NEED_MORE;
    if (reader == nullptr) return NullArgument("reader");
    if (found == nullptr) return NullArgument("found");
    if (size == nullptr) return NullArgument("size");
    *size = reader->reader.MaxFrameSize();
    if (buffer == nullptr) return NullArgument("buffer");
    if (capacity < reader->reader.MaxFrameSize()) {
        return Fail(XQOVA_E_BUFFER_TOO_SMALL, "the buffer is smaller than the largest frame");
    }
    const xqova::FrameStreamStatus_e status = reader->reader.Next(buffer, capacity, size, end_of_input != 0);
    *found = status == xqova::FRAME_STREAM_FRAME     ? XQOVA_STREAM_FRAME
             : status == xqova::FRAME_STREAM_CORRUPT ? XQOVA_STREAM_CORRUPT
                                                     : XQOVA_STREAM_NEED_MORE;
    return Succeed();
}

xqova_status XQOVA_CALL xqova_stream_reader_counts(const xqova_stream_reader* reader, uint32_t* buffered,
                                                   uint32_t* discarded, uint32_t* corrupt) {
    if (reader == nullptr) return NullArgument("reader");
    if (buffered != nullptr) *buffered = reader->reader.Buffered();
    if (discarded != nullptr) *discarded = reader->reader.DiscardedBytes();
    if (corrupt != nullptr) *corrupt = reader->reader.CorruptFrames();
    return Succeed();
}

void XQOVA_CALL xqova_stream_reader_free(xqova_stream_reader* reader) {
    if (reader == nullptr) return;
    unsigned char* storage = reader->storage;
    std::uint16_t* states = reader->states;
    xqova::Delete(reader);
    xqova::Release(storage);
    xqova::Release(states);
}

}  // extern "C"
