// Storage of the messages' variable fields.
#ifndef XQOVA_MESSAGE_OWNED_BYTES_H
#define XQOVA_MESSAGE_OWNED_BYTES_H

#include <cstddef>

namespace xqova {

// A new block of `count` bytes copied from `source` (zero-filled when
// `source` is null), followed by one zero byte that is not counted, so that a
// text field is terminated whatever bytes it received. Null when `count` is 0
// or memory runs out; the caller tells the two apart by `count`.
unsigned char* NewOwnedBytes(const unsigned char* source, std::size_t count);

// Frees a block from NewOwnedBytes (or Allocate) and nulls the pointer.
void ReleaseOwnedBytes(unsigned char*& bytes);

// A message's 16-byte device identifier: cleared, then `count` bytes copied
// to its front when `bytes` is given and `count` is at most 16. 0 when
// `count` is larger (the identifier stays clear), else 1.
unsigned char SetDeviceIdentifier(unsigned char (&guid)[16], const unsigned char* bytes, std::size_t count);

}  // namespace xqova

#endif
