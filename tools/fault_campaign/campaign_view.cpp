#include "tools/fault_campaign/campaign_view.h"

namespace snimac::campaign {

void TCampaignView::Pump() {
  while (!tasks_.empty()) {
    std::function<void()> task = std::move(tasks_.front());
    tasks_.pop_front();
    task();
  }
  timers_.RunDue();
}

void TCampaignView::SetLabel(TLabel label, const std::string& text) {
  if (label == TLabel::StatusLbl) status = text;
}

void TCampaignView::AddGridRow(int, const std::string&, const std::string& text) {
  if (onRead) onRead(text);
}

TMessageResult TCampaignView::ShowMessageBox(const std::string& text, const std::string& caption,
                                             TMessageButtons buttons) {
  boxes.push_back(caption + ": " + text);
  switch (buttons) {
    case TMessageButtons::Ok: return TMessageResult::Ok;
    case TMessageButtons::YesNo: return TMessageResult::No;
    default: return TMessageResult::Cancel;
  }
}

void TCampaignView::RunModal(const std::function<bool()>& closed) {
  while (!closed() && modalStep) modalStep();
}

}  // namespace snimac::campaign
