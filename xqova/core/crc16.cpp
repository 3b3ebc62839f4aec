#include "xqova/core/crc16.h"

#include "xqova/core/class_id.h"

namespace {

// Slicing by eight: kTables.t[k][n] is the checksum register after byte n
// followed by k zero bytes, from a zero register. Eight bytes then cost eight
// independent lookups.
struct Tables {
    std::uint16_t t[8][256];
};

constexpr Tables MakeTables() {
    Tables tables{};
    for (unsigned n = 0; n < 256; ++n) {
        std::uint16_t value = static_cast<std::uint16_t>(n);
        for (int step = 0; step < 8; ++step) {
            value = (value & 1) ? static_cast<std::uint16_t>((value >> 1) ^ 0x8408) : static_cast<std::uint16_t>(value >> 1);
        }
        tables.t[0][n] = value;
    }
    for (unsigned k = 1; k < 8; ++k) {
        for (unsigned n = 0; n < 256; ++n) {
            const std::uint16_t previous = tables.t[k - 1][n];
            tables.t[k][n] = static_cast<std::uint16_t>((previous >> 8) ^ tables.t[0][previous & 0xFF]);
        }
    }
    return tables;
}

constexpr Tables kTables = MakeTables();
static_assert(kTables.t[0][1] == 0x1189 && kTables.t[0][128] == 0x8408, "reflected 0x1021 table");

}  // namespace

std::uint16_t CalculateCRC(const unsigned char* data, std::uint32_t length) {
    const auto& t = kTables.t;
    std::uint16_t crc = 0xFFFF;
    std::uint32_t i = 0;
    for (; i + 8 <= length; i += 8) {
        const unsigned x = crc ^ (data[i] | (static_cast<unsigned>(data[i + 1]) << 8));
        crc = static_cast<std::uint16_t>(t[7][x & 0xFF] ^ t[6][x >> 8] ^ t[5][data[i + 2]] ^ t[4][data[i + 3]] ^
                                         t[3][data[i + 4]] ^ t[2][data[i + 5]] ^ t[1][data[i + 6]] ^
                                         t[0][data[i + 7]]);
    }
    for (; i < length; ++i) crc = static_cast<std::uint16_t>((crc >> 8) ^ t[0][(crc ^ data[i]) & 0xFF]);
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
