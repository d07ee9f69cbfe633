#include "platform/posix/posix_platform.h"

#include <clocale>
#include <cstdlib>
#include <exception>

#include "app/latency_setting.h"
#include "cards/keyboard_typist.h"
#include "platform/posix/d2xx_library.h"
#include "platform/posix/locale_separators.h"
#include "platform/posix/posix_texts.h"
#include "platform/posix/tcp_line_client.h"
#include "platform/posix/thread_namer.h"
#include "platform/posix/tty_d2xx.h"
#include "platform/posix/tty_discovery.h"
#include "platform/posix/tty_serial_port.h"
#include "platform/posix/typing_choice.h"
#include "platform/posix/user_dirs.h"
#include "platform/posix/x11_keyboard.h"

namespace snimac {

namespace {

TFtdiDrivers LinuxFtdiDrivers() {
  TFtdiDrivers drivers;
  drivers.defaultKind = "tty";
  drivers.serialDriver = [] { return std::make_unique<TTtyD2xx>([] { return DiscoverFtdiTtys(); }); };
  drivers.listedDevices = [](std::vector<TListedDevice> devices) {
    return std::make_unique<TTtyD2xx>([devices] { return devices; });
  };
  drivers.vendorLibrary = [] { return std::make_unique<TD2xxLibrary>(); };
  return drivers;
}

std::string HomeOr(const char* fallback) {
  const char* home = std::getenv("HOME");
  return home && *home ? std::string(home) + "/" : fallback;
}

}  // namespace

std::optional<std::string> EnvironmentSetting(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  if (!value) return std::nullopt;
  return std::string(value);
}

TPosixPlatform::TPosixPlatform(std::unique_ptr<TTypist> typistWithoutDisplay) {
  InstallPosixThreadNamer();
  std::setlocale(LC_ALL, "");
  ftdi_ = SelectFtdiAccess(EnvironmentSetting, clock_, LinuxFtdiDrivers());

  const TTypingChoice typing = ChooseTyping(EnvironmentSetting);
  std::string notice = WaylandTypingNote(typing);
  if (typing == TTypingChoice::X11 || typing == TTypingChoice::X11UnderWayland) {
    const std::string display = EnvironmentSetting("DISPLAY").value_or("");
    try {
      keyboard_ = std::make_unique<TX11Keyboard>(display);
      typist_ = std::make_unique<TKeyboardTypist>(*keyboard_, clock_);
      typingNote_ = posix_texts::kTypingIntoDisplay + display;
    } catch (const std::exception&) {
      // In a Wayland session XWayland may refuse us; the other outputs
      // still work there. On a plain X11 desktop a display that cannot be
      // used is a fault of the set-up, reported as such.
      if (typing == TTypingChoice::X11) throw;
      notice = WaylandTypingNote(TTypingChoice::WaylandOnly);
    }
  }
  if (!typist_) {
    typist_ = std::move(typistWithoutDisplay);
    typingNote_ = typist_ ? posix_texts::kTypingAsLines : posix_texts::kTypingNowhere;
  }
  if (!notice.empty()) typingNote_ = notice;
  const TLatencySetting latency = ParseLatencySetting(EnvironmentSetting("SNIMAC_LATENCY_MS"));
  services_.latencyMs = latency.ms;
  services_.startNotice = WithNotice(notice, latency.notice);

  services_.d2xx = ftdi_.d2xx.get();
  services_.clock = &clock_;
  services_.defaultDbFileName = HomeOr("") + "vestibar/vestibar.db";
  // Per-user, so that no other local user can plant a symlink or FIFO there.
  const std::string stateDir = UserStateDir(EnvironmentSetting);
  services_.defaultLogDir = stateDir.empty() ? "./" : stateDir;
  services_.pathStyle = TPathStyle::Posix;
  const std::string serialPath = SerialPortPathFromEnvironment(EnvironmentSetting);
  services_.openSerialPort = [serialPath] { return OpenTtySerialPort(serialPath); };
  services_.typist = typist_.get();
  services_.makeLineClient = [] { return std::make_unique<TTcpLineClient>(); };
  services_.serverSetting = ServerSettingFromEnvironment();
  services_.dateTimeSeparators = LocaleDateTimeSeparators();
  services_.simulatedReader = ftdi_.kind == "sim";
}

// The typist goes before the keyboard it types on.
TPosixPlatform::~TPosixPlatform() { typist_.reset(); }

}  // namespace snimac
