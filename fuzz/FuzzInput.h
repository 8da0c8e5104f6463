// Takes a fuzz input apart front to back: single bytes, little-endian words
// and runs of bytes. Past the end every read gives zeros and empty runs, so a
// target never reads outside the input.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

class FuzzInput {
  public:
    FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool Empty() const { return at_ >= size_; }
    size_t Left() const { return size_ - at_; }

    uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    uint16_t Word() {
        uint16_t low = Byte();
        return static_cast<uint16_t>(low | (Byte() << 8));
    }
    // At most n bytes, fewer at the end of the input.
    std::vector<uint8_t> Bytes(size_t n) {
        if (n > Left())
            n = Left();
        std::vector<uint8_t> out(data_ + at_, data_ + at_ + n);
        at_ += n;
        return out;
    }
    std::vector<uint8_t> Rest() { return Bytes(Left()); }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};
