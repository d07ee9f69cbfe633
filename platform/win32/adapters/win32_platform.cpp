#include "platform/win32/adapters/win32_platform.h"

#include "app/latency_setting.h"
#include "cards/keyboard_typist.h"
#include "platform/win32/adapters/com_port_d2xx.h"
#include "platform/win32/adapters/d2xx_dll.h"
#include "platform/win32/adapters/wide_text.h"
#include "platform/win32/adapters/win32_locale_separators.h"
#include "platform/win32/adapters/win32_serial_port.h"
#include "platform/win32/adapters/win32_thread_namer.h"
#include "platform/win32/adapters/win32_thread_watch.h"
#include "platform/win32/adapters/winsock_line_client.h"

namespace snimac {

namespace {
constexpr const char* kDefaultDbFileName = "d:\\vestibar\\vestibar.db";
constexpr const char* kDefaultLogDir = "d:\\temp\\";
}  // namespace

TFtdiDrivers WindowsFtdiDrivers() {
  TFtdiDrivers drivers;
  drivers.defaultKind = "d2xx";
  drivers.listedDevices = [](std::vector<TListedDevice> devices) {
    return std::make_unique<TComPortD2xx>(std::move(devices));
  };
  drivers.vendorLibrary = [] { return std::make_unique<TD2xxDll>(); };
  return drivers;
}

TWin32Platform::TWin32Platform() {
  InstallWin32ThreadNamer();
  InstallWin32ThreadWatch();
  ftdi_ = SelectFtdiAccess(EnvironmentUtf8, clock_, WindowsFtdiDrivers());
  typist_ = std::make_unique<TKeyboardTypist>(keyboard_, clock_);

  services_.d2xx = ftdi_.d2xx.get();
  services_.clock = &clock_;
  services_.defaultDbFileName = kDefaultDbFileName;
  services_.defaultLogDir = kDefaultLogDir;
  services_.pathStyle = TPathStyle::Windows;
  const std::string serialPath = SerialPortPathFromEnvironment();
  services_.openSerialPort = [serialPath] { return OpenWin32SerialPort(serialPath); };
  services_.typist = typist_.get();
  services_.makeLineClient = [] { return std::make_unique<TWinsockLineClient>(); };
  services_.serverSetting = ServerSettingFromEnvironment();
  services_.dateTimeSeparators = UserDateTimeSeparators();
  services_.simulatedReader = ftdi_.kind == "sim";
  const TLatencySetting latency = ParseLatencySetting(EnvironmentUtf8("SNIMAC_LATENCY_MS"));
  services_.latencyMs = latency.ms;
  services_.startNotice = latency.notice;
}

TWin32Platform::~TWin32Platform() = default;

}  // namespace snimac
