#include "cards/attendance_file.h"

#include <filesystem>
#include <system_error>

#include "link/utf8_file.h"

namespace snimac {

std::unique_ptr<TStdioAttendanceFile> TStdioAttendanceFile::Open(const std::string& path) {
  std::FILE* file = OpenFileUtf8(path, "ab");
  if (!file) return nullptr;
  std::setvbuf(file, nullptr, _IONBF, 0);
  return std::unique_ptr<TStdioAttendanceFile>(new TStdioAttendanceFile(file, path));
}

TStdioAttendanceFile::~TStdioAttendanceFile() { std::fclose(file_); }

size_t TStdioAttendanceFile::WriteBytes(const char* bytes, size_t count) {
  return std::fwrite(bytes, 1, count, file_);
}

bool TStdioAttendanceFile::Append(const std::string& line) {
  if (fragmentAtEnd_) {
    if (!WriteWhole("\r\n")) return false;
    fragmentAtEnd_ = false;
  }
  return WriteWhole(line + "\r\n");
}

bool TStdioAttendanceFile::WriteWhole(const std::string& bytes) {
  std::error_code error;
  const std::filesystem::path path = Utf8Path(path_);
  const std::uintmax_t before = std::filesystem::file_size(path, error);
  const bool sizeKnown = !error;
  const size_t written = WriteBytes(bytes.data(), bytes.size());
  if (written == bytes.size()) return true;
  // The error flag is sticky; clear it so that a later attempt can succeed.
  std::clearerr(file_);
  if (written > 0) {
    if (sizeKnown) std::filesystem::resize_file(path, before, error);
    if (!sizeKnown || error) fragmentAtEnd_ = true;
  }
  return false;
}

bool TStdioAttendanceFile::Flush() {
  if (std::fflush(file_) == 0) return true;
  std::clearerr(file_);
  return false;
}

}  // namespace snimac
