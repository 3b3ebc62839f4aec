// The connection messages of family 30.
//
//   CConDStd        0x1E0000  names the device: DeviceGUID, SourceID text,
//                             Reserved bytes
//   CConDDescriptor 0x1E0003  a Descriptor code with optional Data bytes
//   CConDExtLst     0x1E1201  a ConnectionList: whole frames laid end to end
//                             (genus 18: its frame carries a 32-bit length)
//
// Each message owns its variable fields. Copies take their own copy of those
// bytes, so two messages never share (or free) the same storage. When memory
// for a copy runs out, the copy's field is left empty, its length 0.
// A setter that cannot obtain memory returns 0 and leaves the field as it
// was; a decode that cannot obtain memory fails and leaves the message empty.
// Lengths always agree with the storage held.
#ifndef XQOVA_MESSAGE_CONNECTION_H
#define XQOVA_MESSAGE_CONNECTION_H

#include <cstdint>

#include "xqova/core/export.h"
#include "xqova/message/frame.h"

// Values of CConDDescriptor's Descriptor.
enum ConDDescriptor_e {
    DESCRIPTOR_NORMAL = 0,
    DESCRIPTOR_KEEPALIVE_TIMEOUT = 1,
    DESCRIPTOR_TRANSPORT_REMOVAL = 2
};

// Payload, version 100: version | DataBitField | StaticDataLength 16 |
// DeviceGUID (16) | SourceIDLength n | SourceID (n, its zero included) |
// ReservedLength m | Reserved (m) | CRC.
//
// A decode does not clear the message first: a field that the frame's version
// does not hold keeps its value. A frame that runs out inside SourceID or
// Reserved still decodes; the bytes it does not supply read as zero.
class XQOVA_API CConDStd : public DtData {
public:
    static const t_MsgEntry TypSpeciesTbl[1];
    static const t_VersionEntry TypVersionsTbl[3];  // DeviceGUID, SourceID, Reserved

    CConDStd();
    CConDStd(const CConDStd& other);
    CConDStd& operator=(const CConDStd& other);
    ~CConDStd() override;

    // Empties every field and clears DataBitField and SrcVersion; the class
    // identifier stays.
    void Reset();
    void Reset(unsigned char /*unused*/) { Reset(); }
    void SetObjectProperties(const CConDStd* /*other*/) {}

    std::uint16_t getVersion() const override;
    // The exact text: SourceID goes into its CDATA section unescaped, as the
    // device sent it. For trusted data only.
    std::uint32_t serialize_to_XMLbuf(char* buffer) const override;
    // The same text, well-formed for any SourceID: read as UTF-8, with what
    // XML cannot carry replaced by U+FFFD and "]]>" split. Sized by the same
    // call with a null buffer.
    std::uint32_t serialize_to_safe_XMLbuf(char* buffer) const;

    // The 16 identifier bytes; *size receives 16 when `size` is not null.
    unsigned char* GetDeviceGUID(std::uint16_t* size);
    const unsigned char* GetDeviceGUID(std::uint16_t* size) const;
    // Zeroes the identifier, then copies `count` bytes to its front. Returns
    // 0, the identifier left zero, when `count` exceeds 16.
    unsigned char SetDeviceGUID(const unsigned char* bytes, std::uint16_t count);

    // The text (null when empty); *length receives the text's length without
    // its zero, and is left alone when the field is empty. The text is always
    // followed by a zero byte, even when a frame brought none.
    char* GetSourceID(std::uint16_t* length) const;
    // Stores exactly `count` characters of `text` and a zero. A null `text`
    // empties the field. Refused (0, field unchanged) for `count` 65535, whose
    // stored length with the zero does not fit 16 bits, and when memory runs
    // out.
    unsigned char SetSourceID(const char* text, std::uint16_t count);

    // The bytes (null when empty); *length receives their count when `length`
    // is not null and the field is not empty.
    unsigned char* GetReserved(std::uint16_t* length) const;
    // Stores a copy of `count` bytes; a null pointer or a count of 0 empties
    // the field. 0, field unchanged, when memory runs out.
    unsigned char SetReserved(const unsigned char* bytes, std::uint16_t count);

protected:
    std::uint32_t get_payload_size() const override;
    unsigned char serialize_payload(uint8QManager* queue) const override;
    unsigned char deserialize_payload(uint8QManager* queue, std::uint32_t length) override;

private:
    void serialize_static_data(uint8QManager* queue) const;
    void deserialize_static_data(uint8QManager* queue, std::uint16_t staticLength);
    bool DeserializeVariableData(uint8QManager* queue);
    std::uint32_t WriteXml(char* buffer, bool safe) const;

    unsigned char* SourceID;
    std::uint16_t SourceIDLength;
    unsigned char* Reserved;
    std::uint16_t ReservedLength;
    unsigned char DeviceGUID[16];
};

// Payload, version 100: version | DataBitField | StaticDataLength 2 |
// Descriptor | DataLength n | Data (n) | CRC.
//
// A decode starts from an empty message, and fails (leaving it empty) when the
// frame cannot supply the Data it announces.
class XQOVA_API CConDDescriptor : public DtData {
public:
    static const t_MsgEntry TypSpeciesTbl[1];
    static const t_VersionEntry TypVersionsTbl[2];  // Descriptor, Data
    static const t_MsgEntry TypDescriptorTbl[3];

