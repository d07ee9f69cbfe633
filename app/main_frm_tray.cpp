// The tray icon and its menu: the front end forwards what the user does over
// them, the tray logic decides, and the view carries the decisions out.
#include "app/main_frm.h"

namespace snimac {

void TMainFrm::Restore1Click() { CarryOut(TrayIcon1.Restore()); }

void TMainFrm::PoslatEnter1Click() {
  TrayPopup.TogglePoslatEnter();
  ShowMenuItem(TMenuItem::PoslatEnter1);
}

void TMainFrm::TrayIconMouse(TTrayMouse message) { CarryOut(TrayIcon1.Mouse(message)); }

void TMainFrm::SysCommand(std::uintptr_t command) { CarryOut(TrayIcon1.SystemCommand(command)); }

void TMainFrm::EndSession(bool ending) {
  if (ending && Attendance && !Attendance->FlushAtExit()) ShowUnsavedReads();
  CarryOut(TrayIcon1.EndSession(ending));
}

void TMainFrm::ShowMenuItem(TMenuItem item) { ui_.ShowMenuItem(TrayPopup.Item(item)); }

void TMainFrm::CarryOut(const TTrayActions& actions) {
  for (const TTrayAction action : actions) ui_.CarryOut(action);
}

}  // namespace snimac
