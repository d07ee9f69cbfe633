// The attendance file: the local record of every read the server did not
// confirm. Lines end with CR LF on every platform; the file is only ever
// appended to.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <utility>

namespace snimac {

class TAttendanceFile {
 public:
  virtual ~TAttendanceFile() = default;
  // Appends `line` and CR LF; false when it could not be written.
  virtual bool Append(const std::string& line) = 0;
  // True when every line that Append accepted since the last Flush has
  // reached the file (a line it refused is not vouched for).
  virtual bool Flush() = 0;
  // The path, for messages.
  virtual const std::string& Name() const = 0;
};

// A file stream opened for appending in binary mode, so that the bytes are
// written as given (CR LF stays CR LF). Unbuffered: each line goes to the
// system in one write, so a failed write never takes earlier lines with it.
// A line is written whole or not at all: after a short write (a full disk)
// the file is cut back to its length before, so that the retry of the record
// does not follow half a line. Should even that fail, the next line starts
// with CR LF, so the fragment stays a line of its own.
class TStdioAttendanceFile : public TAttendanceFile {
 public:
  // nullptr when the file cannot be opened (or created).
  static std::unique_ptr<TStdioAttendanceFile> Open(const std::string& path);
  ~TStdioAttendanceFile() override;
  TStdioAttendanceFile(const TStdioAttendanceFile&) = delete;
  TStdioAttendanceFile& operator=(const TStdioAttendanceFile&) = delete;

  bool Append(const std::string& line) override;
  bool Flush() override;
  const std::string& Name() const override { return path_; }

 protected:
  TStdioAttendanceFile(std::FILE* file, std::string path) : file_(file), path_(std::move(path)) {}
  // The one write of a line's bytes; returns how many were written.
  virtual size_t WriteBytes(const char* bytes, size_t count);

 private:
  bool WriteWhole(const std::string& bytes);

  std::FILE* file_;
  std::string path_;
  bool fragmentAtEnd_ = false;  // a short write could not be rolled back
};

}  // namespace snimac
