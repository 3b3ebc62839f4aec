// The connection and rendezvous messages as the qova tool handles them:
// frames built from field=value texts, frames decoded with the reason when
// one is refused, and byte streams split into frames.
#ifndef XQOVA_TOOLS_QOVA_MESSAGES_H
#define XQOVA_TOOLS_QOVA_MESSAGES_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/qova/catalog.h"
#include "tools/qova/members.h"

namespace qova {

// The four messages by name, for help texts.
const std::vector<std::string>& MessageNames();

// A frame of the message `type` (CConDStd, CConDDescriptor, CConDExtLst,
// CRNDZDStd) with the fields set from "Field=value" texts, DataBitField
// starting at `flags`. Throws Failure for an unknown message or field, or a
// value that does not fit.
Bytes EncodeMessageFrame(const std::string& type, const std::vector<std::string>& assignments, std::uint8_t flags);

struct DecodedFrame {
    Json document;       // message, identifier, frame size, payload version, flags, fields
    std::string xml;       // the message's XML rendering, well-formed for any field
    std::string exactXml;  // the message's own XML rendering, as the library writes it
    std::size_t size = 0;  // bytes of the input the frame took
};

// Decodes the frame at the start of `input`, reading nothing beyond it.
// Throws Failure saying what is wrong: too short for its header, stated
// length beyond the input, checksum mismatch, not a message class, newer
// payload version, or a payload whose fields do not fit the frame.
DecodedFrame DecodeMessageFrame(Catalog& catalog, const Bytes& input);

std::string RenderFrameTable(const Json& document);

// What a byte stream holds, in order: sound frames (with the tool's
// verdict on what they carry), corrupt frames (their checksum fails),
// frames cut short, and runs of bytes that belong to no frame.
struct FrameEvent {
    enum Kind { kFrame, kCorrupt, kTruncated, kSkipped };
    Kind kind;
    std::size_t offset;
    std::size_t size;       // bytes in the stream
    std::uint64_t stated;   // a truncated frame's stated size
    std::uint32_t classId;  // not for skipped bytes
    std::string verdict;    // a frame's verdict, a corrupt frame's reason
};

struct FrameScan {
    std::vector<FrameEvent> events;
    std::size_t frames = 0, corrupt = 0, truncated = 0;
    std::uint64_t skipped = 0;  // bytes
    bool Clean() const { return corrupt == 0 && truncated == 0 && skipped == 0; }
};

// Splits a byte stream into frames with the library's frame stream reader.
// Every byte is reported once: a candidate whose checksum fails is a
// corrupt frame unless a sound frame starts inside it (then it was a false
// header in noise, and its bytes are skipped ones), it starts inside a
// corrupt frame already taken (a false header in that frame's data) or its
// class is neither a message nor a class of the dictionary. Bytes
// before a sound frame or the end that start with the header of a known
// class stating more bytes than there are make a truncated frame. Frames
// larger than `maxFrame` bytes count as noise.
FrameScan ScanFrames(Catalog& catalog, const Bytes& stream, std::uint32_t maxFrame);

// One line per event and a summary line; `decoded[i]`, when not empty, is
// shown indented under event i.
std::string RenderFrameScan(Catalog& catalog, const FrameScan& scan,
                            const std::vector<std::string>& decoded = std::vector<std::string>());

// {"events": [{"offset", "kind", "size", "class", "classId", "verdict" or
// "reason", "statedSize", "decoded"}...], "frames", "corrupt", "truncated",
// "skippedBytes"}; `decoded[i]`, when not null, goes into event i.
Json FrameScanJson(Catalog& catalog, const FrameScan& scan, const std::vector<Json>& decoded = std::vector<Json>());

// A sound frame's contents as a document: a message's (DecodeMessageFrame)
// or an object encoding's (the JSON component's); null for a frame that
// neither reads.
Json DecodeFrameDocument(Catalog& catalog, const Bytes& frame);

// Writes each sound frame of the scan to `directory` (made when missing) as
// "NNNN-Class-Species.bin": its number among the sound frames, its class
// name and its species name (or number), every character other than
// letters, digits and '_' written as '_'. Returns the number of files.
std::size_t WriteFrameFiles(Catalog& catalog, const Bytes& stream, const FrameScan& scan,
                            const std::string& directory);

// The file name WriteFrameFiles gives the `index`th sound frame.
std::string FrameFileName(Catalog& catalog, std::size_t index, const unsigned char* frame);

}  // namespace qova

#endif
