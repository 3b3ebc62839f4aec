// The base of the fixed-layout messages and their common frame.
//
// A frame, all numbers big-endian:
//   class identifier (4) | payload length L (4 when the class is extended,
//   else 2) | payload (L bytes)
// and every payload follows one convention:
//   version (2) | DataBitField (1) | StaticDataLength S (2) | static block (S)
//   | the message's variable fields | CRC (2)
// where the CRC covers every byte of the frame before it, from the class
// identifier on.
//
// DtData writes and reads the frame and leaves the payload to the derived
// message through four virtual operations. It also carries the tools the
// messages share: the version table test, the code-to-text tables, frame
// walking and the time-stamp record on a queue.
//
// Frames that arrive from outside are hostile. deserialize_all with a length
// refuses a frame whose header does not fit in the bytes given or whose stated
// size runs past them, before anything else is read; the frame walks stay
// inside the bytes they are given.
#ifndef XQOVA_MESSAGE_FRAME_H
#define XQOVA_MESSAGE_FRAME_H

#include <cstddef>
#include <cstdint>

#include "xqova/core/export.h"
#include "xqova/core/types.h"
#include "xqova/message/byte_queue.h"

// A row of a code-to-text table.
struct t_MsgEntry {
    std::uint16_t code;
    const char* text;
};

// The payload versions, both included, that hold one field of a message.
struct t_VersionEntry {
    std::uint16_t minVersion;
    std::uint16_t maxVersion;
};

// The text of the first of the first `count` rows whose code is `code`. When
// no row has it, "Unknown code: <code>" written into one static text area
// that the next miss overwrites (shared by all threads).
XQOVA_API const char* GetMsgString(const t_MsgEntry* table, std::uint16_t count, std::uint16_t code);

// 1 when one of the first `count` rows has `code`, else 0.
XQOVA_API unsigned char IsValidEnum(const t_MsgEntry* table, std::uint16_t count, std::uint16_t code);

namespace xqova {

// Why a frame was refused. Filled by DtData::deserialize_all and CheckFrame
// when given a report; the entry points without one give the results they
// always gave.
//
//     xqova::FrameReport why;
//     CConDStd message;
//     if (message.deserialize_all(bytes, length, &why) == 0) {
//         std::printf("refused: %s at offset %zu\n", xqova::FrameCheckName(why.check), why.at);
//     }
enum class FrameCheck : std::uint8_t {
    kNone = 0,
    kHeader,        // too short for its header (found: bytes there; expected: header size)
    kLength,        // stated size beyond the input (found: stated total; expected: bytes there)
    kOtherClass,    // family or genus other than the message's (found: frame's class; expected: message's)
    kTooSmall,      // payload too short for its checksum (found: payload length; expected: 2)
    kChecksum,      // checksum mismatch (found: stored; expected: computed; at: the stored bytes)
    kNewerVersion,  // payload version above the message's (found: payload's; expected: message's)
    kPayload        // the message's own fields do not fit the frame, or memory ran out
};

// A short name of the check ("checksum mismatch", "newer version", ...).
XQOVA_API const char* FrameCheckName(FrameCheck check);

struct FrameReport {
    FrameCheck check = FrameCheck::kNone;
    // Where the failing field starts, counted from the frame's first byte.
    std::size_t at = 0;
    std::uint32_t classId = 0xFFFFFFFFu;  // the frame's class, once its 4 bytes were there
    bool classRead = false;
    std::uint64_t size = 0;  // the frame's stated total size, once its header was read
    std::uint64_t found = 0;
    std::uint64_t expected = 0;

    explicit operator bool() const { return check != FrameCheck::kNone; }
};

// The checks every frame passes whatever message reads it, on the frame at
// the start of `frame` of which `length` bytes exist: its header fits, its
// stated size fits, its payload holds a checksum and the checksum holds.
// Returns the frame's size, or 0 with `report` (when given) saying why.
// Reads nothing beyond the frame.
XQOVA_API std::uint32_t CheckFrame(const unsigned char* frame, std::size_t length, FrameReport* report);

}  // namespace xqova

class XQOVA_API DtData {
public:
    explicit DtData(std::uint32_t classId);
    DtData();
    DtData(const DtData& other);
    DtData& operator=(const DtData& other);
    virtual ~DtData();

    // 1 when a frame of the class carries a 32-bit payload length, else 0: the
    // library's one extended rule.
    virtual unsigned char is_Extended(std::uint32_t classId) const;
    // is_Extended of the big-endian class identifier in the first four bytes
    // of `frame` (0 for a null pointer).
    virtual unsigned char is_Extended(const unsigned char* frame) const;
    // The payload layout the message writes, and the newest it accepts.
    virtual std::uint16_t getVersion() const;
    // Writes the message's XML text with its terminating zero into `buffer`
    // (nothing when null) and returns the size of that text, zero included.
    virtual std::uint32_t serialize_to_XMLbuf(char* buffer) const;

protected:
    virtual std::uint32_t get_payload_size() const;
    virtual unsigned char serialize_payload(uint8QManager* queue) const;
    virtual unsigned char deserialize_payload(uint8QManager* queue, std::uint32_t length);

public:
    std::uint32_t id() const { return ClassId; }
    std::uint16_t family() const;
    unsigned char genus() const;
    unsigned char species() const;
    void set_Family(std::uint16_t family);
    void set_Genus(unsigned char genus);
    void set_Species(unsigned char species);

