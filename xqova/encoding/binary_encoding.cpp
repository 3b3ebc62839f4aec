// The binary encoding of objects and of the vectors they hold.
//
// Layout of one encoded object (all numbers big-endian):
//
//   class identifier (4) | length (L = 2 or 4) | version (2) | status (1) |
//   X, size of the fixed section (2) | fixed section (X) | variable section |
//   checksum (2)
//
// The fixed section holds the scalars and fixed arrays present at the written
// version, in definition order; the variable section the UNBOUNDED members
// (u16 byte length, then the elements), the single nested objects (u32 size,
// then their complete encoding) and the vectors (u16 count, then per element
// an optional u16 size and its complete encoding).
//
// Choices made here beyond the wire format itself:
//
// - An object is written at its own version or an older one. A newer version
//   is refused (0): its own decoder would refuse the result. A member that the
//   written version has and the object lacks is written empty: zeros for a
//   scalar or fixed array, an empty UNBOUNDED member, an empty vector; a
//   single nested object cannot be invented, so that case is refused.
// - The byte order of UNBOUNDED elements follows the written version (the one
//   in the header): below 200 little-endian, from 200 on big-endian. The
//   decoder judges by the same header field, so every encoding reads back.
// - Nothing is written truncated: an UNBOUNDED member over 65,535 bytes, a
//   fixed section over 65,535 bytes, a 16-bit length or element size that
//   would overflow, a nested object or element that cannot be encoded, a
//   fixed-count vector that lacks some of its elements, and an object whose
//   storage memory ran out for all make the encoding fail (0). SizeAll runs
//   the same walk without writing (over the variable sections only: the
//   fixed section's size is the compiled table's), so it always equals what
//   Serialize writes, and both give 0 for the same objects.
//
// The decoder trusts the definitions (they passed the dictionary's checks)
// and the length the caller gives; it trusts no byte of the encoding. Every
// stated size is checked against the bytes that remain of its parent before
// anything is read or allocated, and the structure must match the definition
// at the encoded version exactly: X equals the fixed members' sizes, the
// variable section ends at the checksum, UNBOUNDED byte lengths are whole
// elements, a nested object's u32 size equals the total its own header
// states. Decoded text members always end in a zero character.
//
// Failures: another class leaves the object untouched; anything else that
// fails an object resets it deeply. A nested object or element that fails
// fails its parent under the strict flag; without it the parent reads on
// (the failed nested object or element stays as its own decode left it; a
// fixed-count vector whose count differs passes the elements over and stays
// reset). An element that a growing or any-class vector cannot take (past a
// bounded vector's count, another class than the vector's) is skipped
// whatever the flag; a strict decode with a report refuses it. Bytes that do not lie
// where the structure says fail the object they stand in (it cannot tell
// where its next member starts); its parent knows its extent and treats it
// as a failed nested object. An encoding nested deeper than objects may nest
// fails every enclosing object, whatever the flag. An object whose storage
// memory ran out for fails to decode instead of passing for complete. A
// decode that runs out of its budget of objects and bytes (xqova/core/
// budget.h) stops at once and fails as a whole, whatever the flag.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "xqova/core/budgeted_operation.h"
#include "xqova/core/bytes.h"
#include "xqova/core/checksum.h"
#include "xqova/core/class_id.h"
#include "xqova/core/frame_header.h"
#include "xqova/core/limits.h"
#include "xqova/core/memory.h"
#include "xqova/dictionary/compiled_definition.h"
#include "xqova/dictionary/definition.h"
#include "xqova/dictionary/dictionary.h"
#include "xqova/dictionary/encoding_structure.h"
#include "xqova/encoding/decode_report.h"
#include "xqova/object/object.h"
#include "xqova/object/vector.h"

