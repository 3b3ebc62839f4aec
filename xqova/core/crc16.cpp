#include "xqova/core/crc16.h"

#include <array>

#include "xqova/core/class_id.h"

namespace {

constexpr std::array<std::uint16_t, 256> MakeTable() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned n = 0; n < 256; ++n) {
        std::uint16_t value = static_cast<std::uint16_t>(n);
        for (int step = 0; step < 8; ++step) {
            value = (value & 1) ? static_cast<std::uint16_t>((value >> 1) ^ 0x8408) : static_cast<std::uint16_t>(value >> 1);
        }
        table[n] = value;
    }
    return table;
}

constexpr std::array<std::uint16_t, 256> kTable = MakeTable();
static_assert(kTable[1] == 0x1189 && kTable[128] == 0x8408, "reflected 0x1021 table");

}  // namespace

std::uint16_t CalculateCRC(const unsigned char* data, std::uint32_t length) {
    std::uint16_t crc = 0xFFFF;
    for (std::uint32_t i = 0; i < length; ++i) {
        crc = static_cast<std::uint16_t>((crc >> 8) ^ kTable[(crc ^ data[i]) & 0xFF]);
    }
    return crc;
}

namespace xqova {

bool ChecksumHolds(const unsigned char* data, std::uint32_t length) {
#if defined(XQOVA_FUZZ_SKIP_CHECKSUMS)
    // Fuzzing builds accept any checksum so that the fuzzer reaches the code
    // behind it. Never defined in a normal build.
    (void)data;
    (void)length;
    return true;
#else
    return CalculateCRC(data, length) == ReadInt16(data + length);
#endif
}

}  // namespace xqova
