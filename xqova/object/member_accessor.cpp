#include "xqova/dictionary/member_type.h"
#include "xqova/object/member_accessor.h"

#include <cstring>

#include "xqova/core/class_id.h"
#include "xqova/core/memory.h"
#include "xqova/object/numeric.h"
#include "xqova/object/object.h"
#include "xqova/object/vector.h"

using xqova::detail::DoubleToInt32;
using xqova::detail::DoubleToLow32;
using xqova::detail::LoadFloating;
using xqova::detail::SignExtend;

namespace {

std::uint8_t Width(std::uint8_t type) { return xqova::MemberType(type).Width(); }
bool IsFloatKind(std::uint8_t type) { return xqova::MemberType(type).IsFloat(); }
bool IsBitmaskKind(std::uint8_t type) { return xqova::MemberType(type).IsBitmask(); }
bool IsTextKind(std::uint8_t type) { return xqova::MemberType(type).IsText(); }
bool IsUnsignedKind(std::uint8_t type) { return xqova::MemberType(type).IsUnsigned(); }

}  // namespace

CXQOVAData_u::CXQOVAData_u()
    : value_{},
      buffer_(nullptr),
      elements_{},
      size_{},
      type_{},
      position_{},
      attributeSize_{},
      attributes_(nullptr),
      owner_(nullptr) {}

CXQOVAData_u::CXQOVAData_u(std::uint8_t type) : CXQOVAData_u() { type_ = type; }

// ---- Queries ---------------------------------------------------------------

std::uint8_t CXQOVAData_u::Available() const { return IsSentinel() ? 0 : 1; }

std::uint8_t CXQOVAData_u::Size() const {
    const std::uint8_t w = Width(type_);
    if (w == 2) return 8;
    if (w == 6) return 4;
    return static_cast<std::uint8_t>(w + 1);
}

std::uint16_t CXQOVAData_u::Elements() const {
    if (type_ < 0x40) return 1;
    if (Width(type_) == 6) {
        const auto* vector = static_cast<const CXQOVAVector*>(buffer_);
        return vector == nullptr ? 0 : vector->Size();
    }
    if (xqova::MemberType(type_).IsUnbounded() && IsTextKind(type_)) return elements_ == 0 ? 0 : static_cast<std::uint16_t>(elements_ - 1);
    return elements_;
}

std::uint32_t CXQOVAData_u::Alias() const { return attributeSize_ >= 4 ? ReadInt32(attributes_) : 0xFFFFFFFFu; }

std::uint8_t CXQOVAData_u::Units() const { return attributeSize_ >= 5 ? attributes_[4] : 0xFF; }

std::uint16_t CXQOVAData_u::ScaleCoefficient() const { return attributeSize_ >= 7 ? ReadInt16(attributes_ + 5) : 1; }

signed char CXQOVAData_u::ScaleExponent() const {
    return attributeSize_ >= 8 ? static_cast<signed char>(attributes_[7]) : 0;
}

const char* CXQOVAData_u::Text(std::uint8_t language) {
    if (owner_ == nullptr) return nullptr;  // the sentinel has no owner
    std::uint32_t pos = owner_->SlotIndex(this);
    if (owner_->baseObject_ != nullptr) pos += owner_->baseObject_->MemberCount() - 1u;
    return owner_->GetMemberAtText(static_cast<std::uint16_t>(pos), language);
}

// ---- Scalar conversions ----------------------------------------------------

bool CXQOVAData_u::IsConvertibleScalar() const { return xqova::MemberType(type_).IsConvertibleScalar(); }

std::uint32_t CXQOVAData_u::Low32() const { return xqova::detail::LoadLow32(value_, Width(type_)); }

namespace {

}  // namespace

CXQOVAData_u::operator std::int32_t() const {
    if (!IsConvertibleScalar()) return 0;
    if (IsFloatKind(type_)) return DoubleToInt32(LoadFloating(value_, Width(type_)));
    if (IsUnsignedKind(type_)) return static_cast<std::int32_t>(Low32());
    return SignExtend(Low32(), Width(type_));
}

CXQOVAData_u::operator std::uint32_t() const {
    if (!IsConvertibleScalar()) return 0;
    if (IsFloatKind(type_)) return DoubleToLow32(LoadFloating(value_, Width(type_)));
    return Low32();
}

CXQOVAData_u::operator signed char() const { return static_cast<signed char>(static_cast<std::int32_t>(*this)); }
CXQOVAData_u::operator short() const { return static_cast<short>(static_cast<std::int32_t>(*this)); }
CXQOVAData_u::operator char() const { return static_cast<char>(static_cast<std::uint32_t>(*this)); }
CXQOVAData_u::operator unsigned char() const {
    return static_cast<unsigned char>(static_cast<std::uint32_t>(*this));
}
CXQOVAData_u::operator unsigned short() const {
    return static_cast<unsigned short>(static_cast<std::uint32_t>(*this));
}

