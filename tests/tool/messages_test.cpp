// Message frames built from field values, decoded with reasons for refusal,
// and byte streams split into frames.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "tests/support/mutations.h"
#include "tests/support/timing.h"

#include "tests/tool/tool_test_support.h"
#include "tools/qova/messages.h"

namespace {

using qova::Json;
using namespace tool_test;

TEST(MessageFrames, FieldsRoundTripRefusalsSayWhyAndXmlIsTheSafeForm) {
    const std::tuple<const char*, std::vector<std::string>, const char*> cases[] = {  // message, fields, the fields decoded
        {"CConDStd",
         {"DeviceGUID={00112233-4455-6677-8899-AABBCCDDEEFF}", "SourceID=bedside 4", "Reserved=1,2,255"},
         R"({"DeviceGUID":"{00112233-4455-6677-8899-AABBCCDDEEFF}","SourceID":"bedside 4","Reserved":[1,2,255]})"},
        {"CConDStd", {}, R"({"DeviceGUID":"{00000000-0000-0000-0000-000000000000}","SourceID":"","Reserved":[]})"},
        {"CConDDescriptor", {"Descriptor=DESCRIPTOR_KEEPALIVE_TIMEOUT", "Data=9"},
         R"({"Descriptor":1,"DescriptorName":"DESCRIPTOR_KEEPALIVE_TIMEOUT","Data":[9]})"},
        {"CConDDescriptor", {"Descriptor=7"}, R"({"Descriptor":7,"Data":[]})"},
        {"CRNDZDStd", {"RERVersion=0x0203", "Data=4,5", "DeviceGUID=000102030405060708090A0B0C0D0E0F"},
         R"({"DeviceGUID":"{00010203-0405-0607-0809-0A0B0C0D0E0F}","RERVersion":515,"Data":[4,5]})"},
    };
    for (const auto& [message, fields, expected] : cases) {
        const Bytes frame = qova::EncodeMessageFrame(message, fields, 0);
        EXPECT_EQ(qova::DecodeMessageFrame(TestCatalog(), frame).document["fields"], Json::parse(expected)) << message;
    }

    // Frames refused on decoding, and field values refused on encoding, say why.
    const Bytes good = qova::EncodeMessageFrame("CRNDZDStd", {"Data=1,2,3"}, 0);
    // The message encoded with the field, or (null) the frame decoded, and the reason.
    const std::tuple<const char*, const char*, Bytes, const char*> refusals[] = {
        {nullptr, nullptr, Cut(good, 3), "too short for its header: 3 bytes"},
        {nullptr, nullptr, Cut(good, good.size() - 1), "stated length 30 runs past the input"},
        {nullptr, nullptr, Flipped(good, 12), "checksum mismatch"},
        {nullptr, nullptr, Stamped(Set(good, 6, 2, 102)),
         "payload version 102 is newer than CRNDZDStd reads (101)"},
        // DataLength says 6: three bytes and the checksum follow.
        {nullptr, nullptr, Stamped(Set(good, 29, 2, 6)), "the payload does not decode"},
        {nullptr, nullptr, tool_test::Encode("CNIBPDStd", {}), "is an object encoding, not a message frame"},
        {nullptr, nullptr, Stamped(Set(good, 0, 4, 0x00AB0000)), "not a message class"},
        {nullptr, nullptr, Hex("00 1D 00 00 00 01 AA"), "stated length 1 is too small"},
        {"CConDStd", "Color=1", {},
         "CConDStd has no field Color (fields: DeviceGUID, SourceID, Reserved, DataBitField)"},
        {"CConDStd", "DeviceGUID={0011}", {}, "DeviceGUID: a GUID has 16 bytes"},
        {"CConDStd", "Reserved=1,300", {}, "Reserved: '300' is not a number from 0 to 255"},
        {"CConDDescriptor", "Descriptor=DESCRIPTOR_SLEEPY", {},
         "Descriptor: 'DESCRIPTOR_SLEEPY' is not a number"},
        {"CRNDZDStd", "RERVersion=65536", {}, "RERVersion: '65536' is not a number from 0 to 65535"},
        {"CRNDZDStd", "DataBitField=256", {}, "DataBitField: '256' is not a number from 0 to 255"},
        {"CConDFax", "Data=1", {}, "unknown message CConDFax"},
        {"CConDStd", "NoEquals", {}, "expected Field=value"},
        // A list of frames whose last one is cut short (a list of whole ones is a command-line case).
        {"CConDExtLst", "ConnectionList=00 1E 00 03 00 0B 00 64 00 00 02 00 02 00 00 08 EA 00 05 00 00 00 1F", {},
         "ConnectionList: the bytes at offset 17 are not a whole frame"},
    };
    for (const auto& [message, field, frame, reason] : refusals) {
        const std::string failure = FailureOf([&, message = message, field = field, &frame = frame] {
            if (message != nullptr) qova::EncodeMessageFrame(message, {field}, 0);
            if (message == nullptr) qova::DecodeMessageFrame(TestCatalog(), frame);
        });
        EXPECT_NE(failure.find(reason), std::string::npos) << reason << ": " << failure;
    }

    // A frame's XML is the well-formed form where the message has one (the
    // connection message with its text), the exact form beside it; the other
    // messages, without text, have the one rendering.
    const Bytes frame = qova::EncodeMessageFrame("CConDStd", {"SourceID=a]]>\x1b"}, 0);
    const qova::DecodedFrame decoded = qova::DecodeMessageFrame(TestCatalog(), frame);
    EXPECT_NE(decoded.exactXml.find("<![CDATA[a]]>\x1b]]>"), std::string::npos) << decoded.exactXml;
    EXPECT_NE(decoded.xml.find("<![CDATA[a]]]]><![CDATA[>\xEF\xBF\xBD]]>"), std::string::npos) << decoded.xml;
}

// Every byte of a stream is reported once: sound frames, corrupt ones,
// frames cut short and bytes of no frame, whatever noise stands before
// (a corrupt frame between sound ones is the frames command's golden case).
// Frames alone, back to back, make a clean stream.
TEST(FrameStream, EveryByteIsReportedOnce) {
    const Bytes a = qova::EncodeMessageFrame("CRNDZDStd", {}, 0);
    const Bytes reading = tool_test::Encode("CNIBPDStd", {"Systolic=120"});
    const Bytes cut = Cut(reading, 20);
    // Plausible headers stating 54 bytes, of a class nobody knows and of a
    // known one: the frame after them starts inside those bytes.
    const Bytes phantom = Hex("00 AB 00 00 00 30 00 64 00 00 05");
    const Bytes known = Hex("00 03 00 00 00 30 00 64 00 00 05");
    const std::string ok = "CNIBPDStd 0x00050000  37 bytes  ok (object encoding)\n";
    const std::tuple<std::string, Bytes, std::string> cases[] = {  // name, stream, report
        {"clean", test_mutations::Cat({a, reading}),
         "offset 0  CRNDZDStd 0x001D0000  33 bytes  ok\noffset 33  " + ok +
             "2 frames, 0 corrupt, 0 truncated, 0 bytes skipped\n"},
        {"phantom before frames", test_mutations::Cat({phantom, reading, reading}),
         "offset 0  11 bytes skipped\noffset 11  " + ok + "offset 48  " + ok +
             "2 frames, 0 corrupt, 0 truncated, 11 bytes skipped\n"},
        {"known phantom before frames", test_mutations::Cat({known, reading, reading}),
         "offset 0  CTempDStd 0x00030000  54 bytes stated, 11 there  truncated\noffset 11  " + ok + "offset 48  " +
             ok + "2 frames, 0 corrupt, 1 truncated, 0 bytes skipped\n"},
        {"truncated at the end", test_mutations::Cat({a, Hex("FF FF"), cut}),
         "offset 0  CRNDZDStd 0x001D0000  33 bytes  ok\noffset 33  2 bytes skipped\n"
         "offset 35  CNIBPDStd 0x00050000  37 bytes stated, 20 there  truncated\n"
         "1 frame, 0 corrupt, 1 truncated, 2 bytes skipped\n"},
        {"truncated by the next frame", test_mutations::Cat({cut, reading}),
         "offset 0  CNIBPDStd 0x00050000  37 bytes stated, 20 there  truncated\noffset 20  " + ok +
             "1 frame, 0 corrupt, 1 truncated, 0 bytes skipped\n"},
    };
    for (const auto& [name, stream, report] : cases) {
        const qova::FrameScan scan = qova::ScanFrames(TestCatalog(), stream, 4096);
        const std::string rendered = qova::RenderFrameScan(TestCatalog(), scan);
        EXPECT_EQ(std::make_tuple(rendered, scan.Clean()), std::make_tuple(report, name == "clean")) << name;
    }
}

// Eight times the input takes no longer per byte: a stream of frames cut
// short back to back, each one's stated length covering the next (a chain of
// overlapping corrupt candidates). (The walk over a connection list that
// decoding a list makes is timed with the messages, at 65,535 frames.)
TEST(FrameStream, LongInputsTakeLinearTime) {
    const Bytes reading = tool_test::Encode("CNIBPDStd", {"Systolic=120"});
    const auto stream = [&](std::size_t count) -> test_timing::Work {
        Bytes stream;
        for (std::size_t i = 0; i < count; ++i) stream.insert(stream.end(), reading.begin(), reading.begin() + 20);
        return [stream, count] { EXPECT_EQ(qova::ScanFrames(TestCatalog(), stream, 4096).corrupt, count / 2); };
    };
    test_timing::ExpectLinear(stream, 4096, "stream of cut frames");
}

// --split names each sound frame by its number, class and species.
TEST(FrameStream, SplitFilesAreNamedByNumberClassAndSpecies) {
    const Bytes a = qova::EncodeMessageFrame("CConDDescriptor", {}, 0);
    const Bytes number = tool_test::Encode("0x00750001", {});  // CNumDStd, species SpNIBPSYS
    EXPECT_EQ(qova::FrameFileName(TestCatalog(), 12, number.data()), "0012-CNumDStd-SpNIBPSYS.bin");
    EXPECT_EQ(qova::FrameFileName(TestCatalog(), 1, Hex("12 34 56 78").data()), "0001-0x12345678-120.bin");

    // The files hold the sound frames' bytes, nothing of the noise.
    const Bytes stream = test_mutations::Cat({a, Hex("FF"), number});
    const std::string directory = testing::TempDir() + "qova_split_test";
    ASSERT_EQ(qova::WriteFrameFiles(TestCatalog(), stream, qova::ScanFrames(TestCatalog(), stream, 4096), directory), 2u);
    EXPECT_EQ(std::make_tuple(qova::ReadInput(directory + "/0000-CConDDescriptor-3.bin"),
                              qova::ReadInput(directory + "/0001-CNumDStd-SpNIBPSYS.bin")), std::make_tuple(a, number));
}

}  // namespace