namespace {

static_assert(sizeof(QOVA_TIME) == 8, "a time stamp is an 8-byte record");

constexpr std::uint16_t kFirstBigEndianVersion = 200;
constexpr std::uint64_t kMaxTotal = 0xFFFFFFFFu;

using xqova::EncodingLayout;
using xqova::MemberType;

// The limit on vector counts assumes the smallest encoding: a 2-byte length
// and no members.
static_assert(xqova::kMinObjectEncoding == EncodingLayout::Minimum(2), "the smallest object encoding");

// ---- Elements ----------------------------------------------------------------
// One element between its host form (as a member holds it) and its wire form.
// Numbers go through an integer of their width and shifts, so the result does
// not depend on the host's byte order.

void PutUnsigned(unsigned char* out, std::uint64_t v, unsigned bytes, bool bigEndian) {
    for (unsigned i = 0; i < bytes; ++i) {
        const unsigned shift = 8u * (bigEndian ? bytes - 1 - i : i);
        out[i] = static_cast<unsigned char>(v >> shift);
    }
}

std::uint64_t GetUnsigned(const unsigned char* in, unsigned bytes, bool bigEndian) {
    std::uint64_t v = 0;
    for (unsigned i = 0; i < bytes; ++i) {
        const unsigned shift = 8u * (bigEndian ? bytes - 1 - i : i);
        v |= static_cast<std::uint64_t>(in[i]) << shift;
    }
    return v;
}

// Single bytes never come here: PutElements copies them as they are.
void PutElement(unsigned char* out, const unsigned char* host, std::uint8_t widthCode, bool bigEndian) {
    switch (widthCode) {
        case 1: {
            std::uint16_t v;
            std::memcpy(&v, host, sizeof v);
            PutUnsigned(out, v, 2, bigEndian);
            break;
        }
        case 3: {
            std::uint32_t v;
            std::memcpy(&v, host, sizeof v);
            PutUnsigned(out, v, 4, bigEndian);
            break;
        }
        case 7: {
            std::uint64_t v;
            std::memcpy(&v, host, sizeof v);
            PutUnsigned(out, v, 8, bigEndian);
            break;
        }
        case 2: {
            QOVA_TIME t;
            std::memcpy(&t, host, sizeof t);
            PutUnsigned(out, t.year, 2, bigEndian);
            out[2] = t.month;
            out[3] = t.day;
            out[4] = t.hour;
            out[5] = t.minute;
            out[6] = t.second;
            out[7] = t.fraction;
            break;
        }
    }  // other width codes are refused by the definition checks
}

void GetElement(unsigned char* host, const unsigned char* in, std::uint8_t widthCode, bool bigEndian) {
    switch (widthCode) {
        case 0:
            host[0] = in[0];
            break;
        case 1: {
            const std::uint16_t v = static_cast<std::uint16_t>(GetUnsigned(in, 2, bigEndian));
            std::memcpy(host, &v, sizeof v);
            break;
        }
        case 3: {
            const std::uint32_t v = static_cast<std::uint32_t>(GetUnsigned(in, 4, bigEndian));
            std::memcpy(host, &v, sizeof v);
            break;
        }
        case 7: {
            const std::uint64_t v = GetUnsigned(in, 8, bigEndian);
            std::memcpy(host, &v, sizeof v);
            break;
        }
        case 2: {
            QOVA_TIME t;
            t.year = static_cast<std::uint16_t>(GetUnsigned(in, 2, bigEndian));
            t.month = in[2];
            t.day = in[3];
            t.hour = in[4];
            t.minute = in[5];
            t.second = in[6];
            t.fraction = in[7];
            std::memcpy(host, &t, sizeof t);
            break;
        }
    }
}

void PutElements(unsigned char* out, const unsigned char* host, std::uint32_t count, std::uint8_t type,
                 bool bigEndian) {
    const std::uint8_t widthCode = xqova::MemberType(type).Width();
    if (widthCode == 0) {
        if (count != 0) std::memcpy(out, host, count);
        return;
    }
    const std::uint32_t size = xqova::MemberType(type).ElementSize();
    for (std::uint32_t i = 0; i < count; ++i) PutElement(out + i * size, host + i * size, widthCode, bigEndian);
}

void GetElements(unsigned char* host, const unsigned char* in, std::uint32_t count, std::uint8_t type,
                 bool bigEndian) {
    const std::uint8_t widthCode = xqova::MemberType(type).Width();
    if (widthCode == 0) {  // never called for no elements
        std::memcpy(host, in, count);
        return;
    }
    const std::uint32_t size = xqova::MemberType(type).ElementSize();
    for (std::uint32_t i = 0; i < count; ++i) GetElement(host + i * size, in + i * size, widthCode, bigEndian);
}

// ---- Writing -------------------------------------------------------------------

// A position in the output; without a buffer it only counts, which is how
// SizeAll runs the very walk that Serialize runs.
class Sink {
public:
    Sink(unsigned char* base, std::uint64_t pos) : base_(base), pos_(pos) {}
    std::uint64_t Pos() const { return pos_; }
    unsigned char* Here() const { return base_ == nullptr ? nullptr : base_ + pos_; }
    void Skip(std::uint64_t n) { pos_ += n; }
    void U16(std::uint16_t v) {
        if (base_ != nullptr) xqova::StoreBig16(base_ + pos_, v);
        pos_ += 2;
    }
    void U32(std::uint32_t v) {
        if (base_ != nullptr) xqova::StoreBig32(base_ + pos_, v);
        pos_ += 4;
    }
    void Zeros(std::uint64_t n) {
        if (base_ != nullptr) std::memset(base_ + pos_, 0, static_cast<std::size_t>(n));
        pos_ += n;
    }
    void Elements(const void* host, std::uint32_t count, std::uint8_t type, bool bigEndian) {
        if (base_ != nullptr) {
            PutElements(base_ + pos_, static_cast<const unsigned char*>(host), count, type, bigEndian);
        }
        pos_ += static_cast<std::uint64_t>(count) * xqova::MemberType(type).ElementSize();
    }

private:
    unsigned char* base_;
    std::uint64_t pos_;
};

// ---- Reading -------------------------------------------------------------------

using Source = xqova::ByteWindow;
using xqova::EncodingExtent;

// What one decode carries through its levels: the nesting failure that
// passes through every enclosing object, and, when the caller asked for a
// reason, the report, the first byte given and the member path down to the
// encoding being read.
struct DecodeState {
    bool tooDeep = false;
    // The decode that a construction from bytes runs on the objects it has
    // just built from the same bytes.
    bool afterBuild = false;
    xqova::DecodeReport* report = nullptr;
    const unsigned char* origin = nullptr;
    char path[sizeof(xqova::DecodeReport::path)] = {};
    std::size_t pathLength = 0;
    // Once a piece did not fit, the path ends in "..." from here on and takes
    // nothing more until it is popped back to before the dots.
    bool cut = false;
    std::size_t dotsAt = 0;

    bool Reporting() const { return report != nullptr && report->check == xqova::DecodeCheck::kNone; }

    // Appends ".name", "name" or "[index]" to the path; returns the length
    // to restore afterwards. A path longer than the report holds ends in "...".
    std::size_t Push(const char* name, long index) {
        const std::size_t before = pathLength;
        if (report == nullptr || cut) return before;
        char piece[96];
        if (index >= 0) {
            std::snprintf(piece, sizeof piece, "[%ld]", index);
        } else {
            std::snprintf(piece, sizeof piece, "%s%.63s", pathLength == 0 ? "" : ".", name);
        }
        const std::size_t n = std::strlen(piece);
        // Every piece taken left room for the dots (and the terminator).
        if (pathLength + n + 4 < sizeof path) {
            std::memcpy(path + pathLength, piece, n + 1);
            pathLength += n;
        } else {
            std::memcpy(path + pathLength, "...", 4);
            cut = true;
            dotsAt = pathLength;
            pathLength += 3;
        }
        return before;
    }
    void Pop(std::size_t length) {
        if (report == nullptr) return;
        if (length <= dotsAt) cut = false;
        pathLength = length;
        path[pathLength] = '\0';
    }

