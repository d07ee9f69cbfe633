// The fuzzer's bytes read as a harness's instructions: every read is defined
// however short the input is (an exhausted input reads as zeros), so each
// harness can take what it needs without checking the length first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace snimac::fuzz {

class TFuzzInput {
 public:
  TFuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool Empty() const { return pos_ >= size_; }
  size_t Remaining() const { return size_ - pos_; }

  uint8_t Byte() { return Empty() ? 0 : data_[pos_++]; }
  // At most `count` bytes: fewer when the input ends first.
  std::vector<uint8_t> Bytes(size_t count) {
    const size_t n = count < Remaining() ? count : Remaining();
    std::vector<uint8_t> out(data_ + pos_, data_ + pos_ + n);
    pos_ += n;
    return out;
  }
  // A length byte, then that many bytes.
  std::vector<uint8_t> Chunk() { return Bytes(Byte()); }
  std::string Text(size_t count) {
    const std::vector<uint8_t> b = Bytes(count);
    return std::string(b.begin(), b.end());
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

}  // namespace snimac::fuzz
