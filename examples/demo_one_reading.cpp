// The road of one reading, from a device to the host's screen.
//
//   demo_one_reading [READING]
//
// A host takes the built-in device dictionary, receives the encoded NIBP
// reading in READING (examples/sample_reading.bin by default), builds the
// object from the bytes, reads its members with their English names and
// value names, corrects one member, encodes the object again and renders it
// as XML. Every step uses the library alone and checks what the library
// returns, as a host would.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "examples/nibp_reading.h"
#include "xqova/builtin/builtin.h"
#include "xqova/core/guid_time.h"
#include "xqova/dictionary/definition.h"
#include "xqova/dictionary/dictionary.h"
#include "xqova/encoding/decode_report.h"
#include "xqova/object/object.h"
#include "xqova/text/string_table.h"

#ifndef XQOVA_SAMPLE_READING
#define XQOVA_SAMPLE_READING "examples/sample_reading.bin"
#endif

namespace {

using namespace nibp;

const std::uint8_t kLanguage = xqova::kCurrentLanguage;

int Fail(const char* what) {
    std::fprintf(stderr, "demo_one_reading: %s\n", what);
    return 1;
}

void Step(int number, const char* title) { std::printf("\n%d. %s\n", number, title); }

// Bytes as hex pairs, 16 to a line, indented.
void PrintBytes(const std::vector<unsigned char>& bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::printf("%s%02X", i % 16 == 0 ? "   " : " ", bytes[i]);
        if (i % 16 == 15 || i + 1 == bytes.size()) std::printf("\n");
    }
}

bool ReadFile(const char* path, std::vector<unsigned char>* bytes) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return false;
    unsigned char chunk[4096];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes->insert(bytes->end(), chunk, chunk + got);
    const bool ok = std::ferror(file) == 0;
    std::fclose(file);
    return ok;
}

const char* BaseName(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash == nullptr ? path : slash + 1;
}

// "STime", "Systolic", ... from the English tables; "?" when missing.
const char* NameOf(CXQOVAObject& reading, std::uint16_t member) {
    const char* name = reading.GetMemberText(member, kLanguage);
    return name != nullptr ? name : "?";
}

// The value name of an enumerated member ("STATUS_DATA_COMPLETE"), or "".
const char* ValueNameOf(CXQOVAStringTable& names, CXQOVAObject& reading, std::uint16_t member, unsigned value) {
    const char* name =
        names.GetEnumeratorString(reading.ClassID(), member, static_cast<std::uint16_t>(value), kLanguage);
    return name != nullptr ? name : "";
}

}  // namespace

