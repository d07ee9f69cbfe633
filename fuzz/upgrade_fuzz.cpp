// The upgrade procedure fed with loader and info replies, link events,
// time-outs and the user's close box, in any order. The commands it hands the
// link must stay consistent: chunks inside the page, a page write whose check
// covers the bytes sent, erases of bank blocks only, progress within its
// range, and nothing at all once the window is closed or the procedure over.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_input.h"
#include "fuzz/null_log.h"
#include "fuzz/upgrade_script.h"
#include "link/proto_slave_dev.h"
#include "link/protocol.h"
#include "sim/virtual_clock.h"
#include "tests/support/scripted_d2xx.h"
#include "upgrade/loader_commands.h"
#include "upgrade/upgrade_frm.h"

namespace snimac::fuzz {
namespace {

using TBytes = std::vector<uint8_t>;

// The upgrade window's front end: posted work in a queue, one periodic timer
// on the virtual clock, boxes answered from the script.
class TFuzzUpgradeUi : public TUpgradeUi {
 public:
  explicit TFuzzUpgradeUi(sim::TVirtualClock& clock) : clock_(clock) {}

  void Post(std::function<void()> task) override { tasks_.push_back(std::move(task)); }
  void RunPosted() {
    while (!tasks_.empty()) {
      std::function<void()> task = std::move(tasks_.front());
      tasks_.pop_front();
      task();
    }
  }
  void ShowWindow(bool) override {}
  void SetProgressRange(int maximum) override {
    FUZZ_CHECK(maximum > 0);
    progressMaximum_ = maximum;
  }
  void SetProgress(int position) override { FUZZ_CHECK(position >= 0 && position < progressMaximum_); }
  void Tell(const std::string& text) override { FUZZ_CHECK(!text.empty()); }
  bool Ask(const std::string& question) override {
    FUZZ_CHECK(!question.empty());
    return answer;
  }
  void StartTimeoutTimer(int intervalMs, std::function<void()> tick) override {
    if (tick_) return;  // a running timer is left as it is
    intervalUs_ = int64_t{intervalMs} * 1000;
    dueUs_ = clock_.NowUs() + intervalUs_;
    tick_ = std::move(tick);
  }
  void StopTimeoutTimer() override { tick_ = nullptr; }
  void RunModal(const std::function<bool()>&) override {}

  // Lets the time pass and ticks the timer when it is due.
  void Pass(int64_t us) {
    clock_.Advance(us);
    if (!tick_ || clock_.NowUs() < dueUs_) return;
    dueUs_ = clock_.NowUs() + intervalUs_;
    std::function<void()> tick = tick_;  // the tick may stop or restart the timer
    tick();
  }

  bool answer = false;

 private:
  sim::TVirtualClock& clock_;
  std::deque<std::function<void()>> tasks_;
  std::function<void()> tick_;
  int64_t intervalUs_ = 0;
  int64_t dueUs_ = 0;
  int progressMaximum_ = 0;
};

struct TRig {
  TRig() {
    FUZZ_CHECK(link.Open("FUZZ", "9600,n,8,1"));
    endpoint.Open(-1, 1);
    frm = std::make_unique<TUpgradeFrm>(ui);
    frm->AttachSlave(&endpoint);
    frm->FormShow();
  }
  ~TRig() { frm.reset(); }

  sim::TVirtualClock clock;
  test::TScriptedD2xx port{clock};
  TNullLog log;
  TProtocol link{port, clock, &log, TThreadWatch::Forever(), TProtocol::TStart::Manual};
  TProtoSlaveDev endpoint{link, nullptr};
  TFuzzUpgradeUi ui{clock};
  std::unique_ptr<TUpgradeFrm> frm;

  TBytes lastCommand;
  uint8_t loaderPage[kLoaderPageSize];  // the loader's page buffer as the chunks filled it
  bool pageSeen = false;

  // A message from the reader, the way the link delivers it: queued on the
  // endpoint, then drained by the window on the UI thread.
  void Deliver(const TBytes& bytes) {
    endpoint.Receive(bytes.data(), static_cast<int>(bytes.size()));
    ui.RunPosted();
  }

