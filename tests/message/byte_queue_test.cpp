#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "xqova/message/byte_queue.h"

namespace {

std::uint32_t Offset(const void* p, const unsigned char* start) {
    return static_cast<std::uint32_t>(static_cast<const unsigned char*>(p) - start);
}

TEST(ByteQueue, FullQueuePresentsTheBufferForReading) {
    unsigned char buffer[2] = {0x12, 0x34};
    uint8QManager queue(buffer, 2, 1);
    EXPECT_EQ(queue.get_num_free(), 0u);
    EXPECT_EQ(queue.get_num_used(), queue.get_num_elements());
    std::uint16_t value = 0;
    ASSERT_EQ(queue.get(&value), 1);
    EXPECT_EQ(value, 0x1234);
    EXPECT_EQ(queue.get_num_used(), 0u);
    value = 0x5555;
    EXPECT_EQ(queue.get(&value), 0);
    EXPECT_EQ(value, 0x5555);
}

// Every typed value travels most significant byte first; the signed forms
// move the two's-complement patterns of their unsigned twins.
TEST(ByteQueue, TypedValuesTravelBigEndian) {
    unsigned char four[4] = {};
    uint8QManager exact(four, 4, 0);
    ASSERT_EQ(exact.put(static_cast<std::uint32_t>(0x01020304u)), 1);
    EXPECT_EQ(std::memcmp(four, "\x01\x02\x03\x04", 4), 0);
    EXPECT_EQ(exact.GetHeadPtr(), static_cast<void*>(four));
    EXPECT_EQ(exact.get_num_free(), 0u);
    EXPECT_EQ(exact.put(static_cast<unsigned char>(9)), 0);

    unsigned char buffer[19] = {};
    uint8QManager queue(buffer, 19, 0);
    ASSERT_EQ(queue.put(1.0f), 1);
    ASSERT_EQ(queue.put(1.0), 1);
    ASSERT_EQ(queue.put(static_cast<signed char>(-128)), 1);
    ASSERT_EQ(queue.put(static_cast<std::int16_t>(-2)), 1);
    ASSERT_EQ(queue.put(static_cast<std::int32_t>(-0x7F000000)), 1);
    const unsigned char expected[19] = {0x3F, 0x80, 0, 0, 0x3F, 0xF0, 0, 0, 0, 0, 0, 0,
                                        0x80, 0xFF, 0xFE, 0x81, 0, 0, 0};
    EXPECT_EQ(std::memcmp(buffer, expected, 19), 0);
    float f = 0;
    double d = 0;
    signed char c = 0;
    std::int16_t s = 0;
    std::int32_t l = 0;
    ASSERT_TRUE(queue.get(&f) && queue.get(&d) && queue.get(&c) && queue.get(&s) && queue.get(&l));
    EXPECT_EQ(f, 1.0f);
    EXPECT_EQ(d, 1.0);
    EXPECT_EQ(c, -128);
    EXPECT_EQ(s, -2);
    EXPECT_EQ(l, -0x7F000000);
    EXPECT_EQ(queue.get(&c), 0);
    EXPECT_EQ(c, -128);
}

TEST(ByteQueue, RefusedOperationsChangeNothing) {
    unsigned char buffer[6] = {};
    uint8QManager queue(buffer, 6, 0);
    const unsigned char bytes[7] = {1, 2, 3, 4, 5, 6, 7};
    EXPECT_EQ(queue.enqueue_array(bytes, 7), 0);
    EXPECT_EQ(buffer[0], 0);
    ASSERT_EQ(queue.enqueue_array(bytes, 3), 1);
    EXPECT_EQ(queue.put(1.0), 0);
    unsigned char target[4] = {9, 9, 9, 9};
    EXPECT_EQ(queue.dequeue_array(target, 4), 0);
    EXPECT_EQ(queue.dequeue_array(std::uint32_t{4}), 0);
    std::uint32_t wide = 7;
    EXPECT_EQ(queue.get(&wide), 0);
    EXPECT_EQ(wide, 7u);
    EXPECT_EQ(target[0], 9);
    EXPECT_EQ(queue.get_num_used(), 3u);
    EXPECT_EQ(queue.GetTailPtr(), static_cast<void*>(buffer));
    EXPECT_EQ(queue.dequeue_array(std::uint32_t{0}), 1);
    EXPECT_EQ(queue.enqueue_array(bytes, 3), 1);  // exactly the free space
}

// Runs of every chunk size through queues of several capacities, so that
// runs and values begin at every offset and straddle the end of the buffer.
TEST(ByteQueue, WrapAroundTable) {
    const std::uint32_t capacities[] = {8, 9, 10, 13, 16, 20};
    const std::uint32_t chunks[] = {1, 2, 3, 5, 7, 13};
    for (std::uint32_t capacity : capacities) {
        for (std::uint32_t chunk : chunks) {
            if (chunk > capacity) continue;
            SCOPED_TRACE(testing::Message() << "capacity " << capacity << " chunk " << chunk);
            std::vector<unsigned char> buffer(capacity, 0xEE);
            uint8QManager queue(buffer.data(), capacity, 0);
            unsigned next = 0;
            unsigned expect = 0;
            std::uint32_t written = 0;
            std::uint32_t read = 0;
            for (int round = 0; round < 3 * static_cast<int>(capacity); ++round) {
                std::vector<unsigned char> run(chunk);
                for (auto& b : run) b = static_cast<unsigned char>(next++);
                ASSERT_EQ(queue.enqueue_array(run.data(), chunk), 1);
                written += chunk;
                EXPECT_EQ(Offset(queue.GetHeadPtr(), buffer.data()), written % capacity);
                EXPECT_EQ(queue.get_num_used(), chunk);
                if (round % 2 == 0) {
                    std::vector<unsigned char> out(chunk);
                    ASSERT_EQ(queue.dequeue_array(out.data(), chunk), 1);
                    for (auto b : out) EXPECT_EQ(b, static_cast<unsigned char>(expect++));
                } else {
                    ASSERT_EQ(queue.dequeue_array(chunk), 1);  // a skip moves like a read
                    expect += chunk;
                }
                read += chunk;
                EXPECT_EQ(Offset(queue.GetTailPtr(), buffer.data()), read % capacity);
                EXPECT_EQ(queue.get_num_used(), 0u);
            }
        }
        // Typed values at every starting offset: a 32-bit value, a double,
        // then a 16-bit value at offset shift + 12.
        for (std::uint32_t shift = 0; shift < capacity; ++shift) {
            SCOPED_TRACE(testing::Message() << "capacity " << capacity << " shift " << shift);
            std::vector<unsigned char> buffer(capacity, 0);
            uint8QManager queue(buffer.data(), capacity, 0);
            for (std::uint32_t i = 0; i < shift; ++i) {
                unsigned char b = 0;
                queue.put(b);
                queue.get(&b);
            }
            ASSERT_EQ(queue.put(static_cast<std::uint32_t>(0xA1B2C3D4u)), 1);
            const unsigned char want[4] = {0xA1, 0xB2, 0xC3, 0xD4};
            for (std::uint32_t i = 0; i < 4; ++i) EXPECT_EQ(buffer[(shift + i) % capacity], want[i]);
            std::uint32_t l = 0;
            ASSERT_EQ(queue.get(&l), 1);
            EXPECT_EQ(l, 0xA1B2C3D4u);
            double d = 0;
            ASSERT_EQ(queue.put(-1234.5), 1);
            ASSERT_EQ(queue.get(&d), 1);
            EXPECT_EQ(d, -1234.5);
            std::uint16_t s = 0;
            ASSERT_EQ(queue.put(static_cast<std::uint16_t>(0xBEEF)), 1);
            EXPECT_EQ(buffer[(shift + 12) % capacity], 0xBE);
            EXPECT_EQ(buffer[(shift + 13) % capacity], 0xEF);
            ASSERT_EQ(queue.get(&s), 1);
            EXPECT_EQ(s, 0xBEEF);
            EXPECT_EQ(Offset(queue.GetHeadPtr(), buffer.data()), (shift + 14) % capacity);
            EXPECT_EQ(queue.GetHeadPtr(), queue.GetTailPtr());
        }
    }
}

}  // namespace
