// Class identifiers and big-endian field access.
//
// A class identifier packs family (bits 31-16), genus (15-8) and species
// (7-0). Every stored or transmitted multi-byte number is big-endian; the
// readers and writers here convert to and from host values. The pointer forms
// do not test their pointer: the caller passes valid memory.
#ifndef XQOVA_CORE_CLASS_ID_H
#define XQOVA_CORE_CLASS_ID_H

#include <cstdint>

#include "xqova/core/export.h"

XQOVA_API std::uint32_t MakeClassID(std::uint16_t family, std::uint8_t genus, std::uint8_t species);
XQOVA_API std::uint16_t GetFamily(std::uint32_t id);
XQOVA_API std::uint8_t GetGenus(std::uint32_t id);
XQOVA_API std::uint8_t GetSpecies(std::uint32_t id);

XQOVA_API std::uint32_t GetClassID(const unsigned char* p);
XQOVA_API std::uint16_t GetFamily(const unsigned char* p);
XQOVA_API std::uint8_t GetGenus(const unsigned char* p);
XQOVA_API std::uint8_t GetSpecies(const unsigned char* p);

XQOVA_API std::uint16_t ReadInt16(const unsigned char* p);
XQOVA_API std::uint32_t ReadInt32(const unsigned char* p);
XQOVA_API void WriteInt16(unsigned char* p, std::uint16_t v);
XQOVA_API void WriteInt32(unsigned char* p, std::uint32_t v);

#endif
