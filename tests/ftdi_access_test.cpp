// The choice of FTDI access from the settings, the same on every system:
// which of the system's drivers is used, the explicit device list, the
// simulated readers, and the messages for a wrong setting.
#include "app/ftdi_access.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "sim/virtual_clock.h"
#include "tests/support/scripted_d2xx.h"

namespace snimac::test {
namespace {

// The system's drivers as stand-ins that remember which one was asked for.
struct TDrivers {
  sim::TVirtualClock clock;
  std::string used;
  std::vector<TListedDevice> listed;
  TFtdiDrivers drivers;

  explicit TDrivers(bool withSerialDriver = true) {
    drivers.defaultKind = "tty";
    if (withSerialDriver) {
      drivers.serialDriver = [this] {
        used = "serial driver";
        return std::make_unique<TScriptedD2xx>(clock);
      };
    }
    drivers.listedDevices = [this](std::vector<TListedDevice> devices) {
      used = "listed devices";
      listed = std::move(devices);
      return std::make_unique<TScriptedD2xx>(clock);
    };
    drivers.vendorLibrary = [this] {
      used = "vendor library";
      return std::make_unique<TScriptedD2xx>(clock);
    };
  }
};

TSettingReader Settings(std::map<std::string, std::string> values) {
  return [values](const std::string& name) -> std::optional<std::string> {
    const auto it = values.find(name);
    if (it == values.end()) return std::nullopt;
    return it->second;
  };
}

TEST(FtdiAccess, TheSettingsChooseTheDriver) {
  const struct {
    std::map<std::string, std::string> settings;
    std::string kind;
    std::string used;
  } cases[] = {
      {{}, "tty", "serial driver"},
      {{{"SNIMAC_FTDI", ""}}, "tty", "serial driver"},
      {{{"SNIMAC_FTDI", "tty"}}, "tty", "serial driver"},
      {{{"SNIMAC_FTDI", "d2xx"}}, "d2xx", "vendor library"},
      {{{"SNIMAC_DEVICES", "/dev/pts/3|Reader|A1B2"}}, "tty", "listed devices"},
      // A list names the devices: the vendor library is not needed for them.
      {{{"SNIMAC_FTDI", "d2xx"}, {"SNIMAC_DEVICES", "COM5|Reader|A1B2"}}, "d2xx", "listed devices"},
      // Set but empty: no devices at all, not discovery.
      {{{"SNIMAC_DEVICES", ""}}, "tty", "listed devices"},
  };
  sim::TVirtualClock clock;
  for (const auto& c : cases) {
    TDrivers system;
    const TFtdiAccess access = SelectFtdiAccess(Settings(c.settings), clock, system.drivers);
    EXPECT_EQ(access.kind, c.kind);
    EXPECT_EQ(system.used, c.used);
    EXPECT_NE(access.d2xx, nullptr);
    EXPECT_EQ(access.simBus, nullptr);
  }

  TDrivers system;
  SelectFtdiAccess(Settings({{"SNIMAC_DEVICES", " COM5|Reader|A1B2 ; COM7|Evid reader|C3"}}), clock, system.drivers);
  ASSERT_EQ(system.listed.size(), 2u);
  EXPECT_EQ(system.listed[1].path, "COM7");
  EXPECT_EQ(system.listed[1].serial, "C3");
}

TEST(FtdiAccess, SimulatedReadersForBothModesWithDemoCards) {
  sim::TVirtualClock clock;
  TDrivers system;
  TFtdiAccess access = SelectFtdiAccess(Settings({{"SNIMAC_FTDI", "sim"}}), clock, system.drivers);
  EXPECT_EQ(system.used, "");
  ASSERT_NE(access.simBus, nullptr);
  EXPECT_EQ(access.d2xx.get(), access.simBus);
  EXPECT_NE(access.demoCards, nullptr);
  uint32_t count = 0;
  ASSERT_EQ(access.d2xx->ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
  ASSERT_EQ(count, 2u);
  char serial[kFtStringSize] = {};
  char description[kFtStringSize] = {};
  access.d2xx->ListDevices(reinterpret_cast<void*>(uintptr_t{1}), serial, FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER);
  access.d2xx->ListDevices(reinterpret_cast<void*>(uintptr_t{1}), description,
                           FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION);
  EXPECT_STREQ(serial, kSimAttendanceSerial);
  EXPECT_NE(std::string(description).find("evid"), std::string::npos);

  const TFtdiAccess quiet =
      SelectFtdiAccess(Settings({{"SNIMAC_FTDI", "sim"}, {"SNIMAC_SIM_CARD_INTERVAL_MS", "0"}}), clock, system.drivers);
  EXPECT_EQ(quiet.demoCards, nullptr);
  EXPECT_THROW(SelectFtdiAccess(Settings({{"SNIMAC_FTDI", "sim"}, {"SNIMAC_SIM_FAMILY", "z80"}}), clock, system.drivers),
               std::invalid_argument);
}

TEST(FtdiAccess, AWrongSettingIsReportedForTheUser) {
  sim::TVirtualClock clock;
  const struct {
    std::map<std::string, std::string> settings;
    bool withSerialDriver;
    std::string message;
  } cases[] = {
      {{{"SNIMAC_FTDI", "usb"}}, true, "Neznámý způsob přístupu k FTDI SNIMAC_FTDI='usb' (tty, d2xx, sim)"},
      {{{"SNIMAC_FTDI", "tty"}}, false, "Způsob přístupu k FTDI SNIMAC_FTDI='tty' není v tomto systému k dispozici"},
      {{{"SNIMAC_DEVICES", "COM5|Reader"}}, true, "SNIMAC_DEVICES: položka 'COM5|Reader' nemá tvar cesta|popis|sériové číslo"},
  };
  for (const auto& c : cases) {
    TDrivers system(c.withSerialDriver);
    try {
      SelectFtdiAccess(Settings(c.settings), clock, system.drivers);
      ADD_FAILURE() << "accepted: " << c.message;
    } catch (const std::exception& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
    EXPECT_EQ(system.used, "");
  }
}

}  // namespace
}  // namespace snimac::test
