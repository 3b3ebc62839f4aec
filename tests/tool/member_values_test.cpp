// Member values typed on the command line: how each kind of member takes
// its text, what the decoded object shows for it, and what is refused; and
// values given as JSON: decode --json, then encode --json gives the same
// bytes for objects of every class the tool knows, at every version, as built
// (no --force needed) and randomly filled (random numbers have no names,
// which only --force takes).
#include <gtest/gtest.h>

#include "tests/tool/tool_test_support.h"
#include "tools/qova/members.h"
#include "xqova/dictionary/definition.h"

namespace {

using qova::Json;
using namespace tool_test;
constexpr Options kForce{"", 0xFFFF, true};

// The value each text gives, as the decoded document shows it (a name, a
// time in the ISO form, a float and a text given to nested members are the
// command-line round trip's golden case), or the reason it is refused.
TEST(MemberValues, EachKindRoundTripsThroughEncodeAndDecodeOrIsRefusedSayingWhy) {
    const struct {
        const char* className;
        std::vector<std::string> assignments;
        const char* pointer;   // into the decoded document; null: the values are refused
        const char* expected;  // JSON found there, or part of the reason
        Options options = {};
    } cases[] = {
        {"CNIBPDStd", {"Systolic=-32768"}, "/members/Systolic/value", "-32768"},
        {"CNIBPDStd", {"HR=0xFFFF"}, "/members/HR/value", "65535"},
        {"CNIBPDStd", {"Source=12"}, "/members/Source/value", "12"},
        {"CNIBPDStd", {"STime=2024/03/05 06:07:08 09"}, "/members/STime/value", R"("2024/03/05 06:07:08 09")"},
        {"CNumDStd", {"StatusBits=STATUSBITS_OVERRANGE|STATUSBITS_NOALARM"}, "/members/StatusBits/value", "18"},
        {"CNumDStd", {"StatusBits=0x2000|STATUSBITS_VALIDRANGE"}, "/members/StatusBits/value", "8193"},
        {"CNumDStd", {"Value=-7"}, "/members/Value/value", "-7"},
        {"CDeviceDStd", {"SerialNumber=123456789012345"}, "/members/SerialNumber/value", R"("123456789012345")"},
        {"CDeviceDStd", {"DeviceGUID=1,2,3"}, "/members/DeviceGUID/value", "[1,2,3,0,0,0,0,0,0,0,0,0,0,0,0,0]"},
        {"CNetworkCEth", {"ServerName=Z\xC3\xBCrich \xE2\x82\xAC"}, "/members/ServerName/value",
         "\"Z\xC3\xBCrich \xE2\x82\xAC\""},
        {"CNetworkCEth", {"FixedIPAddress=192,168,0,1"}, "/members/FixedIPAddress/value", "[192,168,0,1]"},
        {"CNetworkCLocID", {"LocationID="}, "/members/LocationID/value", R"("")"},
        {"CErrEStd", {"Data=1,2,255"}, "/members/Data/value", "[1,2,255]"},
        {"CErrEStd", {"Data="}, "/members/Data/value", "[]"},
        {"CSESDVitalsRRecord", {"CustomDataBits=CUSTOMDATABITS_DEPRECATE_STANDARD_MODIFIER"},
         "/members/CustomDataBits/value", "2"},
        {"CDeviceCStd", {"DeviceID=ward 3"}, "/members/DeviceID/value", R"("ward 3")"},
        // --force takes numbers without names and times off the calendar.
        {"CNumDStd", {"StatusBits=0x8001"}, "/members/StatusBits/value", "32769", kForce},
        {"CNIBPDStd", {"Mode=99"}, "/members/Mode/value", "99", kForce},
        {"CNIBPDStd", {"STime=2024/13/45 25:61:00 00"}, "/members/STime/value/month", "13", kForce},
        // Members of later versions need that version; species and class forms.
        {"CDataTransferCDesc", {"WindowSize=4"}, "/members/WindowSize/value", "4", {"", 201, false}},
        {"117/0/0", {"Value=120"}, "/classId", R"("0x00750001")", {"SpNIBPSYS", 0xFFFF, false}},
        // Refused values, and why.
        {"CNIBPDStd", {"HR=-1"}, nullptr, "HR: -1 is outside the range of its type (0 to 65535)"},
        {"CNIBPDStd", {"Systolic=12x"}, nullptr, "Systolic: '12x' is not a number"},
        {"CNIBPDStd", {"Mode=MODE_TODDLER"}, nullptr,
         "Mode: 'MODE_TODDLER' is neither a number nor one of its values (MODE_NONE"},
        {"CNIBPDStd", {"STime=2024/03/05"}, nullptr, "STime: time '2024/03/05': expected YYYY/MM/DD hh:mm:ss ff"},
        {"CNIBPDStd", {"STime=2024/03/05 06:07:08 09 10"}, nullptr, "expected YYYY/MM/DD hh:mm:ss ff"},
        {"CNIBPDStd", {"STime=2024/03/05 06:07:08 x"}, nullptr, "expected YYYY/MM/DD hh:mm:ss ff"},
        {"CNIBPDStd", {"STime=70000/1/1 0:0:0"}, nullptr, "time '70000/1/1 0:0:0': a field is too large"},
        {"CNIBPDStd", {"STime=2024/03/05 06:07:300"}, nullptr, "field 6 is above 255"},
        {"CNIBPDStd", {"Pulse=60"}, nullptr, "CNIBPDStd has no member Pulse (members: STime, Status, Systolic"},
        {"CNIBPDStd", {"=60"}, nullptr, "expected Member=value"},
        {"CNumDStd", {"StatusBits=STATUSBITS_SIDEWAYS"}, nullptr,
         "neither a number nor one of its bits (STATUSBITS_VALIDRANGE"},
        {"CDeviceDStd", {"SerialNumber=1234567890123456"}, nullptr, "16 characters do not fit its 15 characters"},
        {"CDeviceDStd", {"DeviceGUID=1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17"}, nullptr,
         "17 elements do not fit its 16"},
        {"CDeviceDStd", {"DeviceGUID=1,256"}, nullptr,
         "DeviceGUID element: 256 is outside the range of its type (0 to 255)"},
        {"CNetworkCEth", {"ServerName=\xC3"}, nullptr, "ServerName: '\xC3' is not UTF-8 text"},
        {"CSESDZentoRec", {"NIBPData=1"}, nullptr, "NIBPData: holds an object; set its members as NIBPData.Member=value"},
        {"CSESDZentoRec", {"STime.Year=1"}, nullptr, "STime: does not hold a single object"},
        {"CFileSysDExtStd", {"Container=1"}, nullptr, "Container: holds a vector of objects"},
        {"CNIBPDStd", {"STime=2024-13-45T25:61:00"}, nullptr,
         "STime: '2024-13-45T25:61:00' is not a date and time: month 13 is not 1 to 12 (--force"},
        {"CNIBPDStd", {"STime=2024/02/29 23:59:59 100"}, nullptr, "fraction 100 is not 0 to 99"},
        {"CTempDStd", {"Temperature=3.5e38"}, nullptr, "Temperature: 3.5e38 is outside the range of a float32"},
        {"CTempDStd", {"Temperature=inf"}, nullptr, "Temperature: 'inf' is not a finite number"},
        {"CTempDStd", {"Temperature=nan"}, nullptr, "Temperature: 'nan' is not a finite number"},
        {"CNIBPDStd", {"Mode=99"}, nullptr, "Mode: 99 is not one of its values (MODE_NONE, MODE_UNKNOWN, MODE_ADULT"},
        {"CNIBPDStd", {"Mode=2"}, nullptr, "Mode: 2 is not one of its values"},
        {"CNumDStd", {"StatusBits=0x8000|STATUSBITS_VALIDRANGE"}, nullptr,
         "StatusBits: 0x8000 sets bits without a name (0x00008000; its bits: STATUSBITS_VALIDRANGE"},
        {"CNoSuchClass", {"X=1"}, nullptr, "unknown class CNoSuchClass"},
        {"0x00AB0000", {"X=1"}, nullptr, "no definition serves class 0x00AB0000 (family 171, genus 0, species 0)"},
        // --force takes neither values outside the type nor a member given twice.
        {"CNIBPDStd", {"Systolic=40000"}, nullptr, "Systolic: 40000 is outside the range of its type", kForce},
        {"CNIBPDStd", {"Systolic=1", "Systolic=2"}, nullptr,
         "Systolic: given twice ('Systolic=1', then 'Systolic=2')", kForce},
        {"CSESDZentoRec", {"NIBPData.Systolic=1", "TempData.Temperature=1", "NIBPData.Systolic=1"}, nullptr,
         "NIBPData.Systolic: given twice", kForce},
        {"CDataTransferCDesc", {"WindowSize=4"}, nullptr,
         "WindowSize: CDataTransferCDesc has no such member at version 200", {"", 200, false}},
        {"CDataTransferCDesc", {"WindowSize=4"}, nullptr, "version 202 is newer than its definition (201)",
         {"", 202, false}},
        {"0x00750000", {"Value=1"}, nullptr, "does not serve species 24", {"24", 0xFFFF, false}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.assignments.back());
        if (c.pointer == nullptr) {
            const std::string message = FailureOf([&] { Encode(c.className, c.assignments, c.options); });
            EXPECT_NE(message.find(c.expected), std::string::npos) << message;
            continue;
        }
        const Bytes bytes = Encode(c.className, c.assignments, c.options);
        const Json decoded = Json::parse(qova::DecodeObject(TestCatalog(), bytes, qova::ObjectOutput::kJson, nullptr));
        EXPECT_EQ(decoded.at(Json::json_pointer(c.pointer)), Json::parse(c.expected));
    }
}

TEST(JsonRoundTrip, DecodeThenEncodeGivesTheSameBytesForEveryClass) {
    qova::Catalog& catalog = TestCatalog();
    unsigned cases = 0;
    for (const qova::ClassEntry& entry : catalog.Classes()) {
        for (std::uint16_t v = 1; v <= DefinitionVersion(entry.block); ++v) {
            for (const bool filled : {false, true}) {
                SCOPED_TRACE(entry.name + " version " + std::to_string(v) + (filled ? " filled" : " as built"));
                CXQOVAObject object(&catalog.Dictionary(), entry.classId, v);
                ASSERT_EQ(v, object.Version());
                if (filled) test_objects::Filler(entry.classId + v, {test_objects::kNumD, test_objects::kNIBPD}).Fill(object);
                const qova::Bytes bytes = test_objects::Encode(object);
                const std::string json = qova::DecodeObject(catalog, bytes, qova::ObjectOutput::kJson, nullptr);
                const qova::Bytes text(json.begin(), json.end());
                EXPECT_EQ(test_objects::Hex(bytes), test_objects::Hex(qova::EncodeJson(catalog, text, filled)));
                ++cases;
            }
        }
    }
    EXPECT_GT(cases, 2 * 57u);
}

}  // namespace
