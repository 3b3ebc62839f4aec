#include "xqova/message/connection.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "xqova/core/memory.h"
#include "xqova/message/owned_bytes.h"
#include "xqova/message/xml_text.h"

namespace {

constexpr std::uint32_t kConDStdId = 0x001E0000u;
constexpr std::uint32_t kConDDescriptorId = 0x001E0003u;
constexpr std::uint32_t kConDExtLstId = 0x001E1201u;
constexpr std::uint16_t kConnectionVersion = 100;

constexpr std::uint16_t kConDStdStaticSize = 16;
constexpr std::uint16_t kConDDescriptorStaticSize = 2;

// The largest list whose frame size (list + 9 payload bytes + 8 header bytes)
// still fits 32 bits.
constexpr std::uint32_t kMaxConnectionListSize = 0xFFFFFFFFu - 17u;

// Reads a field that the frame gives as its 16-bit length and then its bytes,
// where the frame may run out inside the bytes: what it does not supply stays
// zero. The callers have seen more than the two checksum bytes, so the length
// is there. False, the field unchanged, when memory runs out.
bool ReadRunAllowingShortFrame(uint8QManager* queue, unsigned char*& field, std::uint16_t& length) {
    std::uint16_t count = 0;
    queue->get(&count);
    if (xqova::ReplaceOwnedBytes(field, length, nullptr, count) == 0) return false;
    const std::uint32_t available = queue->get_num_used();
    queue->dequeue_array(field, count < available ? count : available);
    return true;
}

// Skips what a static block holds beyond the `known` bytes the message reads
// (nothing when the frame cannot supply them all).
void SkipUnknownStatic(uint8QManager* queue, std::uint16_t staticLength, std::uint16_t known) {
    if (staticLength > known) queue->dequeue_array(static_cast<std::uint32_t>(staticLength - known));
}

}  // namespace

// ---------------------------------------------------------------- CConDStd

const t_MsgEntry CConDStd::TypSpeciesTbl[1] = {{0, "NO_DESCRIPTION"}};
const t_VersionEntry CConDStd::TypVersionsTbl[3] = {{100, 100}, {100, 100}, {100, 100}};

CConDStd::CConDStd()
    : DtData(kConDStdId), SourceID(nullptr), SourceIDLength(0), Reserved(nullptr), ReservedLength(0), DeviceGUID{} {}

CConDStd::CConDStd(const CConDStd& other) : DtData(other) {
    xqova::CopyOwnedBytes(SourceID, SourceIDLength, other.SourceID, other.SourceIDLength);
    xqova::CopyOwnedBytes(Reserved, ReservedLength, other.Reserved, other.ReservedLength);
    std::memcpy(DeviceGUID, other.DeviceGUID, sizeof DeviceGUID);
}

CConDStd& CConDStd::operator=(const CConDStd& other) {
    if (this == &other) return *this;
    DtData::operator=(other);
    xqova::ReleaseOwnedBytes(SourceID);
    xqova::ReleaseOwnedBytes(Reserved);
    xqova::CopyOwnedBytes(SourceID, SourceIDLength, other.SourceID, other.SourceIDLength);
    xqova::CopyOwnedBytes(Reserved, ReservedLength, other.Reserved, other.ReservedLength);
    std::memcpy(DeviceGUID, other.DeviceGUID, sizeof DeviceGUID);
    return *this;
}

CConDStd::~CConDStd() {
    xqova::ReleaseOwnedBytes(SourceID);
    xqova::ReleaseOwnedBytes(Reserved);
}

void CConDStd::Reset() {
    DataBitField = 0;
    SrcVersion = 0;
    xqova::ReleaseOwnedBytes(SourceID);
    SourceIDLength = 0;
    xqova::ReleaseOwnedBytes(Reserved);
    ReservedLength = 0;
    std::memset(DeviceGUID, 0, sizeof DeviceGUID);
}

std::uint16_t CConDStd::getVersion() const { return kConnectionVersion; }

unsigned char* CConDStd::GetDeviceGUID(std::uint16_t* size) {
    xqova::StoreSize(size, sizeof DeviceGUID);
    return DeviceGUID;
}

