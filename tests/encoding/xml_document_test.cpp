// Whole documents, exact and well-formed: the clinician configuration line
// for line, member lines with every attribute, enumerations, names in UTF-16,
// versions the stored base size cannot hold, the documents of the built-in
// classes with random values (the 8-bit size against the written result,
// the safe forms against the exact one), documents that cannot be written
// leaving no trace, and the writers that take a capacity.
// The well-formed form escapes names in attributes, splits "]]>" inside CDATA
// and replaces every character XML cannot carry by U+FFFD; its 8-bit form is
// UTF-8, and is the UTF-16 form converted, byte for byte.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "encoding/xml_test_support.h"
#include "xqova/encoding/decode_report.h"
#include "xqova/encoding/xml_template.h"

namespace {

using namespace xml_test;

struct Documents {
    std::string exact, safe8, safe16;  // without terminators; safe16 as UTF-8
};

// Both safe documents (see Write) and the exact 8-bit one.
Documents WriteAll(CXQOVAObject& object) {
    const auto safe8 = Write<char>(object, 0xFFFF, true);
    const auto safe16 = Write<char16_t>(object, 0xFFFF, true);
    EXPECT_TRUE(safe8.result == safe8.size && safe16.result == safe16.size && safe8.guardIntact && safe16.guardIntact);
    return {Write8(object, 0xFFFF).text, safe8.text, ToUtf8(safe16.text)};
}

const char kClinician[] =
    "<DEFINITION class=\"CClinicianCStd\" version=\"100\" family=\"101\" genus=\"8\" species=\"0\">\n<MEMBERS>\n"
    "<MEMBER type=\"uint8\" name=\"BarcodeEnabled\" minversion=\"100\" maxversion=\"CURRENT_VERSION\">\n"
    "<VALUE><![CDATA[1]]></VALUE>\n</MEMBER>\n"
    "<MEMBER type=\"uint16\" name=\"ExternalPort\" minversion=\"100\" maxversion=\"CURRENT_VERSION\">\n"
    "<VALUE><![CDATA[10]]></VALUE>\n</MEMBER>\n</MEMBERS>\n"
    "<ENUMERATION name=\"ExternalPort\">\n<ENUM name=\"EXTERNALPORT_PORT_1\" defaultvalue=\"10\" selected=\"YES\"/>\n"
    "</ENUMERATION>\n</DEFINITION>\n";

// Each version asked for has a template of its own, and a dictionary keeps a
// bounded number of them: how many of a class named `name` (one uint8
// member), written at the versions from 10000 on. A write at a version whose
// template is kept needs no memory; past the bound documents are written all
// the same, from templates made for the call. All templates are of one size,
// the five-digit version included.
std::uint32_t KeptTemplates(const std::string& name) {
    Chain chain(Build(Class(name.c_str(), 0x004B0000, {M("A", 0x10)})));
    CXQOVADictionary dictionary(chain.Head());
    CXQOVAObject object(&dictionary, 0x004B0000u, 0xFFFF);
    std::vector<char> buffer(1 << 16);
    std::uint16_t v = 10000;
    for (bool kept = true; kept && v < 65535; ++v) {
        EXPECT_NE(object.XMLSerialize(buffer.data(), buffer.size(), v), 0u);
        EXPECT_NE(std::string(buffer.data()).find(" version=\"" + std::to_string(v) + "\" "), std::string::npos);
        AllocationFailureGuard guard;
        xqova::testing::FailAllocationsAfter(0);
        kept = object.XMLSerialize(buffer.data(), buffer.size(), v) != 0;
        EXPECT_EQ(object.XMLSizeAll(v) != 0, kept);  // a size without its template is 0
    }
    return v - 10001u;
}

TEST(XmlDocument, ClinicianConfigurationLineForLine) {
    CXQOVADictionary dictionary(RER_KLEV_ZENTO::Dictionary());  // templates of its own
    CXQOVAObject clinician(&dictionary, kClinicianC, 100);
    clinician.SetMember(0, static_cast<unsigned char>(1));
    clinician.SetMember(1, static_cast<unsigned short>(10));
    const auto w = Write8(clinician, 0xFFFF);
    const auto u = Write16(clinician, 0xFFFF);
    EXPECT_EQ(std::make_tuple(w.text, u.text), std::make_tuple(std::string(kClinician), Widen(kClinician)));
    EXPECT_EQ(std::vector<std::uint32_t>({w.result, w.size, u.result, u.size}),
              std::vector<std::uint32_t>({496, 498, 992, 992}));
    const auto other = static_cast<XMLEncoding_e>(3);
    EXPECT_EQ(clinician.XMLSizeAll(other, 0xFFFF) | clinician.XMLSizeAllSafe(other, 0xFFFF), 0u);
    EXPECT_EQ(clinician.XMLSerialize(static_cast<char*>(nullptr), 0xFFFF), 0u);

    // A version below every member: all lines empty, the version written as
    // given; the enumerations follow the members the object holds. A value
    // without enumerator leaves its ENUMERATION element empty.
    clinician.SetMember(1, static_cast<unsigned short>(5));
    const auto old = Write8(clinician, 99);
    EXPECT_EQ(old.text,
              "<DEFINITION class=\"CClinicianCStd\" version=\"99\" family=\"101\" genus=\"8\" species=\"0\">\n<MEMBERS>\n"
              "<MEMBER type=\"uint8\" name=\"BarcodeEnabled\" minversion=\"100\" maxversion=\"CURRENT_VERSION\"/>\n"
              "<MEMBER type=\"uint16\" name=\"ExternalPort\" minversion=\"100\" maxversion=\"CURRENT_VERSION\"/>\n"
              "</MEMBERS>\n<ENUMERATION name=\"ExternalPort\">\n</ENUMERATION>\n</DEFINITION>\n");
    EXPECT_EQ(old.size - old.result, 3u);  // the base counts five version digits

    // The cache fills to exactly its bound: from how many templates of one
    // size S are kept, S (below 2048, the only one the count allows); a
    // longer name makes S a power of two, and 4 MiB / S are kept.
    const std::uint32_t kept = KeptTemplates("CKept");
    const std::uint32_t size = static_cast<std::uint32_t>(xqova::xml::kTemplateCacheBytes / kept);
    ASSERT_LT(size, 1024u);
    EXPECT_EQ(KeptTemplates("CKept" + std::string(1024 - size, 'k')), xqova::xml::kTemplateCacheBytes / 1024);
    // With the dictionary's cache full (of the clinician at 5,000 versions),
    // a write that runs out of memory for a template midway (its own or a
    // nested object's) writes nothing.
    for (std::uint16_t v = 10000; v < 20000; v += 2) ASSERT_NE(Write8(clinician, v).result, 0u);
    CXQOVAObject record(&dictionary, kZentoRec, 0xFFFF);
    const std::string whole = Write8(record, 0xFFFF).text;
    std::vector<char> buffer(record.XMLSizeAll(0xFFFF));
    ForEachAllocationFailure([&](long n, auto done) {
        const std::uint32_t result = record.XMLSerialize(buffer.data(), buffer.size(), 0xFFFF);
        done();
        EXPECT_TRUE(result == 0 || std::string(buffer.data(), result - 1) == whole) << n;
    });
}

// The ENUMERATION elements that close a document: for each member with a
// table, the line its value selects. A value names the first pair of the
// table that holds it (small values and values far apart alike), a value past
// every pair of its table names none (not the next table's); a BITMASK
// member lists the pairs of its set bits in table order, one line per pair; a
// table describes the member it is named after, also behind a member absent
// at the object's version; members whose text entries share one table select
// from it, by value or by bit.
TEST(XmlDocument, EnumerationsNameWhatTheValuesSelect) {
    const auto line = [](const std::string& name, const char* value) {
        return "<ENUM name=\"" + name + "\" defaultvalue=\"" + value + "\" selected=\"YES\"/>\n";
    };
    const auto table = [](const char* name, const std::string& lines) {
        return "<ENUMERATION name=\"" + std::string(name) + "\">\n" + lines + "</ENUMERATION>\n";
    };
    const auto named = [](Member m, std::vector<xqova::build::Enumerator> e) { m.enumerators = std::move(e); return m; };
    Bytes sharing = Build(Class("CSharedTable", 0x00450000,
                                {named(M("First", 0x10), {{1, "ONE"}, {2, "TWO"}}), named(M("Second", 0x10), {{7, "SEVEN"}, {8, "EIGHT"}}),
                                 named(M("Bits", 0x38), {{5, "FIVE"}, {6, "SIX"}})}));
    // The entries of Second and Bits point at the table of First.
    unsigned char* text = sharing.data() + xqova::DefinitionTextOffset(sharing.data());
    WriteInt16(text + 8, ReadInt16(text + 4));
    WriteInt16(text + 12, ReadInt16(text + 4));
    Restamp(sharing, 0, sharing.size());
    const Bytes duplicates = Build(Class(
        "CDuplicates", 0x00440000,
        {named(M("First", 0x10), {{100, "FIRST_100"}, {1, "FIRST_1"}}),
         named(M("Second", 0x10), {{200, "SECOND_200"}, {3, "SECOND_3"}, {1, "SECOND_1"}, {3, "SECOND_3_AGAIN"}}),
         named(M("Bits", 0x38), {{0, "BIT_0"}, {1, "BIT_1"}, {1, "BIT_1_AGAIN"}})}));
    // More tables than the writer lists before it maps them by offset.
    std::vector<Member> many;
    std::string manyTail = "</MEMBERS>\n";
    for (int i = 0; i < 17; ++i) {
        const std::string n = std::to_string(i);
        many.push_back(named(M(("M" + n).c_str(), 0x10), {{0, "E" + n}}));
        manyTail += table(("M" + n).c_str(), line("E" + n, "0"));
    }
    using Pairs = std::vector<std::pair<std::uint16_t, unsigned>>;
    const struct {
        const char* what;
        Bytes block;  // empty: the built-in CNumDStd
        std::uint16_t version;
        Pairs values, bits;  // (member, uint8 value), (member, bit set)
        std::string tail;
    } rows[] = {
        {"bitmask", {}, 0xFFFF, {}, {{1, 3}, {1, 1}},
         "name=\"StatusBits\" minversion=\"200\" maxversion=\"CURRENT_VERSION\" format=\"BITMASK\">\n"
         "<VALUE><![CDATA[10]]></VALUE>\n</MEMBER>\n</MEMBERS>\n" +
             table("StatusBits", line("STATUSBITS_OVERRANGE", "1") + line("STATUSBITS_UNDETERMINEDRANGE", "3"))},
        {"absent member ahead",
         Build(Class("CTwoEnums", 0x00430000,
                     {named(M("Later", 0x11, 101), {{0, "LATER_0"}, {4, "LATER_4"}}), named(M("Mode", 0x10), {{0, "MODE_0"}, {4, "MODE_4"}})},
                     101)),
         100, {{1, 4}}, {},
         "</MEMBERS>\n" + table("Mode", line("MODE_4", "4"))},
        {"first pair with the value", duplicates, 0xFFFF,
         {{0, 200}, {1, 3}}, {{2, 1}},
         "</MEMBERS>\n" + table("First", "") + table("Second", line("SECOND_3", "3")) +
             table("Bits", line("BIT_1", "1") + line("BIT_1", "1"))},
        {"smallest value of a sorted table", duplicates, 0xFFFF, {{0, 1}, {1, 1}}, {},
         "</MEMBERS>\n" + table("First", line("FIRST_1", "1")) + table("Second", line("SECOND_1", "1")) +
             table("Bits", "")},
        {"one shared table", sharing, 0xFFFF, {{0, 2}, {1, 1}}, {{2, 2}},
         "</MEMBERS>\n" + table("First", line("TWO", "2")) + table("Second", line("ONE", "1")) +
             table("Bits", line("TWO", "2"))},
        {"seventeen tables", Build(Class("CMany", 0x00490000, many)), 0xFFFF, {}, {}, manyTail},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Chain chain(row.block.empty() ? std::vector<Bytes>{} : std::vector<Bytes>{row.block});
        CXQOVADictionary own(chain.Head());
        CXQOVADictionary& dictionary = row.block.empty() ? SdkDictionary() : own;
        CXQOVAObject object(&dictionary, row.block.empty() ? kNumD : DefinitionClassID(row.block.data()), row.version);
        for (const auto& v : row.values) object.SetMember(v.first, static_cast<unsigned char>(v.second));
        for (const auto& b : row.bits) object.Member(b.first).SetBit(static_cast<std::uint16_t>(b.second), 1);
        const auto w = Write8(object, 0xFFFF);
        const std::string tail = row.tail + "</DEFINITION>\n";
        ASSERT_GE(w.text.size(), tail.size());
        EXPECT_EQ(std::make_tuple(w.text.substr(w.text.size() - tail.size()), w.size - w.result, Write16(object, 0xFFFF).text),
                  std::make_tuple(tail, 2u, Widen(w.text)));
    }
}

// Documents are built from templates kept beside the dictionary: the name
// of a member's class follows the definitions added and the search mode.
TEST(XmlDocument, MemberClassNameFollowsTheDictionary) {
    Chain chain({Build(Class("CHost", 0x00470000, {Nested("Held", 0x00480000)}), "CLeafTwo"),
                 Build(Class("CLeaf", 0x00480000, {M("A", 0x13)}))});
    const Bytes newer = Build(Class("CLeafTwo", 0x00480000, {M("A", 0x13)}, 101));
    CXQOVADictionary dictionary(chain.Head());
    CXQOVAObject object(&dictionary, 0x00470000u, 0xFFFF);
    auto memberClass = [&object] {
        const std::string text = Write8(object, 0xFFFF).text;
        EXPECT_EQ(ToUtf8(Write16(object, 0xFFFF).text), text);
        const std::size_t at = text.find("class=\"CLeaf");
        return at == std::string::npos ? std::string() : text.substr(at + 7, text.find('"', at + 7) - at - 7);
    };
    EXPECT_EQ(memberClass(), "CLeaf");
    ASSERT_NE(dictionary.AddDefinition(newer.data()), nullptr);
    EXPECT_EQ(memberClass(), "CLeafTwo");
    dictionary.SetSearchMode(SEARCH_MODE_BASE);
    EXPECT_EQ(memberClass(), "CLeaf");
    dictionary.SetSearchMode(SEARCH_MODE_ALL);
    EXPECT_EQ(memberClass(), "CLeafTwo");
    // A block the dictionary does not hold is written by its own template, never a cached one of a former block;
    // one whose table found no memory when the object was built (its members empty) by a table made for the call.
    for (const char* name : {"CLoneA", "CLoneB"}) {
        const Bytes lone = Build(Class(name, 0x00490000, {M("A", 0x13)}));
        AllocationFailureGuard guard;
        xqova::testing::FailAllocationsAfter(name[5] == 'B' ? 0 : -1);
        CXQOVAObject own(&dictionary, lone.data(), 100);
        xqova::testing::FailAllocationsAfter(-1);
        xqova::testing::CountAllocations(true);
        const std::string text = Write8(own, 0xFFFF).text;
        EXPECT_EQ(xqova::testing::LiveAllocations(), 0) << name;  // the template made for the call ends with it
        xqova::testing::CountAllocations(false);
        EXPECT_NE(text.find(name), std::string::npos) << name;
        EXPECT_EQ(text.find("<VALUE>") == std::string::npos, name[5] == 'B') << name;
        // The binary decoder, asked for a reason, names the memory.
        const Bytes bytes = EncodingOf(0x00490000, 100, {0, 0, 0, 7}, {});
        xqova::DecodeReport report;
        EXPECT_EQ(own.Deserialize(bytes.data(), bytes.size(), 0, &report) == 0, name[5] == 'B') << name;
        EXPECT_EQ(report.check, name[5] == 'B' ? xqova::DecodeCheck::kOutOfMemory : xqova::DecodeCheck::kNone);
    }
}

TEST(XmlDocument, MemberLinesCarryEveryDeclaredAttribute) {
    Chain chain(Build(Class("CAttributes", 0x00420100,
                            {With(M("Aliased", 0x2B), 0x80000000u, 7, 65535, -3), M("Fixed", 0x91, 100, 300, kAnyClass, 12),
                             Nested("Nested", kClinicianC), M("Any", 0x46), M("Odd", 0x30)},
                            200)));
    CXQOVADictionary dictionary(chain.Head());
    dictionary.AddDefinition(DeviceDictionary().GetDefinition(kClinicianC));
    CXQOVAObject object(&dictionary, 0x00420100u, 0xFFFF);
    const auto w = Write8(object, 1);
    EXPECT_EQ(w.text,
              "<DEFINITION class=\"CAttributes\" version=\"1\" family=\"66\" genus=\"1\" species=\"0\">\n<MEMBERS>\n"
              "<MEMBER type=\"int32\" name=\"Aliased\" minversion=\"100\" maxversion=\"CURRENT_VERSION\" "
              "alias=\"-2147483648\" units=\"7\" scalecoefficient=\"65535\" scaleexponent=\"-3\" format=\"BITMASK\"/>\n"
              "<MEMBER type=\"uint16\" size=\"12\" name=\"Fixed\" minversion=\"100\" maxversion=\"300\"/>\n"
              "<MEMBER type=\"OBJECT\" class=\"CClinicianCStd\" name=\"Nested\" minversion=\"100\" "
              "maxversion=\"CURRENT_VERSION\"/>\n"
              "<MEMBER type=\"OBJECT\" class=\"ANY_CLASS\" size=\"UNBOUNDED\" name=\"Any\" minversion=\"100\" "
              "maxversion=\"CURRENT_VERSION\"/>\n"
              "<MEMBER type=\"\" name=\"Odd\" minversion=\"100\" maxversion=\"CURRENT_VERSION\"/>\n"
              "</MEMBERS>\n</DEFINITION>\n");
    EXPECT_EQ(w.size - w.result, 4u);
    const auto own = Write8(object, 0xFFFF);  // with the nested clinician's own document
    EXPECT_EQ(own.size - own.result, 2u + 2u);
}

// Numeric classes store a base size short of their document with a
// five-digit version (or a two-digit species): the 8-bit writer refuses
// what would pass the size it reports. UTF-16 sizes are measured, never short.
TEST(XmlDocument, VersionTooLongForTheStoredBaseIsRefusedInEightBitText) {
    struct Case { std::uint32_t classId; std::uint16_t version; bool written; } const cases[] = {
        {kNumDFloat, 9999, true}, {kNumDFloat, 10000, false},  // stores one less than five digits need
        {kNumDLong, 999, true},   {kNumDLong, 9999, false},    // two less
        {kNumD, 10000, true},     {0x00750017, 9999, true}, {0x00750017, 10000, false},  // species 23
    };
    for (const Case& c : cases) {
        CXQOVAObject object(&SdkDictionary(), c.classId, 0xFFFF);
        const auto w = Write8(object, c.version);
        EXPECT_EQ(w.result != 0, c.written) << std::hex << c.classId << std::dec << " at " << c.version;
        EXPECT_TRUE(w.result <= w.size && w.guardIntact);
        const auto u = Write16(object, c.version);
        EXPECT_TRUE(u.result == u.size && u.result != 0);
    }
}

// Every class of both chains, four seeds each, at its own version and a
// random one of its species. The size exceeds the written document by
// exactly what the stored base sizes leave over, so every value is counted
// as written.
TEST(XmlBuiltInDocuments, SizeFollowsTheWrittenDocumentOfEveryClass) {
    std::mt19937 rng(20240305);
    int nestedDocuments = 0;
    for (CXQOVADictionary* dictionary : {&SdkDictionary(), &DeviceDictionary()}) {
        for (std::uint16_t i = 0; i < dictionary->GetDefinitionCount() * 4; ++i) {
            const auto* block = static_cast<const unsigned char*>(dictionary->GetDefinitionAt(i / 4));
            const std::uint32_t id = DefinitionClassID(block);
            const std::uint8_t species = block[4 + std::uniform_int_distribution<int>(0, block[0] - 1)(rng)];
            CXQOVAObject object(dictionary, GetFamily(id), GetGenus(id), species, 0xFFFF);
            FillRandom(object, rng, *dictionary);
            SCOPED_TRACE(std::string(xqova::DefinitionText(block, 0xFFFF)) + " " + std::to_string(species));
            const auto w = Write8(object, 0xFFFF);
            ASSERT_NE(w.result, 0u);
            EXPECT_EQ(static_cast<long>(w.size - w.result), ExpectedSlack(object));
            // A single nested object's document (the combined record has
            // eleven) stands whole in its member's value.
            for (std::uint16_t pos = 0; pos < object.MemberCount(); ++pos) {
                if (CXQOVAObject* nested = object.At(pos)) {
                    ++nestedDocuments;
                    EXPECT_NE(w.text.find("<VALUE>\n" + Write8(*nested, 0xFFFF).text + "</VALUE>\n</MEMBER>\n"),
                              std::string::npos);
                }
            }
            // Widechar members hold only printable ASCII here, and floats are
            // finite: the safe form is the exact one.
            const Documents d = WriteAll(object);
            EXPECT_TRUE(d.safe8 == w.text && d.safe16 == w.text);
        }
    }
    EXPECT_GE(nestedDocuments, 4 * 11);  // the combined record's, four times
}

// Elements back to back. One without text and one naming a member class the
// dictionary lacks cannot be written: they leave nothing in either encoding;
// the size counts the second (its own size is not 0), not the first.
TEST(XmlBuiltInDocuments, AnyClassVectorSkipsElementsThatCannotBeWritten) {
    auto noText = Class("CNoText", 0x00460000, {M("Value", 0x11)});
    noText.xmlBaseSize = 0;
    const Bytes noTextBlock = Build(noText), unknownBlock = Build(Class("CUnknown", 0x00470000, {M("Ghost", 0x06, 101, 0xFFFF, 0x00990000)}));

    CXQOVAObject container(&SdkDictionary(), kNumExt, 0xFFFF);
    CXQOVAVector* elements = container.Member(0);
    CXQOVAObject* first = elements->Push(kNumD);
    CXQOVAObject* noTextElement = elements->Push(static_cast<const void*>(noTextBlock.data()));
    CXQOVAObject* unknown = elements->Push(static_cast<const void*>(unknownBlock.data()));
    CXQOVAObject* last = elements->Push(kNumDFloat);
    ASSERT_TRUE(first && noTextElement && unknown && last);
    first->SetMember(0, static_cast<short>(-120));
    last->SetMember(0, 36.6f);
    EXPECT_EQ(std::make_tuple(noTextElement->XMLSizeAll(0xFFFF), Write8(*unknown, 0xFFFF).result), std::make_tuple(0u, 0u));

    const auto w = Write8(container, 0xFFFF);
    EXPECT_NE(w.text.find("<VALUE>\n" + Write8(*first, 0xFFFF).text + Write8(*last, 0xFFFF).text + "</VALUE>\n"),
              std::string::npos);
    EXPECT_EQ(Count(w.text, "<DEFINITION "), 3u);
    // Two for the container and CNumDStd each, one for CNumDFloat (it stores one less).
    EXPECT_EQ(w.size - w.result, 2u + 2u + 1u + unknown->XMLSizeAll(0xFFFF) - 1);
    const auto u = Write16(container, 0xFFFF);
    EXPECT_EQ(std::make_tuple(u.result, u.text), std::make_tuple(u.size, Widen(w.text)));

    // An element whose document passes its stored base size is left out of
    // the 8-bit document only: UTF-16 sizes are measured.
    auto shortBase = Class("CShortBase", 0x00480000, {M("Value", 0x11)});
    shortBase.xmlBaseSize = 1;
    const Bytes shortBlock = Build(shortBase);
    CXQOVAObject one(&SdkDictionary(), kNumExt, 0xFFFF);
    ASSERT_NE(static_cast<CXQOVAVector*>(one.Member(0))->Push(static_cast<const void*>(shortBlock.data())), nullptr);
    EXPECT_EQ(std::make_tuple(Count(Write8(one, 0xFFFF).text, "<DEFINITION "), Count(ToUtf8(Write16(one, 0xFFFF).text), "<DEFINITION ")),
              std::make_tuple(1u, 2u));
    // Held as a single nested object instead, it leaves its holder unwritten.
    Chain chain({shortBlock, Build(Class("CHoldsShort", 0x00490000, {Nested("Inner", 0x00480000)}))});
    CXQOVADictionary dictionary(chain.Head());
    CXQOVAObject holder(&dictionary, 0x00490000, 0xFFFF);
    EXPECT_EQ(std::make_tuple(Write8(holder, 0xFFFF).result, Write16(holder, 0xFFFF).result != 0), std::make_tuple(0u, true));
}

// Built while memory runs out, a record's nested objects share its storage:
// it holds all eleven or no members at all. A size of 0 means that neither
// writer writes anything.
TEST(XmlBuiltInDocuments, ObjectsShortOfNestedObjectsWriteNothing) {
    ForEachAllocationFailure([&](long n, auto done) {
        CXQOVAObject record(&DeviceDictionary(), kZentoRec, 0xFFFF);
        done();
        const auto w = Write8(record, 0xFFFF);
        const auto u = Write16(record, 0xFFFF);
        EXPECT_TRUE(w.result <= w.size && u.result == u.size && w.guardIntact && u.guardIntact &&
                    (w.size != 0 || (w.result == 0 && u.result == 0))) << n;
        for (std::uint16_t pos = 1; record.MemberCount() != 0 && pos <= 11; ++pos) {
            EXPECT_NE(static_cast<CXQOVAObject*>(record[pos]), nullptr) << n;
        }
    });
    // A class that holds itself is built down to the nesting limit, where the
    // last object lacks the one it holds: it copies into another alike, but
    // has no document, nor a size.
    Chain chain(Build(Class("CLoop", 0x004C0000, {M("V", 0x10), Nested("Next", 0x004C0000)})));
    CXQOVADictionary dictionary(chain.Head());
    CXQOVAObject loop(&dictionary, 0x004C0000u, 0xFFFF), other(&dictionary, 0x004C0000u, 0xFFFF);
    EXPECT_EQ(other.Copy(&loop), 1);
    EXPECT_EQ(std::make_tuple(Write8(loop, 0xFFFF).size, Write8(loop, 0xFFFF).result, Write16(loop, 0xFFFF).size),
              std::make_tuple(0u, 0u, 0u));
}

const std::string kFFFD = "\xEF\xBF\xBD";

// A class of the tests' own whose names carry markup: the class name, a
// member name and an enumerator name would each break out of an attribute;
// the class name and an enumerator carry multi-byte characters, a member
// name is ill-formed.
TEST(XmlSafeForm, EscapesNamesAndReplacesWhatXmlCannotCarry) {
    Member tag = M("a<b&c'd>e", 0x10), broken = M("Bad\xC0\xAF", 0x11);
    tag.enumerators = {{7, "E\"7\" injected=\"1"}};
    broken.enumerators = {{3, "THREE_\xE2\x82\xAC"}};
    Chain chain(Build(Class("CEvil\xF0\x9F\x98\x80\" injected=\"1", 0x00F00100u,
                            {M("Text", 0x48), M("Wide", 0x49), M("Byte", 0x08), M("Unit", 0x09), tag, broken})));
    CXQOVADictionary dictionary(chain.Head());
    struct Row {
        const char* what;
        std::vector<unsigned char> text;     // Text (ansichar UNBOUNDED)
        std::vector<unsigned short> wide;    // Wide (widechar UNBOUNDED)
        unsigned char byte;                  // Byte (ansichar scalar)
        unsigned short unit;                 // Unit (widechar scalar)
        std::string textValue, wideValue, byteValue, unitValue;  // as the safe form writes them
    };
    const std::vector<Row> rows = {
        {"plain", {'h', 'i'}, {'o', 'k'}, 'b', 'u', "hi", "ok", "b", "u"},
        {"CDATA closer in text and wide text", {']', '>', 'x', ']', ']', '>', 'y'}, {']', ']', ']', '>'}, ']', '>',
         "]>x]]]]><![CDATA[>y", "]]]]]><![CDATA[>", "]", ">"},
        {"terminal escapes and controls", {0x1B, '[', '2', 'J', 0x07, '\r'}, {0x9B, 0x1B, 0x7F, '\t'}, 0x1B, 0x85,
         kFFFD + "[2J" + kFFFD + kFFFD, kFFFD + kFFFD + kFFFD + "\t", kFFFD, kFFFD},
        {"invalid UTF-8, overlong and surrogate forms", {0xFF, 'a', 0xC0, 0xAF, 0xED, 0xA0, 0x80, 0xC3, 0xA9},
         {0xE9}, 0xE9, 0xE9, kFFFD + "a" + kFFFD + kFFFD + kFFFD + kFFFD + kFFFD + "\xC3\xA9", "\xC3\xA9", kFFFD,
         "\xC3\xA9"},
        {"surrogates, non-characters, the first supplementary one", {0xEF, 0xBF, 0xBE, 0xF0, 0x90, 0x80, 0x80},
         {0xD83D, 0xDE00, 0xD800, 'a', 0xDC00, 0xFFFE, 0xFFFF, 0xDBFF, 0xDC00, 0xD83D}, 0, 0xD800,
         kFFFD + "\xF0\x90\x80\x80",
         "\xF0\x9F\x98\x80" + kFFFD + "a" + kFFFD + kFFFD + kFFFD + "\xF4\x8F\xB0\x80" + kFFFD, "", kFFFD},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        CXQOVAObject o(&dictionary, 0x00F00100u, 100);
        ASSERT_EQ(std::make_tuple(o.SetMember(0, reinterpret_cast<const char*>(row.text.data()), static_cast<std::uint16_t>(row.text.size())),
                                  o.SetMember(1, row.wide.data(), static_cast<std::uint16_t>(row.wide.size())),
                                  o.SetMember(2, static_cast<char>(row.byte)), o.SetMember(3, row.unit),
                                  o.SetMember(4, static_cast<unsigned char>(7)), o.SetMember(5, static_cast<unsigned short>(3))),
                  std::make_tuple(1, 1, 1, 1, 1, 1));
        const Documents d = WriteAll(o);

        EXPECT_EQ(d.safe8, d.safe16);
        for (const std::string& v : {row.textValue, row.wideValue, row.byteValue, row.unitValue}) {
            EXPECT_NE(d.safe8.find("<VALUE><![CDATA[" + v + "]]></VALUE>"), std::string::npos) << d.safe8;
        }
        // Every name stays inside its attribute.
        for (const std::string& escaped : std::vector<std::string>{
                 "<DEFINITION class=\"CEvil\xF0\x9F\x98\x80&quot; injected=&quot;1\" version=\"100\"",
              " name=\"a&lt;b&amp;c&apos;d&gt;e\" ", "<ENUM name=\"E&quot;7&quot; injected=&quot;1\" defaultvalue=\"7\"",
              " name=\"Bad" + kFFFD + kFFFD + "\" ", "<ENUM name=\"THREE_\xE2\x82\xAC\" defaultvalue=\"3\""}) {
            EXPECT_NE(d.safe8.find(escaped), std::string::npos) << escaped;
        }
        EXPECT_EQ(std::make_tuple(Count(d.safe8, "injected=\""), Count(d.safe8, "<MEMBER ")), std::make_tuple(0u, 6u));
        // The exact form is what the writer always wrote: names unescaped,
        // CDATA sections never split.
        EXPECT_NE(d.exact.find("<DEFINITION class=\"CEvil\xF0\x9F\x98\x80\" injected=\"1\""), std::string::npos);
        EXPECT_EQ(d.exact.find("]]><![CDATA["), std::string::npos);
    }
    // The exact UTF-16 form converts names piece by piece: a four-byte
    // character becomes a surrogate pair, an ill-formed name vanishes whole
    // between its quotes. The 8-bit form copies the bytes as they are: only the
    // names differ, the class and the enumerator losing a unit each to their
    // multi-byte characters, the ill-formed name its five bytes twice.
    CXQOVAObject names(&dictionary, 0x00F00100u, 100);
    names.SetMember(5, static_cast<unsigned short>(3));
    const auto u = Write16(names, 0xFFFF);
    EXPECT_TRUE(u.result == u.size && u.guardIntact);
    EXPECT_EQ(u.text.find(u"<DEFINITION class=\"CEvil\xD83D\xDE00\" injected=\"1\" version=\"100\""), 0u);
    EXPECT_NE(u.text.find(u"<MEMBER type=\"uint16\" name=\"\" minversion=\"100\""), std::u16string::npos);
    EXPECT_NE(u.text.find(u"<ENUMERATION name=\"\">\n<ENUM name=\"THREE_\u20AC\" defaultvalue=\"3\""),
              std::u16string::npos);
    EXPECT_EQ(Write8(names, 0xFFFF).text.size() - u.text.size(), 2u + 2u + 2 * 5u);
}

constexpr std::uint32_t kLocation = 0x006B0801;  // CNetworkCLocID: LocationID, UnitID (ansichar UNBOUNDED)

// The binary and exact XML writers that take a capacity (the safe ones: see
// Write; within it the tool's tests pin their results and bytes): a size
// taken before the object grew is refused without writing.
TEST(CapacityWriters, StaleSizesAreRefusedWithoutWriting) {
    CXQOVAObject object(&DeviceDictionary(), kLocation, 0xFFFF);
    ASSERT_EQ(object.SetMember(0, "ab", 2), 1);
    const std::uint32_t binary = object.SizeAll(0xFFFF), xml8 = object.XMLSizeAll(0xFFFF),
                        xml16 = object.XMLSizeAll(XML_ENCODING_UTF16, 0xFFFF);
    ASSERT_NE(binary * xml8 * xml16, 0u);

    ASSERT_EQ(object.SetMember(0, "abcdefgh", 8), 1);
    std::vector<unsigned char> bytes(binary + 64, 0x5A);
    std::vector<char> text(xml8 + 64, 0x5A);
    std::vector<unsigned short> wide(xml16 / 2 + 64, 0x5A);
    EXPECT_EQ(object.Serialize(bytes.data(), binary, 0xFFFF) | object.XMLSerialize(text.data(), xml8, 0xFFFF) |
                  object.XMLSerialize(wide.data(), xml16, 0xFFFF), 0u);
    EXPECT_TRUE(Untouched(bytes) && Untouched(text) && Untouched(wide));

    EXPECT_EQ(object.XMLSerialize(static_cast<char*>(nullptr), 1000, 0xFFFF) |  // no buffer
                  object.XMLSerialize(static_cast<unsigned short*>(nullptr), 1000, 0xFFFF) |
                  object.XMLSerializeSafe(static_cast<unsigned short*>(nullptr), 1000, 0xFFFF), 0u);
}

}  // namespace
