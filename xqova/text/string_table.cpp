#include "xqova/text/string_table.h"

#include "xqova/core/class_id.h"
#include "xqova/core/limits.h"
#include "xqova/dictionary/definition.h"
#include "xqova/text/table_builder.h"
#include "xqova/text/table_format.h"

namespace {

const unsigned char* Bytes(const void* p) { return static_cast<const unsigned char*>(p); }

// The bulk walk shared by both kinds: each block's stated size moves the
// walk on; a refused block, including one whose size cannot be read, is
// smaller than its header or runs past the buffer, ends it.
template <class Add, class StatedSize>
std::uint16_t AddBackToBack(const void* tables, std::uint32_t size, Add add, StatedSize statedSize) {
    if (tables == nullptr || size == 0) return 0;
    std::uint32_t offset = 0;
    std::uint16_t stored = 0;
    while (offset < size) {
        const unsigned char* table = Bytes(tables) + offset;
        const std::size_t remaining = size - offset;
        if (add(table, remaining) == nullptr) return stored;
        // A stored table passed the structure check, so its size is at least
        // the minimum and within the remaining bytes: the walk moves on.
        offset += static_cast<std::uint32_t>(statedSize(table, remaining));
        if (stored < 0xFFFE) ++stored;  // 0xFFFF is kept for "all taken"
    }
    return xqova::kAllTaken;  // every table ended within the buffer, the last at its end
}

}  // namespace

CXQOVAStringTable::CXQOVAStringTable(void* languageChain, void* linkChain, CXQOVADictionary* dictionary)
    : languages_(static_cast<TableEntry_s*>(languageChain)),
      links_(static_cast<TableEntry_s*>(linkChain)),
      dictionary_(dictionary) {}

void* CXQOVAStringTable::AddLanguageTable(const void* table) {
    // A null table has size 0, which the check refuses.
    return AddLanguageTable(table, languages_.TableSize(Bytes(table)));
}

void* CXQOVAStringTable::AddLanguageTable(const void* table, std::size_t available) {
    if (!xqova::LanguageTableIsWellFormed(Bytes(table), available)) return nullptr;
    return languages_.AddTable(Bytes(table));
}

void* CXQOVAStringTable::AddLinkTable(const void* table) {
    // A null table has size 0, which the check refuses.
    return AddLinkTable(table, links_.TableSize(Bytes(table)));
}

void* CXQOVAStringTable::AddLinkTable(const void* table, std::size_t available) {
    if (!xqova::LinkTableIsWellFormed(Bytes(table), available)) return nullptr;
    return links_.AddTable(Bytes(table));
}

std::uint16_t CXQOVAStringTable::AddLanguageTables(const void* tables, std::uint32_t size) {
    return AddBackToBack(
        tables, size, [this](const unsigned char* t, std::size_t n) { return AddLanguageTable(t, n); },
        xqova::LanguageTableStatedSize);
}

std::uint16_t CXQOVAStringTable::AddLinkTables(const void* tables, std::uint32_t size) {
    return AddBackToBack(
        tables, size, [this](const unsigned char* t, std::size_t n) { return AddLinkTable(t, n); },
        xqova::LinkTableStatedSize);
}

std::uint8_t CXQOVAStringTable::AddDictionaryTables(CXQOVADictionary* dictionary, std::uint8_t languageId) {
    if (dictionary == nullptr || !languages_.Empty() || !links_.Empty()) return 0;
    CXQOVATableBuilder builder;
    if (!builder.Build(dictionary, languageId)) return 0;
    if (AddLanguageTable(builder.LanguageTable(), builder.LanguageTableSize()) == nullptr) return 0;
    if (builder.LinkTableCount() != 0 &&
        AddLinkTables(builder.LinkTables(), builder.LinkTablesSize()) != xqova::kAllTaken) {
        return 0;
    }
    dictionary_ = dictionary;
    return 1;
}

std::uint8_t CXQOVAStringTable::SetLanguageID(std::uint8_t languageId) {
    return languages_.SetTable(languageId) != nullptr ? 1 : 0;
}

std::uint8_t CXQOVAStringTable::GetLanguageID() const {
    const unsigned char* current = languages_.CurrentTable();
    return current == nullptr ? xqova::kCurrentLanguage : current[0];
}

void* CXQOVAStringTable::GetLanguageTable(std::uint8_t languageId) const { return languages_.GetTable(languageId); }