CXQOVAData_u::operator double() const {
    if (!IsConvertibleScalar()) return 0.0;
    if (IsFloatKind(type_)) return LoadFloating(value_, Width(type_));
    if (IsUnsignedKind(type_)) return static_cast<double>(Low32());
    return static_cast<double>(SignExtend(Low32(), Width(type_)));
}

CXQOVAData_u::operator float() const { return static_cast<float>(static_cast<double>(*this)); }

CXQOVAData_u::operator QOVA_TIME() const {
    QOVA_TIME t{};
    if (type_ == 0x02) std::memcpy(&t, value_, sizeof t);
    return t;
}

// ---- Pointer conversions ---------------------------------------------------

void* CXQOVAData_u::GetPtr(std::uint8_t width, std::uint8_t isFloat) const {
    if (type_ < 0x40 || IsSentinel()) return nullptr;
    if (IsFloatKind(type_) != (isFloat != 0)) return nullptr;
    if (Width(type_) + 1 != width) return nullptr;
    return buffer_;
}

CXQOVAData_u::operator signed char*() const { return static_cast<signed char*>(GetPtr(1, 0)); }
CXQOVAData_u::operator char*() const { return static_cast<char*>(GetPtr(1, 0)); }
CXQOVAData_u::operator unsigned char*() const { return static_cast<unsigned char*>(GetPtr(1, 0)); }
CXQOVAData_u::operator short*() const { return static_cast<short*>(GetPtr(2, 0)); }
CXQOVAData_u::operator unsigned short*() const { return static_cast<unsigned short*>(GetPtr(2, 0)); }
CXQOVAData_u::operator std::int32_t*() const { return static_cast<std::int32_t*>(GetPtr(4, 0)); }
CXQOVAData_u::operator std::uint32_t*() const { return static_cast<std::uint32_t*>(GetPtr(4, 0)); }
CXQOVAData_u::operator float*() const { return static_cast<float*>(GetPtr(4, 1)); }
CXQOVAData_u::operator double*() const { return static_cast<double*>(GetPtr(8, 1)); }
CXQOVAData_u::operator QOVA_TIME*() const { return static_cast<QOVA_TIME*>(GetPtr(3, 0)); }

CXQOVAData_u::operator CXQOVAObject*() const {
    return (type_ == 0x06 || type_ == 0x16) ? static_cast<CXQOVAObject*>(buffer_) : nullptr;
}

CXQOVAData_u::operator CXQOVAVector*() const {
    return (type_ == 0x46 || type_ == 0x86) ? static_cast<CXQOVAVector*>(buffer_) : nullptr;
}

CXQOVAData_u::operator void*() const {
    if (IsSentinel()) return nullptr;
    return (IsArrayAccessor() || type_ == 0x06 || type_ == 0x16) ? buffer_ : nullptr;
}

// ---- Writes ----------------------------------------------------------------

CXQOVAData_u& CXQOVAData_u::operator=(std::uint32_t value) {
    if (IsConvertibleScalar()) StoreNumber(static_cast<double>(value), value);
    return *this;
}

// Every store writes all the bytes a read of the member looks at (a float
// member's 4 or 8, an integer's width), and the rest stay as the slot's reset
// left them: zero.
void CXQOVAData_u::StoreNumber(double real, std::uint32_t bits) {
    const xqova::MemberType type(type_);
    if (type.IsFloat()) {
        xqova::detail::StoreFloating(value_, type.Width(), real);
    } else {
        xqova::detail::StoreLow(value_, type.Width(), bits);
    }
}

std::uint8_t CXQOVAData_u::SetData(const void* data, std::uint8_t width, std::uint16_t count, std::uint8_t isFloat) {
    // No width passed in is 7, an object's width code plus one.
    if (IsSentinel()) return 0;
    if (IsFloatKind(type_) != (isFloat != 0)) return 0;
    if (Width(type_) + 1 != width) return 0;
    const std::uint32_t b = width == 3 ? 8u : width;
    const bool text = IsTextKind(type_);
    const std::uint32_t n = text ? count + 1u : count;

    if (xqova::MemberType(type_).IsFixedArray()) {
        if (buffer_ == nullptr) return 0;  // a fixed array of no elements holds no buffer
        if ((data != nullptr && n == 0) || n > elements_) return 0;
        std::memset(buffer_, 0, size_);
        if (data != nullptr) std::memcpy(buffer_, data, static_cast<std::size_t>(count) * b);
        return 1;
    }
    if (!xqova::MemberType(type_).IsUnbounded()) return 0;

    // UNBOUNDED. The byte size is kept in 16 bits: a larger request is
    // refused before anything changes.
    const std::uint32_t bytes = n * b;
    if (bytes > 0xFFFFu) return 0;
    if (buffer_ != nullptr && (size_ < bytes || n == 0)) {
        if (!owner_->InStorage(buffer_)) xqova::Release(buffer_);
        buffer_ = nullptr;
        size_ = 0;
        elements_ = 0;
    }
    if (buffer_ == nullptr && data == nullptr && count == 0) return 1;  // no buffer has no size
    if (n == 0) return 0;
    if (buffer_ == nullptr) {
        buffer_ = owner_->TakeSpare(bytes);
        if (buffer_ == nullptr) buffer_ = xqova::Allocate(bytes);
        if (buffer_ == nullptr) return 0;  // a member without a buffer has no size nor elements already
        size_ = static_cast<std::uint16_t>(bytes);
    }
    elements_ = static_cast<std::uint16_t>(n);
    std::memset(buffer_, 0, size_);
    if (data != nullptr && count != 0) std::memcpy(buffer_, data, static_cast<std::size_t>(count) * b);
    return 1;
}

