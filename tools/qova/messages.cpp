#include "tools/qova/messages.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <memory>
#include <system_error>

#include "tools/qova/commands.h"
#include "xqova/core/class_id.h"
#include "xqova/core/frame_header.h"
#include "xqova/core/guid_time.h"
#include "xqova/core/limits.h"
#include "xqova/dictionary/definition.h"
#include "xqova/message/connection.h"
#include "xqova/message/rendezvous.h"
#include "xqova/message/stream_reader.h"

namespace qova {

namespace {

constexpr std::uint32_t kConDStd = 0x001E0000u;
constexpr std::uint32_t kConDDescriptor = 0x001E0003u;
constexpr std::uint32_t kConDExtLst = 0x001E1201u;
constexpr std::uint32_t kRNDZDStd = 0x001D0000u;

const char* const kDescriptorNames[3] = {"DESCRIPTOR_NORMAL", "DESCRIPTOR_KEEPALIVE_TIMEOUT",
                                         "DESCRIPTOR_TRANSPORT_REMOVAL"};

std::unique_ptr<DtData> NewMessage(const std::string& type) {
    if (type == "CConDStd") return std::unique_ptr<DtData>(new CConDStd());
    if (type == "CConDDescriptor") return std::unique_ptr<DtData>(new CConDDescriptor());
    if (type == "CConDExtLst") return std::unique_ptr<DtData>(new CConDExtLst());
    if (type == "CRNDZDStd") return std::unique_ptr<DtData>(new CRNDZDStd());
    std::string list;
    for (const auto& name : MessageNames()) list += (list.empty() ? "" : ", ") + name;
    throw Failure("unknown message " + type + " (messages: " + list + ")");
}

// The message that reads frames of a class: decoding keeps the family and
// genus of the message and takes the species from the frame, so the
// connection messages of genus 0 are told apart by species.
const char* MessageFor(std::uint32_t classId) {
    const std::uint32_t familyGenus = classId & 0xFFFFFF00u;
    if (familyGenus == (kConDStd & 0xFFFFFF00u)) {
        return classId == kConDDescriptor ? "CConDDescriptor" : "CConDStd";
    }
    if (familyGenus == (kConDExtLst & 0xFFFFFF00u)) return "CConDExtLst";
    if (familyGenus == (kRNDZDStd & 0xFFFFFF00u)) return "CRNDZDStd";
    return nullptr;
}

std::string Trim(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

unsigned long ParseUnsigned(const std::string& field, const std::string& text, unsigned long max) {
    const std::string t = Trim(text);
    char* end = nullptr;
    errno = 0;
    const unsigned long v = std::strtoul(t.c_str(), &end, 0);
    if (t.empty() || t[0] == '-' || *end != '\0' || errno != 0 || v > max) {
        throw Failure(field + ": '" + text + "' is not a number from 0 to " + std::to_string(max));
    }
    return v;
}

Bytes ParseByteList(const std::string& field, const std::string& text) {
    Bytes bytes;
    if (Trim(text).empty()) return bytes;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        bytes.push_back(static_cast<unsigned char>(
            ParseUnsigned(field, text.substr(start, comma == std::string::npos ? std::string::npos : comma - start),
                          255)));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (bytes.size() > 0xFFFF) throw Failure(field + ": at most 65535 bytes");
    return bytes;
}

Bytes ParseGuid(const std::string& field, const std::string& text) {
    std::string digits;
    for (char c : text) {
        if (c != '{' && c != '}') digits += c;
    }
    Bytes bytes;
    try {
        bytes = ParseHex(digits);
    } catch (const Failure& failure) {
        throw Failure(field + ": " + failure.what());
    }
    if (bytes.size() != 16) {
        throw Failure(field + ": a GUID has 16 bytes, '" + text + "' gives " + std::to_string(bytes.size()));
    }
    return bytes;
}

// Whole frames laid end to end; their count.
std::uint16_t CountFrames(const DtData& message, const std::string& field, const Bytes& frames) {
    std::size_t offset = 0;
    std::size_t count = 0;
    while (offset < frames.size()) {
        const std::size_t size = message.QOVASerialSize(frames.data() + offset, frames.size() - offset, nullptr);
        if (size == 0) {
            throw Failure(field + ": the bytes at offset " + std::to_string(offset) + " are not a whole frame");
        }
        offset += size;
        ++count;
    }
    if (count > 0xFFFF) throw Failure(field + ": at most 65535 frames");
    return static_cast<std::uint16_t>(count);
}

void Unknown(const std::string& type, const std::string& field, const char* fields) {
    throw Failure(type + " has no field " + field + " (fields: " + fields + ", DataBitField)");
}

void SetField(DtData& message, const std::string& type, const std::string& field, const std::string& value) {
    if (field == "DataBitField") {
        message.SetDataBitField(static_cast<unsigned char>(ParseUnsigned(field, value, 255)));
        return;
    }
    if (auto* standard = dynamic_cast<CConDStd*>(&message)) {
        if (field == "DeviceGUID") {
            const Bytes guid = ParseGuid(field, value);
            standard->SetDeviceGUID(guid.data(), 16);
        } else if (field == "SourceID") {
            if (value.size() >= 0xFFFF) throw Failure(field + ": at most 65534 characters");
            if (standard->SetSourceID(value.c_str(), static_cast<std::uint16_t>(value.size())) == 0) {
                throw Failure(field + ": out of memory");
            }
        } else if (field == "Reserved") {
            const Bytes bytes = ParseByteList(field, value);
            if (standard->SetReserved(bytes.data(), static_cast<std::uint16_t>(bytes.size())) == 0) {
                throw Failure(field + ": out of memory");
            }
        } else {
            Unknown(type, field, "DeviceGUID, SourceID, Reserved");
        }
    } else if (auto* descriptor = dynamic_cast<CConDDescriptor*>(&message)) {
        if (field == "Descriptor") {
            for (std::uint16_t v = 0; v < 3; ++v) {
                if (value == kDescriptorNames[v]) return descriptor->SetDescriptor(v);
            }
            descriptor->SetDescriptor(static_cast<std::uint16_t>(ParseUnsigned(field, value, 0xFFFF)));
        } else if (field == "Data") {
            const Bytes bytes = ParseByteList(field, value);
            if (descriptor->SetData(bytes.data(), static_cast<std::uint16_t>(bytes.size())) == 0) {
                throw Failure(field + ": out of memory");
            }
        } else {
            Unknown(type, field, "Descriptor, Data");
        }
    } else if (auto* list = dynamic_cast<CConDExtLst*>(&message)) {
        if (field != "ConnectionList") Unknown(type, field, "ConnectionList");
        Bytes frames;
        try {
            frames = ParseHex(value);
        } catch (const Failure& failure) {
            throw Failure(field + ": " + failure.what());
        }
        const std::uint16_t count = CountFrames(*list, field, frames);
        list->DeleteConnectionList();
        if (count != 0 && list->AppendConnectionList(frames.data(), static_cast<std::uint32_t>(frames.size()),
                                                     count) == 0) {
            throw Failure(field + ": the list was refused");
        }
    } else if (auto* rendezvous = dynamic_cast<CRNDZDStd*>(&message)) {
        if (field == "DeviceGUID") {
            const Bytes guid = ParseGuid(field, value);
            rendezvous->SetDeviceGUID(guid.data(), 16);
        } else if (field == "RERVersion") {
            rendezvous->SetRERVersion(static_cast<std::uint16_t>(ParseUnsigned(field, value, 0xFFFF)));
        } else if (field == "Data") {
            const Bytes bytes = ParseByteList(field, value);
            if (rendezvous->SetData(bytes.data(), static_cast<std::uint16_t>(bytes.size())) == 0) {
                throw Failure(field + ": out of memory");
            }
        } else {
            Unknown(type, field, "DeviceGUID, RERVersion, Data");
        }
    }
}

std::string GuidText(const unsigned char* bytes) {
    char text[40];
    GUIDToStr(bytes, text, 16);
    return std::string(text, 38);
}

Json ByteArray(const unsigned char* bytes, std::size_t count) {
    Json array = Json::array();
    for (std::size_t i = 0; bytes != nullptr && i < count; ++i) array.push_back(bytes[i]);
    return array;
}

std::string FrameClassName(Catalog& catalog, std::uint32_t classId) {
    const char* message = MessageFor(classId);
    if (message != nullptr) return message;
    return catalog.Definition(classId) != nullptr ? catalog.Name(classId) : HexId(classId);
}

Json FieldsJson(Catalog& catalog, const DtData& message) {
    Json fields = Json::object();
    if (const auto* standard = dynamic_cast<const CConDStd*>(&message)) {
        fields["DeviceGUID"] = GuidText(standard->GetDeviceGUID(nullptr));
        std::uint16_t length = 0;
        const char* source = standard->GetSourceID(&length);
        fields["SourceID"] = source == nullptr ? std::string() : std::string(source, length);
        length = 0;
        const unsigned char* reserved = standard->GetReserved(&length);
        fields["Reserved"] = ByteArray(reserved, reserved == nullptr ? 0 : length);
    } else if (const auto* descriptor = dynamic_cast<const CConDDescriptor*>(&message)) {
        const std::uint16_t value = descriptor->GetDescriptor();
        fields["Descriptor"] = value;
        if (value < 3) fields["DescriptorName"] = kDescriptorNames[value];
        std::uint16_t length = 0;
        const unsigned char* data = descriptor->GetData(&length);
        fields["Data"] = ByteArray(data, length);
    } else if (const auto* list = dynamic_cast<const CConDExtLst*>(&message)) {
        fields["ConnectionCount"] = list->GetConnectionCount();
        Json frames = Json::array();
        for (std::uint16_t i = 0; i < list->GetConnectionCount(); ++i) {
            std::uint32_t size = 0;
            const unsigned char* frame = list->GetConnectionListAt(i, &size);
            if (frame == nullptr || size < 4) break;
            Json entry;
            entry["class"] = FrameClassName(catalog, ReadInt32(frame));
            entry["classId"] = HexId(ReadInt32(frame));
            entry["size"] = size;
            std::string hex = FormatHex(frame, size, 0);
            hex.pop_back();
            entry["bytes"] = hex;
            frames.push_back(entry);
        }
        fields["ConnectionList"] = frames;
    } else if (const auto* rendezvous = dynamic_cast<const CRNDZDStd*>(&message)) {
        fields["DeviceGUID"] = GuidText(rendezvous->GetDeviceGUID(nullptr));
        fields["RERVersion"] = rendezvous->GetRERVersion();
        std::uint16_t length = 0;
        const unsigned char* data = rendezvous->GetData(&length);
        fields["Data"] = ByteArray(data, length);
    }
    return fields;
}

std::string Hex16(std::uint16_t v) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(v));
    return text;
}

// What a frame stream's good frame is: a message that decodes, an object
// encoding that passes its checks, or a frame of a class nobody here reads.
std::string FrameVerdict(Catalog& catalog, const unsigned char* frame, std::size_t size) {
    const std::uint32_t classId = ReadInt32(frame);
    const char* message = MessageFor(classId);
    if (message != nullptr) {
        try {
            DecodeMessageFrame(catalog, Bytes(frame, frame + size));
            return "ok";
        } catch (const Failure& failure) {
            return std::string("checksum ok, payload refused: ") + failure.what();
        }
    }
    if (catalog.Definition(classId) != nullptr) {
        xqova::DecodeReport report;
        return xqova::DecodeObject(&catalog.Dictionary(), frame, size, &report)
                   ? std::string("ok (object encoding)")
                   : "checksum ok, encoding refused: " + DescribeRefusal(catalog, report, frame);
    }
    return "ok (class unknown here)";
}

// "CRNDZDStd frame (0x001D0000)": how a refusal names the frame.
std::string FrameWho(Catalog& catalog, std::uint32_t classId) {
    return FrameClassName(catalog, classId) + " frame (" + HexId(classId) + ")";
}

// The library's reason for refusing a frame, in words; `message` is the one
// that tried to read it (null for the checks every frame passes).
std::string FrameRefusal(Catalog& catalog, const xqova::FrameReport& report, const DtData* message) {
    using xqova::FrameCheck;
    if (!report.classRead) {
        return "the frame is too short for its header: " + std::to_string(report.found) +
               " bytes, the class identifier alone takes 4";
    }
    const std::string who = FrameWho(catalog, report.classId);
    const std::uint64_t header = 4u + xqova::LengthFieldWidth(report.classId);
    const std::string type = message != nullptr ? MessageFor(message->id()) : "the message";
    switch (report.check) {
        case FrameCheck::kHeader:
            return who + " is too short for its header: " + std::to_string(report.found) + " bytes, the header takes " +
                   std::to_string(report.expected);
        case FrameCheck::kLength:
            return who + ": stated length " + std::to_string(report.found - header) +
                   " runs past the input: the frame would be " + std::to_string(report.found) + " bytes, " +
                   std::to_string(report.expected) + " are there";
        case FrameCheck::kTooSmall:
            return who + ": stated length " + std::to_string(report.found) +
                   " is too small: a payload ends in its 2-byte checksum";
        case FrameCheck::kChecksum:
            return who + ": checksum mismatch: stored " + Hex16(static_cast<std::uint16_t>(report.found)) +
                   " at offset " + std::to_string(report.at) + ", the bytes before it give " +
                   Hex16(static_cast<std::uint16_t>(report.expected));
        case FrameCheck::kOtherClass:
            return who + ": another family or genus than " + type + " reads (" +
                   HexId(static_cast<std::uint32_t>(report.expected)) + ")";
        case FrameCheck::kNewerVersion:
            return who + ": payload version " + std::to_string(report.found) + " is newer than " + type + " reads (" +
                   std::to_string(report.expected) + ")";
        case FrameCheck::kPayload:
            return who + ": the payload does not decode: its fields do not fit the frame (from offset " +
                   std::to_string(report.at) + ")";
        case FrameCheck::kNone:
            break;
    }
    return who + ": " + xqova::FrameCheckName(report.check);
}

// A message's XML text, sized by the same call with a null buffer, without
// its terminating zero.
template <class Writer>
std::string MessageXml(const std::string& who, Writer write) {
    const std::uint32_t size = write(nullptr);
    std::string xml(size, '\0');
    if (size == 0 || write(&xml[0]) != size) throw Failure(who + ": the XML rendering failed");
    xml.resize(size - 1);
    return xml;
}

}  // namespace

