#include "xqova/core/checksum.h"

#include <atomic>
#include <cstddef>

#include "xqova/core/class_id.h"

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#include <cpuid.h>
#include <immintrin.h>
#endif

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


// The register after `length` more bytes, eight at a time through the tables.
std::uint16_t SliceChecksum(std::uint16_t crc, const unsigned char* data, std::size_t length) {
    const auto& t = kTables.t;
    for (std::size_t blocks = length / 8; blocks > 0; --blocks, data += 8) {
        const unsigned x = crc ^ (data[0] | (static_cast<unsigned>(data[1]) << 8));
        crc = static_cast<std::uint16_t>(t[7][x & 0xFF] ^ t[6][x >> 8] ^ t[5][data[2]] ^ t[4][data[3]] ^ t[3][data[4]] ^
                                         t[2][data[5]] ^ t[1][data[6]] ^ t[0][data[7]]);
    }
    if (length % 8 >= 4) {
        const unsigned x = crc ^ (data[0] | (static_cast<unsigned>(data[1]) << 8));
        crc = static_cast<std::uint16_t>(t[3][x & 0xFF] ^ t[2][x >> 8] ^ t[1][data[2]] ^ t[0][data[3]]);
        data += 4;
    }
    for (std::size_t rest = length % 4; rest > 0; --rest, ++data) {
        crc = static_cast<std::uint16_t>((crc >> 8) ^ t[0][(crc ^ *data) & 0xFF]);
    }
    return crc;
}

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define XQOVA_CARRYLESS_CHECKSUM 1
#endif

#if defined(XQOVA_CARRYLESS_CHECKSUM)

// Carry-less multiplication (PCLMULQDQ) folds the data 128 bits at a time.
//
// The bytes are a polynomial over GF(2), first bit (bit 0 of byte 0) of the
// highest degree; with a zero starting register the checksum is
// M(x) * x^16 mod P(x), P = x^16 + x^12 + x^5 + 1, and a starting register
// of 0xFFFF is the same as a zero one with 0xFFFF XORed into the first two
// bytes. A 128-bit lane as loaded (little-endian) holds bit k of the stream
// as the coefficient of x^(127 - k): its low half L is the higher-degree
// part. Moving a lane D bits further on, X * x^D = L * x^(D + 64) + H * x^D,
// is congruent to L * (x^(D + 64) mod P) + H * (x^D mod P), at most 79 bits,
// and the multiplication of two 64-bit halves held this way yields the
// product times x, hence the constants below are x^(D + 63) and x^(D - 1)
// mod P. What is left, a 128-bit lane congruent to all bytes read so far,
// goes through the tables from a zero register, and the tail after it.

// x^n mod P with bit d holding x^d, spread over a 64-bit half as the lanes
// hold it (x^d at bit 63 - d).
constexpr std::uint64_t FoldConstant(unsigned n) {
    std::uint32_t r = 1;
    for (unsigned i = 0; i < n; ++i) {
        r <<= 1;
        if (r & 0x10000u) r ^= 0x11021u;
    }
    std::uint64_t spread = 0;
    for (unsigned d = 0; d < 16; ++d) {
        if ((r >> d) & 1u) spread |= std::uint64_t{1} << (63 - d);
    }
    return spread;
}

struct FoldPair {
    std::uint64_t low;   // multiplies the lane's low half
    std::uint64_t high;  // multiplies its high half
};
constexpr FoldPair Fold(unsigned bits) { return FoldPair{FoldConstant(bits + 63), FoldConstant(bits - 1)}; }

constexpr FoldPair kFold128 = Fold(128);
constexpr FoldPair kFold256 = Fold(256);
constexpr FoldPair kFold384 = Fold(384);
constexpr FoldPair kFold512 = Fold(512);

__attribute__((target("pclmul,sse4.1"))) inline __m128i FoldLane(__m128i lane, __m128i constants) {
    return _mm_xor_si128(_mm_clmulepi64_si128(lane, constants, 0x00), _mm_clmulepi64_si128(lane, constants, 0x11));
}

__attribute__((target("pclmul,sse4.1"))) inline __m128i Constants(FoldPair pair) {
    return _mm_set_epi64x(static_cast<long long>(pair.high), static_cast<long long>(pair.low));
}