const unsigned char* CConDStd::GetDeviceGUID(std::uint16_t* size) const {
    xqova::StoreSize(size, sizeof DeviceGUID);
    return DeviceGUID;
}

unsigned char CConDStd::SetDeviceGUID(const unsigned char* bytes, std::uint16_t count) {
    return xqova::SetDeviceIdentifier(DeviceGUID, bytes, count);
}

char* CConDStd::GetSourceID(std::uint16_t* length) const {
    if (SourceIDLength != 0) xqova::StoreSize(length, static_cast<std::uint16_t>(SourceIDLength - 1));
    return reinterpret_cast<char*>(SourceID);
}

unsigned char CConDStd::SetSourceID(const char* text, std::uint16_t count) {
    if (text == nullptr) {
        xqova::ReleaseOwnedBytes(SourceID);
        SourceIDLength = 0;
        return 1;
    }
    if (count == 0xFFFFu) return 0;
    const std::uint16_t stored = static_cast<std::uint16_t>(count + 1);
    unsigned char* copy = xqova::NewOwnedBytes(nullptr, stored);
    if (copy == nullptr) return 0;
    std::memcpy(copy, text, count);
    xqova::ReleaseOwnedBytes(SourceID);
    SourceID = copy;
    SourceIDLength = stored;
    return 1;
}

unsigned char* CConDStd::GetReserved(std::uint16_t* length) const {
    if (ReservedLength != 0) xqova::StoreSize(length, ReservedLength);
    return Reserved;
}

unsigned char CConDStd::SetReserved(const unsigned char* bytes, std::uint16_t count) {
    return xqova::SetOwnedBytes(Reserved, ReservedLength, bytes, count);
}

std::uint32_t CConDStd::get_payload_size() const {
    return static_cast<std::uint32_t>(SourceIDLength) + ReservedLength + 27u;
}

void CConDStd::serialize_static_data(uint8QManager* queue) const {
    queue->enqueue_array(DeviceGUID, sizeof DeviceGUID);
}

unsigned char CConDStd::serialize_payload(uint8QManager* queue) const {
    const auto* frameStart = static_cast<const unsigned char*>(queue->GetTailPtr());
    queue->put(getVersion());
    queue->put(DataBitField);
    queue->put(kConDStdStaticSize);
    serialize_static_data(queue);
    queue->put(SourceIDLength);
    queue->enqueue_array(SourceID, SourceIDLength);
    queue->put(ReservedLength);
    queue->enqueue_array(Reserved, ReservedLength);
    PutPayloadChecksum(queue, frameStart);
    return 1;
}

void CConDStd::deserialize_static_data(uint8QManager* queue, std::uint16_t staticLength) {
    if (staticLength != 0 && GetVersionStatus(TypVersionsTbl, std::size(TypVersionsTbl), 0) != 0) {
        // The identifier is read whole, whatever the stated block size; a
        // frame that cannot supply all 16 bytes leaves it as it was.
        queue->dequeue_array(DeviceGUID, sizeof DeviceGUID);
    }
    SkipUnknownStatic(queue, staticLength, kConDStdStaticSize);
}

bool CConDStd::DeserializeVariableData(uint8QManager* queue) {
    // The two checksum bytes stay in the queue: "more than 2 bytes" means
    // that a field's length is there.
    if (queue->get_num_used() > 2 && GetVersionStatus(TypVersionsTbl, std::size(TypVersionsTbl), 1) != 0 &&
        !ReadRunAllowingShortFrame(queue, SourceID, SourceIDLength)) {
        return false;
    }
    if (queue->get_num_used() < 3 || GetVersionStatus(TypVersionsTbl, std::size(TypVersionsTbl), 2) == 0) return true;
    return ReadRunAllowingShortFrame(queue, Reserved, ReservedLength);
}

unsigned char CConDStd::deserialize_payload(uint8QManager* queue, std::uint32_t /*length*/) {
    std::uint16_t version;  // written by ReadPayloadVersion when it returns true, read only then
    if (ReadPayloadVersion(queue, &version)) {
        deserialize_static_data(queue, ReadPayloadFlags(queue, version));
        if (DeserializeVariableData(queue)) return 1;
    }
    Reset();
    return 0;
}

