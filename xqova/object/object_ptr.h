// A small handle over an object that it does not own; member lookups are
// forwarded to the object.
#ifndef XQOVA_OBJECT_OBJECT_PTR_H
#define XQOVA_OBJECT_OBJECT_PTR_H

#include <cstdint>
#include <type_traits>

#include "xqova/core/export.h"
#include "xqova/object/object.h"

class XQOVA_API CXQOVAObjectPtr {
    // An index converts to an unsigned short as the object's own forms take
    // it: an integer or an unscoped enumerator (a scoped one does not).
    template <class I>
    using IsIndex = typename std::enable_if<std::is_integral<I>::value ||
                                                (std::is_enum<I>::value && std::is_convertible<I, int>::value),
                                            int>::type;

public:
    CXQOVAObjectPtr(CXQOVAObject* object = nullptr) : object_(object) {}
    CXQOVAObjectPtr(const CXQOVAObjectPtr&) = default;
    CXQOVAObjectPtr& operator=(const CXQOVAObjectPtr&) = default;

    operator CXQOVAObject*() const { return object_; }
    CXQOVAObject* operator->() const { return object_; }
    CXQOVAObject& operator*() const { return *object_; }

    // The held object's At / Member. The handle must hold an object. Any
    // integer or unscoped enumerator is taken as the index, so that
    // `handle[2]` is not ambiguous with the built-in subscript of the
    // converted pointer on 32-bit targets, and `handle[kMember]` never falls
    // to that subscript.
    template <class I, IsIndex<I> = 0>
    CXQOVAData_u& operator[](I pos) const {
        return object_->At(static_cast<std::uint16_t>(pos));
    }
    template <class I, IsIndex<I> = 0>
    CXQOVAData_u& operator()(I id) const {
        return object_->Member(static_cast<std::uint16_t>(id));
    }

private:
    CXQOVAObject* object_;
};

#endif
