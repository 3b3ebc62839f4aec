#include "xqova/message/frame.h"

#include <algorithm>
#include <cstdio>

#include "xqova/core/class_id.h"
#include "xqova/core/checksum.h"
#include "xqova/core/frame_header.h"

namespace {

// Filled by GetMsgString on a miss: "Unknown code: " and at most five digits.
char g_unknownCode[sizeof "Unknown code: 65535"];

constexpr std::uint64_t kMaxFrameSize = 0xFFFFFFFFu;

// The end of a frame's header: class identifier and length field.
std::uint64_t LengthFieldEnd(const unsigned char* frame) { return 4u + xqova::LengthFieldWidth(GetClassID(frame)); }

// How far a frame of which `length` bytes exist may reach: those bytes, and
// never beyond 32 bits of size, which no frame in memory passes either.
std::uint64_t Reach(std::size_t length) { return std::min<std::uint64_t>(length, kMaxFrameSize); }

// The header checks: the header fits in `length` and the stated size does
// too. Fills classId, classRead and size on the way. No frame at all is
// one of no bytes, whatever length comes with it.
bool ReadFrameHeader(const unsigned char* frame, std::size_t length, xqova::FrameReport* why) {
    if (frame == nullptr || length < 4) {
        why->check = xqova::FrameCheck::kHeader;
        why->found = frame == nullptr ? 0 : length;
        why->expected = 4;
        return false;
    }
    why->classId = GetClassID(frame);
    why->classRead = true;
    const std::uint64_t headerSize = LengthFieldEnd(frame);
    if (length < headerSize) {
        why->check = xqova::FrameCheck::kHeader;
        why->found = length;
        why->expected = headerSize;
        return false;
    }
    const std::uint64_t stated = headerSize == 8 ? ReadInt32(frame + 4) : ReadInt16(frame + 4);
    why->size = stated + headerSize;
    if (why->size > Reach(length)) {
        why->check = xqova::FrameCheck::kLength;
        why->at = 4;
        why->found = why->size;
        why->expected = length;
        return false;
    }
    return true;
}

// The payload holds its checksum and the checksum holds, for a frame whose
// header checks passed.
bool CheckFrameChecksum(const unsigned char* frame, xqova::FrameReport* why) {
    const std::uint64_t payloadAt = LengthFieldEnd(frame);
    const std::uint64_t payload = why->size - payloadAt;
    if (payload < 2) {
        why->check = xqova::FrameCheck::kTooSmall;
        why->at = 4;
        why->found = payload;
        why->expected = 2;
        return false;
    }
    const std::size_t end = static_cast<std::size_t>(why->size - 2);
    const std::uint16_t stored = ReadInt16(frame + end);
    const std::uint16_t computed = CalculateCRC(frame, static_cast<std::uint32_t>(end));
    if (!xqova::ChecksumEquals(computed, stored)) {
        why->check = xqova::FrameCheck::kChecksum;
        why->at = end;
        why->found = stored;
        why->expected = computed;
        return false;
    }
    return true;
}

}  // namespace

const char* xqova::FrameCheckName(FrameCheck check) {
    switch (check) {
        case FrameCheck::kNone: return "no failure";
        case FrameCheck::kHeader: return "too short for its header";
        case FrameCheck::kLength: return "stated length beyond the input";
        case FrameCheck::kOtherClass: return "another family or genus";
        case FrameCheck::kTooSmall: return "payload too short for its checksum";
        case FrameCheck::kChecksum: return "checksum mismatch";
        case FrameCheck::kNewerVersion: return "newer version";
        case FrameCheck::kPayload: return "payload fields do not fit the frame";
    }
    return "unknown check";
}

std::uint32_t xqova::CheckFrame(const unsigned char* frame, std::size_t length, FrameReport* report) {
    FrameReport local;
    FrameReport& why = report != nullptr ? *report : local;
    why = FrameReport();
    if (!ReadFrameHeader(frame, length, &why) || !CheckFrameChecksum(frame, &why)) return 0;
    return static_cast<std::uint32_t>(why.size);
}

const char* GetMsgString(const t_MsgEntry* table, std::uint16_t count, std::uint16_t code) {
    if (table != nullptr) {
        for (std::uint16_t i = 0; i < count; ++i) {
            if (table[i].code == code) return table[i].text;
        }
    }
    std::snprintf(g_unknownCode, sizeof g_unknownCode, "Unknown code: %d", static_cast<int>(code));
    return g_unknownCode;
}

unsigned char IsValidEnum(const t_MsgEntry* table, std::uint16_t count, std::uint16_t code) {
    if (table == nullptr) return 0;
    for (std::uint16_t i = 0; i < count; ++i) {
        if (table[i].code == code) return 1;
    }
    return 0;
}

DtData::DtData(std::uint32_t classId) : DataBitField(0), SrcVersion(0), ClassId(classId) {}

DtData::DtData() : DataBitField(0), SrcVersion(0), ClassId(0) {}

