#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "message_test_support.h"
#include "xqova/message/rendezvous.h"

namespace {

using message_test::Bytes;
using message_test::Encode;
using message_test::MakeFrame;

const Bytes kDefaultGuid = {0x7B, 0x57, 0x32, 0x3E, 0xD6, 0x1A, 0x4E, 0x3D,
                            0x8E, 0xBC, 0xC8, 0x65, 0x80, 0x07, 0xBB, 0xCB};

Bytes Guid(const CRNDZDStd& message) {
    const unsigned char* guid = message.GetDeviceGUID(nullptr);
    return Bytes(guid, guid + 16);
}

TEST(Rendezvous, NewMessageGoldenFrame) {
    const CRNDZDStd message;
    EXPECT_EQ(message.size_all(), 33u);
    EXPECT_EQ(message.GetRERVersion(), 1);
    Bytes expected = {0x00, 0x1D, 0x00, 0x00,  // class 29, 0, 0
                      0x00, 0x1B,              // payload length 27
                      0x00, 0x65, 0x00,        // version 101, flags
                      0x00, 0x12};             // static length 18
    expected.insert(expected.end(), kDefaultGuid.begin(), kDefaultGuid.end());
    expected.insert(expected.end(), {0x00, 0x01,    // RERVersion
                                     0x00, 0x00,    // DataLength
                                     0x56, 0x0C});  // CRC-16/MCRF4XX, worked out bit by bit
    EXPECT_EQ(Encode(message), expected);
}

TEST(Rendezvous, ResetClearsTheDefaults) {
    CRNDZDStd message;
    message.SetData(reinterpret_cast<const unsigned char*>("\x01\x02\x03"), 3);
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

TEST(Rendezvous, VersionRules) {
    CRNDZDStd message;
    message.SetData(reinterpret_cast<const unsigned char*>("\x01"), 1);
    Bytes body = {0x00, 0x66, 0x00, 0x00, 0x12};
    body.insert(body.end(), 16, 0x11);
    body.insert(body.end(), {0x00, 0x05, 0x00, 0x00});
    const Bytes v102 = MakeFrame(0x001D0000u, body);
    EXPECT_EQ(message.deserialize_all(v102.data(), v102.size()), 0u);
    EXPECT_EQ(message.GetRERVersion(), 0);
    EXPECT_EQ(message.GetData(nullptr), nullptr);

    // Version 100 holds the identifier alone.
    Bytes old = {0x00, 0x64, 0x00, 0x00, 0x10};
    old.insert(old.end(), 16, 0x22);
    const Bytes v100 = MakeFrame(0x001D0000u, old);
    CRNDZDStd fresh;
    ASSERT_EQ(fresh.deserialize_all(v100.data(), v100.size()), v100.size());
    EXPECT_EQ(fresh.GetSrcVersion(), 100);
    EXPECT_EQ(Guid(fresh), Bytes(16, 0x22));
    EXPECT_EQ(fresh.GetRERVersion(), 0);

    // Version 101 with a static block of 16: DataLength follows the identifier.
    Bytes sixteen = {0x00, 0x65, 0x00, 0x00, 0x10};
    sixteen.insert(sixteen.end(), 16, 0x33);
    sixteen.insert(sixteen.end(), {0x00, 0x01, 0x44});
    const Bytes v101short = MakeFrame(0x001D0000u, sixteen);
    ASSERT_EQ(fresh.deserialize_all(v101short.data(), v101short.size()), v101short.size());
    EXPECT_EQ(fresh.GetRERVersion(), 0);
    std::uint16_t length = 0;
    EXPECT_EQ(fresh.GetData(&length)[0], 0x44);
    EXPECT_EQ(length, 1);
}

// The static block is read with a running count of the bytes it still holds,
// in 16 bits: a block stated shorter than the identifier still yields the
// identifier, and the count then wraps, so RERVersion is read too.
TEST(Rendezvous, StaticLengthRunningCount) {
    struct Case {
        const char* what;
        unsigned char staticLength;
        Bytes body;  // after the static length, up to the checksum
        unsigned char guidByte;
        std::uint16_t rerVersion;
        unsigned char dataByte;
    };
    Bytes shortBlock(16, 0x33);
    shortBlock.insert(shortBlock.end(), {0x12, 0x34, 0x00, 0x01, 0x44});
    const Case cases[] = {
        {"no static block: DataLength follows", 0, {0x00, 0x01, 0x44}, 0x00, 0, 0x44},
        {"block of 2: identifier, then RERVersion", 2, shortBlock, 0x33, 0x1234, 0x44},
    };
    for (const Case& c : cases) {
        Bytes payload = {0x00, 0x65, 0x00, 0x00, c.staticLength};
        payload.insert(payload.end(), c.body.begin(), c.body.end());
        const Bytes frame = MakeFrame(0x001D0000u, payload);
        CRNDZDStd message;
        ASSERT_EQ(message.deserialize_all(frame.data(), frame.size()), frame.size()) << c.what;
        EXPECT_EQ(Guid(message), Bytes(16, c.guidByte)) << c.what;
        EXPECT_EQ(message.GetRERVersion(), c.rerVersion) << c.what;
        std::uint16_t length = 0;
        const unsigned char* data = message.GetData(&length);
        ASSERT_EQ(length, 1) << c.what;
        EXPECT_EQ(data[0], c.dataByte) << c.what;
    }
}

TEST(Rendezvous, LongerStaticBlockIsSkipped) {
    Bytes body = {0x00, 0x65, 0x80, 0x00, 0x14};
    body.insert(body.end(), kDefaultGuid.begin(), kDefaultGuid.end());
    body.insert(body.end(), {0x00, 0x07, 0xEE, 0xEE, 0x00, 0x02, 0x01, 0x02});
    const Bytes frame = MakeFrame(0x001D0000u, body);
    CRNDZDStd message;
    ASSERT_EQ(message.deserialize_all(frame.data(), frame.size()), frame.size());
    EXPECT_EQ(message.GetRERVersion(), 7);
    EXPECT_EQ(message.isdirty(), 128);
    std::uint16_t length = 0;
    const unsigned char* data = message.GetData(&length);
    ASSERT_EQ(length, 2);
    EXPECT_EQ(data[1], 0x02);

    // A static block stated longer than the frame fails the decode.
    Bytes overrun = body;
    overrun[4] = 0x40;
    const Bytes bad = MakeFrame(0x001D0000u, overrun);
    EXPECT_EQ(message.deserialize_all(bad.data(), bad.size()), 0u);
    EXPECT_EQ(message.GetData(nullptr), nullptr);
}

}  // namespace
