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

struct ValueCase {
    const char* className;
    const char* assignment;
    const char* member;  // path of the member entry in the decoded document
    const char* entry;   // the member's JSON entry
};

TEST(MemberValues, EachKindRoundTripsThroughEncodeAndDecode) {
    const ValueCase cases[] = {
        {"CNIBPDStd", "Systolic=-32768", "Systolic", R"({"type":"int16","value":-32768})"},
        {"CNIBPDStd", "HR=0xFFFF", "HR", R"({"type":"uint16","value":65535})"},
        {"CNIBPDStd", "Mode=MODE_NEONATAL", "Mode", R"({"type":"uint8","value":11,"enumerator":"MODE_NEONATAL"})"},
        {"CNIBPDStd", "Source=12", "Source", R"({"type":"uint16","value":12,"enumerator":"SOURCE_NEONAT"})"},
        {"CNIBPDStd", "Status=4", "Status", R"({"type":"uint16","value":4,"enumerator":"STATUS_DATA_PROCESSING"})"},
        {"CNIBPDStd", "STime=2024/03/05 06:07:08 09", "STime", R"({"type":"TIME","value":"2024/03/05 06:07:08 09"})"},
        {"CTempDStd", "Temperature=36.6", "Temperature", R"({"type":"float32","value":36.6})"},
        {"CNumDStd", "StatusBits=STATUSBITS_OVERRANGE|STATUSBITS_NOALARM", "StatusBits",
         R"({"type":"uint16 BITMASK","value":18,"bits":["STATUSBITS_OVERRANGE","STATUSBITS_NOALARM"]})"},
        {"CNumDStd", "StatusBits=0x2000|STATUSBITS_VALIDRANGE", "StatusBits",
         R"({"type":"uint16 BITMASK","value":8193,"bits":["STATUSBITS_VALIDRANGE","STATUSBITS_DUBIOUS"]})"},
        {"CNumDStd", "Value=-7", "Value", R"({"type":"int16","value":-7})"},
        {"CDeviceDStd", "ModelName=Monitor 7", "ModelName", R"({"type":"ansichar[32]","value":"Monitor 7"})"},
        {"CDeviceDStd", "SerialNumber=123456789012345", "SerialNumber",
         R"({"type":"ansichar[16]","value":"123456789012345"})"},
        {"CDeviceDStd", "DeviceGUID=1,2,3", "DeviceGUID",
         R"({"type":"uint8[16]","value":[1,2,3,0,0,0,0,0,0,0,0,0,0,0,0,0]})"},
        {"CNetworkCEth", "ServerName=Z\xC3\xBCrich \xE2\x82\xAC", "ServerName",
         "{\"type\":\"widechar UNBOUNDED\",\"value\":\"Z\xC3\xBCrich \xE2\x82\xAC\"}"},
        {"CNetworkCEth", "FixedIPAddress=192,168,0,1", "FixedIPAddress",
         R"({"type":"uint8[4]","value":[192,168,0,1]})"},
        {"CNetworkCLocID", "LocationID=", "LocationID", R"({"type":"ansichar UNBOUNDED","value":""})"},
        {"CErrEStd", "Data=1,2,255", "Data", R"({"type":"uint8 UNBOUNDED","value":[1,2,255]})"},
        {"CErrEStd", "Data=", "Data", R"({"type":"uint8 UNBOUNDED","value":[]})"},
        {"CSESDVitalsRRecord", "CustomDataBits=CUSTOMDATABITS_DEPRECATE_STANDARD_MODIFIER", "CustomDataBits",
         R"({"type":"uint32 BITMASK","value":2,"bits":["CUSTOMDATABITS_DEPRECATE_STANDARD_MODIFIER"]})"},
        {"CDeviceCStd", "DeviceID=ward 3", "DeviceID", R"({"type":"widechar[21]","value":"ward 3"})"},
    };
    for (const ValueCase& c : cases) {
        SCOPED_TRACE(c.assignment);
        const Json decoded = Decoded(tool_test::Encode(c.className, {c.assignment}));
        EXPECT_EQ(decoded["members"][c.member], Json::parse(c.entry));
    }
}

