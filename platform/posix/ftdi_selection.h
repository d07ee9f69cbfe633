// Chooses how the program reaches FTDI converters, from SNIMAC_FTDI:
//   tty  (default) the Linux kernel driver; devices from libudev, or the
//        explicit list in SNIMAC_DEVICES ("path|description|serial;...")
//   d2xx FTDI's vendor library libftd2xx.so, loaded at run time
//   sim  the built-in simulated readers (one for each working mode), which
//        present a demonstration card every SNIMAC_SIM_CARD_INTERVAL_MS
//        (default 5000; 0 = never)
#pragma once

#include <memory>
#include <string>

#include "link/clock.h"
#include "link/d2xx.h"
#include "sim/demo_cards.h"
#include "sim/sim_d2xx.h"

namespace snimac {

struct TFtdiAccess {
  std::unique_ptr<TD2xx> d2xx;
  std::string kind;                 // "tty", "d2xx" or "sim"
  sim::TSimD2xx* simBus = nullptr;  // the simulated bus when kind is "sim"
  // Demonstration cards for the simulated readers (destroyed before the bus).
  std::unique_ptr<sim::TDemoCards> demoCards;
};

// Serial numbers of the simulated readers.
constexpr const char* kSimGrabSerial = "SIM00001";
constexpr const char* kSimAttendanceSerial = "SIM00002";

// Throws std::runtime_error with a message for the user when the setting is
// unknown, the device list is malformed or the vendor library is missing.
TFtdiAccess SelectFtdiAccess(TClock& clock);

}  // namespace snimac
