#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "tests/support/timing.h"

#include "message_test_support.h"
#include "xqova/core/memory.h"
#include "xqova/message/connection.h"
#include "xqova/message/rendezvous.h"

namespace {

using message_test::Bytes;
using message_test::Cat;
using message_test::Encode;
using message_test::MakeFrame;

const unsigned char* U(const char* text) { return reinterpret_cast<const unsigned char*>(text); }

// Every message as constructed: its frame byte for byte (the checksums
// worked out bit by bit) and the size of its XML text.
TEST(NewMessages, FrameAndXmlSize) {
    const CConDStd std;
    const CConDDescriptor descriptor;
    const CConDExtLst list;
    const CRNDZDStd rendezvous;
    const struct {
        const DtData* message;
        Bytes frame;
        std::uint32_t xmlSize;
    } rows[] = {
        {&std, Cat({{0x00, 0x1E, 0x00, 0x00, 0x00, 0x1B,  // class 30, 0, 0; payload length 27
                     0x00, 0x64, 0x00, 0x00, 0x10},      // version 100, flags, static length 16
                    Bytes(16, 0),                         // DeviceGUID
                    {0x00, 0x00, 0x00, 0x00,              // SourceIDLength, ReservedLength
                     0x2D, 0xC6}}),
         567},
        {&descriptor, {0x00, 0x1E, 0x00, 0x03, 0x00, 0x0B, 0x00, 0x64, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0xBD, 0x52},
         574},
        {&list, MakeFrame(0x001E1201u, {0x00, 0x64, 0x00, 0x00, 0x00, 0x00, 0x00}), 270},  // no frames
        {&rendezvous, Cat({{0x00, 0x1D, 0x00, 0x00, 0x00, 0x1B, 0x00, 0x65, 0x00, 0x00, 0x12},  // version 101, static 18
                           message_test::kDefaultGuid,
                           {0x00, 0x01,     // RERVersion
                            0x00, 0x00,     // DataLength
                            0x56, 0x0C}}),
         548},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.xmlSize);
        EXPECT_EQ(row.message->size_all(), row.frame.size());
        EXPECT_EQ(Encode(*row.message), row.frame);
        EXPECT_EQ(row.message->size_XML(), row.xmlSize);
    }
    EXPECT_EQ(rendezvous.GetRERVersion(), 1);
}

TEST(ConnectionStd, FieldsTravelAndComeBack) {
    CConDStd message;
    ASSERT_EQ(message.SetSourceID("AB", 2), 1);
    std::uint16_t length = 0;
    EXPECT_STREQ(message.GetSourceID(&length), "AB");
    EXPECT_EQ(length, 2);
    message.SetReserved(U("\x07\x08"), 2);
    const unsigned char guid[4] = {1, 2, 3, 4};
    message.SetDeviceGUID(guid, 4);
    message.SetValid(1);
    EXPECT_EQ(message.size_all(), 33u + 3 + 2);

    const Bytes frame = Encode(message);
    const Bytes text = {0x00, 0x03, 0x41, 0x42, 0x00, 0x00, 0x02, 0x07, 0x08};
    EXPECT_TRUE(std::equal(text.begin(), text.end(), frame.begin() + 27));

    CConDStd copy;
    ASSERT_EQ(copy.deserialize_all(frame.data(), frame.size()), frame.size());
    EXPECT_EQ(copy.GetSrcVersion(), 100);
    EXPECT_EQ(copy.isvalid(), 64);
    EXPECT_EQ(Encode(copy), frame);
}

TEST(ConnectionStd, SetterEdges) {
    CConDStd message;
    const unsigned char ones[17] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    message.SetDeviceGUID(ones, 16);
    EXPECT_EQ(message.SetDeviceGUID(ones, 17), 0);
    EXPECT_EQ(message.GetDeviceGUID(nullptr)[0], 0);
    message.SetDeviceGUID(ones, 4);
    EXPECT_EQ(message.GetDeviceGUID(nullptr)[3], 1);
    EXPECT_EQ(message.GetDeviceGUID(nullptr)[4], 0);

    // Exactly `count` characters are stored, a zero among them included.
    message.SetSourceID("A\0B", 3);
    std::uint16_t length = 0;
    EXPECT_EQ(std::memcmp(message.GetSourceID(&length), "A\0B\0", 4), 0);
    EXPECT_EQ(length, 3);
    EXPECT_EQ(message.SetSourceID("x", 0xFFFF), 0);  // 65536 stored bytes would not fit 16 bits
    EXPECT_EQ(message.GetSourceID(nullptr)[2], 'B');

    // The getters of an empty text or byte field leave *length as it was.
    CConDStd empty;
    length = 77;
    EXPECT_EQ(empty.GetSourceID(&length), nullptr);
    EXPECT_EQ(empty.GetReserved(&length), nullptr);
    EXPECT_EQ(length, 77);
}

