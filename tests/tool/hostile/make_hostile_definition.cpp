// Writes a definition block whose class, member, species and enumerator
// names carry terminal escapes (OSC title, CSI clear screen, BEL), for the
// tool's tests of --definitions: make_hostile_definition FILE
#include <cstdio>

#include "xqova/dictionary/definition_builder.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    xqova::build::ClassDescription d;
    d.name = "CEvil\x1b]0;owned\x07";
    d.family = 0x00F0;
    d.genus = 2;
    d.species = {{0, "Sp\x1b[2J"}};
    xqova::build::Member m;
    m.name = "Mode\x1b[31m";
    m.type = 0x11;
    m.enumerators = {{1, "MODE_\x9b" "1m"}};
    d.members = {m};
    const auto block = xqova::build::BuildDefinition(d, [](std::uint32_t) { return std::string("?"); });
    std::FILE* file = std::fopen(argv[1], "wb");
    if (file == nullptr) return 1;
    const bool ok = std::fwrite(block.data(), 1, block.size(), file) == block.size();
    return std::fclose(file) == 0 && ok ? 0 : 1;
}
