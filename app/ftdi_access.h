// How the program reaches FTDI converters, chosen from the settings the same
// way on every system:
//   SNIMAC_FTDI     "tty"  the system's serial driver (Linux: ftdi_sio ttys
//                          found with libudev)
//                   "d2xx" the converter maker's library, loaded at run time
//                   "sim"  the built-in simulated readers, one for each working
//                          mode, presenting a demonstration card every
//                          SNIMAC_SIM_CARD_INTERVAL_MS (default 5000; 0 = never)
//                   unset: the system's default kind
//   SNIMAC_DEVICES  an explicit device list ("path|description|serial;…",
//                   app/device_list.h) that replaces discovery: the listed
//                   devices are opened through the system's serial driver,
//                   whatever SNIMAC_FTDI names (except "sim")
// The system supplies the drivers; the choice, the list and the simulator
// are the same everywhere.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/device_list.h"
#include "link/clock.h"
#include "link/d2xx.h"
#include "sim/demo_cards.h"
#include "sim/sim_d2xx.h"

namespace snimac {

// A setting by name (an environment variable); nothing when it is not set.
using TSettingReader = std::function<std::optional<std::string>(const std::string& name)>;

// The FTDI access a system offers. Each factory may throw std::runtime_error
// with a message for the user (a missing library, a failing discovery).
struct TFtdiDrivers {
  std::string defaultKind;  // "tty" or "d2xx"
  // The system's serial driver over its own discovery; empty when the system has none.
  std::function<std::unique_ptr<TD2xx>()> serialDriver;
  // The system's serial driver over the listed devices.
  std::function<std::unique_ptr<TD2xx>(std::vector<TListedDevice>)> listedDevices;
  // The converter maker's library.
  std::function<std::unique_ptr<TD2xx>()> vendorLibrary;
};

struct TFtdiAccess {
  std::unique_ptr<TD2xx> d2xx;
  std::string kind;                 // "tty", "d2xx" or "sim"
  sim::TSimD2xx* simBus = nullptr;  // the simulated bus when kind is "sim"
  // Demonstration cards for the simulated readers (destroyed before the bus).
  std::unique_ptr<sim::TDemoCards> demoCards;
};

// Serial numbers of the simulated readers.
inline constexpr const char* kSimGrabSerial = "SIM00001";
inline constexpr const char* kSimAttendanceSerial = "SIM00002";

// The built-in simulated readers ("sim" above) on `clock`, with their
// demonstration cards; also what the stand-in FTD2XX.DLL serves. Throws
// std::invalid_argument for a malformed simulator setting.
TFtdiAccess SimulatedFtdiAccess(const TSettingReader& setting, TClock& clock);

// Throws std::runtime_error (or std::invalid_argument for a malformed list
// or simulator setting) with a message for the user.
TFtdiAccess SelectFtdiAccess(const TSettingReader& setting, TClock& clock, const TFtdiDrivers& drivers);

}  // namespace snimac
