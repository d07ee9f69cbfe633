// Hex text <-> bytes for readable wire assertions: "C0 01 81 1E 83 C1".
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace snimac::test {

inline std::vector<uint8_t> Hex(const std::string& text) {
  std::vector<uint8_t> out;
  unsigned value = 0;
  int digits = 0;
  for (char c : text) {
    int d = -1;
    if (c >= '0' && c <= '9') d = c - '0';
    if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    if (d < 0) continue;
    value = value * 16 + static_cast<unsigned>(d);
    if (++digits == 2) {
      out.push_back(static_cast<uint8_t>(value));
      value = 0;
      digits = 0;
    }
  }
  return out;
}

inline std::string ToHex(const std::vector<uint8_t>& bytes) {
  std::string out;
  char buf[4];
  for (size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(buf, sizeof buf, i ? " %02X" : "%02X", bytes[i]);
    out += buf;
  }
  return out;
}

}  // namespace snimac::test
