// Objects as JSON and back: byte-identical round trips over every built-in
// class at every version, the document's shape, and the refusals of
// documents that do not fit their members.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "support/objects.h"
#include "xqova/builtin/builtin.h"
#include "xqova/core/budget.h"
#include "xqova/json/json.h"

namespace {

using namespace test_objects;

// Float values that decimal text loses easily.
using Double = std::numeric_limits<double>;
using Float = std::numeric_limits<float>;
const double kAwkward[] = {Double::quiet_NaN(), Double::infinity(), -Double::infinity(), -0.0, Double::denorm_min(),
                           Float::denorm_min(), Float::max(), 0.1, 1.0 / 3.0};

// binary -> JSON -> object -> binary, with the JSON of the copy compared too.
void ExpectRoundTrip(CXQOVAObject& object, CXQOVADictionary& dictionary) {
    const Bytes bytes = Encode(object);
    ASSERT_FALSE(bytes.empty());
    const std::string json = xqova::ObjectToJson(object, -1);
    xqova::JsonError error;
    auto back = xqova::ObjectFromJson(&dictionary, json.data(), json.size(), &error);
    ASSERT_TRUE(back != nullptr) << error.Text() << "\n" << json.substr(0, 2000);
    EXPECT_EQ(std::make_tuple(Hex(Encode(*back)), xqova::ObjectToJson(*back, -1)), std::make_tuple(Hex(bytes), json));
}

// A reading with every kind of value a measurement class holds.
std::string NibpDocument(bool oneLine = true) {
    CXQOVAObject nibp(&xqova::AllBuiltinClasses(), kNIBPD, 0xFFFF);
    nibp.SetValid(1);
    nibp.SetMemberAt(0, QOVA_TIME{2024, 3, 5, 6, 7, 8, 9});
    nibp.SetMemberAt(1, 1u);
    nibp.SetMemberAt(2, static_cast<short>(-5));
    nibp.SetMemberAt(8, 2u);
    return oneLine ? xqova::ObjectToJson(nibp, -1) : xqova::ObjectToJson(nibp);
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(std::string::npos, at) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

// Limits for a row: names required, or tighter bounds on the text and the
// objects built (0: the default).
xqova::JsonLimits Limits(bool refuseUnnamed, std::size_t maxInputBytes = 0, std::uint32_t maxObjects = 0) {
    xqova::JsonLimits limits;
    limits.refuseUnnamed = refuseUnnamed;
    if (maxInputBytes != 0) limits.maxInputBytes = maxInputBytes;
    if (maxObjects != 0) limits.maxObjects = maxObjects;
    return limits;
}

// A document read in `dictionary` is taken (member 1 then holds `value`,
// unless 0) or refused naming the place (a prefix of the path; "" the
// document itself) and the reason.
struct Case {
    std::string text;
    const char* path;
    std::string reason;  // "" when taken
    std::uint32_t value = 0;
    xqova::JsonLimits limits = xqova::JsonLimits();
    std::uint32_t budget = 0xFFFFFFFF;  // objects of the thread's construction budget
};
void ExpectTakenOrRefused(CXQOVADictionary& dictionary, const std::vector<Case>& cases) {
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 300));
        xqova::JsonError error;
        xqova::ScopedConstructionBudget budget(c.budget, ~std::uint64_t{0});
        auto object = xqova::ObjectFromJson(&dictionary, c.text.data(), c.text.size(), &error, c.limits);
        if (c.reason.empty()) {
            ASSERT_TRUE(object != nullptr) << error.Text();
            EXPECT_EQ(c.value, c.value == 0 ? 0u : static_cast<std::uint32_t>(object->GetMemberAt(1)));
            continue;
        }
        // No object; the path starts with the row's ("": is empty); the reason holds the row's.
        EXPECT_EQ(std::make_tuple(object == nullptr, error.path.rfind(c.path, 0), *c.path != '\0' || error.path.empty(),
                                  error.reason.find(c.reason) != std::string::npos, error.unnamedValue),
                  std::make_tuple(true, std::size_t{0}, true, true, c.limits.refuseUnnamed)) << error.Text();
    }
}

