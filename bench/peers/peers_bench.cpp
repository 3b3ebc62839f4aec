// The library side by side with its peers, in one process, on one reading:
// the combined device record (CSESDZentoRec, eleven nested objects, 560 bytes
// encoded) with the same values in the library's object, in a protobuf
// message of an equivalent schema (zento_record.proto; generated code and a
// DynamicMessage on the same descriptor), and as a pugixml document of the
// same shape as the library's XML.
//
// Every benchmark also reports `allocs`: heap allocations per operation,
// counted outside the timed loop (allocation_count.h). scripts/bench.sh runs
// this program with repetitions and turns the medians into ratios
// (bench/peers/ratios.py).
#include <benchmark/benchmark.h>
#include <google/protobuf/arena.h>
#include <google/protobuf/descriptor.h>
#include <google/protobuf/dynamic_message.h>
#include <google/protobuf/message.h>
#include <pugixml.hpp>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bench/peers/allocation_count.h"
#include "xqova/builtin/builtin.h"
#include "xqova/core/crc16.h"
#include "xqova/dictionary/dictionary.h"
#include "xqova/object/member_accessor.h"
#include "xqova/object/object.h"
#include "zento_record.pb.h"

namespace {

namespace pb = google::protobuf;

// ---- The reading ------------------------------------------------------------

// One member value. The library's object takes it at the member's position,
// the protobuf message at field number position + 1 (the schema numbers its
// fields that way).
struct Value {
    enum Kind { kTime, kUnsigned, kSigned, kFloat, kBytes } kind;
    QOVA_TIME time;
    std::uint32_t number;
    std::int32_t signedNumber;
    float real;
    std::string bytes;
};

Value Time(std::uint16_t year, std::uint8_t month, std::uint8_t day, std::uint8_t hour, std::uint8_t minute,
           std::uint8_t second, std::uint8_t fraction) {
    return Value{Value::kTime, QOVA_TIME{year, month, day, hour, minute, second, fraction}, 0, 0, 0.0f, {}};
}
Value Unsigned(std::uint32_t v) { return Value{Value::kUnsigned, QOVA_TIME{}, v, 0, 0.0f, {}}; }
Value Signed(std::int32_t v) { return Value{Value::kSigned, QOVA_TIME{}, 0, v, 0.0f, {}}; }
Value Float(float v) { return Value{Value::kFloat, QOVA_TIME{}, 0, 0, v, {}}; }
Value Bytes(std::string v) { return Value{Value::kBytes, QOVA_TIME{}, 0, 0, 0.0f, std::move(v)}; }

// The time stamp as the schema carries it: the record's 8 bytes in one fixed64.
std::uint64_t PackTime(const QOVA_TIME& t) {
    return static_cast<std::uint64_t>(t.year) << 48 | static_cast<std::uint64_t>(t.month) << 40 |
           static_cast<std::uint64_t>(t.day) << 32 | static_cast<std::uint64_t>(t.hour) << 24 |
           static_cast<std::uint64_t>(t.minute) << 16 | static_cast<std::uint64_t>(t.second) << 8 | t.fraction;
}

// A morning check of one patient: every reading taken within a few minutes,
// status words and sources as a device reports them (some of them zero).
std::vector<std::vector<Value>> Readings() {
    const std::string guid("\x7B\x57\x32\x3E\xD6\x1A\x4E\x3D\x8E\xBC\xC8\x65\x80\x07\xBB\xCB", 16);
    return {
        // DeviceInfo: DateTime, RunTime, ModelName, SerialNumber, DeviceGUID, ModelNumber
        {Time(2026, 12, 6, 8, 15, 40, 0), Unsigned(1843200), Bytes("Zento 6000 Vital Signs Monitor"),
         Bytes("ZV6-2611-004218"), Bytes(guid), Bytes("ZV6000-NIBP-TEMP-SPO2")},
        // NIBPData: STime, Status, Systolic, Diastolic, MAP, HR, ExtStatus, Source, Mode, Method
        {Time(2026, 12, 6, 8, 14, 58, 12), Unsigned(1), Signed(128), Signed(84), Signed(99), Unsigned(72),
         Unsigned(0), Unsigned(2), Unsigned(1), Unsigned(3)},
        // TempData: STime, Status, ExtStatus, Source, Mode, Method, Temperature
        {Time(2026, 12, 6, 8, 13, 21, 47), Unsigned(1), Unsigned(0), Unsigned(1), Unsigned(2), Unsigned(1),
         Float(36.8f)},
        // SpO2Data: STime, Status, Sat, HR, ExtStatus, Source, Mode, Method
        {Time(2026, 12, 6, 8, 14, 2, 88), Unsigned(1), Unsigned(97), Unsigned(73), Unsigned(0), Unsigned(1),
         Unsigned(1), Unsigned(2)},
        // WeightData: STime, Status, Weight, Stabilization, ExtStatus, Mode, Method, Source
        {Time(2026, 12, 6, 8, 11, 45, 3), Unsigned(1), Unsigned(81350), Unsigned(1), Unsigned(0), Unsigned(1),
         Unsigned(1), Unsigned(4)},
        // HeightData: STime, Status, Height, ExtStatus, Mode, Method, Source
        {Time(2026, 12, 6, 8, 11, 52, 61), Unsigned(1), Unsigned(1782), Unsigned(0), Unsigned(2), Unsigned(1),
         Unsigned(0)},
        // BMIData: STime, Status, Weight, Height, BodyMassIndex, ExtStatus, Source, Mode, Method
        {Time(2026, 12, 6, 8, 11, 53, 0), Unsigned(1), Unsigned(81350), Unsigned(1782), Unsigned(256), Unsigned(0),
         Unsigned(3), Unsigned(1), Unsigned(1)},
        // RespData: STime, Status, ExtStatus, Source, Mode, Method, Respiration
        {Time(2026, 12, 6, 8, 15, 5, 20), Unsigned(1), Unsigned(0), Unsigned(0), Unsigned(2), Unsigned(2),
         Unsigned(16)},
        // PainData: STime, Status, ExtStatus, Source, Mode, Method, PainIndex
        {Time(2026, 12, 6, 8, 15, 30, 0), Unsigned(1), Unsigned(0), Unsigned(0), Unsigned(2), Unsigned(1),
         Unsigned(3)},
        // Clinician: STime, Status, ExtStatus, Source, Mode, Method, Identifier
        {Time(2026, 12, 6, 8, 10, 12, 9), Unsigned(1), Unsigned(0), Unsigned(5), Unsigned(1), Unsigned(1),
         Bytes("CLN-20417-7783")},
        // Patient: STime, Status, ExtStatus, Source, Mode, Method, Identifier
        {Time(2026, 12, 6, 8, 10, 31, 44), Unsigned(1), Unsigned(0), Unsigned(5), Unsigned(1), Unsigned(1),
         Bytes("MRN-004417-2291-A")},
    };
}

const QOVA_TIME kRecordTime{2026, 12, 6, 8, 15, 42, 37};

bool Fill(CXQOVAObject& object, const std::vector<Value>& values) {
    bool ok = true;
    for (std::uint16_t pos = 0; pos < values.size(); ++pos) {
        const Value& v = values[pos];
        switch (v.kind) {
            case Value::kTime: ok &= object.SetMemberAt(pos, v.time) == 1; break;
            case Value::kUnsigned: ok &= object.SetMemberAt(pos, v.number) == 1; break;
            case Value::kSigned: ok &= object.SetMemberAt(pos, v.signedNumber) == 1; break;
            case Value::kFloat: ok &= object.SetMemberAt(pos, v.real) == 1; break;
            case Value::kBytes:
                ok &= object.SetMemberAt(pos, reinterpret_cast<const unsigned char*>(v.bytes.data()),
                                         static_cast<std::uint16_t>(v.bytes.size())) == 1;
                break;
        }
    }
    object.SetValid(1);
    return ok;
}

bool Fill(pb::Message& message, const std::vector<Value>& values) {
    const pb::Reflection* reflection = message.GetReflection();
    const pb::Descriptor* descriptor = message.GetDescriptor();
    for (std::size_t pos = 0; pos < values.size(); ++pos) {
        const pb::FieldDescriptor* field = descriptor->FindFieldByNumber(static_cast<int>(pos + 1));
        if (field == nullptr) return false;
        const Value& v = values[pos];
        switch (v.kind) {
            case Value::kTime: reflection->SetUInt64(&message, field, PackTime(v.time)); break;
            case Value::kUnsigned: reflection->SetUInt32(&message, field, v.number); break;
            case Value::kSigned: reflection->SetInt32(&message, field, v.signedNumber); break;
            case Value::kFloat: reflection->SetFloat(&message, field, v.real); break;
            case Value::kBytes: reflection->SetString(&message, field, v.bytes); break;
        }
    }
    return true;
}

bool FillRecord(CXQOVAObject& record, const std::vector<std::vector<Value>>& readings) {
    bool ok = record.SetMemberAt(0, kRecordTime) == 1;
    for (std::uint16_t i = 0; i < readings.size(); ++i) {
        CXQOVAObject* nested = record.At(static_cast<std::uint16_t>(i + 1));
        ok = ok && nested != nullptr && Fill(*nested, readings[i]);
    }
    record.SetValid(1);
    return ok;
}

bool FillRecord(pb::Message& record, const std::vector<std::vector<Value>>& readings) {
    const pb::Reflection* reflection = record.GetReflection();
    const pb::Descriptor* descriptor = record.GetDescriptor();
    reflection->SetUInt64(&record, descriptor->FindFieldByNumber(1), PackTime(kRecordTime));
    for (std::size_t i = 0; i < readings.size(); ++i) {
        const pb::FieldDescriptor* field = descriptor->FindFieldByNumber(static_cast<int>(i + 2));
        if (field == nullptr || !Fill(*reflection->MutableMessage(&record, field), readings[i])) return false;
    }
    return true;
}

// ---- pugixml: a document of the library's shape ----------------------------

// The library's document of the record, read once into a list of building
// steps. Building replays them: elements, attributes and CDATA sections in
// the same order, decimal integers formatted by pugixml from their values,
// every other text (times, arrays, names) copied as it is.
struct XmlStep {
    enum Kind { kOpen, kClose, kAttributeText, kAttributeNumber, kCdataText, kCdataNumber } kind;
    std::string name;
    std::string text;
    long long number;
};

bool IsDecimal(const char* s, long long* value) {
    const char* p = s;
    if (*p == '-') ++p;
    if (*p < '0' || *p > '9' || (p[0] == '0' && p[1] != '\0') || std::strlen(p) > 12) return false;
    for (const char* q = p; *q; ++q) {
        if (*q < '0' || *q > '9') return false;
    }
    *value = std::strtoll(s, nullptr, 10);
    return true;
}

bool Compile(const pugi::xml_node& element, std::vector<XmlStep>& steps) {
    steps.push_back({XmlStep::kOpen, element.name(), {}, 0});
    for (const pugi::xml_attribute& a : element.attributes()) {
        long long n = 0;
        if (IsDecimal(a.value(), &n)) {
            steps.push_back({XmlStep::kAttributeNumber, a.name(), {}, n});
        } else {
            steps.push_back({XmlStep::kAttributeText, a.name(), a.value(), 0});
        }
    }
    for (const pugi::xml_node& child : element.children()) {
        if (child.type() == pugi::node_element) {
            if (!Compile(child, steps)) return false;
        } else if (child.type() == pugi::node_cdata) {
            long long n = 0;
            if (IsDecimal(child.value(), &n)) {
                steps.push_back({XmlStep::kCdataNumber, {}, {}, n});
            } else {
                steps.push_back({XmlStep::kCdataText, {}, child.value(), 0});
            }
        } else {
            return false;  // the library writes elements and CDATA only
        }
    }
    steps.push_back({XmlStep::kClose, {}, {}, 0});
    return true;
}

// Saves into a buffer of fixed capacity, as the library writes into one.
class BufferWriter : public pugi::xml_writer {
public:
    explicit BufferWriter(std::size_t capacity) : buffer_(capacity) {}
    void write(const void* data, std::size_t size) override {
        if (size_ + size <= buffer_.size()) std::memcpy(buffer_.data() + size_, data, size);
        size_ += size;
    }
    void Clear() { size_ = 0; }
    std::size_t Size() const { return size_; }
    std::string Text() const { return std::string(buffer_.data(), size_ < buffer_.size() ? size_ : buffer_.size()); }

private:
    std::vector<char> buffer_;
    std::size_t size_ = 0;
};

// Builds the document and saves it: one element per line, no indentation,
// no declaration, as the library writes its documents. Returns the bytes saved.
std::size_t BuildAndSave(const std::vector<XmlStep>& steps, BufferWriter& writer) {
    pugi::xml_document document;
    pugi::xml_node node = document;
    for (const XmlStep& step : steps) {
        switch (step.kind) {
            case XmlStep::kOpen: node = node.append_child(step.name.c_str()); break;
            case XmlStep::kClose: node = node.parent(); break;
            case XmlStep::kAttributeText: node.append_attribute(step.name.c_str()).set_value(step.text.c_str()); break;
            case XmlStep::kAttributeNumber: node.append_attribute(step.name.c_str()).set_value(step.number); break;
            case XmlStep::kCdataText: node.append_child(pugi::node_cdata).set_value(step.text.c_str()); break;
            case XmlStep::kCdataNumber:
                node.append_child(pugi::node_cdata);
                node.text().set(step.number);
                break;
        }
    }
    writer.Clear();
    document.save(writer, "", pugi::format_indent | pugi::format_no_declaration, pugi::encoding_utf8);
    return writer.Size();
}

// ---- The checksum, the plain way --------------------------------------------

// The same CRC-16 (reflected polynomial 0x8408, initial value 0xFFFF), one
// table look-up per byte.
struct ByteTable {
    ByteTable() {
        for (unsigned i = 0; i < 256; ++i) {
            std::uint16_t crc = static_cast<std::uint16_t>(i);
            for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0x8408) : crc >> 1;
            entries[i] = crc;
        }
    }
    std::array<std::uint16_t, 256> entries;
};

