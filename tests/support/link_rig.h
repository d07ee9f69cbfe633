// One link on a virtual clock over the scripted D2XX, with an endpoint at
// address 1, and helpers to write the reader's side of a poll turn by hand.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "link/packet.h"
#include "link/proto_slave.h"
#include "link/protocol.h"
#include "sim/virtual_clock.h"
#include "tests/support/memory_log.h"
#include "tests/support/scripted_d2xx.h"

namespace snimac::test {

// Frames as the reader would send them.
TBytes SlaveToken(int address = 1);
TBytes SlaveControl(uint8_t control, int address = 1);
TBytes SlaveData(int seq, int ack, const TBytes& payload, int address = 1);
TBytes SlaveUnnumbered(const TBytes& payloadWithSubType, int address = 1);
TBytes Concat(const std::vector<TBytes>& frames);

struct TLinkRig {
  TLinkRig();
  ~TLinkRig();

  // Every token the master sends is answered with the next scripted answer
  // (nothing when none is left: a silent turn).
  std::deque<TBytes> answers;
  void Answer(const std::vector<TBytes>& frames) { answers.push_back(Concat(frames)); }

  // Frames written since the last call, as hex text.
  std::vector<std::string> TakeWrites();
  // Runs one poll turn of the endpoint and returns what it wrote.
  std::vector<std::string> Turn();
  // Brings the endpoint to Alive with the reset handshake done.
  void MakeAlive();
  // The received messages waiting for the window, as hex text.
  std::vector<std::string> Received();
  void Queue(const TBytes& payload, bool endsBurst = true);

  sim::TVirtualClock clock;
  TScriptedD2xx d2xx{clock};
  TMemoryLog log;
  TProtocol link{d2xx, clock, &log, TThreadWatch::Forever(), TProtocol::TStart::Manual};
  std::unique_ptr<TProtoSlave> slave;
  size_t writesSeen = 0;
};

}  // namespace snimac::test
