// Small definitions for the object tests, made with the definition builder,
// a chain of them for a dictionary, and an allocation-failure loop.
#ifndef XQOVA_TESTS_OBJECT_OBJECT_TEST_SUPPORT_H
#define XQOVA_TESTS_OBJECT_OBJECT_TEST_SUPPORT_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "xqova/dictionary/definition_builder.h"
#include "xqova/core/class_id.h"
#include "xqova/core/memory.h"
#include "xqova/core/types.h"

namespace object_test {

using Bytes = std::vector<unsigned char>;
using xqova::build::Member;
constexpr std::uint32_t kAnyClass = 0xFFFFFFFFu;

inline Member M(const char* name, std::uint8_t type, std::uint16_t minVersion = 100, std::uint16_t maxVersion = 0xFFFF) {
    Member m;
    m.name = name;
    m.type = type;
    m.minVersion = minVersion;
    m.maxVersion = maxVersion;
    return m;
}
// A fixed array, a single nested object, a vector (UNBOUNDED when fixedCount
// is 0), the inherit member.
inline Member FixedArray(const char* name, std::uint8_t type, std::uint16_t count) {
    Member m = M(name, static_cast<std::uint8_t>(type | 0x80));
    m.fixedCount = count;
    return m;
}
inline Member Nested(const char* name, std::uint32_t memberClass) {
    Member m = M(name, 0x06);
    m.memberClass = memberClass;
    return m;
}
inline Member VectorOf(const char* name, std::uint32_t memberClass, std::uint16_t fixedCount) {
    Member m = M(name, fixedCount != 0 ? 0x86 : 0x46);
    m.memberClass = memberClass;
    m.fixedCount = fixedCount;
    return m;
}
inline Member InheritFrom(std::uint32_t base) {
    Member m = Nested("Base", base);
    m.type = 0x16;
    return m;
}

inline Bytes Build(const char* name, std::uint32_t id, std::vector<Member> members, std::uint16_t version = 100) {
    xqova::build::ClassDescription d;
    d.name = name;
    d.family = GetFamily(id);
    d.genus = GetGenus(id);
    d.species = {{GetSpecies(id), "SpOnly"}};
    d.version = version;
    d.members = std::move(members);
    return xqova::build::BuildDefinition(d, [](std::uint32_t) { return std::string("CNested"); });
}

// Definition blocks linked in the order given, for CXQOVADictionary(Head()).
class Chain {
public:
    explicit Chain(std::vector<Bytes> blocks) : blocks_(std::move(blocks)), nodes_(blocks_.size()) {
        for (std::size_t i = 0; i < blocks_.size(); ++i) {
            nodes_[i].block = blocks_[i].data();
            nodes_[i].next = i + 1 < blocks_.size() ? &nodes_[i + 1] : nullptr;
        }
    }
    void* Head() { return nodes_.empty() ? nullptr : &nodes_[0]; }

private:
    std::vector<Bytes> blocks_;
    std::vector<TableEntry_s> nodes_;
};

struct AllocationFailureGuard {
    ~AllocationFailureGuard() { xqova::testing::FailAllocationsAfter(-1); }
};

// Runs step(n, done) with every allocation after the first n failing, for
// n = 0, 1, 2, ... until a run leaves an allocation to spare. The step calls
// done() right after the operation under test: it turns failures off and
// tells whether the operation surely made all its allocations (false: it
// may still have, with exactly n). Returns that last n. Leaks show under
// LSan.
template <class Step>
long ForEachAllocationFailure(Step step) {
    AllocationFailureGuard guard;
    for (long n = 0; n < 100000; ++n) {
        bool spare = false;
        xqova::testing::FailAllocationsAfter(n);
        step(n, [&spare]() {
            void* probe = xqova::Allocate(1);
            spare = probe != nullptr;
            xqova::Release(probe);
            xqova::testing::FailAllocationsAfter(-1);
            return spare;
        });
        xqova::testing::FailAllocationsAfter(-1);
        if (spare) return n;
    }
    return -1;
}

}  // namespace object_test

#endif