std::uint16_t ByteTableCRC(const unsigned char* data, std::size_t length) {
    static const ByteTable table;
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < length; ++i) {
        crc = static_cast<std::uint16_t>((crc >> 8) ^ table.entries[(crc ^ data[i]) & 0xFF]);
    }
    return crc;
}

// ---- Everything, made once --------------------------------------------------

constexpr std::uint32_t kZentoRec = 0x00170001;

struct Fixture {
    CXQOVADictionary dictionary{RER_KLEV_ZENTO::Dictionary()};
    CXQOVAObject record{&dictionary, kZentoRec, 0xFFFF};
    CXQOVAObject target{&dictionary, kZentoRec, 0xFFFF};
    std::vector<unsigned char> encoding;
    std::vector<char> xml;
    std::uint32_t xmlBytes = 0;

    xqova_bench::ZentoRecord generated;
    xqova_bench::ZentoRecord generatedTarget;
    pb::DynamicMessageFactory factory;
    const pb::Message* prototype = nullptr;
    std::unique_ptr<pb::Message> dynamic;
    std::unique_ptr<pb::Message> dynamicTarget;
    std::string wire;
    std::vector<char> wireBuffer;

    std::vector<XmlStep> steps;
    BufferWriter writer{1 << 20};

    std::vector<unsigned char> checksumData;

