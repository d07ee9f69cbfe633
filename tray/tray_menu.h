// The tray icon's popup menu TrayPopup as a model that the front ends draw:
// "Obnovit" (the default item, drawn bold) and "Posílat Enter", a ticked
// switch that only the grab mode shows because only that mode types card
// numbers.
#pragma once

#include <string>
#include <vector>

namespace snimac {

enum class TMenuItem { Restore1, PoslatEnter1 };

struct TTrayMenuItem {
  TMenuItem id;
  std::string caption;
  std::string hint;  // empty when the item has none
  bool visible;
  bool checked;
  bool isDefault;  // drawn bold; the action of a double-click on the icon
};

class TTrayMenu {
 public:
  // Both items; "Posílat Enter" ticked but hidden until the mode is known.
  TTrayMenu();

  // The items in menu order, hidden ones included (front ends skip them).
  const std::vector<TTrayMenuItem>& Items() const { return items_; }
  const TTrayMenuItem& Item(TMenuItem id) const;

  // Shows "Posílat Enter" in the grab mode and hides it in the attendance mode.
  void ShowForMode(bool grabMode);

  // A click on "Posílat Enter": flips the tick and returns the new state.
  bool TogglePoslatEnter();
  // Whether Enter follows a typed card number.
  bool PoslatEnter() const { return Item(TMenuItem::PoslatEnter1).checked; }

 private:
  TTrayMenuItem& MutableItem(TMenuItem id);

  std::vector<TTrayMenuItem> items_;
};

// The menu as a front end was last told to draw it (TMainView::ShowMenuItem):
// an item drawn again replaces its earlier state, a new one goes last, so
// the items stay in the order they were first drawn.
class TDrawnTrayMenu {
 public:
  void Draw(const TTrayMenuItem& item);
  const std::vector<TTrayMenuItem>& Items() const { return items_; }

 private:
  std::vector<TTrayMenuItem> items_;
};

}  // namespace snimac