DtData::DtData(const DtData& other)
    : DataBitField(other.DataBitField), SrcVersion(other.SrcVersion), ClassId(other.ClassId) {}

DtData& DtData::operator=(const DtData& other) {
    DataBitField = other.DataBitField;
    SrcVersion = other.SrcVersion;
    ClassId = other.ClassId;
    return *this;
}

DtData::~DtData() = default;

unsigned char DtData::is_Extended(std::uint32_t classId) const { return xqova::IsExtendedClass(classId) ? 1 : 0; }

unsigned char DtData::is_Extended(const unsigned char* frame) const {
    if (frame == nullptr) return 0;
    return is_Extended(GetClassID(frame));
}

std::uint16_t DtData::getVersion() const { return 0; }

std::uint32_t DtData::serialize_to_XMLbuf(char* /*buffer*/) const { return 0; }

std::uint32_t DtData::get_payload_size() const { return 0; }

unsigned char DtData::serialize_payload(uint8QManager* /*queue*/) const { return 1; }

unsigned char DtData::deserialize_payload(uint8QManager* /*queue*/, std::uint32_t /*length*/) { return 1; }

std::uint16_t DtData::family() const { return GetFamily(ClassId); }
unsigned char DtData::genus() const { return GetGenus(ClassId); }
unsigned char DtData::species() const { return GetSpecies(ClassId); }

void DtData::set_Family(std::uint16_t family) { ClassId = MakeClassID(family, genus(), species()); }
void DtData::set_Genus(unsigned char genus) { ClassId = MakeClassID(family(), genus, species()); }
void DtData::set_Species(unsigned char species) { ClassId = MakeClassID(family(), genus(), species); }

unsigned char DtData::SetValid(unsigned char on) {
    DataBitField = static_cast<unsigned char>(on != 0 ? (DataBitField | 0x40) : (DataBitField & ~0x40));
    return on;
}

unsigned char DtData::setdirty(unsigned char on) {
    DataBitField = static_cast<unsigned char>(on != 0 ? (DataBitField | 0x80) : (DataBitField & ~0x80));
    return on;
}

std::uint32_t DtData::size_all() const {
    return get_payload_size() + (is_Extended(ClassId) != 0 ? 8u : 6u);
}

std::uint32_t DtData::serialize_all(unsigned char* buffer) const {
    if (buffer == nullptr) return 0;
    const std::uint32_t payload = get_payload_size();
    const bool extended = is_Extended(ClassId) != 0;
    // A length the header cannot state is refused before anything is written.
    if (!extended && payload > 0xFFFFu) return 0;
    if (extended && payload > kMaxFrameSize - 8) return 0;
    const std::uint32_t size = size_all();
    uint8QManager queue(buffer, size, 0);
    queue.put(ClassId);
    if (is_Extended(buffer) != 0) {
        queue.put(payload);
    } else {
        queue.put(static_cast<std::uint16_t>(payload));
    }
    serialize_payload(&queue);
    return size;
}

std::uint32_t DtData::deserialize_all(const unsigned char* frame, std::size_t length) {
    return deserialize_all(frame, length, nullptr);
}

std::uint32_t DtData::deserialize_all(const unsigned char* frame, std::size_t length, xqova::FrameReport* report) {
    xqova::FrameReport local;
    xqova::FrameReport& why = report != nullptr ? *report : local;
    why = xqova::FrameReport();
    if (!ReadFrameHeader(frame, length, &why)) return 0;
    const std::uint32_t result = DecodeFrame(frame, static_cast<std::uint32_t>(why.size));
    if (result != 0 || report == nullptr) return result;
    // The decode failed: name the first check it failed, in the decode's
    // own order.
    if ((why.classId & 0xFFFFFF00u) != (ClassId & 0xFFFFFF00u)) {
        why.check = xqova::FrameCheck::kOtherClass;
        why.found = why.classId;
        why.expected = ClassId;
        return 0;
    }
    if (!CheckFrameChecksum(frame, &why)) return 0;
    const std::size_t payloadAt = static_cast<std::size_t>(LengthFieldEnd(frame));
    const std::uint16_t version = ReadInt16(frame + payloadAt);
    if (version > getVersion()) {
        why.check = xqova::FrameCheck::kNewerVersion;
        why.at = payloadAt;
        why.found = version;
        why.expected = getVersion();
        return 0;
    }
    why.check = xqova::FrameCheck::kPayload;
    why.at = payloadAt;
    return 0;
}

std::uint32_t DtData::deserialize_all(const unsigned char* frame) {
    // No frame, or a stated size beyond 32 bits, gives a size of 0: an
    // empty frame, which the decode refuses before its class.
    return DecodeFrame(frame, QOVASerialSize(frame, nullptr));
}