    std::string error;
    bool Make();
};

bool Fixture::Make() {
    const std::vector<std::vector<Value>> readings = Readings();
    if (!FillRecord(record, readings)) return error = "the library's record refused a value", false;
    encoding.resize(record.SizeAll(0xFFFF));
    if (encoding.empty() || record.Serialize(encoding.data(), 0xFFFF) != encoding.size()) {
        return error = "the record did not encode", false;
    }
    if (target.Deserialize(encoding.data(), encoding.size(), 1) != encoding.size()) {
        return error = "the record did not decode", false;
    }
    {
        CXQOVAObject built(&dictionary, xqova::EncodedBytes{encoding.data(), encoding.size()});
        std::vector<unsigned char> again(built.SizeAll(0xFFFF));
        if (again.empty() || built.Serialize(again.data(), 0xFFFF) != again.size() || again != encoding) {
            return error = "the record built from its bytes encodes differently", false;
        }
    }
    xml.resize(record.XMLSizeAll(0xFFFF));
    xmlBytes = xml.empty() ? 0 : record.XMLSerialize(xml.data(), 0xFFFF);
    if (xmlBytes == 0) return error = "the record's XML was not written", false;

    if (!FillRecord(generated, readings)) return error = "the protobuf schema lacks a field", false;
    prototype = factory.GetPrototype(xqova_bench::ZentoRecord::descriptor());
    if (prototype == nullptr) return error = "no dynamic prototype", false;
    dynamic.reset(prototype->New());
    dynamicTarget.reset(prototype->New());
    if (!FillRecord(*dynamic, readings)) return error = "the dynamic message lacks a field", false;
    wire = generated.SerializeAsString();
    if (wire != dynamic->SerializeAsString()) return error = "generated and dynamic messages differ", false;
    wireBuffer.resize(wire.size());
    if (!generatedTarget.ParseFromString(wire) || !dynamicTarget->ParseFromString(wire)) {
        return error = "the protobuf message did not parse", false;
    }

    pugi::xml_document parsed;
    if (!parsed.load_buffer(xml.data(), xmlBytes - 1, pugi::parse_default, pugi::encoding_utf8) ||
        !Compile(parsed.document_element(), steps)) {
        return error = "the library's XML did not load into pugixml", false;
    }
    BuildAndSave(steps, writer);
    pugi::xml_document reread;
    const std::string saved = writer.Text();
    if (!reread.load_buffer(saved.data(), saved.size())) return error = "pugixml's document does not load", false;

    checksumData.resize(1400);
    for (std::size_t i = 0; i < checksumData.size(); ++i) checksumData[i] = static_cast<unsigned char>(i * 31 + 7);
    if (ByteTableCRC(checksumData.data(), checksumData.size()) !=
        CalculateCRC(checksumData.data(), static_cast<std::uint32_t>(checksumData.size()))) {
        return error = "the byte-table checksum differs from CalculateCRC", false;
    }
    return true;
}