const std::vector<std::string>& MessageNames() {
    static const std::vector<std::string> names = {"CConDStd", "CConDDescriptor", "CConDExtLst", "CRNDZDStd"};
    return names;
}

Bytes EncodeMessageFrame(const std::string& type, const std::vector<std::string>& assignments, std::uint8_t flags) {
    std::unique_ptr<DtData> message = NewMessage(type);
    message->SetDataBitField(flags);
    for (const std::string& assignment : assignments) {
        const std::size_t equals = assignment.find('=');
        if (equals == std::string::npos || equals == 0) {
            throw Failure("expected Field=value, got '" + assignment + "'", kExitUsage);
        }
        SetField(*message, type, assignment.substr(0, equals), assignment.substr(equals + 1));
    }
    const std::uint32_t size = message->size_all();
    Bytes frame(size);
    if (size == 0 || message->serialize_all(frame.data()) != size) {
        throw Failure(type + ": the frame could not be written (a payload too long for its length field?)");
    }
    return frame;
}

DecodedFrame DecodeMessageFrame(Catalog& catalog, const Bytes& input) {
    xqova::FrameReport report;
    const std::uint32_t total = xqova::CheckFrame(input.data(), input.size(), &report);
    if (total == 0) throw Failure(FrameRefusal(catalog, report, nullptr));
    const std::uint32_t classId = ReadInt32(input.data());
    const char* type = MessageFor(classId);
    if (type == nullptr) {
        const std::string who = FrameWho(catalog, classId);
        if (catalog.Definition(classId) != nullptr) {
            throw Failure(who + " is an object encoding, not a message frame: try qova decode");
        }
        throw Failure(who + ": not a message class (messages: CConDStd, CConDDescriptor, CConDExtLst, CRNDZDStd)");
    }
    std::unique_ptr<DtData> message = NewMessage(type);
    if (message->deserialize_all(input.data(), total, &report) != total) {
        throw Failure(FrameRefusal(catalog, report, message.get()));
    }
    const std::string who = FrameWho(catalog, classId);
    DecodedFrame decoded;
    decoded.size = static_cast<std::size_t>(total);
    Json& document = decoded.document;
    document["message"] = type;
    document["classId"] = HexId(message->id());
    document["family"] = message->family();
    document["genus"] = message->genus();
    document["species"] = message->species();
    document["frameSize"] = decoded.size;
    document["payloadVersion"] = message->GetSrcVersion();
    document["dataBitField"] = message->GetDataBitField();
    document["valid"] = message->isvalid() != 0;
    document["dirty"] = message->isdirty() != 0;
    document["fields"] = FieldsJson(catalog, *message);
    decoded.exactXml = MessageXml(who, [&](char* buffer) { return message->serialize_to_XMLbuf(buffer); });
    // Of the messages only CConDStd carries text (SourceID); the others'
    // renderings hold numbers alone and are well-formed as they are.
    const auto* connection = dynamic_cast<const CConDStd*>(message.get());
    decoded.xml = connection == nullptr
                      ? decoded.exactXml
                      : MessageXml(who, [&](char* buffer) { return connection->serialize_to_safe_XMLbuf(buffer); });
    return decoded;
}

