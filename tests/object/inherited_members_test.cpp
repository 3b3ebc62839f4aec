// Derived classes: the base-class part lives in the inherit member, member
// identifiers count the base chain's definitions first, positions count the
// base chain's present members first and leave the inherit member out.
#include <gtest/gtest.h>

#include <cstdint>
#include <tuple>

#include "support/objects.h"
#include "xqova/dictionary/dictionary.h"
#include "xqova/object/object.h"
#include "xqova/text/string_table.h"

namespace {

using namespace test_objects;

constexpr std::uint32_t kBase = 0x00410000, kDerived = 0x00410100, kGrandChild = 0x00410200;

Bytes BaseBlock() { return Build("CBase", kBase, {With(M("Alpha", 0x11), 0xA), M("Beta", 0x13)}); }
Bytes DerivedBlock() { return Build("CDerived", kDerived, {InheritFrom(kBase), M("Gamma", 0x03)}); }
Bytes GrandChildBlock() {
    return Build("CGrandChild", kGrandChild, {InheritFrom(kDerived), M("Delta", 0x00), With(M("Eta", 0x10, 101), 0xFFFFFFFFu, 3)},
                 101);
}

class InheritedMembers : public ::testing::Test {
protected:
    InheritedMembers()
        : chain_({GrandChildBlock(), DerivedBlock(), BaseBlock()}),
          dictionary_(chain_.Head()),
          o_(&dictionary_, kGrandChild, 0xFFFF) {}

    // The object `level` steps down the chain of base objects.
    CXQOVAObject* Level(int level) {
        CXQOVAObject* o = &o_;
        for (int i = 0; i < level && o != nullptr; ++i) o = o->BaseClass();
        return o;
    }

    Chain chain_;
    CXQOVADictionary dictionary_;
    CXQOVAObject o_;
};

TEST_F(InheritedMembers, IdentifiersPositionsCastsSettersAndCopies) {
    ASSERT_NE(Level(2), nullptr);
    EXPECT_EQ(std::make_tuple(Level(1)->ClassID(), Level(2)->ClassID(), Level(3)), std::make_tuple(kDerived, kBase, nullptr));
    EXPECT_EQ(std::make_tuple(o_.Cast(kGrandChild), o_.Cast(kDerived), o_.Cast(kBase), o_.Cast(0x00410300), Level(1)->Cast(kGrandChild)),
              std::make_tuple(&o_, Level(1), Level(2), nullptr, nullptr));

    // Identifier -> holding object and type. Each level names the members of
    // its own chain by the same identifiers.
    struct Case { std::uint16_t id; int level; std::uint8_t type; };
    for (const Case& c : {Case{0, 2, 0x11}, Case{1, 2, 0x13}, Case{2, 1, 0x16}, Case{3, 1, 0x03}, Case{4, 0, 0x16},
                          Case{5, 0, 0x00}, Case{6, 0, 0x10}}) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(std::make_tuple(o_.GetMemberType(c.id), &o_.Member(c.id)), std::make_tuple(c.type, &Level(c.level)->Member(c.id)));
    }
    EXPECT_EQ(std::make_tuple(o_.GetMemberType(7), static_cast<CXQOVAObject*>(o_.Member(4)), static_cast<void*>(o_.Member(4))),
              std::make_tuple(0xF8, Level(1), static_cast<void*>(Level(1))));

    ASSERT_EQ(std::make_tuple(Level(2)->MemberCount(), Level(1)->MemberCount(), o_.MemberCount()), std::make_tuple(2, 3, 5));
    const std::uint16_t idAt[5] = {0, 1, 3, 5, 6};
    for (std::uint16_t pos = 0; pos < 5; ++pos) EXPECT_EQ(&o_[pos], &o_.Member(idAt[pos])) << pos;
    EXPECT_EQ(std::make_tuple(o_.GetMemberAtType(5), o_.GetMemberAtAlias(0), o_.GetMemberAtUnits(4), o_.GetMemberAtUnits(3)),
              std::make_tuple(0xF8, 0xAu, 3, 0xFF));

    // At version 100 Eta is absent: one position fewer.
    CXQOVAObject old(&dictionary_, kGrandChild, 100);
    EXPECT_EQ(std::make_tuple(old.MemberCount(), old.MemberAvailable(6), old.GetMemberUnits(6), &old.At(3), old.GetMemberAtType(4)),
              std::make_tuple(4, 0, 3, &old.Member(5), 0xF8));

    // A base the dictionary lacks, or a base without a dictionary, has no
    // members and counts no identifiers.
    Chain orphanChain(Build("COrphan", 0x00410300, {InheritFrom(0x00419900), M("Own", 0x03)}));
    CXQOVADictionary orphans(orphanChain.Head());
    const Bytes derived = DerivedBlock();
    CXQOVAObject orphan(&orphans, 0x00410300, 0xFFFF), alone(nullptr, static_cast<const void*>(derived.data()), 0xFFFF);
    for (CXQOVAObject* o : {&orphan, &alone}) {
        EXPECT_EQ(std::make_tuple(o->GetMemberType(0), o->GetMemberType(1), o->MemberCount()), std::make_tuple(0x16, 0x03, 1));
    }

