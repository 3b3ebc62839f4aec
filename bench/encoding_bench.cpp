// Binary encoding and decoding of a populated NIBP reading (CNIBPDStd, flat)
// and of the combined device record (CSESDZentoRec, eleven nested objects).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "xqova/builtin/builtin.h"
#include "xqova/dictionary/dictionary.h"
#include "xqova/object/object.h"

namespace {

constexpr std::uint32_t kNIBPD = 0x00050000;
constexpr std::uint32_t kZentoRec = 0x00170001;

CXQOVADictionary& Device() {
    static CXQOVADictionary dictionary(RER_KLEV_ZENTO::Dictionary());
    return dictionary;
}

// Gives every member of the object (and of its nested objects) a value.
void Populate(CXQOVAObject& object) {
    const QOVA_TIME stamp = {2024, 3, 5, 6, 7, 8, 9};
    const char text[] = "XQ-4410-0815-AB";
    const unsigned char bytes[16] = {0x7B, 0x57, 0x32, 0x3E, 0xD6, 0x1A, 0x4E, 0x3D,
                                     0x8E, 0xBC, 0xC8, 0x65, 0x80, 0x07, 0xBB, 0xCB};
    for (std::uint16_t pos = 0; pos < object.MemberCount(); ++pos) {
        const std::uint8_t type = object.GetMemberAtType(pos);
        if (type == 0x06) {
            CXQOVAObject* nested = object.At(pos);
            if (nested != nullptr) Populate(*nested);
        } else if (type == 0x02) {
            object.SetMemberAt(pos, stamp);
        } else if (type & 0xC0) {
            const std::uint16_t room = object.GetMemberAtNumElements(pos);
            if ((type & 0x28) == 0x08) {
                object.SetMemberAt(pos, text, static_cast<std::uint16_t>(room > 15 ? 15 : room - 1));
            } else {
                object.SetMemberAt(pos, bytes, static_cast<std::uint16_t>(room > 16 ? 16 : room));
            }
        } else if ((type & 0x28) == 0x20) {
            object.SetMemberAt(pos, 36.6f);
        } else {
            object.SetMemberAt(pos, static_cast<std::uint32_t>(pos * 7u + 1u));
        }
    }
    object.SetValid(1);
}

void Encode(benchmark::State& state, std::uint32_t classId) {
    CXQOVAObject object(&Device(), classId, 0xFFFF);
    Populate(object);
    std::vector<unsigned char> buffer(object.SizeAll(0xFFFF));
    for (auto _ : state) {
        benchmark::DoNotOptimize(object.Serialize(buffer.data(), 0xFFFF));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * buffer.size()));
    state.counters["bytes"] = static_cast<double>(buffer.size());
}

void Decode(benchmark::State& state, std::uint32_t classId) {
    CXQOVAObject source(&Device(), classId, 0xFFFF);
    Populate(source);
    std::vector<unsigned char> buffer(source.SizeAll(0xFFFF));
    source.Serialize(buffer.data(), 0xFFFF);
    CXQOVAObject target(&Device(), classId, 0xFFFF);
    for (auto _ : state) {
        benchmark::DoNotOptimize(target.Deserialize(buffer.data(), buffer.size(), 1));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * buffer.size()));
}

// Shape and values from the bytes alone, as a host receiving from a device.
void BuildFromBytes(benchmark::State& state, std::uint32_t classId) {
    CXQOVAObject source(&Device(), classId, 0xFFFF);
    Populate(source);
    std::vector<unsigned char> buffer(source.SizeAll(0xFFFF));
    source.Serialize(buffer.data(), 0xFFFF);
    for (auto _ : state) {
        CXQOVAObject built(&Device(), xqova::EncodedBytes{buffer.data(), buffer.size()});
        benchmark::DoNotOptimize(built.Version());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * buffer.size()));
}

void BM_EncodeNIBP(benchmark::State& state) { Encode(state, kNIBPD); }
void BM_DecodeNIBP(benchmark::State& state) { Decode(state, kNIBPD); }
void BM_BuildFromBytesNIBP(benchmark::State& state) { BuildFromBytes(state, kNIBPD); }
void BM_EncodeZentoRec(benchmark::State& state) { Encode(state, kZentoRec); }
void BM_DecodeZentoRec(benchmark::State& state) { Decode(state, kZentoRec); }
void BM_BuildFromBytesZentoRec(benchmark::State& state) { BuildFromBytes(state, kZentoRec); }

}  // namespace

BENCHMARK(BM_EncodeNIBP);
BENCHMARK(BM_DecodeNIBP);
BENCHMARK(BM_BuildFromBytesNIBP);
BENCHMARK(BM_EncodeZentoRec);
BENCHMARK(BM_DecodeZentoRec);
BENCHMARK(BM_BuildFromBytesZentoRec);
