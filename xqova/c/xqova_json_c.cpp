// JSON documents through the C interface (xqova/c/xqova_json_c.h). Built
// into the JSON component; reaches the handles through the functions the
// core library shares with it (xqova/c/c_internal.h).
#include "xqova/c/xqova_json_c.h"

#include <memory>
#include <string>
#include <vector>

#include "xqova/c/c_internal.h"
#include "xqova/json/definition_json.h"
#include "xqova/json/json.h"
#include "xqova/object/object.h"

using xqova::c_interface::ClearReason;
using xqova::c_interface::CopyText;
using xqova::c_interface::Guarded;
using xqova::c_interface::kNoClass;

namespace {
void DestroyObject(CXQOVAObject* object) { delete object; }
}  // namespace

extern "C" {

xqova_status XQOVA_CALL xqova_object_to_json(xqova_object* object, int32_t indent, char* buffer, uint32_t capacity,
                                             uint32_t* size) {
    if (size != nullptr) *size = 0;
    if (object == nullptr) return xqova_internal_fail(XQOVA_E_ARGUMENT, "object is null");
    return Guarded([&] {
        const std::string text = xqova::ObjectToJson(*xqova_internal_object(object), indent);
        if (text.empty()) return xqova_internal_fail(XQOVA_E_NO_MEMORY, "out of memory");
        return CopyText(text.data(), text.size(), buffer, capacity, size);
    });
}

xqova_status XQOVA_CALL xqova_object_from_json(xqova_dictionary* dictionary, const char* text, uint32_t length,
                                               xqova_object** object, xqova_reason* reason) {
    ClearReason(reason);
    if (object == nullptr) return xqova_internal_fail(XQOVA_E_ARGUMENT, "object is null");
    *object = nullptr;
    xqova_reason local;
    xqova_reason* why_out = reason != nullptr ? reason : &local;
    if (dictionary == nullptr) return xqova_internal_fail(XQOVA_E_ARGUMENT, "dictionary is null");
    if (text == nullptr) return xqova_internal_fail(XQOVA_E_ARGUMENT, "text is null");
    return Guarded([&] {
        xqova::JsonError why;
        std::unique_ptr<CXQOVAObject> built =
            xqova::ObjectFromJson(xqova_internal_dictionary(dictionary), text, length, &why);
        if (!built) {
            if (!why) return xqova_internal_fail(XQOVA_E_NO_MEMORY, "out of memory");
            const std::string message = why.Text();
            // The reason's message is made printable, and the thread's with it.
            xqova_internal_set_reason(why_out, 1, 0, 0, kNoClass, why.path.c_str(), message.c_str());
            return xqova_internal_fail(XQOVA_E_REFUSED, why_out->message);
        }
        return xqova_internal_adopt_object(dictionary, built.release(), DestroyObject, object);
    });
}

xqova_status XQOVA_CALL xqova_dictionary_add_definitions_json(xqova_dictionary* dictionary, const char* text,
                                                              uint32_t length, uint32_t* added, xqova_reason* reason) {
    ClearReason(reason);
    if (added != nullptr) *added = 0;
    if (dictionary == nullptr) return xqova_internal_fail(XQOVA_E_ARGUMENT, "dictionary is null");
    if (text == nullptr) return xqova_internal_fail(XQOVA_E_ARGUMENT, "text is null");
    return Guarded([&] {
        std::vector<std::vector<unsigned char>> blocks;
        xqova::JsonError why;
        if (!xqova::DefinitionBlocksFromJson(text, length, xqova_internal_dictionary(dictionary), &blocks, &why)) {
            if (!why) return xqova_internal_fail(XQOVA_E_NO_MEMORY, "out of memory");
            xqova_reason local;
            xqova_reason* why_out = reason != nullptr ? reason : &local;
            const std::string message = why.Text();
            xqova_internal_set_reason(why_out, 1, 0, 0, kNoClass, why.path.c_str(), message.c_str());
            return xqova_internal_fail(XQOVA_E_REFUSED, why_out->message);
        }
        std::vector<std::uint8_t> all;
        for (const auto& block : blocks) all.insert(all.end(), block.begin(), block.end());
        if (all.size() > 0xFFFFFFFFu) return xqova_internal_fail(XQOVA_E_RANGE, "the blocks exceed 4 GiB");
        return xqova_dictionary_add_definitions(dictionary, all.data(), static_cast<std::uint32_t>(all.size()), added,
                                                reason);
    });
}

}  // extern "C"
