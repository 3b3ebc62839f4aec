// Members found by path and alias, their kinds, typed and physical reads, and
// one string table for a tree. Values are set through positions counted by
// hand, so a lookup that lands on the wrong member reads the wrong value.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "support/objects.h"
#include "xqova/dictionary/dictionary.h"
#include "xqova/host/member_kind.h"
#include "xqova/host/member_path.h"
#include "xqova/host/member_values.h"
#include "xqova/object/object.h"
#include "xqova/object/vector.h"
#include "xqova/text/string_table.h"

namespace {

using namespace test_objects;
using xqova::MemberKind;
using xqova::PathError;

constexpr std::uint32_t kBase = 0x00420000, kReading = 0x00420100, kHolder = 0x00420200;

// CBase:    Alpha uint16 (alias 0xA), Beta uint32
// CReading: CBase; Value int16 (alias 0xB, units 7, x5, 10^-1), Samples int16[4]
//           (units 3, 10^2), Label ansichar[8], Note ansichar UNBOUNDED, Stamp
//           TIME, Later uint8 (from 101), Temperature float32 (10^-2),
//           Wide int64[2], Big int64
// CHolder:  Count uint8, Reading CReading, Readings vector of CReading,
//           Flags uint16 BITMASK, Times TIME[2], Steps int8[2], Longs int32[2],
//           (7) U8 uint8[1], U16 uint16[2], U32 uint32[2], U64 uint64[2] (all
//           bits set but U64[0], the int64 maximum), F32 float32[2], F64
//           float64[2], Wtext widechar[4], Ch ansichar
// Positions in a CReading at 101: Alpha 0, Beta 1, Value 2 ... Later 7,
// Temperature 8, Wide 9, Big 10; at 100 Later is absent and Temperature is 7.
std::vector<Bytes> Blocks() {
    return {Build("CBase", kBase, {With(M("Alpha", 0x11), 0xA), M("Beta", 0x13)}),
            Build("CReading", kReading,
                  {InheritFrom(kBase), With(M("Value", 0x01), 0xB, 7, 5, -1), With(FixedArray("Samples", 0x01, 4), 0xC, 3, 1, 2),
                   FixedArray("Label", 0x08, 8), M("Note", 0x48), M("Stamp", 0x02), M("Later", 0x10, 101),
                   With(M("Temperature", 0x23), 0xD, 0x20, 1, -2), FixedArray("Wide", 0x07, 2), M("Big", 0x07)},
                  101),
            Build("CHolder", kHolder,
                  {M("Count", 0x10), Nested("Reading", kReading), VectorOf("Readings", kReading, 0), M("Flags", 0x39),
                   FixedArray("Times", 0x02, 2), FixedArray("Steps", 0x00, 2), FixedArray("Longs", 0x03, 2),
                   FixedArray("U8", 0x10, 1), FixedArray("U16", 0x11, 2), FixedArray("U32", 0x13, 2), FixedArray("U64", 0x17, 2),
                   FixedArray("F32", 0x23, 2), FixedArray("F64", 0x27, 2), FixedArray("Wtext", 0x09, 4), M("Ch", 0x08)})};
}

const QOVA_TIME kStamp{2024, 3, 5, 14, 32, 10, 9};

class MemberPaths : public ::testing::Test {
protected:
    MemberPaths() : chain_(Blocks()), dictionary_(chain_.Head()), holder_(&dictionary_, kHolder, 0xFFFF) {
        holder_.SetMemberAt(0, static_cast<unsigned char>(7));
        holder_.SetMemberAt(3, static_cast<unsigned short>(0x8001));
        const QOVA_TIME times[2] = {{}, kStamp};
        holder_.SetMemberAt(4, times, 2);
        const signed char steps[2] = {5, -3};
        holder_.SetMemberAt(5, steps, 2);
        const std::int32_t longs[2] = {0, -70000};
        std::memcpy(static_cast<void*>(holder_.GetMemberAt(6)), longs, sizeof longs);
        for (std::uint16_t p = 7, count = 0; p <= 10; ++p) {
            void* at = holder_.GetMemberAt(p, &count);
            std::memset(at, 0xFF, count * holder_.GetMemberAtSize(p));
        }
        const std::int64_t top = INT64_MAX;
        std::memcpy(static_cast<void*>(holder_.GetMemberAt(10)), &top, sizeof top);
        const float floats[2] = {0, 2.5f};
        const double doubles[2] = {0, -0.25};
        holder_.SetMemberAt(11, floats, 2);
        holder_.SetMemberAt(12, doubles, 2);

        CXQOVAObject& r = *Reading();
        r.SetMemberAt(0, static_cast<unsigned short>(11));
        r.SetMemberAt(1, std::uint32_t{0xFFFFFFFFu});
        r.SetMemberAt(2, static_cast<short>(123));
        const short samples[4] = {1, 2, 9, 4};
        r.SetMemberAt(3, samples, 4);
        r.SetMemberAt(4, "ABC", 3);
        r.SetMemberAt(5, "hello", 5);
        r.SetMemberAt(6, kStamp);
        r.SetMemberAt(7, static_cast<unsigned char>(5));
        r.SetMemberAt(8, 3650.0f);
        auto* wide = static_cast<std::int64_t*>(static_cast<void*>(r.GetMemberAt(9)));
        wide[0] = 1;
        wide[1] = 0x100000001LL;

        CXQOVAVector* readings = holder_.GetMemberAt(2);
        CXQOVAObject* older = readings->Push(kReading, 100);
        older->SetMemberAt(7, 12.5f);
        readings->Push(kReading)->SetMemberAt(2, static_cast<short>(-45));
    }

