#include "xqova/text/table_builder.h"

#include <cstring>

#include "xqova/core/class_id.h"
#include "xqova/core/crc16.h"
#include "xqova/core/memory.h"
#include "xqova/dictionary/definition.h"
#include "xqova/dictionary/hashing.h"
#include "xqova/dictionary/id_index.h"
#include "xqova/text/table_format.h"

namespace {

constexpr std::uint32_t kMaxStrings = 0xFFFF;

std::uint16_t EntryCount(const void* block) {
    const unsigned char* text = static_cast<const unsigned char*>(block) + xqova::DefinitionTextOffset(block);
    return ReadInt16(text + 2);
}

// The text entry index that selects entry k (the inverse of the count from
// the end): k itself below M, else M - k - 1 modulo 65536.
std::uint16_t IndexOfEntry(std::uint16_t members, std::uint16_t k) {
    return k < members ? k : static_cast<std::uint16_t>(members - k - 1);
}

bool HasText(const void* block) { return xqova::DefinitionXMLSize(block) != 0; }

// The definitions that lookups find: the first of each class id in walk
// order. Those of them with text give link tables.
struct Sources {
    const void** blocks = nullptr;
    std::uint16_t count = 0;
};

bool CollectSources(const CXQOVADictionary* dictionary, Sources* sources) {
    // The scope is named rather than set: building never changes the
    // dictionary. Each class id is remembered once, so the walk stays linear.
    const std::uint16_t total = dictionary->GetDefinitionCount(SEARCH_MODE_ALL);
    xqova::IdIndex seen;
    sources->blocks = static_cast<const void**>(xqova::Allocate(sizeof(void*) * (total == 0 ? 1u : total)));
    if (sources->blocks == nullptr || !seen.Reserve(total)) return false;
    for (std::uint16_t i = 0; i < total; ++i) {
        const void* block = dictionary->GetDefinitionAt(i, SEARCH_MODE_ALL);  // below the count: never null
        const std::uint32_t id = DefinitionClassID(block);
        if (seen.Find(id) != nullptr) continue;
        seen.Set(id, const_cast<void*>(block));
        sources->blocks[sources->count++] = block;
    }
    return true;
}

// A definition's link table: its size, and the number of names it refers to.
struct LinkShape {
    std::size_t size;
    std::size_t names;
};

LinkShape LinkTableShape(const void* block) {
    const std::uint16_t members = xqova::DefinitionMemberCount(block);
    const std::uint16_t entries = EntryCount(block);
    LinkShape shape{xqova::LinkHeaderSize(entries) + 2, entries};
    for (std::uint16_t k = 0; k < entries; ++k) {
        const std::uint16_t pairs = xqova::DefinitionEnumerationSize(block, IndexOfEntry(members, k));
        if (pairs != 0) shape.size += 2 + 4u * std::size_t{pairs};
        shape.names += pairs;
    }
    return shape;
}

// Distinct names, numbered in the order they were first met. The names stay
// in their definitions; only pointers are kept.
class NamePool {
public:
    ~NamePool() {
        xqova::Release(names_);
        xqova::Release(lengths_);
        xqova::Release(slots_);
    }

    bool Reserve(std::size_t names) {
        std::size_t slots = 16;
        while (slots < 2 * names) slots *= 2;
        names_ = static_cast<const char**>(xqova::Allocate(sizeof(const char*) * (names == 0 ? 1 : names)));
        lengths_ = static_cast<std::size_t*>(xqova::Allocate(sizeof(std::size_t) * (names == 0 ? 1 : names)));
        slots_ = static_cast<std::uint32_t*>(xqova::Allocate(sizeof(std::uint32_t) * slots));
        if (names_ == nullptr || lengths_ == nullptr || slots_ == nullptr) return false;
        std::memset(slots_, 0, sizeof(std::uint32_t) * slots);
        mask_ = slots - 1;
        return true;
    }

