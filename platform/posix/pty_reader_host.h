// Puts a byte-level device model (e.g. the simulated reader sim::TSimReader)
// behind a pseudo-terminal, in real time: a program that opens the pty's
// slave path (the tty D2XX port with SNIMAC_DEVICES="<slave>|desc|serial",
// or any terminal program) talks to the model as to a reader on a serial line.
//
//   TPtyReaderHost host([&](uint8_t b) { reader.OnByte(b); },
//                       [&] { return reader.TakeOutput(); });
//   std::cout << host.SlavePath() << "\n";
//   host.Run();            // until host.Stop() (e.g. from a SIGINT handler)
//
// Bytes written to the slave side reach onByte as soon as they arrive, one
// call per byte. takeOutput is asked for bytes to send after every batch of
// input and at least every idleUs; what it returns is written to the slave
// side paced like the wire: the first byte processingUs after it was taken
// (or after the previous byte, if later), then one byte every byteUs.
// Both callbacks run only on the thread inside Run(), so the model needs no
// lock of its own.
//
// The host keeps its own descriptor of the slave side open, so that the pty
// stays configured (raw) and usable while no client has it open and between
// a client's close and reopen; output that nobody reads waits in the pty
// until a client opens it (the tty D2XX port discards it on open).
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace snimac {

struct TPtyTiming {
  int64_t byteUs = 1042;       // one byte at 9600 baud 8N1 (10 bits)
  int64_t processingUs = 2000; // from taking the output to its first byte
  int64_t idleUs = 5000;       // takeOutput is asked at least this often
};

class TPtyReaderHost {
 public:
  using TOnByte = std::function<void(uint8_t)>;
  using TTakeOutput = std::function<std::vector<uint8_t>()>;

  // Opens the pty pair (posix_openpt, grantpt, unlockpt, ptsname) and sets
  // it raw. Throws std::runtime_error when that fails.
  TPtyReaderHost(TOnByte onByte, TTakeOutput takeOutput, TPtyTiming timing = {});
  ~TPtyReaderHost();  // closes the pty; the owner stops Run() first

  TPtyReaderHost(const TPtyReaderHost&) = delete;
  TPtyReaderHost& operator=(const TPtyReaderHost&) = delete;

  // The slave side's path, e.g. /dev/pts/3.
  const std::string& SlavePath() const { return slavePath_; }

  // Runs the loop in the calling thread until Stop(). Throws
  // std::runtime_error on an unexpected I/O error of the pty.
  void Run();
  // Makes Run() return soon (at once if it waits). Safe from any thread and
  // from a signal handler (an atomic store and a write() to a pipe). A Stop()
  // before Run() makes that Run() return at once.
  void Stop();

 private:
  void ReadInput();
  void TakeOutput(int64_t nowUs);
  void WriteDue(int64_t nowUs);

  TOnByte onByte_;
  TTakeOutput takeOutput_;
  TPtyTiming timing_;
  int master_ = -1;
  int slave_ = -1;       // the host's own slave descriptor (see above)
  int wakeRead_ = -1;    // self-pipe for Stop()
  int wakeWrite_ = -1;
  std::string slavePath_;
  std::atomic<bool> stop_{false};

  struct TPending {
    uint8_t byte;
    int64_t dueUs;
  };
  std::deque<TPending> pending_;
  int64_t lastDueUs_ = 0;
};

}  // namespace snimac
