#include "xqova/object/vector.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "xqova/core/budgeted_operation.h"
#include "xqova/core/limits.h"
#include "xqova/core/memory.h"
#include "xqova/dictionary/definition.h"
#include "xqova/dictionary/dictionary.h"
#include "xqova/object/object.h"

// ---- Construction and destruction ------------------------------------------

CXQOVAVector::CXQOVAVector(CXQOVADictionary* dictionary, std::uint32_t classId, std::uint16_t fixedCount,
                           std::uint16_t version, unsigned depth)
    : dictionary_(dictionary),
      elements_(nullptr),
      size_(0),
      capacity_(0),
      classId_(classId),
      fixedCount_(fixedCount),
      version_(version),
      depth_(depth),
      shells_(false) {
    if (fixedCount == 0) return;

    // The elements a fixed vector creates now are constructed in the same
    // allocation as the array that points at them.
    const bool creates = classId != xqova::kNoClass;
    const std::size_t bytes = ShellsAt(fixedCount) + (creates ? sizeof(CXQOVAObject) * fixedCount : 0);
    elements_ = static_cast<CXQOVAObject**>(xqova::Allocate(bytes));
    if (elements_ == nullptr) return;  // capacity 0: every insertion is refused
    capacity_ = fixedCount;
    std::fill_n(elements_, fixedCount, nullptr);
    if (!creates) return;
    shells_ = true;

    const void* definition = dictionary_ == nullptr ? nullptr : dictionary_->GetDefinition(classId);
    unsigned char* shells = reinterpret_cast<unsigned char*>(elements_) + ShellsAt(fixedCount);
    for (std::uint16_t i = 0; i < fixedCount; ++i) {
        CXQOVAObject* element = CXQOVAObject::CreateAt(shells + sizeof(CXQOVAObject) * i, dictionary_, definition,
                                                       classId, version, {}, depth_);
        if (element == nullptr) break;
        elements_[i] = element;
        ++size_;
    }
}

// Elements end in the reverse order of their making; their array goes last.
CXQOVAVector::~CXQOVAVector() {
    for (std::uint32_t i = size_; i > 0; --i) DestroyElement(elements_[i - 1]);
    xqova::Release(elements_);
}

CXQOVAVector* CXQOVAVector::CreateAt(void* memory, CXQOVADictionary* dictionary, std::uint32_t classId,
                                     std::uint16_t fixedCount, std::uint16_t version, unsigned depth) {
    return new (memory) CXQOVAVector(dictionary, classId, fixedCount, version, depth);
}

std::size_t CXQOVAVector::ShellsAt(std::uint16_t fixedCount) {
    const std::size_t pointers = sizeof(CXQOVAObject*) * fixedCount;
    return (pointers + alignof(CXQOVAObject) - 1) / alignof(CXQOVAObject) * alignof(CXQOVAObject);
}

bool CXQOVAVector::InShells(const CXQOVAObject* element) const {
    if (!shells_) return false;
    const auto* first = reinterpret_cast<const unsigned char*>(elements_) + ShellsAt(fixedCount_);
    const auto* at = reinterpret_cast<const unsigned char*>(element);
    return at >= first && at < first + sizeof(CXQOVAObject) * fixedCount_;
}

void CXQOVAVector::DestroyElement(CXQOVAObject* element) const {
    if (InShells(element)) {
        element->~CXQOVAObject();
    } else {
        CXQOVAObject::Destroy(element);
    }
}

// ---- Access ----------------------------------------------------------------

CXQOVAObject* CXQOVAVector::At(std::uint16_t index) const { return index < size_ ? elements_[index] : nullptr; }
CXQOVAObject* CXQOVAVector::Front() const { return size_ == 0 ? nullptr : elements_[0]; }
CXQOVAObject* CXQOVAVector::Back() const { return size_ == 0 ? nullptr : elements_[size_ - 1]; }

// ---- Insertion -------------------------------------------------------------

CXQOVAObject* CXQOVAVector::Insert(std::uint16_t pos, const CXQOVAObject* source, const void* definition,
                                   std::uint32_t classId, std::uint16_t version) {
    if (source == nullptr && definition == nullptr && classId == xqova::kNoClass) return nullptr;
    if (pos > size_ || capacity_ < fixedCount_) return nullptr;
    const std::uint32_t elementClass =
        source != nullptr ? source->ClassID() : definition != nullptr ? DefinitionClassID(definition) : classId;
    if (fixedCount_ != 0 && size_ >= fixedCount_) return nullptr;
    if (classId_ != xqova::kNoClass && classId_ != elementClass) return nullptr;
    if (fixedCount_ == 0 && size_ == 0xFFFF) return nullptr;

    // The element is built first, so that a failure leaves the vector as it
    // was. One that ran out of its operation's budget on the way is given up
    // whole (xqova/core/budget.h).
    const xqova::BudgetedOperation operation;
    CXQOVAObject* element;
    if (source != nullptr) {
        element = CXQOVAObject::CreateCopy(source, depth_);
    } else if (definition != nullptr) {
        element = CXQOVAObject::Create(dictionary_, definition, elementClass, version, {}, depth_);
    } else {
        element = CXQOVAObject::Create(dictionary_,
                                       dictionary_ == nullptr ? nullptr : dictionary_->GetDefinition(elementClass),
                                       elementClass, version, {}, depth_);
    }
    if (element == nullptr) return nullptr;
    if (xqova::BudgetedOperation::Exhausted()) {
        CXQOVAObject::Destroy(element);
        return nullptr;
    }

    if (fixedCount_ == 0 && capacity_ == size_) {
        // Grows by exactly one entry per insertion into a full array.
        const std::uint16_t capacity = static_cast<std::uint16_t>(size_ + 1);
        auto* grown = static_cast<CXQOVAObject**>(xqova::Allocate(sizeof(CXQOVAObject*) * capacity));
        if (grown == nullptr) {
            CXQOVAObject::Destroy(element);
            return nullptr;
        }
        if (size_ != 0) std::memcpy(grown, elements_, sizeof(CXQOVAObject*) * size_);
        xqova::Release(elements_);
        elements_ = grown;
        capacity_ = capacity;
    }
    if (pos < size_) std::memmove(elements_ + pos + 1, elements_ + pos, sizeof(CXQOVAObject*) * (size_ - pos));
    elements_[pos] = element;
    ++size_;
    return element;
}

