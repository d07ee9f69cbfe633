#include "app/help_text.h"

#include <string_view>

#include "cards/server_address.h"
#include "link/protocol.h"

// Set by the build from the project's version (app/CMakeLists.txt).
#ifndef SNIMAC_PROJECT_VERSION
#error "SNIMAC_PROJECT_VERSION must be defined by the build"
#endif

namespace snimac {

namespace {

// One row of a two-column table: what the user types, and what it means.
// `text` may hold several lines separated by '\n'.
struct TRow {
  std::string syntax;
  std::string text;
};

// What differs between the programs and systems.
struct TProgramFacts {
  const char* name;
  const char* intro;
  const char* defaultDbFileName;
  const char* defaultLogDir;
  const char* ftdiKinds;
  const char* devicesExample;
  const char* defaultSerialPort;
  const char* display;  // nullptr: no X11 on this system
  const char* footer;
};

constexpr const char* kLinuxLogDir = "$XDG_STATE_HOME/snimac/,\njinak ~/.local/state/snimac/";
constexpr const char* kLinuxFtdiKinds =
    "tty (ovladač jádra),\nd2xx (knihovna libftd2xx.so), sim (vestavěné simulované\nsnímače); výchozí tty";
constexpr const char* kLinuxDevicesExample = "/dev/ttyUSB0|Snímač|A1B2";
constexpr const char* kLinuxSerialPort = "$XDG_RUNTIME_DIR/snimac-cncb0";

TProgramFacts FactsOf(THelpProgram program) {
  switch (program) {
    case THelpProgram::LinuxDesktop:
      return {"snimac",
              "Snímač karet: čte karty ze snímače za převodníkem FTDI a píše je do okna\n"
              "s fokusem, posílá na virtuální sériový port nebo docházkovému serveru.\n"
              "Žije v oznamovací oblasti; okno „Snímač“ otevře dvojklik na ikonu.\n",
              "~/vestibar/vestibar.db",
              kLinuxLogDir,
              kLinuxFtdiKinds,
              kLinuxDevicesExample,
              kLinuxSerialPort,
              "displej X11, do jehož okna s fokusem se karty píší",
              "Podrobnosti: man snimac\n"};
    case THelpProgram::LinuxConsole:
      return {"snimac-headless",
              "Snímač karet bez oken: stav, verze snímače a každé čtení jsou řádky\n"
              "na standardním výstupu, hlášení a dotazy na standardním chybovém výstupu\n"
              "(odpověď z terminálu). SIGINT a SIGTERM běh řádně ukončí (kód 0),\n"
              "chyba při spuštění vrací kód 1.\n",
              "~/vestibar/vestibar.db",
              kLinuxLogDir,
              kLinuxFtdiKinds,
              kLinuxDevicesExample,
              kLinuxSerialPort,
              "displej X11, do jehož okna s fokusem se karty píší;\n"
              "bez něj je každý psaný text řádkem na standardním výstupu",
              "Podrobnosti: man snimac-headless\n"};
    case THelpProgram::Windows:
      break;
  }
  return {"snimac.exe",
          "Snímač karet: čte karty ze snímače za převodníkem FTDI a píše je do okna\n"
          "s fokusem, posílá na virtuální sériový port nebo docházkovému serveru.\n"
          "Žije v oznamovací oblasti; okno „Snímač“ otevře dvojklik na ikonu.\n",
          "d:\\vestibar\\vestibar.db",
          "d:\\temp\\",
          "d2xx (knihovna\nFTD2XX.DLL), sim (vestavěné simulované snímače);\nvýchozí d2xx",
          "COM5|Snímač|A1B2",
          "\\\\.\\CNCB0",
          nullptr,
          ""};
}

// Columns a UTF-8 text takes on a terminal: one per character.
size_t DisplayWidth(std::string_view text) {
  size_t width = 0;
  for (const char c : text) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++width;
  }
  return width;
}

// The rows with their texts in a column after `column` characters; a syntax
// too wide for it puts its text on the next line.
void AppendTable(std::string& out, const std::vector<TRow>& rows, size_t column) {
  constexpr std::string_view kIndent = "  ";
  const std::string padding(column, ' ');
  for (const TRow& row : rows) {
    out += kIndent;
    out += row.syntax;
    const size_t used = kIndent.size() + DisplayWidth(row.syntax);
    if (used + 1 < column) {
      out.append(column - used, ' ');
    } else {
      out += '\n';
      out += padding;
    }
    for (const char c : row.text) {
      out += c;
      if (c == '\n') out += padding;
    }
    out += '\n';
  }
}

std::vector<TRow> OptionRows(const TProgramFacts& facts) {
  return {
      {"-net", "režim docházky (snímač, jehož popis obsahuje „evid“)"},
      {"-keyb", "režim psaní (výchozí): čísla karet se píší"},
      {"-db SOUBOR", std::string("soubor docházky (výchozí ") + facts.defaultDbFileName + ")"},
      {"-ser TITULEK", "titulek okna, jehož karty jdou na virtuální sériový port\n(lze opakovat)"},
      {"-log", "zapisovat protokol linky grab-<sériové číslo>.log"},
      {"-logdir ADRESÁŘ", std::string("adresář protokolu linky (výchozí ") + facts.defaultLogDir + ")"},
      {"-pmdp", "číst i datové bloky karty"},
      {"-prefix KLÁVESY",
       "klávesa stisknutá před každou kartou: modifikátory\n"
       "A (Alt), C (Ctrl), S (Shift), pak F1..F24, malé písmeno\n"
       "nebo číslice, např. CAF5 (Ctrl+Alt+F5)"},
      {"-com NÁZEV", "přijata a uchována (bez účinku)"},
      {"-upgrade", "přijata (aktualizace firmwaru snímače se nabízí vždy)"},
      {"--help", "vypíše tuto nápovědu (jen jako jediný argument)"},
      {"--version", "vypíše verzi (jen jako jediný argument)"},
  };
}

std::vector<TRow> EnvironmentRows(const TProgramFacts& facts) {
  std::vector<TRow> rows = {
      {"SNIMAC_FTDI", std::string("přístup k převodníkům FTDI: ") + facts.ftdiKinds},
      {"SNIMAC_DEVICES",
       std::string("seznam zařízení cesta|popis|sériové číslo;… místo\n"
                   "vyhledávání, otevřených ovladačem sériového portu,\nnapř. ") +
           facts.devicesExample},
      {"SNIMAC_SERIAL_PORT", std::string("virtuální sériový port pro -ser; výchozí\n") + facts.defaultSerialPort},
      {"SNIMAC_SERVER", "docházkový server host nebo host:port\n([v6]:port pro IPv6); výchozí localhost:" +
                            std::to_string(kDefaultServerPort)},
      {"SNIMAC_LATENCY_MS",
       "zpoždění převodníku v ms (1–255); výchozí " + std::to_string(TProtocol::kDefaultLatencyMs)},
      {"SNIMAC_SIM_CARD_INTERVAL_MS",
       "se SNIMAC_FTDI=sim ukázková karta každých tolik ms\n(0: žádná); výchozí 5000"},
  };
  if (facts.display != nullptr) {
    rows.push_back({"DISPLAY", facts.display});
    rows.push_back({"WAYLAND_DISPLAY", "relace Wayland: karty se píší jen do oken X11 (XWayland)"});
  }
  return rows;
}

std::string HelpText(THelpProgram program) {
  const TProgramFacts facts = FactsOf(program);
  std::string out = std::string("Použití: ") + facts.name + " [volby]\n";
  out += std::string("        ") + facts.name + " --help | --version\n\n";
  out += facts.intro;
  out += "\nVolby začínají „-“ nebo „/“, na velikosti písmen nezáleží:\n";
  AppendTable(out, OptionRows(facts), 20);
  out += "\nProměnné prostředí:\n";
  AppendTable(out, EnvironmentRows(facts), 22);
  if (*facts.footer != '\0') {
    out += '\n';
    out += facts.footer;
  }
  return out;
}

std::string VersionLine(THelpProgram program) {
  // The console host names the product it belongs to, as GNU tools do.
  if (program == THelpProgram::LinuxConsole) return "snimac-headless (snimac) " + ProductVersion() + "\n";
  return "snimac " + ProductVersion() + "\n";
}

}  // namespace

TInfoRequest InfoRequestOf(const std::vector<std::string>& args) {
  if (args.size() != 1) return TInfoRequest::None;
  if (args[0] == "--help") return TInfoRequest::Help;
  if (args[0] == "--version") return TInfoRequest::Version;
  return TInfoRequest::None;
}

std::string ProductVersion() { return SNIMAC_PROJECT_VERSION; }

std::string InfoText(TInfoRequest request, THelpProgram program) {
  return request == TInfoRequest::Version ? VersionLine(program) : HelpText(program);
}

}  // namespace snimac
