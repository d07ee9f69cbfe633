// What the simulated reader runs besides its card application: the reader
// family, its loader's settings, timings and faults (TSimReaderConfig::loader).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace snimac::sim {

enum class TSimReaderFamily {
  None,  // the card application alone: loader commands are ignored
  H8,    // two application banks; the running one writes the other (sim_h8_loader.h)
  Avr,   // an application and a resident loader (sim_avr_loader.h)
};

// H8 application banks: low from 0x1000 (flash block 4), high from 0x8000
// (blocks 5 and 6).
enum class TSimBank { Low, High };

// The loader operations a fault can hit.
enum class TSimLoaderOp {
  InfoQuery,  // target: the selector
  Erase,      // target: the block
  PageWrite,  // target: the page address
};

// One configured loader fault. An erase or page write hit by a fault is not
// carried out (the flash stays as it was); what the master gets instead is
// the fault's action. An info query hit by a Result fault gets no answer.
struct TSimLoaderFault {
  static constexpr uint32_t kAnyTarget = 0xFFFFFFFFu;
  enum class TAction {
    Result,   // loader result with `result` as its code, after the flash time
    Silence,  // no answer at all: the master's time-out decides
    Reply,    // `reply` (1..32 bytes) sent as it is instead of the answer
  };

  TSimLoaderOp op = TSimLoaderOp::PageWrite;
  uint32_t target = kAnyTarget;
  TAction action = TAction::Silence;
  uint8_t result = 0;
  std::vector<uint8_t> reply;
  int times = 1;  // commands hit; -1: every one

  static TSimLoaderFault Result(TSimLoaderOp op, uint32_t target, uint8_t result, int times = 1) {
    return {op, target, TAction::Result, result, {}, times};
  }
  static TSimLoaderFault Silence(TSimLoaderOp op, uint32_t target, int times = 1) {
    return {op, target, TAction::Silence, 0, {}, times};
  }
  static TSimLoaderFault Reply(TSimLoaderOp op, uint32_t target, std::vector<uint8_t> reply, int times = 1) {
    return {op, target, TAction::Reply, 0, std::move(reply), times};
  }
};

struct TSimLoaderConfig {
  TSimReaderFamily family = TSimReaderFamily::None;
  // H8: the bank running at power-on.
  TSimBank runningBank = TSimBank::Low;
  // Value of the answer to info query 0x01; unset: 0x2400 (H8), 0xA000 (AVR).
  std::optional<uint32_t> reportedAddress;
  // The two bytes after 0x12 that arm the next erase or page write.
  std::array<uint8_t, 2> unlockCode{0x5A, 0xA5};
  // Flash times, from the command's arrival to its loader result.
  int64_t eraseUs = 50000;
  int64_t pageWriteUs = 10000;
  // H8: the reader hears and answers nothing for this long after it has
  // acknowledged the restart command, then comes back power-cycled.
  int64_t restartUs = 1500000;
  // H8: after the restart command the reader comes back only when it is
  // power-cycled (unplugged and plugged in again).
  bool staysDownAfterRestart = false;
  // AVR: once switched to the loader (or back to the application) the reader
  // answers nothing until it is power-cycled.
  bool loaderNeverAnswers = false;
  bool applicationNeverAnswersAgain = false;
  std::vector<TSimLoaderFault> faults;
};

}  // namespace snimac::sim