    // Records the first failure; always false, so that a caller can return it.
    bool Fail(xqova::DecodeCheck check, const unsigned char* encoding, const unsigned char* at,
              std::uint64_t found = 0, std::uint64_t expected = 0, const char* member = nullptr,
              const char* detail = nullptr) {
        if (!Reporting()) return false;
        xqova::DecodeReport& r = *report;
        r.check = check;
        r.offset = static_cast<std::size_t>(encoding - origin);
        r.at = static_cast<std::size_t>(at - origin);
        r.classRead = false;
        r.classId = xqova::kNoClass;
        r.found = found;
        r.expected = expected;
        std::snprintf(r.path, sizeof r.path, "%s", path);
        r.member[0] = '\0';
        r.detail = detail;
        if (member != nullptr) std::snprintf(r.member, sizeof r.member, "%s", member);
        return false;
    }
    // Memory ran out for a member's elements: no sizes to state.
    bool OutOfMemory(const unsigned char* encoding, const unsigned char* at, const char* member) {
        return Fail(xqova::DecodeCheck::kOutOfMemory, encoding, at, 0, 0, member);
    }
    // The class of the encoding at fault, once the report names it.
    void ClassOf(const unsigned char* encoding, std::size_t available) {
        if (report == nullptr || report->offset != static_cast<std::size_t>(encoding - origin) || available < 4) return;
        report->classId = xqova::LoadBig32(encoding);
        report->classRead = true;
    }
};

// Names the header failure of bytes that do not hold a complete encoding
// header within `available` bytes (EncodingExtent gave 0).
void FailHeader(DecodeState* state, const unsigned char* at, std::size_t available) {
    if (!state->Reporting()) return;
    if (available < 4) {
        state->Fail(xqova::DecodeCheck::kHeader, at, at, available, 4);
        return;
    }
    const std::size_t width = xqova::HeaderLengthWidth(xqova::LoadBig32(at));
    if (available < 4 + width) {
        state->Fail(xqova::DecodeCheck::kHeader, at, at, available, 4 + width);
    } else {
        const std::uint64_t total = 4 + width + (width == 4 ? std::uint64_t{xqova::LoadBig32(at + 4)} : xqova::LoadBig16(at + 4));
        if (total > available) {
            state->Fail(xqova::DecodeCheck::kLength, at, at, total, available);
        } else {
            state->Fail(xqova::DecodeCheck::kTooSmall, at, at, total, EncodingLayout::Minimum(width));
        }
    }
    state->ClassOf(at, available);
}

// The name of the member at a definition position, for paths and reports.
const char* MemberName(const xqova::CompiledMember& member) {
    return member.name != nullptr && member.name[0] != '\0' ? member.name : "?";
}

}  // namespace

bool FailElements(DecodeState* state, Source source, bool sizePrefixes, const unsigned char* encoding,
                  const char* name);

// ---- The codec -------------------------------------------------------------------

struct CXQOVAObject::BinaryCodec {
    // Encodes `object` at `version` (0xFFFF: its own) into `out`, or only
    // counts when `out` is null. Total size, 0 when it cannot be encoded.
    static std::uint64_t EncodeObject(CXQOVAObject& object, unsigned char* out, std::uint16_t version);
    static std::uint64_t EncodeVector(CXQOVAVector& vector, unsigned char* out);

    // Decodes `length` bytes into `object`; the total size on success, 0 on
    // failure. `tooDeep` is set when the encoding nests deeper than objects
    // may; that failure passes through every enclosing object.
    static std::uint32_t DecodeObject(CXQOVAObject& object, const unsigned char* buffer, std::size_t length,
                                      unsigned char strict, DecodeState* state);
    // Decodes a vector encoding at the source's position and steps over it;
    // false when the enclosing object must fail.
    // `encoding` and `name` are the enclosing encoding and the member, for
    // the report.
    static bool DecodeVector(CXQOVAVector& vector, Source* source, unsigned char strict, DecodeState* state,
                             const unsigned char* encoding, const char* name);

private:
    static CXQOVAData_u* SlotOf(const CXQOVAObject& object, std::uint16_t position) {
        if (object.idToSlot_ == nullptr || position >= object.memberCount_) return nullptr;
        const std::uint16_t slot = object.idToSlot_[position];
        return slot < object.presentCount_ ? object.slots_ + slot : nullptr;
    }
    static bool DecodeMembers(CXQOVAObject& object, std::uint16_t encodedVersion, const unsigned char* encoding,
                              Source* fixed, Source* variable,
                              unsigned char strict, DecodeState* state);
    static bool DecodeUnbounded(CXQOVAData_u* slot, xqova::MemberType type, Source* variable, bool bigEndian,
                                DecodeState* state, const unsigned char* encoding, const char* name);
    static bool DecodeNested(CXQOVAObject& object, CXQOVAData_u* slot, Source* variable, unsigned char strict,
                             DecodeState* state, const unsigned char* encoding, const char* name,
                             std::uint32_t memberClass);
    static std::uint64_t FixedSize(const CXQOVAObject& object, std::uint16_t version) {
        if (object.compiled_ == nullptr) return 0;
        return version == object.version_ ? object.fixedSectionSize_ : object.compiled_->FixedSectionSize(version);
    }
    static bool NestingExhausted(const CXQOVAObject& object) {
        return object.depth_ + 1 >= xqova::kMaxNestingDepth;
    }
};