std::string RenderFrameTable(const Json& document) {
    std::string text = document.value("message", std::string()) + "  " + document.value("classId", std::string()) +
                       "  " + std::to_string(document.value("family", 0)) + "/" +
                       std::to_string(document.value("genus", 0)) + "/" +
                       std::to_string(document.value("species", 0)) + "  frame " +
                       std::to_string(document.value("frameSize", 0)) + " bytes  payload version " +
                       std::to_string(document.value("payloadVersion", 0)) + "  DataBitField " +
                       std::to_string(document.value("dataBitField", 0)) + "\n";
    const Json& fields = document["fields"];
    std::size_t width = 0;
    for (const auto& item : fields.items()) width = std::max(width, item.key().size());
    for (const auto& item : fields.items()) {
        if (item.key() == "DescriptorName") continue;
        std::string line = "  " + item.key() + std::string(width - item.key().size() + 2, ' ');
        const Json& value = item.value();
        if (item.key() == "ConnectionList") {
            text += line + std::to_string(value.size()) + (value.size() == 1 ? " frame\n" : " frames\n");
            for (std::size_t i = 0; i < value.size(); ++i) {
                text += "    [" + std::to_string(i) + "] " + value[i].value("class", std::string()) + "  " +
                        value[i].value("classId", std::string()) + "  " +
                        std::to_string(value[i].value("size", 0)) + " bytes\n";
                text += "        " + value[i].value("bytes", std::string()) + "\n";
            }
            continue;
        }
        if (value.is_array()) {
            std::string list;
            for (const auto& b : value) list += (list.empty() ? "" : ", ") + b.dump();
            line += "[" + list + "]";
        } else if (value.is_string() && item.key() != "DeviceGUID") {
            line += value.dump(-1, ' ', false, Json::error_handler_t::replace);
        } else if (value.is_string()) {
            line += value.get<std::string>();
        } else {
            line += value.dump();
        }
        if (item.key() == "Descriptor" && fields.contains("DescriptorName")) {
            line += "  " + fields["DescriptorName"].get<std::string>();
        }
        text += line + "\n";
    }
    return text;
}

