#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <tuple>
#include <vector>

#include "message_test_support.h"
#include "xqova/message/byte_queue.h"

namespace {

using namespace message_test;

// A message whose payload is `size` bytes counting up from 0.
class CountingMessage : public DtData {
public:
    CountingMessage(std::uint32_t id, std::uint32_t size) : DtData(id), size_(size) {}
    using DtData::PayloadChecksumHolds;
    using DtData::PutPayloadChecksum;

protected:
    std::uint32_t get_payload_size() const override { return size_; }
    unsigned char serialize_payload(uint8QManager* queue) const override {
        for (std::uint32_t i = 0; i < size_; ++i) queue->put(static_cast<unsigned char>(i));
        return 1;
    }
    // Takes a payload of its own size that passes the first steps every
    // message's decode makes.
    unsigned char deserialize_payload(uint8QManager* queue, std::uint32_t length) override {
        std::uint16_t version;  // written when the steps pass
        return length == size_ && ReadPayloadVersion(queue, &version) ? 1 : 0;
    }

private:
    std::uint32_t size_;
};

// The header states the payload length in 2 bytes, or in 4 for an extended
// class; a payload the length field cannot state is not written at all, nor
// one whose frame would pass 32 bits of size.
TEST(MessageFrame, HeaderCarriesIdentifierAndPayloadLength) {
    const std::tuple<std::uint32_t, std::uint32_t, bool, Bytes> rows[] = {  // id, payload, extended, head (empty: refused)
        {0x00112233u, 11, false, Hex("00 11 22 33 00 0B 00 01")},
        {0x00112233u, 0xFFFF, false, Hex("00 11 22 33 FF FF 00 01")},
        {0x00171000u, 0x10000, false, {}},
        {0x00071201u, 3, true, Hex("00 07 12 01 00 00 00 03 00")},
        {0x00010000u, 0x10000, true, Hex("00 01 00 00 00 01 00 00 00 01")},
        {0x00071201u, 0xFFFFFFF8u, true, {}},
    };
    for (const auto& [id, payload, extended, head] : rows) {
        SCOPED_TRACE(id);
        const CountingMessage message(id, payload);
        unsigned char stored[4];
        WriteInt32(stored, id);
        EXPECT_EQ(std::make_tuple(message.is_Extended(id), message.is_Extended(stored)), std::make_tuple(extended, extended));
        Bytes frame(payload < 0x20000 ? message.size_all() : 16, 0xAA);
        EXPECT_EQ(message.serialize_all(frame.data()), head.empty() ? 0 : frame.size());
        EXPECT_TRUE(head.empty() ? frame[0] == 0xAA : std::equal(head.begin(), head.end(), frame.begin()));
        EXPECT_TRUE(head.empty() || frame.back() == static_cast<unsigned char>(payload - 1));
    }
    EXPECT_EQ(CountingMessage(0x00112233u, 11).serialize_all(nullptr) + DtData(0x00071201u).is_Extended(nullptr), 0u);
    EXPECT_EQ(Encode(DtData()), Hex("00 00 00 00 00 00"));  // the base message writes and takes an empty payload
    EXPECT_EQ(DtData().deserialize_all(Hex("00 00 00 00 00 00").data()) + DtData().size_XML() + DtData().getVersion(), 6u);
    // A payload of its checksum alone, 00 00, reads as version 0: the base message's.
    const Bytes alone = Hex("00 01 21 42 00 02 00 00");
    EXPECT_EQ(CountingMessage(0x00012142u, 2).deserialize_all(alone.data(), alone.size()), 8u);
}

// The flag bits, the inclusive version bounds of a status table (an entry
// beyond the stated count is not read), the code tables' lookups and the
// time record on a queue.
TEST(MessageFrame, FlagsVersionStatusCodeTablesAndTime) {
    DtData message(0);
    EXPECT_TRUE(message.setdirty(1) == 1 && message.GetDataBitField() == 0x80);
    EXPECT_TRUE(message.SetValid(1) == 1 && message.isvalid() == 64 && message.GetDataBitField() == 0xC0);
    message.SetDataBitField(0xFF);  // each flag is set and cleared keeping the other bits
    EXPECT_TRUE(message.SetValid(0) == 0 && message.isvalid() == 0 && message.isdirty() == 128);
    EXPECT_TRUE(message.setdirty(0) == 0 && message.GetDataBitField() == 0x3F);
    const t_VersionEntry versions[2] = {{100, 101}, {0, 0xFFFF}};
    for (std::uint16_t version : {99, 100, 101, 102}) {
        message.SetSrcVersion(version);
        EXPECT_EQ(message.GetVersionStatus(versions, 1, 0), version == 100 || version == 101 ? 1 : 0) << version;
        EXPECT_EQ(message.GetVersionStatus(versions, 1, 1) + message.GetVersionStatus(nullptr, 1, 0), 0);
    }
    const t_MsgEntry codes[2] = {{3, "three"}, {5, "five"}};
    EXPECT_STREQ(GetMsgString(codes, 2, 5), "five");
    EXPECT_STREQ(GetMsgString(codes, 1, 5), "Unknown code: 5");
    EXPECT_STREQ(GetMsgString(nullptr, 2, 3), "Unknown code: 3");
    EXPECT_STREQ(GetMsgString(codes, 2, 65535), "Unknown code: 65535");
    EXPECT_EQ(IsValidEnum(codes, 2, 3), 1);
    EXPECT_EQ(IsValidEnum(codes, 0, 3) + IsValidEnum(codes, 2, 4) + IsValidEnum(nullptr, 2, 3), 0);

    unsigned char buffer[8] = {};
    uint8QManager out(buffer, 8, 0);
    message.Put_QOVATIME(&out, QOVA_TIME{2024, 3, 5, 6, 7, 8, 9});
    EXPECT_EQ(std::memcmp(buffer, "\x07\xE8\x03\x05\x06\x07\x08\x09", 8), 0);
    uint8QManager in(buffer, 8, 1);
    const QOVA_TIME back = message.Get_QOVATIME(&in);
    EXPECT_TRUE(back.year == 2024 && back.fraction == 9);

    // A field that the queue cannot supply reads as 0; without a queue, all.
    uint8QManager shortIn(buffer, 3, 1);
    message.Put_QOVATIME(nullptr, back);
    EXPECT_EQ(message.Get_QOVATIME(&shortIn).day + message.Get_QOVATIME(nullptr).year, 0);

    // Each part of the class identifier is set keeping the other two.
    message.set_Species(0x78);
    message.set_Genus(0x56);
    message.set_Family(0x1234);
    EXPECT_EQ(message.id(), 0x12345678u);
}

TEST(MessageFrame, WalkingFramesStaysInsideTheBuffer) {
    const DtData walker(0);
    const Bytes buffer = Cat({MakeFrame(0x00010203u, {1}), MakeFrame(0x00010204u, {1, 2, 3})});  // payload lengths 3 and 5
    // Within 19 bytes the second frame runs past the end, and within 12 the
    // tail is too short to hold a header: only the first frame is whole.
    for (const auto& [length, count] : {std::pair{20u, 2}, {0u, 0}, {19u, 1}, {12u, 1}}) EXPECT_EQ(walker.QOVASerialElements(buffer.data(), length), count);
    EXPECT_EQ(walker.QOVASerialElements(nullptr, 20), 0);
    const Bytes many(6 * 0x10000, 0);  // frames of class 0 with an empty payload: the count saturates
    EXPECT_EQ(walker.QOVASerialElements(many.data(), static_cast<std::uint32_t>(many.size())), 0xFFFF);

    // A frame's size from its header, with the bytes that exist: the width
    // of its length field is given once its class identifier is there.
    const unsigned char extended[18] = {0x00, 0x05, 0x12, 0x00, 0x00, 0x00, 0x00, 0x0A};  // payload length 10
    const unsigned char empty[8] = {0x00, 0x05, 0x12, 0x00};                                // payload length 0
    // Frame, bytes available, size, width (0: not given).
    const std::tuple<const unsigned char*, std::size_t, std::uint32_t, unsigned char> rows[] = {
        {nullptr, 20, 0, 0}, {buffer.data(), 3, 0, 0}, {buffer.data(), 4, 0, 2}, {buffer.data(), 20, 9, 2},
        {empty, 7, 0, 4},    {empty, 8, 8, 4},         {extended, 17, 0, 4},     {extended, 18, 18, 4}};
    for (const auto& [frame, available, size, expectedWidth] : rows) {
        unsigned char width = 0;
        EXPECT_EQ(walker.QOVASerialSize(frame, available, &width), size) << available;
        EXPECT_EQ(width, expectedWidth) << available;
        width = 0;  // and trusting the header alone
        EXPECT_TRUE(size == 0 || walker.QOVASerialSize(frame, &width) + width == size + expectedWidth);
    }
    EXPECT_EQ(walker.QOVASerialSize(nullptr, nullptr), 0u);
}

using Report = std::tuple<xqova::FrameCheck, std::size_t, std::uint32_t, bool, std::uint64_t, std::uint64_t, std::uint64_t>;
Report Fields(const xqova::FrameReport& r) { return {r.check, r.at, r.classId, r.classRead, r.size, r.found, r.expected}; }

// Each check that refuses a frame is named, with where and what it compared;
// CheckFrame makes the checks that need no message.
TEST(MessageFrame, RefusalsNameTheirCheck) {
    const Bytes head = Cat({Hex("00 65 00 00 12"), kDefaultGuid, Hex("00 01")});  // up to DataLength
    const Bytes good = MakeFrame(0x001D0000u, Cat({head, Hex("00 03 01 02 03")}));  // 36 bytes, checksum at 34
    const Bytes newer = MakeFrame(0x001D0000u, Cat({Hex("00 66"), Bytes(head.begin() + 2, head.end()), Hex("00 03 01 02 03")}));
    const Bytes lying = MakeFrame(0x001D0000u, Cat({head, Hex("00 06 01 02 03")}));  // three bytes and the checksum follow
    Bytes damaged = good;
    damaged[12] ^= 4;
    const std::uint16_t stored = ReadInt16(good.data() + 34);
    const Bytes alone = MakeFrame(0x001D0000u, {});  // the checksum, read as the version
    // The check's name, the frame, the report's at, found and expected, and CheckFrame's result.
    const std::tuple<const char*, Bytes, std::size_t, std::uint64_t, std::uint64_t, std::uint32_t> rows[] = {
        {"too short for its header", Bytes(good.begin(), good.begin() + 3), 0, 3, 4, 0},
        {"too short for its header", Bytes(good.begin(), good.begin() + 4), 0, 4, 6, 0},
        {"stated length beyond the input", Bytes(good.begin(), good.end() - 1), 4, 36, 35, 0},
        {"another family or genus", Encode(CConDStd()), 0, 0x001E0000u, 0x001D0000u, 33},
        {"payload too short for its checksum", Hex("00 1D 00 00 00 00"), 4, 0, 2, 0},
        {"payload too short for its checksum", Hex("00 1D 00 00 00 01 07"), 4, 1, 2, 0},
        {"checksum mismatch", damaged, 34, stored, CalculateCRC(damaged.data(), 34), 0},
        {"newer version", newer, 6, 102, 101, 36},
        {"newer version", alone, 6, ReadInt16(alone.data() + 6), 101, 8},
        {"payload fields do not fit the frame", lying, 6, 0, 0, 36},
        {"no failure", good, 0, 0, 0, 36},
    };
    for (const auto& [check, frame, at, found, expected, framePasses] : rows) {
        SCOPED_TRACE(frame.size());
        xqova::FrameReport report;
        CRNDZDStd target;
        EXPECT_EQ(target.deserialize_all(frame.data(), frame.size(), &report), std::strcmp(check, "no failure") == 0 ? frame.size() : 0u);
        EXPECT_STREQ(xqova::FrameCheckName(report.check), check);
        const bool classRead = frame.size() >= 4;  // the class once its 4 bytes were there, the size once stated
        const std::uint32_t classId = classRead ? ReadInt32(frame.data()) : 0xFFFFFFFFu;
        const std::uint64_t size = frame.size() < 6 ? 0u : 6u + ReadInt16(frame.data() + 4);
        const Report refusal(report.check, at, classId, classRead, size, found, expected);
        EXPECT_EQ(Fields(report), refusal);
        // CheckFrame given the same report leaves the same refusal, or one of no failure.
        EXPECT_EQ(xqova::CheckFrame(frame.data(), frame.size(), &report), framePasses);
        EXPECT_EQ(Fields(report), framePasses == 0 ? refusal : Report(xqova::FrameCheck::kNone, 0, classId, classRead, size, 0, 0));
        EXPECT_EQ(xqova::CheckFrame(frame.data(), frame.size(), nullptr), framePasses);
    }
    EXPECT_STREQ(xqova::FrameCheckName(static_cast<xqova::FrameCheck>(8)), "unknown check");
    xqova::FrameReport none;  // no frame at all, whatever length comes with it
    EXPECT_EQ(xqova::CheckFrame(nullptr, good.size(), &none), 0u);
    EXPECT_EQ(Fields(none), Report(xqova::FrameCheck::kHeader, 0, 0xFFFFFFFFu, false, 0, 0, 4));
}

std::uint32_t Offset(const void* p, const unsigned char* start) {
    return static_cast<std::uint32_t>(static_cast<const unsigned char*>(p) - start);
}

// A full queue presents the buffer for reading; a refused operation changes
// nothing, and a get stores into its target only when it succeeds.
TEST(ByteQueue, FullQueueAndRefusedOperations) {
    unsigned char full[7] = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE};
    uint8QManager reading(full, 7, 1);
    EXPECT_TRUE(reading.get_num_free() == 0 && reading.get_num_used() == reading.get_num_elements());
    double real = 5;
    std::uint32_t wide = 7;
    std::uint16_t value = 0;
    // Each get meets one byte too few once: 7 bytes for 8, 3 for 4, 1 for 2.
    const std::tuple<int, int, int, int, int> gets{reading.get(&real), reading.get(&wide), reading.get(&wide),
                                                   reading.get(&value), reading.get(&value)};  // in order
    EXPECT_EQ(std::make_tuple(gets, real, wide, value, reading.get_num_used()),
              std::make_tuple(std::make_tuple(0, 1, 0, 1, 0), 5.0, 0x12345678u, std::uint16_t{0x9ABC}, 1u));

