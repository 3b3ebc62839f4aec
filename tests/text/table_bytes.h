// Language and link tables written byte by byte for the tests, and base
// chains of definition blocks.
#ifndef XQOVA_TESTS_TEXT_TABLE_BYTES_H
#define XQOVA_TESTS_TEXT_TABLE_BYTES_H

#include <string>
#include <utility>
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

// A base chain of TableEntry_s over definition blocks, in the given order.
class Chain {
public:
    explicit Chain(std::vector<Bytes> blocks) : blocks_(std::move(blocks)), nodes_(blocks_.size()) {
        for (std::size_t i = 0; i < blocks_.size(); ++i) {
            nodes_[i] = {blocks_[i].data(), i + 1 < blocks_.size() ? &nodes_[i + 1] : nullptr};
        }
    }
    Chain(const Chain&) = delete;
    Chain& operator=(const Chain&) = delete;
    void* Head() { return nodes_.data(); }

private:
    std::vector<Bytes> blocks_;
    std::vector<TableEntry_s> nodes_;
};

}  // namespace text_test

#endif
