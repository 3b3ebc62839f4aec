#include <gtest/gtest.h>

#include <cstdint>

#include "message_test_support.h"
#include "xqova/message/rendezvous.h"

namespace {

using message_test::Bytes;
using message_test::Cat;
using message_test::Encode;
using message_test::MakeFrame;

using message_test::kDefaultGuid;

Bytes Guid(const CRNDZDStd& message) {
    const unsigned char* guid = message.GetDeviceGUID(nullptr);
    return Bytes(guid, guid + 16);
}

TEST(Rendezvous, ResetClearsTheDefaults) {
    CRNDZDStd message;
    EXPECT_EQ(message.SetData(reinterpret_cast<const unsigned char*>("\x01\x02\x03"), 3), 1);
    message.Reset(0);
    EXPECT_EQ(message.GetRERVersion(), 0);
    EXPECT_EQ(Guid(message), Bytes(16, 0));
    std::uint16_t length = 9;
    EXPECT_EQ(message.GetData(&length), nullptr);
    EXPECT_EQ(length, 0);
}

TEST(Rendezvous, DataTravelsInVersion101) {
    CRNDZDStd message;
    message.SetData(reinterpret_cast<const unsigned char*>("\x0A\x0B\x0C"), 3);
    message.SetRERVersion(0x0203);
    EXPECT_EQ(message.size_all(), 36u);
    const Bytes frame = Encode(message);
    EXPECT_EQ(ReadInt16(frame.data() + 4), 30);
    const Bytes tail = {0x02, 0x03, 0x00, 0x03, 0x0A, 0x0B, 0x0C};
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(), frame.begin() + 27));

    CRNDZDStd copy;
    copy.Reset(0);
    ASSERT_EQ(copy.deserialize_all(frame.data(), frame.size()), frame.size());
    EXPECT_EQ(Encode(copy), frame);
}

// A decode empties the message, then reads what the version and the static
// block give. The static block is read with a running count of the bytes it
// still holds, in 16 bits: a block stated shorter than the identifier still
// yields the identifier, and the count then wraps, so RERVersion is read too.
TEST(Rendezvous, DecodeReadsWhatVersionAndStaticLengthGive) {
    const Bytes skipped = {0x00, 0x07, 0xEE, 0xEE, 0x00, 0x02, 0x01, 0x02};
    const Bytes intoChecksum = MakeFrame(0x001D0000u, {0x00, 101, 0, 0x00, 0, 0x00, 0x03, 0x44});
    const struct {
        const char* what;
        Bytes payload;
        bool decodes;
        Bytes guid;
        std::uint16_t rerVersion;
        Bytes data;
    } cases[] = {
        {"version 102 fails", Cat({{0x00, 102, 0, 0x00, 18}, Bytes(16, 0x11), {0x00, 0x05, 0x00, 0x00}}),
         false, Bytes(16, 0), 0, {}},
        {"version 100: the identifier alone", Cat({{0x00, 100, 0, 0x00, 16}, Bytes(16, 0x22)}),
         true, Bytes(16, 0x22), 0, {}},
        {"block of 16: DataLength follows the identifier",
         Cat({{0x00, 101, 0, 0x00, 16}, Bytes(16, 0x33), {0x00, 0x01, 0x44}}), true, Bytes(16, 0x33), 0, {0x44}},
        {"no static block: DataLength follows", Cat({{0x00, 101, 0, 0x00, 0}, {0x00, 0x01, 0x44}}),
         true, Bytes(16, 0), 0, {0x44}},
        {"block of 2: identifier, then RERVersion",
         Cat({{0x00, 101, 0, 0x00, 2}, Bytes(16, 0x33), {0x12, 0x34, 0x00, 0x01, 0x44}}), true, Bytes(16, 0x33), 0x1234, {0x44}},
        {"block of 20: two bytes skipped", Cat({{0x00, 101, 0x80, 0x00, 20}, kDefaultGuid, skipped}),
         true, kDefaultGuid, 7, {1, 2}},
        {"data reaching into the checksum", Cat({{0x00, 101, 0, 0x00, 0}, {0x00, 0x03, 0x44}}), true, Bytes(16, 0), 0,
         {0x44, intoChecksum[intoChecksum.size() - 2], intoChecksum.back()}},
        {"block longer than the frame fails", Cat({{0x00, 101, 0x80, 0x00, 0x40}, kDefaultGuid, skipped}),
         false, Bytes(16, 0), 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes frame = MakeFrame(0x001D0000u, c.payload);
        CRNDZDStd message;
        message.SetData(reinterpret_cast<const unsigned char*>("\x09"), 1);
        EXPECT_EQ(message.deserialize_all(frame.data(), frame.size()), c.decodes ? frame.size() : 0u);
        EXPECT_EQ(message.GetSrcVersion(), c.decodes ? c.payload[1] : 0);
        EXPECT_EQ(message.isdirty(), c.decodes ? c.payload[2] & 0x80 : 0);
        EXPECT_EQ(Guid(message), c.guid);
        EXPECT_EQ(message.GetRERVersion(), c.rerVersion);
        std::uint16_t length = 9;
        const unsigned char* data = message.GetData(&length);
        EXPECT_EQ(length, c.data.size());
        EXPECT_EQ(data == nullptr ? Bytes() : Bytes(data, data + length), c.data);
    }
}

}  // namespace
