// A small handle over an object that it does not own; member lookups are
// forwarded to the object.
#ifndef XQOVA_OBJECT_OBJECT_PTR_H
#define XQOVA_OBJECT_OBJECT_PTR_H

#include <cstdint>

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

    // The held object's At / Member. The handle must hold an object.
    CXQOVAData_u& operator[](std::uint16_t pos) const { return object_->At(pos); }
    CXQOVAData_u& operator()(std::uint16_t id) const { return object_->Member(id); }

private:
    CXQOVAObject* object_;
};

#endif
