// The link thread against faults of the windows it serves: a payload that
// does not fit a packet, an exception from a window, and a new card that
// arrives while the link thread moves the block read on.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <deque>
#include <functional>
#include <new>
#include <stdexcept>
#include <thread>

#include "app/main_frm.h"
#include "link/proto_slave_dev.h"
#include "tests/support/fake_ui.h"
#include "tests/support/link_rig.h"

namespace snimac::test {
namespace {

class TNoUi : public TUiThread {
 public:
  void Post(std::function<void()>) override {}
};

// A window whose next message comes from `next`.
class TScriptedForm : public TDevFrm {
 public:
  using TDevFrm::TDevFrm;
  TProtoMessagePtr GetNextPacket() override {
    ++asked;
    return next ? next(asked) : nullptr;
  }
  void ProcessPacket(const TProtoMessage&) override {}
  std::function<TProtoMessagePtr(int asked)> next;
  int asked = 0;
};

TProtoMessagePtr Payload(size_t size, uint8_t fill) {
  const TBytes bytes(size, fill);
  return std::make_unique<TProtoMessage>(bytes.data(), static_cast<int>(bytes.size()), false);
}

struct TFormRig : TLinkRig {
  TFormRig() {
    slave.reset();
    slave = std::make_unique<TProtoSlaveDev>(link, &form);
    form.Slave = slave.get();
    slave->Open(-1, 1);
    MakeAlive();
    form.asked = 0;
  }
  TNoUi ui;
  TScriptedForm form{ui};
};

TEST(LinkWindowFaults, APayloadOverAPacketIsRefusedWholeWithALogLine) {
  TRawPacket p;
  const TBytes big(kMaxDataPayload + 1, 0x55);
  EXPECT_FALSE(BuildData(p, 1, 0, 0, big.data(), kMaxDataPayload + 1));
  EXPECT_EQ(p.length, 0);
  EXPECT_TRUE(BuildData(p, 1, 0, 0, big.data(), kMaxDataPayload));
  EXPECT_EQ(p.length, kMaxDataPayload + 4);

  // The window offers 33 bytes, then 1: only the byte goes out, and it takes
  // the sequence number the refused message did not use.
  TFormRig rig;
  rig.form.next = [](int asked) -> TProtoMessagePtr {
    if (asked == 1) return Payload(kMaxDataPayload + 1, 0x55);
    if (asked == 2) return Payload(1, 0xAA);
    return nullptr;
  };
  const auto writes = rig.Turn();
  ASSERT_FALSE(writes.empty());
  EXPECT_EQ(writes[0].substr(0, 11), "C0 01 00 AA");
  for (const auto& w : writes) EXPECT_EQ(w.find("55 55"), std::string::npos) << w;
  EXPECT_EQ(rig.log.Count("Message of 33 bytes does not fit a packet (32 at most), not sent"), 1);
}

// Whatever a window throws on the link thread is reported on stderr and in the
// log, and the endpoint is polled on as before.
TEST(LinkWindowFaults, AnExceptionFromAWindowIsReportedAndTheLinkGoesOn) {
  struct TCase {
    std::function<void()> raise;
    std::string said;
  };
  const std::vector<TCase> cases = {
      {[] { throw std::runtime_error("window failed"); }, "window failed"},
      {[] { throw std::bad_alloc(); }, "std::bad_alloc"},
      {[] { throw 42; }, "unknown exception"},
  };
  for (const auto& c : cases) {
    TFormRig rig;
    rig.form.next = [&c](int asked) -> TProtoMessagePtr {
      if (asked == 1) c.raise();
      return nullptr;
    };
    testing::internal::CaptureStderr();
    for (int i = 0; i < 20 && rig.form.asked < 3; ++i) EXPECT_NO_THROW(rig.link.RunPass()) << c.said;
    const std::string err = testing::internal::GetCapturedStderr();
    const std::string line = "Exception in the link thread, the link goes on: " + c.said;
    EXPECT_GE(rig.form.asked, 3) << c.said;  // still polled
    EXPECT_NE(err.find(line), std::string::npos) << err;
    EXPECT_EQ(rig.log.Count(line), 1) << c.said;
  }
}

// The window asks for the data blocks of a card (OpenToSend); the link thread
// sends the open and then the read, each moving the state on. A new card
// stored between the link thread's read of the state and its store of the
// next one must still get its own open. The window thread stores each new
// card at a slightly different moment after the previous open, sweeping over
// the link thread's step; a lost card never gets its open.
TEST(LinkWindowFaults, ANewCardWhileTheLinkMovesTheBlockReadOnIsNotLost) {
  TFakeUi ui;
  TPlatformServices platform;
  TMainFrm frm(ui, platform);
  frm.PmdpMode = true;
  const TProtoMessagePtr open = BuildBlockOpen();
  auto isOpen = [&open](const TProtoMessage& m) {
    return m.Length == open->Length && std::memcmp(m.Data.get(), open->Data.get(), static_cast<size_t>(m.Length)) == 0;
  };

  std::atomic<int> opens{0};
  std::atomic<bool> stop{false};
  std::thread linkThread([&] {
    while (!stop.load()) {
      const TProtoMessagePtr m = frm.GetNextPacket();
      if (m && isOpen(*m)) opens.fetch_add(1);
    }
  });
  constexpr int kCards = 20000;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  int card = 0;
  bool lost = false;
  volatile int spin = 0;
  while (card < kCards && std::chrono::steady_clock::now() < end && !lost) {
    ++card;
    for (int i = 0; i < card % 97; i = i + 1) spin = spin + 1;
    frm.BlockState = TBlockState::OpenToSend;  // a new card, as ProcessCardEvent does it
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (opens.load() < card) {
      if (std::chrono::steady_clock::now() > deadline) {
        lost = true;
        break;
      }
    }
  }
  stop = true;
  linkThread.join();
  EXPECT_FALSE(lost) << "card " << card << " got no block open";
  EXPECT_EQ(opens.load(), card);
}

}  // namespace
}  // namespace snimac::test
