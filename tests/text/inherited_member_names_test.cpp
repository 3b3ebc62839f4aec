// Member identifiers of derived classes: those below the base chain's member
// count name the base classes' members, the following ones the class's own
// (its position 0 being the inherit member itself).
#include <gtest/gtest.h>

#include "support/objects.h"
#include "table_bytes.h"
#include "xqova/text/string_table.h"

namespace {

constexpr std::uint32_t kBase = 0x01000000, kDerived = 0x01000100, kGrandChild = 0x01000200, kSelfish = 0x01000300;

// A class whose first member, when `base` is given, inherits from it.
text_test::Bytes Class(const char* name, std::uint32_t id, std::uint32_t base, const char* own) {
    xqova::build::Member member = test_objects::M(own, 0x11);
    member.enumerators = {{0, std::string(own) + "_OFF"}, {1, std::string(own) + "_ON"}};
    xqova::build::ClassDescription d = test_objects::Class(name, id, {member});
    if (base != 0) d.members.insert(d.members.begin(), test_objects::InheritFrom(base));
    return test_objects::Build(d, "");
}

text_test::Bytes Base() { return Class("CBase", kBase, 0, "Alpha"); }
text_test::Bytes Derived() { return Class("CDerived", kDerived, kBase, "Gamma"); }

TEST(InheritedMemberNames, IdentifiersResolveThroughTheBaseChain) {
    test_objects::Chain chain({Class("CGrandChild", kGrandChild, kDerived, "Delta"), Derived(), Base(),
                            Class("CSelfish", kSelfish, kSelfish, "Omega")});
    CXQOVADictionary dictionary(chain.Head());
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
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.classId << " member " << std::dec << c.memberId);
        EXPECT_STREQ(strings.GetMemberString(c.classId, c.memberId, 0), c.name);
    }
    EXPECT_STREQ(strings.GetEnumeratorString(kGrandChild, 0, 1, 0), "Alpha_ON");
    EXPECT_STREQ(strings.GetEnumeratorString(kGrandChild, 4, 0, 0), "Delta_OFF");
}

TEST(InheritedMemberNames, OnlyBaseDefinitionsResolveAndTheModeComesBack) {
    test_objects::Chain chain({Derived(), Base()});
    CXQOVADictionary dictionary(chain.Head());
    CXQOVAStringTable strings;
    ASSERT_EQ(strings.AddDictionaryTables(&dictionary), 1);
    for (SearchMode_e mode : {SEARCH_MODE_ALL, SEARCH_MODE_BASE, SEARCH_MODE_ADDED}) {
        dictionary.SetSearchMode(mode);
        EXPECT_STREQ(strings.GetMemberString(kDerived, 0, 0), "Alpha");
        EXPECT_STREQ(strings.GetMemberString(kDerived, 2, 0), "Gamma");
        EXPECT_EQ(dictionary.GetSearchMode(), mode);
    }

    // A derived class the host added is no base definition: its identifiers
    // are its own positions.
    test_objects::Chain baseOnly({Base()});
    CXQOVADictionary withAdded(baseOnly.Head());
    ASSERT_NE(withAdded.AddDefinition(Derived().data()), nullptr);
    CXQOVAStringTable added;
    ASSERT_EQ(added.AddDictionaryTables(&withAdded), 1);
    EXPECT_STREQ(added.GetMemberString(kDerived, 0, 0), "Base");
    EXPECT_STREQ(added.GetMemberString(kDerived, 1, 0), "Gamma");
}

}  // namespace
