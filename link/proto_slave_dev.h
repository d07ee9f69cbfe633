// The endpoint bound to a window: it posts WM_SLAVE_NOTIFY to the window after
// every received payload and asks the window for outgoing messages once its
// own queue is empty.
#pragma once

#include "link/dev_frm.h"
#include "link/proto_slave.h"
#include "link/protocol.h"

// <windows.h> (through winspool.h) defines SetForm as a macro for a printer
// call; the endpoint's operation keeps its name, so a Windows translation
// unit that has seen that header must not rename it.
#ifdef SetForm
#undef SetForm
#endif

namespace snimac {

class TProtoSlaveDev : public TProtoSlave {
 public:
  // Takes the link's log and registers with the link.
  TProtoSlaveDev(TProtocol& link, TDevFrm* form);
  ~TProtoSlaveDev() override { Withdraw(); }
  TProtoSlaveDev(const TProtoSlaveDev&) = delete;
  TProtoSlaveDev& operator=(const TProtoSlaveDev&) = delete;

  TProtoMessagePtr GetNextPacket() override;
  void Notify() override;
  // Binds the endpoint to another window; under the link's lock, so that a
  // poll turn never sees half a switch.
  void SetForm(TDevFrm* form);
  TDevFrm* Form() { return form_; }

 private:
  TDevFrm* form_;
};

}  // namespace snimac
