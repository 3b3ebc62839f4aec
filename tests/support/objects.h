// Support for the tests of objects and their encodings: definitions of the
// tests' own made with the definition builder and chains of them for a
// dictionary, the built-in dictionaries, an allocation-failure loop,
// hand-made encodings, exact-size heap copies (so that ASan sees every read past an encoding),
// deep comparison of two objects through the public interface, and seeded
// random filling of every member kind.
#ifndef XQOVA_TESTS_SUPPORT_OBJECTS_H
#define XQOVA_TESTS_SUPPORT_OBJECTS_H

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "xqova/dictionary/definition_builder.h"
#include "xqova/builtin/builtin.h"
#include "xqova/core/class_id.h"
#include "xqova/core/crc16.h"
#include "xqova/core/frame_header.h"
#include "xqova/core/limits.h"
#include "xqova/core/memory.h"
#include "xqova/core/types.h"
#include "xqova/dictionary/definition.h"
#include "xqova/dictionary/dictionary.h"
#include "xqova/object/object.h"
#include "xqova/object/vector.h"
#include "support/mutations.h"

namespace test_objects {


using Bytes = std::vector<unsigned char>;
using xqova::build::Member;
constexpr std::uint32_t kAnyClass = 0xFFFFFFFFu;

inline Member M(const char* name, std::uint8_t type, std::uint16_t minVersion = 100, std::uint16_t maxVersion = 0xFFFF,
               std::uint32_t memberClass = 0xFFFFFFFFu, std::uint16_t fixedCount = 0) {
    return {name, type, minVersion, maxVersion, memberClass, fixedCount, {}};
}
// A fixed array, a single nested object, a vector (UNBOUNDED when fixedCount
// is 0), the inherit member.
inline Member FixedArray(const char* name, std::uint8_t type, std::uint16_t count) {
    return M(name, static_cast<std::uint8_t>(type | 0x80), 100, 0xFFFF, 0xFFFFFFFFu, count);
}
inline Member Nested(const char* name, std::uint32_t memberClass) { return M(name, 0x06, 100, 0xFFFF, memberClass); }
inline Member VectorOf(const char* name, std::uint32_t memberClass, std::uint16_t fixedCount) {
    return M(name, fixedCount != 0 ? 0x86 : 0x46, 100, 0xFFFF, memberClass, fixedCount);
}
inline Member InheritFrom(std::uint32_t base) { return M("Base", 0x16, 100, 0xFFFF, base); }
// A member with the given alias, units and scale.
inline Member With(Member m, std::uint32_t alias, std::uint8_t units = 0xFF, std::uint16_t coefficient = 1,
                   std::int8_t exponent = 0) {
    m.alias = alias;
    m.units = units;
    m.scaleCoefficient = coefficient;
    m.scaleExponent = exponent;
    return m;
}

inline xqova::build::ClassDescription Class(const char* name, std::uint32_t id, std::vector<Member> members,
                                            std::uint16_t version = 100, const char* species = "SpOnly") {
    xqova::build::ClassDescription d;
    d.name = name;
    d.family = GetFamily(id);
    d.genus = GetGenus(id);
    d.species = {{GetSpecies(id), species}};
    d.version = version;
    d.members = std::move(members);
    return d;
}

// The block; its base size counts `memberClassName` for every member class.
inline Bytes Build(const xqova::build::ClassDescription& d, std::string memberClassName = "CClinicianCStd") {
    return xqova::build::BuildDefinition(d, [memberClassName](std::uint32_t) { return memberClassName; });
}

inline Bytes Build(const char* name, std::uint32_t id, std::vector<Member> members, std::uint16_t version = 100) {
    return Build(Class(name, id, std::move(members), version), "CNested");
}

// Definition blocks linked in the order given, for CXQOVADictionary(Head()).
class Chain {
public:
    explicit Chain(Bytes block) : Chain(std::vector<Bytes>{std::move(block)}) {}
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

// The blocks of a chain from its head, in order.
inline std::vector<const void*> ChainBlocks(void* head) {
    std::vector<const void*> blocks;
    for (auto* node = static_cast<TableEntry_s*>(head); node != nullptr; node = node->next) blocks.push_back(node->block);
    return blocks;
}

struct AllocationFailureGuard {
    ~AllocationFailureGuard() {
        xqova::testing::FailAllocationsAfter(-1);
        xqova::testing::FailOnlyOneAllocation(false);
    }
};

// Runs step(n, done) with allocation n failing, for n = 0, 1, 2, ... until a
// run leaves an allocation to spare: first with every allocation after it
// failing too, then with that one failing alone (memory found again after a
// failure must not turn it into a success). The step calls done() right
// after the operation under test: it turns failures off and tells whether
// the operation surely made all its allocations (false: it may still have,
// with exactly n). Returns that last n. Leaks show under LSan.
template <class Step>
long ForEachAllocationFailure(Step step) {
    AllocationFailureGuard guard;
    const auto failing = [&step](long n) {
        bool spare = false;
        xqova::testing::FailAllocationsAfter(n);
        step(n, [&spare]() {
            spare = xqova::testing::AllocationsBeforeFailure() > 0;
            xqova::testing::FailAllocationsAfter(-1);
            return spare;
        });
        xqova::testing::FailAllocationsAfter(-1);
        return spare;
    };
    long last = 0;
    while (last < 100000 && !failing(last)) ++last;
    xqova::testing::FailOnlyOneAllocation(true);
    for (long n = 0; n < last; ++n) failing(n);
    return last < 100000 ? last : -1;
}


constexpr std::uint32_t kClinicianC = 0x00650800;    // CClinicianCStd
constexpr std::uint32_t kDataTransferExt = 0x007A1200;  // CDataTransferDExtStd
constexpr std::uint32_t kFileSysExt = 0x00701200;    // CFileSysDExtStd
constexpr std::uint32_t kNumD = 0x00750000;          // CNumDStd
constexpr std::uint32_t kNumDFloat = 0x0075001F;     // CNumDFloat
constexpr std::uint32_t kNumExt = 0x00751200;        // CNumDExtStd
constexpr std::uint32_t kVitals = 0x00170003;        // CSESDVitalsRRecord
constexpr std::uint32_t kZentoRec = 0x00170001;      // CSESDZentoRec
constexpr std::uint32_t kNIBPD = 0x00050000;         // CNIBPDStd
constexpr std::uint32_t kNumDLong = 0x0075007F;      // CNumDLong

inline CXQOVADictionary& SdkDictionary() {
    static CXQOVADictionary dictionary(RER_SDK::Dictionary());
    return dictionary;
}

inline CXQOVADictionary& DeviceDictionary() {
    static CXQOVADictionary dictionary(RER_KLEV_ZENTO::Dictionary());
    return dictionary;
}

// The SDK chain with CClinicianCStd of the device chain added: the file
// system container of the worked example holds one.
inline CXQOVADictionary& SdkWithClinician() {
    static CXQOVADictionary dictionary(RER_SDK::Dictionary());
    static const bool added = dictionary.AddDefinition(DeviceDictionary().GetDefinition(kClinicianC)) != nullptr;
    EXPECT_TRUE(added);
    return dictionary;
}

// The bytes of an encoding at an exact-size heap allocation.
class HeapCopy {
public:
    explicit HeapCopy(const Bytes& bytes) : size_(bytes.size()), data_(new unsigned char[size_ == 0 ? 1 : size_]) {
        if (size_ != 0) std::memcpy(data_.get(), bytes.data(), size_);
    }
    const unsigned char* data() const { return data_.get(); }
    std::size_t size() const { return size_; }

private:
    std::size_t size_;
    std::unique_ptr<unsigned char[]> data_;
};

// SizeAll, then Serialize into exactly that many bytes.
inline Bytes Encode(CXQOVAObject& object, std::uint16_t version = 0xFFFF) {
    const std::uint32_t size = object.SizeAll(version);
    Bytes bytes(size);
    if (size != 0) {
        HeapCopy out(bytes);
        const std::uint32_t written = object.Serialize(const_cast<unsigned char*>(out.data()), version);
        EXPECT_EQ(written, size) << "Serialize wrote another size than SizeAll reported";
        std::memcpy(bytes.data(), out.data(), size);
    }
    return bytes;
}

inline std::uint32_t Decode(CXQOVAObject& object, const Bytes& bytes, unsigned char strict = 0) {
    HeapCopy copy(bytes);
    return object.Deserialize(copy.data(), copy.size(), strict);
}

// Rewrites the checksum of the encoding of `total` bytes at `start`.
inline void Restamp(Bytes& bytes, std::size_t start, std::size_t total) {
    const std::uint16_t crc = CalculateCRC(bytes.data() + start, static_cast<std::uint32_t>(total - 2));
    WriteInt16(bytes.data() + start + total - 2, crc);
}

// An encoding of `classId` at `version` (status 0) with the given fixed and
// variable sections, its length field and checksum filled in.
inline Bytes EncodingOf(std::uint32_t classId, std::uint16_t version, const Bytes& fixed, const Bytes& variable) {
    const unsigned width = xqova::LengthFieldWidth(classId);
    Bytes b(4 + width + 5);
    WriteInt32(b.data(), classId);
    WriteInt16(b.data() + 4 + width, version);
    WriteInt16(b.data() + 7 + width, static_cast<std::uint16_t>(fixed.size()));
    b.insert(b.end(), fixed.begin(), fixed.end());
    b.insert(b.end(), variable.begin(), variable.end());
    b.resize(b.size() + 2);
    test_mutations::Restate(b);
    return b;
}

inline std::string Hex(const Bytes& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string text;
    for (unsigned char b : bytes) text += std::string(text.empty() ? "" : " ") + digits[b >> 4] + digits[b & 15];
    return text;
}

// ---- A test family with every vector kind ----------------------------------------

// CShelf (version 200) holds a named growing vector of CItem (size prefixes),
// a fixed-count vector of two CItem, a bounded ANY_CLASS vector of three, a
// single COther and UNBOUNDED wide text. CItem (version 100) has a scalar of
// every width, a UNBOUNDED uint16 and UNBOUNDED text; COther is of an
// extended class (4-byte length).
constexpr std::uint32_t kShelf = 0x00420000;
constexpr std::uint32_t kItem = 0x00420100;
constexpr std::uint32_t kOther = 0x00421200;

inline std::vector<Bytes> ShelfBlocks() {
    return {
        Build("CShelf", kShelf,
              {M("Count", 0x11), VectorOf("Items", kItem, 0), VectorOf("Pair", kItem, 2),
               VectorOf("Any", kAnyClass, 3), Nested("Other", kOther), M("Label", 0x49)},
              200),
        Build("CItem", kItem,
              {M("Small", 0x00), M("Value", 0x03), M("Stamp", 0x02), M("Ratio", 0x27), M("Big", 0x17),
               M("Codes", 0x51), M("Name", 0x48), FixedArray("Levels", 0x23, 2)},
              100),
        Build("COther", kOther, {M("Flags", 0x39), M("Bytes", 0x50)}, 201),
    };
}

inline Chain& ShelfChain() {
    static Chain chain(ShelfBlocks());
    return chain;
}

// ---- The three worked examples of the binary encoding --------------------------

inline void FillClinician(CXQOVAObject& o) {
    ASSERT_EQ(1, o.SetMember(0, static_cast<unsigned char>(1)));
    ASSERT_EQ(1, o.SetMember(1, static_cast<unsigned short>(10)));
    o.SetValid(1);
}

struct Golden {
    const char* name;
    std::function<CXQOVADictionary&()> dictionary;
    std::uint32_t classId;
    std::function<void(CXQOVAObject&)> fill;
    Bytes bytes;
};

inline const Bytes kClinicianBytes = {0x00, 0x65, 0x08, 0x00, 0x00, 0x0A, 0x00, 0x64,
                               0x40, 0x00, 0x03, 0x01, 0x00, 0x0A, 0x64, 0xC8};

inline std::vector<Golden> GoldenExamples() {
    Bytes fileSys = {0x00, 0x70, 0x12, 0x00, 0x00, 0x00, 0x00, 0x1F, 0x00, 0xC8, 0x00,
                     0x00, 0x00, 0x00, 0x04, 0x00, 0x41, 0x00, 0x00, 0x00, 0x01};
    fileSys.insert(fileSys.end(), kClinicianBytes.begin(), kClinicianBytes.end());
    fileSys.insert(fileSys.end(), {0xBC, 0xCF});
    return {
        {"CClinicianCStd", DeviceDictionary, kClinicianC, FillClinician, kClinicianBytes},
        {"CDataTransferDExtStd", SdkDictionary, kDataTransferExt,
         [](CXQOVAObject& o) {
             const unsigned char data[] = {0xAA, 0xBB};
             ASSERT_EQ(1, o.SetMember(0, static_cast<std::uint32_t>(1)));
             ASSERT_EQ(1, o.SetMember(1, static_cast<std::uint32_t>(2)));
             ASSERT_EQ(1, o.SetMember(2, data, 2));
         },
         {0x00, 0x7A, 0x12, 0x00, 0x00, 0x00, 0x00, 0x13, 0x00, 0xC8, 0x00, 0x00, 0x08, 0x00,
          0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x02, 0xAA, 0xBB, 0x7B, 0x3E}},
        {"CFileSysDExtStd", SdkWithClinician, kFileSysExt,
         [](CXQOVAObject& o) {
             const unsigned short a = 'A';
             ASSERT_EQ(1, o.SetMember(0, &a, 1));
             CXQOVAVector* container = o.Member(1);
             ASSERT_NE(nullptr, container);
             CXQOVAObject* element = container->Push(kClinicianC);
             ASSERT_NE(nullptr, element);
             FillClinician(*element);
         },
         fileSys},
    };
}

// ---- Comparison -----------------------------------------------------------------

// Values, and unless `flags` is false the valid and dirty flags too.
inline void ExpectSameObject(CXQOVAObject& a, CXQOVAObject& b, const std::string& where = "object", bool flags = true);

inline void ExpectSameMember(CXQOVAData_u& x, CXQOVAData_u& y, const std::string& where, bool flags = true) {
    ASSERT_EQ(x.Type(), y.Type()) << where;
    const std::uint8_t type = x.Type();
    if (type == 0x06 || type == 0x16) {
        CXQOVAObject* p = x;
        CXQOVAObject* q = y;
        ASSERT_TRUE(p != nullptr && q != nullptr) << where;
        ExpectSameObject(*p, *q, where, flags);
    } else if ((type & 7) == 6) {
        CXQOVAVector* v = x;
        CXQOVAVector* w = y;
        ASSERT_TRUE(v != nullptr && w != nullptr) << where;
        ASSERT_EQ(v->Size(), w->Size()) << where << " vector size";
        for (std::uint16_t i = 0; i < v->Size(); ++i) {
            ExpectSameObject(*v->At(i), *w->At(i), where + "[" + std::to_string(i) + "]", flags);
        }
    } else if (type & 0xC0) {
        const void* p = x;
        const void* q = y;
        EXPECT_EQ(p == nullptr, q == nullptr) << where << " buffer presence";
        ASSERT_EQ(x.Elements(), y.Elements()) << where << " elements";
        if (p != nullptr && q != nullptr) {
            EXPECT_EQ(0, std::memcmp(p, q, static_cast<std::size_t>(x.Elements()) * x.Size())) << where << " bytes";
        }
    } else if (type == 0x02) {
        const QOVA_TIME s = x;
        const QOVA_TIME t = y;
        EXPECT_EQ(0, std::memcmp(&s, &t, sizeof s)) << where << " time";
    } else {
        EXPECT_EQ(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y)) << where;
        const double d = x;
        const double e = y;
        EXPECT_EQ(0, std::memcmp(&d, &e, sizeof d)) << where << " as double";
    }
}

inline void ExpectSameObject(CXQOVAObject& a, CXQOVAObject& b, const std::string& where, bool flags) {
    ASSERT_EQ(a.ClassID(), b.ClassID()) << where;
    ASSERT_EQ(a.Version(), b.Version()) << where;
    if (flags) {
        EXPECT_EQ(a.IsValid(), b.IsValid()) << where;
        EXPECT_EQ(a.IsDirty(), b.IsDirty()) << where;
    }
    ASSERT_EQ(a.MemberCount(), b.MemberCount()) << where;
    for (std::uint16_t pos = 0; pos < a.MemberCount(); ++pos) {
        ExpectSameMember(a.At(pos), b.At(pos), where + "." + std::to_string(pos), flags);
    }
}

// `bytes`, the encoding of `object`, read back both ways: a strict decode into
// a fresh object of its class and version, which re-encodes byte for byte,
// and the construction from an exact-size copy; both hold what `object` holds.
inline void ExpectReadsBack(CXQOVADictionary* dictionary, CXQOVAObject& object, const Bytes& bytes,
                            const std::string& where = "object") {
    SCOPED_TRACE(where);
    CXQOVAObject decoded(dictionary, object.ClassID(), object.Version());
    ASSERT_EQ(bytes.size(), Decode(decoded, bytes, 1));
    ExpectSameObject(object, decoded);
    EXPECT_EQ(Hex(bytes), Hex(Encode(decoded)));
    HeapCopy copy(bytes);
    CXQOVAObject built(dictionary, xqova::EncodedBytes{copy.data(), copy.size()});
    ExpectSameObject(object, built, "built from bytes");
}

// True when every value of the object is as Reset(1) leaves it.
inline void ExpectReset(CXQOVAObject& object, const std::string& where = "object") {
    EXPECT_EQ(0, object.IsValid() | object.IsDirty()) << where;
    for (std::uint16_t pos = 0; pos < object.MemberCount(); ++pos) {
        CXQOVAData_u& m = object.At(pos);
        const std::uint8_t type = m.Type();
        const std::string here = where + "." + std::to_string(pos);
        if (type == 0x06 || type == 0x16) {
            CXQOVAObject* nested = m;
            if (nested != nullptr) ExpectReset(*nested, here);
        } else if ((type & 7) == 6) {
            CXQOVAVector* vector = m;
            if (vector == nullptr) continue;
            for (std::uint16_t i = 0; i < vector->Size(); ++i) ExpectReset(*vector->At(i), here);
            EXPECT_TRUE((type & 0x80) || vector->Size() == 0) << here;
        } else if (type & 0xC0) {
            EXPECT_TRUE(!(type & 0x40) || m.Elements() == 0) << here;
            const unsigned char* p = static_cast<const unsigned char*>(static_cast<void*>(m));
            if (p != nullptr && (type & 0x80)) {
                for (std::size_t i = 0; i < static_cast<std::size_t>(m.Elements()) * m.Size(); ++i) {
                    EXPECT_EQ(0, p[i]) << here << " byte " << i;
                }
            }
        } else {
            const QOVA_TIME t = m;
            EXPECT_EQ(0u, static_cast<std::uint32_t>(m) | t.year | t.month | t.day) << here;
        }
    }
}

// ---- Random values ---------------------------------------------------------------

struct Filler {
    std::mt19937 rng;
    // Classes that ANY_CLASS vectors are filled with, alternately; without
    // them, random classes of `anyFrom` when it is given.
    std::vector<std::uint32_t> anyClasses;
    CXQOVADictionary* anyFrom = nullptr;
    // Text of printable ASCII without ']' (no value closes a CDATA section)
    // and floats of any finite bit pattern, for documents.
    bool printable = false;
    unsigned depth = 0;

