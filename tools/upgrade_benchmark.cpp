// snimac-upgrade-bench: how long a firmware upgrade takes on the simulated
// wire (9600 baud 8N1, the simulated loader's flash times), for both reader
// families, at the converter's own 16 ms latency timer and at the link's
// default, next to the floor of the wire protocol. Runs on a virtual clock:
// the figures are the same on every machine and run.
//
//   snimac-upgrade-bench [--latency MS]   (one latency timer, 1..255 ms)
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/main_frm.h"
#include "link/packet.h"
#include "resources/firmware_image.h"
#include "sim/sim_d2xx.h"
#include "sim/virtual_clock.h"
#include "upgrade/loader_commands.h"
#include "upgrade/page_walk.h"
#include "upgrade/upgrade_texts.h"
#include "tools/bench_view.h"

namespace {

using namespace snimac;

constexpr double kByteUs = 10.0 * 1e6 / 9600.0;

int FrameBytes(const TProtoMessage& m) {
  TRawPacket p;
  BuildData(p, 1, 0, 0, m.Data.get(), m.Length);
  uint8_t out[kFrameBufferSize];
  return EncodeFrame(p, out);
}

// The floor: per page, its 16 data chunks, the unlock and the page write, one
// token, the loader's result and its token, back to back on the wire, plus one
// converter latency and the flash time; no poll turn waits at all.
double FloorUs(const TFirmwareImage& image, bool avr, int skipFrom, int64_t writeUs, int64_t latencyUs) {
  double total = 0;
  for (size_t offset = 0; offset < image.size; offset = NextPageOffset(offset, avr, skipFrom)) {
    const TPage page = PageAt(image, offset);
    int bytes = 0;
    for (int chunk = 0; chunk < 16; ++chunk) bytes += FrameBytes(*BuildPageData(static_cast<uint8_t>(chunk * 8), page.bytes + chunk * 8, 8));
    bytes += FrameBytes(*BuildUnlock(false));
    bytes += FrameBytes(*BuildPageWrite(static_cast<uint16_t>(offset), page.bytes));
    bytes += 2;                       // the master's token
    bytes += 10 + 2;                  // the loader result (87 idx idx r) and the reader's token
    total += bytes * kByteUs + static_cast<double>(latencyUs + writeUs);
  }
  return total;
}

struct TResult {
  double seconds = 0;
  uint64_t turns = 0;
  size_t pages = 0;
  double floorSeconds = 0;
  bool ok = false;
};

TResult Run(sim::TSimReaderFamily family, const std::string& oldVersion, uint8_t latencyMs) {
  sim::TVirtualClock clock;
  sim::TSimD2xx bus(clock);
  sim::TSimReaderConfig config;
  config.version = oldVersion;
  config.loader.family = family;
  sim::TSimReader& reader = bus.AddDevice("Reader", "BENCH", config);
  bench::TBenchView ui(clock);
  const TPlatformServices platform = bench::BenchPlatform(bus, clock, latencyMs);
  TMainFrm frm(ui, platform);
  bench::DriveByHand(ui, frm);
  int64_t consentAtUs = 0;
  uint64_t turnsAtConsent = 0;
  bool completed = false;
  ui.onMessageBox = [&](const std::string& text, TMessageButtons buttons) {
    if (text == upgrade_texts::kDone) completed = true;
    if (buttons != TMessageButtons::OkCancel) return;  // the consent to write the reader
    consentAtUs = clock.NowUs();
    turnsAtConsent = reader.Stats().tokensReceived;
  };
  frm.StartUp({});
  while (!completed && clock.NowMs() < 60LL * 60 * 1000) ui.step();
  TResult r;
  r.ok = completed;
  r.seconds = static_cast<double>(clock.NowUs() - consentAtUs) / 1e6;
  r.turns = reader.Stats().tokensReceived - turnsAtConsent;
  r.pages = reader.PagesWritten().size();
  const bool avr = family == sim::TSimReaderFamily::Avr;
  const TFirmwareImage image = FindFirmwareImage(avr ? "MXTA" : "MXT_HI");
  r.floorSeconds = FloorUs(image, avr, avr ? 16874 : 0, config.loader.pageWriteUs, int64_t{latencyMs} * 1000) / 1e6;
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<uint8_t> latencies = {kConverterDefaultLatencyMs, TProtocol::kDefaultLatencyMs};
  if (argc == 3 && std::string(argv[1]) == "--latency" && std::atoi(argv[2]) >= 1 && std::atoi(argv[2]) <= 255) {
    latencies = {static_cast<uint8_t>(std::atoi(argv[2]))};
  } else if (argc != 1) {
    std::fprintf(stderr, "usage: %s [--latency MS]   (1..255; both 16 and 2 when not given)\n", argv[0]);
    return 2;
  }
  std::printf("Firmware upgrade on the simulated wire: 9600 baud 8N1 (1042 us a byte), the converter's\n"
              "latency timer as given, reader processing 2 ms, loader flash times: page write 10 ms,\n"
              "block erase 50 ms, H8 restart 1.5 s. Virtual clock; from the user's consent to the\n"
              "completion message.\n\n");
  std::printf("%-6s %8s %6s %10s %11s %12s %8s\n", "reader", "latency", "pages", "duration", "poll turns", "wire floor",
              "ratio");
  const struct {
    const char* name;
    sim::TSimReaderFamily family;
    const char* version;
  } runs[] = {{"H8", sim::TSimReaderFamily::H8, "MXT_H FW v3.9 Jan  1 2010"},
              {"AVR", sim::TSimReaderFamily::Avr, "MXT_A FW v3.9 Jan  1 2010"}};
  int failures = 0;
  for (const uint8_t latency : latencies) {
    for (const auto& run : runs) {
      const TResult r = Run(run.family, run.version, latency);
      if (!r.ok) ++failures;
      std::printf("%-6s %5d ms %6zu %9.1fs %11llu %11.1fs %7.2fx%s\n", run.name, latency, r.pages, r.seconds,
                  static_cast<unsigned long long>(r.turns), r.floorSeconds, r.seconds / r.floorSeconds,
                  r.ok ? "" : "  (did not complete)");
    }
  }
  std::printf("\nwire floor: per page the 16 data chunks, unlock and page write, a token, the loader's\n"
              "result and its token back to back, one converter latency and the flash time.\n");
  return failures == 0 ? 0 : 1;
}