  // The next command, as the link asks for it, checked.
  TBytes Step() {
    const bool silent = frm->Closed() || frm->CurrentState() == TUpgradeFrm::Finished;
    TProtoMessagePtr m;
    {
      std::lock_guard<std::recursive_mutex> guard(link.Lock());
      m = endpoint.GetNextPacket();
    }
    ui.RunPosted();
    if (!m) return {};
    FUZZ_CHECK(!silent);
    const TBytes command(m->Data.get(), m->Data.get() + m->Length);
    Check(command);
    lastCommand = command;
    return command;
  }

  void Check(const TBytes& c) {
    FUZZ_CHECK(!c.empty() && c.size() <= static_cast<size_t>(kMaxDataPayload));
    switch (c[0]) {
      case 0x13: {  // page data: offset, bytes
        FUZZ_CHECK(c.size() >= 2 && c[1] + (c.size() - 2) <= kLoaderPageSize);
        std::memcpy(loaderPage + c[1], c.data() + 2, c.size() - 2);
        if (c.size() > 2) pageSeen = true;
        break;
      }
      case 0x14: {  // page write: its check covers the address and the page sent
        FUZZ_CHECK(c.size() == 5 && pageSeen);
        uint8_t covered[2 + kLoaderPageSize];
        covered[0] = c[3];
        covered[1] = c[4];
        std::memcpy(covered + 2, loaderPage, kLoaderPageSize);
        FUZZ_CHECK(LoaderCrc(covered, sizeof covered) == (c[1] << 8 | c[2]));
        break;
      }
      case 0x15:  // block erase: a bank block, never the loader's
        FUZZ_CHECK(c.size() == 4 && c[3] >= 4 && c[3] <= 6);
        break;
      default:
        break;
    }
  }

  // 87 index result for the last erase or page write.
  void ResultForLast(uint8_t result) {
    uint16_t index = 0;
    if (lastCommand.size() == 4 && lastCommand[0] == 0x15) index = lastCommand[3];
    if (lastCommand.size() == 5 && lastCommand[0] == 0x14) index = static_cast<uint16_t>(lastCommand[3] << 8 | lastCommand[4]);
    Deliver({kLoaderResultCode, static_cast<uint8_t>(index >> 8), static_cast<uint8_t>(index), result});
  }

  void GoodLoader(int steps) {
    for (int i = 0; i < steps && !frm->Closed(); ++i) {
      const TBytes c = Step();
      if (c.empty()) return;
      if (c[0] == 0x14 || c[0] == 0x15) ResultForLast(0);
      if (c[0] == 0x19) Deliver({kMsgSlaveWakes});  // back up after the restart
    }
  }
};

}  // namespace
}  // namespace snimac::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace snimac;
  using namespace snimac::fuzz;
  TFuzzInput in(data, size);
  TRig rig;
  std::memset(rig.loaderPage, 0xFF, sizeof rig.loaderPage);
  while (!in.Empty()) {
    switch (in.Byte() % kOperationCount) {
      case kStep: rig.Step(); break;
      case kReply: rig.Deliver(in.Chunk()); break;
      case kResult: rig.ResultForLast(in.Byte()); break;
      case kBankReply: {
        const uint8_t choice = in.Byte() % 4;
        TBytes reply{kInfoReplyCode, kInfoBankBase};
        if (choice == 1) reply.insert(reply.end(), {0x10, 0x00});
        if (choice == 2) reply.insert(reply.end(), {0x80, 0x00});
        if (choice == 3) reply.insert(reply.end(), {in.Byte(), in.Byte()});
        rig.Deliver(reply);
        break;
      }
      case kAddressReply: {
        TBytes reply{kInfoReplyCode, kInfoReportedAddress};
        const TBytes address = in.Bytes(4);
        reply.insert(reply.end(), address.begin(), address.end());
        rig.Deliver(reply);
        break;
      }
      case kLinkEvent: rig.Deliver({(in.Byte() & 1) ? kMsgSlaveDies : kMsgSlaveWakes}); break;
      case kTimeout: rig.ui.Pass(10'000'000); break;
      case kGoodLoader: rig.GoodLoader(4 * in.Byte()); break;
      case kClose:
        rig.ui.answer = (in.Byte() & 1) != 0;
        rig.frm->CloseRequested();
        break;
    }
    rig.ui.RunPosted();
  }
  // However it ended, a closed window gives the link nothing more.
  if (rig.frm->Closed()) FUZZ_CHECK(rig.Step().empty());
  return 0;
}
