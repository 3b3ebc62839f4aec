#include "tools/qova/catalog.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "xqova/builtin/builtin.h"
#include "xqova/core/class_id.h"
#include "xqova/core/types.h"
#include "xqova/dictionary/definition.h"

namespace qova {

namespace {

void CollectChain(void* head, const char* source, std::vector<ClassEntry>* classes) {
    for (auto* node = static_cast<TableEntry_s*>(head); node != nullptr; node = node->next) {
        classes->push_back({node->block, DefinitionClassID(node->block), DefinitionName(node->block), source});
    }
}

// A number in decimal or, with "0x", hex; false unless the whole text is one.
bool ParseNumber(const std::string& text, unsigned long max, unsigned long* value) {
    if (text.empty() || text[0] == '-' || text[0] == '+') return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long v = std::strtoul(text.c_str(), &end, 0);
    if (errno != 0 || end == text.c_str() || *end != '\0' || v > max) return false;
    *value = v;
    return true;
}

}  // namespace

const xqova::CompiledDefinition& CompiledFor(Catalog& catalog, const void* block) {
    const xqova::CompiledDefinition* compiled = catalog.Dictionary().Compiled(block);
    if (compiled == nullptr) compiled = catalog.CompileOutside(block);
    if (compiled == nullptr) throw Failure("the library refused the definition of " + HexId(DefinitionClassID(block)));
    return *compiled;
}

const xqova::CompiledDefinition* Catalog::CompileOutside(const void* block) {
    auto found = outside_.find(block);
    if (found != outside_.end()) return found->second.get();
    // Blocks the tool's objects stand on are the built-in chains' (they live
    // as long as the library) or the dictionary's copies (as long as the
    // catalog), so a table keyed by the block's address stays valid. The
    // block passed the library's check when its object was built; the check
    // is repeated here within the size the block states.
    const xqova::CompiledDefinition* compiled = xqova::CompiledDefinition::Compile(block, DefinitionFullSize(block));
    if (compiled == nullptr) return nullptr;
    outside_[block].reset(compiled);
    return compiled;
}

std::string DefinitionRefusal(const xqova::DefinitionReport& report, std::size_t offset) {
    std::string text = "the definition at offset " + std::to_string(offset);
    if (report.classRead) text += " (" + HexId(report.classId) + ")";
    text += " was refused: " + std::string(xqova::DefinitionCheckName(report.check)) + " at offset " +
            std::to_string(offset + report.at);
    if (report.member != 0xFFFF) text += ", member " + std::to_string(report.member);
    switch (report.check) {
        case xqova::DefinitionCheck::kHeader:
            text += " (" + std::to_string(report.found) + " bytes, the header takes " + std::to_string(report.expected) + ")";
            break;
        case xqova::DefinitionCheck::kSize:
            text += " (it states " + std::to_string(report.found) + " bytes, " +
                    (report.found > report.expected ? std::to_string(report.expected) + " are left)"
                                                    : "at least " + std::to_string(report.expected) + " are needed)");
            break;
        case xqova::DefinitionCheck::kChecksum:
            text += " (stored " + std::to_string(report.found) + ", the bytes before it give " +
                    std::to_string(report.expected) + ")";
            break;
        case xqova::DefinitionCheck::kMemberType:
            text += " (type " + std::to_string(report.found) + ")";
            break;
        default:
            text += " (found " + std::to_string(report.found) + ", expected " + std::to_string(report.expected) + ")";
            break;
    }
    return text;
}

std::string DefinitionName(const void* block) {
    const char* name = xqova::DefinitionText(block, 0xFFFF);
    return name == nullptr ? std::string() : std::string(name);
}

Catalog::Catalog() : dictionary_(new CXQOVADictionary(RER_KLEV_ZENTO::Dictionary())) {
    CollectChain(RER_SDK::Dictionary(), "sdk", &classes_);
    CollectChain(RER_KLEV_ZENTO::Dictionary(), "device", &classes_);
    // The two chains serve different classes, so every block goes in.
    if (const void* refused = xqova::AddBaseClasses(*dictionary_)) {
        throw Failure("the base dictionary's " + DefinitionName(refused) + " was refused");
    }
}

void Catalog::AddDefinitions(const Bytes& blocks, const std::string& source) {
    std::size_t offset = 0;
    while (offset < blocks.size()) {
        const std::size_t left = blocks.size() - offset;
        const unsigned char* block = blocks.data() + offset;
        xqova::DefinitionReport report;
        if (!xqova::CheckDefinition(block, left, &report)) {
            throw Failure(source + ": " + DefinitionRefusal(report, offset));
        }
        const std::size_t fullSize = DefinitionFullSize(block);
        // A copy that lives as long as the catalog, for the class list.
        loaded_.emplace_back(new Bytes(block, block + fullSize));
        const Bytes& copy = *loaded_.back();
        void* stored = dictionary_->AddDefinition(copy.data(), copy.size());
        if (stored == nullptr) {
            // The block passed every check: the dictionary holds a version
            // at least as new for its class, or has no room for it.
            const std::uint32_t id = DefinitionClassID(copy.data());
            const void* serving = dictionary_->GetDefinition(id);
            throw Failure(source + ": the definition at offset " + std::to_string(offset) + " (" + HexId(id) +
                          (serving != nullptr && DefinitionVersion(serving) >= DefinitionVersion(copy.data())
                               ? ") was refused: not newer than version " + std::to_string(DefinitionVersion(serving)) +
                                     " serving its class"
                               : ") was refused: the dictionary is full or memory ran out"));
        }
        classes_.push_back({stored, DefinitionClassID(stored), DefinitionName(stored), source});
        offset += fullSize;
    }
}

std::uint32_t Catalog::ResolveClass(const std::string& text) {
    std::uint32_t id = 0;
    bool parsed = false;
    unsigned long value = 0;
    const std::size_t slash = text.find('/');
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        if (!ParseNumber(text, 0xFFFFFFFFul, &value)) throw Failure("not a class identifier: " + text, kExitUsage);
        id = static_cast<std::uint32_t>(value);
        parsed = true;
    } else if (slash != std::string::npos) {
        const std::size_t slash2 = text.find('/', slash + 1);
        unsigned long family = 0, genus = 0, species = 0;
        if (slash2 == std::string::npos || !ParseNumber(text.substr(0, slash), 0xFFFF, &family) ||
            !ParseNumber(text.substr(slash + 1, slash2 - slash - 1), 0xFF, &genus) ||
            !ParseNumber(text.substr(slash2 + 1), 0xFF, &species)) {
            throw Failure("not a family/genus/species triple: " + text, kExitUsage);
        }
        id = MakeClassID(static_cast<std::uint16_t>(family), static_cast<std::uint8_t>(genus),
                         static_cast<std::uint8_t>(species));
        parsed = true;
    }
    if (parsed) {
        if (Definition(id) == nullptr) {
            throw Failure("no definition serves " + Describe(id) + " (qova classes lists them)");
        }
        return id;
    }
    // By name: the definition a lookup of its identifier finds.
    for (auto it = classes_.rbegin(); it != classes_.rend(); ++it) {
        if (it->name == text && Definition(it->classId) != nullptr) return it->classId;
    }
    throw Failure("unknown class " + text + " (qova classes lists them)");
}

std::string Catalog::Name(std::uint32_t classId) {
    const void* block = Definition(classId);
    const std::string name = block == nullptr ? std::string() : DefinitionName(block);
    return name.empty() ? HexId(classId) : name;
}

std::string Catalog::Describe(std::uint32_t classId) {
    const void* block = Definition(classId);
    const std::string name = block == nullptr ? std::string() : DefinitionName(block);
    if (!name.empty()) return name + " (" + HexId(classId) + ")";
    char text[96];
    std::snprintf(text, sizeof text, "class %s (family %u, genus %u, species %u)", HexId(classId).c_str(),
                  static_cast<unsigned>(GetFamily(classId)), static_cast<unsigned>(GetGenus(classId)),
                  static_cast<unsigned>(GetSpecies(classId)));
    return text;
}

}  // namespace qova
