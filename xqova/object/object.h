// Objects built from class definitions.
//
// An object is an instance of a class described by a definition block. Its
// constructor turns the definition into storage: one member accessor
// (CXQOVAData_u) per member present at the object's version, one accessor
// that stands for no member (the sentinel), the map from definition positions
// to accessors, and at once the buffers of fixed arrays, the nested objects
// of OBJECT members and the vectors of vector members.
//
// Storage layout (for the encoders, which are members of this class):
//
//   slots_[0 .. presentCount_ - 1]   one accessor per present member, in
//                                    definition order; slots_[presentCount_]
//                                    is the sentinel (type 0xF8) and
//                                    sentinel_ == slots_ + presentCount_
//                                    always holds, so a walk
//                                    `for (a = slots_; a != sentinel_; ++a)`
//                                    is safe. An object without members
//                                    (no definition, or out of memory) points
//                                    slots_ and sentinel_ at the embedded
//                                    accessor noMember_.
//   idToSlot_[p]                     slot index of the member at definition
//                                    position p, or presentCount_ (sentinel)
//                                    when the member is absent at the
//                                    version; null when the object has no
//                                    members. memberCount_ entries.
//
// All of it lies in one allocation, storage_: the slots, the shells in which
// nested objects and vectors are constructed, the fixed-array buffers, spare
// room for UNBOUNDED buffers (set aside when the object is built from an
// encoding, as much as the encoding states) and idToSlot_. What lies in
// storage_ is never released alone; InStorage tells an accessor so.
//
// Each accessor holds:
//   type_        the member's type byte (0xF8 in the sentinel)
//   position_    the member's definition position
//   value_[8]    a scalar's value in host order: the member's width at the
//                start (uint8/16/32/64, float, double, or the whole
//                QOVA_TIME record), the remaining bytes zero. Always stored
//                and read with memcpy of the typed value.
//   buffer_      a fixed array's or UNBOUNDED member's buffer (elements_ x
//                element size bytes of host-order elements; text includes
//                its terminator), a single OBJECT's CXQOVAObject*, or a
//                vector member's CXQOVAVector*. Null when nothing is held.
//   elements_    fixed array: fixedCount; UNBOUNDED: current count (text with
//                its terminator); vector: fixedCount or 0; 0 for a scalar
//                or single OBJECT, whose count is always 1.
//   size_        byte size of an array member's buffer (a reused UNBOUNDED
//                buffer may be larger than elements_ x element size); 0 for
//                every other member, which has no buffer of bytes.
//   attributes_, attributeSize_   the member's attribute record and the
//                record size S of the definition.
//   owner_       this object (null in the sentinel).
//
// To fill an UNBOUNDED member use SetBuffer on current_ (it sizes, reuses or
// frees the buffer and adds a text member's terminator). Nested objects and
// vectors are created and destroyed only by Construct/Destruct and by the
// vector's own operations; nothing else frees what an accessor holds.
//
// Nesting. Construct takes the depth of the object in its outermost object
// (0 for an object the host creates). A nested object or vector is created
// only while depth + 1 < xqova::kMaxNestingDepth; past that the member holds
// null, as after an allocation failure. depth_ keeps the object's own depth;
// a vector keeps the depth of its elements, and its private Insert builds
// elements at that depth (and refuses past the limit).
//
// Budget. Every constructor, Deserialize and Copy runs under one budget of
// objects and bytes shared with everything it builds (xqova/core/budget.h);
// Create takes an object from it before it allocates one. A constructor that
// runs out leaves the object without members (EndConstruction).
//
// Building from an encoding. The decoding constructors call
//   Construct(dictionary, nullptr, 0xFFFFFFFF, 0xFFFF, {encoding, length}, 0)
// (the trusting form passes xqova::EncodedSize(encoding) as the length) and
// then decode. Construct takes class and version from the header when the
// checksum holds, and follows the nested encodings (with the decoder's
// reader of the structure) for the versions of nested objects, of
// fixed-count vector elements and the room of UNBOUNDED members; values are
// not read. The decode after it does not compute again the checksums that
// Construct checked.
#ifndef XQOVA_OBJECT_OBJECT_H
#define XQOVA_OBJECT_OBJECT_H

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "xqova/core/export.h"
#include "xqova/core/types.h"
#include "xqova/object/member_accessor.h"

