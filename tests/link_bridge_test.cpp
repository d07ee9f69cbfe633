// Received payloads reach a window on the UI thread; windows supply outgoing messages.
#include <gtest/gtest.h>

#include <deque>
#include <functional>

#include "link/proto_slave_dev.h"
#include "tests/support/hex.h"
#include "tests/support/link_rig.h"

namespace snimac::test {
namespace {

class TTaskQueue : public TUiThread {
 public:
  void Post(std::function<void()> task) override { tasks.push_back(std::move(task)); }
  int RunAll() {
    int n = 0;
    while (!tasks.empty()) {
      auto t = std::move(tasks.front());
      tasks.pop_front();
      t();
      ++n;
    }
    return n;
  }
  std::deque<std::function<void()>> tasks;
};

class TRecordingForm : public TDevFrm {
 public:
  using TDevFrm::TDevFrm;
  TProtoMessagePtr GetNextPacket() override {
    ++asked;
    if (outgoing.empty()) return nullptr;
    const TBytes b = outgoing.front();
    outgoing.pop_front();
    return std::make_unique<TProtoMessage>(b.data(), static_cast<int>(b.size()), true);
  }
  void ProcessPacket(const TProtoMessage& m) override {
    processed.push_back(ToHex(TBytes(m.Data.get(), m.Data.get() + m.Length)));
    ++processCalls;
  }
  std::deque<TBytes> outgoing;
  std::vector<std::string> processed;
  int processCalls = 0;
  int asked = 0;
};

struct TBridgeRig : TLinkRig {
  TBridgeRig() {
    slave.reset();
    auto dev = std::make_unique<TProtoSlaveDev>(link, &form);
    endpoint = dev.get();
    slave = std::move(dev);
    form.Slave = endpoint;
    endpoint->Open(-1, 1);
    MakeAlive();
    ui.tasks.clear();
    form.processed.clear();
  }
  TTaskQueue ui;
  TRecordingForm form{ui};
  TRecordingForm other{ui};
  TProtoSlaveDev* endpoint = nullptr;
};

TEST(WindowBridge, OneNotifyPerPayloadAndTheFirstDrainsAllInOrder) {
  TBridgeRig rig;
  rig.Answer({SlaveData(0, 0, {1}), SlaveData(1, 0, {2}), SlaveData(2, 0, {3}), SlaveToken()});
  rig.Turn();
  EXPECT_EQ(rig.ui.tasks.size(), 3u);
  EXPECT_EQ(rig.ui.RunAll(), 3);
  EXPECT_EQ(rig.form.processed, (std::vector<std::string>{"01", "02", "03"}));
  EXPECT_EQ(rig.form.processCalls, 3);
}

TEST(WindowBridge, StatusMessagesArriveInOrderWithData) {
  TBridgeRig rig;
  rig.Answer({SlaveData(0, 0, {7}), SlaveToken()});
  rig.Turn();
  rig.Turn();                              // the lone acknowledgement
  for (int i = 0; i < 5; ++i) rig.Turn();  // silent: the reader is declared lost
  rig.ui.RunAll();
  EXPECT_EQ(rig.form.processed, (std::vector<std::string>{"07", "A1"}));
}

TEST(WindowBridge, EndpointQueueIsServedBeforeTheWindow) {
  TBridgeRig rig;
  rig.form.outgoing = {{0xBB}};
  rig.Queue({0xAA}, false);
  const auto writes = rig.Turn();
  ASSERT_EQ(writes.size(), 3u);
  EXPECT_EQ(writes[0].substr(0, 11), "C0 01 00 AA");
  EXPECT_EQ(writes[1].substr(0, 11), "C0 01 10 BB");
}

TEST(WindowBridge, ABorrowedEndpointServesTheOtherWindowOnly) {
  TBridgeRig rig;
  rig.other.Slave = rig.endpoint;
  rig.endpoint->SetForm(&rig.other);
  rig.form.outgoing = {{0xBB}};
  rig.other.outgoing = {{0xCC}};
  rig.Answer({SlaveData(0, 1, {5}), SlaveToken()});
  const auto writes = rig.Turn();
  EXPECT_EQ(writes[0].substr(0, 11), "C0 01 00 CC");
  rig.ui.RunAll();
  EXPECT_EQ(rig.other.processed, (std::vector<std::string>{"05"}));
  EXPECT_TRUE(rig.form.processed.empty());
  EXPECT_EQ(rig.form.asked, 0);

  rig.endpoint->SetForm(&rig.form);
  rig.Turn();  // token only after a transmitting turn
  rig.Turn();
  EXPECT_GT(rig.form.asked, 0);
}

TEST(WindowBridge, MessagesPostedToAClosedWindowAreDropped) {
  TTaskQueue ui;
  auto form = std::make_unique<TRecordingForm>(ui);
  form->PostWindowMessage(WM_SLAVE_NOTIFY);
  form.reset();
  EXPECT_EQ(ui.RunAll(), 1);  // ran, found no window, did nothing
}

TEST(WindowBridge, FlushDropsWaitingAndUnacknowledgedMessages) {
  TBridgeRig rig;
  rig.Queue({1}, true);
  rig.Queue({2}, true);
  rig.Turn();  // {1} out and unacknowledged, {2} waiting
  rig.endpoint->Flush();
  EXPECT_EQ(rig.endpoint->UnackedCount(), 0u);
  rig.Turn();
  EXPECT_EQ(rig.Turn(), (std::vector<std::string>{"C0 81"}));  // nothing left to send
}

TEST(WindowBridge, DestroyingAnEndpointReleasesAllItsQueues) {
  TBridgeRig rig;
  rig.Queue({1}, true);
  rig.Queue({2}, true);
  rig.Answer({SlaveData(0, 0, {3}), SlaveToken()});
  rig.Turn();
  EXPECT_EQ(rig.link.SlaveCount(), 1u);
  rig.slave.reset();  // the sanitizer build reports anything not released
  EXPECT_EQ(rig.link.SlaveCount(), 0u);
}

}  // namespace
}  // namespace snimac::test
