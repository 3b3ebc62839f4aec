// Documents of the built-in classes with random values, nested objects and
// vectors of any class: the 8-bit size against the written result, UTF-16
// against 8-bit, and documents that cannot be written leaving no trace.
#include <gtest/gtest.h>

#include <memory>

#include "encoding/xml_test_support.h"
#include "xqova/core/memory.h"

namespace {

using namespace xml_test;

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// Every class of both chains, four seeds each, at its own version and a
// random one of its species. The size exceeds the written document by
// exactly what the stored base sizes leave over, so every value is counted
// as written.
TEST(XmlBuiltInDocuments, SizeFollowsTheWrittenDocumentOfEveryClass) {
    std::mt19937 rng(20240305);
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
            const auto u = Write16(object, 0xFFFF);
            EXPECT_EQ(u.result, u.size);
            EXPECT_EQ(u.text, Widen(w.text));
            EXPECT_TRUE(w.guardIntact && u.guardIntact);
        }
    }
}

TEST(XmlBuiltInDocuments, CombinedRecordHoldsTheDocumentsOfItsElevenObjects) {
    std::mt19937 rng(7);
    CXQOVAObject record(&DeviceDictionary(), kZentoRec, 0xFFFF);
    FillRandom(record, rng, DeviceDictionary());
    const std::string text = Write8(record, 0xFFFF).text;
    EXPECT_EQ(Count(text, "<DEFINITION "), 12u);
    for (std::uint16_t id = 1; id <= 11; ++id) {
        CXQOVAObject* nested = record.Member(id);
        const std::string line = std::string("class=\"") + xqova::DefinitionText(nested->GetDefinition(), 0xFFFF) +
                                 "\" name=\"" + xqova::DefinitionText(record.GetDefinition(), id) + "\"";
        EXPECT_NE(text.find(line + " minversion=\"100\" maxversion=\"CURRENT_VERSION\">\n<VALUE>\n" +
                            Write8(*nested, 0xFFFF).text + "</VALUE>\n</MEMBER>\n"),
                  std::string::npos)
            << line;
    }
}

// Elements back to back. One without text and one naming a member class the
// dictionary lacks cannot be written: they leave nothing in either encoding;
// the size counts the second (its own size is not 0), not the first.
TEST(XmlBuiltInDocuments, AnyClassVectorSkipsElementsThatCannotBeWritten) {
    auto noText = Class("CNoText", 0x00460000, {M("Value", 0x11)});
    noText.xmlBaseSize = 0;
    auto ghost = M("Ghost", 0x06, 101);
    ghost.memberClass = 0x00990000;
    const Bytes noTextBlock = Build(noText), unknownBlock = Build(Class("CUnknown", 0x00470000, {ghost}));

    CXQOVAObject container(&SdkDictionary(), kNumExt, 0xFFFF);
    CXQOVAVector* elements = container.Member(0);
    CXQOVAObject* first = elements->Push(kNumD);
    CXQOVAObject* noTextElement = elements->Push(static_cast<const void*>(noTextBlock.data()));
    CXQOVAObject* unknown = elements->Push(static_cast<const void*>(unknownBlock.data()));
    CXQOVAObject* last = elements->Push(kNumDFloat);
    ASSERT_TRUE(first && noTextElement && unknown && last);
    first->SetMember(0, static_cast<short>(-120));
    last->SetMember(0, 36.6f);
    EXPECT_EQ(noTextElement->XMLSizeAll(0xFFFF), 0u);
    EXPECT_EQ(Write8(*unknown, 0xFFFF).result, 0u);

    const auto w = Write8(container, 0xFFFF);
    EXPECT_NE(w.text.find("<VALUE>\n" + Write8(*first, 0xFFFF).text + Write8(*last, 0xFFFF).text + "</VALUE>\n"),
              std::string::npos);
    EXPECT_EQ(Count(w.text, "<DEFINITION "), 3u);
    // Two for the container and CNumDStd each, one for CNumDFloat (it stores one less).
    EXPECT_EQ(w.size - w.result, 2u + 2u + 1u + unknown->XMLSizeAll(0xFFFF) - 1);
    const auto u = Write16(container, 0xFFFF);
    EXPECT_EQ(u.result, u.size);
    EXPECT_EQ(u.text, Widen(w.text));
}

// Built while memory runs out, a record's nested objects share its storage:
// it holds all eleven or no members at all. A size of 0 means that neither
// writer writes anything.
TEST(XmlBuiltInDocuments, ObjectsShortOfNestedObjectsWriteNothing) {
    int shortOfNested = 0;
    for (long n = 0;; ++n) {
        xqova::testing::FailAllocationsAfter(n);
        CXQOVAObject record(&DeviceDictionary(), kZentoRec, 0xFFFF);
        void* probe = xqova::Allocate(1);
        xqova::Release(probe);
        xqova::testing::FailAllocationsAfter(-1);

        const auto w = Write8(record, 0xFFFF);
        const auto u = Write16(record, 0xFFFF);
        EXPECT_TRUE(w.result <= w.size && u.result == u.size && w.guardIntact && u.guardIntact) << n;
        if (w.size == 0) {
            EXPECT_TRUE(w.result == 0 && u.result == 0) << n;
        }
        for (std::uint16_t pos = 1; record.MemberCount() != 0 && pos <= 11; ++pos) {
            if (static_cast<CXQOVAObject*>(record[pos]) == nullptr) ++shortOfNested;
        }
        if (probe != nullptr) break;
    }
    EXPECT_EQ(shortOfNested, 0);
}

}  // namespace
