// The NIBP reading class of the built-in device dictionary, as the examples
// use it: its class identifier and its member identifiers (its definition
// positions: the class has no base class, so identifiers and positions agree).
#ifndef XQOVA_EXAMPLES_NIBP_READING_H
#define XQOVA_EXAMPLES_NIBP_READING_H

#include <cstdint>

namespace nibp {

const std::uint32_t kClass = 0x00050000;  // CNIBPDStd: family 5, genus 0, species 0

enum Member : std::uint16_t {
    kSTime = 0,
    kStatus = 1,
    kSystolic = 2,
    kDiastolic = 3,
    kMAP = 4,
    kHR = 5,
    kExtStatus = 6,
    kSource = 7,
    kMode = 8,
    kMethod = 9
};

}  // namespace nibp

#endif
