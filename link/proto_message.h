// One application message, moved between the link and the windows by owning
// pointer: whoever holds it owns it.
#pragma once

#include <cstdint>
#include <memory>

namespace snimac {

struct TProtoMessage {
  TProtoMessage(const uint8_t* bytes, int count, bool endsBurst)
      : Length(count), Data(new uint8_t[count > 0 ? count : 1]), EndsBurst(endsBurst) {
    for (int i = 0; i < count; ++i) Data[i] = bytes[i];
  }

  int Length;
  std::unique_ptr<uint8_t[]> Data;
  // The link sends no further new packet after this one in the same poll turn.
  bool EndsBurst;
};

using TProtoMessagePtr = std::unique_ptr<TProtoMessage>;

}  // namespace snimac
