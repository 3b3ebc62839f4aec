#include "xqova/message/byte_queue.h"

#include <cstring>

uint8QManager::uint8QManager(unsigned char* buffer, std::uint32_t capacity, unsigned char full)
    : start_(buffer),
      end_(buffer == nullptr ? buffer : buffer + capacity),
      head_(buffer),
      tail_(buffer),
      capacity_(buffer == nullptr ? 0 : capacity),
      used_(buffer != nullptr && full != 0 ? capacity : 0) {}

void uint8QManager::PutByte(unsigned char value) {
    *head_ = value;
    if (++head_ == end_) head_ = start_;
    ++used_;
}

unsigned char uint8QManager::GetByte() {
    const unsigned char value = *tail_;
    if (++tail_ == end_) tail_ = start_;
    --used_;
    return value;
}

void uint8QManager::PutBigEndian(std::uint64_t value, unsigned width) {
    for (unsigned i = width; i-- > 0;) PutByte(static_cast<unsigned char>(value >> (8 * i)));
}

std::uint64_t uint8QManager::GetBigEndian(unsigned width) {
    std::uint64_t value = 0;
    for (unsigned i = 0; i < width; ++i) value = (value << 8) | GetByte();
    return value;
}

unsigned char uint8QManager::put(unsigned char value) {
    if (used_ == capacity_) return 0;
    PutByte(value);
    return 1;
}

unsigned char uint8QManager::put(signed char value) { return put(static_cast<unsigned char>(value)); }

unsigned char uint8QManager::enqueue(unsigned char value) { return put(value); }

unsigned char uint8QManager::get(unsigned char* value) {
    if (used_ == 0) return 0;
    *value = GetByte();
    return 1;
}

unsigned char uint8QManager::get(signed char* value) {
    unsigned char byte;
    if (get(&byte) == 0) return 0;
    *value = static_cast<signed char>(byte);
    return 1;
}

unsigned char uint8QManager::dequeue(unsigned char* value) { return get(value); }

unsigned char uint8QManager::put(std::uint16_t value) {
    if (get_num_free() < 2) return 0;
    PutBigEndian(value, 2);
    return 1;
}

unsigned char uint8QManager::put(std::int16_t value) { return put(static_cast<std::uint16_t>(value)); }

unsigned char uint8QManager::get(std::uint16_t* value) {
    if (used_ < 2) return 0;
    *value = static_cast<std::uint16_t>(GetBigEndian(2));
    return 1;
}

unsigned char uint8QManager::get(std::int16_t* value) {
    std::uint16_t bits;
    if (get(&bits) == 0) return 0;
    *value = static_cast<std::int16_t>(bits);
    return 1;
}

unsigned char uint8QManager::put(std::uint32_t value) {
    if (get_num_free() < 4) return 0;
    PutBigEndian(value, 4);
    return 1;
}

unsigned char uint8QManager::put(std::int32_t value) { return put(static_cast<std::uint32_t>(value)); }

unsigned char uint8QManager::get(std::uint32_t* value) {
    if (used_ < 4) return 0;
    *value = static_cast<std::uint32_t>(GetBigEndian(4));
    return 1;
}

unsigned char uint8QManager::get(std::int32_t* value) {
    std::uint32_t bits;
    if (get(&bits) == 0) return 0;
    *value = static_cast<std::int32_t>(bits);
    return 1;
}

unsigned char uint8QManager::put(float value) {
    static_assert(sizeof(float) == 4, "IEEE 754 single precision");
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return put(bits);
}

unsigned char uint8QManager::get(float* value) {
    std::uint32_t bits;
    if (get(&bits) == 0) return 0;
    std::memcpy(value, &bits, sizeof bits);
    return 1;
}

unsigned char uint8QManager::put(double value) {
    static_assert(sizeof(double) == 8, "IEEE 754 double precision");
    if (get_num_free() < 8) return 0;
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    PutBigEndian(bits, 8);
    return 1;
}

unsigned char uint8QManager::get(double* value) {
    if (used_ < 8) return 0;
    const std::uint64_t bits = GetBigEndian(8);
    std::memcpy(value, &bits, sizeof bits);
    return 1;
}

unsigned char uint8QManager::enqueue_array(const unsigned char* source, std::uint32_t count) {
    if (get_num_free() < count) return 0;
    if (count == 0) return 1;
    const std::uint32_t toEnd = static_cast<std::uint32_t>(end_ - head_);
    if (count >= toEnd) {
        std::memcpy(head_, source, toEnd);
        std::memcpy(start_, source + toEnd, count - toEnd);
        head_ = start_ + (count - toEnd);
    } else {
        std::memcpy(head_, source, count);
        head_ += count;
    }
    used_ += count;
    return 1;
}

unsigned char uint8QManager::dequeue_array(unsigned char* target, std::uint32_t count) {
    if (used_ < count) return 0;
    if (count == 0) return 1;
    const std::uint32_t toEnd = static_cast<std::uint32_t>(end_ - tail_);
    if (count >= toEnd) {
        std::memcpy(target, tail_, toEnd);
        std::memcpy(target + toEnd, start_, count - toEnd);
        tail_ = start_ + (count - toEnd);
    } else {
        std::memcpy(target, tail_, count);
        tail_ += count;
    }
    used_ -= count;
    return 1;
}

unsigned char uint8QManager::dequeue_array(std::uint32_t count) {
    if (used_ < count) return 0;
    if (count == 0) return 1;
    const std::uint32_t toEnd = static_cast<std::uint32_t>(end_ - tail_);
    tail_ = count >= toEnd ? start_ + (count - toEnd) : tail_ + count;
    used_ -= count;
    return 1;
}

std::uint32_t uint8QManager::get_num_contiguous() const {
    const std::uint32_t toEnd = static_cast<std::uint32_t>(end_ - tail_);
    return used_ < toEnd ? used_ : toEnd;
}