std::uint32_t CConDStd::serialize_to_XMLbuf(char* buffer) const { return WriteXml(buffer, false); }

std::uint32_t CConDStd::serialize_to_safe_XMLbuf(char* buffer) const { return WriteXml(buffer, true); }

std::uint32_t CConDStd::WriteXml(char* buffer, bool safe) const {
    xqova::XmlText xml(buffer, safe);
    xml.Format("<DEFINITION class=\"CConDStd\" version=\"%d\" family=\"%d\" genus=\"%d\" species=\"%d\">\n",
               getVersion(), family(), genus(), species());
    xml.Put("<MEMBERS>\n");
    xml.Put("<MEMBER type=\"uint8\" name=\"DeviceGUID\" size=\"16\" minversion=\"100\" maxversion=\"CURRENT_VERSION\">\n");
    xml.Put("<VALUE><![CDATA[");
    xml.Guid(DeviceGUID);
    xml.Put("]]></VALUE>\n");
    xml.Put("</MEMBER>\n");
    xml.Put("<MEMBER type=\"ansichar\" size=\"UNBOUNDED\" name=\"SourceID\" minversion=\"100\" maxversion=\"CURRENT_VERSION\">\n");
    xml.Put("<VALUE><![CDATA[");
    if (SourceID != nullptr) {
        // The text goes up to its first zero; the stored bytes are always
        // followed by one, even when a frame brought none.
        const auto* text = reinterpret_cast<const char*>(SourceID);
        xml.Text(text, std::strlen(text));
    }
    xml.Put("]]></VALUE>\n");
    xml.Put("</MEMBER>\n");
    xml.Put("<MEMBER type=\"uint8\" size=\"UNBOUNDED\" name=\"Reserved\" minversion=\"100\" maxversion=\"CURRENT_VERSION\">\n");
    xml.Put("<VALUE><![CDATA[");
    xml.ByteList(Reserved, ReservedLength);
    xml.Put("]]></VALUE>\n");
    xml.Put("</MEMBER>\n");
    xml.Put("</MEMBERS>\n");
    xml.Put("</DEFINITION>\n");
    return xml.Finish();
}

// ---------------------------------------------------------------- CConDDescriptor

const t_MsgEntry CConDDescriptor::TypSpeciesTbl[1] = {{3, "NO_DESCRIPTION"}};
const t_VersionEntry CConDDescriptor::TypVersionsTbl[2] = {{100, 100}, {100, 100}};
const t_MsgEntry CConDDescriptor::TypDescriptorTbl[3] = {
    {DESCRIPTOR_NORMAL, "NO_DESCRIPTION"},
    {DESCRIPTOR_KEEPALIVE_TIMEOUT, "NO_DESCRIPTION"},
    {DESCRIPTOR_TRANSPORT_REMOVAL, "NO_DESCRIPTION"}};

CConDDescriptor::CConDDescriptor() : DtData(kConDDescriptorId), Data(nullptr), DataLength(0), Descriptor(0) {}

CConDDescriptor::CConDDescriptor(const CConDDescriptor& other) : DtData(other), Descriptor(other.Descriptor) {
    xqova::CopyOwnedBytes(Data, DataLength, other.Data, other.DataLength);
}

CConDDescriptor& CConDDescriptor::operator=(const CConDDescriptor& other) {
    if (this == &other) return *this;
    DtData::operator=(other);
    xqova::ReleaseOwnedBytes(Data);
    xqova::CopyOwnedBytes(Data, DataLength, other.Data, other.DataLength);
    Descriptor = other.Descriptor;
    return *this;
}

CConDDescriptor::~CConDDescriptor() { xqova::ReleaseOwnedBytes(Data); }

void CConDDescriptor::Reset() {
    DataBitField = 0;
    SrcVersion = 0;
    xqova::ReleaseOwnedBytes(Data);
    DataLength = 0;
    Descriptor = 0;
}

std::uint16_t CConDDescriptor::getVersion() const { return kConnectionVersion; }

unsigned char* CConDDescriptor::GetData(std::uint16_t* length) const {
    xqova::StoreSize(length, DataLength);
    return Data;
}

