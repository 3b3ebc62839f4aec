// The strict UTF-8 to UTF-16 conversion, alone and inside documents.
#include <gtest/gtest.h>

#include "encoding/xml_test_support.h"
#include "xqova/encoding/utf16.h"

namespace {

using namespace xml_test;

TEST(Utf8ToUtf16, WellFormedPiecesAndEveryKindOfIllFormedOne) {
    struct Case {
        std::string utf8;
        std::u16string units;  // empty: refused whole
    } const cases[] = {
        {"Ab1", u"Ab1"},           {"\xC3\xA9", u"\u00E9"},         {"\xE2\x82\xAC", u"\u20AC"},
        {"\xED\x9F\xBF", u"\uD7FF"}, {"x\xF0\x9F\x98\x80y", u"x\U0001F600y"}, {"\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
        // The first and last code point of each length, either side of the surrogates.
        {"\xC2\x80\xDF\xBF", u"\u0080\u07FF"}, {"\xE0\xA0\x80\xEF\xBF\xBF", u"\u0800\uFFFF"},
        {"\xF0\x90\x80\x80", u"\U00010000"},   {"\xEE\x80\x80", u"\uE000"},
        {"\xC1\xBF", u""},         // overlong lead
        {"\xE0\x9F\xBF", u""},     // U+07FF in three bytes
        {"\xF0\x8F\xBF\xBF", u""}, // U+FFFF in four bytes
        {"\xED\xBF\xBF", u""},     // last surrogate
        {"a\x80", u""},            // continuation byte in lead position
        {"\xC0\xAF", u""},         // overlong, two bytes
        {"\xE0\x80\xAF", u""},     // overlong, three bytes
        {"\xED\xA0\x80", u""},     // surrogate
        {"\xF4\x90\x80\x80", u""}, // above U+10FFFF
        {"\xF8\x88\x80\x80\x80", u""},  // more than three continuation bytes
        {"ok\xE2\x82", u""},       // cut off
        {"\xE2\x28\xA1", u""},     // no continuation byte
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.utf8);
        EXPECT_EQ(xqova::Utf8ToUtf16(c.utf8.data(), c.utf8.size(), nullptr), 2 * c.units.size());
        std::vector<unsigned short> out(c.utf8.size() + 1, 0x5A5A);
        const std::size_t bytes = xqova::Utf8ToUtf16(c.utf8.data(), c.utf8.size(), out.data());
        ASSERT_EQ(bytes, 2 * c.units.size());
        EXPECT_EQ(std::u16string(out.begin(), out.begin() + bytes / 2), c.units);
        EXPECT_EQ(out[bytes / 2], 0x5A5A);  // a refused piece writes nothing
    }
}

// Names are converted piece by piece: a four-byte character becomes a
// surrogate pair, an ill-formed name vanishes whole between its quotes. The
// 8-bit form copies the bytes as they are.
TEST(XmlUtf16, NamesAreConvertedPieceByPiece) {
    auto broken = M("Bad\xC0\xAF", 0x11);
    broken.enumerators = {{3, "THREE_\xE2\x82\xAC"}};
    Chain chain(Build(Class("CSmile\xF0\x9F\x98\x80", 0x00450000, {broken, M("Fine", 0x10)})));
    CXQOVADictionary dictionary(chain.Head());
    CXQOVAObject object(&dictionary, 0x00450000u, 0xFFFF);
    object.SetMember(0, static_cast<unsigned short>(3));

    const auto u = Write16(object, 0xFFFF);
    EXPECT_TRUE(u.result == u.size && u.guardIntact);
    EXPECT_EQ(u.text.find(u"<DEFINITION class=\"CSmile\xD83D\xDE00\" version=\"100\""), 0u);
    EXPECT_NE(u.text.find(u"<MEMBER type=\"uint16\" name=\"\" minversion=\"100\""), std::u16string::npos);
    EXPECT_NE(u.text.find(u"<ENUMERATION name=\"\">\n<ENUM name=\"THREE_\u20AC\" defaultvalue=\"3\""),
              std::u16string::npos);
    const auto w = Write8(object, 0xFFFF);
    EXPECT_EQ(w.text.find("<DEFINITION class=\"CSmile\xF0\x9F\x98\x80\""), 0u);
    // Only the names differ: the class and the enumerator lose a unit each to
    // their multi-byte characters, the ill-formed name its five bytes twice.
    EXPECT_EQ(w.text.size() - u.text.size(), 2u + 2u + 2 * 5u);
}

}  // namespace
