// Objects as JSON and back: byte-identical round trips over every built-in
// class at every version, the document's shape, and the refusals of
// documents that do not fit their members.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "support/objects.h"
#include "xqova/builtin/builtin.h"
#include "xqova/json/json.h"

namespace {

using namespace test_objects;

// Float values that decimal text loses easily.
const double kAwkward[] = {std::numeric_limits<double>::quiet_NaN(),
                           std::numeric_limits<double>::infinity(),
                           -std::numeric_limits<double>::infinity(),
                           -0.0,
                           std::numeric_limits<double>::denorm_min(),
                           static_cast<double>(std::numeric_limits<float>::denorm_min()),
                           static_cast<double>(std::numeric_limits<float>::max()),
                           0.1,
                           1.0 / 3.0};

// binary -> JSON -> object -> binary, with the JSON of the copy compared too.
void ExpectRoundTrip(CXQOVAObject& object, CXQOVADictionary& dictionary) {
    const Bytes bytes = Encode(object);
    ASSERT_FALSE(bytes.empty());
    const std::string json = xqova::ObjectToJson(object, -1);
    ASSERT_FALSE(json.empty());
    xqova::JsonError error;
    auto back = xqova::ObjectFromJson(&dictionary, json.data(), json.size(), &error);
    ASSERT_TRUE(back != nullptr) << error.Text() << "\n" << json.substr(0, 2000);
    EXPECT_EQ(Hex(bytes), Hex(Encode(*back)));
    EXPECT_EQ(json, xqova::ObjectToJson(*back, -1));
}

TEST(Json, EveryBuiltInClassAtEveryVersionRoundTripsByteForByte) {
    CXQOVADictionary& dictionary = xqova::AllBuiltinClasses();
    const std::uint16_t count = dictionary.GetDefinitionCount();
    ASSERT_EQ(57, count);
    unsigned cases = 0;
    for (std::uint16_t i = 0; i < count; ++i) {
        const void* definition = dictionary.GetDefinitionAt(i);
        const std::uint32_t classId = DefinitionClassID(definition);
        for (std::uint16_t v = 1; v <= DefinitionVersion(definition); ++v) {
            SCOPED_TRACE("class " + std::to_string(classId) + " version " + std::to_string(v));
            CXQOVAObject object(&dictionary, classId, v);
            ASSERT_EQ(v, object.Version());
            ExpectRoundTrip(object, dictionary);  // as built: texts without elements
            Filler filler(i * 1000u + v, {kNumD, kNumDFloat, kVitals, kNIBPD});
            filler.Fill(object);
            ExpectRoundTrip(object, dictionary);
            ++cases;
        }
    }
    EXPECT_GT(cases, 57u);
}

// Awkward values as float32 and float64 scalars and float32 array elements.
TEST(Json, AwkwardFloatsRoundTripByteForByte) {
    CXQOVADictionary shelf(ShelfChain().Head());
    for (const double d : kAwkward) {
        SCOPED_TRACE(d);
        CXQOVAObject number(&xqova::AllBuiltinClasses(), kNumDFloat, 0xFFFF), item(&shelf, kItem, 0xFFFF);
        const float levels[] = {static_cast<float>(d), static_cast<float>(d)};
        ASSERT_EQ(1, number.SetMemberAt(0, levels[0]));
        ASSERT_EQ(1, item.SetMember(3, d));
        ASSERT_EQ(1, item.SetMember(7, levels, 2));
        ExpectRoundTrip(number, xqova::AllBuiltinClasses());
        ExpectRoundTrip(item, shelf);
    }
}

// A reading with every kind of value a measurement class holds.
std::string NibpDocument(bool oneLine = true) {
    CXQOVAObject nibp(&xqova::AllBuiltinClasses(), kNIBPD, 0xFFFF);
    nibp.SetValid(1);
    QOVA_TIME t{};
    t.year = 2024, t.month = 3, t.day = 5, t.hour = 6, t.minute = 7, t.second = 8, t.fraction = 9;
    nibp.SetMemberAt(0, t);
    nibp.SetMemberAt(1, 1u);
    nibp.SetMemberAt(2, static_cast<short>(-5));
    nibp.SetMemberAt(8, 2u);
    return oneLine ? xqova::ObjectToJson(nibp, -1) : xqova::ObjectToJson(nibp);
}

TEST(Json, DocumentShape) {
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
        NibpDocument());
    EXPECT_EQ(0u, NibpDocument(false).find("{\n  \"class\": \"CNIBPDStd\",\n  \"classId\""));  // two spaces by default

