// Every class of both built-in chains, at every version from its lowest
// member version to its own: construct, set every present member through the
// typed setters, read back, copy, compare, reset, find everything cleared.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "xqova/builtin/builtin.h"
#include "xqova/dictionary/definition.h"
#include "xqova/dictionary/dictionary.h"
#include "xqova/object/object.h"
#include "xqova/object/vector.h"

namespace {

constexpr int kDepth = 2;  // nested objects and vector elements are filled this deep

bool IsFloat(std::uint8_t type) { return (type & 0x28) == 0x20; }
bool IsText(std::uint8_t type) { return (type & 0x28) == 0x08; }

// The elements a fill gives an array member.
std::vector<unsigned char> Pattern(std::uint8_t type, std::uint16_t count, std::uint16_t size, int seed) {
    std::vector<unsigned char> bytes(static_cast<std::size_t>(count) * size);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = IsText(type) ? (size == 2 && i % 2 ? 0 : static_cast<unsigned char>('a' + (seed + i) % 26))
                                : static_cast<unsigned char>(seed * 7 + i + 1);
    }
    return bytes;
}

std::uint8_t SetArray(CXQOVAObject& o, std::uint16_t id, std::uint8_t type, const void* p, std::uint16_t count) {
    switch (type & 0x07) {
        case 0:
            return IsText(type) ? o.SetMember(id, static_cast<const char*>(p), count)
                                : o.SetMember(id, static_cast<const unsigned char*>(p), count);
        case 1:
            return IsText(type) ? o.SetMember(id, static_cast<const unsigned short*>(p), count)
                                : o.SetMember(id, static_cast<const short*>(p), count);
        case 2:
            return o.SetMember(id, static_cast<const QOVA_TIME*>(p), count);
        case 3:
            return IsFloat(type) ? o.SetMember(id, static_cast<const float*>(p), count)
                                 : o.SetMember(id, static_cast<const std::uint32_t*>(p), count);
        default:
            return IsFloat(type) ? o.SetMember(id, static_cast<const double*>(p), count) : 0;
    }
}

enum Mode { kFill, kCheck, kCleared };

// Fills an object from a seed, checks the values a fill gave, or checks that
// everything is cleared, member by member and into nested objects and vector
// elements.
void Walk(CXQOVADictionary& dictionary, CXQOVAObject& o, int seed, int depth, Mode mode) {
    const void* definition = o.GetDefinition();
    ASSERT_NE(definition, nullptr);
    for (std::uint16_t id = 0; id < xqova::DefinitionMemberCount(definition); ++id) {
        if (o.MemberAvailable(id) == 0) continue;
        SCOPED_TRACE("class " + std::to_string(o.ClassID()) + " member " + std::to_string(id));
        std::uint32_t memberClass = 0xFFFFFFFFu;
        std::uint16_t fixedCount = 0;
        const std::uint8_t type = xqova::DefinitionMember(definition, id, &memberClass, &fixedCount);
        ASSERT_EQ(o.GetMemberType(id), type);
        CXQOVAData_u& m = o.Member(id);
        const int s = seed + id;
        if (type == 0x06) {
            ASSERT_NE(static_cast<CXQOVAObject*>(m), nullptr);
            if (depth > 0) Walk(dictionary, *static_cast<CXQOVAObject*>(m), s, depth - 1, mode);
        } else if ((type & 0x07) == 6) {
            auto* v = static_cast<CXQOVAVector*>(m);
            ASSERT_NE(v, nullptr);
            const bool fixed = fixedCount != 0 && memberClass != 0xFFFFFFFFu;
            if (mode == kFill && !fixed && depth > 0) {
                const std::uint32_t cls =
                    memberClass != 0xFFFFFFFFu ? memberClass : DefinitionClassID(dictionary.GetDefinitionAt(0));
                ASSERT_NE(v->Push(cls), nullptr);
            }
            EXPECT_EQ(v->Size(), fixed ? fixedCount : (mode == kCleared || depth == 0 ? 0 : 1));
            for (std::uint16_t i = 0; depth > 0 && i < v->Size(); ++i) Walk(dictionary, *v->At(i), s + i, depth - 1, mode);
        } else if (type & 0xC0) {
            const std::uint16_t n = (type & 0x80) ? fixedCount - (IsText(type) ? 1 : 0) : 3;
            const std::uint16_t size = o.GetMemberSize(id);
            const std::vector<unsigned char> bytes = Pattern(type, n, size, s);
            if (mode == kFill) {
                ASSERT_EQ(SetArray(o, id, type, bytes.data(), n), 1);
                continue;
            }
            const auto* buffer = static_cast<const unsigned char*>(static_cast<void*>(m));
            const std::uint16_t elements = mode == kCheck || (type & 0x80) ? ((type & 0x80) ? fixedCount : n) : 0;
            EXPECT_EQ(m.Elements(), elements);
            if (mode == kCheck) {
                ASSERT_NE(buffer, nullptr);
                EXPECT_EQ(std::memcmp(buffer, bytes.data(), bytes.size()), 0);
            } else if (type & 0x80) {
                ASSERT_NE(buffer, nullptr);
                EXPECT_EQ(std::vector<unsigned char>(buffer, buffer + fixedCount * size),
                          std::vector<unsigned char>(fixedCount * size, 0));
            }
        } else if ((type & 0x07) == 2) {
            const QOVA_TIME expected =
                mode == kCleared ? QOVA_TIME{} : QOVA_TIME{static_cast<std::uint16_t>(1990 + s), 1, 2, 3, 4, 5, 6};
            if (mode == kFill) {
                ASSERT_EQ(o.SetMember(id, expected), 1);
            } else {
                const QOVA_TIME t = m;
                EXPECT_EQ(std::memcmp(&t, &expected, sizeof t), 0);
            }
        } else {
            const std::int32_t value = mode == kCleared ? 0 : (s * 5 + 1) % 100;
            const double d = IsFloat(type) && mode != kCleared ? value + 0.5 : value;
            if (mode == kFill) {
                ASSERT_EQ(IsFloat(type) ? o.SetMember(id, d) : o.SetMember(id, value), 1);
            } else {
                EXPECT_EQ(static_cast<double>(m), d);
            }
        }
    }
}

