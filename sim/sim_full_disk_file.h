// The attendance file on a disk that can fill up: the real file on disk
// (TStdioAttendanceFile, with its own rollback of a partial line), whose
// writes take only as many bytes as the disk still has room for while it is
// full, as a full file system does: a short write, then nothing at all,
// until room is made again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "cards/attendance_file.h"

namespace snimac::sim {

class TSimFullDiskFile : public TStdioAttendanceFile {
 public:
  // nullptr when the file cannot be opened (or created).
  static std::unique_ptr<TSimFullDiskFile> Open(const std::string& path);

  // The disk fills up: only `roomBytes` more bytes fit until Free.
  void Fill(size_t roomBytes);
  void Free() { full_ = false; }
  bool Full() const { return full_; }
  uint64_t ShortWrites() const { return shortWrites_; }
  uint64_t RefusedWrites() const { return refusedWrites_; }

 protected:
  size_t WriteBytes(const char* bytes, size_t count) override;

 private:
  TSimFullDiskFile(std::FILE* file, const std::string& path) : TStdioAttendanceFile(file, path) {}

  bool full_ = false;
  size_t room_ = 0;
  uint64_t shortWrites_ = 0;
  uint64_t refusedWrites_ = 0;
};

}  // namespace snimac::sim
