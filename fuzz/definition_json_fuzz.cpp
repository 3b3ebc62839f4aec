// JSON class definitions from outside compiled against every built-in
// class: the compiler must refuse (saying why) or build blocks the library
// accepts, never crash or run away; what it builds must dump and compile
// back to the same blocks.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "xqova/builtin/builtin.h"
#include "xqova/dictionary/definition.h"
#include "xqova/json/definition_json.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const CXQOVADictionary& dictionary = xqova::AllBuiltinClasses();
    std::vector<std::vector<unsigned char>> blocks;
    xqova::JsonError error;
    if (!xqova::DefinitionBlocksFromJson(reinterpret_cast<const char*>(data), size, &dictionary, &blocks, &error)) {
        if (!error) std::abort();  // a refusal always says why
        return 0;
    }
    std::vector<const void*> pointers;
    for (const std::vector<unsigned char>& block : blocks) {
        if (!xqova::DefinitionIsWellFormed(block.data(), block.size())) std::abort();
        pointers.push_back(block.data());
    }
    std::vector<std::string> inexact;
    const std::string text = xqova::DefinitionBlocksToJson(pointers, &dictionary, &error, false, &inexact);
    if (text.empty() || !inexact.empty()) std::abort();
    std::vector<std::vector<unsigned char>> again;
    if (!xqova::DefinitionBlocksFromJson(text.data(), text.size(), &dictionary, &again, &error) || again != blocks) {
        std::abort();
    }
    return 0;
}
