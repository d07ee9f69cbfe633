// Frame handling on an endpoint bound to a window: poll turns of a
// TProtoSlaveDev whose reader answers with fuzzed frames. The harness gives
// the frames a valid CRC, so the fuzzer gets past the check into the
// addressing, reset handshake, sequence numbers and acknowledgements; what
// reaches the window is decoded as the main window would.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <set>
#include <vector>

#include "cards/reader_messages.h"
#include "fuzz/endpoint_script.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_input.h"
#include "fuzz/null_log.h"
#include "link/dev_frm.h"
#include "link/packet.h"
#include "link/proto_slave_dev.h"
#include "link/protocol.h"
#include "sim/virtual_clock.h"
#include "tests/support/scripted_d2xx.h"

namespace snimac::fuzz {
namespace {

using TBytes = std::vector<uint8_t>;

class TQueueUi : public TUiThread {
 public:
  void Post(std::function<void()> task) override { tasks_.push_back(std::move(task)); }
  void RunPosted() {
    while (!tasks_.empty()) {
      std::function<void()> task = std::move(tasks_.front());
      tasks_.pop_front();
      task();
    }
  }

 private:
  std::deque<std::function<void()>> tasks_;
};

// The window: offers what the script says and decodes what it is given.
class TFuzzWindow : public TDevFrm {
 public:
  using TDevFrm::TDevFrm;

  TProtoMessagePtr GetNextPacket() override {
    if (offers.empty()) return nullptr;
    TProtoMessagePtr m = std::move(offers.front());
    offers.pop_front();
    return m;
  }
  void ProcessPacket(const TProtoMessage& message) override {
    FUZZ_CHECK(message.Length >= 0 && message.Length <= kMaxPacket);
    const TReaderMessage decoded = DecodeReaderMessage(message);
    ++received;
    if (const auto* card = std::get_if<TCardEvent>(&decoded)) {
      FUZZ_CHECK(card->card.size() + 2 == static_cast<size_t>(message.Length));
    }
  }

  std::deque<TProtoMessagePtr> offers;
  std::set<TBytes> offered;  // every payload ever offered
  int received = 0;
};

TBytes Encode(const TRawPacket& p) {
  uint8_t out[kFrameBufferSize];
  return TBytes(out, out + EncodeFrame(p, out));
}

TBytes PacketWithCrc(const TBytes& bytes) {
  TRawPacket p;
  for (size_t i = 0; i < bytes.size() && i + 2 < static_cast<size_t>(kMaxPacket); ++i) p.PushByte(bytes[i]);
  p.AppendCrc();
  return Encode(p);
}

TBytes ReadAnswer(TFuzzInput& in) {
  TBytes answer;
  const int frames = in.Byte() % kMaxFramesPerAnswer;
  for (int i = 0; i < frames && !in.Empty(); ++i) {
    TBytes frame;
    switch (in.Byte() & 3) {
      case kToken: {
        TRawPacket p;
        BuildToken(p, kEndpointAddress);
        frame = Encode(p);
        break;
      }
      case kPacket: frame = PacketWithCrc(in.Chunk()); break;
      case kRaw: frame = in.Chunk(); break;
      case kOwnPacket: {
        TBytes packet{static_cast<uint8_t>(kEndpointAddress)};
        const TBytes rest = in.Chunk();
        packet.insert(packet.end(), rest.begin(), rest.end());
        frame = PacketWithCrc(packet);
        break;
      }
    }
    answer.insert(answer.end(), frame.begin(), frame.end());
  }
  return answer;
}

// One frame the master wrote: well formed, a valid CRC, and data only ever
// the window's own messages.
void CheckMasterFrame(const TBytes& wire, const TFuzzWindow& window) {
  FUZZ_CHECK(wire.size() >= 2 && wire.front() == kFrameStart);
  if (wire.size() == 2) {
    FUZZ_CHECK((wire[1] & kTokenFlag) != 0);
    return;
  }
  FUZZ_CHECK(wire.back() == kFrameEnd);
  TBytes packet;
  for (size_t i = 1; i + 1 < wire.size(); ++i) {
    FUZZ_CHECK(wire[i] != kFrameStart && wire[i] != kFrameEnd);
    packet.push_back(wire[i] == kFrameEscape ? static_cast<uint8_t>(wire[++i] ^ 0x20) : wire[i]);
  }
  FUZZ_CHECK(packet.size() >= 4 && packet.size() <= static_cast<size_t>(kMaxPacket));
  FUZZ_CHECK(PacketCrcOk(packet.data(), static_cast<int>(packet.size())));
  const bool numberedData = packet[0] == kEndpointAddress && (packet[1] & 0x80) == 0;
  if (numberedData) FUZZ_CHECK(window.offered.count(TBytes(packet.begin() + 2, packet.end() - 2)) == 1);
}

}  // namespace
}  // namespace snimac::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace snimac;
  using namespace snimac::fuzz;
  TFuzzInput in(data, size);
  sim::TVirtualClock clock;
  test::TScriptedD2xx port(clock);
  TNullLog log;
  TQueueUi ui;
  TProtocol link(port, clock, &log, TThreadWatch::Forever(), TProtocol::TStart::Manual);
  FUZZ_CHECK(link.Open("FUZZ", "9600,n,8,1"));
  TFuzzWindow window(ui);
  {
    TProtoSlaveDev endpoint(link, &window);
    window.Slave = &endpoint;
    endpoint.Open(-1, kEndpointAddress);

    // The reader answers each token with the next scripted answer.
    std::deque<TBytes> answers;
    port.responder = [&](const TBytes& frame) {
      const bool token = frame.size() == 2;
      if (token && !answers.empty()) {
        port.Feed(answers.front());
        answers.pop_front();
      }
    };

    size_t writesChecked = 0;
    while (!in.Empty()) {
      const uint8_t script = in.Byte();
      for (int i = 0; i < (script & kWindowMessageMask); ++i) {
        const uint8_t header = in.Byte();
        const TBytes payload = in.Bytes(header & kMessageLengthMask);
        window.offered.insert(payload);
        window.offers.push_back(std::make_unique<TProtoMessage>(payload.data(), static_cast<int>(payload.size()),
                                                                (header & kMessageEndsBurst) != 0));
      }
      if (script & kWindowFlush) endpoint.Flush();
      if (script & kWindowWait) clock.Advance(200'000);
      answers.push_back(ReadAnswer(in));
      {
        std::lock_guard<std::recursive_mutex> guard(link.Lock());
        endpoint.Poll();
      }
      answers.clear();  // an answer no token asked for is never sent
      ui.RunPosted();

      FUZZ_CHECK(endpoint.UnackedCount() <= static_cast<size_t>(endpoint.WindowSize));
      FUZZ_CHECK(endpoint.SendSeq >= 0 && endpoint.SendSeq <= 7);
      FUZZ_CHECK(endpoint.RecvSeq >= 0 && endpoint.RecvSeq <= 7);
      FUZZ_CHECK(endpoint.Address == kEndpointAddress);
      for (; writesChecked < port.writes.size(); ++writesChecked) CheckMasterFrame(port.writes[writesChecked], window);
    }
    window.Slave = nullptr;
  }
  link.Close();
  return 0;
}