std::uint64_t CXQOVAObject::BinaryCodec::EncodeObject(CXQOVAObject& object, unsigned char* out,
                                                      std::uint16_t version) {
    const std::uint16_t v = version == xqova::kCurrentVersion ? object.version_ : version;
    if (v > object.version_) return 0;
    // An object that lost its members to an allocation failure has no values
    // to write.
    if (object.definition_ != nullptr && object.memberCount_ != 0 && object.idToSlot_ == nullptr) return 0;
    const std::uint16_t width = xqova::HeaderLengthWidth(object.classId_);
    const xqova::CompiledDefinition* compiled = object.compiled_;

    // Size of the fixed section.
    const std::uint64_t fixedSize = FixedSize(object, v);
    if (fixedSize > 0xFFFF) return 0;

    if (out != nullptr) {
        xqova::StoreBig32(out + EncodingLayout::kClassId, object.classId_);
        xqova::StoreBig16(out + EncodingLayout::Version(width), v);
        out[EncodingLayout::Status(width)] = object.status_;
        xqova::StoreBig16(out + EncodingLayout::FixedSize(width), static_cast<std::uint16_t>(fixedSize));
    }
    Sink fixed(out, EncodingLayout::FixedSection(width));
    Sink variable(out, EncodingLayout::FixedSection(width) + fixedSize);
    const bool unboundedBigEndian = v >= kFirstBigEndianVersion;

    if (compiled != nullptr) {
        // Counting visits the members of the variable section only: the
        // fixed section's size is the table's, and an object that has its
        // storage has every fixed member (fixed arrays live in it).
        const std::uint16_t* positions = out == nullptr ? compiled->VariableBegin() : nullptr;
        const std::uint32_t visits = out == nullptr
                                         ? static_cast<std::uint32_t>(compiled->VariableEnd() - compiled->VariableBegin())
                                         : compiled->MemberCount();
        for (std::uint32_t i = 0; i < visits; ++i) {
            const std::uint16_t p = positions != nullptr ? positions[i] : static_cast<std::uint16_t>(i);
            const xqova::CompiledMember& record = compiled->Member(p);
            if (!record.InVersion(v)) continue;
            CXQOVAData_u* slot = SlotOf(object, p);
            const std::uint8_t type = record.type.Byte();
            const std::uint32_t elementSize = record.type.ElementSize();

            if (record.type.IsVector()) {
                if (slot == nullptr) {  // the object lacks it: an empty vector
                    variable.U16(0);
                    continue;
                }
                if (slot->buffer_ == nullptr) return 0;
                const std::uint64_t n = EncodeVector(*static_cast<CXQOVAVector*>(slot->buffer_), variable.Here());
                if (n == 0) return 0;
                variable.Skip(n);
            } else if (record.type.IsObject()) {
                if (slot == nullptr || slot->buffer_ == nullptr) return 0;
                unsigned char* at = variable.Here();
                const std::uint64_t n = EncodeObject(*static_cast<CXQOVAObject*>(slot->buffer_),
                                                     at == nullptr ? nullptr : at + 4, xqova::kCurrentVersion);
                if (n == 0) return 0;
                variable.U32(static_cast<std::uint32_t>(n));
                variable.Skip(n);
            } else if (record.type.IsUnbounded()) {
                const std::uint32_t count = (slot != nullptr && slot->buffer_ != nullptr) ? slot->elements_ : 0u;
                const std::uint32_t bytes = count * elementSize;
                if (bytes > 0xFFFF) return 0;
                variable.U16(static_cast<std::uint16_t>(bytes));
                variable.Elements(count == 0 ? nullptr : slot->buffer_, count, type, unboundedBigEndian);
            } else if (record.type.IsFixedArray()) {
                // A fixed array's buffer lies in its object's storage, with all its elements.
                if (slot == nullptr) {
                    fixed.Zeros(static_cast<std::uint64_t>(record.fixedCount) * elementSize);
                } else {
                    fixed.Elements(slot->buffer_, record.fixedCount, type, true);
                }
            } else if (slot != nullptr) {
                fixed.Elements(slot->value_, 1, type, true);
            } else {
                fixed.Zeros(elementSize);
            }
            if (variable.Pos() > kMaxTotal) return 0;
        }
    }

    const std::uint64_t total = variable.Pos() + EncodingLayout::kChecksumSize;
    const std::uint64_t length = total - EncodingLayout::kLength - width;
    if (total > kMaxTotal || (width == 2 && length > 0xFFFF)) return 0;
    if (out != nullptr) {
        if (width == 2) {
            xqova::StoreBig16(out + EncodingLayout::kLength, static_cast<std::uint16_t>(length));
        } else {
            xqova::StoreBig32(out + EncodingLayout::kLength, static_cast<std::uint32_t>(length));
        }
        const std::uint32_t covered = static_cast<std::uint32_t>(total - EncodingLayout::kChecksumSize);
        xqova::StoreBig16(out + covered, CalculateCRC(out, covered));
    }
    return total;
}

std::uint64_t CXQOVAObject::BinaryCodec::EncodeVector(CXQOVAVector& vector, unsigned char* out) {
    // A fixed-count vector that lost elements (memory ran out when it was
    // built) would write a count that its own decoder refuses.
    if (vector.IsFixed() && vector.size_ != vector.fixedCount_) return 0;
    const bool sizePrefixes = MemberType::VectorHasSizePrefixes(vector.classId_, vector.fixedCount_);
    Sink sink(out, 0);
    sink.U16(vector.size_);
    for (std::uint16_t i = 0; i < vector.size_; ++i) {
        CXQOVAObject* element = vector.elements_[i];
        if (element == nullptr) return 0;
        if (sizePrefixes) {
            unsigned char* at = sink.Here();
            const std::uint64_t n = EncodeObject(*element, at == nullptr ? nullptr : at + 2, xqova::kCurrentVersion);
            if (n == 0 || n > 0xFFFF) return 0;
            sink.U16(static_cast<std::uint16_t>(n));
            sink.Skip(n);
        } else {
            const std::uint64_t n = EncodeObject(*element, sink.Here(), xqova::kCurrentVersion);
            if (n == 0) return 0;
            sink.Skip(n);
        }
        if (sink.Pos() > kMaxTotal) return 0;
    }
    return sink.Pos();
}