    // The number of `name`, numbering it when it is new; false when the
    // numbers run out. Every entry and pair of a definition with text names
    // a string, so `name` is never null.
    bool Number(const char* name, std::uint16_t* number) {
        const std::size_t length = std::strlen(name);
        // Names come from outside: the hash starts from a seed of this pool.
        std::uint64_t state = seed_;
        for (std::size_t i = 0; i < length; ++i) state = xqova::Mix64(state ^ static_cast<unsigned char>(name[i]));
        const std::size_t hash = static_cast<std::size_t>(state);
        for (std::size_t slot = hash & mask_;; slot = (slot + 1) & mask_) {
            const std::uint32_t held = slots_[slot];
            if (held == 0) break;
            const std::uint32_t k = held - 1;
            if (lengths_[k] == length && std::memcmp(names_[k], name, length) == 0) {
                *number = static_cast<std::uint16_t>(k);
                return true;
            }
        }
        if (count_ >= kMaxStrings) return false;
        std::size_t slot = hash & mask_;
        while (slots_[slot] != 0) slot = (slot + 1) & mask_;
        names_[count_] = name;
        lengths_[count_] = length;
        slots_[slot] = count_ + 1;
        textBytes_ += length + 1;
        *number = static_cast<std::uint16_t>(count_++);
        return true;
    }

    std::uint32_t Count() const { return count_; }
    const char* Name(std::uint32_t k) const { return names_[k]; }
    std::size_t Length(std::uint32_t k) const { return lengths_[k]; }
    std::size_t TextBytes() const { return textBytes_; }

private:
    const char** names_ = nullptr;
    std::size_t* lengths_ = nullptr;
    std::uint32_t* slots_ = nullptr;  // index + 1 of a name, 0 for a free slot
    std::size_t mask_{};
    std::uint32_t count_{};
    std::size_t textBytes_{};
    std::uint64_t seed_ = xqova::HashSeed(this);
};

// Numbers the names of entry k and writes them into the link table.
bool WriteEntryNames(const void* block, std::uint16_t k, unsigned char* table, NamePool* pool) {
    const std::uint16_t index = IndexOfEntry(xqova::DefinitionMemberCount(block), k);
    unsigned char* entry = table + xqova::kLinkEntriesField + 4u * k;
    std::uint16_t number;
    if (!pool->Number(xqova::DefinitionText(block, index), &number)) return false;
    WriteInt16(entry + 2, number);

    const std::uint16_t enumOffset = ReadInt16(entry);
    if (enumOffset == xqova::kNoEnumeration) return true;
    const std::uint16_t pairs = xqova::DefinitionEnumerationSize(block, index);
    for (std::uint16_t p = 0; p < pairs; ++p) {
        const auto read = xqova::DefinitionEnumerationPair(block, index, p);
        if (!read || !pool->Number(read->name, &number)) return false;
        unsigned char* pair = table + enumOffset + 2 + 4u * p;
        WriteInt16(pair, read->value);
        WriteInt16(pair + 2, number);
    }
    return true;
}

void Stamp(unsigned char* table, std::size_t size) {
    WriteInt16(table + size - 2, CalculateCRC(table, static_cast<std::uint32_t>(size - 2)));
}

// Writes the link table of one definition at `table` (`size` bytes): the
// layout first, then the names in numbering order.
bool WriteLinkTable(const void* block, unsigned char* table, std::size_t size, NamePool* pool) {
    const std::uint16_t members = xqova::DefinitionMemberCount(block);
    const std::uint16_t entries = EntryCount(block);
    std::memset(table, 0, size);
    WriteInt32(table, DefinitionClassID(block));
    WriteInt16(table + xqova::kLinkSizeField, static_cast<std::uint16_t>(size));
    WriteInt16(table + xqova::kLinkMemberCountField, members);
    WriteInt16(table + xqova::kLinkEntryCountField, entries);
    std::size_t next = xqova::LinkHeaderSize(entries);
    for (std::uint16_t k = 0; k < entries; ++k) {
        unsigned char* entry = table + xqova::kLinkEntriesField + 4u * k;
        const std::uint16_t pairs = xqova::DefinitionEnumerationSize(block, IndexOfEntry(members, k));
        if (pairs == 0) {
            WriteInt16(entry, xqova::kNoEnumeration);
            continue;
        }
        WriteInt16(entry, static_cast<std::uint16_t>(next));
        next += 2 + 4u * std::size_t{pairs};
        WriteInt16(table + ReadInt16(entry), static_cast<std::uint16_t>(next));
    }

    // The class entry first (class and species names), then the members,
    // then the further named enumerations. A definition with text has the
    // class entry past its members.
    if (!WriteEntryNames(block, members, table, pool)) return false;
    for (std::uint16_t k = 0; k < entries; ++k) {
        if (k != members && !WriteEntryNames(block, k, table, pool)) return false;
    }
    Stamp(table, size);
    return true;
}

}  // namespace