namespace {

// A message class, or a class of the dictionary.
bool KnownClass(Catalog& catalog, std::uint32_t classId) {
    return MessageFor(classId) != nullptr || catalog.Definition(classId) != nullptr;
}

// A frame of a class this tool reads (a message or a class of the
// dictionary) whose header fits and states more bytes than `available`,
// within the plausible sizes of a frame.
bool CutFrameAt(Catalog& catalog, const unsigned char* at, std::size_t available, std::uint32_t maxFrame,
                std::uint64_t* stated) {
    // The header alone is read (a bounded number of steps per position, so
    // a run is scanned in linear time).
    if (available < 6) return false;
    const std::uint32_t classId = ReadInt32(at);
    const std::uint64_t header = 4u + xqova::LengthFieldWidth(classId);
    if (available < header) return false;
    const std::uint64_t total = header + (header == 8 ? std::uint64_t{ReadInt32(at + 4)} : ReadInt16(at + 4));
    if (total <= available || total > maxFrame || total < header + xqova::kMinFramePayload) return false;
    if (!KnownClass(catalog, classId)) return false;
    *stated = total;
    return true;
}

}  // namespace

FrameScan ScanFrames(Catalog& catalog, const Bytes& stream, std::uint32_t maxFrame) {
    std::vector<unsigned char> storage(maxFrame);
    std::vector<std::uint16_t> states(maxFrame);  // bounded work per byte of noise
    std::vector<unsigned char> frame(maxFrame);
    xqova::FrameStreamReader reader(storage.data(), states.data(), maxFrame);
    FrameScan scan;
    std::size_t accounted = 0;  // every byte before this offset has been reported
    auto add = [&](FrameEvent event) {
        switch (event.kind) {
            case FrameEvent::kFrame: ++scan.frames; break;
            case FrameEvent::kCorrupt: ++scan.corrupt; break;
            case FrameEvent::kTruncated: ++scan.truncated; break;
            case FrameEvent::kSkipped: scan.skipped += event.size; break;
        }
        accounted = event.offset + event.size;
        scan.events.push_back(std::move(event));
    };
    // The bytes from `accounted` up to `end` belong to no sound frame: a
    // frame cut short (its header states more bytes than there are before
    // `end`) is reported as truncated, the rest as skipped.
    auto unaccounted = [&](std::size_t end) {
        if (end <= accounted) return;
        for (std::size_t p = accounted; p < end; ++p) {
            std::uint64_t stated = 0;
            if (!CutFrameAt(catalog, stream.data() + p, end - p, maxFrame, &stated)) continue;
            if (p > accounted) add(FrameEvent{FrameEvent::kSkipped, accounted, p - accounted, 0, 0, std::string()});
            add(FrameEvent{FrameEvent::kTruncated, p, end - p, stated, ReadInt32(stream.data() + p), std::string()});
            return;
        }
        add(FrameEvent{FrameEvent::kSkipped, accounted, end - accounted, 0, 0, std::string()});
    };
    // Candidates that failed their checksum wait until it is known whether a
    // sound frame starts inside them: then they were false headers in noise
    // (their bytes are skipped ones). The others are corrupt frames, except
    // those starting inside a corrupt frame already taken (false headers in
    // its data) and those of a class nobody here knows (noise as well). A
    // candidate is settled, in the order they start, once the stream has
    // passed its end; while the first waits, the others start within one
    // frame size of it, so at most `maxFrame` wait.
    std::deque<std::pair<std::size_t, std::size_t>> pending;  // offset, stated size
    std::size_t takenEnd = 0;  // end of the last corrupt frame taken
    // Settles the candidates that end by `passed`; with `frameAt`, a sound
    // frame starts there and every candidate left is settled.
    auto settle = [&](std::size_t passed, bool frameAt) {
        while (!pending.empty()) {
            const std::pair<std::size_t, std::size_t> candidate = pending.front();
            const std::size_t end = candidate.first + candidate.second;
            if (end > passed && !frameAt) break;
            pending.pop_front();
            const std::uint32_t classId = ReadInt32(stream.data() + candidate.first);
            if (end > passed || candidate.first < takenEnd || !KnownClass(catalog, classId)) continue;
            unaccounted(candidate.first);
            add(FrameEvent{FrameEvent::kCorrupt, candidate.first, candidate.second, 0, classId, "checksum mismatch"});
            takenEnd = end;
        }
    };
    std::size_t fed = 0;
    bool ended = false;
    for (;;) {
        std::uint32_t size = 0;
        const xqova::FrameStreamStatus_e status =
            reader.Next(frame.data(), static_cast<std::uint32_t>(frame.size()), &size, ended);
        const std::size_t consumed = fed - reader.Buffered();
        if (status == xqova::FRAME_STREAM_FRAME) {
            const std::size_t at = consumed - size;
            settle(at, true);
            unaccounted(at);
            add(FrameEvent{FrameEvent::kFrame, at, size, 0, ReadInt32(frame.data()),
                           FrameVerdict(catalog, frame.data(), size)});
            continue;
        }
        if (status == xqova::FRAME_STREAM_CORRUPT) {
            const std::size_t at = consumed - 1;
            settle(at, false);  // no sound frame can start inside those that end by here
            pending.emplace_back(at, xqova::BoundedEncodedSize(stream.data() + at, stream.size() - at));
            continue;
        }
        if (status != xqova::FRAME_STREAM_NEED_MORE) throw Failure("the frame stream reader refused its buffer");
        if (fed < stream.size()) {
            const std::uint32_t chunk = static_cast<std::uint32_t>(std::min<std::size_t>(stream.size() - fed, 1024));
            const std::uint32_t taken = reader.Feed(stream.data() + fed, chunk);
            if (taken == 0) throw Failure("the frame stream reader took no bytes");
            fed += taken;
            continue;
        }
        if (ended) break;
        ended = true;
    }
    settle(stream.size(), true);
    unaccounted(stream.size());
    return scan;
}

