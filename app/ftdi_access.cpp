#include "app/ftdi_access.h"

#include <cstdlib>
#include <stdexcept>

#include "app/texts.h"
#include "sim/sim_reader_settings.h"

namespace snimac {

namespace {

constexpr int kDefaultDemoCardIntervalMs = 5000;

std::unique_ptr<TD2xx> Required(std::unique_ptr<TD2xx> d2xx, const std::string& kind) {
  if (!d2xx) throw std::runtime_error(texts::With(texts::kErrFtdiMissing, kind));
  return d2xx;
}

}  // namespace

TFtdiAccess SimulatedFtdiAccess(const TSettingReader& setting, TClock& clock) {
  TFtdiAccess access;
  access.kind = "sim";
  auto bus = std::make_unique<sim::TSimD2xx>(clock);
  // Both readers take the SNIMAC_SIM_* settings (family, version, faults).
  const sim::TSimReaderConfig config =
      sim::SimReaderConfigFromSettings([&setting](const std::string& name) { return setting(name).value_or(""); });
  sim::TSimReader& grab = bus->AddDevice("Snimac simulated reader", kSimGrabSerial, config);
  sim::TSimReader& attendance = bus->AddDevice("Snimac simulated evid reader", kSimAttendanceSerial, config);
  access.simBus = bus.get();
  access.d2xx = std::move(bus);
  const std::string interval = setting("SNIMAC_SIM_CARD_INTERVAL_MS").value_or("");
  const int intervalMs = interval.empty() ? kDefaultDemoCardIntervalMs : std::atoi(interval.c_str());
  if (intervalMs > 0) {
    access.demoCards = std::make_unique<sim::TDemoCards>(std::vector<sim::TSimReader*>{&grab, &attendance}, intervalMs);
  }
  return access;
}

TFtdiAccess SelectFtdiAccess(const TSettingReader& setting, TClock& clock, const TFtdiDrivers& drivers) {
  const std::string chosen = setting("SNIMAC_FTDI").value_or("");
  TFtdiAccess access;
  access.kind = chosen.empty() ? drivers.defaultKind : chosen;
  if (access.kind == "sim") return SimulatedFtdiAccess(setting, clock);
  if (access.kind != "tty" && access.kind != "d2xx") throw std::runtime_error(texts::With(texts::kErrFtdiKind, access.kind));
  // Parsed once, up front, so that a typing mistake is reported at start.
  if (const std::optional<std::string> list = setting("SNIMAC_DEVICES")) {
    access.d2xx = drivers.listedDevices ? drivers.listedDevices(ParseDeviceList(*list)) : nullptr;
  } else if (access.kind == "tty") {
    access.d2xx = drivers.serialDriver ? drivers.serialDriver() : nullptr;
  } else {
    access.d2xx = drivers.vendorLibrary ? drivers.vendorLibrary() : nullptr;
  }
  access.d2xx = Required(std::move(access.d2xx), access.kind);
  return access;
}

}  // namespace snimac
