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
    unsigned char buffer[3] = {0x12, 0x34, 0x56};
    uint8QManager queue(buffer, 3, 1);
    EXPECT_EQ(queue.get_num_free(), 0u);
    EXPECT_EQ(queue.get_num_used(), queue.get_num_elements());
    std::uint16_t value = 0;
    ASSERT_EQ(queue.get(&value), 1);
    EXPECT_EQ(value, 0x1234);
    EXPECT_EQ(queue.get(&value), 0);  // one byte left
    EXPECT_EQ(value, 0x1234);
    EXPECT_EQ(queue.get_num_used(), 1u);
}

TEST(ByteQueue, RefusedOperationsChangeNothing) {
    unsigned char buffer[6] = {};
    uint8QManager queue(buffer, 6, 0);
    const unsigned char bytes[7] = {1, 2, 3, 4, 5, 6, 7};
    EXPECT_EQ(queue.enqueue_array(bytes, 7), 0);
    EXPECT_EQ(buffer[0], 0);
    ASSERT_EQ(queue.enqueue_array(bytes, 3), 1);
    EXPECT_EQ(queue.put(1.0), 0);
    EXPECT_EQ(queue.put(static_cast<std::uint32_t>(1)), 0);
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
    EXPECT_EQ(queue.get_num_free(), 0u);
    EXPECT_EQ(queue.put(static_cast<unsigned char>(9)), 0);
}

// Every typed value travels most significant byte first, the signed forms as
// the two's-complement patterns of their unsigned twins, and the values and
// runs begin at every offset of queues of several capacities, so that each
// straddles the end of the buffer somewhere.
TEST(ByteQueue, ValuesAndRunsAtEveryOffset) {
    const unsigned char expected[25] = {0x3F, 0x80, 0, 0, 0x3F, 0xF0, 0, 0, 0, 0, 0, 0, 0x80,
                                        0xFF, 0xFE, 0x81, 0, 0, 0, 0xA1, 0xB2, 0xC3, 0xD4, 0xBE, 0xEF};
    for (std::uint32_t capacity : {25u, 26u, 31u}) {
        for (std::uint32_t shift = 0; shift < capacity; ++shift) {
            SCOPED_TRACE(testing::Message() << "capacity " << capacity << " shift " << shift);
            std::vector<unsigned char> buffer(capacity, 0);
            uint8QManager queue(buffer.data(), capacity, 0);
            unsigned char b = 0;
            for (std::uint32_t i = 0; i < shift; ++i) ASSERT_TRUE(queue.put(b) && queue.get(&b));
            ASSERT_TRUE(queue.put(1.0f) && queue.put(1.0) && queue.put(static_cast<signed char>(-128)) &&
                        queue.put(static_cast<std::int16_t>(-2)) && queue.put(static_cast<std::int32_t>(-0x7F000000)) &&
                        queue.put(static_cast<std::uint32_t>(0xA1B2C3D4u)) && queue.put(static_cast<std::uint16_t>(0xBEEF)));
            for (std::uint32_t i = 0; i < 25; ++i) EXPECT_EQ(buffer[(shift + i) % capacity], expected[i]) << i;
            EXPECT_EQ(Offset(queue.GetHeadPtr(), buffer.data()), (shift + 25) % capacity);
            // Each value read back into a target holding 5; a refused get leaves it so.
            const auto back = [&queue](auto target, unsigned char done) {
                EXPECT_EQ(queue.get(&target), done);
                return target;
            };
            EXPECT_EQ(back(5.0f, 1), 1.0f);
            EXPECT_EQ(back(5.0, 1), 1.0);
            EXPECT_EQ(back(static_cast<signed char>(5), 1), -128);
            EXPECT_EQ(back(std::int16_t{5}, 1), -2);
            EXPECT_EQ(back(std::int32_t{5}, 1), -0x7F000000);
            EXPECT_EQ(back(std::uint32_t{5}, 1), 0xA1B2C3D4u);
            EXPECT_EQ(back(std::uint16_t{5}, 1), 0xBEEF);
            EXPECT_EQ(back(static_cast<signed char>(5), 0), 5);
            EXPECT_EQ(queue.GetHeadPtr(), queue.GetTailPtr());

            // A run of `shift` + 1 bytes, read back or skipped.
            std::vector<unsigned char> run(shift + 1), out(shift + 1);
            for (std::uint32_t i = 0; i <= shift; ++i) run[i] = static_cast<unsigned char>(i + 1);
            ASSERT_EQ(queue.enqueue_array(run.data(), shift + 1), 1);
            EXPECT_EQ(queue.get_num_used(), shift + 1);
            EXPECT_EQ(Offset(queue.GetHeadPtr(), buffer.data()), (2 * shift + 26) % capacity);
            if (shift % 2 == 0) {
                ASSERT_EQ(queue.dequeue_array(out.data(), shift + 1), 1);
                EXPECT_EQ(out, run);
            } else {
                ASSERT_EQ(queue.dequeue_array(shift + 1), 1);  // a skip moves like a read
            }
            EXPECT_EQ(queue.GetTailPtr(), queue.GetHeadPtr());
            EXPECT_EQ(queue.get_num_used(), 0u);
        }
    }
}

}  // namespace
