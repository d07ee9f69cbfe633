// The flash memory of a simulated reader: erased bytes read 0xFF, erasing
// works on whole blocks, programming copies bytes (whether a page must be
// erased first is the loader's rule, not the memory's).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace snimac::sim {

class TSimFlash {
 public:
  // An erase block: addresses [begin, end).
  struct TBlock {
    uint32_t begin = 0;
    uint32_t end = 0;
  };

  // `size` bytes of "old firmware" (a fixed pattern, nowhere erased).
  TSimFlash(uint32_t size, std::vector<TBlock> blocks);

  uint32_t Size() const { return static_cast<uint32_t>(bytes_.size()); }
  const std::vector<uint8_t>& Bytes() const { return bytes_; }
  // The block numbered `n`, if there is one.
  std::optional<TBlock> Block(size_t n) const;
  // [address, address + count) lies in the flash.
  bool Contains(uint32_t address, size_t count) const;
  // [address, address + count) lies in the flash and reads all 0xFF.
  bool IsErased(uint32_t address, size_t count) const;

  // False for an unknown block.
  bool EraseBlock(size_t n);
  // False (nothing written) when the range does not lie in the flash.
  bool Program(uint32_t address, const uint8_t* bytes, size_t count);
  // Writes `text` and its terminating NUL.
  bool PutText(uint32_t address, const std::string& text);

  // The NUL-terminated printable text starting at `address`, if any.
  std::optional<std::string> TextAt(uint32_t address) const;
  // The first NUL-terminated printable text in [begin, end) that contains
  // `needle`, whole (from the first printable byte before it).
  std::optional<std::string> FindText(uint32_t begin, uint32_t end, const std::string& needle) const;

 private:
  std::vector<uint8_t> bytes_;
  std::vector<TBlock> blocks_;
};

}  // namespace snimac::sim
