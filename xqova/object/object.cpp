// Construction, storage, life cycle and identity of objects.
#include "xqova/object/object.h"

#include <algorithm>
#include <cstring>
#include <new>

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
#include "xqova/object/vector.h"

namespace {

using xqova::EncodingLayout;
using xqova::MemberType;

constexpr std::size_t kStorageAlignment = 8;

std::uint64_t AlignUp(std::uint64_t n, std::uint64_t alignment) { return (n + alignment - 1) / alignment * alignment; }

// A cursor through the variable section of an encoding while an object's
// shape is built from it, with the decoder's own reader: the first member
// that does not lie where the structure says ends the walk, and the members
// after it are shaped from their definitions alone.
class ShapeWalk {
public:
    // What the encoding says about the shape of one member.
    struct Shape {
        xqova::EncodedBytes nested{};           // its nested object, when of the member's class
        std::uint16_t elementVersion = xqova::kCurrentVersion;  // of a vector's last element; none: the newest
        std::uint16_t unboundedBytes = 0;       // the length of an UNBOUNDED member
    };

    ShapeWalk() : active_(false) {}
    void Start(const unsigned char* encoding, const xqova::EncodingHeader& header) {
        // An inactive walk never reads its window.
        active_ = header.FixedStart() + header.fixedSize <= header.ChecksumAt();
        if (active_) window_ = xqova::ByteWindow(encoding, header.FixedStart() + header.fixedSize, header.ChecksumAt());
    }

    // Steps over the member of the encoding's variable section at the
    // cursor, when the encoding's version carries it there, and tells its
    // shape. A member that does not lie within the encoding, and every
    // member after it, is told nothing.
    Shape Step(const xqova::CompiledMember& record, std::uint16_t encodedVersion) {
        Shape shape;
        const MemberType type = record.type;
        if (!active_ || !record.InVersion(encodedVersion) || !type.InVariableSection()) return shape;
        if (type.IsVector()) {
            std::uint16_t count;
            active_ = xqova::SkipVector(&window_, record.VectorHasSizePrefixes(), &count, &shape.elementVersion);
        } else if (type.IsObject()) {
            const unsigned char* at;
            std::size_t size;
            active_ = xqova::NextNestedObject(&window_, &at, &size);
            if (active_ && xqova::LoadBig32(at) == record.memberClass) shape.nested = {at, size};
        } else {  // UNBOUNDED, the rest of the variable section
            std::uint16_t bytes;
            active_ = xqova::SkipUnbounded(&window_, &bytes);
            if (active_) shape.unboundedBytes = bytes;
        }
        return shape;
    }

private:
    xqova::ByteWindow window_;
    bool active_;
};

}  // namespace

// ---- Construction ----------------------------------------------------------

CXQOVAObject::CXQOVAObject(EmptyTag) {}

CXQOVAObject::CXQOVAObject(CXQOVADictionary* dictionary, std::uint16_t family, std::uint8_t genus,
                           std::uint8_t species, std::uint16_t version)
    : CXQOVAObject(dictionary, MakeClassID(family, genus, species), version) {}

CXQOVAObject::CXQOVAObject(CXQOVADictionary* dictionary, std::uint32_t classId, std::uint16_t version) {
    const xqova::BudgetedOperation operation;
    Construct(dictionary, dictionary == nullptr ? nullptr : dictionary->GetDefinition(classId), classId, version, {},
              kTopLevel);
    EndConstruction(operation);
}

CXQOVAObject::CXQOVAObject(CXQOVADictionary* dictionary, const void* definition, std::uint16_t version) {
    const xqova::BudgetedOperation operation;
    Construct(dictionary, definition, DefinitionClassID(definition), version, {}, kTopLevel);
    EndConstruction(operation);
}

CXQOVAObject::CXQOVAObject(const CXQOVAObject& other) {
    const xqova::BudgetedOperation operation;
    Construct(other.dictionary_, other.definition_, other.classId_, other.version_, {}, kTopLevel);
    Copy(&other);
    EndConstruction(operation);
}