// A new builder holds what Clear leaves.
CXQOVATableBuilder::CXQOVATableBuilder() : language_(nullptr), links_(nullptr) { Clear(); }

CXQOVATableBuilder::~CXQOVATableBuilder() { Clear(); }

void CXQOVATableBuilder::Clear() {
    xqova::Release(language_);
    xqova::Release(links_);
    language_ = nullptr;
    links_ = nullptr;
    languageSize_ = 0;
    linksSize_ = 0;
    linkCount_ = 0;
}

std::uint8_t CXQOVATableBuilder::Build(const CXQOVADictionary* dictionary, std::uint8_t languageId) {
    Clear();
    if (dictionary == nullptr) return 0;
    // A collection that runs out of memory leaves no sources; the build then
    // fails below as it does for any other allocation.
    Sources sources;
    const bool collected = CollectSources(dictionary, &sources);

    // Sizes are summed in 64 bits: a link table is at most 65,535 bytes, a
    // language table at most 4 GiB.
    std::size_t names = 0;
    std::uint64_t linksSize = 0;
    bool fits = true;
    std::uint16_t linkCount = 0;
    for (std::uint16_t i = 0; i < sources.count; ++i) {
        if (!HasText(sources.blocks[i])) continue;
        ++linkCount;
        const LinkShape shape = LinkTableShape(sources.blocks[i]);
        names += shape.names;
        fits = fits && shape.size <= 0xFFFF;
        linksSize += shape.size;
    }

    NamePool pool;
    unsigned char* links = nullptr;
    bool written = collected && fits && pool.Reserve(names);
    if (written) {
        links = static_cast<unsigned char*>(xqova::Allocate(static_cast<std::size_t>(linksSize)));
        written = links != nullptr;
    }
    std::size_t offset = 0;
    for (std::uint16_t i = 0; i < sources.count && written; ++i) {
        if (!HasText(sources.blocks[i])) continue;
        const std::size_t size = LinkTableShape(sources.blocks[i]).size;
        written = WriteLinkTable(sources.blocks[i], links + offset, size, &pool);
        offset += size;
    }
    xqova::Release(sources.blocks);

    const std::uint32_t count = pool.Count();
    const std::uint64_t header = xqova::LanguageHeaderSize(static_cast<std::uint16_t>(count));
    const std::uint64_t languageSize = header + pool.TextBytes() + 2;
    unsigned char* language = nullptr;
    if (written && languageSize <= 0xFFFFFFFFu) {
        language = static_cast<unsigned char*>(xqova::Allocate(static_cast<std::size_t>(languageSize)));
    }
    if (language == nullptr) {
        xqova::Release(links);
        return 0;
    }

    language[0] = languageId;
    WriteInt16(language + xqova::kLanguageCountField, static_cast<std::uint16_t>(count));
    WriteInt32(language + xqova::LanguageSizeField(static_cast<std::uint16_t>(count)),
               static_cast<std::uint32_t>(languageSize));
    std::size_t at = static_cast<std::size_t>(header);
    for (std::uint32_t k = 0; k < count; ++k) {
        WriteInt32(language + xqova::kLanguageOffsetsField + 4u * k, static_cast<std::uint32_t>(at));
        std::memcpy(language + at, pool.Name(k), pool.Length(k) + 1);
        at += pool.Length(k) + 1;
    }
    Stamp(language, static_cast<std::size_t>(languageSize));

    language_ = language;
    languageSize_ = static_cast<std::uint32_t>(languageSize);
    if (linksSize == 0) {
        xqova::Release(links);
        links = nullptr;
    }
    links_ = links;
    linksSize_ = static_cast<std::uint32_t>(linksSize);
    linkCount_ = linkCount;
    return 1;
}
