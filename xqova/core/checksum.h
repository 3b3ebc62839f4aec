// The checksum's building blocks inside the library: the stored-checksum
// tests the decoders use, the register step by step for streams, the choice
// between carry-less multiplication and tables, and the fuzzing switch.
// Not installed: hosts use CalculateCRC.
#ifndef XQOVA_CORE_CHECKSUM_H
#define XQOVA_CORE_CHECKSUM_H

#include <cstdint>

#include "xqova/core/crc16.h"

namespace xqova {
// True when the two bytes after `length` bytes of `data` hold their checksum,
// big-endian. Reads exactly length + 2 bytes.
bool ChecksumHolds(const unsigned char* data, std::uint32_t length);
// The same test for an object encoding, `nested` in another (a nested object,
// a vector element, whose enclosing checksum has already held) or not. Only
// fuzzing builds tell the two apart.
#if defined(XQOVA_FUZZ_SKIP_CHECKSUMS)
bool ChecksumHolds(const unsigned char* data, std::uint32_t length, bool nested);
#else
inline bool ChecksumHolds(const unsigned char* data, std::uint32_t length, bool /*nested*/) {
    return ChecksumHolds(data, length);
}
#endif
// True when a checksum computed some other way equals the stored one (the
// same test, for callers that compute the checksum incrementally).
bool ChecksumEquals(std::uint16_t computed, std::uint16_t stored);

// The checksum register, step by step. The register is affine in what it
// has read: after bytes D from a start s it is
//   ChecksumSkip(s, |D|) ^ (the register after D from 0),
// so the checksum of any stretch of a stream follows from the registers at
// its two ends, kept as the stream goes by, in O(log |D|) steps:
//   checksum(D) = ChecksumSkip(0xFFFF ^ before, |D|) ^ after.
std::uint16_t ChecksumStep(std::uint16_t crc, unsigned char byte);
// The register after `count` zero bytes from `crc`.
std::uint16_t ChecksumSkip(std::uint16_t crc, std::uint64_t count);

// The checksum is computed by carry-less multiplication where the CPU has it
// (x86 with PCLMULQDQ and SSE4.1, asked at run time), else by tables; both
// give the same value. Tests compare the two on one machine.
namespace checksum_paths {
bool CarrylessAvailable();
// Takes the carry-less path (when available) or the tables from now on, for
// every thread; returns whether the carry-less path was taken before.
bool UseCarryless(bool on);
}  // namespace checksum_paths

namespace fuzzing {
// Fuzzing builds (XQOVA_FUZZ_SKIP_CHECKSUMS) accept every checksum, so that
// the fuzzers reach the code behind them. With this switched on they still
// accept the outermost checksums but check those of nested encodings, so
// that the paths a nested checksum failure takes are reached too. In every
// other build all checksums are checked and this does nothing.
void EnforceNestedChecksums(bool on);
}  // namespace fuzzing
}  // namespace xqova

#endif
