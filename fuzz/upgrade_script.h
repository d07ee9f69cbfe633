// The upgrade harness's input, shared with the seed generator: what the
// reader's loader and the link do, one operation after the other.
//
// op := byte % kOperationCount, then its arguments:
//   kStep          the link asks the procedure for its next command
//   kReply         length byte, bytes: any reply from the reader
//   kResult        code byte: a loader result for the last erase or page write
//   kBankReply     choice byte: 88 09 with no value, 10 00, 80 00, or two more bytes
//   kAddressReply  four bytes: 88 01 and the reported address
//   kLinkEvent     byte: even, the reader wakes; odd, it dies
//   kTimeout       the 10 s time-out passes
//   kGoodLoader    byte n: up to 4 n commands answered as a working loader does
//   kClose         byte: the user's close box, bit 0 the answer to the question
#pragma once

#include <cstdint>

namespace snimac::fuzz {

enum TUpgradeOperation : uint8_t {
  kStep,
  kReply,
  kResult,
  kBankReply,
  kAddressReply,
  kLinkEvent,
  kTimeout,
  kGoodLoader,
  kClose,
  kOperationCount
};

}  // namespace snimac::fuzz