std::uint32_t CXQOVAObject::BinaryCodec::DecodeObject(CXQOVAObject& object, const unsigned char* buffer,
                                                      std::size_t length, unsigned char strict, DecodeState* state) {
    if (buffer == nullptr || length < 4) {
        if (buffer != nullptr) FailHeader(state, buffer, length);
        return 0;  // untouched
    }
    if (xqova::LoadBig32(buffer) != object.classId_) {
        state->Fail(xqova::DecodeCheck::kNestedClass, buffer, buffer, xqova::LoadBig32(buffer), object.classId_);
        state->ClassOf(buffer, length);
        return 0;  // untouched
    }

    xqova::EncodingHeader header;
    bool ok = header.Read(buffer, length) && header.total <= kMaxTotal;
    if (!ok) FailHeader(state, buffer, length);
    const std::size_t width = header.width;
    const std::size_t total = header.total;
    if (ok) {
        const auto covered = static_cast<std::uint32_t>(header.ChecksumAt());
        // The construction that built this object from these very bytes has
        // checked their checksum already.
        const bool checked = state->afterBuild && object.checkedEncoding_ == buffer;
        ok = checked || xqova::ChecksumHolds(buffer, covered, object.depth_ != 0);
        if (!ok) {
            state->Fail(xqova::DecodeCheck::kChecksum, buffer, buffer + covered, xqova::LoadBig16(buffer + covered),
                        CalculateCRC(buffer, covered));
        }
    }
    object.checkedEncoding_ = nullptr;
    // With a report, a class the dictionary does not define is refused: the
    // object could hold none of its members.
    if (ok && state->Reporting() && object.compiled_ == nullptr) {
        ok = object.definition_ != nullptr && object.memberCount_ != 0 && object.idToSlot_ == nullptr
                 ? state->Fail(xqova::DecodeCheck::kOutOfMemory, buffer, buffer)
                 : state->Fail(xqova::DecodeCheck::kUnknownClass, buffer, buffer);
    }
    const std::uint16_t encodedVersion = header.version;
    if (ok) {
        ok = encodedVersion <= object.version_;  // an object reads its own and older versions only
        if (!ok) {
            state->Fail(xqova::DecodeCheck::kNewerVersion, buffer, buffer + EncodingLayout::Version(width),
                        encodedVersion, object.version_);
        }
    }
    if (ok) {
        const std::size_t fixedStart = header.FixedStart();
        const std::size_t end = header.ChecksumAt();
        const std::size_t fixedSize = header.fixedSize;
        // A fixed section of another size than the version's never decodes;
        // with a report it is named before any member is read.
        // (A report has refused an object without its table already.)
        if (state->Reporting() && fixedSize != object.compiled_->FixedSectionSize(encodedVersion)) {
            ok = state->Fail(xqova::DecodeCheck::kFixedSection, buffer, buffer + EncodingLayout::FixedSize(width),
                             fixedSize, object.compiled_->FixedSectionSize(encodedVersion));
        } else if (fixedSize > end - fixedStart) {
            ok = state->Fail(xqova::DecodeCheck::kMemberData, buffer, buffer + fixedStart, fixedSize,
                             end - fixedStart);
        }
        if (ok) {
            Source fixed(buffer, fixedStart, fixedStart + fixedSize);
            Source variable(buffer, fixedStart + fixedSize, end);
            ok = DecodeMembers(object, encodedVersion, buffer, &fixed, &variable, strict, state);
            if (ok && !fixed.AtEnd()) {
                ok = state->Fail(xqova::DecodeCheck::kFixedSection, buffer, buffer + EncodingLayout::FixedSize(width),
                                 fixedSize, fixedSize - fixed.Remaining());
            }
            if (ok && !variable.AtEnd()) {
                ok = state->Fail(object.definition_ == nullptr ? xqova::DecodeCheck::kUnknownClass
                                                               : xqova::DecodeCheck::kLayout,
                                 buffer, variable.Here(), variable.Remaining());
            }
        }
    }
    if (!ok) {
        state->ClassOf(buffer, length);
        object.Reset(true);
        return 0;
    }
    object.status_ = header.status;
    object.current_ = object.sentinel_;
    return static_cast<std::uint32_t>(total);
}