// What a decode reads: a version below 100 brings nothing but the flags; the
// identifier comes only from a static block that is not empty (all 16 bytes,
// whatever its stated size), and what a longer block holds beyond them is
// skipped. What the frame does not bring stays as it was.
TEST(ConnectionStd, DecodeReadsWhatVersionAndStaticLengthGive) {
    const Bytes tail = {0x00, 0x02, 'a', 0x00, 0x00, 0x01, 0x07};  // SourceID "a", Reserved 07
    const struct {
        const char* what;
        Bytes payload;
        std::uint16_t version;
        unsigned char guidByte;
        const char* source;
        Bytes reserved;
    } cases[] = {
        {"version 99: only the flags", Cat({{0x00, 0x63, 0x40, 0x00, 0x10}, Bytes(16, 0x11), tail}),
         99, 0x55, "keep", {}},
        {"no static block: SourceIDLength follows", Cat({{0x00, 0x64, 0x00, 0x00, 0x00}, tail}),
         100, 0x55, "a", {0x07}},
        {"block of 20: four bytes skipped", Cat({{0x00, 0x64, 0x00, 0x00, 20}, Bytes(16, 0x22), {9, 9, 9, 9}, tail}),
         100, 0x22, "a", {0x07}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes frame = MakeFrame(0x001E0000u, c.payload);
        CConDStd message;
        message.SetSourceID("keep", 4);
        const Bytes before(16, 0x55);
        message.SetDeviceGUID(before.data(), 16);
        ASSERT_EQ(message.deserialize_all(frame.data(), frame.size()), frame.size());
        EXPECT_EQ(message.GetSrcVersion(), c.version);
        EXPECT_EQ(message.isvalid(), c.payload[2] & 0x40);
        EXPECT_EQ(Bytes(message.GetDeviceGUID(nullptr), message.GetDeviceGUID(nullptr) + 16), Bytes(16, c.guidByte));
        std::uint16_t length = 0;
        EXPECT_STREQ(message.GetSourceID(&length), c.source);
        EXPECT_EQ(length, std::strlen(c.source));
        const unsigned char* reserved = message.GetReserved(&length);
        EXPECT_EQ(reserved == nullptr ? Bytes() : Bytes(reserved, reserved + length), c.reserved);
    }

    // A frame that runs out inside SourceID still decodes; the missing bytes
    // are zero and the text stays terminated.
    const Bytes shortFrame =
        MakeFrame(0x001E0000u, Cat({{0x00, 0x64, 0x00, 0x00, 0x10}, Bytes(16, 0xAB), {0x00, 0x08, 'h', 'i'}}));
    CConDStd message;
    ASSERT_EQ(message.deserialize_all(shortFrame.data(), shortFrame.size()), shortFrame.size());
    std::uint16_t length = 0;
    const char* text = message.GetSourceID(&length);
    EXPECT_EQ(length, 7);
    // "hi", then the two checksum bytes the run took, then zeros.
    EXPECT_EQ(std::memcmp(text, "hi", 2), 0);
    EXPECT_EQ(std::memcmp(text + 4, "\0\0\0\0", 4), 0);
    EXPECT_EQ(message.GetDeviceGUID(nullptr)[15], 0xAB);
}

TEST(ConnectionDescriptor, VersionsAndStaticBlock) {
    CConDDescriptor message;
    message.SetData(U("\x05"), 1);
    const Bytes v101 = MakeFrame(0x001E0003u, {0x00, 0x65, 0x00, 0x00, 0x02, 0x00, 0x01, 0x00, 0x00});
    EXPECT_EQ(message.deserialize_all(v101.data(), v101.size()), 0u);
    EXPECT_EQ(message.GetData(nullptr), nullptr);

    message.SetData(U("\x05"), 1);
    message.SetDescriptor(2);
    const Bytes v99 = MakeFrame(0x001E0003u, {0x00, 0x63, 0x00, 0x00, 0x02, 0x00, 0x01, 0x00, 0x01, 0x09});
    ASSERT_EQ(message.deserialize_all(v99.data(), v99.size()), v99.size());
    std::uint16_t length = 9;
    EXPECT_EQ(message.GetData(&length), nullptr);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(message.GetDescriptor(), 0);
    EXPECT_EQ(message.GetSrcVersion(), 99);

    // A static block of 6: the descriptor from its first two bytes.
    const Bytes wide = MakeFrame(0x001E0003u, {0x00, 0x64, 0x00, 0x00, 0x06, 0x00, 0x02, 0xEE, 0xEE, 0xEE, 0xEE,
                                               0x00, 0x02, 0x0A, 0x0B});
    ASSERT_EQ(message.deserialize_all(wide.data(), wide.size()), wide.size());
    EXPECT_EQ(message.GetDescriptor(), 2);
    EXPECT_EQ(message.GetData(&length)[1], 0x0B);
    EXPECT_EQ(length, 2);

    // Data announced beyond the frame fails the decode and empties it.
    const Bytes tooLong = MakeFrame(0x001E0003u, {0x00, 0x64, 0x00, 0x00, 0x02, 0x00, 0x01, 0x00, 0x09, 0x01});
    EXPECT_EQ(message.deserialize_all(tooLong.data(), tooLong.size()), 0u);
    EXPECT_EQ(message.GetDescriptor(), 0);
    EXPECT_EQ(message.GetData(nullptr), nullptr);
}

TEST(ConnectionExtLst, ListModes) {
    CConDExtLst list;
    const unsigned char bytes[11] = {};
    ASSERT_EQ(list.InitConnectionList(10), 1);
    EXPECT_EQ(list.AppendConnectionList(bytes, 10, 1), 1);
    EXPECT_EQ(list.AppendConnectionList(bytes, 1, 1), 0);
    std::uint32_t size = 0;
    EXPECT_NE(list.GetConnectionList(&size), nullptr);
    EXPECT_EQ(size, 10u);
    list.DeleteConnectionList();
    EXPECT_EQ(list.GetConnectionList(&size), nullptr);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(list.AppendConnectionList(bytes, 11, 1), 1);
    EXPECT_EQ(list.GetConnectionCount(), 5);
    EXPECT_EQ(list.AppendConnectionList(nullptr, 1, 1), 0);
    EXPECT_EQ(list.AppendConnectionList(bytes, 1, 0xFFFF), 0);
    EXPECT_EQ(list.InitConnectionList(0), 0);
    EXPECT_EQ(list.AppendConnectionList(bytes, 11, 1), 1);  // growable again
}

// Visiting every frame of a list in order is linear in the list's size: a
// list of 65,535 six-byte frames takes no longer per frame than one of an
// eighth as many.
TEST(ConnectionExtLst, EveryIndexInOrderTakesLinearTime) {
    // Seconds to visit every frame in order, best of `runs`; a run gives up
    // (and counts as too slow) once it passes `limit` seconds.
    const auto seconds = [](std::uint16_t count, int runs, double limit) {
        CConDExtLst list;
        const Bytes empty = {0x00, 0x1E, 0x00, 0x03, 0x00, 0x00};  // a header of length 0: six bytes
        Bytes frames;
        for (std::uint16_t i = 0; i < count; ++i) frames.insert(frames.end(), empty.begin(), empty.end());
        EXPECT_EQ(list.AppendConnectionList(frames.data(), static_cast<std::uint32_t>(frames.size()), count), 1);
        double best = 1e9;
        for (int run = 0; run < runs; ++run) {
            const double start = test_timing::Seconds();
            const auto elapsed = [&] { return test_timing::Seconds() - start; };
            std::uint32_t size = 0, total = 0;
            for (std::uint32_t i = 0; i < count && (i % 1024 != 0 || elapsed() < limit); ++i) {
                EXPECT_NE(list.GetConnectionListAt(static_cast<std::uint16_t>(i), &size), nullptr);
                total += size;
            }
            if (total != frames.size()) return 1e9;
            best = std::min(best, elapsed());
        }
        return best;
    };
    const double bound = test_timing::EightfoldBound(seconds(8191, 3, 1e9));
    EXPECT_LT(seconds(65535, 1, bound), bound);
}

TEST(ConnectionExtLst, FramesAtAnIndexAndThroughAFrame) {
    const Bytes first = MakeFrame(0x001E0003u, {1, 2, 3, 4});                  // 12 bytes
    const Bytes second = MakeFrame(0x001E0000u, Bytes(12, 0x33));              // 20 bytes
    CConDExtLst list;
    list.AppendConnectionList(first.data(), 12, 1);
    list.AppendConnectionList(second.data(), 20, 1);
    std::uint32_t size = 0;
    unsigned char* base = list.GetConnectionList(&size);
    EXPECT_EQ(list.GetConnectionListAt(1, &size), base + 12);
    EXPECT_EQ(size, 20u);
    EXPECT_EQ(list.GetConnectionListAt(2, &size), nullptr);
    // Any order of indexes, and appends in between, give the same frames.
    for (std::uint16_t index : {0, 1, 1, 0, 1}) {
        EXPECT_EQ(list.GetConnectionListAt(index, &size), base + 12 * index);
        EXPECT_EQ(size, index == 0 ? 12u : 20u);
    }
    list.AppendConnectionList(first.data(), 12, 1);
    base = list.GetConnectionList(&size);
    EXPECT_EQ(list.GetConnectionListAt(2, &size), base + 32);
    EXPECT_EQ(size, 12u);
    list.DeleteConnectionList();
    list.AppendConnectionList(second.data(), 20, 1);
    EXPECT_EQ(list.GetConnectionListAt(0, &size), list.GetConnectionList(&size));
    EXPECT_EQ(size, 20u);
    list.DeleteConnectionList();
    list.AppendConnectionList(first.data(), 12, 1);
    list.AppendConnectionList(second.data(), 20, 1);

    const Bytes frame = Encode(list);
    EXPECT_EQ(frame.size(), 8u + 9 + 32);
    CConDExtLst copy;
    ASSERT_EQ(copy.deserialize_all(frame.data(), frame.size()), frame.size());
    EXPECT_EQ(copy.GetConnectionCount(), 2);
    EXPECT_EQ(copy.AppendConnectionList(first.data(), 12, 1), 0);  // a decoded list is fixed and full
    EXPECT_EQ(Encode(copy), frame);

    // A frame of version 99 keeps the list; one with a count of 0 deletes it.
    const Bytes v99 = MakeFrame(0x001E1201u, {0x00, 0x63, 0x00, 0x00, 0x00, 0x00, 0x00});
    ASSERT_EQ(copy.deserialize_all(v99.data(), v99.size()), v99.size());
    EXPECT_EQ(copy.GetConnectionCount(), 2);
    const Bytes none = MakeFrame(0x001E1201u, {0x00, 0x64, 0x00, 0x00, 0x00, 0x00, 0x00});
    ASSERT_EQ(copy.deserialize_all(none.data(), none.size()), none.size());
    EXPECT_EQ(copy.GetConnectionCount(), 0);
    EXPECT_EQ(copy.GetConnectionList(&size), nullptr);
}

TEST(ConnectionMessages, CopiesOwnTheirBytes) {
    CConDStd std;
    std.SetSourceID("abc", 3);
    CConDExtLst list;
    list.AppendConnectionList(U("\x01\x02\x03"), 3, 1);
    {
        CConDStd stdCopy(std);
        CConDExtLst listCopy;
        listCopy = list;
        EXPECT_NE(stdCopy.GetSourceID(nullptr), std.GetSourceID(nullptr));
        EXPECT_EQ(Encode(stdCopy), Encode(std));
        EXPECT_EQ(Encode(listCopy), Encode(list));
    }  // each copy frees its own storage; AddressSanitizer sees any sharing
    EXPECT_STREQ(std.GetSourceID(nullptr), "abc");
    EXPECT_EQ(Encode(list).size(), 20u);
}

TEST(ConnectionMessages, MemoryShortageKeepsLengthsAndStorageInStep) {
    CConDStd std;
    std.SetSourceID("old", 3);
    CConDExtLst list;
    CConDDescriptor descriptor;
    descriptor.SetData(U("\x01\x02"), 2);
    const Bytes frame = Encode(descriptor);
    CConDStd withSource;
    withSource.SetSourceID("AB", 2);
    const Bytes sourceFrame = Encode(withSource);
    xqova::testing::FailAllocationsAfter(0);
    EXPECT_EQ(withSource.deserialize_all(sourceFrame.data(), sourceFrame.size()), 0u);  // no room for SourceID
    EXPECT_EQ(std.SetSourceID("newer", 5), 0);  // unchanged
    CConDStd copy(std);                         // the copy's text is left empty
    EXPECT_EQ(copy.GetSourceID(nullptr), nullptr);
    EXPECT_EQ(copy.size_all(), 33u);
    EXPECT_EQ(list.InitConnectionList(10), 0);
    EXPECT_EQ(descriptor.deserialize_all(frame.data(), frame.size()), 0u);
    xqova::testing::FailAllocationsAfter(-1);
    EXPECT_STREQ(std.GetSourceID(nullptr), "old");
    EXPECT_EQ(withSource.GetSourceID(nullptr), nullptr);
    EXPECT_EQ(list.AppendConnectionList(U("\x01"), 1, 1), 0);  // fixed, of capacity 0
    std::uint16_t length = 5;
    EXPECT_EQ(descriptor.GetData(&length), nullptr);
    EXPECT_EQ(length, 0);
}

}  // namespace
