#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "support/bmi_block.h"
#include "xqova/builtin/builtin.h"
#include "xqova/builtin/builtin_blocks.h"
#include "xqova/core/checksum.h"
#include "xqova/core/class_id.h"
#include "xqova/dictionary/definition.h"
#include "xqova/dictionary/dictionary.h"
#ifdef XQOVA_TEST_CLASSES_DIR
#include "xqova/json/definition_json.h"
#endif

namespace {

// The class table of both chains, in chain order, written out independently
// of the description. `shortfall` is how much the stored xmlBaseSize falls
// short of the empty-member document.
struct ClassRow {
    const char* name;
    std::uint32_t classId;
    std::uint16_t version;
    std::uint16_t fullSize;
    std::uint16_t memberCount;
    std::uint16_t xmlBaseSize;
    int shortfall;
};

const ClassRow kSdkRows[] = {
    {"CFlashDChunk", 0x005E0001, 200, 104, 2, 301, 0},
    {"CFlashPMsgArg", 0x005E1001, 200, 358, 2, 301, 0},
    {"CDataTransferDExtStd", 0x007A1200, 200, 142, 3, 402, 0},
    {"CDataTransferCDesc", 0x007A0801, 201, 332, 7, 780, 0},
    {"CFileSysDFil", 0x00700000, 200, 312, 4, 506, 0},
    {"CFileSysDFileDesc", 0x00700001, 202, 452, 6, 679, 0},
    {"CFileSysDExtStd", 0x00701200, 200, 118, 2, 351, 0},
    {"CFileSysPSelector", 0x00701001, 200, 142, 3, 405, 0},
    {"CNumDStd", 0x00750000, 207, 808, 2, 303, 0},
    {"CNumDLong", 0x0075007F, 200, 490, 2, 304, 2},
    {"CNumDFloat", 0x0075001F, 202, 490, 2, 307, 1},
    {"CNumCStd", 0x00750800, 208, 1250, 7, 772, 0},
    {"CNumCLong", 0x0075087F, 200, 926, 7, 773, 2},
    {"CNumCFloat", 0x0075081F, 203, 926, 7, 782, 1},
    {"CNumPSelector", 0x00751000, 201, 122, 2, 304, 0},
    {"CNumDExtStd", 0x00751200, 200, 88, 1, 242, 0},
    {"CSESDVitalsRRecord", 0x00170003, 205, 656, 9, 993, 0},
};

// CTempDStd, CTempCStd, CModuleDStd and CModuleCStd measure 1134, 492, 476
// and 468 bytes in the block arrangement with their listed names.
const ClassRow kDeviceRows[] = {
    {"CUICStd", 0x000B0800, 103, 214, 5, 571, 0},
    {"CDeviceDStd", 0x00180000, 101, 230, 6, 686, 0},
    {"CDeviceCStd", 0x00180800, 100, 1160, 12, 1232, 0},
    {"CDevPMsgArguments", 0x00181000, 100, 130, 2, 308, 0},
    {"CModuleDStd", 0x00690000, 100, 476, 2, 317, 0},
    {"CModuleCStd", 0x00690800, 100, 468, 2, 296, 0},
    {"CModulePSelector", 0x00691000, 100, 94, 1, 218, 0},
    {"CNIBPDStd", 0x00050000, 105, 836, 10, 946, 0},
    {"CNIBPCStd", 0x00050800, 102, 214, 2, 292, 0},
    {"CTempDStd", 0x00030000, 100, 1134, 7, 705, 0},
    {"CTempCStd", 0x00030800, 100, 492, 4, 464, 0},
    {"CSpO2DStd", 0x00040000, 100, 856, 8, 776, 0},
    {"CSpO2CStd", 0x00040800, 100, 330, 2, 292, 0},
    {"CWeightDStd", 0x00130000, 105, 604, 8, 792, 0},
    {"CWeightCStd", 0x00130800, 103, 422, 5, 568, 0},
    {"CHeightDStd", 0x001A0000, 104, 538, 7, 702, 0},
    {"CHeightCStd", 0x001A0800, 104, 474, 5, 568, 0},
    {"CBMIDStd", 0x00110000, 101, 608, 9, 874, 0},
    {"CBMICStd", 0x00110800, 100, 336, 3, 391, 0},
    {"CRespDStd", 0x00120000, 100, 540, 7, 704, 0},
    {"CRespCStd", 0x00120800, 100, 80, 1, 200, 0},
    {"CPainDStd", 0x00640000, 100, 538, 7, 704, 0},
    {"CPainCStd", 0x00640800, 100, 80, 1, 201, 0},
    {"CClinicianDStd", 0x00650000, 100, 564, 7, 722, 0},
    {"CClinicianCStd", 0x00650800, 100, 268, 2, 303, 0},
    {"CPatientDStd", 0x000E0000, 101, 562, 7, 719, 0},
    {"CPatientCStd", 0x000E0800, 102, 266, 2, 300, 0},
    {"CSESDZentoRec", 0x00170001, 100, 422, 12, 1363, 0},
    {"CSESPMsgArguments", 0x00171000, 100, 130, 2, 308, 0},
    {"CRecordDStd", 0x00610000, 100, 222, 1, 207, 0},
    {"CRecordCStd", 0x00610800, 100, 572, 7, 745, 0},
    {"CRecordPSelector", 0x00611000, 100, 94, 1, 217, 0},
    {"CBatteryDStd", 0x006F0000, 101, 410, 4, 484, 0},
    {"CPrinterCStd", 0x00600800, 102, 480, 6, 665, 0},
    {"CErrEStd", 0x00720300, 100, 846, 4, 490, 0},
    {"CErrPGetError", 0x00721000, 100, 136, 3, 379, 0},
    {"CNetworkCEth", 0x006B0800, 100, 442, 11, 1183, 0},
    {"CNetworkCLocID", 0x006B0801, 100, 114, 2, 332, 0},
    {"CNetworkCWIFI", 0x006B0802, 103, 960, 9, 936, 0},
    {"CNetworkPSelector", 0x006B1000, 100, 96, 1, 219, 0},
};

struct ChainCase {
    const char* space;
    void* (*dictionary)();
    const ClassRow* rows;
    std::size_t rowCount;
    const char* classesFile;  // the chain's class definitions in xqova/builtin/classes
};

const ChainCase kChains[] = {
    {"RER_SDK", &RER_SDK::Dictionary, kSdkRows, sizeof kSdkRows / sizeof kSdkRows[0], "sdk.json"},
    {"RER_KLEV_ZENTO", &RER_KLEV_ZENTO::Dictionary, kDeviceRows, sizeof kDeviceRows / sizeof kDeviceRows[0],
     "device.json"},
};

// The blocks of a chain in node order, up to a bound that a runaway chain
// cannot pass.
std::vector<unsigned char*> Blocks(void* first) {
    std::vector<unsigned char*> blocks;
    for (auto* node = static_cast<TableEntry_s*>(first); node != nullptr && blocks.size() < 1000; node = node->next) {
        blocks.push_back(static_cast<unsigned char*>(node->block));
    }
    return blocks;
}

std::string ClassName(const void* block) {
    const char* name = xqova::DefinitionText(block, 0xFFFF);
    return name != nullptr ? name : "";
}

#ifdef XQOVA_TEST_CLASSES_DIR
// The classes of a chain as the generator compiles them from their JSON file.
std::vector<xqova::build::ClassDescription> Described(const ChainCase& chain) {
    std::ifstream file(std::string(XQOVA_TEST_CLASSES_DIR) + "/" + chain.classesFile, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::vector<xqova::build::ClassDescription> classes;
    xqova::JsonError error;
    EXPECT_TRUE(xqova::DefinitionsFromJson(text.data(), text.size(), nullptr, &classes, &error)) << error.Text();
    return classes;
}
#endif

// Each chain follows the class table, its blocks are what the class
// definitions build today (the stored xmlBaseSize being the empty-member
// document length, less the shortfall of the four wide numeric classes),
// and a second call returns the same chain unchanged. Every block is
// accepted like a block from outside, back to back too, carries the
// default attribute record of stride 8, has members up to CURRENT_VERSION
// only, and the two chains together use exactly the listed type bytes.
TEST(BuiltinDictionary, ChainsFollowTheClassTableAndTheirDefinitions) {
    const std::set<int> expectedTypes = {0x01, 0x02, 0x03, 0x06, 0x10, 0x11, 0x13, 0x23, 0x39,
                                         0x3B, 0x46, 0x48, 0x49, 0x50, 0x88, 0x89, 0x90};
    std::set<int> types;
    for (const ChainCase& chain : kChains) {
        SCOPED_TRACE(chain.space);
        void* first = chain.dictionary();
        const std::vector<unsigned char*> blocks = Blocks(first);
        ASSERT_EQ(blocks.size(), chain.rowCount);
        std::vector<unsigned char> all;
#ifdef XQOVA_TEST_CLASSES_DIR
        const std::vector<xqova::build::ClassDescription> classes = Described(chain);
        ASSERT_EQ(classes.size(), chain.rowCount);
        const auto names = [&classes](std::uint32_t id) {
            for (const xqova::build::ClassDescription& d : classes) {
                if (d.ClassId() == id) return d.name;
            }
            return std::string("?");
        };
#endif
        for (std::size_t i = 0; i < chain.rowCount; ++i) {
            const ClassRow& row = chain.rows[i];
            SCOPED_TRACE(row.name);
            const unsigned char* block = blocks[i];
            const std::uint16_t size = DefinitionFullSize(block);
            // The row's fields, then a well-formed block of even size with 8-byte attribute records.
            EXPECT_EQ(std::make_tuple(ClassName(block), DefinitionClassID(block), DefinitionVersion(block), size,
                                      xqova::DefinitionMemberCount(block), xqova::DefinitionXMLSize(block),
                                      xqova::DefinitionIsWellFormed(block, size), size % 2, xqova::DefinitionAttributeSize(block)),
                      std::make_tuple(std::string(row.name), row.classId, row.version, row.fullSize, row.memberCount,
                                      row.xmlBaseSize, true, 0, std::uint16_t{8}));
#ifdef XQOVA_TEST_CLASSES_DIR
            EXPECT_EQ(std::vector<unsigned char>(block, block + size), xqova::build::BuildDefinition(classes[i], {}));
            EXPECT_EQ(xqova::build::EmptyDocumentLength(classes[i], names, 5),
                      static_cast<std::size_t>(row.xmlBaseSize + row.shortfall));
#endif
            all.insert(all.end(), block, block + size);
            for (std::uint16_t p = 0; p < row.memberCount; ++p) {
                xqova::MemberRecord record;
                ASSERT_TRUE(xqova::DefinitionMemberRecord(block, p, &record));
                // Up to CURRENT_VERSION, from a version the class has; no alias, units or scale; a name.
                EXPECT_EQ(std::make_tuple(record.maxVersion, record.minVersion <= row.version, xqova::DefinitionMemberAlias(block, p),
                                          xqova::DefinitionMemberUnits(block, p), xqova::DefinitionMemberScaleCoefficient(block, p),
                                          xqova::DefinitionMemberScaleExponent(block, p), xqova::DefinitionText(block, p) != nullptr),
                          std::make_tuple(std::uint16_t{0xFFFF}, true, 0xFFFFFFFFu, std::uint8_t{0xFF}, std::uint16_t{1}, std::int8_t{0}, true));
                types.insert(record.type);
            }
        }
        EXPECT_EQ(chain.dictionary(), first);
        EXPECT_EQ(Blocks(first), blocks);
        CXQOVADictionary dictionary;
        EXPECT_EQ(dictionary.AddDefinitions(all.data(), static_cast<std::uint32_t>(all.size())), 0xFFFF);
        EXPECT_EQ(dictionary.GetDefinitionCount(), chain.rowCount);
    }
    EXPECT_EQ(types, expectedTypes);
}

// Lookups by family, genus and species: the first and last species a block
// lists are served, the next is not; the combined record's eleven nested
// members name classes of the device chain; value names are found in the
// tables the blocks arrange.
TEST(BuiltinDictionary, LookupsAndEnumerationTablesThroughTheChains) {
    CXQOVADictionary device(RER_KLEV_ZENTO::Dictionary()), sdk(RER_SDK::Dictionary());
    const struct {
        CXQOVADictionary* dictionary;
        std::uint16_t family;
        std::uint8_t genus, species;
        const char* name;  // "": none serves it
    } rows[] = {
        {&device, 5, 0, 0, "CNIBPDStd"},
        {&device, 105, 8, 194, "CModuleCStd"},
        {&device, 105, 8, 195, ""},
        {&device, 23, 0, 1, "CSESDZentoRec"},
        {&sdk, 117, 0, 23, "CNumDStd"},
        {&sdk, 117, 0, 24, ""},
        {&sdk, 117, 0, 128, "CNumDLong"},
        {&sdk, 117, 8, 32, "CNumCFloat"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ClassName(row.dictionary->GetDefinition(row.family, row.genus, row.species)), row.name) << row.family;
    }
    const char* const held[] = {"CDeviceDStd", "CNIBPDStd",   "CTempDStd",   "CSpO2DStd",
                                "CWeightDStd", "CHeightDStd", "CBMIDStd",    "CRespDStd",
                                "CPainDStd",   "CClinicianDStd", "CPatientDStd"};
    const void* record = device.GetDefinition(23, 0, 1);  // after STime
    for (std::uint16_t p = 1; p < 12; ++p) {
        std::uint32_t memberClass = 0;
        ASSERT_EQ(xqova::DefinitionMember(record, p, &memberClass), 0x06) << p;
        EXPECT_EQ(ClassName(device.GetDefinition(memberClass)), held[p - 1]) << p;
    }

    // Value names as the arrangement stores them.
    CXQOVADictionary& all = xqova::AllBuiltinClasses();
    constexpr std::uint32_t kBattery = 0x006F0000, kNibp = 0x00050000, kNumC = 0x00750800, kErr = 0x00720300;
    const auto* battery = static_cast<const unsigned char*>(all.GetDefinition(kBattery));
    // Text entry k starts with the offset of its enumeration table: the
    // status table (entry 3) lies ahead of the level table (entry 2).
    const std::size_t text = xqova::DefinitionTextOffset(battery);
    EXPECT_LT(ReadInt16(battery + text + 4 + 4 * 3), ReadInt16(battery + text + 4 + 4 * 2));
    const struct {
        std::uint32_t classId;
        std::uint16_t index, value;
        const char* enumerator;
    } names[] = {
        {kBattery, 2, 3, "BATTERYLEVEL_FULL_CHARGE"},
        {kBattery, 3, 2, "BATTERYSTATUS_TRICKLE_CHARGE"},
        // The chosen NIBP source names; shared sets expanded per member.
        {kNibp, 7, 1, "SOURCE_UNKNOWN"}, {kNibp, 7, 14, "SOURCE_AUX"}, {kNibp, 7, 2, nullptr},
        {kNibp, 9, 13, "METHOD_LINEAR_DEFLATION_BP"},
        {kNumC, 4, 13, "STATUSBITS_DUBIOUS"},
        {kNumC, 5, 2, "UPPERLIMITALARMSTATE_ENABLED"},
        {kNumC, 6, 3, "LOWERLIMITALARMSTATE_DISABLED"},
        {kErr, 0xFFFD, 11, "MSG_PROC_ERROR_ITEM_NOT_AVAILABLE"},
    };
    for (const auto& row : names) {
        EXPECT_STREQ(xqova::DefinitionEnumerator(all.GetDefinition(row.classId), row.index, row.value), row.enumerator)
            << row.classId;
    }
    // The species table of CNumCStd lists 0 to 23.
    EXPECT_EQ(std::make_tuple(xqova::DefinitionEnumerationSize(all.GetDefinition(kNibp), 7),
                              xqova::DefinitionEnumerationSize(all.GetDefinition(kNumC), 0xFFFF)), std::make_tuple(7, 24));
    EXPECT_STREQ(xqova::DefinitionText(all.GetDefinition(kErr), 0xFFFE), "STACK_ERROR");
}

// {storage, stated full size, stamped}: the checksum is written only when the
// stated size covers its own field (bytes 9 and 10) and lies within the storage.
TEST(BuiltinDictionary, StampChecksumStaysInsideItsStorage) {
    const std::size_t cases[][3] = {{336, 336, 1}, {335, 336, 0}, {10, 336, 0}, {336, 10, 0}, {11, 11, 1}};
    for (const auto& c : cases) {
        std::vector<unsigned char> block = xqova_test::BmiBlockBytes();
        block[334] = block[335] = 0;
        WriteInt16(&block[9], static_cast<std::uint16_t>(c[1]));
        const std::vector<unsigned char> before = block;
        EXPECT_EQ(xqova::builtin::StampChecksum(block.data(), c[0]), block.data());
        EXPECT_TRUE(c[2] ? xqova::ChecksumHolds(block.data(), static_cast<std::uint32_t>(c[1] - 2)) : block == before) << c[0] << " " << c[1];
    }
}

}  // namespace
