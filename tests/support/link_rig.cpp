#include "tests/support/link_rig.h"

#include "tests/support/hex.h"

namespace snimac::test {

namespace {
TBytes Encode(const TRawPacket& p) {
  uint8_t out[kFrameBufferSize];
  const int n = EncodeFrame(p, out);
  return TBytes(out, out + n);
}
}  // namespace

TBytes SlaveToken(int address) {
  TRawPacket p;
  BuildToken(p, address);
  return Encode(p);
}

TBytes SlaveControl(uint8_t control, int address) {
  TRawPacket p;
  p.PushByte(static_cast<uint8_t>(address));
  p.PushByte(control);
  p.AppendCrc();
  return Encode(p);
}

TBytes SlaveData(int seq, int ack, const TBytes& payload, int address) {
  TRawPacket p;
  BuildData(p, address, seq, ack, payload.data(), static_cast<int>(payload.size()));
  return Encode(p);
}

TBytes SlaveUnnumbered(const TBytes& payloadWithSubType, int address) {
  TRawPacket p;
  p.PushByte(static_cast<uint8_t>(address));
  p.PushByte(kCtlUnnumbered);
  for (uint8_t b : payloadWithSubType) p.PushByte(b);
  p.AppendCrc();
  return Encode(p);
}

TBytes Concat(const std::vector<TBytes>& frames) {
  TBytes out;
  for (const auto& f : frames) out.insert(out.end(), f.begin(), f.end());
  return out;
}

TLinkRig::TLinkRig() {
  d2xx.responder = [this](const TBytes& frame) {
    const bool token = frame.size() >= 2 && (frame.back() != kFrameEnd);
    if (!token) return;
    if (answers.empty()) return;
    d2xx.Feed(answers.front());
    answers.pop_front();
  };
  link.Open("A1B2", "9600,n,8,1");
  slave = std::make_unique<TProtoSlave>(link, &log);
  slave->Open(-1, 1);
  TakeWrites();
  log.Clear();
}

TLinkRig::~TLinkRig() { slave.reset(); }

std::vector<std::string> TLinkRig::TakeWrites() {
  std::vector<std::string> out;
  for (; writesSeen < d2xx.writes.size(); ++writesSeen) out.push_back(ToHex(d2xx.writes[writesSeen]));
  return out;
}

std::vector<std::string> TLinkRig::Turn() {
  std::lock_guard<std::recursive_mutex> guard(link.Lock());
  slave->Poll();
  return TakeWrites();
}

void TLinkRig::MakeAlive() {
  for (int i = 0; i < 3; ++i) Answer({SlaveToken()});
  Turn();
  Turn();
  Turn();
  Answer({SlaveControl(kCtlResetAck), SlaveToken()});
  Turn();
  Answer({SlaveToken()});
  Turn();
  while (slave->GetReceived()) {
  }
  TakeWrites();
  log.Clear();
}

std::vector<std::string> TLinkRig::Received() {
  std::vector<std::string> out;
  while (TProtoMessagePtr m = slave->GetReceived()) out.push_back(ToHex(TBytes(m->Data.get(), m->Data.get() + m->Length)));
  return out;
}

void TLinkRig::Queue(const TBytes& payload, bool endsBurst) {
  slave->PutOutgoing(std::make_unique<TProtoMessage>(payload.data(), static_cast<int>(payload.size()), endsBurst));
}

}  // namespace snimac::test
