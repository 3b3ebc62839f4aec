#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "message_test_support.h"

namespace {

using namespace message_test;

// A message whose payload is `size` bytes counting up from 0.
class CountingMessage : public DtData {
public:
    CountingMessage(std::uint32_t id, std::uint32_t size) : DtData(id), size_(size) {}

protected:
    std::uint32_t get_payload_size() const override { return size_; }
    unsigned char serialize_payload(uint8QManager* queue) const override {
        for (std::uint32_t i = 0; i < size_; ++i) queue->put(static_cast<unsigned char>(i));
        return 1;
    }

private:
    std::uint32_t size_;
};

// The header states the payload length in 2 bytes, or in 4 for an extended
// class; a payload the length field cannot state is not written at all, nor
// one whose frame would pass 32 bits of size.
TEST(MessageFrame, HeaderCarriesIdentifierAndPayloadLength) {
    const struct {
        std::uint32_t id;
        std::uint32_t payload;
        bool extended;
        Bytes head;  // empty: refused
    } rows[] = {
        {0x00112233u, 11, false, Hex("00 11 22 33 00 0B 00 01")},
        {0x00171000u, 0x10000, false, {}},
        {0x00071201u, 3, true, Hex("00 07 12 01 00 00 00 03 00")},
        {0x00010000u, 0x10000, true, Hex("00 01 00 00 00 01 00 00 00 01")},
        {0x00071201u, 0xFFFFFFF8u, true, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.id);
        const CountingMessage message(row.id, row.payload);
        unsigned char stored[4];
        WriteInt32(stored, row.id);
        EXPECT_EQ(message.is_Extended(row.id), row.extended);
        EXPECT_EQ(message.is_Extended(stored), row.extended);
        Bytes frame(row.payload < 0x20000 ? message.size_all() : 16, 0xAA);
        EXPECT_EQ(message.serialize_all(frame.data()), row.head.empty() ? 0 : frame.size());
        EXPECT_TRUE(row.head.empty() ? frame[0] == 0xAA : std::equal(row.head.begin(), row.head.end(), frame.begin()));
        if (!row.head.empty()) {
            EXPECT_EQ(frame.back(), static_cast<unsigned char>(row.payload - 1));
        }
    }
    EXPECT_EQ(CountingMessage(0x00112233u, 11).serialize_all(nullptr), 0u);
}

// The flag bits, the inclusive version bounds of a status table (an entry
// beyond the stated count is not read) and the code tables' lookups.
TEST(MessageFrame, FlagsVersionStatusAndCodeTables) {
    DtData message(0);
    message.setdirty(1);
    EXPECT_EQ(message.SetValid(1), 1);
    EXPECT_EQ(message.isvalid(), 64);
    message.SetValid(0);
    EXPECT_EQ(message.isvalid(), 0);
    EXPECT_EQ(message.isdirty(), 128);
    const t_VersionEntry versions[2] = {{100, 101}, {0, 0xFFFF}};
    for (std::uint16_t version : {99, 100, 101, 102}) {
        message.SetSrcVersion(version);
        EXPECT_EQ(message.GetVersionStatus(versions, 1, 0), version == 100 || version == 101 ? 1 : 0) << version;
        EXPECT_EQ(message.GetVersionStatus(versions, 1, 1) + message.GetVersionStatus(nullptr, 1, 0), 0);
    }
    const t_MsgEntry codes[2] = {{3, "three"}, {5, "five"}};
    EXPECT_STREQ(GetMsgString(codes, 2, 5), "five");
    EXPECT_STREQ(GetMsgString(codes, 1, 5), "Unknown code: 5");
    EXPECT_STREQ(GetMsgString(codes, 2, 65535), "Unknown code: 65535");
    EXPECT_EQ(IsValidEnum(codes, 2, 3), 1);
    EXPECT_EQ(IsValidEnum(codes, 0, 3) + IsValidEnum(codes, 2, 4), 0);
}

TEST(MessageFrame, WalkingFramesStaysInsideTheBuffer) {
    const DtData walker(0);
    Bytes buffer = MakeFrame(0x00010203u, {1});            // payload length 3
    const Bytes second = MakeFrame(0x00010204u, {1, 2, 3});  // payload length 5
    buffer.insert(buffer.end(), second.begin(), second.end());
    ASSERT_EQ(buffer.size(), 20u);
    EXPECT_EQ(walker.QOVASerialElements(buffer.data(), 20), 2);
    EXPECT_EQ(walker.QOVASerialElements(buffer.data(), 0), 0);
    // The second frame runs past 19 bytes: only the first is whole.
    EXPECT_EQ(walker.QOVASerialElements(buffer.data(), 19), 1);
    // A tail too short to hold a header is not a frame.
    EXPECT_EQ(walker.QOVASerialElements(buffer.data(), 12), 1);

    unsigned char extended[8] = {0x00, 0x05, 0x12, 0x00, 0x00, 0x00, 0x00, 0x0A};
    unsigned char width = 0;
    EXPECT_EQ(walker.QOVASerialSize(extended, &width), 18u);
    EXPECT_EQ(width, 4);
    EXPECT_EQ(walker.QOVASerialSize(extended, 8, &width), 0u);
    EXPECT_EQ(walker.QOVASerialSize(buffer.data(), 20, &width), 9u);
    EXPECT_EQ(width, 2);
    EXPECT_EQ(walker.QOVASerialSize(nullptr, nullptr), 0u);
}

TEST(MessageFrame, TimeRecordOnAQueue) {
    const DtData message(0);
    unsigned char buffer[8] = {};
    uint8QManager out(buffer, 8, 0);
    message.Put_QOVATIME(&out, QOVA_TIME{2024, 3, 5, 6, 7, 8, 9});
    EXPECT_EQ(std::memcmp(buffer, "\x07\xE8\x03\x05\x06\x07\x08\x09", 8), 0);
    uint8QManager in(buffer, 8, 1);
    const QOVA_TIME back = message.Get_QOVATIME(&in);
    EXPECT_EQ(back.year, 2024);
    EXPECT_EQ(back.fraction, 9);

    // A field that the queue cannot supply reads as 0.
    uint8QManager shortIn(buffer, 3, 1);
    EXPECT_EQ(message.Get_QOVATIME(&shortIn).day, 0);
}

// Each check that refuses a frame is named, with where and what it compared;
// CheckFrame makes the checks that need no message.
TEST(MessageFrame, RefusalsNameTheirCheck) {
    using xqova::FrameCheck;
    const Bytes head = Cat({Hex("00 65 00 00 12"), kDefaultGuid, Hex("00 01")});  // up to DataLength
    const Bytes good = MakeFrame(0x001D0000u, Cat({head, Hex("00 03 01 02 03")}));  // 36 bytes, checksum at 34
    const Bytes newer = MakeFrame(0x001D0000u, Cat({Hex("00 66"), Bytes(head.begin() + 2, head.end()), Hex("00 03 01 02 03")}));
    const Bytes lying = MakeFrame(0x001D0000u, Cat({head, Hex("00 06 01 02 03")}));  // three bytes and the checksum follow
    Bytes damaged = good;
    damaged[12] ^= 4;
    const std::uint16_t stored = ReadInt16(good.data() + 34);
    struct Row {
        const char* name;
        Bytes frame;
        FrameCheck check;
        std::size_t at;
        std::uint64_t found, expected;
        std::uint32_t framePasses;  // CheckFrame's result
    } rows[] = {
        {"three bytes", Bytes(good.begin(), good.begin() + 3), FrameCheck::kHeader, 0, 3, 4, 0},
        {"five bytes", Bytes(good.begin(), good.begin() + 5), FrameCheck::kHeader, 0, 5, 6, 0},
        {"cut", Bytes(good.begin(), good.end() - 1), FrameCheck::kLength, 4, 36, 35, 0},
        {"another family", Encode(CConDStd()), FrameCheck::kOtherClass, 0, 0x001E0000u, 0x001D0000u, 33},
        {"payload of 1", Hex("00 1D 00 00 00 01 07"), FrameCheck::kTooSmall, 4, 1, 2, 0},
        {"damaged", damaged, FrameCheck::kChecksum, 34, stored, CalculateCRC(damaged.data(), 34), 0},
        {"newer", newer, FrameCheck::kNewerVersion, 6, 102, 101, 36},
        {"lying length", lying, FrameCheck::kPayload, 6, 0, 0, 36},
        {"good", good, FrameCheck::kNone, 0, 0, 0, 36},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        xqova::FrameReport report;
        CRNDZDStd target;
        const std::uint32_t result = target.deserialize_all(row.frame.data(), row.frame.size(), &report);
        EXPECT_EQ(result, row.check == FrameCheck::kNone ? row.frame.size() : 0u);
        EXPECT_EQ(report.check, row.check) << xqova::FrameCheckName(report.check);
        EXPECT_EQ(report.at, row.at);
        EXPECT_EQ(report.found, row.found);
        EXPECT_EQ(report.expected, row.expected);
        EXPECT_EQ(report.classRead, row.frame.size() >= 4);
        EXPECT_EQ(report.size, row.frame.size() < 6 ? 0u : 6u + ReadInt16(row.frame.data() + 4));  // once stated
        EXPECT_EQ(xqova::CheckFrame(row.frame.data(), row.frame.size(), &report), row.framePasses);
        EXPECT_EQ(report.check == FrameCheck::kNone, row.framePasses != 0);
    }
    xqova::FrameReport none;  // no frame at all, whatever length comes with it
    EXPECT_EQ(xqova::CheckFrame(nullptr, good.size(), &none), 0u);
    EXPECT_EQ(none.check, FrameCheck::kHeader);
    EXPECT_EQ(none.expected, 4u);
}

}  // namespace
