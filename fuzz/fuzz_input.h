// Reads typed values from a fuzz input; past the end everything reads 0.
#pragma once

#include <cstddef>
#include <cstdint>

class FuzzInput {
public:
    FuzzInput(const uint8_t *data, size_t size) : data_(data), size_(size) {}
    uint8_t u8() { return pos_ < size_ ? data_[pos_++] : 0; }
    int16_t i16() { return int16_t(uint16_t(u8()) | uint16_t(u8()) << 8); }
    uint32_t u32()
    {
        uint32_t v = u8();
        v |= uint32_t(u8()) << 8;
        v |= uint32_t(u8()) << 16;
        v |= uint32_t(u8()) << 24;
        return v;
    }
    size_t remaining() const { return size_ - pos_; }
    const uint8_t *rest() const { return data_ + pos_; }
    void skip(size_t n) { pos_ = n > remaining() ? size_ : pos_ + n; }

private:
    const uint8_t *data_;
    size_t size_;
    size_t pos_ = 0;
};