bool CXQOVAObject::BinaryCodec::DecodeMembers(CXQOVAObject& object, std::uint16_t encodedVersion,
                                              const unsigned char* encoding, Source* fixed, Source* variable,
                                              unsigned char strict, DecodeState* state) {
    using xqova::DecodeCheck;
    if (object.definition_ == nullptr) return true;
    // Members whose storage could not be allocated when the object was
    // built cannot receive their values: the object fails to decode rather
    // than pass for complete.
    if (object.idToSlot_ == nullptr && object.memberCount_ != 0) {
        return state->Fail(DecodeCheck::kOutOfMemory, encoding, encoding);
    }
    const xqova::CompiledDefinition* compiled = object.compiled_;
    if (compiled == nullptr) return true;
    const bool unboundedBigEndian = encodedVersion >= kFirstBigEndianVersion;
    for (std::uint16_t p = 0; p < compiled->MemberCount(); ++p) {
        const xqova::CompiledMember& record = compiled->Member(p);
        if (!record.InVersion(encodedVersion)) continue;  // absent: the member keeps its value
        CXQOVAData_u* slot = SlotOf(object, p);
        const MemberType type = record.type;
        const std::uint32_t elementSize = type.ElementSize();
        const char* name = MemberName(record);

        if (type.IsVector()) {
            CXQOVAVector* vector = slot == nullptr ? nullptr : static_cast<CXQOVAVector*>(slot->buffer_);
            if (vector != nullptr) {
                if (!DecodeVector(*vector, variable, strict, state, encoding, name)) return false;
                continue;
            }
            const unsigned char* at = variable->Here();
            Source elements = *variable;
            std::uint16_t count;
            std::uint16_t lastVersion;
            if (!xqova::SkipVector(variable, record.VectorHasSizePrefixes(), &count, &lastVersion)) {
                // Named as for a vector held: its count, or the element that does not lie within the bytes.
                if (!elements.U16(&count)) {
                    return state->Fail(DecodeCheck::kMemberData, encoding, at, 2, elements.Remaining(), name);
                }
                return FailElements(state, elements, record.VectorHasSizePrefixes(), encoding, name);
            }
            if (slot != nullptr && count != 0) {
                // No vector to hold the elements: past the nesting limit that
                // refuses the whole encoding; else memory ran out.
                state->tooDeep = NestingExhausted(object);
                return state->Fail(state->tooDeep ? DecodeCheck::kTooDeep : DecodeCheck::kOutOfMemory, encoding, at,
                                   0, xqova::kMaxNestingDepth - 1, name);
            }
        } else if (type.IsObject()) {
            if (!DecodeNested(object, slot, variable, strict, state, encoding, name, record.memberClass)) return false;
        } else if (type.IsUnbounded()) {
            if (!DecodeUnbounded(slot, type, variable, unboundedBigEndian, state, encoding, name)) return false;
        } else if (type.IsFixedArray()) {
            const std::size_t bytes = static_cast<std::size_t>(record.fixedCount) * elementSize;
            if (fixed->Remaining() < bytes) {
                return state->Fail(DecodeCheck::kFixedSection, encoding, fixed->Here(), bytes, fixed->Remaining(), name);
            }
            if (slot != nullptr && bytes != 0) {
                if (slot->buffer_ == nullptr || slot->elements_ != record.fixedCount) {  // out of memory
                    return state->OutOfMemory(encoding, fixed->Here(), name);
                }
                unsigned char* host = static_cast<unsigned char*>(slot->buffer_);
                GetElements(host, fixed->Here(), record.fixedCount, type.Byte(), true);
                // Text always keeps its terminator, whatever the sender put there.
                if (type.IsText()) std::memset(host + bytes - elementSize, 0, elementSize);
            }
            fixed->Skip(bytes);
        } else {
            if (fixed->Remaining() < elementSize) {
                return state->Fail(DecodeCheck::kFixedSection, encoding, fixed->Here(), elementSize,
                                   fixed->Remaining(), name);
            }
            if (slot != nullptr) {
                std::memset(slot->value_, 0, sizeof slot->value_);
                GetElement(slot->value_, fixed->Here(), type.Width(), true);
            }
            fixed->Skip(elementSize);
        }
    }
    return true;
}

bool CXQOVAObject::BinaryCodec::DecodeUnbounded(CXQOVAData_u* slot, MemberType memberType, Source* variable,
                                                bool bigEndian, DecodeState* state, const unsigned char* encoding,
                                                const char* name) {
    using xqova::DecodeCheck;
    const unsigned char* at = variable->Here();
    std::uint16_t bytes;
    if (!variable->U16(&bytes)) return state->Fail(DecodeCheck::kMemberData, encoding, at, 2, variable->Remaining(), name);
    if (bytes > variable->Remaining()) {
        return state->Fail(DecodeCheck::kMemberData, encoding, at, 2u + bytes, 2u + variable->Remaining(), name);
    }
    const std::uint32_t elementSize = memberType.ElementSize();
    if (bytes % elementSize != 0) {  // never written by the encoder
        return state->Fail(DecodeCheck::kMemberData, encoding, at, bytes, elementSize, name,
                           "not a whole number of elements");
    }
    const std::uint8_t type = memberType.Byte();
    if (slot != nullptr) {
        const std::uint16_t count = static_cast<std::uint16_t>(bytes / elementSize);
        // Element width argument of SetData: width code + 1, 3 standing for TIME.
        const std::uint8_t dataWidth = memberType.WidthCodePlusOne();
        const std::uint8_t isFloat = memberType.IsFloat() ? 1 : 0;
        if (memberType.IsText()) {
            // The count on the wire includes the terminator, which SetData adds
            // itself. Nothing at all leaves an empty member empty and one that
            // held text with just its terminator; a lone terminator is the
            // empty-but-present text.
            static const unsigned char kZero[8] = {};
            std::uint8_t set;
            if (count == 0) {
                set = slot->SetData(nullptr, dataWidth, 0, isFloat);
            } else if (count == 1) {
                set = slot->SetData(kZero, dataWidth, 0, isFloat);
            } else {
                set = slot->SetData(nullptr, dataWidth, static_cast<std::uint16_t>(count - 1), isFloat);
                if (set != 0) {
                    GetElements(static_cast<unsigned char*>(slot->buffer_), variable->Here(), count - 1u, type,
                                bigEndian);
                }
            }
            if (set == 0) return state->OutOfMemory(encoding, at, name);
        } else {
            if (slot->SetData(nullptr, dataWidth, count, isFloat) == 0) {
                return state->OutOfMemory(encoding, at, name);
            }
            if (count != 0) {
                GetElements(static_cast<unsigned char*>(slot->buffer_), variable->Here(), count, type, bigEndian);
            }
        }
    }
    variable->Skip(bytes);
    return true;
}

