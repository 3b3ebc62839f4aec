// Frames from a wire are hostile: every test here hands the decoders bytes in
// heap blocks of exactly the size given, so that a read past them shows under
// AddressSanitizer.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <tuple>
#include <vector>

#include "message_test_support.h"
#include "support/mutations.h"

namespace {

using namespace message_test;

// The numbers of a refusal justify it: too few bytes are fewer than needed, a
// stated size or version past its bound is past it, a mismatch differs.
bool Justified(const xqova::FrameReport& r) {
    using C = xqova::FrameCheck;
    return r.check == C::kHeader || r.check == C::kTooSmall ? r.found < r.expected
         : r.check == C::kLength || r.check == C::kNewerVersion ? r.found > r.expected
         : r.check == C::kPayload || (r.check != C::kNone && r.found != r.expected);
}

// A frame cut anywhere is refused before its payload is read, so the message
// stays as it was; a frame with any payload byte flipped fails its checksum
// and empties the message as Reset does; a stated length at an edge value
// other than the true one is refused.
TEST(HostileFrames, CutOrFlippedFramesAreRefused) {
    // The frames the messages write after Reset: the connection messages' as
    // new, the rendezvous message's without its defaults.
    const Bytes emptied[] = {Encode(CConDStd()), Encode(CConDDescriptor()), Encode(CConDExtLst()),
                             MakeFrame(0x001D0000u, Cat({Hex("00 65 00 00 12"), Bytes(20, 0)}))};
    // A new message has no source version either, nor flags.
    EXPECT_EQ(CConDStd().GetSrcVersion() + CConDDescriptor().GetSrcVersion() + CConDExtLst().GetSrcVersion() +
                  CRNDZDStd().GetSrcVersion() + DtData(0x001E1201u).GetSrcVersion() + DtData().GetDataBitField(), 0);
    for (Kind kind : kKinds) {
        SCOPED_TRACE(kKindNames[kind]);
        const Bytes frame = Encode(*Holding(kind));
        auto target = Holding(kind);
        const unsigned width = target->is_Extended(target->id()) ? 4 : 2;
        const Bytes before = Encode(*target);
        xqova::FrameReport r;
        const auto refused = [&](const Bytes& b) { return !target->deserialize_all(b.data(), b.size(), &r) && Justified(r); };
        test_mutations::EveryPrefix(frame, [&](const Bytes& prefix, std::size_t n) { EXPECT_TRUE(refused(prefix)) << n; });
        EXPECT_EQ(Encode(*target), before);
        test_mutations::EveryByteChange(frame, {0x10}, [&](const Bytes& bad, std::size_t i, unsigned char) {
            // Refused first, then what the refusal left.
            EXPECT_EQ((std::tuple<bool, Bytes, std::uint16_t>{refused(bad), Encode(*target), target->GetSrcVersion()}),
                      std::make_tuple(true, emptied[kind], std::uint16_t{0})) << i;
            ASSERT_EQ(target->deserialize_all(frame.data(), frame.size()), frame.size());
        }, width + 4);
        test_mutations::EveryEdgeValue(frame, 4, width, [&](const Bytes& b, auto v) { EXPECT_TRUE(refused(b)) << v; });
    }
    // Even a caller who vouches for the frame gets no read beyond 32 bits of
    // size, nor a size cut to 32 bits (the base message takes any payload).
    Bytes header = Hex("00 1E 12 01 FF FF FF FF");
    EXPECT_EQ(CConDExtLst().deserialize_all(header.data()), 0u);
    EXPECT_EQ(DtData(0x001E1201u).deserialize_all(header.data()) + CConDStd().deserialize_all(nullptr), 0u);
}

// Payloads of random bytes behind a plausible version and a sound checksum,
// so that every decoder runs over them to their end.
TEST(HostileFrames, RandomPayloadsWithSoundChecksums) {
    std::mt19937 random(20240605);
    for (int round = 0; round < 3000; ++round) {
        const Kind kind = kKinds[round % 4];
        auto message = Holding(kind);
        Bytes payload = {0x00, static_cast<unsigned char>(99 + random() % 3), static_cast<unsigned char>(random()), 0x00,
                         static_cast<unsigned char>(random() % 24)};
        // Small numbers, so that stated lengths and counts often fit.
        for (std::size_t i = 0, extra = random() % 40; i < extra; ++i) {
            payload.push_back(static_cast<unsigned char>(random() % 4 == 0 ? random() : random() % 8));
        }
        const Bytes frame = MakeFrame(message->id(), payload);
        const std::uint32_t result = message->deserialize_all(frame.data(), frame.size());
        ASSERT_TRUE(result == 0 || result == frame.size()) << kKindNames[kind] << " round " << round;
        // Whatever the decode left must encode, and decode back to itself.
        const Bytes again = Encode(*message);
        auto fresh = Holding(kind);
        ASSERT_EQ(fresh->deserialize_all(again.data(), again.size()), again.size()) << kKindNames[kind] << " round " << round;
        ASSERT_EQ(Encode(*fresh), again) << kKindNames[kind] << " round " << round;
    }
}

}  // namespace
