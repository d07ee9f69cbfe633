// The program's own user-visible texts (UTF-8; front ends convert at the edge).
#pragma once

namespace snimac::texts {

inline constexpr const char* kApplicationTitle = "Snímač karet";
inline constexpr const char* kErrorCaption = "Chyba";
// The main window's caption.
inline constexpr const char* kMainWindowCaption = "Snímač";
inline constexpr const char* kVersion = "v1.15-QRX";
inline constexpr const char* kPmdpSuffix = "-PK";
inline constexpr const char* kModeAttendance = "Vestibar";
inline constexpr const char* kModeGrab = "Grab";
inline constexpr const char* kStatusInit = "Inicializace";
inline constexpr const char* kStatusReady = "Ready";
inline constexpr const char* kStatusNoLink = "Nekomunikuje";
// The firmware version the program carries for the reader.
inline constexpr const char* kCarriedFirmwareVersion = "v4.0";
inline constexpr const char* kUpgradeQuestionHead = "Verze firmware ve snímači (";
inline constexpr const char* kUpgradeQuestionTail =
    ") není aktualní.\nNahrání nové verze trvá asi 3 minuty. Pokud jste již aktualizaci spouštěli,\n"
    "kontaktujte prosim HelpDesk (100 20 3000) a aktualizaci odmítněte.\nAktualizovat snímač?";
inline constexpr const char* kUpgradeLogSource = "Upgrade";
// Source of the attendance file's lines in the link log.
inline constexpr const char* kAttendanceLogSource = "Vestibar";

inline constexpr const char* kErrArgument = "Neplatný argument '%s'";
inline constexpr const char* kErrPrefix = "Neplatný prefix '%s'";
inline constexpr const char* kErrCount = "FT_ListDevices(count) failed";
inline constexpr const char* kErrNoReader = "Nebyl nalezen použitelny snímač";
inline constexpr const char* kErrSerialPort = "Nepodařilo se otevřít port CNCB0, zkontrolujte instalaci com0com";
inline constexpr const char* kErrOpenReader = "Nepodařilo se otevřít snímač '%s'";
inline constexpr const char* kErrCreateDir = "Nepodařilo se vytvořit adresář '%s'";
inline constexpr const char* kErrOpenFile = "Nepodařilo se otevřít soubor '%s'";
inline constexpr const char* kErrUnsavedReads = "Tato čtení se nepodařilo uložit do souboru '%s':";
inline constexpr const char* kErrFtdiKind = "Neznámý způsob přístupu k FTDI SNIMAC_FTDI='%s' (tty, d2xx, sim)";
inline constexpr const char* kErrFtdiMissing = "Způsob přístupu k FTDI SNIMAC_FTDI='%s' není v tomto systému k dispozici";
// SNIMAC_DEVICES: each message follows "SNIMAC_DEVICES: položka '<entry>' ".
inline constexpr const char* kErrDeviceEntry = "SNIMAC_DEVICES: položka '%s' ";
inline constexpr const char* kErrDeviceShape = "nemá tvar cesta|popis|sériové číslo";
inline constexpr const char* kDeviceFieldNames[] = {"cesta", "popis", "sériové číslo"};
inline constexpr const char* kErrDeviceMissingField = " (chybí %s)";
inline constexpr const char* kErrDeviceSerialTwice = "opakuje sériové číslo '%s'";
inline constexpr const char* kErrServerSetting = "Neplatná adresa serveru SNIMAC_SERVER '%s'";
inline constexpr const char* kNoteLatencySetting = "Neplatné zpoždění převodníku SNIMAC_LATENCY_MS '%s' (1–255 ms), platí 2 ms";

}  // namespace snimac::texts

#include <string>

namespace snimac::texts {

// The message with its one "%s" replaced by `value`.
inline std::string With(const char* message, const std::string& value) {
  std::string out = message;
  const auto at = out.find("%s");
  if (at != std::string::npos) out.replace(at, 2, value);
  return out;
}

}  // namespace snimac::texts
