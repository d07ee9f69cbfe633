// A whole program in the test process: the Qt view, a real TMainFrm and its
// link thread against a simulated reader on the real clock. The message loop
// runs until a condition holds.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/main_frm.h"
#include "platform/qt/qt_view.h"
#include "sim/sim_d2xx.h"
#include "tests/support/recording_typist.h"
#include "tests/support/steady_clock.h"

namespace snimac::test {

struct TQtRig {
  explicit TQtRig(bool trayAvailable = true, const std::string& description = "Reader",
                  sim::TSimReaderConfig config = {});
  ~TQtRig();

  // Creates the main window (its icon is added) and starts it up.
  void Start(const std::vector<std::string>& args = {});
  // Runs the view's message loop until `done` holds (checked every few
  // milliseconds, so it may act as well) or `timeoutMs` has passed.
  bool RunUntil(const std::function<bool()>& done, int timeoutMs = 20000);

  std::string LabelText(TLabel label);
  std::string Cell(int row, int column);

  bool trayAvailable;
  TSteadyClock clock;
  sim::TSimD2xx bus{clock};
  sim::TSimReader* reader = nullptr;
  TRecordingTypist typist;
  TPlatformServices platform;
  std::string dbFile;
  std::unique_ptr<TQtView> view;
  std::unique_ptr<TMainFrm> frm;
};

}  // namespace snimac::test
