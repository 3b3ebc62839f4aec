// What the C interface's two libraries share: the core library (xqova_c.cpp)
// and the JSON component (xqova_json_c.cpp). Not installed.
//
// The JSON component reaches the handles only through the functions below,
// which the core library exports under plain names, so that its shared form
// works against the core's shared library whose other symbols are hidden.
#ifndef XQOVA_C_C_INTERNAL_H
#define XQOVA_C_C_INTERNAL_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>

#include "xqova/c/xqova_c.h"
#include "xqova/core/types.h"

class CXQOVADictionary;
class CXQOVAObject;

extern "C" {
// Records `message` as this thread's last error and returns `status`.
XQOVA_C_API xqova_status XQOVA_CALL xqova_internal_fail(xqova_status status, const char* message);
// Empties this thread's last error; returns XQOVA_OK.
XQOVA_C_API xqova_status XQOVA_CALL xqova_internal_succeed(void);
// Empties a reason (null allowed), or fills it: texts cut to fit, the
// message made printable ASCII.
XQOVA_C_API void XQOVA_CALL xqova_internal_set_reason(xqova_reason* reason, int32_t check, std::uint32_t offset,
                                                    std::uint32_t at, std::uint32_t class_id, const char* path,
                                                    const char* message);
XQOVA_C_API CXQOVADictionary* XQOVA_CALL xqova_internal_dictionary(xqova_dictionary* dictionary);
XQOVA_C_API CXQOVAObject* XQOVA_CALL xqova_internal_object(xqova_object* object);
// A handle for an object built on `dictionary`, which it then owns and
// destroys through `destroy`; it gets the dictionary's names. On failure the
// object is destroyed.
XQOVA_C_API xqova_status XQOVA_CALL xqova_internal_adopt_object(xqova_dictionary* dictionary, CXQOVAObject* object,
                                                              void (*destroy)(CXQOVAObject*), xqova_object** handle);
}

namespace xqova {
namespace c_interface {

// Runs `body` (which returns an xqova_status) and keeps every exception
// inside: memory running out becomes XQOVA_E_NO_MEMORY, anything else
// XQOVA_E_INTERNAL.
template <class Body>
xqova_status Guarded(Body body) {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return xqova_internal_fail(XQOVA_E_NO_MEMORY, "out of memory");
    } catch (...) {
        return xqova_internal_fail(XQOVA_E_INTERNAL, "unexpected failure inside the library");
    }
}

// A reason's class when no class was read.
using xqova::kNoClass;

// Empties a reason (null allowed): no check, no class, no texts.
inline void ClearReason(xqova_reason* reason) {
    xqova_internal_set_reason(reason, 0, 0, 0, kNoClass, nullptr, nullptr);
}

// The caller-buffer convention: `size` gets `needed`; a null buffer with
// capacity 0 is a size query; a buffer too small gets nothing.
inline xqova_status CheckRoom(const void* buffer, std::uint32_t capacity, std::uint64_t needed, std::uint32_t* size) {
    if (size == nullptr) return xqova_internal_fail(XQOVA_E_ARGUMENT, "size is null");
    if (needed > 0xFFFFFFFFu) return xqova_internal_fail(XQOVA_E_RANGE, "the result exceeds 4 GiB");
    *size = static_cast<std::uint32_t>(needed);
    if (buffer == nullptr && capacity == 0) return xqova_internal_succeed();
    if (buffer == nullptr) return xqova_internal_fail(XQOVA_E_ARGUMENT, "buffer is null");
    if (capacity < needed) return xqova_internal_fail(XQOVA_E_BUFFER_TOO_SMALL, "the buffer is too small");
    return XQOVA_OK;
}

// Copies `length` bytes of text and a terminating zero out under CheckRoom.
inline xqova_status CopyText(const char* text, std::size_t length, char* buffer, std::uint32_t capacity,
                             std::uint32_t* size) {
    const xqova_status room = CheckRoom(buffer, capacity, std::uint64_t{length} + 1, size);
    if (room != XQOVA_OK || buffer == nullptr) return room;
    std::copy_n(text, length, buffer);
    buffer[length] = '\0';
    return xqova_internal_succeed();
}

}  // namespace c_interface
}  // namespace xqova

#endif
