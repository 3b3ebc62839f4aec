// XML documents of the combined device record (twelve documents in one):
// writing in 8-bit text and UTF-16, and the sizes asked for before writing.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "xqova/builtin/builtin.h"
#include "xqova/dictionary/dictionary.h"
#include "xqova/dictionary/member_type.h"
#include "xqova/object/member_accessor.h"
#include "xqova/object/object.h"

namespace {

// Every member of the object and of its nested objects gets a value: text
// members a name-like text, numbers something of a few digits.
void Populate(CXQOVAObject& object, std::uint32_t seed) {
    for (std::uint16_t pos = 0; pos < object.MemberCount(); ++pos) {
        CXQOVAData_u& m = object.At(pos);
        const xqova::MemberType type(m.Type());
        const std::uint32_t v = seed * 2654435761u + pos * 40503u;
        if (type.IsObject()) {
            if (CXQOVAObject* nested = m) Populate(*nested, v);
        } else if (type.IsArray()) {
            const std::string text = "Reading-" + std::to_string(v % 100000);
            if (type.IsText()) {
                object.SetMemberAt(pos, text.c_str(), static_cast<std::uint16_t>(text.size() % 15));
            } else {
                std::vector<unsigned char> bytes(object.GetMemberAtNumElements(pos), static_cast<unsigned char>(v));
                object.SetMemberAt(pos, bytes.data(), static_cast<std::uint16_t>(bytes.size()));
            }
        } else if (type.IsTime()) {
            object.SetMemberAt(pos, QOVA_TIME{2024, 3, 5, 6, 7, 8, static_cast<std::uint8_t>(v % 100)});
        } else if (type.IsFloat()) {
            object.SetMemberAt(pos, 36.6f + static_cast<float>(v % 10));
        } else {
            object.SetMemberAt(pos, v % 1000u);
        }
    }
}

struct Record {
    Record() : dictionary(RER_KLEV_ZENTO::Dictionary()), object(&dictionary, 0x00170001u, 0xFFFF) {
        Populate(object, 1);
    }
    CXQOVADictionary dictionary;
    CXQOVAObject object;
};

Record& TheRecord() {
    static Record record;
    return record;
}

void BM_XMLSerializeChar(benchmark::State& state) {
    CXQOVAObject& record = TheRecord().object;
    std::vector<char> buffer(record.XMLSizeAll(0xFFFF));
    std::uint32_t written = 0;
    for (auto _ : state) {
        written = record.XMLSerialize(buffer.data(), 0xFFFF);
        benchmark::DoNotOptimize(written);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * written);
    state.counters["document_bytes"] = written;
}
BENCHMARK(BM_XMLSerializeChar);

void BM_XMLSerializeUtf16(benchmark::State& state) {
    CXQOVAObject& record = TheRecord().object;
    std::vector<unsigned short> buffer(record.XMLSizeAll(XML_ENCODING_UTF16, 0xFFFF) / 2);
    std::uint32_t written = 0;
    for (auto _ : state) {
        written = record.XMLSerialize(buffer.data(), 0xFFFF);
        benchmark::DoNotOptimize(written);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * written);
    state.counters["document_bytes"] = written;
}
BENCHMARK(BM_XMLSerializeUtf16);

// Bytes per second here are document bytes sized, not bytes written.
void BM_XMLSizeAll(benchmark::State& state) {
    CXQOVAObject& record = TheRecord().object;
    std::uint32_t size = 0;
    for (auto _ : state) {
        size = record.XMLSizeAll(0xFFFF);
        benchmark::DoNotOptimize(size);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * size);
    state.counters["document_bytes"] = size;
}
BENCHMARK(BM_XMLSizeAll);

void BM_XMLSizeAllUtf16(benchmark::State& state) {
    CXQOVAObject& record = TheRecord().object;
    std::uint32_t size = 0;
    for (auto _ : state) {
        size = record.XMLSizeAll(XML_ENCODING_UTF16, 0xFFFF);
        benchmark::DoNotOptimize(size);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * size);
    state.counters["document_bytes"] = size;
}
BENCHMARK(BM_XMLSizeAllUtf16);

}  // namespace
