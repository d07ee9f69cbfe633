#include "link/proto_slave_dev.h"

namespace snimac {

TProtoSlaveDev::TProtoSlaveDev(TProtocol& link, TDevFrm* form) : TProtoSlave(link, link.Log()), form_(form) {}

TProtoMessagePtr TProtoSlaveDev::GetNextPacket() {
  if (TProtoMessagePtr own = TProtoSlave::GetNextPacket()) return own;
  return form_ ? form_->GetNextPacket() : nullptr;
}

void TProtoSlaveDev::Notify() {
  if (form_) form_->PostWindowMessage(WM_SLAVE_NOTIFY);
}

void TProtoSlaveDev::SetForm(TDevFrm* form) {
  std::lock_guard<std::recursive_mutex> guard(link_.Lock());
  form_ = form;
}

}  // namespace snimac
