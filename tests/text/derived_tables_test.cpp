// Tables derived from definitions: the exact bytes for the CBMICStd
// definition, shared names stored once, which definition of a class gives its
// link table, and failure at every allocation.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/bmi_block.h"
#include "support/objects.h"
#include "table_bytes.h"
#include "xqova/text/string_table.h"
#include "xqova/text/table_builder.h"

namespace {

using text_test::Bytes;

// The language table derived from CBMICStd: class name, species name, then
// each member's name followed by its value names.
Bytes BmiLanguageTable() {
    Bytes table = {0x00, 0x00, 0x0A};  // language 0, ten strings
    // The offset of each string, then the table's size.
    for (std::uint32_t v : {47, 56, 67, 75, 94, 123, 151, 170, 202, 239, 278}) text_test::Put(&table, v, 4);
    static const char strings[] =
        "CBMICStd\0SpSTANDARD\0Enabled\0WeightDisplayUnits\0WEIGHTDISPLAYUNITS_UNITS_LBS\0"
        "WEIGHTDISPLAYUNITS_UNITS_KG\0HeightDisplayUnits\0HEIGHTDISPLAYUNITS_UNITS_INCHES\0"
        "HEIGHTDISPLAYUNITS_UNITS_CENTIMETRES\0HEIGHTDISPLAYUNITS_UNITS_FEET_INCHES";
    table.insert(table.end(), strings, strings + sizeof strings);
    table.insert(table.end(), {0xD7, 0xF2});  // checksum
    return table;
}

const Bytes kBmiLinkTable = {
    0x00, 0x11, 0x08, 0x00,  // class 0x00110800
    0x00, 0x3A,              // 58 bytes
    0x00, 0x03, 0x00, 0x04,  // M = 3, E = 4
    0xFF, 0xFF, 0x00, 0x02,  // Enabled: no enumeration, string 2
    0x00, 0x1A, 0x00, 0x03,  // WeightDisplayUnits: table at 26, string 3
    0x00, 0x24, 0x00, 0x06,  // HeightDisplayUnits: table at 36, string 6
    0x00, 0x32, 0x00, 0x00,  // the class: species table at 50, string 0
    0x00, 0x24, 0x00, 0x00, 0x00, 0x04, 0x00, 0x01, 0x00, 0x05,
    0x00, 0x32, 0x00, 0x00, 0x00, 0x07, 0x00, 0x01, 0x00, 0x08, 0x00, 0x02, 0x00, 0x09,
    0x00, 0x38, 0x00, 0x00, 0x00, 0x01,
    0x0F, 0x48,  // checksum
};

TEST(DerivedTables, BmiDefinitionGivesTheseBytes) {
    const Bytes block = xqova_test::BmiBlockBytes();
    CXQOVADictionary dictionary;
    ASSERT_NE(dictionary.AddDefinition(block.data()), nullptr);
    CXQOVATableBuilder builder;
    ASSERT_EQ(builder.Build(&dictionary, 0), 1);

    const Bytes language(builder.LanguageTable(), builder.LanguageTable() + builder.LanguageTableSize());
    EXPECT_EQ(language, BmiLanguageTable());
    ASSERT_EQ(builder.LinkTableCount(), 1);
    const Bytes links(builder.LinkTables(), builder.LinkTables() + builder.LinkTablesSize());
    EXPECT_EQ(links, kBmiLinkTable);

    // The same again under another language id: only the id byte and the
    // checksum differ.
    ASSERT_EQ(builder.Build(&dictionary, 5), 1);
    EXPECT_EQ(builder.LanguageTable()[0], 5);
    EXPECT_TRUE(std::equal(language.begin() + 1, language.end() - 2, builder.LanguageTable() + 1));

    // Nothing to derive from: a language table without strings, no link
    // tables; a string table takes that only while it holds no table.
    CXQOVADictionary none;
    ASSERT_EQ(builder.Build(&none, 3), 1);
    EXPECT_EQ(Bytes(builder.LanguageTable(), builder.LanguageTable() + builder.LanguageTableSize()), text_test::LanguageTable(3, {}));
    EXPECT_TRUE(builder.LinkTables() == nullptr && builder.Build(nullptr, 0) == 0);
    CXQOVAStringTable empty, linked;
    EXPECT_EQ(empty.GetLanguageID() + empty.SetLanguageID(0), 0xFF);  // none current, none to select
    EXPECT_TRUE(empty.AddDictionaryTables(nullptr) == 0 && empty.AddDictionaryTables(&none) == 1);
    EXPECT_TRUE(linked.AddLinkTable(kBmiLinkTable.data(), kBmiLinkTable.size()) != nullptr && linked.AddDictionaryTables(&none) == 0);

    // Entries may share a value table: three sharing one of 5,458 pairs would
    // need a link table of 65,536 bytes (40 + 12 per pair), one more than its
    // size field states, so nothing is derived.
    auto description = xqova_test::BmiDescription();
    description.members[2].enumerators.assign(5458, {0, "V"});
    Bytes shared = xqova::build::BuildDefinition(description, xqova_test::NoClassName);
    for (std::size_t k : {0, 1}) std::copy_n(&shared[54 + 4 + 8], 2, &shared[54 + 4 + 4 * k]);
    text_test::Stamp(&shared);
    CXQOVADictionary sharing;
    EXPECT_TRUE(sharing.AddDefinition(shared.data()) != nullptr && builder.Build(&sharing, 0) == 0);
    // A failed build holds nothing, like a new builder (which starts cleared).
    EXPECT_EQ(builder.LanguageTableSize() | builder.LinkTablesSize() | builder.LinkTableCount(), 0u);

    // The names a language table can number: 65,535 distinct ones build (class
    // names, "SpOnly", "M", "E", "F" and decimal value names); a further class
    // whose class name, member name or value name is the 65,536th does not.
    // Every value name is met twice, in the named enumerations "E" and "F", so
    // that names sharing a slot of the builder's name pool are looked up again
    // (whatever the pool's seed, thousands of them do).
    const auto named = [](const std::string& name, std::size_t k, const char* member, std::vector<xqova::build::Enumerator> values) {
        xqova::build::ClassDescription d = test_objects::Class(name.c_str(), 0x02000000u + (static_cast<std::uint32_t>(k) << 8), {test_objects::M(member, 0x11)});
        d.enumerations = {{"E", values}, {"F", values}};
        d.xmlBaseSize = 1;  // the document of thousands of values would not fit 16 bits
        return test_objects::Build(d, "");
    };
    std::vector<Bytes> blocks;
    for (std::uint32_t names = 4; names < 0xFFFF;) {  // "SpOnly", "M", "E" and "F", then a class name and its values
        std::vector<xqova::build::Enumerator> values;
        for (++names; values.size() < 3000 && names < 0xFFFF; ++names) values.push_back({static_cast<std::uint16_t>(values.size()), std::to_string(names)});
        blocks.push_back(named("Class" + std::to_string(blocks.size()), blocks.size(), "M", values));
    }
    for (const Bytes& further : {Bytes(), named("CLast", 0xFF, "M", {}), named("Class0", 0xFF, "MLast", {}), named("Class0", 0xFF, "M", {{0, "Last"}})}) {
        std::vector<Bytes> all = blocks;
        if (!further.empty()) all.push_back(further);
        test_objects::Chain chain(all);
        CXQOVADictionary many(chain.Head());
        EXPECT_EQ(builder.Build(&many, 0), further.empty() ? 1 : 0) << all.size();
    }

    // Every allocation of a string table's setup may fail: then it has no dictionary.
    const long last = test_objects::ForEachAllocationFailure([&](long, auto done) {
        CXQOVAStringTable strings;
        const bool succeeded = strings.AddDictionaryTables(&dictionary) == 1;
        done();
        EXPECT_EQ(strings.GetDictionary(), succeeded ? &dictionary : nullptr);
        EXPECT_STREQ(strings.GetEnumeratorString(0x00110800, 2, 2, 0xFF),
                     succeeded ? "HEIGHTDISPLAYUNITS_UNITS_FEET_INCHES" : nullptr);
    });
    EXPECT_GT(last, 0);
}

TEST(DerivedTables, SharedNamesOnceNewestDefinitionAndNoText) {
    auto description = xqova_test::BmiDescription();
    description.members[0].name = "OldEnabled";
    const Bytes old = xqova::build::BuildDefinition(description, xqova_test::NoClassName);
    description.name = "CNoText";
    description.family = 99;
    description.xmlBaseSize = 0;  // carries no usable text
    const Bytes noText = xqova::build::BuildDefinition(description, xqova_test::NoClassName);
    description = xqova_test::BmiDescription();
    description.name = "COtherCStd";
    description.genus = 9;
    description.species.push_back({4, "SpFOUR"});
    description.members.resize(1);  // "Enabled" again
    description.enumerations = {{"WeightDisplayUnits", {{7, "WEIGHTDISPLAYUNITS_UNITS_KG"}}},
                                {"HeightDisplayUnits", {{9, "HEIGHTDISPLAYUNITS_UNITS_INCHES"}}}};
    const Bytes other = xqova::build::BuildDefinition(description, xqova_test::NoClassName);

    // The base chain holds an older CBMICStd; the added version 100 + 1 hides it.
    test_objects::Chain chain({old, noText});
    CXQOVADictionary dictionary(chain.Head());
    Bytes newer101 = xqova_test::BmiBlockBytes();
    WriteInt16(newer101.data() + 5, 101);
    text_test::Stamp(&newer101);
    ASSERT_NE(dictionary.AddDefinition(newer101.data()), nullptr);
    ASSERT_NE(dictionary.AddDefinition(other.data()), nullptr);

    CXQOVATableBuilder builder;
    ASSERT_EQ(builder.Build(&dictionary, 0), 1);
    EXPECT_EQ(builder.LinkTableCount(), 2);
    EXPECT_EQ(ReadInt16(builder.LanguageTable() + 1), 12);  // the ten of CBMICStd, COtherCStd, SpFOUR

    CXQOVAStringTable strings;
    ASSERT_EQ(strings.AddDictionaryTables(&dictionary), 1);
    EXPECT_STREQ(strings.GetMemberString(0x00110800, 0, 0), "Enabled");
    EXPECT_STREQ(strings.GetEnumeratorString(0x00110900, 0xFFFE, 7, 0), "WEIGHTDISPLAYUNITS_UNITS_KG");
    EXPECT_STREQ(strings.GetEnumeratorString(0x00110900, 0xFFFD, 9, 0), "HEIGHTDISPLAYUNITS_UNITS_INCHES");
    EXPECT_STREQ(strings.GetClassText(0x00110904, 0), "COtherCStd");  // through its first species
    EXPECT_STREQ(strings.GetSpeciesString(0x00110904, 4, 0), "SpFOUR");
    EXPECT_EQ(strings.GetClassText(0x00630800, 0), nullptr);

    // Only into an empty string table: a second set would number differently.
    EXPECT_EQ(strings.AddDictionaryTables(&dictionary, 3), 0);
    EXPECT_EQ(strings.GetLanguageTable(3), nullptr);
}

}  // namespace
