// Member values typed on the command line: how each kind of member takes
// its text, what the decoded object shows for it, and what is refused.
#include <gtest/gtest.h>

#include "tests/tool/tool_test_support.h"
#include "tools/qova/members.h"
#include "tools/qova/render.h"

namespace {

using qova::Json;
using tool_test::Bytes;
using tool_test::FailureOf;
using tool_test::TestCatalog;

Json Decoded(const Bytes& bytes) {
    return Json::parse(qova::DecodeObject(TestCatalog(), bytes, qova::ObjectOutput::kJson, nullptr));
}

// The options of encode besides the class and the values.
struct Options {
    const char* species;
    std::uint16_t version;
    bool force;
};
constexpr Options kPlain{"", 0xFFFF, false};
constexpr Options kForce{"", 0xFFFF, true};

struct Request {
    const char* className;
    std::vector<std::string> assignments;
    Options options;
};

Bytes Encode(const Request& r) {
    qova::EncodeRequest request;
    request.className = r.className;
    request.assignments = r.assignments;
    request.species = r.options.species;
    request.version = r.options.version;
    request.force = r.options.force;
    return qova::EncodeObject(TestCatalog(), request);
}

TEST(MemberValues, EachKindRoundTripsThroughEncodeAndDecode) {
    const struct {
        Request request;
        const char* pointer;  // into the decoded document
        const char* value;    // JSON found there
    } cases[] = {
        {{"CNIBPDStd", {"Systolic=-32768"}, kPlain}, "/members/Systolic", R"({"type":"int16","value":-32768})"},
        {{"CNIBPDStd", {"HR=0xFFFF"}, kPlain}, "/members/HR", R"({"type":"uint16","value":65535})"},
        {{"CNIBPDStd", {"Mode=MODE_NEONATAL"}, kPlain}, "/members/Mode",
         R"({"type":"uint8","value":11,"enumerator":"MODE_NEONATAL"})"},
        {{"CNIBPDStd", {"Source=12"}, kPlain}, "/members/Source",
         R"({"type":"uint16","value":12,"enumerator":"SOURCE_NEONAT"})"},
        {{"CNIBPDStd", {"Status=4"}, kPlain}, "/members/Status",
         R"({"type":"uint16","value":4,"enumerator":"STATUS_DATA_PROCESSING"})"},
        {{"CNIBPDStd", {"STime=2024/03/05 06:07:08 09"}, kPlain}, "/members/STime",
         R"({"type":"TIME","value":"2024/03/05 06:07:08 09"})"},
        {{"CNIBPDStd", {"STime=2024-03-05T06:07:08"}, kPlain}, "/members/STime/value", R"("2024/03/05 06:07:08 00")"},
        {{"CTempDStd", {"Temperature=36.6"}, kPlain}, "/members/Temperature", R"({"type":"float32","value":36.6})"},
        {{"CNumDStd", {"StatusBits=STATUSBITS_OVERRANGE|STATUSBITS_NOALARM"}, kPlain}, "/members/StatusBits",
         R"({"type":"uint16 BITMASK","value":18,"bits":["STATUSBITS_OVERRANGE","STATUSBITS_NOALARM"]})"},
        {{"CNumDStd", {"StatusBits=0x2000|STATUSBITS_VALIDRANGE"}, kPlain}, "/members/StatusBits",
         R"({"type":"uint16 BITMASK","value":8193,"bits":["STATUSBITS_VALIDRANGE","STATUSBITS_DUBIOUS"]})"},
        {{"CNumDStd", {"Value=-7"}, kPlain}, "/members/Value", R"({"type":"int16","value":-7})"},
        {{"CDeviceDStd", {"ModelName=Monitor 7"}, kPlain}, "/members/ModelName",
         R"({"type":"ansichar[32]","value":"Monitor 7"})"},
        {{"CDeviceDStd", {"SerialNumber=123456789012345"}, kPlain}, "/members/SerialNumber",
         R"({"type":"ansichar[16]","value":"123456789012345"})"},
        {{"CDeviceDStd", {"DeviceGUID=1,2,3"}, kPlain}, "/members/DeviceGUID",
         R"({"type":"uint8[16]","value":[1,2,3,0,0,0,0,0,0,0,0,0,0,0,0,0]})"},
        {{"CNetworkCEth", {"ServerName=Z\xC3\xBCrich \xE2\x82\xAC"}, kPlain}, "/members/ServerName",
         "{\"type\":\"widechar UNBOUNDED\",\"value\":\"Z\xC3\xBCrich \xE2\x82\xAC\"}"},
        {{"CNetworkCEth", {"FixedIPAddress=192,168,0,1"}, kPlain}, "/members/FixedIPAddress",
         R"({"type":"uint8[4]","value":[192,168,0,1]})"},
        {{"CNetworkCLocID", {"LocationID="}, kPlain}, "/members/LocationID",
         R"({"type":"ansichar UNBOUNDED","value":""})"},
        {{"CErrEStd", {"Data=1,2,255"}, kPlain}, "/members/Data", R"({"type":"uint8 UNBOUNDED","value":[1,2,255]})"},
        {{"CErrEStd", {"Data="}, kPlain}, "/members/Data", R"({"type":"uint8 UNBOUNDED","value":[]})"},
        {{"CSESDVitalsRRecord", {"CustomDataBits=CUSTOMDATABITS_DEPRECATE_STANDARD_MODIFIER"}, kPlain},
         "/members/CustomDataBits",
         R"({"type":"uint32 BITMASK","value":2,"bits":["CUSTOMDATABITS_DEPRECATE_STANDARD_MODIFIER"]})"},
        {{"CDeviceCStd", {"DeviceID=ward 3"}, kPlain}, "/members/DeviceID", R"({"type":"widechar[21]","value":"ward 3"})"},
        // --force takes numbers without names and times off the calendar.
        {{"CNumDStd", {"StatusBits=0x8001"}, kForce}, "/members/StatusBits/bits", R"(["STATUSBITS_VALIDRANGE","0x8000"])"},
        {{"CNIBPDStd", {"Mode=99"}, kForce}, "/members/Mode", R"({"type":"uint8","value":99})"},
        {{"CNIBPDStd", {"STime=2024/13/45 25:61:00 00"}, kForce}, "/members/STime/value/month", "13"},
        // Members of later versions need that version; species and class forms.
        {{"CDataTransferCDesc", {"WindowSize=4"}, {"", 201, false}}, "/members/WindowSize/value", "4"},
        {{"117/0/0", {"Value=120"}, {"SpNIBPSYS", 0xFFFF, false}}, "/classId", R"("0x00750001")"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.request.assignments[0]);
        EXPECT_EQ(Decoded(Encode(c.request))[Json::json_pointer(c.pointer)], Json::parse(c.value));
    }
}

TEST(MemberValues, RefusedValuesSayWhy) {
    const struct {
        Request request;
        const char* reason;
    } refusals[] = {
        {{"CNIBPDStd", {"Systolic=40000"}, kPlain}, "Systolic: 40000 is outside the range of its type (-32768 to 32767)"},
        {{"CNIBPDStd", {"HR=-1"}, kPlain}, "HR: -1 is outside the range of its type (0 to 65535)"},
        {{"CNIBPDStd", {"Systolic=12x"}, kPlain}, "Systolic: '12x' is not a number"},
        {{"CNIBPDStd", {"Mode=MODE_TODDLER"}, kPlain},
         "Mode: 'MODE_TODDLER' is neither a number nor one of its values (MODE_NONE"},
        {{"CNIBPDStd", {"STime=2024/03/05"}, kPlain}, "STime: time '2024/03/05': expected YYYY/MM/DD hh:mm:ss ff"},
        {{"CNIBPDStd", {"STime=2024/03/05 06:07:08 09 10"}, kPlain}, "expected YYYY/MM/DD hh:mm:ss ff"},
        {{"CNIBPDStd", {"STime=2024/03/05 06:07:08 x"}, kPlain}, "expected YYYY/MM/DD hh:mm:ss ff"},
        {{"CNIBPDStd", {"STime=70000/1/1 0:0:0"}, kPlain}, "time '70000/1/1 0:0:0': a field is too large"},
        {{"CNIBPDStd", {"STime=2024/03/05 06:07:300"}, kPlain}, "field 6 is above 255"},
        {{"CNIBPDStd", {"Pulse=60"}, kPlain}, "CNIBPDStd has no member Pulse (members: STime, Status, Systolic"},
        {{"CNIBPDStd", {"=60"}, kPlain}, "expected Member=value"},
        {{"CNumDStd", {"StatusBits=STATUSBITS_SIDEWAYS"}, kPlain},
         "neither a number nor one of its bits (STATUSBITS_VALIDRANGE"},
        {{"CDeviceDStd", {"SerialNumber=1234567890123456"}, kPlain}, "16 characters do not fit its 15 characters"},
        {{"CDeviceDStd", {"DeviceGUID=1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17"}, kPlain},
         "17 elements do not fit its 16"},
        {{"CDeviceDStd", {"DeviceGUID=1,256"}, kPlain},
         "DeviceGUID element: 256 is outside the range of its type (0 to 255)"},
        {{"CNetworkCEth", {"ServerName=\xC3"}, kPlain}, "ServerName: '\xC3' is not UTF-8 text"},
        {{"CSESDZentoRec", {"NIBPData=1"}, kPlain}, "NIBPData: holds an object; set its members as NIBPData.Member=value"},
        {{"CSESDZentoRec", {"STime.Year=1"}, kPlain}, "STime: does not hold a single object"},
        {{"CFileSysDExtStd", {"Container=1"}, kPlain}, "Container: holds a vector of objects"},
        {{"CNIBPDStd", {"STime=2024-13-45T25:61:00"}, kPlain},
         "STime: '2024-13-45T25:61:00' is not a date and time: month 13 is not 1 to 12 (--force"},
        {{"CNIBPDStd", {"STime=2023/02/29 10:00:00"}, kPlain}, "day 29 is not 1 to 28 (month 2 of 2023)"},
        {{"CNIBPDStd", {"STime=2024/02/29 24:00:00"}, kPlain}, "hour 24 is not 0 to 23"},
        {{"CNIBPDStd", {"STime=2024/02/29 23:60:00"}, kPlain}, "minute 60 is not 0 to 59"},
        {{"CNIBPDStd", {"STime=2024/02/29 23:59:60"}, kPlain}, "second 60 is not 0 to 59"},
        {{"CNIBPDStd", {"STime=2024/02/29 23:59:59 100"}, kPlain}, "fraction 100 is not 0 to 99"},
        {{"CTempDStd", {"Temperature=1e50"}, kPlain}, "Temperature: 1e50 is outside the range of a float32"},
        {{"CTempDStd", {"Temperature=3.5e38"}, kPlain}, "Temperature: 3.5e38 is outside the range of a float32"},
        {{"CTempDStd", {"Temperature=inf"}, kPlain}, "Temperature: 'inf' is not a finite number"},
        {{"CTempDStd", {"Temperature=nan"}, kPlain}, "Temperature: 'nan' is not a finite number"},
        {{"CNIBPDStd", {"Mode=99"}, kPlain}, "Mode: 99 is not one of its values (MODE_NONE, MODE_UNKNOWN, MODE_ADULT"},
        {{"CNIBPDStd", {"Mode=2"}, kPlain}, "Mode: 2 is not one of its values"},
        {{"CNumDStd", {"StatusBits=0x8000|STATUSBITS_VALIDRANGE"}, kPlain},
         "StatusBits: 0x8000 sets bits without a name (0x00008000; its bits: STATUSBITS_VALIDRANGE"},
        {{"CNoSuchClass", {"X=1"}, kPlain}, "unknown class CNoSuchClass"},
        {{"0x00AB0000", {"X=1"}, kPlain}, "no definition serves class 0x00AB0000 (family 171, genus 0, species 0)"},
        // --force takes neither values outside the type nor a member given twice.
        {{"CNIBPDStd", {"Systolic=40000"}, kForce}, "Systolic: 40000 is outside the range of its type"},
        {{"CNIBPDStd", {"Systolic=1", "Systolic=2"}, kForce},
         "Systolic: given twice ('Systolic=1', then 'Systolic=2')"},
        {{"CSESDZentoRec", {"NIBPData.Systolic=1", "TempData.Temperature=1", "NIBPData.Systolic=1"}, kForce},
         "NIBPData.Systolic: given twice"},
        {{"CDataTransferCDesc", {"WindowSize=4"}, {"", 200, false}},
         "WindowSize: CDataTransferCDesc has no such member at version 200"},
        {{"CDataTransferCDesc", {"WindowSize=4"}, {"", 202, false}}, "version 202 is newer than its definition (201)"},
        {{"0x00750000", {"Value=1"}, {"24", 0xFFFF, false}}, "does not serve species 24"},
    };
    for (const auto& r : refusals) {
        SCOPED_TRACE(r.request.assignments.back());
        const std::string message = FailureOf([&] { Encode(r.request); });
        EXPECT_NE(message.find(r.reason), std::string::npos) << message;
    }
}

// The JSON way in checks the same: numbers without names unless forced.
TEST(MemberValues, JsonRefusesNumbersWithoutNamesUnlessForced) {
    const Bytes bytes = tool_test::Encode("CNIBPDStd", {"Systolic=1"});
    std::string json = qova::DecodeObject(TestCatalog(), bytes, qova::ObjectOutput::kJson, nullptr);
    const std::string from = "\"value\": 0,\n      \"enumerator\": \"MODE_NONE\"";
    ASSERT_NE(json.find(from), std::string::npos) << json;
    json.replace(json.find(from), from.size(), "\"value\": 99");
    const Bytes text(json.begin(), json.end());
    EXPECT_NE(FailureOf([&] { qova::EncodeJson(TestCatalog(), text); })
                  .find("at /members/Mode/value: 99 is not one of its values (MODE_NONE, MODE_UNKNOWN, MODE_ADULT, "
                        "MODE_NEONATAL, MODE_PEDIATRIC) (--force takes it as it is)"),
              std::string::npos);
    EXPECT_EQ(Decoded(qova::EncodeJson(TestCatalog(), text, true))["members"]["Mode"]["value"], 99);
}

TEST(MemberValues, TableShowsNamesValuesAndValueNames) {
    const Bytes bytes = tool_test::Encode(
        "CSESDZentoRec", {"NIBPData.Systolic=131", "NIBPData.Mode=MODE_ADULT", "Patient.Identifier=P-1"}, true);
    const std::string table = qova::DecodeObject(TestCatalog(), bytes, qova::ObjectOutput::kTable, nullptr);
    EXPECT_EQ(table.substr(0, table.find('\n')), "CSESDZentoRec  0x00170001  23/0/1 SpZENTORECORD  version 100  valid");
    for (const char* line : {"\n  NIBPData    OBJECT of CNIBPDStd\n    CNIBPDStd  0x00050000  5/0/0 SpSTANDARD",
                             "\n      Systolic   int16   131\n", "\n      Mode       uint8   10  MODE_ADULT\n",
                             "\n      Identifier  ansichar[21]  \"P-1\"\n"}) {
        EXPECT_NE(table.find(line), std::string::npos) << table;
    }
}

}  // namespace
