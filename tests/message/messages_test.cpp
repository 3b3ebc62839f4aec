// The four messages: their frames, what a decode takes from a frame, their
// setters and their XML text. A decode row states what the message then
// writes, so every field it sends is checked at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "tests/support/timing.h"

#include "message_test_support.h"
#include "xqova/core/memory.h"

namespace {

using namespace message_test;

const unsigned char* U(const char* text) { return reinterpret_cast<const unsigned char*>(text); }

// A frame decoded into a message of `kind` that held values (Holding): what
// the row shows, the frame, whether it decodes, SrcVersion afterwards, and
// the frame the message then writes.
using Decode = std::tuple<const char*, Bytes, bool, std::uint16_t, Bytes>;

void CheckDecodes(Kind kind, std::initializer_list<Decode> rows) {
    for (const auto& [what, frame, decodes, version, after] : rows) {
        SCOPED_TRACE(what);
        auto message = Holding(kind);
        EXPECT_EQ(message->deserialize_all(frame.data(), frame.size()), decodes ? frame.size() : 0u);
        EXPECT_EQ(std::make_tuple(message->GetSrcVersion(), Encode(*message)), std::make_tuple(version, after));
    }
}

// The text a message renders, checked against the size of a null-buffer run.
std::string Render(const DtData& message) {
    const std::uint32_t size = message.size_XML();
    std::vector<char> buffer(size + 8, '#');
    EXPECT_EQ(message.serialize_to_XMLbuf(buffer.data()), size);
    EXPECT_TRUE(buffer[size - 1] == '\0' && buffer[size] == '#');  // the zero ends the text, nothing after it
    return std::string(buffer.data());
}

// A version below 100 brings nothing but the flags; the identifier comes only
// from a static block that is not empty (all 16 bytes, whatever its stated
// size), and what a longer block holds beyond them is skipped. What the
// frame does not bring stays as it was; bytes of a text the frame cuts short
// are what the run took (the checksum), then zeros.
TEST(MessageDecode, ConnectionStd) {
    const Bytes tail = {0x00, 0x02, 'a', 0x00, 0x00, 0x01, 0x07};  // SourceID "a", Reserved 07
    const Bytes s16 = {0x00, 0x64, 0x00, 0x00, 0x10};
    const Bytes held = Cat({s16, {5, 6}, Bytes(14, 5), Hex("00 04 73 72 63 00 00 01 05")});  // SourceID "src"
    const auto frame = [](const Bytes& payload) { return MakeFrame(0x001E0000u, payload); };
    const Bytes cut = frame(Cat({s16, Bytes(16, 0xAB), {0x00, 0x08, 'h', 'i'}}));
    CheckDecodes(kStd, {
        {"version 99: only the flags", frame(Cat({{0x00, 0x63, 0x40, 0x00, 0x10}, Bytes(16, 0x11), tail})), true, 99,
         frame(Cat({{0x00, 0x64, 0x40}, Bytes(held.begin() + 3, held.end())}))},
        {"no static block: SourceIDLength follows", frame(Cat({{0x00, 0x64, 0x00, 0x00, 0x00}, tail})), true, 100,
         frame(Cat({Bytes(held.begin(), held.begin() + 21), tail}))},
        {"block of 20: four bytes skipped", frame(Cat({{0x00, 0x64, 0x00, 0x00, 20}, Bytes(16, 0x22), Bytes(4, 9), tail})),
         true, 100, frame(Cat({s16, Bytes(16, 0x22), tail}))},
        {"runs out inside SourceID", cut, true, 100,
         frame(Cat({s16, Bytes(16, 0xAB), {0x00, 0x08, 'h', 'i'}, Bytes(cut.end() - 2, cut.end()), Hex("00 00 00 00 00 01 05")}))},
        {"S 16, no static bytes", Hex("00 1E 00 00 00 07 00 64 00 00 10 44 DA"), true, 100, frame(held)},
        {"3 bytes left: SourceIDLength 00 F5 reaches into the checksum F5 F6", frame({0x00, 0x64, 0x00, 0x00, 0x00, 0x00}), true,
         100, frame(Cat({Bytes(held.begin(), held.begin() + 21), {0x00, 0xF5, 0xF6}, Bytes(244, 0), {0x00, 0x01, 0x05}}))},
        {"3 bytes left after SourceID: ReservedLength 00 0A too (checksum 0A 65)", frame(Hex("00 64 00 00 00 00 01 61 00")),
         true, 100, frame(Cat({Bytes(held.begin(), held.begin() + 21), Hex("00 01 61 00 0A 65"), Bytes(9, 0)}))},
        {"payload length 0", Hex("00 1E 00 05 00 00"), false, 0, MakeFrame(0x001E0005u, Cat({s16, Bytes(20, 0)}))},
    });
}

TEST(MessageDecode, ConnectionDescriptor) {
    const auto frame = [](const char* payload) { return MakeFrame(0x001E0003u, Hex(payload)); };
    const Bytes empty = frame("00 64 00 00 02 00 00 00 00");
    CheckDecodes(kDescriptor, {
        {"version 101 fails", frame("00 65 00 00 02 00 01 00 00"), false, 0, empty},
        {"version 99: no fields", frame("00 63 00 00 02 00 01 00 01 09"), true, 99, empty},
        {"block of 6: the descriptor from its first two bytes", frame("00 64 00 00 06 00 02 EE EE EE EE 00 02 0A 0B"),
         true, 100, frame("00 64 00 00 02 00 02 00 02 0A 0B")},
        {"data beyond the frame fails", frame("00 64 00 00 02 00 01 00 09 01"), false, 0, empty},
        {"S 10, two static bytes", Hex("00 1E 00 03 00 0B 00 64 00 00 0A 00 01 00 00 BD AE"), true, 100,
         frame("00 64 00 00 02 00 01 00 00")},
    });
}

// A frame of version 99 keeps the list; one with a count of 0 deletes it
// (after the static block, all of it unknown to the list, is skipped). The
// frames of a list are taken only when all of them are there.
TEST(MessageDecode, ConnectionList) {
    const Bytes held = Encode(*Holding(kList));
    const auto frame = [](const char* payload) { return MakeFrame(0x001E1201u, Hex(payload)); };
    CheckDecodes(kList, {
        {"version 99", frame("00 63 00 00 00 00 00"), true, 99, held},
        {"two unknown static bytes skipped, count 0", frame("00 64 00 00 02 EE EE 00 00"), true, 100, Encode(CConDExtLst())},
        {"S 16, a frame follows", Hex("00 1E 12 01 00 00 00 0F 00 64 00 00 10 00 01 00 1E 00 03 00 00 09 A3"), true, 100,
         frame("00 64 00 00 00 00 01 00 1E 00 03 00 00")},
        {"listed frame ends in the checksum", Hex("00 1E 12 01 00 00 00 0F 00 64 00 00 00 00 01 00 1E 00 03 00 02 D5 25"),
         true, 100, frame("00 64 00 00 00 00 01 00 1E 00 03 00 02 D5 25")},
        {"two frames announced, one there", frame("00 64 00 00 00 00 02 00 1E 00 03 00 00"), true, 100, held},
        // The CRC of the first seven bytes is 0x01D0: only the payload's
        // length tells that it holds no checksum.
        {"payload length 1, frame CRC sound", Hex("00 1E 12 FA 00 00 00 01 D0"), false, 0,
         MakeFrame(0x001E12FAu, Hex("00 64 00 00 00 00 00"))},
    });
}

// A decode empties the message, then reads what the version and the static
// block give. The static block is read with a running count of the bytes it
// still holds, in 16 bits: a block stated shorter than the identifier still
// yields the identifier, and the count then wraps, so RERVersion is read too.
TEST(MessageDecode, Rendezvous) {
    const auto frame = [](const Bytes& payload) { return MakeFrame(0x001D0000u, payload); };
    const Bytes skipped = {0x00, 0x07, 0xEE, 0xEE, 0x00, 0x02, 0x01, 0x02};
    const Bytes intoChecksum = frame({0x00, 101, 0, 0x00, 0, 0x00, 0x03, 0x44});
    const auto after = [&](unsigned char flags, const Bytes& guid, const Bytes& rest) {
        return frame(Cat({{0x00, 101, flags, 0x00, 18}, guid, rest}));
    };
    const Bytes reset = after(0, Bytes(16, 0), {0, 0, 0, 0});
    CheckDecodes(kRendezvous, {
        {"version 102 fails", frame(Cat({{0x00, 102, 0, 0x00, 18}, Bytes(16, 0x11), {0x00, 0x05, 0x00, 0x00}})), false, 0,
         reset},
        {"version 100: the identifier alone", frame(Cat({{0x00, 100, 0, 0x00, 16}, Bytes(16, 0x22)})), true, 100,
         after(0, Bytes(16, 0x22), {0, 0, 0, 0})},
        {"block of 16: DataLength follows the identifier",
         frame(Cat({{0x00, 101, 0, 0x00, 16}, Bytes(16, 0x33), {0x00, 0x01, 0x44}})), true, 101,
         after(0, Bytes(16, 0x33), {0, 0, 0, 1, 0x44})},
        {"no static block: DataLength follows", frame({0x00, 101, 0, 0x00, 0, 0x00, 0x01, 0x44}), true, 101,
         after(0, Bytes(16, 0), {0, 0, 0, 1, 0x44})},
        {"block of 2: identifier, then RERVersion",
         frame(Cat({{0x00, 101, 0, 0x00, 2}, Bytes(16, 0x33), {0x12, 0x34, 0x00, 0x01, 0x44}})), true, 101,
         after(0, Bytes(16, 0x33), {0x12, 0x34, 0, 1, 0x44})},
        {"block of 20: two bytes skipped", frame(Cat({{0x00, 101, 0x80, 0x00, 20}, kDefaultGuid, skipped})), true, 101,
         after(0x80, kDefaultGuid, {0, 7, 0, 2, 1, 2})},
        {"data reaching into the checksum", intoChecksum, true, 101,
         after(0, Bytes(16, 0), {0, 0, 0, 3, 0x44, intoChecksum[intoChecksum.size() - 2], intoChecksum.back()})},
        {"block longer than the frame fails", frame(Cat({{0x00, 101, 0x80, 0x00, 0x40}, kDefaultGuid, skipped})), false, 0,
         reset},
        {"version 100, S 18, no static bytes", Hex("00 1D 00 00 00 07 00 64 00 00 12 13 A1"), true, 100, reset},
        {"S 256, 18 static bytes",
         Hex("00 1D 00 00 00 1B 00 65 C0 01 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 00 07 00 00 67 03"), true,
         101, after(0xC0, Hex("01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10"), {0, 7, 0, 0})},
    });
}

// Setters and getters, and a frame of another species taken, of another
// genus refused.
TEST(MessageFields, ConnectionStd) {
    CConDStd message;
    ASSERT_EQ(message.SetSourceID("AB", 2), 1);
    message.SetReserved(U("\x07\x08"), 2);
    const Bytes ones(17, 1);
    // Nothing to copy is no failure; 17 bytes are, and leave the identifier zero.
    EXPECT_TRUE(message.SetDeviceGUID(nullptr, 4) == 1 && message.SetDeviceGUID(ones.data(), 16) == 1 &&
                message.SetDeviceGUID(ones.data(), 17) == 0);
    EXPECT_EQ(Bytes(message.GetDeviceGUID(nullptr), message.GetDeviceGUID(nullptr) + 16), Bytes(16, 0));
    message.SetDeviceGUID(ones.data(), 4);
    message.SetValid(1);
    message.set_Species(7);
    const Bytes frame = Encode(message);
    EXPECT_EQ(frame, MakeFrame(0x001E0007u, Cat({{0x00, 0x64, 0x40, 0x00, 0x10}, Bytes(4, 1), Bytes(12, 0),
                                                 {0x00, 0x03, 'A', 'B', 0x00, 0x00, 0x02, 0x07, 0x08}})));
    CConDStd copy;
    ASSERT_EQ(copy.deserialize_all(frame.data(), frame.size()), frame.size());
    const Bytes otherGenus = MakeFrame(0x001E0107u, Bytes(frame.begin() + 6, frame.end() - 2));
    // Refused, leaving the decoded frame as it was.
    EXPECT_EQ((std::tuple<std::uint32_t, Bytes>{copy.deserialize_all(otherGenus.data(), otherGenus.size()), Encode(copy)}),
              std::make_tuple(0u, frame));

    // Exactly `count` characters are stored, a zero among them included.
    std::uint16_t length = 0;
    message.SetSourceID("A\0B", 3);
    EXPECT_TRUE(std::memcmp(message.GetSourceID(&length), "A\0B\0", 4) == 0 && length == 3);
    EXPECT_EQ(message.SetSourceID("x", 0xFFFF), 0);  // 65536 stored bytes would not fit 16 bits
    EXPECT_EQ(message.GetSourceID(nullptr)[2], 'B');
    EXPECT_EQ(message.SetSourceID(std::string(0xFFFE, 'x').c_str(), 0xFFFE), 1);  // the longest that fits
    EXPECT_EQ(message.GetSourceID(&length)[0xFFFD], 'x');
    EXPECT_TRUE(length == 0xFFFE && message.GetReserved(&length)[1] == 0x08 && length == 2);
    EXPECT_EQ(message.SetSourceID(nullptr, 3) + message.SetReserved(nullptr, 2), 2);  // no text, no bytes: empty fields
    // whose getters leave *length as it was
    EXPECT_TRUE(message.GetSourceID(&length) == nullptr && message.GetReserved(&length) == nullptr && length == 2);
}

TEST(MessageFields, RendezvousAndDescriptor) {
    CRNDZDStd message;
    message.SetData(U("\x0A\x0B\x0C"), 3);
    message.SetRERVersion(0x0203);
    const CRNDZDStd& view = message;
    std::uint16_t size = 0;
    EXPECT_TRUE(message.GetDeviceGUID(&size) == view.GetDeviceGUID(nullptr) && size == 16);
    EXPECT_EQ(Encode(message), MakeFrame(0x001D0000u, Cat({{0x00, 101, 0, 0x00, 18}, kDefaultGuid,
                                                            {0x02, 0x03, 0x00, 0x03, 0x0A, 0x0B, 0x0C}})));
    message.Reset(0);  // no defaults left (the frame is a failed decode's, HostileFrames)
    CConDDescriptor descriptor;
    EXPECT_TRUE(descriptor.SetData(U("\x01"), 1) == 1 && descriptor.SetData(nullptr, 2) == 1);  // no bytes empty the field
    std::uint16_t length = 9, descriptorLength = 9;  // an empty field's length is still given
    EXPECT_TRUE(message.GetData(&length) == nullptr && descriptor.GetData(&descriptorLength) == nullptr &&
                length + descriptorLength == 0) << length << " " << descriptorLength;
}

TEST(MessageFields, ConnectionListModes) {
    CConDExtLst list;
    const unsigned char bytes[100] = {};
    ASSERT_EQ(list.InitConnectionList(100), 1);
    EXPECT_EQ(list.AppendConnectionList(bytes, 4, 1), 1);
    CConDExtLst copy(list);
    for (CConDExtLst* fixed : {&list, &copy}) {  // the copy is fixed too, with the same room: 96 bytes fill it
        EXPECT_TRUE(fixed->AppendConnectionList(bytes, 96, 1) == 1 && fixed->AppendConnectionList(bytes, 1, 1) == 0);
    }
    std::uint32_t size = 0;
    EXPECT_TRUE(list.GetConnectionList(&size) != nullptr && size == 100u);
    EXPECT_EQ(list.GetConnectionList(nullptr), list.GetConnectionListAt(0, nullptr));  // null without a size
    list.DeleteConnectionList();
    EXPECT_TRUE(list.GetConnectionList(&size) == nullptr && size == 100u);  // *size left alone
    EXPECT_EQ(list.AppendConnectionList(bytes, 1, 1), 1);
    EXPECT_TRUE(list.GetConnectionList(&size) != nullptr && size == 1u);  // a list of one byte
    for (int i = 0; i < 4; ++i) EXPECT_EQ(list.AppendConnectionList(bytes, 11, 1), 1);
    const std::tuple<const unsigned char*, std::uint32_t, std::uint16_t> refused[] = {
        {bytes, 0, 1}, {nullptr, 1, 1}, {bytes, 1, 0}, {bytes, 1, 0xFFFB}, {bytes, 0xFFFFFFEEu - 44, 1}};
    for (const auto& [frames, size, count] : refused) EXPECT_EQ(list.AppendConnectionList(frames, size, count), 0) << size;
    EXPECT_EQ(list.AppendConnectionList(bytes, 1, 0xFFFA), 1);  // 65,535 frames: the most a list counts
    EXPECT_EQ(list.InitConnectionList(0), 0);
    EXPECT_EQ(list.AppendConnectionList(bytes, 11, 1), 1);  // growable again
    // A decoded list is fixed and full.
    const Bytes frame = Encode(*Holding(kList));
    ASSERT_EQ(list.deserialize_all(frame.data(), frame.size()), frame.size());
    EXPECT_EQ(list.AppendConnectionList(bytes, 1, 1), 0);
}

// Frames at an index: any order of indexes, and appends in between, give the
// same frames. Appended frames are not parsed, but walking them stays inside
// the list: a frame whose stated size runs past its end is not found.
TEST(MessageFields, ConnectionListFramesAtAnIndex) {
    const Bytes first = MakeFrame(0x001E0003u, {1, 2, 3, 4});      // 12 bytes
    const Bytes second = MakeFrame(0x001E0000u, Bytes(12, 0x33));  // 20 bytes
    CConDExtLst list;
    list.AppendConnectionList(first.data(), 12, 1);
    list.AppendConnectionList(second.data(), 20, 1);
    std::uint32_t size = 0;
    unsigned char* base = list.GetConnectionList(&size);
    EXPECT_EQ(list.GetConnectionListAt(2, &size), nullptr);
    for (std::uint16_t index : {1, 0, 1, 1, 0, 1}) {
        EXPECT_TRUE(list.GetConnectionListAt(index, &size) == base + 12 * index && size == (index ? 20u : 12u)) << index;
    }
    const CConDExtLst copy(list);  // a copy walks its own list from the first frame
    EXPECT_EQ(copy.GetConnectionListAt(1, &size), copy.GetConnectionList(&size) + 12);
    Bytes lying = first;
    WriteInt16(lying.data() + 4, 200);
    list.AppendConnectionList(Cat({first, lying}).data(), 24, 2);
    base = list.GetConnectionList(&size);
    EXPECT_TRUE(list.GetConnectionListAt(2, &size) == base + 32 && size == 12u);
    EXPECT_TRUE(list.GetConnectionListAt(3, &size) == nullptr && size == 0u);
    list.DeleteConnectionList();  // a new list is walked from its own first frame
    list.AppendConnectionList(Cat({second, first}).data(), 32, 2);
    base = list.GetConnectionList(&size);
    EXPECT_TRUE(list.GetConnectionListAt(1, &size) == base + 20 && size == 12u);
}

// Visiting every frame of a list in order is linear in the list's size: a
// list of 65,535 six-byte frames takes no longer per frame than one of an
// eighth as many.
TEST(MessageFields, ConnectionListEveryIndexInOrderTakesLinearTime) {
    const auto visit = [](std::size_t n) -> test_timing::Work {
        const auto count = static_cast<std::uint16_t>(std::min<std::size_t>(n, 65535));  // 8n: the most a list holds
        auto list = std::make_shared<CConDExtLst>();
        Bytes frames;
        for (std::uint16_t i = 0; i < count; ++i) frames.insert(frames.end(), {0x00, 0x1E, 0x00, 0x03, 0x00, 0x00});
        EXPECT_EQ(list->AppendConnectionList(frames.data(), static_cast<std::uint32_t>(frames.size()), count), 1);
        return [list, count] {
            std::uint32_t size = 0, total = 0;
            for (std::uint16_t i = 0; i < count; ++i) {
                EXPECT_NE(list->GetConnectionListAt(i, &size), nullptr);
                total += size;
            }
            EXPECT_EQ(total, 6u * count);
        };
    };
    test_timing::ExpectLinear(visit, 8192, "connection list");
}

// Copies made by construction and by assignment encode as the original, and
// each frees its own storage (AddressSanitizer sees any sharing).
TEST(MessageFields, CopiesOwnTheirBytes) {
    const auto expectCopies = [](const auto& source) {
        using T = std::decay_t<decltype(source)>;
        const Bytes frame = Encode(source);
        {
            T constructed(source), assigned;
            assigned = source;
            T& same = assigned;
            assigned = same;  // assigning itself changes nothing
            EXPECT_EQ(std::make_tuple(Encode(constructed), Encode(assigned)), std::make_tuple(frame, frame));
        }
        EXPECT_EQ(Encode(source), frame);
    };
    expectCopies(static_cast<const CConDStd&>(*Holding(kStd)));
    expectCopies(static_cast<const CConDDescriptor&>(*Holding(kDescriptor)));
    expectCopies(static_cast<const CConDExtLst&>(*Holding(kList)));
    expectCopies(CConDExtLst());  // an empty list copies as empty
    expectCopies(static_cast<const CRNDZDStd&>(*Holding(kRendezvous)));
}

TEST(MessageFields, MemoryShortageKeepsLengthsAndStorageInStep) {
    CConDStd std;
    std.SetSourceID("old", 3);
    CConDExtLst list;
    const auto heldList = Holding(kList);
    const Bytes listFrame = Encode(*heldList);
    const Bytes descriptorFrame = Encode(*Holding(kDescriptor));
    auto descriptor = Holding(kDescriptor);
    auto withSource = Holding(kStd);
    const Bytes sourceFrame = Encode(*withSource);
    xqova::testing::FailAllocationsAfter(0);
    EXPECT_EQ(withSource->deserialize_all(sourceFrame.data(), sourceFrame.size()), 0u);  // no room for SourceID
    EXPECT_EQ(std.SetSourceID("newer", 5), 0);  // unchanged
    CConDStd copy(std);                         // the copy's text is left empty
    CConDExtLst listCopy(static_cast<const CConDExtLst&>(*heldList));  // left empty and growable
    EXPECT_EQ(listCopy.AppendConnectionList(U("\x01"), 1, 1), 0);
    EXPECT_EQ(list.deserialize_all(listFrame.data(), listFrame.size()), listFrame.size());  // without its frames
    EXPECT_EQ(descriptor->deserialize_all(descriptorFrame.data(), descriptorFrame.size()), 0u);
    xqova::testing::FailAllocationsAfter(-1);
    EXPECT_STREQ(std.GetSourceID(nullptr), "old");
    // The copy, the source and the descriptor are as new; the list is fixed, of capacity 0; its copy grows.
    EXPECT_EQ(std::make_tuple(Encode(copy), Encode(*withSource), Encode(*descriptor), list.GetConnectionCount(),
                              list.AppendConnectionList(U("\x01"), 1, 1), listCopy.AppendConnectionList(U("\x01"), 1, 1)),
              std::make_tuple(Encode(CConDStd()), Encode(CConDStd()), Encode(CConDDescriptor()), 0, 0, 1));
}

TEST(MessageXml, NewDescriptorText) {
    const std::string expected =
        "<DEFINITION class=\"CConDDescriptor\" version=\"100\" family=\"30\" genus=\"0\" species=\"3\">\n"
        "<MEMBERS>\n"
        "<MEMBER type=\"uint16\" name=\"Descriptor\" minversion=\"100\" maxversion=\"CURRENT_VERSION\">\n"
        "<VALUE><![CDATA[0]]></VALUE>\n"
        "</MEMBER>\n"
        "<MEMBER type=\"uint8\" size=\"UNBOUNDED\" name=\"Data\" minversion=\"100\" maxversion=\"CURRENT_VERSION\">\n"
        "<VALUE><![CDATA[]]></VALUE>\n"
        "</MEMBER>\n"
        "</MEMBERS>\n"
        "<ENUMERATION name=\"Descriptor\">\n"
        "<ENUM name=\"DESCRIPTOR_NORMAL\" defaultvalue=\"0\" selected=\"yes\">\n"
        "<DESCRIPTION language=\"English\"><![CDATA[NO_DESCRIPTION]]></DESCRIPTION>\n"
        "</ENUM>\n"
        "</ENUMERATION>\n"
        "</DEFINITION>\n";
    EXPECT_EQ(Render(CConDDescriptor()), expected);
}

// Pieces of the text of messages holding values; values go in unescaped, a
// text up to its first zero.
TEST(MessageXml, ValuesInTheText) {
    CConDDescriptor descriptor;
    descriptor.SetDescriptor(2);
    descriptor.SetData(U("\x63\x64\xFF"), 3);
    CConDDescriptor unknown;
    unknown.SetDescriptor(3);
    CConDStd std;
    std.SetSourceID("a]]>b\0hidden", 12);
    std.SetReserved(U("\x00\x0A"), 2);
    const auto list = Holding(kList);
    const CConDStd newStd;
    const CRNDZDStd rendezvous;
    const std::tuple<const DtData*, const char*, bool> rows[] = {  // the message, a piece of its text, whether it is there
        {&descriptor, "<VALUE><![CDATA[99;100;255;]]></VALUE>\n", true},
        {&descriptor, "<ENUM name=\"DESCRIPTOR_TRANSPORT_REMOVAL\" defaultvalue=\"2\" selected=\"yes\">", true},
        {&unknown, "ENUMERATION", false},
        {&std, "<VALUE><![CDATA[a]]>b]]></VALUE>\n", true},
        {&std, "hidden", false},
        {&std, "<VALUE><![CDATA[0;10;]]></VALUE>\n", true},
        {list.get(), "<VALUE>0;30;0;3;0;9;", true},
        {&newStd, "<VALUE><![CDATA[{00000000-0000-0000-0000-000000000000}]]></VALUE>\n", true},
        {&rendezvous, "<VALUE><![CDATA[{7B57323E-D61A-4E3D-8EBC-C8658007BBCB}]]></VALUE>\n", true},
        {&rendezvous, "<VALUE><![CDATA[1]]></VALUE>\n", true},
    };
    for (const auto& [message, piece, present] : rows) EXPECT_EQ(Render(*message).find(piece) != std::string::npos, present) << piece;
    EXPECT_EQ(std::make_tuple(std.size_XML(), rendezvous.size_XML(), CConDExtLst().size_XML()),  // the list without frames
              std::make_tuple(567u + 5 + 5, 548u, 270u));
    // The safe form splits "]]>" only where the text makes one, keeps a
    // 4-byte character, and shows control characters and bytes that are not
    // UTF-8 as U+FFFD.
    for (const auto& text : {std::make_pair("]>\xF0\x9F\x98\x80", "<VALUE><![CDATA[]>\xF0\x9F\x98\x80]]></VALUE>\n"),
                             std::make_pair("a]]></VALUE>\x1b\xff",
                                            "<![CDATA[a]]]]><![CDATA[></VALUE>\xEF\xBF\xBD\xEF\xBF\xBD]]>")}) {
        CConDStd bracket;
        bracket.SetSourceID(text.first, static_cast<std::uint16_t>(std::strlen(text.first)));
        std::vector<char> safe(bracket.serialize_to_safe_XMLbuf(nullptr));
        EXPECT_EQ(bracket.serialize_to_safe_XMLbuf(safe.data()), safe.size());
        EXPECT_NE(std::string(safe.data()).find(text.second), std::string::npos) << safe.data();
    }
}

}  // namespace
