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

// Objects that one construction may create, nested ones and the elements of
// fixed-count vectors included. Within the nesting limit, definitions whose
// members hold two or more objects of the next class (a host's set of
// definitions, or one that names itself twice) would otherwise build 2^32
// objects; past the budget a nested member holds nothing, as after an
// allocation failure.
constexpr std::uint32_t kMaxObjectsPerConstruction = 65536;

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