    unsigned char buffer[6] = {};
    uint8QManager queue(buffer, 6, 0);
    const unsigned char bytes[7] = {1, 2, 3, 4, 5, 6, 7};
    EXPECT_EQ((std::tuple<int, int>{queue.enqueue_array(bytes, 7), buffer[0]}), std::make_tuple(0, 0));  // refused, nothing written
    ASSERT_EQ(queue.enqueue_array(bytes, 3), 1);
    unsigned char target[4] = {9, 9, 9, 9};
    // Three bytes held and three free: each of these needs more.
    EXPECT_EQ(queue.put(1.0) + queue.put(std::uint32_t{1}) + queue.dequeue_array(target, 4) +
                  queue.dequeue_array(std::uint32_t{4}), 0);
    EXPECT_EQ(std::make_tuple(target[0], queue.GetTailPtr()), std::make_tuple(9, static_cast<void*>(buffer)));
    EXPECT_EQ(queue.dequeue_array(std::uint32_t{0}) + queue.enqueue_array(nullptr, 0) + queue.dequeue_array(nullptr, 0), 3);
    EXPECT_EQ(queue.enqueue_array(bytes, 3), 1);  // exactly the free space
    EXPECT_EQ(queue.get_num_free() + queue.put(static_cast<unsigned char>(9)), 0u);
    uint8QManager four(buffer, 4, 0);  // a 32-bit value fills four bytes exactly and is read back from them
    EXPECT_TRUE(four.put(std::uint32_t{0xA1B2C3D4u}) == 1 && four.get(&wide) == 1 && wide == 0xA1B2C3D4u);
    unsigned char one[1] = {0};
    uint8QManager single(one, 1, 0);  // one byte free: a 16-bit value does not fit
    EXPECT_EQ(single.put(std::uint16_t{0x1234}), 0);
    CountingMessage::PutPayloadChecksum(&single, one);  // no room, and no bytes before the buffer summed
    EXPECT_EQ(CountingMessage::PayloadChecksumHolds(single) + single.get_num_used(), 0u);
}

