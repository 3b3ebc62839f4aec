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

// Reading one zero byte is a linear map of the register; kSkips.m[k] is that
// map taken 2^k times, as the images of the 16 register bits.
struct Skips {
    std::uint16_t m[64][16];
};

constexpr std::uint16_t Apply(const std::uint16_t (&map)[16], std::uint16_t x) {
    std::uint16_t y = 0;
    for (unsigned bit = 0; bit < 16; ++bit) {
        if ((x >> bit) & 1u) y = static_cast<std::uint16_t>(y ^ map[bit]);
    }
    return y;
}

constexpr Skips MakeSkips() {
    Skips skips{};
    for (unsigned bit = 0; bit < 16; ++bit) {
        const unsigned r = 1u << bit;
        skips.m[0][bit] = static_cast<std::uint16_t>((r >> 8) ^ kTables.t[0][r & 0xFF]);
    }
    for (unsigned k = 1; k < 64; ++k) {
        for (unsigned bit = 0; bit < 16; ++bit) skips.m[k][bit] = Apply(skips.m[k - 1], skips.m[k - 1][bit]);
    }
    return skips;
}

constexpr Skips kSkips = MakeSkips();

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

namespace {
bool g_enforceNestedChecksums = false;  // fuzzing builds only
}  // namespace

void fuzzing::EnforceNestedChecksums(bool on) { g_enforceNestedChecksums = on; }

bool NestedChecksumHolds(const unsigned char* data, std::uint32_t length) {
#if defined(XQOVA_FUZZ_SKIP_CHECKSUMS)
    if (g_enforceNestedChecksums) return CalculateCRC(data, length) == ReadInt16(data + length);
#endif
    return ChecksumHolds(data, length);
}

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

bool ChecksumEquals(std::uint16_t computed, std::uint16_t stored) {
#if defined(XQOVA_FUZZ_SKIP_CHECKSUMS)
    (void)computed;
    (void)stored;
    return true;
#else
    return computed == stored;
#endif
}

std::uint16_t ChecksumStep(std::uint16_t crc, unsigned char byte) {
    return static_cast<std::uint16_t>((crc >> 8) ^ kTables.t[0][(crc ^ byte) & 0xFF]);
}

std::uint16_t ChecksumSkip(std::uint16_t crc, std::uint64_t count) {
    for (unsigned k = 0; count != 0; ++k, count >>= 1) {
        if (count & 1u) crc = Apply(kSkips.m[k], crc);
    }
    return crc;
}

}  // namespace xqova