unsigned char CConDDescriptor::SetData(const unsigned char* bytes, std::uint16_t count) {
    return xqova::SetOwnedBytes(Data, DataLength, bytes, count);
}

std::uint32_t CConDDescriptor::get_payload_size() const { return static_cast<std::uint32_t>(DataLength) + 11u; }

void CConDDescriptor::serialize_static_data(uint8QManager* queue) const { queue->put(Descriptor); }

unsigned char CConDDescriptor::serialize_payload(uint8QManager* queue) const {
    const auto* frameStart = static_cast<const unsigned char*>(queue->GetTailPtr());
    queue->put(getVersion());
    queue->put(DataBitField);
    queue->put(kConDDescriptorStaticSize);
    serialize_static_data(queue);
    queue->put(DataLength);
    queue->enqueue_array(Data, DataLength);
    PutPayloadChecksum(queue, frameStart);
    return 1;
}

void CConDDescriptor::deserialize_static_data(uint8QManager* queue, std::uint16_t staticLength) {
    if (staticLength != 0 && GetVersionStatus(TypVersionsTbl, std::size(TypVersionsTbl), 0) != 0) {
        queue->get(&Descriptor);
    }
    SkipUnknownStatic(queue, staticLength, kConDDescriptorStaticSize);
}

unsigned char CConDDescriptor::deserialize_payload(uint8QManager* queue, std::uint32_t /*length*/) {
    std::uint16_t version;  // written by ReadPayloadVersion when it returns true, read only then
    bool ok = ReadPayloadVersion(queue, &version);
    if (ok) {
        Reset();
        deserialize_static_data(queue, ReadPayloadFlags(queue, version));
    }
    if (ok && GetVersionStatus(TypVersionsTbl, std::size(TypVersionsTbl), 1) != 0) {
        ok = xqova::ReadOwnedRun(queue, Data, DataLength);
    }
    if (ok) return 1;
    Reset();
    return 0;
}

std::uint32_t CConDDescriptor::serialize_to_XMLbuf(char* buffer) const {
    xqova::XmlText xml(buffer);
    xml.Format("<DEFINITION class=\"CConDDescriptor\" version=\"%d\" family=\"%d\" genus=\"%d\" species=\"%d\">\n",
               getVersion(), family(), genus(), species());
    xml.Put("<MEMBERS>\n");
    xml.Put("<MEMBER type=\"uint16\" name=\"Descriptor\" minversion=\"100\" maxversion=\"CURRENT_VERSION\">\n");
    xml.Format("<VALUE><![CDATA[%u]]></VALUE>\n", static_cast<unsigned>(Descriptor));
    xml.Put("</MEMBER>\n");
    xml.Put("<MEMBER type=\"uint8\" size=\"UNBOUNDED\" name=\"Data\" minversion=\"100\" maxversion=\"CURRENT_VERSION\">\n");
    xml.Put("<VALUE><![CDATA[");
    xml.ByteList(Data, DataLength);
    xml.Put("]]></VALUE>\n");
    xml.Put("</MEMBER>\n");
    xml.Put("</MEMBERS>\n");
    if (IsValidEnum(TypDescriptorTbl, std::size(TypDescriptorTbl), Descriptor) != 0) {
        static const char* const kNames[3] = {"DESCRIPTOR_NORMAL", "DESCRIPTOR_KEEPALIVE_TIMEOUT",
                                              "DESCRIPTOR_TRANSPORT_REMOVAL"};
        xml.Put("<ENUMERATION name=\"Descriptor\">\n");
        xml.Format("<ENUM name=\"%s\" defaultvalue=\"%d\" selected=\"yes\">\n", kNames[Descriptor],
                   static_cast<int>(Descriptor));
        xml.Format("<DESCRIPTION language=\"English\"><![CDATA[%s]]></DESCRIPTION>\n",
                   GetMsgString(TypDescriptorTbl, std::size(TypDescriptorTbl), Descriptor));
        xml.Put("</ENUM>\n");
        xml.Put("</ENUMERATION>\n");
    }
    xml.Put("</DEFINITION>\n");
    return xml.Finish();
}

