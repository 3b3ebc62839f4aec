// The classes the qova tool knows: both built-in dictionaries in one
// dictionary (the device chain as its base, the base dictionary's classes
// added to it) and definitions the user loads from files. Names of classes,
// members and values come from the definitions themselves, so that loaded
// classes are named as well as built-in ones.
#ifndef XQOVA_TOOLS_QOVA_CATALOG_H
#define XQOVA_TOOLS_QOVA_CATALOG_H

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tools/qova/bytes_io.h"
#include "xqova/core/limits.h"
#include "xqova/dictionary/compiled_definition.h"
#include "xqova/dictionary/definition.h"
#include "xqova/dictionary/dictionary.h"

namespace qova {

struct ClassEntry {
    const void* block;      // the definition
    std::uint32_t classId;  // its own identifier (first species)
    std::string name;       // its class name ("" when it carries no text)
    std::string source;     // "sdk", "device" or the file it was loaded from
};

class Catalog {
public:
    Catalog();
    Catalog(const Catalog&) = delete;
    Catalog& operator=(const Catalog&) = delete;

    // Adds the definition blocks lying back to back in a file's bytes (they
    // take precedence over built-in ones of the same class when newer).
    // Throws Failure when a block is refused.
    void AddDefinitions(const Bytes& blocks, const std::string& source);

    CXQOVADictionary& Dictionary() { return *dictionary_; }

    // Every definition, the base dictionary first, then the device
    // dictionary, then loaded ones.
    const std::vector<ClassEntry>& Classes() const { return classes_; }

    // The class identifier a user's text names: a class name ("CNIBPDStd"),
    // a hex identifier ("0x00050000") or family/genus/species ("5/0/0").
    // Throws Failure when no definition serves it.
    std::uint32_t ResolveClass(const std::string& text);

    // The definition serving a class identifier, or null.
    const void* Definition(std::uint32_t classId) { return dictionary_->GetDefinition(classId); }

    // "CNIBPDStd (0x00050000)", or "class 0x00AB0000 (family 171, genus 0,
    // species 0)" for a class without a definition.
    std::string Describe(std::uint32_t classId);
    // The class name alone, or the hex identifier.
    std::string Name(std::uint32_t classId);

    // The budget of objects and bytes under which each object is built
    // (the library's default unless the user gives --max-objects or
    // --max-bytes).
    std::uint32_t MaxObjects() const { return maxObjects_; }
    std::uint64_t MaxBytes() const { return maxBytes_; }
    void SetBudget(std::uint32_t objects, std::uint64_t bytes) {
        maxObjects_ = objects;
        maxBytes_ = bytes;
    }

    // A compiled table of a block the dictionary does not hold, compiled on
    // first use and kept as long as the catalog; null when refused.
    const xqova::CompiledDefinition* CompileOutside(const void* block);

private:
    struct FreeCompiled {
        void operator()(const xqova::CompiledDefinition* compiled) const { xqova::CompiledDefinition::Free(compiled); }
    };
    std::map<const void*, std::unique_ptr<const xqova::CompiledDefinition, FreeCompiled>> outside_;
    std::unique_ptr<CXQOVADictionary> dictionary_;
    std::vector<ClassEntry> classes_;
    std::vector<std::unique_ptr<Bytes>> loaded_;
    std::uint32_t maxObjects_ = xqova::kDefaultObjectBudget;
    std::uint64_t maxBytes_ = xqova::kDefaultByteBudget;
};

// The library's compiled table of a definition block: the dictionary's for a
// block it holds, else one the catalog compiles once and keeps. Throws
// Failure for a block the library refuses.
const xqova::CompiledDefinition& CompiledFor(Catalog& catalog, const void* block);

// The library's reason for refusing the definition at `offset` of a file.
std::string DefinitionRefusal(const xqova::DefinitionReport& report, std::size_t offset);

// The class name a definition carries, or "".
std::string DefinitionName(const void* block);

}  // namespace qova

#endif