CXQOVAObject* CXQOVAVector::Insert(std::uint32_t classId, std::uint16_t pos) {
    return Insert(pos, nullptr, nullptr, classId, 0xFFFF);
}

CXQOVAObject* CXQOVAVector::Insert(std::uint32_t classId, std::uint16_t version, std::uint16_t pos) {
    return Insert(pos, nullptr, nullptr, classId, version);
}

// A null source or definition names no class: the insertion refuses it.
CXQOVAObject* CXQOVAVector::Insert(const CXQOVAObject* source, std::uint16_t pos) {
    return Insert(pos, source, nullptr, xqova::kNoClass, xqova::kCurrentVersion);
}

CXQOVAObject* CXQOVAVector::Insert(const void* definition, std::uint16_t pos) {
    return Insert(pos, nullptr, definition, xqova::kNoClass, xqova::kCurrentVersion);
}

CXQOVAObject* CXQOVAVector::Insert(const void* definition, std::uint16_t version, std::uint16_t pos) {
    return Insert(pos, nullptr, definition, xqova::kNoClass, version);
}

CXQOVAObject* CXQOVAVector::Push(std::uint32_t classId) { return Insert(classId, size_); }
CXQOVAObject* CXQOVAVector::Push(std::uint32_t classId, std::uint16_t version) {
    return Insert(classId, version, size_);
}
CXQOVAObject* CXQOVAVector::Push(const CXQOVAObject* source) { return Insert(source, size_); }
CXQOVAObject* CXQOVAVector::Push(const void* definition) { return Insert(definition, size_); }
CXQOVAObject* CXQOVAVector::Push(const void* definition, std::uint16_t version) {
    return Insert(definition, version, size_);
}

// ---- Removal ---------------------------------------------------------------

void CXQOVAVector::Erase(std::uint16_t index, std::uint16_t count) {
    if (IsFixed()) return;
    if (static_cast<std::uint32_t>(index) + count > size_) return;
    for (std::uint16_t i = 0; i < count; ++i) {
        DestroyElement(elements_[index + i]);
        elements_[index + i] = nullptr;
    }
    const std::uint16_t after = static_cast<std::uint16_t>(size_ - index - count);
    if (after != 0) std::memmove(elements_ + index, elements_ + index + count, sizeof(CXQOVAObject*) * after);
    size_ = static_cast<std::uint16_t>(size_ - count);
    for (std::uint16_t i = size_; i < size_ + count; ++i) elements_[i] = nullptr;
}

// On an empty vector the index is 0xFFFF, past the end: nothing is erased.
void CXQOVAVector::Pop() { Erase(static_cast<std::uint16_t>(size_ - 1), 1); }

void CXQOVAVector::Clear() {
    if (IsFixed()) {
        for (std::uint16_t i = 0; i < size_; ++i) elements_[i]->Reset(true);
        return;
    }
    for (std::uint32_t i = size_; i > 0; --i) {
        DestroyElement(elements_[i - 1]);
        elements_[i - 1] = nullptr;
    }
    size_ = 0;
}

// ---- Copy ------------------------------------------------------------------

std::uint8_t CXQOVAVector::Copy(const CXQOVAVector* source) {
    bool exhausted;
    std::uint8_t result;
    {
        const xqova::BudgetedOperation operation;
        result = CopyElements(source);
        exhausted = xqova::BudgetedOperation::Exhausted();
        if (!operation.Outermost()) return exhausted ? 0 : result;
    }
    // Out of budget: nothing of the copy is kept.
    if (!exhausted) return result;
    Clear();
    return 0;
}

std::uint8_t CXQOVAVector::CopyElements(const CXQOVAVector* source) {
    if (source == this) return 1;
    if (source == nullptr || source->fixedCount_ != fixedCount_ || source->classId_ != classId_) {
        Clear();
        return 0;
    }
    Clear();
    std::uint8_t result = 1;
    if (IsFixed()) {
        // Both hold all their elements unless one ran out of memory.
        if (size_ != source->size_) result = 0;
        for (std::uint16_t i = 0; result == 1 && i < size_; ++i) result = elements_[i]->Copy(source->At(i));
    } else {
        for (std::uint16_t i = 0; result == 1 && i < source->size_; ++i) {
            if (Insert(size_, source->elements_[i], nullptr, xqova::kNoClass, 0xFFFF) == nullptr) result = 0;
        }
    }
    if (result == 0) Clear();
    return result;
}
