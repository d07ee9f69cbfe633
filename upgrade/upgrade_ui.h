// What the upgrade window needs from its front end, in its own terms: the
// window with its progress, the boxes it shows (all with the caption
// "Upgrade"), its time-out timer and its modal loop. The main window's view
// port provides all of it (app/upgrade_ui_on_view.h).
#pragma once

#include <functional>
#include <string>

#include "link/ui_thread.h"

namespace snimac {

class TUpgradeUi : public TUiThread {
 public:
  virtual void ShowWindow(bool shown) = 0;
  virtual void SetProgressRange(int maximum) = 0;
  virtual void SetProgress(int position) = 0;
  // A box with only an OK button.
  virtual void Tell(const std::string& text) = 0;
  // A box with Yes and No; true for Yes.
  virtual bool Ask(const std::string& question) = 0;
  // The window's one timer; starting it while it runs changes nothing.
  virtual void StartTimeoutTimer(int intervalMs, std::function<void()> tick) = 0;
  virtual void StopTimeoutTimer() = 0;
  // Dispatches posted work and timers until `closed` is true.
  virtual void RunModal(const std::function<bool()>& closed) = 0;
};

}  // namespace snimac