__attribute__((target("pclmul,sse4.1"))) inline __m128i Load(const unsigned char* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// At least 32 bytes.
__attribute__((target("pclmul,sse4.1"))) std::uint16_t CarrylessChecksum(const unsigned char* data,
                                                                          std::size_t length) {
    const __m128i start = _mm_cvtsi32_si128(0xFFFF);
    __m128i x;
    if (length >= 128) {
        // Four lanes side by side, so that the multiplications overlap.
        __m128i a = _mm_xor_si128(Load(data), start);
        __m128i b = Load(data + 16);
        __m128i c = Load(data + 32);
        __m128i d = Load(data + 48);
        data += 64;
        const __m128i k512 = Constants(kFold512);
        for (std::size_t blocks = length / 64 - 1; blocks > 0; --blocks, data += 64) {
            a = _mm_xor_si128(FoldLane(a, k512), Load(data));
            b = _mm_xor_si128(FoldLane(b, k512), Load(data + 16));
            c = _mm_xor_si128(FoldLane(c, k512), Load(data + 32));
            d = _mm_xor_si128(FoldLane(d, k512), Load(data + 48));
        }
        length %= 64;
        x = _mm_xor_si128(_mm_xor_si128(FoldLane(a, Constants(kFold384)), FoldLane(b, Constants(kFold256))),
                          _mm_xor_si128(FoldLane(c, Constants(kFold128)), d));
    } else {
        x = _mm_xor_si128(Load(data), start);
        data += 16;
        length -= 16;
    }
    const __m128i k128 = Constants(kFold128);
    for (std::size_t blocks = length / 16; blocks > 0; --blocks, data += 16) x = _mm_xor_si128(FoldLane(x, k128), Load(data));
    length %= 16;
    alignas(16) unsigned char rest[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(rest), x);
    return SliceChecksum(SliceChecksum(0, rest, sizeof rest), data, length);
}

bool CpuHasCarrylessMultiply() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    __get_cpuid(1, &eax, &ebx, &ecx, &edx);  // without leaf 1 the registers stay 0: no feature
    const bool sse2 = (edx >> 26) & 1u;
    const bool pclmul = (ecx >> 1) & 1u;
    const bool sse41 = (ecx >> 19) & 1u;
    return sse2 && pclmul && sse41;
}

#else

bool CpuHasCarrylessMultiply() { return false; }

#endif

// -1 until the first checksum asks the CPU; then 1 when the carry-less path
// is taken, 0 when the tables are.
std::atomic<int> g_carryless{-1};

bool CarrylessInUse() {
    int state = g_carryless.load(std::memory_order_relaxed);
    if (state < 0) {
        state = CpuHasCarrylessMultiply();
        g_carryless.store(state, std::memory_order_relaxed);
    }
    return state == 1;
}

// Below this the tables are as quick.
constexpr std::uint32_t kCarrylessMinimum = 32;

}  // namespace

std::uint16_t CalculateCRC(const unsigned char* data, std::uint32_t length) {
#if defined(XQOVA_CARRYLESS_CHECKSUM)
    if (length >= kCarrylessMinimum && CarrylessInUse()) return CarrylessChecksum(data, length);
#endif
    return SliceChecksum(0xFFFF, data, length);
}

namespace xqova {

namespace {
bool g_enforceNestedChecksums = false;  // fuzzing builds only
}  // namespace

void fuzzing::EnforceNestedChecksums(bool on) { g_enforceNestedChecksums = on; }

#if defined(XQOVA_FUZZ_SKIP_CHECKSUMS)
bool ChecksumHolds(const unsigned char* data, std::uint32_t length, bool nested) {
    if (nested && g_enforceNestedChecksums) return CalculateCRC(data, length) == ReadInt16(data + length);
    return ChecksumHolds(data, length);
}
#endif

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

bool checksum_paths::CarrylessAvailable() { return CpuHasCarrylessMultiply(); }

bool checksum_paths::UseCarryless(bool on) {
    const bool before = CarrylessInUse();
    g_carryless.store(on && CpuHasCarrylessMultiply(), std::memory_order_relaxed);
    return before;
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