Fixture* g_fixture = nullptr;

// Times `operation`, reports its allocations per call and `bytes` per call
// as the bytes processed.
template <class F>
void Run(benchmark::State& state, F operation, double bytes) {
    if (xqova_bench::AllocationsCounted()) {
        state.counters["allocs"] = xqova_bench::AllocationsPerCall(operation);
    }
    for (auto _ : state) operation();
    state.SetBytesProcessed(static_cast<std::int64_t>(static_cast<double>(state.iterations()) * bytes));
    state.counters["bytes"] = bytes;
}

// ---- Decode into an existing object -----------------------------------------

void DecodeXqova(benchmark::State& state) {
    Fixture& f = *g_fixture;
    Run(state, [&] { benchmark::DoNotOptimize(f.target.Deserialize(f.encoding.data(), f.encoding.size(), 1)); },
        static_cast<double>(f.encoding.size()));
}

void DecodeProtobuf(benchmark::State& state) {
    Fixture& f = *g_fixture;
    Run(state, [&] {
        benchmark::DoNotOptimize(f.generatedTarget.ParseFromArray(f.wire.data(), static_cast<int>(f.wire.size())));
    }, static_cast<double>(f.wire.size()));
}

void DecodeDynamic(benchmark::State& state) {
    Fixture& f = *g_fixture;
    Run(state, [&] {
        benchmark::DoNotOptimize(f.dynamicTarget->ParseFromArray(f.wire.data(), static_cast<int>(f.wire.size())));
    }, static_cast<double>(f.wire.size()));
}

