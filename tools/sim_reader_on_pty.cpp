// snimac-sim-reader: a simulated reader on a pseudo-terminal, so that the
// program can talk to it as to a real serial device:
//   snimac-sim-reader [--version TEXT] [--identity HEX]
// prints the pty's path on its first line, then serves until SIGINT/SIGTERM.
//   SNIMAC_DEVICES="<path>|Reader|A1B2" snimac-headless -log
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <mutex>
#include <string>

#include "platform/posix/pty_reader_host.h"
#include "sim/sim_reader.h"

namespace {
snimac::TPtyReaderHost* g_host = nullptr;
extern "C" void StopOnSignal(int) {
  if (g_host) g_host->Stop();
}
}  // namespace

int main(int argc, char** argv) {
  snimac::sim::TSimReaderConfig config;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--version") == 0) {
      config.version = argv[i + 1];
    } else if (std::strcmp(argv[i], "--identity") == 0) {
      config.identity = static_cast<uint32_t>(std::strtoul(argv[i + 1], nullptr, 16));
    } else {
      std::fprintf(stderr, "usage: %s [--version TEXT] [--identity HEX]\n", argv[0]);
      return 2;
    }
  }
  try {
    snimac::sim::TSimReader reader(config);
    snimac::TPtyReaderHost host([&reader](uint8_t b) { reader.OnByte(b); }, [&reader] { return reader.TakeOutput(); });
    g_host = &host;
    std::signal(SIGINT, StopOnSignal);
    std::signal(SIGTERM, StopOnSignal);
    std::printf("%s\n", host.SlavePath().c_str());
    std::fflush(stdout);
    host.Run();
    g_host = nullptr;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "snimac-sim-reader: %s\n", e.what());
    return 1;
  }
  return 0;
}
