// xqova_builtin_gen: writes the definition blocks of the built-in
// dictionaries from their class definitions in JSON.
//
//   xqova_builtin_gen SDK.json DEVICE.json OUTPUT.cpp
//
// scripts/regenerate-builtin.sh runs it on xqova/builtin/classes/*.json and
// xqova/builtin/builtin_blocks.cpp.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#include "tools/builtin_gen/generate.h"
#include "xqova/json/definition_json.h"

namespace {

bool Compile(const char* path, const char* space, xqova::builtin_gen::Chain* chain) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "xqova_builtin_gen: cannot read %s\n", path);
        return false;
    }
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    xqova::JsonError error;
    chain->space = space;
    if (!xqova::DefinitionsFromJson(text.data(), text.size(), nullptr, &chain->classes, &error)) {
        std::fprintf(stderr, "xqova_builtin_gen: %s: %s\n", path, error.Text().c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s SDK.json DEVICE.json OUTPUT.cpp\n", argv[0]);
        return 2;
    }
    xqova::builtin_gen::Chain sdk, device;
    if (!Compile(argv[1], "RER_SDK", &sdk) || !Compile(argv[2], "RER_KLEV_ZENTO", &device)) return 1;
    std::string error;
    const std::string source = xqova::builtin_gen::GenerateBlocksSource(sdk, device, &error);
    if (source.empty()) {
        std::fprintf(stderr, "%s: %s\n", argv[0], error.c_str());
        return 1;
    }
    std::ofstream file(argv[3], std::ios::binary | std::ios::trunc);
    file << source;
    file.close();
    if (!file) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[3]);
        return 1;
    }
    return 0;
}