CXQOVAObject::CXQOVAObject(const CXQOVAObject* other) {
    if (other == nullptr) {
        Construct(nullptr, nullptr, xqova::kNoClass, xqova::kCurrentVersion, {}, kTopLevel);
        return;
    }
    const xqova::BudgetedOperation operation;
    Construct(other->dictionary_, other->definition_, other->classId_, other->version_, {}, kTopLevel);
    Copy(other);
    EndConstruction(operation);
}

void CXQOVAObject::EndConstruction(const xqova::BudgetedOperation& operation) {
    if (!operation.Outermost() || !xqova::BudgetedOperation::Exhausted()) return;
    // The construction ran out of its budget: it fails as a whole, leaving no
    // partly built member behind. The object keeps its class, version,
    // definition and member count without storage, the state of an object
    // whose storage could not be allocated, which every encoder and the
    // decoder refuse.
    const std::uint32_t classId = classId_;
    const std::uint16_t version = version_;
    const std::uint16_t memberCount = memberCount_;
    Destruct();
    classId_ = classId;
    version_ = version;
    memberCount_ = memberCount;
}

CXQOVAObject::~CXQOVAObject() { Destruct(); }

void CXQOVAObject::ClearFields() {
    // Destruct has emptied the storage and the member counts; the sentinel
    // noMember_ is never written (every setter refuses it).
    definition_ = nullptr;
    classId_ = xqova::kNoClass;
    dictionary_ = nullptr;
    stringTable_ = nullptr;
    inheritedCount_ = 0;
    depth_ = 0;
}

CXQOVAObject* CXQOVAObject::Create(CXQOVADictionary* dictionary, const void* definition, std::uint32_t classId,
                                   std::uint16_t version, xqova::EncodedBytes encoding, unsigned depth) {
    if (!xqova::BudgetedOperation::TakeObject()) return nullptr;
    void* memory = xqova::Allocate(sizeof(CXQOVAObject));
    if (memory == nullptr) return nullptr;
    CXQOVAObject* object = new (memory) CXQOVAObject(EmptyTag{});
    object->Construct(dictionary, definition, classId, version, encoding, depth);
    return object;
}

CXQOVAObject* CXQOVAObject::CreateAt(void* shell, CXQOVADictionary* dictionary, const void* definition,
                                     std::uint32_t classId, std::uint16_t version, xqova::EncodedBytes encoding,
                                     unsigned depth) {
    // The shell's bytes were taken from the budget with the parent's storage.
    if (!xqova::BudgetedOperation::TakeObject()) return nullptr;
    CXQOVAObject* object = new (shell) CXQOVAObject(EmptyTag{});
    object->Construct(dictionary, definition, classId, version, encoding, depth);
    return object;
}

CXQOVAObject* CXQOVAObject::CreateCopy(const CXQOVAObject* source, unsigned depth) {
    CXQOVAObject* copy = Create(source->dictionary_, source->definition_, source->classId_, source->version_, {}, depth);
    if (copy == nullptr) return nullptr;
    if (copy->Copy(source) == 0) {
        Destroy(copy);
        return nullptr;
    }
    return copy;
}

void CXQOVAObject::Destroy(CXQOVAObject* object) { xqova::Delete(object); }

