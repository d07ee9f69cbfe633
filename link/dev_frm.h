// Base of the windows that talk to the reader. The link thread wakes a window
// by posting WM_SLAVE_NOTIFY to the UI thread; the window then drains its
// endpoint's received messages, one ProcessPacket each, on the UI thread.
#pragma once

#include <functional>
#include <memory>

#include "link/proto_message.h"
#include "link/ui_thread.h"

namespace snimac {

class TProtoSlave;

constexpr unsigned kWmApp = 0x8000;  // WM_APP: the first message number free for applications
constexpr unsigned WM_SLAVE_NOTIFY = kWmApp + 2;

class TDevFrm {
 public:
  explicit TDevFrm(TUiThread& ui);
  virtual ~TDevFrm();
  TDevFrm(const TDevFrm&) = delete;
  TDevFrm& operator=(const TDevFrm&) = delete;

  // Next message for the reader, or none. Runs on the link thread inside a
  // poll turn with the link's lock held: it must never wait for the UI thread.
  virtual TProtoMessagePtr GetNextPacket() = 0;
  virtual void WMSlaveNotify();
  // One received message, on the UI thread. The message is freed afterwards.
  virtual void ProcessPacket(const TProtoMessage& message) = 0;

  // The window's message dispatch: WM_SLAVE_NOTIFY goes to WMSlaveNotify.
  void Dispatch(unsigned message);
  // Posts a window message; it is dispatched later on the UI thread, and
  // dropped if the window no longer exists by then.
  void PostWindowMessage(unsigned message);
  // Posts work for this window to the UI thread, dropped likewise.
  void PostTask(std::function<void()> task);

  // The endpoint whose received messages this window handles; set by its owner.
  TProtoSlave* Slave = nullptr;

 protected:
  TUiThread& Ui;

 private:
  std::shared_ptr<TDevFrm*> self_;
};

}  // namespace snimac
