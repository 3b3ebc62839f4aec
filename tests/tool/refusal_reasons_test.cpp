// The reasons the library gives for refused encodings (xqova::DecodeObject
// with a report) and the words qova prints for them: each damage is named by
// its check, its offset and the member path leading to it, and what is not
// refused decodes completely.
#include <gtest/gtest.h>

#include <tuple>

#include "tests/tool/tool_test_support.h"
#include "xqova/core/budget.h"
#include "xqova/encoding/decode_report.h"
#include "xqova/object/object.h"

namespace {

using Check = xqova::DecodeCheck;
using namespace tool_test;

// A reading of CNIBPDStd (37 bytes: 2-byte length, 24-byte fixed section).
Bytes Reading() {
    return tool_test::Encode("CNIBPDStd", {"Systolic=120", "Diastolic=80", "Status=STATUS_DATA_COMPLETE"},
                             {"", 0xFFFF, false, true});  // valid
}

// The combined record with its eleven nested objects.
Bytes Record() { return tool_test::Encode("CSESDZentoRec", {"NIBPData.Systolic=120"}); }

// The NIBPData encoding inside the record starts after the header, STime,
// DeviceInfo with its size field, and NIBPData's own size field.
constexpr std::size_t kNestedNIBP = 150;

// The file-system container of the worked example: PathName "A" and one
// clinician setting object, 39 bytes.
Bytes Container() {
    return tool_test::Hex("00 70 12 00 00 00 00 1F 00 C8 00 00 00 00 04 00 41 00 00 00 01"
                          "00 65 08 00 00 0A 00 64 40 00 03 01 00 0A 64 C8 BC CF");
}

// CFileSysDExtStd holds a vector of any class, so it can hold itself: a
// chain of `levels` objects, each the only element of the one before.
Bytes NestedContainers(unsigned levels) {
    Bytes inner;
    for (unsigned level = 0; level < levels; ++level) {
        // PathName empty, then the Container count and the element.
        Bytes variable = {0x00, 0x00, 0x00, static_cast<unsigned char>(inner.empty() ? 0 : 1)};
        variable.insert(variable.end(), inner.begin(), inner.end());
        inner = test_objects::EncodingOf(0x00701200, 200, {}, variable);
    }
    return inner;
}

// The library's reason for refusing `bytes` (none when it accepts them).
xqova::DecodeReport Refusal(const Bytes& bytes) {
    xqova::DecodeReport report;
    const xqova::DecodedObject object =
        xqova::DecodeObject(&TestCatalog().Dictionary(), bytes.data(), bytes.size(), &report);
    EXPECT_EQ(static_cast<bool>(object), !report);
    return report;
}

TEST(RefusalReasons, NamesEachDamageAndPassesSoundEncodings) {
    const std::size_t n = kNestedNIBP;
    Bytes outside = Reading();  // two bytes before the checksum, the length stating them
    outside.insert(outside.end() - 2, {0xAA, 0xBB});
    // What is damaged, the bytes, the report's check, offset, where the failing field starts and member path, and
    // part of the message.
    const std::tuple<const char*, Bytes, Check, std::size_t, std::size_t, std::string, const char*> damages[] = {
        {"three bytes", Cut(Reading(), 3), Check::kHeader, 0, 0, "", "takes 4"},
        {"no length field", Cut(Reading(), 5), Check::kHeader, 0, 0, "", "the header takes 6"},
        {"one byte short", Cut(Reading(), 36), Check::kLength, 0, 0, "",
         "stated length 31 runs past the input: the encoding would be 37 bytes, 36 are there"},
        {"length below the minimum", Cut(Set(Reading(), 4, 2, 6), 12), Check::kTooSmall, 0, 0, "", "at least 13 bytes"},
        {"flipped bit", Flipped(Reading(), 20), Check::kChecksum, 0, 35, "", "checksum mismatch: stored"},
        {"unknown class", Stamped(Set(Reading(), 0, 4, 0x00AB0000)), Check::kUnknownClass, 0, 0, "", "unknown class"},
        {"newer version", Stamped(Set(Reading(), 6, 2, 106)), Check::kNewerVersion, 0, 6, "",
         "version 106 is newer than the dictionary's definition (version 105)"},
        {"fixed section size", Stamped(Set(Reading(), 9, 2, 23)), Check::kFixedSection, 0, 9, "",
         "fixed section of 23 bytes, version 105 of the class has 24"},
        {"bytes outside the members", Stamped(Set(outside, 4, 2, 33)), Check::kLayout, 0, 35, "",
         "2 bytes at offset 35 belong to no member"},
        {"nested checksum", Stamped(Flipped(Record(), n + 20)), Check::kChecksum, n, n + 35, "NIBPData", "checksum"},
        {"nested unknown class", Stamped(Stamped(Set(Record(), n, 4, 0x00050001), n)), Check::kUnknownClass, n,
         n, "NIBPData", "unknown class"},
        {"nested size", Stamped(Set(Record(), n - 4, 4, 38)), Check::kNestedSize, 0, n - 4, "", "member NIBPData"},
        {"nested class", Stamped(Stamped(Set(Record(), n, 4, 0x00650800), n)), Check::kNestedClass, 0, n - 4, "",
         "member NIBPData at offset"},
        {"no whole elements", Stamped(Set(Container(), 14, 1, 3)), Check::kMemberData, 0, 13, "",
         "member PathName at offset 13 holds 3 bytes, not a whole number of 2-byte"},
        {"member past the end", Stamped(Set(Container(), 14, 1, 0x40)), Check::kMemberData, 0, 13, "",
         "member PathName at offset 13 runs past the encoding"},
        {"element missing", Stamped(Set(Container(), 20, 1, 2)), Check::kHeader, 37, 37, "Container[1]",
         "in member Container[1] of CFileSysDExtStd (0x00701200): "},
        {"element of an unknown class", Stamped(Stamped(Set(Container(), 21, 4, 0x00650801), 21)),
         Check::kUnknownClass, 21, 21, "Container[0]",
         "in member Container[0] of CFileSysDExtStd (0x00701200): class 0x00650801 (family 101, genus 8, species 1) "
         "at offset 21: unknown class: the dictionary has no definition for it"},
    };
    for (const auto& [name, bytes, check, offset, at, path, detail] : damages) {
        SCOPED_TRACE(name);
        const xqova::DecodeReport report = Refusal(bytes);
        const std::string words = qova::DescribeRefusal(TestCatalog(), report, bytes.data());
        // The decoder without a report refuses it too (strictly), without a reason; decode refuses it with the same
        // words, whatever the output.
        CXQOVAObject object(&TestCatalog().Dictionary(), xqova::EncodedBytes{bytes.data(), bytes.size()});
        const std::string message = tool_test::FailureOf(
            [&, &bytes = bytes] { qova::DecodeObject(TestCatalog(), bytes, qova::ObjectOutput::kJson, nullptr); });
        const std::uint32_t strict = object.Deserialize(bytes.data(), bytes.size(), 1);
        EXPECT_EQ(std::make_tuple(report.check, report.offset, report.at, report.path, strict, message),
                  std::make_tuple(check, offset, at, path, 0u, words)) << words;
        EXPECT_NE(words.find(detail), std::string::npos) << words;
    }

    // The sound encodings pass and decode whole, nesting as deep as the
    // library builds objects included (one level more is refused: the
    // library's nesting tests).
    for (const Bytes& bytes : {Reading(), Record(), Container(), NestedContainers(32)}) {
        EXPECT_EQ(Refusal(bytes).size, bytes.size());
        std::string warning = "unset";
        EXPECT_NO_THROW(qova::DecodeObject(TestCatalog(), bytes, qova::ObjectOutput::kTable, &warning));
        EXPECT_EQ(warning, "");
    }
    // The budget of one call is a reason too.
    const xqova::ScopedConstructionBudget budget(3, 1u << 20);
    const xqova::DecodeReport report = Refusal(Record());
    EXPECT_EQ(report.check, Check::kOutOfMemory);
    EXPECT_TRUE(report.overBudget);
}

}  // namespace