bool CXQOVAObject::BinaryCodec::DecodeNested(CXQOVAObject& object, CXQOVAData_u* slot, Source* variable,
                                             unsigned char strict, DecodeState* state, const unsigned char* encoding,
                                             const char* name, std::uint32_t memberClass) {
    using xqova::DecodeCheck;
    const unsigned char* at = variable->Here();
    const unsigned char* nested = nullptr;
    std::size_t size = 0;
    const Source before = *variable;
    if (!xqova::NextNestedObject(variable, &nested, &size)) {
        Source header = before;
        std::uint32_t stated;
        if (!header.U32(&stated)) return state->Fail(DecodeCheck::kMemberData, encoding, at, 4, header.Remaining(), name);
        // The nested encoding's own header, within what its parent holds,
        // tells whether the header or the stated size is wrong.
        const std::size_t path = state->Push(name, -1);
        const std::size_t extent = EncodingExtent(header.Here(), header.Remaining());
        if (extent == 0) {
            FailHeader(state, header.Here(), header.Remaining());
        } else {
            state->Pop(path);
            state->Fail(DecodeCheck::kNestedSize, encoding, at, stated, extent, name);
        }
        state->Pop(path);
        return false;
    }
    const std::size_t path = state->Push(name, -1);
    bool ok = true;
    if (slot != nullptr) {
        auto* child = static_cast<CXQOVAObject*>(slot->buffer_);
        if (child == nullptr) {
            // No object to decode into: past the nesting limit that refuses
            // the whole encoding; else memory ran out.
            state->tooDeep = NestingExhausted(object);
            ok = state->Fail(state->tooDeep ? DecodeCheck::kTooDeep : DecodeCheck::kOutOfMemory, nested, nested, 0,
                             xqova::kMaxNestingDepth - 1);
            state->ClassOf(nested, size);
        } else if (DecodeObject(*child, nested, size, strict, state) == 0 && (strict != 0 || state->tooDeep)) {
            ok = false;
        }
    }
    state->Pop(path);
    // A nested encoding of another class than the member's, reported where
    // the member stands.
    if (!ok && state->report != nullptr && state->report->check == DecodeCheck::kNestedClass &&
        state->report->offset == static_cast<std::size_t>(nested - state->origin)) {
        state->report->check = DecodeCheck::kNone;
        // A class no definition serves is named as such, where it stands.
        if (object.dictionary_ != nullptr && object.dictionary_->GetDefinition(xqova::LoadBig32(nested)) == nullptr) {
            const std::size_t back = state->Push(name, -1);
            state->Fail(DecodeCheck::kUnknownClass, nested, nested);
            state->ClassOf(nested, size);
            state->Pop(back);
        } else {
            state->Fail(DecodeCheck::kNestedClass, encoding, at, xqova::LoadBig32(nested), memberClass, name);
            state->report->classId = xqova::LoadBig32(encoding);
            state->report->classRead = true;
        }
    }
    return ok;
}

// Names the element of a vector encoding (its count already read) that does
// not lie within the source: its size prefix, or its header. Always false.
// Called only when the source cannot hold `count` elements, so the walk ends
// at the first one that does not lie within it; every step takes at least
// two bytes, so it ends with the source whatever the count.
bool FailElements(DecodeState* state, Source source, bool sizePrefixes, const unsigned char* encoding,
                  const char* name) {
    using xqova::DecodeCheck;
    if (!state->Reporting()) return false;
    const std::size_t path = state->Push(name, -1);
    for (long i = 0;; ++i) {
        const unsigned char* at = source.Here();
        const std::size_t element = state->Push("", i);
        std::size_t size;
        if (sizePrefixes) {
            std::uint16_t prefix;
            if (!source.U16(&prefix)) {
                state->Pop(path);
                return state->Fail(DecodeCheck::kMemberData, encoding, at, 2, source.Remaining(), name);
            }
            const std::size_t extent = EncodingExtent(source.Here(), source.Remaining());
            if (extent == 0) {
                FailHeader(state, source.Here(), source.Remaining());
                return false;
            }
            if (extent != prefix) {
                state->Pop(path);
                return state->Fail(DecodeCheck::kNestedSize, encoding, at, prefix, extent, name);
            }
            size = extent;
        } else {
            size = EncodingExtent(source.Here(), source.Remaining());
            if (size == 0) {
                FailHeader(state, source.Here(), source.Remaining());
                return false;
            }
        }
        source.Skip(size);
        state->Pop(element);
    }
}