class CXQOVADictionary;
class CXQOVAStringTable;
class CXQOVAVector;
namespace xqova {
// Bytes that hold an object's encoding, and how many of them may be read:
// the bounded construction from bytes takes them together, so that it
// cannot be mistaken for a definition block and a version.
struct EncodedBytes {
    const unsigned char* bytes;
    std::size_t length;
};
class BudgetedOperation;
class CompiledDefinition;
struct DecodeAccess;
struct DecodeReport;
}

class XQOVA_API CXQOVAObject {
public:
    // ---- Construction ---------------------------------------------------
    // The version 0xFFFF, and any version above the definition's, gives the
    // definition's own version. Without a dictionary, without a definition
    // for the class, or with a damaged definition the object has no members
    // and keeps the class and version it was asked for.
    CXQOVAObject(CXQOVADictionary* dictionary, std::uint16_t family, std::uint8_t genus, std::uint8_t species,
                 std::uint16_t version);
    CXQOVAObject(CXQOVADictionary* dictionary, std::uint32_t classId, std::uint16_t version);
    // `definition` is a definition block of fullSize readable bytes.
    CXQOVAObject(CXQOVADictionary* dictionary, const void* definition, std::uint16_t version);

    // From an encoded object (defined with the binary encoding): the shape
    // follows the encoding's class and version, then the bytes are decoded.
    // The first form trusts the encoding's stated length; the second reads
    // nothing outside the `length` bytes it is given. A byte pointer followed
    // by a number is always the definition form above.
    CXQOVAObject(CXQOVADictionary* dictionary, unsigned char* encoding);
    CXQOVAObject(CXQOVADictionary* dictionary, xqova::EncodedBytes encoding);

    // A deep copy: same dictionary, definition, class and version, then Copy.
    // The string table is not carried over.
    CXQOVAObject(const CXQOVAObject& other);
    // The same, converting implicitly; a null pointer gives an empty object
    // without members.
    CXQOVAObject(const CXQOVAObject* other);

    // Objects own their storage; assigning one to another is not offered.
    // Use Copy between objects of one class and version.
    CXQOVAObject& operator=(const CXQOVAObject&) = delete;

    ~CXQOVAObject();

    // ---- Life cycle -----------------------------------------------------
    // Clears every value and the status. With deep != 0 nested objects are
    // reset and vectors cleared; with deep == 0 they are left as they are.
    void Reset(std::uint8_t deep);
    // Copies every value from an object of the same class and version; 1 on
    // success. On failure (another class or version, a differing layout, out
    // of memory) this object is reset deeply and 0 returned.
    std::uint8_t Copy(const CXQOVAObject* source);

    // ---- Identity and status -------------------------------------------
    std::uint32_t ClassID() const { return classId_; }
    std::uint16_t Family() const;
    std::uint8_t Genus() const;
    std::uint8_t Species() const;
    std::uint16_t Version() const { return version_; }
    void* GetDefinition() const { return const_cast<unsigned char*>(definition_); }
    std::uint8_t IsValid() const { return status_ & 0x40; }
    std::uint8_t IsDirty() const { return status_ & 0x80; }
    // v == 1 sets the bit, any other value clears it; returns v.
    std::uint8_t SetValid(std::uint8_t v);
    std::uint8_t SetDirty(std::uint8_t v);

    // ---- Inheritance ----------------------------------------------------
    CXQOVAObject* BaseClass() const { return baseObject_; }
    // The first object of the chain this, base, base of base, ... of that
    // class; null when none is.
    CXQOVAObject* Cast(std::uint32_t classId);

    // ---- Texts ----------------------------------------------------------
    std::uint8_t SetStringTable(CXQOVAStringTable* table);
    CXQOVAStringTable* GetStringTable() const { return stringTable_; }

