// The rendezvous message of family 29 (0x1D0000): a device's DeviceGUID, a
// RERVersion and optional Data bytes.
//
// Its payload has two versions: 100 holds the DeviceGUID alone; 101, the one
// it writes, adds RERVersion and Data:
//   version | DataBitField | StaticDataLength 18 | DeviceGUID (16) |
//   RERVersion | DataLength n | Data (n) | CRC
//
// A new message holds the default identifier
// {7B57323E-D61A-4E3D-8EBC-C8658007BBCB} and RERVersion 1; Reset, a decode
// (which starts from an empty message) and a failed decode clear both to zero.
// Copies take their own copy of Data (empty when memory runs out).
#ifndef XQOVA_MESSAGE_RENDEZVOUS_H
#define XQOVA_MESSAGE_RENDEZVOUS_H

#include <cstdint>

#include "xqova/core/export.h"
#include "xqova/message/frame.h"

class XQOVA_API CRNDZDStd : public DtData {
public:
    static const t_MsgEntry TypSpeciesTbl[1];
    static const t_VersionEntry TypVersionsTbl[3];  // DeviceGUID, RERVersion, Data

    CRNDZDStd();
    CRNDZDStd(const CRNDZDStd& other);
    CRNDZDStd& operator=(const CRNDZDStd& other);
    ~CRNDZDStd() override;

    void Reset();
    void Reset(unsigned char /*unused*/) { Reset(); }
    void SetObjectProperties(const CRNDZDStd* /*other*/) {}

    std::uint16_t getVersion() const override;
    std::uint32_t serialize_to_XMLbuf(char* buffer) const override;

    std::uint16_t GetRERVersion() const { return RERVersion; }
    void SetRERVersion(std::uint16_t version) { RERVersion = version; }

    unsigned char* GetDeviceGUID(std::uint16_t* size);
    const unsigned char* GetDeviceGUID(std::uint16_t* size) const;
    // Zeroes the identifier, then copies `count` bytes to its front. Returns
    // 0, the identifier left zero, when `count` exceeds 16.
    unsigned char SetDeviceGUID(const unsigned char* bytes, std::uint16_t count);

    // The bytes (null when empty); *length always receives their count when
    // `length` is not null.
    unsigned char* GetData(std::uint16_t* length) const;
    // Stores a copy of `count` bytes; a null pointer or a count of 0 empties
    // the field. 0, field unchanged, when memory runs out.
    unsigned char SetData(const unsigned char* bytes, std::uint16_t count);

protected:
    std::uint32_t get_payload_size() const override;
    unsigned char serialize_payload(uint8QManager* queue) const override;
    unsigned char deserialize_payload(uint8QManager* queue, std::uint32_t length) override;

private:
    void serialize_static_data(uint8QManager* queue) const;
    void deserialize_static_data(uint8QManager* queue, std::uint16_t staticLength);
    bool DeserializeData(uint8QManager* queue);

    unsigned char* Data;
    std::uint16_t DataLength;
    unsigned char DeviceGUID[16];
    std::uint16_t RERVersion;
};

#endif
