// The language of a lookup: the current one, a named one, no fallback to
// another language, and nothing at all without a dictionary.
#include <gtest/gtest.h>

#include "support/bmi_block.h"
#include "table_bytes.h"
#include "xqova/text/string_table.h"

namespace {

constexpr std::uint32_t kBmi = 0x00110800;
constexpr std::uint8_t kEnglish = 0, kGerman = 1, kCurrent = 0xFF;

TEST(LanguageSelection, LookupsAnswerInTheLanguageAskedForOrNotAtAll) {
    const auto block = xqova_test::BmiBlockBytes();
    CXQOVADictionary dictionary;
    ASSERT_NE(dictionary.AddDefinition(block.data()), nullptr);
    CXQOVAStringTable strings;
    ASSERT_EQ(strings.AddDictionaryTables(&dictionary, kEnglish), 1);
    // A partial translation in the numbering of the derived English table:
    // 0 the class name, 1 its species, 2 and 3 the first members.
    const auto german = text_test::LanguageTable(kGerman, {"BMI-Einstellungen", "SpSTANDARD-de"});
    ASSERT_NE(strings.AddLanguageTable(german.data(), german.size()), nullptr);

    EXPECT_STREQ(strings.GetClassText(kBmi, kGerman), "BMI-Einstellungen");
    EXPECT_STREQ(strings.GetSpeciesString(kBmi, 0, kGerman), "SpSTANDARD-de");
    EXPECT_STREQ(strings.GetClassText(kBmi, kEnglish), "CBMICStd");
    EXPECT_STREQ(strings.GetMemberString(kBmi, 1, kEnglish), "WeightDisplayUnits");
    EXPECT_EQ(strings.GetMemberString(kBmi, 1, kGerman), nullptr);  // not the English name
    EXPECT_EQ(strings.GetEnumeratorString(kBmi, 1, 0, kGerman), nullptr);
    EXPECT_EQ(strings.GetClassText(kBmi, 7), nullptr);
    EXPECT_EQ(strings.GetLanguageID(), kEnglish);  // naming a language does not select it

    EXPECT_STREQ(strings.GetClassText(kBmi, kCurrent), "CBMICStd");
    EXPECT_EQ(strings.SetLanguageID(kGerman), 1);
    EXPECT_STREQ(strings.GetClassText(kBmi, kCurrent), "BMI-Einstellungen");
    EXPECT_EQ(strings.GetMemberString(kBmi, 0, kCurrent), nullptr);
    EXPECT_EQ(strings.SetLanguageID(9), 0);  // not held: nothing changes
    EXPECT_EQ(strings.GetLanguageID(), kGerman);

    EXPECT_EQ(strings.GetMemberString(kBmi, 0xFFFE, kEnglish), nullptr);    // no named enumeration
    EXPECT_EQ(strings.GetEnumeratorString(kBmi, 0, 0, kEnglish), nullptr);  // no enumeration
    EXPECT_EQ(strings.GetEnumeratorString(kBmi, 1, 2, kEnglish), nullptr);  // no such value
    EXPECT_EQ(strings.GetClassText(0x00110900, kEnglish), nullptr);         // no such class
    EXPECT_EQ(strings.GetString(0xFFFF, kEnglish), nullptr);

    strings.SetDictionary(nullptr);  // the link table is held, but nothing is named
    EXPECT_NE(strings.GetLinkTable(kBmi), nullptr);
    EXPECT_EQ(strings.GetClassText(kBmi, kEnglish), nullptr);
    EXPECT_EQ(strings.GetMemberString(kBmi, 0, kEnglish), nullptr);
    EXPECT_EQ(strings.GetSpeciesString(kBmi, 0, kEnglish), nullptr);
    EXPECT_EQ(strings.GetEnumeratorString(kBmi, 1, 0, kEnglish), nullptr);
}

}  // namespace
