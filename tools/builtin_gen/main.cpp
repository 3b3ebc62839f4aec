// xqova_builtin_gen: writes the definition blocks of the built-in
// dictionaries from their description.
//
//   xqova_builtin_gen OUTPUT.cpp
//
// scripts/regenerate-builtin.sh runs it on xqova/builtin/builtin_blocks.cpp.
#include <cstdio>
#include <exception>
#include <fstream>

#include "tools/builtin_gen/description.h"
#include "tools/builtin_gen/generate.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.cpp\n", argv[0]);
        return 2;
    }
    try {
        const std::string source =
            xqova::builtin_gen::GenerateBlocksSource(xqova::builtin_gen::SdkChain(), xqova::builtin_gen::DeviceChain());
        std::ofstream file(argv[1], std::ios::binary | std::ios::trunc);
        file << source;
        file.close();
        if (!file) {
            std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
            return 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
        return 1;
    }
    return 0;
}