// Names stand in for values (bits, an enumerator) and must agree with
// a value given beside them; bits without a name are written and read by
// value; on request, numbers that no name covers are refused, and units and
// physical values must be the member's. The limits bound the text and the
// objects built: a combined record builds eleven nested objects with itself,
// vector elements count one object each. The document's shape comes first,
// on the reading the rows edit.
TEST(Json, DocumentShapeAndDocumentsTakenOrRefusedNamingThePlaceAndTheReason) {
    const std::string nibp = NibpDocument();
    EXPECT_EQ(
        "{\"class\":\"CNIBPDStd\",\"classId\":\"0x00050000\",\"speciesName\":\"SpSTANDARD\",\"version\":105,\"valid\":true,\"dirty\":false,"
        "\"members\":{\"STime\":{\"type\":\"TIME\",\"value\":\"2024/03/05 06:07:08 09\"},"
        "\"Status\":{\"type\":\"uint16\",\"value\":1,\"enumerator\":\"STATUS_DATA_COMPLETE\"},"
        "\"Systolic\":{\"type\":\"int16\",\"value\":-5},\"Diastolic\":{\"type\":\"int16\",\"value\":0},"
        "\"MAP\":{\"type\":\"int16\",\"value\":0},\"HR\":{\"type\":\"uint16\",\"value\":0},"
        "\"ExtStatus\":{\"type\":\"uint16\",\"value\":0,\"enumerator\":\"EXTSTATUS_NONE\"},"
        "\"Source\":{\"type\":\"uint16\",\"value\":0,\"enumerator\":\"SOURCE_NONE\"},"
        "\"Mode\":{\"type\":\"uint8\",\"value\":2},"
        "\"Method\":{\"type\":\"uint8\",\"value\":0,\"enumerator\":\"METHOD_NONE\"}}}",
        nibp);
    EXPECT_EQ(0u, NibpDocument(false).find("{\n  \"class\": \"CNIBPDStd\",\n  \"classId\""));  // two spaces by default

    // A float at its shortest, bits beside the number (an unnamed bit by its
    // value).
    CXQOVAObject f(&xqova::AllBuiltinClasses(), kNumDFloat, 0xFFFF);
    f.SetMemberAt(0, 0.1f);
    f.SetMemberAt(1, 0x8001u);
    EXPECT_EQ(0u, xqova::ObjectToJson(f, 0).find("{\n\"class\": "));  // indent 0: one member a line, no spaces
    EXPECT_NE(std::string::npos, xqova::ObjectToJson(f, -1).find(
        "{\"Value\":{\"type\":\"float32\",\"value\":0.1},\"StatusBits\":{\"type\":\"uint16 BITMASK\",\"value\":32769,\"bits\":[\"STATUSBITS_VALIDRANGE\",\"0x8000\"]}}"));
    // An object of a class no definition serves: no name, species or members.
    CXQOVAObject unknown(&xqova::AllBuiltinClasses(), 0x00AB0000, 3);
    EXPECT_EQ("{\"classId\":\"0x00AB0000\",\"version\":3,\"valid\":false,\"dirty\":false,\"members\":{}}",
              xqova::ObjectToJson(unknown, -1));

    const std::string numd = "{\"classId\":\"0x0075001F\",\"version\":202,\"members\":{\"StatusBits\":BITS}}";
    CXQOVAObject zento(&xqova::AllBuiltinClasses(), kZentoRec, 0xFFFF);
    CXQOVAObject vitals(&xqova::AllBuiltinClasses(), kVitals, 0xFFFF);
    CXQOVAVector* container = vitals.At(3);
    ASSERT_TRUE(container != nullptr);
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(container->Push(kNumD) != nullptr);
    const std::string record = xqova::ObjectToJson(zento, -1), five = xqova::ObjectToJson(vitals, -1);
    const xqova::JsonLimits strict = Limits(true);
    const std::string wide = "{\"classId\":\"0x00170003\",\"version\":205,\"members\":{M}}";
    const std::string element = "\"Container\":{\"value\":[{\"classId\":\"0x00750000\",\"version\":999}]}";
    const auto N = [&](const std::string& from, const std::string& to) { return Replaced(nibp, from, to); };
    const auto B = [&](const std::string& bits) { return Replaced(numd, "BITS", bits); };
    const auto T = [&](const std::string& time) { return N("\"2024/03/05 06:07:08 09\"", time); };
    const auto S = [&](const std::string& systolic) { return N("{\"type\":\"int16\",\"value\":-5}", systolic); };
    const auto E = [&](const std::string& mode) { return N("\"value\":2}", "\"enumerator\":" + mode + "}"); };
    const auto V = [&](const std::string& v) { return Replaced(numd, "\"StatusBits\":BITS", "\"Value\":{" + v + "}"); };
    const auto W = [&](const std::string& members) { return Replaced(wide, "M", members); };
    std::vector<Case> cases = {
        {B("{\"bits\":[\"STATUSBITS_VALIDRANGE\",\"STATUSBITS_OVERRANGE\"]}"), "", "", 3},
        {N("\"uint16\",\"value\":1,", "\"uint16\","), "", "", 1},  // Status by its enumerator
        {B("{\"value\":32769,\"bits\":[\"STATUSBITS_VALIDRANGE\",\"0x8000\"]}"), "", "", 0x8001},
        {B("{\"value\":1,\"bits\":[\"STATUSBITS_VALIDRANGE\",\"0x8000\"]}"), "/members/StatusBits", "does not match the names"},
        {B("{\"bits\":[\"0x8000\"]}"), "/members/StatusBits", "bit \"0x8000\" has no name", 0, strict},
        {B("{\"value\":32769}"), "/members/StatusBits", "32769 sets bits without a name (0x00008000", 0, strict},
        {B("{\"bits\":[\"0x0001\"]}"), "/members/StatusBits", "has a name: STATUSBITS_VALIDRANGE"},
        {B("{\"bits\":[\"0x0003\"]}"), "/members/StatusBits", "unknown bit \"0x0003\""},
        {B("{\"value\":1,\"units\":3}"), "/members/StatusBits", "3 is not the member's units code (none)"},
        {B("{\"value\":1,\"physical\":1}"), "/members/StatusBits", "the member has no units or scale"},
        {N("1,\"enumerator\":\"STATUS_DATA_COMPLETE\"", "257"), "/members/Status", "257 is not one of its values (STATUS_", 0, strict},
        {N("\"value\":2}", "\"value\":10}"), "", "", 0, strict},
        {N("0,\"enumerator\":\"METHOD_NONE\"", "1,\"enumerator\":\"METHOD_UNKNOWN\""), "", ""},
        {S("{\"value\":\"-5\"}"), "/members/Systolic/value", "is not an integer"},
        {S("{\"value\":32768}"), "/members/Systolic/value", "outside -32768 to 32767"},
        {S("{\"value\":-32769}"), "/members/Systolic/value", "outside -32768 to 32767"},
        {E("\"MODE_BOGUS\""), "/members/Mode/enumerator", "unknown enumerator \"MODE_BOGUS\""},
        // A value of 61 characters as JSON is shown by its first 57.
        {E("\"MODE_" + std::string(54, 'X') + "\""),
         "/members/Mode/enumerator", "enumerator \"MODE_" + std::string(51, 'X') + "... (known"},
        {N("\"value\":1,\"enumerator\"", "\"value\":0,\"enumerator\""), "/members/Status", "does not match the names"},
        {S("{\"type\":\"uint16\",\"value\":-5}"), "/members/Systolic/type", "the member is int16, not \"uint16\""},
        {N("\"HR\":", "\"Pulse\":"), "/members/Pulse", "has no member \"Pulse\""},
        {N("\"HR\":", "\"MAP\":"), "/members/MAP", "\"MAP\" is given twice"},
        {N("\"valid\":true", "\"valid\":1"), "/valid", "is not true or false"},
        {N("\"valid\":true", "\"valid\":true,\"extra\":0"), "/extra", "unknown field"},
        {N("\"version\":105", "\"version\":106"), "/version", "has no version 106"},
        {N("0x00050000", "0x00AB0000"), "/classId", "no definition serves class 0x00AB0000"},
        {N("CNIBPDStd", "CTempDStd"), "/class", "is not the name of class 0x00050000"},
        {V("\"value\":1e50"), "/members/Value/value", "outside the range of a float32"},
        {V("\"value\":\"nan\""), "/members/Value/value", "\"NaN\", \"Infinity\""},
        {Replaced(record, "\"0x00050000\",\"speciesName\":\"SpSTANDARD\",\"version\":105", "\"0x00050000\",\"speciesName\":\"SpSTANDARD\",\"version\":101"),
         "/members/NIBPData/value", "the member holds class 0x00050000 version 105, not 0x00050000 version 101"},
        {N("\"0x00050000\"", "\"0x0005000\""), "/classId", "\"0x0005000\" is not a class identifier"},
        {N("\"version\":105", "\"version\":65535"), "/version", "65535 is not a version (0 to 65534)"},
        {N("\"version\":105", "\"version\":-1"), "/version", "-1 is not a version"},
        {N("SpSTANDARD", "SpOTHER"), "/speciesName", "\"SpOTHER\" is not the species of class 0x00050000"},
        {S("{\"value\":-5,\"unit\":1}"), "/members/Systolic/unit", "unknown field \"unit\""},
        // A value is shown whole up to 60 characters, quotes included.
        {S("{\"value\":\"" + std::string(58, 'x') + "\"}"), "/members/Systolic/value", "\"" + std::string(58, 'x') + "\" is not"},
        {T("{\"year\":2024,\"month\":3,\"day\":5,\"hour\":6,\"minute\":7,\"second\":8,\"fraction\":256}"),
         "/members/STime/value/fraction", "256 is not a whole number from 0 to 255"},
        {W("\"OrderID\":{\"value\":[65536]}"), "/members/OrderID/value/0", "65536 is not a code unit (0 to 65535)"},
        {W("\"OrderID\":{\"value\":\"" + std::string(32767, 'a') + "\"}"),
         "/members/OrderID", "32767 elements take 65536 bytes, a member holds at most 65535"},
        {W(element), "/members/Container/value/0/version", "class 0x00750000 has no version 999"},
        {W(Replaced(element, "0x00750000\",\"version\":999", "0x00AB0000\",\"version\":0")),
         "/members/Container/value/0", "no definition serves class 0x00AB0000"},
        {"[]", "", "must be a JSON object, not []"},
        {N("\"0x00050000\"", "5"), "/classId", "a class identifier is a string"},
        {nibp.substr(0, nibp.find("\"members\"")) + "\"members\":[]}", "/members", "must be a JSON object"},
        {S("5"), "/members/Systolic", "a member is a JSON"},
        {S("{}"), "/members/Systolic", "\"value\" is missing"},
        {S("{\"enumerator\":\"X\"}"), "/members/Systolic/enumerator", "the member has no enumeration"},
        {S("{\"bits\":[]}"), "/members/Systolic/bits", "not a bitmask"},
        {E("5"), "/members/Mode/enumerator", "is a string"},
        {N("\"HR\":", "\"H~R/x\":"), "/members/H~0R~1x", "has no member \"H~R/x\""},
        {T("5"), "/members/STime/value", "5 is not a time"},
        {T("{\"x\":1}"), "/members/STime/value/x", "unknown time field"},
        {B("{\"bits\":\"X\"}"), "/members/StatusBits/bits", "bits are an array"},
        {Replaced(record, "{\"type\":\"ansichar[32]\",\"value\":\"\"}", "{}"),  // an empty text is ""
         "/members/DeviceInfo/value/members/ModelName", "\"value\" is missing"},
        {"{\"classId\":\"0x00050000\",\"version\":105}", "", ""},  // no members: as built
        {"{\"classId\":\"0x00170001\",\"version\":100,\"members\":{\"NIBPData\":{},\"TempData\":{\"value\":null}}}", "", ""},
        {nibp.substr(0, nibp.size() - 1), "", "not JSON"},
        {std::string(300, '[') + std::string(300, ']'), "/0/0/0", "nested deeper than 136 levels"},
        {record, "", "more than the limit of", 0, Limits(false, record.size() - 1)},
        {record, "", "", 0, Limits(false, record.size(), 12)},
        {five, "/members/Container/value/4", "more than 5 objects", 0, Limits(false, five.size(), 5)},
        {five, "", "", 0, Limits(false, five.size(), 6)},
        {record, "", "the object could not be built (construction budget or memory)", 0, {}, 0},
        {five, "/members/Container/value/0", "the vector took no further element", 0, {}, 0},
        {W("\"Container\":{\"value\":null}"), "", ""},
    };
    // Times as strings: a date of the calendar (a leap day every fourth year
    // but not every hundredth, unless every four hundredth) and a time of day.
    const char* const times[][2] = {
        {"2024-03-05 06:07:08 09", "is not a time"}, {"+024/03/05 06:07:08 09", "is not a time"},
        {"2024/03/32 06:07:08 09", "day 32 is not 1 to 31"}, {"2024/02/30 06:07:08 09", "day 30 is not 1 to 29 (month 2"},
        {"1900/02/29 06:07:08 09", "day 29 is not 1 to 28"}, {"2023/04/31 06:07:08 09", "day 31 is not 1 to 30"},
        {"2024/13/05 06:07:08 09", "month 13 is not 1 to 12"}, {"2024/00/05 06:07:08 09", "month 0 is not 1 to 12"},
        {"2024/03/05 24:07:08 09", "hour 24 is not 0 to 23"}, {"2024/03/05 06:60:08 09", "minute 60 is not 0 to 59"},
        {"2024/03/05 06:07:60 09", "second 60 is not 0 to 59"}
    };
    for (const auto& t : times) cases.push_back({T("\"" + std::string(t[0]) + "\""), "/members/STime/value", t[1]});
    ExpectTakenOrRefused(xqova::AllBuiltinClasses(), cases);
    // No dictionary, no text; no error to fill.
    xqova::JsonError error;
    EXPECT_TRUE(xqova::ObjectFromJson(nullptr, "{}", 2, &error) == nullptr);
    EXPECT_EQ("no dictionary", error.Text());
    EXPECT_TRUE(xqova::ObjectFromJson(&xqova::AllBuiltinClasses(), nullptr, 1, &error) == nullptr);
    EXPECT_EQ("no text", error.Text());
    EXPECT_TRUE(xqova::ObjectFromJson(&xqova::AllBuiltinClasses(), "[]", 2, nullptr) == nullptr);
}

