// A D2XX port whose reads deliver a fixed byte stream, a few bytes at a time
// as a converter does, and then time out. Writes are accepted and kept, so a
// harness can check what the link put on the wire.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "link/clock.h"
#include "link/d2xx.h"

namespace snimac::fuzz {

class TStreamD2xx : public TD2xx {
 public:
  explicit TStreamD2xx(TClock& clock) : clock_(clock) {}

  void SetStream(const uint8_t* bytes, size_t count) {
    stream_ = bytes;
    size_ = count;
    pos_ = 0;
  }
  size_t Consumed() const { return pos_; }
  bool Exhausted() const { return pos_ >= size_; }
  const std::vector<uint8_t>& Written() const { return written_; }

  FT_STATUS ListDevices(void*, void*, uint32_t) override { return FT_DEVICE_NOT_FOUND; }
  FT_STATUS OpenEx(void*, uint32_t, FT_HANDLE* handle) override {
    *handle = this;
    return FT_OK;
  }
  FT_STATUS SetBaudRate(FT_HANDLE, uint32_t) override { return FT_OK; }
  FT_STATUS SetDataCharacteristics(FT_HANDLE, uint8_t, uint8_t, uint8_t) override { return FT_OK; }
  FT_STATUS SetFlowControl(FT_HANDLE, uint16_t, uint8_t, uint8_t) override { return FT_OK; }
  FT_STATUS SetTimeouts(FT_HANDLE, uint32_t readMs, uint32_t) override {
    readTimeoutMs_ = readMs;
    return FT_OK;
  }
  FT_STATUS SetLatencyTimer(FT_HANDLE, uint8_t) override { return FT_OK; }
  FT_STATUS Write(FT_HANDLE, const void* buffer, uint32_t count, uint32_t* written) override {
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    written_.insert(written_.end(), bytes, bytes + count);
    *written = count;
    return FT_OK;
  }
  FT_STATUS Read(FT_HANDLE, void* buffer, uint32_t count, uint32_t* received) override {
    auto* out = static_cast<uint8_t*>(buffer);
    uint32_t n = 0;
    while (n < count && pos_ < size_) out[n++] = stream_[pos_++];
    if (n == 0) clock_.SleepMs(readTimeoutMs_);  // the driver waits out the time-out
    *received = n;
    return FT_OK;
  }
  FT_STATUS Close(FT_HANDLE) override { return FT_OK; }

 private:
  TClock& clock_;
  const uint8_t* stream_ = nullptr;
  size_t size_ = 0;
  size_t pos_ = 0;
  uint32_t readTimeoutMs_ = 0;
  std::vector<uint8_t> written_;
};

}  // namespace snimac::fuzz
