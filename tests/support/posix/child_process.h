// Runs a program of this build as a child process with its own environment,
// reading its stdout and stderr line by line, for end-to-end tests.
#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace snimac::test {

class TChildProcess {
 public:
  // Starts `argv[0]` with the current environment plus `env` (an empty value
  // unsets). Its stdin is /dev/null, or a terminal (a pty) the test can type
  // into with Type.
  enum class TInput { Null, Terminal };
  TChildProcess(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env = {},
                TInput input = TInput::Null);
  ~TChildProcess();  // kills the child if it still runs
  TChildProcess(const TChildProcess&) = delete;
  TChildProcess& operator=(const TChildProcess&) = delete;

  // The next line of stdout (or stderr), or nothing when none came in time or the stream ended.
  std::optional<std::string> ReadLine(std::chrono::milliseconds limit);
  std::optional<std::string> ReadErrorLine(std::chrono::milliseconds limit);
  // Reads stdout lines until one equals `line`; false when it did not come in time.
  bool WaitForLine(const std::string& line, std::chrono::milliseconds limit);
  void Signal(int signal);
  // Types `text` at the child's terminal (TInput::Terminal only).
  void Type(const std::string& text);
  // Waits for the exit; the exit status, or -1 on a signal death or time-out.
  int Wait(std::chrono::milliseconds limit);

  std::vector<std::string> seen;  // every stdout line read so far

 private:
  std::optional<std::string> ReadFrom(int fd, std::string& buffer, std::chrono::milliseconds limit);
  int pid_ = -1;
  int out_ = -1;
  int err_ = -1;
  int terminal_ = -1;  // the pty's master side
  std::string outBuffer_;
  std::string errBuffer_;
  int status_ = -2;
};

}  // namespace snimac::test