    unsigned char GetDataBitField() const { return DataBitField; }
    void SetDataBitField(unsigned char bits) { DataBitField = bits; }
    // The valid flag is bit 6 (isvalid gives 64 when set), the dirty flag
    // bit 7 (isdirty gives 128). Both setters return the value passed.
    unsigned char SetValid(unsigned char on);
    unsigned char isvalid() const { return DataBitField & 0x40; }
    unsigned char setdirty(unsigned char on);
    unsigned char isdirty() const { return DataBitField & 0x80; }
    std::uint16_t GetSrcVersion() const { return SrcVersion; }
    void SetSrcVersion(std::uint16_t version) { SrcVersion = version; }

    // Writes the whole frame into `buffer`, which holds at least size_all()
    // bytes, and returns its size. 0, with nothing written, for a null buffer
    // and for a payload that the frame's length field cannot express (above
    // 65535 for a class that is not extended).
    std::uint32_t serialize_all(unsigned char* buffer) const;

    // Reads the frame at `frame`, whose `length` bytes are all the caller
    // has. Returns the frame's size, or 0 when:
    //   - the header does not fit in `length`, the stated size runs past it,
    //     or the frame is too short to hold its checksum: nothing beyond the
    //     header is read and the message is untouched;
    //   - the frame's family or genus differ from the message's: untouched;
    //   - the payload fails to decode: the message is as the payload decoder
    //     leaves it (emptied), its species taken from the frame.
    std::uint32_t deserialize_all(const unsigned char* frame, std::size_t length);
    // The same, and when the result is 0 `report` (when not null) says which
    // check refused the frame: kHeader or kLength (message untouched),
    // kOtherClass (untouched), kTooSmall, kChecksum, kNewerVersion or
    // kPayload (the message as the failed decode leaves it).
    std::uint32_t deserialize_all(const unsigned char* frame, std::size_t length, xqova::FrameReport* report);
    // The same for a caller that vouches for a whole frame at `frame`: its
    // size is taken from its own header.
    std::uint32_t deserialize_all(const unsigned char* frame);

    // The frame size: payload + 8 for an extended class, + 6 otherwise.
    std::uint32_t size_all() const;
    // The size of the XML text, terminating zero included.
    std::uint32_t size_XML() const { return serialize_to_XMLbuf(nullptr); }

    // 1 when table[index] admits SrcVersion (both bounds included); 0 when
    // `index` >= `count`.
    unsigned char GetVersionStatus(const t_VersionEntry* table, std::uint16_t count, std::uint16_t index) const;

    // The number of whole frames laid end to end at the start of `buffer`
    // (saturating at 65535). The walk stops at the first frame whose header or
    // stated size runs past `length`; such a frame and any bytes after it are
    // not counted.
    std::uint16_t QOVASerialElements(const unsigned char* buffer, std::uint32_t length) const;

    // The size of the frame at `frame` from its header alone (trusted), 0 for
    // a null pointer or a size beyond 32 bits; `lengthWidth`, when not null,
    // receives 4 for an extended class and 2 otherwise.
    std::uint32_t QOVASerialSize(const unsigned char* frame, unsigned char* lengthWidth) const;
    // The same for a frame of which only `available` bytes exist: 0 when its
    // header or its stated size runs past them.
    std::uint32_t QOVASerialSize(const unsigned char* frame, std::size_t available, unsigned char* lengthWidth) const;

    // The time-stamp record as 8 bytes: year (16 bits, high byte first), then
    // month, day, hour, minute, second and fraction. Each field is moved on
    // its own: a put that finds the queue full drops the field, and a field
    // that the queue cannot supply reads as 0.
    QOVA_TIME Get_QOVATIME(uint8QManager* queue) const;
    void Put_QOVATIME(uint8QManager* queue, QOVA_TIME time) const;

protected:
    // The convention's checksum test for the frame under a queue made full
    // over it: the CRC of every byte but the last two against those two.
    // Reads only inside the queue's buffer; false when it is under 2 bytes.
    static bool PayloadChecksumHolds(const uint8QManager& queue);

    // Writes the checksum that ends the frame being written through `queue`,
    // whose first byte is `frameStart`; over no bytes for a queue under 2
    // bytes, which has no room for it anyway.
    static void PutPayloadChecksum(uint8QManager* queue, const unsigned char* frameStart);

    // The first common steps of a payload decode: the payload holds its
    // checksum and the checksum holds, and the payload version, read into
    // *version, is at most getVersion().
    //
    // Through the whole payload decode a get or skip that the queue refuses
    // changes nothing and the decode goes on: *version, DataBitField and the
    // fields keep the values they had. Only the checksum, a newer version and
    // the steps a message names as failures fail it.
    bool ReadPayloadVersion(uint8QManager* queue, std::uint16_t* version) const;
    // The next ones: SrcVersion becomes `version`, then DataBitField is read
    // (kept as it was when the frame cannot supply it), and the
    // StaticDataLength is returned (0 when the frame cannot supply it: at
    // most one byte is then left, from which no static block reads anything).
    std::uint16_t ReadPayloadFlags(uint8QManager* queue, std::uint16_t version);

    unsigned char DataBitField;
    std::uint16_t SrcVersion;
    std::uint32_t ClassId;

private:
    std::uint32_t DecodeFrame(const unsigned char* frame, std::uint32_t size);
};

#endif