void CXQOVAObject::Construct(CXQOVADictionary* dictionary, const void* definition, std::uint32_t classId,
                             std::uint16_t version, xqova::EncodedBytes encoding, unsigned depth) {
    Destruct();
    ClearFields();
    dictionary_ = dictionary;
    definition_ = static_cast<const unsigned char*>(definition);
    classId_ = classId;
    version_ = version;
    depth_ = depth;

    // The shape of an encoded object follows its header. Its checksum is
    // checked here, once: the decode that follows the construction trusts
    // what was checked (checkedEncoding_).
    xqova::EncodingHeader header;
    const unsigned char* shapeEncoding = nullptr;
    if (encoding.bytes != nullptr && dictionary != nullptr) {
        if (encoding.length >= 4) classId_ = xqova::LoadBig32(encoding.bytes);
        bool intact = header.Read(encoding.bytes, encoding.length);
        if (intact) {
            const auto covered = static_cast<std::uint32_t>(header.ChecksumAt());
            intact = xqova::ChecksumHolds(encoding.bytes, covered, depth_ != 0);
        }
        if (!intact) {
            definition_ = nullptr;
        } else {
            version_ = header.version;
            definition_ = static_cast<const unsigned char*>(dictionary->GetDefinition(classId_));
            shapeEncoding = encoding.bytes;
        }
    }

    // The definition's compiled table: the dictionary's when it holds the
    // block, else compiled (and so checked in full) here for this object.
    if (definition_ != nullptr) {
        compiled_ = dictionary_ == nullptr ? nullptr : dictionary_->Compiled(definition_);
        if (compiled_ == nullptr) {
            bool outOfMemory = false;
            compiled_ = xqova::CompiledDefinition::Compile(definition_, DefinitionFullSize(definition_), &outOfMemory);
            ownsCompiled_ = compiled_ != nullptr;
            if (compiled_ == nullptr && outOfMemory) {
                // A sound definition without memory for its table: the object
                // keeps it but has no members, as when its storage could not
                // be allocated.
                version_ = std::min(version_, DefinitionVersion(definition_));
                memberCount_ = xqova::DefinitionMemberCount(definition_);
                return;
            }
        }
        if (compiled_ == nullptr) definition_ = nullptr;
    }
    if (definition_ == nullptr) return;
    checkedEncoding_ = shapeEncoding;
    const xqova::CompiledDefinition& compiled = *compiled_;

    const std::uint16_t requestedVersion = version_;
    version_ = std::min(version_, compiled.Version());
    memberCount_ = compiled.MemberCount();
    const unsigned char* attributeTable = definition_ + compiled.AttributeTableOffset();
    const std::uint16_t attributeSize = compiled.AttributeSize();
    if (memberCount_ == 0) return;

    // The storage, measured: slots, nested objects and vectors, fixed-array
    // buffers, room for the UNBOUNDED members the encoding fills, and the
    // position map, in one allocation.
    const bool nestingAllowed = depth_ + 1 < xqova::kMaxNestingDepth;
    std::uint32_t present = 0;
    // Counted in 64 bits: a definition may state more than a 32-bit size
    // holds, and such storage is refused as memory that cannot be had.
    std::uint64_t objects = 0;
    std::uint64_t vectors = 0;
    std::uint64_t fixedBytes = 0;
    std::uint64_t spareBytes = 0;
    std::uint64_t fixedSection = 0;
    ShapeWalk walk;
    if (shapeEncoding != nullptr) walk.Start(shapeEncoding, header);
    for (const xqova::CompiledMember& record : compiled) {
        const MemberType type = record.type;
        const std::uint16_t unbounded = walk.Step(record, header.version).unboundedBytes;
        if (!record.InVersion(version_)) continue;
        ++present;
        if (type.InFixedSection()) fixedSection += std::uint64_t{record.FixedElements()} * type.ElementSize();
        if (type.IsSingleObject()) {
            if (nestingAllowed) ++objects;
        } else if (type.IsVector()) {
            if (nestingAllowed) ++vectors;
        } else if (type.IsFixedArray()) {
            fixedBytes += AlignUp(std::uint64_t{record.fixedCount} * type.ElementSize(), kStorageAlignment);
        } else if (type.IsUnbounded()) {
            spareBytes += AlignUp(unbounded, kStorageAlignment);
        }
    }
    fixedSectionSize_ = fixedSection;
    const std::uint64_t objectsAt = AlignUp(std::uint64_t{sizeof(CXQOVAData_u)} * (present + 1u), alignof(CXQOVAObject));
    const std::uint64_t vectorsAt = AlignUp(objectsAt + sizeof(CXQOVAObject) * objects, alignof(CXQOVAVector));
    const std::uint64_t fixedAt = AlignUp(vectorsAt + sizeof(CXQOVAVector) * vectors, kStorageAlignment);
    const std::uint64_t spareAt = AlignUp(fixedAt + fixedBytes, kStorageAlignment);
    const std::uint64_t mapAt = AlignUp(spareAt + spareBytes, alignof(std::uint16_t));
    const std::uint64_t total = mapAt + sizeof(std::uint16_t) * std::uint64_t{memberCount_};
    if (total > static_cast<std::uint64_t>(~std::size_t{0})) return;  // no members
    auto* storage = static_cast<unsigned char*>(xqova::Allocate(static_cast<std::size_t>(total)));
    if (storage == nullptr) return;  // no members
    storage_ = storage;
    storageSize_ = static_cast<std::size_t>(total);
    spare_ = storage + spareAt;
    spareLeft_ = static_cast<std::size_t>(spareBytes);
    std::memset(storage + fixedAt, 0, static_cast<std::size_t>(fixedBytes));
    // The sentinel first, behind the members' slots, then the slots.
    auto* slots = reinterpret_cast<CXQOVAData_u*>(storage);
    sentinel_ = new (slots + present) CXQOVAData_u(MemberType::kNoMember);
    for (std::uint32_t i = 0; i < present; ++i) new (slots + i) CXQOVAData_u();
    idToSlot_ = reinterpret_cast<std::uint16_t*>(storage + mapAt);
    slots_ = slots;
    presentCount_ = static_cast<std::uint16_t>(present);
    current_ = sentinel_;
    unsigned char* nextObject = storage + objectsAt;
    unsigned char* nextVector = storage + vectorsAt;
    unsigned char* nextFixed = storage + fixedAt;

    if (shapeEncoding != nullptr) walk.Start(shapeEncoding, header);
    std::uint16_t s = 0;
    for (std::uint16_t p = 0; p < memberCount_; ++p) {
        const xqova::CompiledMember& record = compiled.Member(p);
        const MemberType type = record.type;

        const ShapeWalk::Shape shape = walk.Step(record, header.version);  // its room was measured above

        if (!record.InVersion(version_)) {
            idToSlot_[p] = presentCount_;
            continue;
        }
        CXQOVAData_u& slot = slots_[s];
        slot.type_ = type.Byte();
        slot.position_ = p;
        slot.attributeSize_ = attributeSize;
        slot.attributes_ = attributeTable + static_cast<std::size_t>(attributeSize) * p;
        slot.owner_ = this;

        if (type.IsSingleObject()) {
            CXQOVAObject* object = nullptr;
            if (nestingAllowed) {
                void* shell = nextObject;
                nextObject += sizeof(CXQOVAObject);
                if (shape.nested.bytes != nullptr) {
                    object = CreateAt(shell, dictionary_, nullptr, xqova::kNoClass, xqova::kCurrentVersion, shape.nested,
                                      depth_ + 1);
                } else {
                    object = CreateAt(shell, dictionary_,
                                      dictionary_ == nullptr ? nullptr : dictionary_->GetDefinition(record.memberClass),
                                      record.memberClass, xqova::kCurrentVersion, {}, depth_ + 1);
                }
            }
            slot.buffer_ = object;
            if (type.IsInherit() && object != nullptr) {
                baseObject_ = object;
                // The base's identifiers are counted from the dictionary's
                // base definitions; a base known only from added definitions
                // is counted from the definition the base object was built on.
                // The lookup names its scope rather than switching the
                // dictionary's mode, so that building never changes a
                // dictionary other threads may be using.
                std::uint32_t baseMembers = 0;
                if (dictionary_ != nullptr) {
                    const void* baseDefinition = dictionary_->GetDefinition(record.memberClass, SEARCH_MODE_BASE);
                    baseMembers = baseDefinition != nullptr ? xqova::DefinitionMemberCount(baseDefinition)
                                                            : object->memberCount_;
                }
                const std::uint32_t inherited = baseMembers + object->inheritedCount_;
                // Identifiers run up to inherited + memberCount - 1 and
                // positions up to the base's MemberCount() + the own present
                // members; both must stay below 0xFFFF (the class itself in
                // text lookups). A chain that would count further is refused
                // at this level: the object is built as without a definition.
                if (inherited + memberCount_ > 0xFFFFu ||
                    std::uint32_t{object->MemberCount()} + presentCount_ > 0xFFFFu) {
                    const std::uint32_t askedClass = classId_;
                    Destruct();
                    ClearFields();
                    dictionary_ = dictionary;
                    classId_ = askedClass;
                    version_ = requestedVersion;
                    depth_ = depth;
                    return;
                }
                inheritedCount_ = static_cast<std::uint16_t>(inherited);
            }
        } else if (type.IsVector()) {
            const std::uint16_t count = record.VectorCount();
            slot.elements_ = count;
            if (nestingAllowed) {
                CXQOVAVector* vector = CXQOVAVector::CreateAt(nextVector, dictionary_, record.memberClass, count,
                                                              shape.elementVersion, depth_ + 1);
                nextVector += sizeof(CXQOVAVector);
                // A vector with a fixed count is built whole or not at all:
                // one that lacks its array or an element is given up, and
                // the member holds nothing, as when memory for the vector
                // itself ran out.
                if (vector->Whole()) {
                    slot.buffer_ = vector;
                } else {
                    vector->~CXQOVAVector();
                }
            }
        } else if (type.IsFixedArray()) {
            const std::uint32_t bytes = static_cast<std::uint32_t>(record.fixedCount) * type.ElementSize();
            if (bytes != 0) {
                slot.buffer_ = nextFixed;
                slot.elements_ = record.fixedCount;
                slot.size_ = static_cast<std::uint16_t>(bytes);
                nextFixed += static_cast<std::size_t>(AlignUp(bytes, kStorageAlignment));
            }
        }
        idToSlot_[p] = s;
        ++s;
    }
    current_ = sentinel_;
}