std::string FrameEventName(Catalog& catalog, const FrameEvent& event) {
    return FrameClassName(catalog, event.classId) + " " + HexId(event.classId);
}

std::string RenderFrameScan(Catalog& catalog, const FrameScan& scan, const std::vector<std::string>& decoded) {
    std::string report;
    const auto n = [](std::uint64_t v) { return std::to_string(v); };
    for (std::size_t i = 0; i < scan.events.size(); ++i) {
        const FrameEvent& e = scan.events[i];
        std::string line = "offset " + n(e.offset) + "  ";
        switch (e.kind) {
            case FrameEvent::kFrame:
                line += FrameEventName(catalog, e) + "  " + n(e.size) + " bytes  " + e.verdict;
                break;
            case FrameEvent::kCorrupt:
                line += FrameEventName(catalog, e) + "  " + n(e.size) + " bytes  corrupt: " + e.verdict;
                break;
            case FrameEvent::kTruncated:
                line += FrameEventName(catalog, e) + "  " + n(e.stated) + " bytes stated, " + n(e.size) +
                        " there  truncated";
                break;
            case FrameEvent::kSkipped: line += n(e.size) + (e.size == 1 ? " byte skipped" : " bytes skipped"); break;
        }
        report += line + "\n";
        if (i < decoded.size() && !decoded[i].empty()) {
            std::size_t start = 0;
            while (start < decoded[i].size()) {
                const std::size_t end = decoded[i].find('\n', start);
                report += "    " + decoded[i].substr(start, end - start) + "\n";
                if (end == std::string::npos) break;
                start = end + 1;
            }
        }
    }
    report += n(scan.frames) + (scan.frames == 1 ? " frame, " : " frames, ") + n(scan.corrupt) + " corrupt, " +
              n(scan.truncated) + " truncated, " + n(scan.skipped) +
              (scan.skipped == 1 ? " byte skipped\n" : " bytes skipped\n");
    return report;
}

