// Frames from a wire are hostile: every test here hands the decoders bytes in
// heap blocks of exactly the size given, so that a read past them shows under
// AddressSanitizer.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "message_test_support.h"
#include "support/mutations.h"
#include "xqova/message/connection.h"
#include "xqova/message/rendezvous.h"

namespace {

using message_test::Bytes;
using message_test::Encode;
using message_test::MakeFrame;

const unsigned char* U(const char* text) { return reinterpret_cast<const unsigned char*>(text); }

struct Kind {
    const char* name;
    std::function<std::unique_ptr<DtData>()> make;  // a message holding some values
    std::function<Bytes()> emptied;                 // the frame of a message after Reset
};

template <class M>
Bytes Emptied() {
    M message;
    message.Reset(0);
    return Encode(message);
}

template <class M>
std::unique_ptr<DtData> Holding(void (*fill)(M&)) {
    auto message = std::make_unique<M>();
    fill(*message);
    return message;
}

std::vector<Kind> Kinds() {
    return {
        {"CConDStd", [] { return Holding<CConDStd>([](CConDStd& m) { m.SetSourceID("src", 3); m.SetReserved(U("\x01"), 1); }); },
         Emptied<CConDStd>},
        {"CConDDescriptor", [] { return Holding<CConDDescriptor>([](CConDDescriptor& m) { m.SetDescriptor(1); m.SetData(U("\x05\x06"), 2); }); },
         Emptied<CConDDescriptor>},
        {"CConDExtLst", [] { return Holding<CConDExtLst>([](CConDExtLst& m) {
             const Bytes a = MakeFrame(0x001E0003u, {0x00, 0x64, 0x00, 0x00, 0x00, 0x00, 0x00});
             const Bytes b = MakeFrame(0x001E1201u, {0x00, 0x64, 0x00, 0x00, 0x00, 0x00, 0x00});
             m.AppendConnectionList(a.data(), static_cast<std::uint32_t>(a.size()), 1);
             m.AppendConnectionList(b.data(), static_cast<std::uint32_t>(b.size()), 1); }); }, Emptied<CConDExtLst>},
        {"CRNDZDStd", [] { return Holding<CRNDZDStd>([](CRNDZDStd& m) { m.SetData(U("\x09"), 1); }); }, Emptied<CRNDZDStd>},
    };
}

// A frame cut anywhere is refused before its payload is read, so the message
// stays as it was; a frame with any payload byte flipped fails its checksum
// and empties the message as Reset does.
TEST(HostileFrames, CutOrFlippedFramesAreRefused) {
    for (const Kind& kind : Kinds()) {
        SCOPED_TRACE(kind.name);
        const Bytes frame = Encode(*kind.make());
        auto target = kind.make();
        const Bytes before = Encode(*target);
        test_mutations::EveryPrefix(frame, [&](const Bytes& prefix, std::size_t n) {
            EXPECT_EQ(target->deserialize_all(prefix.data(), prefix.size()), 0u) << n;
        });
        EXPECT_EQ(Encode(*target), before);
        test_mutations::EveryByteChange(frame, {0x10}, [&](const Bytes& bad, std::size_t i, unsigned char) {
            EXPECT_EQ(target->deserialize_all(bad.data(), bad.size()), 0u) << i;
            EXPECT_EQ(Encode(*target), kind.emptied()) << i;
            EXPECT_EQ(target->GetSrcVersion(), 0) << i;
            ASSERT_EQ(target->deserialize_all(frame.data(), frame.size()), frame.size());
        }, target->is_Extended(target->id()) ? 8 : 6);
    }
}

TEST(HostileFrames, StatedLengthsThatDoNotMatchTheBytes) {
    test_mutations::EveryEdgeValue(Encode(CConDStd()), 4, 2, [](const Bytes& frame, std::uint32_t stated) {
        CConDStd message;
        EXPECT_EQ(message.deserialize_all(frame.data(), frame.size()), 0u) << stated;
    });
    const Bytes wide = Encode(*Kinds()[2].make());
    test_mutations::EveryEdgeValue(wide, 4, 4, [](const Bytes& frame, std::uint32_t stated) {
        CConDExtLst message;
        EXPECT_EQ(message.deserialize_all(frame.data(), frame.size()), 0u) << stated;
    });
    // Even a caller who vouches for the frame gets no read beyond 32 bits of size.
    Bytes header(wide.begin(), wide.begin() + 8);
    WriteInt32(header.data() + 4, 0xFFFFFFFFu);
    CConDExtLst message;
    EXPECT_EQ(message.deserialize_all(header.data()), 0u);
}

// Where a frame runs out inside a static block or its skip, the get or skip
// changes nothing and the decode goes on; a payload too short for its
// checksum fails after the species was taken. Rows: the frame as bytes (its
// checksum sound), the result, and what the message then holds.
TEST(HostileFrames, FramesThatRunOutDecodeOn) {
    using message_test::Hex;
    const unsigned char guid[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    struct Row {
        const char* name;
        std::function<std::unique_ptr<DtData>()> make;
        Bytes frame;
        std::uint32_t result;
        std::function<void(DtData&)> check;
    } rows[] = {
        {"CConDStd, S 16, no static bytes", [] { return Kinds()[0].make(); },
         Hex("00 1E 00 00 00 07 00 64 00 00 10 44 DA"), 13, [](DtData& m) {
             std::uint16_t length = 0;
             const char* source = static_cast<CConDStd&>(m).GetSourceID(&length);
             ASSERT_NE(source, nullptr);
             EXPECT_EQ(std::string(source, length), "src");
             EXPECT_EQ(m.GetSrcVersion(), 100);
         }},
        {"CConDDescriptor, S 10, two static bytes", [] { return Kinds()[1].make(); },
         Hex("00 1E 00 03 00 0B 00 64 00 00 0A 00 01 00 00 BD AE"), 17, [](DtData& m) {
             EXPECT_EQ(static_cast<CConDDescriptor&>(m).GetDescriptor(), 1);
             EXPECT_EQ(static_cast<CConDDescriptor&>(m).GetData(nullptr), nullptr);
         }},
        {"CRNDZDStd 100, S 18, no static bytes", [] { return Kinds()[3].make(); },
         Hex("00 1D 00 00 00 07 00 64 00 00 12 13 A1"), 13, [](DtData& m) {
             EXPECT_EQ(m.GetSrcVersion(), 100);
             EXPECT_EQ(static_cast<CRNDZDStd&>(m).GetRERVersion(), 0);
         }},
        {"CRNDZDStd 101, S 256, 18 static bytes", [] { return Kinds()[3].make(); },
         Hex("00 1D 00 00 00 1B 00 65 C0 01 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 00 07 00 00 67 03"),
         33, [&guid](DtData& m) {
             auto& r = static_cast<CRNDZDStd&>(m);
             EXPECT_EQ(std::memcmp(r.GetDeviceGUID(nullptr), guid, 16), 0);
             EXPECT_EQ(r.GetRERVersion(), 7);
             EXPECT_EQ(r.GetDataBitField(), 0xC0);
             EXPECT_EQ(r.GetData(nullptr), nullptr);
         }},
        {"CConDExtLst, S 16, a frame follows", [] { return Kinds()[2].make(); },
         Hex("00 1E 12 01 00 00 00 0F 00 64 00 00 10 00 01 00 1E 00 03 00 00 09 A3"), 23, [](DtData& m) {
             std::uint32_t size = 0;
             const unsigned char* list = static_cast<CConDExtLst&>(m).GetConnectionList(&size);
             ASSERT_EQ(size, 6u);
             EXPECT_EQ(Bytes(list, list + size), Hex("00 1E 00 03 00 00"));
         }},
        {"CConDExtLst, listed frame ends in the checksum", [] { return Kinds()[2].make(); },
         Hex("00 1E 12 01 00 00 00 0F 00 64 00 00 00 00 01 00 1E 00 03 00 02 D5 25"), 23, [](DtData& m) {
             auto& l = static_cast<CConDExtLst&>(m);
             std::uint32_t size = 0;
             const unsigned char* list = l.GetConnectionList(&size);
             EXPECT_EQ(l.GetConnectionCount(), 1);
             ASSERT_EQ(size, 8u);
             EXPECT_EQ(Bytes(list, list + size), Hex("00 1E 00 03 00 02 D5 25"));
         }},
        {"CConDExtLst, two frames announced, one there", [] { return Kinds()[2].make(); },
         MakeFrame(0x001E1201u, Hex("00 64 00 00 00 00 02 00 1E 00 03 00 00")), 23, [](DtData& m) {
             EXPECT_EQ(static_cast<CConDExtLst&>(m).GetConnectionCount(), 2);  // the list it held
         }},
        {"payload length 0", [] { return Kinds()[0].make(); }, Hex("00 1E 00 05 00 00"), 0, [](DtData& m) {
             EXPECT_EQ(m.species(), 5);
             EXPECT_EQ(static_cast<CConDStd&>(m).GetSourceID(nullptr), nullptr);
         }},
        {"payload length 1", [] { return Kinds()[1].make(); }, Hex("00 1E 00 05 00 01 07"), 0, [](DtData& m) {
             EXPECT_EQ(m.species(), 5);
             EXPECT_EQ(static_cast<CConDDescriptor&>(m).GetDescriptor(), 0);
         }},
        // The CRC of the first seven bytes is 0x01D0: only the payload's
        // length tells that it holds no checksum.
        {"payload length 1, frame CRC sound", [] { return Kinds()[2].make(); }, Hex("00 1E 12 FA 00 00 00 01 D0"), 0,
         [](DtData& m) {
             EXPECT_EQ(m.species(), 0xFA);
             EXPECT_EQ(static_cast<CConDExtLst&>(m).GetConnectionCount(), 0);
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto message = row.make();
        EXPECT_EQ(message->deserialize_all(row.frame.data(), row.frame.size()), row.result);
        row.check(*message);
    }
}

TEST(HostileFrames, AppendedListsAreWalkedInsideThemselves) {
    const Bytes inner = MakeFrame(0x001E0003u, {0x00, 0x64, 0x00, 0x00, 0x00, 0x00, 0x00});
    const auto innerSize = static_cast<std::uint32_t>(inner.size());
    // An appended list is not parsed, but walking it stays inside it.
    Bytes lying = inner;
    WriteInt16(lying.data() + 4, 200);
    CConDExtLst appended;
    appended.AppendConnectionList(inner.data(), innerSize, 1);
    appended.AppendConnectionList(lying.data(), innerSize, 1);
    std::uint32_t size = 99;
    EXPECT_NE(appended.GetConnectionListAt(0, &size), nullptr);
    EXPECT_EQ(size, innerSize);
    EXPECT_EQ(appended.GetConnectionListAt(1, &size), nullptr);
    EXPECT_EQ(size, 0u);
    std::uint32_t total = 0;
    const unsigned char* frames = appended.GetConnectionList(&total);
    EXPECT_EQ(appended.QOVASerialElements(frames, total), 1);
}

// Payloads of random bytes behind a plausible version and a sound checksum,
// so that every decoder runs over them to their end.
TEST(HostileFrames, RandomPayloadsWithSoundChecksums) {
    std::mt19937 random(20240605);
    const std::vector<Kind> kinds = Kinds();
    for (int round = 0; round < 3000; ++round) {
        const Kind& kind = kinds[static_cast<std::size_t>(round) % kinds.size()];
        auto message = kind.make();
        Bytes payload = {0x00, static_cast<unsigned char>(99 + random() % 3), static_cast<unsigned char>(random()), 0x00,
                         static_cast<unsigned char>(random() % 24)};
        const std::size_t extra = random() % 40;
        for (std::size_t i = 0; i < extra; ++i) {
            // Small numbers, so that stated lengths and counts often fit.
            payload.push_back(static_cast<unsigned char>(random() % 4 == 0 ? random() : random() % 8));
        }
        const Bytes frame = MakeFrame(message->id(), payload);
        const std::uint32_t result = message->deserialize_all(frame.data(), frame.size());
        ASSERT_TRUE(result == 0 || result == frame.size()) << kind.name << " round " << round;
        // Whatever the decode left must encode, and decode back to itself.
        const Bytes again = Encode(*message);
        auto fresh = kind.make();
        ASSERT_EQ(fresh->deserialize_all(again.data(), again.size()), again.size()) << kind.name << " round " << round;
        ASSERT_EQ(Encode(*fresh), again) << kind.name << " round " << round;
    }
}

}  // namespace
