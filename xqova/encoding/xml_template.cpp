#include "xqova/encoding/xml_template.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

#include "xqova/core/class_id.h"
#include "xqova/core/memory.h"
#include "xqova/core/types.h"
#include "xqova/dictionary/compiled_definition.h"
#include "xqova/dictionary/dictionary.h"
#include "xqova/dictionary/hashing.h"

namespace xqova {
namespace xml {
namespace {

// What one run of Compose found: counts in the counting run, the arrays
// filled in the writing run.
struct Recorder {
    Hole* holes = nullptr;
    EnumTable* tables = nullptr;
    EnumLine* lines = nullptr;
    std::uint32_t* byValue = nullptr;
    std::uint32_t* direct = nullptr;
    std::uint32_t holeCount = 0;
    std::uint32_t directCount = 0;
    std::uint32_t tableCount = 0;
    std::uint32_t lineCount = 0;
    std::uint64_t holeFraming = 0;
    std::uint64_t membersEnd{};
    Chunk enumerationClose{};
    Chunk documentClose{};
    bool writable = true;
    bool outOfMemory = false;
};

// The first table recorded for each enumeration table of the definition (by
// its offset), so that members naming one table share its lines: a few in a
// list, any number in a map of every offset.
class TableOwners {
public:
    TableOwners() = default;
    TableOwners(const TableOwners&) = delete;
    TableOwners& operator=(const TableOwners&) = delete;
    ~TableOwners() { Release(map_); }

