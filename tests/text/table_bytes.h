// Language and link tables written byte by byte for the tests, and the
// smallest definition block.
#ifndef XQOVA_TESTS_TEXT_TABLE_BYTES_H
#define XQOVA_TESTS_TEXT_TABLE_BYTES_H

#include <string>
#include <vector>

#include "xqova/core/class_id.h"
#include "xqova/core/crc16.h"
#include "xqova/core/types.h"

namespace text_test {

using Bytes = std::vector<unsigned char>;

inline void Put(Bytes* b, std::uint32_t v, int width) {
    for (int i = width - 1; i >= 0; --i) b->push_back(static_cast<unsigned char>(v >> (8 * i)));
}

// Writes the checksum of the first size - 2 bytes into the last two.
inline void Stamp(Bytes* b) { WriteInt16(b->data() + b->size() - 2, CalculateCRC(b->data(), b->size() - 2)); }

inline Bytes LanguageTable(std::uint8_t id, const std::vector<std::string>& strings) {
    Bytes b{id};
    Put(&b, strings.size(), 2);
    std::size_t at = 7 + 4 * strings.size(), size = at + 2;
    for (const std::string& s : strings) size += s.size() + 1;
    for (const std::string& s : strings) Put(&b, at, 4), at += s.size() + 1;
    Put(&b, size, 4);
    for (const std::string& s : strings) b.insert(b.end(), s.c_str(), s.c_str() + s.size() + 1);
    Put(&b, 0, 2);
    Stamp(&b);
    return b;
}

// One entry: its string number and, when `enumerators` is not empty, its
// enumeration table of {value, string number} pairs.
struct LinkEntry {
    std::uint16_t stringNumber;
    std::vector<std::pair<std::uint16_t, std::uint16_t>> enumerators;
};

inline Bytes LinkTable(std::uint32_t classId, std::uint16_t members, const std::vector<LinkEntry>& entries) {
    Bytes b;
    Put(&b, classId, 4);
    Put(&b, 0, 2);  // the size, written below
    Put(&b, members, 2);
    Put(&b, entries.size(), 2);
    std::size_t next = 10 + 4 * entries.size();
    for (const LinkEntry& e : entries) {
        Put(&b, e.enumerators.empty() ? 0xFFFF : next, 2);
        Put(&b, e.stringNumber, 2);
        if (!e.enumerators.empty()) next += 2 + 4 * e.enumerators.size();
    }
    for (const LinkEntry& e : entries) {
        if (e.enumerators.empty()) continue;
        Put(&b, b.size() + 2 + 4 * e.enumerators.size(), 2);
        for (const auto& pair : e.enumerators) Put(&b, pair.first, 2), Put(&b, pair.second, 2);
    }
    Put(&b, 0, 2);
    WriteInt16(b.data() + 4, static_cast<std::uint16_t>(b.size()));
    Stamp(&b);
    return b;
}

// The smallest definition: one species, no members, no text (17 bytes).
inline Bytes TinyDefinition(std::uint32_t classId) {
    Bytes b(17, 0);
    b[0] = 1;
    WriteInt32(b.data() + 1, classId);
    WriteInt16(b.data() + 5, 100);  // version
    WriteInt16(b.data() + 7, 15);   // text offset: right after the header
    WriteInt16(b.data() + 9, 17);   // full size
    Stamp(&b);
    return b;
}

}  // namespace text_test

#endif
