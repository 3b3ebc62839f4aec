#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "xqova/core/class_id.h"
#include "xqova/core/checksum.h"
#include "xqova/core/frame_header.h"

namespace {

// The register one bit at a time, as the polynomial defines it.
std::uint16_t BitwiseStep(std::uint16_t crc, unsigned char byte) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) {
        crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0x8408) : static_cast<std::uint16_t>(crc >> 1);
    }
    return crc;
}

// Both ways of computing the checksum (carry-less multiplication where the
// CPU has it, the tables always) agree with the bitwise register for every
// length up to 2048 (every lane count and tail), at every alignment, on
// random bytes and on all-ones bytes, and give the check value.
TEST(Checksum, EveryPathAgreesWithTheBitwiseRegister) {
    std::vector<unsigned char> random(2048 + 16);
    std::uint32_t seed = 12345;
    for (unsigned char& b : random) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<unsigned char>(seed >> 16);
    }
    std::vector<unsigned char> ones(random.size(), 0xFF);
    const bool carryless = xqova::checksum_paths::CarrylessAvailable();
    for (const bool useCarryless : {true, false}) {
        // Until switched, checksums take the carry-less path wherever the CPU has it.
        EXPECT_EQ(xqova::checksum_paths::UseCarryless(useCarryless), carryless);
        SCOPED_TRACE(useCarryless && carryless ? "carry-less" : "tables");
        const char* text = "123456789";
        EXPECT_EQ(CalculateCRC(reinterpret_cast<const unsigned char*>(text), 9), 0x6F91);
        EXPECT_EQ(CalculateCRC(nullptr, 0), 0xFFFF);
        for (const std::vector<unsigned char>* data : {&random, &ones}) {
            for (std::size_t offset : {0, 1, 3, 8, 15}) {
                const unsigned char* p = data->data() + offset;
                std::uint16_t expected = 0xFFFF;
                for (std::size_t length = 0; length <= 2048; expected = BitwiseStep(expected, p[length++])) {
                    if (CalculateCRC(p, static_cast<std::uint32_t>(length)) != expected) {
                        ADD_FAILURE() << "length " << length << " offset " << offset;
                        break;
                    }
                }
            }
        }
    }
    EXPECT_FALSE(xqova::checksum_paths::UseCarryless(true));  // switched off, the tables were in use
#if defined(__linux__) && defined(__x86_64__)
    // The CPU's own answer agrees with the kernel's list of its features.
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line;
    while (std::getline(cpuinfo, line) && line.rfind("flags", 0) != 0) {
    }
    const auto has = [&line](const char* flag) { return (line + " ").find(std::string(" ") + flag + " ") != std::string::npos; };
    EXPECT_TRUE(line.empty() || carryless == (has("sse2") && has("pclmulqdq") && has("sse4_1"))) << line;
#endif
}

// The register after n zero bytes, step by step and by skips; a skip of 2^k
// bytes is two of 2^(k-1), up to the largest count.
TEST(Checksum, SkipsAgreeWithZeroBytes) {
    std::uint16_t stepped = 0x1234;
    for (std::uint64_t n = 0; n < 300; ++n, stepped = xqova::ChecksumStep(stepped, 0)) {
        EXPECT_EQ(xqova::ChecksumSkip(0x1234, n), stepped) << n;
    }
    for (unsigned k = 1; k < 64; ++k) {
        const std::uint64_t half = std::uint64_t{1} << (k - 1);
        EXPECT_EQ(xqova::ChecksumSkip(0x1234, 2 * half), xqova::ChecksumSkip(xqova::ChecksumSkip(0x1234, half), half)) << k;
    }
}

// Identifiers and stored numbers go most significant byte first.
TEST(ByteOrder, IdentifiersAndNumbersAreBigEndian) {
    unsigned char p[4] = {}, q[2] = {};
    WriteInt32(p, 0xFF11FE01u);
    WriteInt16(q, 0xABCD);
    EXPECT_TRUE(std::memcmp(p, "\xFF\x11\xFE\x01", 4) == 0 && std::memcmp(q, "\xAB\xCD", 2) == 0);
    const std::uint32_t numbers[][2] = {
        {MakeClassID(0x0011, 0x08, 0x01), 0x00110801u}, {MakeClassID(0xFFFF, 0xFF, 0xFF), 0xFFFFFFFFu},
        {ReadInt32(p), 0xFF11FE01u}, {GetClassID(p), 0xFF11FE01u}, {GetFamily(p), 0xFF11}, {GetGenus(p), 0xFE},
        {GetSpecies(p), 0x01}, {GetFamily(0xFF11FE01u), 0xFF11}, {GetGenus(0xFF11FE01u), 0xFE},
        {GetSpecies(0xFF11FE01u), 0x01}, {ReadInt16(q), 0xABCD}};
    for (const auto& n : numbers) EXPECT_EQ(n[0], n[1]) << &n - numbers;
}

// Which classes state a 4-byte length, and the size a header of each width states.
TEST(FrameHeader, ExtendedRuleAndEncodedSize) {
    const struct {
        std::uint32_t classId;
        bool extended;
    } cases[] = {
        {0x00171000u, false}, {0x00170000u, true}, {0x00170305u, true},   // family 23: all but genus 16
        {0x005C1000u, true},                                              // family 92, any genus
        {0x00051200u, true},  {0x007A1200u, true},                        // genus 18, any family
        {0x001B0000u, true},  {0x001B0001u, false}, {0x00010000u, true},  {0x00010001u, false},
        {0x00660080u, true},  {0x00660081u, false}, {0x006C00FFu, true},  {0x006C00FEu, false},
        {0x00650800u, false}, {0x001E0000u, false}, {0x001E1201u, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(std::make_tuple(xqova::IsExtendedClass(c.classId), xqova::LengthFieldWidth(c.classId)),
                  std::make_tuple(c.extended, c.extended ? 4u : 2u)) << std::hex << c.classId;
    }

    // The size a header states, and the same only when it lies within the
    // bytes available (6 bytes, length 0: the smallest header).
    const unsigned char narrow[] = {0x00, 0x65, 0x08, 0x00, 0x00, 0x0A}, empty[] = {0x00, 0x65, 0x08, 0x00, 0x00, 0x00};
    const unsigned char wide[] = {0x00, 0x7A, 0x12, 0x00, 0x00, 0x00, 0x00, 0x0A};
    const unsigned char huge[] = {0x00, 0x7A, 0x12, 0x00, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_TRUE(xqova::EncodedSize(narrow) == 16u && xqova::EncodedSize(wide) == 18u && xqova::EncodedSize(nullptr) == 0);
    const struct {
        const unsigned char* header;
        std::size_t available, bounded;
    } sizes[] = {{narrow, 16, 16}, {narrow, 15, 0}, {narrow, 5, 0}, {wide, 18, 18}, {wide, 7, 0},
                 {nullptr, 16, 0}, {empty, 6, 6},   {huge, 8, 0}};
    for (const auto& c : sizes) EXPECT_EQ(xqova::BoundedEncodedSize(c.header, c.available), c.bounded) << c.available;
}

}  // namespace
