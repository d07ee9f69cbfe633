#include "link/utf8_file.h"

namespace snimac {

std::filesystem::path Utf8Path(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::FILE* OpenFileUtf8(const std::string& path, const char* mode) {
#ifdef _WIN32
  try {
    const std::filesystem::path name = Utf8Path(path);
    // The mode is ASCII ("a", "ab", "at+"): widened letter by letter.
    std::wstring wideMode;
    for (const char* m = mode; *m; ++m) wideMode += static_cast<wchar_t>(static_cast<unsigned char>(*m));
    return _wfopen(name.c_str(), wideMode.c_str());
  } catch (...) {
    return nullptr;
  }
#else
  return std::fopen(path.c_str(), mode);
#endif
}

}  // namespace snimac

namespace snimac {

std::FILE* OpenOwnFileForAppendUtf8(const std::string& path) {
  try {
    std::error_code error;
    const std::filesystem::file_type type = std::filesystem::symlink_status(Utf8Path(path), error).type();
    if (type != std::filesystem::file_type::regular && type != std::filesystem::file_type::not_found) return nullptr;
  } catch (...) {
    return nullptr;
  }
#ifdef _WIN32
  return OpenFileUtf8(path, "a");
#else
  return OpenFileUtf8(path, "ae");  // "e": close on exec
#endif
}

}  // namespace snimac