// Every typed value travels most significant byte first, the signed forms as
// the two's-complement patterns of their unsigned twins, and the values and
// runs begin at every offset of queues of several capacities, so that each
// straddles the end of the buffer somewhere.
TEST(ByteQueue, ValuesAndRunsAtEveryOffset) {
    const unsigned char expected[25] = {0x3F, 0x80, 0, 0, 0x80, 0xFF, 0xFE, 0x81, 0, 0, 0, 0xA1, 0xB2,
                                        0xC3, 0xD4, 0xBE, 0xEF, 0x3F, 0xF0, 0, 0, 0, 0, 0, 0};
    for (std::uint32_t capacity : {25u, 26u, 31u}) {
        for (std::uint32_t shift = 0; shift < capacity; ++shift) {
            SCOPED_TRACE(testing::Message() << "capacity " << capacity << " shift " << shift);
            std::vector<unsigned char> buffer(capacity, 0);
            uint8QManager queue(buffer.data(), capacity, 0);
            unsigned char b = 0;
            for (std::uint32_t i = 0; i < shift; ++i) ASSERT_TRUE(queue.enqueue(b) == 1 && queue.dequeue(&b) == 1);
            // In order; at capacity 25 the last value fills the queue exactly.
            for (unsigned char done : {queue.put(1.0f), queue.put(static_cast<signed char>(-128)), queue.put(std::int16_t{-2}),
                                       queue.put(std::int32_t{-0x7F000000}), queue.put(std::uint32_t{0xA1B2C3D4u}),
                                       queue.put(std::uint16_t{0xBEEF}), queue.put(1.0)}) ASSERT_EQ(done, 1);
            for (std::uint32_t i = 0; i < 25; ++i) EXPECT_EQ(buffer[(shift + i) % capacity], expected[i]) << i;
            EXPECT_EQ(Offset(queue.GetHeadPtr(), buffer.data()), (shift + 25) % capacity);
            // Each value read back into a target holding 5; a refused get leaves it so.
            const auto back = [&queue](auto target, unsigned char done) {
                EXPECT_EQ(queue.get(&target), done);
                return target;
            };
            // A braced list reads them in order.
            const std::tuple<float, signed char, std::int16_t, std::int32_t, std::uint32_t, std::uint16_t, double> values{
                back(5.0f, 1), back(static_cast<signed char>(5), 1), back(std::int16_t{5}, 1), back(std::int32_t{5}, 1),
                back(std::uint32_t{5}, 1), back(std::uint16_t{5}, 1), back(5.0, 1)};
            EXPECT_EQ(values, std::make_tuple(1.0f, static_cast<signed char>(-128), std::int16_t{-2}, std::int32_t{-0x7F000000},
                                              0xA1B2C3D4u, std::uint16_t{0xBEEF}, 1.0));
            EXPECT_EQ(back(static_cast<signed char>(5), 0) + back(std::int16_t{5}, 0) + back(std::int32_t{5}, 0) + back(5.0f, 0) +
                          back(5.0, 0), 25.0);

            // A run of `shift` + 1 bytes, read back or skipped.
            std::vector<unsigned char> run(shift + 1), out(shift + 1);
            for (std::uint32_t i = 0; i <= shift; ++i) run[i] = static_cast<unsigned char>(i + 1);
            ASSERT_EQ(queue.enqueue_array(run.data(), shift + 1), 1);
            EXPECT_EQ(queue.get_num_contiguous(), std::min(shift + 1, capacity - Offset(queue.GetTailPtr(), buffer.data())));
            EXPECT_EQ(Offset(queue.GetHeadPtr(), buffer.data()), (2 * shift + 26) % capacity);
            // Read on even shifts; on odd ones skipped, which moves like a read and writes nothing.
            ASSERT_EQ(shift % 2 == 0 ? queue.dequeue_array(out.data(), shift + 1) : queue.dequeue_array(shift + 1), 1);
            EXPECT_EQ(out, shift % 2 == 0 ? run : std::vector<unsigned char>(shift + 1));
            EXPECT_EQ(queue.GetTailPtr(), queue.GetHeadPtr());
            EXPECT_EQ(queue.get_num_used() + queue.get_num_contiguous(), 0u);
        }
    }
}

}  // namespace
