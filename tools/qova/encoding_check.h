// The checks qova makes on an object encoding before it hands the bytes to
// the library, so that a refused input is refused with a reason: which
// class, which offset, which check.
//
// The walk follows the encoding's layout through every nested object and
// vector element, reading nothing outside the bytes it is given. An encoding
// that passes decodes completely: every member the encoding carries reaches
// the object.
#ifndef XQOVA_TOOLS_QOVA_ENCODING_CHECK_H
#define XQOVA_TOOLS_QOVA_ENCODING_CHECK_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/qova/catalog.h"

namespace qova {

enum class Check {
    kNone,
    kHeader,        // too short for its header
    kLength,        // stated length runs past the input
    kTooSmall,      // stated length too small for version, status, fixed size and checksum
    kChecksum,      // checksum mismatch
    kUnknownClass,  // no definition serves the class
    kNewerVersion,  // newer version than the dictionary's definition
    kFixedSection,  // fixed section size disagrees with the definition
    kMemberData,    // a member's bytes run past the encoding, or are no whole elements
    kNestedSize,    // the size stated before a nested encoding disagrees with it
    kNestedClass,   // a nested encoding of another class than the member holds
    kVectorCount,   // a fixed-count vector with another element count
    kLayout,        // bytes left between the last member and the checksum
    kTooDeep        // nested deeper than the library builds objects
};

// The name of a check, as the messages and the tests use it.
const char* CheckName(Check check);

struct EncodingHeader {
    std::uint32_t classId = 0xFFFFFFFFu;
    unsigned width = 2;          // length field width
    std::size_t total = 0;       // size of the whole encoding
    std::uint16_t version = 0;
    std::uint8_t status = 0;
    std::uint16_t fixedSize = 0;
};

struct EncodingProblem {
    Check check = Check::kNone;
    std::size_t offset = 0;             // where the encoding with the problem starts
    std::uint32_t classId = 0xFFFFFFFFu;  // its class, when its identifier was readable
    bool classRead = false;
    std::string path;                   // members leading to it from the outermost object
    std::uint32_t outerClassId = 0xFFFFFFFFu;  // the outermost object's class, when path is not empty
    std::string detail;                 // what is wrong, in words
    explicit operator bool() const { return check != Check::kNone; }
};

// Checks the encoding at the start of `bytes` (of which `length` exist) and
// everything nested in it. Fills `header` with the outermost header as far as
// it was read.
EncodingProblem CheckEncoding(Catalog& catalog, const unsigned char* bytes, std::size_t length,
                              EncodingHeader* header);

// One line for the user: where, which class, what.
std::string DescribeProblem(Catalog& catalog, const EncodingProblem& problem);

}  // namespace qova

#endif
