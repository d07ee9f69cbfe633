#include "tray/tray_menu.h"

#include <algorithm>
#include <stdexcept>

#include "tray/tray_texts.h"

namespace snimac {

TTrayMenu::TTrayMenu()
    : items_{
          {TMenuItem::Restore1, tray_texts::kRestore, "", true, false, true},
          {TMenuItem::PoslatEnter1, tray_texts::kPoslatEnter, tray_texts::kPoslatEnterHint, false, true,
           false},
      } {}

namespace {

// Shared by the const and the mutable look-up.
template <typename Items>
auto& FindItem(Items& items, TMenuItem id) {
  const auto found =
      std::find_if(items.begin(), items.end(), [id](const TTrayMenuItem& item) { return item.id == id; });
  // Every TMenuItem has its entry from construction on; a miss is a programming error.
  if (found == items.end()) throw std::logic_error("tray menu item missing");
  return *found;
}

}  // namespace

const TTrayMenuItem& TTrayMenu::Item(TMenuItem id) const { return FindItem(items_, id); }

TTrayMenuItem& TTrayMenu::MutableItem(TMenuItem id) { return FindItem(items_, id); }

void TTrayMenu::ShowForMode(bool grabMode) { MutableItem(TMenuItem::PoslatEnter1).visible = grabMode; }

bool TTrayMenu::TogglePoslatEnter() {
  TTrayMenuItem& item = MutableItem(TMenuItem::PoslatEnter1);
  item.checked = !item.checked;
  return item.checked;
}

void TDrawnTrayMenu::Draw(const TTrayMenuItem& item) {
  for (TTrayMenuItem& known : items_) {
    if (known.id == item.id) {
      known = item;
      return;
    }
  }
  items_.push_back(item);
}

}  // namespace snimac