    // Setters and copies reach the base parts.
    ASSERT_EQ(std::make_tuple(o_.SetMember(1, 77u), o_.SetMemberAt(2, -5), o_.SetMember(4, 1)), std::make_tuple(1, 1, 0));
    EXPECT_EQ(std::make_tuple(static_cast<std::uint32_t>(Level(2)->Member(1)), static_cast<std::int32_t>(Level(1)->Member(3))),
              std::make_tuple(77u, -5));  // the inherit member took no number
    CXQOVAObject copy(o_);
    EXPECT_NE(copy.BaseClass(), o_.BaseClass());
    EXPECT_EQ(std::make_tuple(static_cast<std::uint32_t>(copy.Member(1)), static_cast<std::int32_t>(copy.At(2))), std::make_tuple(77u, -5));
    o_.Reset(1);
    EXPECT_EQ(static_cast<std::uint32_t>(o_.Member(1)), 0u);
}

TEST_F(InheritedMembers, TextsThroughTheStringTable) {
    CXQOVAStringTable strings;
    ASSERT_EQ(strings.AddDictionaryTables(&dictionary_), 1);
    EXPECT_EQ(std::make_tuple(o_.GetClassText(), o_.At(3).Text(0xFF)), std::make_tuple(nullptr, nullptr));
    ASSERT_EQ(o_.SetStringTable(&strings), 1);
    EXPECT_STREQ(o_.GetClassText(), "CGrandChild");
    EXPECT_EQ(o_.GetClassText(9), nullptr);  // no such language
    EXPECT_STREQ(o_.At(3).Text(0xFF), "Delta");
    // A member answers through the string table of the object holding it.
    EXPECT_EQ(o_.GetMemberText(0, 0xFF), nullptr);
    for (int level : {1, 2}) Level(level)->SetStringTable(&strings);

    const char* const byId[8] = {"Alpha", "Beta", "Base", "Gamma", "Base", "Delta", "Eta", nullptr};
    for (std::uint16_t id = 0; id < 8; ++id) EXPECT_STREQ(o_.GetMemberText(id, 0xFF), byId[id]) << id;
    const char* const byPosition[6] = {"Alpha", "Beta", "Gamma", "Delta", "Eta", nullptr};
    for (std::uint16_t pos = 0; pos < 6; ++pos) {
        EXPECT_STREQ(o_.GetMemberAtText(pos, 0xFF), byPosition[pos]) << pos;
        EXPECT_STREQ(o_.At(pos).Text(0xFF), byPosition[pos]) << pos;
    }
}

// Two classes that inherit each other, CA of 4,355 members and CB of 15,
// from an object of CB: 32 levels would count 70,160 identifiers. The 29
// levels from the bottom count exactly 65,535 and are built; the 30th, a CB
// whose 15 identifiers would pass 65,535 while its positions stay below, is
// built without members; the two levels above count afresh.
TEST(InheritedMembersLimit, AChainThatWouldWrapTheCountsIsCutWhereItWould) {
    constexpr std::uint32_t kA = 0x00420000, kB = 0x00420100;
    constexpr std::uint16_t kBig = 4355, kSmall = 15;
    const auto make = [](const char* name, std::uint32_t id, std::uint32_t base, std::uint16_t members) {
        xqova::build::ClassDescription d = Class(name, id, {});
        d.attributeSize = 0;  // keeps the block within 64 KiB
        d.xmlBaseSize = 0xFFFF;  // the empty-member document of 4,355 members is longer than a block states
        d.members.push_back(InheritFrom(base));
        for (std::uint16_t k = 1; k < members; ++k) d.members.push_back(M(("m" + std::to_string(k)).c_str(), 0x10));
        return xqova::build::BuildDefinition(d, [](std::uint32_t) { return std::string("CNested"); });
    };
    Chain chain({make("CA", kA, kB, kBig), make("CB", kB, kA, kSmall)});
    CXQOVADictionary dictionary(chain.Head());
    CXQOVAObject o(&dictionary, kB, 0xFFFF);

    int withDefinition = 0, refused = 0;
    for (CXQOVAObject* level = &o; level != nullptr; level = level->BaseClass()) {
        if (level->GetDefinition() == nullptr) {
            ++refused;
            EXPECT_EQ(std::make_tuple(level->MemberCount(), level->BaseClass()), std::make_tuple(0, nullptr));
            continue;
        }
        ++withDefinition;
        if (level->BaseClass() != nullptr) {
            const unsigned own = xqova::DefinitionMemberCount(level->GetDefinition()) - 1u;  // less the inherit member
            EXPECT_EQ(level->MemberCount(), level->BaseClass()->MemberCount() + own) << withDefinition;
        }
    }
    EXPECT_EQ(std::make_tuple(refused, withDefinition, o.MemberCount()), std::make_tuple(1, 2, kBig - 1 + kSmall - 1));
    // The refused CB still counts its 15 identifiers below the CA above it: then the top's inherit member, its
    // last member, nothing.
    EXPECT_EQ(std::make_tuple(o.GetMemberType(kSmall + kBig), o.GetMemberType(kSmall + kBig + kSmall - 1),
                              o.GetMemberType(kSmall + kBig + kSmall)),
              std::make_tuple(0x16, 0x10, 0xF8));
}

}  // namespace
