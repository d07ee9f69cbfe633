#include "platform/posix/ftdi_selection.h"

#include <cstdlib>
#include <stdexcept>

#include "platform/posix/d2xx_library.h"
#include "platform/posix/tty_d2xx.h"
#include "platform/posix/tty_discovery.h"
#include "sim/sim_reader_settings.h"

namespace snimac {

namespace {

constexpr int kDefaultDemoCardIntervalMs = 5000;

std::string Env(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  return value ? value : "";
}

std::unique_ptr<TD2xx> MakeTtyAccess() {
  if (const char* list = std::getenv("SNIMAC_DEVICES")) {
    // Parsed once, up front, so that a typing mistake is reported at start.
    std::vector<TTtyDevice> devices = ParseDeviceList(list);
    return std::make_unique<TTtyD2xx>([devices] { return devices; });
  }
  return std::make_unique<TTtyD2xx>([] { return DiscoverFtdiTtys(); });
}

}  // namespace

TFtdiAccess SelectFtdiAccess(TClock& clock) {
  const std::string kind = Env("SNIMAC_FTDI").empty() ? "tty" : Env("SNIMAC_FTDI");
  TFtdiAccess access;
  access.kind = kind;
  if (kind == "tty") {
    access.d2xx = MakeTtyAccess();
  } else if (kind == "d2xx") {
    access.d2xx = std::make_unique<TD2xxLibrary>();
  } else if (kind == "sim") {
    auto bus = std::make_unique<sim::TSimD2xx>(clock);
    // Both readers take the SNIMAC_SIM_* settings (family, version, faults).
    const sim::TSimReaderConfig config = sim::SimReaderConfigFromSettings(Env);
    sim::TSimReader& grab = bus->AddDevice("Snimac simulated reader", kSimGrabSerial, config);
    sim::TSimReader& attendance = bus->AddDevice("Snimac simulated evid reader", kSimAttendanceSerial, config);
    access.simBus = bus.get();
    access.d2xx = std::move(bus);
    const std::string interval = Env("SNIMAC_SIM_CARD_INTERVAL_MS");
    const int intervalMs = interval.empty() ? kDefaultDemoCardIntervalMs : std::atoi(interval.c_str());
    if (intervalMs > 0) {
      access.demoCards = std::make_unique<sim::TDemoCards>(std::vector<sim::TSimReader*>{&grab, &attendance}, intervalMs);
    }
  } else {
    throw std::runtime_error("Neznámý způsob přístupu k FTDI SNIMAC_FTDI='" + kind + "' (tty, d2xx, sim)");
  }
  return access;
}

}  // namespace snimac
