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

 private:
  TStdioAttendanceFile(std::FILE* file, std::string path) : file_(file), path_(std::move(path)) {}

  std::FILE* file_;
  std::string path_;
};

}  // namespace snimac
