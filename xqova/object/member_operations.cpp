// Member lookups, attribute getters, typed setters and member texts.
#include <cstring>

#include "xqova/dictionary/member_type.h"
#include "xqova/core/class_id.h"
#include "xqova/dictionary/definition.h"
#include "xqova/object/numeric.h"
#include "xqova/object/object.h"
#include "xqova/object/vector.h"
#include "xqova/text/string_table.h"

namespace {

bool IsTextKind(std::uint8_t type) { return xqova::MemberType(type).IsText(); }

}  // namespace

// ---- Resolution ------------------------------------------------------------

void CXQOVAObject::FindMember(std::uint16_t id) {
    const std::uint16_t local =
        (baseObject_ != nullptr && id >= inheritedCount_) ? static_cast<std::uint16_t>(id - inheritedCount_) : id;
    if (idToSlot_ != nullptr && local < memberCount_) {
        current_ = slots_ + idToSlot_[local];
    } else {
        current_ = sentinel_;
    }
}

void CXQOVAObject::FindMemberAt(std::uint16_t pos) {
    std::uint32_t slot = pos;
    if (baseObject_ != nullptr) slot = pos + 1u - baseObject_->MemberCount();
    if (slot > presentCount_) slot = presentCount_;
    current_ = slots_ + slot;
}

CXQOVAObject* CXQOVAObject::ResolveMember(std::uint16_t id) {
    CXQOVAObject* object = this;
    while (object->baseObject_ != nullptr && id < object->inheritedCount_) object = object->baseObject_;
    object->FindMember(id);
    return object;
}

CXQOVAObject* CXQOVAObject::ResolveMemberAt(std::uint16_t pos) {
    CXQOVAObject* object = this;
    while (object->baseObject_ != nullptr && pos < object->baseObject_->MemberCount()) object = object->baseObject_;
    object->FindMemberAt(pos);
    return object;
}

CXQOVAObject* CXQOVAObject::ResolveIdToLocal(std::uint16_t id, std::uint16_t* local) {
    CXQOVAObject* object = ResolveMember(id);
    *local = (object->baseObject_ != nullptr && id >= object->inheritedCount_)
                 ? static_cast<std::uint16_t>(id - object->inheritedCount_)
                 : id;
    return object;
}

std::uint16_t CXQOVAObject::SlotIndex(const CXQOVAData_u* accessor) const {
    return static_cast<std::uint16_t>(accessor - slots_);
}

CXQOVAObject* CXQOVAObject::ResolvePositionToLocal(std::uint16_t pos, std::uint16_t* local) {
    CXQOVAObject* object = ResolveMemberAt(pos);
    if (object->current_ == object->sentinel_) return nullptr;
    *local = object->current_->position_;
    return object;
}

// ---- Lookups ---------------------------------------------------------------

CXQOVAData_u& CXQOVAObject::GetMember(std::uint16_t id, std::uint16_t* count) {
    if (count != nullptr) *count = GetMemberNumElements(id);
    return *ResolveMember(id)->current_;
}

CXQOVAData_u& CXQOVAObject::Member(std::uint16_t id) { return *ResolveMember(id)->current_; }
CXQOVAData_u& CXQOVAObject::operator()(std::uint16_t id) { return Member(id); }

CXQOVAData_u& CXQOVAObject::GetMemberAt(std::uint16_t pos, std::uint16_t* count) {
    if (count != nullptr) *count = GetMemberAtNumElements(pos);
    return *ResolveMemberAt(pos)->current_;
}

CXQOVAData_u& CXQOVAObject::At(std::uint16_t pos) { return *ResolveMemberAt(pos)->current_; }
CXQOVAData_u& CXQOVAObject::operator[](std::uint16_t pos) { return At(pos); }

std::uint8_t CXQOVAObject::MemberAvailable(std::uint16_t id) { return Member(id).Available(); }

std::uint16_t CXQOVAObject::MemberCount() {
    if (baseObject_ == nullptr) return presentCount_;
    return static_cast<std::uint16_t>(baseObject_->MemberCount() + presentCount_ - 1u);
}

// ---- Attribute getters -----------------------------------------------------

namespace {

std::uint16_t ElementBytes(const CXQOVAData_u& accessor) {
    return accessor.Type() == xqova::MemberType::kNoMember ? 0 : accessor.Size();
}

}  // namespace

// 1 for a scalar or single object; for an UNBOUNDED text member its
// characters without the terminator; for every other member the accessor's
// element count (a vector's fixed count, 0 for an UNBOUNDED vector).
std::uint16_t CXQOVAObject::NumElementsOf(const CXQOVAData_u& accessor) {
    const std::uint8_t type = accessor.type_;
    if (type == xqova::MemberType::kNoMember) return 0;
    const xqova::MemberType memberType(type);
    if (!memberType.IsArray()) return 1;
    if (memberType.IsUnbounded() && !memberType.IsObject() && IsTextKind(type)) {
        return accessor.elements_ == 0 ? 0 : static_cast<std::uint16_t>(accessor.elements_ - 1);
    }
    return accessor.elements_;
}