TEST(MemberValues, RefusedValuesSayWhy) {
    struct Refusal {
        const char* className;
        const char* assignment;
        const char* reason;
    } refusals[] = {
        {"CNIBPDStd", "Systolic=40000", "Systolic: 40000 is outside the range of its type (-32768 to 32767)"},
        {"CNIBPDStd", "HR=-1", "HR: -1 is outside the range of its type (0 to 65535)"},
        {"CNIBPDStd", "Systolic=12x", "Systolic: '12x' is not a number"},
        {"CNIBPDStd", "Mode=MODE_TODDLER", "Mode: 'MODE_TODDLER' is neither a number nor one of its values (MODE_NONE"},
        {"CNIBPDStd", "STime=2024/03/05", "time '2024/03/05': expected YYYY/MM/DD hh:mm:ss ff"},
        {"CNIBPDStd", "Pulse=60", "CNIBPDStd has no member Pulse (members: STime, Status, Systolic"},
        {"CNIBPDStd", "=60", "expected Member=value"},
        {"CNumDStd", "StatusBits=STATUSBITS_SIDEWAYS", "neither a number nor one of its bits (STATUSBITS_VALIDRANGE"},
        {"CDeviceDStd", "SerialNumber=1234567890123456", "16 characters do not fit its 15 characters"},
        {"CDeviceDStd", "DeviceGUID=1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17", "17 elements do not fit its 16"},
        {"CDeviceDStd", "DeviceGUID=1,256", "DeviceGUID element: 256 is outside the range of its type (0 to 255)"},
        {"CNetworkCEth", "ServerName=\xC3", "ServerName: '\xC3' is not UTF-8 text"},
        {"CSESDZentoRec", "NIBPData=1", "NIBPData: holds an object; set its members as NIBPData.Member=value"},
        {"CSESDZentoRec", "STime.Year=1", "STime: does not hold a single object"},
        {"CFileSysDExtStd", "Container=1", "Container: holds a vector of objects"},
        {"CNIBPDStd", "STime=2024-13-45T25:61:00",
         "STime: '2024-13-45T25:61:00' is not a date and time: month 13 is not 1 to 12 (--force"},
        {"CNIBPDStd", "STime=2023/02/29 10:00:00", "day 29 is not 1 to 28 (month 2 of 2023)"},
        {"CNIBPDStd", "STime=2024/02/29 24:00:00", "hour 24 is not 0 to 23"},
        {"CNIBPDStd", "STime=2024/02/29 23:60:00", "minute 60 is not 0 to 59"},
        {"CNIBPDStd", "STime=2024/02/29 23:59:60", "second 60 is not 0 to 59"},
        {"CNIBPDStd", "STime=2024/02/29 23:59:59 100", "fraction 100 is not 0 to 99"},
        {"CTempDStd", "Temperature=1e50", "Temperature: 1e50 is outside the range of a float32"},
        {"CTempDStd", "Temperature=3.5e38", "Temperature: 3.5e38 is outside the range of a float32"},
        {"CTempDStd", "Temperature=inf", "Temperature: 'inf' is not a finite number"},
        {"CTempDStd", "Temperature=nan", "Temperature: 'nan' is not a finite number"},
        {"CNIBPDStd", "Mode=99", "Mode: 99 is not one of its values (MODE_NONE, MODE_UNKNOWN, MODE_ADULT"},
        {"CNIBPDStd", "Mode=2", "Mode: 2 is not one of its values"},
        {"CNumDStd", "StatusBits=0x8000|STATUSBITS_VALIDRANGE",
         "StatusBits: 0x8000 sets bits without a name (0x00008000; its bits: STATUSBITS_VALIDRANGE"},
        {"CNoSuchClass", "X=1", "unknown class CNoSuchClass"},
        {"0x00AB0000", "X=1", "no definition serves class 0x00AB0000 (family 171, genus 0, species 0)"},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.assignment);
        const std::string message = FailureOf([&] { tool_test::Encode(r.className, {r.assignment}); });
        EXPECT_NE(message.find(r.reason), std::string::npos) << message;
    }
}

