// A small handle over an object that it does not own; member lookups are
// forwarded to the object.
#ifndef XQOVA_OBJECT_OBJECT_PTR_H
#define XQOVA_OBJECT_OBJECT_PTR_H

#include <cstdint>
#include <type_traits>

#include "xqova/core/export.h"
#include "xqova/object/object.h"

class XQOVA_API CXQOVAObjectPtr {
public:
    CXQOVAObjectPtr(CXQOVAObject* object = nullptr) : object_(object) {}
    CXQOVAObjectPtr(const CXQOVAObjectPtr&) = default;
    CXQOVAObjectPtr& operator=(const CXQOVAObjectPtr&) = default;

    operator CXQOVAObject*() const { return object_; }
    CXQOVAObject* operator->() const { return object_; }
    CXQOVAObject& operator*() const { return *object_; }

    // The held object's At / Member. The handle must hold an object. Any
    // integer index is taken, so that `handle[2]` is not ambiguous with the
    // built-in subscript of the converted pointer on 32-bit targets.
    template <class I, typename std::enable_if<std::is_integral<I>::value, int>::type = 0>
    CXQOVAData_u& operator[](I pos) const {
        return object_->At(static_cast<std::uint16_t>(pos));
    }
    template <class I, typename std::enable_if<std::is_integral<I>::value, int>::type = 0>
    CXQOVAData_u& operator()(I id) const {
        return object_->Member(static_cast<std::uint16_t>(id));
    }

private:
    CXQOVAObject* object_;
};

#endif
