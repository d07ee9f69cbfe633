#include "app/upgrade_ui_on_view.h"

#include "upgrade/upgrade_texts.h"

namespace snimac {

void TUpgradeUiOnView::Tell(const std::string& text) {
  view_.ShowMessageBox(text, upgrade_texts::kCaption, TMessageButtons::Ok);
}

bool TUpgradeUiOnView::Ask(const std::string& question) {
  return view_.ShowMessageBox(question, upgrade_texts::kCaption, TMessageButtons::YesNo) == TMessageResult::Yes;
}

}  // namespace snimac
