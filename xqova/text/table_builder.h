// Derives language and link tables from the names that class definitions
// carry, so that a string table can name the classes of any dictionary (the
// built-in ones included) without tables made elsewhere.
//
// From a dictionary it makes one language table, with an id of the caller's
// choosing, holding every distinct name once, and one link table per class
// that has text, whose entries follow the definition's text entries one for
// one: member names and their enumerators, the class name and its species
// names, and the further named enumerations with their enumerators.
//
// Every definition reachable in the dictionary takes part, the added ones
// (newest first) and then the base chain, whatever the search mode; where two
// definitions have the same class id the first one in that order, the one a
// lookup finds, gives the link table (none when it carries no text). String numbers are handed out in that
// order too: per class its name, its species names, then each member's name
// and enumerators, then each named enumeration's name and enumerators, a name
// already numbered keeping its first number. A translation of the language
// table therefore keeps the numbering of the table built here.
#ifndef XQOVA_TEXT_TABLE_BUILDER_H
#define XQOVA_TEXT_TABLE_BUILDER_H

#include <cstddef>
#include <cstdint>

#include "xqova/core/export.h"
#include "xqova/dictionary/dictionary.h"

class XQOVA_API CXQOVATableBuilder {
public:
    CXQOVATableBuilder();
    ~CXQOVATableBuilder();
    CXQOVATableBuilder(const CXQOVATableBuilder&) = delete;
    CXQOVATableBuilder& operator=(const CXQOVATableBuilder&) = delete;

    // Builds the tables of the dictionary's definitions, replacing any built
    // before. 1 on success; 0 for a null dictionary, when the names exceed
    // what the formats can number (65,535 distinct strings) or memory runs
    // out, with nothing held afterwards. The dictionary is only read (its
    // search mode included: every definition takes part, whatever the mode).
    std::uint8_t Build(const CXQOVADictionary* dictionary, std::uint8_t languageId);

    // The language table, checksum stamped; null before a successful Build.
    const unsigned char* LanguageTable() const { return language_; }
    std::uint32_t LanguageTableSize() const { return languageSize_; }

    // The link tables, back to back, checksums stamped (ready for
    // CXQOVAStringTable::AddLinkTables); null when no class has text.
    const unsigned char* LinkTables() const { return links_; }
    std::uint32_t LinkTablesSize() const { return linksSize_; }
    std::uint16_t LinkTableCount() const { return linkCount_; }

    // Frees the tables.
    void Clear();

private:
    unsigned char* language_;
    std::uint32_t languageSize_;
    unsigned char* links_;
    std::uint32_t linksSize_;
    std::uint16_t linkCount_;
};

#endif
