// What a simulated reader (sim_reader.h) is set up with, and what it counts.
// Its parts (frame receiver, link slave, application) read the one and add
// to the other.
#pragma once

#include <cstdint>
#include <string>

#include "sim/sim_loader_config.h"

namespace snimac::sim {

struct TSimReaderConfig {
  // Device identity matched by the address assignment (0xFFFFFFFF matches any).
  uint32_t identity = 0x00012345;
  // Version text sent in 8-character VersionFragment messages (0x85).
  std::string version = "MXT_A FW v4.0 Sep  1 2011";
  // Address at power-on; 0 = none until an address assignment arrives.
  uint8_t address = 0;
  // Most numbered packets unacknowledged at once.
  int windowSize = 4;
  // Unacknowledged packets are sent again at this token after their
  // transmission when no ACK came in between (see the resend policy).
  int resendAfterTokens = 2;
  // Frames in one answer, the reader's own token included.
  int maxFramesPerAnswer = 9;
  // Whether unacknowledged packets survive a sequence reset (sent again from
  // SEQ 0) or are dropped.
  bool keepUnackedOnReset = true;
  // Whether VersionRequest (0x0A) is answered.
  bool answerVersionRequest = true;
  // The reader family and its loader; the default has none.
  TSimLoaderConfig loader;
};

struct TSimReaderStats {
  uint64_t bytesReceived = 0;
  uint64_t framesReceived = 0;     // complete frames with a good CRC (any address), tokens excluded
  uint64_t badCrcFrames = 0;       // dropped: CRC check failed
  uint64_t malformedFrames = 0;    // dropped: too short, too long, dangling escape, cut by 0xC0
  uint64_t framesForOthers = 0;    // good frames for another address (or before an address)
  uint64_t tokensReceived = 0;     // tokens for any address
  uint64_t tokensAnswered = 0;     // tokens for this reader, answered
  uint64_t addressAssignments = 0; // accepted
  uint64_t addressRefused = 0;     // identity did not match
  uint64_t resetRequestsReceived = 0;  // master's 0x81
  uint64_t resetAcksReceived = 0;      // master's 0x82
  uint64_t resetRequestsSent = 0;      // own 0x81
  uint64_t resetAcksSent = 0;          // own 0x82
  uint64_t dataDelivered = 0;      // master data in sequence, delivered to the application
  uint64_t dataRepeated = 0;       // master data with SEQ one below the expected one
  uint64_t dataUnexpected = 0;     // master data out of order
  uint64_t dataIgnored = 0;        // master data while unsynchronised / own reset pending
  uint64_t acksReceived = 0;       // ACK-only packets from the master
  uint64_t invalidAcks = 0;        // ACK beyond the unacknowledged packets
  uint64_t unknownControl = 0;     // control codes the reader does not handle
  uint64_t unnumberedReceived = 0; // 0x83 packets at the reader's address
  uint64_t dataSent = 0;           // new numbered packets
  uint64_t dataResent = 0;         // numbered packets sent again
  uint64_t ackOnlySent = 0;
  uint64_t unnumberedSent = 0;
  uint64_t goBackEvents = 0;       // times all unacknowledged packets were marked for resending
  uint64_t bytesWhileDown = 0;     // bytes that arrived while the reader was down (restart, hang)
  uint64_t restarts = 0;           // comebacks after the restart command (H8)
  uint64_t programSwitches = 0;    // application <-> loader (AVR)
};

}  // namespace snimac::sim