    // Floats at their shortest, the non-finite spelling, bits beside the
    // number (an unnamed bit by its value), a time off the calendar.
    CXQOVAObject f(&xqova::AllBuiltinClasses(), kNumDFloat, 0xFFFF);
    f.SetMemberAt(0, 0.1f);
    f.SetMemberAt(1, 0x8001u);
    EXPECT_EQ(0u, xqova::ObjectToJson(f, 0).find("{\n\"class\": "));  // indent 0: one member a line, no spaces
    EXPECT_NE(std::string::npos, xqova::ObjectToJson(f, -1).find(
        "{\"Value\":{\"type\":\"float32\",\"value\":0.1},\"StatusBits\":{\"type\":\"uint16 BITMASK\",\"value\":32769,\"bits\":[\"STATUSBITS_VALIDRANGE\",\"0x8000\"]}}"));
    f.SetMemberAt(0, -0.0f);
    EXPECT_NE(std::string::npos, xqova::ObjectToJson(f, -1).find("{\"Value\":{\"type\":\"float32\",\"value\":-0.0}"));
    f.SetMemberAt(0, -std::numeric_limits<float>::infinity());
    EXPECT_NE(std::string::npos, xqova::ObjectToJson(f, -1).find("{\"Value\":{\"type\":\"float32\",\"value\":\"-Infinity\"}"));
    // An empty text is an empty string.
    CXQOVAObject record(&xqova::AllBuiltinClasses(), kZentoRec, 0xFFFF);
    EXPECT_NE(std::string::npos, xqova::ObjectToJson(record, -1).find("\"ModelName\":{\"type\":\"ansichar[32]\",\"value\":\"\"}"));
    CXQOVAObject nibp(&xqova::AllBuiltinClasses(), kNIBPD, 0xFFFF);
    QOVA_TIME t{};
    t.year = 2024, t.month = 13, t.day = 45;
    nibp.SetMemberAt(0, t);
    EXPECT_NE(std::string::npos, xqova::ObjectToJson(nibp, -1).find(
        "\"STime\":{\"type\":\"TIME\",\"value\":{\"year\":2024,\"month\":13,\"day\":45,\"hour\":0,\"minute\":0,\"second\":0,"
        "\"fraction\":0}}"));
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

// Each document is taken (member 1 then holds `value`, unless 0) or refused
// naming the place (a prefix of the path; "" the document itself) and the
// reason. Names stand in for values (bits, an enumerator) and must agree with
// a value given beside them; bits without a name are written and read by
// value; on request, numbers that no name covers are refused, and units and
// physical values must be the member's. The limits bound the text and the
// objects built: a combined record builds eleven nested objects with itself,
// vector elements count one object each.
TEST(Json, DocumentsAreTakenOrRefusedNamingThePlaceAndTheReason) {
    const std::string nibp = NibpDocument();
    const std::string numd = "{\"classId\":\"0x0075001F\",\"version\":202,\"members\":{\"StatusBits\":BITS}}";
    const std::string value = Replaced(numd, "\"StatusBits\":BITS", "\"Value\":{\"value\":1}");
    CXQOVAObject zento(&xqova::AllBuiltinClasses(), kZentoRec, 0xFFFF);
    CXQOVAObject vitals(&xqova::AllBuiltinClasses(), kVitals, 0xFFFF);
    CXQOVAVector* container = vitals.At(3);
    ASSERT_TRUE(container != nullptr);
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(container->Push(kNumD) != nullptr);
    const std::string record = xqova::ObjectToJson(zento, -1), five = xqova::ObjectToJson(vitals, -1);
    const xqova::JsonLimits lenient = Limits(false), strict = Limits(true);
    const std::string wide = "{\"classId\":\"0x00170003\",\"version\":205,\"members\":{M}}";
    const std::string element = "\"Container\":{\"value\":[{\"classId\":\"0x00750000\",\"version\":999}]}";
    const struct {
        std::string text;
        xqova::JsonLimits limits;
        const char* path;
        std::string reason;  // "" when taken
        std::uint32_t value;
    } cases[] = {
        {Replaced(numd, "BITS", "{\"bits\":[\"STATUSBITS_VALIDRANGE\",\"STATUSBITS_OVERRANGE\"]}"), lenient, "", "", 3},
        {Replaced(nibp, "\"uint16\",\"value\":1,", "\"uint16\","), lenient, "", "", 1},  // Status by its enumerator
        {Replaced(numd, "BITS", "{\"bits\":[\"0x8000\"]}"), lenient, "", "", 0x8000},
        {Replaced(numd, "BITS", "{\"value\":32769,\"bits\":[\"STATUSBITS_VALIDRANGE\",\"0x8000\"]}"), lenient, "", "",
         0x8001},
        {Replaced(numd, "BITS", "{\"value\":32769}"), lenient, "", "", 0x8001},
        {Replaced(numd, "BITS", "{\"value\":1,\"bits\":[\"STATUSBITS_VALIDRANGE\",\"0x8000\"]}"), lenient,
         "/members/StatusBits", "does not match the names", 0},
        {Replaced(numd, "BITS", "{\"bits\":[\"0x8000\"]}"), strict, "/members/StatusBits",
         "bit \"0x8000\" has no name", 0},
        {Replaced(numd, "BITS", "{\"value\":32769}"), strict, "/members/StatusBits",
         "32769 sets bits without a name (0x00008000", 0},
        {Replaced(numd, "BITS", "{\"bits\":[\"0x0001\"]}"), lenient, "/members/StatusBits",
         "has a name: STATUSBITS_VALIDRANGE", 0},
        {Replaced(numd, "BITS", "{\"bits\":[\"0x0003\"]}"), lenient, "/members/StatusBits", "unknown bit \"0x0003\"", 0},
        {Replaced(numd, "BITS", "{\"value\":1,\"units\":3}"), lenient, "/members/StatusBits",
         "3 is not the member's units code (none)", 0},
        {Replaced(numd, "BITS", "{\"value\":1,\"physical\":1}"), lenient, "/members/StatusBits",
         "the member has no units or scale", 0},
        {Replaced(nibp, "\"value\":2}", "\"value\":99}"), strict, "/members/Mode", "99 is not one of its values (MODE_NONE",
         0},
        {Replaced(nibp, "\"value\":2}", "\"value\":10}"), strict, "", "", 0},
        {Replaced(nibp, "\"value\":-5}", "\"value\":\"-5\"}"), lenient, "/members/Systolic/value", "is not an integer", 0},
        {Replaced(nibp, "\"value\":-5}", "\"value\":32768}"), lenient, "/members/Systolic/value",
         "outside -32768 to 32767", 0},
        {Replaced(nibp, "\"value\":-5}", "\"value\":-32769}"), lenient, "/members/Systolic/value",
         "outside -32768 to 32767", 0},
        {Replaced(nibp, "\"value\":2}", "\"value\":256}"), lenient, "/members/Mode/value", "outside 0 to 255", 0},
        {Replaced(nibp, "\"value\":2}", "\"enumerator\":\"MODE_BOGUS\"}"), lenient, "/members/Mode/enumerator",
         "unknown enumerator \"MODE_BOGUS\"", 0},
        // A value of 61 characters as JSON is shown by its first 57.
        {Replaced(nibp, "\"value\":2}", "\"enumerator\":\"MODE_" + std::string(54, 'X') + "\"}"), lenient,
         "/members/Mode/enumerator", "enumerator \"MODE_" + std::string(51, 'X') + "... (known", 0},
        {Replaced(nibp, "\"value\":1,\"enumerator\":\"STATUS_DATA_COMPLETE\"",
                  "\"value\":0,\"enumerator\":\"STATUS_DATA_COMPLETE\""),
         lenient, "/members/Status", "does not match the names", 0},
        {Replaced(nibp, "\"int16\",\"value\":-5", "\"uint16\",\"value\":-5"), lenient, "/members/Systolic/type",
         "the member is int16, not \"uint16\"", 0},
        {Replaced(nibp, "\"HR\":", "\"Pulse\":"), lenient, "/members/Pulse", "has no member \"Pulse\"", 0},
        {Replaced(nibp, "\"HR\":", "\"MAP\":"), lenient, "/members/MAP", "\"MAP\" is given twice", 0},
        {Replaced(nibp, "\"valid\":true", "\"valid\":1"), lenient, "/valid", "is not true or false", 0},
        {Replaced(nibp, "\"valid\":true", "\"valid\":true,\"extra\":0"), lenient, "/extra", "unknown field", 0},
        {Replaced(nibp, "2024/03/05", "2024-03-05"), lenient, "/members/STime/value", "is not a time", 0},
        {Replaced(nibp, "2024/03/05", "+024/03/05"), lenient, "/members/STime/value", "is not a time", 0},
        {Replaced(nibp, "2024/03/05", "2024/03/32"), lenient, "/members/STime/value", "day 32 is not 1 to 31", 0},
        {Replaced(nibp, "2024/03/05", "2024/02/30"), lenient, "/members/STime/value",
         "day 30 is not 1 to 29 (month 2 of 2024)", 0},
        {Replaced(nibp, "2024/03/05", "1900/02/29"), lenient, "/members/STime/value", "day 29 is not 1 to 28", 0},
        {Replaced(nibp, "2024/03/05", "2023/04/31"), lenient, "/members/STime/value", "day 31 is not 1 to 30", 0},
        {Replaced(nibp, "2024/03/05", "2024/13/05"), lenient, "/members/STime/value", "month 13 is not 1 to 12", 0},
        {Replaced(nibp, "2024/03/05", "2024/00/05"), lenient, "/members/STime/value", "month 0 is not 1 to 12", 0},
        {Replaced(nibp, "06:07:08", "24:07:08"), lenient, "/members/STime/value", "hour 24 is not 0 to 23", 0},
        {Replaced(nibp, "06:07:08", "06:60:08"), lenient, "/members/STime/value", "minute 60 is not 0 to 59", 0},
        {Replaced(nibp, "06:07:08", "06:07:60"), lenient, "/members/STime/value", "second 60 is not 0 to 59", 0},
        {Replaced(nibp, "\"version\":105", "\"version\":106"), lenient, "/version", "has no version 106", 0},
        {Replaced(nibp, "0x00050000", "0x00AB0000"), lenient, "/classId", "no definition serves class 0x00AB0000", 0},
        {Replaced(nibp, "CNIBPDStd", "CTempDStd"), lenient, "/class", "is not the name of class 0x00050000", 0},
        {Replaced(value, "{\"value\":1}", "{\"value\":1e50}"), lenient, "/members/Value/value",
         "outside the range of a float32", 0},
        {Replaced(value, "{\"value\":1}", "{\"value\":\"nan\"}"), lenient, "/members/Value/value",
         "\"NaN\", \"Infinity\"", 0},
        {Replaced(record, "\"0x00050000\",\"speciesName\":\"SpSTANDARD\",\"version\":105",
                  "\"0x00050000\",\"speciesName\":\"SpSTANDARD\",\"version\":101"),
         lenient, "/members/NIBPData/value",
         "the member holds class 0x00050000 version 105, not 0x00050000 version 101", 0},
        {Replaced(nibp, "\"0x00050000\"", "\"0x0005000\""), lenient, "/classId",
         "\"0x0005000\" is not a class identifier", 0},
        {Replaced(nibp, "\"version\":105", "\"version\":65535"), lenient, "/version", "65535 is not a version (0 to 65534)",
         0},
        {Replaced(nibp, "SpSTANDARD", "SpOTHER"), lenient, "/speciesName",
         "\"SpOTHER\" is not the species of class 0x00050000", 0},
        {Replaced(nibp, "\"value\":-5}", "\"value\":-5,\"unit\":1}"), lenient, "/members/Systolic/unit",
         "unknown field \"unit\"", 0},
        {Replaced(nibp, "\"2024/03/05 06:07:08 09\"",
                  "{\"year\":2024,\"month\":3,\"day\":5,\"hour\":6,\"minute\":7,\"second\":8,\"fraction\":256}"),
         lenient, "/members/STime/value/fraction", "256 is not a whole number from 0 to 255", 0},
        {Replaced(wide, "M", "\"OrderID\":{\"value\":[65536]}"), lenient, "/members/OrderID/value/0",
         "65536 is not a code unit (0 to 65535)", 0},
        {Replaced(wide, "M", "\"OrderID\":{\"value\":\"" + std::string(32767, 'a') + "\"}"), lenient, "/members/OrderID",
         "32767 elements take 65536 bytes, a member holds at most 65535", 0},
        {Replaced(wide, "M", element), lenient, "/members/Container/value/0/version",
         "class 0x00750000 has no version 999", 0},
        {Replaced(wide, "M", Replaced(element, "0x00750000\",\"version\":999", "0x00AB0000\",\"version\":0")), lenient,
         "/members/Container/value/0", "no definition serves class 0x00AB0000", 0},
        {nibp.substr(0, nibp.size() - 1), lenient, "", "not JSON", 0},
        {std::string(300, '[') + std::string(300, ']'), lenient, "/0/0/0", "nested deeper than 136 levels", 0},
        {record, Limits(false, record.size() - 1), "", "more than the limit of", 0},
        {record, Limits(false, record.size(), 12), "", "", 0},
        {five, Limits(false, five.size(), 5), "/members/Container/value/4", "more than 5 objects", 0},
        {five, Limits(false, five.size(), 6), "", "", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 300));
        xqova::JsonError error;
        auto object = xqova::ObjectFromJson(&xqova::AllBuiltinClasses(), c.text.data(), c.text.size(), &error, c.limits);
        if (c.reason.empty()) {
            ASSERT_TRUE(object != nullptr) << error.Text();
            if (c.value != 0) {
                EXPECT_EQ(c.value, static_cast<std::uint32_t>(object->GetMemberAt(1)));
            }
            continue;
        }
        EXPECT_TRUE(object == nullptr);
        EXPECT_EQ(0u, error.path.rfind(c.path, 0)) << error.path;  // "": the document itself
        EXPECT_TRUE(*c.path != '\0' || error.path.empty()) << error.path;
        EXPECT_NE(std::string::npos, error.reason.find(c.reason)) << error.Text();
        EXPECT_EQ(c.limits.refuseUnnamed, error.unnamedValue) << error.Text();
    }
}

