#include "cards/attendance_file.h"

#include "link/utf8_file.h"

namespace snimac {

std::unique_ptr<TStdioAttendanceFile> TStdioAttendanceFile::Open(const std::string& path) {
  std::FILE* file = OpenFileUtf8(path, "ab");
  if (!file) return nullptr;
  std::setvbuf(file, nullptr, _IONBF, 0);
  return std::unique_ptr<TStdioAttendanceFile>(new TStdioAttendanceFile(file, path));
}

TStdioAttendanceFile::~TStdioAttendanceFile() { std::fclose(file_); }

bool TStdioAttendanceFile::Append(const std::string& line) {
  const std::string bytes = line + "\r\n";
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size()) return true;
  // The error flag is sticky; clear it so that a later attempt can succeed.
  std::clearerr(file_);
  return false;
}

bool TStdioAttendanceFile::Flush() {
  if (std::fflush(file_) == 0) return true;
  std::clearerr(file_);
  return false;
}

}  // namespace snimac
