#include "xqova/message/rendezvous.h"

#include <cstring>
#include <iterator>

#include "xqova/message/owned_bytes.h"
#include "xqova/message/xml_text.h"

namespace {

constexpr std::uint32_t kRendezvousId = 0x001D0000u;
constexpr std::uint16_t kRendezvousVersion = 101;
constexpr std::uint16_t kStaticSize = 18;
constexpr unsigned char kDefaultGuid[16] = {0x7B, 0x57, 0x32, 0x3E, 0xD6, 0x1A, 0x4E, 0x3D,
                                            0x8E, 0xBC, 0xC8, 0x65, 0x80, 0x07, 0xBB, 0xCB};

}  // namespace

const t_MsgEntry CRNDZDStd::TypSpeciesTbl[1] = {{0, "NO_DESCRIPTION"}};
const t_VersionEntry CRNDZDStd::TypVersionsTbl[3] = {{100, 101}, {101, 101}, {101, 101}};

CRNDZDStd::CRNDZDStd() : DtData(kRendezvousId), Data(nullptr), DataLength(0), DeviceGUID{}, RERVersion(1) {
    std::memcpy(DeviceGUID, kDefaultGuid, sizeof DeviceGUID);
}

CRNDZDStd::CRNDZDStd(const CRNDZDStd& other) : DtData(other), RERVersion(other.RERVersion) {
    std::memcpy(DeviceGUID, other.DeviceGUID, sizeof DeviceGUID);
    xqova::CopyOwnedBytes(Data, DataLength, other.Data, other.DataLength);
}

CRNDZDStd& CRNDZDStd::operator=(const CRNDZDStd& other) {
    if (this == &other) return *this;
    DtData::operator=(other);
    xqova::ReleaseOwnedBytes(Data);
    xqova::CopyOwnedBytes(Data, DataLength, other.Data, other.DataLength);
    std::memcpy(DeviceGUID, other.DeviceGUID, sizeof DeviceGUID);
    RERVersion = other.RERVersion;
    return *this;
}

CRNDZDStd::~CRNDZDStd() { xqova::ReleaseOwnedBytes(Data); }

void CRNDZDStd::Reset() {
    DataBitField = 0;
    SrcVersion = 0;
    std::memset(DeviceGUID, 0, sizeof DeviceGUID);
    RERVersion = 0;
    xqova::ReleaseOwnedBytes(Data);
    DataLength = 0;
}

std::uint16_t CRNDZDStd::getVersion() const { return kRendezvousVersion; }

unsigned char* CRNDZDStd::GetDeviceGUID(std::uint16_t* size) {
    xqova::StoreSize(size, sizeof DeviceGUID);
    return DeviceGUID;
}

const unsigned char* CRNDZDStd::GetDeviceGUID(std::uint16_t* size) const {
    xqova::StoreSize(size, sizeof DeviceGUID);
    return DeviceGUID;
}

unsigned char CRNDZDStd::SetDeviceGUID(const unsigned char* bytes, std::uint16_t count) {
    return xqova::SetDeviceIdentifier(DeviceGUID, bytes, count);
}

unsigned char* CRNDZDStd::GetData(std::uint16_t* length) const {
    xqova::StoreSize(length, DataLength);
    return Data;
}

unsigned char CRNDZDStd::SetData(const unsigned char* bytes, std::uint16_t count) {
    return xqova::SetOwnedBytes(Data, DataLength, bytes, count);
}

std::uint32_t CRNDZDStd::get_payload_size() const { return static_cast<std::uint32_t>(DataLength) + 27u; }

void CRNDZDStd::serialize_static_data(uint8QManager* queue) const {
    queue->enqueue_array(DeviceGUID, sizeof DeviceGUID);
    queue->put(RERVersion);
}

unsigned char CRNDZDStd::serialize_payload(uint8QManager* queue) const {
    const auto* frameStart = static_cast<const unsigned char*>(queue->GetTailPtr());
    queue->put(getVersion());
    queue->put(DataBitField);
    queue->put(kStaticSize);
    serialize_static_data(queue);
    queue->put(DataLength);
    queue->enqueue_array(Data, DataLength);
    PutPayloadChecksum(queue, frameStart);
    return 1;
}

void CRNDZDStd::deserialize_static_data(uint8QManager* queue, std::uint16_t staticLength) {
    // A running count of the static bytes still to come, in 16 bits: a block
    // stated shorter than the identifier still yields the identifier, and
    // the count then wraps to a large value. The count goes down by 16
    // whether or not the frame could supply the identifier; a field the
    // frame cannot supply keeps its value.
    std::uint16_t remaining = staticLength;
    if (remaining != 0 && GetVersionStatus(TypVersionsTbl, std::size(TypVersionsTbl), 0) != 0) {
        queue->dequeue_array(DeviceGUID, sizeof DeviceGUID);
        remaining = static_cast<std::uint16_t>(remaining - sizeof DeviceGUID);
    }
    if (remaining != 0 && GetVersionStatus(TypVersionsTbl, std::size(TypVersionsTbl), 1) != 0) queue->get(&RERVersion);
    if (staticLength > kStaticSize) queue->dequeue_array(static_cast<std::uint32_t>(staticLength - kStaticSize));
}

bool CRNDZDStd::DeserializeData(uint8QManager* queue) {
    return GetVersionStatus(TypVersionsTbl, std::size(TypVersionsTbl), 2) == 0 ||
           xqova::ReadOwnedRun(queue, Data, DataLength);
}

unsigned char CRNDZDStd::deserialize_payload(uint8QManager* queue, std::uint32_t /*length*/) {
    std::uint16_t version;  // written by ReadPayloadVersion when it returns true, read only then
    bool ok = ReadPayloadVersion(queue, &version);
    if (ok) {
        Reset();
        deserialize_static_data(queue, ReadPayloadFlags(queue, version));
        ok = DeserializeData(queue);
    }
    if (ok) return 1;
    Reset();
    return 0;
}

std::uint32_t CRNDZDStd::serialize_to_XMLbuf(char* buffer) const {
    xqova::XmlText xml(buffer);
    xml.Format("<DEFINITION class=\"CRNDZDStd\" version=\"%d\" family=\"%d\" genus=\"%d\" species=\"%d\">\n",
               getVersion(), family(), genus(), species());
    xml.Put("<MEMBERS>\n");
    xml.Put("<MEMBER type=\"uint8\" name=\"DeviceGUID\" size=\"16\" minversion=\"100\" maxversion=\"CURRENT_VERSION\">\n");
    xml.Put("<VALUE><![CDATA[");
    xml.Guid(DeviceGUID);
    xml.Put("]]></VALUE>\n");
    xml.Put("</MEMBER>\n");
    xml.Put("<MEMBER type=\"uint16\" name=\"RERVersion\" minversion=\"101\" maxversion=\"CURRENT_VERSION\">\n");
    xml.Format("<VALUE><![CDATA[%u]]></VALUE>\n", static_cast<unsigned>(RERVersion));
    xml.Put("</MEMBER>\n");
    xml.Put("<MEMBER type=\"uint8\" size=\"UNBOUNDED\" name=\"Data\" minversion=\"101\" maxversion=\"CURRENT_VERSION\">\n");
    xml.Put("<VALUE><![CDATA[");
    xml.ByteList(Data, DataLength);
    xml.Put("]]></VALUE>\n");
    xml.Put("</MEMBER>\n");
    xml.Put("</MEMBERS>\n");
    xml.Put("</DEFINITION>\n");
    return xml.Finish();
}