std::uint8_t CXQOVAObject::GetMemberType(std::uint16_t id) { return Member(id).Type(); }
std::uint8_t CXQOVAObject::GetMemberAtType(std::uint16_t pos) { return At(pos).Type(); }
std::uint16_t CXQOVAObject::GetMemberSize(std::uint16_t id) { return ElementBytes(Member(id)); }
std::uint16_t CXQOVAObject::GetMemberAtSize(std::uint16_t pos) { return ElementBytes(At(pos)); }
std::uint16_t CXQOVAObject::GetMemberNumElements(std::uint16_t id) { return NumElementsOf(Member(id)); }
std::uint16_t CXQOVAObject::GetMemberAtNumElements(std::uint16_t pos) { return NumElementsOf(At(pos)); }

std::uint32_t CXQOVAObject::GetMemberAlias(std::uint16_t id) {
    std::uint16_t local;
    CXQOVAObject* object = ResolveIdToLocal(id, &local);
    return xqova::DefinitionMemberAlias(object->definition_, local);
}

std::uint8_t CXQOVAObject::GetMemberUnits(std::uint16_t id) {
    std::uint16_t local;
    CXQOVAObject* object = ResolveIdToLocal(id, &local);
    return xqova::DefinitionMemberUnits(object->definition_, local);
}

std::uint16_t CXQOVAObject::GetMemberScaleCoefficient(std::uint16_t id) {
    std::uint16_t local;
    CXQOVAObject* object = ResolveIdToLocal(id, &local);
    return xqova::DefinitionMemberScaleCoefficient(object->definition_, local);
}

signed char CXQOVAObject::GetMemberScaleExponent(std::uint16_t id) {
    std::uint16_t local;
    CXQOVAObject* object = ResolveIdToLocal(id, &local);
    return xqova::DefinitionMemberScaleExponent(object->definition_, local);
}

std::uint32_t CXQOVAObject::GetMemberAtAlias(std::uint16_t pos) {
    std::uint16_t local;
    CXQOVAObject* object = ResolvePositionToLocal(pos, &local);
    return object == nullptr ? 0xFFFFFFFFu : xqova::DefinitionMemberAlias(object->definition_, local);
}

std::uint8_t CXQOVAObject::GetMemberAtUnits(std::uint16_t pos) {
    std::uint16_t local;
    CXQOVAObject* object = ResolvePositionToLocal(pos, &local);
    return object == nullptr ? 0xFF : xqova::DefinitionMemberUnits(object->definition_, local);
}

std::uint16_t CXQOVAObject::GetMemberAtScaleCoefficient(std::uint16_t pos) {
    std::uint16_t local;
    CXQOVAObject* object = ResolvePositionToLocal(pos, &local);
    return object == nullptr ? 1 : xqova::DefinitionMemberScaleCoefficient(object->definition_, local);
}

signed char CXQOVAObject::GetMemberAtScaleExponent(std::uint16_t pos) {
    std::uint16_t local;
    CXQOVAObject* object = ResolvePositionToLocal(pos, &local);
    return object == nullptr ? 0 : xqova::DefinitionMemberScaleExponent(object->definition_, local);
}

// ---- Texts -----------------------------------------------------------------

const char* CXQOVAObject::GetMemberText(std::uint16_t id, std::uint8_t language) {
    CXQOVAObject* object = ResolveMember(id);
    if (object->stringTable_ == nullptr) return nullptr;
    return object->stringTable_->GetMemberString(object->classId_, id, language);
}

const char* CXQOVAObject::GetMemberAtText(std::uint16_t pos, std::uint8_t language) {
    std::uint16_t local;
    CXQOVAObject* object = ResolvePositionToLocal(pos, &local);
    if (object == nullptr) return nullptr;
    return object->GetMemberText(static_cast<std::uint16_t>(object->inheritedCount_ + local), language);
}

const char* CXQOVAObject::GetClassText(std::uint8_t language) {
    if (stringTable_ == nullptr) return nullptr;
    return stringTable_->GetClassText(classId_, language);
}

const char* CXQOVAObject::GetClassText() { return GetClassText(0xFF); }

// ---- Converters on current_ ------------------------------------------------

// The number setters take convertible scalars alone: not arrays, UNBOUNDED
// members or the sentinel.
std::uint8_t CXQOVAObject::SetMember(std::int32_t value) {
    if (!current_->IsConvertibleScalar()) return 0;
    current_->StoreNumber(static_cast<double>(value), static_cast<std::uint32_t>(value));
    return 1;
}

