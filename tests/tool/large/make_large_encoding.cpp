// Writes one of the encodings whose XML documents pass 4 GiB
// (tests/support/large_encoding.h) to a file, for the tool's tests:
//   make_large_encoding wide|deep FILE
#include <cstdio>
#include <cstring>

#include "tests/support/large_encoding.h"

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[1], "wide") != 0 && std::strcmp(argv[1], "deep") != 0)) {
        std::fprintf(stderr, "usage: make_large_encoding wide|deep FILE\n");
        return 2;
    }
    const xqova_test::Encoding bytes = std::strcmp(argv[1], "wide") == 0 ? xqova_test::Wide() : xqova_test::Deep();
    std::FILE* file = std::fopen(argv[2], "wb");
    if (file == nullptr) return 1;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok ? 0 : 1;
}