// --force takes numbers without names and times off the calendar; the
// range of the type and a member given twice are refused all the same.
TEST(MemberValues, ForceTakesWhatHasNoNameAndNothingElse) {
    qova::EncodeRequest request;
    request.className = "CNumDStd";
    request.force = true;
    request.assignments = {"StatusBits=0x8001"};
    EXPECT_EQ(Decoded(qova::EncodeObject(TestCatalog(), request))["members"]["StatusBits"]["bits"],
              Json::parse(R"(["STATUSBITS_VALIDRANGE","0x8000"])"));
    request.className = "CNIBPDStd";
    request.assignments = {"Mode=99", "STime=2024/13/45 25:61:00 00"};
    const Json decoded = Decoded(qova::EncodeObject(TestCatalog(), request));
    EXPECT_EQ(decoded["members"]["Mode"], Json::parse(R"({"type":"uint8","value":99})"));
    EXPECT_EQ(decoded["members"]["STime"]["value"]["month"], 13);
    const struct {
        std::vector<std::string> assignments;
        const char* reason;
    } refusals[] = {
        {{"Systolic=40000"}, "outside the range of its type"},
        {{"Systolic=1", "Systolic=2"}, "Systolic: given twice ('Systolic=1', then 'Systolic=2')"},
    };
    for (const auto& r : refusals) {
        request.assignments = r.assignments;
        EXPECT_NE(FailureOf([&] { qova::EncodeObject(TestCatalog(), request); }).find(r.reason), std::string::npos);
    }
    request.className = "CSESDZentoRec";
    request.assignments = {"NIBPData.Systolic=1", "TempData.Temperature=1", "NIBPData.Systolic=1"};
    EXPECT_NE(FailureOf([&] { qova::EncodeObject(TestCatalog(), request); }).find("NIBPData.Systolic: given twice"),
              std::string::npos);
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

TEST(MemberValues, MembersOfLaterVersionsNeedThatVersion) {
    qova::EncodeRequest request;
    request.className = "CDataTransferCDesc";
    request.version = 200;
    request.assignments = {"WindowSize=4"};
    EXPECT_NE(FailureOf([&] { qova::EncodeObject(TestCatalog(), request); })
                  .find("WindowSize: CDataTransferCDesc has no such member at version 200"),
              std::string::npos);
    request.version = 201;
    const Json decoded = Decoded(qova::EncodeObject(TestCatalog(), request));
    EXPECT_EQ(decoded["version"], 201);
    EXPECT_EQ(decoded["members"]["WindowSize"]["value"], 4);
    request.version = 202;
    EXPECT_NE(FailureOf([&] { qova::EncodeObject(TestCatalog(), request); }).find("newer than its definition (201)"),
              std::string::npos);
}

TEST(MemberValues, SpeciesAndClassForms) {
    qova::EncodeRequest request;
    request.className = "117/0/0";
    request.species = "SpNIBPSYS";
    request.assignments = {"Value=120"};
    Json decoded = Decoded(qova::EncodeObject(TestCatalog(), request));
    EXPECT_EQ(decoded["class"], "CNumDStd");
    EXPECT_EQ(decoded["classId"], "0x00750001");
    EXPECT_EQ(decoded["speciesName"], "SpNIBPSYS");
    request.className = "0x00750000";
    request.species = "24";
    EXPECT_NE(FailureOf([&] { qova::EncodeObject(TestCatalog(), request); }).find("does not serve species 24"),
              std::string::npos);
}

// The worked examples of the encoding, written from values typed as text.
TEST(MemberValues, WorkedExampleBytes) {
    EXPECT_EQ(tool_test::Encode("CClinicianCStd", {"BarcodeEnabled=1", "ExternalPort=EXTERNALPORT_PORT_1"}, true),
              tool_test::Hex("00 65 08 00 00 0A 00 64 40 00 03 01 00 0A 64 C8"));
    EXPECT_EQ(tool_test::Encode("CDataTransferDExtStd", {"SeqNumber=1", "Identifier=2", "Data=0xAA,0xBB"}),
              tool_test::Hex("00 7A 12 00 00 00 00 13 00 C8 00 00 08 00 00 00 01 00 00 00 02 00 02 AA BB 7B 3E"));
}

TEST(MemberValues, TableShowsNamesValuesAndValueNames) {
    const Bytes bytes = tool_test::Encode(
        "CSESDZentoRec", {"NIBPData.Systolic=131", "NIBPData.Mode=MODE_ADULT", "Patient.Identifier=P-1"}, true);
    const std::string table = qova::DecodeObject(TestCatalog(), bytes, qova::ObjectOutput::kTable, nullptr);
    EXPECT_EQ(table.substr(0, table.find('\n')), "CSESDZentoRec  0x00170001  23/0/1 SpZENTORECORD  version 100  valid");
    EXPECT_NE(table.find("\n  NIBPData    OBJECT of CNIBPDStd\n    CNIBPDStd  0x00050000  5/0/0 SpSTANDARD"),
              std::string::npos)
        << table;
    EXPECT_NE(table.find("\n      Systolic   int16   131\n"), std::string::npos) << table;
    EXPECT_NE(table.find("\n      Mode       uint8   10  MODE_ADULT\n"), std::string::npos) << table;
    EXPECT_NE(table.find("\n      Identifier  ansichar[21]  \"P-1\"\n"), std::string::npos) << table;
}

}  // namespace