    explicit Filler(std::uint32_t seed, std::vector<std::uint32_t> classes = {})
        : rng(seed), anyClasses(std::move(classes)) {}

    std::uint32_t U32() { return static_cast<std::uint32_t>(rng()); }
    unsigned Below(unsigned n) { return n == 0 ? 0 : static_cast<unsigned>(rng() % n); }
    char Letter() {
        if (!printable) return static_cast<char>('A' + Below(26));
        const char c = static_cast<char>(0x20 + Below(0x5F));
        return c == ']' ? '[' : c;
    }
    template <class F, class Bits>
    F Finite() {
        for (;;) {
            const Bits b = static_cast<Bits>((std::uint64_t{U32()} << 32) | U32());
            F f;
            std::memcpy(&f, &b, sizeof f);
            if (f - f == 0) return f;
        }
    }
    float Float() {
        return printable ? Finite<float, std::uint32_t>() : static_cast<float>(static_cast<std::int32_t>(U32())) / 1024.0f;
    }
    double Double(double k) { return printable ? Finite<double, std::uint64_t>() : Float() * k; }
    std::uint8_t Byte() { return static_cast<std::uint8_t>(U32()); }
    // Any bit pattern (the braces draw the fields in order).
    QOVA_TIME Time() { return QOVA_TIME{static_cast<std::uint16_t>(U32()), Byte(), Byte(), Byte(), Byte(), Byte(), Byte()}; }