// Texts of every byte and code unit, arrays of every element width, awkward
// floats, a scale, a 64-bit bitmask, a type without a name, a repeated name and
// none, in a class of our own.
TEST(Json, EveryKindOfElementRoundTrips) {
    const std::uint32_t id = 0x00420000;
    Member mask = M("Mask", 0x3F);  // uint64 BITMASK: one name past the low 32 bits the member interface sets
    mask.enumerators = {{1, "MASK_LOW"}, {40, "MASK_HIGH"}};
    Chain chain({Build("CJsonProbe", id,
                       {FixedArray("Name", 0x08, 4), M("Wide", 0x49), M("Lone", 0x49), FixedArray("Big", 0x17, 2),
                        M("Wide", 0x01), VectorOf("One", kItem, 1), M("Long", 0x07), M("ULong", 0x17), M("Shorts", 0x51),
                        M("Words", 0x43), M("Huge", 0x47), M("Times", 0x42), M("Reals", 0x67), M("Floats", 0x63),
                        M("Letter", 0x08), With(M("Scaled", 0x01), 0xFFFFFFFFu, 0xFF, 1, -1), mask,
                        FixedArray("Zero", 0x10, 0), M("Odd", 0x18), M("", 0x10)}),
                 ShelfBlocks()[1]});
    CXQOVADictionary dictionary(chain.Head());
    CXQOVAObject object(&dictionary, id, 100);
    std::memcpy(static_cast<char*>(object.At(0)), "A\xE9" "CD", 4);  // every element, no terminator
    const unsigned short wide[] = {0x41, 0x0800, 0xD800, 0xDC00, 0xDBFF, 0xDFFF, 0xFFFD};  // U+0800, U+10000, U+10FFFF
    const unsigned short lone[] = {0xD800, 0x42};
    const std::uint64_t big[] = {std::uint64_t{1} << 40, ~std::uint64_t{0}};
    std::memcpy(static_cast<void*>(object.At(3)), big, sizeof big);
    CXQOVAVector* one = object.At(5);
    ASSERT_TRUE(one != nullptr && one->Size() == 1);
    const unsigned short shorts[] = {1, 65535};
    const std::int32_t words[] = {std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()};
    const QOVA_TIME times[] = {{2000, 2, 29, 23, 59, 59, 99}, {0, 0, 0, 0, 0, 0, 0}, {10000, 1, 1, 0, 0, 0, 0}};
    std::vector<float> floats(std::begin(kAwkward), std::end(kAwkward));
    ASSERT_EQ(std::make_tuple(object.SetMemberAt(1, wide, 7), object.SetMemberAt(2, lone, 2), object.SetMemberAt(4, static_cast<short>(-2)),
                              one->At(0)->SetMemberAt(6, "it", 2), object.SetMemberAt(6, std::int32_t{-2}), object.SetMemberAt(7, 0xFFFFFFFFu),
                              object.SetMemberAt(8, shorts, 2), object.SetMemberAt(9, words, 2), object.SetMemberAt(11, times, 3),
                              object.SetMemberAt(12, kAwkward, sizeof kAwkward / sizeof kAwkward[0]),
                              object.SetMemberAt(13, floats.data(), static_cast<std::uint16_t>(floats.size())),
                              object.SetMemberAt(14, 0xE9u), object.SetMemberAt(15, static_cast<short>(-25)), object.SetMemberAt(16, 0x80010003u)),
              std::make_tuple(1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1));
    const std::string json = xqova::ObjectToJson(object, -1);
    for (const char* part :
         {"{\"Name\":{\"type\":\"ansichar[4]\",\"value\":\"A\xC3\xA9" "CD\"},"
          "\"Wide\":{\"type\":\"widechar UNBOUNDED\",\"value\":\"A\xE0\xA0\x80\xF0\x90\x80\x80\xF4\x8F\xBF\xBF\xEF\xBF\xBD\"},"
          "\"Lone\":{\"type\":\"widechar UNBOUNDED\",\"value\":[55296,66]},"
          "\"Big\":{\"type\":\"uint64[2]\",\"value\":[1099511627776,18446744073709551615]},"
          "\"Wide#4\":{\"type\":\"int16\",\"value\":-2},",
          "\"Long\":{\"type\":\"int64\",\"value\":-2},\"ULong\":{\"type\":\"uint64\",\"value\":4294967295},"
          "\"Shorts\":{\"type\":\"uint16 UNBOUNDED\",\"value\":[1,65535]},"
          "\"Words\":{\"type\":\"int32 UNBOUNDED\",\"value\":[-2147483648,2147483647]},"
          "\"Huge\":{\"type\":\"int64 UNBOUNDED\",\"value\":[]},"
          "\"Times\":{\"type\":\"TIME UNBOUNDED\",\"value\":[\"2000/02/29 23:59:59 99\",\"0000/00/00 00:00:00 00\","
          "{\"year\":10000,\"month\":1,\"day\":1,\"hour\":0,\"minute\":0,\"second\":0,\"fraction\":0}]},"
          "\"Reals\":{\"type\":\"float64 UNBOUNDED\",\"value\":[\"NaN\",\"Infinity\",\"-Infinity\",-0.0,5e-324,"
          "1.401298464324817e-45,3.4028234663852886e+38,0.1,0.3333333333333333]},\"Floats\":{\"type\":\"float32 UNBOUNDED\","
          "\"value\":[\"NaN\",\"Infinity\",\"-Infinity\",-0.0,0.0,1e-45,3.4028235e+38,0.1,0.33333334]},"
          "\"Letter\":{\"type\":\"ansichar\",\"value\":233},"
          "\"Scaled\":{\"type\":\"int16\",\"value\":-25,\"physical\":-2.5},"
          "\"Mask\":{\"type\":\"uint64 BITMASK\",\"value\":2147549187,\"bits\":[\"0x0001\",\"MASK_LOW\",\"0x00010000\",\"0x80000000\"]},"
          "\"Zero\":{\"type\":\"uint8[0]\",\"value\":[]},\"Odd\":{\"type\":\"type 24\",\"value\":0},"
          "\"#19\":{\"type\":\"uint8\",\"value\":0}}}"}) {
        EXPECT_NE(std::string::npos, json.find(part)) << part << "\n" << json;
    }
    // Unpaired surrogates come as code units; the awkward floats read back
    // with them.
    const std::vector<unsigned short> lones[] = {{0x42, 0xDFFF}, {0xD800, 0xE000}, {0xDC00, 0, 0xDC00}};
    for (const auto& units : lones) {
        ASSERT_EQ(1, object.SetMemberAt(2, units.data(), static_cast<std::uint16_t>(units.size())));
        EXPECT_NE(std::string::npos, xqova::ObjectToJson(object, -1).find("UNBOUNDED\",\"value\":[" + std::to_string(units[0])));
        ExpectRoundTrip(object, dictionary);
    }

    const auto Repeat = [](const std::string& piece, int times) {
        std::string out;
        for (int i = 0; i < times; ++i) out += piece;
        return out;
    };
    const std::string huge = "\"int64 UNBOUNDED\",\"value\":[";
    const std::string item = "\"0x00420100\",\"speciesName\":\"SpOnly\",\"version\":100";  // One's element
    const auto P = [&](const std::string& from, const std::string& to) { return Replaced(json, from, to); };
    ExpectTakenOrRefused(dictionary, {
        {P("\"A\xC3\xA9" "CD\"", "\"ABCDE\""), "/members/Name/value", "5 elements do not fit its 4"},
        {P("\"A\xC3\xA9" "CD\"", "\"\u0100\""), "/members/Name/value", "U+0100 does not fit an 8-bit text"},
        {P("\"A\xC3\xA9" "CD\"", "5"), "/members/Name/value", "5 is not a text"},
        {P("[1099511627776,", "[-1,"), "/members/Big/value/0", "-1 is outside the range of a uint64"},
        {P(item, "\"0x00420000\",\"version\":100"), "/members/One/value/0/classId", "holds class 0x00420100 only"},
        {P(item, "\"0x00420100\",\"version\":99"), "/members/One/value/0/version", "elements are of version 100"},
        {P("[{\"class\":\"CItem\"", "[{},{\"class\":\"CItem\""), "/members/One/value", "2 elements do not fit its 1"},
        {P("[{\"class\":\"CItem\"", "5,\"physical\":[{\"class\":\"CItem\""), "/members/One/value", "a vector's value is a JSON array"},
        {P("[1,65535]", "[1,65536]"), "/members/Shorts/value/1", "65536 is outside 0 to 65535"},
        {P("[1,65535]", "[" + Repeat("7,", 32766) + "7]"), "", ""},  // 65,534 bytes, no terminator to add
        {P("[1,65535]", "[" + Repeat("7,", 32767) + "7]"), "/members/Shorts", "32768 elements take 65536 bytes"},
        {P("[1,65535]", "{}"), "/members/Shorts/value", "an array member's value is a JSON array"},
        {P(huge + "]", huge + "1]"), "/members/Huge/value", "64-bit integers cannot be filled"},
        {P(huge + "]", huge + "9223372036854775808]"), "/members/Huge/value/0", "outside the range of an int64"},
        {P("[\"NaN\",", "[true,"), "/members/Reals/value/0", "true is not a number"},
        {P("\"physical\":-2.5", "\"physical\":\"-2.5\""), "/members/Scaled/physical", "\"-2.5\" is not the physical value"},
        {P("\"physical\":-2.5", "\"physical\":-2.5,\"units\":3"), "/members/Scaled/units", "3 is not the member's units code (none)"},
        {P("\"MASK_LOW\",", "\"MASK_HIGH\","), "/members/Mask/bits/1", "unknown bit \"MASK_HIGH\""},
    });
}

}  // namespace
