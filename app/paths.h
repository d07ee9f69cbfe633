// Path helpers for file names built from settings and from the reader:
// the directory part of a path, directory creation and the link log's name.
#pragma once

#include <string>

namespace snimac {

// Windows: '\' separates, '/' is accepted as well, and a drive ends at ':'.
// Posix: '/' separates.
enum class TPathStyle { Windows, Posix };

TPathStyle NativePathStyle();
char Separator(TPathStyle style);

// The path up to its last separator (or drive colon on Windows), without the
// trailing separator except for a root ("/", "\", "c:\"); "" when the path
// has no directory part.
std::string DirectoryPart(const std::string& path, TPathStyle style);

// `dir` ending in a separator (one is appended when missing); `fallback`,
// unchanged, when `dir` is empty.
std::string WithTrailingSeparator(const std::string& dir, const std::string& fallback,
                                  TPathStyle style);

// Creates `dir` with all missing parents. True when the directory exists
// afterwards; false for an empty path or any failure. Never throws.
bool CreateDirectories(const std::string& dir);

// The serial number with every byte other than an ASCII letter, digit, '-'
// or '_' replaced by '_', so that it cannot leave or add path parts.
std::string SafeSerialForFileName(const std::string& serial);

// logDirWithSeparator + "grab-" + safe serial + ".log".
std::string LinkLogPath(const std::string& logDirWithSeparator, const std::string& serial);

}  // namespace snimac