    // Sets through the identifier form (when `id` is one) or the position
    // form, at random.
    template <class... Args>
    void Set(CXQOVAObject& object, std::uint16_t pos, std::uint16_t id, Args... args) {
        const bool byId = id != 0xFFFF && Below(2) == 0;
        EXPECT_EQ(1, byId ? object.SetMember(id, args...) : object.SetMemberAt(pos, args...)) << "fill of position " << pos;
    }

    // Fills the array member at `pos` with `count` random elements (a
    // non-text member given none is emptied with a null source).
    void FillArray(CXQOVAObject& object, std::uint16_t pos, std::uint16_t id, std::uint8_t type, std::uint16_t count) {
        const std::uint8_t width = type & 7;
        const bool text = (type & 0x28) == 0x08;
        const bool isFloat = (type & 0x28) == 0x20;
        const auto with = [&](auto make) {
            std::vector<decltype(make())> data(count + 1u);
            for (auto& v : data) v = make();
            Set(object, pos, id, static_cast<const decltype(make())*>(count == 0 && !text ? nullptr : data.data()), count);
        };
        if (width == 0 && text) {
            with([this] { return Letter(); });
        } else if (width == 0) {
            with([this] { return static_cast<unsigned char>(Byte()); });
        } else if (width == 1 && text) {
            with([this] { return static_cast<unsigned short>(printable ? Letter() : 0x0400 + Below(0x100)); });
        } else if (width == 1) {
            with([this] { return static_cast<short>(U32()); });
        } else if (width == 2) {
            with([this] { return Time(); });
        } else if (width == 3 && isFloat) {
            with([this] { return Float(); });
        } else if (width == 3) {
            with([this] { return U32(); });
        } else if (width == 7 && isFloat) {
            with([this] { return Double(3.0); });
        }  // 64-bit integer arrays have no setter
    }