// ---------------------------------------------------------------- CConDExtLst

const t_MsgEntry CConDExtLst::TypSpeciesTbl[1] = {{1, "NO_DESCRIPTION"}};
const t_VersionEntry CConDExtLst::TypVersionsTbl[1] = {{100, 100}};

CConDExtLst::CConDExtLst() : DtData(kConDExtLstId) {}

CConDExtLst::CConDExtLst(const CConDExtLst& other) : DtData(other) { CopyListFrom(other); }

CConDExtLst& CConDExtLst::operator=(const CConDExtLst& other) {
    if (this == &other) return *this;
    DtData::operator=(other);
    DeleteConnectionList();
    CopyListFrom(other);
    return *this;
}

CConDExtLst::~CConDExtLst() { xqova::ReleaseOwnedBytes(ConnectionList); }

void CConDExtLst::CopyListFrom(const CConDExtLst& other) {
    // An empty list copies its mode (a fixed list whose storage could not be
    // obtained stays so); a list with storage takes a block of the same
    // capacity, and is left empty and growable when memory runs out.
    if (other.ConnectionList == nullptr) {
        ConnectionListCapacity = other.ConnectionListCapacity;
        FixedCapacity = other.FixedCapacity;
        return;
    }
    const std::uint32_t room = other.FixedCapacity != 0 ? other.ConnectionListCapacity : other.ConnectionListSize;
    auto* copy = static_cast<unsigned char*>(xqova::Allocate(room));
    if (copy == nullptr) return;
    std::memcpy(copy, other.ConnectionList, other.ConnectionListSize);
    ConnectionList = copy;
    ConnectionListSize = other.ConnectionListSize;
    ConnectionListCapacity = other.ConnectionListCapacity;
    ConnectionCount = other.ConnectionCount;
    FixedCapacity = other.FixedCapacity;
}

void CConDExtLst::Reset() {
    DataBitField = 0;
    SrcVersion = 0;
    DeleteConnectionList();
}

std::uint16_t CConDExtLst::getVersion() const { return kConnectionVersion; }

unsigned char CConDExtLst::InitConnectionList(std::uint32_t capacity) {
    DeleteConnectionList();
    if (capacity == 0) return 0;
    FixedCapacity = 1;
    ConnectionList = static_cast<unsigned char*>(xqova::Allocate(capacity));
    if (ConnectionList == nullptr) return 0;
    ConnectionListCapacity = capacity;
    return 1;
}

unsigned char CConDExtLst::AppendConnectionList(const unsigned char* frames, std::uint32_t size, std::uint16_t count) {
    if (frames == nullptr || size == 0 || count == 0) return 0;
    if (static_cast<std::uint32_t>(ConnectionCount) + count > 0xFFFFu) return 0;
    if (size > kMaxConnectionListSize - ConnectionListSize) return 0;
    const std::uint32_t total = ConnectionListSize + size;
    if (FixedCapacity != 0) {
        // A fixed list without storage has a capacity of 0.
        if (total > ConnectionListCapacity) return 0;
        std::memcpy(ConnectionList + ConnectionListSize, frames, size);
    } else {
        auto* grown = static_cast<unsigned char*>(xqova::Allocate(total));
        if (grown == nullptr) return 0;
        std::copy_n(frames, size, std::copy_n(ConnectionList, ConnectionListSize, grown));
        xqova::ReleaseOwnedBytes(ConnectionList);
        ConnectionList = grown;
    }
    ConnectionListSize = total;
    ConnectionCount = static_cast<std::uint16_t>(ConnectionCount + count);
    return 1;
}

void CConDExtLst::DeleteConnectionList() {
    xqova::ReleaseOwnedBytes(ConnectionList);
    cursorIndex_ = 0;
    cursorOffset_ = 0;
    ConnectionListSize = 0;
    ConnectionListCapacity = 0;
    ConnectionCount = 0;
    FixedCapacity = 0;
}

unsigned char* CConDExtLst::GetConnectionList(std::uint32_t* size) const {
    if (size == nullptr || ConnectionListSize == 0) return nullptr;
    *size = ConnectionListSize;
    return ConnectionList;
}