    // ---- Member lookups -------------------------------------------------
    // By identifier (counted over the definitions of the inheritance chain,
    // base first) and by position (counted over present members, base
    // first, without the inherit member). A failed lookup gives the
    // sentinel. The count pointer, when given, receives the element count
    // as GetMemberNumElements / GetMemberAtNumElements give it.
    CXQOVAData_u& GetMember(std::uint16_t id, std::uint16_t* count = nullptr);
    CXQOVAData_u& Member(std::uint16_t id);
    CXQOVAData_u& operator()(std::uint16_t id);
    CXQOVAData_u& GetMemberAt(std::uint16_t pos, std::uint16_t* count = nullptr);
    CXQOVAData_u& At(std::uint16_t pos);
    CXQOVAData_u& operator[](std::uint16_t pos);
    std::uint8_t MemberAvailable(std::uint16_t id);
    std::uint16_t MemberCount();

    // ---- Member attributes ----------------------------------------------
    std::uint8_t GetMemberType(std::uint16_t id);
    std::uint8_t GetMemberAtType(std::uint16_t pos);
    std::uint16_t GetMemberSize(std::uint16_t id);
    std::uint16_t GetMemberAtSize(std::uint16_t pos);
    std::uint16_t GetMemberNumElements(std::uint16_t id);
    std::uint16_t GetMemberAtNumElements(std::uint16_t pos);
    std::uint32_t GetMemberAlias(std::uint16_t id);
    std::uint32_t GetMemberAtAlias(std::uint16_t pos);
    std::uint8_t GetMemberUnits(std::uint16_t id);
    std::uint8_t GetMemberAtUnits(std::uint16_t pos);
    std::uint16_t GetMemberScaleCoefficient(std::uint16_t id);
    std::uint16_t GetMemberAtScaleCoefficient(std::uint16_t pos);
    signed char GetMemberScaleExponent(std::uint16_t id);
    signed char GetMemberAtScaleExponent(std::uint16_t pos);
    const char* GetMemberText(std::uint16_t id, std::uint8_t language);
    const char* GetMemberAtText(std::uint16_t pos, std::uint8_t language);
    const char* GetClassText(std::uint8_t language);
    const char* GetClassText();

    // ---- Typed setters --------------------------------------------------
    // Scalars: numbers convert toward zero and wrap to the member's width;
    // no range test. Integral types without a form of their own (long,
    // unsigned long, long long, ...) take the std::int32_t form when signed
    // and the std::uint32_t form when unsigned.
    std::uint8_t SetMember(std::uint16_t id, signed char value);
    std::uint8_t SetMember(std::uint16_t id, char value);
    std::uint8_t SetMember(std::uint16_t id, unsigned char value);
    std::uint8_t SetMember(std::uint16_t id, short value);
    std::uint8_t SetMember(std::uint16_t id, unsigned short value);
    std::uint8_t SetMember(std::uint16_t id, std::int32_t value);
    std::uint8_t SetMember(std::uint16_t id, std::uint32_t value);
    std::uint8_t SetMember(std::uint16_t id, float value);
    std::uint8_t SetMember(std::uint16_t id, double value);
    std::uint8_t SetMember(std::uint16_t id, const QOVA_TIME& value);
    template <class T, xqova::detail::EnableOtherIntegral<T> = 0>
    std::uint8_t SetMember(std::uint16_t id, T value) {
        return std::is_signed<T>::value ? SetMember(id, static_cast<std::int32_t>(value))
                                        : SetMember(id, static_cast<std::uint32_t>(value));
    }

    // Arrays: `count` elements copied as they lie (host order).
    std::uint8_t SetMember(std::uint16_t id, const signed char* data, std::uint16_t count);
    std::uint8_t SetMember(std::uint16_t id, const unsigned char* data, std::uint16_t count);
    std::uint8_t SetMember(std::uint16_t id, const char* data, std::uint16_t count);
    std::uint8_t SetMember(std::uint16_t id, const short* data, std::uint16_t count);
    std::uint8_t SetMember(std::uint16_t id, const unsigned short* data, std::uint16_t count);
    std::uint8_t SetMember(std::uint16_t id, const std::int32_t* data, std::uint16_t count);
    std::uint8_t SetMember(std::uint16_t id, const std::uint32_t* data, std::uint16_t count);
    std::uint8_t SetMember(std::uint16_t id, const float* data, std::uint16_t count);
    std::uint8_t SetMember(std::uint16_t id, const double* data, std::uint16_t count);
    std::uint8_t SetMember(std::uint16_t id, const QOVA_TIME* data, std::uint16_t count);

