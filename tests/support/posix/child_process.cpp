#include "tests/support/posix/child_process.h"

#include <fcntl.h>
#include <stdlib.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

extern char** environ;

namespace snimac::test {

TChildProcess::TChildProcess(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
                             TInput input) {
  int outPipe[2], errPipe[2];
  if (pipe(outPipe) != 0 || pipe(errPipe) != 0) throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
  posix_spawn_file_actions_addclose(&actions, outPipe[0]);
  posix_spawn_file_actions_addclose(&actions, errPipe[0]);
  std::string terminalPath = "/dev/null";
  if (input == TInput::Terminal) {
    terminal_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (terminal_ < 0 || grantpt(terminal_) != 0 || unlockpt(terminal_) != 0) throw std::runtime_error("no pty");
    terminalPath = ptsname(terminal_);
  }
  posix_spawn_file_actions_addopen(&actions, 0, terminalPath.c_str(), O_RDWR | O_NOCTTY, 0);

  std::map<std::string, std::string> merged;
  for (char** e = environ; *e; ++e) {
    const std::string kv = *e;
    const auto eq = kv.find('=');
    if (eq != std::string::npos) merged[kv.substr(0, eq)] = kv.substr(eq + 1);
  }
  for (const auto& [k, v] : env) {
    if (v.empty()) {
      merged.erase(k);
    } else {
      merged[k] = v;
    }
  }
  std::vector<std::string> envText;
  for (const auto& [k, v] : merged) envText.push_back(k + "=" + v);
  std::vector<char*> envp, args;
  for (auto& s : envText) envp.push_back(s.data());
  envp.push_back(nullptr);
  std::vector<std::string> argCopy = argv;
  for (auto& s : argCopy) args.push_back(s.data());
  args.push_back(nullptr);

  // The child gets default signal handling and an empty mask.
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &all);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  const int rc = posix_spawn(&pid_, args[0], &actions, &attr, args.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  close(outPipe[1]);
  close(errPipe[1]);
  out_ = outPipe[0];
  err_ = errPipe[0];
  if (rc != 0) throw std::runtime_error(std::string("cannot start ") + argv[0] + ": " + std::strerror(rc));
}

TChildProcess::~TChildProcess() {
  if (status_ == -2 && pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  close(out_);
  close(err_);
  if (terminal_ >= 0) close(terminal_);
}

void TChildProcess::Type(const std::string& text) {
  if (terminal_ >= 0 && write(terminal_, text.data(), text.size()) < 0) throw std::runtime_error("cannot type");
}

std::optional<std::string> TChildProcess::ReadFrom(int fd, std::string& buffer, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  for (;;) {
    const auto nl = buffer.find('\n');
    if (nl != std::string::npos) {
      std::string line = buffer.substr(0, nl);
      buffer.erase(0, nl + 1);
      return line;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    if (left.count() <= 0) return std::nullopt;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
    char chunk[512];
    const ssize_t n = read(fd, chunk, sizeof chunk);
    if (n <= 0) return std::nullopt;
    buffer.append(chunk, static_cast<size_t>(n));
  }
}

std::optional<std::string> TChildProcess::ReadLine(std::chrono::milliseconds limit) {
  auto line = ReadFrom(out_, outBuffer_, limit);
  if (line) seen.push_back(*line);
  return line;
}

std::optional<std::string> TChildProcess::ReadErrorLine(std::chrono::milliseconds limit) {
  return ReadFrom(err_, errBuffer_, limit);
}

bool TChildProcess::WaitForLine(const std::string& wanted, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    auto line = ReadLine(left);
    if (!line) return false;
    if (*line == wanted) return true;
  }
}

void TChildProcess::Signal(int signal) { kill(pid_, signal); }

int TChildProcess::Wait(std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  for (;;) {
    int status = 0;
    const pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
      status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      return status_;
    }
    if (std::chrono::steady_clock::now() > end) return -1;
    usleep(10000);
  }
}

}  // namespace snimac::test