// ---- Build the object from bytes --------------------------------------------

void BuildXqova(benchmark::State& state) {
    Fixture& f = *g_fixture;
    Run(state, [&] {
        CXQOVAObject built(&f.dictionary, xqova::EncodedBytes{f.encoding.data(), f.encoding.size()});
        benchmark::DoNotOptimize(built.Version());
    }, static_cast<double>(f.encoding.size()));
}

void BuildDynamic(benchmark::State& state) {
    Fixture& f = *g_fixture;
    Run(state, [&] {
        std::unique_ptr<pb::Message> message(f.prototype->New());
        benchmark::DoNotOptimize(message->ParseFromArray(f.wire.data(), static_cast<int>(f.wire.size())));
    }, static_cast<double>(f.wire.size()));
}

void BuildProtobuf(benchmark::State& state) {
    Fixture& f = *g_fixture;
    Run(state, [&] {
        xqova_bench::ZentoRecord message;
        benchmark::DoNotOptimize(message.ParseFromArray(f.wire.data(), static_cast<int>(f.wire.size())));
    }, static_cast<double>(f.wire.size()));
}

// The peer at its fastest: generated code on an arena that is reset and
// reused (its first block given up front), so only the texts longer than the
// standard library keeps inline reach the heap.
void BuildProtobufArena(benchmark::State& state) {
    Fixture& f = *g_fixture;
    std::vector<char> block(64 * 1024);
    pb::ArenaOptions options;
    options.initial_block = block.data();
    options.initial_block_size = block.size();
    pb::Arena arena(options);
    Run(state, [&] {
        arena.Reset();
        auto* message = pb::Arena::CreateMessage<xqova_bench::ZentoRecord>(&arena);
        benchmark::DoNotOptimize(message->ParseFromArray(f.wire.data(), static_cast<int>(f.wire.size())));
    }, static_cast<double>(f.wire.size()));
}