    void Fill(CXQOVAObject& object) {
        object.SetValid(Below(2) ? 1 : 0);
        object.SetDirty(Below(2) ? 1 : 0);
        // The records of the present members and their identifiers: their
        // definition positions, unless a base chain comes first.
        std::vector<xqova::MemberRecord> records;
        std::vector<std::uint16_t> ids;
        xqova::MemberWalker walker(object.GetDefinition());
        xqova::MemberRecord record;
        for (std::uint16_t p = 0; object.GetDefinition() != nullptr && walker.Next(&record); ++p) {
            if (!record.InVersion(object.Version())) continue;
            records.push_back(record);
            ids.push_back(records.front().type == 0x16 ? 0xFFFF : p);
        }
        for (std::uint16_t pos = 0; pos < records.size(); ++pos) {
            const xqova::MemberRecord& r = records[pos];
            const std::uint16_t id = ids[pos];
            const std::uint8_t type = r.type;
            const std::uint8_t width = type & 7;
            if (width == 6 && !(type & 0xC0)) {
                CXQOVAObject* nested = object.At(pos);
                if (nested != nullptr) Fill(*nested);
            } else if (width == 6) {
                CXQOVAVector* vector = object.At(pos);
                if (vector != nullptr) FillVector(*vector, r);
            } else if (type & 0x80) {
                const bool text = (type & 0x28) == 0x08;
                const std::uint16_t count = text ? static_cast<std::uint16_t>(Below(r.fixedCount)) : r.fixedCount;
                FillArray(object, pos, id, type, count);
            } else if (type & 0x40) {
                FillArray(object, pos, id, type, static_cast<std::uint16_t>(Below(6)));
            } else if (width == 2) {
                Set(object, pos, id, Time());
            } else if ((type & 0x28) == 0x20) {
                if (width == 7) {
                    Set(object, pos, id, Double(7.0));
                } else {
                    Set(object, pos, id, Float());
                }
            } else {
                const bool text = (type & 0x28) == 0x08;
                Set(object, pos, id, printable && text ? static_cast<std::uint32_t>(Letter()) : U32());
            }
        }
    }

    void FillVector(CXQOVAVector& vector, const xqova::MemberRecord& r) {
        if (r.type & 0x80 && r.memberClass != kAnyClass) {
            for (std::uint16_t i = 0; i < vector.Size(); ++i) Fill(*vector.At(i));
            return;
        }
        if (depth >= 3) return;  // containers of containers: a few levels are enough
        ++depth;
        struct Leave {
            unsigned& d;
            ~Leave() { --d; }
        } leave{depth};
        const unsigned count = r.memberClass == kAnyClass ? 2 + Below(2) : 1 + Below(3);
        for (unsigned i = 0; i < count; ++i) {
            std::uint32_t cls = r.memberClass;
            if (cls == kAnyClass && !anyClasses.empty()) {
                cls = anyClasses[i % anyClasses.size()];
            } else if (cls == kAnyClass) {
                if (anyFrom == nullptr) return;
                cls = DefinitionClassID(anyFrom->GetDefinitionAt(static_cast<std::uint16_t>(Below(anyFrom->GetDefinitionCount()))));
            }
            CXQOVAObject* element = vector.Push(cls);
            if (element == nullptr) return;  // a bounded vector is full
            Fill(*element);
        }
    }
};

}  // namespace test_objects

#endif
