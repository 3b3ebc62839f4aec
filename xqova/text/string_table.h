// Localised names of classes, members, species and enumerators.
//
// A string table holds language tables (the strings of one language each)
// and link tables (one per class, mapping the class's text entries to string
// numbers), and a dictionary it does not own. A lookup takes a class id and a
// member identifier as an object uses them, resolves the identifier through
// the class's base definitions to the class that declares the member and its
// position there, reads the string number from that class's link table and
// returns that string of the wanted language. Language 0xFF stands for the
// current language; member identifier 0xFFFF for the class itself. There is
// no fallback to another language: a missing piece gives null.
//
// Returned strings point into the stored tables and stay valid until the
// table is replaced or the string table destroyed.
//
// Lookups are const and never change the string table or its dictionary (the
// resolution through base definitions names its scope to the dictionary
// instead of switching its search mode). Once its tables are added and its
// dictionary set, threads may share a string table for lookups; adding
// tables, SetLanguageID and SetDictionary are not safe while others use it.
#ifndef XQOVA_TEXT_STRING_TABLE_H
#define XQOVA_TEXT_STRING_TABLE_H

#include <cstddef>
#include <cstdint>

#include "xqova/core/export.h"
#include "xqova/core/types.h"
#include "xqova/dictionary/dictionary.h"
#include "xqova/text/table_manager.h"

namespace xqova {
constexpr std::uint8_t kCurrentLanguage = 0xFF;  // the string table's current language
constexpr std::uint16_t kClassEntry = 0xFFFF;     // member identifier of the class itself
constexpr std::uint8_t kLanguageEnglish = 0;      // language id of the tables derived from definitions
}  // namespace xqova

class XQOVA_API CXQOVAStringTable {
public:
    // The chains (first TableEntry_s of a list of language or link tables, or
    // null) stay the caller's and are searched behind the tables added later;
    // their tables are trusted as they are.
    explicit CXQOVAStringTable(void* languageChain = nullptr, void* linkChain = nullptr,
                               CXQOVADictionary* dictionary = nullptr);
    // Frees the stored link tables, then the stored language tables.
    ~CXQOVAStringTable() = default;

    // The stored copies belong to one string table; it is not copied.
    CXQOVAStringTable(const CXQOVAStringTable&) = delete;
    CXQOVAStringTable& operator=(const CXQOVAStringTable&) = delete;

    // Stores a copy of one table after checking its structure and checksum;
    // returns the copy, or null when the table is refused (nothing changes).
    // The one-argument forms trust the table's stated size to be readable;
    // the bounded forms read nothing beyond `available` bytes.
    void* AddLanguageTable(const void* table);
    void* AddLanguageTable(const void* table, std::size_t available);
    void* AddLinkTable(const void* table);
    void* AddLinkTable(const void* table, std::size_t available);

    // Stores the tables lying back to back in `size` bytes. Returns 0xFFFF
    // when the walk consumed the buffer exactly, otherwise the number of
    // tables stored before a refused one ended it.
    std::uint16_t AddLanguageTables(const void* tables, std::uint32_t size);
    std::uint16_t AddLinkTables(const void* tables, std::uint32_t size);

    // Derives one language table (id `languageId`) and one link table per
    // class from the names the dictionary's definitions carry, stores them
    // and sets the dictionary: afterwards every class of the dictionary has
    // its class, member, species and enumerator names. Only into a string
    // table that holds no table yet, since the string numbers of the derived
    // tables would not match tables held before. 1 on success, else 0.
    std::uint8_t AddDictionaryTables(CXQOVADictionary* dictionary,
                                     std::uint8_t languageId = xqova::kLanguageEnglish);

    // 1 when a language table of that id is held (it becomes current), else 0
    // and the current language stays.
    std::uint8_t SetLanguageID(std::uint8_t languageId);
    // The current language's id, 0xFF when there is none.
    std::uint8_t GetLanguageID() const;
    // The language table of that id, or null; the current language stays.
    void* GetLanguageTable(std::uint8_t languageId) const;
    // The link table of exactly that class id, which becomes current, or null.
    void* GetLinkTable(std::uint32_t classId) const;

    // String number `stringNumber` of the language, or null.
    const char* GetString(std::uint16_t stringNumber, std::uint8_t languageId) const;
    // The name of the member (or, for 0xFFFF, of the class).
    const char* GetEnumerationString(std::uint32_t classId, std::uint16_t memberId, std::uint8_t languageId) const;
    const char* GetMemberString(std::uint32_t classId, std::uint16_t memberId, std::uint8_t languageId) const;
    const char* GetClassText(std::uint32_t classId, std::uint8_t languageId) const;
    // The name of enumerator `value` of the member (or, for 0xFFFF, of the
    // species code `value` of the class).
    const char* GetEnumeratorString(std::uint32_t classId, std::uint16_t memberId, std::uint16_t value,
                                    std::uint8_t languageId) const;
    const char* GetSpeciesString(std::uint32_t classId, std::uint8_t species, std::uint8_t languageId) const;

    CXQOVADictionary* GetDictionary() const { return dictionary_; }
    void SetDictionary(CXQOVADictionary* dictionary) { dictionary_ = dictionary; }

private:
    // Resolves a member identifier through the class's base definitions:
    // 1 with the declaring class and the position there, else 0.
    std::uint8_t RealMemberID(std::uint16_t* memberId, std::uint32_t* classId) const;
    std::uint8_t ResolveInBase(std::uint16_t* memberId, std::uint32_t* classId, unsigned depth) const;
    // The link table entry behind a lookup (steps shared by every lookup).
    const unsigned char* FindEntry(std::uint32_t classId, std::uint16_t memberId, std::uint16_t* enumOffset,
                                   std::uint16_t* stringNumber) const;

    CXQOVALanguageTableManager languages_;
    CXQOVALinkTableManager links_;
    CXQOVADictionary* dictionary_;
};

#endif
