// The checks decode makes before it hands bytes to the library: each damage
// is named by its check, its offset and the member path leading to it, and
// what passes the checks decodes completely.
#include <functional>

#include <gtest/gtest.h>

#include "tests/tool/tool_test_support.h"
#include "tools/qova/encoding_check.h"
#include "tools/qova/members.h"
#include "xqova/core/frame_header.h"
#include "xqova/object/object.h"
#include "xqova/object/vector.h"

namespace {

using qova::Check;
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

struct Damage {
    const char* name;
    std::function<Bytes()> make;
    Check check;
    std::size_t offset;
    const char* path;
    const char* detail;  // part of the message
};

TEST(EncodingCheck, NamesEachDamage) {
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
    };
    for (const Damage& d : damages) {
        SCOPED_TRACE(d.name);
        const Bytes bytes = d.make();
        const qova::EncodingProblem problem = qova::CheckEncoding(TestCatalog(), bytes.data(), bytes.size(), nullptr);
        EXPECT_EQ(problem.check, d.check) << qova::CheckName(problem.check) << ": " << problem.detail;
        EXPECT_EQ(problem.offset, d.offset);
        EXPECT_EQ(problem.path, d.path);
        EXPECT_NE(problem.detail.find(d.detail), std::string::npos) << problem.detail;
        // decode refuses it with the same words, whatever the output.
        const std::string message = tool_test::FailureOf(
            [&] { qova::DecodeObject(TestCatalog(), bytes, qova::ObjectOutput::kJson, nullptr); });
        EXPECT_NE(message.find(d.detail), std::string::npos) << message;
    }
}

TEST(EncodingCheck, SoundEncodingsPassAndDecodeWhole) {
    for (const Bytes& bytes : {Reading(), Record()}) {
        qova::EncodingHeader header;
        EXPECT_FALSE(qova::CheckEncoding(TestCatalog(), bytes.data(), bytes.size(), &header));
        EXPECT_EQ(header.total, bytes.size());
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

TEST(EncodingCheck, NestingAsDeepAsTheLibraryBuildsObjects) {
    const Bytes deepest = NestedContainers(32);
    EXPECT_FALSE(qova::CheckEncoding(TestCatalog(), deepest.data(), deepest.size(), nullptr));
    EXPECT_NO_THROW(qova::DecodeObject(TestCatalog(), deepest, qova::ObjectOutput::kJson, nullptr));

    const Bytes tooDeep = NestedContainers(33);
    const qova::EncodingProblem problem =
        qova::CheckEncoding(TestCatalog(), tooDeep.data(), tooDeep.size(), nullptr);
    EXPECT_EQ(problem.check, Check::kTooDeep);
    EXPECT_EQ(problem.offset, 32u * 17u);  // each level adds 17 bytes before its element
    EXPECT_EQ(problem.path.substr(0, 13), "Container[0].");
}

TEST(EncodingCheck, VectorElementsAreCheckedInTurn) {
    // The file-system container of the worked example: PathName "A" and one
    // clinician setting object, 39 bytes.
    CXQOVAObject container(&TestCatalog().Dictionary(), 0x00701200u, 0xFFFF);
    const unsigned short path[] = {'A'};
    ASSERT_EQ(container.SetMember(0, path, 1), 1);
    CXQOVAVector* vector = container.GetMember(1);
    ASSERT_NE(vector, nullptr);
    CXQOVAObject* clinician = vector->Push(0x00650800u);
    ASSERT_NE(clinician, nullptr);
    clinician->SetMember(0, static_cast<unsigned char>(1));
    clinician->SetMember(1, static_cast<unsigned short>(10));
    clinician->SetValid(1);
    Bytes bytes(container.SizeAll(0xFFFF));
    ASSERT_EQ(container.Serialize(bytes.data(), 0xFFFF), bytes.size());
    EXPECT_EQ(bytes, tool_test::Hex("00 70 12 00 00 00 00 1F 00 C8 00 00 00 00 04 00 41 00 00 00 01"
                                    "00 65 08 00 00 0A 00 64 40 00 03 01 00 0A 64 C8 BC CF"));
    EXPECT_FALSE(qova::CheckEncoding(TestCatalog(), bytes.data(), bytes.size(), nullptr));

    // Two elements announced, one there.
    Bytes missing = bytes;
    missing[20] = 0x02;
    StampChecksum(missing.data(), missing.size());
    qova::EncodingProblem problem = qova::CheckEncoding(TestCatalog(), missing.data(), missing.size(), nullptr);
    EXPECT_EQ(problem.check, Check::kHeader);
    EXPECT_EQ(problem.path, "Container[1]");
    EXPECT_EQ(problem.offset, 37u);

    // An element of a class nobody defines.
    Bytes unknown = bytes;
    WriteInt32(unknown.data() + 21, 0x00650801u);
    StampChecksum(unknown.data() + 21, 16);
    StampChecksum(unknown.data(), unknown.size());
    problem = qova::CheckEncoding(TestCatalog(), unknown.data(), unknown.size(), nullptr);
    EXPECT_EQ(problem.check, Check::kUnknownClass);
    EXPECT_EQ(problem.path, "Container[0]");
    EXPECT_EQ(problem.offset, 21u);
    EXPECT_EQ(qova::DescribeProblem(TestCatalog(), problem),
              "in member Container[0] of CFileSysDExtStd (0x00701200): class 0x00650801 (family 101, genus 8, species 1) at offset 21: unknown "
              "class: the dictionary has no definition for it");
}

}  // namespace
