#include "tools/builtin_gen/description.h"

#include <cstdint>
#include <stdexcept>
#include <utility>

namespace xqova {
namespace builtin_gen {

namespace {

using build::ClassDescription;
using build::Enumerator;
using build::Member;
using build::NamedEnumeration;
using build::Species;
using EnumList = std::vector<Enumerator>;

// Member type bytes: width code and kind.
constexpr std::uint8_t kInt16 = 0x01;
constexpr std::uint8_t kTime = 0x02;
constexpr std::uint8_t kInt32 = 0x03;
constexpr std::uint8_t kObject = 0x06;
constexpr std::uint8_t kAnsiChar = 0x08;
constexpr std::uint8_t kWideChar = 0x09;
constexpr std::uint8_t kUint8 = 0x10;
constexpr std::uint8_t kUint16 = 0x11;
constexpr std::uint8_t kUint32 = 0x13;
constexpr std::uint8_t kFloat32 = 0x23;
// Modifiers of the type byte.
constexpr std::uint8_t kBitmask = 0x28;
constexpr std::uint8_t kUnbounded = 0x40;
constexpr std::uint8_t kFixedArray = 0x80;

// Genus codes: the letter after the family word in a class name.
constexpr std::uint8_t kData = 0;          // D
constexpr std::uint8_t kEvent = 3;         // E
constexpr std::uint8_t kConfig = 8;        // C
constexpr std::uint8_t kParameter = 16;    // P
constexpr std::uint8_t kExtension = 18;    // DExt

// A member as the lists below write it. A first version of 0 stands for the
// class's usual first version (the `membersFrom` of Class()).
struct Field {
    Member member;
    std::string heldClass;  // OBJECT members: the held class by name; empty for ANY_CLASS

    Field& From(std::uint16_t version) {
        member.minVersion = version;
        return *this;
    }
    Field& Values(EnumList values) {
        member.enumerators = std::move(values);
        return *this;
    }
};

Field Make(const char* name, std::uint8_t type) {
    Field f;
    f.member.name = name;
    f.member.type = type;
    f.member.minVersion = 0;
    return f;
}

Field Scalar(const char* name, std::uint8_t type) { return Make(name, type); }

Field Array(const char* name, std::uint8_t type, std::uint16_t count) {
    Field f = Make(name, static_cast<std::uint8_t>(type | kFixedArray));
    f.member.fixedCount = count;
    return f;
}

Field Unbounded(const char* name, std::uint8_t type) {
    return Make(name, static_cast<std::uint8_t>(type | kUnbounded));
}

Field Bitmask(const char* name, std::uint8_t type) { return Make(name, static_cast<std::uint8_t>(type | kBitmask)); }

// A single nested object of a class of the same chain.
Field Holds(const char* name, const char* className) {
    Field f = Make(name, kObject);
    f.heldClass = className;
    return f;
}

// A vector of objects of any class.
Field AnyObjects(const char* name) { return Unbounded(name, kObject); }

// A class as the lists below write it, before its member classes are
// resolved and its xmlBaseSize is computed.
struct Entry {
    ClassDescription description;
    std::vector<std::string> heldClasses;  // per member
    // How many characters the stored xmlBaseSize falls short of the
    // empty-member document; the numeric classes of the wider value types
    // have always carried a shorter count and devices rely on it.
    int xmlBaseShortfall = 0;

