// What the main window needs from the platform besides its front end: FTDI
// access, time, the card outputs and the platform's defaults.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "app/paths.h"
#include "cards/attendance_file.h"
#include "cards/line_client.h"
#include "cards/read_time.h"
#include "cards/serial_port.h"
#include "cards/typist.h"
#include "link/clock.h"
#include "link/d2xx.h"
#include "link/protocol.h"

namespace snimac {

struct TPlatformServices {
  TD2xx* d2xx = nullptr;
  TClock* clock = nullptr;
  // Opens the virtual serial port only if it exists; nullptr when it cannot be opened.
  std::function<std::unique_ptr<TSerialPort>()> openSerialPort;
  std::string defaultDbFileName;
  // Opens the attendance file for appending; nullptr when it cannot be
  // opened. Unset: the file on disk (TStdioAttendanceFile).
  std::function<std::unique_ptr<TAttendanceFile>(const std::string& path)> openAttendanceFile;
  std::string defaultLogDir;  // ends with the separator
  TPathStyle pathStyle = NativePathStyle();
  // Where typed card texts go.
  TTypist* typist = nullptr;
  // A new connection to the attendance server, and the server setting
  // ("host" or "host:port", "" for the default).
  std::function<std::unique_ptr<TLineClient>()> makeLineClient;
  std::string serverSetting;
  TDateTimeSeparators dateTimeSeparators;
  // The converter's latency timer the link sets on open (SNIMAC_LATENCY_MS).
  uint8_t latencyMs = TProtocol::kDefaultLatencyMs;
  // Simulation: the link gets no thread of its own; the owner runs its
  // passes (TProtocol::RunPass) on a virtual clock.
  bool manualLink = false;
  // Said once in the status when start-up is done, e.g. that typed texts
  // cannot reach every window on this desktop; empty: nothing to say.
  std::string startNotice;
  // The reader is the built-in simulated one: test firmware images may be written to it.
  bool simulatedReader = false;
};

}  // namespace snimac