int main(int argc, char** argv) {
    const char* path = argc > 1 ? argv[1] : XQOVA_SAMPLE_READING;
    std::printf("The road of one reading: from a blood-pressure monitor to the host's screen\n");

    // 1. The built-in device dictionary: one call, no files.
    Step(1, "The host takes the built-in device dictionary");
    CXQOVADictionary dictionary(RER_KLEV_ZENTO::Dictionary());
    void* nibp = dictionary.GetDefinition(nibp::kClass);
    if (nibp == nullptr) return Fail("the device dictionary has no CNIBPDStd");
    std::printf("   RER_KLEV_ZENTO::Dictionary(): %u class definitions\n",
                static_cast<unsigned>(dictionary.GetDefinitionCount()));
    std::printf("   the NIBP reading class 0x%08X is defined at version %u (%u bytes)\n",
                static_cast<unsigned>(DefinitionClassID(nibp)), static_cast<unsigned>(DefinitionVersion(nibp)),
                static_cast<unsigned>(DefinitionFullSize(nibp)));

    // 2. The bytes as they arrive from the device.
    Step(2, "An encoded NIBP reading arrives");
    std::vector<unsigned char> received;
    if (!ReadFile(path, &received)) return Fail("cannot read the reading");
    std::printf("   %s: %u bytes\n", BaseName(path), static_cast<unsigned>(received.size()));
    PrintBytes(received);

    // 3. The object is built from the bytes, strictly: it is there only when
    //    the bytes and everything nested in them decoded completely, and
    //    otherwise the report says why. The length bounds every read: bytes
    //    from outside are never trusted to state their own size.
    Step(3, "The host builds the object from the bytes");
    xqova::DecodeReport why;
    const xqova::DecodedObject decoded = xqova::DecodeObject(&dictionary, received.data(), received.size(), &why);
    if (!decoded) {
        std::fprintf(stderr, "demo_one_reading: the bytes were refused: %s at offset %lu%s%s\n",
                     xqova::DecodeCheckName(why.check), static_cast<unsigned long>(why.offset),
                     why.path[0] != '\0' ? " in member " : "", why.path);
        return 1;
    }
    CXQOVAObject& reading = *decoded;
    if (reading.ClassID() != nibp::kClass) return Fail("the bytes hold another class than an NIBP reading");
    CXQOVAStringTable names;
    if (names.AddDictionaryTables(&dictionary) == 0) return Fail("the English names could not be built");
    reading.SetStringTable(&names);
    std::printf("   class %s (0x%08X), version %u, %s, checksum holds\n", reading.GetClassText(),
                static_cast<unsigned>(reading.ClassID()), static_cast<unsigned>(reading.Version()),
                reading.IsValid() ? "valid" : "not valid");

    // 4. Members through the accessor's conversions, named by the English
    //    tables.
    Step(4, "The host reads the members, named by the English tables");
    const QOVA_TIME taken = reading.GetMember(kSTime);
    char timeText[32];
    TimeToStr(&taken, timeText);
    const short systolic = reading.GetMember(kSystolic);
    const short diastolic = reading.GetMember(kDiastolic);
    const short map = reading.GetMember(kMAP);
    const unsigned short heartRate = reading.GetMember(kHR);
    std::printf("   %-10s %s\n", NameOf(reading, kSTime), timeText);
    std::printf("   %-10s %d\n", NameOf(reading, kSystolic), systolic);
    std::printf("   %-10s %d\n", NameOf(reading, kDiastolic), diastolic);
    std::printf("   %-10s %d\n", NameOf(reading, kMAP), map);
    std::printf("   %-10s %u\n", NameOf(reading, kHR), static_cast<unsigned>(heartRate));
    const std::uint16_t enumerated[] = {kStatus, kExtStatus, kSource, kMode, kMethod};
    for (std::uint16_t member : enumerated) {
        const std::uint32_t value = reading.GetMember(member);
        std::printf("   %-10s %u  %s\n", NameOf(reading, member), static_cast<unsigned>(value),
                    ValueNameOf(names, reading, member, value));
    }

    // 5. Setters convert and store; they never touch the valid and dirty
    //    flags, which belong to the host.
    Step(5, "The host corrects a member");
    if (reading.SetMember(kSystolic, static_cast<short>(118)) == 0) return Fail("Systolic was refused");
    reading.SetDirty(1);
    std::printf("   %s %d -> %d, and the reading is marked dirty\n", NameOf(reading, kSystolic), systolic,
                static_cast<short>(reading.GetMember(kSystolic)));

    // 6. Encoding again: SizeAll, then Serialize into a buffer of that size,
    //    told its capacity (it refuses rather than write past it).
    Step(6, "The host encodes the object again");
    std::vector<unsigned char> encoded(reading.SizeAll(0xFFFF));
    if (encoded.empty()) return Fail("the object has no size");
    const std::uint32_t written = reading.Serialize(encoded.data(), encoded.size(), 0xFFFF);
    if (written != encoded.size()) return Fail("the encoder wrote another size than it announced");
    std::printf("   SizeAll %u bytes, Serialize wrote %u\n", static_cast<unsigned>(encoded.size()),
                static_cast<unsigned>(written));
    PrintBytes(encoded);
    std::printf("   bytes that differ from the received ones:\n");
    unsigned differences = 0;
    for (std::size_t i = 0; i < encoded.size() && i < received.size(); ++i) {
        if (encoded[i] == received[i]) continue;
        std::printf("     offset %2u: %02X -> %02X\n", static_cast<unsigned>(i), received[i], encoded[i]);
        ++differences;
    }
    if (differences == 0) std::printf("     none\n");

    // 7. XML: the well-formed document of data from a device, XMLSizeAllSafe
    //    (its exact size), then XMLSerializeSafe into a buffer of that size.
    Step(7, "The host renders the object as XML");
    std::vector<char> xml(reading.XMLSizeAllSafe(XML_ENCODING_CHAR, 0xFFFF));
    if (xml.empty()) return Fail("the object has no XML size");
    const std::uint32_t xmlWritten = reading.XMLSerializeSafe(xml.data(), xml.size(), 0xFFFF);
    if (xmlWritten != xml.size()) return Fail("the XML writer refused the object");
    std::printf("   XMLSizeAllSafe %u bytes, XMLSerializeSafe wrote %u (the terminating zero included)\n\n",
                static_cast<unsigned>(xml.size()), static_cast<unsigned>(xmlWritten));
    std::fputs(xml.data(), stdout);
    return 0;
}
