// Writes the sample NIBP reading that the demo receives: a CNIBPDStd object
// of the built-in device dictionary, filled as a blood-pressure monitor fills
// it after a measurement, and encoded by the library.
//
//   make_sample_reading FILE      writes the encoding to FILE
//
// examples/sample_reading.bin is this program's output; a test runs it again
// and compares, so the shipped bytes always match what the library writes.
#include <cstdint>
#include <cstdio>
#include <vector>

#include "examples/nibp_reading.h"
#include "xqova/builtin/builtin.h"
#include "xqova/dictionary/dictionary.h"
#include "xqova/object/object.h"

namespace {

using namespace nibp;


}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_sample_reading FILE\n");
        return 2;
    }
    CXQOVADictionary dictionary(RER_KLEV_ZENTO::Dictionary());
    CXQOVAObject reading(&dictionary, nibp::kClass, 0xFFFF);  // at the definition's own version
    if (reading.GetDefinition() == nullptr) {
        std::fprintf(stderr, "make_sample_reading: the dictionary has no CNIBPDStd\n");
        return 1;
    }

    QOVA_TIME taken = {2024, 3, 5, 14, 32, 10, 0};
    bool ok = reading.SetMember(kSTime, taken) != 0;
    ok = ok && reading.SetMember(kStatus, static_cast<unsigned short>(1)) != 0;    // STATUS_DATA_COMPLETE
    ok = ok && reading.SetMember(kSystolic, static_cast<short>(120)) != 0;
    ok = ok && reading.SetMember(kDiastolic, static_cast<short>(80)) != 0;
    ok = ok && reading.SetMember(kMAP, static_cast<short>(93)) != 0;
    ok = ok && reading.SetMember(kHR, static_cast<unsigned short>(72)) != 0;
    ok = ok && reading.SetMember(kExtStatus, static_cast<unsigned short>(0)) != 0;  // EXTSTATUS_NONE
    ok = ok && reading.SetMember(kSource, static_cast<unsigned short>(10)) != 0;    // SOURCE_STEP
    ok = ok && reading.SetMember(kMode, static_cast<unsigned char>(10)) != 0;       // MODE_ADULT
    ok = ok && reading.SetMember(kMethod, static_cast<unsigned char>(11)) != 0;     // METHOD_STEP_BP
    reading.SetValid(1);
    if (!ok) {
        std::fprintf(stderr, "make_sample_reading: a member was refused\n");
        return 1;
    }

    std::vector<unsigned char> bytes(reading.SizeAll(0xFFFF));
    if (bytes.empty() || reading.Serialize(bytes.data(), bytes.size(), 0xFFFF) != bytes.size()) {
        std::fprintf(stderr, "make_sample_reading: the object could not be encoded\n");
        return 1;
    }
    std::FILE* file = std::fopen(argv[1], "wb");
    if (file == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (std::fclose(file) != 0 || !written) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
