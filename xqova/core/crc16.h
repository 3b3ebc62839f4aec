// The 16-bit checksum that ends every definition, table, encoded object and
// message frame: CRC-16 with the reflected polynomial 0x8408, initial value
// 0xFFFF, no final XOR ("123456789" gives 0x6F91). Stored big-endian.
#ifndef XQOVA_CORE_CRC16_H
#define XQOVA_CORE_CRC16_H

#include <cstdint>

#include "xqova/core/export.h"

XQOVA_API std::uint16_t CalculateCRC(const unsigned char* data, std::uint32_t length);

#endif