bool CXQOVAObject::BinaryCodec::DecodeVector(CXQOVAVector& vector, Source* source, unsigned char strict,
                                             DecodeState* state, const unsigned char* encoding, const char* name) {
    using xqova::DecodeCheck;
    vector.Clear();
    const unsigned char* at = source->Here();
    std::uint16_t count;
    if (!source->U16(&count)) return state->Fail(DecodeCheck::kMemberData, encoding, at, 2, source->Remaining(), name);
    const bool sizePrefixes = MemberType::VectorHasSizePrefixes(vector.classId_, vector.fixedCount_);
    // Under the strict flag a fixed-count vector with another count fails
    // whatever follows; that is its reason.
    if (strict != 0 && vector.IsFixed() && count != vector.size_) {
        return state->Fail(DecodeCheck::kVectorCount, encoding, at, count, vector.size_, name);
    }
    // Refuse a count that the remaining bytes cannot hold before anything is
    // allocated for it.
    const std::size_t smallest = xqova::kMinObjectEncoding + (sizePrefixes ? 2u : 0u);
    if (count > source->Remaining() / smallest) {
        return FailElements(state, *source, sizePrefixes, encoding, name);
    }

    const std::size_t path = state->Push(name, -1);
    if (vector.IsFixed()) {
        if (count != vector.size_) {
            // Elements cannot be matched to the vector's: they are passed
            // over and the vector stays reset (the strict flag refused them
            // above).
            const Source elements = *source;
            for (std::uint16_t i = 0; i < count; ++i) {
                const unsigned char* element;
                std::size_t size;
                if (!xqova::NextVectorElement(source, false, &element, &size)) {
                    state->Pop(path);
                    return FailElements(state, elements, false, encoding, name);
                }
            }
            state->Pop(path);
            return true;
        }
        for (std::uint16_t i = 0; i < count; ++i) {
            const std::size_t elementPath = state->Push("", i);
            const unsigned char* element;
            std::size_t size;
            if (!xqova::NextVectorElement(source, false, &element, &size)) {
                FailHeader(state, source->Here(), source->Remaining());
                state->Pop(path);
                return false;
            }
            if (DecodeObject(*vector.elements_[i], element, size, strict, state) == 0 &&
                (strict != 0 || state->tooDeep)) {
                state->Pop(path);
                return false;
            }
            state->Pop(elementPath);
        }
        state->Pop(path);
        return true;
    }

    // One allocation for the element array instead of one per element.
    if (vector.fixedCount_ == 0 && vector.capacity_ < count) {
        auto* grown = static_cast<CXQOVAObject**>(xqova::Allocate(sizeof(CXQOVAObject*) * count));
        if (grown != nullptr) {
            std::fill_n(grown, count, nullptr);  // a growing vector was emptied above
            xqova::Release(vector.elements_);
            vector.elements_ = grown;
            vector.capacity_ = count;
        }
    }
    const Source elements = *source;
    for (std::uint16_t i = 0; i < count; ++i) {
        const std::size_t elementPath = state->Push("", i);
        const unsigned char* bytes = nullptr;
        std::size_t size = 0;
        if (!xqova::NextVectorElement(source, sizePrefixes, &bytes, &size)) {
            state->Pop(path);
            return FailElements(state, elements, sizePrefixes, encoding, name);
        }
        const std::uint32_t classId = xqova::LoadBig32(bytes);
        const std::uint16_t version = xqova::LoadBig16(bytes + EncodingLayout::Version(xqova::HeaderLengthWidth(classId)));
        // An element the vector cannot take (past a bounded vector's count,
        // of another class than the vector's, out of memory) is skipped,
        // under the strict flag too; only a decode that asked for a report
        // of what it could not take refuses it under the strict flag. One
        // that was taken and fails to decode stays as its own decode left
        // it, or fails the whole under the strict flag.
        CXQOVAObject* element = vector.Insert(vector.size_, nullptr, nullptr, classId, version);
        if (element == nullptr) {
            const bool full = vector.fixedCount_ != 0 && vector.size_ >= vector.fixedCount_;
            if ((strict != 0 && state->report != nullptr) || xqova::BudgetedOperation::Exhausted()) {
                state->Pop(path);
                if (vector.classId_ != xqova::kNoClass && classId != vector.classId_) {
                    state->Fail(DecodeCheck::kNestedClass, encoding, bytes, classId, vector.classId_, name);
                } else if (full) {
                    state->Fail(DecodeCheck::kVectorCount, encoding, at, count, vector.fixedCount_, name);
                } else {
                    state->Fail(DecodeCheck::kOutOfMemory, bytes, bytes);
                    state->ClassOf(bytes, size);
                }
                return false;
            }
        } else if (DecodeObject(*element, bytes, size, strict, state) == 0 && (strict != 0 || state->tooDeep)) {
            state->Pop(path);
            return false;
        }
        state->Pop(elementPath);
    }
    state->Pop(path);
    return true;
}

// ---- CXQOVAObject --------------------------------------------------------------

// The encoding is measured before its first byte is written: one that cannot
// be encoded, or does not fit, leaves the buffer untouched. Measuring visits
// the members of the variable sections only.
std::uint32_t CXQOVAObject::Serialize(unsigned char* buffer, std::uint16_t version) {
    return Serialize(buffer, ~std::size_t{0}, version);
}

std::uint32_t CXQOVAObject::Serialize(unsigned char* buffer, std::size_t capacity, std::uint16_t version) {
    if (buffer == nullptr) return 0;
    const std::uint64_t size = BinaryCodec::EncodeObject(*this, nullptr, version);
    if (size == 0 || size > capacity) return 0;
    return static_cast<std::uint32_t>(BinaryCodec::EncodeObject(*this, buffer, version));
}

std::uint32_t CXQOVAObject::SizeAll(std::uint16_t version) {
    return static_cast<std::uint32_t>(BinaryCodec::EncodeObject(*this, nullptr, version));
}

std::uint32_t CXQOVAObject::Deserialize(const unsigned char* buffer, std::size_t length, unsigned char strict) {
    return Deserialize(buffer, length, strict, nullptr);
}

std::uint32_t CXQOVAObject::Deserialize(const unsigned char* buffer, std::size_t length, unsigned char strict,
                                        xqova::DecodeReport* report) {
    return Decode(buffer, length, strict, report, false);
}

std::uint32_t CXQOVAObject::Decode(const unsigned char* buffer, std::size_t length, unsigned char strict,
                                   xqova::DecodeReport* report, bool afterBuild) {
    if (report != nullptr) {
        *report = xqova::DecodeReport();
        if (buffer != nullptr && length >= 4) {
            report->outerClassId = xqova::LoadBig32(buffer);
            report->size = xqova::BoundedTotal(buffer, length);
        }
    }
    bool exhausted;
    std::uint32_t result;
    {
        const xqova::BudgetedOperation operation;
        DecodeState state;
        state.report = report;
        state.origin = buffer;
        state.afterBuild = afterBuild;
        result = BinaryCodec::DecodeObject(*this, buffer, length, strict, &state);
        exhausted = xqova::BudgetedOperation::Exhausted();
        if (!operation.Outermost()) return exhausted ? 0 : result;
    }
    // A decode that ran out of its budget fails whatever the strict flag:
    // the elements it could not build would otherwise go missing unnoticed.
    if (!exhausted) return result;
    if (report != nullptr) {
        const std::size_t path = 0;
        DecodeState state;
        state.report = report;
        state.origin = buffer;
        report->check = xqova::DecodeCheck::kNone;
        state.Pop(path);
        state.Fail(xqova::DecodeCheck::kOutOfMemory, buffer, buffer);
        state.ClassOf(buffer, length);
        report->overBudget = true;
    }
    Reset(true);
    return 0;
}

std::uint32_t CXQOVAObject::Deserialize(unsigned char* buffer, unsigned char strict) {
    // The caller vouches for the buffer: the header's stated total is taken
    // as the length.
    if (buffer == nullptr) return 0;
    return Deserialize(buffer, xqova::EncodedSize(buffer), strict);
}
