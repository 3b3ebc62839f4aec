// Message frames from outside: each message's bounded decoder must stay
// inside the frame; a frame it accepts must encode again, decode again to the
// same bytes, and render as XML within the size it reports; the refusal
// report agrees with the plain decode.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "xqova/message/connection.h"
#include "xqova/message/frame.h"
#include "xqova/message/rendezvous.h"

namespace {

void Check(DtData& message, DtData& again, const unsigned char* frame, std::size_t size) {
    // The report names a check exactly when the plain decode fails, and a
    // frame a message accepts passes the checks of every frame.
    xqova::FrameReport report;
    const std::uint32_t reported = again.deserialize_all(frame, size, &report);
    const std::uint32_t result = message.deserialize_all(frame, size);
    if (reported != result || (result == 0) != static_cast<bool>(report)) __builtin_trap();
    if (result == 0) return;
    if (xqova::CheckFrame(frame, size, nullptr) != result) __builtin_trap();
    std::vector<unsigned char> encoded(message.size_all());
    if (encoded.empty() || message.serialize_all(encoded.data()) != encoded.size()) return;
    if (again.deserialize_all(encoded.data(), encoded.size()) == 0) __builtin_trap();
    std::vector<unsigned char> twice(again.size_all());
    if (twice.size() != encoded.size() || again.serialize_all(twice.data()) != twice.size()) __builtin_trap();
    if (std::memcmp(twice.data(), encoded.data(), twice.size()) != 0) __builtin_trap();
    const std::uint32_t xmlSize = message.size_XML();
    std::vector<char> xml(xmlSize + 16, '\x7F');
    if (message.serialize_to_XMLbuf(xml.data()) != xmlSize) __builtin_trap();
    if (xml[xmlSize - 1] != '\0' || xml[xmlSize] != '\x7F') __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<unsigned char> frame(data, data + size);  // exact size: reads past it are caught
    {
        CConDStd a, b;
        Check(a, b, frame.data(), frame.size());
    }
    {
        CConDDescriptor a, b;
        Check(a, b, frame.data(), frame.size());
    }
    {
        CConDExtLst a, b;
        Check(a, b, frame.data(), frame.size());
        std::uint32_t listSize = 0;
        if (a.deserialize_all(frame.data(), frame.size()) != 0) {
            for (std::uint16_t i = 0; i < 8; ++i) {
                std::uint32_t at = 0;
                const unsigned char* p = a.GetConnectionListAt(i, &at);
                if (p != nullptr && at != 0) {
                    volatile unsigned char last = p[at - 1];
                    (void)last;
                }
            }
            (void)a.GetConnectionList(&listSize);
        }
    }
    {
        CRNDZDStd a, b;
        Check(a, b, frame.data(), frame.size());
    }
    DtData walker;
    (void)walker.QOVASerialElements(frame.data(), static_cast<std::uint32_t>(frame.size()));
    return 0;
}