void CXQOVAObject::Destruct() {
    if (slots_ != nullptr && slots_ != &noMember_) {
        for (std::uint32_t i = presentCount_; i > 0; --i) slots_[i - 1].ReleaseStorage();
    }
    xqova::Release(storage_);
    storage_ = nullptr;
    storageSize_ = 0;
    spare_ = nullptr;
    spareLeft_ = 0;
    checkedEncoding_ = nullptr;
    fixedSectionSize_ = 0;
    if (ownsCompiled_) xqova::CompiledDefinition::Free(compiled_);
    compiled_ = nullptr;
    ownsCompiled_ = false;
    slots_ = &noMember_;
    current_ = &noMember_;
    sentinel_ = &noMember_;
    idToSlot_ = nullptr;
    presentCount_ = 0;
    memberCount_ = 0;
    baseObject_ = nullptr;
    status_ = 0;
    classId_ = 0;
    version_ = 0;
}

void* CXQOVAObject::TakeSpare(std::size_t bytes) {
    const auto needed = static_cast<std::size_t>(AlignUp(bytes, kStorageAlignment));
    if (needed > spareLeft_) return nullptr;
    void* at = spare_;
    spare_ += needed;
    spareLeft_ -= needed;
    return at;
}

bool CXQOVAObject::InStorage(const void* p) const {
    const auto* byte = static_cast<const unsigned char*>(p);
    return storage_ != nullptr && byte >= storage_ && byte < storage_ + storageSize_;
}

