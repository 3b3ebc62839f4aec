// The definition block of the built-in class CBMICStd, byte for byte: a
// golden vector for the block readers, the dictionary and the builder.
#ifndef XQOVA_TESTS_SUPPORT_BMI_BLOCK_H
#define XQOVA_TESTS_SUPPORT_BMI_BLOCK_H

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "xqova/dictionary/definition_builder.h"

namespace xqova_test {

inline std::vector<unsigned char> BmiBlockBytes() {
    static const unsigned char head[] = {
        0x01, 0x00, 0x11, 0x08, 0x00,  // one species: class 0x00110800
        0x00, 0x64,                    // version 100
        0x00, 0x36,                    // text at 54
        0x01, 0x50,                    // 336 bytes
        0x01, 0x87,                    // XML base 391
        0x00, 0x03,                    // three members
        0x00, 0x64, 0xFF, 0xFF, 0x10,  // Enabled, uint8
        0x00, 0x64, 0xFF, 0xFF, 0x11,  // WeightDisplayUnits, uint16
        0x00, 0x64, 0xFF, 0xFF, 0x11,  // HeightDisplayUnits, uint16
        0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x01, 0x00,
        0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x01, 0x00,
        0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x01, 0x00,
        0x00, 0x03, 0x00, 0x04,                          // M, E
        0xFF, 0xFF, 0x00, 0x46, 0x00, 0x1A, 0x00, 0x4E,  // entries
        0x00, 0x24, 0x00, 0x61, 0x00, 0x14, 0x00, 0x32,
        0x00, 0x1A, 0x00, 0x00, 0x00, 0x3B,              // species 0
        0x00, 0x24, 0x00, 0x00, 0x00, 0x74, 0x00, 0x01, 0x00, 0x91,
        0x00, 0x32, 0x00, 0x00, 0x00, 0xAD, 0x00, 0x01, 0x00, 0xCD, 0x00, 0x02, 0x00, 0xF2,
    };
    static const char strings[] =
        "CBMICStd\0SpSTANDARD\0Enabled\0WeightDisplayUnits\0HeightDisplayUnits\0"
        "WEIGHTDISPLAYUNITS_UNITS_LBS\0WEIGHTDISPLAYUNITS_UNITS_KG\0HEIGHTDISPLAYUNITS_UNITS_INCHES\0"
        "HEIGHTDISPLAYUNITS_UNITS_CENTIMETRES\0HEIGHTDISPLAYUNITS_UNITS_FEET_INCHES";
    std::vector<unsigned char> block(336, 0);
    std::memcpy(block.data(), head, sizeof head);
    std::memcpy(block.data() + sizeof head, strings, sizeof strings);  // the last NUL included
    // One zero byte (offset 333) puts the checksum at an even offset.
    block[334] = 0x49;
    block[335] = 0xDC;
    return block;
}

inline xqova::build::ClassDescription BmiDescription() {
    const auto member = [](const char* name, std::uint8_t type, std::vector<xqova::build::Enumerator> values) {
        xqova::build::Member m;
        m.name = name;
        m.type = type;
        m.enumerators = std::move(values);
        return m;
    };
    xqova::build::ClassDescription d;
    d.name = "CBMICStd";
    d.family = 17;
    d.genus = 8;
    d.species = {{0, "SpSTANDARD"}};
    d.version = 100;
    d.members = {member("Enabled", 0x10, {}),
                 member("WeightDisplayUnits", 0x11, {{0, "WEIGHTDISPLAYUNITS_UNITS_LBS"}, {1, "WEIGHTDISPLAYUNITS_UNITS_KG"}}),
                 member("HeightDisplayUnits", 0x11,
                        {{0, "HEIGHTDISPLAYUNITS_UNITS_INCHES"},
                         {1, "HEIGHTDISPLAYUNITS_UNITS_CENTIMETRES"},
                         {2, "HEIGHTDISPLAYUNITS_UNITS_FEET_INCHES"}})};
    return d;
}

inline std::string NoClassName(std::uint32_t) { return std::string(); }

}  // namespace xqova_test

#endif