    CXQOVAObject* Reading() { return holder_.GetMemberAt(1); }
    CXQOVAObject* Element(std::uint16_t k) { return static_cast<CXQOVAVector*>(holder_.GetMemberAt(2))->At(k); }

    Chain chain_;
    CXQOVADictionary dictionary_;
    CXQOVAObject holder_;
};

TEST_F(MemberPaths, PathsReachTheMembersTheyNameAndReadsGiveNothingForAnotherKind) {
    // The stored number and, for members with attributes, the physical value
    // (stored x coefficient x 10^exponent) and units.
    const struct {
        std::string_view path;
        double number, value;
        std::uint8_t units;
    } cases[] = {
        {"Count", 7, 7, xqova::kNoUnits},
        {std::string_view("Count[0]", 5), 7, 7, xqova::kNoUnits},  // a path given by length ends there, whatever follows
        {"Flags", 32769, 32769, xqova::kNoUnits},
        {"Reading.Alpha", 11, 11, xqova::kNoUnits},                    // a base member through the derived object
        {"Reading.Beta", 4294967295.0, 4294967295.0, xqova::kNoUnits},  // uint32 kept unsigned
        {"Reading.Value", 123, 61.5, 7},                                 // 123 x 5 x 10^-1
        {"Reading.Samples[2]", 9, 900, 3},                               // 9 x 10^2
        {"Reading.Later", 5, 5, xqova::kNoUnits},
        {"Reading.Temperature", 3650, 36.5, 0x20},
        {"Reading.Wide[1]", 4294967297.0, 4294967297.0, xqova::kNoUnits},  // all 64 bits of an array element
        {"Readings[1].Value", -45, -22.5, 7},
        {"Readings[0].Temperature", 12.5, 0.125, 0x20},  // an element at version 100, without Later
        {"Steps[1]", -3, -3, xqova::kNoUnits},           // a signed 8-bit element
        {"Longs[1]", -70000, -70000, xqova::kNoUnits},
        {"U8[0]", 255, 255, xqova::kNoUnits}, {"U16[1]", 65535, 65535, xqova::kNoUnits},
        {"U32[1]", 4294967295.0, 4294967295.0, xqova::kNoUnits},
        {"U64[0]", 9223372036854775807.0, 9223372036854775807.0, xqova::kNoUnits},
        {"F32[1]", 2.5, 2.5, xqova::kNoUnits}, {"F64[1]", -0.25, -0.25, xqova::kNoUnits},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const xqova::MemberLocation l = xqova::FindMember(holder_, c.path);
        EXPECT_EQ(xqova::ReadNumber(l), std::optional<double>(c.number));
        const std::optional<xqova::PhysicalValue> p = xqova::ReadPhysical(l);
        ASSERT_TRUE(p.has_value());
        EXPECT_EQ(std::make_tuple(p->stored, p->value, p->units), std::make_tuple(c.number, c.value, c.units));
    }
    EXPECT_EQ(std::make_tuple(xqova::ReadInteger(holder_, "Reading.Wide[1]"), xqova::ReadInteger(holder_, "Readings[1].Value")),
              std::make_tuple(std::optional<std::int64_t>(0x100000001LL), std::optional<std::int64_t>(-45)));

    // Where: the holding object, its position and identifier, the accessor.
    const struct {
        const char* path;
        CXQOVAObject* object;
        std::uint16_t position, id, element;
    } where[] = {
        {"Reading.Alpha", Reading(), 0, 0, xqova::kNoElement},
        {"Reading.Temperature", Reading(), 8, 9, xqova::kNoElement},
        {"Readings[0].Temperature", Element(0), 7, 9, xqova::kNoElement},
        {"Reading.Samples[3]", Reading(), 3, 4, 3},
        {"Readings[1]", &holder_, 2, 2, 1},
    };
    for (const auto& w : where) {
        SCOPED_TRACE(w.path);
        const xqova::MemberLocation l = xqova::FindMember(holder_, w.path);
        EXPECT_EQ(std::make_tuple(l.object, l.position, l.id, l.element, l.member),
                  std::make_tuple(w.object, w.position, w.id, w.element, &w.object->GetMemberAt(w.position)));
    }
    const std::pair<const char*, CXQOVAObject*> objects[] = {
        {"Readings[1]", Element(1)}, {"Reading", Reading()}, {"Readings", nullptr}, {"Count", nullptr}, {"Nope", nullptr}};
    for (const auto& [path, object] : objects) EXPECT_EQ(xqova::ObjectAt(xqova::FindMember(holder_, path)), object) << path;

    // Reads of text and time; each typed read gives nothing for another kind.
    // The last two: UNBOUNDED and never set; fixed and all zeros.
    EXPECT_EQ(std::make_tuple(xqova::ReadText(holder_, "Reading.Label"), xqova::ReadText(holder_, "Reading.Note"),
                              xqova::ReadText(holder_, "Readings[0].Note"), xqova::ReadText(holder_, "Readings[0].Label")),
              std::make_tuple("ABC", "hello", "", ""));
    char* label = Reading()->GetMemberAt(4);
    std::memcpy(label, "ABCDEFGH", 8);  // no terminator: the view stops at the array's end
    EXPECT_EQ(xqova::ReadText(holder_, "Reading.Label"), "ABCDEFGH");

    for (const char* path : {"Reading.Stamp", "Times[1]"}) {
        const std::optional<QOVA_TIME> t = xqova::ReadTime(holder_, path);
        ASSERT_TRUE(t) << path;
        EXPECT_EQ(std::memcmp(&*t, &kStamp, sizeof kStamp), 0) << path;
    }

    // A float; a 64-bit scalar (not whole); a uint64 above the int64 range.
    for (const char* path : {"Reading.Temperature", "Reading.Big", "U64[1]"}) EXPECT_FALSE(xqova::ReadInteger(holder_, path)) << path;
    xqova::MemberLocation past = xqova::FindMember(holder_, "Reading.Samples[3]");
    ++past.element;  // one past the array
    EXPECT_FALSE(xqova::ReadNumber(past));
    // No number: a whole array, a vector, no member, a text.
    for (const char* path : {"Reading.Samples", "Readings", "Reading.Nope", "Reading.Label"}) EXPECT_FALSE(xqova::ReadPhysical(holder_, path)) << path;
    // Not text; widechar text; one character; an element.
    for (const char* path : {"Count", "Wtext", "Ch", "Reading.Label[1]"}) EXPECT_FALSE(xqova::ReadText(holder_, path)) << path;
    for (const char* path : {"Times", "Reading.Value"}) EXPECT_FALSE(xqova::ReadTime(holder_, path)) << path;
}

// Each failure as FormatPathError tells it: the reason, the offset and the
// segment at fault (so its length), the element count an index was out of
// range of, and the class searched.
TEST_F(MemberPaths, FailuresSayWhatAndWhere) {
    const char* const kEscaped = "Reading.N\x1b\\\x9b" "p e~\x7f";  // from space to tilde as they are
    const struct {
        const char* path;
        std::string text;
    } cases[] = {
        {"", "malformed path at offset 0 (\"\") in CHolder"},
        {"Reading..Value", "malformed path at offset 8 (\"\") in CReading"},
        {"Reading.", "malformed path at offset 8 (\"\") in CReading"},  // the offset at the path's end is shown
        {"Readings[1", "malformed path at offset 8 (\"[1\") in CHolder"},
        {"Readings[]", "malformed path at offset 8 (\"[\") in CHolder"},
        {"Readings[-1]", "malformed path at offset 8 (\"[\") in CHolder"},
        {"Readings[1x]", "malformed path at offset 8 (\"[1\") in CHolder"},
        {"Readings[1]x", "malformed path at offset 11 (\"x\") in CHolder"},
        {"Readings[1].Label[1]x", "malformed path at offset 20 (\"x\") in CReading"},
        {"Count]", "malformed path at offset 5 (\"]\") in CHolder"},
        {"Nope", "no member of that name at offset 0 (\"Nope\") in CHolder"},
        {kEscaped, "no member of that name at offset 8 (\"N\\x1B\\x5C\\x9Bp e~\\x7F\") in CReading"},
        {"Reading.Base", "no member of that name at offset 8 (\"Base\") in CReading"},        // the base part has no name
        {"Readings[0].Later", "no member of that name at offset 12 (\"Later\") in CReading"},  // absent at version 100
        {"Count.Value", "not an object at offset 0 (\"Count\") in CHolder"},
        {"Readings.Value", "not an object at offset 0 (\"Readings\") in CHolder"},
        {"Reading.Samples[1].Value", "not an object at offset 8 (\"Samples[1]\") in CReading"},
        {"Count[0]", "not an array at offset 0 (\"Count[0]\") in CHolder"},
        {"Reading[0]", "not an array at offset 0 (\"Reading[0]\") in CHolder"},
        {"Readings[2]", "index out of range at offset 0 (\"Readings[2]\"), 2 elements in CHolder"},
        {"Readings[4294967297]", "index out of range at offset 0 (\"Readings[4294967297]\"), 2 elements in CHolder"},
        {"Reading.Samples[4]", "index out of range at offset 8 (\"Samples[4]\"), 4 elements in CReading"},
        {"U8[1]", "index out of range at offset 0 (\"U8[1]\"), 1 element in CHolder"},
    };
    char text[160];
    const auto message = [&text](const xqova::MemberLocation& l, std::string_view path) {
        std::memset(text, 'x', sizeof text);  // the text must end where its length says, whatever was there
        const std::size_t length = xqova::FormatPathError(l, path, text, sizeof text);
        EXPECT_EQ(length, std::strlen(text));
        return std::string(text);
    };
    for (const auto& c : cases) {
        const xqova::MemberLocation l = xqova::FindMember(holder_, c.path);
        EXPECT_FALSE(l) << c.path;
        EXPECT_EQ(message(l, c.path), c.text);
    }
    CXQOVAObject bare(nullptr, kHolder, 0xFFFF);  // no definition: no members, no class name
    EXPECT_EQ(message(xqova::FindMember(bare, "Count"), "Count"), "no member of that name at offset 0 (\"Count\")");
    EXPECT_EQ(message(xqova::FindMember(nullptr, "Count"), "Count"), "holds no object at offset 0 (\"\")");
    EXPECT_EQ(message(xqova::FindMember(holder_, "Count"), "Count"), "found");
    EXPECT_EQ(xqova::FindMember(holder_, static_cast<const char*>(nullptr)).error, PathError::kSyntax);
    const xqova::MemberLocation missing = xqova::FindMember(holder_, kEscaped);
    // An offset past the path given is left out.
    EXPECT_EQ(std::make_tuple(missing.object, message(missing, "Re")), std::make_tuple(Reading(), "no member of that name in CReading"));
    const std::size_t full = cases[11].text.size();
    std::vector<char> cut(8);  // a block of exactly the capacity
    EXPECT_EQ(xqova::FormatPathError(missing, kEscaped, cut.data(), cut.size()), full);  // cut to fit, terminated
    EXPECT_STREQ(cut.data(), "no memb");
    EXPECT_EQ(xqova::FormatPathError(missing, kEscaped, text, 1), full);  // room for the terminator alone
    EXPECT_STREQ(text, "");
    EXPECT_EQ(xqova::FormatPathError(missing, kEscaped, nullptr, 0), full);  // the length alone

    std::string names;
    for (int e = 0; e <= 7; ++e) names += std::string(xqova::PathErrorName(static_cast<PathError>(e))) + ";";
    EXPECT_EQ(names, "found;malformed path;no member of that name;not an object;not an array;index out of range;"
                     "holds no object;unknown;");
}

TEST_F(MemberPaths, AliasesNamesAndOneStringTableFindTheirMember) {
    const xqova::MemberLocation alpha = xqova::FindMemberByAlias(Reading(), 0xA);  // in the base chain
    EXPECT_EQ(std::make_tuple(alpha.position, xqova::ReadInteger(alpha)), std::make_tuple(0, std::optional<std::int64_t>(11)));
    EXPECT_EQ(xqova::ReadInteger(xqova::FindMemberByAlias(Reading(), 0xB)), 123);
    // Alias 0xFFFFFFFF is none; nested objects are not searched; a null object.
    EXPECT_EQ(std::make_tuple(xqova::FindMemberByAlias(Reading(), 0xFFFFFFFFu).error, xqova::FindMemberByAlias(&holder_, 0xB).error,
                              xqova::FindMemberByAlias(nullptr, 0xA).error),
              std::make_tuple(PathError::kNotFound, PathError::kNotFound, PathError::kNoObject));

    // Listed: base members first; an element at version 100 has no Later.
    xqova::MemberEntry entries[11];
    ASSERT_EQ(std::make_tuple(xqova::ListMembers(Element(0), entries, 10), xqova::ListMembers(nullptr, entries, 10)), std::make_tuple(10u, 0u));
    std::string listed;
    for (const auto& e : entries) listed += std::string(e.name) + " " + std::to_string(e.position) + " " + std::to_string(e.id) + ",";
    EXPECT_EQ(listed, "Alpha 0 0,Beta 1 1,Value 2 3,Samples 3 4,Label 4 5,Note 5 6,Stamp 6 7,Temperature 7 9,Wide 8 10,"
                      "Big 9 11, 65535 65535,");

    // A name is searched in the object's own members before its base's.
    constexpr std::uint32_t kShadow = 0x00420300;
    Chain chain({Build("CShadow", kShadow, {InheritFrom(kBase), M("Alpha", 0x13)}), Blocks()[0]});
    CXQOVADictionary dictionary(chain.Head());
    CXQOVAObject shadow(&dictionary, kShadow, 0xFFFF);
    const xqova::MemberLocation own = xqova::FindMember(shadow, "Alpha");
    EXPECT_EQ(std::make_tuple(bool(own), own.position, own.id), std::make_tuple(true, 2, 3));  // the base's is 0

    // One string table names the members of the whole tree.
    CXQOVAStringTable names;
    ASSERT_EQ(names.AddDictionaryTables(&dictionary_), 1);
    const xqova::MemberLocation value = xqova::FindMember(holder_, "Readings[1].Value");
    ASSERT_EQ(value.Kind(), MemberKind::kSignedInteger);
    EXPECT_EQ(value.member->Text(0xFF), nullptr);  // nested objects have no table of their own
    // The holder, its reading and that reading's base, two elements and theirs.
    EXPECT_EQ(xqova::ShareStringTable(&holder_, &names), 7u);
    EXPECT_STREQ(value.member->Text(0xFF), "Value");
    EXPECT_STREQ(Element(0)->GetMemberAtText(1, 0xFF), "Beta");  // answered by the element's base
    EXPECT_EQ(Element(0)->BaseClass()->GetStringTable(), &names);
}

// Built from an encoding at an older version, an object measures room for
// the texts the encoding holds: a member that version lacks is not stepped
// over, so the text after it fits the room and takes no allocation of its own.
TEST(MemberStorage, AnOlderEncodingGivesItsTextsRoom) {
    constexpr std::uint32_t kNotes = 0x00420400;
    Chain chain(Build("CNotes", kNotes, {M("Later", 0x48, 101), M("Note", 0x48)}, 101));
    CXQOVADictionary dictionary(chain.Head());
    CXQOVAObject old(&dictionary, kNotes, 100);
    ASSERT_EQ(old.SetMemberAt(0, "abc", 3), 1);
    unsigned char bytes[64];
    const std::uint32_t n = old.Serialize(bytes, sizeof bytes, 0xFFFF);
    EXPECT_EQ(CXQOVAObject(nullptr, xqova::EncodedBytes{bytes, n}).MemberCount(), 0);  // no dictionary: no class to build
    AllocationFailureGuard guard;
    xqova::testing::FailAllocationsAfter(1);  // the storage alone
    CXQOVAObject decoded(&dictionary, xqova::EncodedBytes{bytes, n});
    EXPECT_EQ(xqova::ReadText(decoded, "Note"), "abc");
}

TEST(MemberKinds, NamedFromTypeBytes) {
    const struct {
        std::uint8_t type;
        MemberKind kind;
    } cases[] = {
        {0x00, MemberKind::kSignedInteger},   {0x87, MemberKind::kSignedInteger}, {0x11, MemberKind::kUnsignedInteger},
        {0x53, MemberKind::kUnsignedInteger}, {0x23, MemberKind::kFloat},         {0xA7, MemberKind::kFloat},
        {0x88, MemberKind::kText},            {0x49, MemberKind::kText},          {0x39, MemberKind::kBitmask},
        {0x2B, MemberKind::kBitmask},         {0x02, MemberKind::kTime},          {0x82, MemberKind::kTime},
        {0x06, MemberKind::kObject},          {0x46, MemberKind::kVector},        {0x86, MemberKind::kVector},
        {0x16, MemberKind::kBase},            {0xF8, MemberKind::kNoMember},      {0x04, MemberKind::kUnknown},
        {0x22, MemberKind::kUnknown},         {0x0B, MemberKind::kUnknown},       {0x18, MemberKind::kUnknown},
        {0x12, MemberKind::kUnknown},         {0x0E, MemberKind::kUnknown},       {0x21, MemberKind::kUnknown},
        {0x2A, MemberKind::kUnknown},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.type));
        EXPECT_EQ(xqova::KindOfType(c.type), c.kind);
    }
    std::string names;
    for (int k = 0; k <= 11; ++k) names += std::string(xqova::MemberKindName(static_cast<MemberKind>(k))) + ";";
    EXPECT_EQ(names, "no member;signed integer;unsigned integer;float;text;bitmask;time;object;vector;base;unknown;unknown;");
}

}  // namespace