    Entry& StoresXmlBaseShortBy(int characters) {
        xmlBaseShortfall = characters;
        return *this;
    }
    Entry& TablesInOrder(std::vector<std::uint16_t> positions) {
        description.enumerationTableOrder = std::move(positions);
        return *this;
    }
};

Entry Class(const char* name, std::uint16_t family, std::uint8_t genus, std::vector<Species> species,
            std::uint16_t version, std::uint16_t membersFrom, std::vector<Field> fields,
            std::vector<NamedEnumeration> enumerations = {}) {
    Entry e;
    e.description.name = name;
    e.description.family = family;
    e.description.genus = genus;
    e.description.species = std::move(species);
    e.description.version = version;
    for (Field& f : fields) {
        if (f.member.minVersion == 0) f.member.minVersion = membersFrom;
        e.description.members.push_back(std::move(f.member));
        e.heldClasses.push_back(std::move(f.heldClass));
    }
    e.description.enumerations = std::move(enumerations);
    return e;
}

// Values 0, 1, 2, ... named in order.
EnumList Sequence(std::vector<const char*> names) {
    EnumList list;
    for (std::size_t i = 0; i < names.size(); ++i) list.push_back({static_cast<std::uint16_t>(i), names[i]});
    return list;
}

EnumList Join(EnumList first, const EnumList& more) {
    first.insert(first.end(), more.begin(), more.end());
    return first;
}

// 0 <WORD>_NONE, 1 <WORD>_UNKNOWN, then the values given.
EnumList NoneUnknown(const std::string& word, const EnumList& more = {}) {
    return Join({{0, word + "_NONE"}, {1, word + "_UNKNOWN"}}, more);
}

// The value sets that several classes share. Each use stores its own copy of
// the names.
EnumList StatusSet() {
    return Sequence({"STATUS_DATA_NOT_AVAIL", "STATUS_DATA_COMPLETE", "STATUS_DATA_FAILURE", "STATUS_DATA_EXCEPTION",
                     "STATUS_DATA_PROCESSING"});
}

EnumList MethodSet(const EnumList& more = {}) {
    return Join(Sequence({"METHOD_NONE", "METHOD_UNKNOWN", "METHOD_MANUAL", "METHOD_DEVICE", "METHOD_REMOTE"}), more);
}

EnumList PortSet() {
    return NoneUnknown("EXTERNALPORT", {{10, "EXTERNALPORT_PORT_1"},
                                        {11, "EXTERNALPORT_PORT_2"},
                                        {12, "EXTERNALPORT_PORT_3"},
                                        {13, "EXTERNALPORT_PORT_4"}});
}

EnumList StorageSet() {
    return Sequence({"STORAGEMEDIUM_STANDARD", "STORAGEMEDIUM_RAM", "STORAGEMEDIUM_FLASH",
                     "STORAGEMEDIUM_SECUREDIGITALCARD", "STORAGEMEDIUM_COMPACTFLASHCARD"});
}

// Bit numbers of the StatusBits mask of the numeric classes.
EnumList StatusBitsSet() {
    return Sequence({"STATUSBITS_VALIDRANGE", "STATUSBITS_OVERRANGE", "STATUSBITS_UNDERRANGE",
                     "STATUSBITS_UNDETERMINEDRANGE", "STATUSBITS_NOALARM", "STATUSBITS_UPPERLIMITALARM",
                     "STATUSBITS_LOWERLIMITALARM", "STATUSBITS_OTHERALARM", "STATUSBITS_NUMERICACTIVE",
                     "STATUSBITS_CONTINUOUS", "STATUSBITS_SPOTOLD", "STATUSBITS_SPOTRECENT", "STATUSBITS_SPOTNEW",
                     "STATUSBITS_DUBIOUS"});
}

EnumList AlarmStateSet(const std::string& prefix) {
    return {{0, prefix + "_NONE"}, {1, prefix + "_UNKNOWN"}, {2, prefix + "_ENABLED"}, {3, prefix + "_DISABLED"}};
}

std::vector<Species> Standard() { return {{0, "SpSTANDARD"}}; }

// The physiological numerics, shared by the value and the limit classes.
std::vector<Species> NumericSpecies() {
    return {{0, "SpSTANDARD"},  {1, "SpNIBPSYS"},     {2, "SpNIBPDIA"},        {3, "SpNIBPMAP"},
            {4, "SpNIBPPR"},    {5, "SpIBPSYS"},      {6, "SpIBPDIA"},         {7, "SpIBPMAP"},
            {8, "SpIBPPR"},     {9, "SpSPO2PR"},      {10, "SpSPO2SAT"},       {11, "SpSPO2PI"},
            {12, "SpCO2RR"},    {13, "SpCO2ET"},      {14, "SpCO2FI"},         {15, "SpRR"},
            {16, "SpPR"},       {17, "SpIPI"},        {18, "SpTHB"},           {19, "SpTHB_mmol_L"},
            {20, "SpPAIN"},     {21, "SpPATIENTMOTION"}, {22, "SpATTEMPTEDTURNCOUNT"}, {23, "SpTURNTIMER"}};
}

std::vector<Species> ModuleSpecies() {
    return {{0, "SpSTANDARD"},          {1, "SpHOST"},
            {2, "SpHARDWARE"},          {3, "SpBOOTLOADER"},
            {4, "SpBOOTRECOVERY"},      {16, "SpNIBPMODULE"},
            {17, "SpNIBPSAFETYALG"},    {18, "SpNIBPSTEPALG"},
            {19, "SpNIBPFASTALG"},      {20, "SpNIBPNEONATSTEPALG"},
            {21, "SpNIBPPOEMALG"},      {22, "SpNIBPSTEPAOALG"},
            {32, "SpTEMPMODULE"},       {33, "SpPALTRONALG"},
            {40, "SpSPO2MODULE"},       {48, "SpECGMODULE"},
            {49, "SpMEANS"},            {56, "SpSPIROMETRY"},
            {192, "SpFRONTEND"},        {193, "SpPPP"},
            {194, "SpSECUREDIGITALCARD"}};
}

// The members that open every measurement record: time stamp and status.
Field STime() { return Scalar("STime", kTime); }
Field Status() { return Scalar("Status", kUint16).Values(StatusSet()); }
Field NoExtStatus() { return Scalar("ExtStatus", kUint16).Values({{0, "EXTSTATUS_NONE"}}); }
Field NoMode() { return Scalar("Mode", kUint8).Values(NoneUnknown("MODE")); }

// Resolves the held classes by name within the chain and computes each
// class's stored xmlBaseSize.
Chain Finish(const char* space, std::vector<Entry> entries) {
    Chain chain;
    chain.space = space;
    for (const Entry& e : entries) chain.classes.push_back(e.description);
    for (std::size_t c = 0; c < entries.size(); ++c) {
        for (std::size_t p = 0; p < entries[c].heldClasses.size(); ++p) {
            const std::string& held = entries[c].heldClasses[p];
            if (held.empty()) continue;
            bool found = false;
            for (const ClassDescription& other : chain.classes) {
                if (other.name == held) {
                    chain.classes[c].members[p].memberClass = other.ClassId();
                    found = true;
                }
            }
            if (!found) throw std::runtime_error("class " + held + " held by " + entries[c].description.name +
                                                 " is not in the chain " + space);
        }
    }
    const build::ClassNameResolver names = NamesWithin(chain.classes);
    for (std::size_t c = 0; c < entries.size(); ++c) {
        chain.classes[c].xmlBaseSize =
            static_cast<std::int32_t>(build::EmptyDocumentLength(chain.classes[c], names, 5)) -
            entries[c].xmlBaseShortfall;
    }
    return chain;
}

}  // namespace

build::ClassNameResolver NamesWithin(const std::vector<ClassDescription>& classes) {
    return [classes](std::uint32_t classId) -> std::string {
        for (const ClassDescription& d : classes) {
            if (d.family != (classId >> 16) || d.genus != ((classId >> 8) & 0xFF)) continue;
            for (const Species& s : d.species) {
                if (s.code == (classId & 0xFF)) return d.name;
            }
        }
        throw std::runtime_error("no class of the chain serves class " + std::to_string(classId));
    };
}

Chain SdkChain() {
    std::vector<Entry> classes = {
        Class("CFlashDChunk", 94, kData, {{1, "SpFLASHCHK"}}, 200, 200,
              {Scalar("OffSet", kUint32), Unbounded("Data", kUint8)}),

        Class("CFlashPMsgArg", 94, kParameter,
              {{1, "SpMSG_ARGUMENTS"}, {2, "SpMODE"}, {3, "SpDESCRIPTION"}, {4, "SpPREP_CONFIGURATION"},
               {5, "SpPROG_CONFIGURATION"}},
              200, 100, {Scalar("IOParameterA", kUint32), Scalar("IOParameterB", kUint32)},
              {{"ModeID", Sequence({"MODEID_NONE", "MODEID_BOOTLOADER", "MODEID_APPLICATION"})},
               {"ImageID", Sequence({"IMAGEID_NONE", "IMAGEID_BOOTLOADER", "IMAGEID_APPLICATION"})}}),

        Class("CDataTransferDExtStd", 122, kExtension, Standard(), 200, 200,
              {Scalar("SeqNumber", kUint32), Scalar("Identifier", kUint32), Unbounded("Data", kUint8)}),

        Class("CDataTransferCDesc", 122, kConfig, {{1, "SpDESCRIPTION"}}, 201, 200,
              {Scalar("InitSeqNumber", kUint32), Scalar("TotalDataSize", kUint32), Scalar("DataPacketSize", kUint16),
               Scalar("Role", kUint8).Values(Sequence({"ROLE_NONE", "ROLE_DATA_RECIPIENT", "ROLE_DATA_SOURCE"})),
               Scalar("Identifier", kUint32), AnyObjects("Descriptor"), Scalar("WindowSize", kUint16).From(201)}),

        Class("CFileSysDFil", 112, kData, {{0, "SpFILE"}}, 200, 100,
              {Scalar("DateTime", kTime), Scalar("StorageMedium", kUint16).Values(StorageSet()),
               Unbounded("FileName", kWideChar), Unbounded("FileContents", kUint8)}),

        Class("CFileSysDFileDesc", 112, kData, {{1, "SpFILEDESCRIPTION"}, {2, "SpFOLDERDESCRIPTION"}}, 202, 100,
              {Scalar("DateTime", kTime), Scalar("Size", kUint32),
               Scalar("StorageMedium", kUint16).Values(StorageSet()), Unbounded("FileName", kWideChar),
               Bitmask("Attributes", kUint32).From(201).Values(
                   Sequence({"ATTRIBUTES_READONLY", "ATTRIBUTES_VOLUMEROOT"})),
               Scalar("FreeSpace", kUint32).From(202)}),

        Class("CFileSysDExtStd", 112, kExtension, Standard(), 200, 200,
              {Unbounded("PathName", kWideChar), AnyObjects("Container")}),

        Class("CFileSysPSelector", 112, kParameter, {{1, "SpSELECTOR"}}, 200, 200,
              {Unbounded("PathName", kWideChar), Scalar("StartIndex", kUint16), Scalar("EndIndex", kUint16)}),

        Class("CNumDStd", 117, kData, NumericSpecies(), 207, 200,
              {Scalar("Value", kInt16), Bitmask("StatusBits", kUint16).Values(StatusBitsSet())}),

        Class("CNumDLong", 117, kData, {{127, "SpLONG"}, {128, "SpWEIGHT"}}, 200, 200,
              {Scalar("Value", kInt32), Bitmask("StatusBits", kUint16).Values(StatusBitsSet())})
            .StoresXmlBaseShortBy(2),

        Class("CNumDFloat", 117, kData, {{31, "SpFLOAT"}, {32, "SpTEMP"}}, 202, 200,
              {Scalar("Value", kFloat32), Bitmask("StatusBits", kUint16).Values(StatusBitsSet())})
            .StoresXmlBaseShortBy(1),

        Class("CNumCStd", 117, kConfig, NumericSpecies(), 208, 200,
              {Scalar("OverRange", kInt16), Scalar("UnderRange", kInt16), Scalar("UpperLimitAlarm", kInt16),
               Scalar("LowerLimitAlarm", kInt16), Bitmask("StatusBits", kUint16).Values(StatusBitsSet()),
               Scalar("UpperLimitAlarmState", kUint8).From(202).Values(AlarmStateSet("UPPERLIMITALARMSTATE")),
               Scalar("LowerLimitAlarmState", kUint8).From(202).Values(AlarmStateSet("LOWERLIMITALARMSTATE"))}),

        Class("CNumCLong", 117, kConfig, {{127, "SpLONG"}, {128, "SpWEIGHT"}}, 200, 200,
              {Scalar("OverRange", kInt32), Scalar("UnderRange", kInt32), Scalar("UpperLimitAlarm", kInt32),
               Scalar("LowerLimitAlarm", kInt32), Bitmask("StatusBits", kUint16).Values(StatusBitsSet()),
               Scalar("UpperLimitAlarmState", kUint8).Values(AlarmStateSet("UPPERLIMITALARMSTATE")),
               Scalar("LowerLimitAlarmState", kUint8).Values(AlarmStateSet("LOWERLIMITALARMSTATE"))})
            .StoresXmlBaseShortBy(2),

        Class("CNumCFloat", 117, kConfig, {{31, "SpFLOAT"}, {32, "SpTEMP"}}, 203, 200,
              {Scalar("OverRange", kFloat32), Scalar("UnderRange", kFloat32), Scalar("UpperLimitAlarm", kFloat32),
               Scalar("LowerLimitAlarm", kFloat32), Bitmask("StatusBits", kUint16).Values(StatusBitsSet()),
               Scalar("UpperLimitAlarmState", kUint8).From(201).Values(AlarmStateSet("UPPERLIMITALARMSTATE")),
               Scalar("LowerLimitAlarmState", kUint8).From(201).Values(AlarmStateSet("LOWERLIMITALARMSTATE"))})
            .StoresXmlBaseShortBy(1),

        Class("CNumPSelector", 117, kParameter, Standard(), 201, 201,
              {Scalar("SpeciesSelector", kUint8), Scalar("IOParameterA", kUint32)}),

        Class("CNumDExtStd", 117, kExtension, Standard(), 200, 200, {AnyObjects("Container")}),

        Class("CSESDVitalsRRecord", 23, kData, {{3, "SpVITALSRECORD"}, {5, "SpTRENDRECORD"}}, 205, 200,
              {Scalar("TestDate", kTime), Array("TestGuid", kUint8, 16), Unbounded("OrderID", kWideChar),
               AnyObjects("Container"),
               Scalar("ConfirmedState", kUint8)
                   .From(201)
                   .Values(Sequence({"CONFIRMEDSTATE_NONE", "CONFIRMEDSTATE_UNCONFIRMED", "CONFIRMEDSTATE_CONFIRMED"})),
               Scalar("TrendType", kUint8)
                   .From(202)
                   .Values(Sequence({"TRENDTYPE_NONE", "TRENDTYPE_UNKNOWN", "TRENDTYPE_TIMED_INTERVAL",
                                     "TRENDTYPE_PHYSIOLOGIC_ALARM", "TRENDTYPE_EPISODIC_READING"})),
               Bitmask("CustomDataBits", kUint32)
                   .From(204)
                   .Values(Sequence(
                       {"CUSTOMDATABITS_CUSTOM_DATA_ENABLED", "CUSTOMDATABITS_DEPRECATE_STANDARD_MODIFIER"})),
               Scalar("MoreFragments", kUint8).From(205), Scalar("Identifier", kUint8).From(205)}),
    };
    return Finish("RER_SDK", std::move(classes));
}

Chain DeviceChain() {
    std::vector<Entry> classes = {
        Class("CUICStd", 11, kConfig, Standard(), 103, 100,
              {Scalar("EnableUIEvents", kUint8), Scalar("LoginRequired", kUint8), Scalar("AuditInfoEnabled", kUint8),
               Scalar("EnableLockout", kUint8).From(103), Scalar("LockoutInterval", kUint16).From(103)}),

        Class("CDeviceDStd", 24, kData, Standard(), 101, 100,
              {Scalar("DateTime", kTime), Scalar("RunTime", kUint32), Array("ModelName", kAnsiChar, 32),
               Array("SerialNumber", kAnsiChar, 16), Array("DeviceGUID", kUint8, 16),
               Array("ModelNumber", kAnsiChar, 32).From(101)}),

        Class("CDeviceCStd", 24, kConfig, Standard(), 100, 100,
              {Scalar("STime", kTime), Scalar("StandbyInterval", kUint16), Scalar("AutoOffInterval", kUint16),
               Scalar("DisableStandbyExtPower", kUint8), Scalar("DisableAutoOffExtPower", kUint8),
               Scalar("AudioBeeperEnabled", kUint8),
               Scalar("Language", kUint16)
                   .Values(Sequence({"LANGUAGE_ENGLISH",    "LANGUAGE_GERMAN",     "LANGUAGE_FRENCH",
                                     "LANGUAGE_SPANISH",    "LANGUAGE_ITALIAN",    "LANGUAGE_PORTUGUESE",
                                     "LANGUAGE_DUTCH",      "LANGUAGE_SWEDISH",    "LANGUAGE_DANISH",
                                     "LANGUAGE_CHINESE",    "LANGUAGE_FINNISH",    "LANGUAGE_NORWEGIAN",
                                     "LANGUAGE_POLISH",     "LANGUAGE_KOREAN",     "LANGUAGE_GREEK",
                                     "LANGUAGE_CZECH",      "LANGUAGE_ESTONIAN",   "LANGUAGE_RUSSIAN",
                                     "LANGUAGE_HUNGARIAN",  "LANGUAGE_LATVIAN",    "LANGUAGE_SLOVENIAN",
                                     "LANGUAGE_INDONESIAN", "LANGUAGE_ARABIC"})),
               Scalar("DisplayDateFormat", kUint16)
                   .Values(Sequence({"DISPLAYDATEFORMAT_MM_DD_YYYY", "DISPLAYDATEFORMAT_DD_MM_YYYY",
                                     "DISPLAYDATEFORMAT_YYYY_MM_DD"})),
               Scalar("DisplayTimeFormat", kUint16)
                   .Values(Sequence({"DISPLAYTIMEFORMAT_HOUR_12", "DISPLAYTIMEFORMAT_HOUR_24"})),
               Scalar("SupplyVoltage", kUint16)
                   .Values(Sequence({"SUPPLYVOLTAGE_SUPPLY_110V", "SUPPLYVOLTAGE_SUPPLY_NON_110V"})),
               Array("DeviceID", kWideChar, 21), Scalar("CharSetPage", kUint16)}),

        Class("CDevPMsgArguments", 24, kParameter, {{0, "SpMSG_ARGUMENTS"}}, 100, 100,
              {Scalar("SpeciesSelector", kUint32), Scalar("IOParameterA", kUint32)}),

        Class("CModuleDStd", 105, kData, ModuleSpecies(), 100, 100,
              {Array("Version", kAnsiChar, 16), Array("Description", kAnsiChar, 32)}),

        Class("CModuleCStd", 105, kConfig, ModuleSpecies(), 100, 100,
              {Scalar("Enabled", kUint8), Array("Key", kAnsiChar, 11)}),

        Class("CModulePSelector", 105, kParameter, {{0, "SpMODULE"}}, 100, 100, {Scalar("SpeciesSelector", kUint32)}),

        Class("CNIBPDStd", 5, kData, Standard(), 105, 100,
              {STime(), Status(), Scalar("Systolic", kInt16), Scalar("Diastolic", kInt16), Scalar("MAP", kInt16),
               Scalar("HR", kUint16), NoExtStatus(),
               Scalar("Source", kUint16)
                   .Values(NoneUnknown("SOURCE", {{10, "SOURCE_STEP"},
                                                  {11, "SOURCE_FAST"},
                                                  {12, "SOURCE_NEONAT"},
                                                  {13, "SOURCE_POEM"},
                                                  {14, "SOURCE_AUX"}})),
               Scalar("Mode", kUint8)
                   .Values(NoneUnknown("MODE", {{10, "MODE_ADULT"}, {11, "MODE_NEONATAL"}, {12, "MODE_PEDIATRIC"}})),
               Scalar("Method", kUint8)
                   .Values(MethodSet({{10, "METHOD_FAST_BP"},
                                      {11, "METHOD_STEP_BP"},
                                      {12, "METHOD_NEONATAL_STEP_BP"},
                                      {13, "METHOD_LINEAR_DEFLATION_BP"}}))}),

        Class("CNIBPCStd", 5, kConfig, Standard(), 102, 100,
              {Scalar("DisplayUnits", kUint16).Values(Sequence({"DISPLAYUNITS_NIBP_MMHG", "DISPLAYUNITS_NIBP_KPA"})),
               Scalar("MAPDisplay", kUint8).Values(Sequence({"MAPDISPLAY_DISABLE", "MAPDISPLAY_ENABLE"}))}),

        Class("CTempDStd", 3, kData, Standard(), 100, 100,
              {STime(), Status(),
               Scalar("ExtStatus", kUint16)
                   .Values(Sequence({"EXTSTATUS_NONE", "EXTSTATUS_FINAL_POSITION", "EXTSTATUS_FINAL_OVER_TEMP",
                                     "EXTSTATUS_FINAL_OVER_TEMP_POSITION", "EXTSTATUS_FINAL_UNDER_TEMP",
                                     "EXTSTATUS_FINAL_UNDER_TEMP_POSITION", "EXTSTATUS_MONITOR_POSITION",
                                     "EXTSTATUS_MONITOR_OVER_TEMP", "EXTSTATUS_MONITOR_OVER_TEMP_POSITION",
                                     "EXTSTATUS_MONITOR_UNDER_TEMP", "EXTSTATUS_MONITOR_UNDER_TEMP_POSITION"})),
               Scalar("Source", kUint16)
                   .Values(NoneUnknown("SOURCE", {{10, "SOURCE_PALTRON_SW"},
                                                  {11, "SOURCE_PALTRON"},
                                                  {12, "SOURCE_PALTRON_PLUS"},
                                                  {13, "SOURCE_BRAUN_PRO4000"}})),
               Scalar("Mode", kUint8)
                   .Values(NoneUnknown("MODE", {{10, "MODE_ORAL"},
                                                {11, "MODE_RECTAL"},
                                                {12, "MODE_PED_AXIL"},
                                                {13, "MODE_CAL_KEY"},
                                                {14, "MODE_ADULT_AXIL"},
                                                {15, "MODE_TYMPANIC"}})),
               Scalar("Method", kUint8)
                   .Values(MethodSet({{10, "METHOD_PREDICT"}, {11, "METHOD_MONITOR"}, {12, "METHOD_IR"}})),
               Scalar("Temperature", kFloat32)}),

        Class("CTempCStd", 3, kConfig, Standard(), 100, 100,
              {Scalar("Enabled", kUint8),
               Scalar("InstalledModule", kUint16)
                   .Values(NoneUnknown("INSTALLEDMODULE", {{10, "INSTALLEDMODULE_PALTRON_SW"},
                                                           {11, "INSTALLEDMODULE_PALTRON"},
                                                           {12, "INSTALLEDMODULE_PALTRON_PLUS"},
                                                           {13, "INSTALLEDMODULE_BRAUN_PRO4000"}})),
               Scalar("DisplayUnits", kUint16).Values(Sequence({"DISPLAYUNITS_DEG_F", "DISPLAYUNITS_DEG_C"})),
               Scalar("Mode", kUint16)
                   .Values(NoneUnknown("MODE", {{10, "MODE_ORAL"},
                                                {11, "MODE_ADULT_AXIL"},
                                                {12, "MODE_PED_AXIL"},
                                                {13, "MODE_LAST"}}))}),

        Class("CSpO2DStd", 4, kData, Standard(), 100, 100,
              {STime(), Status(), Scalar("Sat", kUint16), Scalar("HR", kUint16),
               Scalar("ExtStatus", kUint16)
                   .Values(Sequence({"EXTSTATUS_NONE", "EXTSTATUS_SPO2_NOPROBE", "EXTSTATUS_SPO2_NOTAVAIL",
                                     "EXTSTATUS_SPO2_OUT_OF_TRACK", "EXTSTATUS_SPO2_BAD", "EXTSTATUS_SPO2_WAIT",
                                     "EXTSTATUS_SPO2_SENSOR_BAD", "EXTSTATUS_SPO2_FROZEN"})),
               Scalar("Source", kUint16)
                   .Values(NoneUnknown("SOURCE", {{10, "SOURCE_NONIN"},
                                                  {11, "SOURCE_NELLCOR_MP205"},
                                                  {12, "SOURCE_NELLCOR_MP506"},
                                                  {13, "SOURCE_MASIMO_MS11"},
                                                  {14, "SOURCE_NELLCOR_NELL3"}})),
               NoMode(), Scalar("Method", kUint8).Values(MethodSet())}),

        Class("CSpO2CStd", 4, kConfig, Standard(), 100, 100,
              {Scalar("Enabled", kUint8),
               Scalar("InstalledModule", kUint16)
                   .Values(NoneUnknown("INSTALLEDMODULE", {{10, "INSTALLEDMODULE_NONIN"},
                                                           {11, "INSTALLEDMODULE_NELLCOR_MP205"},
                                                           {12, "INSTALLEDMODULE_NELLCOR_MP506"},
                                                           {13, "INSTALLEDMODULE_MASIMO_MS11"},
                                                           {14, "INSTALLEDMODULE_NELLCOR_NELL3"}}))}),

        Class("CWeightDStd", 19, kData, Standard(), 105, 100,
              {STime(), Status(), Scalar("Weight", kUint32), Scalar("Stabilization", kUint8),
               NoExtStatus().From(101), NoMode().From(101), Scalar("Method", kUint8).From(101).Values(MethodSet()),
               Scalar("Source", kUint16)
                   .From(102)
                   .Values(NoneUnknown("SOURCE", {{10, "SOURCE_TANITA"}, {11, "SOURCE_PELOUZE"}}))}),

        Class("CWeightCStd", 19, kConfig, Standard(), 103, 100,
              {Scalar("Enabled", kUint8), Scalar("ManualWeight", kUint8),
               Scalar("WeightDisplayUnits", kUint16)
                   .Values(Sequence({"WEIGHTDISPLAYUNITS_UNITS_LBS", "WEIGHTDISPLAYUNITS_UNITS_KG"})),
               Scalar("WeightDefault", kUint32), Scalar("ExternalPort", kUint16).Values(PortSet())}),

        Class("CHeightDStd", 26, kData, Standard(), 104, 100,
              {STime(), Status(), Scalar("Height", kUint32), NoExtStatus().From(101), NoMode().From(101),
               Scalar("Method", kUint8).From(101).Values(MethodSet()),
               Scalar("Source", kUint16).From(102).Values(NoneUnknown("SOURCE"))}),

        Class("CHeightCStd", 26, kConfig, Standard(), 104, 100,
              {Scalar("Enabled", kUint8), Scalar("ManualHeight", kUint8),
               Scalar("HeightDisplayUnits", kUint16)
                   .Values(Sequence({"HEIGHTDISPLAYUNITS_UNITS_CENTIMETRES", "HEIGHTDISPLAYUNITS_UNITS_INCHES",
                                     "HEIGHTDISPLAYUNITS_UNITS_FEET_INCHES"})),
               Scalar("HeightDefault", kUint32), Scalar("ExternalPort", kUint16).Values(PortSet())}),

        Class("CBMIDStd", 17, kData, Standard(), 101, 100,
              {STime(), Status(), Scalar("Weight", kUint32), Scalar("Height", kUint32),
               Scalar("BodyMassIndex", kUint32), NoExtStatus(),
               Scalar("Source", kUint16).Values(NoneUnknown("SOURCE", {{10, "SOURCE_COMPUTED"}})), NoMode(),
               Scalar("Method", kUint8).Values(MethodSet())}),

        Class("CBMICStd", 17, kConfig, Standard(), 100, 100,
              {Scalar("Enabled", kUint8),
               Scalar("WeightDisplayUnits", kUint16)
                   .Values(Sequence({"WEIGHTDISPLAYUNITS_UNITS_LBS", "WEIGHTDISPLAYUNITS_UNITS_KG"})),
               Scalar("HeightDisplayUnits", kUint16)
                   .Values(Sequence({"HEIGHTDISPLAYUNITS_UNITS_INCHES", "HEIGHTDISPLAYUNITS_UNITS_CENTIMETRES",
                                     "HEIGHTDISPLAYUNITS_UNITS_FEET_INCHES"}))}),

        Class("CRespDStd", 18, kData, Standard(), 100, 100,
              {STime(), Status(), NoExtStatus(), Scalar("Source", kUint16).Values(NoneUnknown("SOURCE")), NoMode(),
               Scalar("Method", kUint8).Values(MethodSet()), Scalar("Respiration", kUint8)}),

        Class("CRespCStd", 18, kConfig, Standard(), 100, 100, {Scalar("Enabled", kUint8)}),

        Class("CPainDStd", 100, kData, Standard(), 100, 100,
              {STime(), Status(), NoExtStatus(), Scalar("Source", kUint16).Values(NoneUnknown("SOURCE")), NoMode(),
               Scalar("Method", kUint8).Values(MethodSet()), Scalar("PainIndex", kUint16)}),

        Class("CPainCStd", 100, kConfig, Standard(), 100, 100, {Scalar("Enabled", kUint8)}),

        Class("CClinicianDStd", 101, kData, Standard(), 100, 100,
              {STime(), Status(), NoExtStatus(),
               Scalar("Source", kUint16).Values(NoneUnknown("SOURCE", {{10, "SOURCE_BARCODE"}})), NoMode(),
               Scalar("Method", kUint8).Values(MethodSet()), Array("Identifier", kAnsiChar, 21)}),

        Class("CClinicianCStd", 101, kConfig, Standard(), 100, 100,
              {Scalar("BarcodeEnabled", kUint8), Scalar("ExternalPort", kUint16).Values(PortSet())}),

        Class("CPatientDStd", 14, kData, Standard(), 101, 100,
              {STime(), Status(), NoExtStatus(),
               Scalar("Source", kUint16).Values(NoneUnknown("SOURCE", {{10, "SOURCE_BARCODE"}})), NoMode(),
               Scalar("Method", kUint8).Values(MethodSet()), Array("Identifier", kAnsiChar, 21)}),

        Class("CPatientCStd", 14, kConfig, Standard(), 102, 100,
              {Scalar("BarcodeEnabled", kUint8), Scalar("ExternalPort", kUint16).Values(PortSet())}),

        Class("CSESDZentoRec", 23, kData, {{1, "SpZENTORECORD"}}, 100, 100,
              {STime(), Holds("DeviceInfo", "CDeviceDStd"), Holds("NIBPData", "CNIBPDStd"),
               Holds("TempData", "CTempDStd"), Holds("SpO2Data", "CSpO2DStd"), Holds("WeightData", "CWeightDStd"),
               Holds("HeightData", "CHeightDStd"), Holds("BMIData", "CBMIDStd"), Holds("RespData", "CRespDStd"),
               Holds("PainData", "CPainDStd"), Holds("Clinician", "CClinicianDStd"),
               Holds("Patient", "CPatientDStd")}),

        Class("CSESPMsgArguments", 23, kParameter, {{0, "SpMSG_ARGUMENTS"}}, 100, 100,
              {Scalar("SpeciesSelector", kUint32), Scalar("IOParameterA", kUint32)}),

        Class("CRecordDStd", 97, kData,
              {{0, "SpSTANDARD"}, {1, "SpNIBP"}, {2, "SpTEMPERATURE"}, {3, "SpSPO2"}, {4, "SpHEIGHT"},
               {5, "SpWEIGHT"}, {6, "SpCO2"}, {7, "SpRESTING_ECG"}, {8, "SpSTRESS_ECG"}, {9, "SpSPIROMETRY"}},
              100, 100, {Scalar("RecordCount", kUint32)}),

        Class("CRecordCStd", 97, kConfig, Standard(), 100, 100,
              {Scalar("SaveMethod", kUint16).Values(Sequence({"SAVEMETHOD_SAVE_AUTOMATIC", "SAVEMETHOD_SAVE_MANUAL"})),
               Scalar("SaveInterval", kUint16),
               Scalar("OverwriteAction", kUint16)
                   .Values(Sequence({"OVERWRITEACTION_AUTO_OVERWRITE", "OVERWRITEACTION_ASK_OVERWRITE",
                                     "OVERWRITEACTION_DO_NOT_OVERWRITE"})),
               Scalar("SendEnabled", kUint8),
               Scalar("SendMethod", kUint16).Values(Sequence({"SENDMETHOD_SEND_AUTOMATIC", "SENDMETHOD_SEND_MANUAL"})),
               Scalar("SendMedia", kUint16)
                   .Values(Sequence({"SENDMEDIA_RS232", "SENDMEDIA_USB", "SENDMEDIA_ETHERNET", "SENDMEDIA_ALL"})),
               Scalar("AutoRecordRemove", kUint8)}),

        Class("CRecordPSelector", 97, kParameter, {{0, "SpRECORD"}}, 100, 100, {Scalar("SpeciesSelector", kUint32)}),

        // The status table has always preceded the level table in this block.
        Class("CBatteryDStd", 111, kData, Standard(), 101, 100,
              {Scalar("BatteryVoltage", kInt16), Scalar("BatteryCurrent", kUint16),
               Scalar("BatteryLevel", kUint16)
                   .Values(Sequence({"BATTERYLEVEL_CRITICALLY_LOW_CHARGE", "BATTERYLEVEL_LOW_CHARGE",
                                     "BATTERYLEVEL_MEDIUM_CHARGE", "BATTERYLEVEL_FULL_CHARGE"})),
               Scalar("BatteryStatus", kUint16)
                   .Values(Sequence({"BATTERYSTATUS_NOT_CHARGING", "BATTERYSTATUS_FAST_CHARGE",
                                     "BATTERYSTATUS_TRICKLE_CHARGE"}))})
            .TablesInOrder({0, 1, 3, 2}),

        Class("CPrinterCStd", 96, kConfig, Standard(), 102, 100,
              {Scalar("InternalPrinter", kUint8),
               Scalar("PrinterPaper", kUint16)
                   .Values(Sequence({"PRINTERPAPER_PAPER_PLAIN", "PRINTERPAPER_PAPER_LABELS"})),
               Scalar("ExternalPrinter", kUint8), Scalar("PrinterType", kUint16).Values({{0, "PRINTERTYPE_DEFAULT"}}),
               Scalar("PrintGridEnabled", kUint8), Scalar("ExternalPort", kUint16).Values(PortSet())}),

        Class("CErrEStd", 114, kEvent,
              {{0, "SpERRNONE"}, {1, "SpERRZORPSTACK"}, {2, "SpERRMSGPROC"}, {3, "SpERRAPPINTERNAL"}}, 100, 100,
              {Scalar("ErrClassID", kUint32), Scalar("ErrorCode", kUint16), Array("Description", kAnsiChar, 20),
               Unbounded("Data", kUint8)},
              {{"STACK_ERROR",
                Sequence({"STACK_ERROR_NONE", "STACK_ERROR_INVL_FAMILY", "STACK_ERROR_INVL_GENUS",
                          "STACK_ERROR_INVL_SPECIES", "STACK_ERROR_OBJECT_ID", "STACK_ERROR_CRC_MISMATCH",
                          "STACK_ERROR_INVL_TBL_ENTRY", "STACK_ERROR_DUP_ENTRY"})},
               {"MSG_PROC_ERROR",
                Sequence({"MSG_PROC_ERROR_NONE", "MSG_PROC_ERROR_UNIMPL", "MSG_PROC_ERROR_UNSUPPORTED",
                          "MSG_PROC_ERROR_MEMORY", "MSG_PROC_ERROR_NO_PARAM", "MSG_PROC_ERROR_INVL_PARAM",
                          "MSG_PROC_ERROR_INVL_PARAM_RANGE", "MSG_PROC_ERROR_NO_OBJECT",
                          "MSG_PROC_ERROR_OBJECT_DESERIALIZE", "MSG_PROC_ERROR_OBJECT_SERIALIZE",
                          "MSG_PROC_ERROR_CONTEXT", "MSG_PROC_ERROR_ITEM_NOT_AVAILABLE"})}}),

        Class("CErrPGetError", 114, kParameter, {{0, "SpGET_ERROR"}}, 100, 100,
              {Scalar("ErrClassID", kUint32), Scalar("Source", kUint16), Scalar("ErrCode", kUint16)}),

        Class("CNetworkCEth", 107, kConfig, {{0, "SpETHERNET"}}, 100, 100,
              {Array("FixedIPAddress", kUint8, 4), Array("DefaultGateway", kUint8, 4), Array("SubnetMask", kUint8, 4),
               Array("DNSArray1", kUint8, 4), Array("DNSArray2", kUint8, 4), Scalar("DHCPEnabled", kUint8),
               Scalar("AutoDNSEnabled", kUint8), Scalar("WANTimeoutInterval", kUint16),
               Scalar("NetworkMode", kUint16).Values(Sequence({"NETWORKMODE_WIRED", "NETWORKMODE_WIRELESS"})),
               Unbounded("ServerName", kWideChar), Unbounded("NetworkID", kWideChar)}),

        Class("CNetworkCLocID", 107, kConfig, {{1, "SpLOCATIONID"}}, 100, 100,
              {Unbounded("LocationID", kAnsiChar), Unbounded("UnitID", kAnsiChar)}),

        Class("CNetworkCWIFI", 107, kConfig, {{2, "SpWIFI"}}, 103, 100,
              {Scalar("Enabled", kUint8), Scalar("External", kUint8),
               Scalar("InstalledModule", kUint16)
                   .Values(NoneUnknown("INSTALLEDMODULE", {{10, "INSTALLEDMODULE_VRNT"}})),
               Scalar("Security", kUint16).Values(Sequence({"SECURITY_NONE", "SECURITY_WPA", "SECURITY_WEP"})),
               Scalar("Channel", kUint16)
                   .Values(Sequence({"CHANNEL_NONE", "CHANNEL_WI_FI_CHANNEL_1", "CHANNEL_WI_FI_CHANNEL_2",
                                     "CHANNEL_WI_FI_CHANNEL_3", "CHANNEL_WI_FI_CHANNEL_4", "CHANNEL_WI_FI_CHANNEL_5",
                                     "CHANNEL_WI_FI_CHANNEL_6", "CHANNEL_WI_FI_CHANNEL_7", "CHANNEL_WI_FI_CHANNEL_8",
                                     "CHANNEL_WI_FI_CHANNEL_9", "CHANNEL_WI_FI_CHANNEL_10",
                                     "CHANNEL_WI_FI_CHANNEL_11"})),
               Scalar("Mode", kUint16).Values(Sequence({"MODE_NONE", "MODE_WI_FI_DHCP", "MODE_WI_FI_FIXED_IP"})),
               Scalar("ExternalPort", kUint16).Values(PortSet()), Unbounded("EnterKey", kWideChar),
               Unbounded("KeyIndex", kWideChar)}),

        Class("CNetworkPSelector", 107, kParameter, {{0, "SpNETWORK"}}, 100, 100,
              {Scalar("SpeciesSelector", kUint32)}),
    };
    return Finish("RER_KLEV_ZENTO", std::move(classes));
}

}  // namespace builtin_gen
}  // namespace xqova