Json FrameScanJson(Catalog& catalog, const FrameScan& scan, const std::vector<Json>& decoded) {
    static const char* const kKinds[] = {"frame", "corrupt", "truncated", "skipped"};
    Json events = Json::array();
    for (std::size_t i = 0; i < scan.events.size(); ++i) {
        const FrameEvent& e = scan.events[i];
        Json event;
        event["offset"] = e.offset;
        event["kind"] = kKinds[e.kind];
        event["size"] = e.size;
        if (e.kind != FrameEvent::kSkipped) {
            event["class"] = FrameClassName(catalog, e.classId);
            event["classId"] = HexId(e.classId);
        }
        if (e.kind == FrameEvent::kTruncated) event["statedSize"] = e.stated;
        if (!e.verdict.empty()) event[e.kind == FrameEvent::kCorrupt ? "reason" : "verdict"] = e.verdict;
        if (i < decoded.size() && !decoded[i].is_null()) event["decoded"] = decoded[i];
        events.push_back(std::move(event));
    }
    Json document;
    document["events"] = std::move(events);
    document["frames"] = scan.frames;
    document["corrupt"] = scan.corrupt;
    document["truncated"] = scan.truncated;
    document["skippedBytes"] = scan.skipped;
    return document;
}

Json DecodeFrameDocument(Catalog& catalog, const Bytes& frame) {
    const std::uint32_t classId = ReadInt32(frame.data());
    try {
        if (MessageFor(classId) != nullptr) return DecodeMessageFrame(catalog, frame).document;
        if (catalog.Definition(classId) != nullptr) {
            return Json::parse(DecodeObject(catalog, frame, ObjectOutput::kJson, nullptr));
        }
    } catch (const Failure&) {
        // The frame's verdict says why it does not read.
    }
    return Json();
}