// ---- Encode -----------------------------------------------------------------

void EncodeXqova(benchmark::State& state) {
    Fixture& f = *g_fixture;
    std::vector<unsigned char> buffer(f.encoding.size());
    Run(state, [&] {
        benchmark::DoNotOptimize(f.record.Serialize(buffer.data(), 0xFFFF));
        benchmark::ClobberMemory();
    }, static_cast<double>(buffer.size()));
}

void EncodeProtobuf(benchmark::State& state) {
    Fixture& f = *g_fixture;
    Run(state, [&] {
        benchmark::DoNotOptimize(
            f.generated.SerializeToArray(f.wireBuffer.data(), static_cast<int>(f.wireBuffer.size())));
        benchmark::ClobberMemory();
    }, static_cast<double>(f.wire.size()));
}

void EncodeDynamic(benchmark::State& state) {
    Fixture& f = *g_fixture;
    Run(state, [&] {
        benchmark::DoNotOptimize(
            f.dynamic->SerializeToArray(f.wireBuffer.data(), static_cast<int>(f.wireBuffer.size())));
        benchmark::ClobberMemory();
    }, static_cast<double>(f.wire.size()));
}

// ---- XML --------------------------------------------------------------------

void XmlXqova(benchmark::State& state) {
    Fixture& f = *g_fixture;
    std::vector<char> buffer(f.xml.size());
    Run(state, [&] { benchmark::DoNotOptimize(f.record.XMLSerialize(buffer.data(), 0xFFFF)); },
        static_cast<double>(f.xmlBytes));
}

