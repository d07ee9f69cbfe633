#include "app/paths.h"

#include <filesystem>
#include <system_error>

#include "link/utf8_file.h"

namespace snimac {

namespace {

bool IsSeparator(char c, TPathStyle style) {
  return c == '/' || (style == TPathStyle::Windows && c == '\\');
}

bool IsDirectoryEnd(char c, TPathStyle style) {
  return IsSeparator(c, style) || (style == TPathStyle::Windows && c == ':');
}

bool IsFileNameSafe(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_';
}

}  // namespace

TPathStyle NativePathStyle() {
#ifdef _WIN32
  return TPathStyle::Windows;
#else
  return TPathStyle::Posix;
#endif
}

char Separator(TPathStyle style) { return style == TPathStyle::Windows ? '\\' : '/'; }

std::string DirectoryPart(const std::string& path, TPathStyle style) {
  size_t end = path.size();
  while (end > 0 && !IsDirectoryEnd(path[end - 1], style)) --end;
  if (end == 0) return "";  // a bare file name
  if (!IsSeparator(path[end - 1], style)) return path.substr(0, end);  // "d:x.db" -> "d:"
  // Drop the run of separators before the file name, but keep one when the
  // run is a root: at the start of the path or right after a drive colon.
  size_t runStart = end - 1;
  while (runStart > 0 && IsSeparator(path[runStart - 1], style)) --runStart;
  const bool isRoot = runStart == 0 || (style == TPathStyle::Windows && path[runStart - 1] == ':');
  return path.substr(0, isRoot ? runStart + 1 : runStart);
}

std::string WithTrailingSeparator(const std::string& dir, const std::string& fallback,
                                  TPathStyle style) {
  if (dir.empty()) return fallback;
  if (IsSeparator(dir.back(), style)) return dir;
  return dir + Separator(style);
}

bool CreateDirectories(const std::string& dir) {
  if (dir.empty()) return false;
  try {
    std::error_code error;
    const std::filesystem::path path = Utf8Path(dir);
    std::filesystem::create_directories(path, error);
    // Decide by what is on disk: an already existing directory is success,
    // anything else in the way (a file) is failure.
    return std::filesystem::is_directory(path, error);
  } catch (...) {
    // Building the path object may allocate; any failure is just "not created".
    return false;
  }
}

std::string SafeSerialForFileName(const std::string& serial) {
  std::string safe = serial;
  for (char& c : safe) {
    if (!IsFileNameSafe(c)) c = '_';
  }
  return safe;
}

std::string LinkLogPath(const std::string& logDirWithSeparator, const std::string& serial) {
  return logDirWithSeparator + "grab-" + SafeSerialForFileName(serial) + ".log";
}

}  // namespace snimac