void* CXQOVAStringTable::GetLinkTable(std::uint32_t classId) const { return links_.Lookup(classId); }

const char* CXQOVAStringTable::GetString(std::uint16_t stringNumber, std::uint8_t languageId) const {
    const unsigned char* table =
        languageId == xqova::kCurrentLanguage ? languages_.CurrentTable() : languages_.GetTable(languageId);
    return xqova::LanguageString(table, stringNumber);
}

const unsigned char* CXQOVAStringTable::FindEntry(std::uint32_t classId, std::uint16_t memberId,
                                                  std::uint16_t* enumOffset, std::uint16_t* stringNumber) const {
    if (dictionary_ == nullptr) return nullptr;
    // Every species a definition serves shares the link table of its first.
    const void* definition = dictionary_->GetDefinition(classId);
    if (definition != nullptr) classId = DefinitionClassID(definition);

    std::uint16_t resolvedMember = memberId;
    std::uint32_t resolvedClass = classId;
    if (RealMemberID(&resolvedMember, &resolvedClass)) {
        memberId = resolvedMember;
        classId = resolvedClass;
    }

    const unsigned char* link = links_.Lookup(classId);
    if (link == nullptr || !xqova::LinkEntry(link, memberId, enumOffset, stringNumber)) return nullptr;
    return link;
}

const char* CXQOVAStringTable::GetEnumerationString(std::uint32_t classId, std::uint16_t memberId,
                                                    std::uint8_t languageId) const {
    std::uint16_t enumOffset;
    std::uint16_t stringNumber;
    if (FindEntry(classId, memberId, &enumOffset, &stringNumber) == nullptr) return nullptr;
    return GetString(stringNumber, languageId);
}

const char* CXQOVAStringTable::GetMemberString(std::uint32_t classId, std::uint16_t memberId,
                                               std::uint8_t languageId) const {
    return GetEnumerationString(classId, memberId, languageId);
}

const char* CXQOVAStringTable::GetClassText(std::uint32_t classId, std::uint8_t languageId) const {
    return GetEnumerationString(classId, xqova::kClassEntry, languageId);
}

const char* CXQOVAStringTable::GetEnumeratorString(std::uint32_t classId, std::uint16_t memberId,
                                                   std::uint16_t value, std::uint8_t languageId) const {
    std::uint16_t enumOffset;
    std::uint16_t stringNumber;
    const unsigned char* link = FindEntry(classId, memberId, &enumOffset, &stringNumber);
    if (link == nullptr || !xqova::LinkEnumerator(link, enumOffset, value, &stringNumber)) return nullptr;
    return GetString(stringNumber, languageId);
}

const char* CXQOVAStringTable::GetSpeciesString(std::uint32_t classId, std::uint8_t species,
                                                std::uint8_t languageId) const {
    return GetEnumeratorString(classId, xqova::kClassEntry, species, languageId);
}

std::uint8_t CXQOVAStringTable::RealMemberID(std::uint16_t* memberId, std::uint32_t* classId) const {
    if (memberId == nullptr || classId == nullptr || dictionary_ == nullptr) return 0;
    // Only the base definitions take part; the lookups name that scope, so
    // the dictionary's own mode is never touched.
    return ResolveInBase(memberId, classId, 0);
}

std::uint8_t CXQOVAStringTable::ResolveInBase(std::uint16_t* memberId, std::uint32_t* classId,
                                              unsigned depth) const {
    // A chain deeper than any object may nest (or a cycle of base classes)
    // ends here as if its class had no definition.
    if (depth > xqova::kMaxNestingDepth) return 0;
    const void* definition = dictionary_->GetDefinition(*classId, SEARCH_MODE_BASE);
    if (definition == nullptr) return 0;

    std::uint32_t baseClass = xqova::kNoClass;
    if (xqova::DefinitionMember(definition, 0, &baseClass) == xqova::kTypeInherit) {
        *classId = baseClass;
        if (ResolveInBase(memberId, classId, depth + 1)) return 1;
    }
    // The member lies past the base chain: it is this class's own, or further
    // on. Identifiers name a definition's first species, whose link table
    // serves every species of the definition.
    *classId = DefinitionClassID(definition);
    const std::uint16_t members = xqova::DefinitionMemberCount(definition);
    if (*memberId < members) return 1;
    *memberId = static_cast<std::uint16_t>(*memberId - members);
    return 0;
}
