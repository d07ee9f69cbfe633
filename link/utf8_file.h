// File names are UTF-8 in the core on every system. Windows' narrow file
// calls would read them in the ANSI code page instead, so a folder or user
// name with Czech letters would not be found; these helpers go through the
// wide names there.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

namespace snimac {

// The path of a UTF-8 file name. May throw (std::bad_alloc, or
// std::filesystem's error for bytes that are not UTF-8 on Windows).
std::filesystem::path Utf8Path(const std::string& utf8);

// std::fopen of a UTF-8 file name with the same `mode`; nullptr when the
// file cannot be opened or the name is not valid UTF-8 (on Windows).
std::FILE* OpenFileUtf8(const std::string& path, const char* mode);

// Opens a file of the program's own (a log) for appending in text mode,
// creating it when missing. Refuses (nullptr) anything already there that is
// not a plain file: a symlink or a FIFO planted in a shared folder must not
// redirect the writes or block the open. Not inherited by child processes.
std::FILE* OpenOwnFileForAppendUtf8(const std::string& path);

}  // namespace snimac
