// Tables from outside: each malformed table is refused without a read
// outside its buffer (every buffer is exactly as long as its bytes, so the
// address sanitizer catches such a read), the held tables stay as they were,
// and bulk adds count as documented.
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "support/mutations.h"
#include "table_bytes.h"
#include "xqova/text/string_table.h"
#include "xqova/text/table_check.h"

namespace {

using text_test::Bytes;
using xqova::TableCheck;

constexpr std::uint32_t kClass = 0x00110800;

// Strings at 19, 25 and 30; size field at 15; 38 bytes.
Bytes GoodLanguage() { return text_test::LanguageTable(2, {"Alpha", "Beta", "Gamma"}); }
// M = 1, E = 3: entries at 10, 14, 18; enumeration tables at 22 (end 28) and
// 28 (end 38); 40 bytes.
Bytes GoodLink(std::uint32_t id = kClass) { return text_test::LinkTable(id, 1, {{0, {}}, {1, {{0, 2}}}, {3, {{0, 4}, {1, 5}}}}); }

// One damage: a field of `width` bytes at `at` (from the end when negative)
// set to `value` (width 1: XOR), the checksum restamped or not, the buffer
// cut to `keep` bytes (0: not cut).
struct Damage {
    const char* what;
    long at;
    int width;
    std::uint32_t value;
    bool restamp;
    std::size_t keep;
    xqova::TableCheck check = xqova::TableCheck::kNone;  // the check that names the damage
    std::uint64_t reportedAt = 0, found = 0, expected = 0;  // and the report's other fields
    std::uint16_t entry = 0xFFFF;
};

using Report = std::tuple<xqova::TableCheck, std::size_t, std::uint64_t, std::uint64_t, std::uint16_t>;
Report Fields(const xqova::TableReport& r) { return {r.check, r.at, r.found, r.expected, r.entry}; }

Bytes Apply(Bytes b, const Damage& d) {
    unsigned char* field = b.data() + (d.at < 0 ? static_cast<long>(b.size()) + d.at : d.at);
    if (d.width == 1) *field ^= static_cast<unsigned char>(d.value);
    if (d.width == 2) WriteInt16(field, static_cast<std::uint16_t>(d.value));
    if (d.width == 4) WriteInt32(field, d.value);
    if (d.restamp) text_test::Stamp(&b);
    if (d.keep != 0) b.resize(d.keep);
    return b;
}

TEST(MalformedTables, AreRefusedAndChangeNothing) {
    const Damage language[] = {
        {"no header", 0, 0, 0, false, 2, TableCheck::kHeader, 0, 2, 3},
        {"string offsets past the buffer", 1, 2, 0xFFFF, false, 0, TableCheck::kHeader, 0, 38, 7 + 4 * 0xFFFF},
        {"cut after the size field", 0, 0, 0, false, 19, TableCheck::kSize, 15, 38, 19},
        {"stated size 0", 15, 4, 0, false, 0, TableCheck::kSize, 15, 0, 21},
        {"stated size cutting the header", 15, 4, 20, false, 0, TableCheck::kSize, 15, 20, 21},
        {"stated size past the buffer", 15, 4, 39, false, 0, TableCheck::kSize, 15, 39, 38},
        {"checksum", -1, 1, 0x01, false, 0, TableCheck::kChecksum, 36, 0x61FA, 0x61FB},
        {"string offset past the table", 7, 4, 0x10000, true, 0, TableCheck::kString, 7, 0x10000, 19, 1},
        {"first string's offset into the header", 3, 4, 0, true, 0, TableCheck::kString, 3, 0, 19, 0},
        {"string offset at the checksum", 11, 4, 36, true, 0, TableCheck::kString, 11, 36, 19, 2},
        {"last string unterminated", -3, 1, 'x', true, 0, TableCheck::kString, 11, 30, 19, 2},
    };
    const Damage link[] = {
        {"no header", 0, 0, 0, false, 9, TableCheck::kHeader, 0, 9, 10},
        {"fixed header alone", 0, 0, 0, false, 10, TableCheck::kSize, 4, 40, 10},
        {"stated size 0", 4, 2, 0, false, 0, TableCheck::kSize, 4, 0, 16},
        {"stated size 15", 4, 2, 15, false, 0, TableCheck::kSize, 4, 15, 16},
        {"stated size past the buffer", 4, 2, 41, false, 0, TableCheck::kSize, 4, 41, 40},
        {"checksum", -2, 1, 0x80, false, 0, TableCheck::kChecksum, 38, 0x7873, 0xF873},
        {"entries fewer than M + 1", 6, 2, 3, true, 0, TableCheck::kCounts, 8, 3, 4},
        {"entries past the table", 8, 2, 0x4000, true, 0, TableCheck::kSize, 4, 40, 10 + 4 * 0x4000 + 2},
        {"first entry's enumeration past the table", 10, 2, 0x7FF0, true, 0, TableCheck::kEnumeration, 10, 0x7FF0, 22, 0},
        // Entry 2 reads as a well-formed empty table ending at 28: only its
        // place, among the entries, is wrong.
        {"enumeration among the entries", 14, 2, 18, true, 0, TableCheck::kEnumeration, 14, 18, 22, 1},
        {"enumeration end before its start", 22, 2, 20, true, 0, TableCheck::kEnumeration, 22, 20, 24, 1},
        {"enumeration end past the checksum", 22, 2, 40, true, 0, TableCheck::kEnumeration, 22, 40, 24, 1},
        {"enumeration end splitting a pair", 22, 2, 26, true, 0, TableCheck::kEnumeration, 22, 26, 24, 1},
    };
    xqova::TableReport report;  // each check given the report the one before it filled
    for (const Damage& d : language) {
        SCOPED_TRACE(std::string("language: ") + d.what);
        CXQOVAStringTable strings;
        void* copy = strings.AddLanguageTable(text_test::LanguageTable(2, {"Held"}).data());
        const Bytes bad = Apply(GoodLanguage(), d);
        EXPECT_EQ(strings.AddLanguageTable(bad.data(), bad.size()), nullptr);
        EXPECT_EQ(strings.AddLanguageTables(bad.data(), bad.size()), 0);
        EXPECT_FALSE(xqova::CheckLanguageTable(bad.data(), bad.size(), &report));
        EXPECT_EQ(Fields(report), Report(d.check, d.reportedAt, d.found, d.expected, d.entry)) << xqova::TableCheckName(report.check);
        EXPECT_EQ(strings.GetLanguageTable(2), copy);
    }
    for (const Damage& d : link) {
        SCOPED_TRACE(std::string("link: ") + d.what);
        CXQOVAStringTable strings;
        void* copy = strings.AddLinkTable(GoodLink().data());
        const Bytes bad = Apply(GoodLink(), d);
        EXPECT_EQ(strings.AddLinkTable(bad.data(), bad.size()), nullptr);
        EXPECT_EQ(strings.AddLinkTables(bad.data(), bad.size()), 0);
        EXPECT_FALSE(xqova::CheckLinkTable(bad.data(), bad.size(), &report));
        EXPECT_EQ(Fields(report), Report(d.check, d.reportedAt, d.found, d.expected, d.entry)) << xqova::TableCheckName(report.check);
        EXPECT_EQ(strings.GetLinkTable(kClass), copy);
    }
    EXPECT_TRUE(xqova::CheckLanguageTable(GoodLanguage().data(), GoodLanguage().size(), &report));
    EXPECT_TRUE(xqova::CheckLinkTable(GoodLink().data(), GoodLink().size(), &report));
    EXPECT_EQ(Fields(report), Report(TableCheck::kNone, 0, 0, 0, 0xFFFF));  // nothing left of the last refusal
    // The one-argument forms trust the stated size but test the checksum.
    CXQOVAStringTable strings;
    EXPECT_EQ(strings.AddLanguageTable(Apply(GoodLanguage(), {"", 8, 1, 1, false, 0}).data()), nullptr);
    EXPECT_EQ(strings.AddLinkTable(Apply(GoodLink(), {"", 11, 1, 1, false, 0}).data()), nullptr);
    EXPECT_TRUE(strings.AddLanguageTable(nullptr) == nullptr && strings.AddLinkTable(nullptr) == nullptr);
    EXPECT_NE(strings.AddLinkTable(GoodLink().data()), nullptr);

    // Every cut and every changed byte is refused, the held tables kept.
    const Bytes goodLanguage = GoodLanguage(), goodLink = GoodLink();
    // The numbers of each refusal justify it: too few bytes or entries are
    // fewer than needed, a stated size or checksum differs from the one it
    // should be.
    const auto refused = [&](const Bytes& bad, std::size_t at) {
        EXPECT_EQ(strings.AddLanguageTable(bad.data(), bad.size()), nullptr) << at;
        EXPECT_EQ(strings.AddLinkTable(bad.data(), bad.size()), nullptr) << at;
        for (auto check : {xqova::CheckLanguageTable, xqova::CheckLinkTable}) {
            EXPECT_FALSE(check(bad.data(), bad.size(), &report)) << at;
            EXPECT_TRUE(report.check == TableCheck::kHeader || report.check == TableCheck::kCounts
                            ? report.found < report.expected
                            : report.check != TableCheck::kNone &&
                                  (report.found != report.expected || report.check == TableCheck::kString ||
                                   report.check == TableCheck::kEnumeration)) << at << " " << xqova::TableCheckName(report.check);
        }
    };
    for (const Bytes* good : {&goodLanguage, &goodLink}) {
        test_mutations::EveryPrefix(*good, refused);
        test_mutations::EveryByteChange(*good, {0x01, 0x80}, [&](const Bytes& bad, std::size_t at, unsigned char) { refused(bad, at); });
    }
    EXPECT_EQ(0, std::memcmp(strings.GetLinkTable(kClass), goodLink.data(), goodLink.size()));
}

TEST(BulkAdd, CountsTablesUntilTheWalkStops) {
    const Bytes a = text_test::LanguageTable(1, {"one"});
    const Bytes b = text_test::LanguageTable(2, {"two", "deux"});
    const Bytes c = text_test::LanguageTable(3, {"three"});
    struct Case {
        const char* what;
        Bytes buffer;
        std::uint16_t result;
        std::uint8_t held;  // languages 1 to `held` are stored
    };
    Bytes many;  // the count stops one short of 0xFFFF, which says "every table"
    for (int k = 0; k < 0xFFFF; ++k) many.insert(many.end(), a.begin(), a.end());
    const Case cases[] = {
        {"65,535 tables and three stray bytes", test_mutations::Cat({many, Bytes(3, 0)}), 0xFFFE, 1},
        {"three clean tables", test_mutations::Cat({a, b, c}), 0xFFFF, 3},
        {"damaged second", test_mutations::Cat({a, Apply(b, {"", -1, 1, 1, false, 0}), c}), 1, 1},
        {"damaged first", test_mutations::Cat({Apply(a, {"", -1, 1, 1, false, 0}), b}), 0, 0},
        {"three stray bytes", test_mutations::Cat({a, b, Bytes(3, 0)}), 2, 2},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.what);
        CXQOVAStringTable strings;
        EXPECT_EQ(strings.AddLanguageTables(t.buffer.data(), t.buffer.size()), t.result);
        for (std::uint8_t id = 1; id <= 3; ++id) EXPECT_EQ(strings.GetLanguageTable(id) != nullptr, id <= t.held);
    }
    CXQOVAStringTable strings;
    EXPECT_EQ(std::make_tuple(strings.AddLanguageTables(nullptr, 10), strings.AddLanguageTables(a.data(), 0)), std::make_tuple(0, 0));
    const Bytes links = test_mutations::Cat({GoodLink(), GoodLink(0x00120800)});
    EXPECT_EQ(strings.AddLinkTables(links.data(), links.size()), 0xFFFF);
    const Bytes stalled = test_mutations::Cat({GoodLink(0x00130800), Apply(GoodLink(0x00140800), {"", 4, 2, 0, false, 0})});
    EXPECT_EQ(strings.AddLinkTables(stalled.data(), stalled.size()), 1);
    EXPECT_EQ(strings.GetLinkTable(0x00140800), nullptr);
}

}  // namespace
