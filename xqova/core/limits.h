// Limits that keep hostile input from exhausting the stack or memory, in one
// place. Each line names the attack it stops.
#ifndef XQOVA_CORE_LIMITS_H
#define XQOVA_CORE_LIMITS_H

#include <cstddef>
#include <cstdint>

namespace xqova {

// Objects nested inside objects (OBJECT members, vector elements, base-class
// parts). Stops a definition that names its own class, directly or through a
// cycle of added definitions, from recursing without end at construction, and
// an encoding nested thousands of levels deep from exhausting the stack while
// it is decoded.
constexpr unsigned kMaxNestingDepth = 32;

// The default budget of one object operation (a construction with its
// decode, a Deserialize, a Copy, a vector's Insert or Copy): objects it may
// create and bytes it may allocate, nested objects, vector elements and member
// buffers included (xqova/core/budget.h; a host sets its own with
// xqova::ScopedConstructionBudget). Stops definitions whose members hold two
// or more objects of the next class (a host's set of definitions, or one that
// names itself twice) from building 2^32 objects within the nesting limit,
// large fixed arrays in such objects from taking gigabytes, and an encoding
// from making a decode build more than a budget's worth of vector elements.
// A built-in class takes at most 11 objects and 8 KB at any version; a decode
// of a vector of 65,535 small elements (13 bytes each on the wire) takes
// 65,536 objects and about 15 MB on a 64-bit host.
constexpr std::uint32_t kDefaultObjectBudget = 1u << 18;
constexpr std::uint64_t kDefaultByteBudget = std::uint64_t{64} << 20;

// Smallest encoding of one object: identifier, 2-byte length, version,
// status, fixed size and checksum. A vector count in an encoding is refused
// when the bytes that remain cannot hold that many elements of this size, so
// a 4-byte count cannot make the decoder allocate 65,535 objects from a
// handful of bytes.
constexpr std::size_t kMinObjectEncoding = 13;

// Smallest well-formed language table (id, count, size, checksum) and link
// table (id, size, counts and one entry, checksum). A stated table size below
// these would make the checksum test read outside the table.
constexpr std::size_t kMinLanguageTable = 9;
constexpr std::size_t kMinLinkTable = 16;

// Smallest payload of a message frame: version, flag byte, static length and
// checksum. A stream reader takes a shorter stated length for noise, so a run
// of zero bytes cannot pass for a stream of empty frames.
constexpr std::uint32_t kMinFramePayload = 7;

// Largest frame that the stream reader with its own buffer assembles (and the
// size of that buffer). Bounds the bytes one false length field can make the
// reader wait for while it resynchronises; hosts that need longer frames give
// the reader a larger buffer of their own.
constexpr std::uint32_t kFrameStreamBufferSize = 4096;

}  // namespace xqova

#endif
