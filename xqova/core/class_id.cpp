#include "xqova/core/class_id.h"

#include "xqova/core/bytes.h"

std::uint32_t MakeClassID(std::uint16_t family, std::uint8_t genus, std::uint8_t species) {
    return (static_cast<std::uint32_t>(family) << 16) | (static_cast<std::uint32_t>(genus) << 8) | species;
}

std::uint16_t GetFamily(std::uint32_t id) { return static_cast<std::uint16_t>(id >> 16); }
std::uint8_t GetGenus(std::uint32_t id) { return static_cast<std::uint8_t>((id >> 8) & 0xFF); }
std::uint8_t GetSpecies(std::uint32_t id) { return static_cast<std::uint8_t>(id & 0xFF); }

std::uint32_t GetClassID(const unsigned char* p) { return ReadInt32(p); }
std::uint16_t GetFamily(const unsigned char* p) { return ReadInt16(p); }
std::uint8_t GetGenus(const unsigned char* p) { return p[2]; }
std::uint8_t GetSpecies(const unsigned char* p) { return p[3]; }

std::uint16_t ReadInt16(const unsigned char* p) { return xqova::LoadBig16(p); }

std::uint32_t ReadInt32(const unsigned char* p) { return xqova::LoadBig32(p); }

void WriteInt16(unsigned char* p, std::uint16_t v) { xqova::StoreBig16(p, v); }

void WriteInt32(unsigned char* p, std::uint32_t v) { xqova::StoreBig32(p, v); }
