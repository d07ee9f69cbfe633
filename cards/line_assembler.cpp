#include "cards/line_assembler.h"

#include <cstdint>

namespace snimac {

namespace {

constexpr char kLineEnd[] = "\r\n";
constexpr size_t kLineEndSize = sizeof kLineEnd - 1;

// The line and its CR LF: anything this long without a line end is too long.
size_t Limit(size_t maxLength) {
  return maxLength > SIZE_MAX - kLineEndSize ? SIZE_MAX : maxLength + kLineEndSize;
}

}  // namespace

std::optional<TLineRead> TLineAssembler::Next(size_t maxLength) {
  const size_t end = received_.find(kLineEnd);
  if (end != std::string::npos) {
    if (end > maxLength) return TLineRead{TLineStatus::TooLong, {}};
    TLineRead read{TLineStatus::Line, received_.substr(0, end)};
    received_.erase(0, end + kLineEndSize);
    return read;
  }
  if (received_.size() >= Limit(maxLength)) return TLineRead{TLineStatus::TooLong, {}};
  return std::nullopt;
}

size_t TLineAssembler::Room(size_t maxLength) const {
  const size_t limit = Limit(maxLength);
  return received_.size() >= limit ? 0 : limit - received_.size();
}

void TLineAssembler::Add(const char* bytes, size_t count) { received_.append(bytes, count); }

}  // namespace snimac
