// Lookups of a string table: the language of a lookup (the current one, a
// named one, no fallback to another, nothing without a dictionary); member
// identifiers of derived classes (those below the base chain's member count
// name the base classes' members, the following ones the class's own, its
// position 0 being the inherit member itself).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/bmi_block.h"
#include "support/objects.h"
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

    using Answers = std::vector<std::pair<const char*, const char*>>;  // {answer, expected}
    const auto expect = [](const Answers& rows) {
        for (const auto& r : rows) EXPECT_STREQ(r.first, r.second) << &r - rows.data();
    };
    // Naming a language does not select it, nor fall back to another; the
    // "no such" lookups answer nothing.
    expect({{strings.GetClassText(kBmi, kGerman), "BMI-Einstellungen"}, {strings.GetSpeciesString(kBmi, 0, kGerman), "SpSTANDARD-de"},
            {strings.GetClassText(kBmi, kEnglish), "CBMICStd"}, {strings.GetMemberString(kBmi, 1, kEnglish), "WeightDisplayUnits"},
            {strings.GetMemberString(kBmi, 1, kGerman), nullptr}, {strings.GetEnumeratorString(kBmi, 1, 0, kGerman), nullptr},
            {strings.GetClassText(kBmi, 7), nullptr}, {strings.GetClassText(kBmi, kCurrent), "CBMICStd"},
            {strings.GetMemberString(kBmi, 0xFFFE, kEnglish), nullptr}, {strings.GetEnumeratorString(kBmi, 0, 0, kEnglish), nullptr},
            {strings.GetEnumeratorString(kBmi, 1, 2, kEnglish), nullptr}, {strings.GetClassText(0x00110900, kEnglish), nullptr},
            {strings.GetString(0xFFFF, kEnglish), nullptr}});
    EXPECT_EQ(strings.GetLanguageID(), kEnglish);
    EXPECT_EQ(strings.SetLanguageID(kGerman), 1);
    EXPECT_EQ(strings.SetLanguageID(9), 0);  // not held: nothing changes
    EXPECT_EQ(strings.GetLanguageID(), kGerman);
    expect({{strings.GetClassText(kBmi, kCurrent), "BMI-Einstellungen"}, {strings.GetMemberString(kBmi, 0, kCurrent), nullptr}});

    strings.SetDictionary(nullptr);  // the link table is held, but nothing is named
    EXPECT_NE(strings.GetLinkTable(kBmi), nullptr);
    expect({{strings.GetClassText(kBmi, kEnglish), nullptr}, {strings.GetEnumeratorString(kBmi, 1, 0, kEnglish), nullptr}});
}

constexpr std::uint32_t kBase = 0x01000000, kDerived = 0x01000100, kGrandChild = 0x01000200, kSelfish = 0x01000300,
                        kAdded = 0x01000400;

// A class whose first member, when `base` is given, inherits from it.
text_test::Bytes Class(const char* name, std::uint32_t id, std::uint32_t base, const char* own) {
    xqova::build::Member member = test_objects::M(own, 0x11);
    member.enumerators = {{0, std::string(own) + "_OFF"}, {1, std::string(own) + "_ON"}};
    xqova::build::ClassDescription d = test_objects::Class(name, id, {member});
    if (base != 0) d.members.insert(d.members.begin(), test_objects::InheritFrom(base));
    return test_objects::Build(d, "");
}

TEST(InheritedMemberNames, IdentifiersResolveThroughTheBaseChain) {
    test_objects::Chain chain({Class("CGrandChild", kGrandChild, kDerived, "Delta"),
                               Class("CDerived", kDerived, kBase, "Gamma"), Class("CBase", kBase, 0, "Alpha"),
                               Class("CSelfish", kSelfish, kSelfish, "Omega")});
    CXQOVADictionary dictionary(chain.Head());
    ASSERT_NE(dictionary.AddDefinition(Class("CAdded", kAdded, kBase, "Gamma").data()), nullptr);
    CXQOVAStringTable strings;
    ASSERT_EQ(strings.AddDictionaryTables(&dictionary), 1);

    const struct {
        std::uint32_t classId;
        std::uint16_t memberId;
        const char* name;
    } cases[] = {
        {kBase, 0, "Alpha"},       {kBase, 1, nullptr},        {kDerived, 0, "Alpha"},
        {kDerived, 1, "Base"},     {kDerived, 2, "Gamma"},     {kDerived, 3, nullptr},
        {kDerived, 0xFFFF, "CDerived"},
        {kGrandChild, 0, "Alpha"}, {kGrandChild, 2, "Gamma"},  {kGrandChild, 3, "Base"},
        {kGrandChild, 4, "Delta"}, {kGrandChild, 5, nullptr},  {kGrandChild, 0xFFFF, "CGrandChild"},
        // A class naming itself as its base: the walk stops at the nesting
        // limit and the class's own entries answer.
        {kSelfish, 0, "Base"},     {kSelfish, 1, "Omega"},
        // A derived class the host added is no base definition: its
        // identifiers are its own positions.
        {kAdded, 0, "Base"},       {kAdded, 1, "Gamma"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.classId << " member " << std::dec << c.memberId);
        EXPECT_STREQ(strings.GetMemberString(c.classId, c.memberId, 0), c.name);
    }
    EXPECT_STREQ(strings.GetEnumeratorString(kGrandChild, 0, 1, 0), "Alpha_ON");
    EXPECT_STREQ(strings.GetEnumeratorString(kGrandChild, 4, 0, 0), "Delta_OFF");
    // A chain of 34 classes, each inheriting from the one before: the walk
    // goes 32 base classes deep and no deeper.
    std::vector<text_test::Bytes> deep;
    for (std::uint32_t k = 0; k < 34; ++k) {
        deep.push_back(Class("CDeep", 0x02000000u + (k << 8), k == 0 ? 0 : 0x01FFFF00u + (k << 8), "Own"));
    }
    test_objects::Chain deepChain(deep);
    CXQOVADictionary deepDictionary(deepChain.Head());
    CXQOVAStringTable deepStrings;
    ASSERT_EQ(deepStrings.AddDictionaryTables(&deepDictionary), 1);
    EXPECT_STREQ(deepStrings.GetMemberString(0x02002000, 0, 0), "Own");
    EXPECT_STREQ(deepStrings.GetMemberString(0x02002100, 0, 0), "Base");
    // Only base definitions resolve, whatever the mode, which comes back.
    for (SearchMode_e mode : {SEARCH_MODE_BASE, SEARCH_MODE_ADDED, SEARCH_MODE_ALL}) {
        dictionary.SetSearchMode(mode);
        EXPECT_STREQ(strings.GetMemberString(kDerived, 0, 0), "Alpha");
        EXPECT_STREQ(strings.GetMemberString(kDerived, 2, 0), "Gamma");
        EXPECT_EQ(dictionary.GetSearchMode(), mode);
    }
}

}  // namespace
