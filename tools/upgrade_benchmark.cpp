// snimac-upgrade-bench: how long a firmware upgrade takes on the simulated
// wire (9600 baud 8N1, 16 ms converter latency, the simulated loader's flash
// times), for both reader families, next to the floor of the wire protocol.
// Runs on a virtual clock: the figures are the same on every machine and run.
//
//   snimac-upgrade-bench
#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "app/main_frm.h"
#include "app/timer_set.h"
#include "link/packet.h"
#include "resources/firmware_image.h"
#include "sim/sim_d2xx.h"
#include "sim/virtual_clock.h"
#include "upgrade/loader_commands.h"
#include "upgrade/page_walk.h"
#include "upgrade/upgrade_texts.h"

namespace {

using namespace snimac;

// A front end that consents to everything and runs on the virtual clock.
class TBenchUi : public TView {
 public:
  explicit TBenchUi(TClock& clock) : timers_(clock) {}
  void Post(std::function<void()> task) override { tasks_.push_back(std::move(task)); }
  void SetApplicationTitle(const std::string&) override {}
  void SetLabel(TLabel label, const std::string& text) override {
    if (label == TLabel::HwVersionLbl) version = text;
  }
  void AddGridRow(int, const std::string&, const std::string&) override {}
  void SelectGridRow(int) override {}
  bool AddTrayIcon() override { return true; }
  TTrayFailurePolicy TrayFailurePolicy() const override { return TTrayFailurePolicy::Fail; }
  void ShowMenuItem(const TTrayMenuItem&) override {}
  void CarryOut(TTrayAction) override {}
  void ShowDelivery(TDelivery, const std::string&) override {}
  TMessageResult ShowMessageBox(const std::string& text, const std::string&, TMessageButtons buttons) override {
    if (text == upgrade_texts::kDone) completed = true;
    if (buttons == TMessageButtons::OkCancel && onConsent) onConsent();
    return buttons == TMessageButtons::YesNo ? TMessageResult::Yes : TMessageResult::Ok;
  }
  void ShowException(const std::string&) override {}
  void StartTimer(TTimerId id, int intervalMs, TTimerTick tick) override { timers_.Start(id, intervalMs, std::move(tick)); }
  void StopTimer(TTimerId id) override { timers_.Stop(id); }
  void ShowUpgradeWindow(bool) override {}
  void SetUpgradeProgressRange(int) override {}
  void SetUpgradeProgress(int) override {}
  void RunModal(const std::function<bool()>& closed) override {
    while (!closed()) step();
  }
  void Pump() {
    while (!tasks_.empty()) {
      auto task = std::move(tasks_.front());
      tasks_.pop_front();
      task();
    }
    timers_.RunDue();
  }

  std::function<void()> step;
  std::function<void()> onConsent;
  std::string version;
  bool completed = false;

 private:
  std::deque<std::function<void()>> tasks_;
  TTimerSet timers_;
};

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
double FloorUs(const TFirmwareImage& image, bool avr, int skipFrom, int64_t writeUs, const sim::TSimBusConfig& bus) {
  double total = 0;
  for (size_t offset = 0; offset < image.size; offset = NextPageOffset(offset, avr, skipFrom)) {
    const TPage page = PageAt(image, offset);
    int bytes = 0;
    for (int chunk = 0; chunk < 16; ++chunk) bytes += FrameBytes(*BuildPageData(static_cast<uint8_t>(chunk * 8), page.bytes + chunk * 8, 8));
    bytes += FrameBytes(*BuildUnlock(false));
    bytes += FrameBytes(*BuildPageWrite(static_cast<uint16_t>(offset), page.bytes));
    bytes += 2;                       // the master's token
    bytes += 10 + 2;                  // the loader result (87 idx idx r) and the reader's token
    total += bytes * kByteUs + static_cast<double>(bus.latencyUs + writeUs);
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

TResult Run(sim::TSimReaderFamily family, const std::string& oldVersion) {
  sim::TVirtualClock clock;
  sim::TSimD2xx bus(clock);
  sim::TSimReaderConfig config;
  config.version = oldVersion;
  config.loader.family = family;
  sim::TSimReader& reader = bus.AddDevice("Reader", "BENCH", config);
  TBenchUi ui(clock);
  TPlatformServices platform;
  platform.d2xx = &bus;
  platform.clock = &clock;
  platform.manualLink = true;
  platform.simulatedReader = true;
  platform.defaultDbFileName = "unused.db";
  platform.defaultLogDir = "/nonexistent/";
  TMainFrm frm(ui, platform);
  ui.step = [&] {
    frm.Protocol->RunPass();
    ui.Pump();
  };
  int64_t consentAtUs = 0;
  uint64_t turnsAtConsent = 0;
  ui.onConsent = [&] {
    consentAtUs = clock.NowUs();
    turnsAtConsent = reader.Stats().tokensReceived;
  };
  frm.StartUp({});
  while (!ui.completed && clock.NowMs() < 60LL * 60 * 1000) ui.step();
  TResult r;
  r.ok = ui.completed;
  r.seconds = static_cast<double>(clock.NowUs() - consentAtUs) / 1e6;
  r.turns = reader.Stats().tokensReceived - turnsAtConsent;
  r.pages = reader.PagesWritten().size();
  const bool avr = family == sim::TSimReaderFamily::Avr;
  const TFirmwareImage image = FindFirmwareImage(avr ? "MXTA" : "MXT_HI");
  r.floorSeconds = FloorUs(image, avr, avr ? 16874 : 0, config.loader.pageWriteUs, bus.Config()) / 1e6;
  return r;
}

}  // namespace

int main() {
  std::printf("Firmware upgrade on the simulated wire: 9600 baud 8N1 (1042 us a byte), 16 ms converter\n"
              "latency, reader processing 2 ms, loader flash times: page write 10 ms, block erase 50 ms,\n"
              "H8 restart 1.5 s. Virtual clock; from the user's consent to the completion message.\n\n");
  std::printf("%-6s %6s %10s %11s %12s %8s\n", "reader", "pages", "duration", "poll turns", "wire floor", "ratio");
  const struct {
    const char* name;
    sim::TSimReaderFamily family;
    const char* version;
  } runs[] = {{"H8", sim::TSimReaderFamily::H8, "MXT_H FW v3.9 Jan  1 2010"},
              {"AVR", sim::TSimReaderFamily::Avr, "MXT_A FW v3.9 Jan  1 2010"}};
  int failures = 0;
  for (const auto& run : runs) {
    const TResult r = Run(run.family, run.version);
    if (!r.ok) ++failures;
    std::printf("%-6s %6zu %9.1fs %11llu %11.1fs %7.2fx%s\n", run.name, r.pages, r.seconds,
                static_cast<unsigned long long>(r.turns), r.floorSeconds, r.seconds / r.floorSeconds,
                r.ok ? "" : "  (did not complete)");
  }
  std::printf("\nwire floor: per page the 16 data chunks, unlock and page write, a token, the loader's\n"
              "result and its token back to back, one converter latency and the flash time.\n");
  return failures == 0 ? 0 : 1;
}
