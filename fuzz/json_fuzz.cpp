// JSON text from outside read into objects of every built-in class: the
// reader must refuse or build, never crash or run away; what it builds must
// be written again and read back to the same document.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "xqova/builtin/builtin.h"
#include "xqova/json/json.h"
#include "xqova/object/object.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CXQOVADictionary& dictionary = xqova::AllBuiltinClasses();
    xqova::JsonLimits limits;
    limits.maxObjects = 4096;
    xqova::JsonError error;
    auto object = xqova::ObjectFromJson(&dictionary, reinterpret_cast<const char*>(data), size, &error, limits);
    if (object == nullptr) {
        if (!error) std::abort();  // a refusal always says why
        return 0;
    }
    const std::string once = xqova::ObjectToJson(*object, -1);
    auto again = xqova::ObjectFromJson(&dictionary, once.data(), once.size(), &error);
    if (again == nullptr || xqova::ObjectToJson(*again, -1) != once) std::abort();
    return 0;
}