unsigned char* CConDExtLst::GetConnectionListAt(std::uint16_t index, std::uint32_t* size) const {
    // A list without storage counts no frames.
    if (size == nullptr || index >= ConnectionCount) return nullptr;
    std::uint16_t i = 0;
    std::uint32_t offset = 0;
    if (index >= cursorIndex_) {
        i = cursorIndex_;
        offset = cursorOffset_;
    }
    for (;; ++i) {
        const std::uint32_t frameSize = QOVASerialSize(ConnectionList + offset, ConnectionListSize - offset, nullptr);
        *size = frameSize;
        if (frameSize == 0) return nullptr;
        if (i == index) {
            cursorIndex_ = i;
            cursorOffset_ = offset;
            return ConnectionList + offset;
        }
        offset += frameSize;
    }
}

std::uint32_t CConDExtLst::get_payload_size() const { return ConnectionListSize + 9u; }

void CConDExtLst::serialize_static_data(uint8QManager* /*queue*/) const {}

unsigned char CConDExtLst::serialize_payload(uint8QManager* queue) const {
    const auto* frameStart = static_cast<const unsigned char*>(queue->GetTailPtr());
    queue->put(getVersion());
    queue->put(DataBitField);
    queue->put(static_cast<std::uint16_t>(0));
    serialize_static_data(queue);
    queue->put(ConnectionCount);
    queue->enqueue_array(ConnectionList, ConnectionListSize);
    PutPayloadChecksum(queue, frameStart);
    return 1;
}

void CConDExtLst::deserialize_static_data(uint8QManager* queue, std::uint16_t staticLength) {
    SkipUnknownStatic(queue, staticLength, 0);
}

void CConDExtLst::DeserializeList(uint8QManager* queue) {
    if (queue->get_num_used() <= 2 || GetVersionStatus(TypVersionsTbl, std::size(TypVersionsTbl), 0) == 0) return;
    std::uint16_t count = 0;
    queue->get(&count);
    if (count == 0) {
        DeleteConnectionList();
        return;
    }
    // The frames lie in place from the queue's tail on (a queue made full
    // over a frame never wraps) and may reach into the checksum bytes, but
    // not past the frame's end. A list whose frames run past it is not
    // taken: the message keeps the list it had.
    const auto* first = static_cast<const unsigned char*>(queue->GetTailPtr());
    const std::uint32_t room = queue->get_num_contiguous();
    std::uint32_t total = 0;
    for (std::uint16_t i = 0; i < count; ++i) {
        const std::uint32_t frameSize = QOVASerialSize(first + total, room - total, nullptr);
        if (frameSize == 0) return;
        total += frameSize;
    }
    if (InitConnectionList(total) == 0) return;
    queue->dequeue_array(ConnectionList, total);
    ConnectionListSize = total;
    ConnectionCount = count;
}

unsigned char CConDExtLst::deserialize_payload(uint8QManager* queue, std::uint32_t /*length*/) {
    std::uint16_t version;  // written by ReadPayloadVersion when it returns true, read only then
    if (ReadPayloadVersion(queue, &version)) {
        deserialize_static_data(queue, ReadPayloadFlags(queue, version));
        DeserializeList(queue);
        return 1;
    }
    Reset();
    return 0;
}

std::uint32_t CConDExtLst::serialize_to_XMLbuf(char* buffer) const {
    xqova::XmlText xml(buffer);
    xml.Format("<DEFINITION class=\"CConDExtLst\" version=\"%d\" family=\"%d\" genus=\"%d\" species=\"%d\">\n",
               getVersion(), family(), genus(), species());
    xml.Put("<MEMBERS>\n");
    xml.Put("<MEMBER type=\"OBJECT\" class=\"ANY_CLASS\" size=\"UNBOUNDED\" name=\"ConnectionList\" minversion=\"100\" "
            "maxversion=\"CURRENT_VERSION\">\n");
    xml.Put("<VALUE>");
    xml.ByteList(ConnectionList, ConnectionListSize);
    xml.Put("</VALUE>\n");
    xml.Put("</MEMBER>\n");
    xml.Put("</MEMBERS>\n");
    xml.Put("</DEFINITION>\n");
    return xml.Finish();
}