void XmlPugixml(benchmark::State& state) {
    Fixture& f = *g_fixture;
    const std::size_t saved = BuildAndSave(f.steps, f.writer);
    Run(state, [&] { benchmark::DoNotOptimize(BuildAndSave(f.steps, f.writer)); }, static_cast<double>(saved));
}

// Bytes here are the document's size, not bytes written.
void XmlSizeAllXqova(benchmark::State& state) {
    Fixture& f = *g_fixture;
    Run(state, [&] { benchmark::DoNotOptimize(f.record.XMLSizeAll(0xFFFF)); }, static_cast<double>(f.xmlBytes));
}

// ---- Checksum of 1400 bytes -------------------------------------------------

void ChecksumXqova(benchmark::State& state) {
    Fixture& f = *g_fixture;
    Run(state, [&] {
        benchmark::DoNotOptimize(
            CalculateCRC(f.checksumData.data(), static_cast<std::uint32_t>(f.checksumData.size())));
    }, static_cast<double>(f.checksumData.size()));
}

void ChecksumByteTable(benchmark::State& state) {
    Fixture& f = *g_fixture;
    Run(state, [&] { benchmark::DoNotOptimize(ByteTableCRC(f.checksumData.data(), f.checksumData.size())); },
        static_cast<double>(f.checksumData.size()));
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    Fixture fixture;
    if (!fixture.Make()) {
        std::fprintf(stderr, "peers_bench: %s\n", fixture.error.c_str());
        return 1;
    }
    g_fixture = &fixture;
    // XQOVA_BENCH_DUMP_XML=prefix writes both documents, to compare their shape.
    if (const char* prefix = std::getenv("XQOVA_BENCH_DUMP_XML")) {
        const std::string pugi = fixture.writer.Text();
        const std::string names[2] = {std::string(prefix) + ".xqova.xml", std::string(prefix) + ".pugixml.xml"};
        const std::pair<const char*, std::size_t> texts[2] = {{fixture.xml.data(), fixture.xmlBytes - 1u},
                                                              {pugi.data(), pugi.size()}};
        for (int i = 0; i < 2; ++i) {
            if (std::FILE* file = std::fopen(names[i].c_str(), "wb")) {
                std::fwrite(texts[i].first, 1, texts[i].second, file);
                std::fclose(file);
            }
        }
    }
    std::printf("record: %zu bytes encoded by the library, %zu by protobuf; XML %u bytes (library), %zu (pugixml)\n",
                fixture.encoding.size(), fixture.wire.size(), fixture.xmlBytes, fixture.writer.Size());

    benchmark::RegisterBenchmark("decode/xqova", DecodeXqova);
    benchmark::RegisterBenchmark("decode/protobuf", DecodeProtobuf);
    benchmark::RegisterBenchmark("decode/dynamic", DecodeDynamic);
    benchmark::RegisterBenchmark("build/xqova", BuildXqova);
    benchmark::RegisterBenchmark("build/protobuf", BuildProtobuf);
    benchmark::RegisterBenchmark("build/protobuf_arena", BuildProtobufArena);
    benchmark::RegisterBenchmark("build/dynamic", BuildDynamic);
    benchmark::RegisterBenchmark("encode/xqova", EncodeXqova);
    benchmark::RegisterBenchmark("encode/protobuf", EncodeProtobuf);
    benchmark::RegisterBenchmark("encode/dynamic", EncodeDynamic);
    benchmark::RegisterBenchmark("xml/xqova", XmlXqova);
    benchmark::RegisterBenchmark("xml/pugixml", XmlPugixml);
    benchmark::RegisterBenchmark("xmlsizeall/xqova", XmlSizeAllXqova);
    benchmark::RegisterBenchmark("checksum1400/xqova", ChecksumXqova);
    benchmark::RegisterBenchmark("checksum1400/bytetable", ChecksumByteTable);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