    CConDDescriptor();
    CConDDescriptor(const CConDDescriptor& other);
    CConDDescriptor& operator=(const CConDDescriptor& other);
    ~CConDDescriptor() override;

    void Reset();
    void Reset(unsigned char /*unused*/) { Reset(); }
    void SetObjectProperties(const CConDDescriptor* /*other*/) {}

    std::uint16_t getVersion() const override;
    std::uint32_t serialize_to_XMLbuf(char* buffer) const override;

    std::uint16_t GetDescriptor() const { return Descriptor; }
    void SetDescriptor(std::uint16_t descriptor) { Descriptor = descriptor; }

    // The bytes (null when empty); *length always receives their count when
    // `length` is not null.
    unsigned char* GetData(std::uint16_t* length) const;
    // As CConDStd::SetReserved.
    unsigned char SetData(const unsigned char* bytes, std::uint16_t count);

protected:
    std::uint32_t get_payload_size() const override;
    unsigned char serialize_payload(uint8QManager* queue) const override;
    unsigned char deserialize_payload(uint8QManager* queue, std::uint32_t length) override;

private:
    void serialize_static_data(uint8QManager* queue) const;
    void deserialize_static_data(uint8QManager* queue, std::uint16_t staticLength);

    unsigned char* Data;
    std::uint16_t DataLength;
    std::uint16_t Descriptor;
};

// Payload, version 100: version | DataBitField | StaticDataLength 0 |
// ConnectionCount | ConnectionList | CRC.
//
// The list has two modes: growable (after construction, DeleteConnectionList
// or Reset), where appends enlarge the storage, and fixed (after a successful
// InitConnectionList or a decode that brought frames), where appends beyond
// the capacity are refused.
//
// Appended bytes are the caller's word and are not parsed; every walk over the
// list stays inside the bytes it holds. A decoded list must consist of
// ConnectionCount whole frames inside the payload, or the decode fails.
class XQOVA_API CConDExtLst : public DtData {
public:
    static const t_MsgEntry TypSpeciesTbl[1];
    static const t_VersionEntry TypVersionsTbl[1];  // ConnectionList

    CConDExtLst();
    CConDExtLst(const CConDExtLst& other);
    CConDExtLst& operator=(const CConDExtLst& other);
    ~CConDExtLst() override;

    void Reset();
    void Reset(unsigned char /*unused*/) { Reset(); }
    void SetObjectProperties(const CConDExtLst* /*other*/) {}

    std::uint16_t getVersion() const override;
    std::uint32_t serialize_to_XMLbuf(char* buffer) const override;

    // Empties the list, then gives it fixed storage of `capacity` bytes.
    // Returns 0 for a capacity of 0 (the list stays growable) and when memory
    // runs out (the list stays empty, fixed, of capacity 0).
    unsigned char InitConnectionList(std::uint32_t capacity);
    // Appends `size` bytes holding `count` frames. Returns 0, list unchanged,
    // for a null pointer, a size or count of 0, a fixed list that would
    // overflow, a count that would pass 65535 (the count travels in 16 bits),
    // a list that would outgrow a 32-bit frame, and when memory runs out.
    unsigned char AppendConnectionList(const unsigned char* frames, std::uint32_t size, std::uint16_t count);
    // Frees the storage; the list becomes empty and growable.
    void DeleteConnectionList();

    std::uint16_t GetConnectionCount() const { return ConnectionCount; }
    // The whole list, its size in *size; null when `size` is null or the list
    // is empty.
    unsigned char* GetConnectionList(std::uint32_t* size) const;
    // The frame at `index`, its size in *size. Null when `size` is null, the
    // list is empty or `index` >= ConnectionCount; also null, with *size 0,
    // when a frame before it (or it) runs past the end of the list.
    // The walk starts from the frame last returned when `index` is at or
    // after it, so visiting every index in order is linear in the list's
    // size. That position is kept in the message: even reads of one message
    // must not come from two threads at once.
    unsigned char* GetConnectionListAt(std::uint16_t index, std::uint32_t* size) const;

protected:
    std::uint32_t get_payload_size() const override;
    unsigned char serialize_payload(uint8QManager* queue) const override;
    unsigned char deserialize_payload(uint8QManager* queue, std::uint32_t length) override;

private:
    void serialize_static_data(uint8QManager* queue) const;
    void deserialize_static_data(uint8QManager* queue, std::uint16_t staticLength);
    void DeserializeList(uint8QManager* queue);
    void CopyListFrom(const CConDExtLst& other);

    // A new list, and a copy before it takes the other's list, is empty and
    // growable.
    unsigned char* ConnectionList = nullptr;
    std::uint32_t ConnectionListSize = 0;
    std::uint32_t ConnectionListCapacity = 0;
    std::uint16_t ConnectionCount = 0;
    unsigned char FixedCapacity = 0;
    // The frame GetConnectionListAt returned last: its index and offset.
    // Frames before it lie whole in the list. Back to the first frame
    // whenever the list is replaced or emptied (appending keeps it).
    mutable std::uint16_t cursorIndex_ = 0;
    mutable std::uint32_t cursorOffset_ = 0;
};

#endif
