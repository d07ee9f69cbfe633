#include "link/dev_frm.h"

#include "link/proto_slave.h"

namespace snimac {

TDevFrm::TDevFrm(TUiThread& ui) : Ui(ui), self_(std::make_shared<TDevFrm*>(this)) {}

TDevFrm::~TDevFrm() = default;

void TDevFrm::WMSlaveNotify() {
  if (!Slave) return;
  while (TProtoMessagePtr message = Slave->GetReceived()) ProcessPacket(*message);
}

void TDevFrm::Dispatch(unsigned message) {
  if (message == WM_SLAVE_NOTIFY) WMSlaveNotify();
}

void TDevFrm::PostWindowMessage(unsigned message) {
  PostTask([this, message] { Dispatch(message); });
}

void TDevFrm::PostTask(std::function<void()> task) {
  std::weak_ptr<TDevFrm*> window = self_;
  Ui.Post([window, task = std::move(task)] {
    if (window.lock()) task();
  });
}

}  // namespace snimac