// ---- Life cycle ------------------------------------------------------------

void CXQOVAObject::Reset(std::uint8_t deep) {
    status_ = 0;
    for (CXQOVAData_u* slot = slots_; slot != sentinel_; ++slot) {
        const MemberType type(slot->type_);
        if (type.IsObject()) {
            if (slot->buffer_ == nullptr || deep == 0) continue;
            if (type.IsVector()) {
                static_cast<CXQOVAVector*>(slot->buffer_)->Clear();
            } else {
                static_cast<CXQOVAObject*>(slot->buffer_)->Reset(deep);
            }
        } else if (type.IsArray()) {
            slot->SetData(nullptr, type.WidthCodePlusOne(), 0, type.IsFloat() ? 1 : 0);
        } else {
            std::memset(slot->value_, 0, sizeof slot->value_);
        }
    }
    current_ = sentinel_;
}

std::uint8_t CXQOVAObject::CopySlot(CXQOVAData_u* target, const CXQOVAData_u* source) {
    const MemberType type(target->type_);
    // Objects of one class and version built on different definitions may
    // disagree on a member; such a member is not copied.
    if (source->type_ != type.Byte()) return 0;
    if (type.IsObject()) {
        // A nested object or vector this object could not build (out of
        // memory, or past the nesting limit) cannot take the source's.
        if (target->buffer_ == nullptr) return source->buffer_ == nullptr ? 1 : 0;
        if (type.IsVector()) {
            auto* vector = static_cast<CXQOVAVector*>(target->buffer_);
            if (source->buffer_ != nullptr) return vector->Copy(static_cast<const CXQOVAVector*>(source->buffer_));
            vector->Clear();
            return 1;
        }
        auto* object = static_cast<CXQOVAObject*>(target->buffer_);
        if (source->buffer_ != nullptr) return object->Copy(static_cast<const CXQOVAObject*>(source->buffer_));
        object->Reset(true);
        return 1;
    }
    if (type.IsArray()) {
        const bool text = type.IsText();
        if (text && type.IsUnbounded() && source->elements_ == 0) {
            // A text never set holds no buffer, not even a terminator: the
            // copy holds none either, so that both encode alike.
            target->ReleaseStorage();
            return 1;
        }
        std::uint16_t count = source->elements_;
        if (text && count != 0) --count;
        // An empty array is set from nothing; a text of its terminator alone is the empty text.
        const void* data = source->elements_ == 0 ? nullptr : source->buffer_;
        return target->SetData(data, type.WidthCodePlusOne(), count, type.IsFloat() ? 1 : 0);
    }
    std::memcpy(target->value_, source->value_, sizeof target->value_);
    return 1;
}

