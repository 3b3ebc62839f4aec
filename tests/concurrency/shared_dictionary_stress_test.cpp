// Threads sharing one dictionary and one string table.
//
// After set-up (definitions added, tables derived, dictionary set) several
// threads decode, encode, write XML, look names up and build classes with
// base classes on the same dictionary and string table; every result must
// equal the one a single thread computed before. The scripts' tsan row runs
// this under ThreadSanitizer, which also reports any write a lookup or a
// construction makes to the shared objects.
//
// The classes: every class of the device dictionary's base chain; every
// class of the other built-in dictionary, added by the host; a host class
// inheriting a base-chain class (its identifiers count the base definition);
// a host class inheriting an added class (counted from the base object).
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "support/objects.h"
#include "xqova/builtin/builtin.h"
#include "xqova/dictionary/definition.h"
#include "xqova/dictionary/dictionary.h"
#include "xqova/object/object.h"
#include "xqova/text/string_table.h"

namespace {

using namespace test_objects;

constexpr std::uint32_t kBmi = 0x00110800;  // CBMICStd, in the device dictionary's base chain
constexpr std::uint32_t kHostBase = 0x00410000, kOnBuiltIn = 0x00410100, kOnAdded = 0x00410200;
constexpr std::uint16_t kIdentifiers = 48;  // member identifiers tried per object

struct Shared {
    CXQOVADictionary dictionary{RER_KLEV_ZENTO::Dictionary()};
    CXQOVAStringTable strings;
    std::vector<std::uint32_t> classes;
    std::vector<std::vector<unsigned char>> encodings;  // one per class, values set
};

std::string Text(const char* s) { return s == nullptr ? std::string("(null)") : std::string(s); }

// Everything an object shows: shape, names, encoding and XML document.
std::string Fingerprint(CXQOVAObject& o, Shared& shared) {
    o.SetStringTable(&shared.strings);
    std::string f = std::to_string(o.ClassID()) + "/" + std::to_string(o.Version()) + "/" +
                    std::to_string(o.MemberCount()) + "/" + Text(o.GetClassText(0xFF)) + "|";
    for (std::uint16_t id = 0; id < kIdentifiers; ++id) {
        f += Text(o.GetMemberText(id, 0xFF)) + ":" + std::to_string(o.GetMemberType(id)) + ",";
    }
    Bytes encoding(o.SizeAll(0xFFFF) + 1u);
    encoding.resize(o.Serialize(encoding.data(), 0xFFFF));
    f += "|" + Hex(encoding) + "|";
    std::vector<char> xml(o.XMLSizeAll(0xFFFF) + 1u);
    const std::uint32_t x = o.XMLSerialize(xml.data(), 0xFFFF);
    f.append(xml.data(), x);
    return f;
}

// The string table's own lookups, class and member names through the chain.
std::string Names(std::uint32_t classId, Shared& shared) {
    std::string f = Text(shared.strings.GetClassText(classId, 0xFF)) + "|" +
                    Text(shared.strings.GetSpeciesString(classId, 0, 0xFF)) + "|";
    for (std::uint16_t id = 0; id < kIdentifiers; ++id) {
        f += Text(shared.strings.GetMemberString(classId, id, 0xFF)) + "," +
             Text(shared.strings.GetEnumeratorString(classId, id, 1, 0xFF)) + ";";
    }
    f += shared.strings.GetLinkTable(classId) != nullptr ? "link" : "nolink";
    f += "|" + std::to_string(shared.strings.GetLanguageID()) + Text(shared.strings.GetString(classId & 0xFF, 0));
    return f;
}

std::string Built(std::uint32_t classId, Shared& shared) {
    CXQOVAObject o(&shared.dictionary, classId, 0xFFFF);
    return Fingerprint(o, shared);
}

std::string Decoded(std::size_t k, Shared& shared) {
    const std::vector<unsigned char>& e = shared.encodings[k];
    CXQOVAObject o(&shared.dictionary, xqova::EncodedBytes{e.data(), e.size()});
    return Fingerprint(o, shared);
}

bool SetUp(Shared& shared) {
    for (auto* node = static_cast<TableEntry_s*>(RER_SDK::Dictionary()); node != nullptr; node = node->next) {
        if (shared.dictionary.AddDefinition(node->block) == nullptr) return false;
        shared.classes.push_back(DefinitionClassID(node->block));
    }
    const Bytes hostBase = Build("CHostBase", kHostBase, {M("Alpha", 0x11), M("Beta", 0x13)});
    const Bytes onBuiltIn = Build("COnBuiltIn", kOnBuiltIn, {InheritFrom(kBmi), M("Gamma", 0x03), M("Delta", 0x10)});
    const Bytes onAdded = Build("COnAdded", kOnAdded, {InheritFrom(kHostBase), M("Epsilon", 0x01)});
    for (const Bytes* b : {&hostBase, &onBuiltIn, &onAdded}) {
        if (shared.dictionary.AddDefinition(b->data()) == nullptr) return false;
    }
    shared.classes.insert(shared.classes.end(), {kHostBase, kOnBuiltIn, kOnAdded});
    for (auto* node = static_cast<TableEntry_s*>(RER_KLEV_ZENTO::Dictionary()); node != nullptr; node = node->next) {
        shared.classes.push_back(DefinitionClassID(node->block));
    }
    if (shared.strings.AddDictionaryTables(&shared.dictionary) != 1) return false;

    for (std::uint32_t classId : shared.classes) {
        CXQOVAObject o(&shared.dictionary, classId, 0xFFFF);
        for (std::uint16_t id = 0; id < kIdentifiers; ++id) o.SetMember(id, static_cast<std::int32_t>(7 * id + 3));
        std::vector<unsigned char> e(o.SizeAll(0xFFFF));
        if (e.empty() || o.Serialize(e.data(), 0xFFFF) != e.size()) return false;
        shared.encodings.push_back(e);
    }
    return true;
}

struct Reference {
    std::vector<std::string> built, decoded, names;
};

Reference Compute(Shared& shared) {
    Reference r;
    for (std::size_t k = 0; k < shared.classes.size(); ++k) {
        r.built.push_back(Built(shared.classes[k], shared));
        r.decoded.push_back(Decoded(k, shared));
        r.names.push_back(Names(shared.classes[k], shared));
    }
    return r;
}

enum Work { kBuild = 1, kDecode = 2, kNames = 4, kAll = 7 };

// Runs one thread per entry of `work`, each `rounds` times over every class
// (starting at a different class), and counts the results that differ.
long Run(Shared& shared, const Reference& reference, const std::vector<int>& work, int rounds) {
    std::atomic<long> wrong{0};
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    const std::size_t n = shared.classes.size();
    for (std::size_t t = 0; t < work.size(); ++t) {
        threads.emplace_back([&, t] {
            ready.fetch_add(1);
            while (ready.load() < static_cast<int>(work.size())) std::this_thread::yield();
            for (int round = 0; round < rounds; ++round) {
                for (std::size_t i = 0; i < n; ++i) {
                    const std::size_t k = (i + 7 * t + static_cast<std::size_t>(round)) % n;
                    if ((work[t] & kBuild) && Built(shared.classes[k], shared) != reference.built[k]) ++wrong;
                    if ((work[t] & kDecode) && Decoded(k, shared) != reference.decoded[k]) ++wrong;
                    if ((work[t] & kNames) && Names(shared.classes[k], shared) != reference.names[k]) ++wrong;
                }
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    return wrong.load();
}

}  // namespace

int main() {
    Shared shared;
    if (!SetUp(shared)) {
        std::fprintf(stderr, "set-up failed\n");
        return 1;
    }
    const Reference reference = Compute(shared);
    // The reference has members and names, inherited ones included (a
    // reference of empty objects would prove nothing): the class on a
    // built-in base counts the base's three members and writes them, the
    // built-in base's members have names, the added SDK class (the first
    // class) has members.
    std::size_t onBuiltIn = 0, bmi = 0;
    while (shared.classes[onBuiltIn] != kOnBuiltIn) ++onBuiltIn;
    while (shared.classes[bmi] != kBmi) ++bmi;
    const std::string& derived = reference.built[onBuiltIn];
    if (derived.find("/5/COnBuiltIn|") == std::string::npos || derived.find("name=\"Enabled\"") == std::string::npos ||
        reference.names[bmi].find("|Enabled,") == std::string::npos ||
        reference.decoded[0].find("<MEMBER") == std::string::npos) {
        std::fprintf(stderr, "reference without members or names\n");
        return 1;
    }

    struct Phase {
        const char* what;
        std::vector<int> work;
        int rounds;
    };
    const Phase phases[] = {
        {"one thread naming, one decoding", {kNames, kDecode}, 12},
        {"two naming, two building", {kNames, kNames, kBuild, kBuild}, 6},
        {"four doing everything", {kAll, kAll, kAll, kAll}, 4},
    };
    int failures = 0;
    for (const Phase& phase : phases) {
        // A change of search mode drops what the dictionary derived from
        // its definitions (the XML templates): the threads of each phase
        // build it again, at the same time.
        shared.dictionary.SetSearchMode(SEARCH_MODE_BASE);
        shared.dictionary.SetSearchMode(SEARCH_MODE_ALL);
        const long wrong = Run(shared, reference, phase.work, phase.rounds);
        // Nothing the threads did may stay behind: the dictionary keeps its
        // mode and a single thread still gets the reference.
        const bool modeKept = shared.dictionary.GetSearchMode() == SEARCH_MODE_ALL;
        const Reference after = Compute(shared);
        const bool same = after.built == reference.built && after.decoded == reference.decoded &&
                          after.names == reference.names;
        std::printf("%s: %ld wrong results, mode %s, afterwards %s\n", phase.what, wrong,
                    modeKept ? "kept" : "CHANGED", same ? "unchanged" : "DIFFERENT");
        if (wrong != 0 || !modeKept || !same) ++failures;
    }
    return failures == 0 ? 0 : 1;
}
