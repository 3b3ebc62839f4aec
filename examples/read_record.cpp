// A host reads two members of a combined record (CSESDZentoRec) by name:
// the systolic pressure of its NIBP reading, named and as a physical value
// with its units code, and the patient's identifier.
//
//     read_record RECORD.bin
//
// (`qova encode CSESDZentoRec NIBPData.Systolic=120 Patient.Identifier=P-0042 -o RECORD.bin`
// makes one.)
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "xqova/xqova.h"

int main(int argc, char** argv) {
    if (argc != 2) return std::fprintf(stderr, "usage: read_record RECORD.bin\n"), 2;
    std::ifstream in(argv[1], std::ios::binary);
    const std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};

    CXQOVADictionary dictionary(RER_KLEV_ZENTO::Dictionary());
    CXQOVAStringTable names;
    names.AddDictionaryTables(&dictionary);
    xqova::DecodeReport why;
    xqova::DecodedObject record = xqova::DecodeObject(&dictionary, bytes.data(), bytes.size(), &why);
    if (!record) return std::printf("refused: %s in %s\n", xqova::DecodeCheckName(why.check), why.path), 1;
    xqova::ShareStringTable(record.Get(), &names);  // names for every nested object

    const xqova::MemberLocation systolic = xqova::FindMember(*record, "NIBPData.Systolic");
    const auto pressure = xqova::ReadPhysical(systolic);
    const auto patient = xqova::ReadText(*record, "Patient.Identifier");
    if (!pressure || !patient) return std::printf("no such members\n"), 1;
    std::printf("%s: %g (units code %u)\n", systolic.member->Text(0xFF), pressure->value, pressure->units);
    std::printf("Patient.Identifier: %.*s\n", static_cast<int>(patient->size()), patient->data());
    return 0;
}
