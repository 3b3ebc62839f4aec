// A ring queue of bytes over a buffer that the caller owns.
//
// The fixed-layout messages write their frames through it and read them back.
// Multi-byte values travel most significant byte first. The queue never
// allocates and never frees the buffer; it only keeps positions into it.
//
// Every put, get, enqueue and dequeue returns 1 when done and 0 when refused.
// A refused operation changes nothing: no byte moves and every position keeps
// its value. The space test is made once, before the first byte moves, and a
// get stores into its target only when it succeeds.
//
// Copies (construction and assignment) copy the positions as they stand: the
// copy works on the same buffer, and each then keeps its own positions. A copy
// is therefore a cheap way to look ahead without consuming.
#ifndef XQOVA_MESSAGE_BYTE_QUEUE_H
#define XQOVA_MESSAGE_BYTE_QUEUE_H

#include <cstdint>

#include "xqova/core/export.h"

class XQOVA_API uint8QManager {
public:
    // Lays the queue over `capacity` bytes at `buffer`. With `full` non-zero
    // the buffer's present contents are there to be read, from buffer[0] on;
    // otherwise the queue is empty and writes from buffer[0] on. A null buffer
    // gives a queue of capacity 0 that refuses everything. The buffer must
    // stay valid, and `capacity` bytes long, while the queue is used.
    uint8QManager(unsigned char* buffer, std::uint32_t capacity, unsigned char full);

    unsigned char put(unsigned char value);
    unsigned char put(signed char value);
    unsigned char enqueue(unsigned char value);
    unsigned char get(unsigned char* value);
    unsigned char get(signed char* value);
    unsigned char dequeue(unsigned char* value);

    unsigned char put(std::uint16_t value);
    unsigned char put(std::int16_t value);
    unsigned char get(std::uint16_t* value);
    unsigned char get(std::int16_t* value);

    unsigned char put(std::uint32_t value);
    unsigned char put(std::int32_t value);
    unsigned char get(std::uint32_t* value);
    unsigned char get(std::int32_t* value);

    // IEEE 754 bit patterns, most significant byte (sign, high exponent) first.
    unsigned char put(float value);
    unsigned char get(float* value);
    unsigned char put(double value);
    unsigned char get(double* value);

    // Runs of bytes: at most two contiguous copies each. The source and the
    // target must hold `count` bytes.
    unsigned char enqueue_array(const unsigned char* source, std::uint32_t count);
    unsigned char dequeue_array(unsigned char* target, std::uint32_t count);
    // Skips `count` bytes without copying them.
    unsigned char dequeue_array(std::uint32_t count);

    std::uint32_t get_num_elements() const { return capacity_; }
    std::uint32_t get_num_free() const { return capacity_ - used_; }
    std::uint32_t get_num_used() const { return used_; }
    void* GetHeadPtr() const { return head_; }
    void* GetTailPtr() const { return tail_; }

    // Bytes that can be read from GetTailPtr() on before the buffer's end:
    // the part of the queued bytes that lies in one piece. Frame walkers use
    // it to look at queued bytes in place without stepping outside them.
    std::uint32_t get_num_contiguous() const;

private:
    void PutByte(unsigned char value);
    unsigned char GetByte();
    void PutBigEndian(std::uint64_t value, unsigned width);
    std::uint64_t GetBigEndian(unsigned width);

    unsigned char* start_;
    unsigned char* end_;
    unsigned char* head_;
    unsigned char* tail_;
    std::uint32_t capacity_;
    std::uint32_t used_;
};

#endif
