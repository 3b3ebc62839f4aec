// Hashing of identifiers and names that come from outside, inside the
// library (the identifier index, the table builder's name index).
#ifndef XQOVA_DICTIONARY_HASHING_H
#define XQOVA_DICTIONARY_HASHING_H

#include <cstdint>

namespace xqova {

// A 64-bit seed that differs between calls and between processes (it mixes
// a counter with addresses), for hashes that outside data should not be able
// to predict.
std::uint64_t HashSeed(const void* owner);
// Scrambles 64 bits (a bijection).
std::uint64_t Mix64(std::uint64_t x);

}  // namespace xqova

#endif