struct ChainCase {
    const char* name;
    void* (*chain)();
    std::uint16_t classes;
};

class BuiltinClassRoundTrip : public ::testing::TestWithParam<ChainCase> {};

TEST_P(BuiltinClassRoundTrip, EveryClassAtEveryVersion) {
    CXQOVADictionary dictionary(GetParam().chain());
    ASSERT_EQ(dictionary.GetDefinitionCount(), GetParam().classes);
    for (std::uint16_t index = 0; index < GetParam().classes; ++index) {
        const void* definition = dictionary.GetDefinitionAt(index);
        const std::uint32_t classId = DefinitionClassID(definition);
        std::uint16_t lowest = DefinitionVersion(definition);
        xqova::MemberWalker walker(definition);
        xqova::MemberRecord record;
        while (walker.Next(&record)) lowest = record.minVersion < lowest ? record.minVersion : lowest;
        for (std::uint16_t version = lowest; version <= DefinitionVersion(definition); ++version) {
            SCOPED_TRACE(std::to_string(classId) + " at " + std::to_string(version));
            CXQOVAObject original(&dictionary, classId, version);
            ASSERT_EQ(original.Version(), version);
            ASSERT_EQ(original.GetDefinition(), definition);
            Walk(dictionary, original, index, kDepth, kFill);
            Walk(dictionary, original, index, kDepth, kCheck);
            CXQOVAObject copy(&dictionary, classId, version);
            ASSERT_EQ(copy.Copy(&original), 1);
            CXQOVAObject constructed(original);
            original.Reset(1);
            Walk(dictionary, original, index, kDepth, kCleared);
            Walk(dictionary, copy, index, kDepth, kCheck);
            Walk(dictionary, constructed, index, kDepth, kCheck);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(BothChains, BuiltinClassRoundTrip,
                         ::testing::Values(ChainCase{"Sdk", &RER_SDK::Dictionary, 17},
                                           ChainCase{"KlevZento", &RER_KLEV_ZENTO::Dictionary, 40}),
                         [](const ::testing::TestParamInfo<ChainCase>& info) { return std::string(info.param.name); });

}  // namespace
