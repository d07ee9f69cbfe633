// The main window "Snímač" as drawn: three labels, the grid of reads, the
// tray icon with its menu, and a note of where each read went. The core
// tells; the front end draws. Everything here runs on the UI thread.
#pragma once

#include <string>

#include "tray/tray_icon.h"
#include "tray/tray_menu.h"

namespace snimac {

enum class TLabel { ComLbl, StatusLbl, HwVersionLbl };

// Where a read went besides the grid.
enum class TDelivery {
  Typed,   // typed into the focused window
  Serial,  // written to the virtual serial port
  Server,  // confirmed by the attendance server
  File,    // written to the attendance file
};

class TMainView {
 public:
  virtual ~TMainView() = default;
  // The taskbar's and the toolkit boxes' title.
  virtual void SetApplicationTitle(const std::string& title) = 0;
  virtual void SetLabel(TLabel label, const std::string& text) = 0;
  // A grid row below the ones shown (rows count from 1; row 0 stays empty).
  virtual void AddGridRow(int row, const std::string& time, const std::string& text) = 0;
  // The whole-row selection moved to `row`.
  virtual void SelectGridRow(int row) = 0;
  // Adds the tray icon while the main window loads; false when the desktop
  // refused it. What a refusal means differs by desktop (TrayFailurePolicy).
  virtual bool AddTrayIcon() = 0;
  virtual TTrayFailurePolicy TrayFailurePolicy() const = 0;
  // One item of the tray menu as it is to be drawn now (caption, hint,
  // visibility, tick, default item).
  virtual void ShowMenuItem(const TTrayMenuItem& item) = 0;
  // A decision of the tray icon to carry out (restore, hide the taskbar
  // entry, open the menu, remove the icon, ...).
  virtual void CarryOut(TTrayAction action) = 0;
  // Where a read went: `text` is what was typed or written (the card text),
  // or for the server and the file the record line "<time> <text>".
  virtual void ShowDelivery(TDelivery where, const std::string& text) = 0;
};

}  // namespace snimac
