// Writes the definition block of a class with a scaled member, a text and a
// fixed array, for the Python tests of definitions given as bytes:
// make_scaled_definition FILE
#include <cstdio>

#include "xqova/dictionary/definition_builder.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    xqova::build::ClassDescription d;
    d.name = "CPyScaledDStd";
    d.family = 0x00F1;
    d.species = {{0, "SpSTANDARD"}};
    xqova::build::Member temperature;
    temperature.name = "Temperature";
    temperature.type = 0x01;  // int16
    temperature.units = 5;
    temperature.scaleCoefficient = 5;
    temperature.scaleExponent = -1;
    xqova::build::Member label;
    label.name = "Libell\xe9";  // beyond ASCII: one byte per character
    label.type = 0x48;  // ansichar UNBOUNDED
    xqova::build::Member samples;
    samples.name = "Samples";
    samples.type = 0x83;  // int32, fixed array
    samples.fixedCount = 3;
    d.members = {temperature, label, samples};
    const auto block = xqova::build::BuildDefinition(d, [](std::uint32_t) { return std::string("?"); });
    std::FILE* file = std::fopen(argv[1], "wb");
    if (file == nullptr) return 1;
    const bool ok = std::fwrite(block.data(), 1, block.size(), file) == block.size();
    return std::fclose(file) == 0 && ok ? 0 : 1;
}
