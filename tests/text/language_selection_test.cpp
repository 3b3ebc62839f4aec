// The language of a lookup: the current one, a named one, no fallback to
// another language, and nothing at all without a dictionary.
#include <gtest/gtest.h>

#include "support/bmi_block.h"
#include "table_bytes.h"
#include "xqova/text/string_table.h"

namespace {

constexpr std::uint32_t kBmi = 0x00110800;
constexpr std::uint8_t kEnglish = 0, kGerman = 1, kCurrent = 0xFF;

class LanguageSelection : public ::testing::Test {
protected:
    void SetUp() override {
        const auto block = xqova_test::BmiBlockBytes();
        ASSERT_NE(dictionary_.AddDefinition(block.data()), nullptr);
        ASSERT_EQ(strings_.AddDictionaryTables(&dictionary_, kEnglish), 1);
        // A partial translation in the numbering of the derived English
        // table: 0 the class name, 1 its species, 2 and 3 the first members.
        AddGerman({"BMI-Einstellungen", "SpSTANDARD-de"});
    }
    void* AddGerman(const std::vector<std::string>& strings) {
        const auto table = text_test::LanguageTable(kGerman, strings);
        return strings_.AddLanguageTable(table.data(), table.size());
    }

    CXQOVADictionary dictionary_;
    CXQOVAStringTable strings_;
};

TEST_F(LanguageSelection, NamedLanguageWithoutFallback) {
    EXPECT_STREQ(strings_.GetClassText(kBmi, kGerman), "BMI-Einstellungen");
    EXPECT_STREQ(strings_.GetSpeciesString(kBmi, 0, kGerman), "SpSTANDARD-de");
    EXPECT_STREQ(strings_.GetClassText(kBmi, kEnglish), "CBMICStd");
    EXPECT_STREQ(strings_.GetMemberString(kBmi, 1, kEnglish), "WeightDisplayUnits");
    EXPECT_EQ(strings_.GetMemberString(kBmi, 1, kGerman), nullptr);  // not the English name
    EXPECT_EQ(strings_.GetEnumeratorString(kBmi, 1, 0, kGerman), nullptr);
    EXPECT_EQ(strings_.GetClassText(kBmi, 7), nullptr);
    EXPECT_EQ(strings_.GetLanguageID(), kEnglish);  // naming a language does not select it
}

TEST_F(LanguageSelection, CurrentLanguageFollowsSetLanguageID) {
    EXPECT_STREQ(strings_.GetClassText(kBmi, kCurrent), "CBMICStd");
    EXPECT_EQ(strings_.SetLanguageID(kGerman), 1);
    EXPECT_STREQ(strings_.GetClassText(kBmi, kCurrent), "BMI-Einstellungen");
    EXPECT_EQ(strings_.GetMemberString(kBmi, 0, kCurrent), nullptr);
    EXPECT_EQ(strings_.SetLanguageID(9), 0);  // not held: nothing changes
    EXPECT_EQ(strings_.GetLanguageID(), kGerman);
    EXPECT_NE(strings_.GetLanguageTable(kEnglish), nullptr);
    EXPECT_EQ(strings_.GetLanguageID(), kGerman);

    // A larger German table replaces the current one and stays current.
    void* fuller = AddGerman({"BMI-Einstellungen", "SpSTANDARD-de", "Aktiviert", "Gewichtseinheit"});
    EXPECT_EQ(strings_.GetLanguageTable(kGerman), fuller);
    EXPECT_STREQ(strings_.GetMemberString(kBmi, 1, kCurrent), "Gewichtseinheit");
}

TEST_F(LanguageSelection, MissingPiecesGiveNull) {
    EXPECT_EQ(strings_.GetMemberString(kBmi, 3, kEnglish), nullptr);         // identifier M
    EXPECT_EQ(strings_.GetMemberString(kBmi, 0xFFFE, kEnglish), nullptr);    // no named enumeration
    EXPECT_EQ(strings_.GetEnumeratorString(kBmi, 0, 0, kEnglish), nullptr);  // no enumeration
    EXPECT_EQ(strings_.GetEnumeratorString(kBmi, 1, 2, kEnglish), nullptr);  // no such value
    EXPECT_EQ(strings_.GetClassText(0x00110900, kEnglish), nullptr);         // no such class
    EXPECT_EQ(strings_.GetString(0xFFFF, kEnglish), nullptr);

    strings_.SetDictionary(nullptr);  // the link table is held, but nothing is named
    EXPECT_NE(strings_.GetLinkTable(kBmi), nullptr);
    EXPECT_EQ(strings_.GetClassText(kBmi, kEnglish), nullptr);
    EXPECT_EQ(strings_.GetMemberString(kBmi, 0, kEnglish), nullptr);
    EXPECT_EQ(strings_.GetSpeciesString(kBmi, 0, kEnglish), nullptr);
    EXPECT_EQ(strings_.GetEnumeratorString(kBmi, 1, 0, kEnglish), nullptr);
}

}  // namespace