    std::uint8_t SetMemberAt(std::uint16_t pos, signed char value);
    std::uint8_t SetMemberAt(std::uint16_t pos, char value);
    std::uint8_t SetMemberAt(std::uint16_t pos, unsigned char value);
    std::uint8_t SetMemberAt(std::uint16_t pos, short value);
    std::uint8_t SetMemberAt(std::uint16_t pos, unsigned short value);
    std::uint8_t SetMemberAt(std::uint16_t pos, std::int32_t value);
    std::uint8_t SetMemberAt(std::uint16_t pos, std::uint32_t value);
    std::uint8_t SetMemberAt(std::uint16_t pos, float value);
    std::uint8_t SetMemberAt(std::uint16_t pos, double value);
    std::uint8_t SetMemberAt(std::uint16_t pos, const QOVA_TIME& value);
    template <class T, xqova::detail::EnableOtherIntegral<T> = 0>
    std::uint8_t SetMemberAt(std::uint16_t pos, T value) {
        return std::is_signed<T>::value ? SetMemberAt(pos, static_cast<std::int32_t>(value))
                                        : SetMemberAt(pos, static_cast<std::uint32_t>(value));
    }

    std::uint8_t SetMemberAt(std::uint16_t pos, const signed char* data, std::uint16_t count);
    std::uint8_t SetMemberAt(std::uint16_t pos, const unsigned char* data, std::uint16_t count);
    std::uint8_t SetMemberAt(std::uint16_t pos, const char* data, std::uint16_t count);
    std::uint8_t SetMemberAt(std::uint16_t pos, const short* data, std::uint16_t count);
    std::uint8_t SetMemberAt(std::uint16_t pos, const unsigned short* data, std::uint16_t count);
    std::uint8_t SetMemberAt(std::uint16_t pos, const std::int32_t* data, std::uint16_t count);
    std::uint8_t SetMemberAt(std::uint16_t pos, const std::uint32_t* data, std::uint16_t count);
    std::uint8_t SetMemberAt(std::uint16_t pos, const float* data, std::uint16_t count);
    std::uint8_t SetMemberAt(std::uint16_t pos, const double* data, std::uint16_t count);
    std::uint8_t SetMemberAt(std::uint16_t pos, const QOVA_TIME* data, std::uint16_t count);

    // ---- Binary encoding (defined with the encodings) --------------------
    // Serialize writes the encoding at `version` (0xFFFF: own version) into a
    // buffer of SizeAll(version) bytes and returns the bytes written. Sizes
    // are counted in 64 bits: an encoding that 32 bits cannot state gives 0.
    std::uint32_t Serialize(unsigned char* buffer, std::uint16_t version);
    // The same into a buffer of `capacity` bytes: an encoding that does not
    // fit gives 0 and writes nothing. Prefer this form whenever the object
    // may change between SizeAll and Serialize.
    std::uint32_t Serialize(unsigned char* buffer, std::size_t capacity, std::uint16_t version);
    std::uint32_t SizeAll(std::uint16_t version);
    // Decodes an encoding of this object's class; bytes consumed, 0 on failure.
    std::uint32_t Deserialize(unsigned char* buffer, unsigned char strict);
    std::uint32_t Deserialize(const unsigned char* buffer, std::size_t length, unsigned char strict);
    // The same, filling `report` (when not null) with the reason of a
    // failure (xqova/encoding/decode_report.h). With a report the decode
    // also refuses a nested object or element of a class the dictionary does
    // not define; without one its results are those of the form above.
    std::uint32_t Deserialize(const unsigned char* buffer, std::size_t length, unsigned char strict,
                              xqova::DecodeReport* report);

