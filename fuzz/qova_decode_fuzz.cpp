// The qova tool's decoding paths on any input: an object encoding in every
// output form, a message frame, and a byte stream split into frames. Refusals
// are exceptions the tool reports; anything else (a crash, a sanitizer
// report) is a finding. Objects are decoded twice: with every checksum
// accepted (a fuzzing build), and with those of nested encodings checked.
#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/qova/catalog.h"
#include "tools/qova/commands.h"
#include "tools/qova/messages.h"
#include "tools/qova/render.h"
#include "xqova/core/checksum.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static qova::Catalog catalog;
    const qova::Bytes input(data, data + size);
    for (bool nestedChecked : {false, true}) {
        xqova::fuzzing::EnforceNestedChecksums(nestedChecked);
        for (qova::ObjectOutput output :
             {qova::ObjectOutput::kTable, qova::ObjectOutput::kXml, qova::ObjectOutput::kXmlUtf16,
              qova::ObjectOutput::kJson, qova::ObjectOutput::kXmlExact, qova::ObjectOutput::kXmlUtf16Exact}) {
            try {
                std::string warning;
                (void)qova::DecodeObject(catalog, input, output, &warning);
            } catch (const qova::Failure&) {
                break;  // the same refusal for every form
            }
        }
    }
    xqova::fuzzing::EnforceNestedChecksums(false);
    try {
        (void)qova::DecodeMessageFrame(catalog, input);
    } catch (const qova::Failure&) {
    }
    try {
        const qova::FrameScan scan = qova::ScanFrames(catalog, input, 256);
        (void)qova::RenderFrameScan(catalog, scan);
        (void)qova::DumpJson(qova::FrameScanJson(catalog, scan));
    } catch (const qova::Failure&) {
    }
    return 0;
}
