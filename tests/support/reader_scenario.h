// The main window against the simulated reader on a virtual clock, driven
// from one thread: link passes, posted work and timers (also inside modal
// windows such as the upgrade).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/main_frm.h"
#include "sim/sim_d2xx.h"
#include "sim/virtual_clock.h"
#include "tests/support/fake_ui.h"
#include "tests/support/recording_typist.h"
#include "tests/support/refused_line_client.h"

namespace snimac::test {

class TRecordingSerialPort : public TSerialPort {
 public:
  bool Write(const void* bytes, size_t count) override {
    if (refuse) return false;
    written.append(static_cast<const char*>(bytes), count);
    return true;
  }
  std::string written;
  bool refuse = false;  // as a port nobody reads, once full
};

struct TScenario {
  // `adjust` may change the platform before the window starts up.
  explicit TScenario(const std::vector<std::string>& args, const std::string& description = "Reader",
                     sim::TSimReaderConfig config = {},
                     const std::function<void(TPlatformServices&)>& adjust = {}) {
    reader = &bus.AddDevice(description, "A1B2", config);
    platform.d2xx = &bus;
    platform.clock = &clock;
    platform.typist = &typist;
    platform.manualLink = true;
    platform.simulatedReader = true;
    platform.makeLineClient = [] { return std::make_unique<TRefusedLineClient>(); };
    platform.defaultDbFileName = "unused.db";
    platform.defaultLogDir = "/nonexistent/";
    platform.pathStyle = NativePathStyle();
    platform.openSerialPort = [this]() -> std::unique_ptr<TSerialPort> {
      auto port = std::make_unique<TRecordingSerialPort>();
      serial = port.get();
      return port;
    };
    ui.modalStep = [this] { Step(); };
    if (adjust) adjust(platform);
    frm = std::make_unique<TMainFrm>(ui, platform);
    frm->StartUp(args);
  }

  // Runs the link and the UI on the virtual clock until `done` or the limit.
  template <typename Pred>
  bool RunUntil(Pred done, int64_t limitMs = 20000) {
    const int64_t end = clock.NowMs() + limitMs;
    while (!done()) {
      if (clock.NowMs() > end) return false;
      Step();
    }
    return true;
  }
  void RunFor(int64_t ms) {
    const int64_t end = clock.NowMs() + ms;
    RunUntil([&] { return clock.NowMs() >= end; }, ms + 1000);
  }
  void Step() {
    frm->Protocol->RunPass();
    ui.Pump();
  }
  bool Ready() { return ui.labels[TLabel::StatusLbl] == "Ready"; }

  sim::TVirtualClock clock{{2026, 12, 6, 14, 10, 0, 0}};
  sim::TSimD2xx bus{clock};
  sim::TSimReader* reader = nullptr;
  TFakeUi ui{clock};
  TRecordingTypist typist;
  TRecordingSerialPort* serial = nullptr;
  TPlatformServices platform;
  std::unique_ptr<TMainFrm> frm;
};

}  // namespace snimac::test
