// Internal byte routines through which stored numbers are read and written.
#ifndef XQOVA_CORE_BYTES_H
#define XQOVA_CORE_BYTES_H

#include <cstdint>

namespace xqova {

// destination[i] = source[i] for i < count and i < capacity. Nothing happens
// when either pointer is null or the capacity is 0.
void CopyBytes(void* destination, std::uint16_t capacity, const void* source, std::uint16_t count);

// destination[i] = source[count - 1 - i] for i < count and i < capacity: the
// big-endian reader and writer. Bytes of the destination beyond those copied
// keep their content.
void CopyBytesReversed(void* destination, std::uint16_t capacity, const void* source, std::uint16_t count);

// Compares a[i] with b[count - 1 - i]: 0 when all agree (or count is 0), count
// when a pointer is null, else count - i for the first i that differs. Against
// a stored class identifier and a host one, 1 means that only the species
// differs.
std::uint16_t CompareBytesReversed(const void* a, const void* b, std::uint16_t count);

}  // namespace xqova

#endif