    // ---- XML (defined with the encodings) --------------------------------
    // The exact documents: names and texts go into the document unescaped,
    // as the device sent them. For trusted data only; see XMLSerializeSafe.
    // A document whose size 32 bits cannot state gives 0 and nothing is
    // written; sizes include the terminator.
    std::uint32_t XMLSerialize(char* buffer, std::uint16_t version);
    std::uint32_t XMLSerialize(unsigned short* buffer, std::uint16_t version);
    std::uint32_t XMLSizeAll(std::uint16_t version);
    std::uint32_t XMLSizeAll(XMLEncoding_e encoding, std::uint16_t version);
    // The same documents into a buffer of `capacity` bytes (for UTF-16 too):
    // one that does not fit gives 0 and writes nothing.
    std::uint32_t XMLSerialize(char* buffer, std::size_t capacity, std::uint16_t version);
    std::uint32_t XMLSerialize(unsigned short* buffer, std::size_t capacity, std::uint16_t version);
    // The well-formed form for any data: the same elements and attributes,
    // with names escaped, "]]>" split inside CDATA and every character XML
    // cannot carry (or that does not decode) replaced by U+FFFD; the 8-bit
    // form is UTF-8. XMLSizeAllSafe is its exact size, terminator included.
    std::uint32_t XMLSerializeSafe(char* buffer, std::size_t capacity, std::uint16_t version);
    std::uint32_t XMLSerializeSafe(unsigned short* buffer, std::size_t capacity, std::uint16_t version);
    std::uint32_t XMLSizeAllSafe(XMLEncoding_e encoding, std::uint16_t version);

protected:
    // Builds the storage, first releasing any the object holds (every
    // constructor leaves a valid object without members, so a constructor
    // body may call it directly). With an encoding (and a dictionary) the class and
    // version come from the encoding's header, and nested objects and the
    // element version of fixed-count vectors follow the nested encodings;
    // nothing outside its length is read; without one (`{}`) the object is
    // built from its definition. `depth` is the object's nesting depth (0
    // for an outermost object).
    void Construct(CXQOVADictionary* dictionary, const void* definition, std::uint32_t classId,
                   std::uint16_t version, xqova::EncodedBytes encoding, unsigned depth);
    // Releases everything the object owns; the object is left without members.
    void Destruct();
    // The decode behind Deserialize (encoding/binary_encoding.cpp).
    // `afterBuild` is set by a construction from bytes for the decode it
    // runs on the shape it has just built from the same bytes: the
    // checksums that the construction checked are not computed again.
    std::uint32_t Decode(const unsigned char* buffer, std::size_t length, unsigned char strict,
                         xqova::DecodeReport* report, bool afterBuild);

    // Make current_ the accessor of an own member identifier / position.
    void FindMember(std::uint16_t id);
    void FindMemberAt(std::uint16_t pos);

    // Converters acting on current_ (1 success, 0 refused).
    std::uint8_t SetMember(std::int32_t value);
    std::uint8_t SetMember(std::uint32_t value);
    std::uint8_t SetMember(double value);
    std::uint8_t SetMember(const QOVA_TIME& value);
    // Array write on current_; `width` is the element width, 3 for TIME.
    std::uint8_t SetBuffer(const void* data, std::uint8_t width, std::uint16_t count, std::uint8_t isFloat);

private:
    friend class CXQOVAData_u;
    friend class CXQOVAVector;
    friend struct xqova::DecodeAccess;  // xqova::DecodeObject builds objects as Create does

    // The binary encoder and decoder of objects and vectors
    // (encoding/binary_encoding.cpp).
    struct BinaryCodec;
    // The table of storage readers that the XML writers use
    // (encoding/xml_encoding.cpp).
    struct XmlCodec;

    struct EmptyTag {};
    // An object without members, to be completed by Construct.
    explicit CXQOVAObject(EmptyTag);

