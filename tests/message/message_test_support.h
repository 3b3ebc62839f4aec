// Frame building for the message tests.
#ifndef XQOVA_TESTS_MESSAGE_TEST_SUPPORT_H
#define XQOVA_TESTS_MESSAGE_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <vector>

#include "support/mutations.h"
#include "xqova/core/class_id.h"
#include "xqova/core/crc16.h"
#include "xqova/core/frame_header.h"
#include "xqova/message/connection.h"
#include "xqova/message/frame.h"
#include "xqova/message/rendezvous.h"

namespace message_test {

using Bytes = std::vector<unsigned char>;

// The device identifier a new rendezvous message carries.
inline const Bytes kDefaultGuid = {0x7B, 0x57, 0x32, 0x3E, 0xD6, 0x1A, 0x4E, 0x3D,
                                   0x8E, 0xBC, 0xC8, 0x65, 0x80, 0x07, 0xBB, 0xCB};

using test_mutations::Cat;

// Bytes from hex text with spaces ("00 1E 00 00").
inline Bytes Hex(const char* text) {
    Bytes bytes;
    for (char* end = nullptr;; text = end) {
        const unsigned long value = std::strtoul(text, &end, 16);
        if (end == text) return bytes;
        bytes.push_back(static_cast<unsigned char>(value));
    }
}

// The frame a message writes, in a vector of exactly size_all() bytes.
inline Bytes Encode(const DtData& message) {
    Bytes frame(message.size_all());
    EXPECT_EQ(message.serialize_all(frame.data()), frame.size());
    return frame;
}

// A frame of class `id` around `payload` (everything up to the checksum),
// with the length field and the checksum filled in.
inline Bytes MakeFrame(std::uint32_t id, const Bytes& payload) {
    Bytes frame(4 + xqova::LengthFieldWidth(id));
    WriteInt32(frame.data(), id);
    frame.insert(frame.end(), payload.begin(), payload.end());
    frame.resize(frame.size() + 2);
    test_mutations::Restate(frame);
    return frame;
}

enum Kind { kStd, kDescriptor, kList, kRendezvous };
inline const Kind kKinds[] = {kStd, kDescriptor, kList, kRendezvous};
inline const char* const kKindNames[] = {"CConDStd", "CConDDescriptor", "CConDExtLst", "CRNDZDStd"};

// A message of the kind with a value in every field that it sends.
inline std::unique_ptr<DtData> Holding(Kind kind) {
    const unsigned char bytes[16] = {5, 6, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5};
    if (kind == kStd) {
        auto message = std::make_unique<CConDStd>();
        message->SetSourceID("src", 3);
        message->SetReserved(bytes, 1);
        message->SetDeviceGUID(bytes, 16);
        return message;
    }
    if (kind == kDescriptor) {
        auto message = std::make_unique<CConDDescriptor>();
        message->SetDescriptor(1);
        message->SetData(bytes, 2);
        return message;
    }
    if (kind == kList) {
        auto message = std::make_unique<CConDExtLst>();
        for (std::uint32_t id : {0x001E0003u, 0x001E1201u}) {
            const Bytes frame = MakeFrame(id, {0x00, 0x64, 0x00, 0x00, 0x00, 0x00, 0x00});
            message->AppendConnectionList(frame.data(), static_cast<std::uint32_t>(frame.size()), 1);
        }
        return message;
    }
    auto message = std::make_unique<CRNDZDStd>();
    message->SetData(bytes + 2, 1);
    return message;
}

}  // namespace message_test

#endif
