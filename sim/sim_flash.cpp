#include "sim/sim_flash.h"

#include <algorithm>
#include <utility>

namespace snimac::sim {

namespace {

constexpr uint8_t kErased = 0xFF;
// A text longer than this is taken for data, not for a version text.
constexpr size_t kMaxText = 64;

bool Printable(uint8_t b) { return b >= 0x20 && b < 0x7F; }

// Stands for the program a reader shipped with: no run of it is erased and
// it holds no text, so a version text found later was written there.
uint8_t OldFirmwareByte(uint32_t address) { return static_cast<uint8_t>((address ^ 0xA5) & 0xFF); }

}  // namespace

TSimFlash::TSimFlash(uint32_t size, std::vector<TBlock> blocks) : bytes_(size), blocks_(std::move(blocks)) {
  for (uint32_t a = 0; a < size; ++a) bytes_[a] = OldFirmwareByte(a);
}

std::optional<TSimFlash::TBlock> TSimFlash::Block(size_t n) const {
  if (n >= blocks_.size()) return std::nullopt;
  return blocks_[n];
}

bool TSimFlash::Contains(uint32_t address, size_t count) const {
  return address <= bytes_.size() && count <= bytes_.size() - address;
}

bool TSimFlash::IsErased(uint32_t address, size_t count) const {
  if (!Contains(address, count)) return false;
  const auto from = bytes_.begin() + address;
  return std::all_of(from, from + static_cast<std::ptrdiff_t>(count), [](uint8_t b) { return b == kErased; });
}

bool TSimFlash::EraseBlock(size_t n) {
  const std::optional<TBlock> block = Block(n);
  if (!block) return false;
  std::fill(bytes_.begin() + block->begin, bytes_.begin() + block->end, kErased);
  return true;
}

bool TSimFlash::Program(uint32_t address, const uint8_t* bytes, size_t count) {
  if (!Contains(address, count)) return false;
  std::copy(bytes, bytes + count, bytes_.begin() + address);
  return true;
}

bool TSimFlash::PutText(uint32_t address, const std::string& text) {
  std::vector<uint8_t> z(text.begin(), text.end());
  z.push_back(0);
  return Program(address, z.data(), z.size());
}

std::optional<std::string> TSimFlash::TextAt(uint32_t address) const {
  std::string text;
  for (uint32_t a = address; a < bytes_.size() && text.size() <= kMaxText; ++a) {
    const uint8_t b = bytes_[a];
    if (b == 0) return text.empty() ? std::nullopt : std::optional<std::string>(text);
    if (!Printable(b)) return std::nullopt;
    text.push_back(static_cast<char>(b));
  }
  return std::nullopt;
}

std::optional<std::string> TSimFlash::FindText(uint32_t begin, uint32_t end, const std::string& needle) const {
  end = std::min<uint32_t>(end, Size());
  if (needle.empty() || begin >= end) return std::nullopt;
  const auto first = bytes_.begin() + begin;
  const auto last = bytes_.begin() + end;
  for (auto hit = std::search(first, last, needle.begin(), needle.end()); hit != last;
       hit = std::search(hit + 1, last, needle.begin(), needle.end())) {
    auto start = hit;
    while (start != first && Printable(*(start - 1))) --start;
    if (std::optional<std::string> text = TextAt(static_cast<uint32_t>(start - bytes_.begin()))) return text;
  }
  return std::nullopt;
}

}  // namespace snimac::sim