// A copy that runs out of its budget fails as a whole: the member refused
// its memory (or its nested copy) fails, and CopyValues then resets the
// object deeply (a reset takes no memory) and returns 0.
std::uint8_t CXQOVAObject::Copy(const CXQOVAObject* source) {
    const xqova::BudgetedOperation operation;
    return CopyValues(source);
}

std::uint8_t CXQOVAObject::CopyValues(const CXQOVAObject* source) {
    if (source == this) return 1;
    if (source == nullptr || source->classId_ != classId_ || source->version_ != version_) {
        Reset(true);
        return 0;
    }
    // Objects of one class and version have the same members, unless one of
    // them ran out of memory while it was built; such a copy would be
    // incomplete.
    std::uint8_t result = presentCount_ == source->presentCount_ ? 1 : 0;
    for (std::uint16_t i = 0; result == 1 && i < presentCount_; ++i) {
        result = CopySlot(slots_ + i, source->slots_ + i);
    }
    if (result == 0) Reset(true);
    current_ = sentinel_;
    return result;
}

// ---- Identity and status ---------------------------------------------------

std::uint16_t CXQOVAObject::Family() const { return GetFamily(classId_); }
std::uint8_t CXQOVAObject::Genus() const { return GetGenus(classId_); }
std::uint8_t CXQOVAObject::Species() const { return GetSpecies(classId_); }

std::uint8_t CXQOVAObject::SetValid(std::uint8_t v) {
    status_ = v == 1 ? static_cast<std::uint8_t>(status_ | 0x40) : static_cast<std::uint8_t>(status_ & ~0x40);
    return v;
}

std::uint8_t CXQOVAObject::SetDirty(std::uint8_t v) {
    status_ = v == 1 ? static_cast<std::uint8_t>(status_ | 0x80) : static_cast<std::uint8_t>(status_ & ~0x80);
    return v;
}

CXQOVAObject* CXQOVAObject::Cast(std::uint32_t classId) {
    for (CXQOVAObject* object = this; object != nullptr; object = object->baseObject_) {
        if (object->classId_ == classId) return object;
    }
    return nullptr;
}

std::uint8_t CXQOVAObject::SetStringTable(CXQOVAStringTable* table) {
    stringTable_ = table;
    return 1;
}