    // The table first recorded for `offset` (kNoLine when none, and then
    // `index` is recorded for it). False when memory runs out.
    bool Find(std::uint16_t offset, std::uint32_t index, std::uint32_t* owner) {
        if (map_ == nullptr) {
            for (std::uint32_t k = 0; k < count_; ++k) {
                if (offsets_[k] == offset) {
                    *owner = owners_[k];
                    return true;
                }
            }
            if (count_ < kListed) {
                offsets_[count_] = offset;
                owners_[count_++] = index;
                *owner = kNoLine;
                return true;
            }
            map_ = static_cast<std::uint32_t*>(Allocate(sizeof(std::uint32_t) * kOffsets));
            if (map_ == nullptr) return false;
            std::fill_n(map_, kOffsets, kNoLine);
            for (std::uint32_t k = 0; k < count_; ++k) map_[offsets_[k]] = owners_[k];
        }
        *owner = map_[offset];
        if (*owner == kNoLine) map_[offset] = index;
        return true;
    }

private:
    static constexpr std::uint32_t kListed = 16;
    static constexpr std::size_t kOffsets = 0x10000;  // every 16-bit offset
    std::uint16_t offsets_[kListed] = {};
    std::uint32_t owners_[kListed] = {};
    std::uint32_t count_ = 0;
    std::uint32_t* map_ = nullptr;
};

// What a hole's framing adds to the 8-bit size: the framing of a member
// holding a value less the "/>" and line feed of the empty member.
//   ">\n<VALUE>\n" ... "</VALUE>\n</MEMBER>\n" around nested documents
//   ">\n<VALUE><![CDATA[" ... "]]></VALUE>\n</MEMBER>\n" around a value text
constexpr std::uint32_t kObjectFraming = 26;
constexpr std::uint32_t kValueFraming = 37;

enum HoleKind : std::uint8_t { kValueHole = 0, kObjectHole = 1, kVectorHole = 2 };

const char* MemberClassName(const ObjectView& view, std::uint32_t memberClass) {
    if (view.dictionary == nullptr) return nullptr;
    return DefinitionText(view.dictionary->GetDefinition(memberClass), 0xFFFF);
}

template <class Sink>
Chunk Since(const Sink& sink, std::uint64_t start) {
    return Chunk{static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(sink.Bytes() - start)};
}

// A lookup by value finds the first pair of a table with that value: each
// line takes the text of that first pair, and `byValue` (room for `count`
// entries) receives the first pair of each value, ordered by value. Returns
// the number of values.
std::uint32_t IndexLines(EnumLine* lines, std::uint32_t count, std::uint32_t* byValue) {
    for (std::uint32_t k = 0; k < count; ++k) byValue[k] = k;
    // Stable: of equal values the first pair stays first.
    std::stable_sort(byValue, byValue + count,
                     [lines](std::uint32_t a, std::uint32_t b) { return lines[a].value < lines[b].value; });
    std::uint32_t values = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t k = byValue[i];
        if (values != 0 && lines[byValue[values - 1]].value == lines[k].value) {
            lines[k].line = lines[byValue[values - 1]].line;
        } else {
            byValue[values++] = k;
        }
    }
    return values;
}

// Indexes the lines just recorded for `table`: by value, and directly when
// the table has a direct index (which then reaches its largest value).
void IndexTable(Recorder& rec, EnumTable* table) {
    EnumLine* lines = rec.lines + table->firstLine;
    std::uint32_t* byValue = rec.byValue + table->firstByValue;
    table->values = IndexLines(lines, table->lines, byValue);
    if (table->directCount == 0) return;
    std::uint32_t* index = rec.direct + table->firstDirect;
    std::fill_n(index, table->directCount, kNoLine);
    for (std::uint32_t i = 0; i < table->values; ++i) index[lines[byValue[i]].value] = byValue[i];
}

// The constant text of the document through `sink`, with the holes, tables
// and lines recorded in `rec`. With `skeleton` every member is written empty
// and the enumerations are left out: the form the stored base size stands
// for. A name that does not resolve is left out and the document marked as
// one that cannot be written.
template <class Sink>
void Compose(const ObjectView& view, const CompiledDefinition& def, std::uint16_t version, Sink& sink,
             Recorder& rec, bool skeleton) {
    const unsigned char* definition = view.definition;
    const char* className = DefinitionText(definition, 0xFFFF);
    // A block without text names nothing; one with text names its class
    // and every member, as the definition check makes sure.
    if (className == nullptr) rec.writable = false;

    Put(sink, "<DEFINITION class=\"");
    if (className != nullptr) PutName(sink, className);
    Put(sink, "\" version=\"");
    sink.Unsigned(version);
    Put(sink, "\" family=\"");
    sink.Unsigned(GetFamily(view.classId));
    Put(sink, "\" genus=\"");
    sink.Unsigned(GetGenus(view.classId));
    Put(sink, "\" species=\"");
    sink.Unsigned(GetSpecies(view.classId));
    Put(sink, "\">\n<MEMBERS>\n");

    for (std::uint16_t p = 0; p < def.MemberCount(); ++p) {
        const CompiledMember& m = def.Member(p);
        const MemberType type = m.type;

        Put(sink, "<MEMBER type=\"");
        const char* typeName = TypeName(type.Byte());
        sink.Ascii(typeName, std::strlen(typeName));
        Put(sink, "\"");
        if (type.IsObject()) {
            Put(sink, " class=\"");
            if (m.memberClass == kNoClass) {
                Put(sink, "ANY_CLASS");
            } else if (const char* memberClassName = MemberClassName(view, m.memberClass)) {
                PutName(sink, memberClassName);
            } else {
                rec.writable = false;
            }
            Put(sink, "\"");
        }
        if (type.IsArray()) {
            Put(sink, " size=\"");
            if (type.IsUnbounded()) {
                Put(sink, "UNBOUNDED");
            } else {
                sink.Signed(m.fixedCount);
            }
            Put(sink, "\"");
        }
        if (type.IsInherit()) {
            Put(sink, " inherit=\"YES\"");
        } else if (m.name != nullptr) {
            Put(sink, " name=\"");
            PutName(sink, m.name);
            Put(sink, "\"");
        }
        Put(sink, " minversion=\"");
        sink.Signed(m.minVersion);
        Put(sink, "\" maxversion=\"");
        if (m.maxVersion == 0xFFFF) {
            Put(sink, "CURRENT_VERSION");
        } else {
            sink.Signed(m.maxVersion);
        }
        Put(sink, "\"");
        if (m.alias != kNoAlias) {
            Put(sink, " alias=\"");
            sink.Signed(static_cast<std::int32_t>(m.alias));
            Put(sink, "\"");
        }
        if (m.units != 0xFF) {
            Put(sink, " units=\"");
            sink.Signed(m.units);
            Put(sink, "\"");
        }
        if (m.scaleCoefficient != 1 || m.scaleExponent != 0) {
            Put(sink, " scalecoefficient=\"");
            sink.Unsigned(m.scaleCoefficient);
            Put(sink, "\" scaleexponent=\"");
            sink.Signed(m.scaleExponent);
            Put(sink, "\"");
        }
        if (type.IsBitmask()) Put(sink, " format=\"BITMASK\"");

        const bool present = !skeleton && view.idToSlot != nullptr && m.InVersion(version) &&
                             view.idToSlot[p] < view.presentCount;
        if (!present) {
            Put(sink, "/>\n");
            continue;
        }
        if (type.IsObject()) {
            Put(sink, ">\n<VALUE>\n");
        } else {
            Put(sink, ">\n<VALUE><![CDATA[");
        }
        if (rec.holes != nullptr) {
            const std::uint8_t kind = !type.IsObject() ? kValueHole : type.IsArray() ? kVectorHole : kObjectHole;
            rec.holes[rec.holeCount] = Hole{static_cast<std::uint32_t>(sink.Bytes()), p, view.idToSlot[p], kind};
        }
        ++rec.holeCount;
        rec.holeFraming += type.IsObject() ? kObjectFraming : kValueFraming;
        if (type.IsObject()) {
            Put(sink, "</VALUE>\n</MEMBER>\n");
        } else {
            Put(sink, "]]></VALUE>\n</MEMBER>\n");
        }
    }
    Put(sink, "</MEMBERS>\n");
    rec.membersEnd = sink.Bytes();

    if (!skeleton && view.idToSlot != nullptr) {
        // Each member the object holds whose text entry has a name and an
        // enumeration table: its start tag and one line per pair.
        TableOwners owners;
        for (std::uint16_t p = 0; p < def.MemberCount(); ++p) {
            const std::uint16_t s = view.idToSlot[p];
            if (s >= view.presentCount || !DefinitionHasEnumeration(definition, p)) continue;
            const char* name = DefinitionText(definition, p);
            if (name == nullptr) continue;
            std::uint32_t owner = kNoLine;
            if (!owners.Find(DefinitionEnumerationTableOffset(definition, p), rec.tableCount, &owner)) {
                rec.outOfMemory = true;
                return;
            }
            const std::uint16_t pairs = DefinitionEnumerationSize(definition, p);
            std::uint64_t start = sink.Bytes();
            Put(sink, "<ENUMERATION name=\"");
            PutName(sink, name);
            Put(sink, "\">\n");
            EnumTable* table = rec.tables == nullptr ? nullptr : rec.tables + rec.tableCount;
            const bool bitmask = def.Member(p).type.IsBitmask();
            ++rec.tableCount;
            if (owner != kNoLine) {
                if (table != nullptr) {
                    *table = rec.tables[owner];
                    table->slot = s;
                    table->bitmask = bitmask;
                    table->open = Since(sink, start);
                }
                continue;
            }
            if (table != nullptr) {
                *table = EnumTable{s, bitmask, Since(sink, start), rec.lineCount, pairs, rec.lineCount, 0, 0, 0};
            }
            // One line per pair the table holds: the read of the pair past
            // the last one ends the walk.
            std::uint32_t maxValue = 0;
            for (std::uint16_t k = 0; const auto pair = DefinitionEnumerationPair(definition, p, k); ++k) {
                const auto [value, enumerator] = *pair;
                start = sink.Bytes();
                Put(sink, "<ENUM name=\"");
                PutName(sink, enumerator);
                Put(sink, "\" defaultvalue=\"");
                sink.Unsigned(value);
                Put(sink, "\" selected=\"YES\"/>\n");
                if (rec.lines != nullptr) rec.lines[rec.lineCount] = EnumLine{value, Since(sink, start)};
                ++rec.lineCount;
                if (value > maxValue) maxValue = value;
            }
            if (table != nullptr) {
                table->firstDirect = rec.directCount;
                table->directCount = DirectCount(maxValue, pairs);
                IndexTable(rec, table);
            }
            rec.directCount += DirectCount(maxValue, pairs);
        }
        const std::uint64_t start = sink.Bytes();
        Put(sink, "</ENUMERATION>\n");
        rec.enumerationClose = Since(sink, start);
    }
    const std::uint64_t start = sink.Bytes();
    Put(sink, "</DEFINITION>\n");
    rec.documentClose = Since(sink, start);
}

constexpr std::size_t Align(std::size_t n) { return (n + 7) / 8 * 8; }

template <class Sink>
Template* Build(const ObjectView& view, const CompiledDefinition& def, std::uint16_t version) {
    CharSink emptyForm(nullptr);
    Recorder skeleton;
    Compose(view, def, version, emptyForm, skeleton, true);

    Sink counter = Sink::Over(nullptr);
    Recorder counts;
    Compose(view, def, version, counter, counts, false);
    if (counts.outOfMemory) return nullptr;

    const std::size_t holesAt = Align(sizeof(Template));
    const std::size_t tablesAt = holesAt + Align(sizeof(Hole) * counts.holeCount);
    const std::size_t linesAt = tablesAt + Align(sizeof(EnumTable) * counts.tableCount);
    const std::size_t byValueAt = linesAt + Align(sizeof(EnumLine) * counts.lineCount);
    const std::size_t directAt = byValueAt + Align(sizeof(std::uint32_t) * counts.lineCount);
    const std::size_t textAt = directAt + Align(sizeof(std::uint32_t) * counts.directCount);
    // Offsets into the text are 32 bits, and so is the whole template's size,
    // which then cannot wrap where size_t has 32 bits. Only a hostile
    // definition comes near: names of up to 64 KiB repeated by thousands of
    // members, escaped and in UTF-16.
    if (counter.Bytes() > 0xFFFFFFFFu - textAt) return nullptr;
    const std::size_t total = textAt + static_cast<std::size_t>(counter.Bytes());
    auto* memory = static_cast<unsigned char*>(Allocate(total));
    if (memory == nullptr) return nullptr;

    Recorder rec;
    rec.holes = reinterpret_cast<Hole*>(memory + holesAt);
    rec.tables = reinterpret_cast<EnumTable*>(memory + tablesAt);
    rec.lines = reinterpret_cast<EnumLine*>(memory + linesAt);
    rec.byValue = reinterpret_cast<std::uint32_t*>(memory + byValueAt);
    rec.direct = reinterpret_cast<std::uint32_t*>(memory + directAt);
    Sink writer = Sink::Over(memory + textAt);
    Compose(view, def, version, writer, rec, false);
    if (rec.outOfMemory) {
        Release(memory);
        return nullptr;
    }
    auto* t = new (memory) Template();
    t->next = nullptr;
    t->compiled = view.compiled;
    t->classId = view.classId;
    t->version = version;
    t->objectVersion = view.version;
    t->presentCount = view.presentCount;
    t->hasSlots = view.idToSlot != nullptr;
    t->variant = Sink::kVariant;
    t->writable = rec.writable;
    t->skeletonLength = emptyForm.Bytes();
    t->holeFraming = rec.holeFraming;
    t->bytes = total;
    t->text = memory + textAt;
    t->membersEnd = static_cast<std::uint32_t>(rec.membersEnd);
    t->enumerationClose = rec.enumerationClose;
    t->documentClose = rec.documentClose;
    t->holes = rec.holes;
    t->holeCount = static_cast<std::uint16_t>(rec.holeCount);
    t->tables = rec.tables;
    t->tableCount = rec.tableCount;
    t->lines = rec.lines;
    t->byValue = rec.byValue;
    t->direct = rec.direct;
    return t;
}

Template* BuildFor(const ObjectView& view, const CompiledDefinition& def, std::uint16_t version, Variant variant) {
    switch (variant) {
        case Variant::kChar:
            return Build<CharSink>(view, def, version);
        case Variant::kUtf16:
            return Build<Utf16Sink>(view, def, version);
        case Variant::kSafeChar:
            return Build<SafeSink<CharSink>>(view, def, version);
        case Variant::kSafeUtf16:
            return Build<SafeSink<Utf16Sink>>(view, def, version);
    }
    return nullptr;
}

// The templates of one dictionary: a fixed table of buckets, each a list
// that only grows (by compare-exchange at its head) until the dictionary
// drops the whole cache. A power of two, so that the remainder is a mask.
constexpr std::size_t kBuckets = 256;
static_assert((kBuckets & (kBuckets - 1)) == 0, "a bucket is the hash's low bits");

struct Cache : DerivedData {
    std::atomic<std::size_t> bytes{0};  // pointer-sized: lock-free on every target
    std::atomic<Template*> buckets[kBuckets];
};

void FreeCache(DerivedData* data) {
    auto* cache = static_cast<Cache*>(data);
    for (std::atomic<Template*>& bucket : cache->buckets) {
        for (Template* t = bucket.load(std::memory_order_acquire); t != nullptr;) {
            Template* next = t->next;
            Release(t);
            t = next;
        }
    }
    cache->~Cache();
    Release(cache);
}

Cache* CacheOf(const CXQOVADictionary& dictionary) {
    std::atomic<DerivedData*>& slot = dictionary.Derived();
    DerivedData* data = slot.load(std::memory_order_acquire);
    if (data != nullptr) return static_cast<Cache*>(data);
    void* memory = Allocate(sizeof(Cache));
    if (memory == nullptr) return nullptr;
    auto* cache = new (memory) Cache();
    cache->free = &FreeCache;
    for (std::atomic<Template*>& bucket : cache->buckets) bucket.store(nullptr, std::memory_order_relaxed);
    DerivedData* expected = nullptr;
    if (slot.compare_exchange_strong(expected, cache, std::memory_order_acq_rel, std::memory_order_acquire)) {
        return cache;
    }
    FreeCache(cache);  // another thread published first
    return static_cast<Cache*>(expected);
}

std::size_t BucketOf(const ObjectView& view, std::uint16_t version, Variant variant) {
    std::uint64_t h = Mix64(reinterpret_cast<std::uintptr_t>(view.compiled));
    h = Mix64(h ^ view.classId);
    h = Mix64(h ^ version);
    h = Mix64(h ^ view.version);
    return static_cast<std::size_t>(Mix64(h ^ static_cast<std::uint64_t>(variant)) % kBuckets);
}

const Template* Find(const Template* t, const Template* end, const ObjectView& view, std::uint16_t version,
                     Variant variant) {
    for (; t != end; t = t->next) {
        if (t->Matches(view.compiled, view.classId, version, view.version, view.presentCount,
                       view.idToSlot != nullptr, variant)) {
            return t;
        }
    }
    return nullptr;
}

}  // namespace

TemplateRef::~TemplateRef() {
    Release(const_cast<Template*>(owned_));
}

TemplateRef AcquireTemplate(const ObjectView& view, std::uint16_t version, Variant variant) {
    if (view.definition == nullptr || DefinitionXMLSize(view.definition) == 0) return TemplateRef();

    // A table of the object's own (memory for it ran out when the object
    // was built): compiled for this call.
    if (view.compiled == nullptr) {
        CompiledDefinition* own = CompiledDefinition::Compile(view.definition, DefinitionFullSize(view.definition));
        if (own == nullptr) return TemplateRef();
        Template* t = BuildFor(view, *own, version, variant);
        CompiledDefinition::Free(own);
        return TemplateRef(t, true);
    }
    // Only tables that live as long as the dictionary key its cache.
    Cache* cache = view.dictionary != nullptr && !view.ownsCompiled ? CacheOf(*view.dictionary) : nullptr;
    if (cache == nullptr) return TemplateRef(BuildFor(view, *view.compiled, version, variant), true);

    std::atomic<Template*>& bucket = cache->buckets[BucketOf(view, version, variant)];
    Template* head = bucket.load(std::memory_order_acquire);
    if (const Template* found = Find(head, nullptr, view, version, variant)) return TemplateRef(found, false);

    Template* t = BuildFor(view, *view.compiled, version, variant);
    if (t == nullptr) return TemplateRef();
    if (cache->bytes.fetch_add(t->bytes, std::memory_order_relaxed) + t->bytes > kTemplateCacheBytes) {
        cache->bytes.fetch_sub(t->bytes, std::memory_order_relaxed);
        return TemplateRef(t, true);
    }
    for (;;) {
        t->next = head;
        Template* seen = head;
        if (bucket.compare_exchange_weak(head, t, std::memory_order_release, std::memory_order_acquire)) {
            return TemplateRef(t, false);
        }
        // Others published in the meantime: theirs may be this very one.
        if (const Template* found = Find(head, seen, view, version, variant)) {
            cache->bytes.fetch_sub(t->bytes, std::memory_order_relaxed);
            Release(t);
            return TemplateRef(found, false);
        }
    }
}

}  // namespace xml
}  // namespace xqova