// Texts of every byte and code unit, 64-bit elements and a repeated name,
// in a class of our own.
TEST(Json, TextsWideElementsAndRepeatedNamesRoundTrip) {
    const std::uint32_t id = 0x00420000;
    Chain chain({Build("CJsonProbe", id,
                       {FixedArray("Name", 0x08, 4), M("Wide", 0x49), M("Lone", 0x49), FixedArray("Big", 0x17, 2),
                        M("Wide", 0x01), VectorOf("One", kItem, 1), M("Long", 0x07), M("ULong", 0x17)}),
                 ShelfBlocks()[1]});
    CXQOVADictionary dictionary(chain.Head());
    CXQOVAObject object(&dictionary, id, 100);
    std::memcpy(static_cast<char*>(object.At(0)), "A\xE9" "CD", 4);  // every element, no terminator
    const unsigned short wide[] = {0x41, 0x9999, 0xD800, 0xDC00, 0xD83D, 0xDE00};  // U+9999, U+10000, U+1F600
    const unsigned short lone[] = {0xD800, 0x42};
    ASSERT_EQ(1, object.SetMemberAt(1, wide, 6));
    ASSERT_EQ(1, object.SetMemberAt(2, lone, 2));
    const std::uint64_t big[] = {std::uint64_t{1} << 40, ~std::uint64_t{0}};
    std::memcpy(static_cast<void*>(object.At(3)), big, sizeof big);
    object.SetMemberAt(4, static_cast<short>(-2));
    CXQOVAVector* one = object.At(5);
    ASSERT_TRUE(one != nullptr && one->Size() == 1);
    const float levels[] = {1.5f, -2.25f};
    std::memcpy(static_cast<void*>(one->At(0)->At(7)), levels, sizeof levels);
    ASSERT_EQ(1, one->At(0)->SetMemberAt(6, "it", 2));
    ASSERT_EQ(1, one->At(0)->SetMemberAt(3, 0.1));  // a float64 that a float32 cannot hold
    object.SetMemberAt(6, std::int32_t{-2});
    object.SetMemberAt(7, 0xFFFFFFFFu);
    const std::string json = xqova::ObjectToJson(object, -1);
    EXPECT_NE(std::string::npos, json.find("\"Long\":{\"type\":\"int64\",\"value\":-2},"
                                           "\"ULong\":{\"type\":\"uint64\",\"value\":4294967295}"))
        << json;
    EXPECT_NE(std::string::npos,
              json.find("{\"Name\":{\"type\":\"ansichar[4]\",\"value\":\"A\xC3\xA9" "CD\"},"
                        "\"Wide\":{\"type\":\"widechar UNBOUNDED\",\"value\":\"A\xE9\xA6\x99\xF0\x90\x80\x80\xF0\x9F\x98\x80\"},"
                        "\"Lone\":{\"type\":\"widechar UNBOUNDED\",\"value\":[55296,66]},"
                        "\"Big\":{\"type\":\"uint64[2]\",\"value\":[1099511627776,18446744073709551615]},"
                        "\"Wide#4\":{\"type\":\"int16\",\"value\":-2},"))
        << json;
    xqova::JsonError error;
    auto back = xqova::ObjectFromJson(&dictionary, json.data(), json.size(), &error);
    ASSERT_TRUE(back != nullptr) << error.Text();
    EXPECT_EQ(Hex(Encode(object)), Hex(Encode(*back)));

    const std::string item = "\"0x00420100\",\"speciesName\":\"SpOnly\",\"version\":100";  // One's element
    const struct {
        std::string from, to, path, reason;
    } wrong[] = {
        {"\"A\xC3\xA9" "CD\"", "\"ABCDE\"", "/members/Name/value", "5 elements do not fit its 4"},
        {"\"A\xC3\xA9" "CD\"", "\"\u0100\"", "/members/Name/value", "U+0100 does not fit an 8-bit text"},
        {"[1099511627776,", "[-1,", "/members/Big/value/0", "-1 is outside the range of a uint64"},
        {item, "\"0x00420000\",\"version\":100", "/members/One/value/0/classId", "holds class 0x00420100 only"},
        {item, "\"0x00420100\",\"version\":99", "/members/One/value/0/version", "elements are of version 100"},
        {"[{\"class\":\"CItem\"", "[{},{\"class\":\"CItem\"", "/members/One/value", "2 elements do not fit its 1"},
    };
    for (const auto& w : wrong) {
        const std::string text = Replaced(json, w.from, w.to);
        EXPECT_TRUE(xqova::ObjectFromJson(&dictionary, text.data(), text.size(), &error) == nullptr) << w.to;
        EXPECT_EQ(w.path, error.path) << error.Text();
        EXPECT_NE(std::string::npos, error.reason.find(w.reason)) << error.Text();
    }
}

}  // namespace
