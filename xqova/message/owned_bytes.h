// Storage of the messages' variable fields, and the steps their getters,
// setters, copies and decodes share.
//
// An owned field is a pointer and a 16-bit length that always agree: the
// pointer is null exactly when the length is 0.
#ifndef XQOVA_MESSAGE_OWNED_BYTES_H
#define XQOVA_MESSAGE_OWNED_BYTES_H

#include <cstdint>

#include "xqova/message/byte_queue.h"

namespace xqova {

// A new block of `count` bytes copied from `source` (zero-filled when
// `source` is null), followed by one zero byte that is not counted, so that a
// text field is terminated whatever bytes it received. Null when `count` is 0
// or memory runs out; the caller tells the two apart by `count`.
unsigned char* NewOwnedBytes(const unsigned char* source, std::uint16_t count);

// Frees a block from NewOwnedBytes (or Allocate) and nulls the pointer.
void ReleaseOwnedBytes(unsigned char*& bytes);

// Replaces a field with a new block of `count` bytes from `source` (zeros
// when `source` is null); a count of 0 empties it. 0, the field unchanged,
// when memory runs out; else 1.
unsigned char ReplaceOwnedBytes(unsigned char*& field, std::uint16_t& length, const unsigned char* source,
                                std::uint16_t count);

// A byte field's setter: a copy of `count` bytes, or an empty field for a
// null pointer or a count of 0. 0, the field unchanged, when memory runs out.
unsigned char SetOwnedBytes(unsigned char*& field, std::uint16_t& length, const unsigned char* bytes,
                            std::uint16_t count);

// The field a copied message takes: its own copy of the other's bytes, or an
// empty field when memory runs out.
void CopyOwnedBytes(unsigned char*& field, std::uint16_t& length, const unsigned char* source, std::uint16_t count);

// A decode's step for a field the frame gives as its 16-bit length and then
// its bytes, which the frame must supply in full and which must leave at
// least the two checksum bytes after the length. False when the frame cannot
// or memory runs out.
bool ReadOwnedRun(uint8QManager* queue, unsigned char*& field, std::uint16_t& length);

// *size = value, for getters whose size argument may be null.
void StoreSize(std::uint16_t* size, std::uint16_t value);

// A message's 16-byte device identifier: cleared, then `count` bytes copied
// to its front when `bytes` is given and `count` is at most 16. 0 when
// `count` is larger (the identifier stays clear), else 1.
unsigned char SetDeviceIdentifier(unsigned char (&guid)[16], const unsigned char* bytes, std::uint16_t count);

}  // namespace xqova

#endif