std::uint32_t DtData::DecodeFrame(const unsigned char* frame, std::uint32_t size) {
    const unsigned width = is_Extended(frame) != 0 ? 4u : 2u;
    // A payload too short for its checksum still gets this far: the species
    // is taken from the frame and the payload decode then fails.
    // The queue is made full over the frame and only ever read from: the
    // frame's bytes are not written.
    uint8QManager queue(const_cast<unsigned char*>(frame), size, 1);
    std::uint32_t frameId;  // written by get() only when it succeeds, read only then
    if (queue.get(&frameId) == 0 || (frameId & 0xFFFFFF00u) != (ClassId & 0xFFFFFF00u)) return 0;
    ClassId = (ClassId & 0xFFFFFF00u) | (frameId & 0xFFu);
    // Every frame that gets here holds its whole header: the length is read.
    std::uint32_t length;
    if (width == 4) {
        queue.get(&length);
    } else {
        std::uint16_t shortLength;
        queue.get(&shortLength);
        length = shortLength;
    }
    return deserialize_payload(&queue, length) != 0 ? size : 0;
}

unsigned char DtData::GetVersionStatus(const t_VersionEntry* table, std::uint16_t count, std::uint16_t index) const {
    if (table == nullptr || index >= count) return 0;
    return table[index].minVersion <= SrcVersion && SrcVersion <= table[index].maxVersion ? 1 : 0;
}

std::uint32_t DtData::QOVASerialSize(const unsigned char* frame, unsigned char* lengthWidth) const {
    if (frame == nullptr) return 0;
    const unsigned width = is_Extended(frame) != 0 ? 4u : 2u;
    if (lengthWidth != nullptr) *lengthWidth = static_cast<unsigned char>(width);
    const std::uint64_t stated = width == 4 ? ReadInt32(frame + 4) : ReadInt16(frame + 4);
    const std::uint64_t size = stated + 4u + width;
    return size > kMaxFrameSize ? 0 : static_cast<std::uint32_t>(size);
}

std::uint32_t DtData::QOVASerialSize(const unsigned char* frame, std::size_t available, unsigned char* lengthWidth) const {
    if (frame == nullptr || available < 4) return 0;
    const unsigned width = is_Extended(frame) != 0 ? 4u : 2u;
    if (lengthWidth != nullptr) *lengthWidth = static_cast<unsigned char>(width);
    if (available < 4u + width) return 0;
    const std::uint64_t stated = width == 4 ? ReadInt32(frame + 4) : ReadInt16(frame + 4);
    const std::uint64_t size = stated + 4u + width;
    return size > Reach(available) ? 0 : static_cast<std::uint32_t>(size);
}

std::uint16_t DtData::QOVASerialElements(const unsigned char* buffer, std::uint32_t length) const {
    if (buffer == nullptr) return 0;
    std::uint16_t count = 0;
    std::uint32_t offset = 0;
    while (offset < length && count < 0xFFFFu) {
        // Every frame is at least 6 bytes long, so the walk always advances.
        const std::uint32_t size = QOVASerialSize(buffer + offset, length - offset, nullptr);
        if (size == 0) break;
        offset += size;
        ++count;
    }
    return count;
}

QOVA_TIME DtData::Get_QOVATIME(uint8QManager* queue) const {
    QOVA_TIME time{};
    if (queue == nullptr) return time;
    queue->get(&time.year);
    queue->get(&time.month);
    queue->get(&time.day);
    queue->get(&time.hour);
    queue->get(&time.minute);
    queue->get(&time.second);
    queue->get(&time.fraction);
    return time;
}

void DtData::Put_QOVATIME(uint8QManager* queue, QOVA_TIME time) const {
    if (queue == nullptr) return;
    queue->put(time.year);
    queue->put(time.month);
    queue->put(time.day);
    queue->put(time.hour);
    queue->put(time.minute);
    queue->put(time.second);
    queue->put(time.fraction);
}

bool DtData::PayloadChecksumHolds(const uint8QManager& queue) {
    const std::uint32_t size = queue.get_num_elements();
    if (size < 2) return false;
    return xqova::ChecksumHolds(static_cast<const unsigned char*>(queue.GetHeadPtr()), size - 2);
}

void DtData::PutPayloadChecksum(uint8QManager* queue, const unsigned char* frameStart) {
    const std::uint32_t size = queue->get_num_elements();
    queue->put(CalculateCRC(frameStart, size < 2 ? 0 : size - 2));
}

bool DtData::ReadPayloadVersion(uint8QManager* queue, std::uint16_t* version) const {
    // Right after the header the queue holds the payload alone: fewer than
    // two bytes cannot hold its checksum.
    if (queue->get_num_used() < 2 || !PayloadChecksumHolds(*queue)) return false;
    queue->get(version);
    return *version <= getVersion();
}

std::uint16_t DtData::ReadPayloadFlags(uint8QManager* queue, std::uint16_t version) {
    SrcVersion = version;
    queue->get(&DataBitField);
    std::uint16_t staticLength = 0;
    queue->get(&staticLength);
    return staticLength;
}
