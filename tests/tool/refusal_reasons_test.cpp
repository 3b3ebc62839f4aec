// The reasons the library gives for refused encodings (xqova::DecodeObject
// with a report) and the words qova prints for them: each damage is named by
// its check, its offset and the member path leading to it, and what is not
// refused decodes completely.
#include <functional>

#include <gtest/gtest.h>

#include "tests/tool/tool_test_support.h"
#include "tools/qova/commands.h"
#include "tools/qova/members.h"
#include "xqova/core/budget.h"
#include "xqova/encoding/decode_report.h"
#include "xqova/core/frame_header.h"
#include "xqova/object/object.h"
#include "xqova/object/vector.h"

namespace {

using Check = xqova::DecodeCheck;
using tool_test::Bytes;
using tool_test::StampChecksum;
using tool_test::TestCatalog;

// A reading of CNIBPDStd (37 bytes: 2-byte length, 24-byte fixed section).
Bytes Reading() {
    return tool_test::Encode("CNIBPDStd", {"Systolic=120", "Diastolic=80", "Status=STATUS_DATA_COMPLETE"}, true);
}

// The reading with the field of `width` bytes at `at` set to `value` and its
// checksum stamped again.
Bytes Patched(std::size_t at, int width, std::uint32_t value) {
    Bytes b = Reading();
    if (width == 2) {
        WriteInt16(b.data() + at, static_cast<std::uint16_t>(value));
    } else {
        WriteInt32(b.data() + at, value);
    }
    StampChecksum(b.data(), b.size());
    return b;
}

// The combined record with its eleven nested objects.
Bytes Record() { return tool_test::Encode("CSESDZentoRec", {"NIBPData.Systolic=120"}); }

// Offset of the NIBPData encoding inside the record: the variable section
// starts after the header and the fixed section (STime); DeviceInfo's size
// field and encoding come first, then NIBPData's own size field.
std::size_t NestedNIBPAt(const Bytes& record) {
    const std::size_t width = xqova::LengthFieldWidth(ReadInt32(record.data()));
    const std::size_t variable = 9 + width + ReadInt16(record.data() + 7 + width);
    return variable + 4 + ReadInt32(record.data() + variable) + 4;
}

std::size_t EncodedSizeOfNested(const Bytes& b, std::size_t at) { return xqova::EncodedSize(b.data() + at); }

// The library's reason for refusing `bytes` (none when it accepts them).
xqova::DecodeReport Refusal(const Bytes& bytes) {
    xqova::DecodeReport report;
    const xqova::DecodedObject object =
        xqova::DecodeObject(&TestCatalog().Dictionary(), bytes.data(), bytes.size(), &report);
    EXPECT_EQ(static_cast<bool>(object), !report);
    return report;
}

// The file-system container of the worked example: PathName "A" and one
// clinician setting object, 39 bytes.
Bytes Container() {
    return tool_test::Hex("00 70 12 00 00 00 00 1F 00 C8 00 00 00 00 04 00 41 00 00 00 01"
                          "00 65 08 00 00 0A 00 64 40 00 03 01 00 0A 64 C8 BC CF");
}

struct Damage {
    const char* name;
    std::function<Bytes()> make;
    Check check;
    std::size_t offset;
    const char* path;
    const char* detail;  // part of the message
};

TEST(RefusalReasons, NamesEachDamage) {
    const Damage damages[] = {
        {"three bytes", [] { Bytes b = Reading(); b.resize(3); return b; }, Check::kHeader, 0, "", "takes 4"},
        {"no length field", [] { Bytes b = Reading(); b.resize(5); return b; }, Check::kHeader, 0, "",
         "the header takes 6"},
        {"one byte short", [] { Bytes b = Reading(); b.pop_back(); return b; }, Check::kLength, 0, "",
         "stated length 31 runs past the input: the encoding would be 37 bytes, 36 are there"},
        {"length below the minimum",
         [] {
             Bytes b = Reading();
             WriteInt16(b.data() + 4, 6);
             return b;
         },
         Check::kTooSmall, 0, "", "at least 13 bytes"},
        {"flipped bit", [] { Bytes b = Reading(); b[20] ^= 0x01; return b; }, Check::kChecksum, 0, "",
         "checksum mismatch: stored"},
        {"unknown class", [] { return Patched(0, 4, 0x00AB0000); }, Check::kUnknownClass, 0, "", "unknown class"},
        {"newer version", [] { return Patched(6, 2, 106); }, Check::kNewerVersion, 0, "",
         "version 106 is newer than the dictionary's definition (version 105)"},
        {"fixed section size", [] { return Patched(9, 2, 23); }, Check::kFixedSection, 0, "",
         "fixed section of 23 bytes, version 105 of the class has 24"},
        {"bytes outside the members",
         [] {
             Bytes b = Reading();
             b.insert(b.end() - 2, {0xAA, 0xBB});
             WriteInt16(b.data() + 4, static_cast<std::uint16_t>(b.size() - 6));
             StampChecksum(b.data(), b.size());
             return b;
         },
         Check::kLayout, 0, "", "2 bytes at offset 35 belong to no member"},
        {"nested checksum",
         [] {
             Bytes b = Record();
             b[NestedNIBPAt(b) + 20] ^= 0x01;
             StampChecksum(b.data(), b.size());
             return b;
         },
         Check::kChecksum, NestedNIBPAt(Record()), "NIBPData", "checksum mismatch"},
        {"nested unknown class",
         [] {
             Bytes b = Record();
             const std::size_t at = NestedNIBPAt(b);
             WriteInt32(b.data() + at, 0x00050001);
             StampChecksum(b.data() + at, EncodedSizeOfNested(b, at));
             StampChecksum(b.data(), b.size());
             return b;
         },
         Check::kUnknownClass, NestedNIBPAt(Record()), "NIBPData", "unknown class"},
        {"nested size field",
         [] {
             Bytes b = Record();
             const std::size_t at = NestedNIBPAt(b);
             WriteInt32(b.data() + at - 4, ReadInt32(b.data() + at - 4) + 1);
             StampChecksum(b.data(), b.size());
             return b;
         },
         Check::kNestedSize, 0, "", "member NIBPData"},
        {"nested class",
         [] {
             Bytes b = Record();
             const std::size_t at = NestedNIBPAt(b);
             WriteInt32(b.data() + at, 0x00650800u);  // a class the dictionary knows
             StampChecksum(b.data() + at, EncodedSizeOfNested(b, at));
             StampChecksum(b.data(), b.size());
             return b;
         },
         Check::kNestedClass, 0, "", "member NIBPData at offset"},
        {"no whole elements",
         [] {
             Bytes b = Container();
             b[14] = 0x03;
             StampChecksum(b.data(), b.size());
             return b;
         },
         Check::kMemberData, 0, "", "member PathName at offset 13 holds 3 bytes, not a whole number of 2-byte"},
        {"member past the end",
         [] {
             Bytes b = Container();
             b[14] = 0x40;
             StampChecksum(b.data(), b.size());
             return b;
         },
         Check::kMemberData, 0, "", "member PathName at offset 13 runs past the encoding"},
    };
    for (const Damage& d : damages) {
        SCOPED_TRACE(d.name);
        const Bytes bytes = d.make();
        const xqova::DecodeReport report = Refusal(bytes);
        const std::string words = qova::DescribeRefusal(TestCatalog(), report, bytes.data());
        EXPECT_EQ(report.check, d.check) << xqova::DecodeCheckName(report.check) << ": " << words;
        EXPECT_EQ(report.offset, d.offset);
        EXPECT_STREQ(report.path, d.path);
        EXPECT_NE(words.find(d.detail), std::string::npos) << words;
        // The decoder without a report refuses it too (strictly), without a reason.
        CXQOVAObject object(&TestCatalog().Dictionary(), xqova::EncodedBytes{bytes.data(), bytes.size()});
        EXPECT_EQ(object.Deserialize(bytes.data(), bytes.size(), 1), 0u);
        // decode refuses it with the same words, whatever the output.
        const std::string message = tool_test::FailureOf(
            [&] { qova::DecodeObject(TestCatalog(), bytes, qova::ObjectOutput::kJson, nullptr); });
        EXPECT_NE(message.find(d.detail), std::string::npos) << message;
    }
}

TEST(RefusalReasons, SoundEncodingsPassAndDecodeWhole) {
    for (const Bytes& bytes : {Reading(), Record(), Container()}) {
        EXPECT_FALSE(Refusal(bytes));
        EXPECT_EQ(Refusal(bytes).size, bytes.size());
        std::string warning = "unset";
        EXPECT_NO_THROW(qova::DecodeObject(TestCatalog(), bytes, qova::ObjectOutput::kTable, &warning));
        EXPECT_EQ(warning, "");
    }
    // Bytes after a sound encoding are reported, not decoded.
    Bytes longer = Reading();
    longer.push_back(0x00);
    std::string warning;
    qova::DecodeObject(TestCatalog(), longer, qova::ObjectOutput::kTable, &warning);
    EXPECT_EQ(warning, "1 bytes after the encoding (from offset 37) were not read");
    // The budget of one call is a reason too.
    const xqova::ScopedConstructionBudget budget(3, 1u << 20);
    const xqova::DecodeReport report = Refusal(Record());
    EXPECT_EQ(report.check, Check::kOutOfMemory);
    EXPECT_TRUE(report.overBudget);
}

// CFileSysDExtStd holds a vector of any class, so it can hold itself: a
// chain of `levels` objects, each the only element of the one before.
Bytes NestedContainers(unsigned levels) {
    Bytes inner;
    for (unsigned level = 0; level < levels; ++level) {
        // id, 4-byte length, version 200, status, fixed size 0, PathName
        // (empty), Container count, the element, checksum.
        Bytes b = {0x00, 0x70, 0x12, 0x00, 0, 0, 0, 0, 0x00, 0xC8, 0x00, 0x00, 0x00, 0x00, 0x00};
        b.push_back(0x00);
        b.push_back(inner.empty() ? 0x00 : 0x01);
        b.insert(b.end(), inner.begin(), inner.end());
        b.push_back(0);
        b.push_back(0);
        WriteInt32(b.data() + 4, static_cast<std::uint32_t>(b.size() - 8));
        StampChecksum(b.data(), b.size());
        inner = b;
    }
    return inner;
}

TEST(RefusalReasons, NestingAsDeepAsTheLibraryBuildsObjects) {
    const Bytes deepest = NestedContainers(32);
    EXPECT_FALSE(Refusal(deepest));
    EXPECT_NO_THROW(qova::DecodeObject(TestCatalog(), deepest, qova::ObjectOutput::kJson, nullptr));

    const Bytes tooDeep = NestedContainers(33);
    const xqova::DecodeReport report = Refusal(tooDeep);
    EXPECT_EQ(report.check, Check::kTooDeep);
    EXPECT_EQ(std::string(report.path).substr(0, 13), "Container[0].");
}

TEST(RefusalReasons, VectorElementsAreCheckedInTurn) {
    // Two elements announced, one there.
    Bytes missing = Container();
    missing[20] = 0x02;
    StampChecksum(missing.data(), missing.size());
    xqova::DecodeReport report = Refusal(missing);
    EXPECT_EQ(report.check, Check::kHeader);
    EXPECT_STREQ(report.path, "Container[1]");
    EXPECT_EQ(report.offset, 37u);

    // An element of a class nobody defines.
    Bytes unknown = Container();
    WriteInt32(unknown.data() + 21, 0x00650801u);
    StampChecksum(unknown.data() + 21, 16);
    StampChecksum(unknown.data(), unknown.size());
    report = Refusal(unknown);
    EXPECT_EQ(report.check, Check::kUnknownClass);
    EXPECT_STREQ(report.path, "Container[0]");
    EXPECT_EQ(report.offset, 21u);
    EXPECT_EQ(qova::DescribeRefusal(TestCatalog(), report, unknown.data()),
              "in member Container[0] of CFileSysDExtStd (0x00701200): class 0x00650801 (family 101, genus 8, species 1) at offset 21: unknown "
              "class: the dictionary has no definition for it");
}

}  // namespace
