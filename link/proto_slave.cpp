#include "link/proto_slave.h"

#include <cstdarg>
#include <stdexcept>

#include "link/protocol.h"

namespace snimac {

namespace {
constexpr int kFramesPerTurnBudget = 10;  // so at most 9 frames are handled per turn
}  // namespace

TProtoSlave::TProtoSlave(TProtocol& link, TTextMessageQueue* log) : link_(link), log_(log) {
  link_.Register(this);
}

TProtoSlave::~TProtoSlave() {
  Withdraw();
  std::lock_guard<std::recursive_mutex> guard(Lock);
  RecvQueue.clear();
  UnackedQueue.clear();
  OutQueue.clear();
}

void TProtoSlave::Withdraw() { link_.Unregister(this); }

bool TProtoSlave::Open(int32_t identity, int address) {
  std::lock_guard<std::recursive_mutex> linkGuard(link_.Lock());
  if (address < 0) {
    address = link_.AllocateAddress();
    if (address < 0) throw std::runtime_error("Can't allocate slave address");
  }
  SendSeq = 0;
  RecvSeq = 0;
  ResetPending = true;
  ResetAckPending = false;
  NeedAddress = true;
  PollAgain = false;
  LinkState = Initial;
  Score = 0;
  Identity = identity;
  Address = address;
  PollInterval = 200;
  Active = true;
  return true;
}

void TProtoSlave::Restart(bool loader) {
  std::lock_guard<std::recursive_mutex> linkGuard(link_.Lock());
  uint32_t id = static_cast<uint32_t>(Identity);
  // An identity that addresses any device (bits 0-30 all ones) carries the
  // loader flag inverted, so that -1 stays -1 outside the loader.
  const bool anyDevice = (id & 0x7FFFFFFFu) == 0x7FFFFFFFu;
  const bool bit31 = anyDevice ? !loader : loader;
  id = bit31 ? (id | 0x80000000u) : (id & 0x7FFFFFFFu);
  Identity = static_cast<int32_t>(id);
  NeedAddress = true;
  SendSeq = 0;
  RecvSeq = 0;
  ResetPending = true;
  LinkState = Lost;
  Score = 0;
  PollAgain = false;
  AddressRepeat = 3;
}

int TProtoSlave::Receive(const uint8_t* bytes, int count) {
  auto message = std::make_unique<TProtoMessage>(bytes, count, true);
  {
    std::lock_guard<std::recursive_mutex> guard(Lock);
    RecvQueue.push_back(std::move(message));
  }
  Notify();
  return 1;
}

TProtoMessagePtr TProtoSlave::GetNextPacket() {
  std::lock_guard<std::recursive_mutex> guard(Lock);
  if (OutQueue.empty()) return nullptr;
  TProtoMessagePtr m = std::move(OutQueue.front());
  OutQueue.pop_front();
  return m;
}

TProtoMessagePtr TProtoSlave::GetReceived() {
  std::lock_guard<std::recursive_mutex> guard(Lock);
  if (RecvQueue.empty()) return nullptr;
  TProtoMessagePtr m = std::move(RecvQueue.front());
  RecvQueue.pop_front();
  return m;
}

void TProtoSlave::PutOutgoing(TProtoMessagePtr message) {
  std::lock_guard<std::recursive_mutex> guard(Lock);
  OutQueue.push_back(std::move(message));
}

void TProtoSlave::Flush() {
  std::lock_guard<std::recursive_mutex> linkGuard(link_.Lock());
  UnackedQueue.clear();
  std::lock_guard<std::recursive_mutex> guard(Lock);
  OutQueue.clear();
}

int TProtoSlave::Log(TLogLevel level, const char* format, ...) {
  if (!log_) return 1;
  va_list args;
  va_start(args, format);
  std::string text = FormatV(format, args);
  va_end(args);
  log_->Put(std::make_unique<TTextMessage>(level, std::move(text), "S" + std::to_string(Address)));
  return 1;
}

void TProtoSlave::Wakes() {
  Log(TLogLevel::Trace, "Slave wakes");
  const uint8_t status = kMsgSlaveWakes;
  Receive(&status, 1);
  LinkState = Alive;
  Score = 0;
  PollInterval = 20;
}

void TProtoSlave::Dies() {
  Log(TLogLevel::Trace, "Slave dies");
  NeedAddress = true;
  RecvSeq = 0;
  SendSeq = 0;
  ResetPending = true;
  const uint8_t status = kMsgSlaveDies;
  Receive(&status, 1);
  LinkState = Lost;
  Score = 0;
  PollInterval = 200;
}

void TProtoSlave::Poll() {
  if (!Active) return;
  if (link_.PortFailed()) {
    // Nothing can be sent or heard until the link reopens the port: the turn
    // ends at once and counts as a silent one, so the slave still dies.
    UpdateLiveness(0);
    return;
  }
  TRawPacket packet;
  bool expectAnswer = false;

  if (PollAgain) {
    PollAgain = false;
    expectAnswer = true;
  } else if (NeedAddress || AddressRepeat > 0) {
    if (AddressRepeat > 0) --AddressRepeat;
    BuildAddressSet(packet, 255, Identity, Address);
    link_.SendPacket(packet);
    PollAgain = true;
  } else if (LinkState != Alive) {
    expectAnswer = true;
  } else if (ResetAckPending) {
    BuildResetAck(packet, Address);
    link_.SendPacket(packet);
    ResetAckPending = false;
    PollAgain = true;
  } else if (ResetPending) {
    BuildResetRequest(packet, Address);
    link_.SendPacket(packet);
    PollAgain = true;
  } else if (!UnackedQueue.empty()) {
    const TProtoMessage& oldest = *UnackedQueue.front();
    BuildData(packet, Address, SendSeq, RecvSeq, oldest.Data.get(), oldest.Length);
    link_.SendPacket(packet);
    AckPending = false;
    PollAgain = true;
  } else {
    SendNewData(expectAnswer);
  }

  // Only a lone acknowledgement ends the turn without a token.
  if (!expectAnswer && !PollAgain) return;

  BuildToken(packet, Address);
  link_.SendPacket(packet);

  int answered = 0;
  ReadAnswer(answered);
  UpdateLiveness(answered);
}

void TProtoSlave::SendNewData(bool& expectAnswer) {
  TRawPacket packet;
  int sent = 0;
  for (int i = 0; i < WindowSize; ++i) {
    TProtoMessagePtr message = GetNextPacket();
    if (!message) break;
    if (!BuildData(packet, Address, SendSeq + sent, RecvSeq, message->Data.get(), message->Length)) {
      Log(TLogLevel::Error, "Message of %d bytes does not fit a packet (%d at most), not sent", message->Length,
          kMaxDataPayload);
      continue;
    }
    link_.SendPacket(packet);
    const bool endsBurst = message->EndsBurst;
    UnackedQueue.push_back(std::move(message));
    ++sent;
    if (endsBurst) break;
  }
  if (sent > 0) {
    PollAgain = true;
    AckPending = false;
  } else if (AckPending) {
    BuildAck(packet, Address, RecvSeq);
    link_.SendPacket(packet);
    AckPending = false;
  } else {
    expectAnswer = true;
  }
}

void TProtoSlave::ReadAnswer(int& answered) {
  int budget = kFramesPerTurnBudget;
  uint8_t frame[kMaxPacket];
  for (;;) {
    int length = 0;
    const int r = link_.ReadFrame(frame, length);
    if (r == 0) return;
    if (--budget == 0) return;
    if (r < 0) return;  // the port failed: nothing more will come this turn
    if ((frame[0] & kTokenFlag) == 0) {
      // A frame that fails its CRC is reported and dropped: its bytes cannot be trusted.
      if (!PacketCrcOk(frame, length)) {
        Log(TLogLevel::Warn, "Packet with invalid CRC");
        continue;
      }
      length -= 2;
    }
    const int handled = HandleFrame(frame, length);
    if (handled >= 0) ++answered;
    if (handled == 0) return;
  }
}

void TProtoSlave::UpdateLiveness(int answered) {
  switch (LinkState) {
    case Alive:
      if (answered > 0) {
        PollInterval = 20;
        Score = 0;
      } else {
        Log(TLogLevel::Warn, "No reply from slave");
        --Score;
        if (Score < -DeathThreshold) {
          Dies();
        } else if (Score < -2) {
          PollInterval = 100;
        }
      }
      break;
    case Lost:
      if (answered > 0) {
        Log(TLogLevel::Message, "Reply from slave");
        if (++Score > WakeThreshold) Wakes();
      } else {
        NeedAddress = true;
        Score = 0;
      }
      break;
    case Initial:
      if (answered > 0) {
        Log(TLogLevel::Message, "Reply from slave");
        if (Score < 0) {
          Score = 0;
        } else if (++Score > WakeThreshold) {
          Wakes();
        }
      } else {
        Log(TLogLevel::Message, "No reply from slave");
        if (Score > 0) {
          Score = 0;
        } else if (--Score < -DeathThreshold) {
          Dies();
        }
      }
      break;
  }
}

int TProtoSlave::HandleFrame(const uint8_t* frame, int length) {
  if (length < 1) return -1;
  const int address = frame[0] & 0x7F;
  if (address != Address) {
    Log(TLogLevel::Warn, "Reply from invalid slave 0x%02x", address);
    return -1;
  }
  if (NeedAddress) {
    Log(TLogLevel::Trace, "Address set to %02x", Address);
    NeedAddress = false;
  }
  if (frame[0] & kTokenFlag) return 0;
  if (length < 2) return -1;
  const uint8_t control = frame[1];
  if (control & 0x80) return HandleControl(control, frame, length);
  return HandleData(control, frame, length);
}

int TProtoSlave::HandleControl(uint8_t control, const uint8_t* frame, int length) {
  if (control & 0x40) {
    if ((control & 0xF8) == kCtlAckOnly) return AckUpTo(control & 7);
    Log(TLogLevel::Warn, "Invalid controll 0x%02x", control);
    return -1;
  }
  switch (control) {
    case kCtlResetRequest:
      Log(TLogLevel::Trace, "Slave requested sequence reset");
      SendSeq = 0;
      RecvSeq = 0;
      ResetAckPending = true;
      ResetPending = false;
      AckPending = false;
      return 1;
    case kCtlResetAck:
      Log(TLogLevel::Trace, "Slave acknowledged reset");
      ResetPending = false;
      return 1;
    case kCtlUnnumbered:
      if (length >= 3) Receive(frame + 3, length - 3);
      return 1;
    default:
      Log(TLogLevel::Warn, "Unknown control 0x%02x", control);
      return -1;
  }
}

int TProtoSlave::HandleData(uint8_t control, const uint8_t* frame, int length) {
  const int seq = (control >> 4) & 7;
  const int ack = control & 7;
  if (ResetPending) {
    Log(TLogLevel::Warn, "Data packet received when reset pending");
    return 1;
  }
  if (seq == RecvSeq) {
    if (Receive(frame + 2, length - 2) > 0) RecvSeq = (RecvSeq + 1) & 7;
    AckPending = true;
    return AckUpTo(ack);
  }
  AckPending = true;
  if (((seq - RecvSeq) & 7) == 7) {
    Log(TLogLevel::Warn, "Repeated SEQ from slave");
    AckUpTo(ack);
    return -1;
  }
  Log(TLogLevel::Warn, "Unexpected SEQ from slave");
  return -1;
}

int TProtoSlave::AckUpTo(int ack) {
  const int n = (ack - SendSeq) & 7;
  if (n == 0) return 1;
  if (static_cast<size_t>(n) > UnackedQueue.size()) {
    Log(TLogLevel::Warn, "Slave is acking more than window");
    return -1;
  }
  for (int i = 0; i < n; ++i) UnackedQueue.pop_front();
  SendSeq = (SendSeq + n) & 7;
  return 1;
}

}  // namespace snimac