std::uint8_t CXQOVAObject::SetMember(std::uint32_t value) {
    if (!current_->IsConvertibleScalar()) return 0;
    current_->StoreNumber(static_cast<double>(value), value);
    return 1;
}

// A number member gets the double converted toward zero; an out-of-range
// conversion follows the processor's truncating one.
std::uint8_t CXQOVAObject::SetMember(double value) {
    if (!current_->IsConvertibleScalar()) return 0;
    const bool isUnsigned = xqova::MemberType(current_->type_).IsUnsigned();
    current_->StoreNumber(value, isUnsigned ? xqova::detail::DoubleToLow32(value)
                                            : static_cast<std::uint32_t>(xqova::detail::DoubleToInt32(value)));
    return 1;
}

std::uint8_t CXQOVAObject::SetMember(const QOVA_TIME& value) {
    if (current_->type_ != 0x02) return 0;
    static_assert(sizeof value == sizeof current_->value_, "a time fills the whole value");
    std::memcpy(current_->value_, &value, sizeof value);
    return 1;
}

std::uint8_t CXQOVAObject::SetBuffer(const void* data, std::uint8_t width, std::uint16_t count,
                                     std::uint8_t isFloat) {
    return current_->SetData(data, width, count, isFloat);
}

// ---- Typed setters ---------------------------------------------------------

#define XQOVA_SCALAR_SETTERS(TYPE, CONVERTED)                                          \
    std::uint8_t CXQOVAObject::SetMember(std::uint16_t id, TYPE value) {               \
        return ResolveMember(id)->SetMember(CONVERTED);                                \
    }                                                                                  \
    std::uint8_t CXQOVAObject::SetMemberAt(std::uint16_t pos, TYPE value) {            \
        return ResolveMemberAt(pos)->SetMember(CONVERTED);                             \
    }

// A char is sign-extended to 32 bits and then taken as unsigned.
XQOVA_SCALAR_SETTERS(signed char, static_cast<std::int32_t>(value))
XQOVA_SCALAR_SETTERS(char, static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<signed char>(value))))
XQOVA_SCALAR_SETTERS(unsigned char, static_cast<std::uint32_t>(value))
XQOVA_SCALAR_SETTERS(short, static_cast<std::int32_t>(value))
XQOVA_SCALAR_SETTERS(unsigned short, static_cast<std::uint32_t>(value))
XQOVA_SCALAR_SETTERS(std::int32_t, value)
XQOVA_SCALAR_SETTERS(std::uint32_t, value)
XQOVA_SCALAR_SETTERS(float, static_cast<double>(value))
XQOVA_SCALAR_SETTERS(double, value)
XQOVA_SCALAR_SETTERS(const QOVA_TIME&, value)

#undef XQOVA_SCALAR_SETTERS

#define XQOVA_ARRAY_SETTERS(TYPE, WIDTH, FLOAT)                                                        \
    std::uint8_t CXQOVAObject::SetMember(std::uint16_t id, const TYPE* data, std::uint16_t count) {    \
        return ResolveMember(id)->SetBuffer(data, WIDTH, count, FLOAT);                                \
    }                                                                                                  \
    std::uint8_t CXQOVAObject::SetMemberAt(std::uint16_t pos, const TYPE* data, std::uint16_t count) { \
        return ResolveMemberAt(pos)->SetBuffer(data, WIDTH, count, FLOAT);                             \
    }

XQOVA_ARRAY_SETTERS(signed char, 1, false)
XQOVA_ARRAY_SETTERS(unsigned char, 1, false)
XQOVA_ARRAY_SETTERS(short, 2, false)
XQOVA_ARRAY_SETTERS(std::int32_t, 4, false)
XQOVA_ARRAY_SETTERS(std::uint32_t, 4, false)
XQOVA_ARRAY_SETTERS(float, 4, true)
XQOVA_ARRAY_SETTERS(double, 8, true)
XQOVA_ARRAY_SETTERS(QOVA_TIME, 3, false)

#undef XQOVA_ARRAY_SETTERS

// The text forms: a non-null source with count 0 sets the empty text.
std::uint8_t CXQOVAObject::SetMember(std::uint16_t id, const char* data, std::uint16_t count) {
    return ResolveMember(id)->current_->SetText(data, 1, count);
}
std::uint8_t CXQOVAObject::SetMemberAt(std::uint16_t pos, const char* data, std::uint16_t count) {
    return ResolveMemberAt(pos)->current_->SetText(data, 1, count);
}
std::uint8_t CXQOVAObject::SetMember(std::uint16_t id, const unsigned short* data, std::uint16_t count) {
    return ResolveMember(id)->current_->SetText(data, 2, count);
}
std::uint8_t CXQOVAObject::SetMemberAt(std::uint16_t pos, const unsigned short* data, std::uint16_t count) {
    return ResolveMemberAt(pos)->current_->SetText(data, 2, count);
}
