#include "sim/sim_full_disk_file.h"

#include <algorithm>

#include "link/utf8_file.h"

namespace snimac::sim {

std::unique_ptr<TSimFullDiskFile> TSimFullDiskFile::Open(const std::string& path) {
  std::FILE* file = OpenFileUtf8(path, "ab");
  if (!file) return nullptr;
  std::setvbuf(file, nullptr, _IONBF, 0);  // as the program's own file: one write per line
  return std::unique_ptr<TSimFullDiskFile>(new TSimFullDiskFile(file, path));
}

void TSimFullDiskFile::Fill(size_t roomBytes) {
  full_ = true;
  room_ = roomBytes;
}

size_t TSimFullDiskFile::WriteBytes(const char* bytes, size_t count) {
  if (!full_) return TStdioAttendanceFile::WriteBytes(bytes, count);
  const size_t taken = std::min(count, room_);
  if (taken == 0) {
    ++refusedWrites_;
    return 0;
  }
  room_ -= taken;
  if (taken < count) ++shortWrites_;
  return TStdioAttendanceFile::WriteBytes(bytes, taken);
}

}  // namespace snimac::sim