std::string FrameFileName(Catalog& catalog, std::size_t index, const unsigned char* frame) {
    const std::uint32_t classId = ReadInt32(frame);
    std::string species = std::to_string(GetSpecies(classId));
    if (MessageFor(classId) == nullptr) {
        const void* block = catalog.Definition(classId);
        const char* name = block == nullptr ? nullptr : xqova::DefinitionEnumerator(block, 0xFFFF, GetSpecies(classId));
        if (name != nullptr && name[0] != '\0') species = name;
    }
    auto clean = [](const std::string& whole) {
        std::string text = whole.substr(0, 64);
        for (char& c : text) {
            const bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
            if (!keep) c = '_';
        }
        return text;
    };
    char number[24];
    std::snprintf(number, sizeof number, "%04zu", index);
    return number + std::string("-") + clean(FrameClassName(catalog, classId)) + "-" + clean(species) + ".bin";
}

std::size_t WriteFrameFiles(Catalog& catalog, const Bytes& stream, const FrameScan& scan,
                            const std::string& directory) {
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    if (error) throw Failure("cannot make the directory " + directory + ": " + error.message());
    std::size_t index = 0;
    for (const FrameEvent& e : scan.events) {
        if (e.kind != FrameEvent::kFrame) continue;
        const unsigned char* frame = stream.data() + e.offset;
        const std::string path = (std::filesystem::path(directory) / FrameFileName(catalog, index, frame)).string();
        WriteOutput(path, Bytes(frame, frame + e.size));
        ++index;
    }
    return index;
}

}  // namespace qova