    // Allocates and builds an object; null when memory runs out.
    static CXQOVAObject* Create(CXQOVADictionary* dictionary, const void* definition, std::uint32_t classId,
                                std::uint16_t version, xqova::EncodedBytes encoding, unsigned depth);
    // The same in `shell`, memory for one object inside a parent's storage
    // (it is never released on its own: ~CXQOVAObject ends it); null when
    // the budget has no object left.
    static CXQOVAObject* CreateAt(void* shell, CXQOVADictionary* dictionary, const void* definition,
                                  std::uint32_t classId, std::uint16_t version, xqova::EncodedBytes encoding,
                                  unsigned depth);
    // Allocates a copy of `source` at `depth`; null when memory runs out or
    // the copy fails.
    static CXQOVAObject* CreateCopy(const CXQOVAObject* source, unsigned depth);
    static void Destroy(CXQOVAObject* object);

    // Ends a constructor: when its operation opened the budget and the budget
    // ran out, the object gives up every member (xqova/core/budget.h).
    void EndConstruction(const xqova::BudgetedOperation& operation);
    // Copy without its budget handling.
    std::uint8_t CopyValues(const CXQOVAObject* source);

    // The fields of an object without members that Destruct leaves, run
    // right after it; the version is left to the caller, which always sets
    // the one the object is built at.
    void ClearFields();
    // Rule of lookups across the chain: the object that answers for an
    // identifier or position, with its current_ set to the accessor.
    CXQOVAObject* ResolveMember(std::uint16_t id);
    CXQOVAObject* ResolveMemberAt(std::uint16_t pos);
    // Slot index of an accessor of this object.
    std::uint16_t SlotIndex(const CXQOVAData_u* accessor) const;
    // The object answering for `pos` and the member's local definition
    // position there; null when no member has that position.
    CXQOVAObject* ResolvePositionToLocal(std::uint16_t pos, std::uint16_t* local);
    // The object answering for `id` and the local index there.
    CXQOVAObject* ResolveIdToLocal(std::uint16_t id, std::uint16_t* local);

    // Room for an UNBOUNDED buffer of `bytes` in the storage, set aside
    // when the object was built from an encoding; null when none is left.
    // `bytes` is never 0: an empty UNBOUNDED member holds no buffer.
    void* TakeSpare(std::size_t bytes);
    // Whether p lies in the object's storage (and so is not released alone).
    bool InStorage(const void* p) const;

    static std::uint16_t NumElementsOf(const CXQOVAData_u& accessor);
    std::uint8_t CopySlot(CXQOVAData_u* target, const CXQOVAData_u* source);

    // The four fields Destruct reads start as an object without storage,
    // so a constructor body may go straight to Construct; Destruct and
    // ClearFields, which Construct runs first, give every other field its
    // value.
    CXQOVAData_u* slots_ = &noMember_;
    CXQOVAData_u* current_;
    CXQOVAData_u* sentinel_;
    std::uint16_t* idToSlot_;
    // The one allocation behind slots_, the nested objects and vectors,
    // the fixed-array buffers, the spare room and idToSlot_.
    unsigned char* storage_ = nullptr;
    std::size_t storageSize_;
    unsigned char* spare_;
    std::size_t spareLeft_;
    // The encoding this object was just built from, when its checksum held;
    // only the decode of the same construction reads it.
    const unsigned char* checkedEncoding_;
    // Size of the fixed section of an encoding at version_.
    std::uint64_t fixedSectionSize_;
    std::uint16_t presentCount_;
    std::uint16_t memberCount_;
    const unsigned char* definition_;
    // The compiled table of definition_: the dictionary's, or the object's
    // own (ownsCompiled_) for a block no dictionary holds. Null without a
    // usable definition, and when memory for an own table ran out.
    const xqova::CompiledDefinition* compiled_ = nullptr;
    bool ownsCompiled_ = false;
    std::uint32_t classId_;
    std::uint16_t version_;
    std::uint8_t status_;
    CXQOVADictionary* dictionary_;
    CXQOVAStringTable* stringTable_;
    CXQOVAObject* baseObject_;
    // Identifiers of the base chain, 0 without a base.
    std::uint16_t inheritedCount_;
    unsigned depth_;
    static constexpr unsigned kTopLevel = 0;  // the depth of an object no other holds
    CXQOVAData_u noMember_{xqova::MemberType::kNoMember};
};

#endif
