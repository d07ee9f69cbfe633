// What the core asks of a front end (Qt, Win32, headless, test fake): the
// main window's labels and tray menu items, message boxes, and the UI
// thread's event queue. Everything here is called on the UI thread, except
// Post, which any thread may call.
#pragma once

#include <functional>
#include <string>

#include "link/ui_thread.h"

namespace snimac {

enum class TLabel { ComLbl, StatusLbl, HwVersionLbl };
enum class TMenuItem { Restore1, PoslatEnter1 };
enum class TMessageButtons { Ok, OkCancel, YesNo };
enum class TMessageResult { Ok, Cancel, Yes, No };
// The windows' timers; each fires on the UI thread.
enum class TTimerId { LogTimer, BlickTimer, VersionTimer, TimeoutTimer };
using TTimerTick = std::function<void()>;

class TUiPort : public TUiThread {
 public:
  virtual void SetApplicationTitle(const std::string& title) = 0;
  virtual void SetLabel(TLabel label, const std::string& text) = 0;
  virtual void SetMenuItemVisible(TMenuItem item, bool visible) = 0;
  virtual void SetMenuItemChecked(TMenuItem item, bool checked) = 0;
  // A modal box; returns the button chosen. Texts are UTF-8.
  virtual TMessageResult MessageBox(const std::string& text, const std::string& caption,
                                    TMessageButtons buttons) = 0;
  // The toolkit's own box for an unexpected exception: its message with the
  // application title as caption.
  virtual void ShowException(const std::string& message) = 0;
  // Starts a timer that calls `tick` every `intervalMs` until stopped.
  // Starting a running timer changes nothing: it keeps its phase and tick.
  virtual void StartTimer(TTimerId id, int intervalMs, TTimerTick tick) = 0;
  virtual void StopTimer(TTimerId id) = 0;
  // The upgrade window (caption "Upgrade", the progress bar and the line
  // "Probíhá aktualizace snímače."): shown and hidden, and its progress.
  virtual void ShowUpgradeWindow(bool shown) = 0;
  virtual void SetUpgradeProgressRange(int maximum) = 0;
  virtual void SetUpgradeProgress(int position) = 0;
  // A modal loop: dispatches posted work and timers until `closed` is true.
  virtual void RunModal(const std::function<bool()>& closed) = 0;
};

}  // namespace snimac