std::uint8_t CXQOVAData_u::SetText(const void* data, std::uint8_t width, std::uint16_t count) {
    static const std::uint16_t kZero = 0;
    if (IsTextKind(type_) && data != nullptr && count == 0) return SetData(&kZero, width, 1, 0);
    return SetData(data, width, count, 0);
}

std::uint8_t CXQOVAData_u::Set(const char* data, std::uint16_t count) { return SetText(data, 1, count); }
std::uint8_t CXQOVAData_u::Set(const signed char* data, std::uint16_t count) { return SetData(data, 1, count, 0); }
std::uint8_t CXQOVAData_u::Set(const unsigned char* data, std::uint16_t count) {
    return SetData(data, 1, count, 0);
}
std::uint8_t CXQOVAData_u::Set(const short* data, std::uint16_t count) { return SetData(data, 2, count, 0); }
std::uint8_t CXQOVAData_u::Set(const unsigned short* data, std::uint16_t count) { return SetText(data, 2, count); }
std::uint8_t CXQOVAData_u::Set(const std::int32_t* data, std::uint16_t count) { return SetData(data, 4, count, 0); }
std::uint8_t CXQOVAData_u::Set(const std::uint32_t* data, std::uint16_t count) {
    return SetData(data, 4, count, 0);
}
std::uint8_t CXQOVAData_u::Set(const float* data, std::uint16_t count) { return SetData(data, 4, count, 1); }
std::uint8_t CXQOVAData_u::Set(const double* data, std::uint16_t count) { return SetData(data, 8, count, 1); }
std::uint8_t CXQOVAData_u::Set(const QOVA_TIME* data, std::uint16_t count) { return SetData(data, 3, count, 0); }

// ---- Bits ------------------------------------------------------------------

namespace {

// Where bit k of a BITMASK member lives: the byte, or null when k is outside
// the member. A vector of objects holds no bits: its buffer is the vector.
// Nor does a member that is neither a scalar nor an array (a TIME): it has no
// buffer, as the sentinel has none.
unsigned char* BitByte(unsigned char* value, void* buffer, std::uint8_t type, bool scalar, std::uint32_t elements,
                       std::uint16_t bit) {
    const std::uint8_t w = Width(type);
    if (w == 6) return nullptr;
    const std::uint32_t elementBytes = w == 2 ? 8u : w + 1u;
    if (scalar) return bit < 8u * elementBytes ? value + bit / 8 : nullptr;
    if (buffer == nullptr || bit >= 8u * elementBytes * elements) return nullptr;
    return static_cast<unsigned char*>(buffer) + bit / 8;
}

}  // namespace

std::uint8_t CXQOVAData_u::GetBit(std::uint16_t bit) const {
    if (!IsBitmaskKind(type_)) return 0;
    const unsigned char* byte =
        BitByte(const_cast<unsigned char*>(value_), buffer_, type_, IsConvertibleScalar(), Elements(), bit);
    if (byte == nullptr) return 0;
    return (*byte >> (bit % 8)) & 1u;
}

std::uint8_t CXQOVAData_u::SetBit(std::uint16_t bit, std::uint8_t value) {
    if (!IsBitmaskKind(type_)) return 0;
    unsigned char* byte = BitByte(value_, buffer_, type_, IsConvertibleScalar(), Elements(), bit);
    if (byte == nullptr) return 0;
    const unsigned char mask = static_cast<unsigned char>(1u << (bit % 8));
    if (value != 0) {
        *byte = static_cast<unsigned char>(*byte | mask);
    } else {
        *byte = static_cast<unsigned char>(*byte & ~mask);
    }
    return value;
}

// ---- Storage ---------------------------------------------------------------

void CXQOVAData_u::ReleaseStorage() {
    if (buffer_ == nullptr) return;
    const std::uint8_t w = Width(type_);
    // Nested objects and vectors are always built in the owner's storage:
    // they are ended here and released with it. An array's elements may lie
    // there too, or in a buffer of their own.
    if (w == 6) {
        if (xqova::MemberType(type_).IsArray()) {
            static_cast<CXQOVAVector*>(buffer_)->~CXQOVAVector();
        } else {
            static_cast<CXQOVAObject*>(buffer_)->~CXQOVAObject();
        }
    } else if (xqova::MemberType(type_).IsArray() && !(owner_ != nullptr && owner_->InStorage(buffer_))) {
        xqova::Release(buffer_);
    }
    // Nothing reads the accessor after this today; the cleared fields keep a
    // second release from ending or freeing the same memory should that change.
    buffer_ = nullptr;
    elements_ = 0;
    size_ = 0;
}
