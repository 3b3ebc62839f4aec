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

// Splits a byte stream into frames with the library's frame stream reader
// and reports each frame (offset, class, size, ok or corrupt) and each run of
// bytes skipped. A corrupt candidate that starts inside a corrupt frame
// already reported is taken for a false header in its data and counted with
// the skipped bytes. `clean` becomes false when anything was corrupt or
// skipped. Frames larger than `maxFrame` bytes count as noise.
std::string SplitFrames(Catalog& catalog, const Bytes& stream, std::uint32_t maxFrame, bool* clean);

}  // namespace qova

#endif
